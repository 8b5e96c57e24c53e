// screenAddresses through the platform's real transport against the sandbox: the signed
// UTF-8 body is verified by the service, the answer decrypted and completed.
#include <string>
#include <vector>

#include "core/api/api_call.h"
#include "core/net/http_transport.h"
#include "core/screening/call.h"
#include "core/text/codepage.h"
#include "tests/integration/sandbox_fixture.h"
#include "tests/unit/utf8_literal.h"

namespace pv::testing {
namespace {

class ScreeningCallTest : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    const std::string token = api().login();
    ASSERT_FALSE(token.empty());
    baseUrl_ = "http://127.0.0.1:" + std::to_string(sharedSandbox().port()) + "/api/v2";
    authHeader_ = authHeaderFor(token);
  }

  JsonDocument screen(const std::vector<std::string>& addresses, const ScreeningSettings& settings) {
    const ScreeningLink link{platformHttpTransport(), baseUrl_, authHeader_, pauses_};
    JsonDocument answer;
    EXPECT_TRUE(answer.parse(screenAddresses(link, settings, addresses)));
    return answer;
  }

  RecordingPauses pauses_;
  std::string baseUrl_;
  std::string authHeader_;
};

TEST_F(ScreeningCallTest, AChineseAddressComesBackVerified) {
  const std::string address = "浙江省杭州市西湖区转塘街道之江路1号";
  const JsonDocument answer = screen({address}, {.serviceBusinessId = 101});
  ASSERT_EQ(answer.member("code").toInt(), 0) << answer.member("msg").text();
  ASSERT_EQ(answer.member("data").size(), 1u);
  // The service read the very characters sent: its echo and its reading of the divisions.
  EXPECT_EQ(answer.at("/data/0/input").text(), gbkToUtf8(address));
  EXPECT_EQ(answer.at("/data/0/analysis/province").text(), utf8Text(u8"浙江省"));
  EXPECT_EQ(answer.at("/data/0/analysis/district").text(), utf8Text(u8"西湖区"));
  bool blind = false;  // the service's rule for that street, named in Chinese
  for (JsonValue p : answer.at("/data/0/policies").elements()) blind |= p.member("typeStr").text() == utf8Text(u8"盲区停发");
  EXPECT_TRUE(blind) << answer.at("/data/0/policies").toJson();
  EXPECT_TRUE(pauses_.taken().empty());
}

TEST_F(ScreeningCallTest, ABatchOfTwentyKeepsItsOrder) {
  std::vector<std::string> addresses;
  for (int i = 1; i <= 20; ++i) addresses.push_back("浙江省杭州市上城区湖滨街道平海路" + std::to_string(i) + "号");
  const JsonDocument answer = screen(addresses, {.serviceBusinessId = 101});
  ASSERT_EQ(answer.member("code").toInt(), 0) << answer.member("msg").text();
  ASSERT_EQ(answer.member("data").size(), 20u);
  for (size_t n = 0; n < addresses.size(); ++n) {
    EXPECT_EQ(answer.at("/data/" + std::to_string(n) + "/input").text(), gbkToUtf8(addresses[n]));
  }
}

TEST_F(ScreeningCallTest, AServerErrorIsRetriedAfterAPause) {
  api().addFaults(R"({"endpoint":"pick","status":502,"times":1})");
  const JsonDocument answer = screen({"浙江省杭州市上城区湖滨街道平海路1号"}, {.serviceBusinessId = 101});
  EXPECT_EQ(pauses_.taken(), std::vector<milliseconds>{milliseconds(7000)});
  EXPECT_EQ(answer.member("code").toInt(), 0) << answer.member("msg").text();
  EXPECT_FALSE(answer.at("/data/0/input").text().empty());
}

TEST_F(ScreeningCallTest, TheVillageRuleAddsToTheServicesVerdict) {
  // Limit 0: every site is beyond it, and a village without sites is caught too.
  const JsonDocument answer = screen({"浙江省杭州市淳安县枫树岭镇下姜村3组"},
                                     {.serviceBusinessId = 101, .blockVillages = true, .villageLimit = 0});
  ASSERT_EQ(answer.member("code").toInt(), 0);
  ASSERT_TRUE(answer.at("/data/0/isVillage").toBool());
  std::vector<std::string> types;
  for (JsonValue p : answer.at("/data/0/policies").elements()) types.push_back(utf8ToGbk(p.member("typeStr").text()));
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.back(), "偏远村组");
}

TEST_F(ScreeningCallTest, ARefusedCallGivesEveryAddressTheFailure) {
  const JsonDocument answer = screen({"北京市", "上海市"}, {.serviceBusinessId = 999999});
  EXPECT_NE(answer.member("code").toInt(), 0);
  ASSERT_EQ(answer.member("data").size(), 2u);
  for (const char* n : {"0", "1"}) {
    EXPECT_EQ(answer.at(std::string("/data/") + n + "/policies/0/typeStr").text(), utf8Text(u8"筛单失败"));
    EXPECT_EQ(answer.at(std::string("/data/") + n + "/policies/0/remark").text(), answer.member("msg").text());
  }
}

}  // namespace
}  // namespace pv::testing
