#pragma once
// The Clipboard port: the system clipboard's text, shared with every other program.
// Win32Clipboard is the product's; MemoryClipboard stands in for tests and also plays
// the operator (or another program) copying something. Any thread may call; texts are GBK,
// but what another program copied is Unicode and may hold characters GBK lacks: the port
// can add to it without passing it through GBK.
#include <mutex>
#include <string>
#include <string_view>

namespace pv {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The text on the clipboard; empty when it holds none or cannot be opened.
  virtual std::string text() = 0;
  // Replaces whatever the clipboard holds by the text; false when it could not be opened.
  [[nodiscard]] virtual bool setText(std::string_view text) = 0;
  // Adds `suffix` to the end of the clipboard's text when that text still reads as
  // `expected` (its GBK form, as text() gives it), keeping every character the copying
  // program put there and the copy's other formats. False when the clipboard could not be
  // opened, holds something else by now, or refused the write.
  [[nodiscard]] virtual bool appendText(std::string_view expected, std::string_view suffix) = 0;
};

class MemoryClipboard final : public Clipboard {
 public:
  std::string text() override;
  [[nodiscard]] bool setText(std::string_view text) override;
  [[nodiscard]] bool appendText(std::string_view expected, std::string_view suffix) override;

  // What another program copied, as it put it there (UTF-16), and what the clipboard holds.
  void copyUnicode(std::u16string text);
  std::u16string unicodeText() const;
  // The next writes (setText, appendText) are refused: the clipboard stayed busy.
  void refuseWrites(bool refuse);
  int writes() const;  // writes made so far

 private:
  mutable std::mutex mutex_;
  std::u16string text_;
  int writes_ = 0;
  bool refuse_ = false;
};

}  // namespace pv
