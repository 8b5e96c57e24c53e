#pragma once
// Verdicts: what the service knows about an address for one project — its divisions, its
// nearest delivery sites with distances, and the restriction rules it meets.
#include <string>
#include <string_view>
#include <vector>

#include "tools/sandbox/gazetteer.h"
#include "tools/sandbox/nationwide.h"
#include "tools/sandbox/rulebase.h"

namespace pv::sandbox {

// Matches `text` as a whole against `pattern`, character by character: "*" is any run of
// characters (also none), "?" one character, "#" one ASCII digit, anything else itself.
bool matchesPattern(std::string_view pattern, std::string_view text);

// Great-circle distance in metres, rounded to the nearest metre.
long long distanceMetres(GeoPoint a, GeoPoint b);

class Screener {
 public:
  Screener(const RuleBase& rules, const Gazetteer& gazetteer)
      : rules_(rules), gazetteer_(gazetteer), nationwide_(rules.nationwide, gazetteer) {}

  // The verdicts of `addresses` (UTF-8) for `project` as a JSON array text, in the order given.
  // Where the file's places name the address, the file's sites and rules answer alone;
  // elsewhere the project's nationwide network adds its sites and restrictions.
  // Deterministic: the same address gives the same answer every time.
  std::string verdictsJson(int project, const std::vector<std::string>& addresses) const;

  const NationwideNetwork& nationwide() const noexcept { return nationwide_; }

 private:
  const RuleBase& rules_;
  const Gazetteer& gazetteer_;
  const NationwideNetwork nationwide_;
};

}  // namespace pv::sandbox
