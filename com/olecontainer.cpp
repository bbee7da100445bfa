// olecontainer.cpp - the container side of one hosted ActiveX control
// (CGenObject): creation by class, persistence, the activation sequence,
// drawing, verbs, focus, mnemonics and release. Its site objects are in
// olesites.cpp, the window's form support (in-place frame, item container,
// drop target) in oleframe.cpp.
#include "com/olecontainer.h"
#include "com/oleinternal.h"

#include <cstdio>
#include <new>
#include <oledlg.h>

#include "com/autoclient.h"
#include "com/autoserver.h"
#include "com/oleutil.h"
#include "forms/formload.h"
#include "session/config.h"
#include "session/session.h"
#include "session/util/strutil.h"

namespace {

constexpr int kOffScreen = 32000;              // the off-screen shift of an invisible-at-run-time control
constexpr int kIconBoxWidth = 110, kIconBoxHeight = 62;
constexpr LCID kLocaleUserDefault = 0x400;
constexpr ULONG kPropFrameParamsSize = 44;
constexpr DWORD kAspectAll = static_cast<DWORD>(-1);
constexpr LONG kIndexAll = -1;
constexpr DWORD kTymedAll = static_cast<DWORD>(-1);
constexpr uint32_t kVerbTextMax = 256;
constexpr DWORD kFileNameMax = 260;
constexpr char kInsertCaption[] = "Insert Object";
constexpr char kHostApp[] = "QO/V Application";
constexpr char kHostForm[] = "QO/V Form";
constexpr char kPropPagesCaption[] = "Property Pages";
constexpr size_t kBlobNameSize = 32;
constexpr DWORD kStorageMode = STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kStreamCreateMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kStreamOpenMode = STGM_SHARE_EXCLUSIVE | STGM_READWRITE;

void WinErr(unsigned long code) { SetWinErrorText(code); }

}  // namespace

// The window a site belongs to: the one a form load is filling, else the given one.
ObjectRecord* SiteWindow(ObjectRecord* given) {
    if (gFormLoadInProgress && gFormLoadContext && gFormLoadContext->window) return gFormLoadContext->window;
    return given;
}

// ---- CGenObject ------------------------------------------------------------------------------------

STDMETHODIMP CGenObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    IUnknown* p = IsEqualIID(iid, IID_IUnknown) ? this : GenObjSiteFace(this, iid);
    if (!p) return E_NOINTERFACE;
    p->AddRef();
    *out = p;
    return S_OK;
}

CGenObject::~CGenObject() {
    ReleaseAndClear(stream);
    GenObjFreeSites(this);
    AutoClient* a = automation;
    automation = nullptr;
    AutoClientFree(a);
    ReleaseAndClear(itemMoniker);
    ReleaseAndClear(containerMoniker);
    GenObjLeaveForm(this);
}

ULONG GenObjAddRef(CGenObject* g) { return g ? g->AddRef() : 0; }
ULONG GenObjUnref(CGenObject* g) { return g ? g->Release() : 0; }

GenObjState GenObjInspect(CGenObject* g) {
    GenObjState s = {};
    if (!g) return s;
    s.miscStatus = g->miscStatus;
    s.aspect = g->aspect;
    s.extent = g->extent;
    s.inPlaceActive = g->inPlaceActive;
    s.uiActive = g->uiActive;
    s.openInWindow = g->openInWindow;
    s.inPlaceLocks = g->inPlaceLocks;
    s.deactivatePending = g->deactivatePending;
    s.notifyConnected = g->notifyConnected;
    s.closeNotices = GenObjCloseNotices(g);
    s.oleObject = g->oleObject;
    s.oleControl = g->oleControl;
    return s;
}

IUnknown* GenObjSite(CGenObject* g, REFIID iid) {
    IUnknown* p = nullptr;
    if (!g || FAILED(g->QueryInterface(iid, reinterpret_cast<void**>(&p)))) return nullptr;
    return p;
}

static void BlobName(uint32_t number, wchar_t* out) {
    swprintf(out, kBlobNameSize, L"QovBlob%lu", static_cast<unsigned long>(number));
}

// A new sub-storage in the form's root; with saved data for the object, the
// saved sub-storage of its item number is copied in. A saved storage that
// cannot be opened, or has no such sub-storage, leaves the new one empty.
static HRESULT GenObjOpenStorage(CGenObject* g, OleStoreInfo* store) {
    IStorage* root = OleFormRootStorage(g->formOle);
    if (!root) return E_FAIL;
    wchar_t name[kBlobNameSize];
    BlobName(g->itemNumber, name);
    HRESULT hr = root->CreateStorage(name, kStorageMode, 0, 0, &g->storage);
    if (FAILED(hr) || !store || !store->itemNumber) return hr;
    IStorage* saved = FormSavedStorage(g->formOle, store);
    if (!saved) return hr;
    wchar_t savedName[kBlobNameSize];
    BlobName(store->itemNumber, savedName);
    IStorage* from = nullptr;
    if (SUCCEEDED(saved->OpenStorage(savedName, nullptr, kStreamOpenMode | STGM_TRANSACTED, nullptr, 0, &from))) {
        if (SUCCEEDED(from->CopyTo(0, nullptr, nullptr, g->storage))) g->storage->Commit(0);
        from->Release();
    }
    return hr;
}

CGenObject* GenObjNew(ObjectRecord* window, ObjectRecord* rec, OleStoreInfo* store) {
    CGenObject* g = new (std::nothrow) CGenObject();
    if (!g) return nullptr;
    g->window = SiteWindow(window);
    g->formOle = OleFormOf(window);
    if (g->formOle) {
        g->formOle->AddRef();
        g->formOle->objects++;
    }
    g->itemId = reinterpret_cast<uintptr_t>(g);
    // The form support is tested before its moniker is read.
    if (!g->formOle) {
        delete g;
        return nullptr;
    }
    IMoniker* fm = OleFormMoniker(g->formOle);
    if (fm) {
        fm->AddRef();
        g->containerMoniker = fm;
        wchar_t item[40];
        swprintf(item, 40, L"QovItem%lu", static_cast<unsigned long>(g->itemId));
        CreateItemMoniker(L"!", item, &g->itemMoniker);
    }
    g->object = rec;
    if (ControlOf(rec)) g->control = rec;
    if (ContainerRecord* k = ContainerOf(rec)) {
        g->container = rec;
        if (k->displayType == kDisplayIcon) g->aspect = DVASPECT_ICON;
    }
    g->itemNumber = OleItemNumberOf(rec);
    g->pos = RECT{rec->left, rec->top, rec->right, rec->bottom};
    if (FAILED(GenObjOpenStorage(g, store))) {
        delete g;
        return nullptr;
    }
    if (!GenObjMakeSites(g)) {
        ReleaseAndClear(g->storage);
        delete g;
        return nullptr;
    }
    g->AddRef();
    return g;
}

static void SetClientSite(CGenObject* g) {
    IOleClientSite* site = nullptr;
    g->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
    g->oleObject->SetClientSite(site);
    if (site) site->Release();
}

// True when a storage holds no element: the state of an object that saved
// nothing (its class alone).
static bool StorageIsEmpty(IStorage* stg) {
    IEnumSTATSTG* e = nullptr;
    if (!stg || FAILED(stg->EnumElements(0, nullptr, 0, &e)) || !e) return false;
    STATSTG st = {};
    ULONG got = 0;
    bool empty = e->Next(1, &st, &got) != S_OK || got == 0;
    if (got) CoTaskMemFree(st.pwcsName);
    e->Release();
    return empty;
}

static bool StreamIsEmpty(IStream* stream) {
    STATSTG st = {};
    return stream && SUCCEEDED(stream->Stat(&st, STATFLAG_NONAME)) && st.cbSize.QuadPart == 0;
}

// A control initialised new, or loaded from its saved state. A state saved
// empty, or a control that cannot load one (E_NOTIMPL), starts new: the
// control could not save itself either, and its class is all the form keeps.
static HRESULT GenObjPersistNew(CGenObject* g, BOOL isNew) {
    IPersistStorage* ps = nullptr;
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&ps)))) {
        HRESULT hr = isNew || StorageIsEmpty(g->storage) ? E_NOTIMPL : ps->Load(g->storage);
        if (hr == E_NOTIMPL) hr = ps->InitNew(g->storage);
        ps->Release();
        return hr;
    }
    IPersistStreamInit* psi = nullptr;
    HRESULT hr = g->oleObject->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&psi));
    if (FAILED(hr)) return hr;
    if (isNew) {
        hr = g->storage->CreateStream(L"Ctrl", kStreamCreateMode, 0, 0, &g->stream);
        if (SUCCEEDED(hr)) hr = psi->InitNew();
    } else {
        hr = g->storage->OpenStream(L"Ctrl", nullptr, kStreamOpenMode, 0, &g->stream);
        if (SUCCEEDED(hr)) {
            hr = StreamIsEmpty(g->stream) ? E_NOTIMPL : psi->Load(g->stream);
            if (hr == E_NOTIMPL) hr = psi->InitNew();
        }
    }
    psi->Release();
    return hr;
}

static void MoveRecord(ObjectRecord* rec, int d) {
    rec->left += d;
    rec->top += d;
    rec->right += d;
    rec->bottom += d;
}

static BOOL GenObjConnectControl(CGenObject* g);

static BOOL GenObjSetup(CGenObject* g, BOOL showAfter, HGLOBAL iconPict, BOOL visible) {
    IAdviseSink* sink = nullptr;
    g->QueryInterface(IID_IAdviseSink, reinterpret_cast<void**>(&sink));
    if (SUCCEEDED(g->oleObject->Advise(sink, &g->oleCookie))) g->oleAdvised = 1;
    IViewObject2* view = nullptr;
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)))) {
        view->SetAdvise(g->aspect, ADVF_PRIMEFIRST, sink);
        view->GetExtent(g->aspect, -1, nullptr, &g->extent);
        view->Release();
    } else {
        g->oleObject->GetExtent(g->aspect, &g->extent);
    }
    IDataObject* data = nullptr;
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&data)))) {
        FORMATETC fe = {0, nullptr, kAspectAll, kIndexAll, kTymedAll};
        if (SUCCEEDED(data->DAdvise(&fe, ADVF_NODATA, sink, &g->dataCookie))) g->dataAdvised = 1;
        data->Release();
    }
    if (sink) sink->Release();
    GenObjSyncExtent(g);
    g->oleObject->GetMiscStatus(g->aspect, &g->miscStatus);
    if (g->miscStatus & kMiscAlwaysRun) OleRun(g->oleObject);
    if (g->miscStatus & kMiscOnlyIconic) g->aspect = DVASPECT_ICON;
    GenObjSetHostNames(g);
    OleSetContainedObject(g->oleObject, TRUE);
    // The display type is a Container's field: an iconic Control has none to
    // write (Wine's script control is ONLYICONIC), so only a Container's is.
    if (ContainerRecord* k = ContainerOf(g->container)) {
        if (g->aspect == DVASPECT_ICON) {
            k->displayType = kDisplayIcon;
            DWORD aspect = DVASPECT_CONTENT;
            SwitchDisplayAspect(g->oleObject, &aspect, DVASPECT_ICON, iconPict, FALSE, FALSE, nullptr, nullptr);
            g->oleObject->GetExtent(DVASPECT_ICON, &g->iconExtent);
        } else {
            k->displayType = kDisplayContent;
        }
    }
    if (showAfter) {
        GenObjSave(g);
        GenObjDoVerb(g, OLEIVERB_SHOW, nullptr);
    }
    if (g->miscStatus & kMiscActivateWhenVisible) {
        if (visible && (!(g->miscStatus & kMiscInvisibleAtRuntime) || gDesignMode == 1)) {
            GenObjDoVerb(g, OLEIVERB_INPLACEACTIVATE, nullptr);
            return TRUE;
        }
        ObjectRef ref = ObjectRefOf(g->object);
        MoveRecord(g->object, -kOffScreen);
        GenObjDoVerb(g, OLEIVERB_INPLACEACTIVATE, nullptr);
        GenObjDoVerb(g, OLEIVERB_HIDE, nullptr);
        if (!ObjectRefAlive(ref)) return FALSE;
        MoveRecord(g->object, kOffScreen);
        GenObjSetObjectRects(g);
    }
    return TRUE;
}

static BOOL GenObjConnectControl(CGenObject* g) {
    if (FAILED(g->oleObject->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&g->oleControl)))) return FALSE;
    ControlRecord* c = ControlOf(g->control);
    if (c) {
        c->info.cb = sizeof c->info;
        c->infoValid = SUCCEEDED(g->oleControl->GetControlInfo(&c->info)) ? 1 : 0;
    }
    IPropertyNotifySink* sink = GenObjNotifySink(g);
    IConnectionPointContainer* cpc = nullptr;
    if (sink &&
        SUCCEEDED(g->oleObject->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)))) {
        IConnectionPoint* cp = nullptr;
        if (SUCCEEDED(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &cp))) {
            g->notifyConnected = SUCCEEDED(cp->Advise(sink, &g->notifyCookie)) ? 1 : 0;
            cp->Release();
        }
        cpc->Release();
    }
    return TRUE;
}

BOOL GenObjCreateControl(CGenObject* g, REFCLSID clsid, BOOL isNew, BOOL visible) {
    if (!g) return FALSE;
    if (!GenObjMakeControlSites(g)) return FALSE;
    HRESULT hr = CreateObjectFromClass(clsid, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IOleObject,
                                       reinterpret_cast<void**>(&g->oleObject), nullptr);
    if (FAILED(hr) || !g->oleObject) {
        g->oleObject = nullptr;
        WinErr(static_cast<unsigned long>(FAILED(hr) ? hr : E_NOINTERFACE));
        return FALSE;
    }
    g->oleObject->GetMiscStatus(DVASPECT_CONTENT, &g->miscStatus);
    bool siteFirst = (g->miscStatus & kMiscSetClientSiteFirst) != 0;
    if (siteFirst) SetClientSite(g);
    hr = GenObjPersistNew(g, isNew);
    if (FAILED(hr)) {
        WinErr(static_cast<unsigned long>(hr));
        return FALSE;
    }
    if (!siteFirst) SetClientSite(g);
    if (!GenObjSetup(g, FALSE, nullptr, visible) || !GenObjConnectControl(g)) {
        if (!gErrorText[0]) WinErr(static_cast<unsigned long>(E_NOINTERFACE));
        return FALSE;
    }
    g->automation = AutoClientCreate(clsid, g->oleObject, g->object);
    return TRUE;
}

// ---- Container objects -------------------------------------------------------------------------

// Mode 9: the saved object. A state saved empty, or an object that cannot
// load one (E_NOTIMPL), is made new of the class its sub-storage names.
static HRESULT LoadSaved(CGenObject* g, IOleClientSite* site, void** out) {
    HRESULT hr = StorageIsEmpty(g->storage) ? E_NOTIMPL : OleLoad(g->storage, IID_IOleObject, site, out);
    if (hr != E_NOTIMPL) return hr;
    CLSID clsid;
    if (FAILED(ReadClassStg(g->storage, &clsid)) || IsEqualCLSID(clsid, CLSID_NULL)) return hr;
    return OleCreate(clsid, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out);
}

// The object of a Container by its creation mode; every call asks for
// IOleObject drawn by the object itself, with the client site and the
// object's sub-storage.
static HRESULT CreateByMode(CGenObject* g, uint16_t mode, const CLSID* clsid, const char* file, IDataObject* data,
                            BOOL* showAfter) {
    IOleClientSite* site = nullptr;
    g->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
    void** out = reinterpret_cast<void**>(&g->oleObject);
    wchar_t* wfile = nullptr;
    wchar_t path[kFileNameMax + 1] = L"";
    if (file) {
        wfile = AnsiToWideTemp(file);
        if (wfile) lstrcpynW(path, wfile, kFileNameMax + 1);
    }
    HRESULT hr = E_FAIL;
    switch (mode) {
    case kModeLinkFile:
        hr = file ? OleCreateLinkToFile(path, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out)
                  : E_INVALIDARG;
        break;
    case kModeLinkData:
        hr = data ? OleCreateLinkFromData(data, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out)
                  : E_INVALIDARG;
        break;
    case kModeStatic:
        hr = data ? OleCreateStaticFromData(data, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out)
                  : E_INVALIDARG;
        break;
    case kModeNew:
        hr = clsid ? OleCreate(*clsid, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out) : E_INVALIDARG;
        *showAfter = TRUE;
        break;
    case kModeFromFile:
        hr = file ? OleCreateFromFile(CLSID_NULL, path, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage,
                                      out)
                  : E_INVALIDARG;
        break;
    case kModeFromData:
        hr = data ? OleCreateFromData(data, IID_IOleObject, OLERENDER_DRAW, nullptr, site, g->storage, out)
                  : E_INVALIDARG;
        break;
    case kModeLoad: hr = LoadSaved(g, site, out); break;
    default: hr = E_FAIL; break;
    }
    if (site) site->Release();
    if (FAILED(hr)) g->oleObject = nullptr;
    return hr;
}

// Mode 1: a control chosen in the Insert Object dialog, created as a Control's
// control is and initialised new.
static HRESULT CreateControlMode(CGenObject* g, const CLSID& clsid) {
    if (!GenObjMakeControlSites(g)) return E_OUTOFMEMORY;
    HRESULT hr = CreateObjectFromClass(clsid, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IOleObject,
                                       reinterpret_cast<void**>(&g->oleObject), nullptr);
    if (FAILED(hr) || !g->oleObject) {
        g->oleObject = nullptr;
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    g->oleObject->GetMiscStatus(DVASPECT_CONTENT, &g->miscStatus);
    bool siteFirst = (g->miscStatus & kMiscSetClientSiteFirst) != 0;
    if (siteFirst) SetClientSite(g);
    hr = GenObjPersistNew(g, TRUE);
    if (FAILED(hr)) return hr;
    if (!siteFirst) SetClientSite(g);
    return S_OK;
}

// The record's ClassId becomes the object's ProgID (empty without one). An
// object that cannot tell its class (Wine's script control) keeps the text it had.
static void TakeProgId(CGenObject* g) {
    ContainerRecord* k = ContainerOf(g->container);
    CLSID clsid;
    if (!k || FAILED(g->oleObject->GetUserClassID(&clsid))) return;
    LPOLESTR progId = nullptr;
    k->classId[0] = 0;
    if (SUCCEEDED(ProgIDFromCLSID(clsid, &progId)) && progId) {
        char* a = WideToAnsiTemp(progId);
        if (a) {
            strncpy(k->classId, a, kClassIdMax);
            k->classId[kClassIdMax] = 0;
        }
    }
    IMalloc* m = nullptr;
    if (progId && SUCCEEDED(CoGetMalloc(1, &m))) {
        m->Free(progId);
        m->Release();
    }
}

BOOL GenObjCreate(CGenObject* g, const CLSID* clsid, const char* file, IDataObject* data, HGLOBAL iconPict) {
    ContainerRecord* k = g ? ContainerOf(g->container) : nullptr;
    if (!k) return FALSE;
    BOOL showAfter = FALSE;
    HRESULT hr = k->mode == kModeControl ? (clsid ? CreateControlMode(g, *clsid) : E_INVALIDARG)
                                         : CreateByMode(g, k->mode, clsid, file, data, &showAfter);
    if (FAILED(hr) || !g->oleObject) {
        WinErr(static_cast<unsigned long>(FAILED(hr) ? hr : E_FAIL));
        return FALSE;
    }
    TakeProgId(g);
    ObjectRef ref = ObjectRefOf(g->container);
    if (!GenObjSetup(g, showAfter, iconPict, TRUE) || !ObjectRefAlive(ref)) return FALSE;
    GenObjConnectControl(g);
    g->automation = AutoClientCreate(clsid ? *clsid : CLSID_NULL, g->oleObject, g->object);
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IOleLink, reinterpret_cast<void**>(&g->oleLink)))) {
        k->mode = kModeLinkData;
        if (k->updateOpt == kUpdateOnCall) {
            GenObjSetUpdateOptions(g, OLEUPDATE_ONCALL);
        } else {
            GenObjSetUpdateOptions(g, OLEUPDATE_ALWAYS);
            GenObjUpdate(g);
        }
    }
    return TRUE;
}

BOOL GenObjSetUpdateOptions(CGenObject* g, DWORD option) {
    return g && g->oleLink && SUCCEEDED(g->oleLink->SetUpdateOptions(option));
}

BOOL GenObjUpdate(CGenObject* g) {
    if (!g || !g->oleObject) return FALSE;
    if (!g->oleLink) return g->oleObject->Update() >= 0;
    IBindCtx* bc = nullptr;
    if (FAILED(CreateBindCtx(0, &bc))) return FALSE;
    HRESULT hr = g->oleLink->Update(bc);
    bc->Release();
    return hr >= 0;
}

BOOL GenObjInsertDialog(CGenObject* g, BOOL fromFile) {
    // The insert-object dialog's library is loaded first: no dialog without it.
    if (!SysLibNeed(kSysLibOleDlg)) return FALSE;
    ContainerRecord* k = g ? ContainerOf(g->container) : nullptr;
    if (!k) return FALSE;
    char fileName[kFileNameMax] = "";
    OLEUIINSERTOBJECTA io = {};
    io.cbStruct = sizeof io;
    io.dwFlags = fromFile ? IOF_SELECTCREATEFROMFILE : IOF_SELECTCREATENEW;
    if (k->oleTypeA == kOleTypeANoLink) io.dwFlags |= IOF_DISABLELINK;
    io.hWndOwner = g->window ? g->window->hwnd : nullptr;
    io.lpszCaption = kInsertCaption;
    io.lpszFile = fileName;
    io.cchFile = kFileNameMax;
    if (OleUIInsertObjectA(&io) != OLEUI_OK) return FALSE;
    g->aspect = DVASPECT_CONTENT;
    HGLOBAL icon = (io.dwFlags & IOF_CHECKDISPLAYASICON) ? io.hMetaPict : nullptr;
    if (icon) g->aspect = DVASPECT_ICON;
    BOOL ok = FALSE;
    if (io.dwFlags & (IOF_SELECTCREATENEW | IOF_SELECTCREATECONTROL)) {
        k->mode = (io.dwFlags & IOF_SELECTCREATENEW) ? kModeNew : kModeControl;
        ok = GenObjCreate(g, &io.clsid, nullptr, nullptr, icon);
    } else {
        k->mode = (io.dwFlags & IOF_CHECKLINK) ? kModeLinkFile : kModeFromFile;
        ReplaceStrField(fileName, static_cast<long>(strlen(fileName)), &k->sourceDoc);
        ok = GenObjCreate(g, nullptr, fileName, nullptr, icon);
    }
    MetafilePictFree(io.hMetaPict);
    return ok;
}

// The object's verbs at position - 1 of the menu: a cascade that
// OleUIAddVerbMenuA makes for several verbs is flattened into the menu.
void GenObjVerbMenu(CGenObject* g, HMENU menu, UINT position) {
    if (!SysLibNeed(kSysLibOleDlg)) return;   // no verbs without the library
    if (!g || !g->oleObject || !menu || position == 0) return;
    HMENU cascade = nullptr;
    OleUIAddVerbMenuA(g->oleObject, nullptr, menu, position, kOleVerbFirstId, kOleVerbLastId, FALSE, 0, &cascade);
    if (!cascade) return;
    RemoveMenu(menu, position - 1, MF_BYPOSITION);
    int n = GetMenuItemCount(cascade);
    for (int i = 0; i < n; ++i) {
        char text[kVerbTextMax + 1] = "";
        MENUITEMINFOA mi = {};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = kVerbTextMax;
        if (!GetMenuItemInfoA(cascade, static_cast<UINT>(i), TRUE, &mi)) continue;
        text[kVerbTextMax] = 0;
        InsertMenuA(menu, position - 1 + static_cast<UINT>(i), MF_BYPOSITION | MF_STRING | mi.fState, mi.wID, text);
    }
    DestroyMenu(cascade);
}

void GenObjSetRecord(CGenObject* g, ObjectRecord* rec) {
    if (!g) return;
    g->object = rec;
    g->container = ContainerOf(rec) ? rec : nullptr;
    g->control = ControlOf(rec) ? rec : nullptr;
}

// ---- Rectangles, extent, host names ------------------------------------------------------------

void OleFitBySmallerFactor(int32_t width, int32_t height, int32_t extentX, int32_t extentY, int32_t* outW,
                           int32_t* outH) {
    *outW = width;
    *outH = height;
    if (extentX <= 0) extentX = width;
    if (extentY <= 0) extentY = height;
    if (extentX <= 0 || extentY <= 0) return;
    int64_t fx = static_cast<int64_t>(width) * 1000 / extentX;
    int64_t fy = static_cast<int64_t>(height) * 1000 / extentY;
    if (fx <= 0 || fy <= 0) return;
    // The limiting direction keeps its full side; the other is scaled by the
    // same factor (never beyond the rectangle).
    if (fx <= fy) {
        int64_t h = static_cast<int64_t>(extentY) * fx / 1000;
        *outH = static_cast<int32_t>(h < height ? h : height);
    } else {
        int64_t w = static_cast<int64_t>(extentX) * fy / 1000;
        *outW = static_cast<int32_t>(w < width ? w : width);
    }
}

static RECT DeflatedRect(ObjectRecord* rec) {
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    if (rec->flags & kObjBorder) InflateRect(&r, (rec->flags & kObj3D) ? -2 : -1, (rec->flags & kObj3D) ? -2 : -1);
    return r;
}

RECT GenObjRect(CGenObject* g, bool inPlace) {
    ObjectRecord* rec = g->object;
    // A control may call its sites after its record went (GenObjRelease).
    if (!rec) return RECT{0, 0, 0, 0};
    RECT r = DeflatedRect(rec);
    ContainerRecord* k = ContainerOf(g->container);
    if (k && !inPlace && k->sizeMode != kSizeModeStretch) {
        int32_t width = r.right - r.left, height = r.bottom - r.top;
        int32_t ex = g->extent.cx ? HimetricToPixelsX(nullptr, g->extent.cx) : width;
        int32_t ey = g->extent.cy ? HimetricToPixelsY(nullptr, g->extent.cy) : height;
        if (k->sizeMode == kSizeModeFit) OleFitBySmallerFactor(width, height, ex, ey, &ex, &ey);
        r.right = r.left + ex;
        r.bottom = r.top + ey;
    }
    WindowRecord* w = ObjectAsWindow(rec->parent);
    if (w) OffsetRect(&r, -w->scrollX, -w->scrollY);
    return r;
}

void GenObjSetObjectRects(CGenObject* g) {
    if (!g || !g->inPlaceActive || !g->inPlaceObject) return;
    RECT r = GenObjRect(g, true);
    RECT clip = {0, 0, 0, 0};
    ObjectRecord* parent = g->object->parent;
    if (parent && parent->hwnd) GetClientRect(parent->hwnd, &clip);
    g->inPlaceObject->SetObjectRects(&r, &clip);
}

void GenObjSyncExtent(CGenObject* g) {
    if (!g || !g->oleObject) return;
    ContainerRecord* k = ContainerOf(g->container);
    if (k && k->sizeMode == kSizeModeAutoSize) {
        // The record takes the object's size: top-left plus the extent in
        // pixels (a side of 0 stays), the border added around it.
        ObjectRecord* rec = g->container;
        RECT r = DeflatedRect(rec);
        int32_t pad = (rec->left - r.left);
        if (g->extent.cx) rec->right = r.left + HimetricToPixelsX(nullptr, g->extent.cx) - pad;
        if (g->extent.cy) rec->bottom = r.top + HimetricToPixelsY(nullptr, g->extent.cy) - pad;
    }
    if (!(g->miscStatus & kMiscRecomposeOnResize)) return;
    bool wasRunning = OleIsRunning(g->oleObject) != FALSE;
    if (!wasRunning) OleRun(g->oleObject);
    RECT r = GenObjRect(g, false);
    SIZE px = {r.right - r.left, r.bottom - r.top};
    SIZE hm;
    PixelsToHimetric(nullptr, &px, &hm);
    SIZEL ext = {hm.cx, hm.cy};
    g->oleObject->SetExtent(g->aspect, &ext);
    g->oleObject->Update();
    if (!wasRunning) g->oleObject->Close(OLECLOSE_SAVEIFDIRTY);
}

void GenObjSetHostNames(CGenObject* g) {
    if (!g || !g->oleObject) return;
    wchar_t app[32], form[kContainerTextMax + 1];
    MultiByteToWideChar(CP_ACP, 0, kHostApp, -1, app, 32);
    ContainerRecord* k = ContainerOf(g->container);
    const char* host = k && k->hostName && k->hostName[0] ? k->hostName : kHostForm;
    if (!MultiByteToWideChar(CP_ACP, 0, host, -1, form, kContainerTextMax + 1)) form[kContainerTextMax] = 0;
    g->oleObject->SetHostNames(app, form);
}

// ---- Drawing, verbs, focus ----------------------------------------------------------------------

void GenObjDraw(CGenObject* g, HDC hdc) {
    if (!g || !g->oleObject || g->inPlaceActive) return;
    if ((g->miscStatus & kMiscInvisibleAtRuntime) && gDesignMode == 0) return;
    RECT r = GenObjRect(g, false);
    RECTL bounds = {r.left, r.top, r.right, r.bottom};
    if (g->aspect == DVASPECT_ICON) {
        int w = g->iconExtent.cx ? HimetricToPixelsX(hdc, g->iconExtent.cx) : kIconBoxWidth;
        int h = g->iconExtent.cy ? HimetricToPixelsY(hdc, g->iconExtent.cy) : kIconBoxHeight;
        bounds = RECTL{r.left, r.top, r.left + w, r.top + h};
    }
    IViewObject* view = nullptr;
    HRESULT hr = E_FAIL;
    if (SUCCEEDED(g->oleObject->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)))) {
        hr = view->Draw(g->aspect, -1, nullptr, nullptr, nullptr, hdc, &bounds, nullptr, nullptr, 0);
        view->Release();
    }
    if (FAILED(hr)) OleDraw(g->oleObject, g->aspect, hdc, &r);
    if (g->openInWindow) {
        HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, RGB(0, 0, 0));
        HGDIOBJ old = SelectObject(hdc, hatch);
        int rop = SetROP2(hdc, R2_MASKPEN);
        Rectangle(hdc, r.left, r.top, r.right, r.bottom);
        SetROP2(hdc, rop);
        SelectObject(hdc, old);
        DeleteObject(hatch);
    }
}

void GenObjDoVerb(CGenObject* g, LONG verb, MSG* msg) {
    if (!g || !g->oleObject) return;
    OleRun(g->oleObject);
    IOleClientSite* site = nullptr;
    g->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
    RECT r = GenObjRect(g, true);
    HWND wnd = g->window ? g->window->hwnd : nullptr;
    if (g->object && g->object->parent && g->object->parent->hwnd) wnd = g->object->parent->hwnd;
    g->oleObject->DoVerb(verb, msg, site, -1, wnd, &r);
    if (site) site->Release();
}

int GenObjShowState(CGenObject* g, int state) {
    if (!g || !g->oleObject) return 0;
    ObjectRecord* rec = g->object;
    if (!rec->hwnd && g->inPlaceActive && g->inPlaceObject) {
        HWND wnd = nullptr;
        if (SUCCEEDED(g->inPlaceObject->GetWindow(&wnd)) && wnd) {
            rec->hwnd = wnd;
            if (UnlinkObject(rec)) LinkObject(rec);
        }
    }
    int visible = rec->hwnd ? (IsWindowVisible(rec->hwnd) ? 1 : 0) : 0;
    if (state == 0) {
        GenObjDoVerb(g, OLEIVERB_HIDE, nullptr);
    } else if (state == 1 || state == 4 || state == 5) {
        if (!(g->miscStatus & kMiscInvisibleAtRuntime) || gDesignMode == 1) GenObjDoVerb(g, OLEIVERB_SHOW, nullptr);
    }
    return visible;
}

int GenObjFocus(CGenObject* g) {
    if (!g || !g->oleObject) return 0;
    if (g->automation) {
        VARIANT v;
        VariantInit(&v);
        if (AutoPropGet(g->automation, nullptr, kDispIdEnabled, nullptr, &v) == 0 && V_VT(&v) == VT_BOOL &&
            V_BOOL(&v) == VARIANT_FALSE)
            return 0;
        VariantClear(&v);
    }
    // The verb may pump; the record is looked up again before it is read.
    ObjectRef ref = ObjectRefOf(g->object);
    if (!(g->miscStatus & kMiscNoUiActivate)) GenObjDoVerb(g, OLEIVERB_UIACTIVATE, nullptr);
    if (ObjectRefAlive(ref) && g->object->hwnd) SetFocus(g->object->hwnd);
    return 1;
}

void GenObjMnemonic(CGenObject* g, MSG* msg) {
    if (!g || !g->oleControl) return;
    if (!(g->miscStatus & kMiscNoUiActivate)) GenObjFocus(g);
    if (g->oleControl) g->oleControl->OnMnemonic(msg);
}

void GenObjAmbientChanged(CGenObject* g, DISPID id) {
    if (g && g->oleControl) g->oleControl->OnAmbientPropertyChange(id);
}

HRESULT GenObjPropertyPages(CGenObject* g, HWND owner, DISPID id, const CLSID* page) {
    if (!g || !g->oleObject) return E_FAIL;
    wchar_t caption[32];
    MultiByteToWideChar(CP_ACP, 0, kPropPagesCaption, -1, caption, 32);
    IUnknown* obj = g->oleObject;
    if (page) {
        OCPFIPARAMS p = {};
        p.cbStructSize = kPropFrameParamsSize;
        p.hWndOwner = owner;
        p.lpszCaption = caption;
        p.cObjects = 1;
        p.lplpUnk = &obj;
        p.cPages = 1;
        p.lpPages = const_cast<CLSID*>(page);
        p.lcid = kLocaleUserDefault;
        p.dispidInitialProperty = id;
        return OleCreatePropertyFrameIndirect(&p);
    }
    return OleCreatePropertyFrame(owner, 0, 0, caption, 1, &obj, 0, nullptr, kLocaleUserDefault, 0, nullptr);
}

// ---- Saving, deactivation, release -------------------------------------------------------------

HRESULT GenObjSave(CGenObject* g) {
    if (!g || !g->oleObject) return E_FAIL;
    if (g->stream) {
        IPersistStreamInit* psi = nullptr;
        HRESULT hr = g->oleObject->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&psi));
        if (FAILED(hr)) return hr;
        LARGE_INTEGER zero = {};
        g->stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        hr = psi->Save(g->stream, TRUE);
        psi->Release();
        // A control that cannot save leaves an empty state, never a stale one.
        if (hr == E_NOTIMPL) g->stream->SetSize(ULARGE_INTEGER{});
        g->stream->Commit(0);
        if (g->storage) g->storage->Commit(0);
        return hr;
    }
    if (!g->storage) return S_OK;
    IPersistStorage* ps = nullptr;
    if (FAILED(g->oleObject->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&ps)))) return E_FAIL;
    HRESULT hr = OleSave(ps, g->storage, TRUE);
    ps->SaveCompleted(nullptr);
    ps->Release();
    g->storage->Commit(0);
    return hr;
}

void GenObjDeactivate(CGenObject* g, int force) {
    if (!g) return;
    if (g->uiActive && g->inPlaceObject) g->inPlaceObject->UIDeactivate();
    if (force == 1 || !(g->miscStatus & kMiscActivateWhenVisible)) {
        if (g->inPlaceLocks == 0) {
            if (g->inPlaceObject) g->inPlaceObject->InPlaceDeactivate();
        } else {
            g->deactivatePending = 1;
        }
    }
}

void GenObjClose(CGenObject* g) {
    if (!g || !g->oleObject) return;
    if (g->inPlaceActive) GenObjDeactivate(g, 1);
    g->oleObject->Close(OLECLOSE_NOSAVE);
}

void GenObjRelease(CGenObject* g) {
    if (!g || g->released) return;
    g->released = true;
    // Holds itself: the object's last release of a site may come in between.
    g->AddRef();
    GenObjClose(g);
    ReleaseAndClear(g->oleLink);
    if (g->oleObject) {
        IViewObject* view = nullptr;
        if (SUCCEEDED(g->oleObject->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)))) {
            view->SetAdvise(g->aspect, 0, nullptr);
            view->Release();
        }
        if (g->oleAdvised) g->oleObject->Unadvise(g->oleCookie);
        IDataObject* data = nullptr;
        if (g->dataAdvised &&
            SUCCEEDED(g->oleObject->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&data)))) {
            data->DUnadvise(g->dataCookie);
            data->Release();
        }
        if (g->notifyConnected) {
            IConnectionPointContainer* cpc = nullptr;
            if (SUCCEEDED(g->oleObject->QueryInterface(IID_IConnectionPointContainer,
                                                       reinterpret_cast<void**>(&cpc)))) {
                IConnectionPoint* cp = nullptr;
                if (SUCCEEDED(cpc->FindConnectionPoint(IID_IPropertyNotifySink, &cp))) {
                    cp->Unadvise(g->notifyCookie);
                    cp->Release();
                }
                cpc->Release();
            }
            g->notifyConnected = 0;
        }
    }
    g->oleAdvised = g->dataAdvised = 0;
    // The event connection goes before the object so no late event reaches a freed record.
    AutoClient* a = g->automation;
    g->automation = nullptr;
    AutoClientFree(a);
    ReleaseAndClear(g->stream);
    if (g->storage) {
        g->storage->Commit(0);
        ReleaseAndClear(g->storage);
        IStorage* root = OleFormRootStorage(g->formOle);
        if (root) {
            wchar_t name[kBlobNameSize];
            BlobName(g->itemNumber, name);
            root->DestroyElement(name);
            root->Commit(0);
        }
    }
    ReleaseAndClear(g->oleControl);
    ReleaseAndClear(g->inPlaceObject);
    if (g->oleObject) {
        g->oleObject->SetClientSite(nullptr);
        ReleaseAndClear(g->oleObject);
    }
    if (g->formOle && g->formOle->uiActiveObject == g) {
        g->formOle->uiActiveObject = nullptr;
        g->formOle->uiActiveFlag = 0;
    }
    // The records go with the object; sites a control still holds find none.
    g->object = nullptr;
    g->control = nullptr;
    g->window = nullptr;
    GenObjLeaveForm(g);
    g->Release();
}

AutoClient* GenObjGetAutomation(CGenObject* g) {
    if (!g) return nullptr;
    if (!g->automation && g->oleObject) {
        OleRun(g->oleObject);
        g->automation = AutoClientCreate(CLSID_NULL, g->oleObject, g->object);
    }
    return g->automation;
}

IUnknown* GenObjGetUnknown(CGenObject* g) {
    IUnknown* u = nullptr;
    if (!g || !g->oleObject || FAILED(g->oleObject->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u))))
        return nullptr;
    return u;
}
