#pragma once
// The platform half of the code-page conversions, implemented once per target
// (platform/win32/codepage.cpp, platform/posix/codepage.cpp) with code page 936 itself,
// never the system's ANSI code page. Strict: the callers in core/text/codepage.cpp make
// them lenient, character by character, the same way on every platform.
#include <string>
#include <string_view>

namespace pv::codepage_backend {

// Code page 936 bytes as UTF-16; empty when any byte sequence has no character.
std::u16string decode936(std::string_view bytes);

// UTF-16 as code page 936 bytes; empty when any unit has no exact form there (no
// best-fit substitutes, no default character).
std::string encode936(std::u16string_view units);

}  // namespace pv::codepage_backend
