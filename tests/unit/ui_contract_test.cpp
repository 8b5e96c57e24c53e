// One contract for every Ui: the same cases run against MemoryUi natively and, in the
// cross-built program under Wine, against the Win32 adapter too, so the in-memory windows
// the flows are tested with cannot drift from the real ones. Only port operations are
// used here; what only one side can do (clicks, typing, real child windows) is tested
// beside that side.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/product/product.h"
#include "core/ui/memory_ui.h"
#include "tests/unit/picture_samples.h"
#ifdef _WIN32
#include "platform/win32/ui/win32_ui.h"
#endif

namespace pv {
namespace {

template <class T>
class UiContract : public ::testing::Test {
 protected:
  T real;
  Ui& ui = real;
};

#ifdef _WIN32
using Uis = ::testing::Types<MemoryUi, Win32Ui>;
#else
using Uis = ::testing::Types<MemoryUi>;
#endif

class UiNames {
 public:
  template <class T>
  static std::string GetName(int) {
    if constexpr (std::is_same_v<T, MemoryUi>) return "MemoryUi";
    return "Win32Ui";
  }
};

TYPED_TEST_SUITE(UiContract, Uis, UiNames);

constexpr Window kMain = Window::Main;

TYPED_TEST(UiContract, WindowsStartFromTheTables) {
  Ui& ui = this->ui;
  ASSERT_TRUE(ui.load(kMain, false));
  EXPECT_EQ(ui.text(kMain, "组合框_筛单项目"), "请选择项目");
  EXPECT_EQ(ui.selectedIndex(kMain, "组合框_筛单项目"), -1);
  EXPECT_EQ(ui.itemCount(kMain, "组合框_筛单项目"), 0);
  EXPECT_TRUE(ui.checked(kMain, "选择框_盲区停发"));
  EXPECT_TRUE(ui.checked(kMain, "单选框_正选"));
  EXPECT_FALSE(ui.checked(kMain, "单选框_反选"));
  EXPECT_FALSE(ui.visible(kMain, "按钮_滚动到网点详情"));
  EXPECT_TRUE(ui.visible(kMain, "按钮_查询"));
  EXPECT_EQ(ui.text(kMain, "编辑框_村组距离"), "15000");
  EXPECT_EQ(ui.selectedIndex(kMain, "选择夹1"), 0);
  EXPECT_EQ(ui.statusText(kMain, "状态条1", 1), "");
  EXPECT_EQ(ui.lineCount(kMain, "超级编辑框_输出"), 1);

  ASSERT_TRUE(ui.load(Window::Result, false));
  EXPECT_EQ(ui.text(Window::Result, "组合框_分割方式"), "换行符");
  EXPECT_EQ(ui.itemCount(Window::Result, "组合框_分割方式"), 2);
  EXPECT_EQ(ui.itemText(Window::Result, "组合框_分割方式", 1), "逗号分割");

  ASSERT_TRUE(ui.load(Window::QuickTip, false));
  EXPECT_EQ(ui.timerInterval(Window::QuickTip, "时钟1"), 500);

  ASSERT_TRUE(ui.load(Window::Login, false));
  EXPECT_FALSE(ui.enabled(Window::Login, "按钮_登录"));
  EXPECT_EQ(ui.linkTarget(Window::Login, "超级链接框1"), std::string(kWebConsole) + "/pub/auth/register");
}

TYPED_TEST(UiContract, LoadShowHideDestroyAndLoadAgain) {
  Ui& ui = this->ui;
  std::vector<std::string> seen;
  ASSERT_TRUE(ui.events().on(Window::Login, "", Event::Created, [&](EventArgs&) {
    seen.push_back(ui.isShown(Window::Login) ? "created shown" : "created hidden");
  }));
  ASSERT_TRUE(ui.events().on(Window::Login, "", Event::Destroying, [&](EventArgs&) {
    seen.push_back("destroying " + ui.text(Window::Login, "编辑框_账户"));
  }));

  // Nothing answers for a window that is not loaded.
  EXPECT_FALSE(ui.isLoaded(Window::Login));
  EXPECT_EQ(ui.text(Window::Login, "编辑框_账户"), "");
  EXPECT_FALSE(ui.setText(Window::Login, "编辑框_账户", "x"));
  EXPECT_FALSE(ui.raise(Window::Login, "标签_载入使用", Event::Clicked));
  EXPECT_FALSE(ui.show(Window::Login));

  ASSERT_TRUE(ui.load(Window::Login, true));
  EXPECT_TRUE(ui.isShown(Window::Login));
  EXPECT_TRUE(ui.hide(Window::Login));
  EXPECT_FALSE(ui.isShown(Window::Login));
  EXPECT_TRUE(ui.isLoaded(Window::Login));
  // A hidden window keeps and takes state.
  EXPECT_TRUE(ui.setText(Window::Login, "编辑框_账户", "op"));
  EXPECT_TRUE(ui.show(Window::Login));
  EXPECT_TRUE(ui.setTitle(Window::Login, "题目"));
  EXPECT_EQ(ui.title(Window::Login), "题目");

  EXPECT_TRUE(ui.destroy(Window::Login));
  EXPECT_FALSE(ui.isLoaded(Window::Login));
  EXPECT_EQ(seen, (std::vector<std::string>{"created hidden", "destroying op"}));

  ASSERT_TRUE(ui.load(Window::Login, false));
  EXPECT_FALSE(ui.isShown(Window::Login));
  EXPECT_EQ(ui.text(Window::Login, "编辑框_账户"), "");
  EXPECT_EQ(ui.title(Window::Login), windowDef(Window::Login).title);
}

TYPED_TEST(UiContract, RaiseRunsTheBoundHandlers) {
  Ui& ui = this->ui;
  int opens = 0;
  ASSERT_TRUE(ui.events().on(Window::Login, "标签_载入使用", Event::Clicked, [&](EventArgs&) { ++opens; }));
  ASSERT_TRUE(ui.load(Window::Login, false));
  EXPECT_TRUE(ui.raise(Window::Login, "标签_载入使用", Event::Clicked));
  EXPECT_EQ(opens, 1);
}

TYPED_TEST(UiContract, DigitsOnlyBoxTakesOnlyDigits) {
  Ui& ui = this->ui;
  ASSERT_TRUE(ui.load(kMain, false));
  const struct {
    const char* text;
    bool taken;
  } cases[] = {
      {"12a", false}, {"-5", false}, {"１２", false}, {" 1", false}, {"300", true}, {"", true}, {"0042", true},
  };
  std::string shown = ui.text(kMain, "编辑框_村组距离");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ui.setText(kMain, "编辑框_村组距离", c.text), c.taken);
    if (c.taken) shown = c.text;
    EXPECT_EQ(ui.text(kMain, "编辑框_村组距离"), shown);
  }
  // An ordinary box takes anything.
  EXPECT_TRUE(ui.setText(kMain, "编辑框_地址", "北京市1号院"));
  EXPECT_EQ(ui.text(kMain, "编辑框_地址"), "北京市1号院");
}

TYPED_TEST(UiContract, ComboBoxItemsValuesSelectionAndText) {
  Ui& ui = this->ui;
  ASSERT_TRUE(ui.load(kMain, false));
  const char* combo = "组合框_筛单服务";
  EXPECT_EQ(ui.addItem(kMain, combo, "甲", 11), 0);
  EXPECT_EQ(ui.addItem(kMain, combo, "乙", 22), 1);
  EXPECT_EQ(ui.itemCount(kMain, combo), 2);
  EXPECT_EQ(ui.text(kMain, combo), "请选择服务");  // adding does not select
  EXPECT_EQ(ui.selectedIndex(kMain, combo), -1);
  EXPECT_TRUE(ui.setSelectedIndex(kMain, combo, 1));
  EXPECT_EQ(ui.text(kMain, combo), "乙");
  EXPECT_EQ(ui.itemValue(kMain, combo, 1), 22);
  EXPECT_EQ(ui.itemText(kMain, combo, 0), "甲");
  EXPECT_EQ(ui.itemText(kMain, combo, 2), "");
  // An editable combo box's text is free and leaves the selection alone.
  EXPECT_TRUE(ui.setText(kMain, combo, "自由文本"));
  EXPECT_EQ(ui.text(kMain, combo), "自由文本");
  EXPECT_EQ(ui.selectedIndex(kMain, combo), 1);
  // Out of range clears, and says so.
  EXPECT_FALSE(ui.setSelectedIndex(kMain, combo, 5));
  EXPECT_EQ(ui.selectedIndex(kMain, combo), -1);
  EXPECT_EQ(ui.text(kMain, combo), "");
  EXPECT_TRUE(ui.setSelectedIndex(kMain, combo, 0));
  EXPECT_TRUE(ui.clearItems(kMain, combo));
  EXPECT_EQ(ui.itemCount(kMain, combo), 0);
  EXPECT_EQ(ui.selectedIndex(kMain, combo), -1);
  EXPECT_EQ(ui.text(kMain, combo), "");
  // The state a saved "-1<|>请选择服务" restores.
  EXPECT_TRUE(ui.setSelectedIndex(kMain, combo, -1));
  EXPECT_TRUE(ui.setText(kMain, combo, "请选择服务"));
  EXPECT_EQ(ui.text(kMain, combo), "请选择服务");
}

TYPED_TEST(UiContract, DropDownListTextSelectsAnItem) {
  Ui& ui = this->ui;
  ASSERT_TRUE(ui.load(Window::Result, false));
  const Window r = Window::Result;
  EXPECT_TRUE(ui.setText(r, "组合框_分割方式", "逗号分割"));
  EXPECT_EQ(ui.selectedIndex(r, "组合框_分割方式"), 1);
  EXPECT_FALSE(ui.setText(r, "组合框_分割方式", "分号"));
  EXPECT_EQ(ui.text(r, "组合框_分割方式"), "逗号分割");
  EXPECT_TRUE(ui.setSelectedIndex(r, "组合框_分割方式", 0));
  EXPECT_EQ(ui.text(r, "组合框_分割方式"), "换行符");
}

TYPED_TEST(UiContract, RadioGroupCheckBoxesVisibilityAndEnabled) {
  Ui& ui = this->ui;
  ASSERT_TRUE(ui.load(kMain, false));
  EXPECT_TRUE(ui.setChecked(kMain, "单选框_反选", true));
  EXPECT_FALSE(ui.checked(kMain, "单选框_正选"));
  EXPECT_TRUE(ui.setChecked(kMain, "单选框_正选", true));
  EXPECT_FALSE(ui.checked(kMain, "单选框_反选"));
  EXPECT_TRUE(ui.setChecked(kMain, "单选框_正选", false));
  EXPECT_FALSE(ui.checked(kMain, "单选框_正选"));
  EXPECT_FALSE(ui.checked(kMain, "单选框_反选"));
  // Check boxes are independent of each other.
  EXPECT_TRUE(ui.setChecked(kMain, "选择框_虚假地址", false));
  EXPECT_FALSE(ui.checked(kMain, "选择框_虚假地址"));
  EXPECT_TRUE(ui.checked(kMain, "选择框_其他限制"));

  // A control's own visibility, whatever its window's (hidden here) or its tab page's.
  EXPECT_TRUE(ui.setVisible(kMain, "按钮_滚动到网点详情", true));
  EXPECT_TRUE(ui.visible(kMain, "按钮_滚动到网点详情"));
  EXPECT_TRUE(ui.setVisible(kMain, "按钮_查询", false));
  EXPECT_FALSE(ui.visible(kMain, "按钮_查询"));
  EXPECT_TRUE(ui.setEnabled(kMain, "编辑框_地址", false));
  EXPECT_FALSE(ui.enabled(kMain, "编辑框_地址"));
  EXPECT_TRUE(ui.setEnabled(kMain, "编辑框_地址", true));
  EXPECT_TRUE(ui.enabled(kMain, "编辑框_地址"));
}

TYPED_TEST(UiContract, TimersStatusBarsLinksAndPictures) {
  Ui& ui = this->ui;
  ASSERT_TRUE(ui.load(Window::QuickTip, false));
  EXPECT_TRUE(ui.setTimerInterval(Window::QuickTip, "时钟1", 0));
  EXPECT_EQ(ui.timerInterval(Window::QuickTip, "时钟1"), 0);
  EXPECT_TRUE(ui.setTimerInterval(Window::QuickTip, "时钟1", 250));
  EXPECT_EQ(ui.timerInterval(Window::QuickTip, "时钟1"), 250);

  ASSERT_TRUE(ui.load(kMain, false));
  EXPECT_TRUE(ui.setStatusText(kMain, "状态条1", 1, "剩余次数：12"));
  EXPECT_EQ(ui.statusText(kMain, "状态条1", 1), "剩余次数：12");
  EXPECT_EQ(ui.statusText(kMain, "状态条1", 0), "");
  EXPECT_TRUE(ui.setText(kMain, "状态条1", "就绪"));
  EXPECT_EQ(ui.statusText(kMain, "状态条1", 0), "就绪");

  EXPECT_TRUE(ui.setLinkTarget(kMain, "超级链接框_联系", "tencent://message/?uin=1"));
  EXPECT_EQ(ui.linkTarget(kMain, "超级链接框_联系"), "tencent://message/?uin=1");

  EXPECT_TRUE(ui.setPicture(kMain, "图片框_qq客服", kRedPng));
  EXPECT_EQ(ui.picture(kMain, "图片框_qq客服"), kRedPng);
  EXPECT_TRUE(ui.setPicture(kMain, "图片框_微信客服", kBlueJpeg));
  for (const std::string& bad : {std::string("GIF89a"), std::string()}) {
    EXPECT_FALSE(ui.setPicture(kMain, "图片框_qq客服", bad));
  }
  EXPECT_EQ(ui.picture(kMain, "图片框_qq客服"), kRedPng);
  EXPECT_FALSE(ui.setPicture(kMain, "透明标签8", kRedPng));  // not a picture box
}

TYPED_TEST(UiContract, RichTextRunsAndLines) {
  Ui& ui = this->ui;
  ASSERT_TRUE(ui.load(kMain, false));
  const char* box = "超级编辑框_输出";
  EXPECT_TRUE(ui.appendRichText(kMain, box, TextRun{"第一行\n", 0x0000FF, true}));
  EXPECT_TRUE(ui.appendRichText(kMain, box, TextRun{"第二行", 0x008000, false}));
  EXPECT_EQ(ui.lineCount(kMain, box), 2);
  EXPECT_TRUE(ui.appendRichText(kMain, box, TextRun{"", 0, false}));
  EXPECT_TRUE(ui.scrollLines(kMain, box, -5));
  EXPECT_TRUE(ui.scrollLines(kMain, box, 50));
  EXPECT_TRUE(ui.clearSelection(kMain, box));
  EXPECT_FALSE(ui.appendRichText(kMain, "编辑框_地址", TextRun{"x", 0, false}));  // not a rich edit
  EXPECT_TRUE(ui.setText(kMain, box, ""));
  EXPECT_EQ(ui.lineCount(kMain, box), 1);
}

TYPED_TEST(UiContract, UnknownNamesAnswerNeutrally) {
  Ui& ui = this->ui;
  ASSERT_TRUE(ui.load(kMain, false));
  const char* missing = "按钮_不存在";
  EXPECT_EQ(ui.text(kMain, missing), "");
  EXPECT_FALSE(ui.setText(kMain, missing, "x"));
  EXPECT_FALSE(ui.visible(kMain, missing));
  EXPECT_FALSE(ui.setEnabled(kMain, missing, true));
  EXPECT_FALSE(ui.checked(kMain, missing));
  EXPECT_EQ(ui.selectedIndex(kMain, missing), -1);
  EXPECT_EQ(ui.itemCount(kMain, missing), 0);
  EXPECT_EQ(ui.addItem(kMain, missing, "x", 1), -1);
  EXPECT_EQ(ui.timerInterval(kMain, missing), 0);
  EXPECT_EQ(ui.statusText(kMain, missing, 0), "");
  EXPECT_EQ(ui.lineCount(kMain, missing), 0);
}

}  // namespace
}  // namespace pv
