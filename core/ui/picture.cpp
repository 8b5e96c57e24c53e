#include "core/ui/picture.h"

#include <algorithm>
#include <array>

namespace pv {
namespace {

struct Tap {
  int index;
  float weight;
};

// Enlarging: each target pixel blends the two source pixels whose centres lie either side
// of its own centre, by distance. (Covering shares would give each target pixel a single
// source pixel nearly everywhere: blocks, at 150 or 200 percent.)
std::vector<std::vector<Tap>> enlargingTaps(int sourceSize, int targetSize) {
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(targetSize));
  const double scale = static_cast<double>(sourceSize) / targetSize;
  for (int d = 0; d < targetSize; ++d) {
    const double centre = std::clamp((d + 0.5) * scale - 0.5, 0.0, sourceSize - 1.0);
    const int below = static_cast<int>(centre);
    const double far = centre - below;
    taps[static_cast<size_t>(d)].push_back({below, static_cast<float>(1.0 - far)});
    if (far > 0 && below + 1 < sourceSize) {
      taps[static_cast<size_t>(d)].push_back({below + 1, static_cast<float>(far)});
    }
  }
  return taps;
}

// For every target position along one axis, the source positions it covers and their
// shares of its area. Shares of one target add up to 1.
std::vector<std::vector<Tap>> axisTaps(int sourceSize, int targetSize) {
  if (targetSize > sourceSize) return enlargingTaps(sourceSize, targetSize);
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(targetSize));
  const double scale = static_cast<double>(sourceSize) / targetSize;
  for (int d = 0; d < targetSize; ++d) {
    const double from = d * scale;
    const double to = (d + 1) * scale;
    const int first = static_cast<int>(from);
    const int last = std::min(sourceSize - 1, static_cast<int>(to - 1e-9));
    for (int s = first; s <= last; ++s) {
      const double overlap = std::min<double>(to, s + 1) - std::max<double>(from, s);
      if (overlap > 0) {
        taps[static_cast<size_t>(d)].push_back({s, static_cast<float>(overlap / scale)});
      }
    }
  }
  return taps;
}

using Channels = std::array<float, 4>;

}  // namespace

PictureFormat pictureFormat(std::string_view bytes) noexcept {
  if (bytes.starts_with("\x89PNG\r\n\x1A\n")) return PictureFormat::Png;
  if (bytes.starts_with("\xFF\xD8\xFF")) return PictureFormat::Jpeg;
  return PictureFormat::Unknown;
}

std::vector<std::uint32_t> resamplePixels(std::span<const std::uint32_t> source, int sw, int sh,
                                          int dw, int dh) {
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return {};
  if (source.size() < static_cast<size_t>(sw) * static_cast<size_t>(sh)) return {};

  const auto xTaps = axisTaps(sw, dw);
  const auto yTaps = axisTaps(sh, dh);

  // Across first, into float channels, then down.
  std::vector<Channels> across(static_cast<size_t>(dw) * static_cast<size_t>(sh));
  for (int y = 0; y < sh; ++y) {
    const std::uint32_t* row = source.data() + static_cast<size_t>(y) * static_cast<size_t>(sw);
    for (int x = 0; x < dw; ++x) {
      Channels sum{};
      for (const Tap& t : xTaps[static_cast<size_t>(x)]) {
        const std::uint32_t p = row[t.index];
        for (int c = 0; c < 4; ++c) sum[c] += static_cast<float>((p >> (8 * c)) & 0xFF) * t.weight;
      }
      across[static_cast<size_t>(y) * static_cast<size_t>(dw) + static_cast<size_t>(x)] = sum;
    }
  }

  std::vector<std::uint32_t> out(static_cast<size_t>(dw) * static_cast<size_t>(dh));
  for (int y = 0; y < dh; ++y) {
    for (int x = 0; x < dw; ++x) {
      Channels sum{};
      for (const Tap& t : yTaps[static_cast<size_t>(y)]) {
        const Channels& p =
            across[static_cast<size_t>(t.index) * static_cast<size_t>(dw) + static_cast<size_t>(x)];
        for (int c = 0; c < 4; ++c) sum[c] += p[c] * t.weight;
      }
      std::uint32_t pixel = 0;
      for (int c = 0; c < 4; ++c) {
        const auto v = static_cast<std::uint32_t>(std::clamp(sum[c] + 0.5f, 0.0f, 255.0f));
        pixel |= v << (8 * c);
      }
      out[static_cast<size_t>(y) * static_cast<size_t>(dw) + static_cast<size_t>(x)] = pixel;
    }
  }
  return out;
}

}  // namespace pv
