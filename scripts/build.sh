#!/usr/bin/env bash
# Configures and builds every side:
#   build/host     tools and host tests, with AddressSanitizer and UBSan
#   build/win32    the shipped i686 stub quillpack.exe, Windows tests, driver
#   build/win64    the x86-64 stub quillpack64.exe, the same tests and driver
#   build/release  a Release qpack
#   build/dist     what a user ships: the Release qpack with both stubs beside it
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
cmake -S . -B build/host -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQP_SANITIZE=ON >/dev/null
cmake --build build/host -j"$jobs"
for target in win32:i686 win64:x86_64; do
  dir=build/${target%%:*}
  cmake --no-warn-unused-cli -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-${target#*:}.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$dir" -j"$jobs"
done
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$jobs" --target qpack
rm -rf build/dist
for dir in build/release build/win32 build/win64; do
  cmake --install "$dir" --prefix build/dist >/dev/null
done
echo "build/dist: $(cd build/dist && ls | tr '\n' ' ')"
for stub in quillpack.exe quillpack64.exe; do
  echo "stub size: $stub $(stat -c %s "build/dist/$stub") bytes"
done
