#pragma once
// PNG files written the way an encoder writes them, from scanlines given with their
// filter bytes: the reader's tests and its comparison with the system's decoder.
#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

namespace pv {

inline std::string be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

inline std::string chunk(const std::string& type, const std::string& body) {
  const std::string typed = type + body;
  const auto crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
  return be32(static_cast<std::uint32_t>(body.size())) + typed + be32(static_cast<std::uint32_t>(crc));
}

inline std::string deflated(const std::string& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  out.resize(size);
  return out;
}

// A picture as an encoder would write it: the scanlines (filter byte first) as given,
// deflated and cut into IDAT chunks of `idatSize` bytes.
struct Png {
  Png(std::uint32_t w, std::uint32_t h, int bitDepth, int type, int interlaced, std::string colours,
      std::string lines)
      : width(w), height(h), depth(bitDepth), colourType(type), interlace(interlaced),
        palette(std::move(colours)), scanlines(std::move(lines)) {}

  std::uint32_t width, height;
  int depth, colourType, interlace;
  std::string palette, scanlines, extraChunks;
  size_t idatSize = 1 << 20;

  std::string bytes() const {
    std::string ihdr = be32(width) + be32(height);
    ihdr += {static_cast<char>(depth), static_cast<char>(colourType), 0, 0, static_cast<char>(interlace)};
    std::string out("\x89PNG\r\n\x1A\n", 8);
    out += chunk("IHDR", ihdr);
    if (!palette.empty()) out += chunk("PLTE", palette);
    out += extraChunks;
    const std::string data = deflated(scanlines);
    for (size_t at = 0; at < data.size(); at += idatSize) out += chunk("IDAT", data.substr(at, idatSize));
    return out + chunk("IEND", "");
  }
};

inline std::string row(int filter, std::initializer_list<int> bytes) {
  std::string r(1, static_cast<char>(filter));
  for (int b : bytes) r += static_cast<char>(b);
  return r;
}

}  // namespace pv
