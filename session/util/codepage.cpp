// codepage.cpp - conversions between the OEM and ANSI code pages, the loaded
// character map, UTF-8 and UTF-16.
#include "session/util/codepage.h"

#include <cstring>

#include "session/util/mem.h"
#include "session/util/qovtypes.h"

int gCharConvMode = 0;
bool gOemConvert = false;

namespace {

constexpr uint16_t kReplacement = 0xFFFD;
constexpr int kScratchCount = 4;

uint16_t gCharMap[128];
bool gCharMapLoaded = false;

// One growable buffer: the shared conversion buffer and the OEM scratch ones.
struct GrowBuf {
    char* p = nullptr;
    size_t cap = 0;
};
GrowBuf gConvBuf;
GrowBuf gScratch[kScratchCount];

char* Reserve(GrowBuf& b, size_t need) {
    if (need <= b.cap) return b.p;
    size_t cap = need < 256 ? 256 : need + need / 2;
    char* p = static_cast<char*>(GuardedRealloc(b.p, cap));
    if (!p) return nullptr;
    b.p = p;
    b.cap = cap;
    return p;
}

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot
// start one.
int Utf8SeqLength(uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xC2) return 0;  // continuation bytes and overlong two-byte leads
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF5) return 4;
    return 0;
}

// Decodes one checked sequence of n bytes; -1 when it is illegal.
int32_t Utf8Decode(const uint8_t* s, int n) {
    for (int i = 1; i < n; i++)
        if ((s[i] & 0xC0) != 0x80) return -1;
    int32_t c;
    switch (n) {
    case 1: return s[0];
    case 2: return ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
    case 3:
        c = ((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F);
        if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) return -1;
        return c;
    case 4:
        c = ((s[0] & 0x07) << 18) | ((s[1] & 0x3F) << 12) | ((s[2] & 0x3F) << 6) | (s[3] & 0x3F);
        if (c < 0x10000 || c > 0x10FFFF) return -1;
        return c;
    }
    return -1;
}

// Number of bytes of a sequence that could still be completed: used to tell a
// sequence cut by the end of the source from an illegal one.
bool Utf8PrefixValid(const uint8_t* s, size_t avail, int n) {
    for (size_t i = 1; i < avail && i < static_cast<size_t>(n); i++)
        if ((s[i] & 0xC0) != 0x80) return false;
    return true;
}

int Utf8Encode(uint32_t c, uint8_t* out) {
    if (c < 0x80) {
        out[0] = static_cast<uint8_t>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<uint8_t>(0xC0 | (c >> 6));
        out[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<uint8_t>(0xE0 | (c >> 12));
        out[1] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<uint8_t>(0xF0 | (c >> 18));
    out[1] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    return 4;
}

// The UTF-16 unit of one byte of the client set in modes 2 and above.
uint16_t ByteToUnit(uint8_t b) {
    if (b < 0x80) return b;
    if (gCharConvMode == kCharModeMap && gCharMapLoaded) return gCharMap[b - 0x80];
    return b;  // without a map the byte is taken as Latin-1
}

#ifdef _WIN32
UINT ModeCodePage() {
    if (gCharConvMode >= kCharModeFirstCodePage) return static_cast<UINT>(gCharConvMode);
    return CP_ACP;
}
// Whether the mode converts through a Windows code page rather than the map.
bool UsesSystemCodePage() {
    return gCharConvMode >= kCharModeFirstCodePage || (gCharConvMode == kCharModeMap && !gCharMapLoaded);
}
#endif

}  // namespace

int SetCharConvMode(int mode) {
    bool valid = mode == kCharModeUtf8 || mode == kCharModeLatin1 || mode == kCharModeMap ||
                 (mode >= kCharModeFirstCodePage && mode <= kCharModeLastCodePage);
    if (!valid) return -1;
    int previous = gCharConvMode;
    gCharConvMode = mode;
    return previous;
}

int Utf8ToUtf16(const uint8_t** src, const uint8_t* srcEnd, uint16_t** dst, uint16_t* dstEnd, bool lenient) {
    const uint8_t* s = *src;
    uint16_t* d = *dst;
    int result = kUtfOk;
    while (s < srcEnd) {
        size_t avail = static_cast<size_t>(srcEnd - s);
        int n = Utf8SeqLength(*s);
        int32_t c;
        if (n == 0) {
            c = -1;
            n = 1;
        } else if (static_cast<size_t>(n) > avail) {
            if (Utf8PrefixValid(s, avail, n)) {
                result = kUtfSourceShort;
                break;
            }
            c = -1;
            n = 1;
        } else {
            c = Utf8Decode(s, n);
            if (c < 0) n = 1;
        }
        if (c < 0) {
            if (!lenient) {
                result = kUtfIllegal;
                break;
            }
            c = kReplacement;
        }
        int units = c >= 0x10000 ? 2 : 1;
        if (dstEnd - d < units) {
            result = kUtfTargetFull;
            break;
        }
        if (units == 2) {
            uint32_t v = static_cast<uint32_t>(c) - 0x10000;
            *d++ = static_cast<uint16_t>(0xD800 + (v >> 10));
            *d++ = static_cast<uint16_t>(0xDC00 + (v & 0x3FF));
        } else {
            *d++ = static_cast<uint16_t>(c);
        }
        s += n;
    }
    *src = s;
    *dst = d;
    return result;
}

int Utf16ToUtf8(const uint16_t** src, const uint16_t* srcEnd, uint8_t** dst, uint8_t* dstEnd, bool lenient) {
    const uint16_t* s = *src;
    uint8_t* d = *dst;
    int result = kUtfOk;
    while (s < srcEnd) {
        uint32_t c = *s;
        int used = 1;
        bool bad = false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (s + 1 >= srcEnd) {
                result = kUtfSourceShort;
                break;
            }
            uint32_t low = s[1];
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                used = 2;
            } else {
                bad = true;
            }
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            bad = true;
        }
        if (bad) {
            if (!lenient) {
                result = kUtfIllegal;
                break;
            }
            c = kReplacement;
        }
        uint8_t seq[4];
        int n = Utf8Encode(c, seq);
        if (dstEnd - d < n) {
            result = kUtfTargetFull;
            break;
        }
        memcpy(d, seq, n);
        d += n;
        s += used;
    }
    *src = s;
    *dst = d;
    return result;
}

bool IsUtf16Text(const void* bytes, size_t length, bool* hasMark) {
    if (hasMark) *hasMark = false;
    if (!bytes || length == 0 || (length & 1)) return false;
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    if ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)) {
        if (hasMark) *hasMark = true;
        return true;
    }
    // Without a mark: little-endian text whose units are mostly below U+0100
    // has a zero in most odd bytes, while 8-bit text has almost none; NUL units
    // may only end the text, and surrogates must pair.
    size_t units = length / 2, zeroHigh = 0;
    for (size_t i = 0; i < units; i++) {
        uint16_t u = static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8));
        if (u == 0 && i + 1 < units) return false;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= units) return false;
            uint16_t low = static_cast<uint16_t>(b[2 * i + 2] | (b[2 * i + 3] << 8));
            if (low < 0xDC00 || low > 0xDFFF) return false;
            i++;
            continue;
        }
        if (u >= 0xDC00 && u <= 0xDFFF) return false;
        if (b[2 * i + 1] == 0) zeroHigh++;
    }
    return zeroHigh * 2 >= units;
}

int SetCharMapTable(const void* table, size_t length) {
    if (!table || length < sizeof(gCharMap)) return -1;
    const uint8_t* b = static_cast<const uint8_t*>(table);
    for (int i = 0; i < 128; i++) gCharMap[i] = static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8));
    gCharMapLoaded = true;
    return 0;
}

size_t AnsiToUtf8(const char** text, size_t length, int flag) {
    if (!text || !*text) return 0;
    if (flag == 1) length = strlen(*text);
    if (gCharConvMode < kCharModeMap || length == 0) return length;
    const uint8_t* in = reinterpret_cast<const uint8_t*>(*text);
    // Every byte becomes at most three UTF-8 bytes (one BMP unit).
    char* out = Reserve(gConvBuf, length * 3 + 1);
    if (!out) return length;
    size_t n = 0;
#ifdef _WIN32
    if (UsesSystemCodePage()) {
        int wide = MultiByteToWideChar(ModeCodePage(), 0, *text, static_cast<int>(length), nullptr, 0);
        if (wide > 0) {
            WCHAR* w = static_cast<WCHAR*>(GuardedAlloc(static_cast<size_t>(wide) * sizeof(WCHAR)));
            if (w) {
                MultiByteToWideChar(ModeCodePage(), 0, *text, static_cast<int>(length), w, wide);
                n = static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, w, wide, out,
                                                            static_cast<int>(length * 3), nullptr, nullptr));
                GuardedFree(w);
                out[n] = 0;
                *text = out;
                return n;
            }
        }
    }
#endif
    uint8_t* d = reinterpret_cast<uint8_t*>(out);
    for (size_t i = 0; i < length; i++) {
        uint16_t u = ByteToUnit(in[i]);
        n += Utf8Encode(u, d + n);
    }
    out[n] = 0;
    *text = out;
    return n;
}

size_t Latin1ToUtf8(const char* text, size_t length, char* out, size_t outSize) {
    size_t need = 0;
    for (size_t i = 0; i < length; i++) need += static_cast<uint8_t>(text[i]) < 0x80 ? 1 : 2;
    if (!out || need + 1 > outSize) return need;
    uint8_t* d = reinterpret_cast<uint8_t*>(out);
    for (size_t i = 0; i < length; i++) d += Utf8Encode(static_cast<uint8_t>(text[i]), d);
    *d = 0;
    return need;
}

// The byte of the client set for one code point in modes 1 and 2, or '?'.
static char UnitToByte(uint32_t c) {
    if (c < 0x80) return static_cast<char>(c);
    if (gCharConvMode == kCharModeMap && gCharMapLoaded) {
        for (int i = 0; i < 128; i++)
            if (gCharMap[i] == c) return static_cast<char>(0x80 + i);
        return '?';
    }
    return c <= 0xFF ? static_cast<char>(c) : '?';
}

size_t Utf8ToAnsi(const char* text, size_t length, char* out, size_t outSize) {
    if (!out || outSize == 0) return 0;
    size_t n = 0;
    if (!text) {
        out[0] = 0;
        return 0;
    }
    if (gCharConvMode == kCharModeUtf8) {
        n = length < outSize - 1 ? length : outSize - 1;
        memcpy(out, text, n);
        out[n] = 0;
        return n;
    }
#ifdef _WIN32
    if (UsesSystemCodePage()) {
        int wide = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0);
        WCHAR* w = wide > 0 ? static_cast<WCHAR*>(GuardedAlloc(static_cast<size_t>(wide) * sizeof(WCHAR))) : nullptr;
        if (w) {
            MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), w, wide);
            int got = WideCharToMultiByte(ModeCodePage(), 0, w, wide, out, static_cast<int>(outSize - 1), "?", nullptr);
            GuardedFree(w);
            n = got > 0 ? static_cast<size_t>(got) : 0;
            out[n] = 0;
            return n;
        }
    }
#endif
    const uint8_t* s = reinterpret_cast<const uint8_t*>(text);
    const uint8_t* end = s + length;
    while (s < end && n + 1 < outSize) {
        int seq = Utf8SeqLength(*s);
        size_t avail = static_cast<size_t>(end - s);
        int32_t c = (seq && static_cast<size_t>(seq) <= avail) ? Utf8Decode(s, seq) : -1;
        if (c < 0) {
            if (seq && static_cast<size_t>(seq) > avail && Utf8PrefixValid(s, avail, seq)) break;
            c = '?';
            seq = 1;
        }
        out[n++] = UnitToByte(static_cast<uint32_t>(c));
        s += seq;
    }
    out[n] = 0;
    return n;
}

const char* OemToAnsiStr(const char* text, int index, int flags) {
    (void)flags;
    if (!text) return nullptr;
    if (!gOemConvert) return text;
    if (index < 0 || index >= kScratchCount) index = 0;
    size_t n = strlen(text);
    char* out = Reserve(gScratch[index], n + 1);
    if (!out) return nullptr;
#ifdef _WIN32
    OemToCharBuffA(text, out, static_cast<DWORD>(n));
#else
    memcpy(out, text, n);
#endif
    out[n] = 0;
    return out;
}

char* AnsiToOemBuf(char* text, size_t n) {
    if (!text || !gOemConvert) return text;
#ifdef _WIN32
    CharToOemBuffA(text, text, static_cast<DWORD>(n));
#else
    (void)n;
#endif
    return text;
}

char* AnsiToOemStr(char* text) { return text ? AnsiToOemBuf(text, strlen(text)) : text; }

void CodePageCleanup() {
    GuardedFree(gConvBuf.p);
    gConvBuf = GrowBuf();
    for (auto& b : gScratch) {
        GuardedFree(b.p);
        b = GrowBuf();
    }
}
