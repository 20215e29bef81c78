#!/usr/bin/env bash
# Installs what tarnel's builds and tests need on Debian 12 (run as root).
# Idempotent: asks apt only for packages that are missing.
#   scripts/install-deps.sh              native build, converter and demo
#   scripts/install-deps.sh GROUP...     also the named groups (below)
#   scripts/install-deps.sh --web        the same as `web`
#   scripts/install-deps.sh --all        every group
# Groups: format, sanitize, win32, win64, emulation, packages, fuzz, valgrind, web,
# browser, desktop, python, imagemagick. scripts/test.sh asks for the groups of the steps it runs.
set -euo pipefail

declare -A groups=(
  [native]="cmake make g++ pkg-config libgtest-dev libbenchmark-dev libpng-dev libcli11-dev nlohmann-json3-dev time"
  [format]="clang-format"
  [sanitize]="clang libclang-rt-14-dev"
  # The Windows cross build, Wine and a virtual display for its dialogs.
  [win32]="g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth imagemagick"
  # The 64-bit Windows codec's cross build; wine64 runs it.
  [win64]="g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64"
  # User-mode emulation of 32-bit x86, for kernels that refuse 32-bit programs.
  [emulation]="qemu-user-static binfmt-support"
  [packages]="dpkg-dev"
  [fuzz]="clang libclang-rt-14-dev"
  [valgrind]="valgrind"
  # Debian's emscripten 3.1.6 runs its optimizer with node and needs acorn.
  [web]="emscripten node-acorn python3"
  [browser]="chromium chromium-driver python3-selenium"
  # Debian's python3 with pytest and Pillow; venv and the wheels an offline
  # `pip install ./python` builds with.
  [python]="python3 python3-pytest python3-pil python3-venv python3-pip-whl python3-setuptools-whl python3-wheel-whl"
  [desktop]="libgdk-pixbuf-2.0-dev qt6-base-dev qt6-base-dev-tools shared-mime-info eog adwaita-icon-theme dbus-daemon x11-utils xvfb xauth"
  # The ImageMagick coder and the Qt 5 plugin (desktop/ also needs gdk-pixbuf).
  [imagemagick]="imagemagick libmagickcore-6.q16-dev python3-wand qtbase5-dev libgdk-pixbuf-2.0-dev xvfb xauth"
)
all=(format sanitize win32 win64 packages fuzz valgrind web browser desktop python imagemagick)

wanted=(native)
for arg in "$@"; do
  case "$arg" in
    --all) wanted+=("${all[@]}") ;;
    --web) wanted+=(web) ;;
    *)
      if [[ -z "${groups[$arg]+set}" ]]; then
        echo "install-deps.sh: unknown group '$arg' (groups: ${!groups[*]})" >&2
        exit 2
      fi
      wanted+=("$arg")
      ;;
  esac
done

packages=()
for g in "${wanted[@]}"; do
  read -r -a list <<<"${groups[$g]}"
  packages+=("${list[@]}")
done

if [[ " ${packages[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  if (($(id -u) != 0)); then
    echo "the i386 architecture is not enabled; run this as root to enable it" >&2
    exit 1
  fi
  dpkg --add-architecture i386
  need_update=1
fi

# A mirror caught in the middle of a sync serves an index whose size no longer
# matches its Release file, and apt drops it. Where that index is one of the
# foreign architecture's (the i386 security updates, whose versions must match
# the installed amd64 ones), nothing of that architecture installs. As a last
# resort, take the index the mirror serves as it is: it is a whole index of the
# same suite, only not the one the Release file names. The packages themselves
# are still checked against the sizes and hashes that index gives.
take_mid_sync_indexes() {
  local url name tmp
  grep -o 'Failed to fetch [^ ]*Packages\.xz  File has unexpected size' "$1" |
    awk '{print $4}' | while read -r url; do
    name=$(printf '%s' "${url%.xz}" | sed -e 's|^[a-z]*://||' -e 's|/|_|g')
    tmp=$(mktemp)
    if /usr/lib/apt/apt-helper download-file "$url" "$tmp.xz" >/dev/null 2>&1 &&
      xz -dc "$tmp.xz" >"$tmp" 2>/dev/null && grep -q '^Package: ' "$tmp"; then
      echo "warning: using $url as the mirror serves it (mid-sync)" >&2
      install -m 644 "$tmp" "/var/lib/apt/lists/$name"
    fi
    rm -f "$tmp" "$tmp.xz"
  done || true
}

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} > 0)) || [[ -n "${need_update:-}" ]]; then
  if (($(id -u) != 0)); then
    echo "missing packages: ${missing[*]}; run this as root to install them" >&2
    exit 1
  fi
  echo "installing: ${missing[*]}"
  # One index failing to update (a mirror in the middle of a sync) need not
  # stop the install: the packages may still be found, and if not, apt says
  # which and why.
  if ! apt-get update -qq 2>/tmp/tarnel-apt-update.err; then
    cat /tmp/tarnel-apt-update.err >&2
    echo "apt-get update failed for some index; installing anyway" >&2
    take_mid_sync_indexes /tmp/tarnel-apt-update.err
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=900 "${missing[@]}" >/dev/null
fi
