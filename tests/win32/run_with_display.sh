#!/bin/sh
# Runs a Windows test program that opens windows: on the X display there is,
# or on a virtual one (xvfb-run) when there is none. Afterwards it turns the
# screenshot the program saved (a BMP) into a PNG, when asked to:
#   run_with_display.sh [--wineprefix DIR] [--png SHOT.bmp SHOT.png] -- COMMAND [ARGUMENTS...]
# With a virtual display of its own, the program runs in the Wine prefix DIR
# (made on first use): Wine processes of one prefix share one desktop, and one
# started elsewhere without a display would leave that desktop without one.
set -eu

prefix=""
bmp=""
png=""
if [ "${1:-}" = "--wineprefix" ]; then
  prefix=$2
  shift 2
fi
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
  if [ -n "$prefix" ]; then
    mkdir -p "$prefix"
    export WINEPREFIX="$prefix"
  fi
  xvfb-run -a "$@" || status=$?
fi

# The test is judged by GoogleTest's summary lines, so a failure here prints
# one of its own.
if [ "$status" -eq 0 ] && [ -n "$bmp" ]; then
  rm -f "$png"
  if [ ! -s "$bmp" ]; then
    echo "[  FAILED  ] no screenshot at $bmp"
    exit 1
  fi
  if ! convert "$bmp" "$png"; then
    echo "[  FAILED  ] cannot turn $bmp into $png"
    exit 1
  fi
  echo "screenshot: $png"
fi
exit "$status"
