#include "core/batch/ledger.h"

#include <algorithm>

namespace pv {
namespace {

// A skipped order's tick was never applied; a failed one's was.
bool countsAsTicked(const OrderResult& result) {
  return result.tick && result.outcome != OrderOutcome::Pending && result.outcome != OrderOutcome::Skipped;
}

}  // namespace

void RunLedger::settle(size_t index, OrderResult result, bool fresh) {
  OrderResult& kept = orders_.at(index).result;
  ticked_ += (countsAsTicked(result) ? 1 : 0) - (countsAsTicked(kept) ? 1 : 0);
  const bool wasAnswered = kept.outcome != OrderOutcome::Pending;
  const bool isAnswered = result.outcome != OrderOutcome::Pending;
  answered_ += (isAnswered ? 1 : 0) - (wasAnswered ? 1 : 0);
  if (fresh) {
    if (!wasAnswered && isAnswered) ++answeredHere_;
    if (log_ != nullptr) log_->record(index, result);
  }
  kept = std::move(result);
}

std::vector<size_t> RunLedger::withOutcome(OrderOutcome outcome) const {
  std::vector<size_t> found;
  for (size_t i = 0; i < orders_.size(); ++i) {
    if (orders_[i].result.outcome == outcome) found.push_back(i);
  }
  return found;
}

std::string RunLedger::timeLeft() const {
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
  return timeLeftText(answered_, total_, answeredHere_, elapsed);
}

std::string timeLeftText(int answered, int total, int answeredHere, std::chrono::milliseconds elapsed) {
  if (answeredHere <= 0 || answered >= total || elapsed.count() < 0) return {};
  const long long left = static_cast<long long>(total - answered);
  // Rounded up: "0 秒" while orders are still out would say the run is over.
  const long long seconds = std::max<long long>(1, (elapsed.count() * left + answeredHere * 1000LL - 1) / (answeredHere * 1000LL));
  return "筛单中 " + std::to_string(answered) + "/" + std::to_string(total) + "，约剩 " + std::to_string(seconds / 60) +
         " 分 " + std::to_string(seconds % 60) + " 秒";
}

void showRunProgress(Ui& ui, const RunLedger& ledger, int processed, bool querying) {
  const std::string left = ledger.total() > kBatchSize ? ledger.timeLeft() : std::string();
  if (left.empty()) {
    showScreeningProgress(ui, ledger.total(), processed, ledger.ticked(), querying);
  } else {
    std::string text = left + "，勾选数量：" + std::to_string(ledger.ticked());
    if (querying) text += "，正在查询...";
    (void)ui.setStatusText(Window::Main, kMainStatusBar, 0, text);
  }
  (void)ui.setTaskbarProgress(Window::Main, std::min(processed, ledger.total()), ledger.total());
}

bool screenLedgerBatch(RunContext& run, RunLedger& ledger, std::span<const size_t> batch, const SettleOrder& settle) {
  if (batch.empty()) return true;
  std::vector<std::string> texts;
  for (size_t index : batch) texts.push_back(ledger.orders().at(index).text);
  const int processed = std::min(ledger.total(), ledger.answered() + static_cast<int>(batch.size()));
  showRunProgress(run.ui, ledger, processed, true);

  std::vector<OrderResult> results;
  int ignored = 0;
  if (!screenBatch(run, texts, results, ignored)) return false;
  for (size_t n = 0; n < batch.size() && n < results.size(); ++n) {
    if (run.stop.stop_requested()) return false;
    std::string reason;
    if (settle && !settle(batch[n], results[n], reason)) {
      ledger.settle(batch[n], skippedOrder(reason));
      continue;
    }
    ledger.settle(batch[n], std::move(results[n]));
  }
  showRunProgress(run.ui, ledger, ledger.answered(), false);
  return true;
}

bool screenLedgerOrders(RunContext& run, RunLedger& ledger, std::span<const size_t> which, const SettleOrder& settle) {
  for (size_t start = 0; start < which.size(); start += kBatchSize) {
    if (run.stop.stop_requested()) return false;
    const size_t count = std::min<size_t>(kBatchSize, which.size() - start);
    if (!screenLedgerBatch(run, ledger, which.subspan(start, count), settle)) return false;
  }
  return true;
}

bool offerRetryOfFailed(RunContext& run, RunLedger& ledger, const SettleOrder& settle) {
  for (;;) {
    const std::vector<size_t> failed = ledger.withOutcome(OrderOutcome::Failed);
    if (failed.empty() || run.stop.stop_requested()) return !run.stop.stop_requested();
    const DialogAnswer answer = run.dialogs.show(DialogMessage{
        .text = "有 " + std::to_string(failed.size()) + " 单筛单失败，是否重新筛选这些订单？",
        .title = std::string(kRunMessageTitle),
        .buttons = DialogButtons::YesNo,
        .owner = Window::Main});
    if (answer != DialogAnswer::Yes || run.stop.stop_requested()) return !run.stop.stop_requested();
    run.output.appendLabelledLine("重新筛单", std::to_string(failed.size()) + "单", kColourBlue);
    if (!screenLedgerOrders(run, ledger, failed, settle)) return false;
  }
}

void addLedgerTotals(const RunLedger& ledger, ScreeningTotals& totals, bool orderNumbers, bool cutShort) {
  if (cutShort) totals.total += ledger.total();
  for (const RunOrder& order : ledger.orders()) {
    if (order.result.outcome == OrderOutcome::Pending) continue;  // never screened
    if (!cutShort) ++totals.total;
    if (!countsAsTicked(order.result)) continue;
    ++totals.ticked;
    if (orderNumbers) totals.orderNumbers.push_back(order.orderNumber);
  }
}

}  // namespace pv
