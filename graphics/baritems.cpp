// baritems.cpp - the bar sub-object records both modes share (see baritems.h):
// lookup by index, name, key and selector, list links, release and texts.
#include "graphics/baritems.h"

#include <cstring>

#include "graphics/barcore.h"
#include "session/util/mem.h"

ObjectRecord* gStatusBarMadeLast;

// The creation answer without memory, as both modes' creators give it.
static constexpr int32_t kNoMemory = -6;

BarItemRecord* BarItemAlloc(uint8_t kind, uint32_t size, bool webView) {
    auto* item = reinterpret_cast<BarItemRecord*>(ObjectAllocRecord(kind, size, webView));
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
    if (!CallArgGiven(call, arg)) return nullptr;
    const EventItem& a = call->args[arg];
    if (ItemIsText(a.kind)) {
        uint32_t len = 0;
        const char* text = CallArgText(call, arg, &len);
        return text && len <= kItemNameQueryMax ? FindByCountedName(head, text, len, position) : nullptr;
    }
    int32_t index = CallArgInt(call, arg, -1);
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

bool BarWantsObject(const MethodCallRec* call) { return call->result.kind == kItemObject; }

bool BarItemHandOut(ObjectRecord* rec, const MethodCallRec* call) {
    if (!ObjectIsLive(rec) && !ObjectRegister(rec)) return false;
    rec->flags |= kObjAlive;
    rec->useCount++;
    rec->ovar = call->result.varRef;
    return true;
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

void BarItemAppend(BarItemRecord** head, BarItemRecord* item) {
    BarItemRecord** link = head;
    while (*link) link = &(*link)->nextItem;
    item->nextItem = nullptr;
    *link = item;
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
    if (rec->useCount > 1) {
        rec->useCount--;   // still held by its bar or by the server
        return 0;
    }
    if (freeTexts) freeTexts(it);
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
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

// ---- Status panels ----------------------------------------------------------------------------

enum AddPanelArg : uint32_t {
    kApWidth, kApAutoSize, kApBdrStyle, kApMinWidth, kApText, kApRunName, kApToolTip, kApUserData,
};

static CrText ArgText(const MethodCallRec* call, uint32_t i) {
    CrText t = {};
    t.text = CallArgText(call, i, &t.length);
    return t;
}

void StatusPanelSpecFromCreate(const ObjectCreateRecord* cr, PanelSpec* s) {
    *s = PanelSpec();
    s->width = CreateRecordValue(cr, kPidWidth, 0);
    s->minWidth = CreateRecordValue(cr, kPidMinWidth, 0);
    s->autoSize = CreateRecordValue(cr, kPidAutoSize, 0);
    s->bdrStyle = CreateRecordValue(cr, kPidBdrStyle, CreateRecordValue(cr, kPidBdrStyle2, 0));
    s->text = cr->text;
    s->runName = cr->runName;
    s->toolTip = cr->toolTip;
    s->userData = cr->userData;
}

void StatusPanelSpecFromCall(const MethodCallRec* call, PanelSpec* s) {
    *s = PanelSpec();
    s->width = CallArgInt(call, kApWidth, 0);
    s->autoSize = CallArgInt(call, kApAutoSize, 0);
    s->bdrStyle = CallArgInt(call, kApBdrStyle, 0);
    s->minWidth = CallArgInt(call, kApMinWidth, kAddPanelMinWidth);
    s->text = ArgText(call, kApText);
    s->runName = ArgText(call, kApRunName);
    s->toolTip = ArgText(call, kApToolTip);
    s->userData = ArgText(call, kApUserData);
}

static uint8_t InRange(int32_t v, uint8_t def) { return v >= 1 && v <= 3 ? static_cast<uint8_t>(v) : def; }

bool StatusPanelFill(StatusPanelRecord* p, const PanelSpec& s, uint32_t number, int32_t widthPixels,
                     int32_t minWidthPixels) {
    ObjectRecord* rec = &p->item.hdr;
    p->autoSize = InRange(s.autoSize, kPanelFixed);
    p->bdrStyle = InRange(s.bdrStyle, kPanelSunken);
    p->width = widthPixels;
    p->minWidth = minWidthPixels;
    p->baseWidth = p->width;
    bool copied;
    if (s.runName.text && s.runName.length) {
        copied = BarReplaceText(&rec->runName, s.runName.text, s.runName.length, kBarTextMax);
    } else {
        char name[kStatusPanelNameSize];
        StatusPanelDefaultName(number, name);
        copied = BarReplaceText(&rec->runName, name, static_cast<uint32_t>(strlen(name)), kBarTextMax);
    }
    return copied && BarReplaceText(&p->text, s.text.text, s.text.length, kBarTextMax) &&
           BarReplaceText(&rec->toolTip, s.toolTip.text, s.toolTip.length, kBarTextMax) &&
           BarReplaceText(&rec->userData, s.userData.text, s.userData.length, kTextBufSize);
}

bool StatusPanelChange(StatusPanelRecord* p, uint32_t id, int32_t value, const char* text, uint32_t length,
                       PanelScaleFn scale) {
    ObjectRecord* rec = &p->item.hdr;
    ObjectRecord* bar = p->item.bar;
    switch (id) {
    case kPidAutoSize: case kPidAutoSize2: p->autoSize = InRange(value, p->autoSize); return true;
    case kPidText: BarReplaceText(&p->text, text, length, kBarTextMax); return true;
    case kPidWidth: case kPidWidth2: p->width = scale(bar, value, true); return true;
    case kPidToolTip: BarReplaceText(&rec->toolTip, text, length, kBarTextMax); return true;
    case kPidBdrStyle: case kPidBdrStyle2: p->bdrStyle = InRange(value, p->bdrStyle); return true;
    case kPidMinWidth: p->minWidth = scale(bar, value, true); return true;
    case kPidRunName: BarReplaceText(&rec->runName, text, length, kBarTextMax); return false;
    case kPidUserData: BarReplaceText(&rec->userData, text, length, kTextBufSize); return false;
    default: return false;
    }
}

void StatusPanelQuery(StatusPanelRecord* p, uint32_t id, PanelScaleFn scale, int32_t* value, const char** text) {
    ObjectRecord* rec = &p->item.hdr;
    ObjectRecord* bar = p->item.bar;
    *value = 0;
    *text = nullptr;
    switch (id) {
    case kPidAutoSize: case kPidAutoSize2: *value = p->autoSize; break;
    case kPidText: *text = p->text; break;
    case kPidWidth: case kPidWidth2: *value = scale(bar, p->width, false); break;
    case kPidToolTip: *text = rec->toolTip; break;
    case kPidBdrStyle: case kPidBdrStyle2: *value = p->bdrStyle; break;
    case kPidMinWidth: *value = scale(bar, p->minWidth, false); break;
    case kPidRunName: *text = rec->runName; break;
    case kPidUserData: *text = rec->userData; break;
    default: return;
    }
    if (id == kPidText || id == kPidToolTip || id == kPidRunName || id == kPidUserData) {
        if (!*text) *text = "";
    }
}

StatusPanelRecord* StatusPanelAdd(ObjectRecord* bar, StatusPanelList list, const PanelSpec& s, PanelScaleFn scale,
                                  bool webView, int32_t* code) {
    if (*list.count >= kStatusPanelMax) {
        *code = kStatusPanelFull;
        return nullptr;
    }
    BarItemRecord* it = BarItemAlloc(kKindStatusPanel, sizeof(StatusPanelRecord), webView);
    if (!it) {
        *code = kNoMemory;
        return nullptr;
    }
    ++*list.count;
    if (!StatusPanelFill(AsStatusPanel(it), s, *list.count, scale(bar, s.width, true), scale(bar, s.minWidth, true))) {
        --*list.count;
        BarItemDrop(it, StatusPanelFreeTexts);
        *code = kNoMemory;
        return nullptr;
    }
    it->bar = bar;
    BarItemAppend(list.head, it);
    *code = 0;
    return AsStatusPanel(it);
}

bool StatusPanelRemove(StatusPanelList list, BarItemRecord* it) {
    if (!it || !BarItemUnlink(list.head, it)) return false;
    --*list.count;
    BarItemDrop(it, StatusPanelFreeTexts);
    return true;
}

void StatusPanelFreeTexts(BarItemRecord* it) { BarFreeText(&AsStatusPanel(it)->text); }
