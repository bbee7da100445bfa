#!/usr/bin/env python3
"""check_preview_shots.py - reads the preview's screenshots back: in each
24-bit BMP the white sheet is found inside the view (the rows whose left
margin shows the black background), its scale taken from its width, and the
box drawn on that page is probed at its centre for its colour; the shots
taken after scrolling show no black line across the sheet.

Usage: check_preview_shots.py SHOTDIR
"""
import os
import struct
import sys

DPI = 600
MARGIN_IN = 0.25          # the printer's unprintable edge (18 points)
# screenshot: page width and height in inches, the box's centre in printer
# pixels from the printable corner, its colour (r, g, b).
SHOTS = [
    ("preview-1.bmp", 8.5, 11.0, (1200, 1200), (255, 0, 0)),
    ("preview-2.bmp", 8.5, 11.0, (2700, 3000), (0, 255, 0)),
    ("preview-3.bmp", 11.0, 8.5, (4200, 1800), (0, 0, 255)),
    ("preview-goto.bmp", 8.5, 11.0, (1200, 1200), (255, 0, 0)),
]


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    off = struct.unpack_from("<I", data, 10)[0]
    w, h = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24:
        raise ValueError(f"{path}: {bits} bits per pixel")
    stride = (w * 3 + 3) & ~3
    bottom_up = h > 0
    h = abs(h)

    def pixel(x, y):
        row = h - 1 - y if bottom_up else y
        b, g, r = data[off + row * stride + 3 * x: off + row * stride + 3 * x + 3]
        return r, g, b
    return w, h, pixel


def find_sheet(w, h, pixel):
    """The white sheet: in each row, a white run that begins after black (the
    sheet's frame on the dark background) and one that ends before black;
    rows without both (the button bar, the desktop) are not the sheet's."""
    black, white = (0, 0, 0), (255, 255, 255)
    left, top, right, bottom = w, h, -1, -1
    for y in range(h):
        row = [pixel(x, y) for x in range(w)]
        starts, ends = [], []
        x = 1
        while x < w:
            if row[x] == white and row[x - 1] != white:
                s = x
                while x < w and row[x] == white:
                    x += 1
                if x - s >= 20:
                    if row[s - 1] == black:
                        starts.append(s)
                    if x < w and row[x] == black:
                        ends.append(x - 1)
            else:
                x += 1
        if starts and ends:
            left, right = min(left, min(starts)), max(right, max(ends))
            top, bottom = min(top, y), max(bottom, y)
    if right < 0:
        return None
    return left, top, right, bottom


def near(c, want, tol=60):
    return all(abs(a - b) <= tol for a, b in zip(c, want))


# Shots after scrolling: the sheet's strips were repainted one by one.
SCROLLED = ["preview-scrolled-lines.bmp", "preview-scrolled-view.bmp"]
LINE_MIN = 50  # black pixels between white ones above and below that make a line


def lines_across_sheet(w, h, pixel):
    """Rows holding a black line with white sheet above and below it."""
    black, white = (0, 0, 0), (255, 255, 255)
    rows = []
    for y in range(1, h - 1):
        n = sum(1 for x in range(w) if pixel(x, y) == black and pixel(x, y - 1) == white and pixel(x, y + 1) == white)
        if n >= LINE_MIN:
            rows.append(y)
    return rows


def check(shotdir):
    failures = []
    for name in SCROLLED:
        path = os.path.join(shotdir, name)
        if not os.path.exists(path):
            failures.append(f"{name}: missing")
            continue
        w, h, pixel = read_bmp(path)
        white = sum(1 for y in range(0, h, 8) for x in range(0, w, 8) if pixel(x, y) == (255, 255, 255))
        if white < 100:
            failures.append(f"{name}: no sheet in the view")
        rows = lines_across_sheet(w, h, pixel)
        if rows:
            failures.append(f"{name}: black lines across the sheet at rows {rows[:10]}")
        else:
            print(f"{name}: no line across the sheet")
    for name, page_w, page_h, (bx, by), colour in SHOTS:
        path = os.path.join(shotdir, name)
        if not os.path.exists(path):
            failures.append(f"{name}: missing")
            continue
        w, h, pixel = read_bmp(path)
        sheet = find_sheet(w, h, pixel)
        if not sheet:
            failures.append(f"{name}: no white sheet in the view")
            continue
        left, top, right, _ = sheet
        per_inch = (right - left + 1) / page_w
        x = int(left + (MARGIN_IN + bx / DPI) * per_inch)
        y = int(top + (MARGIN_IN + by / DPI) * per_inch)
        got = pixel(x, y)
        if not near(got, colour):
            failures.append(f"{name}: box at ({x}, {y}) is {got}, expected {colour} (sheet {sheet})")
        else:
            print(f"{name}: sheet {sheet}, box at ({x}, {y}) {got}")
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(check(sys.argv[1]))
