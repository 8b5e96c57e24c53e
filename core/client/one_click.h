#pragma once
// The one-click run behind 按钮_一键筛单: recognises the ERP clients on the desktop by a
// table of rules, runs each recognised client's flow with shared totals, offers free
// screening of a spreadsheet when nothing was screened, and ends with the summary.
//
// The button's caption is the run state: "一键筛单" idle, "结束筛单" running. A click while
// running stops the run at once from the operator's view: the caption goes back, and the
// worker, which tests its stop token before each batch, call and tick, writes nothing more
// and shows no summary.
#include <functional>
#include <mutex>
#include <stop_token>
#include <string_view>

#include "core/batch/run.h"
#include "core/erp/desktop.h"
#include "core/erp/erp_clients.h"
#include "core/client/summary.h"
#include "core/ui/window_extras.h"

namespace pv {

inline constexpr std::string_view kIdleCaption = "一键筛单";
inline constexpr std::string_view kRunningCaption = "结束筛单";

// What a one-click run works with. Every member outlives the runs.
struct OneClickContext {
  Ui& ui;
  Dialogs& dialogs;
  WindowExtras& windows;
  Desktop& desktop;
  BatchScreening& screening;
  ScreeningOutput& output;
  SummaryContext& summary;
  std::function<void(std::chrono::milliseconds)> pause;
  // The import flows: a client's import profile, and the free screening of a spreadsheet
  // the operator picks. Each returns the result flag (1: a summary is wanted).
  std::function<int(const ErpImportProfile&, ScreeningTotals&, std::stop_token)> runErpImportProfile;
  std::function<int(ScreeningTotals&, std::stop_token)> screenImportedOrders;
  // Where runs keep their journals and results; null: nowhere.
  const RunFiles* files = nullptr;
};

// The worker body of one run.
void runOneClickScreening(OneClickContext& context, std::stop_token stop);

// The button's click (user-interface thread): starts a run on a worker, or stops the
// running one and shows the idle caption at once.
class OneClickControl {
 public:
  OneClickControl(OneClickContext& context, Workers& workers) : context_(context), workers_(workers) {}
  void toggleOneClickScreening();

 private:
  OneClickContext& context_;
  Workers& workers_;
  std::mutex mutex_;
  std::stop_source running_;  // the run started last
};

// The result window's events: its title, the separator choice, the copy button, and a
// close that only hides it (it stays loaded for the next run). Register before the window
// is loaded.
[[nodiscard]] bool registerResultWindowEvents(SummaryContext& summary);

// Binds the button's click to `control`.
[[nodiscard]] bool registerOneClickEvents(Ui& ui, OneClickControl& control);

}  // namespace pv
