#pragma once
// The run journal: every order's verdict written down as its batch is answered, one JSON
// object per line in a file of its own, so that a run cut short (stopped, the program
// closed or crashed, the network down) can be taken up where it ended. A line is written
// through before the next batch is sent; a last line cut off by a crash is ignored.
//
// First line: {"journal":1,"kind":K,"source":PATH,"size":N,"written":T,"head":DIGEST,"total":Y}
// Then one {"i":INDEX, result members…} per verdict (a later line for the same order wins),
// and {"done":true} once the run went through.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/batch/ledger.h"
#include "core/system/clock.h"

namespace pv {

// What makes a run's source the same file: where it is, its size, its write time and a
// digest of its first 64 KB, and how it was read (the free import or an ERP's profile).
struct RunSource {
  std::string kind;
  std::string path;  // GBK
  int64_t size = -1;
  int64_t written = -1;
  std::string head;
  friend bool operator==(const RunSource&, const RunSource&) = default;
};
RunSource identifySource(std::string_view kind, std::string_view gbkPath);

// A run's journal; every line goes to the file as it is recorded.
class RunJournal final : public VerdictLog {
 public:
  // A new journal in `folder` (GBK, ending in a separator) for a run of `total` orders.
  // nullopt when the folder cannot take it: the run goes on without one.
  static std::optional<RunJournal> start(std::string_view folder, const RunSource& source, int total, ClockTime now);
  // An earlier run's journal, to go on writing into; `tornEnd`: its last line was cut off.
  static RunJournal resume(std::string path, bool tornEnd);

  void record(size_t index, const OrderResult& result) override;
  // The run went through: the journal is never offered again.
  void finish();
  const std::string& path() const noexcept { return path_; }
  // False once a line could not be written.
  bool healthy() const noexcept { return healthy_; }

 private:
  explicit RunJournal(std::string path) : path_(std::move(path)) {}
  void append(const std::string& line);
  std::string path_;
  bool healthy_ = true;
};

// An earlier run of the same source that did not go through.
struct UnfinishedRun {
  std::string path;
  int total = 0;
  std::vector<std::pair<size_t, OrderResult>> results;  // the last result of each order
  bool tornEnd = false;                                 // its last line was cut off
  int screened() const;  // orders with a verdict (ticked or not)
};
// The newest unfinished journal in `folder` for `source` with `total` orders, if any.
std::optional<UnfinishedRun> findUnfinishedRun(std::string_view folder, const RunSource& source, int total);

// Removes the journals older than 30 days, and all but the newest 50.
void pruneJournals(std::string_view folder, ClockTime now);

}  // namespace pv
