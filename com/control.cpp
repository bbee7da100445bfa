// control.cpp - the Control object (kind 32): an ActiveX control named by
// ProgID or CLSID, hosted in a window through its CGenObject. Creation with its
// item number and the window's form support, the operation row (show, hide,
// destroy, paint, properties, methods by name), the class information read
// from the control's type library, and the flat entries of the object model.
#include <cstdio>
#include <cstring>
#include <new>

#include "com/autoclient.h"
#include "com/comobjects.h"
#include "com/core/varrules.h"
#include "com/olecontainer.h"
#include "com/oleutil.h"
#include "controls/controls.h"
#include "forms/formload.h"
#include "forms/formsave.h"
#include "forms/formwrite.h"
#include "objects/crstream.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/proto/protocol.h"
#include "session/proto/records.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"


namespace {

constexpr uint32_t kVersionTextMax = 298;
constexpr LCID kTypeLibLocale = 0x400;
constexpr char kDefaultClassName[] = "Control";
constexpr int kMnemonicMax = 64;          // accelerators of one control read for its mnemonic
ControlClassInfo* gClassInfoList;

// ---- Class information -------------------------------------------------------------------

bool ReadKeyDefault(HKEY parent, const char* sub, char* out, LONG size) {
    out[0] = 0;
    LONG n = size;
    if (RegQueryValueA(parent, sub, out, &n) != ERROR_SUCCESS) return false;
    out[size - 1] = 0;
    return true;
}

// "2.10" gives 2 and 10; digits missing after the point give 0.
void ParseVersion(const char* text, WORD* major, WORD* minor) {
    unsigned long ma = 0, mi = 0;
    const char* p = text;
    while (*p >= '0' && *p <= '9') ma = ma * 10 + static_cast<unsigned long>(*p++ - '0');
    if (*p == '.') {
        ++p;
        while (*p >= '0' && *p <= '9') mi = mi * 10 + static_cast<unsigned long>(*p++ - '0');
    }
    *major = static_cast<WORD>(ma);
    *minor = static_cast<WORD>(mi);
}

void CopyName(BSTR name, char* out, size_t cap) {
    out[0] = 0;
    if (!name) return;
    char* a = WideToAnsiTemp(name);
    if (!a) return;
    strncpy(out, a, cap - 1);
    out[cap - 1] = 0;
}

void FreeClassInfo(ControlClassInfo* info) {
    if (!info) return;
    SysFreeString(info->helpFile);
    for (TlbProperty* p = info->properties; p;) {
        TlbProperty* next = p->next;
        delete p;
        p = next;
    }
    delete[] info->events;
    delete info;
}

// The default interface and the default source interface of a coclass.
void DefaultInterfaces(ITypeInfo* coclass, ITypeInfo** def, ITypeInfo** source) {
    *def = *source = nullptr;
    TYPEATTR* ta = nullptr;
    if (FAILED(coclass->GetTypeAttr(&ta))) return;
    for (UINT i = 0; i < ta->cImplTypes; ++i) {
        INT flags = 0;
        HREFTYPE ref;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || !(flags & IMPLTYPEFLAG_FDEFAULT)) continue;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &ref))) continue;
        ITypeInfo** slot = (flags & IMPLTYPEFLAG_FSOURCE) ? source : def;
        if (*slot) continue;
        coclass->GetRefTypeInfo(ref, slot);
    }
    coclass->ReleaseTypeAttr(ta);
}

}  // namespace

bool LoadTypeLibOfClsid(const char* clsidText, ITypeLib** out) {
    *out = nullptr;
    HKEY clsidKey, classKey;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, "CLSID", &clsidKey) != ERROR_SUCCESS) return false;
    LONG rc = RegOpenKeyA(clsidKey, clsidText, &classKey);
    RegCloseKey(clsidKey);
    if (rc != ERROR_SUCCESS) return false;
    char text[kVersionTextMax + 1];
    WORD major = 1, minor = 0;
    if (ReadKeyDefault(classKey, "Version", text, sizeof text)) ParseVersion(text, &major, &minor);
    bool ok = ReadKeyDefault(classKey, "TypeLib", text, sizeof text);
    RegCloseKey(classKey);
    if (!ok) return false;
    GUID lib;
    wchar_t* w = AnsiToWideTemp(text);
    if (!w || FAILED(CLSIDFromString(w, &lib))) return false;
    return SUCCEEDED(LoadRegTypeLib(lib, major, minor, kTypeLibLocale, out));
}

TlbEvent* TlbEventList(ITypeInfo* source, uint32_t* count) {
    *count = 0;
    TYPEATTR* ta = nullptr;
    if (!source || FAILED(source->GetTypeAttr(&ta))) return nullptr;
    UINT n = ta->cFuncs;
    source->ReleaseTypeAttr(ta);
    TlbEvent* list = new (std::nothrow) TlbEvent[n ? n : 1]();
    if (!list) return nullptr;
    for (UINT i = 0; i < n; ++i) {
        FUNCDESC* fd = nullptr;
        BSTR name = nullptr;
        bool ok = SUCCEEDED(source->GetFuncDesc(i, &fd)) && fd->invkind == INVOKE_FUNC &&
                  SUCCEEDED(source->GetDocumentation(fd->memid, &name, nullptr, nullptr, nullptr)) && name;
        if (ok) {
            CopyName(name, list[i].name, kTlbEventNameMax + 1);
            list[i].id = fd->memid;
        }
        SysFreeString(name);
        if (fd) source->ReleaseFuncDesc(fd);
        if (!ok) {
            delete[] list;
            return nullptr;
        }
    }
    *count = n;
    return list;
}

TlbProperty* TlbPropertyList(ITypeInfo* iface) {
    TYPEATTR* ta = nullptr;
    if (!iface || FAILED(iface->GetTypeAttr(&ta))) return nullptr;
    UINT n = ta->cFuncs;
    iface->ReleaseTypeAttr(ta);
    TlbProperty* head = nullptr;
    for (UINT i = 0; i < n; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(iface->GetFuncDesc(i, &fd))) continue;
        bool get = fd->invkind == INVOKE_PROPERTYGET;
        bool put = fd->invkind == INVOKE_PROPERTYPUT || fd->invkind == INVOKE_PROPERTYPUTREF;
        if (get || put) {
            TlbProperty* p = head;
            while (p && p->id != fd->memid) p = p->next;
            if (!p) {
                p = new (std::nothrow) TlbProperty();
                BSTR name = nullptr;
                if (p) {
                    p->id = fd->memid;
                    if (SUCCEEDED(iface->GetDocumentation(fd->memid, &name, nullptr, nullptr, nullptr)))
                        CopyName(name, p->name, kTlbPropNameMax + 1);
                    SysFreeString(name);
                    p->next = head;
                    head = p;
                }
            }
            if (p && get && !p->getType) p->getType = fd->elemdescFunc.tdesc.vt;
            if (p && put && !p->putType && fd->cParams > 0) p->putType = fd->lprgelemdescParam[0].tdesc.vt;
        }
        iface->ReleaseFuncDesc(fd);
    }
    return head;
}

ControlClassInfo* ControlTypeInfoLoad(const char* clsidText, bool properties) {
    CLSID clsid;
    wchar_t* w = AnsiToWideTemp(clsidText);
    if (!w || FAILED(CLSIDFromString(w, &clsid))) return nullptr;
    ITypeLib* lib = nullptr;
    if (!LoadTypeLibOfClsid(clsidText, &lib)) return nullptr;
    ControlClassInfo* info = new (std::nothrow) ControlClassInfo();
    ITypeInfo* coclass = nullptr;
    if (!info || FAILED(lib->GetTypeInfoOfGuid(clsid, &coclass))) {
        delete info;
        lib->Release();
        return nullptr;
    }
    strncpy(info->clsid, clsidText, kClassIdMax);
    BSTR name = nullptr, help = nullptr;
    coclass->GetDocumentation(-1, &name, nullptr, &info->helpContext, properties ? nullptr : &help);
    CopyName(name, info->className, kControlClassNameMax + 1);
    if (!info->className[0]) strcpy(info->className, kDefaultClassName);
    SysFreeString(name);
    info->helpFile = help;
    ITypeInfo *def = nullptr, *source = nullptr;
    DefaultInterfaces(coclass, &def, &source);
    if (properties && def) info->properties = TlbPropertyList(def);
    if (source) info->events = TlbEventList(source, &info->eventCount);
    if (def) def->Release();
    if (source) source->Release();
    coclass->Release();
    lib->Release();
    return info;
}

ControlClassInfo* ControlTypeLibLookup(const char* clsidText) {
    for (ControlClassInfo* p = gClassInfoList; p; p = p->next)
        if (strcmp(p->clsid, clsidText) == 0) return p;
    ControlClassInfo* info = ControlTypeInfoLoad(clsidText, true);
    if (!info) return nullptr;
    info->next = gClassInfoList;
    gClassInfoList = info;
    return info;
}

ControlClassInfo* ControlProgIdToClsid(const char* progId) {
    HKEY key;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, progId, &key) != ERROR_SUCCESS) return nullptr;
    char text[kVersionTextMax + 1];
    bool ok = ReadKeyDefault(key, "CLSID", text, sizeof text);
    RegCloseKey(key);
    return ok ? ControlTypeLibLookup(text) : nullptr;
}

void ControlClassInfoFreeAll() {
    while (gClassInfoList) {
        ControlClassInfo* next = gClassInfoList->next;
        FreeClassInfo(gClassInfoList);
        gClassInfoList = next;
    }
}

// ---- Item numbers ---------------------------------------------------------------------------

ControlRecord* ControlOf(ObjectRecord* rec) {
    return rec && rec->kind == kKindControl ? reinterpret_cast<ControlRecord*>(rec) : nullptr;
}
ContainerRecord* ContainerOf(ObjectRecord* rec) {
    return rec && rec->kind == kKindContainer ? reinterpret_cast<ContainerRecord*>(rec) : nullptr;
}
uint16_t OleItemNumberOf(ObjectRecord* rec) {
    if (ControlRecord* c = ControlOf(rec)) return c->itemNumber;
    if (ContainerRecord* k = ContainerOf(rec)) return k->itemNumber;
    return 0;
}
CGenObject* OleObjectOf(ObjectRecord* rec) {
    if (ControlRecord* c = ControlOf(rec)) return c->object;
    if (ContainerRecord* k = ContainerOf(rec)) return k->object;
    return nullptr;
}

void OleItemNumbersMark(ObjectRecord* container, uint8_t* used) {
    int guard = 0;
    for (ObjectRecord* c = container->children; c && guard < 100000; c = c->next, ++guard) {
        uint16_t n = OleItemNumberOf(c);
        if (n && n < kItemNumberLimit) used[n] = 1;
        else if (c->kind == kKindPanel && !ObjectIsWebView(c)) OleItemNumbersMark(c, used);
    }
}

uint16_t OleItemNumberAlloc(ObjectRecord* window) {
    uint8_t used[kItemNumberLimit] = {};
    if (window) OleItemNumbersMark(window, used);
    for (uint32_t n = 1; n < kItemNumberLimit; ++n)
        if (!used[n]) return static_cast<uint16_t>(n);
    return 0;
}

int32_t OleObjectSlots(ObjectRecord** window, ObjectRecord* rec, uint16_t* itemNumber) {
    ObjectRecord* top = *window ? ObjectTopWindow(*window) : nullptr;
    if (!top) top = rec->parent;
    *window = top;
    *itemNumber = OleItemNumberAlloc(top);
    if (!*itemNumber) return kDetailNoItemNumber;
    // The program's path names the window's objects for links; design mode has none.
    char path[MAX_PATH];
    const char* moniker = nullptr;
    if (!gDesignMode && GetModuleFileNameA(nullptr, path, MAX_PATH)) moniker = path;
    return OleFormEnsure(top, moniker) ? 0 : kDetailNoFormSupport;
}

// ---- The flat entries ------------------------------------------------------------------------

namespace {

CGenObject* GenOf(ObjectRecord* rec) { return OleObjectOf(rec); }

}  // namespace

bool OleClassIdToClsid(const char* text, CLSID* clsid) {
    wchar_t* w = AnsiToWideTemp(text);
    HRESULT hr = !w ? E_OUTOFMEMORY : text[0] == '{' ? CLSIDFromString(w, clsid) : CLSIDFromProgID(w, clsid);
    if (FAILED(hr)) SetWinErrorText(static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

int OleControlNew(ObjectRecord* window, ObjectRecord* rec, OleStoreInfo* store, BOOL visible) {
    ControlRecord* c = ControlOf(rec);
    if (!c) return 0;
    CGenObject* g = GenObjNew(window, rec, store);
    CLSID clsid;
    bool ok = g && OleClassIdToClsid(c->classId, &clsid);
    // The record may be gone when the control's creation pumped messages.
    ObjectRef ref = ObjectRefOf(rec);
    if (ok) ok = GenObjCreateControl(g, clsid, !(store && store->itemNumber), visible) != FALSE;
    if (ok && ObjectRefAlive(ref)) {
        c->object = g;
        return 1;
    }
    if (g) {
        GenObjRelease(g);
        GenObjUnref(g);
    }
    if (ObjectRefAlive(ref)) c->classId[0] = 0;
    return 0;
}

void OleControlRelease(ObjectRecord* rec) {
    ControlRecord* c = ControlOf(rec);
    if (!c) return;
    c->classId[0] = 0;
    CGenObject* g = c->object;
    if (!g) return;
    c->object = nullptr;
    GenObjRelease(g);
    GenObjUnref(g);
}

void OleObjDraw(ObjectRecord* rec, HDC hdc) { GenObjDraw(GenOf(rec), hdc); }
void OleObjDoVerb(ObjectRecord* rec, LONG verb, MSG* msg) { GenObjDoVerb(GenOf(rec), verb, msg); }
AutoClient* OleObjGetAutomation(ObjectRecord* rec) { return GenObjGetAutomation(GenOf(rec)); }

void OleObjGetDispatchVariant(ObjectRecord* rec, VARIANT* v) {
    AutoClient* a = OleObjGetAutomation(rec);
    IDispatch* d = a ? AutoGetDispatch(a, false) : nullptr;
    if (!d) return;
    V_VT(v) = VT_DISPATCH;
    V_DISPATCH(v) = d;
}

HRESULT OleObjPropertyPages(ObjectRecord* rec, HWND owner, DISPID id, const CLSID* page) {
    CGenObject* g = GenOf(rec);
    return g ? GenObjPropertyPages(g, owner, id, page) : E_FAIL;
}

int OleObjSetFocus(ObjectRecord* rec) { return GenObjFocus(GenOf(rec)); }
int OleObjShowState(ObjectRecord* rec, int state) { return GenObjShowState(GenOf(rec), state); }

void OleObjResize(ObjectRecord* rec, uint32_t propId) {
    CGenObject* g = GenOf(rec);
    if (!g) return;
    if (propId == kPidHeight || propId == kPidLeft || propId == kPidTop || propId == kPidWidth) {
        GenObjSetObjectRects(g);
        GenObjSyncExtent(g);
    }
}

void OleObjPropChanged(ObjectRecord* rec, uint32_t propId) {
    CGenObject* g = GenOf(rec);
    if (!g) return;
    if (propId == kPidSizeMode) {
        GenObjSetObjectRects(g);
        GenObjSyncExtent(g);
    } else if (propId == kPidHostName) {
        GenObjSetHostNames(g);
    } else {
        OleObjResize(rec, propId);
    }
}

void OleObjMnemonic(ObjectRecord* rec, MSG* msg) { GenObjMnemonic(GenOf(rec), msg); }
void OleObjAmbientChanged(ObjectRecord* rec, DISPID id) { GenObjAmbientChanged(GenOf(rec), id); }

// ---- Creation ------------------------------------------------------------------------------------

namespace {

int32_t Detailed(int32_t detail, int32_t* code) {
    gObjectCreateDetail = detail;
    *code = kCtlCreateDetailed;
    return kCtlCreateDetailed;
}

void FreeControl(ControlRecord* c) {
    ObjectFreeCommon(&c->hdr);
    ObjectFreeRecord(&c->hdr);
}

// The type-info lookup while creating in design mode or with client-mode bit 0.
// A text that does not begin with "{" is a ProgID and goes through its CLSID
// whatever bit 0 says: the lookup by CLSID text cannot find a ProgID.
ControlClassInfo* LookUpClass(const char* classId) {
    if (classId[0] == '{') return ControlTypeLibLookup(classId);
    return ControlProgIdToClsid(classId);
}

}  // namespace

ObjectRecord* ControlCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    if (!RuntimeOleLibraries()) {
        *code = kOpNoMemory;
        return nullptr;
    }
    RuntimeOleStart();
    gObjectCreateDetail = 0;
    if (!cr->classId.text || cr->classId.length == 0) {
        Detailed(kDetailNoClassId, code);
        return nullptr;
    }
    OleStoreInfo* store = static_cast<OleStoreInfo*>(cr->oleStore);
    // Without saved data of its own a control with a StoreId takes the
    // temporary file of the last XML save (client-mode bit 0); otherwise its
    // StoreId counts as 0.
    OleStoreInfo temp = {};
    if (!store && gFormOleTemp.size && (gClientModeFlags & 1) && cr->storeId) {
        temp = gFormOleTemp;
        store = &temp;
    }
    auto* c = reinterpret_cast<ControlRecord*>(ObjectAllocRecord(kKindControl, sizeof(ControlRecord), false));
    if (!c) {
        *code = kCtlCreateNoMemory;
        return nullptr;
    }
    ObjectRecord* window = nullptr;
    if (!ObjectInitCommon(&c->hdr, cr, &window)) {
        ObjectFreeRecord(&c->hdr);
        *code = kCtlCreateNoObject;
        return nullptr;
    }
    c->hdr.flags |= kObjAlive | kStateBit8;
    if (cr->flags0 & kCrFlagBit4) c->hdr.flags |= kStateBit29;
    if (!ObjectSetRect(&c->hdr, cr->top, cr->height, cr->left, cr->width)) {
        FreeControl(c);
        *code = kCtlCreateBadRect;
        return nullptr;
    }
    uint32_t n = cr->classId.length > kClassIdMax ? kClassIdMax : cr->classId.length;
    memcpy(c->classId, cr->classId.text, n);
    c->classId[n] = 0;
    if (gDesignMode || (gClientModeFlags & 1)) {
        c->typeInfo = LookUpClass(c->classId);
        if (!c->typeInfo) {
            FreeControl(c);
            *code = kCtlCreateNoObject;
            return nullptr;
        }
    }
    int32_t detail = OleObjectSlots(&window, &c->hdr, &c->itemNumber);
    if (detail) {
        FreeControl(c);
        Detailed(detail, code);
        return nullptr;
    }
    if (store) store->itemNumber = static_cast<uint16_t>(cr->storeId);
    gErrorText[0] = 0;
    CopyCreateStrings(&c->hdr, cr);
    ObjectRef ref = ObjectRefOf(&c->hdr);
    bool made = OleControlNew(window, &c->hdr, store, (cr->flags0 & kCrVisible) ? TRUE : FALSE) != 0;
    // The temporary file is read afresh by the next control: a later XML save
    // rewrites it, so its storage is not kept open past this one.
    if (store == &temp) OleFormReleaseStorage(window);
    if (!made) {
        if (ObjectRefAlive(ref)) FreeControl(c);
        Detailed(kDetailControlFailed, code);
        return nullptr;
    }
    LinkObject(&c->hdr);
    if (cr->flags0 & kCrVisible) {
        ObjectActivate(&c->hdr, 0, 0, 0, 0);
        if (window && window->hwnd) SendMessageA(window->hwnd, kControlShownMessage, 0, 0);
    }
    ObjectSaveLayout(&c->hdr, 0);
    return &c->hdr;
}

// ---- The operation row ------------------------------------------------------------------------

namespace {

int32_t ControlShow(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    NoteObjectShown(rec);
    ObjectRef ref = ObjectRefOf(rec);
    OleObjShowState(rec, 5);
    if (!ObjectRefAlive(ref)) return kOpOk;
    RedrawObject(rec, false);
    return kOpOk;
}

int32_t ControlHide(ObjectRecord* rec) {
    NoteObjectHidden(rec);
    ObjectRef ref = ObjectRefOf(rec);
    OleObjShowState(rec, 0);
    if (!ObjectRefAlive(ref)) return kOpOk;
    RedrawObject(rec, true);
    return kOpOk;
}

int32_t ControlDestroy(ObjectRecord* rec) {
    ControlRecord* c = ControlOf(rec);
    if (!c) return kOpNoObject;
    WindowRecord* w = ObjectAsWindow(ObjectTopWindow(rec));
    if (w && w->defaultButton == rec) w->defaultButton = nullptr;
    ObjectFreeCommon(rec);
    OleControlRelease(rec);
    ReplaceStrField(nullptr, 0, &c->remServer);
    ObjectFreeRecord(rec);
    return kOpOk;
}

int32_t ControlPaint(ObjectRecord* rec, void* dc, int32_t) {
    if (!dc || rec->hwnd) return kOpOk;
    HDC hdc = static_cast<HDC>(dc);
    int saved = SaveDC(hdc);
    IntersectClipRect(hdc, rec->left, rec->top, rec->right, rec->bottom);
    OleObjDraw(rec, hdc);
    RestoreDC(hdc, saved);
    return kOpOk;
}

void TextResult(const char* t) {
    size_t n = t ? strlen(t) : 0;
    if (n > kTextBufSize) n = kTextBufSize;
    memcpy(gTextBuf, t ? t : "", n);
    gTextBuf[n] = 0;
}

uint32_t ControlGetProp(ObjectRecord* rec, uint32_t id) {
    ControlRecord* c = ControlOf(rec);
    switch (id) {
    case kPidClassId:
    case kPidClsid: TextResult(c->classId); return 0;
    case kPidStoreId: return c->object ? c->itemNumber : 0;
    case kPidStreamId: return 0;
    case kPidRemServer: TextResult(c->remServer); return 0;
    default: return static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
    }
}

int32_t ControlSetProp(ObjectRecord* rec, PropChange* req) {
    int32_t rc = ObjectSetCommonProperty(rec, req->id, req->value, req->text, req->textLength, &req->redraw);
    OleObjResize(rec, req->id);
    return rc;
}

int32_t ControlMethod(ObjectRecord* rec, MethodCallRec* call) {
    return AutomationInvoke(OleObjGetAutomation(rec), call);
}

}  // namespace

int32_t OleObjProperty(ObjectRecord* rec, OlePropReq* set, OlePropReq* get) {
    AutoClient* a = OleObjGetAutomation(rec);
    if (!a) return kAutoNoDispatch;
    return AutomationPropAccess(a, set, get);
}

static const ObjectOps kControlOps = {
    .show = ControlShow,
    .hide = ControlHide,
    .destroy = ControlDestroy,
    .paint = ControlPaint,
    .getProp = ControlGetProp,
    .setProp = ControlSetProp,
    .method = ControlMethod,
    .oleProp = OleObjProperty,
};

// ---- Hooks of the windows layer -------------------------------------------------------------

namespace {

ObjectRecord* TopRecordOf(HWND wnd) {
    HWND root = wnd ? GetAncestor(wnd, GA_ROOT) : nullptr;
    return root ? ObjectFromHwnd(root) : nullptr;
}

// Whether an accelerator of the control's CONTROLINFO matches the key message.
bool MnemonicMatches(ControlRecord* c, const MSG* m) {
    if (!c->infoValid || !c->info.hAccel || c->info.cAccel == 0) return false;
    ACCEL table[kMnemonicMax];
    int n = CopyAcceleratorTableA(c->info.hAccel, table, kMnemonicMax);
    bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0 || m->message == WM_SYSKEYDOWN;
    for (int i = 0; i < n; ++i) {
        if (!(table[i].fVirt & FVIRTKEY)) continue;
        if (table[i].key != static_cast<WORD>(m->wParam)) continue;
        if (((table[i].fVirt & FALT) != 0) != alt) continue;
        return true;
    }
    return false;
}

ControlRecord* FindMnemonic(ObjectRecord* container, const MSG* m) {
    for (ObjectRecord* c = container->children; c; c = c->next) {
        ControlRecord* ctl = ControlOf(c);
        if (ctl && ctl->object && (c->flags & kObjShown) && MnemonicMatches(ctl, m)) return ctl;
        if (c->kind == kKindPanel && !ObjectIsWebView(c)) {
            ControlRecord* inner = FindMnemonic(c, m);
            if (inner) return inner;
        }
    }
    return nullptr;
}

// The pump's pre-translation: the window's in-place active control first,
// then a control whose mnemonic the key is.
bool OleAccelerator(MSG* m) {
    if (m->message < WM_KEYFIRST || m->message > WM_KEYLAST) return false;
    ObjectRecord* top = TopRecordOf(m->hwnd);
    if (!top || !OleFormOf(top)) return false;
    if (OleFormTranslateAccel(top, m)) return true;
    if (m->message != WM_SYSKEYDOWN && m->message != WM_KEYDOWN) return false;
    ControlRecord* c = FindMnemonic(top, m);
    if (!c) return false;
    OleObjMnemonic(&c->hdr, m);
    return true;
}

// Window method 24 ControlPropertyPage(Control, DISPID, page CLSID): the
// control's property frame, owned by the window, opened at that property; an
// empty or absent page text shows the control's own pages. 1 when the frame
// ran, 0 when it could not be shown; -3 without a Control with its control.
int32_t ControlPropertyPageMethod(ObjectRecord* win, MethodCallRec* call) {
    if (call->argCount < 1 || (call->args[0].kind != kItemObject && call->args[0].kind != kItemObject2))
        return kCtlCreateNoObject;
    ObjectRecord* rec = ObjectFromHandle(static_cast<uint32_t>(call->args[0].value));
    if (!ControlOf(rec) || !ControlOf(rec)->object) return kCtlCreateNoObject;
    DISPID id = call->argCount > 1 && !ItemIsText(call->args[1].kind) ? static_cast<DISPID>(call->args[1].value) : 0;
    CLSID page;
    bool withPage = false;
    if (call->argCount > 2 && ItemIsText(call->args[2].kind) && call->args[2].data && call->args[2].size) {
        char text[kClassIdMax + 1];
        uint32_t n = call->args[2].size > kClassIdMax ? kClassIdMax : call->args[2].size;
        memcpy(text, call->args[2].data, n);
        text[n] = 0;
        wchar_t* w = AnsiToWideTemp(text);
        withPage = w && SUCCEEDED(CLSIDFromString(w, &page));
        if (!withPage) return 0;
    }
    return SUCCEEDED(OleObjPropertyPages(rec, win ? win->hwnd : nullptr, id, withPage ? &page : nullptr)) ? 1 : 0;
}

// The window events reach the window's OLE frame support, when it has one.
bool HasOleSupport(ObjectRecord* win) {
    WindowRecord* w = ObjectAsWindow(win);
    return w && w->oleSupport;
}
void OleFrameActivateHook(ObjectRecord* win, bool active) {
    if (HasOleSupport(win)) OleFormFrameActivate(win, active ? TRUE : FALSE);
}
void OleWindowGone(ObjectRecord* win, bool) { OleFormRelease(win); }
void OleFontHook(ObjectRecord* win, bool) {
    if (!HasOleSupport(win)) return;
    OleFormUpdateFont(win);
    // The controls read the ambient font again.
    for (ObjectRecord* c = win->children; c; c = c->next)
        if (ControlOf(c)) OleObjAmbientChanged(c, kAmbFont);
}

int OleSetFocusHook(ObjectRecord* rec) { return OleObjSetFocus(rec); }
void OleAmbientHook(ObjectRecord* rec, int32_t id) { OleObjAmbientChanged(rec, id); }
void OleMovedHook(ObjectRecord* rec) { OleObjResize(rec, kPidWidth); }

// A form save and load read a Control's class text and events from its type information.
// Outside design mode a control is made without its type information: the
// first save or load that asks looks it up, as design mode would have.
const ControlClassInfo* ClassInfoOf(void* object) {
    ControlRecord* c = ControlOf(static_cast<ObjectRecord*>(object));
    if (c && !c->typeInfo && c->classId[0]) c->typeInfo = LookUpClass(c->classId);
    return c ? c->typeInfo : nullptr;
}
const char* FormControlClass(void* object) {
    const ControlClassInfo* info = ClassInfoOf(object);
    return info ? info->className : nullptr;
}
uint32_t FormControlEventCount(void* object) {
    const ControlClassInfo* info = ClassInfoOf(object);
    return info && info->events ? info->eventCount : 0;
}
bool FormControlEventAt(void* object, uint32_t index, const char** name, uint32_t* id) {
    const ControlClassInfo* info = ClassInfoOf(object);
    if (!info || !info->events || index >= info->eventCount) return false;
    *name = info->events[index].name;
    *id = static_cast<uint32_t>(info->events[index].id);
    return true;
}

}  // namespace

void OleContainerInstall() {
    ContainerInstall();
    gFormCreatorHooks.oleReleaseStorage = OleFormReleaseStorage;
    gFormCreatorHooks.oleWindowMoved = OleFormWindowMoved;
    gFormSaveFileHooks.oleArea = OleFormAreaBytes;
    gFormSaveFileHooks.oleSaveToTemp = OleFormSaveToTemp;
    gFormControlHooks = FormControlHooks{FormControlClass, FormControlEventCount, FormControlEventAt};
    gControlHooks.typeLibBrowseClassId = TypeLibBrowseClassId;
    RegisterObjectCreator(kTypeControl, ControlCreate);
    RegisterObjectOps(kKindControl, &kControlOps);
    gComObjectHooks.oleSetFocus = OleSetFocusHook;
    gComObjectHooks.oleAmbientChanged = OleAmbientHook;
    gComObjectHooks.oleMoved = OleMovedHook;
    gGuiHooks.oleAccelerator = OleAccelerator;
    WindowEventSubscribe(kWindowDestroyed, OleWindowGone);
    gGuiHooks.controlPropertyPage = ControlPropertyPageMethod;
    WindowEventSubscribe(kWindowActivated, OleFrameActivateHook);
    WindowEventSubscribe(kWindowFontChanged, OleFontHook);
}
