#pragma once
// A run as the main window carries it: the screening call made with the operator's settings
// read from the window at each call, "正在查询地址..." in its status bar while the call is
// out, the service's codes judged the way the windows react to them, and the verdicts
// written into its output box. The single queries make their calls the same way.
#include <mutex>
#include <stop_token>
#include <thread>
#include <string>
#include <string_view>
#include <vector>

#include "core/api/records.h"
#include "core/batch/run.h"
#include "core/net/http_transport.h"
#include "core/screening/call.h"
#include "core/screening/render.h"
#include "core/screening/service_code.h"
#include "core/system/pauses.h"
#include "core/ui/ui.h"

namespace pv {

// What a call from the main window needs. Every member outlives the calls.
struct MainWindowCall {
  Ui& ui;
  HttpTransport& transport;
  const Published<ApiSession>& session;
  Pauses& pauses;
  // Builds the signed request; buildScreeningRequest unless a test fixes time and random.
  RequestBuilder requestBuilder = {};
};

// The operator's settings of the main window as the screening call takes them.
ScreeningSettings readScreeningSettings(const Ui& ui);

// screenAddresses with the session and the settings of the main window, showing
// "正在查询地址..." in the main status bar while it runs.
std::string screenFromMainWindow(const MainWindowCall& call, const std::vector<std::string>& addresses,
                                 std::stop_token stop = {});

class MainWindowBatchScreening final : public BatchScreening {
 public:
  MainWindowBatchScreening(MainWindowCall call, ServiceCodeReactions reactions)
      : call_(std::move(call)), reactions_(reactions) {}
  std::string screenAddresses(const std::vector<std::string>& addresses, std::stop_token stop) override;
  [[nodiscard]] bool checkServiceCode(int code, std::string_view message) override;

 private:
  MainWindowCall call_;
  ServiceCodeReactions reactions_;
};

// The run's lines in 超级编辑框_输出, written the way every other writer does, except that
// an order's lines go to the box together when the order ends, with one pause instead of
// one per line: the box shows the same text, and a file of 10,000 orders is not held up by
// 80,000 pauses.
class OutputBoxWriter final : public ScreeningOutput {
 public:
  OutputBoxWriter(Ui& ui, Pauses& pauses)
      : ui_(ui), pauses_(pauses), box_(ui, Window::Main, kOutputBox), gathered_(*this), writer_{gathered_, noPauses_} {}
  void appendLabelledLine(std::string_view label, std::string_view value, Colour colour) override;
  void appendStyledText(std::string_view text, Colour colour) override;
  void scrollToEnd() override;
  void beginOrder() override;
  void endOrder() override;

 private:
  // The box as the writer sees it: runs are kept while an order is open, else passed on.
  class Gathered final : public RichTextBox {
   public:
    explicit Gathered(OutputBoxWriter& owner) : owner_(owner) {}
    void append(const TextRun& run) override;
    int lineCount() override;

   private:
    OutputBoxWriter& owner_;
  };
  class NoPauses final : public Pauses {
   public:
    bool pause(milliseconds, std::stop_token) override { return true; }
  };
  // Hands the kept runs to the box.
  void handOver();
  // Whether this thread's order is open (its runs are kept).
  bool gathering();

  Ui& ui_;
  Pauses& pauses_;
  UiRichTextBox box_;
  NoPauses noPauses_;
  Gathered gathered_;
  RichWriter writer_;
  std::mutex mutex_;  // a stopped run's worker may still be writing while the next one starts
  std::thread::id gathering_;  // the thread whose order is open; none: nothing is kept
  std::vector<TextRun> kept_;
};

}  // namespace pv
