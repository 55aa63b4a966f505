#!/usr/bin/env bash
# Times s19cut against the cost of writing its output and against objcopy and srec_cat.
#   bench/run.sh              build the release tool, then measure (about 20 seconds)
#   bench/run.sh --quick      a small input and one run each: proves the benchmark works, judges nothing
#   --exe PATH                measure this s19cut instead of building one
#   BENCH_DIR=DIR             work there (default /dev/shm); BENCH_VERBOSE=1 shows every run
# Medians of user+system cpu time over several runs after a warm-up. Each run starts after a sync, so
# it doesn't pay for writing back or freeing the files of the run before.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
quick=0
exe=
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --exe) exe=$(realpath "$2"); shift ;;
    *) echo "usage: bench/run.sh [--quick] [--exe PATH]" >&2; exit 2 ;;
  esac
  shift
done
if [ -z "$exe" ]; then
  cmake --preset demo >/dev/null
  cmake --build --preset demo --target s19cut >/dev/null
  exe=$root/build/demo/s19cut
fi
[ -x /usr/bin/time ] || { echo "bench: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }

# The largest input the benchmark was set for: 259 blocks, the last one 32767 bytes.
size=8486911 runs=11 warmup=2
[ $quick = 1 ] && size=100000 runs=1 warmup=0

# In memory where possible: on disk, creating 259 files costs 3 times more in one folder than in another
# (seen on ext4 here), which drowns the conversion being measured. BENCH_DIR=/tmp measures on disk.
dir=${BENCH_DIR:-/dev/shm}
[ -d "$dir" ] && [ -w "$dir" ] || dir=${TMPDIR:-/tmp}
work=$(mktemp -d "$dir/s19cut-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Deterministic bytes: a 32-bit xorshift, written in one pass.
perl -e 'my ($n, $x) = (shift, 2463534242); my $s = "";
  for (1 .. $n) { $x ^= ($x << 13) & 0xFFFFFFFF; $x ^= $x >> 17; $x ^= ($x << 5) & 0xFFFFFFFF; $s .= chr($x & 0xFF) }
  print $s' "$size" > input.bin
head -c 1000 input.bin > small.bin

fail() { cat err.txt >&2; echo "bench: $* failed" >&2; exit 1; }
# One timed run: prints its cpu seconds (to the millisecond); setup and cleanup stay outside the timing.
measure() {
  local TIMEFORMAT='%3U %3S'
  { time "$@" >/dev/null 2>err.txt; } 2>time.txt || fail "$@"
  awk '{ printf "%.3f\n", $1 + $2 }' time.txt
}
# Peak resident memory of one run, in KB.
peak_kb() {
  /usr/bin/time -f '%M' -o time.txt "$@" >/dev/null 2>err.txt || fail "$@"
  cat time.txt
}

declare -A median
run_case() {  # name, setup command, timed command...
  local name=$1 setup=$2; shift 2
  local cpus=() i
  for ((i = 0; i < warmup + runs; i++)); do
    eval "$setup"
    cpu=$(measure "$@")
    [ $i -ge $warmup ] && cpus+=("$cpu")
    [ -n "${BENCH_VERBOSE:-}" ] && echo "$name run $i: $cpu" >&2
  done
  median[$name]=$(printf '%s\n' "${cpus[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
}

mkdir -p blocks
ln -s ../input.bin blocks/in.bin
run_case s19cut 'rm -f blocks/*.S19; sync' "$exe" -fblocks/in.bin
files=$(ls blocks/*.S19 | wc -l)
run_case cp 'rm -rf copy; mkdir copy; sync' cp $(ls blocks/*.S19) copy/
run_case objcopy 'rm -f out.srec; sync' objcopy -I binary -O srec --srec-len=32 --change-section-address .data=0x2300 \
  input.bin out.srec
if command -v srec_cat >/dev/null; then
  run_case srec_cat 'rm -f out.srec; sync' srec_cat input.bin -binary -offset 0x2300 -o out.srec -motorola -data-only
fi

mem_small=$(peak_kb "$exe" -fsmall.bin)
mem_large=$(peak_kb "$exe" -fblocks/in.bin)

echo "input: $size bytes -> $files block files in $dir; median cpu time (user+system) of $runs runs after $warmup warm-up"
printf '%-44s %10s %14s\n' "command" "cpu s" "s19cut / it"
row() { printf '%-44s %10s %14s\n' "$1" "${median[$2]}" "$(awk -v a="${median[s19cut]}" -v b="${median[$2]}" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')"; }
row "(a) s19cut" s19cut
row "(b) cp of the block files (the floor)" cp
row "(c) objcopy -O srec" objcopy
[ -n "${median[srec_cat]:-}" ] && row "(d) srec_cat -motorola" srec_cat
echo "s19cut peak resident memory: $mem_small KB on 1000 bytes, $mem_large KB on $size bytes"

[ $quick = 1 ] && { echo "quick run: times not judged"; exit 0; }
verdict() { if awk "BEGIN { exit !($2) }"; then echo "met:    $1"; else echo "MISSED: $1"; missed=1; fi; }
missed=0
a=${median[s19cut]}
verdict "(a) <= 1.3 x (b)" "$a <= 1.3 * ${median[cp]}"
verdict "(a) <= 0.8 x (c)" "$a <= 0.8 * ${median[objcopy]}"
[ -n "${median[srec_cat]:-}" ] && verdict "(a) <= 1/8 x (d)" "$a * 8 <= ${median[srec_cat]}"
verdict "peak memory <= 2 MiB on both inputs" "$mem_small <= 2048 && $mem_large <= 2048"
exit $missed
