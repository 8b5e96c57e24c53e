#pragma once
// Time and random texts of the signed screening request.
#include <cstdint>
#include <string>

namespace pv {

// Seconds (milliseconds with the flag) since 1970-01-01 UTC, truncated toward zero.
int64_t unixTimeSeconds(bool milliseconds = false);

// Character classes of randomText; combine with |. A mask that selects none of them (0, or
// only other bits) means digits only.
enum RandomClass : unsigned {
  kRandomDigits = 1,       // "0123456789"
  kRandomLower = 2,        // "a".."z"
  kRandomUpper = 4,        // "A".."Z"
  kRandomPunctuation = 8,  // the blank and the 32 printable punctuation characters, ASCII order
};

// `length` characters drawn independently and uniformly from the selected classes,
// concatenated in bit order. Thread-safe.
std::string randomText(int length, unsigned classes = kRandomDigits);

}  // namespace pv
