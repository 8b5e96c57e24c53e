// CryptoToolkit's platform half in the product: CryptoAPI. Every call acquires its own
// provider context and releases every handle before it returns.
#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <vector>

#include "core/crypto/crypto.h"
#include "core/crypto/crypto_backend.h"
#include "core/text/text.h"
#include "platform/win32/unique.h"
#include "platform/win32/wide_text.h"

namespace pv::crypto_backend {
namespace {

struct CryptProviderTraits {
  using Raw = HCRYPTPROV;
  static Raw empty() noexcept { return 0; }
  static void close(Raw h) noexcept { CryptReleaseContext(h, 0); }
};
struct CryptKeyTraits {
  using Raw = HCRYPTKEY;
  static Raw empty() noexcept { return 0; }
  static void close(Raw h) noexcept { CryptDestroyKey(h); }
};
struct CryptHashTraits {
  using Raw = HCRYPTHASH;
  static Raw empty() noexcept { return 0; }
  static void close(Raw h) noexcept { CryptDestroyHash(h); }
};
using UniqueCryptProvider = Unique<CryptProviderTraits>;
using UniqueCryptKey = Unique<CryptKeyTraits>;
using UniqueCryptHash = Unique<CryptHashTraits>;

// "Err <code>:<system message>", the message in the program's code page. Take the code
// before anything else touches the thread's last error (closing handles does).
std::string systemErrorText(DWORD code) {
  wchar_t message[256];
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                 message, 256, nullptr);
  const std::string text = fromWide(std::wstring_view(message, n));
  return "Err " + std::to_string(code) + ":" + trimText(text);
}

ALG_ID algorithmId(CryptoAlgorithm algorithm) {
  switch (algorithm) {
    case CryptoAlgorithm::Md2: return CALG_MD2;
    case CryptoAlgorithm::Md4: return CALG_MD4;
    case CryptoAlgorithm::Md5: return CALG_MD5;
    case CryptoAlgorithm::Sha1: return CALG_SHA1;
    case CryptoAlgorithm::Sha256: return CALG_SHA_256;
    case CryptoAlgorithm::Sha384: return CALG_SHA_384;
    case CryptoAlgorithm::Sha512: return CALG_SHA_512;
    case CryptoAlgorithm::Des: return CALG_DES;
    case CryptoAlgorithm::Rc2: return CALG_RC2;
    case CryptoAlgorithm::TripleDes: return CALG_3DES;
    case CryptoAlgorithm::Aes128: return CALG_AES_128;
    case CryptoAlgorithm::Aes192: return CALG_AES_192;
    case CryptoAlgorithm::Aes256: return CALG_AES_256;
    case CryptoAlgorithm::Aes: return CALG_AES;
    case CryptoAlgorithm::Rc4: return CALG_RC4;
    case CryptoAlgorithm::RsaKeyExchange: return CALG_RSA_KEYX;
  }
  return 0;
}

DWORD modeId(CipherMode mode) {
  switch (mode) {
    case CipherMode::Cbc: return CRYPT_MODE_CBC;
    case CipherMode::Ecb: return CRYPT_MODE_ECB;
    case CipherMode::Ofb: return CRYPT_MODE_OFB;
    case CipherMode::Cfb: return CRYPT_MODE_CFB;
    case CipherMode::Cts: return CRYPT_MODE_CTS;
  }
  return 0;
}

// Provider types that offer the algorithm, most capable first.
std::vector<DWORD> providerTypesFor(ALG_ID algorithm) {
  switch (algorithm) {
    case CALG_MD5:
    case CALG_SHA1:
      return {PROV_RSA_AES, PROV_RSA_FULL, PROV_DH_SCHANNEL, PROV_DSS_DH, PROV_DSS, PROV_RSA_SCHANNEL};
    case CALG_SHA_256:
    case CALG_SHA_384:
    case CALG_SHA_512:
    case CALG_AES_128:
    case CALG_AES_192:
    case CALG_AES_256:
      return {PROV_RSA_AES};
    case CALG_DES:
    case CALG_3DES:
      return {PROV_RSA_AES, PROV_DH_SCHANNEL, PROV_RSA_SCHANNEL, PROV_DSS_DH};
    default:
      return {PROV_RSA_AES, PROV_RSA_FULL};
  }
}

UniqueCryptProvider acquireContext(ALG_ID algorithm) {
  // A verify-only context first: hashing and plain-text key import need no key container,
  // and opening one would create the user's default container as a side effect.
  static constexpr DWORD kFlags[] = {CRYPT_VERIFYCONTEXT, 0, CRYPT_NEWKEYSET | CRYPT_SILENT, CRYPT_MACHINE_KEYSET};
  for (DWORD type : providerTypesFor(algorithm)) {
    for (DWORD flags : kFlags) {
      HCRYPTPROV provider = 0;
      if (CryptAcquireContextW(&provider, nullptr, nullptr, type, flags)) return UniqueCryptProvider(provider);
    }
  }
  return {};
}

BYTE* bytesOf(std::string& s) { return reinterpret_cast<BYTE*>(s.data()); }

}  // namespace

std::string digest(std::string_view data, CryptoAlgorithm algorithmName) {
  const ALG_ID algorithm = algorithmId(algorithmName);
  const UniqueCryptProvider provider = acquireContext(algorithm);
  if (!provider) return {};
  UniqueCryptHash hash;
  if (!CryptCreateHash(provider.get(), algorithm, 0, 0, hash.put())) return {};
  static const BYTE kNothing = 0;
  const BYTE* bytes = data.empty() ? &kNothing : reinterpret_cast<const BYTE*>(data.data());
  if (!CryptHashData(hash.get(), bytes, static_cast<DWORD>(data.size()), 0)) return {};
  DWORD size = 0;
  DWORD sizeLength = sizeof size;
  if (!CryptGetHashParam(hash.get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &sizeLength, 0)) return {};
  std::string value(size, '\0');
  if (size == 0 || !CryptGetHashParam(hash.get(), HP_HASHVAL, bytesOf(value), &size, 0)) return {};
  value.resize(size);
  return value;
}

std::string transform(Direction direction, std::string_view data, std::string_view key, std::string_view iv,
                      CipherMode mode, CryptoAlgorithm algorithmName, std::string& error) {
  const bool encrypt = direction == Direction::Encrypt;
  const ALG_ID algorithm = algorithmId(algorithmName);
  const UniqueCryptProvider provider = acquireContext(algorithm);
  if (!provider) {
    error = "_GetAcquireContext:" + systemErrorText(GetLastError());
    return {};
  }

  // PLAINTEXTKEYBLOB: BLOBHEADER, the key length, the key bytes.
  std::string blob(sizeof(BLOBHEADER) + sizeof(DWORD) + key.size(), '\0');
  const BLOBHEADER header{PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, algorithm};
  const auto keyLength = static_cast<DWORD>(key.size());
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, &keyLength, sizeof keyLength);
  std::memcpy(blob.data() + sizeof header + sizeof keyLength, key.data(), key.size());
  UniqueCryptKey cryptKey;
  const bool imported =
      CryptImportKey(provider.get(), bytesOf(blob), static_cast<DWORD>(blob.size()), 0, 0, cryptKey.put());
  SecureZeroMemory(blob.data(), blob.size());
  if (!imported) {
    error = "CryptImportKey:" + systemErrorText(GetLastError());
    return {};
  }

  DWORD modeValue = modeId(mode);
  if (!CryptSetKeyParam(cryptKey.get(), KP_MODE, reinterpret_cast<BYTE*>(&modeValue), 0)) {
    error = "CryptSetKeyParam:" + systemErrorText(GetLastError());
    return {};
  }
  DWORD blockBits = 0;
  DWORD blockBitsLength = sizeof blockBits;
  if (!CryptGetKeyParam(cryptKey.get(), KP_BLOCKLEN, reinterpret_cast<BYTE*>(&blockBits), &blockBitsLength, 0)) {
    blockBits = 0;  // a stream cipher
  }
  const std::size_t block = blockBits / 8;
  if (mode != CipherMode::Ecb) {
    // The provider reads a whole block from the IV pointer, whatever we hold.
    std::string ivBlock(iv);
    const bool ivFits = ivBlock.size() >= block;
    if (!ivFits) SetLastError(ERROR_INVALID_PARAMETER);
    if (!ivFits || !CryptSetKeyParam(cryptKey.get(), KP_IV, bytesOf(ivBlock.append(1, '\0')), 0)) {
      error = std::string(encrypt ? "CryptSetKeyParam IV:" : "CryptSetKeyParam:") + systemErrorText(GetLastError());
      return {};
    }
  }

  DWORD length = static_cast<DWORD>(data.size());
  if (encrypt) {
    std::string buffer(data.size() + 2 * (block ? block : 16), '\0');
    std::memcpy(buffer.data(), data.data(), data.size());
    if (!CryptEncrypt(cryptKey.get(), 0, TRUE, 0, bytesOf(buffer), &length, static_cast<DWORD>(buffer.size()))) {
      error = "CryptEncrypt:" + systemErrorText(GetLastError());
      return {};
    }
    buffer.resize(length);
    return buffer;
  }
  // A padded block cipher never yields nothing: refuse before the provider looks at the
  // byte before an empty buffer for its padding.
  if (data.empty() && block) {
    error = "CryptDecrypt:" + systemErrorText(static_cast<DWORD>(NTE_BAD_DATA));
    return {};
  }
  std::string buffer(data);
  buffer.push_back('\0');  // never an empty buffer
  if (!CryptDecrypt(cryptKey.get(), 0, TRUE, 0, bytesOf(buffer), &length)) {
    error = "CryptDecrypt:" + systemErrorText(GetLastError());
    return {};
  }
  buffer.resize(length);
  return buffer;
}

}  // namespace pv::crypto_backend
