#include "core/client/erp_run_ports.h"

#include "core/screening/service_code.h"

namespace pv {

std::string MainWindowBatchScreening::screenAddresses(const std::vector<std::string>& addresses,
                                                      std::stop_token stop) {
  return screenFromMainWindow(queries_, addresses, stop);
}

bool MainWindowBatchScreening::checkServiceCode(int code, std::string_view message) {
  ServiceCodeReactions reactions{queries_.client.dialogs, queries_.client.browser, queries_.restart};
  return pv::checkServiceCode(reactions, code, message) == 1;
}

void OutputBoxWriter::appendLabelledLine(std::string_view label, std::string_view value, Colour colour) {
  pv::appendLabelledLine(writer_, label, value, colour);
}

void OutputBoxWriter::appendStyledText(std::string_view text, Colour colour) {
  pv::appendStyledText(writer_, text, colour);
}

void OutputBoxWriter::scrollToEnd() {
  (void)ui_.scrollLines(Window::Main, kOutputBox, ui_.lineCount(Window::Main, kOutputBox));
}

}  // namespace pv
