#!/usr/bin/env bash
# Runs one command in its own throwaway copy of the template prefix.
# Usage: prefix.sh [--gui] [--keep DIR] [--timeout SECONDS] -- COMMAND...
#   --gui      the prefix gets one shared virtual desktop (1024x768) on $DISPLAY
#   --keep DIR use DIR as the prefix and leave it for inspection
# Environment: QP_WINE_TEMPLATE (the template prefix), QP_WINE_CASES (where copies go).
# Exit code: the command's; 124 when it timed out.
set -uo pipefail
gui=0 keep="" limit=300
while [ $# -gt 0 ]; do
  case $1 in
    --gui) gui=1; shift ;;
    --keep) keep=$2; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "prefix.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
template=$(realpath -m "${QP_WINE_TEMPLATE:?QP_WINE_TEMPLATE must name the template prefix}")
cases=${QP_WINE_CASES:-$(dirname "$template")/cases}
mkdir -p "$cases"
if [ -n "$keep" ]; then prefix=$keep; rm -rf "$prefix"; else prefix=$(mktemp -d "$cases/case.XXXXXX"); rmdir "$prefix"; fi
cp -a "$template" "$prefix"
if [ $gui = 1 ]; then
  cat >>"$prefix/user.reg" <<'REG'

[Software\\Wine\\Explorer] 1700000000
"Desktop"="Default"

[Software\\Wine\\Explorer\\Desktops] 1700000000
"Default"="1024x768"
REG
else
  unset DISPLAY
fi
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEARCH=win32
timeout --kill-after=10 "$limit" "$@" </dev/null
status=$?
# End this prefix's server (and every process of it) before the copy goes.
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
[ -z "$keep" ] && rm -rf "$prefix"
exit $status
