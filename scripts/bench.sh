#!/usr/bin/env bash
# Builds the release binaries and times them (docs/performance.md explains
# the figures):
#
#   1. in-process: corvane_benchmarks, the link object against liblnk;
#   2. `corv X.lnk g` against `lnkinfo X.lnk` and `cat X.lnk`;
#   3. `corv X.lnk v` with 10 .. 10,000 shortcuts in the pin folder, none of
#      them a match, against read_floor, which only reads the same files;
#      peak memory (maximum resident set) of each.
#
# Every time is the median of repeated runs (hyperfine). Environment:
#   BENCH_DIR    where the pin folders go (default: a folder in /dev/shm, so
#                the pin's fsync and the page cache do not add disk noise)
#   COUNTS       pin counts (default "10 100 1000 10000")
#   RUNS_SCALE   multiplies every run count (default 1; 0.2 for a quick look)
#   SKIP_INPROC  set to skip part 1
#   CORVANE_SAMPLES_DIR  the sample shortcuts (default tests/data/lnk)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/packages.sh
need_packages cmake ninja-build g++ pkg-config libbenchmark-dev liblnk-dev libbfio-dev \
  liblnk-utils hyperfine time

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
corv=$root/build/bench/corv
floor=$root/build/bench/bench/read_floor
samples=${CORVANE_SAMPLES_DIR:-$root/tests/data/lnk}
given=$root/examples/Example.lnk
scale=${RUNS_SCALE:-1}

runs() { awk -v n="$1" -v s="$scale" 'BEGIN { r = int(n * s); print (r < 3 ? 3 : r) }'; }

echo "== machine"
echo "nproc: $(nproc)"
lscpu | grep -E '^(Model name|CPU\(s\)|Thread|Core|L[23])' || true
free -m | head -2
echo

if [ -z "${SKIP_INPROC:-}" ]; then
  echo "== 1. in-process reads (CPU time per read)"
  "$root/build/bench/bench/corvane_benchmarks" "$samples" --benchmark_min_time=0.2 \
    2>/dev/null | sed -n '/^CPU time per read/,$p'
  echo
fi

work=$(mktemp -d "${BENCH_DIR:-$( [ -d /dev/shm ] && echo /dev/shm || echo "$root/build")}/corvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# median_ms CSV-FILE ROW: hyperfine's median (seconds) of row ROW, in ms.
median_ms() { awk -F, -v row="$2" 'NR == row + 1 { printf "%.3f", $4 * 1000 }' "$1"; }

echo "== 2. corv X.lnk g against lnkinfo and cat (median wall time, ms)"
printf '%-24s %9s %9s %9s %12s %12s\n' sample corv lnkinfo cat corv/lnkinfo corv/cat
for name in sample.lnk sample3.lnk microsoft_example.lnk; do
  file=$samples/$name
  hyperfine -N --style none --warmup 50 --runs "$(runs 1000)" --export-csv "$work/g.csv" \
    "$corv $file g" "lnkinfo $file" "cat $file" >/dev/null 2>&1
  c=$(median_ms "$work/g.csv" 1); l=$(median_ms "$work/g.csv" 2); k=$(median_ms "$work/g.csv" 3)
  printf '%-24s %9s %9s %9s %12s %12s\n' "$name" "$c" "$l" "$k" \
    "$(awk -v a="$c" -v b="$l" 'BEGIN { printf "%.2f", a / b }')" \
    "$(awk -v a="$c" -v b="$k" 'BEGIN { printf "%.2f", a / b }')"
done
echo

echo "== 3. corv X.lnk v with N pins (median wall time, ms; peak RSS, KiB)"
printf '%7s %10s %10s %7s %12s %10s %10s\n' N corv floor ratio "corv us/pin" "corv RSS" "floor RSS"
export APPDATA=$work/appdata
pins="$APPDATA/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar"
# The pool: every sample whose target is not the given shortcut's (one
# pinned on its own must leave corv no match).
pool=()
for sample in "$samples"/*.lnk; do
  rm -rf "$APPDATA"; mkdir -p "$pins"; cp "$sample" "$pins/"
  if "$corv" "$given" v | grep -q "No matching icon found"; then pool+=("$sample"); fi
done
rm -rf "$APPDATA"
echo "(pins are copies of ${#pool[@]} of the samples)"
have=0
for count in ${COUNTS:-10 100 1000 10000}; do
  mkdir -p "$pins"
  # Copies of the samples under distinct names; the given shortcut's target
  # is none of theirs, so both searches walk the whole folder.
  while [ "$have" -lt "$count" ]; do
    cp "${pool[$((have % ${#pool[@]}))]}" "$pins/pin-$(printf '%05d' "$have")-$(basename "${pool[$((have % ${#pool[@]}))]}")"
    have=$((have + 1))
  done
  # v pins the given shortcut at the end; each run starts without it.
  printf 'rm -f "%s"/Example*.lnk\n' "$pins" >"$work/unpin.sh"
  unpin="sh $work/unpin.sh"
  r=$(runs $((count <= 100 ? 200 : count <= 1000 ? 40 : 10)))
  hyperfine -N --style none --warmup 3 --runs "$r" --prepare "$unpin" --export-csv "$work/v.csv" \
    "$corv $given v" >/dev/null 2>&1
  hyperfine -N --style none --warmup 3 --runs "$r" --export-csv "$work/f.csv" \
    "$floor '$pins'" >/dev/null 2>&1
  c=$(median_ms "$work/v.csv" 1); f=$(median_ms "$work/f.csv" 1)
  # Each run must have walked the whole folder, twice, and pinned.
  $unpin
  lines=$("$corv" "$given" v | wc -l)
  [ "$lines" -eq $((2 * count + 4)) ] || { echo "v printed $lines lines for $count pins" >&2; exit 1; }
  $unpin
  rss_corv=$( { /usr/bin/time -f '%M' "$corv" "$given" v >/dev/null; } 2>&1 | tail -1)
  $unpin
  rss_floor=$( { /usr/bin/time -f '%M' "$floor" "$pins" >/dev/null; } 2>&1 | tail -1)
  printf '%7s %10s %10s %7s %12s %10s %10s\n' "$count" "$c" "$f" \
    "$(awk -v a="$c" -v b="$f" 'BEGIN { printf "%.2f", a / b }')" \
    "$(awk -v a="$c" -v n="$count" 'BEGIN { printf "%.1f", a * 1000 / n }')" "$rss_corv" "$rss_floor"
done
