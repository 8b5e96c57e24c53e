// Saving and loading whole kinds of controls through the in-memory Ui, against our ini
// store with a fake protector and, on Windows, the private-profile functions with the
// data-protection API.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "core/settings/ini_file.h"
#include "core/settings/settings.h"
#include "core/settings/settings_codec.h"
#include "core/text/codepage.h"
#include "core/ui/memory_ui.h"
#include "tests/unit/settings_fakes.h"
#include "tests/unit/utf8_literal.h"
#ifdef _WIN32
#include "platform/win32/dpapi_protector.h"
#endif

namespace pv {
namespace {

using testing_settings::ReversingProtector;
using testing_settings::ScratchFolder;

constexpr Window kMain = Window::Main;
constexpr Window kLogin = Window::Login;

struct Backend {
  const char* name;
  friend void PrintTo(const Backend& b, std::ostream* os) { *os << b.name; }
  std::function<std::unique_ptr<SettingsStore>(const std::filesystem::path&)> makeStore;
  std::function<std::unique_ptr<SecretProtector>()> makeProtector;
};

std::vector<Backend> backends() {
  std::vector<Backend> list{
      {"IniFileStoreWithFakeProtector",
       [](const std::filesystem::path& folder) -> std::unique_ptr<SettingsStore> {
         return std::make_unique<IniFileStore>(folder);
       },
       []() -> std::unique_ptr<SecretProtector> {
         return std::make_unique<ReversingProtector>();
       }}};
#ifdef _WIN32
  list.push_back(
      {"IniFileStoreWithDpapi",
       [](const std::filesystem::path& folder) -> std::unique_ptr<SettingsStore> {
         return std::make_unique<IniFileStore>(folder);
       },
       []() -> std::unique_ptr<SecretProtector> { return std::make_unique<DpapiProtector>(); }});
#endif
  return list;
}

class SettingsPersistence : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ui.load(kMain, true));
    ASSERT_TRUE(ui.load(kLogin, true));
  }

  // The operator closes the program and starts it again: every control back at its
  // table default.
  void restart(Window window) {
    ASSERT_TRUE(ui.destroy(window));
    ASSERT_TRUE(ui.load(window, true));
  }

  std::string stored(std::string_view file, std::string_view section, std::string_view key) {
    return store->read(file, section, key);
  }

  ScratchFolder folder;
  std::unique_ptr<SettingsStore> store = GetParam().makeStore(folder.path());
  std::unique_ptr<SecretProtector> protector = GetParam().makeProtector();
  MemoryUi ui;
  SettingsPorts ports{ui, *store, *protector};
};

TEST_P(SettingsPersistence, MainWindowRoundTripsEveryPersistedControl) {
  ASSERT_TRUE(ui.setText(kMain, "编辑框_地址", "甲\r\n乙 \"引\""));
  ASSERT_TRUE(ui.setText(kMain, "编辑框_偏远距离", "1234"));
  ASSERT_TRUE(ui.setText(kMain, "编辑框_村组距离", "0"));
  for (const char* box :
       {"选择框_盲区停发", "选择框_虚假地址", "选择框_屏蔽偏远", "选择框_复制地址快速查询"}) {
    ASSERT_TRUE(ui.setChecked(kMain, box, false));
  }
  ASSERT_TRUE(ui.setChecked(kMain, "单选框_反选", true));
  const char* service = "组合框_筛单服务";
  ASSERT_EQ(ui.addItem(kMain, service, "A", 1), 0);
  ASSERT_EQ(ui.addItem(kMain, service, "B", 2), 1);
  ASSERT_TRUE(ui.setSelectedIndex(kMain, service, 1));
  const char* project = "组合框_筛单项目";
  ASSERT_EQ(ui.addItem(kMain, project, "项目\"一\"", 70001), 0);
  ASSERT_EQ(ui.addItem(kMain, project, "项目二", -3), 1);
  ASSERT_TRUE(ui.setSelectedIndex(kMain, project, 0));
  ASSERT_TRUE(ui.setText(kMain, project, "手填"));

  EXPECT_TRUE(saveMainSettings(ports));
  EXPECT_EQ(stored(kMainSettingsFile, "编辑框", "编辑框_地址"), "甲><br><乙 #引号引#引号");
  EXPECT_EQ(stored(kMainSettingsFile, "选择框", "选择框_盲区停发"), "假");
  EXPECT_EQ(stored(kMainSettingsFile, "选择框", "选择框_超区加收"), "真");
  EXPECT_EQ(stored(kMainSettingsFile, "单选框", "单选框_正选"), "假");
  EXPECT_EQ(stored(kMainSettingsFile, "单选框", "单选框_反选"), "真");
  EXPECT_EQ(stored(kMainSettingsFile, "组合框", service), "A<|>1<||>B<|>2<||>1<|>B");
  EXPECT_EQ(stored(kMainSettingsFile, "组合框", project),
            "项目#引号一#引号<|>70001<||>项目二<|>-3<||>0<|>手填");

  restart(kMain);
  ASSERT_TRUE(ui.checked(kMain, "选择框_盲区停发"));  // defaults before loading
  EXPECT_EQ(loadMainSettings(ports), 3 + 7 + 2 + 2);

  EXPECT_EQ(ui.text(kMain, "编辑框_地址"), "甲\r\n乙 \"引\"");
  EXPECT_EQ(ui.text(kMain, "编辑框_偏远距离"), "1234");
  EXPECT_EQ(ui.text(kMain, "编辑框_村组距离"), "0");
  EXPECT_FALSE(ui.checked(kMain, "选择框_盲区停发"));
  EXPECT_FALSE(ui.checked(kMain, "选择框_虚假地址"));
  EXPECT_FALSE(ui.checked(kMain, "选择框_屏蔽偏远"));
  EXPECT_FALSE(ui.checked(kMain, "选择框_复制地址快速查询"));
  EXPECT_TRUE(ui.checked(kMain, "选择框_超区加收"));
  EXPECT_TRUE(ui.checked(kMain, "选择框_其他限制"));
  EXPECT_TRUE(ui.checked(kMain, "选择框_屏蔽村组"));
  EXPECT_FALSE(ui.checked(kMain, "单选框_正选"));
  EXPECT_TRUE(ui.checked(kMain, "单选框_反选"));
  ASSERT_EQ(ui.itemCount(kMain, service), 2);
  EXPECT_EQ(ui.itemText(kMain, service, 0), "A");
  EXPECT_EQ(ui.itemValue(kMain, service, 0), 1);
  EXPECT_EQ(ui.itemText(kMain, service, 1), "B");
  EXPECT_EQ(ui.itemValue(kMain, service, 1), 2);
  EXPECT_EQ(ui.selectedIndex(kMain, service), 1);
  EXPECT_EQ(ui.text(kMain, service), "B");
  ASSERT_EQ(ui.itemCount(kMain, project), 2);
  EXPECT_EQ(ui.itemText(kMain, project, 0), "项目\"一\"");
  EXPECT_EQ(ui.itemValue(kMain, project, 0), 70001);
  EXPECT_EQ(ui.itemValue(kMain, project, 1), -3);
  EXPECT_EQ(ui.selectedIndex(kMain, project), 0);
  EXPECT_EQ(ui.text(kMain, project), "手填");
}

TEST_P(SettingsPersistence, AddressWithACharacterOutsideGbkKeepsTheRest) {
  ASSERT_TRUE(ui.setText(kMain, "编辑框_地址", utf8ToGbk(utf8Text(u8"收货地址•A栋"))));
  EXPECT_TRUE(saveMainSettings(ports));
  EXPECT_EQ(stored(kMainSettingsFile, "编辑框", "编辑框_地址"), "收货地址?A栋");
  restart(kMain);
  loadMainSettings(ports);
  EXPECT_EQ(ui.text(kMain, "编辑框_地址"), "收货地址?A栋");
}

TEST_P(SettingsPersistence, DefaultsRoundTripIncludingThePlaceholderAndEmptyCombos) {
  EXPECT_TRUE(saveMainSettings(ports));
  EXPECT_EQ(stored(kMainSettingsFile, "编辑框", "编辑框_地址"),
            "输入地址进行查询，按下回车键可以快速查询");
  EXPECT_EQ(stored(kMainSettingsFile, "组合框", "组合框_筛单服务"), "-1<|>请选择服务");
  EXPECT_EQ(stored(kMainSettingsFile, "组合框", "组合框_筛单项目"), "-1<|>请选择项目");
  EXPECT_EQ(stored(kMainSettingsFile, "单选框", "单选框_正选"), "真");

  // Whatever the program put there since, the load brings the saved defaults back.
  ASSERT_TRUE(ui.setText(kMain, "编辑框_地址", "别的"));
  ASSERT_EQ(ui.addItem(kMain, "组合框_筛单服务", "X", 9), 0);
  ASSERT_TRUE(ui.setSelectedIndex(kMain, "组合框_筛单服务", 0));
  loadMainSettings(ports);
  EXPECT_EQ(ui.text(kMain, "编辑框_地址"), "输入地址进行查询，按下回车键可以快速查询");
  EXPECT_EQ(ui.itemCount(kMain, "组合框_筛单服务"), 0);
  EXPECT_EQ(ui.selectedIndex(kMain, "组合框_筛单服务"), -1);
  EXPECT_EQ(ui.text(kMain, "组合框_筛单服务"), "请选择服务");
}

TEST_P(SettingsPersistence, EmptyOrUnusableValuesLeaveControlsAsTheyAre) {
  // No file at all.
  EXPECT_EQ(loadMainSettings(ports), 14);
  EXPECT_EQ(ui.text(kMain, "编辑框_村组距离"), "15000");
  EXPECT_TRUE(ui.checked(kMain, "单选框_正选"));
  EXPECT_EQ(ui.text(kMain, "组合框_筛单服务"), "请选择服务");

  const std::string_view f = kMainSettingsFile;
  ASSERT_TRUE(store->write(f, "编辑框", "编辑框_地址", ""));
  ASSERT_TRUE(store->write(f, "编辑框", "编辑框_偏远距离", "12公里"));  // not digits
  ASSERT_TRUE(store->write(f, "选择框", "选择框_盲区停发", ""));
  ASSERT_TRUE(store->write(f, "选择框", "选择框_超区加收", "1"));
  ASSERT_TRUE(store->write(f, "选择框", "选择框_虚假地址", "假"));
  ASSERT_TRUE(store->write(f, "组合框", "组合框_筛单服务", ""));
  ASSERT_TRUE(store->write(f, "单选框", "单选框_正选", "   "));
  ASSERT_TRUE(ui.setChecked(kMain, "选择框_超区加收", false));
  loadMainSettings(ports);
  EXPECT_EQ(ui.text(kMain, "编辑框_地址"), "输入地址进行查询，按下回车键可以快速查询");
  EXPECT_EQ(ui.text(kMain, "编辑框_偏远距离"), "50000");
  EXPECT_TRUE(ui.checked(kMain, "选择框_盲区停发"));
  EXPECT_TRUE(ui.checked(kMain, "选择框_超区加收"));  // any value but "假" ticks
  EXPECT_FALSE(ui.checked(kMain, "选择框_虚假地址"));
  EXPECT_TRUE(ui.checked(kMain, "单选框_正选"));  // blanks only read as empty
  EXPECT_EQ(ui.text(kMain, "组合框_筛单服务"), "请选择服务");
}

TEST_P(SettingsPersistence, RadioButtonsLoadInTableOrderWithinTheirGroup) {
  ASSERT_TRUE(store->write(kMainSettingsFile, "单选框", "单选框_正选", "真"));
  ASSERT_TRUE(store->write(kMainSettingsFile, "单选框", "单选框_反选", "真"));
  EXPECT_EQ(loadControls(ports, kMain, kMainSettingsFile, ControlKind::RadioButton), 2);
  // Selecting the second clears the first, as a click would.
  EXPECT_FALSE(ui.checked(kMain, "单选框_正选"));
  EXPECT_TRUE(ui.checked(kMain, "单选框_反选"));
}

TEST_P(SettingsPersistence, ComboSelectionOutsideItsItemsKeepsTheSavedText) {
  ASSERT_TRUE(store->write(kMainSettingsFile, "组合框", "组合框_筛单服务", "A<|>1<||>5<|>旧的"));
  loadControls(ports, kMain, kMainSettingsFile, ControlKind::ComboBox);
  EXPECT_EQ(ui.itemCount(kMain, "组合框_筛单服务"), 1);
  EXPECT_EQ(ui.selectedIndex(kMain, "组合框_筛单服务"), -1);
  EXPECT_EQ(ui.text(kMain, "组合框_筛单服务"), "旧的");
}

TEST_P(SettingsPersistence, ValuesAreReadUpToTheLimit) {
  std::string address;
  while (address.size() < 11000) address += "北京市朝阳区";
  ASSERT_TRUE(store->write(kMainSettingsFile, "编辑框", "编辑框_地址", address));
  loadControls(ports, kMain, kMainSettingsFile, ControlKind::Edit);
  const std::string shown = ui.text(kMain, "编辑框_地址");
  EXPECT_EQ(shown, limitSettingsValue(address));
  EXPECT_EQ(shown.size(), kSettingsValueLimit - 1);  // ends before a split character
}

TEST_P(SettingsPersistence, ExcludedControlsAreNotWritten) {
  ASSERT_TRUE(ui.setText(kMain, "编辑框_偏远距离", "7"));
  EXPECT_TRUE(saveControls(ports, kMain, kMainSettingsFile, ControlKind::Edit,
                           "编辑框_地址|编辑框_村组距离"));
  EXPECT_EQ(stored(kMainSettingsFile, "编辑框", "编辑框_地址"), "");
  EXPECT_EQ(stored(kMainSettingsFile, "编辑框", "编辑框_村组距离"), "");
  EXPECT_EQ(stored(kMainSettingsFile, "编辑框", "编辑框_偏远距离"), "7");
}

TEST_P(SettingsPersistence, KindsAreCountedPerWindowAndOthersAreNotPersisted) {
  EXPECT_EQ(loadControls(ports, kLogin, kLoginSettingsFile, ControlKind::Edit), 2);
  EXPECT_EQ(loadControls(ports, kLogin, kLoginSettingsFile, ControlKind::CheckBox), 0);
  EXPECT_EQ(loadControls(ports, Window::Result, "", ControlKind::ComboBox), 1);
  EXPECT_EQ(loadControls(ports, kMain, kMainSettingsFile, ControlKind::RichEdit), 0);
  EXPECT_FALSE(saveControls(ports, kMain, kMainSettingsFile, ControlKind::Label));
  EXPECT_EQ(loadMainSettings(ports), 14);
  EXPECT_EQ(loadLoginSettings(ports), 2);
}

TEST_P(SettingsPersistence, EmptyFileNameUsesTheDefaultFile) {
  ASSERT_TRUE(ui.setChecked(kMain, "选择框_其他限制", false));
  EXPECT_TRUE(saveControls(ports, kMain, "", ControlKind::CheckBox));
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "data" / "setsoft.ini"));
  restart(kMain);
  loadControls(ports, kMain, "", ControlKind::CheckBox);
  EXPECT_FALSE(ui.checked(kMain, "选择框_其他限制"));
}

// The login window's fields survive a restart through its own events, wired as the
// start-up wires them.
TEST_P(SettingsPersistence, LoginFieldsRoundTripThroughTheWindowEvents) {
  ASSERT_TRUE(
      ui.events().on(kLogin, "", Event::Created, [&](EventArgs&) { loadLoginSettings(ports); }));
  ASSERT_TRUE(
      ui.events().on(kLogin, "", Event::Destroying, [&](EventArgs&) { EXPECT_TRUE(saveLoginSettings(ports)); }));
  ASSERT_TRUE(ui.setText(kLogin, "编辑框_账户", "店主\"甲\""));
  ASSERT_TRUE(ui.setText(kLogin, "编辑框_密码", "p@ss \"word\" 密码"));
  restart(kLogin);
  EXPECT_EQ(ui.text(kLogin, "编辑框_账户"), "店主\"甲\"");
  EXPECT_EQ(ui.text(kLogin, "编辑框_密码"), "p@ss \"word\" 密码");
  EXPECT_EQ(stored(kLoginSettingsFile, "编辑框", "编辑框_账户"), "店主#引号甲#引号");
}

TEST_P(SettingsPersistence, PasswordIsNeverStoredAsPlainText) {
  ASSERT_TRUE(ui.setText(kLogin, "编辑框_密码", "secret密码"));
  EXPECT_TRUE(saveLoginSettings(ports));
  const std::string value = stored(kLoginSettingsFile, "编辑框", "编辑框_密码");
  EXPECT_EQ(value.rfind(kProtectedValuePrefix, 0), 0u) << value;
  EXPECT_EQ(value.find("secret"), std::string::npos) << value;
  EXPECT_EQ(value.find("terces"), std::string::npos) << value;  // nor merely reversed

  restart(kLogin);
  loadLoginSettings(ports);
  EXPECT_EQ(ui.text(kLogin, "编辑框_密码"), "secret密码");
}

TEST_P(SettingsPersistence, OldPlainPasswordIsStillReadAndSealedAtTheNextSave) {
  ASSERT_TRUE(store->write(kLoginSettingsFile, "编辑框", "编辑框_密码", "旧密码#引号1"));
  loadLoginSettings(ports);
  EXPECT_EQ(ui.text(kLogin, "编辑框_密码"), "旧密码\"1");
  EXPECT_TRUE(saveLoginSettings(ports));
  const std::string value = stored(kLoginSettingsFile, "编辑框", "编辑框_密码");
  EXPECT_EQ(value.rfind(kProtectedValuePrefix, 0), 0u) << value;
  EXPECT_EQ(value.find("旧密码"), std::string::npos);
}

TEST_P(SettingsPersistence, SealedPasswordThatDoesNotOpenLeavesTheBoxEmpty) {
  const std::string prefix(kProtectedValuePrefix);
  for (const std::string& value :
       {prefix, prefix + "not base64!", prefix + "AAAA", prefix + "c2VhbGVkOg=="}) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(store->write(kLoginSettingsFile, "编辑框", "编辑框_密码", value));
    restart(kLogin);
    loadLoginSettings(ports);
    EXPECT_EQ(ui.text(kLogin, "编辑框_密码"), "");
  }
  // An empty password stays empty in the file.
  EXPECT_TRUE(saveLoginSettings(ports));
  EXPECT_EQ(stored(kLoginSettingsFile, "编辑框", "编辑框_密码"), "");
}

INSTANTIATE_TEST_SUITE_P(Backends, SettingsPersistence, ::testing::ValuesIn(backends()),
                         [](const auto& info) { return std::string(info.param.name); });

// A protector that cannot seal must not make the password fall back to plain text.
TEST(SettingsPassword, FailedSealingForgetsThePasswordInsteadOfExposingIt) {
  ScratchFolder folder;
  IniFileStore store(folder.path());
  ReversingProtector protector;
  MemoryUi ui;
  ASSERT_TRUE(ui.load(kLogin, false));
  SettingsPorts ports{ui, store, protector};
  ASSERT_TRUE(store.write(kLoginSettingsFile, "编辑框", "编辑框_密码", "earlier"));
  ASSERT_TRUE(ui.setText(kLogin, "编辑框_密码", "fail"));  // the fake refuses to seal it
  EXPECT_TRUE(saveLoginSettings(ports));
  EXPECT_EQ(store.read(kLoginSettingsFile, "编辑框", "编辑框_密码"), "");
}

}  // namespace
}  // namespace pv
