"""The single-address queries against the local screening service.

Detailed: a village address typed into the address box and Enter pressed; the output box
shows the summary and both detail sections, the village rule of the operator's settings adds
its restriction, and the scroll buttons appear; the village characters are bold orange.
Quick: an address copied by another program is screened at once and shown in the quick-tip
window, which hides itself; the clipboard then holds the copied text plus one space; an order
number starts nothing; the detail button hands the address to the detailed query; a copy
holding characters GBK lacks stays whole on the clipboard."""
import unittest

import harness
from harness import driver
from service_login_test import LOGIN_TITLE, MAIN_TITLE, Sandbox, ServiceTestCase

QUICK_TITLE = "Parcelvane - 信息提示"
VILLAGE = "浙江省杭州市淳安县枫树岭镇下姜村3组"
PLACEHOLDER = "输入地址进行查询，按下回车键可以快速查询"
ORDER_NUMBER = "2025120812345678"
WEB_COPY = "浙江省杭州市西湖区文三路1号\u00a03栋\U0001F600"


def run_lines(title, name):
    """The runs of a rich edit as (colour, bold, points, face, text) tuples."""
    result = driver("runs", title, name)
    runs = []
    for line in result.out.splitlines():
        colour, bold, points, face, text = line.split("\t", 4)
        runs.append((colour.upper(), bold == "b", points, face, text))
    return runs


class AddressQueryTest(ServiceTestCase):
    def setUp(self):
        super().setUp()
        self.client = self.start_client("address-query.log")

    def output(self):
        return driver("richtext", MAIN_TITLE, "超级编辑框_输出").out

    def quick_tip_shown(self):
        return driver("wait-window", QUICK_TITLE, "100").code == 0

    def quick_tip(self):
        return driver("richtext", QUICK_TITLE, "超级编辑框_快速提示").out

    def diagnosis(self):
        shot = harness.ARTEFACTS / "address-query-failure.png"
        driver("screenshot", harness.wine_path(shot))
        return (f"output {self.output()!r}; quick tip {self.quick_tip()!r}; clipboard {driver('clipboard').out!r}; "
                f"screen in {shot}; client log {self.client.log_path}; sandbox log tail {self.sandbox.log[-5:]}")

    def log_in_with_a_service(self):
        self.assertEqual(self.client.wait_window(LOGIN_TITLE, 60).code, 0, self.diagnosis())
        self.assertEqual(driver("wait-state", LOGIN_TITLE, "按钮_登录", "enabled", "1", "30000").code, 0)
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_账户", "demo").code, 0)
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_密码", "demo123").code, 0)
        self.assertEqual(driver("click", LOGIN_TITLE, "按钮_登录").code, 0)
        self.assertEqual(driver("wait-window", MAIN_TITLE, "30000").code, 0, self.diagnosis())
        # 星河速运 has exactly one service of the demo account, which gets chosen.
        self.assertTrue(harness.choose_item(MAIN_TITLE, "组合框_筛单项目", "星河速运"), self.diagnosis())
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "组合框_筛单服务").line == "星河速运-杭州", 30), self.diagnosis())

    def test_enter_screens_a_village_address_into_the_output_box(self):
        self.log_in_with_a_service()
        self.assertEqual(driver("text", MAIN_TITLE, "编辑框_地址").line, PLACEHOLDER)
        self.assertEqual(driver("visible", MAIN_TITLE, "按钮_滚动到网点详情").line, "0")

        # Every delivery site is farther than 0 m: the village rule bites whatever the distances.
        self.assertEqual(driver("set-text", MAIN_TITLE, "编辑框_村组距离", "0").code, 0)
        self.assertEqual(driver("set-text", MAIN_TITLE, "编辑框_地址", VILLAGE).code, 0)
        self.assertEqual(driver("key", MAIN_TITLE, "编辑框_地址", "13").code, 0)
        # Done when the policy section is written and the query button is back.
        self.assertTrue(harness.wait_until(
            lambda: "匹配说明" in self.output() and driver("enabled", MAIN_TITLE, "按钮_查询").line == "1", 60),
            self.diagnosis())
        text = self.output()
        self.assertIn("【查询地址】：" + VILLAGE, text)
        self.assertIn("【匹配结果】：", text)
        self.assertIn("偏远村组", text)
        self.assertIn("----------------------匹配网点----------------------", text)
        self.assertIn("----------------------匹配策略----------------------", text)
        self.assertLess(text.index("匹配网点-"), text.index("匹配策略-"))
        self.assertEqual(driver("visible", MAIN_TITLE, "按钮_滚动到网点详情").line, "1")
        self.assertEqual(driver("visible", MAIN_TITLE, "按钮_滚动到策略详情").line, "1")
        self.assertEqual(driver("click", MAIN_TITLE, "按钮_滚动到策略详情").code, 0)
        shot = harness.ARTEFACTS / "address-query-output.png"
        shot.unlink(missing_ok=True)
        self.assertEqual(driver("screenshot", harness.wine_path(shot), MAIN_TITLE).code, 0)


    def test_a_copied_address_is_shown_counted_down_and_handed_to_the_detailed_query(self):
        self.log_in_with_a_service()
        self.assertEqual(driver("set-clipboard", VILLAGE).code, 0)
        self.assertEqual(driver("wait-window", QUICK_TITLE, "30000").code, 0, self.diagnosis())
        self.assertTrue(harness.wait_until(lambda: "【匹配结果】" in self.quick_tip(), 30), self.diagnosis())
        text = self.quick_tip()
        self.assertTrue(text.startswith("【筛单项目】：星河速运 - 星河速运-杭州"), text)
        self.assertIn("【查询地址】：" + VILLAGE, text)
        self.assertEqual(driver("clipboard").line, VILLAGE + " ")
        # Five seconds after it showed, the window hides itself (it stays loaded, hidden).
        self.assertTrue(harness.wait_until(lambda: not self.quick_tip_shown(), 15), self.diagnosis())

        # An order number is no address: nothing is screened, the clipboard keeps it as it is.
        self.assertEqual(driver("set-clipboard", ORDER_NUMBER).code, 0)
        self.assertFalse(harness.wait_until(self.quick_tip_shown, 3), self.diagnosis())
        self.assertEqual(driver("clipboard").line, ORDER_NUMBER)

        # The same address copied again is a new query; its detail button runs the detailed one.
        self.assertEqual(driver("set-clipboard", VILLAGE).code, 0)
        self.assertEqual(driver("wait-window", QUICK_TITLE, "30000").code, 0, self.diagnosis())
        self.assertEqual(driver("click", QUICK_TITLE, "按钮_详查").code, 0)
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "编辑框_地址").line == VILLAGE + " ", 15), self.diagnosis())
        self.assertTrue(harness.wait_until(
            lambda: "匹配说明" in driver("richtext", MAIN_TITLE, "超级编辑框_输出").out, 60), self.diagnosis())

        # 镇 and 村 of the address bold orange, the rest of it black and not bold, 宋体 10 pt. The
        # box joins neighbouring text of one format into one run, the label with the address.
        runs = run_lines(MAIN_TITLE, "超级编辑框_输出")
        first = next(i for i, r in enumerate(runs) if r[4].startswith("【查询地址】："))
        self.assertEqual([(r[0], r[1], r[4]) for r in runs[first:first + 4]],
                         [("000000", False, "【查询地址】：浙江省杭州市淳安县枫树岭"), ("F06E33", True, "镇"),
                          ("000000", False, "下姜"), ("F06E33", True, "村")], runs[:12])
        self.assertTrue(all(r[2] == "10" and r[3] == "宋体" for r in runs), runs[:5])

        # Copied from a web page: a no-break space and an emoji, which GBK lacks. The clipboard
        # then holds exactly that text plus the one space, not its GBK form.
        self.assertEqual(driver("set-clipboard", WEB_COPY).code, 0)
        self.assertTrue(harness.wait_until(lambda: driver("clipboard").line == WEB_COPY + " ", 30),
                        driver("clipboard").out)

if __name__ == "__main__":
    unittest.main()
