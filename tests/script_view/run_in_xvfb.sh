#!/bin/sh
# Runs the given command under its own virtual X server. Exit status 77 tells
# CTest the test is skipped: there is no xvfb-run on this machine.
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run is not installed: skipped" >&2
  exit 77
fi
exec xvfb-run -a "$@"
