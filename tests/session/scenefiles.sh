#!/bin/sh
# scenefiles.sh - draws the image files of the picture scenes with ImageMagick
# into a folder: pict-e2e.bmp (a red and a blue half, 64 x 24), fax.tif (a
# three-page Group 4 fax whose page n shows one black bar at n x 40 pixels
# across), fax-p2.tif (its second page alone, as a server hands out one page)
# pages.dcx (pages 1 and 3 of the fax as a DCX file) and tiny-lzw.tif (113
# bytes declaring an LZW grey page of 16384 x 16383 whose strip holds only
# Clear and EndOfInformation).
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
