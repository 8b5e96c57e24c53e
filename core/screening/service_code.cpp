#include "core/screening/service_code.h"

#include <string>

#include "core/product/product.h"

namespace pv {

int checkServiceCode(ServiceCodeReactions& reactions, std::int32_t code, std::string_view message) {
  if (isSessionCode(code)) {
    reactions.dialogs.show({.text = std::string(message) + "\r\n请重新登录", .title = std::string(kScreeningTitle)});
    if (restartProgram(reactions.restart) != RestartOutcome::Ended) {
      reactions.dialogs.show({.text = "程序未能自动重新启动，请关闭程序后再次启动并重新登录。",
                              .title = std::string(kScreeningTitle),
                              .icon = DialogIcon::Warning});
    }
    return 0;
  }
  if (code == kUnsupportedVersionCode) {
    const DialogAnswer answer = reactions.dialogs.show({.text = "当前版本停止支持，是否前往下载新版？",
                                                        .title = std::string(kScreeningTitle),
                                                        .buttons = DialogButtons::YesNo});
    if (answer == DialogAnswer::Yes) reactions.browser.open(kWebSite);
    return 0;
  }
  return 1;
}

}  // namespace pv
