// webevent.cpp - the DOM event sink CQovWebEvent of the browser host: hooking
// the page's marked elements ("data-qovevent", "data-qovtabid"), the document's
// focus, menu and ready-state handlers, turning events into the control's JSON
// event or its focus bookkeeping, the marked disabled state, hidden focus and
// the page's own tab order.
#include <cstring>
#include <new>
#include <vector>

#include "com/htmlsite.h"
#include "session/nomem.h"

namespace {

const wchar_t kAttrEvents[] = L"data-qovevent";
const wchar_t kAttrTabId[] = L"data-qovtabid";
const wchar_t kAttrEnable[] = L"data-qovenable";
constexpr int32_t kNoTabId = -1;
constexpr size_t kElementIdKeep = 32;

VARIANT DispatchVariant(IDispatch* d) {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = d;
    return v;
}

// Sets (or, with a null handler, clears) the handler property of one event id
// through the interface that carries it.
void PutHandler(IHTMLElement* el, IHTMLInputElement* input, uint8_t id, IDispatch* handler) {
    VARIANT v = DispatchVariant(handler);
    switch (id) {
    case kWebEvClick: el->put_onclick(v); break;
    case kWebEvChange: if (input) input->put_onchange(v); break;
    case kWebEvDblClick: el->put_ondblclick(v); break;
    case kWebEvKeyDown: el->put_onkeydown(v); break;
    case kWebEvKeyUp: el->put_onkeyup(v); break;
    case kWebEvKeyPress: el->put_onkeypress(v); break;
    case kWebEvMouseOut: el->put_onmouseout(v); break;
    case kWebEvMouseOver: el->put_onmouseover(v); break;
    case kWebEvMouseMove: el->put_onmousemove(v); break;
    case kWebEvMouseDown: el->put_onmousedown(v); break;
    case kWebEvMouseUp: el->put_onmouseup(v); break;
    case kWebEvBlur: case kWebEvFocus: {
        IHTMLElement2* el2 = nullptr;
        if (SUCCEEDED(el->QueryInterface(IID_IHTMLElement2, reinterpret_cast<void**>(&el2))) && el2) {
            if (id == kWebEvBlur) el2->put_onblur(v);
            else el2->put_onfocus(v);
            el2->Release();
        }
        break;
    }
    default: break;
    }
}

void PutDocumentHandlers(IHTMLDocument2* doc, IDispatch* handler) {
    VARIANT v = DispatchVariant(handler);
    IHTMLDocument5* doc5 = nullptr;
    if (SUCCEEDED(doc->QueryInterface(kIidHtmlDocument5, reinterpret_cast<void**>(&doc5))) && doc5) {
        doc5->put_onfocusin(v);
        doc5->put_onfocusout(v);
        doc5->Release();
    }
    IHTMLDocument3* doc3 = nullptr;
    if (SUCCEEDED(doc->QueryInterface(IID_IHTMLDocument3, reinterpret_cast<void**>(&doc3))) && doc3) {
        doc3->put_oncontextmenu(v);
        doc3->Release();
    }
    doc->put_onreadystatechange(v);
}

CQovWebEvent* SinkCreate(IHTMLDocument2* doc, HWND owner, IHTMLElement* element) {
    IHTMLWindow2* window = nullptr;
    if (FAILED(doc->get_parentWindow(&window)) || !window) return nullptr;
    CQovWebEvent* sink = new (std::nothrow) CQovWebEvent;
    if (!sink) {
        window->Release();
        return nullptr;
    }
    sink->window = window;
    sink->owner = owner;
    sink->element = element;
    return sink;
}

void SinkDetach(CQovWebEvent* sink) {
    if (!sink->window) return;
    if (sink->element) {
        for (uint8_t id = kWebEvClick; id < kWebEvCount; ++id) {
            if (!sink->marks[id]) continue;
            sink->marks[id] = 0;
            PutHandler(sink->element, sink->input, id, nullptr);
        }
        if (sink->input) sink->input->Release();
        sink->input = nullptr;
        sink->element->Release();
        sink->element = nullptr;
    }
    sink->window->Release();
    sink->window = nullptr;
}

// Attaches the handlers the event list names; a tab id or "focus" adds onfocus
// after the list.
void SinkAttach(CQovWebEvent* sink, const char* list, bool hasTabId) {
    bool generic = false;
    uint32_t marks = WebEventMarks(list, strlen(list), false, &generic);
    for (uint8_t id = kWebEvClick; id < kWebEvFocus; ++id) {
        if (!(marks & (1u << id)) || sink->marks[id]) continue;
        sink->marks[id] = 1;
        // onchange belongs to input elements only; others keep the mark alone.
        if (id == kWebEvChange && !sink->input) continue;
        PutHandler(sink->element, sink->input, id, sink);
    }
    if (generic) {
        sink->marks[kWebEvFocus] = 1;
        sink->genericFocus = 1;
    }
    if (hasTabId || generic) {
        sink->marks[kWebEvFocus] = 1;
        PutHandler(sink->element, sink->input, kWebEvFocus, sink);
    }
}

// A string attribute of an element as 8-bit text (cut to the buffer); false
// when the attribute is absent or not a string.
bool StringAttribute(IHTMLElement* el, const wchar_t* name, UINT codePage, char* out, size_t size) {
    out[0] = '\0';
    BSTR attr = SysAllocString(name);
    if (!attr) return false;
    VARIANT v;
    VariantInit(&v);
    bool ok = SUCCEEDED(el->getAttribute(attr, 0, &v)) && V_VT(&v) == VT_BSTR;
    // A value longer than the buffer is cut, never written past it.
    if (ok && V_BSTR(&v)) HtmlWideToCut(V_BSTR(&v), codePage, out, size);
    VariantClear(&v);
    SysFreeString(attr);
    return ok;
}

void HookElement(CQovPanelWebBrowser* site, IHTMLDocument2* doc, HWND owner, IDispatch* item) {
    IHTMLElement* el = nullptr;
    if (FAILED(item->QueryInterface(IID_IHTMLElement, reinterpret_cast<void**>(&el))) || !el) return;
    char list[kWebEventListSize];
    char tabText[kWebTabIdTextMax + 1];
    StringAttribute(el, kAttrEvents, gHtmlCodePage, list, sizeof list);
    int32_t tabId = StringAttribute(el, kAttrTabId, CP_ACP, tabText, sizeof tabText)
                        ? WebTabIdParse(tabText, strlen(tabText)) : kNoTabId;
    if (tabId == kNoTabId && !list[0]) {
        el->Release();
        return;
    }
    CQovWebEvent* sink = SinkCreate(doc, owner, el);
    if (!sink) {
        el->Release();
        return;
    }
    el->QueryInterface(IID_IHTMLInputElement, reinterpret_cast<void**>(&sink->input));
    SinkAttach(sink, list, tabId != kNoTabId);
    sink->tabId = tabId;
    sink->next = site->sinks;
    site->sinks = sink;
    sink->AddRef();
}

// Calls fn on each element of the document's all collection.
template <typename Fn>
void ForEachElement(IHTMLDocument2* doc, Fn fn) {
    IHTMLElementCollection* all = nullptr;
    if (FAILED(doc->get_all(&all)) || !all) return;
    long count = 0;
    all->get_length(&count);
    for (long i = 0; i < count; ++i) {
        VARIANT index, sub;
        V_VT(&index) = VT_I4;
        V_I4(&index) = i;
        V_VT(&sub) = VT_I4;
        V_I4(&sub) = 0;
        IDispatch* item = nullptr;
        if (FAILED(all->item(index, sub, &item)) || !item) continue;
        fn(item);
        item->Release();
    }
    all->Release();
}

// The Win32 side reads the three texts into one area, as the JSON writer
// expects them: type, element id, target id, each cut where the area ends.
struct EventTexts {
    char area[kWebEventTextArea];
    size_t used;
    const char* Put(BSTR text) {
        char* at = area + used;
        size_t room = sizeof area - used;
        if (room == 0) return "";
        // Too long for what is left: cut, never overflow.
        HtmlWideToCut(text, gHtmlCodePage, at, room);
        used += strlen(at) + 1;
        if (used > sizeof area) used = sizeof area;
        return at;
    }
};

BSTR ElementId(IHTMLElement* el) {
    BSTR id = nullptr;
    if (el) el->get_id(&id);
    return id;
}

}  // namespace

// ---- The sink's interface -----------------------------------------------------------

STDMETHODIMP CQovWebEvent::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}
STDMETHODIMP_(ULONG) CQovWebEvent::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
STDMETHODIMP_(ULONG) CQovWebEvent::Release() {
    LONG n = InterlockedDecrement(&refs);
    if (n == 0) {
        SinkDetach(this);
        delete this;
    }
    return static_cast<ULONG>(n);
}
STDMETHODIMP CQovWebEvent::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
STDMETHODIMP CQovWebEvent::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP CQovWebEvent::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return S_OK; }

STDMETHODIMP CQovWebEvent::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    if (!window) return S_OK;
    IHTMLEventObj* ev = nullptr;
    if (FAILED(window->get_event(&ev)) || !ev) return S_OK;
    // The sink may be released by what the owner does below (a new load); keep it.
    AddRef();
    EventTexts texts;
    texts.used = 0;
    BSTR typeW = nullptr;
    ev->get_type(&typeW);
    if (!typeW) {
        ev->Release();
        Release();
        return S_OK;
    }
    const char* type = texts.Put(typeW);
    SysFreeString(typeW);
    BSTR idW = ElementId(element);
    const char* id = texts.Put(idW);
    SysFreeString(idW);
    IHTMLElement* src = nullptr;
    ev->get_srcElement(&src);
    BSTR targetW = ElementId(src);
    const char* target = texts.Put(targetW);
    SysFreeString(targetW);
    if (src) src->Release();
    VARIANT_BOOL ctrl = VARIANT_FALSE;
    ev->get_ctrlKey(&ctrl);
    long keyCode = 0;
    ev->get_keyCode(&keyCode);
    // What the owner does with the event runs under the guard: the sink and
    // the event object are released on every way out.
    CatchNoMemory("a page element's event", [&] { Deliver(ev, type, id, target, ctrl != VARIANT_FALSE, keyCode); });
    ev->Release();
    Release();
    return S_OK;
}

void CQovWebEvent::Deliver(IHTMLEventObj* ev, const char* type, const char* id, const char* target, bool ctrl,
                           long keyCode) {
    if (strcmp(type, "focusin") == 0) {
        if (gHtmlPanelOwner.onFocusChange) gHtmlPanelOwner.onFocusChange(owner, target, false);
    } else if (strcmp(type, "focusout") == 0) {
        if (gHtmlPanelOwner.onFocusChange) gHtmlPanelOwner.onFocusChange(owner, target, true);
    } else if (strcmp(type, "contextmenu") == 0) {
        if (!gHtmlPanelOwner.menuAllowed || gHtmlPanelOwner.menuAllowed(owner)) {
            VARIANT no;
            V_VT(&no) = VT_BOOL;
            V_BOOL(&no) = VARIANT_FALSE;
            ev->put_returnValue(no);
        }
    } else if (strcmp(type, "readystatechange") == 0) {
        if (gHtmlPanelOwner.onReadyState) gHtmlPanelOwner.onReadyState(owner);
    } else {
        bool post = true;
        if (strcmp(type, "focus") == 0) {
            if (tabId >= 0 && gHtmlPanelOwner.onTabFocus) gHtmlPanelOwner.onTabFocus(owner, tabId, target);
            post = genericFocus != 0;
        }
        if (post) {
            long x = 0, y = 0;
            ev->get_clientX(&x);
            ev->get_clientY(&y);
            WebEventFields f = {type, id, target, static_cast<int32_t>(x), static_cast<int32_t>(y), ctrl,
                                static_cast<int32_t>(keyCode)};
            std::vector<char> json(kWebEventJsonSize);
            if (WebEventJson(&f, json.data(), json.size()) && gHtmlPanelOwner.postEvent)
                gHtmlPanelOwner.postEvent(owner, json.data());
            ev->put_cancelBubble(VARIANT_TRUE);
        }
    }
}

// ---- The host's operations -------------------------------------------------------------

void HtmlSinksRemove(CQovPanelWebBrowser* site, bool keepDocument) {
    if (!keepDocument && site->docSink) {
        CQovWebEvent* doc = site->docSink;
        site->docSink = nullptr;
        IHTMLDocument2* d = HtmlSiteDocument(site);
        if (d) {
            PutDocumentHandlers(d, nullptr);
            d->Release();
        }
        SinkDetach(doc);
        doc->Release();
    }
    while (CQovWebEvent* sink = site->sinks) {
        site->sinks = sink->next;
        sink->next = nullptr;
        SinkDetach(sink);
        sink->Release();
    }
}

void HtmlSinksHook(CQovPanelWebBrowser* site, IHTMLDocument2* doc, HWND owner) {
    ForEachElement(doc, [&](IDispatch* item) { HookElement(site, doc, owner, item); });
}

void HtmlSinkAttachDocument(CQovPanelWebBrowser* site, IHTMLDocument2* doc, HWND owner) {
    CQovWebEvent* sink = SinkCreate(doc, owner, nullptr);
    if (!sink) return;
    sink->AddRef();
    PutDocumentHandlers(doc, sink);
    site->docSink = sink;
}

bool HtmlSinksHaveTabIds(const CQovPanelWebBrowser* site) {
    for (const CQovWebEvent* s = site->sinks; s; s = s->next)
        if (s->tabId > 0) return true;
    return false;
}

int32_t HtmlPanelHookElements(CQovPanelWebBrowser* site, HWND owner) {
    if (!site) return 0;
    HtmlSinksRemove(site, true);
    IHTMLDocument2* doc = HtmlSiteDocument(site);
    if (!doc) return 0;
    HtmlSinksHook(site, doc, owner);
    doc->Release();
    return 0;
}

// Sets an IHTMLElement3 flag on every element the filter accepts.
template <typename Filter, typename Put>
static void ForEachElement3(CQovPanelWebBrowser* site, Filter accept, Put put) {
    IHTMLDocument2* doc = HtmlSiteDocument(site);
    if (!doc) return;
    ForEachElement(doc, [&](IDispatch* item) {
        IHTMLElement* el = nullptr;
        if (FAILED(item->QueryInterface(IID_IHTMLElement, reinterpret_cast<void**>(&el))) || !el) return;
        IHTMLElement3* el3 = nullptr;
        if (accept(el) && SUCCEEDED(item->QueryInterface(kIidHtmlElement3, reinterpret_cast<void**>(&el3))) && el3) {
            put(el3);
            el3->Release();
        }
        el->Release();
    });
    doc->Release();
}

int32_t HtmlPanelSetMarkedDisabled(CQovPanelWebBrowser* site, int32_t disabled) {
    VARIANT_BOOL on = disabled ? VARIANT_TRUE : VARIANT_FALSE;
    ForEachElement3(
        site,
        [](IHTMLElement* el) {
            char value[2];
            return StringAttribute(el, kAttrEnable, CP_ACP, value, sizeof value);
        },
        [on](IHTMLElement3* el3) { el3->put_disabled(on); });
    return 0;
}

int32_t HtmlPanelHideFocus(CQovPanelWebBrowser* site, int32_t hide) {
    VARIANT_BOOL on = hide ? VARIANT_TRUE : VARIANT_FALSE;
    ForEachElement3(site, [](IHTMLElement*) { return true; }, [on](IHTMLElement3* el3) { el3->put_hideFocus(on); });
    return 0;
}

int32_t HtmlPanelFocusTab(CQovPanelWebBrowser* site, int32_t current, int32_t forward) {
    if (!site) return 0;
    std::vector<int32_t> ids;
    std::vector<CQovWebEvent*> sinks;
    for (CQovWebEvent* s = site->sinks; s; s = s->next) {
        ids.push_back(s->tabId);
        sinks.push_back(s);
    }
    int32_t pick = WebTabPick(ids.data(), ids.size(), current, forward != 0);
    if (pick < 0 || !sinks[static_cast<size_t>(pick)]->element) return 0;
    IHTMLElement2* el2 = nullptr;
    if (FAILED(sinks[static_cast<size_t>(pick)]->element->QueryInterface(IID_IHTMLElement2,
                                                                          reinterpret_cast<void**>(&el2))) ||
        !el2)
        return 0;
    el2->focus();
    el2->Release();
    return 1;
}
