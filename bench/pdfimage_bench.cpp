// pdfimage_bench.cpp - pictures and passwords in PDF files against cairo's PDF
// surface in the same run: pages each holding one picture (a 1000 x 1000
// photograph-like picture, a flat chart, 184 x 184 and 20 x 20 noise) written
// by both, pages per second and bytes per page; one picture on 100 pages; and
// the dense text page of pdf_bench plain and encrypted.
// Usage: pdfimage_bench [pages per document] [rounds]
#include <cairo-pdf.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "print/pdf/pdf.h"

namespace {

// A picture as both writers take it: bottom-up 24-bit rows for the PDF writer,
// top-down xRGB words for cairo.
struct Picture {
    const char* name;
    int width, height;
    std::vector<uint8_t> dib;
    std::vector<uint32_t> xrgb;
};

uint32_t gNoise = 12345;
int Noise(int span) {
    gNoise = gNoise * 1103515245u + 12345u;
    return static_cast<int>((gNoise >> 16) % static_cast<uint32_t>(span));
}

enum PictureKind { kPhoto, kChart, kNoise };

Picture MakePicture(const char* name, int w, int h, PictureKind kind) {
    Picture p{name, w, h, {}, {}};
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t(3);
    p.dib.assign(stride * h, 0);
    p.xrgb.assign(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int r, g, b;
            if (kind == kPhoto) {
                // Smooth shapes with a little grain, as a photograph has.
                double v = std::sin(x * 0.011) * std::cos(y * 0.007) + std::sin((x + y) * 0.004);
                r = 128 + static_cast<int>(60 * v) + Noise(9) - 4;
                g = 110 + static_cast<int>(50 * std::sin(y * 0.013 + v)) + Noise(9) - 4;
                b = 90 + static_cast<int>(70 * std::cos(x * 0.009 - v)) + Noise(9) - 4;
            } else if (kind == kChart) {
                // White ground, grid lines and five coloured bars.
                r = g = b = 255;
                if (x % 100 == 0 || y % 100 == 0) r = g = b = 200;
                int bar = x / (w / 5);
                if (x % (w / 5) > 20 && y > h - (bar + 1) * h / 6) {
                    static const int kBars[5][3] = {{31, 119, 180}, {255, 127, 14}, {44, 160, 44}, {214, 39, 40},
                                                    {148, 103, 189}};
                    r = kBars[bar % 5][0], g = kBars[bar % 5][1], b = kBars[bar % 5][2];
                }
            } else {
                r = Noise(256), g = Noise(256), b = Noise(256);
            }
            r = r < 0 ? 0 : r > 255 ? 255 : r;
            g = g < 0 ? 0 : g > 255 ? 255 : g;
            b = b < 0 ? 0 : b > 255 ? 255 : b;
            uint8_t* d = p.dib.data() + stride * (h - 1 - y) + x * 3;
            d[0] = static_cast<uint8_t>(b), d[1] = static_cast<uint8_t>(g), d[2] = static_cast<uint8_t>(r);
            p.xrgb[static_cast<size_t>(y) * w + x] = (static_cast<uint32_t>(r) << 16) | (g << 8) | b;
        }
    return p;
}

PdfImageInput InputOf(const Picture& p, DWORD identity) {
    PdfImageInput in;
    memset(&in, 0, sizeof in);
    in.identity[0] = identity;
    in.top = 100, in.left = 100, in.bottom = 500, in.right = 500;  // points
    in.width = p.width, in.height = p.height, in.bitsPerPixel = 24;
    in.dataSize = static_cast<DWORD>(p.dib.size());
    in.pixels = p.dib.data();
    in.endRow = p.height, in.endCol = p.width;
    return in;
}

// Each page its own picture (identity 0), so that every page encodes it.
void WriteQov(const Picture& p, int pages, const char* path, DWORD identity = 0) {
    PdfDocRec* doc = nullptr;
    if (PdfBegin(path, &doc, 0, 600) != 0) return;
    PdfControlCode(doc, 280, 9);  // points
    PdfControlCode(doc, 279, 0);  // no frame: cairo draws none
    PdfImageInput in = InputOf(p, identity);
    for (int i = 0; i < pages; i++) {
        PdfStartPage(doc);
        PdfDrawImage(doc, &in);
    }
    PdfFinish(doc);
}

void WriteCairo(const Picture& p, int pages, const char* path) {
    cairo_surface_t* surface = cairo_pdf_surface_create(path, 612, 792);
    cairo_t* cr = cairo_create(surface);
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, p.width);
    for (int i = 0; i < pages; i++) {
        std::vector<uint32_t> copy(p.xrgb);  // a surface of its own a page, as the writer's own image
        cairo_surface_t* img = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(copy.data()),
                                                                   CAIRO_FORMAT_RGB24, p.width, p.height, stride);
        cairo_save(cr);
        cairo_translate(cr, 109, 109);
        double s = 400.0 / (p.width > p.height ? p.width : p.height);
        cairo_scale(cr, s, s);
        cairo_set_source_surface(cr, img, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_show_page(cr);
        cairo_surface_destroy(img);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
}

// pdf_bench's dense page: 66 lines of six fields in 9-point Courier.
void WriteText(int pages, const char* path, bool encrypted) {
    PdfDocRec* doc = nullptr;
    if (PdfBegin(path, &doc, 0, 600) != 0) return;
    if (encrypted) {
        PdfEncryptOpts o;
        PdfParseEncryptOpts("U=user,O=owner", 14, &o);
        PdfStartEncryption(doc, &o);
    }
    PdfFontSpec spec;
    PdfParseFontSpec("FIXED(9)", 8, &spec);
    PdfSetFontSpec(doc, &spec);
    PdfControlCode(doc, 110, 0);
    static const int kColumns[6] = {1, 10, 24, 52, 68, 82};
    char text[64];
    for (int pg = 0; pg < pages; pg++) {
        PdfStartPage(doc);
        for (int l = 0; l < 66; l++)
            for (int f = 0; f < 6; f++) {
                int n = pg * 66 + l;
                snprintf(text, sizeof text, f == 2 ? "Customer account %05d - region %c" : "%07d %c", n * 7 % 99991 + f,
                         'A' + n % 26);
                PdfMoveTo(doc, static_cast<WORD>(kColumns[f]), static_cast<WORD>(l + 1));
                PdfDrawText(doc, reinterpret_cast<const BYTE*>(text), strlen(text), '.', false);
            }
    }
    PdfFinish(doc);
}

}  // namespace

int main(int argc, char** argv) {
    int pages = argc > 1 ? atoi(argv[1]) : 10;
    int rounds = argc > 2 ? atoi(argv[2]) : 5;
    if (pages < 1 || rounds < 1) return 2;
    std::vector<Picture> pictures;
    pictures.push_back(MakePicture("photo 1000 x 1000", 1000, 1000, kPhoto));
    pictures.push_back(MakePicture("flat chart 600 x 400", 600, 400, kChart));
    pictures.push_back(MakePicture("noise 184 x 184", 184, 184, kNoise));
    pictures.push_back(MakePicture("noise 20 x 20", 20, 20, kNoise));
    printf("pages per document %d, %d rounds; JPEG quality %u\n", pages, rounds, 100u);
    for (const Picture& p : pictures) {
        BenchResult r = BenchInTurns(
            rounds, [&] { WriteQov(p, pages, "bench-img-qov.pdf"); },
            [&] { WriteCairo(p, pages, "bench-img-cairo.pdf"); });
        // Time ratio below 1 means faster; the goals for the photograph: not
        // slower, and no more bytes.
        double qb = static_cast<double>(BenchFileSize("bench-img-qov.pdf")) / pages;
        double cb = static_cast<double>(BenchFileSize("bench-img-cairo.pdf")) / pages;
        if (p.width == 1000) {
            BenchReportGoal(kGoalPdfPhotoTime, p.name, r, 1e3 / pages, "ms/page");
            BenchResult size;
            BenchAddRound(&size, qb, cb);
            BenchReportGoal(kGoalPdfPhotoSize, std::string(p.name) + " size", size, 1e-3, "KB/page");
        } else {
            BenchReport(p.name, r, "cairo", 0, 1e3 / pages, "ms/page");
            printf("    bytes/page %10.0f   cairo %10.0f   size ratio %.2f\n", qb, cb, qb / cb);
        }
    }
    WriteQov(pictures[2], 1, "bench-once.pdf", 1);
    long one = BenchFileSize("bench-once.pdf");
    WriteQov(pictures[2], 100, "bench-once.pdf", 1);
    printf("one picture on 100 pages: %ld bytes, on one page %ld bytes (one image either way)\n",
           BenchFileSize("bench-once.pdf"), one);
    BenchResult t = BenchInTurns(
        rounds, [&] { WriteText(pages * 10, "bench-text-enc.pdf", true); },
        [&] { WriteText(pages * 10, "bench-text.pdf", false); });
    BenchReportGoal(kGoalPdfEncrypted, "encrypted text pages", t, 1e3 / (pages * 10), "ms/page");
    return 0;
}
