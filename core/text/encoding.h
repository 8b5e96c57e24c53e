#pragma once
// Byte-level helpers of the signed screening request: hexadecimal text, UTF-8 bytes of a
// GBK text, reversed texts. Bytes travel in std::string.
#include <string>
#include <string_view>

namespace pv {

// Two digits per byte; lower case when asked ("0123456789abcdef"), else upper case. With
// `spaced` the pairs are separated by one blank, without a trailing one.
std::string hexEncode(std::string_view bytes, bool lowerCase = false, bool spaced = false);

// GBK text as UTF-8; a byte that is no GBK character becomes "?", so that one stray byte
// (a cell cut in the middle of a character) does not cost the whole text.
std::string gbkToUtf8Lenient(std::string_view gbk);

// UTF-8 text as GBK; a character without a GBK form, or a byte that is no UTF-8, becomes
// "?", so that one emoji in an address does not cost the whole cell. ASCII passes through
// without a conversion.
std::string utf8ToGbkLenient(std::string_view utf8);

// UTF-8 bytes of a GBK text, without a terminating zero; empty for an empty text. Lenient
// as gbkToUtf8Lenient: the signed request and the body on the wire must hold the same bytes.
std::string toUtf8Bytes(std::string_view gbk);

// The bytes in reverse order; with `wide`, the UTF-16 units of the text in reverse order.
std::string reverseText(std::string_view text, bool wide = false);

}  // namespace pv
