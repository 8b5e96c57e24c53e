#include "tools/sandbox/rulebase.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace pv::sandbox {
namespace {

using rapidjson::Value;

bool readFile(const std::filesystem::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  out = buffer.str();
  return true;
}

// Reads members of one object of the file and remembers the first thing that is wrong,
// with where it is ("rules[3].type").
class FieldReader {
 public:
  explicit FieldReader(std::string& error) : error_(error) {}

  bool failed() const { return !error_.empty(); }
  void fail(const std::string& where, const std::string& what) {
    if (error_.empty()) error_ = where + ": " + what;
  }

  const Value* member(const Value& object, const char* key) {
    const auto it = object.FindMember(key);
    if (it == object.MemberEnd() || it->value.IsNull()) return nullptr;
    return &it->value;
  }

  int integer(const Value& object, const std::string& where, const char* key, int fallback,
              bool required = false) {
    const Value* v = member(object, key);
    if (!v) {
      if (required) fail(where + "." + key, "missing");
      return fallback;
    }
    if (!v->IsInt()) fail(where + "." + key, "not a 32-bit integer");
    return v->IsInt() ? v->GetInt() : fallback;
  }

  double number(const Value& object, const std::string& where, const char* key, double fallback) {
    const Value* v = member(object, key);
    if (!v) return fallback;
    if (!v->IsNumber()) fail(where + "." + key, "not a number");
    return v->IsNumber() ? v->GetDouble() : fallback;
  }

  bool boolean(const Value& object, const std::string& where, const char* key, bool fallback) {
    const Value* v = member(object, key);
    if (!v) return fallback;
    if (!v->IsBool()) fail(where + "." + key, "not true or false");
    return v->IsBool() ? v->GetBool() : fallback;
  }

  std::string text(const Value& object, const std::string& where, const char* key,
                   std::string fallback = "", bool required = false) {
    const Value* v = member(object, key);
    if (!v) {
      if (required) fail(where + "." + key, "missing");
      return fallback;
    }
    if (!v->IsString()) {
      fail(where + "." + key, "not a string");
      return fallback;
    }
    return std::string(v->GetString(), v->GetStringLength());
  }

  std::vector<std::string> texts(const Value& object, const std::string& where, const char* key) {
    std::vector<std::string> out;
    const Value* v = member(object, key);
    if (!v) return out;
    if (!v->IsArray()) {
      fail(where + "." + key, "not an array of strings");
      return out;
    }
    for (const Value& item : v->GetArray()) {
      if (!item.IsString() || item.GetStringLength() == 0) {
        fail(where + "." + key, "not an array of non-empty strings");
        return {};
      }
      out.emplace_back(item.GetString(), item.GetStringLength());
    }
    return out;
  }

  GeoPoint location(const Value& object, const std::string& where, const char* key) {
    const Value* v = member(object, key);
    const bool fits = v && v->IsArray() && v->Size() == 2 && (*v)[0].IsNumber() &&
                      (*v)[1].IsNumber();
    if (!fits) {
      fail(where + "." + key, "must be [longitude, latitude]");
      return {};
    }
    GeoPoint p{(*v)[0].GetDouble(), (*v)[1].GetDouble()};
    if (p.lng < -180 || p.lng > 180 || p.lat < -90 || p.lat > 90) {
      fail(where + "." + key, "longitude or latitude out of range");
    }
    return p;
  }

  // Calls `each` for every element of the array member `key`, with its place for messages.
  template <class F>
  void forEach(const Value& root, const char* key, F each) {
    const Value* v = member(root, key);
    if (!v) return;
    if (!v->IsArray()) {
      fail(key, "not an array");
      return;
    }
    for (rapidjson::SizeType i = 0; i < v->Size() && !failed(); ++i) {
      const std::string where = std::string(key) + "[" + std::to_string(i) + "]";
      if (!(*v)[i].IsObject()) {
        fail(where, "not an object");
        return;
      }
      each((*v)[i], where);
    }
  }

 private:
  std::string& error_;
};

std::string defaultTypeText(int type) {
  switch (type) {
    case 1: return "盲区停发";
    case 2: return "超区加收";
    case 3: return "虚假地址";
    default: return "其他限制";
  }
}

std::string defaultModeText(int mode) {
  switch (mode) {
    case 1: return "区域匹配";
    case 2: return "关键字匹配";
    case 3: return "模式匹配";
    default: return "其他匹配";
  }
}

}  // namespace

bool RuleBase::load(const std::string& path, std::string& error) {
  error.clear();
  std::string content;
  if (!readFile(path, content)) {
    error = "cannot read the rules file " + path;
    return false;
  }
  rapidjson::Document doc;
  doc.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(content.data(), content.size());
  if (doc.HasParseError()) {
    error = path + ": not JSON at byte " + std::to_string(doc.GetErrorOffset()) + ": " +
            rapidjson::GetParseError_En(doc.GetParseError());
    return false;
  }
  if (!doc.IsObject()) {
    error = path + ": the root must be an object";
    return false;
  }
  FieldReader r(error);
  *this = RuleBase{};

  r.forEach(doc, "accounts", [&](const Value& v, const std::string& at) {
    Account a;
    a.id = r.integer(v, at, "id", 0, true);
    a.account = r.text(v, at, "account", "", true);
    a.password = r.text(v, at, "password", "", true);
    a.username = r.text(v, at, "username", a.account);
    accounts.push_back(a);
  });
  r.forEach(doc, "projects", [&](const Value& v, const std::string& at) {
    Project p;
    p.id = r.integer(v, at, "id", 0, true);
    p.name = r.text(v, at, "name", "", true);
    p.notice = r.text(v, at, "notice");
    p.serviceTypeId = r.integer(v, at, "serviceTypeID", 1);
    p.forbidden = r.boolean(v, at, "forbidden", false);
    projects.push_back(p);
  });
  r.forEach(doc, "services", [&](const Value& v, const std::string& at) {
    Service s;
    s.id = r.integer(v, at, "id", 0, true);
    s.project = r.integer(v, at, "project", 0, true);
    s.alias = r.text(v, at, "alias", "", true);
    s.owner = r.integer(v, at, "owner", 0, true);
    s.enabled = r.boolean(v, at, "enabled", true);
    services.push_back(s);
  });
  r.forEach(doc, "sites", [&](const Value& v, const std::string& at) {
    Site s;
    s.id = r.integer(v, at, "id", 0, true);
    s.project = r.integer(v, at, "project", 0);
    s.name = r.text(v, at, "name", "", true);
    s.title = r.text(v, at, "title");
    s.linkPerson = r.text(v, at, "linkPerson");
    s.linkPhone = r.text(v, at, "linkPhone");
    s.groupName = r.text(v, at, "groupName");
    s.labels = r.texts(v, at, "labels");
    s.address = r.text(v, at, "address");
    s.deliveryArea = r.text(v, at, "deliveryArea");
    s.specialArea = r.text(v, at, "specialArea");
    s.firstSite = r.text(v, at, "firstSite");
    if (const Value* extra = r.member(v, "extra")) {
      if (!extra->IsObject()) r.fail(at + ".extra", "not an object");
      for (auto it = extra->MemberBegin(); extra->IsObject() && it != extra->MemberEnd(); ++it) {
        if (!it->value.IsString()) r.fail(at + ".extra", "every member must be a string");
        if (it->value.IsString()) {
          s.extra.emplace_back(it->name.GetString(), it->value.GetString());
        }
      }
    }
    s.location = r.location(v, at, "location");
    sites.push_back(s);
  });
  r.forEach(doc, "places", [&](const Value& v, const std::string& at) {
    Place p;
    p.match = r.text(v, at, "match", "", true);
    p.location = r.location(v, at, "location");
    p.spread = r.number(v, at, "spread", 0);
    if (p.spread < 0 || p.spread > 1e6) r.fail(at + ".spread", "must be 0 to 1000000 metres");
    places.push_back(p);
  });
  r.forEach(doc, "rules", [&](const Value& v, const std::string& at) {
    Rule x;
    x.id = r.integer(v, at, "id", static_cast<int>(rules.size()) + 1);
    x.project = r.integer(v, at, "project", 0, true);
    x.type = r.integer(v, at, "type", 0, true);
    if (x.type != 1 && x.type != 2 && x.type != 3 && x.type != 99) {
      r.fail(at + ".type", "must be 1, 2, 3 or 99");
    }
    x.province = r.text(v, at, "province");
    x.city = r.text(v, at, "city");
    x.district = r.text(v, at, "district");
    x.street = r.text(v, at, "street");
    x.keywords = r.texts(v, at, "keywords");
    x.patterns = r.texts(v, at, "patterns");
    x.detailUnder = r.integer(v, at, "detailUnder", 0);
    if (x.detailUnder < 0 || x.detailUnder > 1000) r.fail(at + ".detailUnder", "must be 0 to 1000");
    const bool byDivision =
        !x.province.empty() || !x.city.empty() || !x.district.empty() || !x.street.empty();
    if (!byDivision && x.keywords.empty() && x.patterns.empty() && x.detailUnder == 0) {
      r.fail(at, "names no division, keyword, pattern or detail length");
    }
    const int impliedMode = !x.patterns.empty() ? 3 : !x.keywords.empty() ? 2 : 1;
    x.mode = r.integer(v, at, "mode", impliedMode);
    x.pass = r.boolean(v, at, "pass", false);
    x.color = r.text(v, at, "color", x.pass ? "#e6a23c" : "#f06e33");
    x.typeStr = r.text(v, at, "typeStr", defaultTypeText(x.type));
    x.typeName = r.text(v, at, "typeName", x.typeStr);
    x.shortTypeName = r.text(v, at, "shortTypeName");
    x.modeStr = r.text(v, at, "modeStr", defaultModeText(x.mode));
    x.object = r.text(v, at, "object");
    x.popObject = r.text(v, at, "popObject");
    x.source = r.text(v, at, "source");
    x.creator = r.text(v, at, "creator");
    x.remark = r.text(v, at, "remark");
    rules.push_back(x);
  });

  if (const auto it = doc.FindMember("client"); it != doc.MemberEnd() && !r.failed()) {
    const Value& c = it->value;
    if (!c.IsObject()) {
      r.fail("client", "not an object");
    } else {
      clientName = r.text(c, "client", "name", clientName);
      latestVersion = r.text(c, "client", "latest");
      downloadUrl = r.text(c, "client", "download");
      r.forEach(c, "versions", [&](const Value& v, const std::string& at) {
        ClientVersion cv;
        cv.id = r.integer(v, "client." + at, "id", 0, true);
        cv.version = r.text(v, "client." + at, "version", "", true);
        cv.forbidden = r.boolean(v, "client." + at, "forbidden", false);
        versions.push_back(cv);
      });
    }
  }

  if (const auto it = doc.FindMember("nationwide"); it != doc.MemberEnd() && !r.failed()) {
    const Value& n = it->value;
    if (!n.IsObject()) {
      r.fail("nationwide", "not an object");
    } else {
      nationwide.project = r.integer(n, "nationwide", "project", 0, true);
      nationwide.brand = r.text(n, "nationwide", "brand");
      nationwide.remote = r.texts(n, "nationwide", "remote");
      nationwide.islands = r.texts(n, "nationwide", "islands");
    }
  }

  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (const auto it = doc.FindMember("contact"); it != doc.MemberEnd() && !r.failed()) {
    const Value& c = it->value;
    if (!c.IsObject()) {
      r.fail("contact", "not an object");
    } else {
      contact.qq = r.text(c, "contact", "qq");
      contact.qqHref = r.text(c, "contact", "qqHref");
      contact.wechat = r.text(c, "contact", "wechat");
      for (auto [key, picture] : {std::pair{"qqPicture", &contact.qqPicture},
                                  std::pair{"wechatPicture", &contact.wechatPicture}}) {
        const std::string file = r.text(c, "contact", key);
        if (!file.empty() && !readFile(folder / file, *picture)) {
          r.fail(std::string("contact.") + key, "cannot read " + (folder / file).string());
        }
      }
    }
  }

  if (const auto it = doc.FindMember("settings"); it != doc.MemberEnd() && !r.failed()) {
    const Value& s = it->value;
    if (!s.IsObject()) {
      r.fail("settings", "not an object");
    } else {
      maxSites = r.integer(s, "settings", "maxSites", maxSites);
      siteRadius = r.number(s, "settings", "siteRadius", siteRadius);
      maxAddresses = r.integer(s, "settings", "maxAddresses", maxAddresses);
      if (maxSites < 0 || maxSites > 50) r.fail("settings.maxSites", "must be 0 to 50");
      if (maxAddresses < 1 || maxAddresses > 1000) {
        r.fail("settings.maxAddresses", "must be 1 to 1000");
      }
    }
  }

  // Ids must be unique and references must point somewhere, or answers would be ambiguous.
  const auto unique = [&](const char* what, const auto& items) {
    std::set<int> seen;
    for (const auto& item : items) {
      if (!seen.insert(item.id).second) {
        r.fail(what, "id " + std::to_string(item.id) + " appears twice");
      }
    }
  };
  unique("accounts", accounts);
  unique("projects", projects);
  unique("services", services);
  unique("sites", sites);
  unique("client.versions", versions);
  std::set<std::string> names;
  for (const Account& a : accounts) {
    if (!names.insert(a.account).second) r.fail("accounts", "account " + a.account + " twice");
  }
  const auto hasProject = [&](int id) {
    for (const Project& p : projects) {
      if (p.id == id) return true;
    }
    return false;
  };
  for (const Service& s : services) {
    if (!hasProject(s.project)) r.fail("services", "service " + std::to_string(s.id) + " names an unknown project");
    if (!accountById(s.owner)) r.fail("services", "service " + std::to_string(s.id) + " names an unknown owner");
  }
  for (const Rule& x : rules) {
    if (!hasProject(x.project)) r.fail("rules", "rule " + std::to_string(x.id) + " names an unknown project");
  }
  if (nationwide.project != 0 && !hasProject(nationwide.project)) {
    r.fail("nationwide.project", "names an unknown project");
  }
  for (const Project& p : projects) {
    if (p.id == nationwide.project && nationwide.brand.empty()) nationwide.brand = p.name;
  }
  if (!latestVersion.empty() && !version(latestVersion)) {
    r.fail("client.latest", "not one of client.versions");
  }
  if (r.failed()) error = path + ": " + error;
  return !r.failed();
}

const Account* RuleBase::accountByName(const std::string& name) const {
  for (const Account& a : accounts) {
    if (a.account == name) return &a;
  }
  return nullptr;
}

const Account* RuleBase::accountById(int id) const {
  for (const Account& a : accounts) {
    if (a.id == id) return &a;
  }
  return nullptr;
}

const Service* RuleBase::serviceById(int id) const {
  for (const Service& s : services) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

const ClientVersion* RuleBase::version(const std::string& text) const {
  for (const ClientVersion& v : versions) {
    if (v.version == text) return &v;
  }
  return nullptr;
}

const ClientVersion* RuleBase::latest() const {
  return latestVersion.empty() ? nullptr : version(latestVersion);
}

}  // namespace pv::sandbox
