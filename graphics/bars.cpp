// bars.cpp - the parts the status bar, the tab control and the toolbar share
// (see bars.h): sub-object records by use count, lookup by key and selector,
// object results, bounded texts, units and style bits.
#include "graphics/bars.h"

#include <commctrl.h>

#include <cstring>

#include "objects/events.h"
#include "objects/objwindowed.h"
#include "objects/window.h"
#include "session/session.h"
#include "session/util/mem.h"

BarItemRecord* BarItemAlloc(uint8_t kind, uint32_t size) {
    auto* item = reinterpret_cast<BarItemRecord*>(ObjectAllocRecord(kind, size, false));
    if (!item) return nullptr;
    item->hdr.flags = kObjAlive | kObjPixels;
    item->hdr.useCount = 1;
    return item;
}

BarItemRecord* BarItemFind(BarItemRecord* head, uint32_t index, const char* name, uint32_t* position) {
    uint32_t i = 0;
    for (BarItemRecord* it = head; it; it = it->nextItem, ++i) {
        bool match = name ? (it->hdr.runName && strcmp(it->hdr.runName, name) == 0) : i == index;
        if (!match) continue;
        if (position) *position = i;
        return it;
    }
    return nullptr;
}

static BarItemRecord* FindByCountedName(BarItemRecord* head, const char* text, uint32_t length, uint32_t* position) {
    char* name = BarCopyText(text, length, length);
    if (!name) return nullptr;
    // A name with a NUL inside matches no RunName.
    BarItemRecord* it = strlen(name) == length ? BarItemFind(head, 0, name, position) : nullptr;
    LocalFreeMem(name);
    return it;
}

BarItemRecord* BarItemByArg(BarItemRecord* head, const MethodCallRec* call, uint32_t arg, uint32_t* position) {
    if (!CtlArgGiven(call, arg)) return nullptr;
    const EventItem& a = call->args[arg];
    if (ItemIsText(a.kind)) {
        uint32_t len = 0;
        const char* text = CtlArgText(call, arg, &len);
        return text && len <= kItemNameQueryMax ? FindByCountedName(head, text, len, position) : nullptr;
    }
    int32_t index = CtlArgInt(call, arg, -1);
    return index >= 0 ? BarItemFind(head, static_cast<uint32_t>(index), nullptr, position) : nullptr;
}

BarSelect BarItemBySelector(BarItemRecord* head, const EventItem& sel, uint32_t nameMax, BarItemRecord** out) {
    *out = nullptr;
    if (sel.kind == kItemNone) return kBarSelNone;
    if (ItemIsText(sel.kind)) {
        if (sel.size <= nameMax && sel.data)
            *out = FindByCountedName(head, static_cast<const char*>(sel.data), sel.size, nullptr);
    } else if (sel.kind == kItemInt) {
        int64_t index = static_cast<int64_t>(sel.value);
        if (index >= 0 && index <= UINT32_MAX) *out = BarItemFind(head, static_cast<uint32_t>(index), nullptr, nullptr);
    }
    return *out ? kBarSelItem : kBarSelNoMatch;
}

bool BarItemUnlink(BarItemRecord** head, BarItemRecord* item) {
    for (BarItemRecord** link = head; *link; link = &(*link)->nextItem) {
        if (*link != item) continue;
        *link = item->nextItem;
        item->nextItem = nullptr;
        return true;
    }
    return false;
}

bool BarWantsObject(const MethodCallRec* call) { return call->result.kind == kItemObject; }

int32_t BarReplyItem(BarItemRecord* item, const MethodCallRec* call, uint32_t type) {
    ObjectRecord* rec = &item->hdr;
    // An item the server released before left the registry; it comes back
    // under a new handle.
    if (!ObjectIsLive(rec) && !ObjectRegister(rec)) return CtlReplyInt(0);
    rec->flags |= kObjAlive;
    rec->useCount++;
    rec->ovar = call->result.varRef;
    SetReplyInt(nullptr, static_cast<int32_t>(rec->handle), static_cast<uint8_t>(type));
    return kNoAnswer;
}

void BarItemDrop(BarItemRecord* item, void (*freeTexts)(BarItemRecord* item)) {
    ObjectRecord* rec = &item->hdr;
    if (rec->useCount) rec->useCount--;
    if (freeTexts) freeTexts(item);
    BarFreeText(&rec->runName);
    BarFreeText(&rec->userData);
    BarFreeText(&rec->toolTip);
    item->bar = nullptr;
    item->nextItem = nullptr;
    if (rec->useCount > 0) return;   // the server still holds it: it answers 0 from now on
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
}

int32_t BarItemRelease(ObjectRecord* rec, void (*freeTexts)(BarItemRecord* item)) {
    auto* it = reinterpret_cast<BarItemRecord*>(rec);
    if (it->bar && rec->useCount <= 1) return 0;
    if (rec->useCount <= 1 && freeTexts) freeTexts(it);
    return RecordReleaseUse(rec);
}

char* BarCopyText(const char* text, uint32_t length, uint32_t max) {
    if (length > max) length = max;
    auto* copy = static_cast<char*>(LocalAllocZero(static_cast<size_t>(length) + 1));
    if (copy && length && text) memcpy(copy, text, length);
    return copy;
}

bool BarReplaceText(char** field, const char* text, uint32_t length, uint32_t max) {
    if (!text || length == 0) {
        BarFreeText(field);
        return true;
    }
    char* copy = BarCopyText(text, length, max);
    if (!copy) return false;
    BarFreeText(field);
    *field = copy;
    return true;
}

void BarFreeText(char** field) {
    if (*field) LocalFreeMem(*field);
    *field = nullptr;
}

uint32_t BarTextReply(const char* text, uint32_t max) {
    uint32_t n = text ? static_cast<uint32_t>(strnlen(text, max)) : 0;
    CtlSetTextBuf(text ? text : "", n);
    return 0;
}

int32_t BarToPixels(ObjectRecord* rec, int32_t units, int axis) { return ConvertUnits(rec->parent, units, axis, 1); }

int32_t BarToUnits(ObjectRecord* rec, int32_t pixels, int axis) { return ConvertUnits(rec->parent, pixels, axis, 0); }

void BarStyleBits(HWND wnd, int which, DWORD clear, DWORD set) {
    if (!wnd) return;
    DWORD style = static_cast<DWORD>(GetWindowLongA(wnd, which));
    SetWindowLongA(wnd, which, static_cast<LONG>((style & ~clear) | set));
}

bool BarPostClick(ObjectRecord* rec, uint16_t modifiers, int32_t value) {
    uint32_t ev = kEvClick;
    if (!EventIsRegistered(rec, ev)) ev = kEvOldEvent;
    if (!EventIsRegistered(rec, ev)) return false;
    return PostObjectEvent(rec, ev, kEventKindDefault, modifiers, value);
}

uint32_t BarCreationColor(const CrColor& c, uint32_t def) {
    if (c.object && ObjectIsLive(c.object) && c.object->kind == kKindColor) return ColorObjectValue(c.object);
    return c.value == -1 ? def : static_cast<uint32_t>(c.value);
}

bool BarImageListOf(ObjectRecord* given, int32_t handle, ObjectRecord** out) {
    ObjectRecord* list = given ? given : (handle ? ObjectFromHandle(static_cast<uint32_t>(handle)) : nullptr);
    *out = nullptr;
    if (!list) return handle == 0 || given == nullptr;
    if (list->kind != kKindImageList) return false;
    if (!ObjectIsWebView(list)) *out = list;
    return true;
}

CrText BarArgText(const MethodCallRec* call, uint32_t i) {
    CrText t = {};
    t.text = CtlArgText(call, i, &t.length);
    return t;
}

DWORD BarDockStyle(ObjectCreateRecord* cr, int32_t defaultDock) {
    enum : int32_t { kDockLeft = 2, kDockRight = 4, kDockFirstBad = 7 };
    if (cr->dock == 0 || cr->dock >= kDockFirstBad) cr->dock = defaultDock;
    return cr->dock == kDockLeft || cr->dock == kDockRight ? CCS_VERT : 0;
}
