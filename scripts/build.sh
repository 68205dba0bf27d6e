#!/usr/bin/env bash
# Configures and builds both sides: the host build (tools and host tests,
# with AddressSanitizer and UndefinedBehaviorSanitizer) and the Windows build
# (the stub, the Windows tests and the test driver).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
cmake -S . -B build/host -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQP_SANITIZE=ON >/dev/null
cmake --build build/host -j"$jobs"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win32 -j"$jobs"
