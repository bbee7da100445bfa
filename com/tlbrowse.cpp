// tlbrowse.cpp - the type-library browser behind the TreeView method
// BrowseClassID: the registered type library of a class is read into a model
// of its coclasses (with their dispatch interfaces' events, methods and
// properties) and enumerations, every member gets a ready-made declaration in
// the business language, and a tree view is filled from the model.
#include <windows.h>
#include <commctrl.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "com/olecontainer.h"
#include "com/oleutil.h"
#include "objects/guihooks.h"

namespace {

constexpr size_t kDeclSize = 2048;          // the declaration buffer: 2047 characters and the NUL
constexpr size_t kCoclassTextSize = 200;    // name, "|" and CLSID
constexpr size_t kNodeTextSize = 3072;      // a member, enumeration or constant node
constexpr size_t kTypeNameSize = 256;
constexpr char kEnumsNode[] = "_Enums_";
constexpr char kEventsNode[] = "Events";
constexpr char kMethodsNode[] = "Methods";
constexpr char kPropertiesNode[] = "Properties";

// ---- The model ---------------------------------------------------------------------------
// Every list is linked newest first, so it holds its items in the reverse of
// the library's order; the tree shows them in list order.
struct Doc {
    BSTR name, docString, helpFile;
    DWORD helpContext;
};
struct TlbLibrary;
struct TlbCoclass;
struct TlbInterface;
struct TlbMember {
    TlbMember* next;
    TlbInterface* owner;
    Doc doc;
    HTREEITEM item;
    bool property, readable, writable, nonBrowsable;
    char* declaration;
    MEMBERID id;
};
struct TlbInterface {
    TlbInterface* next;
    TlbCoclass* owner;
    TlbMember* members;
    ITypeInfo* info;
    bool source;
};
struct TlbCoclass {
    TlbCoclass* next;
    TlbLibrary* owner;
    TlbInterface* interfaces;
    Doc doc;
    ITypeInfo* info;
    HTREEITEM item, properties, events, methods;
};
struct TlbConstant {
    TlbConstant* next;
    Doc doc;
    HTREEITEM item;
    int32_t value;
};
struct TlbEnum {
    TlbEnum* next;
    TlbLibrary* owner;
    TlbConstant* constants;
    Doc doc;
    ITypeInfo* info;
    HTREEITEM item;
};
struct TlbLibrary {
    TlbLibrary* nextModel;      // the models kept to the end of the process
    TlbCoclass* coclasses;
    TlbEnum* enums;
    ITypeLib* lib;
    Doc doc;
    HTREEITEM root, enumsItem;
};

TlbLibrary* gBrowsedTypeLib;
TlbLibrary* gKeptModels;

void FreeDoc(Doc* d) {
    SysFreeString(d->name);
    SysFreeString(d->docString);
    SysFreeString(d->helpFile);
    *d = Doc{};
}

void FreeModel(TlbLibrary* m) {
    if (!m) return;
    for (TlbCoclass* c = m->coclasses; c;) {
        for (TlbInterface* i = c->interfaces; i;) {
            for (TlbMember* e = i->members; e;) {
                TlbMember* next = e->next;
                FreeDoc(&e->doc);
                delete[] e->declaration;
                delete e;
                e = next;
            }
            TlbInterface* next = i->next;
            if (i->info) i->info->Release();
            delete i;
            i = next;
        }
        TlbCoclass* next = c->next;
        FreeDoc(&c->doc);
        if (c->info) c->info->Release();
        delete c;
        c = next;
    }
    for (TlbEnum* e = m->enums; e;) {
        for (TlbConstant* k = e->constants; k;) {
            TlbConstant* next = k->next;
            FreeDoc(&k->doc);
            delete k;
            k = next;
        }
        TlbEnum* next = e->next;
        FreeDoc(&e->doc);
        if (e->info) e->info->Release();
        delete e;
        e = next;
    }
    FreeDoc(&m->doc);
    if (m->lib) m->lib->Release();
    delete m;
}

// ---- Texts -------------------------------------------------------------------------------------
// A bounded text: appends are cut at the capacity, never overflow.
struct Text {
    char* data;
    size_t cap;     // bytes, with the NUL
    size_t len;
};
void Put(Text* t, const char* s) {
    if (!s) return;
    while (*s && t->len + 1 < t->cap) t->data[t->len++] = *s++;
    t->data[t->len] = 0;
}
void PutBstr(Text* t, BSTR s) {
    if (!s) return;
    char* a = WideToAnsiTemp(s);
    Put(t, a);
}
void PutFormat(Text* t, const char* format, long value) {
    char buf[32];
    snprintf(buf, sizeof buf, format, value);
    Put(t, buf);
}

const char* const kVarNames[] = {
    "VT_EMPTY", "VT_NULL", "VT_I2", "VT_I4", "VT_R4", "VT_R8", "VT_CY", "VT_DATE", "VT_BSTR", "VT_DISPATCH",
    "VT_ERROR", "VT_BOOL", "VT_VARIANT", "VT_UNKNOWN", "VT_I1", "VT_UI1", "VT_UI2", "VT_UI4", "VT_I8", "VT_UI8",
    "VT_INT", "VT_UINT", "VT_VOID", "VT_HRESULT", "VT_PTR", "VT_SAFEARRAY", "VT_CARRAY", "VT_USERDEFINED",
    "VT_LPSTR", "VT_LPWSTR",
};
static_assert(sizeof kVarNames / sizeof kVarNames[0] == 30, "the table of type names has 30 entries");
constexpr VARTYPE kGapFirst = 14, kGapAfter = 16;     // 14 and 15 have no entry

const char* VarName(VARTYPE vt) {
    if (vt < kGapFirst) return kVarNames[vt];
    if (vt >= kGapAfter && vt - 2 < static_cast<VARTYPE>(sizeof kVarNames / sizeof kVarNames[0]))
        return kVarNames[vt - 2];
    return "????";
}

struct AliasName {
    const GUID* guid;
    const char* text;
};
const AliasName kAliases[] = {
    {&GUID_COLOR, "OLE_COLOR"},
    {&GUID_XPOSPIXEL, "OLE_XPOS_PIXELS"},
    {&GUID_YPOSPIXEL, "OLE_YPOS_PIXELS"},
    {&GUID_XSIZEPIXEL, "OLE_XSIZE_PIXELS"},
    {&GUID_YSIZEPIXEL, "OLE_YSIZE_PIXELS"},
    {&GUID_XPOS, "OLE_XPOS_HIMETRIC"},
    {&GUID_YPOS, "OLE_YPOS_HIMETRIC"},
    {&GUID_XSIZE, "OLE_XSIZE_HIMETRIC"},
    {&GUID_YSIZE, "OLE_YSIZE_HIMETRIC"},
    {&GUID_OPTIONVALUEEXCLUSIVE, "OLE_OPTEXCLUSIVE"},
    {&GUID_TRISTATE, "OLE_TRISTATE"},
};

void PutUserDefined(Text* t, ITypeInfo* info, HREFTYPE ref) {
    ITypeInfo* other = nullptr;
    ITypeLib* lib = nullptr;
    UINT index = 0;
    if (FAILED(info->GetRefTypeInfo(ref, &other)) || FAILED(other->GetContainingTypeLib(&lib, &index))) {
        if (other) other->Release();
        Put(t, "^err^");
        return;
    }
    lib->Release();
    BSTR name = nullptr;
    other->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    TYPEATTR* ta = nullptr;
    bool attr = SUCCEEDED(other->GetTypeAttr(&ta));
    TYPEKIND kind = attr ? ta->typekind : TKIND_DISPATCH;
    switch (kind) {
    case TKIND_ENUM: Put(t, "enum "); PutBstr(t, name); break;
    case TKIND_RECORD: Put(t, "record "); PutBstr(t, name); break;
    case TKIND_UNION: Put(t, "union "); PutBstr(t, name); break;
    case TKIND_DISPATCH:
        if (attr && IsEqualGUID(ta->guid, IID_IFontDisp)) Put(t, "IFontDisp ");
        else if (attr && IsEqualGUID(ta->guid, IID_IPictureDisp)) Put(t, "IPictureDisp ");
        else Put(t, "IDispatch ");
        PutBstr(t, name);
        break;
    case TKIND_ALIAS: {
        const char* text = "alias ";
        for (const AliasName& a : kAliases)
            if (IsEqualGUID(ta->guid, *a.guid)) text = a.text;
        Put(t, text);
        break;
    }
    default: Put(t, "other "); PutBstr(t, name); break;
    }
    if (attr) other->ReleaseTypeAttr(ta);
    SysFreeString(name);
    other->Release();
}

void TypeDescToText(ITypeInfo* info, const TYPEDESC* td, Text* t) {
    VARTYPE vt = td->vt;
    if (vt & VT_ARRAY) Put(t, "array of ");
    vt = static_cast<VARTYPE>(vt & ~(VT_ARRAY | VT_BYREF));
    switch (vt) {
    case VT_PTR: TypeDescToText(info, td->lptdesc, t); return;
    case VT_SAFEARRAY:
        Put(t, "VT_ARRAY of ");
        TypeDescToText(info, td->lptdesc, t);
        return;
    case VT_CARRAY:
        TypeDescToText(info, &td->lpadesc->tdescElem, t);
        for (int d = td->lpadesc->cDims - 1; d >= 0; --d)
            PutFormat(t, "(%ld)", static_cast<long>(td->lpadesc->rgbounds[d].cElements));
        return;
    case VT_USERDEFINED: PutUserDefined(t, info, td->hreftype); return;
    default: Put(t, VarName(vt)); return;
    }
}

const char* Direction(USHORT flags) {
    bool in = (flags & PARAMFLAG_FIN) != 0, out = (flags & PARAMFLAG_FOUT) != 0;
    if (in && out) return " [in,out] ";
    if (out) return " [out] ";
    if (in) return " [in] ";
    return "";
}

// The member's declaration in the shared buffer (empty when its parameter
// names cannot be read); a declaration longer than the buffer is cut.
void BuildDeclaration(ITypeInfo* info, const FUNCDESC* fd, const TlbMember* m, bool event, Text* t) {
    BSTR names[64] = {};
    UINT got = 0;
    UINT want = static_cast<UINT>(fd->cParams) + 1;
    if (want > 64) want = 64;
    if (FAILED(info->GetNames(fd->memid, names, want, &got))) return;
    UINT n = static_cast<UINT>(fd->cParams);
    auto paramName = [&](UINT i) -> BSTR { return i + 1 < got ? names[i + 1] : nullptr; };
    if (m->property) {
        Put(t, "Property: *");
        PutBstr(t, m->doc.name);
        if (n > 0) {
            Put(t, "(");
            TypeDescToText(info, &fd->lprgelemdescParam[0].tdesc, t);
            Put(t, ")");
        }
        Put(t, "={");
        TypeDescToText(info, &fd->elemdescFunc.tdesc, t);
        Put(t, "}");
    } else if (event) {
        Put(t, "EVENTREG {object},$");
        PutBstr(t, m->doc.name);
        Put(t, " [,{routine}");
        for (UINT i = 1; i <= n; ++i) {
            // The tenth argument takes the character after '9': "ARG:".
            char arg[8] = {'A', 'R', 'G', static_cast<char>('0' + i), 0};
            Put(t, " [,");
            Put(t, arg);
            Put(t, "={");
            TypeDescToText(info, &fd->lprgelemdescParam[i - 1].tdesc, t);
            Put(t, "}]");
        }
        Put(t, " ]\r\n\r\n$");
        PutBstr(t, m->doc.name);
        PutFormat(t, " CONST \"%lu\"\r\n", static_cast<long>(static_cast<unsigned long>(fd->memid)));
        for (UINT i = 1; i <= n; ++i) {
            char arg[8] = {'A', 'R', 'G', static_cast<char>('0' + i), '=', 0};
            if (i > 1) Put(t, ", ");
            Put(t, arg);
            PutBstr(t, paramName(i - 1));
        }
    } else {
        Put(t, "{object}.");
        PutBstr(t, m->doc.name);
        Put(t, " [GIVING {");
        TypeDescToText(info, &fd->elemdescFunc.tdesc, t);
        Put(t, "}]");
        if (n > 0) {
            bool allOptional = fd->cParamsOpt == fd->cParams;
            UINT required = static_cast<UINT>(fd->cParams - fd->cParamsOpt);
            Put(t, allOptional ? " [USING " : " USING ");
            for (UINT i = 1; i <= n; ++i) {
                bool optional = i > required;
                if (optional) Put(t, " [");
                if (i > 1) Put(t, ", ");
                Put(t, "{*");
                PutBstr(t, paramName(i - 1));
                Put(t, "=");
                Put(t, Direction(fd->lprgelemdescParam[i - 1].paramdesc.wParamFlags));
                TypeDescToText(info, &fd->lprgelemdescParam[i - 1].tdesc, t);
                Put(t, "}");
                if (optional) Put(t, "]");
            }
            if (allOptional) Put(t, "]");
        }
    }
    for (UINT i = 0; i < got; ++i) SysFreeString(names[i]);
}

char* CopyText(const Text& t) {
    char* p = new (std::nothrow) char[t.len + 1];
    if (p) memcpy(p, t.data, t.len + 1);
    return p;
}

bool IsAccessor(INVOKEKIND k) {
    return k == INVOKE_PROPERTYGET || k == INVOKE_PROPERTYPUT || k == INVOKE_PROPERTYPUTREF;
}

bool AddMember(TlbInterface* iface, const FUNCDESC* fd) {
    if (fd->wFuncFlags & (FUNCFLAG_FRESTRICTED | FUNCFLAG_FHIDDEN)) return true;
    bool accessor = IsAccessor(fd->invkind);
    bool get = fd->invkind == INVOKE_PROPERTYGET;
    if (accessor) {
        for (TlbMember* m = iface->members; m; m = m->next) {
            if (m->id != fd->memid) continue;
            if (get) m->readable = true;
            else m->writable = true;
            return true;
        }
    }
    TlbMember* m = new (std::nothrow) TlbMember();
    if (!m) return false;
    m->owner = iface;
    m->id = fd->memid;
    m->property = accessor;
    m->readable = accessor && get;
    m->writable = accessor && !get;
    m->nonBrowsable = (fd->wFuncFlags & FUNCFLAG_FNONBROWSABLE) != 0;
    iface->info->GetDocumentation(fd->memid, &m->doc.name, &m->doc.docString, &m->doc.helpContext,
                                  &m->doc.helpFile);
    static char decl[kDeclSize];
    Text t = {decl, kDeclSize, 0};
    decl[0] = 0;
    BuildDeclaration(iface->info, fd, m, iface->source && !accessor, &t);
    m->declaration = CopyText(t);
    m->next = iface->members;
    iface->members = m;
    return m->declaration != nullptr;
}

bool AddInterface(TlbCoclass* c, ITypeInfo* info, bool source) {
    TYPEATTR* ta = nullptr;
    if (FAILED(info->GetTypeAttr(&ta))) return false;
    bool restricted = (ta->wTypeFlags & TYPEFLAG_FRESTRICTED) != 0;
    WORD funcs = ta->cFuncs;
    info->ReleaseTypeAttr(ta);
    if (restricted) return true;
    TlbInterface* i = new (std::nothrow) TlbInterface();
    if (!i) return false;
    i->owner = c;
    i->info = info;
    info->AddRef();
    i->source = source;
    i->next = c->interfaces;
    c->interfaces = i;
    for (WORD k = 0; k < funcs; ++k) {
        FUNCDESC* fd = nullptr;
        if (FAILED(info->GetFuncDesc(k, &fd))) return false;
        bool ok = AddMember(i, fd);
        info->ReleaseFuncDesc(fd);
        if (!ok) return false;
    }
    return true;
}

bool AddCoclass(TlbLibrary* m, ITypeInfo* info) {
    TYPEATTR* ta = nullptr;
    if (FAILED(info->GetTypeAttr(&ta))) return false;
    WORD flags = ta->wTypeFlags, impls = ta->cImplTypes;
    info->ReleaseTypeAttr(ta);
    if (flags & (TYPEFLAG_FHIDDEN | TYPEFLAG_FRESTRICTED)) return true;
    TlbCoclass* c = new (std::nothrow) TlbCoclass();
    if (!c) return false;
    c->owner = m;
    c->info = info;
    info->AddRef();
    info->GetDocumentation(MEMBERID_NIL, &c->doc.name, &c->doc.docString, &c->doc.helpContext, &c->doc.helpFile);
    c->next = m->coclasses;
    m->coclasses = c;
    for (WORD k = 0; k < impls; ++k) {
        HREFTYPE ref;
        INT implFlags = 0;
        ITypeInfo* ifaceInfo = nullptr;
        ITypeLib* lib = nullptr;
        UINT index = 0;
        TYPEKIND kind;
        if (FAILED(info->GetRefTypeOfImplType(k, &ref)) || FAILED(info->GetRefTypeInfo(ref, &ifaceInfo)))
            return false;
        bool ok = SUCCEEDED(ifaceInfo->GetContainingTypeLib(&lib, &index)) &&
                  SUCCEEDED(lib->GetTypeInfoType(index, &kind));
        if (lib) lib->Release();
        info->GetImplTypeFlags(k, &implFlags);
        bool source = (implFlags & IMPLTYPEFLAG_FDEFAULT) && (implFlags & IMPLTYPEFLAG_FSOURCE);
        if (ok && kind == TKIND_DISPATCH) ok = AddInterface(c, ifaceInfo, source);
        ifaceInfo->Release();
        if (!ok) return false;
    }
    return true;
}

bool AddEnum(TlbLibrary* m, ITypeInfo* info) {
    TYPEATTR* ta = nullptr;
    if (FAILED(info->GetTypeAttr(&ta))) return false;
    WORD vars = ta->cVars;
    info->ReleaseTypeAttr(ta);
    TlbEnum* e = new (std::nothrow) TlbEnum();
    if (!e) return false;
    e->owner = m;
    e->info = info;
    info->AddRef();
    info->GetDocumentation(MEMBERID_NIL, &e->doc.name, &e->doc.docString, &e->doc.helpContext, &e->doc.helpFile);
    e->next = m->enums;
    m->enums = e;
    for (WORD k = 0; k < vars; ++k) {
        VARDESC* vd = nullptr;
        if (FAILED(info->GetVarDesc(k, &vd))) return false;
        TlbConstant* c = new (std::nothrow) TlbConstant();
        if (!c) {
            info->ReleaseVarDesc(vd);
            return false;
        }
        info->GetDocumentation(vd->memid, &c->doc.name, &c->doc.docString, &c->doc.helpContext, &c->doc.helpFile);
        if (vd->varkind == VAR_CONST && vd->lpvarValue) {
            if (V_VT(vd->lpvarValue) == VT_I4) {
                c->value = V_I4(vd->lpvarValue);
            } else {
                VARIANT v;
                VariantInit(&v);
                c->value = SUCCEEDED(VariantChangeType(&v, vd->lpvarValue, 0, VT_I4)) ? V_I4(&v) : 0;
            }
        }
        info->ReleaseVarDesc(vd);
        c->next = e->constants;
        e->constants = c;
    }
    return true;
}

bool BuildModel(TlbLibrary* m) {
    if (FAILED(m->lib->GetDocumentation(-1, &m->doc.name, &m->doc.docString, &m->doc.helpContext,
                                        &m->doc.helpFile)))
        return false;
    UINT count = m->lib->GetTypeInfoCount();
    for (UINT k = 0; k < count; ++k) {
        TYPEKIND kind;
        if (FAILED(m->lib->GetTypeInfoType(k, &kind))) return false;
        if (kind != TKIND_COCLASS && kind != TKIND_ENUM) continue;
        ITypeInfo* info = nullptr;
        if (FAILED(m->lib->GetTypeInfo(k, &info))) return false;
        bool ok = kind == TKIND_COCLASS ? AddCoclass(m, info) : AddEnum(m, info);
        info->Release();
        if (!ok) return false;
    }
    return true;
}

// ---- The tree ------------------------------------------------------------------------------------

HTREEITEM Insert(HWND tree, HTREEITEM parent, HTREEITEM after, const char* text, void* data) {
    TVINSERTSTRUCTA is = {};
    is.hParent = parent;
    is.hInsertAfter = after;
    is.item.mask = TVIF_TEXT | TVIF_PARAM;
    is.item.pszText = const_cast<char*>(text);
    is.item.lParam = reinterpret_cast<LPARAM>(data);
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&is)));
}

HTREEITEM InsertMember(HWND tree, TlbCoclass* c, TlbInterface* i, TlbMember* e) {
    static char buf[kNodeTextSize];
    Text t = {buf, kNodeTextSize, 0};
    buf[0] = 0;
    PutBstr(&t, e->doc.name);
    HTREEITEM parent;
    if (i->source) {
        PutFormat(&t, "|\"%ld\"|", static_cast<long>(e->id));
        parent = c->events;
    } else if (e->property) {
        PutFormat(&t, "|%ld", e->readable ? 1L : 0L);
        PutFormat(&t, "|%ld|", e->writable ? 1L : 0L);
        parent = c->properties;
    } else {
        Put(&t, "|");
        parent = c->methods;
    }
    Put(&t, e->declaration);
    Put(&t, "|");
    PutBstr(&t, e->doc.docString);
    return Insert(tree, parent, TVI_LAST, buf, e);
}

HTREEITEM InsertValueNode(HWND tree, HTREEITEM parent, const Doc& doc, int32_t value, void* data) {
    static char buf[kNodeTextSize];
    Text t = {buf, kNodeTextSize, 0};
    buf[0] = 0;
    PutBstr(&t, doc.name);
    PutFormat(&t, "|\"%ld\"|", static_cast<long>(value));
    PutBstr(&t, doc.docString);
    return Insert(tree, parent, TVI_LAST, buf, data);
}

bool TlbFillTree(TlbLibrary* m, HWND tree) {
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    if (!m->doc.name) return false;
    char rootText[kTypeNameSize];
    Text rt = {rootText, sizeof rootText, 0};
    rootText[0] = 0;
    PutBstr(&rt, m->doc.name);
    m->root = Insert(tree, TVI_ROOT, TVI_FIRST, rootText, m);
    if (!m->root) return false;
    for (TlbCoclass* c = m->coclasses; c; c = c->next) {
        char text[kCoclassTextSize];
        Text t = {text, sizeof text, 0};
        text[0] = 0;
        PutBstr(&t, c->doc.name);
        Put(&t, "|");
        TYPEATTR* ta = nullptr;
        if (SUCCEEDED(c->info->GetTypeAttr(&ta))) {
            LPOLESTR guid = nullptr;
            if (SUCCEEDED(StringFromCLSID(ta->guid, &guid))) {
                PutBstr(&t, guid);
                CoTaskMemFree(guid);
            }
            c->info->ReleaseTypeAttr(ta);
        }
        c->item = Insert(tree, m->root, TVI_LAST, text, c);
        if (!c->item) return false;
        c->events = Insert(tree, c->item, TVI_FIRST, kEventsNode, nullptr);
        c->methods = Insert(tree, c->item, TVI_LAST, kMethodsNode, nullptr);
        c->properties = Insert(tree, c->item, TVI_LAST, kPropertiesNode, nullptr);
        if (!c->events || !c->methods || !c->properties) return false;
        for (TlbInterface* i = c->interfaces; i; i = i->next)
            for (TlbMember* e = i->members; e; e = e->next) e->item = InsertMember(tree, c, i, e);
    }
    if (m->enums) {
        m->enumsItem = Insert(tree, m->root, TVI_LAST, kEnumsNode, nullptr);
        if (!m->enumsItem) return false;
        for (TlbEnum* e = m->enums; e; e = e->next) {
            // An enumeration without constants shows 0.
            int32_t first = e->constants ? e->constants->value : 0;
            e->item = InsertValueNode(tree, m->enumsItem, e->doc, first, e);
            if (!e->item) return false;
            for (TlbConstant* k = e->constants; k; k = k->next)
                k->item = InsertValueNode(tree, e->item, k->doc, k->value, k);
        }
    }
    return true;
}

}  // namespace

int32_t TypeLibBrowseClassId(const char* classId, HWND tree) {
    if (!RuntimeOleLibraries()) return 0;
    RuntimeOleStart();
    gBrowsedTypeLib = nullptr;
    if (!classId || !tree) return 0;
    ITypeLib* lib = nullptr;
    if (!LoadTypeLibOfClsid(classId, &lib)) return 0;
    TlbLibrary* m = new (std::nothrow) TlbLibrary();
    if (!m) {
        lib->Release();
        return 0;
    }
    m->lib = lib;
    if (!BuildModel(m) || !TlbFillTree(m, tree)) {
        // The tree's items may point into the model: they go first.
        SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        FreeModel(m);
        return 0;
    }
    // The tree items' data point into the model: it stays to the end.
    m->nextModel = gKeptModels;
    gKeptModels = m;
    gBrowsedTypeLib = m;
    return 1;
}

void TypeLibBrowseFree() {
    gBrowsedTypeLib = nullptr;
    while (gKeptModels) {
        TlbLibrary* next = gKeptModels->nextModel;
        FreeModel(gKeptModels);
        gKeptModels = next;
    }
}
