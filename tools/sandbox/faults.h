#pragma once
// Scripted faults for tests: what the next calls of an endpoint go wrong with. Set through
// the control endpoint (POST /__control/faults) or a file given with --faults; the same
// JSON either way (README.md, "Local screening service"). Thread-safe.
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pv::sandbox {

struct Fault {
  std::string endpoint = "*";  // an endpoint name (see kEndpointNames) or "*" for any
  int times = 1;               // calls it applies to; -1: until cleared
  int delayMs = 0;             // wait before answering
  int status = 0;              // answer with this HTTP status and an error envelope
  std::optional<int> code;     // answer HTTP 200 with this code and `msg`, no data
  std::string msg;
  // How the otherwise normal answer is spoiled: "truncated" (first half of the body),
  // "garbage" (not JSON), "disconnect" (the connection drops half-way through the body),
  // "undecryptable" (a screening answer's data is not our cipher text), "fewer" (a
  // screening answer carries `entries` verdicts, by default one less than asked for),
  // "wrapped" (its data in lines of 76 characters ended by CRLF), "nomsg" (code 0 with an
  // empty msg and real data), "nosites" and "nopolicies" (its entries lack that member).
  std::string body;
  int entries = -1;
};

// The names by which faults address endpoints.
inline constexpr std::string_view kEndpointNames[] = {
    "auth", "account", "token", "versions", "global", "picture", "products", "services",
    "pick"};

// Reads one fault object, an array of them, or {"faults": [...]}. False with the reason
// in `error` when anything is out of place; nothing is returned half-read.
bool parseFaults(std::string_view json, std::vector<Fault>& out, std::string& error);

class FaultPlan {
 public:
  void add(const std::vector<Fault>& faults);
  void clear();
  // The first pending fault for `endpoint`, used up by one call.
  std::optional<Fault> take(std::string_view endpoint);
  // The pending faults as JSON, for GET /__control/faults.
  std::string describe() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Fault> pending_;
};

}  // namespace pv::sandbox
