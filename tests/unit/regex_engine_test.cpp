// The engine over UTF-16 texts: syntax, match choice, groups, refusals, big inputs, and a
// differential run against std::wregex.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <string>

#include "core/regex/regex.h"

namespace pv {
namespace {

// Forces the Pike VM: an assertion that always holds keeps the lazy DFA out, so the same
// pattern can be run through both matchers.
std::u16string throughPikeVm(std::u16string_view pattern) {
  return u"(?:\\b|\\B)(?:" + std::u16string(pattern) + u")";
}

// First match as "begin,end", or "none".
std::string firstMatch(std::u16string_view pattern, std::u16string_view text,
                       RegexOptions options = {}) {
  Regex regex = Regex::compile(pattern, options);
  if (!regex.valid()) return "invalid";
  RegexMatches m;
  if (!regex.search(text, 0, m, false)) return "none";
  return std::to_string(m.span(0).begin) + "," + std::to_string(m.span(0).end);
}

// Every match as "begin,end;..." .
std::string allMatches(std::u16string_view pattern, std::u16string_view text,
                       RegexOptions options = {}) {
  Regex regex = Regex::compile(pattern, options);
  if (!regex.valid()) return "invalid";
  const RegexMatches m = regex.findAll(text);
  std::string out;
  for (int i = 0; i < m.size(); ++i) {
    if (i) out += ";";
    out += std::to_string(m.span(i).begin) + "," + std::to_string(m.span(i).end);
  }
  return out;
}

struct MatchCase {
  const char* name;
  std::u16string pattern;
  std::u16string text;
  std::string want;  // first match "begin,end" or "none"
  bool ignoreCase = true;
};

TEST(RegexEngine, FindsTheMatchABacktrackingEngineWouldFind) {
  const MatchCase cases[] = {
      {"literal", u"地址", u"收货地址", "2,4"},
      {"first alternative wins over a longer one", u"吉林|吉林省", u"吉林省长春市", "0,2"},
      {"leftmost beats alternative order", u"天津|北京", u"北京天津", "0,2"},
      {"greedy star", u"a.*c", u"abcabc", "0,6"},
      {"lazy star", u"a.*?c", u"abcabc", "0,3"},
      {"lazy plus", u"\\d+?", u"x123", "1,2"},
      {"greedy counted", u"\\d{2,3}", u"12345", "0,3"},
      {"lazy counted", u"\\d{2,3}?", u"12345", "0,2"},
      {"exact count", u"a{3}", u"aaaa", "0,3"},
      {"open count", u"a{2,}", u"a aaaa", "2,6"},
      {"count not reached", u"a{3}", u"aa", "none"},
      {"zero count", u"ba{0}c", u"bc", "0,2"},
      {"optional prefers taking", u"收?货", u"收货", "0,2"},
      {"class with ranges", u"[0-9a-f]+", u"xyz09afg", "3,7"},
      {"negated class", u"[^省市]+", u"省北京市", "1,3"},
      {"class escapes", u"[\\d\\s]+", u"ab1 2\tc", "2,6"},
      {"escaped bracket and backslash in a class", u"[\\\\[\\]]+", u"a[\\]b", "1,4"},
      {"dash at the edges of a class", u"[-a]+|[b-]+", u"x-a-b", "1,4"},
      {"backspace escape in a class", u"[\\b]", u"a\bb", "1,2"},
      {"dot stops only at a line feed", u"a.c", u"a\nc a\rc", "4,7"},
      {"dot takes the other line separators", u"a.c", u"a\u2028c", "0,3"},
      {"dot-star keeps the CR of a CRLF", u"地址.*", u"地址X\r\n", "0,4"},
      {"letter escape without a meaning is the letter", u"\\y\\e", u"xye", "1,3"},
      {"the same inside a class", u"[\\B\\q]+", u"aBqb", "1,4"},
      {"a property escape is literal text", u"\\p{L}", u"p{L}", "0,4"},
      {"non-word boundary, then a letter escape", u"\\B\\e", u"ee", "1,2"},
      {"word escapes", u"\\w+", u"  中文abc_1 ", "4,9"},
      {"non-word escape", u"\\W+", u"ab中文cd", "2,4"},
      {"hex and unicode escapes", u"\\x41\\u4e2d", u"xA中", "1,3"},
      {"control escape", u"\\cJ", u"a\nb", "1,2"},
      {"escaped metacharacters", u"\\(\\)\\.\\*\\+\\?\\{\\}\\|\\^\\$", u"x().*+?{}|^$", "1,12"},
      {"lone braces are characters", u"a{,2}|{x}", u"{x}a{,2}", "0,3"},
      {"closing bracket alone is a character", u"a]", u"ba]", "1,3"},
      {"empty pattern", u"", u"abc", "0,0"},
      {"empty alternative", u"x|", u"abc", "0,0"},
      {"empty class matches nothing", u"a[]", u"a", "none"},
      {"class of anything", u"[^]+", u"a\nb", "0,3"},
      {"line start in multi-line", u"^地址", u"收货地址\r\n地址", "6,8"},
      {"line end in multi-line", u"^地址$", u"收货地址\n地址\n", "5,7"},
      {"line end before CR", u"址$", u"地址\r\n", "1,2"},
      {"exact header refuses a longer one", u"^地址$", u"收货地址", "none"},
      {"word boundary", u"\\bcat\\b", u"concat cat", "7,10"},
      {"non-word boundary", u"\\Bcat", u"cat concat", "7,10"},
      {"ignores Latin case", u"tlistview", u"TListView", "0,9"},
      {"ignores case in ranges", u"[a-c]+", u"xABCd", "1,4"},
      {"negated class and case", u"[^a]", u"Ab", "1,2"},
      {"full-width Latin folds", u"ａｂ", u"ＡＢ", "0,2"},
      {"Greek folds, final sigma too", u"σ", u"ΣΑ", "0,1"},
      {"Cyrillic folds", u"москва", u"МОСКВА", "0,6"},
      {"long s does not fold to s", u"s", u"\u017f", "none"},
      {"case kept when asked", u"tlistview", u"TListView", "none", false},
      {"nested groups and alternation", u"((收[件货]|详细)(地址|信息)|地址)", u"详细信息", "0,4"},
      {"empty loop body ends", u"(a*)*b", u"aab", "0,3"},
      {"alternation inside repetition", u"(?:ab|a)+c", u"ababac", "0,6"},
  };
  for (const auto& c : cases) {
    const RegexOptions options{.ignoreCase = c.ignoreCase, .multiline = true};
    EXPECT_EQ(firstMatch(c.pattern, c.text, options), c.want) << c.name;
    EXPECT_EQ(firstMatch(throughPikeVm(c.pattern), c.text, options), c.want) << c.name << " (Pike VM)";
  }
}

TEST(RegexEngine, SingleLineAnchorsOnlyAtTheEnds) {
  const RegexOptions single{.ignoreCase = true, .multiline = false};
  EXPECT_EQ(firstMatch(u"^b", u"a\nb", single), "none");
  EXPECT_EQ(firstMatch(u"a$", u"a\nb", single), "none");
  EXPECT_EQ(firstMatch(u"^a\\nb$", u"a\nb", single), "0,3");
}

TEST(RegexEngine, FindAllStepsPastEmptyMatches) {
  EXPECT_EQ(allMatches(u"北京|天津", u"北京到天津再到北京"), "0,2;3,5;7,9");
  EXPECT_EQ(allMatches(u"a*", u"baaa"), "0,0;1,4;4,4");
  EXPECT_EQ(allMatches(u"", u"ab"), "0,0;1,1;2,2");
  EXPECT_EQ(allMatches(u"a*?", u"aa"), "0,0;1,1;2,2");
  EXPECT_EQ(allMatches(u"^", u"a\nb\n"), "0,0;2,2;4,4");
  EXPECT_EQ(allMatches(u"x", u""), "");
  EXPECT_EQ(allMatches(u"x*", u""), "0,0");

  Regex regex = Regex::compile(u"a");
  EXPECT_EQ(regex.findAll(u"aaa", false).size(), 1);
}

TEST(RegexEngine, ReportsGroupsOfEachMatch) {
  Regex regex = Regex::compile(u"(收[件货]|详细)(地址|信息)|地址");
  ASSERT_TRUE(regex.valid());
  EXPECT_EQ(regex.groupCount(), 2);
  const RegexMatches m = regex.findAll(u"收货地址,详细信息,发货地址");
  ASSERT_EQ(m.size(), 3);
  EXPECT_EQ(m.groupCount(), 2);
  EXPECT_EQ(m.span(0, 1).begin, 0);
  EXPECT_EQ(m.span(0, 1).end, 2);
  EXPECT_EQ(m.span(0, 2).begin, 2);
  EXPECT_EQ(m.span(1, 1).begin, 5);
  EXPECT_EQ(m.span(1, 2).end, 9);
  // The third match takes the last alternative: its groups took no part.
  EXPECT_EQ(m.span(2).begin, 12);
  EXPECT_EQ(m.span(2, 1).begin, -1);
  EXPECT_EQ(m.span(2, 2).begin, -1);
  EXPECT_EQ(m.span(3).begin, -1);
  EXPECT_EQ(m.span(0, 3).begin, -1);
}

TEST(RegexEngine, GroupsFollowBacktrackingRules) {
  struct GroupCase {
    const char* name;
    std::u16string pattern, text;
    int group;
    RegexSpan want;
  };
  const GroupCase cases[] = {
      {"last iteration wins", u"(\\d)+", u"123", 1, {2, 3}},
      {"each iteration starts without groups", u"(?:(a)|b)+", u"ab", 1, {-1, -1}},
      {"greedy group takes most", u"(a*)(a*)", u"aaa", 1, {0, 3}},
      {"lazy group takes least", u"(a*?)(a*)", u"aaa", 1, {0, 0}},
      {"alternation order inside a group", u"(a|ab)(c|bcd)", u"abcd", 2, {1, 4}},
      {"group of the chosen alternative", u"(x)|(y)", u"y", 2, {0, 1}},
  };
  for (const auto& c : cases) {
    for (const std::u16string& pattern : {c.pattern, throughPikeVm(c.pattern)}) {
      Regex regex = Regex::compile(pattern);
      ASSERT_TRUE(regex.valid()) << c.name;
      RegexMatches m;
      ASSERT_TRUE(regex.search(c.text, 0, m, true)) << c.name;
      EXPECT_EQ(m.span(0, c.group).begin, c.want.begin) << c.name;
      EXPECT_EQ(m.span(0, c.group).end, c.want.end) << c.name;
    }
  }
}

TEST(RegexEngine, RefusesWhatItCannotRunOrDoesNotKnow) {
  const std::u16string refused[] = {
      u"(a)\\1",      u"\\2",          u"(?=a)",      u"(?!a)",     u"(?<=a)b",   u"(?<!a)b",
      u"(?<n>a)",     u"(?i)a",        u"a**",        u"*a",        u"+",         u"a{3,2}",
      u"{2}",         u"a{2}{3}",      u"^*",         u"$+",        u"\\b?",      u"[z-a]",
      u"[\\d-z]",     u"[a-\\w]",      u"(a",         u"a)",        u"[a",        u"\\",
      u"a\\",         u"\\x4",         u"\\xZZ",      u"\\u12",     u"\\c1",       u"\\01",
      u"(?",          u"(?:a",
  };
  for (const auto& pattern : refused) {
    EXPECT_FALSE(Regex::compile(pattern).valid()) << std::string(pattern.begin(), pattern.end());
  }
  Regex invalid = Regex::compile(u"(a");
  RegexMatches m;
  EXPECT_FALSE(invalid.search(u"a", 0, m, true));
  EXPECT_EQ(invalid.findAll(u"a").size(), 0);
  EXPECT_EQ(invalid.groupCount(), 0);
}

TEST(RegexEngine, RefusesPatternsBeyondItsLimits) {
  EXPECT_FALSE(Regex::compile(u"a{100000}").valid());
  EXPECT_FALSE(Regex::compile(u"(?:a{1000}){1000}").valid());
  EXPECT_FALSE(Regex::compile(u"((((a{100}){100}){100}){100})").valid());
  EXPECT_FALSE(Regex::compile(u"a{1,999999999999}").valid());
  EXPECT_TRUE(Regex::compile(u"[a-z]{26,}").valid());
  EXPECT_TRUE(Regex::compile(u"a{0,1000}").valid());

  std::u16string deep(200, u'(');
  deep += u'a';
  deep.append(200, u')');
  EXPECT_FALSE(Regex::compile(deep).valid());
  std::u16string nested;
  for (int i = 0; i < 100; ++i) nested += u"(?:";
  nested += u'a';
  nested.append(100, u')');
  EXPECT_TRUE(Regex::compile(nested).valid());

  std::u16string groups;
  for (int i = 0; i < 100; ++i) groups += u"(a)";
  EXPECT_FALSE(Regex::compile(groups).valid());
}

TEST(RegexEngine, LongRunsDoNotExhaustTheStack) {
  // A megabyte of letters under a repeated class: one match over everything, found by the
  // DFA; the same with anchors, which needs the Pike VM.
  const std::u16string letters(1 << 20, u'x');
  EXPECT_EQ(allMatches(u"[a-zA-Z0-9/=$*~]{26,}|此次不解密", letters), "0,1048576");
  EXPECT_EQ(firstMatch(u"^[a-z]{26,}$", letters), "0,1048576");
  Regex grouped = Regex::compile(u"([a-z])+");
  RegexMatches m;
  ASSERT_TRUE(grouped.search(letters, 0, m, true));
  EXPECT_EQ(m.span(0, 1).begin, (1 << 20) - 1);

  // Runs one short of the count, cut by spaces: no match, and no quadratic rescans.
  std::u16string runs;
  while (runs.size() < (1u << 20)) runs += std::u16string(25, u'k') + u' ';
  EXPECT_EQ(firstMatch(u"[a-z]{26,}", runs), "none");

  // Nested quantifiers that make a backtracking engine take exponential time.
  const std::u16string as(30000, u'a');
  EXPECT_EQ(firstMatch(u"(a*)*b", as), "none");
  EXPECT_EQ(firstMatch(u"(a|aa)+c", as), "none");
  EXPECT_EQ(firstMatch(u"(?:a+)+$", as), "0,30000");
}

TEST(RegexEngine, KeepsItsStateCacheBounded) {
  // Every suffix of 21 letters is a different DFA state: far more states than the cache
  // holds, so it is emptied and rebuilt many times on the way.
  std::mt19937 random(7);
  std::u16string text;
  for (int i = 0; i < 400000; ++i) text += random() % 2 ? u'a' : u'b';
  size_t lastA = text.size() - 21;
  while (text[lastA] != u'a') --lastA;
  const std::string want = "0," + std::to_string(lastA + 21);
  EXPECT_EQ(firstMatch(u"[ab]*a[ab]{20}", text), want);
  EXPECT_EQ(allMatches(u"a[ab]{20}b", text.substr(0, 2000)),
            allMatches(throughPikeVm(u"a[ab]{20}b"), text.substr(0, 2000)));
}

// Differential run: on short subjects, our first match must be std::wregex's (ECMAScript,
// multi-line). Patterns marked ascii use classes whose meaning for Chinese depends on the
// C library's locale tables (\w, \s, \b); they meet only ASCII subjects. Where the
// scripting engine's documented behaviour differs from ECMAScript ("." takes a CR, an
// unknown letter escape is the letter), `reference` gives the same meaning in the syntax
// std::wregex reads.
struct DifferentialPattern {
  std::u16string pattern;
  bool ascii = false;
  std::u16string reference{};  // std::wregex's form of the pattern, when it differs
};

std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

TEST(RegexEngine, AgreesWithStdWregexOnShortSubjects) {
  const DifferentialPattern patterns[] = {
      {u"北京|天津"},
      {u"吉林|吉林省|林"},
      {u"^地址$"},
      {u"(收[件货]|详细)(地址|信息)|地址"},
      {u"订单号|订单编号|原始单号|来源单号"},
      {u"收件区/县"},
      {u"[a-zA-Z0-9/=$*~!@#%^&*()_\\-+=<>?:{}|,.\\/;'\\\\\\[\\]！￥（）《》？：【】、；，。]{5,}|此次不解密"},
      {u"乡|镇|村|组"},
      {u"a.*c", false, u"a[^\\n]*c"},
      {u"a.*?c", false, u"a[^\\n]*?c"},
      {u"a.c", false, u"a[^\\n]c"},
      {u"^.+$", false, u"^[^\\n]+$"},
      {u"\\y+|\\q\\E", false, u"y+|qE"},
      {u"[\\y\\z]+", false, u"[yz]+"},
      {u"(a|ab)(c|bcd)(d*)"},
      {u"(?:ab|a)+?c"},
      {u"x*"},
      {u"a{2,3}"},
      {u"a{2,}?b"},
      {u"(a{1,2}){2}"},
      {u"[^a-c]+"},
      {u"[a-c]+", true},
      {u"^a|b$"},
      {u"$"},
      {u"\\d+\\.\\d*"},
      {u"\\w+@\\w+\\.com", true},
      {u"\\s+\\S", true},
      {u"\\bab", true},
      {u"b\\B", true},
      {u"[\\w.]+", true},
      {u"TListView"},
      {u"(a*)+b"},
      {u"a?a?aa"},
      {u"(?:a|b|)+c"},
      {u"省|市|区"},
      {u"[省市]{2}"},
      {u".{3}$", false, u"[^\\n]{3}$"},
  };
  const std::u16string subjects[] = {
      u"",
      u"a",
      u"abcabcd",
      u"ABC abc\nab",
      u"aaab",
      u"x aab ab_c b",
      u"foo@bar.com, a@b.com",
      u"1.25 and 3.",
      u" \t x\ny",
      u"tlistview TLISTVIEW",
      u"abcd bcd cd",
      u"aaaac",
      u"abababc",
      u"北京市朝阳区天津路",
      u"吉林省吉林市",
      u"收货地址",
      u"地址\n收件地址\n地址",
      u"详细信息 详细地址",
      u"原始单号 订单编号",
      u"收件区/县",
      u"浙江省杭州市西湖区",
      u"AgAA+/=xyz09【】《》，。",
      u"此次不解密",
      u"张家村二组",
      u"abc\r\nyyz\rqe\r\n",
      u"a\rc\nac",
  };
  int compared = 0;
  for (const auto& p : patterns) {
    for (bool ignoreCase : {true, false}) {
      auto flags = std::regex_constants::ECMAScript | std::regex_constants::multiline;
      if (ignoreCase) flags |= std::regex_constants::icase;
      std::wregex reference;
      try {
        reference.assign(wide(p.reference.empty() ? p.pattern : p.reference), flags);
      } catch (const std::regex_error&) {
        ADD_FAILURE() << "std::wregex refuses table pattern " << compared;
        continue;
      }
      const RegexOptions options{.ignoreCase = ignoreCase, .multiline = true};
      Regex dfa = Regex::compile(p.pattern, options);
      Regex pike = Regex::compile(throughPikeVm(p.pattern), options);
      ASSERT_TRUE(dfa.valid() && pike.valid());
      for (const auto& subject : subjects) {
        const bool chinese = std::any_of(subject.begin(), subject.end(), [](char16_t c) { return c > 0x7F; });
        if (p.ascii && chinese) continue;
        const std::wstring w = wide(subject);
        std::wsmatch m;
        const bool found = std::regex_search(w, m, reference);
        const std::string want =
            found ? std::to_string(m.position(0)) + "," + std::to_string(m.position(0) + m.length(0)) : "none";
        for (Regex* regex : {&dfa, &pike}) {
          RegexMatches ours;
          const std::string got = regex->search(subject, 0, ours, true)
                                      ? std::to_string(ours.span(0).begin) + "," + std::to_string(ours.span(0).end)
                                      : "none";
          EXPECT_EQ(got, want) << "pattern #" << (&p - patterns) << (ignoreCase ? " icase" : "")
                               << (regex == &pike ? " (Pike VM)" : "") << ", subject #"
                               << (&subject - subjects);
          ++compared;
        }
      }
    }
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace pv
