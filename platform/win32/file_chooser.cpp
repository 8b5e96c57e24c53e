#include "platform/win32/file_chooser.h"

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "core/system/note_failure.h"
#include "platform/win32/ui/win32_ui.h"
#include "platform/win32/wide_text.h"

namespace pv {
namespace {

constexpr DWORD kPathChars = 512;

}  // namespace

std::string Win32FileChooser::showOpenFileDialog(Window owner, std::string_view initialFolder,
                                                 std::string_view title, std::string_view filter) {
  try {
    // "description|patterns|…" becomes the dialog's list of NUL-separated texts.
    std::wstring filters = toWide(filter);
    for (wchar_t& c : filters) {
      if (c == L'|') c = L'\0';
    }
    filters.append(2, L'\0');
    const std::wstring folder = toWide(initialFolder), caption = toWide(title);
    std::vector<wchar_t> file(kPathChars, L'\0'), fileTitle(kPathChars, L'\0');
    std::vector<wchar_t> current(MAX_PATH * 4, L'\0');
    const DWORD kept = GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathChars;
    dialog.lpstrFileTitle = fileTitle.data();
    dialog.nMaxFileTitle = kPathChars;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = caption.c_str();
    BOOL chosen = FALSE;
    // Through the Ui adapter's hand-off, like every other box of ours.
    ui_.onUiThread([&] {
      dialog.hwndOwner = ui_.windowHandle(owner);
      chosen = GetOpenFileNameW(&dialog);
    });
    if (kept > 0 && kept < current.size()) SetCurrentDirectoryW(current.data());
    return chosen ? fromWide(file.data()) : std::string();
  } catch (...) {
    noteFailure("Win32FileChooser::showOpenFileDialog", "file dialog failed");
    return {};
  }
}

std::string Win32FileChooser::desktopFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return fromWide(path);
}

}  // namespace pv
