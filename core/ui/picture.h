#pragma once
// Pictures of the picture boxes and backgrounds: recognising their format and scaling
// decoded pixels to a box. Any thread may call.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace pv {

enum class PictureFormat { Unknown, Png, Jpeg };

// By the file's signature; the rest of the bytes is not checked.
PictureFormat pictureFormat(std::string_view bytes) noexcept;

// Resamples 32-bit pixels (4 channels of 8 bits, rows top-down, alpha premultiplied) from
// sw x sh to dw x dh. Reducing, each target pixel averages the source area it covers, so
// strong reductions (a 1920-pixel banner into a 300-pixel box) stay smooth; enlarging (a
// picture at 200 percent), it interpolates linearly between neighbouring source pixels. Empty result for
// empty sizes or a source shorter than sw x sh.
std::vector<std::uint32_t> resamplePixels(std::span<const std::uint32_t> source, int sw, int sh,
                                          int dw, int dh);

}  // namespace pv
