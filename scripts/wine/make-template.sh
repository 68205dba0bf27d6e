#!/usr/bin/env bash
# Makes the template prefix that every Windows test copies.
# Usage: make-template.sh DIR [32|64]    (DIR is replaced; the architecture
# defaults to the one scripts/wine/arch.sh picks for this machine)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=arch.sh
source "$here/arch.sh"
dir=$(realpath -m "$1")
arch=${2:-$(qp_wine_arch | cut -d' ' -f1)}
qp_wine_env "$arch"
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
export WINEPREFIX=$dir WINEDEBUG=-all
# No display while the prefix is made: nothing may open a window.
if ! env -u DISPLAY "$WINELOADER" wineboot -i >"$dir.log" 2>&1; then
  echo "make-template: wineboot failed for a $WINEARCH prefix in $dir:" >&2
  tail -n 5 "$dir.log" >&2
  exit 1
fi
"$WINESERVER" -w
rm -f "$dir.log"

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
echo "$arch" >"$dir/.qp-arch"
echo "template prefix ready ($WINEARCH): $dir" >&2
