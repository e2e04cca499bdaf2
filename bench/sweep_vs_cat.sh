#!/usr/bin/env bash
# Whole-image sweep and scan against cat on the same file, page cache warm.
#   bench/sweep_vs_cat.sh [SIZE_MIB] [RUNS]
# Builds vorsa-cli in build/release if needed, makes a file of random data
# there, and prints the best time of each over RUNS interleaved runs and the
# sweep's throughput as a share of cat's.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-1024}
runs=${2:-7}
cmake -S . -B build/release -G Ninja >/dev/null
cmake --build build/release --target vorsa-cli >/dev/null
image=build/release/bench-${size_mib}m.img
[ -f "$image" ] || head -c $((size_mib * 1048576)) /dev/urandom > "$image"
cat "$image" > /dev/null

# Wall time of a command in nanoseconds.
nanos() {
  local start
  start=$(date +%s%N)
  "$@" > /dev/null
  echo $(( $(date +%s%N) - start ))
}

best_cat=0 best_sweep=0 best_scan=0
for _ in $(seq "$runs"); do
  t=$(nanos cat "$image"); (( best_cat == 0 || t < best_cat )) && best_cat=$t
  t=$(nanos build/release/cli/vorsa-cli sweep "$image"); (( best_sweep == 0 || t < best_sweep )) && best_sweep=$t
  t=$(nanos build/release/cli/vorsa-cli scan "$image"); (( best_scan == 0 || t < best_scan )) && best_scan=$t
done
awk -v mib="$size_mib" -v runs="$runs" -v file="$image" -v c="$best_cat" -v s="$best_sweep" -v n="$best_scan" 'BEGIN {
  printf "file: %s (%d MiB), best of %d interleaved runs\n", file, mib, runs
  printf "cat:   %.3f s  %.0f MB/s\n", c / 1e9, mib * 1.048576e3 / (c / 1e6)
  printf "sweep: %.3f s  %.0f MB/s\n", s / 1e9, mib * 1.048576e3 / (s / 1e6)
  printf "scan:  %.3f s  %.0f MB/s\n", n / 1e9, mib * 1.048576e3 / (n / 1e6)
  printf "sweep throughput / cat throughput: %.0f %%\n", 100 * c / s
  printf "scan throughput / sweep throughput: %.0f %%\n", 100 * s / n
}'
