#!/usr/bin/python3
# subset_fonttools.py - the reference of pdfsubset_bench: fontTools' subsetter,
# in-process with hinting kept, on the first 249 characters at or above U+0400
# that a font maps. Run by Debian's /usr/bin/python3 (python3-fonttools).
# Usage: subset_fonttools.py FONT ROUNDS OUT.ttf
# Prints the characters (hex) on the first line, then, for each line read on
# its input (the benchmark's turn given over), one round's time in seconds
# (loading the font, subsetting, writing the file to memory); writes the last
# subset to OUT.ttf.
import io
import sys
import time

from fontTools import subset
from fontTools.ttLib import TTFont

CHARS = 249
FIRST = 0x0400


def main():
    path, rounds, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    cmap = TTFont(path).getBestCmap()
    chars = sorted(c for c in cmap if c >= FIRST)[:CHARS]
    print(" ".join("%x" % c for c in chars), flush=True)
    data = b""
    for _ in range(rounds):
        if not sys.stdin.readline():
            break
        t0 = time.perf_counter()
        font = TTFont(path)
        options = subset.Options()
        options.hinting = True
        subsetter = subset.Subsetter(options)
        subsetter.populate(unicodes=chars)
        subsetter.subset(font)
        buf = io.BytesIO()
        font.save(buf)
        data = buf.getvalue()
        print("%.6f" % (time.perf_counter() - t0), flush=True)
    open(out, "wb").write(data)


if __name__ == "__main__":
    main()
