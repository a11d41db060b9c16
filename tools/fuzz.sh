#!/usr/bin/env bash
# tools/fuzz.sh SECONDS: builds the libFuzzer targets with clang and runs each
# for SECONDS on its corpus (fuzz/<target>/corpus).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
CC=clang CXX=clang++ tools/build.sh build-fuzz -DSONARIX_FUZZ=ON -DSONARIX_BENCH=OFF \
  -DSONARIX_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
shopt -s nullglob
for bin in build-fuzz/fuzz/*/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  corpus=fuzz/${name#fuzz_}/corpus
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "-- $name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -print_final_stats=1 "$work" 2>&1 | tail -n 12
  rm -rf "$work"
done
