#!/usr/bin/env bash
# Checks that the modules of a build folder have the expected format and import no MinGW runtime
# DLL. Usage: check-arch.sh BIN_DIR FORMAT
set -euo pipefail
bin=$1
format=$2
for f in "$bin"/Quorlib.dlz "$bin"/VantorHost.dll "$bin"/vantor.exe; do
  got=$(x86_64-w64-mingw32-objdump -f "$f" | sed -n 's/.*file format //p')
  if [ "$got" != "$format" ]; then
    echo "check-arch: $f is $got, expected $format" >&2
    exit 1
  fi
  if x86_64-w64-mingw32-objdump -p "$f" | grep -iE 'DLL Name: (libwinpthread|libgcc|libstdc)' >&2; then
    echo "check-arch: $f imports a MinGW runtime DLL" >&2
    exit 1
  fi
done
echo "check-arch: $(basename "$(dirname "$bin")") modules are $format"
