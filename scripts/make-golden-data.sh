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
git status --short -- "$dir"
