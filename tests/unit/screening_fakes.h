#pragma once
// Fakes of the screening tests: requests with a fixed time and random text (so a test knows
// the keys of the answer), answers sealed as the service seals them, and a restart host
// that records instead of ending the process.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/process/restart.h"
#include "core/crypto/base64.h"
#include "core/crypto/crypto.h"
#include "core/screening/request.h"
#include "core/text/codepage.h"
#include "tests/unit/api_fakes.h"

namespace pv::testing {

inline ScreeningRequest fixedRequest(std::int32_t id, const std::vector<std::string>& addresses) {
  return buildScreeningRequest(id, addresses, 1765000000, "abcdefghij0123456x", "0123456789ABCDEF0123456789ABCDEF");
}

// `data` encrypted as the service does it for a fixed request of `count` addresses.
inline std::string sealedData(std::string_view verdictsJson, size_t count) {
  const ScreeningRequest keys = fixedRequest(101, std::vector<std::string>(count, "x"));
  return base64Encode(CryptoToolkit().encryptSymmetric(verdictsJson, keys.responseKey, keys.responseIv,
                                                       CipherMode::Cbc, CryptoAlgorithm::Aes256));
}

inline std::string answerWith(std::string_view verdictsJson, size_t count, std::string_view msg = "ok") {
  return envelope(0, msg, "\"" + sealedData(verdictsJson, count) + "\"");
}

// Verdicts of the service for the given GBK inputs, without sites or policies.
inline std::string plainVerdicts(const std::vector<std::string>& inputs) {
  std::string json = "[";
  for (const std::string& input : inputs) {
    if (json.size() > 1) json += ",";
    json += "{\"input\":\"" + gbkToUtf8(input) + "\",\"policies\":[]}";
  }
  return json + "]";
}

class FakeRestartHost final : public RestartHost {
 public:
  std::string program = "C:\\Program Files\\Parcelvane\\parcelvane.exe";
  bool exists = true;
  bool writable = true;
  bool startable = true;
  std::vector<std::pair<std::string, std::string>> written;
  std::vector<std::string> started;
  int ended = -1;

  std::string programPath() override { return program; }
  bool fileExists(std::string_view path) override { return exists && path == program; }
  std::string shortPath(std::string_view) override { return "C:\\PROGRA~1\\PARCEL~1\\PARCEL~1.EXE"; }
  bool writeFile(std::string_view path, std::string_view bytes) override {
    if (!writable) return false;
    written.emplace_back(path, bytes);
    return true;
  }
  bool runHidden(std::string_view path) override {
    started.emplace_back(path);
    return startable;
  }
  void endProcess(int code) override { ended = code; }
};

}  // namespace pv::testing
