#pragma once
// An HTTPS server on 127.0.0.1 with a self-signed certificate made at start (valid, for the
// right name, but signed by no authority anyone trusts). It tells how each handshake ended,
// so a test can see that a client refused the certificate rather than failing some other
// way. Native builds only (OpenSSL); on Windows listening() is false.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace pv::test {

class LoopbackTlsServer {
 public:
  LoopbackTlsServer();
  ~LoopbackTlsServer();
  LoopbackTlsServer(const LoopbackTlsServer&) = delete;
  LoopbackTlsServer& operator=(const LoopbackTlsServer&) = delete;

  bool listening() const { return port_ != 0; }
  // "https://127.0.0.1:<port>" + path
  std::string url(std::string_view path) const;

  // How the last handshake ended: empty while none has, "accepted" when it completed (the
  // server then answers 200 with the body "secret"), else the TLS error, such as the alert
  // a client sent when it refused the certificate.
  std::string handshakeOutcome() const;

 private:
  struct Tls;
  void acceptLoop();

  std::unique_ptr<Tls> tls_;
  std::atomic<bool> stopping_{false};
  int listener_ = -1;
  int port_ = 0;
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::string outcome_;
};

}  // namespace pv::test
