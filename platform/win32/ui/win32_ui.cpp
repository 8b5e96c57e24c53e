#include "platform/win32/ui/win32_ui.h"

#include <windows.h>

#include <commctrl.h>
#include <exdisp.h>
#include <ole2.h>

#include <exception>
#include <optional>

#include "core/system/note_failure.h"
#include "platform/win32/ui/names.h"
#include "platform/win32/ui/picture_bitmap.h"
#include "platform/win32/ui/ui_impl.h"

namespace pv {
namespace win32ui {

std::string windowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return fromWide(text);
}

bool onlyDigits(std::wstring_view text) {
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  return true;
}

COLORREF toColorRef(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

namespace {

void registerClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, HBRUSH background,
                   HCURSOR cursor) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = cursor;
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);  // already registered by an earlier Win32Ui: fine
}

}  // namespace

Impl::Impl(EventHub& events, const CLSID& webBrowserClass, bool requireEngine,
           std::optional<Window> firstWindow)
    : events_(events), webBrowserClass_(webBrowserClass), requireEngine_(requireEngine) {
  uiThread_ = GetCurrentThreadId();
  instance_ = GetModuleHandleW(nullptr);
  density_.declareAwareness();
  if (firstWindow) {
    // Decoding the picture overlaps making the window and its controls, on another core.
    // The density is the one load() will lay it out for.
    const WindowDef& def = windowDef(*firstWindow);
    earlyBackground_.asset = def.background;
    earlyBackground_.dpi = density_.atPoint(POINT{def.x, def.y});
    earlyBackground_.bitmap = std::async(std::launch::async, [asset = def.background,
                                                              dpi = earlyBackground_.dpi] {
      UniqueBitmap bitmap;
      try {
        // Our backgrounds need no COM (opaque PNGs); an apartment only for one that does.
        const auto bytes = assetBytes(asset);
        bitmap = decodePictureAtDpi(bytes, dpi);
        if (!bitmap && SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
          bitmap = decodePictureAtDpi(bytes, dpi);
          CoUninitialize();
        }
      } catch (...) {
        noteFailure("Win32Ui", "background not decoded ahead");
      }
      return bitmap;
    });
  }
  // WIC decodes the pictures and screen readers' names go through COM: this thread is a
  // single-threaded apartment. OLE on top of it waits for what needs it (initialiseOle).
  comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  registerClass(instance_, kTopLevelWindowClass, windowProc, nullptr, arrow);
  registerClass(instance_, kTabPageWindowClass, windowProc, nullptr, arrow);
  registerClass(instance_, kPictureBoxWindowClass, pictureBoxProc, nullptr, arrow);
  registerClass(instance_, kDispatcherWindowClass, dispatcherProc, nullptr, nullptr);
  dispatcher_.reset(CreateWindowExW(0, kDispatcherWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, instance_, nullptr));

  const int icon = appIconResourceId();
  bigIcon_.reset(static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(icon), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXICON),
                                               GetSystemMetrics(SM_CYICON), 0)));
  smallIcon_.reset(static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(icon), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON),
                                                 GetSystemMetrics(SM_CYSMICON), 0)));
  for (Window w : kAllWindows) {
    state(w).id = w;
    state(w).impl = this;
  }
}

Impl::~Impl() {
  for (Window w : kAllWindows) destroy(w);
  dispatcher_.reset();
  fonts_.clear();
  // COM objects go before the apartment does.
  taskbar_.Reset();
  accessibleProperties_.Reset();
  if (oleInitialised_) OleUninitialize();
  if (comInitialised_) CoUninitialize();
}

bool Impl::initialiseOle() {
  // Only the web views' browser control and the rich edit boxes' dragging need OLE, and
  // no window has either before the login window's first paint, which it would delay by
  // a few milliseconds (its clipboard and drag-and-drop set-up).
  if (!oleTried_) {
    oleTried_ = true;
    oleInitialised_ = SUCCEEDED(OleInitialize(nullptr));
  }
  return oleInitialised_;
}

int Impl::runMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Tab and the arrow keys move between controls as in a dialog.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    WindowState* ours = nullptr;
    for (WindowState& w : windows_) {
      if (root && w.hwnd == root) ours = &w;
    }
    if (ours && msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && escape(*ours, msg.hwnd)) {
      continue;
    }
    if (ours && msg.message == WM_KEYDOWN && msg.wParam == VK_TAB &&
        tabKey(*ours, msg.hwnd, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0)) {
      continue;
    }
    if (ours && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

namespace {

bool isTabStop(const ControlState& c) {
  return c.hwnd && (GetWindowLongPtrW(c.hwnd, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(c.hwnd) &&
         IsWindowEnabled(c.hwnd);
}

// The first radio button of the run `index` belongs to; `index` itself for other controls.
size_t groupStart(const WindowState& w, size_t index) {
  while (index > 0 && w.controls[index].def->kind == ControlKind::RadioButton &&
         w.controls[index - 1].def->kind == ControlKind::RadioButton &&
         w.controls[index - 1].def->page == w.controls[index].def->page) {
    --index;
  }
  return index;
}

// Tabbing into a run of radio buttons lands on the selected one.
HWND groupTarget(const WindowState& w, size_t first) {
  for (size_t i = first; i < w.controls.size(); ++i) {
    const ControlState& c = w.controls[i];
    if (i > first && groupStart(w, i) != first) break;
    if (c.def->kind == ControlKind::RadioButton && c.hwnd &&
        SendMessageW(c.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED) {
      return c.hwnd;
    }
  }
  return w.controls[first].hwnd;
}

}  // namespace

bool Impl::tabKey(WindowState& w, HWND target, bool backwards, bool pages) {
  if (pages) {
    // Ctrl+Tab turns the tab control's pages, as in a property sheet.
    if (!w.tab || w.pages.empty()) return false;
    const int count = static_cast<int>(w.pages.size());
    const int now = static_cast<int>(SendMessageW(w.tab, TCM_GETCURSEL, 0, 0));
    showPage(w, ((now + (backwards ? -1 : 1)) % count + count) % count);
    return true;
  }
  // The tables' order, not the children's z-order: a control laid over another (a distance
  // box over its check box's caption) is raised above it but comes after it in reading.
  const size_t count = w.controls.size();
  if (count == 0) return false;
  std::optional<size_t> at;
  for (HWND h = target; h && h != w.hwnd && !at; h = GetParent(h)) {
    for (size_t i = 0; i < count; ++i) {
      if (w.controls[i].hwnd == h) at = i;
    }
  }
  const size_t from = at ? groupStart(w, *at) : (backwards ? 0 : count - 1);
  for (size_t step = 1; step <= count; ++step) {
    const size_t i = backwards ? (from + count - step) % count : (from + step) % count;
    const ControlState& c = w.controls[i];
    if (!isTabStop(c) || (at && groupStart(w, i) == from)) continue;
    HWND next = c.def->kind == ControlKind::RadioButton ? groupTarget(w, i) : c.hwnd;
    SetFocus(next);
    // As a dialog does: the text of a box reached with Tab is selected, ready to replace.
    if (c.def->kind == ControlKind::Edit) SendMessageW(next, EM_SETSEL, 0, -1);
    return true;
  }
  return false;
}

bool Impl::escape(WindowState& w, HWND target) {
  // An open drop-down list closes first, as everywhere. The key reaches an editable combo
  // box's field, whose parent is the box.
  for (HWND box : {target, GetParent(target)}) {
    wchar_t name[16] = {};
    if (box && GetClassNameW(box, name, 16) && lstrcmpiW(name, WC_COMBOBOXW) == 0 &&
        SendMessageW(box, CB_GETDROPPEDSTATE, 0, 0)) {
      return false;
    }
  }
  switch (w.id) {
    case Window::QuickTip:
      ShowWindow(w.hwnd, SW_HIDE);
      return true;
    case Window::Result:
      // As the close button does: the window's MayClose handler decides.
      SendMessageW(w.hwnd, WM_CLOSE, 0, 0);
      return true;
    default:
      return false;
  }
}

ControlState* Impl::find(Window window, std::string_view name) {
  WindowState& w = state(window);
  if (!w.hwnd) return nullptr;
  for (ControlState& c : w.controls) {
    if (c.def->name == name) return &c;
  }
  return nullptr;
}

HFONT Impl::font(const WindowState& w, int size, bool bold, bool underline) {
  // Controls without a size in the tables get the usual 9-point Chinese UI size.
  const int height = w.scaled(size > 0 ? size : 12);
  auto& slot = fonts_[{height, bold, underline}];
  if (!slot) {
    LOGFONTW lf{};
    lf.lfHeight = -height;  // character height, not cell height
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfCharSet = GB2312_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    slot.reset(CreateFontIndirectW(&lf));
  }
  return slot.get();
}

void Impl::raise(Window window, std::string_view control, Event event, int key) {
  if (!state(window).hwnd) return;
  EventArgs args{.window = window, .control = std::string(control), .event = event, .key = key};
  try {
    events_.raise(args);
  } catch (const std::exception& e) {
    // A failing handler must not take the window procedure down with it.
    noteFailure("Win32Ui::raise", e.what());
  } catch (...) {
    noteFailure("Win32Ui::raise", "event handler failed");
  }
}

bool Impl::raiseCancellable(Window window, Event event) {
  EventArgs args{.window = window, .event = event};
  try {
    events_.raise(args);
  } catch (const std::exception& e) {
    noteFailure("Win32Ui::raiseCancellable", e.what());
  } catch (...) {
    noteFailure("Win32Ui::raiseCancellable", "event handler failed");
  }
  return args.cancel;
}

bool Impl::raisePageEvent(Window window, std::string_view control, Event event, std::string text) {
  if (!state(window).hwnd) return false;
  EventArgs args{.window = window, .control = std::string(control), .event = event,
                 .text = std::move(text)};
  try {
    events_.raise(args);
  } catch (const std::exception& e) {
    noteFailure("Win32Ui::raisePageEvent", e.what());
  } catch (...) {
    noteFailure("Win32Ui::raisePageEvent", "event handler failed");
  }
  return args.cancel;
}

}  // namespace win32ui

Win32Ui::Win32Ui() : Win32Ui(CLSID_WebBrowser, true) {}
Win32Ui::Win32Ui(Window firstWindow)
    : impl_(std::make_unique<win32ui::Impl>(events(), CLSID_WebBrowser, true, firstWindow)) {}
Win32Ui::Win32Ui(const CLSID& webBrowserClass, bool requireEngine)
    : impl_(std::make_unique<win32ui::Impl>(events(), webBrowserClass, requireEngine)) {}
Win32Ui::~Win32Ui() = default;

int Win32Ui::runMessageLoop() { return impl_->runMessageLoop(); }

bool Win32Ui::onUiThread(const std::function<void()>& work) {
  return impl_->onUiThread([&] {
    work();
    return true;
  });
}
HWND Win32Ui::windowHandle(Window window) const {
  return impl_->onUiThread([&] { return impl_->state(window).hwnd; });
}
HWND Win32Ui::controlHandle(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> HWND {
    const win32ui::ControlState* c = impl_->find(window, name);
    return c ? c->hwnd : nullptr;
  });
}
bool Win32Ui::navigateWebView(Window window, std::string_view name, std::string_view address) {
  const std::wstring wide = toWide(address);
  return impl_->onUiThread([&] {
    win32ui::ControlState* c = impl_->find(window, name);
    if (!c || c->def->kind != ControlKind::WebBrowser) return false;
    impl_->hostWebBrowser(*c->window, *c);
    return c->browser && c->browser->navigate(wide);
  });
}

bool Win32Ui::load(Window window, bool show) {
  return impl_->onUiThread([&] { return impl_->load(window, show); });
}
bool Win32Ui::isLoaded(Window window) const {
  return impl_->onUiThread([&] { return impl_->state(window).hwnd != nullptr; });
}
bool Win32Ui::destroy(Window window) {
  return impl_->onUiThread([&] { return impl_->destroy(window); });
}
bool Win32Ui::raise(Window window, std::string_view control, Event event) {
  return impl_->onUiThread([&] {
    if (!impl_->state(window).hwnd) return false;
    impl_->raise(window, control, event);
    return true;
  });
}

}  // namespace pv
