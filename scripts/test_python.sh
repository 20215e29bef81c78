#!/usr/bin/env bash
# The Python package (python/tarnel) and its Pillow plugin, as users get them:
#  1. `cmake --install` of the release build into a temporary prefix, then
#     the pytest suite (python/tests) under Debian's python3 with its pytest
#     and Pillow, importing the package from the prefix and loading the
#     library from there: the golden pictures, other formats, the hostile-
#     file corpus, palettes, threads, a missing library;
#  2. the .deb made by `cpack -G DEB` carries the package: unpacked, it
#     decodes a golden picture with the unpacked library;
#  3. `pip install` of python/ into a virtual environment, offline, from
#     Debian's wheels of setuptools and wheel.
#
#   scripts/test_python.sh RELEASE_BUILD CORPUS_WRITER
set -euo pipefail
if (($# != 2)); then
  echo "usage: $0 RELEASE_BUILD CORPUS_WRITER" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
release=$(cd "$1" && pwd)
corpus_writer=$2
python=/usr/bin/python3
koala=$root/tests/data/pictures/20-koala-painter.koa
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# The folder holding tarnel/ and the one holding libtarnel.so.1, below $1.
package_dirs() {
  local init library
  init=$(find "$1" -path '*-packages/tarnel/__init__.py' | head -n 1)
  library=$(find "$1" -name libtarnel.so.1 | head -n 1)
  [[ -n $init ]] || fail "no Python package tarnel below $1"
  [[ -n $library ]] || fail "no libtarnel.so.1 below $1"
  echo "$(dirname "$(dirname "$init")") $(dirname "$library")"
}

echo "-- install into a temporary prefix"
cmake --install "$release" --prefix "$work/prefix" >/dev/null
dirs=$(package_dirs "$work/prefix")
read -r site libdir <<<"$dirs"
echo "package in ${site#"$work/prefix/"}, library in ${libdir#"$work/prefix/"}"

echo "-- pytest"
"$corpus_writer" "$work/corpus" >/dev/null
# From the temporary folder, so that nothing of the source tree is on the
# path: the package must come from the prefix.
status=0
(cd "$work" && PYTHONPATH=$site LD_LIBRARY_PATH=$libdir PYTHONDONTWRITEBYTECODE=1 \
  "$python" -m pytest -p no:cacheprovider --rootdir "$root/python" -rs "$root/python/tests" \
  --hostile "$work/corpus/hostile") | tee "$work/pytest.log" || status=$?
((status == 0)) || fail "pytest"
grep -qx "tarnel package: $site/tarnel" "$work/pytest.log" || fail "pytest did not test the installed package"
grep -q "^tarnel library: $libdir/libtarnel.so.1" "$work/pytest.log" || fail "pytest did not load the installed library"
summary=$(tail -n 1 "$work/pytest.log")
[[ $summary != *skipped* ]] || fail "pytest skipped tests here: $summary"

echo "-- Debian package"
(cd "$release" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(find "$work/deb" -maxdepth 1 -name '*.deb' | head -n 1)
[[ -n $deb ]] || fail "cpack made no .deb"
dpkg-deb -x "$deb" "$work/unpacked"
dirs=$(package_dirs "$work/unpacked")
read -r site libdir <<<"$dirs"
[[ $site == "$work/unpacked/usr/lib/python3/dist-packages" ]] ||
  fail "the .deb puts the package in ${site#"$work/unpacked"}, not /usr/lib/python3/dist-packages"
PYTHONPATH=$site LD_LIBRARY_PATH=$libdir PYTHONDONTWRITEBYTECODE=1 "$python" -c '
import sys, tarnel.pillow
from PIL import Image
assert Image.open(sys.argv[1]).format_description == "Koala Painter"' "$koala" ||
  fail "the package from the .deb"
echo "$(basename "$deb"): carries the package in /usr/lib/python3/dist-packages, and it works"

echo "-- pip install into a virtual environment, offline"
# From a copy: setuptools builds in the source folder.
cp -r "$root/python" "$work/source"
"$python" -m venv "$work/venv"
"$work/venv/bin/pip" install -q --no-index --find-links /usr/share/python-wheels "$work/source" ||
  fail "pip install ./python"
LD_LIBRARY_PATH=$libdir "$work/venv/bin/python" -c '
import sys, tarnel
assert tarnel.__file__.startswith(sys.prefix), tarnel.__file__
assert tarnel.decode(open(sys.argv[1], "rb").read()).info.name == "Koala Painter"' "$koala" ||
  fail "the package pip installed"
echo "pip installed the package into a virtual environment; it decodes"
echo "python: all checks passed"
