"""Installations removed again: installers built by qpack install under Wine
in automatic mode, the uninstaller they registered removes the product
(`/u:"name" /a`, or the way a user starts it, through Wine's program list),
and the prefix is checked from outside: no file, folder, shortcut, font or
registry value of the product remains, and the uninstaller's own files are
gone once its process and its clean-up script have ended."""

import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from test_install_run import (EVERY_KIND, EVERY_KIND_FILES, FINISHED, HOST_FONT, INSTALL, PROBLEMS,  # noqa: E402
                              SHARED, SHARED_DLLS, SHELL_FOLDERS, UNINSTALL, UNINSTALL_KEY, Installer, project,
                              read, reg_values)

DECLINED, FATAL = 1, 2
FONTS_KEY = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
ENVIRONMENT = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment"
PRODUCT_KEY = "Software\\QP Tests\\Run Key"


def files_of(prefix):
    """Every file and folder below drive_c, as Windows paths, but Wine's and
    the scripts' temporary files, which come and go with any program run."""
    found = set()
    for folder, dirs, names in os.walk(prefix.drive_c):
        relative = os.path.relpath(folder, prefix.drive_c)
        parts = [] if relative == "." else relative.split(os.sep)
        if any(part.lower() == "temp" for part in parts):
            continue
        for name in dirs + names:
            if name.lower() != "temp":
                found.add("C:\\" + "\\".join(parts + [name]))
    return found


def settle(prefix):
    """Waits until every program of the prefix has ended: the uninstaller's
    clean-up script runs on after the uninstaller itself."""
    subprocess.run([wine.WINESERVER, "-w"], env=prefix.env, timeout=120, check=True)


def uninstall(prefix, name="QP Run", program=UNINSTALL + "\\Uninstall.EXE"):
    result = prefix.run([prefix.host_path(program), f"/u:{name}", "/a"], timeout=180)
    settle(prefix)
    return result


def path_entries(prefix):
    values = reg_values(prefix, ENVIRONMENT) or {}
    return [entry.lower() for entry in values.get("Path", ("", ""))[1].split(";")]


def product_registry(prefix):
    """What of the product's registration is still there, by name."""
    left = {}
    for name, key in (("record", UNINSTALL_KEY), ("machine key", "HKLM\\" + PRODUCT_KEY),
                      ("user key", "HKCU\\" + PRODUCT_KEY)):
        if reg_values(prefix, key) is not None:
            left[name] = key
    fonts = reg_values(prefix, FONTS_KEY) or {}
    if "QP Run Sans" in fonts:
        left["font value"] = fonts["QP Run Sans"]
    counts = reg_values(prefix, SHARED_DLLS) or {}
    left.update({"count " + name: value for name, value in counts.items() if name.lower().startswith(SHARED.lower())})
    if INSTALL.lower() in path_entries(prefix):
        left["Path entry"] = INSTALL
    return left


UNINSTALL_SCRIPTS = """[Script Uninstall1]
echo first %InstallDir%>>C:\\uninstall-order.txt
[Script Uninstall2]
echo second>>C:\\uninstall-order.txt
"""

# (case, project text, files, files the product may leave behind by design)
CASES = [
    # Every kind and placement mode, the product's keys, PATH, both uninstall
    # scripts. The system file stays: system files are never the product's
    # alone to remove.
    ("every kind", project(EVERY_KIND + UNINSTALL_SCRIPTS, product="RegistryKey = QP Tests\\Run Key\n",
                           flags=("register-product", "always-write-log", "add-to-path")),
     dict(EVERY_KIND_FILES, **{"sans.ttf": None}),
     {"C:\\windows\\system32\\qpsys.dat", "C:\\uninstall-order.txt", "C:\\autoexec.bat"}),
    # The uninstaller, its record and its log in the installation folder itself.
    ("no uninstall folder",
     project("[Files]\napp.txt\nsub\\deep\\more.txt | target=sub\\deep\\more.txt\n").replace(
         "UninstallSubdir = Uninstall\n", ""),
     {"app.txt": "app", "sub/deep/more.txt": "more"}, set()),
    # The whole folder goes, files nobody recorded with it.
    ("remove-whole-directory", project("[Files]\napp.txt\n",
                                       flags=("register-product", "always-write-log", "remove-whole-directory")),
     {"app.txt": "app"}, set()),
]


class RemovesWhatWasInstalled(unittest.TestCase):
    def test_each_installation_leaves_nothing_behind(self):
        with open(HOST_FONT, "rb") as f:
            font = f.read()
        for case, text, files, stays in CASES:
            files = {name: (font if data is None else data) for name, data in files.items()}
            setup = Installer(self, text, files)
            with self.subTest(case=case), wine.Prefix(name="uninstall") as prefix:
                before = files_of(prefix)
                self.assertEqual(product_registry(prefix), {})
                result = setup.install(prefix)
                self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
                settle(prefix)
                installed = files_of(prefix) - before
                self.assertTrue(installed)
                registered = product_registry(prefix)
                self.assertIn("record", registered)

                location = reg_values(prefix, UNINSTALL_KEY)["UninstallString"][1].split('"')[1]
                if case == "remove-whole-directory":
                    # Nobody recorded this file: only the tree deletion takes it.
                    with open(prefix.host_path(INSTALL + "\\user notes.txt"), "w") as f:
                        f.write("mine")
                result = uninstall(prefix, program=location)
                self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
                left = files_of(prefix) - before - {"C:\\Setup.exe"}
                self.assertEqual(left, stays, sorted(installed))
                self.assertEqual(product_registry(prefix), {}, registered)
                if case == "every kind":
                    # The first script ran in the installation folder before
                    # anything went, the second once everything had gone.
                    self.assertEqual(read(prefix, "C:\\uninstall-order.txt").splitlines(),
                                     [f"first {INSTALL}", "second"])
                    self.assertNotIn(INSTALL.lower(), path_entries(prefix))
                    # autoexec.bat keeps whatever else it holds, but not the product's line.
                    self.assertNotIn("PATH=%PATH%", read(prefix, "C:\\autoexec.bat"))

    def test_reinstallation_then_removal_releases_each_count_once(self):
        def build(version, shared):
            body = "[Files]\napp.txt\n" + "".join(f"{name} | kind=shared\n" for name in shared)
            files = {"app.txt": "app " + version}
            files.update({name: name + " " + version for name in shared})
            return Installer(self, project(body, version=version), files)

        first = build("1.0", ["common.txt", "dropped.txt"])
        second = build("2.0", ["common.txt", "added.txt"])
        with wine.Prefix(name="uninstall-again") as prefix:
            # Another product counts common.txt already: it must keep it.
            prefix.run(["reg", "add", SHARED_DLLS, "/v", SHARED + "\\common.txt", "/t", "REG_DWORD", "/d", "5", "/f"])
            for setup in (first, second):
                self.assertEqual(setup.install(prefix).returncode, FINISHED)
            result = uninstall(prefix)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            counts = reg_values(prefix, SHARED_DLLS)
            self.assertEqual(counts.get(SHARED + "\\common.txt"), ("REG_DWORD", "0x5"))
            self.assertNotIn(SHARED + "\\added.txt", counts)
            self.assertTrue(os.path.isfile(prefix.host_path(SHARED + "\\common.txt")))
            self.assertFalse(os.path.exists(prefix.host_path(SHARED + "\\added.txt")))
            self.assertFalse(os.path.exists(prefix.host_path(INSTALL)))
            self.assertIsNone(reg_values(prefix, UNINSTALL_KEY))


class SomethingRemains(unittest.TestCase):
    def test_a_users_file_keeps_the_folder_and_the_registration_until_it_is_gone(self):
        setup = Installer(self, project("[Files]\napp.txt\nDocs\\guide.txt | target=Docs\\guide.txt\n"),
                          {"app.txt": "app", "Docs/guide.txt": "guide"})
        with wine.Prefix(name="uninstall-kept") as prefix:
            before = files_of(prefix)
            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            users_file = prefix.host_path(INSTALL + "\\Docs\\my notes.txt")
            with open(users_file, "w") as f:
                f.write("mine")

            result = uninstall(prefix)
            self.assertEqual(result.returncode, PROBLEMS, result.stdout + result.stderr)
            self.assertEqual(read(prefix, INSTALL + "\\Docs\\my notes.txt"), "mine")
            self.assertFalse(os.path.exists(prefix.host_path(INSTALL + "\\app.txt")))
            # The record keeps what could not go; the registration and the
            # uninstaller stay so that the user can run it again.
            entries = read(prefix, UNINSTALL + "\\Uninstall.DAT", "rb").split(b"\r\n\r\n\r\n[Strings]\r\n")[0]
            self.assertEqual(entries.decode().split("\r\n"), ["~" + INSTALL + "\\Docs"])
            self.assertIsNotNone(reg_values(prefix, UNINSTALL_KEY))
            self.assertTrue(os.path.isfile(prefix.host_path(UNINSTALL + "\\Uninstall.EXE")))

            os.remove(users_file)
            result = uninstall(prefix)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            self.assertEqual(files_of(prefix) - before - {"C:\\Setup.exe"}, set())
            self.assertIsNone(reg_values(prefix, UNINSTALL_KEY))

    def test_a_product_that_is_not_installed_changes_nothing(self):
        setup = Installer(self, project("[Files]\napp.txt\n"), {"app.txt": "app"})
        with wine.Prefix(name="uninstall-none") as prefix:
            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            before = files_of(prefix)
            result = uninstall(prefix, name="QP Other")
            self.assertEqual(result.returncode, FATAL, result.stdout + result.stderr)
            self.assertEqual(files_of(prefix), before)
            self.assertIsNotNone(reg_values(prefix, UNINSTALL_KEY))


class TreeDeletionRefusals(unittest.TestCase):
    """An installation folder recorded as one of the machine's own folders
    (a user could have chosen it, or the record was changed): the whole-folder
    deletion must not touch it. Each case moves a registered product's
    "InstallLocation" there and plants a file the deletion would take."""

    def test_refused_folders_keep_every_file_and_an_ordinary_one_goes(self):
        flags = ("register-product", "remove-whole-directory")
        setup = Installer(self, project("[Files]\napp.txt\n", flags=flags), {"app.txt": "app"})
        with wine.Prefix(name="uninstall-refuse") as prefix:
            shell = reg_values(prefix, SHELL_FOLDERS)
            profile = shell["Desktop"][1].rsplit("\\", 1)[0]
            # (case, the recorded folder, the folder as the host's file system spells it)
            cases = [
                ("Desktop", shell["Desktop"][1], None),
                ("drive root", "C:\\", None),
                ("profile", profile, None),
                ("Program Files", "C:\\Program Files", None),
                ("contains the profile", profile.rsplit("\\", 1)[0], None),
                ("Windows, trailing backslash, other case", "c:\\WINDOWS\\", "C:\\windows"),
                ("Documents", shell["Personal"][1], None),
            ]
            for case, folder, spelt in cases:
                with self.subTest(case=case):
                    self.assertEqual(setup.install(prefix).returncode, FINISHED)
                    planted = prefix.host_path((spelt or folder).rstrip("\\") + "\\planted by " + case + ".txt")
                    with open(planted, "w") as f:
                        f.write("keep")
                    before = files_of(prefix)
                    prefix.run(["reg", "add", UNINSTALL_KEY, "/v", "InstallLocation", "/d", folder, "/f"])
                    uninstall(prefix)
                    self.assertTrue(os.path.isfile(planted), "the planted file went")
                    gone = {path for path in before - files_of(prefix) if not path.lower().startswith(INSTALL.lower())}
                    self.assertEqual(gone, set())
                    os.remove(planted)
                    # What the refused run left of the product goes with the next case's install.
                    prefix.run(["reg", "delete", UNINSTALL_KEY, "/f"])

            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            with open(prefix.host_path(INSTALL + "\\user notes.txt"), "w") as f:
                f.write("mine")
            self.assertEqual(uninstall(prefix).returncode, FINISHED)
            self.assertFalse(os.path.exists(prefix.host_path(INSTALL)))


class ThroughWindowsProgramList(unittest.TestCase):
    def test_the_program_list_runs_the_uninstaller_and_nothing_remains(self):
        flags = ("register-product", "always-write-log", "automatic-uninstall")
        setup = Installer(self, project("[Files]\napp.txt | shortcuts=desktop,program-group\n", flags=flags),
                          {"app.txt": "app"})
        with wine.Prefix(name="uninstall-list") as prefix:
            before = files_of(prefix)
            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            self.assertIn("QP Run|||QP Run", prefix.run(["uninstaller", "--list"]).stdout.splitlines())
            # Runs "UninstallString" as Windows' own program list does: no
            # /a here, the product's flag keeps the uninstaller silent.
            prefix.run(["uninstaller", "--remove", "QP Run"], timeout=180)
            settle(prefix)
            self.assertNotIn("QP Run|||QP Run", prefix.run(["uninstaller", "--list"]).stdout.splitlines())
            self.assertEqual(files_of(prefix) - before - {"C:\\Setup.exe"}, set())
            self.assertEqual(product_registry(prefix), {})


class InteractiveUninstall(unittest.TestCase):
    """The uninstaller's questions answered both ways, driven from another
    process under Xvfb."""

    FONTS = {"sans.ttf": ("QP Run Sans", HOST_FONT),
             "serif.ttf": ("QP Run Serif", "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf")}
    BODY = ("[Files]\napp.txt\nsans.ttf | kind=font | font-name=QP Run Sans\n"
            "serif.ttf | kind=font | font-name=QP Run Serif\none.txt | kind=shared\ntwo.txt | kind=shared\n")

    def setup_installer(self):
        files = {"app.txt": "app", "one.txt": "one", "two.txt": "two"}
        for name, (_, source) in self.FONTS.items():
            with open(source, "rb") as f:
                files[name] = f.read()
        flags = ("register-product", "ask-before-font-removal", "ask-before-shared-removal")
        return Installer(self, project(self.BODY, flags=flags), files)

    def drive(self, prefix, steps):
        for step in steps:
            code, _, err = prefix.driver(*step)
            self.assertEqual(code, 0, f"{step}: {err}")

    def question(self, prefix, title):
        return dict(((kind, ident), text) for kind, ident, text in prefix.window_texts(title))[("Static", 0xFFFF)]

    def test_declined_confirmation_changes_nothing(self):
        setup = self.setup_installer()
        with wine.Prefix(gui=True, name="uninstall-no") as prefix:
            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            settle(prefix)
            before, registered = files_of(prefix), product_registry(prefix)
            process = prefix.start([prefix.host_path(UNINSTALL + "\\Uninstall.EXE"), "/u:QP Run"])
            self.assertEqual(self.question(prefix, "Remove QP Run"),
                             "Do you want to remove QP Run and all of its components from your computer?")
            prefix.screenshot("uninstall-confirmation")
            self.drive(prefix, [("press", "Remove QP Run", "No")])
            self.assertEqual(prefix.wait(process), DECLINED)
            settle(prefix)
            self.assertEqual(files_of(prefix), before)
            self.assertEqual(product_registry(prefix), registered)

    def test_fonts_and_shared_files_kept_or_removed_as_answered(self):
        setup = self.setup_installer()
        with wine.Prefix(gui=True, name="uninstall-ask") as prefix:
            self.assertEqual(setup.install(prefix).returncode, FINISHED)
            settle(prefix)
            process = prefix.start([prefix.host_path(UNINSTALL + "\\Uninstall.EXE"), "/u:QP Run"])
            self.drive(prefix, [("wait", "Remove QP Run", 20000, "press", "Remove QP Run", "Yes")])
            # One question per font, in the order they were installed: Yes, then No.
            self.assertEqual(self.question(prefix, "Remove Font?"), "Do you want to remove the font QP Run Sans?")
            prefix.screenshot("uninstall-font-question")
            self.drive(prefix, [("press", "Remove Font?", "Yes"), ("sleep", 500)])
            self.assertEqual(self.question(prefix, "Remove Font?"), "Do you want to remove the font QP Run Serif?")
            self.drive(prefix, [("press", "Remove Font?", "No")])
            # Each shared file whose count reached nothing: Yes, then No.
            for name, answer in (("one.txt", "Yes"), ("two.txt", "No")):
                self.assertIn(SHARED + "\\" + name, self.question(prefix, "Remove Shared File?"))
                if answer == "Yes":
                    prefix.screenshot("uninstall-shared-question")
                self.drive(prefix, [("press", "Remove Shared File?", answer), ("sleep", 500)])
            self.assertEqual(self.question(prefix, "Uninstallation Complete"),
                             "QP Run has been removed from your computer.")
            self.drive(prefix, [("press", "Uninstallation Complete", "OK")])
            self.assertEqual(prefix.wait(process, timeout=120), FINISHED)
            settle(prefix)

            fonts = reg_values(prefix, FONTS_KEY)
            self.assertNotIn("QP Run Sans", fonts)
            self.assertFalse(os.path.exists(prefix.host_path("C:\\windows\\Fonts\\sans.ttf")))
            self.assertEqual(fonts.get("QP Run Serif"), ("REG_SZ", "serif.ttf"))
            self.assertTrue(os.path.isfile(prefix.host_path("C:\\windows\\Fonts\\serif.ttf")))
            self.assertFalse(os.path.exists(prefix.host_path(SHARED + "\\one.txt")))
            self.assertEqual(read(prefix, SHARED + "\\two.txt"), "two")
            counts = reg_values(prefix, SHARED_DLLS) or {}
            self.assertFalse([name for name in counts if name.lower().startswith(SHARED.lower())], counts)
            self.assertFalse(os.path.exists(prefix.host_path(INSTALL)))
            self.assertIsNone(reg_values(prefix, UNINSTALL_KEY))


if __name__ == "__main__":
    unittest.main()
