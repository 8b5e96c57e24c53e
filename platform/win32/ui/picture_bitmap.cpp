#include "platform/win32/ui/picture_bitmap.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "core/ui/display_scale.h"
#include "core/ui/picture.h"
#include "core/ui/png_reader.h"
#include "platform/win32/ui/resource_ids.h"

namespace pv {
namespace {

using Microsoft::WRL::ComPtr;

// Pixels of the decoded picture, premultiplied BGRA.
bool decodePixels(std::string_view bytes, std::vector<std::uint32_t>& pixels, UINT& width,
                  UINT& height) {
  if (pictureFormat(bytes) == PictureFormat::Unknown) return false;
  // Our own pictures, and most others, are opaque PNGs: read without loading the imaging
  // libraries (tens of milliseconds of a start under Wine), with WIC's very pixels.
  if (PngPixels png; readOpaquePng(bytes, png)) {
    width = static_cast<UINT>(png.width);
    height = static_cast<UINT>(png.height);
    pixels = std::move(png.pixels);
    return true;
  }
  if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory)))) {
    return false;
  }
  ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(&stream))) return false;
  // WIC reads the buffer but its signature is not const.
  auto* data = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
  if (FAILED(stream->InitializeFromMemory(data, static_cast<DWORD>(bytes.size())))) return false;
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad,
                                              &decoder))) {
    return false;
  }
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame))) return false;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(&converter))) return false;
  if (FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    return false;
  }
  if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0) return false;
  // A hostile header must not make us allocate gigabytes: no picture of ours is near this.
  if (width > 16384 || height > 16384) return false;
  pixels.assign(static_cast<size_t>(width) * height, 0);
  const UINT stride = width * 4;
  return SUCCEEDED(converter->CopyPixels(nullptr, stride, stride * height,
                                         reinterpret_cast<BYTE*>(pixels.data())));
}

UniqueBitmap dibFromPixels(const std::vector<std::uint32_t>& pixels, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return {};
  std::memcpy(bits, pixels.data(), pixels.size() * sizeof(std::uint32_t));
  return bitmap;
}

int assetResourceId(Asset asset) {
  switch (asset) {
    case Asset::LoginBackground: return PV_IDR_LOGIN_BACKGROUND;
    case Asset::MainBackground: return PV_IDR_MAIN_BACKGROUND;
    case Asset::Banner: return PV_IDR_BANNER;
    case Asset::QqContactCard: return PV_IDR_QQ_CONTACT_CARD;
    case Asset::WechatContactCard: return PV_IDR_WECHAT_CONTACT_CARD;
    case Asset::MiniProgramCode: return PV_IDR_MINI_PROGRAM_CODE;
    case Asset::None: case Asset::Icon: break;
  }
  return 0;
}

}  // namespace

UniqueBitmap decodePicture(std::string_view bytes, int width, int height) {
  std::vector<std::uint32_t> pixels;
  UINT w = 0, h = 0;
  if (!decodePixels(bytes, pixels, w, h)) return {};
  const int sw = static_cast<int>(w), sh = static_cast<int>(h);
  if (width <= 0 || height <= 0 || (width == sw && height == sh)) {
    return dibFromPixels(pixels, sw, sh);
  }
  return dibFromPixels(resamplePixels(pixels, sw, sh, width, height), width, height);
}

UniqueBitmap decodePictureAtDpi(std::string_view bytes, int dpi) {
  std::vector<std::uint32_t> pixels;
  UINT w = 0, h = 0;
  if (!decodePixels(bytes, pixels, w, h)) return {};
  const int sw = static_cast<int>(w), sh = static_cast<int>(h);
  const int dw = scaleToDpi(sw, dpi), dh = scaleToDpi(sh, dpi);
  if (dw == sw && dh == sh) return dibFromPixels(pixels, sw, sh);
  return dibFromPixels(resamplePixels(pixels, sw, sh, dw, dh), dw, dh);
}

std::string_view assetBytes(Asset asset) {
  const int id = assetResourceId(asset);
  if (id == 0) return {};
  HMODULE module = GetModuleHandleW(nullptr);
  // Resources of the running image stay mapped for the life of the process.
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!info) return {};
  HGLOBAL loaded = LoadResource(module, info);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const char*>(data), SizeofResource(module, info)};
}

int appIconResourceId() { return PV_IDI_APP; }

}  // namespace pv
