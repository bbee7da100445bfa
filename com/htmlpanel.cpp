// htmlpanel.cpp - the browser host: the site CQovPanelWebBrowser with its five
// faces, embedding the platform's WebBrowser in place, loading text, temporary
// pages or URLs, sizing, drawing, editing commands, keystrokes and closing.
#include "com/htmlsite.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>

thread_local UINT gHtmlCodePage;
thread_local uint32_t gHtmlLoadFlags;
thread_local char gBlankPagePath[MAX_PATH];
HtmlPanelOwnerHooks gHtmlPanelOwner;

const IID kIidHtmlDocument5 = {0x3050f80c, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
const IID kIidHtmlElement3 = {0x3050f673, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
const IID kIidHtmlStyle3 = {0x3050f656, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
const IID kIidHtmlStyle4 = {0x3050f816, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
const IID kIidHtmlStyle5 = {0x3050f33a, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

namespace {

constexpr LONG kInPlaceActivate = OLEIVERB_INPLACEACTIVATE;
constexpr DWORD kHostInfoSize = 20;  // DOCHOSTUIINFO up to its namespace field
constexpr size_t kReadyStateKeep = 39;
const wchar_t kHostName[] = L"My Host Name";

LONG gLiveSites;

bool FileExists(const char* path) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(path, &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

bool WriteWholeFile(const char* path, const char* data, size_t length) {
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, length, f) == length;
    return fclose(f) == 0 && ok;
}

bool TempPagePath(const char* name, char* out, size_t size) {
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir) return false;
    return static_cast<size_t>(snprintf(out, size, "%s%s", dir, name)) < size;
}

// The blank page: its path computed once per thread, the file written when it
// is missing (and only then).
const char* BlankPage() {
    if (!gBlankPagePath[0] && !TempPagePath(kBlankPageName, gBlankPagePath, sizeof gBlankPagePath)) {
        gBlankPagePath[0] = '\0';
        return nullptr;
    }
    if (!FileExists(gBlankPagePath)) WriteWholeFile(gBlankPagePath, kHtmlBlankPage, kHtmlBlankPageSize);
    return gBlankPagePath;
}

bool WrapperPage(const char* text, char* path, size_t size) {
    if (!TempPagePath(kWrapperPageName, path, size)) return false;
    HtmlPageText page;
    if (!HtmlWrapperPageBuild(text, strlen(text), &page)) return false;
    bool ok = WriteWholeFile(path, page.data, page.length);
    HtmlPageTextFree(&page);
    return ok;
}

void Navigate(IWebBrowser2* browser, const char* url) {
    VARIANT target;
    V_VT(&target) = VT_BSTR;
    V_BSTR(&target) = HtmlToBstr(url);
    if (!V_BSTR(&target)) return;
    VARIANT empty;
    VariantInit(&empty);
    browser->Navigate2(&target, &empty, &empty, &empty, &empty);
    VariantClear(&target);
}

void WriteDocument(IHTMLDocument2* doc, const char* text) {
    SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    if (!sa) return;
    VARIANT* item = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(sa, reinterpret_cast<void**>(&item)))) {
        V_VT(item) = VT_BSTR;
        V_BSTR(item) = HtmlToBstr(text);
        SafeArrayUnaccessData(sa);
        if (V_BSTR(item)) doc->write(sa);
    }
    SafeArrayDestroy(sa);
}

// Empty text or "complete": the page can be hooked now.
bool DocumentComplete(IHTMLDocument2* doc) {
    BSTR state = nullptr;
    char text[kReadyStateKeep + 1] = {};
    if (SUCCEEDED(doc->get_readyState(&state)) && state) {
        WideCharToMultiByte(gHtmlCodePage, 0, state, -1, text, kReadyStateKeep, nullptr, nullptr);
        text[kReadyStateKeep] = '\0';
    }
    SysFreeString(state);
    return text[0] == '\0' || strcmp(text, "complete") == 0;
}

}  // namespace

// ---- Text conversion ---------------------------------------------------------------

BSTR HtmlToBstr(const char* text) {
    if (!text) text = "";
    int n = MultiByteToWideChar(gHtmlCodePage, 0, text, -1, nullptr, 0);
    if (n <= 0) return nullptr;
    wchar_t* wide = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(n) * sizeof(wchar_t)));
    if (!wide) return nullptr;
    MultiByteToWideChar(gHtmlCodePage, 0, text, -1, wide, n);
    BSTR b = SysAllocString(wide);
    HeapFree(GetProcessHeap(), 0, wide);
    return b;
}

bool HtmlFromWide(const wchar_t* text, char* out, uint32_t size) {
    if (!out || size == 0) return false;
    out[0] = '\0';
    if (!text) return true;
    int need = WideCharToMultiByte(gHtmlCodePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    // A value that needs the whole buffer or more is left out, never cut.
    if (need <= 0 || static_cast<uint32_t>(need) >= size) return false;
    WideCharToMultiByte(gHtmlCodePage, 0, text, -1, out, static_cast<int>(size), nullptr, nullptr);
    return true;
}

void HtmlWideToCut(const wchar_t* text, UINT codePage, char* out, size_t size) {
    if (!out || size == 0) return;
    out[0] = '\0';
    if (!text) return;
    int room = static_cast<int>(size - 1);
    int take = static_cast<int>(wcslen(text));
    if (take > room) take = room;
    // A multi-byte code page may need more bytes than characters: fewer
    // characters are tried until they fit.
    while (take > 0) {
        int n = WideCharToMultiByte(codePage, 0, text, take, out, room, nullptr, nullptr);
        if (n > 0) {
            out[n] = '\0';
            return;
        }
        take = take > 8 ? take - take / 8 : take - 1;
    }
    out[0] = '\0';
}

IHTMLDocument2* HtmlSiteDocument(CQovPanelWebBrowser* site) {
    if (!site || !site->browser) return nullptr;
    IDispatch* disp = nullptr;
    if (FAILED(site->browser->get_Document(&disp)) || !disp) return nullptr;
    IHTMLDocument2* doc = nullptr;
    disp->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&doc));
    disp->Release();
    return doc;
}

// ---- The site object ---------------------------------------------------------------

CQovPanelWebBrowser::CQovPanelWebBrowser(HWND host) : hostWnd(host) { InterlockedIncrement(&gLiveSites); }
CQovPanelWebBrowser::~CQovPanelWebBrowser() { InterlockedDecrement(&gLiveSites); }

STDMETHODIMP CQovPanelWebBrowser::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
        *out = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow))
        *out = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(iid, IID_IDocHostUIHandler))
        *out = static_cast<IDocHostUIHandler*>(this);
    // IStorage and IOleInPlaceFrame are handed out directly, never by asking.
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}
STDMETHODIMP_(ULONG) CQovPanelWebBrowser::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
STDMETHODIMP_(ULONG) CQovPanelWebBrowser::Release() {
    LONG n = InterlockedDecrement(&refs);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP CQovPanelWebBrowser::SaveObject() { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::GetMoniker(DWORD, DWORD, IMoniker**) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::GetContainer(IOleContainer** out) {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP CQovPanelWebBrowser::ShowObject() { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::OnShowWindow(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::RequestNewObjectLayout() { return E_NOTIMPL; }

STDMETHODIMP CQovPanelWebBrowser::GetWindow(HWND* out) {
    if (!out) return E_POINTER;
    *out = hostWnd;
    return S_OK;
}
STDMETHODIMP CQovPanelWebBrowser::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::CanInPlaceActivate() { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::OnUIActivate() { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                                   LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (frame) {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
    }
    if (doc) *doc = nullptr;
    RECT r = {};
    GetClientRect(hostWnd, &r);
    if (pos) *pos = r;
    if (clip) *clip = r;
    if (info) {
        info->fMDIApp = FALSE;
        info->hwndFrame = hostWnd;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}
STDMETHODIMP CQovPanelWebBrowser::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::DiscardUndoState() { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::DeactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::OnPosRectChange(LPCRECT) { return S_OK; }

// The browser gets the storage face and never stores anything in it.
STDMETHODIMP CQovPanelWebBrowser::CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream**) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::OpenStream(const OLECHAR*, void*, DWORD, DWORD, IStream**) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage**) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::OpenStorage(const OLECHAR*, IStorage*, DWORD, SNB, DWORD, IStorage**) {
    return E_NOTIMPL;
}
STDMETHODIMP CQovPanelWebBrowser::CopyTo(DWORD, const IID*, SNB, IStorage*) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) {
    return E_NOTIMPL;
}
STDMETHODIMP CQovPanelWebBrowser::Commit(DWORD) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::Revert() { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::DestroyElement(const OLECHAR*) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::RenameElement(const OLECHAR*, const OLECHAR*) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*,
                                                  const FILETIME*) {
    return E_NOTIMPL;
}
STDMETHODIMP CQovPanelWebBrowser::SetClass(REFCLSID) { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::SetStateBits(DWORD, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::Stat(STATSTG*, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CQovPanelWebBrowser::GetBorder(LPRECT) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::RequestBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::SetBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::RemoveMenus(HMENU) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP CQovPanelWebBrowser::TranslateAccelerator(LPMSG, WORD) { return E_NOTIMPL; }

// The browser shows its own menu unless the page's contextmenu event was cancelled.
STDMETHODIMP CQovPanelWebBrowser::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) return E_POINTER;
    info->cbSize = kHostInfoSize;
    info->dwFlags = HtmlHostUiFlags(gHtmlLoadFlags);
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->pchHostCss = nullptr;
    info->pchHostNS = nullptr;
    return S_OK;
}
STDMETHODIMP CQovPanelWebBrowser::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                         IOleInPlaceUIWindow*) {
    return E_NOTIMPL;
}
STDMETHODIMP CQovPanelWebBrowser::HideUI() { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::UpdateUI() { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::OnDocWindowActivate(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::OnFrameWindowActivate(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::GetOptionKeyPath(LPOLESTR*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::GetDropTarget(IDropTarget*, IDropTarget**) { return E_NOTIMPL; }
// The page gets no external object; the out pointer is left as the browser set it.
STDMETHODIMP CQovPanelWebBrowser::GetExternal(IDispatch**) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::TranslateUrl(DWORD, LPWSTR, LPWSTR*) { return E_NOTIMPL; }
STDMETHODIMP CQovPanelWebBrowser::FilterDataObject(IDataObject*, IDataObject**) { return E_NOTIMPL; }

// ---- Flat entry functions ---------------------------------------------------------------

static bool Embed(CQovPanelWebBrowser* site) {
    // Wine's ole32 reads the storage it is given; without one OleCreate faults.
    HRESULT hr = OleCreate(CLSID_WebBrowser, IID_IOleObject, OLERENDER_DRAW, nullptr,
                           static_cast<IOleClientSite*>(site), static_cast<IStorage*>(site),
                           reinterpret_cast<void**>(&site->oleObject));
    if (FAILED(hr) || !site->oleObject) {
        site->oleObject = nullptr;
        return false;
    }
    site->oleObject->SetHostNames(kHostName, nullptr);
    GetClientRect(site->hostWnd, &site->rect);
    bool ok = SUCCEEDED(OleSetContainedObject(site->oleObject, TRUE)) &&
              SUCCEEDED(site->oleObject->DoVerb(kInPlaceActivate, nullptr, static_cast<IOleClientSite*>(site), -1,
                                                site->hostWnd, &site->rect)) &&
              SUCCEEDED(site->oleObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&site->browser))) &&
              site->browser;
    if (!ok) {
        if (site->browser) site->browser->Release();
        site->browser = nullptr;
        site->oleObject->Close(OLECLOSE_NOSAVE);
        site->oleObject->Release();
        site->oleObject = nullptr;
        return false;
    }
    site->browser->put_Left(0);
    site->browser->put_Top(0);
    site->browser->put_Width(site->rect.right);
    site->browser->put_Height(site->rect.bottom);
    return true;
}

int32_t HtmlPanelCreate(HWND host, CQovPanelWebBrowser** out) {
    if (out) *out = nullptr;
    CQovPanelWebBrowser* site = new (std::nothrow) CQovPanelWebBrowser(host);
    if (!site) return kPanelNoMemory;
    // The one reference the control holds is the constructor's; a second one
    // here would never be dropped and every load would leak a site.
    if (!Embed(site)) {
        site->Release();
        return kPanelEmbedFailed;
    }
    if (out) *out = site;
    return kPanelOk;
}

int32_t HtmlPanelLoad(CQovPanelWebBrowser* site, const char* text, uint32_t flags, HWND owner, int32_t hookEvents,
                      int32_t* iframe) {
    gHtmlLoadFlags = flags;
    if (iframe) *iframe = 0;
    if (!site || !site->browser) return 0;
    if (!text) text = "";
    HtmlSinksRemove(site, false);
    const char* url = text;
    char wrapper[MAX_PATH];
    bool blank = false;
    if (!(flags & kHtmlLoadUrl)) {
        if (HtmlTextHasIframe(text, strlen(text))) {
            if (!WrapperPage(text, wrapper, sizeof wrapper)) return 0;
            if (iframe) *iframe = 1;
            url = wrapper;
        } else {
            url = BlankPage();
            if (!url) return 0;
            blank = true;
        }
    }
    Navigate(site->browser, url);
    if (flags & kHtmlLoadUrl) return 0;
    IHTMLDocument2* doc = HtmlSiteDocument(site);
    if (!doc) return 0;
    if (blank) WriteDocument(doc, text);
    if (flags & kHtmlLoadHook) {
        if (!hookEvents) {
            HtmlSinksHook(site, doc, owner);
        } else {
            if (DocumentComplete(doc)) HtmlSinksHook(site, doc, owner);
            HtmlSinkAttachDocument(site, doc, owner);
        }
    } else if (hookEvents) {
        HtmlSinkAttachDocument(site, doc, owner);
    }
    doc->Release();
    return 0;
}

int32_t HtmlPanelExecCommand(CQovPanelWebBrowser* site, const char* command) {
    IHTMLDocument2* doc = HtmlSiteDocument(site);
    if (!doc) return 0;
    BSTR name = HtmlToBstr(command);
    if (name) {
        VARIANT value;
        VariantInit(&value);
        VARIANT_BOOL done = VARIANT_FALSE;
        doc->execCommand(name, VARIANT_FALSE, value, &done);
        SysFreeString(name);
    }
    doc->Release();
    return 0;
}

int32_t HtmlPanelResize(CQovPanelWebBrowser* site, HWND wnd, int32_t force) {
    if (!site || !site->browser) return 0;
    RECT r = {};
    GetClientRect(wnd, &r);
    site->browser->put_Resizable(VARIANT_TRUE);
    site->browser->put_Width(r.right);
    site->browser->put_Height(r.bottom);
    IOleInPlaceObject* inPlace = nullptr;
    if (!site->oleObject ||
        FAILED(site->oleObject->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))) ||
        !inPlace)
        return 0;
    if (force) {
        // One pixel larger first: the browser skips a change to the size it
        // already has, so a forced fit always reaches its window.
        RECT grown = {r.left, r.top, r.right + 1, r.bottom + 1};
        inPlace->SetObjectRects(&grown, &grown);
    }
    inPlace->SetObjectRects(&r, &r);
    inPlace->Release();
    return 0;
}

int32_t HtmlPanelDraw(CQovPanelWebBrowser* site, HDC dc, const RECT* rect) {
    if (!site || !site->oleObject || !rect) return E_POINTER;
    return OleDraw(site->oleObject, DVASPECT_CONTENT, dc, rect);
}

int32_t HtmlPanelRelease(CQovPanelWebBrowser* site) {
    if (!site) return 0;
    HtmlSinksRemove(site, false);
    if (site->browser) {
        site->browser->Release();
        site->browser = nullptr;
    }
    if (site->oleObject) {
        site->oleObject->Close(OLECLOSE_NOSAVE);
        site->oleObject->Release();
        site->oleObject = nullptr;
    }
    return static_cast<int32_t>(site->Release());
}

int32_t HtmlPanelTranslateAccel(CQovPanelWebBrowser* site, MSG* m) {
    if (!site || !site->browser) return 0;
    // A page with its own tab order keeps Tab from the browser; the control
    // moves the focus itself.
    if (HtmlSinksHaveTabIds(site)) return 0;
    IOleInPlaceActiveObject* active = nullptr;
    if (FAILED(site->browser->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active))) ||
        !active)
        return 0;
    active->TranslateAccelerator(m);
    active->Release();
    return 1;
}

LONG HtmlPanelLiveSites() { return gLiveSites; }

HRESULT HtmlPanelHostInfo(CQovPanelWebBrowser* site, DWORD* flags, DWORD* size) {
    DOCHOSTUIINFO info = {};
    HRESULT hr = static_cast<IDocHostUIHandler*>(site)->GetHostInfo(&info);
    if (flags) *flags = info.dwFlags;
    if (size) *size = info.cbSize;
    return hr;
}

IUnknown* HtmlPanelUnknown(CQovPanelWebBrowser* site) { return static_cast<IOleClientSite*>(site); }
IWebBrowser2* HtmlPanelBrowser(CQovPanelWebBrowser* site) { return site ? site->browser : nullptr; }
