#pragma once
// Where a length or rectangle of the window tables (96-dpi pixels) lands on a display of
// another density. The tables stay in 96-dpi units; the Win32 adapter scales at the moment
// it places, sizes or draws something, so a window can be laid out again when it moves to
// a monitor of another density. Any thread may call.
#include "core/ui/window_defs.h"

namespace pv {

inline constexpr int kDesignDpi = 96;

// `value` 96-dpi pixels at `dpi`, rounded to the nearest pixel, halves away from zero
// (as MulDiv does), so that 96 dpi gives every value back unchanged.
constexpr int scaleToDpi(int value, int dpi) noexcept {
  if (dpi <= 0 || dpi == kDesignDpi) return value;
  const long long product = static_cast<long long>(value) * dpi;
  const long long half = kDesignDpi / 2;
  return static_cast<int>(product >= 0 ? (product + half) / kDesignDpi
                                       : -((-product + half) / kDesignDpi));
}

// The edges are scaled, not the width and height: two controls that touch at 96 dpi still
// touch, and one that ends where another begins never overlaps it after rounding.
constexpr Rect scaleToDpi(const Rect& r, int dpi) noexcept {
  const int left = scaleToDpi(r.left, dpi);
  const int top = scaleToDpi(r.top, dpi);
  return {left, top, scaleToDpi(r.left + r.width, dpi) - left,
          scaleToDpi(r.top + r.height, dpi) - top};
}

}  // namespace pv
