#pragma once
// The Clipboard port: the system clipboard's text, shared with every other program.
// Win32ClipboardPort is the product's; MemoryClipboard stands in for tests and also plays
// the operator (or another program) copying something. Any thread may call; texts are GBK.
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
};

class MemoryClipboard final : public Clipboard {
 public:
  std::string text() override;
  [[nodiscard]] bool setText(std::string_view text) override;
  int writes() const;  // setText calls so far

 private:
  mutable std::mutex mutex_;
  std::string text_;
  int writes_ = 0;
};

}  // namespace pv
