#include "tools/sandbox/protocol.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <array>

#include "core/crypto/base64.h"
#include "core/crypto/crypto.h"
#include "tools/sandbox/codes.h"

namespace pv::sandbox {
namespace {

// ---- the primitives, all through the crypto facade ------------------------------------

std::string md5Hex(std::string_view text) { return CryptoToolkit().digestHex(text, CryptoAlgorithm::Md5); }

std::string hmacSha1(std::string_view message, std::string_view key) {
  return CryptoToolkit().hmac(message, key, CryptoAlgorithm::Sha1);
}

std::string aesDecrypt(std::string_view cipher, std::string_view key, std::string_view iv) {
  return CryptoToolkit().decryptSymmetric(cipher, key, iv, CipherMode::Cbc, CryptoAlgorithm::Aes256);
}

std::string aesEncrypt(std::string_view plain, std::string_view key, std::string_view iv) {
  return CryptoToolkit().encryptSymmetric(plain, key, iv, CipherMode::Cbc, CryptoAlgorithm::Aes256);
}

// ---- small text helpers, kept here on purpose (see protocol.h) --------------------------

bool isLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }
bool isUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
bool isDigitOrLower(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); }

std::string lowerHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

// Decodes lower-case hexadecimal text; false for anything else (upper case included: the
// signature has one spelling, so that no second spelling of it verifies too).
bool fromLowerHex(std::string_view text, std::string& out) {
  if (text.size() % 2 != 0) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    if (!isLowerHex(text[i]) || !isLowerHex(text[i + 1])) return false;
    const auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    out += static_cast<char>(nibble(text[i]) * 16 + nibble(text[i + 1]));
  }
  return true;
}

// mid (x, p, n) with p counted from 1; the callers have checked the lengths.
std::string_view mid(std::string_view x, size_t p, size_t n) { return x.substr(p - 1, n); }

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

PickVerification refuse(PickVerification v, int code, std::string msg) {
  v.code = code;
  v.msg = std::move(msg);
  v.responseKey.clear();
  v.responseIv.clear();
  return v;
}

constexpr std::array<const char*, 6> kMembers = {"addresses", "serviceBusinessID", "source",
                                                 "timestamp", "version",           "sign"};

}  // namespace

PickVerification verifyPickRequest(std::string_view body, int64_t now, int maxAddresses) {
  PickVerification v;
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(body.data(), body.size());
  if (doc.HasParseError() || !doc.IsObject()) {
    return refuse(v, code::kBadRequest, "请求体不是有效的 JSON 对象");
  }

  // Member order is part of what is signed: the HMAC covers the body as sent.
  bool orderRight = doc.MemberCount() == kMembers.size();
  for (size_t i = 0; orderRight && i < kMembers.size(); ++i) {
    orderRight = (doc.MemberBegin() + i)->name == kMembers[i];
  }
  if (!orderRight) {
    return refuse(v, code::kBadRequest,
                  "请求成员不符：应依次为 addresses、serviceBusinessID、source、timestamp、version、sign");
  }
  const rapidjson::Value& addresses = doc["addresses"];
  const rapidjson::Value& sign = doc["sign"];
  if (!addresses.IsArray() || !doc["serviceBusinessID"].IsInt() || !doc["source"].IsString() ||
      !doc["timestamp"].IsInt64() || !doc["version"].IsString() || !sign.IsString()) {
    return refuse(v, code::kBadRequest, "请求成员类型不符");
  }
  PickRequest& r = v.request;
  for (const rapidjson::Value& a : addresses.GetArray()) {
    if (!a.IsString()) return refuse(v, code::kBadRequest, "地址必须是字符串");
    r.addresses.emplace_back(a.GetString(), a.GetStringLength());
  }
  r.serviceBusinessId = doc["serviceBusinessID"].GetInt();
  r.source.assign(doc["source"].GetString(), doc["source"].GetStringLength());
  r.timestamp = doc["timestamp"].GetInt64();
  r.version.assign(doc["version"].GetString(), doc["version"].GetStringLength());
  if (r.addresses.empty() || r.addresses.size() > static_cast<size_t>(maxAddresses)) {
    return refuse(v, code::kTooManyAddresses,
                  "每次查询 1 到 " + std::to_string(maxAddresses) + " 个地址");
  }
  // The service answers the desktop client only; other sources have their own channels.
  if (r.source != kSource) return refuse(v, code::kBadRequest, "source 必须是 \"pc\"");
  if (r.version.empty()) return refuse(v, code::kBadRequest, "version 不能为空");

  if (now - r.timestamp > kTimestampWindow || r.timestamp - now > kTimestampWindow) {
    return refuse(v, code::kStaleTimestamp, "请求时间与服务器相差超过300秒，请校准系统时间");
  }

  // The signed body is the body as sent without its last member; that member must be
  // written plainly so that cutting it off gives back exactly the bytes that were signed.
  const std::string_view signText(sign.GetString(), sign.GetStringLength());
  const std::string tail = ",\"sign\":\"" + std::string(signText) + "\"}";
  if (body.size() <= tail.size() || body.substr(body.size() - tail.size()) != tail) {
    return refuse(v, code::kBadRequest, "sign 必须是请求体紧凑书写的最后一个成员");
  }
  const std::string signedBody = std::string(body.substr(0, body.size() - tail.size())) + "}";

  // sign = Base64 (hex (Q) + R), R the last 18 characters.
  const std::string decoded = base64Decode(signText);
  if (decoded.empty() || base64Encode(decoded) != signText) {
    return refuse(v, code::kBadSignature, "签名校验失败：sign 不是规范的 Base64");
  }
  constexpr size_t kRandomLength = 18;
  if (decoded.size() <= kRandomLength) return refuse(v, code::kBadSignature, "签名校验失败：sign 过短");
  const std::string_view R = std::string_view(decoded).substr(decoded.size() - kRandomLength);
  const std::string_view hexQ = std::string_view(decoded).substr(0, decoded.size() - kRandomLength);
  std::string Q;
  if (!std::all_of(R.begin(), R.end(), isDigitOrLower) || !fromLowerHex(hexQ, Q) ||
      Q.size() % 16 != 0) {
    return refuse(v, code::kBadSignature, "签名校验失败：sign 格式不符");
  }

  const std::string T = std::to_string(r.timestamp);
  const std::string N = std::to_string(r.addresses.size());
  const std::string A(kKeySeparator), C2(kSignText2);
  const std::string K3 = md5Hex(T + C2 + std::string(kSignText1) + C2 + r.source + C2 + r.version);
  const std::string X = aesDecrypt(Q, K3, mid(R, 2, 16));

  // X = Hs (40 lower-case hex) + "$#@" + I (32 upper-case hex).
  const bool sealShaped =
      K3.size() == 32 && X.size() == 75 && mid(X, 41, 3) == kSealSeparator &&
      std::all_of(X.begin(), X.begin() + 40, isLowerHex) &&
      std::all_of(X.begin() + 43, X.end(), isUpperHex);
  if (!sealShaped) return refuse(v, code::kBadSignature, "签名校验失败");
  const std::string Hs = X.substr(0, 40);
  const std::string I = X.substr(43);

  const std::string K = r.source + A + T + A + std::string(kKeyPiece) + A + N;
  const std::string M = I + std::string(kMessageSeparator) + signedBody + std::string(mid(R, 5, 8)) +
                        std::string(kMessageSeparator) + T;
  if (!sameText(lowerHex(hmacSha1(M, K)), Hs)) return refuse(v, code::kBadSignature, "签名校验失败");

  std::string RR(R.rbegin(), R.rend());
  const std::string P = md5Hex(T + K);
  const std::string Y = std::string(mid(RR, 5, 4)) + I + std::string(mid(K3, 9, 8)) +
                        (P.size() == 32 ? std::string(mid(P, 9, 8)) : std::string());
  v.responseKey = md5Hex(Y);
  v.responseIv = std::string(mid(R, 2, 8)) + std::string(mid(RR, 10, 8));
  if (v.responseKey.size() != 32 || P.size() != 32) {
    return refuse(v, code::kInternal, "服务器加密失败");
  }
  v.seal = Hs;
  return v;
}

std::string sealAnswer(std::string_view plain, std::string_view responseKey,
                       std::string_view responseIv) {
  const std::string cipher = aesEncrypt(plain, responseKey, responseIv);
  return cipher.empty() ? std::string() : base64Encode(cipher);
}

}  // namespace pv::sandbox
