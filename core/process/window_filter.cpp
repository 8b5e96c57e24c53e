#include "core/process/window_filter.h"

#include "core/text/text.h"

namespace pv {

namespace {

bool passes(std::string_view filter, std::string_view text) {
  return filter.empty() || containsText(toLowerAscii(text), toLowerAscii(filter));
}

}  // namespace

bool windowPassesFilters(std::string_view classFilter, std::string_view titleFilter,
                         std::string_view className, std::string_view title) {
  return passes(classFilter, className) && passes(titleFilter, title);
}

}  // namespace pv
