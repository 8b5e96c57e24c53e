#include "core/crypto/crypto.h"

#include "core/crypto/crypto_backend.h"
#include "core/text/encoding.h"

namespace pv {
namespace {

bool isSupportedDigest(std::uint32_t algorithm) {
  switch (algorithm) {
    case kCalgMd5:
    case kCalgSha1:
    case kCalgSha256:
    case kCalgSha384:
    case kCalgSha512:
      return true;
    default:
      return false;
  }
}

// Key length in bytes; 0 for an algorithm without a symmetric key.
std::size_t symmetricKeyLength(std::uint32_t algorithm, std::size_t givenKeyLength) {
  switch (algorithm) {
    case kCalgDes: return 8;
    case kCalg3Des: return 24;
    case kCalgAes128: return 16;
    case kCalgAes192: return 24;
    case kCalgAes256: return 32;
    case kCalgRc2:
    case kCalgRc4: return givenKeyLength;
    default: return 0;
  }
}

std::string symmetric(crypto_backend::Direction direction, std::string_view data, std::string_view key,
                      std::string_view iv, std::uint32_t mode, std::uint32_t algorithm, std::string* error) {
  std::string ignored;
  std::string& err = error ? *error : ignored;
  err.clear();
  const std::size_t length = symmetricKeyLength(algorithm, key.size());
  // A short key would make the provider read past its end: refuse it like an unknown one.
  if (length == 0 || key.size() < length) {
    err = kKeyError;
    return {};
  }
  try {
    return crypto_backend::transform(direction, data, key.substr(0, length), iv, mode, algorithm, err);
  } catch (...) {
    return {};
  }
}

}  // namespace

std::string CryptoToolkit::digest(std::string_view data, std::uint32_t algorithm) const {
  if (!isSupportedDigest(algorithm)) return {};
  try {
    return crypto_backend::digest(data, algorithm);
  } catch (...) {
    return {};
  }
}

std::string CryptoToolkit::hmac(std::string_view message, std::string_view key, std::uint32_t algorithm) const {
  if (!isSupportedDigest(algorithm)) return {};
  try {
    const std::size_t block = (algorithm == kCalgSha384 || algorithm == kCalgSha512) ? 128 : 64;
    std::string hashedKey;
    if (key.size() > block) {
      hashedKey = digest(key, algorithm);
      if (hashedKey.empty()) return {};
      key = hashedKey;
    }
    std::string inner(block, '\x36');
    std::string outer(block, '\x5C');
    for (std::size_t i = 0; i < key.size(); ++i) {
      inner[i] = static_cast<char>(inner[i] ^ key[i]);
      outer[i] = static_cast<char>(outer[i] ^ key[i]);
    }
    const std::string innerHash = digest(inner.append(message), algorithm);
    if (innerHash.empty()) return {};
    return digest(outer.append(innerHash), algorithm);
  } catch (...) {
    return {};
  }
}

std::string CryptoToolkit::digestHex(std::string_view data, std::uint32_t algorithm, std::string_view key) const {
  if (algorithm == 0) algorithm = kCalgMd5;
  return hexEncode(key.empty() ? digest(data, algorithm) : hmac(data, key, algorithm), true);
}

std::string CryptoToolkit::encryptSymmetric(std::string_view plain, std::string_view key, std::string_view iv,
                                            std::uint32_t mode, std::uint32_t algorithm, std::string* error) const {
  return symmetric(crypto_backend::Direction::Encrypt, plain, key, iv, mode, algorithm, error);
}

std::string CryptoToolkit::decryptSymmetric(std::string_view cipher, std::string_view key, std::string_view iv,
                                            std::uint32_t mode, std::uint32_t algorithm, std::string* error) const {
  return symmetric(crypto_backend::Direction::Decrypt, cipher, key, iv, mode, algorithm, error);
}

}  // namespace pv
