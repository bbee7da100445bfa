#!/usr/bin/python3
# check_subset_fonts.py - checks subset font files extracted from a written PDF
# against the font they were cut from, with fontTools (Debian's python3-fonttools;
# run it with /usr/bin/python3, which sees Debian's modules).
#
# Usage: check_subset_fonts.py SOURCE.ttf MANIFEST
# The manifest has one block per subset: a line "file PATH", then one line
# "CODE UNICODE WIDTH" per character, WIDTH being the font's /Widths entry.
# Each failure is printed on a line of its own; the exit status is 1 then.
import struct
import sys

from fontTools.ttLib import TTFont

CHECKSUM_MAGIC = 0xB1B0AFBA
HEAD_ADJUSTMENT_OFFSET = 8


def checksum(data):
    data = data + b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def check_checksums(raw, fail):
    num_tables = struct.unpack(">H", raw[4:6])[0]
    for i in range(num_tables):
        tag, recorded, offset, length = struct.unpack(">4sIII", raw[12 + 16 * i:28 + 16 * i])
        if offset + length > len(raw):
            fail("table %s runs past the file" % tag)
            continue
        data = raw[offset:offset + length]
        if tag == b"head":
            data = data[:HEAD_ADJUSTMENT_OFFSET] + b"\0\0\0\0" + data[HEAD_ADJUSTMENT_OFFSET + 4:]
            head_at = offset
        if checksum(data) != recorded:
            fail("table %s: checksum %08x, recorded %08x" % (tag, checksum(data), recorded))
    adjustment = struct.unpack(">I", raw[head_at + 8:head_at + 12])[0]
    whole = raw[:head_at + 8] + b"\0\0\0\0" + raw[head_at + 12:]
    expect = (CHECKSUM_MAGIC - checksum(whole)) & 0xFFFFFFFF
    if adjustment != expect:
        fail("checkSumAdjustment %08x, expected %08x" % (adjustment, expect))


def outline(font, name):
    """The glyph's points with composites resolved, as comparable tuples."""
    glyf = font["glyf"]
    coords, ends, flags = glyf[name].getCoordinates(glyf)
    return list(coords), list(ends), [f & 1 for f in flags]


def check_file(source, path, rows, fail):
    raw = open(path, "rb").read()
    check_checksums(raw, fail)
    font = TTFont(path)
    num_glyphs = font["maxp"].numGlyphs
    loca = font["loca"]
    glyf_len = len(font.reader["glyf"])
    if len(loca) != num_glyphs + 1:
        fail("%s: loca has %d entries for %d glyphs" % (path, len(loca), num_glyphs))
    if any(b < a for a, b in zip(loca, loca[1:])) or loca[-1] > glyf_len:
        fail("%s: loca runs outside glyf (%d bytes)" % (path, glyf_len))
    order = font.getGlyphOrder()
    for name in order:
        glyph = font["glyf"][name]
        if glyph.isComposite():
            for comp in glyph.components:
                if font.getGlyphID(comp.glyphName) >= num_glyphs:
                    fail("%s: glyph %s names component %s beyond the glyphs" % (path, name, comp.glyphName))
    cmap = {}
    for table in font["cmap"].tables:
        cmap.update(table.cmap)
    units = font["head"].unitsPerEm
    source_cmap = source.getBestCmap()
    for code, uni, width in rows:
        if code not in cmap:
            fail("%s: code %d has no glyph" % (path, code))
            continue
        name = cmap[code]
        src_name = source_cmap.get(uni, ".notdef")
        if uni in source_cmap and outline(font, name) != outline(source, src_name):
            fail("%s: code %d (U+%04X) is not the source glyph %s" % (path, code, uni, src_name))
        advance = font["hmtx"][name][0] * 1000 // units
        if uni in source_cmap and abs(advance - width) > 1:
            fail("%s: code %d advance %d, /Widths %d" % (path, code, advance, width))


def main():
    source = TTFont(sys.argv[1])
    blocks = []
    for line in open(sys.argv[2]):
        parts = line.split()
        if not parts:
            continue
        if parts[0] == "file":
            blocks.append((parts[1], []))
        else:
            blocks[-1][1].append(tuple(int(p) for p in parts))
    failures = []
    for path, rows in blocks:
        check_file(source, path, rows, failures.append)
    for f in failures:
        print(f)
    print("checked %d subsets, %d characters" % (len(blocks), sum(len(r) for _, r in blocks)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
