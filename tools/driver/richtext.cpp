#include "tools/driver/richtext.h"

#include <richedit.h>

#include <cstddef>
#include <utility>

#include "platform/win32/unique.h"
#include "tools/driver/driver_windows.h"

namespace pv::driver {
namespace {

// A block of memory in another process, freed with it. The product has its own
// (RemoteMemory, for the ERP list view); the driver links no part of the product, so that a
// fault there cannot hide behind the same fault here.
class RemoteBlock {
 public:
  RemoteBlock(HANDLE process, size_t size)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
  ~RemoteBlock() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;

  explicit operator bool() const { return address_ != nullptr; }
  // The address of the byte at `offset`, as the other process sees it.
  void* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
  LPARAM param(size_t offset) const { return reinterpret_cast<LPARAM>(at(offset)); }

  bool write(size_t offset, const void* data, size_t size) const {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, at(offset), data, size, &done) && done == size;
  }
  bool read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, at(offset), data, size, &done) && done == size;
  }

 private:
  HANDLE process_;
  void* address_;
};

// Where the records lie in the block; the text comes after them.
constexpr size_t alignUp(size_t offset, size_t alignment) {
  return (offset + alignment - 1) / alignment * alignment;
}
constexpr size_t kFormatAt = 0;
constexpr size_t kRangeAt = alignUp(kFormatAt + sizeof(CHARFORMAT2W), alignof(CHARRANGE));
constexpr size_t kSavedSelectionAt = kRangeAt + sizeof(CHARRANGE);
constexpr size_t kSavedScrollAt = alignUp(kSavedSelectionAt + sizeof(CHARRANGE), alignof(POINT));
constexpr size_t kTextRangeAt = alignUp(kSavedScrollAt + sizeof(POINT), alignof(TEXTRANGEW));
constexpr size_t kTextAt = alignUp(kTextRangeAt + sizeof(TEXTRANGEW), alignof(wchar_t));

bool send(HWND target, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(target, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer)) {
    return false;
  }
  if (result) *result = static_cast<LRESULT>(answer);
  return true;
}

bool sameLook(const TextRun& a, const TextRun& b) {
  return a.colour == b.colour && a.bold == b.bold && a.face == b.face && a.twips == b.twips;
}

}  // namespace

bool readRuns(HWND richEdit, std::vector<TextRun>& runs, std::wstring& error) {
  runs.clear();
  DWORD processId = 0;
  GetWindowThreadProcessId(richEdit, &processId);
  const UniqueHandle process(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
  if (!process) {
    error = L"cannot open the control's process";
    return false;
  }
  LRESULT length = 0;
  if (!send(richEdit, WM_GETTEXTLENGTH, 0, 0, &length) || length < 0) {
    error = L"the control did not answer";
    return false;
  }
  // WM_GETTEXTLENGTH counts a paragraph end as CR LF, the control's positions as one
  // character: the buffer is large enough either way.
  const size_t capacity = static_cast<size_t>(length) + 1;
  RemoteBlock block(process.get(), kTextAt + capacity * sizeof(wchar_t));
  if (!block) {
    error = L"cannot allocate memory in the control's process";
    return false;
  }

  CHARFORMAT2W format = {};
  format.cbSize = sizeof format;
  TEXTRANGEW range = {};
  range.chrg = {0, -1};
  range.lpstrText = static_cast<LPWSTR>(block.at(kTextAt));
  LRESULT copied = 0;
  if (!block.write(kFormatAt, &format, sizeof format) || !block.write(kTextRangeAt, &range, sizeof range) ||
      !send(richEdit, EM_GETTEXTRANGE, 0, block.param(kTextRangeAt), &copied) ||
      copied < 0 || static_cast<size_t>(copied) >= capacity) {
    error = L"cannot read the control's text";
    return false;
  }
  std::wstring text(static_cast<size_t>(copied), L'\0');
  if (!text.empty() && !block.read(kTextAt, text.data(), text.size() * sizeof(wchar_t))) {
    error = L"cannot read the control's text";
    return false;
  }

  // Reading a character's format means selecting it: keep what the operator had.
  if (!send(richEdit, EM_EXGETSEL, 0, block.param(kSavedSelectionAt)) ||
      !send(richEdit, EM_GETSCROLLPOS, 0, block.param(kSavedScrollAt))) {
    error = L"the control did not answer";
    return false;
  }
  bool ok = true;
  for (LONG i = 0; ok && i < static_cast<LONG>(text.size()); ++i) {
    const CHARRANGE one = {i, i + 1};
    ok = block.write(kRangeAt, &one, sizeof one) &&
         send(richEdit, EM_EXSETSEL, 0, block.param(kRangeAt)) &&
         send(richEdit, EM_GETCHARFORMAT, SCF_SELECTION, block.param(kFormatAt)) &&
         block.read(kFormatAt, &format, sizeof format);
    if (!ok) break;
    TextRun run;
    run.colour = (format.dwEffects & CFE_AUTOCOLOR) ? GetSysColor(COLOR_WINDOWTEXT) : format.crTextColor;
    run.bold = (format.dwEffects & CFE_BOLD) != 0;
    format.szFaceName[LF_FACESIZE - 1] = L'\0';
    run.face = format.szFaceName;
    run.twips = format.yHeight;
    run.text.assign(1, text[static_cast<size_t>(i)]);
    if (!runs.empty() && sameLook(runs.back(), run)) {
      runs.back().text += run.text;
    } else {
      runs.push_back(std::move(run));
    }
  }
  send(richEdit, EM_EXSETSEL, 0, block.param(kSavedSelectionAt));
  send(richEdit, EM_SETSCROLLPOS, 0, block.param(kSavedScrollAt));
  if (!ok) error = L"cannot read the control's character formats";
  return ok;
}

std::wstring formatRun(const TextRun& run) {
  wchar_t colour[8] = {};
  swprintf(colour, 8, L"%02x%02x%02x", GetRValue(run.colour), GetGValue(run.colour),
           GetBValue(run.colour));
  std::wstring size = std::to_wstring(run.twips / 20);
  if (run.twips % 20 != 0) size += L"." + std::to_wstring((run.twips % 20) * 10 / 20);
  std::wstring text;
  for (size_t i = 0; i < run.text.size(); ++i) {
    const wchar_t c = run.text[i];
    if (c == L'\\') {
      text += L"\\\\";
    } else if (c == L'\t') {
      text += L"\\t";
    } else if (c == L'\r' || c == L'\n') {
      text += L"\\n";
      if (c == L'\r' && i + 1 < run.text.size() && run.text[i + 1] == L'\n') ++i;
    } else {
      text += c;
    }
  }
  return std::wstring(colour) + L"\t" + (run.bold ? L"b" : L"-") + L"\t" + size + L"\t" + run.face +
         L"\t" + text;
}

}  // namespace pv::driver
