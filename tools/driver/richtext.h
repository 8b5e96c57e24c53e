#pragma once
// Reading a rich edit control of another process run by run: its text with the colour,
// weight, face and size of each stretch. The character formats live in the other
// process, so the messages that fetch them carry buffers allocated there.
#include <windows.h>

#include <string>
#include <vector>

namespace pv::driver {

struct TextRun {
  COLORREF colour = 0;  // the colour shown (the system's text colour for automatic text)
  bool bold = false;
  std::wstring face;
  LONG twips = 0;       // character height, 1/20 point
  std::wstring text;    // paragraph ends as the control keeps them ("\r")
};

// The runs of `richEdit` from its first character to its last: each a longest stretch of
// characters alike in colour, weight, face and size. The control's selection and scroll
// position are put back afterwards. The driver and the control's process must have the
// same bitness (the builds pair them). False with the reason in `error`.
bool readRuns(HWND richEdit, std::vector<TextRun>& runs, std::wstring& error);

// One line for a run: colour as six lower-case hexadecimal digits RRGGBB, a tab, "b" for
// bold or "-", a tab, the size in points ("10", "10.5"), a tab, the face, a tab, the text
// with "\" written "\\", a tab "\t" and each line break (CR, LF or CRLF) "\n".
std::wstring formatRun(const TextRun& run);

}  // namespace pv::driver
