// The Win32 Ui adapter against real windows (cross-built unit tests, run under Wine).
#ifdef _WIN32

#include <windows.h>

#include <commctrl.h>
#include <richedit.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <span>
#include <thread>
#include <vector>

#include "core/settings/ini_file.h"
#include "core/settings/settings.h"
#include "platform/win32/clipboard.h"
#include "platform/win32/dpapi_protector.h"
#include "platform/win32/ui/names.h"
#include "platform/win32/ui/picture_bitmap.h"
#include "platform/win32/ui/win32_ui.h"
#include "platform/win32/wide_text.h"
#include "tests/unit/picture_samples.h"
#include "tests/unit/settings_fakes.h"

namespace pv {
namespace {

using K = ControlKind;

std::wstring textOf(HWND hwnd) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(hwnd, buffer, 1024);
  return buffer;
}

struct TitleSearch {
  std::wstring title;
  HWND found = nullptr;
};

BOOL CALLBACK matchTitle(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<TitleSearch*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (std::wstring(cls) == kTopLevelWindowClass && textOf(hwnd).starts_with(s->title)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Our top-level window of this thread showing the window's title.
HWND topLevel(Window window) {
  TitleSearch search{toWide(windowDef(window).title)};
  EnumThreadWindows(GetCurrentThreadId(), matchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

using NamedControls = std::multimap<std::wstring, HWND>;

BOOL CALLBACK collectNamed(HWND hwnd, LPARAM param) {
  const auto atom =
      static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, kControlNameProperty)));
  wchar_t name[256] = {};
  if (atom && GlobalGetAtomNameW(atom, name, 256)) {
    reinterpret_cast<NamedControls*>(param)->emplace(name, hwnd);
  }
  return TRUE;
}

// Every descendant carrying a control name, by that name, as a driver finds them.
NamedControls namedControls(HWND top) {
  NamedControls found;
  EnumChildWindows(top, collectNamed, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND control(Window window, std::string_view name) {
  const auto all = namedControls(topLevel(window));
  const auto it = all.find(toWide(name));
  return it == all.end() ? nullptr : it->second;
}

RECT rectInParent(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Runs this thread's messages until `done` or the bound passes.
template <class Done>
bool pumpUntil(Done done, std::chrono::milliseconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;  // posted when a test closes its last window
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

// Runs `work` on a worker while this thread serves the windows' messages, as a window's
// thread does; true when the worker ended within the bound.
bool onWorker(const std::function<void()>& work, std::chrono::milliseconds bound) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    work();
    done = true;
  });
  const bool finished = pumpUntil([&] { return done.load(); }, bound);
  worker.join();
  return finished;
}

void setClipboardText(const wchar_t* text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  memcpy(GlobalLock(memory), text, bytes);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
}

class Win32UiTest : public ::testing::Test {
 protected:
  Win32Ui ui;
};

TEST_F(Win32UiTest, EveryControlIsANamedChildWindowAtItsTablePlace) {
  for (Window w : kAllWindows) {
    ASSERT_TRUE(ui.load(w, false)) << windowName(w);
    HWND top = topLevel(w);
    ASSERT_NE(top, nullptr) << windowName(w);
    const WindowDef& def = windowDef(w);
    RECT client;
    GetClientRect(top, &client);
    EXPECT_EQ(client.right, def.clientWidth) << windowName(w);
    EXPECT_EQ(client.bottom, def.clientHeight) << windowName(w);

    const auto named = namedControls(top);
    size_t expected = 0;
    HWND tab = nullptr;
    for (const ControlDef& c : def.controls) {
      if (c.kind == K::Timer) continue;
      ++expected;
      ASSERT_EQ(named.count(toWide(c.name)), 1u) << windowName(w) << " " << c.name;
      HWND hwnd = named.find(toWide(c.name))->second;
      if (c.kind == K::TabControl) tab = hwnd;
      HWND parent = GetParent(hwnd);
      if (c.page >= 0) {
        EXPECT_EQ(GetParent(parent), tab) << c.name << " is not on a page of the tab control";
        EXPECT_EQ(rectInParent(parent).left, 0);
        EXPECT_EQ(rectInParent(parent).top, 0);
      } else {
        EXPECT_EQ(parent, top) << c.name;
      }
      const Rect want = placedRect(def, c);
      const RECT got = rectInParent(hwnd);
      EXPECT_EQ(got.left, want.left) << c.name;
      EXPECT_EQ(got.top, want.top) << c.name;
      EXPECT_EQ(got.right - got.left, want.width) << c.name;
      if (c.kind != K::ComboBox) {
        EXPECT_EQ(got.bottom - got.top, want.height) << c.name;
      }
    }
    EXPECT_EQ(named.size(), expected) << windowName(w);
  }
}

TEST_F(Win32UiTest, WindowsStartFromTheTable) {
  ASSERT_TRUE(ui.load(Window::Login, true));
  EXPECT_TRUE(ui.isShown(Window::Login));
  EXPECT_EQ(ui.title(Window::Login), "登录 - Parcelvane（parcelvane.com）");
  EXPECT_FALSE(ui.enabled(Window::Login, "按钮_登录"));
  EXPECT_FALSE(IsWindowEnabled(control(Window::Login, "按钮_登录")));
  EXPECT_TRUE(GetWindowLongPtrW(control(Window::Login, "编辑框_密码"), GWL_STYLE) & ES_PASSWORD);
  EXPECT_FALSE(ui.visible(Window::Login, "标签_载入使用"));
  HMENU menu = GetSubMenu(GetMenu(topLevel(Window::Login)), 0);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 4);
  wchar_t item[32] = {};
  GetMenuStringW(menu, 3, item, 32, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(item), L"联系客服");

  ASSERT_TRUE(ui.load(Window::Main, false));
  EXPECT_FALSE(ui.isShown(Window::Main));
  EXPECT_EQ(ui.text(Window::Main, "组合框_筛单项目"), "请选择项目");
  EXPECT_EQ(ui.selectedIndex(Window::Main, "组合框_筛单项目"), -1);
  EXPECT_TRUE(ui.checked(Window::Main, "选择框_屏蔽村组"));
  EXPECT_TRUE(ui.checked(Window::Main, "单选框_正选"));
  EXPECT_FALSE(ui.checked(Window::Main, "单选框_反选"));
  EXPECT_FALSE(ui.visible(Window::Main, "按钮_滚动到网点详情"));
  EXPECT_EQ(ui.selectedIndex(Window::Main, "选择夹1"), 0);
  // The rich edit keeps bare CRs inside; the text comes back with the CRLFs it was given.
  EXPECT_EQ(ui.text(Window::Main, "超级编辑框_操作引导"),
            findControl(Window::Main, "超级编辑框_操作引导")->caption);

  ASSERT_TRUE(ui.load(Window::QuickTip, false));
  EXPECT_EQ(ui.statusText(Window::QuickTip, "状态条1", 0),
            "　如需查看详细筛单结果，可点击“详查”按钮。");
  EXPECT_EQ(ui.statusText(Window::QuickTip, "状态条1", 1), "");
  EXPECT_EQ(ui.statusText(Window::QuickTip, "状态条1", 2), "");
  EXPECT_TRUE(ui.setStatusText(Window::QuickTip, "状态条1", 1, "4秒后关闭"));
  EXPECT_EQ(ui.statusText(Window::QuickTip, "状态条1", 1), "4秒后关闭");
  EXPECT_FALSE(ui.setStatusText(Window::QuickTip, "状态条1", 2, "x"));
  EXPECT_EQ(ui.timerInterval(Window::QuickTip, "时钟1"), 500);

  ASSERT_TRUE(ui.load(Window::Result, false));
  EXPECT_EQ(ui.text(Window::Result, "组合框_分割方式"), "换行符");
  EXPECT_EQ(ui.text(Window::Result, "按钮_复制"), "复制全部");
  EXPECT_EQ(ui.text(Window::QuickTip, "按钮_复制"), "复制");
}

TEST_F(Win32UiTest, DigitsOnlyBoxRefusesNonDigitsFromEveryPath) {
  ASSERT_TRUE(ui.load(Window::Main, true));
  HWND box = control(Window::Main, "编辑框_村组距离");
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(ui.setText(Window::Main, "编辑框_村组距离", "12a"));
  EXPECT_FALSE(SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abc")));
  SendMessageW(box, WM_CHAR, L'x', 0);
  EXPECT_EQ(ui.text(Window::Main, "编辑框_村组距离"), "15000");

  SendMessageW(box, EM_SETSEL, 5, 5);
  SendMessageW(box, WM_CHAR, L'7', 0);
  EXPECT_EQ(ui.text(Window::Main, "编辑框_村组距离"), "150007");
  setClipboardText(L"12x");
  SendMessageW(box, WM_PASTE, 0, 0);
  EXPECT_EQ(ui.text(Window::Main, "编辑框_村组距离"), "150007");
  setClipboardText(L"34");
  SendMessageW(box, WM_PASTE, 0, 0);
  EXPECT_EQ(ui.text(Window::Main, "编辑框_村组距离"), "15000734");
  EXPECT_TRUE(ui.setText(Window::Main, "编辑框_村组距离", ""));
  EXPECT_TRUE(ui.setText(Window::Main, "编辑框_地址", "北京市abc"));  // an ordinary box
}

// The operator types a character that GBK lacks: the box's text keeps the rest, and so
// does the settings file across a restart.
TEST_F(Win32UiTest, CharacterOutsideGbkCostsOnlyItselfAcrossARestart) {
  ASSERT_TRUE(ui.load(Window::Main, true));
  ASSERT_TRUE(SetWindowTextW(control(Window::Main, "编辑框_地址"), L"收货地址\u2022A栋"));
  EXPECT_EQ(ui.text(Window::Main, "编辑框_地址"), "收货地址?A栋");

  testing_settings::ScratchFolder folder;
  IniFileStore store(folder.path());
  DpapiProtector protector;
  SettingsPorts ports{ui, store, protector};
  ASSERT_TRUE(saveMainSettings(ports));
  ASSERT_TRUE(ui.destroy(Window::Main));
  ASSERT_TRUE(ui.load(Window::Main, true));
  loadMainSettings(ports);
  EXPECT_EQ(textOf(control(Window::Main, "编辑框_地址")), L"收货地址?A栋");
}

TEST_F(Win32UiTest, RadioButtonsFormOneGroupAndClicksRaiseEvents) {
  ASSERT_TRUE(ui.load(Window::Main, true));
  EXPECT_TRUE(ui.setChecked(Window::Main, "单选框_反选", true));
  EXPECT_FALSE(ui.checked(Window::Main, "单选框_正选"));
  SendMessageW(control(Window::Main, "单选框_正选"), BM_CLICK, 0, 0);
  EXPECT_TRUE(ui.checked(Window::Main, "单选框_正选"));
  EXPECT_FALSE(ui.checked(Window::Main, "单选框_反选"));

  ASSERT_TRUE(ui.load(Window::QuickTip, true));
  std::string seen;
  ASSERT_TRUE(ui.events().on(Window::QuickTip, "选择框_复制地址快速查询", Event::Clicked,
                             [&](EventArgs&) {
                               seen = ui.checked(Window::QuickTip, "选择框_复制地址快速查询")
                                          ? "ticked"
                                          : "unticked";
                             }));
  SendMessageW(control(Window::QuickTip, "选择框_复制地址快速查询"), BM_CLICK, 0, 0);
  EXPECT_EQ(seen, "unticked");

  ASSERT_TRUE(ui.load(Window::Login, true));
  int key = 0;
  ASSERT_TRUE(ui.events().on(Window::Login, "编辑框_密码", Event::KeyDown,
                             [&](EventArgs& e) { key = e.key; }));
  SendMessageW(control(Window::Login, "编辑框_密码"), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(key, 13);
  std::string menu;
  ASSERT_TRUE(ui.events().on(Window::Login, "管理后台", Event::Clicked,
                             [&](EventArgs& e) { menu = e.control; }));
  HMENU items = GetSubMenu(GetMenu(topLevel(Window::Login)), 0);
  SendMessageW(topLevel(Window::Login), WM_COMMAND, MAKEWPARAM(GetMenuItemID(items, 2), 0), 0);
  EXPECT_EQ(menu, "管理后台");

  int refreshes = 0;
  ASSERT_TRUE(ui.events().on(Window::Main, "超级链接框_刷新", Event::LeftButtonDown,
                             [&](EventArgs&) { ++refreshes; }));
  HWND link = control(Window::Main, "超级链接框_刷新");
  SendMessageW(GetParent(link), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(link), STN_CLICKED), reinterpret_cast<LPARAM>(link));
  EXPECT_EQ(refreshes, 1);
}

TEST_F(Win32UiTest, ComboBoxItemsValuesAndSelection) {
  ASSERT_TRUE(ui.load(Window::Main, true));
  const Window m = Window::Main;
  const char* combo = "组合框_筛单服务";
  EXPECT_EQ(ui.addItem(m, combo, "甲服务", 2000000000), 0);
  EXPECT_EQ(ui.addItem(m, combo, "乙服务", -5), 1);
  EXPECT_EQ(ui.itemCount(m, combo), 2);
  EXPECT_EQ(ui.itemValue(m, combo, 0), 2000000000);
  EXPECT_EQ(ui.itemValue(m, combo, 1), -5);
  EXPECT_EQ(ui.itemText(m, combo, 1), "乙服务");
  EXPECT_EQ(ui.text(m, combo), "请选择服务");
  EXPECT_TRUE(ui.setSelectedIndex(m, combo, 1));
  EXPECT_EQ(ui.text(m, combo), "乙服务");
  EXPECT_FALSE(ui.setSelectedIndex(m, combo, 7));
  EXPECT_EQ(ui.selectedIndex(m, combo), -1);
  EXPECT_EQ(ui.text(m, combo), "");

  // The operator picks an item: the handler already reads the item's text.
  std::string picked;
  ASSERT_TRUE(ui.events().on(m, combo, Event::ItemSelected,
                             [&](EventArgs&) { picked = ui.text(m, combo); }));
  HWND box = control(m, combo);
  SendMessageW(box, CB_SETCURSEL, 0, 0);
  SendMessageW(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(box));
  EXPECT_EQ(picked, "甲服务");

  EXPECT_TRUE(ui.clearItems(m, combo));
  EXPECT_EQ(ui.itemCount(m, combo), 0);
  EXPECT_EQ(ui.text(m, combo), "");

  ASSERT_TRUE(ui.load(Window::Result, false));
  EXPECT_TRUE(ui.setText(Window::Result, "组合框_分割方式", "逗号分割"));
  EXPECT_EQ(ui.selectedIndex(Window::Result, "组合框_分割方式"), 1);
  EXPECT_FALSE(ui.setText(Window::Result, "组合框_分割方式", "分号"));
}

TEST_F(Win32UiTest, WorkerCallsRunOnTheUiThreadInOrder) {
  ASSERT_TRUE(ui.load(Window::Login, false));
  const DWORD uiThread = GetCurrentThreadId();
  std::atomic<int> handlerRuns{0};
  std::atomic<bool> handlerOnUiThread{true};
  ASSERT_TRUE(ui.events().on(Window::Login, "标签_载入使用", Event::Clicked, [&](EventArgs&) {
    handlerOnUiThread = handlerOnUiThread && GetCurrentThreadId() == uiThread;
    ++handlerRuns;
  }));
  std::atomic<int> mismatches{0};
  ASSERT_TRUE(onWorker(
      [&] {
        for (int i = 0; i < 200; ++i) {
          const std::string value = std::to_string(i);
          ui.setText(Window::Login, "编辑框_账户", value);
          if (ui.text(Window::Login, "编辑框_账户") != value) ++mismatches;
        }
        ui.raise(Window::Login, "标签_载入使用", Event::Clicked);
      },
      std::chrono::seconds(60)));
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(ui.text(Window::Login, "编辑框_账户"), "199");
  EXPECT_EQ(handlerRuns, 1);
  EXPECT_TRUE(handlerOnUiThread);
}

// The format of the characters [from, to) of a rich edit box, as the box reports it for
// that selection.
CHARFORMAT2W formatOf(HWND box, LONG from, LONG to) {
  CHARRANGE range{from, to};
  SendMessageW(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  SendMessageW(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

// The first run alone, the others handed over together: each keeps its own format.
TEST_F(Win32UiTest, RichTextRunsFromAWorkerKeepTheirColourAndWeight) {
  ASSERT_TRUE(ui.load(Window::Main, false));
  const std::vector<TextRun> runs = {
      {"【查询地址】：", 0x000000, false}, {"下姜", 0x000000, false}, {"村", 0x336EF0, true},
      {"\r\n", 0x000000, false},          {"区域正常", 0x339933, false}};
  ASSERT_TRUE(onWorker(
      [&] {
        ui.appendRichText(Window::Main, "超级编辑框_输出", runs.front());
        ui.appendRichText(Window::Main, "超级编辑框_输出", std::span(runs).subspan(1));
      },
      std::chrono::seconds(60)));
  EXPECT_EQ(ui.text(Window::Main, "超级编辑框_输出"), "【查询地址】：下姜村\r\n区域正常");
  EXPECT_EQ(ui.lineCount(Window::Main, "超级编辑框_输出"), 2);

  HWND box = control(Window::Main, "超级编辑框_输出");
  struct Expected {
    LONG from, to;
    COLORREF colour;
    bool bold;
  };
  // Character positions: the box keeps the line break as one character.
  for (const Expected& e : {Expected{0, 7, 0x000000, false}, Expected{9, 10, 0x336EF0, true},
                            Expected{11, 15, 0x339933, false}}) {
    const CHARFORMAT2W f = formatOf(box, e.from, e.to);
    SCOPED_TRACE(e.from);
    EXPECT_TRUE(f.dwMask & CFM_COLOR);
    EXPECT_EQ(f.crTextColor, e.colour);
    EXPECT_EQ((f.dwEffects & CFE_BOLD) != 0, e.bold);
    EXPECT_EQ(f.yHeight, 200);
    EXPECT_EQ(std::wstring(f.szFaceName), toWide("宋体"));
  }
  EXPECT_TRUE(ui.clearSelection(Window::Main, "超级编辑框_输出"));
  EXPECT_TRUE(ui.scrollLines(Window::Main, "超级编辑框_输出", -99999));
  EXPECT_FALSE(ui.appendRichText(Window::Main, "编辑框_地址", {"x", 0, false}));  // not a rich edit box
}

// A long run's output is cleared whole, from any thread, by a new box in the old one's place:
// found by its name, where it was, shown and stacked as it was, and it takes text again.
TEST_F(Win32UiTest, ALongRichTextBoxIsClearedWhole) {
  ASSERT_TRUE(ui.load(Window::Main, true));
  std::vector<TextRun> order = {{"【筛选地址】：", 0, true}, {"浙江省杭州市西湖区文一西路1号\r\n", 0, false},
                                {"【勾选结果】：", 0, true}, {"选中\r\n\r\n", 0x339933, false}};
  for (int i = 0; i < 1500; ++i) ui.appendRichText(Window::Main, "超级编辑框_输出", order);
  ASSERT_EQ(ui.lineCount(Window::Main, "超级编辑框_输出"), 4501);
  HWND before = control(Window::Main, "超级编辑框_输出");
  ASSERT_NE(before, nullptr);
  const RECT place = rectInParent(before);
  HWND below = GetWindow(before, GW_HWNDNEXT);

  ASSERT_TRUE(onWorker(
      [&] {
        ui.setText(Window::Main, "超级编辑框_输出", "");
        ui.appendRichText(Window::Main, "超级编辑框_输出", std::span(order).first(2));
      },
      std::chrono::seconds(120)));
  EXPECT_EQ(ui.text(Window::Main, "超级编辑框_输出"), "【筛选地址】：浙江省杭州市西湖区文一西路1号\r\n");
  EXPECT_EQ(ui.lineCount(Window::Main, "超级编辑框_输出"), 2);

  HWND after = control(Window::Main, "超级编辑框_输出");
  ASSERT_NE(after, nullptr);
  EXPECT_FALSE(IsWindow(before) && before != after);
  const RECT now = rectInParent(after);
  EXPECT_TRUE(EqualRect(&place, &now));
  EXPECT_TRUE(IsWindowVisible(after));
  EXPECT_EQ(GetWindow(after, GW_HWNDNEXT), below);
  // A short text is cleared in the box itself.
  ui.setText(Window::Main, "超级编辑框_输出", "");
  EXPECT_EQ(control(Window::Main, "超级编辑框_输出"), after);
  EXPECT_EQ(ui.text(Window::Main, "超级编辑框_输出"), "");
}

TEST_F(Win32UiTest, ActivateShowsAndBringsAWindowForward) {
  ASSERT_TRUE(ui.load(Window::QuickTip, false));
  EXPECT_FALSE(ui.isShown(Window::QuickTip));
  EXPECT_TRUE(ui.activate(Window::QuickTip));
  EXPECT_TRUE(ui.isShown(Window::QuickTip));
  EXPECT_FALSE(ui.activate(Window::Result));  // not loaded
}

TEST(Win32Clipboard, TextRoundTripsThroughTheSystemClipboard) {
  Win32Clipboard clipboard;
  for (const std::string& text : {std::string("浙江省杭州市西湖区 "), std::string("a\r\nb"), std::string()}) {
    EXPECT_TRUE(clipboard.setText(text));
    EXPECT_EQ(clipboard.text(), text);
  }
  setClipboardText(L"\u4E0A\u6D77");  // put there by another program's way of writing it
  EXPECT_EQ(clipboard.text(), "上海");
}

TEST_F(Win32UiTest, TimersTickUntilStopped) {
  ASSERT_TRUE(ui.load(Window::QuickTip, false));  // ticks while hidden
  int ticks = 0;
  ASSERT_TRUE(ui.events().on(Window::QuickTip, "时钟1", Event::Tick, [&](EventArgs&) { ++ticks; }));
  EXPECT_TRUE(pumpUntil([&] { return ticks >= 2; }, std::chrono::seconds(20)));
  EXPECT_TRUE(ui.setTimerInterval(Window::QuickTip, "时钟1", 0));
  const int stoppedAt = ticks;
  pumpUntil([] { return false; }, std::chrono::milliseconds(1200));
  EXPECT_EQ(ticks, stoppedAt);
}

TEST_F(Win32UiTest, DestroyRaisesDestroyingThenForgetsTheWindowAndItsNames) {
  ASSERT_TRUE(ui.load(Window::Result, true));
  std::string readWhileDestroying;
  ASSERT_TRUE(ui.events().on(Window::Result, "", Event::MayClose, [&](EventArgs& e) {
    e.cancel = true;
    ui.hide(Window::Result);
  }));
  HWND top = topLevel(Window::Result);
  SendMessageW(top, WM_CLOSE, 0, 0);
  EXPECT_TRUE(ui.isLoaded(Window::Result));
  EXPECT_FALSE(ui.isShown(Window::Result));

  ASSERT_TRUE(ui.events().on(Window::Login, "", Event::Destroying, [&](EventArgs&) {
    readWhileDestroying = ui.text(Window::Login, "按钮_登录");
  }));
  ASSERT_TRUE(ui.load(Window::Login, true));
  HWND button = control(Window::Login, "按钮_登录");
  ASSERT_NE(GlobalFindAtomW(L"超级链接框1"), 0);
  EXPECT_TRUE(ui.destroy(Window::Login));
  EXPECT_EQ(readWhileDestroying, "登录");
  EXPECT_FALSE(ui.isLoaded(Window::Login));
  EXPECT_FALSE(IsWindow(button));
  EXPECT_EQ(GlobalFindAtomW(L"超级链接框1"), 0);  // a name only the login window has
  EXPECT_EQ(ui.text(Window::Login, "按钮_登录"), "");
  // Loaded again, from the defaults.
  ASSERT_TRUE(ui.load(Window::Login, false));
  EXPECT_FALSE(ui.enabled(Window::Login, "按钮_登录"));
}

TEST_F(Win32UiTest, PicturesDecodeFromPngAndJpeg) {
  UniqueBitmap red = decodePicture(kRedPng);
  ASSERT_TRUE(red);
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectW(red.get(), sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
  EXPECT_EQ(dib.dsBm.bmWidth, 2);
  EXPECT_EQ(static_cast<const std::uint32_t*>(dib.dsBm.bmBits)[0], 0xFFFF0000u);

  UniqueBitmap blue = decodePicture(kBlueJpeg, 300, 120);
  ASSERT_TRUE(blue);
  ASSERT_EQ(GetObjectW(blue.get(), sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
  EXPECT_EQ(dib.dsBm.bmWidth, 300);
  EXPECT_EQ(dib.dsBm.bmHeight, 120);
  const std::uint32_t pixel = static_cast<const std::uint32_t*>(dib.dsBm.bmBits)[299];
  EXPECT_GT(pixel & 0xFF, 200u);             // blue
  EXPECT_LT((pixel >> 16) & 0xFF, 40u);      // hardly any red

  EXPECT_FALSE(decodePicture(kRedPng.substr(0, 40)));  // cut short
  EXPECT_FALSE(decodePicture(""));

  ASSERT_TRUE(ui.load(Window::Main, false));
  EXPECT_TRUE(ui.setPicture(Window::Main, "图片框_qq客服", kRedPng));
  EXPECT_TRUE(ui.setPicture(Window::Main, "图片框_微信客服", kBlueJpeg));
  EXPECT_EQ(ui.picture(Window::Main, "图片框_微信客服"), kBlueJpeg);
  EXPECT_FALSE(ui.setPicture(Window::Main, "图片框_qq客服", "\x89PNG\r\n\x1A\n broken"));
  EXPECT_EQ(ui.picture(Window::Main, "图片框_qq客服"), kRedPng);
}

}  // namespace
}  // namespace pv

#endif  // _WIN32
