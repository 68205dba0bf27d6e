"""Planted DLLs: an installer run from a folder that anybody could drop files
into must load no DLL from there. A canary DLL, built here with the mingw
toolchain of the Wine architecture under test, writes a marker file when it
is loaded; copies of it under the names that the program or the system DLLs
it uses may load by name, none of them a library Windows always takes from
its system folder, lie beside Setup.exe and beside the installed
Uninstall.EXE. An automatic installation, an interactive one with every
dialog shown (themes on) and an automatic uninstallation then run, and no
canary may have run. A small program that loads the same names the way a
careless program would shows first that each canary does run when loaded.

Wine loads its own builtin DLLs first unless told otherwise; Windows looks
in the program's folder first for every DLL that is not one of its
KnownDLLs. WINEDLLOVERRIDES "NAME=n,b" makes Wine search like Windows for
these names. (comctl32 is among them: the program loads it by name, and
its manifest's side-by-side version 6 must be the one found, under Wine as
on Windows.)

Wine differs from Windows in two more ways, both seen with small probe
programs under Wine 8, and the canary records enough to tell them apart
from the program's own loads (whether the load came with the program's
start, and which module asked for it, from the stack):
- Wine's user32 imports VERSION.DLL (Windows' does not), so every program
  that imports user32 loads a planted version.dll while it starts, before
  any code of its own runs. That load is no fault of the program's as long
  as the program does not import VERSION.DLL itself, which its import table
  tells.
- Wine resolves delay imports of its own DLLs through LdrLoadDll without a
  search path, which ignores SetDefaultDllDirectories (LoadLibrary honours
  it): Wine's uxtheme delay-imports msimg32 and, drawing themed dialogs,
  loads a planted msimg32.dll (whose missing drawing functions then leave
  the box's OK button unpainted in the saved screenshot). Windows resolves
  delay imports with the default directories the program set.
Any other load of a canary counts."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from test_install_run import (CHOOSE_DIR, FINISHED, INSTALL, QUESTION, UNINSTALL, UNINSTALL_KEY,  # noqa: E402
                              Installer, local_time, project, read, reg_values)
from test_install_languages import LANGUAGE  # noqa: E402
from test_uninstall_run import settle  # noqa: E402
from version_resources import TOOL_PREFIX, version_dll  # noqa: E402

# Not KnownDLLs on Windows, and loaded by name by the program or by the
# system DLLs it uses (windows, common controls, themes, shell, COM, the
# registry and profile functions, scripts).
NAMES = ("version", "comctl32", "uxtheme", "dwmapi", "cryptbase", "winmm", "msimg32", "userenv", "propsys",
         "profapi", "sspicli")
MARKERS = "C:\\canary"
DOWNLOADS = "C:\\Downloads"
SYSTEM = "C:\\windows\\system32"

# DllMain leaves a marker named after the DLL, holding the program that
# loaded it and whether the load came with the program's start (the system
# passes a non-null reserved value then) or later. The version functions are
# there so that a program importing VERSION.DLL can start, and run, with the
# canary in its place.
CANARY = r"""
#include <windows.h>

static const char* baseName(char* path) {
    char* name = path + lstrlenA(path);
    while (name > path && name[-1] != '\\') --name;
    return name;
}

/* The first module on the stack that is not the loader's (ntdll, kernel32,
   kernelbase) nor the canary: the one that asked for the load. */
static void requester(HINSTANCE self, char* name) {
    void* frames[48];
    USHORT n = RtlCaptureStackBackTrace(0, 48, frames, NULL);
    lstrcpyA(name, "-");
    for (USHORT i = 0; i < n; ++i) {
        HMODULE module = NULL;
        char path[MAX_PATH];
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                (LPCSTR)frames[i], &module) || module == self ||
            !GetModuleFileNameA(module, path, MAX_PATH))
            continue;
        const char* base = baseName(path);
        if (lstrcmpiA(base, "ntdll.dll") && lstrcmpiA(base, "kernel32.dll") && lstrcmpiA(base, "kernelbase.dll")) {
            lstrcpyA(name, base);
            return;
        }
    }
}

static void leaveMarker(HINSTANCE self, BOOL atStart) {
    char dll[MAX_PATH], program[MAX_PATH], marker[2 * MAX_PATH], asker[MAX_PATH], tail[MAX_PATH + 8];
    GetModuleFileNameA(self, dll, MAX_PATH);
    DWORD m = GetModuleFileNameA(NULL, program, MAX_PATH);
    requester(self, asker);
    wsprintfA(tail, "|%s|%s", atStart ? "start" : "later", asker);
    CreateDirectoryA("C:\\canary", NULL);
    wsprintfA(marker, "C:\\canary\\%s.txt", baseName(dll));
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, program, m, &written, NULL);
        WriteFile(file, tail, lstrlenA(tail), &written, NULL);
        CloseHandle(file);
    }
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) leaveMarker(self, reserved != NULL);
    return TRUE;
}

#define NO_VERSION(suffix, Text)                                                                       \
    __declspec(dllexport) DWORD WINAPI GetFileVersionInfoSize##suffix(Text path, LPDWORD handle) {        \
        (void)path;                                                                                       \
        if (handle) *handle = 0;                                                                          \
        return 0;                                                                                         \
    }                                                                                                     \
    __declspec(dllexport) BOOL WINAPI GetFileVersionInfo##suffix(Text path, DWORD h, DWORD n, LPVOID d) { \
        (void)path; (void)h; (void)n; (void)d;                                                            \
        return FALSE;                                                                                     \
    }                                                                                                     \
    __declspec(dllexport) BOOL WINAPI VerQueryValue##suffix(LPCVOID b, Text name, LPVOID* v, PUINT n) {   \
        (void)b; (void)name; (void)v; (void)n;                                                            \
        return FALSE;                                                                                     \
    }
NO_VERSION(A, LPCSTR)
NO_VERSION(W, LPCWSTR)
"""

# What a careless program does: loads each name given without a path.
LOADER = r"""
#include <windows.h>

int main(int argc, char** argv) {
    int failed = 0;
    for (int i = 1; i < argc; ++i)
        if (!LoadLibraryA(argv[i])) ++failed;
    return failed;
}
"""

# The installation: two languages (so that the interactive run shows the
# language dialog too), a script (the command interpreter runs), shortcuts
# (shell and COM), a registered product with its uninstaller, and a system
# file whose version is read from the file already there (VERSION.DLL).
# That file is newer by version and older by date: kept only when its
# version was read, which the canary's version functions never do.
BODY = """[Languages]
English = builtin
Deutsch = deutsch.msg
[Texts]
Licence = licence.txt
Readme = readme.txt
[Files]
app.txt | shortcuts=desktop,program-group | shortcut-name=App
qpcanary.dll | kind=system | time=2024-04-30 09:15:00
[Script PostInstall]
echo script ran>script.txt
"""
FLAGS = ("register-product", "choose-directory", "always-write-log")


def build(test, source, output, *options):
    folder = tempfile.mkdtemp(prefix="qp-canary.")
    test.addCleanup(shutil.rmtree, folder, True)
    c_file = os.path.join(folder, "source.c")
    with open(c_file, "w") as f:
        f.write(source)
    built = subprocess.run([TOOL_PREFIX + "gcc", "-O1", "-Wall", "-o", output, c_file] + list(options),
                           capture_output=True, text=True)
    test.assertEqual(built.returncode, 0, built.stderr)


# The 32-bit run has not been seen yet: it was written on a machine that
# runs no 32-bit programs, and i686 code often keeps no frame pointers, which
# the canary's stack walk (which module asked for the load) depends on.
@unittest.skipUnless(wine.ARCH == "64", "the 32-bit run is not verified yet; scripts/test.sh runs this on wine64")
class PlantedLibraries(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="qp-planted.")
        self.addCleanup(shutil.rmtree, self.work, True)
        self.canary = os.path.join(self.work, "canary.dll")
        build(self, CANARY, self.canary, "-shared", "-Wl,--kill-at")
        self.loader = os.path.join(self.work, "loader.exe")
        build(self, LOADER, self.loader)
        files = {"app.txt": "app", "licence.txt": "the licence", "readme.txt": "the readme",
                 "deutsch.msg": "0 = <product> Installation\n",
                 "qpcanary.dll": version_dll(self.work, "qpcanary.dll", "2.0.0.0", "record")}
        self.setup = Installer(self, project(BODY, flags=FLAGS), files).setup

    def prefix(self, gui=False):
        prefix = wine.Prefix(gui=gui, name="planted")
        self.addCleanup(prefix.close)
        # Native first for the canaries' names, as Windows searches.
        prefix.env["WINEDLLOVERRIDES"] = ",".join(NAMES) + "=n,b"
        # The file already in the system folder: version 3, dated before the record.
        existing = prefix.host_path(SYSTEM + "\\qpcanary.dll")
        with open(existing, "wb") as f:
            f.write(version_dll(self.work, "existing.dll", "3.0.0.0", "existing"))
        os.utime(existing, (local_time((2020, 1, 1, 0, 0, 0)),) * 2)
        return prefix

    def plant(self, prefix, folder):
        host = prefix.host_path(folder)
        os.makedirs(host, exist_ok=True)
        for name in NAMES:
            shutil.copy(self.canary, os.path.join(host, name + ".dll"))
        return host

    def markers(self, prefix):
        """{marker name: "program|start" or "program|later"}, and the markers removed."""
        host = prefix.host_path(MARKERS)
        if not os.path.isdir(host):
            return {}
        found = {}
        for name in os.listdir(host):
            with open(os.path.join(host, name), errors="replace") as f:
                found[name] = f.read()
        shutil.rmtree(host)
        return found

    def canaries_that_ran(self, prefix):
        """The markers the program is to blame for: all but Wine's own loads
        described above."""
        imports = subprocess.run([TOOL_PREFIX + "objdump", "-p", wine.STUB], capture_output=True, text=True,
                                 check=True).stdout.lower()
        imports_version = "dll name: version.dll" in imports

        def wine_own(name, when, asker):
            # At the start only the loader runs: what the stack shows then says nothing.
            return ((name, when) == ("version.dll.txt", "start") and not imports_version or
                    (name, when, asker) == ("msimg32.dll.txt", "later", "uxtheme.dll"))
        return {name: text for name, text in self.markers(prefix).items()
                if not wine_own(name, *text.lower().split("|")[1:])}

    def assert_canaries_work(self, prefix, folder):
        """The control: loaded by name from the folder, every canary runs."""
        shutil.copy(self.loader, prefix.host_path(folder))
        result = prefix.run([prefix.host_path(folder + "\\loader.exe")] + [name + ".dll" for name in NAMES])
        self.assertEqual(result.returncode, 0, result.stderr[-2000:])
        markers = self.markers(prefix)
        self.assertEqual(sorted(markers), sorted(name + ".dll.txt" for name in NAMES))
        # Loaded after the start, by the program itself: told apart from Wine's own loads.
        self.assertEqual({text.lower().split("|", 1)[1] for text in markers.values()}, {"later|loader.exe"}, markers)
        os.remove(prefix.host_path(folder + "\\loader.exe"))

    def assert_installed(self, prefix, directory):
        self.assertEqual(read(prefix, directory + "\\app.txt"), "app")
        self.assertEqual(read(prefix, directory + "\\script.txt").strip(), "script ran")
        with open(prefix.host_path(SYSTEM + "\\qpcanary.dll"), "rb") as f:
            self.assertTrue("existing".encode("utf-16-le") in f.read(), "the newer version is kept")
        self.assertEqual(reg_values(prefix, UNINSTALL_KEY)["InstallLocation"][1], directory)

    def test_automatic_install_then_uninstall_load_nothing_planted(self):
        prefix = self.prefix()
        downloads = self.plant(prefix, DOWNLOADS)
        self.assert_canaries_work(prefix, DOWNLOADS)
        shutil.copy(self.setup, downloads)
        # Started in its own folder, as from a download page: the current
        # folder holds the canaries too.
        result = prefix.run([os.path.join(downloads, "Setup.exe"), "/a"], cwd=downloads, timeout=180)
        self.assertEqual(result.returncode, FINISHED, result.stderr[-2000:])
        self.assertEqual(self.canaries_that_ran(prefix), {}, "canaries that ran during the installation")
        self.assert_installed(prefix, INSTALL)

        uninstall = self.plant(prefix, UNINSTALL)
        self.assert_canaries_work(prefix, UNINSTALL)
        result = prefix.run([os.path.join(uninstall, "Uninstall.EXE"), "/u:QP Run", "/a"], cwd=uninstall, timeout=180)
        settle(prefix)
        self.assertEqual(result.returncode, FINISHED, result.stderr[-2000:])
        self.assertFalse(os.path.exists(prefix.host_path(INSTALL + "\\app.txt")))
        self.assertIsNone(reg_values(prefix, UNINSTALL_KEY))
        self.assertEqual(self.canaries_that_ran(prefix), {}, "canaries that ran during the uninstallation")

    def test_interactive_install_loads_nothing_planted(self):
        prefix = self.prefix(gui=True)
        downloads = self.plant(prefix, DOWNLOADS)
        self.assert_canaries_work(prefix, DOWNLOADS)
        shutil.copy(self.setup, downloads)
        typed = "C:\\QP Typed"
        process = prefix.start([os.path.join(downloads, "Setup.exe")], cwd=downloads)
        steps = [
            ("wait", LANGUAGE, 20000, "select", LANGUAGE, 1017, 0, "press", LANGUAGE, "#1001"),
            ("wait", QUESTION, 20000, "press", QUESTION, "Yes"),
            ("wait", "Licence Agreement", 20000, "press", "Licence Agreement", "#1001"),
            ("wait", "Read Me", 20000, "press", "Read Me", "#1001"),
            ("wait", CHOOSE_DIR, 20000, "settext", CHOOSE_DIR, 1015, typed, "press", CHOOSE_DIR, "#1001",
             "sleep", 500),
            ("press", CHOOSE_DIR, "Yes"),
            ("wait", "Installation Complete", 30000, "sleep", 500),
        ]
        for step in steps:
            code, _, err = prefix.driver(*step)
            self.assertEqual(code, 0, f"{step}: {err}")
        prefix.screenshot("planted-dlls-installation-complete")
        code, _, err = prefix.driver("press", "Installation Complete", "OK")
        self.assertEqual(code, 0, err)
        self.assertEqual(prefix.wait(process), FINISHED)
        self.assertEqual(self.canaries_that_ran(prefix), {}, "canaries that ran during the installation")
        self.assert_installed(prefix, typed)


if __name__ == "__main__":
    unittest.main()
