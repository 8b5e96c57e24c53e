"""Shared pieces of the e2e tests: programs under Wine, driver.exe calls, artefacts.

The ctest entry sets PV_WINE_RUN, PV_DRIVER, PV_CLIENT, PV_FIXTURE and PV_ARTEFACTS and
runs the test inside scripts/wine-session, so a display and the prefix are there.
"""
import os
import pathlib
import subprocess
import time

WINE_RUN = os.environ["PV_WINE_RUN"]
DRIVER = os.environ["PV_DRIVER"]
CLIENT = os.environ["PV_CLIENT"]
FIXTURE = os.environ["PV_FIXTURE"]
STRANGER = os.environ.get("PV_STRANGER", "")
ARTEFACTS = pathlib.Path(os.environ["PV_ARTEFACTS"])

# Beyond a driver command's own wait: Wine's start and the lookups of windows and controls.
DRIVER_MARGIN_S = 60


class DriverResult:
    def __init__(self, code, out, err):
        self.code, self.out, self.err = code, out, err

    @property
    def line(self):
        """The output without its final line break."""
        return self.out[:-1] if self.out.endswith("\n") else self.out

    def __repr__(self):
        return f"DriverResult(code={self.code}, out={self.out!r}, err={self.err!r})"


def wine_path(path):
    """The Windows name of a host path: the prefix maps drive Z: to the host's root."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def driver(*args):
    """Runs driver.exe with the arguments; its output is UTF-8."""
    # Any number among the arguments may be a wait in milliseconds: allow for the longest.
    waits = [int(a) for a in args if a.isdigit() and len(a) <= 7]
    done = subprocess.run([WINE_RUN, DRIVER, *args], stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=DRIVER_MARGIN_S + max(waits, default=0) / 1000)
    return DriverResult(done.returncode, done.stdout.decode("utf-8", "replace"),
                        done.stderr.decode("utf-8", "replace"))


class WineProgram:
    """A GUI program started under wine-run; its output goes to a log among the artefacts."""

    def __init__(self, exe, log_name, *args):
        ARTEFACTS.mkdir(parents=True, exist_ok=True)
        self.log_path = ARTEFACTS / log_name
        self._log = open(self.log_path, "wb")
        self.process = subprocess.Popen([WINE_RUN, exe, *args], stdin=subprocess.DEVNULL,
                                        stdout=self._log, stderr=subprocess.STDOUT)

    def running(self):
        return self.process.poll() is None

    def wait(self, seconds):
        """The exit code, or None when it is still running after `seconds`."""
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            return None

    def wait_window(self, title, seconds):
        """Waits for the program's visible window `title`; gives up early if the program ends."""
        deadline = time.monotonic() + seconds
        while True:
            found = driver("wait-window", title, "2000")
            if found.code == 0 or not self.running() or time.monotonic() >= deadline:
                return found

    def stop(self, title=None):
        """Asks the window to close, then ends the program if it does not; never leaves it."""
        if self.running() and title is not None:
            driver("close", title)
            self.wait(15)
        if self.running():
            self.process.terminate()  # wine-run passes it on to the program
            if self.wait(15) is None:
                self.process.kill()
                self.wait(15)
        self._log.close()


def wait_until(condition, seconds, step=0.2):
    deadline = time.monotonic() + seconds
    while True:
        if condition():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(step)


def wine(*args, timeout=60):
    """Runs a Wine program (reg, cmd, ...) to its end; output decoded from the GBK console."""
    done = subprocess.run([WINE_RUN, *args], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=timeout + DRIVER_MARGIN_S)
    return DriverResult(done.returncode, done.stdout.decode("gbk", "replace"),
                        done.stderr.decode("gbk", "replace"))


def reg_query(key):
    """The values of a registry key as {name: (type, data)}, or None when the key is missing."""
    result = wine("reg", "query", key)
    if result.code != 0:
        return None
    values = {}
    for line in result.out.splitlines():
        parts = line.strip().split("    ", 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
    return values


def user_profile():
    """The Wine user's profile folder on the host (C:\\users\\NAME in the prefix)."""
    users = pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c" / "users"
    profiles = [p for p in users.iterdir() if p.name not in ("Public", "Default")] if users.is_dir() else []
    if len(profiles) != 1:
        raise AssertionError(f"expected one Wine user profile under {users}, found {profiles}")
    return profiles[0]


def user_folder(relative):
    """Host path of a folder of the Wine user ("Desktop" may be a link to elsewhere)."""
    return (user_profile() / relative).resolve()


def user_windows_folder(relative):
    """The Windows name of the same folder, as programs in the prefix see it."""
    return "C:\\users\\" + user_profile().name + "\\" + relative.replace("/", "\\")


# The client's settings files: bare names, so the private-profile functions keep them in
# the prefix's Windows folder, shared by every test that starts the client.
SETTINGS_FILES = ("parcelvane.ini", "parcelvane_settings.ini")


def settings_path(name):
    """Host path of a settings file of the client in the prefix's C:\\windows."""
    return pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c" / "windows" / name


def forget_settings():
    """Removes the client's settings files, so the next start shows the windows' defaults."""
    for name in SETTINGS_FILES:
        settings_path(name).unlink(missing_ok=True)


def choose_item(title, box, item, seconds=60):
    """Chooses a combo-box item through the driver until the choice stays: a list that a
    worker is still filling restores its earlier selection when it is done, which may undo
    a choice made in between (as it would a user's)."""
    def chosen():
        if driver("select", title, box, item, "30000").code != 0:
            return False
        time.sleep(1)
        return driver("text", title, box).line == item
    return wait_until(chosen, seconds, step=0.5)
