// The owner of Win32 handles (cross-built unit tests, run under Wine): put() closes what the
// owner held before a call fills it, and the owner closes the new handle once.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/unique.h"

namespace pv {
namespace {

bool isOpen(HANDLE h) {
  DWORD flags = 0;
  return GetHandleInformation(h, &flags) != 0;
}

TEST(UniquePut, ClosesTheOldHandleAndOwnsTheOneTheCallDelivers) {
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  const HANDLE first = event.get();

  HANDLE* door = event.put();
  EXPECT_FALSE(isOpen(first)) << "the old handle is closed before the call";
  EXPECT_EQ(*door, nullptr);
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), door,
                              0, FALSE, DUPLICATE_SAME_ACCESS));
  const HANDLE delivered = event.get();
  EXPECT_TRUE(isOpen(delivered));

  event.reset();
  EXPECT_FALSE(isOpen(delivered));
}

TEST(UniquePut, OnAnEmptyOwnerClosesNothing) {
  UniqueRegistryKey key;
  HKEY* door = key.put();
  EXPECT_EQ(*door, nullptr);
  EXPECT_FALSE(key);
  // A call that fails leaves the owner empty.
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Parcelvane-no-such-key", 0, KEY_READ,
                          key.put()),
            ERROR_SUCCESS);
  EXPECT_FALSE(key);
}

}  // namespace
}  // namespace pv

#endif  // _WIN32
