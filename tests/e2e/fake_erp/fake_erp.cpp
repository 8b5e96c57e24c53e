// fake-erp.exe: windows that look to the client like the ERP clients it recognises.
// Test program, never shipped.
//
//   fake-erp.exe [--orders FILE] [--title TITLE] [--window CLASS TITLE]...
//     --orders FILE   a "TForm_main" window (titled TITLE, default "云端ERP - [订单审核]")
//                     whose page "订单审核" holds a "TListView" list view with check boxes;
//                     FILE is UTF-8, tab-separated: the column headers on the first line,
//                     one row per further line. A hidden page "单据打印" holds an empty one.
//     --window C T    a plain top-level window of class C titled T (repeatable).
//   fake-erp.exe --report    prints the running fake's state (see below) and exits
//   fake-erp.exe --reverse   reverses the running fake's rows, check states moving with
//                            them, as an operator re-sorting the list would
//
// Report lines: "rows N", "checked 0110..." (one digit per row, 1 ticked; "-" for a row
// without a state image), "private-bytes B" and "private-blocks K": the committed private
// memory of the fake's own process and the number of allocations it lies in, so a test can
// see a block another process allocated in it and never freed.
#include <windows.h>

#include <commctrl.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"TForm_main";
constexpr wchar_t kListClass[] = L"TListView";
constexpr ULONG_PTR kReportRequest = 1;
constexpr ULONG_PTR kReverseRequest = 2;

HWND g_orders = nullptr;

std::wstring fromUtf8(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

std::vector<std::wstring> splitTabs(const std::wstring& line) {
  std::vector<std::wstring> cells;
  std::wstringstream in(line);
  std::wstring cell;
  while (std::getline(in, cell, L'\t')) cells.push_back(cell);
  if (!line.empty() && line.back() == L'\t') cells.emplace_back();
  return cells;
}

struct Table {
  std::vector<std::wstring> headers;
  std::vector<std::vector<std::wstring>> rows;
};

Table readTable(const std::wstring& path) {
  Table table;
  std::ifstream file(path.c_str(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::wstringstream lines(fromUtf8(bytes));
  std::wstring line;
  bool first = true;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (first) {
      table.headers = splitTabs(line);
      first = false;
    } else if (!line.empty()) {
      table.rows.push_back(splitTabs(line));
    }
  }
  return table;
}

std::wstring cellText(HWND list, int row, int column) {
  wchar_t text[1024] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = static_cast<int>(std::size(text));
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

// State image 1 is "unticked", 2 "ticked", 0 "no check box shown".
int stateImage(HWND list, int row) {
  return static_cast<int>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) >> 12);
}

void setStateImage(HWND list, int row, int image) {
  LVITEMW item = {};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(image);
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void insertRow(HWND list, int row, const std::vector<std::wstring>& cells) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  std::wstring first = cells.empty() ? std::wstring() : cells[0];
  item.pszText = first.data();
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  for (size_t c = 1; c < cells.size(); ++c) {
    std::wstring text = cells[c];
    LVITEMW sub = {};
    sub.iSubItem = static_cast<int>(c);
    sub.pszText = text.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  }
}

HWND createList(HWND parent, const Table& table, bool visible) {
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, kListClass, L"",
                              WS_CHILD | (visible ? WS_VISIBLE : 0) | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 760,
                              440, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
               LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  for (size_t c = 0; c < table.headers.size(); ++c) {
    std::wstring header = table.headers[c];
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.cx = 120;
    column.iSubItem = static_cast<int>(c);
    column.pszText = header.data();
    SendMessageW(list, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
  }
  for (size_t r = 0; r < table.rows.size(); ++r) insertRow(list, static_cast<int>(r), table.rows[r]);
  return list;
}

void reverseRows(HWND list) {
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  std::vector<std::vector<std::wstring>> cells(static_cast<size_t>(rows));
  std::vector<int> images(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) cells[static_cast<size_t>(r)].push_back(cellText(list, r, c));
    images[static_cast<size_t>(r)] = stateImage(list, r);
  }
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (int r = 0; r < rows; ++r) {
    const auto from = static_cast<size_t>(rows - 1 - r);
    insertRow(list, r, cells[from]);
    setStateImage(list, r, images[from]);
  }
}

struct PrivateMemory {
  unsigned long long bytes = 0;
  size_t blocks = 0;
};

PrivateMemory committedPrivateMemory() {
  PrivateMemory memory;
  std::set<void*> allocations;
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  auto* at = static_cast<char*>(system.lpMinimumApplicationAddress);
  MEMORY_BASIC_INFORMATION region;
  while (at < static_cast<char*>(system.lpMaximumApplicationAddress) &&
         VirtualQuery(at, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
      memory.bytes += region.RegionSize;
      allocations.insert(region.AllocationBase);
    }
    at = static_cast<char*>(region.BaseAddress) + region.RegionSize;
  }
  memory.blocks = allocations.size();
  return memory;
}

std::string report() {
  std::string text;
  const int rows = g_orders ? static_cast<int>(SendMessageW(g_orders, LVM_GETITEMCOUNT, 0, 0)) : 0;
  text += "rows " + std::to_string(rows) + "\n";
  text += "checked ";
  for (int r = 0; r < rows; ++r) {
    const int image = stateImage(g_orders, r);
    text += image == 2 ? '1' : image == 1 ? '0' : '-';
  }
  const PrivateMemory memory = committedPrivateMemory();
  text += "\nprivate-bytes " + std::to_string(memory.bytes) + "\n";
  text += "private-blocks " + std::to_string(memory.blocks) + "\n";
  return text;
}

void writeFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      const std::wstring path(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
      if (data->dwData == kReverseRequest && g_orders) reverseRows(g_orders);
      if (data->dwData == kReportRequest || data->dwData == kReverseRequest) writeFile(path, report());
      return TRUE;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void registerClass(const wchar_t* name, WNDPROC proc) {
  WNDCLASSW cls = {};
  cls.lpfnWndProc = proc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = name;
  RegisterClassW(&cls);
}

// The ERP client's list view is the common list view under a class name of its own.
void registerListClass() {
  WNDCLASSEXW cls = {};
  cls.cbSize = sizeof cls;
  GetClassInfoExW(nullptr, WC_LISTVIEWW, &cls);
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = kListClass;
  RegisterClassExW(&cls);
}

HWND child(HWND parent, const wchar_t* cls, const wchar_t* title, bool visible) {
  return CreateWindowExW(0, cls, title, WS_CHILD | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0), 0, 0, 780, 460,
                         parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void writeOut(const std::string& bytes) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// --report / --reverse: asks the running fake, through a file it writes the answer into.
int ask(ULONG_PTR request) {
  HWND main = FindWindowW(kMainClass, nullptr);
  if (!main) {
    writeOut("no fake ERP window\n");
    return 1;
  }
  wchar_t folder[MAX_PATH] = {};
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"erp", 0, path);
  const std::wstring answerPath = path;
  COPYDATASTRUCT data = {request, static_cast<DWORD>((answerPath.size() + 1) * sizeof(wchar_t)),
                         const_cast<wchar_t*>(answerPath.c_str())};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 20000,
                           &result)) {
    writeOut("the fake ERP did not answer\n");
    DeleteFileW(path);
    return 1;
  }
  std::ifstream in(path, std::ios::binary);
  writeOut(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  in.close();
  DeleteFileW(path);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == L"--report") return ask(kReportRequest);
  if (args.size() == 1 && args[0] == L"--reverse") return ask(kReverseRequest);

  std::wstring ordersPath;
  std::wstring title = L"云端ERP - [订单审核]";
  std::vector<std::pair<std::wstring, std::wstring>> others;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == L"--orders" && i + 1 < args.size()) {
      ordersPath = args[++i];
    } else if (args[i] == L"--title" && i + 1 < args.size()) {
      title = args[++i];
    } else if (args[i] == L"--window" && i + 2 < args.size()) {
      others.emplace_back(args[i + 1], args[i + 2]);
      i += 2;
    } else {
      writeOut("usage: fake-erp [--orders FILE] [--title TITLE] [--window CLASS TITLE]... | --report | --reverse\n");
      return 2;
    }
  }

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  registerClass(kMainClass, mainProc);
  for (const wchar_t* cls : {L"TPageControl", L"TTabSheet", L"TPanel"}) registerClass(cls, plainProc);
  registerListClass();

  int shown = 0;
  if (!ordersPath.empty()) {
    const Table table = readTable(ordersPath);
    HWND main = CreateWindowExW(0, kMainClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 20, 20, 800,
                                520, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(main, SW_SHOW);
    HWND pages = child(main, L"TPageControl", L"", true);
    // A page the operator has not opened: its list is there but not visible.
    HWND printing = child(pages, L"TTabSheet", L"单据打印", false);
    createList(child(printing, L"TPanel", L"", true), Table{table.headers, {}}, true);
    HWND review = child(pages, L"TTabSheet", L"订单审核", true);
    g_orders = createList(child(review, L"TPanel", L"", true), table, true);
    ++shown;
  }
  std::set<std::wstring> registered;
  for (const auto& [cls, windowTitle] : others) {
    if (registered.insert(cls).second) registerClass(cls.c_str(), plainProc);
    HWND window = CreateWindowExW(0, cls.c_str(), windowTitle.c_str(), WS_OVERLAPPEDWINDOW, 60, 60, 300, 200,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    ++shown;
  }
  if (shown == 0) {
    writeOut("fake-erp: nothing to show\n");
    return 2;
  }

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
