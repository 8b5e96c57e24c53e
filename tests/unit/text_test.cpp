#include <gtest/gtest.h>

#include "core/text/codepage.h"
#include "core/text/text.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {

// "中" in GBK is D6 D0; "誠" is D5 5C (trail byte '\'); "珅" is AB 7C (trail byte '|').
const std::string kZhong = "\xD6\xD0";
const std::string kBackslashTrail = "\xD5\x5C";
const std::string kBarTrail = "\xAB\x7C";

TEST(GbkLiterals, ChineseLiteralIsCompiledAsGbk) {
  EXPECT_EQ(std::string("中"), kZhong);
  EXPECT_EQ(std::string("地址"), "\xB5\xD8\xD6\xB7");
}

TEST(CodePage, ConvertsBetweenGbkAndUtf8) {
  EXPECT_EQ(gbkToUtf8("中国abc"), utf8Text(u8"中国abc"));
  EXPECT_EQ(utf8ToGbk(utf8Text(u8"北京市")), "北京市");
  EXPECT_EQ(gbkToUtf8(kBackslashTrail + kBarTrail), utf8Text(u8"誠珅"));
  EXPECT_EQ(gbkToUtf16("中a"), u"中a");
  EXPECT_EQ(utf16ToGbk(u"中a"), "中a");
}

TEST(CodePage, EmptyOrBrokenInputGivesEmptyText) {
  EXPECT_EQ(utf8ToGbk(""), "");
  EXPECT_EQ(gbkToUtf8(""), "");
  EXPECT_EQ(utf8ToGbk("\xFF\xFE broken"), "");
  EXPECT_EQ(gbkToUtf8("\xD6"), "");                    // lead byte without its trail
  EXPECT_EQ(utf8ToGbk("\xF0\x9F\x98\x80"), "");        // no GBK form for this character
}

struct FindCase {
  const char* name;
  std::string text, part;
  int start, want;
};

TEST(FindText, StepsOverDoubleByteCharacters) {
  const FindCase cases[] = {
      {"ascii", "abcabc", "c", 1, 3},
      {"from start", "abcabc", "c", 4, 6},
      {"not found", "abc", "x", 1, -1},
      {"chinese", "北京市朝阳区", "朝阳", 1, 7},
      {"empty part in text", "abc", "", 1, 1},
      {"empty part in empty text", "", "", 1, -1},
      {"part in empty text", "", "a", 1, -1},
      {"backslash trail is not a backslash", kBackslashTrail + "a\\b", "\\", 1, 4},
      {"bar trail is not a bar", kBarTrail + "|", "|", 1, 3},
      {"only the trail byte", kBarTrail, "|", 1, -1},
      // A lead byte pairs only with a trail byte (0x40-0xFE but 0x7F); before anything else
      // it is a character of its own and the next byte is found.
      {"lead byte before a quote", "a\xE4\"b", "\"", 1, 3},
      {"lead byte before an equals sign", "\xE1=v", "=", 1, 2},
      {"lead byte before 0x7F", "\x81\x7F", "\x7F", 1, 2},
      {"lead byte before a line feed", "\xFE\n", "\n", 1, 2},
      {"match across a boundary is refused", "\xB1\xB1\xBE\xA9", "\xB1\xBE", 1, -1},
      {"start past the end", "abc", "a", 4, -1},
      {"start below one", "abc", "a", 0, -1},
      {"longer part", "ab", "abc", 1, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(findText(c.text, c.part, c.start), c.want) << c.name;
}

TEST(TextHelpers, LowerCaseLeavesDoubleByteTrailsAlone) {
  // "\x81\x41" is a GBK character whose trail byte is 'A'.
  EXPECT_EQ(toLowerAscii("AbC\x81\x41Z"), "abc\x81\x41z");
  EXPECT_EQ(toUpperAscii("aBc\x81\x61z"), "ABC\x81\x61Z");
}

TEST(TextHelpers, ReplaceAllIsCharacterAligned) {
  EXPECT_EQ(replaceAll("a|b|c", "|", "#"), "a#b#c");
  EXPECT_EQ(replaceAll(kBarTrail + "|", "|", "#"), kBarTrail + "#");
  EXPECT_EQ(replaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(replaceAll("地址地址", "地址", "址"), "址址");
}

TEST(TextHelpers, SplitAndJoin) {
  using V = std::vector<std::string>;
  EXPECT_EQ(splitText("a,b,,c", ","), (V{"a", "b", "", "c"}));
  EXPECT_EQ(splitText("", ","), V{});
  EXPECT_EQ(splitText("abc", ""), V{"abc"});
  EXPECT_EQ(splitText("a,", ","), (V{"a", ""}));
  EXPECT_EQ(splitText(kBackslashTrail + "\\x", "\\"), (V{kBackslashTrail, "x"}));
  EXPECT_EQ(splitText("a\r\nb", "\r\n"), (V{"a", "b"}));
  EXPECT_EQ(joinTexts({"a", "b", "c"}), "a,b,c");
  EXPECT_EQ(joinTexts({"a", "b"}, "|~|"), "a|~|b");
  EXPECT_EQ(joinTexts({}, "|"), "");
}

TEST(TextHelpers, TrimRemovesAsciiBlanksOnly) {
  EXPECT_EQ(trimText("  a b \r\n"), "a b");
  EXPECT_EQ(trimText(" \t "), "");
  EXPECT_EQ(trimText("\xA1\xA1x\xA1\xA1"), "\xA1\xA1x\xA1\xA1");  // full-width blanks stay
}

}  // namespace
}  // namespace pv
