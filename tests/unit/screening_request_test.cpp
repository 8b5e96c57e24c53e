#include <gtest/gtest.h>

#include <set>

#include "core/crypto/base64.h"
#include "core/json/json.h"
#include "core/screening/request.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {

const std::string kIdentifier = "0123456789ABCDEF0123456789ABCDEF";

// Expected bytes computed outside the program (Python's hashlib/hmac and the openssl
// command line) from the same time, random text and identifier.
TEST(ScreeningRequest, MatchesAnIndependentlyComputedRequest) {
  const ScreeningRequest request =
      buildScreeningRequest(7, {"北京市朝阳区建国路88号", "上海市\\浦东誠"}, 1765000000, "abcdefghij0123456x", kIdentifier);
  EXPECT_EQ(request.body.view(),
            utf8Text(u8R"({"addresses":["北京市朝阳区建国路88号","上海市\\浦东誠"],"serviceBusinessID":7,"source":"pc",)"
                     u8R"("timestamp":1765000000,"version":"2.0.2","sign":"NzBkNzI0YWE5YTEwOGQzNTFjY2RlYjA0NWExMTQ2ODNlZDRhYjNmZDhjOWJmYjBhYzliOGYxN2M2N2ZlOTgzOWEzYmQxNGEyMDcxN2I1ZGY3Zjk4NGYxYjM1NDVmNmE4ZTAwYjFhNzgzOGRjM2U1ODkwNGNiMmZiMTRjZGZkYjIwNTAzNTBhOTNmYTU1YmM4OWMwMmY5NWEwMGQ3OTk1OGFiY2RlZmdoaWowMTIzNDU2eA=="})"));
  EXPECT_EQ(request.responseKey, "50ca167770e85a6d4b4086124b4dfc88");
  EXPECT_EQ(request.responseIv, "bcdefghiihgfedcb");
}

TEST(ScreeningRequest, ShapeOfALiveRequest) {
  for (size_t count : {1u, 20u}) {
    const std::vector<std::string> addresses(count, "浙江省杭州市西湖区文三路1号");
    const ScreeningRequest request = buildScreeningRequest(42, addresses);
    JsonDocument body;
    ASSERT_TRUE(body.parse(request.body.view()));
    EXPECT_EQ(body.root().keys(),
              (std::vector<std::string>{"addresses", "serviceBusinessID", "source", "timestamp", "version", "sign"}));
    EXPECT_EQ(body.member("addresses").size(), count);
    EXPECT_EQ(body.member("serviceBusinessID").toInt(), 42);
    const std::string sign = body.member("sign").text();
    ASSERT_EQ(sign.size(), 240u);
    EXPECT_EQ(sign.substr(238), "==");
    const std::string decoded = base64Decode(sign);
    ASSERT_EQ(decoded.size(), 178u);  // 80 cipher bytes as hex, then the 18-character random text
    EXPECT_EQ(decoded.substr(0, 160).find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(request.responseKey.size(), 32u);
    EXPECT_EQ(request.responseIv, decoded.substr(161, 8) + std::string(decoded.rbegin(), decoded.rbegin() + 18).substr(9, 8));
  }
}

TEST(ScreeningRequest, EveryRequestHasItsOwnSignatureAndKey) {
  // Same second, same addresses: only the random text differs.
  std::set<std::string> signs, keys;
  for (int i = 0; i < 50; ++i) {
    const ScreeningRequest request = buildScreeningRequest(1, {"上海市"});
    JsonDocument body;
    body.parse(request.body.view());
    signs.insert(body.member("sign").text());
    keys.insert(request.responseKey);
  }
  EXPECT_EQ(signs.size(), 50u);
  EXPECT_EQ(keys.size(), 50u);
}

TEST(ScreeningRequest, ClientIdentifierIsStableUpperHex) {
  const std::string id = clientIdentifier();
  ASSERT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(clientIdentifier(), id);
}

}  // namespace
}  // namespace pv
