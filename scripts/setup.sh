#!/usr/bin/env bash
# Installs what building and testing need (Debian packages). Idempotent: quick when all is there.
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 googletest
          xvfb x11-apps imagemagick binutils-mingw-w64-x86-64 fonts-wine
          python3-opencv python3-pil)  # the last two for bench/compare.py
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends -t bookworm "${missing[@]}" >/dev/null
fi
