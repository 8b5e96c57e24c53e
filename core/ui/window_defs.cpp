#include "core/ui/window_defs.h"

#include <algorithm>
#include <array>

#include "core/product/product.h"
#include "core/text/text.h"

namespace pv {
namespace {

using K = ControlKind;
using E = Event;

std::string joined(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view p : parts) out += p;
  return out;
}

std::string guideText() {
  const std::string_view breakLine = "\r\n";
  const std::string_view paragraphBreak = "\r\n\r\n";
  return joined({
      "操作引导", paragraphBreak,
      "1、启用“复制地址快速查询功能”功能后，只要复制的文字内容包含地址，软件将自动在屏幕左上方显示查询概要。取消勾选即可关闭该功能。",
      paragraphBreak,
      "2、如需对ERP客户端进行批量筛单，请点击“一键筛单”按钮，根据提示进行操作。", paragraphBreak,
      "3、网页版打单平台请下载并使用网页插件。", paragraphBreak,
      "4、如需导入查询并导出详细信息，建议访问“网站后台 - 查询地址”批量查询更方便，提示内容更丰富。",
      // Three empty lines before the addresses.
      breakLine, breakLine, breakLine, breakLine,
      "官方网站：", kWebSite, breakLine,
      "后台查址：", kWebConsole, "/service/query",
  });
}

WindowDef loginWindow() {
  WindowDef w;
  w.id = Window::Login;
  w.title = joined({"登录 - ", kWindowTitleMark});
  w.clientWidth = 577;
  w.clientHeight = 536;
  w.x = 50;
  w.y = 50;
  w.background = Asset::LoginBackground;
  w.icon = Asset::Icon;
  w.events = {E::Created, E::Destroying};
  w.controls = {
      {.kind = K::TransparentLabel, .name = "透明标签1", .rect = {39, 38, 64, 24},
       .caption = "登录账户", .fontSize = 16},
      {.kind = K::Edit, .name = std::string(kAccountBox), .rect = {112, 37, 160, 26},
       .flags = kSunkenBorder | kWhiteBackground | kTabStop, .fontSize = 16},
      {.kind = K::TransparentLabel, .name = "透明标签2", .rect = {39, 82, 64, 24},
       .caption = "登录密码", .fontSize = 16},
      {.kind = K::Edit, .name = std::string(kPasswordBox), .rect = {112, 81, 160, 26},
       .flags = kPassword | kTabStop, .fontSize = 16, .events = {E::KeyDown}},
      {.kind = K::Button, .name = std::string(kLoginButton), .rect = {118, 122, 144, 32}, .caption = "登录",
       .flags = kDisabled | kTabStop, .fontSize = 14, .events = {E::Clicked}},
      {.kind = K::Hyperlink, .name = "超级链接框1", .rect = {118, 159, 144, 25},
       .caption = "没有账号？立即注册！", .flags = kUnderlined,
       .target = joined({kWebConsole, "/pub/auth/register"})},
      // Raised by the login worker to open the main window on the UI thread.
      {.kind = K::Label, .name = std::string(kOpenMainLabel), .rect = {540, 193, 20, 21},
       .flags = kHidden | kHandCursor, .events = {E::Clicked}},
      {.kind = K::WebBrowser, .name = std::string(kLoginWebView), .rect = {0, 194, 570, 272},
       .flags = kTabStop, .events = {E::StatusTextChange, E::NewWindow, E::BeforeNavigate}},
      {.kind = K::StatusBar, .name = std::string(kLoginStatusBar), .rect = {0, 364, 710, 24}, .fontSize = 14,
       .parts = {{kRestWidth, ""}}},
  };
  w.menus = {{"操作",
                {std::string(kMenuCheckVersion), std::string(kMenuWebSite),
                 std::string(kMenuConsole), std::string(kMenuContact)}}};
  return w;
}

std::vector<ControlDef> mainUsePage() {
  return {
      {.kind = K::TransparentLabel, .name = std::string(kGreetingLabel), .rect = {8, 24, 288, 21},
       .page = 0, .caption = "欢迎你，测试用户", .fontSize = 13},
      {.kind = K::PictureBox, .name = "图片框1", .rect = {1, 47, 300, 120}, .page = 0,
       .picture = Asset::Banner},
      {.kind = K::TransparentLabel, .name = "透明标签1", .rect = {13, 175, 72, 24}, .page = 0,
       .caption = "筛单项目：", .fontSize = 16},
      {.kind = K::ComboBox, .name = std::string(kProjectBox), .rect = {92, 175, 152, 26}, .page = 0,
       .caption = "请选择项目", .fontSize = 15, .selected = -1, .events = {E::ItemSelected}},
      {.kind = K::Hyperlink, .name = std::string(kRefreshServicesLink), .rect = {253, 175, 40, 22}, .page = 0,
       .caption = "刷新", .flags = kUnderlined, .fontSize = 16, .events = {E::LeftButtonDown}},
      {.kind = K::TransparentLabel, .name = std::string(kProductNoticeLabel), .rect = {17, 204, 284, 14},
       .page = 0, .caption = "请选择项目", .fontSize = 13, .textColour = 0x606060},
      {.kind = K::TransparentLabel, .name = "透明标签2", .rect = {13, 222, 72, 24}, .page = 0,
       .caption = "筛单服务：", .fontSize = 16},
      {.kind = K::ComboBox, .name = std::string(kServiceBox), .rect = {92, 222, 152, 26}, .page = 0,
       .caption = "请选择服务", .fontSize = 15, .selected = -1, .events = {E::ItemSelected}},
      {.kind = K::TransparentLabel, .name = "透明标签3", .rect = {13, 272, 72, 24}, .page = 0,
       .caption = "限制类型：", .fontSize = 16},
      {.kind = K::CheckBox, .name = std::string(kBlindAreaBox), .rect = {93, 272, 88, 24}, .page = 0,
       .caption = "盲区停发", .flags = kTicked, .fontSize = 15},
      {.kind = K::CheckBox, .name = std::string(kSurchargeBox), .rect = {197, 272, 88, 24}, .page = 0,
       .caption = "超区加收", .flags = kTicked, .fontSize = 15},
      {.kind = K::CheckBox, .name = std::string(kFalseAddressBox), .rect = {93, 296, 88, 24}, .page = 0,
       .caption = "虚假地址", .flags = kTicked, .fontSize = 15},
      {.kind = K::CheckBox, .name = std::string(kOtherRestrictionBox), .rect = {197, 296, 88, 24}, .page = 0,
       .caption = "其他限制", .flags = kTicked, .fontSize = 15},
      {.kind = K::TransparentLabel, .name = "透明标签4", .rect = {13, 324, 72, 24}, .page = 0,
       .caption = "屏蔽村组：", .fontSize = 16},
      // The full-width spaces leave room for the distance box laid over the caption.
      {.kind = K::CheckBox, .name = std::string(kVillageCheck), .rect = {93, 326, 176, 24}, .page = 0,
       .caption = "距离　　　　　　米", .flags = kTicked, .fontSize = 15},
      {.kind = K::Edit, .name = std::string(kVillageDistanceBox), .rect = {149, 326, 75, 24}, .page = 0,
       .caption = "15000", .flags = kDigitsOnly, .fontSize = 15},
      {.kind = K::TransparentLabel, .name = "透明标签5", .rect = {13, 356, 72, 24}, .page = 0,
       .caption = "屏蔽偏远：", .fontSize = 16},
      {.kind = K::CheckBox, .name = std::string(kRemoteCheck), .rect = {93, 358, 176, 24}, .page = 0,
       .caption = "距离　　　　　　米", .flags = kTicked, .fontSize = 15},
      {.kind = K::Edit, .name = std::string(kRemoteDistanceBox), .rect = {149, 358, 75, 24}, .page = 0,
       .caption = "50000", .flags = kDigitsOnly, .fontSize = 15},
      {.kind = K::TransparentLabel, .name = "透明标签6", .rect = {13, 388, 72, 24}, .page = 0,
       .caption = "勾选方式：", .fontSize = 16},
      {.kind = K::RadioButton, .name = "单选框_正选", .rect = {93, 395, 56, 16}, .page = 0,
       .caption = "正选", .flags = kTicked, .fontSize = 15},
      {.kind = K::RadioButton, .name = std::string(kInverseRadio), .rect = {161, 395, 56, 16}, .page = 0,
       .caption = "反选", .fontSize = 15},
      {.kind = K::TransparentLabel, .name = "透明标签7", .rect = {13, 422, 72, 24}, .page = 0,
       .caption = "辅助功能：", .fontSize = 16},
      {.kind = K::CheckBox, .name = std::string(kQuickQueryCheck), .rect = {93, 424, 200, 24},
       .page = 0, .caption = "复制地址快速查询", .flags = kTicked, .fontSize = 15},
      {.kind = K::Button, .name = std::string(kOneClickButton), .rect = {56, 464, 192, 48}, .page = 0,
       .caption = "一键筛单", .flags = kTabStop, .fontSize = 16, .events = {E::Clicked}},
  };
}

WindowDef mainWindow() {
  WindowDef w;
  w.id = Window::Main;
  w.title = joined({kWindowTitleMark, "客户端"});
  w.clientWidth = 710;
  w.clientHeight = 600;
  w.x = 50;
  w.y = 50;
  w.background = Asset::MainBackground;
  w.icon = Asset::Icon;
  w.events = {E::Created, E::Destroying, E::Activated};
  w.controls = {
      {.kind = K::Edit, .name = std::string(kAddressBox), .rect = {313, 8, 385, 32},
       .caption = "输入地址进行查询，按下回车键可以快速查询", .flags = kSingleBorder | kTabStop,
       .fontSize = 15, .events = {E::GotFocus, E::LostFocus, E::KeyDown}},
      {.kind = K::Button, .name = std::string(kQueryButton), .rect = {590, 44, 108, 34}, .caption = "查询",
       .flags = kTabStop, .fontSize = 15, .events = {E::Clicked}},
      {.kind = K::Button, .name = std::string(kScrollToSitesButton), .rect = {313, 59, 96, 24},
       .caption = "滚动到网点详情", .flags = kHidden, .fontSize = 12, .events = {E::Clicked}},
      {.kind = K::Button, .name = std::string(kScrollToPoliciesButton), .rect = {416, 59, 96, 24},
       .caption = "滚动到策略详情", .flags = kHidden, .fontSize = 12, .events = {E::Clicked}},
      {.kind = K::RichEdit, .name = std::string(kOutputBox), .rect = {313, 83, 385, 460},
       .flags = kSingleBorder},
      {.kind = K::StatusBar, .name = std::string(kMainStatusBar), .rect = {0, 550, 593, 20},
       .parts = {{550, ""}, {kRestWidth, ""}}},
      // Created before the controls of its pages, which are its children.
      {.kind = K::TabControl, .name = "选择夹1", .rect = {5, 8, 304, 536}, .fontSize = 14,
       .selected = 0, .pages = {"使用界面", "操作引导", "联系客服", "微信小程序"}},
  };
  for (ControlDef& c : mainUsePage()) w.controls.push_back(std::move(c));
  const std::vector<ControlDef> otherPages = {
      {.kind = K::RichEdit, .name = "超级编辑框_操作引导", .rect = {4, 23, 295, 508}, .page = 1,
       .caption = guideText(), .flags = kSingleBorder},
      {.kind = K::PictureBox, .name = std::string(kQqPicture), .rect = {3, 23, 180, 252}, .page = 2},
      {.kind = K::TransparentLabel, .name = "透明标签8", .rect = {190, 23, 104, 24}, .page = 2,
       .caption = "QQ客服", .flags = kBold, .fontSize = 16},
      {.kind = K::TransparentLabel, .name = std::string(kQqLabel), .rect = {190, 54, 104, 24}, .page = 2,
       .fontSize = 16},
      {.kind = K::Hyperlink, .name = std::string(kContactLink), .rect = {190, 86, 64, 24}, .page = 2,
       .caption = "联系客服", .flags = kBold | kUnderlined, .fontSize = 14},
      {.kind = K::TransparentLabel, .name = "透明标签9", .rect = {8, 280, 104, 24}, .page = 2,
       .caption = "微信客服", .flags = kBold | kRightAligned, .fontSize = 16},
      {.kind = K::TransparentLabel, .name = std::string(kWechatLabel), .rect = {8, 312, 104, 24},
       .page = 2, .caption = "parcelvane_", .flags = kRightAligned, .fontSize = 16},
      {.kind = K::PictureBox, .name = std::string(kWechatPicture), .rect = {119, 280, 180, 252}, .page = 2},
      {.kind = K::TransparentLabel, .name = "透明标签10", .rect = {8, 35, 288, 24}, .page = 3,
       .caption = "使用\"Parcelvane助手\"微信小程序查地址更方便", .flags = kBold | kCentred,
       .fontSize = 13, .textColour = 0x0088FF},
      {.kind = K::PictureBox, .name = "图片框2", .rect = {7, 53, 290, 330}, .page = 3,
       .picture = Asset::MiniProgramCode},
  };
  for (const ControlDef& c : otherPages) w.controls.push_back(c);
  return w;
}

WindowDef quickTipWindow() {
  WindowDef w;
  w.id = Window::QuickTip;
  w.title = joined({kProductName, " - 信息提示"});
  w.clientWidth = 600;
  w.clientHeight = 200;
  w.border = Border::None;
  w.background = Asset::MainBackground;
  w.controls = {
      {.kind = K::CheckBox, .name = std::string(kQuickQueryCheck), .rect = {16, 10, 384, 16},
       .caption = "辅助功能：复制地址快速查询，取消勾选即可关闭该功能。",
       .flags = kTicked | kWhiteBackground, .fontSize = 14, .events = {E::Clicked}},
      {.kind = K::RichEdit, .name = std::string(kQuickTipBox), .rect = {16, 32, 472, 136}},
      {.kind = K::Button, .name = std::string(kCopyButton), .rect = {496, 32, 80, 32}, .caption = "复制",
       .fontSize = 16, .events = {E::Clicked}},
      {.kind = K::Button, .name = std::string(kDetailButton), .rect = {496, 72, 80, 32}, .caption = "详查",
       .fontSize = 16, .events = {E::Clicked}},
      {.kind = K::Button, .name = std::string(kCloseButton), .rect = {496, 112, 80, 32}, .caption = "关闭",
       .fontSize = 16, .events = {E::Clicked}},
      {.kind = K::Timer, .name = std::string(kHoverTimer), .interval = 500, .events = {E::Tick}},
      {.kind = K::Timer, .name = std::string(kWatchTimer), .interval = kWatchIntervalMs, .events = {E::Tick}},
      {.kind = K::StatusBar, .name = std::string(kQuickTipStatusBar), .rect = {0, 192, 635, 20}, .fontSize = 15,
       .parts = {{500, "　如需查看详细筛单结果，可点击“详查”按钮。"}, {kRestWidth, ""}}},
  };
  return w;
}

WindowDef resultWindow() {
  WindowDef w;
  w.id = Window::Result;
  w.title = "筛单结果";
  w.clientWidth = 272;
  w.clientHeight = 490;
  w.x = 50;
  w.y = 50;
  w.background = Asset::MainBackground;
  w.icon = Asset::Icon;
  w.events = {E::Created, E::MayClose};
  w.controls = {
      {.kind = K::Edit, .name = std::string(kResultText), .rect = {8, 8, 248, 336},
       .flags = kMultiLine | kVerticalScroll},
      {.kind = K::TransparentLabel, .name = "透明标签1", .rect = {8, 350, 152, 20},
       .caption = "分割方式", .fontSize = 16},
      {.kind = K::ComboBox, .name = std::string(kResultSeparator), .rect = {88, 350, 168, 24},
       .flags = kDropDownList, .fontSize = 16, .items = {{"换行符", 0}, {"逗号分割", 0}},
       .selected = 0, .events = {E::ItemSelected}},
      {.kind = K::Button, .name = std::string(kResultCopy), .rect = {57, 381, 152, 32}, .caption = "复制全部",
       .fontSize = 16, .events = {E::Clicked}},
      // Shown once a run has written its results file.
      {.kind = K::Button, .name = std::string(kResultOpenFile), .rect = {57, 421, 152, 32}, .caption = "打开结果文件",
       .flags = kHidden, .fontSize = 16, .events = {E::Clicked}},
  };
  return w;
}

const std::array<WindowDef, 4>& tables() {
  // Never destroyed: workers that outlive main() may still look a control up.
  static const auto* defs = new std::array<WindowDef, 4>{loginWindow(), mainWindow(),
                                                         quickTipWindow(), resultWindow()};
  return *defs;
}

bool contains(const std::vector<Event>& events, Event e) {
  return std::find(events.begin(), events.end(), e) != events.end();
}

}  // namespace

const WindowDef& windowDef(Window window) { return tables()[static_cast<size_t>(window)]; }

const ControlDef* findControl(Window window, std::string_view name) {
  for (const ControlDef& c : windowDef(window).controls) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

bool raisesEvent(Window window, std::string_view name, Event event) {
  const WindowDef& w = windowDef(window);
  if (name.empty()) return contains(w.events, event);
  if (const ControlDef* c = findControl(window, name)) return contains(c->events, event);
  for (const MenuDef& m : w.menus) {
    if (std::find(m.items.begin(), m.items.end(), name) != m.items.end()) {
      return event == Event::Clicked;
    }
  }
  return false;
}

Rect placedRect(const WindowDef& window, const ControlDef& control) {
  if (control.kind == ControlKind::StatusBar) {
    const int h = control.rect.height;
    return {0, window.clientHeight - h, window.clientWidth, h};
  }
  return control.rect;
}

std::string accessibleName(const WindowDef& window, const ControlDef& control) {
  if (control.kind != ControlKind::Edit && control.kind != ControlKind::RichEdit &&
      control.kind != ControlKind::ComboBox) {
    return control.caption;
  }
  const ControlDef* before = nullptr;
  for (const ControlDef& c : window.controls) {
    if (&c == &control) break;
    before = &c;
  }
  if (before && before->page == control.page && !before->caption.empty() &&
      (before->kind == ControlKind::TransparentLabel || before->kind == ControlKind::Label)) {
    std::string_view label = before->caption;
    if (endsWith(label, "：")) label.remove_suffix(std::string_view("：").size());
    return std::string(label);
  }
  const int underscore = findText(control.name, "_");
  return underscore > 0 ? control.name.substr(static_cast<size_t>(underscore)) : control.name;
}

std::string_view windowName(Window window) {
  switch (window) {
    case Window::Login: return "Login";
    case Window::Main: return "Main";
    case Window::QuickTip: return "QuickTip";
    case Window::Result: return "Result";
  }
  return "";
}

}  // namespace pv
