#!/usr/bin/env bash
# Installs what tarnel's builds and tests need on Debian 12 (run as root).
# Idempotent: asks apt only for packages that are missing.
#   scripts/install-deps.sh          native build, converter and demo
#   scripts/install-deps.sh --web    also the web viewer's build (emscripten)
#   scripts/install-deps.sh --all    also the Windows cross build, Wine,
#                                    sanitizer runtimes, fuzzing, valgrind,
#                                    the web viewer and its browser test, and the
#                                    desktop plug-ins' hosts (gdk-pixbuf, Qt 6,
#                                    shared-mime-info, Eye of GNOME)
set -euo pipefail

native=(cmake make g++ pkg-config libgtest-dev libbenchmark-dev libpng-dev libcli11-dev nlohmann-json3-dev
        time)
extra=(clang libclang-rt-14-dev clang-format valgrind
       g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
       wine wine32:i386 wine64 xvfb xauth imagemagick dpkg-dev
       libgdk-pixbuf-2.0-dev qt6-base-dev qt6-base-dev-tools shared-mime-info
       eog adwaita-icon-theme dbus-daemon x11-utils)
# Debian's emscripten 3.1.6 runs its optimizer with node and needs acorn.
web=(emscripten node-acorn python3)
browser_test=(chromium chromium-driver python3-selenium)

packages=("${native[@]}")
case "${1:-}" in
  --web) packages+=("${web[@]}") ;;
  --all) packages+=("${extra[@]}" "${web[@]}" "${browser_test[@]}") ;;
esac

if [[ " ${packages[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if (( ${#missing[@]} > 0 )) || [[ -n "${need_update:-}" ]]; then
  if (( $(id -u) != 0 )); then
    echo "missing packages: ${missing[*]}; run this as root to install them" >&2
    exit 1
  fi
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
