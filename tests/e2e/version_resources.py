"""Tiny resource-only DLLs with a version resource, made at test time with
the mingw toolchain of the Wine architecture under test: the installer
reads the version of a file in the target, qpack the one of the source."""

import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402

TOOL_PREFIX = "i686-w64-mingw32-" if wine.ARCH == "32" else "x86_64-w64-mingw32-"

# The U.S. English, Windows code page block: the one both sides read.
READ_BLOCK = "040904E4"
RESOURCE = """1 VERSIONINFO
FILEVERSION {numbers}
PRODUCTVERSION {numbers}
FILEOS 0x40004
FILETYPE 2
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "{block}"
    BEGIN
      VALUE "FileVersion", "{version}"
      VALUE "FileDescription", "{label}"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1252
  END
END
"""


def version_dll(folder, name, version, label, block=READ_BLOCK):
    """Builds folder/name carrying FileVersion `version` in the string block
    `block`; `label` tells two files of one version apart. Returns the
    file's bytes."""
    numbers = ",".join((re.findall(r"\d+", version) + ["0"] * 4)[:4])
    rc = os.path.join(folder, name + ".rc")
    res = os.path.join(folder, name + ".res")
    dll = os.path.join(folder, name)
    with open(rc, "w") as f:
        f.write(RESOURCE.format(numbers=numbers, version=version, label=label, block=block))
    subprocess.run([TOOL_PREFIX + "windres", rc, "-O", "coff", "-o", res], check=True)
    subprocess.run([TOOL_PREFIX + "gcc", "-shared", "-nostdlib", "-Wl,-e,0", "-o", dll, res], check=True)
    os.remove(rc)
    os.remove(res)
    with open(dll, "rb") as f:
        return f.read()
