// testpng.h - a PNG of one pixel made at test time (a stored deflate block in
// its zlib wrapper, each chunk with its CRC) and standard base64 of bytes, for
// the resources of hand-written XML forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testpng {

inline uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}
inline void PutBe32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 3; i >= 0; --i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
inline void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    PutBe32(png, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    PutBe32(png, Crc32(body.data(), body.size()));
}
// One RGB pixel of the given colour.
inline std::vector<uint8_t> MakePng(uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    PutBe32(ihdr, 1);
    PutBe32(ihdr, 1);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    Chunk(png, "IHDR", ihdr);
    const uint8_t raw[] = {0, r, g, b};   // filter byte, RGB
    uint32_t s1 = 1, s2 = 0;
    for (uint8_t x : raw) {
        s1 = (s1 + x) % 65521;
        s2 = (s2 + s1) % 65521;
    }
    std::vector<uint8_t> idat = {0x78, 0x01, 0x01, 4, 0, 0xFB, 0xFF};
    idat.insert(idat.end(), raw, raw + 4);
    PutBe32(idat, (s2 << 16) | s1);
    Chunk(png, "IDAT", idat);
    Chunk(png, "IEND", {});
    return png;
}

inline std::string Base64(const std::vector<uint8_t>& data) {
    static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s;
    for (size_t i = 0; i < data.size(); i += 3) {
        uint32_t v = data[i] << 16;
        if (i + 1 < data.size()) v |= data[i + 1] << 8;
        if (i + 2 < data.size()) v |= data[i + 2];
        s += t[(v >> 18) & 63];
        s += t[(v >> 12) & 63];
        s += i + 1 < data.size() ? t[(v >> 6) & 63] : '=';
        s += i + 2 < data.size() ? t[v & 63] : '=';
    }
    return s;
}

}  // namespace testpng
