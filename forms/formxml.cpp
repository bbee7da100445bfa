// formxml.cpp - XML form files both ways: the "QOFORM" document written from a
// save context, and read back into one with every element, size and nesting
// level checked; the records of the creation streams built from the elements
// follow the same rules as the streams of live objects.
#include "forms/formxml.h"

#include <cstdio>
#include <cstring>

#include "objects/objtables.h"
#include "session/util/base64.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"
#include "session/util/xml.h"

namespace {

constexpr char kRoot[] = "QOFORM";
constexpr char kObject[] = "Object";
constexpr char kTypeAttr[] = "type";
constexpr char kCodeType[] = "Code";
constexpr char kProperties[] = "Properties";
constexpr char kEvents[] = "Events";
constexpr char kHeader[] = "Header";
constexpr char kResource[] = "Resource";
constexpr char kNameProp[] = "Name";
constexpr char kNamePrefix[] = "NamePrefix";
constexpr char kTrue[] = "True";
constexpr char kFalse[] = "False";
constexpr uint32_t kHeaderNameMax = 30;     // NamePrefix and resource names
constexpr uint32_t kTextMax = 0xFFFF;
constexpr uint32_t kNamedLengthLimit = 0x1000;   // name length + 1 must stay below it
constexpr uint16_t kWordNamed = 0xC000, kWordXml = 0xE000, kWordXmlLong = 0xF000;
constexpr uint32_t kWinTypeHidden = 3;
constexpr uint32_t kXmlStreamStep = 40960;
constexpr char kXmlValueMark[] = "<?xml";
constexpr size_t kXmlValueMarkLen = sizeof kXmlValueMark - 1;
constexpr uint32_t kTrueLength = 4, kFalseLength = 5, kFalsePrefixLength = 4;

// Ids a property element never turns into a record (besides those the
// stream rules never write).
const uint16_t kXmlNeverIds[] = {24, 84, 97, 98, 118, 201, 207, 230, 281, 315, 316};
// Ids the writer leaves out of the property elements.
const uint16_t kXmlWriteSkipIds[] = {24, 97, 98, 118, 201, 207, 230, 281};

template <size_t N>
bool InList(const uint16_t (&list)[N], uint32_t id) {
    for (uint16_t v : list)
        if (v == id) return true;
    return false;
}

bool EqualNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return *a == *b;
}

// Whether a kind accepts a property: its list, which the accept matrix is
// built from (read here so that the writer does not depend on the matrix
// having been built).
bool KindAccepts(uint8_t kind, uint32_t id) {
    for (const uint16_t* p = KindPropList(kind); p && *p; ++p)
        if (*p == id) return true;
    return false;
}

bool IsTextForm(FormRecordForm f) {
    return f == kRfText || f == kRfTextSkipEmpty || f == kRfLongText || f == kRfPasswordChar;
}

}  // namespace

// ---- Writing --------------------------------------------------------------------------------------

namespace {

struct XmlOut {
    FormSaveContext* ctx;
    XmlWriter* w;
    int error;
};

void Element(XmlOut* o, const char* name, const char* text) {
    if (o->error) return;
    o->error = XmlStartElement(o->w, name);
    if (!o->error && text) o->error = XmlWriteText(o->w, text);
    if (!o->error) o->error = XmlEndElement(o->w);
}
void Start(XmlOut* o, const char* name) {
    if (!o->error) o->error = XmlStartElement(o->w, name);
}
void End(XmlOut* o) {
    if (!o->error) o->error = XmlEndElement(o->w);
}

const char* KindName(uint8_t kind) {
    const char* n = ObjectKindName(kind);
    return strncmp(n, "- ", 2) == 0 ? n + 2 : n;
}

// The name of an entry holding a live object; null when it is not in the table.
const char* EntryNameOf(const FormSaveContext* ctx, const void* object) {
    if (!object) return nullptr;
    for (uint32_t i = 0; i < ctx->entryCount; ++i)
        if (ctx->entries[i].object == object) return ctx->entries[i].name;
    return nullptr;
}

// One property element's text; false when the object could not answer.
bool PropertyText(XmlOut* o, void* object, uint8_t kind, uint32_t id, bool sub, char* num, size_t numRoom,
                  const char** text, uint32_t* length) {
    const FormObjectSource* src = o->ctx->source;
    FormRecordForm form = FormPropRecordForm(id);
    *length = 0;
    if (id == kPidWindow) {
        const char* name = sub ? nullptr : EntryNameOf(o->ctx, src->parentOf(object));
        *text = name ? name : o->ctx->entries[0].name;
        *length = static_cast<uint32_t>(strlen(*text));
        return true;
    }
    if (form == kRfReference) {
        const char* name = EntryNameOf(o->ctx, src->reference(object, id));
        *text = name ? name : "";
        *length = static_cast<uint32_t>(strlen(*text));
        return true;
    }
    if (form == kRfLongText && kind == kKindEditDateTime) {
        *text = "";
        return true;
    }
    FormPropValue v = {};
    if (!src->getProp(object, id, &v)) return false;
    if (IsTextForm(form)) {
        *text = v.text ? v.text : "";
        *length = v.text ? v.length : 0;
        return true;
    }
    snprintf(num, numRoom, "%d", v.value);
    *text = num;
    *length = static_cast<uint32_t>(strlen(num));
    return true;
}

void WriteProperties(XmlOut* o, const FormSaveEntry* e, void* object, uint8_t kind) {
    Start(o, kProperties);
    if (e) Element(o, kNameProp, e->name);
    char* copy = nullptr;
    for (const PropNameRow* row = PropertyNameTable; !o->error && row->id != kPropTableEnd; ++row) {
        if (!row->name || !KindAccepts(kind, row->id) || InList(kXmlWriteSkipIds, row->id)) continue;
        char num[16];
        const char* text = nullptr;
        uint32_t length = 0;
        if (!PropertyText(o, object, kind, row->id, e == nullptr, num, sizeof num, &text, &length)) {
            o->error = kXmlWriteFailed;
            break;
        }
        // The writer takes NUL-terminated text: a copy holds the value.
        auto* t = static_cast<char*>(GuardedRealloc(copy, static_cast<size_t>(length) + 1));
        if (!t) {
            o->error = kXmlWriteFailed;
            break;
        }
        copy = t;
        memcpy(copy, text, length);
        copy[length] = 0;
        Element(o, row->name, copy);
    }
    GuardedFree(copy);
    // A shown menu bar keeps its Visible, as in its stream.
    if (kind == kKindMenu && !o->error) {
        char num[16];
        const char* text = nullptr;
        uint32_t length = 0;
        if (PropertyText(o, object, kind, kPidVisible, false, num, sizeof num, &text, &length)) {
            if (strcmp(text, "0") != 0) Element(o, "Visible", text);
        } else {
            o->error = kXmlWriteFailed;
        }
    }
    End(o);
}

void WriteEvents(XmlOut* o, const FormSaveEntry& e) {
    bool any = false;
    for (uint32_t k = 0; e.events && k < e.eventCount; ++k) any = any || (e.events[k].code && e.events[k].codeLength);
    if (!any) return;
    Start(o, kEvents);
    uint32_t errors = 0;
    for (uint32_t k = 0; !o->error && k < e.eventCount; ++k) {
        const FormEventItem& ev = e.events[k];
        if (!ev.code || !ev.codeLength) continue;
        char nameBuf[40];
        const char* name = FormEventElementName(ev, nameBuf, sizeof nameBuf);
        if (!name) continue;
        char label[kFormLabelMax + 1];
        const char* rest = nullptr;
        char handler[256];
        bool call = FormCodeParseCall(ev.code, ev.codeLength, label, &rest);
        if (!call) FormHandlerLabel(e, ev, handler, sizeof handler);
        Element(o, name, call ? label : handler);
        // With the CALL errors option, a CALL with more on its line is noted
        // with the label and the character after it.
        const char* end = ev.code + ev.codeLength;
        if (call && (o->ctx->flags & kFsCallErrors) && rest < end && *rest != '\r' && *rest != '\n') {
            char tag[16], text[kFormLabelMax + 2];
            snprintf(tag, sizeof tag, "Error%03u", errors++);
            snprintf(text, sizeof text, "%s%c", label, *rest);
            Element(o, tag, text);
        }
    }
    End(o);
}

void WriteSubObjects(XmlOut* o, const FormSaveEntry& e) {
    const FormObjectSource* src = o->ctx->source;
    if (!e.object || !src->subCount) return;
    uint8_t kind = e.kind;
    if (kind != kKindStatusBar && kind != kKindToolBar && kind != kKindMenu && kind != kKindSubMenu &&
        kind != kKindFloatMenu)
        return;
    uint32_t n = src->subCount(e.object);
    for (uint32_t i = 0; !o->error && i < n; ++i) {
        void* sub = src->subAt(e.object, i);
        if (!sub) {
            o->error = kXmlWriteFailed;
            break;
        }
        uint8_t subKind = src->kindOf(sub);
        Start(o, kObject);
        if (!o->error) o->error = XmlWriteAttr(o->w, kTypeAttr, KindName(subKind));
        WriteProperties(o, nullptr, sub, subKind);
        End(o);
    }
}

void WriteObject(XmlOut* o, const FormSaveEntry& e, XmlFormSaveMode mode) {
    Start(o, kObject);
    if (!o->error) o->error = XmlWriteAttr(o->w, kTypeAttr, KindName(e.kind));
    if (mode == kXmlSaveNamesEvents || !e.object) {
        Start(o, kProperties);
        Element(o, kNameProp, e.name);
        End(o);
    } else {
        WriteProperties(o, &e, e.object, e.kind);
    }
    WriteEvents(o, e);
    if (mode != kXmlSaveNamesEvents) WriteSubObjects(o, e);
    End(o);
}

void WriteHeader(XmlOut* o, bool doNotCache) {
    const FormSaveContext* ctx = o->ctx;
    Start(o, kHeader);
    Element(o, kNamePrefix, ctx->formName);
    Element(o, "IsWebForm", (ctx->flags & kFsWebForm) ? kTrue : kFalse);
    Element(o, "IsUtf8Form", (ctx->flags & kFsUtf8Form) ? kTrue : kFalse);
    Element(o, "DoNotCache", doNotCache ? kTrue : kFalse);
    Element(o, "Requires96", (ctx->flags & kFsRequires96) ? kTrue : kFalse);
    Element(o, "IsCultureSet", kFalse);
    End(o);
}

void WriteCode(XmlOut* o) {
    const FormSaveContext* ctx = o->ctx;
    if (!ctx->userCode || !ctx->userCodeLength) return;
    char* text = static_cast<char*>(GuardedAlloc(static_cast<size_t>(ctx->userCodeLength) + 1));
    if (!text) {
        o->error = kXmlWriteFailed;
        return;
    }
    memcpy(text, ctx->userCode, ctx->userCodeLength);
    text[ctx->userCodeLength] = 0;
    Start(o, kObject);
    if (!o->error) o->error = XmlWriteAttr(o->w, kTypeAttr, kCodeType);
    Start(o, kCodeType);
    if (!o->error) o->error = XmlWriteCData(o->w, text);
    End(o);
    End(o);
    GuardedFree(text);
}

void WriteResources(XmlOut* o) {
    for (const FormResource* r = o->ctx->resources; r && !o->error; r = r->next) {
        char num[16];
        Start(o, kResource);
        snprintf(num, sizeof num, "%u", r->kind);
        Element(o, "Type", num);
        snprintf(num, sizeof num, "%u", r->flags);
        Element(o, "SubType", num);
        snprintf(num, sizeof num, "%u", r->number);
        Element(o, "Id", num);
        char name[kQofNameSize];
        snprintf(name, sizeof name, "%s", r->name);
        Element(o, "Name", name);
        snprintf(num, sizeof num, "%u", r->size);
        Element(o, "Size", num);
        CheckedSize room(Base64EncodedSize(r->size));
        room.Add(1);
        char* data = room.Fits() ? static_cast<char*>(GuardedAlloc(room.Size())) : nullptr;
        if (!data) {
            o->error = kXmlWriteFailed;
            break;
        }
        Base64Encode(r->data, data, r->size, true);
        Element(o, "Data", data);
        GuardedFree(data);
        End(o);
    }
}

}  // namespace

bool XmlFormSave(FormSaveContext* ctx, XmlWriter* w, XmlFormSaveMode mode, bool doNotCache) {
    XmlOut o = {ctx, w, 0};
    Start(&o, kRoot);
    if (mode == kXmlSaveFull) WriteHeader(&o, doNotCache);
    for (uint32_t i = 0; i < ctx->entryCount && !o.error; ++i) WriteObject(&o, ctx->entries[i], mode);
    if (mode == kXmlSaveFull) {
        WriteCode(&o);
        WriteResources(&o);
    }
    End(&o);
    int closed = XmlWriteClose(w);
    return o.error == 0 && closed == 0;
}

// ---- Reading -----------------------------------------------------------------------------------------

int32_t FormDecimalParse(const char* text) {
    const char* p = text;
    bool negative = *p == '-';
    if (negative) ++p;
    uint32_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10u + static_cast<uint32_t>(*p - '0');
    return static_cast<int32_t>(negative ? 0u - v : v);
}

namespace {

enum XmlSection : uint8_t { kSecNone, kSecHeader, kSecObject, kSecCode, kSecResource };

struct StreamBuf {
    uint8_t* data;
    size_t length;
    size_t cap;
};

// Which stream a property element goes to: the object's or its sub-object's.
enum StreamLevel : uint8_t { kLevelObject = 0, kLevelSub = 1, kLevelCount = 2 };

struct XmlFormState {
    FormSaveContext* ctx;
    XmlReader reader;
    uint32_t error;
    bool eventsOnly;
    bool rootSeen;
    uint32_t depth;
    XmlSection section;
    bool inProperties, inEvents;
    int32_t entry;              // the current object's entry, -1 none
    int32_t subEntry;           // the current sub-object's entry, -1 none
    bool nameSeen;
    StreamBuf streams[kLevelCount];
    // The resource being read.
    uint32_t resNumber, resSize;
    uint16_t resKind, resFlags;
    char resName[kQofNameSize];
};

XmlFormState* StateOf(XmlReader* r) { return static_cast<XmlFormState*>(r->user); }

int Refuse(XmlFormState* s, uint32_t code, const char* format, const char* arg) {
    XmlAddError(&s->reader, format, arg);
    s->error = code;
    return static_cast<int>(code);
}

bool BufPut(StreamBuf* b, const void* bytes, size_t n) {
    CheckedSize need(b->length);
    need.Add(n);
    if (!need.Fits()) return false;
    if (need.Size() > b->cap) {
        // Grows to the next multiple of the step that holds the record.
        CheckedSize cap(need.Size());
        cap.Add(kXmlStreamStep - 1);
        if (!cap.Fits()) return false;
        size_t grown = cap.Size() / kXmlStreamStep * kXmlStreamStep;
        auto* p = static_cast<uint8_t*>(GuardedRealloc(b->data, grown));
        if (!p) return false;
        b->data = p;
        b->cap = grown;
    }
    if (n) memcpy(b->data + b->length, bytes, n);
    b->length += n;
    return true;
}
bool BufPut16(StreamBuf* b, uint32_t v) {
    uint8_t le[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    return BufPut(b, le, 2);
}
bool BufPut32(StreamBuf* b, uint32_t v) {
    uint8_t le[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                     static_cast<uint8_t>(v >> 24)};
    return BufPut(b, le, 4);
}

FormSaveEntry* Current(XmlFormState* s) {
    if (s->subEntry >= 0) return &s->ctx->entries[s->subEntry];
    return s->entry >= 0 ? &s->ctx->entries[s->entry] : nullptr;
}
StreamBuf* CurrentStream(XmlFormState* s) { return &s->streams[s->subEntry >= 0 ? kLevelSub : kLevelObject]; }

// The index of the entry named name among the entries that are not
// sub-objects and were made before the object being read (a reader creates
// an object only after those it names); -1 none.
int32_t EntryIndexByName(const FormSaveContext* ctx, const char* name, uint32_t before) {
    int32_t index = 0;
    for (uint32_t i = 0; i < before && i < ctx->entryCount; ++i) {
        if (ctx->entries[i].subObject) continue;
        if (strcmp(ctx->entries[i].name, name) == 0) return index;
        ++index;
    }
    return -1;
}

bool IsOwnerOf(uint8_t owner, uint8_t sub) {
    switch (sub) {
    case kKindStatusPanel: return owner == kKindStatusBar;
    case kKindToolButton: return owner == kKindToolBar;
    case kKindMenuItem: return owner == kKindMenu || owner == kKindSubMenu || owner == kKindFloatMenu;
    default: return false;
    }
}

// A kind an entry of a form may have: the first a Window, later ones one the
// loader creates (sub-objects only inside their owner).
bool TopKindAllowed(uint32_t kind, bool first) {
    if (first) return kind == kKindWindow;
    return QofKindCreatable(kind) && !QofKindIsSubObject(kind);
}

int AddEntry(XmlFormState* s, uint8_t kind, bool sub, const char* type) {
    FormSaveContext* ctx = s->ctx;
    if (ctx->entryCount >= kFormMaxEntries) return Refuse(s, kXfTooManyObjects, "Too many objects at: %s", type);
    FormSaveEntry& e = ctx->entries[ctx->entryCount];
    memset(&e, 0, sizeof e);
    e.kind = kind;
    e.subObject = sub;
    snprintf(e.name, sizeof e.name, "-");
    int32_t index = static_cast<int32_t>(ctx->entryCount++);
    if (sub) {
        s->subEntry = index;
        ++ctx->xmlSubCount;
    } else {
        s->entry = index;
        s->nameSeen = false;
    }
    s->streams[sub ? kLevelSub : kLevelObject].length = 0;
    return 0;
}

int StartObject(XmlFormState* s, const char* const* attrs) {
    const char* type = "";
    for (const char* const* a = attrs; a && a[0]; a += 2)
        if (EqualNoCase(a[0], kTypeAttr)) type = a[1];
    if (s->depth == 2 && EqualNoCase(type, kCodeType)) {
        s->section = kSecCode;
        return 0;
    }
    int kind = ObjectKindFromName(type);
    if (s->depth == 2) {
        if (kind == kNoKind || !TopKindAllowed(static_cast<uint32_t>(kind), s->ctx->entryCount == 0))
            return Refuse(s, kXfContent, "Bad object type: %s", type);
        s->section = kSecObject;
        s->subEntry = -1;
        return AddEntry(s, static_cast<uint8_t>(kind), false, type);
    }
    // A nested object: a sub-object of the one around it.
    if (s->section != kSecObject || s->entry < 0 || s->subEntry >= 0 || s->inProperties || s->inEvents ||
        s->depth != 3)
        return Refuse(s, kXfContent, "Unknown tag type: %s", kObject);
    if (kind == kNoKind || !IsOwnerOf(s->ctx->entries[s->entry].kind, static_cast<uint8_t>(kind)))
        return Refuse(s, kXfContent, "Bad object type: %s", type);
    return AddEntry(s, static_cast<uint8_t>(kind), true, type);
}

int OnStartFull(XmlFormState* s, const char* name, const char** attrs) {
    if (s->depth == 1) {
        if (!EqualNoCase(name, kRoot)) return Refuse(s, kXfWrongRoot, "Root name not QOFORM but %s", name);
        s->rootSeen = true;
        return 0;
    }
    if (s->depth == 2) {
        if (EqualNoCase(name, kObject)) return StartObject(s, attrs);
        if (EqualNoCase(name, kResource)) {
            s->section = kSecResource;
            s->resNumber = s->resSize = 0;
            s->resKind = s->resFlags = 0;
            s->resName[0] = 0;
            return 0;
        }
        if (EqualNoCase(name, kHeader)) {
            s->section = kSecHeader;
            return 0;
        }
        return Refuse(s, kXfContent, "Unknown tag type: %s", name);
    }
    // Children of the header, a resource and the code object carry text only.
    if (s->section == kSecHeader || s->section == kSecResource || s->section == kSecCode)
        return s->depth == 3 ? 0 : Refuse(s, kXfContent, "Unknown tag type: %s", name);
    if (EqualNoCase(name, kObject)) return StartObject(s, attrs);
    bool objectLevel = s->depth == (s->subEntry >= 0 ? 4u : 3u);
    if (objectLevel && !s->inProperties && !s->inEvents) {
        if (EqualNoCase(name, kProperties)) {
            s->inProperties = true;
            return 0;
        }
        if (EqualNoCase(name, kEvents) && s->subEntry < 0) {
            s->inEvents = true;
            return 0;
        }
    }
    // A property or event element holds text, never elements.
    bool valueLevel = s->depth == (s->subEntry >= 0 ? 5u : 4u);
    if (valueLevel && (s->inProperties || s->inEvents)) return 0;
    return Refuse(s, kXfContent, "Unknown tag type: %s", name);
}

// ---- Records from property elements ----

int PropRecord(XmlFormState* s, const char* name, uint32_t id, const char* text, size_t length) {
    FormSaveEntry* e = Current(s);
    StreamBuf* b = CurrentStream(s);
    FormRecordForm form = FormPropRecordForm(id);
    if (form == kRfNever || InList(kXmlNeverIds, id)) return 0;
    bool ok = true;
    if (id == kPidWindow || form == kRfReference) {
        if (!length) return 0;
        // A sub-object may name its owner; an object only those before it.
        uint32_t before = s->subEntry >= 0 ? static_cast<uint32_t>(s->subEntry) : static_cast<uint32_t>(s->entry);
        int32_t index = EntryIndexByName(s->ctx, text, before);
        // The form's window as parent is no record, as in the streams of live objects.
        if (index < 0 || (id == kPidWindow && index == 0)) return 0;
        ok = BufPut16(b, id) && BufPut32(b, static_cast<uint32_t>(index));
    } else if (IsTextForm(form)) {
        if (form == kRfLongText && e->kind == kKindEditDateTime) return 0;
        if (form == kRfPasswordChar) {
            if (!length) return 0;
            ok = BufPut16(b, id) && BufPut32(b, static_cast<uint8_t>(text[0]));
        } else {
            static const uint16_t kEmptyLeftOut[] = {319, 321, 322, 325, 328};
            if (!length && (form == kRfTextSkipEmpty || InList(kEmptyLeftOut, id))) return 0;
            // A text record holds its length in 16 bits.
            if (length > kTextMax) return Refuse(s, kXfContent, "Too much data for %s", name);
            ok = BufPut16(b, 0x8000u + id) && BufPut16(b, static_cast<uint32_t>(length)) && BufPut(b, text, length);
        }
    } else {
        int32_t v = FormDecimalParse(text);
        if (id == kPidWinType && v == static_cast<int32_t>(kWinTypeHidden) && s->entry == 0 && s->subEntry < 0)
            s->ctx->flags |= kFsXmlWinType3;
        bool written = form == kRfAlways || (form == kRfSkipOne && v != 1) || (form == kRfSkipZero && v != 0) ||
                       (form == kRfDock && v != 3) || (form == kRfAnchor && v != 7);
        if (!written) return 0;
        ok = BufPut16(b, id) && BufPut32(b, static_cast<uint32_t>(v));
    }
    if (!ok) return Refuse(s, kXfContent, "Unable to allocate memory for tag %s", name);
    if (FormPropSetsWebFlag(id)) s->ctx->headerFlags |= kQwWebProps;
    return 0;
}

// A property given by name (NetObject, NetControl).
int NamedProp(XmlFormState* s, const char* name, const char* text, size_t length) {
    StreamBuf* b = CurrentStream(s);
    size_t nameLength = strlen(name) + 1;
    // The word carries name length + 1 below 0x1000, or it would read as the
    // XML forms' words.
    if (nameLength >= kNamedLengthLimit) return Refuse(s, kXfContent, "Too much data for %s", name);
    bool xml = length >= kXmlValueMarkLen && strncmp(text, kXmlValueMark, kXmlValueMarkLen) == 0;
    if (!xml && length > kTextMax) return Refuse(s, kXfContent, "Too much data for %s", name);
    if (length > UINT32_MAX) return Refuse(s, kXfContent, "Too much data for %s", name);
    bool ok;
    if (!xml) ok = BufPut16(b, kWordNamed + nameLength) && BufPut16(b, static_cast<uint32_t>(length));
    else if (length <= kTextMax) ok = BufPut16(b, kWordXml + nameLength) && BufPut16(b, static_cast<uint32_t>(length));
    else
        ok = BufPut16(b, kWordXmlLong + nameLength) && BufPut16(b, static_cast<uint32_t>(length) & 0xFFFF) &&
             BufPut16(b, static_cast<uint32_t>(length) >> 16);
    ok = ok && BufPut(b, name, nameLength) && BufPut(b, text, length);
    if (!ok) return Refuse(s, kXfContent, "Unable to allocate memory for tag %s", name);
    return 0;
}

int EndProperty(XmlFormState* s, const char* name, const char* text, size_t length) {
    FormSaveEntry* e = Current(s);
    bool net = e->kind == kKindNetObject || e->kind == kKindNetControl;
    if (net) s->ctx->flags |= kFsNetObjects;
    bool isName = net ? strcmp(name, kNameProp) == 0 : EqualNoCase(name, kNameProp);
    if (isName && (!net || !s->nameSeen)) {
        if (!e->subObject) snprintf(e->name, sizeof e->name, "%.*s", static_cast<int>(length), text);
        s->nameSeen = true;
        return 0;
    }
    if (net) {
        for (const PropNameRow* row = FormCommonPropTable; row->id != kPropTableEnd; ++row)
            if (row->name && row->id && strcmp(row->name, name) == 0) return PropRecord(s, name, row->id, text, length);
        return NamedProp(s, name, text, length);
    }
    uint16_t id = PropertyIdFromName(name);
    if (!id) return Refuse(s, kXfContent, "Unknown property name: %s", name);
    return PropRecord(s, name, id, text, length);
}

bool OnlyAboveBlank(const char* text, size_t length) {
    if (!length) return false;
    for (size_t i = 0; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) <= ' ') return false;
    return true;
}

// An event's text as its code: one word is a CALL of that label.
bool SetEventCode(FormEventItem* ev, const char* text, size_t length) {
    bool label = OnlyAboveBlank(text, length);
    CheckedSize size(length);
    size.Add(label ? 7 : 1);
    char* code = size.Fits() ? static_cast<char*>(GuardedAlloc(size.Size())) : nullptr;
    if (!code) return false;
    int n = label ? snprintf(code, size.Size(), "\tCALL\t%.*s", static_cast<int>(length), text)
                  : snprintf(code, size.Size(), "%.*s", static_cast<int>(length), text);
    GuardedFree(ev->code);
    ev->code = code;
    ev->codeLength = static_cast<uint32_t>(n < 0 ? 0 : n);
    return true;
}

// The event an element names: a Control's by its own event name, any other
// kind's by its handler prefix, both without regard to case.
FormEventItem* FindEvent(FormSaveEntry* e, const char* name) {
    if (!FormEntryBuildEvents(e)) return nullptr;
    int32_t id = e->ownEventNames ? -1 : EventIdFromHandlerName(name);
    for (uint32_t k = 0; k < e->eventCount; ++k) {
        FormEventItem& ev = e->events[k];
        if (e->ownEventNames ? ev.name && EqualNoCase(ev.name, name) : id >= 0 && ev.eventId == static_cast<uint32_t>(id))
            return &ev;
    }
    return nullptr;
}

int EndEvent(XmlFormState* s, const char* name, const char* text, size_t length) {
    FormEventItem* ev = FindEvent(Current(s), name);
    // An event the kind does not offer could not be stored: refused like an unknown name.
    if (!ev) return Refuse(s, kXfContent, "Unknown event name: %s", name);
    if (!length) return 0;
    if (!SetEventCode(ev, text, length)) return Refuse(s, kXfNoMemory, "Unable to allocate memory for tag %s", name);
    return 0;
}

int EndHeader(XmlFormState* s, const char* name, const char* text, size_t length) {
    FormSaveContext* ctx = s->ctx;
    if (EqualNoCase(name, kNamePrefix)) {
        if (length > kHeaderNameMax) return Refuse(s, kXfContent, "Too much data for %s", kNamePrefix);
        snprintf(ctx->formName, sizeof ctx->formName, "%.*s", static_cast<int>(length), text);
        return 0;
    }
    static const char* const kFlags[] = {"IsWebForm", "IsUtf8Form", "Requires96", "DoNotCache", "IsCultureSet"};
    int which = -1;
    for (int i = 0; i < static_cast<int>(sizeof kFlags / sizeof kFlags[0]); ++i)
        if (EqualNoCase(name, kFlags[i])) which = i;
    if (which < 0) return Refuse(s, kXfContent, "Unknown header tag name: %s", name);
    // "true" in any case, or five characters beginning "fals" in any case.
    bool on = length == kTrueLength && EqualNoCase(text, "true");
    bool off = false;
    if (length == kFalseLength) {
        char head[kFalsePrefixLength + 1];
        memcpy(head, text, kFalsePrefixLength);
        head[kFalsePrefixLength] = 0;
        off = EqualNoCase(head, "fals");
    }
    if (!on && !off) return Refuse(s, kXfContent, "The tag %s must be TRUE or FALSE", name);
    switch (which) {
    case 0: if (on) ctx->flags |= kFsWebForm; break;
    case 1: if (on) ctx->flags |= kFsUtf8Form; break;
    case 2: if (on) ctx->flags |= kFsRequires96; break;
    case 3: ctx->doNotCache = on; break;
    default: ctx->cultureSet = on; break;
    }
    return 0;
}

int EndResourceData(XmlFormState* s, const char* name, const char* text, size_t length) {
    if (length % 4) return Refuse(s, kXfContent, "Invalid data size for tag: %s", name);
    CheckedSize room(length / 4);
    room.Mul(3).Add(offsetof(FormResource, data) + 1);
    auto* res = room.Fits() ? static_cast<FormResource*>(LocalAllocZero(room.Size())) : nullptr;
    if (!res) return Refuse(s, kXfContent, "Unable to allocate memory for tag %s", name);
    size_t decoded = Base64Decode(text, res->data, length, false);
    // The resource holds what the data decodes to; a size that says otherwise
    // would make later readers copy bytes that are not there.
    if (decoded != s->resSize) {
        LocalFreeMem(res);
        return Refuse(s, kXfContent, "Resource size does not match its data: %s", name);
    }
    res->number = s->resNumber;
    memcpy(res->name, s->resName, sizeof res->name);
    res->kind = s->resKind;
    res->flags = s->resFlags;
    res->size = static_cast<uint32_t>(decoded);
    FormResource** tail = &s->ctx->xmlResources;
    while (*tail) tail = &(*tail)->next;
    *tail = res;
    return 0;
}

int EndResource(XmlFormState* s, const char* name, const char* text, size_t length) {
    if (EqualNoCase(name, "Type")) s->resKind = static_cast<uint16_t>(FormDecimalParse(text));
    else if (EqualNoCase(name, "SubType")) s->resFlags = static_cast<uint16_t>(FormDecimalParse(text));
    else if (EqualNoCase(name, "Id")) s->resNumber = static_cast<uint32_t>(FormDecimalParse(text));
    else if (EqualNoCase(name, "Size")) s->resSize = static_cast<uint32_t>(FormDecimalParse(text));
    else if (EqualNoCase(name, "Name")) {
        if (length > kHeaderNameMax) return Refuse(s, kXfContent, "Too much data for %s", "Name");
        snprintf(s->resName, sizeof s->resName, "%.*s", static_cast<int>(length), text);
    } else if (EqualNoCase(name, "Data")) {
        return EndResourceData(s, name, text, length);
    } else {
        return Refuse(s, kXfContent, "Unknown resource tag name: %s", name);
    }
    return 0;
}

// The code object's text, each LF that does not follow a CR getting one.
int EndCode(XmlFormState* s, const char* name, const char* text, size_t length) {
    if (!EqualNoCase(name, kCodeType)) return Refuse(s, kXfContent, "Unkown code tag %s", name);
    FormSaveContext* ctx = s->ctx;
    CheckedSize room(ctx->xmlCodeLength);
    room.Add(length).Add(length).Add(1);
    char* code = room.Fits() ? static_cast<char*>(GuardedRealloc(ctx->xmlCode, room.Size())) : nullptr;
    if (!code) return Refuse(s, kXfNoMemory, "Unable to allocate memory for tag %s", name);
    ctx->xmlCode = code;
    uint32_t w = ctx->xmlCodeLength;
    for (size_t i = 0; i < length; ++i) {
        bool afterCr = i > 0 ? text[i - 1] == '\r' : (w > 0 && code[w - 1] == '\r');
        if (text[i] == '\n' && !afterCr) code[w++] = '\r';
        code[w++] = text[i];
    }
    code[w] = 0;
    ctx->xmlCodeLength = w;
    return 0;
}

// The stream built for an object goes into its entry.
int FinishStream(XmlFormState* s, int32_t index, StreamLevel level) {
    FormSaveEntry& e = s->ctx->entries[index];
    StreamBuf& b = s->streams[level];
    GuardedFree(e.stream);
    e.stream = static_cast<uint8_t*>(GuardedAlloc(b.length ? b.length : 1));
    if (!e.stream) return Refuse(s, kXfNoMemory, "Unable to allocate memory for tag %s", kObject);
    if (b.length) memcpy(e.stream, b.data, b.length);
    e.streamSize = static_cast<uint32_t>(b.length);
    b.length = 0;
    return 0;
}

int OnEndFull(XmlFormState* s, const char* name, const char* text, size_t length) {
    uint32_t depth = s->depth;
    switch (s->section) {
    case kSecHeader:
        if (depth == 2) s->section = kSecNone;
        return depth == 3 ? EndHeader(s, name, text, length) : 0;
    case kSecResource:
        if (depth == 2) s->section = kSecNone;
        return depth == 3 ? EndResource(s, name, text, length) : 0;
    case kSecCode:
        if (depth == 2) s->section = kSecNone;
        return depth == 3 ? EndCode(s, name, text, length) : 0;
    case kSecObject: break;
    default: return 0;
    }
    bool sub = s->subEntry >= 0;
    uint32_t objectDepth = sub ? 3 : 2;
    if (depth == objectDepth) {
        int rc = FinishStream(s, sub ? s->subEntry : s->entry, sub ? kLevelSub : kLevelObject);
        if (sub) s->subEntry = -1;
        else s->section = kSecNone;
        return rc;
    }
    if (depth == objectDepth + 1) {
        s->inProperties = s->inEvents = false;
        return 0;
    }
    if (s->inProperties) return EndProperty(s, name, text, length);
    if (s->inEvents) return EndEvent(s, name, text, length);
    return 0;
}

// ---- Events-only reading ----

int OnStartEvents(XmlFormState* s, const char* name, const char**) {
    if (s->depth == 1 && !EqualNoCase(name, kRoot)) {
        s->error = kXfEventsWrongRoot;
        return static_cast<int>(kXfEventsWrongRoot);
    }
    if (s->depth == 2 && EqualNoCase(name, kObject)) s->entry = -1;
    if (s->depth == 3) {
        s->inProperties = EqualNoCase(name, kProperties);
        s->inEvents = EqualNoCase(name, kEvents);
    }
    return 0;
}

int OnEndEvents(XmlFormState* s, const char* name, const char* text, size_t length) {
    if (s->depth != 4) return 0;
    FormSaveContext* ctx = s->ctx;
    if (s->inProperties && EqualNoCase(name, kNameProp)) {
        s->entry = -1;
        for (uint32_t i = 0; i < ctx->entryCount; ++i)
            if (!ctx->entries[i].subObject && strlen(ctx->entries[i].name) == length &&
                memcmp(ctx->entries[i].name, text, length) == 0)
                s->entry = static_cast<int32_t>(i);
        return 0;
    }
    if (!s->inEvents || s->entry < 0 || !length) return 0;
    FormEventItem* ev = FindEvent(&ctx->entries[s->entry], name);
    if (ev && !SetEventCode(ev, text, length))
        return Refuse(s, kXfNoMemory, "Unable to allocate memory for tag %s", name);
    return 0;
}

int OnStart(XmlReader* r, const char* name, const char** attrs) {
    XmlFormState* s = StateOf(r);
    if (s->error) return static_cast<int>(s->error);
    ++s->depth;
    if (s->depth > kXmlFormMaxDepth) return Refuse(s, kXfContent, "Document nested too deeply at: %s", name);
    return s->eventsOnly ? OnStartEvents(s, name, attrs) : OnStartFull(s, name, attrs);
}

int OnEnd(XmlReader* r, const char* name, const char* text, size_t length) {
    XmlFormState* s = StateOf(r);
    if (s->error) return static_cast<int>(s->error);
    int rc = s->eventsOnly ? OnEndEvents(s, name, text, length) : OnEndFull(s, name, text, length);
    --s->depth;
    return rc;
}

}  // namespace

bool QofXmlFormLoad(FormSaveContext* ctx, const char* source, uint32_t length, bool eventsOnly, uint32_t* error,
                    char** messages) {
    auto* s = static_cast<XmlFormState*>(GuardedAlloc(sizeof(XmlFormState)));
    if (messages) *messages = nullptr;
    if (!s) {
        *error = kXfNoMemory;
        return false;
    }
    memset(s, 0, sizeof *s);
    s->ctx = ctx;
    s->eventsOnly = eventsOnly;
    s->entry = s->subEntry = -1;
    s->reader.onStart = OnStart;
    s->reader.onEnd = OnEnd;
    s->reader.user = s;
    int rc = length ? XmlParse(&s->reader, nullptr, source, length) : XmlParse(&s->reader, source, nullptr, 0);
    uint32_t code = s->error ? s->error : static_cast<uint32_t>(rc);
    // A full read must have given the form its window.
    if (!code && !eventsOnly && ctx->entryCount == 0) {
        XmlAddError(&s->reader, "No Window object in %s", kRoot);
        code = kXfContent;
    }
    for (StreamBuf& b : s->streams) GuardedFree(b.data);
    if (messages) *messages = s->reader.errors;
    else XmlReaderFree(&s->reader);
    GuardedFree(s);
    *error = code;
    return code == 0;
}
