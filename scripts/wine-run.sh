#!/usr/bin/env bash
# Runs a Windows program under wine64 in the prefix of a build folder.
# Usage: wine-run.sh BUILD_DIR PROGRAM [ARGS...]
set -euo pipefail
here=$(dirname "$0")
build=$(cd "$1" && pwd)
shift
[ -f "$build/wineprefix/.quorlib-ready" ] || bash "$here/wine-prefix.sh" "$build" 9>&-
export WINEPREFIX="$build/wineprefix" WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all,err+module}"
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
exec /usr/lib/wine/wine64 "$@"
