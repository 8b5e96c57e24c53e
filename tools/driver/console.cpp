#include "tools/driver/console.h"

#include <windows.h>

namespace pv::driver {

std::string toUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

std::wstring normaliseLineBreaks(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r') {
      out += L'\n';
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

namespace {

void writeLine(DWORD which, std::wstring_view line) {
  // WriteFile, not the C runtime: no text-mode CR insertion, no code-page conversion.
  const std::string bytes = toUtf8(line) + "\n";
  const HANDLE handle = GetStdHandle(which);
  const char* data = bytes.data();
  DWORD left = static_cast<DWORD>(bytes.size());
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, left, &written, nullptr) || written == 0) return;
    data += written;
    left -= written;
  }
}

}  // namespace

void writeOut(std::wstring_view line) { writeLine(STD_OUTPUT_HANDLE, line); }
void writeErr(std::wstring_view line) { writeLine(STD_ERROR_HANDLE, line); }

}  // namespace pv::driver
