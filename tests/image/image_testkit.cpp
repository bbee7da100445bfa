// image_testkit.cpp - builders of small test images and readers of decoded DIBs.
#include "image_testkit.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include <jpeglib.h>

#include "graphics/image/dibutil.h"
#include "graphics/image/imageload.h"

namespace {

// QOV_IMAGE_VECTORS=sse2 runs the decoders by the paths of a processor
// without SSSE3 and PCLMUL, =none by the portable loops of other processors
// (tests/image/CMakeLists.txt runs the picture tests so); set before any test.
const bool kVectorCapTaken = [] {
    const char* level = getenv("QOV_IMAGE_VECTORS");
    if (!level || !*level) return false;
    if (!strcmp(level, "sse2")) {
        gDibVectorCap = kDibVectorSse2;
    } else if (!strcmp(level, "none")) {
        gDibVectorCap = kDibVectorNone;
    } else {
        fprintf(stderr, "QOV_IMAGE_VECTORS=%s: sse2 or none\n", level);
        abort();
    }
    return true;
}();

void PutBe32(Bytes* b, uint32_t v) {
    for (int i = 3; i >= 0; i--) b->push_back(uint8_t(v >> (8 * i)));
}
void PutLe16(Bytes* b, uint32_t v) {
    b->push_back(uint8_t(v));
    b->push_back(uint8_t(v >> 8));
}
void PutLe32(Bytes* b, uint32_t v) {
    for (int i = 0; i < 4; i++) b->push_back(uint8_t(v >> (8 * i)));
}

// LSB-first bit writer into 255-byte sub-blocks.
struct GifBits {
    Bytes data;
    uint32_t acc = 0;
    int count = 0;
    void Put(int code, int width) {
        acc |= uint32_t(code) << count;
        count += width;
        while (count >= 8) {
            data.push_back(uint8_t(acc));
            acc >>= 8;
            count -= 8;
        }
    }
    void Flush() {
        if (count > 0) data.push_back(uint8_t(acc));
        acc = 0;
        count = 0;
    }
};

// The 16-bit channel of a bit-field pixel scaled to 8 bits.
uint8_t MaskChannel(uint32_t v, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) shift++;
    uint32_t max = mask >> shift;
    return uint8_t((((v & mask) >> shift) * 255 + max / 2) / max);
}

// Expands RLE4/RLE8 data into bottom-up palette indices.
Bytes ExpandRle(const uint8_t* p, size_t n, uint32_t w, uint32_t h, bool four) {
    Bytes idx(size_t(w) * h, 0);
    uint32_t x = 0, y = 0;
    size_t i = 0;
    auto put = [&](uint8_t v) {
        if (x < w && y < h) idx[size_t(y) * w + x] = v;
        x++;
    };
    while (i + 1 < n) {
        uint8_t a = p[i++], b = p[i++];
        if (a) {
            for (int k = 0; k < a; k++) put(four ? ((k & 1) ? b & 15 : b >> 4) : b);
        } else if (b == 0) {
            x = 0;
            y++;
        } else if (b == 1) {
            break;
        } else if (b == 2) {
            if (i + 1 >= n) break;
            x += p[i++];
            y += p[i++];
        } else {
            size_t bytes = four ? (b + 1) / 2 : b;
            for (int k = 0; k < b && i + (four ? k / 2 : k) < n; k++)
                put(four ? ((k & 1) ? p[i + k / 2] & 15 : p[i + k / 2] >> 4) : p[i + k]);
            i += (bytes + 1) & ~size_t(1);
        }
    }
    return idx;
}

}  // namespace

int Paeth(int a, int b, int c) {
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

Bytes PngSignature() { return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

void PngAddChunk(Bytes* png, const char* type, const Bytes& data) {
    PutBe32(png, uint32_t(data.size()));
    size_t start = png->size();
    png->insert(png->end(), type, type + 4);
    png->insert(png->end(), data.begin(), data.end());
    PutBe32(png, uint32_t(crc32(0, png->data() + start, uInt(data.size() + 4))));
}

Bytes PngIhdr(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, uint8_t interlace) {
    Bytes b;
    PutBe32(&b, width);
    PutBe32(&b, height);
    b.push_back(depth);
    b.push_back(colorType);
    b.push_back(0);
    b.push_back(0);
    b.push_back(interlace);
    return b;
}

Bytes PngIdatData(const Bytes& rows, uint32_t rowBytes, uint32_t height, uint32_t bpp, int filter, int level) {
    Bytes raw;
    raw.reserve((size_t(rowBytes) + 1) * height);
    for (uint32_t y = 0; y < height; y++) {
        int f = filter < 0 ? int(y % 5) : filter;
        const uint8_t* row = rows.data() + size_t(y) * rowBytes;
        const uint8_t* up = y ? row - rowBytes : nullptr;
        raw.push_back(uint8_t(f));
        for (uint32_t i = 0; i < rowBytes; i++) {
            int a = i >= bpp ? row[i - bpp] : 0, b = up ? up[i] : 0, c = (up && i >= bpp) ? up[i - bpp] : 0;
            int pred = f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : f == 4 ? Paeth(a, b, c) : 0;
            raw.push_back(uint8_t(row[i] - pred));
        }
    }
    uLongf len = compressBound(uLong(raw.size()));
    Bytes z(len);
    compress2(z.data(), &len, raw.data(), uLong(raw.size()), level);
    z.resize(len);
    return z;
}

Bytes MakePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, const Bytes& rows,
              const Bytes& plte, int filter, int level) {
    static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    uint32_t bits = depth * kChannels[colorType];
    uint32_t rowBytes = (width * bits + 7) / 8;
    Bytes png = PngSignature();
    PngAddChunk(&png, "IHDR", PngIhdr(width, height, depth, colorType, 0));
    if (!plte.empty()) PngAddChunk(&png, "PLTE", plte);
    PngAddChunk(&png, "IDAT", PngIdatData(rows, rowBytes, height, bits < 8 ? 1 : bits / 8, filter, level));
    PngAddChunk(&png, "IEND", {});
    return png;
}

Bytes MakeGif(const GifSpec& s, const Bytes& pixels) {
    Bytes g = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe16(&g, s.width);
    PutLe16(&g, s.height);
    auto tableBits = [](size_t bytes) {
        int n = 0;
        while ((2u << n) * 3 < bytes) n++;
        return n;
    };
    uint8_t flags = 0;
    if (!s.globalTable.empty()) flags = uint8_t(0x80 | 0x70 | tableBits(s.globalTable.size()));
    g.push_back(flags);
    g.push_back(0);
    g.push_back(0);
    g.insert(g.end(), s.globalTable.begin(), s.globalTable.end());
    if (s.extension) {
        // A graphic control extension, skipped by the reader.
        const uint8_t gce[] = {0x21, 0xF9, 4, 0, 0, 0, 0, 0};
        g.insert(g.end(), gce, gce + sizeof gce);
    }
    g.push_back(0x2C);
    PutLe16(&g, 0);
    PutLe16(&g, 0);
    PutLe16(&g, s.width);
    PutLe16(&g, s.height);
    uint8_t desc = s.interlaced ? 0x40 : 0;
    if (!s.localTable.empty()) desc |= uint8_t(0x80 | tableBits(s.localTable.size()));
    g.push_back(desc);
    g.insert(g.end(), s.localTable.begin(), s.localTable.end());

    const Bytes& table = s.localTable.empty() ? s.globalTable : s.localTable;
    int minCode = s.minCodeSize ? s.minCodeSize : std::max(2, tableBits(table.size()) + 1);
    g.push_back(uint8_t(minCode));

    // Pixels in stored order.
    Bytes order;
    order.reserve(pixels.size());
    if (s.interlaced) {
        const uint32_t start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int p = 0; p < 4; p++)
            for (uint32_t y = start[p]; y < s.height; y += step[p])
                order.insert(order.end(), pixels.begin() + size_t(y) * s.width,
                             pixels.begin() + size_t(y + 1) * s.width);
    } else {
        order = pixels;
    }

    const int clear = 1 << minCode, end = clear + 1;
    GifBits bits;
    std::map<uint32_t, int> dict;
    int width = minCode + 1, next = end + 1;
    bits.Put(clear, width);
    int cur = -1;
    for (uint8_t k : order) {
        if (cur < 0) {
            cur = k;
            continue;
        }
        uint32_t key = (uint32_t(cur) << 8) | k;
        auto it = dict.find(key);
        if (it != dict.end()) {
            cur = it->second;
            continue;
        }
        bits.Put(cur, width);
        if (next == (1 << width) && width < 12) width++;
        dict[key] = next++;
        if (next == 4096) {
            bits.Put(clear, width);
            dict.clear();
            width = minCode + 1;
            next = end + 1;
        }
        cur = k;
    }
    if (cur >= 0) {
        bits.Put(cur, width);
        if (next == (1 << width) && width < 12) width++;
    }
    bits.Put(end, width);
    bits.Flush();
    for (size_t i = 0; i < bits.data.size(); i += 255) {
        size_t n = std::min<size_t>(255, bits.data.size() - i);
        g.push_back(uint8_t(n));
        g.insert(g.end(), bits.data.begin() + i, bits.data.begin() + i + n);
    }
    g.push_back(0);
    g.push_back(0x3B);
    return g;
}

Bytes WriteJpegWith(const std::function<void(jpeg_compress_struct*)>& setup, const uint8_t* pixels,
                    size_t rowBytes) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    setup(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels) + size_t(c.next_scanline) * rowBytes;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes result(out, out + outSize);
    free(out);
    return result;
}

Bytes MakeJpeg(uint32_t width, uint32_t height, int components, const Bytes& pixels, int quality,
               bool progressive, bool subsample420) {
    auto setup = [&](jpeg_compress_struct* c) {
        c->image_width = width;
        c->image_height = height;
        c->input_components = components;
        c->in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
        jpeg_set_defaults(c);
        jpeg_set_quality(c, quality, TRUE);
        if (!subsample420)
            for (int i = 0; i < c->num_components; i++) c->comp_info[i].h_samp_factor = c->comp_info[i].v_samp_factor = 1;
        if (progressive) jpeg_simple_progression(c);
    };
    return WriteJpegWith(setup, pixels.data(), size_t(width) * components);
}

Bytes JpegHeadersWithoutData(uint32_t width, uint32_t height, bool progressive, uint32_t scans) {
    const uint32_t side = 16;
    Bytes jpg = MakeJpeg(side, side, 3, Bytes(side * side * 3, 0x80), 75, progressive, true);
    const uint8_t frame = progressive ? 0xC2 : 0xC0;
    Bytes out;
    for (size_t i = 2; i + 4 < jpg.size(); i++) {
        if (jpg[i] != 0xFF) continue;
        const size_t length = size_t(jpg[i + 2]) << 8 | jpg[i + 3];
        if (jpg[i + 1] == frame) {
            jpg[i + 5] = uint8_t(height >> 8);
            jpg[i + 6] = uint8_t(height);
            jpg[i + 7] = uint8_t(width >> 8);
            jpg[i + 8] = uint8_t(width);
        } else if (jpg[i + 1] == 0xDA) {
            out.assign(jpg.begin(), jpg.begin() + long(i));
            const Bytes scan(jpg.begin() + long(i), jpg.begin() + long(i + 2 + length));
            for (uint32_t s = 0; s < scans; s++) out.insert(out.end(), scan.begin(), scan.end());
            break;
        }
        i += 1 + length;
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

Bytes InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t clrUsed,
                 uint32_t size, uint32_t sizeImage) {
    Bytes h;
    PutLe32(&h, size);
    PutLe32(&h, uint32_t(width));
    PutLe32(&h, uint32_t(height));
    PutLe16(&h, 1);
    PutLe16(&h, bits);
    PutLe32(&h, compression);
    PutLe32(&h, sizeImage);
    PutLe32(&h, 2835);
    PutLe32(&h, 2835);
    PutLe32(&h, clrUsed);
    PutLe32(&h, 0);
    h.resize(size, 0);
    return h;
}

Bytes MakeBmp(const Bytes& header, const Bytes& table, const Bytes& pixels, bool fileHeader) {
    Bytes b;
    if (fileHeader) {
        uint32_t off = uint32_t(14 + header.size() + table.size());
        b = {'B', 'M'};
        PutLe32(&b, uint32_t(off + pixels.size()));
        PutLe32(&b, 0);
        PutLe32(&b, off);
    }
    b.insert(b.end(), header.begin(), header.end());
    b.insert(b.end(), table.begin(), table.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes CoreHeader(uint16_t width, uint16_t height, uint16_t bits) {
    Bytes h;
    PutLe32(&h, 12);
    PutLe16(&h, width);
    PutLe16(&h, height);
    PutLe16(&h, 1);
    PutLe16(&h, bits);
    return h;
}

Bytes Os2ShortTableBitmap() {
    constexpr uint32_t kUsed = 252, kSide = 32;
    Bytes table, px;
    for (uint32_t i = 0; i < kUsed; i++) {
        table.push_back(uint8_t(i));
        table.push_back(uint8_t(255 - i));
        table.push_back(uint8_t(i * 7));
    }
    for (uint32_t i = 0; i < kSide * kSide; i++) px.push_back(uint8_t(i % kUsed));
    return MakeBmp(CoreHeader(kSide, kSide, 8), table, px);
}

Bytes StateToRgb() {
    const ImageDecodeState& st = gImageDecodeState;
    const BITMAPINFOHEADER& h = st.header;
    const uint32_t w = uint32_t(h.biWidth), ht = uint32_t(h.biHeight), bits = h.biBitCount;
    const size_t stride = ((size_t(w) * bits + 31) / 32) * 4;
    Bytes rgb(size_t(w) * ht * 3);
    Bytes rle;
    if (h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4)
        rle = ExpandRle(st.bits, h.biSizeImage, w, ht, h.biCompression == BI_RLE4);
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bits == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    if (h.biCompression == BI_BITFIELDS) memcpy(masks, st.colors, 12);
    for (uint32_t y = 0; y < ht; y++) {
        const uint8_t* row = st.bits + size_t(ht - 1 - y) * stride;
        for (uint32_t x = 0; x < w; x++) {
            uint8_t* o = &rgb[(size_t(y) * w + x) * 3];
            uint32_t idx = 0;
            if (!rle.empty()) {
                idx = rle[size_t(ht - 1 - y) * w + x];
            } else if (bits <= 8) {
                uint32_t per = 8 / bits;
                idx = (row[x / per] >> ((per - 1 - x % per) * bits)) & ((1u << bits) - 1);
            } else if (bits == 24 || (bits == 32 && h.biCompression != BI_BITFIELDS)) {
                const uint8_t* p = row + size_t(x) * (bits / 8);
                o[0] = p[2], o[1] = p[1], o[2] = p[0];
                continue;
            } else {
                uint32_t v = bits == 16 ? uint32_t(row[x * 2] | (row[x * 2 + 1] << 8))
                                        : uint32_t(row[x * 4] | (row[x * 4 + 1] << 8) | (row[x * 4 + 2] << 16) |
                                                   (uint32_t(row[x * 4 + 3]) << 24));
                for (int c = 0; c < 3; c++) o[c] = MaskChannel(v, masks[c]);
                continue;
            }
            o[0] = st.colors[idx].rgbRed, o[1] = st.colors[idx].rgbGreen, o[2] = st.colors[idx].rgbBlue;
        }
    }
    return rgb;
}

int DecodeBytes(int format, const Bytes& file) {
    Bytes block = {4, uint8_t(format)};
    block.insert(block.end(), file.begin(), file.end());
    return ImageLoadFromMemory(block.data(), uint32_t(block.size()), nullptr, 1);
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return bool(f);
}

std::string ImageTestData(const std::string& sub) {
    const char* root = getenv("QOV_TESTDATA");
    if (!root || !*root) return "";
    std::string dir = std::string(root) + "/image/" + sub;
    FILE* f = fopen(dir.c_str(), "r");
    if (!f) return "";
    fclose(f);
    return dir;
}

std::string MissingImageTestData(const std::string& sub) {
    const char* root = getenv("QOV_TESTDATA");
    if (!root || !*root) return "set-up data missing: QOV_TESTDATA is not set (image/" + sub + " is needed)";
    return "set-up data missing: the folder " + std::string(root) + "/image/" + sub +
           " does not exist; scripts/setup.d/20-image-testdata.sh installs it";
}

Bytes RunCommand(const std::string& cmd) {
    Bytes out;
#ifndef _WIN32
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.insert(out.end(), buf, buf + n);
    pclose(p);
#else
    (void)cmd;
#endif
    return out;
}

int MaxDiff(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return 256;
    int m = 0;
    for (size_t i = 0; i < a.size(); i++) m = std::max(m, abs(int(a[i]) - int(b[i])));
    return m;
}
