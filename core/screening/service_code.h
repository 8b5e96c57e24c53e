#pragma once
// What the client does with the code of a screening answer: a login the service no longer
// accepts restarts the program (the login window comes back), a client version it no
// longer serves offers the download page; every other code lets the caller go on.
#include <cstdint>
#include <string_view>

#include "core/process/restart.h"
#include "core/system/browser.h"
#include "core/ui/dialogs.h"

namespace pv {

inline constexpr std::string_view kScreeningTitle = "筛单提示";

struct ServiceCodeReactions {
  Dialogs& dialogs;
  Browser& browser;
  RestartHost& restart;
};

inline constexpr bool isSessionCode(std::int32_t code) noexcept { return code >= 20001 && code <= 20099; }
inline constexpr std::int32_t kUnsupportedVersionCode = 20701;

// 1: go on; 0: the caller must stop (a batch run ends). `message` is the answer's msg in
// GBK. The boxes have no owner window. A restart that cannot be made (the program's folder
// refuses the script, say) leaves the program running and tells the operator to start it
// again.
int checkServiceCode(ServiceCodeReactions& reactions, std::int32_t code, std::string_view message);

}  // namespace pv
