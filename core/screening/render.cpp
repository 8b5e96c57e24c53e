#include "core/screening/render.h"

#include "core/regex/regex_matcher.h"
#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

// Texts of the answer are UTF-8; what the box shows is the program's GBK.
std::string textOf(JsonValue value, std::string_view pointer) { return utf8ToGbk(value.at(pointer).text()); }
std::string memberText(JsonValue value, std::string_view key) { return utf8ToGbk(value.member(key).text()); }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Colour hexPairValue(std::string_view pair) {
  Colour value = 0;
  for (char c : pair) {
    if (const int digit = hexDigit(c); digit >= 0) value = value * 16 + Colour(digit);
  }
  return value;
}

std::string_view pairAt(std::string_view text, size_t offset) {
  return offset < text.size() ? text.substr(offset, 2) : std::string_view();
}

void appendRun(RichWriter& writer, std::string_view text, Colour colour, bool bold) {
  if (!text.empty()) writer.box.append({std::string(text), colour, bold});
}

void appendPieces(RichWriter& writer, std::string_view text, Colour colour, std::string_view keywords,
                  Colour keywordColour, bool bold) {
  if (keywords.empty()) {
    appendRun(writer, text, colour, bold);
    return;
  }
  for (const KeywordPiece& piece : splitByKeywords(keywords, text)) {
    appendRun(writer, piece.text, piece.keyword ? keywordColour : colour, piece.keyword);
  }
}

// The restriction keywords: the policies' objects as alternatives of one expression. An
// empty object would be an empty alternative, which matches before any later one and so
// keeps every keyword after it from being highlighted: empty objects are left out.
std::string keywordPattern(const std::vector<std::string>& objects) {
  std::vector<std::string> kept;
  for (const std::string& object : objects) {
    if (!object.empty()) kept.push_back(object);
  }
  return joinTexts(kept, "|");
}

void appendSummarySites(RichWriter& writer, JsonValue sites) {
  appendStyledText(writer, "【匹配网点】：", kColourBlack);
  for (JsonValue site : sites.elements()) {
    std::string title = memberText(site, "title");
    if (title.empty()) title = memberText(site, "name");
    appendStyledText(writer, title, kColourBlue);
    const std::string person = memberText(site, "linkPerson");
    const std::string phone = memberText(site, "linkPhone");
    if (!person.empty() || !phone.empty()) appendStyledText(writer, "[" + person + phone + "]", kColourAzure);
    appendStyledText(writer, "；", kColourBlue);
  }
  appendStyledText(writer, "\r\n", kColourBlack);
}

void appendSiteDetails(RichWriter& writer, JsonValue item, JsonValue site, std::string_view keywords) {
  appendLabelledLine(writer, "网点名称", memberText(site, "name"), kColourBlue);
  appendLabelledLine(writer, "所属网点", textOf(site, "/firstSite/name"), kColourBlue);
  appendLabelledLine(writer, "所属分拨", memberText(site, "groupName"), kColourBlue);
  appendLabelledLine(writer, "网点属性", joinTexts(readTextList(site, "labels"), "/"), kColourBlue);
  std::vector<std::string> contact;
  for (const char* key : {"linkPerson", "linkPhone"}) {
    if (std::string text = memberText(site, key); !text.empty()) contact.push_back(std::move(text));
  }
  appendLabelledLine(writer, "联系方式", joinTexts(contact, " - "), kColourBlue);
  appendLabelledLine(writer, "网点地址", memberText(site, "address"), kColourBlue);
  appendLabelledLine(writer, "派送范围", memberText(site, "deliveryArea"), kColourBlue, keywords, kColourSeaGreen);
  appendLabelledLine(writer, "特殊区域", memberText(site, "specialArea"), kColourBlue, keywords, kColourOrange);
  for (const auto& [key, value] : site.member("extra").members()) {
    appendLabelledLine(writer, utf8ToGbk(key), utf8ToGbk(value.text()), kColourBlue);
  }
  appendStyledText(writer, "【收件信息】：", kColourBlack);
  std::string receiver = textOf(site, "/acceptor/fmtAddress");
  if (receiver.empty()) receiver = textOf(item, "/analysis/address");
  appendStyledText(writer, receiver, kColourBlack, kVillageKeywords, kColourOrange);
  if (const std::int64_t distance = site.at("/acceptor/distance").toInt64(); distance > 0) {
    appendStyledText(writer, "(距离派件网点", kColourBlack);
    appendStyledText(writer, std::to_string(distance), kColourBlue, {}, kColourBlack, true);
    appendStyledText(writer, "米)", kColourBlack);
  }
  appendStyledText(writer, "\r\n\r\n", kColourBlack);
}

void appendPolicyDetails(RichWriter& writer, JsonValue policy, std::string_view keywords) {
  const Colour colour = parseHexColour(memberText(policy, "color"));
  appendLabelledLine(writer, "匹配策略", policy.member("pass").toBool() ? "仅提示" : "拦截", kColourBlue);
  std::string source = memberText(policy, "source");
  if (const std::string creator = memberText(policy, "creator"); !creator.empty()) source += "(" + creator + ")";
  appendLabelledLine(writer, "数据来源", source, kColourBlue);
  appendLabelledLine(writer, "匹配模式", memberText(policy, "modeStr"), kColourBlue);
  std::string object = memberText(policy, "popObject");
  if (object.empty()) object = memberText(policy, "object");
  appendLabelledLine(writer, "匹配对象", object, kColourBlue);
  std::string type = memberText(policy, "typeStr");
  appendLabelledLine(writer, "限制类型", type.empty() ? "暂无提示" : type, colour);
  std::string hint = memberText(policy, "typeName");
  appendLabelledLine(writer, "匹配提示", hint.empty() ? "暂无提示" : hint, colour);
  appendLabelledLine(writer, "匹配说明", memberText(policy, "remark"), kColourBlue, keywords, colour);
  appendStyledText(writer, "\r\n", kColourBlack);
}

JsonValue itemAt(const JsonDocument& answer, size_t n) { return answer.at("/data/" + std::to_string(n)); }

}  // namespace

std::vector<KeywordPiece> splitByKeywords(std::string_view keywords, std::string_view text) {
  std::vector<KeywordPiece> out;
  if (text.empty()) return out;
  RegexMatcher matcher;
  if (keywords.empty() || !matcher.execute(keywords, text)) return {{std::string(text), false}};
  // Cut at the matches' own positions: the text comes out whole and in its order, even
  // when it holds what a marker-and-split approach would take for a cut.
  size_t done = 0;
  for (int i = 1; i <= matcher.matchCount(); ++i) {
    int position = -1;
    std::string match = matcher.matchText(i, &position);
    if (position < 0 || match.empty()) continue;
    const size_t at = static_cast<size_t>(position);
    if (at > done) out.push_back({std::string(text.substr(done, at - done)), false});
    done = at + match.size();
    out.push_back({std::move(match), true});
  }
  if (done < text.size()) out.push_back({std::string(text.substr(done)), false});
  return out;
}

void appendLabelledLine(RichWriter& writer, std::string_view label, std::string_view value, Colour valueColour,
                        std::string_view keywords, Colour keywordColour) {
  if (value.empty()) return;
  appendRun(writer, "【" + std::string(label) + "】：", kColourBlack, false);
  appendPieces(writer, value, valueColour, keywords, keywordColour, false);
  appendRun(writer, "\r\n", kColourBlack, false);
  writer.pauses.pause(kAppendPause);
}

void appendStyledText(RichWriter& writer, std::string_view text, Colour colour, std::string_view keywords,
                      Colour keywordColour, bool bold) {
  appendPieces(writer, text, colour, keywords, keywordColour, bold);
  writer.pauses.pause(kAppendPause);
}

Colour parseHexColour(std::string_view text) {
  if (const size_t hash = text.rfind('#'); hash != std::string_view::npos && hash + 1 < text.size()) {
    text = text.substr(hash + 1);
  }
  return hexPairValue(pairAt(text, 0)) | hexPairValue(pairAt(text, 2)) << 8 | hexPairValue(pairAt(text, 4)) << 16;
}

std::vector<std::string> readTextList(JsonValue value, std::string_view key) {
  std::vector<std::string> out;
  const JsonValue list = value.member(key);
  if (!list.isArray()) return out;
  for (JsonValue element : list.elements()) out.push_back(utf8ToGbk(element.text()));
  return out;
}

std::string renderSummaryBlock(RichWriter& writer, const JsonDocument& answer, size_t n, std::string_view sentAddress,
                               SummaryLayout layout, std::string_view serviceLine) {
  const JsonValue item = itemAt(answer, n);
  if (layout == SummaryLayout::Quick) appendLabelledLine(writer, "筛单项目", serviceLine, kColourBlack);
  std::string address = textOf(item, "/analysis/address");
  if (address.empty()) address = std::string(sentAddress);
  appendLabelledLine(writer, "查询地址", address, kColourBlack, kVillageKeywords, kColourOrange);
  appendLabelledLine(writer, "行政区划", joinTexts(readTextList(item, "districts"), "；"), kColourBlue);
  if (const JsonValue sites = item.member("sites"); sites.isArray()) appendSummarySites(writer, sites);

  appendStyledText(writer, "【匹配结果】：", kColourBlack);
  std::vector<std::string> objects;
  if (const JsonValue policies = item.member("policies"); policies.isArray()) {
    for (JsonValue policy : policies.elements()) {
      std::string name = memberText(policy, "shortTypeName");
      if (name.empty()) name = memberText(policy, "typeName");
      if (name.empty()) name = "暂无说明";
      std::string object = memberText(policy, "object");
      objects.push_back(object);
      if (object == name) object.clear();
      appendStyledText(writer, object + "[" + name + "]；", parseHexColour(memberText(policy, "color")));
    }
    if (policies.size() == 0) appendStyledText(writer, "区域正常[未查询到相关异常]", kColourGreen);
  } else if (!answer.member("msg").text().empty()) {
    appendStyledText(writer, "区域正常[未查询到相关异常]", kColourGreen);
  }
  appendStyledText(writer, "\r\n\r\n", kColourBlack);
  return keywordPattern(objects);
}

SectionLines renderDetailedSections(RichWriter& writer, const JsonDocument& answer, size_t n,
                                    std::string_view keywords) {
  const JsonValue item = itemAt(answer, n);
  SectionLines lines;
  lines.site = writer.box.lineCount();
  if (const JsonValue sites = item.member("sites"); sites.isArray()) {
    appendStyledText(writer, "----------------------匹配网点----------------------\r\n", kColourBlack);
    for (JsonValue site : sites.elements()) appendSiteDetails(writer, item, site, keywords);
  }
  lines.policy = writer.box.lineCount();
  if (const JsonValue policies = item.member("policies"); policies.isArray()) {
    appendStyledText(writer, "----------------------匹配策略----------------------\r\n", kColourBlack);
    for (JsonValue policy : policies.elements()) appendPolicyDetails(writer, policy, keywords);
  }
  return lines;
}

}  // namespace pv
