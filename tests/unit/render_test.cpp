// Verdicts rendered into the in-memory output box: the runs with their colours and
// weights, for the summary block in both layouts and for the detail sections.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/screening/render.h"
#include "core/text/codepage.h"
#include "core/ui/memory_ui.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {


// Runs written as "text{colour}" with a "*" for bold; colours by name where known.
std::string describe(const std::vector<TextRun>& runs) {
  std::ostringstream out;
  for (const TextRun& r : runs) {
    out << r.text << "{";
    if (r.colour == kColourBlack) out << "black";
    else if (r.colour == kColourBlue) out << "blue";
    else if (r.colour == kColourAzure) out << "azure";
    else if (r.colour == kColourOrange) out << "orange";
    else if (r.colour == kColourGreen) out << "green";
    else if (r.colour == kColourSeaGreen) out << "seagreen";
    else out << std::hex << r.colour << std::dec;
    out << (r.bold ? "*" : "") << "}";
  }
  return out.str();
}

struct RenderRig {
  RenderRig() { ui.load(Window::Main, false); }
  MemoryUi ui;
  UiRichTextBox box{ui, Window::Main, kOutputBox};
  RecordingPauses pauses;
  RichWriter writer{box, pauses};

  std::string runs() const { return describe(ui.richRuns(Window::Main, kOutputBox)); }
};

JsonDocument answerOf(std::u8string_view json) {
  JsonDocument doc;
  EXPECT_TRUE(doc.parse(utf8Text(json))) << doc.errorText();
  return doc;
}

TEST(Render, SplitByKeywords) {
  struct Case {
    std::string_view keywords, text;
    std::vector<KeywordPiece> want;
  };
  const Case cases[] = {
      {kVillageKeywords, "浙江省淳安县下姜村3组", {{"浙江省淳安县下姜", false}, {"村", true}, {"3", false}, {"组", true}}},
      {kVillageKeywords, "上海市黄浦区", {{"上海市黄浦区", false}}},
      {kVillageKeywords, "村村", {{"村", true}, {"村", true}}},
      {"", "上海市", {{"上海市", false}}},
      {"abc", "xABCx", {{"x", false}, {"ABC", true}, {"x", false}}},  // case is ignored
      {"村", "a@@@b村", {{"a@@@b", false}, {"村", true}}},              // the text stays whole
      {"(", "a(b", {{"a(b", false}}},                                  // not an expression: plain
      {"x|", "axb", {{"a", false}, {"x", true}, {"b", false}}},        // empty matches cut nothing
      {kVillageKeywords, "", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitByKeywords(c.keywords, c.text), c.want) << c.text;
}

TEST(Render, ParseHexColour) {
  const std::pair<std::string_view, Colour> cases[] = {
      {"#f06e33", kColourOrange}, {"f06e33", kColourOrange}, {"F06E33", kColourOrange}, {"339933", kColourGreen},
      {"#0000ff", kColourBlue},   {"", kColourBlack},        {"#", kColourBlack},       {"ab", 0xAB},
      {"x#0088ff", kColourAzure}, {"g0h8i8", 0x080800}, {"#ff0000#", 0xF00F},  // nothing after the last "#": the whole text
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(parseHexColour(text), want) << text;
}

TEST(Render, LabelledLinesAndStyledText) {
  RenderRig rig;
  appendLabelledLine(rig.writer, "空", "", kColourBlue);  // nothing at all, not even a pause
  EXPECT_EQ(rig.runs(), "");
  EXPECT_TRUE(rig.pauses.taken().empty());

  appendLabelledLine(rig.writer, "查询地址", "下姜村3组", kColourBlack, kVillageKeywords, kColourOrange);
  appendStyledText(rig.writer, "粗体", kColourBlue, {}, kColourBlack, true);
  appendStyledText(rig.writer, "a村b", kColourBlue, kVillageKeywords, kColourOrange, true);  // keywords decide the weight
  appendStyledText(rig.writer, "", kColourBlue);
  EXPECT_EQ(rig.runs(),
            "【查询地址】：{black}下姜{black}村{orange*}3{black}组{orange*}\r\n{black}"
            "粗体{blue*}a{blue}村{orange*}b{blue}");
  EXPECT_EQ(rig.pauses.taken(), std::vector<milliseconds>(4, kAppendPause));
}

TEST(Render, ReadTextList) {
  const JsonDocument doc = answerOf(u8R"({"a":["浙江省","杭州市",7],"b":"x"})");
  EXPECT_EQ(readTextList(doc.root(), "a"), (std::vector<std::string>{"浙江省", "杭州市", ""}));
  EXPECT_TRUE(readTextList(doc.root(), "b").empty());
  EXPECT_TRUE(readTextList(doc.root(), "c").empty());
}

// One verdict with every part the layouts show.
constexpr std::u8string_view kFullAnswer = u8R"({"code":0,"msg":"ok","data":[{
  "input":"淳安县下姜村3组",
  "analysis":{"address":"浙江省杭州市淳安县枫树岭镇下姜村3组"},
  "districts":["浙江省","杭州市","淳安县"],
  "isVillage":true,
  "sites":[
    {"title":"淳安网点","name":"淳安","linkPerson":"王五","linkPhone":"0571-1","groupName":"杭州分拨",
     "labels":["自营","加盟"],"firstSite":{"name":"杭州总部"},"address":"千岛湖镇1号",
     "deliveryArea":"全县含下姜村","specialArea":"下姜村除外","extra":{"营业时间":"8-18","空":""},
     "acceptor":{"fmtAddress":"枫树岭镇下姜村3组","distance":16000}},
    {"linkPhone":"110"}],
  "policies":[
    {"type":1,"shortTypeName":"盲区","typeName":"盲区停发","typeStr":"盲区停发","object":"下姜村","color":"#f06e33",
     "modeStr":"关键字","source":"总部","creator":"张三","remark":"下姜村停发"},
    {"type":99,"shortTypeName":"偏远","object":"偏远","color":"123456","pass":true,"popObject":"弹出"}]
}]})";

TEST(Render, SummaryBlockInBothLayouts) {
  const std::string common =
      "【查询地址】：{black}浙江省杭州市淳安县枫树岭{black}镇{orange*}下姜{black}村{orange*}3{black}组{orange*}\r\n{black}"
      "【行政区划】：{black}浙江省；杭州市；淳安县{blue}\r\n{black}"
      "【匹配网点】：{black}淳安网点{blue}[王五0571-1]{azure}；{blue}[110]{azure}；{blue}\r\n{black}"
      "【匹配结果】：{black}下姜村[盲区]；{orange}[偏远]；{563412}\r\n\r\n{black}";
  struct Case {
    SummaryLayout layout;
    std::string want;
  };
  const Case cases[] = {
      {SummaryLayout::Detailed, common},
      {SummaryLayout::Quick, "【筛单项目】：{black}项目 - 服务{black}\r\n{black}" + common},
  };
  for (const Case& c : cases) {
    RenderRig rig;
    const JsonDocument answer = answerOf(kFullAnswer);
    const std::string keywords = renderSummaryBlock(rig.writer, answer, 0, "sent", c.layout, "项目 - 服务");
    EXPECT_EQ(rig.runs(), c.want);
    EXPECT_EQ(keywords, "下姜村|偏远");
  }
}

TEST(Render, SummaryBlockVariants) {
  struct Case {
    const char* name;
    std::u8string_view answer;
    std::string want;
  };
  const std::string address = "【查询地址】：{black}上海市黄浦区{black}\r\n{black}";
  const std::string result = "【匹配结果】：{black}";
  const std::string normal = "区域正常[未查询到相关异常]{green}";
  const std::string end = "\r\n\r\n{black}";
  const Case cases[] = {
      {"no policies", u8R"({"msg":"ok","data":[{"policies":[]}]})", address + result + normal + end},
      {"policies absent, message given", u8R"({"msg":"ok","data":[{}]})", address + result + normal + end},
      {"policies absent, no message", u8R"({"data":[{}]})", address + result + end},
      {"unreadable answer", u8R"({})", address + result + end},
      {"no name for a policy", u8R"({"msg":"ok","data":[{"policies":[{"object":"暂无说明"},{"typeName":"名","object":""}]}]})",
       address + result + "[暂无说明]；{black}[名]；{black}" + end},
      {"a site without title and name", u8R"({"msg":"ok","data":[{"sites":[{}],"policies":[]}]})",
       address + "【匹配网点】：{black}；{blue}\r\n{black}" + result + normal + end},
      {"no sites at all", u8R"({"msg":"ok","data":[{"sites":[],"policies":[]}]})",
       address + "【匹配网点】：{black}\r\n{black}" + result + normal + end},
  };
  for (const Case& c : cases) {
    RenderRig rig;
    const JsonDocument answer = answerOf(c.answer);
    renderSummaryBlock(rig.writer, answer, 0, "上海市黄浦区", SummaryLayout::Detailed);
    EXPECT_EQ(rig.runs(), c.want) << c.name;
  }
}

TEST(Render, DetailSections) {
  RenderRig rig;
  const JsonDocument answer = answerOf(kFullAnswer);
  const std::string keywords = renderSummaryBlock(rig.writer, answer, 0, "sent", SummaryLayout::Detailed);
  const int summaryLines = rig.ui.lineCount(Window::Main, kOutputBox);
  const size_t summaryRuns = rig.ui.richRuns(Window::Main, kOutputBox).size();
  const SectionLines lines = renderDetailedSections(rig.writer, answer, 0, keywords);
  EXPECT_EQ(lines.site, summaryLines);

  std::vector<TextRun> runs = rig.ui.richRuns(Window::Main, kOutputBox);
  runs.erase(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(summaryRuns));
  const std::string sites =
      "----------------------匹配网点----------------------\r\n{black}"
      "【网点名称】：{black}淳安{blue}\r\n{black}"
      "【所属网点】：{black}杭州总部{blue}\r\n{black}"
      "【所属分拨】：{black}杭州分拨{blue}\r\n{black}"
      "【网点属性】：{black}自营/加盟{blue}\r\n{black}"
      "【联系方式】：{black}王五 - 0571-1{blue}\r\n{black}"
      "【网点地址】：{black}千岛湖镇1号{blue}\r\n{black}"
      "【派送范围】：{black}全县含{blue}下姜村{seagreen*}\r\n{black}"
      "【特殊区域】：{black}下姜村{orange*}除外{blue}\r\n{black}"
      "【营业时间】：{black}8-18{blue}\r\n{black}"
      "【收件信息】：{black}枫树岭{black}镇{orange*}下姜{black}村{orange*}3{black}组{orange*}"
      "(距离派件网点{black}16000{blue*}米){black}\r\n\r\n{black}"
      // The second site has nothing but a phone, no receiver text of its own, no distance.
      "【联系方式】：{black}110{blue}\r\n{black}"
      "【收件信息】：{black}浙江省杭州市淳安县枫树岭{black}镇{orange*}下姜{black}村{orange*}3{black}组{orange*}"
      "\r\n\r\n{black}";
  const std::string policies =
      "----------------------匹配策略----------------------\r\n{black}"
      "【匹配策略】：{black}拦截{blue}\r\n{black}"
      "【数据来源】：{black}总部(张三){blue}\r\n{black}"
      "【匹配模式】：{black}关键字{blue}\r\n{black}"
      "【匹配对象】：{black}下姜村{blue}\r\n{black}"
      "【限制类型】：{black}盲区停发{orange}\r\n{black}"
      "【匹配提示】：{black}盲区停发{orange}\r\n{black}"
      "【匹配说明】：{black}下姜村{orange*}停发{blue}\r\n{black}"
      "\r\n{black}"
      "【匹配策略】：{black}仅提示{blue}\r\n{black}"
      "【匹配对象】：{black}弹出{blue}\r\n{black}"
      "【限制类型】：{black}暂无提示{563412}\r\n{black}"
      "【匹配提示】：{black}暂无提示{563412}\r\n{black}"
      "\r\n{black}";
  EXPECT_EQ(describe(runs), sites + policies);

  // The policy section starts on the line after the site section's last line break.
  int expectedPolicyLine = summaryLines;
  for (const TextRun& r : runs) {
    if (r.text.starts_with("-") && r.text.find("匹配策略") != std::string::npos) break;
    for (char ch : r.text) expectedPolicyLine += ch == '\n';
  }
  EXPECT_EQ(lines.policy, expectedPolicyLine);
}

TEST(Render, WithoutKeywordsNothingIsHighlighted) {
  RenderRig rig;
  const JsonDocument answer = answerOf(
      u8R"({"msg":"ok","data":[{"sites":[{"name":"点","deliveryArea":"下姜村","specialArea":"村"}],"policies":[{"remark":"村"}]}]})");
  const std::string keywords = renderSummaryBlock(rig.writer, answer, 0, "x", SummaryLayout::Detailed);
  EXPECT_EQ(keywords, "");  // an empty object names no keyword
  rig.ui.setText(Window::Main, kOutputBox, "");
  renderDetailedSections(rig.writer, answer, 0, keywords);
  const std::string runs = rig.runs();
  EXPECT_NE(runs.find("【派送范围】：{black}下姜村{blue}"), std::string::npos) << runs;
  EXPECT_NE(runs.find("【特殊区域】：{black}村{blue}"), std::string::npos) << runs;
  EXPECT_NE(runs.find("【匹配说明】：{black}村{blue}"), std::string::npos) << runs;
}

TEST(Render, AnEmptyObjectDoesNotHideTheKeywordsAfterIt) {
  RenderRig rig;
  const JsonDocument answer = answerOf(
      u8R"({"msg":"ok","data":[{"policies":[{"object":""},{"object":"下姜村","remark":"在下姜村"}]}]})");
  const std::string keywords = renderSummaryBlock(rig.writer, answer, 0, "x", SummaryLayout::Detailed);
  EXPECT_EQ(keywords, "下姜村");
  rig.ui.setText(Window::Main, kOutputBox, "");
  renderDetailedSections(rig.writer, answer, 0, keywords);
  EXPECT_NE(rig.runs().find("【匹配说明】：{black}在{blue}下姜村{black*}"), std::string::npos) << rig.runs();
}

}  // namespace
}  // namespace pv
