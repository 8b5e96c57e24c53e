#pragma once
// Pictures for picture boxes and window backgrounds. Any thread; with COM initialised for
// the pictures only WIC reads (opaque PNGs do without it: core/ui/png_reader.h). WIC is
// free-threaded; a bitmap, like every GDI object, belongs to the process.
#include <windows.h>

#include <string_view>

#include "core/ui/window_defs.h"
#include "platform/win32/unique.h"

namespace pv {

// Decodes PNG or JPEG bytes (through WIC, or our own reader) into a top-down 32-bit DIB
// section with premultiplied alpha, at the picture's own size or, when width and height
// are given, resampled to them. Null for bytes that do not decode.
UniqueBitmap decodePicture(std::string_view bytes, int width = 0, int height = 0);
// The same at the size the picture has on a display of `dpi` (its own size at 96 dpi).
UniqueBitmap decodePictureAtDpi(std::string_view bytes, int dpi);

// The bytes of a picture compiled into the program; empty when it is absent (as in the
// test programs, which carry no pictures).
std::string_view assetBytes(Asset asset);

// The resource id of the program's icon.
int appIconResourceId();

}  // namespace pv
