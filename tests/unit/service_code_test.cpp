// The reaction to a screening answer's code, and the restart after an ended login.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/process/restart.h"
#include "core/product/product.h"
#include "core/screening/service_code.h"
#include "tests/unit/screening_fakes.h"

namespace pv::testing {
namespace {

TEST(RestartProgram, WritesTheScriptStartsItAndEnds) {
  for (const auto& [given, waited] : std::vector<std::pair<int, int>>{{0, 2}, {-3, 2}, {5, 5}}) {
    FakeRestartHost host;
    EXPECT_EQ(restartProgram(host, given), RestartOutcome::Ended);
    ASSERT_EQ(host.written.size(), 1u);
    EXPECT_EQ(host.written[0].first, "C:\\Program Files\\Parcelvane\\Restart.bat");
    EXPECT_EQ(host.written[0].second, "@echo off \r\n@ping 127.0.0.1 -n " + std::to_string(waited) +
                                          " >nul\r\nstart \"\" \"C:\\PROGRA~1\\PARCEL~1\\PARCEL~1.EXE\"\r\n"
                                          "del Restart.bat");
    EXPECT_EQ(host.started, std::vector<std::string>{"C:\\Program Files\\Parcelvane\\Restart.bat"});
    EXPECT_EQ(host.ended, 0);
  }
}

TEST(RestartProgram, WhatCannotBeDoneLeavesTheProgramRunning) {
  struct Case {
    const char* name;
    bool exists, writable, startable;
    RestartOutcome outcome;
  };
  const Case cases[] = {
      {"program missing", false, true, true, RestartOutcome::NoProgram},
      {"folder refuses the script", true, false, true, RestartOutcome::Failed},
      {"script does not start", true, true, false, RestartOutcome::Failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRestartHost host;
    host.exists = c.exists;
    host.writable = c.writable;
    host.startable = c.startable;
    EXPECT_EQ(restartProgram(host), c.outcome);
    EXPECT_EQ(host.ended, -1);
  }
}

struct CodeRig {
  RecordingDialogs dialogs;
  RecordingBrowser browser;
  FakeRestartHost restart;
  ServiceCodeReactions reactions{dialogs, browser, restart};
};

TEST(CheckServiceCode, OtherCodesGoOnSilently) {
  for (int code : {0, 1, 20000, 20100, 20700, 20702, 40003, 50000, -1}) {
    CodeRig rig;
    EXPECT_EQ(checkServiceCode(rig.reactions, code, "x"), 1) << code;
    EXPECT_EQ(rig.dialogs.count(), 0u) << code;
    EXPECT_EQ(rig.restart.ended, -1) << code;
  }
}

TEST(CheckServiceCode, AnEndedLoginRestartsTheProgram) {
  for (int code : {20001, 20002, 20099}) {
    CodeRig rig;
    EXPECT_EQ(checkServiceCode(rig.reactions, code, "登录已过期"), 0);
    const std::vector<DialogMessage> shown = rig.dialogs.shown();
    ASSERT_EQ(shown.size(), 1u) << code;
    EXPECT_EQ(shown[0].text, "登录已过期\r\n请重新登录");
    EXPECT_EQ(shown[0].title, "筛单提示");
    EXPECT_EQ(shown[0].buttons, DialogButtons::Ok);
    EXPECT_FALSE(shown[0].owner.has_value());
    EXPECT_EQ(rig.restart.ended, 0);
  }
}

TEST(CheckServiceCode, ARestartThatFailsSaysToStartAgain) {
  CodeRig rig;
  rig.restart.writable = false;
  EXPECT_EQ(checkServiceCode(rig.reactions, 20002, "登录已过期"), 0);
  const std::vector<DialogMessage> shown = rig.dialogs.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[1].text.find("重新启动"), std::string::npos) << shown[1].text;
  EXPECT_EQ(shown[1].title, "筛单提示");
  EXPECT_EQ(rig.restart.ended, -1);
}

TEST(CheckServiceCode, AnUnsupportedVersionOffersTheDownload) {
  for (DialogAnswer answer : {DialogAnswer::Yes, DialogAnswer::No}) {
    CodeRig rig;
    rig.dialogs.script(answer);
    EXPECT_EQ(checkServiceCode(rig.reactions, 20701, "ignored"), 0);
    const std::vector<DialogMessage> shown = rig.dialogs.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "当前版本停止支持，是否前往下载新版？");
    EXPECT_EQ(shown[0].buttons, DialogButtons::YesNo);
    EXPECT_EQ(rig.browser.opened(),
              answer == DialogAnswer::Yes ? std::vector<std::string>{std::string(kWebSite)} : std::vector<std::string>{});
    EXPECT_EQ(rig.restart.ended, -1);
  }
}

}  // namespace
}  // namespace pv::testing
