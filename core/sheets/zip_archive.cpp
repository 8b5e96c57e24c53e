#include "core/sheets/zip_archive.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace pv {
namespace {

uint16_t le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}
uint32_t le32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(le16(b, at)) | (static_cast<uint32_t>(le16(b, at + 2)) << 16);
}
uint64_t le64(std::string_view b, size_t at) {
  return static_cast<uint64_t>(le32(b, at)) | (static_cast<uint64_t>(le32(b, at + 4)) << 32);
}

// True when [at, at + n) lies inside a buffer of `size` bytes.
bool fits(uint64_t at, uint64_t n, size_t size) { return at <= size && n <= size - at; }

std::string normalised(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c == '\\') c = '/';
    else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (!out.empty() && out[0] == '/') out.erase(0, 1);
  return out;
}

}  // namespace

ZipArchive::ZipArchive(std::string_view bytes) : bytes_(bytes) {
  status_ = readDirectory() ? Status::Ok : Status::Broken;
}

bool ZipArchive::readDirectory() {
  const size_t n = bytes_.size();
  if (n < 22) return false;
  // The end record sits within the last 22 + 65535 bytes (its comment is at most 65535).
  size_t eocd = std::string_view::npos;
  const size_t lowest = n - 22 > 65535 ? n - 22 - 65535 : 0;
  for (size_t at = n - 22 + 1; at-- > lowest;) {
    if (le32(bytes_, at) == 0x06054b50) {
      eocd = at;
      break;
    }
  }
  if (eocd == std::string_view::npos) return false;
  uint64_t count = le16(bytes_, eocd + 10);
  uint64_t dirSize = le32(bytes_, eocd + 12);
  uint64_t dirOffset = le32(bytes_, eocd + 16);
  if ((count == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) && eocd >= 20 &&
      le32(bytes_, eocd - 20) == 0x07064b50) {
    const uint64_t at = le64(bytes_, eocd - 20 + 8);
    if (!fits(at, 56, n) || le32(bytes_, static_cast<size_t>(at)) != 0x06064b50) return false;
    count = le64(bytes_, static_cast<size_t>(at) + 32);
    dirSize = le64(bytes_, static_cast<size_t>(at) + 40);
    dirOffset = le64(bytes_, static_cast<size_t>(at) + 48);
  }
  if (!fits(dirOffset, dirSize, n)) return false;
  // Each entry takes at least 46 bytes: a count beyond that is a lie.
  if (count > dirSize / 46) return false;
  entries_.reserve(static_cast<size_t>(count));
  size_t at = static_cast<size_t>(dirOffset);
  const size_t end = static_cast<size_t>(dirOffset + dirSize);
  for (uint64_t i = 0; i < count; ++i) {
    if (!fits(at, 46, end) || le32(bytes_, at) != 0x02014b50) return false;
    Entry e;
    e.flags = le16(bytes_, at + 8);
    e.method = le16(bytes_, at + 10);
    e.compressedSize = le32(bytes_, at + 20);
    e.size = le32(bytes_, at + 24);
    const size_t nameLen = le16(bytes_, at + 28), extraLen = le16(bytes_, at + 30),
                 commentLen = le16(bytes_, at + 32);
    e.localOffset = le32(bytes_, at + 42);
    if (!fits(at + 46, nameLen + extraLen + commentLen, end)) return false;
    e.name = normalised(bytes_.substr(at + 46, nameLen));
    // zip64: the extra field holds, in this order, those of the three values that are full.
    size_t x = at + 46 + nameLen;
    const size_t xEnd = x + extraLen;
    while (x + 4 <= xEnd) {
      const uint16_t id = le16(bytes_, x), len = le16(bytes_, x + 2);
      if (x + 4 + len > xEnd) break;
      if (id == 0x0001) {
        size_t v = x + 4;
        const size_t vEnd = v + len;
        for (uint64_t* field : {&e.size, &e.compressedSize, &e.localOffset}) {
          if (*field != 0xFFFFFFFF) continue;
          if (v + 8 > vEnd) break;
          *field = le64(bytes_, v);
          v += 8;
        }
      }
      x += 4 + len;
    }
    entries_.push_back(std::move(e));
    at += 46 + nameLen + extraLen + commentLen;
  }
  return true;
}

int ZipArchive::find(std::string_view name) const {
  const std::string want = normalised(name);
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].name == want) return static_cast<int>(i);
  }
  return -1;
}

struct ZipArchive::Member::Inflater {
  z_stream z{};
  bool ready = false;
  Inflater() { ready = inflateInit2(&z, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ready) inflateEnd(&z);
  }
};

ZipArchive::Member::Member(const ZipArchive& zip, int index) {
  ended_ = true;  // until the member is found readable
  if (index < 0 || static_cast<size_t>(index) >= zip.entries_.size()) return;
  const Entry& e = zip.entries_[static_cast<size_t>(index)];
  if (e.flags & 0x0001) {
    status_ = Status::Encrypted;
    return;
  }
  const std::string_view bytes = zip.bytes_;
  const size_t n = bytes.size();
  if (!fits(e.localOffset, 30, n) || le32(bytes, static_cast<size_t>(e.localOffset)) != 0x04034b50) return;
  const size_t local = static_cast<size_t>(e.localOffset);
  const uint64_t dataAt = uint64_t{local} + 30 + le16(bytes, local + 26) + le16(bytes, local + 28);
  if (!fits(dataAt, e.compressedSize, n)) return;
  if (e.method != 0 && e.method != 8) return;
  data_ = bytes.substr(static_cast<size_t>(dataAt), static_cast<size_t>(e.compressedSize));
  statedSize_ = e.size;
  if (e.method == 8) {
    inflater_ = std::make_unique<Inflater>();
    if (!inflater_->ready) return;
  }
  ended_ = false;
}

ZipArchive::Member::~Member() = default;

bool ZipArchive::Member::read(std::string& out, size_t most) {
  if (ended_ || most == 0) return false;
  if (!inflater_) {  // stored
    const std::string_view piece = data_.substr(consumed_, std::min(most, data_.size() - consumed_));
    consumed_ += piece.size();
    produced_ += piece.size();
    if (produced_ > kMaxMemberBytes) {
      ended_ = true;
      status_ = Status::TooLarge;
      return false;
    }
    out.append(piece);
    if (consumed_ == data_.size()) {
      ended_ = true;
      status_ = Status::Ok;
    }
    return !piece.empty();
  }
  z_stream& z = inflater_->z;
  const size_t had = out.size();
  out.resize(had + most);
  size_t produced = 0;
  int rc = Z_OK;
  while (produced < most) {
    const size_t inChunk = std::min<size_t>(data_.size() - consumed_, std::numeric_limits<uInt>::max());
    const size_t outChunk = std::min<size_t>(most - produced, std::numeric_limits<uInt>::max());
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data_.data() + consumed_));
    z.avail_in = static_cast<uInt>(inChunk);
    z.next_out = reinterpret_cast<Bytef*>(out.data() + had + produced);
    z.avail_out = static_cast<uInt>(outChunk);
    rc = inflate(&z, Z_NO_FLUSH);
    consumed_ += inChunk - z.avail_in;
    produced += outChunk - z.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && z.avail_out != 0) break;  // input ran out before the end
    if (rc != Z_OK && rc != Z_BUF_ERROR) break;
  }
  out.resize(had + produced);
  produced_ += produced;
  if (produced_ > kMaxMemberBytes) {
    ended_ = true;
    status_ = Status::TooLarge;
    out.resize(had);
    return false;
  }
  if (rc == Z_STREAM_END) {
    ended_ = true;
    status_ = Status::Ok;
  } else if (produced < most) {
    ended_ = true;  // damaged: status stays Broken
  }
  return produced > 0;
}

std::string ZipArchive::extract(int index, Status& status) const {
  Member member(*this, index);
  std::string out;
  // The stated size is only a hint for the first allocation, and a bounded one.
  out.reserve(static_cast<size_t>(std::clamp<uint64_t>(member.statedSize(), 4096, uint64_t{64} << 20)));
  while (member.read(out, std::max<size_t>(out.capacity() - out.size(), size_t{1} << 16))) {
  }
  status = member.status();
  if (status != Status::Ok) return {};
  return out;
}

}  // namespace pv
