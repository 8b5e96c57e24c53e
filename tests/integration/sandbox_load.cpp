// sandbox_load: many clients at once send screening calls of 20 addresses to the sandbox
// on loopback and the figures are printed: requests per second and latency percentiles.
// A benchmark, not a test: run it by hand (README.md, "Local screening service").
//
// Each request is built by the client's own builder beforehand (the sandbox refuses a body
// it has answered before), then sent and timed from the call to the whole answer; after
// the run every answer is checked: code 0 and data that decrypts to one verdict per address.
#include <httplib.h>

#include <algorithm>
#include <barrier>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/crypto/base64.h"
#include "core/crypto/crypto.h"
#include "core/json/json.h"
#include "core/screening/request.h"
#include "tests/integration/sandbox_process.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  int clients = 200;
  int requestsPerClient = 10;
  int addresses = 20;
  int port = 0;             // 0: start a sandbox of our own
  bool newConnections = false;
};

// GBK address texts, as the client holds them: a mix that meets every kind of rule.
const char* const kAddresses[] = {
    "浙江省杭州市西湖区转塘街道之江路1号",   "杭州市余杭区文一西路998号",
    "浙江省杭州市上城区测试地址",           "杭州市西湖区黄龙体育中心附近",
    "杭州市西湖区浙江大学玉泉校区",         "浙江省杭州市西湖区双浦镇铜鉴湖村",
    "浙江省杭州市淳安县枫树岭镇下姜村3组",  "浙江省杭州市上城区湖滨街道平海路1号",
    "北京朝阳区首都机场街道机场路1号",      "杭州西湖区西溪路88号",
};

bool parseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto number = [&](int& out, int lo, int hi) {
      if (i + 1 >= argc) return false;
      out = std::atoi(argv[++i]);
      return out >= lo && out <= hi;
    };
    bool ok = true;
    if (arg == "--clients") ok = number(o.clients, 1, 2000);
    else if (arg == "--requests") ok = number(o.requestsPerClient, 1, 100000);
    else if (arg == "--addresses") ok = number(o.addresses, 1, 20);
    else if (arg == "--port") ok = number(o.port, 1, 65535);
    else if (arg == "--new-connections") o.newConnections = true;
    else ok = false;
    if (!ok) return false;
  }
  return true;
}

double percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const size_t at = static_cast<size_t>(p / 100 * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(at, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parseOptions(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: sandbox_load [--clients 200] [--requests 10 (per client)] "
                 "[--addresses 20] [--port P (default: own sandbox)] [--new-connections]\n");
    return 2;
  }
  std::unique_ptr<pv::testing::SandboxProcess> own;
  if (o.port == 0) {
    own = std::make_unique<pv::testing::SandboxProcess>(std::vector<std::string>{}, true);
    o.port = own->port();
    if (o.port == 0) {
      std::fprintf(stderr, "sandbox_load: the sandbox did not start\n");
      return 1;
    }
  }

  httplib::Client login("127.0.0.1", o.port);
  const auto auth = login.Post("/api/v2/pub/auth", R"({"username":"demo","password":"demo123"})",
                               "application/json");
  pv::JsonDocument answer;
  if (!auth || !answer.parse(auth->body) || answer.at("/data/token").text().empty()) {
    std::fprintf(stderr, "sandbox_load: login failed\n");
    return 1;
  }
  const httplib::Headers headers = {{"Authentication", "Bearer " + answer.at("/data/token").text()}};

  std::vector<std::string> batch;
  for (int i = 0; i < o.addresses; ++i) batch.push_back(kAddresses[i % std::size(kAddresses)]);

  // Answers are checked after the clock stops, so that checking does not take CPU from
  // the sandbox on a small machine while it is being measured.
  struct Sent {
    pv::ScreeningRequest request;
    int status = 0;
    std::string body;
    double ms = 0;
  };
  std::vector<std::vector<Sent>> sent(o.clients);
  std::barrier start(o.clients + 1);
  std::vector<std::thread> clients;
  for (int c = 0; c < o.clients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", o.port);
      client.set_keep_alive(!o.newConnections);
      client.set_tcp_nodelay(true);
      client.set_connection_timeout(30, 0);
      client.set_read_timeout(130, 0);
      // Built before the clock starts: the client's cost is not the service's.
      for (int r = 0; r < o.requestsPerClient; ++r) {
        sent[c].push_back({pv::buildScreeningRequest(101, batch), 0, "", 0});
      }
      start.arrive_and_wait();
      for (Sent& s : sent[c]) {
        const auto begin = Clock::now();
        const auto result = client.Post("/api/v2/effectiveServiceBusinesses/101/pick", headers,
                                        std::string(s.request.body.view()), "application/json");
        s.ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        if (result) {
          s.status = result->status;
          s.body = result->body;
        }
      }
    });
  }
  start.arrive_and_wait();
  const auto began = Clock::now();
  for (std::thread& t : clients) t.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - began).count();

  int answered = 0, refused = 0, failed = 0;
  std::vector<double> all;
  for (const auto& list : sent) {
    for (const Sent& s : list) {
      all.push_back(s.ms);
      pv::JsonDocument reply, verdicts;
      if (s.status != 200 || !reply.parse(s.body)) {
        ++failed;
        continue;
      }
      const std::string plain = pv::CryptoToolkit().decryptSymmetric(
          pv::base64Decode(reply.at("/data").text()), s.request.responseKey, s.request.responseIv,
          pv::CipherMode::Cbc, pv::CryptoAlgorithm::Aes256);
      const bool whole = reply.at("/code").toInt() == 0 && verdicts.parse(plain) &&
                         verdicts.root().size() == batch.size();
      ++(whole ? answered : refused);
    }
  }
  std::sort(all.begin(), all.end());
  const int total = o.clients * o.requestsPerClient;
  std::printf("sandbox_load: %d clients x %d requests of %d addresses (%s)\n", o.clients,
              o.requestsPerClient, o.addresses,
              o.newConnections ? "a new connection per request" : "keep-alive connections");
  std::printf("  answered %d, refused %d, failed %d of %d\n", answered, refused, failed, total);
  std::printf("  %.2f s, %.0f requests/s, %.0f addresses/s\n", seconds, total / seconds,
              total * o.addresses / seconds);
  std::printf("  latency ms: p50 %.1f  p90 %.1f  p99 %.1f  max %.1f\n", percentile(all, 50),
              percentile(all, 90), percentile(all, 99), all.empty() ? 0 : all.back());
  return answered == total ? 0 : 1;
}
