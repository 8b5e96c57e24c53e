#pragma once
// Move-only owners of Win32 resources: one owner per resource, closed exactly once.
// reset() always closes the value it replaces; release() hands the value over unclosed;
// put() is the door for a call that delivers a handle through an out-parameter.
#include <windows.h>

#include <utility>

namespace pv {

template <class Traits>
class Unique {
 public:
  using Raw = typename Traits::Raw;

  Unique() = default;
  explicit Unique(Raw h) noexcept : h_(h) {}
  Unique(Unique&& o) noexcept : h_(o.release()) {}
  Unique& operator=(Unique&& o) noexcept {
    reset(o.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { reset(); }

  Raw get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Traits::empty(); }
  Raw release() noexcept { return std::exchange(h_, Traits::empty()); }
  void reset(Raw h = Traits::empty()) noexcept {
    if (Raw old = std::exchange(h_, h); old != Traits::empty()) Traits::close(old);
  }
  // Closes what is held and gives the address of the now empty handle for the call to fill:
  // RegCreateKeyExW(…, key.put(), …).
  Raw* put() noexcept {
    reset();
    return &h_;
  }

 private:
  Raw h_ = Traits::empty();
};

// Kernel objects whose "no handle" is null: processes, threads, events, mappings.
struct HandleTraits {
  using Raw = HANDLE;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { CloseHandle(h); }
};
using UniqueHandle = Unique<HandleTraits>;

// CreateFileW and friends say "no handle" with INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Raw = HANDLE;
  static Raw empty() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(Raw h) noexcept { CloseHandle(h); }
};
using UniqueFile = Unique<FileHandleTraits>;

// Pens, brushes, fonts, bitmaps, regions. Must not be selected into a DC when closed.
template <class T>
struct GdiObjectTraits {
  using Raw = T;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { DeleteObject(h); }
};
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueBrush = Unique<GdiObjectTraits<HBRUSH>>;

// Memory DCs from CreateCompatibleDC (window DCs from GetDC are released, not deleted).
struct MemoryDcTraits {
  using Raw = HDC;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { DeleteDC(h); }
};
using UniqueMemoryDc = Unique<MemoryDcTraits>;

struct GlobalAtomTraits {
  using Raw = ATOM;
  static Raw empty() noexcept { return 0; }
  static void close(Raw h) noexcept { GlobalDeleteAtom(h); }
};
using UniqueGlobalAtom = Unique<GlobalAtomTraits>;

struct ModuleTraits {
  using Raw = HMODULE;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { FreeLibrary(h); }
};
using UniqueModule = Unique<ModuleTraits>;

// Registry keys from RegCreateKeyExW / RegOpenKeyExW (never the predefined HKEY_* roots).
struct RegistryKeyTraits {
  using Raw = HKEY;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { RegCloseKey(h); }
};
using UniqueRegistryKey = Unique<RegistryKeyTraits>;

// Memory the system allocated with LocalAlloc for the caller (CryptProtectData output,
// FormatMessageW with FORMAT_MESSAGE_ALLOCATE_BUFFER).
struct LocalMemoryTraits {
  using Raw = HLOCAL;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { LocalFree(h); }
};
using UniqueLocalMemory = Unique<LocalMemoryTraits>;

}  // namespace pv
