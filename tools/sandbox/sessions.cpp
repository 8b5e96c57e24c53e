#include "tools/sandbox/sessions.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

namespace pv::sandbox {
namespace {

// Logins are few and the sandbox lives on loopback, but a loop of logins must not grow
// memory without end: past this many sessions the oldest go first.
constexpr size_t kMaxSessions = 100000;

std::string newToken() {
  static thread_local std::random_device device;
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 16; ++i) {
    const unsigned v = device();
    for (int shift = 0; shift < 16; shift += 4) token += kHex[(v >> shift) & 0xF];
  }
  return token;
}

}  // namespace

int64_t ServiceClock::now() const {
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::seconds>(since).count() + offset_.load();
}

std::string Sessions::open(int accountId, int64_t now) {
  std::string token = newToken();
  std::lock_guard lock(mutex_);
  purge(now);
  sessions_[token] = Session{accountId, now + lifetime_};
  return token;
}

Sessions::Check Sessions::check(const std::string& token, int64_t now, int& accountId) const {
  if (token.empty()) return Check::kMissing;
  std::lock_guard lock(mutex_);
  const auto it = sessions_.find(token);
  if (it == sessions_.end() || now > it->second.expires + lifetime_) return Check::kUnknown;
  if (now > it->second.expires) return Check::kExpired;
  accountId = it->second.accountId;
  return Check::kOk;
}

void Sessions::clear() {
  std::lock_guard lock(mutex_);
  sessions_.clear();
}

void Sessions::purge(int64_t now) {
  if (sessions_.size() < 1024 || (now - lastPurge_ < 60 && sessions_.size() < kMaxSessions)) {
    return;
  }
  lastPurge_ = now;
  std::erase_if(sessions_, [&](const auto& s) { return now > s.second.expires + lifetime_; });
  if (sessions_.size() >= kMaxSessions) {
    // Drop the oldest tenth in one pass rather than one session per login.
    std::vector<int64_t> expiries;
    expiries.reserve(sessions_.size());
    for (const auto& s : sessions_) expiries.push_back(s.second.expires);
    const auto cut = expiries.begin() + expiries.size() / 10;
    std::nth_element(expiries.begin(), cut, expiries.end());
    const int64_t limit = *cut;
    std::erase_if(sessions_, [&](const auto& s) { return s.second.expires <= limit; });
  }
}

}  // namespace pv::sandbox
