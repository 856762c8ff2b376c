#!/usr/bin/env bash
# Builds and runs the whole test suite: unit and end-to-end tests in a debug
# build, the same under AddressSanitizer and UndefinedBehaviorSanitizer, the
# same again for Windows under Wine, the .deb and its lintian check, a minute
# of fuzzing per fuzz target, and the style checks.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --workflow --preset dev
cmake --workflow --preset asan
# The release build packaged, and the package checked by lintian.
cmake --workflow --preset deb
scripts/test-windows.sh
scripts/run-fuzzers.sh
scripts/check-style.sh build/dev
