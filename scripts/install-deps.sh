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
  # the viewer's tests in a real X server, and its icon drawn again from its source
  xvfb xauth x11-utils libx11-dev python3
  # Windows cross build, tested under Wine, also in a Japanese locale
  # (generated below)
  g++-mingw-w64-x86-64-posix wine wine64 locales
  # 32-bit x86 build of the console programs
  gcc-multilib g++-multilib
  # 64-bit ARM build of the four programs (clang, below, for aarch64 with
  # Debian's own arm64 packages, installed beside this machine's: the C and
  # C++ libraries and Qt; g++-aarch64-linux-gnu conflicts with gcc-multilib);
  # both builds' tests run under qemu-user where this machine does not start
  # their programs itself
  libstdc++-12-dev:arm64 qtbase5-dev:arm64 binutils-aarch64-linux-gnu qemu-user
  # the static Qt for Windows, from Debian's source package (dpkg-dev below unpacks it)
  perl xz-utils
  # sanitizers, fuzzing and the style checks
  clang libclang-rt-14-dev clang-format clang-tidy
  # the style checks take the tracked sources from git
  git
  # benchmarks: repeated timing and peak memory
  hyperfine time util-linux coreutils grep ripgrep zip libbenchmark-dev
  # packages: shared-library dependencies of the .deb and its check, a look
  # into the .zip, the bill of materials checked against its schema, and what
  # differs between two builds that should be the same
  dpkg-dev lintian unzip python3-jsonschema diffoscope-minimal
)

case "${1:-all}" in
  main) packages=("${main_packages[@]}") ;;
  all) packages=("${main_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: $0 [main]" >&2
    exit 2
    ;;
esac

# Runs `command` as root, through sudo when need be; where neither can, says
# what is `missing` and which command to run as root instead, and fails.
as_root() {
  local command=$1 missing=$2
  if [ "$(id -u)" -eq 0 ]; then
    sh -c "$command"
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo sh -c "$command"
  else
    echo "$missing" >&2
    echo "Run this as root, then run this again:" >&2
    echo "  sudo sh -c '$command'" >&2
    exit 1
  fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  # dpkg installs a package of another architecture once it knows that one.
  add_arm64=
  if [[ " ${missing[*]}" == *:arm64* ]] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
    add_arm64="dpkg --add-architecture arm64 && "
  fi
  as_root "${add_arm64}apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}" \
    "These packages are missing: ${missing[*]}"
fi

# Wine gives each program the ANSI code page of its locale: the Windows tests
# under code page 932 run in ja_JP.UTF-8, which Debian makes only when asked.
if [ "${1:-all}" = all ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  as_root "grep -qx \"ja_JP.UTF-8 UTF-8\" /etc/locale.gen 2>/dev/null ||
    echo \"ja_JP.UTF-8 UTF-8\" >>/etc/locale.gen; locale-gen --keep-existing" \
    "The locale ja_JP.UTF-8 is missing."
fi
