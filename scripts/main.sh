#!/usr/bin/env bash
# The main job: builds the 64-bit modules and runs the host application on them, which loads
# every plug-in module of the build and lists what each provides; then draws the library's
# default gradient into build/x64/default-gradient.png, and runs the glow sample filter through
# the host's Postline queue over the library's default background into build/x64/glow.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x64 >/dev/null
build="$root/build/x64"
bash "$root/scripts/wine-prefix.sh" "$build"
bash "$root/scripts/wine-run.sh" "$build" "$build/bin/vantor.exe" classes
# The library's default gradient, drawn and written as a PNG file through the host's bitmaps.
bash "$root/scripts/wine-run.sh" "$build" "$build/bin/quortool.exe" draw-gradient "Z:$build/default-gradient.png"
# The glow sample (samples/glow) as the host runs a filter event: the queue paints its input with
# the library's default background, the filter glows it and the host writes the frame.
bash "$root/scripts/wine-run.sh" "$build" "$build/bin/vantor.exe" filter "Z:$build/bin/glow.flt" Glow --default \
  --size 960x540 --out "Z:$build/glow.png"
