"""Throwaway Wine prefixes for tests: each case copies the template prefix,
runs its programs there and removes the copy when done. Never ~/.wine."""

import os
import shutil
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD_WIN32 = os.environ.get("QP_BUILD_WIN32", os.path.join(ROOT, "build", "win32"))
BUILD_HOST = os.environ.get("QP_BUILD_HOST", os.path.join(ROOT, "build", "host"))
TEMPLATE = os.environ.get("QP_WINE_TEMPLATE", os.path.join(ROOT, "build", "wine", "template"))
ARTIFACTS = os.environ.get("QP_ARTIFACTS", os.path.join(ROOT, "build", "artifacts"))

STUB = os.path.join(BUILD_WIN32, "src", "installer", "quillpack.exe")
DRIVER = os.path.join(BUILD_WIN32, "tests", "qpdriver.exe")

# One shared virtual desktop, so that the driver (another process) sees the
# windows and `wine` still hands back the program's real exit code.
_VIRTUAL_DESKTOP = r'''
[Software\\Wine\\Explorer] 1700000000
"Desktop"="Default"

[Software\\Wine\\Explorer\\Desktops] 1700000000
"Default"="1024x768"
'''


# An ordinary user: Wine run as root ignores the read-only attribute for writes.
UNPRIVILEGED_USER = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


class Prefix:
    """A fresh copy of the template prefix; `gui` gives it a virtual desktop
    on $DISPLAY (which must then be set); `unprivileged` runs its programs as
    an ordinary user who owns the copy."""

    def __init__(self, gui=False, name="case", unprivileged=False):
        self.gui = gui
        cases = os.path.join(os.path.dirname(os.path.abspath(TEMPLATE)), "cases")
        os.makedirs(cases, exist_ok=True)
        self.path = tempfile.mkdtemp(prefix=name + ".", dir=cases)
        os.rmdir(self.path)
        subprocess.run(["cp", "-a", os.path.abspath(TEMPLATE), self.path], check=True)
        if gui:
            if not os.environ.get("DISPLAY"):
                raise RuntimeError("a GUI case needs DISPLAY (an Xvfb display)")
            with open(os.path.join(self.path, "user.reg"), "a") as reg:
                reg.write(_VIRTUAL_DESKTOP)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEARCH="win32",
                        WINEDEBUG=os.environ.get("WINEDEBUG", "-all"))
        if not gui:
            self.env.pop("DISPLAY", None)
        self._started = []
        self._as_user = []
        self._tmpdir = None
        if unprivileged:
            # The user needs its own home and server directory as well.
            self._tmpdir = self.path + ".tmp"
            os.makedirs(self._tmpdir)
            subprocess.run(["chown", "-R", "65534:65534", self.path, self._tmpdir], check=True)
            self.env.update(HOME=self.path, TMPDIR=self._tmpdir)
            self._as_user = UNPRIVILEGED_USER

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    @property
    def drive_c(self):
        return os.path.join(self.path, "drive_c")

    def host_path(self, windows_path):
        """The host path of a C:\\ path inside this prefix."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        return os.path.join(self.drive_c, *windows_path[3:].split("\\"))

    def run(self, args, timeout=120, cwd=None):
        """Runs `wine args...` to the end; returns the CompletedProcess.

        Output goes through files, not pipes: Wine's helper processes inherit
        the handles and outlive the program, so a pipe would never close."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.run(self._as_user + ["wine"] + list(args), env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                     stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(process.args, process.returncode,
                                               out.read().decode(errors="replace"),
                                               err.read().decode(errors="replace"))

    def start(self, args, cwd=None):
        """Starts `wine args...` without waiting; returns the Popen (output discarded)."""
        process = subprocess.Popen(self._as_user + ["wine"] + list(args), env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._started.append(process)
        return process

    def driver(self, *commands, timeout=60):
        """Runs the test driver with commands; returns (exit code, stdout lines)."""
        result = self.run([DRIVER] + [str(c) for c in commands], timeout=timeout)
        return result.returncode, result.stdout.splitlines(), result.stderr

    def window_texts(self, title):
        """The caption and controls of a window as a list of (kind, id, text)."""
        code, lines, err = self.driver("wait", title, 20000, "texts", title)
        if code != 0:
            raise AssertionError(f"no window titled {title!r}: {err}")
        rows = []
        for line in lines:
            parts = line.split("|", 2)
            if parts[0] == "caption":
                rows.append(("caption", None, unescape(parts[1])))
            elif len(parts) == 3:
                rows.append((parts[0], int(parts[1]), unescape(parts[2])))
        return rows

    def screenshot(self, name):
        """Saves the screen as ARTIFACTS/name.png; returns its path."""
        os.makedirs(ARTIFACTS, exist_ok=True)
        bmp = os.path.join(self.drive_c, "shot.bmp")
        code, _, err = self.driver("screenshot", "C:\\shot.bmp")
        if code != 0:
            raise AssertionError("screenshot failed: " + err)
        png = os.path.join(ARTIFACTS, name + ".png")
        subprocess.run(["convert", bmp, png], check=True)
        os.remove(bmp)
        return png

    def wait(self, process, timeout=60):
        """Waits for a started process; returns its exit code."""
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            raise

    def close(self):
        # Ends this prefix's server and every program in it, then drops the copy.
        subprocess.run(self._as_user + ["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        for process in self._started:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        subprocess.run(self._as_user + ["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        shutil.rmtree(self.path, ignore_errors=True)
        if self._tmpdir:
            shutil.rmtree(self._tmpdir, ignore_errors=True)


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"\\": "\\", "r": "\r", "n": "\n", "t": "\t"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def wait_until(predicate, timeout=20.0, step=0.1):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()
