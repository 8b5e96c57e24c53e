#pragma once
// The regular-expression engine under RegexMatcher: ECMAScript-style patterns over UTF-16
// texts, matched in time linear in the text (no backtracking, no recursion over the text)
// and in bounded memory.
//
// Supported: literals, |, groups (capturing and (?:...)), classes with ranges, negation
// and escapes, \d \w \s \D \W \S, \b \B, . * + ? {n} {n,} {n,m} and their lazy forms,
// ^ $, the escapes \f \n \r \t \v \cX \xHH \uHHHH \0 and escaped punctuation. As in the
// scripting engine the patterns were written for, "." matches anything but a line feed (a
// CR too), and a letter escape without a meaning (\y) is the letter. Matches are those a
// backtracking ECMAScript engine finds: leftmost, then by alternative order and greediness.
// Refused as invalid: back-references, look-around, and patterns whose compiled form
// would exceed the engine's size limits.
//
// A Regex is used by one thread at a time (its searches fill caches).
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace pv {

struct RegexOptions {
  bool ignoreCase = true;
  bool multiline = true;  // ^ and $ also match at line breaks
};

// Half-open range of UTF-16 units; begin < 0 when a group took no part in the match.
struct RegexSpan {
  int32_t begin = -1;
  int32_t end = -1;
};

class RegexMatches {
 public:
  int size() const noexcept;
  int groupCount() const noexcept { return groupCount_; }
  // group 0 is the whole match; an index out of range gives an unset span.
  RegexSpan span(int match, int group = 0) const noexcept;

 private:
  friend class Regex;
  int groupCount_ = 0;
  std::vector<int32_t> slots_;  // per match: begin, end of the match, then of each group
};

class Regex {
 public:
  Regex() noexcept;
  ~Regex();
  Regex(Regex&&) noexcept;
  Regex& operator=(Regex&&) noexcept;
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  // An invalid Regex when the pattern is outside the supported syntax or too large.
  static Regex compile(std::u16string_view pattern, RegexOptions options = {});

  bool valid() const noexcept;
  int groupCount() const noexcept;

  // Appends the first match that begins at or after `from` to `out` (empty, or holding
  // matches of this Regex). The groups are filled only when `withGroups` is set (finding
  // them costs a second pass over the match).
  bool search(std::u16string_view text, size_t from, RegexMatches& out, bool withGroups);

  // Every match, left to right, each search starting where the previous match ended and
  // one unit further after an empty match; only the first when `global` is false.
  RegexMatches findAll(std::u16string_view text, bool global = true, bool withGroups = true);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pv
