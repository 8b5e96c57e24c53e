#pragma once
// Bearer sessions and the service's clock. Thread-safe: request threads share one object.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace pv::sandbox {

// Unix seconds, moved by an offset that tests set through the control endpoint to reach
// token expiry and the timestamp window without waiting.
class ServiceClock {
 public:
  int64_t now() const;
  void setOffset(int64_t seconds) { offset_.store(seconds); }
  int64_t offset() const { return offset_.load(); }

 private:
  std::atomic<int64_t> offset_{0};
};

class Sessions {
 public:
  enum class Check { kOk, kMissing, kUnknown, kExpired };

  explicit Sessions(int64_t lifetimeSeconds) : lifetime_(lifetimeSeconds) {}

  int64_t lifetime() const { return lifetime_; }

  // A new token for the account, valid for the lifetime from `now`.
  std::string open(int accountId, int64_t now);

  // Whether `token` is a live session; its account goes to `accountId`. An expired token
  // stays recognisable (kExpired) for one more lifetime, then reads as unknown.
  Check check(const std::string& token, int64_t now, int& accountId) const;

  void clear();

 private:
  struct Session {
    int accountId;
    int64_t expires;
  };
  void purge(int64_t now);

  const int64_t lifetime_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Session> sessions_;
  int64_t lastPurge_ = 0;
};

}  // namespace pv::sandbox
