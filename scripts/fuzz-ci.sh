#!/usr/bin/env bash
# The short map-file fuzz run for CI: builds the fuzzer with clang in build-fuzz
# and runs it for FUZZ_SECONDS (60) from the kept corpus and the sample maps.
# Exits non-zero when the fuzzer finds an input that crashes, hangs or breaks
# one of its checks; the input is then left in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_FUZZ:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-2}

if [[ ! -f "$build/build.ninja" ]]; then
  CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKEST_TESTS=OFF -DKEST_FUZZ=ON
fi
cmake --build "$build" -j "$jobs" --target fuzz_mapfile

mkdir -p "$build/corpus" "$build/crashes"
seeds=()
for dir in fuzz/seeds tests/data; do
  [[ -d "$dir" ]] && seeds+=("$dir")
done

status=0
"$build/fuzz/fuzz_mapfile" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
  -rss_limit_mb=2048 -artifact_prefix="$build/crashes/" "$build/corpus" "${seeds[@]}" || status=$?

if [[ $status -ne 0 ]]; then
  echo "fuzz-ci: the map-file fuzzer failed (status $status); inputs kept:" >&2
  ls -l "$build/crashes" >&2 || true
  exit 1
fi
echo "fuzz-ci: no failure in ${seconds} s"
