#include "platform/win32/erp/foreign_list_view.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/erp/desktop.h"
#include "core/text/text.h"
#include "platform/win32/wide_text.h"

namespace pv {

namespace {

// Reading, writing and committing memory is all we do in the other process.
constexpr DWORD kProcessRights = PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE;

std::string classNameOf(HWND window) {
  wchar_t name[257] = {};  // class names are at most 256 characters
  GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return fromWide(name);
}

// The text up to the first zero, as GBK, no longer than `limit` bytes.
std::string cutText(const wchar_t* buffer, size_t capacity, size_t limit) {
  const size_t length = static_cast<size_t>(std::find(buffer, buffer + capacity, L'\0') - buffer);
  return cutGbkText(fromWide(std::wstring_view(buffer, length)), limit);
}

}  // namespace

RemoteBlock& RemoteBlock::operator=(RemoteBlock&& o) noexcept {
  if (this != &o) {
    reset();
    process_ = o.process_;
    address_ = std::exchange(o.address_, nullptr);
  }
  return *this;
}

void RemoteBlock::reset() noexcept {
  if (void* old = std::exchange(address_, nullptr)) VirtualFreeEx(process_, old, 0, MEM_RELEASE);
}

bool RemoteMemory::openOwnerProcess(HWND window) noexcept {
  process_.reset();
  DWORD processId = 0;
  if (!GetWindowThreadProcessId(window, &processId) || processId == 0) return false;
  process_.reset(OpenProcess(kProcessRights, FALSE, processId));
  return isOpen();
}

RemoteBlock RemoteMemory::remoteAlloc(size_t size) noexcept {
  if (!process_) return {};
  void* address = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  return address ? RemoteBlock(process_.get(), address) : RemoteBlock();
}

bool RemoteMemory::remoteWrite(const RemoteBlock& block, size_t offset, const void* bytes, size_t size) noexcept {
  if (!process_ || !block) return false;
  SIZE_T written = 0;
  return WriteProcessMemory(process_.get(), static_cast<char*>(block.address()) + offset, bytes, size, &written) &&
         written == size;
}

bool RemoteMemory::remoteRead(const RemoteBlock& block, size_t offset, void* bytes, size_t size) noexcept {
  if (!process_ || !block) return false;
  SIZE_T read = 0;
  return ReadProcessMemory(process_.get(), static_cast<const char*>(block.address()) + offset, bytes, size, &read) &&
         read == size;
}

bool ForeignListView::attach(HWND window, bool crossProcess, std::string_view className) {
  if (!window || classNameOf(window) != className) return false;
  window_ = window;
  header_ = nullptr;
  crossProcess_ = crossProcess;
  scratch_.reset();
  scratchSize_ = 0;
  memory_.closeOwnerProcess();
  if (crossProcess) (void)memory_.openOwnerProcess(window);
  return true;
}

int ForeignListView::getItemCount() {
  if (!window_ || (crossProcess_ && !memory_.isOpen())) return 0;
  return std::max(0, static_cast<int>(SendMessageW(window_, LVM_GETITEMCOUNT, 0, 0)));
}

int ForeignListView::getColumnCount() {
  if (!window_ || (crossProcess_ && !memory_.isOpen())) return 0;
  header_ = reinterpret_cast<HWND>(SendMessageW(window_, LVM_GETHEADER, 0, 0));
  if (!header_) return 0;
  return std::max(0, static_cast<int>(SendMessageW(header_, HDM_GETITEMCOUNT, 0, 0)));
}

std::string ForeignListView::getColumnText(int column) {
  return readText(LVM_GETCOLUMNW, static_cast<WPARAM>(column), true, 0, column, kTextBufferSize);
}

std::string ForeignListView::getItemText(int row, int column, int bufferSize) {
  return readText(crossProcess_ ? LVM_GETITEMW : LVM_GETITEMTEXTW, crossProcess_ ? 0 : static_cast<WPARAM>(row),
                  false, row, column, bufferSize);
}

// The buffer holds `bufferSize` UTF-16 units: never fewer characters than the GBK limit.
std::string ForeignListView::readText(UINT message, WPARAM wParam, bool column, int row, int columnIndex,
                                      int bufferSize) {
  if (!window_ || bufferSize <= 0 || row < 0 || columnIndex < 0) return {};
  const auto capacity = static_cast<size_t>(bufferSize);
  const size_t limit = capacity - 1;
  std::vector<wchar_t> text(capacity, L'\0');

  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = columnIndex;
  item.cchTextMax = bufferSize;
  LVCOLUMNW header = {};
  header.mask = LVCF_TEXT;
  header.cchTextMax = bufferSize;
  const size_t recordSize = column ? sizeof header : sizeof item;

  if (!crossProcess_) {
    item.pszText = text.data();
    header.pszText = text.data();
    const LRESULT answer = SendMessageW(window_, message, wParam,
                                        column ? reinterpret_cast<LPARAM>(&header) : reinterpret_cast<LPARAM>(&item));
    // LVM_GETITEMTEXT answers the length, 0 for an empty cell: the buffer says the rest.
    if (column && !answer) return {};
    return cutText(text.data(), capacity, limit);
  }

  // One block: the record, then the text buffer it points at.
  const size_t textBytes = capacity * sizeof(wchar_t);
  const RemoteBlock& block = scratch(recordSize + textBytes);
  if (!block) return {};
  auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(block.address()) + recordSize);
  item.pszText = remoteText;
  header.pszText = remoteText;
  // The record and an emptied text area in one write: the block is reused from cell to cell,
  // and a control that answers without writing must read as empty, not as the cell before.
  std::vector<char> outgoing(recordSize + textBytes, 0);
  std::memcpy(outgoing.data(), column ? static_cast<const void*>(&header) : static_cast<const void*>(&item),
              recordSize);
  if (!memory_.remoteWrite(block, 0, outgoing.data(), outgoing.size())) return {};
  if (!SendMessageW(window_, message, wParam, reinterpret_cast<LPARAM>(block.address()))) return {};
  if (!memory_.remoteRead(block, recordSize, text.data(), textBytes)) return {};
  return cutText(text.data(), capacity, limit);
}

const RemoteBlock& ForeignListView::scratch(size_t size) {
  if (size > scratchSize_) {
    scratch_.reset();
    scratchSize_ = 0;
    // Whole pages are committed anyway: take them, so that a longer buffer rarely needs more.
    const size_t rounded = (size + 4095) / 4096 * 4096;
    scratch_ = memory_.remoteAlloc(rounded);
    if (scratch_) scratchSize_ = rounded;
  }
  return scratch_;
}

void ForeignListView::setCheckState(int row, bool tick, bool tickGiven) {
  if (!window_ || row < 0) return;
  LVITEMW item = {};
  item.mask = LVIF_STATE;
  item.iItem = row;
  item.state = tickGiven ? INDEXTOSTATEIMAGEMASK(tick ? 2 : 1) : 0;
  item.stateMask = LVIS_STATEIMAGEMASK;
  if (!crossProcess_) {
    SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return;
  }
  const RemoteBlock& block = scratch(sizeof item);
  if (!block || !memory_.remoteWrite(block, 0, &item, sizeof item)) return;
  SendMessageW(window_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(block.address()));
}

}  // namespace pv
