#include "core/batch/journal.h"

#include <algorithm>
#include <map>

#include "core/crypto/crypto.h"
#include "core/system/files.h"
#include "core/text/codepage.h"

namespace pv {
namespace {

constexpr size_t kHeadBytes = 64 * 1024;
constexpr std::string_view kPrefix = "run-";
constexpr std::string_view kExtension = ".jsonl";
constexpr int64_t kKeepSeconds = 30LL * 24 * 3600;
constexpr size_t kKeepCount = 50;

bool isJournalName(std::string_view name) { return name.starts_with(kPrefix) && name.ends_with(kExtension); }

std::string headerLine(const RunSource& source, int total) {
  JsonMutableDocument doc;
  JsonMutValue root = doc.createObjectRoot();
  (void)root.setInt("journal", 1);
  (void)root.setString("kind", gbkToUtf8(source.kind));
  (void)root.setString("source", gbkToUtf8(source.path));
  (void)root.setInt("size", source.size);
  (void)root.setInt("written", source.written);
  (void)root.setString("head", source.head);
  (void)root.setInt("total", total);
  return doc.serialize() + "\n";
}

bool sameSource(const JsonValue& header, const RunSource& source, int total) {
  return header.member("journal").toInt() == 1 && header.member("kind").equalsText(gbkToUtf8(source.kind)) &&
         header.member("source").equalsText(gbkToUtf8(source.path)) && header.member("size").toInt64() == source.size &&
         header.member("written").toInt64() == source.written && header.member("head").equalsText(source.head) &&
         header.member("total").toInt() == total;
}

}  // namespace

RunSource identifySource(std::string_view kind, std::string_view gbkPath) {
  RunSource source;
  source.kind = std::string(kind);
  source.path = std::string(gbkPath);
  const FileStamp stamp = fileStamp(gbkPath);
  source.size = stamp.size;
  source.written = stamp.written;
  source.head = CryptoToolkit().digestHex(readFileHead(gbkPath, kHeadBytes), CryptoAlgorithm::Sha256);
  return source;
}

std::optional<RunJournal> RunJournal::start(std::string_view folder, const RunSource& source, int total, ClockTime now) {
  if (!makeFolders(folder)) return std::nullopt;
  RunJournal journal(unusedFileName(folder, std::string(kPrefix) + localTimestamp(now), kExtension));
  journal.append(headerLine(source, total));
  if (!journal.healthy()) return std::nullopt;
  return journal;
}

RunJournal RunJournal::resume(std::string path, bool tornEnd) {
  RunJournal journal(std::move(path));
  // A line cut off by a crash must not swallow the first line written now.
  if (tornEnd) journal.append("\n");
  return journal;
}

void RunJournal::append(const std::string& line) {
  if (!appendFileBytes(path_, line)) healthy_ = false;
}

void RunJournal::record(size_t index, const OrderResult& result) {
  JsonMutableDocument doc;
  JsonMutValue root = doc.createObjectRoot();
  (void)root.setInt("i", static_cast<int64_t>(index));
  writeOrderResult(root, result);
  append(doc.serialize() + "\n");
}

void RunJournal::finish() { append("{\"done\":true}\n"); }

int UnfinishedRun::screened() const {
  return static_cast<int>(std::count_if(results.begin(), results.end(), [](const auto& r) { return r.second.screened(); }));
}

std::optional<UnfinishedRun> findUnfinishedRun(std::string_view folder, const RunSource& source, int total) {
  std::vector<FolderEntry> entries = listFiles(folder);
  // Newest first: the names carry the time, and the write time breaks a tie.
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
    return a.writtenSeconds != b.writtenSeconds ? a.writtenSeconds > b.writtenSeconds : a.name > b.name;
  });
  for (const FolderEntry& entry : entries) {
    if (!isJournalName(entry.name)) continue;
    const std::string path = std::string(folder) + entry.name;
    const std::string bytes = readFileBytes(path);
    const size_t firstEnd = bytes.find('\n');
    if (firstEnd == std::string::npos) continue;
    JsonDocument header;
    if (!header.parse(std::string_view(bytes).substr(0, firstEnd)) || !sameSource(header.root(), source, total)) continue;

    std::map<size_t, OrderResult> last;
    bool done = false;
    for (size_t at = firstEnd + 1; at < bytes.size();) {
      const size_t end = bytes.find('\n', at);
      if (end == std::string::npos) break;  // cut off by a crash: never written whole
      JsonDocument line;
      OrderResult result;
      if (line.parse(std::string_view(bytes).substr(at, end - at))) {
        if (line.member("done").toBool()) done = true;
        const int64_t index = line.member("i").toInt64();
        if (line.member("i") && index >= 0 && index < total && readOrderResult(line.root(), result))
          last[static_cast<size_t>(index)] = result;
      }
      at = end + 1;
    }
    if (done) return std::nullopt;  // the newest run of this file went through
    UnfinishedRun run{path, total, {last.begin(), last.end()}, bytes.back() != '\n'};
    if (run.screened() >= total) return std::nullopt;
    return run;
  }
  return std::nullopt;
}

void pruneJournals(std::string_view folder, ClockTime now) {
  std::vector<FolderEntry> entries = listFiles(folder);
  std::erase_if(entries, [](const FolderEntry& e) { return !isJournalName(e.name); });
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.writtenSeconds > b.writtenSeconds; });
  const int64_t nowSeconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i >= kKeepCount || nowSeconds - entries[i].writtenSeconds > kKeepSeconds)
      (void)removeFile(std::string(folder) + entries[i].name);
  }
}

}  // namespace pv
