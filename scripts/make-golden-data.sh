#!/usr/bin/env bash
# Remakes the golden pictures in tests/data/pictures: writes the built-in
# sample pictures there, then, beside every picture in the folder (samples
# and any picture added by hand), its expected decoded output <stem>.bmp as
# the converter writes it (the 14-byte BMP file header followed by the
# module's 192,040-byte bitmap block unchanged).
#
# These files are what the module's output is checked against, natively,
# under Wine and by the Windows host test, so run this only when a change in
# the pictures is intended, and look at the differences before committing.
#
# It also writes tests/data/views: for one picture of each interlaced layout
# and one single-frame picture, <stem>.frame0.bmp and <stem>.frame1.bmp (each
# frame alone), <stem>.border.bmp (inside the border in the picture's
# background colour) and <stem>.border-N.bmp (border colour N), as
# `tarnel convert --format bmp` writes them with --frame and --border.
#   scripts/make-golden-data.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
dir=tests/data/pictures

cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target tarnel_cli -j"$(nproc)"

mkdir -p "$dir"
"$build/tarnel" samples "$dir"
mapfile -t pictures < <(find "$dir" -maxdepth 1 -type f ! -iname '*.bmp' | sort)
"$build/tarnel" convert --format bmp --out-dir "$dir" "${pictures[@]}"

# The other formats' samples (written into a folder of their own) go to
# tests/data/formats, each beside its picture.
formats=tests/data/formats
mkdir -p "$formats"
mv "$dir"/formats/* "$formats"/
rmdir "$dir/formats"
mapfile -t pictures < <(find "$formats" -maxdepth 1 -type f ! -iname '*.bmp' | sort)
"$build/tarnel" convert --format bmp --out-dir "$formats" "${pictures[@]}"

# Character screens go to tests/data/petscii with the made-up character ROM
# they are drawn with (a .scr's .col beside it); each beside its picture.
petscii=tests/data/petscii
mkdir -p "$petscii"
mv "$dir"/petscii/* "$petscii"/
rmdir "$dir/petscii"
mapfile -t pictures < <(find "$petscii" -maxdepth 1 -type f ! -iname '*.bmp' ! -iname '*.col' \
  ! -iname '*.bin' | sort)
TARNEL_CHARGEN="$petscii/made-up-chargen.bin" \
  "$build/tarnel" convert --format bmp --out-dir "$petscii" "${pictures[@]}"

views=tests/data/views
mkdir -p "$views"
# stem and the views made of it
view_table=(
  "01-funpaint-packed frame0 frame1 border"
  "02-funpaint frame0 frame1 border"
  "03-gunpaint frame0 frame1 border"
  "06-drazlace frame0 frame1 border"
  "07-drazlace-packed frame0 frame1 border border-14"
  "20-koala-painter frame0 frame1 border border-2"
  "03-gunpaint c64"
  "06-drazlace c64"
  "06-drazlace-shifted c64 c64-frame1"
  "08-fli c64"
  "13-fli-graph c64"
  "17-afli c64"
  "22-hires-manager stored c64"
)
for row in "${view_table[@]}"; do
  read -r stem names <<<"$row"
  # The golden folder's picture, or one kept beside the views.
  picture=$(find "$dir" "$views" -maxdepth 1 -name "$stem.*" ! -iname '*.bmp' | head -n 1)
  # A picture whose code prefix is not what its bytes say is opened as it.
  as=()
  code=$("$build/tarnel" info --json "$picture" | sed -n 's/.*"code": \([0-9]*\).*/\1/p')
  if [ "$((10#${stem%%-*}))" != "$code" ]; then as=(--as "$((10#${stem%%-*}))"); fi
  for name in $names; do
    case $name in
      frame0) options=(--frame 0) ;;
      frame1) options=(--frame 1) ;;
      border) options=(--border) ;;
      border-*) options=(--border-colour "${name#border-}") ;;
      stored) options=() ;;
      c64) options=(--view c64) ;;
      c64-frame*) options=(--view c64 --frame "${name#c64-frame}") ;;
    esac
    "$build/tarnel" convert --format bmp "${as[@]}" "${options[@]}" -o "$views/$stem.$name.bmp" "$picture" >/dev/null
  done
done
git status --short -- "$dir" "$formats" "$views"
