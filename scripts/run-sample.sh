#!/usr/bin/env bash
# Builds the release programs and runs each of them once on a scratch copy
# of the sample workspace, printing what it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh main
cmake --workflow --preset release >/dev/null
bin=$root/build/release

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R examples/workspace/. "$work"
cd "$work"

show() {
  printf '\n== %s wrote %s:\n' "$1" "$2"
  cat "$2"
  [ "$(tail -c1 "$2" | od -An -c | tr -d ' ')" = '\n' ] || printf '\n(no newline at the end)\n'
}

echo "Sample workspace copied to $work"
echo "sumtalpart.tmp names: $(head -n 1 sumtalpart.tmp)"
"$bin/volume_table/volume_table"
show volume_table sumtallyres.tmp
"$bin/line_tools/line_count"
show line_count linecounts.tmp
"$bin/line_tools/point_count"
show point_count dynamics_points.tmp

if [ -x "$bin/script_view/script_view" ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo
    echo "== script_view shows $(head -n 1 script.inp | awk '{print $1}'); close its window to finish."
    "$bin/script_view/script_view"
  else
    echo
    echo "(no display: script_view not started)"
  fi
fi
