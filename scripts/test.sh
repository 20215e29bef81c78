#!/usr/bin/env bash
# Runs every test of tarnel from nothing: installs what is missing (Debian 12,
# as root), then builds and tests each configuration in turn.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

scripts/install-deps.sh --all

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
  "$@" || status=$?
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

# Wine runs the 32-bit Windows programs as 32-bit Linux processes; some
# kernels are built without 32-bit support and refuse them ("Exec format
# error"). There the Windows build is still made and packed, but not run.
runs_32bit() {
  /lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1
}

build_and_test() {
  local preset=$1
  cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j"$jobs" &&
    ctest --preset "$preset" -j"$jobs"
}

# The Windows programs show dialogs, which under Wine need an X display: a
# virtual one (Xvfb) for the whole step.
build_and_test_with_display() {
  local preset=$1
  cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j"$jobs" || return 1
  if ! runs_32bit; then
    echo "this kernel cannot run 32-bit programs, so Wine cannot run the Windows tests here:"
    echo "the module and the test programs were built, none was run"
    return 77
  fi
  wine_prefix_ready &&
    xvfb-run -a ctest --preset "$preset" -j"$jobs"
}

# Creates the Wine prefix once, before test programs start in parallel, and
# waits for its Wine server to end: a server started without a display would
# leave the later programs, run under Xvfb, unable to create windows.
wine_prefix_ready() {
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1 &&
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
  build/release/bench/tarnel_bench --benchmark_min_time=0.0001 >/dev/null &&
    build/release/bench/tarnel_png_levels --benchmark_min_time=0.0001 >/dev/null &&
    build/release/bench/tarnel_memory 2
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
  bash scripts/valgrind_converter.sh build/release build/fuzz/fuzz/tarnel_make_corpus
}

# The web viewer (the web preset: WebAssembly and its page) in headless
# Chromium: the sample pictures through the page's file input, compared with
# their golden pictures, and the hostile-file corpus refused in place. The
# corpus writer comes from the fuzz build; Selenium is Debian's, for Debian's
# python3.
web_page() {
  local corpus
  corpus=$(mktemp -d)
  cmake --preset web >/dev/null &&
    cmake --build --preset web -j"$jobs" &&
    cmake --preset fuzz >/dev/null &&
    cmake --build --preset fuzz -j"$jobs" --target tarnel_make_corpus &&
    build/fuzz/fuzz/tarnel_make_corpus "$corpus" >/dev/null &&
    /usr/bin/python3 tests/web/page_test.py build/web tests/data/pictures \
      --hostile "$corpus/hostile" --artifacts build/web/artifacts
  local result=$?
  rm -rf "$corpus"
  return $result
}

# The gdk-pixbuf loader, the Qt image plugin, the MIME types and the
# thumbnailer through their real hosts and Eye of GNOME under Xvfb, from the
# release build with the desktop plug-ins required (a missing gdk-pixbuf or
# Qt 6 fails the configuration rather than leaving them out).
desktop_hosts() {
  cmake --preset release -DTARNEL_BUILD_DESKTOP=ON >/dev/null &&
    cmake --build --preset release -j"$jobs" &&
    bash scripts/test_desktop.sh build/release
}

step "format" format_check
step "native release" build_and_test release
step "benchmarks (smoke run)" benchmark_smoke
step "sanitizers (address, undefined, leak)" build_and_test sanitize
step "32-bit Windows under Wine" build_and_test_with_display win32
step "library install, consumers and packages" bash scripts/test_packages.sh build/release build/win32
step "fuzzing (libFuzzer, bounded)" fuzz_bounded
step "threads (ThreadSanitizer)" threads_under_tsan
step "valgrind memcheck of the converter" valgrind_converter
step "web viewer in headless Chromium" web_page
step "desktop plug-ins through gdk-pixbuf, Qt and Eye of GNOME" desktop_hosts

echo
if (( failed > 0 )); then
  echo "failed steps: ${failures[*]}"
fi
if (( skipped > 0 )); then
  echo "skipped steps (could not run on this machine): ${skips[*]}"
fi
echo "steps: $passed passed, $failed failed, $skipped skipped"
(( failed == 0 ))
