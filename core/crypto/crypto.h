#pragma once
// CryptoToolkit: the digests, HMAC and symmetric ciphers of the signed screening request.
//
// Byte strings travel in std::string (any bytes, any length). Every operation returns
// empty bytes (or empty text) on failure and never throws. The object holds nothing:
// create one where needed; any number of threads may use it at once.
//
// The platform's library does the work (CryptoAPI in the product, OpenSSL on Linux),
// chosen at link time; both give the same bytes for the same input.
#include <string>
#include <string_view>

namespace pv {

// The algorithms a caller may name. Digests: MD5, SHA-1, SHA-256/384/512; ciphers: DES,
// 3DES, AES-128/192/256, RC2, RC4. The others (MD2, MD4, generic AES, RSA key exchange) can
// be named but every operation refuses them.
enum class CryptoAlgorithm {
  Md2, Md4, Md5, Sha1, Sha256, Sha384, Sha512,
  Des, Rc2, TripleDes, Aes128, Aes192, Aes256, Aes, Rc4, RsaKeyExchange,
};

// Cipher modes. CBC and ECB work everywhere; the Linux backend refuses the others.
enum class CipherMode { Cbc, Ecb, Ofb, Cfb, Cts };

// The error text of a symmetric operation whose algorithm has no key length, or whose
// key is shorter than that length.
inline constexpr std::string_view kKeyError = "KeyError";

class CryptoToolkit {
 public:
  // The plain digest of `data`: MD5, SHA-1, SHA-256, SHA-384 or SHA-512. Empty bytes for
  // any other algorithm (MD2 and MD4 included: broken, and gone from current libraries).
  std::string digest(std::string_view data, CryptoAlgorithm algorithm) const;

  // Lowercase hexadecimal text of hmac(data, key, algorithm) when `key` is not empty, else
  // of digest(data, algorithm). Empty text on failure.
  std::string digestHex(std::string_view data, CryptoAlgorithm algorithm = CryptoAlgorithm::Md5, std::string_view key = {}) const;

  // HMAC (RFC 2104) over the plain digest: block size 128 bytes for SHA-384 and SHA-512,
  // 64 for the others; a key longer than the block is digested first.
  std::string hmac(std::string_view message, std::string_view key, CryptoAlgorithm algorithm) const;

  // Symmetric encryption with the provider's final-block padding (PKCS #7 for AES: 1 to
  // 16 bytes are always added) and decryption that checks and removes it.
  //
  // Key lengths by algorithm: DES 8, 3DES 24, AES-128 16, AES-192 24, AES-256 32 bytes
  // (a longer key is cut to that length); RC2 and RC4 take the key as given. Any other
  // algorithm, a shorter key or an empty one: empty result and `error` "KeyError".
  // `iv` is needed unless `mode` is ECB, at least one block long (its first block is used).
  // CBC and ECB with AES and 3DES give the same bytes everywhere; other modes and DES, RC2
  // and RC4 go to the provider as given, and the Linux backend refuses them.
  //
  // `error` (optional) is empty on success, else the failing step and the platform's
  // reason: "_GetAcquireContext:", "CryptImportKey:", "CryptSetKeyParam:" (decryption's
  // mode and IV, encryption's mode), "CryptSetKeyParam IV:" (encryption's IV),
  // "CryptEncrypt:" or "CryptDecrypt:", followed by "Err <code>:<message>". A wrong key or
  // IV, or tampered data, fails decryption with "CryptDecrypt:".
  std::string encryptSymmetric(std::string_view plain, std::string_view key, std::string_view iv,
                               CipherMode mode, CryptoAlgorithm algorithm, std::string* error = nullptr) const;
  std::string decryptSymmetric(std::string_view cipher, std::string_view key, std::string_view iv,
                               CipherMode mode, CryptoAlgorithm algorithm, std::string* error = nullptr) const;
};

}  // namespace pv
