#include "core/batch/results.h"

#include <limits>

#include "core/screening/call.h"
#include "core/text/codepage.h"

namespace pv {
namespace {

constexpr uint32_t kRestrictedFill = 0xFCE4D6;  // the output box's orange, lightened so text stays legible
constexpr uint32_t kFailedFill = 0xD9D9D9;

std::string textAt(const JsonValue& value, std::string_view key) { return utf8ToGbk(value.member(key).text()); }

void addLine(std::string& cell, std::string_view line, bool first) {
  if (!first) cell += "\n";
  cell += line;
}

constexpr std::array<std::pair<OrderOutcome, std::string_view>, 5> kOutcomeNames = {{
    {OrderOutcome::Pending, "pending"},
    {OrderOutcome::Ticked, "ticked"},
    {OrderOutcome::Unticked, "unticked"},
    {OrderOutcome::Skipped, "skipped"},
    {OrderOutcome::Failed, "failed"},
}};

}  // namespace

bool isFailurePolicy(const JsonValue& policy) {
  return policy.member("typeStr").equalsText(gbkToUtf8(kFailureTypeText)) && !policy.member("source");
}

OrderResult orderResultOf(const JsonValue& entry, bool tick) {
  OrderResult result;
  result.outcome = tick ? OrderOutcome::Ticked : OrderOutcome::Unticked;
  result.tick = tick;

  const JsonValue policies = entry.member("policies");
  bool first = true;
  for (JsonValue policy : policies.elements()) {
    if (isFailurePolicy(policy)) result.outcome = OrderOutcome::Failed;
    std::string name = textAt(policy, "shortTypeName");
    if (name.empty()) name = textAt(policy, "typeName");
    if (name.empty()) name = "暂无说明";
    const bool hint = policy.member("pass").toBool();
    if (hint) {
      name += "（仅提示）";
    } else {
      result.restricted = true;
    }
    std::string object = textAt(policy, "popObject");
    if (object.empty()) object = textAt(policy, "object");
    addLine(result.types, name, first);
    addLine(result.objects, object, first);
    addLine(result.remarks, textAt(policy, "remark"), first);
    first = false;
  }

  // The nearest of the sites that say how far they are; without distances, the first site.
  std::int64_t nearest = std::numeric_limits<std::int64_t>::max();
  for (JsonValue site : entry.member("sites").elements()) {
    std::string name = textAt(site, "title");
    if (name.empty()) name = textAt(site, "name");
    const std::int64_t distance = site.at("/acceptor/distance").toInt64();
    if (distance > 0 && distance < nearest) {
      nearest = distance;
      result.nearestSite = std::move(name);
      result.siteDistance = std::to_string(distance);
    } else if (result.nearestSite.empty() && result.siteDistance.empty()) {
      result.nearestSite = std::move(name);
    }
  }
  return result;
}

OrderResult skippedOrder(std::string_view reason) {
  OrderResult result;
  result.outcome = OrderOutcome::Skipped;
  result.skipReason = std::string(reason);
  return result;
}

std::array<std::string, kResultColumns> resultCells(const OrderResult& result) {
  std::string verdict;
  switch (result.outcome) {
    case OrderOutcome::Ticked: verdict = "勾选"; break;
    case OrderOutcome::Unticked: verdict = "未勾选"; break;
    case OrderOutcome::Skipped: verdict = result.skipReason.empty() ? "跳过" : "跳过：" + result.skipReason; break;
    case OrderOutcome::Failed: verdict = std::string(kFailureTypeText); break;
    case OrderOutcome::Pending: verdict = "未筛单"; break;
  }
  return {verdict, result.types, result.objects, result.remarks, result.nearestSite, result.siteDistance};
}

uint32_t resultFill(const OrderResult& result) {
  if (result.outcome == OrderOutcome::Failed) return kFailedFill;
  if (result.restricted && result.outcome != OrderOutcome::Skipped) return kRestrictedFill;
  return 0;
}

void writeOrderResult(JsonMutValue object, const OrderResult& result) {
  for (const auto& [outcome, name] : kOutcomeNames) {
    if (outcome == result.outcome) (void)object.setString("outcome", name);
  }
  if (result.tick) (void)object.setBool("tick", true);
  if (result.restricted) (void)object.setBool("restricted", true);
  const auto text = [&](std::string_view key, const std::string& value) {
    if (!value.empty()) (void)object.setString(key, gbkToUtf8(value));
  };
  text("skip", result.skipReason);
  text("types", result.types);
  text("objects", result.objects);
  text("remarks", result.remarks);
  text("site", result.nearestSite);
  text("distance", result.siteDistance);
}

bool readOrderResult(const JsonValue& object, OrderResult& result) {
  result = OrderResult();
  bool known = false;
  for (const auto& [outcome, name] : kOutcomeNames) {
    if (object.member("outcome").equalsText(name)) {
      result.outcome = outcome;
      known = true;
    }
  }
  if (!known || result.outcome == OrderOutcome::Pending) return false;
  result.tick = object.member("tick").toBool();
  result.restricted = object.member("restricted").toBool();
  result.skipReason = textAt(object, "skip");
  result.types = textAt(object, "types");
  result.objects = textAt(object, "objects");
  result.remarks = textAt(object, "remarks");
  result.nearestSite = textAt(object, "site");
  result.siteDistance = textAt(object, "distance");
  return true;
}

}  // namespace pv
