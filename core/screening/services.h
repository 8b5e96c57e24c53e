#pragma once
// Screening projects and services as the service lists them: the projects of the screening
// type, and the services of the operator's account. The screening call sends the id of the
// chosen service.
#include <cstdint>
#include <string>
#include <vector>

#include "core/api/records.h"
#include "core/net/http_transport.h"

namespace pv {

struct ScreeningProduct {
  std::int32_t id = 0;
  std::string name{};    // GBK
  std::string notice{};  // GBK
};

struct ScreeningService {
  std::int32_t id = 0;
  std::int32_t productId = 0;
  std::string alias{};  // GBK
};

// GET /pub/serviceProducts: every project of the screening type that is not forbidden, in
// the service's order. None when the call failed.
std::vector<ScreeningProduct> fetchScreeningProducts(HttpTransport& transport,
                                                     const ApiSession& session);

// GET /serviceBusinesses: every service of the session's account, of every project, in the
// service's order. None when the call failed.
std::vector<ScreeningService> fetchScreeningServices(HttpTransport& transport,
                                                     const ApiSession& session);

}  // namespace pv
