// objops.cpp - ObjectOpTable and the generic operations: each checks the
// record, routes a web-view record to the web-view hooks, and otherwise calls
// the kind's slot (-5 when empty); property change and query translate the
// request code through PropertyCodeTable; the common header properties.
#include "objects/objops.h"

#include <cstdio>
#include <cstring>

#include "objects/events.h"
#include "objects/objhooks.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

const ObjectOps* ObjectOpTable[kObjectKindRows];

namespace {

constexpr char kUnknownText[] = "?????";
constexpr uint32_t kFontTextMax = 255;
constexpr uint32_t kMenuKinds[] = {kKindMenu, kKindSubMenu, kKindFloatMenu, kKindStatusBar, kKindToolBar};

bool IsWeb(const ObjectRecord* rec) { return rec->modeFlags & kModeWebView; }

// Every operation on a web object passes here. Its view not answering or gone:
// -52 at once, nothing sent. A send of the operation itself that failed or got
// no answer in its wait: -52 as well, whatever the operation made of the
// missing answer (an empty text is not what the page holds).
template <class Op>
int32_t WebOp(ObjectRecord* rec, Op op) {
    if (gWebObjectOps.viewDown && gWebObjectOps.viewDown(rec)) return kOpNoWebView;
    uint32_t before = gWebObjectOps.failedSends ? gWebObjectOps.failedSends() : 0;
    int32_t r = op();
    uint32_t after = gWebObjectOps.failedSends ? gWebObjectOps.failedSends() : 0;
    if (after == before) return r;
    // An answer the operation built from nothing is not sent.
    if (gWebObjectOps.dropReply) gWebObjectOps.dropReply();
    return kOpNoWebView;
}

bool KeepsOwnRunName(uint32_t kind) {
    for (uint32_t k : kMenuKinds)
        if (k == kind) return true;
    return false;
}

bool IsLiveKind(ObjectRecord* obj, uint8_t kind) { return obj && ObjectIsLive(obj) && obj->kind == kind; }

// A docked object takes its place in its container as soon as it shows, and
// its neighbours move when it goes (hidden or destroyed) or docks elsewhere:
// not at the container's next size change.
void TellDockChanged(ObjectRecord* rec, bool wasDocked) {
    if (!wasDocked && !(rec->flags & kObjDocked)) return;
    if (IsWeb(rec) || ObjectIsWindowKind(rec) || !gObjectHooks.dockChanged) return;
    gObjectHooks.dockChanged(rec->parent);
}

void SetTextBuf(const char* text) {
    size_t n = text ? strlen(text) : 0;
    if (n > kTextBufSize) n = kTextBufSize;
    if (n) memcpy(gTextBuf, text, n);
    gTextBuf[n] = 0;
}

}  // namespace

void RegisterObjectOps(uint32_t kind, const ObjectOps* ops) {
    if (kind < kObjectKindRows) ObjectOpTable[kind] = ops;
}

const ObjectOps* ObjectOpsOf(const ObjectRecord* rec) {
    return rec && rec->kind < kObjectKindRows ? ObjectOpTable[rec->kind] : nullptr;
}

// Show, hide and enable slots can pump messages (a modal window waits in its
// show until the server ends it, and takes the server's requests meanwhile), so
// the record is touched after a slot only while its handle still finds it.
int32_t ObjectActivate(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.show ? gWebObjectOps.show(rec, a, b, c, d) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    if (!ops || !ops->show) return kOpNotAvailable;
    ObjectRef ref = ObjectRefOf(rec);
    int32_t r = ops->show(rec, a, b, c, d);
    if (r >= 0 && ObjectRefAlive(ref)) {
        rec->flags = (rec->flags | kObjShown) & ~kObjHidden;
        TellDockChanged(rec, false);
    }
    return r;
}

int32_t ObjectDeactivate(ObjectRecord* rec) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.hide ? gWebObjectOps.hide(rec) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    if (!ops || !ops->hide) return kOpNotAvailable;
    ObjectRef ref = ObjectRefOf(rec);
    int32_t r = ops->hide(rec);
    if (r >= 0 && ObjectRefAlive(ref)) {
        rec->flags &= ~kObjShown;
        TellDockChanged(rec, false);
    }
    return r;
}

static int32_t EnableCommon(ObjectRecord* rec, int32_t item, bool on) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.enable ? gWebObjectOps.enable(rec, item, on) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    if (!ops || !ops->enable) return kOpNotAvailable;
    ObjectRef ref = ObjectRefOf(rec);
    int32_t r = ops->enable(rec, item, on ? 1 : 0);
    if (r >= 0 && item == 0 && ObjectRefAlive(ref))
        rec->flags = on ? (rec->flags & ~kObjDisabled) : (rec->flags | kObjDisabled);
    return r;
}

int32_t ObjectEnable(ObjectRecord* rec, int32_t item) { return EnableCommon(rec, item, true); }
int32_t ObjectDisable(ObjectRecord* rec, int32_t item) { return EnableCommon(rec, item, false); }

int32_t ObjectCheckItem(ObjectRecord* rec, int32_t item, int32_t on) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.checkItem ? gWebObjectOps.checkItem(rec, item, on) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    return ops && ops->checkItem ? ops->checkItem(rec, item, on) : kOpNotAvailable;
}

int32_t ObjectDeleteItem(ObjectRecord* rec, int32_t item) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.deleteItem ? gWebObjectOps.deleteItem(rec, item) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    return ops && ops->deleteItem ? ops->deleteItem(rec, item) : kOpNotAvailable;
}

int32_t ObjectGetText(ObjectRecord* rec, int32_t item) {
    gTextBuf[0] = 0;
    if (!rec) return kOpNoObject;
    int32_t r;
    if (IsWeb(rec)) {
        r = WebOp(rec, [&] { return gWebObjectOps.getText ? gWebObjectOps.getText(rec, item) : kOpNotAvailable; });
    } else {
        const ObjectOps* ops = ObjectOpsOf(rec);
        r = ops && ops->getText ? ops->getText(rec, item) : kOpNotAvailable;
    }
    gTextBuf[kTextBufSize] = 0;   // a handler that filled the buffer to the end still leaves a text
    return r;
}

int32_t ObjectGetValue(ObjectRecord* rec, int32_t item, int32_t* value) {
    *value = 0;
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.getValue ? gWebObjectOps.getValue(rec, item, value) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    return ops && ops->getValue ? ops->getValue(rec, item, value) : kOpNotAvailable;
}

int32_t ObjectInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t len) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.insertItem ? gWebObjectOps.insertItem(rec, pos, text, len) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    return ops && ops->insertItem ? ops->insertItem(rec, pos, text, len) : kOpNotAvailable;
}

int32_t ObjectSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t len) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.setText ? gWebObjectOps.setText(rec, item, text, len) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    return ops && ops->setText ? ops->setText(rec, item, text, len) : kOpNotAvailable;
}

int32_t ObjectSetValue(ObjectRecord* rec, int32_t item, int32_t value) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.setValue ? gWebObjectOps.setValue(rec, item, value) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    return ops && ops->setValue ? ops->setValue(rec, item, value) : kOpNotAvailable;
}

int32_t ObjectSetState(ObjectRecord* rec, int32_t state, int32_t v1, int32_t v2) {
    if (!rec) return kOpNoObject;
    // Neither mode keeps a state of its own here; the web view may.
    if (IsWeb(rec) && gWebObjectOps.setState) return WebOp(rec, [&] { return gWebObjectOps.setState(rec, state, v1, v2); });
    return kOpOk;
}

int32_t ObjectSetFocus(ObjectRecord* rec, int32_t item, int32_t) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.setFocus ? gWebObjectOps.setFocus(rec, item) : kOpNotAvailable; });
    // A shown Control is focused through its hosted control (UI activation).
    if (rec->kind == kKindControl && (rec->flags & kObjShown) && gComObjectHooks.oleSetFocus)
        return gComObjectHooks.oleSetFocus(rec) ? kOpOk : kOpNotAvailable;
    if (rec->kind == kKindContainer && gComObjectHooks.oleContainerFocus) {
        ObjectRef ref = ObjectRefOf(rec);
        gComObjectHooks.oleContainerFocus(rec);
        if (!ObjectRefAlive(ref)) return kOpNoObject;
    }
    if (rec->kind == kKindHtmlControl && gComObjectHooks.htmlFocus) return gComObjectHooks.htmlFocus(rec, item);
    return gObjectHooks.setFocus ? gObjectHooks.setFocus(rec, item) : kOpNotAvailable;
}

// A destroyed object must not stay its window's focus, last focus or default
// button: the window reads them later (showing it restores the focus).
static void ForgetInTopWindow(ObjectRecord* rec) {
    WindowRecord* win = ObjectAsWindow(ObjectTopWindow(rec));
    if (!win || &win->hdr == rec) return;
    if (win->focusObj == rec) win->focusObj = nullptr;
    if (win->lastFocus == rec) win->lastFocus = nullptr;
    if (win->defaultButton == rec) win->defaultButton = nullptr;
}

// Objects made inside this one go with it. Windows and panels destroy theirs
// in their own destroy, in their order; any other kind a request named as a
// parent would leave them live with a freed parent (a later walk up from them
// read freed memory). False when a destroy taken meanwhile ended rec itself.
static bool DestroyOwnChildren(ObjectRecord* rec) {
    if (!rec->children || IsWeb(rec) || ObjectIsWindowKind(rec) || rec->kind == kKindPanel) return true;
    ObjectRef ref = ObjectRefOf(rec);
    ObjectDestroyChildren(rec);
    return ObjectRefAlive(ref);
}

int32_t ObjectDestroy(ObjectRecord* rec) {
    if (!rec || !ObjectIsLive(rec)) return kOpNoObject;
    // The main window carries the socket's notices of every frame: no request
    // may destroy it (the window layer's clean-up ends it at exit).
    if (rec == gMainWindowObj) return kOpNoObject;
    const ObjectOps* ops = ObjectOpsOf(rec);
    if (IsWeb(rec) ? !gWebObjectOps.destroy : (!ops || !ops->destroy)) return kOpNotAvailable;
    // A shown docked object leaves room its neighbours take once it is gone.
    bool leavesRoom = (rec->flags & kObjShown) && (rec->flags & kObjDocked) && !IsWeb(rec) &&
                      !ObjectIsWindowKind(rec) && rec->parent;
    ObjectRef container = ObjectRefOf(rec->parent);
    if ((rec->flags & kObjShown) && !IsWeb(rec) && ops->hide) {
        // The hide may pump; a request taken meanwhile may have destroyed it already.
        ObjectRef ref = ObjectRefOf(rec);
        ops->hide(rec);
        if (!ObjectRefAlive(ref)) return kOpOk;
    }
    rec->flags &= ~kObjShown;
    if (!DestroyOwnChildren(rec)) return kOpOk;
    if (rec->ovar && !gDestSuppress && gObjectHooks.destAppend) gObjectHooks.destAppend(rec->ovar);
    RemoveAllEventsForObj(rec);
    ForgetInTopWindow(rec);
    rec->flags &= ~kObjAlive;
    UnlinkObject(rec);
    // The handle dies before the kind frees the record, so nothing can reach it.
    ObjectUnregister(rec);
    if (IsWeb(rec)) return gWebObjectOps.destroy(rec);
    int32_t r = ops->destroy(rec);
    // A container being destroyed itself is no longer registered: nothing is laid out.
    if (leavesRoom && ObjectRefAlive(container) && gObjectHooks.dockChanged)
        gObjectHooks.dockChanged(container.rec);
    return r;
}

int32_t ObjectDestroyFromWeb(int32_t, ObjectRecord* rec) { return ObjectDestroy(rec); }

void ObjectDestroyChildren(ObjectRecord* container) {
    // First child first, until the list is empty. Each destroy unlinks the
    // child (a web-view child goes through the web view's destroy); a child
    // whose kind has no destroy slot, or that is no longer live, is taken out
    // of the list so the walk always ends. An image list that something still uses outlives its
    // container: it is only detached.
    while (container && container->children) {
        ObjectRecord* child = container->children;
        if (child->kind == kKindImageList && child->parent == container && child->useCount >= 1 && !IsWeb(child)) {
            UnlinkObject(child);
            child->parent = nullptr;
            continue;
        }
        if (!ObjectIsLive(child)) {
            UnlinkObject(child);
            continue;
        }
        ObjectRef ref = ObjectRefOf(child);
        ObjectDestroy(child);
        if (ObjectRefAlive(ref) && container->children == child) UnlinkObject(child);
    }
}

int32_t ObjectSetProperty(ObjectRecord* rec, PropChange* req) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.setProp ? gWebObjectOps.setProp(rec, req) : kOpNotAvailable; });
    if (req->code == kPcOvar) {
        rec->ovar = req->value2;
        return kOpOk;
    }
    if (req->code == kPcRunName && !KeepsOwnRunName(rec->kind)) {
        uint32_t n = req->textLength > kTextBufSize ? kTextBufSize : req->textLength;
        return ReplaceStrField(req->text, static_cast<long>(n), &rec->runName) || !n ? kOpOk : kOpNoMemory;
    }
    if (rec->kind == kKindVariant)
        return gComObjectHooks.variantSetProp ? gComObjectHooks.variantSetProp(rec, req, req->code) : kOpNotAvailable;
    const ObjectOps* ops = ObjectOpsOf(rec);
    if (req->code == kPcInvalid) {
        if (!ops || !ops->oleProp) return kOpNotAvailable;
        OlePropReq ole = {};
        ole.change = req;
        return ops->oleProp(rec, &ole, nullptr);
    }
    const PropCodeRow* row = PropertyCodeLookup(req->code);
    if (!row) return kOpUnknownProperty;
    if (!ops || !ops->setProp) return kOpNotAvailable;
    req->id = row->id;
    switch (row->valueKind) {
    case kPvColor:
        if (IsLiveKind(req->object, kKindColor)) req->value = static_cast<int32_t>(ColorObjectValue(req->object));
        break;
    case kPvFont:
        if (IsLiveKind(req->object, kKindFont)) {
            req->id = kPidFontObj;
        } else if (req->textLength > kFontTextMax) {
            req->textLength = kFontTextMax;
        }
        break;
    case kPvText:
        if (!req->text || req->textLength == 0) return kOpOk;   // nothing to change
        break;
    case kPvTextOrEmpty:
        if (!req->text) {
            req->text = "";
            req->textLength = 0;
        }
        break;
    default:
        break;
    }
    if (req->code == kPcNoResize) req->value = req->value == 0 ? 1 : 0;
    if (req->code == kPcPictPos) {
        int32_t r = ops->setProp(rec, req);
        if (r < 0) return r;
        req->id = kPidPictPosH + 1;
        req->value = static_cast<int32_t>(req->word2);
    }
    return ops->setProp(rec, req);
}

const PropQuery* gCurPropQuery;

// Slot 14 with the query noted for the kinds that read its selector.
static uint32_t GetPropOf(const ObjectOps* ops, ObjectRecord* rec, uint32_t id, const PropQuery* req) {
    const PropQuery* prev = gCurPropQuery;
    gCurPropQuery = req;
    uint32_t v = ops->getProp(rec, id);
    gCurPropQuery = prev;
    return v;
}

int32_t ObjectGetProperty(ObjectRecord* rec, PropQuery* req) {
    req->result = req->result2 = 0;
    req->text = nullptr;
    req->resultObject = nullptr;
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.getProp ? gWebObjectOps.getProp(rec, req) : kOpNotAvailable; });
    if (req->code == kPcWindow) {
        req->result2 = rec->parent ? static_cast<int32_t>(rec->parent->ovar) : 0;
        return kOpOk;
    }
    if (req->code == kPcRunName && !KeepsOwnRunName(rec->kind)) {
        SetTextBuf(rec->runName);
        req->text = gTextBuf;
        return kOpOk;
    }
    if (rec->kind == kKindVariant)
        return gComObjectHooks.variantGetProp ? gComObjectHooks.variantGetProp(rec, req, req->code) : kOpNotAvailable;
    const ObjectOps* ops = ObjectOpsOf(rec);
    if (req->code == kPcInvalid) {
        if (!ops || !ops->oleProp) return kOpNotAvailable;
        OlePropReq ole = {};
        ole.query = req;
        return ops->oleProp(rec, nullptr, &ole);
    }
    if (req->code == kPcObjectArg1 || req->code == kPcObjectArg2) {
        req->result = req->fill ? static_cast<int32_t>(req->fill->handle) : 0;
        return kOpOk;
    }
    const PropCodeRow* row = PropertyCodeLookup(req->code);
    if (!row) return kOpNotAvailable;
    if (!ops || !ops->getProp) return kOpNotAvailable;
    req->id = row->id;
    strcpy(gTextBuf, kUnknownText);
    switch (req->code) {
    case kPcNoResize:
        req->result = ops->getProp(rec, kPidNoResize) == 0 ? 1 : 0;
        return kOpOk;
    case kPcPictPos:
        req->result = static_cast<int32_t>(ops->getProp(rec, kPidPictPosH));
        req->result2 = static_cast<int32_t>(ops->getProp(rec, kPidPictPosH + 1));
        return kOpOk;
    default:
        break;
    }
    switch (row->valueKind) {
    case kPvText:
    case kPvTextOrEmpty:
    case kPvFont:
        gTextBuf[0] = 0;
        GetPropOf(ops, rec, row->id, req);
        gTextBuf[kTextBufSize] = 0;
        req->text = gTextBuf;
        break;
    case kPvColor:
        req->result = static_cast<int32_t>(GetPropOf(ops, rec, row->id, req));
        if (req->form == kPqFormObject && IsLiveKind(req->fill, kKindColor)) {
            uint32_t v = static_cast<uint32_t>(req->result);
            memcpy(reinterpret_cast<uint8_t*>(req->fill) + sizeof(ObjectRecord), &v, sizeof v);
            req->resultObject = req->fill;
        }
        break;
    default:
        req->result = static_cast<int32_t>(GetPropOf(ops, rec, row->id, req));
        break;
    }
    return kOpOk;
}

int32_t ObjectSetCommonProperty(ObjectRecord* rec, uint32_t id, int32_t value, const char* text,
                                uint32_t textLength, bool* redraw) {
    bool changed = false;
    auto flag = [rec](uint32_t bit, bool on) { rec->flags = on ? (rec->flags | bit) : (rec->flags & ~bit); };
    auto keepText = [&](char** field) {
        uint32_t n = textLength > kTextBufSize ? kTextBufSize : textLength;
        return ReplaceStrField(text, static_cast<long>(n), field) || n == 0 ? kOpOk : kOpNoMemory;
    };
    int32_t r = kOpOk;
    switch (id) {
    case kPidAutoSize: flag(kObjAutoSize, value != 0); break;
    case kPidBgColor: rec->bgColor = static_cast<uint32_t>(value); changed = true; break;
    case kPidBdrColor: rec->bdrColor = static_cast<uint32_t>(value); changed = true; break;
    case kPidFgColor: rec->fgColor = static_cast<uint32_t>(value); changed = true; break;
    case kPidBorder: flag(kObjBorder, value != 0); changed = true; break;
    case kPidStyle:
        if (value >= 1 && value <= 4) {
            rec->appearance = static_cast<uint8_t>(value);
            flag(kObj3D, value != 2);
            changed = true;
        }
        break;
    case kPidDropId: rec->dropId = static_cast<uint16_t>(value); break;
    case kPidEnabled:
        flag(kObjDisabledByProp, value == 0);
        r = value ? ObjectEnable(rec, 0) : ObjectDisable(rec, 0);
        if (r == kOpNotAvailable) {   // a kind without an enable slot still keeps the state
            flag(kObjDisabled, value == 0);
            r = kOpOk;
        }
        break;
    case kPidHelpId: rec->helpId = static_cast<uint32_t>(value); break;
    case kPidObjectId: rec->objectId = static_cast<uint16_t>(value); break;
    case kPidTabId:
        rec->tabId = value >= 0 && value <= 65534 ? static_cast<uint16_t>(value) : 0;
        if (UnlinkObject(rec)) LinkObject(rec);
        break;
    case kPidVisible:
        // Showing may wait (a modal window) and the record may be gone after it.
        if (value && !(rec->flags & kObjShown)) return ObjectActivate(rec, 0, 0, 0, 0);
        if (!value && (rec->flags & kObjShown)) return ObjectDeactivate(rec);
        break;
    case kPidZOrder: rec->zOrder = static_cast<uint16_t>(value); break;
    case kPidAppearance:
        rec->appearance = value == 1 ? 1 : 2;
        flag(kObj3D, value == 1);
        changed = true;
        break;
    case kPidLoadObject: flag(kObjFromFormNoLoad, value == 0); break;
    case kPidAutoRedraw: flag(kObjNoAutoRedraw, value == 0); break;
    case kPidLeft: case kPidTop: case kPidHeight: case kPidWidth: {
        int32_t w = rec->right - rec->left, h = rec->bottom - rec->top;
        int32_t left = id == kPidLeft ? value : rec->left, top = id == kPidTop ? value : rec->top;
        if (id == kPidWidth) w = value;
        if (id == kPidHeight) h = value;
        if (!ObjectSetRect(rec, top, h, left, w)) return kOpNotAvailable;
        changed = true;
        break;
    }
    case kPidToolTip: r = keepText(&rec->toolTip); break;
    case kPidCauseValid: flag(kObjCauseValid, value != 0); break;
    case kPidDock:
        if (value >= 1 && value <= 6) {
            bool wasDocked = (rec->flags & kObjDocked) != 0;
            rec->dock = static_cast<uint8_t>(value);
            flag(kObjDocked, value != 3);
            changed = true;
            if (rec->flags & kObjShown) TellDockChanged(rec, wasDocked);
        }
        break;
    case kPidRunName: r = keepText(&rec->runName); break;
    case kPidAnchor:
        if (value >= 1 && value <= 9) rec->anchor = static_cast<uint8_t>(value);
        break;
    case kPidOsEventMask: rec->osEventMask = static_cast<uint32_t>(value); break;
    case kPidAcceptTab: case kPidAcceptTab2: flag(kObjAcceptTab, value != 0); break;
    case kPidDestroyGlobal: flag(kObjNoDestroyGlobal, value == 0); break;
    case kPidHelpTopic: r = keepText(&rec->helpTopic); break;
    case kPidUserData: r = keepText(&rec->userData); break;
    case kPidTheme: r = keepText(&rec->theme); break;
    case kPidWebClass: r = keepText(&rec->webClass); break;
    case kPidWebHeight: r = keepText(&rec->webHeight); break;
    case kPidWebWidth: r = keepText(&rec->webWidth); break;
    case kPidWebLeft: r = keepText(&rec->webLeft); break;
    case kPidWebTop: r = keepText(&rec->webTop); break;
    case kPidWebPosition: rec->webPosition = static_cast<uint8_t>(value); break;
    case kPidWebObject:
        rec->modeFlags = value ? (rec->modeFlags | kModeWebObject) : (rec->modeFlags & ~kModeWebObject);
        break;
    default:
        return kOpUnknownProperty;
    }
    if (redraw && changed) *redraw = true;
    return r;
}

int32_t ObjectGetCommonProperty(ObjectRecord* rec, uint32_t id, bool* known) {
    if (known) *known = true;
    auto text = [](const char* t) {
        SetTextBuf(t);
        return 0;
    };
    uint32_t f = rec->flags;
    switch (id) {
    case kPidAutoSize: return (f & kObjAutoSize) ? 1 : 0;
    case kPidBgColor: return static_cast<int32_t>(rec->bgColor);
    case kPidBdrColor: return static_cast<int32_t>(rec->bdrColor);
    case kPidFgColor: return static_cast<int32_t>(rec->fgColor);
    case kPidBorder: return (f & kObjBorder) ? 1 : 0;
    case kPidStyle: return rec->appearance;
    case kPidDropId: return rec->dropId;
    case kPidEnabled: return (f & (kObjDisabled | kObjDisabledByProp)) ? 0 : 1;
    case kPidHeight: return rec->bottom - rec->top;
    case kPidWidth: return rec->right - rec->left;
    case kPidLeft: return rec->left;
    case kPidTop: return rec->top;
    case kPidHelpId: return static_cast<int32_t>(rec->helpId);
    case kPidObjectId: return rec->objectId;
    case kPidTabId: return rec->tabId;
    case kPidZOrder: return rec->zOrder;
    case kPidVisible: return (f & kObjShown) ? 1 : 0;
    case kPidAppearance: return (f & kObj3D) ? 1 : 2;
    case kPidLoadObject: return (f & kObjFromFormNoLoad) ? 0 : 1;
    case kPidAutoRedraw: return (f & kObjNoAutoRedraw) ? 0 : 1;
    case kPidHwnd: return static_cast<int32_t>(reinterpret_cast<uintptr_t>(rec->hwnd));
    case kPidToolTip: return text(rec->toolTip);
    case kPidCauseValid: return (f & kObjCauseValid) ? 1 : 0;
    case kPidDock: return rec->dock;
    case kPidAnchor: return rec->anchor;
    case kPidRunName: return text(rec->runName);
    case kPidOsEventMask: return static_cast<int32_t>(rec->osEventMask);
    case kPidAcceptTab: case kPidAcceptTab2: return (f & kObjAcceptTab) ? 1 : 0;
    case kPidDestroyGlobal: return (f & kObjNoDestroyGlobal) ? 0 : 1;
    case kPidHelpTopic: return text(rec->helpTopic);
    case kPidUserData: return text(rec->userData);
    case kPidTheme: return text(rec->theme);
    case kPidWebClass: return text(rec->webClass);
    case kPidWebHeight: return text(rec->webHeight);
    case kPidWebWidth: return text(rec->webWidth);
    case kPidWebLeft: return text(rec->webLeft);
    case kPidWebTop: return text(rec->webTop);
    case kPidWebPosition: return rec->webPosition;
    case kPidWebObject: return (rec->modeFlags & kModeWebObject) ? 1 : 0;
    default:
        if (known) *known = false;
        strcpy(gTextBuf, kUnknownText);
        return 0;
    }
}

int32_t ObjectInvokeMethod(uint32_t, ObjectRecord* rec, MethodCallRec* call) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.invokeMethod ? gWebObjectOps.invokeMethod(rec, call) : kOpNotAvailable; });
    const ObjectOps* ops = ObjectOpsOf(rec);
    return ops && ops->method ? ops->method(rec, call) : kOpNotAvailable;
}

int32_t ObjectInvokeClientMethod(ObjectRecord* rec, MethodCallRec* call) {
    if (!gWebObjectOps.clientMethod) return kOpUnknownMethod;
    // A call that names no web object asks the current web view: a page
    // request of it that got no answer is -52 as for a web object's call.
    ObjectRecord* web = rec && IsWeb(rec) ? rec : nullptr;
    return WebOp(web, [&] { return gWebObjectOps.clientMethod(rec, call); });
}

int32_t ObjectInvokeCommonMethod(uint32_t, ObjectRecord* rec, MethodCallRec* call) {
    if (!rec) return kOpNoObject;
    if (IsWeb(rec)) return WebOp(rec, [&] { return gWebObjectOps.commonMethod ? gWebObjectOps.commonMethod(rec, call) : kOpNotAvailable; });
    return kOpUnknownMethod;
}
