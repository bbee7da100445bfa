#!/usr/bin/env python3
"""check_output.py - reads back what the print job tests captured from the
test printer: each NAME.ps beside its NAME.expect is turned into a PDF with
ps2pdf, its words and page sizes read with pdftotext -bbox and its pixels
rendered with Ghostscript at 72 dpi (one pixel a point), and every expected
line is checked. An expectation file that begins with the line "written"
belongs to a PDF file the job wrote itself (NAME.pdf), read as it is.

  word TEXT K X YTOP YBOTTOM   the left edge of character K of TEXT lies at X
                               (points, within 0.75) and the word between the
                               two rows (within 1.5)
  pixel X Y R G B              the pixel at (X, Y) has that colour
  page N W H                   page N is W x H points
  pages N                      the document has exactly N pages
  pscontains TEXT              the PostScript holds TEXT (the rest of the line)
  text N WORD                  WORD is a word of page N
  password PW                  the file opens with PW (the tools are given it)
  info KEY VALUE               pdfinfo shows KEY: VALUE (the rest of the line)
  attached NAME                pdfdetach lists an attachment NAME
  encrypted R P                qpdf shows revision R and permissions P
  images N PLACED              the file holds N image objects, drawn PLACED times
  embedded PREFIX N            pdffonts lists N embedded fonts named PREFIX...
  imagelike N FILE             image N that pdfimages -png extracts is within 8 per
                               channel of FILE (beside the expectation) as
                               ImageMagick reads it

Usage: check_output.py OUTDIR
"""
import os
import re
import subprocess
import sys

X_TOL = 0.75
Y_TOL = 1.5


def words_and_pages(pdf, password=""):
    text = subprocess.run(["pdftotext", "-upw", password, "-bbox", pdf, "-"], check=True, capture_output=True,
                          text=True).stdout
    pages = []
    words = []
    for line in text.splitlines():
        m = re.search(r'<page width="([\d.]+)" height="([\d.]+)"', line)
        if m:
            pages.append((float(m.group(1)), float(m.group(2))))
            continue
        m = re.search(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*)</word>', line)
        if m:
            words.append((m.group(5), len(pages), *map(float, m.group(1, 2, 3, 4))))
    return words, pages


def render(pdf, page, password=""):
    out = pdf + f".{page}.ppm"
    subprocess.run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=ppmraw", "-r72", f"-sPDFPassword={password}",
                    f"-dFirstPage={page}", f"-dLastPage={page}", f"-sOutputFile={out}", pdf], check=True)
    with open(out, "rb") as f:
        data = f.read()
    m = re.match(rb"P6\s+(?:#[^\n]*\n)*\s*(\d+)\s+(\d+)\s+(\d+)\s", data)
    w, h = int(m.group(1)), int(m.group(2))
    return w, h, data[m.end():]


def image_like(outdir, name, pdf, password, n, reference):
    prefix = os.path.join(outdir, name + "-img")
    subprocess.run(["pdfimages", "-upw", password, "-png", pdf, prefix], check=True)
    extracted = f"{prefix}-{n:03d}.png"
    if not os.path.exists(extracted):
        return [f"{name}: no image {n} in the file"]
    a, b = prefix + "-cmp-a.png", prefix + "-cmp-b.png"
    subprocess.run(["convert", extracted, "-alpha", "off", "PNG24:" + a], check=True)
    subprocess.run(["convert", os.path.join(outdir, reference), "-alpha", "off", "PNG24:" + b], check=True)
    out = subprocess.run(["compare", "-metric", "PAE", a, b, "null:"], capture_output=True, text=True).stderr
    m = re.search(r"\(([\d.e+-]+)\)", out)
    if not m:
        return [f"{name}: image {n} and {reference} not compared: {out!r}"]
    peak = float(m.group(1)) * 255
    return [] if peak <= 8 else [f"{name}: image {n} differs from {reference} by {peak:.1f} in a channel"]


def written_by_job(outdir, name):
    with open(os.path.join(outdir, name + ".expect")) as f:
        return f.readline().strip() == "written"


def check(outdir, name):
    ps = os.path.join(outdir, name + ".ps")
    pdf = os.path.join(outdir, name + ".pdf")
    if not written_by_job(outdir, name):
        subprocess.run(["ps2pdf", ps, pdf], check=True)
    with open(os.path.join(outdir, name + ".expect")) as f:
        lines = f.readlines()
    password = next((l.split(None, 1)[1].rstrip("\n") for l in lines if l.startswith("password ")), "")
    words, pages = words_and_pages(pdf, password)
    image = None
    failures = []
    for line in lines:
        p = line.split()
        if not p:
            continue
        if p[0] == "word":
            text, k, x, top, bottom = p[1], int(p[2]), float(p[3]), float(p[4]), float(p[5])
            found = [w for w in words if w[0] == text]
            if not found:
                failures.append(f"{name}: word {text} not found")
                continue
            _, _, x0, y0, x1, y1 = found[0]
            at = x0 + k * (x1 - x0) / len(text)
            if abs(at - x) > X_TOL or y0 < top - Y_TOL or y1 > bottom + Y_TOL:
                failures.append(f"{name}: {text}[{k}] expected x {x:.2f} rows {top:.2f}-{bottom:.2f}, "
                                f"got x {at:.2f} box {x0:.2f},{y0:.2f}-{x1:.2f},{y1:.2f}")
        elif p[0] == "pixel":
            x, y, rgb = float(p[1]), float(p[2]), tuple(map(int, p[3:6]))
            if image is None:
                image = render(pdf, 1, password)
            w, h, data = image
            i = (int(y) * w + int(x)) * 3
            got = tuple(data[i:i + 3])
            if any(abs(a - b) > 8 for a, b in zip(got, rgb)):
                failures.append(f"{name}: pixel {x:.1f},{y:.1f} expected {rgb}, got {got}")
        elif p[0] == "pscontains":
            want = line.split(None, 1)[1].rstrip("\n")
            with open(ps, "rb") as g:
                if want.encode() not in g.read():
                    failures.append(f"{name}: the PostScript lacks {want!r}")
        elif p[0] == "text":
            n, text = int(p[1]), p[2]
            if not any(w[0] == text and w[1] == n for w in words):
                failures.append(f"{name}: page {n} lacks the word {text} "
                                f"(it has {[w[0] for w in words if w[1] == n]})")
        elif p[0] == "info":
            want = line.split(None, 2)
            info = subprocess.run(["pdfinfo", "-upw", password, pdf], capture_output=True, text=True).stdout
            if not re.search(rf"^{re.escape(want[1])}:\s+{re.escape(want[2].rstrip())}(\s|$)", info, re.M):
                failures.append(f"{name}: pdfinfo lacks {want[1]}: {want[2].rstrip()!r}")
        elif p[0] == "attached":
            listed = subprocess.run(["pdfdetach", "-upw", password, "-list", pdf], capture_output=True,
                                    text=True).stdout
            if not re.search(rf"^\d+: {re.escape(p[1])}$", listed, re.M):
                failures.append(f"{name}: no attachment {p[1]} ({listed!r})")
        elif p[0] == "encrypted":
            shown = subprocess.run(["qpdf", "--show-encryption", f"--password={password}", pdf],
                                   capture_output=True, text=True).stdout
            if f"R = {p[1]}" not in shown or f"P = {p[2]}" not in shown:
                failures.append(f"{name}: encryption expected R {p[1]} P {p[2]}: {shown!r}")
        elif p[0] == "images":
            listed = subprocess.run(["pdfimages", "-upw", password, "-list", pdf], capture_output=True,
                                    text=True).stdout.splitlines()[2:]
            objects = {row.split()[10] for row in listed}
            if len(objects) != int(p[1]) or len(listed) != int(p[2]):
                failures.append(f"{name}: expected {p[1]} images drawn {p[2]} times, got {len(objects)} "
                                f"drawn {len(listed)} times")
        elif p[0] == "imagelike":
            failures += image_like(outdir, name, pdf, password, int(p[1]), p[2])
        elif p[0] == "embedded":
            rows = subprocess.run(["pdffonts", "-upw", password, pdf], capture_output=True,
                                  text=True).stdout.splitlines()[2:]
            found = [r for r in rows if r.startswith(p[1]) and " yes " in r]
            if len(found) != int(p[2]):
                failures.append(f"{name}: expected {p[2]} embedded fonts {p[1]}..., got {rows}")
        elif p[0] == "pages":
            if int(p[1]) != len(pages):
                failures.append(f"{name}: expected {p[1]} pages, got {len(pages)}")
        elif p[0] == "page":
            n, w, h = int(p[1]), float(p[2]), float(p[3])
            if n > len(pages):
                failures.append(f"{name}: page {n} missing ({len(pages)} pages)")
            elif abs(pages[n - 1][0] - w) > 1 or abs(pages[n - 1][1] - h) > 1:
                failures.append(f"{name}: page {n} expected {w}x{h}, got {pages[n - 1][0]}x{pages[n - 1][1]}")
    return failures


def main():
    outdir = sys.argv[1]
    names = sorted(f[:-7] for f in os.listdir(outdir) if f.endswith(".expect"))
    if not names:
        print("no expectations written")
        return 1
    failures = []
    for name in names:
        if written_by_job(outdir, name):
            if not os.path.exists(os.path.join(outdir, name + ".pdf")):
                failures.append(f"{name}: no PDF file written")
                continue
        elif not os.path.exists(os.path.join(outdir, name + ".ps")):
            failures.append(f"{name}: no PostScript captured")
            continue
        failures += check(outdir, name)
    for f in failures:
        print("FAIL", f)
    print(f"{len(names)} captures, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
