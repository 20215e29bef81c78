#!/bin/sh
# Runs a Windows test program under Wine, quietly, and passes its exit code on.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
