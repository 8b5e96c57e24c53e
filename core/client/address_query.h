#pragma once
// The single-address queries of the main window and the quick-tip window: the detailed
// query of the typed address, the quick query of a copied one with its clipboard watch and
// closing countdown, and the screening call as the windows make it (the operator's
// settings read from the main window, the call's progress on its status bar).
//
// Workers: every routine here runs on a worker thread and writes to the windows through
// the Ui port. Those that can be superseded (the watch, the countdown) take a stop token
// and test it before each step that writes or calls the service: once stopped they write
// nothing more.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/records.h"
#include "core/process/restart.h"
#include "core/client/client_context.h"
#include "core/client/service_boxes.h"
#include "core/json/json.h"
#include "core/screening/call.h"
#include "core/system/clipboard.h"
#include "core/system/pauses.h"

namespace pv {

// The address box's placeholder text.
inline constexpr std::string_view kAddressPlaceholder = "输入地址进行查询，按下回车键可以快速查询";

// The place names that make a copied text an address: provinces, prefectures, and the
// districts of Hong Kong and Macau, as one alternation (some names occur twice).
extern const std::string_view kPlaceNamePattern;

// A worker of a kind of which only the latest may act: starting the next one stops the
// one before. Any thread may call.
class WorkerSlot {
 public:
  // Stops the registered worker (if any) and registers a new one; its token.
  std::stop_token replace();
  void stop();

 private:
  std::mutex mutex_;
  std::stop_source current_{std::nostopstate};
};

// What the queries keep for the life of the process.
struct QueryRecords {
  Published<std::string> lastClipboardText;  // the quick query's own copy, with its space
  std::atomic<int> siteSectionLine{0};       // output lines before the detail sections
  std::atomic<int> policySectionLine{0};
  WorkerSlot clipboardWatch;
  std::atomic<int> watchWorkers{0};  // watch workers started and not yet ended
  WorkerSlot countdown;
  // One detailed query writes the output box at a time: a second one started meanwhile
  // waits and then writes after it, never between its lines.
  std::mutex detailedQuery;
};

// The client of the service with what the queries add: pauses, the clipboard and the
// restart after an ended login. Every member outlives the workers that use it.
struct QueryContext {
  ClientContext& client;
  Pauses& pauses;
  Clipboard& clipboard;
  RestartHost& restart;
  // Builds the signed request; buildScreeningRequest unless a test fixes time and random.
  RequestBuilder requestBuilder = {};
  QueryRecords records{};
};

// The answer's code judged (re-login restart, unsupported version); 1: go on.
int checkAnswerCode(QueryContext& context, const JsonDocument& answer);

// The detailed query of the address box into the output box.
void runAddressQuery(QueryContext& context);

// One step of the clipboard watch: screens a newly copied address into the quick-tip
// window, shows it and restarts its countdown.
void runQuickQuery(QueryContext& context, std::stop_token stop);

// Counts the quick-tip window down from 4 to 0 "秒后关闭", one a second, then hides it.
void quickTipCountdown(QueryContext& context, std::stop_token stop);
// Stops the running countdown and starts a new one on a worker.
void restartQuickTipCountdown(QueryContext& context);

// Starts the worker of one tick of the watch timer, replacing the one before.
void startClipboardWatch(QueryContext& context);

// The main window's and the quick-tip window's events of the queries: the address box's
// placeholder and Enter, the query button, the two scroll buttons, the watch and hover
// timers, copy, detail query, close and the quick-query check box. False when the tables
// refused a registration.
[[nodiscard]] bool registerAddressQueryEvents(QueryContext& context);

}  // namespace pv
