#!/usr/bin/env bash
# Runs a Windows program in a virtual X display with Wine's X11 driver and saves a screenshot of
# the display as PNG, so that a person can look at what the program shows.
# Usage: screenshot.sh BUILD_DIR OUT.png SECONDS PROGRAM [ARGS...]
#   SECONDS: how long to let the program draw before the picture is taken.
set -euo pipefail
build=$(cd "$1" && pwd)
out=$2
wait_s=$3
shift 3
# The first display number free on this machine, so that several screenshots can be taken at once.
n=97
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
display=:$n
export WINEPREFIX="$build/wineprefix-x11" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wine=/usr/lib/wine/wine64
quiet() { "$@" </dev/null >/dev/null 2>&1; }

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'quiet wineserver -k || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
if [ ! -f "$WINEPREFIX/.quorlib-ready" ]; then
  quiet $wine wineboot.exe -i
  touch "$WINEPREFIX/.quorlib-ready"
fi
# Wine draws caption buttons, scroll arrows and check marks with its Marlett font. Debian's
# fonts-wine puts Wine's fonts in /usr/share/wine/fonts, but this Wine looks for its data folder
# beside its multiarch library folder and never finds them there; the prefix's own Fonts folder
# is always read, so the fonts are copied there.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
for f in /usr/share/wine/fonts/*.ttf; do
  [ -f "$f" ] && [ ! -f "$fonts/$(basename "$f")" ] && cp "$f" "$fonts/"
done
# A virtual desktop gives windows their frames and captions without a window manager.
# Known limit of this Wine under Xvfb: a top-level window owned by a visible window (a dialog over
# a shown main window, a message box with an owner) stays black, while one owned by a hidden window
# or by none draws normally. Programs shown here keep the host's main window hidden for that reason.
$wine explorer.exe /desktop=shot,1024x768 "$@" </dev/null >/dev/null 2>&1 &
sleep "$wait_s"
xwd -root -display "$display" -silent | convert xwd:- "$out"
echo "screenshot: $out"
