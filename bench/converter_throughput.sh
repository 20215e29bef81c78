#!/usr/bin/env bash
# The converter's throughput and peak memory: the twenty sample pictures,
# fifty copies of each (1,000 files), converted in one run to PNG with one
# job, the same batch again with one job for every core (-j, default all
# cores), and once more to BMP with one job for comparison. Prints files per
# second, the speed-up of all jobs over one, the share of the PNG run spent
# in PNG encoding (libpng and zlib), and the peak resident memory.
#
#   bench/converter_throughput.sh [build dir, default build/release]
#
# Needs /usr/bin/time (Debian package `time`). The PNG share is estimated
# from the difference between the PNG and the BMP run and, when perf is
# installed, also taken from perf's samples.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
tarnel=$build/tarnel
copies=50

if [[ ! -x $tarnel ]]; then
  echo "no converter at $tarnel; build it first (cmake --preset release && cmake --build --preset release)" >&2
  exit 1
fi
if [[ ! -x /usr/bin/time ]]; then
  echo "/usr/bin/time is missing: apt-get install time (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tarnel" samples "$work/samples" >/dev/null
mkdir "$work/batch"
for ((i = 1; i <= copies; i++)); do
  for f in "$work"/samples/*; do
    cp "$f" "$work/batch/copy$(printf %02d "$i")-$(basename "$f")"
  done
done
files=$(find "$work/batch" -type f | wc -l)

cores=$(nproc)

# One run: wall seconds, CPU seconds (user and system) and peak resident
# kilobytes, from GNU time.
run() {
  local format=$1 out=$2 jobs=$3
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.$format" \
    "$tarnel" convert -j "$jobs" --format "$format" --out-dir "$out" "$work/batch" >/dev/null
  read -r seconds user system kilobytes <"$work/time.$format"
  echo "$seconds $(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }') $kilobytes"
}

read -r png_seconds png_cpu png_kb < <(run png "$work/png" 1)
read -r all_seconds all_cpu all_kb < <(run png "$work/png-all" "$cores")
read -r bmp_seconds bmp_cpu bmp_kb < <(run bmp "$work/bmp" 1)
if ! diff -r -q "$work/png" "$work/png-all" >/dev/null; then
  echo "the PNG files of 1 job and of $cores jobs differ" >&2
  exit 1
fi
png_files=$(find "$work/png" -name '*.png' | wc -l)
png_bytes=$(du -sb "$work/png" | cut -f1)

echo "files: $files ($copies copies of each of the twenty samples), converted: $png_files"
awk -v n="$files" -v s="$png_seconds" -v c="$png_cpu" -v kb="$png_kb" -v b="$png_bytes" 'BEGIN {
  printf "to PNG, 1 job: %.2f s (%.0f files/s), %.2f s of CPU (%.0f files per CPU second), peak resident %d KiB, %.1f KiB of PNG per file\n",
    s, n / s, c, n / c, kb, b / n / 1024 }'
awk -v n="$files" -v s="$all_seconds" -v c="$all_cpu" -v kb="$all_kb" -v j="$cores" -v one="$png_seconds" 'BEGIN {
  printf "to PNG, %d jobs (-j %d, all cores): %.2f s (%.0f files/s, %.2f x one job), %.2f s of CPU, peak resident %d KiB; the same files as 1 job\n",
    j, j, s, n / s, one / s, c, kb }'
awk -v n="$files" -v s="$bmp_seconds" -v c="$bmp_cpu" -v kb="$bmp_kb" 'BEGIN {
  printf "to BMP, 1 job: %.2f s (%.0f files/s), %.2f s of CPU (%.0f files per CPU second), peak resident %d KiB\n",
    s, n / s, c, n / c, kb }'
awk -v p="$png_cpu" -v b="$bmp_cpu" 'BEGIN {
  printf "PNG encoding, estimated as the PNG run less the BMP run (CPU time): %.1f%% of the PNG run\n", (p - b) * 100 / p }'
if command -v perf >/dev/null 2>&1 &&
  perf record -q -o "$work/perf.data" "$tarnel" convert -j 1 --out-dir "$work/png-perf" "$work/batch" \
    >/dev/null 2>&1; then
  perf report -i "$work/perf.data" --sort dso --stdio 2>/dev/null |
    awk '/^ +[0-9.]+%/ { share = $1; sub(/%/, "", share); total += share
                          if ($2 ~ /^lib(png|z)/) png += share }
         END { printf "PNG encoding, from perf samples in libpng and zlib: %.1f%% of the PNG run\n", png * 100 / total }'
fi
