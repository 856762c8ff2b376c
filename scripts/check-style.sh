#!/usr/bin/env bash
# Fails when a source file is not as clang-format writes it, or when
# clang-tidy finds anything, over the compile database of the given build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}

mapfile -t sources < <(git ls-files -- '*.cpp' '*.h')
# Given no file, clang-format would read standard input and pass.
[ ${#sources[@]} -gt 0 ] || { echo "style: no sources listed (is this a git checkout?)" >&2; exit 1; }
clang-format --dry-run -Werror "${sources[@]}"

mapfile -t units < <(git ls-files -- 'common/*.cpp' 'volume_table/*.cpp' 'line_tools/*.cpp' 'script_view/*.cpp' \
  'fuzz/*.cpp' 'tests/e2e/e2e_launch.cpp')
# clang-tidy counts the warnings it suppressed in headers; only findings matter.
clang-tidy --quiet -p "$build" "${units[@]}" 2>&1 | { grep -v -E "^[0-9]+ warnings? generated\.$" || true; }
echo "style: clean"
