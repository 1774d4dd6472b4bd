#!/usr/bin/env bash
# Prepares the Wine prefix of a build folder for headless runs and starts the wineserver that the
# whole run shares. Usage: wine-prefix.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wine=/usr/lib/wine/wine64

# Wine's helper processes and the wineserver outlive this script and inherit its descriptors:
# start them detached from our standard handles (or whoever waits for our output, ctest, waits
# for them too) and without the lock's descriptor (or the lock stays held after we exit).
quiet() { "$@" </dev/null >/dev/null 2>&1 9>&-; }

exec 9>"$build/.wineprefix.lock"
flock 9
if [ ! -f "$WINEPREFIX/.quorlib-ready" ]; then
  rm -rf "$WINEPREFIX"
  quiet $wine wineboot.exe -i
  # Windows without a display: the null graphics driver; crashes print, never ask.
  quiet $wine reg.exe add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
  quiet $wine reg.exe add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
  # wineboot started the desktop with the X11 driver: restart so that the null driver is used.
  quiet wineserver -k || true
  quiet wineserver -w || true
  touch "$WINEPREFIX/.quorlib-ready"
fi
# One server for the whole run, kept for ten minutes after the last client.
quiet wineserver -p600 || true
quiet $wine cmd.exe /c exit 0 || true
exec 9>&-
