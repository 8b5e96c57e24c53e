#pragma once
// The version check's service call: whether this client version may still be used and
// whether a newer one exists.
#include <string>
#include <string_view>

#include "core/product/version.h"  // generated

namespace pv {

class HttpTransport;

// Name and version this client reports to the service.
inline constexpr std::string_view kClientName = "客户端";
inline constexpr std::string_view kClientVersion = kVersionText;

struct VersionAnswer {
  bool answered = false;  // an answer with a message came back; nothing else is valid without it
  bool forbidden = false;
  int currentId = 0;            // 0: the service does not know this version
  std::string current{};        // as the service sent it
  std::string latest{};         // as the service sent it
  std::string downloadUrl{};    // GBK; the product's web site when the answer names none
};

// POST /pub/versions/check with kClientName and kClientVersion.
VersionAnswer checkClientVersion(HttpTransport& transport, const std::string& baseUrl);

}  // namespace pv
