#include "tools/sandbox/http_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <mutex>

#include "tools/sandbox/api.h"
#include "tools/sandbox/codes.h"

namespace pv::sandbox {
namespace {

using Clock = std::chrono::steady_clock;

// The library listens with a queue of 5 connections (built into Debian's shared library).
// Hundreds of clients connecting at once would see SYNs dropped and retried a second
// later, so the queue is widened once the socket listens.
constexpr int kListenQueue = 512;

class Server : public httplib::Server {
 public:
  void widenListenQueue() {
    const auto socket = svr_sock_.load();
    if (socket != INVALID_SOCKET) ::listen(socket, kListenQueue);
  }
};

// Each request is served by one pool thread from routing to logging.
thread_local Clock::time_point requestStart;
thread_local const ApiResponse* lastAnswer = nullptr;

std::mutex logMutex;

void logLine(const httplib::Request& req, const httplib::Response& res) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const int millis = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
  const double ms =
      std::chrono::duration<double, std::milli>(Clock::now() - requestStart).count();
  const ApiResponse* a = lastAnswer;
  const size_t out = res.body.empty() ? res.content_length_ : res.body.size();
  std::lock_guard lock(logMutex);
  const std::string code = a ? std::to_string(a->code) : "-";
  std::fprintf(stderr, "%s.%03dZ %s:%d %s %s %d code=%s %.1fms in=%zu out=%zu%s%s%s\n", stamp,
               millis, req.remote_addr.c_str(), req.remote_port, req.method.c_str(),
               req.path.c_str(), res.status, code.c_str(), ms, req.body.size(), out,
               a && !a->endpoint.empty() ? " " : "", a ? a->endpoint.c_str() : "",
               a && a->faulted ? " fault" : "");
  lastAnswer = nullptr;
}

}  // namespace

struct HttpServer::Impl {
  SandboxApi& api;
  ServerOptions options;
  Server server;
  thread_local static ApiResponse answerOfThread;

  Impl(SandboxApi& a, const ServerOptions& o) : api(a), options(o) {}

  void serve(const httplib::Request& req, httplib::Response& res) {
    ApiRequest request;
    request.method = req.method;
    request.path = req.path;
    for (const auto& [key, value] : req.params) request.query.emplace(key, value);
    request.authentication = req.get_header_value("Authentication");
    request.body = req.body;

    answerOfThread = api.handle(request);
    const ApiResponse& a = answerOfThread;
    lastAnswer = &answerOfThread;
    res.status = a.status;
    if (!a.allow.empty()) res.set_header("Allow", a.allow);
    if (a.disconnect) {
      // Promise the whole body, send half, then give up: the client sees the connection
      // drop in the middle of the answer.
      const auto body = std::make_shared<std::string>(a.body);
      res.set_content_provider(
          body->size(), a.contentType,
          [body](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset != 0 || body->size() < 2) return false;
            sink.write(body->data(), body->size() / 2);
            return true;
          });
    } else {
      res.set_content(a.body, a.contentType);
    }
  }
};

thread_local ApiResponse HttpServer::Impl::answerOfThread;

HttpServer::HttpServer(SandboxApi& api, const ServerOptions& options)
    : impl_(std::make_unique<Impl>(api, options)) {
  httplib::Server& s = impl_->server;
  const int threads = options.threads;
  s.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  // The library's default also sets SO_REUSEPORT, which lets a second sandbox bind the
  // same port and quietly share its calls; a busy port must be an error instead.
  s.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  s.set_payload_max_length(options.maxBody);
  // A client that stops sending half-way through a request holds a thread no longer than this.
  s.set_read_timeout(5, 0);
  s.set_write_timeout(10, 0);
  // An idle keep-alive connection holds a pool thread until it times out; keep that short
  // so that connections waiting for a thread get one soon.
  s.set_keep_alive_max_count(100);
  s.set_keep_alive_timeout(1);
  // Headers and body go out in separate writes; without this the body waits for the
  // client's delayed acknowledgement of the headers (tens of milliseconds per answer).
  s.set_tcp_nodelay(true);

  s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    requestStart = Clock::now();
    lastAnswer = nullptr;
    // A request without Content-Length and without chunked transfer has no body (HTTP/1.1
    // message length rules), but the library would read a PUT or POST until the connection
    // closes. The client's token refresh is such a PUT: answer it at once, with no body.
    const bool mayHaveBody = req.method == "POST" || req.method == "PUT" || req.method == "PATCH";
    if (mayHaveBody && !req.has_header("Content-Length") && !req.has_header("Transfer-Encoding")) {
      impl_->serve(req, res);
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  const auto handler = [this](const httplib::Request& req, httplib::Response& res) {
    impl_->serve(req, res);
  };
  for (const char* pattern : {".*"}) {
    s.Get(pattern, handler);
    s.Post(pattern, handler);
    s.Put(pattern, handler);
    s.Delete(pattern, handler);
    s.Patch(pattern, handler);
    s.Options(pattern, handler);
  }
  // Refusals made by the HTTP layer itself (oversized body or URI, malformed request)
  // still answer in the API's envelope.
  s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty() || res.content_length_ != 0) return;
    const int code = res.status == 413 ? code::kTooLarge : code::kBadRequest;
    const char* msg = res.status == 413 ? "请求体过大" : "请求无法解析";
    res.set_content(envelope(code, msg), "application/json; charset=utf-8");
  });
  s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    res.status = 500;
    res.set_content(envelope(code::kInternal, "服务器内部错误"), "application/json; charset=utf-8");
  });
  s.set_logger(logLine);
}

HttpServer::~HttpServer() = default;

int HttpServer::bind() {
  Server& s = impl_->server;
  const int port = impl_->options.port == 0
                       ? s.bind_to_any_port("127.0.0.1")
                       : (s.bind_to_port("127.0.0.1", impl_->options.port) ? impl_->options.port : -1);
  if (port > 0) s.widenListenQueue();
  return port;
}

bool HttpServer::run() { return impl_->server.listen_after_bind(); }

void HttpServer::stop() { impl_->server.stop(); }

}  // namespace pv::sandbox
