#!/usr/bin/env bash
# Measures the console programs against wc and grep on synthetic inputs and
# prints one table of measured values against their goals. A missed goal is
# reported and leaves the exit status alone; a program that fails or writes a
# wrong result makes it non-zero. Ends with the huge-input checks.
#
#   bench/run.sh
#
# Environment:
#   BENCH_DIR        where the scratch folder goes (default $TMPDIR or /tmp);
#                    it needs about 3.5 GiB and is removed at the end
#   BENCH_RUNS       timed runs per command on the 1 GiB inputs (default 15)
#   BENCH_TINY_RUNS  timed runs per command on the two-line inputs (default 1500)
#   BENCH_SKIP_HUGE  set to 1 to leave out `ctest --preset huge`
# The runs are spread over rounds of alternating order, and a ratio is of
# two medians over the same rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

runs=${BENCH_RUNS:-15}
tiny_runs=${BENCH_TINY_RUNS:-1500}
header='#  num    reg     volume'
goal_rss_kib=$((32 * 1024))

die() {
  printf 'bench: %s\n' "$*" >&2
  exit 1
}
note() { printf '== %s\n' "$*" >&2; }

for tool in cmake ctest hyperfine python3 /usr/bin/time grep sed wc od; do
  command -v "$tool" >/dev/null || die "$tool is missing; scripts/install-deps.sh installs it"
done

base=${BENCH_DIR:-${TMPDIR:-/tmp}}
mkdir -p "$base"
work=$(mktemp -d "$base/tools-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work/log

# Runs a build step with its chatter in the log, shown only when it fails.
quietly() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    die "failed: $*"
  fi
}

free_kib() { df -Pk "$1" | awk 'NR == 2 { print $4 }'; }
[ "$(free_kib "$work")" -ge $((4 * 1024 * 1024)) ] || die "$work needs about 4 GiB free"

# ---------------------------------------------------------------- machine
cpu=$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo)
mem=$(awk '/^MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
echo "Machine: $(hostname), ${cpu:-unknown CPU}, $(nproc) cores, $mem, $(uname -sr)"
load_at_start=$(cut -d ' ' -f 1-3 /proc/loadavg)
echo "Load:    $load_at_start (1, 5, 15 min) at the start"
echo "Tools:   $(wc --version | head -n 1), $(grep --version | head -n 1), $(hyperfine --version)"

# ---------------------------------------------------------------- build
note "building the release preset"
quietly cmake --workflow --preset release
bin=$root/build/release
vt=$bin/volume_table/volume_table
lc=$bin/line_tools/line_count
pc=$bin/line_tools/point_count
gen=$bin/bench/make_inputs
{ [ -x "$vt" ] && [ -x "$gen" ]; } || die "the release build made no volume_table or make_inputs"
have_lc=0
have_pc=0
[ -x "$lc" ] && have_lc=1
[ -x "$pc" ] && have_pc=1

# ---------------------------------------------------------------- results
rows=()
wrong=()
row() { rows+=("$1"$'\t'"$2"$'\t'"$3"$'\t'"$4"); }
mark_wrong() {
  printf 'bench: WRONG: %s\n' "$*" >&2
  wrong+=("$*")
}
# PASS when value <= goal.
verdict() { awk -v v="$1" -v g="$2" 'BEGIN { print (v <= g) ? "PASS" : "MISS" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
ms() { awk -v s="$1" 'BEGIN { printf (s < 0.01 ? "%.3f ms" : "%.1f ms"), s * 1000 }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
# Shell-quoted, for hyperfine, which splits its commands into words itself.
q() { printf '%q' "$1"; }

# time_rounds DIR ROUNDS TOTAL_RUNS WARMUP SHELL COMMAND...: runs hyperfine
# in DIR ROUNDS times and sets the array `m` to each command's median wall
# time over the runs of all rounds. Every other round reverses the order of
# the commands: other work on a shared machine comes in bursts of seconds,
# which one long block per command would charge to whichever ran then. A
# command that exits non-zero fails the run, which counts as a wrong result.
time_rounds() {
  local dir=$1 rounds=$2 total=$3 warmup=$4 shell=$5 i j per_round
  shift 5
  local commands=("$@") order jsons=()
  per_round=$(((total + rounds - 1) / rounds))
  m=()
  for ((i = 0; i < rounds; i++)); do
    order=("${commands[@]}")
    if ((i % 2 == 1)); then
      order=()
      for ((j = ${#commands[@]} - 1; j >= 0; j--)); do order+=("${commands[j]}"); done
    fi
    jsons+=("$work/round.$i.json")
    if ! (cd "$dir" && hyperfine --style none "$shell" --warmup "$warmup" --runs "$per_round" \
      --export-json "$work/round.$i.json" "${order[@]}") >"$log" 2>&1; then
      cat "$log" >&2
      mark_wrong "hyperfine in $dir: a command failed"
      return 1
    fi
  done
  mapfile -t m < <(python3 - "${#commands[@]}" "${commands[@]}" "${jsons[@]}" <<'PY'
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

# peak_kib DIR OUT COMMAND...: sets `kib` to the largest max RSS of three
# runs in DIR, with standard output to OUT. Not for $(...): a failure has to
# reach `wrong` in this shell.
peak_kib() {
  local dir=$1 out=$2 one
  shift 2
  kib=0
  for _ in 1 2 3; do
    if ! (cd "$dir" && /usr/bin/time -f %M -o "$work/rss" "$@" >"$out" 2>"$work/rss.err"); then
      mark_wrong "$* in $dir exited non-zero: $(cat "$work/rss.err")"
      return
    fi
    one=$(tail -n 1 "$work/rss")
    if [ "$one" -gt "$kib" ]; then
      kib=$one
    fi
  done
}

# rss_row WHAT DIR COMMAND...: a peak-memory row against the 32 MiB goal.
rss_row() {
  local what=$1 dir=$2
  shift 2
  peak_kib "$dir" /dev/null "$@"
  row "$what" "$(mib "$kib")" "<= 32 MiB" "$(verdict "$kib" "$goal_rss_kib")"
}

# run_checked DIR PROGRAM: runs it once in DIR; it must exit 0 and print nothing.
run_checked() {
  local dir=$1 program=$2
  if ! (cd "$dir" && "$program" >"$work/run.out" 2>"$work/run.err"); then
    mark_wrong "$(basename "$program") in $dir exited non-zero: $(cat "$work/run.err")"
    return 1
  fi
  if [ -s "$work/run.out" ] || [ -s "$work/run.err" ]; then
    mark_wrong "$(basename "$program") in $dir printed: $(cat "$work/run.out" "$work/run.err")"
    return 1
  fi
}

# check_tables DIR MIN_TABLES: volume_table's output against grep's view of
# the same file: the lines after the first, each header with the six lines
# after it (the inputs keep tables free of blank lines, where the two would
# differ), leading whitespace dropped and three spaces before the header's '#'.
checked_tables=0
check_tables() {
  local dir=$1 min=$2 tables
  rm -f "$dir/sumtallyres.tmp"
  run_checked "$dir" "$vt" || return 0
  tail -n +2 "$dir/result.out" | LC_ALL=C grep -a -F -A6 -e "$header" |
    LC_ALL=C sed -e '/^--$/d' -e 's/^[[:space:]]*//' -e "/$header/s/#/   #/" >"$dir/expected" || true
  tables=$(LC_ALL=C grep -c -F -e "$header" "$dir/expected" || true)
  if [ "$tables" -lt "$min" ]; then
    mark_wrong "$dir/result.out holds $tables volume tables, expected at least $min"
  elif ! cmp -s "$dir/expected" "$dir/sumtallyres.tmp"; then
    mark_wrong "volume_table's sumtallyres.tmp in $dir differs from the grep-derived tables"
  fi
  checked_tables=$((checked_tables + 1))
}

# Lines as the line tools count them: a last line without a newline counts.
count_lines() {
  local n
  n=$(wc -l <"$1")
  if [ -s "$1" ] && [ "$(tail -c 1 "$1" | od -An -tx1 | tr -d ' \n')" != 0a ]; then
    n=$((n + 1))
  fi
  echo "$n"
}

# check_value DIR PROGRAM OUTPUT EXPECTED: exactly the digits, no newline.
checked_counts=0
check_value() {
  local dir=$1 program=$2 output=$3 expected=$4
  rm -f "$dir/$output"
  run_checked "$dir" "$program" || return 0
  if ! printf '%s' "$expected" | cmp -s - "$dir/$output"; then
    mark_wrong "$(basename "$program") wrote '$(head -c 40 "$dir/$output" 2>/dev/null)' to $output, expected '$expected'"
  fi
  checked_counts=$((checked_counts + 1))
}

# ---------------------------------------------------------------- inputs
note "writing inputs in $work"
mkdir -p "$work"/{vt_big,vt_crlf,vt_binary,vt_tiny,lc_big,pc_big,lc_one,pc_one,lc_tiny,pc_tiny}
"$gen" result "$work/vt_big/result.out" 1G
"$gen" result "$work/vt_crlf/result.out" 64M --crlf --seed 7
"$gen" oneline "$work/vt_binary/result.out" 256M
printf ' Two-line result file\n  %s\n' "$header" >"$work/vt_tiny/result.out"
for d in vt_big vt_crlf vt_binary vt_tiny; do
  printf 'result.out\n' >"$work/$d/sumtalpart.tmp"
done
# One text file serves both line tools; its last line has no newline.
"$gen" text "$work/lines.txt" 1G --no-final-newline
"$gen" oneline "$work/one_line.bin" 1G --seed 11
ln "$work/lines.txt" "$work/lc_big/shieldmat.tmp"
ln "$work/lines.txt" "$work/pc_big/runphits.bat"
ln "$work/one_line.bin" "$work/lc_one/shieldmat.tmp"
ln "$work/one_line.bin" "$work/pc_one/runphits.bat"
printf 'first line\nsecond line\n' >"$work/lc_tiny/shieldmat.tmp"
printf 'first line\nsecond line\n' >"$work/pc_tiny/runphits.bat"

# Gigabytes just written are still being flushed to disk; timing during
# that writeback measured start-up four times slower.
sync
warm() { cat "$@" >/dev/null; }
big_lines=$(count_lines "$work/lines.txt")
one_lines=$(count_lines "$work/one_line.bin")
big_tables=$(LC_ALL=C grep -c -F -e "$header" "$work/vt_big/result.out")
echo "Inputs:  result file $(stat -c %s "$work/vt_big/result.out") bytes," \
  "$(wc -l <"$work/vt_big/result.out") lines, $big_tables volume tables;" \
  "line-tools text $(stat -c %s "$work/lines.txt") bytes, $big_lines lines"
echo

# ---------------------------------------------------------------- volume_table
note "volume_table: outputs"
check_tables "$work/vt_big" 100
check_tables "$work/vt_crlf" 5
check_tables "$work/vt_binary" 0
check_tables "$work/vt_tiny" 1

note "volume_table: 1 GiB result file against wc -l and grep ($runs runs each)"
warm "$work/vt_big/result.out"
if time_rounds "$work/vt_big" 5 "$runs" 1 --shell=sh \
  "$(q "$vt")" "wc -l result.out" \
  "LC_ALL=C grep -F -A6 '$header' result.out > grep.out"; then
  r=$(ratio "${m[0]}" "${m[1]}")
  row "volume_table / wc -l, 1 GiB result file" "${r}x ($(ms "${m[0]}") / $(ms "${m[1]}"))" \
    "<= 1.25x" "$(verdict "$r" 1.25)"
  r=$(ratio "${m[0]}" "${m[2]}")
  row "volume_table / grep -F -A6 > file, 1 GiB" "${r}x ($(ms "${m[0]}") / $(ms "${m[2]}"))" \
    "<= 0.5x" "$(verdict "$r" 0.5)"
fi

note "volume_table: peak memory"
rss_row "peak RSS volume_table, 1 GiB result file" "$work/vt_big" "$vt"
peak_kib "$work/vt_big" /dev/null wc -l result.out
row "peak RSS wc -l, 1 GiB result file" "$(mib "$kib")" "(reference)" "-"
peak_kib "$work/vt_big" "$work/vt_big/grep.out" env LC_ALL=C grep -F -A6 "$header" result.out
row "peak RSS grep -F -A6, 1 GiB result file" "$(mib "$kib")" "(reference)" "-"
warm "$work/vt_binary/result.out"
rss_row "peak RSS volume_table, 256 MiB single line" "$work/vt_binary" "$vt"

# A hand-off file holding one 256 MiB line, which names no file: read only
# as far as a path can reach.
note "volume_table: 256 MiB one-line sumtalpart.tmp against wc -l ($runs runs each)"
mkdir -p "$work/vt_handoff"
ln "$work/vt_binary/result.out" "$work/vt_handoff/sumtalpart.tmp"
if time_rounds "$work/vt_handoff" 5 "$runs" 1 -N "$(q "$vt")" "wc -l sumtalpart.tmp"; then
  r=$(ratio "${m[0]}" "${m[1]}")
  row "volume_table / wc -l, 256 MiB sumtalpart.tmp" "${r}x ($(ms "${m[0]}") / $(ms "${m[1]}"))" \
    "<= 3x" "$(verdict "$r" 3)"
fi
rss_row "peak RSS volume_table, 256 MiB sumtalpart.tmp" "$work/vt_handoff" "$vt"

note "volume_table: start-up on a two-line file ($tiny_runs runs each)"
if time_rounds "$work/vt_tiny" 10 "$tiny_runs" 20 -N "$(q "$vt")" "wc -l result.out"; then
  r=$(ratio "${m[0]}" "${m[1]}")
  row "volume_table / wc -l, start-up, 2 lines" "${r}x ($(ms "${m[0]}") / $(ms "${m[1]}"))" \
    "<= 1.0x" "$(verdict "$r" 1.0)"
fi

# ---------------------------------------------------------------- line tools
# line_tool NAME PROGRAM INPUT OUTPUT DIVISOR DIR-PREFIX
line_tool() {
  local name=$1 program=$2 input=$3 output=$4 divisor=$5 prefix=$6 r
  note "$name: outputs"
  check_value "$work/${prefix}_big" "$program" "$output" $((big_lines / divisor))
  check_value "$work/${prefix}_one" "$program" "$output" $((one_lines / divisor))
  check_value "$work/${prefix}_tiny" "$program" "$output" \
    $(($(count_lines "$work/${prefix}_tiny/$input") / divisor))

  note "$name: 1 GiB text against wc -l ($runs runs each)"
  warm "$work/lines.txt"
  if time_rounds "$work/${prefix}_big" 5 "$runs" 1 -N "$(q "$program")" "wc -l $input"; then
    r=$(ratio "${m[0]}" "${m[1]}")
    row "$name / wc -l, 1 GiB text" "${r}x ($(ms "${m[0]}") / $(ms "${m[1]}"))" \
      "<= 1.1x" "$(verdict "$r" 1.1)"
  fi

  note "$name: start-up on a two-line file ($tiny_runs runs each)"
  if time_rounds "$work/${prefix}_tiny" 10 "$tiny_runs" 20 -N "$(q "$program")" "wc -l $input"; then
    r=$(ratio "${m[0]}" "${m[1]}")
    row "$name / wc -l, start-up, 2 lines" "${r}x ($(ms "${m[0]}") / $(ms "${m[1]}"))" \
      "<= 1.0x" "$(verdict "$r" 1.0)"
  fi

  note "$name: peak memory"
  rss_row "peak RSS $name, 1 GiB text" "$work/${prefix}_big" "$program"
  warm "$work/one_line.bin"
  rss_row "peak RSS $name, 1 GiB single line" "$work/${prefix}_one" "$program"
}

if [ "$have_lc" = 1 ]; then
  line_tool line_count "$lc" shieldmat.tmp linecounts.tmp 1 lc
else
  row "line_count" "not built" "-" "SKIP"
fi
if [ "$have_pc" = 1 ]; then
  line_tool point_count "$pc" runphits.bat dynamics_points.tmp 5 pc
else
  row "point_count" "not built" "-" "SKIP"
fi
peak_kib "$work/lc_big" /dev/null wc -l shieldmat.tmp
row "peak RSS wc -l, 1 GiB text" "$(mib "$kib")" "(reference)" "-"

# Other work on the machine inflates the timings; the start-up ones worst,
# since a program that needs a little more than one scheduler slice then
# waits for others' slices too. Read before the huge checks and the viewer's
# benchmark, which load the machine themselves.
load_after_timing=$(cut -d ' ' -f 1-3 /proc/loadavg)

# The inputs are no longer needed; the huge checks want the disk.
rm -rf "$work"/vt_* "$work"/lc_* "$work"/pc_* "$work/lines.txt" "$work/one_line.bin"

# ---------------------------------------------------------------- viewer
viewer_bench=$bin/bench/script_view/script_view_bench
viewer_output=""
if [ -x "$viewer_bench" ]; then
  note "script_view_bench"
  # Without a display the viewer can still draw off screen.
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
  fi
  if ! viewer_output=$(cd "$work" && "$viewer_bench" 2>&1); then
    mark_wrong "script_view_bench exited non-zero"
  fi
fi

# ---------------------------------------------------------------- huge checks
if [ "${BENCH_SKIP_HUGE:-0}" = 1 ]; then
  row "huge-input checks (ctest --preset huge)" "skipped (BENCH_SKIP_HUGE=1)" "all pass" "SKIP"
else
  note "building the release-tests preset"
  quietly cmake --preset release-tests
  quietly cmake --build --preset release-tests
  [ "$(free_kib "$root/build/release-tests")" -ge $((5 * 1024 * 1024)) ] ||
    die "build/release-tests needs about 5 GiB free for the huge checks"
  note "ctest --preset huge"
  start=$(date +%s)
  if ctest --preset huge >"$log" 2>&1; then
    status=PASS
  else
    status=FAIL
    cat "$log" >&2
    mark_wrong "ctest --preset huge failed"
  fi
  summary=$(grep -E 'tests passed|tests failed' "$log" | tail -n 1 |
    sed -n 's/.* \([0-9][0-9]*\) tests failed out of \([0-9][0-9]*\).*/\1 \2/p')
  if [ -n "$summary" ]; then
    read -r failed total <<<"$summary"
    summary="$((total - failed))/$total passed"
  fi
  row "huge-input checks (ctest --preset huge)" "${summary:-no summary}, $(($(date +%s) - start)) s" \
    "all pass" "$status"
fi

# ---------------------------------------------------------------- report
row "outputs checked against wc -l / grep" \
  "$((checked_tables + checked_counts)) checks, ${#wrong[@]} wrong" "0 wrong" \
  "$([ ${#wrong[@]} -eq 0 ] && echo PASS || echo FAIL)"

printf '%-44s  %-36s  %-11s  %s\n' "check" "measured" "goal" "result"
printf '%-44s  %-36s  %-11s  %s\n' "-----" "--------" "----" "------"
for r in "${rows[@]}"; do
  IFS=$'\t' read -r what value goal result <<<"$r"
  printf '%-44s  %-36s  %-11s  %s\n' "$what" "$value" "$goal" "$result"
done

echo "Load:    $load_after_timing (1, 5, 15 min) after the timings, which keep one core busy"
if awk -v a="${load_at_start%% *}" -v b="${load_after_timing%% *}" \
  'BEGIN { exit !(a > 1 || b > 1.5) }'; then
  echo "Warning: other work was running; timings, above all start-up, may be off. Rerun when idle."
fi

echo
if [ -x "$viewer_bench" ]; then
  echo "script_view_bench:"
  printf '%s\n' "$viewer_output"
else
  echo "script_view_bench: not built, skipped"
fi

if [ ${#wrong[@]} -gt 0 ]; then
  echo
  echo "Wrong results:"
  printf '  %s\n' "${wrong[@]}"
  exit 1
fi
