// pdfimport.cpp - a page of another PDF file placed on the current page: the
// source is read whole (a classic file with one cross-reference table), the
// page found through its page tree, its content streams joined into a form
// XObject and its resources copied under new numbers, by kind (fonts,
// XObjects, graphics states) or, with the option G, every object they reach;
// the page then draws the form. The source is searched as bytes, never as text
// that a NUL would end, and stream data is copied by its length (up to its
// "endstream" where the source states a length the data does not end at).
// What an import holds is bounded: joined content by gPdfImportContentCap,
// and an allocation that fails all the same refuses the import.
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "print/pdf/pdf.h"
#include "session/nomem.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

constexpr size_t kImportMinFile = 100;
constexpr size_t kImportTailSearch = 40;
constexpr uint32_t kImportMaxObjects = 500;
constexpr int kImportMaxDepth = 9;
constexpr size_t kImportNameMax = 256;
constexpr size_t kImportInflateChunk = 16384;
constexpr int kBytesPerMiB = 1 << 20;

size_t gPdfImportContentCap = kPdfImportContentCeiling;

// One imported page, listed in doc->forms (its list part first).
struct PdfFormRec {
    PdfListRec list;
    DWORD page;
    char file[kImportNameMax + 1];
};

// An object of the import, held until the whole import succeeded.
struct PdfHeldObject {
    DWORD obj;
    std::string text;
};

// The kinds of object the typed copy knows (see "typed copies" below).
enum PdfTypedKind {
    kTypedFontDict = 0,
    kTypedDescriptor = 1,
    kTypedFontFile = 2,
    kTypedStream = 3,
    kTypedVerbatim = 4,
    kTypedKinds = 5
};

// What the imports of one source file wrote into a document: the document's
// numbers of the source's objects, by the generic copy and by each kind of
// the typed copy, so that an object several pages share (a font, its
// descriptor and file) is written once and referred to from every page.
// A file is known by its name and its bytes, which the record keeps (a file
// written anew under the same name is another source: its record replaces
// the old one).
struct PdfImportedFile {
    std::string name;
    BYTE* bytes;  // GuardedAlloc'd
    size_t size;
    std::vector<DWORD> newNum;
    std::vector<DWORD> typedNum;
};

// The files imported into one document (doc->imported).
struct PdfImportedFiles {
    std::vector<PdfImportedFile> files;
};

// The source file and its cross-reference table.
struct PdfSource {
    const BYTE* p;
    size_t n;
    std::vector<size_t> offsets;
    std::vector<size_t> starts;   // the objects' offsets and the table's, in file order
    std::vector<DWORD> newNum;    // renumbering: 0 = not copied yet
    std::vector<DWORD> typedNum;  // typed copies, kTypedKinds a source object: 0 = none yet
    size_t trailer;             // where the trailer follows the table
    // The copies and the form, written to the document only when the import
    // succeeds: a refused import leaves the document as it was.
    std::vector<PdfHeldObject> held;
    const PdfImportedFile* earlier;  // what earlier imports of the file wrote, or null
};

// A failed import keeps its reason in the writer's error text.
static bool Refuse(const char* why) {
    snprintf(gPdfErrorText, sizeof gPdfErrorText, "PDF import: %s", why);
    return false;
}

static bool IsWhite(BYTE c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == 0; }
static bool IsDigit(BYTE c) { return c >= '0' && c <= '9'; }
static bool IsAlnum(BYTE c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
static bool IsDelimiter(BYTE c) { return c && strchr("()<>[]{}/%", c) != nullptr; }

// The first place of a byte string in [from, to), or SIZE_MAX.
static size_t Find(const PdfSource& s, size_t from, size_t to, const char* what) {
    size_t k = strlen(what);
    if (to > s.n) to = s.n;
    for (size_t i = from; i + k <= to; i++)
        if (memcmp(s.p + i, what, k) == 0) return i;
    return SIZE_MAX;
}

// White space and comments, which a file may put between any two tokens.
static size_t SkipWhite(const PdfSource& s, size_t i) {
    while (i < s.n && (IsWhite(s.p[i]) || s.p[i] == '%')) {
        if (s.p[i] == '%')
            while (i < s.n && s.p[i] != '\r' && s.p[i] != '\n') i++;
        else i++;
    }
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
    bool lengthWrong;      // the data runs to "endstream", not to the stated length
};

static bool StreamLength(const PdfSource& s, size_t dictFrom, size_t dictTo, uint64_t* len);

// The first kw in stream data in [i, to) that stands after white space or a
// delimiter (data is bytes: nothing in it is skipped as a string).
static size_t FindKeywordInData(const PdfSource& s, size_t i, size_t to, const char* kw) {
    for (size_t at = Find(s, i, to, kw); at != SIZE_MAX; at = Find(s, at + 1, to, kw))
        if (at == i || IsWhite(s.p[at - 1]) || IsDelimiter(s.p[at - 1])) return at;
    return SIZE_MAX;
}

// A keyword at i as a token of its own: after white space or a delimiter
// (or the file's start) and before one (or the file's end), never inside a
// name such as "/Mainstream" or a word such as "endstream".
static bool KeywordAt(const PdfSource& s, size_t i, const char* kw) {
    size_t k = strlen(kw);
    if (i + k > s.n || memcmp(s.p + i, kw, k) != 0) return false;
    if (i > 0 && !IsWhite(s.p[i - 1]) && !IsDelimiter(s.p[i - 1])) return false;
    return i + k == s.n || IsWhite(s.p[i + k]) || IsDelimiter(s.p[i + k]);
}

// After what opens at i and may hold any bytes: a literal string (nested
// parentheses, backslash escapes), a hex string or a comment. i itself when
// none opens there; SIZE_MAX when it does not close.
static size_t SkipOpaque(const PdfSource& s, size_t i) {
    BYTE c = s.p[i];
    if (c == '%') {
        while (i < s.n && s.p[i] != '\r' && s.p[i] != '\n') i++;
        return i;
    }
    if (c == '<' && (i + 1 >= s.n || s.p[i + 1] != '<')) {
        size_t close = Find(s, i, s.n, ">");
        return close == SIZE_MAX ? SIZE_MAX : close + 1;
    }
    if (c != '(') return i;
    int depth = 0;
    for (; i < s.n; i++) {
        if (s.p[i] == '\\') i++;
        else if (s.p[i] == '(') depth++;
        else if (s.p[i] == ')' && --depth == 0) return i + 1;
    }
    return SIZE_MAX;
}

// The first token kw from i on, strings and comments passed over.
static size_t FindKeyword(const PdfSource& s, size_t i, const char* kw) {
    while (i < s.n) {
        size_t next = SkipOpaque(s, i);
        if (next == SIZE_MAX) return SIZE_MAX;
        if (next != i) {
            i = next;
        } else if (KeywordAt(s, i, kw)) {
            return i;
        } else {
            i += s.p[i] == '<' ? 2 : 1;  // a '<' SkipOpaque leaves opens "<<"
        }
    }
    return SIZE_MAX;
}

// The end of the dictionary that opens with "<<" at i (after its ">>"), or
// SIZE_MAX when it does not close before end. Strings, hex strings and
// comments inside may hold any brackets.
static size_t DictEnd(const PdfSource& s, size_t i, size_t end) {
    int depth = 0;
    for (size_t j = i; j + 1 < end;) {
        size_t next = SkipOpaque(s, j);
        if (next == SIZE_MAX) return SIZE_MAX;
        if (next != j) {
            j = next;
        } else if (s.p[j] == '<' && s.p[j + 1] == '<') {
            depth++;
            j += 2;
        } else if (s.p[j] == '>' && s.p[j + 1] == '>') {
            // Both brackets are taken: ">>>>" closes two dictionaries, not three.
            j += 2;
            if (--depth == 0) return j;
        } else {
            j++;
        }
    }
    return SIZE_MAX;
}

// "endstream" at i, after the end of line that may stand before it.
static bool EndstreamAt(const PdfSource& s, size_t i) {
    while (i < s.n && IsWhite(s.p[i]) && s.p[i] != 0) i++;
    return Find(s, i, i + 9, "endstream") == i;
}

// The "stream" keyword at i and its end of line (CR LF or LF): where the data
// starts, or SIZE_MAX.
static size_t StreamDataAfter(const PdfSource& s, size_t i) {
    if (!KeywordAt(s, i, "stream")) return SIZE_MAX;
    i += 6;
    if (i + 1 < s.n && s.p[i] == '\r' && s.p[i + 1] == '\n') return i + 2;
    return i < s.n && s.p[i] == '\n' ? i + 1 : SIZE_MAX;
}

// Where the object at offset at ends at the latest: the next object's offset
// in the table (or the table's own), else the file's end. No object's text
// runs past it, so a damaged closing keyword cannot take in the next object.
static size_t ObjectBound(const PdfSource& s, size_t at) {
    auto next = std::upper_bound(s.starts.begin(), s.starts.end(), at);
    return next == s.starts.end() ? s.n : *next;
}

// An object's text. Keywords count only as tokens: a dictionary is followed
// by "endobj" or by "stream" and its end of line, anything else refuses the
// object; any other value runs to the first "endobj" token. Each search stops
// at the object's bound: a keyword only past it refuses the object.
static bool ObjectText(const PdfSource& s, uint32_t obj, PdfObjText* o) {
    if (obj == 0 || obj >= s.offsets.size()) return false;
    size_t at = s.offsets[obj];
    const size_t bound = ObjectBound(s, at);
    size_t objKw = Find(s, at, std::min(at + 64, bound), "obj");
    if (objKw == SIZE_MAX) return false;
    o->body = objKw + 3;
    o->stream = false;
    size_t value = SkipWhite(s, o->body);
    if (value + 1 >= s.n || s.p[value] != '<' || s.p[value + 1] != '<') {
        o->end = FindKeyword(s, o->body, "endobj");
        return o->end != SIZE_MAX && o->end < bound;
    }
    size_t dictEnd = DictEnd(s, value, bound);
    if (dictEnd == SIZE_MAX) return false;
    o->end = SkipWhite(s, dictEnd);
    if (o->end >= bound) return false;
    if (KeywordAt(s, o->end, "endobj")) return true;
    size_t d = StreamDataAfter(s, o->end);
    if (d == SIZE_MAX || d >= bound) return false;
    o->stream = true;
    uint64_t len;
    if (!StreamLength(s, o->body, o->end, &len)) return false;
    o->data = d;
    // A length past the bound is as wrong as one that ends elsewhere.
    o->lengthWrong = len > bound - d || !EndstreamAt(s, d + static_cast<size_t>(len));
    o->dataLen = o->lengthWrong ? 0 : static_cast<size_t>(len);
    if (o->lengthWrong) {
        // A stated length that does not end at "endstream" is the source's
        // fault; readers take the data up to the keyword, and so does the copy.
        size_t kw = FindKeywordInData(s, d, bound, "endstream");
        if (kw == SIZE_MAX) return false;
        if (kw > d && s.p[kw - 1] == '\n') kw--;
        if (kw > d && s.p[kw - 1] == '\r') kw--;
        o->dataLen = kw - d;
    }
    return true;
}

// ---- dictionary keys -------------------------------------------------------------------------

// After the regular characters from i (a name's, a number's, a keyword's),
// up to white space, a delimiter or to.
static size_t TokenEnd(const PdfSource& s, size_t i, size_t to) {
    while (i < to && !IsWhite(s.p[i]) && !IsDelimiter(s.p[i])) i++;
    return i;
}

// After the reference "n g R" that stands at i, or i itself when none does.
static size_t RefEnd(const PdfSource& s, size_t i, size_t to) {
    uint64_t n;
    size_t e;
    if (!ReadNumber(s, i, &n, &e)) return i;
    size_t j = SkipWhite(s, e);
    if (j == e || !ReadNumber(s, j, &n, &e)) return i;
    j = SkipWhite(s, e);
    if (j == e || j >= to || s.p[j] != 'R' || TokenEnd(s, j, to) != j + 1) return i;
    return j + 1;
}

// The end of the array that opens with "[" at i (after its "]"), or SIZE_MAX
// when it does not close before to. Strings, hex strings and comments inside
// may hold any brackets.
static size_t ArrayEnd(const PdfSource& s, size_t i, size_t to) {
    int depth = 0;
    for (size_t j = i; j < to;) {
        size_t next = SkipOpaque(s, j);
        if (next == SIZE_MAX || next > to) return SIZE_MAX;
        if (next != j) {
            j = next;
        } else if (s.p[j] == '[') {
            depth++;
            j++;
        } else if (s.p[j] == ']') {
            if (--depth == 0) return j + 1;
            j++;
        } else {
            j += s.p[j] == '<' ? 2 : 1;  // a '<' SkipOpaque leaves opens "<<"
        }
    }
    return SIZE_MAX;
}

// The end of the value that begins at i: a dictionary, an array, a string, a
// name, a reference, a number or a keyword; SIZE_MAX when it does not close
// before to or nothing stands there.
static size_t ValueEnd(const PdfSource& s, size_t i, size_t to) {
    if (i >= to) return SIZE_MAX;
    const BYTE c = s.p[i];
    if (c == '<' && i + 1 < to && s.p[i + 1] == '<') return DictEnd(s, i, to);
    if (c == '[') return ArrayEnd(s, i, to);
    if (c == '(' || c == '<') {
        size_t e = SkipOpaque(s, i);
        return e != SIZE_MAX && e <= to ? e : SIZE_MAX;
    }
    if (c == '/') return TokenEnd(s, i + 1, to);
    size_t e = RefEnd(s, i, to);
    if (e == i) e = TokenEnd(s, i, to);
    return e == i ? SIZE_MAX : e;
}

// Where key stands in the dictionary that opens (after white space) at from
// and closes before to, its value after it; SIZE_MAX when the dictionary has
// no such key or cannot be read up to it. Only the dictionary's own keys
// count, each as a whole name: a "/Kids" inside a nested dictionary or array,
// in a string or as another key's value is not its key, nor is "/Length1" its
// "/Length". Every key of an object is read this way.
static size_t FindKey(const PdfSource& s, size_t from, size_t to, const char* key) {
    if (to > s.n) to = s.n;
    size_t i = SkipWhite(s, from);
    if (i + 1 >= to || s.p[i] != '<' || s.p[i + 1] != '<') return SIZE_MAX;
    const size_t k = strlen(key);
    for (i = SkipWhite(s, i + 2); i < to && s.p[i] == '/'; i = SkipWhite(s, i)) {
        const size_t nameEnd = TokenEnd(s, i + 1, to);
        if (nameEnd - i == k && memcmp(s.p + i, key, k) == 0) return i;
        i = ValueEnd(s, SkipWhite(s, nameEnd), to);
        if (i == SIZE_MAX) return SIZE_MAX;
    }
    return SIZE_MAX;
}

// Whether the value at i is the name given, as a whole name.
static bool NameIs(const PdfSource& s, size_t i, size_t to, const char* name) {
    const size_t k = strlen(name);
    return i < to && s.p[i] == '/' && TokenEnd(s, i + 1, to) - i == k && memcmp(s.p + i, name, k) == 0;
}

// "/Length" of a stream dictionary, direct or by reference. The object
// referenced must be whole, a number closed by its "endobj" before the next
// object (never a dictionary, whose own length could lead back here).
static bool StreamLength(const PdfSource& s, size_t dictFrom, size_t dictTo, uint64_t* len) {
    size_t k = FindKey(s, dictFrom, dictTo, "/Length");
    if (k == SIZE_MAX) return false;
    size_t i = SkipWhite(s, k + 7), e;
    uint32_t ref;
    if (ReadRef(s, i, &ref, &e)) {
        size_t at = s.offsets[ref];
        size_t objKw = Find(s, at, at + 64, "obj");
        if (objKw == SIZE_MAX) return false;
        size_t value = SkipWhite(s, objKw + 3);
        if (value < s.n && s.p[value] == '<') return false;
        PdfObjText number;
        return ObjectText(s, ref, &number) && ReadNumber(s, value, len, &e);
    }
    return ReadNumber(s, i, len, &e);
}

// ---- copying objects ------------------------------------------------------------------------

// Holds object obj: its text (after "obj") and, for a stream, its data.
static void HoldObject(PdfSource& s, DWORD obj, const std::string& body, const BYTE* data, size_t dataLen,
                       bool stream) {
    std::string text = std::to_string(obj) + " 0 obj" + body;
    if (stream) {
        text += "stream\r\n";
        text.append(reinterpret_cast<const char*>(data), dataLen);
        text += "\r\nendstream\r\n";
    }
    text += "endobj\r\n\r\n";
    s.held.push_back({obj, std::move(text)});
}

// Writes the held objects of a successful import, each at its offset.
static bool WriteHeld(PdfDocRec* doc, const PdfSource& s) {
    // The offset table grows first, so no object is written without its entry.
    if (!PdfSetObjOffset(doc, doc->nextObj - 1)) return false;
    for (const PdfHeldObject& h : s.held) {
        PdfSetObjOffset(doc, h.obj);
        PdfPutBytes(doc, h.text.data(), h.text.size());
    }
    return true;
}

// Where the value of a stream's "/Length" stands, a number or a reference:
// [*from, *to).
static bool LengthValue(const PdfSource& s, const PdfObjText& o, size_t* from, size_t* to) {
    size_t at = FindKey(s, o.body, o.end, "/Length");
    if (at == SIZE_MAX) return false;
    *from = SkipWhite(s, at + 7);
    uint32_t ref;
    uint64_t n;
    return ReadRef(s, *from, &ref, to) || ReadNumber(s, *from, &n, to);
}

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
        size_t from = o.body, at, e;
        if (o.stream && o.lengthWrong) {
            // The length of the data copied, in place of the source's wrong one.
            if (!LengthValue(s, o, &at, &e) || !Rewrite(doc, s, o.body, at, &body, todo)) return false;
            body += std::to_string(o.dataLen);
            from = e;
        }
        if (!Rewrite(doc, s, from, o.end, &body, todo)) return false;
        HoldObject(s, s.newNum[src], body, s.p + o.data, o.dataLen, o.stream);
    }
    return true;
}

// ---- typed copies ---------------------------------------------------------------------------
// The typed copy knows fonts (with their descendant, descriptor, font file,
// encoding, widths and ToUnicode map), XObjects and graphics states: each
// named reference is copied by the copier of its kind, at a number of its own
// per entry. Every other reference in a typed copy (a form's /Resources, an
// image's /SMask, a /DecodeParms) goes through the generic copier, so no copy
// keeps a number of the source file.

// How a key's value is taken.
enum PdfKeyRule {
    kKeyRefIfAny = 0,     // a reference is copied; any other value stays as it is
    kKeyMustBeRef = 1,    // present without a reference: the copy fails
    kKeyFirstInArray = 2  // a reference, or an array whose first element is one
};

struct PdfTypedKey {
    const char* key;
    PdfTypedKind kind;
    PdfKeyRule rule;
};

// A fixed replacement inside an object's text: [from, to) becomes text.
struct PdfPatch {
    size_t from, to;
    std::string text;
};

// What one typed copy works with.
struct PdfTypedCopy {
    PdfDocRec* doc;
    PdfSource* s;
    std::vector<uint32_t>* todo;  // the generic copier's queue
};

// A CIDFont's /CIDSystemInfo is a plain dictionary that files often give
// inline: only a reference is copied.
static const PdfTypedKey kFontDictKeys[] = {
    {"/DescendantFonts", kTypedFontDict, kKeyFirstInArray},
    {"/FontDescriptor", kTypedDescriptor, kKeyMustBeRef},
    {"/CIDSystemInfo", kTypedVerbatim, kKeyRefIfAny},
    {"/ToUnicode", kTypedVerbatim, kKeyMustBeRef},
    {"/Encoding", kTypedVerbatim, kKeyRefIfAny},
    {"/Widths", kTypedVerbatim, kKeyRefIfAny},
};
static const PdfTypedKey kDescriptorKeys[] = {
    {"/FontFile", kTypedFontFile, kKeyRefIfAny},
    {"/FontFile2", kTypedFontFile, kKeyRefIfAny},
    {"/FontFile3", kTypedFontFile, kKeyRefIfAny},
    {"/CIDSet", kTypedVerbatim, kKeyRefIfAny},
};
static const PdfTypedKey kStreamKeys[] = {
    {"/ColorSpace", kTypedVerbatim, kKeyRefIfAny},
};

struct PdfTypedKeys {
    const PdfTypedKey* keys;
    size_t count;
};
static const PdfTypedKeys kTypedKeys[kTypedKinds] = {
    {kFontDictKeys, sizeof kFontDictKeys / sizeof kFontDictKeys[0]},    // 0 font dictionary
    {kDescriptorKeys, sizeof kDescriptorKeys / sizeof kDescriptorKeys[0]},  // 1 font descriptor
    {nullptr, 0},                                                       // 2 font file
    {kStreamKeys, sizeof kStreamKeys / sizeof kStreamKeys[0]},          // 3 XObject, graphics state
    {nullptr, 0},                                                       // 4 verbatim
};

// Text between fixed patches with every other reference renumbered generically.
static bool RewritePatched(PdfTypedCopy& c, size_t from, size_t to, std::vector<PdfPatch>& patches, std::string* out) {
    std::sort(patches.begin(), patches.end(), [](const PdfPatch& a, const PdfPatch& b) { return a.from < b.from; });
    size_t at = from;
    for (const PdfPatch& p : patches) {
        if (p.from < at) return false;
        if (!Rewrite(c.doc, *c.s, at, p.from, out, c.todo)) return false;
        out->append(p.text);
        at = p.to;
    }
    return Rewrite(c.doc, *c.s, at, to, out, c.todo);
}

// Copies source object src as kind; its new number, or 0 on failure. The
// references it names are copied first so their numbers are known. An object
// already copied as kind (by this import or an earlier one of the same file)
// is not copied again: its copy serves every entry that names it.
static DWORD CopyTyped(PdfTypedCopy& c, uint32_t src, PdfTypedKind kind, int depth) {
    const PdfSource& s = *c.s;
    DWORD& copy = c.s->typedNum[static_cast<size_t>(src) * kTypedKinds + kind];
    if (copy) return copy;
    PdfObjText o;
    if (depth > kImportMaxDepth || !ObjectText(s, src, &o)) return 0;
    std::vector<PdfPatch> patches;
    const PdfTypedKeys& keys = kTypedKeys[kind];
    for (size_t k = 0; k < keys.count; k++) {
        const PdfTypedKey& key = keys.keys[k];
        size_t at = FindKey(s, o.body, o.end, key.key);
        if (at == SIZE_MAX) continue;
        size_t i = SkipWhite(s, at + strlen(key.key)), e;
        if (key.rule == kKeyFirstInArray && i < o.end && s.p[i] == '[') i = SkipWhite(s, i + 1);
        uint32_t ref;
        if (!ReadRef(s, i, &ref, &e) || e > o.end) {
            if (key.rule == kKeyMustBeRef) return 0;
            continue;
        }
        DWORD copied = CopyTyped(c, ref, key.kind, depth + 1);
        if (!copied) return 0;
        patches.push_back({i, e, std::to_string(copied) + " 0 R"});
    }
    // A stream's length is written as the number it is.
    if (o.stream) {
        size_t i, e;
        if (!LengthValue(s, o, &i, &e)) return 0;
        patches.push_back({i, e, std::to_string(o.dataLen)});
    }
    std::string body;
    if (!RewritePatched(c, o.body, o.end, patches, &body)) return 0;
    DWORD obj = c.doc->nextObj++;
    HoldObject(*c.s, obj, body, s.p + o.data, o.dataLen, o.stream);
    c.s->typedNum[static_cast<size_t>(src) * kTypedKinds + kind] = obj;
    return obj;
}

// The resource categories of a typed copy, in the order they are copied.
enum PdfResKind { kResFont = 0, kResXObject = 1, kResColorSpace = 2, kResExtGState = 3, kResKinds = 4 };
constexpr size_t kImportEntriesMax = 280;

struct PdfResCategory {
    const char* key;
    const char* line;  // the form's /Resources line that holds the entries
};
static const PdfResCategory kResCategories[kResKinds] = {
    {"/Font", "               /Font << "},        // 0 fonts
    {"/XObject", "               /XObject <<"},   // 1 XObjects
    {"/ColorSpace", "               /ColorSpace <<"},  // 2 colour spaces
    {"/ExtGState", "               /ExtGState <<"},    // 3 graphics states
};

// The entries of one category of the resources in [from, to): each name with
// the new number of its copy. A colour space entry fails: the typed copy has
// no copier for them (the generic copy has).
static bool CopyResourceDict(PdfTypedCopy& c, size_t from, size_t to, PdfResKind kind, std::string* entries) {
    const PdfSource& s = *c.s;
    entries->clear();
    size_t at = FindKey(s, from, to, kResCategories[kind].key);
    if (at == SIZE_MAX) return true;
    size_t i = SkipWhite(s, at + strlen(kResCategories[kind].key)), e;
    uint32_t ref;
    size_t end = to;
    if (ReadRef(s, i, &ref, &e)) {
        PdfObjText o;
        if (!ObjectText(s, ref, &o)) return false;
        i = Find(s, o.body, o.end, "<<");
        end = o.end;
        if (i == SIZE_MAX) return false;
    }
    if (i + 1 >= end || s.p[i] != '<' || s.p[i + 1] != '<') return false;
    i = SkipWhite(s, i + 2);
    while (i < end && s.p[i] == '/') {
        size_t name = i;
        while (i < end && !IsWhite(s.p[i]) && (i == name || (s.p[i] != '/' && s.p[i] != '>' && s.p[i] != '<'))) i++;
        if (kind == kResColorSpace) return Refuse("a colour space resource (typed copy)");
        entries->append(reinterpret_cast<const char*>(s.p + name), i - name);
        entries->append(" ");
        size_t value = SkipWhite(s, i);
        if (kind == kResExtGState && value + 1 < end && s.p[value] == '<' && s.p[value + 1] == '<') {
            // A graphics state given inline (as cairo writes them) stands as it
            // is, its references copied generically.
            e = DictEnd(s, value, end);
            if (e == SIZE_MAX || !Rewrite(c.doc, *c.s, value, e, entries, c.todo))
                return Refuse("unreadable graphics state");
            entries->append(" ");
        } else {
            if (!ReadRef(s, i, &ref, &e)) return Refuse("a resource entry that is not a reference");
            DWORD copied = CopyTyped(c, ref, kind == kResFont ? kTypedFontDict : kTypedStream, 0);
            if (!copied) return Refuse("an object that cannot be copied");
            entries->append(std::to_string(copied));
            entries->append(" 0 R ");
        }
        if (entries->size() > kImportEntriesMax) return Refuse("resource entries over 280 characters");
        i = SkipWhite(s, e);
    }
    return i + 1 < end && s.p[i] == '>' && s.p[i + 1] == '>';
}

// The form's /Resources of a typed copy: the four categories' entries.
static bool CopyResourcesTyped(PdfTypedCopy& c, size_t from, size_t to, std::string* resources) {
    // Patterns, shadings and marked-content properties have no typed copier
    // either: without them the page would draw with names its resources lack.
    for (const char* key : {"/Pattern", "/Shading", "/Properties"})
        if (FindKey(*c.s, from, to, key) != SIZE_MAX)
            return Refuse("a pattern, shading or properties resource (typed copy)");
    *resources = "<<\n";
    for (int k = 0; k < kResKinds; k++) {
        std::string entries;
        if (!CopyResourceDict(c, from, to, static_cast<PdfResKind>(k), &entries)) return false;
        if (entries.empty()) continue;
        resources->append(kResCategories[k].line);
        resources->append(entries);
        resources->append(" >>\n");
    }
    resources->append("             >>");
    return true;
}

// ---- the page ------------------------------------------------------------------------------

static bool ReadXref(PdfSource& s) {
    size_t tail = s.n > kImportTailSearch ? s.n - kImportTailSearch : 0;
    size_t sx = Find(s, tail, s.n, "startxref");
    uint64_t xref, first, count;
    size_t e;
    if (sx == SIZE_MAX || !ReadNumber(s, SkipWhite(s, sx + 9), &xref, &e) || xref >= s.n)
        return Refuse("no startxref in the last 40 bytes");
    if (Find(s, xref, xref + 4, "xref") != xref) return Refuse("no cross-reference table (a stream?)");
    size_t i = SkipWhite(s, xref + 4);
    if (!ReadNumber(s, i, &first, &e) || first != 0) return Refuse("table not from object 0");
    if (!ReadNumber(s, SkipWhite(s, e), &count, &e) || count < 1) return Refuse("bad table");
    if (count > kImportMaxObjects) return Refuse("more than 500 objects");
    i = e;
    s.offsets.assign(count, 0);
    for (uint64_t k = 0; k < count; k++) {
        uint64_t off, gen;
        if (!ReadNumber(s, SkipWhite(s, i), &off, &e) || !ReadNumber(s, SkipWhite(s, e), &gen, &e))
            return Refuse("bad table");
        i = SkipWhite(s, e);
        if (i >= s.n) return Refuse("bad table");
        bool used = s.p[i] == 'n';
        i++;
        if (k == 0) continue;
        if (used && (off >= s.n || gen != 0)) return Refuse("offset past the file or generation not 0");
        s.offsets[k] = used ? static_cast<size_t>(off) : 0;
    }
    // Each object's text ends at the next one's offset or the table's.
    s.starts.assign(1, xref);
    for (size_t off : s.offsets)
        if (off) s.starts.push_back(off);
    std::sort(s.starts.begin(), s.starts.end());
    if (s.earlier && s.earlier->newNum.size() == count) {
        s.newNum = s.earlier->newNum;
        s.typedNum = s.earlier->typedNum;
    } else {
        s.newNum.assign(count, 0);
        s.typedNum.assign(count * kTypedKinds, 0);
    }
    s.trailer = Find(s, i, s.n, "trailer");
    if (s.trailer == SIZE_MAX) return Refuse("no trailer");
    // An encrypted source's strings and streams would come over as garbage.
    if (Find(s, s.trailer, s.n, "/Encrypt") != SIZE_MAX) return Refuse("encrypted source");
    return true;
}

// The reference that is the value of an object's key; false when none.
static bool RefAfter(const PdfSource& s, const PdfObjText& o, const char* key, uint32_t* obj) {
    size_t k = FindKey(s, o.body, o.end, key);
    size_t e;
    return k != SIZE_MAX && ReadRef(s, k + strlen(key), obj, &e);
}

// How a walk of the page tree ends: on to the next kid, at the wanted page,
// or refused (a tree that is not a tree).
enum PdfPageWalk { kWalkOn, kWalkFound, kWalkRefused };

// What the walk knows of an object of the table, from its first listing on.
enum PdfKidSeen : uint8_t { kKidUnseen = 0, kKidPage, kKidNode, kKidUnreadable };

// Whether a kid is a node of the tree: its /Type is /Pages or, without a
// /Type, it has /Kids. Anything else is a page.
static bool IsPageTreeNode(const PdfSource& s, const PdfObjText& k) {
    size_t type = FindKey(s, k.body, k.end, "/Type");
    if (type == SIZE_MAX) return FindKey(s, k.body, k.end, "/Kids") != SIZE_MAX;
    return NameIs(s, SkipWhite(s, type + 5), k.end, "/Pages");
}

// Where a node's kids are listed: the array that is the value of its /Kids,
// or the array object that value refers to, [*open, *end) from its "[". An
// array object is counted in the walk as a node is: listed a second time, it
// refuses the walk (kWalkRefused). Any other value makes the node unreadable
// (kWalkOn: passed over). kWalkFound when the kids are there to walk.
static PdfPageWalk KidsOf(const PdfSource& s, const PdfObjText& node, std::vector<PdfKidSeen>* seen, size_t* open,
                          size_t* end) {
    size_t kids = FindKey(s, node.body, node.end, "/Kids");
    if (kids == SIZE_MAX) return kWalkOn;
    size_t v = SkipWhite(s, kids + 5), e;
    uint32_t list;
    if (v < node.end && s.p[v] == '[') {
        *open = v;
        *end = node.end;
        return kWalkFound;
    }
    if (!ReadRef(s, v, &list, &e)) return kWalkOn;
    PdfKidSeen& what = (*seen)[list];
    if (what == kKidNode) return Refuse("the page tree enters a node twice"), kWalkRefused;
    PdfObjText a;
    if (what != kKidUnseen || !ObjectText(s, list, &a)) return kWalkOn;
    size_t at = SkipWhite(s, a.body);
    if (at >= a.end || s.p[at] != '[') return kWalkOn;
    what = kKidNode;
    *open = at;
    *end = a.end;
    return kWalkFound;
}

// Walks the page tree in document order to the wanted page (1-based). Each
// kid's text is read at its first listing only and what it is kept (seen[]):
// a node listed a second time, a loop included, refuses the walk, so a node
// listed many times under many levels costs no more than one reading of each
// object. A page may be listed more than once (readers show it each time). A
// branch deeper than the limit or unreadable is passed over. A node's kids
// are the value of its own /Kids key, never another key's array.
static PdfPageWalk FindPage(const PdfSource& s, uint32_t node, std::vector<PdfKidSeen>* seen, DWORD* left, int depth,
                            uint32_t* page) {
    if (depth > kImportMaxDepth) return kWalkOn;
    PdfObjText o;
    if (!ObjectText(s, node, &o)) return kWalkOn;
    size_t open = 0, end = 0;
    PdfPageWalk listed = KidsOf(s, o, seen, &open, &end);
    if (listed != kWalkFound) return listed;
    size_t i = open + 1, e;
    uint32_t kid;
    while (i < end && ReadRef(s, i, &kid, &e)) {
        i = e;
        PdfKidSeen& what = (*seen)[kid];
        if (what == kKidNode) return Refuse("the page tree enters a node twice"), kWalkRefused;
        if (what == kKidUnreadable) return kWalkOn;
        if (what == kKidUnseen) {
            PdfObjText k;
            if (!ObjectText(s, kid, &k)) {
                what = kKidUnreadable;
                return kWalkOn;
            }
            what = IsPageTreeNode(s, k) ? kKidNode : kKidPage;
            if (what == kKidNode) {
                PdfPageWalk w = FindPage(s, kid, seen, left, depth + 1, page);
                if (w != kWalkOn) return w;
                continue;
            }
        }
        if (--*left == 0) {
            *page = kid;
            return kWalkFound;
        }
    }
    return kWalkOn;
}

// The "/Filter" entry at f as it stands: a name, or an array of names up to
// its "]". False for anything else (a reference would keep a source number).
static bool FilterEntry(const PdfSource& s, size_t f, size_t end, std::string* filter) {
    size_t v = SkipWhite(s, f + 7), j;
    if (v >= end) return false;
    if (s.p[v] == '[') {
        j = Find(s, v, end, "]");
        if (j == SIZE_MAX) return false;
        j++;
    } else if (s.p[v] == '/') {
        j = v + 1;
        while (j < end && !IsWhite(s.p[j]) && s.p[j] != '/' && s.p[j] != '<' && s.p[j] != '>' && s.p[j] != '[') j++;
    } else {
        return false;
    }
    filter->assign(reinterpret_cast<const char*>(s.p + f), j - f);
    return true;
}

// Adds bytes to the joined content within the ceiling: false past it. The
// block grows by doubling but never beyond the ceiling itself, so the content
// never holds more than the ceiling's worth of memory.
static bool AppendWithinCap(std::string* data, const char* bytes, size_t n) {
    const size_t cap = gPdfImportContentCap;
    if (n > cap - data->size()) {
        snprintf(gPdfErrorText, sizeof gPdfErrorText, "PDF import: the page's content joined passes the %zu MiB ceiling",
                 cap / kBytesPerMiB);
        return false;
    }
    if (data->size() + n > data->capacity()) data->reserve(std::min(cap, std::max(data->size() + n, 2 * data->capacity())));
    data->append(bytes, n);
    return true;
}

// One FlateDecode stream inflated onto the joined content.
static bool InflateWithinCap(const BYTE* p, size_t n, std::string* data) {
    z_stream zs;
    memset(&zs, 0, sizeof zs);
    if (inflateInit(&zs) != Z_OK) return false;
    zs.next_in = const_cast<BYTE*>(p);
    zs.avail_in = static_cast<uInt>(n);
    char buf[kImportInflateChunk];
    int rc;
    bool fits = true;
    do {
        zs.next_out = reinterpret_cast<Bytef*>(buf);
        zs.avail_out = sizeof buf;
        rc = inflate(&zs, Z_NO_FLUSH);
        fits = AppendWithinCap(data, buf, sizeof buf - zs.avail_out);
    } while (rc == Z_OK && fits);
    inflateEnd(&zs);
    return fits && rc == Z_STREAM_END;
}

// The page's content: one stream as it is; several joined when each is
// FlateDecode or plain (inflated then), else the first one that is not empty,
// as it is. Joined content past gPdfImportContentCap is refused.
static bool PageContent(const PdfSource& s, const PdfObjText& page, std::string* data, std::string* filter) {
    std::vector<uint32_t> parts;
    size_t k = FindKey(s, page.body, page.end, "/Contents");
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
        size_t f = FindKey(s, objs[n].body, objs[n].end, "/Filter");
        if (f != SIZE_MAX && !NameIs(s, SkipWhite(s, f + 7), objs[n].end, "/FlateDecode")) joinable = false;
    }
    // One stream is taken as it is, still compressed: nothing to join.
    bool asItIs = !joinable || (parts.size() == 1 && FindKey(s, objs[0].body, objs[0].end, "/DecodeParms") == SIZE_MAX);
    filter->clear();
    for (size_t n = 0; n < parts.size(); n++) {
        const PdfObjText& o = objs[n];
        if (asItIs) {
            if (!o.dataLen) continue;
            data->assign(reinterpret_cast<const char*>(s.p + o.data), o.dataLen);
            size_t f = FindKey(s, o.body, o.end, "/Filter");
            return f == SIZE_MAX || FilterEntry(s, f, o.end, filter);
        }
        // Joinable: a stream's filter, when it has one, is FlateDecode.
        bool flate = FindKey(s, o.body, o.end, "/Filter") != SIZE_MAX;
        if (!flate) {
            if (!AppendWithinCap(data, reinterpret_cast<const char*>(s.p + o.data), o.dataLen)) return false;
        } else if (o.dataLen && !InflateWithinCap(s.p + o.data, o.dataLen, data)) {
            return false;
        }
        if (!AppendWithinCap(data, "\n", 1)) return false;
    }
    return true;
}

// [from, to) holds four numbers and nothing else, a box of some area: the
// form of a page with an empty box would draw nothing.
static bool BoxOfFourNumbers(const PdfSource& s, size_t from, size_t to) {
    constexpr int kBoxNumbers = 4;
    constexpr size_t kNumberMax = 32;
    double v[kBoxNumbers];
    int numbers = 0;
    for (size_t i = SkipWhite(s, from); i < to; i = SkipWhite(s, i)) {
        size_t start = i;
        if (s.p[i] == '-' || s.p[i] == '+') i++;
        while (i < to && (IsDigit(s.p[i]) || s.p[i] == '.')) i++;
        if (i == start || i - start > kNumberMax || (i < to && !IsWhite(s.p[i])) || numbers == kBoxNumbers)
            return false;
        char text[kNumberMax + 1];
        memcpy(text, s.p + start, i - start);
        text[i - start] = 0;
        v[numbers++] = strtod(text, nullptr);
    }
    return numbers == kBoxNumbers && v[0] != v[2] && v[1] != v[3];
}

// Where the page's /Resources key stands: in the page, or else in the nearest
// page tree node above it, from which the page inherits them. *holder is the
// object that holds it; SIZE_MAX when none does.
static size_t ResourcesKey(const PdfSource& s, const PdfObjText& page, PdfObjText* holder) {
    *holder = page;
    for (int depth = 0; depth <= kImportMaxDepth; depth++) {
        size_t k = FindKey(s, holder->body, holder->end, "/Resources");
        if (k != SIZE_MAX) return k;
        uint32_t parent;
        if (!RefAfter(s, *holder, "/Parent", &parent) || !ObjectText(s, parent, holder)) break;
    }
    return SIZE_MAX;
}

// Reads the source page and writes its form XObject; the form's object number.
// Generic: the page's resources as they are, every object they reach copied.
// Typed: the fonts, XObjects and graphics states named in them.
static bool ImportForm(PdfDocRec* doc, PdfSource& s, DWORD pageNo, bool generic, DWORD* formObj) {
    gPdfErrorText[0] = 0;
    if (!ReadXref(s)) return false;
    // The trailer's dictionary follows its keyword.
    PdfObjText trailer = {s.trailer + strlen("trailer"), s.n, false, 0, 0, false};
    uint32_t catalog, pages, page = 0;
    PdfObjText cat;
    if (!RefAfter(s, trailer, "/Root", &catalog) || !ObjectText(s, catalog, &cat) || !RefAfter(s, cat, "/Pages", &pages))
        return Refuse("no catalog or page tree");
    DWORD left = pageNo ? pageNo : 1;
    PdfObjText p;
    std::vector<PdfKidSeen> seen(s.offsets.size(), kKidUnseen);
    seen[pages] = kKidNode;
    PdfPageWalk walk = FindPage(s, pages, &seen, &left, 0, &page);
    if (walk == kWalkRefused) return false;
    if (walk != kWalkFound || !ObjectText(s, page, &p)) return Refuse("page not found");
    size_t mb = FindKey(s, p.body, p.end, "/MediaBox");
    size_t mbOpen = mb == SIZE_MAX ? SIZE_MAX : SkipWhite(s, mb + 9);
    if (mbOpen == SIZE_MAX || mbOpen >= p.end || s.p[mbOpen] != '[') return Refuse("no /MediaBox on the page");
    size_t mbClose = Find(s, mbOpen, p.end, "]");
    if (mbClose == SIZE_MAX) return Refuse("no /MediaBox on the page");
    // The box becomes the form's: four numbers, never references into the source.
    if (!BoxOfFourNumbers(s, mbOpen + 1, mbClose)) return Refuse("a /MediaBox that is not four numbers or is empty");
    std::string data, filter;
    if (!PageContent(s, p, &data, &filter)) return gPdfErrorText[0] ? false : Refuse("no usable /Contents");
    // The resources: inline, or the dictionary of the object referenced.
    std::string resources = "<< >>";
    std::vector<uint32_t> todo;
    PdfObjText ro;
    size_t rk = ResourcesKey(s, p, &ro);
    if (rk != SIZE_MAX) {
        size_t i = SkipWhite(s, rk + 10), e;
        uint32_t ref;
        if (ReadRef(s, i, &ref, &e)) {
            if (!ObjectText(s, ref, &ro)) return Refuse("unreadable /Resources");
            i = SkipWhite(s, ro.body);
        }
        if (i + 1 >= ro.end || s.p[i] != '<' || s.p[i + 1] != '<') return Refuse("unreadable /Resources");
        size_t j = DictEnd(s, i, ro.end);
        if (j == SIZE_MAX) return Refuse("unreadable /Resources");
        resources.clear();
        PdfTypedCopy typed{doc, &s, &todo};
        if (generic ? !Rewrite(doc, s, i, j, &resources, &todo) : !CopyResourcesTyped(typed, i, j, &resources))
            return gPdfErrorText[0] ? false : Refuse("a resource that cannot be copied");
    }
    if (!CopyQueued(doc, s, &todo)) return Refuse("an object that cannot be copied");
    // Joined content is written compressed again unless streams are not.
    BYTE* packed = nullptr;
    size_t packedLen = 0;
    if (filter.empty() && !(doc->flags & kPdfFlagUncompressed))
        packedLen = PdfDeflateNew(reinterpret_cast<const BYTE*>(data.data()), data.size(), &packed);
    DWORD obj = doc->nextObj++;
    std::string head = "\r\n<<\r\n  /Type /XObject\r\n  /Subtype /Form\r\n  /FormType 1\r\n  /BBox ";
    head.append(reinterpret_cast<const char*>(s.p + mbOpen), mbClose + 1 - mbOpen);
    head += "\r\n  /Resources " + resources + "\r\n    /Length " +
            std::to_string(packedLen ? packedLen : data.size()) + "\r\n";
    if (packedLen) head += "  /Filter /FlateDecode\r\n";
    else if (!filter.empty()) head += filter + "\r\n";
    head += " >>\r\n";
    // The compressed copy is freed on every way out, a failed allocation too.
    std::unique_ptr<BYTE, void (*)(void*)> packedHeld(packed, GuardedFree);
    if (packedLen) {
        std::string().swap(data);  // the joined content is not held beside its compressed copy
        HoldObject(s, obj, head, packed, packedLen, true);
    } else {
        HoldObject(s, obj, head, reinterpret_cast<const BYTE*>(data.data()), data.size(), true);
    }
    *formObj = obj;
    return true;
}

// The record of the earlier imports of a file by its name, or null.
static PdfImportedFile* ImportedByName(PdfDocRec* doc, const char* name) {
    if (!doc->imported) return nullptr;
    for (PdfImportedFile& f : doc->imported->files)
        if (f.name == name) return &f;
    return nullptr;
}

// The record of what earlier imports of the file read as data wrote, or null
// when there were none or the file has changed since.
static const PdfImportedFile* EarlierImports(PdfDocRec* doc, const char* name, const BYTE* data, size_t size) {
    const PdfImportedFile* f = ImportedByName(doc, name);
    return f && f->size == size && memcmp(f->bytes, data, size) == 0 ? f : nullptr;
}

// Keeps the numbers of a successful import's copies for the next import of
// the same file, and the file's bytes when they are new (*data is then
// owned by the record and set to null). Without memory for them the
// document stays sound: the next import copies its objects again.
static void KeepImported(PdfDocRec* doc, bool known, const char* name, PdfSource& s, BYTE** data) {
    // The kept numbers are a cache: what cannot be held is not kept, and the
    // page imported already stands as it was written.
    CatchNoMemory("keeping an imported file's numbers", [&] {
        if (!doc->imported) doc->imported = new PdfImportedFiles;
        PdfImportedFile* f = ImportedByName(doc, name);
        if (!f) {
            doc->imported->files.push_back({name, nullptr, 0, {}, {}});
            f = &doc->imported->files.back();
        }
        if (!known) {
            GuardedFree(f->bytes);
            f->bytes = *data;
            f->size = s.n;
            *data = nullptr;
        }
        f->newNum.swap(s.newNum);
        f->typedNum.swap(s.typedNum);
    });
}

void PdfFreeImported(PdfDocRec* doc) {
    if (!doc->imported) return;
    for (PdfImportedFile& f : doc->imported->files) GuardedFree(f.bytes);
    delete doc->imported;
    doc->imported = nullptr;
}

int PdfImportPage(PdfDocRec* doc, const PdfImportOpts* opts) {
    // Copied objects are written as the source has them, in the clear: into
    // an encrypted document they would read as garbage.
    if (doc->encryptObj) return Refuse("the document is encrypted"), kPdfFail;
    // A name that cannot be used as given (a NUL inside it, or past the
    // longest taken) would read another file.
    if (!opts->file.text || !opts->file.len || !NameIsWhole(opts->file.text, opts->file.len, kImportNameMax))
        return Refuse("no file name, or one that cannot be used as given"), kPdfFail;
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
        if (!h) return Refuse("the file does not open"), kPdfFail;
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
        if (!data) return Refuse("the file is shorter than 100 bytes or does not read"), kPdfFail;
        form = static_cast<PdfFormRec*>(GuardedAlloc(sizeof(PdfFormRec)));
        const PdfImportedFile* earlier = EarlierImports(doc, name, data, room.Size());
        PdfSource s{data, room.Size(), {}, {}, {}, {}, 0, {}, earlier};
        DWORD obj = 0;
        const DWORD firstObj = doc->nextObj;
        bool ok = false;
        // A page whose copies cannot be held is refused with its reason.
        // Nothing is written before the whole import is held, so the
        // document is as it was; the copies held so far go with s.
        if (!CatchNoMemory("a page's import", [&] {
                ok = form && ImportForm(doc, s, pageNo, opts->g != 0, &obj) && WriteHeld(doc, s);
            }))
            Refuse("the page cannot be held in memory");
        if (ok) KeepImported(doc, earlier != nullptr, name, s, &data);
        GuardedFree(data);
        if (!ok) {
            // Nothing was written: the numbers taken are given back.
            doc->nextObj = firstObj;
            GuardedFree(form);
            if (!gPdfErrorText[0]) Refuse("no memory for the copies");
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
