// Syntax tree to instruction program, and the alphabet of code-unit classes.
#include <algorithm>
#include <map>

#include "core/regex/regex_program.h"

namespace pv::regex_detail {
namespace {

class Compiler {
 public:
  Compiler(const Syntax& syntax, bool reversed, bool multiline)
      : syntax_(syntax), reversed_(reversed), multiline_(multiline) {}

  std::optional<Program> run() {
    Program program;
    if (!reversed_) {
      // Unanchored entry: try a match here first, else skip one unit and try again.
      emit({Op::Split, 3, 1});
      emit({Op::Set, 0});
      emit({Op::Jmp, 0});
      program.unanchoredStart = 0;
      program.start = 3;
      emit({Op::Save, 0});
    }
    node(syntax_.root);
    if (!reversed_) emit({Op::Save, 1});
    emit({Op::Match});
    if (overflow_) return std::nullopt;
    program.insts = std::move(insts_);
    return program;
  }

 private:
  int here() const { return static_cast<int>(insts_.size()); }

  int emit(Inst inst) {
    if (insts_.size() >= static_cast<size_t>(kMaxInstructions)) {
      overflow_ = true;
      return 0;
    }
    insts_.push_back(inst);
    return here() - 1;
  }

  // Recursion follows the tree, whose depth the parser bounds; the repeat expansions are
  // loops, and the instruction cap stops them early.
  void node(int id) {
    if (overflow_) return;
    const Node& n = syntax_.nodes[static_cast<size_t>(id)];
    switch (n.kind) {
      case Node::Kind::Empty:
        return;
      case Node::Kind::Set:
        emit({Op::Set, n.set});
        return;
      case Node::Kind::Concat:
        if (reversed_) {
          for (auto it = n.children.rbegin(); it != n.children.rend() && !overflow_; ++it) node(*it);
        } else {
          for (int child : n.children) node(child);
        }
        return;
      case Node::Kind::Alternate:
        alternate(n);
        return;
      case Node::Kind::Group:
        if (!reversed_) emit({Op::Save, 2 * n.group});
        node(n.children[0]);
        if (!reversed_) emit({Op::Save, 2 * n.group + 1});
        return;
      case Node::Kind::Assert:
        emit({assertOp(n.assertion)});
        return;
      case Node::Kind::Repeat:
        repeat(n);
        return;
    }
  }

  Op assertOp(AssertKind kind) const {
    switch (kind) {
      case AssertKind::LineStart:
        return multiline_ ? Op::LineStart : Op::TextStart;
      case AssertKind::LineEnd:
        return multiline_ ? Op::LineEnd : Op::TextEnd;
      case AssertKind::WordBoundary:
        return Op::WordBoundary;
      case AssertKind::NotWordBoundary:
        return Op::NotWordBoundary;
    }
    return Op::Match;
  }

  void alternate(const Node& n) {
    std::vector<int> exits;
    const size_t last = n.children.size() - 1;
    for (size_t i = 0; i < last && !overflow_; ++i) {
      const int split = emit({Op::Split});
      const int body = here();
      node(n.children[i]);
      exits.push_back(emit({Op::Jmp}));
      patch(split, body, here());
    }
    node(n.children[last]);
    for (int e : exits) patch(e, here(), 0);
  }

  void iteration(const Node& n) {
    if (!reversed_ && n.lastGroup >= n.firstGroup) emit({Op::ClearGroups, n.firstGroup, n.lastGroup});
    node(n.children[0]);
  }

  void repeat(const Node& n) {
    for (int i = 0; i < n.min && !overflow_; ++i) iteration(n);
    if (n.max < 0) {
      const int split = emit({Op::Split});
      const int body = here();
      iteration(n);
      emit({Op::Jmp, split});
      preferred(split, n.greedy, body, here());
      return;
    }
    // Each optional copy skips straight to the end, so a skipped copy ends the repetition.
    std::vector<std::pair<int, int>> optional;  // (split, body)
    for (int i = n.min; i < n.max && !overflow_; ++i) {
      const int split = emit({Op::Split});
      optional.emplace_back(split, here());
      iteration(n);
    }
    for (const auto& [split, body] : optional) preferred(split, n.greedy, body, here());
  }

  void preferred(int split, bool greedy, int body, int exit) {
    if (greedy) {
      patch(split, body, exit);
    } else {
      patch(split, exit, body);
    }
  }

  void patch(int at, int x, int y) {
    if (overflow_) return;
    insts_[static_cast<size_t>(at)].x = x;
    insts_[static_cast<size_t>(at)].y = y;
  }

  const Syntax& syntax_;
  bool reversed_;
  bool multiline_;
  bool overflow_ = false;
  std::vector<Inst> insts_;
};

}  // namespace

std::optional<Program> compileProgram(const Syntax& syntax, bool reversed, bool multiline) {
  if (reversed && syntax.hasAssertions) return std::nullopt;
  return Compiler(syntax, reversed, multiline).run();
}

std::optional<Alphabet> buildAlphabet(const std::vector<CharSet>& sets) {
  // Cut the code-unit space wherever some set starts or stops; units of one piece are
  // treated alike by every set, and pieces covered by the same sets share a class.
  std::vector<uint32_t> bounds{0, 0x10000};
  for (const CharSet& set : sets) {
    for (const CharRange& r : set) {
      bounds.push_back(r.lo);
      bounds.push_back(static_cast<uint32_t>(r.hi) + 1);
    }
  }
  std::sort(bounds.begin(), bounds.end());
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
  const size_t pieces = bounds.size() - 1;

  // sets[0] covers everything and tells no piece apart.
  constexpr size_t kMaxSignatureEntries = size_t{1} << 22;
  std::vector<std::vector<int>> coveredBy(pieces);
  size_t entries = 0;
  for (size_t s = 1; s < sets.size(); ++s) {
    for (const CharRange& r : sets[s]) {
      auto i = static_cast<size_t>(std::lower_bound(bounds.begin(), bounds.end(), r.lo) - bounds.begin());
      for (; i < pieces && bounds[i] <= r.hi; ++i) {
        coveredBy[i].push_back(static_cast<int>(s));
        if (++entries > kMaxSignatureEntries) return std::nullopt;
      }
    }
  }

  Alphabet alphabet;
  alphabet.classOf.assign(0x10000, 0);
  std::map<std::vector<int>, int> classes;
  for (size_t i = 0; i < pieces; ++i) {
    auto [it, added] = classes.emplace(std::move(coveredBy[i]), alphabet.classCount);
    if (added) {
      ++alphabet.classCount;
      alphabet.representative.push_back(static_cast<char16_t>(bounds[i]));
    }
    std::fill(alphabet.classOf.begin() + bounds[i], alphabet.classOf.begin() + bounds[i + 1],
              static_cast<uint16_t>(it->second));
  }
  return alphabet;
}

}  // namespace pv::regex_detail
