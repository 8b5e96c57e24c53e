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
from erp_test import KINDS, TITLE, control, log_in, workbook_rows
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
        for old in harness.ARTEFACTS.glob("*_筛单结果_*"):
            old.unlink()
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
        facts, _, results = summary.out.replace("\r\n", "\n").strip().partition("\n结果文件：")
        self.assertEqual(facts,
                         "【筛单项目】：星河速运 - 星河速运-杭州\n"
                         f"【筛单结果】：筛单总数：45；勾选数量：{len(MATCHING)}\n"
                         "【限制类型】：盲区停发；超区加收；虚假地址；其他限制；屏蔽村组15000米；屏蔽偏远50000米")
        # Beside the source: its rows, with the results after them.
        self.assertRegex(results, r"free-import-orders_筛单结果_\d{8}-\d{6}\.xlsx$")
        rows = workbook_rows(self.orders.parent / results.split("\\")[-1])
        self.assertEqual(rows[0], ["订单编号", "买家", "省市区", "详细地址", "筛单结果", "限制类型", "匹配对象", "说明",
                                   "最近网点", "网点距离(米)"])
        self.assertEqual([row[0] for row in rows[1:]], [number for number, *_ in ORDERS])
        self.assertEqual([row[0] for row in rows[1:] if row[4] == "勾选"], MATCHING)
        self.assertEqual(screening_requests(), [20, 20, 5])

        output = driver("richtext", MAIN_TITLE, "超级编辑框_输出").out.replace("\r\n", "\n")
        self.assertIn("【自由筛单】：数据表格", output)
        for number, region, street, _ in ORDERS[:len(SHOWN)]:
            self.assertIn(f"【筛选地址】：{region.replace(' ', '')}{street.format(number[2:])}\n", output)

        self.assertEqual(driver("clipboard").out.strip().split("\n"), MATCHING)
        self.assertEqual(driver("wait-window", RESULT, "30000").code, 0)
        self.assertEqual(driver("wait-state", RESULT, "按钮_打开结果文件", "visible", "1", "30000").code, 0)
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

    def test_failed_orders_are_screened_again_and_a_stopped_run_is_taken_up(self):
        # The connection drops half-way through the second batch's answer: its 20 orders fail,
        # the third batch goes on.
        control("POST", "faults", [{"endpoint": "pick", "times": 1, "delayMs": 1},
                                   {"endpoint": "pick", "times": 1, "body": "disconnect"}])
        self.addCleanup(control, "DELETE", "faults")
        self.start_import()
        self.assertEqual(driver("open-file", "请选择数据文件路径", harness.wine_path(self.orders), "60000").code, 0)
        question = driver("msgbox", TITLE, "120000", "是")
        self.assertEqual(question.code, 0, f"no question: {question}; status {driver('text', MAIN_TITLE, '状态条1')}")
        self.assertEqual(question.line, "有 20 单筛单失败，是否重新筛选这些订单？")
        summary = driver("msgbox", TITLE, "120000", "确定")
        self.assertEqual(summary.code, 0, summary)
        self.assertIn(f"【筛单结果】：筛单总数：45；勾选数量：{len(MATCHING)}\n", summary.out.replace("\r\n", "\n"))
        self.assertEqual(screening_requests()[-1], 20)
        self.assertEqual(driver("clipboard").out.strip().split("\n"), MATCHING)
        results = summary.out.replace("\r\n", "\n").partition("结果文件：")[2].strip()
        rows = workbook_rows(self.orders.parent / results.split("\\")[-1])
        self.assertEqual(len(rows), 46)
        self.assertNotIn("筛单失败", [row[4] for row in rows[1:]])
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "按钮_一键筛单").line == "一键筛单", 30))
        driver("close", RESULT)

        # Stopped while its second batch waits on the service; the same file again: only the rest.
        other = harness.ARTEFACTS / "free-import-resumed.xlsx"
        write_orders(other)
        control("DELETE", "faults")
        control("POST", "faults", [{"endpoint": "pick", "times": 1, "delayMs": 1},
                                   {"endpoint": "pick", "times": 1, "delayMs": 8000}])
        self.start_import()
        self.assertEqual(driver("open-file", "请选择数据文件路径", harness.wine_path(other), "60000").code, 0)
        self.assertTrue(harness.wait_until(
            lambda: "筛单中 20/45，约剩" in driver("text", MAIN_TITLE, "状态条1").line, 60),
            driver("text", MAIN_TITLE, "状态条1").out)
        self.assertEqual(driver("click", MAIN_TITLE, "按钮_一键筛单").code, 0)
        self.assertEqual(driver("text", MAIN_TITLE, "按钮_一键筛单").line, "一键筛单")
        self.assertNotEqual(driver("msgbox", TITLE, "10000").code, 0, "a stopped run shows no summary")
        before = len(screening_requests())  # the stopped run's second request, answered meanwhile, among them

        self.start_import()
        self.assertEqual(driver("open-file", "请选择数据文件路径", harness.wine_path(other), "60000").code, 0)
        question = driver("msgbox", TITLE, "60000", "是")
        self.assertEqual(question.code, 0, question)
        self.assertEqual(question.line, "上次筛单未完成（已完成 20/45 单），是否只筛剩余的 25 单？")
        summary = driver("msgbox", TITLE, "120000", "确定")
        self.assertEqual(summary.code, 0, summary)
        self.assertIn(f"【筛单结果】：筛单总数：45；勾选数量：{len(MATCHING)}\n", summary.out.replace("\r\n", "\n"))
        self.assertEqual(screening_requests()[before:], [20, 5])
        self.assertEqual(driver("clipboard").out.strip().split("\n"), MATCHING)


if __name__ == "__main__":
    unittest.main()
