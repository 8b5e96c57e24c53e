#pragma once
// The sandbox's rule base: accounts, projects, services, delivery sites, places with map
// positions, restriction rules, client versions and the customer-service contact. Loaded
// once from a JSON file at start (format in README.md, "Local screening service") and
// read-only afterwards.
#include <string>
#include <utility>
#include <vector>

namespace pv::sandbox {

struct Account {
  int id = 0;
  std::string account;   // what the operator types to log in
  std::string password;
  std::string username;  // the name the client greets
};

struct Project {
  int id = 0;
  std::string name, notice;
  int serviceTypeId = 1;
  bool forbidden = false;
};

struct Service {
  int id = 0;
  int project = 0;
  std::string alias;
  int owner = 0;         // account id
  bool enabled = true;   // a disabled service is listed but refuses screening
};

struct GeoPoint {
  double lng = 0, lat = 0;
};

struct Site {
  int id = 0;
  int project = 0;       // 0: serves every project
  std::string name, title, linkPerson, linkPhone, groupName, address, deliveryArea,
      specialArea, firstSite;
  std::vector<std::string> labels;
  std::vector<std::pair<std::string, std::string>> extra;  // in file order
  GeoPoint location;
};

// Where an address lies: the place whose `match` is the longest text found in the
// normalised address, moved by up to `spread` metres in a direction and by a distance
// that depend only on the address text.
struct Place {
  std::string match;
  GeoPoint location;
  double spread = 0;
};

struct Rule {
  int id = 0;
  int project = 0;
  int type = 99;         // 1 blind area, 2 surcharge, 3 false address, 99 other
  int mode = 1;          // 1 divisions, 2 keywords, 3 patterns (display; conditions decide)
  bool pass = false;     // hint only
  std::string color, typeStr, typeName, shortTypeName, modeStr, object, popObject, source,
      creator, remark;
  // Conditions, all of those given must hold: each named division equal to the address's,
  // any keyword contained in it, any pattern matching it as a whole.
  std::string province, city, district, street;
  std::vector<std::string> keywords, patterns;
  int detailUnder = 0;   // the detail has fewer characters than this (0: no such condition)
};

// The delivery network of one project over the whole country, made from the gazetteer
// where the file places nothing: sites for every district and restrictions by division
// (README.md, "Nationwide network").
struct Nationwide {
  int project = 0;                    // 0: no such network
  std::string brand;                  // site names begin with it; default the project's name
  std::vector<std::string> remote;    // division names: far sites, surcharges, blind counties
  std::vector<std::string> islands;   // division names: surcharges
};

struct ClientVersion {
  int id = 0;
  std::string version;
  bool forbidden = false;
};

struct Contact {
  std::string qq, qqHref, wechat;
  std::string qqPicture, wechatPicture;  // file contents (PNG), read at load
};

struct RuleBase {
  std::vector<Account> accounts;
  std::vector<Project> projects;
  std::vector<Service> services;
  std::vector<Site> sites;
  std::vector<Place> places;
  std::vector<Rule> rules;
  Nationwide nationwide;

  std::string clientName = "客户端";
  std::vector<ClientVersion> versions;
  std::string latestVersion, downloadUrl;
  Contact contact;

  int maxSites = 3;              // nearest sites given per address
  double siteRadius = 100000;    // metres; farther sites are not given
  int maxAddresses = 20;         // per screening request

  // Reads the file; pictures are read relative to its folder. False with the reason in
  // `error` (file, member and what is wrong) when anything does not fit the format.
  bool load(const std::string& path, std::string& error);

  const Account* accountByName(const std::string& account) const;
  const Account* accountById(int id) const;
  const Service* serviceById(int id) const;
  const ClientVersion* version(const std::string& text) const;
  const ClientVersion* latest() const;
};

}  // namespace pv::sandbox
