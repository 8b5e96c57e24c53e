#pragma once
// Another program's list-view control, read and ticked through that program's memory.
//
// List-view messages carry pointers to request records and text buffers, and a pointer is
// only valid in the process that owns the control: so each record and buffer is placed in
// the owner's memory, the message is sent, and the answer is copied back.
//
// Bitness: the records written into the other process are this program's own list-view
// records (LVITEMW, LVCOLUMNW). They are read correctly only by a control in a process of
// the same bitness: the shipped 32-bit client with the 32-bit ERP clients, the 64-bit test
// build with the 64-bit fake ERP.
//
// Threads: one object belongs to the thread that made it. Messages are sent synchronously
// and wait for the owner's user-interface thread. Texts are GBK.
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/unique.h"

namespace pv {

// A block committed in another process; released (MEM_RELEASE) when its owner goes. It
// does not own the process handle: a block must not outlive the RemoteMemory it came from.
class RemoteBlock {
 public:
  RemoteBlock() = default;
  RemoteBlock(HANDLE process, void* address) noexcept : process_(process), address_(address) {}
  RemoteBlock(RemoteBlock&& o) noexcept : process_(o.process_), address_(std::exchange(o.address_, nullptr)) {}
  RemoteBlock& operator=(RemoteBlock&& o) noexcept;
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  ~RemoteBlock() { reset(); }

  void* address() const noexcept { return address_; }
  explicit operator bool() const noexcept { return address_ != nullptr; }
  void reset() noexcept;

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

// The owner process of a window, opened for reading and writing its memory.
class RemoteMemory {
 public:
  // Opens the process that owns `window`, closing any process held before. False (and no
  // process held) when it cannot be opened, e.g. when it runs with higher rights.
  [[nodiscard]] bool openOwnerProcess(HWND window) noexcept;
  void closeOwnerProcess() noexcept { process_.reset(); }
  bool isOpen() const noexcept { return static_cast<bool>(process_); }

  // Committed read/write memory in the process, zero-filled; empty when it fails.
  RemoteBlock remoteAlloc(size_t size) noexcept;
  [[nodiscard]] bool remoteWrite(const RemoteBlock& block, size_t offset, const void* bytes,
                                 size_t size) noexcept;
  [[nodiscard]] bool remoteRead(const RemoteBlock& block, size_t offset, void* bytes, size_t size) noexcept;

 private:
  UniqueHandle process_;
};

// Owns the other process's handle and one block in it, both released when the object goes
// or attaches again.
class ForeignListView {
 public:
  // Text buffers hold 259 bytes of GBK text and the terminating zero.
  static constexpr int kTextBufferSize = 260;

  // Binds the object to `window` when its class name equals `className` byte for byte
  // (letter case matters) and, cross-process, opens its owner process. False on a class
  // mismatch, with nothing changed. An object whose owner process could not be opened stays
  // bound but answers 0, empty texts and no change, as a list without access would.
  [[nodiscard]] bool attach(HWND window, bool crossProcess, std::string_view className = "SysListView32");

  HWND window() const noexcept { return window_; }

  // Counts and texts: 0 or the empty text when the control does not answer. A text longer
  // than bufferSize - 1 bytes is cut there, at a character boundary.
  int getItemCount();
  int getColumnCount();
  std::string getColumnText(int column);
  std::string getItemText(int row, int column, int bufferSize = kTextBufferSize);

  // Ticks (state image 2) or unticks (state image 1) the row's check box; with `tickGiven`
  // false the row shows no check box at all. Nothing is reported: a list without check
  // boxes simply shows no change.
  void setCheckState(int row, bool tick, bool tickGiven = true);

 private:
  std::string readText(UINT message, WPARAM wParam, bool column, int row, int column_index, int bufferSize);
  // A block of at least `size` bytes in the other process, kept for the next requests: each
  // allocation there costs a round trip to that process, and a run makes thousands.
  const RemoteBlock& scratch(size_t size);

  HWND window_ = nullptr;
  HWND header_ = nullptr;
  bool crossProcess_ = false;
  RemoteMemory memory_;
  // Declared after memory_: released while the process handle is still open.
  RemoteBlock scratch_;
  size_t scratchSize_ = 0;
};

}  // namespace pv
