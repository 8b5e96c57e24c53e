// The Desktop port's contract, run against the in-memory desktop and, cross-built under
// Wine, against the Win32 adapter reading fake-erp.exe in a process of its own.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/erp/erp_windows.h"
#include "core/erp/memory_desktop.h"

#ifdef _WIN32
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "core/text/codepage.h"
#include "platform/win32/erp/foreign_list_view.h"
#include "platform/win32/erp/win32_desktop.h"
#include "platform/win32/unique.h"
#include "platform/win32/wide_text.h"
#endif

namespace pv {
namespace {

// 301 bytes: "A" and 150 double-byte characters.
std::string longCell() {
  std::string cell(1, 'A');
  for (int i = 0; i < 150; ++i) cell += "长";
  return cell;
}
const std::string kLong = longCell();

const std::vector<std::string> kHeaders = {"订单编号", "地区", "收货地址", "地址"};
const std::vector<std::vector<std::string>> kRows = {
    {"1001", "浙江省 杭州市", "西湖区文三路1号", "西湖区文三路1号"},
    {"1002", "广东省", "", "天河区体育西路"},
    {"1003", "北京", kLong, kLong.substr(1)},
};

// What every rig puts on its desktop: the cloud client with an order page and a page not
// opened, and a window of another client.
struct Scene {
  WindowHandle main = 0;
  WindowHandle orders = 0;
  WindowHandle printing = 0;
  WindowHandle other = 0;
};

class MemoryRig {
 public:
  MemoryRig() {
    scene.main = desktop_.addWindow(0, "TForm_main", "云端ERP - [订单审核]");
    const WindowHandle pages = desktop_.addWindow(scene.main, "TPageControl", "");
    const WindowHandle printingPage = desktop_.addWindow(pages, "TTabSheet", "单据打印", false);
    scene.printing = desktop_.addList(desktop_.addWindow(printingPage, "TPanel", ""), "TListView", kHeaders, {});
    const WindowHandle reviewPage = desktop_.addWindow(pages, "TTabSheet", "订单审核");
    scene.orders = desktop_.addList(desktop_.addWindow(reviewPage, "TPanel", ""), "TListView", kHeaders, kRows);
    scene.other = desktop_.addWindow(0, "CoolWindow", "旺店通ERP");
  }
  Desktop& desktop() { return desktop_; }
  std::string checks() { return desktop_.checks(scene.orders); }

  Scene scene;

 private:
  MemoryDesktop desktop_;
};

#ifdef _WIN32

HWND toWindow(WindowHandle window) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(window)); }

// Committed private memory of another process: what a remote block left behind would add to.
unsigned long long committedPrivateBytes(HANDLE process) {
  unsigned long long bytes = 0;
  MEMORY_BASIC_INFORMATION region;
  const char* at = nullptr;
  while (VirtualQueryEx(process, at, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return bytes;
}

// fake-erp.exe, started once for the whole program and ended with it.
class FakeErpProcess {
 public:
  FakeErpProcess() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    ordersPath_ = std::wstring(folder) + L"erp-desktop-orders.tsv";
    {
      std::ofstream out(ordersPath_.c_str(), std::ios::binary);
      std::string text = joinCells(kHeaders);
      for (const auto& row : kRows) text += joinCells(row);
      out << gbkToUtf8(text);
    }
    std::wstring command = L"\"" + toWide(PV_FAKE_ERP) + L"\" --orders \"" + ordersPath_ +
                           L"\" --window CoolWindow " + toWide("旺店通ERP");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return;
    process_.reset(info.hProcess);
    CloseHandle(info.hThread);
    processId_ = info.dwProcessId;
    WaitForInputIdle(process_.get(), 10000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!findScene() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~FakeErpProcess() {
    if (process_) {
      TerminateProcess(process_.get(), 0);
      WaitForSingleObject(process_.get(), 5000);
    }
    DeleteFileW(ordersPath_.c_str());
  }
  HANDLE process() const { return process_.get(); }

  Scene scene;

 private:
  static std::string joinCells(const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) line += (i ? "\t" : "") + cells[i];
    return line + "\r\n";
  }

  bool findScene() {
    Win32Desktop desktop;
    for (WindowHandle window : desktop.topLevelWindows()) {
      DWORD owner = 0;
      GetWindowThreadProcessId(toWindow(window), &owner);
      if (owner != processId_) continue;
      if (desktop.className(window) == "TForm_main") scene.main = window;
      if (desktop.className(window) == "CoolWindow") scene.other = window;
    }
    if (!scene.main || !scene.other) return false;
    const auto lists = listChildWindowsByClass(desktop, scene.main, "TListView");
    if (lists.size() != 2) return false;
    scene.printing = lists[0];
    scene.orders = lists[1];
    return true;
  }

  std::wstring ordersPath_;
  UniqueHandle process_;
  DWORD processId_ = 0;
};

FakeErpProcess& fakeErp() {
  static FakeErpProcess process;
  return process;
}

class Win32Rig {
 public:
  Win32Rig() : scene(fakeErp().scene) {}
  Desktop& desktop() { return desktop_; }
  // Read by the rig itself: the state message carries no pointer, so it needs no remote memory.
  std::string checks() {
    std::string digits;
    const HWND list = toWindow(scene.orders);
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
      const auto image = SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) >> 12;
      digits += image == 2 ? '1' : image == 1 ? '0' : '-';
    }
    return digits;
  }

  Scene scene;

 private:
  Win32Desktop desktop_;
};

using Rigs = ::testing::Types<MemoryRig, Win32Rig>;
#else
using Rigs = ::testing::Types<MemoryRig>;
#endif

template <class Rig>
class DesktopContract : public ::testing::Test {
 protected:
  Rig rig;
  Desktop& desktop() { return rig.desktop(); }
  const Scene& scene() { return rig.scene; }
};
TYPED_TEST_SUITE(DesktopContract, Rigs);

TYPED_TEST(DesktopContract, FindsTheClientsByClassAndTitle) {
  ASSERT_NE(this->scene().orders, 0u) << "the scene was not set up";
  Desktop& desktop = this->desktop();
  EXPECT_EQ(findTopLevelWindowByClass(desktop, "TForm_main"), this->scene().main);
  EXPECT_EQ(findTopLevelWindowByClass(desktop, "tform_MAIN"), this->scene().main);
  EXPECT_EQ(desktop.title(this->scene().main), "云端ERP - [订单审核]");
  EXPECT_EQ(findWindowByTitlePart(desktop, "旺店通erp"), this->scene().other);
  EXPECT_EQ(findWindowByTitlePart(desktop, "旺店通", "TForm_main"), 0u);
  EXPECT_EQ(findWindowByTitlePart(desktop, "[订单审核]", "TForm_main"), this->scene().main);
  EXPECT_EQ(findWindowByTitlePart(desktop, "没有这个窗口"), 0u);
}

TYPED_TEST(DesktopContract, WalksDescendantsAndAncestors) {
  ASSERT_NE(this->scene().orders, 0u);
  Desktop& desktop = this->desktop();
  const Scene& scene = this->scene();
  EXPECT_EQ(listChildWindowsByClass(desktop, scene.main, "tlistview"),
            (std::vector<WindowHandle>{scene.printing, scene.orders}));
  EXPECT_EQ(listChildWindowsByClass(desktop, scene.main, "TTabSheet").size(), 2u);
  EXPECT_TRUE(listChildWindowsByClass(desktop, scene.other, "TListView").empty());

  const WindowHandle panel = desktop.parent(scene.orders);
  EXPECT_EQ(desktop.className(panel), "TPanel");
  EXPECT_EQ(desktop.title(desktop.parent(panel)), "订单审核");
  EXPECT_EQ(desktop.parent(scene.main), 0u);
  EXPECT_TRUE(desktop.visible(scene.orders));
  EXPECT_FALSE(desktop.visible(scene.printing)) << "its page is hidden";
}

TYPED_TEST(DesktopContract, AttachesOnlyByTheExactClassName) {
  ASSERT_NE(this->scene().orders, 0u);
  Desktop& desktop = this->desktop();
  EXPECT_EQ(desktop.attachList(this->scene().orders, "tlistview"), nullptr);
  EXPECT_EQ(desktop.attachList(this->scene().orders, "SysListView32"), nullptr);
  EXPECT_EQ(desktop.attachList(this->scene().main, "TListView"), nullptr);
  EXPECT_NE(desktop.attachList(this->scene().orders, "TListView"), nullptr);
}

TYPED_TEST(DesktopContract, ReadsHeadersAndCells) {
  ASSERT_NE(this->scene().orders, 0u);
  const auto list = this->desktop().attachList(this->scene().orders, "TListView");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->columnCount(), 4);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(list->columnText(c), kHeaders[static_cast<size_t>(c)]);
  EXPECT_EQ(list->columnText(4), "");
  ASSERT_EQ(list->itemCount(), 3);
  EXPECT_EQ(list->itemText(0, 1), "浙江省 杭州市");
  EXPECT_EQ(list->itemText(1, 2), "") << "an empty cell";
  EXPECT_EQ(list->itemText(1, 3), "天河区体育西路");

  // Cut to 259 bytes, never in half a character: 1 + 129 x 2 bytes, and 129 x 2 bytes.
  EXPECT_EQ(list->itemText(2, 2), kLong.substr(0, 259));
  EXPECT_EQ(list->itemText(2, 3), kLong.substr(1, 258));
  EXPECT_EQ(list->itemText(3, 0), "") << "past the last row";
}

TYPED_TEST(DesktopContract, TicksAndUnticksRows) {
  ASSERT_NE(this->scene().orders, 0u);
  const auto list = this->desktop().attachList(this->scene().orders, "TListView");
  ASSERT_NE(list, nullptr);
  for (int row = 0; row < 3; ++row) list->setCheckState(row, false);
  EXPECT_EQ(this->rig.checks(), "000");
  list->setCheckState(0, true);
  list->setCheckState(2, true);
  EXPECT_EQ(this->rig.checks(), "101");
  list->setCheckState(0, false);
  list->setCheckState(7, true);  // no such row: nothing changes
  EXPECT_EQ(this->rig.checks(), "001");
  list->setCheckState(2, false);
}

TEST(MemoryDesktop, AListWithoutAccessAnswersNothing) {
  MemoryDesktop desktop;
  const WindowHandle list = desktop.addList(desktop.addWindow(0, "TForm_main", "x"), "TListView", {"地址"}, {{"a"}});
  desktop.changeList(list, [](MemoryDesktop::List& l) { l.answers = false; });
  const auto attached = desktop.attachList(list, "TListView");
  ASSERT_NE(attached, nullptr);
  EXPECT_EQ(attached->columnCount(), 0);
  EXPECT_EQ(attached->itemCount(), 0);
  EXPECT_EQ(attached->itemText(0, 0), "");
  attached->setCheckState(0, true);
  EXPECT_EQ(desktop.checks(list), "0");
}

#ifdef _WIN32

TEST(ForeignListView, LeavesNoBlockInTheOtherProcess) {
  const Scene& scene = fakeErp().scene;
  ASSERT_NE(scene.orders, 0u);
  auto exercise = [&](int times) {
    ForeignListView view;
    ASSERT_TRUE(view.attach(toWindow(scene.orders), true, "TListView"));
    for (int i = 0; i < times; ++i) {
      (void)view.getColumnText(i % 4);
      (void)view.getItemText(i % 3, i % 4, i % 2 ? 260 : 3000);  // the second size needs a larger block
      view.setCheckState(i % 3, i % 2 == 0);
    }
    ASSERT_TRUE(view.attach(toWindow(scene.orders), true, "TListView")) << "attaching again lets the old go";
    (void)view.getItemText(0, 0);
  };
  exercise(20);  // the list's own first allocations
  const unsigned long long before = committedPrivateBytes(fakeErp().process());
  ASSERT_GT(before, 0u);
  exercise(300);
  EXPECT_EQ(committedPrivateBytes(fakeErp().process()), before);
}

TEST(ForeignListView, NeverAttachedOrWrongClassIsHarmless) {
  ForeignListView never;
  EXPECT_EQ(never.getItemCount(), 0);
  EXPECT_EQ(never.getColumnCount(), 0);
  EXPECT_EQ(never.getItemText(0, 0), "");
  never.setCheckState(0, true);

  ForeignListView wrong;
  EXPECT_FALSE(wrong.attach(toWindow(fakeErp().scene.main), true, "TListView"));
  EXPECT_EQ(wrong.window(), nullptr);
}

// The same requests in this process's own memory, on a list view of our own.
TEST(ForeignListView, LocalFormReadsAndTicks) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 300, 200, nullptr, nullptr,
                              nullptr, nullptr);
  ASSERT_NE(list, nullptr);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
  std::wstring header = toWide("地址");
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = 100;
  column.pszText = header.data();
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  std::wstring cell = toWide("文三路");
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.pszText = cell.data();
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));

  ForeignListView view;
  ASSERT_TRUE(view.attach(list, false));
  EXPECT_EQ(view.getColumnCount(), 1);
  EXPECT_EQ(view.getColumnText(0), "地址");
  EXPECT_EQ(view.getItemCount(), 1);
  EXPECT_EQ(view.getItemText(0, 0), "文三路");
  view.setCheckState(0, true);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK) >> 12, 2);
  view.setCheckState(0, true, false);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK) >> 12, 0);
  DestroyWindow(list);
}

#endif  // _WIN32

}  // namespace
}  // namespace pv
