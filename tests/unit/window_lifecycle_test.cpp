// The login and main windows' opening and closing: every step once, in its order, however
// often the windows come and go.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/client/login_window.h"
#include "core/client/main_window.h"
#include "core/client/window_lifecycle.h"
#include "core/product/product.h"
#include "tests/unit/api_fakes.h"

namespace pv::testing {
namespace {

// One step as the windows saw it: what happened, and whether the login window's title
// carried the version by then.
using Step = std::pair<std::string, bool>;

class StepLog {
 public:
  explicit StepLog(const Ui& ui) : ui_(ui) {}
  void note(const std::string& what) {
    const bool versioned = ui_.title(Window::Login).ends_with(kProductVersion);
    // Reading or writing several values is one step.
    if (!steps_.empty() && steps_.back().first == what) return;
    steps_.emplace_back(what, versioned);
    if (onStep) onStep(what);
  }
  std::function<void(const std::string&)> onStep;
  std::vector<Step> take() { return std::exchange(steps_, {}); }

 private:
  const Ui& ui_;
  std::vector<Step> steps_;
};

class LoggingExtras final : public WindowExtras {
 public:
  LoggingExtras(const Ui& ui, StepLog& log) : inner_(ui), log_(log) {}
  bool appendMenuItem(Window w, int id, std::string_view caption) override {
    return inner_.appendMenuItem(w, id, caption);
  }
  void onMenuCommand(Window w, int id, std::function<void()> action) override {
    inner_.onMenuCommand(w, id, std::move(action));
  }
  bool showDropDown(Window w, std::string_view combo) override { return inner_.showDropDown(w, combo); }
  bool navigate(Window w, std::string_view browser, std::string_view address) override {
    log_.note("page " + std::string(address));
    return inner_.navigate(w, browser, address);
  }
  bool prepareWebViews() override {
    log_.note("web views");
    return inner_.prepareWebViews();
  }
  bool attachMenu(Window w) override {
    log_.note("menu");
    return inner_.attachMenu(w);
  }

 private:
  RecordingWindowExtras inner_;
  StepLog& log_;
};

class LoggingStore final : public SettingsStore {
 public:
  explicit LoggingStore(StepLog& log) : log_(log) {}
  std::string read(std::string_view file, std::string_view section, std::string_view key) override {
    log_.note("restore " + std::string(file));
    return inner_.read(file, section, key);
  }
  bool write(std::string_view file, std::string_view section, std::string_view key,
             std::string_view value) override {
    log_.note("save " + std::string(file));
    return inner_.write(file, section, key, value);
  }

 private:
  testing_settings::MapSettingsStore inner_;
  StepLog& log_;
};

class WindowLifecycleTest : public ::testing::Test, protected ClientFakes {
 protected:
  void SetUp() override {
    records.session.update([](ApiSession& s) {
      s.baseUrl = std::string(kFakeBaseUrl);
      s.userName = "demo";
    });
    ASSERT_TRUE(registerWindowLifecycleEvents(client, settings));
  }

  StepLog log{ui};
  LoggingExtras windows{ui, log};
  LoggingStore store{log};
  testing_settings::ReversingProtector protector;
  SettingsPorts settings{ui, store, protector};
  ScriptedTransport api;
  ScriptedTransport web;
  ClientContext client{ui, dialogs, browser, windows, clock, workers, api, web, records};
};

TEST_F(WindowLifecycleTest, LoginWindowOpensInItsOrderEachTimeAndSavesWhenItGoes) {
  const std::vector<Step> opening = {{"menu", true},  // the title got its version before
                                     {"restore parcelvane.ini", true}};
  // Once the window is on the screen; the rendering mode still comes before the page.
  const std::vector<Step> shown = {{"web views", true}, {"page " + productPage(), true}};
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(ui.load(Window::Login, true));
    EXPECT_EQ(log.take(), opening);
    loadLoginWebPage(client);
    EXPECT_EQ(log.take(), shown);
    EXPECT_EQ(ui.title(Window::Login),
              windowDef(Window::Login).title + std::string(kProductVersion));
    ASSERT_TRUE(ui.destroy(Window::Login));
    const std::vector<Step> closing = {{"save parcelvane.ini", true}};
    EXPECT_EQ(log.take(), closing);
  }
}

TEST_F(WindowLifecycleTest, MainWindowBringsItsCompanionsAndRestoresBeforeTheSessionsPart) {
  struct Seen {
    bool companionsHidden = false;
    bool titled = false;
    std::string greeting;
  };
  std::vector<Seen> atRestore;
  std::vector<bool> companionsAtSave;
  log.onStep = [&](const std::string& what) {
    if (what == "restore parcelvane_settings.ini") {
      atRestore.push_back({ui.isLoaded(Window::QuickTip) && ui.isLoaded(Window::Result) &&
                               !ui.isShown(Window::QuickTip) && !ui.isShown(Window::Result),
                           ui.title(Window::Main).ends_with(kProductVersion),
                           ui.text(Window::Main, kGreetingLabel)});
    } else if (what == "save parcelvane_settings.ini") {
      companionsAtSave.push_back(ui.isLoaded(Window::QuickTip) && ui.isLoaded(Window::Result));
    }
  };
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    atRestore.clear();
    companionsAtSave.clear();
    ASSERT_TRUE(ui.load(Window::Main, true));
    ASSERT_EQ(atRestore.size(), 1u);
    EXPECT_TRUE(atRestore[0].companionsHidden);
    EXPECT_FALSE(atRestore[0].titled);
    EXPECT_EQ(atRestore[0].greeting.find("demo"), std::string::npos);
    EXPECT_EQ(ui.title(Window::Main), windowDef(Window::Main).title + std::string(kProductVersion));
    EXPECT_EQ(ui.text(Window::Main, kGreetingLabel), "欢迎您，demo");
    EXPECT_EQ(workers.pending(), 1u);  // the project list, once
    workers.runAll();

    ASSERT_TRUE(ui.destroy(Window::Main));
    EXPECT_EQ(companionsAtSave, std::vector<bool>{true});
    EXPECT_FALSE(ui.isLoaded(Window::QuickTip));
    EXPECT_FALSE(ui.isLoaded(Window::Result));
    log.take();
  }
}

}  // namespace
}  // namespace pv::testing
