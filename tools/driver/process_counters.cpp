#include "tools/driver/process_counters.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "platform/win32/unique.h"

namespace pv::driver {

namespace {

uint64_t committedPrivateBytes(HANDLE process) {
  uint64_t bytes = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (auto* at = static_cast<BYTE*>(nullptr);
       VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
    BYTE* next = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;  // wrapped at the top of the address space
    at = next;
  }
  return bytes;
}

// SYSTEM_HANDLE_INFORMATION as NtQuerySystemInformation class 16 fills it.
struct SystemHandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

bool handlesInSystemTable(DWORD pid, uint64_t& count) {
  std::vector<BYTE> buffer(1 << 20);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                                     static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status < 0) return false;
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const size_t offset = sizeof(ULONG_PTR);  // the count, padded to the entries' alignment
    if (offset + entries * sizeof(SystemHandleEntry) > buffer.size()) return false;
    const auto* entry = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + offset);
    count = 0;
    for (ULONG i = 0; i < entries; ++i) count += entry[i].ownerPid == pid ? 1 : 0;
    return true;
  }
  return false;
}

// One row of the GDI handle table: the object, its owner, its type; 24 bytes on both
// bitnesses. A free row has type 0.
struct GdiTableEntry {
  uint64_t object;
  ULONG owner;
  USHORT unique;
  BYTE type;
  BYTE flags;
  uint64_t user;
};
static_assert(sizeof(GdiTableEntry) == 24);
constexpr size_t kGdiTableRows = 0x10000;
// Where the PEB keeps the table's address (GdiSharedHandleTable).
constexpr size_t kPebGdiTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;

bool liveGdiObjects(HANDLE process, uint64_t& count) {
  PROCESS_BASIC_INFORMATION basic{};
  ULONG got = 0;
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &got) < 0 ||
      basic.PebBaseAddress == nullptr) {
    return false;
  }
  void* table = nullptr;
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + kPebGdiTableOffset, &table,
                         sizeof table, &read) ||
      read != sizeof table || table == nullptr) {
    return false;
  }
  std::vector<GdiTableEntry> rows(4096);
  count = 0;
  for (size_t first = 0; first < kGdiTableRows; first += rows.size()) {
    if (!ReadProcessMemory(process, static_cast<BYTE*>(table) + first * sizeof(GdiTableEntry), rows.data(),
                           rows.size() * sizeof(GdiTableEntry), &read) ||
        read != rows.size() * sizeof(GdiTableEntry)) {
      return false;
    }
    for (const GdiTableEntry& row : rows) count += row.type != 0 ? 1 : 0;
  }
  return true;
}

struct WindowCount {
  DWORD pid;
  uint64_t count = 0;
};

BOOL CALLBACK countChild(HWND window, LPARAM state) {
  auto* windows = reinterpret_cast<WindowCount*>(state);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == windows->pid) ++windows->count;
  return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM state) {
  countChild(window, state);
  EnumChildWindows(window, countChild, state);  // every descendant, not only children
  return TRUE;
}

uint64_t windowsOf(DWORD pid) {
  WindowCount windows{pid};
  EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&windows));
  for (HWND at = nullptr; (at = FindWindowExW(HWND_MESSAGE, at, nullptr, nullptr)) != nullptr;) {
    countTopLevel(at, reinterpret_cast<LPARAM>(&windows));
  }
  return windows.count;
}

}  // namespace

bool readProcessCounters(HWND window, ProcessCounters& counters, std::wstring& error) {
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(window, &pid) || pid == 0) {
    error = L"the window has no process";
    return false;
  }
  // Querying and reading are all we need; a sampler that asked for more could be refused
  // by a process of another user or integrity level.
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) {
    error = L"the process could not be opened (" + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  counters.how.clear();
  auto mark = [&](bool api) { counters.how += counters.how.empty() ? L"" : L" "; counters.how += api ? L"api" : L"walk"; };

  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) &&
      memory.PrivateUsage != 0) {
    counters.privateBytes = memory.PrivateUsage;
    mark(true);
  } else {
    counters.privateBytes = committedPrivateBytes(process.get());
    mark(false);
  }

  DWORD handles = 0;
  if (GetProcessHandleCount(process.get(), &handles) && handles != 0) {
    counters.handles = handles;
    mark(true);
  } else if (handlesInSystemTable(pid, counters.handles)) {
    mark(false);
  } else {
    error = L"no handle count";
    return false;
  }

  if (const DWORD gdi = GetGuiResources(process.get(), GR_GDIOBJECTS); gdi != 0) {
    counters.gdiObjects = gdi;
    mark(true);
  } else if (liveGdiObjects(process.get(), counters.gdiObjects)) {
    mark(false);
  } else {
    error = L"no GDI object count";
    return false;
  }

  if (const DWORD user = GetGuiResources(process.get(), GR_USEROBJECTS); user != 0) {
    counters.userObjects = user;
    mark(true);
  } else {
    counters.userObjects = windowsOf(pid);
    mark(false);
  }
  return true;
}

}  // namespace pv::driver
