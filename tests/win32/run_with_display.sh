#!/bin/sh
# Runs a Windows test program that opens windows: on the X display there is,
# or on a virtual one (xvfb-run) when there is none. Afterwards it turns the
# screenshot the program saved (a BMP) into a PNG, when asked to:
#   run_with_display.sh [--png SHOT.bmp SHOT.png] -- COMMAND [ARGUMENTS...]
set -eu

bmp=""
png=""
if [ "${1:-}" = "--png" ]; then
  bmp=$2
  png=$3
  shift 3
fi
if [ "${1:-}" = "--" ]; then
  shift
fi

status=0
if [ -n "${DISPLAY:-}" ]; then
  "$@" || status=$?
else
  xvfb-run -a "$@" || status=$?
fi

if [ "$status" -eq 0 ] && [ -n "$bmp" ]; then
  if [ ! -s "$bmp" ]; then
    echo "no screenshot at $bmp" >&2
    exit 1
  fi
  rm -f "$png"
  convert "$bmp" "$png"
  echo "screenshot: $png"
fi
exit "$status"
