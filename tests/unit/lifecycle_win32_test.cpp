// Start-up's Win32 operations against the real system (cross-built unit tests, run under
// Wine): the top-level window search, shortcuts, the hidden script file, folder deletion
// and the command-line split.
#ifdef _WIN32

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/process/command_line.h"
#include "platform/win32/com_apartment.h"
#include "platform/win32/lifecycle/shell.h"
#include "platform/win32/lifecycle/top_level_windows.h"
#include "platform/win32/wide_text.h"

namespace pv {
namespace {

using Microsoft::WRL::ComPtr;

const std::string kMark = "Parcelvane（parcelvane.com）";

// A scratch folder of this test, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = fromWide(temp) + "pv-lifecycle-" +
            std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    CreateDirectoryW(toWide(path_).c_str(), nullptr);
  }
  ~ScratchFolder() { (void)deleteFolderTree(path_); }  // one left behind harms no case
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "\\" + std::string(name); }

 private:
  std::string path_;
};

// Hidden top-level windows of classes named for this process, so windows of programs that
// share the Wine desktop never match.
class TestWindows {
 public:
  TestWindows() : tag_(std::to_string(GetCurrentProcessId())) {}
  ~TestWindows() {
    for (HWND w : windows_) DestroyWindow(w);
    for (const std::wstring& c : classes_) UnregisterClassW(c.c_str(), GetModuleHandleW(nullptr));
  }
  const std::string& tag() const { return tag_; }
  HWND create(std::string_view classPrefix, std::string_view title) {
    const std::wstring cls = toWide(std::string(classPrefix) + "." + tag_);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls.c_str();
    if (RegisterClassExW(&wc)) classes_.push_back(cls);
    HWND w = CreateWindowExW(0, cls.c_str(), toWide(title).c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    windows_.push_back(w);
    return w;
  }

 private:
  std::string tag_;
  std::vector<HWND> windows_;
  std::vector<std::wstring> classes_;
};

TEST(TopLevelWindows, ClassAndTitleFiltersPickOnlyOurMarkedWindows) {
  TestWindows windows;
  HWND login = windows.create("Ours", "登录 - " + kMark + "v2.0.2");
  HWND result = windows.create("Ours", "筛单结果");
  HWND browser = windows.create("Browser", kMark + " - 网页浏览器");
  HWND main = windows.create("OURS", kMark + "客户端v2.0.2");
  ASSERT_TRUE(login && result && browser && main);

  std::vector<HWND> found;
  HWND first = findTopLevelWindows("ours." + windows.tag(), kMark, true, found);
  // Z order: the window made last is on top.
  EXPECT_EQ(found, (std::vector<HWND>{main, login}));
  EXPECT_EQ(first, main);

  found.clear();
  findTopLevelWindows("." + windows.tag(), "PARCELVANE（PARCELVANE.COM）", true, found);
  EXPECT_EQ(found, (std::vector<HWND>{main, browser, login}));

  found.clear();
  EXPECT_EQ(findTopLevelWindows("Ours." + windows.tag(), kMark, false, found), main);
  EXPECT_TRUE(found.empty());

  EXPECT_EQ(findTopLevelWindows("Nobody." + windows.tag(), kMark, true, found), nullptr);
  EXPECT_TRUE(found.empty());
}

TEST(Shortcuts, ShellLinkCarriesTargetArgumentsAndShowCommand) {
  ComApartment com;
  ScratchFolder scratch;
  const std::string target = scratch.file("目标 程序.exe");
  ASSERT_TRUE(writeHiddenFile(target, "MZ"));
  ASSERT_TRUE(ensureFolder(scratch.file("Parcelvane")));
  EXPECT_TRUE(ensureFolder(scratch.file("Parcelvane")));  // already there: fine

  const std::string link = scratch.file("Parcelvane\\卸载 Parcelvane.lnk");
  ASSERT_TRUE(createShortcut({link, target, "unistall"}));
  ASSERT_TRUE(createShortcut({link, target, "unistall"}));  // replaces the earlier one

  ComPtr<IShellLinkW> read;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&read))));
  ComPtr<IPersistFile> file;
  ASSERT_TRUE(SUCCEEDED(read.As(&file)));
  ASSERT_TRUE(SUCCEEDED(file->Load(toWide(link).c_str(), STGM_READ)));
  wchar_t path[MAX_PATH] = {}, arguments[MAX_PATH] = {};
  int show = 0;
  ASSERT_TRUE(SUCCEEDED(read->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)));
  ASSERT_TRUE(SUCCEEDED(read->GetArguments(arguments, MAX_PATH)));
  ASSERT_TRUE(SUCCEEDED(read->GetShowCmd(&show)));
  EXPECT_EQ(lstrcmpiW(path, toWide(target).c_str()), 0);
  EXPECT_STREQ(arguments, L"unistall");
  // The shell keeps a plain window as "normal": SW_SHOW may read back as SW_SHOWNORMAL.
  EXPECT_TRUE(show == SW_SHOW || show == SW_SHOWNORMAL) << show;

  EXPECT_FALSE(createShortcut({scratch.file("没有\\这个\\文件夹.lnk"), target, ""}));
}

TEST(HiddenFile, ReplacesAHiddenReadOnlyFileAndStaysHiddenOnly) {
  ScratchFolder scratch;
  const std::string script = scratch.file("tem.vbs");
  ASSERT_TRUE(writeHiddenFile(script, "old text that is longer"));
  SetFileAttributesW(toWide(script).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(writeHiddenFile(script, "  Dim fso\r\n中"));
  // Wine reports every file as archived; what counts is hidden and nothing that blocks.
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;
  EXPECT_EQ(GetFileAttributesW(toWide(script).c_str()) & kept, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

  HANDLE in = CreateFileW(toWide(script).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  char bytes[64] = {};
  DWORD got = 0;
  ReadFile(in, bytes, sizeof(bytes), &got, nullptr);
  CloseHandle(in);
  EXPECT_EQ(std::string(bytes, got), "  Dim fso\r\n\xD6\xD0");  // GBK, nothing of the old text
}

TEST(FolderTree, DeletedWithItsContentsButNeverARoot) {
  ScratchFolder scratch;
  const std::string folder = scratch.file("Parcelvane");
  ASSERT_TRUE(ensureFolder(folder));
  ASSERT_TRUE(ensureFolder(folder + "\\子文件夹"));
  ASSERT_TRUE(writeHiddenFile(folder + "\\子文件夹\\使用 Parcelvane.lnk", "x"));
  EXPECT_TRUE(deleteFolderTree(folder));
  EXPECT_EQ(GetFileAttributesW(toWide(folder).c_str()), INVALID_FILE_ATTRIBUTES);

  for (const char* root : {"", "C:", "C:\\", "\\"}) EXPECT_FALSE(deleteFolderTree(root)) << root;
  EXPECT_NE(GetFileAttributesW(L"C:\\windows"), INVALID_FILE_ATTRIBUTES);

  EXPECT_TRUE(deleteFile(scratch.file("x")) == false);  // nothing there to delete
}

TEST(CommandLine, ArgumentsAfterTheProgramBySystemRules) {
  EXPECT_EQ(splitCommandLine(L"\"C:\\a b\\p.exe\" unistall \"x y\" 中文"),
            (std::vector<std::string>{"unistall", "x y", "中文"}));
  EXPECT_EQ(splitCommandLine(L"p.exe"), std::vector<std::string>{});
}

// Start-up splits only lines that may hold the word: every line whose split holds it must
// be one of them.
TEST(CommandLine, EveryLineWhoseSplitHoldsTheWordIsSplit) {
  const wchar_t* lines[] = {
      L"p.exe unistall", L"p.exe unis\"\"tall", L"p.exe \"unis\"tall", L"p.exe \"un\"is\"tall\"",
      L"p.exe u\"\"\"nistall", L"p.exe unis\\\"tall", L"p.exe -x \"a b\" unistall",
  };
  for (const wchar_t* line : lines) {
    if (asksForUninstall(splitCommandLine(line))) {
      EXPECT_TRUE(mayAskForUninstall(fromWide(line))) << fromWide(line);
    }
  }
  EXPECT_TRUE(asksForUninstall(splitCommandLine(L"p.exe unis\"\"tall")));  // the table is not vacuous
}

}  // namespace
}  // namespace pv

#endif  // _WIN32
