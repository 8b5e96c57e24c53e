"""A screenshot of each of the four windows, kept among the artefacts for a person to look
at: the login window as it opens, the main window after a login against the local
screening service, and the quick-tip and result windows that the main window loads hidden,
made visible by the driver. Chinese captions are read back and one label's pixels are checked
to hold glyphs, since a window whose font lacks them still gives a PNG of the right size."""
import unittest

import harness
from harness import driver
from driver_test import png_size
from service_login_test import Sandbox

LOGIN_TITLE = "登录 - Parcelvane（parcelvane.com）v2.0.2"
MAIN_TITLE = "Parcelvane（parcelvane.com）客户端v2.0.2"
QUICK_TIP_TITLE = "Parcelvane - 信息提示"
RESULT_TITLE = "~筛单结果"  # a run's suffix may follow
LOGIN_CAPTIONS = (("透明标签1", "登录账户"), ("透明标签2", "登录密码"), ("按钮_登录", "登录"),
                  ("超级链接框1", "没有账号？立即注册！"))
# Private-use characters: no font in the prefix has a glyph for them, so they draw as
# whatever a font draws for a missing glyph.
NO_GLYPHS = "\ue000" * 4

# Captions as the window tables give them, read back from the running windows: a size
# check alone passes a window whose Chinese texts were lost on the way to the controls.
CAPTIONS = (
    (LOGIN_TITLE, "透明标签1", "登录账户"),
    (LOGIN_TITLE, "按钮_登录", "登录"),
    (LOGIN_TITLE, "超级链接框1", "没有账号？立即注册！"),
    (MAIN_TITLE, "透明标签1", "筛单项目："),
    (MAIN_TITLE, "透明标签2", "筛单服务："),
)


class FourWindowsTest(unittest.TestCase):
    def shoot(self, title, file_name, client_size):
        shot = harness.ARTEFACTS / file_name
        shot.unlink(missing_ok=True)
        taken = driver("screenshot", harness.wine_path(shot), title)
        self.assertEqual(taken.code, 0, taken)
        width, height = png_size(shot)
        # The window's area: its client area and whatever frame it has.
        self.assertGreaterEqual(width, client_size[0], shot)
        self.assertGreaterEqual(height, client_size[1], shot)

    def assert_captions(self, title):
        for window, name, caption in CAPTIONS:
            if window != title:
                continue
            with self.subTest(window=window, control=name):
                read = driver("text", window, name)
                self.assertEqual(read.code, 0, read)
                self.assertEqual(read.line, caption)

    def crop(self, name, file_name):
        shot = harness.ARTEFACTS / file_name
        taken = driver("screenshot", harness.wine_path(shot), LOGIN_TITLE, name)
        self.assertEqual(taken.code, 0, taken)
        return shot.read_bytes()

    def check_glyphs(self, name, caption):
        """The label drawn with its caption differs from the same label holding characters
        no font has: when the Chinese glyphs are missing, both show the same boxes."""
        colours = driver("colours", LOGIN_TITLE, name)
        self.assertEqual(colours.code, 0, colours)
        self.assertGreater(int(colours.line), 1, "the label is one colour")
        shown = self.crop(name, "label-caption.png")
        self.assertEqual(driver("set-text", LOGIN_TITLE, name, NO_GLYPHS).code, 0)
        self.addCleanup(driver, "set-text", LOGIN_TITLE, name, caption)
        self.assertTrue(harness.wait_until(
            lambda: self.crop(name, "label-missing-glyphs.png") != shown, 5),
            "the caption looks the same as characters without glyphs")
        # The same caption again looks as before: the difference is the glyphs, not a repaint.
        self.assertEqual(driver("set-text", LOGIN_TITLE, name, caption).code, 0)
        self.assertTrue(harness.wait_until(lambda: self.crop(name, "label-caption-again.png") == shown, 5),
                        "the label does not repaint the same way twice")

    def test_screenshot_of_each_window(self):
        sandbox = Sandbox()
        self.addCleanup(sandbox.stop)
        client = harness.WineProgram(harness.CLIENT, "four-windows.log")
        self.addCleanup(client.stop, MAIN_TITLE)

        found = client.wait_window(LOGIN_TITLE, 60)
        self.assertEqual(found.code, 0, f"no login window: {found}; log in {client.log_path}")
        # The version check has answered: the window looks as the operator first sees it.
        self.assertEqual(driver("wait-state", LOGIN_TITLE, "按钮_登录", "enabled", "1", "30000").code, 0)
        self.shoot(LOGIN_TITLE, "window-login.png", (577, 536))
        for name, caption in LOGIN_CAPTIONS:
            with self.subTest(control=name):
                self.assertEqual(driver("text", LOGIN_TITLE, name).line, caption)
        self.check_glyphs("透明标签1", "登录账户")
        self.assert_captions(LOGIN_TITLE)

        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_账户", "demo").code, 0)
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_密码", "demo123").code, 0)
        self.assertEqual(driver("click", LOGIN_TITLE, "按钮_登录").code, 0)
        shown = driver("wait-window", MAIN_TITLE, "30000")
        self.assertEqual(shown.code, 0, f"no main window: {shown}; log in {client.log_path}")
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "透明标签_用户名").line == "欢迎您，演示用户", 30))
        self.shoot(MAIN_TITLE, "window-main.png", (710, 600))
        self.assert_captions(MAIN_TITLE)

        # The result window first: the quick-tip window stays above every other window
        # once shown, and a screenshot copies whatever is on top.
        for title, file_name, size in ((RESULT_TITLE, "window-result.png", (272, 450)),
                                       (QUICK_TIP_TITLE, "window-quick-tip.png", (600, 200))):
            with self.subTest(window=title):
                # Loaded hidden with the main window.
                self.assertTrue(harness.wait_until(lambda: driver("title", title).code == 0, 30),
                                f"the window {title} was not loaded")
                self.assertEqual(driver("show", title).code, 0)
                self.shoot(title, file_name, size)


if __name__ == "__main__":
    unittest.main()
