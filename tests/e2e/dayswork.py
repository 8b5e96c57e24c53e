"""A day's work in one client process, for leaks (scripts/dayswork.sh runs it; not a test).

One login, then ROUNDS rounds of: detailed queries, quick queries, one one-click run of a
fake ERP client's 1,000 orders, and one free import of a 10,000-row xlsx. The full day is 20
rounds (300 + 300 queries, 20 runs, 20 imports). The kinds of work alternate within every
round, so the first and the last tenth of the samples (whole rounds, at least one) cover the same mix. After each block
the client's private bytes, handles, GDI and USER objects are sampled (driver.exe counters).

The one-click run finds the ERP client by its window class whether it is shown or not, and
the free import is offered only when no ERP client is there: the fake ERP is started for its
run and closed after it, and its committed private memory is read before and after every run.

Prints a table (first tenth, last tenth, change, PASS/FAIL against 5 %) and writes every
sample to dayswork-samples.csv among the artefacts. Exit code 0 when every counter passes and
no run left memory behind in the fake ERP.
"""
import argparse
import os
import pathlib
import re
import sys
import time

import harness
from harness import driver
from erp_test import KINDS, TITLE, report
from import_test import SHOWN, write_orders
from service_login_test import LOGIN_TITLE, MAIN_TITLE, Sandbox

FAKE_ERP = os.environ["PV_FAKE_ERP"]
ERP_TITLE = "云端ERP - [订单审核]"
QUICK_TITLE = "Parcelvane - 信息提示"
COUNTERS = ("private-bytes", "handles", "gdi-objects", "user-objects")
LIMIT_PERCENT = 5.0


class DayFailed(Exception):
    pass


def check(ok, what):
    if not ok:
        shot = harness.ARTEFACTS / "dayswork-failure.png"
        driver("screenshot", harness.wine_path(shot))
        raise DayFailed(f"{what}; screen in {shot}")


def host_path(windows_path):
    """The host file behind a path the client names (Z: is the host's root, C: the prefix's)."""
    drive, rest = windows_path[:2].upper(), windows_path[2:].replace("\\", "/").lstrip("/")
    if drive == "Z:":
        return pathlib.Path("/" + rest)
    if drive == "C:":
        return pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c" / rest
    return None


class Day:
    def __init__(self, rounds, queries, erp_orders, import_rows):
        self.rounds, self.queries = rounds, queries
        self.erp_orders, self.import_rows = erp_orders, import_rows
        self.samples = []  # (label, {counter: value})
        self.erp_memory = []  # (before, after) committed private bytes of the fake per run
        self.query_number = 0
        self.results_removed = 0
        harness.ARTEFACTS.mkdir(parents=True, exist_ok=True)
        self.erp_orders_file = harness.ARTEFACTS / "dayswork-erp-orders.tsv"
        self.import_file = harness.ARTEFACTS / "dayswork-orders.xlsx"
        self.results_folder = harness.user_folder("Documents") / "Parcelvane" / "筛单结果"
        self.journal_folder = pathlib.Path(harness.CLIENT).parent / "data" / "journal"

    # The inputs: the ERP test's kinds of address, many times over.
    def write_inputs(self):
        lines = ["订单编号\t买家\t地区\t收货地址\t地址"]
        for i in range(self.erp_orders):
            number = f"PV{100000 + i}"
            region, street, _ = KINDS[i % len(KINDS)]
            lines.append(f"{number}\t买家{number}\t{region}\t（见地址）\t{street.format(number[2:])}")
        self.erp_orders_file.write_text("\r\n".join(lines) + "\r\n", encoding="utf-8")
        orders = [(f"DD{200000 + i}", *SHOWN[i % len(SHOWN)]) for i in range(self.import_rows)]
        write_orders(self.import_file, orders=orders)

    def sample(self, label):
        result = driver("counters", MAIN_TITLE)
        check(result.code == 0, f"no counters: {result}")
        values = {}
        for line in result.out.splitlines():
            name, _, value = line.partition(" ")
            if name in COUNTERS:
                values[name] = int(value)
        self.samples.append((label, values))
        # Written as taken, so a day that stops early keeps what it measured.
        with open(harness.ARTEFACTS / "dayswork-samples.csv", "a", encoding="utf-8") as out:
            out.write(label + "," + ",".join(str(values[n]) for n in COUNTERS) + "\n")
        print(f"  {label:<16} " + "  ".join(f"{n} {values[n]}" for n in COUNTERS), flush=True)

    def log_in(self):
        check(self.client.wait_window(LOGIN_TITLE, 60).code == 0, "no login window")
        check(driver("wait-state", LOGIN_TITLE, "按钮_登录", "enabled", "1", "30000").code == 0, "login stays disabled")
        driver("set-text", LOGIN_TITLE, "编辑框_账户", "demo")
        driver("set-text", LOGIN_TITLE, "编辑框_密码", "demo123")
        check(driver("click", LOGIN_TITLE, "按钮_登录").code == 0, "login not clicked")
        check(driver("wait-window", MAIN_TITLE, "30000").code == 0, "no main window")
        check(harness.choose_item(MAIN_TITLE, "组合框_筛单项目", "星河速运"), "project not chosen")
        check(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "组合框_筛单服务").line == "星河速运-杭州", 30), "service not chosen")

    def next_address(self):
        # A new address each time: the quick query ignores a copy of the text it just screened.
        self.query_number += 1
        return f"浙江省杭州市淳安县枫树岭镇下姜村{self.query_number}组"

    def detailed_queries(self):
        for _ in range(self.queries):
            address = self.next_address()
            check(driver("set-text", MAIN_TITLE, "编辑框_地址", address).code == 0, "address not typed")
            check(driver("key", MAIN_TITLE, "编辑框_地址", "13").code == 0, "Enter not pressed")

            def answered():
                text = driver("richtext", MAIN_TITLE, "超级编辑框_输出").out
                return address in text and "匹配说明" in text and \
                    driver("enabled", MAIN_TITLE, "按钮_查询").line == "1"
            check(harness.wait_until(answered, 60), f"no answer to the detailed query of {address}")

    def quick_queries(self):
        for _ in range(self.queries):
            address = self.next_address()
            check(driver("set-clipboard", address).code == 0, "clipboard not set")
            check(harness.wait_until(
                lambda: "【查询地址】：" + address in driver("richtext", QUICK_TITLE, "超级编辑框_快速提示").out
                and "【匹配结果】" in driver("richtext", QUICK_TITLE, "超级编辑框_快速提示").out, 60),
                f"no quick answer for {address}")

    def finish_run(self, what):
        """Answers the boxes that end a run: failed orders are not screened again; the
        summary's results file is removed, with any other left in the results folder."""
        while True:
            box = driver("msgbox", TITLE, "600000")
            check(box.code == 0, f"{what}: no summary; status {driver('text', MAIN_TITLE, '状态条1').line}")
            text = box.out.replace("\r\n", "\n")
            if "筛单失败" in text and "重新筛选" in text:
                print(f"  {what}: {text.strip()} -> 否", flush=True)
                driver("msgbox", TITLE, "5000", "IDNO")
                continue
            check(driver("msgbox", TITLE, "5000", "确定").code == 0, f"{what}: summary not answered")
            break
        check("【筛单结果】：筛单总数：" in text, f"{what}: unexpected box {text!r}")
        check(harness.wait_until(lambda: driver("text", MAIN_TITLE, "按钮_一键筛单").line == "一键筛单", 30),
              f"{what}: the run did not end")
        for found in re.findall(r"结果文件：(.+)", text):
            path = host_path(found.strip())
            if path is not None and path.is_file():
                path.unlink()
                self.results_removed += 1
        for folder in (self.results_folder, self.journal_folder, harness.ARTEFACTS):
            if folder.is_dir():
                for leftover in folder.glob("*筛单结果_*") if folder == harness.ARTEFACTS else folder.iterdir():
                    if leftover.is_file():
                        leftover.unlink()
                        self.results_removed += 1

    @staticmethod
    def settled_report():
        """The fake ERP's report once its memory holds still: a fake just started is still
        painting and filling its list for a moment, which is not the run's doing."""
        def complete():
            # A report the fake could not give in time comes back without its lines: ask again.
            for _ in range(10):
                values = report()
                if "private-bytes" in values and "private-blocks" in values:
                    return values
                time.sleep(1)
            check(False, "the fake ERP gives no report")

        last = complete()
        for _ in range(30):
            time.sleep(1)
            now = complete()
            if now["private-bytes"] == last["private-bytes"] and now["private-blocks"] == last["private-blocks"]:
                return now
            last = now
        return last

    def erp_run(self):
        erp = harness.WineProgram(FAKE_ERP, "dayswork-fake-erp.log", "--orders", harness.wine_path(self.erp_orders_file))
        try:
            check(erp.wait_window(ERP_TITLE, 60).code == 0, "no fake ERP window")
            first = self.settled_report()
            before = int(first["private-bytes"])
            check(driver("click", MAIN_TITLE, "按钮_一键筛单").code == 0, "one-click not clicked")
            self.finish_run("ERP run")
            last = self.settled_report()
            after = int(last["private-bytes"])
            self.erp_memory.append((before, after))
            # The allocations tell a block left behind from the fake's own heap growing.
            print(f"  fake ERP committed private bytes before {before}, after {after}; allocations "
                  f"before {first['private-blocks']}, after {last['private-blocks']}", flush=True)
        finally:
            erp.stop(ERP_TITLE)

    def free_import(self):
        check(driver("click", MAIN_TITLE, "按钮_一键筛单").code == 0, "one-click not clicked")
        question = driver("msgbox", TITLE, "60000", "确定")
        check(question.code == 0 and "导入excel" in question.out, f"no import question: {question}")
        chosen = driver("open-file", "请选择数据文件路径", harness.wine_path(self.import_file), "60000")
        check(chosen.code == 0, f"file not chosen: {chosen}")
        self.finish_run("import")

    def run(self):
        harness.forget_settings()
        sandbox = Sandbox()
        self.client = harness.WineProgram(harness.CLIENT, "dayswork-client.log")
        started = time.monotonic()
        try:
            self.write_inputs()
            (harness.ARTEFACTS / "dayswork-samples.csv").write_text("sample," + ",".join(COUNTERS) + "\n")
            self.log_in()
            self.sample("logged in")
            for day_round in range(1, self.rounds + 1):
                print(f"round {day_round}/{self.rounds} ({time.monotonic() - started:.0f} s)", flush=True)
                self.detailed_queries()
                self.sample(f"{day_round} detailed")
                self.quick_queries()
                self.sample(f"{day_round} quick")
                self.erp_run()
                self.sample(f"{day_round} ERP run")
                self.free_import()
                self.sample(f"{day_round} import")
        finally:
            self.client.stop(MAIN_TITLE)
            sandbox.stop()
            harness.forget_settings()
        return time.monotonic() - started

    def table(self, seconds):
        samples = [values for _, values in self.samples[1:]]  # the work, not the login
        # A tenth is made of whole rounds, so both ends hold every kind of work alike.
        per_round = len(samples) // self.rounds
        tenth = max(1, self.rounds // 10) * per_round
        print(f"\nday's work: {self.rounds} round(s): {self.rounds * self.queries} detailed and "
              f"{self.rounds * self.queries} quick queries, {self.rounds} one-click runs of {self.erp_orders} "
              f"orders, {self.rounds} imports of {self.import_rows} rows in {seconds / 60:.1f} min; "
              f"{len(samples)} samples, a tenth is {tenth} (whole rounds); {self.results_removed} results/journal files removed")
        print(f"{'counter':<14}{'first tenth':>14}{'last tenth':>14}{'change':>10}  verdict")
        passed = True
        for name in COUNTERS:
            first = sum(s[name] for s in samples[:tenth]) / tenth
            last = sum(s[name] for s in samples[-tenth:]) / tenth
            change = (last - first) / first * 100 if first else 0.0
            ok = abs(change) <= LIMIT_PERCENT
            passed &= ok
            print(f"{name:<14}{first:>14.0f}{last:>14.0f}{change:>+9.1f}%  {'PASS' if ok else 'FAIL'}")
        if self.erp_memory:
            grew = [i + 1 for i, (b, a) in enumerate(self.erp_memory) if a != b]
            print(f"fake ERP committed private bytes: before the first run {self.erp_memory[0][0]}, after the "
                  f"last {self.erp_memory[-1][1]}; runs that left memory behind: {grew or 'none'}  "
                  f"{'PASS' if not grew else 'FAIL'}")
            passed &= not grew
        return passed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=20)
    parser.add_argument("--queries", type=int, default=15, help="detailed and quick queries per round, each")
    parser.add_argument("--erp-orders", type=int, default=1000)
    parser.add_argument("--import-rows", type=int, default=10000)
    args = parser.parse_args()
    day = Day(args.rounds, args.queries, args.erp_orders, args.import_rows)
    try:
        seconds = day.run()
    except DayFailed as failure:
        print(f"dayswork: {failure}", file=sys.stderr)
        return 1
    return 0 if day.table(seconds) else 1


if __name__ == "__main__":
    sys.exit(main())
