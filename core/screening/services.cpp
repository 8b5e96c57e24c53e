#include "core/screening/services.h"

#include <string>
#include <string_view>

#include "core/api/api_call.h"
#include "core/text/codepage.h"

namespace pv {

namespace {

std::string entryPointer(size_t k, std::string_view member) {
  return "/data/list/" + std::to_string(k) + "/" + std::string(member);
}

// Entries of "/data/list"; none when the answer holds no list.
size_t listSize(const JsonDocument& answer) {
  const JsonValue list = answer.at("/data/list");
  return list.isArray() ? list.size() : 0;
}

}  // namespace

std::vector<ScreeningProduct> fetchScreeningProducts(HttpTransport& transport,
                                                     const ApiSession& session) {
  const JsonDocument answer =
      callApi(transport, kMethodGet,
              session.baseUrl + "/pub/serviceProducts?serviceTypeID=1&all=true&forbidden=false",
              session.authHeader);
  std::vector<ScreeningProduct> products;
  const size_t count = listSize(answer);
  for (size_t k = 0; k < count; ++k) {
    products.push_back({.id = answer.at(entryPointer(k, "id")).toInt(),
                        .name = utf8ToGbk(answer.at(entryPointer(k, "name")).text()),
                        .notice = utf8ToGbk(answer.at(entryPointer(k, "notice")).text())});
  }
  return products;
}

std::vector<ScreeningService> fetchScreeningServices(HttpTransport& transport,
                                                     const ApiSession& session) {
  const JsonDocument answer =
      callApi(transport, kMethodGet,
              session.baseUrl + "/serviceBusinesses?currentUserID=" + std::to_string(session.userId),
              session.authHeader);
  std::vector<ScreeningService> services;
  const size_t count = listSize(answer);
  for (size_t k = 0; k < count; ++k) {
    services.push_back({.id = answer.at(entryPointer(k, "id")).toInt(),
                        .productId = answer.at(entryPointer(k, "serviceProductID")).toInt(),
                        .alias = utf8ToGbk(answer.at(entryPointer(k, "alias")).text())});
  }
  return services;
}

}  // namespace pv
