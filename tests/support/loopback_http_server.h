#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests: it records every request exactly as it
// arrived (request line, header fields in order, body bytes) and answers each path with a
// scripted response, optionally after a delay. Used as a plain server and as a proxy (a
// proxied request arrives with the absolute url as its target).
//
// One connection per request: every answer carries "Connection: close". Runs its own
// threads; the destructor ends them promptly, also in the middle of a delay. Portable
// sockets: BSD sockets on Linux, Winsock on Windows.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace pv::test {

struct RecordedRequest {
  std::string method;
  std::string target;   // as sent: "/path?query", or "http://host/path" through a proxy
  std::string version;  // "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // values without outer blanks
  std::string body{};

  // Value of the first field of that name (letter case ignored); empty when absent.
  std::string header(std::string_view name) const;
  int headerCount(std::string_view name) const;
  // The target's path and query, also when the target is an absolute url.
  std::string pathAndQuery() const;
};

struct ScriptedResponse {
  int status = 200;
  std::string reason = "OK";
  std::vector<std::string> headerLines{};  // "Name: value", sent as given
  std::string body{};
  int delayMs = 0;  // before the answer is sent
  // When set, a request without this Authorization value is answered 401 with a Basic
  // challenge instead.
  std::string requiredAuthorization{};
  // When not negative, only this many bytes of the body go out before the connection
  // closes; Content-Length still counts the whole body (a transfer broken mid-body).
  int cutBodyAt = -1;
};

class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  bool listening() const { return port_ != 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path
  std::string url(std::string_view path) const;

  // Answers requests for `path` (the target's path and query, or its path alone). Requests
  // without a route get 200 with the body "ok".
  void route(const std::string& path, ScriptedResponse response);

  std::vector<RecordedRequest> requests() const;
  void clearRequests();

 private:
  struct Connection;
  void acceptLoop();
  void serve(Connection& connection);
  ScriptedResponse responseFor(const RecordedRequest& request) const;

  std::atomic<bool> stopping_{false};
  intptr_t listener_ = -1;
  int port_ = 0;
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::map<std::string, ScriptedResponse> routes_;
  std::vector<RecordedRequest> requests_;
  std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace pv::test
