// The PNG reader: any bytes, as a picture from the service may be. What it reads is a
// picture of the size it names, every pixel opaque; what it refuses leaves no pixels.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/ui/png_reader.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pv::PngPixels picture;
  if (!pv::readOpaquePng(std::string_view(reinterpret_cast<const char*>(data), size), picture)) {
    FUZZ_CHECK(picture.pixels.empty());
    return 0;
  }
  FUZZ_CHECK(picture.width > 0 && picture.height > 0);
  FUZZ_CHECK(picture.pixels.size() == static_cast<std::size_t>(picture.width) * picture.height);
  for (std::uint32_t pixel : picture.pixels) FUZZ_CHECK(pixel >> 24 == 0xFF);
  return 0;
}
