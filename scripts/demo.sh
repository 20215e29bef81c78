#!/usr/bin/env bash
# The converter on the bundled sample pictures, from nothing (Debian 12, as
# root): installs what the native build needs, configures and builds the
# release preset's converter, writes the built-in samples (one in each of
# the twenty C64 layouts, and those of the other formats: character sets,
# CharPad, SpritePad and the rest), converts them all to PNG with the
# converter, and lays the PNGs out side by side on one contact sheet.
#   scripts/demo.sh [OUTPUT_DIR]      (default out/demo)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-out/demo}
build=build/release

echo "== installing what the build needs"
scripts/install-deps.sh

echo "== building the converter (release preset, $build)"
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target tarnel_cli tarnel_sheet

echo "== writing the sample pictures and converting them"
rm -rf "$out/samples" "$out/png" "$out/contact-sheet.png"
mkdir -p "$out"
"$build/tarnel" samples "$out/samples"
# Character screens draw with the made-up character ROM written beside them
# (tarnel ships no C64 ROM); a .scr's .col is read beside it, not converted.
mapfile -t pictures < <(find "$out/samples" -type f ! -name '*.col' ! -name '*.bin' | sort)
TARNEL_CHARGEN="$out/samples/petscii/made-up-chargen.bin" \
  "$build/tarnel" convert --out-dir "$out/png" "${pictures[@]}"
"$build/tarnel-sheet" --title "tarnel: C64 pictures, character sets and sprites, decoded by tarnel" \
  "$out/contact-sheet.png" "$out"/png/*.png

echo
echo "== one of them, as 'tarnel info' sees it"
"$build/tarnel" info "$out/samples/20-koala-painter.koa"

case $out in /*) where=$out ;; *) where=$root/$out ;; esac
echo
echo "The converter:      $root/$build/tarnel   (try: $build/tarnel --help)"
echo "Sample pictures:    $where/samples/"
echo "Converted PNGs:     $where/png/"
echo "Contact sheet:      $where/contact-sheet.png"
