#!/usr/bin/env bash
# Runs every test of tarnel from nothing: installs what is missing (Debian 12,
# as root), then builds and tests each configuration in turn.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

passed=0
failed=0
skipped=0
failures=()
skips=()
# A step passes, fails, or (exit status 77) could not run on this machine.
step() {
  local name=$1
  shift
  echo
  echo "=== $name"
  local start=$SECONDS
  local status=0
  # In a subshell, so that what one step exports (the emulation's settings)
  # does not reach the next.
  ("$@") || status=$?
  if ((status == 0)); then
    passed=$((passed + 1))
    echo "=== $name: passed in $((SECONDS - start)) s"
  elif ((status == 77)); then
    skipped=$((skipped + 1))
    skips+=("$name")
    echo "=== $name: SKIPPED after $((SECONDS - start)) s (see above why)"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "=== $name: FAILED after $((SECONDS - start)) s"
  fi
}

build_only() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs"
}

build_and_test() {
  build_only "$1" && ctest --preset "$1" -j"$jobs"
}

# Wine runs the 32-bit Windows programs as 32-bit Linux processes. Some
# kernels are built without 32-bit support and refuse them ("Exec format
# error"); there qemu's user-mode emulation runs them instead, through the
# kernel's binfmt_misc handler for 32-bit x86 programs.
runs_32bit() {
  /lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1
}

binfmt=/proc/sys/fs/binfmt_misc
qemu_i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
qemu_i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
emulated_32bit=""

# Makes 32-bit programs run, the standard Debian way, when the kernel cannot:
# qemu-user-static and binfmt-support, binfmt_misc mounted, the i386 handler
# enabled (registered by hand, with the F flag, when update-binfmts cannot).
# Only the i386 handler is touched, and nothing that was set up before is
# undone. Prints why and returns 1 when it cannot be done.
set_up_32bit_emulation() {
  if runs_32bit; then
    # qemu's handler, when enabled, takes 32-bit programs even from a kernel
    # that could run them.
    grep -qsx enabled "$binfmt/qemu-i386" && emulated_32bit=1
    return 0
  fi
  echo "this kernel cannot run 32-bit programs: running them under qemu's user-mode emulation"
  if (($(id -u) != 0)); then
    echo "setting up the emulation needs root (packages, binfmt_misc), and this is $(id -un)"
    return 1
  fi
  local before=""
  [[ -e $binfmt/register ]] && before=$(ls "$binfmt")
  scripts/install-deps.sh emulation || {
    echo "could not install qemu-user-static and binfmt-support"
    return 1
  }
  # Installing the packages registers qemu's handlers for every architecture
  # when binfmt_misc is mounted; of those, only i386's is wanted here.
  if [[ -n $before ]]; then
    local entry
    for entry in "$binfmt"/qemu-*; do
      [[ -e $entry && $entry != "$binfmt/qemu-i386" ]] || continue
      grep -qx "$(basename "$entry")" <<<"$before" || echo -1 >"$entry"
    done
  fi
  if [[ ! -e $binfmt/register ]]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" || {
      echo "could not mount binfmt_misc at $binfmt"
      return 1
    }
  fi
  if [[ ! -e $binfmt/qemu-i386 ]]; then
    update-binfmts --enable qemu-i386 >/dev/null 2>&1 || true
  fi
  if [[ ! -e $binfmt/qemu-i386 ]]; then
    printf ':qemu-i386:M::%s:%s:/usr/bin/qemu-i386-static:F' "$qemu_i386_magic" "$qemu_i386_mask" \
      >"$binfmt/register" || {
      echo "could not register qemu's i386 handler with binfmt_misc"
      return 1
    }
  fi
  if [[ $(head -n 1 "$binfmt/qemu-i386") != enabled ]]; then
    echo 1 >"$binfmt/qemu-i386" || {
      echo "could not enable qemu's i386 handler"
      return 1
    }
  fi
  if ! runs_32bit; then
    echo "qemu's i386 handler is registered, but a 32-bit program still does not run:"
    /lib/i386-linux-gnu/ld-linux.so.2 --version 2>&1 | head -n 3
    return 1
  fi
  emulated_32bit=1
  echo "32-bit programs run under $(sed -n 's/^interpreter //p' "$binfmt/qemu-i386")"
}

# Whether the Windows programs can run here; otherwise says so and gives the
# step's result: skipped, or under CI=true failed (CI must load the module).
windows_programs_can_run() {
  if set_up_32bit_emulation; then
    # The tests' own Wine prefix, never the user's.
    export WINEPREFIX=${WINEPREFIX:-$root/build/wine}
    if [[ -n $emulated_32bit ]]; then
      export TARNEL_EMULATED=1
      # Wine maps pages at fixed addresses (the shared user data at
      # 0x7ffe0000); qemu honours such mappings only inside a guest address
      # space it has reserved up front ("failed to map the shared user data").
      export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0xf7000000}
    fi
    return 0
  fi
  echo "the Windows programs were built, none was run"
  if [[ ${CI:-} == true ]]; then
    echo "under CI=true this fails the step rather than skipping it"
    return 1
  fi
  return 77
}

# The module and every Windows test program, cross-built, then run under Wine
# (emulated where the kernel needs it). The programs show dialogs, which under
# Wine need an X display: a virtual one (Xvfb) for the whole step.
windows_under_wine() {
  build_only win32 || return 1
  windows_programs_can_run || return
  # A program's first start under emulation takes about a minute.
  local timeout=600
  [[ -n $emulated_32bit ]] && timeout=3000
  wine_prefix_ready &&
    xvfb-run -a ctest --preset win32 -j"$jobs" --timeout "$timeout"
}

# The library as other programs meet it, and the packages; the Windows zip's
# module is loaded under Wine, as in the Windows step.
library_and_packages() {
  build_only release && build_only win64 && build_only win32 || return 1
  windows_programs_can_run || return
  wine_prefix_ready && bash scripts/test_packages.sh build/release build/win32 build/win64
}

# The WIC codec (wic/): registered with regsvr32 in a fresh Wine prefix and
# reached through WIC's factory, as Windows programs reach it
# (scripts/test_wic.sh). x64 first, under wine64, with the golden pictures
# and the hostile-file corpus; then x86 under Wine's 32-bit side: all of it
# where 32-bit programs run natively, one golden picture where they are
# emulated (each program start then takes about a minute).
wic_codec() {
  local prefix=$root/build/win64/wine-wic
  local corpus
  cmake --preset win64 >/dev/null && cmake --build --preset win64 -j"$jobs" &&
    cmake --preset win32 >/dev/null &&
    cmake --build --preset win32 -j"$jobs" --target tarnel_wic tarnel_wic_test &&
    corpus_writer || return 1
  corpus=$(mktemp -d)
  build/fuzz/fuzz/tarnel_make_corpus "$corpus" >/dev/null || return 1
  # Emulation, where needed, is set up before the prefix is made, so that the
  # prefix gets its 32-bit side too.
  local x86=0
  windows_programs_can_run || x86=$?
  rm -rf "$prefix"
  local result=0
  WINEPREFIX=$prefix bash scripts/test_wic.sh build/win64 --hostile "$corpus/hostile" || result=1
  ((result == 0)) && result=$x86
  if ((result == 0)); then
    if [[ -n $emulated_32bit ]]; then
      WINEPREFIX=$prefix bash scripts/test_wic.sh build/win32 --quick || result=1
    else
      WINEPREFIX=$prefix bash scripts/test_wic.sh build/win32 --hostile "$corpus/hostile" || result=1
    fi
  fi
  rm -rf "$corpus"
  return $result
}

# Creates the Wine prefix once, before test programs start in parallel, and
# waits for its Wine server to end: a server started without a display would
# leave the later programs, run under Xvfb, unable to create windows. The
# 64-bit loader makes it where there is one (natively, also when 32-bit
# programs are emulated). A prefix of ours made while 32-bit programs could
# not run lacks its 32-bit system files, and is made anew.
wine_prefix_ready() {
  local loader=wine
  [[ -x /usr/lib/wine/wine64 ]] && loader=/usr/lib/wine/wine64
  local windows=$WINEPREFIX/drive_c/windows
  if [[ $WINEPREFIX == "$root"/build/* && -d $windows/syswow64 && ! -e $windows/syswow64/kernel32.dll ]]; then
    echo "the Wine prefix $WINEPREFIX lacks its 32-bit side: making it anew"
    rm -rf "$WINEPREFIX"
  fi
  [[ -e $WINEPREFIX/system.reg ]] || echo "making the Wine prefix $WINEPREFIX (a few minutes)"
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$loader" wineboot --init >/dev/null 2>&1 &&
    wineserver -w
}

format_check() {
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
}

# Every libFuzzer target for a bounded time (about a minute in all), seeded
# from the packers, the hostile-file corpus and the converter's sample
# pictures; any crash, leak, sanitizer report or failed check fails the step.
fuzz_bounded() {
  local samples=build/fuzz/sample-pictures
  rm -rf "$samples"
  if [[ -x build/release/tarnel ]]; then
    build/release/tarnel samples "$samples" >/dev/null
  fi
  cmake --preset fuzz >/dev/null &&
    cmake --build --preset fuzz -j"$jobs" &&
    bash fuzz/run.sh build/fuzz "${TARNEL_FUZZ_SECONDS:-8}" "$samples"
}

# The benchmark programs of the release build, each benchmark run briefly:
# proves they run and that every benchmark finds the input it must measure
# (the figures mean nothing at this length; BENCHMARKS.md says how to
# measure), and that the counted heap is all released.
benchmark_smoke() {
  build_only release &&
    build/release/bench/tarnel_bench --benchmark_min_time=0.0001 >/dev/null &&
    build/release/bench/tarnel_png_levels --benchmark_min_time=0.0001 >/dev/null &&
    build/release/bench/tarnel_formats_bench --benchmark_min_time=0.0001 >/dev/null &&
    build/release/bench/tarnel_memory 2
}

# The hostile-file corpus writer, from the fuzz build.
corpus_writer() {
  cmake --preset fuzz >/dev/null &&
    cmake --build --preset fuzz -j"$jobs" --target tarnel_make_corpus
}

# Decoders on several threads at once, under ThreadSanitizer.
threads_under_tsan() {
  cmake --preset tsan >/dev/null &&
    cmake --build --preset tsan -j"$jobs" --target tarnel_threads_tests &&
    TSAN_OPTIONS=halt_on_error=1 ctest --preset tsan -j"$jobs" -R '(Threads|ManyDecoders)'
}

# The converter (native release build) under valgrind's memcheck over the
# sample pictures and the hostile-file corpus (written by the fuzz build's
# corpus writer).
valgrind_converter() {
  build_only release &&
    corpus_writer &&
    bash scripts/valgrind_converter.sh build/release build/fuzz/fuzz/tarnel_make_corpus
}

# The web viewer (the web preset: WebAssembly and its page) in headless
# Chromium: the sample pictures and the other formats' files (with their own
# names) through the page's file input, compared with their golden pictures,
# and the hostile-file corpus refused in place. The
# corpus writer comes from the fuzz build; Selenium is Debian's, for Debian's
# python3.
web_page() {
  local corpus
  corpus=$(mktemp -d)
  cmake --preset web >/dev/null &&
    cmake --build --preset web -j"$jobs" &&
    corpus_writer &&
    build/fuzz/fuzz/tarnel_make_corpus "$corpus" >/dev/null &&
    /usr/bin/python3 tests/web/page_test.py build/web tests/data/pictures \
      --formats tests/data/formats --hostile "$corpus/hostile" --artifacts build/web/artifacts
  local result=$?
  rm -rf "$corpus"
  return $result
}

# Qt 5 and Qt 6 installed side by side: fresh build folders configure with
# either Qt asked for and the other probed, with both asked for and with both
# probed, and each again over its own cache.
both_qt_configure() {
  local folder shape status=0
  local shapes=("-DTARNEL_BUILD_QT6=ON" "-DTARNEL_BUILD_QT5=ON"
    "-DTARNEL_BUILD_QT6=ON -DTARNEL_BUILD_QT5=ON" "")
  for shape in "${shapes[@]}"; do
    folder=$(mktemp -d)
    for _ in 1 2; do
      # shellcheck disable=SC2086
      if ! cmake -S . -B "$folder" -DTARNEL_BUILD_TESTS=OFF -DTARNEL_BUILD_DESKTOP=ON $shape \
        >"$folder.log" 2>&1; then
        echo "configuring the desktop plug-ins with Qt 5 and Qt 6 installed ($shape) failed:"
        tail -n 20 "$folder.log"
        status=1
        break
      fi
    done
    rm -rf "$folder" "$folder.log"
  done
  return $status
}

# The gdk-pixbuf loader, the Qt image plugin, the MIME types and the
# thumbnailer through their real hosts and Eye of GNOME under Xvfb, from the
# release build with the desktop plug-ins required (a missing gdk-pixbuf or
# Qt 6 fails the configuration rather than leaving them out).
desktop_hosts() {
  both_qt_configure &&
    cmake --preset release -DTARNEL_BUILD_DESKTOP=ON -DTARNEL_BUILD_QT6=ON >/dev/null &&
    cmake --build --preset release -j"$jobs" &&
    bash scripts/test_desktop.sh build/release
}

# The Python package and its Pillow plugin (python/) from the release build
# (with the package required), installed into a temporary prefix, under
# Debian's python3, pytest and Pillow; the hostile-file corpus from the fuzz
# build's corpus writer; then the .deb's copy and an offline pip install.
python_package() {
  cmake --preset release -DTARNEL_BUILD_PYTHON=ON >/dev/null &&
    cmake --build --preset release -j"$jobs" &&
    corpus_writer &&
    bash scripts/test_python.sh build/release build/fuzz/fuzz/tarnel_make_corpus
}

# The ImageMagick coder module through convert, identify, Wand and MagickCore
# (under valgrind), and the Qt 5 image plugin through QImageReader, from the
# release build with both required; the hostile corpus from the fuzz build's
# corpus writer.
imagemagick_hosts() {
  local corpus
  corpus=$(mktemp -d)
  cmake --preset release -DTARNEL_BUILD_DESKTOP=ON -DTARNEL_BUILD_IMAGEMAGICK=ON \
    -DTARNEL_BUILD_QT5=ON >/dev/null &&
    cmake --build --preset release -j"$jobs" &&
    corpus_writer &&
    build/fuzz/fuzz/tarnel_make_corpus "$corpus" >/dev/null &&
    bash scripts/test_imagemagick.sh build/release "$corpus"
  local result=$?
  rm -rf "$corpus"
  return $result
}

# Each step: its name on the command line, the install groups it needs,
# its title, and what it runs.
steps=(
  "format|format|format|format_check"
  "release||native release|build_and_test release"
  "bench||benchmarks (smoke run)|benchmark_smoke"
  "sanitize|sanitize|sanitizers (address, undefined, leak)|build_and_test sanitize"
  "win32|win32|32-bit Windows under Wine|windows_under_wine"
  "packages|packages win32 win64|library install, consumers and packages|library_and_packages"
  "wic|win32 win64 fuzz|WIC codec under Wine (x64, x86)|wic_codec"
  "fuzz|fuzz|fuzzing (libFuzzer, bounded)|fuzz_bounded"
  "tsan|sanitize|threads (ThreadSanitizer)|threads_under_tsan"
  "valgrind|valgrind fuzz|valgrind memcheck of the converter|valgrind_converter"
  "web|web browser fuzz|web viewer in headless Chromium|web_page"
  "desktop|desktop imagemagick|desktop plug-ins through gdk-pixbuf, Qt and Eye of GNOME|desktop_hosts"
  "python|python packages fuzz|Python package and Pillow plugin (pytest)|python_package"
  "imagemagick|imagemagick valgrind fuzz|ImageMagick coder and Qt 5 plugin through their hosts|imagemagick_hosts"
)

usage() {
  echo "usage: bash scripts/test.sh [STEP...]   (no STEP: every step, in this order)"
  echo "steps:"
  local entry
  for entry in "${steps[@]}"; do
    IFS='|' read -r name _ title _ <<<"$entry"
    printf '  %-10s %s\n' "$name" "$title"
  done
}

chosen=("$@")
if ((${#chosen[@]} == 0)); then
  for entry in "${steps[@]}"; do chosen+=("${entry%%|*}"); done
fi
groups=()
for want in "${chosen[@]}"; do
  if [[ $want == -h || $want == --help ]]; then
    usage
    exit 0
  fi
  found=""
  for entry in "${steps[@]}"; do
    IFS='|' read -r name needs _ _ <<<"$entry"
    if [[ $name == "$want" ]]; then
      found=1
      read -r -a list <<<"$needs"
      groups+=("${list[@]}")
    fi
  done
  if [[ -z $found ]]; then
    echo "test.sh: no step named '$want'" >&2
    usage >&2
    exit 2
  fi
done

scripts/install-deps.sh "${groups[@]}"

for entry in "${steps[@]}"; do
  IFS='|' read -r name _ title command <<<"$entry"
  for want in "${chosen[@]}"; do
    if [[ $name == "$want" ]]; then
      # shellcheck disable=SC2086
      step "$title" $command
      break
    fi
  done
done

echo
if (( failed > 0 )); then
  echo "failed steps: ${failures[*]}"
fi
if (( skipped > 0 )); then
  echo "skipped steps (could not run on this machine): ${skips[*]}"
fi
echo "steps: $passed passed, $failed failed, $skipped skipped"
(( failed == 0 ))
