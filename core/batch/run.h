#pragma once
// A run: the orders of an ERP client's list or of an imported file, screened in batches of
// 20. This floor holds what every run shares and nothing of where the orders come from:
// the screening call as a run makes it (BatchScreening), the verdicts written to the output
// box (ScreeningOutput) with the tick rule that decides each order (screenBatch), the
// counters (ScreeningTotals), the masked-address test and the progress in the status bar.
//
// Threads: runs on the one-click worker. The main window is read and written through the
// Ui port and the output writer, which hand each call to the user-interface thread.
#include <chrono>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "core/batch/results.h"
#include "core/screening/render.h"
#include "core/screening/service_code.h"
#include "core/system/clock.h"
#include "core/ui/dialogs.h"
#include "core/ui/ui.h"

namespace pv {

// The title of a run's message boxes.
inline constexpr std::string_view kRunMessageTitle = kScreeningTitle;

inline constexpr int kBatchSize = 20;

// The counters of one run, shared by every flow the run starts.
struct ScreeningTotals {
  int total = 0;
  int ticked = 0;
  std::vector<std::string> orderNumbers;  // matching orders of an imported file
  bool summaryWanted = false;             // the last flow finished and wants a summary
  std::string resultsFile;                // where the run's results were written (GBK)
  std::string resultsNote;                // why they could not be, or where they went instead
};

// Where a run keeps what outlives it. Empty texts turn the journal or the results file off.
struct RunFiles {
  std::string journalFolder;                      // GBK, ending in a separator
  std::function<std::string()> documentsFolder;   // the operator's Documents, ending in a separator
  std::function<ClockTime()> now;                 // for the names
};

// The rich output box as a run writes it. A labelled line with an empty value writes
// nothing at all.
class ScreeningOutput {
 public:
  virtual ~ScreeningOutput() = default;
  virtual void appendLabelledLine(std::string_view label, std::string_view value, Colour colour = kColourBlack) = 0;
  virtual void appendStyledText(std::string_view text, Colour colour) = 0;
  virtual void scrollToEnd() = 0;
  // One order's lines, which a writer may hand to the box together once the order ends.
  virtual void beginOrder() {}
  virtual void endOrder() {}
};

// The screening call as a run makes it.
class BatchScreening {
 public:
  virtual ~BatchScreening() = default;
  // The completed answer (UTF-8 JSON) for the addresses, in their order. A stop cuts the
  // call's retries short.
  virtual std::string screenAddresses(const std::vector<std::string>& addresses, std::stop_token stop) = 0;
  // False when the run must stop (the call has said why to the operator where it must).
  [[nodiscard]] virtual bool checkServiceCode(int code, std::string_view message) = 0;
};

// Everything one run works with. `pause` waits between ticks and batches so an ERP client
// keeps up; a stop request ends the run before its next batch, call or tick and leaves
// nothing more written.
struct RunContext {
  Ui& ui;
  Dialogs& dialogs;
  BatchScreening& screening;
  ScreeningOutput& output;
  std::function<void(std::chrono::milliseconds)> pause;
  std::stop_token stop;
  const RunFiles* files = nullptr;  // null: nothing is written beyond the windows
};

// True for an address the client shows masked: a run of 26 or more cipher-like
// characters, or "此次不解密".
bool isMaskedAddress(std::string_view address);

// Part 0 of the main status bar: "筛单进度：processed/total，勾选数量：ticked", with
// "，正在查询..." while a request is out.
void showScreeningProgress(Ui& ui, int total, int processed, int ticked, bool querying);

// Screens the texts in one call, writes each verdict and decides each row: true to tick.
// `ticked` grows by the rows to tick. False when the service refused the batch (the reason
// is written) or the run was stopped; `decisions` is then incomplete.
[[nodiscard]] bool screenBatch(RunContext& run, const std::vector<std::string>& texts,
                               std::vector<bool>& decisions, int& ticked);
// The same, with what was found for each text (`tick` holds the decision).
[[nodiscard]] bool screenBatch(RunContext& run, const std::vector<std::string>& texts,
                               std::vector<OrderResult>& results, int& ticked);

}  // namespace pv
