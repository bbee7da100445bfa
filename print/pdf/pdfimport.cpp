// pdfimport.cpp - a page of another PDF file placed on the current page: the
// source is read whole (a classic file with one cross-reference table), the
// page found through its page tree, its content streams joined into a form
// XObject and every object its resources reach copied under new numbers; the
// page then draws the form. The source is searched as bytes, never as text
// that a NUL would end, and stream data is copied by its length.
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "print/pdf/pdf.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

constexpr size_t kImportMinFile = 100;
constexpr size_t kImportTailSearch = 40;
constexpr uint32_t kImportMaxObjects = 500;
constexpr int kImportMaxDepth = 9;
constexpr size_t kImportNameMax = 256;

// One imported page, listed in doc->forms (its list part first).
struct PdfFormRec {
    PdfListRec list;
    DWORD page;
    char file[kImportNameMax + 1];
};

// The source file and its cross-reference table.
struct PdfSource {
    const BYTE* p;
    size_t n;
    std::vector<size_t> offsets;
    std::vector<DWORD> newNum;  // renumbering: 0 = not copied yet
    size_t trailer;             // where the trailer follows the table
};

static bool IsWhite(BYTE c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == 0; }
static bool IsDigit(BYTE c) { return c >= '0' && c <= '9'; }
static bool IsAlnum(BYTE c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The first place of a byte string in [from, to), or SIZE_MAX.
static size_t Find(const PdfSource& s, size_t from, size_t to, const char* what) {
    size_t k = strlen(what);
    if (to > s.n) to = s.n;
    for (size_t i = from; i + k <= to; i++)
        if (memcmp(s.p + i, what, k) == 0) return i;
    return SIZE_MAX;
}

static size_t SkipWhite(const PdfSource& s, size_t i) {
    while (i < s.n && IsWhite(s.p[i])) i++;
    return i;
}

// A decimal number at i (no digits: false); *end after it.
static bool ReadNumber(const PdfSource& s, size_t i, uint64_t* v, size_t* end) {
    *v = 0;
    size_t start = i;
    while (i < s.n && IsDigit(s.p[i]) && *v < (1ull << 40)) *v = *v * 10 + static_cast<uint64_t>(s.p[i++] - '0');
    *end = i;
    return i > start;
}

// "n 0 R" at i: the object number, checked against the table.
static bool ReadRef(const PdfSource& s, size_t i, uint32_t* obj, size_t* end) {
    uint64_t n, g;
    size_t e;
    i = SkipWhite(s, i);
    if (!ReadNumber(s, i, &n, &e)) return false;
    i = SkipWhite(s, e);
    if (!ReadNumber(s, i, &g, &e) || g != 0) return false;
    i = SkipWhite(s, e);
    if (i >= s.n || s.p[i] != 'R' || n == 0 || n >= s.offsets.size()) return false;
    *obj = static_cast<uint32_t>(n);
    *end = i + 1;
    return true;
}

// The body of an object: from after its "obj" to its "endobj" (for a stream,
// to the "stream" keyword, *streamAt the data and *streamLen its length).
struct PdfObjText {
    size_t body, end;      // [body, end): the dictionary or value
    bool stream;
    size_t data, dataLen;
};

static bool StreamLength(const PdfSource& s, size_t dictFrom, size_t dictTo, uint64_t* len);

static bool ObjectText(const PdfSource& s, uint32_t obj, PdfObjText* o) {
    if (obj == 0 || obj >= s.offsets.size()) return false;
    size_t at = s.offsets[obj];
    size_t objKw = Find(s, at, at + 64, "obj");
    if (objKw == SIZE_MAX) return false;
    o->body = objKw + 3;
    size_t endobj = Find(s, o->body, s.n, "endobj");
    size_t streamKw = Find(s, o->body, endobj == SIZE_MAX ? s.n : endobj, "stream");
    o->stream = streamKw != SIZE_MAX;
    if (!o->stream) {
        if (endobj == SIZE_MAX) return false;
        o->end = endobj;
        return true;
    }
    o->end = streamKw;
    size_t d = streamKw + 6;
    if (d < s.n && s.p[d] == '\r') d++;
    if (d < s.n && s.p[d] == '\n') d++;
    uint64_t len;
    if (!StreamLength(s, o->body, o->end, &len) || len > s.n - d) return false;
    o->data = d;
    o->dataLen = static_cast<size_t>(len);
    return true;
}

// "/Length" of a stream dictionary, direct or by reference.
static bool StreamLength(const PdfSource& s, size_t dictFrom, size_t dictTo, uint64_t* len) {
    size_t k = Find(s, dictFrom, dictTo, "/Length");
    if (k == SIZE_MAX) return false;
    size_t i = SkipWhite(s, k + 7), e;
    uint32_t ref;
    if (ReadRef(s, i, &ref, &e)) {
        size_t at = s.offsets[ref];
        size_t objKw = Find(s, at, at + 64, "obj");
        return objKw != SIZE_MAX && ReadNumber(s, SkipWhite(s, objKw + 3), len, &e);
    }
    return ReadNumber(s, i, len, &e);
}

// ---- copying objects ------------------------------------------------------------------------

static DWORD NumberFor(PdfDocRec* doc, PdfSource& s, uint32_t src, std::vector<uint32_t>* todo) {
    if (!s.newNum[src]) {
        s.newNum[src] = doc->nextObj++;
        todo->push_back(src);
    }
    return s.newNum[src];
}

// Text with every reference "n 0 R" given its new number (objects met for the
// first time are queued); false on a reference outside the table.
static bool Rewrite(PdfDocRec* doc, PdfSource& s, size_t from, size_t to, std::string* out,
                    std::vector<uint32_t>* todo) {
    size_t i = from, run = from;
    while (i < to) {
        size_t r = Find(s, i, to, " 0 R");
        if (r == SIZE_MAX) break;
        size_t after = r + 4;
        size_t digits = r;
        while (digits > from && IsDigit(s.p[digits - 1])) digits--;
        bool isRef = digits < r && (after >= to || !IsAlnum(s.p[after]));
        if (!isRef) {
            i = r + 1;
            continue;
        }
        uint64_t n;
        size_t e;
        ReadNumber(s, digits, &n, &e);
        if (n == 0 || n >= s.offsets.size()) return false;
        out->append(reinterpret_cast<const char*>(s.p + run), digits - run);
        out->append(std::to_string(NumberFor(doc, s, static_cast<uint32_t>(n), todo)));
        run = r;
        i = after;
    }
    out->append(reinterpret_cast<const char*>(s.p + run), to - run);
    return true;
}

// Copies every queued object, and those they reach, under their new numbers.
static bool CopyQueued(PdfDocRec* doc, PdfSource& s, std::vector<uint32_t>* todo) {
    while (!todo->empty()) {
        uint32_t src = todo->back();
        todo->pop_back();
        PdfObjText o;
        if (!ObjectText(s, src, &o)) return false;
        std::string body;
        if (!Rewrite(doc, s, o.body, o.end, &body, todo)) return false;
        DWORD obj = s.newNum[src];
        if (!PdfSetObjOffset(doc, obj)) return false;
        PdfPutUInt(doc, obj, 1);
        PdfPutText(doc, " 0 obj");
        PdfPutBytes(doc, body.data(), body.size());
        if (o.stream) {
            // The length as it is, whatever form the source gave it in.
            std::string data(reinterpret_cast<const char*>(s.p + o.data), o.dataLen);
            PdfPutLine(doc, "stream");
            PdfPutBytes(doc, data.data(), data.size());
            PdfPutLine(doc, nullptr);
            PdfPutLine(doc, "endstream");
        }
        PdfPutLine(doc, "endobj");
        PdfPutLine(doc, nullptr);
    }
    return true;
}

// ---- the page ------------------------------------------------------------------------------

static bool ReadXref(PdfSource& s) {
    size_t tail = s.n > kImportTailSearch ? s.n - kImportTailSearch : 0;
    size_t sx = Find(s, tail, s.n, "startxref");
    uint64_t xref, first, count;
    size_t e;
    if (sx == SIZE_MAX || !ReadNumber(s, SkipWhite(s, sx + 9), &xref, &e) || xref >= s.n ||
        Find(s, xref, xref + 4, "xref") != xref)
        return false;
    size_t i = SkipWhite(s, xref + 4);
    if (!ReadNumber(s, i, &first, &e) || first != 0) return false;
    if (!ReadNumber(s, SkipWhite(s, e), &count, &e) || count < 1 || count > kImportMaxObjects) return false;
    i = e;
    s.offsets.assign(count, 0);
    for (uint64_t k = 0; k < count; k++) {
        uint64_t off, gen;
        if (!ReadNumber(s, SkipWhite(s, i), &off, &e) || !ReadNumber(s, SkipWhite(s, e), &gen, &e)) return false;
        i = SkipWhite(s, e);
        if (i >= s.n) return false;
        bool used = s.p[i] == 'n';
        i++;
        if (k == 0) continue;
        if (used && (off >= s.n || gen != 0)) return false;
        s.offsets[k] = used ? static_cast<size_t>(off) : 0;
    }
    s.newNum.assign(count, 0);
    s.trailer = Find(s, i, s.n, "trailer");
    return s.trailer != SIZE_MAX;
}

// The reference after a key inside an object's text; false when none.
static bool RefAfter(const PdfSource& s, const PdfObjText& o, const char* key, uint32_t* obj) {
    size_t k = Find(s, o.body, o.end, key);
    size_t e;
    return k != SIZE_MAX && ReadRef(s, k + strlen(key), obj, &e);
}

// Walks the page tree in document order to the wanted page (1-based).
static bool FindPage(const PdfSource& s, uint32_t node, DWORD* left, int depth, uint32_t* page) {
    if (depth > kImportMaxDepth) return false;
    PdfObjText o;
    if (!ObjectText(s, node, &o)) return false;
    size_t kids = Find(s, o.body, o.end, "/Kids");
    size_t open = kids == SIZE_MAX ? SIZE_MAX : Find(s, kids, o.end, "[");
    if (open == SIZE_MAX) return false;
    size_t i = open + 1, e;
    uint32_t kid;
    while (ReadRef(s, i, &kid, &e)) {
        i = e;
        PdfObjText k;
        if (!ObjectText(s, kid, &k)) return false;
        size_t type = Find(s, k.body, k.end, "/Type");
        size_t pages = Find(s, k.body, k.end, "/Pages");
        bool isNode = pages != SIZE_MAX && (type == SIZE_MAX || pages == SkipWhite(s, type + 5));
        if (isNode) {
            if (FindPage(s, kid, left, depth + 1, page)) return true;
            if (*left == 0) return false;
        } else if (--*left == 0) {
            *page = kid;
            return true;
        }
    }
    return false;
}

// The page's content: every stream joined when each is FlateDecode or plain
// (inflated then), else the first one that is not empty, as it is.
static bool PageContent(const PdfSource& s, const PdfObjText& page, std::string* data, std::string* filter) {
    std::vector<uint32_t> parts;
    size_t k = Find(s, page.body, page.end, "/Contents");
    if (k == SIZE_MAX) return false;
    size_t i = SkipWhite(s, k + 9), e;
    uint32_t ref;
    if (i < s.n && s.p[i] == '[') {
        i++;
        while (ReadRef(s, i, &ref, &e)) parts.push_back(ref), i = e;
    } else if (ReadRef(s, i, &ref, &e)) {
        parts.push_back(ref);
    }
    if (parts.empty()) return false;
    std::vector<PdfObjText> objs(parts.size());
    bool joinable = true;
    for (size_t n = 0; n < parts.size(); n++) {
        if (!ObjectText(s, parts[n], &objs[n]) || !objs[n].stream) return false;
        size_t f = Find(s, objs[n].body, objs[n].end, "/Filter");
        if (f != SIZE_MAX && Find(s, f, objs[n].end, "/FlateDecode") != SkipWhite(s, f + 7)) joinable = false;
    }
    filter->clear();
    for (size_t n = 0; n < parts.size(); n++) {
        const PdfObjText& o = objs[n];
        if (!joinable) {
            if (!o.dataLen) continue;
            data->assign(reinterpret_cast<const char*>(s.p + o.data), o.dataLen);
            size_t f = Find(s, o.body, o.end, "/Filter");
            if (f != SIZE_MAX) {
                size_t j = SkipWhite(s, f + 7) + 1;
                while (j < o.end && !IsWhite(s.p[j]) && s.p[j] != '/' && s.p[j] != '<' && s.p[j] != '>') j++;
                filter->assign(reinterpret_cast<const char*>(s.p + f), j - f);
            }
            return true;
        }
        bool flate = Find(s, o.body, o.end, "/FlateDecode") != SIZE_MAX;
        if (!flate) {
            data->append(reinterpret_cast<const char*>(s.p + o.data), o.dataLen);
        } else if (o.dataLen) {
            z_stream zs;
            memset(&zs, 0, sizeof zs);
            if (inflateInit(&zs) != Z_OK) return false;
            zs.next_in = const_cast<BYTE*>(s.p + o.data);
            zs.avail_in = static_cast<uInt>(o.dataLen);
            char buf[16384];
            int rc;
            do {
                zs.next_out = reinterpret_cast<Bytef*>(buf);
                zs.avail_out = sizeof buf;
                rc = inflate(&zs, Z_NO_FLUSH);
                data->append(buf, sizeof buf - zs.avail_out);
            } while (rc == Z_OK && data->size() < kMaxCheckedSize);
            inflateEnd(&zs);
            if (rc != Z_STREAM_END) return false;
        }
        data->append("\n");
    }
    return true;
}

// Reads the source page and writes its form XObject; the form's object number.
static bool ImportForm(PdfDocRec* doc, PdfSource& s, DWORD pageNo, DWORD* formObj) {
    if (!ReadXref(s)) return false;
    PdfObjText trailer = {s.trailer, s.n, false, 0, 0};
    uint32_t catalog, pages, page = 0;
    PdfObjText cat;
    if (!RefAfter(s, trailer, "/Root", &catalog) || !ObjectText(s, catalog, &cat) || !RefAfter(s, cat, "/Pages", &pages))
        return false;
    DWORD left = pageNo ? pageNo : 1;
    PdfObjText p;
    if (!FindPage(s, pages, &left, 0, &page) || !ObjectText(s, page, &p)) return false;
    size_t mb = Find(s, p.body, p.end, "/MediaBox");
    size_t mbOpen = mb == SIZE_MAX ? SIZE_MAX : SkipWhite(s, mb + 9);
    if (mbOpen == SIZE_MAX || mbOpen >= p.end || s.p[mbOpen] != '[') return false;
    size_t mbClose = Find(s, mbOpen, p.end, "]");
    if (mbClose == SIZE_MAX) return false;
    std::string data, filter;
    if (!PageContent(s, p, &data, &filter)) return false;
    // The resources: inline, or the dictionary of the object referenced.
    std::string resources = "<< >>";
    std::vector<uint32_t> todo;
    size_t rk = Find(s, p.body, p.end, "/Resources");
    if (rk != SIZE_MAX) {
        size_t i = SkipWhite(s, rk + 10), e;
        uint32_t ref;
        PdfObjText ro = p;
        if (ReadRef(s, i, &ref, &e)) {
            if (!ObjectText(s, ref, &ro)) return false;
            i = SkipWhite(s, ro.body);
        }
        if (i + 1 >= ro.end || s.p[i] != '<' || s.p[i + 1] != '<') return false;
        // The dictionary up to its matching ">>".
        int depth = 0;
        size_t j = i;
        for (; j + 1 < ro.end; j++) {
            if (s.p[j] == '<' && s.p[j + 1] == '<') depth++, j++;
            else if (s.p[j] == '>' && s.p[j + 1] == '>' && --depth == 0) break;
        }
        if (depth != 0) return false;
        resources.clear();
        if (!Rewrite(doc, s, i, j + 2, &resources, &todo)) return false;
    }
    if (!CopyQueued(doc, s, &todo)) return false;
    // Joined content is written compressed again unless streams are not.
    BYTE* packed = nullptr;
    size_t packedLen = 0;
    if (filter.empty() && !(doc->flags & kPdfFlagUncompressed))
        packedLen = PdfDeflateNew(reinterpret_cast<const BYTE*>(data.data()), data.size(), &packed);
    DWORD obj = doc->nextObj;
    if (!PdfSetObjOffset(doc, obj)) {
        GuardedFree(packed);
        return false;
    }
    doc->nextObj++;
    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, "<<");
    PdfPutLine(doc, "  /Type /XObject");
    PdfPutLine(doc, "  /Subtype /Form");
    PdfPutLine(doc, "  /FormType 1");
    PdfPutText(doc, "  /BBox ");
    PdfPutBytes(doc, s.p + mbOpen, mbClose + 1 - mbOpen);
    PdfPutLine(doc, nullptr);
    PdfPutText(doc, "  /Resources ");
    PdfPutBytes(doc, resources.data(), resources.size());
    PdfPutLine(doc, nullptr);
    PdfPutText(doc, "    /Length ");
    PdfPutUInt(doc, packedLen ? packedLen : data.size(), 1);
    PdfPutLine(doc, nullptr);
    if (packedLen) PdfPutLine(doc, "  /Filter /FlateDecode");
    else if (!filter.empty()) PdfPutLine(doc, filter.c_str());
    PdfPutLine(doc, " >>");
    PdfPutLine(doc, "stream");
    if (packedLen) PdfPutBytes(doc, packed, packedLen);
    else PdfPutBytes(doc, data.data(), data.size());
    PdfPutLine(doc, "endstream");
    PdfPutLine(doc, "endobj");
    PdfPutLine(doc, nullptr);
    GuardedFree(packed);
    *formObj = obj;
    return true;
}

int PdfImportPage(PdfDocRec* doc, const PdfImportOpts* opts) {
    // Copied objects are written as the source has them, in the clear: into
    // an encrypted document they would read as garbage.
    if (doc->encryptObj || !opts->file.text || !opts->file.len || opts->file.len > kImportNameMax) return kPdfFail;
    char name[kImportNameMax + 1];
    memcpy(name, opts->file.text, opts->file.len);
    name[opts->file.len] = 0;
    DWORD pageNo = opts->page ? opts->page : 1;
    PdfFormRec* form = nullptr;
    for (PdfListRec* e = doc->forms; e && !form; e = e->next) {
        auto* f = reinterpret_cast<PdfFormRec*>(e);
        if (f->page == pageNo && strcmp(f->file, name) == 0) form = f;
    }
    if (!form) {
        uintptr_t h = PdfFileOpen(name, kPdfFileReadOnly, kPdfOpenExisting);
        if (!h) return kPdfFail;
        int64_t size = PdfFileSeekEnd(h);
        CheckedSize room(size > 0 ? static_cast<uint64_t>(size) : 0);
        BYTE* data = nullptr;
        if (size >= static_cast<int64_t>(kImportMinFile) && room.Fits() && PdfFileSeek(h, 0) == 0) {
            data = static_cast<BYTE*>(GuardedAlloc(room.Size()));
            if (data && PdfFileRead(h, data, room.Size()) != size) {
                GuardedFree(data);
                data = nullptr;
            }
        }
        PdfFileClose(h);
        if (!data) return kPdfFail;
        form = static_cast<PdfFormRec*>(GuardedAlloc(sizeof(PdfFormRec)));
        PdfSource s{data, room.Size(), {}, {}, 0};
        DWORD obj = 0;
        bool ok = form && ImportForm(doc, s, pageNo, &obj);
        GuardedFree(data);
        if (!ok) {
            GuardedFree(form);
            return kPdfFail;
        }
        memset(form, 0, sizeof *form);
        form->list.objNum = obj;
        form->list.resNum = ++doc->formCounter;
        form->page = pageNo;
        snprintf(form->file, sizeof form->file, "%s", name);
        form->list.next = doc->forms;
        doc->forms = &form->list;
        doc->flags |= kPdfFlagClearText;
    }
    form->list.used = 1;
    PdfCsLine(doc, "q");
    PdfCsAppend(doc, " /PDFForm", 9);
    PdfCsUInt(doc, form->list.resNum);
    PdfCsLine(doc, " Do");
    PdfCsLine(doc, "Q");
    return kPdfOk;
}
