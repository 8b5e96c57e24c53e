#pragma once
// Whole-file reads and small file operations by the program's own GBK paths (converted to
// UTF-16 for the system, so Chinese folder names work whatever the ANSI code page).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
bool fileExists(std::string_view gbkPath);

// Creates the folder and the folders above it; true when it exists afterwards.
[[nodiscard]] bool makeFolders(std::string_view gbkPath);

// At most `count` bytes from the start of the file (fewer when it is shorter; empty when it
// cannot be read).
std::string readFileHead(std::string_view gbkPath, size_t count);

// Appends to the file (creating it) and hands the bytes to the system before returning, so
// a crash of the program a moment later loses none of them. False when not all were written.
[[nodiscard]] bool appendFileBytes(std::string_view gbkPath, std::string_view bytes);

// A file's size and last-write time (in the file system's own ticks, only to compare); both
// -1 when it cannot be read.
struct FileStamp {
  int64_t size = -1;
  int64_t written = -1;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp fileStamp(std::string_view gbkPath);

// The files (not folders) directly in a folder: GBK names and their last-write times as
// seconds since 1970; names that have no GBK form are left out.
struct FolderEntry {
  std::string name;
  int64_t writtenSeconds = 0;
};
std::vector<FolderEntry> listFiles(std::string_view gbkFolder);

// "folder\stem.ext", or, when that exists, "folder\stem (2).ext", " (3)"…: a name no
// file has yet. `folder` ends in a separator or is empty.
std::string unusedFileName(std::string_view folder, std::string_view stem, std::string_view extension);

// The GBK text with every character a Windows file name cannot hold (\\ / : * ? " < > | and
// control characters) replaced by "_"; double-byte characters are kept whole.
std::string safeFileName(std::string_view gbkName);

// Writes a new file named after `stem` and `extension` (see unusedFileName) into the first
// of `folders` that takes it (created when missing; an empty one is passed over). The path
// written, or empty when none took it.
std::string writeNewFile(const std::vector<std::string>& folders, std::string_view stem, std::string_view extension,
                         std::string_view bytes);

}  // namespace pv
