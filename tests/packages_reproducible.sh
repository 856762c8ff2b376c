#!/usr/bin/env bash
# Builds the .deb, the arm64 .deb and the Windows .zip twice, each time from a
# fresh clone of the commit checked out, in folders of different names and
# depths, under different umasks and time zones, and fails unless each pair
# is the same to the byte; for a pair that differs, diffoscope says where.
# Both use the one Qt for Windows that scripts/build-windows-qt.sh cached.
#
#   tests/packages_reproducible.sh
set -euo pipefail
cd "$(dirname "$0")/.."
commit=$(git rev-parse HEAD)
work=$(mktemp -d "${TMPDIR:-/tmp}/reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

# build FOLDER UMASK TZ
build() {
  git clone -q --no-checkout . "$work/$1"
  git -C "$work/$1" checkout -q "$commit"
  (
    cd "$work/$1"
    umask "$2"
    export TZ=$3
    for preset in release:deb aarch64-release:deb-arm64 windows:windows-zip; do
      cmake --preset "${preset%:*}" -DBUILD_TESTING=OFF
      cmake --build --preset "${preset%:*}" --parallel 2
      cpack --preset "${preset#*:}"
    done
  ) >"$work/${1//\//_}.log" 2>&1 || {
    tail -n 40 "$work/${1//\//_}.log" >&2
    echo "reproducible: the build in $1 failed (log above)" >&2
    exit 1
  }
}
start=$SECONDS
build one 022 UTC
build "another/folder two" 002 Pacific/Kiritimati
status=0
packages=$(cd "$work/one" && ls build/release/*.deb build/aarch64-release/*.deb build/windows/*.zip)
for package in $packages; do
  a="$work/one/$package"
  b="$work/another/folder two/$package"
  if cmp -s "$a" "$b"; then
    echo "reproducible: $(basename "$a"): the same bytes ($(sha256sum <"$a" | cut -c1-16))"
  else
    status=1
    echo "reproducible: $(basename "$a") differs between the two builds:"
    diffoscope --text - "$a" "$b" | head -n 200 || true
  fi
done
echo "reproducible: two builds took $((SECONDS - start)) s"
exit "$status"
