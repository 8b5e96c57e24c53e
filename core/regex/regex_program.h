#pragma once
// Internals of the regular-expression engine, shared by its parser, compiler and matchers:
// the syntax tree, the instruction program and the alphabet of code-unit classes.
// Use core/regex/regex.h from outside core/regex.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace pv::regex_detail {

// Limits that keep a hostile or careless pattern from costing unbounded time or memory.
// A pattern beyond them is refused like any other invalid pattern.
inline constexpr int kMaxInstructions = 16384;
inline constexpr int kMaxNesting = 128;
inline constexpr int kMaxGroups = 99;

// Inclusive range of UTF-16 code units. The texts matched come from GBK, which has no
// character outside the basic plane, so a code unit is a code point here.
struct CharRange {
  char16_t lo;
  char16_t hi;
};
// Sorted, non-overlapping and non-adjacent ranges.
using CharSet = std::vector<CharRange>;

CharSet normalizedSet(CharSet set);
CharSet complementedSet(const CharSet& set);
// Every character whose case-folded form equals that of a member (Latin, Greek, Cyrillic
// and full-width Latin letters).
CharSet caseClosedSet(const CharSet& set);
bool setContains(const CharSet& set, char16_t c) noexcept;
// The upper-case form used to compare letters when case is ignored; a letter whose upper
// case would be an ASCII letter though it is not one itself (the dotless i, the long s)
// stays as it is.
char16_t foldCase(char16_t c) noexcept;

bool isLineTerminator(char16_t c) noexcept;
bool isWordUnit(char16_t c) noexcept;

enum class AssertKind : uint8_t { LineStart, LineEnd, WordBoundary, NotWordBoundary };

struct Node {
  enum class Kind : uint8_t { Empty, Set, Concat, Alternate, Repeat, Group, Assert };
  Kind kind = Kind::Empty;
  AssertKind assertion = AssertKind::LineStart;
  bool greedy = true;
  int set = -1;         // Set: index into Syntax::sets
  int min = 0;          // Repeat
  int max = 0;          // Repeat; negative: unbounded
  int group = 0;        // Group: capture number, from 1
  int firstGroup = 0;   // Repeat: capture numbers inside the repeated atom, firstGroup..lastGroup
  int lastGroup = -1;
  std::vector<int> children;
};

struct Syntax {
  std::vector<Node> nodes;
  int root = 0;
  std::vector<CharSet> sets;  // distinct; sets[0] is every code unit
  int groupCount = 0;
  bool hasAssertions = false;
};

// Empty when the pattern uses syntax outside the supported subset or exceeds the limits.
std::optional<Syntax> parsePattern(std::u16string_view pattern, bool ignoreCase);

enum class Op : uint8_t {
  Set,          // consume one unit in sets[x]
  Split,        // continue at x, and at y with lower priority
  Jmp,          // continue at x
  Save,         // slot x := position
  ClearGroups,  // slots of groups x..y := unset (each repetition starts with fresh groups)
  Match,
  LineStart,
  LineEnd,
  TextStart,
  TextEnd,
  WordBoundary,
  NotWordBoundary,
};

struct Inst {
  Op op;
  int32_t x = 0;
  int32_t y = 0;
};

struct Program {
  std::vector<Inst> insts;
  int start = 0;             // anchored entry: a match must begin where the run begins
  int unanchoredStart = -1;  // entry that may skip ahead before the match begins
};

// Forward programs carry the unanchored entry and the group slots; a reversed program
// matches the pattern backwards (for finding where a known match began), anchored and
// without slots, and exists only for patterns without assertions.
std::optional<Program> compileProgram(const Syntax& syntax, bool reversed, bool multiline);

// Groups code units that every set of the pattern treats alike, so that automaton tables
// have one column per class rather than per code unit.
struct Alphabet {
  std::vector<uint16_t> classOf;        // indexed by code unit
  std::vector<char16_t> representative;  // one member per class
  int classCount = 0;
};

std::optional<Alphabet> buildAlphabet(const std::vector<CharSet>& sets);

}  // namespace pv::regex_detail
