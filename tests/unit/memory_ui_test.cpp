#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/product/product.h"
#include "core/ui/memory_ui.h"

namespace pv {
namespace {

class MemoryUiTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ui.load(Window::Main, true)); }
  MemoryUi ui;
};

TEST_F(MemoryUiTest, LoadedWindowStartsFromTheTable) {
  const Window m = Window::Main;
  EXPECT_EQ(ui.text(m, "组合框_筛单项目"), "请选择项目");
  EXPECT_EQ(ui.selectedIndex(m, "组合框_筛单项目"), -1);
  EXPECT_TRUE(ui.checked(m, "选择框_盲区停发"));
  EXPECT_TRUE(ui.checked(m, "单选框_正选"));
  EXPECT_FALSE(ui.checked(m, "单选框_反选"));
  EXPECT_FALSE(ui.visible(m, "按钮_滚动到网点详情"));
  EXPECT_EQ(ui.selectedIndex(m, "选择夹1"), 0);
  EXPECT_EQ(ui.statusText(m, "状态条1", 1), "");

  ASSERT_TRUE(ui.load(Window::Result, false));
  EXPECT_EQ(ui.text(Window::Result, "组合框_分割方式"), "换行符");  // item 0 selected
  EXPECT_EQ(ui.itemCount(Window::Result, "组合框_分割方式"), 2);

  ASSERT_TRUE(ui.load(Window::Login, true));
  EXPECT_FALSE(ui.enabled(Window::Login, "按钮_登录"));
  EXPECT_EQ(ui.linkTarget(Window::Login, "超级链接框1"),
            std::string(kWebConsole) + "/pub/auth/register");
}

TEST_F(MemoryUiTest, RadioButtonsOfThePageFormOneGroup) {
  const Window m = Window::Main;
  EXPECT_TRUE(ui.setChecked(m, "单选框_反选", true));
  EXPECT_FALSE(ui.checked(m, "单选框_正选"));
  EXPECT_TRUE(ui.click(m, "单选框_正选"));
  EXPECT_TRUE(ui.checked(m, "单选框_正选"));
  EXPECT_FALSE(ui.checked(m, "单选框_反选"));
  // Clicking the selected one again keeps it selected; unticking by program leaves none.
  EXPECT_TRUE(ui.click(m, "单选框_正选"));
  EXPECT_TRUE(ui.checked(m, "单选框_正选"));
  EXPECT_TRUE(ui.setChecked(m, "单选框_正选", false));
  EXPECT_FALSE(ui.checked(m, "单选框_正选"));
  EXPECT_FALSE(ui.checked(m, "单选框_反选"));
  // Check boxes are independent of each other.
  EXPECT_TRUE(ui.click(m, "选择框_虚假地址"));
  EXPECT_FALSE(ui.checked(m, "选择框_虚假地址"));
  EXPECT_TRUE(ui.checked(m, "选择框_其他限制"));
}

TEST_F(MemoryUiTest, DigitsOnlyBoxesRefuseEverythingButDigits) {
  const Window m = Window::Main;
  EXPECT_FALSE(ui.setText(m, "编辑框_村组距离", "12a"));
  EXPECT_FALSE(ui.setText(m, "编辑框_村组距离", "-5"));
  EXPECT_FALSE(ui.setText(m, "编辑框_村组距离", "１２"));  // full-width digits
  EXPECT_EQ(ui.text(m, "编辑框_村组距离"), "15000");
  EXPECT_TRUE(ui.setText(m, "编辑框_村组距离", ""));
  EXPECT_TRUE(ui.typeText(m, "编辑框_村组距离", "3米0x0"));
  EXPECT_EQ(ui.text(m, "编辑框_村组距离"), "300");
  EXPECT_FALSE(ui.paste(m, "编辑框_村组距离", "1 000"));
  EXPECT_TRUE(ui.paste(m, "编辑框_村组距离", "0"));
  EXPECT_EQ(ui.text(m, "编辑框_村组距离"), "3000");
  // An ordinary box takes anything.
  EXPECT_TRUE(ui.setText(m, "编辑框_地址", "北京市1号"));
  EXPECT_TRUE(ui.typeText(m, "编辑框_地址", "院"));
  EXPECT_EQ(ui.text(m, "编辑框_地址"), "北京市1号院");
}

TEST_F(MemoryUiTest, DropDownListTextSelectsAnItem) {
  ASSERT_TRUE(ui.load(Window::Result, true));
  const Window r = Window::Result;
  EXPECT_TRUE(ui.setText(r, "组合框_分割方式", "逗号分割"));
  EXPECT_EQ(ui.selectedIndex(r, "组合框_分割方式"), 1);
  EXPECT_FALSE(ui.setText(r, "组合框_分割方式", "分号"));
  EXPECT_EQ(ui.text(r, "组合框_分割方式"), "逗号分割");
  EXPECT_FALSE(ui.typeText(r, "组合框_分割方式", "x"));
}

TEST_F(MemoryUiTest, HiddenWindowKeepsStateButTakesNoOperatorInput) {
  const Window q = Window::QuickTip;
  EXPECT_EQ(ui.text(q, "按钮_复制"), "");  // not loaded yet
  EXPECT_FALSE(ui.setText(q, "按钮_复制", "x"));
  ASSERT_TRUE(ui.load(q, false));
  EXPECT_TRUE(ui.isLoaded(q));
  EXPECT_FALSE(ui.isShown(q));
  EXPECT_TRUE(ui.setText(q, "按钮_复制", "已复制"));
  EXPECT_FALSE(ui.click(q, "按钮_关闭"));
  EXPECT_TRUE(ui.tick(q, "时钟1"));  // timers tick while hidden
  EXPECT_TRUE(ui.setTimerInterval(q, "时钟1", 0));
  EXPECT_FALSE(ui.tick(q, "时钟1"));
  EXPECT_TRUE(ui.show(q));
  EXPECT_EQ(ui.text(q, "按钮_复制"), "已复制");
  // Names repeat across windows but the controls are separate.
  ASSERT_TRUE(ui.load(Window::Result, false));
  EXPECT_EQ(ui.text(Window::Result, "按钮_复制"), "复制全部");
  // The same name in the main window is a different check box.
  EXPECT_TRUE(ui.click(q, "选择框_复制地址快速查询"));
  EXPECT_FALSE(ui.checked(q, "选择框_复制地址快速查询"));
  EXPECT_TRUE(ui.checked(Window::Main, "选择框_复制地址快速查询"));
}

TEST_F(MemoryUiTest, DisabledOrHiddenControlsCannotBeClicked) {
  ASSERT_TRUE(ui.load(Window::Login, true));
  int clicks = 0;
  ASSERT_TRUE(ui.events().on(Window::Login, "按钮_登录", Event::Clicked,
                             [&](EventArgs&) { ++clicks; }));
  EXPECT_FALSE(ui.click(Window::Login, "按钮_登录"));
  EXPECT_TRUE(ui.setEnabled(Window::Login, "按钮_登录", true));
  EXPECT_TRUE(ui.click(Window::Login, "按钮_登录"));
  EXPECT_EQ(clicks, 1);
  // The hidden label is only ever raised by the program.
  int opens = 0;
  ASSERT_TRUE(ui.events().on(Window::Login, "标签_载入使用", Event::Clicked,
                             [&](EventArgs&) { ++opens; }));
  EXPECT_FALSE(ui.click(Window::Login, "标签_载入使用"));
  EXPECT_TRUE(ui.raise(Window::Login, "标签_载入使用", Event::Clicked));
  EXPECT_EQ(opens, 1);
}

TEST_F(MemoryUiTest, HandlersOnlyAttachToBoundEvents) {
  auto noop = [](EventArgs&) {};
  EXPECT_FALSE(ui.events().on(Window::Main, "按钮_查寻", Event::Clicked, noop));  // misspelt
  EXPECT_FALSE(ui.events().on(Window::Main, "按钮_查询", Event::KeyDown, noop));
  EXPECT_FALSE(ui.events().on(Window::Login, "", Event::Activated, noop));
  EXPECT_TRUE(ui.events().on(Window::Login, "联系客服", Event::Clicked, noop));  // menu item
}

TEST(MemoryUiEvents, CreatedRunsBeforeShowAndDestroyingWhileControlsExist) {
  MemoryUi ui;
  std::vector<std::string> seen;
  ASSERT_TRUE(ui.events().on(Window::Login, "", Event::Created, [&](EventArgs&) {
    seen.push_back(ui.isShown(Window::Login) ? "created shown" : "created hidden");
    ui.setTitle(Window::Login, ui.title(Window::Login) + std::string(kProductVersion));
  }));
  ASSERT_TRUE(ui.events().on(Window::Login, "", Event::Destroying, [&](EventArgs&) {
    seen.push_back("destroying " + ui.text(Window::Login, "编辑框_账户"));
  }));
  ASSERT_TRUE(ui.load(Window::Login, true));
  EXPECT_EQ(ui.title(Window::Login), "登录 - Parcelvane（parcelvane.com）v2.0.2");
  EXPECT_TRUE(ui.setText(Window::Login, "编辑框_账户", "op"));
  EXPECT_TRUE(ui.close(Window::Login));
  EXPECT_FALSE(ui.isLoaded(Window::Login));
  EXPECT_EQ(seen, (std::vector<std::string>{"created hidden", "destroying op"}));
  // Loading again starts from the table.
  ASSERT_TRUE(ui.load(Window::Login, false));
  EXPECT_EQ(ui.text(Window::Login, "编辑框_账户"), "");
}

TEST(MemoryUiEvents, CloseCanBeRefusedAndOperatorActionsRaiseTheirEvents) {
  MemoryUi ui;
  ASSERT_TRUE(ui.events().on(Window::Result, "", Event::MayClose, [&](EventArgs& e) {
    e.cancel = true;
    ui.hide(Window::Result);
  }));
  ASSERT_TRUE(ui.load(Window::Result, true));
  EXPECT_FALSE(ui.close(Window::Result));
  EXPECT_TRUE(ui.isLoaded(Window::Result));
  EXPECT_FALSE(ui.isShown(Window::Result));

  ASSERT_TRUE(ui.load(Window::Main, true));
  std::vector<std::string> seen;
  auto record = [&](EventArgs& e) {
    seen.push_back(e.control + ":" + std::to_string(static_cast<int>(e.event)) + ":" +
                   std::to_string(e.key));
  };
  ASSERT_TRUE(ui.events().on(Window::Main, "编辑框_地址", Event::GotFocus, record));
  ASSERT_TRUE(ui.events().on(Window::Main, "编辑框_地址", Event::LostFocus, record));
  ASSERT_TRUE(ui.events().on(Window::Main, "编辑框_地址", Event::KeyDown, record));
  ASSERT_TRUE(ui.events().on(Window::Main, "超级链接框_刷新", Event::LeftButtonDown, record));
  ASSERT_TRUE(ui.events().on(Window::Main, "组合框_筛单项目", Event::ItemSelected, [&](EventArgs& e) {
    seen.push_back(e.control + " " + ui.text(Window::Main, e.control));
  }));
  ui.addItem(Window::Main, "组合框_筛单项目", "项目甲", 7);
  EXPECT_TRUE(ui.focus(Window::Main, "编辑框_地址"));
  EXPECT_TRUE(ui.pressKey(Window::Main, "编辑框_地址", kEnterKey));
  EXPECT_TRUE(ui.focus(Window::Main, "按钮_查询"));
  EXPECT_TRUE(ui.click(Window::Main, "超级链接框_刷新"));
  EXPECT_TRUE(ui.pickItem(Window::Main, "组合框_筛单项目", 0));
  const auto code = [](Event e) { return std::to_string(static_cast<int>(e)); };
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "编辑框_地址:" + code(Event::GotFocus) + ":0",
                      "编辑框_地址:" + code(Event::KeyDown) + ":13",
                      "编辑框_地址:" + code(Event::LostFocus) + ":0",
                      "超级链接框_刷新:" + code(Event::LeftButtonDown) + ":0",
                      "组合框_筛单项目 项目甲",
                  }));
  EXPECT_TRUE(ui.followedLinks().empty());  // the refresh link has no target
  EXPECT_TRUE(ui.setLinkTarget(Window::Main, "超级链接框_联系", "tencent://message/?uin=1"));
  ui.setSelectedIndex(Window::Main, "选择夹1", 2);
  EXPECT_TRUE(ui.click(Window::Main, "超级链接框_联系"));
  EXPECT_EQ(ui.followedLinks(), (std::vector<std::string>{"tencent://message/?uin=1"}));
}

TEST(MemoryUiPictures, OnlyPngAndJpegBytesAreTaken) {
  MemoryUi ui;
  ASSERT_TRUE(ui.load(Window::Main, false));
  const std::string png = "\x89PNG\r\n\x1A\n rest";
  const std::string jpeg = "\xFF\xD8\xFF\xE0 rest";
  EXPECT_TRUE(ui.setPicture(Window::Main, "图片框_qq客服", png));
  EXPECT_EQ(ui.picture(Window::Main, "图片框_qq客服"), png);
  EXPECT_FALSE(ui.setPicture(Window::Main, "图片框_qq客服", "GIF89a"));
  EXPECT_FALSE(ui.setPicture(Window::Main, "图片框_qq客服", ""));
  EXPECT_EQ(ui.picture(Window::Main, "图片框_qq客服"), png);
  EXPECT_TRUE(ui.setPicture(Window::Main, "图片框_微信客服", jpeg));
  EXPECT_FALSE(ui.setPicture(Window::Main, "透明标签8", jpeg));  // not a picture box
}

}  // namespace
}  // namespace pv
