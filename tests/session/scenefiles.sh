#!/bin/sh
# scenefiles.sh - draws the image files of the picture scenes with ImageMagick
# into a folder: pict-e2e.bmp (a red and a blue half, 64 x 24), fax.tif (a
# three-page Group 4 fax whose page n shows one black bar at n x 40 pixels
# across), fax-p2.tif (its second page alone, as a server hands out one page)
# pages.dcx (pages 1 and 3 of the fax as a DCX file), tiny-lzw.tif (113
# bytes declaring an LZW grey page of 16384 x 16383 whose strip holds only
# Clear and EndOfInformation), tiny-g4.tif (a 4 KB Group 4 page of 65535 x
# 32767 rows without a black run, BlackIsZero so that it shows black, in two
# strips of 32766 rows and one: every row a single V0 code; its picture and
# the file held beside it just fit the 256 MiB ceiling) and tiny-prog.jpg
# (128 bytes: the markers of a progressive 4:2:0 colour JPEG of 10000 x 8880,
# its first scan header and the end marker, no data).
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
entries = [(256, 4, 1, 65535), (257, 4, 1, 32767), (258, 3, 1, 1), (259, 3, 1, 4), (262, 3, 1, 1),
           (273, 4, 2, None), (277, 3, 1, 1), (278, 4, 1, 32766), (279, 4, 2, None)]
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
python3 - "$dir/tiny-prog.jpg" <<'EOF'
import struct, sys
def segment(marker, body):
    return struct.pack(">BBH", 0xFF, marker, len(body) + 2) + body
width, height = 10000, 8880
quant = segment(0xDB, b"\x00" + b"\x01" * 64)
frame = segment(0xC2, struct.pack(">BHHB", 8, height, width, 3) + bytes([1, 0x22, 0, 2, 0x11, 0, 3, 0x11, 0]))
# One DC code of one bit, for the difference category 0.
huffman = segment(0xC4, b"\x00" + bytes([1] + [0] * 15) + b"\x00")
# The first DC scan of all three components: coefficients 0..0, point 1.
scan = segment(0xDA, bytes([3, 1, 0, 2, 0, 3, 0, 0, 0, 1]))
open(sys.argv[1], "wb").write(b"\xff\xd8" + quant + frame + huffman + scan + b"\xff\xd9")
EOF
