// Our xls and xlsx readers over committed fixtures. The trap fixtures are written byte by
// byte by tests/fixtures/spreadsheets/make_trap_fixtures.py; the others by real writers
// (tests/fixtures/spreadsheets/writers/).
#include <gtest/gtest.h>

#include <atomic>
#include <span>
#include <string>

#include "core/import/import_flow.h"
#include "core/sheets/read_ahead.h"
#include "core/import/sheet_orders.h"
#include "core/sheets/spreadsheet.h"
#include "core/sheets/xml_reader.h"
#include "core/sheets/zip_archive.h"
#include "core/system/files.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {

std::string fixture(std::string_view name) {
  return std::string(PV_TEST_FIXTURES) + "/spreadsheets/" + std::string(name);
}

std::string cellName(int row, int col) {
  std::string letters;
  for (int c = col + 1; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters + std::to_string(row + 1);
}

// "top=R,C last=R,C" and then every text cell as "B2=text", row by row.
std::string dump(const SpreadsheetSheet& sheet) {
  std::string out = "top=" + std::to_string(sheet.topLeftRow()) + "," + std::to_string(sheet.topLeftCol()) +
                    " last=" + std::to_string(sheet.lastRow()) + "," + std::to_string(sheet.lastCol());
  for (int r = 0; r < sheet.lastRow(); ++r) {
    for (int c = 0; c < sheet.lastCol(); ++c) {
      const std::string text = sheet.readStr(r, c);
      if (!text.empty()) out += "\n" + cellName(r, c) + "=" + text;
    }
  }
  return out;
}

std::string load(std::string_view name) {
  SpreadsheetBook book;
  if (!book.load(fixture(name))) return "error: " + book.errorMessage();
  const SpreadsheetSheet* sheet = book.sheet(0);
  EXPECT_EQ(book.sheet(1), nullptr);
  return sheet ? dump(*sheet) : "no sheet";
}

struct Case {
  const char* file;
  std::string want;
};

TEST(XlsReader, ReadsTextCellsOfTheFirstSheet) {
  const std::string address = "浙江省杭州市西湖区文三路浙江省杭州市西湖区文三路浙江省杭州市西湖区文三路90号";
  const Case cases[] = {
      // Split strings, rich and phonetic tails, STRING after FORMULA, a chart substream inside
      // the sheet, number/RK/MULRK cells, a boolean that only widens the used range,
      // MULBLANK/BLANK cells that do not, DIMENSIONS that say 1x1.
      {"traps.xls",
       "top=0,0 last=6,5\nA1=订单号\nB1=收货地址\nC1=备注\nA2=A100\nB2=" + address +
           "\nC2=富文本\nA3=20240501001\nB3=abcdefghijklmnop上海\nC3=東京都\nA4=F-001\nB4=北京市朝阳区"
           "\nC4=3.5\nB5=0\nB6=0\nC6=0\nD6=0\nE6=0"},
      // A fuzzer's mutation of sheetjs.xls whose strings end in a piece that holds only the
      // option byte of their rest: the cut strings are dropped, nothing is read past a piece.
      {"cut-string-finding.xls",
       "top=0,0 last=10,47873\nA1=订单导出\nA2=导出时间：2024-05-01\nA3=订单编号\nB3=省市区\nC3=收货地址"
       "\nD3=金额\nF3=备注\nCS3=下单时间\nA4=TB20240501001\nB4=浙江省 杭州市 西湖区"
       "\nC4=文三路90号东部软件园3号楼\nD4=59.9\nF4=加急\nA5=TB20240501002\nB5=广东省 深圳市 南山区"
       "\nC5=科技园南区高新南七道\nD5=12\nA6=20240501003\nB6=北京 北京市 朝阳区\nC6=建国路88号SOHO现代城"
       "\nD6=100\nA7=TB20240501004\nB7=四川省 成都市 武侯区\nC7=四川省成都市武侯区****\nD7=8.5\nF7=已隐藏"
       "\nA8=TB20240501005\nB8=新疆维吾尔自治区 乌鲁木齐市 天山区\nC8=解放北路1号\nD8=1\nA9=20240501006"
       "\nB9=上海 上海市 浦东新区\nC9=世纪大道100号环球金融中心\nD9=300\nF9=VIP\nA10=TB20240501007"
       "\nB10=湖北省 武汉市 洪山区"},
      {"mini-stream-view-row10.xls",
       "top=9,0 last=11,2\nA10=订单号\nB10=地址\nA11=X1\nB11=广州市天河区"},
      {"extended-allocation.xls", "top=0,0 last=2,2\nA1=订单号\nB1=地址\nA2=X1\nB2=广州市天河区"},
      {"biff5.xls", "top=0,0 last=2,2\nA1=订单号\nB1=收货地址\nA2=B5-1\nB2=深圳市南山区"},
      // Only the first sheet is read, and here it is a chart.
      {"chart-first.xls", "top=0,0 last=0,0"},
      {"xlsx-named.xls", "top=0,0 last=2,2\nA1=订单号\nB1=地址\nA2=Z1\nB2=南京市鼓楼区"},
  };
  for (const Case& c : cases) EXPECT_EQ(load(c.file), c.want) << c.file;
}

TEST(XlsxReader, ReadsTextCellsOfTheFirstSheet) {
  const Case cases[] = {
      // Prefixed names, first sheet by relationship (absolute target in other case), no
      // dimension, rows and cells without references, rich strings without phonetic runs,
      // escapes, formula strings, numbers without a type, booleans, errors and dates read as
      // empty, an out-of-range string index, a styled empty cell that does not count.
      {"traps.xlsx",
       "top=1,2 last=5,11\nC2=订单号\nD2=收货地址 \nA3=line\rbreak & <tag> 中文\nB3=浙江省杭州市\nC3=12"
       "\nC5=20240501\nD5=成都市\nE5=formula text\nI5=_x0041_ stays\nJ5=<cdata>"},
      {"zip64.xlsx", "top=0,0 last=2,2\nA1=订单号\nB1=地址\nA2=Z1\nB2=南京市鼓楼区"},
  };
  for (const Case& c : cases) EXPECT_EQ(load(c.file), c.want) << c.file;
}

TEST(SpreadsheetBook, SaysWhatAFileIsWhenItCannotBeRead) {
  namespace e = spreadsheet_errors;
  const std::pair<const char*, std::string_view> cases[] = {
      {"encrypted.xls", e::kEncrypted},
      {"encrypted.xlsx", e::kEncrypted},
      {"looping-chain.xls", e::kBroken},
      {"truncated.xlsx", e::kBroken},
      {"html-export.xls", e::kHtml},
      {"xml2003-export.xls", e::kXml2003},
      {"csv-export.xls", e::kText},
      {"no-such-file.xls", e::kUnreadable},
      {"biff4.xls", e::kOldFormat},  // a bare Excel 4.0 stream, no compound file
  };
  for (const auto& [file, want] : cases) EXPECT_EQ(load(file), "error: " + std::string(want)) << file;
}

TEST(SpreadsheetBook, SniffsTheFirstBytes) {
  struct Sniff {
    std::string bytes;
    SpreadsheetFormat want;
  };
  const Sniff cases[] = {
      {"", SpreadsheetFormat::Empty},
      {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1rest", SpreadsheetFormat::CompoundFile},
      {std::string("\x09\x00\x04\x00\x02\x00\x10\x00", 8), SpreadsheetFormat::OldExcel},  // BIFF2
      {std::string("\x09\x02\x06\x00\x00\x00\x10\x00\x00\x00", 10), SpreadsheetFormat::OldExcel},  // BIFF3
      {std::string("\x09\x08\x10\x00\x00\x06", 6), SpreadsheetFormat::Unknown},  // BIFF8 needs its compound file
      {"\t\x04 tab-led text", SpreadsheetFormat::Unknown},
      {"PK\x03\x04rest", SpreadsheetFormat::Zip},
      {"\xEF\xBB\xBF  <!DOCTYPE html><html>", SpreadsheetFormat::Html},
      {"<table border=1><tr>", SpreadsheetFormat::Html},
      {"<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\">", SpreadsheetFormat::Html},
      {std::string("\xFF\xFE<\0h\0t\0m\0l\0>\0", 14), SpreadsheetFormat::Html},
      {"<?xml version=\"1.0\"?><Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\">",
       SpreadsheetFormat::Xml2003},
      {"订单号\t地址\r\n1\t北京\r\n", SpreadsheetFormat::Text},
      // 北 is U+5317 (bytes 17 53 in UTF-16LE): no control character.
      {std::string("\xFF\xFE\x17\x53\t\0\x01\x4E\r\0\n\0", 12), SpreadsheetFormat::Text},
      {std::string("\xFE\xFF\x53\x17\0\t\x4E\x01", 8), SpreadsheetFormat::Text},
      {std::string("\xFF\xFE\x01\0\x02\0", 6), SpreadsheetFormat::Unknown},
      {std::string("\x01\x02\x03\0", 4), SpreadsheetFormat::Unknown},
  };
  for (const Sniff& c : cases) EXPECT_EQ(sniffSpreadsheet(c.bytes), c.want) << c.bytes;
}

TEST(XmlText, DecodesEntitiesAndWorkbookEscapes) {
  const std::pair<std::string, std::string> entities[] = {
      {"a&amp;b&lt;&gt;&quot;&apos;", "a&b<>\"'"},
      {"&#20013;&#x6587;", utf8Text(u8"中文")},
      {"&unknown; & &#xZZ; &#99999999999;", "&unknown; & &#xZZ; &#99999999999;"},
  };
  for (const auto& [raw, want] : entities) {
    std::string out;
    appendXmlText(out, raw);
    EXPECT_EQ(out, want) << raw;
  }
  const std::pair<std::string, std::string> escapes[] = {
      {"a_x000D_b", "a\rb"},
      {"_x005F_x000D_", "_x000D_"},
      {"_xD83D__xDE00_", utf8Text(u8"😀")},
      {"_x12_ _xGGGG_ _x0041", "_x12_ _xGGGG_ _x0041"},
  };
  for (const auto& [raw, want] : escapes) EXPECT_EQ(decodeWorkbookEscapes(raw), want) << raw;
}

}  // namespace
}  // namespace pv

namespace pv {
namespace {

// The order export of tests/fixtures/spreadsheets/writers/make.js as each writer saved it.
// Order numbers stored as numbers and amounts read as General shows them; dates as empty.
const char* const kExportRows[][6] = {
    {"订单编号", "省市区", "收货地址", "金额", "下单时间", "备注"},
    {"TB20240501001", "浙江省 杭州市 西湖区", "文三路90号东部软件园3号楼", "59.9", "", "加急"},
    {"TB20240501002", "广东省 深圳市 南山区", "科技园南区高新南七道", "12", "", ""},
    {"20240501003", "北京 北京市 朝阳区", "建国路88号SOHO现代城", "100", "", ""},
    {"TB20240501004", "四川省 成都市 武侯区", "四川省成都市武侯区****", "8.5", "", "已隐藏"},
    {"TB20240501005", "新疆维吾尔自治区 乌鲁木齐市 天山区", "解放北路1号", "1", "", ""},
    {"20240501006", "上海 上海市 浦东新区", "世纪大道100号环球金融中心", "300", "", "VIP"},
    {"TB20240501007", "湖北省 武汉市 洪山区", "", "20", "", "地址为空"},
    {"TB20240501008", "吉林省 延边朝鲜族自治州 延吉市", "河南街道3组", "45", "", ""},
};

TEST(SpreadsheetWriters, EveryWriterGivesTheSameTexts) {
  struct Writer {
    const char* file;
    int top, headerRow, lastCol;
    std::string extraRow;  // texts beside the first order, past the export's columns
  };
  const Writer writers[] = {
      {"sheetjs.xlsx", 0, 2, 6, ""},
      {"sheetjs.xls", 0, 2, 6, ""},
      {"exceljs-view-row10.xlsx", 9, 9, 8, "\nG11=富文本\nH11=TB20240501001-x"},
      {"libreoffice.xlsx", 9, 9, 8, "\nG11=富文本\nH11=TB20240501001-x"},
      // LibreOffice's xls keeps neither the scroll position nor the formula's text result
      // (it caches the number 0 in its place).
      {"libreoffice.xls", 0, 9, 8, "\nG11=富文本\nH11=0"},
  };
  for (const Writer& w : writers) {
    const int lastRow = w.headerRow + 9;
    std::string want = "top=" + std::to_string(w.top) + ",0 last=" + std::to_string(lastRow) + "," +
                       std::to_string(w.lastCol);
    if (w.headerRow == 2) want += "\nA1=订单导出\nA2=导出时间：2024-05-01";
    for (int r = 0; r < w.headerRow; ++r) {
      if (w.headerRow == 9) want += "\nA" + std::to_string(r + 1) + "=说明第" + std::to_string(r + 1) + "行";
    }
    for (int r = 0; r < 9; ++r) {
      for (int c = 0; c < 6; ++c) {
        if (*kExportRows[r][c]) want += "\n" + cellName(w.headerRow + r, c) + "=" + kExportRows[r][c];
      }
      if (r == 1) want += w.extraRow;
    }
    EXPECT_EQ(load(w.file), want) << w.file;
  }
}

}  // namespace
}  // namespace pv

namespace pv {
namespace {

// Every event of a reader as one line: kind, name or text, and the attribute "r".
std::string events(XmlReader& reader) {
  std::string out;
  for (;;) {
    const XmlReader::Event event = reader.next();
    switch (event) {
      case XmlReader::Event::Start: {
        std::string_view r;
        out += "<" + std::string(reader.name()) + (reader.attribute("r", r) ? " r=" + std::string(r) : "") + ">";
        break;
      }
      case XmlReader::Event::End: out += "</" + std::string(reader.name()) + ">"; break;
      case XmlReader::Event::Text:
        out += (reader.textIsCdata() ? "[cdata:" : "[") + std::string(reader.text()) + "]";
        break;
      case XmlReader::Event::Done: return out + "(done)";
      case XmlReader::Event::Error: return out + "(error)";
    }
  }
}

// A reader fed `xml` in pieces of `size` bytes.
std::string eventsInPieces(std::string_view xml, size_t size) {
  size_t at = 0;
  XmlReader reader([&](std::string& buffer) {
    if (at >= xml.size()) return false;
    buffer.append(xml.substr(at, size));
    at += size;
    return true;
  });
  return events(reader);
}

TEST(XmlReader, PiecesOfAnySizeGiveTheSameEventsAsTheWholeText) {
  // Every construct the reader knows, with the bytes that end one construct ('>', "]]",
  // "--", quotes) inside another, and entities that a cut would split.
  const std::string documents[] = {
      "<?xml version=\"1.0\"?>\r\n<!DOCTYPE x [<!ENTITY e \"v\">]><!-- a <b> -- c -->"
      "<x:w xmlns:x=\"u\"><x:row r='1' t=\"a>b\"><c r=\"A1\"/><v>1 &amp; 2 &#x4E2D;</v>"
      "<![CDATA[ <a> ]] ]]><is><t xml:space=\"preserve\"> t </t></is></x:row></x:w>tail",
      "<a><b>unclosed",                // text running to the end
      "<a><b r=\"1></a>",              // an attribute that never closes: malformed
      "<a></a><!-- never closed",      // so is a comment
      "",
  };
  for (const std::string& xml : documents) {
    XmlReader whole(xml);
    const std::string want = events(whole);
    for (const size_t size : {1, 2, 3, 7, 64, 100000}) {
      EXPECT_EQ(eventsInPieces(xml, size), want) << xml << " in pieces of " << size;
    }
  }
}

TEST(ZipMember, ReadInPiecesGivesWhatExtractGives) {
  for (const char* file : {"sheetjs.xlsx", "libreoffice.xlsx"}) {  // stored, deflated
    const std::string bytes = readFileBytes(fixture(file));
    const ZipArchive zip(bytes);
    ASSERT_EQ(zip.status(), ZipArchive::Status::Ok);
    ASSERT_GT(zip.size(), 3u);
    for (int i = 0; i < static_cast<int>(zip.size()); ++i) {
      ZipArchive::Status status;
      const std::string whole = zip.extract(i, status);
      ASSERT_EQ(status, ZipArchive::Status::Ok) << file << " " << zip.name(i);
      for (const size_t size : {1, 5, 4096}) {
        ZipArchive::Member member(zip, i);
        std::string pieces;
        while (member.read(pieces, size)) {
        }
        EXPECT_EQ(member.status(), ZipArchive::Status::Ok) << file << " " << zip.name(i);
        EXPECT_EQ(pieces, whole) << file << " " << zip.name(i) << " in pieces of " << size;
      }
    }
  }
  const std::string bytes = readFileBytes(fixture("libreoffice.xlsx"));
  // A member whose deflate data is damaged ends as damaged, whatever came before.
  const std::string name = "xl/worksheets/sheet1.xml";
  std::string damaged = bytes;
  const size_t at = damaged.find(name);  // the name in the member's local header
  ASSERT_NE(at, std::string::npos);
  ASSERT_GE(at, 30u);
  const size_t extra = static_cast<unsigned char>(damaged[at - 2]) | static_cast<unsigned char>(damaged[at - 1]) << 8;
  damaged[at + name.size() + extra] = '\x07';  // a final block of the reserved type 3
  const ZipArchive zipDamaged(damaged);
  ASSERT_EQ(zipDamaged.status(), ZipArchive::Status::Ok);
  ZipArchive::Member broken(zipDamaged, zipDamaged.find(name));
  std::string out;
  while (broken.read(out, 4096)) {
  }
  EXPECT_EQ(broken.status(), ZipArchive::Status::Broken);
  SpreadsheetBook book;
  EXPECT_FALSE(book.loadBytes(damaged));
  EXPECT_EQ(book.errorMessage(), spreadsheet_errors::kBroken);
}

TEST(ReadAhead, HandsOutPiecesInOrderAndStopsWhenLeftEarly) {
  int made = 0;
  {
    ReadAhead ahead([&](std::string& piece) {
      if (made == 50) return false;
      piece = std::to_string(made++) + ",";
      return true;
    }, 3);
    std::string all;
    while (ahead.next(all)) {
    }
    std::string want;
    for (int i = 0; i < 50; ++i) want += std::to_string(i) + ",";
    EXPECT_EQ(all, want);
    EXPECT_FALSE(ahead.next(all));
  }
  // A consumer that stops early (a malformed sheet) does not wait for an endless producer.
  std::atomic<int> pieces{0};
  {
    ReadAhead ahead([&](std::string& piece) {
      piece = "x";
      ++pieces;
      return true;
    }, 2);
    std::string some;
    ASSERT_TRUE(ahead.next(some));
    EXPECT_EQ(some, "x");
  }
  EXPECT_LE(pieces.load(), 5);
}

}  // namespace
}  // namespace pv

namespace pv {
namespace {

// Number cells of both readers, from the same cases written as BIFF8 records and as
// SpreadsheetML (make_trap_fixtures.py): what the operator saw in the cell, digits intact.
TEST(SpreadsheetNumbers, EachReaderReadsNumberCellsAsTheirDigits) {
  struct Cell {
    const char* name;
    int row, col;
    const char* want;
  };
  const Cell common[] = {
      {"12-digit order number", 1, 0, "202405010012"},
      {"15 digits, the most a spreadsheet keeps", 2, 0, "123456789012345"},
      {"16 digits", 3, 0, "1234567890123456"},
      {"formula's cached number", 4, 0, "5000"},
      {"1.5", 1, 2, "1.5"},
      {"0", 2, 2, "0"},
      {"negative", 3, 2, "-3"},
      {"0.1", 4, 2, "0.1"},
      {"built-in date format", 5, 2, ""},
      {"date format of the file's own", 6, 2, ""},
  };
  const Cell xls[] = {
      {"RK integer order number", 5, 0, "5001"},
      {"20 digits, no exponent", 6, 0, "12345678901234567000"},
      {"MULRK: a double's high half", 7, 2, "0.5"},
      {"MULRK: an integer", 7, 3, "7"},
      {"MULRK: hundredths", 7, 4, "-1.25"},
      {"a quoted d is no date", 7, 5, "2.5"},
      {"boolean", 6, 3, ""},
      {"formula with a boolean result", 7, 6, ""},
  };
  const Cell xlsx[] = {
      {"shared formula's first cell", 5, 0, "5001"},
      {"20 digits, no exponent", 7, 0, "12345678901234567000"},
      {"shared formula's other cell, its own cached value", 6, 0, "5002"},
      {"a quoted d is no date", 7, 2, "2.5"},
      {"boolean", 6, 3, ""},
      {"huge", 8, 2, "1E+20"},
      {"tiny", 8, 3, "1.5E-07"},
      {"General's 11 characters, large", 9, 2, "1.23457E+11"},
      {"General's 11 characters, small", 9, 3, "0.000123457"},
      {"Chinese built-in date format", 10, 2, ""},
      {"error", 10, 3, ""},
      {"date cell", 10, 4, ""},
      {"-0.25", 11, 2, "-0.25"},
      {"exponent and blanks in the value", 11, 3, "1500"},
      {"no number", 11, 4, ""},
  };
  const auto check = [](const char* file, std::span<const Cell> cells) {
    SpreadsheetBook book;
    ASSERT_TRUE(book.load(fixture(file))) << file << ": " << book.errorMessage();
    for (const Cell& c : cells) EXPECT_EQ(book.sheet(0)->readStr(c.row, c.col), c.want) << file << ": " << c.name;
  };
  for (const char* file : {"numbers.xls", "numbers.xlsx"}) check(file, common);
  check("numbers.xls", xls);
  check("numbers.xlsx", xlsx);
}

TEST(SpreadsheetNumbers, WholeNumbersBeyondFifteenDigitsAreMarked) {
  // 16 and 20 digits; 15 digits and 1E+20 are not.
  for (const auto& [file, want] : {std::pair{"numbers.xls", "A4 A7 "}, std::pair{"numbers.xlsx", "A4 A8 "}}) {
    SpreadsheetBook book;
    ASSERT_TRUE(book.load(fixture(file))) << file;
    const SpreadsheetSheet& sheet = *book.sheet(0);
    std::string marked;
    for (int r = 0; r < sheet.lastRow(); ++r) {
      for (int c = 0; c < sheet.lastCol(); ++c) {
        if (sheet.numberMayBeCut(r, c)) marked += cellName(r, c) + " ";
      }
    }
    EXPECT_EQ(marked, want) << file;
  }
}

TEST(SpreadsheetUsedRange, OnlyCellsWithAValueCount) {
  struct Case {
    const char* file;
    int lastRow, lastCol;
  };
  const Case cases[] = {
      // Rows 5, 6 and 1048576 styled out to XFD, a dimension of the whole sheet.
      {"styled-to-xfd.xlsx", 4, 2},
      // MULBLANK out to column IV and BLANK at IV65536; a boolean formula in G8.
      {"numbers.xls", 8, 7},
      // An error, a cell whose value is no number; a formula without a cached value is left out.
      {"numbers.xlsx", 12, 5},
  };
  for (const Case& c : cases) {
    SpreadsheetBook book;
    ASSERT_TRUE(book.load(fixture(c.file))) << c.file;
    EXPECT_EQ(book.sheet(0)->lastRow(), c.lastRow) << c.file;
    EXPECT_EQ(book.sheet(0)->lastCol(), c.lastCol) << c.file;
  }
}

TEST(SpreadsheetUsedRange, ASheetStyledOutToTheLastCellImportsItsRows) {
  SpreadsheetBook book;
  ASSERT_TRUE(book.load(fixture("styled-to-xfd.xlsx")));
  ImportProfile profile;
  ImportOptional optional;
  applyImportDefaults(profile, optional);
  std::vector<ImportedOrder> orders;
  const SheetImport read = readSheetOrders(*book.sheet(0), profile, optional, orders);
  EXPECT_EQ(read.headerRow, 0);
  EXPECT_EQ(orders, (std::vector<ImportedOrder>{{"G1", "北京市朝阳区"}, {"G2", "上海市浦东新区"}, {"G3", "广州市天河区"}}));
}

}  // namespace
}  // namespace pv
