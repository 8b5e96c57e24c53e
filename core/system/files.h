#pragma once
// Whole-file reads and small file operations by the program's own GBK paths (converted to
// UTF-16 for the system, so Chinese folder names work whatever the ANSI code page).
#include <cstddef>
#include <string>
#include <string_view>

namespace pv {

// Refused reads: a file this large is no order file, and a 32-bit process could not hold it.
inline constexpr size_t kMaxReadBytes = size_t{1} << 30;

// The whole file, or empty when it is missing, unreadable (held open by another program),
// empty or larger than kMaxReadBytes.
std::string readFileBytes(std::string_view gbkPath);

// Writes (replaces) the file; false when it could not be written completely.
[[nodiscard]] bool writeFileBytes(std::string_view gbkPath, std::string_view bytes);

// Removes a file; true when it is gone afterwards (also when there was none).
[[nodiscard]] bool removeFile(std::string_view gbkPath);

bool isDirectory(std::string_view gbkPath);

}  // namespace pv
