#include "core/system/clipboard.h"

#include "core/text/codepage.h"

namespace pv {

std::string MemoryClipboard::text() {
  std::lock_guard lock(mutex_);
  return utf16ToGbk(text_);
}

bool MemoryClipboard::setText(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (refuse_) return false;
  text_ = gbkToUtf16(text);
  ++writes_;
  return true;
}

bool MemoryClipboard::appendText(std::string_view expected, std::string_view suffix) {
  std::lock_guard lock(mutex_);
  if (refuse_ || utf16ToGbk(text_) != expected) return false;
  text_ += gbkToUtf16(suffix);
  ++writes_;
  return true;
}

void MemoryClipboard::copyUnicode(std::u16string text) {
  std::lock_guard lock(mutex_);
  text_ = std::move(text);
}

std::u16string MemoryClipboard::unicodeText() const {
  std::lock_guard lock(mutex_);
  return text_;
}

void MemoryClipboard::refuseWrites(bool refuse) {
  std::lock_guard lock(mutex_);
  refuse_ = refuse;
}

int MemoryClipboard::writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

}  // namespace pv
