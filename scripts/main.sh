#!/usr/bin/env bash
# The main job: builds the 64-bit modules and runs the host application on them, which loads
# every plug-in module of the build and lists what each provides.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x64 >/dev/null
build="$root/build/x64"
bash "$root/scripts/wine-prefix.sh" "$build"
bash "$root/scripts/wine-run.sh" "$build" "$build/bin/vantor.exe" classes
