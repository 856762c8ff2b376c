#!/usr/bin/env bash
# Fuzzes each libFuzzer target of fuzz/ for a bounded time, FUZZ_SECONDS (60
# by default) each, when clang is present. Each run starts from the seed
# corpus in fuzz/corpus/<target>/ and writes what it finds to a fresh
# directory under build/fuzz/runs/. An input that crashes a target, leaks or
# hangs is copied into fuzz/corpus/<target>/, where every later build replays
# it as a failing test; the script then exits 1.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
targets=(clean_path table_scan line_count)

if ! command -v clang++ >/dev/null 2>&1; then
  echo "run-fuzzers: clang++ not found, nothing fuzzed" >&2
  exit 0
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# Path lines are short, and std::regex is slow on long ones; a table line
# needs only to outgrow the small blocks and retain limits the target picks.
declare -A max_len=([clean_path]=512 [table_scan]=2048 [line_count]=4096)

runs="build/fuzz/runs/$(date +%Y%m%d-%H%M%S)-$$"
status=0
for target in "${targets[@]}"; do
  out="$runs/$target"
  mkdir -p "$out/corpus" "$out/artifacts"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -max_len="${max_len[$target]}" -artifact_prefix="$out/artifacts/")
  if [ -f "fuzz/$target.dict" ]; then
    args+=(-dict="fuzz/$target.dict")
  fi
  echo "run-fuzzers: $target, ${seconds} s, log in $out/log"
  if build/fuzz/fuzz/"fuzz_$target" "${args[@]}" "$out/corpus" "fuzz/corpus/$target" \
      >"$out/log" 2>&1; then
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/log")
    found=$(sed -n 's/^stat::new_units_added: *//p' "$out/log")
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$out/log")
    cov=$(grep -o 'cov: [0-9]*' "$out/log" | tail -n 1)
    echo "run-fuzzers: $target: ${execs:-?} runs, ${cov:-cov: ?}, ${found:-?} new inputs, peak ${rss:-?} MB"
    continue
  fi
  status=1
  echo "run-fuzzers: $target FAILED; the end of its log:" >&2
  tail -n 40 "$out/log" >&2
  for artifact in "$out"/artifacts/{crash,leak,timeout,oom}-*; do
    [ -e "$artifact" ] || continue
    cp "$artifact" "fuzz/corpus/$target/"
    echo "run-fuzzers: kept fuzz/corpus/$target/$(basename "$artifact")" >&2
  done
done
exit "$status"
