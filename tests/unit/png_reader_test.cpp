#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/ui/png_reader.h"
#include "tests/unit/png_samples.h"

namespace pv {
namespace {

struct Case {
  const char* name;
  Png png;
  std::vector<std::uint32_t> want;
};

TEST(PngReader, ReadsOpaquePicturesOfEveryFilter) {
  // Two pixels a row, 3 rows; each filter predicts from the row above and the pixel left.
  // Unfiltered the picture is: (10,20,30) (40,50,60) / (15,25,35) (45,55,65) / (200,100,0) (0,100,200)
  const std::vector<std::uint32_t> picture = {0xFF0A141E, 0xFF28323C, 0xFF0F1923,
                                              0xFF2D3741, 0xFFC86400, 0xFF0064C8};
  const Case cases[] = {
      {"no filter", {2, 3, 8, 2, 0, {}, row(0, {10, 20, 30, 40, 50, 60}) + row(0, {15, 25, 35, 45, 55, 65}) +
                                            row(0, {200, 100, 0, 0, 100, 200})}, picture},
      {"sub", {2, 3, 8, 2, 0, {}, row(1, {10, 20, 30, 30, 30, 30}) + row(1, {15, 25, 35, 30, 30, 30}) +
                                      row(1, {200, 100, 0, 56, 0, 200})}, picture},
      {"up", {2, 3, 8, 2, 0, {}, row(2, {10, 20, 30, 40, 50, 60}) + row(2, {5, 5, 5, 5, 5, 5}) +
                                     row(2, {185, 75, 221, 211, 45, 135})}, picture},
      {"average", {2, 3, 8, 2, 0, {}, row(3, {10, 20, 30, 35, 40, 45}) + row(3, {10, 15, 20, 18, 18, 18}) +
                                          row(3, {193, 88, 239, 134, 23, 168})}, picture},
      {"paeth", {2, 3, 8, 2, 0, {}, row(4, {10, 20, 30, 30, 30, 30}) + row(4, {5, 5, 5, 5, 5, 5}) +
                                        row(4, {185, 75, 221, 56, 0, 165})}, picture},
      {"opaque alpha", {2, 1, 8, 6, 0, {}, row(0, {1, 2, 3, 255, 4, 5, 6, 255})}, {0xFF010203, 0xFF040506}},
      {"8-bit palette", {3, 1, 8, 3, 0, std::string("\x01\x02\x03\xFF\x00\x80", 6), row(0, {1, 0, 1})},
       {0xFFFF0080, 0xFF010203, 0xFFFF0080}},
      {"1-bit palette across a byte", {10, 1, 1, 3, 0, std::string("\x00\x00\x00\xFF\xFF\xFF", 6),
                                       row(0, {0b10100000, 0b01000000})},
       {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000,
        0xFF000000, 0xFF000000, 0xFFFFFFFF}},
      {"4-bit palette, sub filter by whole bytes", {3, 1, 4, 3, 0, std::string("\x00\x00\x00\x10\x20\x30\x40\x50\x60", 9),
                                                    row(1, {0x12, 0xEE})},
       {0xFF102030, 0xFF405060, 0xFF000000}},
  };
  for (const Case& c : cases) {
    PngPixels got;
    ASSERT_TRUE(readOpaquePng(c.png.bytes(), got)) << c.name;
    EXPECT_EQ(got.width, static_cast<int>(c.png.width)) << c.name;
    EXPECT_EQ(got.height, static_cast<int>(c.png.height)) << c.name;
    EXPECT_EQ(got.pixels, c.want) << c.name;
  }
}

TEST(PngReader, ReadsDataSpreadOverManyChunksBesideAncillaryOnes) {
  Png png{4, 4, 8, 2, 0, {}, {}};
  for (int y = 0; y < 4; ++y) png.scanlines += row(0, {y, 0, 0, y, 0, 0, y, 0, 0, y, 0, 0});
  png.idatSize = 3;
  png.extraChunks = chunk("tIME", std::string(7, '\1')) + chunk("tEXt", std::string("Comment\0x", 9));
  PngPixels got;
  ASSERT_TRUE(readOpaquePng(png.bytes(), got));
  EXPECT_EQ(got.pixels[15], 0xFF030000u);
}

TEST(PngReader, LeavesEverythingElseToTheSystem) {
  const Png rgb{1, 1, 8, 2, 0, {}, row(0, {1, 2, 3})};
  const std::string good = rgb.bytes();
  auto with = [](Png p, auto change) { change(p); return p.bytes(); };
  std::string badChecksum = good;
  badChecksum[8 + 8 + 13] ^= 1;  // the header's checksum
  std::string badFilter = with(rgb, [](Png& p) { p.scanlines[0] = 5; });
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"see-through pixel", with(Png{1, 1, 8, 6, 0, {}, row(0, {1, 2, 3, 254})}, [](Png&) {})},
      {"transparency chunk", with(rgb, [](Png& p) { p.extraChunks = chunk("tRNS", std::string(6, '\0')); })},
      {"grey", with(Png{1, 1, 8, 0, 0, {}, row(0, {7})}, [](Png&) {})},
      {"16-bit samples", with(Png{1, 1, 16, 2, 0, {}, row(0, {0, 1, 0, 2, 0, 3})}, [](Png&) {})},
      {"interlaced", with(rgb, [](Png& p) { p.interlace = 1; })},
      {"gamma", with(rgb, [](Png& p) { p.extraChunks = chunk("gAMA", be32(45455)); })},
      {"palette index past the palette", with(Png{1, 1, 8, 3, 0, std::string(3, '\0'), row(0, {1})}, [](Png&) {})},
      {"palette missing", with(Png{1, 1, 8, 3, 0, {}, row(0, {0})}, [](Png&) {})},
      {"unknown filter", badFilter},
      {"too little data", with(rgb, [](Png& p) { p.scanlines.pop_back(); })},
      {"too much data", with(rgb, [](Png& p) { p.scanlines += row(0, {1, 2, 3}); })},
      {"unknown critical chunk", with(rgb, [](Png& p) { p.extraChunks = chunk("ABCD", "x"); })},
      {"header checksum", badChecksum},
      {"cut before the end chunk", good.substr(0, good.size() - 12)},
      {"cut inside a chunk", good.substr(0, 40)},
      {"no signature", good.substr(8)},
      {"empty", ""},
      {"over 16384 pixels wide", with(rgb, [](Png& p) { p.width = 16385; })},
      // Whole and well formed, 2 MB of 1-bit rows: refused for its pixels, not its data.
      {"over 4096 x 4096 pixels in all",
       with(Png{16384, 1025, 1, 3, 0, std::string(3, '\0'), ""},
            [](Png& p) { for (int y = 0; y < 1025; ++y) p.scanlines += std::string(1 + 16384 / 8, '\0'); })},
  };
  for (const auto& c : cases) {
    PngPixels got;
    EXPECT_FALSE(readOpaquePng(c.bytes, got)) << c.name;
  }
}

}  // namespace
}  // namespace pv
