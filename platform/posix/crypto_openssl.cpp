// CryptoToolkit's platform half on Linux: OpenSSL 3's EVP interface. Only what the
// default provider offers: MD5, the SHA family, AES and 3DES; DES, RC2 and RC4 (legacy
// provider) are refused at the key step, where CryptoAPI would refuse an unknown cipher.
#include <openssl/err.h>
#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "core/crypto/crypto.h"
#include "core/crypto/crypto_backend.h"

namespace pv::crypto_backend {
namespace {

const EVP_MD* hashOf(CryptoAlgorithm algorithm) {
  switch (algorithm) {
    case CryptoAlgorithm::Md5: return EVP_md5();
    case CryptoAlgorithm::Sha1: return EVP_sha1();
    case CryptoAlgorithm::Sha256: return EVP_sha256();
    case CryptoAlgorithm::Sha384: return EVP_sha384();
    case CryptoAlgorithm::Sha512: return EVP_sha512();
    default: return nullptr;
  }
}

const EVP_CIPHER* cipherOf(CryptoAlgorithm algorithm, CipherMode mode) {
  const bool cbc = mode == CipherMode::Cbc;
  switch (algorithm) {
    case CryptoAlgorithm::Aes128: return cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case CryptoAlgorithm::Aes192: return cbc ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    case CryptoAlgorithm::Aes256: return cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    case CryptoAlgorithm::TripleDes: return cbc ? EVP_des_ede3_cbc() : EVP_des_ede3_ecb();
    default: return nullptr;
  }
}

bool isKnownCipher(CryptoAlgorithm algorithm) { return cipherOf(algorithm, CipherMode::Cbc) != nullptr; }

// "Err <code>:<reason>" from OpenSSL's error queue (which it then empties), or from errno
// values for the checks made here.
std::string libraryErrorText() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  const char* reason = code ? ERR_reason_error_string(code) : nullptr;
  return "Err " + std::to_string(code) + ":" + (reason ? reason : "unknown failure");
}

std::string errnoText(int code) { return "Err " + std::to_string(code) + ":" + std::strerror(code); }

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* c) const noexcept { EVP_CIPHER_CTX_free(c); }
};

}  // namespace

std::string digest(std::string_view data, CryptoAlgorithm algorithm) {
  const EVP_MD* md = hashOf(algorithm);
  if (!md) return {};
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (!EVP_Digest(data.data(), data.size(), value, &size, md, nullptr)) {
    ERR_clear_error();
    return {};
  }
  return std::string(reinterpret_cast<const char*>(value), size);
}

std::string transform(Direction direction, std::string_view data, std::string_view key, std::string_view iv,
                      CipherMode mode, CryptoAlgorithm algorithm, std::string& error) {
  const bool encrypt = direction == Direction::Encrypt;
  if (!isKnownCipher(algorithm)) {
    error = "CryptImportKey:" + errnoText(EOPNOTSUPP);
    return {};
  }
  const EVP_CIPHER* cipher = cipherOf(algorithm, mode);
  if (mode != CipherMode::Cbc && mode != CipherMode::Ecb) {
    error = "CryptSetKeyParam:" + errnoText(EINVAL);
    return {};
  }
  const auto ivLength = static_cast<std::size_t>(EVP_CIPHER_get_iv_length(cipher));
  if (iv.size() < ivLength) {
    error = std::string(encrypt ? "CryptSetKeyParam IV:" : "CryptSetKeyParam:") + errnoText(EINVAL);
    return {};
  }
  const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());
  const auto* ivBytes = ivLength ? reinterpret_cast<const unsigned char*>(iv.data()) : nullptr;
  const char* step = encrypt ? "CryptEncrypt:" : "CryptDecrypt:";

  std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter> ctx(EVP_CIPHER_CTX_new());
  if (!ctx || !EVP_CipherInit_ex(ctx.get(), cipher, nullptr, keyBytes, ivBytes, encrypt ? 1 : 0)) {
    error = "CryptImportKey:" + libraryErrorText();
    return {};
  }
  const auto block = static_cast<std::size_t>(EVP_CIPHER_get_block_size(cipher));
  std::string out(data.size() + block, '\0');
  auto* outBytes = reinterpret_cast<unsigned char*>(out.data());
  int written = 0;
  int finalWritten = 0;
  if (!EVP_CipherUpdate(ctx.get(), outBytes, &written, reinterpret_cast<const unsigned char*>(data.data()),
                        static_cast<int>(data.size())) ||
      !EVP_CipherFinal_ex(ctx.get(), outBytes + written, &finalWritten)) {
    error = step + libraryErrorText();
    return {};
  }
  out.resize(static_cast<std::size_t>(written + finalWritten));
  return out;
}

}  // namespace pv::crypto_backend
