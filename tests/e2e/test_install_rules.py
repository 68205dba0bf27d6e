"""Placement rules against files already in the target, and what the
uninstall record leaves out for a product removed as a whole folder: one
installer per rule set run in automatic mode, the prefix's files, the log's
lines and Uninstall.DAT checked from outside."""

import os
import shutil
import sys
import tempfile
import unittest
from collections import namedtuple

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from test_install_run import (FINISHED, INSTALL, SHARED, SHELL_FOLDERS, UNINSTALL, UNINSTALL_KEY,  # noqa: E402
                              Installer, local_time, log_sections, project, read, record_entries, reg_values)
from version_resources import version_dll  # noqa: E402

SYSTEM = "C:\\windows\\system32"
RECORD_TIME = (2024, 4, 30, 9, 15, 0)
OLDER, LATER = (2020, 1, 1, 0, 0, 0), (2025, 1, 1, 0, 0, 0)
SECOND_BEFORE = (2024, 4, 30, 9, 14, 59)

REPLACED = " is out of date and will be replaced."
VERSION_NOT_NEWER = " was not installed because its version is not newer."
DATE_NOT_NEWER = " was not installed because its date is not newer."
UP_TO_DATE = " is up to date."

TIMED = " | time=2024-04-30 09:15:00"

# there: what is in the target before the run, a version (in the block
# named after " in ", else the one the installer reads), "data" (no
# version resource) or None; record: the archive's file, a version or
# "data"; kept: which of the two must be there afterwards; line: the log's
# line for it.
Rule = namedtuple("Rule", "file kind there there_time record options kept line")
RULES = [Rule(*row) for row in [
    ("qpv-newer.dll", "system", "1.0.0.0", OLDER, "2.0.0.0", TIMED, "record", REPLACED),
    ("qpv-same.dll", "system", "2.0.0.0", OLDER, "2.0.0.0", TIMED, "existing", VERSION_NOT_NEWER),
    ("qpv-older.dll", "system", "3.0.0.0", OLDER, "2.0.0.0", TIMED, "existing", VERSION_NOT_NEWER),
    # Compared digit by digit, 9 would pass 10: the versions are padded.
    ("qpv-tenth.dll", "system", "10.0.0.0", OLDER, "9.0.0.0", TIMED, "existing", VERSION_NOT_NEWER),
    # A newer version alone is not enough: the date must be newer too.
    ("qpv-samedate.dll", "system", "1.0.0.0", RECORD_TIME, "2.0.0.0", TIMED, "existing", DATE_NOT_NEWER),
    ("qpv-later.dll", "system", "1.0.0.0", LATER, "2.0.0.0", TIMED, "existing", DATE_NOT_NEWER),
    # No version in the target: only the date decides.
    ("qpv-plain.dll", "system", "data", OLDER, "2.0.0.0", TIMED, "record", REPLACED),
    ("qpv-plainlate.dll", "system", "data", LATER, "2.0.0.0", TIMED, "existing", DATE_NOT_NEWER),
    # Versions are compared in upper case: "beta" comes before "GOLD".
    ("qpv-label.dll", "system", "2.0 beta", OLDER, "2.0 gold", TIMED, "record", REPLACED),
    # Version texts in another language block are no version: the date decides.
    ("qpv-unicode.dll", "system", "9.0.0.0 in 040904B0", OLDER, "2.0.0.0", TIMED, "record", REPLACED),
    # No version in the record: a higher version in the target does not count.
    ("qpv-unversioned.dll", "system", "3.0.0.0", OLDER, "2.0.0.0", TIMED + " | version=none", "record", REPLACED),
    # A record without a time is never newer than what is there.
    ("qpv-notime.dll", "system", "1.0.0.0", OLDER, "2.0.0.0", " | time=none", "existing", DATE_NOT_NEWER),
    ("qpv-fresh.dll", "system", None, None, "2.0.0.0", TIMED, "record", None),
    # Shared files: by date alone, an equal time is up to date.
    ("qpv-shared-same.dat", "shared", "data", RECORD_TIME, "data", TIMED, "existing", UP_TO_DATE),
    ("qpv-shared-older.dat", "shared", "data", SECOND_BEFORE, "data", TIMED, "record", REPLACED),
    # Fonts too; one that is up to date is not added to Windows again.
    ("qpv-font.ttf", "font", "data", RECORD_TIME, "data", TIMED + " | font-name=QP Rules Font", "existing", UP_TO_DATE),
]]
FOLDERS = {"system": SYSTEM, "shared": SHARED, "font": "C:\\windows\\Fonts"}


class VersionAndDateRules(unittest.TestCase):
    def test_existing_files_are_kept_or_replaced_by_version_then_date(self):
        work = tempfile.mkdtemp(prefix="qp-versions.")
        self.addCleanup(shutil.rmtree, work, True)

        def fixture(name, version, label):
            if version == "data":
                return f"{label} data of {name}".encode()
            version, _, block = version.partition(" in ")
            return version_dll(work, name, version, label, *([block] if block else []))

        records = {rule.file: fixture(rule.file, rule.record, "record") for rule in RULES}
        existing = {rule.file: fixture(rule.file, rule.there, "existing") for rule in RULES if rule.there}
        # No always-write-log: the decisions alone must make the log.
        body = "[Files]\n" + "".join(f"{rule.file} | kind={rule.kind}{rule.options}\n" for rule in RULES)
        setup = Installer(self, project(body, flags=("register-product",)), records)

        with wine.Prefix(name="rules-version") as prefix:
            for rule in RULES:
                if rule.there is None:
                    continue
                path = prefix.host_path(FOLDERS[rule.kind] + "\\" + rule.file)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    f.write(existing[rule.file])
                os.utime(path, (local_time(rule.there_time),) * 2)
            result = setup.install(prefix)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)

            section = log_sections(prefix)[0]
            decisions = [line for line in section if line.startswith("C:\\")]
            expected_lines = []
            for rule in RULES:
                target = FOLDERS[rule.kind] + "\\" + rule.file
                with self.subTest(file=rule.file):
                    there_now = read(prefix, target, "rb")
                    found = {records[rule.file]: "record", existing.get(rule.file): "existing"}.get(there_now, "other")
                    self.assertEqual(found, rule.kept)
                    if rule.line:
                        self.assertIn(target + rule.line, decisions)
                if rule.line:
                    expected_lines.append(target + rule.line)
            # One line per decision, in record order, and none for the rest.
            self.assertEqual(decisions, expected_lines)
            self.assertNotIn("ProductFonts", reg_values(prefix, UNINSTALL_KEY))


class RemoveWholeDirectory(unittest.TestCase):
    """Flag 0x400: the uninstaller deletes the whole folder, so the record
    holds no installation-folder file or folder; what lies outside it (the
    shortcuts) and a file kept by its mode are still listed."""

    def test_record_lists_no_installation_folder_entries(self):
        body = ("[Files]\napp.txt | shortcuts=desktop | shortcut-name=App\n"
                "guide.txt | target=Docs\\Deep\\guide.txt\nkeep.txt | mode=if-missing\ncommon.txt | kind=shared\n")
        files = {"app.txt": "the app", "guide.txt": "the guide", "keep.txt": "new keep", "common.txt": "shared"}
        setup = Installer(self, project(body, flags=("register-product", "remove-whole-directory")), files)
        with wine.Prefix(name="rules-whole") as prefix:
            os.makedirs(prefix.host_path(INSTALL))
            with open(prefix.host_path(INSTALL + "\\keep.txt"), "w") as f:
                f.write("old keep")
            result = setup.install(prefix)
            self.assertEqual(result.returncode, FINISHED, result.stdout + result.stderr)
            self.assertEqual(read(prefix, INSTALL + "\\Docs\\Deep\\guide.txt"), "the guide")
            self.assertEqual(read(prefix, INSTALL + "\\keep.txt"), "old keep")

            desktop = reg_values(prefix, SHELL_FOLDERS)["Desktop"][1]
            entries, _ = record_entries(prefix)
            self.assertEqual(entries, [INSTALL + "\\keep.txt", desktop + "\\App.LNK",
                                       UNINSTALL + "\\Uninstall QP Run.LNK"])
            # The uninstaller learns of the whole-folder removal from the flags.
            flags = int(reg_values(prefix, UNINSTALL_KEY)["ProductFlags"][1], 16)
            self.assertEqual(flags & 0x404, 0x404)


if __name__ == "__main__":
    unittest.main()
