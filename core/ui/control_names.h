#pragma once
// The names of the controls (and menu items) that flows address, each spelt once: the window
// tables (window_defs.cpp) declare the controls under these constants and every flow finds
// them by the same constants, so a renamed control cannot leave a caller behind. Controls
// that no flow addresses keep their names in the tables alone. All names are GBK.
#include <string_view>

namespace pv {

// The login window.
inline constexpr std::string_view kAccountBox = "编辑框_账户";
inline constexpr std::string_view kPasswordBox = "编辑框_密码";
inline constexpr std::string_view kLoginButton = "按钮_登录";
inline constexpr std::string_view kLoginStatusBar = "状态条";
// Hidden; its Clicked event opens the main window on the user-interface thread.
inline constexpr std::string_view kOpenMainLabel = "标签_载入使用";
inline constexpr std::string_view kLoginWebView = "互联网浏览器1";
// The items of its menu "操作"; an item's caption is also its name for events.
inline constexpr std::string_view kMenuCheckVersion = "检测新版";
inline constexpr std::string_view kMenuWebSite = "访问官网";
inline constexpr std::string_view kMenuConsole = "管理后台";
inline constexpr std::string_view kMenuContact = "联系客服";

// The main window, beside its pages.
inline constexpr std::string_view kAddressBox = "编辑框_地址";
inline constexpr std::string_view kQueryButton = "按钮_查询";
inline constexpr std::string_view kScrollToSitesButton = "按钮_滚动到网点详情";
inline constexpr std::string_view kScrollToPoliciesButton = "按钮_滚动到策略详情";
inline constexpr std::string_view kOutputBox = "超级编辑框_输出";
// Part 0 a run's progress, part 1 a screening call's.
inline constexpr std::string_view kMainStatusBar = "状态条1";

// The main window's page "使用界面".
inline constexpr std::string_view kGreetingLabel = "透明标签_用户名";
inline constexpr std::string_view kProjectBox = "组合框_筛单项目";
inline constexpr std::string_view kRefreshServicesLink = "超级链接框_刷新";
inline constexpr std::string_view kProductNoticeLabel = "透明标签_筛单公告";
inline constexpr std::string_view kServiceBox = "组合框_筛单服务";
inline constexpr std::string_view kBlindAreaBox = "选择框_盲区停发";
inline constexpr std::string_view kSurchargeBox = "选择框_超区加收";
inline constexpr std::string_view kFalseAddressBox = "选择框_虚假地址";
inline constexpr std::string_view kOtherRestrictionBox = "选择框_其他限制";
inline constexpr std::string_view kVillageCheck = "选择框_屏蔽村组";
inline constexpr std::string_view kVillageDistanceBox = "编辑框_村组距离";
inline constexpr std::string_view kRemoteCheck = "选择框_屏蔽偏远";
inline constexpr std::string_view kRemoteDistanceBox = "编辑框_偏远距离";
inline constexpr std::string_view kInverseRadio = "单选框_反选";
// Also the name of the quick-tip window's box that turns the same function off.
inline constexpr std::string_view kQuickQueryCheck = "选择框_复制地址快速查询";
inline constexpr std::string_view kOneClickButton = "按钮_一键筛单";

// The main window's page "联系客服".
inline constexpr std::string_view kQqPicture = "图片框_qq客服";
inline constexpr std::string_view kQqLabel = "透明标签_QQ";
inline constexpr std::string_view kContactLink = "超级链接框_联系";
inline constexpr std::string_view kWechatLabel = "透明标签_微信";
inline constexpr std::string_view kWechatPicture = "图片框_微信客服";

// The quick-tip window (and kQuickQueryCheck).
inline constexpr std::string_view kQuickTipBox = "超级编辑框_快速提示";
inline constexpr std::string_view kCopyButton = "按钮_复制";
inline constexpr std::string_view kDetailButton = "按钮_详查";
inline constexpr std::string_view kCloseButton = "按钮_关闭";
inline constexpr std::string_view kHoverTimer = "时钟_移入";
inline constexpr std::string_view kWatchTimer = "时钟1";
// The clipboard watch's tick; the watch pauses it while it runs and sets it back.
inline constexpr int kWatchIntervalMs = 500;
inline constexpr std::string_view kQuickTipStatusBar = "状态条1";
// The status-bar part that shows a call's progress (main) and the countdown (quick tip).
inline constexpr int kProgressPart = 1;

// The result window.
inline constexpr std::string_view kResultText = "编辑框_筛单结果";
inline constexpr std::string_view kResultSeparator = "组合框_分割方式";
inline constexpr std::string_view kResultCopy = "按钮_复制";
inline constexpr std::string_view kResultOpenFile = "按钮_打开结果文件";

}  // namespace pv
