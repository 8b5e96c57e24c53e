"""One-click screening of a cloud ERP client's order page: fake-erp.exe shows 45 orders in
another process, the client reads them through that process's memory, screens them against
the local service and ticks the rows that may ship; the inverse mode ticks the others; a
second click stops a run while its request waits; and the fake's committed memory is the
same after ten runs.

The addresses fall under the shipped rules of project 星河速运 (every restriction box
ticked, as the main window starts): a blind area (转塘街道), a surcharge area (余杭区), a
false address (测试地址), a campus restriction that passes, and ordinary streets; an address
cell the ERP client shows masked is screened by its region alone."""
import json
import os
import time
import unittest
import urllib.request

import harness
from harness import driver
from service_login_test import LOGIN_TITLE, MAIN_TITLE, PORT, Sandbox, ServiceTestCase

FAKE_ERP = os.environ["PV_FAKE_ERP"]
TITLE = "筛单提示"

# Region, address, whether the row is ticked (in the default mode).
KINDS = [
    ("浙江省 杭州市 西湖区", "西溪街道文一西路{}号", True),
    ("浙江省 杭州市 西湖区", "转塘街道象山路{}号", False),      # blind area
    ("浙江省 杭州市 余杭区", "良渚街道古墩路{}号", False),      # surcharge
    ("浙江省 杭州市 西湖区", "西溪街道测试地址{}", False),      # false address
    ("浙江省 杭州市 西湖区", "西溪街道浙江大学{}舍", True),     # campus: passes
    ("浙江省 杭州市 余杭区", "此次不解密", False),              # masked: its region, a surcharge area
    # masked, screened by its region alone: the shipped rules take a detail that short for a
    # false address
    ("浙江省 杭州市 西湖区", "U2FsdGVkX1+{}abcdefghijklmnopqrstuvwxyz==", False),
]
ORDERS = [(f"PV{1000 + i}", *KINDS[i % len(KINDS)]) for i in range(45)]
EXPECTED = "".join("1" if tick else "0" for (_, _, _, tick) in ORDERS)
INVERSE = "".join("0" if tick else "1" for (_, _, _, tick) in ORDERS)


def address_of(order):
    number, _, address, _ = order
    return address.format(number[2:])


def control(method, path, body=None):
    """One call of the sandbox's control endpoint; its answer's envelope."""
    data = json.dumps(body).encode() if body is not None else None
    request = urllib.request.Request(f"http://127.0.0.1:{PORT}/__control/{path}", data=data, method=method,
                                     headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(request, timeout=10) as answer:
        return json.load(answer)


def host_path(windows_path):
    """The host's path of a file under the Wine user's profile."""
    prefix = harness.user_windows_folder("")
    if not windows_path.lower().startswith(prefix.lower()):
        raise AssertionError(f"{windows_path} is not under {prefix}")
    return harness.user_profile().joinpath(*windows_path[len(prefix):].split("\\"))


def workbook_rows(path):
    """The text cells of an xlsx's first sheet, row by row (shared strings only, as our
    results files hold them)."""
    import re
    import zipfile
    from xml.etree import ElementTree
    ns = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
    with zipfile.ZipFile(path) as book:
        strings = ["".join(t.text or "" for t in si.iter(f"{{{ns['m']}}}t"))
                   for si in ElementTree.fromstring(book.read("xl/sharedStrings.xml")).findall("m:si", ns)]
        sheet = ElementTree.fromstring(book.read("xl/worksheets/sheet1.xml"))
    rows = []
    for row in sheet.iter(f"{{{ns['m']}}}row"):
        cells = {}
        for c in row.findall("m:c", ns):
            column = re.match(r"[A-Z]+", c.get("r")).group(0)
            index = 0
            for letter in column:
                index = index * 26 + ord(letter) - 64
            value = c.find("m:v", ns)
            cells[index - 1] = strings[int(value.text)] if c.get("t") == "s" and value is not None else ""
        rows.append([cells.get(i, "") for i in range(max(cells) + 1)] if cells else [])
    return rows


def log_in(test, client):
    """Logs the demo account in and chooses project 星河速运 (service 星河速运-杭州)."""
    test.assertEqual(client.wait_window(LOGIN_TITLE, 60).code, 0)
    test.assertEqual(driver("wait-state", LOGIN_TITLE, "按钮_登录", "enabled", "1", "30000").code, 0)
    driver("set-text", LOGIN_TITLE, "编辑框_账户", "demo")
    driver("set-text", LOGIN_TITLE, "编辑框_密码", "demo123")
    test.assertEqual(driver("click", LOGIN_TITLE, "按钮_登录").code, 0)
    test.assertEqual(driver("wait-window", MAIN_TITLE, "30000").code, 0)
    test.assertTrue(harness.choose_item(MAIN_TITLE, "组合框_筛单项目", "星河速运"))
    test.assertTrue(harness.wait_until(
        lambda: driver("text", MAIN_TITLE, "组合框_筛单服务").line == "星河速运-杭州", 30))


def report():
    """The fake ERP's rows, check states and committed private memory."""
    done = harness.wine(FAKE_ERP, "--report")
    values = {}
    for line in done.out.splitlines():
        key, _, value = line.strip().partition(" ")
        values[key] = value
    return values


class ErpTestCase(ServiceTestCase):
    """The fake ERP with its 45 orders and a logged-in client."""

    def setUp(self):
        super().setUp()
        orders = harness.ARTEFACTS / "erp-orders.tsv"
        harness.ARTEFACTS.mkdir(parents=True, exist_ok=True)
        lines = ["订单编号\t买家\t地区\t收货地址\t地址"]
        for order in ORDERS:
            lines.append(f"{order[0]}\t买家{order[0]}\t{order[1]}\t（见地址）\t{address_of(order)}")
        orders.write_text("\r\n".join(lines) + "\r\n", encoding="utf-8")
        self.erp = harness.WineProgram(FAKE_ERP, "fake-erp.log", "--orders", harness.wine_path(orders))
        self.addCleanup(self.erp.stop, "云端ERP - [订单审核]")
        self.assertEqual(self.erp.wait_window("云端ERP - [订单审核]", 60).code, 0)
        self.client = self.start_client("erp-client.log")
        log_in(self, self.client)

    def run_once(self):
        """One click and its summary box answered; the box's text."""
        self.assertEqual(driver("text", MAIN_TITLE, "按钮_一键筛单").line, "一键筛单")
        self.assertEqual(driver("click", MAIN_TITLE, "按钮_一键筛单").code, 0)
        box = driver("msgbox", TITLE, "120000", "确定")
        self.assertEqual(box.code, 0, f"no summary: {box}; status {driver('text', MAIN_TITLE, '状态条1')}")
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "按钮_一键筛单").line == "一键筛单", 10),
            f"box {box.out!r}; output {driver('richtext', MAIN_TITLE, '超级编辑框_输出').out!r}; "
            f"client running {self.client.running()}")
        return box.out.replace("\r\n", "\n").strip()


class ErpOneClickTest(ErpTestCase):
    def test_ticks_reads_inverts_stops_and_leaves_no_memory_behind(self):
        self.assertEqual(report()["checked"], "0" * 45)
        ticked = EXPECTED.count("1")

        summary = self.run_once()
        self.assertEqual(report()["checked"], EXPECTED)
        facts, _, results = summary.partition("\n结果文件：")
        self.assertEqual(facts, "【筛单项目】：星河速运 - 星河速运-杭州\n"
                                f"【筛单结果】：筛单总数：45；勾选数量：{ticked}\n"
                                "【限制类型】：盲区停发；超区加收；虚假地址；其他限制；屏蔽村组15000米；屏蔽偏远50000米")
        # The list's rows and their results, in Documents.
        self.assertRegex(results, r"^C:\\users\\[^\\]+\\(My )?Documents\\Parcelvane\\筛单结果\\"
                                  r"网店管家云端版_订单审核_\d{8}-\d{6}\.xlsx$")
        rows = workbook_rows(host_path(results))
        self.assertEqual(rows[0][:3], ["订单编号", "地区", "地址"])
        self.assertEqual(rows[0][3], "筛单结果")
        self.assertEqual([row[0] for row in rows[1:]], [order[0] for order in ORDERS])
        self.assertEqual(["1" if row[3] == "勾选" else "0" for row in rows[1:]], list(EXPECTED))
        output = driver("richtext", MAIN_TITLE, "超级编辑框_输出").out
        self.assertIn("【匹配软件】：网店管家云端版", output)
        self.assertIn("【选中界面】：订单审核", output)
        for order in ORDERS:
            region = order[1].replace(" ", "")
            masked = order[2].startswith("此次") or order[2].startswith("U2F")
            sent = region if masked else region + address_of(order)
            self.assertIn(f"【筛选地址】：{sent}\n【筛选结果】：", output.replace("\r\n", "\n"))
        self.assertEqual(output.count("【勾选结果】：选中"), ticked)
        self.assertIn(f"【筛单结果】：筛单总数：45；勾选数量：{ticked}。", output)
        self.assertNotEqual(driver("wait-window", "~筛单结果", "500").code, 0, "no order numbers: no result window")

        # The inverse mode ticks exactly the other rows.
        self.assertEqual(driver("click", MAIN_TITLE, "单选框_反选").code, 0)
        self.run_once()
        self.assertEqual(report()["checked"], INVERSE)

        # A second click while the first request waits on the service stops the run at once.
        self.assertEqual(driver("click", MAIN_TITLE, "单选框_正选").code, 0)
        control("POST", "faults", {"endpoint": "pick", "delayMs": 8000, "times": -1})
        self.addCleanup(control, "DELETE", "faults")
        self.assertEqual(driver("click", MAIN_TITLE, "按钮_一键筛单").code, 0)
        self.assertTrue(harness.wait_until(
            lambda: "正在查询" in driver("text", MAIN_TITLE, "状态条1").line, 30))
        self.assertEqual(driver("click", MAIN_TITLE, "按钮_一键筛单").code, 0)
        self.assertEqual(driver("text", MAIN_TITLE, "按钮_一键筛单").line, "一键筛单")
        time.sleep(10)  # past the service's delay: a run that went on would tick and summarise now
        self.assertNotEqual(driver("msgbox", TITLE, "2000").code, 0, "a stopped run shows no summary")
        self.assertEqual(report()["checked"], INVERSE, "nothing ticked after the stop")
        control("DELETE", "faults")

        # No block left in the fake ERP's memory, run after run.
        before = report()
        for _ in range(10):
            self.run_once()
        after = report()
        self.assertEqual(after["checked"], EXPECTED)
        self.assertEqual(after["private-bytes"], before["private-bytes"], (before, after))


class ErpFaultTest(ErpTestCase):
    def test_a_batch_the_service_keeps_failing_is_offered_again(self):
        # 502 on every attempt of the second batch: its 20 rows fail, the rest are ticked.
        control("POST", "faults", [{"endpoint": "pick", "times": 1, "delayMs": 1},
                                   {"endpoint": "pick", "times": 3, "status": 502}])
        self.addCleanup(control, "DELETE", "faults")
        self.assertEqual(driver("click", MAIN_TITLE, "按钮_一键筛单").code, 0)
        question = driver("msgbox", TITLE, "120000", "否")
        self.assertEqual(question.code, 0, f"no question: {question}; status {driver('text', MAIN_TITLE, '状态条1')}")
        self.assertEqual(question.line, "有 20 单筛单失败，是否重新筛选这些订单？")
        summary = driver("msgbox", TITLE, "60000", "确定")
        self.assertEqual(summary.code, 0, summary)
        failed = EXPECTED[:20] + "0" * 20 + EXPECTED[40:]
        self.assertIn(f"【筛单结果】：筛单总数：45；勾选数量：{failed.count('1')}\n", summary.out.replace("\r\n", "\n"))
        self.assertEqual(report()["checked"], failed, "a row the service gave no verdict for is never ticked")
        rows = workbook_rows(host_path(summary.out.replace("\r\n", "\n").partition("结果文件：")[2].strip()))
        self.assertEqual([row[3] for row in rows[21:41]], ["筛单失败"] * 20)
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "按钮_一键筛单").line == "一键筛单", 30))

        # The next run, the fault gone, is as any other.
        control("DELETE", "faults")
        self.run_once()
        self.assertEqual(report()["checked"], EXPECTED)

    def test_a_token_expired_during_a_run_ends_it_and_restarts_to_the_login(self):
        # The service's clock two hours on: the session's token has expired by the first batch.
        control("POST", "clock", {"offsetSeconds": 7200})
        self.addCleanup(control, "POST", "clock", {"offsetSeconds": 0})
        self.addCleanup(lambda: driver("close", LOGIN_TITLE) and driver("wait-gone", LOGIN_TITLE, "15000"))
        self.assertEqual(driver("click", MAIN_TITLE, "按钮_一键筛单").code, 0)
        box = driver("msgbox", TITLE, "120000", "确定")
        self.assertEqual(box.code, 0, f"no box: {box}; status {driver('text', MAIN_TITLE, '状态条1')}")
        self.assertTrue(box.out.replace("\r\n", "\n").strip().endswith("\n请重新登录"), box.out)
        # The program starts again at its login window; nothing was ticked, no summary came.
        self.assertEqual(driver("wait-gone", MAIN_TITLE, "60000").code, 0)
        self.assertEqual(driver("wait-window", LOGIN_TITLE, "60000").code, 0, "no login window after the restart")
        self.assertNotEqual(driver("msgbox", TITLE, "2000").code, 0, "a run cut short by the session shows no summary")
        self.assertEqual(report()["checked"], "0" * 45)


if __name__ == "__main__":
    unittest.main()
