#include "core/process/command_line.h"

#include <algorithm>

namespace pv {

bool asksForUninstall(const std::vector<std::string>& arguments) {
  return std::find(arguments.begin(), arguments.end(), kUninstallArgument) != arguments.end();
}

}  // namespace pv
