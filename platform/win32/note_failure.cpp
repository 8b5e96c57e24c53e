#include "core/system/note_failure.h"

#include <windows.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace pv {

void noteFailure(std::string_view where, std::string_view what) noexcept {
  try {
    std::string line = "parcelvane: ";
    line.append(where).append(": ").append(what).push_back('\n');
    OutputDebugStringW(toWide(line).c_str());
  } catch (...) {
    // No memory even for the line: there is nothing left to tell it with.
  }
}

}  // namespace pv
