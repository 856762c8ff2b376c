#!/usr/bin/env bash
# Times the console programs against cat, wc -l, grep and ripgrep on inputs
# from bench/make_inputs and prints one table: ratios of median wall times
# from the same rounds, peak memory, start-up on two-line files; then the
# viewer's benchmark. A missed goal is reported and leaves the exit status
# alone; a program that fails or writes a wrong result makes it non-zero.
# The multi-gigabyte checks are `ctest --preset huge`'s, not repeated here.
#
# The floor of a scan is bench/map_scan: the file mapped whole and passed
# over once. The console programs of an older commit run in the same rounds
# as today's, so that the table shows before and after; the viewer's rows
# over 100 MB and 300 MiB files compare its load with that of an older
# viewer. Both are built from git (a checkout is needed), the viewer with
# today's benchmark source over it, in build/reference/<commit>/, kept there
# for the next run.
#
#   bench/run.sh
#
# Environment:
#   BENCH_DIR        where the scratch folder goes (default $TMPDIR or /tmp);
#                    it needs about 4 GiB and is removed at the end
#   BENCH_RUNS       timed runs per command on the 1 GiB inputs (default 15)
#   BENCH_TINY_RUNS  timed runs per command on the two-line inputs (default 1000)
#   BENCH_SIZE       size of the large inputs (default 1G; the goals are for 1G)
#   BENCH_TABLES_SIZE  size of the result file of tables only, where most of
#                    the file is copied out (default 256M; the goals are for it)
#   BENCH_REFERENCE  the console programs to compare with (default 9bdc2e9,
#                    the last that read every file; empty: none)
#   BENCH_AARCH64    1: the 64-bit ARM rows too, under qemu-aarch64, against
#                    Debian's arm64 wc, grep and rg (apt-get download fetches
#                    them into the scratch folder; nothing is installed)
#   BENCH_AARCH64_SIZE  size of their inputs (default 48M)
#   BENCH_VIEWER_RUNS      runs of each big-file viewer row per build (default 3)
#   BENCH_VIEWER_REFERENCE the viewer to compare with (default 223295a2f3d5,
#                    the last that loaded the whole text before showing its window)
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
floor=$bin/bench/map_scan

# reference_tree COMMIT: the source of COMMIT in build/reference/<commit>;
# prints that folder, nothing when there is no such commit.
reference_tree() {
  local commit dir
  commit=$(git -C "$root" rev-parse -q --verify "$1^{commit}" 2>/dev/null) || return 1
  dir=$root/build/reference/$commit
  if [ ! -e "$dir/CMakePresets.json" ]; then
    mkdir -p "$dir"
    git -C "$root" archive "$commit" | tar -x -C "$dir" || return 1
  fi
  echo "$dir"
}

# The older console programs, or none: their rows are then left out.
reference=${BENCH_REFERENCE-9bdc2e9}
ref_dir= ref_vt= ref_lc=
if [ -n "$reference" ]; then
  printf '== building the console programs of %s\n' "$reference" >&2
  if ref_dir=$(reference_tree "$reference") &&
    (cd "$ref_dir" && cmake --preset release-tests && cmake --build --preset release-tests \
      --target volume_table line_count) >"$work/log" 2>&1; then
    ref_vt=$ref_dir/build/release-tests/volume_table/volume_table
    ref_lc=$ref_dir/build/release-tests/line_tools/line_count
  else
    tail -n 20 "$work/log" >&2
    echo "The console programs of $reference could not be built; their rows are left out"
  fi
fi

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

# add NAME COMMAND: COMMAND goes into `commands`; at[NAME] is its index, for
# ratio_row.
declare -A at
add() {
  at[$1]=${#commands[@]}
  commands+=("$2")
}

# same_as_older DIR OUTPUT PROGRAM: OUTPUT, which today's program wrote in
# DIR last, against what the older program writes there.
same_as_older() {
  [ -n "$ref_vt" ] || return 0
  cp "$work/$1/$2" "$work/$1/$2.today"
  (cd "$work/$1" && "$3" >/dev/null 2>&1) || mark_wrong "the older $(basename "$3") failed in $1"
  same "the older $(basename "$3") wrote another $2 in $1" "$work/$1/$2.today" "$work/$1/$2"
  rm -f "$work/$1/$2.today"
}

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
commands=()
add vt "$(q "$vt")"
add cat "cat result.out"
add wc "wc -l result.out"
add grep "LC_ALL=C grep -F -A6 '$header' result.out > grep.out"
add floor "$(q "$floor") hashes result.out > floor.out"
[ $have_rg = 1 ] && add rg "rg -F -A6 '$header' result.out > rg-map.out" &&
  add rg_read "rg -F -A6 --no-mmap '$header' result.out > rg.out"
[ -n "$ref_vt" ] && add older "$(q "$ref_vt")"
if time_rounds "$work/big" --shell=sh "$runs" "${commands[@]}"; then
  ratio_row "volume_table / mapped-scan floor" "${at[vt]}" "${at[floor]}" "<= 1.2"
  ratio_row "volume_table / cat > /dev/null" "${at[vt]}" "${at[cat]}" "<= 1.10"
  ratio_row "volume_table / wc -l" "${at[vt]}" "${at[wc]}" "<= 1.25"
  ratio_row "volume_table / grep -F -A6 > file" "${at[vt]}" "${at[grep]}" "<= 0.5"
  if [ $have_rg = 1 ]; then
    ratio_row "volume_table / rg -F -A6 > file" "${at[vt]}" "${at[rg]}" "<= 0.9"
    ratio_row "volume_table / rg -F -A6 --no-mmap > file" "${at[vt]}" "${at[rg_read]}" "<= 0.8"
  fi
  [ -n "$ref_vt" ] && ratio_row "volume_table / older volume_table" "${at[vt]}" "${at[older]}"
  same "map_scan's count of '#' differs from grep's" \
    <(tr -cd '#' <"$work/big/result.out" | wc -c) "$work/big/floor.out"
  same_as_grep big
  same_as_older big sumtallyres.tmp "$ref_vt"
fi

# Mostly tables: the cost of the copy itself, every tool writing about as
# much as it reads to a file in the same folder.
printf '== volume_table, %s result file of tables, output to a file (%s runs each)\n' \
  "$tables_size" "$runs" >&2
cat "$work/tables/result.out" >/dev/null
commands=()
add vt "$(q "$vt")"
add cat "cat result.out > cat.out"
add grep "LC_ALL=C grep -F -A6 '$header' result.out > grep.out"
[ $have_rg = 1 ] && add rg "rg -F -A6 '$header' result.out > rg-map.out" &&
  add rg_read "rg -F -A6 --no-mmap '$header' result.out > rg.out"
[ -n "$ref_vt" ] && add older "$(q "$ref_vt")"
if time_rounds "$work/tables" --shell=sh "$runs" "${commands[@]}"; then
  ratio_row "volume_table / cat > file, tables" "${at[vt]}" "${at[cat]}"
  ratio_row "volume_table / grep -F -A6 > file, tables" "${at[vt]}" "${at[grep]}" "<= 0.6"
  if [ $have_rg = 1 ]; then
    ratio_row "volume_table / rg > file, tables" "${at[vt]}" "${at[rg]}" "<= 0.6"
    ratio_row "volume_table / rg --no-mmap > file, tables" "${at[vt]}" "${at[rg_read]}" "<= 0.6"
  fi
  [ -n "$ref_vt" ] && ratio_row "volume_table / older, tables" "${at[vt]}" "${at[older]}" "<= 1.05"
  same_as_grep tables
  same_as_older tables sumtallyres.tmp "$ref_vt"
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
commands=()
add lc "$(q "$lc")"
add pc "$(q "$pc")"
add cat "cat lines.txt"
add wc "wc -l lines.txt"
add floor "$(q "$floor") newlines lines.txt > floor.out"
[ $have_rg = 1 ] && add rg "rg -c '' lines.txt > rg.out"
[ -n "$ref_lc" ] && add older "$(q "$ref_lc")"
if time_rounds "$work/text" --shell=sh "$runs" "${commands[@]}"; then
  ratio_row "line_count / mapped-scan floor" "${at[lc]}" "${at[floor]}" "<= 1.2"
  ratio_row "line_count / cat > /dev/null" "${at[lc]}" "${at[cat]}"
  ratio_row "line_count / wc -l" "${at[lc]}" "${at[wc]}" "<= 1.1"
  ratio_row "point_count / wc -l" "${at[pc]}" "${at[wc]}" "<= 1.1"
  [ $have_rg = 1 ] && ratio_row "line_count / rg -c ''" "${at[lc]}" "${at[rg]}" "<= 0.9"
  [ -n "$ref_lc" ] && ratio_row "line_count / older line_count" "${at[lc]}" "${at[older]}"
  # The last line has no newline, and counts.
  newlines=$(wc -l <"$work/text/lines.txt")
  lines=$((newlines + 1))
  same "line_count's count is not $lines" <(printf '%s' "$lines") "$work/text/linecounts.tmp"
  same "point_count's count is not $((lines / 5))" <(printf '%s' $((lines / 5))) \
    "$work/text/dynamics_points.tmp"
  same "map_scan's count of newlines is not $newlines" <(echo "$newlines") "$work/text/floor.out"
  [ $have_rg = 1 ] && same "rg -c '' does not count $lines lines" <(echo "$lines") "$work/text/rg.out"
  same_as_older text linecounts.tmp "$ref_lc"
fi

printf '== start-up on two-line files (%s runs each)\n' "$tiny_runs" >&2
commands=()
add vt "$(q "$vt")"
add lc "$(q "$lc")"
add pc "$(q "$pc")"
add wc "wc -l result.out"
[ -n "$ref_vt" ] && add older_vt "$(q "$ref_vt")" && add older_lc "$(q "$ref_lc")"
if time_rounds "$work/tiny" -N "$tiny_runs" "${commands[@]}"; then
  ratio_row "volume_table / wc -l, start-up" "${at[vt]}" "${at[wc]}" "<= 1.0"
  ratio_row "line_count / wc -l, start-up" "${at[lc]}" "${at[wc]}" "<= 1.0"
  ratio_row "point_count / wc -l, start-up" "${at[pc]}" "${at[wc]}" "<= 1.0"
  if [ -n "$ref_vt" ]; then
    ratio_row "volume_table / older, start-up" "${at[vt]}" "${at[older_vt]}" "<= 1.05"
    ratio_row "line_count / older, start-up" "${at[lc]}" "${at[older_lc]}" "<= 1.05"
  fi
  same "volume_table's table of the two-line file" <(printf '   %s\n' "$header") \
    "$work/tiny/sumtallyres.tmp"
  same "line_count's count of the two-line file" <(printf 2) "$work/tiny/linecounts.tmp"
fi
# 64-bit ARM under qemu-aarch64, against Debian's own arm64 tools under the
# same emulator: what an ARM machine would do, but for the emulator's cost,
# which all pay alike.
if [ "${BENCH_AARCH64:-0}" = 1 ]; then
  arm_size=${BENCH_AARCH64_SIZE:-48M}
  printf '== 64-bit ARM under qemu-aarch64, %s inputs (%s runs each)\n' "$arm_size" "$runs" >&2
  command -v qemu-aarch64 >/dev/null || die "qemu-aarch64 is missing; scripts/install-deps.sh installs it"
  arm_log=$work/log
  # build_arm DIR: the preset's programs in DIR/build/aarch64, or a failure.
  build_arm() {
    (cd "$1" && cmake --preset aarch64 && cmake --build --preset aarch64 --target volume_table \
      line_count) >"$arm_log" 2>&1 || { tail -n 20 "$arm_log" >&2; return 1; }
  }
  build_arm "$root" || die "the aarch64 build failed"
  arm=$root/build/aarch64
  older_arm=
  if [ -n "$ref_lc" ] && build_arm "$ref_dir"; then
    older_arm=$ref_dir/build/aarch64/line_tools/line_count
  fi
  peers=$work/arm64
  mkdir -p "$peers/root"
  (cd "$peers" && apt-get download coreutils:arm64 grep:arm64 ripgrep:arm64 libpcre2-8-0:arm64) \
    >"$arm_log" 2>&1 || { cat "$arm_log" >&2; die "apt-get download of the arm64 tools failed"; }
  for deb in "$peers"/*.deb; do dpkg-deb -x "$deb" "$peers/root"; done
  arm_libs=$peers/root/usr/lib/aarch64-linux-gnu:$peers/root/lib/aarch64-linux-gnu
  qemu="qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH=$arm_libs"
  mkdir -p "$work"/arm-{text,big,tables}
  "$bin/bench/make_inputs" text "$work/arm-text/shieldmat.tmp" "$arm_size"
  "$bin/bench/make_inputs" result "$work/arm-big/result.out" "$arm_size"
  "$bin/bench/make_inputs" tables "$work/arm-tables/result.out" "$arm_size"
  for d in arm-big arm-tables; do printf 'result.out\n' >"$work/$d/sumtalpart.tmp"; done
  commands=()
  add lc "$qemu $(q "$arm/line_tools/line_count")"
  add wc "$qemu $peers/root/usr/bin/wc -l shieldmat.tmp > wc.out"
  [ -n "$older_arm" ] && add older "$qemu $(q "$older_arm")"
  if time_rounds "$work/arm-text" --shell=sh "$runs" "${commands[@]}"; then
    ratio_row "arm64 line_count / wc -l" "${at[lc]}" "${at[wc]}" "<= 1.0"
    [ -n "$older_arm" ] && ratio_row "arm64 line_count / older" "${at[lc]}" "${at[older]}"
    same "arm64 line_count's count differs from wc -l's" \
      <(echo $(($(wc -l <"$work/arm-text/shieldmat.tmp") + 1))) \
      <(cat "$work/arm-text/linecounts.tmp"; echo)
  fi
  for d in arm-big arm-tables; do
    commands=()
    add vt "$qemu $(q "$arm/volume_table/volume_table")"
    add grep "LC_ALL=C $qemu $peers/root/bin/grep -F -A6 '$header' result.out > grep.out"
    add rg "$qemu $peers/root/usr/bin/rg -F -A6 '$header' result.out > rg.out"
    if time_rounds "$work/$d" --shell=sh "$runs" "${commands[@]}"; then
      what=$([ $d = arm-big ] && echo "result file" || echo tables)
      ratio_row "arm64 volume_table / grep -F -A6, $what" "${at[vt]}" "${at[grep]}" "<= 1.0"
      ratio_row "arm64 volume_table / rg -F -A6, $what" "${at[vt]}" "${at[rg]}" "<= 1.0"
      same_as_grep "$d"
    fi
  done
  rm -rf "$work"/arm-{text,big,tables}
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

rm -rf "$work"/{big,tables,text,one,handoff}
viewer_bench=$bin/bench/script_view/script_view_bench
# Without a display the viewer can still draw off screen.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi

# reference_bench COMMIT: builds today's script_view_bench over the viewer of
# COMMIT and prints its path; nothing when that cannot be done.
reference_bench() {
  local dir
  dir=$(reference_tree "$1") || return 1
  cp bench/script_view/script_view_bench.cpp "$dir/bench/script_view/"
  (cd "$dir" && cmake --preset release-tests && cmake --build --preset release-tests \
    --target script_view_bench) >"$work/log" 2>&1 || { tail -n 20 "$work/log" >&2; return 1; }
  echo "$dir/build/release-tests/bench/script_view/script_view_bench"
}

# open_rows SIZE: the rows over the SIZE file of both viewers, each run alone
# in a process (its peak RSS is the row's), the two taking turns.
open_rows() {
  local size=$1 i which order program outs=() summary
  for ((i = 0; i < viewer_runs; i++)); do
    order=(today reference)
    ((i % 2 == 0)) || order=(reference today)
    for which in "${order[@]}"; do
      program=$viewer_bench
      [ "$which" = reference ] && program=$reference_program
      if ! (cd "$work" && TMPDIR=$work /usr/bin/time -f %M -o "$work/open.$which.$i.rss" \
        "$program" --benchmark_filter="^open/$size " \
        --benchmark_out="$work/open.$which.$i.json" --benchmark_out_format=json) \
        >"$work/log" 2>&1; then
        mark_wrong "script_view_bench, $which viewer over $size: $(tail -n 5 "$work/log")"
        return
      fi
      outs+=("$which" "$work/open.$which.$i.json" "$work/open.$which.$i.rss")
    done
  done
  if ! summary=$(python3 - "${outs[@]}" <<'PY'
import json, statistics, sys
runs = {}
args = sys.argv[1:]
for which, out, rss in zip(args[0::3], args[1::3], args[2::3]):
    for b in json.load(open(out))["benchmarks"]:
        if b.get("error_occurred"):
            sys.exit(f"{which}: {b.get('error_message')}")
        r = runs.setdefault(which, {"window_s": [], "loaded_s": [], "rss": []})
        r["window_s"].append(b["window_s"])
        r["loaded_s"].append(b["loaded_s"])
    runs[which]["rss"].append(int(open(rss).read().split()[-1]))
t, r = runs["today"], runs["reference"]
print(statistics.median(t["window_s"]), statistics.median(r["window_s"]),
      statistics.median(t["loaded_s"]), statistics.median(r["loaded_s"]),
      max(t["rss"]) / 1024, max(r["rss"]) / 1024)
PY
  ); then
    mark_wrong "script_view_bench over $size: $summary"
    return
  fi
  local window ref_window loaded ref_loaded rss ref_rss
  read -r window ref_window loaded ref_loaded rss ref_rss <<<"$summary"
  row "script_view, $size: window after" \
    "$(printf '%.2f s (older %.2f s)' "$window" "$ref_window")" "<= 1 s" \
    "$(awk -v w="$window" 'BEGIN { print (w <= 1) ? "PASS" : "MISS" }')"
  row "script_view, $size: loaded / older viewer" \
    "$(awk -v a="$loaded" -v b="$ref_loaded" 'BEGIN { printf "%.3fx (%.1f / %.1f s)", a / b, a, b }')" \
    "<= 1.2" "$(awk -v a="$loaded" -v b="$ref_loaded" 'BEGIN { print (a / b <= 1.2) ? "PASS" : "MISS" }')"
  row "peak RSS script_view, $size" "$(printf '%.1f MiB (older %.1f)' "$rss" "$ref_rss")" \
    "<= older" "$(awk -v a="$rss" -v b="$ref_rss" 'BEGIN { print (a <= b) ? "PASS" : "MISS" }')"
}

viewer_runs=${BENCH_VIEWER_RUNS:-3}
viewer_reference=${BENCH_VIEWER_REFERENCE:-223295a2f3d5}
if [ -x "$viewer_bench" ]; then
  printf '== script_view over big files, against the viewer of %s (%s runs each)\n' \
    "$viewer_reference" "$viewer_runs" >&2
  if reference_program=$(reference_bench "$viewer_reference"); then
    open_rows "100 MB"
    open_rows "300 MiB"
  else
    echo "script_view: the viewer of $viewer_reference could not be built; its big-file rows are skipped"
  fi
fi

printf '%-44s  %-28s  %-11s  %s\n' check measured goal result ----- -------- ---- ------
for r in "${rows[@]}"; do
  IFS=$'\t' read -r what value goal result <<<"$r"
  printf '%-44s  %-28s  %-11s  %s\n' "$what" "$value" "$goal" "$result"
done
echo "Load:    $load_after_timing (1, 5, 15 min) after the timings, which keep one core busy"
if awk -v l="${load_after_timing%% *}" 'BEGIN { exit !(l > 1.5) }'; then
  echo "Warning: other work was running; timings, above all start-up, may be off. Rerun when idle."
fi

echo
if [ -x "$viewer_bench" ]; then
  echo "script_view_bench (all but the big files, above):"
  (cd "$work" && "$viewer_bench" --benchmark_filter=-^open/) ||
    mark_wrong "script_view_bench exited non-zero"
else
  echo "script_view_bench: not built (needs Qt and Google Benchmark), skipped"
fi

if [ ${#wrong[@]} -gt 0 ]; then
  printf '\nWrong results:\n'
  printf '  %s\n' "${wrong[@]}"
  exit 1
fi
