// formsave.cpp - FormSaveQof: a live window's object table, its objects read
// through their get-property operations, written as a QOF form file or an
// XML form file; FormConvertXmlToQof; and the one way every form file is put
// on disk: into a temporary file beside the target, moved over the target
// only once its final header is written, so that a failed save leaves the
// previous file as it was.
#include "forms/formsave.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>

#include "controls/controls.h"
#include "controls/ctlcore.h"
#include "forms/formload.h"
#include "forms/formxml.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "session/util/xml.h"
#include "webview/core/webformpage.h"

FormSaveFileHooks gFormSaveFileHooks;

namespace {

constexpr char kLogName[] = "FormSaveQof";
constexpr char kUnknownPropText[] = "?????";
constexpr uint32_t kUnknownPropLength = sizeof kUnknownPropText - 1;
constexpr uint8_t kWinTypeSaved = 1;            // option 0x2
constexpr char kTempPrefix[] = "QOV";
constexpr char kEventTextMark[] = "<?";
constexpr uint32_t kXmlFormWriterFlags = kXmlIndent | kXmlConvertUtf8;
constexpr DWORD kWriteChunk = 0x100000;         // bytes per write call
// How the web form page reads an object's stream back.
constexpr uint32_t kWebPageStreamVersion = 4;
constexpr uint32_t kWebPageStreamFlag = 1;

// ---- Live objects as the writer reads them --------------------------------------------------

ObjectRecord* Rec(void* o) { return static_cast<ObjectRecord*>(o); }

uint8_t LiveKind(void* o) { return Rec(o)->kind; }

bool IsMenuKind(uint8_t kind) { return kind == kKindMenu || kind == kKindSubMenu || kind == kKindFloatMenu; }

// An object of the web-view mode answers from its record through the web
// view's query by id, with its own web view current.
bool WebObjectGetProp(ObjectRecord* rec, uint32_t id, FormPropValue* out) {
    if (!gWebObjectOps.getPropById) return false;
    int32_t value = 0;
    const char* text = nullptr;
    gTextBuf[0] = 0;
    if (gWebObjectOps.getPropById(rec, id, &value, &text) < 0) value = 0, text = nullptr;
    out->value = value;
    out->text = text ? text : "";
    out->length = static_cast<uint32_t>(strlen(out->text));
    return true;
}

bool LiveGetProp(void* o, uint32_t id, FormPropValue* out) {
    ObjectRecord* rec = Rec(o);
    // The edit buffer speaks for an edit's text only when this ask filled
    // it: an empty web edit leaves in it whatever an edit left before.
    bool editText = id == kPidText && (rec->kind == kKindEditText || rec->kind == kKindRichEditText);
    if (editText && gEditTextBuf) gEditTextBuf[0] = 0, gEditTextLen = 0;
    if (ObjectIsWebView(rec)) {
        if (!WebObjectGetProp(rec, id, out)) return false;
    } else {
        const ObjectOps* ops = ObjectOpsOf(rec);
        gTextBuf[0] = 0;
        uint32_t v = ops && ops->getProp ? ops->getProp(rec, id)
                                         : static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
        out->value = static_cast<int32_t>(v);
        out->text = gTextBuf;
        // Most properties are numbers and leave the buffer empty.
        out->length = gTextBuf[0] ? static_cast<uint32_t>(strlen(gTextBuf)) : 0;
    }
    // An id the object does not know leaves the "unknown" text: no text.
    if (out->length == kUnknownPropLength && memcmp(out->text, kUnknownPropText, kUnknownPropLength) == 0)
        out->length = 0;
    // A menu's or item's text keeps its accelerator marks in the form.
    if (id == kPidText && (IsMenuKind(rec->kind) || rec->kind == kKindMenuItem)) {
        out->text = MenuRawText(rec);
        out->length = static_cast<uint32_t>(strlen(out->text));
    }
    // An edit's whole text is in the edit buffer; the shared text buffer
    // holds at most its first 40,960 bytes.
    if (editText && gEditTextBuf && gEditTextLen) {
        out->text = gEditTextBuf;
        out->length = gEditTextLen;
    }
    return true;
}

void* LiveParent(void* o) { return Rec(o)->parent; }

// A SubMenu item names its sub-menu; an image list property answers the
// list's handle, which names its record.
void* LiveReference(void* o, uint32_t id) {
    if (id == kPidSubMenu) return MenuItemSubMenu(Rec(o));
    FormPropValue v = {};
    if (!LiveGetProp(o, id, &v) || v.value <= 0) return nullptr;
    ObjectRecord* list = ObjectFromHandle(static_cast<uint32_t>(v.value));
    return list && list->kind == kKindImageList ? list : nullptr;
}

const char* LiveControlClass(void* o) {
    return Rec(o)->kind == kKindControl && gFormControlHooks.className ? gFormControlHooks.className(o) : nullptr;
}

uint32_t LiveSubCount(void* o) {
    ObjectRecord* rec = Rec(o);
    if (IsMenuKind(rec->kind)) return MenuItemCount(rec);
    if (rec->kind == kKindStatusBar && gFormSubObjectHooks.statusPanelCount)
        return gFormSubObjectHooks.statusPanelCount(rec);
    if (rec->kind == kKindToolBar && gFormSubObjectHooks.toolButtonCount)
        return gFormSubObjectHooks.toolButtonCount(rec);
    return 0;
}

void* LiveSubAt(void* o, uint32_t i) {
    ObjectRecord* rec = Rec(o);
    if (IsMenuKind(rec->kind)) return MenuItemAt(rec, i);
    if (rec->kind == kKindStatusBar && gFormSubObjectHooks.statusPanelAt) return gFormSubObjectHooks.statusPanelAt(rec, i);
    if (rec->kind == kKindToolBar && gFormSubObjectHooks.toolButtonAt) return gFormSubObjectHooks.toolButtonAt(rec, i);
    return nullptr;
}

const FormObjectSource kLiveSource = {LiveKind, LiveGetProp, LiveParent, LiveReference, LiveSubCount, LiveSubAt,
                                      LiveControlClass};

bool MakeGuid(uint8_t out[16]) {
    // ole32 makes the GUID: loaded first, no GUID without it.
    if (!SysLibNeed(kSysLibOle)) return false;
    GUID g;
    if (CoCreateGuid(&g) != S_OK) return false;
    memcpy(out, &g, sizeof g);
    return true;
}

// ---- The object table ------------------------------------------------------------------------

// The table's objects are also found by address (open addressing, linear
// probing): each cell holds an entry's index + 1, 0 when empty, so asking
// whether an object is in the table costs the same at its 500th object as
// at its first.
constexpr uint32_t kTableCellBits = 10;
constexpr uint32_t kTableCells = 1u << kTableCellBits;
static_assert(kTableCells >= 2 * kFormMaxEntries, "the cells stay at most half full");
constexpr uint32_t kAddressMix = 2654435761u;   // multiplicative hash (the golden ratio of 2^32)
constexpr uint32_t kMixBits = 32;               // the product's width; its top bits pick the cell

struct TableBuild {
    FormSaveContext* ctx;
    bool overflow;
    bool leftOut;       // an object of a kind no form load can make was left out
    uint16_t cells[kTableCells];
};

bool LeftOut(ObjectRecord* rec) {
    if (!(rec->flags & kObjFromFormNoLoad)) return false;
    // Objects a form load marked are kept only while the program keeps
    // flagged objects, and then not a Panel that SetWinFlag1 marked.
    if (!(gGuiModeFlags & kGuiModeKeepFlagged)) return true;
    return rec->kind == kKindPanel && gFormSubObjectHooks.panelWinFlag1 && gFormSubObjectHooks.panelWinFlag1(rec);
}

uint32_t FirstCell(const ObjectRecord* rec) {
    return (static_cast<uint32_t>(reinterpret_cast<uintptr_t>(rec)) * kAddressMix) >> (kMixBits - kTableCellBits);
}

uint32_t NextCell(uint32_t cell) { return (cell + 1) & (kTableCells - 1); }

bool InTable(const TableBuild* t, const ObjectRecord* rec) {
    for (uint32_t c = FirstCell(rec); t->cells[c]; c = NextCell(c))
        if (t->ctx->entries[t->cells[c] - 1].object == rec) return true;
    return false;
}

void PutInCells(TableBuild* t, const ObjectRecord* rec, uint32_t entry) {
    uint32_t c = FirstCell(rec);
    while (t->cells[c]) c = NextCell(c);
    t->cells[c] = static_cast<uint16_t>(entry + 1);
}

void AddEntry(TableBuild* t, ObjectRecord* rec) {
    FormSaveContext* ctx = t->ctx;
    if (LeftOut(rec) || InTable(t, rec)) return;
    // A saved form loads again: a kind the loader refuses (a Movie) would
    // fail the whole load, so it is not written.
    if (ctx->entryCount > 0 && !QofKindCreatable(rec->kind)) {
        t->leftOut = true;
        return;
    }
    if (ctx->entryCount >= kFormMaxEntries) {
        t->overflow = true;
        return;
    }
    FormSaveEntry& e = ctx->entries[ctx->entryCount];
    memset(&e, 0, sizeof e);
    if (rec->name && rec->name[0]) memcpy(e.name, rec->name, strnlen(rec->name, sizeof e.name - 1));
    else snprintf(e.name, sizeof e.name, "Object%u", static_cast<unsigned>(ctx->entryCount));
    e.kind = rec->kind;
    e.object = rec;
    if (rec->kind == kKindNetObject || rec->kind == kKindNetControl) ctx->flags |= kFsNetObjects;
    PutInCells(t, rec, ctx->entryCount);
    ++ctx->entryCount;
}

// A sub-menu after the sub-menus its items open (they must come before it
// for its items' references); depth bounds a chain that loops.
void AddSubMenu(TableBuild* t, ObjectRecord* sub, int depth) {
    if (depth > kParentChainMax || InTable(t, sub)) return;
    uint32_t n = MenuItemCount(sub);
    for (uint32_t i = 0; i < n; ++i) {
        ObjectRecord* opened = MenuItemSubMenu(MenuItemAt(sub, i));
        if (opened && opened != sub) AddSubMenu(t, opened, depth + 1);
    }
    AddEntry(t, sub);
}

void AddObjects(TableBuild* t, ObjectRecord* container, int depth) {
    if (depth > kParentChainMax) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->kind == kKindImageList) continue;
        AddEntry(t, c);
        if (c->kind == kKindPanel) AddObjects(t, c, depth + 1);
    }
}

// The window's menus of a kind in the order they were made: the list holds
// the newest first, and a menu bar shows its menus in the order they came.
void AddMenusOfKind(TableBuild* t, WindowRecord* w, uint8_t kind) {
    ObjectRecord* menus[kFormMaxEntries + 1];
    uint32_t n = 0;
    for (ObjectRecord* m = w->menus; m && n <= kFormMaxEntries; m = m->next)
        if (m->kind == kind) menus[n++] = m;
    if (n > kFormMaxEntries) t->overflow = true;
    while (n--) {
        if (kind == kKindSubMenu) AddSubMenu(t, menus[n], 0);
        else AddEntry(t, menus[n]);
    }
}

// Objects of the window (or of a Panel in the table) that are in no child
// list, as regions are: found among the live records, in the order made.
void AddUnlinked(TableBuild* t, ObjectRecord* window) {
    uint32_t n = ObjectLiveCount();
    for (uint32_t i = 0; i < n; ++i) {
        ObjectRecord* rec = ObjectLiveAt(i);
        if (!rec || !rec->parent || rec->kind == kKindMenuItem || IsMenuKind(rec->kind) ||
            rec->kind == kKindImageList || InTable(t, rec))
            continue;
        if (rec->parent == window || (rec->parent->kind == kKindPanel && InTable(t, rec->parent)))
            AddEntry(t, rec);
    }
}

// The kinds a web-form page shows.
bool IsPageKind(uint8_t kind) {
    static const uint8_t kPageKinds[] = {1,  2,  4,  6,  7,  8,  9,  11, 12, 13, 15, 16, 17,
                                         20, 21, 24, 26, 27, 28, 30, 43, 44, 45, 46, 47, 52};
    for (uint8_t k : kPageKinds)
        if (k == kind) return true;
    return false;
}

// A web-form page's table: the children in list order, each Panel's children
// after it; any other kind is noted as left out.
void AddPageObjects(TableBuild* t, ObjectRecord* container, int depth, bool* leftOut) {
    if (depth > kParentChainMax) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (!IsPageKind(c->kind)) {
            *leftOut = true;
            continue;
        }
        AddEntry(t, c);
        if (c->kind == kKindPanel) AddPageObjects(t, c, depth + 1, leftOut);
    }
}

void BuildPageTable(TableBuild* t, ObjectRecord* window, bool* leftOut) {
    AddEntry(t, window);
    if (ObjectAsWindow(window)->menus) *leftOut = true;
    AddPageObjects(t, window, 0, leftOut);
}

void BuildTable(TableBuild* t, ObjectRecord* window) {
    AddEntry(t, window);
    WindowRecord* w = ObjectAsWindow(window);
    for (ObjectRecord* c = window->children; c; c = c->next)
        if (c->kind == kKindImageList) AddEntry(t, c);
    AddMenusOfKind(t, w, kKindSubMenu);
    AddMenusOfKind(t, w, kKindMenu);
    AddObjects(t, window, 0);
    AddUnlinked(t, window);
    AddMenusOfKind(t, w, kKindFloatMenu);
}

// ---- Files --------------------------------------------------------------------------------------

BOOL DefaultWrite(HANDLE h, const void* data, DWORD size, DWORD* written) {
    return WriteFile(h, data, size, written, nullptr);
}

bool WriteAll(HANDLE h, const uint8_t* data, size_t size) {
    auto write = gFormSaveFileHooks.write ? gFormSaveFileHooks.write : DefaultWrite;
    while (size) {
        DWORD chunk = size > kWriteChunk ? kWriteChunk : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!write(h, data, chunk, &written) || written != chunk) return false;
        data += chunk;
        size -= chunk;
    }
    return true;
}

// The folder part of a path (up to and with its last separator), "." when none.
void FolderOf(const char* path, char* out, size_t room) {
    const char* slash = strrchr(path, '\\');
    const char* other = strrchr(path, '/');
    if (!slash || (other && other > slash)) slash = other;
    if (!slash) {
        snprintf(out, room, ".");
        return;
    }
    snprintf(out, room, "%.*s", static_cast<int>(slash - path + 1), path);
}

void LogOsError(const char* step, uint32_t code) {
    DebugLogWrite(kLogName, "%s error='%u' Os Error: 0x%08X", step, code, static_cast<unsigned>(GetLastError()));
}

}  // namespace

FormSubObjectHooks gFormSubObjectHooks;

int32_t FormFilePutBytes(const char* target, const uint8_t* data, size_t size, char* errorText) {
    char folder[MAX_PATH], temp[MAX_PATH];
    FolderOf(target, folder, sizeof folder);
    if (!GetTempFileNameA(folder, kTempPrefix, 0, temp)) return kFormSaveCantCreate;
    HANDLE h = CreateFileA(temp, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DeleteFileA(temp);
        return kFormSaveCantCreate;
    }
    bool ok = true;
    // A QOF file carries the save-in-progress flag until its final header is in.
    if (size >= kQofHeaderSize && memcmp(data, kQofMagic, sizeof kQofMagic) == 0) {
        uint8_t first[kQofHeaderSize];
        FormFileInProgressHeader(data, first);
        ok = WriteAll(h, first, sizeof first) && WriteAll(h, data + kQofHeaderSize, size - kQofHeaderSize) &&
             SetFilePointer(h, 0, nullptr, FILE_BEGIN) == 0 && WriteAll(h, data, kQofHeaderSize);
    } else {
        ok = WriteAll(h, data, size);
    }
    ok = ok && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    if (ok) ok = MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
    if (!ok) {
        DeleteFileA(temp);
        if (errorText) snprintf(errorText, kFormErrorTextSize, "%s", kQwErrWrite);
        return kFormSaveWriteFailed;
    }
    return 0;
}

namespace {

// A file's bytes through the session: '!' names the client's own path.
bool FetchText(const char* name, uint8_t** data, uint32_t* size) {
    *data = nullptr;
    *size = 0;
    return name && name[0] && CacheFetch(name, kFetchFile, data, size) == 0 && *data;
}

// The XML event text: text beginning "<?" itself, anything else a file's name.
bool LoadEventText(FormSaveContext* ctx, const char* eventText, uint32_t* error) {
    *error = 0;
    if (strncmp(eventText, kEventTextMark, 2) == 0)
        return QofXmlFormLoad(ctx, eventText, static_cast<uint32_t>(strlen(eventText)), true, error, nullptr);
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!FetchText(eventText, &data, &size) || size == 0) {
        CacheFreeData(data);
        *error = kXmlReadNoFile;
        return false;
    }
    bool ok = QofXmlFormLoad(ctx, reinterpret_cast<const char*>(data), size, true, error, nullptr);
    CacheFreeData(data);
    return ok;
}

// Writes the XML form file of a save or load to the prepared path.
int32_t WriteXmlFile(FormSaveContext* ctx, const char* path, XmlFormSaveMode mode, bool doNotCache, int32_t openFail,
                     int32_t writeFail) {
    char folder[MAX_PATH], temp[MAX_PATH];
    FolderOf(path, folder, sizeof folder);
    if (!GetTempFileNameA(folder, kTempPrefix, 0, temp)) return openFail;
    XmlWriter* w = static_cast<XmlWriter*>(GuardedAlloc(sizeof(XmlWriter)));
    if (!w) {
        DeleteFileA(temp);
        return openFail;
    }
    XmlWriterInit(w);
    w->flags = kXmlFormWriterFlags;
    if (XmlWriteOpen(w, temp) != 0) {
        XmlWriteClose(w);
        GuardedFree(w);
        DeleteFileA(temp);
        return openFail;
    }
    bool ok = XmlFormSave(ctx, w, mode, doNotCache);
    GuardedFree(w);
    if (ok) ok = MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
    if (!ok) {
        DeleteFileA(temp);
        return writeFail;
    }
    return 0;
}

// ---- The web form page -----------------------------------------------------------------------

// The save's objects as the page reads them, and the one block their streams
// are encoded into: a record's texts point into the block, so it lives until
// the page is written and each object's stream replaces the one before only
// once that object's markup is in the page.
struct PageObjects {
    FormSaveContext* ctx;
    uint8_t* stream;
};

uint32_t PageKind(void* user, uint32_t i) { return static_cast<PageObjects*>(user)->ctx->entries[i].kind; }

int32_t PageParent(void* user, uint32_t i) {
    if (i == 0) return -1;
    FormSaveContext* ctx = static_cast<PageObjects*>(user)->ctx;
    ObjectRecord* rec = Rec(ctx->entries[i].object);
    return rec && rec->parent ? static_cast<int32_t>(FormEntryIndexOf(ctx, rec->parent)) : 0;
}

// The markup draws a Line from its left and top edges to its right and bottom
// ones, as the web creator leaves them; the stream's edges are the line's box.
void PageLineEnds(ObjectCreateRecord* cr) {
    int32_t ends[4];
    CreateRecordLineEnds(cr, ends);
    cr->left = ends[0], cr->top = ends[1], cr->right = ends[2], cr->bottom = ends[3];
}

// An object's current properties as a creation record: its stream encoded
// through the save's object source (the markup reads no references) and read
// back as a version-4 form.
bool PageRecord(void* user, uint32_t i, ObjectCreateRecord* cr) {
    auto* page = static_cast<PageObjects*>(user);
    FormSaveContext* ctx = page->ctx;
    void* object = ctx->entries[i].object;
    if (!object) return false;
    uint32_t n = EncodeFormCrStream(ctx, object, page->stream, kWebPageStreamRoom, 0);
    if (!n || !DecodeFormCrStream(page->stream, n, kWebPageStreamVersion, kWebPageStreamFlag, cr)) return false;
    if (ctx->entries[i].kind == kKindLine) PageLineEnds(cr);
    return true;
}

// Writes the form as a stand-alone web page through the safe file write.
int32_t WriteWebPage(FormSaveContext* ctx, const char* path, bool olderLibrary) {
    PageObjects objects = {ctx, static_cast<uint8_t*>(GuardedAlloc(kWebPageStreamRoom))};
    if (!objects.stream) return kFormSaveNoMemory;
    WebPageSource src = {ctx->entryCount, PageKind, PageParent, PageRecord, &objects};
    TextBuf page = {};
    int32_t rc = FormWebPageBuild(&src, olderLibrary, &page)
                     ? FormFilePutBytes(path, reinterpret_cast<const uint8_t*>(page.data), page.length, gFormLastError)
                     : kFormSaveNoMemory;
    TextBufFree(&page);
    GuardedFree(objects.stream);
    return rc;
}

int32_t SendBack(SrvFileRec* rec, int32_t result) {
    if (result == 0 && rec->temporary) result = PutSrvFile(rec);
    if (rec->temporary) DeleteFileA(rec->localPath);
    return result;
}

struct SaveJob {
    FormSaveContext* ctx;
    ObjectRecord* window;
    uint8_t keptType;
    bool typeChanged;
    uint8_t* code;
    uint32_t codeSize;
    bool leftOut;           // objects or menus were left out of the save
};

void EndJob(SaveJob* job) {
    if (job->typeChanged) ObjectAsWindow(job->window)->winType = job->keptType;
    if (job->ctx) {
        FormSaveContextFree(job->ctx);
        GuardedFree(job->ctx);
    }
    CacheFreeData(job->code);
}

int32_t SaveContent(SaveJob* job, const char* path, const char* eventText, uint32_t options) {
    FormSaveContext* ctx = job->ctx;
    TableBuild t = {ctx, false, false, {}};
    bool page = (options & kFormSaveWebPage) != 0;
    if (page) BuildPageTable(&t, job->window, &job->leftOut);
    else BuildTable(&t, job->window);
    if (t.overflow) return kFormSaveTooMany;
    job->leftOut = job->leftOut || t.leftOut;
    ctx->resources = ObjectAsWindow(job->window)->resources;
    if (page) return WriteWebPage(ctx, path, (options & kFormSaveOldScripts) != 0);
    if (eventText && eventText[0]) {
        uint32_t error = 0;
        if (!LoadEventText(ctx, eventText, &error)) {
            DebugLogWrite(kLogName, "QofSaveErrBadEvents error='%d' QofXmlFormLoad erc: %u", kFormSaveBadEvents, error);
            return kFormSaveBadEvents;
        }
    }
    const char* formName = ObjectAsWindow(job->window)->formName;
    if (formName && strlen(formName) < kQofNameSize) snprintf(ctx->formName, sizeof ctx->formName, "%s", formName);
    if (options & kFormSaveRequires96) ctx->flags |= kFsRequires96;
    if ((options & kFormSaveWebForm) || (gGuiModeFlags & kGuiModeWebForm)) ctx->flags |= kFsWebForm;
    if (options & kFormSaveUtf8) ctx->flags |= kFsUtf8Form;
    bool doNotCache = (options & kFormSaveDoNotCache) != 0;
    ctx->userCode = reinterpret_cast<const char*>(job->code);
    ctx->userCodeLength = job->codeSize;
    if (options & (kFormSaveXmlObjects | kFormSaveXmlFull)) {
        if (options & kFormSaveXmlFull) ctx->flags |= kFsXmlFull;
        XmlFormSaveMode mode = (options & kFormSaveXmlFull) ? kXmlSaveFull : kXmlSaveObjects;
        if (gFormSaveFileHooks.oleSaveToTemp) gFormSaveFileHooks.oleSaveToTemp(job->window);
        int32_t rc = WriteXmlFile(ctx, path, mode, doNotCache, kFormSaveCantCreate, kFormSaveWriteFailed);
        if (rc == kFormSaveWriteFailed) snprintf(gFormLastError, sizeof gFormLastError, "%s", kQwErrWrite);
        return rc;
    }
    ctx->source = &kLiveSource;
    ctx->makeGuid = MakeGuid;
    uint8_t* ole = nullptr;
    uint32_t oleSize = 0;
    if (gFormSaveFileHooks.oleArea && !gFormSaveFileHooks.oleArea(job->window, &ole, &oleSize)) {
        GuardedFree(ole);
        snprintf(gFormLastError, sizeof gFormLastError, "%s", kQwErrOleStorage);
        return kFormSaveWriteFailed;
    }
    ctx->oleData = ole;
    ctx->oleSize = oleSize;
    uint8_t* data = nullptr;
    size_t size = 0;
    bool written = FormFileWrite(ctx, doNotCache, &data, &size);
    ctx->oleData = nullptr;
    ctx->oleSize = 0;
    GuardedFree(ole);
    if (!written) {
        snprintf(gFormLastError, sizeof gFormLastError, "%s", ctx->errorText);
        return kFormSaveWriteFailed;
    }
    int32_t rc = FormFilePutBytes(path, data, size, gFormLastError);
    GuardedFree(data);
    if (rc == kFormSaveCantCreate) LogOsError("QofSaveFileCreate", kFormSaveCantCreate);
    return rc;
}

}  // namespace

uint32_t FormSaveQof(ObjectRecord* window, const char* fileName, const char* eventText, const char* codeFile,
                     uint32_t options) {
    WindowRecord* w = ObjectAsWindow(window);
    if (!w || !fileName || !fileName[0]) return kFormSaveNamePrep;
    gFormLastError[0] = 0;
    if (options & kFormSaveXmlFull) options &= ~kFormSaveXmlObjects;
    SrvFileRec out = {};
    if (PrepSrvFileWrite(fileName, &out) != 0) return kFormSaveNamePrep;
    SaveJob job = {};
    job.window = window;
    // The code file gives a QOF file its user code and a full XML file its
    // code object; an objects-only XML file has neither.
    bool usesCode = !(options & kFormSaveXmlObjects);
    // The code file must be the client's own: a server's is refused unfetched.
    if (usesCode && codeFile && codeFile[0] &&
        (!FormNameIsClientPath(codeFile) || !FetchText(codeFile, &job.code, &job.codeSize))) {
        LogOsError("QofSaveErrCodeFileGet", kFormSaveCodeFile);
        return static_cast<uint32_t>(SendBack(&out, kFormSaveCodeFile));
    }
    job.ctx = static_cast<FormSaveContext*>(GuardedAlloc(sizeof(FormSaveContext)));
    if (!job.ctx || !FormStreamBufReserve(1)) {
        EndJob(&job);
        return static_cast<uint32_t>(SendBack(&out, kFormSaveNoMemory));
    }
    memset(job.ctx, 0, sizeof *job.ctx);
    job.ctx->source = &kLiveSource;
    // The save writes each object's place: docking layouts still waiting for
    // their batch are done first.
    if (gObjectHooks.layoutsFlush) gObjectHooks.layoutsFlush();
    // The window type the save writes; the byte is put back on every way out.
    job.keptType = w->winType;
    if (options & kFormSaveTypeOne) w->winType = kWinTypeSaved;
    else if (w->winTypeRequested && w->winTypeRequested != w->winType) w->winType = w->winTypeRequested;
    job.typeChanged = w->winType != job.keptType;
    job.ctx->windowType = w->winType;
    int32_t rc = SaveContent(&job, out.localPath, eventText, options);
    EndJob(&job);
    rc = SendBack(&out, rc);
    if (rc == 0 && job.leftOut) rc = kFormSaveLeftOut;
    return static_cast<uint32_t>(rc);
}

uint32_t FormConvertXmlToQof(const char* xmlName, char* qofName, size_t qofRoom, bool makeTemporary) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!xmlName || !xmlName[0]) return kFormConvNameUnresolved;
    if (!FormNameIsClientPath(xmlName)) return kFormConvServerName;
    if (CacheFetch(xmlName, kFetchFile, &data, &size) != 0 || !data) return kFormConvNameUnresolved;
    if (makeTemporary) {
        char dir[MAX_PATH], path[MAX_PATH];
        if (!GetTempPathA(sizeof dir, dir) || !GetTempFileNameA(dir, kTempPrefix, 0, path)) {
            CacheFreeData(data);
            return kFormConvOutputPrep;
        }
        snprintf(qofName, qofRoom, "%c%s", kClientPathMark, path);
    }
    SrvFileRec out = {};
    if (PrepSrvFileWrite(qofName, &out) != 0) {
        CacheFreeData(data);
        return kFormConvOutputPrep;
    }
    auto* ctx = static_cast<FormSaveContext*>(GuardedAlloc(sizeof(FormSaveContext)));
    if (!ctx) {
        CacheFreeData(data);
        return static_cast<uint32_t>(SendBack(&out, kFormConvNoContext));
    }
    memset(ctx, 0, sizeof *ctx);
    uint32_t error = 0;
    char* messages = nullptr;
    int32_t rc = 0;
    if (!FormStreamBufReserve(1)) {
        rc = kFormSaveNoMemory;
    } else if (size == 0) {
        rc = kXmlReadMalformed;
    } else if (!QofXmlFormLoad(ctx, reinterpret_cast<const char*>(data), size, false, &error, &messages)) {
        rc = static_cast<int32_t>(error);
        // The first message names the line and column for the program.
        if (messages) {
            const char* nl = strchr(messages, '\n');
            snprintf(gFormLastError, sizeof gFormLastError, "%.*s",
                     static_cast<int>(nl ? nl - messages : static_cast<ptrdiff_t>(strlen(messages))), messages);
        }
    } else {
        ctx->flags |= kFsFromXml;
        ctx->resources = ctx->xmlResources;
        ctx->userCode = ctx->xmlCode;
        ctx->userCodeLength = ctx->xmlCodeLength;
        ctx->makeGuid = MakeGuid;
        uint8_t* bytes = nullptr;
        size_t n = 0;
        if (!FormFileWrite(ctx, ctx->doNotCache, &bytes, &n)) {
            snprintf(gFormLastError, sizeof gFormLastError, "%s", ctx->errorText);
            rc = kFormSaveWriteFailed;
        } else {
            rc = FormFilePutBytes(out.localPath, bytes, n, gFormLastError);
            if (rc == kFormSaveCantCreate) rc = kFormConvCantCreate;
        }
        GuardedFree(bytes);
    }
    LocalFreeMem(messages);
    FormSaveContextFree(ctx);
    GuardedFree(ctx);
    CacheFreeData(data);
    if (rc != 0 && makeTemporary) DeleteFileA(out.localPath);
    if (makeTemporary) return static_cast<uint32_t>(rc);
    return static_cast<uint32_t>(SendBack(&out, rc));
}

int32_t FormLoadWriteXml(FormFileContext* load, const char* xmlOutput) {
    SrvFileRec out = {};
    if (PrepSrvFileWrite(xmlOutput, &out) != 0) return kFormXmlOutputFailed;
    auto* ctx = static_cast<FormSaveContext*>(GuardedAlloc(sizeof(FormSaveContext)));
    if (!ctx) return SendBack(&out, kFormXmlOutputFailed);
    memset(ctx, 0, sizeof *ctx);
    if (load->flags & kFcCallErrors) ctx->flags |= kFsCallErrors;
    // The entries lend their names, kinds and events; nothing is copied.
    uint32_t entry = 0;
    for (uint32_t row = 0; row < load->file.h.objCount && entry < load->entryCount; ++row) {
        const QofRow& r = load->file.rows[row];
        if (r.entry < 0) continue;
        FormSaveEntry& e = ctx->entries[entry];
        const FormEntry& from = load->entries[entry];
        memcpy(e.name, from.name, sizeof e.name);
        e.kind = r.kind;
        e.eventCount = from.eventCount;
        e.ownEventNames = from.ownEventNames;
        e.events = from.events;
        ++entry;
    }
    ctx->entryCount = static_cast<uint16_t>(entry);
    int32_t rc = WriteXmlFile(ctx, out.localPath, kXmlSaveNamesEvents, false, kFormXmlOutputFailed,
                              kFormXmlOutputFailed);
    GuardedFree(ctx);
    return SendBack(&out, rc);
}
