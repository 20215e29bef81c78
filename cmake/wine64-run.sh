#!/bin/sh
# Runs a 64-bit Windows program under wine64, quietly, and passes its exit
# code on. Debian installs the 64-bit loader beside the 32-bit one; `wine`
# would pick the 32-bit one first.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec /usr/lib/wine/wine64 "$@"
