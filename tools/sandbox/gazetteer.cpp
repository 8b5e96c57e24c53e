#include "tools/sandbox/gazetteer.h"

#include <algorithm>
#include <fstream>
#include <tuple>

#include "tools/sandbox/utf8.h"

namespace pv::sandbox {
namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Cuts `suffix` off when at least two characters stay.
bool cutSuffix(std::string& name, std::string_view suffix) {
  if (!endsWith(name, suffix)) return false;
  const std::string rest = name.substr(0, name.size() - suffix.size());
  if (utf8Length(rest) < 2) return false;
  name = rest;
  return true;
}

// Peoples named in autonomous areas ("延边朝鲜族自治州", "博尔塔拉蒙古自治州"): addresses
// often name the place without them ("延边", "博尔塔拉").
constexpr std::string_view kPeoples[] = {
    "蒙古", "回", "藏", "维吾尔", "苗", "彝", "壮", "布依", "朝鲜", "满", "侗", "瑶",
    "白", "土家", "哈尼", "哈萨克", "傣", "黎", "傈僳", "佤", "畲", "高山", "拉祜", "水",
    "东乡", "纳西", "景颇", "柯尔克孜", "土", "达斡尔", "仫佬", "羌", "布朗", "撒拉",
    "毛南", "仡佬", "锡伯", "阿昌", "普米", "塔吉克", "怒", "乌孜别克", "俄罗斯", "鄂温克",
    "德昂", "保安", "裕固", "京", "塔塔尔", "独龙", "鄂伦春", "赫哲", "门巴", "珞巴", "基诺"};

void cutPeoples(std::string& name) {
  // A one-character people only goes with its "族"; longer names also go without it.
  static const std::vector<std::string> kSuffixes = [] {
    std::vector<std::string> out;
    for (std::string_view people : kPeoples) {
      out.push_back(std::string(people) + "族");
      if (utf8Length(people) > 1) out.emplace_back(people);
    }
    return out;
  }();
  for (bool again = true; again;) {
    again = false;
    for (const std::string& suffix : kSuffixes) {
      if (endsWith(name, suffix) && cutSuffix(name, suffix)) {
        again = true;
        break;
      }
    }
  }
}

// The short forms people write for a division ("浙江" for "浙江省", "西湖" for "西湖区",
// "延边" and "延边州" for "延边朝鲜族自治州"); none when the name has no shorter form.
std::vector<std::string> shortNames(std::string name, int level) {
  const std::string full = name;
  for (std::string_view autonomy : {"自治区", "自治州", "自治县", "自治旗"}) {
    if (cutSuffix(name, autonomy)) {
      cutPeoples(name);
      if (name == full) return {};
      // The kind of area stays readable in "延边州", "长阳县", "鄂温克旗"; not for regions.
      const std::string kind(autonomy.substr(autonomy.size() - std::string_view("州").size()));
      if (autonomy == "自治区") return {name};
      return {name, name + kind};
    }
  }
  static const std::vector<std::string_view> kSuffixes[4] = {
      {"特别行政区", "省", "市"},
      {"地区", "市", "盟"},
      {"新区", "区", "县", "市", "旗"},
      {"街道办事处", "街道", "民族乡", "地区", "镇", "乡", "苏木"}};
  for (std::string_view suffix : kSuffixes[level]) {
    if (cutSuffix(name, suffix)) break;
  }
  if (level == 3) cutPeoples(name);
  if (name == full) return {};
  return {name};
}

// Containers that group a province's districts without being a city in addresses.
bool isMunicipalityContainer(std::string_view name) { return name == "市辖区" || name == "县"; }
bool isDirectContainer(std::string_view name) { return endsWith(name, "直辖县级行政区划"); }

// A short form followed by one of these is the start of a road or place name, not the
// division ("西溪路" is a road, not "西溪街道").
bool roadFollows(std::string_view rest) {
  for (std::string_view mark : {"路", "街", "道", "巷", "弄", "号", "桥"}) {
    if (startsWith(rest, mark)) return true;
  }
  return false;
}

bool isNumeral(std::string_view ch) {
  if (ch.size() == 1) return ch[0] >= '0' && ch[0] <= '9';
  for (std::string_view n : {"一", "二", "三", "四", "五", "六", "七", "八", "九", "十", "百"}) {
    if (ch == n) return true;
  }
  return false;
}

// Village wording in what follows the divisions: "…村" that does not start a road name and
// is not an urban "新村" estate, "…屯", or a numbered group ("3组", "五队", "二社").
bool namesVillage(std::string_view detail) {
  std::string_view previous;
  for (size_t pos = 0; pos < detail.size();) {
    const size_t len = utf8CharLength(detail, pos);
    const std::string_view ch = detail.substr(pos, len);
    const std::string_view rest = detail.substr(pos + len);
    if ((ch == "村" && previous != "新" && !roadFollows(rest) && !startsWith(rest, "大")) ||
        (ch == "屯" && !roadFollows(rest))) {
      return true;
    }
    if ((ch == "组" || ch == "队" || ch == "社") && isNumeral(previous)) return true;
    previous = ch;
    pos += len;
  }
  return false;
}

}  // namespace

struct Gazetteer::Candidate {
  std::array<const Entry*, 4> chosen{};
  size_t consumed = 0;
  int levels = 0;
  int full = 0;
  auto score() const { return std::make_tuple(consumed, levels, full); }
};

bool Gazetteer::load(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the gazetteer " + path;
    return false;
  }
  entries_.clear();
  std::string line;
  size_t lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.find('\t');
    const std::string code = line.substr(0, tab);
    const std::string name = tab == std::string::npos ? "" : line.substr(tab + 1);
    static constexpr int kLevelByDigits[10] = {-1, -1, 0, -1, 1, -1, 2, -1, -1, 3};
    const int level = code.size() < 10 ? kLevelByDigits[code.size()] : -1;
    if (level < 0 || !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }) || name.empty() ||
        !isValidUtf8(name)) {
      error = path + ":" + std::to_string(lineNo) + ": not a division line";
      return false;
    }
    entries_.push_back({code, name, level});
  }
  std::sort(entries_.begin(), entries_.end(),
            [](const Entry& a, const Entry& b) { return a.code < b.code; });
  entries_.erase(std::unique(entries_.begin(), entries_.end(),
                             [](const Entry& a, const Entry& b) { return a.code == b.code; }),
                 entries_.end());
  if (std::none_of(entries_.begin(), entries_.end(), [](const Entry& e) { return e.level == 0; })) {
    error = path + ": no province";
    return false;
  }
  index();
  return true;
}

void Gazetteer::index() {
  byCode_.clear();
  for (auto& names : names_) names.clear();
  shortForms_.clear();
  longestName_ = {};
  byCode_.reserve(entries_.size());
  for (auto& names : names_) names.reserve(entries_.size() * 2);
  for (const Entry& e : entries_) byCode_.emplace(e.code, &e);
  for (const Entry& e : entries_) {
    if (e.level == 1 && isMunicipalityContainer(e.name)) {
      // "北京市朝阳区" and "北京市北京市朝阳区" both occur: the container answers to the
      // municipality's names.
      if (const Entry* province = find(e.code.substr(0, 2))) {
        addName(e, province->name, true);
        for (const std::string& s : shortNames(province->name, 0)) addName(e, s, false);
      }
      continue;
    }
    if (e.level == 1 && isDirectContainer(e.name)) continue;
    addName(e, e.name, true);
    for (const std::string& s : shortNames(e.name, e.level)) addName(e, s, false);
  }
}

void Gazetteer::addName(const Entry& entry, const std::string& name, bool full) {
  const std::string_view key = full && &name == &entry.name ? std::string_view(entry.name)
                                                             : shortForms_.emplace_back(name);
  names_[entry.level][key].push_back({&entry, name.size(), full});
  longestName_[entry.level] = std::max(longestName_[entry.level], utf8Length(name));
}

const Gazetteer::Entry* Gazetteer::find(std::string_view code) const {
  const auto it = byCode_.find(code);
  return it == byCode_.end() ? nullptr : it->second;
}

std::vector<Gazetteer::Match> Gazetteer::matchesAt(std::string_view text, int level,
                                                   std::string_view parent) const {
  std::vector<Match> found;
  size_t end = 0;
  for (size_t chars = 1; chars <= longestName_[level] && end < text.size(); ++chars) {
    end += utf8CharLength(text, end);
    const auto it = names_[level].find(text.substr(0, end));
    if (it == names_[level].end()) continue;
    for (const Match& m : it->second) {
      if (!startsWith(m.entry->code, parent)) continue;
      if (!m.full && level >= 2 && roadFollows(text.substr(end))) continue;
      found.push_back(m);
    }
  }
  return found;
}

// Tries every reading of the address's head (each level matched by any of its names or
// left out) and keeps the one that explains the most text, then the one with the most
// levels, then the one with the most full names; among equals the first in code order.
void Gazetteer::search(std::string_view text, size_t pos, int level, const Entry* parent,
                       Candidate& current, Candidate& best) const {
  if (level == 4) {
    if (current.score() > best.score()) best = current;
    return;
  }
  // Towns and street offices repeat all over the country: only look for one inside a
  // known district.
  const bool mayMatch = level < 3 || (parent != nullptr && parent->level == 2);
  if (mayMatch) {
    for (const Match& m : matchesAt(text.substr(pos), level, parent ? parent->code : "")) {
      current.chosen[level] = m.entry;
      current.consumed += m.bytes;
      current.levels += 1;
      current.full += m.full ? 1 : 0;
      search(text, pos + m.bytes, level + 1, m.entry, current, best);
      current.chosen[level] = nullptr;
      current.consumed -= m.bytes;
      current.levels -= 1;
      current.full -= m.full ? 1 : 0;
    }
  }
  search(text, pos, level + 1, parent, current, best);
}

std::string Gazetteer::displayName(const Entry* entry) const {
  if (entry == nullptr) return "";
  if (entry->level == 1 && isMunicipalityContainer(entry->name)) {
    const Entry* province = find(entry->code.substr(0, 2));
    return province ? province->name : "";
  }
  if (entry->level == 1 && isDirectContainer(entry->name)) return "";
  return entry->name;
}

ParsedAddress Gazetteer::parse(std::string_view address) const {
  const std::string text = normalizeAddressText(address);
  Candidate current, best;
  search(text, 0, 0, nullptr, current, best);

  const Entry* deepest = nullptr;
  for (const Entry* e : best.chosen) {
    if (e) deepest = e;
  }
  ParsedAddress out;
  if (deepest) {
    const std::string& code = deepest->code;
    out.districtCode = code;
    out.province = displayName(find(code.substr(0, 2)));
    if (code.size() >= 4) out.city = displayName(find(code.substr(0, 4)));
    if (code.size() >= 6) out.district = displayName(find(code.substr(0, 6)));
    if (code.size() >= 9) out.street = displayName(deepest);
  }
  out.detail = text.substr(best.consumed);
  for (const std::string& name : out.districts()) out.normalized += name;
  out.normalized += out.detail;
  out.isVillage = namesVillage(out.detail);
  return out;
}

std::vector<std::string> ParsedAddress::districts() const {
  std::vector<std::string> names;
  for (const std::string* name : {&province, &city, &district, &street}) {
    if (!name->empty() && (names.empty() || names.back() != *name)) names.push_back(*name);
  }
  return names;
}

}  // namespace pv::sandbox
