// pdfsubset.cpp - TrueType subsets for 16-bit text: each distinct character
// drawn in a TrueType font gets a one-byte code in one of the font's subsets
// (249 characters each, at most 10), and at the end of the document every
// subset is written as a small TrueType file of the glyphs it uses, with its
// own descriptor and font dictionary.
#include <cstdio>
#include <cstring>

#include "print/pdf/pdfttf.h"
#include "session/util/mem.h"

// Failure codes of the subsets (the font's last error, or PdfFinish's).
enum PdfSubsetResult {
    kSubOk = 0, kSubTooMany = 1, kSubNoTable = 401, kSubBadTable = 402, kSubNoGlyf = 403, kSubNoMemory = 404,
    kSubNoPath = 407, kSubOpen = 408, kSubOffsetTable = 409, kSubTooManyTables = 410, kSubRecords = 411,
    kSubHead = 412, kSubHhea = 413, kSubCmap = 414, kSubHmtx = 420, kSubMaxp = 421, kSubNoCvt = 422,
    kSubNoFpgm = 423, kSubNoPrep = 424, kSubNoLoca = 425, kSubFull = 432, kSubRecMemory = 433,
    kSubDescriptor = 434, kSubFontDict = 435, kSubNoGlyfListed = 436,
};

constexpr size_t kHeadSize = 54, kHheaSize = 36, kMaxpSize = 32;
constexpr int kSubsetTables = 10;
constexpr size_t kSubsetDirSize = 12 + 16 * kSubsetTables;  // 172
constexpr size_t kSubsetCmapSize = 274;
constexpr uint32_t kChecksumMagic = 0xB1B0AFBAu;
constexpr size_t kShortLocaLimit = 0x20000;  // short offsets count words
// Component flags of a composite glyph.
enum : uint16_t { kArgWords = 1, kHaveScale = 8, kMoreComponents = 32, kHaveXYScale = 64, kHaveTwoByTwo = 128 };

static uint32_t Tag(const char* t) {
    return (static_cast<uint32_t>(static_cast<BYTE>(t[0])) << 24) | (static_cast<uint32_t>(static_cast<BYTE>(t[1])) << 16) |
           (static_cast<uint32_t>(static_cast<BYTE>(t[2])) << 8) | static_cast<BYTE>(t[3]);
}

// ---- the source font ---------------------------------------------------------------------

struct PdfSubTable {
    size_t off, len;
    bool found;
};

// The source's tables as the subsets need them, found in the file read whole.
struct PdfSubsetSource {
    ByteReader r{nullptr, 0};
    PdfSubTable head, hhea, maxp, cvt, fpgm, prep, loca, glyf, hmtx, cmap;
    size_t cmap4;  // 0: no format 4 subtable
    uint16_t unitsPerEm, numHMetrics, advanceMax, numGlyphs;
    int16_t locFormat;
};

static PdfSubTable PdfSubFind(const ByteReader& r, uint16_t count, const char* tag, bool* listed = nullptr) {
    uint32_t want = Tag(tag);
    for (uint16_t i = 0; i < count; i++) {
        uint32_t t = 0, off = 0, len = 0;
        size_t rec = 12 + 16 * static_cast<size_t>(i);
        r.U32BeAt(rec, &t);
        r.U32BeAt(rec + 8, &off);
        r.U32BeAt(rec + 12, &len);
        if (t != want) continue;
        if (listed) *listed = true;
        return PdfSubTable{off, len, r.Has(off, len)};
    }
    return PdfSubTable{0, 0, false};
}

// The hinting tables are optional: a font without one gets it empty in its
// subsets; one the file lists but does not hold is damaged.
static bool PdfSubFindOptional(const ByteReader& r, uint16_t count, const char* tag, PdfSubTable* t) {
    bool listed = false;
    *t = PdfSubFind(r, count, tag, &listed);
    if (!listed) *t = PdfSubTable{0, 0, true};
    return t->found;
}

static int PdfSubsetOpenSource(PdfTtfFontRec* t, PdfSubsetSource* s) {
    PdfTtfSubsets& sub = t->subs;
    if (!sub.source) {
        if (!t->desc.path[0]) return kSubNoPath;
        sub.source = PdfReadFontFile(t->desc.path, &sub.sourceSize);
        if (!sub.source) return kSubOpen;
    }
    s->r = ByteReader(sub.source, sub.sourceSize);
    const ByteReader& r = s->r;
    uint16_t count;
    if (!r.Has(0, 12) || !r.U16BeAt(4, &count)) return kSubOffsetTable;
    if (count > 40) return kSubTooManyTables;
    if (!r.Has(12, 16 * static_cast<size_t>(count))) return kSubRecords;
    s->head = PdfSubFind(r, count, "head");
    s->hhea = PdfSubFind(r, count, "hhea");
    s->maxp = PdfSubFind(r, count, "maxp");
    s->cmap = PdfSubFind(r, count, "cmap");
    s->hmtx = PdfSubFind(r, count, "hmtx");
    s->loca = PdfSubFind(r, count, "loca");
    s->glyf = PdfSubFind(r, count, "glyf");
    uint16_t fmt;
    if (!s->head.found || s->head.len < kHeadSize || !r.U16BeAt(s->head.off + 18, &s->unitsPerEm) || !s->unitsPerEm)
        return kSubHead;
    uint16_t lf = 0;
    r.U16BeAt(s->head.off + 50, &lf);
    s->locFormat = static_cast<int16_t>(lf);
    if (!s->hhea.found || s->hhea.len < kHheaSize) return kSubHhea;
    r.U16BeAt(s->hhea.off + 10, &s->advanceMax);
    r.U16BeAt(s->hhea.off + 34, &s->numHMetrics);
    if (!s->cmap.found || s->cmap.len < 4) return kSubCmap;
    uint16_t records = 0;
    r.U16BeAt(s->cmap.off + 2, &records);
    s->cmap4 = 0;
    for (uint16_t i = 0; i < records; i++) {
        uint32_t off = 0;
        if (!r.U32BeAt(s->cmap.off + 4 + 8 * static_cast<size_t>(i) + 4, &off)) return kSubCmap;
        if (r.U16BeAt(s->cmap.off + off, &fmt) && fmt == 4) s->cmap4 = s->cmap.off + off;
    }
    if (!s->numHMetrics || !s->hmtx.found || s->hmtx.len < 4 * static_cast<size_t>(s->numHMetrics)) return kSubHmtx;
    if (!s->maxp.found || s->maxp.len < kMaxpSize || !r.U16BeAt(s->maxp.off + 4, &s->numGlyphs)) return kSubMaxp;
    if (!PdfSubFindOptional(r, count, "cvt ", &s->cvt)) return kSubNoCvt;
    if (!PdfSubFindOptional(r, count, "fpgm", &s->fpgm)) return kSubNoFpgm;
    if (!PdfSubFindOptional(r, count, "prep", &s->prep)) return kSubNoPrep;
    if (!s->loca.found) return kSubNoLoca;
    if (!s->glyf.found) return kSubNoGlyfListed;
    return kSubOk;
}

// A glyph's advance and left side bearing: glyphs past the last metric take
// its advance, as TrueType has it, and their own bearing when listed.
static void PdfSubMetric(const PdfSubsetSource& s, uint16_t gid, uint16_t* adv, int16_t* lsb) {
    uint16_t n = s.numHMetrics, a = 0, l = 0;
    if (gid < n) {
        s.r.U16BeAt(s.hmtx.off + 4 * static_cast<size_t>(gid), &a);
        s.r.U16BeAt(s.hmtx.off + 4 * static_cast<size_t>(gid) + 2, &l);
    } else {
        s.r.U16BeAt(s.hmtx.off + 4 * static_cast<size_t>(n - 1), &a);
        size_t at = 4 * static_cast<size_t>(n) + 2 * static_cast<size_t>(gid - n);
        if (at + 2 <= s.hmtx.len) s.r.U16BeAt(s.hmtx.off + at, &l);
    }
    *adv = a;
    *lsb = static_cast<int16_t>(l);
}

// A glyph's place inside glyf; an entry outside the table gives an empty glyph.
static void PdfSubGlyphPlace(const PdfSubsetSource& s, uint16_t gid, size_t* off, size_t* len) {
    *off = *len = 0;
    if (gid >= s.numGlyphs) return;
    uint32_t a = 0, b = 0;
    if (s.locFormat) {
        if (!s.r.U32BeAt(s.loca.off + 4 * static_cast<size_t>(gid), &a) || !s.r.U32BeAt(s.loca.off + 4 * static_cast<size_t>(gid) + 4, &b))
            return;
    } else {
        uint16_t x = 0, y = 0;
        if (!s.r.U16BeAt(s.loca.off + 2 * static_cast<size_t>(gid), &x) || !s.r.U16BeAt(s.loca.off + 2 * static_cast<size_t>(gid) + 2, &y))
            return;
        a = 2u * x, b = 2u * y;
    }
    if (b < a || b > s.glyf.len || 2 * static_cast<size_t>(gid) + 2 > s.loca.len) return;
    *off = s.glyf.off + a;
    *len = b - a;
}

// ---- characters -------------------------------------------------------------------------------

static PdfTtfFontRec* PdfAsTtf(PdfFontRec* f) {
    return f && f->kind == kPdfFontTrueType ? reinterpret_cast<PdfTtfFontRec*>(f) : nullptr;
}

static bool PdfNewSubset(PdfDocRec* doc, PdfTtfFontRec* t) {
    PdfTtfSubsets& sub = t->subs;
    if (sub.count == 0 && sub.lastError) return false;  // the source did not read: not again per character
    if (sub.count == kPdfMaxSubsets) {
        sub.lastError = kSubFull;
        return false;
    }
    if (sub.count == 0) {
        PdfSubsetSource s;
        int rc = PdfSubsetOpenSource(t, &s);
        if (rc) {
            GuardedFree(sub.source);
            sub.source = nullptr;
            sub.lastError = rc;
            return false;
        }
    }
    auto* rec = static_cast<PdfSubsetRec*>(GuardedAlloc(sizeof(PdfSubsetRec)));
    if (!rec) {
        sub.lastError = kSubRecMemory;
        return false;
    }
    memset(rec, 0, sizeof *rec);
    rec->objNum = doc->nextObj++;
    rec->fontNum = doc->fontCounter++;
    rec->nextCode = 1;
    sub.subsets[sub.count++] = rec;
    return true;
}

// The subset and code of a character, assigning them when it is new. Codes
// skip CR and the characters a PDF string escapes: 1-253 less 13, 40, 41, 92.
static bool PdfSubsetAddChar(PdfDocRec* doc, PdfTtfFontRec* t, WORD ch, int* index, BYTE* code) {
    PdfTtfSubsets& sub = t->subs;
    WORD*& page = sub.pages[ch >> 8];
    if (!page) {
        page = static_cast<WORD*>(GuardedAlloc(256 * sizeof(WORD)));
        if (!page) return false;
        memset(page, 0, 256 * sizeof(WORD));
    }
    WORD entry = page[ch & 0xFF];
    if (entry) {
        *index = entry >> 8;
        *code = static_cast<BYTE>(entry);
        return true;
    }
    if (sub.count == 0 || sub.subsets[sub.count - 1]->nextCode >= kPdfSubsetCodeEnd) {
        if (sub.count == kPdfMaxSubsets) {
            sub.lastError = kSubTooMany;
            return false;
        }
        if (!PdfNewSubset(doc, t)) return false;
    }
    PdfSubsetRec* rec = sub.subsets[sub.count - 1];
    WORD c = rec->nextCode;
    if (c == 13) c = 14;
    if (c == 40) c = 42;
    if (c == 92) c = 93;
    rec->nextCode = static_cast<WORD>(c + 1);
    page[ch & 0xFF] = static_cast<WORD>((sub.count - 1) * 256 + c);
    PdfSubsetSource s;
    PdfSubsetOpenSource(t, &s);
    uint16_t gid = s.cmap4 ? PdfCmap4Lookup(s.r, s.cmap4, ch) : 0;
    rec->glyphs[c] = gid;
    uint16_t adv = s.advanceMax;
    int16_t lsb;
    if (gid != 0 && gid != 0xFFFF) PdfSubMetric(s, gid, &adv, &lsb);
    rec->widths[c] = static_cast<double>(static_cast<int32_t>(adv) * 1000 / s.unitsPerEm);
    *index = sub.count - 1;
    *code = static_cast<BYTE>(c);
    return true;
}

bool PdfSubsetChar(PdfDocRec* doc, WORD ch, DWORD* fontNum, BYTE* code, double* width) {
    PdfTtfFontRec* t = PdfAsTtf(doc->curFont);
    int index;
    if (!t || !PdfSubsetAddChar(doc, t, ch, &index, code)) {
        // A character that cannot have a code fails its drawing, and the
        // document with it: the code says why (the source font's table, or
        // the subsets full).
        if (t) {
            doc->fontError = t->subs.lastError ? t->subs.lastError : kSubNoMemory;
            gPdfErrNo = doc->fontError;
            snprintf(gPdfErrorText, sizeof gPdfErrorText, "TrueType subset error: %d", doc->fontError);
        }
        *fontNum = doc->curFont ? doc->curFont->fontNum : 0;
        *code = '?';
        *width = 0;
        return false;
    }
    PdfSubsetRec* rec = t->subs.subsets[index];
    rec->used = 1;
    *fontNum = rec->fontNum;
    *width = rec->widths[*code];
    return true;
}

void PdfPutUsedSubsets(PdfDocRec* doc, PdfFontRec* f) {
    PdfTtfFontRec* t = PdfAsTtf(f);
    if (!t) return;
    for (int i = 0; i < t->subs.count; i++) {
        PdfSubsetRec* rec = t->subs.subsets[i];
        if (!rec->used) continue;
        rec->used = 0;
        PdfPutText(doc, " /TF");
        PdfPutUInt(doc, rec->fontNum, 1);
        PdfPutByte(doc, ' ');
        PdfPutUInt(doc, rec->objNum, 1);
        PdfPutText(doc, " 0 R");
    }
}

void PdfFreeSubsets(PdfTtfFontRec* t) {
    for (int i = 0; i < t->subs.count; i++) GuardedFree(t->subs.subsets[i]);
    for (WORD*& p : t->subs.pages) {
        GuardedFree(p);
        p = nullptr;
    }
    GuardedFree(t->subs.source);
    memset(&t->subs, 0, sizeof t->subs);
}

// ---- building a subset file ---------------------------------------------------------------------

static size_t PdfAlign4(size_t v) { return (v + 3) & ~static_cast<size_t>(3); }

static void PutBe16(BYTE* p, uint32_t v) {
    p[0] = static_cast<BYTE>(v >> 8);
    p[1] = static_cast<BYTE>(v);
}
static void PutBe32(BYTE* p, uint32_t v) {
    PutBe16(p, v >> 16);
    PutBe16(p + 2, v & 0xFFFF);
}

static uint32_t PdfTableChecksum(const BYTE* p, size_t len) {
    uint32_t sum = 0;
    for (size_t i = 0; i < len; i += 4) {
        uint32_t w = 0;
        for (size_t k = 0; k < 4; k++) w = (w << 8) | (i + k < len ? p[i + k] : 0);
        sum += w;
    }
    return sum;
}

// The subset glyph index of a source glyph, appended when new; 0 when the
// list is full.
static WORD PdfSubsetAddGlyph(WORD* glyphs, int* count, uint16_t gid) {
    for (int i = 0; i < *count; i++)
        if (glyphs[i] == gid) return static_cast<WORD>(i);
    if (*count >= kPdfSubsetGlyphMax) return 0;
    glyphs[*count] = gid;
    return static_cast<WORD>((*count)++);
}

// Renumbers the components of a composite glyph copied at p (len bytes),
// never reading past the glyph.
static void PdfRenumberComponents(const PdfSubsetSource& s, BYTE* p, size_t len, WORD* glyphs, int* count) {
    size_t at = 10;
    for (;;) {
        if (at + 4 > len) return;
        uint16_t flags = static_cast<uint16_t>((p[at] << 8) | p[at + 1]);
        uint16_t gid = static_cast<uint16_t>((p[at + 2] << 8) | p[at + 3]);
        WORD index = gid < s.numGlyphs ? PdfSubsetAddGlyph(glyphs, count, gid) : 0;
        PutBe16(p + at + 2, index);
        at += 4 + ((flags & kArgWords) ? 4 : 2);
        if (flags & kHaveScale) at += 2;
        else if (flags & kHaveXYScale) at += 4;
        else if (flags & kHaveTwoByTwo) at += 8;
        if (!(flags & kMoreComponents)) return;
    }
}

// The subset file in a new buffer (freed by the caller); its length, or 0
// with *error set.
static size_t PdfBuildSubsetFont(PdfTtfFontRec* t, PdfSubsetRec* rec, PdfTtfDesc* d, BYTE** out, int* error) {
    *out = nullptr;
    PdfSubsetSource s;
    if ((*error = PdfSubsetOpenSource(t, &s)) != kSubOk) return 0;
    WORD glyphs[kPdfSubsetGlyphMax];
    memcpy(glyphs, rec->glyphs, sizeof glyphs);
    int count = rec->nextCode;
    // Composite glyphs add their components as they are met.
    size_t glyfLen = 0;
    for (int i = 0; i < count; i++) {
        size_t off, len;
        PdfSubGlyphPlace(s, glyphs[i], &off, &len);
        glyfLen = PdfAlign4(glyfLen) + len;
        int16_t contours = 0;
        uint16_t c = 0;
        if (len >= 10 && s.r.U16BeAt(off, &c)) contours = static_cast<int16_t>(c);
        if (contours < 0) {
            // Walk the components on a scratch copy to list them.
            const BYTE* src = s.r.PtrAt(off, len);
            BYTE* scratch = static_cast<BYTE*>(GuardedAlloc(len));
            if (!scratch) {
                *error = kSubNoMemory;
                return 0;
            }
            memcpy(scratch, src, len);
            PdfRenumberComponents(s, scratch, len, glyphs, &count);
            GuardedFree(scratch);
        }
    }
    glyfLen = PdfAlign4(glyfLen);
    bool longLoca = glyfLen >= kShortLocaLimit;
    size_t locaLen = static_cast<size_t>(count + 1) * (longLoca ? 4 : 2);
    size_t hmtxLen = 4 * static_cast<size_t>(count);
    size_t sizes[kSubsetTables] = {kHeadSize, kHheaSize, kMaxpSize, s.cvt.len, s.fpgm.len, s.prep.len, locaLen,
                                   kSubsetCmapSize, hmtxLen, glyfLen};
    static const char* const kTags[kSubsetTables] = {"head", "hhea", "maxp", "cvt ", "fpgm",
                                                     "prep", "loca", "cmap", "hmtx", "glyf"};
    size_t offsets[kSubsetTables], total = kSubsetDirSize;
    for (int i = 0; i < kSubsetTables; i++) {
        offsets[i] = total;
        total = PdfAlign4(total + sizes[i]);
    }
    BYTE* f = static_cast<BYTE*>(GuardedAlloc(total));
    if (!f) {
        *error = kSubNoMemory;
        return 0;
    }
    memset(f, 0, total);
    uint32_t version = 0;
    s.r.U32BeAt(0, &version);
    PutBe32(f, version);
    PutBe16(f + 4, kSubsetTables);
    PutBe16(f + 6, 128);
    PutBe16(f + 8, 3);
    PutBe16(f + 10, 32);
    const PdfSubTable* copied[kSubsetTables] = {&s.head, &s.hhea, &s.maxp, &s.cvt, &s.fpgm, &s.prep};
    for (int i = 0; i < 6; i++) s.r.BytesAt(copied[i]->off, f + offsets[i], sizes[i]);
    BYTE* head = f + offsets[0];
    PutBe32(head + 8, 0);
    PutBe16(head + 50, longLoca ? 1 : 0);
    PutBe16(f + offsets[1] + 34, static_cast<uint32_t>(count));
    PutBe16(f + offsets[2] + 4, static_cast<uint32_t>(count));
    // glyf and loca, each glyph at a multiple of 4; composites renumbered
    // the same way as when they were listed.
    BYTE* loca = f + offsets[6];
    BYTE* glyf = f + offsets[9];
    size_t at = 0;
    int listed = count;  // every glyph is listed by now: the same indices come back
    for (int i = 0; i < count; i++) {
        at = PdfAlign4(at);
        if (longLoca) PutBe32(loca + 4 * i, static_cast<uint32_t>(at));
        else PutBe16(loca + 2 * i, static_cast<uint32_t>(at / 2));
        size_t off, len;
        PdfSubGlyphPlace(s, glyphs[i], &off, &len);
        if (len) s.r.BytesAt(off, glyf + at, len);
        if (len >= 10 && static_cast<int16_t>((glyf[at] << 8) | glyf[at + 1]) < 0)
            PdfRenumberComponents(s, glyf + at, len, glyphs, &listed);
        at += len;
    }
    at = PdfAlign4(at);
    if (longLoca) PutBe32(loca + 4 * count, static_cast<uint32_t>(at));
    else PutBe16(loca + 2 * count, static_cast<uint32_t>(at / 2));
    // cmap: one format 0 subtable, code c to glyph c, for platform 3
    // encoding 0 at offset 12 (a 32-bit field: readers that found no usable
    // cmap took codes as glyph numbers, which hid a 16-bit write here).
    BYTE* cmap = f + offsets[7];
    PutBe16(cmap + 2, 1);
    PutBe16(cmap + 4, 3);
    PutBe32(cmap + 8, 12);
    PutBe16(cmap + 14, 262);
    for (int c = 0; c < 256; c++) cmap[18 + c] = static_cast<BYTE>(c < count ? c : 0);
    // hmtx, with the widths of the codes.
    BYTE* hmtx = f + offsets[8];
    for (int i = 0; i < count; i++) {
        uint16_t adv = s.advanceMax;
        int16_t lsb = 0;
        PdfSubMetric(s, glyphs[i], &adv, &lsb);
        PutBe16(hmtx + 4 * i, adv);
        PutBe16(hmtx + 4 * i + 2, static_cast<uint16_t>(lsb));
        if (i < 256) d->widths[i] = static_cast<int32_t>(adv) * 1000 / s.unitsPerEm;
    }
    for (int i = 0; i < kSubsetTables; i++) {
        BYTE* r = f + 12 + 16 * i;
        PutBe32(r, Tag(kTags[i]));
        PutBe32(r + 4, PdfTableChecksum(f + offsets[i], sizes[i]));
        PutBe32(r + 8, static_cast<uint32_t>(offsets[i]));
        PutBe32(r + 12, static_cast<uint32_t>(sizes[i]));
    }
    PutBe32(head + 8, kChecksumMagic - PdfTableChecksum(f, total));
    *out = f;
    return total;
}

// ---- ToUnicode maps --------------------------------------------------------------------------

// A subset's codes are handed out in the order characters arrive, so no
// reader can tell the text from them: each subset gets a map from its codes
// back to the characters, written as a CMap stream.
constexpr int kToUnicodeBlock = 100;  // entries of one beginbfchar block at most
constexpr size_t kToUnicodeEntry = 14;  // "<XX> <XXXX>" and CR LF
constexpr size_t kToUnicodeRoom = 1024 + 256 * kToUnicodeEntry + 3 * 32;

static const char kToUnicodeHead[] =
    "/CIDInit /ProcSet findresource begin\r\n"
    "12 dict begin\r\n"
    "begincmap\r\n"
    "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\r\n"
    "/CMapName /Adobe-Identity-UCS def\r\n"
    "/CMapType 2 def\r\n"
    "1 begincodespacerange\r\n"
    "<00> <FF>\r\n"
    "endcodespacerange\r\n";
static const char kToUnicodeTail[] =
    "endcmap\r\n"
    "CMapName currentdict /CMap defineresource pop\r\n"
    "end\r\n"
    "end\r\n";

static bool PdfIsSurrogate(WORD ch) { return ch >= 0xD800 && ch <= 0xDFFF; }

// The characters of subset index by code (0: code not given), from the
// font's character map. A lone surrogate maps to nothing a reader could use.
static void PdfSubsetCharsByCode(const PdfTtfSubsets& sub, int index, WORD byCode[256]) {
    memset(byCode, 0, 256 * sizeof(WORD));
    for (int hi = 0; hi < 256; hi++) {
        const WORD* page = sub.pages[hi];
        if (!page) continue;
        for (int lo = 0; lo < 256; lo++) {
            WORD entry = page[lo];
            WORD ch = static_cast<WORD>((hi << 8) | lo);
            if (entry && (entry >> 8) == index && !PdfIsSurrogate(ch)) byCode[entry & 0xFF] = ch;
        }
    }
}

// The CMap text of one subset into out (kToUnicodeRoom bytes): its length.
static size_t PdfToUnicodeText(const WORD byCode[256], char* out) {
    size_t n = snprintf(out, kToUnicodeRoom, "%s", kToUnicodeHead);
    int total = 0;
    for (int c = 0; c < 256; c++) total += byCode[c] != 0;
    int inBlock = 0, left = total;
    for (int c = 0; c < 256; c++) {
        if (!byCode[c]) continue;
        if (!inBlock) {
            int count = left < kToUnicodeBlock ? left : kToUnicodeBlock;
            n += snprintf(out + n, kToUnicodeRoom - n, "%d beginbfchar\r\n", count);
            inBlock = count;
        }
        n += snprintf(out + n, kToUnicodeRoom - n, "<%02X> <%04X>\r\n", c, byCode[c]);
        left--;
        if (--inBlock == 0) n += snprintf(out + n, kToUnicodeRoom - n, "endbfchar\r\n");
    }
    n += snprintf(out + n, kToUnicodeRoom - n, "%s", kToUnicodeTail);
    return n;
}

// The ToUnicode stream of subset index: its object number, 0 when it could
// not be written.
static DWORD PdfWriteToUnicode(PdfDocRec* doc, const PdfTtfSubsets& sub, int index) {
    WORD byCode[256];
    PdfSubsetCharsByCode(sub, index, byCode);
    char* text = static_cast<char*>(GuardedAlloc(kToUnicodeRoom));
    if (!text) return 0;
    size_t len = PdfToUnicodeText(byCode, text);
    DWORD obj = 0;
    if (!PdfWriteStreamObject(doc, reinterpret_cast<BYTE*>(text), len, 0, &obj)) obj = 0;
    GuardedFree(text);
    return obj;
}

// ---- at the end of the document -------------------------------------------------------------

static bool PdfWriteSubsetFontDict(PdfDocRec* doc, PdfTtfFontRec* t, PdfSubsetRec* rec, DWORD descObj,
                                   const PdfTtfDesc* d, DWORD toUnicodeObj) {
    if (!PdfSetObjOffset(doc, rec->objNum)) return false;
    int last = rec->nextCode - 1;
    PdfPutUInt(doc, rec->objNum, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, " <<");
    PdfPutLine(doc, "    /Type /Font");
    PdfPutLine(doc, "    /Subtype /TrueType");
    if (doc->flags & kPdfFlagWinAnsi) PdfPutLine(doc, "    /Encoding /WinAnsiEncoding");
    PdfPutKeyNum(doc, "    /FirstChar ", 1);
    PdfPutKeyNum(doc, "    /LastChar ", last);
    PdfPutText(doc, "    /BaseFont /");
    PdfPutName(doc, d->psName);
    PdfPutName(doc, t->suffix ? t->suffix : "");
    PdfPutLine(doc, nullptr);
    PdfPutWidthsAndDescriptor(doc, d->widths, 1, last, descObj, toUnicodeObj);
    return true;
}

int PdfWriteSubsetFonts(PdfDocRec* doc) {
    for (PdfFontRec* f = doc->fonts; f; f = f->next) {
        PdfTtfFontRec* t = PdfAsTtf(f);
        if (!t) continue;
        for (int i = 0; i < t->subs.count; i++) {
            PdfSubsetRec* rec = t->subs.subsets[i];
            auto* d = static_cast<PdfTtfDesc*>(GuardedAlloc(sizeof(PdfTtfDesc)));
            if (!d) return kSubNoMemory;
            *d = t->desc;
            memset(d->widths, 0, sizeof d->widths);
            BYTE* file = nullptr;
            int rc = kSubOk;
            size_t len = PdfBuildSubsetFont(t, rec, d, &file, &rc);
            snprintf(d->psName, sizeof d->psName, "SF%u", static_cast<unsigned>(rec->objNum));
            DWORD fileObj = 0, descObj = 0, toUnicodeObj = 0;
            if (len && !PdfWriteFontFile(doc, file, len, &fileObj)) rc = kSubNoMemory;
            else if (len && !PdfWriteFontDescriptor(doc, d, fileObj, &descObj)) rc = kSubDescriptor;
            else if (len && !(toUnicodeObj = PdfWriteToUnicode(doc, t->subs, i))) rc = kSubNoMemory;
            else if (len && !PdfWriteSubsetFontDict(doc, t, rec, descObj, d, toUnicodeObj)) rc = kSubFontDict;
            GuardedFree(file);
            GuardedFree(d);
            if (rc) return rc;
        }
    }
    return kSubOk;
}
