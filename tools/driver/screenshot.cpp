#include "tools/driver/screenshot.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <set>

#include "platform/win32/com_apartment.h"
#include "platform/win32/unique.h"

namespace pv::driver {

namespace {

using Microsoft::WRL::ComPtr;

// The screen DC is released to its window, not deleted: two values to keep.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

struct Capture {
  UniqueBitmap bitmap;
  const BYTE* bits = nullptr;  // owned by bitmap: 24-bit BGR rows, top row first
  UINT width = 0, height = 0, stride = 0;
};

bool captureScreen(const RECT& area, Capture* capture) {
  capture->width = static_cast<UINT>(area.right - area.left);
  capture->height = static_cast<UINT>(area.bottom - area.top);
  if (capture->width == 0 || capture->height == 0) return false;
  capture->stride = (capture->width * 3 + 3) & ~3u;

  ScreenDc screen;
  UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
  if (!screen.get() || !memory) return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(capture->width);
  info.bmiHeader.biHeight = -static_cast<LONG>(capture->height);  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  capture->bitmap.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!capture->bitmap || !bits) return false;
  const HGDIOBJ previous = SelectObject(memory.get(), capture->bitmap.get());
  const BOOL copied = BitBlt(memory.get(), 0, 0, static_cast<int>(capture->width),
                             static_cast<int>(capture->height), screen.get(), area.left, area.top,
                             SRCCOPY | CAPTUREBLT);
  SelectObject(memory.get(), previous);  // the bitmap must not stay selected when freed
  GdiFlush();
  capture->bits = static_cast<const BYTE*>(bits);
  return copied != FALSE;
}

bool writePng(const std::wstring& path, const Capture& capture, std::wstring* error) {
  ComApartment apartment;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory)))) {
    *error = L"no WIC imaging factory";
    return false;
  }
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))) {
    *error = L"cannot write " + path;
    return false;
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  const bool encoded =
      SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
      SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) &&
      SUCCEEDED(frame->Initialize(options.Get())) &&
      SUCCEEDED(frame->SetSize(capture.width, capture.height)) &&
      SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat24bppBGR &&
      SUCCEEDED(frame->WritePixels(capture.height, capture.stride, capture.stride * capture.height,
                                   const_cast<BYTE*>(capture.bits))) &&
      SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  if (!encoded) *error = L"the PNG encoder failed";
  return encoded;
}

COLORREF pixelAt(const Capture& capture, UINT x, UINT y) {
  const BYTE* p = capture.bits + static_cast<size_t>(y) * capture.stride + x * 3;
  return RGB(p[2], p[1], p[0]);
}

}  // namespace

bool countColours(HWND control, size_t* colours, std::wstring* error) {
  RECT area = {};
  Capture shown;
  if (!GetWindowRect(control, &area) || !captureScreen(area, &shown)) {
    *error = L"the control's rectangle could not be copied";
    return false;
  }
  std::set<COLORREF> seen;
  for (UINT y = 0; y < shown.height; ++y) {
    for (UINT x = 0; x < shown.width; ++x) seen.insert(pixelAt(shown, x, y));
  }
  *colours = seen.size();
  return true;
}

bool saveScreenshot(const std::wstring& path, HWND window, std::wstring* error) {
  RECT area = {};
  if (window) {
    if (!GetWindowRect(window, &area)) {
      *error = L"the window has no rectangle";
      return false;
    }
  } else {
    area.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    area.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    area.right = area.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    area.bottom = area.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  }
  Capture capture;
  if (!captureScreen(area, &capture)) {
    *error = L"the screen could not be copied";
    return false;
  }
  return writePng(path, capture, error);
}

}  // namespace pv::driver
