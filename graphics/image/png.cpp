// png.cpp - the PNG reader: checks every chunk, inflates the image data step
// by step through a small window, undoes the row filters and converts the rows
// (Adam7 passes included) into a bottom-up DIB for gImageDecodeState.
#include "graphics/image/png.h"

#include <zlib.h>

#include <cstring>

// Every x86 processor this client runs on has SSE2; on i686 the compiler is not
// told so for the whole program, so the vector functions ask for it themselves.
#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#include <tmmintrin.h>
#include <wmmintrin.h>
#define QOV_PNG_SSE2 1
#define QOV_PNG_SSE2_FN __attribute__((target("sse2")))
#define QOV_PNG_SSSE3_FN __attribute__((target("ssse3")))
#define QOV_PNG_PCLMUL_FN __attribute__((target("sse2,pclmul")))
#else
#define QOV_PNG_SSE2 0
#endif

#include "graphics/image/dibutil.h"
#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kSignatureSize = 8;
constexpr size_t kChunkOverhead = 12;  // length, type, CRC
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
constexpr uint32_t kIhdrLength = 13;
constexpr uint32_t kMaxPaletteBytes = 768;
constexpr uint32_t kRgbKeyLength = 6;
constexpr uint32_t kRgbBackgroundLength = 6;
// Rows are inflated in steps of about this many bytes and converted while they
// are still in the cache.
constexpr size_t kInflateStep = 128 * 1024;
// The most rows of one filter undone together by the vector paths.
constexpr size_t kGroupRows = 4;
// The fewest Paeth or Average rows a group of mixed filters holds, and the
// pixel size it is used for: 4-byte rows have vector loops of their own fast
// enough that mixing them gained nothing (measured on photographs).
constexpr size_t kMixedGroupChains = 2;
constexpr size_t kMixedGroupBpp = 3;
// The rows of an image, plain or Adam7, pass through a window of this many
// inflate steps (and the rows that wait in it), reused from the top: the
// inflated data stays in the cache, and only the DIB is written to fresh
// memory.
constexpr size_t kWindowSteps = 8;
// The zlib stream's check value: Adler-32, stored big-endian after the data.
constexpr size_t kAdlerBytes = 4;
constexpr uint32_t kAdlerStart = 1;
constexpr uint32_t kAdlerBase = 65521;
// The most bytes whose sums cannot overflow 32 bits between reductions
// (5552, zlib's own), a multiple of the vector.
constexpr size_t kAdlerBlock = 5552;
constexpr size_t kAdlerVector = 16;

enum PngColorType { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };
enum PngFilter { kFilterNone = 0, kFilterSub = 1, kFilterUp = 2, kFilterAverage = 3, kFilterPaeth = 4 };

// Indexed by PngResult; 3 is not used.
const DecodeRule kPngRules[kPngResultCount] = {
    {kImgOk, "decoded"},
    {kImgInvalid, "the image data does not decompress"},
    {kImgInvalid, "no data"},
    {kImgInvalid, "an unknown decoder result"},
    {kImgInvalid, "the signature is not PNG"},
    {kImgInvalid, "a chunk CRC does not match"},
    {kImgInvalid, "a chunk breaks the format"},
    {kImgNoMemory, kImageCeilingReason},
    {kImgNoMemory, "no memory for the rows"},
};

// Adam7 pass origins and steps.
const uint8_t kPassX0[7] = {0, 4, 0, 2, 0, 1, 0};
const uint8_t kPassY0[7] = {0, 0, 4, 0, 2, 0, 1};
const uint8_t kPassDx[7] = {8, 8, 4, 4, 2, 2, 1};
const uint8_t kPassDy[7] = {8, 8, 8, 4, 4, 2, 2};

uint32_t ChunkType(const char* t) {
    return (uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) |
           (uint32_t(uint8_t(t[2])) << 8) | uint32_t(uint8_t(t[3]));
}
const uint32_t kIHDR = ChunkType("IHDR");
const uint32_t kPLTE = ChunkType("PLTE");
const uint32_t kIDAT = ChunkType("IDAT");
const uint32_t kIEND = ChunkType("IEND");
const uint32_t kTRNS = ChunkType("tRNS");
const uint32_t kBKGD = ChunkType("bKGD");

// What the chunk scan keeps.
struct PngChunks {
    PngHeader ihdr;
    const uint8_t* plte;
    uint32_t plteLength;
    const uint8_t* trns;   // an RGB key, 6 bytes
    const uint8_t* bkgd;   // an RGB background, 6 bytes
    bool haveIhdr, havePlte, haveIdat;
    size_t firstIdat;      // offset of the first IDAT chunk
};

// The image data's zlib stream, its IDAT chunks fed in turn, and the check
// value of the bytes it gave, worked out here a vector at a time: zlib's own
// byte loop cost a sixth of a photograph's decode.
struct PngStream {
    z_stream z;
    const uint8_t* data;
    size_t length;
    size_t pos;                 // the next chunk
    bool ended;                 // the stream reached its end
    uint32_t adler;             // of every byte inflated so far
    uint8_t tail[kAdlerBytes];  // the last bytes zlib took in: at the end, the stream's check value
};

// Everything the row loops need, worked out once per image.
struct PngRows {
    PngHeader h;
    uint32_t bitsPerPixel;   // depth x channels
    uint32_t filterBpp;      // bytes per pixel for the filters, at least 1
    uint32_t outBytes;       // DIB bytes per pixel for depths 8 and 16
    uint8_t* dib;
    size_t dibStride;
    bool key;
    uint16_t keyR, keyG, keyB;
    uint8_t bgR, bgG, bgB;
};

// Two 2-bit pixels per 4-bit nibble: one source byte becomes two DIB bytes.
uint16_t gTwoBitSpread[256];

void BuildTwoBitSpread() {
    if (gTwoBitSpread[0xFF]) return;
    for (int v = 0; v < 256; v++) {
        uint8_t first = static_cast<uint8_t>(((v >> 6) & 3) << 4 | ((v >> 4) & 3));
        uint8_t second = static_cast<uint8_t>(((v >> 2) & 3) << 4 | (v & 3));
        gTwoBitSpread[v] = static_cast<uint16_t>(first | (second << 8));
    }
}

uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

uint32_t Channels(uint8_t colorType) {
    switch (colorType) {
    case kRgb: return 3;
    case kGreyAlpha: return 2;
    case kRgba: return 4;
    default: return 1;
    }
}

bool PngCheckHeader(const PngHeader& h) {
    if (h.width == 0 || h.height == 0) return false;
    if (h.interlace == 1 && h.bitDepth < 8) return false;
    switch (h.colorType) {
    case kGrey:
        if (h.bitDepth != 1 && h.bitDepth != 2 && h.bitDepth != 4 && h.bitDepth != 8 && h.bitDepth != 16)
            return false;
        break;
    case kPalette:
        if (h.bitDepth != 1 && h.bitDepth != 2 && h.bitDepth != 4 && h.bitDepth != 8) return false;
        break;
    case kRgb: case kGreyAlpha: case kRgba:
        if (h.bitDepth != 8 && h.bitDepth != 16) return false;
        break;
    default:
        return false;
    }
    return h.compression == 0 && h.filter == 0 && h.interlace <= 1;
}

// Filtered bytes of a (sub-)image: a filter byte and the packed row, per row.
CheckedSize PngImageBytes(uint64_t width, uint64_t height, uint32_t bitsPerPixel) {
    CheckedSize row(width);
    row.Mul(bitsPerPixel).Add(7);
    row.value /= 8;
    row.Add(1).Mul(height);
    return row;
}

uint64_t PassExtent(uint32_t size, uint8_t origin, uint8_t step) {
    return size > origin ? (uint64_t(size) - origin + step - 1) / step : 0;
}

int PngScanChunks(const uint8_t* data, size_t length, PngChunks* c) {
    memset(c, 0, sizeof *c);
    ByteReader r(data, length);
    size_t pos = kSignatureSize;
    if (length - pos < kChunkOverhead) return kPngBadFormat;
    for (uint32_t count = 0;; count++) {
        uint32_t len = 0, type = 0, crc = 0;
        r.U32BeAt(pos, &len);
        r.U32BeAt(pos + 4, &type);
        // Lengths above 2^31-1 are invalid; the sum is taken in 64 bits.
        if (len > kMaxChunkLength || uint64_t(len) + kChunkOverhead > length - pos) return kPngBadFormat;
        r.U32BeAt(pos + 8 + len, &crc);
        if (PngCrc(data + pos + 4, size_t(len) + 4) != crc) return kPngBadCrc;
        const uint8_t* body = data + pos + 8;

        if (count == 0 && type != kIHDR) return kPngBadFormat;
        if (type == kIHDR) {
            if (c->haveIhdr || len != kIhdrLength) return kPngBadFormat;
            PngHeader& h = c->ihdr;
            h.width = Be32(body);
            h.height = Be32(body + 4);
            h.bitDepth = body[8];
            h.colorType = body[9];
            h.compression = body[10];
            h.filter = body[11];
            h.interlace = body[12];
            if (!PngCheckHeader(h)) return kPngBadFormat;
            c->haveIhdr = true;
        } else if (type == kPLTE) {
            if (len > kMaxPaletteBytes || len % 3 != 0) return kPngBadFormat;
            c->plte = body;
            c->plteLength = len;
            c->havePlte = true;
        } else if (type == kTRNS) {
            if (len == kRgbKeyLength) c->trns = body;
        } else if (type == kBKGD) {
            if (c->ihdr.colorType == kRgb || c->ihdr.colorType == kRgba) {
                if (len < kRgbBackgroundLength) return kPngBadFormat;
                c->bkgd = body;
            }
        } else if (type == kIDAT) {
            if (c->ihdr.colorType == kPalette && !c->havePlte) return kPngBadFormat;
            if (!c->haveIdat) c->firstIdat = pos;
            c->haveIdat = true;
        } else if (type == kIEND) {
            break;
        }
        pos += size_t(len) + kChunkOverhead;
        // A stream ends with IEND: another whole chunk must follow.
        if (length - pos < kChunkOverhead) return kPngBadFormat;
    }
    if (!c->haveIhdr || !c->haveIdat) return kPngBadFormat;
    if (c->ihdr.colorType == kPalette && (!c->havePlte || (c->ihdr.bitDepth == 2 && c->plteLength < 4 * 3)))
        return kPngBadFormat;
    return kPngOk;
}

// The standard predictor: the nearest of left, upper and upper-left to
// left + upper - upper-left, ties in that order. Inlined into the row loop.
inline int PngPaeth(int a, int b, int c) {
    int pb = a - c, pa = b - c, pc = pa + pb;
    pa = pa < 0 ? -pa : pa;
    pb = pb < 0 ? -pb : pb;
    pc = pc < 0 ? -pc : pc;
    if (pb < pa) pa = pb, a = b;
    return pc < pa ? c : a;
}

// Undoes one row's filter in place; prev is the row above (zeros for the first).
// kBpp is the filter distance, a constant so that the byte loops unroll.
template <size_t kBpp>
void PngUnfilterT(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n) {
    switch (filter) {
    case kFilterSub:
        for (size_t i = kBpp; i < n; i++) row[i] = uint8_t(row[i] + row[i - kBpp]);
        break;
    case kFilterUp:
        for (size_t i = 0; i < n; i++) row[i] = uint8_t(row[i] + prev[i]);
        break;
    case kFilterAverage:
        for (size_t i = 0; i < kBpp && i < n; i++) row[i] = uint8_t(row[i] + (prev[i] >> 1));
        for (size_t i = kBpp; i < n; i++) row[i] = uint8_t(row[i] + ((row[i - kBpp] + prev[i]) >> 1));
        break;
    case kFilterPaeth:
        // With no left neighbour the predictor is the upper byte.
        for (size_t i = 0; i < kBpp && i < n; i++) row[i] = uint8_t(row[i] + prev[i]);
        for (size_t i = kBpp; i < n; i++) row[i] = uint8_t(row[i] + PngPaeth(row[i - kBpp], prev[i], prev[i - kBpp]));
        break;
    default:
        // None, and unknown types, leave the bytes as stored.
        break;
    }
}

#if QOV_PNG_SSE2
// Whether the vector paths may run (tests turn them off: gDibVectorCap).
inline bool PngVectorsAllowed() { return gDibVectorCap != kDibVectorNone; }

// Four bytes from p as the low lanes of a vector, and back: one plain move each,
// where a three-byte copy would cost more than the arithmetic. A 3-byte pixel
// carries the first byte of the next one along, which is written back as it
// was read. The next pixel's
// word is read before this one is written: a read that overlaps a write just
// made stalls the processor.
inline int LoadWord(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, sizeof v);
    return int(v);
}
inline void StoreWord(uint8_t* p, int v) {
    uint32_t u = uint32_t(v);
    memcpy(p, &u, sizeof u);
}
constexpr size_t kWordBytes = 4;

// The Paeth predictor of every 16-bit lane: a, b and c are the left, upper
// and upper-left samples.
QOV_PNG_SSE2_FN inline __m128i PaethPredictSse2(__m128i a, __m128i b, __m128i c) {
    const __m128i zero = _mm_setzero_si128();
    __m128i distA = _mm_sub_epi16(b, c);  // |p - a| = |b - c|
    const __m128i signedA = distA;
    distA = _mm_max_epi16(distA, _mm_sub_epi16(zero, distA));
    __m128i distB = _mm_sub_epi16(a, c);  // |p - b| = |a - c|
    __m128i distC = _mm_add_epi16(signedA, distB);
    distB = _mm_max_epi16(distB, _mm_sub_epi16(zero, distB));
    distC = _mm_max_epi16(distC, _mm_sub_epi16(zero, distC));
    // Ties go to a, then b, as in PngPaeth.
    const __m128i takeB = _mm_cmplt_epi16(distB, distA);
    const __m128i pred = _mm_or_si128(_mm_and_si128(takeB, b), _mm_andnot_si128(takeB, a));
    const __m128i takeC = _mm_cmplt_epi16(distC, _mm_min_epi16(distA, distB));
    return _mm_or_si128(_mm_and_si128(takeC, c), _mm_andnot_si128(takeC, pred));
}

// Paeth's choice as ranges of the left sample a, with b and c (upper and
// upper-left) fixed: a is kept when it lies at or beyond b, or at or beyond
// 3c - 2b on the other side; between the two, the larger of b and c is taken
// when a lies above (3c - b) / 2 (rounded so that ties keep the order a, b,
// c), the smaller otherwise. Everything but the three comparisons with a
// does not wait for the left pixel, so a pixel's chain is a comparison and
// three logic steps, where the distances' chain is twice as long. The stored
// sample x is added to the candidates beforehand; all in 16-bit lanes. On
// the rows of photographs and of a screenshot one row went a tenth faster so
// than by the distances (PaethPredictSse2), and two rows a quarter slower:
// the pair loop's two rows already hide its chain, and pay for the ranges'
// extra instructions.
struct PaethRanges {
    __m128i lo, hi;    // a strictly between them: b or c, not a
    __m128i split;     // a above it: the larger of b and c
    __m128i sumSmall;  // x plus the smaller of b and c, kept to 8 bits
    __m128i sumLarge;  // x plus the larger
};

QOV_PNG_SSE2_FN inline PaethRanges PaethRangesSse2(__m128i x, __m128i b, __m128i c) {
    const __m128i byteMask = _mm_set1_epi16(0xFF);
    const __m128i cMinusB = _mm_sub_epi16(c, b);
    const __m128i across = _mm_add_epi16(c, _mm_add_epi16(cMinusB, cMinusB));  // 3c - 2b
    // (3c - b - 1) / 2 rounded down where b >= c: above it lies a doubled a
    // at or over 3c - b; (3c - b) / 2 rounded down where b < c, above which
    // a doubled a is over 3c - b.
    const __m128i bBelowC = _mm_cmpgt_epi16(c, b);
    const __m128i threeCMinusB = _mm_add_epi16(across, b);
    PaethRanges r;
    r.lo = _mm_min_epi16(b, across);
    r.hi = _mm_max_epi16(b, across);
    r.split = _mm_srai_epi16(_mm_sub_epi16(_mm_sub_epi16(threeCMinusB, _mm_set1_epi16(1)), bBelowC), 1);
    r.sumSmall = _mm_and_si128(_mm_add_epi16(x, _mm_min_epi16(b, c)), byteMask);
    r.sumLarge = _mm_and_si128(_mm_add_epi16(x, _mm_max_epi16(b, c)), byteMask);
    return r;
}

// The pixel from its ranges and the left one's samples a.
QOV_PNG_SSE2_FN inline __m128i PaethFinishSse2(const PaethRanges& r, __m128i x, __m128i a) {
    const __m128i takeLarge = _mm_cmpgt_epi16(a, r.split);
    const __m128i between = _mm_and_si128(_mm_cmpgt_epi16(a, r.lo), _mm_cmpgt_epi16(r.hi, a));
    const __m128i sumA = _mm_and_si128(_mm_add_epi16(x, a), _mm_set1_epi16(0xFF));
    const __m128i sumBC = _mm_xor_si128(r.sumSmall, _mm_and_si128(takeLarge, _mm_xor_si128(r.sumSmall, r.sumLarge)));
    return _mm_or_si128(_mm_and_si128(between, sumBC), _mm_andnot_si128(between, sumA));
}

// Paeth a pixel at a time, its samples side by side in 16-bit lanes: each
// pixel needs the one to its left finished, so the lanes are the samples.
// Without a left neighbour a and c are zero and the predictor is the upper
// byte, so the first pixel needs no case of its own. Returns the bytes done:
// every pixel whose word lies inside the row.
template <size_t kBpp>
QOV_PNG_SSE2_FN size_t PngPaethSse2(uint8_t* row, const uint8_t* prev, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    // Only the pixel's own bytes of the stored word change.
    const uint32_t keep = kBpp == 3 ? 0xFF000000u : 0;
    __m128i a = zero, c = zero;
    size_t i = 0;
    int word = n >= kWordBytes ? LoadWord(row) : 0;
    for (; i + kWordBytes <= n; i += kBpp) {
        const int next = i + kBpp + kWordBytes <= n ? LoadWord(row + i + kBpp) : 0;
        // What does not wait for the left pixel comes first.
        const __m128i x = _mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero);
        const __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(LoadWord(prev + i)), zero);
        const PaethRanges r = PaethRangesSse2(x, b, c);
        a = PaethFinishSse2(r, x, a);
        c = b;
        const uint32_t out = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(a, a)));
        StoreWord(row + i, int((out & ~keep) | (uint32_t(word) & keep)));
        word = next;
    }
    return i;
}

// Average a pixel at a time in 16-bit lanes: (left + up) / 2 added to the
// stored byte, kept to 8 bits. The first pixel's left is zero.
template <size_t kBpp>
QOV_PNG_SSE2_FN size_t PngAverageSse2(uint8_t* row, const uint8_t* prev, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i byteMask = _mm_set1_epi16(0xFF);
    const uint32_t keep = kBpp == 3 ? 0xFF000000u : 0;
    __m128i a = zero;
    size_t i = 0;
    int word = n >= kWordBytes ? LoadWord(row) : 0;
    for (; i + kWordBytes <= n; i += kBpp) {
        const int next = i + kBpp + kWordBytes <= n ? LoadWord(row + i + kBpp) : 0;
        const __m128i x = _mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero);
        const __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(LoadWord(prev + i)), zero);
        a = _mm_and_si128(_mm_add_epi16(x, _mm_srli_epi16(_mm_add_epi16(a, b), 1)), byteMask);
        const uint32_t out = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(a, a)));
        StoreWord(row + i, int((out & ~keep) | (uint32_t(word) & keep)));
        word = next;
    }
    return i;
}

// Two rows of one filter at once, Paeth or Average: the lower row runs a
// pixel behind the upper one, whose pixel above and above-left are then
// finished. Each vector holds the upper row's pixel in its low half and the
// lower row's in its high half, so one chain of instructions serves both and
// the wait for the left neighbour, which bounds the one-row loops, is paid
// once for two pixels. The lower row's upper neighbours are the upper row's
// previous results, taken from the register rather than from memory. Returns
// the upper row's pixels done; the lower row has done one fewer.
template <size_t kBpp, bool kPaeth>
QOV_PNG_SSE2_FN size_t PngUnfilterPairSse2(uint8_t* upper, uint8_t* lower, const uint8_t* prev, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i byteMask = _mm_set1_epi16(0xFF);
    // A 3-byte pixel's word carries the next pixel's first byte (lanes 3 and
    // 7), which goes back as it was read.
    const __m128i keepLanes = kBpp == 3 ? _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0) : zero;
    // a: left neighbours, b: upper neighbours, c: upper-left ones. Before the
    // lower row's first pixel its lanes hold zeros, as the first pixel needs.
    __m128i a = zero, b = zero, c = zero, aBefore = zero;
    size_t k = 0;
    int wordUp = n >= kWordBytes ? LoadWord(upper) : 0, wordLow = 0;
    for (size_t i = 0; i + kWordBytes <= n; i += kBpp, k++) {
        const int nextUp = i + kBpp + kWordBytes <= n ? LoadWord(upper + i + kBpp) : 0;
        const int nextLow = k >= 1 ? LoadWord(lower + i - kBpp) : 0;
        const __m128i words = _mm_unpacklo_epi32(_mm_cvtsi32_si128(wordUp), _mm_cvtsi32_si128(wordLow));
        const __m128i x = _mm_unpacklo_epi8(words, zero);
        c = b;
        b = _mm_unpacklo_epi64(_mm_unpacklo_epi8(_mm_cvtsi32_si128(LoadWord(prev + i)), zero), aBefore);
        aBefore = a;
        __m128i pred;
        if (kPaeth) {
            pred = PaethPredictSse2(a, b, c);
        } else {
            pred = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
        }
        a = _mm_and_si128(_mm_add_epi16(x, pred), byteMask);
        const __m128i stored = kBpp == 3 ? _mm_or_si128(_mm_andnot_si128(keepLanes, a), _mm_and_si128(keepLanes, x)) : a;
        const __m128i packed = _mm_packus_epi16(stored, stored);
        StoreWord(upper + i, _mm_cvtsi128_si32(packed));
        if (k >= 2) StoreWord(lower + i - 2 * kBpp, _mm_cvtsi128_si32(_mm_srli_si128(packed, 4)));
        wordUp = nextUp;
        wordLow = nextLow;
    }
    return k;
}

// The bytes the vector loop left (the last 3-byte pixel, and bytes past the
// last whole pixel, which a valid file has none of) by the byte rules.
template <size_t kBpp>
void PngUnfilterTail(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t from, size_t n) {
    for (size_t i = from; i < n; i++) {
        int left = i >= kBpp ? row[i - kBpp] : 0, upLeft = i >= kBpp ? prev[i - kBpp] : 0;
        int pred = filter == kFilterPaeth ? PngPaeth(left, prev[i], upLeft) : (left + prev[i]) >> 1;
        row[i] = uint8_t(row[i] + pred);
    }
}

// The upper row's and the lower row's pixels the pair loop left, by the byte
// rules; the lower row's upper neighbours are the upper row, finished by then.
template <size_t kBpp>
bool PngUnfilterPairRows(uint8_t filter, uint8_t* upper, uint8_t* lower, const uint8_t* prev, size_t n) {
    size_t done;
    if (filter == kFilterPaeth) done = PngUnfilterPairSse2<kBpp, true>(upper, lower, prev, n);
    else if (filter == kFilterAverage) done = PngUnfilterPairSse2<kBpp, false>(upper, lower, prev, n);
    else return false;
    PngUnfilterTail<kBpp>(filter, upper, prev, done * kBpp, n);
    PngUnfilterTail<kBpp>(filter, lower, upper, done >= 2 ? (done - 2) * kBpp : 0, n);
    return true;
}

// The Paeth predictor of every byte lane, without widening. With lo and hi
// the smaller and larger of a and b: c at or below lo predicts hi, c at or
// above hi predicts lo (p lies beyond them), and c between them is at
// distance |(hi - c) - (c - lo)| from p, taken when that is below both
// (c - lo) and (hi - c), else the nearer of lo (at hi - c) and hi (at
// c - lo). Where a and b tie they are equal or c wins, so the order of
// ties (a, then b, then c, as in PngPaeth) holds on every input.
QOV_PNG_SSE2_FN inline __m128i PaethPredictBytesSse2(__m128i a, __m128i b, __m128i c) {
    const __m128i lo = _mm_min_epu8(a, b), hi = _mm_max_epu8(a, b);
    const __m128i aboveLo = _mm_subs_epu8(c, lo), belowHi = _mm_subs_epu8(hi, c);
    const __m128i nearer = _mm_min_epu8(aboveLo, belowHi);
    const __m128i distC = _mm_sub_epi8(_mm_max_epu8(aboveLo, belowHi), nearer);
    const __m128i keepAOrB = _mm_cmpeq_epi8(_mm_min_epu8(nearer, distC), nearer);
    const __m128i takeHi = _mm_cmpeq_epi8(nearer, aboveLo);
    const __m128i loOrHi = _mm_xor_si128(lo, _mm_and_si128(_mm_xor_si128(lo, hi), takeHi));
    return _mm_xor_si128(c, _mm_and_si128(_mm_xor_si128(loOrHi, c), keepAOrB));
}

// (a + b) / 2 of every byte lane: the rounded-up mean less the odd bit.
QOV_PNG_SSE2_FN inline __m128i AverageBytesSse2(__m128i a, __m128i b) {
    const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1));
    return _mm_sub_epi8(_mm_avg_epu8(a, b), odd);
}

// One pixel's word of each row of a group as the 32-bit lanes.
QOV_PNG_SSE2_FN inline __m128i GatherWords(int w0, int w1, int w2, int w3) {
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(_mm_cvtsi32_si128(w0), _mm_cvtsi32_si128(w1)),
                              _mm_unpacklo_epi32(_mm_cvtsi32_si128(w2), _mm_cvtsi32_si128(w3)));
}

// The state of a group's loop: row k's pixel at step t is pixel t - k.
struct RowGroup {
    uint8_t* first;      // row 0
    size_t stride;
    const uint8_t* prev; // the row above row 0
    size_t pixels;       // pixels a row has whose word lies inside it
    __m128i x;           // the stored words of this step
    __m128i done;        // the last step's results: the left neighbours
    __m128i upper;       // the last step's upper neighbours: the upper-left ones
    // A group of mixed filters: the lanes of the rows of each filter (None,
    // and unknown types, in none of them).
    __m128i paethLanes, averageLanes, subLanes, upLanes;
};

// What a group's rows hold: all Average, all Paeth, or any filters.
enum GroupKind { kGroupAverage, kGroupPaeth, kGroupMixed };

// The predictor of every lane of a group of mixed filters: each lane's row
// takes its own of Paeth, Average, left (Sub), upper (Up) or none. The
// cheap ones are joined first, so that Paeth's temporaries find registers
// (the 32-bit build has eight, and spilled them in the chain of the left
// neighbours when Paeth came first).
QOV_PNG_SSE2_FN inline __m128i MixedPredictSse2(const RowGroup& g, __m128i a, __m128i b, __m128i c) {
    const __m128i left = _mm_and_si128(a, g.subLanes), up = _mm_and_si128(b, g.upLanes);
    const __m128i average = _mm_and_si128(AverageBytesSse2(a, b), g.averageLanes);
    const __m128i others = _mm_or_si128(_mm_or_si128(left, up), average);
    return _mm_or_si128(others, _mm_and_si128(PaethPredictBytesSse2(a, b, c), g.paethLanes));
}

// Whether row k of a group of kRows has a pixel at step t.
template <size_t kRows>
inline bool GroupHas(const RowGroup& g, size_t k, size_t t) {
    return k < kRows && t >= k && t - k < g.pixels;
}

// One step: the pixels of step t from those of step t - 1. kSteady: every row
// has a pixel at steps t and t + 1, so nothing is tested. The next step's
// words are read before these are written: a read that overlaps a write just
// made stalls the processor.
template <size_t kBpp, int kKind, size_t kRows, bool kSteady>
QOV_PNG_SSE2_FN inline void GroupStep(RowGroup& g, size_t t) {
    const bool above = kSteady || t < g.pixels;
    const __m128i upperLeft = g.upper;
    g.upper = _mm_or_si128(_mm_slli_si128(g.done, 4),
                           above ? _mm_cvtsi32_si128(LoadWord(g.prev + t * kBpp)) : _mm_setzero_si128());
    const __m128i pred = kKind == kGroupPaeth     ? PaethPredictBytesSse2(g.done, g.upper, upperLeft)
                         : kKind == kGroupAverage ? AverageBytesSse2(g.done, g.upper)
                                                  : MixedPredictSse2(g, g.done, g.upper, upperLeft);
    g.done = _mm_add_epi8(g.x, pred);
    // A 3-byte pixel's word carries the next pixel's first byte, which goes
    // back as it was read.
    const __m128i keep = _mm_set1_epi32(int(0xFF000000u));
    const __m128i out = kBpp == 3 ? _mm_or_si128(_mm_andnot_si128(keep, g.done), _mm_and_si128(keep, g.x)) : g.done;
    // Row k's pixel at a step, where the row has one.
    auto at = [&g](size_t k, size_t step) { return g.first + k * g.stride + (step - k) * kBpp; };
    if (kSteady) {
        // Spelled out: as a loop over the rows the compiler kept the words in
        // memory and the loop's count, a third of the group's instructions.
        g.x = GatherWords(LoadWord(at(0, t + 1)), LoadWord(at(1, t + 1)), LoadWord(at(2, t + 1)),
                          kRows > 3 ? LoadWord(at(3, t + 1)) : 0);
    } else {
        int w[kGroupRows] = {0, 0, 0, 0};
        for (size_t k = 0; k < kRows; k++)
            if (GroupHas<kRows>(g, k, t + 1)) w[k] = LoadWord(at(k, t + 1));
        g.x = GatherWords(w[0], w[1], w[2], w[3]);
    }
    if (kSteady || GroupHas<kRows>(g, 0, t)) StoreWord(at(0, t), _mm_cvtsi128_si32(out));
    if (kSteady || GroupHas<kRows>(g, 1, t)) StoreWord(at(1, t), _mm_cvtsi128_si32(_mm_srli_si128(out, 4)));
    if (kSteady || GroupHas<kRows>(g, 2, t)) StoreWord(at(2, t), _mm_cvtsi128_si32(_mm_srli_si128(out, 8)));
    if (kRows > 3 && (kSteady || GroupHas<kRows>(g, 3, t)))
        StoreWord(at(3, t), _mm_cvtsi128_si32(_mm_srli_si128(out, 12)));
}

// A group of three or four rows of one filter at once, Paeth or Average, a
// pixel of each in one 32-bit lane of a vector and computed in byte lanes:
// row k runs k pixels behind row 0, so that the pixel above it and the one
// above-left are the previous results of lane k - 1, taken from the register.
// One chain of instructions serves a pixel of every row, where the pair
// loop's serves two. Lanes of a row not yet started, or not in the group,
// hold zeros, which is what a first pixel needs as left and upper-left
// neighbours. Returns the pixels done in each row: every pixel whose word
// lies inside the row.
template <size_t kBpp, int kKind, size_t kRows>
QOV_PNG_SSE2_FN size_t PngUnfilterGroupSse2(RowGroup& g, uint8_t* first, size_t stride, const uint8_t* prev, size_t n) {
    g.first = first;
    g.stride = stride;
    g.prev = prev;
    g.pixels = n >= kWordBytes ? (n - kWordBytes) / kBpp + 1 : 0;
    g.x = _mm_cvtsi32_si128(g.pixels ? LoadWord(first) : 0);
    g.done = g.upper = _mm_setzero_si128();
    const size_t steps = g.pixels + kRows - 1;
    size_t t = 0;
    // The first steps start the rows below; the steady ones run while every
    // row has a pixel at this step and the next; the last ones finish the rows.
    for (; t < kRows - 1 && t < steps; t++) GroupStep<kBpp, kKind, kRows, false>(g, t);
    // The steady steps work on a copy of the state that nothing outside them
    // sees: the state itself goes to the edge steps by reference, and the
    // rows' byte stores could reach it for all the compiler knows, so the
    // 32-bit build kept it in memory and each step's left neighbours passed
    // through a store and a load. The copy lives in registers.
    RowGroup s = g;
    for (; t + 1 < s.pixels; t++) GroupStep<kBpp, kKind, kRows, true>(s, t);
    g = s;
    for (; t < steps; t++) GroupStep<kBpp, kKind, kRows, false>(g, t);
    return g.pixels;
}

template <size_t kBpp, size_t kRows>
size_t PngUnfilterGroupOf(uint8_t filter, uint8_t* first, size_t stride, const uint8_t* prev, size_t n) {
    RowGroup g;
    return filter == kFilterPaeth ? PngUnfilterGroupSse2<kBpp, kGroupPaeth, kRows>(g, first, stride, prev, n)
                                  : PngUnfilterGroupSse2<kBpp, kGroupAverage, kRows>(g, first, stride, prev, n);
}

// The lanes of the rows whose filter is `filter`.
QOV_PNG_SSE2_FN inline __m128i FilterLanes(const uint8_t* filters, uint8_t filter) {
    auto lane = [&](size_t k) { return filters[k] == filter ? -1 : 0; };
    return _mm_setr_epi32(lane(0), lane(1), lane(2), lane(3));
}

// The bytes from `from` on by the byte rule of any filter.
template <size_t kBpp>
void PngUnfilterTailAny(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t from, size_t n) {
    for (size_t i = from; i < n; i++) {
        const int left = i >= kBpp ? row[i - kBpp] : 0, up = prev[i], upLeft = i >= kBpp ? prev[i - kBpp] : 0;
        const int pred = filter == kFilterPaeth     ? PngPaeth(left, up, upLeft)
                         : filter == kFilterAverage ? (left + up) >> 1
                         : filter == kFilterSub     ? left
                         : filter == kFilterUp      ? up
                                                    : 0;
        row[i] = uint8_t(row[i] + pred);
    }
}

template <size_t kBpp>
QOV_PNG_SSE2_FN void PngUnfilterMixedRows(const uint8_t* filters, uint8_t* first, size_t stride, const uint8_t* prev,
                                          size_t n) {
    RowGroup g;
    g.paethLanes = FilterLanes(filters, kFilterPaeth);
    g.averageLanes = FilterLanes(filters, kFilterAverage);
    g.subLanes = FilterLanes(filters, kFilterSub);
    g.upLanes = FilterLanes(filters, kFilterUp);
    const size_t done = PngUnfilterGroupSse2<kBpp, kGroupMixed, kGroupRows>(g, first, stride, prev, n);
    for (size_t k = 0; k < kGroupRows; k++)
        PngUnfilterTailAny<kBpp>(filters[k], first + k * stride, k ? first + (k - 1) * stride : prev, done * kBpp, n);
}

// The group's pixels the vector loop left, each row's from the one above,
// finished by then, by the byte rules.
template <size_t kBpp>
bool PngUnfilterGroupRows(uint8_t filter, uint8_t* first, size_t rows, size_t stride, const uint8_t* prev, size_t n) {
    if (filter != kFilterPaeth && filter != kFilterAverage) return false;
    if (rows != 3 && rows != kGroupRows) return false;
    const size_t done = rows == 3 ? PngUnfilterGroupOf<kBpp, 3>(filter, first, stride, prev, n)
                                  : PngUnfilterGroupOf<kBpp, kGroupRows>(filter, first, stride, prev, n);
    for (size_t k = 0; k < rows; k++)
        PngUnfilterTail<kBpp>(filter, first + k * stride, k ? first + (k - 1) * stride : prev, done * kBpp, n);
    return true;
}

// Sub of 3- or 4-byte pixels a vector at a time (five or four pixels): the
// running sums of the stored pixels within the vector, by shifted adds of
// one, two and four pixels, plus the last finished pixel repeated in every
// pixel's place. That repeated pixel grows by the vector's own last sum, which
// does not wait for the vector before, so the only chain is one add. The
// sixteenth byte of a 3-byte vector is the next pixel's first, written back as
// it was read, and the next vector is read before this one is written.
// Returns the bytes done.
template <size_t kBpp>
QOV_PNG_SSE2_FN size_t PngSubSse2(uint8_t* row, size_t n) {
    constexpr size_t kVector = 16, kPixels = kVector / kBpp, kStep = kPixels * kBpp;
    const __m128i lastPixel = _mm_srli_si128(_mm_set1_epi8(-1), kVector - kBpp);
    const __m128i keep = kBpp == 3 ? _mm_slli_si128(_mm_set1_epi8(-1), kVector - 1) : _mm_setzero_si128();
    __m128i before = _mm_setzero_si128();  // the finished pixel to the left, repeated
    size_t i = 0;
    __m128i x = n >= kVector ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(row)) : _mm_setzero_si128();
    for (; i + kVector <= n; i += kStep) {
        const __m128i next = i + kStep + kVector <= n ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + kStep))
                                                      : _mm_setzero_si128();
        __m128i sums = _mm_add_epi8(x, _mm_slli_si128(x, kBpp));
        sums = _mm_add_epi8(sums, _mm_slli_si128(sums, 2 * kBpp));
        if (kPixels > 4) sums = _mm_add_epi8(sums, _mm_slli_si128(sums, 4 * kBpp));
        __m128i last = _mm_and_si128(_mm_srli_si128(sums, kStep - kBpp), lastPixel);
        last = _mm_or_si128(last, _mm_slli_si128(last, kBpp));
        last = _mm_or_si128(last, _mm_slli_si128(last, 2 * kBpp));
        if (kPixels > 4) last = _mm_or_si128(last, _mm_slli_si128(last, 4 * kBpp));
        const __m128i out = _mm_add_epi8(sums, before);
        before = _mm_add_epi8(before, last);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i),
                         _mm_or_si128(_mm_andnot_si128(keep, out), _mm_and_si128(keep, x)));
        x = next;
    }
    return i;
}

// The same with the vector's last pixel repeated by one byte shuffle, on
// processors that have it (asked once): a third fewer instructions a vector.
template <size_t kBpp>
QOV_PNG_SSSE3_FN size_t PngSubSsse3(uint8_t* row, size_t n) {
    constexpr size_t kVector = 16, kPixels = kVector / kBpp, kStep = kPixels * kBpp;
    const __m128i repeatLast = kBpp == 3 ? _mm_setr_epi8(12, 13, 14, 12, 13, 14, 12, 13, 14, 12, 13, 14, 12, 13, 14, -1)
                                         : _mm_setr_epi8(12, 13, 14, 15, 12, 13, 14, 15, 12, 13, 14, 15, 12, 13, 14, 15);
    const __m128i keep = kBpp == 3 ? _mm_slli_si128(_mm_set1_epi8(-1), kVector - 1) : _mm_setzero_si128();
    __m128i before = _mm_setzero_si128();
    size_t i = 0;
    __m128i x = n >= kVector ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(row)) : _mm_setzero_si128();
    for (; i + kVector <= n; i += kStep) {
        const __m128i next = i + kStep + kVector <= n ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + kStep))
                                                      : _mm_setzero_si128();
        __m128i sums = _mm_add_epi8(x, _mm_slli_si128(x, kBpp));
        sums = _mm_add_epi8(sums, _mm_slli_si128(sums, 2 * kBpp));
        if (kPixels > 4) sums = _mm_add_epi8(sums, _mm_slli_si128(sums, 4 * kBpp));
        const __m128i out = _mm_add_epi8(sums, before);
        before = _mm_add_epi8(before, _mm_shuffle_epi8(sums, repeatLast));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i),
                         _mm_or_si128(_mm_andnot_si128(keep, out), _mm_and_si128(keep, x)));
        x = next;
    }
    return i;
}

template <size_t kBpp>
bool PngUnfilterSse2(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n) {
    size_t done;
    if (filter == kFilterSub) {
        size_t i = DibCpuHasSsse3() ? PngSubSsse3<kBpp>(row, n) : PngSubSse2<kBpp>(row, n);
        for (i = i > kBpp ? i : kBpp; i < n; i++) row[i] = uint8_t(row[i] + row[i - kBpp]);
        return true;
    }
    if (filter == kFilterPaeth) done = PngPaethSse2<kBpp>(row, prev, n);
    else if (filter == kFilterAverage) done = PngAverageSse2<kBpp>(row, prev, n);
    else return false;
    PngUnfilterTail<kBpp>(filter, row, prev, done, n);
    return true;
}
#endif

}  // namespace

#if QOV_PNG_SSE2
namespace {

// Up at any pixel size, 16 bytes at a time: no byte depends on its row's others.
QOV_PNG_SSE2_FN void PngUpSse2(uint8_t* row, const uint8_t* prev, size_t n) {
    constexpr size_t kVector = 16;
    size_t i = 0;
    for (; i + kVector <= n; i += kVector) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(x, b));
    }
    for (; i < n; i++) row[i] = uint8_t(row[i] + prev[i]);
}

}  // namespace
#endif

// Up at every pixel size, and Paeth and Average of 3- and 4-byte pixels, take
// the vector path where the processor has one; everything else the byte loops.
void PngUnfilterRow(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp) {
#if QOV_PNG_SSE2
    if (PngVectorsAllowed()) {
        if (filter == kFilterUp) {
            PngUpSse2(row, prev, n);
            return;
        }
        if (bpp == 3 && PngUnfilterSse2<3>(filter, row, prev, n)) return;
        if (bpp == 4 && PngUnfilterSse2<4>(filter, row, prev, n)) return;
    }
#endif
    PngUnfilterPortable(filter, row, prev, n, bpp);
}

bool PngUnfilterPair(uint8_t filter, uint8_t lowerFilter, uint8_t* upper, uint8_t* lower, const uint8_t* prev, size_t n,
                     size_t bpp) {
#if QOV_PNG_SSE2
    if (filter != lowerFilter || !PngVectorsAllowed()) return false;
    if (bpp == 3) return PngUnfilterPairRows<3>(filter, upper, lower, prev, n);
    if (bpp == 4) return PngUnfilterPairRows<4>(filter, upper, lower, prev, n);
#else
    (void)filter, (void)lowerFilter, (void)upper, (void)lower, (void)prev, (void)n, (void)bpp;
#endif
    return false;
}

bool PngUnfilterMixedGroup(const uint8_t* filters, uint8_t* first, size_t stride, const uint8_t* prev, size_t n,
                           size_t bpp) {
#if QOV_PNG_SSE2
    if (!PngVectorsAllowed()) return false;
    if (bpp == 3) return PngUnfilterMixedRows<3>(filters, first, stride, prev, n), true;
    if (bpp == 4) return PngUnfilterMixedRows<4>(filters, first, stride, prev, n), true;
#else
    (void)filters, (void)first, (void)stride, (void)prev, (void)n, (void)bpp;
#endif
    return false;
}

bool PngUnfilterGroup(uint8_t filter, uint8_t* first, size_t rows, size_t stride, const uint8_t* prev, size_t n,
                      size_t bpp) {
#if QOV_PNG_SSE2
    if (!PngVectorsAllowed()) return false;
    if (bpp == 3) return PngUnfilterGroupRows<3>(filter, first, rows, stride, prev, n);
    if (bpp == 4) return PngUnfilterGroupRows<4>(filter, first, rows, stride, prev, n);
#else
    (void)filter, (void)first, (void)rows, (void)stride, (void)prev, (void)n, (void)bpp;
#endif
    return false;
}

void PngUnfilterPortable(uint8_t filter, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp) {
    switch (bpp) {
    case 1: PngUnfilterT<1>(filter, row, prev, n); break;
    case 2: PngUnfilterT<2>(filter, row, prev, n); break;
    case 3: PngUnfilterT<3>(filter, row, prev, n); break;
    case 4: PngUnfilterT<4>(filter, row, prev, n); break;
    case 6: PngUnfilterT<6>(filter, row, prev, n); break;
    default: PngUnfilterT<8>(filter, row, prev, n); break;
    }
}

namespace {

// (colour x alpha + background x (255 - alpha) + 127) / 255, the division done
// as (x + 1 + (x >> 8)) >> 8, exact for every x up to 255 x 255 + 127. Alpha 255
// gives the colour and alpha 0 the background, so no pixel needs a branch.
inline uint8_t Blend(uint32_t colour, uint32_t alpha, uint32_t bg) {
    uint32_t x = colour * alpha + bg * (255 - alpha) + 127;
    return uint8_t((x + 1 + (x >> 8)) >> 8);
}

#if QOV_PNG_SSE2
// Opaque 8-bit RGBA pixels four at a time: red and blue change places and
// alpha stays 255, which is what the blend gives at alpha 255. Stops before
// the first group of four holding a pixel that is not opaque; returns the
// pixels done.
QOV_PNG_SSE2_FN size_t PngRgbaOpaqueSse2(const uint8_t* s, size_t n, uint8_t* d) {
    constexpr size_t kGroup = 4;
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    const __m128i green = _mm_set1_epi32(0x0000FF00);
    const __m128i low = _mm_set1_epi32(0x000000FF);
    size_t x = 0;
    for (; x + kGroup <= n; x += kGroup) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(v, alpha), alpha)) != 0xFFFF) break;
        const __m128i red = _mm_and_si128(v, low), blue = _mm_and_si128(_mm_srli_epi32(v, 16), low);
        const __m128i out = _mm_or_si128(_mm_or_si128(_mm_and_si128(v, _mm_or_si128(alpha, green)), blue),
                                         _mm_slli_epi32(red, 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), out);
    }
    return x;
}
constexpr size_t kRgbaGroup = 4;

#endif

// Converts n pixels of depth 8 or 16 from an unfiltered row; dst advances by
// step bytes per pixel (the DIB pixel size, or a multiple for Adam7 passes).
// kSample is the bytes per sample (the high byte comes first); kStep, when not
// 0, is the step as a constant for the packed rows of a plain image.
template <size_t kSample, size_t kStep>
void PngConvertPixelsT(const PngRows& p, const uint8_t* s, size_t n, uint8_t* d, size_t runtimeStep) {
    const size_t step = kStep ? kStep : runtimeStep;
    const bool wide = kSample == 2;
    const size_t ss = kSample;
    switch (p.h.colorType) {
    case kGrey:
    case kPalette:
        if (!wide && step == 1) {
            memcpy(d, s, n);
        } else {
            for (size_t x = 0; x < n; x++, s += ss, d += step) *d = *s;
        }
        break;
    case kRgb:
        if (!p.key) {
            size_t x = 0;
            if (!wide && kStep == 3) {
                DibRgbToBgr(s, n, d);
                break;
            }
            for (; x < n; x++, s += 3 * ss, d += step) {
                const uint8_t r = s[0], g = s[ss], b = s[2 * ss];
                d[0] = b;
                d[1] = g;
                d[2] = r;
            }
        } else if (!wide) {
            // 8-bit samples are compared with the key's low bytes.
            const uint8_t kr = uint8_t(p.keyR), kg = uint8_t(p.keyG), kb = uint8_t(p.keyB);
            for (size_t x = 0; x < n; x++, s += 3, d += step) {
                const uint8_t r = s[0], g = s[1], b = s[2];
                const bool hit = r == kr && g == kg && b == kb;
                d[0] = hit ? p.bgB : b;
                d[1] = hit ? p.bgG : g;
                d[2] = hit ? p.bgR : r;
            }
        } else {
            for (size_t x = 0; x < n; x++, s += 6, d += step) {
                const bool hit = ((s[0] << 8) | s[1]) == p.keyR && ((s[2] << 8) | s[3]) == p.keyG &&
                                 ((s[4] << 8) | s[5]) == p.keyB;
                const uint8_t r = s[0], g = s[2], b = s[4];
                d[0] = hit ? p.bgB : b;
                d[1] = hit ? p.bgG : g;
                d[2] = hit ? p.bgR : r;
            }
        }
        break;
    case kGreyAlpha:
        for (size_t x = 0; x < n; x++, s += 2 * ss, d += step) {
            uint32_t g = s[0], a = s[ss];
            d[0] = Blend(g, a, p.bgB);
            d[1] = Blend(g, a, p.bgG);
            d[2] = Blend(g, a, p.bgR);
            d[3] = a == 255 ? 255 : 0;
        }
        break;
    case kRgba: {
        // Blue and red blend side by side in the two 16-bit halves of one word
        // (each sum stays below 2^16, so the halves never carry into each other),
        // which then lands in bytes 0 and 2 of the output pixel.
        const uint32_t bgBR = p.bgB | (uint32_t(p.bgR) << 16), bgG = p.bgG;
#if QOV_PNG_SSE2
        const bool vectors = PngVectorsAllowed();
#endif
        for (size_t x = 0; x < n; x++) {
#if QOV_PNG_SSE2
            // Runs of opaque pixels go four at a time; the group that ends a
            // run is blended pixel by pixel before the next run is sought.
            if (vectors && !wide && kStep == 4 && x % kRgbaGroup == 0) {
                x += PngRgbaOpaqueSse2(s + 4 * x, n - x, d + 4 * x);
                if (x >= n) break;
            }
#endif
            const uint8_t* px = s + x * 4 * ss;
            uint8_t* o = d + x * step;
            const uint32_t a = px[3 * ss], na = 255 - a;
            uint32_t br = (px[2 * ss] | (uint32_t(px[0]) << 16)) * a + bgBR * na + 0x007F007F;
            uint32_t g = px[ss] * a + bgG * na + 0x7F;
            br = ((br + 0x00010001 + ((br >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
            g = ((g + 1 + (g >> 8)) >> 8) & 0xFF;
            const uint32_t out = br | (g << 8) | (a == 255 ? 0xFF000000u : 0);
            o[0] = uint8_t(out);
            o[1] = uint8_t(out >> 8);
            o[2] = uint8_t(out >> 16);
            o[3] = uint8_t(out >> 24);
        }
        break;
    }
    }
}

void PngConvertPixels(const PngRows& p, const uint8_t* s, size_t n, uint8_t* d, size_t step) {
    const bool wide = p.h.bitDepth == 16;
    if (step == p.outBytes) {
        switch (p.outBytes) {
        case 1:
            return wide ? PngConvertPixelsT<2, 1>(p, s, n, d, step) : PngConvertPixelsT<1, 1>(p, s, n, d, step);
        case 3:
            return wide ? PngConvertPixelsT<2, 3>(p, s, n, d, step) : PngConvertPixelsT<1, 3>(p, s, n, d, step);
        default:
            return wide ? PngConvertPixelsT<2, 4>(p, s, n, d, step) : PngConvertPixelsT<1, 4>(p, s, n, d, step);
        }
    }
    return wide ? PngConvertPixelsT<2, 0>(p, s, n, d, step) : PngConvertPixelsT<1, 0>(p, s, n, d, step);
}

// One unfiltered row of a non-interlaced image into DIB row `y` (counted from the top).
void PngConvertRow(const PngRows& p, const uint8_t* s, size_t rowBytes, uint32_t y) {
    uint8_t* d = p.dib + (size_t(p.h.height) - 1 - y) * p.dibStride;
    if (p.h.bitDepth == 2) {
        for (size_t i = 0; i < rowBytes; i++, d += 2) {
            uint16_t v = gTwoBitSpread[s[i]];
            d[0] = uint8_t(v);
            d[1] = uint8_t(v >> 8);
        }
    } else if (p.h.bitDepth < 8) {
        memcpy(d, s, rowBytes);
    } else {
        PngConvertPixels(p, s, p.h.width, d, p.outBytes);
    }
}

// Feeds the IDAT chunks to zlib one after another, from s->pos on.
bool PngNextIdat(PngStream* s) {
    while (s->length - s->pos >= kChunkOverhead) {
        uint32_t len = Be32(s->data + s->pos);
        uint32_t type = Be32(s->data + s->pos + 4);
        const uint8_t* body = s->data + s->pos + 8;
        s->pos += size_t(len) + kChunkOverhead;
        if (type == kIEND) return false;
        if (type == kIDAT && len) {
            s->z.next_in = const_cast<uint8_t*>(body);
            s->z.avail_in = len;
            return true;
        }
    }
    return false;
}

// One call of inflate into out[0..room): the check value takes in what it
// gave, while it is still in the cache, and the stream's tail the bytes it
// took.
int PngInflateOnce(PngStream* s, uint8_t* out, size_t room) {
    const uint8_t* in = s->z.next_in;
    s->z.next_out = out;
    s->z.avail_out = uInt(room);
    const int rc = inflate(&s->z, Z_NO_FLUSH);
    s->adler = PngAdlerUpdate(s->adler, out, room - s->z.avail_out);
    size_t took = size_t(s->z.next_in - in);
    if (took > kAdlerBytes) in += took - kAdlerBytes, took = kAdlerBytes;
    memmove(s->tail, s->tail + took, kAdlerBytes - took);
    memcpy(s->tail + kAdlerBytes - took, in, took);
    return rc;
}

// Inflates into raw[0..want) ; answers kPngOk with *got bytes, or kPngBadData.
int PngInflateTo(PngStream* s, uint8_t* raw, size_t want, size_t* got) {
    while (*got < want && !s->ended) {
        if (s->z.avail_in == 0 && !PngNextIdat(s)) return kPngBadData;
        const size_t room = want - *got;
        const int rc = PngInflateOnce(s, raw + *got, room);
        *got = want - s->z.avail_out;
        if (rc == Z_STREAM_END) s->ended = true;
        else if (rc != Z_OK && rc != Z_BUF_ERROR) return kPngBadData;
    }
    return kPngOk;
}

// After the rows: the stream is taken on as far as it goes without giving
// more bytes (the end of its last block and its check value, which may lie
// in the next IDAT chunk), and a stream that reached its end must carry the
// check value of what it gave. Data past the rows is never inflated, and a
// stream whose end is missing keeps the rows it gave.
int PngFinishStream(PngStream* s) {
    uint8_t none = 0;
    while (!s->ended) {
        if (s->z.avail_in == 0 && !PngNextIdat(s)) return kPngOk;
        const int rc = PngInflateOnce(s, &none, 0);
        if (rc == Z_STREAM_END) s->ended = true;
        else if (rc != Z_OK && rc != Z_BUF_ERROR) return kPngBadData;
        else if (s->z.avail_in > 0) return kPngOk;  // more bytes wait to be given
    }
    return Be32(s->tail) == s->adler ? kPngOk : kPngBadData;
}

// How many of `count` rows from `row`, `stride` bytes apart, start with its filter byte.
size_t PngFilterRun(const uint8_t* row, size_t stride, size_t count) {
    size_t k = 1;
    while (k < count && row[k * stride] == row[0]) k++;
    return k;
}

// Whether the kGroupRows rows from `row` hold two or more Paeth or Average
// rows and no Up row: Sub and Up rows have vector loops of their own that
// beat a group's pace, the cheaper Up by far. Their filter bytes go to
// filters.
bool PngGroupWantsMixing(const uint8_t* row, size_t stride, uint8_t* filters) {
    size_t chained = 0;
    for (size_t k = 0; k < kGroupRows; k++) {
        filters[k] = row[k * stride];
        if (filters[k] == kFilterUp) return false;
        chained += filters[k] == kFilterPaeth || filters[k] == kFilterAverage;
    }
    return chained >= kMixedGroupChains;
}

// Bytes of a step: whole rows of `stride` bytes, at least one.
size_t PngStepBytes(size_t stride) { return (kInflateStep / stride + 1) * stride; }

// The window of the rows: kWindowSteps steps, room for the rows that wait
// (and the row above them, their predictor) and a part row; never more than
// the image data.
size_t PngWindowBytes(size_t stride, size_t total) {
    CheckedSize window(PngStepBytes(stride));
    window.Mul(kWindowSteps);
    CheckedSize waiting(stride);
    waiting.Mul(kGroupRows + 2);
    window.Add(waiting.value);
    return window.ok && window.value < total ? window.Size() : total;
}

// Non-interlaced: inflate a step of rows into the window, unfilter the rows
// and convert each into its place in the DIB, repeat. When a step no longer
// fits behind the data in the window, the rows still needed (the last one
// undone, the predictor of the next, and those not yet undone) move to its
// start.
int PngDecodeRows(const PngRows& p, PngStream* s, uint8_t* window, size_t windowBytes, size_t total,
                  const uint8_t* zeroRow) {
    const size_t rowBytes = (size_t(p.h.width) * p.bitsPerPixel + 7) / 8;
    const size_t stride = rowBytes + 1;
    const size_t step = PngStepBytes(stride);
    size_t first = 0, got = 0;  // the image row at the window's start, the bytes in it
    uint32_t y = 0;
    const uint8_t* prev = zeroRow;
    while (y < p.h.height) {
        if (windowBytes - got < step && first * stride + got < total) {
            const size_t keep = y > 0 ? y - 1 : y;
            const size_t from = (keep - first) * stride;
            memmove(window, window + from, got - from);
            got -= from;
            first = keep;
            if (y > 0) prev = window + 1;
        }
        const size_t left = total - first * stride;
        size_t want = got + step < windowBytes ? got + step : windowBytes;
        if (want > left) want = left;
        int rc = PngInflateTo(s, window, want, &got);
        if (rc != kPngOk) return rc;
        const size_t ready = first + got / stride;
        if (ready <= y) return kPngBadFormat;  // the stream ended short of the rows
        for (; y < ready; y++) {
            // The last rows in hand wait for the next step while more are
            // coming, so that they can be undone with the rows below them.
            if (y + kGroupRows > ready && ready < p.h.height && !s->ended) break;
            uint8_t* row = window + (y - first) * stride;
            uint8_t* below = row + stride;
            const uint32_t run = uint32_t(PngFilterRun(row, stride, ready - y < kGroupRows ? ready - y : kGroupRows));
            if (run > 2 && PngUnfilterGroup(row[0], row + 1, run, stride, prev, rowBytes, p.filterBpp)) {
                for (uint32_t k = 0; k < run; k++) PngConvertRow(p, row + k * stride + 1, rowBytes, y + k);
                prev = row + (run - 1) * stride + 1;
                y += run - 1;
                continue;
            }
            // Rows of different filters among which Paeth or Average, whose
            // one-row loops wait on each pixel's left neighbour, go as a
            // group of mixed filters.
            uint8_t filters[kGroupRows];
            if (p.filterBpp == kMixedGroupBpp && ready - y >= kGroupRows &&
                PngGroupWantsMixing(row, stride, filters) &&
                PngUnfilterMixedGroup(filters, row + 1, stride, prev, rowBytes, p.filterBpp)) {
                for (uint32_t k = 0; k < kGroupRows; k++) PngConvertRow(p, row + k * stride + 1, rowBytes, y + k);
                prev = row + (kGroupRows - 1) * stride + 1;
                y += kGroupRows - 1;
                continue;
            }
            if (y + 1 < ready && PngUnfilterPair(row[0], below[0], row + 1, below + 1, prev, rowBytes, p.filterBpp)) {
                PngConvertRow(p, row + 1, rowBytes, y);
                PngConvertRow(p, below + 1, rowBytes, y + 1);
                prev = below + 1;
                y++;
                continue;
            }
            PngUnfilterRow(row[0], row + 1, prev, rowBytes, p.filterBpp);
            PngConvertRow(p, row + 1, rowBytes, y);
            prev = row + 1;
        }
    }
    return kPngOk;
}

// Makes room for a step behind the bytes still needed: when a step no longer
// fits, the window's bytes from stream offset `keep` on move to its start
// (*base, the stream offset of the window's start, follows them); then a step,
// never past the image data, is inflated behind them.
int PngRefillWindow(PngStream* s, uint8_t* window, size_t windowBytes, size_t step, size_t total, size_t keep,
                    size_t* base, size_t* got) {
    if (windowBytes - *got < step) {
        const size_t from = keep - *base;
        memmove(window, window + from, *got - from);
        *got -= from;
        *base = keep;
    }
    size_t want = *got + step < windowBytes ? *got + step : windowBytes;
    if (want > total - *base) want = total - *base;
    const size_t had = *got;
    int rc = PngInflateTo(s, window, want, got);
    if (rc == kPngOk && *got == had) rc = kPngBadFormat;  // the stream ended short of the rows
    return rc;
}

// Adam7: the passes follow one another in the data, each row undone against
// the row before it in its own pass, so they too pass through a window: a
// step is inflated, each whole row undone and its pixels spread to their
// places in the DIB; the last row undone (the next row's predictor) and the
// part row move to the window's start when a step no longer fits. Offsets
// here count from the start of the inflated data.
int PngDecodeInterlaced(const PngRows& p, PngStream* s, uint8_t* window, size_t windowBytes, size_t total,
                        const uint8_t* zeroRow) {
    const size_t step = PngStepBytes(size_t(p.h.width) * (p.bitsPerPixel / 8) + 1);
    size_t base = 0, got = 0, at = 0;  // the window's start, the bytes in it, the next row
    for (int pass = 0; pass < 7; pass++) {
        uint64_t pw = PassExtent(p.h.width, kPassX0[pass], kPassDx[pass]);
        uint64_t ph = PassExtent(p.h.height, kPassY0[pass], kPassDy[pass]);
        if (pw == 0 || ph == 0) continue;
        const size_t rowBytes = size_t(pw) * (p.bitsPerPixel / 8);
        const size_t stride = rowBytes + 1;
        size_t prevAt = at;  // the row above in the pass (none for its first row)
        for (uint64_t py = 0; py < ph; py++) {
            while (base + got - at < stride) {
                int rc = PngRefillWindow(s, window, windowBytes, step, total, py > 0 ? prevAt : at, &base, &got);
                if (rc != kPngOk) return rc;
            }
            uint8_t* row = window + (at - base);
            const uint8_t* prev = py > 0 ? window + (prevAt - base) + 1 : zeroRow;
            PngUnfilterRow(row[0], row + 1, prev, rowBytes, p.filterBpp);
            const size_t y = kPassY0[pass] + size_t(py) * kPassDy[pass];
            uint8_t* d = p.dib + (size_t(p.h.height) - 1 - y) * p.dibStride + size_t(kPassX0[pass]) * p.outBytes;
            PngConvertPixels(p, row + 1, size_t(pw), d, size_t(kPassDx[pass]) * p.outBytes);
            prevAt = at;
            at += stride;
        }
    }
    return kPngOk;
}

// The DIB is not cleared as a whole: every row's pixels are written, so only
// the padding after them must be zero. The last word of each row (the rows
// are whole words) is cleared beforehand, and the pixels written over its
// first bytes, as far as they reach.
constexpr size_t kDibRowAlign = 4;
void PngClearRowEnds(const PngRows& p) {
    for (uint32_t y = 0; y < p.h.height; y++)
        memset(p.dib + (size_t(y) + 1) * p.dibStride - kDibRowAlign, 0, kDibRowAlign);
}

// The DIB header and colour table for the image.
void PngMakeDibHeader(const PngChunks& c, PngImage* out) {
    const PngHeader& h = c.ihdr;
    BITMAPINFOHEADER& b = out->header;
    memset(&b, 0, sizeof b);
    memset(out->colors, 0, sizeof out->colors);
    b.biSize = 40;
    b.biWidth = LONG(h.width);
    b.biHeight = LONG(h.height);
    b.biPlanes = 1;
    switch (h.colorType) {
    case kGrey:
    case kPalette:
        b.biBitCount = h.bitDepth == 1 ? 1 : h.bitDepth <= 4 ? 4 : 8;
        break;
    case kRgb:
        b.biBitCount = 24;
        break;
    default:
        b.biBitCount = 32;
        break;
    }
    if (b.biBitCount > 8) return;
    b.biClrUsed = b.biClrImportant = 1u << b.biBitCount;
    RGBQUAD* t = out->colors;
    if (h.colorType == kPalette) {
        for (uint32_t i = 0; i < c.plteLength / 3 && i < b.biClrUsed; i++) {
            t[i].rgbRed = c.plte[i * 3];
            t[i].rgbGreen = c.plte[i * 3 + 1];
            t[i].rgbBlue = c.plte[i * 3 + 2];
        }
        return;
    }
    // Grey: the levels of the file's depth spread evenly over 0..255.
    uint32_t levels = h.bitDepth >= 8 ? 256 : 1u << h.bitDepth;
    for (uint32_t i = 0; i < levels; i++) {
        uint8_t v = uint8_t(i * 255 / (levels - 1));
        t[i].rgbRed = t[i].rgbGreen = t[i].rgbBlue = v;
    }
}

}  // namespace

#if QOV_PNG_SSE2
namespace {

// The sum of the four 32-bit lanes.
QOV_PNG_SSE2_FN inline uint32_t SumLanes(__m128i v) {
    v = _mm_add_epi32(v, _mm_srli_si128(v, 8));
    v = _mm_add_epi32(v, _mm_srli_si128(v, 4));
    return uint32_t(_mm_cvtsi128_si32(v));
}

// Adler-32 sixteen bytes at a time. Over a vector of bytes v[0..15] the first
// sum grows by their total and the second by 16 times the first sum before
// them plus v[j] weighted 16 - j; within a block the first sums before each
// vector are added up in `before` and multiplied by 16 once at its end.
QOV_PNG_SSE2_FN uint32_t PngAdlerSse2(uint32_t adler, const uint8_t* p, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i weightsFirst = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weightsLast = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    uint32_t s1 = adler & 0xFFFF, s2 = adler >> 16;
    while (n >= kAdlerVector) {
        const size_t block = (n < kAdlerBlock ? n : kAdlerBlock) / kAdlerVector * kAdlerVector;
        __m128i sums = zero, before = zero, weighted = zero;
        for (const uint8_t* end = p + block; p < end; p += kAdlerVector) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            before = _mm_add_epi32(before, sums);
            sums = _mm_add_epi32(sums, _mm_sad_epu8(v, zero));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weightsFirst));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weightsLast));
        }
        const uint64_t second = uint64_t(s2) + uint64_t(s1) * block + uint64_t(SumLanes(before)) * kAdlerVector +
                                SumLanes(weighted);
        s1 = (s1 + SumLanes(sums)) % kAdlerBase;
        s2 = uint32_t(second % kAdlerBase);
        n -= block;
    }
    for (size_t i = 0; i < n; i++) {
        s1 += p[i];
        s2 += s1;
    }
    return (s2 % kAdlerBase) << 16 | (s1 % kAdlerBase);
}

// The same 32 bytes a turn on processors with the byte multiply-add (asked
// once): the weights 32..1 of a turn's bytes multiplied and paired in one
// instruction per half, and the first sums before each turn counted once per
// turn. Blocks are whole turns.
constexpr size_t kAdlerTurn = 32;
constexpr size_t kAdlerTurnBlock = kAdlerBlock / kAdlerTurn * kAdlerTurn;

QOV_PNG_SSSE3_FN uint32_t PngAdlerSsse3(uint32_t adler, const uint8_t* p, size_t n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i weightsFirst = _mm_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17);
    const __m128i weightsLast = _mm_setr_epi8(16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    uint32_t s1 = adler & 0xFFFF, s2 = adler >> 16;
    while (n >= kAdlerTurn) {
        const size_t block = (n < kAdlerTurnBlock ? n : kAdlerTurnBlock) / kAdlerTurn * kAdlerTurn;
        __m128i sums = zero, before = zero, weighted = zero;
        for (const uint8_t* end = p + block; p < end; p += kAdlerTurn) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + kAdlerVector));
            before = _mm_add_epi32(before, sums);
            sums = _mm_add_epi32(sums, _mm_add_epi32(_mm_sad_epu8(v, zero), _mm_sad_epu8(w, zero)));
            // Each 16-bit pair sum is at most 255 x (32 + 31 + 16 + 15): no overflow.
            const __m128i pairs = _mm_add_epi16(_mm_maddubs_epi16(v, weightsFirst), _mm_maddubs_epi16(w, weightsLast));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(pairs, ones));
        }
        const uint64_t second = uint64_t(s2) + uint64_t(s1) * block + uint64_t(SumLanes(before)) * kAdlerTurn +
                                SumLanes(weighted);
        s1 = (s1 + SumLanes(sums)) % kAdlerBase;
        s2 = uint32_t(second % kAdlerBase);
        n -= block;
    }
    return PngAdlerSse2(s2 << 16 | s1, p, n);
}

// The chunk CRC 16 bytes a turn by carry-less multiplies, on processors that
// have them (asked once): the running 128 bits are folded onto the next 16
// bytes (multiplied by x^160 and x^96 modulo the CRC's polynomial, bit-reversed
// as the CRC is), which keeps their remainder; the CRC of the last 128 bits
// (zlib's, from a start of all ones, the start already folded in) is then that
// of everything before, and zlib's takes on the bytes after. Long runs go
// 64 bytes a turn in four such running values, each folded onto the bytes
// 64 further on (by x^544 and x^480): one fold's multiply waits for the one
// before, so a single running value left the processor idle most of the
// time. The four are then folded into one, 16 bytes apart as before.
constexpr size_t kCrcFoldBytes = 16;
constexpr size_t kCrcFoldLeast = 64;
constexpr size_t kCrcFoldLanes = 4;
constexpr size_t kCrcWideBytes = kCrcFoldLanes * kCrcFoldBytes;
constexpr long long kCrcFoldLow = 0x1751997d0;
constexpr long long kCrcFoldHigh = 0x0ccaa009e;
constexpr long long kCrcWideLow = 0x154442bd4;
constexpr long long kCrcWideHigh = 0x1c6e41596;

// x multiplied by the constants k (its low half by k's low, its high by k's
// high), ready to be added to the bytes it is folded onto.
QOV_PNG_PCLMUL_FN inline __m128i CrcFold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}
QOV_PNG_PCLMUL_FN inline __m128i CrcFoldOnto(__m128i x, __m128i k, const uint8_t* next) {
    return _mm_xor_si128(CrcFold(x, k), _mm_loadu_si128(reinterpret_cast<const __m128i*>(next)));
}

QOV_PNG_PCLMUL_FN uint32_t PngCrcFold(uint32_t crc, const uint8_t* p, size_t n) {
    const __m128i k = _mm_set_epi64x(kCrcFoldHigh, kCrcFoldLow);
    __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_cvtsi32_si128(int(~crc)));
    size_t i = kCrcFoldBytes;
    if (n >= kCrcWideBytes) {
        const __m128i wide = _mm_set_epi64x(kCrcWideHigh, kCrcWideLow);
        __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + kCrcFoldBytes));
        __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * kCrcFoldBytes));
        __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3 * kCrcFoldBytes));
        for (i = kCrcWideBytes; i + kCrcWideBytes <= n; i += kCrcWideBytes) {
            x = CrcFoldOnto(x, wide, p + i);
            x1 = CrcFoldOnto(x1, wide, p + i + kCrcFoldBytes);
            x2 = CrcFoldOnto(x2, wide, p + i + 2 * kCrcFoldBytes);
            x3 = CrcFoldOnto(x3, wide, p + i + 3 * kCrcFoldBytes);
        }
        // The four in turn, each folded onto the next as onto its bytes.
        x = _mm_xor_si128(CrcFold(x, k), x1);
        x = _mm_xor_si128(CrcFold(x, k), x2);
        x = _mm_xor_si128(CrcFold(x, k), x3);
    }
    for (; i + kCrcFoldBytes <= n; i += kCrcFoldBytes) x = CrcFoldOnto(x, k, p + i);
    uint8_t last[kCrcFoldBytes];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x);
    const uint32_t folded = uint32_t(crc32(0xFFFFFFFFu, last, kCrcFoldBytes));
    return uint32_t(crc32(folded, p + i, uInt(n - i)));
}

bool PngHasPclmul() {
    static const bool has = __builtin_cpu_supports("pclmul");
    return has && gDibVectorCap == kDibVectorAll;
}

}  // namespace
#endif

uint32_t PngAdlerUpdate(uint32_t adler, const uint8_t* data, size_t length) {
#if QOV_PNG_SSE2
    if (PngVectorsAllowed())
        return DibCpuHasSsse3() ? PngAdlerSsse3(adler, data, length) : PngAdlerSse2(adler, data, length);
#endif
    return uint32_t(adler32(adler, data, uInt(length)));
}

uint32_t PngCrcUpdate(uint32_t crc, const uint8_t* data, size_t length) {
#if QOV_PNG_SSE2
    if (length >= kCrcFoldLeast && PngHasPclmul()) return PngCrcFold(crc, data, length);
#endif
    return uint32_t(crc32(crc, data, uInt(length)));
}

uint32_t PngCrc(const uint8_t* data, size_t length) { return PngCrcUpdate(0, data, length); }

const DecodeRule& PngRule(int result) { return DecodeRuleOf(kPngRules, kPngResultCount, result); }

bool PngIsImage(const uint8_t* buffer, size_t length) {
    return buffer && length >= kSignatureSize && memcmp(buffer, kPngSignature, kSignatureSize) == 0;
}

int PngDecode(const uint8_t* data, size_t length, PngImage* out, PngHeader* headerOut, uint32_t background) {
    if (!data || !out || length == 0) return kPngBadArgument;
    if (!PngIsImage(data, length)) return kPngNoSignature;
    PngChunks c;
    int rc = PngScanChunks(data, length, &c);
    if (rc != kPngOk) return rc;
    const PngHeader& h = c.ihdr;

    PngRows p;
    memset(&p, 0, sizeof p);
    p.h = h;
    p.bitsPerPixel = Channels(h.colorType) * h.bitDepth;
    p.filterBpp = p.bitsPerPixel < 8 ? 1 : p.bitsPerPixel / 8;
    PngMakeDibHeader(c, out);
    p.outBytes = out->header.biBitCount / 8;

    // Sizes of the inflated data and of the DIB, in 64 bits against the cap.
    CheckedSize total(0);
    if (h.interlace) {
        for (int pass = 0; pass < 7; pass++) {
            uint64_t pw = PassExtent(h.width, kPassX0[pass], kPassDx[pass]);
            uint64_t ph = PassExtent(h.height, kPassY0[pass], kPassDy[pass]);
            if (!pw || !ph) continue;
            CheckedSize passBytes = PngImageBytes(pw, ph, p.bitsPerPixel);
            if (!passBytes.ok) total.ok = false;
            total.Add(passBytes.value);
        }
    } else {
        total = PngImageBytes(h.width, h.height, p.bitsPerPixel);
    }
    CheckedSize dibStride = DibStride(h.width, out->header.biBitCount);
    CheckedSize dibSize = dibStride;
    dibSize.Mul(h.height);
    CheckedSize rowBytes(h.width);
    rowBytes.Mul(p.bitsPerPixel).Add(7);
    if (!rowBytes.ok) return kPngBadFormat;
    if (!total.Fits(gImageByteCap) || !dibSize.Fits(gImageByteCap)) return kPngTooLarge;
    p.dibStride = dibStride.Size();
    out->header.biSizeImage = DWORD(dibSize.value);

    // Background: the caller's when forced, else bKGD, else the caller's, else white.
    uint32_t bg = 0xFFFFFF;
    if ((background & 0xFF000000) == kPngForceBackground || (!c.bkgd && background != kPngNoBackground)) {
        bg = background & 0xFFFFFF;
    } else if (c.bkgd) {
        // The sample's significant byte: the high one of a 16-bit image.
        int lo = h.bitDepth == 16 ? 0 : 1;
        bg = c.bkgd[lo] | (c.bkgd[2 + lo] << 8) | (uint32_t(c.bkgd[4 + lo]) << 16);
    }
    p.bgR = uint8_t(bg);
    p.bgG = uint8_t(bg >> 8);
    p.bgB = uint8_t(bg >> 16);
    if (c.trns && h.colorType == kRgb) {
        p.key = true;
        p.keyR = uint16_t((c.trns[0] << 8) | c.trns[1]);
        p.keyG = uint16_t((c.trns[2] << 8) | c.trns[3]);
        p.keyB = uint16_t((c.trns[4] << 8) | c.trns[5]);
    }
    BuildTwoBitSpread();

    // The rows pass through a window (see PngDecodeRows, PngDecodeInterlaced),
    // so the inflated image is never held beside the picture.
    const size_t rawStride = size_t(rowBytes.value / 8) + 1;
    const size_t rawBytes = PngWindowBytes(rawStride, total.Size());
    uint8_t* raw = static_cast<uint8_t*>(GuardedAlloc(rawBytes));
    p.dib = static_cast<uint8_t*>(LocalAllocRaw(dibSize.Size()));
    if (p.dib) PngClearRowEnds(p);
    uint8_t* zeroRow = static_cast<uint8_t*>(LocalAllocZero(rawStride));
    PngStream s;
    memset(&s, 0, sizeof s);
    s.data = data;
    s.length = length;
    s.pos = c.firstIdat;
    s.adler = kAdlerStart;
    if (!raw || !zeroRow || !p.dib) {
        rc = kPngNoMemory;
    } else if (inflateInit(&s.z) != Z_OK) {
        rc = kPngBadData;
    } else {
        // The check value is worked out here (PngInflateOnce), not by zlib.
        inflateValidate(&s.z, 0);
        rc = h.interlace ? PngDecodeInterlaced(p, &s, raw, rawBytes, total.Size(), zeroRow)
                         : PngDecodeRows(p, &s, raw, rawBytes, total.Size(), zeroRow);
        if (rc == kPngOk) rc = PngFinishStream(&s);
        inflateEnd(&s.z);
    }
    GuardedFree(raw);
    LocalFreeMem(zeroRow);
    if (rc != kPngOk) {
        LocalFreeMem(p.dib);
        return rc;
    }
    out->bits = p.dib;
    if (headerOut) *headerOut = h;
    return kPngOk;
}

int PngLoad(uint32_t background) {
    ImageDecodeState& st = gImageDecodeState;
    PngImage img;
    memset(&img, 0, sizeof img);
    int rc = PngDecode(st.sourcePos, st.sourceSize, &img, nullptr, background);
    return ImageAdoptDecoded(PngRule(rc), &img);
}
