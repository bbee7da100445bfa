// pdfdoc.cpp - the PDF document writer: the document record, the file layer,
// buffered output with its number and string writers, object numbering, the
// page end with its content stream, the page tree, the information dictionary
// and the end of the file (catalog, cross-reference table, trailer).
#include "print/pdf/pdf.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "print/pdf/pdfttf.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

// ---- hooks and shared state --------------------------------------------------

static bool PdfDefaultUserName(char* out, size_t size) {
    const char* name = getenv("USERNAME");
    if (!name) name = getenv("USER");
    if (!name || !size) return false;
    snprintf(out, size, "%s", name);
    return true;
}

static int64_t PdfDefaultNow() { return static_cast<int64_t>(time(nullptr)); }

// Without a system code page: Windows-1252, byte by byte (U+FFFD where it
// has no character).
static size_t PdfDefaultAnsiToWide(const BYTE* text, size_t n, WORD* out, size_t outMax) {
    size_t count = n < outMax ? n : outMax;
    for (size_t i = 0; i < count; i++) {
        WORD u = PdfAnsiToUnicode(text[i]);
        out[i] = u || !text[i] ? u : kPdfReplacementChar;
    }
    return count;
}

PdfHooks gPdfHooks = {
    PdfDefaultUserName,  // account name
    PdfDefaultNow,       // clock
    nullptr,             // default printer's print quality
    nullptr,             // font measuring on the reference device
    1,                   // console client
    nullptr,             // ini font files
    nullptr,             // installed fonts' list
    PdfDefaultAnsiToWide,  // ANSI code page to UTF-16
};
PdfJobGeom* gPdfCurJob = nullptr;
int gPdfErrNo = 0;
char gPdfErrorText[128];

constexpr DWORD kPdfObjTableStep = 200;
constexpr DWORD kPdfFirstObj = 3;
constexpr DWORD kPdfRootNode = 2;
constexpr size_t kPdfXrefLineLen = 20;      // a cross-reference entry with its CR LF
constexpr int kPdfZlibWindowBits = 14;  // a 16 KB window
constexpr int kPdfZlibMemLevel = 8;
constexpr double kPdfMargin = 9;            // points, top and left
constexpr double kPdfLetterWidth = 612, kPdfLetterHeight = 792;

// ---- file layer ---------------------------------------------------------------
// Open files are listed so that a handle can be checked before it is used: the
// handle is the entry's address, and one not in the list is refused.

struct PdfFileEntry {
    PdfFileEntry* next;
    FILE* stream;
};
static PdfFileEntry* gPdfFiles = nullptr;

static PdfFileEntry* PdfFindFile(uintptr_t h) {
    for (PdfFileEntry* e = gPdfFiles; e; e = e->next)
        if (reinterpret_cast<uintptr_t>(e) == h) return e;
    gPdfErrNo = kPdfErrBadHandle;
    return nullptr;
}

uintptr_t PdfFileOpen(const char* name, DWORD access, PdfFileCreate create) {
    const char* mode = (access & kPdfFileAccessMask) == kPdfFileReadOnly ? "rb"
                       : create == kPdfOpenCreate                         ? "wb+"
                                                                          : "rb+";
    auto* e = static_cast<PdfFileEntry*>(GuardedAlloc(sizeof(PdfFileEntry)));
    if (!e) {
        gPdfErrNo = kPdfErrNoMemory;
        return 0;
    }
    e->stream = fopen(name, mode);
    if (!e->stream) {
        GuardedFree(e);
        gPdfErrNo = kPdfErrNoFile;
        return 0;
    }
    e->next = gPdfFiles;
    gPdfFiles = e;
    return reinterpret_cast<uintptr_t>(e);
}

int64_t PdfFileSeek(uintptr_t h, int64_t offset) {
    PdfFileEntry* e = PdfFindFile(h);
    if (!e) return -1;
#ifdef _WIN32
    if (_fseeki64(e->stream, offset, SEEK_SET) != 0) return -1;
    return _ftelli64(e->stream);
#else
    if (fseeko(e->stream, static_cast<off_t>(offset), SEEK_SET) != 0) return -1;
    return static_cast<int64_t>(ftello(e->stream));
#endif
}

int64_t PdfFileSeekEnd(uintptr_t h) {
    PdfFileEntry* e = PdfFindFile(h);
    if (!e) return -1;
#ifdef _WIN32
    if (_fseeki64(e->stream, 0, SEEK_END) != 0) return -1;
    return _ftelli64(e->stream);
#else
    if (fseeko(e->stream, 0, SEEK_END) != 0) return -1;
    return static_cast<int64_t>(ftello(e->stream));
#endif
}

int64_t PdfFileRead(uintptr_t h, void* buf, size_t n) {
    PdfFileEntry* e = PdfFindFile(h);
    if (!e) return -1;
    return static_cast<int64_t>(fread(buf, 1, n, e->stream));
}

int64_t PdfFileWrite(uintptr_t h, const void* buf, size_t n) {
    PdfFileEntry* e = PdfFindFile(h);
    if (!e) return -1;
    return static_cast<int64_t>(fwrite(buf, 1, n, e->stream));
}

int PdfFileClose(uintptr_t h) {
    for (PdfFileEntry** link = &gPdfFiles; *link; link = &(*link)->next) {
        if (reinterpret_cast<uintptr_t>(*link) != h) continue;
        PdfFileEntry* e = *link;
        *link = e->next;
        // The last buffered bytes reach the disk here: a full disk shows now.
        // Their flush is asked for and the stream's error mark read before
        // the close, since some runtimes' fclose answers 0 when its own last
        // flush fails (Wine's msvcrt).
        bool failed = fflush(e->stream) != 0 || ferror(e->stream) != 0;
        if (fclose(e->stream) != 0) failed = true;
        GuardedFree(e);
        if (failed) {
            gPdfErrNo = kPdfErrWrite;
            return -1;
        }
        return 0;
    }
    gPdfErrNo = kPdfErrBadHandle;
    return -1;
}

// Creation and last-write times in seconds since 1970. The C runtime on Windows
// reports the creation time as st_ctime; elsewhere the status change time is
// the nearest there is.
int PdfFileTimes(uintptr_t h, int64_t* created, int64_t* written) {
    PdfFileEntry* e = PdfFindFile(h);
    if (!e) return -1;
    fflush(e->stream);
#ifdef _WIN32
    struct _stat64 st;
    if (_fstat64(_fileno(e->stream), &st) != 0) return -1;
#else
    struct stat st;
    if (fstat(fileno(e->stream), &st) != 0) return -1;
#endif
    *created = static_cast<int64_t>(st.st_ctime);
    *written = static_cast<int64_t>(st.st_mtime);
    return 0;
}

// ---- buffered output -------------------------------------------------------------

// A short write is remembered: the file is then incomplete, and PdfFinish
// must not report it as written.
static void PdfWriteOut(PdfDocRec* doc, const void* bytes, size_t n) {
    if (PdfFileWrite(doc->file, bytes, n) != static_cast<int64_t>(n)) doc->writeFailed = 1;
}

static void PdfFlush(PdfDocRec* doc) {
    if (doc->outFill) PdfWriteOut(doc, doc->outBuf, doc->outFill);
    doc->outFill = 0;
}

int PdfPutBytes(PdfDocRec* doc, const void* bytes, size_t n) {
    if (!n) return 0;  // an empty stream may have no buffer at all
    if (n >= kPdfOutBufSize) {
        PdfFlush(doc);
        PdfWriteOut(doc, bytes, n);
    } else {
        if (doc->outFill + n >= kPdfOutBufSize) PdfFlush(doc);
        memcpy(doc->outBuf + doc->outFill, bytes, n);
        doc->outFill += static_cast<DWORD>(n);
    }
    doc->filePos += n;
    return 0;
}

int PdfPutByte(PdfDocRec* doc, BYTE b) { return PdfPutBytes(doc, &b, 1); }

int PdfPutText(PdfDocRec* doc, const char* text) { return PdfPutBytes(doc, text, strlen(text)); }

int PdfPutLine(PdfDocRec* doc, const char* text) {
    if (text) PdfPutText(doc, text);
    if (doc->outFill + 2 >= kPdfOutBufSize) PdfFlush(doc);
    doc->outBuf[doc->outFill++] = '\r';
    doc->outBuf[doc->outFill++] = '\n';
    doc->filePos += 2;
    return 0;
}

// Decimal digits of v, zero-padded to minDigits; a minimum of 0 writes nothing
// for 0. Returns the count written into out (at least 20 + minDigits bytes).
static int PdfFormatUInt(char* out, uint64_t v, int minDigits) {
    char tmp[24];
    int n = 0;
    while (v) {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    int len = 0;
    for (int i = n; i < minDigits && i < 20; i++) out[len++] = '0';
    while (n) out[len++] = tmp[--n];
    return len;
}

int PdfPutUInt(PdfDocRec* doc, uint64_t value, int minDigits) {
    char buf[48];
    return PdfPutBytes(doc, buf, PdfFormatUInt(buf, value, minDigits));
}

int PdfPutInt(PdfDocRec* doc, int32_t value, int minDigits) {
    if (value < 0) {
        PdfPutByte(doc, '-');
        return PdfPutUInt(doc, static_cast<uint64_t>(-static_cast<int64_t>(value)), minDigits);
    }
    return PdfPutUInt(doc, static_cast<uint64_t>(value), minDigits);
}

int PdfPutFixed3(PdfDocRec* doc, double value) {
    if (!(value > 0)) value = 0;
    auto milli = static_cast<uint64_t>(value * 1000.0 + 1e-7);
    PdfPutUInt(doc, milli / 1000, 1);
    PdfPutByte(doc, '.');
    return PdfPutUInt(doc, milli % 1000, 3);
}

// A literal string. Besides the delimiters and the backslash, CR is escaped:
// a bare CR inside a literal string is read back as LF by every PDF reader.
// In an encrypted document a string of an object (obj not 0) is encrypted
// with that object's key first, in a copy: callers pass literals and texts
// they keep, and the escaping then covers the encrypted bytes.
int PdfPutString(PdfDocRec* doc, const void* bytes, size_t n, PdfLineEnd end, DWORD obj) {
    const BYTE* p = static_cast<const BYTE*>(bytes);
    BYTE small[256];
    BYTE* copy = nullptr;
    if (!doc->encryptObj) {
        doc->flags |= kPdfFlagClearText;
    } else if (obj && n) {
        copy = n <= sizeof small ? small : static_cast<BYTE*>(GuardedAlloc(n));
        if (!copy) {
            gPdfErrNo = kPdfErrNoMemory;
            doc->writeFailed = 1;  // a string cannot go out in the clear
            return kPdfFail;
        }
        memcpy(copy, p, n);
        PdfEncryptBuf(doc, copy, n, obj);
        p = copy;
    }
    PdfPutByte(doc, '(');
    size_t run = 0;
    for (size_t i = 0; i < n; i++) {
        BYTE c = p[i];
        if (c != '(' && c != ')' && c != '\\' && c != '\r' && c != '\n') continue;
        PdfPutBytes(doc, p + run, i - run);
        // CR and LF go as \r and \n: a raw line end in a literal string is
        // read back as one LF by the rule, and some readers (Ghostscript) stop
        // at a raw LF inside the /O and /U values of the encryption.
        char esc[2] = {'\\', static_cast<char>(c == '\r' ? 'r' : c == '\n' ? 'n' : c)};
        PdfPutBytes(doc, esc, 2);
        run = i + 1;
    }
    PdfPutBytes(doc, p + run, n - run);
    PdfPutByte(doc, ')');
    if (end == kPdfEndLine) PdfPutLine(doc, nullptr);
    if (copy && copy != small) GuardedFree(copy);
    return 0;
}

// A name after its '/': bytes outside 0x21-0x7E, '#' and the delimiters are
// written as #xx, so a font name with a blank stays one name token.
bool PdfWriteStreamObject(PdfDocRec* doc, BYTE* data, size_t len, size_t length1, DWORD* objOut) {
    DWORD obj = doc->nextObj;
    if (!PdfSetObjOffset(doc, obj)) return false;
    doc->nextObj++;
    BYTE* packed = nullptr;
    size_t packedLen = (doc->flags & kPdfFlagUncompressed) ? 0 : PdfDeflateNew(data, len, &packed);
    BYTE* body = packedLen ? packed : data;
    size_t bodyLen = packedLen ? packedLen : len;
    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, "<<");
    if (packedLen) PdfPutLine(doc, "    /Filter /FlateDecode ");
    PdfPutText(doc, "    /Length ");
    PdfPutUInt(doc, bodyLen, 1);
    PdfPutLine(doc, nullptr);
    if (length1) {
        PdfPutText(doc, "    /Length1 ");
        PdfPutUInt(doc, length1, 1);
        PdfPutLine(doc, nullptr);
    }
    PdfPutLine(doc, " >>");
    PdfPutStreamBody(doc, body, bodyLen, obj);
    GuardedFree(packed);
    *objOut = obj;
    return true;
}

int PdfPutName(PdfDocRec* doc, const char* name) {
    static const char kHex[] = "0123456789ABCDEF";
    for (const BYTE* p = reinterpret_cast<const BYTE*>(name); *p; p++) {
        BYTE c = *p;
        if (c < 0x21 || c > 0x7E || strchr("#()<>[]{}/%", c)) {
            char esc[3] = {'#', kHex[c >> 4], kHex[c & 15]};
            PdfPutBytes(doc, esc, 3);
        } else {
            PdfPutByte(doc, c);
        }
    }
    return 0;
}

// ---- objects -------------------------------------------------------------------------

// Notes the current position as the object's offset, growing the table in steps
// of 200 entries until the number fits.
bool PdfSetObjOffset(PdfDocRec* doc, DWORD obj) {
    if (obj >= doc->objCapacity) {
        DWORD cap = doc->objCapacity;
        while (obj >= cap) cap += kPdfObjTableStep;
        CheckedSize bytes(cap);
        bytes.Mul(sizeof(uint64_t));
        if (!bytes.Fits()) return false;
        auto* table = static_cast<uint64_t*>(GuardedAlloc(bytes.Size()));
        if (!table) return false;
        memset(table, 0, bytes.Size());
        memcpy(table, doc->objOffsets, doc->objCapacity * sizeof(uint64_t));
        GuardedFree(doc->objOffsets);
        doc->objOffsets = table;
        doc->objCapacity = cap;
    }
    doc->objOffsets[obj] = doc->filePos;
    return true;
}

static void PdfPutObjHead(PdfDocRec* doc, DWORD obj) {
    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
}

static void PdfPutRef(PdfDocRec* doc, DWORD obj) {
    PdfPutUInt(doc, obj, 1);
    PdfPutText(doc, " 0 R");
}

// ---- document begin ----------------------------------------------------------------

static int PdfDefaultResolution() {
    int q = 0;
    if (gPdfCurJob && gPdfCurJob->kind == kPdfJobGeomKind) q = gPdfCurJob->printQuality;
    else if (gPdfHooks.defaultPrintQuality) q = gPdfHooks.defaultPrintQuality();
    return q == 300 ? 300 : 600;
}

int PdfBegin(const char* fileName, PdfDocRec** out, DWORD options, int resolution) {
    *out = nullptr;
    // A name that does not fit is refused, never cut: the cut name would be
    // another file, written (or overwritten) in its place.
    if (fileName && strnlen(fileName, kPdfFileNameMax + 1) > kPdfFileNameMax) {
        snprintf(gPdfErrorText, sizeof gPdfErrorText, "the file name passes %d characters", kPdfFileNameMax);
        return kPdfFail;
    }
    auto* doc = static_cast<PdfDocRec*>(GuardedAlloc(sizeof(PdfDocRec)));
    if (!doc) return kPdfFail;
    memset(doc, 0, sizeof(PdfDocRec));
    *out = doc;

    DWORD f = kPdfFlagsAtBegin;
    if (options & kPdfOptUncompressed) f |= kPdfFlagUncompressed;
    if (options & kPdfOptNoInfo) f |= kPdfFlagNoInfo;
    if (options & kPdfOptNoEmbed) f &= ~kPdfFlagEmbedTrueType;
    if (options & kPdfOptWinAnsi) f |= kPdfFlagWinAnsi;
    if (options & kPdfOptKeepFamily) f |= kPdfFlagKeepFamily;
    if (options & kPdfOptPreferTrueType) f |= kPdfFlagPreferTrueType;
    if (options & (kPdfOpt16BitText | kPdfOptUtf16Text)) {
        f &= ~(kPdfFlagKeepFamily | kPdfFlagEmbedTrueType);
        f |= kPdfFlag16BitText | kPdfFlagPreferTrueType;
    }
    if (options & kPdfOptKeepLineHeight) f |= kPdfFlagKeepLineHeight;
    if (options & kPdfOptFontOption) f |= kPdfFlagFontOption;
    if (options & kPdfOptAltBaseline) f |= kPdfFlagAltBaseline;
    doc->flags = f;

    doc->objCapacity = kPdfObjTableStep;
    doc->objOffsets = static_cast<uint64_t*>(GuardedAlloc(kPdfObjTableStep * sizeof(uint64_t)));
    if (!doc->objOffsets) {
        *out = nullptr;
        GuardedFree(doc);
        return kPdfFail;
    }
    memset(doc->objOffsets, 0, kPdfObjTableStep * sizeof(uint64_t));

    snprintf(doc->fileName, sizeof doc->fileName, "%s", fileName ? fileName : "");
    doc->file = PdfFileOpen(doc->fileName, kPdfFileReadWrite, kPdfOpenCreate);
    if (!doc->file) {
        *out = nullptr;
        GuardedFree(doc->objOffsets);
        GuardedFree(doc);
        return kPdfFail;
    }

    doc->pageWidth = kPdfLetterWidth;
    doc->pageHeight = kPdfLetterHeight;
    bool noMargin = (options & kPdfOptNoMargin) != 0;
    doc->topMargin = doc->leftMargin = noMargin ? 0 : kPdfMargin;

    static const BYTE kBinaryComment[] = {0x25, 0x7F, 0x80, 0x81, 0x82, 0};
    PdfPutLine(doc, "%PDF-1.4");
    PdfPutLine(doc, reinterpret_cast<const char*>(kBinaryComment));
    doc->objOffsets[0] = 0;

    doc->pageCounter = 1;
    doc->imageCounter = doc->fontCounter = 1;
    doc->tree[0].node = kPdfRootNode;
    doc->nextObj = kPdfFirstObj;

    doc->fontSize = 11;
    doc->unitMode = kPdfUnitCells;
    doc->resolution = resolution == 300 ? 300 : resolution == 0 ? PdfDefaultResolution() : 600;
    doc->lastFill = doc->lastStroke = kPdfNoColour;
    doc->foreground = 0;
    doc->background = 0xFFFFFF;

    PdfSelectFont(doc, "Courier", 0, 0);

    doc->cellWidth = doc->defCellWidth = doc->fontCellWidth = kPdfCellWidth;
    doc->lineHeight = doc->defLineHeight = doc->fontLineHeight = kPdfLineHeight;
    PdfMoveTo(doc, 1, 1);
    return kPdfOk;
}

// ---- pages ---------------------------------------------------------------------------

void PdfStartPage(PdfDocRec* doc) {
    if (!(doc->flags & kPdfFlagPageStarted)) doc->flags |= kPdfFlagPageStarted;
    else PdfNewPage(doc);
}

void PdfNewPage(PdfDocRec* doc) {
    PdfEndPage(doc);
    doc->lastFill = doc->lastStroke = kPdfNoColour;
    PdfMoveTo(doc, 1, 1);
}

// Compresses the content with a 16 KB window into a buffer of the worst-case
// size; answers the compressed length, or 0 when zlib failed or the result is
// not smaller (the content is then written as it is).
size_t PdfDeflate(const BYTE* src, size_t len, BYTE* dst, size_t cap) {
    if (len > UINT32_MAX || cap > UINT32_MAX) return 0;  // beyond one zlib call
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kPdfZlibWindowBits, kPdfZlibMemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return 0;
    zs.next_in = const_cast<BYTE*>(src);
    zs.avail_in = static_cast<uInt>(len);
    zs.next_out = dst;
    zs.avail_out = static_cast<uInt>(cap);
    int rc = deflate(&zs, Z_FINISH);
    uLong out = zs.total_out;
    deflateEnd(&zs);
    return rc == Z_STREAM_END && out < len ? out : 0;
}

size_t PdfDeflateNew(const BYTE* src, size_t len, BYTE** out) {
    *out = nullptr;
    if (!len || len > UINT32_MAX) return 0;
    uLong cap = compressBound(static_cast<uLong>(len));
    *out = static_cast<BYTE*>(GuardedAlloc(cap));
    if (!*out) return 0;
    size_t n = PdfDeflate(src, len, *out, cap);
    if (!n) {
        GuardedFree(*out);
        *out = nullptr;
    }
    return n;
}

void PdfPutStreamBody(PdfDocRec* doc, BYTE* bytes, size_t n, DWORD obj) {
    PdfPutLine(doc, "stream");
    PdfEncryptBuf(doc, bytes, n, obj);
    PdfPutBytes(doc, bytes, n);
    PdfPutLine(doc, nullptr);
    PdfPutLine(doc, "endstream");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);
}

static void PdfWriteContent(PdfDocRec* doc, DWORD obj) {
    BYTE* packed = nullptr;
    size_t packedLen = 0;
    if (!(doc->flags & kPdfFlagUncompressed)) packedLen = PdfDeflateNew(doc->content, doc->contentLen, &packed);
    // Encrypted after compression, with the content object's key.
    if (packedLen) PdfEncryptBuf(doc, packed, packedLen, obj);
    else if (doc->contentLen) PdfEncryptBuf(doc, doc->content, doc->contentLen, obj);
    if (packedLen) {
        PdfPutLine(doc, "  <</Filter /FlateDecode ");
        PdfPutText(doc, "    /Length ");
        PdfPutUInt(doc, packedLen, 1);
        PdfPutLine(doc, " >>");
        PdfPutLine(doc, "stream");
        PdfPutBytes(doc, packed, packedLen);
        PdfPutLine(doc, nullptr);
    } else {
        PdfPutText(doc, "  <</Length ");
        PdfPutUInt(doc, doc->contentLen, 1);
        PdfPutLine(doc, " >>");
        PdfPutLine(doc, "stream");
        if (doc->contentLen) {
            PdfPutBytes(doc, doc->content, doc->contentLen);
            PdfPutLine(doc, nullptr);
        }
    }
    GuardedFree(packed);
    doc->contentLen = 0;
}

static void PdfPutUsedList(PdfDocRec* doc, PdfListRec* list, const char* prefix) {
    for (PdfListRec* e = list; e; e = e->next) {
        if (!e->used) continue;
        e->used = 0;
        PdfPutText(doc, prefix);
        PdfPutUInt(doc, e->resNum, 1);
        PdfPutByte(doc, ' ');
        PdfPutRef(doc, e->objNum);
    }
}

static bool PdfAnyUsed(const PdfListRec* list) {
    for (; list; list = list->next)
        if (list->used) return true;
    return false;
}

int PdfEndPage(PdfDocRec* doc) {
    DWORD content = doc->nextObj;
    DWORD page = content + 1;
    doc->nextObj += 2;
    if (!PdfSetObjOffset(doc, content)) return kPdfFail;
    PdfPutObjHead(doc, content);
    PdfWriteContent(doc, content);
    PdfPutLine(doc, "endstream");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);

    PdfAddPageToTree(doc, page);
    if (!PdfSetObjOffset(doc, page)) return kPdfFail;
    doc->pageCounter++;

    PdfPutObjHead(doc, page);
    PdfPutLine(doc, " << /Type /Page");
    PdfPutText(doc, "    /Parent ");
    PdfPutRef(doc, doc->tree[0].node);
    PdfPutLine(doc, nullptr);
    PdfPutText(doc, "    /MediaBox [ 0 0 ");
    PdfPutFixed3(doc, doc->pageWidth);
    PdfPutByte(doc, ' ');
    PdfPutFixed3(doc, doc->pageHeight);
    PdfPutLine(doc, "]");
    if (doc->annots) {
        PdfPutText(doc, "    /Annots [ ");
        while (PdfListRec* a = doc->annots) {
            doc->annots = a->next;
            PdfPutRef(doc, a->objNum);
            PdfPutByte(doc, ' ');
            GuardedFree(a);
        }
        PdfPutLine(doc, "]");
    }
    PdfPutText(doc, "    /Contents ");
    PdfPutRef(doc, content);
    PdfPutLine(doc, nullptr);
    PdfPutText(doc, "    /Resources << /Font << ");
    for (PdfFontRec* f = doc->fonts; f; f = f->next) {
        PdfPutUsedSubsets(doc, f);
        if (!f->used) continue;
        f->used = 0;
        PdfPutText(doc, f->kind == kPdfFontTrueType ? " /TF" : " /F");
        PdfPutUInt(doc, f->fontNum, 1);
        PdfPutByte(doc, ' ');
        PdfPutRef(doc, f->objNum);
    }
    PdfPutLine(doc, " >>");
    if (doc->curFont) doc->curFont->used = 1;
    if (PdfAnyUsed(doc->images) || PdfAnyUsed(doc->images2) || PdfAnyUsed(doc->forms)) {
        PdfPutText(doc, "                  /XObject <<");
        PdfPutUsedList(doc, doc->images, " /Img");
        PdfPutUsedList(doc, doc->images2, " /Img");
        PdfPutUsedList(doc, doc->forms, " /PDFForm");
        PdfPutLine(doc, " >>");
    }
    PdfPutLine(doc, "               >>");
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);
    return kPdfOk;
}

// ---- page tree -----------------------------------------------------------------------
// Built bottom-up with at most ten kids per node; a full node is written as soon
// as the next kid arrives, so only one open node per level is kept.

int PdfAddPageToTree(PdfDocRec* doc, DWORD page) {
    DWORD child = page;
    int result = 0;
    for (int L = 0; L <= doc->treeDepth; L++) {
        PdfTreeLevel* lvl = &doc->tree[L];
        if (child) {
            if (lvl->kidCount == kPdfTreeFanout) {
                if (L == doc->treeDepth) {
                    if (L + 1 == kPdfTreeLevels) return kPdfTreeTooDeep;
                    doc->treeDepth = static_cast<BYTE>(L + 1);
                    PdfTreeLevel* top = &doc->tree[L + 1];
                    memset(top, 0, sizeof *top);
                    top->node = doc->nextObj++;
                    top->kids[0] = lvl->node;
                    top->kidCount = 1;
                    top->pageCount = lvl->pageCount;
                    lvl->parent = top->node;
                }
                result = PdfWritePagesNode(doc, L);
                lvl->node = doc->nextObj++;
                lvl->kids[0] = child;
                lvl->kidCount = 1;
                lvl->pageCount = 0;
                child = lvl->node;
                if (L > 0) doc->tree[L - 1].parent = lvl->node;
            } else {
                lvl->kids[lvl->kidCount++] = child;
                child = 0;
            }
        }
        lvl->pageCount++;
    }
    return result;
}

int PdfWritePagesNode(PdfDocRec* doc, int level) {
    PdfTreeLevel* lvl = &doc->tree[level];
    if (!PdfSetObjOffset(doc, lvl->node)) return kPdfFail;
    PdfPutObjHead(doc, lvl->node);
    PdfPutLine(doc, " << /Type /Pages");
    if (lvl->parent) {
        PdfPutText(doc, "    /Parent ");
        PdfPutRef(doc, lvl->parent);
        PdfPutLine(doc, nullptr);
    }
    PdfPutText(doc, "    /Kids [ ");
    for (DWORD k = 0; k < lvl->kidCount; k++) {
        PdfPutRef(doc, lvl->kids[k]);
        PdfPutLine(doc, nullptr);
    }
    PdfPutLine(doc, " ]");
    PdfPutText(doc, "    /Count ");
    PdfPutUInt(doc, lvl->pageCount, 1);
    PdfPutLine(doc, nullptr);
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);
    return kPdfOk;
}

// ---- document information ------------------------------------------------------------

static const char kPdfVersionConsole[] = "10.6  QOVCON   18";
static const char kPdfVersionWindows[] = "10.6  QOVWIN   18";

void PdfDateText(char* out, int64_t when) {
    time_t t = static_cast<time_t>(when ? when : gPdfHooks.now());
    struct tm tmv;
#ifdef _WIN32
    localtime_s(&tmv, &t);
#else
    localtime_r(&t, &tmv);
#endif
    char buf[32];
    snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", (tmv.tm_year + 1900) % 10000,
             tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
    memcpy(out, buf, 14);
    out[14] = 0;
}

static bool PdfHasHighBytes(const char* text, size_t n) {
    for (size_t i = 0; i < n; i++)
        if (static_cast<BYTE>(text[i]) >= 0x80) return true;
    return false;
}

// An information text. Readers take a string without a byte-order mark as
// PDFDocEncoding, which differs from the ANSI code page above 0x7F (the euro
// sign would read as a bullet): a text with such bytes is converted from the
// code page and written as UTF-16BE behind FE FF. ASCII goes as it stands.
static void PdfPutInfoText(PdfDocRec* doc, const char* text, size_t n) {
    if (!PdfHasHighBytes(text, n)) {
        PdfPutString(doc, text, n, kPdfEndLine, doc->infoObj);
        return;
    }
    WORD* wide = static_cast<WORD*>(GuardedAlloc((n + 1) * sizeof(WORD)));
    BYTE* utf16 = static_cast<BYTE*>(GuardedAlloc((n + 1) * 2));
    if (!wide || !utf16) {
        GuardedFree(wide);
        GuardedFree(utf16);
        gPdfErrNo = kPdfErrNoMemory;
        doc->writeFailed = 1;  // the value would be lost
        PdfPutString(doc, "", 0, kPdfEndLine, doc->infoObj);
        return;
    }
    size_t units = gPdfHooks.ansiToWide(reinterpret_cast<const BYTE*>(text), n, wide, n);
    utf16[0] = 0xFE;
    utf16[1] = 0xFF;
    for (size_t i = 0; i < units; i++) {
        utf16[2 + 2 * i] = static_cast<BYTE>(wide[i] >> 8);
        utf16[3 + 2 * i] = static_cast<BYTE>(wide[i]);
    }
    PdfPutString(doc, utf16, 2 + 2 * units, kPdfEndLine, doc->infoObj);
    GuardedFree(wide);
    GuardedFree(utf16);
}

void PdfPutUserName(PdfDocRec* doc) {
    char name[256] = "";
    if (!gPdfHooks.userName || !gPdfHooks.userName(name, sizeof name)) name[0] = 0;
    PdfPutInfoText(doc, name, strlen(name));
}

static void PdfPutInfoValue(PdfDocRec* doc, const char* key, const PdfOptValue& v) {
    PdfPutText(doc, key);
    PdfPutInfoText(doc, v.text, v.len);
}

int PdfWriteInfo(PdfDocRec* doc, const PdfInfoOpts* opts) {
    if (doc->infoObj) return kPdfFail;
    DWORD obj = doc->nextObj++;
    if (!PdfSetObjOffset(doc, obj)) return kPdfFail;
    doc->infoObj = obj;
    PdfPutObjHead(doc, obj);
    PdfPutLine(doc, " <<");

    char date[17] = "D:";
    if (opts->created.len > 1) {
        DWORD n = opts->created.len < 14 ? opts->created.len : 14;
        memcpy(date + 2, opts->created.text, n);
        date[2 + n] = 0;
    } else {
        PdfDateText(date + 2, 0);
    }
    PdfOptValue dateValue = {date, static_cast<DWORD>(strlen(date))};
    PdfPutInfoValue(doc, "    /CreationDate ", dateValue);
    PdfPutInfoValue(doc, "    /ModDate ", dateValue);

    if (opts->author.text) {
        PdfPutInfoValue(doc, "    /Author ", opts->author);
    } else {
        PdfPutText(doc, "    /Author ");
        PdfPutUserName(doc);
    }
    PdfOptValue fileTitle = {doc->fileName, static_cast<DWORD>(strlen(doc->fileName))};
    PdfPutInfoValue(doc, "    /Title  ", opts->title.text ? opts->title : fileTitle);
    if (opts->subject.text) PdfPutInfoValue(doc, "    /Subject  ", opts->subject);
    const char* version = gPdfHooks.consoleMode ? kPdfVersionConsole : kPdfVersionWindows;
    PdfOptValue versionValue = {version, static_cast<DWORD>(strlen(version))};
    PdfPutInfoValue(doc, "    /Creator ", versionValue);
    PdfPutInfoValue(doc, "    /Producer ", opts->producer.text ? opts->producer : versionValue);
    if (opts->keywords.text) PdfPutInfoValue(doc, "    /Keywords ", opts->keywords);
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);
    return kPdfOk;
}

// ---- document end --------------------------------------------------------------------

static void PdfFreeList(PdfListRec* list) {
    while (list) {
        PdfListRec* next = list->next;
        GuardedFree(list);
        list = next;
    }
}

bool PdfFormatXrefOffset(uint64_t offset, char out[kPdfXrefOffsetDigits]) {
    if (offset > kPdfXrefOffsetMax) return false;
    PdfFormatUInt(out, offset, kPdfXrefOffsetDigits);
    return true;
}

// The cross-reference table. Every line is 20 bytes with its CR LF. A number
// that was reserved but never written (its offset is still 0: no object starts
// at the header) is listed as free, so no reader is sent to offset 0. So is an
// object beyond the ten digits of an entry, and the document is then refused:
// an entry cut to its low digits would send readers into the wrong object.
static void PdfWriteXref(PdfDocRec* doc) {
    static const char kFreeEntry[] = "0000000000 65535 f\r\n";
    PdfPutLine(doc, "xref");
    PdfPutText(doc, "0 ");
    PdfPutUInt(doc, doc->nextObj, 1);
    PdfPutLine(doc, nullptr);
    PdfPutLine(doc, "0000000000 65535 f");
    char line[kPdfXrefLineLen];
    memcpy(line + kPdfXrefOffsetDigits, " 00000 n\r\n", kPdfXrefLineLen - kPdfXrefOffsetDigits);
    for (DWORD obj = 1; obj < doc->nextObj; obj++) {
        uint64_t off = obj < doc->objCapacity ? doc->objOffsets[obj] : 0;
        bool addressed = off && PdfFormatXrefOffset(off, line);
        if (off && !addressed) doc->tooLarge = 1;
        PdfPutBytes(doc, addressed ? line : kFreeEntry, kPdfXrefLineLen);
    }
    PdfPutLine(doc, nullptr);
}

static void PdfPutHex(PdfDocRec* doc, const BYTE* bytes, int n) {
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < n; i++) {
        char two[2] = {kHex[bytes[i] >> 4], kHex[bytes[i] & 15]};
        PdfPutBytes(doc, two, 2);
    }
}

int PdfFinish(PdfDocRec* doc) {
    if (!doc) return kPdfOk;
    if (doc->pageCounter == 1 || doc->contentLen) PdfEndPage(doc);
    for (int L = 0; L <= doc->treeDepth; L++)
        if (doc->tree[L].kidCount) PdfWritePagesNode(doc, L);
    int fontResult = PdfWriteFonts(doc);
    if (!doc->infoObj && !(doc->flags & kPdfFlagNoInfo)) {
        PdfInfoOpts empty;
        memset(&empty, 0, sizeof empty);
        PdfWriteInfo(doc, &empty);
    }

    PdfSetObjOffset(doc, 1);
    PdfPutLine(doc, "1 0 obj");
    PdfPutLine(doc, " << /Type /Catalog");
    PdfPutText(doc, "    /Pages ");
    PdfPutRef(doc, doc->tree[doc->treeDepth].node);
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);

    uint64_t xrefStart = doc->filePos;
    PdfWriteXref(doc);
    PdfPutLine(doc, "trailer");
    PdfPutText(doc, " << /Size ");
    PdfPutUInt(doc, doc->nextObj, 1);
    PdfPutLine(doc, nullptr);
    PdfPutLine(doc, "    /Root 1 0 R");
    if (doc->infoObj) {
        PdfPutText(doc, "    /Info ");
        PdfPutRef(doc, doc->infoObj);
        PdfPutLine(doc, nullptr);
    }
    if (doc->encryptObj) {
        PdfPutText(doc, "    /Encrypt ");
        PdfPutRef(doc, doc->encryptObj);
        PdfPutLine(doc, nullptr);
        PdfPutText(doc, "    /ID [");
        for (int i = 0; i < 2; i++) {
            PdfPutText(doc, " <");
            PdfPutHex(doc, doc->fileId, 16);
            PdfPutByte(doc, '>');
        }
        PdfPutLine(doc, " ]");
    }
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "startxref");
    PdfPutUInt(doc, xrefStart, 1);
    PdfPutLine(doc, nullptr);
    PdfPutLine(doc, "%%EOF");

    PdfFlush(doc);
    if (PdfFileClose(doc->file) != 0) doc->writeFailed = 1;
    bool writeFailed = doc->writeFailed != 0, tooLarge = doc->tooLarge != 0;
    bool contentLost = doc->contentLost != 0;
    // A document whose encryption was refused is not left in the clear.
    bool unprotected = doc->protectRefused && !doc->encryptObj;
    if (unprotected) remove(doc->fileName);
    GuardedFree(doc->content);
    PdfFreeFonts(doc);
    PdfFreeList(doc->images);
    PdfFreeList(doc->images2);
    PdfFreeList(doc->annots);
    PdfFreeList(doc->forms);
    PdfFreeImported(doc);
    GuardedFree(doc->objOffsets);
    GuardedFree(doc);
    if (unprotected) {
        gPdfErrNo = kPdfErrUnprotected;
        return kPdfFail;
    }
    // An incomplete file (disk full, medium gone) is a failure, whatever else.
    if (writeFailed) {
        gPdfErrNo = kPdfErrWrite;
        return kPdfFail;
    }
    if (tooLarge) {
        gPdfErrNo = kPdfErrTooLarge;
        return kPdfFail;
    }
    if (contentLost) {
        gPdfErrNo = kPdfErrNoMemory;
        return kPdfFail;
    }
    if (fontResult) {
        gPdfErrNo = fontResult;
        return kPdfFontNotMade;
    }
    return kPdfOk;
}
