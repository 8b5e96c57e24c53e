// Window procedures: events of the tables, painting of backgrounds, labels and pictures.
// Every procedure catches: an exception must not unwind through user32.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>

#include "core/system/note_failure.h"
#include "platform/win32/ui/names.h"
#include "platform/win32/ui/ui_impl.h"

namespace pv::win32ui {
namespace {

using K = ControlKind;

constexpr std::uint32_t kLinkColour = 0x0088FF;
constexpr std::uint32_t kVisitedLinkColour = 0x0078D7;

ControlState* controlById(WindowState& w, int id) {
  const int index = id - kControlIdBase;
  if (index < 0 || static_cast<size_t>(index) >= w.controls.size()) return nullptr;
  return &w.controls[static_cast<size_t>(index)];
}

ControlState* controlByHandle(WindowState& w, HWND hwnd) {
  if (!hwnd) return nullptr;
  for (ControlState& c : w.controls) {
    if (c.hwnd == hwnd) return &c;
  }
  return nullptr;
}

bool isTopLevel(const WindowState& w, HWND hwnd) { return hwnd == w.hwnd; }

// The background a see-through control shows: the page's white, or the window's picture
// lined up with the window so the control blends in.
HBRUSH seeThroughBrush(WindowState& w, ControlState& c, HDC dc) {
  if (c.def->page >= 0 || c.def->has(kWhiteBackground) || c.def->kind == K::WebBrowser) {
    SetBkColor(dc, RGB(255, 255, 255));
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  }
  if (!w.background) {
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
  }
  POINT origin{0, 0};
  MapWindowPoints(c.hwnd, w.hwnd, &origin, 1);
  SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
  return w.background.get();
}

bool colourControl(WindowState& w, HWND child, HDC dc, LRESULT& result) {
  ControlState* c = controlByHandle(w, child);
  if (!c) return false;
  switch (c->def->kind) {
    case K::TransparentLabel:
    case K::Hyperlink:
    case K::CheckBox:
    case K::RadioButton:
    case K::WebBrowser:
      break;
    default:
      return false;
  }
  SetBkMode(dc, TRANSPARENT);
  std::uint32_t colour = c->def->textColour;
  if (c->def->kind == K::Hyperlink) colour = c->visited ? kVisitedLinkColour : kLinkColour;
  SetTextColor(dc, colour == kNoColour ? GetSysColor(COLOR_WINDOWTEXT) : toColorRef(colour));
  result = reinterpret_cast<LRESULT>(seeThroughBrush(w, *c, dc));
  return true;
}

void followLink(ControlState& c) {
  if (!c.target.empty()) {
    ShellExecuteW(nullptr, L"open", toWide(c.target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
  c.visited = true;
  InvalidateRect(c.hwnd, nullptr, TRUE);
}

void onControlCommand(WindowState& w, int id, int code, HWND child) {
  ControlState* c = controlById(w, id);
  if (!c || c->hwnd != child) return;
  Impl& impl = *w.impl;
  const Window window = w.id;
  // Copied: a handler may destroy the window, and its control records with it.
  const std::string name = c->def->name;
  switch (c->def->kind) {
    case K::Button:
    case K::CheckBox:
    case K::RadioButton:
      if (code == BN_CLICKED) impl.raise(window, name, Event::Clicked);
      break;
    case K::Label:
    case K::TransparentLabel:
      if (code == STN_CLICKED) impl.raise(window, name, Event::Clicked);
      break;
    case K::Hyperlink:
      if (code == STN_CLICKED) {
        followLink(*c);
        impl.raise(window, name, Event::LeftButtonDown);
        impl.raise(window, name, Event::Clicked);
      }
      break;
    case K::Edit:
      if (code == EN_SETFOCUS) impl.raise(window, name, Event::GotFocus);
      if (code == EN_KILLFOCUS) impl.raise(window, name, Event::LostFocus);
      break;
    case K::ComboBox:
      if (code == CBN_SELCHANGE) {
        // The field takes the item's text only after this notification; handlers read the
        // text, so put it there first.
        const LRESULT at = SendMessageW(child, CB_GETCURSEL, 0, 0);
        if (at >= 0 && !c->def->has(kDropDownList)) {
          const LRESULT length = SendMessageW(child, CB_GETLBTEXTLEN, static_cast<WPARAM>(at), 0);
          if (length >= 0) {
            std::wstring text(static_cast<size_t>(length) + 1, L'\0');
            SendMessageW(child, CB_GETLBTEXT, static_cast<WPARAM>(at),
                         reinterpret_cast<LPARAM>(text.data()));
            SetWindowTextW(child, text.c_str());
          }
        }
        impl.raise(window, name, Event::ItemSelected);
      }
      break;
    default:
      break;
  }
}

void onMenuCommand(WindowState& w, int id) {
  int running = kMenuIdBase;
  for (const MenuDef& m : w.def->menus) {
    for (const std::string& item : m.items) {
      if (running++ == id) {
        const std::string name = item;
        w.impl->raise(w.id, name, Event::Clicked);
        return;
      }
    }
  }
}

// Messages of the top-level window and of its tab pages alike.
bool handleCommon(WindowState& w, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                  LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
      if (lParam == 0 && HIWORD(wParam) == 0) {
        onMenuCommand(w, LOWORD(wParam));
      } else if (lParam != 0) {
        onControlCommand(w, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      }
      result = 0;
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->hwndFrom == w.tab && header->code == TCN_SELCHANGE) {
        w.impl->showPage(w, static_cast<int>(SendMessageW(w.tab, TCM_GETCURSEL, 0, 0)));
        result = 0;
        return true;
      }
      return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return colourControl(w, reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam), result);
    case WM_SETCURSOR: {
      ControlState* c = controlByHandle(w, reinterpret_cast<HWND>(wParam));
      if (c && (c->def->kind == K::Hyperlink || c->def->has(kHandCursor))) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        result = TRUE;
        return true;
      }
      return false;
    }
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd, &client);
      HBRUSH brush = isTopLevel(w, hwnd)
                         ? (w.background ? w.background.get() : GetSysColorBrush(COLOR_BTNFACE))
                         : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      auto dc = reinterpret_cast<HDC>(wParam);
      SetBrushOrgEx(dc, 0, 0, nullptr);
      FillRect(dc, &client, brush);
      result = 1;
      return true;
    }
    default:
      return false;
  }
}

bool handleTopLevel(WindowState& w, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                    LRESULT& result) {
  switch (message) {
    case WM_TIMER:
      for (const ControlState& c : w.controls) {
        if (c.timerId == wParam && c.interval > 0) {
          const std::string name = c.def->name;
          w.impl->raise(w.id, name, Event::Tick);
          break;
        }
      }
      result = 0;
      return true;
    case WM_CLOSE:
      if (raisesEvent(w.id, "", Event::MayClose) && w.impl->raiseCancellable(w.id, Event::MayClose)) {
        result = 0;
        return true;
      }
      DestroyWindow(hwnd);
      result = 0;
      return true;
    case WM_CHANGEUISTATE:
      // Focus rectangles (and access-key underlines) always show: the system would hide
      // them until the keyboard is used, and whoever works only with it must see where
      // the focus is from the start.
      if (LOWORD(wParam) != UIS_CLEAR) {
        DefWindowProcW(hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
        result = 0;
        return true;
      }
      return false;
    case kDpiChangedMessage:
      if (lParam) w.impl->changeDpi(w, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      result = 0;
      return true;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) w.impl->raise(w.id, "", Event::Activated);
      return false;
    case WM_DESTROY:
      w.impl->raise(w.id, "", Event::Destroying);
      for (ControlState& c : w.controls) {
        if (c.timerId) KillTimer(hwnd, c.timerId);
        c.browser.reset();  // closed while its windows still exist
      }
      return false;
    case WM_NCDESTROY:
      w.impl->windowGone(w);
      return false;
    default:
      return false;
  }
}

void paintPicture(HWND hwnd, const ControlState* c) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client;
  GetClientRect(hwnd, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (c && c->picture) {
    BITMAP info{};
    GetObjectW(c->picture.get(), sizeof(info), &info);
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    if (memory) {
      HGDIOBJ old = SelectObject(memory.get(), c->picture.get());
      BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      AlphaBlend(dc, 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, info.bmWidth,
                 info.bmHeight, blend);
      SelectObject(memory.get(), old);
    }
  }
  EndPaint(hwnd, &ps);
}

bool wantsEnter(const ControlState& c) {
  return c.def->kind == K::Edit && !c.def->has(kMultiLine) &&
         raisesEvent(c.window->id, c.def->name, Event::KeyDown);
}

bool keepsTab(const ControlState& c) {
  return c.def->kind == K::RichEdit || (c.def->kind == K::Edit && c.def->has(kMultiLine));
}

bool clipboardHasOnlyDigits(HWND owner) {
  if (!OpenClipboard(owner)) return false;
  bool digits = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
      digits = onlyDigits(std::wstring_view(text, wcsnlen(text, GlobalSize(data) / sizeof(wchar_t))));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return digits;
}

}  // namespace

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_NCCREATE) {
      auto* w = static_cast<WindowState*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
      if (w && !w->hwnd) w->hwnd = hwnd;  // the top-level window; pages come later
    }
    if (auto* w = reinterpret_cast<WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
      LRESULT result = 0;
      if (handleCommon(*w, hwnd, message, wParam, lParam, result)) return result;
      if (isTopLevel(*w, hwnd) && handleTopLevel(*w, hwnd, message, wParam, lParam, result)) return result;
    }
  } catch (...) {
    noteFailure("windowProc", "message handling failed; default handling instead");
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK pictureBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    switch (message) {
      case WM_NCCREATE:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
                                                   reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        break;
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        paintPicture(hwnd, reinterpret_cast<const ControlState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
        return 0;
      default:
        break;
    }
  } catch (...) {
    noteFailure("pictureBoxProc", "picture could not be painted");
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK dispatcherProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunCallMessage) {
    try {
      (*reinterpret_cast<std::function<void()>*>(lParam))();
    } catch (...) {
      noteFailure("dispatcherProc", "call handed to the user-interface thread failed");
    }
    return 1;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK controlSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data) {
  try {
    auto* c = reinterpret_cast<ControlState*>(data);
    const bool digitsOnly = c->def->has(kDigitsOnly);
    switch (message) {
      case WM_DESTROY:
        if (const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropW(hwnd, kControlNameProperty)))) {
          GlobalDeleteAtom(atom);
        }
        break;
      case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, controlSubclassProc, 1);
        break;
      case WM_GETDLGCODE: {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        const bool keyDown = msg && msg->message == WM_KEYDOWN;
        // Enter goes to the box (it starts the login or the query) instead of the dialog
        // manager.
        if (wantsEnter(*c) && keyDown && msg->wParam == VK_RETURN) {
          return DefSubclassProc(hwnd, message, wParam, lParam) | DLGC_WANTALLKEYS;
        }
        // Multi-line boxes would keep Tab (and Esc) for themselves, and the keyboard could
        // never leave them: their text has no use for a tab character.
        if (keepsTab(*c)) {
          LRESULT code = DefSubclassProc(hwnd, message, wParam, lParam) & ~DLGC_WANTTAB;
          if (keyDown && (msg->wParam == VK_TAB || msg->wParam == VK_ESCAPE)) {
            code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
          }
          return code;
        }
        break;
      }
      case WM_KEYDOWN:
        if (raisesEvent(c->window->id, c->def->name, Event::KeyDown)) {
          const Window window = c->window->id;
          const std::string name = c->def->name;
          c->window->impl->raise(window, name, Event::KeyDown, static_cast<int>(wParam));
          if (!IsWindow(hwnd)) return 0;  // the handler closed the window
        }
        break;
      case WM_CHAR:
        if (digitsOnly && wParam >= 0x20 && (wParam < L'0' || wParam > L'9')) {
          MessageBeep(MB_OK);
          return 0;
        }
        if (wParam == L'\r' && wantsEnter(*c)) return 0;  // no beep: Enter was handled
        break;
      case WM_PASTE:
        if (digitsOnly && !clipboardHasOnlyDigits(hwnd)) {
          MessageBeep(MB_OK);
          return 0;
        }
        break;
      case WM_SETTEXT:
        if (digitsOnly && lParam && !onlyDigits(reinterpret_cast<const wchar_t*>(lParam))) {
          return FALSE;
        }
        break;
      default:
        break;
    }
  } catch (...) {
    noteFailure("controlSubclassProc", "edit box message handling failed");
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace pv::win32ui
