// qoffile.cpp - reading the QOF form file from memory: the header checks in
// their order, the object table, resources, labels, descriptors and code area,
// each checked against its area in 64-bit arithmetic; the macro restoring of
// stored event code; the shared stream buffer.
#include "forms/qoffile.h"

#include <cstring>

#include "objects/crstream.h"
#include "objects/objtables.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

const char kQofErrRead[] = "Unable To Read File";
const char kQofErrFormat[] = "Invalid Form File Format";
const char kQofErrNewer[] = "This Form File Was Created With A Newer Command";
const char kQofErrIncomplete[] = "This Form File Was Not Successfully Created";
const char kQofErrTruncated[] = "Corrupted QOF File (Truncated file encountered!)";
const char kQofErrObjSeek[] = "Corrupt Form File (I/O Error 1)";
const char kQofErrObjNames[] = "Unable To Read File Obj Names";
const char kQofErrStreamSeek[] = "Error Positioning To Form Stream";
const char kQofErrStreamRead[] = "Unable To Read Form Stream";
const char kQofErrMemory[] = "Out Of Memory";
const char kQofErrResStart[] = "Corrupt Form File (Res Start)";
const char kQofErrResInfo[] = "Unable To Read File Res Info";
const char kQofErrResDataStart[] = "Corrupt Form File (Res Data Start)";
const char kQofErrResData[] = "Unable To Read Resource Data";
const char kQofErrDecodeForm[] = "Unable To Decode Form Information";
const char kQofErrCreateForm[] = "Unable To Create Form";
const char kQofErrDecodeObject[] = "Unable To Decode Object Information";
const char kQofErrObjectType[] = "Invalid Object Type";
const char kQofErrUserCode[] = "Unable to load user code";

const uint16_t kQofIndexProps[kQofIndexPropCount] = {kPidImageList, kPidImageListSm, kPidImageListSt,
                                                     kPidImageListD, kPidImageListH, kPidSubMenu};

namespace {

constexpr char kCodeMark[] = "#S\r\n";
constexpr uint32_t kCodeMarkLen = 4;
constexpr char kMacroMarker[] = " ;&objname";
constexpr uint32_t kMacroMarkerLen = 10;
constexpr char kMacroName[] = "&OBJNAME";
constexpr uint32_t kMacroNameLen = 8;
constexpr uint32_t kLabelHeadSize = 5;       // u32 0, u8 length

uint8_t* gStreamBuf;
size_t gStreamBufSize;

uint32_t U32(const ByteReader& r, uint32_t off) {
    uint32_t v = 0;
    r.U32At(off, &v);
    return v;
}

// A fixed name field: at most 31 characters are kept, and never a byte past
// the field, whether or not the file put a NUL in it.
void CopyName(const uint8_t* field, char* out) {
    uint32_t n = 0;
    while (n < kQofNameSize - 1 && field[n]) ++n;
    memcpy(out, field, n);
    out[n] = 0;
}

bool EndInside(uint64_t off, uint64_t size, uint64_t fileSize) { return off + size <= fileSize; }

bool Fail(const char** err, const char* why) {
    *err = why;
    return false;
}

}  // namespace

// ---- Header ------------------------------------------------------------------------

static void ParseHeader(const ByteReader& r, QofHeader* h) {
    h->version = U32(r, kQhVersion);
    h->flags = U32(r, kQhFlags);
    h->objTableOff = U32(r, kQhObjTableOff);
    h->objCount = U32(r, kQhObjCount);
    h->streamOff = U32(r, kQhStreamOff);
    h->streamSize = U32(r, kQhStreamSize);
    h->resTableOff = U32(r, kQhResTableOff);
    h->resCount = U32(r, kQhResCount);
    h->resDataOff = U32(r, kQhResDataOff);
    h->resDataSize = U32(r, kQhResDataSize);
    h->labelOff = U32(r, kQhLabelOff);
    h->labelSize = U32(r, kQhLabelSize);
    h->descOff = U32(r, kQhDescOff);
    h->descCount = U32(r, kQhDescCount);
    h->codeOff = U32(r, kQhCodeOff);
    h->codeSize = U32(r, kQhCodeSize);
    CopyName(r.Data() + kQhFormName, h->formName);
    h->oleOff = U32(r, kQhOleOff);
    h->oleSize = U32(r, kQhOleSize);
    h->userCodeOff = U32(r, kQhUserCodeOff);
    h->userCodeSize = U32(r, kQhUserCodeSize);
    h->writerBuild = U32(r, kQhWriterBuild);
}

static uint32_t DescSize(const QofHeader& h) { return h.version == 1 ? kQofDescSizeV1 : kQofDescSize; }

// Every area must end inside the file. The sums are made in 64 bits: a u32
// offset plus a u32 size could otherwise wrap to a small value and pass. The
// descriptor and code areas are checked whole here too, since they are read
// only after the objects exist.
static bool AreasInsideFile(const QofHeader& h, uint64_t n) {
    return h.descOff <= n && h.codeOff <= n && EndInside(h.labelOff, h.labelSize, n) &&
           EndInside(h.userCodeOff, h.userCodeSize, n) && EndInside(h.streamOff, h.streamSize, n) &&
           h.objTableOff <= n && h.resTableOff <= n && EndInside(h.resDataOff, h.resDataSize, n) &&
           EndInside(h.oleOff, h.oleSize, n) && EndInside(h.codeOff, h.codeSize, n) &&
           EndInside(h.descOff, static_cast<uint64_t>(h.descCount) * DescSize(h), n);
}

bool QofReadHeader(QofFile* f, const char** err) {
    f->headerRead = false;
    ByteReader r(f->data, f->size);
    if (!r.Has(0, kQofHeaderSize)) return Fail(err, kQofErrRead);
    if (memcmp(f->data + kQhMagic, kQofMagic, sizeof kQofMagic) != 0) return Fail(err, kQofErrFormat);
    ParseHeader(r, &f->h);
    f->headerRead = true;
    if (f->h.version > kQofVersionNewest) return Fail(err, kQofErrNewer);
    f->oldFormat = f->h.version < kQofVersionCurrent;
    if (f->h.flags & kQofFlagSaveInProgress) return Fail(err, kQofErrIncomplete);
    if (!AreasInsideFile(f->h, f->size)) return Fail(err, kQofErrTruncated);
    return true;
}

int32_t QofHeaderFlags(const uint8_t* data, size_t size) {
    ByteReader r(data, size);
    if (!r.Has(0, kQofHeaderSize) || memcmp(data, kQofMagic, sizeof kQofMagic) != 0) return -1;
    if (U32(r, kQhVersion) >= kQofVersionRefused) return -2;
    return static_cast<int32_t>(U32(r, kQhFlags));
}

int32_t QofHeaderInfo(const uint8_t* data, size_t size, uint32_t selector) {
    ByteReader r(data, size);
    if (!r.Has(0, kQofHeaderSize) || memcmp(data, kQofMagic, sizeof kQofMagic) != 0) return -1;
    if (selector == 1) return static_cast<int32_t>(U32(r, kQhVersion));
    if (selector == 2) return static_cast<int32_t>(U32(r, kQhFlags));
    return -1;
}

// ---- Object table ------------------------------------------------------------------------

bool QofKindIsSubObject(uint32_t kind) {
    return kind == kKindStatusPanel || kind == kKindToolButton || kind == kKindMenuItem;
}

bool QofKindCreatable(uint32_t kind) {
    if (kind == kKindNone || kind > kObjectKindLast) return false;
    switch (kind) {
    case kKindCheckGrp: case kKindDialog: case kKindMovie: case kKindRadioGrp: case kKindColor:
    case kKindFont: case kKindWindow: case kKindCollection: case kKindVariant:
        return false;
    default:
        return true;
    }
}

// The owner a sub-object row goes into must have come before it.
static bool IsOwnerOf(uint32_t owner, uint32_t sub) {
    switch (sub) {
    case kKindStatusPanel: return owner == kKindStatusBar;
    case kKindToolButton: return owner == kKindToolBar;
    default: return owner == kKindMenu || owner == kKindSubMenu || owner == kKindFloatMenu;
    }
}

static bool CheckRowKinds(QofFile* f, const char** err) {
    bool seen[kObjectKindRows] = {};
    uint32_t entries = 0;
    for (uint32_t i = 0; i < f->h.objCount; ++i) {
        QofRow& row = f->rows[i];
        if (i > 0 && !QofKindCreatable(row.kind)) return Fail(err, kQofErrObjectType);
        if (i > 0 && QofKindIsSubObject(row.kind)) {
            bool owned = false;
            for (uint32_t k = 0; k <= kObjectKindLast && !owned; ++k) owned = seen[k] && IsOwnerOf(k, row.kind);
            if (!owned) return Fail(err, kQofErrObjectType);
            row.entry = -1;
            continue;
        }
        // The entries have room for 500; a file that names more is refused
        // before anything is created.
        if (entries >= kQofMaxEntries) return Fail(err, kQofErrObjNames);
        row.entry = static_cast<int32_t>(entries++);
        if (row.kind < kObjectKindRows) seen[row.kind] = true;
    }
    f->entryCount = entries;
    return true;
}

bool QofReadObjectTable(QofFile* f, const char** err) {
    ByteReader r(f->data, f->size);
    if (f->h.objTableOff > f->size) return Fail(err, kQofErrObjSeek);
    if (f->h.objCount == 0) return Fail(err, kQofErrObjNames);
    CheckedSize tableSize(f->h.objCount);
    tableSize.Mul(kQofRowSize);
    if (!tableSize.Fits() || !r.Has(f->h.objTableOff, tableSize.Size())) return Fail(err, kQofErrObjNames);
    CheckedSize rowsSize(f->h.objCount);
    rowsSize.Mul(sizeof(QofRow));
    if (!rowsSize.Fits()) return Fail(err, kQofErrMemory);
    f->rows = static_cast<QofRow*>(GuardedAlloc(rowsSize.Size()));
    if (!f->rows) return Fail(err, kQofErrMemory);
    if (f->h.streamOff > f->size) return Fail(err, kQofErrStreamSeek);
    f->stream = r.PtrAt(f->h.streamOff, f->h.streamSize);
    if (!f->stream) return Fail(err, kQofErrStreamRead);
    for (uint32_t i = 0; i < f->h.objCount; ++i) {
        size_t at = f->h.objTableOff + static_cast<size_t>(i) * kQofRowSize;
        QofRow& row = f->rows[i];
        CopyName(f->data + at + kQrName, row.name);
        row.kind = f->data[at + kQrKind];
        row.streamOff = U32(r, static_cast<uint32_t>(at + kQrStreamOff));
        row.streamSize = U32(r, static_cast<uint32_t>(at + kQrStreamSize));
        // Each row's stream must lie inside the form stream.
        if (static_cast<uint64_t>(row.streamOff) + row.streamSize > f->h.streamSize)
            return Fail(err, kQofErrStreamRead);
    }
    return CheckRowKinds(f, err);
}

const uint8_t* QofRowStream(const QofFile* f, uint32_t row) { return f->stream + f->rows[row].streamOff; }

bool QofIndexOutOfRange(const ObjectCreateRecord* cr, uint32_t id, uint32_t limit) {
    return cr->given[id] && static_cast<uint32_t>(cr->values[id]) >= limit;
}

bool QofCheckRowReferences(const QofFile* f, ObjectCreateRecord* cr, const char** err) {
    uint32_t made = 0;   // entries made before the row
    for (uint32_t i = 0; i < f->h.objCount; ++i) {
        const QofRow& row = f->rows[i];
        if (!DecodeFormCrStream(QofRowStream(f, i), row.streamSize, f->h.version, 1, cr))
            return Fail(err, i == 0 ? kQofErrDecodeForm : kQofErrDecodeObject);
        if (i > 0) {
            // Index 0 is the form's window for the parent, none for the others;
            // any other index must name an entry made earlier in the file.
            if (cr->window >= made) return Fail(err, kQofErrDecodeObject);
            for (uint16_t id : kQofIndexProps)
                if (QofIndexOutOfRange(cr, id, made)) return Fail(err, kQofErrDecodeObject);
        }
        if (row.entry >= 0) made = static_cast<uint32_t>(row.entry) + 1;
    }
    return true;
}

void QofFileFree(QofFile* f) {
    GuardedFree(f->rows);
    f->rows = nullptr;
}

// ---- Resources ------------------------------------------------------------------------------

bool QofReadResources(const QofFile* f, FormResource** chain, const char** err) {
    *chain = nullptr;
    if (f->h.resCount == 0) return true;
    ByteReader r(f->data, f->size);
    if (f->h.resTableOff > f->size) return Fail(err, kQofErrResStart);
    CheckedSize rowsSize(f->h.resCount);
    rowsSize.Mul(kQofResRowSize);
    if (!rowsSize.Fits() || !r.Has(f->h.resTableOff, rowsSize.Size())) return Fail(err, kQofErrResInfo);
    if (f->h.resDataOff > f->size) return Fail(err, kQofErrResDataStart);
    // The data of the rows lies back to back from the start of the area; every
    // size is held to what is left of the area before anything is allocated.
    uint64_t used = 0;
    for (uint32_t i = 0; i < f->h.resCount; ++i) {
        size_t at = f->h.resTableOff + static_cast<size_t>(i) * kQofResRowSize;
        uint32_t size = U32(r, static_cast<uint32_t>(at + kQrsDataSize));
        if (used + size > f->h.resDataSize) {
            FormResChainFree(*chain);
            *chain = nullptr;
            return Fail(err, kQofErrResData);
        }
        CheckedSize total(offsetof(FormResource, data));
        total.Add(size);
        auto* res = total.Fits() ? static_cast<FormResource*>(LocalAllocZero(total.Size())) : nullptr;
        if (!res) {
            FormResChainFree(*chain);
            *chain = nullptr;
            return Fail(err, kQofErrMemory);
        }
        res->number = U32(r, static_cast<uint32_t>(at + kQrsNumber));
        CopyName(f->data + at + kQrsName, res->name);
        r.U16At(at + kQrsKind, &res->kind);
        r.U16At(at + kQrsFlags, &res->flags);
        res->size = size;
        r.BytesAt(f->h.resDataOff + used, res->data, size);
        used += size;
        res->next = *chain;
        *chain = res;
    }
    return true;
}

void FormResChainFree(FormResource* chain) {
    while (chain) {
        FormResource* next = chain->next;
        LocalFreeMem(chain);
        chain = next;
    }
}

const FormResource* FormResFind(const FormResource* chain, uint16_t kind, uint32_t number, const char* name) {
    for (const FormResource* r = chain; r; r = r->next) {
        if (r->kind != kind) continue;
        if (name ? strcmp(r->name, name) == 0 : r->number == number) return r;
    }
    return nullptr;
}

// ---- Labels, descriptors, code --------------------------------------------------------------------

bool QofReadDesc(const QofFile* f, uint32_t i, QofDesc* out) {
    if (i >= f->h.descCount) return false;
    ByteReader r(f->data, f->size);
    size_t at = f->h.descOff + static_cast<size_t>(i) * DescSize(f->h);
    if (!r.Has(at, DescSize(f->h))) return false;
    r.U16At(at, &out->labelOff);
    if (f->h.version == 1) {
        uint16_t eventId = 0;
        r.U16At(at + 2, &eventId);
        r.U16At(at + 4, &out->objectIndex);
        out->eventId = eventId;
        out->codeOff = U32(r, static_cast<uint32_t>(at + 6));
        out->codeLength = U32(r, static_cast<uint32_t>(at + 10));
    } else {
        r.U16At(at + 2, &out->objectIndex);
        out->eventId = U32(r, static_cast<uint32_t>(at + 4));
        out->codeOff = U32(r, static_cast<uint32_t>(at + 8));
        out->codeLength = U32(r, static_cast<uint32_t>(at + 12));
    }
    return true;
}

bool QofLabelAt(const QofFile* f, uint32_t off, const char** text, uint32_t* length) {
    ByteReader area(f->data + f->h.labelOff, f->h.labelSize);
    uint8_t n = 0;
    if (!area.Has(off, kLabelHeadSize) || !area.U8At(off + 4, &n)) return false;
    const uint8_t* p = area.PtrAt(off + kLabelHeadSize, n);
    if (!p) return false;
    *text = reinterpret_cast<const char*>(p);
    *length = n;
    return true;
}

bool QofDescCode(const QofFile* f, const QofDesc* d, const char** code, uint32_t* length) {
    ByteReader area(f->data + f->h.codeOff, f->h.codeSize);
    const uint8_t* p = area.PtrAt(d->codeOff, d->codeLength);
    if (!p) return false;
    *code = reinterpret_cast<const char*>(p);
    *length = d->codeLength;
    return true;
}

static const char* FindMark(const char* from, const char* end) {
    for (const char* p = from; p + kCodeMarkLen <= end; ++p)
        if (memcmp(p, kCodeMark, kCodeMarkLen) == 0) return p;
    return nullptr;
}

bool QofCodeOutputText(const QofFile* f, const char** text, uint32_t* length) {
    const char* code = reinterpret_cast<const char*>(f->data + f->h.codeOff);
    const char* end = code + f->h.codeSize;
    const char* first = FindMark(code, end);
    if (!first) return false;
    const char* start = first + kCodeMarkLen;
    const char* next = FindMark(start, end);
    // Without a second mark, one ending the area (its own line without the
    // line end) closes the text.
    if (!next && end - start >= 2 && memcmp(end - 2, "#S", 2) == 0) next = end - 2;
    if (!next) return false;
    *text = start;
    *length = static_cast<uint32_t>(next - start);
    return true;
}

static bool MarkerAt(const char* p, const char* end) {
    if (end - p < static_cast<ptrdiff_t>(kMacroMarkerLen)) return false;
    for (uint32_t i = 0; i < kMacroMarkerLen; ++i) {
        char c = p[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kMacroMarker[i]) return false;
    }
    return true;
}

uint32_t FormCodeUnexpand(const char* code, uint32_t length, const char* name, char* out) {
    const char* end = code + length;
    size_t nameLen = name ? strlen(name) : 0;
    uint32_t w = 0;
    uint32_t lineStart = 0;     // in out: the first character after the last CR
    for (const char* p = code; p < end;) {
        if (!MarkerAt(p, end)) {
            out[w++] = *p;
            if (*p == '\r') lineStart = w;
            ++p;
            continue;
        }
        // Look back along the line for the last occurrence of the name; it
        // becomes the macro, and what stood between it and the marker stays.
        if (nameLen) {
            for (uint32_t at = w >= nameLen ? static_cast<uint32_t>(w - nameLen) + 1 : 0; at-- > lineStart;) {
                if (at + nameLen > w || memcmp(out + at, name, nameLen) != 0) continue;
                uint32_t tail = static_cast<uint32_t>(w - at - nameLen);
                // "&OBJNAME" may be longer than the name; the text after it
                // moves right, into room the dropped marker leaves.
                memmove(out + at + kMacroNameLen, out + at + nameLen, tail);
                memcpy(out + at, kMacroName, kMacroNameLen);
                w = at + kMacroNameLen + tail;
                break;
            }
        }
        p += kMacroMarkerLen;
    }
    return w;
}

// ---- The read before any object is created ---------------------------------------------------------

bool QofReadForLoad(QofFile* f, FormResource** chain, ObjectCreateRecord* scratch, const char** err) {
    *chain = nullptr;
    if (!QofReadHeader(f, err) || !QofReadResources(f, chain, err)) return false;
    if (QofReadObjectTable(f, err) && QofCheckRowReferences(f, scratch, err)) return true;
    QofFileFree(f);
    FormResChainFree(*chain);
    *chain = nullptr;
    return false;
}

// ---- Shared stream buffer ----------------------------------------------------------------------------

uint8_t* FormStreamBufReserve(size_t size) {
    if (gStreamBuf && size <= gStreamBufSize) return gStreamBuf;
    CheckedSize want(size);
    want.Add(kFormStreamStep - 1);
    if (!want.Fits()) return nullptr;
    size_t grown = want.Size() / kFormStreamStep * kFormStreamStep;
    if (grown == 0) grown = kFormStreamStep;
    auto* p = static_cast<uint8_t*>(GuardedRealloc(gStreamBuf, grown));
    if (!p) return nullptr;
    gStreamBuf = p;
    gStreamBufSize = grown;
    return gStreamBuf;
}

void FormStreamBufFree() {
    GuardedFree(gStreamBuf);
    gStreamBuf = nullptr;
    gStreamBufSize = 0;
}
