#include "core/import/csv_reader.h"

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

// The bytes the csv grammar acts on; every other byte belongs to the field being read.
constexpr auto kCsvSpecial = [] {
  std::array<bool, 256> special{};
  for (const unsigned char c : {',', '"', '\n', '\0'}) special[c] = true;
  return special;
}();

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
                        const ImportProfile& profile, const HeaderMatcher& matcher) {
  CsvParse parse;
  const bool utf8 = looksLikeUtf8(bytes);
  CsvRowRecord row;
  std::string field;
  int column = 1;
  unsigned long long quotes = 0;
  bool lineOpen = false;  // a byte was read after the last line feed that finished a line

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
  };
  const auto finishLine = [&] {
    finishField();
    if (!row.text[kOrderNoSlot].empty() && !row.text[kAddressSlot].empty()) {
      ImportedOrder order;
      order.orderNumber = row.text[kOrderNoSlot];
      for (int slot = 0; slot <= kAddressSlot; ++slot) order.address += row.text[slot];
      orders.push_back(std::move(order));
    }
    for (std::string& text : row.text) text.clear();
    column = 1;
    ++parse.finishedLines;
    lineOpen = false;
  };

  for (size_t i = 0; i < bytes.size();) {
    // A field's ordinary bytes are taken as one run.
    const size_t run = i;
    while (i < bytes.size() && !kCsvSpecial[static_cast<unsigned char>(bytes[i])]) ++i;
    if (i > run) {
      field.append(bytes.substr(run, i - run));
      lineOpen = true;
      if (i == bytes.size()) break;
    }
    const char c = bytes[i++];
    const bool inQuotes = (quotes & 1) != 0;
    switch (c) {
      case ',':
        if (!inQuotes) finishField();
        lineOpen = true;
        break;
      case '"':
        ++quotes;
        lineOpen = true;
        break;
      case '\n':
        if (inQuotes) {
          field.push_back(c);
          lineOpen = true;
        } else {
          finishLine();
        }
        break;
      case '\0':
        lineOpen = true;
        break;
    }
  }
  if (lineOpen) finishLine();
  return parse;
}

int readCsvOrders(std::string_view path, std::vector<ImportedOrder>& orders,
                  const ImportProfile& profile, const ImportOptional& optional, Dialogs& dialogs) {
  const auto box = [&](std::string_view text, std::string_view title) {
    dialogs.show({std::string(text), std::string(title), DialogButtons::Ok, DialogIcon::None,
                  Window::Main});
  };
  const std::string bytes = readFileBytes(path);
  if (bytes.empty()) {
    box(kCsvUnreadableText, kImportFailedTitle);
    return 0;
  }
  const size_t before = orders.size();
  const CsvParse parse = parseCsvOrders(bytes, orders, profile);
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
