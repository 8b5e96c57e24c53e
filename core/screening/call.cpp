#include "core/screening/call.h"

#include <limits>

#include "core/crypto/base64.h"
#include "core/crypto/crypto.h"
#include "core/json/json.h"
#include "core/net/http_request.h"
#include "core/screening/restriction.h"
#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

// The texts of the restrictions this call adds; the answer is UTF-8, our literals GBK.
std::string utf8(std::string_view gbk) { return gbkToUtf8(gbk); }

// Restrictions without `pass`, so every one of them blocks.
void appendFailure(JsonMutValue policies, const std::string& msg) {
  JsonMutValue p = policies.appendNewObject();
  p.setInt("type", restrictionTypeNumber(RestrictionKind::Other));
  p.setInt("mode", 1);
  p.setString("color", "#f06e33");
  p.setString("typeStr", utf8(kFailureTypeText));
  p.setString("modeStr", utf8("地址解析"));
  p.setString("typeName", msg.empty() ? utf8("筛单失败") : msg);
  p.setString("remark", msg.empty() ? utf8("网络错误") : msg);
}

void appendDistanceRule(JsonMutValue policies, std::string_view kind, const std::string& siteName,
                        std::string_view remark, std::int64_t limit) {
  JsonMutValue p = policies.appendNewObject();
  p.setInt("type", restrictionTypeNumber(RestrictionKind::BlindArea));
  p.setInt("mode", 1);
  p.setString("color", "f06e33");
  p.setString("typeStr", utf8(kind));
  p.setString("modeStr", utf8("地址解析"));
  p.setString("typeName", utf8(kind));
  p.setString("source", utf8("筛单设置"));
  p.setString("object", siteName);
  p.setString("remark", utf8(remark) + std::to_string(limit) + utf8("米"));
}

constexpr std::string_view kVillage = "偏远村组";
constexpr std::string_view kVillageRemark = "地址为村组地址，且距离网点超过自定义屏蔽距离";
constexpr std::string_view kRemote = "偏远地址";
constexpr std::string_view kRemoteRemark = "地址距离网点超过自定义屏蔽距离";

std::int64_t siteDistance(JsonMutValue site) { return site.at("/acceptor/distance").toInt64(); }

void completeEntry(JsonMutValue entry, const std::string& msg, const ScreeningSettings& settings) {
  JsonMutValue policies = entry.member("policies");
  if (!policies.isArray() || policies.size() == 0) policies = entry.setNewArray("policies");
  if (policies.size() == 0 && entry.member("input").text().empty()) appendFailure(policies, msg);

  const JsonMutValue sites = entry.member("sites");
  if (settings.blockVillages && entry.member("isVillage").toBool()) {
    if (sites.isArray()) {
      for (JsonMutValue site : sites.elements()) {
        if (siteDistance(site) >= settings.villageLimit)
          appendDistanceRule(policies, kVillage, site.member("name").text(), kVillageRemark, settings.villageLimit);
      }
    } else if (settings.villageLimit <= 0) {
      appendDistanceRule(policies, kVillage, "", kVillageRemark, settings.villageLimit);
    }
  }
  if (settings.blockRemote && sites.isArray()) {
    for (JsonMutValue site : sites.elements()) {
      if (siteDistance(site) >= settings.remoteLimit)
        appendDistanceRule(policies, kRemote, site.member("name").text(), kRemoteRemark, settings.remoteLimit);
    }
  }
}

}  // namespace

std::int64_t readDistanceLimit(std::string_view text) noexcept {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    if (value > (kMax - digit) / 10) return kMax;
    value = value * 10 + digit;
  }
  return value;
}

milliseconds retryPause(int attempt) noexcept { return milliseconds(attempt * 1000 + 6000); }

std::string completeScreeningAnswer(std::string_view responseBody, const ScreeningRequest& request,
                                    std::size_t addressCount, const ScreeningSettings& settings) {
  JsonMutableDocument answer;
  // Anything but an object (no answer, an error page, a bare value) is no envelope at all.
  if (!answer.parse(responseBody) || !answer.root().isObject()) answer.createObjectRoot();
  JsonMutValue root = answer.root();
  const std::string msg = root.member("msg").text();
  const std::int32_t code = root.member("code").toInt();

  // A successful answer's verdicts come encrypted as Base64, possibly wrapped in CRLF lines.
  // The message does not decide whether there are verdicts: a service that leaves it empty
  // on success still sent them.
  if (code == 0 && root.member("data").isString()) {
    const std::string cipher = base64Decode(replaceAll(root.member("data").text(), "\r\n", ""));
    const std::string plain = CryptoToolkit().decryptSymmetric(cipher, request.responseKey, request.responseIv,
                                                               CipherMode::Cbc, CryptoAlgorithm::Aes256);
    if (!plain.empty()) root.setParsed("data", plain);
  }

  // The message of a successful answer ("查询成功") says nothing of a verdict that is
  // missing or unreadable: such an address must not read as a success in orange.
  const std::string failure = code == 0 ? std::string() : msg;
  JsonMutValue data = root.member("data");
  if (!data.isArray()) data = root.setNewArray("data");
  for (std::size_t n = 0; n < addressCount; ++n) {
    JsonMutValue entry = data.element(n);
    if (!entry) {
      entry = data.appendNewObject();
    } else if (!entry.isObject()) {
      entry.assignNewObject();
    }
    completeEntry(entry, failure, settings);
  }
  return answer.serialize();
}

std::string screenAddresses(const ScreeningLink& link, const ScreeningSettings& settings,
                            const std::vector<std::string>& addresses) {
  const ScreeningRequest request = link.build ? link.build(settings.serviceBusinessId, addresses)
                                              : buildScreeningRequest(settings.serviceBusinessId, addresses);
  HttpRequest call;
  call.url = link.baseUrl + "/effectiveServiceBusinesses/" + std::to_string(settings.serviceBusinessId) + "/pick";
  call.method = kMethodPost;
  call.bodyBytes = request.body;
  call.extraHeaders = link.authHeader;
  call.timeoutSeconds = kScreeningTimeoutSeconds;

  HttpResponse response;
  for (int attempt = 1; attempt <= kScreeningAttempts; ++attempt) {
    if (link.stop.stop_requested()) break;
    response = httpRequest(link.transport, call);
    if (response.statusCode < 500) break;
    if (!link.pauses.pause(retryPause(attempt), link.stop)) break;
  }
  return completeScreeningAnswer(response.body, request, addresses.size(), settings);
}

}  // namespace pv
