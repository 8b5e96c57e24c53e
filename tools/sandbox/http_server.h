#pragma once
// Carries SandboxApi over HTTP/1.1 on loopback (cpp-httplib) and logs one line per request
// to stderr.
#include <cstddef>
#include <memory>

namespace pv::sandbox {

class SandboxApi;

struct ServerOptions {
  int port = 18080;                 // 0: any free port
  int threads = 256;                // connections served at once (idle keep-alive ones included)
  size_t maxBody = 1024 * 1024;     // larger bodies get 413
};

class HttpServer {
 public:
  HttpServer(SandboxApi& api, const ServerOptions& options);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds 127.0.0.1; the port bound, or -1 when it could not.
  int bind();
  // Serves until stop(); false when serving failed.
  bool run();
  // Any thread, also before run() has started serving.
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pv::sandbox
