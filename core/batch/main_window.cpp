#include "core/batch/main_window.h"

#include <memory>

namespace pv {

ScreeningSettings readScreeningSettings(const Ui& ui) {
  ScreeningSettings settings;
  settings.serviceBusinessId = ui.itemValue(Window::Main, kServiceBox, ui.selectedIndex(Window::Main, kServiceBox));
  settings.blockVillages = ui.checked(Window::Main, kVillageCheck);
  settings.villageLimit = readDistanceLimit(ui.text(Window::Main, kVillageDistanceBox));
  settings.blockRemote = ui.checked(Window::Main, kRemoteCheck);
  settings.remoteLimit = readDistanceLimit(ui.text(Window::Main, kRemoteDistanceBox));
  return settings;
}

std::string screenFromMainWindow(const MainWindowCall& call, const std::vector<std::string>& addresses,
                                 std::stop_token stop) {
  Ui& ui = call.ui;
  ui.setStatusText(Window::Main, kMainStatusBar, kProgressPart, "正在查询地址...");
  const std::shared_ptr<const ApiSession> session = call.session.load();
  const ScreeningLink link{call.transport, session->baseUrl, session->authHeader, call.pauses, call.requestBuilder,
                           stop};
  std::string answer = screenAddresses(link, readScreeningSettings(ui), addresses);
  // Cleared even by a stopped caller: nothing else would take the call's mark away.
  ui.setStatusText(Window::Main, kMainStatusBar, kProgressPart, "");
  return answer;
}

std::string MainWindowBatchScreening::screenAddresses(const std::vector<std::string>& addresses,
                                                      std::stop_token stop) {
  return screenFromMainWindow(call_, addresses, stop);
}

bool MainWindowBatchScreening::checkServiceCode(int code, std::string_view message) {
  return pv::checkServiceCode(reactions_, code, message) == 1;
}

bool OutputBoxWriter::gathering() {
  std::lock_guard lock(mutex_);
  return gathering_ == std::this_thread::get_id();
}

void OutputBoxWriter::appendLabelledLine(std::string_view label, std::string_view value, Colour colour) {
  const bool open = gathering();
  pv::appendLabelledLine(writer_, label, value, colour);
  if (!open) (void)pauses_.pause(kAppendPause);
}

void OutputBoxWriter::appendStyledText(std::string_view text, Colour colour) {
  const bool open = gathering();
  pv::appendStyledText(writer_, text, colour);
  if (!open) (void)pauses_.pause(kAppendPause);
}

void OutputBoxWriter::scrollToEnd() {
  (void)ui_.scrollLines(Window::Main, kOutputBox, ui_.lineCount(Window::Main, kOutputBox));
}

void OutputBoxWriter::beginOrder() {
  handOver();
  std::lock_guard lock(mutex_);
  gathering_ = std::this_thread::get_id();
}

void OutputBoxWriter::endOrder() {
  {
    std::lock_guard lock(mutex_);
    if (gathering_ != std::this_thread::get_id()) return;
    gathering_ = std::thread::id();
  }
  handOver();
  (void)pauses_.pause(kAppendPause);
}

// The box is written outside the lock: the hand-off waits for the user-interface thread.
void OutputBoxWriter::handOver() {
  std::vector<TextRun> runs;
  {
    std::lock_guard lock(mutex_);
    runs.swap(kept_);
  }
  if (!runs.empty()) box_.appendAll(runs);
}

void OutputBoxWriter::Gathered::append(const TextRun& run) {
  {
    std::lock_guard lock(owner_.mutex_);
    if (owner_.gathering_ == std::this_thread::get_id()) {
      owner_.kept_.push_back(run);
      return;
    }
  }
  owner_.box_.append(run);
}

int OutputBoxWriter::Gathered::lineCount() {
  owner_.handOver();
  return owner_.box_.lineCount();
}

}  // namespace pv
