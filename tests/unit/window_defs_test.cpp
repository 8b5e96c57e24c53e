#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "core/product/product.h"
#include "core/text/text.h"
#include "core/ui/window_defs.h"

namespace pv {
namespace {

using K = ControlKind;

TEST(WindowTables, ControlNamesAreUniqueWithinEachWindow) {
  for (Window w : kAllWindows) {
    std::set<std::string> names;
    for (const ControlDef& c : windowDef(w).controls) {
      EXPECT_FALSE(c.name.empty()) << windowName(w);
      EXPECT_TRUE(names.insert(c.name).second) << windowName(w) << " repeats a name";
    }
    for (const MenuDef& m : windowDef(w).menus) {
      for (const std::string& item : m.items) {
        EXPECT_TRUE(names.insert(item).second) << windowName(w) << " menu item clashes";
      }
    }
  }
}

TEST(WindowTables, EveryControlLiesInsideItsParent) {
  for (Window w : kAllWindows) {
    const WindowDef& win = windowDef(w);
    const auto tab = std::find_if(win.controls.begin(), win.controls.end(),
                                  [](const ControlDef& c) { return c.kind == K::TabControl; });
    for (const ControlDef& c : win.controls) {
      if (c.kind == K::Timer) {
        EXPECT_GT(c.interval, 0) << c.name;
        continue;
      }
      const Rect r = placedRect(win, c);
      int parentWidth = win.clientWidth, parentHeight = win.clientHeight;
      if (c.page >= 0) {
        // Page controls need the window's tab control, created before them.
        ASSERT_NE(tab, win.controls.end()) << c.name;
        EXPECT_LT(tab - win.controls.begin(), &c - win.controls.data()) << c.name;
        EXPECT_LT(c.page, static_cast<int>(tab->pages.size())) << c.name;
        parentWidth = tab->rect.width;
        parentHeight = tab->rect.height;
      }
      EXPECT_GT(r.width, 0) << c.name;
      EXPECT_GT(r.height, 0) << c.name;
      EXPECT_GE(r.left, 0) << c.name;
      EXPECT_GE(r.top, 0) << c.name;
      EXPECT_LE(r.left + r.width, parentWidth) << windowName(w) << " " << c.name;
      EXPECT_LE(r.top + r.height, parentHeight) << windowName(w) << " " << c.name;
    }
  }
}

TEST(WindowTables, EventsFitTheKindOfControl) {
  const std::map<K, std::set<Event>> allowed = {
      {K::Edit, {Event::KeyDown, Event::GotFocus, Event::LostFocus}},
      {K::Button, {Event::Clicked}},
      {K::CheckBox, {Event::Clicked}},
      {K::Label, {Event::Clicked}},
      {K::ComboBox, {Event::ItemSelected}},
      {K::Hyperlink, {Event::LeftButtonDown, Event::Clicked}},
      {K::Timer, {Event::Tick}},
      {K::WebBrowser, {Event::StatusTextChange, Event::NewWindow, Event::BeforeNavigate}},
  };
  for (Window w : kAllWindows) {
    for (const ControlDef& c : windowDef(w).controls) {
      for (Event e : c.events) {
        const auto it = allowed.find(c.kind);
        EXPECT_TRUE(it != allowed.end() && it->second.count(e)) << c.name;
      }
    }
  }
}

struct SpotCheck {
  Window window;
  std::string name;
  K kind;
  Rect rect;
  std::string caption;
};

TEST(WindowTables, ControlsCarryTheirCaptionsAndPositions) {
  const SpotCheck cases[] = {
      {Window::Login, "透明标签1", K::TransparentLabel, {39, 38, 64, 24}, "登录账户"},
      {Window::Login, "编辑框_密码", K::Edit, {112, 81, 160, 26}, ""},
      {Window::Login, "按钮_登录", K::Button, {118, 122, 144, 32}, "登录"},
      {Window::Login, "超级链接框1", K::Hyperlink, {118, 159, 144, 25}, "没有账号？立即注册！"},
      {Window::Main, "编辑框_地址", K::Edit, {313, 8, 385, 32},
       "输入地址进行查询，按下回车键可以快速查询"},
      {Window::Main, "透明标签1", K::TransparentLabel, {13, 175, 72, 24}, "筛单项目："},
      {Window::Main, "组合框_筛单服务", K::ComboBox, {92, 222, 152, 26}, "请选择服务"},
      {Window::Main, "选择框_屏蔽村组", K::CheckBox, {93, 326, 176, 24},
       "距离\xA1\xA1\xA1\xA1\xA1\xA1\xA1\xA1\xA1\xA1\xA1\xA1米"},
      {Window::Main, "编辑框_偏远距离", K::Edit, {149, 358, 75, 24}, "50000"},
      {Window::Main, "单选框_反选", K::RadioButton, {161, 395, 56, 16}, "反选"},
      {Window::Main, "透明标签_微信", K::TransparentLabel, {8, 312, 104, 24}, "parcelvane_"},
      {Window::Main, "透明标签10", K::TransparentLabel, {8, 35, 288, 24},
       "使用\"Parcelvane助手\"微信小程序查地址更方便"},
      {Window::QuickTip, "选择框_复制地址快速查询", K::CheckBox, {16, 10, 384, 16},
       "辅助功能：复制地址快速查询，取消勾选即可关闭该功能。"},
      {Window::QuickTip, "按钮_复制", K::Button, {496, 32, 80, 32}, "复制"},
      {Window::Result, "按钮_复制", K::Button, {57, 381, 152, 32}, "复制全部"},
      {Window::Result, "透明标签1", K::TransparentLabel, {8, 350, 152, 20}, "分割方式"},
  };
  for (const SpotCheck& s : cases) {
    const ControlDef* c = findControl(s.window, s.name);
    ASSERT_NE(c, nullptr) << windowName(s.window) << " " << s.name;
    EXPECT_EQ(c->kind, s.kind) << s.name;
    EXPECT_EQ(c->rect, s.rect) << s.name;
    EXPECT_EQ(c->caption, s.caption) << s.name;
  }
}

TEST(WindowTables, FlagsAndDefaultsThatBehaviourDependsOn) {
  EXPECT_TRUE(findControl(Window::Login, "按钮_登录")->has(kDisabled));
  EXPECT_TRUE(findControl(Window::Login, "编辑框_密码")->has(kPassword));
  EXPECT_TRUE(findControl(Window::Login, "标签_载入使用")->has(kHidden));
  EXPECT_TRUE(findControl(Window::Main, "按钮_滚动到网点详情")->has(kHidden));
  EXPECT_TRUE(findControl(Window::Main, "按钮_滚动到策略详情")->has(kHidden));
  EXPECT_TRUE(findControl(Window::Main, "编辑框_村组距离")->has(kDigitsOnly));
  EXPECT_TRUE(findControl(Window::Main, "编辑框_偏远距离")->has(kDigitsOnly));
  EXPECT_TRUE(findControl(Window::Main, "单选框_正选")->has(kTicked));
  EXPECT_FALSE(findControl(Window::Main, "单选框_反选")->has(kTicked));
  EXPECT_EQ(findControl(Window::Main, "组合框_筛单项目")->selected, -1);
  EXPECT_EQ(findControl(Window::QuickTip, "时钟1")->interval, 500);

  const ControlDef* split = findControl(Window::Result, "组合框_分割方式");
  ASSERT_EQ(split->items.size(), 2u);
  EXPECT_EQ(split->items[1].text, "逗号分割");
  EXPECT_EQ(split->selected, 0);
  EXPECT_TRUE(split->has(kDropDownList));

  const ControlDef* tip = findControl(Window::QuickTip, "状态条1");
  ASSERT_EQ(tip->parts.size(), 2u);
  EXPECT_EQ(tip->parts[0].width, 500);
  EXPECT_EQ(tip->parts[0].text, "　如需查看详细筛单结果，可点击“详查”按钮。");
  EXPECT_EQ(tip->parts[1].width, kRestWidth);

  const ControlDef* tabs = findControl(Window::Main, "选择夹1");
  EXPECT_EQ(tabs->pages,
            (std::vector<std::string>{"使用界面", "操作引导", "联系客服", "微信小程序"}));
  EXPECT_EQ(findControl(Window::Main, "图片框2")->picture, Asset::MiniProgramCode);
  EXPECT_EQ(findControl(Window::Main, "图片框2")->page, 3);
}

TEST(WindowTables, TitlesAndAddressesComeFromTheProduct) {
  EXPECT_EQ(windowDef(Window::Login).title, "登录 - Parcelvane（parcelvane.com）");
  EXPECT_EQ(windowDef(Window::Main).title, "Parcelvane（parcelvane.com）客户端");
  EXPECT_EQ(windowDef(Window::QuickTip).title, "Parcelvane - 信息提示");
  EXPECT_EQ(windowDef(Window::Result).title, "筛单结果");
  EXPECT_TRUE(containsText(windowDef(Window::Main).title, kWindowTitleMark));
  EXPECT_EQ(findControl(Window::Login, "超级链接框1")->target,
            std::string(kWebConsole) + "/pub/auth/register");

  const std::vector<std::string> lines =
      splitText(findControl(Window::Main, "超级编辑框_操作引导")->caption, "\r\n");
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0], "操作引导");
  EXPECT_EQ(lines[1], "");
  EXPECT_TRUE(startsWith(lines[2], "1、启用“复制地址快速查询功能”功能后"));
  EXPECT_EQ(lines[8], "4、如需导入查询并导出详细信息，建议访问“网站后台 - 查询地址”批量查询更方便，提示内容更丰富。");
  EXPECT_EQ(lines[9] + lines[10] + lines[11], "");
  EXPECT_EQ(lines[12], "官方网站：" + std::string(kWebSite));
  EXPECT_EQ(lines[13], "后台查址：" + std::string(kWebConsole) + "/service/query");
}

TEST(WindowTables, EventBindingsAreLookedUpByWindowControlAndMenuItem) {
  EXPECT_TRUE(raisesEvent(Window::Login, "", Event::Created));
  EXPECT_TRUE(raisesEvent(Window::Main, "", Event::Activated));
  EXPECT_FALSE(raisesEvent(Window::Login, "", Event::Activated));
  EXPECT_TRUE(raisesEvent(Window::Login, "检测新版", Event::Clicked));
  EXPECT_TRUE(raisesEvent(Window::Login, "编辑框_密码", Event::KeyDown));
  EXPECT_FALSE(raisesEvent(Window::Login, "编辑框_账户", Event::KeyDown));
  // Same name, different windows, different bindings.
  EXPECT_TRUE(raisesEvent(Window::QuickTip, "选择框_复制地址快速查询", Event::Clicked));
  EXPECT_FALSE(raisesEvent(Window::Main, "选择框_复制地址快速查询", Event::Clicked));
  EXPECT_FALSE(raisesEvent(Window::Main, "按钮_不存在", Event::Clicked));
}

TEST(WindowTables, StatusBarsDockToTheBottomEdge) {
  const WindowDef& tip = windowDef(Window::QuickTip);
  EXPECT_EQ(placedRect(tip, *findControl(Window::QuickTip, "状态条1")), (Rect{0, 180, 600, 20}));
  const WindowDef& login = windowDef(Window::Login);
  EXPECT_EQ(placedRect(login, *findControl(Window::Login, "状态条")), (Rect{0, 512, 577, 24}));
  EXPECT_EQ(placedRect(login, *findControl(Window::Login, "按钮_登录")),
            (Rect{118, 122, 144, 32}));
}

}  // namespace
}  // namespace pv

namespace pv {
namespace {

TEST(AccessibleName, BoxesTakeTheirLabelOrTheirOwnName) {
  struct Case { Window window; std::string_view control, want; };
  const Case kCases[] = {
      {Window::Login, kAccountBox, "登录账户"},            // the label before it
      {Window::Login, kPasswordBox, "登录密码"},
      {Window::Main, kProjectBox, "筛单项目"},             // the label's colon goes
      {Window::Result, kResultSeparator, "分割方式"},
      {Window::Main, kAddressBox, "地址"},                 // no label: its own name
      {Window::Main, kOutputBox, "输出"},
      {Window::Main, kVillageDistanceBox, "村组距离"},     // after a check box, not a label
      {Window::QuickTip, kQuickTipBox, "快速提示"},
      {Window::Result, kResultText, "筛单结果"},
      {Window::Main, kQueryButton, "查询"},                // captions name everything else
      {Window::Main, kVillageCheck, "距离　　　　　　米"},
  };
  for (const Case& c : kCases) {
    const ControlDef* control = findControl(c.window, c.control);
    ASSERT_NE(control, nullptr) << c.control;
    EXPECT_EQ(accessibleName(windowDef(c.window), *control), c.want) << c.control;
  }
}

}  // namespace
}  // namespace pv
