// Creating the windows and their controls from the tables.
#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include "core/ui/display_scale.h"
#include "platform/win32/ui/names.h"
#include "platform/win32/ui/picture_bitmap.h"
#include "platform/win32/ui/ui_impl.h"

namespace pv::win32ui {
namespace {

using K = ControlKind;

constexpr int kDropListHeight = 200;  // the list of a combo box below its field

UniqueMenu buildMenu(const WindowDef& def) {
  if (def.menus.empty()) return {};
  UniqueMenu bar(CreateMenu());
  if (!bar) return {};
  int id = kMenuIdBase;
  for (const MenuDef& m : def.menus) {
    UniqueMenu popup(CreatePopupMenu());
    if (!popup) return {};
    for (const std::string& item : m.items) {
      AppendMenuW(popup.get(), MF_STRING, static_cast<UINT_PTR>(id++), toWide(item).c_str());
    }
    if (AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup.get()),
                    toWide(m.caption).c_str())) {
      popup.release();  // the bar owns it now
    }
  }
  return bar;
}

// Whether Tab stops at the control: every control the operator can act on from the
// keyboard, in table order, which is the windows' reading order. A run of radio buttons is
// one stop (its first), the arrow keys move inside it; labels, pictures and links are not.
bool takesTabStop(const ControlDef& d, bool radioAfterRadio) {
  if (d.has(kTabStop)) return true;
  switch (d.kind) {
    case K::Edit:
    case K::RichEdit:
    case K::Button:
    case K::CheckBox:
    case K::ComboBox:
    case K::TabControl:
      return true;
    case K::RadioButton:
      return !radioAfterRadio;
    default:
      return false;
  }
}

// The field's height follows the table instead of the font. The field is its item height
// plus a frame whose size depends on the system and the density: set, measured, corrected.
void fitComboHeight(HWND combo, int height) {
  int item = height - 6;
  SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
  RECT shown{};
  GetWindowRect(combo, &shown);
  if (const int off = height - (shown.bottom - shown.top); off != 0 && item + off > 0) {
    item += off;
    SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
  }
}

bool overlaps(const Rect& a, const Rect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

}  // namespace

bool Impl::showWindow(Window window) {
  WindowState& w = state(window);
  if (!w.hwnd) return false;
  // The borderless quick tip appears without taking the focus from the operator's program.
  ShowWindow(w.hwnd, w.def->border == Border::None ? SW_SHOWNA : SW_SHOW);
  // The controls too, not only the frame: work handed over right after a window shows
  // (the login window's web page) would otherwise come before their first paint.
  RedrawWindow(w.hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  if (w.def->border == Border::None) announce(w);
  return true;
}

bool Impl::load(Window window, bool show) {
  WindowState& w = state(window);
  if (!w.hwnd) {
    const WindowDef& def = windowDef(window);
    w.def = &def;
    // Laid out for the monitor the window opens on, corrected below if the system puts it
    // on another.
    w.dpi = density_.atPoint(POINT{def.x, def.y});

    DWORD style = WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    if (def.border == Border::Fixed) {
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    } else {
      // The quick tip pops up over whatever the operator works in, without taking a
      // taskbar button.
      style |= WS_POPUP;
      exStyle |= WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    }
    UniqueMenu menu = buildMenu(def);
    const bool hasMenu = menu.get() != nullptr;
    auto outerSize = [&] {
      RECT outer{0, 0, w.scaled(def.clientWidth), w.scaled(def.clientHeight)};
      density_.adjustWindowRect(outer, style, hasMenu, exStyle, w.dpi);
      return SIZE{outer.right - outer.left, outer.bottom - outer.top};
    };
    const SIZE outer = outerSize();

    // WM_NCCREATE records the handle in w.hwnd, so messages sent during creation already
    // find their window.
    HWND hwnd = CreateWindowExW(exStyle, kTopLevelWindowClass, toWide(def.title).c_str(), style,
                                w.scaled(def.x), w.scaled(def.y), outer.cx, outer.cy, nullptr,
                                menu.get(), instance_, &w);
    if (!hwnd) return false;
    menu.release();  // destroyed with the window
    w.hwnd = hwnd;
    ++liveWindows_;
    if (const int dpi = density_.ofWindow(hwnd); dpi != w.dpi) {
      w.dpi = dpi;
      const SIZE corrected = outerSize();
      SetWindowPos(hwnd, nullptr, 0, 0, corrected.cx, corrected.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    makeBackground(w);
    if (def.icon != Asset::None) {
      SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
      SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    }

    w.controls.clear();
    w.controls.resize(def.controls.size());
    for (size_t i = 0; i < def.controls.size(); ++i) {
      w.controls[i].def = &def.controls[i];
      w.controls[i].window = &w;
    }
    for (size_t i = 0; i < def.controls.size(); ++i) createControl(w, i);
    SendMessageW(hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    nameForScreenReaders(w);

    raise(window, "", Event::Created);
    if (!w.hwnd) return false;  // a handler destroyed it again
  }
  if (show) showWindow(window);
  return true;
}

void Impl::createControl(WindowState& w, size_t index) {
  ControlState& c = w.controls[index];
  const ControlDef& d = *c.def;

  if (d.kind == K::Timer) {
    c.timerId = index + 1;
    c.interval = d.interval;
    if (c.interval > 0) SetTimer(w.hwnd, c.timerId, static_cast<UINT>(c.interval), nullptr);
    return;
  }

  HWND parent = w.hwnd;
  if (d.page >= 0) {
    if (static_cast<size_t>(d.page) >= w.pages.size()) return;
    parent = w.pages[static_cast<size_t>(d.page)];
  }
  const Rect r = w.scaled(placedRect(*w.def, d));

  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = 0;
  if (!d.has(kHidden)) style |= WS_VISIBLE;
  if (d.has(kDisabled)) style |= WS_DISABLED;
  // Each radio button run is one group; every other control closes the group before it.
  const bool radioAfterRadio = d.kind == K::RadioButton && index > 0 &&
                               w.controls[index - 1].def->kind == K::RadioButton &&
                               w.controls[index - 1].def->page == d.page;
  if (!radioAfterRadio) style |= WS_GROUP;
  if (takesTabStop(d, radioAfterRadio)) style |= WS_TABSTOP;

  const wchar_t* className = L"STATIC";
  std::wstring caption = toWide(d.caption);
  int height = r.height;
  void* createParam = nullptr;
  const DWORD align = d.has(kCentred) ? SS_CENTER : d.has(kRightAligned) ? SS_RIGHT : SS_LEFT;

  switch (d.kind) {
    case K::Edit:
      className = L"EDIT";
      if (d.has(kMultiLine)) {
        style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
      } else {
        style |= ES_AUTOHSCROLL;
      }
      if (d.has(kVerticalScroll)) style |= WS_VSCROLL;
      if (d.has(kPassword)) style |= ES_PASSWORD;
      if (d.has(kDigitsOnly)) style |= ES_NUMBER;
      if (d.has(kSingleBorder)) {
        style |= WS_BORDER;
      } else {
        exStyle |= WS_EX_CLIENTEDGE;
      }
      break;
    case K::RichEdit:
      // The library registers the class as it loads. Only the main window and the quick
      // tip have rich text, so the login window opens without it.
      if (!richEditModule_) richEditModule_.reset(LoadLibraryW(L"Msftedit.dll"));
      // The box registers itself for dragging text out as it is made, which takes OLE.
      initialiseOle();
      className = MSFTEDIT_CLASS;
      style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | ES_NOHIDESEL;
      if (d.has(kSingleBorder)) {
        style |= WS_BORDER;
      } else {
        exStyle |= WS_EX_CLIENTEDGE;
      }
      break;
    case K::TransparentLabel:
    case K::Label:
    case K::Hyperlink:
      // One line, centred in the height: a caption a little wider than its label is cut at
      // the edge instead of wrapping into a line the label has no room for.
      style |= SS_NOPREFIX | SS_NOTIFY | SS_CENTERIMAGE | align;
      break;
    case K::Button:
      className = L"BUTTON";
      style |= BS_PUSHBUTTON;
      break;
    case K::CheckBox:
      className = L"BUTTON";
      style |= BS_AUTOCHECKBOX;
      break;
    case K::RadioButton:
      className = L"BUTTON";
      style |= BS_AUTORADIOBUTTON;
      break;
    case K::ComboBox:
      className = L"COMBOBOX";
      style |= WS_VSCROLL | (d.has(kDropDownList) ? CBS_DROPDOWNLIST : CBS_DROPDOWN | CBS_AUTOHSCROLL);
      height += w.scaled(kDropListHeight);
      break;
    case K::PictureBox:
      className = kPictureBoxWindowClass;
      createParam = &c;
      break;
    case K::TabControl:
      className = WC_TABCONTROLW;
      style |= WS_CLIPCHILDREN;
      exStyle |= WS_EX_CONTROLPARENT;
      caption.clear();
      break;
    case K::StatusBar:
      // Placed by us (at the bottom edge), not by the control itself.
      className = STATUSCLASSNAMEW;
      style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
      caption.clear();
      break;
    case K::WebBrowser:
      // The named control is a plain placeholder; the browser, where it can be hosted,
      // lives inside it from the first navigation on and covers it.
      style |= SS_CENTER | SS_CENTERIMAGE | WS_CLIPCHILDREN;
      break;
    case K::Timer:
      return;
  }

  HWND hwnd = CreateWindowExW(exStyle, className, caption.c_str(), style, r.left, r.top, r.width,
                              height, parent,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kControlIdBase + index)),
                              instance_, createParam);
  if (!hwnd) return;
  c.hwnd = hwnd;

  if (const ATOM atom = GlobalAddAtomW(toWide(d.name).c_str())) {
    if (!SetPropW(hwnd, kControlNameProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)))) {
      GlobalDeleteAtom(atom);
    }
  }
  SetWindowSubclass(hwnd, controlSubclassProc, 1, reinterpret_cast<DWORD_PTR>(&c));
  const bool underline = d.kind == K::Hyperlink || d.has(kUnderlined);
  SendMessageW(hwnd, WM_SETFONT,
               reinterpret_cast<WPARAM>(font(w, d.fontSize, d.has(kBold), underline)), FALSE);

  switch (d.kind) {
    case K::Edit:
      if (d.has(kPassword)) SendMessageW(hwnd, EM_SETPASSWORDCHAR, L'*', 0);
      if (d.has(kMultiLine)) SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);  // no 32K ceiling
      break;
    case K::RichEdit:
      SendMessageW(hwnd, EM_SETBKGNDCOLOR, 0, RGB(255, 255, 255));
      SendMessageW(hwnd, EM_EXLIMITTEXT, 0, 64 * 1024 * 1024);
      SetWindowTextW(hwnd, caption.c_str());  // after the limit: the guide text is long
      break;
    case K::Hyperlink:
      c.target = d.target;
      break;
    case K::CheckBox:
    case K::RadioButton:
      if (d.has(kTicked)) SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
      break;
    case K::ComboBox:
      for (const ComboItem& item : d.items) {
        const LRESULT at = SendMessageW(hwnd, CB_ADDSTRING, 0,
                                        reinterpret_cast<LPARAM>(toWide(item.text).c_str()));
        if (at >= 0) SendMessageW(hwnd, CB_SETITEMDATA, static_cast<WPARAM>(at), item.value);
      }
      fitComboHeight(hwnd, r.height);
      if (d.selected >= 0) {
        SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(d.selected), 0);
      } else if (!d.has(kDropDownList)) {
        SetWindowTextW(hwnd, caption.c_str());
      }
      break;
    case K::PictureBox:
      decodeBoxPicture(c);
      break;
    case K::TabControl:
      createTabPages(w, c);
      break;
    case K::StatusBar: {
      setStatusParts(w, c);
      for (size_t i = 0; i < d.parts.size(); ++i) {
        SendMessageW(hwnd, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(toWide(d.parts[i].text).c_str()));
      }
      break;
    }
    default:
      break;
  }

  // Children are stacked below the ones created before them; a control laid over an
  // earlier one (the distance boxes over their check boxes' captions) must come on top.
  for (size_t j = 0; j < index; ++j) {
    const ControlDef& earlier = *w.controls[j].def;
    if (w.controls[j].hwnd && !earlier.has(kHidden) && earlier.page == d.page &&
        overlaps(placedRect(*w.def, earlier), placedRect(*w.def, d))) {
      SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      break;
    }
  }
}

void Impl::renewControl(WindowState& w, ControlState& c) {
  HWND old = c.hwnd;
  if (!old || w.controls.empty()) return;
  const size_t index = static_cast<size_t>(&c - w.controls.data());
  if (index >= w.controls.size()) return;
  RECT place{};
  GetWindowRect(old, &place);
  MapWindowPoints(nullptr, GetParent(old), reinterpret_cast<POINT*>(&place), 2);
  const bool shown = (GetWindowLongPtrW(old, GWL_STYLE) & WS_VISIBLE) != 0;
  const bool enabled = IsWindowEnabled(old) != FALSE;
  const bool focused = GetFocus() == old;

  c.hwnd = nullptr;
  createControl(w, index);
  HWND renewed = c.hwnd;
  if (!renewed) {
    c.hwnd = old;
    return;
  }
  SetWindowTextW(renewed, L"");
  // Right behind the old one in the stacking order, then the old one goes: nothing that lay
  // over or under it changes.
  SetWindowPos(renewed, old, place.left, place.top, place.right - place.left, place.bottom - place.top,
               SWP_NOACTIVATE | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  EnableWindow(renewed, enabled);
  DestroyWindow(old);
  if (focused) SetFocus(renewed);
  nameForScreenReaders(w);
}

void Impl::createTabPages(WindowState& w, ControlState& tab) {
  const ControlDef& d = *tab.def;
  w.tab = tab.hwnd;
  for (size_t i = 0; i < d.pages.size(); ++i) {
    std::wstring title = toWide(d.pages[i]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title.data();
    SendMessageW(tab.hwnd, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  // A page covers the whole tab control, so that its controls keep the table's
  // coordinates, but only its body shows and takes the mouse: the strip stays the tab's.
  // The body starts right below the strip; pages are laid out from there (their first
  // controls sit at y 23 and x 1).
  for (size_t i = 0; i < d.pages.size(); ++i) {
    HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, kTabPageWindowClass, L"",
                                WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                                tab.hwnd, nullptr, instance_, &w);
    if (page) w.pages.push_back(page);
  }
  fitTabPages(w);
  showPage(w, d.selected >= 0 ? d.selected : 0);
}

void Impl::fitTabPages(WindowState& w) {
  if (!w.tab) return;
  RECT size{};
  GetClientRect(w.tab, &size);
  RECT strip{};
  SendMessageW(w.tab, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&strip));
  const RECT body{1, strip.bottom + 1, size.right - 1, size.bottom - 1};
  for (HWND page : w.pages) {
    SetWindowPos(page, nullptr, 0, 0, size.right, size.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    UniqueRegion region(CreateRectRgn(body.left, body.top, body.right, body.bottom));
    if (region && SetWindowRgn(page, region.get(), TRUE)) region.release();
  }
}

void Impl::makeBackground(WindowState& w) {
  w.background.reset();
  w.backgroundBitmap.reset();
  if (w.def->background == Asset::None) return;
  EarlyBackground& early = earlyBackground_;
  if (early.bitmap.valid() && early.asset == w.def->background && early.dpi == w.dpi) {
    w.backgroundBitmap = early.bitmap.get();
  }
  if (!w.backgroundBitmap) w.backgroundBitmap = decodePictureAtDpi(assetBytes(w.def->background), w.dpi);
  if (w.backgroundBitmap) w.background.reset(CreatePatternBrush(w.backgroundBitmap.get()));
}

void Impl::decodeBoxPicture(ControlState& c) {
  const Rect r = c.window->scaled(c.def->rect);
  if (!c.pictureBytes.empty()) {
    c.picture = decodePicture(c.pictureBytes, r.width, r.height);
  } else if (c.def->picture != Asset::None) {
    c.picture = decodePicture(assetBytes(c.def->picture), r.width, r.height);
  }
}

void Impl::setStatusParts(const WindowState& w, const ControlState& bar) {
  std::vector<int> edges;
  int right = 0;
  for (const StatusPart& p : bar.def->parts) {
    right += p.width;
    edges.push_back(p.width == kRestWidth ? -1 : w.scaled(right));
  }
  SendMessageW(bar.hwnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void Impl::placeControl(WindowState& w, ControlState& c) {
  const ControlDef& d = *c.def;
  if (!c.hwnd) return;
  const Rect r = w.scaled(placedRect(*w.def, d));
  const int height = d.kind == K::ComboBox ? r.height + w.scaled(kDropListHeight) : r.height;
  SetWindowPos(c.hwnd, nullptr, r.left, r.top, r.width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  const bool underline = d.kind == K::Hyperlink || d.has(kUnderlined);
  SendMessageW(c.hwnd, WM_SETFONT,
               reinterpret_cast<WPARAM>(font(w, d.fontSize, d.has(kBold), underline)), TRUE);
  switch (d.kind) {
    case K::ComboBox:
      fitComboHeight(c.hwnd, r.height);
      break;
    case K::PictureBox:
      decodeBoxPicture(c);
      break;
    case K::StatusBar:
      setStatusParts(w, c);
      break;
    case K::WebBrowser:
      if (c.browser) c.browser->fitToContainer();
      break;
    default:
      break;
  }
}

void Impl::changeDpi(WindowState& w, int dpi, const RECT& suggested) {
  if (dpi <= 0) return;
  w.dpi = dpi;
  makeBackground(w);
  SetWindowPos(w.hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (ControlState& c : w.controls) placeControl(w, c);
  fitTabPages(w);  // after the tab control took its new font: the strip's height follows it
  RedrawWindow(w.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

int WindowState::scaled(int value) const noexcept { return scaleToDpi(value, dpi); }
Rect WindowState::scaled(const Rect& rect) const noexcept { return scaleToDpi(rect, dpi); }

void Impl::hostWebBrowser(WindowState& w, ControlState& view) {
  // One try per web view: a system without the control would only fail again.
  if (view.browserTried) return;
  view.browserTried = true;
  // Outside a single-threaded apartment with OLE the control would live on another thread
  // and every call would wait on it: keep the placeholder.
  if (!initialiseOle()) return;
  const Window window = w.id;
  const std::string name = view.def->name;
  view.browser = WebBrowserHost::create(
      view.hwnd, webBrowserClass_, requireEngine_,
      [this, window, name](Event event, const std::wstring& text, bool& cancel) {
        if (raisePageEvent(window, name, event, fromWide(text))) cancel = true;
      });
}

void Impl::showPage(WindowState& w, int page) {
  if (!w.tab) return;
  SendMessageW(w.tab, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  for (size_t i = 0; i < w.pages.size(); ++i) {
    ShowWindow(w.pages[i], static_cast<int>(i) == page ? SW_SHOWNA : SW_HIDE);
  }
}

bool Impl::destroy(Window window) {
  WindowState& w = state(window);
  if (!w.hwnd) return false;
  DestroyWindow(w.hwnd);  // WM_DESTROY raises Destroying; WM_NCDESTROY calls windowGone
  return true;
}

void Impl::windowGone(WindowState& w) {
  w.hwnd = nullptr;
  w.tab = nullptr;
  w.pages.clear();
  w.controls.clear();
  w.background.reset();
  w.backgroundBitmap.reset();
  if (--liveWindows_ == 0) PostQuitMessage(0);
}

}  // namespace pv::win32ui
