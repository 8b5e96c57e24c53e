#pragma once
// Verdicts as coloured rich text: the labelled line and the styled run every writer uses,
// the colour reader, and the two layouts of a screening answer — the summary block (both
// single queries) and the detail sections (the detailed query).
//
// The renderer knows no window: it writes into a RichTextBox, which the caller connects to
// a rich edit box. Each run is appended at the end as one unit; after each labelled line
// and each styled text the writer pauses 10 ms, so the box repaints while a worker writes.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/json/json.h"
#include "core/system/pauses.h"
#include "core/ui/rich_text.h"

namespace pv {

inline constexpr Colour kColourBlack = rgbColour(0x00, 0x00, 0x00);
inline constexpr Colour kColourBlue = rgbColour(0x00, 0x00, 0xFF);
inline constexpr Colour kColourAzure = rgbColour(0x00, 0x88, 0xFF);
inline constexpr Colour kColourOrange = rgbColour(0xF0, 0x6E, 0x33);
inline constexpr Colour kColourGreen = rgbColour(0x33, 0x99, 0x33);
inline constexpr Colour kColourSeaGreen = rgbColour(0x3C, 0xB3, 0x71);

inline constexpr milliseconds kAppendPause{10};

struct RichWriter {
  RichTextBox& box;
  Pauses& pauses;
};

// "乡|镇|村|组": the parts of an address that hint at a village, shown bold orange.
inline constexpr std::string_view kVillageKeywords = "乡|镇|村|组";

// The text in its order, cut at every match of `keywords` (a regular expression; ignore
// case, multi-line, global), each piece flagged when it is a match. Pieces are never empty;
// empty or invalid keywords give the whole text as one plain piece.
struct KeywordPiece {
  std::string text;
  bool keyword = false;
  bool operator==(const KeywordPiece&) const = default;
};
std::vector<KeywordPiece> splitByKeywords(std::string_view keywords, std::string_view text);

// "【label】：" in black, the value in `valueColour` with its keyword parts bold in
// `keywordColour`, then a line break. An empty value writes nothing at all.
void appendLabelledLine(RichWriter& writer, std::string_view label, std::string_view value, Colour valueColour,
                        std::string_view keywords = {}, Colour keywordColour = kColourBlack);

// The text in `colour`, bold when asked; with keywords, the matching parts are bold in
// `keywordColour` and the others are not bold. No line break is added.
void appendStyledText(RichWriter& writer, std::string_view text, Colour colour, std::string_view keywords = {},
                      Colour keywordColour = kColourBlack, bool bold = false);

// Six hexadecimal digits for red, green and blue, with or without a leading "#"; other
// characters are skipped within their pair, a missing pair reads as 0 (so "" is black).
Colour parseHexColour(std::string_view text);

// The strings of the array member `key` of `value`, in order, as GBK; empty when the
// member is missing or no array.
std::vector<std::string> readTextList(JsonValue value, std::string_view key);

enum class SummaryLayout { Quick, Detailed };

// The summary block of the answer item at position n of `answer` (the completed answer of
// screenAddresses). `sentAddress` stands in when the service gave no normalised address;
// `serviceLine` is the project and service the quick layout names first. Returns the
// restriction keywords (the policies' objects joined by "|") for the detail sections.
std::string renderSummaryBlock(RichWriter& writer, const JsonDocument& answer, std::size_t n,
                               std::string_view sentAddress, SummaryLayout layout,
                               std::string_view serviceLine = {});

// The lines of the box just before each detail section, for the scroll buttons.
struct SectionLines {
  int site = 0;
  int policy = 0;
};

// The site and policy details of item n, written right after its summary block, with the
// keywords that block returned.
SectionLines renderDetailedSections(RichWriter& writer, const JsonDocument& answer, std::size_t n,
                                    std::string_view keywords);

}  // namespace pv
