// The service client's flows against the sandbox: login and its refusals, account and
// token, the version check, the global information, and the project and service lists,
// through the in-memory windows and the platform's HTTP transports.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/api/api_call.h"
#include "core/api/global_info.h"
#include "core/api/session.h"
#include "core/api/version_check.h"
#include "core/client/client_events.h"
#include "core/client/login.h"
#include "core/client/login_window.h"
#include "core/client/main_window.h"
#include "core/client/service_boxes.h"
#include "core/client/version_prompts.h"
#include "core/client/window_lifecycle.h"
#include "core/product/product.h"
#include "core/ui/memory_ui.h"
#include "tests/integration/sandbox_client_rig.h"
#include "tests/integration/sandbox_fixture.h"
#include "tests/unit/api_fakes.h"
#include "tests/unit/settings_fakes.h"

namespace pv::testing {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class ClientFlowTest : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    rig = std::make_unique<SandboxClientRig>(sharedSandbox().port());
  }
  std::unique_ptr<SandboxClientRig> rig;
};

using ClientLoginTest = ClientFlowTest;

TEST_F(ClientLoginTest, DemoAccountOpensTheMainWindowWithItsProjectsAndServices) {
  SandboxClientRig& r = *rig;
  r.ui.setEnabled(Window::Login, kLoginButton, true);
  r.typeAccount("demo", "demo123");
  ASSERT_TRUE(r.ui.pressKey(Window::Login, kPasswordBox, kEnterKey));
  r.workers.runAll();  // the login, then the project list of the new main window

  EXPECT_EQ(r.dialogs.count(), 0u);
  EXPECT_FALSE(r.ui.isLoaded(Window::Login));
  ASSERT_TRUE(r.ui.isShown(Window::Main));
  EXPECT_EQ(r.ui.text(Window::Main, kGreetingLabel), "欢迎您，演示用户");
  const auto session = r.records.session.load();
  EXPECT_EQ(session->userId, 1);
  // The token of the login was refreshed once, and the refreshed one works.
  ASSERT_FALSE(session->token.empty());
  EXPECT_EQ(api().call("GET", "/account", "", session->token).code(), 0);

  // The forbidden project is not offered.
  std::vector<std::string> projects;
  for (int i = 0; i < r.ui.itemCount(Window::Main, kProjectBox); ++i) {
    projects.push_back(r.ui.itemText(Window::Main, kProjectBox, i));
  }
  EXPECT_EQ(projects, (std::vector<std::string>{"星河速运", "青竹快递", "北辰快运"}));
  EXPECT_EQ(r.ui.text(Window::Main, kProjectBox), "请选择项目");

  // One service of the operator: chosen by itself.
  ASSERT_TRUE(r.ui.pickItem(Window::Main, kProjectBox, 0));
  r.workers.runAll();
  EXPECT_EQ(r.ui.text(Window::Main, kProductNoticeLabel),
            "星河速运全国网点数据，每日更新；盲区停发与超区加收以网点公告为准。");
  EXPECT_EQ(r.ui.itemCount(Window::Main, kServiceBox), 1);
  EXPECT_EQ(r.ui.selectedIndex(Window::Main, kServiceBox), 0);
  EXPECT_EQ(r.ui.itemValue(Window::Main, kServiceBox, 0), 101);
  EXPECT_TRUE(checkServiceChosen(r.ui, r.dialogs, r.windows, true));

  // Another project: the service at the same position stays selected.
  ASSERT_TRUE(r.ui.pickItem(Window::Main, kProjectBox, 1));
  r.workers.runAll();
  EXPECT_EQ(r.ui.itemCount(Window::Main, kServiceBox), 4);
  EXPECT_EQ(r.ui.text(Window::Main, kServiceBox), "青竹快递-西湖分部");

  // Several and none chosen: the operator must choose.
  ASSERT_TRUE(r.ui.setSelectedIndex(Window::Main, kServiceBox, -1));
  ASSERT_TRUE(r.ui.pickItem(Window::Main, kProjectBox, 1));
  r.workers.runAll();
  EXPECT_EQ(r.ui.itemCount(Window::Main, kServiceBox), 4);
  EXPECT_EQ(r.ui.text(Window::Main, kServiceBox), "请选择服务");
  EXPECT_FALSE(checkServiceChosen(r.ui, r.dialogs, r.windows));
  EXPECT_EQ(r.windows.dropDowns(), std::vector<std::string>{std::string(kServiceBox)});

  // None of this operator's: the box stays empty.
  ASSERT_TRUE(r.ui.pickItem(Window::Main, kProjectBox, 2));
  r.workers.runAll();
  EXPECT_EQ(r.ui.itemCount(Window::Main, kServiceBox), 0);
  EXPECT_EQ(r.ui.text(Window::Main, kServiceBox), "请选择服务");
}

TEST_F(ClientLoginTest, RefusedLoginsShowTheServicesMessage) {
  struct Case {
    const char* name;
    const char* account;
    const char* password;
    DialogAnswer choice;
    std::string box;
    bool registration;
  };
  const Case cases[] = {
      {"unknown account, Yes", "nobody", "x", DialogAnswer::Yes, "账号不存在\n是否前往注册账号？", true},
      {"unknown account, No", "nobody", "x", DialogAnswer::No, "账号不存在\n是否前往注册账号？", false},
      {"wrong password", "demo", "demo124", DialogAnswer::Ok, "账号或密码错误", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SandboxClientRig r(sharedSandbox().port());
    r.typeAccount(c.account, c.password);
    r.dialogs.script(c.choice);
    runLogin(r.client);
    const auto shown = r.dialogs.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, c.box);
    EXPECT_EQ(shown[0].title, "登录提示");
    EXPECT_EQ(r.ui.statusText(Window::Login, kLoginStatusBar, 0), c.box.substr(0, c.box.find('\n')));
    EXPECT_TRUE(r.ui.enabled(Window::Login, kLoginButton));
    EXPECT_EQ(r.browser.opened().size(), c.registration ? 1u : 0u);
  }
}

TEST_F(ClientLoginTest, NoAnswerFromAStoppedServiceSaysSo) {
  SandboxProcess stopped({}, true);
  ASSERT_NE(stopped.port(), 0);
  SandboxClientRig r(stopped.port());
  stopped.stop();
  r.typeAccount("demo", "demo123");
  runLogin(r.client);
  const auto shown = r.dialogs.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "无法连接服务器，请检查网络后重试");
  EXPECT_EQ(shown[0].title, "登录提示");
  EXPECT_EQ(r.ui.statusText(Window::Login, kLoginStatusBar, 0), "无法连接服务器，请检查网络后重试");
  EXPECT_TRUE(r.ui.enabled(Window::Login, kLoginButton));
  EXPECT_TRUE(r.records.session.load()->token.empty());
}

TEST_F(ClientLoginTest, FailingAccountKeepsTheLoginWindowAndTheToken) {
  api().addFaults(R"({"endpoint":"account","status":500})");
  SandboxClientRig& r = *rig;
  r.typeAccount("demo", "demo123");
  runLogin(r.client);
  const auto shown = r.dialogs.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "获取用户资料失败");
  EXPECT_TRUE(r.ui.isShown(Window::Login));
  EXPECT_TRUE(r.ui.enabled(Window::Login, kLoginButton));
  EXPECT_FALSE(r.ui.isLoaded(Window::Main));
  EXPECT_FALSE(r.records.session.load()->token.empty());
}

TEST_F(ClientLoginTest, RefreshReplacesTheTokenUnlessTheAnswerHasNone) {
  SandboxClientRig& r = *rig;
  const std::string first = api().login();
  r.records.session.update([&](ApiSession& s) {
    s.token = first;
    s.authHeader = authHeaderFor(first);
  });
  api().addFaults(R"({"endpoint":"token","code":0,"msg":"ok"})");
  refreshToken(r.client.apiTransport, r.records.session);
  EXPECT_EQ(r.records.session.load()->token, first);

  refreshToken(r.client.apiTransport, r.records.session);
  const auto session = r.records.session.load();
  EXPECT_NE(session->token, first);
  EXPECT_EQ(session->authHeader, authHeaderFor(session->token));
  EXPECT_EQ(api().call("GET", "/account", "", session->token).code(), 0);
}

// The version check.

using ClientVersionTest = ClientFlowTest;

using RulesEdits = std::vector<std::pair<std::string, std::string>>;

// A sandbox whose rules differ from the shipped ones by the edits (text replacements).
std::unique_ptr<SandboxProcess> sandboxWithRules(const RulesEdits& edits) {
  const std::filesystem::path shipped = defaultRulesPath();
  std::string rules = readFile(shipped);
  for (const auto& [from, to] : edits) {
    const size_t at = rules.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at == std::string::npos) return nullptr;
    rules.replace(at, from.size(), to);
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("pv-client-rules-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  for (const char* picture : {"contact-qq.png", "contact-wechat.png"}) {
    std::filesystem::copy_file(shipped.parent_path() / picture, folder / picture,
                               std::filesystem::copy_options::overwrite_existing);
  }
  std::ofstream(folder / "rules.json", std::ios::binary) << rules;
  auto sandbox = std::make_unique<SandboxProcess>(
      std::vector<std::string>{"--rules", (folder / "rules.json").string()}, true);
  std::filesystem::remove_all(folder);
  return sandbox;
}

const std::string kVersion202 = R"({"id": 3, "version": "2.0.2", "forbidden": false})";
const std::string kLatest202 = R"("latest": "2.0.2")";

TEST_F(ClientVersionTest, SameVersionEnablesTheLoginSilentlyAndAnswersTheMenu) {
  SandboxClientRig& r = *rig;
  runVersionCheck(r.client, VersionCheckBy::Program);
  EXPECT_TRUE(r.ui.enabled(Window::Login, kLoginButton));
  EXPECT_EQ(r.dialogs.count(), 0u);
  runVersionCheck(r.client, VersionCheckBy::Operator);
  const auto shown = r.dialogs.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "当前已经是最新版，无需更新！");
  EXPECT_TRUE(r.windows.menuItems().empty());
  EXPECT_EQ(r.records.update.load()->downloadUrl, "https://www.parcelvane.com/download");
}

TEST_F(ClientVersionTest, OtherLatestVersionsAddTheMenuItemOnce) {
  const std::pair<const char*, RulesEdits> cases[] = {
      {"2.0.3",
       {{kVersion202, kVersion202 + R"(, {"id": 4, "version": "2.0.3", "forbidden": false})"},
        {kLatest202, R"("latest": "2.0.3")"}}},
      {"2.0.1", {{kLatest202, R"("latest": "2.0.1")"}}},  // older counts as well
  };
  for (const auto& [latest, edits] : cases) {
    SCOPED_TRACE(latest);
    auto sandbox = sandboxWithRules(edits);
    ASSERT_TRUE(sandbox && sandbox->port() != 0);
    SandboxClientRig r(sandbox->port());
    r.dialogs.script(DialogAnswer::Yes);
    runVersionCheck(r.client, VersionCheckBy::Program);
    runVersionCheck(r.client, VersionCheckBy::Operator);
    EXPECT_TRUE(r.ui.enabled(Window::Login, kLoginButton));
    ASSERT_EQ(r.windows.menuItems().size(), 1u);
    EXPECT_EQ(r.windows.menuItems()[0].caption, "下载新版（v" + std::string(latest) + "）");
    ASSERT_EQ(r.dialogs.count(), 2u);
    EXPECT_EQ(r.dialogs.shown()[1].text, "检测到新版本v" + std::string(latest) + "，是否前往下载新版？");
    EXPECT_EQ(r.browser.opened(), std::vector<std::string>{"https://www.parcelvane.com/download"});
  }
}

TEST_F(ClientVersionTest, BlockedAndUnknownVersionsKeepTheLoginDisabled) {
  const std::pair<const char*, RulesEdits> cases[] = {
      {"forbidden", {{kVersion202, R"({"id": 3, "version": "2.0.2", "forbidden": true})"}}},
      {"unknown to the service (id 0)",
       {{kVersion202, R"({"id": 3, "version": "2.0.9", "forbidden": false})"},
        {kLatest202, R"("latest": "2.0.9")"}}},
  };
  for (const auto& [name, edits] : cases) {
    SCOPED_TRACE(name);
    auto sandbox = sandboxWithRules(edits);
    ASSERT_TRUE(sandbox && sandbox->port() != 0);
    SandboxClientRig r(sandbox->port());
    runVersionCheck(r.client, VersionCheckBy::Program);
    EXPECT_FALSE(r.ui.enabled(Window::Login, kLoginButton));
    ASSERT_EQ(r.dialogs.count(), 1u);
    EXPECT_EQ(r.dialogs.shown()[0].text, "当前版本停止支持，是否前往下载新版？");
  }
}

TEST_F(ClientVersionTest, NoDownloadAddressFallsBackToTheWebSite) {
  auto sandbox =
      sandboxWithRules({{R"("download": "https://www.parcelvane.com/download")", R"("download": "")"}});
  ASSERT_TRUE(sandbox && sandbox->port() != 0);
  SandboxClientRig r(sandbox->port());
  runVersionCheck(r.client, VersionCheckBy::Program);
  EXPECT_EQ(r.records.update.load()->downloadUrl, std::string(kWebSite));
}

TEST_F(ClientVersionTest, AGarbledAnswerAsksToRetryAndTheRetryPasses) {
  api().addFaults(R"({"endpoint":"versions","body":"garbage"})");
  SandboxClientRig& r = *rig;
  r.dialogs.script(DialogAnswer::Yes);
  runVersionCheck(r.client, VersionCheckBy::Program);
  EXPECT_FALSE(r.ui.enabled(Window::Login, kLoginButton));
  ASSERT_EQ(r.dialogs.count(), 1u);
  EXPECT_EQ(r.dialogs.shown()[0].text, "网络错误，检测版本失败，是否重新检测？");
  EXPECT_EQ(r.workers.runAll(), 1u);
  EXPECT_TRUE(r.ui.enabled(Window::Login, kLoginButton));
  EXPECT_EQ(r.dialogs.count(), 1u);
}

// The global information.

using ClientGlobalInfoTest = ClientFlowTest;

TEST_F(ClientGlobalInfoTest, ReplacesTheContactWithTheServicesAndItsPictures) {
  SandboxClientRig& r = *rig;
  fetchGlobalInfo(r.client.webTransport, r.records);
  const auto contact = r.records.contact.load();
  EXPECT_EQ(contact->qqNumber, "800012345");
  EXPECT_EQ(contact->qqLink, "http://im.parcelvane.com/qq?uin=800012345");
  EXPECT_EQ(contact->wechatId, "parcelvane_kf");
  const std::filesystem::path folder = std::filesystem::path(defaultRulesPath()).parent_path();
  EXPECT_EQ(contact->qqQrImage, readFile(folder / "contact-qq.png"));
  EXPECT_EQ(contact->wechatQrImage, readFile(folder / "contact-wechat.png"));

  // A main window opened now shows it.
  ASSERT_TRUE(r.ui.load(Window::Main, true));
  EXPECT_EQ(r.ui.text(Window::Main, kQqLabel), "800012345");
  EXPECT_EQ(r.ui.linkTarget(Window::Main, kContactLink), "http://im.parcelvane.com/qq?uin=800012345");
  EXPECT_EQ(r.ui.picture(Window::Main, kWechatPicture), contact->wechatQrImage);
}

TEST_F(ClientGlobalInfoTest, AFailedPictureDownloadKeepsTheBuiltInPicture) {
  for (const char* fault : {R"({"endpoint":"picture","body":"disconnect"})",
                            R"({"endpoint":"picture","status":500})"}) {
    SCOPED_TRACE(fault);
    api().reset();
    api().addFaults(fault);  // the first picture, the QQ card
    SandboxClientRig r(sharedSandbox().port());
    fetchGlobalInfo(r.client.webTransport, r.records);
    const auto contact = r.records.contact.load();
    EXPECT_EQ(contact->qqQrImage, SandboxClientRig::kBuiltInQq);
    EXPECT_NE(contact->wechatQrImage, SandboxClientRig::kBuiltInWechat);
    EXPECT_EQ(contact->qqNumber, "800012345");
  }
}

TEST_F(ClientGlobalInfoTest, AFailedCallKeepsTheBuiltInContact) {
  api().addFaults(R"({"endpoint":"global","status":503})");
  SandboxClientRig& r = *rig;
  fetchGlobalInfo(r.client.webTransport, r.records);
  const auto contact = r.records.contact.load();
  const ServiceContact builtIn =
      defaultServiceContact(SandboxClientRig::kBuiltInQq, SandboxClientRig::kBuiltInWechat);
  EXPECT_EQ(contact->qqNumber, builtIn.qqNumber);
  EXPECT_EQ(contact->qqLink, builtIn.qqLink);
  EXPECT_EQ(contact->wechatId, builtIn.wechatId);
}

}  // namespace
}  // namespace pv::testing
