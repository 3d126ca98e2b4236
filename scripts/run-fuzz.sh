#!/usr/bin/env bash
# Builds the fuzz targets of the log readers and the DBC parser with clang (fuzz/) and runs each
# for FUZZ_SECONDS seconds (default 60) on its seed corpus, fuzz/corpus/<name>/.
# New inputs go to build-fuzz/corpus/<name>/, crashes to build-fuzz/crashes/<name>/.
# Prints one line per target; fails when a target finds a fault.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
cmake --build "$build" >/dev/null

status=0
for seeds in fuzz/corpus/*/; do
  name=$(basename "$seeds")
  # The log formats' targets are fuzz_<name>_log; the DBC parser's is fuzz_dbc.
  target="fuzz_${name}_log"
  [[ -x "$build/$target" ]] || target="fuzz_${name}"
  work="$build/corpus/$name"
  crashes="$build/crashes/$name"
  output="$build/$target.log"
  mkdir -p "$work" "$crashes"
  # Inputs of at most 4 KiB: an allocation above 64 MiB can only follow a
  # length taken on trust from the input.
  if "$build/$target" -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=64 \
      -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "$seeds" >"$output" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$output")
    echo "$target: ${runs:-?} executions in $seconds s, corpus $(ls "$work" | wc -l) inputs, no fault"
  else
    status=1
    echo "$target: FAULT, see $output and $crashes/" >&2
    grep -E 'ERROR|SUMMARY|log fuzzing' "$output" | head -20 >&2 || true
  fi
done
exit $status
