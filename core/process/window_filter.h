#pragma once
// Which top-level windows a search over the desktop picks: by window class and by title,
// each a part that must occur in the window's own text, ignoring ASCII letter case.
#include <string>
#include <string_view>

namespace pv {

// True when every non-empty filter occurs in its text (character-aligned, GBK). An empty
// filter does not restrict; an unreadable class or title is passed as the empty text.
bool windowPassesFilters(std::string_view classFilter, std::string_view titleFilter,
                         std::string_view className, std::string_view title);

}  // namespace pv
