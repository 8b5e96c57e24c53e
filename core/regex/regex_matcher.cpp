#include "core/regex/regex_matcher.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "core/regex/regex.h"
#include "core/system/note_failure.h"
#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

constexpr char16_t kReplacementUnit = 0xFFFD;
constexpr size_t kMaxSubjectBytes = size_t{1} << 28;

// Byte offsets of the subject for every span boundary of `matches`, in the same layout
// (per match: begin and end of the match, then of each group; -1 when unset). Matches do
// not overlap and their groups lie inside them, so one walk over the subject serves all.
// Unit i of the converted subject is the i-th character as gbkCharSize counts them
// (one unit per character, a bad byte included).
std::vector<int32_t> byteSpans(std::string_view gbk, const RegexMatches& matches) {
  const int groups = matches.groupCount();
  const size_t stride = 2 * static_cast<size_t>(groups + 1);
  std::vector<int32_t> out(static_cast<size_t>(matches.size()) * stride, -1);
  std::vector<std::pair<int32_t, size_t>> bounds;  // (unit, slot)
  int32_t unit = 0;
  size_t byte = 0;
  for (int m = 0; m < matches.size(); ++m) {
    bounds.clear();
    for (int g = 0; g <= groups; ++g) {
      const RegexSpan span = matches.span(m, g);
      if (span.begin < 0) continue;
      const size_t slot = static_cast<size_t>(m) * stride + 2 * static_cast<size_t>(g);
      bounds.emplace_back(span.begin, slot);
      bounds.emplace_back(span.end, slot + 1);
    }
    std::sort(bounds.begin(), bounds.end());
    for (const auto& [target, slot] : bounds) {
      for (; unit < target && byte < gbk.size(); ++unit) byte += gbkCharSize(gbk, byte);
      out[slot] = static_cast<int32_t>(byte);
    }
  }
  return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Compiling costs far more than matching a short text, and the same few patterns come back
// again and again (the renderer's keywords for every run, the place names on every copy):
// the last few compiled expressions are kept for the process. A Regex serves one search at
// a time, so the lock is held from the lookup to the end of the search.
class CompiledPatterns {
 public:
  // Runs `search` with the compiled pattern; false (search not run) for an invalid one.
  template <class Search>
  bool with(const std::u16string& pattern, RegexOptions options, Search&& search) {
    std::lock_guard lock(mutex_);
    Regex* regex = find(pattern, options);
    if (!regex) return false;
    search(*regex);
    return true;
  }

 private:
  struct Entry {
    std::u16string pattern;
    bool ignoreCase;
    bool multiline;
    Regex regex;
  };
  static constexpr size_t kKept = 8;

  Regex* find(const std::u16string& pattern, RegexOptions options) {
    for (size_t i = 0; i < kept_.size(); ++i) {
      if (kept_[i].pattern == pattern && kept_[i].ignoreCase == options.ignoreCase &&
          kept_[i].multiline == options.multiline) {
        std::rotate(kept_.begin() + static_cast<std::ptrdiff_t>(i),
                    kept_.begin() + static_cast<std::ptrdiff_t>(i) + 1, kept_.end());
        return &kept_.back().regex;
      }
    }
    Regex regex = Regex::compile(pattern, options);
    if (!regex.valid()) return nullptr;
    if (kept_.size() == kKept) kept_.erase(kept_.begin());
    kept_.push_back({pattern, options.ignoreCase, options.multiline, std::move(regex)});
    return &kept_.back().regex;
  }

  std::mutex mutex_;
  std::vector<Entry> kept_;  // the most recently used last
};

CompiledPatterns& compiledPatterns() {
  static CompiledPatterns patterns;
  return patterns;
}

}  // namespace

bool RegexMatcher::execute(std::string_view pattern, std::string_view subject, RegexMatchOptions options) noexcept {
  hasExpression_ = true;
  valid_ = false;
  matchCount_ = 0;
  groupCount_ = 0;
  spans_.clear();
  try {
    pattern_ = options.quotePlaceholder ? replaceAll(pattern, "#引号", "\"") : std::string(pattern);
    subject_ = subject;
    if (subject.size() > kMaxSubjectBytes) return false;
    // An empty pattern is valid (it matches the empty text everywhere); a pattern holding
    // a byte that is no GBK character is not.
    const std::u16string pattern16 = gbkToUtf16(pattern_, kReplacementUnit);
    if (pattern16.find(kReplacementUnit) != std::u16string::npos) return false;
    const std::u16string subject16 = gbkToUtf16(subject_, kReplacementUnit);
    RegexMatches matches;
    const bool compiled = compiledPatterns().with(
        pattern16, {.ignoreCase = !options.caseSensitive, .multiline = options.multiline},
        [&](Regex& regex) { matches = regex.findAll(subject16, options.global, regex.groupCount() > 0); });
    if (!compiled) return false;
    spans_ = byteSpans(subject_, matches);
    matchCount_ = matches.size();
    groupCount_ = matches.groupCount();
    valid_ = true;
    return true;
  } catch (...) {
    // Out of memory on a huge subject: no matches, like any failed execute.
    noteFailure("RegexMatcher::execute", "out of memory: no matches");
    matchCount_ = 0;
    groupCount_ = 0;
    spans_.clear();
    return false;
  }
}

std::string RegexMatcher::patternText() const { return hasExpression_ ? pattern_ : std::string(); }

int RegexMatcher::matchCount() const noexcept { return valid_ ? matchCount_ : 0; }

int RegexMatcher::subMatchCount() const noexcept { return matchCount() > 0 ? groupCount_ : 0; }

std::string RegexMatcher::slice(int n, int k, int* position) const {
  if (n < 1 || n > matchCount() || k < 0 || k > groupCount_) {
    if (position) *position = -1;
    return {};
  }
  const size_t slot = static_cast<size_t>(n - 1) * 2 * static_cast<size_t>(groupCount_ + 1) +
                      2 * static_cast<size_t>(k);
  const int32_t begin = spans_[slot];
  const int32_t end = spans_[slot + 1];
  if (position) *position = begin;
  if (begin < 0) return {};
  return subject_.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}

std::string RegexMatcher::matchText(int n, int* position) const { return slice(n, 0, position); }

std::string RegexMatcher::subMatchText(int n, int k, int* position) const {
  return slice(n, k >= 1 ? k : -1, position);
}

std::string RegexMatcher::replaceMatches(std::string_view replacement) const {
  if (!valid_) return subject_;
  std::string out;
  size_t copied = 0;
  for (int m = 1; m <= matchCount_; ++m) {
    int position = 0;
    const std::string matched = slice(m, 0, &position);
    const size_t begin = static_cast<size_t>(position);
    const size_t end = begin + matched.size();
    out.append(subject_, copied, begin - copied);
    copied = end;
    // '$' and digits are below every GBK trail byte, so a byte-wise scan cannot mistake
    // half of a double-byte character for them.
    for (size_t i = 0; i < replacement.size(); ++i) {
      const char c = replacement[i];
      const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
      if (c != '$' || next == '\0') {
        out.push_back(c);
        continue;
      }
      if (next == '$') {
        out.push_back('$');
      } else if (next == '&') {
        out += matched;
      } else if (next == '`') {
        out.append(subject_, 0, begin);
      } else if (next == '\'') {
        out.append(subject_, end);
      } else if (isDigit(next)) {
        // Two digits when they name a group, else one; "$0" and unknown groups stay as written.
        const char third = i + 2 < replacement.size() ? replacement[i + 2] : '\0';
        const int two = (next - '0') * 10 + (third - '0');
        int group = 0;
        if (isDigit(third) && two >= 1 && two <= groupCount_) {
          group = two;
          ++i;
        } else if (next != '0' && next - '0' <= groupCount_) {
          group = next - '0';
        } else {
          out.push_back('$');
          continue;
        }
        out += slice(m, group, nullptr);
      } else {
        out.push_back('$');
        continue;
      }
      ++i;
    }
  }
  out.append(subject_, copied);
  return out;
}

}  // namespace pv
