#!/usr/bin/env bash
# Screenshots of both dialogs at 96 and 144 dpi, taken from the test host under Wine (64-bit
# module, the built-in test card), written as PNG files into docs/.
#   scripts/screenshots.sh        (builds the win64 preset first when it is missing; --inside
#                                 is its own second step, inside the virtual display)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/wine_loaders.sh"
build="$root/build/win64"
if [ ! -f "$build/tools/testhost/testhost.exe" ]; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j2 --target testhost vesper_module
fi
module="$(find "$build/plugins" -name '*.8bf' | head -n 1)"
work="$build/screenshots"
mkdir -p "$work" "$root/docs"
cd "$work"
shoot() {
  local dpi="$1"
  # The card lies in the middle of the line dialog's preview; a stroke across it.
  local ox=$(( ((443 * dpi + 48) / 96 - 64) / 2 )) oy=$(( ((486 * dpi + 48) / 96 - 48) / 2 ))
  "$root/tools/testhost/wine_at_dpi.sh" "$build" "$dpi" "$WINE64" "$build/tools/testhost/testhost.exe" \
    --module "$module" --entry VesperLine \
    --input "drag Image $((ox + 6)),$((oy + 40)) $((ox + 30)),$((oy + 8)) $((ox + 58)),$((oy + 30)) | shot line_dialog_$dpi.bmp | key - escape"
  "$root/tools/testhost/wine_at_dpi.sh" "$build" "$dpi" "$WINE64" "$build/tools/testhost/testhost.exe" \
    --module "$module" --hold-first-paint --input "shot transfer_dialog_$dpi.bmp"
}
if [ "${1:-}" = "--inside" ]; then
  shoot 96
  shoot 144
  exit 0
fi
"$root/scripts/with-wine.sh" "$root/scripts/screenshots.sh" --inside
# BMP (32 or 24 bits, either row order) to PNG with the standard library only.
python3 - "$work" "$root/docs" <<'PY'
import struct, sys, zlib, pathlib
src, dst = map(pathlib.Path, sys.argv[1:3])
for bmp in sorted(src.glob("*_dialog_*.bmp")):
    b = bmp.read_bytes()
    off, w, h, bpp = struct.unpack_from("<I", b, 10)[0], *struct.unpack_from("<iiH", b, 18)[0:2], struct.unpack_from("<H", b, 28)[0]
    step = bpp // 8
    stride = (w * step + 3) & ~3
    rows = []
    for y in range(abs(h)):
        sy = abs(h) - 1 - y if h > 0 else y
        r = b[off + sy * stride: off + sy * stride + w * step]
        rows.append(b"\0" + b"".join(bytes((r[i + 2], r[i + 1], r[i])) for i in range(0, w * step, step)))
    def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, abs(h), 8, 2, 0, 0, 0)) \
        + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    out = dst / (bmp.stem + ".png")
    out.write_bytes(png)
    print(f"{out.relative_to(dst.parent)}: {w} x {abs(h)}")
PY
