// startup_bench [--runs N] [--client EXE] [--plain EXE]
//
// How long parcelvane.exe takes from its process start to its login window on the display,
// beside a plain window that does nothing else (plain_window.exe), started alternately in
// one run so that both meet the same machine, display and Wine server. Each start is timed
// from just before CreateProcess to
//   shown:   the process's first visible captioned top-level window exists, and
//   painted: neither that window nor any control shown in it has an update region left,
//            i.e. the first WM_PAINT of each has run;
// then the process is ended (TerminateProcess: nothing is saved, so every start finds the
// same settings) and the next one starts. One start of each before the N pairs is not
// counted: the client's first start in a prefix writes its shortcuts and registry values.
// Prints every pair, the medians and the ratio of the painted medians. Not a test.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Timing {
  double shownMs = -1;
  double paintedMs = -1;
};

struct Search {
  DWORD process;
  HWND found;
};

BOOL CALLBACK findShown(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != search->process || !IsWindowVisible(hwnd)) return TRUE;
  if ((GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CAPTION) != WS_CAPTION) return TRUE;
  search->found = hwnd;
  return FALSE;
}

BOOL CALLBACK findUnpainted(HWND child, LPARAM param) {
  if (!IsWindowVisible(child) || !GetUpdateRect(child, nullptr, FALSE)) return TRUE;
  *reinterpret_cast<bool*>(param) = true;
  return FALSE;
}

// No part of the window or of a control shown in it waits for its WM_PAINT.
bool painted(HWND window) {
  if (GetUpdateRect(window, nullptr, FALSE)) return false;
  bool waiting = false;
  EnumChildWindows(window, findUnpainted, reinterpret_cast<LPARAM>(&waiting));
  return !waiting;
}

double elapsedMs(LARGE_INTEGER from, LARGE_INTEGER frequency) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// One start of `exe`, bounded by 30 s; a window that never shows leaves -1.
Timing timeStart(const std::wstring& exe) {
  Timing t;
  LARGE_INTEGER frequency, start;
  QueryPerformanceFrequency(&frequency);
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &si, &pi)) {
    std::fwprintf(stderr, L"startup_bench: cannot start %ls (error %lu)\n", exe.c_str(),
                  GetLastError());
    return t;
  }
  Search search{pi.dwProcessId, nullptr};
  while (elapsedMs(start, frequency) < 30000) {
    if (!search.found) {
      EnumWindows(findShown, reinterpret_cast<LPARAM>(&search));
      if (search.found) t.shownMs = elapsedMs(start, frequency);
    }
    if (search.found && painted(search.found)) {
      t.paintedMs = elapsedMs(start, frequency);
      break;
    }
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;  // ended early
    Sleep(1);
  }
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // Let the server and the display finish with the ended process before the next start.
  Sleep(300);
  return t;
}

double median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::wstring besideUs(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return folder + name;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int runs = 7;
  std::wstring client = PV_CLIENT_EXE;
  std::wstring plain = besideUs(L"plain_window.exe");
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring option = argv[i];
    if (option == L"--runs") {
      runs = std::max(1, _wtoi(argv[i + 1]));
    } else if (option == L"--client") {
      client = argv[i + 1];
    } else if (option == L"--plain") {
      plain = argv[i + 1];
    } else {
      std::fwprintf(stderr, L"usage: startup_bench [--runs N] [--client EXE] [--plain EXE]\n");
      return 2;
    }
  }

  const Timing warmPlain = timeStart(plain);
  const Timing warmClient = timeStart(client);
  std::printf("not counted (first starts): plain window %.1f ms, parcelvane.exe %.1f ms\n",
              warmPlain.paintedMs, warmClient.paintedMs);
  std::printf("%4s %14s %16s %14s %16s\n", "run", "plain shown", "plain painted", "client shown",
              "client painted");
  std::vector<double> plainShown, plainPainted, clientShown, clientPainted;
  for (int run = 1; run <= runs; ++run) {
    const Timing p = timeStart(plain);
    const Timing c = timeStart(client);
    std::printf("%4d %11.1f ms %13.1f ms %11.1f ms %13.1f ms\n", run, p.shownMs, p.paintedMs,
                c.shownMs, c.paintedMs);
    std::fflush(stdout);
    if (p.paintedMs < 0 || c.paintedMs < 0) {
      std::fprintf(stderr, "startup_bench: a window did not show within 30 s\n");
      return 1;
    }
    plainShown.push_back(p.shownMs);
    plainPainted.push_back(p.paintedMs);
    clientShown.push_back(c.shownMs);
    clientPainted.push_back(c.paintedMs);
  }
  const double plainMedian = median(plainPainted), clientMedian = median(clientPainted);
  std::printf("median of %d, shown:   plain window %.1f ms, parcelvane.exe %.1f ms\n", runs,
              median(plainShown), median(clientShown));
  std::printf("median of %d, painted: plain window %.1f ms, parcelvane.exe %.1f ms\n", runs,
              plainMedian, clientMedian);
  std::printf("ratio (painted, parcelvane.exe / plain window): %.2f\n", clientMedian / plainMedian);
  return 0;
}
