// erp_list_bench.exe [FAKE_ERP_EXE]: how fast another program's list view is read and
// ticked. Starts fake-erp.exe with 1,000 orders of 10 columns, then reports
//   - cells per second reading all 10,000 cells through its memory,
//   - ticks per second ticking all 1,000 rows,
//   - what a block allocated and released in the other program per request would cost,
//   - one whole screening run of the page (instant screening answers, no output box) with
//     the pauses left out, beside the floor the pauses alone impose on such a run.
// Under Wine: scripts/wine-run build/win32/bench/erp_list_bench.exe
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "core/erp/erp_clients.h"
#include "core/erp/erp_windows.h"
#include "core/erp/list_screening.h"
#include "core/text/codepage.h"
#include "core/ui/memory_ui.h"
#include "platform/win32/erp/foreign_list_view.h"
#include "platform/win32/erp/win32_desktop.h"
#include "platform/win32/unique.h"

namespace pv {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRows = 1000;
constexpr int kColumns = 10;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::wstring wide(std::string_view gbk) {
  const std::u16string u = gbkToUtf16(gbk);
  return {u.begin(), u.end()};
}

std::wstring writeOrders() {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"erp-bench-orders.tsv";
  std::string text = "订单编号\t地区";
  for (int c = 2; c < kColumns - 1; ++c) text += "\t备注" + std::to_string(c);
  text += "\t地址\r\n";
  for (int r = 0; r < kRows; ++r) {
    text += std::to_string(100000 + r) + "\t浙江省 杭州市 西湖区";
    for (int c = 2; c < kColumns - 1; ++c) text += "\t备注内容" + std::to_string(r * c);
    text += "\t文三路" + std::to_string(r) + "号 某某小区" + std::to_string(r % 50) + "幢\r\n";
  }
  std::ofstream(path.c_str(), std::ios::binary) << gbkToUtf8(text);
  return path;
}

class InstantScreening final : public BatchScreening {
 public:
  std::string screenAddresses(const std::vector<std::string>& addresses, std::stop_token) override {
    std::string data;
    for (size_t i = 0; i < addresses.size(); ++i) data += std::string(i ? "," : "") + "{\"sites\":[],\"policies\":[]}";
    return "{\"code\":0,\"msg\":\"ok\",\"data\":[" + data + "]}";
  }
  bool checkServiceCode(int code, std::string_view) override { return code == 0; }
};

class NoOutput final : public ScreeningOutput {
 public:
  void appendLabelledLine(std::string_view, std::string_view, Colour) override {}
  void appendStyledText(std::string_view, Colour) override {}
  void scrollToEnd() override {}
};

int run(const std::wstring& fakeErp) {
  const std::wstring orders = writeOrders();
  std::wstring command = L"\"" + fakeErp + L"\" --orders \"" + orders + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    std::fprintf(stderr, "cannot start fake-erp.exe\n");
    return 1;
  }
  UniqueHandle process(info.hProcess);
  CloseHandle(info.hThread);

  Win32Desktop desktop;
  HWND list = nullptr;
  const ErpClient& cloud = erpClients()[0];  // the client whose list is read
  WindowHandle main = 0;
  for (const auto deadline = Clock::now() + std::chrono::seconds(30); !list && Clock::now() < deadline;) {
    if ((main = findErpClientWindow(desktop, cloud)) != 0) {
      const auto lists = listChildWindowsByClass(desktop, main, "TListView");
      if (lists.size() == 2) list = reinterpret_cast<HWND>(static_cast<UINT_PTR>(lists[1]));
    }
    if (!list) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  int status = 0;
  ForeignListView view;
  if (!list || !view.attach(list, true, "TListView") || view.getItemCount() != kRows) {
    std::fprintf(stderr, "the fake ERP's order list did not appear\n");
    status = 1;
  } else {
    // The first pass warms the other program up (its first paints, the system's caches).
    for (int r = 0; r < kRows; r += 10) (void)view.getItemText(r, 0);
    auto start = Clock::now();
    size_t bytes = 0;
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kColumns; ++c) bytes += view.getItemText(r, c).size();
    }
    const double readSeconds = secondsSince(start);
    start = Clock::now();
    for (int r = 0; r < kRows; ++r) view.setCheckState(r, r % 2 == 0);
    const double tickSeconds = secondsSince(start);

    // What keeping one block per list saves: each request with a block of its own would
    // add one allocation and one release in the other process.
    RemoteMemory memory;
    (void)memory.openOwnerProcess(list);
    start = Clock::now();
    for (int i = 0; i < kRows; ++i) RemoteBlock block = memory.remoteAlloc(600);
    const double allocSeconds = secondsSince(start);

    MemoryUi ui;
    ui.load(Window::Main, false);
    RecordingDialogs dialogs;
    InstantScreening screening;
    NoOutput output;
    std::chrono::milliseconds paced{0};
    RunContext context{ui, dialogs, screening, output, [&](std::chrono::milliseconds ms) { paced += ms; }, {}};
    ScreeningTotals totals;
    start = Clock::now();
    const bool finished = screenListViewOrders(context, desktop, main, totals);
    const double runSeconds = secondsSince(start);

    std::printf("read  %d cells (%zu bytes) in %.3f s: %.0f cells/s\n", kRows * kColumns, bytes, readSeconds,
                kRows * kColumns / readSeconds);
    std::printf("tick  %d rows in %.3f s: %.0f ticks/s\n", kRows, tickSeconds, kRows / tickSeconds);
    std::printf("alloc %d blocks allocated and released in the other process in %.3f s: %.0f/s\n", kRows,
                allocSeconds, kRows / allocSeconds);
    std::printf("run   %d orders (%s, %d ticked) in %.3f s without pauses; the pauses alone take %.3f s\n",
                totals.total, finished ? "finished" : "stopped early", totals.ticked, runSeconds,
                static_cast<double>(paced.count()) / 1000.0);
  }
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), 5000);
  DeleteFileW(orders.c_str());
  return status;
}

}  // namespace
}  // namespace pv

int wmain(int argc, wchar_t** argv) {
  const std::wstring fakeErp = argc > 1 ? argv[1] : pv::wide(PV_FAKE_ERP);
  return pv::run(fakeErp);
}
