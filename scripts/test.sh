#!/usr/bin/env bash
# Runs every test: host tests (ASan/UBSan), Windows tests under Wine (each
# case in its own prefix), end-to-end tests of real installers under Wine,
# and the fuzz targets for a bounded time. Ends with "N passed, N failed".
#
# Which Wine: where this machine runs 32-bit programs, the Windows tests run
# on both builds (i686 under wine32, x86-64 under wine64), the end-to-end
# tests on the 32-bit stub and the archive ones on the 64-bit stub as well;
# where it cannot, everything runs on the x86-64 build under wine64. The
# planted-DLL tests run on the 64-bit stub everywhere (their 32-bit run is
# not verified yet and skips itself).
# QP_WINE_ARCH=32|64 forces one architecture for both suites.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }

results=build/test-results
rm -rf "$results"; mkdir -p "$results"
export QP_ARTIFACTS=$root/build/artifacts
unset QP_WINE_TEMPLATE  # each architecture has its own, below

read -r arch reason < <(bash scripts/wine/arch.sh) || { echo "0 passed, 1 failed"; exit 1; }
if [ "$arch" = 32 ] && [ -z "${QP_WINE_ARCH:-}" ]; then
  archs=(32 64)
else
  archs=("$arch")
fi
describe() {  # the build and Wine of an architecture
  if [ "$1" = 32 ]; then echo "i686 build under wine32"; else echo "x86-64 build under wine64"; fi
}
# Case prefixes that an interrupted run left mounted would pin the old templates.
findmnt -rn -o TARGET | grep "^$root/build/wine/cases/" | xargs -r -n1 umount -l || true
rm -rf build/wine/cases
for a in "${archs[@]}"; do
  bash scripts/wine/make-template.sh "build/wine/template$a" "$a" || { echo "0 passed, 1 failed"; exit 1; }
done

read -r display xvfb_pid < <(bash scripts/xvfb.sh)
export DISPLAY=$display
trap 'kill "$xvfb_pid" 2>/dev/null' EXIT

status=0
echo "== host tests"
(cd build/host && ctest --output-on-failure -j"$(nproc)" >"$root/$results/host.log" 2>&1)
[ $? -eq 0 ] || status=1
tail -n 3 "$results/host.log"
host_total=$(grep -oE 'tests passed, [0-9]+ tests failed out of [0-9]+' "$results/host.log" | grep -oE '[0-9]+$' || echo 0)
host_failed=$(grep -oE '[0-9]+ tests failed out of' "$results/host.log" | grep -oE '^[0-9]+' || echo 0)
grep -E '\(Failed\)|\*\*\*' "$results/host.log" || true
echo "$((host_total - host_failed)) $host_failed" >"$results/host.count"

if [ ${#archs[@]} = 2 ]; then
  line="$(describe 32) and $(describe 64) ($reason)"
else
  line="$(describe "$arch") ($reason)"
fi
echo "== windows tests under Wine: $line"
# Wine takes its time zone from TZ; one that is not UTC (and not a whole
# hour off it) lets the local-time conversions show that they convert.
for a in "${archs[@]}"; do
  TZ=Asia/Kolkata QP_WINE_ARCH=$a python3 tests/harness/run_win_tests.py "build/win$a/tests/win_tests.exe" \
    "$results/win$a.count" || status=1
done

if [ ${#archs[@]} = 2 ]; then
  line="$(describe 32), and the archive and planted-DLL tests on the $(describe 64) as well ($reason)"
fi
echo "== end-to-end tests under Wine: $line"
QP_WINE_ARCH=${archs[0]} python3 tests/harness/run_e2e.py "$results/e2e${archs[0]}.count" || status=1
if [ ${#archs[@]} = 2 ]; then
  QP_WINE_ARCH=64 python3 tests/harness/run_e2e.py "$results/e2e64.count" "test_archive_*.py" || status=1
  QP_WINE_ARCH=64 python3 tests/harness/run_e2e.py "$results/e2e64-planted.count" "test_planted_dlls.py" || status=1
fi

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzz targets"
  bash scripts/fuzz.sh "$results/fuzz.count" || status=1
fi

passed=0 failed=0
for f in "$results"/*.count; do
  read -r p q <"$f"
  passed=$((passed + p)); failed=$((failed + q))
done
[ "$failed" -eq 0 ] || status=1
echo "$passed passed, $failed failed"
exit $status
