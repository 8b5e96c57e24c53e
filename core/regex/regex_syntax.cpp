// Pattern syntax: the ECMAScript subset that the system's patterns and ordinary header
// patterns use. Everything the engine cannot run in linear time (back-references,
// look-around) or that we do not support is refused, never guessed at.
#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "core/regex/regex_program.h"

namespace pv::regex_detail {

CharSet normalizedSet(CharSet set) {
  std::sort(set.begin(), set.end(),
            [](const CharRange& a, const CharRange& b) { return a.lo < b.lo; });
  CharSet out;
  for (const CharRange& r : set) {
    if (!out.empty() && static_cast<uint32_t>(r.lo) <= static_cast<uint32_t>(out.back().hi) + 1) {
      out.back().hi = std::max(out.back().hi, r.hi);
    } else {
      out.push_back(r);
    }
  }
  return out;
}

CharSet complementedSet(const CharSet& set) {
  CharSet out;
  uint32_t next = 0;
  for (const CharRange& r : set) {
    if (r.lo > next) out.push_back({static_cast<char16_t>(next), static_cast<char16_t>(r.lo - 1)});
    next = static_cast<uint32_t>(r.hi) + 1;
  }
  if (next <= 0xFFFF) out.push_back({static_cast<char16_t>(next), u'\xFFFF'});
  return out;
}

bool setContains(const CharSet& set, char16_t c) noexcept {
  if (set.size() == 1) return set[0].lo <= c && c <= set[0].hi;
  auto it = std::upper_bound(set.begin(), set.end(), c,
                             [](char16_t v, const CharRange& r) { return v < r.lo; });
  return it != set.begin() && c <= std::prev(it)->hi;
}

char16_t foldCase(char16_t c) noexcept {
  auto shifted = [c](int by) { return static_cast<char16_t>(c - by); };
  if (c >= u'a' && c <= u'z') return shifted(32);
  if (c < 0xB5) return c;
  if (c == 0xB5) return 0x39C;  // micro sign folds with Greek mu
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return shifted(32);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17E) {
    const bool evenUpper = (c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179);
    if (evenUpper && (c & 1)) return shifted(1);
    if (oddUpper && !(c & 1)) return shifted(1);
    return c;
  }
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (c >= 0x3B1 && c <= 0x3C9) return shifted(32);
  if (c >= 0x430 && c <= 0x44F) return shifted(32);
  if (c >= 0x450 && c <= 0x45F) return shifted(80);
  if (c >= 0xFF41 && c <= 0xFF5A) return shifted(32);
  return c;
}

namespace {

// Pairs (a, b), a != b, of characters that fold alike, sorted by a.
const std::vector<std::pair<char16_t, char16_t>>& foldPairs() {
  static const std::vector<std::pair<char16_t, char16_t>> pairs = [] {
    std::map<char16_t, std::vector<char16_t>> groups;
    const CharRange lowerBlocks[] = {{0x61, 0x7A},   {0xB5, 0xB5},   {0xE0, 0xFF},
                                     {0x100, 0x17F}, {0x3B1, 0x3C9}, {0x430, 0x45F},
                                     {0xFF41, 0xFF5A}};
    for (const CharRange& b : lowerBlocks) {
      for (uint32_t c = b.lo; c <= b.hi; ++c) {
        const char16_t folded = foldCase(static_cast<char16_t>(c));
        if (folded != c) groups[folded].push_back(static_cast<char16_t>(c));
      }
    }
    std::vector<std::pair<char16_t, char16_t>> out;
    for (auto& [upper, lowers] : groups) {
      lowers.push_back(upper);
      for (char16_t a : lowers)
        for (char16_t b : lowers)
          if (a != b) out.emplace_back(a, b);
    }
    std::sort(out.begin(), out.end());
    return out;
  }();
  return pairs;
}

}  // namespace

CharSet caseClosedSet(const CharSet& set) {
  const auto& pairs = foldPairs();
  CharSet out = set;
  for (const CharRange& r : set) {
    auto it = std::lower_bound(pairs.begin(), pairs.end(), std::make_pair(r.lo, char16_t{0}));
    for (; it != pairs.end() && it->first <= r.hi; ++it) out.push_back({it->second, it->second});
  }
  return out.size() == set.size() ? out : normalizedSet(std::move(out));
}

bool isLineTerminator(char16_t c) noexcept {
  return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

bool isWordUnit(char16_t c) noexcept {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_';
}

namespace {

CharSet digitSet() { return {{u'0', u'9'}}; }
CharSet wordSet() { return {{u'0', u'9'}, {u'A', u'Z'}, {u'_', u'_'}, {u'a', u'z'}}; }
// ASCII white space only: the scripting engine whose matches we reproduce never counted
// the no-break or ideographic spaces as \s.
CharSet spaceSet() { return {{u'\t', u'\r'}, {u' ', u' '}}; }

int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

struct Quantifier {
  int min = 0;
  int max = -1;
  bool greedy = true;
};

// Result of one escape: either a single character or a whole set (\d, \w, ...).
struct EscapeValue {
  bool isSet = false;
  char16_t unit = 0;
  CharSet set;
};

class Parser {
 public:
  Parser(std::u16string_view pattern, bool ignoreCase) : p_(pattern), ignoreCase_(ignoreCase) {}

  std::optional<Syntax> run() {
    syntax_.sets.push_back({{0, 0xFFFF}});
    setIndex_.emplace(keyOf(syntax_.sets[0]), 0);
    syntax_.root = parseDisjunction(0);
    if (failed_ || pos_ != p_.size()) return std::nullopt;
    return std::move(syntax_);
  }

 private:
  bool atEnd() const { return pos_ >= p_.size(); }
  // -1 past the end, so that a NUL in the pattern is an ordinary character.
  int peek(size_t ahead = 0) const { return pos_ + ahead < p_.size() ? p_[pos_ + ahead] : -1; }

  int fail() {
    failed_ = true;
    return -1;
  }

  int addNode(Node node) {
    syntax_.nodes.push_back(std::move(node));
    return static_cast<int>(syntax_.nodes.size()) - 1;
  }

  static std::u16string keyOf(const CharSet& set) {
    std::u16string key;
    for (const CharRange& r : set) {
      key.push_back(r.lo);
      key.push_back(r.hi);
    }
    return key;
  }

  int setNode(CharSet set) {
    auto [it, added] = setIndex_.emplace(keyOf(set), static_cast<int>(syntax_.sets.size()));
    if (added) syntax_.sets.push_back(std::move(set));
    Node node;
    node.kind = Node::Kind::Set;
    node.set = it->second;
    return addNode(std::move(node));
  }

  // Sets of atoms outside brackets: case closure applies the same way as inside them.
  int atomSetNode(CharSet set) {
    set = normalizedSet(std::move(set));
    return setNode(ignoreCase_ ? caseClosedSet(set) : std::move(set));
  }

  int parseDisjunction(int depth) {
    if (depth > kMaxNesting) return fail();
    std::vector<int> alternatives{parseAlternative(depth)};
    while (!failed_ && peek() == u'|') {
      ++pos_;
      alternatives.push_back(parseAlternative(depth));
    }
    if (failed_) return -1;
    if (alternatives.size() == 1) return alternatives[0];
    Node node;
    node.kind = Node::Kind::Alternate;
    node.children = std::move(alternatives);
    return addNode(std::move(node));
  }

  int parseAlternative(int depth) {
    std::vector<int> terms;
    while (!failed_ && !atEnd() && peek() != u'|' && peek() != u')') {
      const int term = parseTerm(depth);
      if (term >= 0) terms.push_back(term);
    }
    if (failed_) return -1;
    if (terms.size() == 1) return terms[0];
    Node node;
    node.kind = terms.empty() ? Node::Kind::Empty : Node::Kind::Concat;
    node.children = std::move(terms);
    return addNode(std::move(node));
  }

  int assertionNode(AssertKind kind) {
    syntax_.hasAssertions = true;
    Node node;
    node.kind = Node::Kind::Assert;
    node.assertion = kind;
    // An assertion cannot be repeated.
    const size_t before = pos_;
    if (parseQuantifier()) return fail();
    pos_ = before;
    return addNode(std::move(node));
  }

  int parseTerm(int depth) {
    const int c = peek();
    if (c == u'^') {
      ++pos_;
      return assertionNode(AssertKind::LineStart);
    }
    if (c == u'$') {
      ++pos_;
      return assertionNode(AssertKind::LineEnd);
    }
    if (c == u'\\' && (peek(1) == u'b' || peek(1) == u'B')) {
      pos_ += 2;
      return assertionNode(p_[pos_ - 1] == u'b' ? AssertKind::WordBoundary
                                                 : AssertKind::NotWordBoundary);
    }
    const int groupsBefore = syntax_.groupCount;
    const int atom = parseAtom(depth);
    if (failed_) return -1;
    const std::optional<Quantifier> q = parseQuantifier();
    if (failed_) return -1;
    if (!q) return atom;
    Node node;
    node.kind = Node::Kind::Repeat;
    node.min = q->min;
    node.max = q->max;
    node.greedy = q->greedy;
    node.firstGroup = groupsBefore + 1;
    node.lastGroup = syntax_.groupCount;
    node.children = {atom};
    return addNode(std::move(node));
  }

  // Reads {n}, {n,} or {n,m} at the current position; leaves pos_ alone when what follows
  // is not one (a lone brace is then an ordinary character).
  bool parseBraces(Quantifier& q) {
    size_t i = pos_ + 1;
    auto number = [&](int& out) {
      const size_t first = i;
      long long value = 0;
      while (i < p_.size() && isAsciiDigit(p_[i])) {
        value = std::min<long long>(value * 10 + (p_[i] - u'0'), 1'000'000'000);
        ++i;
      }
      out = static_cast<int>(value);
      return i > first;
    };
    int min = 0;
    int max = -1;
    if (!number(min)) return false;
    if (i < p_.size() && p_[i] == u',') {
      ++i;
      if (!number(max)) max = -1;
    } else {
      max = min;
    }
    if (i >= p_.size() || p_[i] != u'}') return false;
    pos_ = i + 1;
    q.min = min;
    q.max = max;
    return true;
  }

  std::optional<Quantifier> parseQuantifier() {
    Quantifier q;
    const int c = peek();
    if (c == u'*') {
      q = {0, -1};
      ++pos_;
    } else if (c == u'+') {
      q = {1, -1};
      ++pos_;
    } else if (c == u'?') {
      q = {0, 1};
      ++pos_;
    } else if (c != u'{' || !parseBraces(q)) {
      return std::nullopt;
    }
    if (q.max >= 0 && q.min > q.max) {
      fail();
      return std::nullopt;
    }
    if (peek() == u'?') {
      q.greedy = false;
      ++pos_;
    }
    return q;
  }

  int parseAtom(int depth) {
    const int c = peek();
    switch (c) {
      case u'.':
        // Anything but a line feed: the scripting engine's "." takes a CR, so "地址.*"
        // over a CRLF text keeps the CR, as the patterns were written against.
        ++pos_;
        return setNode(complementedSet({{u'\n', u'\n'}}));
      case u'(':
        return parseGroup(depth);
      case u'[':
        return parseClass();
      case u'*':
      case u'+':
      case u'?':
        return fail();  // nothing to repeat
      case u'{': {
        Quantifier q;
        const size_t before = pos_;
        if (parseBraces(q)) {
          pos_ = before;
          return fail();
        }
        ++pos_;
        return atomSetNode({{u'{', u'{'}});
      }
      case u'\\': {
        ++pos_;
        EscapeValue e;
        if (!parseEscape(false, e)) return fail();
        return e.isSet ? atomSetNode(std::move(e.set)) : atomSetNode({{e.unit, e.unit}});
      }
      default:
        ++pos_;
        return atomSetNode({{static_cast<char16_t>(c), static_cast<char16_t>(c)}});
    }
  }

  int parseGroup(int depth) {
    ++pos_;  // (
    int group = 0;
    if (peek() == u'?') {
      if (peek(1) != u':') return fail();  // look-around and named groups are not supported
      pos_ += 2;
    } else {
      if (syntax_.groupCount >= kMaxGroups) return fail();
      group = ++syntax_.groupCount;
    }
    const int body = parseDisjunction(depth + 1);
    if (failed_) return -1;
    if (peek() != u')') return fail();
    ++pos_;
    if (group == 0) return body;
    Node node;
    node.kind = Node::Kind::Group;
    node.group = group;
    node.children = {body};
    return addNode(std::move(node));
  }

  // After the backslash. Inside brackets \b is the backspace character.
  bool parseEscape(bool inClass, EscapeValue& out) {
    if (atEnd()) return false;
    const char16_t c = p_[pos_++];
    auto unit = [&out](char16_t u) {
      out.unit = u;
      return true;
    };
    auto set = [&out](CharSet s) {
      out.isSet = true;
      out.set = std::move(s);
      return true;
    };
    switch (c) {
      case u'd': return set(digitSet());
      case u'D': return set(complementedSet(digitSet()));
      case u'w': return set(wordSet());
      case u'W': return set(complementedSet(wordSet()));
      case u's': return set(spaceSet());
      case u'S': return set(complementedSet(spaceSet()));
      case u'f': return unit(u'\f');
      case u'n': return unit(u'\n');
      case u'r': return unit(u'\r');
      case u't': return unit(u'\t');
      case u'v': return unit(u'\v');
      case u'b':
        return inClass && unit(u'\b');
      case u'c':
        if (atEnd() || !isAsciiLetter(p_[pos_])) return false;
        return unit(static_cast<char16_t>(p_[pos_++] % 32));
      case u'x':
      case u'u': {
        const size_t digits = c == u'x' ? 2 : 4;
        if (pos_ + digits > p_.size()) return false;
        int value = 0;
        for (size_t i = 0; i < digits; ++i) {
          const int h = hexValue(p_[pos_ + i]);
          if (h < 0) return false;
          value = value * 16 + h;
        }
        pos_ += digits;
        return unit(static_cast<char16_t>(value));
      }
      case u'0':
        // \0 followed by a digit would be a legacy octal escape.
        return !(peek() >= 0 && isAsciiDigit(static_cast<char16_t>(peek()))) && unit(0);
      default:
        // Back-references (\1..\9) are refused. A letter without a meaning (\y, \e)
        // stands for itself, as it does in the scripting engine, and so does any other
        // character.
        if (isAsciiDigit(c)) return false;
        return unit(c);
    }
  }

  int parseClass() {
    ++pos_;  // [
    bool negated = false;
    if (peek() == u'^') {
      negated = true;
      ++pos_;
    }
    CharSet members;
    for (;;) {
      if (atEnd()) return fail();
      if (peek() == u']') {
        ++pos_;
        break;
      }
      EscapeValue first;
      if (!parseClassAtom(first)) return fail();
      if (peek() == u'-' && peek(1) >= 0 && peek(1) != u']') {
        ++pos_;
        EscapeValue last;
        if (!parseClassAtom(last)) return fail();
        if (first.isSet || last.isSet || first.unit > last.unit) return fail();
        members.push_back({first.unit, last.unit});
      } else if (first.isSet) {
        members.insert(members.end(), first.set.begin(), first.set.end());
      } else {
        members.push_back({first.unit, first.unit});
      }
    }
    CharSet set = normalizedSet(std::move(members));
    if (ignoreCase_) set = caseClosedSet(set);
    return setNode(negated ? complementedSet(set) : std::move(set));
  }

  bool parseClassAtom(EscapeValue& out) {
    const char16_t c = p_[pos_++];
    if (c != u'\\') {
      out.unit = c;
      return true;
    }
    return parseEscape(true, out);
  }

  std::u16string_view p_;
  bool ignoreCase_;
  size_t pos_ = 0;
  bool failed_ = false;
  Syntax syntax_;
  std::map<std::u16string, int> setIndex_;
};

}  // namespace

std::optional<Syntax> parsePattern(std::u16string_view pattern, bool ignoreCase) {
  return Parser(pattern, ignoreCase).run();
}

}  // namespace pv::regex_detail
