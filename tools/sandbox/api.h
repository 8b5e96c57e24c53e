#pragma once
// The screening service's API, apart from the HTTP server that carries it: one call in,
// one answer out. Thread-safe; request threads share one SandboxApi.
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "tools/sandbox/faults.h"
#include "tools/sandbox/gazetteer.h"
#include "tools/sandbox/rulebase.h"
#include "tools/sandbox/screening.h"
#include "tools/sandbox/sessions.h"

namespace pv::sandbox {

inline constexpr std::string_view kApiPrefix = "/api/v2";
inline constexpr std::string_view kControlPrefix = "/__control";

struct ApiRequest {
  std::string method;                            // upper case
  std::string path;                              // without the query
  std::multimap<std::string, std::string> query;
  std::string authentication;                    // the "Authentication" header's value
  std::string body;
};

struct ApiResponse {
  int status = 200;
  std::string contentType = "application/json; charset=utf-8";
  std::string body;
  std::string allow;         // for 405: the methods the path takes
  bool disconnect = false;   // send half of the body, then drop the connection
  int code = 0;              // the envelope's code, for the log
  std::string endpoint;      // the endpoint's name, for the log ("" when none)
  bool faulted = false;      // a scripted fault shaped this answer
};

struct ApiOptions {
  bool control = true;       // serve /__control/...
};

class SandboxApi {
 public:
  SandboxApi(const RuleBase& rules, const Gazetteer& gazetteer, int64_t tokenLifetime,
          ApiOptions options = {});

  ApiResponse handle(const ApiRequest& request);

  FaultPlan& faults() { return faults_; }
  ServiceClock& clock() { return clock_; }
  const Screener& screener() const { return screener_; }

 private:
  struct Route;
  struct ControlRoute;
  ApiResponse dispatch(const ApiRequest& request, const Route& route, std::string_view rest);
  // The control plane (control.cpp).
  ApiResponse control(const ApiRequest& request);
  ApiResponse clockAnswer() const;

  ApiResponse login(const ApiRequest& request);
  ApiResponse account(const ApiRequest& request);
  ApiResponse refreshToken(const ApiRequest& request);
  ApiResponse checkVersion(const ApiRequest& request);
  ApiResponse global(const ApiRequest& request);
  ApiResponse picture(std::string_view name);
  ApiResponse products(const ApiRequest& request);
  ApiResponse services(const ApiRequest& request);
  ApiResponse pick(const ApiRequest& request, std::string_view idText, const Fault* fault);

  // The account of the request's bearer token, or an answer refusing the call.
  bool authenticate(const ApiRequest& request, int& accountId, ApiResponse& refusal) const;
  // Whether a screening request with this seal was answered already.
  bool answeredBefore(const std::string& seal);
  // Remembers an answered screening request; false when it was answered before.
  bool firstAnswer(const std::string& seal, int64_t timestamp);

  const RuleBase& rules_;
  const Gazetteer& gazetteer_;
  const ApiOptions options_;
  Screener screener_;
  Sessions sessions_;
  ServiceClock clock_;
  FaultPlan faults_;

  std::mutex answeredMutex_;
  std::unordered_set<std::string> answered_;
  std::deque<std::pair<int64_t, std::string>> answeredOrder_;  // by arrival, for forgetting
  // Addresses of each answered screening request since the start or the last reset, so a
  // test can see how a client cut its batches.
  std::vector<size_t> pickSizes_;
};

// {"code":…,"msg":…,"data":…}; `dataJson` is inserted as it is, "" leaves data out.
std::string envelope(int code, std::string_view msg, std::string_view dataJson = "");

}  // namespace pv::sandbox
