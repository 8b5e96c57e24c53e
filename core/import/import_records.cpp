#include "core/import/import_records.h"

#include "core/regex/regex_matcher.h"

namespace pv {

const std::string& ImportProfile::pattern(int slot) const {
  return const_cast<ImportProfile*>(this)->pattern(slot);
}

std::string& ImportProfile::pattern(int slot) {
  switch (slot) {
    case 0: return regionPattern;
    case 1: return cityPattern;
    case 2: return districtPattern;
    case 3: return streetPattern;
    case 4: return addressPattern;
    default: return orderNoPattern;
  }
}

bool headerPatternFinds(std::string_view pattern, std::string_view text) {
  RegexMatcher matcher;
  return matcher.execute(pattern, text) && matcher.matchCount() > 0;
}

int firstMissingColumn(const ImportProfile& profile, const ImportOptional& optional,
                       const ImportColumns& columns) {
  for (int slot = 0; slot < kImportSlots; ++slot) {
    if (!profile.pattern(slot).empty() && columns.column[slot] == 0 &&
        optional.flags[slot] == 0)
      return slot;
  }
  return -1;
}

std::string missingColumnText(std::string_view pattern) {
  return std::string("请确认导入标题包含‘").append(pattern).append("’");
}

}  // namespace pv
