#!/usr/bin/env bash
# Builds and runs the whole test suite: unit and end-to-end tests in a debug
# build, the same under AddressSanitizer and UndefinedBehaviorSanitizer, the
# console programs and their tests in a 32-bit x86 build, the four programs
# and their tests in a 64-bit ARM one (under qemu-user where this machine does
# not start their programs; TOOLS_FORCE_EMULATOR=1 forces it), the .deb for
# each and its checks, the same again for Windows under Wine, the packages
# built twice elsewhere and compared to the byte, a minute of fuzzing per
# fuzz target, and the style checks.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --workflow --preset dev
cmake --workflow --preset asan
cmake --workflow --preset i686
cmake --workflow --preset aarch64
# The release builds packaged, and the packages checked by lintian.
cmake --workflow --preset deb
cmake --workflow --preset deb-arm64
scripts/test-windows.sh
tests/packages_reproducible.sh
scripts/run-fuzzers.sh
scripts/check-style.sh build/dev
