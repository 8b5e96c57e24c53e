#include "core/settings/ini_file.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
  return toLowerAscii(trimBlanks(a)) == toLowerAscii(trimBlanks(b));
}

// The name of a section header line, or nullopt for any other line.
std::optional<std::string_view> sectionName(std::string_view line) {
  line = trimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const int close = findText(line, "]");
  return close > 0 ? line.substr(1, static_cast<size_t>(close) - 2) : line.substr(1);
}

// The key of a key=value line, or nullopt for comments and lines without "=".
std::optional<std::string_view> keyName(std::string_view line) {
  const std::string_view trimmed = trimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') return std::nullopt;
  const int equals = findText(line, "=");
  if (equals < 1) return std::nullopt;
  return line.substr(0, static_cast<size_t>(equals) - 1);
}

std::string_view valueOf(std::string_view line) {
  std::string_view value = trimBlanks(line.substr(static_cast<size_t>(findText(line, "="))));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// True when the text ends in a lead byte standing alone: followed by "]" it would make one
// character with it, and the section header would not close.
bool endsInLoneLeadByte(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && i + gbkCharSize(text, i) < text.size()) i += gbkCharSize(text, i);
  return i < text.size() && gbkCharSize(text, i) == 1 && isGbkLeadByte(static_cast<unsigned char>(text[i]));
}

bool holdsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

IniDocument::IniDocument(std::string_view text) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

std::string IniDocument::get(std::string_view section, std::string_view key) const {
  bool inSection = false;
  for (const std::string& line : lines_) {
    if (const auto name = sectionName(line)) {
      // The first section of the name holds the keys; a later twin is never read.
      if (inSection) return {};
      inSection = sameName(*name, section);
    } else if (inSection) {
      if (const auto name = keyName(line); name && sameName(*name, key)) {
        return std::string(valueOf(line));
      }
    }
  }
  return {};
}

bool IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view cleanSection = trimBlanks(section);
  const std::string_view cleanKey = trimBlanks(key);
  if (cleanSection.empty() || cleanKey.empty() || holdsLineBreak(section) || holdsLineBreak(key) ||
      holdsLineBreak(value) || findText(section, "]") > 0 || endsInLoneLeadByte(cleanSection) ||
      findText(key, "=") > 0 || cleanKey.front() == ';' || cleanKey.front() == '[') {
    return false;
  }
  const std::string line = std::string(cleanKey) + "=" + std::string(value);
  size_t header = 0;
  while (header < lines_.size()) {
    const auto name = sectionName(lines_[header]);
    if (name && sameName(*name, section)) break;
    ++header;
  }
  if (header == lines_.size()) {
    lines_.push_back("[" + std::string(cleanSection) + "]");
    lines_.push_back(line);
    return true;
  }
  // The section runs to the next header; a new key goes after its last non-blank line.
  size_t endOfKeys = header + 1;
  for (size_t i = header + 1; i < lines_.size() && !sectionName(lines_[i]); ++i) {
    if (const auto name = keyName(lines_[i])) {
      if (sameName(*name, key)) {
        lines_[i] = line;
        return true;
      }
    }
    if (!trimBlanks(lines_[i]).empty()) endOfKeys = i + 1;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(endOfKeys), line);
  return true;
}

std::string IniDocument::text() const {
  std::string out;
  for (const std::string& line : lines_) out.append(line).append("\r\n");
  return out;
}

IniFileStore::IniFileStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path IniFileStore::pathOf(std::string_view file) const {
  if (file.empty()) return folder_ / "data" / "setsoft.ini";
  const std::u16string wide = gbkToUtf16(file);
  if (wide.empty()) return {};
  return folder_ / std::filesystem::path(wide);
}

namespace {

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::string IniFileStore::read(std::string_view file, std::string_view section,
                               std::string_view key) {
  std::lock_guard lock(mutex_);
  const std::filesystem::path path = pathOf(file);
  if (path.empty()) return {};
  if (file.empty()) {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
  }
  const auto text = readWholeFile(path);
  return text ? IniDocument(*text).get(section, key) : std::string();
}

bool IniFileStore::write(std::string_view file, std::string_view section, std::string_view key,
                         std::string_view value) {
  std::lock_guard lock(mutex_);
  const std::filesystem::path path = pathOf(file);
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  IniDocument document(readWholeFile(path).value_or(std::string()));
  if (!document.set(section, key, value)) return false;
  const std::string text = document.text();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace pv
