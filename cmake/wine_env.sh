#!/bin/sh
# Runs a command in the environment of a Windows cross build's Wine prefix:
# the Windows programs under test (as CTest's emulator), and the host programs
# that look at their windows.
#
#   sh wine_env.sh PREFIX COMMAND [ARG...]
#
# WINEDEBUG=-all keeps Wine's diagnostics (and Debian's "wine32 is missing"
# hint) out of the programs' standard error. Wine gives each program the ANSI
# code page of its own locale's LC_CTYPE: 1252 under C.UTF-8, 932 under
# ja_JP.UTF-8, which TOOLS_WINE_LANG asks for. Under a locale that is not
# UTF-8, Wine cannot map non-ASCII file names to the files on disk. No Mono,
# Gecko or desktop menu entries: nothing that asks questions or writes outside
# the prefix. DISPLAY is the X server of the session that cmake/wine_session.cmake
# runs, or none, which keeps Wine off any other display.
prefix=$1
shift
lang=${TOOLS_WINE_LANG:-C.UTF-8}
if [ "$lang" != C.UTF-8 ] && [ "$(LC_ALL=$lang locale charmap 2>/dev/null)" != UTF-8 ]; then
  echo "wine_env.sh: there is no locale $lang: scripts/install-deps.sh makes it" >&2
  exit 1
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all LANG="$lang"
export WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d'
unset LC_ALL LC_CTYPE
DISPLAY=$(cat "$prefix.display" 2>/dev/null) || DISPLAY=
export DISPLAY
exec "$@"
