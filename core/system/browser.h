#pragma once
// The Browser port: opens an address in the operator's default web browser. The Win32
// adapter asks the shell; RecordingBrowser stands in for tests. Any thread may call.
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

class Browser {
 public:
  virtual ~Browser() = default;
  // False when the address is empty or nothing could open it.
  [[nodiscard]] virtual bool open(std::string_view address) = 0;  // GBK
};

class RecordingBrowser final : public Browser {
 public:
  [[nodiscard]] bool open(std::string_view address) override;
  std::vector<std::string> opened() const;  // oldest first

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> opened_;
};

}  // namespace pv
