#!/usr/bin/env bash
# Runs the benchmarks on the shared corpus: compressed sizes against
# `lz4 -12` and `gzip -9`, compression speed of our levels against LZ4 HC 12,
# ExpandBlock's speed against memcpy and LZ4_decompress_safe (host), and
# ExpandBlock against memcpy in the Windows build that this machine's Wine
# runs (the 32-bit one where 32-bit programs run, else the 64-bit one).
# Then bench/codec.sh: the range image (Codec = small) against xz -9 and the
# peer installers.
# Not part of the test command: a full run takes several minutes.
#
# Usage: bash bench/run.sh [OUTDIR]        (default build/bench)
# Environment: QP_BENCH_LEVELS (default "1 2 3 6 9"; level 9 alone takes minutes),
#   QP_BENCH_CORPUS_SCRIPT (default ../shared/bench/make_corpus.sh from the
#   project root), QP_WINE_ARCH (32 or 64; default: what this machine runs).
# Everything it builds and writes stays under OUTDIR; the results are also
# saved as OUTDIR/results.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$(realpath -m "${1:-build/bench}")
levels=${QP_BENCH_LEVELS:-1 2 3 6 9}
# shellcheck source=corpus.sh
source bench/corpus.sh
read -r arch reason < <(bash scripts/wine/arch.sh)
if [ "$arch" = 32 ]; then win=win32 toolchain=mingw-i686 label="32-bit (i686)"
else win=win64 toolchain=mingw-x86_64 label="64-bit (x86-64)"; fi
mkdir -p "$out"
tar=$out/corpus.tar
image=$out/corpus.qpz
results=$out/results.txt

make_corpus_once "$out" "$tar"

echo "building (host Release, $label MinSizeRel as the program: $reason)" >&2
cmake -S . -B "$out/host" -DCMAKE_BUILD_TYPE=Release >"$out/host.configure.log"
cmake --build "$out/host" -j2 --target compare expand_speed >"$out/host.build.log"
cmake -S . -B "$out/$win" -DCMAKE_TOOLCHAIN_FILE=cmake/$toolchain.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
  >"$out/$win.configure.log"
cmake --build "$out/$win" -j2 --target expand_speed >"$out/$win.build.log"

# The command-line tools on the same bytes: size, and CPU seconds (user + sys).
cpu_seconds() {  # runs "$@" >/dev/null, prints its CPU time
  local t
  t=$( { TIMEFORMAT="%U %S"; time "$@" >/dev/null 2>&1; } 2>&1 )
  awk '{printf "%.2f", $1 + $2}' <<<"$t"
}
lz4_size=$(lz4 -12 -c "$tar" | wc -c)
gzip_size=$(gzip -9 -c "$tar" | wc -c)
lz4_cpu=$(cpu_seconds lz4 -q -12 -c "$tar")
gzip_cpu=$(cpu_seconds gzip -9 -c "$tar")

{
  echo "== $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "command-line tools: lz4 -12 $lz4_size bytes in $lz4_cpu s CPU; gzip -9 $gzip_size bytes in $gzip_cpu s CPU"
  echo
  # shellcheck disable=SC2086  # the levels are separate arguments
  "$out/host/bench/compare" "$tar" "$image" "$lz4_size" "$gzip_size" $levels
  echo
  "$out/host/bench/expand_speed" "$image" "$tar"
  echo
  template=$out/wine/template$arch
  if [ ! -f "$template/.qp-arch" ]; then
    bash scripts/wine/make-template.sh "$template" "$arch" >&2
  fi
  winpath() { local p=${1//\//\\}; echo "Z:$p"; }
  echo "Windows build under Wine: $label"
  QP_WINE_ARCH=$arch QP_WINE_TEMPLATE=$template \
    bash scripts/wine/prefix.sh --timeout 900 -- \
    wine "$out/$win/bench/expand_speed.exe" "$(winpath "$image")" "$(winpath "$tar")"
} | tee "$results"

echo
bash bench/codec.sh "$out"
