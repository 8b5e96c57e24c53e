#include "tools/sandbox/screening.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "tools/sandbox/utf8.h"

namespace pv::sandbox {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

constexpr double kEarthRadius = 6371008.8;  // mean radius, metres
constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = kEarthRadius * kPi / 180;

std::vector<std::string_view> characters(std::string_view text) {
  std::vector<std::string_view> out;
  for (size_t pos = 0; pos < text.size();) {
    const size_t len = utf8CharLength(text, pos);
    out.push_back(text.substr(pos, len));
    pos += len;
  }
  return out;
}

uint64_t fnv1a(std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// Where the address lies, or nothing when no place of the rule base is named in it. The
// place named farthest into the address is the most specific one ("杭州市余杭区" before
// "浙江省杭州市"); of two ending at the same point the longer wins.
std::optional<GeoPoint> locate(const RuleBase& rules, const std::string& normalized) {
  const Place* best = nullptr;
  size_t bestEnd = 0;
  for (const Place& p : rules.places) {
    const size_t at = normalized.find(p.match);
    if (at == std::string::npos) continue;
    const size_t end = at + p.match.size();
    if (!best || end > bestEnd || (end == bestEnd && p.match.size() > best->match.size())) {
      best = &p;
      bestEnd = end;
    }
  }
  if (!best) return std::nullopt;
  GeoPoint at = best->location;
  if (best->spread > 0) {
    // Addresses of one place scatter around it, each always to the same spot.
    const uint64_t h = fnv1a(normalized);
    const double angle = static_cast<double>(h % 3600) / 10 * kPi / 180;
    const double radius = best->spread * static_cast<double>((h >> 16) % 1001) / 1000;
    at.lat += radius * std::cos(angle) / kMetresPerDegree;
    at.lng += radius * std::sin(angle) / (kMetresPerDegree * std::cos(at.lat * kPi / 180));
  }
  return at;
}

void text(Writer& w, const char* key, std::string_view value) {
  w.Key(key);
  w.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void writeSite(Writer& w, const Site& site, const std::string& fmtAddress, long long distance) {
  w.StartObject();
  w.Key("id");
  w.Int(site.id);
  text(w, "name", site.name);
  text(w, "title", site.title);
  text(w, "linkPerson", site.linkPerson);
  text(w, "linkPhone", site.linkPhone);
  text(w, "groupName", site.groupName);
  w.Key("labels");
  w.StartArray();
  for (const std::string& label : site.labels) w.String(label.data(), label.size());
  w.EndArray();
  text(w, "address", site.address);
  text(w, "deliveryArea", site.deliveryArea);
  text(w, "specialArea", site.specialArea);
  w.Key("firstSite");
  w.StartObject();
  text(w, "name", site.firstSite);
  w.EndObject();
  w.Key("extra");
  w.StartObject();
  for (const auto& [key, value] : site.extra) text(w, key.c_str(), value);
  w.EndObject();
  w.Key("acceptor");
  w.StartObject();
  text(w, "fmtAddress", fmtAddress);
  w.Key("distance");
  w.Int64(distance);
  w.EndObject();
  w.EndObject();
}

// The text a matched rule shows as what it matched, unless the rule names one itself.
std::string matchedObject(const Rule& rule, const ParsedAddress& address,
                          std::string_view keyword) {
  if (!rule.object.empty()) return rule.object;
  if (!keyword.empty()) return std::string(keyword);
  if (!rule.patterns.empty() || rule.detailUnder > 0) {
    return address.detail.empty() ? address.normalized : address.detail;
  }
  for (const std::string* name : {&rule.street, &rule.district, &rule.city, &rule.province}) {
    if (!name->empty()) return *name;
  }
  return "";
}

// True when every condition the rule gives holds; `keyword` receives the keyword found.
bool ruleMatches(const Rule& rule, const ParsedAddress& address, std::string_view& keyword) {
  const std::pair<const std::string*, const std::string*> divisions[] = {
      {&rule.province, &address.province},
      {&rule.city, &address.city},
      {&rule.district, &address.district},
      {&rule.street, &address.street}};
  for (const auto& [wanted, actual] : divisions) {
    if (!wanted->empty() && *wanted != *actual) return false;
  }
  keyword = {};
  if (!rule.keywords.empty()) {
    const auto found = std::find_if(rule.keywords.begin(), rule.keywords.end(),
        [&](const std::string& k) { return address.normalized.find(k) != std::string::npos; });
    if (found == rule.keywords.end()) return false;
    keyword = *found;
  }
  if (!rule.patterns.empty() &&
      std::none_of(rule.patterns.begin(), rule.patterns.end(),
                   [&](const std::string& p) { return matchesPattern(p, address.normalized); })) {
    return false;
  }
  if (rule.detailUnder > 0 && utf8Length(address.detail) >= static_cast<size_t>(rule.detailUnder)) {
    return false;
  }
  return true;
}

void writePolicy(Writer& w, const Rule& rule, const std::string& object) {
  w.StartObject();
  w.Key("id");
  w.Int(rule.id);
  w.Key("type");
  w.Int(rule.type);
  w.Key("mode");
  w.Int(rule.mode);
  w.Key("pass");
  w.Bool(rule.pass);
  text(w, "color", rule.color);
  text(w, "typeStr", rule.typeStr);
  text(w, "typeName", rule.typeName);
  text(w, "shortTypeName", rule.shortTypeName);
  text(w, "modeStr", rule.modeStr);
  text(w, "object", object);
  text(w, "popObject", rule.popObject);
  text(w, "source", rule.source);
  text(w, "creator", rule.creator);
  text(w, "remark", rule.remark);
  w.EndObject();
}

}  // namespace

bool matchesPattern(std::string_view pattern, std::string_view subject) {
  const std::vector<std::string_view> p = characters(pattern), s = characters(subject);
  const auto one = [](std::string_view pc, std::string_view sc) {
    if (pc == "?") return true;
    if (pc == "#") return sc.size() == 1 && sc[0] >= '0' && sc[0] <= '9';
    return pc == sc;
  };
  // Greedy with one backtrack point: linear for patterns without "*", O(n·m) at worst.
  size_t pi = 0, si = 0, starP = SIZE_MAX, starS = 0;
  while (si < s.size()) {
    if (pi < p.size() && p[pi] != "*" && one(p[pi], s[si])) {
      ++pi, ++si;
    } else if (pi < p.size() && p[pi] == "*") {
      starP = pi++, starS = si;
    } else if (starP != SIZE_MAX) {
      pi = starP + 1, si = ++starS;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == "*") ++pi;
  return pi == p.size();
}

long long distanceMetres(GeoPoint a, GeoPoint b) {
  const double rad = kPi / 180;
  const double dLat = (b.lat - a.lat) * rad, dLng = (b.lng - a.lng) * rad;
  const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                   std::cos(a.lat * rad) * std::cos(b.lat * rad) * std::sin(dLng / 2) *
                       std::sin(dLng / 2);
  return std::llround(2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(h))));
}

std::string Screener::verdictsJson(int project, const std::vector<std::string>& addresses) const {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartArray();
  for (const std::string& input : addresses) {
    const ParsedAddress address = gazetteer_.parse(input);
    w.StartObject();
    text(w, "input", input);
    w.Key("analysis");
    w.StartObject();
    text(w, "address", address.normalized);
    text(w, "province", address.province);
    text(w, "city", address.city);
    text(w, "district", address.district);
    text(w, "street", address.street);
    text(w, "detail", address.detail);
    text(w, "code", address.districtCode);
    w.EndObject();
    w.Key("districts");
    w.StartArray();
    for (const std::string& name : address.districts()) w.String(name.data(), name.size());
    w.EndArray();
    w.Key("isVillage");
    w.Bool(address.isVillage);

    const std::optional<GeoPoint> at = locate(rules_, address.normalized);
    const bool nationwide = !at && nationwide_.project() == project;
    w.Key("sites");
    w.StartArray();
    if (nationwide) {
      int given = 0;
      for (const SiteAtDistance& s : nationwide_.sites(address)) {
        if (given == rules_.maxSites || s.distance > rules_.siteRadius) break;
        writeSite(w, *s.site, address.normalized, s.distance);
        ++given;
      }
    } else if (at) {
      std::vector<std::pair<long long, const Site*>> near;
      for (const Site& site : rules_.sites) {
        if (site.project != 0 && site.project != project) continue;
        const long long d = distanceMetres(*at, site.location);
        if (d <= rules_.siteRadius) near.emplace_back(d, &site);
      }
      std::sort(near.begin(), near.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second->id < b.second->id;
      });
      if (near.size() > static_cast<size_t>(rules_.maxSites)) near.resize(rules_.maxSites);
      for (const auto& [d, site] : near) writeSite(w, *site, address.normalized, d);
    }
    w.EndArray();

    w.Key("policies");
    w.StartArray();
    for (const Rule& rule : rules_.rules) {
      std::string_view keyword;
      if (rule.project == project && ruleMatches(rule, address, keyword)) {
        writePolicy(w, rule, matchedObject(rule, address, keyword));
      }
    }
    if (nationwide) {
      for (const Rule* rule : nationwide_.restrictions(address)) writePolicy(w, *rule, rule->object);
    }
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace pv::sandbox
