"""Whole installations: installers built by qpack run under Wine in automatic
mode (/a), headless, each in a prefix of its own, and checked from outside:
the prefix's files with their contents and times, registry values through
Wine's reg.exe, Uninstall.DAT's bytes, Install.LOG's sections and the exit
code."""

import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402

QPACK = os.path.join(wine.BUILD_HOST, "tools", "qpack", "qpack")
HOLD = os.path.join(wine.BUILD_WIN, "tests", "hold_file.exe")
HOST_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
INSTALL = "C:\\QP Run"
UNINSTALL = INSTALL + "\\Uninstall"
SHARED = "C:\\Program Files\\Common Files\\QP Tests"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QP Run"
SHARED_DLLS = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"
SHELL_FOLDERS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
SESSION_MANAGER = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager"
RECORD_TIME = (2024, 4, 30, 9, 15, 0)

# Exit codes of the stub.
FINISHED, FATAL, PROBLEMS, RESTART_NEEDED = 0, 2, 3, 4


def project(body, name="QP Run", version="1.0", flags=("register-product", "always-write-log"), product=""):
    head = (f"[Product]\nName = {name}\nPublisher = QP Tests\nVersion = {version}\n"
            f"DefaultDirectory = {INSTALL}\nUninstallSubdir = Uninstall\n{product}[Flags]\n")
    return head + "".join(f"{flag} = yes\n" for flag in flags) + body


def local_time(fields):
    """Seconds since the epoch of a local date and time (Wine shares our TZ)."""
    return time.mktime(tuple(fields) + (0, 0, -1))


class Installer:
    """A project folder with its files, built into Setup.exe (and volumes)."""

    def __init__(self, test, text, files):
        self.dir = tempfile.mkdtemp(prefix="qp-run.")
        test.addCleanup(shutil.rmtree, self.dir, True)
        for name, data in files.items():
            path = os.path.join(self.dir, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data.encode() if isinstance(data, str) else data)
        with open(os.path.join(self.dir, "p.qpp"), "w") as f:
            f.write(text)
        self.out = os.path.join(self.dir, "out")
        os.makedirs(self.out)
        self.setup = os.path.join(self.out, "Setup.exe")
        built = subprocess.run([QPACK, "build", os.path.join(self.dir, "p.qpp"), "-o", self.setup, "--stub",
                                wine.STUB], capture_output=True, text=True)
        test.assertEqual(built.returncode, 0, built.stderr)

    def volumes(self):
        return sorted(name for name in os.listdir(self.out) if name.upper().endswith(".QPK"))

    def install(self, prefix, *args, leave_out=(), timeout=120):
        """Copies the installer and its volumes to C:\\ and runs it with /a."""
        for name in os.listdir(self.out):
            if name not in leave_out:
                shutil.copy(os.path.join(self.out, name), prefix.drive_c)
        return prefix.run([os.path.join(prefix.drive_c, "Setup.exe"), "/a"] + list(args), timeout=timeout)


def reg_values(prefix, key):
    """{name: (type, data)} of a key through reg.exe; None when it is missing."""
    result = prefix.run(["reg", "query", key])
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.splitlines():
        match = re.match(r"^    (.*?)    (REG_\w+)    ?(.*)$", line)
        if match:
            values[match.group(1)] = (match.group(2), match.group(3))
    return values


def read(prefix, path, mode="r"):
    with open(prefix.host_path(path), mode, newline="" if mode == "r" else None) as f:
        return f.read()


def record_entries(prefix):
    """The entry lines of Uninstall.DAT, and the bytes after them."""
    data = read(prefix, UNINSTALL + "\\Uninstall.DAT", "rb")
    entries, separator, strings = data.partition(b"\r\n\r\n\r\n[Strings]\r\n")
    assert separator, data
    return entries.decode().split("\r\n"), strings


def log_sections(prefix):
    """Install.LOG split into its sections, each a list of lines."""
    text = read(prefix, UNINSTALL + "\\Install.LOG")
    return [part.split("\r\n") for part in text.split("\r\nInstallation log for: ")[1:]]


EVERY_KIND = """[Files]
app.txt | shortcuts=desktop,program-group | shortcut-name=App | time=2024-04-30 09:15:00
guide.txt | target=Docs\\guide.txt | time=2024-04-30 09:15:00
common.txt | kind=shared | time=2024-04-30 09:15:00
sans.ttf | kind=font | font-name=QP Run Sans
qpsys.dat | kind=system | version=none | time=2024-04-30 09:15:00
late.txt | kind=startup | shortcuts=program-group | shortcut-name=Late | time=2024-04-30 09:15:00
keep.txt | mode=if-missing
fresh.txt | mode=if-missing | time=2024-04-30 09:15:00
present.txt | mode=if-present | time=2024-04-30 09:15:00
absent.txt | mode=if-present
"""
EVERY_KIND_FILES = {"app.txt": "the app", "guide.txt": "the guide", "common.txt": "shared text",
                    "qpsys.dat": "system data", "late.txt": "at start", "keep.txt": "new keep",
                    "fresh.txt": "fresh", "present.txt": "new present", "absent.txt": "never placed"}


class EveryKindAndMode(unittest.TestCase):
    def test_one_installation_places_records_registers_and_logs(self):
        files = dict(EVERY_KIND_FILES)
        with open(HOST_FONT, "rb") as f:
            files["sans.ttf"] = f.read()
        setup = Installer(self, project(EVERY_KIND, product="RegistryKey = QP Tests\\Run Key\n"), files)
        with wine.Prefix(name="run-kinds") as prefix:
            # What was there before: one file each for the two conditional modes.
            os.makedirs(prefix.host_path(INSTALL))
            for name in ("keep.txt", "present.txt"):
                with open(prefix.host_path(INSTALL + "\\" + name), "w") as f:
                    f.write("old " + name)
            result = setup.install(prefix)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)

            placed = {
                INSTALL + "\\app.txt": "the app",
                INSTALL + "\\Docs\\guide.txt": "the guide",
                INSTALL + "\\late.txt": "at start",
                INSTALL + "\\keep.txt": "old keep.txt",  # kept: it was there
                INSTALL + "\\fresh.txt": "fresh",
                INSTALL + "\\present.txt": "new present",  # replaced: it was there
                SHARED + "\\common.txt": "shared text",
                "C:\\windows\\system32\\qpsys.dat": "system data",
            }
            for path, text in placed.items():
                with self.subTest(path=path):
                    self.assertEqual(read(prefix, path), text)
                    if text != "old keep.txt":
                        self.assertEqual(os.path.getmtime(prefix.host_path(path)), local_time(RECORD_TIME))
            self.assertFalse(os.path.exists(prefix.host_path(INSTALL + "\\absent.txt")))
            self.assertEqual(read(prefix, "C:\\windows\\Fonts\\sans.ttf", "rb"), files["sans.ttf"])
            self.assertEqual(read(prefix, UNINSTALL + "\\Uninstall.EXE", "rb")[:2], b"MZ")

            shell = reg_values(prefix, SHELL_FOLDERS)
            folders = {name: shell[name][1] for name in ("Desktop", "Programs")}
            # Wine's prefix has no "Startup" value: the folder below Programs stands in.
            folders["Startup"] = shell["Startup"][1] if "Startup" in shell else folders["Programs"] + "\\StartUp"
            group = folders["Programs"] + "\\QP Tests\\QP Run"
            links = [folders["Desktop"] + "\\App.LNK", group + "\\App.LNK", group + "\\Late.LNK",
                     folders["Startup"] + "\\Late.LNK", group + "\\Uninstall QP Run.LNK",
                     UNINSTALL + "\\Uninstall QP Run.LNK"]
            for link in links:
                with self.subTest(link=link):
                    self.assertTrue(os.path.isfile(prefix.host_path(link)))

            # Placement's entries in record order, then the shortcuts in the
            # order they were made, the uninstaller's own last.
            entries, strings = record_entries(prefix)
            self.assertEqual(entries, [INSTALL + "\\app.txt", "~" + INSTALL + "\\Docs", INSTALL + "\\Docs\\guide.txt",
                                       INSTALL + "\\late.txt", INSTALL + "\\keep.txt", INSTALL + "\\fresh.txt",
                                       INSTALL + "\\present.txt"] + links)
            # The uninstaller's messages follow, each as "~number" and its text.
            self.assertTrue(strings.startswith(b"~10\r\nSome parts of QP Run"), strings[:40])

            record = reg_values(prefix, UNINSTALL_KEY)
            expected = {
                "UninstallString": f'"{UNINSTALL}\\Uninstall.EXE" /u:"QP Run"',
                "InstallLocation": INSTALL,
                "InstallSource": "C:\\Setup.exe",
                "DisplayVersion": "1.0",
                "DisplayTitle": "QP Run Setup",  # message 0: the run set the title
                "SharedFiles": '"common.txt"',
                "ProductFonts": '"QP Run Sans" "sans.ttf" ',
            }
            for name, value in expected.items():
                with self.subTest(value=name):
                    self.assertEqual(record[name][1], value)
            self.assertEqual(reg_values(prefix, SHARED_DLLS)[SHARED + "\\common.txt"], ("REG_DWORD", "0x1"))
            self.assertEqual(reg_values(prefix, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts")
                             ["QP Run Sans"], ("REG_SZ", "sans.ttf"))
            self.assertIsNotNone(reg_values(prefix, "HKLM\\Software\\QP Tests\\Run Key"))
            self.assertIsNotNone(reg_values(prefix, "HKCU\\Software\\QP Tests\\Run Key"))

            # always-write-log: one section, a new installation, no problem lines.
            sections = log_sections(prefix)
            self.assertEqual(len(sections), 1)
            self.assertEqual(sections[0][0], "QP Run")
            self.assertIn("Install type: New", sections[0])
            self.assertIn("Install location: " + INSTALL, sections[0])
            self.assertNotIn("Unable to install", "\n".join(sections[0]))


class Reinstallation(unittest.TestCase):
    def build(self, version, shared):
        body = "[Files]\napp.txt\n" + "".join(f"{name} | kind=shared\n" for name in shared)
        files = {"app.txt": "app " + version}
        files.update({name: name + " " + version for name in shared})
        return Installer(self, project(body, version=version), files)

    def test_second_installation_takes_the_first_directory_and_moves_the_counts(self):
        first = self.build("1.0", ["common.txt", "dropped.txt"])
        second = self.build("2.0", ["common.txt", "added.txt"])
        with wine.Prefix(name="run-again") as prefix:
            # Another product counts common.txt already.
            prefix.run(["reg", "add", SHARED_DLLS, "/v", SHARED + "\\common.txt", "/t", "REG_DWORD", "/d", "5", "/f"])
            self.assertEqual(first.install(prefix).returncode, FINISHED)
            counts = reg_values(prefix, SHARED_DLLS)
            self.assertEqual(counts[SHARED + "\\common.txt"], ("REG_DWORD", "0x6"))
            self.assertEqual(counts[SHARED + "\\dropped.txt"], ("REG_DWORD", "0x1"))

            # /d: does not move a reinstallation out of the earlier directory.
            result = second.install(prefix, "/d:C:\\Elsewhere")
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            self.assertEqual(read(prefix, INSTALL + "\\app.txt"), "app 2.0")
            self.assertFalse(os.path.exists(prefix.host_path("C:\\Elsewhere")))

            # The first run's counts are released, the second run's raised.
            counts = reg_values(prefix, SHARED_DLLS)
            self.assertEqual(counts[SHARED + "\\common.txt"], ("REG_DWORD", "0x6"))
            self.assertEqual(counts[SHARED + "\\added.txt"], ("REG_DWORD", "0x1"))
            self.assertNotIn(SHARED + "\\dropped.txt", counts)
            record = reg_values(prefix, UNINSTALL_KEY)
            self.assertEqual(record["SharedFiles"][1], '"common.txt";"added.txt"')
            self.assertEqual(record["DisplayVersion"][1], "2.0")

            sections = log_sections(prefix)
            self.assertEqual(len(sections), 2)
            self.assertIn("Install type: New", sections[0])
            self.assertIn("Product version: 1.0", sections[0])
            self.assertIn("Install type: Reinstall", sections[1])
            self.assertIn("Product version: 2.0", sections[1])

    def test_stop_if_installed_refuses_even_in_automatic_mode(self):
        first = self.build("1.0", [])
        body = "[Files]\napp.txt\n"
        refusing = Installer(self, project(body, version="2.0", flags=("register-product", "stop-if-installed")),
                             {"app.txt": "app 2.0"})
        with wine.Prefix(name="run-stop") as prefix:
            self.assertEqual(first.install(prefix).returncode, FINISHED)
            # Message 9's box cannot show without a display; the run still ends as refused.
            self.assertEqual(refusing.install(prefix).returncode, FATAL)
            self.assertEqual(read(prefix, INSTALL + "\\app.txt"), "app 1.0")
            self.assertEqual(reg_values(prefix, UNINSTALL_KEY)["DisplayVersion"][1], "1.0")

    def test_a_vanished_directory_is_no_earlier_installation_but_its_shared_list_carries_over(self):
        setup = self.build("1.0", ["common.txt"])
        with wine.Prefix(name="run-vanished") as prefix:
            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            shutil.rmtree(prefix.host_path(INSTALL))
            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            sections = log_sections(prefix)
            self.assertEqual(len(sections), 1)
            self.assertIn("Install type: New", sections[0])
            # Not released (no reinstallation), raised again, and listed twice,
            # so that removal releases it twice.
            self.assertEqual(reg_values(prefix, SHARED_DLLS)[SHARED + "\\common.txt"], ("REG_DWORD", "0x2"))
            self.assertEqual(reg_values(prefix, UNINSTALL_KEY)["SharedFiles"][1], '"common.txt";"common.txt"')


class ExtendsProduct(unittest.TestCase):
    """An archive that adds to an installed product goes into its directory."""

    def test_master_product_must_be_installed(self):
        master = Installer(self, project("[Files]\napp.txt\n"), {"app.txt": "app"})
        addon_project = ("[Product]\nName = QP Addon\nMasterProduct = QP Run\nDefaultDirectory = <master>\n"
                         "[Flags]\nregister-product = yes\nextends-product = yes\n[Files]\naddon.txt\n")
        addon = Installer(self, addon_project, {"addon.txt": "addon"})
        for master_installed, code in ((False, FATAL), (True, FINISHED)):
            with self.subTest(master_installed=master_installed), wine.Prefix(name="run-addon") as prefix:
                if master_installed:
                    self.assertEqual(master.install(prefix).returncode, FINISHED)
                result = addon.install(prefix)
                self.assertEqual(result.returncode, code, result.stdout + result.stderr)
                self.assertEqual(os.path.isfile(prefix.host_path(INSTALL + "\\addon.txt")), master_installed)
                addon_record = reg_values(prefix, UNINSTALL_KEY.replace("QP Run", "QP Addon"))
                self.assertEqual(addon_record["InstallLocation"][1] if addon_record else None,
                                 INSTALL if master_installed else None)


class Volumes(unittest.TestCase):
    """A compressed payload split into volumes, whole and with one missing."""

    def setUp(self):
        noise = random.Random(13)
        # Every volume is as large as the installer file: the noise (which
        # does not compress) fills the installer's room and two volumes more.
        volume = os.path.getsize(wine.STUB) + 16384
        self.files = {f"part{i}.bin": noise.randbytes(volume // 2) for i in range(5)}
        self.files["text.txt"] = "compressible line\r\n" * 500
        body = f"[Build]\nVolumeSize = {volume}\n[Files]\n" + "".join(f"{name}\n" for name in self.files)
        self.setup = Installer(self, project(body, flags=("register-product", "compressed-payload")), self.files)
        self.assertEqual(self.setup.volumes()[:2], ["Disk2.QPK", "Disk3.QPK"])

    def test_cases(self):
        cases = [
            # (volumes left out, exit code, files installed)
            ((), FINISHED, True),
            (("Disk2.QPK",), FATAL, False),
        ]
        for left_out, code, installed in cases:
            with self.subTest(left_out=left_out), wine.Prefix(name="run-volumes") as prefix:
                result = self.setup.install(prefix, leave_out=left_out)
                self.assertEqual(result.returncode, code, result.stdout + result.stderr)
                for name, data in self.files.items():
                    path = prefix.host_path(INSTALL + "\\" + name)
                    if installed:
                        self.assertEqual(read(prefix, INSTALL + "\\" + name, "rb"),
                                         data if isinstance(data, bytes) else data.encode())
                    else:
                        self.assertFalse(os.path.exists(path), name)
                # A payload that could not be read registers nothing.
                self.assertEqual(reg_values(prefix, UNINSTALL_KEY) is not None, installed)


SCRIPTS = """[Files]
app.txt
[Script PreInstall]
if exist app.txt (echo pre saw app>>C:\\order.txt) else (echo pre before files>>C:\\order.txt)
echo %InstallDir%^|%InstallDrive%^|%SharedDir%>C:\\vars.txt
pause
type %0 >C:\\pre-script.txt
[Script PostInstall]
if exist Uninstall\\Uninstall.EXE echo post after registration>>C:\\order.txt
[Script Final]
PAUSE
if exist Uninstall\\Install.LOG echo final after log>>C:\\order.txt
"""


class Scripts(unittest.TestCase):
    def test_scripts_run_in_order_with_their_set_lines_and_without_pauses(self):
        setup = Installer(self, project(SCRIPTS, flags=("register-product", "always-write-log")),
                          {"app.txt": "app"})
        with wine.Prefix(name="run-scripts") as prefix:
            result = setup.install(prefix, timeout=180)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            self.assertEqual(read(prefix, "C:\\order.txt").split(),
                             "pre before files post after registration final after log".split())
            self.assertEqual(read(prefix, "C:\\vars.txt").strip(), f"{INSTALL}|C:|{SHARED}")
            # The file that ran: the SET lines in front, no pause line left.
            ran = read(prefix, "C:\\pre-script.txt").split("\r\n")
            self.assertEqual(ran[0], "@echo off")
            self.assertEqual(ran[1:4], [f"SET InstallDir={INSTALL}", "SET InstallDrive=C:", f"SET SharedDir={SHARED}"])
            self.assertNotIn("pause", [line.strip().lower() for line in ran])
            self.assertIn("type %0 >C:\\pre-script.txt", ran)


class ExitCodes(unittest.TestCase):
    def test_a_problem_line_gives_three_and_is_logged(self):
        setup = Installer(self, project("[Files]\napp.txt\nblocked.txt\n"), {"app.txt": "app", "blocked.txt": "b"})
        with wine.Prefix(name="run-problem") as prefix:
            # A folder where a file must go: the write fails, the run goes on.
            os.makedirs(prefix.host_path(INSTALL + "\\blocked.txt"))
            result = setup.install(prefix)
            self.assertEqual(result.returncode, PROBLEMS, result.stdout + result.stderr)
            self.assertEqual(read(prefix, INSTALL + "\\app.txt"), "app")
            section = log_sections(prefix)[0]
            self.assertTrue(any(line.startswith("Unable to install " + INSTALL + "\\blocked.txt") for line in section),
                            section)
            self.assertIsNotNone(reg_values(prefix, UNINSTALL_KEY))

    def test_a_shortcut_name_outside_its_folder_makes_no_link(self):
        # qpack takes shortcut names as they are; the program must not follow one out of its folder.
        setup = Installer(self, project("[Files]\napp.txt | shortcuts=desktop | shortcut-name=..\\..\\evil\n"
                                        "ok.txt | shortcuts=desktop | shortcut-name=Fine\n"),
                          {"app.txt": "app", "ok.txt": "ok"})
        with wine.Prefix(name="run-shortcut") as prefix:
            result = setup.install(prefix)
            self.assertEqual(result.returncode, PROBLEMS, result.stdout + result.stderr)
            self.assertEqual(read(prefix, INSTALL + "\\app.txt"), "app")
            desktop = prefix.host_path(reg_values(prefix, SHELL_FOLDERS)["Desktop"][1])
            self.assertIn("fine.lnk", [name.lower() for name in os.listdir(desktop)])
            links = [os.path.join(folder, name) for folder, _, names in os.walk(prefix.drive_c) for name in names
                     if name.lower() == "evil.lnk"]
            self.assertEqual(links, [])
            self.assertIn("Unable to install ..\\..\\evil", log_sections(prefix)[0])

    def test_an_unusable_directory_is_fatal_in_automatic_mode(self):
        setup = Installer(self, project("[Files]\napp.txt\n"), {"app.txt": "app"})
        cases = ["C:\\", "relative\\dir", "C:\\Program Files", "C:\\bad|name"]
        for directory in cases:
            with self.subTest(directory=directory), wine.Prefix(name="run-baddir") as prefix:
                result = setup.install(prefix, "/d:" + directory)
                self.assertEqual(result.returncode, FATAL, result.stdout + result.stderr)
                self.assertIsNone(reg_values(prefix, UNINSTALL_KEY))

    def test_an_installation_directory_left_empty_is_removed(self):
        # Nothing registered and every file elsewhere: no reason to keep the folder.
        setup = Installer(self, project("[Files]\nqprun.dat | kind=system | version=none\n", flags=()),
                          {"qprun.dat": "system data"})
        with wine.Prefix(name="run-empty") as prefix:
            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            self.assertEqual(read(prefix, "C:\\windows\\system32\\qprun.dat"), "system data")
            self.assertFalse(os.path.exists(prefix.host_path(INSTALL)))


class WindowsSeesTheProduct(unittest.TestCase):
    def test_uninstaller_list_names_the_product(self):
        setup = Installer(self, project("[Files]\napp.txt\n"), {"app.txt": "app"})
        with wine.Prefix(name="run-list") as prefix:
            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            listed = prefix.run(["uninstaller", "--list"])
            # One line per product: its key, then its display name.
            self.assertIn("QP Run|||QP Run", listed.stdout.splitlines())


class FileInUse(unittest.TestCase):
    """A shared file held open by another program: its new contents wait for
    the next restart. No case may let the restart happen (under Wine it ends
    every program of the prefix): automatic mode with /norestart, and an
    interactive run whose restart question is answered No."""

    def test_a_file_in_use_waits_for_a_restart_that_is_held_back(self):
        setup = Installer(self, project("[Files]\ncommon.txt | kind=shared | time=2024-04-30 09:15:00\n"
                                        "blocked.txt\n"), {"common.txt": "new shared", "blocked.txt": "b"})
        cases = [
            # (arguments, gui, a problem line too, exit code)
            (["/a", "/norestart"], False, False, RESTART_NEEDED),
            ([], True, False, RESTART_NEEDED),
            # A problem line outranks the pending restart in the exit code.
            (["/a", "/norestart"], False, True, PROBLEMS),
        ]
        for args, gui, blocked, exit_code in cases:
            with self.subTest(args=args, blocked=blocked), wine.Prefix(gui=gui, name="run-busy") as prefix:
                if blocked:  # a folder where blocked.txt must go makes its write fail
                    os.makedirs(prefix.host_path(INSTALL + "\\blocked.txt"))
                held = prefix.host_path(SHARED + "\\common.txt")
                os.makedirs(os.path.dirname(held))
                with open(held, "w") as f:
                    f.write("old shared")
                os.utime(held, (local_time((2001, 1, 1, 0, 0, 0)),) * 2)
                shutil.copy(HOLD, prefix.drive_c)
                shutil.copy(setup.setup, prefix.drive_c)
                signal = prefix.host_path("C:\\held.sig")
                holder = prefix.start([os.path.join(prefix.drive_c, "hold_file.exe"), SHARED + "\\common.txt",
                                       "C:\\held.sig", "read"])
                self.assertTrue(wine.wait_until(lambda: os.path.exists(signal)), "the file was not held")

                process = prefix.start([os.path.join(prefix.drive_c, "Setup.exe")] + args)
                if gui:
                    steps = [("wait", QUESTION, 20000, "press", QUESTION, "Yes"),
                             ("wait", "Installation Complete", 30000, "press", "Installation Complete", "OK")]
                    for step in steps:
                        code, _, err = prefix.driver(*step)
                        self.assertEqual(code, 0, f"{step}: {err}")
                    # Message 37 under the caption of message 20; never answered Yes here.
                    question = dict(((kind, ident), text) for kind, ident, text in prefix.window_texts("QP Run Setup"))
                    self.assertIn("replaced the next time Windows starts", question[("Static", 0xFFFF)])
                    code, _, err = prefix.driver("press", "QP Run Setup", "No")
                    self.assertEqual(code, 0, err)
                self.assertEqual(prefix.wait(process, timeout=120), exit_code)

                # Still the old contents, the new ones wait in the installation
                # directory, and Windows has the replacement on its list.
                self.assertEqual(read(prefix, SHARED + "\\common.txt"), "old shared")
                pending = prefix.run(["reg", "query", SESSION_MANAGER, "/v", "PendingFileRenameOperations"])
                self.assertIn("common.txt", pending.stdout)
                waiting = [name for name in os.listdir(prefix.host_path(INSTALL)) if name.lower().endswith(".tmp")]
                self.assertEqual(len(waiting), 1, os.listdir(prefix.host_path(INSTALL)))
                with open(os.path.join(prefix.host_path(INSTALL), waiting[0])) as f:
                    self.assertEqual(f.read(), "new shared")
                self.assertEqual(reg_values(prefix, UNINSTALL_KEY)["InstallLocation"][1], INSTALL)
                # The holder (another program of this prefix) still runs: no
                # log-off and no restart happened.
                self.assertIsNone(holder.poll())

QUESTION = "Quillpack Utility v5.1"
CHOOSE_DIR = "Installation Folder"  # the dialog, and the caption of its confirmation (message 24)


class InteractiveInstallation(unittest.TestCase):
    """The dialogs in their order, driven from another process under Xvfb."""

    def test_questions_licence_readme_directory_then_install(self):
        body = "[Texts]\nLicence = licence.txt\nReadme = readme.txt\n[Files]\napp.txt\n"
        setup = Installer(self, project(body, flags=("register-product", "choose-directory")),
                          {"app.txt": "app", "licence.txt": "the licence", "readme.txt": "the readme"})
        typed = "C:\\QP Typed"
        with wine.Prefix(gui=True, name="run-dialogs") as prefix:
            shutil.copy(setup.setup, prefix.drive_c)
            process = prefix.start([os.path.join(prefix.drive_c, "Setup.exe")])
            steps = [
                ("wait", QUESTION, 20000, "press", QUESTION, "Yes"),
                ("wait", "Licence Agreement", 20000, "press", "Licence Agreement", "#1001"),
                ("wait", "Read Me", 20000, "press", "Read Me", "#1001"),
                # A drive root is refused with message 17, and the dialog comes back.
                ("wait", CHOOSE_DIR, 20000, "settext", CHOOSE_DIR, 1015, "C:\\", "press", CHOOSE_DIR, "#1001"),
            ]
            for step in steps:
                code, _, err = prefix.driver(*step)
                self.assertEqual(code, 0, f"{step}: {err}")
            refusal = dict(((kind, ident), text) for kind, ident, text in prefix.window_texts("QP Run Setup Error"))
            self.assertIn("cannot be installed into the top folder of a drive", refusal[("Static", 0xFFFF)])
            steps = [
                ("press", "QP Run Setup Error", "OK"),
                ("wait", CHOOSE_DIR, 20000, "settext", CHOOSE_DIR, 1015, typed, "press", CHOOSE_DIR, "#1001",
                 "sleep", 500),
            ]
            for step in steps:
                code, _, err = prefix.driver(*step)
                self.assertEqual(code, 0, f"{step}: {err}")
            # The new folder is confirmed with message 23, then made.
            confirm = dict(((kind, ident), text) for kind, ident, text in prefix.window_texts(CHOOSE_DIR))
            self.assertEqual(confirm[("Static", 0xFFFF)],
                             "QP Run will be installed into the new folder\r\n" + typed + "\r\n\r\nDo you want to continue?")
            for step in [("press", CHOOSE_DIR, "Yes"),
                         ("wait", "Installation Complete", 30000, "press", "Installation Complete", "OK")]:
                code, _, err = prefix.driver(*step)
                self.assertEqual(code, 0, f"{step}: {err}")
            self.assertEqual(prefix.wait(process), FINISHED)
            self.assertEqual(read(prefix, typed + "\\app.txt"), "app")
            self.assertEqual(reg_values(prefix, UNINSTALL_KEY)["InstallLocation"][1], typed)
            self.assertFalse(os.path.exists(prefix.host_path(INSTALL)))


    def test_reinstallation_names_the_versions_and_keeps_the_directory(self):
        body = "[Files]\napp.txt\n"
        flags = ("register-product", "choose-directory", "always-write-log")
        first = Installer(self, project(body, version="1.5", flags=flags), {"app.txt": "app 1.5"})
        second = Installer(self, project(body, version="2.0", flags=flags), {"app.txt": "app 2.0"})
        notice = "QP Run Is Already Installed"
        with wine.Prefix(gui=True, name="run-again-ui") as prefix:
            self.assertEqual(first.install(prefix).returncode, FINISHED)
            shutil.copy(second.setup, prefix.drive_c)
            process = prefix.start([os.path.join(prefix.drive_c, "Setup.exe")])
            code, _, err = prefix.driver("wait", QUESTION, 20000, "press", QUESTION, "Yes")
            self.assertEqual(code, 0, err)
            # 1.5 installed, 2.0 offered: notice 5, the directory, then message 7.
            rows = dict(((kind, ident), text) for kind, ident, text in prefix.window_texts(notice))
            self.assertEqual(rows[("Static", 0xFFFF)],
                             "An older version of QP Run is installed in this folder:\r\n" + INSTALL +
                             "\r\n\r\nDo you want to install over the existing copy?")
            # Yes: no directory dialog; the run goes straight to its work.
            for step in [("press", notice, "Yes"),
                         ("wait", "Installation Complete", 30000, "press", "Installation Complete", "OK")]:
                code, _, err = prefix.driver(*step)
                self.assertEqual(code, 0, f"{step}: {err}")
            self.assertEqual(prefix.wait(process), FINISHED)
            self.assertEqual(read(prefix, INSTALL + "\\app.txt"), "app 2.0")
            self.assertIn("Install type: Reinstall", log_sections(prefix)[1])

if __name__ == "__main__":
    unittest.main()
