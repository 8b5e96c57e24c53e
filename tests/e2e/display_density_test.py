"""The windows at display densities other than 96 dpi, and the keyboard in them.

The prefix's density (HKCU\\Control Panel\\Desktop LogPixels, which Wine 8 reads when a
program starts) is set to 96 and then to 144. At 96 the controls sit where the window tables
put them; at 144 every control's rectangle is its 96-dpi rectangle times 1.5, within two
pixels of rounding, inside its window, overlapping nothing it did not overlap at 96.
Screenshots of the windows at 144 are kept among the artefacts for a person to look at.
At 96 Tab walks the controls of the login and main windows in reading order, Shift+Tab
goes back, and Esc hides the quick tip and closes the result window."""
import unittest

import harness
from harness import driver
from four_windows_test import LOGIN_TITLE, MAIN_TITLE, QUICK_TIP_TITLE, RESULT_TITLE
from service_login_test import Sandbox

DENSITY_KEY = r"HKCU\Control Panel\Desktop"
WINDOWS = (LOGIN_TITLE, MAIN_TITLE, QUICK_TIP_TITLE, RESULT_TITLE)
TOLERANCE = 2

# Rectangles of the tables, as the 96-dpi windows must show them (client coordinates; page
# controls sit on the tab control at 5, 8).
AT_96 = (
    (LOGIN_TITLE, "编辑框_账户", (112, 37, 160, 26)),
    (LOGIN_TITLE, "按钮_登录", (118, 122, 144, 32)),
    (MAIN_TITLE, "超级编辑框_输出", (313, 83, 385, 460)),
    (MAIN_TITLE, "按钮_一键筛单", (5 + 56, 8 + 464, 192, 48)),
    (QUICK_TIP_TITLE, "按钮_关闭", (496, 112, 80, 32)),
    (RESULT_TITLE, "按钮_复制", (57, 381, 152, 32)),
)

# Tab order: the tables' reading order, hidden and disabled controls left out, one stop for
# a run of radio buttons, labels and pictures not at all.
LOGIN_TABS = ("编辑框_账户", "编辑框_密码", "按钮_登录", "互联网浏览器1")
MAIN_TABS = ("编辑框_地址", "按钮_查询", "超级编辑框_输出", "选择夹1", "组合框_筛单项目",
             "组合框_筛单服务", "选择框_盲区停发", "选择框_超区加收", "选择框_虚假地址",
             "选择框_其他限制", "选择框_屏蔽村组", "编辑框_村组距离", "选择框_屏蔽偏远",
             "编辑框_偏远距离", "单选框_正选", "选择框_复制地址快速查询", "按钮_一键筛单")
TAB, ESC = "9", "27"


def set_density(dpi):
    done = harness.wine("reg", "add", DENSITY_KEY, "/v", "LogPixels", "/t", "REG_DWORD",
                        "/d", str(dpi), "/f")
    assert done.code == 0, done


def rects(title):
    """{name: (visible, (x, y, w, h))}, the client area's size under the empty name."""
    read = driver("rects", title)
    assert read.code == 0, read
    found = {}
    for line in read.out.splitlines():
        name, visible, box = line.rstrip("\r").split("\t")
        found[name] = (visible == "1", tuple(int(v) for v in box.split()))
    return found


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


class DensityTest(unittest.TestCase):
    def setUp(self):
        self.sandbox = Sandbox()
        self.addCleanup(self.sandbox.stop)
        self.addCleanup(set_density, 96)

    def start(self, dpi, log_name):
        """The client at `dpi`, logged in; its four windows loaded."""
        set_density(dpi)
        client = harness.WineProgram(harness.CLIENT, log_name)
        self.addCleanup(client.stop, MAIN_TITLE)
        found = client.wait_window(LOGIN_TITLE, 60)
        self.assertEqual(found.code, 0, f"no login window: {found}; log in {client.log_path}")
        self.assertEqual(driver("wait-state", LOGIN_TITLE, "按钮_登录", "enabled", "1", "30000").code, 0)
        return client

    def log_in(self, client):
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_账户", "demo").code, 0)
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_密码", "demo123").code, 0)
        self.assertEqual(driver("click", LOGIN_TITLE, "按钮_登录").code, 0)
        shown = driver("wait-window", MAIN_TITLE, "30000")
        self.assertEqual(shown.code, 0, f"no main window: {shown}; log in {client.log_path}")
        for title in (QUICK_TIP_TITLE, RESULT_TITLE):
            self.assertTrue(harness.wait_until(lambda: driver("title", title).code == 0, 30), title)

    def walk(self, title, count, keys=TAB):
        """The controls the focus lands on, `count` presses of `keys` one after another."""
        walked = driver("walk", title, keys, str(count))
        self.assertEqual(walked.code, 0, walked)
        return [line.rstrip("\r") for line in walked.out.splitlines()]

    def assert_cycle(self, title, order):
        walked = self.walk(title, len(order) + 1)
        self.assertIn(walked[0], order, walked)
        start = order.index(walked[0])
        self.assertEqual(walked, [order[(start + i) % len(order)] for i in range(len(order) + 1)])
        # Back again, one step.
        self.assertEqual(self.walk(title, 1, "shift+" + TAB), [walked[-2]])

    def test_layout_scales_and_the_keyboard_walks_the_windows(self):
        client = self.start(96, "density-96.log")
        for title, name, box in AT_96[:2]:
            with self.subTest(dpi=96, control=name):
                self.assertEqual(rects(title)[name], (True, box))
        self.assert_cycle(LOGIN_TITLE, LOGIN_TABS)
        designed = {LOGIN_TITLE: rects(LOGIN_TITLE)}
        self.log_in(client)
        for title in WINDOWS[1:]:
            designed[title] = rects(title)
        for title, name, box in AT_96[2:]:
            with self.subTest(dpi=96, control=name):
                self.assertEqual(designed[title][name][1], box)
        self.assert_cycle(MAIN_TITLE, MAIN_TABS)

        # Esc: the quick tip hides, the result window closes (its close only hides it).
        for title in (QUICK_TIP_TITLE, RESULT_TITLE):
            with self.subTest(escape=title):
                self.assertEqual(driver("show", title).code, 0)
                self.assertEqual(driver("press", title, ESC).code, 0)
                self.assertTrue(harness.wait_until(
                    lambda: driver("wait-window", title, "0").code != 0, 5), f"{title} still shown")
        client.stop(MAIN_TITLE)

        client = self.start(144, "density-144.log")
        scaled_rects = {LOGIN_TITLE: rects(LOGIN_TITLE)}
        self.assertEqual(driver("screenshot", harness.wine_path(harness.ARTEFACTS / "density-144-login.png"),
                                LOGIN_TITLE).code, 0)
        self.log_in(client)
        for title in WINDOWS[1:]:
            scaled_rects[title] = rects(title)
        for title in WINDOWS:
            scaled = scaled_rects[title]
            client_area = scaled[""][1]
            for name, (visible, box) in designed[title].items():
                with self.subTest(dpi=144, window=title, control=name):
                    self.assertIn(name, scaled)
                    want = tuple(v * 1.5 for v in box)
                    got = scaled[name][1]
                    for g, w in zip(got, want):
                        self.assertLessEqual(abs(g - w), TOLERANCE, f"{got} for {want}")
                    if name and visible and box[2] > 0:
                        self.assertTrue(got[0] >= 0 and got[1] >= 0 and
                                        got[0] + got[2] <= client_area[2] + TOLERANCE and
                                        got[1] + got[3] <= client_area[3] + TOLERANCE,
                                        f"{name} {got} outside the client area {client_area}")
            # Nothing overlaps at 144 that did not at 96 (the distance boxes lie over their
            # check boxes' captions by design, controls over their tab control's area).
            shown = [(n, v[1]) for n, v in designed[title].items() if n and v[0]]
            for i, (a, box_a) in enumerate(shown):
                for b, box_b in shown[i + 1:]:
                    if not overlap(box_a, box_b):
                        self.assertFalse(overlap(scaled[a][1], scaled[b][1]),
                                         f"{a} {scaled[a][1]} runs into {b} {scaled[b][1]}")
        # A control raised over another (the distance box over its check box's caption)
        # shows its digits, not the check box's blank.
        colours = driver("colours", MAIN_TITLE, "编辑框_村组距离")
        self.assertEqual(colours.code, 0, colours)
        self.assertGreater(int(colours.line), 2, "the distance box is covered")
        for title, file_name in ((MAIN_TITLE, "density-144-main.png"),
                                 (RESULT_TITLE, "density-144-result.png"),
                                 (QUICK_TIP_TITLE, "density-144-quick-tip.png")):
            self.assertEqual(driver("show", title).code, 0)
            shot = harness.ARTEFACTS / file_name
            self.assertEqual(driver("screenshot", harness.wine_path(shot), title).code, 0)


if __name__ == "__main__":
    unittest.main()
