/* fakehtml.c - the tests' own WebBrowser and HTML document, in C with the
 * platform's C vtables: a browser that records the host's calls, a document
 * built from the written text by a small tag scanner (ids, attributes,
 * nesting), elements with inline styles and handlers, and events fired by the
 * test through the document window's current event. */
#define COBJMACROS
#define CINTERFACE
#include "fakehtml.h"

#include <exdisp.h>
#include <mshtml.h>
#include <ole2.h>
#include <stdio.h>
#include <stdlib.h>
#include <ctype.h>
#include <string.h>
#include <wchar.h>

#include "com/htmlstyles.h"

/* ---- Empty slots ------------------------------------------------------------------ */

/* One stub per table, so the message names the interface that was called. */
static void FakeEmptySlotIn(const char* table) {
    fprintf(stderr, "fakehtml: the host called a slot of %s that the fake does not fill\n", table);
    fflush(stderr);
    ExitProcess(3);
}
#define EMPTY_STUB(name) \
    static void Empty_##name(void) { FakeEmptySlotIn(#name); }
EMPTY_STUB(IHTMLElement) EMPTY_STUB(IHTMLElement2) EMPTY_STUB(IHTMLElement3) EMPTY_STUB(IHTMLInputElement)
EMPTY_STUB(IHTMLStyle) EMPTY_STUB(IHTMLDocument2) EMPTY_STUB(IHTMLDocument3) EMPTY_STUB(IHTMLDocument5)
EMPTY_STUB(IHTMLElementCollection) EMPTY_STUB(IHTMLEventObj) EMPTY_STUB(IHTMLWindow2) EMPTY_STUB(IOleObject)
EMPTY_STUB(IOleInPlaceObject) EMPTY_STUB(IViewObject) EMPTY_STUB(IWebBrowser2) EMPTY_STUB(IPersistStorage)
EMPTY_STUB(IRunnableObject) EMPTY_STUB(IOleInPlaceActiveObject)

static void FillWith(void* vtbl, size_t size, void (*stub)(void)) {
    void** p = (void**)vtbl;
    for (size_t i = 0; i < size / sizeof(void*); ++i) p[i] = (void*)stub;
}
#define Fill(vt, size) FillWith(vt, size, StubFor(#vt))
typedef struct StubRow { const char* table; void (*stub)(void); } StubRow;
static void (*StubFor(const char* vt))(void) {
    static const StubRow kRows[] = {
        {"&gElVt", Empty_IHTMLElement}, {"&gEl2Vt", Empty_IHTMLElement2}, {"&gEl3Vt", Empty_IHTMLElement3},
        {"&gInputVt", Empty_IHTMLInputElement}, {"&gDoc2Vt", Empty_IHTMLDocument2},
        {"&gDoc3Vt", Empty_IHTMLDocument3}, {"&gDoc5Vt", Empty_IHTMLDocument5},
        {"&gAllVt", Empty_IHTMLElementCollection}, {"&gEventVt", Empty_IHTMLEventObj},
        {"&gWindowVt", Empty_IHTMLWindow2},
    };
    for (size_t i = 0; i < sizeof kRows / sizeof kRows[0]; ++i)
        if (!strcmp(kRows[i].table, vt)) return kRows[i].stub;
    if (!strncmp(vt, "&gSt", 4)) return Empty_IHTMLStyle;
    return Empty_IOleObject;
}

#define SET(vt, field, fn)                       \
    do {                                         \
        void* f_ = (void*)(fn);                  \
        memcpy(&(vt).field, &f_, sizeof f_);     \
    } while (0)

/* Every face is a vtable pointer and its owner. */
typedef struct Face {
    const void* vtbl;
    void* owner;
} Face;
#define OWNER(type, This) ((type*)((Face*)(This))->owner)

static const IID kIidDoc5 = {0x3050f80c, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
static const IID kIidEl3 = {0x3050f673, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
static const IID kIidSt3 = {0x3050f656, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
static const IID kIidSt4 = {0x3050f816, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
static const IID kIidSt5 = {0x3050f33a, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

/* ---- The document model -------------------------------------------------------------- */

enum { kMaxElements = 64, kMaxAttrs = 16, kHandlerCount = 14, kDocHandlers = 4 };
enum StyleIndex {
#define X(face, form, name) kSt_##name,
    QOV_HTML_STYLES(X)
#undef X
    kStyleCount
};
static const char* const kStyleNames[kStyleCount] = {
#define X(face, form, name) #name,
    QOV_HTML_STYLES(X)
#undef X
};
static const char* const kHandlerNames[kHandlerCount] = {
    "", "onclick", "onchange", "ondblclick", "onkeydown", "onkeyup", "onkeypress", "onmouseout", "onmouseover",
    "onmousemove", "onmousedown", "onmouseup", "onblur", "onfocus",
};
static const char* const kDocHandlerNames[kDocHandlers] = {"onfocusin", "onfocusout", "oncontextmenu",
                                                           "onreadystatechange"};

typedef struct Elem {
    Face el, el2, el3, input, st1, st2, st3, st4, st5;
    char tag[16];
    int parent;
    int nattr;
    BSTR attrName[kMaxAttrs];
    BSTR attrValue[kMaxAttrs]; /* null: a boolean attribute */
    BSTR inner, text, className;
    BSTR style[kStyleCount];
    IDispatch* handler[kHandlerCount];
    int puts[kHandlerCount];
    int disabled, hideFocus;
} Elem;

typedef struct Event {
    Face face;
    BSTR type;
    int source;
    int ctrl, keyCode, x, y;
    int cancelBubble, returnFalse;
} Event;

typedef struct Doc {
    Face doc2, doc3, doc5, window, all;
    LONG refs;
    int count;
    Elem elems[kMaxElements];
    IDispatch* docHandler[kDocHandlers];
    int docPuts[kDocHandlers];
    Event* current;
    char readyState[16];
} Doc;

typedef struct Browser {
    Face ole, inPlace, view, web, persist, runnable, active;
    LONG refs;
    IOleClientSite* site;
    Doc* doc;
} Browser;

static Doc* gDoc;         /* the document of the last load (kept for the test) */
static long gLive;
static RECT gRects[32];
static int gRectCount, gWrites, gDraws, gTranslates, gFocused = -1;
static wchar_t gLastWrite[8192], gLastNavigate[MAX_PATH], gLastExec[64];
static char gReadyState[16] = "complete";
static DWORD gCookie;

static BSTR Wide(const char* s, size_t n) {
    int w = MultiByteToWideChar(CP_UTF8, 0, s, (int)n, NULL, 0);
    BSTR b = SysAllocStringLen(NULL, (UINT)w);
    if (b) MultiByteToWideChar(CP_UTF8, 0, s, (int)n, b, w);
    return b;
}

static int Narrow(const wchar_t* w, char* out, int size) {
    return WideCharToMultiByte(CP_UTF8, 0, w ? w : L"", -1, out, size, NULL, NULL);
}

static BSTR ElemId(Elem* e) {
    for (int i = 0; i < e->nattr; ++i)
        if (wcscmp(e->attrName[i], L"id") == 0) return e->attrValue[i];
    return NULL;
}

static int IsVoidTag(const char* tag) {
    return !strcmp(tag, "input") || !strcmp(tag, "br") || !strcmp(tag, "img") || !strcmp(tag, "meta") ||
           !strcmp(tag, "hr");
}

/* ---- The tag scanner ---------------------------------------------------------------------- */

static void ElemInit(Doc* d, Elem* e);

static const char* ScanAttrs(Elem* e, const char* p, int* selfClosing) {
    *selfClosing = 0;
    while (*p && *p != '>') {
        while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
        if (*p == '/') {
            *selfClosing = 1;
            ++p;
            continue;
        }
        if (!*p || *p == '>') break;
        const char* name = p;
        while (*p && *p != '=' && *p != ' ' && *p != '>' && *p != '/') ++p;
        size_t nameLen = (size_t)(p - name);
        BSTR value = NULL;
        if (*p == '=') {
            ++p;
            char quote = (*p == '\'' || *p == '"') ? *p++ : 0;
            const char* v = p;
            while (*p && (quote ? *p != quote : (*p != ' ' && *p != '>'))) ++p;
            value = Wide(v, (size_t)(p - v));
            if (quote && *p) ++p;
        }
        if (nameLen == 5 && !strncmp(name, "class", 5)) {
            /* The class attribute is the element's className. */
            SysFreeString(e->className);
            e->className = value;
        } else if (e->nattr < kMaxAttrs && nameLen) {
            e->attrName[e->nattr] = Wide(name, nameLen);
            e->attrValue[e->nattr] = value;
            if (!value) e->attrValue[e->nattr] = NULL;
            e->nattr++;
        } else {
            SysFreeString(value);
        }
    }
    return *p ? p + 1 : p;
}

static void ScanText(Doc* d, const char* text) {
    int stack[kMaxElements];
    int depth = 0;
    stack[depth++] = 0;
    const char* p = text;
    while ((p = strchr(p, '<')) != NULL) {
        ++p;
        if (*p == '/') {
            if (depth > 1) --depth;
            p = strchr(p, '>');
            if (!p) break;
            continue;
        }
        if (*p == '!') {
            p = strchr(p, '>');
            if (!p) break;
            continue;
        }
        char tag[16] = {0};
        size_t n = 0;
        while (*p && *p != ' ' && *p != '>' && *p != '/' && n < sizeof tag - 1) tag[n++] = (char)tolower(*p++);
        if (!strcmp(tag, "html") || !strcmp(tag, "head") || !strcmp(tag, "body") || d->count >= kMaxElements) {
            p = strchr(p, '>');
            if (!p) break;
            continue;
        }
        Elem* e = &d->elems[d->count];
        ElemInit(d, e);
        strcpy(e->tag, tag);
        e->parent = stack[depth - 1];
        int selfClosing;
        p = ScanAttrs(e, p, &selfClosing);
        int index = d->count++;
        if (!selfClosing && !IsVoidTag(tag) && depth < kMaxElements) stack[depth++] = index;
    }
}

/* ---- Elements --------------------------------------------------------------------------------- */

static HRESULT STDMETHODCALLTYPE ElQI(void* This, REFIID iid, void** out) {
    Elem* e = OWNER(Elem, This);
    *out = NULL;
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IDispatch) || IsEqualIID(iid, &IID_IHTMLElement))
        *out = &e->el;
    else if (IsEqualIID(iid, &IID_IHTMLElement2)) *out = &e->el2;
    else if (IsEqualIID(iid, &kIidEl3)) *out = &e->el3;
    else if (IsEqualIID(iid, &IID_IHTMLInputElement) && !strcmp(e->tag, "input")) *out = &e->input;
    if (!*out) return E_NOINTERFACE;
    InterlockedIncrement(&gDoc->refs);
    return S_OK;
}
static ULONG STDMETHODCALLTYPE DocAddRefAny(void* This) {
    (void)This;
    return (ULONG)InterlockedIncrement(&gDoc->refs);
}
static void DocFree(Doc* d);
static ULONG STDMETHODCALLTYPE DocReleaseAny(void* This) {
    (void)This;
    LONG n = InterlockedDecrement(&gDoc->refs);
    return (ULONG)n;
}

static HRESULT STDMETHODCALLTYPE ElGetAttribute(IHTMLElement* This, BSTR name, LONG flags, VARIANT* out) {
    Elem* e = OWNER(Elem, This);
    (void)flags;
    VariantInit(out);
    V_VT(out) = VT_NULL;
    for (int i = 0; i < e->nattr; ++i) {
        if (_wcsicmp(e->attrName[i], name) != 0) continue;
        if (e->attrValue[i]) {
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = SysAllocString(e->attrValue[i]);
        } else {
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = VARIANT_TRUE;
        }
        break;
    }
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE ElSetAttribute(IHTMLElement* This, BSTR name, VARIANT value, LONG flags) {
    Elem* e = OWNER(Elem, This);
    (void)flags;
    if (V_VT(&value) != VT_BSTR) return E_INVALIDARG;
    for (int i = 0; i < e->nattr; ++i) {
        if (_wcsicmp(e->attrName[i], name) != 0) continue;
        SysFreeString(e->attrValue[i]);
        e->attrValue[i] = SysAllocString(V_BSTR(&value));
        return S_OK;
    }
    if (e->nattr >= kMaxAttrs) return E_OUTOFMEMORY;
    e->attrName[e->nattr] = SysAllocString(name);
    e->attrValue[e->nattr++] = SysAllocString(V_BSTR(&value));
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE ElGetId(IHTMLElement* This, BSTR* out) {
    BSTR id = ElemId(OWNER(Elem, This));
    *out = id ? SysAllocString(id) : NULL;
    return S_OK;
}
#define EL_TEXT_PROP(Name, field)                                                              \
    static HRESULT STDMETHODCALLTYPE ElGet##Name(IHTMLElement* This, BSTR* out) {              \
        Elem* e = OWNER(Elem, This);                                                           \
        *out = e->field ? SysAllocString(e->field) : NULL;                                     \
        return S_OK;                                                                           \
    }                                                                                          \
    static HRESULT STDMETHODCALLTYPE ElPut##Name(IHTMLElement* This, BSTR v) {                 \
        Elem* e = OWNER(Elem, This);                                                           \
        SysFreeString(e->field);                                                               \
        e->field = SysAllocString(v);                                                          \
        return S_OK;                                                                           \
    }
EL_TEXT_PROP(Inner, inner)
EL_TEXT_PROP(Text, text)
EL_TEXT_PROP(Class, className)

static HRESULT STDMETHODCALLTYPE ElGetStyle(IHTMLElement* This, IHTMLStyle** out) {
    Elem* e = OWNER(Elem, This);
    *out = (IHTMLStyle*)&e->st1;
    InterlockedIncrement(&gDoc->refs);
    return S_OK;
}

static void PutHandler(Elem* e, int id, VARIANT v) {
    if (e->handler[id]) IDispatch_Release(e->handler[id]);
    e->handler[id] = V_VT(&v) == VT_DISPATCH ? V_DISPATCH(&v) : NULL;
    if (e->handler[id]) {
        IDispatch_AddRef(e->handler[id]);
        e->puts[id]++;
    }
}
#define EL_HANDLER(Name, id, Iface)                                                   \
    static HRESULT STDMETHODCALLTYPE ElPut_##Name(Iface* This, VARIANT v) {           \
        PutHandler(OWNER(Elem, This), id, v);                                         \
        return S_OK;                                                                  \
    }
EL_HANDLER(onclick, 1, IHTMLElement)
EL_HANDLER(onchange, 2, IHTMLInputElement)
EL_HANDLER(ondblclick, 3, IHTMLElement)
EL_HANDLER(onkeydown, 4, IHTMLElement)
EL_HANDLER(onkeyup, 5, IHTMLElement)
EL_HANDLER(onkeypress, 6, IHTMLElement)
EL_HANDLER(onmouseout, 7, IHTMLElement)
EL_HANDLER(onmouseover, 8, IHTMLElement)
EL_HANDLER(onmousemove, 9, IHTMLElement)
EL_HANDLER(onmousedown, 10, IHTMLElement)
EL_HANDLER(onmouseup, 11, IHTMLElement)
EL_HANDLER(onblur, 12, IHTMLElement2)
EL_HANDLER(onfocus, 13, IHTMLElement2)

static HRESULT STDMETHODCALLTYPE El2Focus(IHTMLElement2* This) {
    Elem* e = OWNER(Elem, This);
    gFocused = (int)(e - gDoc->elems);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE El3PutDisabled(IHTMLElement3* This, VARIANT_BOOL v) {
    OWNER(Elem, This)->disabled = v != VARIANT_FALSE;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE El3PutHideFocus(IHTMLElement3* This, VARIANT_BOOL v) {
    OWNER(Elem, This)->hideFocus = v != VARIANT_FALSE;
    return S_OK;
}

/* Styles: one getter and setter per property, from the shared list. */
static HRESULT StyleQI(void* This, REFIID iid, void** out) {
    Elem* e = OWNER(Elem, This);
    *out = NULL;
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IDispatch) || IsEqualIID(iid, &IID_IHTMLStyle))
        *out = &e->st1;
    else if (IsEqualIID(iid, &IID_IHTMLStyle2)) *out = &e->st2;
    else if (IsEqualIID(iid, &kIidSt3)) *out = &e->st3;
    else if (IsEqualIID(iid, &kIidSt4)) *out = &e->st4;
    else if (IsEqualIID(iid, &kIidSt5)) *out = &e->st5;
    if (!*out) return E_NOINTERFACE;
    InterlockedIncrement(&gDoc->refs);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE StyleQIEntry(void* This, REFIID iid, void** out) { return StyleQI(This, iid, out); }

#define STYLE_FN_S(name)                                                                          \
    static HRESULT STDMETHODCALLTYPE StPut_##name(void* This, BSTR v) {                           \
        Elem* e = OWNER(Elem, This);                                                              \
        SysFreeString(e->style[kSt_##name]);                                                      \
        e->style[kSt_##name] = SysAllocString(v);                                                 \
        return S_OK;                                                                              \
    }                                                                                             \
    static HRESULT STDMETHODCALLTYPE StGet_##name(void* This, BSTR* out) {                        \
        Elem* e = OWNER(Elem, This);                                                              \
        *out = e->style[kSt_##name] ? SysAllocString(e->style[kSt_##name]) : NULL;                \
        return S_OK;                                                                              \
    }
#define STYLE_FN_V(name)                                                                          \
    static HRESULT STDMETHODCALLTYPE StPut_##name(void* This, VARIANT v) {                        \
        Elem* e = OWNER(Elem, This);                                                              \
        if (V_VT(&v) != VT_BSTR) return E_INVALIDARG;                                             \
        SysFreeString(e->style[kSt_##name]);                                                      \
        e->style[kSt_##name] = SysAllocString(V_BSTR(&v));                                        \
        return S_OK;                                                                              \
    }                                                                                             \
    static HRESULT STDMETHODCALLTYPE StGet_##name(void* This, VARIANT* out) {                     \
        Elem* e = OWNER(Elem, This);                                                              \
        VariantInit(out);                                                                         \
        if (e->style[kSt_##name]) {                                                               \
            V_VT(out) = VT_BSTR;                                                                  \
            V_BSTR(out) = SysAllocString(e->style[kSt_##name]);                                   \
        }                                                                                         \
        return S_OK;                                                                              \
    }
#define X(face, form, name) STYLE_FN_##form(name)
QOV_HTML_STYLES(X)
#undef X

static IHTMLElementVtbl gElVt;
static IHTMLElement2Vtbl gEl2Vt;
static IHTMLElement3Vtbl gEl3Vt;
static IHTMLInputElementVtbl gInputVt;
static IHTMLStyleVtbl gSt1Vt;
static IHTMLStyle2Vtbl gSt2Vt;
static IHTMLStyle3Vtbl gSt3Vt;
static IHTMLStyle4Vtbl gSt4Vt;
static IHTMLStyle5Vtbl gSt5Vt;

#define FILL_UNKNOWN(vt, qi)               \
    do {                                   \
        SET(vt, QueryInterface, qi);       \
        SET(vt, AddRef, DocAddRefAny);     \
        SET(vt, Release, DocReleaseAny);   \
    } while (0)

static void ElemVtablesInit(void) {
    static int done;
    if (done) return;
    done = 1;
    Fill(&gElVt, sizeof gElVt);
    Fill(&gEl2Vt, sizeof gEl2Vt);
    Fill(&gEl3Vt, sizeof gEl3Vt);
    Fill(&gInputVt, sizeof gInputVt);
    Fill(&gSt1Vt, sizeof gSt1Vt);
    Fill(&gSt2Vt, sizeof gSt2Vt);
    Fill(&gSt3Vt, sizeof gSt3Vt);
    Fill(&gSt4Vt, sizeof gSt4Vt);
    Fill(&gSt5Vt, sizeof gSt5Vt);
    FILL_UNKNOWN(gElVt, ElQI);
    FILL_UNKNOWN(gEl2Vt, ElQI);
    FILL_UNKNOWN(gEl3Vt, ElQI);
    FILL_UNKNOWN(gInputVt, ElQI);
    FILL_UNKNOWN(gSt1Vt, StyleQIEntry);
    FILL_UNKNOWN(gSt2Vt, StyleQIEntry);
    FILL_UNKNOWN(gSt3Vt, StyleQIEntry);
    FILL_UNKNOWN(gSt4Vt, StyleQIEntry);
    FILL_UNKNOWN(gSt5Vt, StyleQIEntry);
    SET(gElVt, getAttribute, ElGetAttribute);
    SET(gElVt, setAttribute, ElSetAttribute);
    SET(gElVt, get_id, ElGetId);
    SET(gElVt, get_innerHTML, ElGetInner);
    SET(gElVt, put_innerHTML, ElPutInner);
    SET(gElVt, get_innerText, ElGetText);
    SET(gElVt, put_innerText, ElPutText);
    SET(gElVt, get_className, ElGetClass);
    SET(gElVt, put_className, ElPutClass);
    SET(gElVt, get_style, ElGetStyle);
    SET(gElVt, put_onclick, ElPut_onclick);
    SET(gElVt, put_ondblclick, ElPut_ondblclick);
    SET(gElVt, put_onkeydown, ElPut_onkeydown);
    SET(gElVt, put_onkeyup, ElPut_onkeyup);
    SET(gElVt, put_onkeypress, ElPut_onkeypress);
    SET(gElVt, put_onmouseout, ElPut_onmouseout);
    SET(gElVt, put_onmouseover, ElPut_onmouseover);
    SET(gElVt, put_onmousemove, ElPut_onmousemove);
    SET(gElVt, put_onmousedown, ElPut_onmousedown);
    SET(gElVt, put_onmouseup, ElPut_onmouseup);
    SET(gInputVt, put_onchange, ElPut_onchange);
    SET(gEl2Vt, put_onblur, ElPut_onblur);
    SET(gEl2Vt, put_onfocus, ElPut_onfocus);
    SET(gEl2Vt, focus, El2Focus);
    SET(gEl3Vt, put_disabled, El3PutDisabled);
    SET(gEl3Vt, put_hideFocus, El3PutHideFocus);
#define X(face, form, name)                    \
    SET(gSt##face##Vt, put_##name, StPut_##name); \
    SET(gSt##face##Vt, get_##name, StGet_##name);
    QOV_HTML_STYLES(X)
#undef X
}

static void ElemInit(Doc* d, Elem* e) {
    memset(e, 0, sizeof *e);
    Face* faces[] = {&e->el, &e->el2, &e->el3, &e->input, &e->st1, &e->st2, &e->st3, &e->st4, &e->st5};
    const void* vts[] = {&gElVt, &gEl2Vt, &gEl3Vt, &gInputVt, &gSt1Vt, &gSt2Vt, &gSt3Vt, &gSt4Vt, &gSt5Vt};
    for (size_t i = 0; i < sizeof faces / sizeof faces[0]; ++i) {
        faces[i]->vtbl = vts[i];
        faces[i]->owner = e;
    }
    e->parent = -1;
    (void)d;
}

static void ElemFree(Elem* e) {
    for (int i = 0; i < e->nattr; ++i) {
        SysFreeString(e->attrName[i]);
        SysFreeString(e->attrValue[i]);
    }
    SysFreeString(e->inner);
    SysFreeString(e->text);
    SysFreeString(e->className);
    for (int i = 0; i < kStyleCount; ++i) SysFreeString(e->style[i]);
    for (int i = 0; i < kHandlerCount; ++i)
        if (e->handler[i]) IDispatch_Release(e->handler[i]);
    memset(e, 0, sizeof *e);
}

/* ---- Events and the window ------------------------------------------------------------------- */

static IHTMLEventObjVtbl gEventVt;
static IHTMLWindow2Vtbl gWindowVt;

static HRESULT STDMETHODCALLTYPE EvQI(IHTMLEventObj* This, REFIID iid, void** out) {
    *out = NULL;
    if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IHTMLEventObj)) return E_NOINTERFACE;
    *out = This;
    return S_OK;
}
static ULONG STDMETHODCALLTYPE EvAddRef(IHTMLEventObj* This) { (void)This; return 2; }
static ULONG STDMETHODCALLTYPE EvRelease(IHTMLEventObj* This) { (void)This; return 1; }
static HRESULT STDMETHODCALLTYPE EvType(IHTMLEventObj* This, BSTR* out) {
    Event* ev = OWNER(Event, This);
    *out = ev->type ? SysAllocString(ev->type) : NULL;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE EvSrc(IHTMLEventObj* This, IHTMLElement** out) {
    Event* ev = OWNER(Event, This);
    *out = NULL;
    if (ev->source < 0 || ev->source >= gDoc->count) return S_OK;
    *out = (IHTMLElement*)&gDoc->elems[ev->source].el;
    InterlockedIncrement(&gDoc->refs);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE EvCtrl(IHTMLEventObj* This, VARIANT_BOOL* out) {
    *out = OWNER(Event, This)->ctrl ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE EvKey(IHTMLEventObj* This, LONG* out) {
    *out = OWNER(Event, This)->keyCode;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE EvX(IHTMLEventObj* This, LONG* out) {
    *out = OWNER(Event, This)->x;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE EvY(IHTMLEventObj* This, LONG* out) {
    *out = OWNER(Event, This)->y;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE EvReturn(IHTMLEventObj* This, VARIANT v) {
    if (V_VT(&v) == VT_BOOL && V_BOOL(&v) == VARIANT_FALSE) OWNER(Event, This)->returnFalse = 1;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE EvCancel(IHTMLEventObj* This, VARIANT_BOOL v) {
    OWNER(Event, This)->cancelBubble = v != VARIANT_FALSE;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE WinQI(IHTMLWindow2* This, REFIID iid, void** out) {
    *out = NULL;
    if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IDispatch) && !IsEqualIID(iid, &IID_IHTMLWindow2))
        return E_NOINTERFACE;
    *out = This;
    InterlockedIncrement(&gDoc->refs);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE WinEvent(IHTMLWindow2* This, IHTMLEventObj** out) {
    Doc* d = OWNER(Doc, This);
    *out = d->current ? (IHTMLEventObj*)&d->current->face : NULL;
    return S_OK;
}

/* ---- The document ------------------------------------------------------------------------------- */

static IHTMLDocument2Vtbl gDoc2Vt;
static IHTMLDocument3Vtbl gDoc3Vt;
static IHTMLDocument5Vtbl gDoc5Vt;
static IHTMLElementCollectionVtbl gAllVt;

static HRESULT STDMETHODCALLTYPE DocQI(void* This, REFIID iid, void** out) {
    Doc* d = OWNER(Doc, This);
    *out = NULL;
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IDispatch) || IsEqualIID(iid, &IID_IHTMLDocument2))
        *out = &d->doc2;
    else if (IsEqualIID(iid, &IID_IHTMLDocument3)) *out = &d->doc3;
    else if (IsEqualIID(iid, &kIidDoc5)) *out = &d->doc5;
    if (!*out) return E_NOINTERFACE;
    InterlockedIncrement(&d->refs);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE DocAll(IHTMLDocument2* This, IHTMLElementCollection** out) {
    Doc* d = OWNER(Doc, This);
    *out = (IHTMLElementCollection*)&d->all;
    InterlockedIncrement(&d->refs);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE DocBody(IHTMLDocument2* This, IHTMLElement** out) {
    Doc* d = OWNER(Doc, This);
    *out = (IHTMLElement*)&d->elems[0].el;
    InterlockedIncrement(&d->refs);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE DocWindow(IHTMLDocument2* This, IHTMLWindow2** out) {
    Doc* d = OWNER(Doc, This);
    *out = (IHTMLWindow2*)&d->window;
    InterlockedIncrement(&d->refs);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE DocReadyState(IHTMLDocument2* This, BSTR* out) {
    Doc* d = OWNER(Doc, This);
    *out = d->readyState[0] ? Wide(d->readyState, strlen(d->readyState)) : NULL;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE DocWrite(IHTMLDocument2* This, SAFEARRAY* sa) {
    Doc* d = OWNER(Doc, This);
    LONG lower = -1, upper = -1;
    VARIANT* items = NULL;
    if (SafeArrayGetDim(sa) != 1 || FAILED(SafeArrayGetLBound(sa, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(sa, 1, &upper)) || lower != 0 || upper != 0)
        return E_INVALIDARG;
    if (FAILED(SafeArrayAccessData(sa, (void**)&items)) || V_VT(&items[0]) != VT_BSTR) return E_INVALIDARG;
    gWrites++;
    lstrcpynW(gLastWrite, V_BSTR(&items[0]), sizeof gLastWrite / sizeof gLastWrite[0]);
    int n = Narrow(V_BSTR(&items[0]), NULL, 0);
    char* text = (char*)malloc((size_t)n + 1);
    if (text) {
        Narrow(V_BSTR(&items[0]), text, n);
        ScanText(d, text);
        free(text);
    }
    SafeArrayUnaccessData(sa);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE DocExec(IHTMLDocument2* This, BSTR cmd, VARIANT_BOOL ui, VARIANT value,
                                         VARIANT_BOOL* done) {
    (void)This, (void)ui, (void)value;
    lstrcpynW(gLastExec, cmd, 64);
    if (done) *done = VARIANT_TRUE;
    return S_OK;
}
static void PutDocHandler(Doc* d, int i, VARIANT v) {
    if (d->docHandler[i]) IDispatch_Release(d->docHandler[i]);
    d->docHandler[i] = V_VT(&v) == VT_DISPATCH ? V_DISPATCH(&v) : NULL;
    if (d->docHandler[i]) {
        IDispatch_AddRef(d->docHandler[i]);
        d->docPuts[i]++;
    }
}
static HRESULT STDMETHODCALLTYPE DocPutReady(IHTMLDocument2* This, VARIANT v) {
    PutDocHandler(OWNER(Doc, This), 3, v);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE DocPutMenu(IHTMLDocument3* This, VARIANT v) {
    PutDocHandler(OWNER(Doc, This), 2, v);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE DocPutFocusIn(IHTMLDocument5* This, VARIANT v) {
    PutDocHandler(OWNER(Doc, This), 0, v);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE DocPutFocusOut(IHTMLDocument5* This, VARIANT v) {
    PutDocHandler(OWNER(Doc, This), 1, v);
    return S_OK;
}
static ULONG STDMETHODCALLTYPE DocAddRef(void* This) { return (ULONG)InterlockedIncrement(&OWNER(Doc, This)->refs); }
static ULONG STDMETHODCALLTYPE DocRelease(void* This) {
    Doc* d = OWNER(Doc, This);
    return (ULONG)InterlockedDecrement(&d->refs);
}

static HRESULT STDMETHODCALLTYPE AllLength(IHTMLElementCollection* This, LONG* out) {
    *out = OWNER(Doc, This)->count;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE AllItem(IHTMLElementCollection* This, VARIANT name, VARIANT index, IDispatch** out) {
    Doc* d = OWNER(Doc, This);
    (void)index;
    *out = NULL;
    int found = -1;
    if (V_VT(&name) == VT_I4) {
        if (V_I4(&name) >= 0 && V_I4(&name) < d->count) found = V_I4(&name);
    } else if (V_VT(&name) == VT_BSTR) {
        for (int i = 0; i < d->count && found < 0; ++i) {
            BSTR id = ElemId(&d->elems[i]);
            if (id && wcscmp(id, V_BSTR(&name)) == 0) found = i;
        }
    }
    if (found < 0) return S_OK;
    *out = (IDispatch*)&d->elems[found].el;
    InterlockedIncrement(&d->refs);
    return S_OK;
}

static void DocVtablesInit(void) {
    static int done;
    if (done) return;
    done = 1;
    ElemVtablesInit();
    Fill(&gDoc2Vt, sizeof gDoc2Vt);
    Fill(&gDoc3Vt, sizeof gDoc3Vt);
    Fill(&gDoc5Vt, sizeof gDoc5Vt);
    Fill(&gAllVt, sizeof gAllVt);
    Fill(&gEventVt, sizeof gEventVt);
    Fill(&gWindowVt, sizeof gWindowVt);
    void* vts[] = {&gDoc2Vt, &gDoc3Vt, &gDoc5Vt, &gAllVt};
    for (size_t i = 0; i < 4; ++i) {
        IHTMLDocument2Vtbl* v = (IHTMLDocument2Vtbl*)vts[i];
        SET(*v, QueryInterface, DocQI);
        SET(*v, AddRef, DocAddRef);
        SET(*v, Release, DocRelease);
    }
    SET(gDoc2Vt, get_all, DocAll);
    SET(gDoc2Vt, get_body, DocBody);
    SET(gDoc2Vt, get_parentWindow, DocWindow);
    SET(gDoc2Vt, get_readyState, DocReadyState);
    SET(gDoc2Vt, write, DocWrite);
    SET(gDoc2Vt, execCommand, DocExec);
    SET(gDoc2Vt, put_onreadystatechange, DocPutReady);
    SET(gDoc3Vt, put_oncontextmenu, DocPutMenu);
    SET(gDoc5Vt, put_onfocusin, DocPutFocusIn);
    SET(gDoc5Vt, put_onfocusout, DocPutFocusOut);
    SET(gAllVt, get_length, AllLength);
    SET(gAllVt, item, AllItem);
    SET(gWindowVt, QueryInterface, WinQI);
    SET(gWindowVt, AddRef, DocAddRef);
    SET(gWindowVt, Release, DocRelease);
    SET(gWindowVt, get_event, WinEvent);
    SET(gEventVt, QueryInterface, EvQI);
    SET(gEventVt, AddRef, EvAddRef);
    SET(gEventVt, Release, EvRelease);
    SET(gEventVt, get_type, EvType);
    SET(gEventVt, get_srcElement, EvSrc);
    SET(gEventVt, get_ctrlKey, EvCtrl);
    SET(gEventVt, get_keyCode, EvKey);
    SET(gEventVt, get_clientX, EvX);
    SET(gEventVt, get_clientY, EvY);
    SET(gEventVt, put_returnValue, EvReturn);
    SET(gEventVt, put_cancelBubble, EvCancel);
}

static Doc* DocCreate(void) {
    DocVtablesInit();
    Doc* d = (Doc*)calloc(1, sizeof(Doc));
    if (!d) return NULL;
    Face* faces[] = {&d->doc2, &d->doc3, &d->doc5, &d->window, &d->all};
    const void* vts[] = {&gDoc2Vt, &gDoc3Vt, &gDoc5Vt, &gWindowVt, &gAllVt};
    for (int i = 0; i < 5; ++i) {
        faces[i]->vtbl = vts[i];
        faces[i]->owner = d;
    }
    ElemInit(d, &d->elems[0]);
    strcpy(d->elems[0].tag, "body");
    d->count = 1;
    strcpy(d->readyState, gReadyState);
    return d;
}

static void DocFree(Doc* d) {
    if (!d) return;
    for (int i = 0; i < d->count; ++i) ElemFree(&d->elems[i]);
    for (int i = 0; i < kDocHandlers; ++i)
        if (d->docHandler[i]) IDispatch_Release(d->docHandler[i]);
    free(d);
}

/* ---- The browser ----------------------------------------------------------------------------------- */

static IOleObjectVtbl gOleVt;
static IOleInPlaceObjectVtbl gInPlaceVt;
static IViewObjectVtbl gViewVt;
static IWebBrowser2Vtbl gWebVt;
static IPersistStorageVtbl gPersistVt;
static IRunnableObjectVtbl gRunVt;
static IOleInPlaceActiveObjectVtbl gActiveVt;

static HRESULT STDMETHODCALLTYPE BrQI(void* This, REFIID iid, void** out) {
    Browser* b = OWNER(Browser, This);
    *out = NULL;
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IOleObject)) *out = &b->ole;
    else if (IsEqualIID(iid, &IID_IOleInPlaceObject)) *out = &b->inPlace;
    else if (IsEqualIID(iid, &IID_IViewObject)) *out = &b->view;
    else if (IsEqualIID(iid, &IID_IWebBrowser2)) *out = &b->web;
    else if (IsEqualIID(iid, &IID_IPersistStorage)) *out = &b->persist;
    else if (IsEqualIID(iid, &IID_IRunnableObject)) *out = &b->runnable;
    else if (IsEqualIID(iid, &IID_IOleInPlaceActiveObject)) *out = &b->active;
    if (!*out) return E_NOINTERFACE;
    InterlockedIncrement(&b->refs);
    return S_OK;
}
static ULONG STDMETHODCALLTYPE BrAddRef(void* This) { return (ULONG)InterlockedIncrement(&OWNER(Browser, This)->refs); }
static ULONG STDMETHODCALLTYPE BrRelease(void* This) {
    Browser* b = OWNER(Browser, This);
    LONG n = InterlockedDecrement(&b->refs);
    if (n == 0) {
        if (b->site) IOleClientSite_Release(b->site);
        free(b);
        InterlockedDecrement(&gLive);
    }
    return (ULONG)n;
}
static HRESULT STDMETHODCALLTYPE BrOk(void* This) { (void)This; return S_OK; }
static HRESULT STDMETHODCALLTYPE BrSetClientSite(IOleObject* This, IOleClientSite* site) {
    Browser* b = OWNER(Browser, This);
    if (site) IOleClientSite_AddRef(site);
    if (b->site) IOleClientSite_Release(b->site);
    b->site = site;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrSetHostNames(IOleObject* This, LPCOLESTR app, LPCOLESTR obj) {
    (void)This, (void)app, (void)obj;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrClose(IOleObject* This, DWORD save) {
    Browser* b = OWNER(Browser, This);
    (void)save;
    /* The browser gives back every reference it holds: its site's. */
    if (b->site) IOleClientSite_Release(b->site);
    b->site = NULL;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrDoVerb(IOleObject* This, LONG verb, LPMSG m, IOleClientSite* site, LONG index,
                                          HWND parent, LPCRECT rect) {
    (void)This, (void)m, (void)site, (void)index, (void)parent, (void)rect;
    return verb == OLEIVERB_INPLACEACTIVATE ? S_OK : E_NOTIMPL;
}
static HRESULT STDMETHODCALLTYPE BrMisc(IOleObject* This, DWORD aspect, DWORD* status) {
    (void)This, (void)aspect;
    *status = 0;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrInitNew(IPersistStorage* This, IStorage* stg) {
    (void)This, (void)stg;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrSetContained(IRunnableObject* This, BOOL contained) {
    (void)This, (void)contained;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrRun(IRunnableObject* This, LPBINDCTX ctx) {
    (void)This, (void)ctx;
    return S_OK;
}
static BOOL STDMETHODCALLTYPE BrIsRunning(IRunnableObject* This) {
    (void)This;
    return TRUE;
}
static HRESULT STDMETHODCALLTYPE BrSetRects(IOleInPlaceObject* This, LPCRECT pos, LPCRECT clip) {
    (void)This, (void)clip;
    if (gRectCount < 32) gRects[gRectCount++] = *pos;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrDraw(IViewObject* This, DWORD aspect, LONG index, void* aspectInfo,
                                        DVTARGETDEVICE* td, HDC tdc, HDC dc, LPCRECTL bounds, LPCRECTL wbounds,
                                        BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR arg) {
    (void)This, (void)aspect, (void)index, (void)aspectInfo, (void)td, (void)tdc, (void)dc, (void)bounds;
    (void)wbounds, (void)cont, (void)arg;
    gDraws++;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrPutLong(IWebBrowser2* This, LONG v) {
    (void)This, (void)v;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrPutBool(IWebBrowser2* This, VARIANT_BOOL v) {
    (void)This, (void)v;
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrNavigate2(IWebBrowser2* This, VARIANT* url, VARIANT* flags, VARIANT* target,
                                             VARIANT* post, VARIANT* headers) {
    Browser* b = OWNER(Browser, This);
    (void)flags, (void)target, (void)post, (void)headers;
    if (!url || V_VT(url) != VT_BSTR) return E_INVALIDARG;
    lstrcpynW(gLastNavigate, V_BSTR(url), MAX_PATH);
    if (b->doc) DocRelease(&b->doc->doc2);
    b->doc = DocCreate();
    if (!b->doc) return E_OUTOFMEMORY;
    b->doc->refs = 1;
    if (gDoc && gDoc != b->doc && gDoc->refs == 0) DocFree(gDoc);
    gDoc = b->doc;
    /* A wrapper page is read from its file. */
    if (wcsstr(V_BSTR(url), L"qovif.html")) {
        char path[MAX_PATH];
        Narrow(V_BSTR(url), path, sizeof path);
        FILE* f = fopen(path, "rb");
        if (f) {
            static char text[65536];
            size_t n = fread(text, 1, sizeof text - 1, f);
            text[n] = 0;
            fclose(f);
            ScanText(b->doc, text);
        }
    }
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrDocument(IWebBrowser2* This, IDispatch** out) {
    Browser* b = OWNER(Browser, This);
    *out = NULL;
    if (!b->doc) return S_FALSE;
    *out = (IDispatch*)&b->doc->doc2;
    InterlockedIncrement(&b->doc->refs);
    return S_OK;
}
static HRESULT STDMETHODCALLTYPE BrTranslate(IOleInPlaceActiveObject* This, LPMSG m) {
    (void)This, (void)m;
    gTranslates++;
    return S_FALSE;
}

static void BrowserVtablesInit(void) {
    static int done;
    if (done) return;
    done = 1;
    void* vts[] = {&gOleVt, &gInPlaceVt, &gViewVt, &gWebVt, &gPersistVt, &gRunVt, &gActiveVt};
    size_t sizes[] = {sizeof gOleVt, sizeof gInPlaceVt, sizeof gViewVt, sizeof gWebVt, sizeof gPersistVt,
                      sizeof gRunVt, sizeof gActiveVt};
    void (*stubs[])(void) = {Empty_IOleObject, Empty_IOleInPlaceObject, Empty_IViewObject, Empty_IWebBrowser2,
                             Empty_IPersistStorage, Empty_IRunnableObject, Empty_IOleInPlaceActiveObject};
    for (size_t i = 0; i < 7; ++i) {
        FillWith(vts[i], sizes[i], stubs[i]);
        IOleObjectVtbl* v = (IOleObjectVtbl*)vts[i];
        SET(*v, QueryInterface, BrQI);
        SET(*v, AddRef, BrAddRef);
        SET(*v, Release, BrRelease);
    }
    SET(gOleVt, SetClientSite, BrSetClientSite);
    SET(gOleVt, SetHostNames, BrSetHostNames);
    SET(gOleVt, Close, BrClose);
    SET(gOleVt, DoVerb, BrDoVerb);
    SET(gOleVt, GetMiscStatus, BrMisc);
    SET(gPersistVt, InitNew, BrInitNew);
    SET(gRunVt, SetContainedObject, BrSetContained);
    SET(gRunVt, Run, BrRun);
    SET(gRunVt, IsRunning, BrIsRunning);
    SET(gInPlaceVt, SetObjectRects, BrSetRects);
    SET(gViewVt, Draw, BrDraw);
    SET(gWebVt, put_Left, BrPutLong);
    SET(gWebVt, put_Top, BrPutLong);
    SET(gWebVt, put_Width, BrPutLong);
    SET(gWebVt, put_Height, BrPutLong);
    SET(gWebVt, put_Resizable, BrPutBool);
    SET(gWebVt, Navigate2, BrNavigate2);
    SET(gWebVt, get_Document, BrDocument);
    SET(gActiveVt, TranslateAccelerator, BrTranslate);
    (void)BrOk;
}

/* Registered as a DLL for a whole client run, the fake keeps a hidden window:
 * WM_APP+1 clicks the first element with an onclick handler (wParam: Ctrl). */
static int gDllMode;
static HWND gDllWindow;
static const char kDllWindowTitle[] = "Qov fake html";

static LRESULT CALLBACK DllWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP + 1 && gDoc) {
        for (int i = 0; i < gDoc->count; ++i) {
            if (!gDoc->elems[i].handler[1]) continue;
            FakeHtmlFire(i, "onclick", "click", i, (int)wp, 0, 3, 4);
            break;
        }
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

static void DllWindowEnsure(void) {
    if (!gDllMode || gDllWindow) return;
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DllWindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "QovFakeHtml";
    RegisterClassA(&wc);
    gDllWindow = CreateWindowExA(0, "QovFakeHtml", kDllWindowTitle, WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL,
                                 GetModuleHandleA(NULL), NULL);
}

static HRESULT BrowserCreate(REFIID iid, void** out) {
    BrowserVtablesInit();
    DllWindowEnsure();
    Browser* b = (Browser*)calloc(1, sizeof(Browser));
    if (!b) return E_OUTOFMEMORY;
    Face* faces[] = {&b->ole, &b->inPlace, &b->view, &b->web, &b->persist, &b->runnable, &b->active};
    const void* vts[] = {&gOleVt, &gInPlaceVt, &gViewVt, &gWebVt, &gPersistVt, &gRunVt, &gActiveVt};
    for (int i = 0; i < 7; ++i) {
        faces[i]->vtbl = vts[i];
        faces[i]->owner = b;
    }
    b->refs = 1;
    InterlockedIncrement(&gLive);
    HRESULT hr = BrQI(&b->ole, iid, out);
    BrRelease(&b->ole);
    return hr;
}

/* ---- The class factory ---------------------------------------------------------------------------- */

static HRESULT STDMETHODCALLTYPE CfQI(IClassFactory* This, REFIID iid, void** out) {
    *out = NULL;
    if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IClassFactory)) return E_NOINTERFACE;
    *out = This;
    return S_OK;
}
static ULONG STDMETHODCALLTYPE CfAddRef(IClassFactory* This) { (void)This; return 2; }
static ULONG STDMETHODCALLTYPE CfRelease(IClassFactory* This) { (void)This; return 1; }
static HRESULT STDMETHODCALLTYPE CfCreate(IClassFactory* This, IUnknown* outer, REFIID iid, void** out) {
    (void)This;
    if (outer) return CLASS_E_NOAGGREGATION;
    return BrowserCreate(iid, out);
}
static HRESULT STDMETHODCALLTYPE CfLock(IClassFactory* This, BOOL lock) {
    (void)This, (void)lock;
    return S_OK;
}
static IClassFactoryVtbl gCfVt = {CfQI, CfAddRef, CfRelease, CfCreate, CfLock};
static IClassFactory gFactory = {&gCfVt};

HRESULT FakeHtmlClassObject(REFIID iid, void** out) {
    gDllMode = 1;
    return CfQI(&gFactory, iid, out);
}

HRESULT FakeHtmlRegister(void) {
    return CoRegisterClassObject(&CLSID_WebBrowser, (IUnknown*)&gFactory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                 &gCookie);
}
void FakeHtmlRevoke(void) { CoRevokeClassObject(gCookie); }

void FakeHtmlReset(const char* readyState) {
    gRectCount = gWrites = gDraws = gTranslates = 0;
    gFocused = -1;
    gLastWrite[0] = gLastNavigate[0] = gLastExec[0] = 0;
    lstrcpynA(gReadyState, readyState ? readyState : "complete", sizeof gReadyState);
}

int FakeHtmlSetRectsCount(void) { return gRectCount; }
RECT FakeHtmlSetRects(int index) {
    RECT none = {0, 0, 0, 0};
    return index >= 0 && index < gRectCount ? gRects[index] : none;
}
int FakeHtmlWriteCount(void) { return gWrites; }
const wchar_t* FakeHtmlLastWrite(void) { return gLastWrite; }
const wchar_t* FakeHtmlLastNavigate(void) { return gLastNavigate; }
const wchar_t* FakeHtmlLastExec(void) { return gLastExec; }
int FakeHtmlDrawCount(void) { return gDraws; }
int FakeHtmlTranslateCount(void) { return gTranslates; }
long FakeHtmlLiveObjects(void) { return gLive; }

int FakeHtmlFind(const char* id) {
    if (!gDoc) return -1;
    BSTR w = Wide(id, strlen(id));
    int found = -1;
    for (int i = 0; i < gDoc->count && found < 0; ++i) {
        BSTR e = ElemId(&gDoc->elems[i]);
        if (e && w && wcscmp(e, w) == 0) found = i;
    }
    SysFreeString(w);
    return found;
}
int FakeHtmlElementCount(void) { return gDoc ? gDoc->count : 0; }

static IDispatch** HandlerSlot(int element, const char* handler, int** puts) {
    if (!gDoc) return NULL;
    if (element < 0) {
        for (int i = 0; i < kDocHandlers; ++i)
            if (!strcmp(kDocHandlerNames[i], handler)) {
                *puts = &gDoc->docPuts[i];
                return &gDoc->docHandler[i];
            }
        return NULL;
    }
    if (element >= gDoc->count) return NULL;
    for (int i = 1; i < kHandlerCount; ++i)
        if (!strcmp(kHandlerNames[i], handler)) {
            *puts = &gDoc->elems[element].puts[i];
            return &gDoc->elems[element].handler[i];
        }
    return NULL;
}

int FakeHtmlHandlerSet(int element, const char* handler) {
    int* puts;
    IDispatch** slot = HandlerSlot(element, handler, &puts);
    return slot && *slot ? 1 : 0;
}
int FakeHtmlHandlerPuts(int element, const char* handler) {
    int* puts;
    IDispatch** slot = HandlerSlot(element, handler, &puts);
    return slot ? *puts : 0;
}

int FakeHtmlFire(int element, const char* handler, const char* type, int source, int ctrl, int keyCode, int x,
                 int y) {
    int* puts;
    IDispatch** slot = HandlerSlot(element, handler, &puts);
    if (!slot || !*slot) return -1;
    Event ev;
    memset(&ev, 0, sizeof ev);
    ev.face.vtbl = &gEventVt;
    ev.face.owner = &ev;
    ev.type = type ? Wide(type, strlen(type)) : NULL;
    ev.source = source;
    ev.ctrl = ctrl, ev.keyCode = keyCode, ev.x = x, ev.y = y;
    Doc* d = gDoc;
    d->current = &ev;
    IDispatch* h = *slot;
    IDispatch_AddRef(h);
    DISPPARAMS none = {NULL, NULL, 0, 0};
    IDispatch_Invoke(h, DISPID_VALUE, &IID_NULL, 0, DISPATCH_METHOD, &none, NULL, NULL, NULL);
    IDispatch_Release(h);
    d->current = NULL;
    SysFreeString(ev.type);
    return (ev.cancelBubble ? 1 : 0) | (ev.returnFalse ? 2 : 0);
}

const wchar_t* FakeHtmlAttr(int element, const char* name) {
    if (!gDoc || element < 0 || element >= gDoc->count) return NULL;
    Elem* e = &gDoc->elems[element];
    wchar_t w[64];
    MultiByteToWideChar(CP_UTF8, 0, name, -1, w, 64);
    for (int i = 0; i < e->nattr; ++i)
        if (_wcsicmp(e->attrName[i], w) == 0) return e->attrValue[i] ? e->attrValue[i] : L"";
    return NULL;
}
const wchar_t* FakeHtmlStyle(int element, const char* name) {
    if (!gDoc || element < 0 || element >= gDoc->count) return NULL;
    for (int i = 0; i < kStyleCount; ++i)
        if (!strcmp(kStyleNames[i], name)) return gDoc->elems[element].style[i];
    return NULL;
}
const wchar_t* FakeHtmlInner(int element) {
    return gDoc && element >= 0 && element < gDoc->count ? gDoc->elems[element].inner : NULL;
}
int FakeHtmlDisabled(int element) {
    return gDoc && element >= 0 && element < gDoc->count ? gDoc->elems[element].disabled : -1;
}
int FakeHtmlHideFocus(int element) {
    return gDoc && element >= 0 && element < gDoc->count ? gDoc->elems[element].hideFocus : -1;
}
int FakeHtmlFocused(void) { return gFocused; }
void FakeHtmlSetReadyState(const char* state) {
    if (gDoc) lstrcpynA(gDoc->readyState, state, sizeof gDoc->readyState);
}
