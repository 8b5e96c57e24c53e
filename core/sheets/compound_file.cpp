#include "core/sheets/compound_file.h"

#include <algorithm>

namespace pv {
namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kMaxRegular = 0xFFFFFFFA;

uint16_t le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}
uint32_t le32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(le16(b, at)) | (static_cast<uint32_t>(le16(b, at + 2)) << 16);
}

char16_t foldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool sameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

CompoundFile::CompoundFile(std::string_view bytes) : bytes_(bytes) { ok_ = open(); }

// Follows a chain through `table`; a sector out of the table, or one seen before (a loop),
// makes it broken.
bool CompoundFile::chain(const std::vector<uint32_t>& table, uint32_t start,
                         std::vector<uint32_t>& out) const {
  out.clear();
  std::vector<bool> seen(table.size(), false);
  for (uint32_t s = start; s != kEndOfChain;) {
    if (s >= table.size() || seen[s]) return false;
    seen[s] = true;
    out.push_back(s);
    s = table[s];
  }
  return true;
}

bool CompoundFile::open() {
  if (bytes_.size() < 512 || !bytes_.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return false;
  const uint16_t shift = le16(bytes_, 30), miniShift = le16(bytes_, 32);
  if ((shift != 9 && shift != 12) || miniShift != 6) return false;
  sectorSize_ = 1u << shift;
  miniSectorSize_ = 1u << miniShift;
  miniCutoff_ = le32(bytes_, 56);
  const uint32_t fatSectors = le32(bytes_, 44), directoryStart = le32(bytes_, 48),
                 miniFatStart = le32(bytes_, 60), difatStart = le32(bytes_, 68);
  // Sector n lies at (n + 1) * sector size; a sector past the end of the file does not exist.
  sectorCount_ = bytes_.size() / sectorSize_ > 0 ? bytes_.size() / sectorSize_ - 1 : 0;
  if (bytes_.size() % sectorSize_) ++sectorCount_;  // a last sector cut short still counts
  if (fatSectors > sectorCount_) return false;

  // The allocation table's own sectors: 109 in the header, the rest in the DIFAT chain
  // (files over ~7 MB), each DIFAT sector ending in the next one's number.
  std::vector<uint32_t> fatSectorList;
  for (size_t i = 0; i < 109 && fatSectorList.size() < fatSectors; ++i) {
    fatSectorList.push_back(le32(bytes_, 76 + 4 * i));
  }
  const uint32_t perDifat = sectorSize_ / 4 - 1;
  uint32_t difat = difatStart;
  // The stated DIFAT count is not trusted: a chain longer than the file has sectors loops.
  for (uint64_t k = 0; fatSectorList.size() < fatSectors; ++k) {
    if (k > sectorCount_ || difat >= sectorCount_) return false;
    const uint64_t at = (uint64_t{difat} + 1) * sectorSize_;
    if (at + sectorSize_ > bytes_.size()) return false;
    for (uint32_t i = 0; i < perDifat && fatSectorList.size() < fatSectors; ++i) {
      fatSectorList.push_back(le32(bytes_, static_cast<size_t>(at) + 4 * i));
    }
    difat = le32(bytes_, static_cast<size_t>(at) + 4 * perDifat);
  }
  fat_.reserve(static_cast<size_t>(fatSectors) * (sectorSize_ / 4));
  for (uint32_t s : fatSectorList) {
    if (s >= sectorCount_) return false;
    const uint64_t at = (uint64_t{s} + 1) * sectorSize_;
    if (at + sectorSize_ > bytes_.size()) return false;
    for (uint32_t i = 0; i < sectorSize_ / 4; ++i) fat_.push_back(le32(bytes_, static_cast<size_t>(at) + 4 * i));
  }
  // Entries for sectors that do not exist are cut off, so no chain can reach them.
  if (fat_.size() > sectorCount_) fat_.resize(static_cast<size_t>(sectorCount_));

  std::string directory;
  if (!readChain(directoryStart, UINT64_MAX, directory)) return false;
  for (size_t at = 0; at + 128 <= directory.size(); at += 128) {
    Entry e;
    const size_t nameBytes = std::min<size_t>(le16(directory, at + 64), 64);
    for (size_t i = 0; i + 1 < nameBytes; i += 2) {
      const char16_t c = le16(directory, at + i);
      if (c == 0) break;
      e.name.push_back(c);
    }
    e.type = static_cast<uint8_t>(directory[at + 66]);
    e.start = le32(directory, at + 116);
    e.size = le32(directory, at + 120);
    if (sectorSize_ == 4096) e.size |= uint64_t{le32(directory, at + 124)} << 32;
    entries_.push_back(std::move(e));
  }
  if (entries_.empty() || entries_[0].type != 5) return false;

  // The mini stream (small streams live there) is the root entry's chain.
  std::vector<uint32_t> sectors;
  if (miniFatStart <= kMaxRegular && chain(fat_, miniFatStart, sectors)) {
    std::string table;
    if (readChain(miniFatStart, UINT64_MAX, table)) {
      for (size_t at = 0; at + 4 <= table.size(); at += 4) miniFat_.push_back(le32(table, at));
    }
  }
  if (entries_[0].start <= kMaxRegular && !readChain(entries_[0].start, entries_[0].size, miniStream_))
    miniStream_.clear();
  return true;
}

bool CompoundFile::readChain(uint32_t start, uint64_t size, std::string& out) const {
  std::vector<uint32_t> sectors;
  if (!chain(fat_, start, sectors)) return false;
  const uint64_t available = uint64_t{sectors.size()} * sectorSize_;
  const uint64_t want = std::min(size, available);
  out.clear();
  out.reserve(static_cast<size_t>(want));
  for (uint32_t s : sectors) {
    if (out.size() >= want) break;
    const uint64_t at = (uint64_t{s} + 1) * sectorSize_;
    if (at >= bytes_.size()) return false;
    const uint64_t n = std::min<uint64_t>({sectorSize_, want - out.size(), bytes_.size() - at});
    out.append(bytes_.substr(static_cast<size_t>(at), static_cast<size_t>(n)));
  }
  return size == UINT64_MAX || out.size() == want;
}

const CompoundFile::Entry* CompoundFile::findEntry(std::u16string_view name) const {
  for (const Entry& e : entries_) {
    if (e.type == 2 && sameName(e.name, name)) return &e;
  }
  return nullptr;
}

bool CompoundFile::hasStream(std::u16string_view name) const { return findEntry(name) != nullptr; }

bool CompoundFile::readStream(std::u16string_view name, std::string& out) const {
  const Entry* e = findEntry(name);
  if (!e) return false;
  if (e->size >= miniCutoff_) return readChain(e->start, e->size, out);
  // A small stream: its chain runs through the mini allocation table over the mini stream.
  std::vector<uint32_t> sectors;
  out.clear();
  if (!chain(miniFat_, e->start, sectors)) return false;
  for (uint32_t s : sectors) {
    if (out.size() >= e->size) break;
    const uint64_t at = uint64_t{s} * miniSectorSize_;
    if (at + miniSectorSize_ > miniStream_.size()) return false;
    out.append(miniStream_, static_cast<size_t>(at),
               static_cast<size_t>(std::min<uint64_t>(miniSectorSize_, e->size - out.size())));
  }
  return out.size() == e->size;
}

}  // namespace pv
