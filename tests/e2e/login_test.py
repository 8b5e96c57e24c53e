"""The client as its operator first meets it: the login window, its title, and the login
button that stays disabled until the version check has answered."""
import os
import socket
import unittest
import urllib.parse

import harness
from harness import driver

LOGIN_TITLE = "登录 - Parcelvane（parcelvane.com）v2.0.2"
SERVICE_PORT = urllib.parse.urlsplit(os.environ["PV_API_BASE_URL"]).port or 80


def silent_service(port, seconds=60):
    """Listens on the client's service port and never answers, so the version check keeps
    waiting and the login button keeps its opening state while the test looks. Another
    program may hold the port for a while (a sandbox of another test): wait for it."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    bound = harness.wait_until(lambda: try_bind(listener, port), seconds, step=0.5)
    if not bound:
        listener.close()
        raise AssertionError(f"port {port} stays taken: the login button's opening state "
                             f"cannot be seen while a service answers there")
    listener.listen(16)
    return listener


def try_bind(listener, port):
    try:
        listener.bind(("127.0.0.1", port))
        return True
    except OSError:
        return False


class LoginWindowTest(unittest.TestCase):
    def test_login_window_title_and_disabled_login_button(self):
        service = silent_service(SERVICE_PORT)
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
            service.close()
        self.assertFalse(client.running())


if __name__ == "__main__":
    unittest.main()
