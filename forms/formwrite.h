// formwrite.h - writing a form: the object table of a save, the creation
// stream of one object (EncodeFormCrStream), the handler labels and CALL
// statements of event code, the macro expansion of stored code, and the QOF
// form file built whole in memory (FormFileWrite). Platform-free: the live
// objects are read through a table of functions the caller supplies.
#pragma once

#include <cstddef>
#include <cstdint>

#include "forms/qoffile.h"

constexpr uint32_t kFormErrorTextSize = 81;     // 80 characters and the NUL

// ---- Events of an entry --------------------------------------------------------------
struct FormEventItem {
    const char* name;           // null: the kind's own event of that id
    uint32_t eventId;
    char* code;                 // event code (NUL-terminated), owned (GuardedAlloc)
    uint32_t codeLength;
};
constexpr uint32_t kFormEventJQuery = 200;
constexpr uint32_t kFormLabelMax = 32;          // a called label keeps at most 32 characters

// ---- How the writer reads live objects ------------------------------------------------------
// A property value: the number, and for the text properties the text (not
// NUL-terminated necessarily; length counts).
struct FormPropValue {
    int32_t value;
    const char* text;
    uint32_t length;
};
struct FormObjectSource {
    uint8_t (*kindOf)(void* object);
    // The value of a property id (texts in out->text); false when the object
    // can't answer (the save then fails).
    bool (*getProp)(void* object, uint32_t id, FormPropValue* out);
    // The parent window of a top-level object, the object a reference property
    // (image lists 270-274, SubMenu 283) names; null for none.
    void* (*parentOf)(void* object);
    void* (*reference)(void* object, uint32_t id);
    // The sub-objects of a status bar, tool bar or menu, in their order.
    uint32_t (*subCount)(void* object);
    void* (*subAt)(void* object, uint32_t index);
    // The class text of a Control (its declaration line), or null.
    const char* (*controlClass)(void* object);
};

// ---- The save context ---------------------------------------------------------------------------
struct FormSaveEntry {
    char name[kQofNameSize];
    uint8_t kind;
    bool subObject;             // a status panel, tool button or menu item read from XML
    void* object;               // the live object; null for an entry read from XML
    uint8_t eventCount;
    uint8_t ownEventNames;      // Control objects name their own events
    FormEventItem* events;
    uint8_t* stream;            // the creation stream read from XML (owned)
    uint32_t streamSize;
};

// Context flags (shared with the loader's context where they coincide).
enum FormSaveFlag : uint32_t {
    kFsNetObjects = 0x100, kFsRequires96 = 0x200, kFsWebForm = 0x800, kFsCallErrors = 0x1000,
    kFsFromXml = 0x2000, kFsXmlFull = 0x4000, kFsUtf8Form = 0x8000, kFsXmlWinType3 = 0x10000,
};
// Header flags the writer sets.
enum QofWriteFlag : uint32_t {
    kQwAlways = 0x0001, kQwGuid = 0x0020, kQwDoNotCache = 0x0040, kQwCultureSet = 0x0100,
    kQwWebProps = 0x0200,
};
constexpr uint32_t kQofWriterBuild = 10601;
constexpr uint8_t kWinTypeNoDeclaration = 3;    // a window of this type is left out of the declarations

struct FormSaveContext {
    uint32_t flags;             // FormSaveFlag
    uint32_t headerFlags;       // QofWriteFlag bits found while encoding (0x0200)
    uint16_t entryCount;
    char formName[kQofNameSize];
    FormSaveEntry entries[kQofMaxEntries];
    const FormObjectSource* source;
    const FormResource* resources;      // written in list order
    FormResource* xmlResources;         // the chain read from XML (owned)
    uint8_t windowType;         // the window's type byte during the save
    bool cultureSet;            // from an XML header
    bool doNotCache;            // from an XML header
    uint32_t xmlSubCount;       // sub-object entries read from XML
    const char* userCode;       // the user code text (code file or XML), not owned
    uint32_t userCodeLength;
    char* xmlCode;              // the code text read from XML (owned)
    uint32_t xmlCodeLength;
    bool (*makeGuid)(uint8_t out[16]);
    const uint8_t* oleData;     // the OLE area written after the descriptors (not owned)
    uint32_t oleSize;
    char errorText[kFormErrorTextSize];
};
constexpr uint32_t kFormMaxEntries = kQofMaxEntries;

// ---- Writer messages --------------------------------------------------------------------------------
extern const char kQwErrWrite[];            // "Unable To Write Form File"
extern const char kQwErrHeader[];
extern const char kQwErrStream[];           // "Unable To Write Form File(TB)"
extern const char kQwErrMemory[];
extern const char kQwErrMacro[];
extern const char kQwErrTextTooLong[];
extern const char kQwErrLabelArea[];
extern const char kQwErrOleStorage[];       // "Unable To Save Form File OLE Storage"

// ---- Creation streams ----------------------------------------------------------------------------------
// How EncodeFormCrStream writes a property id.
enum FormRecordForm : uint8_t {
    kRfNever,           // never written
    kRfAlways,          // id, u32 value
    kRfSkipOne,         // left out at 1
    kRfSkipZero,        // left out at 0 (every id not named otherwise)
    kRfDock,            // left out at 3
    kRfAnchor,          // left out at 7
    kRfPasswordChar,    // id, u32 first character; left out when the text is empty
    kRfText,            // id + 0x8000, u16 length, the text; written also when empty
    kRfTextSkipEmpty,   // text, left out when empty
    kRfLongText,        // Text (29): the long text of edits, never for EditDateTime
    kRfReference,       // id, u32 table index of the referenced entry
};
FormRecordForm FormPropRecordForm(uint32_t id);
// The properties whose use marks the form as needing the newer runtime's web
// properties (header flag 0x0200).
bool FormPropSetsWebFlag(uint32_t id);

// The growable output of an encoder: the shared stream buffer (grown as
// needed) or a fixed buffer of room bytes.
struct FormStreamOut {
    uint8_t* data;
    size_t length;
    size_t room;
    bool shared;
};
bool FormStreamPut(FormStreamOut* out, const void* bytes, size_t n);
bool FormStreamPutNumber(FormStreamOut* out, uint32_t id, uint32_t value);
bool FormStreamPutText(FormStreamOut* out, uint32_t id, const char* text, uint32_t length);

// Writes one object's current properties as a creation stream into out
// (shared: the shared stream buffer, grown as needed). windowIndex is the
// window reference (158); ctx may be null (no table: references become 0).
// Answers the bytes written, 0 on failure; a text above 65,535 bytes fails
// with kQwErrTextTooLong in ctx's error text.
uint32_t EncodeFormCrStream(FormSaveContext* ctx, void* object, uint8_t* out, size_t room, uint32_t windowIndex);
// The table index of a live object among the entries; 0 when not there.
uint32_t FormEntryIndexOf(const FormSaveContext* ctx, const void* object);

// ---- Event code ------------------------------------------------------------------------------------------
// A CALL statement: after leading blanks and TABs, CALL (any case), a blank or
// TAB, optional blanks and TABs, and a label. label receives at most 32
// characters (a longer one keeps its first 31 and its last); *rest (when
// given) points after the label.
bool FormCodeParseCall(const char* code, uint32_t length, char label[kFormLabelMax + 1], const char** rest);
// Whether nothing but blanks, TABs and line ends follows in [p, end).
bool FormCodeOnlySpace(const char* p, const char* end);
// The handler label of an event of an entry: the event's own name and '_' for
// an entry with its own event names, else its prefix; then the object name
// ('#' stays in front). Answers its length (at most 255 characters).
uint32_t FormHandlerLabel(const FormSaveEntry& e, const FormEventItem& ev, char* out, size_t room);
// The event name as XML form files name their elements ("Click", "JQueryEvent").
const char* FormEventElementName(const FormEventItem& ev, char* buf, size_t room);
// Expands the first "&objname" of each line (any case) to the object name and
// marks the line with " ;&OBJNAME" before its CR. False when out's room is
// not enough.
bool FormCodeExpand(const char* code, uint32_t length, const char* name, char* out, size_t room,
                    uint32_t* written);
constexpr uint32_t kFormExpandRoom = 40960;

// A Control's class text and own events come from its type information,
// which the OLE container reads (empty hooks: none).
struct FormControlHooks {
    const char* (*className)(void* object);
    uint32_t (*eventCount)(void* object);
    // The index-th event of the type information: its name (kept by the
    // type information while the control lives) and its id.
    bool (*eventAt)(void* object, uint32_t index, const char** name, uint32_t* id);
};
extern FormControlHooks gFormControlHooks;
constexpr uint32_t kFormEventGotFocus = 0x80011001u, kFormEventLostFocus = 0x80011002u;
// The events an object of a kind offers in forms, one item per event: a
// Control those of its type information (object: the live control), then
// GotFocus and LostFocus, with its own event names; an HtmlControl one item
// with id 200; other kinds each event id KindEventTable marks. False when
// there are none or no memory. The loader and the writer both use it.
bool FormBuildEventList(uint8_t kind, void* object, FormEventItem** events, uint8_t* count, uint8_t* ownNames);
// Gives an entry its event list (FormBuildEventList of its kind and object).
bool FormEntryBuildEvents(FormSaveEntry* e);
void FormEntryFreeEvents(FormSaveEntry* e);
void FormSaveContextFree(FormSaveContext* ctx);

// ---- The QOF file -----------------------------------------------------------------------------------------
// The object rows a save writes: each entry, and after a live status bar,
// tool bar or menu its sub-objects.
uint32_t FormSaveRowCount(const FormSaveContext* ctx);
// Builds the whole file in memory (GuardedAlloc; the caller frees *data).
// Header flags 0x0011 (0x0111 with IsCultureSet from XML) plus 0x0080,
// 0x0800, 0x1000 from the context, 0x0200 when encoding met a web property,
// 0x0040 for doNotCache and 0x0020 with a GUID from ctx->makeGuid. The bytes
// carry the final header; FormFileInProgressHeader gives the one written
// first. False with ctx->errorText on failure.
bool FormFileWrite(FormSaveContext* ctx, bool doNotCache, uint8_t** data, size_t* size);
// The header a save writes first: the final one with the save-in-progress flag.
void FormFileInProgressHeader(const uint8_t* finalHeader, uint8_t out[kQofHeaderSize]);
