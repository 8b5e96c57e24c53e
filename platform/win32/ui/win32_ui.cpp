#include "platform/win32/ui/win32_ui.h"

#include <windows.h>

#include <commctrl.h>
#include <exdisp.h>
#include <ole2.h>

#include <exception>

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

Impl::Impl(EventHub& events, const CLSID& webBrowserClass, bool requireEngine)
    : events_(events), webBrowserClass_(webBrowserClass), requireEngine_(requireEngine) {
  uiThread_ = GetCurrentThreadId();
  instance_ = GetModuleHandleW(nullptr);
  // WIC decodes the pictures and the web views host an OLE control: both need this thread
  // to be a single-threaded apartment with OLE.
  oleInitialised_ = SUCCEEDED(OleInitialize(nullptr));
  richEditModule_.reset(LoadLibraryW(L"Msftedit.dll"));

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
  if (oleInitialised_) OleUninitialize();
}

int Impl::runMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Tab and the arrow keys move between controls as in a dialog.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    bool ours = false;
    for (const WindowState& w : windows_) ours = ours || (root && w.hwnd == root);
    if (ours && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

ControlState* Impl::find(Window window, std::string_view name) {
  WindowState& w = state(window);
  if (!w.hwnd) return nullptr;
  for (ControlState& c : w.controls) {
    if (c.def->name == name) return &c;
  }
  return nullptr;
}

HFONT Impl::font(int size, bool bold, bool underline) {
  // Controls without a size in the tables get the usual 9-point Chinese UI size.
  const int height = size > 0 ? size : 12;
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
    const win32ui::ControlState* c = impl_->find(window, name);
    return c && c->def->kind == ControlKind::WebBrowser && c->browser && c->browser->navigate(wide);
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
