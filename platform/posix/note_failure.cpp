#include "core/system/note_failure.h"

#include <cstdio>
#include <string>

namespace pv {

void noteFailure(std::string_view where, std::string_view what) noexcept {
  try {
    // One write per line, so lines from two threads do not interleave.
    std::string line = "parcelvane: ";
    line.append(where).append(": ").append(what).push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
  } catch (...) {
    // No memory even for the line: there is nothing left to tell it with.
  }
}

}  // namespace pv
