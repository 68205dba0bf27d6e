#!/usr/bin/env bash
# Starts an Xvfb display for the GUI tests; prints "DISPLAY PID".
set -euo pipefail
for n in $(seq 90 130); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && { echo ":$n $pid"; exit 0; }
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
done
echo "xvfb.sh: no free display" >&2
exit 1
