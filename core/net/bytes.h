#pragma once
// Bytes in the form they travel in: a request body already encoded (the signed screening
// body is UTF-8 when it is built), a picture, an answer. A text of the program is GBK and
// a std::string; Bytes is neither, so it cannot be handed to a conversion by mistake — a
// second GBK-to-UTF-8 step over a UTF-8 body does not compile. Read the bytes with view().
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace pv {

class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string bytes) noexcept : bytes_(std::move(bytes)) {}
  explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
  explicit Bytes(const char* bytes) : bytes_(bytes) {}

  std::string_view view() const noexcept { return bytes_; }
  const char* data() const noexcept { return bytes_.data(); }
  std::size_t size() const noexcept { return bytes_.size(); }
  bool empty() const noexcept { return bytes_.empty(); }

  bool operator==(const Bytes&) const = default;

 private:
  std::string bytes_;
};

}  // namespace pv
