// htmlsite.h - the browser host's own classes, shared by its three files: the
// site with its five faces and the DOM event sink.
#pragma once

#include <windows.h>

#include <exdisp.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ole2.h>

#include <cstdint>

#include "com/core/htmlrules.h"
#include "com/htmlpanel.h"

// Interfaces whose identifiers MinGW's uuid library does not carry.
extern const IID kIidHtmlDocument5;
extern const IID kIidHtmlElement3;
extern const IID kIidHtmlStyle3;
extern const IID kIidHtmlStyle4;
extern const IID kIidHtmlStyle5;

// The handler object set on the document and on each marked element.
class CQovWebEvent final : public IDispatch {
public:
    LONG refs = 0;
    IHTMLWindow2* window = nullptr;  // the document's window (held)
    HWND owner = nullptr;            // the HTML control's window
    uint8_t marks[kWebEvCount] = {};
    int32_t genericFocus = 0;
    int32_t tabId = -1;
    IHTMLElement* element = nullptr; // held; null for the document sink
    IHTMLInputElement* input = nullptr;  // held while onchange is attached
    CQovWebEvent* next = nullptr;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override;
    // The event's part that the owner handles (Invoke runs it under the guard).
    void Deliver(IHTMLEventObj* ev, const char* type, const char* id, const char* target, bool ctrl, long keyCode);
};

class CQovPanelWebBrowser final : public IOleClientSite, public IOleInPlaceSite, public IStorage,
                            public IOleInPlaceFrame, public IDocHostUIHandler {
public:
    explicit CQovPanelWebBrowser(HWND host);
    ~CQovPanelWebBrowser();
    LONG refs = 1;
    HWND hostWnd;
    IWebBrowser2* browser = nullptr;
    RECT rect = {};
    IOleObject* oleObject = nullptr;
    CQovWebEvent* sinks = nullptr;       // element sinks, newest first
    CQovWebEvent* docSink = nullptr;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** out) override;
    STDMETHODIMP GetContainer(IOleContainer** out) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL show) override;
    STDMETHODIMP RequestNewObjectLayout() override;
    // IOleWindow (both the site and the frame)
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE extent) override;
    STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT pos) override;
    // IStorage
    STDMETHODIMP CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream**) override;
    STDMETHODIMP OpenStream(const OLECHAR*, void*, DWORD, DWORD, IStream**) override;
    STDMETHODIMP CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage**) override;
    STDMETHODIMP OpenStorage(const OLECHAR*, IStorage*, DWORD, SNB, DWORD, IStorage**) override;
    STDMETHODIMP CopyTo(DWORD, const IID*, SNB, IStorage*) override;
    STDMETHODIMP MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) override;
    STDMETHODIMP Commit(DWORD) override;
    STDMETHODIMP Revert() override;
    STDMETHODIMP EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) override;
    STDMETHODIMP DestroyElement(const OLECHAR*) override;
    STDMETHODIMP RenameElement(const OLECHAR*, const OLECHAR*) override;
    STDMETHODIMP SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*) override;
    STDMETHODIMP SetClass(REFCLSID) override;
    STDMETHODIMP SetStateBits(DWORD, DWORD) override;
    STDMETHODIMP Stat(STATSTG*, DWORD) override;
    // IOleInPlaceUIWindow / IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override;
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override;
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override;
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override;
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override;
    STDMETHODIMP RemoveMenus(HMENU) override;
    STDMETHODIMP SetStatusText(LPCOLESTR) override;
    STDMETHODIMP EnableModeless(BOOL) override;
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override;
    // IDocHostUIHandler
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override;
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override;
    STDMETHODIMP HideUI() override;
    STDMETHODIMP UpdateUI() override;
    STDMETHODIMP OnDocWindowActivate(BOOL) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL) override;
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override;
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR*, DWORD) override;
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override;
    STDMETHODIMP GetExternal(IDispatch**) override;
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR*) override;
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject**) override;
};

// Text conversion with gHtmlCodePage.
BSTR HtmlToBstr(const char* text);
// Wide text into out (size bytes with the NUL), cut at a character boundary
// when it does not fit; never written past size.
void HtmlWideToCut(const wchar_t* text, UINT codePage, char* out, size_t size);
// Wide text into out (size bytes with the NUL); false when it does not fit whole.
bool HtmlFromWide(const wchar_t* text, char* out, uint32_t size);
// The browser's current document, with a reference, or null.
IHTMLDocument2* HtmlSiteDocument(CQovPanelWebBrowser* site);

// Sinks (webevent.cpp).
void HtmlSinksRemove(CQovPanelWebBrowser* site, bool keepDocument);
void HtmlSinksHook(CQovPanelWebBrowser* site, IHTMLDocument2* doc, HWND owner);
void HtmlSinkAttachDocument(CQovPanelWebBrowser* site, IHTMLDocument2* doc, HWND owner);
bool HtmlSinksHaveTabIds(const CQovPanelWebBrowser* site);
