// image_bench.cpp - times the image decoders on large generated pictures and
// sets them beside two references measured in the same run: zlib inflating the
// same PNG's image data alone, and a bare libjpeg-turbo scanline loop over the
// same JPEG. Goals: PNG within 1.5x of inflate alone, JPEG within 1.1x of the
// bare loop.
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>

#include <jpeglib.h>

#include "graphics/image/imageload.h"
#include "graphics/image/png.h"
#include "image_testkit.h"

namespace {

constexpr uint32_t kWidth = 4000;
constexpr uint32_t kHeight = 3000;
constexpr int kRounds = 9;

// Best of kRounds for a run and its reference, taken in turns so that a busy
// machine slows both alike; in seconds.
void BestTimes(const std::function<void()>& run, const std::function<void()>& ref, double* runBest,
               double* refBest) {
    *runBest = *refBest = 1e9;
    for (int i = 0; i < kRounds; i++) {
        for (int which = 0; which < 2; which++) {
            auto t0 = std::chrono::steady_clock::now();
            (which ? ref : run)();
            double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            double* best = which ? refBest : runBest;
            if (s < *best) *best = s;
        }
    }
}

double BestTime(const std::function<void()>& run) {
    double t, unused;
    BestTimes(run, [] {}, &t, &unused);
    return t;
}

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

void Report(const char* name, double seconds, size_t outBytes, const char* refName, double refSeconds, double goal) {
    const double mpix = double(kWidth) * kHeight / 1e6;
    printf("%-22s %8.1f ms %8.1f MB/s %7.1f Mpixel/s", name, seconds * 1e3, outBytes / 1e6 / seconds, mpix / seconds);
    if (refName) {
        double ratio = seconds / refSeconds;
        printf("   %s %.1f ms, ratio %.2f (goal %.1f) %s", refName, refSeconds * 1e3, ratio, goal,
               ratio <= goal ? "ok" : "MISSED");
    }
    printf("\n");
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

}  // namespace

int main() {
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
    };
    GifSpec gs;
    gs.width = kWidth;
    gs.height = kHeight;
    gs.globalTable = plte;
    Bytes gif = MakeGif(gs, idx);
    Bytes jpg = MakeJpeg(kWidth, kHeight, 3, rgb, 90, false, true);

    for (auto& p : pngs) {
        Bytes z = IdatData(p.file);
        // The inflated size: filter bytes plus rows (Adam7 passes included).
        size_t rows = 0;
        {
            z_stream s;
            memset(&s, 0, sizeof s);
            inflateInit(&s);
            Bytes tmp(1 << 20);
            s.next_in = z.data();
            s.avail_in = uInt(z.size());
            int rc;
            do {
                s.next_out = tmp.data();
                s.avail_out = uInt(tmp.size());
                rc = inflate(&s, Z_NO_FLUSH);
            } while (rc == Z_OK);
            rows = s.total_out;
            inflateEnd(&s);
        }
        if (Decode(kImgFormatPng, p.file) != kImgOk) printf("%s: decode failed\n", p.name);
        double t, ref;
        BestTimes([&] { Decode(kImgFormatPng, p.file); }, [&] { InflateAlone(z, rows); }, &t, &ref);
        Report(p.name, t, p.outBytes, "inflate alone", ref, 1.5);
    }
    if (Decode(kImgFormatGif, gif) != kImgOk) printf("GIF: decode failed\n");
    Report("GIF 256 colours", BestTime([&] { Decode(kImgFormatGif, gif); }), size_t(kWidth) * kHeight, nullptr, 0, 0);
    if (Decode(kImgFormatJpeg, jpg) != kImgOk) printf("JPEG: decode failed\n");
    double jt, jref;
    BestTimes([&] { Decode(kImgFormatJpeg, jpg); }, [&] { BareJpeg(jpg, size_t(kWidth) * kHeight * 3); }, &jt, &jref);
    Report("JPEG q90 4:2:0", jt, size_t(kWidth) * kHeight * 3, "bare scanline loop", jref, 1.1);
    ImageClearState();
    return 0;
}
