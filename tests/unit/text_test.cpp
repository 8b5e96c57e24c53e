#include <gtest/gtest.h>

#include <vector>

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

TEST(CodePage, OnlyEmptyInputGivesEmptyText) {
  EXPECT_EQ(utf8ToGbk(""), "");
  EXPECT_EQ(gbkToUtf8(""), "");
  EXPECT_EQ(gbkToUtf16(""), u"");
  EXPECT_EQ(utf16ToGbk(u""), "");
}

struct ConversionCase {
  const char* name;
  std::string from, want;
};

// A character without a GBK form becomes "?" and the rest of the text stays: an address
// read back from a box must not blank because of one bullet.
TEST(CodePage, Utf8CharacterWithoutAGbkFormCostsOnlyItself) {
  const ConversionCase cases[] = {
      {"bullet", utf8Text(u8"收货地址•A栋"), "收货地址?A栋"},
      {"trade mark", utf8Text(u8"A™B"), "A?B"},
      {"euro sign, a single byte in some tables", utf8Text(u8"€5"), "?5"},
      {"emoji is one character", utf8Text(u8"地址😀1"), "地址?1"},
      {"CJK beyond GBK", utf8Text(u8"\U00020000中"), "?中"},
      {"several, apart", utf8Text(u8"•中•国•"), "?中?国?"},
      {"broken bytes", "\xFF\xFE broken", "?? broken"},
      {"cut inside a character", "\xE4\xB8" "a", "?a"},
      {"encoded surrogate", "\xED\xA0\x80", "???"},
      {"overlong form", "\xC0\xAF" "a", "??a"},
      {"plain ASCII untouched", "a\tb\\\"", "a\tb\\\""},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8ToGbk(c.from), c.want) << c.name;
}

TEST(CodePage, Utf16CharacterWithoutAGbkFormCostsOnlyItself) {
  EXPECT_EQ(utf16ToGbk(u"收货地址\u2022A栋"), "收货地址?A栋");
  EXPECT_EQ(utf16ToGbk(u"地址\U0001F600" u"1"), "地址?1");  // a surrogate pair is one character
  EXPECT_EQ(utf16ToGbk(u"中\xD800" u"a"), "中?a");          // lone surrogates
  EXPECT_EQ(utf16ToGbk(u"\xDC00\xD800"), "??");
}

// A byte that is no GBK character (a lead byte cut from its trail, 0x80, 0xFF) becomes "?".
TEST(CodePage, GbkByteWithoutACharacterCostsOnlyItself) {
  const ConversionCase cases[] = {
      {"lead byte at the end", "中\xD6", utf8Text(u8"中?")},
      {"lead byte before a quote", "\xB0\"a", utf8Text(u8"?\"a")},
      {"0x80 alone", "a\x80" "b", "a?b"},
      {"0xFF alone", "a\xFF" "b中", utf8Text(u8"a?b中")},
      {"a lead byte pairs with the byte after it", "\xD6\xD6\xD0", utf8Text(u8"种?")},
  };
  for (const auto& c : cases) EXPECT_EQ(gbkToUtf8(c.from), c.want) << c.name;
  EXPECT_EQ(gbkToUtf16("a\xD6"), u"a?");
  // One unit per character either way, so unit positions map back to characters.
  EXPECT_EQ(gbkToUtf16("\xD6" "1中\x80", u'\xFFFD'), u"\xFFFD" u"1中\xFFFD");
}

// Every GBK double-byte character that has a Unicode form comes back as the same bytes: no
// look-alike taken on the way out of a box.
TEST(CodePage, EveryGbkCharacterRoundTrips) {
  int converted = 0;
  std::vector<std::string> changed;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string wide = gbkToUtf16(gbk);
      ASSERT_EQ(wide.size(), 1u) << lead << " " << trail;
      if (wide == u"?") continue;
      ++converted;
      if (utf16ToGbk(wide) != gbk) changed.push_back(gbk);
    }
  }
  EXPECT_GT(converted, 21000);  // GBK's 21,886 characters, less what a table lacks
  EXPECT_TRUE(changed.empty()) << changed.size() << " changed, first: " << changed.front();
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

TEST(TextHelpers, CutGbkTextStopsAtACharacterBoundary) {
  struct Case {
    std::string text;
    size_t limit;
    std::string want;
  };
  const Case cases[] = {
      {"abc", 3, "abc"},   {"abcd", 3, "abc"}, {"a长b", 2, "a"}, {"a长b", 3, "a长"}, {"长长", 3, "长"}, {"", 0, ""},
      // A lead byte before a byte that cannot end a pair is a character of its own: it is
      // kept, and the byte after it is not swallowed with it.
      {"\x81" "0b", 1, "\x81"}, {"a\xFE\x7F", 2, "a\xFE"},
  };
  for (const Case& c : cases) EXPECT_EQ(pv::cutGbkText(c.text, c.limit), c.want) << c.text << " " << c.limit;
}
