#!/usr/bin/env bash
# Cross-builds the programs and their tests for 64-bit Windows with MinGW-w64
# and runs the tests under Wine: unit, end-to-end and static-runtime checks.
# Needs no display and no existing Wine set-up: the test run creates its own
# Wine prefix in build/windows/wineprefix and starts and stops Wine itself.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

prefix=$PWD/build/windows/wineprefix
# An interrupted run would leave its Wine server behind; only this build's
# prefix is touched.
stop_wine() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
}
trap stop_wine EXIT

start=$SECONDS
env -u DISPLAY -u WAYLAND_DISPLAY cmake --workflow --preset windows
echo "windows: configure, build and tests under Wine took $((SECONDS - start)) s"
