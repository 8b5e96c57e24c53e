#include "tests/support/loopback_http_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace pv::test {
namespace {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void closeSocket(Socket s) { closesocket(s); }
constexpr int kSendFlags = 0;
bool socketsReady() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
void closeSocket(Socket s) { close(s); }
constexpr int kSendFlags = MSG_NOSIGNAL;
bool socketsReady() { return true; }
#endif

Socket toSocket(intptr_t s) { return static_cast<Socket>(s); }

constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr size_t kMaxBodyBytes = 16 * 1024 * 1024;
// A connection that sends nothing for this long is given up.
constexpr auto kIdleLimit = std::chrono::seconds(10);

// Waits up to 50 ms for the socket to become readable; lets the caller look at the stop flag.
bool readable(Socket s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{0, 50 * 1000};
  return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &wait) > 0;
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string trimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool sendAll(Socket s, std::string_view data) {
  while (!data.empty()) {
    const int chunk = static_cast<int>(std::min<size_t>(data.size(), 1 << 20));
    const int sent = send(s, data.data(), chunk, kSendFlags);
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

// Parses the head of a request; false when it is not one.
bool parseHead(std::string_view head, RecordedRequest& request) {
  const size_t lineEnd = head.find("\r\n");
  const std::string_view line = head.substr(0, lineEnd);
  const size_t a = line.find(' ');
  const size_t b = a == std::string_view::npos ? a : line.find(' ', a + 1);
  if (b == std::string_view::npos) return false;
  request.method = std::string(line.substr(0, a));
  request.target = std::string(line.substr(a + 1, b - a - 1));
  request.version = std::string(line.substr(b + 1));
  size_t at = lineEnd == std::string_view::npos ? head.size() : lineEnd + 2;
  while (at < head.size()) {
    size_t end = head.find("\r\n", at);
    if (end == std::string_view::npos) end = head.size();
    const std::string_view field = head.substr(at, end - at);
    if (const size_t colon = field.find(':'); colon != std::string_view::npos)
      request.headers.emplace_back(std::string(field.substr(0, colon)), trimBlanks(field.substr(colon + 1)));
    at = end + 2;
  }
  return true;
}

}  // namespace

std::string RecordedRequest::header(std::string_view name) const {
  const std::string wanted = lowerAscii(name);
  for (const auto& [n, v] : headers)
    if (lowerAscii(n) == wanted) return v;
  return {};
}

int RecordedRequest::headerCount(std::string_view name) const {
  const std::string wanted = lowerAscii(name);
  int count = 0;
  for (const auto& field : headers) count += lowerAscii(field.first) == wanted ? 1 : 0;
  return count;
}

std::string RecordedRequest::pathAndQuery() const {
  const size_t scheme = target.find("://");
  if (scheme == std::string::npos) return target;
  const size_t path = target.find('/', scheme + 3);
  return path == std::string::npos ? "/" : target.substr(path);
}

struct LoopbackHttpServer::Connection {
  Socket socket = kNoSocket;
  std::thread thread;
};

LoopbackHttpServer::LoopbackHttpServer() {
  if (!socketsReady()) return;
  const Socket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == kNoSocket) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 32) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closeSocket(s);
    return;
  }
  listener_ = static_cast<intptr_t>(s);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  if (listener_ != -1) closeSocket(toSocket(listener_));
  // No new connection can appear now that the acceptor has ended.
  for (auto& connection : connections_) {
    if (connection->thread.joinable()) connection->thread.join();
    closeSocket(connection->socket);
  }
}

std::string LoopbackHttpServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void LoopbackHttpServer::route(const std::string& path, ScriptedResponse response) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(response);
}

std::vector<RecordedRequest> LoopbackHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackHttpServer::clearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

void LoopbackHttpServer::acceptLoop() {
  const Socket listener = toSocket(listener_);
  while (!stopping_) {
    if (!readable(listener)) continue;
    const Socket s = accept(listener, nullptr, nullptr);
    if (s == kNoSocket) continue;
    std::lock_guard lock(mutex_);
    auto connection = std::make_unique<Connection>();
    connection->socket = s;
    Connection& c = *connection;
    connections_.push_back(std::move(connection));
    c.thread = std::thread([this, &c] { serve(c); });
  }
}

ScriptedResponse LoopbackHttpServer::responseFor(const RecordedRequest& request) const {
  const std::string full = request.pathAndQuery();
  std::lock_guard lock(mutex_);
  if (auto it = routes_.find(full); it != routes_.end()) return it->second;
  if (auto it = routes_.find(full.substr(0, full.find('?'))); it != routes_.end()) return it->second;
  ScriptedResponse fallback;
  fallback.body = "ok";
  return fallback;
}

void LoopbackHttpServer::serve(Connection& connection) {
  const Socket s = connection.socket;
  std::string received;
  size_t headEnd = std::string::npos;
  size_t bodyLength = 0;
  auto lastData = std::chrono::steady_clock::now();
  RecordedRequest request;
  char buffer[16384];
  while (!stopping_) {
    if (headEnd == std::string::npos) {
      headEnd = received.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        if (!parseHead(std::string_view(received).substr(0, headEnd), request)) return;
        // The length is the client's claim: refuse what is no number or beyond reason.
        if (const std::string length = request.header("Content-Length"); !length.empty()) {
          if (length.size() > 9 || length.find_first_not_of("0123456789") != std::string::npos) return;
          bodyLength = std::stoul(length);
          if (bodyLength > kMaxBodyBytes) return;
        }
      } else if (received.size() > kMaxHeadBytes) {
        return;
      }
    }
    if (headEnd != std::string::npos && received.size() >= headEnd + 4 + bodyLength) break;
    if (std::chrono::steady_clock::now() - lastData > kIdleLimit) return;
    if (!readable(s)) continue;
    const int n = recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    received.append(buffer, static_cast<size_t>(n));
    lastData = std::chrono::steady_clock::now();
  }
  if (stopping_) return;
  request.body = received.substr(headEnd + 4, bodyLength);
  ScriptedResponse response = responseFor(request);
  if (!response.requiredAuthorization.empty() &&
      request.header("Authorization") != response.requiredAuthorization)
    response = ScriptedResponse{401, "Unauthorized", {"WWW-Authenticate: Basic realm=\"loopback\""}, "who?"};
  {
    std::unique_lock lock(mutex_);
    requests_.push_back(request);
    if (response.delayMs > 0 &&
        stopped_.wait_for(lock, std::chrono::milliseconds(response.delayMs), [this] { return stopping_.load(); }))
      return;
  }
  std::string answer = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
  for (const std::string& line : response.headerLines) answer += line + "\r\n";
  answer += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  answer += "Connection: close\r\n\r\n";
  if (request.method != "HEAD") {
    const bool cut = response.cutBodyAt >= 0 && static_cast<size_t>(response.cutBodyAt) < response.body.size();
    answer += cut ? response.body.substr(0, static_cast<size_t>(response.cutBodyAt)) : response.body;
  }
  sendAll(s, answer);
#ifdef _WIN32
  shutdown(s, SD_SEND);
#else
  shutdown(s, SHUT_WR);
#endif
  // Let the client read the answer before the socket goes: wait (bounded) for its close.
  for (int i = 0; i < 40 && !stopping_; ++i)
    if (readable(s) && recv(s, buffer, sizeof buffer, 0) <= 0) break;
}

}  // namespace pv::test
