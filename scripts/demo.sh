#!/usr/bin/env bash
# The main job: builds the stubs and the builder (build/dist: a Release qpack
# with both stubs beside it), runs the bare stub under Wine on a virtual
# display, then builds the example project with qpack, prints what
# `qpack inspect` reads from it, and runs that installer. Uses the 32-bit
# stub where this machine runs 32-bit programs, else the 64-bit one under
# wine64 (QP_WINE_ARCH=32|64 forces one).
set -euo pipefail
trap 'code=$?; echo "demo: stopped with exit code $code at line $LINENO: $BASH_COMMAND" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh
read -r arch reason < <(bash scripts/wine/arch.sh)
echo "demo: Wine architecture $arch: $reason"
export QP_WINE_ARCH=$arch QP_ARTIFACTS=$root/build/artifacts
template=$root/build/wine/template$arch
# A template is complete once make-template.sh has written its marker.
[ -f "$template/.qp-arch" ] || bash scripts/wine/make-template.sh "$template" "$arch"
read -r display xvfb_pid < <(bash scripts/xvfb.sh)
export DISPLAY=$display
trap 'kill "$xvfb_pid" 2>/dev/null' EXIT
python3 examples/demo.py
