#include "core/process/command_line.h"

#include <algorithm>
#include <string>

namespace pv {

bool asksForUninstall(const std::vector<std::string>& arguments) {
  return std::find(arguments.begin(), arguments.end(), kUninstallArgument) != arguments.end();
}

bool mayAskForUninstall(std::string_view commandLine) {
  std::string unquoted;
  unquoted.reserve(commandLine.size());
  // A double quote is never a trail byte of a GBK character, so dropping it splits none.
  for (char c : commandLine) {
    if (c != '"') unquoted.push_back(c);
  }
  return unquoted.find(kUninstallArgument) != std::string::npos;
}

}  // namespace pv
