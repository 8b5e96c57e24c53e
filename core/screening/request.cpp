#include "core/screening/request.h"

#include "core/crypto/base64.h"
#include "core/crypto/crypto.h"
#include "core/json/json.h"
#include "core/system/machine.h"
#include "core/text/encoding.h"
#include "core/text/random.h"
#include "core/text/text.h"

namespace pv {
namespace {

// mid(x, p, n): n characters of x from 1-based position p, shorter near the end.
std::string mid(const std::string& text, size_t position, size_t count) {
  return position - 1 < text.size() ? text.substr(position - 1, count) : std::string();
}

std::string md5Hex(const std::string& text) {
  return CryptoToolkit().digestHex(toUtf8Bytes(text), CryptoAlgorithm::Md5);
}

}  // namespace

std::string clientIdentifier() {
  static const std::string identifier = [] {
    // The salt keeps the identifier from being the machine id itself.
    return toUpperAscii(md5Hex("parcelvane client|" + machineFingerprint()));
  }();
  return identifier;
}

ScreeningRequest buildScreeningRequest(int32_t serviceBusinessId, const std::vector<std::string>& addresses) {
  return buildScreeningRequest(serviceBusinessId, addresses, unixTimeSeconds(),
                               randomText(18, kRandomDigits | kRandomLower), clientIdentifier());
}

ScreeningRequest buildScreeningRequest(int32_t serviceBusinessId, const std::vector<std::string>& addresses,
                                       int64_t timestamp, const std::string& random,
                                       const std::string& identifier) {
  const CryptoToolkit crypto;
  const std::string t = std::to_string(timestamp);
  const std::string& r = random;
  const std::string& i = identifier;
  const std::string key = joinTexts({kRequestSource, t, kSignKeyPiece, std::to_string(addresses.size())},
                                    kKeySeparator);

  // The addresses are GBK here: the double-byte flag keeps a character whose second byte
  // is '\' from being escaped in half.
  JsonMutableDocument document;
  JsonMutValue root = document.createObjectRoot();
  JsonMutValue list = root.setNewArray("addresses");
  for (const std::string& address : addresses) list.appendString(address);
  root.setInt("serviceBusinessID", serviceBusinessId);
  root.setString("source", kRequestSource);
  root.setInt("timestamp", timestamp);
  root.setString("version", kRequestVersion);
  const std::string unsignedBody = document.serialize(kJsonDoubleByteText);

  const std::string message = joinTexts({i, unsignedBody + mid(r, 5, 8), t}, "&*$");
  const std::string mac = hexEncode(crypto.hmac(toUtf8Bytes(message), toUtf8Bytes(key), CryptoAlgorithm::Sha1), true);
  const std::string signKey = md5Hex(joinTexts({t, kSignKeyText1, kRequestSource, kRequestVersion}, kSignKeyText2));
  const std::string sealed = crypto.encryptSymmetric(mac + "$#@" + i, signKey, mid(r, 2, 16), CipherMode::Cbc,
                                                     CryptoAlgorithm::Aes256);
  root.setString("sign", base64Encode(hexEncode(sealed, true) + r));

  const std::string reversed = reverseText(r);
  const std::string keyDigest = md5Hex(t + key);
  ScreeningRequest request;
  request.body = Bytes(toUtf8Bytes(document.serialize(kJsonDoubleByteText)));
  request.responseKey = md5Hex(mid(reversed, 5, 4) + i + mid(signKey, 9, 8) + mid(keyDigest, 9, 8));
  request.responseIv = mid(r, 2, 8) + mid(reversed, 10, 8);
  return request;
}

}  // namespace pv
