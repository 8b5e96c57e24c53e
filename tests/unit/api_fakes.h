#pragma once
// A service client wired to fakes: the in-memory windows, recorded boxes, browser and
// menu, a settable clock, workers that run when the test says, and a transport that
// answers from a script. Answers and requests are keyed by method and the URL's path
// (with its query) on the fake host.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/client/client_context.h"
#include "core/client/login_window.h"
#include "core/client/window_lifecycle.h"
#include "core/net/http_transport.h"
#include "core/ui/memory_ui.h"
#include "tests/unit/settings_fakes.h"
#include "tests/unit/utf8_literal.h"

namespace pv::testing {

inline constexpr std::string_view kFakeOrigin = "http://api.test:8080";
inline constexpr std::string_view kFakeBaseUrl = "http://api.test:8080/api/v2";

class ScriptedTransport final : public HttpTransport {
 public:
  // The answer to every call of method + path (path below the origin, with the query);
  // answerOnce answers the next call only, before any standing answer.
  void answer(std::string_view method, std::string_view path, std::string body, int status = 200) {
    std::lock_guard lock(mutex_);
    standing_[key(method, path)] = HttpWireResponse{std::move(body), statusLine(status), status};
  }
  void answerOnce(std::string_view method, std::string_view path, std::string body,
                  int status = 200) {
    std::lock_guard lock(mutex_);
    once_[key(method, path)].push_back(
        HttpWireResponse{std::move(body), statusLine(status), status});
  }
  // Calls of method + path get no answer (as with a stopped server).
  void silence(std::string_view method, std::string_view path) {
    std::lock_guard lock(mutex_);
    standing_.erase(key(method, path));
    once_.erase(key(method, path));
  }

  std::optional<HttpWireResponse> exchange(const HttpWireRequest& request) noexcept override {
    std::lock_guard lock(mutex_);
    sent_.push_back(request);
    std::string path = request.url;
    if (path.starts_with(kFakeOrigin)) path = path.substr(kFakeOrigin.size());
    const std::string k = key(request.method, path);
    if (auto q = once_.find(k); q != once_.end() && !q->second.empty()) {
      HttpWireResponse r = q->second.front();
      q->second.pop_front();
      return r;
    }
    if (auto s = standing_.find(k); s != standing_.end()) return s->second;
    return HttpWireResponse{};
  }

  std::vector<HttpWireRequest> sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  // The requests to method + path, oldest first.
  std::vector<HttpWireRequest> sentTo(std::string_view method, std::string_view path) const {
    std::vector<HttpWireRequest> out;
    for (const HttpWireRequest& r : sent()) {
      if (r.method == method && r.url == std::string(kFakeOrigin) + std::string(path)) {
        out.push_back(r);
      }
    }
    return out;
  }

 private:
  static std::string key(std::string_view method, std::string_view path) {
    return std::string(method) + " " + std::string(path);
  }
  static std::string statusLine(int status) {
    return "HTTP/1.1 " + std::to_string(status) + " X\r\n\r\n";
  }

  mutable std::mutex mutex_;
  std::map<std::string, HttpWireResponse> standing_;
  std::map<std::string, std::deque<HttpWireResponse>> once_;
  std::vector<HttpWireRequest> sent_;
};

// The value of a header field of a sent request, empty when absent.
inline std::string headerOf(const HttpWireRequest& request, std::string_view name) {
  for (const HttpHeaderField& f : request.headers) {
    if (f.name.size() == name.size() &&
        std::equal(f.name.begin(), f.name.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return f.value;
    }
  }
  return {};
}

// The service's envelope; msg and data are UTF-8 (data is JSON text, left out when empty).
inline std::string envelope(int code, std::string_view msg, std::string_view data = {}) {
  std::string body = "{\"code\":" + std::to_string(code) + ",\"msg\":\"" + std::string(msg) + "\"";
  if (!data.empty()) body += ",\"data\":" + std::string(data);
  return body + "}";
}

// The fakes of a ClientContext's ports, but for the window extras and the two transports,
// which each test rig chooses (recording or logging, scripted or the real ones).
struct ClientFakes {
  MemoryUi ui;
  RecordingDialogs dialogs;
  RecordingBrowser browser;
  FakeClock clock;
  ManualWorkers workers;
  ProcessRecords records;
};

struct ClientRig : ClientFakes {
  ClientRig() {
    records.session.update([](ApiSession& s) { s.baseUrl = std::string(kFakeBaseUrl); });
  }

  RecordingWindowExtras windows{ui};
  ScriptedTransport api;
  ScriptedTransport web;
  ClientContext client{ui, dialogs, browser, windows, clock, workers, api, web, records};
  testing_settings::MapSettingsStore store;
  testing_settings::ReversingProtector protector;
  SettingsPorts settings{ui, store, protector};  // for registerWindowLifecycleEvents

  std::shared_ptr<const ApiSession> session() const { return records.session.load(); }
};

}  // namespace pv::testing
