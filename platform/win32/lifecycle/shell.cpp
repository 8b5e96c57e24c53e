#include "platform/win32/lifecycle/shell.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <filesystem>
#include <system_error>

#include "platform/win32/program_folders.h"
#include "platform/win32/unique.h"
#include "platform/win32/wide_text.h"

namespace pv {

using Microsoft::WRL::ComPtr;

std::string runningProgramPath() { return fromWide(runningExecutablePath().wstring()); }

std::vector<std::string> splitCommandLine(std::wstring_view commandLine) {
  const std::wstring line(commandLine);
  int count = 0;
  LPWSTR* raw = CommandLineToArgvW(line.c_str(), &count);
  const UniqueLocalMemory owner(raw);
  std::vector<std::string> arguments;
  for (int i = 1; raw && i < count; ++i) arguments.push_back(fromWide(raw[i]));
  return arguments;
}

std::string programCommandLine() { return fromWide(GetCommandLineW()); }

std::vector<std::string> programArguments() { return splitCommandLine(GetCommandLineW()); }

std::string shellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return fromWide(path);
}

bool ensureFolder(std::string_view path) {
  const std::wstring folder = toWide(path);
  if (folder.empty()) return false;
  if (CreateDirectoryW(folder.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool createShortcut(const ShortcutEntry& shortcut) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) {
    return false;
  }
  if (FAILED(link->SetPath(toWide(shortcut.target).c_str()))) return false;
  if (!shortcut.arguments.empty() && FAILED(link->SetArguments(toWide(shortcut.arguments).c_str()))) {
    return false;
  }
  if (FAILED(link->SetShowCmd(SW_SHOW))) return false;
  ComPtr<IPersistFile> file;
  if (FAILED(link.As(&file))) return false;
  return SUCCEEDED(file->Save(toWide(shortcut.path).c_str(), TRUE));
}

bool writeMachineTexts(std::string_view key, const std::vector<RegistryText>& values) {
  UniqueRegistryKey owner;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, toWide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, owner.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  bool all = true;
  for (const RegistryText& value : values) {
    const std::wstring text = toWide(value.value);
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));  // with the terminator
    all &= RegSetValueExW(owner.get(), toWide(value.name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
  }
  return all;
}

bool deleteFile(std::string_view path) {
  const std::wstring file = toWide(path);
  return !file.empty() && DeleteFileW(file.c_str());
}

bool deleteFolderTree(std::string_view path) {
  if (!isDeletableFolder(path)) return false;
  const std::wstring folder = toWide(path);
  if (folder.empty()) return false;  // not convertible: the check above saw another text
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::path(folder), error);
  return !error;
}

namespace {

// Writes the whole file with these attributes. An earlier file that is hidden or read-only
// would refuse to be replaced, so it is made normal first.
bool writeWholeFile(const std::wstring& file, std::string_view bytes, DWORD attributes) {
  if (file.empty()) return false;
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  const UniqueFile out(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
  if (!out) return false;
  DWORD written = 0;
  return WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

bool writeHiddenFile(std::string_view path, std::string_view bytes) {
  const std::wstring file = toWide(path);
  if (!writeWholeFile(file, bytes, FILE_ATTRIBUTE_HIDDEN)) return false;
  return SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN) != FALSE;
}

bool openWithShell(std::string_view path) {
  const std::wstring file = toWide(path);
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"Open", file.c_str(), nullptr, L"", SW_SHOWNORMAL));
  return result > 32;
}

std::string Win32RestartHost::programPath() { return runningProgramPath(); }

bool Win32RestartHost::fileExists(std::string_view path) {
  const std::wstring file = toWide(path);
  if (file.empty()) return false;
  const DWORD attributes = GetFileAttributesW(file.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string Win32RestartHost::shortPath(std::string_view path) {
  const std::wstring file = toWide(path);
  const DWORD needed = GetShortPathNameW(file.c_str(), nullptr, 0);
  if (needed == 0) return std::string(path);
  std::wstring shortened(needed, L'\0');
  const DWORD got = GetShortPathNameW(file.c_str(), shortened.data(), needed);
  if (got == 0 || got >= needed) return std::string(path);
  shortened.resize(got);
  return fromWide(shortened);
}

bool Win32RestartHost::writeFile(std::string_view path, std::string_view bytes) {
  return writeWholeFile(toWide(path), bytes, FILE_ATTRIBUTE_NORMAL);
}

bool Win32RestartHost::runHidden(std::string_view scriptPath) {
  const std::wstring script = toWide(scriptPath);
  if (script.empty()) return false;
  // The script deletes itself by its bare name: it must run in its own directory.
  const std::wstring directory = std::filesystem::path(script).parent_path().wstring();
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", script.c_str(), nullptr, directory.c_str(), SW_HIDE));
  return result > 32;
}

void Win32RestartHost::endProcess(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace pv
