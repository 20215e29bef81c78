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
failures=()
step() {
  local name=$1
  shift
  echo
  echo "=== $name"
  local start=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
    echo "=== $name: passed in $((SECONDS - start)) s"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "=== $name: FAILED after $((SECONDS - start)) s"
  fi
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
    cmake --build --preset "$preset" -j"$jobs" &&
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
step "fuzzing (libFuzzer, bounded)" fuzz_bounded
step "threads (ThreadSanitizer)" threads_under_tsan
step "valgrind memcheck of the converter" valgrind_converter
step "desktop plug-ins through gdk-pixbuf, Qt and Eye of GNOME" desktop_hosts

echo
if (( failed > 0 )); then
  echo "failed steps: ${failures[*]}"
fi
echo "steps: $passed passed, $failed failed"
(( failed == 0 ))
