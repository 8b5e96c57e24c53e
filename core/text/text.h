#pragma once
// Small helpers over the program's GBK texts. Positions count from 1; -1 means not found.
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// True for a byte that starts a GBK double-byte character.
constexpr bool isGbkLeadByte(unsigned char c) noexcept { return c >= 0x81 && c <= 0xFE; }
// True for a byte that can end a GBK double-byte character.
constexpr bool isGbkTrailByte(unsigned char c) noexcept { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
// Bytes of the character at text[i]: 2 for a lead byte followed by a trail byte, else 1. A
// lead byte before anything else (a quote, "=", a line break) is a character of its own, so
// the byte after it is never skipped as if it were a trail byte.
constexpr std::size_t gbkCharSize(std::string_view text, std::size_t i) noexcept {
  return i + 1 < text.size() && isGbkLeadByte(static_cast<unsigned char>(text[i])) &&
                 isGbkTrailByte(static_cast<unsigned char>(text[i + 1]))
             ? 2
             : 1;
}

// The first `limit` bytes of a GBK text, never ending in half a double-byte character
// (pairs as gbkCharSize reads them).
std::string cutGbkText(std::string_view text, std::size_t limit);

// Position of the first `part` in `text` at or after 1-based `start`, or -1. A match only
// begins at a character boundary: a double-byte character's trail byte (which may be '\\'
// or '|') is never taken for a single-byte one. The empty part is found at `start` of any
// non-empty text and in no empty one.
int findText(std::string_view text, std::string_view part, int start = 1) noexcept;

bool containsText(std::string_view text, std::string_view part) noexcept;

// ASCII letters only: double-byte characters pass through untouched.
std::string toLowerAscii(std::string_view text);
std::string toUpperAscii(std::string_view text);

// Replaces every occurrence (character-aligned, left to right, non-overlapping).
// An empty `from` leaves the text as it is.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

// Splits at every character-aligned `separator`. An empty text gives no pieces; an empty
// separator gives the whole text as one piece.
std::vector<std::string> splitText(std::string_view text, std::string_view separator);

// Joins the pieces with `separator` between them.
std::string joinTexts(const std::vector<std::string>& pieces, std::string_view separator = ",");

// Removes ASCII spaces, tabs, CR and LF at both ends.
std::string trimText(std::string_view text);

bool startsWith(std::string_view text, std::string_view prefix) noexcept;
bool endsWith(std::string_view text, std::string_view suffix) noexcept;

}  // namespace pv
