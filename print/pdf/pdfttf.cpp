// pdfttf.cpp - TrueType font files in PDF documents: finding a face's file (the
// client ini's "PdfFonts" section, then the system's list of installed fonts),
// reading the metrics the PDF needs from its tables, and writing the font file
// stream, the font descriptor and the font dictionary. The file is read whole
// and every table is read through the bounded reader.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "print/pdf/pdfttf.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

// Load results, in the order the file is read.
enum PdfTtfResult {
    kTtfOk = 0, kTtfOpen = 1, kTtfOffsetTable = 2, kTtfTooManyTables = 3, kTtfTableRecords = 4, kTtfHead = 5,
    kTtfHhea = 6, kTtfCmapHeader = 7, kTtfEncodingRecord = 8, kTtfSubtableHeader = 9, kTtfNoUsableCmap = 10,
    kTtfCmap4Header = 11, kTtfCmap4Memory = 12, kTtfCmap4Body = 13, kTtfNoMetrics = 14, kTtfMetricsMemory = 15,
    kTtfHmtx4 = 16, kTtfHmtx0 = 17, kTtfNameHeader = 18, kTtfNameRecord = 19, kTtfNamesMissing = 20,
    kTtfPsName = 21, kTtfSubfamily = 22, kTtfOs2 = 23, kTtfFontFile = 24, kTtfDescriptor = 25,
    kTtfNoGlyphs = 26,  // maxp, loca or glyf missing or past the file's end
    kTtfHintingCut = 27,  // a hinting table (cvt, fpgm, prep) listed but past the file's end
};

constexpr uint32_t kTtfVersion1 = 0x00010000u, kTtfVersionTrue = 0x74727565u;  // 'true'
constexpr uint16_t kTtfMaxTables = 40;
constexpr size_t kTtfOffsetTableSize = 12, kTtfTableRecordSize = 16;
constexpr size_t kTtfHeadSize = 54, kTtfHheaSize = 36, kTtfOs2Size = 10;
constexpr int kTtfFirstChar = 32, kTtfLastChar = 254;
constexpr uint16_t kTtfNoGlyph = 0xFFFF;
constexpr uint16_t kTtfFsTypeRestricted = 2;
constexpr uint16_t kTtfLangEnglishUs = 0x409;
constexpr uint16_t kTtfNamePostScript = 6, kTtfNameSubfamily = 2;

static uint32_t TtfTag(const char* t) {
    return (static_cast<uint32_t>(static_cast<BYTE>(t[0])) << 24) | (static_cast<uint32_t>(static_cast<BYTE>(t[1])) << 16) |
           (static_cast<uint32_t>(static_cast<BYTE>(t[2])) << 8) | static_cast<BYTE>(t[3]);
}

// Codes 0x80-0x9F of the Windows ANSI code page (WinAnsiEncoding) as Unicode;
// 0 where the code page has no character. Taking them as Unicode would name
// the C1 controls, which no font draws.
static const uint16_t kPdfAnsiHigh[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

uint16_t PdfAnsiToUnicode(int code) {
    return code >= 0x80 && code <= 0x9F ? kPdfAnsiHigh[code - 0x80] : static_cast<uint16_t>(code);
}

// ---- finding the file -------------------------------------------------------------------

bool PdfFindFontFile(const char* face, int bold, int italic, char path[kPdfFontPathMax + 1]) {
    char key[kPdfFaceMax + 4];
    snprintf(key, sizeof key - 3, "%s", face);
    for (char* p = key; *p; p++)
        if (*p == ' ') *p = '_';
    static const char* const kBoldItalic[] = {"_BI", "_B", "_I", "", nullptr};
    static const char* const kBold[] = {"_B", "", nullptr};
    static const char* const kItalic[] = {"_I", "", nullptr};
    static const char* const kRegular[] = {"", nullptr};
    const char* const* suffixes = bold && italic ? kBoldItalic : bold ? kBold : italic ? kItalic : kRegular;
    size_t keyLen = strlen(key);
    for (; *suffixes && gPdfHooks.iniFont; suffixes++) {
        snprintf(key + keyLen, sizeof key - keyLen, "%s", *suffixes);
        const char* file = gPdfHooks.iniFont(key);
        if (file && *file) {
            snprintf(path, kPdfFontPathMax + 1, "%s", file);
            return true;
        }
        key[keyLen] = 0;
    }
    return PdfFindFontInRegistry(face, bold, italic, path);
}

static bool PdfStartsWithNoCase(const char* s, const char* prefix, size_t n) {
    for (size_t i = 0; i < n; i++) {
        char a = s[i], b = prefix[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b || !a) return false;
    }
    return true;
}

static void PdfFontListPath(const char* file, char path[kPdfFontPathMax + 1]) {
    if (file[0] && file[1] == ':') {
        snprintf(path, kPdfFontPathMax + 1, "%s", file);
        return;
    }
    const char* windir = getenv("WINDIR");
    snprintf(path, kPdfFontPathMax + 1, "%s\\Fonts\\%s", windir && *windir ? windir : "C:\\Windows", file);
}

// The installed fonts' list, whose names read "Face Style (TrueType)": a
// value with exactly the wanted style is taken at once (the regular style only
// from the face's own family, "Face (..."); short of it a value without style
// words, or, before one such was met, any value of the face.
bool PdfFindFontInRegistry(const char* face, int bold, int italic, char path[kPdfFontPathMax + 1]) {
    if (!gPdfHooks.fontListEntry) return false;
    constexpr size_t kValueMax = 400;
    bool wantBold = bold || strstr(face, "Bold"), wantItalic = italic || strstr(face, "Italic");
    size_t faceLen = strlen(face);
    char name[kValueMax + 1], file[kValueMax + 1];
    bool taken = false, plainMet = false;
    for (DWORD i = 0; gPdfHooks.fontListEntry(i, name, sizeof name, file, sizeof file); i++) {
        if (!PdfStartsWithNoCase(name, face, faceLen)) continue;
        bool exact = strlen(name) > faceLen + 1 && name[faceLen + 1] == '(';
        bool isBold = strstr(name, "Bold") != nullptr, isItalic = strstr(name, "Italic") != nullptr;
        bool plain = !isBold && !isItalic;
        bool take = false, stop = false;
        if (isBold == wantBold && isItalic == wantItalic && (wantBold || wantItalic || exact)) {
            take = stop = true;
        } else if (isBold == wantBold && isItalic == wantItalic) {
            take = true;
        } else if (plain) {
            take = true;
        } else {
            take = !plainMet || exact;
        }
        if (plain) plainMet = true;
        if (take) {
            PdfFontListPath(file, path);
            taken = true;
        }
        if (stop) break;
    }
    return taken;
}

// ---- reading the file -------------------------------------------------------------------

struct PdfTtfTable {
    size_t offset, length;
};

struct PdfTtfFile {
    ByteReader r;
    uint16_t tableCount;
    PdfTtfTable head, hhea, cmap, hmtx, name, os2;
};

// A table's place, when it lies inside the file; *listed tells whether the
// file lists it at all.
static bool PdfTtfFind(const PdfTtfFile& f, const char* tag, PdfTtfTable* out, bool* listed = nullptr) {
    uint32_t want = TtfTag(tag);
    if (listed) *listed = false;
    for (uint16_t i = 0; i < f.tableCount; i++) {
        size_t rec = kTtfOffsetTableSize + kTtfTableRecordSize * i;
        uint32_t t, off, len;
        if (!f.r.U32BeAt(rec, &t) || !f.r.U32BeAt(rec + 8, &off) || !f.r.U32BeAt(rec + 12, &len)) return false;
        if (t != want) continue;
        if (listed) *listed = true;
        if (!f.r.Has(off, len)) return false;
        out->offset = off;
        out->length = len;
        return true;
    }
    return false;
}

static int16_t I16(uint16_t v) { return static_cast<int16_t>(v); }

static int32_t PdfTtfScale(int32_t v, uint16_t unitsPerEm) { return v * 1000 / unitsPerEm; }

uint16_t PdfCmap4Lookup(const ByteReader& r, size_t off, uint16_t u) {
    uint16_t segX2 = 0;
    if (!r.U16BeAt(off + 6, &segX2) || segX2 == 0 || (segX2 & 1) || !r.Has(off, 16 + 4 * static_cast<size_t>(segX2)))
        return 0;
    size_t ends = off + 14, starts = ends + segX2 + 2, deltas = starts + segX2, ranges = deltas + segX2;
    for (size_t s = 0; s < segX2; s += 2) {
        uint16_t end = 0, start = 0, delta = 0, range = 0;
        r.U16BeAt(ends + s, &end);
        if (end < u) continue;
        r.U16BeAt(starts + s, &start);
        if (start > u) return 0;
        r.U16BeAt(deltas + s, &delta);
        r.U16BeAt(ranges + s, &range);
        if (range == 0) return static_cast<uint16_t>(u + delta);
        // An offset that points outside the file gives no glyph.
        uint16_t g = 0;
        if (!r.U16BeAt(ranges + s + range + 2 * static_cast<size_t>(u - start), &g) || !g) return 0;
        return static_cast<uint16_t>(g + delta);
    }
    return 0;
}

// Glyph ids of codes 32-254 (taken as Unicode, 0x80-0x9F through the ANSI
// code page) from a format 4 subtable; the highest id met.
static int PdfReadCmap4(const ByteReader& r, size_t off, uint16_t glyphs[256], uint16_t* highest) {
    uint16_t format, segX2;
    if (!r.U16BeAt(off, &format) || !r.U16BeAt(off + 6, &segX2)) return kTtfCmap4Header;
    if (segX2 == 0 || (segX2 & 1) || !r.Has(off, 16 + 4 * static_cast<size_t>(segX2))) return kTtfCmap4Body;
    *highest = 0;
    for (int c = kTtfFirstChar; c <= kTtfLastChar; c++) {
        uint16_t u = PdfAnsiToUnicode(c);
        uint16_t gid = u ? PdfCmap4Lookup(r, off, u) : 0;
        glyphs[c] = gid;
        if (gid != kTtfNoGlyph && gid > *highest) *highest = gid;
    }
    return kTtfOk;
}

// The chosen subtable: with WinAnsi the first Windows Unicode (3, 1) one of
// format 4; else the first of format 0, short of it the last of format 4.
static int PdfChooseCmap(const PdfTtfFile& f, bool winAnsi, size_t* sub, uint16_t* format) {
    const ByteReader& r = f.r;
    uint16_t count;
    if (!r.U16BeAt(f.cmap.offset + 2, &count)) return kTtfCmapHeader;
    for (int pass = winAnsi ? 0 : 1; pass < 2; pass++) {
        bool have4 = false;
        for (uint16_t i = 0; i < count; i++) {
            size_t rec = f.cmap.offset + 4 + 8 * static_cast<size_t>(i);
            uint16_t platform, encoding, fmt;
            uint32_t off;
            if (!r.U16BeAt(rec, &platform) || !r.U16BeAt(rec + 2, &encoding) || !r.U32BeAt(rec + 4, &off))
                return kTtfEncodingRecord;
            size_t at = f.cmap.offset + off;
            if (!r.U16BeAt(at, &fmt)) return pass == 0 ? kTtfEncodingRecord : kTtfSubtableHeader;
            if (pass == 0) {
                if (platform == 3 && encoding == 1 && fmt == 4) {
                    *sub = at, *format = 4;
                    return kTtfOk;
                }
                continue;
            }
            if (fmt == 0) {
                if (!r.Has(at, 6 + 256)) return kTtfSubtableHeader;
                *sub = at, *format = 0;
                return kTtfOk;
            }
            if (fmt == 4) *sub = at, *format = 4, have4 = true;
        }
        if (pass == 1 && have4) return kTtfOk;
    }
    return kTtfNoUsableCmap;
}

// The advance of a glyph: glyphs past the last metric take its advance, as
// TrueType has it (monospaced fonts list one metric).
static bool PdfAdvance(const PdfTtfFile& f, uint16_t metrics, uint16_t gid, uint16_t* adv) {
    uint16_t i = gid < metrics ? gid : static_cast<uint16_t>(metrics - 1);
    return 4u * (i + 1u) <= f.hmtx.length && f.r.U16BeAt(f.hmtx.offset + 4 * static_cast<size_t>(i), adv);
}

static int PdfReadWidths(const PdfTtfFile& f, bool winAnsi, uint16_t unitsPerEm, uint16_t maxAdvance,
                         uint16_t metrics, PdfTtfDesc* d) {
    size_t sub = 0;
    uint16_t format = 0;
    int rc = PdfChooseCmap(f, winAnsi, &sub, &format);
    if (rc) return rc;
    if (metrics == 0) return kTtfNoMetrics;
    uint16_t glyphs[256] = {};
    if (format == 4) {
        uint16_t highest;
        if ((rc = PdfReadCmap4(f.r, sub, glyphs, &highest)) != kTtfOk) return rc;
    } else {
        for (int c = kTtfFirstChar; c <= kTtfLastChar; c++) {
            BYTE g = 0;
            f.r.U8At(sub + 6 + static_cast<size_t>(c), &g);
            glyphs[c] = g;
        }
    }
    for (int c = kTtfFirstChar; c <= kTtfLastChar; c++) {
        uint16_t adv = maxAdvance, gid = glyphs[c];
        bool none = format == 4 && (gid == 0 || gid == kTtfNoGlyph);
        if (!none && !PdfAdvance(f, metrics, gid, &adv)) return format == 4 ? kTtfHmtx4 : kTtfHmtx0;
        d->widths[c] = PdfTtfScale(adv, unitsPerEm);
    }
    return kTtfOk;
}

// A name string as 8-bit text: UTF-16 names keep the low byte of each unit.
static bool PdfTtfName(const ByteReader& r, size_t at, uint16_t len, bool wide, char* out) {
    const BYTE* p = r.PtrAt(at, len);
    if (!p) return false;
    size_t n = 0;
    for (size_t i = wide ? 1 : 0; i < len; i += wide ? 2 : 1) out[n++] = static_cast<char>(p[i]);
    out[n] = 0;
    return true;
}

static int PdfReadNames(const PdfTtfFile& f, PdfTtfDesc* d) {
    const ByteReader& r = f.r;
    uint16_t count, strings;
    if (!r.U16BeAt(f.name.offset + 2, &count) || !r.U16BeAt(f.name.offset + 4, &strings)) return kTtfNameHeader;
    struct Found {
        bool have, wide;
        uint16_t len, off;
    } ps = {}, sub = {};
    for (uint16_t i = 0; i < count; i++) {
        size_t rec = f.name.offset + 6 + 12 * static_cast<size_t>(i);
        uint16_t platform, encoding, language, id, len, off;
        if (!r.U16BeAt(rec, &platform) || !r.U16BeAt(rec + 2, &encoding) || !r.U16BeAt(rec + 4, &language) ||
            !r.U16BeAt(rec + 6, &id) || !r.U16BeAt(rec + 8, &len) || !r.U16BeAt(rec + 10, &off))
            return kTtfNameRecord;
        bool mac = platform == 1 && encoding == 0, win = platform == 3 && language == kTtfLangEnglishUs;
        if (!mac && !win) continue;
        Found found = {true, win, len, off};
        if (id == kTtfNamePostScript) ps = found;
        else if (id == kTtfNameSubfamily) sub = found;
    }
    auto fits = [](const Found& n) { return n.have && n.len >= 1 && n.len <= kPdfFontNameMax; };
    if (!fits(ps) || !fits(sub)) return kTtfNamesMissing;
    size_t base = f.name.offset + strings;
    if (!PdfTtfName(r, base + ps.off, ps.len, ps.wide, d->psName)) return kTtfPsName;
    if (!PdfTtfName(r, base + sub.off, sub.len, sub.wide, d->subfamily)) return kTtfSubfamily;
    return kTtfOk;
}

int PdfReadTrueTypeFont(const BYTE* data, size_t size, bool winAnsi, PdfTtfDesc* d) {
    PdfTtfFile f = {ByteReader(data, size), 0, {}, {}, {}, {}, {}, {}};
    uint32_t version;
    // A CFF font ('OTTO') has no glyphs a TrueType font file may carry.
    if (!f.r.U32BeAt(0, &version) || !f.r.U16BeAt(4, &f.tableCount) || !f.r.Has(0, kTtfOffsetTableSize) ||
        (version != kTtfVersion1 && version != kTtfVersionTrue))
        return kTtfOffsetTable;
    if (f.tableCount > kTtfMaxTables) return kTtfTooManyTables;
    if (!f.r.Has(kTtfOffsetTableSize, kTtfTableRecordSize * f.tableCount)) return kTtfTableRecords;

    uint16_t unitsPerEm, maxAdvance, metrics, u16;
    if (!PdfTtfFind(f, "head", &f.head) || f.head.length < kTtfHeadSize ||
        !f.r.U16BeAt(f.head.offset + 18, &unitsPerEm) || unitsPerEm == 0)
        return kTtfHead;
    for (int i = 0; i < 4; i++) {
        f.r.U16BeAt(f.head.offset + 36 + 2 * static_cast<size_t>(i), &u16);
        d->bbox[i] = PdfTtfScale(I16(u16), unitsPerEm);
    }
    if (!PdfTtfFind(f, "hhea", &f.hhea) || f.hhea.length < kTtfHheaSize) return kTtfHhea;
    f.r.U16BeAt(f.hhea.offset + 4, &u16);
    d->ascent = PdfTtfScale(I16(u16), unitsPerEm);
    f.r.U16BeAt(f.hhea.offset + 6, &u16);
    d->descent = PdfTtfScale(I16(u16), unitsPerEm);
    f.r.U16BeAt(f.hhea.offset + 10, &maxAdvance);
    f.r.U16BeAt(f.hhea.offset + 34, &metrics);
    if (!PdfTtfFind(f, "cmap", &f.cmap) || f.cmap.length < 4) return kTtfCmapHeader;
    if (!PdfTtfFind(f, "hmtx", &f.hmtx)) f.hmtx.length = 0;
    int rc = PdfReadWidths(f, winAnsi, unitsPerEm, maxAdvance, metrics, d);
    if (rc) return rc;
    d->missingWidth = d->widths[kTtfFirstChar];  // the space
    d->flags = kPdfFontFlagSymbolic;
    if (d->widths[static_cast<BYTE>('i')] == d->widths[static_cast<BYTE>('w')]) d->flags |= kPdfFontFlagFixed;
    if (!PdfTtfFind(f, "name", &f.name) || f.name.length < 6) return kTtfNameHeader;
    if ((rc = PdfReadNames(f, d)) != kTtfOk) return rc;
    if (strstr(d->subfamily, "Bold")) d->flags |= kPdfFontFlagForceBold;
    if (strstr(d->subfamily, "Italic")) d->flags |= kPdfFontFlagItalic;
    uint16_t fsType;
    if (!PdfTtfFind(f, "OS/2", &f.os2) || f.os2.length < kTtfOs2Size || !f.r.U16BeAt(f.os2.offset + 8, &fsType))
        return kTtfOs2;
    d->embeddable = fsType != kTtfFsTypeRestricted;
    // The glyphs themselves, by the subsetter's rule, so that 8-bit text
    // (which embeds the file whole) and 16-bit text (which subsets it) refuse
    // the same files: maxp, loca and glyf inside the file, and each hinting
    // table the file lists (one cut short is a damaged file, not a font
    // without hinting).
    PdfTtfTable glyphs;
    if (!PdfTtfFind(f, "maxp", &glyphs) || !PdfTtfFind(f, "loca", &glyphs) || !PdfTtfFind(f, "glyf", &glyphs))
        return kTtfNoGlyphs;
    static const char* const kHintingTables[] = {"cvt ", "fpgm", "prep"};
    for (const char* hinting : kHintingTables) {
        bool listed;
        if (!PdfTtfFind(f, hinting, &glyphs, &listed) && listed) return kTtfHintingCut;
    }
    return kTtfOk;
}

// ---- writing the objects ------------------------------------------------------------------

void PdfPutKeyNum(PdfDocRec* doc, const char* key, int64_t v) {
    PdfPutText(doc, key);
    if (v < 0) PdfPutByte(doc, '-');
    PdfPutUInt(doc, static_cast<uint64_t>(v < 0 ? -v : v), 1);
    PdfPutLine(doc, nullptr);
}

// The whole file as a font file stream, compressed unless streams are not or
// Flate does not make it smaller; false when the object table cannot grow.
void PdfPutWidthsAndDescriptor(PdfDocRec* doc, const int32_t* widths, int first, int last, DWORD descObj,
                               DWORD toUnicodeObj) {
    PdfPutText(doc, "  /Widths [");
    for (int c = first; c <= last; c++) {
        if (c > first) PdfPutByte(doc, ' ');
        PdfPutInt(doc, widths[c], 1);
    }
    PdfPutLine(doc, "]");
    PdfPutText(doc, "  /FontDescriptor ");
    PdfPutUInt(doc, descObj, 1);
    PdfPutLine(doc, " 0 R");
    if (toUnicodeObj) {
        PdfPutText(doc, "  /ToUnicode ");
        PdfPutUInt(doc, toUnicodeObj, 1);
        PdfPutLine(doc, " 0 R");
    }
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);
}

bool PdfWriteFontFile(PdfDocRec* doc, BYTE* data, size_t len, DWORD* objOut) {
    return PdfWriteStreamObject(doc, data, len, len, objOut);
}

bool PdfWriteFontDescriptor(PdfDocRec* doc, const PdfTtfDesc* d, DWORD fileObj, DWORD* objOut) {
    DWORD obj = doc->nextObj;
    if (!PdfSetObjOffset(doc, obj)) return false;
    doc->nextObj++;
    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, "<<");
    PdfPutLine(doc, "  /Type /FontDescriptor");
    PdfPutText(doc, "  /FontName /");
    PdfPutName(doc, d->psName);
    PdfPutLine(doc, nullptr);
    PdfPutLine(doc, "  /ItalicAngle 0");
    PdfPutKeyNum(doc, "  /MissingWidth ", d->missingWidth);
    PdfPutKeyNum(doc, "  /Flags ", d->flags);
    PdfPutKeyNum(doc, "  /StemV ", 0);
    PdfPutKeyNum(doc, "  /Ascent ", d->ascent);
    PdfPutKeyNum(doc, "  /Descent ", d->descent);
    PdfPutText(doc, "  /FontBBox [");
    for (int i = 0; i < 4; i++) {
        if (i) PdfPutByte(doc, ' ');
        PdfPutInt(doc, d->bbox[i], 1);
    }
    PdfPutLine(doc, "]");
    if (fileObj) {
        PdfPutText(doc, "  /FontFile2 ");
        PdfPutUInt(doc, fileObj, 1);
        PdfPutLine(doc, " 0 R");
    }
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);
    *objOut = obj;
    return true;
}

static bool PdfSamePath(const char* a, const char* b) {
    size_t n = strlen(a);
    return n == strlen(b) && PdfStartsWithNoCase(a, b, n);
}

static const char* PdfStyleSuffix(const PdfTtfDesc* d, int bold, int italic, PdfFontRec* f) {
    bool fileBold = strstr(d->subfamily, "Bold") != nullptr, fileItalic = strstr(d->subfamily, "Italic") != nullptr;
    f->bold = static_cast<BYTE>(fileBold);
    f->italic = static_cast<BYTE>(fileItalic);
    if (bold && italic && !fileBold && !fileItalic) {
        f->bold = f->italic = 1;
        return ",BoldItalic";
    }
    if (bold && !fileBold) {
        f->bold = 1;
        return ",Bold";
    }
    if (italic && !fileItalic) {
        f->italic = 1;
        return ",Italic";
    }
    return "";
}

static bool PdfWriteTrueTypeFont(PdfDocRec* doc, const char* face, const PdfTtfDesc* d, DWORD descObj, int bold,
                                 int italic) {
    auto* t = static_cast<PdfTtfFontRec*>(GuardedAlloc(sizeof(PdfTtfFontRec)));
    if (!t) return false;
    memset(t, 0, sizeof *t);
    PdfFontRec* f = &t->rec;
    DWORD obj = doc->nextObj;
    if (!PdfSetObjOffset(doc, obj)) {
        GuardedFree(t);
        return false;
    }
    doc->nextObj++;
    f->objNum = obj;
    f->fontNum = doc->fontCounter++;
    f->kind = kPdfFontTrueType;
    snprintf(f->family, sizeof f->family, "%s", face);
    const char* suffix = PdfStyleSuffix(d, bold, italic, f);
    t->suffix = suffix;
    t->desc = *d;
    snprintf(f->baseFont, sizeof f->baseFont, "%s%s", d->psName, suffix);
    t->metrics.lead[0] = d->descent;
    t->metrics.lead[1] = 500;
    t->metrics.lead[2] = d->descent;
    t->metrics.lead[3] = d->ascent;
    for (int c = kTtfFirstChar; c <= kTtfLastChar; c++) t->metrics.widths[c] = d->widths[c];
    f->metrics = &t->metrics;
    f->next = doc->fonts;
    doc->fonts = f;

    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, " <<");
    PdfPutLine(doc, "    /Type /Font");
    PdfPutLine(doc, "    /Subtype /TrueType");
    if (doc->flags & kPdfFlagWinAnsi) PdfPutLine(doc, "    /Encoding /WinAnsiEncoding");
    PdfPutKeyNum(doc, "    /FirstChar ", kTtfFirstChar);
    PdfPutKeyNum(doc, "    /LastChar ", kTtfLastChar);
    PdfPutText(doc, "    /BaseFont /");
    PdfPutName(doc, d->psName);
    PdfPutName(doc, suffix);
    PdfPutLine(doc, nullptr);
    PdfPutWidthsAndDescriptor(doc, d->widths, kTtfFirstChar, kTtfLastChar, descObj);
    return true;
}

// The file whole in memory, within the checked size; null when it does not open
// or read.
BYTE* PdfReadFontFile(const char* path, size_t* size) {
    uintptr_t h = PdfFileOpen(path, kPdfFileReadOnly, kPdfOpenExisting);
    if (!h) return nullptr;
    int64_t end = PdfFileSeekEnd(h);
    CheckedSize room(end > 0 ? static_cast<uint64_t>(end) : 0);
    BYTE* data = nullptr;
    if (end > 0 && room.Fits() && PdfFileSeek(h, 0) == 0) {
        data = static_cast<BYTE*>(GuardedAlloc(room.Size()));
        if (data && PdfFileRead(h, data, room.Size()) != end) {
            GuardedFree(data);
            data = nullptr;
        }
    }
    PdfFileClose(h);
    *size = room.Size();
    return data;
}

int PdfLoadTrueTypeFont(PdfDocRec* doc, const char* face, const char* path, int bold, int italic) {
    size_t size = 0;
    BYTE* data = PdfReadFontFile(path, &size);
    if (!data) return kTtfOpen;
    auto* d = static_cast<PdfTtfDesc*>(GuardedAlloc(sizeof(PdfTtfDesc)));
    if (!d) {
        GuardedFree(data);
        return kTtfMetricsMemory;
    }
    memset(d, 0, sizeof *d);
    snprintf(d->path, sizeof d->path, "%s", path);
    int rc = PdfReadTrueTypeFont(data, size, (doc->flags & kPdfFlagWinAnsi) != 0, d);
    DWORD descObj = 0;
    for (PdfFontFileRec* e = doc->fontFiles; rc == kTtfOk && e && !descObj; e = e->next)
        if (PdfSamePath(e->path, path)) descObj = e->descObj;
    if (rc == kTtfOk && !descObj) {
        auto* entry = static_cast<PdfFontFileRec*>(GuardedAlloc(sizeof(PdfFontFileRec)));
        DWORD fileObj = 0;
        if (!entry) rc = kTtfDescriptor;
        else if ((doc->flags & kPdfFlagEmbedTrueType) && d->embeddable && !PdfWriteFontFile(doc, data, size, &fileObj))
            rc = kTtfFontFile;
        else if (!PdfWriteFontDescriptor(doc, d, fileObj, &descObj))
            rc = kTtfDescriptor;
        if (rc == kTtfOk) {
            entry->descObj = descObj;
            snprintf(entry->path, sizeof entry->path, "%s", path);
            entry->next = doc->fontFiles;
            doc->fontFiles = entry;
        } else {
            GuardedFree(entry);
        }
    }
    GuardedFree(data);
    if (rc == kTtfOk && !PdfWriteTrueTypeFont(doc, face, d, descObj, bold, italic)) rc = kTtfDescriptor;
    GuardedFree(d);
    return rc;
}
