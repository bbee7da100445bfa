#!/bin/sh
# make_pictures.sh - draws the pictures the print picture tests print, with
# ImageMagick, into a folder: four colour bands (40 x 20 pixels) as a 5-6-5
# bit-field BMP, a 32-bit bit-field BMP and a run-length 8-bit BMP. The band
# colours are the test's kBandColours.
# Usage: make_pictures.sh DIR
set -eu
dir=$1
bands() {
  convert -size 10x20 xc:'rgb(200,40,40)' xc:'rgb(40,200,40)' xc:'rgb(40,40,200)' xc:'rgb(230,200,40)' +append "$@"
}
bands -define bmp:subtype=RGB565 "BMP:$dir/pict-565.bmp"
bands -alpha on -define bmp:format=bmp4 "BMP:$dir/pict-32.bmp"
bands -type Palette -compress RLE "BMP3:$dir/pict-rle8.bmp"
