#!/usr/bin/env bash
# The C library as other programs meet it, and the two packages:
#  1. libtarnel.so exports the tarnel_ functions and nothing else;
#  2. `cmake --install` into a temporary prefix, then two consumers built
#     from outside the tree, one with pkg-config (C99, -pedantic -Werror),
#     one with find_package(tarnel CONFIG), each decoding golden pictures
#     and checking every pixel; and the first consumer built again against
#     the 1.1 header (tests/consumer/tarnel-1.1, as released) and run on the
#     new library, and one built against the 1.2 header (tarnel-1.2) whose
#     options record must not be written past; both refuse the formats
#     beyond the twenty;
#  3. the .deb made by `cpack -G DEB`, unpacked with dpkg-deb -x, its
#     converter run from there on a sample;
#  4. the zip made by `cpack -G ZIP` in the Windows build, unpacked, its
#     tarnel.apl loaded from there under Wine by the ABI host, and its x64
#     WIC codec registered with regsvr32 under wine64 and a golden picture
#     decoded through WIC (scripts/test_wic.sh --quick, with WIN64_BUILD's
#     test program).
#
#   scripts/test_packages.sh RELEASE_BUILD [WIN32_BUILD [WIN64_BUILD]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
release=$(cd "$1" && pwd)
win32=${2:-}
win64=${3:-}
pictures=$root/tests/data/pictures
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

echo "-- exported symbols"
library=$(readlink -f "$release/lib/libtarnel.so")
[[ $(readelf -d "$library" | grep SONAME) == *"[libtarnel.so.1]"* ]] || fail "SONAME is not libtarnel.so.1"
others=$(nm -D --defined-only "$library" | awk '{print $3}' | grep -v '^tarnel_' || true)
[[ -z "$others" ]] || fail "libtarnel.so exports more than the tarnel_ API: $others"
count=$(nm -D --defined-only "$library" | grep -c ' T tarnel_')
echo "libtarnel.so.1 exports $count tarnel_ functions and nothing else"

echo "-- install into a temporary prefix"
prefix=$work/prefix
cmake --install "$release" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name tarnel.pc)")/..

check_consumer() {
  local consumer=$1
  for picture in "$pictures"/20-koala-painter.koa "$pictures"/07-drazlace-packed.* "$pictures"/17-afli.*; do
    [[ $picture == *.bmp ]] && continue
    LD_LIBRARY_PATH=$libdir "$consumer" "$picture" "${picture%.*}.bmp" || fail "$consumer on $picture"
  done
}

echo "-- consumer with pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Werror -pedantic $(pkg-config --cflags tarnel) \
  "$root/tests/consumer/main.c" -o "$work/consumer-pc" $(pkg-config --libs tarnel)
check_consumer "$work/consumer-pc"

echo "-- consumer built against the 1.1 header, run on this library"
grep -q '#define TARNEL_VERSION_MINOR 1$' "$root/tests/consumer/tarnel-1.1/tarnel/tarnel.h" ||
  fail "tests/consumer/tarnel-1.1 does not hold the 1.1 header"
cc -std=c99 -Wall -Wextra -Werror -pedantic -I"$root/tests/consumer/tarnel-1.1" \
  "$root/tests/consumer/main.c" -o "$work/consumer-1.1" -L"$libdir" -ltarnel
old=$(check_consumer "$work/consumer-1.1")
echo "$old"
[[ $old == *"tarnel $(pkg-config --modversion tarnel):"* ]] || fail "the 1.1 consumer did not run on this library"

# The 1.1 consumer refuses the formats beyond the twenty, as 1.1 does.
formats=$root/tests/data/formats
for picture in "$formats"/23-charset.64c "$formats"/26-charpad-v5.ctm "$formats"/27-spritepad-v1.spd; do
  if LD_LIBRARY_PATH=$libdir "$work/consumer-1.1" "$picture" "${picture%.*}.bmp" >/dev/null 2>&1; then
    fail "the 1.1 consumer opened $picture"
  fi
done

echo "-- consumer built against the 1.2 header, run on this library"
grep -q '#define TARNEL_VERSION_MINOR 2$' "$root/tests/consumer/tarnel-1.2/tarnel/tarnel.h" ||
  fail "tests/consumer/tarnel-1.2 does not hold the 1.2 header"
cc -std=c99 -Wall -Wextra -Werror -pedantic -I"$root/tests/consumer/tarnel-1.2" \
  "$root/tests/consumer/main12.c" -o "$work/consumer-1.2" -L"$libdir" -ltarnel
check_consumer "$work/consumer-1.2"
for picture in "$formats"/*; do
  [[ $picture == *.bmp ]] && continue
  LD_LIBRARY_PATH=$libdir "$work/consumer-1.2" "$picture" - >/dev/null ||
    fail "the 1.2 consumer opened $picture"
done
echo "the 1.1 and 1.2 consumers refuse the other formats' files"

echo "-- consumer with find_package"
cmake -S "$root/tests/consumer" -B "$work/consumer-cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer-cmake" >/dev/null
check_consumer "$work/consumer-cmake/consumer"

echo "-- Debian package"
(cd "$release" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(find "$work/deb" -maxdepth 1 -name '*.deb' | head -n 1)
[[ -n "$deb" ]] || fail "cpack made no .deb"
[[ $(dpkg-deb --field "$deb" Package) == tarnel ]] || fail "the .deb is not named tarnel"
dpkg-deb -x "$deb" "$work/unpacked"
converter=$work/unpacked/usr/bin/tarnel
[[ -x "$converter" ]] || fail "no converter in the .deb"
"$converter" convert "$pictures/20-koala-painter.koa" -o "$work/from-deb.png" >/dev/null
[[ $(head -c 8 "$work/from-deb.png" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] ||
  fail "the packaged converter wrote no PNG"
[[ -f $(find "$work/unpacked" -name tarnel.h) ]] || fail "no header in the .deb"
echo "$(basename "$deb"): unpacked, its converter wrote a PNG"

if [[ -n "$win32" ]]; then
  echo "-- Windows zip"
  win32=$(cd "$win32" && pwd)
  (cd "$win32" && cpack -G ZIP -B "$work/zip" >/dev/null)
  zip=$(find "$work/zip" -maxdepth 1 -name '*.zip' | head -n 1)
  [[ -n "$zip" ]] || fail "cpack made no zip"
  mkdir -p "$work/zip/unpacked"
  (cd "$work/zip/unpacked" && cmake -E tar xf "$zip")
  for f in tarnel.apl INSTALL.txt LICENSE.txt x86/tarnel_wic.dll x64/tarnel_wic.dll; do
    [[ -f "$work/zip/unpacked/$f" ]] || fail "$f is not in the zip"
  done
  if [[ -n "$win64" ]]; then
    WINEPREFIX=${WINEPREFIX:-$root/build/win64/wine-wic} bash "$root/scripts/test_wic.sh" "$win64" \
      --quick --dll "$work/zip/unpacked/x64/tarnel_wic.dll" || fail "the zip's x64 WIC codec"
    echo "$(basename "$zip"): its x64 WIC codec registered and decoded a golden picture under wine64"
  fi
  if ! /lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "this kernel cannot run 32-bit programs: the zip's tarnel.apl is not loaded under Wine here"
    echo "packages: all checks passed but the Wine load of the zip"
    exit 0
  fi
  output=$(bash "$root/cmake/wine-run.sh" "$win32/tests/abi_host.exe" "$work/zip/unpacked/tarnel.apl" 2>&1) ||
    { echo "$output" | tail -n 20; fail "the ABI host on the zip's tarnel.apl"; }
  echo "$output" | grep -q 'abi_host: all checks passed' || { echo "$output" | tail -n 20; fail "the ABI host did not finish"; }
  echo "$(basename "$zip"): unpacked, its tarnel.apl passed the ABI host under Wine"
fi
echo "packages: all checks passed"
