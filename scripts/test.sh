#!/usr/bin/env bash
# Runs every test: host tests (ASan/UBSan), Windows tests under Wine (each
# case in its own prefix), end-to-end tests of real installers under Wine,
# and the fuzz targets for a bounded time. Ends with "N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }

results=build/test-results
rm -rf "$results"; mkdir -p "$results"
export QP_WINE_TEMPLATE=$root/build/wine/template QP_ARTIFACTS=$root/build/artifacts
bash scripts/wine/make-template.sh "$QP_WINE_TEMPLATE"

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

echo "== windows tests under Wine"
# Wine takes its time zone from TZ; one that is not UTC (and not a whole
# hour off it) lets the local-time conversions show that they convert.
TZ=Asia/Kolkata python3 tests/harness/run_win_tests.py build/win32/tests/win_tests.exe "$results/win.count" || status=1

echo "== end-to-end tests under Wine"
python3 tests/harness/run_e2e.py "$results/e2e.count" || status=1

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
