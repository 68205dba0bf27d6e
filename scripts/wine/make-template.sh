#!/usr/bin/env bash
# Makes the 32-bit template prefix that every Windows test copies.
# Usage: make-template.sh DIR    (DIR is replaced)
set -euo pipefail
dir=$(realpath -m "$1")
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
export WINEPREFIX=$dir WINEARCH=win32 WINEDEBUG=-all
# No display while the prefix is made: nothing may open a window.
env -u DISPLAY wineboot -i >/dev/null 2>&1
wineserver -w

# A fresh prefix links the user's folders into the real home and lets
# winemenubuilder write desktop files there: cut both off.
for link in "$dir"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm "$link"; mkdir -p "$link"; fi
done
# Registry settings of every test prefix: no menu builder, no crash dialog
# that would block a run.
cat >>"$dir/user.reg" <<'REG'

[Software\\Wine\\DllOverrides] 1700000000
"winemenubuilder.exe"=""

[Software\\Wine\\WineDbg] 1700000000
"ShowCrashDialog"=dword:00000000
REG
echo "template prefix ready: $dir" >&2
