// The service's control plane (/__control/...): what tests and demos use to script faults,
// move the clock, read the record of screening requests and start afresh. Not part of the
// service's API; --no-control turns it off.
#include <rapidjson/document.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sandbox/api.h"
#include "tools/sandbox/api_json.h"
#include "tools/sandbox/codes.h"

namespace pv::sandbox {
namespace {

// The clock moves by at most ten years either way: enough for any expiry or window a test
// needs, and far from overflowing the seconds.
constexpr int64_t kMaxClockOffset = 3650LL * 86400;

}  // namespace

struct SandboxApi::ControlRoute {
  std::string_view what, method;
  ApiResponse (*handle)(SandboxApi& api, const ApiRequest& request);
};

ApiResponse SandboxApi::control(const ApiRequest& request) {
  static const ControlRoute kRoutes[] = {
      {"/faults", "GET", [](SandboxApi& api, const ApiRequest&) {
         return answer(code::kOk, "成功", api.faults_.describe());
       }},
      {"/faults", "DELETE", [](SandboxApi& api, const ApiRequest&) {
         api.faults_.clear();
         return answer(code::kOk, "已清除");
       }},
      {"/faults", "POST", [](SandboxApi& api, const ApiRequest& request) {
         std::vector<Fault> faults;
         std::string error;
         if (!parseFaults(request.body, faults, error)) return answer(code::kBadRequest, error, "", 400);
         api.faults_.add(faults);
         return answer(code::kOk, "已添加", api.faults_.describe());
       }},
      {"/clock", "GET", [](SandboxApi& api, const ApiRequest&) { return api.clockAnswer(); }},
      {"/clock", "POST", [](SandboxApi& api, const ApiRequest& request) {
         rapidjson::Document doc;
         doc.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(request.body.data(),
                                                                                        request.body.size());
         if (doc.HasParseError() || !doc.IsObject() || !doc.HasMember("offsetSeconds") ||
             !doc["offsetSeconds"].IsInt64() || doc["offsetSeconds"].GetInt64() > kMaxClockOffset ||
             doc["offsetSeconds"].GetInt64() < -kMaxClockOffset) {
           return answer(code::kBadRequest,
                         "需要 {\"offsetSeconds\": 整数}，绝对值不超过 " + std::to_string(kMaxClockOffset) +
                             " 秒（十年）",
                         "", 400);
         }
         api.clock_.setOffset(doc["offsetSeconds"].GetInt64());
         return api.clockAnswer();
       }},
      {"/requests", "GET", [](SandboxApi& api, const ApiRequest&) {
         std::lock_guard lock(api.answeredMutex_);
         return answer(code::kOk, "成功", writeJson([&](Writer& w) {
                         w.StartObject();
                         w.Key("pick");
                         w.StartArray();
                         for (const size_t size : api.pickSizes_) w.Uint64(size);
                         w.EndArray();
                         w.EndObject();
                       }));
       }},
      {"/reset", "POST", [](SandboxApi& api, const ApiRequest&) {
         api.faults_.clear();
         api.clock_.setOffset(0);
         api.sessions_.clear();
         std::lock_guard lock(api.answeredMutex_);
         api.answered_.clear();
         api.answeredOrder_.clear();
         api.pickSizes_.clear();
         return answer(code::kOk, "已重置");
       }},
  };

  const std::string_view what = std::string_view(request.path).substr(kControlPrefix.size());
  bool known = false;
  for (const ControlRoute& route : kRoutes) {
    if (route.what != what) continue;
    known = true;
    if (route.method == request.method) return route.handle(*this, request);
  }
  if (!known) return answer(code::kNotFound, "没有这个控制接口", "", 404);
  return answer(code::kMethodNotAllowed, "此控制接口不接受 " + request.method + " 请求", "", 405);
}

ApiResponse SandboxApi::clockAnswer() const {
  return answer(code::kOk, "成功", writeJson([&](Writer& w) {
                  w.StartObject();
                  integer(w, "now", clock_.now());
                  integer(w, "offsetSeconds", clock_.offset());
                  w.EndObject();
                }));
}

}  // namespace pv::sandbox
