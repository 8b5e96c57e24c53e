#pragma once
// What both matchers of the regular-expression engine use: the test of an assertion at a
// position, marks cleared in constant time, and the units a match can begin with.
// Internal to core/regex.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/regex/regex_program.h"

namespace pv::regex_detail {

inline bool assertionHolds(Op op, std::u16string_view text, size_t pos) noexcept {
  const size_t n = text.size();
  switch (op) {
    case Op::TextStart:
      return pos == 0;
    case Op::TextEnd:
      return pos == n;
    case Op::LineStart:
      return pos == 0 || isLineTerminator(text[pos - 1]);
    case Op::LineEnd:
      return pos == n || isLineTerminator(text[pos]);
    case Op::WordBoundary:
    case Op::NotWordBoundary: {
      const bool before = pos > 0 && isWordUnit(text[pos - 1]);
      const bool after = pos < n && isWordUnit(text[pos]);
      return (before != after) == (op == Op::WordBoundary);
    }
    default:
      return false;
  }
}

// Marks with generations, so that clearing is O(1).
class Marks {
 public:
  explicit Marks(size_t size) : marks_(size, 0) {}
  void clear() noexcept {
    if (++generation_ == 0) {
      std::fill(marks_.begin(), marks_.end(), 0);
      generation_ = 1;
    }
  }
  // True the first time `i` is seen since the last clear.
  bool visit(size_t i) noexcept {
    if (marks_[i] == generation_) return false;
    marks_[i] = generation_;
    return true;
  }

 private:
  std::vector<uint32_t> marks_;
  uint32_t generation_ = 1;
};

// The units a match can begin with, for patterns that cannot match the empty text.
class FirstUnits {
 public:
  static std::optional<FirstUnits> of(const Program& program, const std::vector<CharSet>& sets) {
    FirstUnits first;
    std::vector<bool> seen(program.insts.size());
    std::vector<int> stack{program.start};
    while (!stack.empty()) {
      const int pc = stack.back();
      stack.pop_back();
      if (seen[static_cast<size_t>(pc)]) continue;
      seen[static_cast<size_t>(pc)] = true;
      const Inst& inst = program.insts[static_cast<size_t>(pc)];
      switch (inst.op) {
        case Op::Match:
          return std::nullopt;
        case Op::Set:
          if (inst.x == 0) return std::nullopt;  // any unit: nothing to skip
          for (const CharRange& r : sets[static_cast<size_t>(inst.x)]) {
            for (uint32_t c = r.lo; c <= r.hi; ++c) first.bits_[c >> 6] |= uint64_t{1} << (c & 63);
          }
          break;
        case Op::Jmp:
          stack.push_back(inst.x);
          break;
        case Op::Split:
          stack.push_back(inst.x);
          stack.push_back(inst.y);
          break;
        default:  // groups and assertions: look past them
          stack.push_back(pc + 1);
          break;
      }
    }
    return first;
  }

  bool has(char16_t c) const noexcept { return (bits_[c >> 6] >> (c & 63)) & 1; }

 private:
  std::vector<uint64_t> bits_ = std::vector<uint64_t>(1024);
};

}  // namespace pv::regex_detail
