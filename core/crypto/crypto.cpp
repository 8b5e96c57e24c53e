#include "core/crypto/crypto.h"

#include "core/crypto/crypto_backend.h"
#include "core/system/note_failure.h"
#include "core/text/encoding.h"

namespace pv {
namespace {

bool isSupportedDigest(CryptoAlgorithm algorithm) {
  switch (algorithm) {
    case CryptoAlgorithm::Md5:
    case CryptoAlgorithm::Sha1:
    case CryptoAlgorithm::Sha256:
    case CryptoAlgorithm::Sha384:
    case CryptoAlgorithm::Sha512:
      return true;
    default:
      return false;
  }
}

// Key length in bytes; 0 for an algorithm without a symmetric key.
std::size_t symmetricKeyLength(CryptoAlgorithm algorithm, std::size_t givenKeyLength) {
  switch (algorithm) {
    case CryptoAlgorithm::Des: return 8;
    case CryptoAlgorithm::TripleDes: return 24;
    case CryptoAlgorithm::Aes128: return 16;
    case CryptoAlgorithm::Aes192: return 24;
    case CryptoAlgorithm::Aes256: return 32;
    case CryptoAlgorithm::Rc2:
    case CryptoAlgorithm::Rc4: return givenKeyLength;
    default: return 0;
  }
}

std::string symmetric(crypto_backend::Direction direction, std::string_view data, std::string_view key,
                      std::string_view iv, CipherMode mode, CryptoAlgorithm algorithm, std::string* error) {
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
    noteFailure("symmetric", "cipher failed with an exception");
    return {};
  }
}

}  // namespace

std::string CryptoToolkit::digest(std::string_view data, CryptoAlgorithm algorithm) const {
  if (!isSupportedDigest(algorithm)) return {};
  try {
    return crypto_backend::digest(data, algorithm);
  } catch (...) {
    noteFailure("CryptoToolkit::digest", "digest failed with an exception");
    return {};
  }
}

std::string CryptoToolkit::hmac(std::string_view message, std::string_view key, CryptoAlgorithm algorithm) const {
  if (!isSupportedDigest(algorithm)) return {};
  try {
    const std::size_t block = (algorithm == CryptoAlgorithm::Sha384 || algorithm == CryptoAlgorithm::Sha512) ? 128 : 64;
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
    noteFailure("CryptoToolkit::hmac", "hmac failed with an exception");
    return {};
  }
}

std::string CryptoToolkit::digestHex(std::string_view data, CryptoAlgorithm algorithm, std::string_view key) const {
  return hexEncode(key.empty() ? digest(data, algorithm) : hmac(data, key, algorithm), true);
}

std::string CryptoToolkit::encryptSymmetric(std::string_view plain, std::string_view key, std::string_view iv,
                                            CipherMode mode, CryptoAlgorithm algorithm, std::string* error) const {
  return symmetric(crypto_backend::Direction::Encrypt, plain, key, iv, mode, algorithm, error);
}

std::string CryptoToolkit::decryptSymmetric(std::string_view cipher, std::string_view key, std::string_view iv,
                                            CipherMode mode, CryptoAlgorithm algorithm, std::string* error) const {
  return symmetric(crypto_backend::Direction::Decrypt, cipher, key, iv, mode, algorithm, error);
}

}  // namespace pv
