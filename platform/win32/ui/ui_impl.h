#pragma once
// Inside of the Win32 Ui adapter, shared by its source files. Everything here runs on the
// user-interface thread only; Win32Ui hands other threads' calls over before reaching it.
#include <windows.h>

#include <oleacc.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <array>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "core/ui/ui.h"
#include "platform/win32/ui/display_density.h"
#include "platform/win32/ui/handles.h"
#include "platform/win32/ui/web_browser_host.h"
#include "platform/win32/unique.h"
#include "platform/win32/wide_text.h"

namespace pv::win32ui {

class Impl;
struct WindowState;

inline constexpr UINT kRunCallMessage = WM_APP + 1;  // lParam: std::function<void()>*
inline constexpr int kControlIdBase = 100;  // child id = base + index in the table
inline constexpr int kMenuIdBase = 1000;    // menu item id = base + running index
inline constexpr UINT kDpiChangedMessage = 0x02E0;  // WM_DPICHANGED, newer than our headers

struct ControlState {
  const ControlDef* def = nullptr;
  WindowState* window = nullptr;
  HWND hwnd = nullptr;  // destroyed with its parent; null for timers
  UINT_PTR timerId = 0;
  int interval = 0;
  std::string target;
  bool visited = false;
  std::string pictureBytes;  // last set through setPicture
  UniqueBitmap picture;      // at the box's size on screen, premultiplied alpha
  // Hosted at the first navigation, not with the window: the control and its engine take
  // longer to make than the rest of the window, and show nothing before a page anyway.
  std::unique_ptr<WebBrowserHost> browser;  // null: the web view shows its placeholder
  bool browserTried = false;
};

struct WindowState {
  Window id = Window::Login;
  Impl* impl = nullptr;
  const WindowDef* def = nullptr;
  HWND hwnd = nullptr;  // null while not loaded; DestroyWindow'd by destroy() or the operator
  // The density the window is laid out for. The tables are in 96-dpi pixels; every
  // position, size, font and picture is scaled to this when it is placed.
  int dpi = 96;
  HWND tab = nullptr;
  std::vector<HWND> pages;
  // Sized once per load and never resized while loaded: subclass procs hold pointers.
  std::vector<ControlState> controls;
  UniqueBitmap backgroundBitmap;
  UniqueBrush background;  // the background picture as a pattern brush, tiled from (0, 0)

  // The one scaling of the adapter: table pixels to this window's pixels.
  int scaled(int value) const noexcept;
  Rect scaled(const Rect& rect) const noexcept;
};

class Impl {
 public:
  // The web views host the control of `webBrowserClass`; with `requireEngine`, only when
  // its HTML engine is installed too.
  // With `firstWindow`, that window's background starts decoding on a worker at once.
  Impl(EventHub& events, const CLSID& webBrowserClass, bool requireEngine,
       std::optional<Window> firstWindow = std::nullopt);
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  // Runs `call` on the user-interface thread and returns its result, or `fallback` when
  // that thread no longer takes calls.
  template <class F, class R = std::invoke_result_t<F&>>
  R onUiThread(F&& call, R fallback = R{}) {
    if (GetCurrentThreadId() == uiThread_) return call();
    R result = fallback;
    std::function<void()> run = [&] { result = call(); };
    SendMessageW(dispatcher_.get(), kRunCallMessage, 0, reinterpret_cast<LPARAM>(&run));
    return result;
  }

  int runMessageLoop();

  // Windows (window_build.cpp). The Ui port's other operations are Win32Ui's own
  // (control_ops.cpp), run here through onUiThread.
  bool load(Window window, bool show);
  bool showWindow(Window window);
  bool destroy(Window window);
  // Called on WM_NCDESTROY of a top-level window: forget it, end the loop after the last.
  void windowGone(WindowState& w);

  // Events. Handlers' exceptions stop here: they must not unwind through user32.
  void raise(Window window, std::string_view control, Event event, int key = 0);
  bool raiseCancellable(Window window, Event event);  // true when a handler cancelled
  // A web view's page event with its text; true when a handler cancelled.
  bool raisePageEvent(Window window, std::string_view control, Event event, std::string text);

  // The window moved to a display of another density: everything in it is laid out again
  // for `dpi`, the frame taking `suggested` (screen pixels).
  void changeDpi(WindowState& w, int dpi, const RECT& suggested);

  WindowState& state(Window window) { return windows_[static_cast<size_t>(window)]; }
  ControlState* find(Window window, std::string_view name);
  // A control's font at its window's density; `size` is the table's character height.
  HFONT font(const WindowState& w, int size, bool bold, bool underline);
  // Decodes a picture box's picture (the bytes last set, else the table's) at its size on
  // screen.
  void decodeBoxPicture(ControlState& c);
  void showPage(WindowState& w, int page);
  // The browser control inside a web view's placeholder, on its first call only.
  void hostWebBrowser(WindowState& w, ControlState& view);
  // OLE on this thread from the first call on; false where it could not be initialised.
  bool initialiseOle();

  // Puts a new control of the same table entry in the place of the one there (position,
  // stacking, shown and enabled state, focus, name), empty, and destroys the old one.
  void renewControl(WindowState& w, ControlState& c);

  HINSTANCE instance() const noexcept { return instance_; }
  // The shell's taskbar buttons, asked for once; null where the system has none.
  ITaskbarList3* taskbar();

 private:
  // Screen readers (screen_reader.cpp): boxes named after their labels; a window shown
  // without the focus announced.
  void nameForScreenReaders(WindowState& w);
  void announce(WindowState& w);
  // Tab (Shift+Tab backwards) moves the focus to the next control of the table that is a
  // tab stop, shown and enabled; Ctrl+Tab turns the tab control's pages. True when taken.
  bool tabKey(WindowState& w, HWND target, bool backwards, bool pages);
  // Esc in a window: hides the quick tip, closes the result window; true when taken.
  bool escape(WindowState& w, HWND target);
  void createControl(WindowState& w, size_t index);
  void createTabPages(WindowState& w, ControlState& tab);
  // What depends on the density and is not a child's rectangle or font.
  void makeBackground(WindowState& w);
  void setStatusParts(const WindowState& w, const ControlState& bar);
  void fitTabPages(WindowState& w);
  void placeControl(WindowState& w, ControlState& c);

  // A background decoded ahead of its window (see the constructor); taken by the first
  // window of that picture at that density, else left alone.
  struct EarlyBackground {
    Asset asset = Asset::None;
    int dpi = 0;
    std::future<UniqueBitmap> bitmap;
  };

  EventHub& events_;
  EarlyBackground earlyBackground_;
  DWORD uiThread_ = 0;
  HINSTANCE instance_ = nullptr;
  bool comInitialised_ = false;
  bool oleInitialised_ = false;
  bool oleTried_ = false;
  CLSID webBrowserClass_;
  bool requireEngine_ = true;
  DisplayDensity density_;
  Microsoft::WRL::ComPtr<IAccPropServices> accessibleProperties_;
  bool accessiblePropertiesTried_ = false;
  Microsoft::WRL::ComPtr<ITaskbarList3> taskbar_;
  bool taskbarTried_ = false;
  UniqueModule richEditModule_;
  UniqueWindow dispatcher_;
  UniqueIcon bigIcon_;
  UniqueIcon smallIcon_;
  std::map<std::tuple<int, bool, bool>, UniqueFont> fonts_;
  std::array<WindowState, 4> windows_;
  int liveWindows_ = 0;
};

// Window procedures (window_proc.cpp).
LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK pictureBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK dispatcherProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK controlSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR data);

std::string windowText(HWND hwnd);
bool onlyDigits(std::wstring_view text);
COLORREF toColorRef(std::uint32_t rgb);

}  // namespace pv::win32ui
