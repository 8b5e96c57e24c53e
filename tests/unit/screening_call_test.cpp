// The screening call against a scripted service: retries and their pauses, decryption,
// completion of every entry, the failure restriction and the operator's distance rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/crypto/base64.h"
#include "core/json/json.h"
#include "core/screening/call.h"
#include "core/text/codepage.h"
#include "tests/unit/screening_fakes.h"
#include "tests/unit/utf8_literal.h"

namespace pv::testing {
namespace {

constexpr std::string_view kPickPath = "/api/v2/effectiveServiceBusinesses/101/pick";
const std::string kAuth = "content-type: application/json\r\nAuthentication: Bearer tok";

struct CallRig {
  ScriptedTransport transport;
  RecordingPauses pauses;
  ScreeningLink link{transport, std::string(kFakeBaseUrl), kAuth, pauses, fixedRequest};
  ScreeningSettings settings{.serviceBusinessId = 101};

  JsonDocument screen(const std::vector<std::string>& addresses) {
    JsonDocument answer;
    EXPECT_TRUE(answer.parse(screenAddresses(link, settings, addresses)));
    return answer;
  }
};

// The policies of entry n as "typeStr/typeName/remark/object" (GBK) lines.
std::vector<std::string> policiesOf(const JsonDocument& answer, size_t n) {
  std::vector<std::string> out;
  for (JsonValue p : answer.at("/data/" + std::to_string(n) + "/policies").elements()) {
    out.push_back(utf8ToGbk(p.member("typeStr").text() + "/" + p.member("typeName").text() + "/" +
                            p.member("remark").text() + "/" + p.member("object").text()));
  }
  return out;
}

TEST(ScreeningCall, SendsTheSignedBytesAndReadsTheVerdicts) {
  CallRig rig;
  const std::vector<std::string> addresses = {"浙江省杭州市西湖区文三路1号", "上海市浦东新区"};
  rig.transport.answer("POST", kPickPath, answerWith(plainVerdicts(addresses), 2));
  const JsonDocument answer = rig.screen(addresses);

  const std::vector<HttpWireRequest> sent = rig.transport.sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].url, std::string(kFakeBaseUrl) + "/effectiveServiceBusinesses/101/pick");
  EXPECT_EQ(sent[0].body, fixedRequest(101, addresses).body);  // the UTF-8 bytes, not converted again
  EXPECT_NE(sent[0].body.view().find(utf8Text(u8"浙江省杭州市西湖区文三路1号")), std::string::npos);
  EXPECT_EQ(headerOf(sent[0], "Authentication"), "Bearer tok");
  EXPECT_EQ(sent[0].timeoutMs, 120000);
  EXPECT_TRUE(rig.pauses.taken().empty());

  EXPECT_EQ(answer.member("code").toInt(), 0);
  ASSERT_EQ(answer.member("data").size(), 2u);
  EXPECT_EQ(utf8ToGbk(answer.at("/data/1/input").text()), "上海市浦东新区");
  EXPECT_TRUE(policiesOf(answer, 0).empty());
  EXPECT_TRUE(policiesOf(answer, 1).empty());
}

TEST(ScreeningCall, RetriesWhileTheServiceFails) {
  struct Step {
    int status;
    bool good;  // a real answer, else an error envelope
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    size_t attempts;
    std::vector<milliseconds> pauses;
    bool verdicts;
  };
  using ms = milliseconds;
  const Case cases[] = {
      {"502 then 200", {{502, false}, {200, true}}, 2, {ms(7000)}, true},
      {"three 500s", {{500, false}, {500, false}, {500, false}, {200, true}}, 3, {ms(7000), ms(8000), ms(9000)}, false},
      {"two 503s then 200", {{503, false}, {503, false}, {200, true}}, 3, {ms(7000), ms(8000)}, true},
      {"404 is not retried", {{404, false}, {200, true}}, 1, {}, false},
      {"499 is not retried", {{499, false}, {200, true}}, 1, {}, false},
  };
  const std::vector<std::string> addresses = {"北京市朝阳区"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CallRig rig;
    for (const Step& s : c.steps) {
      rig.transport.answerOnce("POST", kPickPath,
                               s.good ? answerWith(plainVerdicts(addresses), 1) : envelope(50000, "server busy"),
                               s.status);
    }
    const JsonDocument answer = rig.screen(addresses);
    EXPECT_EQ(rig.transport.sent().size(), c.attempts);
    EXPECT_EQ(rig.pauses.taken(), c.pauses);
    if (c.verdicts) {
      EXPECT_TRUE(policiesOf(answer, 0).empty());
    } else {
      // The last body is used: the service's message names the failure.
      EXPECT_EQ(policiesOf(answer, 0), std::vector<std::string>{"筛单失败/server busy/server busy/"});
    }
  }
}

TEST(ScreeningCall, NoConnectionIsOneAttemptAndANetworkFailure) {
  CallRig rig;  // nothing scripted: every exchange gets status 0 and no body
  const JsonDocument answer = rig.screen({"北京市", "天津市"});
  EXPECT_EQ(rig.transport.sent().size(), 1u);
  EXPECT_TRUE(rig.pauses.taken().empty());
  for (size_t n : {0u, 1u}) EXPECT_EQ(policiesOf(answer, n), std::vector<std::string>{"筛单失败/筛单失败/网络错误/"});
  // The failure restriction's members, in their order; it has no `pass`, so it blocks.
  EXPECT_EQ(answer.at("/data/0/policies/0").keys(),
            (std::vector<std::string>{"type", "mode", "color", "typeStr", "modeStr", "typeName", "remark"}));
  EXPECT_EQ(answer.at("/data/0/policies/0/type").toInt(), 99);
  EXPECT_EQ(answer.at("/data/0/policies/0/color").text(), "#f06e33");
}

TEST(ScreeningCall, AStopEndsTheRetriesAtOnce) {
  std::stop_source stop;
  ScriptedTransport transport;
  RecordingPauses pauses([&](size_t) { stop.request_stop(); });
  ScreeningLink link{transport, std::string(kFakeBaseUrl), kAuth, pauses, fixedRequest, stop.get_token()};
  transport.answer("POST", kPickPath, envelope(50000, "busy"), 500);
  JsonDocument answer;
  ASSERT_TRUE(answer.parse(screenAddresses(link, {.serviceBusinessId = 101}, {"北京市"})));
  EXPECT_EQ(transport.sent().size(), 1u);
  EXPECT_EQ(pauses.taken().size(), 1u);
  EXPECT_EQ(policiesOf(answer, 0), std::vector<std::string>{"筛单失败/busy/busy/"});
}

// What the client makes of each kind of answer for two addresses.
TEST(ScreeningCall, CompletesEveryKindOfAnswer) {
  const std::vector<std::string> two = {"浙江省杭州市", "江苏省南京市"};
  const std::string verdicts = plainVerdicts(two);
  const std::string sealed = sealedData(verdicts, 2);
  std::string wrapped;  // Base64 in lines of 76 characters (escaped in the JSON text), as some services send it
  for (size_t i = 0; i < sealed.size(); i += 76) wrapped += sealed.substr(i, 76) + (i + 76 < sealed.size() ? "\\r\\n" : "");
  const std::string fail = "筛单失败/筛单失败/网络错误/";
  // A refusal names the failure by the service's message; a success's message ("ok") is no
  // reason for a verdict that is missing or unreadable.
  struct Case {
    const char* name;
    std::string body;
    std::vector<std::string> first, second;  // policies of the two entries
  };
  const std::vector<std::string> none;
  const Case cases[] = {
      {"good", answerWith(verdicts, 2), none, none},
      {"wrapped Base64", envelope(0, "ok", "\"" + wrapped + "\""), none, none},
      {"success with an empty message", envelope(0, "", "\"" + sealed + "\""), none, none},
      {"fewer entries", answerWith(plainVerdicts({two[0]}), 2), none, {fail}},
      {"undecryptable data", envelope(0, "ok", "\"" + base64Encode(std::string(32, 'x')) + "\""),
       {fail}, {fail}},
      {"not Base64", envelope(0, "ok", "\"%%%\""), {fail}, {fail}},
      {"decrypts to no JSON", envelope(0, "ok", "\"" + sealedData("not json", 2) + "\""),
       {fail}, {fail}},
      {"refused call", envelope(40003, "sign"), {"筛单失败/sign/sign/"}, {"筛单失败/sign/sign/"}},
      {"refused without message", "{\"code\":40001}", {fail}, {fail}},
      {"garbage", "<html>Bad Gateway", {fail}, {fail}},
      {"a bare array", "[1,2]", {fail}, {fail}},
      {"entries without policies or input",
       answerWith(R"([{"input":"a","sites":[]},{"isVillage":false}])", 2), none, {fail}},
      {"an entry that is no object", answerWith(R"([7,{"input":"b"}])", 2), {fail}, none},
      {"data as an object", answerWith(R"({"input":"a"})", 2), {fail}, {fail}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CallRig rig;
    rig.transport.answer("POST", kPickPath, c.body);
    const JsonDocument answer = rig.screen(two);
    ASSERT_FALSE(answer.empty());
    EXPECT_TRUE(answer.member("data").isArray());
    EXPECT_GE(answer.member("data").size(), 2u);
    EXPECT_EQ(policiesOf(answer, 0), c.first);
    EXPECT_EQ(policiesOf(answer, 1), c.second);
  }
}

TEST(ScreeningCall, KeepsWhatTheServiceSaid) {
  CallRig rig;
  rig.transport.answer("POST", kPickPath,
                       answerWith(R"([{"input":"a","extra":{"k":[1,2]},"policies":[{"type":2,"pass":true}]}])", 1));
  const JsonDocument answer = rig.screen({"a"});
  EXPECT_EQ(answer.at("/data/0/extra").toJson(), R"({"k":[1,2]})");
  EXPECT_EQ(answer.at("/data/0/policies").toJson(), R"([{"type":2,"pass":true}])");
  EXPECT_EQ(answer.member("msg").text(), "ok");
}

TEST(ScreeningCall, VillageAndDistanceRules) {
  const std::string twoSites =
      utf8Text(u8R"("sites":[{"name":"近点","acceptor":{"distance":12000}},{"name":"远点","acceptor":{"distance":16000}}])");
  const std::string village = "{\"input\":\"a\",\"isVillage\":true," + twoSites + "}";
  const std::string town = "{\"input\":\"a\",\"isVillage\":false," + twoSites + "}";
  const std::string villageNoSites = R"({"input":"a","isVillage":true})";
  const std::string villageSiteWithoutDistance = utf8Text(u8R"({"input":"a","isVillage":true,"sites":[{"name":"无距"}]})");
  const std::string villageRemark = "地址为村组地址，且距离网点超过自定义屏蔽距离";
  const std::string remoteRemark = "地址距离网点超过自定义屏蔽距离";
  struct Case {
    const char* name;
    std::string entry;
    ScreeningSettings settings;
    std::vector<std::string> policies;
  };
  const Case cases[] = {
      {"village, limit 15000", village, {.blockVillages = true, .villageLimit = 15000},
       {"偏远村组/偏远村组/" + villageRemark + "15000米/远点"}},
      {"village, limit at a site's distance", village, {.blockVillages = true, .villageLimit = 12000},
       {"偏远村组/偏远村组/" + villageRemark + "12000米/近点", "偏远村组/偏远村组/" + villageRemark + "12000米/远点"}},
      {"village rule unticked", village, {.blockVillages = false, .villageLimit = 0}, {}},
      {"not a village, limit 0", town, {.blockVillages = true, .villageLimit = 0}, {}},
      {"village without sites, limit 0", villageNoSites, {.blockVillages = true, .villageLimit = 0},
       {"偏远村组/偏远村组/" + villageRemark + "0米/"}},
      {"village without sites, limit 1", villageNoSites, {.blockVillages = true, .villageLimit = 1}, {}},
      {"a site without distance is at 0", villageSiteWithoutDistance, {.blockVillages = true, .villageLimit = 0},
       {"偏远村组/偏远村组/" + villageRemark + "0米/无距"}},
      {"remote, limit 16000", town, {.blockRemote = true, .remoteLimit = 16000},
       {"偏远地址/偏远地址/" + remoteRemark + "16000米/远点"}},
      {"remote, limit 16001", town, {.blockRemote = true, .remoteLimit = 16001}, {}},
      {"remote without sites", villageNoSites, {.blockRemote = true, .remoteLimit = 0}, {}},
      {"both rules, village first", village,
       {.blockVillages = true, .villageLimit = 15000, .blockRemote = true, .remoteLimit = 15000},
       {"偏远村组/偏远村组/" + villageRemark + "15000米/远点", "偏远地址/偏远地址/" + remoteRemark + "15000米/远点"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CallRig rig;
    rig.settings = c.settings;
    rig.settings.serviceBusinessId = 101;
    rig.transport.answer("POST", kPickPath, answerWith("[" + c.entry + "]", 1));
    EXPECT_EQ(policiesOf(rig.screen({"a"}), 0), c.policies);
  }
}

TEST(ScreeningCall, DistanceRestrictionsBlockWithTheirMembersInOrder) {
  CallRig rig;
  rig.settings.blockVillages = true;
  rig.settings.villageLimit = 100;
  rig.transport.answer("POST", kPickPath,
                       answerWith(R"([{"input":"a","isVillage":true,"sites":[{"name":"s","acceptor":{"distance":200}}]}])", 1));
  const JsonDocument answer = rig.screen({"a"});
  const JsonValue p = answer.at("/data/0/policies/0");
  EXPECT_EQ(p.keys(), (std::vector<std::string>{"type", "mode", "color", "typeStr", "modeStr", "typeName", "source",
                                                "object", "remark"}));
  EXPECT_EQ(p.member("type").toInt(), 1);
  EXPECT_EQ(p.member("mode").toInt(), 1);
  EXPECT_EQ(p.member("color").text(), "f06e33");
  EXPECT_EQ(utf8ToGbk(p.member("modeStr").text()), "地址解析");
  EXPECT_EQ(utf8ToGbk(p.member("source").text()), "筛单设置");
  EXPECT_FALSE(p.member("pass"));
}

TEST(ScreeningCall, DistanceLimitsAsTyped) {
  const std::pair<std::string_view, std::int64_t> cases[] = {
      {"15000", 15000}, {"", 0}, {"abc", 0}, {"12km", 12}, {" 5", 0}, {"007", 7},
      {"99999999999999999999999", INT64_MAX},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(readDistanceLimit(text), want) << text;
}

}  // namespace
}  // namespace pv::testing
