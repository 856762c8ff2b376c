#!/usr/bin/env bash
# Installs, from Debian/Ubuntu packages, what this project needs. Does nothing
# when all of it is present, and without root or sudo prints the command to
# run instead.
#
#   scripts/install-deps.sh main   the main job: build the four programs
#   scripts/install-deps.sh        that and every test, benchmark and package
set -euo pipefail

# The main job: the release build of the programs, the viewer included
# (scripts/run-sample.sh).
main_packages=(
  # the build
  g++ cmake ninja-build make pkg-config
  # the viewer
  qtbase5-dev qtbase5-dev-tools
)

# Everything else (scripts/test-all.sh).
test_packages=(
  # unit and end-to-end tests
  googletest libgtest-dev libgmock-dev
  # the viewer's tests in a real X server
  xvfb xauth x11-utils libx11-dev
  # Windows cross build, tested under Wine, also in a Japanese locale
  # (scripts/test-windows.sh generates it)
  g++-mingw-w64-x86-64-posix wine wine64 locales
  # 32-bit x86 build of the line count
  gcc-multilib g++-multilib
  # the static Qt for Windows, from Debian's source package (dpkg-dev below unpacks it)
  perl xz-utils
  # sanitizers, fuzzing and the style checks
  clang libclang-rt-14-dev clang-format clang-tidy
  # the style checks take the tracked sources from git
  git
  # benchmarks: repeated timing and peak memory
  hyperfine time util-linux coreutils grep ripgrep zip libbenchmark-dev
  # packages: shared-library dependencies of the .deb and its check, a look into the .zip
  dpkg-dev lintian unzip
)

case "${1:-all}" in
  main) packages=("${main_packages[@]}") ;;
  all) packages=("${main_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: $0 [main]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

install_cmd="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sh -c "$install_cmd"
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  sudo sh -c "$install_cmd"
else
  echo "These packages are missing: ${missing[*]}" >&2
  echo "Install them as root, then run this again:" >&2
  echo "  sudo sh -c '$install_cmd'" >&2
  exit 1
fi
