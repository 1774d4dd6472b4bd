#!/usr/bin/env bash
# The host application saves a scene and loads it back. Usage: check-scene.sh BUILD_DIR
set -euo pipefail
here=$(dirname "$0")
build=$(cd "$1" && pwd)
scene="$build/check-scene.vsc"
rm -f "$scene"
bash "$here/wine-run.sh" "$build" "$build/bin/vantor.exe" scene-demo "Z:$scene"
bash "$here/wine-run.sh" "$build" "$build/bin/vantor.exe" scene-show "Z:$scene"
head -c 20 "$scene" > "$scene.cut"
if bash "$here/wine-run.sh" "$build" "$build/bin/vantor.exe" scene-show "Z:$scene.cut"; then
  echo "a truncated scene loaded" >&2
  exit 1
fi
