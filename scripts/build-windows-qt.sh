#!/usr/bin/env bash
# Builds the static Qt for 64-bit Windows (MinGW-w64) that script_view.exe is
# linked against, from Debian's own qtbase source package with Debian's
# patches, and installs it into a cache folder keyed by the qtbase version,
# the options and the MinGW compiler, with the notes that the Windows .zip
# takes from Qt's source and build in share/tamber-tools/. Does nothing when
# that folder exists. A build takes about 30 minutes on two idle cores.
#
#   scripts/build-windows-qt.sh                 build unless cached; prints the prefix last
#   scripts/build-windows-qt.sh --print-prefix  prints where the Qt is (or would be), builds nothing
#
# The same Qt comes out wherever and whenever it is built: the prefix
# compiled into it names no folder of this machine (it is installed into the
# cache from a staging folder), the build's folder is mapped away from the
# paths compiled in, and its resources carry the time of Debian's package.
# The source package is fetched through a private apt state (its own source
# list, derived from the configured archive, and its own index and cache),
# which leaves the apt sources as they are and takes no lock that a
# concurrent apt-get install would wait for.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

triplet=x86_64-w64-mingw32
# The posix thread model, as in cmake/mingw-w64-x86_64.cmake: the win32 one
# has no std::thread or std::mutex.
cxx=$triplet-g++-posix
# Widgets with the Windows platform plugin, and Qt Test for the viewer's tests.
# -no-feature-tabletevent is needed because Debian's tarball drops
# src/3rdparty/wintab. HarfBuzz stays out: the viewer shows plain script text.
# The prefix is where Qt would look for plugins at run time: a folder that no
# Windows machine has.
qt_prefix=/opt/tamber-tools/qt5-mingw-static
configure_options=(-prefix $qt_prefix -xplatform win32-g++ -device-option CROSS_COMPILE=$triplet-
  -static -static-runtime -release -opensource -confirm-license
  -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-openssl -no-vulkan
  -no-feature-sql -no-feature-network -no-feature-xml
  -no-feature-concurrent -no-feature-printer -no-feature-tabletevent
  -qt-zlib -qt-pcre -qt-libpng -no-libjpeg -no-harfbuzz -no-freetype -no-fontconfig)
# Given to the compiler besides, with the build's folder for <build>.
compile_options="-ffile-prefix-map=<build>/="

# The version of Debian's qtbase that the Linux Qt on this machine comes from,
# or else the one apt would install: known without the network, so that a
# cached build is found offline. Only this machine's own architecture counts:
# dpkg lists the package once for each architecture it knows it for.
qtbase_version() {
  local package version
  package=libqt5core5a:$(dpkg --print-architecture)
  version=$(dpkg-query -W -f='${db:Status-Status} ${source:Version}\n' "$package" 2>/dev/null |
    sed -n 's/^installed //p')
  if [ -z "$version" ]; then
    version=$(apt-cache policy "$package" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
  fi
  [ -n "$version" ] && [ "$version" != "(none)" ] || {
    echo "build-windows-qt: cannot tell Debian's qtbase version (no $package known to dpkg or apt)" >&2
    return 1
  }
  echo "$version"
}

version=$(qtbase_version)
compiler=$("$cxx" --version 2>/dev/null | head -n 1) || {
  echo "build-windows-qt: $cxx not found; scripts/install-deps.sh installs it" >&2
  exit 1
}
key=$(printf '%s\n' "$version" "${configure_options[*]}" "$compile_options" "$compiler" | sha256sum | cut -c1-12)
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/tamber-tools/qt5-mingw-static
prefix=$cache_root/${version//[^A-Za-z0-9.+-]/_}-$key

if [ "${1:-}" = --print-prefix ]; then
  echo "$prefix"
  exit 0
fi
if [ -d "$prefix" ]; then
  echo "build-windows-qt: cached Qt found"
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qt5-mingw.XXXXXX")
trap 'rm -rf "$work"' EXIT
start=$SECONDS
say() {
  printf 'build-windows-qt [%2d min]: %s\n' $(((SECONDS - start) / 60)) "$*"
}

# Runs a long step with its output in a log, saying every 200 lines of it
# that it is alive (a CI log would show nothing for half an hour); on failure
# the log's end is shown.
run_logged() {
  local name=$1 log=$work/$1.log step_start=$SECONDS
  shift
  if ! "$@" 2>&1 | tee "$log" |
    awk -v name="$name" 'NR % 200 == 0 { print "build-windows-qt: " name ", " NR " log lines"; fflush() }'; then
    tail -n 60 "$log" >&2
    say "$name failed (log above)"
    return 1
  fi
  say "$name took $((SECONDS - step_start)) s"
}

# What the Windows .zip ships beside the viewer or takes its notices from,
# written into folder $3 from the source in $1 and the configured build in
# $2: Qt's licence (the LGPL-3.0, and the GPL-3.0 that it builds on); how
# this Qt was made (qt-source.txt: the version, the source package, the
# compiler, the options) and Debian's patches in the order applied
# (debian-patches.txt); in qt-attribution/, Qt's records of the third-party
# code it bundles (every qt_attribution.json with the licence files it names,
# in the source's layout); and in qt-objects.txt, what each object in Qt's
# static libraries is built from, from which the build finds the records of
# the code that the viewer has linked in.
store_notes() {
  local source_dir=$1 build_dir=$2 notes=$3 record licence
  mkdir -p "$notes/qt-attribution"
  cp "$source_dir/LICENSE.LGPL3" "$source_dir/LICENSE.GPL3" "$notes/"
  printf '%s: %s\n' >"$notes/qt-source.txt" \
    qt "$(sed -n 's/^MODULE_VERSION *= *//p' "$source_dir/.qmake.conf")" \
    package "qtbase-opensource-src $version" compiler "$compiler" \
    configure "${configure_options[*]}" compile "$compile_options" \
    source-date-epoch "$SOURCE_DATE_EPOCH"
  sed -n 's/^\([^#[:space:]][^[:space:]]*\).*/\1/p' "$source_dir/debian/patches/series" >"$notes/debian-patches.txt"
  (
    cd "$source_dir"
    find src -name qt_attribution.json | while read -r record; do
      cp --parents "$record" "$notes/qt-attribution/"
      sed -n 's/.*"LicenseFile": *"\([^"]*\)".*/\1/p' "$record" | while read -r licence; do
        licence=$(realpath -m --relative-to=. "$(dirname "$record")/$licence")
        # One that Debian's tarball lacks: the build names it as missing.
        if [ -e "$licence" ]; then cp --parents "$licence" "$notes/qt-attribution/"; fi
      done
    done
  )
  python3 "$here/cmake/third_party.py" qt-objects "$source_dir" "$build_dir" >"$notes/qt-objects.txt"
}

say "building Debian's qtbase $version for Windows into $prefix"

# deb-src entries for the Debian archive the system already uses.
mkdir -p "$work/apt/sources.list.d" "$work/apt/lists/partial" "$work/apt/cache/archives/partial"
for sources in /etc/apt/sources.list.d/*.sources; do
  [ -e "$sources" ] || continue
  sed 's/^Types:.*/Types: deb-src/' "$sources" >"$work/apt/sources.list.d/$(basename "$sources")"
done
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -e "$list" ] || continue
  sed -n 's/^deb \(.*\)/deb-src \1/p' "$list" >"$work/apt/sources.list.d/$(basename "$list")"
done
apt_options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
  -o Debug::NoLocking=1)
if [ "$(id -u)" = 0 ]; then
  # apt drops to the _apt user to download, which cannot write into our
  # private folder.
  apt_options+=(-o APT::Sandbox::User=root)
fi
run_logged "apt source index" apt-get "${apt_options[@]}" update
# dpkg-source -x, which apt-get source runs, applies Debian's patches.
(cd "$work" && run_logged "fetching and unpacking the source" \
  apt-get "${apt_options[@]}" source "qtbase-opensource-src=$version")
source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qtbase-opensource-src-*')

# qmake calls ${CROSS_COMPILE}g++; make that the posix compiler whatever the
# alternatives say, with the compile options.
mkdir -p "$work/bin"
for tool in gcc g++; do
  printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$(command -v "$triplet-$tool-posix")" \
    "${compile_options//<build>/$work}" >"$work/bin/$triplet-$tool"
  chmod +x "$work/bin/$triplet-$tool"
done
export PATH=$work/bin:$PATH
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -STimestamp)
export SOURCE_DATE_EPOCH

mkdir -p "$work/build"
cd "$work/build"
run_logged configure "$source_dir/configure" "${configure_options[@]}"
run_logged "make -j2" make -j2
# Installed beside the cache first and moved in whole, so that an interrupted
# run never leaves a folder that looks like a finished build.
run_logged install make install INSTALL_ROOT="$work/stage"
store_notes "$source_dir" "$work/build" "$work/stage$qt_prefix/share/tamber-tools"
mkdir -p "$cache_root"
mv "$work/stage$qt_prefix" "$prefix"
say "done, $(du -sh "$prefix" | cut -f1) in the prefix"
echo "$prefix"
