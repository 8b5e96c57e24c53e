#pragma once
// Reading the members of a zip archive held in memory (the container of an xlsx workbook).
// The central directory is the only source of sizes (members written with a data
// descriptor carry none in their local header); zip64 records are understood. Every offset
// and size is checked against the buffer; inflated data is bounded.
#include <cstdint>
#include <memory>
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

  // A member read piece by piece, so that a large one never stands whole in memory. The
  // archive's bytes must outlive it.
  class Member {
   public:
    Member(const ZipArchive& zip, int index);
    ~Member();
    Member(const Member&) = delete;
    Member& operator=(const Member&) = delete;
    // Appends up to `most` further bytes to `out`; false when none was appended: the member
    // has ended, or it cannot be read (status() says which).
    bool read(std::string& out, size_t most);
    // Ok once the whole member has been read; Broken before that and on damage.
    Status status() const noexcept { return status_; }
    // The size the directory states: a hint, never a promise.
    uint64_t statedSize() const noexcept { return statedSize_; }

   private:
    struct Inflater;
    std::unique_ptr<Inflater> inflater_;  // none for a stored member
    std::string_view data_;
    size_t consumed_ = 0;
    uint64_t produced_ = 0, statedSize_ = 0;
    bool ended_ = false;
    Status status_ = Status::Broken;
  };

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
