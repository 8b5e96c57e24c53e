// The floor of a start-up: a top-level window of the login window's size that does nothing
// but show itself and paint its background. startup_bench starts it beside parcelvane.exe.
#include <windows.h>

namespace {

LRESULT CALLBACK plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = plainProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"PlainWindow";
  if (!RegisterClassExW(&wc)) return 1;

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT outer{0, 0, 577, 536};
  AdjustWindowRect(&outer, style, FALSE);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"plain window", style, 50, 50,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr,
                              nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
