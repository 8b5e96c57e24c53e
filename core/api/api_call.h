#pragma once
// How every call to the service's API is formed and read: JSON bodies of string members,
// the bearer header block, and answers parsed into the envelope of code, msg and data.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "core/json/json.h"
#include "core/net/http_request.h"
#include "core/net/http_transport.h"

namespace pv {

inline constexpr std::string_view kJsonContentHeader = "content-type: application/json";

// "content-type: application/json\r\nAuthentication: Bearer " + token. The service reads
// the token from "Authentication", not from the usual Authorization.
std::string authHeaderFor(std::string_view token);

// A compact JSON object of string members, in the order given. Values are GBK texts; the
// transport sends the body as UTF-8.
std::string jsonStringObject(
    std::initializer_list<std::pair<std::string_view, std::string_view>> members);

// One request through httpRequest with `headers` as the extra header lines; the answer
// parsed. No answer, or one that is not JSON, gives the empty document, whose fields read
// as empty text and 0.
JsonDocument callApi(HttpTransport& transport, int method, std::string url,
                     std::string_view headers, std::string_view body = {});

// The envelope's message converted to GBK.
std::string answerMessage(const JsonDocument& answer);

// Scheme and host (with port) of an absolute URL, without path: "http://h:1/api/v2" gives
// "http://h:1". Empty when the text has no "://".
std::string urlOrigin(std::string_view url);

}  // namespace pv
