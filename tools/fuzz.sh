#!/usr/bin/env bash
# tools/fuzz.sh SECONDS: builds the libFuzzer targets with clang and runs each
# for SECONDS on its corpus (fuzz/<target>/corpus).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
# The libraries get coverage instrumentation so the fuzzer sees into them.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSONARIX_FUZZ=ON -DSONARIX_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONARIX_WERROR=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets
shopt -s nullglob
for bin in build-fuzz/fuzz/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  corpus=fuzz/${name#fuzz_}/corpus
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "-- $name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -print_final_stats=1 "$work" 2>&1 | tail -n 12
  rm -rf "$work"
done
