#!/usr/bin/env bash
# tarnel_wic.dll under Wine, as Windows meets it:
#  1. the numbers of keys under the registry keys registration writes in;
#  2. `regsvr32` of the DLL;
#  3. the codec's test program (wic/tests/wic_test.cpp): the registry entries
#     key by key, then decoding through WIC's factory without naming the codec;
#  4. `regsvr32 /u`, then the test that nothing of the codec is left, and the
#     numbers of keys compared with those of step 1.
# Tests are judged by GoogleTest's summary, since Wine can report exit code 0
# for a program that crashed.
#
#   scripts/test_wic.sh BUILD [--quick] [--dll DLL] [--hostile DIR]
#
# BUILD is build/win64 (x64, run by wine64) or build/win32 (x86, run by
# Wine's 32-bit side). --quick: one golden picture, for emulated x86 where
# every program start takes about a minute, and no key counts. --dll: test
# this DLL (e.g. one unpacked from the zip) instead of BUILD's. --hostile:
# also decode the hostile-file corpus in DIR (written by tarnel_make_corpus).
# WINEPREFIX names the prefix (default build/wine-wic); it is made when
# missing, which takes minutes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
shift
quick=""
dll=$build/wic/tarnel_wic.dll
hostile=""
while (($# > 0)); do
  case "$1" in
    --quick) quick=1 ;;
    --dll)
      dll=$(readlink -f "$2")
      shift
      ;;
    --hostile)
      hostile=$(readlink -f "$2")
      shift
      ;;
    *)
      echo "test_wic.sh: unknown option $1" >&2
      exit 2
      ;;
  esac
  shift
done
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

program=$build/wic/tarnel_wic_test.exe
[[ -f $dll ]] || fail "no $dll"
[[ -f $program ]] || fail "no $program"
# The program's machine type, from its PE header: 8664 for x64, 014c for x86.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' '
}
[[ $(pe_machine "$dll") == "$(pe_machine "$program")" ]] || fail "$dll and $program differ in kind"
if [[ $(pe_machine "$program") == 8664 ]]; then
  arch=x64
  wine=(/usr/lib/wine/wine64)
else
  arch=x86
  wine=(wine)
fi
export WINEPREFIX=${WINEPREFIX:-$root/build/wine-wic}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "-- making the Wine prefix $WINEPREFIX (takes a few minutes)"
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || fail "wineboot"
  wineserver -w
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows() { echo "Z:$1"; }

export TARNEL_WIC_PICTURES=$(windows "$root/tests/data/pictures")
export TARNEL_WIC_FORMATS="$(windows "$root/tests/data/formats");$(windows "$root/tests/data/petscii")"
# The character screens' golden pictures are drawn with this made-up set,
# which the codec finds through the library.
export TARNEL_CHARGEN=$(windows "$root/tests/data/petscii/made-up-chargen.bin")
export TARNEL_WIC_WORK=$(windows "$work")
export TARNEL_WIC_DLL=$(windows "$dll")
export TARNEL_WIC_HOSTILE=""
[[ -n $hostile ]] && TARNEL_WIC_HOSTILE=$(windows "$hostile")

# Runs the test program with a GoogleTest filter; passes on its summary only.
run_tests() {
  local filter=$1
  local output
  output=$("${wine[@]}" "$program" --gtest_filter="$filter" 2>&1) || true
  echo "$output" | grep -E '^\[ +(OK|FAILED|PASSED) +\]|hostile corpus:|Failure|error:|Expected|Which is|Value of|  Actual|pixels|SCOPED|Trace|\.(cpp|h)' || true
  echo "$output" | grep -q '^\[  PASSED  \]' && ! echo "$output" | grep -q '^\[  FAILED  \]' ||
    { echo "$output" | tail -n 40; fail "$arch: tests $filter"; }
}

counts() {
  local output
  output=$("${wine[@]}" "$program" counts 2>&1) || { echo "$output" | tail -n 5; fail "$arch: $program did not run"; }
  echo "$output" | tr -d '\r' | grep -E '^HK(LM|CU)\\' || fail "$arch: $program printed no key counts"
}

echo "-- $arch codec: $dll"
wineserver -k 2>/dev/null || true
[[ -z $quick ]] && counts >"$work/before.txt"
"${wine[@]}" regsvr32 /s "$(windows "$dll")" || fail "$arch: regsvr32 $dll"
echo "registered with regsvr32"
if [[ -n $quick ]]; then
  export TARNEL_WIC_ONLY=20-koala-painter
  run_tests 'Registry.EntriesAreTheDocumentedOnes:Wic.EveryGoldenPictureFoundFromAStream'
else
  filter='Registry.EntriesAreTheDocumentedOnes:Wic.*'
  [[ -z $hostile ]] && filter="$filter-Wic.HostileCorpus*"
  run_tests "$filter"
fi
"${wine[@]}" regsvr32 /u /s "$(windows "$dll")" || fail "$arch: regsvr32 /u $dll"
echo "unregistered with regsvr32 /u"
run_tests 'Registry.NothingLeftAfterUnregistering'
if [[ -z $quick ]]; then
  counts >"$work/after.txt"
  [[ -s $work/before.txt ]] || fail "no key counts"
  diff "$work/before.txt" "$work/after.txt" || fail "$arch: the registry's key counts changed"
  echo "key counts as before registering:"
  sed 's/^/  /' "$work/before.txt"
fi
wineserver -w
echo "wic $arch: all checks passed"
