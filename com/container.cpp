// container.cpp - the Container object (kind 31): a windowless area of a
// window holding one embedded or linked OLE object, or none. Creation with its
// defaults and ranges, the choice of how its object is made (saved data, a
// file, a class, the Insert Object dialog), the operation row (paint,
// properties, the "$" methods), the verb menu of the mouse and Enter, and the
// flat entries of its object.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "com/autoclient.h"
#include "com/comobjects.h"
#include "com/olecontainer.h"
#include "objects/color.h"
#include "objects/crstream.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/proto/protocol.h"
#include "session/proto/records.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"

namespace {

// Ranges and defaults of the Container's own properties.
struct IntRange {
    uint16_t low, high, def;
};
constexpr IntRange kAutoActRange = {1, 3, 1};
constexpr IntRange kSizeModeRange = {1, 4, 2};
constexpr IntRange kBackStyleRange = {1, 2, 1};
constexpr IntRange kDisplayTypeRange = {1, 2, 1};
constexpr IntRange kOleTypeARange = {1, 3, 1};
constexpr IntRange kUpdateOptRange = {1, 2, 1};

constexpr uint16_t kAutoActPrimary = 1, kAutoActOnFocus = 2;
constexpr uint16_t kBackOpaque = 1, kBackTransparent = 2;
constexpr int32_t kOleTypeEmpty = 1, kOleTypeEmbedded = 2, kOleTypeLink = 3;
constexpr LONG kVerbPrimary = 0;
constexpr char kAskDialog[] = "?";
constexpr uint8_t kReplyKindDone = 1;

struct MethodName {
    const char* name;
    uint32_t number;
};
const MethodName kMethodNames[] = {{"$Delete", kContainerDelete}, {"$DoVerb", kContainerDoVerb}, {"$Update", kContainerUpdate}};

uint16_t InRange(int32_t v, IntRange r) {
    return v >= r.low && v <= r.high ? static_cast<uint16_t>(v) : r.def;
}

constexpr char kSourceDocNotWhole[] = "the SourceDoc holds a NUL: it names no file";

// A text cut to max characters, copied to the local heap (null when empty).
bool DupCut(const CrText& t, uint32_t max, char** out) {
    *out = nullptr;
    if (!t.text || !t.length) return true;
    uint32_t n = t.length > max ? max : t.length;
    return ReplaceStrField(t.text, static_cast<long>(n), out);
}

void CopyClassId(ContainerRecord* k, const char* text, uint32_t length) {
    uint32_t n = length > kClassIdMax ? kClassIdMax : length;
    if (n) memcpy(k->classId, text, n);
    k->classId[n] = 0;
}

void RedrawContainer(ObjectRecord* rec) {
    ContainerRecord* k = ContainerOf(rec);
    if (k && (rec->flags & kObjShown)) RedrawObject(rec, k->backStyle == kBackTransparent);
}

void FreeContainer(ContainerRecord* k) {
    ReplaceStrField(nullptr, 0, &k->hostName);
    ReplaceStrField(nullptr, 0, &k->sourceDoc);
    ObjectFreeCommon(&k->hdr);
    ObjectFreeRecord(&k->hdr);
}

int32_t Detailed(int32_t detail, int32_t* code) {
    gObjectCreateDetail = detail;
    *code = kCtlCreateDetailed;
    return kCtlCreateDetailed;
}

ObjectRecord* WindowOfRecord(ObjectRecord* rec) {
    ObjectRecord* top = ObjectTopWindow(rec);
    return top ? top : rec->parent;
}

// Creates the object the record's texts name: saved data (item number given),
// a SourceDoc ("?" asks for a file), or a ClassId ("?" asks for a class).
bool CreateChosen(CGenObject* g, ContainerRecord* k, OleStoreInfo* store) {
    if (store && store->itemNumber) {
        k->mode = kModeLoad;
        return GenObjCreate(g, nullptr, nullptr, nullptr, nullptr) != FALSE;
    }
    if (k->sourceDoc && k->sourceDoc[0]) {
        if (strcmp(k->sourceDoc, kAskDialog) == 0) return GenObjInsertDialog(g, TRUE) != FALSE;
        k->mode = k->oleTypeA == kOleTypeALinked ? kModeLinkFile : kModeFromFile;
        return GenObjCreate(g, nullptr, k->sourceDoc, nullptr, nullptr) != FALSE;
    }
    if (strcmp(k->classId, kAskDialog) == 0) return GenObjInsertDialog(g, FALSE) != FALSE;
    CLSID clsid;
    if (!k->classId[0] || !OleClassIdToClsid(k->classId, &clsid)) return false;
    k->mode = kModeNew;
    return GenObjCreate(g, &clsid, nullptr, nullptr, nullptr) != FALSE;
}

}  // namespace

// ---- The flat entries of a Container's object ----------------------------------------------------

CGenObject* OleContainerNew(ObjectRecord* window, ObjectRecord* rec, OleStoreInfo* store) {
    ContainerRecord* k = ContainerOf(rec);
    if (!k) return nullptr;
    CGenObject* g = GenObjNew(window, rec, store);
    // Creation may pump (the dialog, a server starting): the record is looked up again.
    ObjectRef ref = ObjectRefOf(rec);
    bool ok = g && CreateChosen(g, k, store);
    if (ok && ObjectRefAlive(ref) && !k->object) {
        k->object = g;
        return g;
    }
    if (g) {
        GenObjRelease(g);
        GenObjUnref(g);
    }
    if (ObjectRefAlive(ref)) {
        ReplaceStrField(nullptr, 0, &k->sourceDoc);
        k->classId[0] = 0;
        k->mode = kModeNone;
    }
    return nullptr;
}

void OleContainerRelease(ObjectRecord* rec) {
    ContainerRecord* k = ContainerOf(rec);
    if (!k) return;
    ReplaceStrField(nullptr, 0, &k->sourceDoc);
    k->classId[0] = 0;
    CGenObject* g = k->object;
    if (!g) return;
    k->object = nullptr;
    k->mode = kModeNone;
    GenObjRelease(g);
    GenObjUnref(g);
    if (ObjectIsLive(rec) && (rec->flags & kObjShown)) RedrawObject(rec, true);
}

void OleObjAddVerbs(ObjectRecord* rec, HMENU menu, UINT position) { GenObjVerbMenu(OleObjectOf(rec), menu, position); }
int OleObjSetUpdateOptions(ObjectRecord* rec, DWORD option) {
    return GenObjSetUpdateOptions(OleObjectOf(rec), option) ? 1 : 0;
}
int OleObjUpdate(ObjectRecord* rec) { return GenObjUpdate(OleObjectOf(rec)) ? 1 : 0; }

// Focus without the automatic activation of AutoAct 2, then the verb.
static void FocusAndRunVerb(ObjectRecord* rec, LONG verb, MSG* msg) {
    ContainerRecord* k = ContainerOf(rec);
    uint16_t keep = k->autoAct;
    k->autoAct = 0;
    ObjectRef ref = ObjectRefOf(rec);
    ObjectSetFocus(rec, 0, 0);
    if (!ObjectRefAlive(ref)) return;
    k->autoAct = keep;
    OleObjDoVerb(rec, verb, msg);
}

void OleObjVerbMenu(ObjectRecord* rec, bool dblOrEnter, int32_t x, int32_t y, bool right) {
    ContainerRecord* k = ContainerOf(rec);
    if (!k) return;
    if (!right) {
        if (dblOrEnter) {
            if (k->autoAct == kAutoActPrimary) OleObjDoVerb(rec, kVerbPrimary, nullptr);
        } else {
            ObjectSetFocus(rec, 0, 0);
        }
        return;
    }
    if (dblOrEnter || !k->autoVerb || !k->object) return;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    OleObjAddVerbs(rec, menu, 1);
    ObjectRecord* win = WindowOfRecord(rec);
    POINT p = {x, y};
    if (rec->parent && rec->parent->hwnd) ClientToScreen(rec->parent->hwnd, &p);
    HWND owner = win && win->hwnd ? win->hwnd : (rec->parent ? rec->parent->hwnd : nullptr);
    // The command comes back as WM_COMMAND to the owner; TPM_RETURNCMD takes
    // it straight, and one pump turn lets the menu's messages settle.
    UINT id = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD, p.x, p.y, 0, owner, nullptr));
    ObjectRef ref = ObjectRefOf(rec);
    PumpOnce(false);
    DestroyMenu(menu);
    if (!ObjectRefAlive(ref)) return;
    if (id >= kOleVerbFirstId && id <= kOleVerbLastId) FocusAndRunVerb(rec, static_cast<LONG>(id - kOleVerbFirstId), nullptr);
}

// ---- Creation ----------------------------------------------------------------------------------------

ObjectRecord* ContainerCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    if (!RuntimeOleLibraries()) {
        *code = kOpNoMemory;
        return nullptr;
    }
    RuntimeOleStart();
    gObjectCreateDetail = 0;
    OleStoreInfo* store = static_cast<OleStoreInfo*>(cr->oleStore);
    uint32_t size = sizeof(ContainerRecord) > kContainerRecordSize ? sizeof(ContainerRecord) : kContainerRecordSize;
    auto* k = reinterpret_cast<ContainerRecord*>(ObjectAllocRecord(kKindContainer, size, false));
    if (!k) {
        *code = kCtlCreateNoMemory;
        return nullptr;
    }
    k->hdr.flags |= kObjAlive;
    if (cr->flags1 & kCr1Border) k->hdr.flags |= kObjBorder;
    k->autoAct = InRange(cr->autoAct, kAutoActRange);
    k->sizeMode = InRange(cr->sizeMode, kSizeModeRange);
    k->autoVerb = cr->autoVerb ? 1 : 0;
    k->backStyle = InRange(cr->backStyle, kBackStyleRange);
    k->displayType = InRange(cr->displayType, kDisplayTypeRange);
    if (cr->classId.text) CopyClassId(k, cr->classId.text, cr->classId.length);
    k->oleDrop = cr->oleDrop ? 1 : 0;
    k->oleTypeA = InRange(cr->oleTypeA, kOleTypeARange);
    k->updateOpt = InRange(cr->updateOpt, kUpdateOptRange);
    // A SourceDoc with a NUL inside would name another file, cut there: it
    // names none, and the object cannot be made from it.
    bool sourceNamed = NameIsWhole(cr->sourceDoc.text, cr->sourceDoc.length, SIZE_MAX);
    if (!DupCut(cr->hostName, kContainerTextMax, &k->hostName) ||
        (sourceNamed && !DupCut(cr->sourceDoc, kContainerTextMax, &k->sourceDoc))) {
        ReplaceStrField(nullptr, 0, &k->hostName);
        ObjectFreeRecord(&k->hdr);
        *code = kCtlCreateNoMemory;
        return nullptr;
    }
    ObjectRecord* window = nullptr;
    if (!ObjectInitCommon(&k->hdr, cr, &window)) {
        ReplaceStrField(nullptr, 0, &k->hostName);
        ReplaceStrField(nullptr, 0, &k->sourceDoc);
        ObjectFreeRecord(&k->hdr);
        *code = kCtlCreateNoObject;
        return nullptr;
    }
    k->hdr.flags |= kStateBit8;
    if (!ObjectSetRect(&k->hdr, cr->top, cr->height, cr->left, cr->width)) {
        FreeContainer(k);
        *code = kCtlCreateBadRect;
        return nullptr;
    }
    int32_t detail = OleObjectSlots(&window, &k->hdr, &k->itemNumber);
    if (detail) {
        FreeContainer(k);
        Detailed(detail, code);
        return nullptr;
    }
    CopyCreateStrings(&k->hdr, cr);
    gErrorText[0] = 0;
    bool hasSource = !sourceNamed || (cr->storeId && store) || (k->sourceDoc && k->sourceDoc[0]) || k->classId[0];
    if (hasSource) {
        CGenObject* g = nullptr;
        if (sourceNamed) {
            if (store) store->itemNumber = static_cast<uint16_t>(cr->storeId);
            ObjectRef ref = ObjectRefOf(&k->hdr);
            g = OleContainerNew(window, &k->hdr, store);
            if (!ObjectRefAlive(ref)) {
                Detailed(kDetailContainerFailed, code);
                return nullptr;
            }
        } else {
            snprintf(gErrorText, sizeof gErrorText, "%s", kSourceDocNotWhole);
        }
        // In design mode a Container whose object cannot be made stays, empty.
        if (!g && !gDesignMode) {
            FreeContainer(k);
            Detailed(kDetailContainerFailed, code);
            return nullptr;
        }
    }
    LinkObject(&k->hdr);
    if (cr->flags0 & kCrVisible) ObjectActivate(&k->hdr, 0, 0, 0, 0);
    ObjectSaveLayout(&k->hdr, 0);
    return &k->hdr;
}

// ---- The operation row ------------------------------------------------------------------------------

namespace {

int32_t ContainerDestroy(ObjectRecord* rec) {
    ContainerRecord* k = ContainerOf(rec);
    if (!k) return kOpNoObject;
    OleForgetUiActive(rec);
    ReplaceStrField(nullptr, 0, &k->hostName);
    ObjectFreeCommon(rec);
    // The record is going: releasing its object repaints nothing.
    rec->flags &= ~kObjShown;
    OleContainerRelease(rec);
    ReplaceStrField(nullptr, 0, &k->sourceDoc);
    ObjectFreeRecord(rec);
    return kOpOk;
}

int32_t ContainerPaint(ObjectRecord* rec, void* dcArg, int32_t) {
    ContainerRecord* k = ContainerOf(rec);
    ObjectDCState st = {};
    HDC dc = dcArg ? static_cast<HDC>(dcArg) : GetObjectDC(0, rec, &st);
    if (!dc) return kOpOk;
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    if (!dcArg) OffsetRect(&r, st.originX, st.originY);
    int saved = SaveDC(dc);
    COLORREF back = ColorValueResolve(rec->bgColor);
    if (rec->flags & kObjBorder) {
        if (rec->flags & kObj3D) InflateRect(&r, -1, -1);
        DrawBorder(dc, &r, rec->appearance, rec->bdrColor);
        InflateRect(&r, -1, -1);
    }
    if (k->backStyle == kBackOpaque) {
        SetBkColor(dc, back);
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    }
    if (!rec->hwnd) {
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        OleObjDraw(rec, dc);
        WindowRecord* w = ObjectAsWindow(ObjectTopWindow(rec));
        if (w && w->focusObj == rec) DrawFocusRect(dc, &r);
    }
    RestoreDC(dc, saved);
    if (!dcArg) ReleaseObjectDC(&st);
    return kOpOk;
}

void TextResult(const char* t) {
    size_t n = t ? strlen(t) : 0;
    if (n > kTextBufSize) n = kTextBufSize;
    memcpy(gTextBuf, t ? t : "", n);
    gTextBuf[n] = 0;
}

int32_t OleTypeOf(const ContainerRecord* k) {
    if (!k->object) return kOleTypeEmpty;
    return k->mode == kModeLinkFile || k->mode == kModeLinkData ? kOleTypeLink : kOleTypeEmbedded;
}

uint32_t ContainerGetProp(ObjectRecord* rec, uint32_t id) {
    ContainerRecord* k = ContainerOf(rec);
    switch (id) {
    case kPidBackStyle: return k->backStyle;
    case kPidAutoAct: return k->autoAct;
    case kPidSizeMode: return k->sizeMode;
    case kPidAutoVerb: return k->autoVerb;
    case kPidDisplayType: return k->displayType;
    case kPidClassId:
    case kPidClsid: TextResult(k->classId); return 0;
    case kPidOLEDrop: return k->oleDrop;
    case kPidOLEType: return static_cast<uint32_t>(OleTypeOf(k));
    case kPidSourceDoc: TextResult(k->sourceDoc); return 0;
    case kPidUpdateOpt: return k->updateOpt;
    case kPidStoreId: return k->object ? k->itemNumber : 0;
    case kPidHostName: TextResult(k->hostName); return 0;
    case kPidOLETypeA: return k->oleTypeA;
    default: return static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
    }
}

bool SetInRange(uint16_t* field, int32_t v, IntRange r) {
    if (v < r.low || v > r.high) return false;
    *field = static_cast<uint16_t>(v);
    return true;
}

// ClassId or SourceDoc set: the object goes, the text is kept and the object
// is made from it; a text that cannot name one leaves the Container empty.
void Recreate(ObjectRecord* rec, uint32_t id, const char* text, uint32_t length) {
    ContainerRecord* k = ContainerOf(rec);
    OleContainerRelease(rec);
    if (id == kPidSourceDoc) {
        if (!length || !NameIsWhole(text, length, SIZE_MAX)) return;
        ReplaceStrField(text, static_cast<long>(length), &k->sourceDoc);
    } else {
        if (!length || length > kClassIdMax) return;
        CopyClassId(k, text, length);
    }
    ObjectRecord* window = WindowOfRecord(rec);
    OleContainerNew(window, rec, nullptr);
}

int32_t ContainerSetProp(ObjectRecord* rec, PropChange* req) {
    ContainerRecord* k = ContainerOf(rec);
    int32_t v = req->value;
    switch (req->id) {
    case kPidBackStyle:
        if (SetInRange(&k->backStyle, v, kBackStyleRange)) req->redraw = true;
        break;
    case kPidAutoAct: SetInRange(&k->autoAct, v, kAutoActRange); break;
    case kPidSizeMode: {
        RECT old = {rec->left, rec->top, rec->right, rec->bottom};
        if (!SetInRange(&k->sizeMode, v, kSizeModeRange)) break;
        OleObjPropChanged(rec, kPidSizeMode);
        if (k->sizeMode == kSizeModeAutoSize && rec->parent && rec->parent->hwnd)
            InvalidateRect(rec->parent->hwnd, &old, TRUE);
        req->redraw = true;
        break;
    }
    case kPidAutoVerb: k->autoVerb = v ? 1 : 0; break;
    case kPidDisplayType: SetInRange(&k->displayType, v, kDisplayTypeRange); break;
    case kPidClassId:
    case kPidClsid:
    case kPidSourceDoc: {
        ObjectRef ref = ObjectRefOf(rec);
        Recreate(rec, req->id, req->text, req->text ? req->textLength : 0);
        if (!ObjectRefAlive(ref)) return kOpOk;
        req->redraw = true;
        break;
    }
    case kPidOLEDrop: k->oleDrop = v ? 1 : 0; break;
    case kPidUpdateOpt:
        if (SetInRange(&k->updateOpt, v, kUpdateOptRange))
            OleObjSetUpdateOptions(rec, k->updateOpt == kUpdateOnCall ? OLEUPDATE_ONCALL : OLEUPDATE_ALWAYS);
        break;
    case kPidHostName:
        ReplaceStrField(req->text, req->text ? static_cast<long>(req->textLength) : 0, &k->hostName);
        OleObjPropChanged(rec, kPidHostName);
        break;
    case kPidOLETypeA: SetInRange(&k->oleTypeA, v, kOleTypeARange); break;
    case kPidOLEType:
    case kPidStoreId: break;
    default: {
        int32_t rc = ObjectSetCommonProperty(rec, req->id, req->value, req->text, req->textLength, &req->redraw);
        OleObjResize(rec, req->id);
        if (req->redraw) RedrawContainer(rec);
        req->redraw = false;
        return rc;
    }
    }
    if (req->redraw) RedrawContainer(rec);
    req->redraw = false;
    return kOpOk;
}

int32_t ArgValue(const MethodCallRec* call, uint32_t i) {
    if (i >= call->argCount) return 0;
    const EventItem& a = call->args[i];
    if (ItemIsText(a.kind)) {
        char num[16] = {};
        uint32_t n = a.size < sizeof num - 1 ? a.size : sizeof num - 1;
        if (a.data) memcpy(num, a.data, n);
        return static_cast<int32_t>(strtol(num, nullptr, 10));
    }
    return static_cast<int32_t>(a.value);
}

// The "$" method a call names (by its name, else by its number), 0 for none.
uint32_t ContainerMethodOf(const MethodCallRec* call) {
    if (call->name && call->nameLength) {
        if (call->name[0] != '$') return 0;
        for (const MethodName& m : kMethodNames)
            if (strlen(m.name) == call->nameLength && _strnicmp(m.name, call->name, call->nameLength) == 0)
                return m.number;
        return 0;
    }
    return call->method >= kContainerDelete && call->method <= kContainerUpdate ? call->method : 0;
}

int32_t ReplyInt(int32_t value) {
    SetReplyInt(nullptr, value, kReplyKindDone);
    return kNoAnswer;
}

int32_t ContainerMethod(ObjectRecord* rec, MethodCallRec* call) {
    uint32_t method = ContainerMethodOf(call);
    if (method == 0 && call->name && call->nameLength && call->name[0] == '$') return kOpUnknownMethod;
    switch (method) {
    case kContainerDelete: OleContainerRelease(rec); return ReplyInt(1);
    case kContainerDoVerb: FocusAndRunVerb(rec, ArgValue(call, 0), nullptr); return ReplyInt(1);
    case kContainerUpdate: return ReplyInt(OleObjUpdate(rec));
    default: return AutomationInvoke(OleObjGetAutomation(rec), call);
    }
}

const ObjectOps kContainerOps = {
    .show = ObjectShowWindowless,
    .hide = ObjectHideWindowless,
    .destroy = ContainerDestroy,
    .paint = ContainerPaint,
    .getProp = ContainerGetProp,
    .setProp = ContainerSetProp,
    .method = ContainerMethod,
    .oleProp = OleObjProperty,
};

struct ContainerMethodRow {
    uint32_t version;
};
const ContainerMethodRow kContainerMethodRows[] = {{0}, {0}, {0}, {0}};

const MethodDesc* ContainerMethodLookup(uint32_t method, uint32_t) {
    if (method < kContainerDelete || method > kContainerUpdate) return nullptr;
    return reinterpret_cast<const MethodDesc*>(&kContainerMethodRows[method]);
}

// A button pressed in a window or panel: the shown Container under the point
// (client coordinates plus the scroll offsets) takes its verb handling.
void ContainerMouse(ObjectRecord* container, int32_t x, int32_t y, bool right, bool dblClick) {
    ContainerInfo info = {};
    int32_t px = x, py = y;
    if (ContainerInfoOf(container, &info)) {
        if (info.scrollX) px += *info.scrollX;
        if (info.scrollY) py += *info.scrollY;
    }
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (!ContainerOf(c) || !(c->flags & kObjShown)) continue;
        if (px < c->left || px >= c->right || py < c->top || py >= c->bottom) continue;
        OleObjVerbMenu(c, dblClick, x, y, right);
        return;
    }
}

// Enter on a focused Container: as a double click.
bool ContainerEnter(ObjectRecord* rec) {
    if (!ContainerOf(rec)) return false;
    OleObjVerbMenu(rec, true, 0, 0, false);
    return true;
}

// A Container taking the focus with AutoAct 2 runs its primary verb.
int ContainerFocusHook(ObjectRecord* rec) {
    ContainerRecord* k = ContainerOf(rec);
    if (!k) return 0;
    if (k->autoAct == kAutoActOnFocus && k->object) OleObjDoVerb(rec, kVerbPrimary, nullptr);
    return 1;
}

}  // namespace

void ContainerInstall() {
    RegisterObjectCreator(kTypeContainer, ContainerCreate);
    RegisterObjectOps(kKindContainer, &kContainerOps);
    RegisterMethodTable(kTypeContainer, ContainerMethodLookup);
    gGuiHooks.oleMouse = ContainerMouse;
    gGuiHooks.oleEnter = ContainerEnter;
    gComObjectHooks.oleContainerFocus = ContainerFocusHook;
}
