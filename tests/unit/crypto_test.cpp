// Runs natively against OpenSSL and cross-built under Wine against CryptoAPI: both must
// give the published values.
#include <gtest/gtest.h>

#include <string>

#include "core/crypto/base64.h"
#include "core/crypto/crypto.h"
#include "core/text/encoding.h"

namespace pv {
namespace {

std::string fromHex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

std::string hex(std::string_view bytes) { return hexEncode(bytes, true); }

const CryptoToolkit kCrypto;

TEST(CryptoDigest, Md5SuiteOfRfc1321) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [data, want] : cases) {
    SCOPED_TRACE(data);
    EXPECT_EQ(kCrypto.digestHex(data), want);
    EXPECT_EQ(hex(kCrypto.digest(data, CryptoAlgorithm::Md5)), want);
  }
}

TEST(CryptoDigest, ShaFamilyAndRefusedAlgorithms) {
  EXPECT_EQ(kCrypto.digestHex("abc", CryptoAlgorithm::Sha1), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(kCrypto.digestHex("abc", CryptoAlgorithm::Sha256), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(kCrypto.digestHex("abc", CryptoAlgorithm::Sha384),
            "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7");
  EXPECT_EQ(kCrypto.digestHex("abc", CryptoAlgorithm::Sha512),
            "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
            "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
  for (CryptoAlgorithm algorithm : {CryptoAlgorithm::Md2, CryptoAlgorithm::Md4, CryptoAlgorithm::Aes256,
                                    CryptoAlgorithm::RsaKeyExchange}) {
    SCOPED_TRACE(static_cast<int>(algorithm));
    EXPECT_EQ(kCrypto.digest("abc", algorithm), "");
    EXPECT_EQ(kCrypto.hmac("abc", "key", algorithm), "");
    EXPECT_EQ(kCrypto.digestHex("abc", algorithm), "");
  }
}

struct HmacCase {
  const char* name;
  std::string key, data;
  CryptoAlgorithm algorithm;
  const char* want;
};

TEST(CryptoHmac, PublishedVectors) {
  const std::string dd50(50, '\xdd'), cd50(50, '\xcd');
  const HmacCase cases[] = {
      // RFC 2202, HMAC-SHA1 test cases 1 to 7.
      {"2202 sha1 #1", std::string(20, '\x0b'), "Hi There", CryptoAlgorithm::Sha1, "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"2202 sha1 #2", "Jefe", "what do ya want for nothing?", CryptoAlgorithm::Sha1, "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {"2202 sha1 #3", std::string(20, '\xaa'), dd50, CryptoAlgorithm::Sha1, "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {"2202 sha1 #4", fromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"), cd50, CryptoAlgorithm::Sha1,
       "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {"2202 sha1 #5", std::string(20, '\x0c'), "Test With Truncation", CryptoAlgorithm::Sha1,
       "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
      {"2202 sha1 #6", std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First", CryptoAlgorithm::Sha1,
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {"2202 sha1 #7", std::string(80, '\xaa'),
       "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data", CryptoAlgorithm::Sha1,
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
      // RFC 2202, HMAC-MD5.
      {"2202 md5 #1", std::string(16, '\x0b'), "Hi There", CryptoAlgorithm::Md5, "9294727a3638bb1c13f48ef8158bfc9d"},
      {"2202 md5 #2", "Jefe", "what do ya want for nothing?", CryptoAlgorithm::Md5, "750c783e6ab0b503eaa86e310a5db738"},
      {"2202 md5 #6", std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First", CryptoAlgorithm::Md5,
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
      // RFC 4231: SHA-256, and SHA-512 with its 128-byte block (case 6: a 131-byte key).
      {"4231 sha256 #1", std::string(20, '\x0b'), "Hi There", CryptoAlgorithm::Sha256,
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"4231 sha512 #1", std::string(20, '\x0b'), "Hi There", CryptoAlgorithm::Sha512,
       "87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cde"
       "daa833b7d6b8a702038b274eaea3f4e4be9d914eeb61f1702e696c203a126854"},
      {"4231 sha512 #6", std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       CryptoAlgorithm::Sha512,
       "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f352"
       "6b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(hex(kCrypto.hmac(c.data, c.key, c.algorithm)), c.want);
    EXPECT_EQ(kCrypto.digestHex(c.data, c.algorithm, c.key), c.want);
  }
}

TEST(CryptoHmac, KeyAtTheBlockSizeIsUsedAsItIsOneMoreIsHashedFirst) {
  // Values from an independent HMAC implementation (Python's hmac module).
  auto keyOf = [](int n) {
    std::string key;
    for (int i = 0; i < n; ++i) key.push_back(static_cast<char>(i));
    return key;
  };
  EXPECT_EQ(hex(kCrypto.hmac("Sample message", keyOf(64), CryptoAlgorithm::Sha1)), "0d4310b25042857e8f5ef5c32d9cb078d97a8351");
  EXPECT_EQ(hex(kCrypto.hmac("Sample message", keyOf(65), CryptoAlgorithm::Sha1)), "81860b3f21b6bce6b4a6340fc60c584b54501f23");
  EXPECT_EQ(hex(kCrypto.hmac("Sample message", keyOf(128), CryptoAlgorithm::Sha384)),
            "1b690ca1665390b5fcfdcb0de1c8872551c5fd87f562c7d842a9799678aeb0033b8237674c6138db90f05e5cfc9f3e9a");
  EXPECT_EQ(hex(kCrypto.hmac("Sample message", keyOf(129), CryptoAlgorithm::Sha384)),
            "1677b176fc9c0bb8c48a068f63fbe8c9f164beff95ae5294799cd5e2028d15ade4be75a1783189dd6c098a4c73e2041c");
}

// NIST SP 800-38A F.2.5 (AES-256-CBC), followed by the block of padding.
const std::string kAes256Key = fromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const std::string kNistIv = fromHex("000102030405060708090a0b0c0d0e0f");
const std::string kNistPlain = fromHex(
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
const char* const kNistCipherPadded =
    "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
    "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"
    "3f461796d6b0d6b2e0c2a72b4d80e644";

TEST(CryptoSymmetric, Aes256CbcVectorsOfSp800_38a) {
  std::string error = "stale";
  const std::string cipher = kCrypto.encryptSymmetric(kNistPlain, kAes256Key, kNistIv, CipherMode::Cbc, CryptoAlgorithm::Aes256, &error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(hex(cipher), kNistCipherPadded);
  error = "stale";
  EXPECT_EQ(kCrypto.decryptSymmetric(cipher, kAes256Key, kNistIv, CipherMode::Cbc, CryptoAlgorithm::Aes256, &error), kNistPlain);
  EXPECT_EQ(error, "");
}

TEST(CryptoSymmetric, FirstBlockOfEachAesKeySize) {
  struct Case {
    CryptoAlgorithm algorithm;
    const char* key;
    const char* firstBlock;
  };
  const Case cases[] = {
      {CryptoAlgorithm::Aes128, "2b7e151628aed2a6abf7158809cf4f3c", "7649abac8119b246cee98e9b12e9197d"},  // F.2.1
      {CryptoAlgorithm::Aes192, "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b", "4f021db243bc633d7178183a9fa071e8"},  // F.2.3
      {CryptoAlgorithm::Aes256, "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
       "f58c4c04d6e5f1ba779eabfb5f7bfbd6"},  // F.2.5
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.algorithm));
    const std::string cipher =
        kCrypto.encryptSymmetric(kNistPlain.substr(0, 16), fromHex(c.key), kNistIv, CipherMode::Cbc, c.algorithm);
    ASSERT_EQ(cipher.size(), 32u);  // one block of data, one of padding
    EXPECT_EQ(hex(cipher.substr(0, 16)), c.firstBlock);
    EXPECT_EQ(kCrypto.decryptSymmetric(cipher, fromHex(c.key), kNistIv, CipherMode::Cbc, c.algorithm),
              kNistPlain.substr(0, 16));
  }
}

TEST(CryptoSymmetric, EcbIgnoresTheIv) {
  // FIPS-197 appendix C.3, then the padding block.
  const std::string key = fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  const std::string plain = fromHex("00112233445566778899aabbccddeeff");
  const char* want = "8ea2b7ca516745bfeafc49904b4960899f3b7504926f8bd36e3118e903a4cd4a";
  for (const std::string& iv : {kNistIv, std::string(16, '\x55'), std::string()}) {
    std::string error = "stale";
    const std::string cipher = kCrypto.encryptSymmetric(plain, key, iv, CipherMode::Ecb, CryptoAlgorithm::Aes256, &error);
    EXPECT_EQ(hex(cipher), want);
    EXPECT_EQ(error, "");
    EXPECT_EQ(kCrypto.decryptSymmetric(cipher, key, iv, CipherMode::Ecb, CryptoAlgorithm::Aes256), plain);
  }
}

TEST(CryptoSymmetric, PaddingAlwaysAddsOneToABlock) {
  struct Case {
    CryptoAlgorithm algorithm;
    std::size_t keyLength, plainLength, cipherLength;
  };
  const Case cases[] = {
      {CryptoAlgorithm::Aes256, 32, 0, 16},  {CryptoAlgorithm::Aes256, 32, 1, 16},  {CryptoAlgorithm::Aes256, 32, 15, 16},
      {CryptoAlgorithm::Aes256, 32, 16, 32}, {CryptoAlgorithm::Aes256, 32, 17, 32}, {CryptoAlgorithm::Aes256, 32, 75, 80},
      {CryptoAlgorithm::Aes128, 16, 16, 32}, {CryptoAlgorithm::TripleDes, 24, 0, 8},     {CryptoAlgorithm::TripleDes, 24, 8, 16},
      {CryptoAlgorithm::TripleDes, 24, 75, 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.algorithm)) + " " + std::to_string(c.plainLength));
    const std::string key(c.keyLength, 'k');
    const std::string iv(16, 'v');
    const std::string plain(c.plainLength, 'p');
    const std::string cipher = kCrypto.encryptSymmetric(plain, key, iv, CipherMode::Cbc, c.algorithm);
    EXPECT_EQ(cipher.size(), c.cipherLength);
    std::string error = "stale";
    EXPECT_EQ(kCrypto.decryptSymmetric(cipher, key, iv, CipherMode::Cbc, c.algorithm, &error), plain);
    EXPECT_EQ(error, "");
  }
}

TEST(CryptoSymmetric, KeyErrorForAlgorithmsWithoutAKeyLengthAndForShortKeys) {
  struct Case {
    const char* name;
    CryptoAlgorithm algorithm;
    std::size_t keyLength;
  };
  const Case cases[] = {
      {"AES without a size", CryptoAlgorithm::Aes, 32},
      {"RSA key exchange", CryptoAlgorithm::RsaKeyExchange, 32},
      {"a hash", CryptoAlgorithm::Md5, 32},
      {"AES-256, 31 bytes", CryptoAlgorithm::Aes256, 31},
      {"AES-128, 15 bytes", CryptoAlgorithm::Aes128, 15},
      {"3DES, 16 bytes", CryptoAlgorithm::TripleDes, 16},
      {"RC4, no key", CryptoAlgorithm::Rc4, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string key(c.keyLength, 'k');
    std::string error;
    EXPECT_EQ(kCrypto.encryptSymmetric("data", key, kNistIv, CipherMode::Cbc, c.algorithm, &error), "");
    EXPECT_EQ(error, "KeyError");
    error.clear();
    EXPECT_EQ(kCrypto.decryptSymmetric(std::string(16, 'c'), key, kNistIv, CipherMode::Cbc, c.algorithm, &error), "");
    EXPECT_EQ(error, "KeyError");
  }
}

TEST(CryptoSymmetric, LongerKeyIsCutToTheAlgorithmsLength) {
  const std::string longKey = kAes256Key + "ignored tail";
  EXPECT_EQ(hex(kCrypto.encryptSymmetric(kNistPlain, longKey, kNistIv, CipherMode::Cbc, CryptoAlgorithm::Aes256)),
            kNistCipherPadded);
}

TEST(CryptoSymmetric, RefusedStepsNameThemselves) {
  const std::string cipher = fromHex(kNistCipherPadded);
  std::string tampered = cipher;
  tampered.back() = static_cast<char>(tampered.back() ^ 1);
  struct Case {
    const char* name;
    bool encrypt;
    std::string data, key, iv;
    const char* prefix;
  };
  const Case cases[] = {
      {"tampered padding", false, tampered, kAes256Key, kNistIv, "CryptDecrypt:"},
      {"not whole blocks", false, cipher.substr(0, 70), kAes256Key, kNistIv, "CryptDecrypt:"},
      {"nothing to decrypt", false, "", kAes256Key, kNistIv, "CryptDecrypt:"},
      {"wrong key", false, cipher, std::string(32, 'w'), kNistIv, "CryptDecrypt:"},
      {"short iv, encrypting", true, kNistPlain, kAes256Key, "0123456789", "CryptSetKeyParam IV:"},
      {"short iv, decrypting", false, cipher, kAes256Key, "0123456789", "CryptSetKeyParam:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    const std::string out =
        c.encrypt ? kCrypto.encryptSymmetric(c.data, c.key, c.iv, CipherMode::Cbc, CryptoAlgorithm::Aes256, &error)
                  : kCrypto.decryptSymmetric(c.data, c.key, c.iv, CipherMode::Cbc, CryptoAlgorithm::Aes256, &error);
    EXPECT_EQ(out, "");
    // The step, then "Err <code>:<reason>" from the platform.
    const std::string head = std::string(c.prefix) + "Err ";
    ASSERT_EQ(error.substr(0, head.size()), head) << error;
    const std::size_t colon = error.find(':', head.size());
    ASSERT_NE(colon, std::string::npos) << error;
    EXPECT_GT(colon, head.size()) << error;
    EXPECT_EQ(error.find_first_not_of("0123456789", head.size()), colon) << error;
  }
}

TEST(Base64, Rfc4648Vectors) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(base64Encode(bytes), text);
    EXPECT_EQ(base64Decode(text), bytes);
  }
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  EXPECT_EQ(base64Decode(base64Encode(all)), all);
  EXPECT_EQ(base64Encode("\xfb\xff"), "+/8=");
  // The signature's 178 ASCII bytes always give 240 characters ending in "==".
  const std::string sign = base64Encode(std::string(178, 'a'));
  EXPECT_EQ(sign.size(), 240u);
  EXPECT_EQ(sign.substr(238), "==");
}

TEST(Base64, MalformedTextGivesNothing) {
  for (const char* text : {"Zg=", "Zg", "Z===", "====", "Zm9v\r\n", "Zm9 v", "Zm=v", "Zg==Zg==", "Zm9v====", "Zm9-"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(base64Decode(text), "");
  }
}

}  // namespace
}  // namespace pv
