#include "tools/sandbox/nationwide.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "tools/sandbox/utf8.h"

namespace pv::sandbox {
namespace {

uint64_t hashOf(std::string_view salt, std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (std::string_view part : {salt, std::string_view("|"), text}) {
    for (unsigned char c : part) {
      h ^= c;
      h *= 1099511628211ull;
    }
  }
  return h ^ (h >> 29);
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The name people say: "淳安" for "淳安县", "长阳" for "长阳土家族自治县", "杭州" for "杭州市".
std::string shortName(const std::string& name) {
  if (contains(name, "自治")) return std::string(utf8Prefix(name, 2));
  for (std::string_view suffix : {"特别行政区", "地区", "新区", "林区", "区", "县", "市", "旗", "盟", "省"}) {
    if (endsWith(name, suffix) && utf8Length(name) - utf8Length(suffix) >= 2) {
      return name.substr(0, name.size() - suffix.size());
    }
  }
  return name;
}

// What the last three digits of a town code say about it.
enum class TownKind { kStreet, kTown, kTownship, kOther };
TownKind townKind(const std::string& code) {
  switch (code.size() == 9 ? code[6] : '9') {
    case '0': return TownKind::kStreet;
    case '1': return TownKind::kTown;
    case '2': return TownKind::kTownship;
    default: return TownKind::kOther;
  }
}

constexpr std::string_view kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                                          "徐", "孙", "马", "朱", "胡", "郭", "何", "林", "罗", "高"};
constexpr std::string_view kRoles[] = {"师傅", "经理", "主管"};
constexpr std::string_view kRoads[] = {"人民路", "建设路", "解放路", "中山路", "文化路",
                                       "新华路", "胜利路", "光明路", "和平路", "团结路"};

Rule restriction(int project, const std::string& brand, int type, std::string object) {
  Rule r;
  r.project = project;
  r.type = type;
  r.mode = 1;
  r.modeStr = "区域匹配";
  r.object = std::move(object);
  r.source = "网点公告";
  r.creator = brand + "运营中心";
  switch (type) {
    case 1:
      r.color = "#f06e33", r.typeStr = "盲区停发", r.typeName = "盲区停发", r.shortTypeName = "盲区";
      break;
    case 2:
      r.color = "ff9900", r.typeStr = "超区加收";
      break;
    default:
      r.typeStr = "其他限制";
      break;
  }
  return r;
}

}  // namespace

std::string NationwideNetwork::unknownNames(const Nationwide& settings, const Gazetteer& gazetteer) {
  std::string unknown;
  for (const auto* names : {&settings.remote, &settings.islands}) {
    for (const std::string& name : *names) {
      const auto& all = gazetteer.divisions();
      if (std::none_of(all.begin(), all.end(), [&](const Gazetteer::Entry& e) { return e.name == name; })) {
        unknown += (unknown.empty() ? "" : ", ") + name;
      }
    }
  }
  return unknown;
}

NationwideNetwork::NationwideNetwork(const Nationwide& settings, const Gazetteer& gazetteer)
    : project_(settings.project), brand_(settings.brand) {
  if (project_ == 0) return;
  const auto named = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  for (const Gazetteer::Entry& e : gazetteer.divisions()) {
    if (named(settings.remote, e.name)) remoteCodes_.insert(e.code);
  }

  // Restrictions. Each division's share of them follows from a hash of its code, so the
  // same divisions are restricted on every start and on every machine.
  std::unordered_map<std::string, std::vector<std::string>> blindTowns;  // by district code
  for (const Gazetteer::Entry& e : gazetteer.divisions()) {
    const bool remote = isRemote(e.code);
    if (named(settings.islands, e.name)) {
      Rule r = restriction(project_, brand_, 2, e.name);
      r.typeName = "海岛加收", r.shortTypeName = "海岛";
      r.remark = e.name + "为海岛地区，需转船运输，每票加收8元";
      addRule(e.code, r);
    }
    if (remoteCodes_.count(e.code)) {
      Rule r = restriction(project_, brand_, 2, e.name);
      r.typeName = "偏远加收", r.shortTypeName = "偏远";
      r.remark = e.name + "属偏远地区，每票加收10元";
      addRule(e.code, r);
    }
    const uint64_t h = hashOf("restriction", e.code);
    if (e.level == 2 && remote && h % 4 == 0) {
      Rule r = restriction(project_, brand_, 1, e.name);
      r.remark = e.name + "暂未开通派送";
      addRule(e.code, r);
    }
    if (e.level != 3) continue;

    const TownKind kind = townKind(e.code);
    const bool farm = endsWith(e.name, "农场") || endsWith(e.name, "林场") || endsWith(e.name, "牧场") ||
                      endsWith(e.name, "种场") || endsWith(e.name, "渔场");
    const bool park = contains(e.name, "开发区") || contains(e.name, "园区") || contains(e.name, "工业园") ||
                      contains(e.name, "产业基地") || contains(e.name, "示范区");
    const bool guarded = contains(e.name, "机场") || contains(e.name, "港区") || contains(e.name, "保税");
    const bool blind = guarded ||
                       (kind == TownKind::kTownship && h % (remote ? 3 : 8) == 0) ||
                       (kind == TownKind::kTown && h % (remote ? 6 : 25) == 0) ||
                       (kind == TownKind::kStreet && h % 80 == 0);
    if (blind) {
      Rule r = restriction(project_, brand_, 1, e.name);
      r.remark = guarded                       ? e.name + "属管控区域，快递不得入内"
                 : kind == TownKind::kStreet ? e.name + "道路施工，暂停派送"
                                             : e.name + "网点撤并，暂停派送";
      addRule(e.code, r);
      blindTowns[e.code.substr(0, 6)].push_back(e.name);
    } else if (!remote && ((kind == TownKind::kTownship && h % 4 == 1) ||
                           (kind == TownKind::kTown && h % 10 == 1))) {
      Rule r = restriction(project_, brand_, 2, e.name);
      r.typeName = "乡镇加收", r.shortTypeName = "超区";
      r.remark = e.name + "超出网点派送范围，每票加收3元";
      addRule(e.code, r);
    }
    if (farm) {
      Rule r = restriction(project_, brand_, 99, e.name);
      r.color = "#9933cc", r.typeName = "场区自提", r.shortTypeName = "自提";
      r.remark = e.name + "无派送网点，请收件人到网点自提";
      addRule(e.code, r);
    } else if (park) {
      Rule r = restriction(project_, brand_, 99, e.name);
      r.pass = true;
      r.color = "#3366cc", r.typeName = "园区限制", r.shortTypeName = "园区";
      r.remark = "园区地址仅工作日派送，周末顺延";
      addRule(e.code, r);
    }
  }

  // One site per district, at its seat.
  std::unordered_map<std::string, std::vector<const Gazetteer::Entry*>> districtsOfCity, townsOf;
  for (const Gazetteer::Entry& e : gazetteer.divisions()) {
    if (e.level == 2) districtsOfCity[e.code.substr(0, 4)].push_back(&e);
    if (e.level == 3) townsOf[e.code.substr(0, 6)].push_back(&e);
  }
  for (const auto& [cityCode, districts] : districtsOfCity) {
    for (size_t i = 0; i < districts.size(); ++i) {
      const Gazetteer::Entry& d = *districts[i];
      const std::string province = gazetteer.displayName(gazetteer.find(d.code.substr(0, 2)));
      const std::string city = gazetteer.displayName(gazetteer.find(cityCode));
      const std::vector<const Gazetteer::Entry*>& towns = townsOf[d.code];
      const uint64_t h = hashOf("site", d.code);
      District district;
      district.urban = endsWith(d.name, "区");
      district.remote = isRemote(d.code);
      if (districts.size() > 1) district.neighbour = districts[(i + 1) % districts.size()]->code;

      Site& s = district.site;
      s.id = std::stoi(d.code);
      s.project = project_;
      s.title = shortName(d.name) + "网点";
      s.name = brand_ + s.title;
      s.linkPerson = std::string(kSurnames[h % std::size(kSurnames)]) +
                     std::string(kRoles[(h >> 8) % std::size(kRoles)]);
      s.linkPhone = "1" + std::string(1, "358"[(h >> 12) % 3]);
      for (int k = 0; k < 9; ++k) s.linkPhone += static_cast<char>('0' + (h >> (16 + 4 * k)) % 10);
      s.groupName = (city.empty() ? province : city) + "转运中心";
      s.labels = district.urban ? std::vector<std::string>{"直营", "可派送"}
                 : district.remote ? std::vector<std::string>{"加盟", "偏远"}
                                   : std::vector<std::string>{"加盟", "乡镇"};
      const auto seat = std::find_if(towns.begin(), towns.end(), [](const Gazetteer::Entry* t) {
        return townKind(t->code) == TownKind::kStreet || townKind(t->code) == TownKind::kTown;
      });
      s.address = province + (city == province ? "" : city) + d.name +
                  (seat == towns.end() ? "" : (*seat)->name) +
                  std::string(kRoads[(h >> 20) % std::size(kRoads)]) +
                  std::to_string(1 + (h >> 28) % 300) + "号";
      s.deliveryArea = d.name + (district.urban ? "全境" : "城区");
      if (!district.urban && !towns.empty()) {
        s.deliveryArea += "及";
        for (size_t t = 0; t < towns.size() && t < 3; ++t) s.deliveryArea += (t ? "、" : "") + towns[t]->name;
        s.deliveryArea += towns.size() > 3 ? "等" + std::to_string(towns.size()) + "个乡镇街道" : "";
      }
      if (const auto blind = blindTowns.find(d.code); blind != blindTowns.end()) {
        for (size_t t = 0; t < blind->second.size() && t < 3; ++t) s.specialArea += (t ? "、" : "") + blind->second[t];
        s.specialArea += blind->second.size() > 3 ? "等暂停派送" : "暂停派送";
      }
      s.firstSite = brand_ + shortName(city.empty() ? province : city) + "分拨中心";
      s.extra = {{"派送时效", district.urban ? "当日达" : district.remote ? "隔日达" : "次日达"},
                 {"营业时间", district.remote ? "09:00-18:00" : "08:00-20:00"}};
      sites_.emplace(d.code, std::move(district));
    }
  }
}

void NationwideNetwork::addRule(const std::string& code, Rule rule) {
  rule.id = 100000 + static_cast<int>(ruleCount_++);
  rules_[code].push_back(std::move(rule));
}

bool NationwideNetwork::isRemote(const std::string& code) const {
  for (size_t digits : {2, 4, 6, 9}) {
    if (code.size() >= digits && remoteCodes_.count(code.substr(0, digits))) return true;
  }
  return false;
}

// How far the address lies from its district's seat. Street offices lie around the seat,
// towns farther out, townships farthest; a village lies outside its town's centre; remote
// counties are almost twice as wide, yet inside the default site radius. Each town keeps
// its own distance, each address a little of its own around it.
long long NationwideNetwork::distanceTo(const District& district, const ParsedAddress& address) const {
  const std::string& code = address.districtCode;
  const uint64_t town = hashOf("town", code);
  const uint64_t own = hashOf("address", address.normalized);
  long long metres = 0;
  if (code.size() < 9) {
    metres = (district.urban ? 800 : 1000) + static_cast<long long>(own % (district.urban ? 7000 : 11000));
  } else {
    switch (townKind(code)) {
      case TownKind::kStreet: metres = 600 + static_cast<long long>(town % 4000); break;
      case TownKind::kTown: metres = 8000 + static_cast<long long>(town % 20000); break;
      case TownKind::kTownship: metres = 16000 + static_cast<long long>(town % 26000); break;
      case TownKind::kOther: metres = 5000 + static_cast<long long>(town % 15000); break;
    }
    metres += static_cast<long long>(own % 1500);
  }
  if (address.isVillage) metres += 2000 + static_cast<long long>((own >> 20) % 9000);
  return district.remote ? metres * 9 / 5 : metres;
}

std::vector<SiteAtDistance> NationwideNetwork::sites(const ParsedAddress& address) const {
  std::vector<SiteAtDistance> out;
  if (address.districtCode.size() < 6) return out;
  const auto own = sites_.find(address.districtCode.substr(0, 6));
  if (own == sites_.end()) return out;
  const long long distance = distanceTo(own->second, address);
  out.push_back({&own->second.site, distance});
  if (const auto next = sites_.find(own->second.neighbour); next != sites_.end()) {
    const uint64_t h = hashOf(next->first, address.normalized);
    out.push_back({&next->second.site, distance + 5000 + static_cast<long long>(h % 20000)});
  }
  return out;
}

std::vector<const Rule*> NationwideNetwork::restrictions(const ParsedAddress& address) const {
  std::vector<const Rule*> out;
  const std::string& code = address.districtCode;
  for (size_t digits : {2, 4, 6, 9}) {
    if (code.size() < digits) break;
    if (const auto found = rules_.find(code.substr(0, digits)); found != rules_.end()) {
      for (const Rule& r : found->second) out.push_back(&r);
    }
  }
  return out;
}

}  // namespace pv::sandbox
