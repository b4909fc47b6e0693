#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given number of seconds
# (default 60), one job each, starting from the sample shortcuts.
#
#   scripts/fuzz.sh [seconds]
#
# The corpus grows in build/fuzz/corpus/<target> and is kept between runs;
# an input that crashes is written to build/fuzz/artifacts/ and the script
# fails. Sample shortcuts come from $CORVANE_SAMPLES_DIR, else tests/data/lnk.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake ninja-build clang-14 libclang-rt-14-dev

seconds=${1:-60}
samples=${CORVANE_SAMPLES_DIR:-tests/data/lnk}
build=build/fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target link_load_fuzzer link_save_fuzzer

# The seeds: the sample shortcuts and the bundled examples, copied afresh.
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds" "$build/artifacts"
cp "$samples"/*.lnk examples/*.lnk "$seeds"/

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
for fuzzer in link_load_fuzzer link_save_fuzzer; do
  corpus=$build/corpus/$fuzzer
  mkdir -p "$corpus"
  echo "== $fuzzer for ${seconds}s" >&2
  log=$build/$fuzzer.log
  if ! "$build/fuzz/$fuzzer" -max_len=65536 -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$fuzzer-" "$corpus" "$seeds" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "$fuzzer failed; the input is in $build/artifacts/" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done ' "$log" >&2 || true
  echo "corpus: $(ls "$corpus" | wc -l) inputs" >&2
done
