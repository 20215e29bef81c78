#!/usr/bin/env bash
# The ImageMagick coder module and the Qt 5 image plugin through their real
# hosts. Installs the build into a temporary prefix under BUILD_DIR and
# changes nothing outside it: the hosts are pointed at the prefix through
# their environment variables.
#
#   scripts/test_imagemagick.sh BUILD_DIR CORPUS_DIR
#     BUILD_DIR   a native build with TARNEL_BUILD_IMAGEMAGICK and TARNEL_BUILD_QT5 on
#     CORPUS_DIR  the hostile-file corpus as tarnel_make_corpus writes it
#
# 1. cmake --install puts the module into ImageMagick's coder folder and the
#    plugin into Qt 5's plugin folder, relative to the prefix: the folders are
#    worked out here again from the hosts themselves (`convert -list
#    configure`, Qt 5's qmake).
# 2. `convert` turns every golden picture (tests/data/pictures and
#    tests/data/formats, tests/data/petscii) into PNG, by its extension and by the prefix c64:,
#    with the golden pixels at its own size; from names with blanks; a
#    file found by its name also under another name with its format's
#    prefix (lp3:logo.bin). `identify` tells the format, the size and the
#    layout; writing is refused.
# 3. Python's Wand (Debian's, for Debian's python3) reads every golden
#    picture, from its file and from memory.
# 4. The hostile corpus: `convert` on every file gives a picture or an
#    error, never a crash; a MagickCore program reads the corpus and the
#    golden pictures from memory under valgrind's memcheck, holding each
#    picture and refusal to the library's.
# 5. Qt 5: QImageReader through the installed plugin (the Qt host test built
#    for Qt 5), under memcheck.
# 6. ImageMagick's viewer, `display`, under Xvfb shows a sample picture; the
#    screenshot is kept in BUILD_DIR/artifacts/display-koala.png and must
#    hold the golden picture pixel for pixel.
set -euo pipefail
if (($# != 2)); then
  echo "usage: $0 BUILD_DIR CORPUS_DIR" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
hostile=$(cd "$2" && pwd)/hostile
pictures=$root/tests/data/pictures
formats=$root/tests/data/formats
petscii=$root/tests/data/petscii
# The character screens' golden pictures are drawn with this made-up set,
# which the module finds through the library.
export TARNEL_CHARGEN=$petscii/made-up-chargen.bin
work=$build/imagemagick-test
artifacts=$build/artifacts
prefix=$work/prefix
memcheck=(valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite)

fail() {
  echo "test_imagemagick: $*" >&2
  exit 1
}

for program in imagemagick/tarnel_magick_host_test tarnel_qt5_host_test; do
  [[ -x $build/desktop/$program ]] || fail "$build/desktop/$program is missing: configure with" \
    "-DTARNEL_BUILD_DESKTOP=ON -DTARNEL_BUILD_IMAGEMAGICK=ON -DTARNEL_BUILD_QT5=ON and build"
done
[[ -d $hostile ]] || fail "no hostile corpus in $hostile"

rm -rf "$work"
mkdir -p "$work"

# --- 1. Installation
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
magick_prefix=$(pkg-config --variable=prefix MagickCore-6.Q16)
host_coders=$(convert -list configure | sed -n 's/^CODER_PATH *//p')
[[ -f $host_coders/magick.la ]] || fail "ImageMagick's coder folder $host_coders has no magick.la"
coders=$prefix${host_coders#"$magick_prefix"}
qmake5=$(pkg-config --variable=host_bins Qt5Core)/qmake
qt5_prefix=$("$qmake5" -query QT_INSTALL_PREFIX)
qt5_host_plugins=$("$qmake5" -query QT_INSTALL_PLUGINS)
qt5_plugins=$prefix${qt5_host_plugins#"$qt5_prefix"}
mime_xml=$prefix/share/mime/packages/tarnel.xml
for installed in "$coders/c64.so" "$coders/c64.la" "$qt5_plugins/imageformats/libqtarnel.so" \
  "$mime_xml" "$prefix/bin/tarnel"; do
  [[ -f $installed ]] || fail "not installed: $installed"
done
grep -qx "libdir='$coders'" "$coders/c64.la" || fail "c64.la does not name $coders"
echo "installed into $prefix"

# ImageMagick takes one list of coder folders: ours, then its own.
export MAGICK_CODER_MODULE_PATH=$coders:$host_coders
# The MIME types Qt lists: those with a glob, and the common one ("c64").
mapfile -t mime_types < <(awk -F'"' '/<mime-type type=/ { type = $2 }
  type && (type == "image/x-c64-picture" || /<glob pattern=/) { print type; type = "" }' "$mime_xml")
((${#mime_types[@]} > 0)) || fail "no MIME types in $mime_xml"
# Every extension of the MIME types has a module, but those ImageMagick has
# a coder of its own for.
own_coder=()
for extension in $(grep -o '<glob pattern="\*\.[a-z0-9]*"' "$mime_xml" | cut -d. -f2 | tr -d '"'); do
  if [[ -f $host_coders/$extension.la ]]; then
    own_coder+=(".$extension")
    [[ ! -f $coders/$extension.la ]] || fail "$extension.la would hide ImageMagick's own coder"
  else
    [[ -f $coders/$extension.la ]] || fail "no module for .$extension installed"
  fi
done

# --- 2. convert and identify, from names with blanks
spaced="$work/golden pictures"
mkdir -p "$spaced" "$work/png"
converted=0
renamed=0
for picture in "$pictures"/* "$formats"/* "$petscii"/*; do
  bmp=${picture%.*}.bmp
  # A .scr's .col is part of its picture; the character set has none.
  [[ $picture == *.bmp || $picture == *.col || ! -f $bmp ]] && continue
  name=$(basename "$picture")
  extension=${name##*.}
  copy="$spaced/${name//-/ }"
  cp "$picture" "$copy"
  # A .scr reads its colours from the .col beside it (through c64:, which
  # hands the module the path; ImageMagick keeps .scr for its own coder).
  [[ ! -f ${picture%.*}.col ]] || cp "${picture%.*}.col" "${copy%.*}.col"
  layout=$("$prefix/bin/tarnel" info --json "$picture" | sed -n 's/.*"name": "\([^"]*\)".*/\1/p')
  [[ -n $layout ]] || fail "$name: the converter does not know its layout"
  size=$(identify -format '%wx%h' "$bmp")
  # By the prefix, and by the extension where it is ours; but ImageMagick
  # tries the first bytes against its own magic before the extension, and
  # takes a CharPad file ("CTM") for a Scitex one ("CT"): such files need
  # their format's prefix.
  ways=("c64:$copy|C64")
  if [[ -f $coders/$extension.la && $extension == ctm ]]; then
    ways+=("$extension:$copy|${extension^^}")
  elif [[ -f $coders/$extension.la ]]; then
    ways+=("$copy|${extension^^}")
  fi
  # A file the library finds only by its name, under another name: the
  # prefix of its extension's format names it.
  if [[ -f $coders/$extension.la ]] &&
    ! "$prefix/bin/tarnel" info --json - <"$picture" >/dev/null 2>&1; then
    cp "$picture" "$spaced/${name%.*} renamed.bin"
    ways+=("$extension:$spaced/${name%.*} renamed.bin|${extension^^}")
    renamed=$((renamed + 1))
  fi
  for way in "${ways[@]}"; do
    source=${way%|*}
    format=${way##*|}
    out="$work/png/$name $format.png"
    convert "$source" "$out" || fail "convert $source failed"
    differ=$(compare -metric AE "$out" "$bmp" null: 2>&1) || true
    [[ $differ == 0 ]] || fail "convert $source: $differ pixels differ from $(basename "$bmp")"
    got=$(identify -format '%m %wx%h %[c64:layout]' "$source")
    [[ $got == "$format $size $layout" ]] ||
      fail "identify $source: \"$got\", not \"$format $size $layout\""
    converted=$((converted + 1))
  done
done
((converted >= 90 && renamed >= 4)) || fail "only $converted conversions made, $renamed renamed"
echo "convert and identify: $converted conversions with the golden pixels," \
  "$renamed of them under another name with the format's prefix" \
  "(ImageMagick keeps its own coder for ${own_coder[*]:-(none)})"

# Reading only: writing is refused with ImageMagick's usual error.
if convert "$pictures/20-koala-painter.koa" "c64:$work/written" 2>"$work/write.log"; then
  fail "convert wrote a C64 picture"
fi
grep -q 'no encode delegate for this image format `C64' "$work/write.log" ||
  fail "writing was not refused as expected: $(cat "$work/write.log")"
[[ ! -e $work/written ]] || fail "a refused write left a file"
echo "writing refused: $(head -n 1 "$work/write.log")"

# --- 3. Wand
/usr/bin/python3 - "$coders" "$pictures" "$formats" "$petscii" <<'EOF' || fail "Wand failed"
import pathlib
import sys

from wand.image import Image


def rgb(image):
    return (image.width, image.height, bytes(image.export_pixels(channel_map="RGB", storage="char")))


coders = pathlib.Path(sys.argv[1])
failures = 0
count = 0
pictures = [p for folder in sys.argv[2:] for p in sorted(pathlib.Path(folder).iterdir())]
for picture in pictures:
    bmp = picture.with_suffix(".bmp")
    # A .scr's .col is part of its picture.
    if picture.suffix in (".bmp", ".col") or not bmp.exists():
        continue
    with Image(filename=str(bmp)) as golden:
        expected = rgb(golden)
    readings = [("c64:" + str(picture), {"filename": "c64:" + str(picture)})]
    # From memory, with no name: under the format of its extension, where
    # that is one (which tells a file found by its name), else as c64.
    extension = picture.suffix[1:]
    if (coders / (extension + ".la")).exists():
        readings.append(("memory", {"blob": picture.read_bytes(), "format": extension}))
    elif picture.parent.name == "pictures":
        readings.append(("memory", {"blob": picture.read_bytes(), "format": "c64"}))
    for way, arguments in readings:
        with Image(**arguments) as image:
            if rgb(image) != expected:
                print(f"{picture.name} ({way}): other pixels than the .bmp")
                failures += 1
        count += 1
print(f"Wand: {count} readings of golden pictures, {failures} failed")
sys.exit(failures > 0 or count < 95)
EOF

# --- 4. The hostile corpus
opened=0
refused=0
for file in "$hostile"/*; do
  [[ $(basename "$file") == EXPECTED.txt ]] && continue
  status=0
  convert "c64:$file" "$work/hostile.png" 2>"$work/hostile.log" || status=$?
  case $status in
    0) opened=$((opened + 1)) ;;
    1)
      grep -qF "\`$file' @ error/c64_coder.cpp/" "$work/hostile.log" ||
        fail "$(basename "$file"): refused without the coder's error: $(cat "$work/hostile.log")"
      refused=$((refused + 1))
      ;;
    *) fail "convert c64:$file ended with status $status: $(cat "$work/hostile.log")" ;;
  esac
done
((opened > 0 && refused > 0)) || fail "hostile corpus: $opened opened, $refused refused"
echo "convert over the hostile corpus: $opened opened, $refused refused, no crash"
"${memcheck[@]}" "$build/desktop/imagemagick/tarnel_magick_host_test" "$pictures" \
  "$formats:$petscii" ||
  fail "MagickCore host test failed"

# --- 5. Qt 5
QT_PLUGIN_PATH=$qt5_plugins \
  "${memcheck[@]}" "$build/desktop/tarnel_qt5_host_test" "$pictures" "$formats:$petscii" \
    "${mime_types[@]}" ||
  fail "Qt 5 host test failed"
# --- 6. A picture someone looked at: ImageMagick's own viewer, `display`,
# under Xvfb (no window manager: the window sits where it is asked, its
# picture inside a 2-pixel border). The screenshot is kept.
sample=$pictures/20-koala-painter.koa
shot=$artifacts/display-koala.png
mkdir -p "$artifacts"
rm -f "$shot"
# shellcheck disable=SC2016 # expanded by the inner shell
xvfb-run -a -s '-screen 0 800x600x24' bash -c '
  display -geometry +40+40 "$1" & viewer=$!
  for _ in $(seq 40); do
    sleep 0.5
    import -window root "$2" && convert "$2" -crop 320x200+42+42 +repage "$3" &&
      [[ $(compare -metric AE "$3" "${1%.*}.bmp" null: 2>&1) == 0 ]] && break
  done
  kill $viewer' _ "$sample" "$shot" "$work/display-crop.png"
differ=$(compare -metric AE "$work/display-crop.png" "${sample%.*}.bmp" null: 2>&1) || true
[[ $differ == 0 ]] || fail "display did not show $(basename "$sample") ($differ pixels differ; screenshot: $shot)"
echo "display showed $(basename "$sample"), pixel for pixel; screenshot: $shot"
echo "test_imagemagick: all passed"
