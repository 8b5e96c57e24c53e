// The Ui port's operations on real windows and controls: each runs its body on the
// user-interface thread through the adapter's one hand-off.
#include <algorithm>
#include <optional>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include "platform/win32/erp/force_foreground.h"
#include "platform/win32/ui/picture_bitmap.h"
#include "platform/win32/ui/ui_impl.h"
#include "platform/win32/ui/win32_ui.h"

namespace pv {
namespace {

using win32ui::ControlState;
using win32ui::Impl;
using win32ui::WindowState;
using win32ui::onlyDigits;
using win32ui::windowText;

using K = ControlKind;

bool hasText(K kind) {
  switch (kind) {
    case K::Edit: case K::RichEdit: case K::TransparentLabel: case K::Label: case K::Button:
    case K::CheckBox: case K::RadioButton: case K::ComboBox: case K::Hyperlink:
    case K::StatusBar:
      return true;
    default:
      return false;
  }
}

std::string richEditText(HWND hwnd) {
  // CRLF line ends, as the text was set: the control keeps bare CRs inside.
  GETTEXTLENGTHEX lengthQuery{GTL_USECRLF | GTL_NUMCHARS, 1200};
  const LRESULT length = SendMessageW(hwnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GETTEXTEX query{};
  query.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  query.flags = GT_USECRLF;
  query.codepage = 1200;  // UTF-16
  const LRESULT got = SendMessageW(hwnd, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return fromWide(text);
}

int statusPartCount(HWND hwnd) { return static_cast<int>(SendMessageW(hwnd, SB_GETPARTS, 0, 0)); }

std::string statusPartText(HWND hwnd, int part) {
  if (part < 0 || part >= statusPartCount(hwnd)) return {};
  const LRESULT info = SendMessageW(hwnd, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0);
  const size_t length = LOWORD(info);
  std::wstring text(length + 1, L'\0');
  SendMessageW(hwnd, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcsnlen(text.c_str(), length));
  return fromWide(text);
}

bool setStatusPartText(HWND hwnd, int part, std::string_view text) {
  if (part < 0 || part >= statusPartCount(hwnd)) return false;
  return SendMessageW(hwnd, SB_SETTEXTW, static_cast<WPARAM>(part),
                      reinterpret_cast<LPARAM>(toWide(text).c_str())) != 0;
}

std::string comboItemText(HWND hwnd, int index) {
  const LRESULT length = SendMessageW(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return fromWide(text);
}

int comboCount(HWND hwnd) {
  const LRESULT n = SendMessageW(hwnd, CB_GETCOUNT, 0, 0);
  return n == CB_ERR ? 0 : static_cast<int>(n);
}

// A combo box (or tab control) control, or null.
ControlState* listControl(Impl& impl, Window window, std::string_view name, K kind) {
  ControlState* c = impl.find(window, name);
  return c && c->hwnd && c->def->kind == kind ? c : nullptr;
}

}  // namespace

bool Win32Ui::show(Window window) {
  return impl_->onUiThread([&] { return impl_->showWindow(window); });
}

bool Win32Ui::hide(Window window) {
  return impl_->onUiThread([&]() -> bool {
    WindowState& w = impl_->state(window);
    if (!w.hwnd) return false;
    ShowWindow(w.hwnd, SW_HIDE);
    return true;
  });
}

bool Win32Ui::isShown(Window window) const {
  return impl_->onUiThread([&]() -> bool {
    WindowState& w = impl_->state(window);
    return w.hwnd && IsWindowVisible(w.hwnd);
  });
}

std::string Win32Ui::title(Window window) const {
  return impl_->onUiThread([&]() -> std::string {
    WindowState& w = impl_->state(window);
    return w.hwnd ? windowText(w.hwnd) : std::string();
  });
}

bool Win32Ui::setTitle(Window window, std::string_view title) {
  return impl_->onUiThread([&]() -> bool {
    WindowState& w = impl_->state(window);
    return w.hwnd && SetWindowTextW(w.hwnd, toWide(title).c_str());
  });
}

std::string Win32Ui::text(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> std::string {
    ControlState* c = impl_->find(window, name);
    if (!c || !c->hwnd || !hasText(c->def->kind)) return {};
    switch (c->def->kind) {
      case K::StatusBar: return statusPartText(c->hwnd, 0);
      case K::RichEdit: return richEditText(c->hwnd);
      default: return windowText(c->hwnd);
    }
  });
}

namespace {

// Appends are made with the box's drawing held: under Wine a rich edit box repaints its
// scroll bar at every insertion, ten times the cost of the insertion itself, so an order's
// runs are drawn once, together.
class RedrawHeld {
 public:
  explicit RedrawHeld(HWND box) : box_(box) { SendMessageW(box_, WM_SETREDRAW, FALSE, 0); }
  ~RedrawHeld() {
    SendMessageW(box_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(box_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
  }
  RedrawHeld(const RedrawHeld&) = delete;
  RedrawHeld& operator=(const RedrawHeld&) = delete;

 private:
  HWND box_;
};

LONG richTextLength(HWND box) {
  GETTEXTLENGTHEX lengthQuery{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LRESULT length = SendMessageW(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  return static_cast<LONG>(length > 0 ? length : 0);
}

// Beyond this many characters a rich edit box is emptied by a new box in its place: under
// Wine the box deletes text at some 0.1 ms a character, so a long run's output took minutes
// to clear and held up the query that cleared it, while a new box takes milliseconds.
constexpr LONG kRenewRichTextAbove = 20000;

}  // namespace

bool Win32Ui::setText(Window window, std::string_view name, std::string_view text) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    if (!c || !c->hwnd || !hasText(c->def->kind)) return false;
    const std::wstring wide = toWide(text);
    if (wide.empty() && !text.empty()) return false;  // not GBK
    if (c->def->has(kDigitsOnly) && !onlyDigits(wide)) return false;
    if (c->def->kind == K::StatusBar) return setStatusPartText(c->hwnd, 0, text);
    if (c->def->kind == K::ComboBox && c->def->has(kDropDownList)) {
      // CB_FINDSTRINGEXACT ignores case; the items must match byte for byte.
      for (int i = 0, n = comboCount(c->hwnd); i < n; ++i) {
        if (comboItemText(c->hwnd, i) == text) {
          return SendMessageW(c->hwnd, CB_SETCURSEL, static_cast<WPARAM>(i), 0) != CB_ERR;
        }
      }
      return false;
    }
    if (c->def->kind == K::RichEdit && richTextLength(c->hwnd) > kRenewRichTextAbove) {
      impl_->renewControl(*c->window, *c);
    }
    return SetWindowTextW(c->hwnd, wide.c_str()) != 0;
  });
}

bool Win32Ui::visible(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    return c && c->hwnd && (GetWindowLongPtrW(c->hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
  });
}

bool Win32Ui::setVisible(Window window, std::string_view name, bool visible) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    if (!c || !c->hwnd) return false;
    ShowWindow(c->hwnd, visible ? SW_SHOWNA : SW_HIDE);
    return true;
  });
}

bool Win32Ui::enabled(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    return c && c->hwnd && IsWindowEnabled(c->hwnd);
  });
}

bool Win32Ui::setEnabled(Window window, std::string_view name, bool enabled) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    if (!c || !c->hwnd) return false;
    EnableWindow(c->hwnd, enabled ? TRUE : FALSE);
    return true;
  });
}

bool Win32Ui::checked(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    if (!c || !c->hwnd) return false;
    if (c->def->kind != K::CheckBox && c->def->kind != K::RadioButton) return false;
    return SendMessageW(c->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
  });
}

bool Win32Ui::setChecked(Window window, std::string_view name, bool checked) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    if (!c || !c->hwnd) return false;
    if (c->def->kind != K::CheckBox && c->def->kind != K::RadioButton) return false;
    if (c->def->kind == K::RadioButton && checked) {
      // BM_SETCHECK alone leaves the group's other button selected too.
      for (ControlState& other : impl_->state(window).controls) {
        if (&other != c && other.hwnd && other.def->kind == K::RadioButton &&
            other.def->page == c->def->page) {
          SendMessageW(other.hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
        }
      }
    }
    SendMessageW(c->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    return true;
  });
}

int Win32Ui::selectedIndex(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> int {
    if (ControlState* c = listControl(*impl_, window, name, K::ComboBox)) {
      const LRESULT at = SendMessageW(c->hwnd, CB_GETCURSEL, 0, 0);
      return at == CB_ERR ? -1 : static_cast<int>(at);
    }
    if (ControlState* c = listControl(*impl_, window, name, K::TabControl)) {
      return static_cast<int>(SendMessageW(c->hwnd, TCM_GETCURSEL, 0, 0));
    }
    return -1;
  }, -1);
}

bool Win32Ui::setSelectedIndex(Window window, std::string_view name, int index) {
  return impl_->onUiThread([&]() -> bool {
    if (ControlState* c = listControl(*impl_, window, name, K::ComboBox)) {
      if (index >= 0 && index < comboCount(c->hwnd)) {
        return SendMessageW(c->hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != CB_ERR;
      }
      SendMessageW(c->hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
      SetWindowTextW(c->hwnd, L"");
      return index == -1;
    }
    if (ControlState* c = listControl(*impl_, window, name, K::TabControl)) {
      if (index < 0 || index >= static_cast<int>(c->def->pages.size())) return false;
      impl_->showPage(impl_->state(window), index);
      return true;
    }
    return false;
  });
}

int Win32Ui::itemCount(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> int {
    ControlState* c = listControl(*impl_, window, name, K::ComboBox);
    return c ? comboCount(c->hwnd) : 0;
  });
}

std::string Win32Ui::itemText(Window window, std::string_view name, int index) const {
  return impl_->onUiThread([&]() -> std::string {
    ControlState* c = listControl(*impl_, window, name, K::ComboBox);
    if (!c || index < 0 || index >= comboCount(c->hwnd)) return {};
    return comboItemText(c->hwnd, index);
  });
}

int Win32Ui::itemValue(Window window, std::string_view name, int index) const {
  return impl_->onUiThread([&]() -> int {
    ControlState* c = listControl(*impl_, window, name, K::ComboBox);
    if (!c || index < 0 || index >= comboCount(c->hwnd)) return 0;
    return static_cast<int>(SendMessageW(c->hwnd, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
  });
}

int Win32Ui::addItem(Window window, std::string_view name, std::string_view text, int value) {
  return impl_->onUiThread([&]() -> int {
    ControlState* c = listControl(*impl_, window, name, K::ComboBox);
    if (!c) return -1;
    const LRESULT at =
        SendMessageW(c->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(text).c_str()));
    if (at < 0) return -1;
    SendMessageW(c->hwnd, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(value));
    return static_cast<int>(at);
  }, -1);
}

bool Win32Ui::clearItems(Window window, std::string_view name) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = listControl(*impl_, window, name, K::ComboBox);
    if (!c) return false;
    SendMessageW(c->hwnd, CB_RESETCONTENT, 0, 0);
    SetWindowTextW(c->hwnd, L"");
    return true;
  });
}

int Win32Ui::timerInterval(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> int {
    ControlState* c = impl_->find(window, name);
    return c && c->def->kind == K::Timer ? c->interval : 0;
  });
}

bool Win32Ui::setTimerInterval(Window window, std::string_view name, int milliseconds) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    if (!c || c->def->kind != K::Timer || milliseconds < 0) return false;
    HWND owner = impl_->state(window).hwnd;
    KillTimer(owner, c->timerId);
    c->interval = milliseconds;
    if (milliseconds > 0) SetTimer(owner, c->timerId, static_cast<UINT>(milliseconds), nullptr);
    return true;
  });
}

std::string Win32Ui::picture(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> std::string {
    ControlState* c = impl_->find(window, name);
    return c && c->def->kind == K::PictureBox ? c->pictureBytes : std::string();
  });
}

bool Win32Ui::setPicture(Window window, std::string_view name, std::string_view bytes) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    if (!c || !c->hwnd || c->def->kind != K::PictureBox) return false;
    const Rect size = c->window->scaled(c->def->rect);
    UniqueBitmap bitmap = decodePicture(bytes, size.width, size.height);
    if (!bitmap) return false;
    c->picture = std::move(bitmap);
    c->pictureBytes = bytes;
    InvalidateRect(c->hwnd, nullptr, TRUE);
    return true;
  });
}

std::string Win32Ui::linkTarget(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> std::string {
    ControlState* c = impl_->find(window, name);
    return c && c->def->kind == K::Hyperlink ? c->target : std::string();
  });
}

bool Win32Ui::setLinkTarget(Window window, std::string_view name, std::string_view target) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    if (!c || c->def->kind != K::Hyperlink) return false;
    c->target = target;
    return true;
  });
}

std::string Win32Ui::statusText(Window window, std::string_view name, int part) const {
  return impl_->onUiThread([&]() -> std::string {
    ControlState* c = listControl(*impl_, window, name, K::StatusBar);
    return c ? statusPartText(c->hwnd, part) : std::string();
  });
}

bool Win32Ui::setStatusText(Window window, std::string_view name, int part, std::string_view text) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = listControl(*impl_, window, name, K::StatusBar);
    return c && setStatusPartText(c->hwnd, part, text);
  });
}

// Whatever the box held before, the runs go after it: the caret is put at the very end, and
// each run's format is set on the empty selection there before its text replaces that
// selection, all on this thread, so nothing else can come between.
bool Win32Ui::appendRichText(Window window, std::string_view name, std::span<const TextRun> runs) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = listControl(*impl_, window, name, K::RichEdit);
    if (!c) return false;
    if (std::all_of(runs.begin(), runs.end(), [](const TextRun& run) { return run.text.empty(); })) return true;
    const std::optional<RedrawHeld> held = runs.size() > 1 ? std::optional<RedrawHeld>(std::in_place, c->hwnd)
                                                           : std::nullopt;
    const LONG length = richTextLength(c->hwnd);
    CHARRANGE end{length, length};
    SendMessageW(c->hwnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));

    const std::wstring face = toWide(kRichTextFace);
    for (const TextRun& run : runs) {
      if (run.text.empty()) continue;
      CHARFORMAT2W format{};
      format.cbSize = sizeof format;
      format.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_PROTECTED | CFM_SIZE | CFM_COLOR |
                      CFM_FACE | CFM_OFFSET;
      format.dwEffects = run.bold ? CFE_BOLD : 0;
      format.yHeight = kRichTextPoints * 20;
      format.yOffset = 0;
      format.crTextColor = static_cast<COLORREF>(run.colour & 0x00FFFFFF);
      wcsncpy(format.szFaceName, face.c_str(), LF_FACESIZE - 1);
      SendMessageW(c->hwnd, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
      SendMessageW(c->hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(toWide(run.text).c_str()));
    }
    return true;
  });
}

int Win32Ui::lineCount(Window window, std::string_view name) const {
  return impl_->onUiThread([&]() -> int {
    ControlState* c = impl_->find(window, name);
    if (!c || !c->hwnd || (c->def->kind != K::RichEdit && c->def->kind != K::Edit)) return 0;
    return static_cast<int>(SendMessageW(c->hwnd, EM_GETLINECOUNT, 0, 0));
  });
}

bool Win32Ui::scrollLines(Window window, std::string_view name, int lines) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = listControl(*impl_, window, name, K::RichEdit);
    return c && SendMessageW(c->hwnd, EM_LINESCROLL, 0, static_cast<LPARAM>(lines)) != 0;
  });
}

bool Win32Ui::clearSelection(Window window, std::string_view name) {
  return impl_->onUiThread([&]() -> bool {
    ControlState* c = impl_->find(window, name);
    if (!c || !c->hwnd || (c->def->kind != K::RichEdit && c->def->kind != K::Edit)) return false;
    SendMessageW(c->hwnd, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    return true;
  });
}

bool Win32Ui::underCursor(Window window) const {
  return impl_->onUiThread([&]() -> bool {
    const HWND own = impl_->state(window).hwnd;
    POINT cursor{};
    if (!own || !GetCursorPos(&cursor)) return false;
    const HWND under = WindowFromPoint(cursor);
    return under && GetAncestor(under, GA_ROOTOWNER) == own;
  });
}

bool Win32Ui::activate(Window window) {
  return impl_->onUiThread([&]() -> bool {
    const HWND own = impl_->state(window).hwnd;
    if (!own) return false;
    if (IsIconic(own)) ShowWindow(own, SW_RESTORE);
    forceForeground(own);
    return true;
  });
}

ITaskbarList3* Impl::taskbar() {
  if (!taskbarTried_) {
    taskbarTried_ = true;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&taskbar_))) ||
        FAILED(taskbar_->HrInit())) {
      taskbar_.Reset();
    }
  }
  return taskbar_.Get();
}

bool Win32Ui::setTaskbarProgress(Window window, int done, int total) {
  return impl_->onUiThread([&]() -> bool {
    const HWND own = impl_->state(window).hwnd;
    ITaskbarList3* bar = impl_->taskbar();
    if (!own || !bar) return true;  // nothing to show it on
    if (total <= 0) return SUCCEEDED(bar->SetProgressState(own, TBPF_NOPROGRESS));
    const auto clamped = static_cast<ULONGLONG>(done < 0 ? 0 : (done > total ? total : done));
    return SUCCEEDED(bar->SetProgressValue(own, clamped, static_cast<ULONGLONG>(total)));
  });
}

}  // namespace pv
