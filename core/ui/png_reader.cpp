#include "core/ui/png_reader.h"

#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace pv {
namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1A\n", 8);
constexpr std::uint32_t kMaxSide = 16384;
// The header alone would otherwise have us set aside gigabytes before a byte of the picture
// arrives: a bigger one (no picture of ours, nor a service's QR code) is the system's.
constexpr std::uint64_t kMaxPixels = 4096 * 4096;

enum ColourType : std::uint8_t { kTruecolour = 2, kPalette = 3, kTruecolourAlpha = 6 };

std::uint32_t bigEndian32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

struct Header {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitDepth = 0;
  int colourType = 0;
  int bitsPerPixel = 0;
};

// Only the layouts named in the header are taken; everything else is left to the system.
bool readHeader(const unsigned char* data, std::uint32_t length, Header& h) {
  if (length != 13) return false;
  h.width = bigEndian32(data);
  h.height = bigEndian32(data + 4);
  h.bitDepth = data[8];
  h.colourType = data[9];
  const bool plain = data[10] == 0 && data[11] == 0 && data[12] == 0;  // deflate, filter 0, no interlace
  if (!plain || h.width == 0 || h.height == 0 || h.width > kMaxSide || h.height > kMaxSide ||
      std::uint64_t{h.width} * h.height > kMaxPixels) {
    return false;
  }
  switch (h.colourType) {
    case kTruecolour:
      h.bitsPerPixel = 24;
      return h.bitDepth == 8;
    case kTruecolourAlpha:
      h.bitsPerPixel = 32;
      return h.bitDepth == 8;
    case kPalette:
      h.bitsPerPixel = h.bitDepth;
      return h.bitDepth == 1 || h.bitDepth == 2 || h.bitDepth == 4 || h.bitDepth == 8;
    default:
      return false;
  }
}

int paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Undoes each row's filter in place; `rows` holds (1 + rowBytes) bytes a row, the first
// naming the filter. False for an unknown filter.
bool unfilter(std::string& rows, size_t rowBytes, size_t height, size_t step) {
  const size_t stride = rowBytes + 1;
  for (size_t y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<unsigned char*>(rows.data()) + y * stride;
    const unsigned char filter = row[0];
    unsigned char* cur = row + 1;
    const unsigned char* up = y > 0 ? cur - stride : nullptr;
    for (size_t x = 0; x < rowBytes; ++x) {
      const int left = x >= step ? cur[x - step] : 0;
      const int above = up ? up[x] : 0;
      const int corner = up && x >= step ? up[x - step] : 0;
      int predicted = 0;
      switch (filter) {
        case 0: break;
        case 1: predicted = left; break;
        case 2: predicted = above; break;
        case 3: predicted = (left + above) / 2; break;
        case 4: predicted = paeth(left, above, corner); break;
        default: return false;
      }
      cur[x] = static_cast<unsigned char>(cur[x] + predicted);
    }
  }
  return true;
}

class Inflation {
 public:
  explicit Inflation(std::string& out) : out_(out) {
    ready_ = inflateInit(&z_) == Z_OK;
    z_.next_out = reinterpret_cast<Bytef*>(out_.data());
    z_.avail_out = static_cast<uInt>(out_.size());
  }
  ~Inflation() {
    if (ready_) inflateEnd(&z_);
  }
  Inflation(const Inflation&) = delete;
  Inflation& operator=(const Inflation&) = delete;

  // False once the stream is broken or holds more than the picture needs.
  bool feed(const unsigned char* data, std::uint32_t length) {
    if (!ready_ || ended_) return ready_ && length == 0;
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = length;
    while (z_.avail_in > 0) {
      const int status = inflate(&z_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        ended_ = true;
        return z_.avail_in == 0;
      }
      // Z_BUF_ERROR here: the picture is full and the stream goes on.
      if (status != Z_OK) return false;
    }
    return true;
  }
  // The whole stream arrived and filled the picture exactly.
  bool complete() const { return ready_ && ended_ && z_.avail_out == 0; }

 private:
  std::string& out_;
  z_stream z_{};
  bool ready_ = false;
  bool ended_ = false;
};

}  // namespace

bool readOpaquePng(std::string_view bytes, PngPixels& out) {
  if (bytes.size() < kSignature.size() || bytes.substr(0, kSignature.size()) != kSignature) return false;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  size_t at = kSignature.size();

  Header header;
  bool haveHeader = false;
  std::array<std::uint32_t, 256> palette{};
  size_t paletteSize = 0;
  std::string rows;
  std::size_t rowBytes = 0;
  std::optional<Inflation> inflation;
  bool ended = false;

  while (!ended) {
    if (size - at < 12) return false;
    const std::uint32_t length = bigEndian32(data + at);
    if (length > size - at - 12) return false;
    const unsigned char* type = data + at + 4;
    const unsigned char* body = type + 4;
    const std::uint32_t checksum = bigEndian32(body + length);
#ifndef PV_FUZZING_TAKES_ANY_CHECKSUM
    if (crc32(crc32(0, nullptr, 0), type, length + 4) != checksum) return false;
#else
    (void)checksum;  // a mutated input would stop here, and the fuzzer never get past a chunk
#endif
    const std::string_view name(reinterpret_cast<const char*>(type), 4);
    at += 12 + size_t{length};

    if (!haveHeader) {
      if (name != "IHDR" || !readHeader(body, length, header)) return false;
      haveHeader = true;
      rowBytes = (size_t{header.width} * header.bitsPerPixel + 7) / 8;
      continue;
    }
    if (name == "PLTE") {
      if (length % 3 != 0 || length / 3 > 256 || inflation) return false;
      paletteSize = length / 3;
      for (size_t i = 0; i < paletteSize; ++i) {
        const unsigned char* rgb = body + 3 * i;
        palette[i] = 0xFF000000u | (std::uint32_t{rgb[0]} << 16) | (std::uint32_t{rgb[1]} << 8) | rgb[2];
      }
    } else if (name == "IDAT") {
      if (!inflation) {
        if (header.colourType == kPalette && paletteSize == 0) return false;
        rows.assign((rowBytes + 1) * header.height, '\0');
        inflation.emplace(rows);
      }
      if (!inflation->feed(body, length)) return false;
    } else if (name == "IEND") {
      ended = true;
    } else if (name == "tRNS") {
      return false;  // transparency: premultiplying is the system's
    } else if (name == "gAMA" || name == "cHRM" || name == "sRGB" || name == "iCCP" || name == "sBIT") {
      return false;  // what the system makes of a colour space is its own affair
    } else if ((type[0] & 0x20) == 0) {
      return false;  // a critical chunk this reader does not know
    }
  }
  if (!inflation || !inflation->complete()) return false;
  const size_t step = header.bitsPerPixel >= 8 ? size_t(header.bitsPerPixel / 8) : 1;
  if (!unfilter(rows, rowBytes, header.height, step)) return false;

  const size_t width = header.width, height = header.height;
  std::vector<std::uint32_t> pixels(width * height);
  for (size_t y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const unsigned char*>(rows.data()) + y * (rowBytes + 1) + 1;
    std::uint32_t* target = pixels.data() + y * width;
    for (size_t x = 0; x < width; ++x) {
      switch (header.colourType) {
        case kTruecolour: {
          const unsigned char* p = row + 3 * x;
          target[x] = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
          break;
        }
        case kTruecolourAlpha: {
          const unsigned char* p = row + 4 * x;
          if (p[3] != 0xFF) return false;
          target[x] = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
          break;
        }
        default: {
          const int depth = header.bitDepth;
          const size_t bit = x * size_t(depth);
          const int shift = 8 - depth - static_cast<int>(bit % 8);
          const unsigned index = (row[bit / 8] >> shift) & ((1u << depth) - 1);
          if (index >= paletteSize) return false;
          target[x] = palette[index];
          break;
        }
      }
    }
  }
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.pixels = std::move(pixels);
  return true;
}

}  // namespace pv
