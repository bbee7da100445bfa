#!/bin/sh
# cursors.sh - draws the splitter cursors of the client as 32 x 32 monochrome
# .cur files: "h" a horizontal double bar with arrows up and down (splitters
# docked top or bottom), "v" a vertical double bar with arrows left and right
# (splitters docked left or right). Black shape, white outline, hot spot in
# the middle. Usage: cursors.sh h|v OUTPUT
set -e
kind=$1
out=$2
bytes=$(awk -v kind="$kind" '
function shape(x, y,   t, d) {
    if (kind == "h") { t = x; x = y; y = t }        # the same drawing turned a quarter
    if ((x == 14 || x == 17) && y >= 6 && y <= 25) return 1
    if ((y == 15 || y == 16) && ((x >= 5 && x <= 12) || (x >= 19 && x <= 26))) return 1
    for (d = 0; d <= 3; d++) {
        if (x == 5 + d && y >= 15 - d - 1 && y <= 16 + d + 1) return 1
        if (x == 26 - d && y >= 15 - d - 1 && y <= 16 + d + 1) return 1
    }
    return 0
}
function outline(x, y,   dx, dy) {
    if (shape(x, y)) return 0
    for (dx = -1; dx <= 1; dx++) for (dy = -1; dy <= 1; dy++)
        if (x + dx >= 0 && x + dx < 32 && y + dy >= 0 && y + dy < 32 && shape(x + dx, y + dy)) return 1
    return 0
}
function emit(v) { printf "\\%03o", v }
function u16(v) { emit(v % 256); emit(int(v / 256) % 256) }
function u32(v) { u16(v % 65536); u16(int(v / 65536)) }
BEGIN {
    # Icon directory: reserved, type 2 (cursor), one image.
    u16(0); u16(2); u16(1)
    # Entry: 32 x 32, no palette count, hot spot (15, 15), 304 bytes at 22.
    emit(32); emit(32); emit(0); emit(0); u16(15); u16(15); u32(304); u32(22)
    # BITMAPINFOHEADER: 32 wide, 64 high (colour mask over and mask), 1 bit.
    u32(40); u32(32); u32(64); u16(1); u16(1); u32(0); u32(256); u32(0); u32(0); u32(2); u32(0)
    # Palette: black, white.
    u32(0); emit(255); emit(255); emit(255); emit(0)
    # Colour mask, bottom row first: 1 = white (the outline).
    for (y = 31; y >= 0; y--) for (b = 0; b < 4; b++) {
        v = 0
        for (i = 0; i < 8; i++) v = v * 2 + outline(b * 8 + i, y)
        emit(v)
    }
    # And mask: 0 where the cursor is opaque.
    for (y = 31; y >= 0; y--) for (b = 0; b < 4; b++) {
        v = 0
        for (i = 0; i < 8; i++) { x = b * 8 + i; v = v * 2 + ((shape(x, y) || outline(x, y)) ? 0 : 1) }
        emit(v)
    }
}')
printf "$bytes" > "$out"
