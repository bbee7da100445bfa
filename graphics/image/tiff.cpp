// tiff.cpp - the TIFF reader: walks the directory chain (counting the pages and
// refusing a chain that loops), keeps the tags of the page asked for as
// references into the file, checks them, then decodes strip after strip
// (uncompressed, modified Huffman, Group 4, LZW, PackBits) into a strip buffer
// and copies its rows into a bottom-up DIB, or, when picture and strip buffer
// together would pass the cap, decodes the strips into the picture's own block.
// Every byte of the file is read through ByteReader and every block is sized
// with CheckedSize against the cap.
#include "graphics/image/tiff.h"

#include <algorithm>
#include <cstring>

#include "graphics/image/ccitt.h"
#include "graphics/image/dibutil.h"
#include "graphics/image/imagecore.h"
#include "graphics/image/imageload.h"
#include "graphics/image/jpeg.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

enum TiffTag {
    kTagImageWidth = 256,
    kTagImageLength = 257,
    kTagBitsPerSample = 258,
    kTagCompression = 259,
    kTagPhotometric = 262,
    kTagFillOrder = 266,
    kTagStripOffsets = 273,
    kTagSamplesPerPixel = 277,
    kTagRowsPerStrip = 278,
    kTagStripByteCounts = 279,
    kTagPlanarConfiguration = 284,
    kTagPredictor = 317,
    kTagColorMap = 320,
    kTagJpegInterchange = 513,
    kTagJpegInterchangeLength = 514,
};

enum TiffFieldType { kTypeByte = 1, kTypeShort = 3, kTypeLong = 4 };

enum TiffCompression {
    kCompNone = 1,
    kCompMh = 2,
    kCompG4 = 4,
    kCompLzw = 5,
    kCompOldJpeg = 6,
    kCompPackBits = 32773,
};

enum TiffPhotometric { kWhiteIsZero = 0, kBlackIsZero = 1, kPhotoRgb = 2, kPhotoPalette = 3 };
enum TiffFillOrder { kMsbFirst = 1, kLsbFirst = 2 };
enum TiffPlanar { kChunky = 1, kPlanar = 2 };
constexpr uint32_t kPredictorHorizontal = 2;

constexpr uint16_t kTiffMagic = 42;
constexpr uint32_t kUnset = 0xFFFFFFFF;
constexpr uint32_t kDefaultRowsPerStrip = 0x7FFFFFFF;
constexpr size_t kHeaderSize = 8;
constexpr size_t kEntrySize = 12;
constexpr size_t kMinDirectorySize = 6;  // entry count and next offset
// Room behind a strip's rows: LZW copies short strings 16 bytes at a time.
constexpr size_t kStripSlack = 16;
constexpr size_t kLzwChunk = 16;
constexpr uint32_t kRgbSamples = 3;
constexpr uint32_t kRgbBits = 8;
constexpr uint32_t kColorMapDivisor = 257;
constexpr size_t kJfifTagAt = 6;

// LZW as TIFF writes it: most significant bit first, early width change.
constexpr uint32_t kLzwClear = 256;
constexpr uint32_t kLzwEnd = 257;
constexpr uint32_t kLzwFirstFree = 258;
constexpr uint32_t kLzwTableSize = 4096;
constexpr int kLzwMinWidth = 9;
constexpr int kLzwMaxWidth = 12;
// Writers before 1991 packed LZW codes least significant bit first: their
// strips open with a Clear code that reads as a zero byte followed by a byte
// whose lowest bit is set. Their widths grow one code later.
constexpr uint32_t kLzwOldStyleLate = 1;
// The most a strip's bytes can yield, checked before any block is taken: an
// LZW code of at least 9 bits gives at most a whole table's string, a
// PackBits pair at most 128 bytes, a fax bit at most one row.
constexpr uint64_t kLzwMaxString = kLzwTableSize;
constexpr uint64_t kPackBitsMaxRun = 128;
constexpr uint64_t kPackBitsPair = 2;

const DecodeRule kTiffRules[kTiffResultCount] = {
    {kImgOk, "decoded"},
    {kImgInvalid, "no TIFF header, or the first directory outside the file"},
    {kImgInvalid, "the page is not in the directory chain"},
    {kImgInvalid, "the directory chain loops"},
    {kImgInvalid, "a directory or its values pass the end of the file"},
    {kImgInvalid, "no BitsPerSample"},
    {kImgInvalid, "samples of unequal or missing sizes"},
    {kImgInvalid, "an unsupported compression"},
    {kImgInvalid, "no StripOffsets"},
    {kImgInvalid, "several strips without StripByteCounts"},
    {kImgInvalid, "fewer strip offsets or byte counts than strips"},
    {kImgInvalid, "old-style JPEG without JPEGInterchangeFormat"},
    {kImgInvalid, "JPEG data outside the file"},
    {kImgInvalid, "old-style JPEG data that is not JFIF"},
    {kImgInvalid, "the JFIF stream does not decode"},
    {kImgInvalid, "an unsupported PlanarConfiguration"},
    {kImgInvalid, "an unsupported FillOrder"},
    {kImgInvalid, "no width or length, or a zero one"},
    {kImgInvalid, "RowsPerStrip 0"},
    {kImgInvalid, "an unsupported sample count"},
    {kImgInvalid, "three samples that are not 8-bit RGB"},
    {kImgInvalid, "an unsupported BitsPerSample"},
    {kImgInvalid, "an unsupported or missing PhotometricInterpretation"},
    {kImgInvalid, "a ColorMap shorter than its colours"},
    {kImgInvalid, "fax compression of more than one bit per pixel"},
    {kImgInvalid, "Group 4 rows wider than 65535 pixels"},
    {kImgNoMemory, kImageCeilingReason},
    {kImgInvalid, "a strip passes the end of the file"},
    {kImgInvalid, "a PackBits run passes the strip"},
    {kImgInvalid, "PackBits data ends before its strip"},
    {kImgInvalid, "a fax code that does not exist"},
    {kImgInvalid, "a fax run passes the row"},
    {kImgInvalid, "fax data ends before its rows"},
    {kImgInvalid, "a fax extension code"},
    {kImgInvalid, "the strip data cannot fill the picture"},
    {kImgNoMemory, "out of memory"},
    {kImgInvalid, "old-style JPEG strips that overlap"},
};

// A tag's values: where they lie in the file (inline or at their offset), or
// one fixed value for a default.
struct TiffArray {
    bool present;
    uint16_t type;
    uint32_t count;
    size_t offset;
    bool fixed;
    uint32_t fixedValue;
};

struct TiffReader {
    explicit TiffReader(const uint8_t* d, size_t n) : r(d, n) {}
    ByteReader r;
    bool bigEndian = false;
    bool overrun = false;
    uint32_t pageCount = 0;
    uint32_t width = kUnset;
    uint32_t length = kUnset;
    TiffArray bitsPerSample = {true, kTypeShort, 1, 0, true, 1};
    uint32_t compression = kCompNone;
    uint32_t photometric = kUnset;
    uint32_t fillOrder = kMsbFirst;
    TiffArray stripOffsets = {};
    uint32_t samples = 1;
    uint32_t rowsPerStrip = kDefaultRowsPerStrip;
    TiffArray stripByteCounts = {};
    uint32_t planar = kChunky;
    uint32_t predictor = 1;
    TiffArray colorMap = {};
    uint32_t jpegOffset = 0;
    uint32_t jpegLength = 0;
    // Worked out from the tags.
    uint32_t bits = 1;
    size_t bytesPerRow = 0;
    uint32_t stripCount = 0;
    size_t singleByteCount = 0;   // the one strip's byte count when the file gives none
    uint8_t* strip = nullptr;
    size_t stripSize = 0;
    CcittTables* fax = nullptr;   // built at the first fax strip
    int64_t currentStrip = -1;
    uint8_t* shape = nullptr;     // one file row and one DIB row while rows move
};

bool Read16(const TiffReader& t, size_t off, uint32_t* v) {
    uint16_t x;
    if (!(t.bigEndian ? t.r.U16BeAt(off, &x) : t.r.U16At(off, &x))) return false;
    *v = x;
    return true;
}

bool Read32(const TiffReader& t, size_t off, uint32_t* v) {
    return t.bigEndian ? t.r.U32BeAt(off, v) : t.r.U32At(off, v);
}

uint32_t TypeSize(uint32_t type) {
    switch (type) {
    case kTypeByte: return 1;
    case kTypeShort: return 2;
    case kTypeLong: return 4;
    default: return 0;
    }
}

// Values that fit in the entry's four value bytes are stored there, the
// others at the offset those bytes give. A type other than BYTE, SHORT and
// LONG gives no values.
TiffArray ReadArray(TiffReader* t, size_t entry, uint32_t type, uint32_t count) {
    TiffArray a = {};
    const uint32_t size = TypeSize(type);
    if (size == 0 || count == 0) return a;
    const uint64_t bytes = uint64_t(size) * count;
    size_t at = entry + 8;
    if (bytes > 4) {
        uint32_t off;
        if (!Read32(*t, entry + 8, &off)) off = 0;
        at = off;
    }
    if (!t->r.Has(at, size_t(bytes)) || bytes > t->r.Length()) {
        t->overrun = true;
        return a;
    }
    a.present = true;
    a.type = uint16_t(type);
    a.count = count;
    a.offset = at;
    return a;
}

bool ArrayAt(const TiffReader& t, const TiffArray& a, uint32_t i, uint32_t* v) {
    if (!a.present || i >= a.count) return false;
    if (a.fixed) {
        *v = a.fixedValue;
        return true;
    }
    const size_t at = a.offset + size_t(i) * TypeSize(a.type);
    if (a.type == kTypeByte) {
        uint8_t b;
        if (!t.r.U8At(at, &b)) return false;
        *v = b;
        return true;
    }
    return a.type == kTypeShort ? Read16(t, at, v) : Read32(t, at, v);
}

uint32_t SingleValue(TiffReader* t, size_t entry, uint32_t type, uint32_t count) {
    uint32_t v = 0;
    TiffArray a = ReadArray(t, entry, type, count);
    ArrayAt(*t, a, 0, &v);
    return v;
}

// The offset of the directory after the one at `at`; false when the
// directory does not fit in the file.
bool NextDirectory(const TiffReader& t, size_t at, uint32_t* next) {
    uint32_t entries;
    if (!Read16(t, at, &entries)) return false;
    return Read32(t, at + 2 + size_t(entries) * kEntrySize, next);
}

void StoreTag(TiffReader* t, size_t entry, uint32_t tag, uint32_t type, uint32_t count) {
    switch (tag) {
    case kTagImageWidth: t->width = SingleValue(t, entry, type, count); break;
    case kTagImageLength: t->length = SingleValue(t, entry, type, count); break;
    case kTagBitsPerSample: t->bitsPerSample = ReadArray(t, entry, type, count); break;
    case kTagCompression: t->compression = SingleValue(t, entry, type, count); break;
    case kTagPhotometric: t->photometric = SingleValue(t, entry, type, count); break;
    case kTagFillOrder: t->fillOrder = SingleValue(t, entry, type, count); break;
    case kTagStripOffsets: t->stripOffsets = ReadArray(t, entry, type, count); break;
    case kTagSamplesPerPixel: t->samples = SingleValue(t, entry, type, count); break;
    case kTagRowsPerStrip: t->rowsPerStrip = SingleValue(t, entry, type, count); break;
    case kTagStripByteCounts: t->stripByteCounts = ReadArray(t, entry, type, count); break;
    case kTagPlanarConfiguration: t->planar = SingleValue(t, entry, type, count); break;
    case kTagPredictor: t->predictor = SingleValue(t, entry, type, count); break;
    case kTagColorMap: t->colorMap = ReadArray(t, entry, type, count); break;
    case kTagJpegInterchange: t->jpegOffset = SingleValue(t, entry, type, count); break;
    case kTagJpegInterchangeLength: t->jpegLength = SingleValue(t, entry, type, count); break;
    default: break;
    }
}

// Header, page count, and the tags of the page's directory.
int TiffOpen(TiffReader* t, uint16_t page) {
    const uint8_t* h = t->r.PtrAt(0, kHeaderSize);
    if (!h) return kTiffNoHeader;
    if (h[0] == 'M' && h[1] == 'M') t->bigEndian = true;
    else if (!(h[0] == 'I' && h[1] == 'I')) return kTiffNoHeader;
    uint32_t magic, first;
    Read16(*t, 2, &magic);
    Read32(*t, 4, &first);
    if (magic != kTiffMagic || !t->r.Has(first, 2)) return kTiffNoHeader;

    // A chain of distinct directories of at least six bytes each cannot be
    // longer than this; a longer one loops.
    const uint64_t maxPages = t->r.Length() / kMinDirectorySize + 1;
    uint32_t count = 1, next;
    for (size_t at = first; NextDirectory(*t, at, &next) && next != 0 && t->r.Has(next, 2); at = next) {
        if (++count > maxPages) return kTiffDirectoryCycle;
    }
    t->pageCount = count;

    size_t at = first;
    for (uint32_t p = 1; p < page; p++) {
        if (!NextDirectory(*t, at, &next) || next == 0 || !t->r.Has(next, 2)) return kTiffNoPage;
        at = next;
    }
    uint32_t entries;
    Read16(*t, at, &entries);
    for (uint32_t i = 0; i < entries; i++) {
        const size_t e = at + 2 + size_t(i) * kEntrySize;
        uint32_t tag, type, n;
        if (!Read16(*t, e, &tag) || !Read16(*t, e + 2, &type) || !Read32(*t, e + 4, &n) || !t->r.Has(e, kEntrySize))
            return kTiffShortDirectory;
        StoreTag(t, e, tag, type, n);
    }
    return kTiffOk;
}

// Checks the sample sizes and the strip arrays that every compression needs.
int TiffCheckLayout(TiffReader* t) {
    if (t->overrun) return kTiffShortDirectory;
    if (!t->bitsPerSample.present) return kTiffNoBitsPerSample;
    if (t->samples > 1 && t->bitsPerSample.count < t->samples) return kTiffUnequalBits;
    ArrayAt(*t, t->bitsPerSample, 0, &t->bits);
    for (uint32_t i = 1; i < t->samples && i < t->bitsPerSample.count; i++) {
        uint32_t b;
        if (!ArrayAt(*t, t->bitsPerSample, i, &b) || b != t->bits) return kTiffUnequalBits;
    }
    switch (t->compression) {
    case kCompNone: case kCompMh: case kCompG4: case kCompLzw: case kCompOldJpeg: case kCompPackBits: break;
    default: return kTiffBadCompression;
    }
    if (!t->stripOffsets.present) return kTiffNoStripOffsets;
    if (t->width == kUnset || t->length == kUnset || t->width == 0 || t->length == 0) return kTiffNoSize;
    if (t->rowsPerStrip == 0) return kTiffZeroRowsPerStrip;
    if (t->rowsPerStrip > t->length) t->rowsPerStrip = t->length;
    t->stripCount = uint32_t((uint64_t(t->length) + t->rowsPerStrip - 1) / t->rowsPerStrip);
    if (t->stripOffsets.count < t->stripCount) return kTiffShortStripArrays;
    if (t->stripByteCounts.present && t->stripByteCounts.count < t->stripCount) return kTiffShortStripArrays;
    if (!t->stripByteCounts.present && t->compression != kCompNone) {
        if (t->stripCount > 1) return kTiffNoByteCounts;
        uint32_t off = 0;
        ArrayAt(*t, t->stripOffsets, 0, &off);
        if (off > t->r.Length()) return kTiffStripOutside;
        t->singleByteCount = t->r.Length() - off;
    }
    return kTiffOk;
}

// The JPEG core decodes the joined JFIF stream straight into *out; heldBytes
// is the joined block, which the picture and the library's memory share the
// ceiling with.
int TiffDecodeJfif(const uint8_t* jfif, size_t length, uint64_t heldBytes, DecodedImage* out) {
    const int rc = JpegDecodeBuffer(jfif, length, out, heldBytes);
    if (rc == kJpegOk) return kTiffOk;
    if (rc == kJpegTooLarge || rc == kJpegLibraryMemory) return kTiffTooLarge;
    return JpegRule(rc).loaderCode == kImgNoMemory ? kTiffNoMemory : kTiffJpegFailed;
}

// One strip's bytes in the file, [start, end), and where they go in the
// joined block.
struct TiffByteRange {
    size_t start;
    size_t end;
    size_t at;
};

bool TiffRangeStartsBefore(const TiffByteRange& a, const TiffByteRange& b) { return a.start < b.start; }

// The strips of an old-style JPEG image in one pass: each strip with bytes,
// inside the file, with its place in the joined block after the interchange
// data (*ranges, *count in strip order, a block the caller frees); *joined
// the block's size (the interchange data, every strip, one byte more) summed
// in 64 bits. Answers kTiffOk or the refusal.
int TiffCollectStrips(const TiffReader& t, TiffByteRange** ranges, size_t* count, CheckedSize* joined) {
    *ranges = nullptr;
    *count = 0;
    CheckedSize listSize(t.stripCount);
    listSize.Mul(sizeof(TiffByteRange));
    if (!listSize.Fits(gImageByteCap)) return kTiffTooLarge;
    auto* list = static_cast<TiffByteRange*>(GuardedAlloc(listSize.Size()));
    if (!list) return kTiffNoMemory;
    *joined = CheckedSize(t.jpegLength);
    size_t n = 0;
    for (uint32_t s = 0; s < t.stripCount; s++) {
        uint32_t off = 0, bytes = 0;
        ArrayAt(t, t.stripOffsets, s, &off);
        ArrayAt(t, t.stripByteCounts, s, &bytes);
        if (!t.r.Has(off, bytes)) {
            GuardedFree(list);
            return kTiffJpegOutside;
        }
        if (bytes) list[n++] = {off, size_t(off) + bytes, size_t(joined->value)};
        joined->Add(bytes);
    }
    joined->Add(1);
    *ranges = list;
    *count = n;
    return kTiffOk;
}

// Whether two strips share any bytes: sorted by their start, each must end
// before the next begins. Strips that all name the same bytes would join
// into a block many times the file. The ranges keep their places in the
// block, so the sort loses nothing of the join.
int TiffCheckStripsApart(TiffByteRange* ranges, size_t count) {
    std::sort(ranges, ranges + count, TiffRangeStartsBefore);
    for (size_t i = 1; i < count; i++)
        if (ranges[i].start < ranges[i - 1].end) return kTiffJpegStripsOverlap;
    return kTiffOk;
}

// Compression 6: the interchange data, followed by every strip when there are
// several, must be a JFIF stream; the JPEG reader decodes it.
int TiffDecodeOldJpeg(TiffReader* t, DecodedImage* out) {
    if (t->jpegOffset == 0) return kTiffJpegNoInterchange;
    if (t->stripCount == 1) {
        uint32_t count = uint32_t(t->singleByteCount);
        if (t->stripByteCounts.present) ArrayAt(*t, t->stripByteCounts, 0, &count);
        const uint8_t* jfif = t->r.PtrAt(t->jpegOffset, count);
        if (!jfif) return kTiffJpegOutside;
        if (count < kJfifTagAt + 4 || memcmp(jfif + kJfifTagAt, "JFIF", 4) != 0) return kTiffJpegNotJfif;
        return TiffDecodeJfif(jfif, count, 0, out);
    }
    // The joined block: interchange data, every strip, one byte more, against
    // the cap. The strips must not share bytes, so the block stays within
    // twice the file; the picture and the library's memory get what the
    // block leaves of the ceiling.
    TiffByteRange* ranges = nullptr;
    size_t count = 0;
    CheckedSize total;
    int rc = TiffCollectStrips(*t, &ranges, &count, &total);
    if (rc == kTiffOk && !t->r.Has(t->jpegOffset, t->jpegLength)) rc = kTiffJpegOutside;
    if (rc == kTiffOk) rc = TiffCheckStripsApart(ranges, count);
    if (rc == kTiffOk && !total.Fits(gImageByteCap)) rc = kTiffTooLarge;
    auto* block = rc == kTiffOk ? static_cast<uint8_t*>(GuardedAlloc(total.Size())) : nullptr;
    if (rc == kTiffOk && !block) rc = kTiffNoMemory;
    if (rc != kTiffOk) {
        GuardedFree(ranges);
        return rc;
    }
    memcpy(block, t->r.PtrAt(t->jpegOffset, t->jpegLength), t->jpegLength);
    for (size_t i = 0; i < count; i++)
        memcpy(block + ranges[i].at, t->r.PtrAt(ranges[i].start, ranges[i].end - ranges[i].start),
               ranges[i].end - ranges[i].start);
    GuardedFree(ranges);
    const size_t size = total.Size() - 1;
    block[size] = 0;
    rc = kTiffJpegNotJfif;
    if (size >= kJfifTagAt + 4 && memcmp(block + kJfifTagAt, "JFIF", 4) == 0)
        rc = TiffDecodeJfif(block, size, total.value, out);
    GuardedFree(block);
    return rc;
}

int TiffCheckPixels(TiffReader* t) {
    if (t->planar != kChunky && t->planar != kPlanar) return kTiffBadPlanar;
    if (t->planar == kPlanar && t->samples != 1) return kTiffBadPlanar;
    if (t->fillOrder != kMsbFirst && t->fillOrder != kLsbFirst) return kTiffBadFillOrder;
    if (t->samples == kRgbSamples) {
        if (t->bits != kRgbBits || t->photometric != kPhotoRgb) return kTiffBadRgb;
    } else if (t->samples == 1) {
        if (t->bits != 1 && t->bits != 2 && t->bits != 4 && t->bits != 8) return kTiffBadBits;
        if (t->photometric != kWhiteIsZero && t->photometric != kBlackIsZero && t->photometric != kPhotoPalette)
            return kTiffBadPhotometric;
        // A ColorMap holds all reds, all greens, then all blues.
        if (t->colorMap.present && t->colorMap.count < (3u << t->bits)) return kTiffShortColorMap;
    } else {
        return kTiffBadSamples;
    }
    if (t->compression == kCompMh || t->compression == kCompG4) {
        if (t->samples != 1 || t->bits != 1) return kTiffFaxNotBilevel;
        if (t->compression == kCompG4 && t->width > kCcittMaxWidth) return kTiffFaxTooWide;
    }
    return kTiffOk;
}

// The DIB colour table: the ColorMap (16-bit values scaled to 8), or grey
// levels spread evenly over 0..255, white first for WhiteIsZero.
void TiffMakePalette(const TiffReader& t, DecodedImage* out) {
    const uint32_t n = 1u << t.bits;
    for (uint32_t i = 0; i < n; i++) {
        RGBQUAD& c = out->colors[i];
        if (t.colorMap.present) {
            uint32_t r = 0, g = 0, b = 0;
            ArrayAt(t, t.colorMap, i, &r);
            ArrayAt(t, t.colorMap, n + i, &g);
            ArrayAt(t, t.colorMap, 2 * n + i, &b);
            c.rgbRed = uint8_t(r / kColorMapDivisor);
            c.rgbGreen = uint8_t(g / kColorMapDivisor);
            c.rgbBlue = uint8_t(b / kColorMapDivisor);
        } else {
            uint8_t v = uint8_t(i * 255 / (n - 1));
            if (t.photometric == kWhiteIsZero) v = uint8_t(255 - v);
            c.rgbRed = c.rgbGreen = c.rgbBlue = v;
        }
    }
}

// LZW strip: the table keeps, per code, where its string lies in the output.
// Every code but Clear adds an entry spanning its own output and the first
// byte of the next one; the table stops growing at 4096 entries and decoding
// goes on, as libtiff does, so a file that sends no Clear in time still
// decodes. A code past the table, the end of the data or a full strip ends it.
// The output block has kStripSlack bytes beyond outSize.
// Old-style strips (oldStyle) are read least significant bit first.
bool TiffLzwDecode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outSize, bool oldStyle) {
    struct Entry {
        uint32_t offset;
        uint32_t length;
    };
    auto* table = static_cast<Entry*>(GuardedAlloc(kLzwTableSize * sizeof(Entry)));
    if (!table) return false;
    uint32_t next = kLzwFirstFree;
    uint64_t acc = 0;
    int width = kLzwMinWidth, held = 0;
    size_t inPos = 0, pos = 0;
    const uint32_t late = oldStyle ? kLzwOldStyleLate : 0;
    for (;;) {
        uint32_t code;
        if (oldStyle) {
            // Each byte lands above the bits still held; codes leave from the bottom.
            while (held < width && inPos < inLength) {
                acc |= uint64_t(in[inPos++]) << held;
                held += 8;
            }
            if (held < width) break;
            code = uint32_t(acc) & ((1u << width) - 1);
            acc >>= width;
            held -= width;
        } else {
            if (held < width) {
            // Four bytes at a time while they last, then byte by byte.
                if (inLength - inPos >= 4) {
                    acc = (acc << 32) | (uint64_t(in[inPos]) << 24) | (uint64_t(in[inPos + 1]) << 16) |
                          (uint64_t(in[inPos + 2]) << 8) | in[inPos + 3];
                    inPos += 4;
                    held += 32;
                } else {
                    while (held < width && inPos < inLength) {
                        acc = (acc << 8) | in[inPos++];
                        held += 8;
                    }
                    if (held < width) break;
                }
            }
            code = uint32_t(acc >> (held - width)) & ((1u << width) - 1);
            held -= width;
        }
        if (code == kLzwClear) {
            next = kLzwFirstFree;
            width = kLzwMinWidth;
            continue;
        }
        if (code == kLzwEnd || code >= next || pos >= outSize) break;
        const size_t start = pos;
        size_t len = 1;
        if (code < kLzwClear) {
            out[pos++] = uint8_t(code);
        } else {
            const Entry& e = table[code];
            len = e.length;
            const size_t room = outSize - pos;
            const size_t n = len < room ? len : room;
            const uint8_t* from = out + e.offset;
            uint8_t* to = out + pos;
            // A string that ends before the copy starts moves as one chunk
            // (the bytes past it land in the slack or are written again);
            // the newest entry ends with the byte its copy writes first, so
            // that copy runs forward byte by byte.
            if (e.offset + n <= pos && n <= kLzwChunk) memmove(to, from, kLzwChunk);
            else if (e.offset + n <= pos) memcpy(to, from, n);
            else for (size_t i = 0; i < n; i++) to[i] = from[i];
            pos += n;
            if (n < len) break;
        }
        if (next < kLzwTableSize) {
            table[next] = {uint32_t(start), uint32_t(len + 1)};
            next++;
            if ((next == 512 + late || next == 1024 + late || next == 2048 + late) && width < kLzwMaxWidth)
                width++;
        }
    }
    // Rows the data did not reach stay zero, also where a chunk went past.
    if (pos < outSize) memset(out + pos, 0, outSize - pos < kLzwChunk ? outSize - pos : kLzwChunk);
    GuardedFree(table);
    return true;
}

bool LzwIsOldStyle(const uint8_t* in, size_t length) { return length >= 2 && in[0] == 0 && (in[1] & 1); }

// PackBits: n 0..127 copies n + 1 bytes, -127..-1 repeats one byte 1 - n
// times, -128 is nothing. A strip's runs are read a row at a time, and a run
// may go on into the next row: what is left of it waits here. Each run is
// checked against the strip's bytes not yet claimed when its header is read.
struct PackBitsRuns {
    const uint8_t* in;
    size_t inLength;
    size_t i;          // the next header
    size_t stripLeft;  // the strip's bytes no run has claimed yet
    size_t literal;    // bytes of a literal run still to copy, from in + i
    size_t repeat;     // copies of `value` still to make
    uint8_t value;
};

PackBitsRuns PackBitsStart(const uint8_t* in, size_t inLength, size_t stripBytes) {
    PackBitsRuns r = {};
    r.in = in;
    r.inLength = inLength;
    r.stripLeft = stripBytes;
    return r;
}

// Fills out[0..n) with the next bytes of the strip. The state stays in locals
// inside the loop and goes back to *r at the end.
int PackBitsFill(PackBitsRuns* r, uint8_t* out, size_t n) {
    const uint8_t* const in = r->in;
    const size_t inLength = r->inLength;
    size_t i = r->i, stripLeft = r->stripLeft, literal = r->literal, repeat = r->repeat, o = 0;
    int rc = kTiffOk;
    while (o < n) {
        if (literal) {
            const size_t k = literal < n - o ? literal : n - o;
            memcpy(out + o, in + i, k);
            i += k;
            literal -= k;
            o += k;
            continue;
        }
        if (repeat) {
            const size_t k = repeat < n - o ? repeat : n - o;
            memset(out + o, r->value, k);
            repeat -= k;
            o += k;
            continue;
        }
        if (i >= inLength) {
            rc = kTiffPackBitsShort;
            break;
        }
        const int h = int8_t(in[i++]);
        if (h >= 0) {
            const size_t count = size_t(h) + 1;
            if (count > inLength - i) {
                rc = kTiffPackBitsShort;
                break;
            }
            if (count > stripLeft) {
                rc = kTiffPackBitsOverrun;
                break;
            }
            stripLeft -= count;
            // Most runs end inside the row: copied at once, nothing waits.
            if (count <= n - o) {
                memcpy(out + o, in + i, count);
                i += count;
                o += count;
            } else {
                literal = count;
            }
        } else if (h != -128) {
            const size_t count = size_t(1 - h);
            if (i >= inLength) {
                rc = kTiffPackBitsShort;
                break;
            }
            if (count > stripLeft) {
                rc = kTiffPackBitsOverrun;
                break;
            }
            stripLeft -= count;
            r->value = in[i++];
            if (count <= n - o) {
                memset(out + o, r->value, count);
                o += count;
            } else {
                repeat = count;
            }
        }
    }
    r->i = i;
    r->stripLeft = stripLeft;
    r->literal = literal;
    r->repeat = repeat;
    return rc;
}

int PackBitsDecode(const uint8_t* in, size_t inLength, uint8_t* out, size_t outSize) {
    PackBitsRuns r = PackBitsStart(in, inLength, outSize);
    return PackBitsFill(&r, out, outSize);
}

// Predictor 2 on 8-bit samples: each sample adds the same sample of the
// pixel to its left.
void TiffUnpredict(const TiffReader& t, uint8_t* rows, uint32_t count) {
    const size_t step = t.samples;
    for (uint32_t y = 0; y < count; y++) {
        uint8_t* row = rows + size_t(y) * t.bytesPerRow;
        for (size_t i = step; i < size_t(t.width) * step; i++) row[i] = uint8_t(row[i] + row[i - step]);
    }
}

int FromCcitt(int rc) {
    switch (rc) {
    case kCcittOk: return kTiffOk;
    case kCcittBadCode: return kTiffFaxBadCode;
    case kCcittRunPastRow: return kTiffFaxRunPastRow;
    case kCcittShortData: return kTiffFaxShortData;
    case kCcittExtension: return kTiffFaxExtension;
    case kCcittNoMemory: return kTiffNoMemory;
    default: return kTiffFaxBadCode;
    }
}

// Where strip s lies in the file, its rows and the bytes they take.
struct StripPlace {
    uint32_t offset;
    uint32_t count;
    uint32_t rows;
    size_t need;
};

StripPlace StripPlaceOf(const TiffReader& t, uint32_t s) {
    StripPlace p = {};
    p.rows = s + 1 < t.stripCount ? t.rowsPerStrip : t.length - s * t.rowsPerStrip;
    p.need = size_t(p.rows) * t.bytesPerRow;
    p.count = uint32_t(t.singleByteCount);
    ArrayAt(t, t.stripOffsets, s, &p.offset);
    if (t.stripByteCounts.present) ArrayAt(t, t.stripByteCounts, s, &p.count);
    // Group 4 writers have left the single strip's byte count at 0.
    if (t.compression == kCompG4 && p.count == 0 && t.stripCount == 1 && p.offset <= t.r.Length())
        p.count = uint32_t(t.r.Length() - p.offset);
    if (t.compression == kCompNone) p.count = uint32_t(p.need);
    return p;
}

// The most bytes of rows `count` strip bytes can give.
uint64_t StripYield(const TiffReader& t, uint64_t count) {
    switch (t.compression) {
    case kCompLzw: return count * 8 / kLzwMinWidth * kLzwMaxString;
    case kCompPackBits: return (count + kPackBitsPair - 1) / kPackBitsPair * kPackBitsMaxRun;
    case kCompMh: case kCompG4: return count * 8 * t.bytesPerRow;
    default: return count;
    }
}

// Before the picture's block is taken: every strip lies in the file, and
// together their bytes can yield the picture's rows, so a tiny file cannot
// claim a huge picture. A strip that merely ends early still decodes.
int TiffCheckStripData(const TiffReader& t) {
    uint64_t yield = 0, total = 0;
    for (uint32_t s = 0; s < t.stripCount; s++) {
        const StripPlace p = StripPlaceOf(t, s);
        if (!t.r.Has(p.offset, p.count)) return kTiffStripOutside;
        const uint64_t most = StripYield(t, p.count);
        yield += most < p.need ? most : p.need;
        total += p.need;
    }
    return yield < total ? kTiffStripsCannotFill : kTiffOk;
}

int TiffReadStrip(TiffReader* t, uint32_t s) {
    const StripPlace p = StripPlaceOf(*t, s);
    const uint32_t rows = p.rows, count = p.count;
    const size_t need = p.need;
    const uint8_t* in = t->r.PtrAt(p.offset, count);
    if (!in) return kTiffStripOutside;
    // A strip that ends early keeps zeros where its rows are missing; PackBits
    // fills its strip or fails.
    if (t->compression != kCompPackBits) memset(t->strip, 0, need);
    t->currentStrip = s;

    const bool reverse = t->fillOrder == kLsbFirst;
    uint8_t* reversed = nullptr;
    if (reverse && (t->compression == kCompLzw || t->compression == kCompPackBits)) {
        reversed = static_cast<uint8_t*>(GuardedAlloc(count ? count : 1));
        if (!reversed) return kTiffNoMemory;
        memcpy(reversed, in, count);
        CcittReverseBits(reversed, count);
        in = reversed;
    }
    if ((t->compression == kCompMh || t->compression == kCompG4) && !t->fax) {
        t->fax = CcittTablesNew();
        if (!t->fax) {
            GuardedFree(reversed);
            return kTiffNoMemory;
        }
    }
    int rc = kTiffOk;
    switch (t->compression) {
    case kCompNone:
        memcpy(t->strip, in, need);
        if (reverse) CcittReverseBits(t->strip, need);
        break;
    case kCompMh:
        rc = FromCcitt(CcittMhDecode(*t->fax, in, count, t->strip, need, t->bytesPerRow, rows, t->width, !reverse));
        break;
    case kCompG4:
        rc = FromCcitt(CcittFax2dDecode(*t->fax, in, count, t->strip, need, t->width, rows, !reverse));
        break;
    case kCompLzw:
        if (!TiffLzwDecode(in, count, t->strip, need, LzwIsOldStyle(in, count))) rc = kTiffNoMemory;
        break;
    default:
        rc = PackBitsDecode(in, count, t->strip, need);
        break;
    }
    GuardedFree(reversed);
    if (rc == kTiffOk && t->predictor == kPredictorHorizontal && t->bits == 8) TiffUnpredict(*t, t->strip, rows);
    return rc;
}

// Two 2-bit pixels per 4-bit DIB byte.
void SpreadTwoBit(const uint8_t* src, size_t srcBytes, uint8_t* dst, uint32_t width) {
    const size_t dstBytes = (size_t(width) + 1) / 2;
    for (size_t i = 0; i < srcBytes; i++) {
        const uint8_t v = src[i];
        if (2 * i < dstBytes) dst[2 * i] = uint8_t(((v >> 6) & 3) << 4 | ((v >> 4) & 3));
        if (2 * i + 1 < dstBytes) dst[2 * i + 1] = uint8_t(((v >> 2) & 3) << 4 | (v & 3));
    }
}

// One file row into its DIB row: RGB to BGR, 2-bit pixels widened to 4.
void TiffConvertRow(const TiffReader& t, const uint8_t* src, uint8_t* dst) {
    if (t.samples == kRgbSamples) {
        DibRgbToBgr(src, t.width, dst);
    } else if (t.bits == 2) {
        SpreadTwoBit(src, t.bytesPerRow, dst, t.width);
    } else {
        memcpy(dst, src, t.bytesPerRow);
    }
}

int TiffReadRow(TiffReader* t, uint32_t r, uint8_t* dst) {
    const uint32_t s = r / t->rowsPerStrip;
    if (int64_t(s) != t->currentStrip) {
        int rc = TiffReadStrip(t, s);
        if (rc != kTiffOk) return rc;
    }
    TiffConvertRow(*t, t->strip + size_t(r % t->rowsPerStrip) * t->bytesPerRow, dst);
    return kTiffOk;
}

// The strips were decoded into the picture's own block as packed rows, top
// first: turn them bottom-up in place, then spread them out to the DIB
// stride from the last row back, so no row is overwritten before it moved.
void TiffPlaceRowsInBlock(TiffReader* t, uint8_t* block, size_t stride, size_t dibRowBytes) {
    const size_t bpr = t->bytesPerRow;
    uint8_t* row = t->shape;
    for (uint32_t top = 0, bottom = t->length - 1; top < bottom; top++, bottom--) {
        memcpy(row, block + size_t(top) * bpr, bpr);
        memmove(block + size_t(top) * bpr, block + size_t(bottom) * bpr, bpr);
        memcpy(block + size_t(bottom) * bpr, row, bpr);
    }
    uint8_t* wide = t->shape + bpr;
    for (uint32_t i = t->length; i-- > 0;) {
        memcpy(row, block + size_t(i) * bpr, bpr);
        TiffConvertRow(*t, row, wide);
        memcpy(block + size_t(i) * stride, wide, dibRowBytes);
        memset(block + size_t(i) * stride + dibRowBytes, 0, stride - dibRowBytes);
    }
}

// Every strip decoded in turn into the picture's block as packed rows, top
// first, each right behind the one before. The block holds at least as many
// bytes as the packed rows (a DIB row is never shorter than a file row) and
// kStripSlack more, so what a decompressor writes past a strip's end lands in
// the next strip's place before that strip is decoded over it.
int TiffReadStripsIntoBlock(TiffReader* t, uint8_t* block) {
    const size_t stripBytes = size_t(t->rowsPerStrip) * t->bytesPerRow;
    for (uint32_t s = 0; s < t->stripCount; s++) {
        t->strip = block + size_t(s) * stripBytes;
        const int rc = TiffReadStrip(t, s);
        t->strip = nullptr;
        if (rc != kTiffOk) return rc;
    }
    return kTiffOk;
}

// PackBits strips read most significant bit first decode straight into the
// picture's rows, bottom-up, a row at a time: rows that need a change (RGB to
// BGR, 2-bit widening, the predictor) go through one file row, still in the
// cache, on their way. Every byte of a row is written (PackBits fills its
// strip or fails), so only the DIB rows' padding is zeroed here.
bool TiffDecodesIntoRows(const TiffReader& t) {
    return t.compression == kCompPackBits && t.fillOrder == kMsbFirst;
}

int TiffReadPackBitsRows(TiffReader* t, uint8_t* bits, size_t stride, size_t dibRowBytes) {
    const bool unpredict = t->predictor == kPredictorHorizontal && t->bits == 8;
    const bool through = t->samples == kRgbSamples || t->bits == 2 || unpredict;
    uint8_t* fileRow = t->shape;
    for (uint32_t s = 0, r = 0; s < t->stripCount; s++) {
        const StripPlace p = StripPlaceOf(*t, s);
        const uint8_t* in = t->r.PtrAt(p.offset, p.count);
        if (!in) return kTiffStripOutside;
        PackBitsRuns runs = PackBitsStart(in, p.count, p.need);
        for (uint32_t k = 0; k < p.rows; k++, r++) {
            uint8_t* dst = bits + size_t(t->length - 1 - r) * stride;
            const int rc = PackBitsFill(&runs, through ? fileRow : dst, t->bytesPerRow);
            if (rc != kTiffOk) return rc;
            if (unpredict) TiffUnpredict(*t, fileRow, 1);
            if (through) TiffConvertRow(*t, fileRow, dst);
            memset(dst + dibRowBytes, 0, stride - dibRowBytes);
        }
    }
    return kTiffOk;
}

int TiffSetupDib(TiffReader* t, DecodedImage* out) {
    const bool rgb = t->samples == kRgbSamples;
    // 2-bit pixels have no DIB of their own: they widen to 4 bits.
    const uint32_t bitCount = rgb ? 24 : t->bits == 2 ? 4 : t->bits;
    CheckedSize rowBytes(t->width);
    rowBytes.Mul(t->samples).Mul(t->bits).Add(7);
    rowBytes.value /= 8;
    CheckedSize stripSize = rowBytes;
    stripSize.Mul(t->rowsPerStrip).Add(kStripSlack);
    const CheckedSize stride = DibStride(t->width, bitCount);
    CheckedSize dibSize = stride;
    dibSize.Mul(t->length);
    if (!rowBytes.ok || !dibSize.Fits(gImageByteCap)) return kTiffTooLarge;
    // The ceiling bounds what the decode holds at once: a strip buffer is
    // taken only when it fits beside the picture; otherwise (and for a single
    // strip, which would double the picture) every strip decodes straight
    // into the picture's own block.
    CheckedSize held = dibSize;
    held.Add(stripSize.value);
    const bool inBlock = t->stripCount == 1 || !stripSize.ok || !held.Fits(gImageByteCap);
    t->bytesPerRow = rowBytes.Size();
    const int rc = TiffCheckStripData(*t);
    if (rc != kTiffOk) return rc;
    // The pixels of a DIB row without its padding; never fewer bytes than
    // the file's row, so the packed rows of a strip fit in the DIB block.
    const size_t dibRowBytes = t->bits == 2 && !rgb ? (size_t(t->width) + 1) / 2 : t->bytesPerRow;

    BITMAPINFOHEADER& h = out->header;
    memset(&h, 0, sizeof h);
    h.biSize = 40;
    h.biWidth = LONG(t->width);
    h.biHeight = LONG(t->length);
    h.biPlanes = 1;
    h.biBitCount = WORD(bitCount);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(dibSize.value);
    if (!rgb) {
        h.biClrUsed = h.biClrImportant = 1u << t->bits;
        TiffMakePalette(*t, out);
    }
    // Room for one file row and one DIB row while rows move.
    t->shape = static_cast<uint8_t*>(GuardedAlloc(t->bytesPerRow + stride.Size() + kStripSlack));
    if (TiffDecodesIntoRows(*t)) {
        out->bits = static_cast<uint8_t*>(LocalAllocRaw(dibSize.Size() + kStripSlack));
        if (!t->shape || !out->bits) return kTiffNoMemory;
        memset(out->bits + dibSize.Size(), 0, kStripSlack);
        return TiffReadPackBitsRows(t, out->bits, stride.Size(), dibRowBytes);
    }
    out->bits = static_cast<uint8_t*>(LocalAllocZero(dibSize.Size() + kStripSlack));
    if (!t->shape || !out->bits) return kTiffNoMemory;
    if (inBlock) {
        const int rs = TiffReadStripsIntoBlock(t, out->bits);
        if (rs != kTiffOk) return rs;
        TiffPlaceRowsInBlock(t, out->bits, stride.Size(), dibRowBytes);
        return kTiffOk;
    }
    t->stripSize = stripSize.Size();
    t->strip = static_cast<uint8_t*>(LocalAllocZero(t->stripSize));
    if (!t->strip) return kTiffNoMemory;
    for (uint32_t r = 0; r < t->length; r++) {
        int rr = TiffReadRow(t, r, out->bits + size_t(t->length - 1 - r) * stride.Size());
        if (rr != kTiffOk) return rr;
    }
    return kTiffOk;
}

}  // namespace

const DecodeRule& TiffRule(int result) { return DecodeRuleOf(kTiffRules, kTiffResultCount, result); }

int TiffDecodeBuffer(const uint8_t* data, size_t length, uint16_t page, DecodedImage* out, uint32_t* pageCount) {
    DecodedImageClear(out);
    TiffReader t(data, length);
    int rc = TiffOpen(&t, page ? page : 1);
    if (rc != kTiffOk) return rc;
    if (pageCount) *pageCount = t.pageCount;
    rc = TiffCheckLayout(&t);
    if (rc == kTiffOk && t.compression == kCompOldJpeg) return TiffDecodeOldJpeg(&t, out);
    if (rc == kTiffOk) rc = TiffCheckPixels(&t);
    if (rc == kTiffOk) rc = TiffSetupDib(&t, out);
    LocalFreeMem(t.strip);
    GuardedFree(t.shape);
    CcittTablesFree(t.fax);
    if (rc != kTiffOk) DecodedImageDropBits(out);
    return rc;
}

int TiffDecode(uint16_t page, uint32_t* pageCount) {
    return ImageDecodePaged(TiffDecodeBuffer, TiffRule, page, pageCount);
}
