#!/usr/bin/env bash
# Builds and runs the whole test suite: unit and end-to-end tests in a debug
# build, then the same under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the style checks.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --workflow --preset dev
cmake --workflow --preset asan
scripts/check-style.sh build/dev
