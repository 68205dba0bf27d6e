#!/usr/bin/env bash
# The main job: builds the stub and the builder, runs the bare stub under
# Wine on a virtual display, then builds the example project with qpack,
# prints what `qpack inspect` reads from it, and runs that installer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh
export QP_WINE_TEMPLATE=$root/build/wine/template QP_ARTIFACTS=$root/build/artifacts
[ -d "$QP_WINE_TEMPLATE" ] || bash scripts/wine/make-template.sh "$QP_WINE_TEMPLATE"
read -r display xvfb_pid < <(bash scripts/xvfb.sh)
export DISPLAY=$display
trap 'kill "$xvfb_pid" 2>/dev/null' EXIT
python3 examples/demo.py
