#pragma once
// The process-wide records of the service client: the session, the customer-service
// contact, the version-check outcome and the project notices. Workers write them while
// other threads read them, so each lives in a Published<T>: a reader gets an immutable
// snapshot and sees either the whole old or the whole new value, never a token of one
// refresh with the header of another.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/system/clock.h"

namespace pv {

template <class T>
class Published {
 public:
  Published() : value_(std::make_shared<const T>()) {}
  explicit Published(T value) : value_(std::make_shared<const T>(std::move(value))) {}
  Published(const Published&) = delete;
  Published& operator=(const Published&) = delete;

  std::shared_ptr<const T> load() const {
    std::lock_guard lock(mutex_);
    return value_;
  }

  void store(T value) {
    auto next = std::make_shared<const T>(std::move(value));
    std::lock_guard lock(mutex_);
    value_ = std::move(next);
  }

  // Changes a copy of the current value and publishes it; concurrent updates are applied
  // one after the other, so none is lost. `change` must not touch this record itself.
  template <class F>
  void update(F&& change) {
    std::lock_guard lock(mutex_);
    auto next = std::make_shared<T>(*value_);
    change(*next);
    value_ = std::move(next);
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const T> value_;
};

struct ApiSession {
  std::string baseUrl{};     // the API's base, ending in /api/v2
  std::string token{};       // as the service sent it
  std::string authHeader{};  // header block carrying the token; see authHeaderFor()
  std::int32_t userId = 0;
  std::string userName{};    // GBK
  ClockTime lastRefreshTime{};  // of the last refresh started on activation
};

struct ServiceContact {
  std::string qqLink{};
  std::string qqNumber{};
  std::string qqQrImage{};  // PNG or JPEG bytes
  std::string wechatId{};
  std::string wechatQrImage{};
};

struct UpdateInfo {
  std::string downloadUrl{};
  bool downloadMenuAdded = false;
};

using ProductNotices = std::map<std::int32_t, std::string>;  // project id -> notice (GBK)

struct ProcessRecords {
  Published<ApiSession> session;
  Published<ServiceContact> contact;
  Published<UpdateInfo> update;
  Published<ProductNotices> productNotices;
  // The matching order numbers of the last run that had any, as the result window lists them.
  Published<std::vector<std::string>> matchingOrderNumbers;
  // One list load fills its box at a time: two loads interleaving their clear and add
  // steps would leave a mix of both in the box.
  std::mutex productsLoading;
  std::mutex servicesLoading;
};

}  // namespace pv
