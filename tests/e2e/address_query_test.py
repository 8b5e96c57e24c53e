"""The detailed query against the local screening service: a village address typed into the
address box and Enter pressed; the output box shows the summary and both detail sections,
the village rule of the operator's settings adds its restriction, and the scroll buttons
appear."""
import unittest

import harness
from harness import driver
from service_login_test import LOGIN_TITLE, MAIN_TITLE, Sandbox

VILLAGE = "浙江省杭州市淳安县枫树岭镇下姜村3组"
PLACEHOLDER = "输入地址进行查询，按下回车键可以快速查询"


class AddressQueryTest(unittest.TestCase):
    def setUp(self):
        harness.forget_settings()
        self.addCleanup(harness.forget_settings)
        self.sandbox = Sandbox()
        self.addCleanup(self.sandbox.stop)
        self.client = harness.WineProgram(harness.CLIENT, "address-query.log")
        self.addCleanup(self.client.stop, MAIN_TITLE)

    def output(self):
        return driver("richtext", MAIN_TITLE, "超级编辑框_输出").out

    def diagnosis(self):
        shot = harness.ARTEFACTS / "address-query-failure.png"
        driver("screenshot", harness.wine_path(shot))
        return (f"output {self.output()!r}; "
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

        self.assertEqual(driver("set-text", MAIN_TITLE, "编辑框_地址", VILLAGE).code, 0)
        self.assertEqual(driver("key", MAIN_TITLE, "编辑框_地址", "13").code, 0)
        # Done when the policy section is written and the query button is back.
        self.assertTrue(harness.wait_until(
            lambda: "匹配说明" in self.output() and driver("enabled", MAIN_TITLE, "按钮_查询").line == "1", 60),
            self.diagnosis())
        text = self.output()
        self.assertIn("【查询地址】：" + VILLAGE, text)
        self.assertIn("【匹配结果】：", text)
        self.assertIn("偏远村组", text)  # the default village limit, 15000 m, is exceeded
        self.assertIn("----------------------匹配网点----------------------", text)
        self.assertIn("----------------------匹配策略----------------------", text)
        self.assertLess(text.index("匹配网点-"), text.index("匹配策略-"))
        self.assertEqual(driver("visible", MAIN_TITLE, "按钮_滚动到网点详情").line, "1")
        self.assertEqual(driver("visible", MAIN_TITLE, "按钮_滚动到策略详情").line, "1")
        self.assertEqual(driver("click", MAIN_TITLE, "按钮_滚动到策略详情").code, 0)
        shot = harness.ARTEFACTS / "address-query-output.png"
        shot.unlink(missing_ok=True)
        self.assertEqual(driver("screenshot", harness.wine_path(shot), MAIN_TITLE).code, 0)


if __name__ == "__main__":
    unittest.main()
