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

}  // namespace pv
