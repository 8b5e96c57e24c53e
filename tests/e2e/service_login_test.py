"""Logging in against the local screening service: the version check enables the login
button, the demo account logs in, the main window greets the user and loads the projects,
and a project with one service of the operator gets that service chosen.

The client's built-in API address is the sandbox's default port, 18080; the test starts the
native build's parcelvane-sandbox there (PV_SANDBOX names another program), or uses the
service that already answers on that port."""
import os
import pathlib
import socket
import subprocess
import threading
import time
import unittest
import urllib.request

import harness
from harness import driver

LOGIN_TITLE = "登录 - Parcelvane（parcelvane.com）v2.0.2"
MAIN_TITLE = "Parcelvane（parcelvane.com）客户端v2.0.2"
PORT = 18080
REPO = pathlib.Path(__file__).resolve().parents[2]
SANDBOX = os.environ.get("PV_SANDBOX",
                         str(REPO / "build/native/tools/sandbox/parcelvane-sandbox"))


def service_answers():
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{PORT}/api/v2/pub/global", timeout=3) as r:
            return r.status == 200
    except OSError:
        return False


class Sandbox:
    """The sandbox on PORT with its request log kept, or the service already there."""

    def __init__(self):
        self.process = None
        self.log = []
        if service_answers():
            return
        if not os.access(SANDBOX, os.X_OK):
            raise unittest.SkipTest(f"the local screening service is not built: {SANDBOX}")
        self.process = subprocess.Popen([SANDBOX, "--port", str(PORT)], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        threading.Thread(target=self._read_log, daemon=True).start()
        if not harness.wait_until(service_answers, 30):
            self.stop()
            raise AssertionError(f"the sandbox did not answer on port {PORT}")

    def _read_log(self):
        for line in self.process.stderr:
            self.log.append(line.decode("utf-8", "replace"))

    def requested(self, path_part):
        """Whether the log shows a request to a path containing path_part (own sandbox only)."""
        return self.process is None or any(path_part in line for line in self.log)

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(15)
        if self.process is not None:
            self.process.stderr.close()


class ServiceTestCase(unittest.TestCase):
    """A test against the local service, with no saved settings before or after it."""

    def setUp(self):
        # Saved settings would restore a project chosen by an earlier run or another test.
        harness.forget_settings()
        self.addCleanup(harness.forget_settings)
        self.sandbox = Sandbox()
        self.addCleanup(self.sandbox.stop)

    def start_client(self, log_name):
        """parcelvane.exe, closed through its main window at the end of the test."""
        client = harness.WineProgram(harness.CLIENT, log_name)
        self.addCleanup(client.stop, MAIN_TITLE)
        return client


class ServiceLoginTest(ServiceTestCase):
    def setUp(self):
        super().setUp()
        self.client = self.start_client("service-login.log")

    def diagnosis(self):
        """What the operator would see, for a failure message: a screenshot and the status."""
        shot = harness.ARTEFACTS / "service-login-failure.png"
        driver("screenshot", harness.wine_path(shot))
        status = driver("text", LOGIN_TITLE, "状态条").line
        return (f"login status {status!r}; screen in {shot}; client log {self.client.log_path}; "
                f"sandbox log tail {self.sandbox.log[-5:]}")

    def wait_state(self, title, name, state, want, ms="30000"):
        result = driver("wait-state", title, name, state, want, ms)
        self.assertEqual(result.code, 0, f"{result}; {self.diagnosis()}")

    def login(self, use_enter):
        found = self.client.wait_window(LOGIN_TITLE, 60)
        self.assertEqual(found.code, 0, f"no login window: {found}; {self.diagnosis()}")
        # Enabled by the version check's answer, not before.
        self.wait_state(LOGIN_TITLE, "按钮_登录", "enabled", "1")
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_账户", "demo").code, 0)
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_密码", "demo123").code, 0)
        if use_enter:
            pressed = driver("key", LOGIN_TITLE, "编辑框_密码", "13")
        else:
            pressed = driver("click", LOGIN_TITLE, "按钮_登录")
        self.assertEqual(pressed.code, 0, pressed)
        shown = driver("wait-window", MAIN_TITLE, "30000")
        self.assertEqual(shown.code, 0, f"no main window: {shown}; {self.diagnosis()}")
        self.assertEqual(driver("wait-gone", LOGIN_TITLE, "15000").code, 0)
        # The greeting is written after the window shows: give it a moment.
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "透明标签_用户名").line == "欢迎您，演示用户", 15),
            driver("text", MAIN_TITLE, "透明标签_用户名"))

    def test_login_button_greeting_and_project_list(self):
        self.login(use_enter=False)
        self.assertTrue(harness.wait_until(
            lambda: self.sandbox.requested("/api/v2/pub/serviceProducts"), 30),
            "the main window did not ask for the project list")
        self.assertEqual(driver("text", MAIN_TITLE, "组合框_筛单项目").line, "请选择项目")
        shot = harness.ARTEFACTS / "service-login-main.png"
        shot.unlink(missing_ok=True)
        self.assertEqual(driver("screenshot", harness.wine_path(shot), MAIN_TITLE).code, 0)

    def test_enter_then_one_service_project_selects_its_service(self):
        self.login(use_enter=True)
        self.assertEqual(driver("text", MAIN_TITLE, "组合框_筛单服务").line, "请选择服务")
        # The project list arrives on a worker: the driver waits for the project to be there.
        # 星河速运 is the project with exactly one service of the demo account.
        self.assertTrue(harness.choose_item(MAIN_TITLE, "组合框_筛单项目", "星河速运"),
                        driver("text", MAIN_TITLE, "组合框_筛单项目"))
        self.assertTrue(harness.wait_until(
            lambda: driver("text", MAIN_TITLE, "组合框_筛单服务").line == "星河速运-杭州", 30),
            driver("text", MAIN_TITLE, "组合框_筛单服务"))

if __name__ == "__main__":
    unittest.main()
