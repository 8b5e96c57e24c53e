#pragma once
// The end of a one-click run: the totals and the restriction types in the output box and a
// message box, the matching order numbers on the clipboard and in the result window
// ("筛单结果"), which lists them with a choice of separator and a copy button.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/records.h"
#include "core/batch/run.h"
#include "core/system/browser.h"
#include "core/system/clipboard.h"
#include "core/system/workers.h"
#include "core/ui/dialogs.h"
#include "core/ui/ui.h"

namespace pv {

inline constexpr std::string_view kCopyAllCaption = "复制全部";

using OrderNumbers = std::vector<std::string>;

// What the summary and the result window work with. Every member outlives the run.
struct SummaryContext {
  Ui& ui;
  Dialogs& dialogs;
  ScreeningOutput& output;
  Workers& workers;
  // The order numbers the result window shows: the last summary's that had any.
  Published<OrderNumbers>& matchingOrderNumbers;
  Clipboard& clipboard;
  // Opens the results file with the program Windows gives its kind; null: no such button.
  Browser* browser = nullptr;
  // The last run's results file (GBK), which "打开结果文件" opens.
  Published<std::string> resultsFile{};
};

// The restriction types the operator chose, as the summary names them.
std::vector<std::string> restrictionSummary(Ui& ui);

// "project - service" as the main window's two boxes have them chosen.
std::string chosenProjectAndService(const Ui& ui);

// The summary of a run (on the run's worker; the message box holds it until answered).
void showScreeningSummary(SummaryContext& summary, int total, int ticked, const OrderNumbers& orderNumbers);
// The same with the results file: "结果文件：PATH" in the box and the output, and the result
// window's button to open it.
void showScreeningSummary(SummaryContext& summary, const ScreeningTotals& totals);

// Writes the matching order numbers into the result window, one per line or, with "逗号分割"
// chosen, separated by commas.
void fillResultWindow(Ui& ui, const Published<OrderNumbers>& matchingOrderNumbers);

}  // namespace pv
