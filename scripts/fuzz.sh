#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTARVIO_FUZZ=ON -DTARVIO_BUILD_TESTS=OFF -DTARVIO_BUILD_BENCH=OFF -DTARVIO_BUILD_TOOLS=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzz_formula_parser fuzz_address_parser fuzz_file_import
mkdir -p build-fuzz/corpus/formula build-fuzz/corpus/address build-fuzz/corpus/file
for target in formula_parser:formula address_parser:address file_import:file; do
  name=${target%%:*}; corpus=${target##*:}
  echo "fuzzing $name for ${seconds}s"
  build-fuzz/fuzz/fuzz_$name -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
    -artifact_prefix=build-fuzz/ build-fuzz/corpus/$corpus tests/fuzz-seeds/$corpus 2>&1 | tail -n 3
done
