#!/usr/bin/env bash
# Runs one command in its own throwaway prefix made from the template.
# Usage: prefix.sh [--gui] [--timeout SECONDS] -- COMMAND...
#   --gui   the prefix gets one shared virtual desktop (1024x768) on $DISPLAY
#   "wine" as the command's first word is the loader of this run's architecture.
# Environment: QP_WINE_ARCH (32 or 64, else this machine's), QP_WINE_TEMPLATE
# (the template prefix, default build/wine/template32 or template64).
# Exit code: the command's; 124 when it timed out.
exec python3 "$(dirname "$0")/../../tests/harness/wine.py" "$@"
