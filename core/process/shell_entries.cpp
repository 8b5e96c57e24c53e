#include "core/process/shell_entries.h"

#include "core/process/command_line.h"
#include "core/product/product.h"
#include "core/text/text.h"

namespace pv {

namespace {

constexpr std::string_view kStartMenuFolderName = "Parcelvane";

// Byte offsets of the backslashes that stand as characters of their own: the trail byte
// of a double-byte character may be 0x5C too, and is not a separator.
std::vector<size_t> separatorOffsets(std::string_view path) {
  std::vector<size_t> offsets;
  for (size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (gbkCharSize(path, i) == 2) {
      ++i;
    } else if (c == '\\') {
      offsets.push_back(i);
    }
  }
  return offsets;
}

std::string withoutTrailingSeparators(std::string_view path) {
  std::vector<size_t> separators = separatorOffsets(path);
  size_t end = path.size();
  while (!separators.empty() && separators.back() + 1 == end) {
    end = separators.back();
    separators.pop_back();
  }
  return std::string(path.substr(0, end));
}

std::string joinPath(std::string_view folder, std::string_view name) {
  return withoutTrailingSeparators(folder) + "\\" + std::string(name);
}

std::string desktopShortcutPath(std::string_view desktopDirectory) {
  return joinPath(desktopDirectory, std::string(kProductName) + std::string(kProductVersion) + ".lnk");
}

std::string startMenuFolderPath(std::string_view programsFolder) {
  return joinPath(programsFolder, kStartMenuFolderName);
}

// The Uninstall list wants the bare number, not the "v" label the titles show.
std::string displayVersion() { return kVersionText; }

bool blank(std::string_view path) { return trimText(path).empty(); }

}  // namespace

ProgramLocation locateProgram(std::string_view modulePath) {
  const std::vector<size_t> separators = separatorOffsets(modulePath);
  if (separators.empty()) return {"", std::string(modulePath)};
  const size_t last = separators.back();
  return {std::string(modulePath.substr(0, last)), std::string(modulePath.substr(last + 1))};
}

std::string programPath(const ProgramLocation& program) {
  return joinPath(program.directory, program.fileName);
}

bool livesOnDesktop(std::string_view desktopDirectory, std::string_view programDirectory) {
  return toLowerAscii(withoutTrailingSeparators(desktopDirectory)) ==
         toLowerAscii(withoutTrailingSeparators(programDirectory));
}

ShellEntries planShellEntries(const ProgramLocation& program, std::string_view desktopDirectory,
                              std::string_view programsFolder) {
  ShellEntries entries;
  const std::string target = programPath(program);
  if (!blank(desktopDirectory) && !livesOnDesktop(desktopDirectory, program.directory)) {
    entries.shortcuts.push_back({desktopShortcutPath(desktopDirectory), target, ""});
  }
  if (!blank(programsFolder)) {
    entries.startMenuFolder = startMenuFolderPath(programsFolder);
    const std::string name(kProductName);
    entries.shortcuts.push_back({joinPath(entries.startMenuFolder, "使用 " + name + ".lnk"), target, ""});
    entries.shortcuts.push_back({joinPath(entries.startMenuFolder, "卸载 " + name + ".lnk"), target,
                                 std::string(kUninstallArgument)});
  }
  // Quoted: the system runs this text as a command line, and an unquoted path with a space
  // ("C:\Program Files\...") would first be tried as "C:\Program.exe".
  entries.uninstallValues = {
      {"DisplayName", std::string(kProductName)},
      {"UninstallString", "\"" + target + "\" " + std::string(kUninstallArgument)},
      {"DisplayIcon", target},
      {"DisplayVersion", displayVersion()},
  };
  return entries;
}

UninstallPlan planUninstall(std::string_view desktopDirectory, std::string_view programsFolder) {
  UninstallPlan plan;
  if (!blank(desktopDirectory)) plan.files.push_back(desktopShortcutPath(desktopDirectory));
  if (!blank(programsFolder)) {
    std::string folder = startMenuFolderPath(programsFolder);
    if (isDeletableFolder(folder)) plan.folders.push_back(std::move(folder));
  }
  return plan;
}

bool isDeletableFolder(std::string_view path) {
  const std::string trimmed = withoutTrailingSeparators(trimText(path));
  if (trimmed.empty()) return false;
  if (trimmed.size() == 2 && trimmed[1] == ':') return false;  // "C:"
  if (startsWith(trimmed, "\\\\")) {
    // "\\server" and "\\server\share" are roots; a folder needs a name below them.
    return separatorOffsets(trimmed).size() > 3;
  }
  return true;
}

std::string selfDeleteScriptPath(std::string_view directory) {
  return joinPath(directory, kSelfDeleteScriptName);
}

std::string selfDeleteScript(std::string_view directory, std::string_view exeFileName) {
  const std::string exePath = joinPath(directory, exeFileName);
  const std::string scriptPath = selfDeleteScriptPath(directory);
  return joinTexts({"  Dim fso",
                    "  Set fso = CreateObject(\"Scripting.FileSystemObject\")",
                    "  Wscript.Sleep(1000)",
                    "  fso.DeleteFile(\"" + exePath + "\")",
                    "  fso.DeleteFile(\"" + scriptPath + "\")"},
                   "\r\n");
}

}  // namespace pv
