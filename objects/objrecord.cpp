// objrecord.cpp - object records: allocation, the registry of live records that
// turns the server's handles into records, the common header filled from the
// creation record, parent child lists, and the shared state of the object model.
#include "objects/objrecord.h"

#include <cctype>
#include <cstring>

#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/objhooks.h"
#include "session/util/handles.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

char gTextBuf[kTextBufSize + 1];
uint32_t gGuiModeFlags;
uint8_t gCreatingFromForm;
uint8_t gCreatingFromFormSub;
uint8_t gCreatingKind;
bool gFormLoadCreating;
bool gDestSuppress;
ObjectRecord* gMainWindowObj;

// Reads a Color object's value: the first u32 after the header.
uint32_t ColorObjectValue(const ObjectRecord* color) {
    uint32_t v;
    memcpy(&v, reinterpret_cast<const uint8_t*>(color) + sizeof(ObjectRecord), sizeof v);
    return v;
}

namespace {

bool IsWindowKind(uint8_t kind) { return kind == kKindWindow || kind == kKindDialog; }

// A colour from the creation record: a Color object's value, the given value,
// or (-1) the inherited one.
uint32_t ChooseColor(const CrColor& c, uint32_t inherited) {
    if (c.object && ObjectIsLive(c.object) && c.object->kind == kKindColor) return ColorObjectValue(c.object);
    return c.value == -1 ? inherited : static_cast<uint32_t>(c.value);
}

}  // namespace

ObjectRecord* ObjectAllocRecord(uint8_t kind, uint32_t size, bool webView) {
    if (size < sizeof(ObjectRecord)) size = sizeof(ObjectRecord);
    ObjectRecord* rec = static_cast<ObjectRecord*>(LocalAllocZero(size));
    if (!rec) return nullptr;
    rec->kind = kind;
    rec->flags = kObjAlive;
    rec->modeFlags = webView ? static_cast<uint32_t>(kModeWebView) : 0u;
    rec->anchor = 7;
    rec->dock = kDockNone;
    rec->recordSize = size;
    if (IsWindowKind(kind) && size >= sizeof(WindowRecord))
        reinterpret_cast<WindowRecord*>(rec)->nextCtlId = kCtlIdFirst;
    if (!ObjectRegister(rec)) {
        LocalFreeMem(rec);
        return nullptr;
    }
    return rec;
}

void ObjectFreeRecord(ObjectRecord* rec) {
    if (!rec) return;
    ObjectUnregister(rec);
    if (gMainWindowObj == rec) gMainWindowObj = nullptr;
    LocalFreeMem(rec);
}

bool ObjectIsWebView(const ObjectRecord* rec) { return rec && (rec->modeFlags & kModeWebView); }

bool ObjectIsWindowKind(const ObjectRecord* rec) { return rec && IsWindowKind(rec->kind); }

WindowRecord* ObjectAsWindow(ObjectRecord* rec) {
    if (!rec || !IsWindowKind(rec->kind) || rec->recordSize < sizeof(WindowRecord)) return nullptr;
    return reinterpret_cast<WindowRecord*>(rec);
}

// Records live in the client's one handle registry: the server's handles are
// counted numbers, never a record's address.
bool ObjectRegister(ObjectRecord* rec) {
    if (HandleHasRecord(kHandleObject, rec)) return true;
    rec->handle = HandleNew(kHandleObject, rec);
    return rec->handle != 0;
}

// By record, not by rec->handle: the main window answers to its fixed handle
// but is registered under the counted one it was made with.
void ObjectUnregister(ObjectRecord* rec) { HandleRemoveRecord(kHandleObject, rec); }

ObjectRecord* ObjectFromHandle(uint32_t handle) {
    if (handle == kHandleMainWindow) return gMainWindowObj;
    if (handle == 0) return nullptr;
    return static_cast<ObjectRecord*>(HandleLookup(kHandleObject, handle));
}

bool ObjectIsLive(const ObjectRecord* rec) { return HandleHasRecord(kHandleObject, rec); }

ObjectRef ObjectRefOf(ObjectRecord* rec) { return ObjectRef{rec, rec ? rec->handle : 0}; }

bool ObjectRefAlive(const ObjectRef& ref) {
    return ref.rec && ref.handle != 0 && ObjectFromHandle(ref.handle) == ref.rec;
}

uint32_t ObjectLiveCount() { return HandleCount(kHandleObject); }

ObjectRecord* ObjectLiveAt(uint32_t index) { return static_cast<ObjectRecord*>(HandleRecordAt(kHandleObject, index)); }

uint16_t ObjectNextCtlId(ObjectRecord* window) {
    // Children of a panel take their ids from the panel's top window.
    ObjectRecord* top = window ? ObjectTopWindow(window) : nullptr;
    WindowRecord* win = top ? ObjectAsWindow(top) : nullptr;
    if (!win) return 0;
    if (win->nextCtlId < kCtlIdFirst || win->nextCtlId >= kCtlIdLimit) win->nextCtlId = kCtlIdFirst;
    return win->nextCtlId++;
}

ObjectRecord* ObjectResolveParent(const ObjectCreateRecord* cr) {
    if (cr->windowResolved) return cr->windowRec;
    ObjectRecord* parent = cr->windowRec;
    if (!parent && cr->window != 0 && cr->window != kHandleMainWindow) parent = ObjectFromHandle(cr->window);
    return parent ? parent : gMainWindowObj;
}

bool ObjectParentChainOk(const ObjectRecord* rec, const ObjectRecord* parent) {
    const ObjectRecord* p = parent;
    for (int depth = 0; p; ++depth, p = p->parent)
        if (p == rec || depth >= kParentChainMax) return false;
    return true;
}

bool ObjectInitCommon(ObjectRecord* rec, const ObjectCreateRecord* cr, ObjectRecord** parentOut) {
    ObjectRecord* parent = IsWindowKind(rec->kind) ? nullptr : ObjectResolveParent(cr);
    if (parentOut) *parentOut = nullptr;
    if (!ObjectParentChainOk(rec, parent)) return false;
    if (parentOut) *parentOut = parent;
    rec->parent = parent;
    ObjectRecord* top = parent ? ObjectTopWindow(parent) : nullptr;
    rec->ovar = cr->ovar;
    rec->objectId = cr->objectId;
    rec->dropId = cr->dropId;
    rec->helpId = cr->helpId;
    rec->zOrder = cr->zOrder;
    rec->tabId = (KindHasProp(rec->kind, kPidTabId) && cr->tabId >= 0 && cr->tabId <= 65534)
                     ? static_cast<uint16_t>(cr->tabId) : 0;
    rec->fgColor = ChooseColor(cr->fgColor, top ? top->fgColor : 0);
    rec->bdrColor = ChooseColor(cr->bdrColor, top ? top->bdrColor : 0);
    rec->bgColor = ChooseColor(cr->bgColor, top ? top->bgColor : 0xFFFFFF);
    if (cr->flags0 & kCrVisible) rec->flags |= kObjShown;
    if (cr->flags0 & kCrDisabled) rec->flags |= kObjDisabled;
    if (cr->flags1 & kCr1Border) rec->flags |= kObjBorder;
    if (cr->flags1 & kCr1CauseValid) rec->flags |= kObjCauseValid;
    if (cr->destroyGlobal == 0) rec->flags |= kObjNoDestroyGlobal;
    int32_t look = cr->appearance ? cr->appearance : cr->style;
    if (look == 0 && top) look = top->appearance;
    rec->appearance = static_cast<uint8_t>(look);
    if (look == 1 || look == 3 || look == 4) rec->flags |= kObj3D;
    if (cr->rightToLeft == 1 || (cr->rightToLeft == -1 && top && (top->flags & kObjRightToLeft)))
        rec->flags |= kObjRightToLeft;
    rec->dock = static_cast<uint8_t>(cr->dock >= 1 && cr->dock <= 6 ? cr->dock : 3);
    if (rec->dock != 3) rec->flags |= kObjDocked;
    rec->anchor = static_cast<uint8_t>(cr->anchor >= 1 && cr->anchor <= 9 ? cr->anchor : 7);
    rec->osEventMask = cr->osEventMask;
    rec->context = static_cast<uint8_t>(cr->context);
    rec->webPosition = static_cast<uint8_t>(cr->webPosition);
    if (cr->webObject) rec->modeFlags |= kModeWebObject;
    return true;
}

bool ObjectSetRect(ObjectRecord* rec, int32_t top, int32_t height, int32_t left, int32_t width) {
    if (height < 0 || width < 0) return false;
    int64_t bottom = static_cast<int64_t>(top) + height, right = static_cast<int64_t>(left) + width;
    if (bottom > INT32_MAX || right > INT32_MAX) return false;
    rec->top = top;
    rec->left = left;
    rec->bottom = static_cast<int32_t>(bottom);
    rec->right = static_cast<int32_t>(right);
    return true;
}

bool CopyCreateStrings(ObjectRecord* rec, const ObjectCreateRecord* cr) {
    struct Copy {
        const CrText* from;
        char** to;
    };
    const Copy copies[] = {
        {&cr->userData, &rec->userData}, {&cr->runName, &rec->runName},   {&cr->webClass, &rec->webClass},
        {&cr->webHeight, &rec->webHeight}, {&cr->webWidth, &rec->webWidth}, {&cr->webTop, &rec->webTop},
        {&cr->webLeft, &rec->webLeft},   {&cr->toolTip, &rec->toolTip},   {&cr->name, &rec->name},
        {&cr->helpTopic, &rec->helpTopic}, {&cr->theme, &rec->theme},
    };
    bool ok = true;
    for (const Copy& c : copies)
        if (!ReplaceStrField(c.from->text, static_cast<long>(c.from->length), c.to) && c.from->length) ok = false;
    return ok;
}

void ChildListInsert(ObjectRecord* rec, ChildKey key) {
    ObjectRecord* parent = rec->parent;
    rec->next = nullptr;
    if (!rec->hwnd) parent->modeFlags |= kModeWindowlessChild;
    if (!parent->children) {
        parent->children = parent->lastChild = rec;
        return;
    }
    if (key(parent->lastChild) <= key(rec)) {
        parent->lastChild->next = rec;
        parent->lastChild = rec;
        return;
    }
    ObjectRecord** link = &parent->children;
    while (*link && key(*link) <= key(rec)) link = &(*link)->next;
    rec->next = *link;
    *link = rec;
}

bool ChildListRemove(ObjectRecord* rec) {
    ObjectRecord* parent = rec->parent;
    if (!parent) return false;
    // A record in the list has a successor or is its last.
    if (!rec->next && parent->lastChild != rec) return false;
    ObjectRecord* before = nullptr;
    for (ObjectRecord** link = &parent->children; *link; before = *link, link = &(*link)->next) {
        if (*link != rec) continue;
        *link = rec->next;
        if (parent->lastChild == rec) parent->lastChild = before;
        rec->next = nullptr;
        return true;
    }
    return false;
}

void ChildListForget(ObjectRecord* parent) { parent->children = parent->lastChild = nullptr; }

static uint32_t TabOrderKey(const ObjectRecord* rec) { return rec->tabId; }

void LinkObject(ObjectRecord* rec) {
    ObjectRecord* parent = rec->parent;
    if (!parent || !ObjectParentChainOk(rec, parent)) return;
    ChildListRemove(rec);
    ChildListInsert(rec, TabOrderKey);
}

bool UnlinkObject(ObjectRecord* rec) { return ChildListRemove(rec); }

void ObjectFreeCommon(ObjectRecord* rec) {
    RemoveAllEventsForObj(rec);
    if ((rec->modeFlags & kModeWebView) && gWebObjectOps.freeRecord) gWebObjectOps.freeRecord(rec);
    if (rec->font && gObjectHooks.fontRelease) gObjectHooks.fontRelease(rec->font);
    rec->font = nullptr;
    char** texts[] = {&rec->webClass, &rec->runName, &rec->userData, &rec->webTop, &rec->webLeft,
                      &rec->webHeight, &rec->webWidth, &rec->toolTip, &rec->name, &rec->helpTopic,
                      &rec->theme};
    for (char** t : texts) {
        if (*t) LocalFreeMem(*t);
        *t = nullptr;
    }
}

static KindSaveLayoutFn gKindSaveLayout[kObjectKindRows];

void RegisterKindSaveLayout(uint32_t kind, KindSaveLayoutFn fn) {
    if (kind < kObjectKindRows) gKindSaveLayout[kind] = fn;
}

void ObjectSaveLayout(ObjectRecord* rec, uint32_t flags) {
    if (rec->kind < kObjectKindRows && gKindSaveLayout[rec->kind]) gKindSaveLayout[rec->kind](rec);
    rec->layoutRect[0] = rec->left;
    rec->layoutRect[1] = rec->top;
    rec->layoutRect[2] = rec->right;
    rec->layoutRect[3] = rec->bottom;
    if (flags & 2) memcpy(rec->layoutRect2, rec->layoutRect, sizeof rec->layoutRect);
    rec->layoutFlags = (flags & 2) | 1;
}

ObjectRecord* ObjectTopWindow(ObjectRecord* rec) {
    for (int depth = 0; rec && depth <= kParentChainMax; ++depth) {
        if (IsWindowKind(rec->kind) || !rec->parent) return rec;
        rec = rec->parent;
    }
    return nullptr;
}

ObjectRecord* ObjectTopWindowChecked(ObjectRecord* rec) {
    if (!rec || (!rec->parent && !IsWindowKind(rec->kind))) return nullptr;
    ObjectRecord* top = ObjectTopWindow(rec);
    return top && IsWindowKind(top->kind) ? top : nullptr;
}

ObjectRecord* ObjectFindChild(ObjectRecord* container, const char* name) {
    if (!container || !name) return nullptr;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->name) {
            const char* a = c->name;
            const char* b = name;
            while (*a && *b && toupper(static_cast<unsigned char>(*a)) == toupper(static_cast<unsigned char>(*b)))
                ++a, ++b;
            if (!*a && !*b) return c;
        }
        if (ObjectRecord* found = ObjectFindChild(c, name)) return found;
    }
    return nullptr;
}

ObjectRecord* ObjectFindChildByKey(ObjectRecord* container, uint32_t index, const char* name) {
    if (!container) return nullptr;
    uint32_t at = 0;
    for (ObjectRecord* c = container->children; c; c = c->next, ++at) {
        if (!name && at == index) return c;
        if (name && c->name && strcmp(c->name, name) == 0) return c;
    }
    return nullptr;
}
