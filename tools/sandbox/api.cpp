#include "tools/sandbox/api.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "core/crypto/base64.h"
#include "tools/sandbox/api_json.h"
#include "tools/sandbox/codes.h"
#include "tools/sandbox/protocol.h"

namespace pv::sandbox {
namespace {

// Answers remembered against replays; past this many the oldest are forgotten first.
constexpr size_t kMaxAnswered = 1000000;

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}
bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// A decimal text of at most nine digits, so it fits an int; -1 for anything else.
int smallNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string queryValue(const ApiRequest& request, const std::string& key) {
  const auto it = request.query.find(key);
  return it == request.query.end() ? std::string() : it->second;
}

// A JSON object body with string members only where `keys` say; false when it is not.
bool readStrings(const std::string& body, std::initializer_list<std::pair<const char*, std::string*>> keys) {
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(body.data(), body.size());
  if (doc.HasParseError() || !doc.IsObject()) return false;
  for (const auto& [key, out] : keys) {
    const auto it = doc.FindMember(key);
    if (it == doc.MemberEnd() || !it->value.IsString()) return false;
    out->assign(it->value.GetString(), it->value.GetStringLength());
  }
  return true;
}

std::string randomBytes(size_t count) {
  static thread_local std::mt19937 generator{std::random_device{}()};
  std::string out(count, '\0');
  for (char& c : out) c = static_cast<char>(generator() & 0xFF);
  return out;
}

// The verdict array `json` with `member` left out of every entry.
std::string withoutMember(const std::string& json, const char* member) {
  rapidjson::Document doc;
  doc.Parse(json.data(), json.size());
  if (doc.HasParseError() || !doc.IsArray()) return json;
  for (rapidjson::Value& entry : doc.GetArray()) {
    if (entry.IsObject()) entry.RemoveMember(member);
  }
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  doc.Accept(w);
  return std::string(buffer.GetString(), buffer.GetSize());
}

// Base64 as MIME writes it: lines of 76 characters ended by CRLF, the last one without.
std::string wrapLines(std::string_view base64) {
  constexpr size_t kLine = 76;
  std::string out;
  for (size_t at = 0; at < base64.size(); at += kLine) {
    if (at != 0) out += "\r\n";
    out += base64.substr(at, kLine);
  }
  return out;
}

}  // namespace

struct SandboxApi::Route {
  std::string_view endpoint, method, path;
  enum Shape { kExact, kPicture, kPick } shape;
  // `rest`: the path's part after `path` (a picture's name, a service's id).
  ApiResponse (*handle)(SandboxApi& api, const ApiRequest& request, std::string_view rest, const Fault* fault);
};

std::string envelope(int code, std::string_view msg, std::string_view dataJson) {
  std::string out = writeJson([&](Writer& w) {
    w.StartObject();
    integer(w, "code", code);
    text(w, "msg", msg);
    w.EndObject();
  });
  if (!dataJson.empty()) {
    out.pop_back();
    out += ",\"data\":";
    out += dataJson;
    out += '}';
  }
  return out;
}

SandboxApi::SandboxApi(const RuleBase& rules, const Gazetteer& gazetteer, int64_t tokenLifetime,
                       ApiOptions options)
    : rules_(rules), gazetteer_(gazetteer), options_(options), screener_(rules, gazetteer),
      sessions_(tokenLifetime) {}

ApiResponse SandboxApi::handle(const ApiRequest& request) {
  using R = ApiRequest;
  using F = Fault;
  static const Route kRoutes[] = {
      {"auth", "POST", "/pub/auth", Route::kExact,
       [](SandboxApi& api, const R& request, std::string_view, const F*) { return api.login(request); }},
      {"account", "GET", "/account", Route::kExact,
       [](SandboxApi& api, const R& request, std::string_view, const F*) { return api.account(request); }},
      {"token", "PUT", "/auth/token", Route::kExact,
       [](SandboxApi& api, const R& request, std::string_view, const F*) { return api.refreshToken(request); }},
      {"versions", "POST", "/pub/versions/check", Route::kExact,
       [](SandboxApi& api, const R& request, std::string_view, const F*) { return api.checkVersion(request); }},
      {"global", "GET", "/pub/global", Route::kExact,
       [](SandboxApi& api, const R& request, std::string_view, const F*) { return api.global(request); }},
      {"picture", "GET", "/pub/contact/", Route::kPicture,
       [](SandboxApi& api, const R&, std::string_view name, const F*) { return api.picture(name); }},
      {"products", "GET", "/pub/serviceProducts", Route::kExact,
       [](SandboxApi& api, const R& request, std::string_view, const F*) { return api.products(request); }},
      {"services", "GET", "/serviceBusinesses", Route::kExact,
       [](SandboxApi& api, const R& request, std::string_view, const F*) { return api.services(request); }},
      {"pick", "POST", "/effectiveServiceBusinesses/", Route::kPick,
       [](SandboxApi& api, const R& request, std::string_view id, const F* fault) {
         return api.pick(request, id, fault);
       }},
  };

  if (startsWith(request.path, kControlPrefix) && options_.control) return control(request);
  if (!startsWith(request.path, std::string(kApiPrefix) + "/")) {
    return answer(code::kNotFound, "没有这个接口", "", 404);
  }
  const std::string_view path = std::string_view(request.path).substr(kApiPrefix.size());

  std::string allow;
  for (const Route& route : kRoutes) {
    std::string_view rest;
    bool fits = false;
    switch (route.shape) {
      case Route::kExact:
        fits = path == route.path;
        break;
      case Route::kPicture:
        fits = startsWith(path, route.path) && path.size() > route.path.size();
        if (fits) rest = path.substr(route.path.size());
        break;
      case Route::kPick:
        fits = startsWith(path, route.path) && endsWith(path, "/pick") &&
               path.size() > route.path.size() + 5;
        if (fits) rest = path.substr(route.path.size(), path.size() - route.path.size() - 5);
        fits = fits && rest.find('/') == std::string_view::npos;
        break;
    }
    if (!fits) continue;
    const bool head = request.method == "HEAD" && route.method == "GET";
    if (request.method != route.method && !head) {
      allow = route.method;
      continue;
    }
    ApiResponse r = dispatch(request, route, rest);
    r.endpoint = route.endpoint;
    return r;
  }
  if (!allow.empty()) {
    ApiResponse r = answer(code::kMethodNotAllowed, "此接口不接受 " + request.method + " 请求", "", 405);
    r.allow = allow;
    return r;
  }
  return answer(code::kNotFound, "没有这个接口", "", 404);
}

ApiResponse SandboxApi::dispatch(const ApiRequest& request, const Route& route, std::string_view rest) {
  const std::optional<Fault> fault = faults_.take(route.endpoint);
  if (fault && fault->delayMs > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(fault->delayMs));
  }

  ApiResponse r;
  if (fault && fault->code) {
    r = answer(*fault->code, fault->msg, "", fault->status ? fault->status : 200);
  } else if (fault && fault->status) {
    r = answer(code::kInternal, fault->msg.empty() ? "服务器繁忙，请稍后再试" : fault->msg, "",
               fault->status);
  } else {
    r = route.handle(*this, request, rest, fault ? &*fault : nullptr);
  }

  if (fault) {
    r.faulted = true;
    if (fault->body == "truncated") {
      r.body.resize(r.body.size() / 2);
    } else if (fault->body == "garbage") {
      r.contentType = "text/html; charset=utf-8";
      r.body = "<html><body><h1>Bad Gateway</h1>upstream sent nothing usable</body></html>";
    } else if (fault->body == "disconnect") {
      r.disconnect = true;
    }
  }
  if (request.method == "HEAD") r.body.clear();
  return r;
}

bool SandboxApi::authenticate(const ApiRequest& request, int& accountId, ApiResponse& refusal) const {
  std::string token;
  const std::string& header = request.authentication;
  if (header.size() > 7 && (header.compare(0, 7, "Bearer ") == 0 || header.compare(0, 7, "bearer ") == 0)) {
    token = header.substr(7);
  }
  switch (sessions_.check(token, clock_.now(), accountId)) {
    case Sessions::Check::kOk:
      return rules_.accountById(accountId) != nullptr ||
             (refusal = answer(code::kTokenUnknown, "登录信息无效，请重新登录"), false);
    case Sessions::Check::kMissing:
      refusal = answer(code::kNoToken, "请先登录");
      return false;
    case Sessions::Check::kExpired:
      refusal = answer(code::kTokenExpired, "登录已过期，请重新登录");
      return false;
    case Sessions::Check::kUnknown:
      break;
  }
  refusal = answer(code::kTokenUnknown, "登录信息无效，请重新登录");
  return false;
}

ApiResponse SandboxApi::login(const ApiRequest& request) {
  std::string name, password;
  if (!readStrings(request.body, {{"username", &name}, {"password", &password}})) {
    return answer(code::kBadRequest, "请求格式错误：需要 username 与 password");
  }
  if (name.empty()) return answer(code::kBadRequest, "请输入账号");
  const Account* a = rules_.accountByName(name);
  if (!a) return answer(code::kUnknownAccount, "账号不存在");
  if (a->password != password) return answer(code::kWrongPassword, "账号或密码错误");
  const std::string token = sessions_.open(a->id, clock_.now());
  return answer(code::kOk, "登录成功", writeJson([&](Writer& w) {
                  w.StartObject();
                  text(w, "token", token);
                  integer(w, "expiresIn", sessions_.lifetime());
                  integer(w, "userID", a->id);
                  w.EndObject();
                }));
}

ApiResponse SandboxApi::account(const ApiRequest& request) {
  int id = 0;
  ApiResponse refusal;
  if (!authenticate(request, id, refusal)) return refusal;
  const Account* a = rules_.accountById(id);
  return answer(code::kOk, "成功", writeJson([&](Writer& w) {
                  w.StartObject();
                  integer(w, "id", a->id);
                  text(w, "username", a->username);
                  text(w, "account", a->account);
                  w.EndObject();
                }));
}

ApiResponse SandboxApi::refreshToken(const ApiRequest& request) {
  int id = 0;
  ApiResponse refusal;
  if (!authenticate(request, id, refusal)) return refusal;
  // The old token stays valid until it expires: other threads of the client may still be
  // sending it while the new one is on its way.
  const std::string token = sessions_.open(id, clock_.now());
  return answer(code::kOk, "成功", writeJson([&](Writer& w) {
                  w.StartObject();
                  text(w, "token", token);
                  integer(w, "expiresIn", sessions_.lifetime());
                  w.EndObject();
                }));
}

ApiResponse SandboxApi::checkVersion(const ApiRequest& request) {
  std::string name, versionText;
  if (!readStrings(request.body, {{"name", &name}, {"version", &versionText}})) {
    return answer(code::kBadRequest, "请求格式错误：需要 name 与 version");
  }
  const ClientVersion* current = name == rules_.clientName ? rules_.version(versionText) : nullptr;
  const ClientVersion* latest = rules_.latest();
  return answer(code::kOk, "检测成功", writeJson([&](Writer& w) {
                  w.StartObject();
                  w.Key("current");
                  w.StartObject();
                  integer(w, "id", current ? current->id : 0);
                  text(w, "name", name);
                  text(w, "version", versionText);
                  boolean(w, "forbidden", current ? current->forbidden : true);
                  w.EndObject();
                  w.Key("latest");
                  w.StartObject();
                  integer(w, "id", latest ? latest->id : 0);
                  text(w, "version", latest ? latest->version : versionText);
                  text(w, "download", rules_.downloadUrl);
                  w.EndObject();
                  w.EndObject();
                }));
}

ApiResponse SandboxApi::global(const ApiRequest&) {
  const Contact& c = rules_.contact;
  const auto picturePath = [](std::string_view file) {
    return std::string(kApiPrefix) + "/pub/contact/" + std::string(file);
  };
  return answer(code::kOk, "成功", writeJson([&](Writer& w) {
                  w.StartObject();
                  w.Key("service");
                  w.StartObject();
                  text(w, "qq", c.qq);
                  text(w, "qqHref", c.qqHref);
                  text(w, "qqQr", c.qqPicture.empty() ? "" : picturePath("qq.png"));
                  text(w, "wechat", c.wechat);
                  text(w, "wechatQr", c.wechatPicture.empty() ? "" : picturePath("wechat.png"));
                  w.EndObject();
                  w.EndObject();
                }));
}

ApiResponse SandboxApi::picture(std::string_view name) {
  const std::string* bytes = name == "qq.png"       ? &rules_.contact.qqPicture
                             : name == "wechat.png" ? &rules_.contact.wechatPicture
                                                    : nullptr;
  if (!bytes || bytes->empty()) return answer(code::kNotFound, "没有这张图片", "", 404);
  ApiResponse r;
  r.contentType = "image/png";
  r.body = *bytes;
  return r;
}

ApiResponse SandboxApi::products(const ApiRequest& request) {
  const std::string typeText = queryValue(request, "serviceTypeID");
  const std::string forbiddenText = queryValue(request, "forbidden");
  const int type = typeText.empty() ? -1 : smallNumber(typeText);
  if (!typeText.empty() && type < 0) return answer(code::kBadRequest, "serviceTypeID 必须是数字");
  if (!forbiddenText.empty() && forbiddenText != "true" && forbiddenText != "false") {
    return answer(code::kBadRequest, "forbidden 必须是 true 或 false");
  }
  std::vector<const Project*> list;
  for (const Project& p : rules_.projects) {
    if (type >= 0 && p.serviceTypeId != type) continue;
    if (!forbiddenText.empty() && p.forbidden != (forbiddenText == "true")) continue;
    list.push_back(&p);
  }
  // Without all=true the list comes in pages (page from 1, pageSize up to 100).
  const size_t total = list.size();
  if (queryValue(request, "all") != "true") {
    const int page = std::max(1, smallNumber(queryValue(request, "page")));
    const int sizeAsked = smallNumber(queryValue(request, "pageSize"));
    const size_t size = sizeAsked < 1 ? 20 : std::min(sizeAsked, 100);
    const size_t first = std::min(total, (static_cast<size_t>(page) - 1) * size);
    list = std::vector<const Project*>(list.begin() + first,
                                       list.begin() + std::min(total, first + size));
  }
  return answer(code::kOk, "成功", writeJson([&](Writer& w) {
                  w.StartObject();
                  w.Key("list");
                  w.StartArray();
                  for (const Project* p : list) {
                    w.StartObject();
                    integer(w, "id", p->id);
                    text(w, "name", p->name);
                    text(w, "notice", p->notice);
                    integer(w, "serviceTypeID", p->serviceTypeId);
                    boolean(w, "forbidden", p->forbidden);
                    w.EndObject();
                  }
                  w.EndArray();
                  integer(w, "total", static_cast<int64_t>(total));
                  w.EndObject();
                }));
}

ApiResponse SandboxApi::services(const ApiRequest& request) {
  int id = 0;
  ApiResponse refusal;
  if (!authenticate(request, id, refusal)) return refusal;
  const std::string asked = queryValue(request, "currentUserID");
  if (!asked.empty() && smallNumber(asked) != id) {
    return answer(code::kNotYours, "无权查看其他用户的服务");
  }
  return answer(code::kOk, "成功", writeJson([&](Writer& w) {
                  w.StartObject();
                  w.Key("list");
                  w.StartArray();
                  int count = 0;
                  for (const Service& s : rules_.services) {
                    if (s.owner != id) continue;
                    ++count;
                    w.StartObject();
                    integer(w, "id", s.id);
                    integer(w, "serviceProductID", s.project);
                    text(w, "alias", s.alias);
                    boolean(w, "enabled", s.enabled);
                    w.EndObject();
                  }
                  w.EndArray();
                  integer(w, "total", count);
                  w.EndObject();
                }));
}

ApiResponse SandboxApi::pick(const ApiRequest& request, std::string_view idText, const Fault* fault) {
  int accountId = 0;
  ApiResponse refusal;
  if (!authenticate(request, accountId, refusal)) return refusal;
  const int pathId = smallNumber(idText);
  if (pathId < 0) return answer(code::kUnknownService, "服务不存在");

  PickVerification v = verifyPickRequest(request.body, clock_.now(), rules_.maxAddresses);
  if (v.code != 0) return answer(v.code, v.msg);
  const PickRequest& r = v.request;

  const ClientVersion* version = rules_.version(r.version);
  if (!version || version->forbidden) {
    return answer(code::kVersionUnsupported, "当前客户端版本已停止支持，请下载新版");
  }
  if (r.serviceBusinessId != pathId) {
    return answer(code::kServiceMismatch, "请求的服务与地址栏中的服务不一致");
  }
  const Service* service = rules_.serviceById(pathId);
  if (!service) return answer(code::kUnknownService, "服务不存在");
  if (service->owner != accountId) return answer(code::kNotYours, "无权使用该服务");
  if (!service->enabled) return answer(code::kServiceDisabled, "该服务已停用");
  const ApiResponse replayed = answer(code::kReplayed, "重复的请求：该请求已经应答过");
  if (answeredBefore(v.seal)) return replayed;

  const std::string_view spoil = fault ? std::string_view(fault->body) : std::string_view();
  std::vector<std::string> addresses = r.addresses;
  if (spoil == "fewer") {
    const size_t keep = fault->entries >= 0 ? static_cast<size_t>(fault->entries)
                                            : addresses.size() - 1;
    addresses.resize(std::min(keep, addresses.size()));
  }
  std::string plain = screener_.verdictsJson(service->project, addresses);
  if (spoil == "nosites") plain = withoutMember(plain, "sites");
  if (spoil == "nopolicies") plain = withoutMember(plain, "policies");
  std::string data;
  if (spoil == "undecryptable") {
    data = base64Encode(randomBytes((plain.size() / 16 + 1) * 16));
  } else {
    data = sealAnswer(plain, v.responseKey, v.responseIv);
    if (data.empty()) return answer(code::kInternal, "服务器加密失败", "", 500);
  }
  if (spoil == "wrapped") data = wrapLines(data);
  // Only an answer that is ready counts as given: a request that failed on the way (a
  // server error) may come again and is served then.
  if (!firstAnswer(v.seal, r.timestamp)) return replayed;
  {
    std::lock_guard lock(answeredMutex_);
    pickSizes_.push_back(r.addresses.size());
  }
  return answer(code::kOk, spoil == "nomsg" ? "" : "查询成功",
                writeJson([&](Writer& w) { w.String(data.data(), data.size()); }));
}

bool SandboxApi::answeredBefore(const std::string& seal) {
  std::lock_guard lock(answeredMutex_);
  return answered_.count(seal) != 0;
}

bool SandboxApi::firstAnswer(const std::string& seal, int64_t timestamp) {
  const int64_t oldest = clock_.now() - kTimestampWindow;
  std::lock_guard lock(answeredMutex_);
  while (!answeredOrder_.empty() &&
         (answeredOrder_.front().first < oldest || answeredOrder_.size() >= kMaxAnswered)) {
    answered_.erase(answeredOrder_.front().second);
    answeredOrder_.pop_front();
  }
  if (!answered_.insert(seal).second) return false;
  answeredOrder_.emplace_back(timestamp, seal);
  return true;
}

}  // namespace pv::sandbox
