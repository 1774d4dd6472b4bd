#!/usr/bin/env bash
# Configures and builds one architecture and installs its SDK folder.
# Usage: build.sh x64|x86   (build folder build/x64 or build/x86, SDK in build/<arch>/sdk)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-x64}
case "$arch" in
  x64) toolchain=mingw64 ;;
  x86) toolchain=mingw32 ;;
  *) echo "build.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
build="$root/build/$arch"
# One build at a time on this machine, whichever work tree it comes from.
exec 8>/tmp/quorlib-build.lock
flock 8
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain.cmake" >/dev/null
cmake --build "$build" -j2
cmake --install "$build" --prefix "$build/sdk" >/dev/null
