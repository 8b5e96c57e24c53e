#include "core/system/files.h"

#include <filesystem>
#include <fstream>

#include "core/text/codepage.h"

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

bool isDirectory(std::string_view gbkPath) {
  const std::filesystem::path path = systemPath(gbkPath);
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace pv
