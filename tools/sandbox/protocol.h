#pragma once
// The service side of the signed screening request: checks a pick body and derives the
// key and IV that encrypt the answer. Written from what the service must check, not from
// the client's builder, so that a mistake in one is not repeated in the other.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pv::sandbox {

// Texts both sides hold.
inline constexpr std::string_view kKeyPiece = "q%r&!t%w";      // S1
inline constexpr std::string_view kKeySeparator = "|~|";       // A
inline constexpr std::string_view kSignText1 = "#$#";          // C1
inline constexpr std::string_view kSignText2 = "&@&";          // C2
inline constexpr std::string_view kMessageSeparator = "&*$";
inline constexpr std::string_view kSealSeparator = "$#@";
inline constexpr int64_t kTimestampWindow = 300;               // seconds either way
inline constexpr std::string_view kSource = "pc";              // the only source served

struct PickRequest {
  std::vector<std::string> addresses;  // UTF-8, in the order sent
  int serviceBusinessId = 0;
  std::string source, version;
  int64_t timestamp = 0;
};

struct PickVerification {
  int code = 0;         // 0: the request is genuine; otherwise the answer's code
  std::string msg;      // why it was refused
  PickRequest request;  // filled as far as the body could be read
  std::string responseKey, responseIv;  // 32 and 16 characters, when verified
  std::string seal;     // the request's HMAC as sent; names the request for replay checks
};

// Checks `body` as the service must: member order and types, the address count (1 to
// `maxAddresses`), the source ("pc"), the timestamp against `now` (within kTimestampWindow), the signature
// (decrypting the seal with the key derived from timestamp, source and version, and
// recomputing the HMAC over the body without its sign member). Never throws.
PickVerification verifyPickRequest(std::string_view body, int64_t now, int maxAddresses);

// Base64 of `plain` encrypted with AES-256-CBC under the response key and IV; "" when the
// encryption fails.
std::string sealAnswer(std::string_view plain, std::string_view responseKey,
                       std::string_view responseIv);

}  // namespace pv::sandbox
