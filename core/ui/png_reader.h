#pragma once
// Our own reading of the PNG pictures that need no colour work: opaque, 8 bits a sample.
// The program's pictures are such, and reading them here spares a start-up the system's
// imaging libraries and the COM apartment they live in. Any thread may call.
#include <cstdint>
#include <string_view>
#include <vector>

namespace pv {

struct PngPixels {
  int width = 0;
  int height = 0;
  // 0xFFRRGGBB, rows top-down: what the system's decoder gives for the same picture as
  // premultiplied BGRA.
  std::vector<std::uint32_t> pixels;
};

// The pixels of a PNG whose every pixel is opaque: truecolour or truecolour with alpha at 8
// bits a sample, or a palette of 1, 2, 4 or 8 bits an index, not interlaced, without a
// transparency chunk or colour-space chunk. False for anything else (grey pictures, 16-bit
// samples, interlacing, a pixel not fully opaque, gamma or a colour profile, a chunk whose
// checksum fails, data cut short, more than 16384 pixels a side or 4096 × 4096 in all): such
// bytes are the system decoder's to judge.
[[nodiscard]] bool readOpaquePng(std::string_view bytes, PngPixels& out);

}  // namespace pv
