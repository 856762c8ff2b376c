#!/usr/bin/env bash
# Installs, from Debian/Ubuntu packages, everything that any build, test or
# benchmark of this project needs. Does nothing when all of it is present, and
# without root or sudo prints the command to run instead.
set -euo pipefail

packages=(
  # the build
  g++ cmake ninja-build make pkg-config
  # unit and end-to-end tests
  googletest libgtest-dev libgmock-dev
  # the viewer, its tests in a real X server
  qtbase5-dev qtbase5-dev-tools xvfb xauth x11-utils libx11-dev
  # Windows cross build, tested under Wine
  g++-mingw-w64-x86-64-posix wine wine64
  # the static Qt for Windows, from Debian's source package
  dpkg-dev perl xz-utils
  # sanitizers, fuzzing and the style checks
  clang libclang-rt-14-dev clang-format clang-tidy
  # benchmarks: repeated timing and peak memory
  hyperfine time util-linux coreutils grep zip libbenchmark-dev
  # packages: shared-library dependencies of the .deb, a look into the .zip
  dpkg-dev unzip
)

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
