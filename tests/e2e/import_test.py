"""The free import: with no ERP client on the desktop, one click offers to screen an order
file; the operator picks a 45-order xlsx in the open-file dialog, the client sends its
addresses to the local service in batches of 20, 20 and 5, and the matching order numbers
end up on the clipboard and in the result window, whose "逗号分割" choice rewrites the list
as one line. The same orders saved as Excel's "Unicode text" (.txt: UTF-16LE behind its
byte-order mark, tab-separated, CR LF) are read whole, with clean order numbers.

The workbook is written here (inline strings, no shared-string table), with the columns a
hand-made export has: order number, buyer, region and street address. The addresses fall
under the shipped rules of project 星河速运 as in the ERP test. A second workbook holds the
same orders with 12-digit order numbers stored as number cells, as a spreadsheet keeps an
order number typed into it."""
import unittest
import zipfile

import harness
from harness import driver
from erp_test import KINDS, TITLE, control, log_in
from service_login_test import MAIN_TITLE, Sandbox, ServiceTestCase

# The ERP test's kinds whose address is shown whole (the masked ones belong to ERP lists).
SHOWN = [kind for kind in KINDS if not kind[1].startswith(("此次", "U2F"))]
ORDERS = [(f"DD{2000 + i}", *SHOWN[i % len(SHOWN)]) for i in range(45)]
RESULT = "~筛单结果"  # the result window's title carries the product name and version after it
MATCHING = [number for (number, _, _, tick) in ORDERS if tick]
# The order numbers of the second workbook, by position.
NUMBERED = [str(202405010000 + i) for i in range(len(ORDERS))]

MAIN_NS = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL_NS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG_NS = "http://schemas.openxmlformats.org/package/2006/relationships"
CT_NS = "http://schemas.openxmlformats.org/package/2006/content-types"
SHEET_TYPE = "application/vnd.openxmlformats-officedocument.spreadsheetml"


def cell(ref, text):
    escaped = text.replace("&", "&amp;").replace("<", "&lt;")
    return f'<c r="{ref}" t="inlineStr"><is><t>{escaped}</t></is></c>'


def number_cell(ref, digits):
    return f'<c r="{ref}"><v>{digits}</v></c>'


def write_orders(path, numbered=False, orders=ORDERS):
    """numbered: the order numbers are NUMBERED's, in number cells."""
    rows = [["订单编号", "买家", "省市区", "详细地址"]]
    for i, (number, region, street, _) in enumerate(orders):
        rows.append([NUMBERED[i] if numbered else number, "买家" + number, region.replace(" ", ""),
                     street.format(number[2:])])
    sheet = "".join(
        f'<row r="{r}">' + "".join(
            (number_cell if numbered and r > 1 and c == 0 else cell)(f"{'ABCD'[c]}{r}", text)
            for c, text in enumerate(row)) + "</row>"
        for r, row in enumerate(rows, start=1))
    parts = {
        "[Content_Types].xml":
            f'<Types xmlns="{CT_NS}"><Default Extension="rels" '
            'ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            f'<Override PartName="/xl/workbook.xml" ContentType="{SHEET_TYPE}.sheet.main+xml"/>'
            f'<Override PartName="/xl/worksheets/sheet1.xml" ContentType="{SHEET_TYPE}.worksheet+xml"/></Types>',
        "_rels/.rels":
            f'<Relationships xmlns="{PKG_NS}"><Relationship Id="rId1" Type="{REL_NS}/officeDocument" '
            'Target="xl/workbook.xml"/></Relationships>',
        "xl/workbook.xml":
            f'<workbook xmlns="{MAIN_NS}" xmlns:r="{REL_NS}"><sheets>'
            '<sheet name="订单" sheetId="1" r:id="rId1"/></sheets></workbook>',
        "xl/_rels/workbook.xml.rels":
            f'<Relationships xmlns="{PKG_NS}"><Relationship Id="rId1" Type="{REL_NS}/worksheet" '
            'Target="worksheets/sheet1.xml"/></Relationships>',
        "xl/worksheets/sheet1.xml":
            f'<worksheet xmlns="{MAIN_NS}"><dimension ref="A1:D{len(rows)}"/><sheetData>{sheet}</sheetData></worksheet>',
    }
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as book:
        for name, xml in parts.items():
            book.writestr(name, '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>' + xml)


def write_unicode_text(path):
    """Excel's "Unicode text" of the orders, the order number last (so a kept CR would end
    it); the buyer column holds a stray quote and a quoted tab."""
    lines = ["省市区\t详细地址\t买家\t订单编号"]
    for number, region, street, _ in ORDERS:
        buyer = f'"买家\t{number}"' if number.endswith("1") else f'买家"{number}'
        lines.append(f"{region.replace(' ', '')}\t{street.format(number[2:])}\t{buyer}\t{number}")
    path.write_bytes(b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le"))


def screening_requests():
    """Addresses per answered screening request since the service's last reset."""
    return control("GET", "requests")["data"]["pick"]


class FreeImportTest(ServiceTestCase):
    def setUp(self):
        super().setUp()
        control("POST", "reset")
        harness.ARTEFACTS.mkdir(parents=True, exist_ok=True)
        self.orders = harness.ARTEFACTS / "free-import-orders.xlsx"
        write_orders(self.orders)
        self.client = self.start_client("import-client.log")
        log_in(self, self.client)

    def start_import(self):
        self.assertEqual(driver("click", MAIN_TITLE, "按钮_一键筛单").code, 0)
        question = driver("msgbox", TITLE, "60000", "确定")
        self.assertEqual(question.code, 0, question)
        self.assertEqual(question.line, "未匹配到ERP客户端，是否导入excel表格进行筛单？")

    def test_screens_an_xlsx_in_batches_and_lists_the_matching_orders(self):
        # Cancelling the dialog ends the run quietly: no summary, nothing sent.
        self.start_import()
        self.assertEqual(driver("msgbox", "请选择数据文件路径", "60000", "IDCANCEL").code, 0)
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "按钮_一键筛单").line == "一键筛单", 30))
        self.assertNotEqual(driver("msgbox", TITLE, "2000").code, 0, "a cancelled import shows no summary")
        self.assertEqual(screening_requests(), [])

        self.start_import()
        chosen = driver("open-file", "请选择数据文件路径", harness.wine_path(self.orders), "60000")
        self.assertEqual(chosen.code, 0, chosen)
        summary = driver("msgbox", TITLE, "120000", "确定")
        self.assertEqual(summary.code, 0, f"no summary: {summary}; status {driver('text', MAIN_TITLE, '状态条1')}")
        self.assertEqual(summary.out.replace("\r\n", "\n").strip(),
                         "【筛单项目】：星河速运 - 星河速运-杭州\n"
                         f"【筛单结果】：筛单总数：45；勾选数量：{len(MATCHING)}\n"
                         "【限制类型】：盲区停发；超区加收；虚假地址；其他限制；屏蔽村组15000米；屏蔽偏远50000米")
        self.assertEqual(screening_requests(), [20, 20, 5])

        output = driver("richtext", MAIN_TITLE, "超级编辑框_输出").out.replace("\r\n", "\n")
        self.assertIn("【自由筛单】：数据表格", output)
        for number, region, street, _ in ORDERS[:len(SHOWN)]:
            self.assertIn(f"【筛选地址】：{region.replace(' ', '')}{street.format(number[2:])}\n", output)

        self.assertEqual(driver("clipboard").out.strip().split("\n"), MATCHING)
        self.assertEqual(driver("wait-window", RESULT, "30000").code, 0)
        self.assertTrue(harness.wait_until(
            lambda: driver("text", RESULT, "编辑框_筛单结果").out.strip().split("\n") == MATCHING, 30),
            driver("text", RESULT, "编辑框_筛单结果").out)

        self.assertEqual(driver("select", RESULT, "组合框_分割方式", "逗号分割").code, 0)
        self.assertTrue(harness.wait_until(
            lambda: driver("text", RESULT, "编辑框_筛单结果").line == ",".join(MATCHING), 30),
            driver("text", RESULT, "编辑框_筛单结果").out)
        self.assertEqual(driver("select", RESULT, "组合框_分割方式", "换行符").code, 0)
        self.assertTrue(harness.wait_until(
            lambda: driver("text", RESULT, "编辑框_筛单结果").out.strip().split("\n") == MATCHING, 30))

    def test_order_numbers_stored_as_numbers_reach_the_clipboard_as_digits(self):
        numbered = harness.ARTEFACTS / "free-import-numbered.xlsx"
        write_orders(numbered, numbered=True)
        matching = [NUMBERED[i] for i, (_, _, _, tick) in enumerate(ORDERS) if tick]
        self.start_import()
        chosen = driver("open-file", "请选择数据文件路径", harness.wine_path(numbered), "60000")
        self.assertEqual(chosen.code, 0, chosen)
        summary = driver("msgbox", TITLE, "120000", "确定")
        self.assertEqual(summary.code, 0, f"no summary: {summary}; status {driver('text', MAIN_TITLE, '状态条1')}")
        self.assertIn(f"【筛单结果】：筛单总数：45；勾选数量：{len(matching)}\n", summary.out.replace("\r\n", "\n"))
        self.assertEqual(screening_requests(), [20, 20, 5])
        self.assertEqual(driver("clipboard").out.strip().split("\n"), matching)

    def test_reads_excels_unicode_text_whole(self):
        text = harness.ARTEFACTS / "free-import-orders.txt"
        write_unicode_text(text)
        self.assertTrue(text.read_bytes().startswith(b"\xff\xfe"))
        self.start_import()
        chosen = driver("open-file", "请选择数据文件路径", harness.wine_path(text), "60000")
        self.assertEqual(chosen.code, 0, chosen)
        summary = driver("msgbox", TITLE, "120000", "确定")
        self.assertEqual(summary.code, 0, f"no summary: {summary}; status {driver('text', MAIN_TITLE, '状态条1')}")
        self.assertIn(f"【筛单结果】：筛单总数：45；勾选数量：{len(MATCHING)}\n",
                      summary.out.replace("\r\n", "\n"))
        self.assertEqual(screening_requests(), [20, 20, 5])
        # The driver prints each line break as "\n": an order number that kept its CR would
        # leave an empty line behind it.
        self.assertEqual(driver("clipboard").out.rstrip("\n").split("\n"), MATCHING)


if __name__ == "__main__":
    unittest.main()
