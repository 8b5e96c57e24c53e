#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/ui/picture.h"

namespace pv {
namespace {

TEST(PictureFormat, KnowsPngAndJpegBySignature) {
  EXPECT_EQ(pictureFormat(std::string_view("\x89PNG\r\n\x1A\n\0\0", 10)), PictureFormat::Png);
  EXPECT_EQ(pictureFormat("\xFF\xD8\xFF\xDB"), PictureFormat::Jpeg);
  EXPECT_EQ(pictureFormat("\x89PNG\r\n"), PictureFormat::Unknown);  // cut short
  EXPECT_EQ(pictureFormat("GIF89a"), PictureFormat::Unknown);
  EXPECT_EQ(pictureFormat(""), PictureFormat::Unknown);
}

TEST(ResamplePixels, AveragesTheCoveredArea) {
  // 4 x 1 -> 2 x 1: each target pixel is the mean of two sources, channel by channel.
  const std::vector<std::uint32_t> row = {0xFF000000, 0xFF0000FF, 0x80FF0000, 0x80FF0000};
  EXPECT_EQ(resamplePixels(row, 4, 1, 2, 1),
            (std::vector<std::uint32_t>{0xFF000080, 0x80FF0000}));
  // 3 -> 2: the middle source pixel is split between both targets.
  const std::vector<std::uint32_t> three = {0, 0x000000FF, 0x000000FF};
  EXPECT_EQ(resamplePixels(three, 3, 1, 2, 1), (std::vector<std::uint32_t>{0x55, 0xFF}));
}

TEST(ResamplePixels, KeepsAFlatColourAtAnyScale) {
  const std::vector<std::uint32_t> flat(1920 * 4, 0xFF3366CC);
  for (auto [w, h] : {std::pair{300, 1}, std::pair{7, 3}, std::pair{2000, 9}}) {
    const auto out = resamplePixels(flat, 1920, 4, w, h);
    ASSERT_EQ(out.size(), static_cast<size_t>(w) * h);
    for (std::uint32_t p : out) ASSERT_EQ(p, 0xFF3366CCu) << w << "x" << h;
  }
}

TEST(ResamplePixels, EnlargesWithoutBlocks) {
  // 2 -> 4: the outer target pixels keep the end colours, the inner ones blend a quarter
  // and three quarters of each: a step of 0 to 255 becomes 0, 64, 191, 255, not 0, 0, 255, 255.
  const std::vector<std::uint32_t> step = {0, 0xFF};
  EXPECT_EQ(resamplePixels(step, 2, 1, 4, 1), (std::vector<std::uint32_t>{0, 0x40, 0xBF, 0xFF}));
  // 2 -> 3 in height: the middle row is the mean.
  EXPECT_EQ(resamplePixels(step, 1, 2, 1, 3), (std::vector<std::uint32_t>{0, 0x80, 0xFF}));
}

TEST(ResamplePixels, RefusesEmptySizesAndShortSources) {
  const std::vector<std::uint32_t> four(4, 1);
  EXPECT_TRUE(resamplePixels(four, 0, 4, 1, 1).empty());
  EXPECT_TRUE(resamplePixels(four, 2, 2, 0, 1).empty());
  EXPECT_TRUE(resamplePixels(four, 3, 2, 1, 1).empty());  // 6 pixels claimed, 4 given
  EXPECT_EQ(resamplePixels(four, 2, 2, 1, 1), (std::vector<std::uint32_t>{1}));
}

}  // namespace
}  // namespace pv
