#include <gtest/gtest.h>

#include "core/ui/display_scale.h"
#include "core/ui/window_defs.h"

namespace pv {
namespace {

TEST(ScaleToDpi, RoundsLengthsToTheNearestPixel) {
  struct Case { int value, dpi, want; };
  const Case kCases[] = {
      {577, 96, 577},   {577, 144, 866},  // 865.5: halves go up
      {-3, 144, -5},    {0, 192, 0},      // negative halves go away from zero too
      {13, 120, 16},    {13, 192, 26},    // 16.25 and exact doubling
      {1, 120, 1},      {2, 120, 3},      // 1.25 down, 2.5 up
      {600, 0, 600},                      // an unknown density leaves the design size
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(scaleToDpi(c.value, c.dpi), c.want) << c.value << " at " << c.dpi;
  }
}

TEST(ScaleToDpi, KeepsEveryTableRectangleAt96Dpi) {
  for (Window window : kAllWindows) {
    for (const ControlDef& c : windowDef(window).controls) {
      EXPECT_EQ(scaleToDpi(c.rect, 96), c.rect) << c.name;
    }
  }
}

TEST(ScaleToDpi, NeighboursStillTouchAfterRounding) {
  // Two boxes side by side, the second starting where the first ends: with width and
  // height scaled on their own (3 * 1.25 = 3.75 -> 4 after a start of 1.25 -> 1), the
  // first would run one pixel into the second.
  const Rect first{1, 1, 3, 3};
  const Rect second{4, 1, 3, 3};
  for (int dpi : {120, 144, 168, 192}) {
    const Rect a = scaleToDpi(first, dpi), b = scaleToDpi(second, dpi);
    EXPECT_EQ(a.left + a.width, b.left) << dpi;
    EXPECT_EQ(a.top, b.top) << dpi;
  }
  EXPECT_EQ(scaleToDpi(Rect{313, 83, 385, 460}, 144), (Rect{470, 125, 577, 690}));
}

}  // namespace
}  // namespace pv
