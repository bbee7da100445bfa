// htmlelem.cpp - element and style access of the browser host: elements found
// by id or name in the document's all collection (or "body"), their inner HTML,
// text, class and attributes, their inline style by property name, and focus.
#include <cstring>

#include "com/htmlsite.h"
#include "com/htmlstyles.h"

namespace {

bool IsBodyName(const char* name) { return name && _stricmp(name, "body") == 0; }

// The element by name (the first of several with the same id), with a reference.
IHTMLElement* FindElement(CQovPanelWebBrowser* site, const char* name) {
    IHTMLDocument2* doc = HtmlSiteDocument(site);
    if (!doc) return nullptr;
    IHTMLElement* el = nullptr;
    if (IsBodyName(name)) {
        doc->get_body(&el);
    } else {
        IHTMLElementCollection* all = nullptr;
        if (SUCCEEDED(doc->get_all(&all)) && all) {
            VARIANT which, index;
            V_VT(&which) = VT_BSTR;
            V_BSTR(&which) = HtmlToBstr(name);
            V_VT(&index) = VT_I4;
            V_I4(&index) = 0;
            IDispatch* item = nullptr;
            if (V_BSTR(&which) && SUCCEEDED(all->item(which, index, &item)) && item) {
                item->QueryInterface(IID_IHTMLElement, reinterpret_cast<void**>(&el));
                item->Release();
            }
            VariantClear(&which);
            all->Release();
        }
    }
    doc->Release();
    return el;
}

// A value as text into out: strings as they are, others through the change to
// VT_BSTR with booleans as words; a value that does not fit whole leaves out empty.
void VariantToOut(VARIANT* v, char* out, uint32_t size) {
    if (V_VT(v) != VT_BSTR &&
        FAILED(VariantChangeType(v, v, VARIANT_ALPHABOOL, VT_BSTR)))
        return;
    if (!HtmlFromWide(V_BSTR(v), out, size)) out[0] = '\0';
}

void BstrToOut(BSTR text, char* out, uint32_t size) {
    if (!HtmlFromWide(text, out, size)) out[0] = '\0';
}

enum ElemProp { kPropHtml, kPropText, kPropClass, kPropAttribute };

ElemProp ElemPropOf(const char* name) {
    if (_stricmp(name, "html") == 0) return kPropHtml;
    if (_stricmp(name, "text") == 0) return kPropText;
    if (_stricmp(name, "class") == 0) return kPropClass;
    return kPropAttribute;
}

// ---- Styles by name -----------------------------------------------------------------------
// One reader and one writer per style property, made from the list: each asks
// the style object for its interface first and does nothing without it.

template <typename Face>
Face* StyleFace(IHTMLStyle* style, const IID& iid) {
    Face* face = nullptr;
    if (FAILED(style->QueryInterface(iid, reinterpret_cast<void**>(&face)))) return nullptr;
    return face;
}

const IID& StyleIid(int face) {
    switch (face) {
    case 2: return IID_IHTMLStyle2;
    case 3: return kIidHtmlStyle3;
    case 4: return kIidHtmlStyle4;
    case 5: return kIidHtmlStyle5;
    default: return IID_IHTMLStyle;
    }
}

typedef IHTMLStyle StyleFace1;
typedef IHTMLStyle2 StyleFace2;
typedef IHTMLStyle3 StyleFace3;
typedef IHTMLStyle4 StyleFace4;
typedef IHTMLStyle5 StyleFace5;

// Value forms: S passes a BSTR, V a VARIANT holding the text as a BSTR.
template <typename Face, typename Get>
void ReadS(IHTMLStyle* style, int face, Get get, char* out, uint32_t size) {
    Face* f = StyleFace<Face>(style, StyleIid(face));
    if (!f) return;
    BSTR value = nullptr;
    if (SUCCEEDED(get(f, &value))) BstrToOut(value, out, size);
    SysFreeString(value);
    f->Release();
}
template <typename Face, typename Get>
void ReadV(IHTMLStyle* style, int face, Get get, char* out, uint32_t size) {
    Face* f = StyleFace<Face>(style, StyleIid(face));
    if (!f) return;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(get(f, &value))) VariantToOut(&value, out, size);
    VariantClear(&value);
    f->Release();
}
template <typename Face, typename Put>
void WriteS(IHTMLStyle* style, int face, Put put, BSTR text) {
    Face* f = StyleFace<Face>(style, StyleIid(face));
    if (!f) return;
    put(f, text);
    f->Release();
}
template <typename Face, typename Put>
void WriteV(IHTMLStyle* style, int face, Put put, BSTR text) {
    Face* f = StyleFace<Face>(style, StyleIid(face));
    if (!f) return;
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text;
    put(f, v);
    f->Release();
}

#define QOV_STYLE_READ_S(face, name)                                                                         \
    ReadS<StyleFace##face>(style, face, [](StyleFace##face* f, BSTR* v) { return f->get_##name(v); }, out, size)
#define QOV_STYLE_READ_V(face, name)                                                                         \
    ReadV<StyleFace##face>(style, face, [](StyleFace##face* f, VARIANT* v) { return f->get_##name(v); }, out, size)
#define QOV_STYLE_WRITE_S(face, name) \
    WriteS<StyleFace##face>(style, face, [](StyleFace##face* f, BSTR v) { return f->put_##name(v); }, text)
#define QOV_STYLE_WRITE_V(face, name) \
    WriteV<StyleFace##face>(style, face, [](StyleFace##face* f, VARIANT v) { return f->put_##name(v); }, text)

void StyleRead(IHTMLStyle* style, int index, char* out, uint32_t size) {
    int i = 0;
#define X(face, form, name)                        \
    if (i++ == index) {                            \
        QOV_STYLE_READ_##form(face, name);         \
        return;                                    \
    }
    QOV_HTML_STYLES(X)
#undef X
}

void StyleWrite(IHTMLStyle* style, int index, BSTR text) {
    int i = 0;
#define X(face, form, name)                        \
    if (i++ == index) {                            \
        QOV_STYLE_WRITE_##form(face, name);        \
        return;                                    \
    }
    QOV_HTML_STYLES(X)
#undef X
}

IHTMLStyle* ElementStyle(CQovPanelWebBrowser* site, const char* id) {
    IHTMLElement* el = FindElement(site, id);
    if (!el) return nullptr;
    IHTMLStyle* style = nullptr;
    el->get_style(&style);
    el->Release();
    return style;
}

}  // namespace

int32_t HtmlPanelGetElemProp(CQovPanelWebBrowser* site, const char* id, const char* prop, char* out, uint32_t size,
                             int32_t) {
    if (!out || size == 0) return 0;
    out[0] = '\0';
    if (!prop) return 0;
    IHTMLElement* el = FindElement(site, id);
    if (!el) return 0;
    BSTR value = nullptr;
    switch (ElemPropOf(prop)) {
    case kPropHtml: if (SUCCEEDED(el->get_innerHTML(&value))) BstrToOut(value, out, size); break;
    case kPropText: if (SUCCEEDED(el->get_innerText(&value))) BstrToOut(value, out, size); break;
    case kPropClass: if (SUCCEEDED(el->get_className(&value))) BstrToOut(value, out, size); break;
    case kPropAttribute: {
        BSTR name = HtmlToBstr(prop);
        VARIANT v;
        VariantInit(&v);
        if (name && SUCCEEDED(el->getAttribute(name, 0, &v)) && V_VT(&v) != VT_NULL && V_VT(&v) != VT_EMPTY)
            VariantToOut(&v, out, size);
        VariantClear(&v);
        SysFreeString(name);
        break;
    }
    }
    SysFreeString(value);
    el->Release();
    return 0;
}

int32_t HtmlPanelSetElemProp(CQovPanelWebBrowser* site, const char* id, const char* prop, const char* value,
                             int32_t) {
    if (!prop) return 0;
    IHTMLElement* el = FindElement(site, id);
    if (!el) return 0;
    BSTR text = HtmlToBstr(value);
    if (text) {
        switch (ElemPropOf(prop)) {
        case kPropHtml: el->put_innerHTML(text); break;
        case kPropText: el->put_innerText(text); break;
        case kPropClass: el->put_className(text); break;
        case kPropAttribute: {
            BSTR name = HtmlToBstr(prop);
            if (name) {
                VARIANT v;
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = text;
                el->setAttribute(name, v, 0);
                SysFreeString(name);
            }
            break;
        }
        }
        SysFreeString(text);
    }
    el->Release();
    return 0;
}

int32_t HtmlPanelGetStyle(CQovPanelWebBrowser* site, const char* id, const char* name, char* out, uint32_t size,
                          int32_t) {
    if (!out || size == 0) return 0;
    out[0] = '\0';
    int index = HtmlStyleIndex(name);
    if (index < 0) return 0;
    IHTMLStyle* style = ElementStyle(site, id);
    if (!style) return 0;
    StyleRead(style, index, out, size);
    style->Release();
    return 0;
}

int32_t HtmlPanelSetStyle(CQovPanelWebBrowser* site, const char* id, const char* name, const char* value, int32_t) {
    int index = HtmlStyleIndex(name);
    if (index < 0) return 0;
    IHTMLStyle* style = ElementStyle(site, id);
    if (!style) return 0;
    BSTR text = HtmlToBstr(value);
    if (text) StyleWrite(style, index, text);
    SysFreeString(text);
    style->Release();
    return 0;
}

int32_t HtmlPanelFocusElement(CQovPanelWebBrowser* site, const char* id) {
    IHTMLElement* el = FindElement(site, id);
    if (!el) return 0;
    IHTMLElement2* el2 = nullptr;
    if (SUCCEEDED(el->QueryInterface(IID_IHTMLElement2, reinterpret_cast<void**>(&el2))) && el2) {
        el2->focus();
        el2->Release();
    }
    el->Release();
    return 0;
}
