#!/usr/bin/env bash
# The converter under valgrind's memcheck, over the sample pictures (every
# one must convert) and, when the corpus writer is given, the hostile-file
# corpus and the other formats' hostile files (exactly the files expected to
# open must convert, the rest must be refused cleanly). Any memory error or
# leak fails.
#
#   scripts/valgrind_converter.sh RELEASE_BUILD_DIR [TARNEL_MAKE_CORPUS]
set -euo pipefail
if (($# < 1)); then
  echo "usage: $0 RELEASE_BUILD_DIR [TARNEL_MAKE_CORPUS]" >&2
  exit 2
fi
build=$1
corpus_tool=${2:-}
converter=$build/tarnel
work=$build/valgrind-work
memcheck=(valgrind --quiet --error-exitcode=99 --leak-check=full
          --errors-for-leak-kinds=definite,indirect,possible)

rm -rf "$work"
mkdir -p "$work"
"$converter" samples "$work/samples" >/dev/null
# Character screens draw with the made-up character ROM written beside them;
# a .scr's .col is read beside it, not converted.
export TARNEL_CHARGEN=$work/samples/petscii/made-up-chargen.bin
mapfile -t pictures < <(find "$work/samples" -type f ! -name '*.col' ! -name '*.bin' | sort)
samples=${#pictures[@]}
if ! "${memcheck[@]}" "$converter" convert "${pictures[@]}" --out-dir "$work/samples-png" \
    >"$work/samples.log" 2>&1; then
  echo "valgrind: the sample pictures did not all convert cleanly"
  cat "$work/samples.log"
  exit 1
fi
echo "valgrind: $samples sample pictures converted, no memory error, no leak"

if [[ -z "$corpus_tool" ]]; then
  exit 0
fi
"$corpus_tool" "$work/corpus" >/dev/null
hostile=$work/corpus/hostile
mv "$hostile/EXPECTED.txt" "$work/EXPECTED.txt"
status=0
"${memcheck[@]}" "$converter" convert "$hostile" --out-dir "$work/hostile-png" \
  >"$work/hostile.log" 2>&1 || status=$?
# 1 means some files were refused, as most hostile files must be; 99 is valgrind's.
if ((status != 0 && status != 1)); then
  echo "valgrind: errors over the hostile-file corpus (exit $status)"
  grep -v ': not a C64 picture' "$work/hostile.log" | head -n 60
  exit 1
fi
expected=$(awk '$2 == 0 { print $1 }' "$work/EXPECTED.txt" | sort)
converted=$(find "$work/hostile-png" -type f -name '*.png' -printf '%f\n' 2>/dev/null | sed 's/\.png$//' | sort)
if [[ "$expected" != "$converted" ]]; then
  echo "valgrind: the converted hostile files are not those expected to open"
  diff <(echo "$expected") <(echo "$converted") || true
  exit 1
fi
echo "valgrind: $(find "$hostile" -type f | wc -l) hostile files, $(echo "$expected" | wc -l) converted as expected, no memory error, no leak"

# The other formats' hostile files, by their names: those expected to open
# must convert, the rest be refused cleanly.
formats=$work/corpus/hostile-formats
mv "$formats/EXPECTED.txt" "$work/EXPECTED-formats.txt"
status=0
"${memcheck[@]}" "$converter" convert "$formats" --out-dir "$work/formats-png" \
  >"$work/formats.log" 2>&1 || status=$?
if ((status != 0 && status != 1)); then
  echo "valgrind: errors over the other formats' hostile files (exit $status)"
  head -n 60 "$work/formats.log"
  exit 1
fi
expected=$(awk '$2 == 0 { print $1 }' "$work/EXPECTED-formats.txt" | sed 's/\.[^.]*$//' | sort)
converted=$(find "$work/formats-png" -type f -name '*.png' -printf '%f\n' 2>/dev/null | sed 's/\.png$//' | sort)
if [[ "$expected" != "$converted" ]]; then
  echo "valgrind: the other formats' hostile files converted are not those expected to open"
  diff <(echo "$expected") <(echo "$converted") || true
  exit 1
fi
echo "valgrind: $(find "$formats" -type f | wc -l) hostile files of the other formats, $(echo "$expected" | wc -l) converted as expected, no memory error, no leak"
