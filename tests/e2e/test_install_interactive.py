"""An interactive installation under Xvfb onto a drive too small for the
archive: the free-space warning is answered No (the directory dialog comes
back) and then Yes (the run goes on into the same folder), and the run ends
by offering its log, answered Yes: the log opens in the program the shell
gives text files (Wine's Notepad here). The drive is a 1 MiB tmpfs mounted for
the case and given to the prefix as D:, so that Wine reports its real free
space; the archive's largest file is a shared one, which goes to C:, so the
installation itself fits."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from test_archive_corrupt import box_text  # noqa: E402
from test_install_run import (CHOOSE_DIR, PROBLEMS, QUESTION, SHARED, UNINSTALL_KEY, Installer,  # noqa: E402
                              project, reg_values)

SMALL_DRIVE_BYTES = 1024 * 1024
TARGET = "D:\\QP Small"
CAPTION = "QP Run Setup"  # message 20: the free-space question
LOG_CAPTION = "Installation Finished With Problems"  # message 41


def size_text(n):
    """How the installer writes a byte count in its messages."""
    if n < 1024:
        return f"{n} bytes"
    for limit, unit, name in ((1 << 20, 1024.0, "KB"), (1 << 30, 1048576.0, "MB"), (1 << 40, 1073741824.0, "GB")):
        if n < limit:
            return f"{n / unit:.2f} {name}"
    return f"{n / 1099511627776.0:.2f} TB"


def mount_small_drive(test):
    """A fresh tmpfs of SMALL_DRIVE_BYTES; skips the test where none can be mounted."""
    folder = tempfile.mkdtemp(prefix="qp-small.")
    test.addCleanup(os.rmdir, folder)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={SMALL_DRIVE_BYTES}", "tmpfs", folder],
                             capture_output=True, text=True)
    if mounted.returncode != 0:
        test.skipTest("no small drive: mounting a tmpfs needs root (" + mounted.stderr.strip() + ")")
    test.addCleanup(subprocess.run, ["umount", folder], check=True)
    return folder


class InteractiveOnASmallDrive(unittest.TestCase):
    def drive(self, prefix, *steps):
        for step in steps:
            code, _, err = prefix.driver(*step)
            self.assertEqual(code, 0, f"{step}: {err}")

    def box(self, prefix, caption):
        return box_text(prefix.window_texts(caption))

    def test_free_space_warning_then_log_offer(self):
        big = os.urandom(2 * SMALL_DRIVE_BYTES)
        body = "[Files]\napp.txt\nblocked.txt\nbig.bin | kind=shared\n"
        files = {"app.txt": "app", "blocked.txt": "b", "big.bin": big}
        # use-colors: the gradient behind the dialog in the saved screenshot.
        flags = ("register-product", "choose-directory", "use-colors")
        setup = Installer(self, project(body, flags=flags), files)
        small = mount_small_drive(self)
        # A folder where blocked.txt must go: its write fails, so the run
        # ends with problems and offers its log.
        os.makedirs(os.path.join(small, "QP Small", "blocked.txt"))

        with wine.Prefix(gui=True, name="run-small") as prefix:
            drive_d = os.path.join(prefix.path, "dosdevices", "d:")
            if os.path.lexists(drive_d):
                os.remove(drive_d)
            os.symlink(small, drive_d)
            shutil.copy(setup.setup, prefix.drive_c)
            # Windows opens .log files with Notepad (as text files); Wine's
            # fresh prefix knows .txt but not .log, so it gets the same here.
            prefix.run(["reg", "add", "HKCR\\.log", "/ve", "/d", "txtfile", "/f"])

            stats = os.statvfs(small)
            cluster = stats.f_frsize
            needed = sum(-(-len(data) // cluster) * cluster for data in files.values())
            free = stats.f_bavail * stats.f_frsize
            warning = (f"QP Run needs {size_text(needed)} of disk space, but drive D: has only {size_text(free)} "
                       "free.\r\n\r\nDo you want to install into this folder anyway?")

            process = prefix.start([os.path.join(prefix.drive_c, "Setup.exe")])
            self.drive(prefix, ("wait", QUESTION, 20000, "press", QUESTION, "Yes"),
                       ("wait", CHOOSE_DIR, 20000, "settext", CHOOSE_DIR, 1015, TARGET, "sleep", 300))
            prefix.screenshot("install-directory-dialog")
            self.drive(prefix, ("press", CHOOSE_DIR, "#1001"))
            self.assertEqual(self.box(prefix, CAPTION), warning)
            # No: the dialog comes back with the folder still typed in.
            self.drive(prefix, ("press", CAPTION, "No"), ("wait", CHOOSE_DIR, 20000))
            self.assertEqual(dict(((k, i), t) for k, i, t in prefix.window_texts(CHOOSE_DIR))[("Edit", 1015)], TARGET)
            self.drive(prefix, ("press", CHOOSE_DIR, "#1001"))
            self.assertEqual(self.box(prefix, CAPTION), warning)
            # Yes: the same folder, which exists, is confirmed with message 22.
            self.drive(prefix, ("press", CAPTION, "Yes", "sleep", 500))
            self.assertEqual(self.box(prefix, CHOOSE_DIR), "QP Run will be installed into the existing folder\r\n"
                                                           + TARGET + "\r\n\r\nDo you want to continue?")
            self.drive(prefix, ("press", CHOOSE_DIR, "Yes"))

            log = TARGET + "\\Uninstall\\Install.LOG"
            self.assertEqual(self.box(prefix, LOG_CAPTION),
                             "The installation has finished, but some problems occurred.\r\nThey are listed in the "
                             f"log\r\n{log}\r\n\r\nDo you want to read the log now?")
            self.drive(prefix, ("press", LOG_CAPTION, "Yes"))
            self.assertEqual(prefix.wait(process, timeout=120), PROBLEMS)
            # The shell opens the log after the run has ended; Wine's Notepad
            # shows the file's name in its caption and the log in its editor.
            shown = "\n".join(text for _, _, text in prefix.window_texts("Install.LOG - Notepad"))
            self.assertIn("Unable to install " + TARGET + "\\blocked.txt", shown)

            with open(os.path.join(small, "QP Small", "app.txt")) as f:
                self.assertEqual(f.read(), "app")
            with open(prefix.host_path(SHARED + "\\big.bin"), "rb") as f:
                self.assertEqual(f.read(), big)
            with open(os.path.join(small, "QP Small", "Uninstall", "Install.LOG"), newline="") as f:
                self.assertIn("\r\nUnable to install " + TARGET + "\\blocked.txt\r\n", f.read())
            self.assertEqual(reg_values(prefix, UNINSTALL_KEY)["InstallLocation"][1], TARGET)


if __name__ == "__main__":
    unittest.main()
