#!/bin/sh
# scenefiles.sh - draws the image files of the picture scenes with ImageMagick
# into a folder: pict-e2e.bmp (a red and a blue half, 64 x 24), fax.tif (a
# three-page Group 4 fax whose page n shows one black bar at n x 40 pixels
# across), fax-p2.tif (its second page alone, as a server hands out one page)
# pages.dcx (pages 1 and 3 of the fax as a DCX file), tiny-lzw.tif (113
# bytes declaring an LZW grey page of 16384 x 16383 whose strip holds only
# Clear and EndOfInformation) and tiny-g4.tif (a 4 KB Group 4 page of 65535 x
# 32768 rows without a black run, BlackIsZero so that it shows black, in two
# strips of 32767 rows and one: every row a single V0 code).
# Usage: scenefiles.sh DIR [CONVERT]
set -eu
dir=$1
convert=${2:-convert}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$convert" -size 32x24 xc:red -size 32x24 xc:blue +append -type TrueColor "BMP3:$dir/pict-e2e.bmp"
for n in 1 2 3; do
  x=$((n * 40))
  "$convert" -size 200x120 xc:white -fill black -draw "rectangle $x,20 $((x + 30)),100" -type bilevel "$tmp/page$n.png"
done
"$convert" "$tmp/page1.png" "$tmp/page2.png" "$tmp/page3.png" -type bilevel -compress Group4 "$dir/fax.tif"
"$convert" "$dir/fax.tif[1]" -type bilevel -compress Group4 "$dir/fax-p2.tif"
"$convert" "$tmp/page1.png" "$tmp/page3.png" -type bilevel "DCX:$dir/pages.dcx"
python3 -c "import sys; open(sys.argv[1], 'wb').write(bytes.fromhex(
  '49492a000800000008000001040001000000004000000101040001000000ff3f0000'
  '02010300010000000800000003010300010000000500000006010300010000000100'
  '000011010400010000006e00000015010300010000000100000017010400010000000300'
  '000000000000804040'))" "$dir/tiny-lzw.tif"
python3 - "$dir/tiny-g4.tif" <<'EOF'
import struct, sys
strips = [b"\xff" * 4096, b"\x80"]
entries = [(256, 4, 1, 65535), (257, 4, 1, 32768), (258, 3, 1, 1), (259, 3, 1, 4), (262, 3, 1, 1),
           (273, 4, 2, None), (277, 3, 1, 1), (278, 4, 1, 32767), (279, 4, 2, None)]
ifd = 8
arrays = ifd + 2 + len(entries) * 12 + 4
data = arrays + 16
offsets = [data, data + len(strips[0])]
values = {273: arrays, 279: arrays + 8}
out = b"II*\0" + struct.pack("<I", ifd) + struct.pack("<H", len(entries))
for tag, kind, count, value in entries:
    v = values[tag] if value is None else value
    out += struct.pack("<HHI", tag, kind, count) + (struct.pack("<HH", v, 0) if kind == 3 else struct.pack("<I", v))
out += struct.pack("<I", 0) + struct.pack("<2I", *offsets) + struct.pack("<2I", *map(len, strips))
open(sys.argv[1], "wb").write(out + b"".join(strips))
EOF
