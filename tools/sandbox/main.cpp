// parcelvane-sandbox: the local screening service for development, demos and tests.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tools/sandbox/api.h"
#include "tools/sandbox/faults.h"
#include "tools/sandbox/gazetteer.h"
#include "tools/sandbox/http_server.h"
#include "tools/sandbox/nationwide.h"
#include "tools/sandbox/rulebase.h"

namespace {

constexpr const char* kUsage =
    "usage: parcelvane-sandbox [options]\n"
    "  --port N             port on 127.0.0.1 (default 18080; 0 picks a free one)\n"
    "  --rules FILE         rule base (default: sandbox-rules.json beside the program)\n"
    "  --gazetteer FILE     divisions list (default: divisions.tsv beside the program)\n"
    "  --faults FILE        faults to start with, as POST /__control/faults takes them\n"
    "  --token-lifetime S   seconds a login token lives (default 7200)\n"
    "  --threads N          connections served at once (default 256)\n"
    "  --max-body BYTES     largest request body (default 1048576)\n"
    "  --no-control         do not serve /__control/...\n"
    "The first line on standard output names the address once the service listens;\n"
    "one line per request goes to standard error. SIGINT or SIGTERM stops it.\n";

std::filesystem::path programFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

bool readNumber(const char* text, long long lo, long long hi, long long& out) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "parcelvane-sandbox: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pv::sandbox;
  const std::filesystem::path folder = programFolder();
  std::string rulesPath = (folder / "sandbox-rules.json").string();
  std::string gazetteerPath = (folder / "divisions.tsv").string();
  std::string faultsPath;
  long long tokenLifetime = 7200;
  ServerOptions server;
  ApiOptions api;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    long long n = 0;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--no-control") {
      api.control = false;
    } else if (!hasValue) {
      return fail("unknown option or missing value: " + arg + "\n" + kUsage);
    } else if (arg == "--rules") {
      rulesPath = argv[++i];
    } else if (arg == "--gazetteer") {
      gazetteerPath = argv[++i];
    } else if (arg == "--faults") {
      faultsPath = argv[++i];
    } else if (arg == "--port" && readNumber(argv[i + 1], 0, 65535, n)) {
      server.port = static_cast<int>(n), ++i;
    } else if (arg == "--token-lifetime" && readNumber(argv[i + 1], 1, 365LL * 86400, n)) {
      tokenLifetime = n, ++i;
    } else if (arg == "--threads" && readNumber(argv[i + 1], 1, 1024, n)) {
      server.threads = static_cast<int>(n), ++i;
    } else if (arg == "--max-body" && readNumber(argv[i + 1], 1024, 64LL << 20, n)) {
      server.maxBody = static_cast<size_t>(n), ++i;
    } else {
      return fail("bad option or value: " + arg + " " + argv[i + 1] + "\n" + kUsage);
    }
  }

  std::string error;
  RuleBase rules;
  if (!rules.load(rulesPath, error)) return fail(error);
  Gazetteer gazetteer;
  if (!gazetteer.load(gazetteerPath, error)) return fail(error);
  if (const std::string unknown = NationwideNetwork::unknownNames(rules.nationwide, gazetteer);
      !unknown.empty()) {
    return fail(rulesPath + ": nationwide: no division named " + unknown);
  }
  SandboxApi service(rules, gazetteer, tokenLifetime, api);
  if (!faultsPath.empty()) {
    std::ifstream in(faultsPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<Fault> faults;
    if (!in || !parseFaults(text.str(), faults, error)) return fail(faultsPath + ": " + error);
    service.faults().add(faults);
  }

  // Signals are taken by one thread with sigwait, so the stop runs as ordinary code; the
  // mask is set before any thread starts so that every thread inherits it.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  HttpServer http(service, server);
  const int port = http.bind();
  if (port < 0) return fail("cannot listen on 127.0.0.1:" + std::to_string(server.port));
  std::fprintf(stderr,
               "parcelvane-sandbox: %zu accounts, %zu projects, %zu services, %zu sites, %zu "
               "rules, %zu divisions\n",
               rules.accounts.size(), rules.projects.size(), rules.services.size(),
               rules.sites.size(), rules.rules.size(), gazetteer.size());
  if (const NationwideNetwork& n = service.screener().nationwide(); n.project() != 0) {
    std::fprintf(stderr, "parcelvane-sandbox: nationwide network of project %d: %zu sites, %zu rules\n",
                 n.project(), n.siteCount(), n.ruleCount());
  }
  std::printf("parcelvane-sandbox listening on http://127.0.0.1:%d/api/v2\n", port);
  std::fflush(stdout);

  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    if (signal != 0) http.stop();
  });
  const bool served = http.run();
  // The server can also end on its own (a socket error); wake the stopper so it can be joined.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  std::fprintf(stderr, "parcelvane-sandbox: stopped\n");
  return served ? 0 : 1;
}
