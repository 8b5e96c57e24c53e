#include "core/system/files.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

std::filesystem::path systemPath(std::string_view gbkPath) {
  if (gbkPath.empty()) return {};
  const std::u16string wide = gbkToUtf16(gbkPath);
  if (wide.empty()) return {};
  return std::filesystem::path(wide);
}

}  // namespace

std::string readFileBytes(std::string_view gbkPath) {
  const std::filesystem::path path = systemPath(gbkPath);
  if (path.empty()) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0 || static_cast<unsigned long long>(size) > kMaxReadBytes) return {};
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), size);
  if (in.gcount() != size) return {};
  return bytes;
}

bool writeFileBytes(std::string_view gbkPath, std::string_view bytes) {
  const std::filesystem::path path = systemPath(gbkPath);
  if (path.empty()) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

bool removeFile(std::string_view gbkPath) {
  const std::filesystem::path path = systemPath(gbkPath);
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::remove(path, error);
  return !std::filesystem::exists(path, error);
}

bool fileExists(std::string_view gbkPath) {
  const std::filesystem::path path = systemPath(gbkPath);
  std::error_code error;
  return !path.empty() && std::filesystem::exists(path, error);
}

bool makeFolders(std::string_view gbkPath) {
  const std::filesystem::path path = systemPath(gbkPath);
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

std::string readFileHead(std::string_view gbkPath, size_t count) {
  const std::filesystem::path path = systemPath(gbkPath);
  if (path.empty()) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string bytes(count, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

bool appendFileBytes(std::string_view gbkPath, std::string_view bytes) {
  const std::filesystem::path path = systemPath(gbkPath);
  if (path.empty()) return false;
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  out.close();
  return static_cast<bool>(out);
}

FileStamp fileStamp(std::string_view gbkPath) {
  const std::filesystem::path path = systemPath(gbkPath);
  std::error_code error;
  FileStamp stamp;
  if (path.empty()) return stamp;
  const auto size = std::filesystem::file_size(path, error);
  if (error) return stamp;
  const auto written = std::filesystem::last_write_time(path, error);
  if (error) return stamp;
  stamp.size = static_cast<int64_t>(size);
  stamp.written = static_cast<int64_t>(written.time_since_epoch().count());
  return stamp;
}

std::vector<FolderEntry> listFiles(std::string_view gbkFolder) {
  std::vector<FolderEntry> entries;
  const std::filesystem::path folder = systemPath(gbkFolder);
  std::error_code error;
  if (folder.empty() || !std::filesystem::is_directory(folder, error)) return entries;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    const std::string name = utf16ToGbk(it->path().filename().u16string());
    if (name.empty()) continue;
    const auto written = std::filesystem::last_write_time(it->path(), error);
    if (error) {
      error.clear();
      continue;
    }
    const auto since = std::chrono::file_clock::to_sys(written).time_since_epoch();
    entries.push_back({name, std::chrono::duration_cast<std::chrono::seconds>(since).count()});
  }
  return entries;
}

std::string unusedFileName(std::string_view folder, std::string_view stem, std::string_view extension) {
  std::string name = std::string(folder) + std::string(stem) + std::string(extension);
  for (int n = 2; fileExists(name) && n < 10000; ++n) {
    name = std::string(folder) + std::string(stem) + " (" + std::to_string(n) + ")" + std::string(extension);
  }
  return name;
}

std::string safeFileName(std::string_view gbkName) {
  std::string name;
  for (size_t i = 0; i < gbkName.size(); ++i) {
    const auto c = static_cast<unsigned char>(gbkName[i]);
    if (isGbkLeadByte(c) && i + 1 < gbkName.size()) {
      name += gbkName.substr(i, 2);
      ++i;
    } else if (c < 0x20 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) {
      name += '_';
    } else {
      name += static_cast<char>(c);
    }
  }
  return name;
}

std::string writeNewFile(const std::vector<std::string>& folders, std::string_view stem, std::string_view extension,
                         std::string_view bytes) {
  for (const std::string& folder : folders) {
    if (folder.empty() || !makeFolders(folder)) continue;
    const std::string path = unusedFileName(folder, stem, extension);
    if (writeFileBytes(path, bytes)) return path;
    (void)removeFile(path);  // a half-written file is worse than none
  }
  return {};
}

bool isDirectory(std::string_view gbkPath) {
  const std::filesystem::path path = systemPath(gbkPath);
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace pv
