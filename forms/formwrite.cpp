// formwrite.cpp - the QOF form writer: creation streams of live objects, the
// handler labels and CALL statements of event code, the macro expansion, and
// the whole file built in memory with every offset, length and label offset
// checked against the width of its field before it is written.
#include "forms/formwrite.h"

#include <cstdio>
#include <cstring>

#include "objects/objtables.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

const char kQwErrWrite[] = "Unable To Write Form File";
const char kQwErrHeader[] = "Unable To Write Form File Header";
const char kQwErrStream[] = "Unable To Write Form File(TB)";
const char kQwErrMemory[] = "Out Of Memory";
const char kQwErrMacro[] = "Macro Expansion Failed";
const char kQwErrTextTooLong[] = "Property Text Too Long For Form File";
const char kQwErrLabelArea[] = "Event Labels Too Large For Form File";
const char kQwErrOleStorage[] = "Unable To Save Form File OLE Storage";

namespace {

constexpr uint16_t kTextWordBit = 0x8000;
constexpr size_t kNumberRecordSize = 6;             // u16 id, u32 value
constexpr uint32_t kTextMaxLength = 0xFFFF;         // u16 length of a text record
constexpr uint32_t kLabelOffsetMax = 0xFFFF;        // u16 label offset of a descriptor
constexpr uint32_t kLabelTextMax = 255;             // u8 length of a label record
constexpr uint32_t kVersionRequires96 = 7;
constexpr uint32_t kHeaderFlagsFirst = kQwAlways | kQofFlagSaveInProgress;
constexpr char kSubObjectName[] = "-";
constexpr char kMacro[] = "&objname";
constexpr uint32_t kMacroLen = 8;
constexpr char kMacroMarker[] = " ;&OBJNAME";
constexpr uint32_t kMacroMarkerLen = 10;
constexpr char kEventDecls[] =
    "#EventType \tForm \t4\r\n#EventResult \tForm \t11\r\n#EventObjId \tForm \t8\r\n"
    "#EventChar \tDim \t1\r\n#EventMod \tForm \t4\r\n\r\n";
constexpr char kGotoLine[] = " GOTO #S\r\n";
constexpr char kReturnTrailer[] = "\r\n@  \tRETURN\r\n\r\n";
constexpr char kTargetLine[] = "#S\r\n";
constexpr char kCrLf[] = "\r\n";
constexpr uint32_t kDeclNameColumns = 32;
constexpr char kDeclNamePad[] = "                                ";   // a name's line padded to its columns
static_assert(sizeof kDeclNamePad - 1 == kDeclNameColumns, "the pad fills the name's columns");
constexpr char kKindNamePrefix[] = "- ";
constexpr uint32_t kWebFlagFirst = 318, kWebFlagLast = 328;

constexpr uint16_t kNeverIds[] = {24, 84, 118, 201, 207, 230, 281};
constexpr uint16_t kAlwaysIds[] = {3, 5, 14, 17, 23, 28, 42, 43, 56, 62, 92, 140, 146, 149, 152, 156, 312};
constexpr uint16_t kSkipOneIds[] = {9, 38, 39, 40, 41, 52, 58, 91, 342};
constexpr uint16_t kTextIds[] = {12,  30,  59,  61,  86,  110, 113, 116, 119, 143, 144, 155, 206, 221, 257,
                                 260, 261, 309, 315, 316, 319, 321, 322, 325, 328, 330, 331, 332, 333, 334};
constexpr uint16_t kTextSkipEmptyIds[] = {336, 338, 339, 340, 341};
// Texts of these ids are left out when empty although they are text records.
constexpr uint16_t kEmptyTextLeftOut[] = {319, 321, 322, 325, 328};
constexpr int32_t kDockDefault = 3, kAnchorDefault = 7;

template <size_t N>
constexpr bool InList(const uint16_t (&list)[N], uint32_t id) {
    for (uint16_t v : list)
        if (v == id) return true;
    return false;
}

void SetError(FormSaveContext* ctx, const char* text) {
    if (ctx) snprintf(ctx->errorText, sizeof ctx->errorText, "%s", text);
}

// ---- The file in memory ------------------------------------------------------------------

struct Bytes {
    uint8_t* data;
    size_t size;
    size_t cap;
    bool failed;
};

bool Grow(Bytes* b, size_t need) {
    if (need <= b->cap) return true;
    CheckedSize cap(need);
    cap.Mul(2);
    if (!cap.Fits() || need > UINT32_MAX) return false;
    auto* p = static_cast<uint8_t*>(GuardedRealloc(b->data, cap.Size()));
    if (!p) return false;
    b->data = p;
    b->cap = cap.Size();
    return true;
}

void Put(Bytes* b, const void* bytes, size_t n) {
    if (b->failed) return;
    CheckedSize need(b->size);
    need.Add(n);
    if (!need.Fits() || !Grow(b, need.Size())) {
        b->failed = true;
        return;
    }
    if (n) memcpy(b->data + b->size, bytes, n);
    b->size += n;
}
void PutZeros(Bytes* b, size_t n) {
    if (b->failed) return;
    CheckedSize need(b->size);
    need.Add(n);
    if (!need.Fits() || !Grow(b, need.Size())) {
        b->failed = true;
        return;
    }
    memset(b->data + b->size, 0, n);
    b->size += n;
}
void PutText(Bytes* b, const char* s) { Put(b, s, strlen(s)); }
void Set16(Bytes* b, size_t at, uint32_t v) {
    if (b->failed) return;
    b->data[at] = static_cast<uint8_t>(v);
    b->data[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Set32(Bytes* b, size_t at, uint32_t v) {
    if (b->failed) return;
    for (int i = 0; i < 4; ++i) b->data[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put32(Bytes* b, uint32_t v) {
    uint8_t le[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                     static_cast<uint8_t>(v >> 24)};
    Put(b, le, sizeof le);
}
uint32_t Pos(const Bytes* b) { return static_cast<uint32_t>(b->size); }

void SetName(Bytes* b, size_t at, const char* name) {
    if (b->failed) return;
    size_t n = strnlen(name, kQofNameSize - 1);
    memcpy(b->data + at, name, n);
}

}  // namespace

// ---- Record forms ------------------------------------------------------------------------------

// The form of an id as the lists above give it. Each property of each saved
// object asks for its form, so the ids of the property table answer from a
// table made of this at compile time rather than by a walk of the lists.
static constexpr FormRecordForm RecordFormByLists(uint32_t id) {
    if (InList(kNeverIds, id)) return kRfNever;
    if (InList(kAlwaysIds, id)) return kRfAlways;
    if (InList(kSkipOneIds, id)) return kRfSkipOne;
    if (InList(kTextIds, id)) return kRfText;
    if (InList(kTextSkipEmptyIds, id)) return kRfTextSkipEmpty;
    if (id == kPidDock) return kRfDock;
    if (id == kPidAnchor) return kRfAnchor;
    if (id == kPidPasswordChar) return kRfPasswordChar;
    if (id == kPidText) return kRfLongText;
    if ((id >= kPidImageList && id <= kPidImageListH) || id == kPidSubMenu) return kRfReference;
    return kRfSkipZero;
}

namespace {

struct RecordFormTable {
    FormRecordForm form[kPropIdCount];
};

constexpr RecordFormTable MakeRecordFormTable() {
    RecordFormTable t = {};
    for (uint32_t id = 0; id < kPropIdCount; ++id) t.form[id] = RecordFormByLists(id);
    return t;
}

constexpr RecordFormTable kRecordForms = MakeRecordFormTable();

}  // namespace

FormRecordForm FormPropRecordForm(uint32_t id) {
    return id < kPropIdCount ? kRecordForms.form[id] : RecordFormByLists(id);
}

bool FormPropSetsWebFlag(uint32_t id) { return id >= kWebFlagFirst && id <= kWebFlagLast; }

// Room for n more bytes at the end of out, counted in its length; null when
// a fixed buffer has no room or the shared one cannot grow.
static uint8_t* FormStreamRoom(FormStreamOut* out, size_t n) {
    CheckedSize need(out->length);
    need.Add(n);
    if (!need.Fits()) return nullptr;
    if (need.Size() > out->room) {
        if (!out->shared) return nullptr;
        // The shared buffer grows by at least one step past the larger of the
        // need and its old size.
        CheckedSize grown(need.Size() > out->room ? need.Size() : out->room);
        grown.Add(kFormStreamStep);
        uint8_t* p = grown.Fits() ? FormStreamBufReserve(grown.Size()) : nullptr;
        if (!p) return nullptr;
        out->data = p;
        out->room = grown.Size();
    }
    uint8_t* at = out->data + out->length;
    out->length += n;
    return at;
}

bool FormStreamPut(FormStreamOut* out, const void* bytes, size_t n) {
    if (n == 0) return true;
    uint8_t* at = FormStreamRoom(out, n);
    if (!at) return false;
    memcpy(at, bytes, n);
    return true;
}

// A number record is written in place: every property of every object saved
// that is not a text is one.
bool FormStreamPutNumber(FormStreamOut* out, uint32_t id, uint32_t value) {
    uint8_t* rec = FormStreamRoom(out, kNumberRecordSize);
    if (!rec) return false;
    rec[0] = static_cast<uint8_t>(id);
    rec[1] = static_cast<uint8_t>(id >> 8);
    rec[2] = static_cast<uint8_t>(value);
    rec[3] = static_cast<uint8_t>(value >> 8);
    rec[4] = static_cast<uint8_t>(value >> 16);
    rec[5] = static_cast<uint8_t>(value >> 24);
    return true;
}

bool FormStreamPutText(FormStreamOut* out, uint32_t id, const char* text, uint32_t length) {
    if (length > kTextMaxLength) return false;
    uint32_t word = kTextWordBit + id;
    uint8_t head[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(length),
                       static_cast<uint8_t>(length >> 8)};
    return FormStreamPut(out, head, sizeof head) && FormStreamPut(out, text, length);
}

uint32_t FormEntryIndexOf(const FormSaveContext* ctx, const void* object) {
    if (!ctx || !object) return 0;
    for (uint32_t i = 0; i < ctx->entryCount; ++i)
        if (ctx->entries[i].object == object) return i;
    return 0;
}

// One property of a live object as its record; true when written or left out.
static bool EncodeProperty(FormSaveContext* ctx, const FormObjectSource* src, void* object, uint8_t kind,
                           uint32_t id, uint32_t windowIndex, FormStreamOut* out) {
    FormRecordForm form = FormPropRecordForm(id);
    if (form == kRfNever) return true;
    if (form == kRfLongText && kind == kKindEditDateTime) return true;
    if (form == kRfReference)
        return FormStreamPutNumber(out, id, ctx ? FormEntryIndexOf(ctx, src->reference(object, id)) : 0);
    FormPropValue v = {};
    if (id == kPidWindow) {
        v.value = static_cast<int32_t>(windowIndex);
    } else if (!src->getProp(object, id, &v)) {
        SetError(ctx, kQwErrStream);
        return false;
    }
    uint32_t n = v.text ? v.length : 0;
    bool written = true;
    switch (form) {
    case kRfAlways: break;
    case kRfSkipOne: written = v.value != 1; break;
    case kRfSkipZero: written = v.value != 0; break;
    case kRfDock: written = v.value != kDockDefault; break;
    case kRfAnchor: written = v.value != kAnchorDefault; break;
    case kRfPasswordChar:
        if (n == 0) return true;
        return FormStreamPutNumber(out, id, static_cast<uint8_t>(v.text[0]));
    case kRfText: case kRfTextSkipEmpty: case kRfLongText:
        if (n == 0 && (form == kRfTextSkipEmpty || InList(kEmptyTextLeftOut, id))) return true;
        if (n > kTextMaxLength) {
            SetError(ctx, kQwErrTextTooLong);
            return false;
        }
        if (ctx && FormPropSetsWebFlag(id)) ctx->headerFlags |= kQwWebProps;
        return FormStreamPutText(out, id, v.text, n);
    default: break;
    }
    if (!written) return true;
    if (ctx && FormPropSetsWebFlag(id)) ctx->headerFlags |= kQwWebProps;
    return FormStreamPutNumber(out, id, static_cast<uint32_t>(v.value));
}

uint32_t EncodeFormCrStream(FormSaveContext* ctx, void* object, uint8_t* out, size_t room, uint32_t windowIndex) {
    const FormObjectSource* src = ctx ? ctx->source : nullptr;
    if (!src || !object) return 0;
    FormStreamOut o = {out, 0, room, false};
    if (!out) {
        o.data = FormStreamBufReserve(1);
        if (!o.data) return 0;
        o.room = kFormStreamStep;
        o.shared = true;
    }
    uint8_t kind = src->kindOf(object);
    const uint16_t* ids = KindPropList(kind);
    if (!ids) return 0;
    for (; *ids; ++ids) {
        if (!EncodeProperty(ctx, src, object, kind, *ids, windowIndex, &o)) {
            if (ctx && !ctx->errorText[0]) SetError(ctx, kQwErrStream);
            return 0;
        }
    }
    // A menu bar shows when its stream says Visible, but Visible is not among
    // a Menu's properties: a shown menu bar adds it so that it comes back shown.
    if (kind == kKindMenu) {
        FormPropValue v = {};
        if (!src->getProp(object, kPidVisible, &v)) return 0;
        if (v.value && !FormStreamPutNumber(&o, kPidVisible, static_cast<uint32_t>(v.value))) return 0;
    }
    // An object without any record still has a stream: the caller tells an
    // empty one from a failure by the error text.
    return static_cast<uint32_t>(o.length);
}

// ---- Event code ---------------------------------------------------------------------------------

static bool IsBlank(char c) { return c == ' ' || c == '\t'; }
static bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
static bool IsLabelFirst(char c) { return IsLetter(c) || c == '$' || c == '_' || c == '#'; }
static bool IsLabelChar(char c) { return IsLetter(c) || (c >= '0' && c <= '9') || c == '$' || c == '_'; }

bool FormCodeParseCall(const char* code, uint32_t length, char label[kFormLabelMax + 1], const char** rest) {
    const char* p = code;
    const char* end = code + length;
    while (p < end && IsBlank(*p)) ++p;
    if (end - p < 6) return false;
    static const char kCall[] = "CALL";
    for (int i = 0; i < 4; ++i) {
        char c = p[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != kCall[i]) return false;
    }
    p += 4;
    if (!IsBlank(*p)) return false;
    while (p < end && IsBlank(*p)) ++p;
    if (p == end || !IsLabelFirst(*p)) return false;
    const char* start = p++;
    while (p < end && IsLabelChar(*p)) ++p;
    size_t n = static_cast<size_t>(p - start);
    if (n > kFormLabelMax) {
        memcpy(label, start, kFormLabelMax - 1);
        label[kFormLabelMax - 1] = p[-1];
        label[kFormLabelMax] = 0;
    } else {
        memcpy(label, start, n);
        label[n] = 0;
    }
    if (rest) *rest = p;
    return true;
}

bool FormCodeOnlySpace(const char* p, const char* end) {
    for (; p < end; ++p)
        if (!IsBlank(*p) && *p != '\r' && *p != '\n') return false;
    return true;
}

static const char* EventPrefix(uint32_t id) {
    if (id < kEventPrefixCount) return EventHandlerPrefixes[id];
    if (id == kFormEventJQuery) return kJQueryEventPrefix;
    return nullptr;
}

uint32_t FormHandlerLabel(const FormSaveEntry& e, const FormEventItem& ev, char* out, size_t room) {
    char prefix[kLabelTextMax + 1];
    if (e.ownEventNames && ev.name) snprintf(prefix, sizeof prefix, "%s_", ev.name);
    else snprintf(prefix, sizeof prefix, "%s", EventPrefix(ev.eventId) ? EventPrefix(ev.eventId) : "Def_");
    int n = e.name[0] == '#' ? snprintf(out, room, "#%s%s", prefix, e.name + 1)
                             : snprintf(out, room, "%s%s", prefix, e.name);
    size_t len = n < 0 ? 0 : static_cast<size_t>(n);
    if (len >= room) len = room - 1;
    if (len > kLabelTextMax) len = kLabelTextMax;
    out[len] = 0;
    return static_cast<uint32_t>(len);
}

const char* FormEventElementName(const FormEventItem& ev, char* buf, size_t room) {
    if (ev.name) return ev.name;
    const char* prefix = EventPrefix(ev.eventId);
    if (!prefix) return nullptr;
    size_t n = strlen(prefix) - 1;   // without the '_'
    if (n >= room) n = room - 1;
    memcpy(buf, prefix, n);
    buf[n] = 0;
    return buf;
}

static bool MacroAt(const char* p, const char* end) {
    if (end - p < static_cast<ptrdiff_t>(kMacroLen)) return false;
    for (uint32_t i = 0; i < kMacroLen; ++i) {
        char c = p[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kMacro[i]) return false;
    }
    return true;
}

bool FormCodeExpand(const char* code, uint32_t length, const char* name, char* out, size_t room,
                    uint32_t* written) {
    const char* end = code + length;
    size_t nameLen = strlen(name);
    size_t w = 0;
    auto put = [&](const char* s, size_t n) {
        if (w + n > room) return false;
        memcpy(out + w, s, n);
        w += n;
        return true;
    };
    const char* p = code;
    while (p < end) {
        if (!MacroAt(p, end)) {
            if (!put(p, 1)) return false;
            ++p;
            continue;
        }
        // The name goes in; the rest of the line is copied as it is and the
        // marker closes it, so that a later read can put the macro back.
        if (!put(name, nameLen)) return false;
        p += kMacroLen;
        const char* cr = static_cast<const char*>(memchr(p, '\r', static_cast<size_t>(end - p)));
        const char* lineEnd = cr ? cr : end;
        if (!put(p, static_cast<size_t>(lineEnd - p)) || !put(kMacroMarker, kMacroMarkerLen)) return false;
        p = lineEnd;
    }
    *written = static_cast<uint32_t>(w);
    return true;
}

FormControlHooks gFormControlHooks;

// A Control's events: those of its type information, then the focus pair.
static uint32_t ControlEvents(void* object, FormEventItem* out, uint32_t room) {
    static const char kGotFocus[] = "GotFocus", kLostFocus[] = "LostFocus";
    uint32_t n = 0, own = object && gFormControlHooks.eventCount ? gFormControlHooks.eventCount(object) : 0;
    for (uint32_t i = 0; i < own && n + 2 < room; ++i) {
        const char* name = nullptr;
        uint32_t id = 0;
        if (!gFormControlHooks.eventAt || !gFormControlHooks.eventAt(object, i, &name, &id) || !name || !name[0])
            continue;
        out[n].name = name;
        out[n++].eventId = id;
    }
    out[n].name = kGotFocus;
    out[n++].eventId = kFormEventGotFocus;
    out[n].name = kLostFocus;
    out[n++].eventId = kFormEventLostFocus;
    return n;
}

bool FormBuildEventList(uint8_t kind, void* object, FormEventItem** events, uint8_t* count, uint8_t* ownNames) {
    if (*events) return true;
    // An entry counts its events in one byte.
    constexpr uint32_t kRoom = 255;
    FormEventItem list[kRoom];
    memset(list, 0, sizeof list);
    uint32_t n = 0;
    bool own = false;
    if (kind == kKindControl) {
        n = ControlEvents(object, list, kRoom);
        own = true;
    } else if (kind == kKindHtmlControl) {
        list[n++].eventId = kFormEventJQuery;
    } else if (kind < kObjectKindRows) {
        for (uint32_t id = 0; id < kEventPrefixCount; ++id)
            if ((KindEventTable[kind] >> id) & 1) list[n++].eventId = id;
    }
    if (n == 0) return false;
    *events = static_cast<FormEventItem*>(GuardedAlloc(n * sizeof(FormEventItem)));
    if (!*events) return false;
    memcpy(*events, list, n * sizeof(FormEventItem));
    *count = static_cast<uint8_t>(n);
    *ownNames = own ? 1 : 0;
    return true;
}

bool FormEntryBuildEvents(FormSaveEntry* e) {
    return FormBuildEventList(e->kind, e->object, &e->events, &e->eventCount, &e->ownEventNames);
}

void FormEntryFreeEvents(FormSaveEntry* e) {
    for (uint32_t k = 0; e->events && k < e->eventCount; ++k) GuardedFree(e->events[k].code);
    GuardedFree(e->events);
    e->events = nullptr;
    e->eventCount = 0;
}

void FormSaveContextFree(FormSaveContext* ctx) {
    for (uint32_t i = 0; i < ctx->entryCount; ++i) {
        FormEntryFreeEvents(&ctx->entries[i]);
        GuardedFree(ctx->entries[i].stream);
        ctx->entries[i].stream = nullptr;
    }
    FormResChainFree(ctx->xmlResources);
    ctx->xmlResources = nullptr;
    GuardedFree(ctx->xmlCode);
    ctx->xmlCode = nullptr;
}

// ---- The QOF file ---------------------------------------------------------------------------------

static bool IsSubOwner(uint8_t kind) {
    return kind == kKindStatusBar || kind == kKindToolBar || kind == kKindMenu || kind == kKindSubMenu ||
           kind == kKindFloatMenu;
}

static uint32_t LiveSubCount(const FormSaveContext* ctx, const FormSaveEntry& e) {
    if (!e.object || !IsSubOwner(e.kind) || !ctx->source || !ctx->source->subCount) return 0;
    return ctx->source->subCount(e.object);
}

uint32_t FormSaveRowCount(const FormSaveContext* ctx) {
    uint32_t rows = 0;
    for (uint32_t i = 0; i < ctx->entryCount; ++i) rows += 1 + LiveSubCount(ctx, ctx->entries[i]);
    return rows;
}

namespace {

struct WriteState {
    FormSaveContext* ctx;
    Bytes b;
    uint32_t rowCount;
    uint32_t streamOff, streamSize;
    uint32_t labelOff, labelSize;
    uint32_t descOff, descCount;
    uint32_t codeOff;
};

// One descriptor as it is being built: the event it stands for.
struct DescWork {
    uint16_t labelOff;
    uint16_t objectIndex;
    uint32_t eventId;
    uint32_t codeOff, codeLength;
    const FormEventItem* event;
    const FormSaveEntry* entry;
    char label[kLabelTextMax + 1];
};

bool Fail(WriteState* s, const char* why) {
    SetError(s->ctx, why);
    return false;
}

bool WriteRow(WriteState* s, uint32_t row, const char* name, uint8_t kind, const uint8_t* stream, uint32_t size) {
    size_t at = kQofHeaderSize + static_cast<size_t>(row) * kQofRowSize;
    SetName(&s->b, at + kQrName, name);
    if (!s->b.failed) s->b.data[at + kQrKind] = kind;
    Set32(&s->b, at + kQrStreamOff, s->streamSize);
    Set32(&s->b, at + kQrStreamSize, size);
    Put(&s->b, stream, size);
    if (static_cast<uint64_t>(s->streamSize) + size > UINT32_MAX) return Fail(s, kQwErrWrite);
    s->streamSize += size;
    return !s->b.failed || Fail(s, kQwErrMemory);
}

bool WriteLiveObject(WriteState* s, void* object, uint32_t row, const char* name, uint32_t windowIndex) {
    FormSaveContext* ctx = s->ctx;
    ctx->errorText[0] = 0;
    uint32_t n = EncodeFormCrStream(ctx, object, nullptr, 0, windowIndex);
    if (n == 0 && ctx->errorText[0]) return false;
    const uint8_t* data = FormStreamBufReserve(n ? n : 1);
    if (!data) return Fail(s, kQwErrStream);
    return WriteRow(s, row, name, ctx->source->kindOf(object), data, n);
}

bool WriteObjects(WriteState* s) {
    FormSaveContext* ctx = s->ctx;
    uint32_t row = 0;
    for (uint32_t i = 0; i < ctx->entryCount; ++i) {
        FormSaveEntry& e = ctx->entries[i];
        if (!e.object) {
            if (!WriteRow(s, row++, e.subObject ? kSubObjectName : e.name, e.kind, e.stream, e.streamSize))
                return false;
            continue;
        }
        uint32_t windowIndex = i == 0 ? 0 : FormEntryIndexOf(ctx, ctx->source->parentOf(e.object));
        if (!WriteLiveObject(s, e.object, row++, e.name, windowIndex)) return false;
        uint32_t subs = LiveSubCount(ctx, e);
        for (uint32_t k = 0; k < subs; ++k) {
            void* sub = ctx->source->subAt(e.object, k);
            if (!sub || !WriteLiveObject(s, sub, row++, kSubObjectName, 0)) return sub ? false : Fail(s, kQwErrStream);
        }
    }
    return true;
}

bool WriteResources(WriteState* s, uint32_t* count, uint32_t* dataSize) {
    *count = 0;
    *dataSize = 0;
    for (const FormResource* r = s->ctx->resources; r; r = r->next) ++*count;
    for (const FormResource* r = s->ctx->resources; r; r = r->next) {
        uint8_t row[kQofResRowSize] = {};
        for (int i = 0; i < 4; ++i) row[kQrsNumber + i] = static_cast<uint8_t>(r->number >> (8 * i));
        memcpy(row + kQrsName, r->name, strnlen(r->name, kQofNameSize - 1));
        row[kQrsKind] = static_cast<uint8_t>(r->kind);
        row[kQrsKind + 1] = static_cast<uint8_t>(r->kind >> 8);
        row[kQrsFlags] = static_cast<uint8_t>(r->flags);
        row[kQrsFlags + 1] = static_cast<uint8_t>(r->flags >> 8);
        for (int i = 0; i < 4; ++i) {
            row[kQrsDataOff + i] = static_cast<uint8_t>(*dataSize >> (8 * i));
            row[kQrsDataSize + i] = static_cast<uint8_t>(r->size >> (8 * i));
        }
        Put(&s->b, row, sizeof row);
        if (static_cast<uint64_t>(*dataSize) + r->size > UINT32_MAX) return Fail(s, kQwErrWrite);
        *dataSize += r->size;
    }
    for (const FormResource* r = s->ctx->resources; r; r = r->next) Put(&s->b, r->data, r->size);
    return !s->b.failed || Fail(s, kQwErrMemory);
}

uint32_t CountCodeEvents(const FormSaveContext* ctx) {
    uint32_t n = 0;
    for (uint32_t i = 0; i < ctx->entryCount; ++i) {
        const FormSaveEntry& e = ctx->entries[i];
        for (uint32_t k = 0; e.events && k < e.eventCount; ++k) n += e.events[k].code && e.events[k].codeLength;
    }
    return n;
}

// The label area and the descriptors (code offsets filled later).
bool WriteLabels(WriteState* s, DescWork* descs) {
    FormSaveContext* ctx = s->ctx;
    uint32_t d = 0, objectIndex = 0;
    for (uint32_t i = 0; i < ctx->entryCount; ++i) {
        const FormSaveEntry& e = ctx->entries[i];
        if (e.subObject) continue;
        for (uint32_t k = 0; e.events && k < e.eventCount; ++k) {
            const FormEventItem& ev = e.events[k];
            if (!ev.code || !ev.codeLength) continue;
            DescWork& w = descs[d++];
            w.event = &ev;
            w.entry = &e;
            w.objectIndex = static_cast<uint16_t>(objectIndex);
            w.eventId = ev.eventId;
            char called[kFormLabelMax + 1];
            const char* rest = nullptr;
            // A CALL alone is stored as its label; a CALL with more after it
            // keeps the whole code, so nothing after the label is lost.
            if (FormCodeParseCall(ev.code, ev.codeLength, called, &rest) &&
                FormCodeOnlySpace(rest, ev.code + ev.codeLength)) {
                snprintf(w.label, sizeof w.label, "%s", called);
                w.codeLength = 0;
            } else {
                FormHandlerLabel(e, ev, w.label, sizeof w.label);
                w.codeLength = ev.codeLength;
            }
            uint32_t off = Pos(&s->b) - s->labelOff;
            // The descriptor holds the offset in 16 bits: a larger one would
            // name another record and lose the event's code.
            if (off > kLabelOffsetMax) return Fail(s, kQwErrLabelArea);
            w.labelOff = static_cast<uint16_t>(off);
            Put32(&s->b, 0);
            uint8_t n = static_cast<uint8_t>(strlen(w.label));
            Put(&s->b, &n, 1);
            Put(&s->b, w.label, n);
        }
        ++objectIndex;
    }
    return !s->b.failed || Fail(s, kQwErrMemory);
}

void WriteDescs(WriteState* s, const DescWork* descs, uint32_t count, size_t at) {
    for (uint32_t i = 0; i < count; ++i) {
        const DescWork& w = descs[i];
        size_t d = at + static_cast<size_t>(i) * kQofDescSize;
        Set16(&s->b, d, w.labelOff);
        Set16(&s->b, d + 2, w.objectIndex);
        Set32(&s->b, d + 4, w.eventId);
        Set32(&s->b, d + 8, w.codeOff);
        Set32(&s->b, d + 12, w.codeLength);
    }
}

bool WriteDeclarations(WriteState* s) {
    FormSaveContext* ctx = s->ctx;
    bool skipWindow = (ctx->flags & kFsFromXml) ? (ctx->flags & kFsXmlWinType3) != 0
                                                : ctx->windowType == kWinTypeNoDeclaration;
    for (uint32_t i = skipWindow ? 1 : 0; i < ctx->entryCount; ++i) {
        const FormSaveEntry& e = ctx->entries[i];
        if (e.subObject) continue;
        size_t n = strnlen(e.name, sizeof e.name);
        Put(&s->b, e.name, n);
        if (n < kDeclNameColumns) Put(&s->b, kDeclNamePad, kDeclNameColumns - n);
        const char* kindName = ObjectKindName(e.kind);
        if (strncmp(kindName, kKindNamePrefix, 2) == 0) kindName += 2;
        PutText(&s->b, kindName);
        const char* cls = e.object && e.kind == kKindControl && ctx->source->controlClass
                              ? ctx->source->controlClass(e.object) : nullptr;
        if (cls) {
            PutText(&s->b, " Class=\"");
            PutText(&s->b, cls);
            PutText(&s->b, "\"");
        }
        PutText(&s->b, kCrLf);
    }
    PutText(&s->b, kEventDecls);
    return !s->b.failed || Fail(s, kQwErrMemory);
}

bool WriteEventCode(WriteState* s, DescWork* descs, uint32_t count, uint32_t* userOff, uint32_t* userSize) {
    FormSaveContext* ctx = s->ctx;
    PutText(&s->b, kGotoLine);
    char* expanded = static_cast<char*>(GuardedAlloc(kFormExpandRoom));
    if (!expanded) return Fail(s, kQwErrMemory);
    bool ok = true;
    for (uint32_t i = 0; ok && i < count; ++i) {
        DescWork& w = descs[i];
        if (!w.codeLength) continue;
        PutText(&s->b, w.label);
        PutText(&s->b, kCrLf);
        w.codeOff = Pos(&s->b) - s->codeOff;
        uint32_t n = 0;
        if (!FormCodeExpand(w.event->code, w.event->codeLength, w.entry->name, expanded, kFormExpandRoom, &n)) {
            ok = Fail(s, kQwErrMacro);
            break;
        }
        Put(&s->b, expanded, n);
        w.codeLength = n;
        PutText(&s->b, kReturnTrailer);
    }
    GuardedFree(expanded);
    if (!ok) return false;
    if (ctx->userCode && ctx->userCodeLength) {
        *userOff = Pos(&s->b);
        *userSize = ctx->userCodeLength;
        Put(&s->b, ctx->userCode, ctx->userCodeLength);
    }
    PutText(&s->b, kTargetLine);
    return !s->b.failed || Fail(s, kQwErrMemory);
}

void WriteHeaderFields(WriteState* s, uint32_t flags) {
    FormSaveContext* ctx = s->ctx;
    Bytes* b = &s->b;
    memcpy(b->data + kQhMagic, kQofMagic, sizeof kQofMagic);
    Set32(b, kQhVersion, (ctx->flags & kFsRequires96) ? kVersionRequires96 : kQofVersionCurrent);
    Set32(b, kQhFlags, flags);
    Set32(b, kQhObjTableOff, kQofHeaderSize);
    Set32(b, kQhObjCount, s->rowCount);
    Set32(b, kQhStreamOff, s->streamOff);
    SetName(b, kQhFormName, ctx->formName);
    uint32_t top = ctx->entryCount - ((ctx->flags & kFsFromXml) ? ctx->xmlSubCount : 0);
    Set32(b, kQhTopCount, top);
    Set32(b, kQhWriterBuild, kQofWriterBuild);
}

}  // namespace

bool FormFileWrite(FormSaveContext* ctx, bool doNotCache, uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    ctx->errorText[0] = 0;
    WriteState s = {};
    s.ctx = ctx;
    s.rowCount = FormSaveRowCount(ctx);
    CheckedSize tableEnd(s.rowCount);
    tableEnd.Mul(kQofRowSize).Add(kQofHeaderSize);
    if (!tableEnd.Fits()) return Fail(&s, kQwErrWrite);
    s.streamOff = static_cast<uint32_t>(tableEnd.Size());
    uint32_t flags = kHeaderFlagsFirst;
    if ((ctx->flags & kFsFromXml) && ctx->cultureSet) flags |= kQwCultureSet;
    if (ctx->flags & kFsNetObjects) flags |= kQofFlagNetObjects;
    if (ctx->flags & kFsWebForm) flags |= kQofFlagWebForm;
    if (ctx->flags & kFsUtf8Form) flags |= kQofFlagUtf8Form;
    PutZeros(&s.b, tableEnd.Size());
    if (s.b.failed) return Fail(&s, kQwErrMemory);

    bool ok = WriteObjects(&s);
    uint32_t resCount = 0, resDataSize = 0, resTableOff = Pos(&s.b);
    ok = ok && WriteResources(&s, &resCount, &resDataSize);
    uint32_t descCount = ok ? CountCodeEvents(ctx) : 0;
    DescWork* descs = nullptr;
    if (ok && descCount) {
        descs = static_cast<DescWork*>(GuardedAlloc(descCount * sizeof(DescWork)));
        if (!descs) ok = Fail(&s, kQwErrMemory);
        else memset(descs, 0, descCount * sizeof(DescWork));
    }
    s.labelOff = Pos(&s.b);
    ok = ok && (!descCount || WriteLabels(&s, descs));
    s.labelSize = Pos(&s.b) - s.labelOff;
    s.descOff = Pos(&s.b);
    if (ok) PutZeros(&s.b, static_cast<size_t>(descCount) * kQofDescSize);
    // The OLE storage of Container and Control objects, as the COM layer saved it.
    uint32_t oleOff = Pos(&s.b);
    if (ok && ctx->oleSize) Put(&s.b, ctx->oleData, ctx->oleSize);
    s.codeOff = Pos(&s.b);
    ok = ok && WriteDeclarations(&s);
    uint32_t userOff = 0, userSize = 0;
    ok = ok && (!descCount || WriteEventCode(&s, descs, descCount, &userOff, &userSize));
    if (ok && descCount) WriteDescs(&s, descs, descCount, s.descOff);
    GuardedFree(descs);
    if (!ok || s.b.failed) {
        if (ok) Fail(&s, kQwErrMemory);
        GuardedFree(s.b.data);
        return false;
    }
    flags |= ctx->headerFlags;
    WriteHeaderFields(&s, flags);
    Set32(&s.b, kQhStreamSize, s.streamSize);
    Set32(&s.b, kQhResTableOff, resTableOff);
    Set32(&s.b, kQhResCount, resCount);
    Set32(&s.b, kQhResDataOff, resTableOff + resCount * kQofResRowSize);
    Set32(&s.b, kQhResDataSize, resDataSize);
    Set32(&s.b, kQhLabelOff, s.labelOff);
    Set32(&s.b, kQhLabelSize, s.labelSize);
    Set32(&s.b, kQhDescOff, s.descOff);
    Set32(&s.b, kQhDescCount, descCount);
    Set32(&s.b, kQhCodeOff, s.codeOff);
    Set32(&s.b, kQhCodeSize, Pos(&s.b) - s.codeOff);
    Set32(&s.b, kQhOleOff, oleOff);
    Set32(&s.b, kQhOleSize, ctx->oleSize);
    Set32(&s.b, kQhUserCodeOff, userOff);
    Set32(&s.b, kQhUserCodeSize, userSize);
    // The final header: the save completed.
    flags &= ~kQofFlagSaveInProgress;
    if (doNotCache) flags |= kQwDoNotCache;
    uint8_t guid[16];
    if (ctx->makeGuid && ctx->makeGuid(guid)) {
        memcpy(s.b.data + kQhGuid, guid, sizeof guid);
        flags |= kQwGuid;
    }
    Set32(&s.b, kQhFlags, flags);
    *data = s.b.data;
    *size = s.b.size;
    return true;
}

void FormFileInProgressHeader(const uint8_t* finalHeader, uint8_t out[kQofHeaderSize]) {
    memcpy(out, finalHeader, kQofHeaderSize);
    out[kQhFlags] = static_cast<uint8_t>(out[kQhFlags] | kQofFlagSaveInProgress);
}
