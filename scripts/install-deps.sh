#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building and testing Quillpack.
# Idempotent: a second run installs nothing and takes a second or two.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine64 wine32:i386
  xvfb x11-apps imagemagick fonts-dejavu-core
  googletest libgtest-dev
  clang libclang-rt-dev
  lz4 liblz4-dev gzip
  file xxd python3
  osslsigncode openssl
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  name=${p%%:*}; arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  if [ -n "$arch" ]; then q="$name:$arch"; else q="$name"; fi
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
