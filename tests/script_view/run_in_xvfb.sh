#!/bin/sh
# Runs the given command under its own virtual X server whose screen has the
# given resolution in dots per inch: 96 is a display at 100 %, 144 one at
# 150 %. Xvfb's own default, 100, is neither. Qt takes the resolution from the
# screen's size in millimetres, which Xvfb rounds: 1440 pixels are a whole
# number of millimetres at both 96 and 144. Exit status 77 tells CTest the
# test is skipped: there is no xvfb-run on this machine.
#
#   run_in_xvfb.sh DPI COMMAND [ARG...]
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run is not installed: skipped" >&2
  exit 77
fi
dpi=$1
shift
exec xvfb-run -a -s "-screen 0 1440x1440x24 -dpi $dpi" "$@"
