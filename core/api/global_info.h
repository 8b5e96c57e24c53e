#pragma once
// The service's global information: the customer-service contact that replaces the
// built-in one, with its two contact pictures.
#include <string>
#include <string_view>

#include "core/net/http_transport.h"
#include "core/api/records.h"

namespace pv {

inline constexpr std::string_view kDefaultQqNumber = "800012345";
inline constexpr std::string_view kDefaultWechatId = "parcelvane";

// The built-in contact: the default QQ number, its protocol-relative chat link, the
// WeChat id and the two contact cards the program carries (PNG or JPEG bytes).
ServiceContact defaultServiceContact(std::string qqCard, std::string wechatCard);

// Worker routine, once per process; the base URL comes from the session record. A readable answer with code 0 replaces the QQ number,
// the chat link (a "//" link gets "http:") and the WeChat id, each as a whole value, even
// with empty text; a contact picture is replaced only by a picture that downloaded. No
// answer, an unreadable one or another code changes nothing.
void fetchGlobalInfo(HttpTransport& webTransport, ProcessRecords& records);

}  // namespace pv
