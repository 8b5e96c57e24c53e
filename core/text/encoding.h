#pragma once
// Byte-level helpers of the signed screening request: hexadecimal text, UTF-8 bytes of a
// GBK text, reversed texts. Bytes travel in std::string.
#include <string>
#include <string_view>

namespace pv {

// Two digits per byte; lower case when asked ("0123456789abcdef"), else upper case. With
// `spaced` the pairs are separated by one blank, without a trailing one.
std::string hexEncode(std::string_view bytes, bool lowerCase = false, bool spaced = false);

// UTF-8 bytes of a GBK text, without a terminating zero; empty for an empty text. The same
// conversion as the body on the wire gets (gbkToUtf8: a byte that is no GBK character
// becomes "?"), so the signed request and the body hold the same bytes.
std::string toUtf8Bytes(std::string_view gbk);

// The bytes in reverse order; with `wide`, the UTF-16 units of the text in reverse order.
std::string reverseText(std::string_view text, bool wide = false);

}  // namespace pv
