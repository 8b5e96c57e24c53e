#pragma once
// A run's orders and what became of each: the ledger both run kinds keep (the ERP list and
// the imported file), so that the failed orders can be screened again, an interrupted run
// taken up, the time left told, and a results file written at the end.
//
// Threads: used by the one-click worker only.
#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/batch/results.h"
#include "core/batch/run.h"

namespace pv {

struct RunOrder {
  std::string text;         // the address as sent (GBK)
  std::string orderNumber;  // GBK; empty when the source has none
  OrderResult result;
};

// Where each verdict is written as it arrives (the journal).
class VerdictLog {
 public:
  virtual ~VerdictLog() = default;
  virtual void record(size_t index, const OrderResult& result) = 0;
};

class RunLedger {
 public:
  // `total`: the count the progress shows (the list's rows, the file's orders).
  explicit RunLedger(int total = 0) : total_(total) {}

  std::vector<RunOrder>& orders() noexcept { return orders_; }
  const std::vector<RunOrder>& orders() const noexcept { return orders_; }
  int total() const noexcept { return total_; }
  int ticked() const noexcept { return ticked_; }
  // Orders that have an answer (failures included), from this run or taken from an earlier one.
  int answered() const noexcept { return answered_; }

  void setLog(VerdictLog* log) noexcept { log_ = log; }
  // An order's result, kept up to date in the counts. A `fresh` one was answered in this
  // run: it is written to the log and sets the pace; one taken from an earlier run is not.
  void settle(size_t index, OrderResult result, bool fresh = true);
  // The indices of the orders with the outcome.
  std::vector<size_t> withOutcome(OrderOutcome outcome) const;

  // "筛单中 X/Y，约剩 M 分 S 秒" from this run's pace; empty before the first answer of this
  // run and once every order is answered.
  std::string timeLeft() const;

 private:
  std::vector<RunOrder> orders_;
  int total_ = 0;
  int ticked_ = 0;
  int answered_ = 0;
  int answeredHere_ = 0;
  VerdictLog* log_ = nullptr;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// "筛单中 X/Y，约剩 M 分 S 秒": the time the rest takes at the pace `answeredHere` answers
// took `elapsed`, seconds rounded up; empty when nothing was answered yet or nothing is left.
std::string timeLeftText(int answered, int total, int answeredHere, std::chrono::milliseconds elapsed);

// Hands an order's verdict to where it came from (the ERP list ticks its row): false when it
// could not be applied, with the reason the order is then skipped for.
using SettleOrder = std::function<bool(size_t index, const OrderResult& result, std::string& reason)>;

// Screens the ledger's orders of one batch (at most 20) in one call: the verdicts written,
// each settled, logged and counted, the progress shown. False when the service stopped the
// run or the operator did.
[[nodiscard]] bool screenLedgerBatch(RunContext& run, RunLedger& ledger, std::span<const size_t> batch,
                                     const SettleOrder& settle);

// The orders in `which`, in batches of 20.
[[nodiscard]] bool screenLedgerOrders(RunContext& run, RunLedger& ledger, std::span<const size_t> which,
                                      const SettleOrder& settle);

// After a run that went through: while orders failed, asks "有 N 单筛单失败，是否重新筛选这些
// 订单？" and on Yes screens those again. False when the operator or the service stopped it.
[[nodiscard]] bool offerRetryOfFailed(RunContext& run, RunLedger& ledger, const SettleOrder& settle);

// Part 0 of the main status bar for a run: the progress, with the time left once a run of
// more than one batch can tell it.
void showRunProgress(Ui& ui, const RunLedger& ledger, int processed, bool querying);

// The run's counts into the totals: the orders answered (all of the run's orders when it
// was `cutShort`, as the run's total stood while it went), those ticked and, with
// `orderNumbers`, the order numbers of the ticked ones in the ledger's order.
void addLedgerTotals(const RunLedger& ledger, ScreeningTotals& totals, bool orderNumbers, bool cutShort = false);

}  // namespace pv
