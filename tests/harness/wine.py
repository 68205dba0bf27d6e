"""Throwaway Wine prefixes for tests: each case gets its own view of the
template prefix, runs its programs there and drops it when done. Never ~/.wine.

The architecture comes from QP_WINE_ARCH (32 or 64); unset, it is the one
scripts/wine/arch.sh picks for this machine: 32 where 32-bit Linux programs
run, else 64 (the x86-64 build under wine64)."""

import os
import shutil
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ARCH_SCRIPT = os.path.join(ROOT, "scripts", "wine", "arch.sh")


def choose_arch():
    """(arch, reason): the Wine architecture of this run."""
    result = subprocess.run(["bash", ARCH_SCRIPT], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(result.stderr.strip())
    arch, reason = result.stdout.strip().split(" ", 1)
    return arch, reason


ARCH = os.environ.get("QP_WINE_ARCH") or choose_arch()[0]
BUILD_WIN32 = os.environ.get("QP_BUILD_WIN32", os.path.join(ROOT, "build", "win32"))
BUILD_WIN64 = os.environ.get("QP_BUILD_WIN64", os.path.join(ROOT, "build", "win64"))
BUILD_HOST = os.environ.get("QP_BUILD_HOST", os.path.join(ROOT, "build", "host"))
ARTIFACTS = os.environ.get("QP_ARTIFACTS", os.path.join(ROOT, "build", "artifacts"))

STUB32 = os.path.join(BUILD_WIN32, "src", "installer", "quillpack.exe")
STUB64 = os.path.join(BUILD_WIN64, "src", "installer", "quillpack64.exe")

# The build whose programs run under this Wine: the stub, the test driver
# and the helper programs all come from it.
BUILD_WIN = BUILD_WIN32 if ARCH == "32" else BUILD_WIN64
STUB = STUB32 if ARCH == "32" else STUB64
DRIVER = os.path.join(BUILD_WIN, "tests", "qpdriver.exe")
TEMPLATE = os.environ.get("QP_WINE_TEMPLATE", os.path.join(ROOT, "build", "wine", "template" + ARCH))



def _wine_env(arch):
    """The loader, server and prefix kind of an architecture, as arch.sh sets them."""
    script = 'source "$1"; qp_wine_env "$2"; echo "$WINEARCH $WINELOADER $WINESERVER"'
    out = subprocess.run(["bash", "-c", script, "wine.py", ARCH_SCRIPT, arch], capture_output=True, text=True,
                         check=True)
    return dict(zip(("WINEARCH", "WINELOADER", "WINESERVER"), out.stdout.split()))


WINE_ENV = _wine_env(ARCH)
# Named loaders, not the `wine` wrapper: the wrapper always takes wine32's
# loader when it is installed, which a kernel without 32-bit support cannot run.
WINE = WINE_ENV["WINELOADER"]
WINESERVER = WINE_ENV["WINESERVER"]

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
        self._case_dir = tempfile.mkdtemp(prefix=name + ".", dir=cases)
        self._mounted = False
        self.path = os.path.join(self._case_dir, "prefix")
        if unprivileged:
            # The ordinary user must own every file: a real copy.
            subprocess.run(["cp", "-a", os.path.abspath(TEMPLATE), self.path], check=True)
        else:
            self._mounted = make_prefix_view(os.path.abspath(TEMPLATE), self._case_dir, self.path)
        if gui:
            if not os.environ.get("DISPLAY"):
                raise RuntimeError("a GUI case needs DISPLAY (an Xvfb display)")
            with open(os.path.join(self.path, "user.reg"), "a") as reg:
                reg.write(_VIRTUAL_DESKTOP)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG=os.environ.get("WINEDEBUG", "-all"), **WINE_ENV)
        if not gui:
            self.env.pop("DISPLAY", None)
        self._started = []
        self._as_user = []
        self._tmpdir = None
        if unprivileged:
            # The user needs its own home and server directory as well.
            self._tmpdir = os.path.join(self._case_dir, "tmp")
            os.makedirs(self._tmpdir)
            subprocess.run(["chown", "-R", "65534:65534", self._case_dir], check=True)
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
            process = subprocess.run(self._as_user + [WINE] + list(args), env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                     stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(process.args, process.returncode,
                                               out.read().decode(errors="replace"),
                                               err.read().decode(errors="replace"))

    def start(self, args, cwd=None):
        """Starts `wine args...` without waiting; returns the Popen (output discarded)."""
        process = subprocess.Popen(self._as_user + [WINE] + list(args), env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
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
        # Ends this prefix's server and every program in it, then drops the
        # prefix; the mount goes even when ending the programs failed.
        try:
            subprocess.run(self._as_user + [WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            for process in self._started:
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
            subprocess.run(self._as_user + [WINESERVER, "-w"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30)
        finally:
            if self._mounted and subprocess.run(["umount", self.path]).returncode != 0:
                # Still busy: detach it now; the kernel frees it when the last user goes.
                subprocess.run(["umount", "-l", self.path], check=True)
            shutil.rmtree(self._case_dir, ignore_errors=True)


# How a case's prefix is made from the template: "overlay" (a copy-on-write
# mount, nearly free; needs root and overlayfs), "links" (system folders
# hard-linked, everything else copied) or "copy" (a full copy, ~0.7 GB for
# a 64-bit prefix). QP_WINE_PREFIX_COPY picks one; by default the first
# that works here.
_PREFIX_COPY = os.environ.get("QP_WINE_PREFIX_COPY", "")
# Wine reads these folders' programs and libraries and never writes them
# once the prefix is made. (A test that overwrote one of Wine's own files
# there in place would change the template for the cases after it; none does.)
_SHARED_FOLDERS = ("drive_c/windows/system32/", "drive_c/windows/syswow64/", "drive_c/windows/winsxs/")


def make_prefix_view(template, case_dir, path):
    """Makes `path` a private prefix from the template; True when it is a mount."""
    global _PREFIX_COPY
    if _PREFIX_COPY in ("", "overlay"):
        upper, work = os.path.join(case_dir, "upper"), os.path.join(case_dir, "work")
        for folder in (upper, work, path):
            os.makedirs(folder)
        options = f"lowerdir={template},upperdir={upper},workdir={work}"
        mounted = subprocess.run(["mount", "-t", "overlay", "overlay", "-o", options, path],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if mounted.returncode == 0:
            _PREFIX_COPY = "overlay"
            return True
        if _PREFIX_COPY == "overlay":
            raise RuntimeError("overlay mount failed: " + mounted.stderr.strip())
        for folder in (path, work, upper):
            os.rmdir(folder)
        _PREFIX_COPY = "links"
    if _PREFIX_COPY == "links":
        _copy_linking_shared_folders(template, path)
    else:
        subprocess.run(["cp", "-a", template, path], check=True)
    return False


def _copy_linking_shared_folders(template, path):
    for folder, dirs, files in os.walk(template):
        relative = os.path.relpath(folder, template)
        target = os.path.normpath(os.path.join(path, relative))
        os.makedirs(target, exist_ok=True)
        shutil.copystat(folder, target)
        shared = (relative.replace(os.sep, "/") + "/").startswith(_SHARED_FOLDERS)
        for name in files + [d for d in dirs if os.path.islink(os.path.join(folder, d))]:
            source, copy = os.path.join(folder, name), os.path.join(target, name)
            if os.path.islink(source):
                os.symlink(os.readlink(source), copy)
            elif shared:
                os.link(source, copy)
            else:
                shutil.copy2(source, copy)


def prefix_copy_method():
    """How the cases' prefixes were made so far ("" before the first)."""
    return _PREFIX_COPY


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


def main(argv):
    """prefix.sh's work: runs one command in a throwaway prefix of its own.
    usage: wine.py run [--gui] [--timeout SECONDS] -- COMMAND...   ("wine" as
    COMMAND's first word means this architecture's loader). Exit code: the
    command's; 124 when it timed out."""
    import argparse
    parser = argparse.ArgumentParser(prog="prefix.sh")
    parser.add_argument("--gui", action="store_true")
    parser.add_argument("--timeout", type=float, default=300)
    parser.add_argument("command", nargs="+")
    options = parser.parse_args(argv)
    command = options.command
    if command[0] == "wine":
        command = [WINE] + command[1:]
    with Prefix(gui=options.gui, name="run") as prefix:
        try:
            return subprocess.run(command, env=prefix.env, stdin=subprocess.DEVNULL, timeout=options.timeout).returncode
        except subprocess.TimeoutExpired:
            return 124


if __name__ == "__main__":
    import sys
    sys.exit(main(sys.argv[1:]))
