// The results workbook writer: what it writes is read back by our own xlsx reader cell by
// cell, and the parts that decide how the sheet looks (styles, pane, widths, range) are
// walked with the pull reader. scripts/crosscheck-spreadsheets.sh --writer checks the same
// kind of workbook with LibreOffice and SheetJS.
#include <gtest/gtest.h>

#include <zlib.h>

#include <map>
#include <string>
#include <vector>

#include "core/sheets/spreadsheet.h"
#include "core/sheets/xlsx_writer.h"
#include "core/sheets/xml_reader.h"
#include "core/sheets/zip_archive.h"
#include "core/sheets/zip_writer.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {

std::string part(std::string_view book, std::string_view name) {
  const ZipArchive zip(book);
  const int index = zip.find(name);
  if (zip.status() != ZipArchive::Status::Ok || index < 0) return {};
  ZipArchive::Status status;
  std::string bytes = zip.extract(index, status);
  return status == ZipArchive::Status::Ok ? bytes : std::string();
}

std::string attribute(const XmlReader& reader, std::string_view name) {
  std::string_view raw;
  if (!reader.attribute(name, raw)) return {};
  std::string out;
  appendXmlText(out, raw);
  return out;
}

// Every start tag of `name` in the part, as its attributes' values by name.
std::vector<std::map<std::string, std::string>> elements(std::string_view xml, std::string_view name,
                                                         std::initializer_list<const char*> attributes) {
  std::vector<std::map<std::string, std::string>> out;
  XmlReader reader(xml);
  for (auto ev = reader.next(); ev != XmlReader::Event::Done && ev != XmlReader::Event::Error; ev = reader.next()) {
    if (ev != XmlReader::Event::Start || reader.name() != name) continue;
    auto& found = out.emplace_back();
    for (const char* a : attributes) found[a] = attribute(reader, a);
  }
  return out;
}

bool readBack(const std::string& book, SpreadsheetSheet& sheet) {
  std::string error;
  const bool ok = readXlsxSheet(book, sheet, error);
  EXPECT_TRUE(ok) << error;
  return ok;
}

struct TextCase {
  const char* what;
  std::string text, want;
};

TEST(XlsxWriter, EveryTextReadsBackAsTheCellShouldHoldIt) {
  const std::string x32767(32767, 'x');
  const std::string box = utf8Text(u8"📦");
  const TextCase cases[] = {
      {"leading zeros", "000123", "000123"},
      {"twenty digits", "12345678901234567890", "12345678901234567890"},
      {"looks like a number", "1.5E+3", "1.5E+3"},
      {"XML specials", "a & b < c > d \" e ' f ]]>", "a & b < c > d \" e ' f ]]>"},
      {"entity written as text", "&amp; &#65;", "&amp; &#65;"},
      {"leading and trailing spaces", "  both ends  ", "  both ends  "},
      {"only spaces", "   ", "   "},
      {"inner double space", "a  b", "a  b"},
      {"lines", utf8Text(u8"偏远地区\n需加收附加费\n"), utf8Text(u8"偏远地区\n需加收附加费\n")},
      {"CR LF and tab", "a\r\nb\tc", "a\r\nb\tc"},
      {"CJK", utf8Text(u8"浙江省杭州市西湖区文三路90号"), utf8Text(u8"浙江省杭州市西湖区文三路90号")},
      {"beyond the BMP", utf8Text(u8"📦 包裹 🚚 𠀀"), utf8Text(u8"📦 包裹 🚚 𠀀")},
      {"control characters", "a\x01" "b\x1f" "c\x0b", "abc"},
      {"U+FFFE and U+FFFF", "a\xEF\xBF\xBE" "b\xEF\xBF\xBF", "ab"},
      {"invalid bytes", "ab\xff" "c\xc0\xaf", utf8Text(u8"ab\uFFFDc\uFFFD\uFFFD")},
      {"cut sequence at the end", "ab\xe4\xb8", utf8Text(u8"ab\uFFFD")},
      {"encoded surrogate", "a\xed\xa0\x80" "b", utf8Text(u8"a\uFFFD\uFFFD\uFFFDb")},
      {"looks like a unit escape", "_x0041_ and _X00e9_", "_x0041_ and _X00e9_"},
      {"escaped underscore look-alike", "_x005F_x0041_", "_x005F_x0041_"},
      {"unit escape made by a dropped control", "_x00\x01" "41_", "_x0041_"},
      {"at the cap", x32767, x32767},
      {"past the cap", std::string(40000, 'y'), std::string(32767, 'y')},
      {"non-BMP over the cap is not split", std::string(32766, 'z') + box, std::string(32766, 'z')},
      {"non-BMP just inside the cap", std::string(32765, 'w') + box, std::string(32765, 'w') + box},
      {"escapes do not count for the cap", std::string(32767, '&'), std::string(32767, '&')},
  };
  SheetToWrite sheet;
  for (const TextCase& c : cases) sheet.rows.push_back({c.what, c.text});
  SpreadsheetSheet read;
  ASSERT_TRUE(readBack(writeXlsxBook(sheet), read));
  ASSERT_EQ(read.lastRow(), static_cast<int>(std::size(cases)));
  for (int r = 0; r < read.lastRow(); ++r) {
    const TextCase& c = cases[r];
    EXPECT_EQ(read.textUtf8(r, 0), c.what);
    EXPECT_EQ(read.textUtf8(r, 1), c.want) << c.what;
  }
}

TEST(XlsxWriter, CellsKeepTheirPlacesAcrossEmptyRowsAndRaggedRows) {
  SheetToWrite sheet;
  sheet.rows = {
      {"a1", "b1", "c1", "d1", "e1"},
      {"a2"},
      {},
      {"", "", "c4"},
      {"a5", "", "c5", ""},
      {"\x01\x02", "b6"},  // nothing left of A6: no cell there
  };
  SpreadsheetSheet read;
  ASSERT_TRUE(readBack(writeXlsxBook(sheet), read));
  EXPECT_EQ(read.lastRow(), 6);
  EXPECT_EQ(read.lastCol(), 5);
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 5; ++c) {
      const auto& row = sheet.rows[static_cast<size_t>(r)];
      const std::string want = r == 5 && c == 0 ? "" : c < static_cast<int>(row.size()) ? row[c] : "";
      EXPECT_EQ(read.textUtf8(r, c), want) << "row " << r << " col " << c;
    }
  }
  EXPECT_EQ(read.textCellCount(), 10u);
}

TEST(XlsxWriter, DimensionCoversTheWrittenCells) {
  struct Case {
    std::vector<std::vector<std::string>> rows;
    const char* want;
  };
  const Case cases[] = {
      {{}, "A1"},
      {{{"only"}}, "A1"},
      {{{}, {"", "b2"}, {"a3", "b3", "c3", ""}}, "A2:C3"},
      {{{"", "", "c1"}, {"", "b2"}}, "B1:C2"},
  };
  for (const Case& c : cases) {
    SheetToWrite sheet;
    sheet.rows = c.rows;
    const auto dims = elements(part(writeXlsxBook(sheet), "xl/worksheets/sheet1.xml"), "dimension", {"ref"});
    ASSERT_EQ(dims.size(), 1u);
    EXPECT_EQ(dims[0].at("ref"), c.want);
  }
}

TEST(XlsxWriter, RepeatedTextsAreSharedOnce) {
  SheetToWrite sheet;
  for (int i = 0; i < 50; ++i) sheet.rows.push_back({"TB" + std::to_string(i % 5), utf8Text(u8"正常"), "000123"});
  const std::string book = writeXlsxBook(sheet);
  const std::string strings = part(book, "xl/sharedStrings.xml");
  const auto sst = elements(strings, "sst", {"count", "uniqueCount"});
  ASSERT_EQ(sst.size(), 1u);
  EXPECT_EQ(sst[0].at("uniqueCount"), "7");
  EXPECT_EQ(sst[0].at("count"), "150");
  EXPECT_EQ(elements(strings, "si", {}).size(), 7u);
  // Every cell a text cell, even those that look like numbers.
  for (const auto& cell : elements(part(book, "xl/worksheets/sheet1.xml"), "c", {"t"})) EXPECT_EQ(cell.at("t"), "s");
}

// How each cell of the sheet looks, from the styles part: the cell format's fill colour
// (0: none), bold font and wrapped text.
struct Look {
  uint32_t rgb = 0;
  bool bold = false, wrap = false;
  bool operator==(const Look&) const = default;
};

std::map<std::string, Look> looks(const std::string& book) {
  const std::string styles = part(book, "xl/styles.xml");
  std::vector<bool> boldFonts;
  std::vector<uint32_t> fills;
  std::vector<Look> formats;
  std::string inside;
  XmlReader reader(styles);
  for (auto ev = reader.next(); ev != XmlReader::Event::Done && ev != XmlReader::Event::Error; ev = reader.next()) {
    if (ev != XmlReader::Event::Start) continue;
    const std::string name(reader.name());
    if (name == "fonts" || name == "fills" || name == "cellXfs" || name == "cellStyleXfs") inside = name;
    if (inside == "fonts" && name == "font") boldFonts.push_back(false);
    if (inside == "fonts" && name == "b") boldFonts.back() = true;
    if (inside == "fills" && name == "fill") fills.push_back(0);
    if (inside == "fills" && name == "fgColor") fills.back() = static_cast<uint32_t>(std::stoul(attribute(reader, "rgb"), nullptr, 16)) & 0xFFFFFF;
    if (inside == "cellXfs" && name == "xf") {
      const size_t font = std::stoul(attribute(reader, "fontId")), fill = std::stoul(attribute(reader, "fillId"));
      formats.push_back({fill < fills.size() ? fills[fill] : 0xDEAD, font < boldFonts.size() && boldFonts[font], false});
    }
    if (inside == "cellXfs" && name == "alignment") formats.back().wrap = attribute(reader, "wrapText") == "1";
  }
  std::map<std::string, Look> out;
  for (const auto& cell : elements(part(book, "xl/worksheets/sheet1.xml"), "c", {"r", "s"})) {
    const size_t format = cell.at("s").empty() ? 0 : std::stoul(cell.at("s"));
    out[cell.at("r")] = format < formats.size() ? formats[format] : Look{0xBAD, true, true};
  }
  return out;
}

TEST(XlsxWriter, RowFillsBoldHeaderAndWrapLandOnTheirCells) {
  SheetToWrite sheet;
  sheet.rows = {{"title"}, {"no", "address", "verdict"}, {"1", "a", "ok"}, {"2", "b", "far\nsurcharge"},
                {"3", "", "ok"}, {"4", "d", "x\ny"}, {"5", "e", "ok"}};
  sheet.rowFills = {0, 0x00C0FF, 0xFF0000, 0xFF0000, 0, 0x123456};  // row 7 has none
  sheet.headerRow = 1;
  const std::string book = writeXlsxBook(sheet);

  const std::map<std::string, Look> want = {
      {"A1", {}},
      {"A2", {0x00C0FF, true, false}}, {"B2", {0x00C0FF, true, false}}, {"C2", {0x00C0FF, true, false}},
      {"A3", {0xFF0000, false, false}}, {"B3", {0xFF0000, false, false}}, {"C3", {0xFF0000, false, false}},
      {"A4", {0xFF0000, false, false}}, {"B4", {0xFF0000, false, false}}, {"C4", {0xFF0000, false, true}},
      {"A5", {}}, {"C5", {}},
      {"A6", {0x123456, false, false}}, {"B6", {0x123456, false, false}}, {"C6", {0x123456, false, true}},
      {"A7", {}}, {"B7", {}}, {"C7", {}},
  };
  EXPECT_EQ(looks(book), want);

  // Readers take the first two fills as none and gray125 whatever they say: ours come after.
  const auto patterns = elements(part(book, "xl/styles.xml"), "patternFill", {"patternType"});
  ASSERT_GE(patterns.size(), 2u);
  EXPECT_EQ(patterns[0].at("patternType"), "none");
  EXPECT_EQ(patterns[1].at("patternType"), "gray125");
}

TEST(XlsxWriter, PanesFreezeBelowTheHeaderRow) {
  struct Case {
    int headerRow;
    const char* ySplit;
    const char* topLeft;
  };
  for (const Case& c : {Case{0, "1", "A2"}, Case{3, "4", "A5"}}) {
    SheetToWrite sheet;
    sheet.rows = {{"a"}, {"b"}, {"c"}, {"d"}, {"e"}};
    sheet.headerRow = c.headerRow;
    const std::string book = writeXlsxBook(sheet);
    const auto panes = elements(part(book, "xl/worksheets/sheet1.xml"), "pane", {"ySplit", "xSplit", "topLeftCell", "state"});
    ASSERT_EQ(panes.size(), 1u);
    EXPECT_EQ(panes[0].at("ySplit"), c.ySplit);
    EXPECT_EQ(panes[0].at("xSplit"), "");
    EXPECT_EQ(panes[0].at("topLeftCell"), c.topLeft);
    EXPECT_EQ(panes[0].at("state"), "frozen");
    // The sheet still opens at its first row.
    SpreadsheetSheet read;
    ASSERT_TRUE(readBack(book, read));
    EXPECT_EQ(read.topLeftRow(), 0);
  }
  SheetToWrite plain;
  plain.rows = {{"a"}};
  EXPECT_TRUE(elements(part(writeXlsxBook(plain), "xl/worksheets/sheet1.xml"), "pane", {}).empty());
}

TEST(XlsxWriter, ColumnWidthsFollowTheWidestLine) {
  SheetToWrite sheet;
  sheet.rows = {{
      "a",                                             // A: the minimum
      std::string(20, 'n'),                            // B: 20 narrow
      utf8Text(u8"浙江省杭州市西湖区文"),                // C: 10 wide characters take 20 columns
      "short\n" + std::string(20, 'n') + "\nshort",    // D: the longest line, not the whole text
      std::string(500, 'L'),                           // E: one long address does not take the screen
      "",                                              // F: no text, no width of its own
      "x",                                             // G
  }};
  sheet.rows.push_back({"", "", "", "", "", "", std::string(30, 'n')});  // G: the widest cell of the column counts
  std::map<std::string, double> width;
  for (const auto& col : elements(part(writeXlsxBook(sheet), "xl/worksheets/sheet1.xml"), "col", {"min", "max", "width"})) {
    ASSERT_EQ(col.at("min"), col.at("max"));
    width[col.at("min")] = std::stod(col.at("width"));
  }
  EXPECT_GE(width["1"], 6);
  EXPECT_LE(width["1"], 10);
  EXPECT_GT(width["2"], 20);
  EXPECT_EQ(width["3"], width["2"]);
  EXPECT_EQ(width["4"], width["2"]);
  EXPECT_GE(width["5"], 60);
  EXPECT_LE(width["5"], 80);
  EXPECT_EQ(width.count("6"), 0u);
  EXPECT_GT(width["7"], 30);
}

TEST(XlsxWriter, SheetNamesAreMadeLegal) {
  const std::string cut31 = std::string(30, 's');
  const TextCase cases[] = {
      {"kept", utf8Text(u8"筛单结果"), utf8Text(u8"筛单结果")},
      {"forbidden characters", "a[b]c:d*e?f/g\\h", "a_b_c_d_e_f_g_h"},
      {"too long", std::string(40, 'n'), std::string(31, 'n')},
      {"a pair not split at the limit", cut31 + utf8Text(u8"📦"), cut31},
      {"apostrophes at the ends", "'o'k'", "o'k"},
      {"empty", "", "Sheet1"},
      {"nothing left", "'''", "Sheet1"},
      {"controls and broken bytes", "a\x01\xff" "b", utf8Text(u8"a\uFFFDb")},
      {"reserved", "History", "History_"},
      {"XML specials", "R&D <\"x\">", "R&D <\"x\">"},
  };
  for (const TextCase& c : cases) {
    SheetToWrite sheet;
    sheet.sheetName = c.text;
    sheet.rows = {{"a"}};
    const auto sheets = elements(part(writeXlsxBook(sheet), "xl/workbook.xml"), "sheet", {"name"});
    ASSERT_EQ(sheets.size(), 1u) << c.what;
    EXPECT_EQ(sheets[0].at("name"), c.want) << c.what;
  }
}

TEST(XlsxWriter, SheetsPastTheLimitsOfAWorkbookAreRefused) {
  SheetToWrite wide;
  wide.rows = {std::vector<std::string>(16385)};
  wide.rows[0][16383] = "last column";
  EXPECT_FALSE(writeXlsxBook(wide).empty());
  wide.rows[0][16384] = "one past";
  EXPECT_TRUE(writeXlsxBook(wide).empty());

  SheetToWrite tall;
  tall.rows.resize(1048577);
  tall.rows[1048575] = {"last row"};
  EXPECT_FALSE(writeXlsxBook(tall).empty());
  tall.rows[1048576] = {"one past"};
  EXPECT_TRUE(writeXlsxBook(tall).empty());
}

TEST(ZipWriter, MembersCarryTheirCrcAndSizes) {
  ZipWriter zip;
  zip.addMember("check.txt", "123456789");
  std::string big;
  for (int i = 0; i < 200000; ++i) big += std::to_string(i * 7919 % 100003) + ",";
  zip.beginMember("dir/big.csv");
  for (size_t at = 0; at < big.size(); at += 70000) zip.write(std::string_view(big).substr(at, 70000));
  zip.endMember();
  zip.addMember("empty", "");
  const std::string bytes = zip.finish();

  // The standard check value of CRC-32 over "123456789", in the local header and the directory.
  const auto le32 = [&bytes](size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return v;
  };
  ASSERT_GT(bytes.size(), 30u);
  EXPECT_EQ(le32(0), 0x04034b50u);
  EXPECT_EQ(le32(14), 0xCBF43926u);
  EXPECT_EQ(le32(22), 9u);
  const size_t end = bytes.size() - 22;
  EXPECT_EQ(le32(end), 0x06054b50u);
  const size_t directory = le32(end + 16);
  ASSERT_LT(directory, end);
  EXPECT_EQ(le32(directory), 0x02014b50u);
  EXPECT_EQ(le32(directory + 16), 0xCBF43926u);

  const ZipArchive archive(bytes);
  ASSERT_EQ(archive.status(), ZipArchive::Status::Ok);
  ASSERT_EQ(archive.size(), 3u);
  ZipArchive::Status status;
  EXPECT_EQ(archive.extract(archive.find("check.txt"), status), "123456789");
  const std::string back = archive.extract(archive.find("dir/big.csv"), status);
  EXPECT_EQ(status, ZipArchive::Status::Ok);
  EXPECT_TRUE(back == big);
  EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(back.data()), static_cast<uInt>(back.size())),
            crc32(0, reinterpret_cast<const Bytef*>(big.data()), static_cast<uInt>(big.size())));
  EXPECT_EQ(archive.extract(archive.find("empty"), status), "");
}

TEST(ZipWriter, AnArchivePastItsLimitGivesNoBytes) {
  // The limit stands for zip's 4 GB, which a test cannot afford to reach.
  std::string noise;
  uint32_t seed = 1;
  for (int i = 0; i < 20000; ++i) noise.push_back(static_cast<char>((seed = seed * 1103515245 + 12345) >> 24));
  struct Case {
    const char* what;
    uint64_t limit;
    size_t members;
    bool fits;
  };
  const Case cases[] = {
      {"fits", 100000, 1, true},
      {"one member too large", 10000, 1, false},
      {"members together too large", 50000, 3, false},
  };
  for (const Case& c : cases) {
    ZipWriter zip(6, c.limit);
    for (size_t i = 0; i < c.members; ++i) zip.addMember(std::string(1, 'm').append(std::to_string(i)), noise);
    EXPECT_EQ(zip.ok(), c.fits) << c.what;
    EXPECT_EQ(zip.finish().empty(), !c.fits) << c.what;
  }
}

}  // namespace
}  // namespace pv
