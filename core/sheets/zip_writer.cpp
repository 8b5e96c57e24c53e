#include "core/sheets/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace pv {
namespace {

constexpr uint32_t kLocalHeader = 0x04034b50, kCentralHeader = 0x02014b50, kEndRecord = 0x06054b50;
constexpr uint16_t kVersion = 20;  // 2.0: deflate
constexpr uint16_t kDeflated = 8;
// Every member is dated 1980-01-01 00:00, the format's earliest day: the same rows give the
// same bytes, and no reader of a results file cares about the members' dates.
constexpr uint16_t kDosTime = 0, kDosDate = (1 << 5) | 1;
constexpr size_t kOutPiece = size_t{64} << 10;

void put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
void set32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

struct ZipWriter::Deflater {
  z_stream z{};
  bool ready = false;
  explicit Deflater(int level) {
    // Raw deflate (negative window bits): zip keeps its own headers and CRC.
    ready = deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  }
  ~Deflater() {
    if (ready) deflateEnd(&z);
  }
};

ZipWriter::ZipWriter(int level, uint64_t limit) : level_(std::clamp(level, 1, 9)), limit_(limit) {}

ZipWriter::~ZipWriter() = default;

void ZipWriter::fail() {
  ok_ = false;
  deflater_.reset();
  std::string().swap(out_);
  entries_.clear();
}

void ZipWriter::beginMember(std::string_view name) {
  if (!ok_ || open_ || name.size() > 0xFFFF || entries_.size() >= 0xFFFF) return fail();
  try {
    if (!deflater_) deflater_ = std::make_unique<Deflater>(level_);
    if (!deflater_->ready || deflateReset(&deflater_->z) != Z_OK) return fail();
    Entry e;
    e.name = std::string(name);
    e.localOffset = out_.size();
    if (e.localOffset > limit_) return fail();
    put32(out_, kLocalHeader);
    put16(out_, kVersion);
    put16(out_, 0);  // flags: sizes stand in this header, names are ASCII
    put16(out_, kDeflated);
    put16(out_, kDosTime);
    put16(out_, kDosDate);
    put32(out_, 0);  // CRC-32, compressed size and size: patched by endMember
    put32(out_, 0);
    put32(out_, 0);
    put16(out_, static_cast<uint32_t>(name.size()));
    put16(out_, 0);
    out_.append(name);
    entries_.push_back(std::move(e));
    open_ = true;
  } catch (const std::exception&) {  // bad_alloc, or a string past its largest size
    fail();
  }
}

void ZipWriter::deflateInto(std::string_view data, bool last) {
  z_stream& z = deflater_->z;
  Entry& e = entries_.back();
  // zlib counts in 32-bit units: a large piece goes in slices.
  constexpr size_t kSlice = size_t{1} << 30;
  do {
    const size_t slice = std::min(data.size(), kSlice);
    const bool finishing = last && slice == data.size();
    // Never with no data: zlib answers a null buffer with the CRC's starting value.
    if (slice) e.crc = static_cast<uint32_t>(crc32(e.crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(slice)));
    e.size += slice;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(slice);
    int rc = Z_OK;
    do {
      const size_t used = out_.size();
      out_.resize(used + kOutPiece);
      z.next_out = reinterpret_cast<Bytef*>(out_.data() + used);
      z.avail_out = static_cast<uInt>(kOutPiece);
      rc = deflate(&z, finishing ? Z_FINISH : Z_NO_FLUSH);
      out_.resize(used + kOutPiece - z.avail_out);
      if (rc == Z_STREAM_ERROR) return fail();
    } while (finishing ? rc != Z_STREAM_END : z.avail_out == 0);
    data.remove_prefix(slice);
    if (e.size > limit_ || out_.size() > limit_) return fail();
  } while (!data.empty());
}

void ZipWriter::write(std::string_view data) {
  if (!ok_) return;
  if (!open_) return fail();
  if (data.empty()) return;
  try {
    deflateInto(data, false);
  } catch (const std::exception&) {
    fail();
  }
}

void ZipWriter::endMember() {
  if (!ok_ || !open_) return fail();
  try {
    deflateInto({}, true);
  } catch (const std::exception&) {
    return fail();
  }
  if (!ok_) return;
  open_ = false;
  Entry& e = entries_.back();
  const uint64_t dataStart = e.localOffset + 30 + e.name.size();
  e.compressedSize = out_.size() - dataStart;
  set32(out_, static_cast<size_t>(e.localOffset) + 14, e.crc);
  set32(out_, static_cast<size_t>(e.localOffset) + 18, static_cast<uint32_t>(e.compressedSize));
  set32(out_, static_cast<size_t>(e.localOffset) + 22, static_cast<uint32_t>(e.size));
}

void ZipWriter::addMember(std::string_view name, std::string_view data) {
  beginMember(name);
  write(data);
  endMember();
}

std::string ZipWriter::finish() {
  if (!ok_ || open_) {
    fail();
    return {};
  }
  deflater_.reset();
  try {
    const uint64_t directoryOffset = out_.size();
    for (const Entry& e : entries_) {
      put32(out_, kCentralHeader);
      put16(out_, kVersion);  // made by: MS-DOS attributes, 2.0
      put16(out_, kVersion);
      put16(out_, 0);
      put16(out_, kDeflated);
      put16(out_, kDosTime);
      put16(out_, kDosDate);
      put32(out_, e.crc);
      put32(out_, static_cast<uint32_t>(e.compressedSize));
      put32(out_, static_cast<uint32_t>(e.size));
      put16(out_, static_cast<uint32_t>(e.name.size()));
      put16(out_, 0);  // extra field
      put16(out_, 0);  // comment
      put16(out_, 0);  // disk
      put16(out_, 0);  // internal attributes
      put32(out_, 0);  // external attributes
      put32(out_, static_cast<uint32_t>(e.localOffset));
      out_.append(e.name);
    }
    const uint64_t directorySize = out_.size() - directoryOffset;
    if (directoryOffset > limit_ || out_.size() + 22 > limit_) {
      fail();
      return {};
    }
    put32(out_, kEndRecord);
    put16(out_, 0);
    put16(out_, 0);
    put16(out_, static_cast<uint32_t>(entries_.size()));
    put16(out_, static_cast<uint32_t>(entries_.size()));
    put32(out_, static_cast<uint32_t>(directorySize));
    put32(out_, static_cast<uint32_t>(directoryOffset));
    put16(out_, 0);
  } catch (const std::exception&) {
    fail();
    return {};
  }
  entries_.clear();
  ok_ = false;  // spent
  return std::move(out_);
}

}  // namespace pv
