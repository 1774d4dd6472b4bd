#!/usr/bin/env bash
# The main job: builds the 64-bit modules and runs the host application on them, which loads
# every plug-in module of the build and lists what each provides; then draws the library's
# default gradient into build/x64/default-gradient.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x64 >/dev/null
build="$root/build/x64"
bash "$root/scripts/wine-prefix.sh" "$build"
bash "$root/scripts/wine-run.sh" "$build" "$build/bin/vantor.exe" classes
# The library's default gradient, drawn and written as a PNG file through the host's bitmaps.
bash "$root/scripts/wine-run.sh" "$build" "$build/bin/quortool.exe" draw-gradient "Z:$build/default-gradient.png"
