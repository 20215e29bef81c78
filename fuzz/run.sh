#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time and fails on any finding.
#
#   fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET [SAMPLES_DIR]
#
# BUILD_DIR is a build of the fuzz preset. The seed corpora are written
# afresh by tarnel_make_corpus (files of every layout from the packers and
# layout writers, and the hostile-file corpus); the pictures in SAMPLES_DIR,
# when given, seed the targets that take whole files. Each target first
# replays its saved regression inputs (fuzz/regressions/<target>/), then
# fuzzes. Findings are saved as BUILD_DIR/fuzz-work/findings/<target>-*.
set -euo pipefail
if (($# < 2)); then
  echo "usage: $0 BUILD_DIR SECONDS_PER_TARGET [SAMPLES_DIR]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
samples=${3:-}
here=$(cd "$(dirname "$0")" && pwd)

targets=(fuzz_exports fuzz_library fuzz_identify fuzz_unpack1 fuzz_unpack7 fuzz_unpack11 fuzz_unpack14 fuzz_unpack19)
# The formats' targets, one a format, as the build made them.
while IFS= read -r target; do targets+=("$target"); done < <(
  find "$build/fuzz" -maxdepth 1 -type f -name 'fuzz_format*' -printf '%f\n' | sort -V)
work=${TARNEL_FUZZ_WORK:-$build/fuzz-work}
rm -rf "$work"
mkdir -p "$work/findings" "$work/logs"
"$build/fuzz/tarnel_make_corpus" "$work/generated"

# Leaks are findings too; abort on the first sanitizer report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
total=0
printf '%-14s %12s %8s %10s %8s\n' target executions exec/s seeds corpus
for target in "${targets[@]}"; do
  binary=$build/fuzz/$target
  corpus=$work/corpus/$target
  mkdir -p "$corpus"
  cp "$work/generated/seeds/$target/"* "$corpus/"
  if [[ -n "$samples" && -d "$samples" && ( $target == fuzz_exports || $target == fuzz_identify ) ]]; then
    find "$samples" -maxdepth 1 -type f -size -37k -exec cp {} "$corpus/" \;
  fi
  seeds=$(find "$corpus" -type f | wc -l)

  regressions=$here/regressions/$target
  if [[ -d "$regressions" ]] && [[ -n "$(ls -A "$regressions")" ]]; then
    if ! "$binary" "$regressions"/* >"$work/logs/$target-regressions.log" 2>&1; then
      echo "$target: a saved regression input fails again; see $work/logs/$target-regressions.log"
      tail -n 30 "$work/logs/$target-regressions.log"
      status=1
      continue
    fi
  fi

  log=$work/logs/$target.log
  # A format's target (one of about a hundred) runs a quarter as long, at
  # least two seconds.
  # Their files reach 44,036 bytes (two option bytes and an MUI picture).
  limit=$seconds
  max_len=36865
  if [[ $target == fuzz_format* ]]; then
    limit=$(((seconds + 3) / 4))
    ((limit < 2)) && limit=2
    max_len=65536
  fi
  if ! "$binary" -max_total_time="$limit" -max_len="$max_len" -timeout=20 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$work/findings/$target-" "$corpus" >"$log" 2>&1; then
    echo "$target: FINDING; input saved under $work/findings/, log $log"
    grep -E 'ERROR|check failed|SUMMARY|==ERROR|Test unit written' "$log" | head -n 20 || true
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  size=$(find "$corpus" -type f | wc -l)
  printf '%-14s %12s %8s %10s %8s\n' "$target" "${runs:-?}" "${speed:-?}" "$seeds" "$size"
  total=$((total + ${runs:-0}))
done
echo "fuzzing: $total executions over ${#targets[@]} targets, ${seconds} s each"
exit $status
