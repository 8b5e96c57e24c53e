#include "tests/support/loopback_tls_server.h"

#ifdef _WIN32

namespace pv::test {

struct LoopbackTlsServer::Tls {};
LoopbackTlsServer::LoopbackTlsServer() = default;
LoopbackTlsServer::~LoopbackTlsServer() = default;
std::string LoopbackTlsServer::url(std::string_view) const { return {}; }
std::string LoopbackTlsServer::handshakeOutcome() const { return {}; }
void LoopbackTlsServer::acceptLoop() {}

}  // namespace pv::test

#else

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pv::test {
namespace {

struct KeyDeleter {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertDeleter {
  void operator()(X509* c) const { X509_free(c); }
};
struct ContextDeleter {
  void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};
struct SslDeleter {
  void operator()(SSL* s) const { SSL_free(s); }
};

bool readable(int s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{0, ms * 1000};
  return select(s + 1, &set, nullptr, nullptr, &wait) > 0;
}

// Self-signed, for 127.0.0.1 by name and address, valid for an hour from now.
std::unique_ptr<X509, CertDeleter> makeCertificate(EVP_PKEY* key) {
  std::unique_ptr<X509, CertDeleter> cert(X509_new());
  if (!cert) return nullptr;
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
  if (X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, "IP:127.0.0.1")) {
    X509_add_ext(cert.get(), san, -1);
    X509_EXTENSION_free(san);
  }
  if (X509_sign(cert.get(), key, EVP_sha256()) == 0) return nullptr;
  return cert;
}

}  // namespace

struct LoopbackTlsServer::Tls {
  std::unique_ptr<SSL_CTX, ContextDeleter> context;
};

LoopbackTlsServer::LoopbackTlsServer() : tls_(std::make_unique<Tls>()) {
  std::unique_ptr<EVP_PKEY, KeyDeleter> key(EVP_EC_gen("P-256"));
  if (!key) return;
  const auto cert = makeCertificate(key.get());
  tls_->context.reset(SSL_CTX_new(TLS_server_method()));
  if (!cert || !tls_->context || SSL_CTX_use_certificate(tls_->context.get(), cert.get()) != 1 ||
      SSL_CTX_use_PrivateKey(tls_->context.get(), key.get()) != 1)
    return;

  const int s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(s);
    return;
  }
  listener_ = s;
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackTlsServer::~LoopbackTlsServer() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  if (listener_ >= 0) close(listener_);
}

std::string LoopbackTlsServer::url(std::string_view path) const {
  return "https://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string LoopbackTlsServer::handshakeOutcome() const {
  std::lock_guard lock(mutex_);
  return outcome_;
}

// One connection at a time is enough for these tests; every wait is bounded by the socket's
// time-outs and the stop flag.
void LoopbackTlsServer::acceptLoop() {
  while (!stopping_) {
    if (!readable(listener_, 50)) continue;
    const int s = accept(listener_, nullptr, nullptr);
    if (s < 0) continue;
    timeval bound{2, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    std::unique_ptr<SSL, SslDeleter> ssl(SSL_new(tls_->context.get()));
    std::string outcome = "no session";
    if (ssl && SSL_set_fd(ssl.get(), s) == 1) {
      ERR_clear_error();
      if (SSL_accept(ssl.get()) == 1) {
        outcome = "accepted";
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
          const int n = SSL_read(ssl.get(), buffer, sizeof buffer);
          if (n <= 0) break;
          request.append(buffer, static_cast<size_t>(n));
        }
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Length: 6\r\nConnection: close\r\n\r\nsecret";
        SSL_write(ssl.get(), answer.data(), static_cast<int>(answer.size()));
        SSL_shutdown(ssl.get());
      } else {
        const unsigned long error = ERR_get_error();
        const char* reason = error ? ERR_reason_error_string(error) : nullptr;
        outcome = reason ? reason : "handshake failed";
      }
    }
    ssl.reset();
    close(s);
    std::lock_guard lock(mutex_);
    outcome_ = outcome;
  }
}

}  // namespace pv::test

#endif
