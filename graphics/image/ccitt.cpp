// ccitt.cpp - modified Huffman and Group 4 decoding of bilevel strips. The
// run-length codes are the terminating (0-63), make-up (64-1728) and extended
// make-up (1792-2560) codes of ITU-T T.4, written here as bit strings; the
// caller builds its own 13-bit lookup tables from them.
#include "graphics/image/ccitt.h"

#include <cstring>

#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

struct RunCode {
    uint16_t run;
    const char* bits;
};

const RunCode kWhiteCodes[] = {
    // Terminating codes.
    {0, "00110101"}, {1, "000111"}, {2, "0111"}, {3, "1000"}, {4, "1011"}, {5, "1100"},
    {6, "1110"}, {7, "1111"}, {8, "10011"}, {9, "10100"}, {10, "00111"}, {11, "01000"},
    {12, "001000"}, {13, "000011"}, {14, "110100"}, {15, "110101"}, {16, "101010"},
    {17, "101011"}, {18, "0100111"}, {19, "0001100"}, {20, "0001000"}, {21, "0010111"},
    {22, "0000011"}, {23, "0000100"}, {24, "0101000"}, {25, "0101011"}, {26, "0010011"},
    {27, "0100100"}, {28, "0011000"}, {29, "00000010"}, {30, "00000011"}, {31, "00011010"},
    {32, "00011011"}, {33, "00010010"}, {34, "00010011"}, {35, "00010100"}, {36, "00010101"},
    {37, "00010110"}, {38, "00010111"}, {39, "00101000"}, {40, "00101001"}, {41, "00101010"},
    {42, "00101011"}, {43, "00101100"}, {44, "00101101"}, {45, "00000100"}, {46, "00000101"},
    {47, "00001010"}, {48, "00001011"}, {49, "01010010"}, {50, "01010011"}, {51, "01010100"},
    {52, "01010101"}, {53, "00100100"}, {54, "00100101"}, {55, "01011000"}, {56, "01011001"},
    {57, "01011010"}, {58, "01011011"}, {59, "01001010"}, {60, "01001011"}, {61, "00110010"},
    {62, "00110011"}, {63, "00110100"},
    // Make-up codes.
    {64, "11011"}, {128, "10010"}, {192, "010111"}, {256, "0110111"}, {320, "00110110"},
    {384, "00110111"}, {448, "01100100"}, {512, "01100101"}, {576, "01101000"},
    {640, "01100111"}, {704, "011001100"}, {768, "011001101"}, {832, "011010010"},
    {896, "011010011"}, {960, "011010100"}, {1024, "011010101"}, {1088, "011010110"},
    {1152, "011010111"}, {1216, "011011000"}, {1280, "011011001"}, {1344, "011011010"},
    {1408, "011011011"}, {1472, "010011000"}, {1536, "010011001"}, {1600, "010011010"},
    {1664, "011000"}, {1728, "010011011"},
};

const RunCode kBlackCodes[] = {
    // Terminating codes.
    {0, "0000110111"}, {1, "010"}, {2, "11"}, {3, "10"}, {4, "011"}, {5, "0011"},
    {6, "0010"}, {7, "00011"}, {8, "000101"}, {9, "000100"}, {10, "0000100"},
    {11, "0000101"}, {12, "0000111"}, {13, "00000100"}, {14, "00000111"}, {15, "000011000"},
    {16, "0000010111"}, {17, "0000011000"}, {18, "0000001000"}, {19, "00001100111"},
    {20, "00001101000"}, {21, "00001101100"}, {22, "00000110111"}, {23, "00000101000"},
    {24, "00000010111"}, {25, "00000011000"}, {26, "000011001010"}, {27, "000011001011"},
    {28, "000011001100"}, {29, "000011001101"}, {30, "000001101000"}, {31, "000001101001"},
    {32, "000001101010"}, {33, "000001101011"}, {34, "000011010010"}, {35, "000011010011"},
    {36, "000011010100"}, {37, "000011010101"}, {38, "000011010110"}, {39, "000011010111"},
    {40, "000001101100"}, {41, "000001101101"}, {42, "000011011010"}, {43, "000011011011"},
    {44, "000001010100"}, {45, "000001010101"}, {46, "000001010110"}, {47, "000001010111"},
    {48, "000001100100"}, {49, "000001100101"}, {50, "000001010010"}, {51, "000001010011"},
    {52, "000000100100"}, {53, "000000110111"}, {54, "000000111000"}, {55, "000000100111"},
    {56, "000000101000"}, {57, "000001011000"}, {58, "000001011001"}, {59, "000000101011"},
    {60, "000000101100"}, {61, "000001011010"}, {62, "000001100110"}, {63, "000001100111"},
    // Make-up codes.
    {64, "0000001111"}, {128, "000011001000"}, {192, "000011001001"}, {256, "000001011011"},
    {320, "000000110011"}, {384, "000000110100"}, {448, "000000110101"},
    {512, "0000001101100"}, {576, "0000001101101"}, {640, "0000001001010"},
    {704, "0000001001011"}, {768, "0000001001100"}, {832, "0000001001101"},
    {896, "0000001110010"}, {960, "0000001110011"}, {1024, "0000001110100"},
    {1088, "0000001110101"}, {1152, "0000001110110"}, {1216, "0000001110111"},
    {1280, "0000001010010"}, {1344, "0000001010011"}, {1408, "0000001010100"},
    {1472, "0000001010101"}, {1536, "0000001011010"}, {1600, "0000001011011"},
    {1664, "0000001100100"}, {1728, "0000001100101"},
};

// Extended make-up codes, shared by both colours.
const RunCode kExtendedCodes[] = {
    {1792, "00000001000"}, {1856, "00000001100"}, {1920, "00000001101"},
    {1984, "000000010010"}, {2048, "000000010011"}, {2112, "000000010100"},
    {2176, "000000010101"}, {2240, "000000010110"}, {2304, "000000010111"},
    {2368, "000000011100"}, {2432, "000000011101"}, {2496, "000000011110"},
    {2560, "000000011111"},
};

// Two-dimensional mode codes of T.6.
enum CcittMode { kModeNone, kModePass, kModeHorizontal, kModeVertical, kModeExtension };
struct ModeCode {
    uint8_t mode;
    int8_t delta;   // b1 to a1 for the vertical modes
    const char* bits;
};
const ModeCode kModeCodes[] = {
    {kModePass, 0, "0001"},        {kModeHorizontal, 0, "001"},
    {kModeVertical, 0, "1"},       {kModeVertical, 1, "011"},
    {kModeVertical, 2, "000011"},  {kModeVertical, 3, "0000011"},
    {kModeVertical, -1, "010"},    {kModeVertical, -2, "000010"},
    {kModeVertical, -3, "0000010"}, {kModeExtension, 0, "0000001"},
};

constexpr int kLookupBits = 13;  // the longest run-length code
constexpr uint32_t kLookupSize = 1u << kLookupBits;
constexpr int kModeBits = 7;     // the longest mode code
constexpr uint32_t kModeSize = 1u << kModeBits;
constexpr uint16_t kFirstMakeUp = 64;
constexpr int kWhite = 0;
constexpr int kBlack = 1;

}  // namespace

struct CcittLookupEntry {
    uint16_t run;
    uint8_t length;  // 0: no code starts with these bits
};
struct CcittModeEntry {
    uint8_t mode;
    int8_t delta;
    uint8_t length;
};

// Every 13-bit (7-bit) prefix gives the code that begins it.
struct CcittTables {
    CcittLookupEntry runs[2][kLookupSize];
    CcittModeEntry modes[kModeSize];
};

namespace {

using LookupEntry = CcittLookupEntry;
using ModeEntry = CcittModeEntry;

void FillRun(LookupEntry* table, const RunCode& c) {
    uint32_t len = uint32_t(strlen(c.bits)), code = 0;
    for (uint32_t i = 0; i < len; i++) code = code << 1 | uint32_t(c.bits[i] == '1');
    uint32_t first = code << (kLookupBits - len), count = 1u << (kLookupBits - len);
    for (uint32_t i = 0; i < count; i++) table[first + i] = {c.run, uint8_t(len)};
}

void BuildTables(CcittTables* t) {
    memset(t, 0, sizeof *t);
    for (const RunCode& c : kWhiteCodes) FillRun(t->runs[kWhite], c);
    for (const RunCode& c : kBlackCodes) FillRun(t->runs[kBlack], c);
    for (const RunCode& c : kExtendedCodes) {
        FillRun(t->runs[kWhite], c);
        FillRun(t->runs[kBlack], c);
    }
    for (const ModeCode& m : kModeCodes) {
        uint32_t len = uint32_t(strlen(m.bits)), code = 0;
        for (uint32_t i = 0; i < len; i++) code = code << 1 | uint32_t(m.bits[i] == '1');
        uint32_t first = code << (kModeBits - len), count = 1u << (kModeBits - len);
        for (uint32_t i = 0; i < count; i++) t->modes[first + i] = {m.mode, m.delta, uint8_t(len)};
    }
}

uint8_t gReversed[256];

const uint8_t* ReverseTable() {
    if (!gReversed[1]) {
        for (int v = 0; v < 256; v++) {
            int r = 0;
            for (int b = 0; b < 8; b++) r |= ((v >> b) & 1) << (7 - b);
            gReversed[v] = uint8_t(r);
        }
    }
    return gReversed;
}

// Reads a strip bit by bit, most significant first, with the bytes reversed
// beforehand when the strip is stored least significant first. Past the end it
// reads zeros and remembers that it went there.
struct BitReader {
    const uint8_t* data;
    size_t length;
    size_t next;        // next byte to load
    uint64_t acc;       // pending bits, left-aligned
    int pending;
    uint64_t used;      // bits consumed
    const uint8_t* reverse;

    uint32_t Peek(int n) {
        while (pending <= 56) {
            uint8_t b = next < length ? data[next] : 0;
            if (reverse) b = reverse[b];
            next++;
            acc |= uint64_t(b) << (56 - pending);
            pending += 8;
        }
        return uint32_t(acc >> (64 - n));
    }
    void Skip(int n) {
        acc <<= n;
        pending -= n;
        used += uint64_t(n);
    }
    bool Overrun() const { return used > uint64_t(length) * 8; }
    // Fewer than n bits of the strip are left: a code that does not match
    // may be the zeros read past its end.
    bool NearEnd(int n) const { return used + uint64_t(n) > uint64_t(length) * 8; }
    void AlignToByte() {
        int extra = int(used % 8);
        if (extra) {
            Peek(8);
            Skip(8 - extra);
        }
    }
};

void InitReader(BitReader* br, const uint8_t* data, size_t length, bool msbFirst) {
    memset(br, 0, sizeof *br);
    br->data = data;
    br->length = data ? length : 0;
    br->reverse = msbFirst ? nullptr : ReverseTable();
}

// Sets the pixels [from, to) of a row to 1.
void FillBlack(uint8_t* row, uint32_t from, uint32_t to) {
    if (from >= to) return;
    uint32_t first = from >> 3, last = (to - 1) >> 3;
    uint8_t head = uint8_t(0xFF >> (from & 7)), tail = uint8_t(0xFF << (7 - ((to - 1) & 7)));
    if (first == last) {
        row[first] |= uint8_t(head & tail);
        return;
    }
    row[first] |= head;
    if (last > first + 1) memset(row + first + 1, 0xFF, last - first - 1);
    row[last] |= tail;
}

// One run: make-up codes add up until a terminating code ends it. Runs longer
// than `limit` are refused before they can grow further.
int ReadRun(BitReader* br, const LookupEntry* table, uint32_t limit, uint32_t* run) {
    uint32_t total = 0;
    for (;;) {
        const LookupEntry& e = table[br->Peek(kLookupBits)];
        if (e.length == 0) return br->NearEnd(kLookupBits) ? kCcittShortData : kCcittBadCode;
        br->Skip(e.length);
        if (br->Overrun()) return kCcittShortData;
        total += e.run;
        if (total > limit) return kCcittRunPastRow;
        if (e.run < kFirstMakeUp) break;
    }
    *run = total;
    return kCcittOk;
}

bool OutputFits(size_t outSize, size_t bytesPerRow, uint32_t rows) {
    CheckedSize need(bytesPerRow);
    need.Mul(rows);
    return need.ok && need.value <= outSize;
}

int Fax2dRow(BitReader* br, const CcittTables& t, uint32_t width, const uint32_t* ref, uint32_t* cur,
             size_t capacity, uint8_t* row) {
    int64_t a0 = -1;
    int color = kWhite;
    size_t refIdx = 0, n = 0;
    while (a0 < int64_t(width)) {
        // b1: the first change of the reference line right of a0 to the
        // colour opposite a0's; changes at even places turn white to black.
        while (refIdx > 0 && int64_t(ref[refIdx - 1]) > a0) refIdx--;
        while (int64_t(ref[refIdx]) <= a0) refIdx++;
        if ((refIdx & 1) != size_t(color)) refIdx++;
        const uint32_t b1 = ref[refIdx], b2 = ref[refIdx + 1];
        const uint32_t start = a0 < 0 ? 0 : uint32_t(a0);

        // Zero-length horizontal runs add changes without moving a0: keep
        // room for this step's two and the end marks.
        if (n + 5 > capacity) return kCcittRunPastRow;
        const ModeEntry& m = t.modes[br->Peek(kModeBits)];
        if (m.length == 0) return br->NearEnd(kModeBits) ? kCcittShortData : kCcittBadCode;
        br->Skip(m.length);
        if (br->Overrun()) return kCcittShortData;
        switch (m.mode) {
        case kModePass:
            if (color == kBlack) FillBlack(row, start, b2);
            a0 = b2;
            break;
        case kModeHorizontal: {
            uint32_t run1, run2;
            int rc = ReadRun(br, t.runs[color], width - start, &run1);
            if (rc != kCcittOk) return rc;
            rc = ReadRun(br, t.runs[color ^ 1], width - start - run1, &run2);
            if (rc != kCcittOk) return rc;
            const uint32_t a1 = start + run1, a2 = a1 + run2;
            FillBlack(row, color == kBlack ? start : a1, color == kBlack ? a1 : a2);
            cur[n++] = a1;
            cur[n++] = a2;
            a0 = a2;
            break;
        }
        case kModeVertical: {
            const int64_t a1 = int64_t(b1) + m.delta;
            // a1 lies at 0 or beyond and not left of a0; fax encoders send
            // a1 on a0 itself (a run of length 0) after the row's first change.
            if (a1 < 0 || a1 > int64_t(width) || a1 < a0) return kCcittRunPastRow;
            if (color == kBlack) FillBlack(row, start, uint32_t(a1));
            cur[n++] = uint32_t(a1);
            a0 = a1;
            color ^= 1;
            break;
        }
        default:
            return kCcittExtension;
        }
    }
    // End marks stand in for the changes past the row: b1 may lie one place
    // past the last change and b2 one further.
    cur[n] = cur[n + 1] = cur[n + 2] = width;
    return kCcittOk;
}

}  // namespace

CcittTables* CcittTablesNew() {
    auto* t = static_cast<CcittTables*>(GuardedAlloc(sizeof(CcittTables)));
    if (t) BuildTables(t);
    return t;
}

void CcittTablesFree(CcittTables* tables) { GuardedFree(tables); }

void CcittReverseBits(uint8_t* data, size_t length) {
    const uint8_t* rev = ReverseTable();
    for (size_t i = 0; i < length; i++) data[i] = rev[data[i]];
}

int CcittMhDecode(const CcittTables& tables, const uint8_t* data, size_t length, uint8_t* out, size_t outSize,
                  size_t bytesPerRow, uint32_t rows, uint32_t width, bool msbFirst) {
    if (width == 0 || bytesPerRow < (size_t(width) + 7) / 8 || !OutputFits(outSize, bytesPerRow, rows))
        return kCcittBadArgument;
    BitReader br;
    InitReader(&br, data, length, msbFirst);
    int rc = kCcittOk;
    for (uint32_t y = 0; y < rows && rc == kCcittOk; y++) {
        uint8_t* row = out + size_t(y) * bytesPerRow;
        memset(row, 0, bytesPerRow);
        uint32_t pos = 0;
        int color = kWhite;
        // Each row starts on a byte and with a white run; runs alternate
        // until the row is full.
        while (rc == kCcittOk) {
            uint32_t run;
            rc = ReadRun(&br, tables.runs[color], width - pos, &run);
            if (rc != kCcittOk) break;
            if (color == kBlack) FillBlack(row, pos, pos + run);
            pos += run;
            color ^= 1;
            if (pos == width) break;
        }
        br.AlignToByte();
    }
    return rc;
}

int CcittFax2dDecode(const CcittTables& tables, const uint8_t* data, size_t length, uint8_t* out, size_t outSize,
                     uint32_t width, uint32_t rows, bool msbFirst) {
    const size_t bytesPerRow = (size_t(width) + 7) / 8;
    if (width == 0 || width > kCcittMaxWidth || !OutputFits(outSize, bytesPerRow, rows)) return kCcittBadArgument;
    // A row has at most width + 1 changes and three end marks; the rest is
    // room for zero-length horizontal runs.
    const size_t changes = size_t(width) * 2 + 8;
    auto* lists = static_cast<uint32_t*>(GuardedAlloc(changes * 2 * sizeof(uint32_t)));
    if (!lists) return kCcittNoMemory;
    uint32_t* ref = lists;
    uint32_t* cur = lists + changes;
    // The line above the first one is all white.
    for (size_t i = 0; i < changes; i++) ref[i] = cur[i] = width;
    BitReader br;
    InitReader(&br, data, length, msbFirst);
    int rc = kCcittOk;
    for (uint32_t y = 0; y < rows && rc == kCcittOk; y++) {
        uint8_t* row = out + size_t(y) * bytesPerRow;
        memset(row, 0, bytesPerRow);
        rc = Fax2dRow(&br, tables, width, ref, cur, changes, row);
        uint32_t* swap = ref;
        ref = cur;
        cur = swap;
    }
    GuardedFree(lists);
    return rc;
}
