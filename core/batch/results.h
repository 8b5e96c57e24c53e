#pragma once
// What a run found for each order, as the results file and the journal keep it: the
// outcome (ticked, not ticked, skipped with a reason, or failed) and the verdict's texts in
// the results file's six columns. Texts are GBK.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/json/json.h"

namespace pv {

enum class OrderOutcome { Pending, Ticked, Unticked, Skipped, Failed };

struct OrderResult {
  OrderOutcome outcome = OrderOutcome::Pending;
  bool tick = false;        // the tick rule's decision, the operator's inverse mode included
  bool restricted = false;  // at least one restriction that blocks (hints do not count)
  std::string skipReason;   // Skipped: why
  // One line per restriction, in the answer's order, so line n of the three belongs together.
  std::string types, objects, remarks;
  std::string nearestSite;
  std::string siteDistance;  // metres; empty when the service gave none

  bool screened() const noexcept { return outcome == OrderOutcome::Ticked || outcome == OrderOutcome::Unticked; }
  friend bool operator==(const OrderResult&, const OrderResult&) = default;
};

// The result columns appended to the header row.
inline constexpr int kResultColumns = 6;
inline constexpr std::array<std::string_view, kResultColumns> kResultHeaders = {
    "筛单结果", "限制类型", "匹配对象", "说明", "最近网点", "网点距离(米)"};

// True for the restriction an address gets when the service gave no verdict for it.
bool isFailurePolicy(const JsonValue& policy);

// The verdict's texts out of one completed answer entry (UTF-8 JSON) and the tick rule's
// decision. An entry that carries the failure restriction is Failed, whatever was decided.
OrderResult orderResultOf(const JsonValue& entry, bool tick);

// An order left out of the screening, with the reason the results file gives.
OrderResult skippedOrder(std::string_view reason);

// The six cells of an order's row (GBK).
std::array<std::string, kResultColumns> resultCells(const OrderResult& result);

// The fill of an order's row in a workbook, 0xRRGGBB, or 0 for none: restrictions in a tint
// of the output box's orange, failures grey.
uint32_t resultFill(const OrderResult& result);

// The result as members of a JSON object (UTF-8), the journal's form, and back; false for
// an object that holds no result.
void writeOrderResult(JsonMutValue object, const OrderResult& result);
[[nodiscard]] bool readOrderResult(const JsonValue& object, OrderResult& result);

}  // namespace pv
