#!/usr/bin/env bash
# Builds a sample plug-in against the installed SDK of a build folder, as a plug-in author
# would, and has the host application load it. Usage: check-sample.sh BUILD_DIR [SAMPLE]
# (SAMPLE: a folder of samples/, hello by default).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
sample=${2:-hello}
# The toolchain file the SDK installs beside its CMake package, as an author outside this
# repository uses it.
toolchain="$build/sdk/lib/cmake/Quorlib/QuorlibToolchain.cmake"
out="$build/samples/$sample-sdk"
# A project configured with another toolchain file keeps it: start that one afresh.
if [ -f "$out/CMakeCache.txt" ] &&
  [ "$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$out/CMakeCache.txt")" != "$toolchain" ]; then
  rm -rf "$out"
fi
cmake -S "$root/samples/$sample" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_PREFIX_PATH="$build/sdk" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out"
bash "$root/scripts/wine-run.sh" "$build" "$build/sdk/bin/vantor.exe" classes "Z:$out"
