// RegexMatcher over GBK texts, with the system's own patterns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/regex/regex_matcher.h"
#include "tests/unit/regex_samples.h"

namespace pv {
namespace {

using namespace regex_samples;

std::vector<std::string> allMatchTexts(const RegexMatcher& m) {
  std::vector<std::string> out;
  for (int n = 1; n <= m.matchCount(); ++n) out.push_back(m.matchText(n));
  return out;
}

int countMatches(std::string_view pattern, std::string_view subject) {
  RegexMatcher m;
  return m.execute(pattern, subject) ? m.matchCount() : -1;
}

TEST(RegexMatcher, DefaultOptionsFindEveryMatchInOrderIgnoringCase) {
  RegexMatcher m;
  ASSERT_TRUE(m.execute("北京|天津", "从天津发往北京，再回天津"));
  EXPECT_EQ(allMatchTexts(m), (std::vector<std::string>{"天津", "北京", "天津"}));

  ASSERT_TRUE(m.execute("TListView", "class tlistview"));
  EXPECT_EQ(m.matchText(1), "tlistview");

  ASSERT_TRUE(m.execute("^地址$", "收货地址\r\n地址\r\n备注"));
  EXPECT_EQ(m.matchCount(), 1);

  ASSERT_TRUE(m.execute("TListView", "class tlistview", {.caseSensitive = true}));
  EXPECT_EQ(m.matchCount(), 0);

  ASSERT_TRUE(m.execute("^b", "a\nb", {.multiline = false}));
  EXPECT_EQ(m.matchCount(), 0);

  ASSERT_TRUE(m.execute("地", "地址地址", {.global = false}));
  EXPECT_EQ(m.matchCount(), 1);
}

TEST(RegexMatcher, NoMatchIsStillASuccessfulExecute) {
  RegexMatcher m;
  EXPECT_TRUE(m.execute("北京", "上海市浦东新区"));
  EXPECT_EQ(m.matchCount(), 0);
  EXPECT_EQ(m.subMatchCount(), 0);
  EXPECT_EQ(m.matchText(1), "");
  EXPECT_TRUE(m.execute("北京", ""));
  EXPECT_EQ(m.matchCount(), 0);
}

TEST(RegexMatcher, PlaceholderStandsForADoubleQuote) {
  RegexMatcher m;
  ASSERT_TRUE(m.execute("#引号地址#引号", "列名\"地址\"", {.quotePlaceholder = true}));
  EXPECT_EQ(m.patternText(), "\"地址\"");
  EXPECT_EQ(m.matchText(1), "\"地址\"");
  // Without the flag the placeholder is matched as written.
  ASSERT_TRUE(m.execute("#引号", "\""));
  EXPECT_EQ(m.matchCount(), 0);
  EXPECT_EQ(m.patternText(), "#引号");
}

TEST(RegexMatcher, InvalidPatternOrNoExpressionGivesNeutralResults) {
  RegexMatcher fresh;
  EXPECT_EQ(fresh.patternText(), "");
  EXPECT_EQ(fresh.matchCount(), 0);
  EXPECT_EQ(fresh.subMatchCount(), 0);
  EXPECT_EQ(fresh.matchText(1), "");
  EXPECT_EQ(fresh.replaceMatches("x"), "");

  for (const char* pattern : {"(地址", "(a)\\1", "(?=地址)", "a{5,1}", "\xD6"}) {
    RegexMatcher m;
    EXPECT_FALSE(m.execute(pattern, "地址 a aaaaa")) << pattern;
    EXPECT_EQ(m.patternText(), pattern);
    EXPECT_EQ(m.matchCount(), 0);
    EXPECT_EQ(m.subMatchCount(), 0);
    int position = 7;
    EXPECT_EQ(m.matchText(1, &position), "");
    EXPECT_EQ(position, -1);
    EXPECT_EQ(m.subMatchText(1, 1), "");
    // Nothing matched, so nothing is replaced: the text itself survives.
    EXPECT_EQ(m.replaceMatches("@@@"), "地址 a aaaaa");
  }

  // A later invalid execute drops the matches of an earlier one.
  RegexMatcher m;
  ASSERT_TRUE(m.execute("地址", "地址"));
  EXPECT_FALSE(m.execute("[", "地址"));
  EXPECT_EQ(m.matchCount(), 0);
}

TEST(RegexMatcher, IndexesOutsideTheMatchesGiveEmptyTexts) {
  RegexMatcher m;
  ASSERT_TRUE(m.execute("(收[件货]|详细)(地址|信息)|地址", "收货地址"));
  EXPECT_EQ(m.matchText(0), "");
  EXPECT_EQ(m.matchText(2), "");
  EXPECT_EQ(m.subMatchText(1, 0), "");
  EXPECT_EQ(m.subMatchText(1, 3), "");
  EXPECT_EQ(m.subMatchText(2, 1), "");
  EXPECT_EQ(m.subMatchText(-1, 1), "");
}

TEST(RegexMatcher, DefaultAddressHeaderGroups) {
  RegexMatcher m;
  ASSERT_TRUE(m.execute(kDefaultAddressHeader, "收件地址|详细信息|发货地址"));
  ASSERT_EQ(m.matchCount(), 3);
  EXPECT_EQ(m.subMatchCount(), 2);
  EXPECT_EQ(m.subMatchText(1, 1), "收件");
  EXPECT_EQ(m.subMatchText(1, 2), "地址");
  EXPECT_EQ(m.subMatchText(2, 1), "详细");
  EXPECT_EQ(m.subMatchText(2, 2), "信息");
  EXPECT_EQ(m.matchText(3), "地址");
  EXPECT_EQ(m.subMatchText(3, 1), "");  // the plain alternative has no groups
}

TEST(RegexMatcher, ImportHeaderPatternsOnHeaderCells) {
  struct HeaderCase {
    const char* pattern;
    const char* cell;
    bool matches;
  };
  const HeaderCase cases[] = {
      {kExactAddressHeader, "地址", true},
      {kExactAddressHeader, "收货地址", false},
      {kExactAddressHeader, "地址 ", false},
      {kDefaultAddressHeader, "收货人详细地址", true},
      {kDefaultAddressHeader, "收件信息", true},
      {kDefaultAddressHeader, "收货人", false},
      {kDefaultOrderNoHeader, "网上订单号", true},
      {kDefaultOrderNoHeader, "来源单号", true},
      {kDefaultOrderNoHeader, "单号", false},
      {"收件区/县", "收件区/县", true},
      {"地区|省市区|省市县", "所在省市县", true},
      {"省", "省市区", true},
      {"收货详情|详细地址", "收货详细", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(countMatches(c.pattern, c.cell) > 0, c.matches) << c.pattern << " / " << c.cell;
  }
}

TEST(RegexMatcher, PlaceNamesTellAddressesFromOtherClipboardTexts) {
  struct ClipCase {
    const char* text;
    std::vector<std::string> names;
  };
  const ClipCase cases[] = {
      {"浙江省杭州市西湖区文三路90号 张三 13800001111", {"浙江", "杭州"}},
      {"黑龙江省齐齐哈尔市龙沙区", {"黑龙江", "齐齐哈尔"}},
      {"吉林省吉林市船营区", {"吉林", "吉林"}},
      {"内蒙古鄂尔多斯市东胜区", {"内蒙", "鄂尔多斯"}},
      {"香港九龙旺角弥敦道", {"香港", "九龙"}},
      {"澳门氹仔", {"澳门", "氹仔"}},
      {"新疆伊犁哈萨克自治州伊宁市", {"新疆", "伊犁"}},
      {"订单已发货，请注意查收", {}},
      {"hello world 12345", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    RegexMatcher m;
    ASSERT_TRUE(m.execute(kPlaceNamePattern, c.text));
    EXPECT_EQ(allMatchTexts(m), c.names) << c.text;
  }
}

TEST(RegexMatcher, MaskedAddressPattern) {
  const std::string run25(25, 'A');
  struct MaskCase {
    const char* name;
    std::string text;
    bool masked;
  };
  const MaskCase cases[] = {
      {"encrypted cell", "~AgAAAAB3yV0EYgPxFwBA+1r1Jd8r0Q5m9Ht9uN1U1w==~", true},
      {"the not-decrypted notice", "此次不解密", true},
      {"plain address", "北京市朝阳区建国路88号SOHO现代城", false},
      {"25 characters", run25, false},
      {"26 characters", run25 + "b", true},
      {"full-width punctuation counts", run25.substr(0, 20) + "【】《》，。", true},
      {"backslash, brackets, quote", run25.substr(0, 20) + "\\[]'‘…", true},
      {"a Chinese character breaks the run", run25 + "中" + run25, false},
      {"a space breaks the run", run25 + " " + run25, false},
      {"masked part of a longer cell", "收件人：" + run25 + "=", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(countMatches(kMaskedAddressPattern, c.text) > 0, c.masked) << c.name;
  }
}

TEST(RegexMatcher, MegabyteOfLettersUnderTheMaskedPattern) {
  const std::string letters(1 << 20, 'q');
  RegexMatcher m;
  ASSERT_TRUE(m.execute(kMaskedAddressPattern, letters));
  ASSERT_EQ(m.matchCount(), 1);
  EXPECT_EQ(m.matchText(1).size(), letters.size());
}

TEST(RegexMatcher, MatchesNeverSplitADoubleByteCharacter) {
  // "珅" is AB 7C: its trail byte is '|'. "誠" is D5 5C: its trail byte is '\'.
  const std::string shen = "\xAB\x7C";
  const std::string cheng = "\xD5\x5C";
  EXPECT_EQ(countMatches("[|]", shen + shen), 0);
  EXPECT_EQ(countMatches("[|]", shen + "|"), 1);
  EXPECT_EQ(countMatches("\\\\", cheng), 0);
  EXPECT_EQ(countMatches(shen, "a" + shen), 1);
  EXPECT_EQ(countMatches("..", "中文"), 1);

  RegexMatcher m;
  ASSERT_TRUE(m.execute(".", "a中"));
  EXPECT_EQ(allMatchTexts(m), (std::vector<std::string>{"a", "中"}));
}

TEST(RegexMatcher, PositionsAreByteOffsetsInTheSubject) {
  RegexMatcher m;
  ASSERT_TRUE(m.execute("(杭州)市", "浙江省abc杭州市"));
  int position = -5;
  EXPECT_EQ(m.matchText(1, &position), "杭州市");
  EXPECT_EQ(position, 9);
  EXPECT_EQ(m.subMatchText(1, 1, &position), "杭州");
  EXPECT_EQ(position, 9);
  EXPECT_EQ(m.matchText(2, &position), "");
  EXPECT_EQ(position, -1);
}

TEST(RegexMatcher, BytesOutsideTheCodePageDoNotBlankTheText) {
  // 0xFF is no GBK byte, a lead byte at the end has no trail: the text around them still
  // matches, and a match over them gives back the bytes as they were.
  RegexMatcher m;
  ASSERT_TRUE(m.execute("北京|天津", "北京\xFF天津\xB1"));
  EXPECT_EQ(allMatchTexts(m), (std::vector<std::string>{"北京", "天津"}));
  int position = 0;
  ASSERT_TRUE(m.execute("京.天", "北京\xFF天津"));
  EXPECT_EQ(m.matchText(1, &position), "京\xFF天");
  EXPECT_EQ(position, 2);
  ASSERT_TRUE(m.execute("津.$", "天津\xB1"));
  EXPECT_EQ(m.matchText(1), "津\xB1");
}

TEST(RegexMatcher, ReplacesEveryMatch) {
  struct ReplaceCase {
    const char* pattern;
    const char* subject;
    const char* replacement;
    const char* want;
  };
  const ReplaceCase cases[] = {
      {"乡|镇|村|组", "张家镇李村三组", "@@@", "张家@@@李@@@三@@@"},
      {"(\\d+)-(\\d+)", "电话 010-1234", "$2/$1", "电话 1234/010"},
      {"地址", "收货地址", "[$&]", "收货[地址]"},
      {"址", "收货地址备注", "<$`|$'>", "收货地<收货地|备注>备注"},
      {"a", "a", "$$", "$"},
      {"(a)", "a", "$0$2$", "$0$2$"},
      {"(a)", "a", "$10", "a0"},
      {"x*", "ab", "-", "-a-b-"},
      {"不存在", "原文不变", "x", "原文不变"},
  };
  for (const auto& c : cases) {
    RegexMatcher m;
    ASSERT_TRUE(m.execute(c.pattern, c.subject)) << c.pattern;
    EXPECT_EQ(m.replaceMatches(c.replacement), c.want) << c.pattern;
  }

  RegexMatcher first;
  ASSERT_TRUE(first.execute("a", "aaa", {.global = false}));
  EXPECT_EQ(first.replaceMatches("b"), "baa");
}

TEST(RegexMatcher, CopiesKeepTheResults) {
  RegexMatcher m;
  ASSERT_TRUE(m.execute("(北)京", "北京"));
  RegexMatcher copy = m;
  ASSERT_TRUE(m.execute("x", "y"));
  EXPECT_EQ(copy.matchCount(), 1);
  EXPECT_EQ(copy.subMatchText(1, 1), "北");
  EXPECT_EQ(copy.patternText(), "(北)京");
}

}  // namespace
}  // namespace pv
