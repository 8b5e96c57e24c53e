#pragma once
// The Pike VM of the regular-expression engine: runs every thread of the program in step
// over the text, in priority order, so it picks the match a backtracking engine would
// without its exponential worst case. It serves patterns with assertions and the groups of
// a match already found. Internal to core/regex.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/regex/regex_machine_parts.h"
#include "core/regex/regex_program.h"

namespace pv::regex_detail {

class PikeVm {
 public:
  PikeVm(const Program& program, const std::vector<CharSet>& sets, int slotCount)
      : program_(program), sets_(sets), slotCount_(slotCount),
        current_(program.insts.size()), next_(program.insts.size()),
        work_(static_cast<size_t>(slotCount)) {}

  // Runs from `from`, stepping over units before `limit` only, and fills `slots`
  // (slotCount entries) with the highest-priority match. Unless anchored, a new thread
  // starts at every position, below the threads already running, until a match is found;
  // while no thread runs, positions whose unit cannot begin a match are skipped.
  bool run(std::u16string_view text, size_t from, size_t limit, int startPc, bool anchored,
           const FirstUnits* first, int32_t* slots) {
    current_.clear();
    if (anchored) {
      std::fill(work_.begin(), work_.end(), -1);
      addThread(current_, startPc, text, from);
    }
    bool matched = false;
    for (size_t pos = from;; ++pos) {
      if (!anchored && !matched) {
        if (current_.pcs.empty() && first != nullptr) {
          while (pos < limit && !first->has(text[pos])) ++pos;
          if (pos >= limit) break;
        }
        std::fill(work_.begin(), work_.end(), -1);
        addThread(current_, startPc, text, pos);
      }
      const bool canStep = pos < limit && pos < text.size();
      if (current_.pcs.empty()) {
        if (anchored || matched || !canStep) break;
        current_.clear();  // forget what the failed start visited here
        continue;
      }
      const char16_t unit = canStep ? text[pos] : 0;
      next_.clear();
      for (size_t i = 0; i < current_.pcs.size(); ++i) {
        const Inst& inst = program_.insts[static_cast<size_t>(current_.pcs[i])];
        const int32_t* caps = current_.caps.data() + i * static_cast<size_t>(slotCount_);
        if (inst.op == Op::Match) {
          std::copy(caps, caps + slotCount_, slots);
          matched = true;
          break;  // threads after this one have lower priority
        }
        if (canStep && inst.op == Op::Set && setContains(sets_[static_cast<size_t>(inst.x)], unit)) {
          std::copy(caps, caps + slotCount_, work_.begin());
          addThread(next_, current_.pcs[i] + 1, text, pos + 1);
        }
      }
      if (!canStep) break;
      std::swap(current_, next_);
    }
    return matched;
  }

 private:
  struct ThreadList {
    explicit ThreadList(size_t programSize) : marks(programSize) {}
    void clear() {
      pcs.clear();
      caps.clear();
      marks.clear();
    }
    std::vector<int> pcs;
    std::vector<int32_t> caps;
    Marks marks;
  };

  struct StackEntry {
    int pc;
    int slot;  // >= 0: restore work_[slot] := value instead of exploring pc
    int32_t value;
  };

  // Follows the empty-width instructions from `pc` depth-first, higher priority first,
  // with an explicit stack; work_ holds the slots along the current path.
  void addThread(ThreadList& list, int pc0, std::u16string_view text, size_t pos) {
    stack_.clear();
    stack_.push_back({pc0, -1, 0});
    while (!stack_.empty()) {
      const StackEntry e = stack_.back();
      stack_.pop_back();
      if (e.slot >= 0) {
        work_[static_cast<size_t>(e.slot)] = e.value;
        continue;
      }
      if (!list.marks.visit(static_cast<size_t>(e.pc))) continue;
      const Inst& inst = program_.insts[static_cast<size_t>(e.pc)];
      switch (inst.op) {
        case Op::Jmp:
          stack_.push_back({inst.x, -1, 0});
          break;
        case Op::Split:
          stack_.push_back({inst.y, -1, 0});
          stack_.push_back({inst.x, -1, 0});
          break;
        case Op::Save:
          if (inst.x < slotCount_) {
            stack_.push_back({0, inst.x, work_[static_cast<size_t>(inst.x)]});
            work_[static_cast<size_t>(inst.x)] = static_cast<int32_t>(pos);
          }
          stack_.push_back({e.pc + 1, -1, 0});
          break;
        case Op::ClearGroups:
          for (int slot = 2 * inst.x; slot <= 2 * inst.y + 1 && slot < slotCount_; ++slot) {
            stack_.push_back({0, slot, work_[static_cast<size_t>(slot)]});
            work_[static_cast<size_t>(slot)] = -1;
          }
          stack_.push_back({e.pc + 1, -1, 0});
          break;
        case Op::Set:
        case Op::Match:
          list.pcs.push_back(e.pc);
          list.caps.insert(list.caps.end(), work_.begin(), work_.end());
          break;
        default:
          if (assertionHolds(inst.op, text, pos)) stack_.push_back({e.pc + 1, -1, 0});
          break;
      }
    }
  }

  const Program& program_;
  const std::vector<CharSet>& sets_;
  int slotCount_;
  ThreadList current_;
  ThreadList next_;
  std::vector<int32_t> work_;
  std::vector<StackEntry> stack_;
};

}  // namespace pv::regex_detail
