#pragma once
// The signed and encrypted screening request: the body that carries the addresses and the
// key material with which the answer's `data` member is decrypted.
#include <cstdint>
#include <string>
#include <vector>

#include "core/net/bytes.h"
#include "core/product/version.h"  // generated

namespace pv {

struct ScreeningRequest {
  Bytes body;               // compact JSON in UTF-8, as it goes on the wire
  std::string responseKey;  // 32 lower-case hex characters: the AES-256 key's ASCII bytes
  std::string responseIv;   // 16 characters: the IV's ASCII bytes
};

// Texts shared with the service, which derives the same keys from what the request carries.
inline constexpr char kSignKeyPiece[] = "q%r&!t%w";  // S1
inline constexpr char kKeySeparator[] = "|~|";       // A
inline constexpr char kSignKeyText1[] = "#$#";       // C1
inline constexpr char kSignKeyText2[] = "&@&";       // C2
inline constexpr char kRequestSource[] = "pc";
inline constexpr const char* kRequestVersion = kVersionText;

// 32 upper-case hexadecimal characters, the same on every request of this installation
// (derived from the machine), different between machines.
std::string clientIdentifier();

// Builds the request for one batch of GBK address texts. Never fails: a crypto step that
// fails leaves its piece empty and the service refuses the request.
ScreeningRequest buildScreeningRequest(int32_t serviceBusinessId, const std::vector<std::string>& addresses);

// The same with the time, random text and identifier given, so that a request can be
// rebuilt exactly (tests, diagnostics). `random` must be 18 characters.
ScreeningRequest buildScreeningRequest(int32_t serviceBusinessId, const std::vector<std::string>& addresses,
                                       int64_t timestamp, const std::string& random,
                                       const std::string& identifier);

}  // namespace pv
