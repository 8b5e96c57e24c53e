#pragma once
// Base64 with the RFC 4648 alphabet and "=" padding. Bytes travel in std::string.
#include <string>
#include <string_view>

namespace pv {

std::string base64Encode(std::string_view bytes);

// Groups of four characters of the alphabet, the last one padded with "=" as needed.
// Anything else (line breaks and blanks included: callers remove those they allow, a
// length that is not a multiple of four, "=" inside the text) gives empty bytes.
std::string base64Decode(std::string_view text);

}  // namespace pv
