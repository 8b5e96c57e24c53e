"""Start-up and uninstall as the operator and the system meet them: a second copy replaces
the first without touching other programs' windows, the installation entries come back at
every start, and "unistall" removes the shortcuts and hands the executable to a script that
deletes it.

Programs that could delete themselves run as copies in a scratch folder, so the build
tree keeps its executable whatever happens."""
import os
import shutil
import unittest

import harness
from harness import driver
from service_login_test import Sandbox

MARK = "Parcelvane（parcelvane.com）"
LOGIN_TITLE = "登录 - " + MARK + "v2.0.2"
MAIN_TITLE = MARK + "客户端v2.0.2"
# A browser tab showing our web site: the mark in the title, another program's window.
STRANGER_TITLE = MARK + "客户端v2.0.2 - 网页浏览器"
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Parcelvane"
PROGRAMS = "AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
VBS_OPEN_KEY = r"HKLM\Software\Classes\VBSFile\Shell\Open\Command"
SCRATCH = harness.ARTEFACTS.parent / "e2e-scratch"

SELF_DELETE_SCRIPT = ("  Dim fso\r\n"
                      "  Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\n"
                      "  Wscript.Sleep(1000)\r\n"
                      "  fso.DeleteFile(\"{folder}\\{exe}\")\r\n"
                      "  fso.DeleteFile(\"{folder}\\tem.vbs\")")


def desktop_link():
    return harness.user_folder("Desktop") / "Parcelvanev2.0.2.lnk"


def start_menu_folder():
    return harness.user_folder(PROGRAMS) / "Parcelvane"


def remove_install_entries():
    desktop_link().unlink(missing_ok=True)
    shutil.rmtree(start_menu_folder(), ignore_errors=True)
    harness.wine("reg", "delete", UNINSTALL_KEY, "/f")


def hidden_on_host(path):
    """Wine keeps a file's DOS attributes in an extended attribute of the host file."""
    try:
        return int(os.getxattr(path, "user.DOSATTRIB").decode().strip("\0"), 16) & 0x2 != 0
    except (OSError, ValueError):
        return False


class LifecycleTest(unittest.TestCase):
    def scratch_copy(self, folder_name):
        """A fresh copy of the client in a scratch folder of its own, removed afterwards."""
        folder = SCRATCH / folder_name
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        copy = folder / "parcelvane.exe"
        shutil.copy2(harness.CLIENT, copy)
        return copy

    def start_client(self, exe, log_name, *args):
        client = harness.WineProgram(exe, log_name, *args)
        self.addCleanup(client.stop, LOGIN_TITLE)
        return client

    def assert_login_window(self, client):
        found = client.wait_window(LOGIN_TITLE, 60)
        self.assertEqual(found.code, 0, f"no login window: {found}; exit code "
                                        f"{client.process.poll()}, log in {client.log_path}")

    def wait_install_entries(self, target):
        """The shortcuts and the Uninstall values come after the login window shows; the
        values are written last, so once they are there the shortcuts are done."""
        self.assertTrue(harness.wait_until(
            lambda: (harness.reg_query(UNINSTALL_KEY) or {}).get("DisplayIcon") == ("REG_SZ", target),
            30, step=0.5), "no Uninstall values 30 s after the login window showed")

    def close_client(self, client):
        self.assertEqual(driver("close", LOGIN_TITLE).code, 0)
        self.assertEqual(client.wait(30), 0, "the client did not end with exit code 0")

    def test_second_copy_closes_the_first_but_not_a_stranger_with_the_mark(self):
        self.assertTrue(harness.STRANGER, "PV_STRANGER is not set")
        stranger = harness.WineProgram(harness.STRANGER, "stranger-window.log", "window",
                                       "PvE2eBrowserFrame", STRANGER_TITLE)
        self.addCleanup(stranger.stop, STRANGER_TITLE)
        self.assertEqual(stranger.wait_window(STRANGER_TITLE, 30).code, 0)

        first = self.start_client(harness.CLIENT, "first-copy.log")
        self.assert_login_window(first)
        second = self.start_client(harness.CLIENT, "second-copy.log")
        self.assertEqual(first.wait(60), 0, "the first copy was not closed")
        self.assert_login_window(second)
        self.assertTrue(second.running())

        self.assertTrue(stranger.running(), "the stranger's window was closed")
        self.assertEqual(driver("title", STRANGER_TITLE).line, STRANGER_TITLE)
        self.close_client(second)

    def test_second_copy_closes_the_first_copys_main_window_and_the_first_ends(self):
        sandbox = Sandbox()
        self.addCleanup(sandbox.stop)
        first = self.start_client(harness.CLIENT, "first-copy-main.log")
        self.addCleanup(first.stop, MAIN_TITLE)
        self.assert_login_window(first)
        self.assertEqual(driver("wait-state", LOGIN_TITLE, "按钮_登录", "enabled", "1", "30000").code, 0)
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_账户", "demo").code, 0)
        self.assertEqual(driver("set-text", LOGIN_TITLE, "编辑框_密码", "demo123").code, 0)
        self.assertEqual(driver("click", LOGIN_TITLE, "按钮_登录").code, 0)
        self.assertEqual(driver("wait-window", MAIN_TITLE, "30000").code, 0)
        # The main window carries two hidden windows; they must go with it, or the first
        # copy would live on without a window to show.
        self.assertTrue(harness.wait_until(lambda: driver("title", "~筛单结果").code == 0, 30))

        second = self.start_client(harness.CLIENT, "second-copy-main.log")
        self.assertEqual(first.wait(60), 0, "the first copy did not end")
        self.assertEqual(driver("wait-gone", MAIN_TITLE, "15000").code, 0)
        self.assert_login_window(second)
        self.close_client(second)

    def test_start_makes_shortcuts_and_uninstall_values(self):
        copy = self.scratch_copy("安装 测试")
        remove_install_entries()
        client = self.start_client(copy, "install-entries.log")
        self.assert_login_window(client)

        target = harness.wine_path(copy)
        self.wait_install_entries(target)
        self.assertTrue(desktop_link().is_file(), desktop_link())
        use = start_menu_folder() / "使用 Parcelvane.lnk"
        remove = start_menu_folder() / "卸载 Parcelvane.lnk"
        self.assertEqual(sorted(p.name for p in start_menu_folder().iterdir()), sorted([use.name, remove.name]))
        # Shell links keep their arguments as UTF-16 text.
        word = "unistall".encode("utf-16-le")
        self.assertIn(word, remove.read_bytes())
        self.assertNotIn(word, use.read_bytes())
        self.assertNotIn(word, desktop_link().read_bytes())

        self.assertEqual(harness.reg_query(UNINSTALL_KEY), {
            "DisplayName": ("REG_SZ", "Parcelvane"),
            "UninstallString": ("REG_SZ", f'"{target}" unistall'),
            "DisplayIcon": ("REG_SZ", target),
            "DisplayVersion": ("REG_SZ", "2.0.2"),
        })
        self.close_client(client)

    def test_no_desktop_shortcut_for_a_program_on_the_desktop(self):
        on_desktop = harness.user_folder("Desktop") / "parcelvane-e2e.exe"
        shutil.copy2(harness.CLIENT, on_desktop)
        self.addCleanup(on_desktop.unlink, missing_ok=True)
        remove_install_entries()
        windows_path = harness.user_windows_folder("Desktop") + "\\" + on_desktop.name
        client = self.start_client(windows_path, "desktop-copy.log")
        self.assert_login_window(client)
        self.wait_install_entries(windows_path)

        self.assertFalse(desktop_link().exists())
        self.assertTrue((start_menu_folder() / "使用 Parcelvane.lnk").is_file())
        self.assertTrue((start_menu_folder() / "卸载 Parcelvane.lnk").is_file())
        values = harness.reg_query(UNINSTALL_KEY)
        self.assertEqual(values and values.get("DisplayIcon"), ("REG_SZ", windows_path))
        self.close_client(client)

    def test_other_spellings_of_the_word_start_normally(self):
        copy = self.scratch_copy("拼写 测试")
        for word in ("Unistall", "uninstall", "UNISTALL"):
            with self.subTest(word=word):
                client = self.start_client(copy, "spelling.log", word)
                self.assert_login_window(client)
                self.close_client(client)
                self.assertTrue(copy.is_file())
                self.assertFalse((copy.parent / "tem.vbs").exists())

    def test_unistall_removes_shortcuts_and_opens_the_self_deletion_script(self):
        self.assertTrue(harness.STRANGER, "PV_STRANGER is not set")
        copy = self.scratch_copy("卸载 测试")
        script = copy.parent / "tem.vbs"
        opened = copy.parent / "opened.txt"
        # What the uninstall has to remove, whatever a start made of it.
        desktop_link().write_bytes(b"link")
        start_menu_folder().mkdir(parents=True, exist_ok=True)
        (start_menu_folder() / "使用 Parcelvane.lnk").write_bytes(b"link")
        (start_menu_folder() / "说明.txt").write_text("x")
        harness.wine("reg", "add", UNINSTALL_KEY, "/v", "DisplayName", "/d", "Parcelvane", "/f")

        # The shell opens .vbs files with our recorder for the while: the script must not
        # run (it would delete the copy), and the record shows what the shell was asked.
        before = harness.reg_query(VBS_OPEN_KEY)
        default = next((data for name, (_, data) in (before or {}).items() if name.startswith("(")), None)
        self.assertIsNotNone(default, f"no open command for .vbs files: {before}")
        recorder = f'"{harness.wine_path(harness.STRANGER)}" record "{harness.wine_path(opened)}" "%1"'
        self.assertEqual(harness.wine("reg", "add", VBS_OPEN_KEY, "/ve", "/d", recorder, "/f").code, 0)
        self.addCleanup(harness.wine, "reg", "add", VBS_OPEN_KEY, "/ve", "/d", default, "/f")

        client = harness.WineProgram(copy, "unistall.log", "-x", "unistall", "later")
        self.addCleanup(client.stop)
        self.assertEqual(client.wait(60), 0, f"log in {client.log_path}")

        self.assertFalse(desktop_link().exists())
        self.assertFalse(start_menu_folder().exists())
        folder = harness.wine_path(copy.parent)
        self.assertEqual(script.read_bytes(),
                         SELF_DELETE_SCRIPT.format(folder=folder, exe=copy.name).encode("gbk"))
        self.assertTrue(hidden_on_host(script), "the script is not hidden")
        self.assertTrue(harness.wait_until(opened.exists, 30), "the script was not opened")
        self.assertEqual(opened.read_text("utf-8").strip().lower(), harness.wine_path(script).lower())
        # The Uninstall values stay until the next start of a remaining copy.
        self.assertIsNotNone(harness.reg_query(UNINSTALL_KEY))


if __name__ == "__main__":
    unittest.main()
