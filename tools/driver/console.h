#pragma once
// The driver's output: UTF-8 bytes written as they are, whatever the console code page,
// so the tests that read it see the same bytes on Wine and on Windows.
#include <string>
#include <string_view>

namespace pv::driver {

std::string toUtf8(std::wstring_view text);

// Line breaks in controls' texts (CRLF, CR) become "\n".
std::wstring normaliseLineBreaks(std::wstring_view text);

// Each writes the text and one "\n".
void writeOut(std::wstring_view line);
void writeErr(std::wstring_view line);

}  // namespace pv::driver
