#!/usr/bin/env bash
# Builds every fuzz target (fuzz/NAME_fuzz.cpp) with clang, libFuzzer, ASan
# and UBSan in build/fuzz, runs each for a bounded time from its seeds in
# fuzz/corpus/NAME/, then replays the inputs kept in tests/golden/NAME/ (if
# any) once each. A crash, sanitizer report or timeout counts as a failure.
#
# Usage: scripts/fuzz.sh [COUNT_FILE]
#   COUNT_FILE receives "PASSED FAILED" (one count per target run and per replay).
# Environment: QP_FUZZ_SECONDS (default 60) per target; QP_FUZZ_TARGETS, a
# space-separated list of NAMEs to run instead of all.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
count_file=${1:-}
seconds=${QP_FUZZ_SECONDS:-60}
build=build/fuzz
passed=0 failed=0

write_counts() {
  echo "fuzz: $passed passed, $failed failed"
  if [ -n "$count_file" ]; then echo "$passed $failed" >"$count_file"; fi
}

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
if ! CC=clang CXX=clang++ cmake -S . -B "$build" -DQP_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >"$build.configure.log" 2>&1 \
   || ! cmake --build "$build" -j2 --target fuzz_targets >"$build.build.log" 2>&1; then
  echo "fuzz: build failed (see $build.configure.log, $build.build.log)"
  tail -n 20 "$build.build.log" 2>/dev/null
  failed=1
  write_counts
  exit 1
fi

names=${QP_FUZZ_TARGETS:-$(for f in fuzz/*_fuzz.cpp; do basename "$f" _fuzz.cpp; done)}
for name in $names; do
  program=$build/fuzz/${name}_fuzz
  seeds=fuzz/corpus/$name
  work=$build/corpus/$name           # new inputs go here, never into the repository
  artifacts=$build/artifacts/$name
  mkdir -p "$work" "$artifacts"
  [ -d "$seeds" ] || seeds=""
  log=$build/$name.log
  if "$program" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=4096 \
       -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" $seeds >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "fuzz $name: passed ($(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$') runs in ${seconds} s)"
  else
    failed=$((failed + 1))
    echo "fuzz $name: FAILED (log $log, inputs in $artifacts/)"
    grep -E 'ERROR|runtime error|SUMMARY' "$log" | head -n 5
  fi

  golden=tests/golden/$name
  if [ -d "$golden" ] && [ -n "$(ls -A "$golden")" ]; then
    if "$program" "$golden"/* >"$build/$name.golden.log" 2>&1; then
      passed=$((passed + 1))
      echo "fuzz $name: replayed $(ls "$golden" | wc -l) inputs from $golden"
    else
      failed=$((failed + 1))
      echo "fuzz $name: FAILED replaying $golden (log $build/$name.golden.log)"
    fi
  fi
done

write_counts
[ "$failed" -eq 0 ]
