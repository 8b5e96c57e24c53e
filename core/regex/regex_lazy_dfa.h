#pragma once
// The lazy DFA of the regular-expression engine: finds where the leftmost match ends (and,
// over the reversed pattern, where it begins) for every pattern without assertions.
// Internal to core/regex.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/regex/regex_machine_parts.h"
#include "core/regex/regex_program.h"

namespace pv::regex_detail {

// A DFA built state by state as the text asks for it. A state is the ordered list of the
// program's threads (consuming instructions and Match); in leftmost-first mode the threads
// after a Match are dropped, as a backtracking engine would never try them. The cache is
// bounded: when full it is emptied and rebuilt from the state in hand.
class LazyDfa {
 public:
  enum class Mode { LeftmostFirst, Longest };

  LazyDfa(const Program& program, const std::vector<CharSet>& sets, const Alphabet& alphabet,
          int startPc, Mode mode)
      : program_(program), sets_(sets), alphabet_(alphabet), startPc_(startPc), mode_(mode),
        marks_(program.insts.size()) {
    reset();
  }

  // End of the leftmost match beginning at or after `from`, or -1.
  long long scanForward(std::u16string_view text, size_t from) {
    int state = startState();
    long long end = matching_[static_cast<size_t>(state)] ? static_cast<long long>(from) : -1;
    const uint16_t* classOf = alphabet_.classOf.data();
    const size_t width = static_cast<size_t>(alphabet_.classCount);
    for (size_t i = from; i < text.size(); ++i) {
      const int cls = classOf[text[i]];
      int next = table_[static_cast<size_t>(state) * width + static_cast<size_t>(cls)];
      if (next < 0) next = step(state, cls);
      state = next;
      if (state == kDead) break;
      if (matching_[static_cast<size_t>(state)]) end = static_cast<long long>(i) + 1;
    }
    return end;
  }

  // Smallest begin >= `low` such that text[begin, end) matches, or -1 (reversed program).
  long long scanBackward(std::u16string_view text, size_t end, size_t low) {
    int state = startState();
    long long begin = matching_[static_cast<size_t>(state)] ? static_cast<long long>(end) : -1;
    const uint16_t* classOf = alphabet_.classOf.data();
    const size_t width = static_cast<size_t>(alphabet_.classCount);
    for (size_t i = end; i > low; --i) {
      const int cls = classOf[text[i - 1]];
      int next = table_[static_cast<size_t>(state) * width + static_cast<size_t>(cls)];
      if (next < 0) next = step(state, cls);
      state = next;
      if (state == kDead) break;
      if (matching_[static_cast<size_t>(state)]) begin = static_cast<long long>(i) - 1;
    }
    return begin;
  }

 private:
  static constexpr int kDead = 0;
  static constexpr size_t kCacheBytes = size_t{8} << 20;

  void reset() {
    index_.clear();
    keys_.clear();
    matching_.clear();
    table_.clear();
    bytes_ = 0;
    start_ = -1;
    ++generation_;
    threads_.clear();
    intern(false);  // the dead state: no thread left
  }

  int startState() {
    if (start_ < 0) {
      threads_.clear();
      marks_.clear();
      const bool matched = follow(startPc_);
      start_ = intern(matched);
    }
    return start_;
  }

  // Adds the consuming threads reachable from `pc` to threads_; true when a Match was
  // reached. In leftmost-first mode nothing after that Match is added.
  bool follow(int pc0) {
    stack_.clear();
    stack_.push_back(pc0);
    bool matched = false;
    while (!stack_.empty()) {
      const int pc = stack_.back();
      stack_.pop_back();
      if (!marks_.visit(static_cast<size_t>(pc))) continue;
      const Inst& inst = program_.insts[static_cast<size_t>(pc)];
      switch (inst.op) {
        case Op::Jmp:
          stack_.push_back(inst.x);
          break;
        case Op::Split:
          stack_.push_back(inst.y);
          stack_.push_back(inst.x);
          break;
        case Op::Save:
        case Op::ClearGroups:
          stack_.push_back(pc + 1);
          break;
        case Op::Set:
          threads_.push_back(pc);
          break;
        case Op::Match:
          threads_.push_back(pc);
          matched = true;
          if (mode_ == Mode::LeftmostFirst) return true;
          break;
        default:
          break;  // assertions never reach a DFA
      }
    }
    return matched;
  }

  int step(int state, int cls) {
    const std::string& key = *keys_[static_cast<size_t>(state)];
    const size_t count = key.size() / sizeof(int);
    std::vector<int> from(count);
    if (count != 0) std::memcpy(from.data(), key.data(), count * sizeof(int));
    const char16_t unit = alphabet_.representative[static_cast<size_t>(cls)];
    threads_.clear();
    marks_.clear();
    bool matched = false;
    for (int pc : from) {
      const Inst& inst = program_.insts[static_cast<size_t>(pc)];
      if (inst.op != Op::Set || !setContains(sets_[static_cast<size_t>(inst.x)], unit)) continue;
      if (follow(pc + 1)) {
        matched = true;
        if (mode_ == Mode::LeftmostFirst) break;
      }
    }
    const size_t width = static_cast<size_t>(alphabet_.classCount);
    const uint64_t generation = generation_;
    const int next = intern(matched);
    // When the cache was emptied to make room, the old state is gone and only the new one
    // stays.
    if (generation != generation_) return next;
    table_[static_cast<size_t>(state) * width + static_cast<size_t>(cls)] = next;
    return next;
  }

  // The state of threads_ (and the match flag), added when new.
  int intern(bool matched) {
    std::string key(threads_.size() * sizeof(int) + 1, '\0');
    if (!threads_.empty()) std::memcpy(key.data(), threads_.data(), threads_.size() * sizeof(int));
    key.back() = matched ? '\1' : '\0';
    if (threads_.empty() && !matched && !keys_.empty()) return kDead;
    if (auto it = index_.find(key); it != index_.end()) return it->second;
    const size_t width = static_cast<size_t>(alphabet_.classCount);
    const size_t cost = key.size() * 2 + width * sizeof(int) + 64;
    if (bytes_ + cost > kCacheBytes && keys_.size() > 1) {
      std::vector<int> keep = threads_;
      reset();
      threads_ = std::move(keep);
      return intern(matched);
    }
    const int id = static_cast<int>(keys_.size());
    auto [it, added] = index_.emplace(std::move(key), id);
    keys_.push_back(&it->first);
    matching_.push_back(matched ? 1 : 0);
    table_.resize(table_.size() + width, -1);
    bytes_ += cost;
    return id;
  }

  const Program& program_;
  const std::vector<CharSet>& sets_;
  const Alphabet& alphabet_;
  int startPc_;
  Mode mode_;
  Marks marks_;
  std::vector<int> threads_;
  std::vector<int> stack_;
  std::unordered_map<std::string, int> index_;
  std::vector<const std::string*> keys_;
  std::vector<uint8_t> matching_;
  std::vector<int> table_;
  size_t bytes_ = 0;
  int start_ = -1;
  uint64_t generation_ = 0;
};

}  // namespace pv::regex_detail
