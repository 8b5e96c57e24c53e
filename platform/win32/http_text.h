#pragma once
// Texts at the WinHttp and WinInet calls: the program's GBK widened and narrowed with code
// page 936. Lenient on purpose: a stray byte in a header or url becomes a default character
// instead of costing the whole request, as the request objects have always done.
#include <windows.h>

#include <string>
#include <string_view>

namespace pv {

inline std::wstring widenForHttp(std::string_view gbk) {
  if (gbk.empty() || gbk.size() > 0x3FFFFFFF) return {};
  const int len = static_cast<int>(gbk.size());
  const int n = MultiByteToWideChar(936, 0, gbk.data(), len, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, gbk.data(), len, out.data(), n);
  return out;
}

inline std::string narrowFromHttp(std::wstring_view wide) {
  if (wide.empty() || wide.size() > 0x1FFFFFFF) return {};
  const int len = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(936, 0, wide.data(), len, nullptr, 0, "?", nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, wide.data(), len, out.data(), n, "?", nullptr);
  return out;
}

}  // namespace pv
