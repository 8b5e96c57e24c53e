#include "core/regex/regex_matcher.h"

#include <utility>

#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

constexpr char16_t kReplacementUnit = 0xFFFD;
constexpr size_t kMaxSubjectBytes = size_t{1} << 28;

struct DecodedText {
  std::u16string units;
  std::vector<uint32_t> offsets;  // byte offset of each unit, then the text's size
};

bool isGbkTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Byte length of the character at `at`: two for a lead byte with a trail after it.
size_t characterLength(std::string_view gbk, size_t at) {
  const auto c = static_cast<unsigned char>(gbk[at]);
  return isGbkLeadByte(c) && at + 1 < gbk.size() &&
                 isGbkTrailByte(static_cast<unsigned char>(gbk[at + 1]))
             ? 2
             : 1;
}

// Converts the characters starts[first..last) of `gbk` (each starting at starts[i] and
// ending where the next starts, starts[last] being the end) and appends one unit per
// character. A piece that fails is halved until the failing characters are alone; those
// become U+FFFD, so one bad byte does not blank the whole text.
void convertPieces(std::string_view gbk, const std::vector<uint32_t>& starts, size_t first,
                   size_t last, DecodedText& out) {
  std::vector<std::pair<size_t, size_t>> pending{{first, last}};
  while (!pending.empty()) {
    const auto [a, b] = pending.back();
    pending.pop_back();
    if (a == b) continue;
    const std::string_view piece = gbk.substr(starts[a], starts[b] - starts[a]);
    std::u16string units = gbkToUtf16(piece);
    if (units.size() == b - a) {
      for (size_t i = a; i < b; ++i) {
        out.units.push_back(units[i - a]);
        out.offsets.push_back(starts[i]);
      }
    } else if (b - a == 1) {
      out.units.push_back(kReplacementUnit);
      out.offsets.push_back(starts[a]);
    } else {
      const size_t mid = a + (b - a) / 2;
      pending.emplace_back(mid, b);
      pending.emplace_back(a, mid);
    }
  }
}

DecodedText decodeGbk(std::string_view gbk) {
  DecodedText out;
  std::vector<uint32_t> starts;
  starts.reserve(gbk.size() + 1);
  for (size_t i = 0; i < gbk.size(); i += characterLength(gbk, i)) starts.push_back(static_cast<uint32_t>(i));
  const size_t characters = starts.size();
  starts.push_back(static_cast<uint32_t>(gbk.size()));

  out.units = gbkToUtf16(gbk);
  if (out.units.size() == characters) {
    out.offsets = std::move(starts);
    return out;
  }
  out.units.clear();
  out.units.reserve(characters);
  out.offsets.reserve(characters + 1);
  convertPieces(gbk, starts, 0, characters, out);
  out.offsets.push_back(static_cast<uint32_t>(gbk.size()));
  return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool RegexMatcher::execute(std::string_view pattern, std::string_view subject, bool caseSensitive,
                           bool multiline, bool global, bool quotePlaceholder) noexcept {
  hasExpression_ = true;
  valid_ = false;
  matches_ = {};
  offsets_.clear();
  try {
    pattern_ = quotePlaceholder ? replaceAll(pattern, "#引号", "\"") : std::string(pattern);
    subject_ = subject;
    if (subject.size() > kMaxSubjectBytes) return false;
    // An empty pattern is valid (it matches the empty text everywhere); any other pattern
    // that does not convert is not.
    const std::u16string pattern16 = gbkToUtf16(pattern_);
    if (pattern16.empty() && !pattern_.empty()) return false;
    Regex regex = Regex::compile(pattern16, {.ignoreCase = !caseSensitive, .multiline = multiline});
    if (!regex.valid()) return false;
    DecodedText text = decodeGbk(subject_);
    offsets_ = std::move(text.offsets);
    matches_ = regex.findAll(text.units, global, regex.groupCount() > 0);
    valid_ = true;
    return true;
  } catch (...) {
    // Out of memory on a huge subject: no matches, like any failed execute.
    matches_ = {};
    offsets_.clear();
    return false;
  }
}

std::string RegexMatcher::patternText() const { return hasExpression_ ? pattern_ : std::string(); }

int RegexMatcher::matchCount() const noexcept { return valid_ ? matches_.size() : 0; }

int RegexMatcher::subMatchCount() const noexcept {
  return matchCount() > 0 ? matches_.groupCount() : 0;
}

std::string RegexMatcher::slice(RegexSpan span, int* position) const {
  if (span.begin < 0 || static_cast<size_t>(span.end) >= offsets_.size()) {
    if (position) *position = -1;
    return {};
  }
  const uint32_t begin = offsets_[static_cast<size_t>(span.begin)];
  const uint32_t end = offsets_[static_cast<size_t>(span.end)];
  if (position) *position = static_cast<int>(begin);
  return subject_.substr(begin, end - begin);
}

std::string RegexMatcher::matchText(int n, int* position) const {
  return slice(matchCount() > 0 ? matches_.span(n - 1) : RegexSpan{}, position);
}

std::string RegexMatcher::subMatchText(int n, int k, int* position) const {
  return slice(matchCount() > 0 && k >= 1 ? matches_.span(n - 1, k) : RegexSpan{}, position);
}

std::string RegexMatcher::replaceMatches(std::string_view replacement) const {
  if (!valid_) return subject_;
  std::string out;
  size_t copied = 0;
  const int groups = matches_.groupCount();
  for (int m = 0; m < matches_.size(); ++m) {
    const RegexSpan whole = matches_.span(m);
    const size_t begin = offsets_[static_cast<size_t>(whole.begin)];
    const size_t end = offsets_[static_cast<size_t>(whole.end)];
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
        out.append(subject_, begin, end - begin);
      } else if (next == '`') {
        out.append(subject_, 0, begin);
      } else if (next == '\'') {
        out.append(subject_, end);
      } else if (isDigit(next)) {
        // Two digits when they name a group, else one; "$0" and unknown groups stay as written.
        const char third = i + 2 < replacement.size() ? replacement[i + 2] : '\0';
        int group = 0;
        size_t used = 0;
        if (isDigit(third) && (next - '0') * 10 + (third - '0') >= 1 &&
            (next - '0') * 10 + (third - '0') <= groups) {
          group = (next - '0') * 10 + (third - '0');
          used = 2;
        } else if (next != '0' && next - '0' <= groups) {
          group = next - '0';
          used = 1;
        }
        if (used == 0) {
          out.push_back('$');
          continue;
        }
        out += slice(matches_.span(m, group), nullptr);
        i += used;
        continue;
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
