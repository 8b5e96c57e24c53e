// e2e_stranger.exe: a program that is not ours, for the e2e tests. Never shipped.
//
//   e2e_stranger window CLASS TITLE   shows a top-level window of that class and title
//                                     until it is closed (a browser tab titled with our
//                                     product name, say); exit code 0 once closed
//   e2e_stranger record FILE ARG...   appends the arguments, one per line in UTF-8, to
//                                     FILE and ends: a stand-in for a program the shell
//                                     opens a document with
#include <windows.h>

#include <string>

#include "platform/win32/unique.h"

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int showWindow(const wchar_t* className, const wchar_t* title) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = className;
  if (!RegisterClassExW(&wc)) return 3;
  HWND window = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300, 360,
                                120, nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) return 3;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

std::string utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.pop_back();  // the terminator
  return out;
}

int record(const wchar_t* file, int count, wchar_t** args) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += utf8(args[i]) + "\n";
  const pv::UniqueFile out(CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return 3;
  DWORD written = 0;
  return WriteFile(out.get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) &&
                 written == lines.size()
             ? 0
             : 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"window" && argc == 4) return showWindow(argv[2], argv[3]);
  if (mode == L"record" && argc >= 3) return record(argv[2], argc - 3, argv + 3);
  return 2;
}
