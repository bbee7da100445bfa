// pdfattach.cpp - file attachments: a file of this machine embedded as an
// embedded file stream, with a file attachment annotation and its icon on the
// current page, listed for the page's "/Annots".
#include <cstring>

#include "print/pdf/pdf.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

// The icons by number, with the width of the default rectangle as a share of
// the font size.
struct PdfIconKind {
    const char* name;
    double widthFactor;
};
static const PdfIconKind kPdfIcons[4] = {
    {"Paperclip", 0.35},   // 0 (and any other value)
    {"Attachment", 0.6},   // 1
    {"Graph", 1.0},        // 2
    {"Tag", 1.33},         // 3
};

constexpr size_t kPdfDateField = 17;  // "D:" and 14 digits with the NUL

// The file read whole, with the dates asked to come from it.
struct PdfAttachFile {
    BYTE* data;
    size_t size;
    char created[kPdfDateField], modified[kPdfDateField];  // empty: none
};

static bool PdfDateFromFile(const PdfOptValue& opt) { return opt.text && opt.len == kPdfDateNowLen; }

// A date option: given digits, or the file's time; an empty text when absent.
static void PdfAttachDate(const PdfOptValue& opt, int64_t fileTime, char out[kPdfDateField]) {
    out[0] = 0;
    if (!opt.text) return;
    if (PdfDateFromFile(opt)) {
        if (!fileTime) return;
        memcpy(out, "D:", 2);
        PdfDateText(out + 2, fileTime);
        return;
    }
    memcpy(out, "D:", 2);
    memcpy(out + 2, opt.text, opt.len);
    out[2 + opt.len] = 0;
}

// A name longer than 256 characters, or holding a NUL, is refused rather than
// cut: a cut name could name another file. So is a file larger than memory can hold.
static bool PdfReadAttachFile(const PdfAttachOpts* o, PdfAttachFile* f) {
    memset(f, 0, sizeof *f);
    if (!o->file.text || o->file.len == 0 || !NameIsWhole(o->file.text, o->file.len, kPdfAttachNameMax)) return false;
    char name[kPdfAttachNameMax + 1];
    memcpy(name, o->file.text, o->file.len);
    name[o->file.len] = 0;
    uintptr_t h = PdfFileOpen(name, kPdfFileReadOnly, kPdfOpenExisting);
    if (!h) return false;
    int64_t created = 0, written = 0;
    if (PdfDateFromFile(o->created) || PdfDateFromFile(o->modified)) PdfFileTimes(h, &created, &written);
    PdfAttachDate(o->created, created, f->created);
    PdfAttachDate(o->modified, written, f->modified);
    int64_t size = PdfFileSeekEnd(h);
    CheckedSize room(size < 0 ? 0 : static_cast<uint64_t>(size));
    bool ok = size >= 0 && room.Fits() && PdfFileSeek(h, 0) == 0;
    if (ok && size > 0) {
        f->data = static_cast<BYTE*>(GuardedAlloc(room.Size()));
        ok = f->data && PdfFileRead(h, f->data, room.Size()) == size;
    }
    PdfFileClose(h);
    if (!ok) {
        GuardedFree(f->data);
        f->data = nullptr;
        if (!gPdfErrNo) gPdfErrNo = kPdfErrNoFile;
        return false;
    }
    f->size = room.Size();
    return true;
}

static void PdfPutLineString(PdfDocRec* doc, const char* key, const PdfOptValue& v, DWORD obj) {
    PdfPutText(doc, key);
    PdfPutString(doc, v.text, v.len, kPdfEndLine, obj);
}

static void PdfPutEmbeddedFile(PdfDocRec* doc, DWORD obj, PdfAttachFile* f) {
    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, "<<");
    PdfPutLine(doc, "  /Type /EmbeddedFile");
    PdfPutText(doc, "  /Params << /Size ");
    PdfPutUInt(doc, f->size, 1);
    if (f->created[0]) {
        PdfPutText(doc, " /CreationDate ");
        PdfPutString(doc, f->created, strlen(f->created), kPdfSameLine, obj);
    }
    if (f->modified[0]) {
        PdfPutText(doc, " /ModDate ");
        PdfPutString(doc, f->modified, strlen(f->modified), kPdfSameLine, obj);
    }
    PdfPutLine(doc, " >>");
    BYTE* packed = nullptr;
    size_t packedLen = (doc->flags & kPdfFlagUncompressed) ? 0 : PdfDeflateNew(f->data, f->size, &packed);
    BYTE* body = packedLen ? packed : f->data;
    size_t bodyLen = packedLen ? packedLen : f->size;
    if (packedLen) PdfPutLine(doc, "  /Filter /FlateDecode ");
    PdfPutText(doc, "  /Length ");
    PdfPutUInt(doc, bodyLen, 1);
    PdfPutLine(doc, nullptr);
    PdfPutLine(doc, " >>");
    PdfPutStreamBody(doc, body, bodyLen, obj);
    GuardedFree(packed);
}

// The rectangle in points: given sides, else the print position and a box of
// the font size, as wide as the icon asks.
static void PdfAttachRect(PdfDocRec* doc, const PdfAttachOpts* o, double factor, double r[4]) {
    double size = doc->fontSize;
    double top = o->top ? PdfToPoints(doc, o->top, kPdfVert) : doc->y;
    double bottom = o->bottom ? PdfToPoints(doc, o->bottom, kPdfVert) : top + size;
    double left = o->left ? PdfToPoints(doc, o->left, kPdfHorz) : doc->x;
    double right = o->right ? PdfToPoints(doc, o->right, kPdfHorz) : left + size * factor;
    r[0] = PdfPageCoord(doc, left, kPdfAxisX);
    r[1] = PdfPageCoord(doc, bottom, kPdfAxisY);
    r[2] = PdfPageCoord(doc, right, kPdfAxisX);
    r[3] = PdfPageCoord(doc, top, kPdfAxisY);
}

static void PdfPutAnnotation(PdfDocRec* doc, DWORD obj, DWORD fileObj, const PdfAttachOpts* o) {
    const PdfIconKind& icon = kPdfIcons[o->icon < 4 ? o->icon : 0];
    double r[4];
    PdfAttachRect(doc, o, icon.widthFactor, r);
    PdfPutUInt(doc, obj, 1);
    PdfPutLine(doc, " 0 obj");
    PdfPutLine(doc, "<</Type /Annot");
    PdfPutLine(doc, "  /Subtype /FileAttachment");
    PdfPutText(doc, "  /Rect [");
    for (int i = 0; i < 4; i++) {
        if (i) PdfPutByte(doc, ' ');
        PdfPutFixed3(doc, r[i]);
    }
    PdfPutLine(doc, "]");
    if (o->title.text) PdfPutLineString(doc, "  /T ", o->title, obj);
    if (o->desc.text) PdfPutLineString(doc, "  /Contents ", o->desc, obj);
    PdfPutLine(doc, "  /FS <<");
    if (o->desc.text) PdfPutLineString(doc, "    /Desc ", o->desc, obj);
    PdfPutLineString(doc, "    /F", o->name.text && o->name.len ? o->name : o->file, obj);
    PdfPutText(doc, "    /EF << /F ");
    PdfPutUInt(doc, fileObj, 1);
    PdfPutLine(doc, " 0 R>>");
    PdfPutLine(doc, "    >>");
    PdfPutText(doc, "  /Name /");
    PdfPutLine(doc, icon.name);
    PdfPutLine(doc, "  /C [.7 .7 .7]");
    PdfPutLine(doc, ">>endobj");
    PdfPutLine(doc, nullptr);
}

int PdfAddAttachment(PdfDocRec* doc, const PdfAttachOpts* opts) {
    PdfAttachFile f;
    if (!PdfReadAttachFile(opts, &f)) return kPdfFail;
    auto* entry = static_cast<PdfListRec*>(GuardedAlloc(sizeof(PdfListRec)));
    DWORD fileObj = doc->nextObj, annotObj = fileObj + 1;
    if (!entry || !PdfSetObjOffset(doc, annotObj)) {
        GuardedFree(entry);
        GuardedFree(f.data);
        gPdfErrNo = kPdfErrNoMemory;
        return kPdfFail;
    }
    doc->nextObj += 2;
    PdfSetObjOffset(doc, fileObj);
    PdfPutEmbeddedFile(doc, fileObj, &f);
    PdfSetObjOffset(doc, annotObj);
    PdfPutAnnotation(doc, annotObj, fileObj, opts);
    memset(entry, 0, sizeof *entry);
    entry->objNum = annotObj;
    entry->next = doc->annots;
    doc->annots = entry;
    GuardedFree(f.data);
    return kPdfOk;
}
