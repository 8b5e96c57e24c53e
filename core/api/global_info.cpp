#include "core/api/global_info.h"

#include "core/api/api_call.h"
#include "core/net/http_request.h"
#include "core/text/codepage.h"
#include "core/text/text.h"
#include "core/ui/picture.h"

namespace pv {

namespace {

constexpr std::string_view kQqChatHost = "wpa.qq.com";

// A contact picture from the API host; empty unless a picture arrived. An error page or
// a missing path must not stand in for the picture the program already shows.
std::string downloadPicture(HttpTransport& webTransport, const std::string& origin,
                            const std::string& path) {
  if (path.empty() || origin.empty()) return {};
  WebRequest request;
  request.url = origin + path;
  HttpResponse response = webRequest(webTransport, request);
  if (response.statusCode < 200 || response.statusCode > 299) return {};
  if (pictureFormat(response.body) == PictureFormat::Unknown) return {};
  return std::move(response.body);
}

}  // namespace

ServiceContact defaultServiceContact(std::string qqCard, std::string wechatCard) {
  ServiceContact c;
  c.qqNumber = std::string(kDefaultQqNumber);
  c.qqLink = "//" + std::string(kQqChatHost) + "/msgrd?v=3&uin=" + c.qqNumber +
             "&site=qq&menu=yes";
  c.qqQrImage = std::move(qqCard);
  c.wechatId = std::string(kDefaultWechatId);
  c.wechatQrImage = std::move(wechatCard);
  return c;
}

void fetchGlobalInfo(HttpTransport& webTransport, ProcessRecords& records) {
  const std::string baseUrl = records.session.load()->baseUrl;
  WebRequest request;
  request.url = baseUrl + "/pub/global";
  const HttpResponse response = webRequest(webTransport, request);
  JsonDocument answer;
  // No answer reads as code 0 like a good one would; only a real envelope may replace the
  // built-in contact.
  if (!answer.parse(response.body) || !answer.member("code") ||
      answer.member("code").toInt() != 0) {
    return;
  }

  Published<ServiceContact>& contact = records.contact;
  const std::string qq = utf8ToGbk(answer.at("/data/service/qq").text());
  contact.update([&](ServiceContact& c) { c.qqNumber = qq; });

  std::string href = utf8ToGbk(answer.at("/data/service/qqHref").text());
  if (startsWith(href, "//")) href = "http:" + href;
  contact.update([&](ServiceContact& c) { c.qqLink = href; });

  const std::string origin = urlOrigin(baseUrl);
  std::string qqPicture =
      downloadPicture(webTransport, origin, utf8ToGbk(answer.at("/data/service/qqQr").text()));
  if (!qqPicture.empty()) {
    contact.update([&](ServiceContact& c) { c.qqQrImage = std::move(qqPicture); });
  }

  const std::string wechat = utf8ToGbk(answer.at("/data/service/wechat").text());
  contact.update([&](ServiceContact& c) { c.wechatId = wechat; });

  std::string wechatPicture =
      downloadPicture(webTransport, origin, utf8ToGbk(answer.at("/data/service/wechatQr").text()));
  if (!wechatPicture.empty()) {
    contact.update([&](ServiceContact& c) { c.wechatQrImage = std::move(wechatPicture); });
  }
}

}  // namespace pv
