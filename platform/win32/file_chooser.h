#pragma once
// FileChooser on Win32: the standard open-file dialog (GetOpenFileNameW) owned by one of
// our windows, and the operator's desktop folder. The dialog runs on the user-interface thread
// through the Ui adapter's hand-off (modal to its owner; the caller waits), and the process's current folder is put back afterwards.
#include "core/import/import_flow.h"

namespace pv {

class Win32Ui;

class Win32FileChooser final : public FileChooser {
 public:
  explicit Win32FileChooser(Win32Ui& ui) : ui_(ui) {}
  std::string showOpenFileDialog(Window owner, std::string_view initialFolder, std::string_view title,
                                 std::string_view filter) override;
  std::string desktopFolder() override;

 private:
  Win32Ui& ui_;
};

}  // namespace pv
