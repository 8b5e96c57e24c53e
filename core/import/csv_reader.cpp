#include "core/import/csv_reader.h"

#include <algorithm>
#include <array>

#include "core/system/files.h"
#include "core/text/codepage.h"
#include "core/text/encoding.h"

namespace pv {
namespace {

// Length of the well-formed UTF-8 sequence starting at `at`, or 0 (overlong forms,
// surrogates and values past U+10FFFF are not well-formed).
size_t utf8SequenceLength(std::string_view bytes, size_t at) {
  const auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = b(at);
  size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + n > bytes.size()) return 0;
  if (b(at + 1) < low || b(at + 1) > high) return 0;
  for (size_t k = 2; k < n; ++k) {
    if ((b(at + k) & 0xC0) != 0x80) return 0;
  }
  return n;
}

// The file's text as the grammar reads it: GBK, or UTF-8 whose fields are converted one by
// one (a field of a column nobody reads is never converted).
struct CsvText {
  std::string_view bytes;
  bool utf8 = false;
  std::string converted;  // a UTF-16 file, converted whole to GBK; `bytes` views it
};

// Excel's "Unicode text" is UTF-16 with a byte-order mark; neither mark can begin a GBK
// text (0xFF is no lead byte, 0xFF no trail byte), so the mark alone decides.
void decodeCsvText(std::string_view bytes, CsvText& text) {
  const bool little = bytes.starts_with("\xFF\xFE"), big = bytes.starts_with("\xFE\xFF");
  if (little || big) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
      units.push_back(static_cast<char16_t>(little ? second << 8 | first : first << 8 | second));
    }
    text.converted = utf16ToGbk(units);
    text.bytes = text.converted;
    return;
  }
  text.utf8 = looksLikeUtf8(bytes);
  // The mark is no character of the first field: left there, "^地址$" would miss a header
  // that begins the file.
  text.bytes = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
}

// Separators a file may use, in the order a tie goes.
constexpr char kSeparators[] = {',', '\t', ';'};

// How often `separator` stands in `line` outside quotes (every quote toggles: good enough
// for a header line), and whether one of the fields it gives names the address column.
struct SeparatorTry {
  int count = 0;
  bool findsAddress = false;
};

SeparatorTry trySeparator(std::string_view line, char separator, bool utf8, const HeaderMatcher& matcher) {
  SeparatorTry result;
  std::string field;
  bool quoted = false;
  const auto takeField = [&] {
    if (!result.findsAddress && !field.empty())
      result.findsAddress = matcher.finds(kAddressSlot, utf8 ? utf8ToGbk(field) : field);
    field.clear();
  };
  for (const char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == separator && !quoted) {
      ++result.count;
      takeField();
    } else {
      field.push_back(c);
    }
  }
  takeField();
  return result;
}

// The separator is read off the header line: the first line in which one of the separators
// gives a field that names the address column; of several, the one that stands there most
// often. Title lines above the header ("导出时间,2024-5-1" over a tab-separated table)
// therefore do not decide. Without such a line in the head of the file, the first line that
// holds a separator decides; without any, a comma.
char decideSeparator(const CsvText& text, const HeaderMatcher& matcher) {
  constexpr size_t kHeadBytes = 64 * 1024;
  constexpr int kHeadLines = 100;
  const std::string_view head = text.bytes.substr(0, kHeadBytes);
  char fallback = 0;
  size_t at = 0;
  for (int lines = 0; at < head.size() && lines < kHeadLines; ++lines) {
    const size_t end = std::min(head.find_first_of("\r\n", at), head.size());
    const std::string_view line = head.substr(at, end - at);
    at = end + 1;
    if (line.empty()) continue;
    char best = 0, mostUsed = 0;
    int bestCount = 0, mostCount = 0;
    for (const char separator : kSeparators) {
      const SeparatorTry seen = trySeparator(line, separator, text.utf8, matcher);
      if (seen.count > mostCount) {
        mostUsed = separator;
        mostCount = seen.count;
      }
      if (seen.count > bestCount && seen.findsAddress) {
        best = separator;
        bestCount = seen.count;
      }
    }
    if (best != 0) return best;
    if (fallback == 0) fallback = mostUsed;
  }
  return fallback != 0 ? fallback : ',';
}

// Position of the quote that closes the quoted field whose opening quote is at `open`, or
// npos when none does before the end: a doubled quote stands for one and closes nothing.
size_t closingQuote(std::string_view bytes, size_t open) {
  for (size_t at = open + 1;; at += 2) {
    at = bytes.find('"', at);
    if (at == std::string_view::npos || at + 1 == bytes.size() || bytes[at + 1] != '"') return at;
  }
}

}  // namespace

bool looksLikeUtf8(std::string_view bytes) {
  if (bytes.empty()) return false;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return true;
  bool nonAscii = false;
  for (size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t n = utf8SequenceLength(bytes, i);
    if (n == 0) return false;
    nonAscii = true;
    i += n;
  }
  return nonAscii;
}

void takeCsvField(int column, const std::string& text, const ImportProfile& profile,
                  ImportColumns& columns, CsvRowRecord& row) {
  const HeaderMatcher matcher(profile);
  takeCsvField(column, text, profile, matcher, columns, row);
}

void takeCsvField(int column, const std::string& text, const ImportProfile& profile,
                  const HeaderMatcher& matcher, ImportColumns& columns, CsvRowRecord& row) {
  if (text.empty()) return;
  auto& col = columns.column;
  if (col[kAddressSlot] == 0) {
    for (int slot = 0; slot <= kAddressSlot; ++slot) {
      if (matcher.finds(slot, text)) col[slot] = column;
    }
  } else {
    for (int slot = 0; slot <= kAddressSlot; ++slot) {
      if (col[slot] == column) {
        row.text[slot] = text;
        break;
      }
    }
  }
  if (col[kOrderNoSlot] != 0) {
    if (col[kOrderNoSlot] == column) row.text[kOrderNoSlot] = text;
  } else if (!profile.orderNoPattern.empty() && matcher.finds(kOrderNoSlot, text)) {
    col[kOrderNoSlot] = column;
  }
}

CsvParse parseCsvOrders(std::string_view bytes, std::vector<ImportedOrder>& orders,
                        const ImportProfile& profile) {
  const HeaderMatcher matcher(profile);
  return parseCsvOrders(bytes, orders, profile, matcher);
}

CsvParse parseCsvOrders(std::string_view bytes, std::vector<ImportedOrder>& orders,
                        const ImportProfile& profile, const HeaderMatcher& matcher, CsvLayout* layout) {
  CsvParse parse;
  CsvText text;
  decodeCsvText(bytes, text);
  std::string_view in = text.bytes;
  const bool utf8 = text.utf8;
  const char separator = decideSeparator(text, matcher);
  if (layout != nullptr) {
    *layout = CsvLayout();
    layout->separator = separator;
    if (bytes.starts_with("\xFF\xFE")) layout->encoding = TextEncoding::Utf16Le;
    else if (bytes.starts_with("\xFE\xFF")) layout->encoding = TextEncoding::Utf16Be;
    else if (bytes.starts_with("\xEF\xBB\xBF")) layout->encoding = TextEncoding::Utf8WithMark;
    else if (utf8) layout->encoding = TextEncoding::Utf8;
    layout->text = std::string(in);
    in = layout->text;
  }
  size_t recordBegin = 0, recordEnd = 0;
  bool headerAbove = false;  // a line before the current one named the address column
  // The bytes that end an unquoted field's run; a quote is ordinary there.
  std::array<bool, 256> special{};
  for (const char c : {separator, '\n', '\r', '\0'}) special[static_cast<unsigned char>(c)] = true;

  CsvRowRecord row;
  std::string field;
  int column = 1;
  bool fieldStart = true;  // nothing of the current field read yet: a quote here opens it
  bool lineOpen = false;   // a byte was read after the last line end

  // Once the header has named every column, a field of another column is dropped unread:
  // no conversion for the phone numbers, amounts and remarks of an export.
  const auto fieldMatters = [&] {
    const auto& col = parse.columns.column;
    if (col[kAddressSlot] == 0 || col[kOrderNoSlot] == 0) return true;
    for (const int c : col) {
      if (c == column) return true;
    }
    return false;
  };
  const auto finishField = [&] {
    if (!field.empty() && fieldMatters())
      takeCsvField(column, utf8 ? utf8ToGbk(field) : field, profile, matcher, parse.columns, row);
    field.clear();
    ++column;
    fieldStart = true;
  };
  const auto finishLine = [&] {
    const bool blank = column == 1 && field.empty();
    finishField();
    if (!row.text[kOrderNoSlot].empty() && !row.text[kAddressSlot].empty()) {
      ImportedOrder order;
      order.orderNumber = row.text[kOrderNoSlot];
      for (int slot = 0; slot <= kAddressSlot; ++slot) order.address += row.text[slot];
      order.sourceRow = parse.finishedLines;
      orders.push_back(std::move(order));
    } else if (layout != nullptr && headerAbove && !blank) {
      layout->skipped.push_back(
          {parse.finishedLines, std::string(row.text[kAddressSlot].empty() ? kNoAddressReason : kNoOrderNumberReason)});
    }
    if (layout != nullptr) {
      layout->records.push_back({recordBegin, recordEnd, column - 1});
      if (!headerAbove && parse.columns.column[kAddressSlot] != 0) layout->headerRecord = parse.finishedLines;
    }
    headerAbove = parse.columns.column[kAddressSlot] != 0;
    for (std::string& t : row.text) t.clear();
    column = 1;
    ++parse.finishedLines;
    lineOpen = false;
  };

  for (size_t i = 0; i < in.size();) {
    lineOpen = true;
    if (fieldStart && in[i] == '"') {
      fieldStart = false;
      const size_t close = closingQuote(in, i);
      if (close == std::string_view::npos) {
        // A quote that never closes is an ordinary character: one stray quote must not
        // swallow every line after it.
        field.push_back('"');
        ++i;
        continue;
      }
      // Separators and line breaks inside are characters; a doubled quote is one quote.
      for (size_t at = i + 1; at < close;) {
        const size_t quote = std::min(in.find('"', at), close);
        field.append(in.substr(at, quote - at));
        if (quote == close) break;
        field.push_back('"');
        at = quote + 2;
      }
      i = close + 1;  // what follows up to the separator joins the field, as Excel reads it
      continue;
    }
    // A field's ordinary bytes are taken as one run.
    const size_t run = i;
    while (i < in.size() && !special[static_cast<unsigned char>(in[i])]) ++i;
    if (i > run) {
      field.append(in.substr(run, i - run));
      fieldStart = false;
      if (i == in.size()) break;
    }
    const char c = in[i++];
    if (c == separator) {
      finishField();
    } else if (c == '\n') {
      recordEnd = i - 1;
      finishLine();
      recordBegin = i;
    } else if (c == '\r') {
      // CR LF, and a lone CR (the line end of old Macintosh exports), end the line.
      recordEnd = i - 1;
      if (i < in.size() && in[i] == '\n') ++i;
      finishLine();
      recordBegin = i;
    }
    // NUL bytes are dropped.
  }
  recordEnd = in.size();
  if (lineOpen) finishLine();
  return parse;
}

int readCsvOrders(std::string_view path, std::vector<ImportedOrder>& orders,
                  const ImportProfile& profile, const ImportOptional& optional, Dialogs& dialogs) {
  return readCsvOrderBytes(readFileBytes(path), orders, profile, optional, dialogs);
}

int readCsvOrderBytes(std::string_view bytes, std::vector<ImportedOrder>& orders,
                      const ImportProfile& profile, const ImportOptional& optional, Dialogs& dialogs,
                      CsvLayout* layout) {
  const auto box = [&](std::string_view text, std::string_view title) {
    dialogs.show({std::string(text), std::string(title), DialogButtons::Ok, DialogIcon::None,
                  Window::Main});
  };
  if (bytes.empty()) {
    box(kCsvUnreadableText, kImportFailedTitle);
    return 0;
  }
  const size_t before = orders.size();
  const HeaderMatcher matcher(profile);
  const CsvParse parse = parseCsvOrders(bytes, orders, profile, matcher, layout);
  if (parse.finishedLines > 0) {
    if (const int slot = firstMissingColumn(profile, optional, parse.columns); slot >= 0) {
      orders.resize(before);
      box(missingColumnText(profile.pattern(slot)), kImportFailedTitle);
      return 0;
    }
  }
  if (orders.size() == before) {
    box(kNoImportDataText, kImportNoticeTitle);
    return 0;
  }
  return 1;
}

}  // namespace pv
