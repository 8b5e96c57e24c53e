#pragma once
// The nationwide network of one project: a delivery site in every district and
// restrictions by division, made from the gazetteer by fixed rules, so that addresses from
// anywhere in the country get sites at plausible distances and meet every kind of
// restriction (README.md, "Nationwide network"). Deterministic: the same address always
// gets the same answer. Built once at start; read-only afterwards.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tools/sandbox/gazetteer.h"
#include "tools/sandbox/rulebase.h"

namespace pv::sandbox {

struct SiteAtDistance {
  const Site* site;
  long long distance;  // metres from the site to the address
};

class NationwideNetwork {
 public:
  NationwideNetwork(const Nationwide& settings, const Gazetteer& gazetteer);

  // The settings' division names the gazetteer does not know, joined with ", "; "" when
  // it knows them all.
  static std::string unknownNames(const Nationwide& settings, const Gazetteer& gazetteer);

  int project() const noexcept { return project_; }
  // The sites serving `address`, nearest first: its district's own and a neighbour's;
  // none when it names no district.
  std::vector<SiteAtDistance> sites(const ParsedAddress& address) const;
  // The restrictions of the divisions `address` lies in, from the province down.
  std::vector<const Rule*> restrictions(const ParsedAddress& address) const;

  size_t siteCount() const noexcept { return sites_.size(); }
  size_t ruleCount() const noexcept { return ruleCount_; }

 private:
  struct District {
    Site site;
    std::string neighbour;  // another district of the same city, "" when it has none
    bool urban = false;     // a city district ("…区"), not a county
    bool remote = false;
  };

  void addRule(const std::string& code, Rule rule);
  bool isRemote(const std::string& code) const;
  long long distanceTo(const District& district, const ParsedAddress& address) const;

  int project_ = 0;
  std::string brand_;
  std::unordered_set<std::string> remoteCodes_;
  std::unordered_map<std::string, District> sites_;            // by district code
  std::unordered_map<std::string, std::vector<Rule>> rules_;   // by division code
  size_t ruleCount_ = 0;
};

}  // namespace pv::sandbox
