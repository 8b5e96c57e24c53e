#include "core/settings/settings_codec.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

namespace pv {

// Readable failures: the items, selection and text instead of the object's bytes.
void PrintTo(const ComboState& combo, std::ostream* os) {
  *os << "{";
  for (const ComboItem& item : combo.items) *os << item.text << "=" << item.value << ", ";
  *os << "selected " << combo.selected << ", text \"" << combo.text << "\"}";
}

namespace {

struct EditCase {
  const char* name;
  std::string content;
  std::string stored;
  std::string readBack;
};

TEST(SettingsCodec, EditBoxValuesStayOneLineAndKeepTheirQuotes) {
  const EditCase cases[] = {
      {"two lines", "甲\r\n乙", "甲><br><乙", "甲\r\n乙"},
      {"double quotes", "say \"hi\"", "say #引号hi#引号", "say \"hi\""},
      {"quote then break", "\"\r\n\"", "#引号><br><#引号", "\"\r\n\""},
      {"empty lines kept", "a\r\n\r\nb\r\n", "a><br><><br><b><br><", "a\r\n\r\nb\r\n"},
      {"lone LF never reaches the file", "a\nb", "a><br><b", "a\r\nb"},
      {"lone CR never reaches the file", "a\rb\n\r", "a><br><b><br><><br><", "a\r\nb\r\n\r\n"},
      {"placeholder unchanged", "输入地址进行查询，按下回车键可以快速查询",
       "输入地址进行查询，按下回车键可以快速查询", "输入地址进行查询，按下回车键可以快速查询"},
      {"single quotes are not marked", "it's", "it's", "it's"},
      {"stray lead byte before a quote", "a\xE4\"", "a\xE4#引号", "a\xE4\""},
      {"empty", "", "", ""},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(encodeEditText(c.content), c.stored);
    EXPECT_EQ(decodeEditText(c.stored), c.readBack);
  }
  // Marks written by an operator read back as what they stand for: the format cannot tell.
  EXPECT_EQ(decodeEditText("x><br><y#引号"), "x\r\ny\"");
}

TEST(SettingsCodec, TickedValues) {
  EXPECT_EQ(encodeTicked(true), "真");
  EXPECT_EQ(encodeTicked(false), "假");
  struct Case {
    const char* value;
    std::optional<bool> ticked;
  };
  const Case cases[] = {{"", std::nullopt}, {"真", true},    {"假", false}, {"1", true},
                        {"0", true},        {"false", true}, {"假假", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(decodeTicked(c.value), c.ticked);
  }
}

struct ComboCase {
  const char* name;
  ComboState combo;
  std::string stored;
};

TEST(SettingsCodec, ComboBoxesRoundTrip) {
  const ComboCase cases[] = {
      {"items, selection, text", {{{"A", 1}, {"B", 2}}, 1, "B"}, "A<|>1<||>B<|>2<||>1<|>B"},
      {"no items", {{}, -1, "请选择服务"}, "-1<|>请选择服务"},
      {"no items, no text", {{}, -1, ""}, "-1<|>"},
      {"typed text differs from the selection",
       {{{"顺丰标快", 1001}, {"中通", 1002}}, 0, "自己输入的"},
       "顺丰标快<|>1001<||>中通<|>1002<||>0<|>自己输入的"},
      {"quotes everywhere", {{{"x\"y", -7}}, 0, "\"z\""}, "x#引号y<|>-7<||>0<|>#引号z#引号"},
      {"separator inside an item text", {{{"a<|>b", 3}}, 0, "a<|>b"}, "a<|>b<|>3<||>0<|>a<|>b"},
      {"line break in an item text", {{{"甲\r\n乙", 4}}, -1, ""}, "甲><br><乙<|>4<||>-1<|>"},
      {"empty item", {{{"", 0}}, 0, ""}, "<|>0<||>0<|>"},
  };
  for (const ComboCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(encodeCombo(c.combo), c.stored);
    EXPECT_EQ(decodeCombo(c.stored), c.combo);
  }
}

TEST(SettingsCodec, ComboValuesFromElsewhereAreReadLeniently) {
  EXPECT_EQ(decodeCombo(""), std::nullopt);
  struct Case {
    const char* name;
    const char* stored;
    ComboState combo;
  };
  const Case cases[] = {
      {"selection only", "2", {{}, 2, ""}},
      {"no number", "x<|>t", {{}, 0, "t"}},
      {"number with trailer", "3x<|>t", {{}, 3, "t"}},
      {"item without value", "A<||>0<|>A", {{{"A", 0}}, 0, "A"}},
      {"item value with trailer", "A<|>12abc<||>0<|>A", {{{"A", 12}}, 0, "A"}},
      {"a lone quote mark", "#引号", {{}, 0, ""}},
      {"trailing item end", "A<|>1<||>", {{{"A", 1}}, 0, ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decodeCombo(c.stored), c.combo);
  }
}

TEST(SettingsCodec, LeadingInteger) {
  struct Case {
    const char* text;
    int value;
  };
  const Case cases[] = {{"", 0},
                        {"x", 0},
                        {"-", 0},
                        {"12x", 12},
                        {"-1", -1},
                        {"+5", 5},
                        {" 7", 7},
                        {"1 2", 1},
                        {"2147483647", INT_MAX},
                        {"99999999999999999999", INT_MAX},
                        {"-2147483648", INT_MIN},
                        {"-99999999999999999999", INT_MIN}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(leadingInteger(c.text), c.value);
  }
}

TEST(SettingsCodec, ReadValuesAreCutAtTheLimitOnACharacterBoundary) {
  const std::string exact(kSettingsValueLimit, 'a');
  EXPECT_EQ(limitSettingsValue(exact), exact);
  EXPECT_EQ(limitSettingsValue(exact + "b"), exact);
  // "中" is two bytes; the limit falls between them, so the whole character goes.
  const std::string beforeLast(kSettingsValueLimit - 1, 'a');
  EXPECT_EQ(limitSettingsValue(beforeLast + "中"), beforeLast);
  const std::string twoBefore(kSettingsValueLimit - 2, 'a');
  EXPECT_EQ(limitSettingsValue(twoBefore + "中a"), twoBefore + "中");
  std::string chinese;
  while (chinese.size() < kSettingsValueLimit + 10) chinese += "中";
  EXPECT_EQ(limitSettingsValue(chinese).size(), kSettingsValueLimit - 1);
}

}  // namespace
}  // namespace pv
