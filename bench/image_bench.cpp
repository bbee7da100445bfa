// image_bench.cpp - times the image decoders on large generated pictures and on
// real photographs (PNG files named on the command line) and sets them beside
// references measured in turns in the same run: zlib inflating the same PNG's
// image data alone, a bare libjpeg-turbo scanline loop over the same JPEG, and
// (host only: libtiff is a host library) libtiff's TIFFReadEncodedStrip loop
// over the same TIFF bytes. The goals (PNG against inflate alone, JPEG against
// the bare loop, PackBits, LZW and Group 4 TIFF against libtiff) come from the
// table in benchkit.h. PCX is set beside a memcpy of the same size. Builds for
// the host and for Windows (run under Wine).
// Usage: image_bench [--rounds N] [photo.png ...]
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>
#if QOV_BENCH_LIBTIFF
#include <tiffio.h>
#endif

#include "graphics/image/imageload.h"
#include "graphics/image/png.h"
#include "graphics/image/tiff.h"
#include "bench/benchkit.h"
#include "image_testkit.h"
#include "raster_kit.h"

namespace {

constexpr uint32_t kWidth = 4000;
constexpr uint32_t kHeight = 3000;
int gRounds = 9;

// A photo-like picture: smooth gradients, soft edges and a little noise, so
// that both zlib and JPEG see realistic data.
Bytes Photo(int channels) {
    std::mt19937 rng(5);
    Bytes p(size_t(kWidth) * kHeight * channels);
    for (uint32_t y = 0; y < kHeight; y++) {
        for (uint32_t x = 0; x < kWidth; x++) {
            uint8_t* o = &p[(size_t(y) * kWidth + x) * channels];
            double fx = x / 400.0, fy = y / 300.0;
            int base[4] = {int(128 + 100 * std::sin(fx) * std::cos(fy)), int(x * 255 / kWidth),
                           int(y * 255 / kHeight), int(200 + 55 * std::sin(fx + fy))};
            for (int c = 0; c < channels; c++) o[c] = uint8_t(std::min(255, std::max(0, base[c] + int(rng() % 5) - 2)));
        }
    }
    return p;
}

Bytes Indexed() {
    Bytes p(size_t(kWidth) * kHeight);
    std::mt19937 rng(3);
    for (uint32_t y = 0; y < kHeight; y++)
        for (uint32_t x = 0; x < kWidth; x++) p[size_t(y) * kWidth + x] = uint8_t((x / 16 + y / 12) % 200 + (rng() % 8 == 0 ? rng() % 50 : 0));
    return p;
}

// Adam7: the passes of an RGB image, each row filtered with a cycling filter.
Bytes InterlacedPng(const Bytes& rgb) {
    const uint8_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
    const uint8_t dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    Bytes raw;
    for (int p = 0; p < 7; p++) {
        Bytes pass;
        uint32_t pw = (kWidth - x0[p] + dx[p] - 1) / dx[p], ph = (kHeight - y0[p] + dy[p] - 1) / dy[p];
        for (uint32_t y = y0[p]; y < kHeight; y += dy[p])
            for (uint32_t x = x0[p]; x < kWidth; x += dx[p])
                pass.insert(pass.end(), rgb.begin() + (size_t(y) * kWidth + x) * 3, rgb.begin() + (size_t(y) * kWidth + x + 1) * 3);
        Bytes z = PngIdatData(pass, pw * 3, ph, 3, -1, 0);
        Bytes out((size_t(pw) * 3 + 1) * ph);
        uLongf len = uLongf(out.size());
        uncompress(out.data(), &len, z.data(), uLong(z.size()));
        raw.insert(raw.end(), out.begin(), out.end());
    }
    uLongf len = compressBound(uLong(raw.size()));
    Bytes z(len);
    compress2(z.data(), &len, raw.data(), uLong(raw.size()), 6);
    z.resize(len);
    Bytes png = PngSignature();
    PngAddChunk(&png, "IHDR", PngIhdr(kWidth, kHeight, 8, 2, 1));
    for (size_t i = 0; i < z.size(); i += 65536)
        PngAddChunk(&png, "IDAT", Bytes(z.begin() + i, z.begin() + std::min(z.size(), i + 65536)));
    PngAddChunk(&png, "IEND", {});
    return png;
}

// The IDAT data of a PNG, joined, and the size it inflates to.
Bytes IdatData(const Bytes& png) {
    Bytes z;
    for (size_t p = 8; p + 12 <= png.size();) {
        uint32_t len = uint32_t(png[p] << 24 | png[p + 1] << 16 | png[p + 2] << 8 | png[p + 3]);
        if (memcmp(&png[p + 4], "IDAT", 4) == 0) z.insert(z.end(), png.begin() + p + 8, png.begin() + p + 8 + len);
        p += len + 12;
    }
    return z;
}

// Like a decoder, each reference run writes into a freshly allocated block.
void InflateAlone(const Bytes& z, size_t size) {
    uint8_t* out = static_cast<uint8_t*>(malloc(size));
    z_stream s;
    memset(&s, 0, sizeof s);
    inflateInit(&s);
    s.next_in = const_cast<uint8_t*>(z.data());
    s.avail_in = uInt(z.size());
    s.next_out = out;
    s.avail_out = uInt(size);
    inflate(&s, Z_FINISH);
    inflateEnd(&s);
    free(out);
}

void BareJpeg(const Bytes& jpg, size_t size) {
    uint8_t* out = static_cast<uint8_t*>(malloc(size));
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, jpg.data(), jpg.size());
    jpeg_read_header(&c, TRUE);
    jpeg_start_decompress(&c);
    const size_t stride = size_t(c.output_width) * c.output_components;
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = out + size_t(c.output_scanline) * stride;
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    free(out);
}

int Decode(int format, const Bytes& file) {
    gImageDecodeState.sourcePos = file.data();
    gImageDecodeState.sourceSize = uint32_t(file.size());
    ImageClearState();
    int rc = -1;
    if (format == kImgFormatPng) rc = PngLoad(kPngNoBackground);
    else rc = DecodeBytes(format, file);
    return rc;
}

// The filter a real encoder picks for a row: the one whose filtered bytes,
// read as signed, sum to the least (the usual heuristic). Photographs come out
// mostly Paeth with Sub and Average between.
Bytes AdaptiveIdat(const Bytes& rows, uint32_t rowBytes, uint32_t height, uint32_t bpp) {
    Bytes raw, best, cand;
    raw.reserve((size_t(rowBytes) + 1) * height);
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t* row = rows.data() + size_t(y) * rowBytes;
        const uint8_t* up = y ? row - rowBytes : nullptr;
        long bestSum = -1;
        for (int f = 0; f <= 4; f++) {
            cand.assign(1, uint8_t(f));
            long sum = 0;
            for (uint32_t i = 0; i < rowBytes; i++) {
                int a = i >= bpp ? row[i - bpp] : 0, b = up ? up[i] : 0, c = (up && i >= bpp) ? up[i - bpp] : 0;
                int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                int pred = f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : f == 4 ? paeth : 0;
                uint8_t v = uint8_t(row[i] - pred);
                cand.push_back(v);
                sum += std::abs(int(int8_t(v)));
            }
            if (bestSum < 0 || sum < bestSum) bestSum = sum, best.swap(cand);
        }
        raw.insert(raw.end(), best.begin(), best.end());
    }
    uLongf len = compressBound(uLong(raw.size()));
    Bytes z(len);
    compress2(z.data(), &len, raw.data(), uLong(raw.size()), 6);
    z.resize(len);
    return z;
}

Bytes AdaptivePng(const Bytes& pixels, int channels) {
    Bytes png = PngSignature();
    PngAddChunk(&png, "IHDR", PngIhdr(kWidth, kHeight, 8, channels == 4 ? 6 : 2, 0));
    PngAddChunk(&png, "IDAT", AdaptiveIdat(pixels, kWidth * channels, kHeight, channels));
    PngAddChunk(&png, "IEND", {});
    return png;
}

#if QOV_BENCH_LIBTIFF
// libtiff reading from a block in memory.
struct MemFile {
    const Bytes* data;
    Bytes* out;
    toff_t pos;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
    auto* m = static_cast<MemFile*>(h);
    if (m->pos >= m->data->size()) return 0;
    size_t k = std::min<size_t>(size_t(n), m->data->size() - size_t(m->pos));
    memcpy(buf, m->data->data() + m->pos, k);
    m->pos += k;
    return tmsize_t(k);
}
tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
    auto* m = static_cast<MemFile*>(h);
    if (!m->out) return 0;
    if (m->out->size() < m->pos + size_t(n)) m->out->resize(size_t(m->pos) + size_t(n));
    memcpy(m->out->data() + m->pos, buf, size_t(n));
    m->pos += toff_t(n);
    return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<MemFile*>(h);
    const size_t size = m->out ? m->out->size() : m->data->size();
    m->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? m->pos + off : size + off;
    return m->pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) {
    auto* m = static_cast<MemFile*>(h);
    return m->out ? m->out->size() : m->data->size();
}
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

TIFF* MemOpen(MemFile* m, const char* mode) {
    return TIFFClientOpen("mem", mode, m, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
}

// Writes pages with libtiff: each page's samples (rows of `rowBytes`).
struct TiffSpec {
    uint32_t width, height;
    uint16_t bits, samples, compression, photometric, predictor;
    uint32_t rowsPerStrip;
};
Bytes WriteTiff(const TiffSpec& s, const std::vector<const Bytes*>& pages) {
    Bytes out;
    MemFile m = {&out, &out, 0};
    TIFF* t = MemOpen(&m, "w");
    const size_t rowBytes = (size_t(s.width) * s.samples * s.bits + 7) / 8;
    for (const Bytes* p : pages) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, s.width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, s.height);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s.bits);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, s.samples);
        TIFFSetField(t, TIFFTAG_COMPRESSION, s.compression);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, s.photometric);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, s.rowsPerStrip);
        if (s.predictor) TIFFSetField(t, TIFFTAG_PREDICTOR, s.predictor);
        for (uint32_t y = 0; y < s.height; y++)
            TIFFWriteScanline(t, const_cast<uint8_t*>(p->data() + y * rowBytes), y, 0);
        TIFFWriteDirectory(t);
    }
    TIFFClose(t);
    return out;
}

// The reference: every strip of every page through TIFFReadEncodedStrip
// into a freshly allocated block.
void LibtiffStrips(const Bytes& file, int pages) {
    MemFile m = {&file, nullptr, 0};
    TIFF* t = MemOpen(&m, "r");
    for (int p = 0; p < pages; p++) {
        TIFFSetDirectory(t, tdir_t(p));
        const tmsize_t stripSize = TIFFStripSize(t);
        const uint32_t strips = TIFFNumberOfStrips(t);
        uint8_t* out = static_cast<uint8_t*>(malloc(size_t(stripSize) * strips));
        for (uint32_t s = 0; s < strips; s++) TIFFReadEncodedStrip(t, s, out + size_t(s) * stripSize, stripSize);
        free(out);
    }
    TIFFClose(t);
}


// Each page's picture is let go as the reference lets its block go: a picture
// still held while the next is made would leave the allocator's reuse of big
// blocks to alternate between the sides (one side's block faulted in fresh
// every other round, 4x the other's time).
int DecodeTiffPages(const Bytes& file, int pages) {
    int rc = 0;
    for (int p = 1; p <= pages && rc == 0; p++) {
        gImageDecodeState.sourcePos = file.data();
        gImageDecodeState.sourceSize = uint32_t(file.size());
        rc = TiffDecode(uint16_t(p), nullptr);
        ImageClearState();
    }
    return rc;
}

// A fax page: lines of text-like marks on white, 1 bit per pixel, black 1.
Bytes FaxPage(uint32_t width, uint32_t height, unsigned seed) {
    std::mt19937 rng(seed);
    const size_t rowBytes = (width + 7) / 8;
    Bytes p(rowBytes * height, 0);
    for (uint32_t line = 100; line + 40 < height - 100; line += 48) {
        for (uint32_t x = 120; x + 30 < width - 120;) {
            const uint32_t w = 8 + rng() % 18, h = 20 + rng() % 14;
            for (uint32_t y = line; y < line + h; y++)
                for (uint32_t k = x; k < x + w; k++)
                    if ((k + y) % 5 != 0 || rng() % 3 == 0) p[y * rowBytes + k / 8] |= uint8_t(0x80 >> (k % 8));
            x += w + 3 + (rng() % 10 == 0 ? 25 : 0);
        }
    }
    return p;
}
#endif

// Under Wine a Unix path is opened through drive Z:.
Bytes ReadFile(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
#endif
    Bytes b;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return b;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
    fclose(f);
    return b;
}

size_t InflatedSize(const Bytes& z) {
    z_stream s;
    memset(&s, 0, sizeof s);
    inflateInit(&s);
    Bytes tmp(1 << 20);
    s.next_in = const_cast<uint8_t*>(z.data());
    s.avail_in = uInt(z.size());
    int rc;
    do {
        s.next_out = tmp.data();
        s.avail_out = uInt(tmp.size());
        rc = inflate(&s, Z_NO_FLUSH);
    } while (rc == Z_OK);
    size_t rows = s.total_out;
    inflateEnd(&s);
    return rows;
}

// A PNG against inflating its image data alone; the name carries the size.
void BenchPng(const std::string& name, const Bytes& file, BenchGoalKey goal) {
    Bytes z = IdatData(file);
    size_t rows = InflatedSize(z);
    if (Decode(kImgFormatPng, file) != kImgOk) {
        printf("%s: decode failed\n", name.c_str());
        return;
    }
    BenchResult r = BenchInTurns(gRounds, [&] { Decode(kImgFormatPng, file); }, [&] { InflateAlone(z, rows); });
    BenchReportGoal(goal, name, r);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> photos;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--rounds") && i + 1 < argc) gRounds = atoi(argv[++i]);
        else photos.push_back(argv[i]);
    }
    if (gRounds < 1) gRounds = 1;
    for (const auto& path : photos) {
        Bytes file = ReadFile(path);
        if (file.empty()) {
            printf("%s: cannot read\n", path.c_str());
            continue;
        }
        // A wallpaper is named by its folder, anything else by its file name.
        size_t at = path.find("wallpapers/");
        std::string shortName = at != std::string::npos ? path.substr(at + 11, path.find('/', at + 11) - at - 11)
                                                        : path.substr(path.find_last_of("/\\") + 1);
        shortName = "photo " + shortName;
        BenchPng(shortName, file, kGoalPngPhotograph);
    }
    printf("generating %ux%u pictures...\n", kWidth, kHeight);
    Bytes rgb = Photo(3), rgba = Photo(4), idx = Indexed();
    Bytes plte(768);
    for (int i = 0; i < 768; i++) plte[i] = uint8_t(i * 7);
    struct PngCase { const char* name; Bytes file; size_t outBytes; };
    PngCase pngs[] = {
        {"PNG RGB", MakePng(kWidth, kHeight, 8, 2, rgb, {}, -1), size_t(kWidth) * kHeight * 3},
        {"PNG RGBA", MakePng(kWidth, kHeight, 8, 6, rgba, {}, -1), size_t(kWidth) * kHeight * 4},
        {"PNG palette", MakePng(kWidth, kHeight, 8, 3, idx, plte, -1), size_t(kWidth) * kHeight},
        {"PNG RGB interlaced", InterlacedPng(rgb), size_t(kWidth) * kHeight * 3},
        {"PNG RGB encoder's filters", AdaptivePng(rgb, 3), size_t(kWidth) * kHeight * 3},
        {"PNG RGBA encoder's filters", AdaptivePng(rgba, 4), size_t(kWidth) * kHeight * 4},
    };
    GifSpec gs;
    gs.width = kWidth;
    gs.height = kHeight;
    gs.globalTable = plte;
    Bytes gif = MakeGif(gs, idx);
    Bytes jpg = MakeJpeg(kWidth, kHeight, 3, rgb, 90, false, true);

    for (auto& p : pngs) BenchPng(p.name, p.file, kGoalPngGenerated);
    if (Decode(kImgFormatGif, gif) != kImgOk) printf("GIF: decode failed\n");
    double gifSeconds = BenchSeconds([&] { Decode(kImgFormatGif, gif); });
    printf("%-28s %9.2f ms\n", "GIF 256 colours", gifSeconds * 1e3);
    if (Decode(kImgFormatJpeg, jpg) != kImgOk) printf("JPEG: decode failed\n");
    BenchResult jr = BenchInTurns(gRounds, [&] { Decode(kImgFormatJpeg, jpg); },
                                  [&] { BareJpeg(jpg, size_t(kWidth) * kHeight * 3); });
    BenchReportGoal(kGoalJpeg, "JPEG q90 4:2:0", jr);

#if QOV_BENCH_LIBTIFF
    // TIFF: LZW RGB, and a ten-page A4 Group 4 fax at 204x196 dpi.
    const Bytes lzw = WriteTiff({kWidth, kHeight, 8, 3, COMPRESSION_LZW, PHOTOMETRIC_RGB, 0, 16}, {&rgb});
    if (DecodeTiffPages(lzw, 1) != kImgOk) printf("TIFF LZW: decode failed\n");
    BenchResult lr = BenchInTurns(gRounds, [&] { DecodeTiffPages(lzw, 1); }, [&] { LibtiffStrips(lzw, 1); });
    BenchReportGoal(kGoalTiffLzw, "TIFF LZW RGB", lr);

    // PackBits: the photograph's RGB rows (mostly literal runs), and a ten-page
    // fax of text-like marks on white (mostly repeats), 64 rows a strip.
    const Bytes packRgb = WriteTiff({kWidth, kHeight, 8, 3, COMPRESSION_PACKBITS, PHOTOMETRIC_RGB, 0, 16}, {&rgb});
    if (DecodeTiffPages(packRgb, 1) != kImgOk) printf("TIFF PackBits: decode failed\n");
    BenchResult kr = BenchInTurns(gRounds, [&] { DecodeTiffPages(packRgb, 1); }, [&] { LibtiffStrips(packRgb, 1); });
    BenchReportGoal(kGoalTiffPackBits, "TIFF PackBits RGB", kr);

    constexpr uint32_t kFaxWidth = 1728, kFaxHeight = 2292;
    constexpr int kFaxPages = 10;
    std::vector<Bytes> faxPages;
    for (int i = 0; i < kFaxPages; i++) faxPages.push_back(FaxPage(kFaxWidth, kFaxHeight, unsigned(i + 1)));
    std::vector<const Bytes*> faxRefs;
    for (const Bytes& p : faxPages) faxRefs.push_back(&p);
    const Bytes fax = WriteTiff({kFaxWidth, kFaxHeight, 1, 1, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 0,
                                 kFaxHeight}, faxRefs);
    if (DecodeTiffPages(fax, kFaxPages) != kImgOk) printf("TIFF G4: decode failed\n");
    printf("(10 pages of %ux%u, %zu bytes of Group 4)\n", kFaxWidth, kFaxHeight, fax.size());
    BenchResult gr = BenchInTurns(gRounds, [&] { DecodeTiffPages(fax, kFaxPages); },
                                  [&] { LibtiffStrips(fax, kFaxPages); });
    BenchReportGoal(kGoalTiffFax, "TIFF G4 fax x10", gr);

    const Bytes packFax = WriteTiff({kFaxWidth, kFaxHeight, 1, 1, COMPRESSION_PACKBITS, PHOTOMETRIC_MINISWHITE, 0, 64},
                                    faxRefs);
    if (DecodeTiffPages(packFax, kFaxPages) != kImgOk) printf("TIFF PackBits fax: decode failed\n");
    BenchResult kf = BenchInTurns(gRounds, [&] { DecodeTiffPages(packFax, kFaxPages); },
                                  [&] { LibtiffStrips(packFax, kFaxPages); });
    BenchReportGoal(kGoalTiffPackBits, "TIFF PackBits fax x10", kf);
#endif

    // PCX: 8 bits with the end palette, beside a copy of the same size.
    PcxSpec ps;
    ps.xmax = uint16_t(kWidth - 1);
    ps.ymax = uint16_t(kHeight - 1);
    ps.bytesPerLine = uint16_t(kWidth);
    const Bytes pcx = MakePcx(ps, PcxRle(idx), plte);
    if (DecodeBytes(kImgFormatPcx, pcx) != kImgOk) printf("PCX: decode failed\n");
    Bytes copyTo(idx.size());
    BenchResult pr = BenchInTurns(gRounds, [&] { DecodeBytes(kImgFormatPcx, pcx); },
                                  [&] { memcpy(copyTo.data(), idx.data(), idx.size()); });
    BenchReport("PCX 8-bit", pr, "memcpy, same size", 0);
    ImageClearState();
    return 0;
}
