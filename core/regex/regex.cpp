// Two matchers over one program. A lazily built DFA finds where the leftmost match ends
// (forward) and where it begins (a second DFA over the reversed pattern, backwards from
// that end); it serves every pattern without assertions, which covers the long place-name
// alternation and the masked-address class. A Pike VM runs the rest: patterns with
// ^ $ \b \B, and the groups of a match already found. Both keep threads in priority
// order, so they pick the match a backtracking engine would, without its exponential
// worst case or its recursion per character.
#include "core/regex/regex.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/regex/regex_lazy_dfa.h"
#include "core/regex/regex_pike_vm.h"
#include "core/regex/regex_program.h"

namespace pv {

using namespace regex_detail;

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
