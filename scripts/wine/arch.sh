#!/usr/bin/env bash
# Says which Wine this machine runs the Windows tests on, as "ARCH REASON":
#   32  where 32-bit Linux programs run (wine32's loader is one), so the
#       shipped i686 build is tested as it is;
#   64  where the kernel cannot run them (IA32 emulation off: "Exec format
#       error"), so the x86-64 build runs under wine64.
# QP_WINE_ARCH=32|64 forces one. Sourced, it also defines qp_wine_env ARCH,
# which exports the loader, server and prefix kind of that architecture.
qp_wine_arch() {
  case ${QP_WINE_ARCH:-} in
    32|64) echo "$QP_WINE_ARCH forced by QP_WINE_ARCH"; return ;;
    "") ;;
    *) echo "QP_WINE_ARCH must be 32 or 64, not '$QP_WINE_ARCH'" >&2; return 2 ;;
  esac
  if [ -x /usr/lib/wine/wine ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "32 this machine runs 32-bit programs"
  else
    echo "64 this kernel cannot run 32-bit programs, so neither can wine32"
  fi
}

qp_wine_env() {
  if [ "$1" = 32 ]; then
    export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32
  else
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  qp_wine_arch
fi
