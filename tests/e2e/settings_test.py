"""Settings across a restart: what the operator leaves in the main window's persisted
controls (edit boxes, check boxes, radio buttons, combo boxes with their items and
selection) and in the login window's boxes is there again at the next start, and the
files hold it as GBK lines with CRLF, the password sealed.

The settings files live in the prefix's C:\\windows, shared with the other tests: they are
removed before and after, so every test starts from the windows' defaults."""
import unittest

import harness
from harness import driver
from service_login_test import LOGIN_TITLE, MAIN_TITLE, Sandbox, ServiceTestCase

ADDRESS = '浙江省杭州市西湖区文三路"100"号'
# Every check box of the main window; all ticked by default.
CHECK_BOXES = ("选择框_盲区停发", "选择框_超区加收", "选择框_虚假地址", "选择框_其他限制",
               "选择框_屏蔽村组", "选择框_屏蔽偏远", "选择框_复制地址快速查询")
DIGIT_BOXES = {"编辑框_村组距离": "12345", "编辑框_偏远距离": "678"}
PROJECT = "青竹快递"              # several services: none is chosen for the operator
SERVICE = "青竹快递-余杭分部"


class SettingsTest(ServiceTestCase):
    def setUp(self):
        super().setUp()

    def start(self, log_name):
        client = self.start_client(log_name)
        found = client.wait_window(LOGIN_TITLE, 60)
        self.assertEqual(found.code, 0, f"no login window: {found}; log in {client.log_path}")
        self.wait_state(LOGIN_TITLE, "按钮_登录", "enabled", "1")
        return client

    def requests(self, path_part):
        """How many requests the sandbox's log shows to a path containing path_part."""
        return sum(path_part in line for line in list(self.sandbox.log))

    def wait_state(self, title, name, state, want, ms="30000"):
        result = driver("wait-state", title, name, state, want, ms)
        self.assertEqual(result.code, 0, result)

    def log_in(self):
        self.assertEqual(driver("click", LOGIN_TITLE, "按钮_登录").code, 0)
        shown = driver("wait-window", MAIN_TITLE, "30000")
        self.assertEqual(shown.code, 0, f"no main window: {shown}; login status "
                                        f"{driver('text', LOGIN_TITLE, '状态条').line!r}")
        # The greeting is written after the window shows: give it a moment.
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "透明标签_用户名").line == "欢迎您，演示用户", 15),
            driver("text", MAIN_TITLE, "透明标签_用户名"))

    def close(self, client):
        # The main window's Destroying event writes the settings; the process then ends.
        self.assertEqual(driver("close", MAIN_TITLE).code, 0)
        self.assertIsNotNone(client.wait(30), "the client did not end after its main window closed")

    def set_main_window(self):
        self.assertEqual(driver("set-text", MAIN_TITLE, "编辑框_地址", ADDRESS).code, 0)
        for name, digits in DIGIT_BOXES.items():
            self.assertEqual(driver("set-text", MAIN_TITLE, name, digits).code, 0)
        for name in CHECK_BOXES:
            self.wait_state(MAIN_TITLE, name, "checked", "1", "1000")  # the default
            self.assertEqual(driver("click", MAIN_TITLE, name).code, 0)
            self.wait_state(MAIN_TITLE, name, "checked", "0", "5000")
        self.assertEqual(driver("click", MAIN_TITLE, "单选框_反选").code, 0)
        self.wait_state(MAIN_TITLE, "单选框_反选", "checked", "1", "5000")
        self.wait_state(MAIN_TITLE, "单选框_正选", "checked", "0", "5000")
        # Items come from the service on workers: the driver waits for them.
        for box, item in (("组合框_筛单项目", PROJECT), ("组合框_筛单服务", SERVICE)):
            self.assertTrue(harness.choose_item(MAIN_TITLE, box, item), driver("text", MAIN_TITLE, box))

    def check_files(self):
        main = harness.settings_path("parcelvane_settings.ini").read_bytes()
        login = harness.settings_path("parcelvane.ini").read_bytes()
        for data in (main, login):
            self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), "a line break that is not CRLF")
        lines = main.decode("gbk").split("\r\n")
        expected = [
            "[编辑框]",
            "编辑框_地址=浙江省杭州市西湖区文三路#引号100#引号号",
            "编辑框_村组距离=12345",
            "编辑框_偏远距离=678",
            "[选择框]",
            *(f"{name}=假" for name in CHECK_BOXES),
            "[单选框]",
            "单选框_正选=假",
            "单选框_反选=真",
            "[组合框]",
            "组合框_筛单项目=星河速运<|>1<||>青竹快递<|>2<||>北辰快运<|>4<||>1<|>青竹快递",
            "组合框_筛单服务=青竹快递-西湖分部<|>201<||>青竹快递-余杭分部<|>202<||>"
            "青竹快递-淳安分部<|>203<||>青竹快递-停用分部<|>204<||>1<|>青竹快递-余杭分部",
        ]
        for line in expected:
            self.assertIn(line, lines)
        login_lines = login.decode("gbk").split("\r\n")
        self.assertIn("编辑框_账户=demo", login_lines)
        self.assertTrue(any(line.startswith("编辑框_密码={protected}") for line in login_lines), login_lines)
        self.assertNotIn(b"demo123", login)

    def check_main_window(self):
        cases = [("编辑框_地址", ADDRESS), *DIGIT_BOXES.items(),
                 ("组合框_筛单项目", PROJECT), ("组合框_筛单服务", SERVICE)]
        for name, text in cases:
            with self.subTest(name=name):
                self.assertEqual(driver("text", MAIN_TITLE, name).line, text)
        for name, ticked in [(name, "0") for name in CHECK_BOXES] + [("单选框_正选", "0"), ("单选框_反选", "1")]:
            with self.subTest(name=name):
                self.assertEqual(driver("checked", MAIN_TITLE, name).line, ticked)

    def test_persisted_controls_round_trip_across_a_restart(self):
        first = self.start("settings-first.log")
        self.assertEqual(driver("text", LOGIN_TITLE, "编辑框_账户").line, "")  # nothing saved yet
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_账户", "demo").code, 0)
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_密码", "demo123").code, 0)
        self.log_in()
        self.set_main_window()
        self.close(first)
        self.check_files()

        asked = self.requests("/serviceBusinesses")
        second = self.start("settings-second.log")
        # The account and the sealed password come back: logging in needs no typing.
        self.assertEqual(driver("text", LOGIN_TITLE, "编辑框_账户").line, "demo")
        self.log_in()
        # The project and service lists are reloaded from the service after the restore,
        # keeping the selection by position: read back once the services were asked again.
        self.assertTrue(harness.wait_until(
            lambda: self.sandbox.process is None or self.requests("/serviceBusinesses") > asked, 30),
            "the main window did not reload the services")
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "组合框_筛单服务").line == SERVICE, 30),
            driver("text", MAIN_TITLE, "组合框_筛单服务"))
        self.check_main_window()
        self.close(second)


if __name__ == "__main__":
    unittest.main()
