// formload.cpp - FormLoadQof: reads a QOF form file, creates its window and
// every object through the creators of their kinds, keeps the form's
// resources, writes the code output, and moves the loaded window into the
// record of the Window object that asked; FormResGetData for the objects that
// take their images from the form.
#include "forms/formload.h"
#include "forms/formsave.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "session/util/olestore.h"
#include "controls/controls.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "webview/core/webobject.h"

FormCreatorHooks gFormCreatorHooks;
FormOleStorage gFormOleStorage;
bool gFormLoadInProgress;
FormFileContext* gFormLoadContext;
ObjectRecord* gFormLoadAskingWindow;
char gFormLastError[kFormErrTextSize + 1];
uint8_t gToolBarStyleSwitch;

namespace {

constexpr char kAskTitle[] = "Form Load Object Creation Error";
constexpr char kAskFormat[] = "Unable to Create: %s\r\nIgnore Error?";
constexpr int32_t kCreatorFailLow = -100;   // creator results -100..0 are failures
constexpr uint32_t kCrDisabledBit = 0x2;    // creation flag bit 1 of the window row
constexpr uint32_t kWinFlagDisabled = 0x2000;

// How a kind is created: through the object type's registered creator, or a
// creator of its own (sub-objects, the kinds the client does not make).
enum CreateWay : uint8_t { kByType, kBySubMenuItem, kBySubStatusPanel, kBySubToolButton, kNotSupported };
struct KindCreator {
    uint8_t kind;
    uint32_t type;
    CreateWay way;
};
const KindCreator kKindCreators[] = {
    {kKindButton, kTypeButton, kByType},          {kKindCheckBox, kTypeCheckbox, kByType},
    {kKindDataList, kTypeDatalist, kByType},      {kKindEditText, kTypeEdittext, kByType},
    {kKindIcon, kTypeIcon, kByType},              {kKindMenu, kTypeMenu, kByType},
    {kKindMRegion, kTypeMRegion, kByType},        {kKindPict, kTypePict, kByType},
    {kKindComboBox, kTypeCombobox, kByType},      {kKindRadio, kTypeRadio, kByType},
    {kKindStatText, kTypeStattext, kByType},      {kKindSubMenu, kTypeSubmenu, kByType},
    {kKindTimer, kTypeTimer, kByType},            {kKindGroupBox, kTypeGroupbox, kByType},
    {kKindProgress, kTypeProgress, kByType},      {kKindHScrollBar, kTypeHscrollbar, kByType},
    {kKindVScrollBar, kTypeVscrollbar, kByType},  {kKindFloatMenu, kTypeFloatmenu, kByType},
    {kKindShape, kTypeShape, kByType},            {kKindTabControl, kTypeTabcontrol, kByType},
    {kKindSlider, kTypeSlider, kByType},          {kKindLine, kTypeLine, kByType},
    {kKindContainer, kTypeContainer, kByType},    {kKindControl, kTypeControl, kByType},
    {kKindAutomation, kTypeAutomation, kByType},  {kKindImageList, kTypeImagelist, kByType},
    {kKindListView, kTypeListview, kByType},      {kKindTreeView, kTypeTreeview, kByType},
    {kKindStatusBar, kTypeStatusbar, kByType},    {kKindStatusPanel, 0, kBySubStatusPanel},
    {kKindToolBar, kTypeToolbar, kByType},        {kKindToolButton, 0, kBySubToolButton},
    {kKindSplitter, kTypeSplitter, kByType},      {kKindPanel, kTypePanel, kByType},
    {kKindEditNumber, kTypeEditNumber, kByType},  {kKindEditDateTime, kTypeEditDateTime, kByType},
    {kKindLabelText, kTypeLabelText, kByType},    {kKindAnimate, kTypeAnimate, kByType},
    {kKindMenuItem, 0, kBySubMenuItem},           {kKindRichEditText, kTypeRichEditText, kByType},
    {kKindNetObject, kTypeNetObject, kNotSupported}, {kKindNetControl, kTypeNetControl, kNotSupported},
    {kKindHtmlControl, kTypeHTMLControl, kByType},
};

const KindCreator* CreatorOf(uint8_t kind) {
    for (const KindCreator& c : kKindCreators)
        if (c.kind == kind) return &c;
    return nullptr;
}

void SetError(FormFileContext* ctx, const char* text) {
    ctx->flags |= kFcError;
    snprintf(ctx->errorText, sizeof ctx->errorText, "%s", text);
}

// The owners that sub-object rows go into: the last of each made by this load.
struct LastOwners {
    ObjectRecord* statusBar;
    ObjectRecord* toolBar;
    ObjectRecord* menu;
    bool ignored[3];            // the last owner row of each was ignored after a failure
};

int OwnerSlot(uint8_t kind) {
    switch (kind) {
    case kKindStatusBar: case kKindStatusPanel: return 0;
    case kKindToolBar: case kKindToolButton: return 1;
    case kKindMenu: case kKindSubMenu: case kKindFloatMenu: case kKindMenuItem: return 2;
    default: return -1;
    }
}

void NoteOwner(LastOwners* owners, ObjectRecord* rec) {
    int slot = OwnerSlot(rec->kind);
    if (slot >= 0 && !QofKindIsSubObject(rec->kind)) owners->ignored[slot] = false;
    switch (rec->kind) {
    case kKindStatusBar: owners->statusBar = rec; break;
    case kKindToolBar: owners->toolBar = rec; break;
    case kKindMenu: case kKindSubMenu: case kKindFloatMenu: owners->menu = rec; break;
    default: break;
    }
}

// Sub-objects go into the last owner of their kind made by this load; with
// none the row is refused rather than handed to a creator with no owner.
bool OwnerPresent(const LastOwners& owners, uint8_t kind) {
    switch (kind) {
    case kKindStatusPanel: return owners.statusBar && ObjectIsLive(owners.statusBar);
    case kKindToolButton: return owners.toolBar && ObjectIsLive(owners.toolBar);
    case kKindMenuItem: return owners.menu && ObjectIsLive(owners.menu);
    default: return true;
    }
}

ObjectRecord* CallCreator(const KindCreator& c, ObjectCreateRecord* cr, int32_t* code) {
    *code = 0;
    ObjectCreatorFn fn = nullptr;
    switch (c.way) {
    case kByType: return ObjectCreate(c.type, cr, code);
    case kBySubMenuItem: fn = MenuItemCreate; break;
    case kBySubStatusPanel: fn = gFormCreatorHooks.statusPanelCreate; break;
    case kBySubToolButton: fn = gFormCreatorHooks.toolButtonCreate; break;
    case kNotSupported: break;
    }
    ObjectRecord* rec = (fn ? fn : CreateNotSupported)(c.type, cr, code);
    if (!rec && *code >= 0) *code = kOpNoObject;
    return rec;
}

// A table index of the stream as the record it names: 0 none, else the entry.
ObjectRecord* EntryObject(const FormFileContext* ctx, uint32_t index) {
    return index > 0 && index < ctx->entryCount ? ctx->entries[index].object : nullptr;
}

void ResolveIndexes(FormFileContext* ctx, ObjectCreateRecord* cr) {
    ObjectRecord* parent = EntryObject(ctx, cr->window);
    if (!parent) parent = ctx->window;
    cr->windowRec = parent;
    cr->window = parent->handle;
    for (uint16_t id : kQofIndexProps) {
        if (!cr->given[id]) continue;
        ObjectRecord* rec = EntryObject(ctx, static_cast<uint32_t>(cr->values[id]));
        cr->values[id] = rec ? static_cast<int32_t>(rec->handle) : 0;
    }
}

void CopyRowName(ObjectCreateRecord* cr, const QofRow& row) {
    if (cr->name.text && cr->name.length) return;
    cr->name.text = row.name;
    cr->name.length = static_cast<uint32_t>(strlen(row.name));
}

// The form's window in the asking window's mode: a web window is made in the
// web view of the asking one's host, so that the form's objects are made in
// that page; otherwise a native window of the asking one's web mode. The two
// records are exchanged after the load, which needs them of one layout.
ObjectRecord* MakeWindowLike(ObjectRecord* asking, ObjectCreateRecord* cr, int32_t* code) {
    if (!asking || !ObjectIsWebView(asking)) {
        // A native window that hosts a page gives the form's window a page
        // host of its own, in which the form's objects are made; after the
        // exchange the asking window shows that page and the old one closes
        // with the old record.
        NativeWindowRecord* n = asking ? NativeWindowOf(asking) : nullptr;
        if (n) cr->webMode = static_cast<int32_t>(n->webMode);
        ObjectRecord* win = WindowObjectCreate(nullptr, cr, code);
        if (win && asking && win->recordSize != asking->recordSize) {
            ObjectDestroy(win);
            return nullptr;
        }
        return win;
    }
    ObjectRecord* host = WebWin(asking)->hostRecord;
    cr->windowRec = host;
    cr->window = host ? host->handle : 0;
    cr->windowResolved = false;
    if (asking->modeFlags & kModeWebObject) cr->webObject = 1;
    ObjectRecord* win = ObjectCreate(kTypeWindow, cr, code);
    if (win && (!ObjectIsWebView(win) || win->kind != kKindWindow || win->recordSize != asking->recordSize)) {
        ObjectDestroy(win);
        return nullptr;
    }
    return win;
}

bool CreateFormWindow(FormFileContext* ctx) {
    const QofRow& row = ctx->file.rows[0];
    ObjectCreateRecord* cr = &gObjectCreateRecord;
    snprintf(ctx->entries[0].name, kQofNameSize, "%s", row.name);
    if (!DecodeFormCrStream(QofRowStream(&ctx->file, 0), row.streamSize, ctx->version, 1, cr)) {
        SetError(ctx, kQofErrDecodeForm);
        return false;
    }
    bool disabled = (cr->flags0 & kCrDisabledBit) != 0;
    bool visible = (cr->flags0 & kCrVisible) != 0;
    cr->flags0 &= ~(kCrDisabledBit | kCrVisible);
    CopyRowName(cr, row);
    int32_t* targets[kOvCount] = {&cr->inTaskbar, &cr->mdiScroll, &cr->winType, &cr->winBorder};
    for (uint32_t i = 0; i < kOvCount; ++i)
        if (ctx->overrides[i]) *targets[i] = static_cast<int32_t>(ctx->overrides[i] - 1);
    // The loaded window is not the server's object: its identity comes from
    // the asking Window, so it reports no Ovar of its own.
    cr->ovar = 0;
    int32_t code = 0;
    ObjectRecord* win = MakeWindowLike(gFormLoadAskingWindow, cr, &code);
    if (!win) {
        SetError(ctx, kQofErrCreateForm);
        return false;
    }
    if (disabled) win->flags |= kWinFlagDisabled;
    if (!visible) win->flags |= kObjHidden;
    ctx->windowHidden = !visible;
    ctx->window = win;
    ctx->entries[0].object = win;
    ctx->entryCount = 1;
    return true;
}

bool CreateRowObject(FormFileContext* ctx, uint32_t i, LastOwners* owners) {
    const QofRow& row = ctx->file.rows[i];
    ObjectCreateRecord* cr = &gObjectCreateRecord;
    bool sub = QofKindIsSubObject(row.kind);
    gCreatingKind = row.kind;
    if (!sub) snprintf(ctx->entries[ctx->entryCount].name, kQofNameSize, "%s", row.name);
    if (!DecodeFormCrStream(QofRowStream(&ctx->file, i), row.streamSize, ctx->version, 1, cr)) {
        SetError(ctx, kQofErrDecodeObject);
        return false;
    }
    const KindCreator* creator = CreatorOf(row.kind);
    int slot = OwnerSlot(row.kind);
    // The sub-objects of an owner that was ignored go with it.
    if (sub && slot >= 0 && owners->ignored[slot]) return true;
    if (!creator || !OwnerPresent(*owners, row.kind)) {
        SetError(ctx, kQofErrObjectType);
        return false;
    }
    ResolveIndexes(ctx, cr);
    // A panel or button goes into the bar of its kind this load made last,
    // of either mode (the web view's bars are not the native creators' last).
    if (row.kind == kKindStatusPanel) cr->windowRec = owners->statusBar;
    if (row.kind == kKindToolButton) cr->windowRec = owners->toolBar;
    // Containers and Controls load their objects from the form's OLE area:
    // the region is handed as a memory block of its own (base 0).
    static OleStoreInfo oleStore;
    if ((row.kind == kKindContainer || row.kind == kKindControl) && gFormOleStorage.size && gFormOleStorage.file) {
        oleStore = OleStoreInfo{nullptr, gFormOleStorage.file + gFormOleStorage.offset, 0, gFormOleStorage.size, 0};
        cr->oleStore = &oleStore;
    }
    if (row.kind == kKindToolBar && ctx->file.h.writerBuild == 0 && !gToolBarStyleSwitch) {
        cr->values[kPidShowTips] = 1;
        cr->given[kPidShowTips] = 1;
    }
    cr->ovar = 0;
    CopyRowName(cr, row);
    bool visible = (cr->flags0 & kCrVisible) != 0;
    bool noLoad = (cr->flags1 & kCr1NoLoad) != 0;
    gCreatingFromForm = 1;
    gCreatingFromFormSub = 1;
    int32_t code = 0;
    ObjectRecord* rec = CallCreator(*creator, cr, &code);
    gCreatingFromForm = 0;
    gCreatingFromFormSub = 0;
    if (!rec || (code >= kCreatorFailLow && code < 0)) {
        if (!(ctx->flags & kFcAskIgnore) || !FormAskIgnoreError(row.name)) {
            char text[kFormErrTextSize + 1];
            snprintf(text, sizeof text, kAskFormat, row.name);
            SetError(ctx, text);
            return false;
        }
        // Ignored: the entry stays, without object, so that the descriptors'
        // object indexes keep naming the right rows.
        if (!sub) ctx->entries[ctx->entryCount++].object = nullptr;
        if (!sub && slot >= 0) owners->ignored[slot] = true;
        return true;
    }
    NoteOwner(owners, rec);
    if (sub) return true;
    ctx->entries[ctx->entryCount++].object = rec;
    if (noLoad) rec->flags |= kObjFromFormNoLoad;
    if (!visible) rec->flags |= kObjHidden;
    return true;
}

HANDLE CodeFileOf(const FormFileContext* ctx) { return static_cast<HANDLE>(ctx->codeFile); }

bool WriteCodeFile(FormFileContext* ctx, const char* text, uint32_t length) {
    DWORD written = 0;
    return WriteFile(CodeFileOf(ctx), text, length, &written, nullptr) && written == length;
}

// The events the entry's object offers in forms (the writer's list).
bool BuildEntryEvents(FormEntry* e) {
    if (e->events || !e->object) return e->events != nullptr;
    return FormBuildEventList(e->object->kind, e->object, &e->events, &e->eventCount, &e->ownEventNames);
}

void FreeEntryEvents(FormFileContext* ctx) {
    for (uint32_t i = 0; i < ctx->entryCount; ++i) {
        FormEntry& e = ctx->entries[i];
        for (uint32_t k = 0; k < e.eventCount && e.events; ++k) GuardedFree(e.events[k].code);
        GuardedFree(e.events);
        e.events = nullptr;
        e.eventCount = 0;
    }
}

bool ReadDescriptorCode(FormFileContext* ctx, const QofDesc& d) {
    // Object indexes count the rows that take an entry; one outside them, or
    // an event the kind does not offer, fails the step.
    if (d.objectIndex >= ctx->entryCount) return false;
    FormEntry& e = ctx->entries[d.objectIndex];
    if (!BuildEntryEvents(&e)) return false;
    FormEventItem* item = nullptr;
    for (uint32_t k = 0; k < e.eventCount && !item; ++k)
        if (e.events[k].eventId == d.eventId) item = &e.events[k];
    if (!item) return false;
    const char* text;
    uint32_t length;
    if (d.codeLength) {
        if (!QofDescCode(&ctx->file, &d, &text, &length)) return false;
        char* code = static_cast<char*>(GuardedAlloc(static_cast<size_t>(length) + 1));
        if (!code) return false;
        uint32_t n = FormCodeUnexpand(text, length, e.name, code);
        code[n] = 0;
        GuardedFree(item->code);
        item->code = code;
        item->codeLength = n;
        return true;
    }
    if (!QofLabelAt(&ctx->file, d.labelOff, &text, &length)) return false;
    char* call = static_cast<char*>(GuardedAlloc(static_cast<size_t>(length) + 7));
    if (!call) return false;
    int n = snprintf(call, length + 7, "\tCALL\t%.*s", static_cast<int>(length), text);
    GuardedFree(item->code);
    item->code = call;
    item->codeLength = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

bool FormAskIgnoreError(const char* name) {
    char text[kFormErrTextSize + kQofNameSize];
    snprintf(text, sizeof text, kAskFormat, name);
    HWND owner = DialogOwnerWindow(nullptr);
    return MessageBoxA(owner, text, kAskTitle, MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING) == IDYES;
}

// A menu bar made during the load takes its room from the window's client
// area; the window is laid out again around the client area its file gives,
// so that a form saved and loaded again keeps its size and place.
static void KeepClientArea(ObjectRecord* win) {
    if (!win || !win->hwnd || !GetMenu(win->hwnd)) return;
    const ObjectOps* ops = ObjectOpsOf(win);
    if (!ops || !ops->setProp) return;
    PropChange req = {};
    req.id = kPidHeight;
    req.value = win->bottom - win->top;
    ops->setProp(win, &req);
}

bool FormFileCreateObjs(FormFileContext* ctx, FormOleStorage* ole) {
    gFormOleStorage = *ole;
    bool ok = CreateFormWindow(ctx);
    LastOwners owners = {};
    for (uint32_t i = 1; ok && i < ctx->file.h.objCount; ++i) ok = CreateRowObject(ctx, i, &owners);
    if (ok) KeepClientArea(ctx->window);
    if (ctx->window && gFormCreatorHooks.oleReleaseStorage) gFormCreatorHooks.oleReleaseStorage(ctx->window);
    gCreatingKind = 0;
    gFormOleStorage = FormOleStorage();
    return ok;
}

bool FormFileReadCode(FormFileContext* ctx) {
    const QofHeader& h = ctx->file.h;
    if ((ctx->flags & kFcCodeFileOpen) && h.codeSize) {
        const char* text;
        uint32_t length;
        if (!QofCodeOutputText(&ctx->file, &text, &length) || !WriteCodeFile(ctx, text, length)) return false;
    }
    for (uint32_t i = 0; i < h.descCount; ++i) {
        QofDesc d;
        if (!QofReadDesc(&ctx->file, i, &d) || !ReadDescriptorCode(ctx, d)) return false;
    }
    return true;
}

bool FormFileRead(FormFileContext* ctx) {
    static ObjectCreateRecord scratch;
    const char* err = nullptr;
    if (!QofReadForLoad(&ctx->file, &ctx->resources, &scratch, &err)) {
        SetError(ctx, err);
        return false;
    }
    ctx->version = ctx->file.h.version;
    if (ctx->file.oldFormat) ctx->flags |= kFcOldVersion;
    if (ctx->file.h.flags & kQofFlagNetObjects) ctx->flags |= kFcNetObjects;
    snprintf(ctx->formName, sizeof ctx->formName, "%s", ctx->file.h.formName);
    // The form stream is worked from the shared stream buffer.
    uint8_t* buf = FormStreamBufReserve(ctx->file.h.streamSize ? ctx->file.h.streamSize : 1);
    if (!buf) {
        SetError(ctx, kQofErrMemory);
        return false;
    }
    if (ctx->file.h.streamSize) memcpy(buf, ctx->file.stream, ctx->file.h.streamSize);
    ctx->file.stream = buf;
    FormOleStorage ole = {ctx->file.data, 0, ctx->file.h.oleOff, ctx->file.h.oleSize};
    bool modeBit = (gGuiModeFlags & kGuiModeKeepFlagged) != 0;
    if (modeBit) gGuiModeFlags |= kGuiModeFormCreating;
    gFormLoadCreating = true;
    bool ok = FormFileCreateObjs(ctx, &ole);
    gFormLoadCreating = false;
    if (modeBit) gGuiModeFlags &= ~kGuiModeFormCreating;
    if (!ok) return false;
    if (ctx->file.h.descCount && !(ctx->flags & kFcNoXml) && !FormFileReadCode(ctx)) {
        FreeEntryEvents(ctx);
        ctx->flags |= kFcCodeNotLoaded;
        snprintf(ctx->errorText, sizeof ctx->errorText, "%s", kQofErrUserCode);
        ctx->errorCode = 0;
    }
    return true;
}

// ---- The record exchange ---------------------------------------------------------------

static void RepointWindowHandles(ObjectRecord* rec) {
    if (rec->hwnd) SetWindowLongPtrA(rec->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(rec));
}

// What stays with each record through the exchange: its place in the sibling
// and window lists, its handle, its Ovar and its event registrations.
struct RecordIdentity {
    ObjectRecord* next;
    uint32_t ovar, handle, recordSize;
    EventReg* events;
    uint32_t eventMask[2];
    NativeWindowRecord* nextWindow;   // native windows' list
};

static RecordIdentity IdentityOf(ObjectRecord* rec) {
    NativeWindowRecord* n = ObjectIsWebView(rec) ? nullptr : NativeWindowOf(rec);
    return RecordIdentity{rec->next,          rec->ovar,   rec->handle, rec->recordSize, rec->events,
                          {rec->eventMask[0], rec->eventMask[1]},      n ? n->nextWindow : nullptr};
}

static void PutIdentity(ObjectRecord* rec, const RecordIdentity& id) {
    rec->next = id.next;
    rec->ovar = id.ovar;
    rec->handle = id.handle;
    rec->recordSize = id.recordSize;
    rec->events = id.events;
    rec->eventMask[0] = id.eventMask[0];
    rec->eventMask[1] = id.eventMask[1];
    if (NativeWindowRecord* n = ObjectIsWebView(rec) ? nullptr : NativeWindowOf(rec)) n->nextWindow = id.nextWindow;
}

// The asking Window object takes the loaded window's whole record; the new
// record takes the old, empty one. Each keeps its identity (above), so the
// server's object now is the form and keeps what the server registered on it
// (a $LOAD registered before the load is posted when the load ends). Both
// records are of one layout, native or web; a web window's page element
// follows its content. Nothing names the loaded record afterwards: it is
// destroyed next.
static bool ExchangeWindowRecords(ObjectRecord* asking, ObjectRecord* loaded) {
    uint32_t size = asking->recordSize;
    if (size != loaded->recordSize || size < sizeof(WindowRecord)) return false;
    auto* keep = static_cast<uint8_t*>(GuardedAlloc(size));
    if (!keep) return false;
    RecordIdentity idA = IdentityOf(asking), idB = IdentityOf(loaded);
    memcpy(keep, asking, size);
    memcpy(static_cast<void*>(asking), loaded, size);
    memcpy(static_cast<void*>(loaded), keep, size);
    GuardedFree(keep);
    PutIdentity(asking, idA);
    PutIdentity(loaded, idB);
    RepointWindowHandles(asking);
    RepointWindowHandles(loaded);
    for (ObjectRecord* c = asking->children; c; c = c->next)
        if (c->parent == loaded) c->parent = asking;
    // Objects in no child list (regions, sub-objects) name their window too:
    // left as they are, they would name the old record, which is destroyed next.
    for (uint32_t i = 0, n = ObjectLiveCount(); i < n; ++i) {
        ObjectRecord* rec = ObjectLiveAt(i);
        if (rec && rec != asking && rec != loaded && rec->parent == loaded) rec->parent = asking;
    }
    for (ObjectRecord* m = ObjectAsWindow(asking)->menus; m; m = m->next) {
        // A FloatMenu owned by a Panel keeps its owner.
        if (m->kind == kKindFloatMenu && m->parent && m->parent->kind == kKindPanel) continue;
        m->parent = asking;
    }
    // The web view's own pointers to the window (its host's owner and its
    // windows' host records, its current windows) follow the content.
    if (gFormCreatorHooks.webWindowMoved) gFormCreatorHooks.webWindowMoved(loaded, asking);
    // The old window's children and menus (there are none: the window was
    // empty) stay with the old record.
    return true;
}

static bool FinishLoad(FormFileContext* ctx, ObjectRecord* asking, uint32_t options) {
    WindowRecord* loaded = ObjectAsWindow(ctx->window);
    if (!(options & kFormOptNoResources)) {
        loaded->resources = ctx->resources;
        ctx->resources = nullptr;
    }
    // Docked objects made by the load asked for a layout of the loaded record,
    // which the exchange destroys with its place in the layouts waiting: they
    // are laid out in it now, whose window the asking record takes over.
    WindowLayoutsFlush();
    if (!ExchangeWindowRecords(asking, ctx->window)) return false;
    if (gFormCreatorHooks.oleWindowMoved) gFormCreatorHooks.oleWindowMoved(ctx->window, asking);
    ObjectRecord* old = ctx->window;
    ctx->window = nullptr;
    bool suppress = gDestSuppress;
    gDestSuppress = true;
    ObjectDestroy(old);
    gDestSuppress = suppress;
    WindowRecord* w = ObjectAsWindow(asking);
    // The window keeps the name of its row, so that a save names it again.
    if (!asking->name && ctx->entries[0].name[0])
        ReplaceStrField(ctx->entries[0].name, static_cast<long>(strlen(ctx->entries[0].name)), &asking->name);
    if (ctx->formName[0]) {
        if (w->formName) LocalFreeMem(w->formName);
        w->formName = static_cast<char*>(LocalAllocZero(strlen(ctx->formName) + 1));
        if (w->formName) strcpy(w->formName, ctx->formName);
    }
    if (gFormCreatorHooks.htmlRebuildAll && asking->children) {
        // Loading a page pumps messages; the window may be gone afterwards.
        ObjectRef ref = ObjectRefOf(asking);
        gFormCreatorHooks.htmlRebuildAll(asking->children, false);
        if (!ObjectRefAlive(ref)) return true;
    }
    if (ctx->windowHidden) return true;
    if (options & kFormOptNoShow) {
        asking->flags |= kObjShown;
        asking->flags &= ~kObjHidden;
        return true;
    }
    asking->flags &= ~kObjShown;
    ObjectActivate(asking, 0, 0, 0, 0);
    return true;
}

static void AbandonLoad(FormFileContext* ctx) {
    FormResChainFree(ctx->resources);
    ctx->resources = nullptr;
    if (ctx->window) {
        bool suppress = gDestSuppress;
        gDestSuppress = true;
        ObjectDestroy(ctx->window);
        gDestSuppress = suppress;
        ctx->window = nullptr;
    }
}

// No children, no menus, and no windows of the web view in the page it hosts
// (they would be left in a closed page when the old record goes).
static bool WindowIsEmpty(ObjectRecord* window) {
    WindowRecord* w = ObjectAsWindow(window);
    if (!w || window->children || w->menus) return false;
    return !w->webHost || ObjectIsWebView(window) || !gFormCreatorHooks.hostsWebWindows ||
           !gFormCreatorHooks.hostsWebWindows(window);
}

bool FormNameIsClientPath(const char* name) { return name && name[0] == kClientPathMark; }

// The form file's bytes from a client path ('!' and the path). A name of a
// server file is refused before anything is fetched: forms load only from
// files the client can open.
static int32_t FetchFormFile(const char* fileName, uint8_t** data, uint32_t* size) {
    if (!FormNameIsClientPath(fileName)) return kFormServerName;
    int rc = CacheFetch(fileName, kFetchFile, data, size);
    return rc == 0 && *data ? 0 : kFormCantOpen;
}

// A code output prepared for the server has a temporary local file already;
// a load that stops before using it removes it.
static int32_t DropCodeOutput(SrvFileRec* codeRec, int32_t result) {
    if (codeRec->temporary) DeleteFileA(codeRec->localPath);
    return result;
}

static void CloseCodeFile(FormFileContext* ctx, SrvFileRec* codeRec, bool ok) {
    if (!(ctx->flags & kFcCodeFileOpen)) return;
    CloseHandle(CodeFileOf(ctx));
    ctx->flags &= ~kFcCodeFileOpen;
    if (!ok) {
        DeleteFileA(codeRec->localPath);
        return;
    }
    PutSrvFile(codeRec);
}

int32_t FormLoadQof(ObjectRecord* window, const char* fileName, const char* xmlOutput, const char* codeOutput,
                    uint32_t options, const uint32_t overrides[kOvCount], char* errorText) {
    // The record exchange needs a Window record, native or of the web view.
    if (!NativeWindowOf(window) && !(ObjectIsWebView(window) && window->kind == kKindWindow)) return kFormReadFailed;
    if (!WindowIsEmpty(window)) return kFormWindowNotEmpty;
    // One load at a time: the load in progress is process-wide state, and the
    // ask box pumps messages, so a second request could arrive meanwhile.
    if (gFormLoadInProgress) return kFormReadFailed;
    if (!fileName || !fileName[0]) return kFormNameUnresolved;
    SrvFileRec codeRec = {};
    if (codeOutput && PrepSrvFileWrite(codeOutput, &codeRec) != 0) return kFormCodeNamePrep;
    auto* ctx = static_cast<FormFileContext*>(GuardedAlloc(sizeof(FormFileContext)));
    if (!ctx) return DropCodeOutput(&codeRec, kFormNoContextMemory);
    memset(ctx, 0, sizeof *ctx);
    if (!FormStreamBufReserve(1)) {
        GuardedFree(ctx);
        return DropCodeOutput(&codeRec, kFormNoStreamMemory);
    }
    uint8_t* data = nullptr;
    uint32_t size = 0;
    int32_t fetched = FetchFormFile(fileName, &data, &size);
    if (fetched != 0) {
        GuardedFree(ctx);
        return DropCodeOutput(&codeRec, fetched);
    }
    ctx->file.data = data;
    ctx->file.size = size;
    if (options & kFormOptAskIgnore) ctx->flags |= kFcAskIgnore;
    if (options & kFormOptCallErrors) ctx->flags |= kFcCallErrors;
    if (codeOutput) {
        HANDLE h = CreateFileA(codeRec.localPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            CacheFreeData(data);
            GuardedFree(ctx);
            return DropCodeOutput(&codeRec, kFormCodeFileCreate);
        }
        ctx->codeFile = h;
        ctx->flags |= kFcCodeFileOpen;
    }
    if (!xmlOutput) ctx->flags |= kFcNoXml;

    gFormLoadInProgress = true;
    gFormLoadContext = ctx;
    for (uint32_t i = 0; i < kOvCount; ++i) ctx->overrides[i] = overrides ? overrides[i] : 0;
    gFormLoadAskingWindow = window;
    bool ok = FormFileRead(ctx);
    int32_t result = ok ? 0 : kFormReadFailed;
    if (!ok && errorText) snprintf(errorText, kFormErrTextSize + 1, "%s", ctx->errorText);
    CloseCodeFile(ctx, &codeRec, ok);
    gFormLoadInProgress = false;
    gFormLoadContext = nullptr;
    gFormLoadAskingWindow = nullptr;

    if (ok && xmlOutput) {
        result = FormLoadWriteXml(ctx, xmlOutput);
        if (result != 0) {
            snprintf(ctx->errorText, sizeof ctx->errorText, "Unable To Write XML Form File");
            if (errorText) snprintf(errorText, kFormErrTextSize + 1, "%s", ctx->errorText);
            ok = false;
        }
    }
    FreeEntryEvents(ctx);
    if (ok && !FinishLoad(ctx, window, options)) {
        snprintf(ctx->errorText, sizeof ctx->errorText, "%s", kQofErrMemory);
        if (errorText) snprintf(errorText, kFormErrTextSize + 1, "%s", ctx->errorText);
        result = kFormReadFailed;
        ok = false;
    }
    if (!ok) AbandonLoad(ctx);
    uint32_t version = ctx->file.headerRead ? ctx->file.h.version : 0;
    snprintf(gFormLastError, sizeof gFormLastError, "%s", ok ? "" : ctx->errorText);
    QofFileFree(&ctx->file);
    CacheFreeData(data);
    GuardedFree(ctx);
    return result + static_cast<int32_t>(version * 65536u);
}

// ---- Resources -------------------------------------------------------------------------------

bool FormResGetData(ObjectRecord* window, uint16_t kind, uint32_t number, const char* name, uint8_t** data,
                    uint32_t* size, uint16_t* flags) {
    *data = nullptr;
    *size = 0;
    const FormResource* chain = nullptr;
    if (gFormLoadInProgress && gFormLoadContext) {
        chain = gFormLoadContext->resources;
    } else if (WindowRecord* w = window ? ObjectAsWindow(ObjectTopWindow(window)) : nullptr) {
        chain = w->resources;
    }
    const FormResource* res = FormResFind(chain, kind, number, name);
    if (!res) return false;
    if (flags) *flags = res->flags;
    // A copy that can't be had is no data: the callers would take a null
    // block for image bytes.
    auto* copy = static_cast<uint8_t*>(LocalAllocZero(res->size ? res->size : 1));
    if (!copy) return false;
    memcpy(copy, res->data, res->size);
    *data = copy;
    *size = res->size;
    return true;
}

void FormWindowFree(ObjectRecord* window) {
    WindowRecord* w = ObjectAsWindow(window);
    if (!w) return;
    FormResChainFree(w->resources);
    w->resources = nullptr;
    if (w->formName) LocalFreeMem(w->formName);
    w->formName = nullptr;
}

// ---- Header queries -------------------------------------------------------------------------------

static int32_t QueryHeader(const char* fileName, uint32_t selector, bool flagsQuery) {
    if (!FormNameIsClientPath(fileName)) return -1;
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (CacheFetch(fileName, kFetchFile, &data, &size) != 0 || !data) return -1;
    int32_t v = flagsQuery ? QofHeaderFlags(data, size) : QofHeaderInfo(data, size, selector);
    CacheFreeData(data);
    return v;
}

int32_t FormFileGetFlags(ObjectRecord*, const char* fileName) { return QueryHeader(fileName, 0, true); }

int32_t FormFileGetInfo(ObjectRecord*, const char* fileName, uint32_t selector) {
    return QueryHeader(fileName, selector, false);
}
