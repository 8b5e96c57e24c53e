// Two matchers over one program. A lazily built DFA finds where the leftmost match ends
// (forward) and where it begins (a second DFA over the reversed pattern, backwards from
// that end); it serves every pattern without assertions, which covers the long place-name
// alternation and the masked-address class. A Pike VM runs the rest: patterns with
// ^ $ \b \B, and the groups of a match already found. Both keep threads in priority
// order, so they pick the match a backtracking engine would, without its exponential
// worst case or its recursion per character.
#include "core/regex/regex.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/regex/regex_program.h"

namespace pv {

using namespace regex_detail;

namespace {

bool assertionHolds(Op op, std::u16string_view text, size_t pos) noexcept {
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

}  // namespace

struct Regex::Impl {
  Syntax syntax;
  Program forward;
  std::optional<Program> backward;
  std::optional<Alphabet> alphabet;
  std::optional<LazyDfa> forwardDfa;
  std::optional<LazyDfa> backwardDfa;
  std::optional<PikeVm> spanVm;   // whole match only
  std::optional<PikeVm> groupVm;  // every group
  std::optional<FirstUnits> firstUnits;
  std::vector<int32_t> slots;
};

int RegexMatches::size() const noexcept {
  const size_t stride = 2 * static_cast<size_t>(groupCount_ + 1);
  return static_cast<int>(slots_.size() / stride);
}

RegexSpan RegexMatches::span(int match, int group) const noexcept {
  if (match < 0 || match >= size() || group < 0 || group > groupCount_) return {};
  const size_t at = static_cast<size_t>(match) * 2 * static_cast<size_t>(groupCount_ + 1) +
                    2 * static_cast<size_t>(group);
  const RegexSpan s{slots_[at], slots_[at + 1]};
  return s.begin < 0 || s.end < 0 ? RegexSpan{} : s;
}

Regex::Regex() noexcept = default;
Regex::~Regex() = default;
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;

Regex Regex::compile(std::u16string_view pattern, RegexOptions options) {
  Regex regex;
  std::optional<Syntax> syntax = parsePattern(pattern, options.ignoreCase);
  if (!syntax) return regex;
  std::optional<Program> forward = compileProgram(*syntax, false, options.multiline);
  if (!forward) return regex;
  auto impl = std::make_unique<Impl>();
  impl->syntax = std::move(*syntax);
  impl->forward = std::move(*forward);
  if (impl->syntax.hasAssertions) {
    impl->firstUnits = FirstUnits::of(impl->forward, impl->syntax.sets);
  } else {
    impl->backward = compileProgram(impl->syntax, true, options.multiline);
    impl->alphabet = buildAlphabet(impl->syntax.sets);
    if (!impl->backward || !impl->alphabet) return regex;
  }
  regex.impl_ = std::move(impl);
  return regex;
}

bool Regex::valid() const noexcept { return impl_ != nullptr; }

int Regex::groupCount() const noexcept { return impl_ ? impl_->syntax.groupCount : 0; }

bool Regex::search(std::u16string_view text, size_t from, RegexMatches& out, bool withGroups) {
  if (!impl_ || from > text.size() || text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    return false;
  }
  Impl& m = *impl_;
  const int groups = m.syntax.groupCount;
  if (out.slots_.empty()) out.groupCount_ = groups;
  const int slotCount = withGroups ? 2 * (groups + 1) : 2;
  m.slots.assign(static_cast<size_t>(slotCount), -1);
  auto vm = [&]() -> PikeVm& {
    std::optional<PikeVm>& slot = withGroups && groups > 0 ? m.groupVm : m.spanVm;
    if (!slot) slot.emplace(m.forward, m.syntax.sets, slotCount);
    return *slot;
  };

  if (m.alphabet) {
    if (!m.forwardDfa) {
      m.forwardDfa.emplace(m.forward, m.syntax.sets, *m.alphabet, m.forward.unanchoredStart,
                           LazyDfa::Mode::LeftmostFirst);
      m.backwardDfa.emplace(*m.backward, m.syntax.sets, *m.alphabet, m.backward->start,
                            LazyDfa::Mode::Longest);
    }
    const long long end = m.forwardDfa->scanForward(text, from);
    if (end < 0) return false;
    const long long begin = m.backwardDfa->scanBackward(text, static_cast<size_t>(end), from);
    if (begin < 0) return false;
    if (slotCount > 2) {
      if (!vm().run(text, static_cast<size_t>(begin), static_cast<size_t>(end), m.forward.start,
                    true, nullptr, m.slots.data())) {
        return false;
      }
    }
    m.slots[0] = static_cast<int32_t>(begin);
    m.slots[1] = static_cast<int32_t>(end);
  } else if (!vm().run(text, from, text.size(), m.forward.start, false,
                       m.firstUnits ? &*m.firstUnits : nullptr, m.slots.data())) {
    return false;
  }
  // Without groups asked for, their slots stay unset: every match has the same stride.
  out.slots_.insert(out.slots_.end(), m.slots.begin(), m.slots.end());
  out.slots_.insert(out.slots_.end(), 2 * static_cast<size_t>(groups + 1) - m.slots.size(), -1);
  return true;
}

RegexMatches Regex::findAll(std::u16string_view text, bool global, bool withGroups) {
  RegexMatches matches;
  matches.groupCount_ = groupCount();
  size_t from = 0;
  while (from <= text.size() && search(text, from, matches, withGroups)) {
    if (!global) break;
    const RegexSpan last = matches.span(matches.size() - 1);
    from = static_cast<size_t>(last.end) + (last.end == last.begin ? 1 : 0);
  }
  return matches;
}

}  // namespace pv
