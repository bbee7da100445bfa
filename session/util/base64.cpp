// base64.cpp - standard base64 encoding and decoding.
#include "session/util/base64.h"

#include <cstdint>

static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

size_t Base64Encode(const void* bytes, char* out, size_t n, bool addNul) {
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    size_t o = 0, i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t v = (b[i] << 16) | (b[i + 1] << 8) | b[i + 2];
        out[o++] = kAlphabet[v >> 18];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = kAlphabet[(v >> 6) & 63];
        out[o++] = kAlphabet[v & 63];
    }
    if (i < n) {
        uint32_t v = b[i] << 16;
        if (i + 1 < n) v |= b[i + 1] << 8;
        out[o++] = kAlphabet[v >> 18];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
        out[o++] = '=';
    }
    if (addNul) out[o] = 0;
    return o;
}

static int DecodeChar(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

size_t Base64Decode(const char* text, void* out, size_t length, bool addNul) {
    uint8_t* o = static_cast<uint8_t*>(out);
    size_t n = 0;
    uint32_t acc = 0;
    int bits = 0;
    for (size_t i = 0; i < length && text[i] != '='; i++) {
        int v = DecodeChar(static_cast<unsigned char>(text[i]));
        if (v < 0) continue;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            o[n++] = static_cast<uint8_t>(acc >> bits);
        }
    }
    if (addNul) o[n] = 0;
    return n;
}
