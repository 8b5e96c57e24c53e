#pragma once
// The program's only command-line word: the uninstall.
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// Spelled as the installation entries write it, so it must stay this way.
inline constexpr std::string_view kUninstallArgument = "unistall";

// True when any argument (the program's own path is not one) is exactly "unistall":
// byte for byte, case-sensitive. Every other argument is ignored.
bool asksForUninstall(const std::vector<std::string>& arguments);

// False only when no argument of the whole command line `commandLine` (GBK) can be the
// uninstall word: the word does not occur in it once its double quotes are dropped. The
// system's split takes quotes out of an argument and otherwise keeps its letters, so a
// start without the word need not split its command line at all.
bool mayAskForUninstall(std::string_view commandLine);

}  // namespace pv
