#!/usr/bin/env bash
# The desktop plug-ins through their real hosts. Installs the build into a
# temporary prefix under BUILD_DIR and changes nothing outside it: the hosts
# are pointed at the prefix through their environment variables.
#
#   scripts/test_desktop.sh BUILD_DIR      (a native build with TARNEL_BUILD_DESKTOP=ON)
#
# 1. cmake --install puts each piece where its host looks, relative to the
#    prefix: the folders are worked out here again from the hosts' own
#    settings (pkg-config for gdk-pixbuf, qtpaths6 for Qt).
# 2. gdk-pixbuf: a loaders cache made by gdk-pixbuf-query-loaders from the
#    installed modules alone, GDK_PIXBUF_MODULE_FILE at it, the MIME database
#    of the prefix in XDG_DATA_DIRS; the golden pictures (tests/data/pictures
#    tests/data/formats and tests/data/petscii) and the hostile corpus, under valgrind's
#    memcheck.
# 3. Qt: QT_PLUGIN_PATH at the installed plugins; the same, under memcheck.
# 4. The thumbnailer entry: its command, run as a file manager runs it, makes
#    a PNG of the asked size for every sample picture, of either folder.
# 5. Eye of GNOME under Xvfb opens a Koala picture, a .64c character set
#    and a .pdr PETSCII screen (both found by their name) through the
#    installed loaders; the screenshots are kept in BUILD_DIR/artifacts/
#    (eog-koala.png, eog-charset.png, eog-petscii.png) and must show the
#    golden pictures pixel for pixel.
set -euo pipefail
if (($# != 1)); then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
pictures=$root/tests/data/pictures
formats=$root/tests/data/formats
petscii=$root/tests/data/petscii
# The character screens' golden pictures are drawn with this made-up set;
# every plug-in finds it through the library, as it finds a user's.
export TARNEL_CHARGEN=$petscii/made-up-chargen.bin
work=$build/desktop-test
prefix=$work/prefix
artifacts=$build/artifacts
memcheck=(valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite)

fail() {
  echo "test_desktop: $*" >&2
  exit 1
}

for program in tarnel_pixbuf_host_test tarnel_qt_host_test tarnel_find_picture; do
  [[ -x $build/desktop/$program ]] ||
    fail "$build/desktop/$program is missing: configure with -DTARNEL_BUILD_DESKTOP=ON and build"
done

rm -rf "$work"
mkdir -p "$work" "$artifacts"

# --- 1. Installation
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
pixbuf_prefix=$(pkg-config --variable=prefix gdk-pixbuf-2.0)
pixbuf_moduledir=$(pkg-config --variable=gdk_pixbuf_moduledir gdk-pixbuf-2.0)
query_loaders=$(pkg-config --variable=gdk_pixbuf_query_loaders gdk-pixbuf-2.0)
qt_prefix=$(qtpaths6 --query QT_INSTALL_PREFIX)
qt_plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
loader_dir=$prefix${pixbuf_moduledir#"$pixbuf_prefix"}
loader=$loader_dir/libpixbufloader-tarnel.so
qt_plugin_dir=$prefix${qt_plugins#"$qt_prefix"}
mime_xml=$prefix/share/mime/packages/tarnel.xml
thumbnailer=$prefix/share/thumbnailers/tarnel.thumbnailer
for installed in "$loader" "$qt_plugin_dir/imageformats/libqtarnel.so" "$mime_xml" \
  "$thumbnailer" "$prefix/bin/tarnel"; do
  [[ -f $installed ]] || fail "not installed: $installed"
done
# The main loader module and one for each type whose files are told by
# their name.
loaders=("$loader_dir"/libpixbufloader-tarnel*.so)
((${#loaders[@]} > 1)) || fail "no loader modules of their own types installed in $loader_dir"
echo "installed into $prefix"

# The MIME database of the prefix, and the types the plug-ins must register.
update-mime-database "$prefix/share/mime" 2>/dev/null
mapfile -t mime_types < <(grep -o '<mime-type type="[^"]*"' "$mime_xml" | cut -d'"' -f2)
((${#mime_types[@]} > 0)) || fail "no MIME types in $mime_xml"
# Qt lists a MIME type for each of its format names, the extensions: the
# types with a glob (and the common one, as "c64").
mapfile -t globbed_types < <(awk -F'"' '/<mime-type type=/ { type = $2 }
  type && (type == "image/x-c64-picture" || /<glob pattern=/) { print type; type = "" }' "$mime_xml")
data_dirs=$prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}

# --- 2. gdk-pixbuf
"$query_loaders" "${loaders[@]}" >"$work/loaders.cache"
grep -q '"c64"' "$work/loaders.cache" || fail "gdk-pixbuf-query-loaders did not take the module"
GDK_PIXBUF_MODULE_FILE=$work/loaders.cache XDG_DATA_DIRS=$data_dirs \
  "${memcheck[@]}" "$build/desktop/tarnel_pixbuf_host_test" "$pictures" "$formats:$petscii" "$work" \
  "${mime_types[@]}" || fail "gdk-pixbuf host test failed"

# --- 3. Qt
QT_PLUGIN_PATH=$qt_plugin_dir \
  "${memcheck[@]}" "$build/desktop/tarnel_qt_host_test" "$pictures" "$formats:$petscii" \
  "${globbed_types[@]}" || fail "Qt host test failed"

# --- 4. The thumbnailer entry
grep -qx 'TryExec=tarnel' "$thumbnailer" || fail "no TryExec=tarnel in $thumbnailer"
listed=$(sed -n 's/^MimeType=//p' "$thumbnailer")
[[ $listed == "$(printf '%s;' "${mime_types[@]}")" ]] ||
  fail "the thumbnailer's MIME types are not those of tarnel.xml: $listed"
# As a file manager runs it: the Exec line split into words, then %s, %i
# and %o replaced in each (so paths may hold blanks), the program found on
# PATH.
read -r -a exec_words <<<"$(sed -n 's/^Exec=//p' "$thumbnailer")"
mkdir -p "$work/thumbnails"
thumbnails=0
# thumbnail PICTURE SIZE OUT
thumbnail() {
  local word words=()
  for word in "${exec_words[@]}"; do
    word=${word//%s/$2}
    word=${word//%i/$1}
    words+=("${word//%o/$3}")
  done
  PATH=$prefix/bin:$PATH "${words[@]}" || fail "thumbnailer failed: ${words[*]}"
}
for picture in "$pictures"/*; do
  [[ $picture == *.bmp ]] && continue
  name=$(basename "$picture")
  for size in 128 256 512; do
    out=$work/thumbnails/$name-$size.png
    thumbnail "$picture" "$size" "$out"
    got=$(identify -format '%m %wx%h' "$out")
    [[ $got == "PNG ${size}x$((size * 5 / 8))" ]] ||
      fail "$name at $size: the thumbnail is $got, not PNG ${size}x$((size * 5 / 8))"
    thumbnails=$((thumbnails + 1))
  done
  # The scaling itself: at the picture's own size it is the picture, at half
  # size the mean of each 2 x 2 block (ImageMagick's -scale; rounding may
  # differ by one).
  "$prefix/bin/tarnel" convert "$picture" -o "$work/thumbnails/$name.png" >/dev/null
  "$prefix/bin/tarnel" thumbnail -s 320 "$picture" "$work/thumbnails/$name-320.png"
  "$prefix/bin/tarnel" thumbnail -s 160 "$picture" "$work/thumbnails/$name-160.png"
  convert "$work/thumbnails/$name.png" -scale 160x100 "$work/thumbnails/$name-scaled.png"
  same=$(compare -metric AE "$work/thumbnails/$name.png" "$work/thumbnails/$name-320.png" null: 2>&1) || true
  [[ $same == 0 ]] || fail "$name: the 320-pixel thumbnail differs from the picture in $same pixels"
  near=$(compare -metric AE -fuzz 1% "$work/thumbnails/$name-scaled.png" \
    "$work/thumbnails/$name-160.png" null: 2>&1) || true
  [[ $near == 0 ]] || fail "$name: the half-size thumbnail is not the 2 x 2 block means ($near pixels)"
done
# The other formats, each picture at its own size: the longer side the
# asked size, the shorter in proportion (rounded); at the picture's own
# longer side, the picture itself, pixel for pixel.
for picture in "$formats"/* "$petscii"/*; do
  bmp=${picture%.*}.bmp
  # A .scr's .col is part of its picture; the character set has none.
  [[ $picture == *.bmp || $picture == *.col || ! -f $bmp ]] && continue
  name=$(basename "$picture")
  read -r width height <<<"$(identify -format '%w %h' "$bmp")"
  longer=$((width > height ? width : height))
  for size in 128 256 "$longer"; do
    out=$work/thumbnails/$name-$size.png
    thumbnail "$picture" "$size" "$out"
    if ((width >= height)); then
      want="${size}x$(((height * size + longer / 2) / longer))"
    else
      want="$(((width * size + longer / 2) / longer))x$size"
    fi
    got=$(identify -format '%m %wx%h' "$out")
    [[ $got == "PNG $want" ]] || fail "$name at $size: the thumbnail is $got, not PNG $want"
    thumbnails=$((thumbnails + 1))
  done
  same=$(compare -metric AE "$work/thumbnails/$name-$longer.png" "$bmp" null: 2>&1) || true
  [[ $same == 0 ]] || fail "$name: the thumbnail at its own size differs from the .bmp in $same pixels"
done
((thumbnails >= 120)) || fail "only $thumbnails thumbnails made"
echo "thumbnailer: $thumbnails thumbnails of the asked sizes; scaling checked at 320 and 160," \
  "the other formats at their own size"

# --- 5. Eye of GNOME
# Every system loader and ours, so that eog also finds its own icons.
"$query_loaders" "$pixbuf_moduledir"/*.so "${loaders[@]}" >"$work/all-loaders.cache" 2>/dev/null
session=$work/eog-session
mkdir -p "$session"/{home,config,cache,data,runtime}
chmod 700 "$session/runtime"
cat >"$session/show.sh" <<'EOF'
# Runs inside Xvfb and a private D-Bus session: starts eog on the picture,
# waits for its window named after the file, then takes screenshots until
# the picture shows (or gives up).
set -u
sample=$1 shot=$2 finder=$3 golden=$4 log=$5
eog "$sample" >"$log" 2>&1 &
eog_pid=$!
window=""
for _ in $(seq 60); do
  window=$(xwininfo -root -tree | grep -F "\"$(basename "$sample")\"" | grep -F '("eog"' || true)
  [[ -n $window ]] && break
  sleep 0.5
done
status=1
if [[ -z $window ]]; then
  echo "no eog window for $(basename "$sample") appeared"
  import -window root "$shot"
else
  echo "eog window: $window"
  for _ in $(seq 40); do
    import -window root "$shot"
    if "$finder" "$shot" "$golden" >/dev/null; then
      echo "the picture shows, pixel for pixel: $("$finder" "$shot" "$golden")"
      status=0
      break
    fi
    sleep 0.5
  done
fi
kill "$eog_pid" 2>/dev/null
wait "$eog_pid" 2>/dev/null
exit $status
EOF
# A Koala picture (found by its bytes), a character set and a PETSCII
# screen, found by their names: GIO gives eog the type of the .64c or .pdr
# glob, and eog a loader for it.
for shown in "koala|$pictures/20-koala-painter.koa" "charset|$formats/23-charset.64c" \
  "petscii|$petscii/124-screen.pdr"; do
  sample=${shown#*|}
  shot=$artifacts/eog-${shown%%|*}.png
  rm -f "$shot"
  env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u WAYLAND_DISPLAY \
    HOME="$session/home" XDG_CONFIG_HOME="$session/config" XDG_CACHE_HOME="$session/cache" \
    XDG_DATA_HOME="$session/data" XDG_RUNTIME_DIR="$session/runtime" XDG_DATA_DIRS="$data_dirs" \
    GDK_PIXBUF_MODULE_FILE="$work/all-loaders.cache" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
    GDK_BACKEND=x11 \
    xvfb-run -a -s '-screen 0 1024x768x24' dbus-run-session -- \
    bash "$session/show.sh" "$sample" "$shot" "$build/desktop/tarnel_find_picture" \
    "${sample%.*}.bmp" "$work/eog.log" ||
    fail "eog did not show $(basename "$sample") (screenshot: $shot; eog's output: $work/eog.log)"
  echo "eog showed $(basename "$sample"); screenshot: $shot"
done
echo "test_desktop: all passed"
