#!/usr/bin/env bash
# The host application's texmap verb renders the map it edited into an image and saves it in a
# scene; the map taken back from that scene renders the same image. Usage: check-texmap.sh BUILD_DIR
set -euo pipefail
here=$(dirname "$0")
build=$(cd "$1" && pwd)
out="$build/check-texmap"
rm -rf "$out"
mkdir -p "$out"
run() { bash "$here/wine-run.sh" "$build" "$build/bin/vantor.exe" texmap "Z:$build/bin/gradmap.dlt" "Gradient Ramp" "$@"; }
run --close 300 --out "Z:$out/made.bmp" --size 8x2 --save "Z:$out/ramp.vsc"
run --scene "Z:$out/ramp.vsc" --close 300 --out "Z:$out/loaded.bmp" --size 8x2
cmp "$out/made.bmp" "$out/loaded.bmp" || { echo "the reloaded map renders another image" >&2; exit 1; }
# The ramp runs along u from its first flag (deep blue) to its last (pale yellow): the left and the
# right pixel of the top row.
python3 - "$out/made.bmp" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
offset, width, height, bits = struct.unpack_from("<I", data, 10)[0], *struct.unpack_from("<iiH", data, 18)[:2], struct.unpack_from("<H", data, 28)[0]
step = bits // 8
row = (width * step + 3) // 4 * 4
top = offset + (abs(height) - 1) * row if height > 0 else offset
def rgb(x):
    b, g, r = data[top + x * step : top + x * step + 3]
    return r, g, b
left, right = rgb(0), rgb(width - 1)
print("left", left, "right", right)
sys.exit(0 if left[2] > left[0] and right[0] > right[2] else 1)
PY
# A scene without such a map is refused with the reason.
bash "$here/wine-run.sh" "$build" "$build/bin/vantor.exe" scene-demo "Z:$out/other.vsc"
if run --scene "Z:$out/other.vsc" --close 300 2> "$out/refused.txt"; then
  echo "a scene without the map opened" >&2
  exit 1
fi
cat "$out/refused.txt"
echo "texmap round trip ok"
