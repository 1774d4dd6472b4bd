#!/usr/bin/env bash
# Builds a sample plug-in against the installed SDK of a build folder, as a plug-in author
# would, and has the host application load it. Usage: check-sample.sh BUILD_DIR [SAMPLE]
# (SAMPLE: a folder of samples/, hello by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
sample=${2:-hello}
case "$(sed -n 's/^CMAKE_SYSTEM_PROCESSOR:.*=//p;s/^CMAKE_TOOLCHAIN_FILE:.*=//p' "$build/CMakeCache.txt" | tail -1)" in
  *mingw32.cmake) toolchain=mingw32 ;;
  *) toolchain=mingw64 ;;
esac
out="$build/samples/$sample-sdk"
cmake -S "$root/samples/$sample" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" \
  -DCMAKE_PREFIX_PATH="$build/sdk" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out"
bash "$root/scripts/wine-run.sh" "$build" "$build/sdk/bin/vantor.exe" classes "Z:$out"
