#include "core/erp/desktop.h"

#include "core/text/text.h"

namespace pv {

std::string cutGbkText(std::string_view text, size_t limit) {
  if (text.size() <= limit) return std::string(text);
  size_t end = 0;
  while (end < limit) {
    const bool pair = isGbkLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size();
    const size_t step = pair ? 2 : 1;
    if (end + step > limit) break;
    end += step;
  }
  return std::string(text.substr(0, end));
}

}  // namespace pv
