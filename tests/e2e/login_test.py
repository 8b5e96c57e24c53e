"""The client as its operator first meets it: the login window, its title, and the login
button that stays disabled until the version check has answered."""
import unittest

import harness
from harness import driver

LOGIN_TITLE = "登录 - Parcelvane（parcelvane.com）v2.0.2"


class LoginWindowTest(unittest.TestCase):
    def test_login_window_title_and_disabled_login_button(self):
        client = harness.WineProgram(harness.CLIENT, "client.log")
        try:
            found = client.wait_window(LOGIN_TITLE, 60)
            self.assertEqual(found.code, 0, f"no login window: {found}; client exit code "
                                            f"{client.process.poll()}, log in {client.log_path}")
            self.assertEqual(driver("title", LOGIN_TITLE).line, LOGIN_TITLE)

            login = driver("enabled", LOGIN_TITLE, "按钮_登录")
            self.assertEqual((login.code, login.line), (0, "0"), login)

            shot = harness.ARTEFACTS / "login-window.png"
            shot.unlink(missing_ok=True)
            taken = driver("screenshot", harness.wine_path(shot))
            self.assertEqual(taken.code, 0, taken)
            self.assertTrue(shot.is_file())

            self.assertEqual(driver("close", LOGIN_TITLE).code, 0)
            self.assertEqual(driver("wait-gone", LOGIN_TITLE, "15000").code, 0)
            self.assertIsNotNone(client.wait(30), "the client did not end after its window closed")
        finally:
            client.stop(LOGIN_TITLE)
        self.assertFalse(client.running())


if __name__ == "__main__":
    unittest.main()
