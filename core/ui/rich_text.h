#pragma once
// Runs of styled text in a rich edit box: what the result renderer writes and what the
// in-memory Ui keeps, so a test reads colours and weights as the operator sees them.
#include <cstdint>
#include <span>
#include <string>

namespace pv {

// 0x00BBGGRR, the order of the system's colour values: RGB(r, g, b) = r + g*256 + b*65536.
using Colour = std::uint32_t;

inline constexpr Colour rgbColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) noexcept {
  return Colour(r) | Colour(g) << 8 | Colour(b) << 16;
}

// The face and size every run of the renderer is written in.
inline constexpr char kRichTextFace[] = "宋体";
inline constexpr int kRichTextPoints = 10;

struct TextRun {
  std::string text{};  // GBK
  Colour colour = 0;
  bool bold = false;

  bool operator==(const TextRun&) const = default;
};

// Where the result renderer writes. Any thread may call; each call is one unit of the box.
class RichTextBox {
 public:
  virtual ~RichTextBox() = default;
  // Appends the run at the end of the text, in its colour and weight.
  virtual void append(const TextRun& run) = 0;
  // Appends the runs in order as one unit.
  virtual void appendAll(std::span<const TextRun> runs) {
    for (const TextRun& run : runs) append(run);
  }
  // Lines of the text as the box counts them (1 for an empty box).
  virtual int lineCount() = 0;
};

}  // namespace pv
