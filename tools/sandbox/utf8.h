#pragma once
// UTF-8 helpers of the sandbox. Everything the sandbox reads and writes is UTF-8; these
// work on characters (code points) so that a Chinese character is never cut in half.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pv::sandbox {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool isValidUtf8(std::string_view text) noexcept;

// Byte length of the character that starts at `text[pos]`; 1 for a byte that starts no
// valid character, so that a walk over damaged input always moves on.
size_t utf8CharLength(std::string_view text, size_t pos) noexcept;

// Number of characters, counted as utf8CharLength walks them.
size_t utf8Length(std::string_view text) noexcept;

// The first `count` characters of `text` (all of it when shorter).
std::string_view utf8Prefix(std::string_view text, size_t count) noexcept;

// Drops blanks (ASCII white space, the ideographic space, no-break and zero-width spaces)
// and turns full-width ASCII forms (U+FF01..U+FF5E) into ASCII, so that "１２号" and "12号"
// read alike.
std::string normalizeAddressText(std::string_view text);

}  // namespace pv::sandbox
