#pragma once
// Writing a zip archive into memory (the container of an xlsx workbook): deflated members,
// each with its CRC-32 and sizes in its local header (patched in once the member is
// complete, so no data descriptor is needed), the central directory and the end record.
// No zip64: an archive whose members, offsets or total would pass 4 GB - 1 byte, or that
// holds more than 65,535 members, is refused, and finish() gives empty bytes. Member names
// are ASCII. One thread at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

class ZipWriter {
 public:
  // `level`: zlib's deflate level, 1 (fastest) to 9. `limit`: the largest size or offset
  // the archive may reach; zip's own 0xFFFFFFFF unless a test wants to reach it cheaply.
  explicit ZipWriter(int level = 6, uint64_t limit = 0xFFFFFFFF);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // A member written in pieces: begin, any number of write calls, end. The data is deflated
  // as it arrives, so a large member never stands whole in memory uncompressed.
  void beginMember(std::string_view name);
  void write(std::string_view data);
  void endMember();
  // A whole member at once.
  void addMember(std::string_view name, std::string_view data);

  // False once anything failed (a limit passed, zlib refused, memory ran out); every later
  // call does nothing.
  bool ok() const noexcept { return ok_; }
  // The archive's bytes; empty when !ok(). The writer is spent afterwards.
  std::string finish();

 private:
  struct Deflater;
  struct Entry {
    std::string name;
    uint32_t crc = 0;
    uint64_t size = 0, compressedSize = 0, localOffset = 0;
  };
  void deflateInto(std::string_view data, bool last);
  void fail();

  int level_;
  uint64_t limit_;
  bool ok_ = true;
  bool open_ = false;  // a member has begun and not ended
  std::unique_ptr<Deflater> deflater_;
  std::string out_;
  std::vector<Entry> entries_;
};

}  // namespace pv
