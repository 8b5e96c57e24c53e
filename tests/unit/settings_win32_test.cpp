// The Windows side of settings persistence: where the product's files go, GBK files on any
// code page, the data-protection API and the browser-emulation registry value.
#ifdef _WIN32
#include <windows.h>
// After windows.h, whose types it uses.
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/settings/ini_file.h"
#include "core/settings/settings.h"
#include "core/ui/memory_ui.h"
#include "platform/win32/dpapi_protector.h"
#include "platform/win32/program_folders.h"
#include "platform/win32/settings_registry.h"
#include "tests/unit/settings_fakes.h"

namespace pv {
namespace {

using testing_settings::fileBytes;
using testing_settings::ScratchFolder;

// The product's store, as app/ makes it.
IniFileStore productStore() { return IniFileStore(runningExecutablePath().parent_path(), windowsFolder()); }

TEST(ProductSettingsStore, BareNamesGoToTheWindowsFolderAsGbk) {
  const std::string name = "pv-settings-test-" + std::to_string(std::random_device{}()) + ".ini";
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryW(system, MAX_PATH), 0u);
  const std::filesystem::path expected = std::filesystem::path(system) / name;
  IniFileStore store = productStore();
  ASSERT_TRUE(store.write(name, "编辑框", "编辑框_地址", "北京市"));
  EXPECT_EQ(store.read(name, "编辑框", "编辑框_地址"), "北京市");
  const std::string bytes = fileBytes(expected);
  std::error_code ignored;
  std::filesystem::remove(expected, ignored);
  // GBK on disk, as the system's code page 936 writes it (not UTF-8, not UTF-16).
  EXPECT_NE(bytes.find("[编辑框]\r\n编辑框_地址=北京市"), std::string::npos) << bytes;
}

TEST(ProductSettingsStore, DefaultFileLivesUnderTheRunningProgramsFolder) {
  const std::filesystem::path exe = runningExecutablePath();
  ASSERT_EQ(exe.filename(), std::filesystem::path(L"unit_tests.exe"));
  const std::filesystem::path data = exe.parent_path() / L"data";
  std::error_code ignored;
  ASSERT_FALSE(std::filesystem::exists(data));
  IniFileStore store = productStore();
  const bool written = store.write("", "选择框", "选择框_盲区停发", "假");
  const std::string bytes = fileBytes(data / L"setsoft.ini");
  std::filesystem::remove_all(data, ignored);
  EXPECT_TRUE(written);
  EXPECT_NE(bytes.find("选择框_盲区停发=假"), std::string::npos) << bytes;
}

// Settings files are GBK whatever the system's code page. The unit run has code page 936;
// the unit-wine-latin run repeats these tests under a Western one (1252), where the
// private-profile functions wrote "?" for every Chinese name and value and read the files
// of earlier versions wrongly.
TEST(SettingsFilesOnAnyCodePage, ReadAndWrittenAsGbk) {
  if (const char* want = std::getenv("PV_TEST_EXPECT_ACP")) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(want)));
  }
  ScratchFolder folder;
  const std::filesystem::path path = folder.path() / "parcelvane_settings.ini";
  {
    std::ofstream earlier(path, std::ios::binary);  // as an earlier version left it
    earlier << "[编辑框]\r\n编辑框_地址=北京市朝阳区><br><望京\r\n[组合框]\r\n组合框_筛单服务=顺丰<|>7<||>0<|>顺丰\r\n";
  }
  IniFileStore store(folder.path());
  EXPECT_EQ(store.read("parcelvane_settings.ini", "编辑框", "编辑框_地址"), "北京市朝阳区><br><望京");
  EXPECT_EQ(store.read("parcelvane_settings.ini", "组合框", "组合框_筛单服务"), "顺丰<|>7<||>0<|>顺丰");
  ASSERT_TRUE(store.write("parcelvane_settings.ini", "选择框", "选择框_盲区停发", "假"));
  ASSERT_TRUE(store.write("parcelvane_settings.ini", "编辑框", "编辑框_地址", "上海市"));
  EXPECT_EQ(fileBytes(path),
            "[编辑框]\r\n编辑框_地址=上海市\r\n[组合框]\r\n组合框_筛单服务=顺丰<|>7<||>0<|>顺丰\r\n"
            "[选择框]\r\n选择框_盲区停发=假\r\n");

  if (GetACP() != 936) return;
  // Where the system's functions speak GBK, each side reads what the other wrote.
  ASSERT_TRUE(WritePrivateProfileStringW(L"单选框", L"单选框_反选", L"真", path.c_str()));
  EXPECT_EQ(store.read("parcelvane_settings.ini", "单选框", "单选框_反选"), "真");
  wchar_t value[64] = {};
  GetPrivateProfileStringW(L"编辑框", L"编辑框_地址", L"", value, 64, path.c_str());
  EXPECT_EQ(std::wstring(value), L"上海市");
}

TEST(DpapiProtector, SealsForTheUserAndRefusesAnythingElse) {
  DpapiProtector protector;
  const std::string plain = "p@ss 密码\"";
  const std::string sealed = protector.protect(plain);
  ASSERT_FALSE(sealed.empty());
  EXPECT_EQ(sealed.find("p@ss"), std::string::npos);
  EXPECT_EQ(protector.unprotect(sealed), plain);
  EXPECT_NE(protector.protect(plain), sealed);  // salted: equal passwords look different

  // The blob ends with its signature: a changed or missing byte there is caught.
  std::string damaged = sealed;
  damaged.back() ^= 0x55;
  EXPECT_EQ(protector.unprotect(damaged), std::nullopt);
  EXPECT_EQ(protector.unprotect(sealed.substr(0, sealed.size() - 1)), std::nullopt);
  EXPECT_EQ(protector.unprotect(""), std::nullopt);
  EXPECT_EQ(protector.unprotect("not a blob"), std::nullopt);

  // A blob of the same user without our entropy is another program's secret.
  DATA_BLOB in{static_cast<DWORD>(plain.size()),
               reinterpret_cast<BYTE*>(const_cast<char*>(plain.data()))};
  DATA_BLOB out{};
  ASSERT_TRUE(
      CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out));
  const std::string foreign(reinterpret_cast<const char*>(out.pbData), out.cbData);
  LocalFree(out.pbData);
  EXPECT_EQ(protector.unprotect(foreign), std::nullopt);
}

TEST(DpapiProtector, PasswordFileHoldsNoPlainText) {
  ScratchFolder folder;
  IniFileStore store(folder.path());
  DpapiProtector protector;
  MemoryUi ui;
  ASSERT_TRUE(ui.load(Window::Login, false));
  ASSERT_TRUE(ui.setText(Window::Login, "编辑框_账户", "店主"));
  ASSERT_TRUE(ui.setText(Window::Login, "编辑框_密码", "secret-7"));
  EXPECT_TRUE(saveLoginSettings({ui, store, protector}));
  const std::string bytes = fileBytes(folder.path() / "parcelvane.ini");
  EXPECT_NE(bytes.find("编辑框_账户=店主\r\n"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("编辑框_密码={protected}"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("secret"), std::string::npos) << bytes;
}

class BrowserEmulation : public ::testing::Test {
 protected:
  static constexpr wchar_t kKey[] =
      L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";

  void TearDown() override {
    for (const wchar_t* name : {L"pv-settings-test.exe", L"unit_tests.exe"}) {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name);
    }
  }

  static std::optional<DWORD> value(const wchar_t* name) {
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &data, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    return data;
  }
};

TEST_F(BrowserEmulation, WritesTheModeUnderTheExecutableName) {
  EXPECT_TRUE(writeBrowserEmulationValue(L"pv-settings-test.exe"));
  EXPECT_EQ(value(L"pv-settings-test.exe"), 10000u);
  EXPECT_TRUE(writeBrowserEmulationValue());
  EXPECT_EQ(value(L"unit_tests.exe"), 10000u);
  EXPECT_FALSE(writeBrowserEmulationValue(L""));
  EXPECT_FALSE(writeBrowserEmulationValue(L"C:\\x\\a.exe"));
}

}  // namespace
}  // namespace pv
#endif
