#include "core/text/text.h"

namespace pv {
namespace {

// Byte offset of the first character-aligned match at or after byte `from`, or npos.
size_t alignedFind(std::string_view text, std::string_view part, size_t from) noexcept {
  size_t i = 0;
  // Walk characters up to `from` so that `from` itself is judged against real boundaries.
  while (i < from && i < text.size()) i += gbkCharSize(text, i);
  for (; i + part.size() <= text.size();) {
    if (text.compare(i, part.size(), part) == 0) return i;
    i += gbkCharSize(text, i);
  }
  return std::string_view::npos;
}

}  // namespace

std::string cutGbkText(std::string_view text, size_t limit) {
  if (text.size() <= limit) return std::string(text);
  size_t end = 0;
  while (end < limit) {
    const size_t step = gbkCharSize(text, end);
    if (end + step > limit) break;
    end += step;
  }
  return std::string(text.substr(0, end));
}

int findText(std::string_view text, std::string_view part, int start) noexcept {
  if (text.empty() || start < 1 || static_cast<size_t>(start) > text.size()) return -1;
  const size_t at = alignedFind(text, part, static_cast<size_t>(start - 1));
  return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

bool containsText(std::string_view text, std::string_view part) noexcept {
  return findText(text, part) > 0;
}

std::string toLowerAscii(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = out[i];
    if (gbkCharSize(out, i) == 2) { ++i; continue; }
    if (c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string toUpperAscii(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = out[i];
    if (gbkCharSize(out, i) == 2) { ++i; continue; }
    if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t done = 0;
  for (size_t at = alignedFind(text, from, 0); at != std::string_view::npos;
       at = alignedFind(text, from, done)) {
    out.append(text.substr(done, at - done)).append(to);
    done = at + from.size();
  }
  out.append(text.substr(done));
  return out;
}

std::vector<std::string> splitText(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) return {std::string(text)};
  size_t done = 0;
  for (size_t at = alignedFind(text, separator, 0); at != std::string_view::npos;
       at = alignedFind(text, separator, done)) {
    pieces.emplace_back(text.substr(done, at - done));
    done = at + separator.size();
  }
  pieces.emplace_back(text.substr(done));
  return pieces;
}

std::string joinTexts(const std::vector<std::string>& pieces, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i) out.append(separator);
    out.append(pieces[i]);
  }
  return out;
}

std::string trimText(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n";
  const size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(kBlank);
  return std::string(text.substr(first, last - first + 1));
}

bool startsWith(std::string_view text, std::string_view prefix) noexcept {
  return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix) noexcept {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace pv
