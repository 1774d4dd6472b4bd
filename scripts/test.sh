#!/usr/bin/env bash
# The whole test run: installs what is needed, builds both architectures (the 32-bit one is
# compiled and linked only: this machine cannot run 32-bit programs) and runs every test under
# Wine through ctest, whose summary ends the output.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86
bash "$root/scripts/check-arch.sh" "$root/build/x86/bin" pei-i386
bash "$root/scripts/build.sh" x64
bash "$root/scripts/check-arch.sh" "$root/build/x64/bin" pei-x86-64
bash "$root/scripts/wine-prefix.sh" "$root/build/x64"
cd "$root/build/x64"
status=0
ctest --output-on-failure || status=$?
exit $status
