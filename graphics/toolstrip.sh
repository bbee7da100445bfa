#!/bin/sh
# toolstrip.sh - draws the client's standard tool strip "QOVDEFTOOLS": six
# 16 x 16 images side by side (new page, open folder, save, cut, copy,
# paste) on the mask colour 0xC0C0C0, as a 24-bit .BMP. Each image is
# pixel text below: "." the mask colour, k black, w white, b blue, y yellow,
# r red, g grey. Usage: toolstrip.sh OUTPUT
set -e
out=$1
bytes=$(awk '
BEGIN {
    n = 0
    # new page
    img[n++] = "................" "...kkkkkkk......" "...kwwwwwkk....." "...kwwwwwkwk...." "...kwwwwwkkkk..." "...kwwwwwwwwk..." "...kwwwwwwwwk..." "...kwwwwwwwwk..." "...kwwwwwwwwk..." "...kwwwwwwwwk..." "...kwwwwwwwwk..." "...kwwwwwwwwk..." "...kwwwwwwwwk..." "...kwwwwwwwwk..." "...kkkkkkkkkk..." "................"
    # open folder
    img[n++] = "................" "................" "..........kkk..." ".........k...k.k" "..............kk" ".kkk.........kkk" "kyyykkkkkkk....." "kyyyyyyyyyk....." "kyyyykkkkkkkkkkk" "kyyykgggggggggk." "kyykgggggggggk.." "kykgggggggggk..." "kkgggggggggk...." "kkkkkkkkkkk....." "................" "................"
    # save
    img[n++] = "................" ".kkkkkkkkkkkkkk." ".kbkwwwwwwwwkbk." ".kbkwwwwwwwwkbk." ".kbkwwwwwwwwkbk." ".kbkwwwwwwwwkbk." ".kbbkkkkkkkkbbk." ".kbbbbbbbbbbbbk." ".kbbkkkkkkkkbbk." ".kbbkkkkkkbkbbk." ".kbbkkkkkkbkbbk." ".kbbkkkkkkbkbbk." "..kbkkkkkkkkbbk." "...kkkkkkkkkkkk." "................" "................"
    # cut
    img[n++] = "................" "...k.....k......" "...k.....k......" "...k.....k......" "...kk...kk......" "....k...k......." "....kk.kk......." ".....kkk........" "......k........." ".....rkr........" "...rrr.rrr......" "..r..r.r..r....." "..r..r.r..r....." "..r..r.r..r....." "...rr...rr......" "................"
    # copy
    img[n++] = "kkkkkk.........." "kwwwwkk........." "kwkkwkwk........" "kwwwwkkkk......." "kwkkkkwkkkkkk..." "kwwwwkwwwwwkkk.." "kwkkkkwkkkwkwk.." "kwwwwkwwwwwkkkk." "kwkkkkwkkkkkkwk." "kwwwwkwwwwwwwwk." "kkkkkkwkkkkkkwk." "......wwwwwwwwk." "......wkkkkkkwk." "......wwwwwwwwk." "......kkkkkkkkk." "................"
    # paste
    img[n++] = "....kkkk........" ".kkkkyykkkk....." "kyyykkkkyyyk...." "kyykwwwwkyyk...." "kyykkkkkkyyk...." "kyyyyyyyyyyk...." "kyyyyykkkkkkk..." "kyyyyykwwwwwkk.." "kyyyyykwkkkwkwk." "kyyyyykwwwwwkkkk" "kyyyyykwkkkkkwwk" "kyyyyykwwwwwwwwk" "kyyyyykwkkkkkkwk" ".kkkkkkwwwwwwwwk" "......kkkkkkkkkk" "................"
    col["."] = "192 192 192"; col["k"] = "0 0 0"; col["w"] = "255 255 255"; col["b"] = "0 0 128"
    col["y"] = "255 255 0"; col["r"] = "255 0 0"; col["g"] = "128 128 128"
    w = 16 * n; h = 16; stride = int((w * 24 + 31) / 32) * 4
    size = 54 + stride * h
    emit(66); emit(77); u32(size); u32(0); u32(54)
    u32(40); u32(w); u32(h); u16(1); u16(24); u32(0); u32(stride * h); u32(2835); u32(2835); u32(0); u32(0)
    for (y = h - 1; y >= 0; y--) {
        for (x = 0; x < w; x++) {
            c = substr(img[int(x / 16)], y * 16 + x % 16 + 1, 1)
            split(col[c], rgb, " ")
            emit(rgb[3]); emit(rgb[2]); emit(rgb[1])
        }
        for (p = w * 3; p < stride; p++) emit(0)
    }
}
function emit(v) { printf "\\%03o", v }
function u16(v) { emit(v % 256); emit(int(v / 256) % 256) }
function u32(v) { u16(v % 65536); u16(int(v / 65536)) }')
printf "$bytes" > "$out"
