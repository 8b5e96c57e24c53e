#include <gtest/gtest.h>

#include <set>

#include "core/text/encoding.h"
#include "core/text/random.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {

TEST(HexEncode, CaseAndSpacing) {
  const std::string bytes("\x00\x0f\xa5\xff", 4);
  EXPECT_EQ(hexEncode(bytes), "000FA5FF");
  EXPECT_EQ(hexEncode(bytes, true), "000fa5ff");
  EXPECT_EQ(hexEncode(bytes, true, true), "00 0f a5 ff");
  EXPECT_EQ(hexEncode("", true, true), "");
}

TEST(ReverseText, BytesOrUtf16Units) {
  EXPECT_EQ(reverseText("abc"), "cba");
  EXPECT_EQ(reverseText("中a"), "a\xD0\xD6");  // byte order: the double-byte character splits
  EXPECT_EQ(reverseText("中a国", true), "国a中");
  EXPECT_EQ(reverseText(""), "");
}

TEST(ToUtf8Bytes, ConvertsGbk) {
  EXPECT_EQ(toUtf8Bytes("地址1"), utf8Text(u8"地址1"));
  EXPECT_EQ(toUtf8Bytes(""), "");
  // A cell cut inside a character costs that byte only, not the whole batch's body.
  EXPECT_EQ(toUtf8Bytes("\xD6\xD0\xD6"), utf8Text(u8"中?"));
}

TEST(RandomText, PoolFollowsTheClasses) {
  struct Case { unsigned classes; std::string pool; };
  const Case cases[] = {
      {0, "0123456789"},
      {kRandomDigits | kRandomLower, "0123456789abcdefghijklmnopqrstuvwxyz"},
      {kRandomUpper, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
      {kRandomPunctuation, " !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"},
      {16, "0123456789"},  // bits that name no class
      {0x80000000u, "0123456789"},
      {kRandomUpper | 16, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
  };
  for (const auto& c : cases) {
    const std::string text = randomText(2000, c.classes);
    ASSERT_EQ(text.size(), 2000u);
    std::set<char> seen(text.begin(), text.end());
    for (char ch : seen) EXPECT_NE(c.pool.find(ch), std::string::npos) << c.classes << " gave " << ch;
    EXPECT_EQ(seen.size(), c.pool.size()) << "every character of the pool is drawn";
  }
  EXPECT_EQ(randomText(0), "");
}

TEST(RandomText, CallsInQuickSuccessionDiffer) {
  std::set<std::string> texts;
  for (int i = 0; i < 200; ++i) texts.insert(randomText(18, kRandomDigits | kRandomLower));
  EXPECT_EQ(texts.size(), 200u);
}

TEST(UnixTime, SecondsAndMilliseconds) {
  const int64_t s = unixTimeSeconds();
  const int64_t ms = unixTimeSeconds(true);
  EXPECT_GT(s, 1700000000);          // after 2023
  EXPECT_LE(ms / 1000 - s, 1);
}

}  // namespace
}  // namespace pv
