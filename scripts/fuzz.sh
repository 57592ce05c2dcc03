#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 20).
# Any finding (a crash, a sanitizer's report, a leak, an input that runs past
# its time limit or its memory limit) fails the run. Everything a run leaves,
# corpora, logs and the inputs of findings, stays in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
out=build-fuzz
cmake -S . -B $out -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTARVIO_FUZZ=ON -DTARVIO_BUILD_TESTS=OFF -DTARVIO_BUILD_BENCH=OFF -DTARVIO_BUILD_TOOLS=OFF >/dev/null
cmake --build $out -j2 --target fuzz_formula_parser fuzz_formula_evaluator fuzz_address_parser fuzz_file_import
mkdir -p $out/artifacts $out/logs

# Formulas get a dictionary: the tokens of fuzz/formula.dict and every function the registry knows.
{
  cat fuzz/formula.dict
  grep -ho '{"[A-Z][A-Z0-9.]*", *-\?[0-9]' workbook/functions/*.cpp | sed 's/{"\([^"]*\)".*/"\1("/' | sort -u
} > $out/formula.dict

# Undefined behaviour is a finding too, not a line in the log.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

failed=()
# target:seeds:longest input in bytes:time limit per input in seconds
for target in formula_parser:formula:4096:10 formula_evaluator:formula:4096:5 address_parser:address:256:10 \
            file_import:file:16384:10; do
  IFS=: read -r name seeds length limit <<< "$target"
  dictionary=()
  [[ $seeds == formula ]] && dictionary=(-dict=$out/formula.dict)
  mkdir -p $out/corpus/$name
  log=$out/logs/$name.log
  echo "fuzzing $name for ${seconds}s"
  if $out/fuzz/fuzz_$name -max_total_time="$seconds" -max_len="$length" -timeout="$limit" -rss_limit_mb=2048 \
       "${dictionary[@]}" -artifact_prefix=$out/artifacts/$name- $out/corpus/$name tests/fuzz-seeds/$seeds \
       >"$log" 2>&1; then
    grep -E '^#[0-9]+' "$log" | tail -n 1
  else
    failed+=("$name")
    tail -n 40 "$log"
  fi
done
if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]} (inputs in $out/artifacts/, logs in $out/logs/)"
  exit 1
fi
