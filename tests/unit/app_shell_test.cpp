// The start-up's portable decisions: the uninstall word, which windows count as an earlier
// copy, the installation entries and what the uninstall removes, the self-deletion script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/process/command_line.h"
#include "core/process/process_state.h"
#include "core/process/shell_entries.h"
#include "core/process/window_filter.h"

namespace pv {
namespace {

// "誠" is D5 5C in GBK: its trail byte is a backslash that separates nothing.
const std::string kBackslashTrail = "\xD5\x5C";

TEST(UninstallArgument, OnlyTheExactWordAnywhereAmongTheArguments) {
  struct Case {
    std::vector<std::string> args;
    bool want;
  };
  const Case cases[] = {
      {{"unistall"}, true},
      {{"-x", "C:\\a b", "unistall"}, true},
      {{"unistall", "unistall"}, true},
      {{}, false},
      {{"Unistall"}, false},
      {{"UNISTALL"}, false},
      {{"uninstall"}, false},
      {{"unistall "}, false},
      {{"/unistall"}, false},
      {{"unistal"}, false},
      {{"\"unistall\""}, false},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += "[" + a + "]";
    EXPECT_EQ(asksForUninstall(c.args), c.want) << shown;
  }
}

TEST(UninstallArgument, OnlyALineHoldingTheWordNeedsSplitting) {
  struct Case {
    std::string line;
    bool want;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\p.exe\"", false},
      {"p.exe -x \"C:\\a b\"", false},
      {"p.exe Unistall uninstall", false},
      {"p.exe unistall", true},
      {"\"C:\\unistall\\p.exe\"", true},  // in the path: the split decides
      {"p.exe unis\"\"tall", true},           // the split drops the quotes
      {"p.exe \"unis\"tall", true},
      {"p.exe " + kBackslashTrail + "unistall", true},
  };
  for (const Case& c : cases) EXPECT_EQ(mayAskForUninstall(c.line), c.want) << c.line;
}

TEST(WindowFilters, ClassAndTitleAreCaseBlindSubstrings) {
  const std::string mark = "Parcelvane（parcelvane.com）";
  struct Case {
    const char* name;
    std::string classFilter, titleFilter, className, title;
    bool want;
  };
  const Case cases[] = {
      {"our login window", "parcelvane.window", mark, "Parcelvane.Window", "登录 - " + mark + "v2.0.2", true},
      {"our main window", "parcelvane.window", mark, "Parcelvane.Window", mark + "客户端v2.0.2", true},
      {"a browser tab with the mark", "parcelvane.window", mark, "BrowserFrame",
       mark + " - 网页浏览器", false},
      {"our class without the mark", "parcelvane.window", mark, "Parcelvane.Window",
       "Parcelvane - 信息提示", false},
      {"letter case ignored", "PARCELVANE.WINDOW", mark, "parcelvane.window",
       "PARCELVANE（PARCELVANE.COM）客户端", true},
      {"title filter alone takes any class", "", mark, "BrowserFrame", "x " + mark, true},
      {"no filter takes every window", "", "", "", "", true},
      {"unreadable title", "", mark, "Parcelvane.Window", "", false},
      {"full-width parentheses are part of the mark", "", mark, "Parcelvane.Window",
       "Parcelvane(parcelvane.com)", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(windowPassesFilters(c.classFilter, c.titleFilter, c.className, c.title), c.want)
        << c.name;
  }
}

TEST(ProgramLocation, SplitsAtTheLastRealBackslash) {
  struct Case {
    std::string path, directory, file;
  };
  const Case cases[] = {
      {"C:\\tools\\parcelvane.exe", "C:\\tools", "parcelvane.exe"},
      {"C:\\parcelvane.exe", "C:", "parcelvane.exe"},
      {"C:\\软件\\" + kBackslashTrail + "\\p.exe", "C:\\软件\\" + kBackslashTrail, "p.exe"},
      {"C:\\a\\" + kBackslashTrail + ".exe", "C:\\a", kBackslashTrail + ".exe"},
      {"parcelvane.exe", "", "parcelvane.exe"},
  };
  for (const Case& c : cases) {
    const ProgramLocation where = locateProgram(c.path);
    EXPECT_EQ(where.directory, c.directory) << c.path;
    EXPECT_EQ(where.fileName, c.file) << c.path;
  }
  EXPECT_EQ(programPath({"C:\\tools", "parcelvane.exe"}), "C:\\tools\\parcelvane.exe");
}

TEST(ShellEntries, ShortcutsAndUninstallValues) {
  const ShellEntries entries =
      planShellEntries({"C:\\Program Files\\Parcelvane", "parcelvane.exe"},
                       "C:\\Users\\王\\Desktop", "C:\\Users\\王\\Start Menu\\Programs");
  const std::string target = "C:\\Program Files\\Parcelvane\\parcelvane.exe";
  EXPECT_EQ(entries.startMenuFolder, "C:\\Users\\王\\Start Menu\\Programs\\Parcelvane");
  ASSERT_EQ(entries.shortcuts.size(), 3u);
  EXPECT_EQ(entries.shortcuts[0].path, "C:\\Users\\王\\Desktop\\Parcelvanev2.0.2.lnk");
  EXPECT_EQ(entries.shortcuts[1].path,
            "C:\\Users\\王\\Start Menu\\Programs\\Parcelvane\\使用 Parcelvane.lnk");
  EXPECT_EQ(entries.shortcuts[2].path,
            "C:\\Users\\王\\Start Menu\\Programs\\Parcelvane\\卸载 Parcelvane.lnk");
  const std::string arguments[] = {"", "", "unistall"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(entries.shortcuts[i].target, target) << i;
    EXPECT_EQ(entries.shortcuts[i].arguments, arguments[i]) << i;
  }
  ASSERT_EQ(entries.uninstallValues.size(), 4u);
  const RegistryText want[] = {
      {"DisplayName", "Parcelvane"},
      {"UninstallString", "\"" + target + "\" unistall"},
      {"DisplayIcon", target},
      {"DisplayVersion", "2.0.2"},
  };
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(entries.uninstallValues[i].name, want[i].name);
    EXPECT_EQ(entries.uninstallValues[i].value, want[i].value) << want[i].name;
  }
}

TEST(ShellEntries, NoDesktopShortcutForAProgramOnTheDesktop) {
  struct Case {
    const char* name;
    std::string desktop, programDirectory;
    bool desktopShortcut;
  };
  const Case cases[] = {
      {"elsewhere", "C:\\Users\\a\\Desktop", "D:\\tools", true},
      {"on the desktop", "C:\\Users\\a\\Desktop", "C:\\Users\\a\\Desktop", false},
      {"desktop path with a trailing backslash", "C:\\Users\\a\\Desktop\\", "C:\\Users\\a\\Desktop", false},
      {"other letter case", "C:\\Users\\A\\Desktop", "c:\\users\\a\\desktop", false},
      {"a folder on the desktop", "C:\\Users\\a\\Desktop", "C:\\Users\\a\\Desktop\\工具", true},
      {"trail byte is not a trailing backslash", "C:\\" + kBackslashTrail, "C:\\" + kBackslashTrail, false},
      {"no desktop known", "", "D:\\tools", false},
  };
  for (const Case& c : cases) {
    const ShellEntries entries = planShellEntries({c.programDirectory, "p.exe"}, c.desktop, "C:\\Programs");
    const bool made = !entries.shortcuts.empty() &&
                      entries.shortcuts[0].path.ends_with("\\Parcelvanev2.0.2.lnk");
    EXPECT_EQ(made, c.desktopShortcut) << c.name;
    // The Start-menu entries and the Uninstall values do not depend on the desktop.
    EXPECT_EQ(entries.shortcuts.size(), c.desktopShortcut ? 3u : 2u) << c.name;
    EXPECT_EQ(entries.uninstallValues.size(), 4u) << c.name;
  }
}

TEST(ShellEntries, AnUnnamedProgramsFolderGetsNoStartMenuEntries) {
  const ShellEntries entries = planShellEntries({"D:\\tools", "p.exe"}, "C:\\Desktop", "  ");
  EXPECT_EQ(entries.startMenuFolder, "");
  ASSERT_EQ(entries.shortcuts.size(), 1u);
  EXPECT_EQ(entries.shortcuts[0].path, "C:\\Desktop\\Parcelvanev2.0.2.lnk");
}

TEST(Uninstall, RemovesTheShortcutsButNeverARoot) {
  const UninstallPlan plan = planUninstall("C:\\Users\\a\\Desktop\\", "C:\\Menu\\Programs");
  EXPECT_EQ(plan.files, std::vector<std::string>{"C:\\Users\\a\\Desktop\\Parcelvanev2.0.2.lnk"});
  EXPECT_EQ(plan.folders, std::vector<std::string>{"C:\\Menu\\Programs\\Parcelvane"});

  // Without the system's folders nothing is planned: "\Parcelvane" would name a folder at
  // the root of the current drive, perhaps the program's own.
  const UninstallPlan none = planUninstall("", "");
  EXPECT_TRUE(none.files.empty());
  EXPECT_TRUE(none.folders.empty());

  struct Case {
    std::string path;
    bool deletable;
  };
  const Case cases[] = {
      {"", false},          {"   ", false},          {"C:", false},
      {"C:\\", false},      {"\\", false},           {"\\\\server", false},
      {"\\\\server\\share", false},                  {"\\\\server\\share\\", false},
      {"\\\\server\\share\\Parcelvane", true},       {"C:\\Menu\\Parcelvane", true},
      {"C:\\" + kBackslashTrail, true},
  };
  for (const Case& c : cases) EXPECT_EQ(isDeletableFolder(c.path), c.deletable) << "[" << c.path << "]";
}

TEST(SelfDeleteScript, FiveLinesThatDeleteTheProgramThenThemselves) {
  EXPECT_EQ(selfDeleteScript("C:\\工具", "parcelvane.exe"),
            "  Dim fso\r\n"
            "  Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\n"
            "  Wscript.Sleep(1000)\r\n"
            "  fso.DeleteFile(\"C:\\工具\\parcelvane.exe\")\r\n"
            "  fso.DeleteFile(\"C:\\工具\\tem.vbs\")");
  EXPECT_EQ(selfDeleteScriptPath("C:\\工具"), "C:\\工具\\tem.vbs");
  // A program at a drive's root: one backslash, not two.
  EXPECT_EQ(selfDeleteScriptPath(locateProgram("C:\\p.exe").directory), "C:\\tem.vbs");
}

TEST(ProcessState, ExitRoutineEmptiesTheRecordsButNotASnapshotInUse) {
  ProcessState state;
  state.records.contact.update([](ServiceContact& c) {
    c.qqNumber = "800012345";
    c.wechatQrImage = std::string(1000, 'x');
  });
  state.summaryList.store({"偏远", "停发"});
  const auto held = state.records.contact.load();  // as a worker still running would
  releaseProcessState(state);
  EXPECT_EQ(state.records.contact.load()->qqNumber, "");
  EXPECT_EQ(state.records.contact.load()->wechatQrImage, "");
  EXPECT_TRUE(state.summaryList.load()->empty());
  EXPECT_EQ(held->qqNumber, "800012345");
  EXPECT_EQ(held->wechatQrImage.size(), 1000u);
}

}  // namespace
}  // namespace pv
