#pragma once
// Reading the members of a zip archive held in memory (the container of an xlsx workbook).
// The central directory is the only source of sizes (members written with a data
// descriptor carry none in their local header); zip64 records are understood. Every offset
// and size is checked against the buffer; inflated data is bounded.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

class ZipArchive {
 public:
  enum class Status { Ok, Broken, Encrypted, TooLarge };

  // Reads the central directory; status() says whether that worked.
  explicit ZipArchive(std::string_view bytes);
  Status status() const noexcept { return status_; }

  // Index of the member with this name, compared without letter case and with "\" taken
  // for "/" (some writers use either), or -1.
  int find(std::string_view name) const;
  const std::string& name(int index) const { return entries_[static_cast<size_t>(index)].name; }
  size_t size() const noexcept { return entries_.size(); }

  // The member's bytes, stored or deflated. Status of the extraction in `status`.
  std::string extract(int index, Status& status) const;

  // Members are never inflated past this (a 32-bit process has to hold them).
  static constexpr uint64_t kMaxMemberBytes = uint64_t{768} << 20;

 private:
  struct Entry {
    std::string name;
    uint16_t flags = 0, method = 0;
    uint64_t compressedSize = 0, size = 0, localOffset = 0;
  };
  bool readDirectory();

  std::string_view bytes_;
  Status status_ = Status::Broken;
  std::vector<Entry> entries_;
};

}  // namespace pv
