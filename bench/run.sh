#!/usr/bin/env bash
# Times the console programs against cat, wc -l, grep and ripgrep on inputs
# from bench/make_inputs and prints one table: ratios of median wall times
# from the same rounds, peak memory, start-up on two-line files; then the
# viewer's benchmark. A missed goal is reported and leaves the exit status
# alone; a program that fails or writes a wrong result makes it non-zero.
# The multi-gigabyte checks are `ctest --preset huge`'s, not repeated here.
#
#   bench/run.sh
#
# Environment:
#   BENCH_DIR        where the scratch folder goes (default $TMPDIR or /tmp);
#                    it needs about 3.5 GiB and is removed at the end
#   BENCH_RUNS       timed runs per command on the 1 GiB inputs (default 15)
#   BENCH_TINY_RUNS  timed runs per command on the two-line inputs (default 1000)
#   BENCH_SIZE       size of the large inputs (default 1G; the goals are for 1G)
#   BENCH_TABLES_SIZE  size of the result file of tables only, where most of
#                    the file is copied out (default 256M; the goals are for it)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${BENCH_RUNS:-15}
tiny_runs=${BENCH_TINY_RUNS:-1000}
size=${BENCH_SIZE:-1G}
tables_size=${BENCH_TABLES_SIZE:-256M}
header='#  num    reg     volume'

die() {
  printf 'bench: %s\n' "$*" >&2
  exit 1
}
for tool in cmake hyperfine python3 /usr/bin/time grep wc; do
  command -v "$tool" >/dev/null || die "$tool is missing; scripts/install-deps.sh installs it"
done
have_rg=0
command -v rg >/dev/null && have_rg=1

base=${BENCH_DIR:-${TMPDIR:-/tmp}}
mkdir -p "$base"
work=$(mktemp -d "$base/tools-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

cpu=$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(uname -sr)"
echo "Load:    $(cut -d ' ' -f 1-3 /proc/loadavg) (1, 5, 15 min) at the start"
echo "Tools:   $(hyperfine --version), $(grep --version | head -n 1)$([ $have_rg = 1 ] && echo ", $(rg --version | head -n 1)")"

printf '== building the release-tests preset\n' >&2
if ! { cmake --preset release-tests && cmake --build --preset release-tests; } >"$work/log" 2>&1; then
  cat "$work/log" >&2
  die "the release-tests build failed"
fi
bin=$root/build/release-tests
vt=$bin/volume_table/volume_table
lc=$bin/line_tools/line_count
pc=$bin/line_tools/point_count

rows=()
wrong=()
row() { rows+=("$1"$'\t'"$2"$'\t'"$3"$'\t'"$4"); }
mark_wrong() {
  printf 'bench: WRONG: %s\n' "$*" >&2
  wrong+=("$*")
}

# time_rounds DIR SHELL RUNS COMMAND...: sets `m` to each command's median
# wall time over RUNS runs in DIR, spread over rounds of alternating order:
# other work on a shared machine comes in bursts, which one long block per
# command would charge to whichever ran then.
time_rounds() {
  local dir=$1 shell=$2 total=$3 i order jsons=()
  shift 3
  for ((i = 0; i < 4; i++)); do
    order=("$@")
    if ((i % 2 == 1)); then
      mapfile -t order < <(printf '%s\n' "$@" | tac)
    fi
    jsons+=("$work/round.$i.json")
    if ! (cd "$dir" && hyperfine --style none "$shell" --warmup 1 --runs $(((total + 3) / 4)) \
      --export-json "$work/round.$i.json" "${order[@]}") >"$work/log" 2>&1; then
      cat "$work/log" >&2
      mark_wrong "hyperfine in $dir: a command failed"
      return 1
    fi
  done
  mapfile -t m < <(python3 - "$#" "$@" "${jsons[@]}" <<'PY'
import json, statistics, sys
n = int(sys.argv[1])
commands, exports = sys.argv[2:2 + n], sys.argv[2 + n:]
times = {c: [] for c in commands}
for path in exports:
    for result in json.load(open(path))["results"]:
        times[result["command"]].extend(result["times"])
for c in commands:
    print(statistics.median(times[c]))
PY
  )
}

# ratio_row WHAT I J GOAL: the ratio of m[I] to m[J], against GOAL.
ratio_row() {
  local r
  r=$(awk -v a="${m[$2]}" -v b="${m[$3]}" 'BEGIN { printf "%.3f", a / b }')
  row "$1" "${r}x ($(awk -v a="${m[$2]}" -v b="${m[$3]}" \
    'BEGIN { printf (b < 0.01 ? "%.2f / %.2f ms" : "%.0f / %.0f ms"), a * 1000, b * 1000 }'))" \
    "${4:--}" "$([ -z "${4:-}" ] && echo - || awk -v r="$r" -v g="${4#<= }" \
      'BEGIN { print (r <= g + 0) ? "PASS" : "MISS" }')"
}

# peak_row WHAT DIR GOAL_MIB COMMAND...: the largest peak RSS of three runs.
peak_row() {
  local what=$1 dir=$2 goal=$3 kib=0 one
  shift 3
  for _ in 1 2 3; do
    if ! (cd "$dir" && /usr/bin/time -f %M -o "$work/rss" "$@" >"$work/rss.out" 2>&1); then
      mark_wrong "$* in $dir failed: $(head -c 300 "$work/rss.out")"
      return
    fi
    one=$(tail -n 1 "$work/rss")
    kib=$((one > kib ? one : kib))
  done
  row "$what" "$(awk -v k="$kib" 'BEGIN { printf "%.1f MiB", k / 1024 }')" \
    "$([ "$goal" = - ] && echo - || echo "<= $goal MiB")" \
    "$([ "$goal" = - ] && echo - || { [ "$kib" -le $((goal * 1024)) ] && echo PASS || echo MISS; })"
}

# same WHAT EXPECTED ACTUAL: a wrong result unless the files are equal.
same() { cmp -s "$2" "$3" || mark_wrong "$1"; }

# same_as_grep DIR: volume_table's tables in DIR against grep's and rg's. The
# inputs keep blank lines out of their tables, so the tables are what grep
# -A6 prints, but for the separators and the whitespace moved.
same_as_grep() {
  local d=$work/$1
  grep -v -x -e -- "$d/grep.out" | tr -d ' \t' >"$d/grep.tables"
  tr -d ' \t' <"$d/sumtallyres.tmp" >"$d/vt.tables"
  same "volume_table's tables in $1 differ from grep -F -A6's" "$d/grep.tables" "$d/vt.tables"
  [ $have_rg = 0 ] || same "rg -F -A6 and grep -F -A6 differ in $1" "$d/grep.out" "$d/rg.out"
  rm -f "$d"/*.tables
}

printf '== writing the inputs in %s\n' "$work" >&2
mkdir -p "$work"/{big,tables,text,one,tiny}
"$bin/bench/make_inputs" result "$work/big/result.out" "$size"
"$bin/bench/make_inputs" tables "$work/tables/result.out" "$tables_size"
"$bin/bench/make_inputs" text "$work/text/lines.txt" "$size"
"$bin/bench/make_inputs" oneline "$work/one/result.out" 256M
printf 'Two-line result file\n  %s\n' "$header" >"$work/tiny/result.out"
for d in big tables one tiny; do printf 'result.out\n' >"$work/$d/sumtalpart.tmp"; done
ln "$work/text/lines.txt" "$work/text/shieldmat.tmp"
ln "$work/text/lines.txt" "$work/text/runphits.bat"
ln "$work/one/result.out" "$work/one/shieldmat.tmp"
cp "$work/tiny/result.out" "$work/tiny/shieldmat.tmp"
cp "$work/tiny/result.out" "$work/tiny/runphits.bat"
# Gigabytes just written are still being flushed to disk; timing during
# that writeback measured start-up four times slower.
sync
echo "Inputs:  result file $(stat -c %s "$work/big/result.out") bytes," \
  "$(grep -c -F -e "$header" "$work/big/result.out") volume tables;" \
  "tables file $(stat -c %s "$work/tables/result.out") bytes;" \
  "text $(stat -c %s "$work/text/lines.txt") bytes, $(wc -l <"$work/text/lines.txt") newlines"
echo

printf '== volume_table, %s result file (%s runs each)\n' "$size" "$runs" >&2
cat "$work/big/result.out" >/dev/null
q() { printf '%q' "$1"; }
commands=("$(q "$vt")" "cat result.out" "wc -l result.out"
  "LC_ALL=C grep -F -A6 '$header' result.out > grep.out")
[ $have_rg = 1 ] && commands+=("rg -F -A6 --no-mmap '$header' result.out > rg.out")
if time_rounds "$work/big" --shell=sh "$runs" "${commands[@]}"; then
  ratio_row "volume_table / cat > /dev/null" 0 1 "<= 1.10"
  ratio_row "volume_table / wc -l" 0 2 "<= 1.25"
  ratio_row "volume_table / grep -F -A6 > file" 0 3 "<= 0.5"
  [ $have_rg = 1 ] && ratio_row "volume_table / rg -F -A6 --no-mmap > file" 0 4 "<= 0.8"
  same_as_grep big
fi

# Mostly tables: the cost of the copy itself, every tool writing about as
# much as it reads to a file in the same folder.
printf '== volume_table, %s result file of tables, output to a file (%s runs each)\n' \
  "$tables_size" "$runs" >&2
cat "$work/tables/result.out" >/dev/null
commands=("$(q "$vt")" "cat result.out > cat.out"
  "LC_ALL=C grep -F -A6 '$header' result.out > grep.out")
[ $have_rg = 1 ] && commands+=("rg -F -A6 --no-mmap '$header' result.out > rg.out")
if time_rounds "$work/tables" --shell=sh "$runs" "${commands[@]}"; then
  ratio_row "volume_table / cat > file, tables" 0 1
  ratio_row "volume_table / grep -F -A6 > file, tables" 0 2 "<= 0.9"
  [ $have_rg = 1 ] && ratio_row "volume_table / rg --no-mmap > file, tables" 0 3 "<= 0.9"
  same_as_grep tables
fi

# A hand-off file of one 256 MiB line names no file: it is read only as far
# as a path can reach.
printf '== volume_table, 256 MiB one-line sumtalpart.tmp (%s runs each)\n' "$runs" >&2
mkdir -p "$work/handoff"
ln "$work/one/result.out" "$work/handoff/sumtalpart.tmp"
if time_rounds "$work/handoff" -N "$runs" "$(q "$vt")" "wc -l sumtalpart.tmp"; then
  ratio_row "volume_table / wc -l, 256 MiB sumtalpart.tmp" 0 1 "<= 3"
fi

printf '== line_count and point_count, %s text (%s runs each)\n' "$size" "$runs" >&2
cat "$work/text/lines.txt" >/dev/null
if time_rounds "$work/text" -N "$runs" "$(q "$lc")" "$(q "$pc")" "cat lines.txt" "wc -l lines.txt"; then
  ratio_row "line_count / cat > /dev/null" 0 2
  ratio_row "line_count / wc -l" 0 3 "<= 1.1"
  ratio_row "point_count / wc -l" 1 3 "<= 1.1"
  # The last line has no newline, and counts.
  lines=$(($(wc -l <"$work/text/lines.txt") + 1))
  same "line_count's count is not $lines" <(printf '%s' "$lines") "$work/text/linecounts.tmp"
  same "point_count's count is not $((lines / 5))" <(printf '%s' $((lines / 5))) \
    "$work/text/dynamics_points.tmp"
fi

printf '== start-up on two-line files (%s runs each)\n' "$tiny_runs" >&2
if time_rounds "$work/tiny" -N "$tiny_runs" "$(q "$vt")" "$(q "$lc")" "$(q "$pc")" \
  "wc -l result.out"; then
  ratio_row "volume_table / wc -l, start-up" 0 3 "<= 1.0"
  ratio_row "line_count / wc -l, start-up" 1 3 "<= 1.0"
  ratio_row "point_count / wc -l, start-up" 2 3 "<= 1.0"
  same "volume_table's table of the two-line file" <(printf '   %s\n' "$header") \
    "$work/tiny/sumtallyres.tmp"
  same "line_count's count of the two-line file" <(printf 2) "$work/tiny/linecounts.tmp"
fi
load_after_timing=$(cut -d ' ' -f 1-3 /proc/loadavg)

printf '== peak memory\n' >&2
peak_row "peak RSS volume_table, result file" "$work/big" 32 "$vt"
peak_row "peak RSS volume_table, tables" "$work/tables" 32 "$vt"
peak_row "peak RSS volume_table, 256 MiB single line" "$work/one" 32 "$vt"
peak_row "peak RSS volume_table, 256 MiB sumtalpart.tmp" "$work/handoff" 32 "$vt"
peak_row "peak RSS line_count, text" "$work/text" 32 "$lc"
peak_row "peak RSS line_count, 256 MiB single line" "$work/one" 32 "$lc"
peak_row "peak RSS grep -F -A6, result file" "$work/big" - \
  sh -c "LC_ALL=C grep -F -A6 '$header' result.out > grep.out"
[ $have_rg = 1 ] && peak_row "peak RSS rg -F -A6 --no-mmap, result file" "$work/big" - \
  sh -c "rg -F -A6 --no-mmap '$header' result.out > rg.out"

printf '%-44s  %-28s  %-11s  %s\n' check measured goal result ----- -------- ---- ------
for r in "${rows[@]}"; do
  IFS=$'\t' read -r what value goal result <<<"$r"
  printf '%-44s  %-28s  %-11s  %s\n' "$what" "$value" "$goal" "$result"
done
echo "Load:    $load_after_timing (1, 5, 15 min) after the timings, which keep one core busy"
if awk -v l="${load_after_timing%% *}" 'BEGIN { exit !(l > 1.5) }'; then
  echo "Warning: other work was running; timings, above all start-up, may be off. Rerun when idle."
fi

rm -rf "$work"/{big,tables,text,one,handoff}
viewer_bench=$bin/bench/script_view/script_view_bench
echo
if [ -x "$viewer_bench" ]; then
  echo "script_view_bench:"
  # Without a display the viewer can still draw off screen.
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
  fi
  (cd "$work" && "$viewer_bench") || mark_wrong "script_view_bench exited non-zero"
else
  echo "script_view_bench: not built (needs Qt and Google Benchmark), skipped"
fi

if [ ${#wrong[@]} -gt 0 ]; then
  printf '\nWrong results:\n'
  printf '  %s\n' "${wrong[@]}"
  exit 1
fi
