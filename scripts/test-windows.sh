#!/usr/bin/env bash
# Cross-builds the programs and their tests for 64-bit Windows with MinGW-w64
# and runs the tests under Wine: unit, end-to-end and static-runtime checks.
# Needs no display and no existing Wine set-up: the test run creates its own
# Wine prefix in build/windows/wineprefix and starts and stops Wine (and the
# X server that Wine shows the viewer on) itself.
# The first run builds the static Qt that the viewer links, about 25 minutes;
# later runs find it in the cache.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build-windows-qt.sh

prefix=$PWD/build/windows/wineprefix
# An interrupted run would leave its Wine server and X server behind; only
# this build's are touched.
stop_wine() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  local xvfb
  xvfb=$(cat "$prefix.xvfb-pid" 2>/dev/null) || return 0
  if [ "$(cat "/proc/$xvfb/comm" 2>/dev/null)" = Xvfb ]; then kill "$xvfb" || true; fi
}
trap stop_wine EXIT

log=build/windows-tests.log
mkdir -p build
start=$SECONDS
env -u DISPLAY -u WAYLAND_DISPLAY cmake --workflow --preset windows 2>&1 | tee "$log"
echo "windows: configure, build and tests under Wine took $((SECONDS - start)) s"

# The test preset runs a failed test once more, since Wine now and then loses
# a program at start-up. A test that passed only on its second try is named
# here, so that a real intermittent fault cannot pass unseen.
retried=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \(.*[^ .]\) *\.\.*\*\*\*.*/\1/p' "$log")
if [ -n "$retried" ]; then
  echo "windows: these tests failed once under Wine and passed when run again:"
  printf '  %s\n' "$retried"
fi
