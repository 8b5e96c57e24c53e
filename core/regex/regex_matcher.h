#pragma once
// RegexMatcher: all pattern matching of the system. One object holds one expression, the
// subject it was run over and the matches found; callers ask for the number of matches,
// the text of a match or group, or the subject with the matches replaced.
//
// Texts are GBK. Matching runs over the subject's characters (GBK converted to UTF-16),
// so a match never begins or ends inside a double-byte character; the texts returned are
// cut from the subject itself. A byte the code page cannot convert stays in the subject
// and stands for U+FFFD while matching. Syntax and limits: core/regex/regex.h.
//
// No operation throws. Before the first execute there is no expression: the pattern text
// is empty and every query gives 0 or the empty text. An invalid pattern leaves no
// matches. Objects are values: a copy holds the same pattern, subject and matches. One
// thread at a time per object.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// How execute reads a pattern; the defaults are what every pattern of the system is
// matched with unless it says otherwise.
struct RegexMatchOptions {
  bool caseSensitive = false;
  bool multiline = true;         // ^ and $ at every line's start and end
  bool global = true;            // every match, not only the first
  bool quotePlaceholder = false; // "#引号" stands for a double quote (stored patterns cannot carry one)
};

class RegexMatcher {
 public:
  // Runs `pattern` over `subject` and keeps the matches. True when the pattern was valid,
  // whatever the number of matches.
  [[nodiscard]] bool execute(std::string_view pattern, std::string_view subject,
                             RegexMatchOptions options = {}) noexcept;

  // The pattern of the last execute (after the placeholder was replaced), valid or not.
  std::string patternText() const;

  // The subject with every kept match replaced. In the replacement, $1 to $99 stand for a
  // group, $& for the match, $` and $' for the subject before and after it, $$ for "$".
  // Without a valid expression nothing was matched and the subject comes back as it is.
  std::string replaceMatches(std::string_view replacement) const;

  int matchCount() const noexcept;

  // Match n (from 1). `position`, when given, receives the match's byte offset (from 0)
  // in the subject, or -1 when there is no such match.
  std::string matchText(int n, int* position = nullptr) const;

  // Group k (from 1) of match n (from 1); empty when the group took no part.
  std::string subMatchText(int n, int k, int* position = nullptr) const;

  // Number of groups of the pattern when there is at least one match, else 0.
  int subMatchCount() const noexcept;

 private:
  // Text of group k (0: the whole match) of match n (from 1).
  std::string slice(int n, int k, int* position) const;

  bool hasExpression_ = false;
  bool valid_ = false;
  int matchCount_ = 0;
  int groupCount_ = 0;
  std::string pattern_;
  std::string subject_;
  // Byte offsets in the subject, per match: begin and end of the match, then of each
  // group (-1 for a group that took no part).
  std::vector<int32_t> spans_;
};

}  // namespace pv
