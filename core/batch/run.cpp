#include "core/batch/run.h"

#include <mutex>
#include <string>

#include "core/json/json.h"
#include "core/regex/regex.h"
#include "core/regex/regex_matcher.h"
#include "core/screening/restriction.h"
#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {

namespace {

// The cipher text the client shows for an encrypted address, or its own placeholder.
constexpr std::string_view kMaskedPattern =
    "[a-zA-Z0-9/=$*~`~!@#$%^&*()_\\-+=<>?:{}|,.\\/;'\\\\[\\]·~！@#￥%……&*（）——\\-+={}|《》？：【】、；‘'，。、]{26,}"
    "|此次不解密";

bool ticked(Ui& ui, std::string_view box) { return ui.checked(Window::Main, box); }

// Whether a failing restriction of this type stops the order under the operator's options.
bool restrictionCounts(Ui& ui, RestrictionKind kind) {
  switch (kind) {
    case RestrictionKind::BlindArea: return ticked(ui, kBlindAreaBox);
    case RestrictionKind::Surcharge: return ticked(ui, kSurchargeBox);
    case RestrictionKind::FalseAddress: return ticked(ui, kFalseAddressBox);
    case RestrictionKind::Other: return ticked(ui, kOtherRestrictionBox);
    case RestrictionKind::Unknown: break;
  }
  return true;  // a kind the options do not name always counts
}

std::string textAt(const JsonValue& value, std::string_view key) { return utf8ToGbk(value.member(key).text()); }

// One verdict after "【筛选结果】：": the sites, then each restriction; the decision
// before the operator's inverse mode.
bool writeVerdict(RunContext& run, const JsonValue& item, const std::string& message) {
  bool decision = true;
  run.output.appendStyledText("【筛选结果】：", kColourBlack);

  const JsonValue sites = item.member("sites");
  if (sites.isArray()) {
    std::vector<std::string> names;
    for (JsonValue site : sites.elements()) {
      std::string name = textAt(site, "title");
      if (name.empty()) name = textAt(site, "name");
      names.push_back(std::move(name));
    }
    if (!names.empty()) run.output.appendStyledText(joinTexts(names, "；") + "；", kColourBlue);
  }

  const JsonValue policies = item.member("policies");
  if (policies.isArray()) {
    for (JsonValue policy : policies.elements()) {
      std::string name = textAt(policy, "shortTypeName");
      if (name.empty()) name = textAt(policy, "typeName");
      if (name.empty()) name = "暂无说明";
      std::string object = textAt(policy, "object");
      if (object == name) object.clear();
      run.output.appendStyledText(object + "[" + name + "]；", parseHexColour(textAt(policy, "color")));
      // An order the service gave no verdict for is never passed as deliverable, whichever
      // restriction types the operator counts.
      if (decision && !policy.member("pass").toBool() &&
          (isFailurePolicy(policy) || restrictionCounts(run.ui, restrictionKindOf(policy.member("type").toInt())))) {
        decision = false;
      }
    }
    if (policies.size() == 0) run.output.appendStyledText("区域正常[未查询到相关异常]", kColourGreen);
  } else if (!message.empty()) {
    run.output.appendStyledText("区域正常[未查询到相关异常]", kColourGreen);
  }
  run.output.appendStyledText("\r\n", kColourBlack);
  return decision;
}

}  // namespace

bool isMaskedAddress(std::string_view address) {
  // Compiled once: an imported file asks for every one of its rows. Not thread_local: the
  // static MinGW runtime frees a thread_local object's storage before its destructor runs at
  // thread exit, and the worker then died freeing a garbage pointer. The matcher keeps a
  // cache, so searches take turns.
  static Regex masked =
      Regex::compile(gbkToUtf16(kMaskedPattern), {.ignoreCase = false, .multiline = true});
  static std::mutex maskedTurn;
  const std::u16string wide = gbkToUtf16(address);
  if (wide.empty() && !address.empty()) {  // a byte the code page refuses: the matcher's lenient way
    RegexMatcher matcher;
    return matcher.execute(kMaskedPattern, address, {.caseSensitive = true, .global = false}) && matcher.matchCount() > 0;
  }
  RegexMatches found;
  std::lock_guard turn(maskedTurn);
  return masked.valid() && masked.search(wide, 0, found, false);
}

void showScreeningProgress(Ui& ui, int total, int processed, int tickedCount, bool querying) {
  std::string text = "筛单进度：" + std::to_string(processed) + "/" + std::to_string(total) + "，勾选数量：" +
                     std::to_string(tickedCount);
  if (querying) text += "，正在查询...";
  (void)ui.setStatusText(Window::Main, kMainStatusBar, 0, text);
}

bool screenBatch(RunContext& run, const std::vector<std::string>& texts, std::vector<bool>& decisions,
                 int& tickedCount) {
  std::vector<OrderResult> results;
  const bool answered = screenBatch(run, texts, results, tickedCount);
  decisions.clear();
  for (const OrderResult& result : results) decisions.push_back(result.tick);
  return answered;
}

bool screenBatch(RunContext& run, const std::vector<std::string>& texts, std::vector<OrderResult>& results,
                 int& tickedCount) {
  results.clear();
  if (run.stop.stop_requested()) return false;
  const std::string answer = run.screening.screenAddresses(texts, run.stop);
  // A stop while the request was out: the operator has moved on, write nothing more.
  if (run.stop.stop_requested()) return false;

  JsonDocument document;
  (void)document.parse(answer);
  const std::string message = utf8ToGbk(document.member("msg").text());
  if (!run.screening.checkServiceCode(document.member("code").toInt(), message)) {
    run.output.appendLabelledLine("筛单中止", message, kColourOrange);
    (void)run.ui.setStatusText(Window::Main, kMainStatusBar, 0, "【筛单中止】" + message);
    return false;
  }

  for (size_t n = 0; n < texts.size(); ++n) {
    run.output.beginOrder();
    run.output.appendLabelledLine("筛选地址", texts[n]);
    const JsonValue entry = document.at("/data/" + std::to_string(n));
    bool decision = writeVerdict(run, entry, message);
    if (run.ui.checked(Window::Main, kInverseRadio)) decision = !decision;
    if (decision) {
      ++tickedCount;
      run.output.appendLabelledLine("勾选结果", "选中", kColourGreen);
    } else {
      run.output.appendLabelledLine("勾选结果", "不选", kColourOrange);
    }
    run.output.appendStyledText("\r\n", kColourBlack);
    run.output.endOrder();
    run.output.scrollToEnd();
    results.push_back(orderResultOf(entry, decision));
  }
  return true;
}

}  // namespace pv
