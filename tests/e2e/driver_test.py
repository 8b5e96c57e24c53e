"""driver.exe against a window of our own (e2e_fixture.exe), so a fault in the driver is
told apart from a fault in the client."""
import struct
import unittest
import zlib

import harness
from harness import driver

MAIN = "驱动测试 - 夹具"
HIDDEN = "驱动测试 - 隐藏"


def png_size(path):
    data = path.read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


class DriverTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.fixture = harness.WineProgram(harness.FIXTURE, "fixture.log")
        found = driver("wait-window", MAIN, "30000")
        if found.code != 0:
            cls.fixture.stop()
            raise AssertionError(f"the fixture window did not appear: {found}")

    @classmethod
    def tearDownClass(cls):
        cls.fixture.stop(MAIN)
        assert not cls.fixture.running()

    def test_windows_by_exact_title_or_contained_text(self):
        cases = [
            (["wait-window", MAIN, "1000"], 0, MAIN),
            (["wait-window", "~夹具", "1000"], 0, MAIN),
            (["title", "~测试 - 夹"], 0, MAIN),
            (["wait-window", "驱动测试", "300"], 1, ""),         # exact match only
            (["wait-gone", "没有这个窗口", "300"], 0, ""),
            (["wait-gone", MAIN, "300"], 1, ""),
        ]
        for args, code, out in cases:
            with self.subTest(args=args):
                result = driver(*args)
                self.assertEqual(result.code, code, result)
                self.assertEqual(result.line, out, result)

    def test_control_states_and_texts(self):
        cases = [
            (["enabled", MAIN, "按钮_禁用"], "0"),
            (["enabled", MAIN, "按钮_提问"], "1"),
            (["checked", MAIN, "选择框_记住"], "1"),
            (["visible", MAIN, "标签_隐藏"], "0"),
            (["visible", MAIN, "编辑框_地址"], "1"),
            (["text", MAIN, "按钮_禁用"], "登录"),
            (["text", MAIN, "编辑框_地址"], "北京市朝阳区"),
            (["richtext", MAIN, "超级编辑框_结果"], "第一行\n第二行"),
        ]
        for args, out in cases:
            with self.subTest(args=args):
                result = driver(*args)
                self.assertEqual(result.code, 0, result)
                self.assertEqual(result.line, out, result)

    def test_find_reports_class_and_client_rectangle(self):
        result = driver("find", MAIN, "编辑框_地址")
        self.assertEqual((result.code, result.line), (0, "Edit 10 80 300 24"), result)

    def test_unknown_names_fail_within_the_bound(self):
        for args in (["find", MAIN, "按钮_没有", "300"], ["find", "没有这个窗口", "按钮_提问", "300"],
                     ["wait-window", "没有这个窗口", "300"], ["msgbox", "没有这个提示", "200"]):
            with self.subTest(args=args):
                self.assertEqual(driver(*args).code, 1)

    def test_usage_errors(self):
        for args in ([], ["wait-window"], ["nonsense", "x"], ["wait-window", MAIN, "12x"],
                     ["wait-state", MAIN, "按钮_提问", "enabled", "2"]):
            with self.subTest(args=args):
                self.assertEqual(driver(*args).code, 2)

    def test_set_text_round_trips_chinese(self):
        self.assertEqual(driver("set-text", MAIN, "编辑框_地址", "上海市浦东新区（测试）").code, 0)
        self.assertEqual(driver("text", MAIN, "编辑框_地址").line, "上海市浦东新区（测试）")

    def test_click_toggles_a_check_box_and_refuses_a_disabled_button(self):
        self.assertEqual(driver("click", MAIN, "选择框_记住").code, 0)
        self.assertEqual(driver("wait-state", MAIN, "选择框_记住", "checked", "0", "3000").code, 0)
        self.assertEqual(driver("click", MAIN, "选择框_记住").code, 0)
        self.assertEqual(driver("wait-state", MAIN, "选择框_记住", "checked", "1", "3000").code, 0)
        self.assertEqual(driver("click", MAIN, "按钮_禁用").code, 1)

    def test_key_reaches_the_control_as_keyboard_messages(self):
        # Enter gives the control its key-down, the character CR and the key-up, in that
        # order; a letter key types the letter without modifiers.
        for vk, record, typed in (("13", "按下13 字符13 抬起13", ""), ("65", "按下65 字符97 抬起65", "a")):
            with self.subTest(vk=vk):
                self.assertEqual(driver("set-text", MAIN, "标签_回答", "").code, 0)
                self.assertEqual(driver("set-text", MAIN, "编辑框_按键", "").code, 0)
                self.assertEqual(driver("key", MAIN, "编辑框_按键", vk).code, 0)
                self.assertTrue(harness.wait_until(
                    lambda: driver("text", MAIN, "标签_回答").line == record, 10),
                    driver("text", MAIN, "标签_回答"))
                self.assertEqual(driver("text", MAIN, "编辑框_按键").line, typed)

    def test_key_refusals_and_usage(self):
        self.assertEqual(driver("key", MAIN, "按钮_禁用", "13").code, 1)
        self.assertEqual(driver("key", MAIN, "按钮_没有", "13").code, 1)
        for vk in ("0", "255", "x", "", "1300"):
            with self.subTest(vk=vk):
                self.assertEqual(driver("key", MAIN, "编辑框_按键", vk).code, 2)
        self.assertEqual(driver("key", MAIN, "编辑框_按键").code, 2)

    def test_select_chooses_by_text_or_position_and_notifies_the_parent(self):
        for item, index, text in (("上海", 1, "上海"), ("#2", 2, "广州"), ("#0", 0, "北京"), ("广州", 2, "广州")):
            with self.subTest(item=item):
                self.assertEqual(driver("set-text", MAIN, "标签_回答", "").code, 0)
                self.assertEqual(driver("select", MAIN, "组合框_城市", item).code, 0)
                self.assertTrue(harness.wait_until(
                    lambda: driver("text", MAIN, "标签_回答").line == f"选中 {index} {text}", 10),
                    driver("text", MAIN, "标签_回答"))
                self.assertEqual(driver("text", MAIN, "组合框_城市").line, text)

    def test_select_refusals_wait_within_the_bound(self):
        self.assertEqual(driver("select", MAIN, "组合框_城市", "北京").code, 0)
        cases = [
            (["select", MAIN, "组合框_城市", "深圳", "300"], 1),    # no such item, after the wait
            (["select", MAIN, "组合框_城市", "#3"], 1),             # past the last item
            (["select", MAIN, "组合框_城市", "北"], 1),             # whole texts only
            (["select", MAIN, "编辑框_地址", "北京"], 1),           # not a combo box
            (["select", MAIN, "组合框_城市"], 2),
            (["select", MAIN, "组合框_城市", "北京", "1x"], 2),
        ]
        for args, code in cases:
            with self.subTest(args=args):
                self.assertEqual(driver(*args).code, code)
        self.assertEqual(driver("text", MAIN, "组合框_城市").line, "北京")  # refusals change nothing

    def test_message_box_is_read_and_answered(self):
        for button, answer in (("是", "是"), ("IDNO", "否"), ("是(&Y)", "是")):
            with self.subTest(button=button):
                self.assertEqual(driver("set-text", MAIN, "标签_回答", "").code, 0)
                self.assertEqual(driver("click", MAIN, "按钮_提问").code, 0)
                box = driver("msgbox", "夹具提问", "10000", button)
                self.assertEqual((box.code, box.line), (0, "要继续吗？\n第二行"), box)
                self.assertTrue(harness.wait_until(
                    lambda: driver("text", MAIN, "标签_回答").line == answer, 10))

    def test_screenshots_of_the_screen_and_of_a_window(self):
        harness.ARTEFACTS.mkdir(parents=True, exist_ok=True)
        screen = harness.ARTEFACTS / "fixture-screen.png"
        window = harness.ARTEFACTS / "fixture-window.png"
        for path in (screen, window):
            path.unlink(missing_ok=True)
        self.assertEqual(driver("screenshot", harness.wine_path(screen)).code, 0)
        self.assertEqual(driver("screenshot", harness.wine_path(window), MAIN).code, 0)
        width, height = png_size(screen)
        self.assertGreaterEqual((width, height), (640, 480))
        self.assertEqual(png_size(window), (360, 280))
        self.assertEqual(driver("screenshot", harness.wine_path(harness.ARTEFACTS / "x.png"), "没有这个窗口").code, 1)

    def test_runs_give_each_stretch_its_colour_weight_face_and_size(self):
        expected = [
            "339933\t-\t10\t宋体\t【查询地址】：",
            "000000\t-\t10\t宋体\t下姜",
            "f06e33\tb\t10\t宋体\t村",
            "000000\t-\t10\t宋体\t3",
            "f06e33\tb\t10\t宋体\t组\\n",          # the paragraph end belongs to its run
            "0000ff\t-\t10.5\tArial\ta\\\\b\\tc",  # backslash and tab escaped
            "000000\t-\t10\t宋体\t普通文字",          # alike neighbours are one run
        ]
        first = driver("runs", MAIN, "超级编辑框_彩色")
        self.assertEqual(first.code, 0, first)
        self.assertEqual(first.out.splitlines(), expected, first)
        # Reading selects character by character; the next reading finds everything as it was.
        self.assertEqual(driver("runs", MAIN, "超级编辑框_彩色").out, first.out)

    def test_runs_refuses_what_is_not_a_rich_edit(self):
        self.assertEqual(driver("runs", MAIN, "编辑框_地址").code, 1)
        self.assertEqual(driver("runs", MAIN, "按钮_没有").code, 1)
        self.assertEqual(driver("runs", MAIN).code, 2)

    def test_clipboard_text_set_here_is_read_by_another_process(self):
        for text in ("浙江省杭州市淳安县枫树岭镇下姜村3组 ", "1234567890123456"):
            with self.subTest(text=text):
                self.assertEqual(driver("set-clipboard", text).code, 0)
                self.assertEqual(driver("clipboard").line, text)
                self.assertEqual(driver("set-text", MAIN, "标签_回答", "").code, 0)
                self.assertEqual(driver("click", MAIN, "按钮_粘贴").code, 0)
                self.assertTrue(harness.wait_until(
                    lambda: driver("text", MAIN, "标签_回答").line == "剪贴板 " + text, 10),
                    driver("text", MAIN, "标签_回答"))
        self.assertEqual(driver("set-clipboard").code, 2)

    def test_show_makes_a_hidden_window_visible(self):
        self.assertEqual(driver("wait-window", HIDDEN, "300").code, 1)
        self.assertEqual(driver("title", HIDDEN).line, HIDDEN)  # hidden, yet found by name
        self.assertEqual(driver("show", HIDDEN).code, 0)
        self.assertEqual(driver("wait-window", HIDDEN, "3000").code, 0)

    def test_counters_of_a_window_process(self):
        result = driver("counters", MAIN)
        self.assertEqual(result.code, 0, result)
        lines = dict(line.split(" ", 1) for line in result.out.splitlines())
        self.assertEqual(list(lines), ["private-bytes", "handles", "gdi-objects", "user-objects", "how"], result)
        how = lines.pop("how").split(" ")
        self.assertEqual(len(how), 4, result)
        self.assertTrue(set(how) <= {"api", "walk"}, result)
        counts = {name: int(value) for name, value in lines.items()}
        self.assertGreater(counts["private-bytes"], 1 << 20, result)
        self.assertGreater(counts["handles"], 0, result)
        self.assertGreater(counts["gdi-objects"], 0, result)
        # Every named control is a window of the fixture's, and so is the window itself.
        controls = driver("list", MAIN).out.splitlines()
        self.assertGreater(counts["user-objects"], len(controls), result)
        self.assertEqual(driver("counters", "没有这个窗口").code, 1)


if __name__ == "__main__":
    unittest.main()
