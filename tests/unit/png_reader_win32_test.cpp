// Our PNG reader beside the system's decoder: for every picture the reader takes, the
// pixels must be those WIC gives as premultiplied BGRA, since either may draw a window.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/ui/png_reader.h"
#include "platform/win32/com_apartment.h"
#include "tests/unit/png_samples.h"

namespace pv {
namespace {

using Microsoft::WRL::ComPtr;

bool systemPixels(const std::string& bytes, PngPixels& out) {
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  auto* data = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
  UINT width = 0, height = 0;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(data, static_cast<DWORD>(bytes.size()))) ||
      FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                   0.0, WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&width, &height))) {
    return false;
  }
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.pixels.assign(static_cast<size_t>(width) * height, 0);
  return SUCCEEDED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                         reinterpret_cast<BYTE*>(out.pixels.data())));
}

// Scanlines of arbitrary bytes behind every filter in turn: whatever a row holds, both
// decoders must undo its filter alike. Bytes at `opaqueEvery` (alpha) stay 255 and
// unfiltered rows keep them so.
std::string noise(size_t rows, size_t rowBytes, std::uint32_t seed, bool filters, size_t opaqueEvery = 0) {
  std::string out;
  for (size_t y = 0; y < rows; ++y) {
    out += static_cast<char>(filters ? y % 5 : 0);
    for (size_t x = 0; x < rowBytes; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const bool alpha = opaqueEvery && x % opaqueEvery == opaqueEvery - 1;
      out += static_cast<char>(alpha ? 0xFF : seed >> 24);
    }
  }
  return out;
}

std::string colours(size_t count, std::uint32_t seed) { return noise(1, count * 3, seed, false).substr(1); }

TEST(PngReaderBesideWic, GivesTheSystemDecodersPixels) {
  const ComApartment apartment;
  Png rgbInPieces(61, 17, 8, 2, 0, {}, noise(17, 61 * 3, 1, true));
  rgbInPieces.idatSize = 7;
  const Png cases[] = {
      Png(61, 17, 8, 2, 0, {}, noise(17, 61 * 3, 1, true)),
      rgbInPieces,
      Png(9, 4, 8, 6, 0, {}, noise(4, 9 * 4, 2, false, 4)),
      Png(33, 9, 8, 3, 0, colours(256, 3), noise(9, 33, 4, true)),
      Png(13, 5, 4, 3, 0, colours(16, 5), noise(5, 7, 6, true)),
      Png(19, 3, 2, 3, 0, colours(4, 7), noise(3, 5, 8, true)),
      Png(19, 3, 1, 3, 0, colours(2, 9), noise(3, 3, 10, true)),
  };
  for (const Png& png : cases) {
    const std::string bytes = png.bytes();
    PngPixels ours, system;
    ASSERT_TRUE(readOpaquePng(bytes, ours)) << png.width << "x" << png.height << " type " << png.colourType;
    ASSERT_TRUE(systemPixels(bytes, system)) << png.width << "x" << png.height << " type " << png.colourType;
    EXPECT_EQ(ours.width, system.width);
    EXPECT_EQ(ours.height, system.height);
    EXPECT_EQ(ours.pixels, system.pixels) << png.width << "x" << png.height << " type " << png.colourType
                                          << " depth " << png.depth;
  }
}

}  // namespace
}  // namespace pv

#endif  // _WIN32
