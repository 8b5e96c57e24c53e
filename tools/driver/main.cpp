// driver.exe: drives the client from beside it, for e2e tests and run.sh. Never shipped.
// Exit codes: 0 done, 1 not found / timed out / refused, 2 usage error.
#include <windows.h>

#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "tools/driver/clipboard.h"
#include "tools/driver/console.h"
#include "tools/driver/driver_windows.h"
#include "tools/driver/process_counters.h"
#include "tools/driver/richtext.h"
#include "tools/driver/screenshot.h"

namespace pv::driver {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr DWORD kDefaultWaitMs = 10000;
// Commands that act on a window or control wait this long for it to appear.
constexpr DWORD kLookupMs = 5000;
constexpr DWORD kMaxWaitMs = 600000;

constexpr wchar_t kUsageText[] =
    L"usage: driver COMMAND ARGS...\n"
    L"  WIN is a top-level window's title: \"TEXT\" equals the whole title, \"~TEXT\" is\n"
    L"  contained in it. NAME is a control's name (property Parcelvane.ControlName).\n"
    L"  Times are milliseconds (default 10000). Texts are UTF-8, one line each.\n"
    L"  wait-window WIN [MS]        wait for a visible window; print its title\n"
    L"  wait-gone WIN [MS]          wait until no window matches\n"
    L"  title WIN                   print the title (hidden windows too)\n"
    L"  list WIN                    print NAME, class, visible, enabled, text of every named control\n"
    L"  rects WIN                   print NAME TAB visible TAB x y w h of every named control,\n"
    L"                              the rectangle in the window's client area; first line:\n"
    L"                              an empty name and the client area's own size\n"
    L"  find WIN NAME [MS]          wait for the control; print class and client rectangle x y w h\n"
    L"  text WIN NAME               print the control's text\n"
    L"  richtext WIN NAME           print a rich edit's plain text\n"
    L"  runs WIN NAME               print a rich edit's text run by run, one line each:\n"
    L"                              RRGGBB TAB b|- TAB POINTS TAB FACE TAB TEXT, TEXT with\n"
    L"                              \\ \\t \\n for backslash, tab and line break\n"
    L"  set-clipboard TEXT          put TEXT on the clipboard (CF_UNICODETEXT) from here\n"
    L"  clipboard                   print the clipboard's text\n"
    L"  set-text WIN NAME TEXT      set the control's text\n"
    L"  checked|enabled|visible WIN NAME             print 1 or 0\n"
    L"  wait-state WIN NAME checked|enabled|visible 1|0 [MS]\n"
    L"  click WIN NAME              click the control (refused when it is disabled)\n"
    L"  key WIN NAME VK             press and release a key in the control (VK: a decimal\n"
    L"                              virtual-key code, 13 is Enter; refused when disabled)\n"
    L"  press WIN [shift+]VK         make the window the foreground window and type the key\n"
    L"                              through the system's input, as the keyboard would (Tab,\n"
    L"                              Esc and Enter reach the window's dialog handling)\n"
    L"  walk WIN [shift+]VK COUNT   press the key COUNT times as press does; after each, print\n"
    L"                              the focused control as focus does (waiting up to 2 s for\n"
    L"                              the focus to move)\n"
    L"  focus WIN                   print the name of the control that has the keyboard focus\n"
    L"                              in the window's thread (a named ancestor of an inner part),\n"
    L"                              or nothing\n"
    L"  select WIN NAME ITEM [MS]   choose the combo-box item whose text is ITEM, or the item\n"
    L"                              at 0-based position N for \"#N\"; waits for the item\n"
    L"  msgbox TITLE [MS [BUTTON]]  wait for a message box; print its text; press BUTTON\n"
    L"                              (a caption such as 确定 or 是, or IDOK IDCANCEL IDYES IDNO ...)\n"
    L"  open-file TITLE PATH [MS]   wait for an open-file dialog, type PATH as the file name and\n"
    L"                              press OK; waits until the dialog has gone\n"
    L"  show WIN                    make a window visible, on top of the others\n"
    L"  close WIN                   ask the window to close (WM_CLOSE)\n"
    L"  screenshot FILE.png [WIN [NAME]]\n"
    L"                              save the whole screen, the window's or the control's area,\n"
    L"                              as PNG\n"
    L"  colours WIN NAME            print the number of distinct colours in the control's area\n"
    L"  counters WIN                print the counters of the window's process, one per line:\n"
    L"                              private-bytes N, handles N, gdi-objects N, user-objects N,\n"
    L"                              and how each was read: \"how api|walk ...\" (Wine answers\n"
    L"                              the documented calls with 0: those counters are walked)\n";

struct Failure {
  int code;
};

[[noreturn]] void fail(const std::wstring& message, int code = kFailed) {
  writeErr(L"driver: " + message);
  throw Failure{code};
}

[[noreturn]] void usage() {
  writeErr(kUsageText);
  throw Failure{kUsage};
}

DWORD parseMs(const std::wstring& text) {
  if (text.empty() || text.size() > 7) usage();
  DWORD value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') usage();
    value = value * 10 + static_cast<DWORD>(c - L'0');
  }
  if (value > kMaxWaitMs) usage();
  return value;
}

class Command {
 public:
  explicit Command(std::vector<std::wstring> args) : args_(std::move(args)) {}

  size_t count() const { return args_.size(); }
  const std::wstring& at(size_t i) const { return args_.at(i); }
  DWORD msAt(size_t i, DWORD fallback) const { return i < count() ? parseMs(at(i)) : fallback; }
  void expect(size_t least, size_t most) const {
    if (count() < least || count() > most) usage();
  }

 private:
  std::vector<std::wstring> args_;
};

HWND window(const std::wstring& title) {
  HWND found = nullptr;
  waitFor(kLookupMs, [&] { return (found = findTopLevel(parseWindowPattern(title), false)) != nullptr; });
  if (!found) fail(L"no window \"" + title + L"\"");
  return found;
}

HWND control(const std::wstring& title, const std::wstring& name, DWORD timeoutMs = kLookupMs) {
  const WindowPattern pattern = parseWindowPattern(title);
  HWND top = nullptr;
  HWND found = nullptr;
  waitFor(timeoutMs, [&] {
    top = findTopLevel(pattern, false);
    return top && (found = findControl(top, name)) != nullptr;
  });
  if (!top) fail(L"no window \"" + title + L"\"");
  if (!found) fail(L"no control \"" + name + L"\" in \"" + title + L"\"");
  return found;
}

bool state(HWND target, const std::wstring& which) {
  if (which == L"enabled") return IsWindowEnabled(target) != FALSE;
  if (which == L"visible") return IsWindowVisible(target) != FALSE;
  if (which == L"checked") {
    DWORD_PTR check = 0;
    if (!SendMessageTimeoutW(target, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &check)) {
      fail(L"the control did not answer");
    }
    return check == BST_CHECKED;
  }
  usage();
}

bool isButton(HWND target) {
  std::wstring name = windowClass(target);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
  return name == L"button";
}

void click(HWND target) {
  if (!IsWindowEnabled(target)) fail(L"the control is disabled");
  // Posted, not sent: a click that opens a modal dialog must not hold the driver.
  if (isButton(target)) {
    PostMessageW(target, BM_CLICK, 0, 0);
    return;
  }
  RECT client = {};
  GetClientRect(target, &client);
  const LPARAM centre = MAKELPARAM(client.right / 2, client.bottom / 2);
  PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, centre);
  PostMessageW(target, WM_LBUTTONUP, 0, centre);
}

UINT parseVirtualKey(const std::wstring& text) {
  if (text.empty() || text.size() > 3) usage();
  UINT value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') usage();
    value = value * 10 + static_cast<UINT>(c - L'0');
  }
  if (value < 1 || value > 254) usage();
  return value;
}

// The three messages a keystroke gives the control, the character as TranslateMessage
// would make it without modifiers. Sent as notifications: they keep their order (posted,
// the target's own TranslateMessage would queue a second character behind the key-up), go
// to the control's own handling (and the client's KeyDown event behind it), and a handler
// that opens a modal window cannot hold the driver.
void pressKey(HWND target, UINT vk) {
  if (!IsWindowEnabled(target)) fail(L"the control is disabled");
  const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | static_cast<LPARAM>(scan << 16);
  const LPARAM up = down | static_cast<LPARAM>(0xC0000000u);  // was down, going up
  const BYTE noModifiers[256] = {};
  wchar_t typed[4] = {};
  const bool gives = ToUnicode(vk, scan, noModifiers, typed, 4, 0) == 1;
  if (!SendNotifyMessageW(target, WM_KEYDOWN, vk, down) ||
      (gives && !SendNotifyMessageW(target, WM_CHAR, typed[0], down)) ||
      !SendNotifyMessageW(target, WM_KEYUP, vk, up)) {
    fail(L"the control did not take the key");
  }
}

void typeKey(HWND top, const std::wstring& keys) {
  const bool shift = keys.starts_with(L"shift+");
  const UINT vk = parseVirtualKey(shift ? keys.substr(6) : keys);
  SetForegroundWindow(top);
  if (!waitFor(kLookupMs, [&] { return GetForegroundWindow() == top; })) {
    fail(L"the window did not come to the foreground");
  }
  std::vector<INPUT> inputs;
  auto key = [&](WORD code, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = code;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(in);
  };
  if (shift) key(VK_SHIFT, false);
  key(static_cast<WORD>(vk), false);
  key(static_cast<WORD>(vk), true);
  if (shift) key(VK_SHIFT, true);
  if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size()) {
    fail(L"the key could not be typed");
  }
}

// The control with the focus in the window's thread, named by itself or by the nearest
// named ancestor below the window (a combo box's field, a browser's inner windows).
std::wstring focusedControl(HWND top) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return {};
  for (HWND at = info.hwndFocus; at && at != top; at = GetParent(at)) {
    if (std::wstring name = controlName(at); !name.empty()) return name;
  }
  return {};
}

// RICHEDIT50W, RichEdit20W, RichEdit20A and their superclasses' names all say so.
bool isRichEdit(HWND target) {
  std::wstring name = windowClass(target);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
  return name.find(L"richedit") != std::wstring::npos;
}

bool isComboBox(HWND target) {
  std::wstring name = windowClass(target);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
  return name == L"combobox";
}

bool sendBounded(HWND target, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  return SendMessageTimeoutW(target, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             result) != 0;
}

// The position of the item whose whole text is `item`, else of "#N"; -1 when there is none.
int comboItemIndex(HWND combo, const std::wstring& item) {
  DWORD_PTR count = 0;
  if (!sendBounded(combo, CB_GETCOUNT, 0, 0, &count)) fail(L"the control did not answer");
  const auto items = static_cast<int>(count);
  for (int i = 0; i < items; ++i) {
    DWORD_PTR length = 0;
    if (!sendBounded(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, &length) ||
        static_cast<LRESULT>(length) < 0) {
      continue;
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!sendBounded(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()),
                     &copied) ||
        static_cast<LRESULT>(copied) < 0) {
      continue;
    }
    text.resize(copied < text.size() ? static_cast<size_t>(copied) : text.size() - 1);
    if (text == item) return i;
  }
  if (item.size() < 2 || item.size() > 6 || item.front() != L'#') return -1;
  int position = 0;
  for (size_t i = 1; i < item.size(); ++i) {
    if (item[i] < L'0' || item[i] > L'9') return -1;
    position = position * 10 + (item[i] - L'0');
  }
  return position < items ? position : -1;
}

int selectItem(const Command& c) {
  c.expect(4, 5);
  const HWND combo = control(c.at(1), c.at(2));
  if (!isComboBox(combo)) fail(L"\"" + c.at(2) + L"\" is not a combo box");
  if (!IsWindowEnabled(combo)) fail(L"the control is disabled");
  int index = -1;
  // Items may still be on their way (filled by a worker): wait for the one asked for.
  if (!waitFor(c.msAt(4, 0), [&] { return (index = comboItemIndex(combo, c.at(3))) >= 0; })) {
    fail(L"no item \"" + c.at(3) + L"\" in \"" + c.at(2) + L"\"");
  }
  DWORD_PTR chosen = 0;
  if (!sendBounded(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &chosen) ||
      static_cast<int>(chosen) != index) {
    fail(L"the combo box refused the selection");
  }
  // CB_SETCURSEL notifies no one; a user's choice tells the parent, which is where the
  // client raises its selection event. Posted, as a handler may open a modal window.
  PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  return kDone;
}

// "是(&Y)" answers to "是(&Y)", "是" and "是(Y)"; "&OK" to "OK".
std::wstring plainCaption(std::wstring caption) {
  if (const size_t open = caption.rfind(L"(&"); open != std::wstring::npos && caption.back() == L')') {
    caption.erase(open);
  }
  std::wstring plain;
  for (wchar_t c : caption) {
    if (c != L'&') plain += c;
  }
  return plain;
}

int buttonId(HWND dialog, const std::wstring& button) {
  static const std::map<std::wstring, int> kIds = {
      {L"IDOK", IDOK},       {L"IDCANCEL", IDCANCEL},     {L"IDABORT", IDABORT},
      {L"IDRETRY", IDRETRY}, {L"IDIGNORE", IDIGNORE},     {L"IDYES", IDYES},
      {L"IDNO", IDNO},       {L"IDTRYAGAIN", IDTRYAGAIN}, {L"IDCONTINUE", IDCONTINUE}};
  if (const auto id = kIds.find(button); id != kIds.end()) {
    return GetDlgItem(dialog, id->second) ? id->second : 0;
  }
  for (HWND child : descendants(dialog)) {
    if (!isButton(child)) continue;
    const std::wstring caption = windowTitle(child);
    if (caption == button || plainCaption(caption) == plainCaption(button)) {
      return GetDlgCtrlID(child);
    }
  }
  return 0;
}

int messageBox(const Command& c) {
  c.expect(2, 4);
  WindowPattern pattern = parseWindowPattern(c.at(1));
  pattern.className = L"#32770";
  HWND dialog = waitTopLevel(pattern, true, c.msAt(2, kDefaultWaitMs));
  if (!dialog) fail(L"no message box \"" + c.at(1) + L"\"");
  // The message text is the static control with id 0xFFFF.
  const HWND text = GetDlgItem(dialog, 0xFFFF);
  writeOut(text ? normaliseLineBreaks(controlText(text)) : std::wstring());
  if (c.count() < 4) return kDone;
  const int id = buttonId(dialog, c.at(3));
  if (id == 0) fail(L"no button \"" + c.at(3) + L"\" in the message box");
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  if (!waitFor(kLookupMs, [&] { return !IsWindow(dialog); })) fail(L"the message box stayed open");
  return kDone;
}

// The standard open-file dialog: the file name goes into its name box and the dialog is
// told OK, as a user typing a full path and pressing Enter would do.
int openFile(const Command& c) {
  c.expect(3, 4);
  WindowPattern pattern = parseWindowPattern(c.at(1));
  pattern.className = L"#32770";
  const HWND dialog = waitTopLevel(pattern, true, c.msAt(3, kDefaultWaitMs));
  if (!dialog) fail(L"no open-file dialog \"" + c.at(1) + L"\"");
  // The name box is the edit inside combo box cmb13 (a ComboBoxEx holding a combo box,
  // all three with that id) in the Explorer-style dialog, edit edt1 in the older one.
  constexpr int kNameCombo = 0x47C, kNameEdit = 0x480;
  HWND name = nullptr;
  for (HWND child : descendants(dialog)) {
    if (!name && GetDlgCtrlID(child) == kNameCombo && windowClass(child) == L"Edit") name = child;
  }
  if (!name) name = GetDlgItem(dialog, kNameEdit);
  if (!name) fail(L"the dialog has no file-name box");
  DWORD_PTR ok = 0;
  if (!SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.at(2).c_str()), SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &ok) ||
      !ok) {
    fail(L"the file-name box refused the text");
  }
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  if (!waitFor(kLookupMs, [&] { return !IsWindow(dialog); })) fail(L"the dialog stayed open (no such file?)");
  return kDone;
}

int listControls(const Command& c) {
  c.expect(2, 2);
  for (HWND child : descendants(window(c.at(1)))) {
    const std::wstring name = controlName(child);
    if (name.empty()) continue;
    writeOut(name + L"\t" + windowClass(child) + L"\t" + (IsWindowVisible(child) ? L"1" : L"0") +
             L"\t" + (IsWindowEnabled(child) ? L"1" : L"0") + L"\t" +
             normaliseLineBreaks(controlText(child)));
  }
  return kDone;
}

// x y w h of a control in its top-level window's client area.
std::wstring clientRect(HWND target) {
  RECT box = {};
  GetWindowRect(target, &box);
  MapWindowPoints(HWND_DESKTOP, GetAncestor(target, GA_ROOT), reinterpret_cast<POINT*>(&box), 2);
  return std::to_wstring(box.left) + L" " + std::to_wstring(box.top) + L" " +
         std::to_wstring(box.right - box.left) + L" " + std::to_wstring(box.bottom - box.top);
}

int findCommand(const Command& c) {
  c.expect(3, 4);
  const HWND target = control(c.at(1), c.at(2), c.msAt(3, kLookupMs));
  writeOut(windowClass(target) + L" " + clientRect(target));
  return kDone;
}

int rectsCommand(const Command& c) {
  c.expect(2, 2);
  const HWND top = window(c.at(1));
  RECT client{};
  GetClientRect(top, &client);
  writeOut(L"\t1\t0 0 " + std::to_wstring(client.right) + L" " + std::to_wstring(client.bottom));
  for (HWND child : descendants(top)) {
    const std::wstring name = controlName(child);
    if (name.empty()) continue;
    writeOut(name + L"\t" + (IsWindowVisible(child) ? L"1" : L"0") + L"\t" + clientRect(child));
  }
  return kDone;
}

int run(const Command& c) {
  if (c.count() == 0) usage();
  const std::wstring& verb = c.at(0);
  if (verb == L"wait-window") {
    c.expect(2, 3);
    HWND found = waitTopLevel(parseWindowPattern(c.at(1)), true, c.msAt(2, kDefaultWaitMs));
    if (!found) fail(L"no visible window \"" + c.at(1) + L"\"");
    writeOut(windowTitle(found));
    return kDone;
  }
  if (verb == L"wait-gone") {
    c.expect(2, 3);
    if (!waitTopLevelGone(parseWindowPattern(c.at(1)), c.msAt(2, kDefaultWaitMs))) {
      fail(L"the window \"" + c.at(1) + L"\" is still there");
    }
    return kDone;
  }
  if (verb == L"title") {
    c.expect(2, 2);
    writeOut(windowTitle(window(c.at(1))));
    return kDone;
  }
  if (verb == L"list") return listControls(c);
  if (verb == L"rects") return rectsCommand(c);
  if (verb == L"find") return findCommand(c);
  if (verb == L"text" || verb == L"richtext") {
    // A rich edit answers WM_GETTEXT with its plain text, which crosses processes
    // without a buffer in the client's memory (EM_GETTEXTEX would need one).
    c.expect(3, 3);
    writeOut(normaliseLineBreaks(controlText(control(c.at(1), c.at(2)))));
    return kDone;
  }
  if (verb == L"runs") {
    c.expect(3, 3);
    const HWND target = control(c.at(1), c.at(2));
    if (!isRichEdit(target)) fail(L"\"" + c.at(2) + L"\" is not a rich edit");
    std::vector<TextRun> runs;
    std::wstring error;
    if (!readRuns(target, runs, error)) fail(error);
    for (const TextRun& run : runs) writeOut(formatRun(run));
    return kDone;
  }
  if (verb == L"set-clipboard") {
    c.expect(2, 2);
    std::wstring error;
    if (!setClipboardText(c.at(1), error)) fail(error);
    return kDone;
  }
  if (verb == L"clipboard") {
    c.expect(1, 1);
    std::wstring text, error;
    if (!clipboardText(text, error)) fail(error);
    writeOut(normaliseLineBreaks(text));
    return kDone;
  }
  if (verb == L"set-text") {
    c.expect(4, 4);
    DWORD_PTR ok = 0;
    if (!SendMessageTimeoutW(control(c.at(1), c.at(2)), WM_SETTEXT, 0,
                             reinterpret_cast<LPARAM>(c.at(3).c_str()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &ok) ||
        !ok) {
      fail(L"the control refused the text");
    }
    return kDone;
  }
  if (verb == L"checked" || verb == L"enabled" || verb == L"visible") {
    c.expect(3, 3);
    writeOut(state(control(c.at(1), c.at(2)), verb) ? L"1" : L"0");
    return kDone;
  }
  if (verb == L"wait-state") {
    c.expect(5, 6);
    if (c.at(4) != L"0" && c.at(4) != L"1") usage();
    const bool want = c.at(4) == L"1";
    const HWND target = control(c.at(1), c.at(2));
    if (!waitFor(c.msAt(5, kDefaultWaitMs), [&] { return state(target, c.at(3)) == want; })) {
      fail(L"\"" + c.at(2) + L"\" did not become " + c.at(3) + L"=" + c.at(4));
    }
    return kDone;
  }
  if (verb == L"click") {
    c.expect(3, 3);
    click(control(c.at(1), c.at(2)));
    return kDone;
  }
  if (verb == L"key") {
    c.expect(4, 4);
    const UINT vk = parseVirtualKey(c.at(3));
    pressKey(control(c.at(1), c.at(2)), vk);
    return kDone;
  }
  if (verb == L"press") {
    c.expect(3, 3);
    typeKey(window(c.at(1)), c.at(2));
    return kDone;
  }
  if (verb == L"walk") {
    c.expect(4, 4);
    const HWND top = window(c.at(1));
    const DWORD count = parseMs(c.at(3));
    for (DWORD i = 0; i < count; ++i) {
      const std::wstring before = focusedControl(top);
      typeKey(top, c.at(2));
      waitFor(2000, [&] { return focusedControl(top) != before; });
      writeOut(focusedControl(top));
    }
    return kDone;
  }
  if (verb == L"focus") {
    c.expect(2, 2);
    writeOut(focusedControl(window(c.at(1))));
    return kDone;
  }
  if (verb == L"select") return selectItem(c);
  if (verb == L"msgbox") return messageBox(c);
  if (verb == L"open-file") return openFile(c);
  if (verb == L"show") {
    c.expect(2, 2);
    const HWND target = window(c.at(1));
    // On top as well: screenshots copy the screen, and a window loaded hidden behind
    // another would otherwise show the other's pixels. Asynchronous, so a hung window
    // cannot hold the driver; not activated, so focus stays where the test left it.
    SetWindowPos(target, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_ASYNCWINDOWPOS);
    if (!waitFor(kLookupMs, [&] { return IsWindowVisible(target) != FALSE; })) {
      fail(L"the window stayed hidden");
    }
    return kDone;
  }
  if (verb == L"close") {
    c.expect(2, 2);
    PostMessageW(window(c.at(1)), WM_CLOSE, 0, 0);
    return kDone;
  }
  if (verb == L"screenshot") {
    c.expect(2, 4);
    const HWND target = c.count() == 4 ? control(c.at(2), c.at(3))
                        : c.count() == 3 ? window(c.at(2))
                                         : nullptr;
    std::wstring error;
    if (!saveScreenshot(c.at(1), target, &error)) fail(error);
    return kDone;
  }
  if (verb == L"colours") {
    c.expect(3, 3);
    size_t colours = 0;
    std::wstring error;
    if (!countColours(control(c.at(1), c.at(2)), &colours, &error)) fail(error);
    writeOut(std::to_wstring(colours));
    return kDone;
  }
  if (verb == L"counters") {
    c.expect(2, 2);
    ProcessCounters counters;
    std::wstring error;
    if (!readProcessCounters(window(c.at(1)), counters, error)) fail(error);
    writeOut(L"private-bytes " + std::to_wstring(counters.privateBytes));
    writeOut(L"handles " + std::to_wstring(counters.handles));
    writeOut(L"gdi-objects " + std::to_wstring(counters.gdiObjects));
    writeOut(L"user-objects " + std::to_wstring(counters.userObjects));
    writeOut(L"how " + counters.how);
    return kDone;
  }
  usage();
}

}  // namespace
}  // namespace pv::driver

int wmain(int argc, wchar_t** argv) {
  // Rectangles and screenshots in the display's own pixels: a program that declares no
  // awareness is shown a 96-dpi picture of windows that draw for a denser display.
  SetProcessDPIAware();
  try {
    return pv::driver::run(pv::driver::Command(std::vector<std::wstring>(argv + 1, argv + argc)));
  } catch (const pv::driver::Failure& failure) {
    return failure.code;
  } catch (...) {
    pv::driver::writeErr(L"driver: internal error");
    return 1;
  }
}
