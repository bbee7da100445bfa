#!/usr/bin/env python3
"""make_flood_pdf.py - writes e2e_pdf_flood.pdf into the current folder: a
classic PDF file of 5.7 KB whose one page (/MediaBox [0 0 612 792]) names in
its /Contents the same FlateDecode stream, 4 MiB of spaces at level 9, 200
times: joined, its content would be 800 MiB."""
import zlib

packed = zlib.compress(b" " * (4 << 20), 9)
objs = [
    b"<< /Type /Catalog /Pages 2 0 R >>",
    b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents [" + b" 4 0 R" * 200 + b" ] >>",
    b"<< /Filter /FlateDecode /Length %d >>\nstream\n" % len(packed) + packed + b"\nendstream",
]
pdf = b"%PDF-1.4\n"
offsets = []
for n, body in enumerate(objs, 1):
    offsets.append(len(pdf))
    pdf += b"%d 0 obj\n" % n + body + b"\nendobj\n"
xref = len(pdf)
pdf += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
pdf += b"".join(b"%010d 00000 n \n" % off for off in offsets)
pdf += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
with open("e2e_pdf_flood.pdf", "wb") as f:
    f.write(pdf)
