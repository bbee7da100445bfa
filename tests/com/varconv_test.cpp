// varconv_test.cpp - items to VARIANTs and back under Wine: every item kind and
// width, the requested types, texts in the three code forms and over the
// kind-16 limit, results into every receiving kind (the decimal comma, VT_NULL,
// 64-bit), arrays as lines (also by reference), object variables that replace
// their object, and Variant objects passed by their VarPtr modes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "com/comobjects.h"
#include "com/core/varrules.h"
#include "com/oleutil.h"
#include "com/varconv.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/objtables.h"
#include "session/session.h"

namespace {

class VarConv : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ComObjectsInstall();
    }
    void TearDown() override { OleUninitialize(); }
};

EventItem IntItem(uint32_t width, uint64_t value) { return EventItem{kVarItemInt, width, value, nullptr, 0}; }

std::wstring Wide(const VARIANT& v) { return V_BSTR(&v) ? std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v))) : L""; }

TEST_F(VarConv, ItemsBecomeTheirVariants) {
    struct Case { EventItem item; VARTYPE requested; int32_t code; VARTYPE vt; const char* why; };
    const Case kCases[] = {
        {IntItem(1, 200), 0, 0, VT_UI1, "a byte"},
        {IntItem(2, 0xFFFF), 0, 0, VT_I2, "a word"},
        {IntItem(4, 0xFFFFFFFF), 0, 0, VT_I4, "the common width"},
        {IntItem(4, 0x80020004), VT_ERROR, 0, VT_ERROR, "an error code as asked"},
        {IntItem(8, static_cast<uint64_t>(-5)), 0, 0, VT_I8, "a negative 64-bit value, signed"},
        {IntItem(8, 5), 0, 0, VT_UI8, "a non-negative 64-bit value, unsigned"},
        {IntItem(4, 12), VT_BSTR, 0, VT_BSTR, "a number changed to a string"},
        {EventItem{kVarItemObject, kTypeAutomation, 0, nullptr, 0}, 0, 0, VT_DISPATCH, "no object: a null dispatch"},
        {EventItem{kVarItemObject, kTypeAutomation, 0, nullptr, 0}, VT_I4, kAutoBadConvert, VT_EMPTY,
         "an object reference cannot become a number"},
        {EventItem{kVarItemObject, kTypeControl, 0, nullptr, 0}, 0, kAutoBadConvert, VT_EMPTY, "no control to pass"},
        {EventItem{99, 4, 0, nullptr, 0}, 0, kAutoBadConvert, VT_EMPTY, "an unknown kind"},
    };
    for (const Case& c : kCases) {
        VARIANT v;
        EXPECT_EQ(VarToVariant(&c.item, &v, c.requested), c.code) << c.why;
        EXPECT_EQ(V_VT(&v), c.vt) << c.why;
        VariantClear(&v);
    }
    VARIANT v;
    EventItem neg = IntItem(8, static_cast<uint64_t>(-5));
    ASSERT_EQ(VarToVariant(&neg, &v, 0), 0);
    EXPECT_EQ(V_I8(&v), -5) << "a negative value arrives as itself";
    EventItem big = IntItem(8, 0x7FFFFFFFFFFFFFFFull);
    ASSERT_EQ(VarToVariant(&big, &v, 0), 0);
    EXPECT_EQ(V_VT(&v), VT_UI8);
    EXPECT_EQ(V_UI8(&v), 0x7FFFFFFFFFFFFFFFull) << "the largest non-negative value, whole";
    gVarInt64Args = false;
    ASSERT_EQ(VarToVariant(&neg, &v, 0), 0);
    EXPECT_EQ(V_VT(&v), VT_UI4) << "without the flag only the low word";
    gVarInt64Args = true;
}

TEST_F(VarConv, TextsInTheirForms) {
    std::string big(50000, 'x');
    std::string over16(kText16Max + 1, 'y'), at16(kText16Max, 'z');
    struct Case { uint32_t kind; std::string text; int32_t code; std::wstring want; const char* why; };
    const Case kCases[] = {
        {kVarItemText8, "abc", 0, L"abc", "8-bit text"},
        {kVarItemText8, std::string("a\0b", 3), 0, std::wstring(L"a\0b", 3), "kind 32 keeps its NULs"},
        {kVarItemText, std::string("a\0b", 3), 0, L"a", "kind 16 ends at its first NUL"},
        {kVarItemUtf8, "\xC3\xA4\xE2\x82\xAC", 0, L"\x00E4\x20AC", "UTF-8"},
        {kVarItemText8, big, 0, std::wstring(big.begin(), big.end()), "a long kind-32 text in its own allocation"},
        {kVarItemText, at16, 0, std::wstring(at16.begin(), at16.end()), "kind 16 at its limit"},
        {kVarItemText, over16, kAutoBadConvert, L"", "kind 16 over its limit is refused"},
        {kVarItemText8, "", 0, L"", "an empty text"},
    };
    for (const Case& c : kCases) {
        EventItem item = {c.kind, static_cast<uint32_t>(c.text.size()), 0, c.text.data(), 0};
        VARIANT v;
        ASSERT_EQ(VarToVariant(&item, &v, 0), c.code) << c.why;
        if (c.code == 0) {
            EXPECT_EQ(V_VT(&v), VT_BSTR) << c.why;
            EXPECT_EQ(Wide(v), c.want) << c.why;
        }
        VariantClear(&v);
    }
}

struct Out {
    int32_t code;
    std::string text;
    uint64_t value;
};

Out ToItem(uint32_t kind, uint32_t size, const VARIANT& v) {
    EventItem item = {kind, size, 0, nullptr, 0};
    std::string text;
    bool any = false;
    Out o;
    o.code = VariantToItem(&item, &v, &text, &any);
    o.text = text;
    o.value = item.value;
    return o;
}

VARIANT R8(double d) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_R8;
    V_R8(&v) = d;
    return v;
}
VARIANT Str(const wchar_t* s) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
    return v;
}
VARIANT OfType(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = vt;
    return v;
}

TEST_F(VarConv, ResultsIntoVariables) {
    VARIANT i8 = OfType(VT_I8);
    V_I8(&i8) = -7;
    struct Case { VARIANT v; uint32_t kind, size; int32_t code; std::string text; uint64_t value; const char* why; };
    Case cases[] = {
        {Str(L"h\x00E4llo"), kVarItemText8, 0, 0, "h\xE4llo", 0, "a string in the ANSI code page"},
        {Str(L"h\x00E4llo"), kVarItemUtf8, 0, 0, "h\xC3\xA4llo", 0, "a string in UTF-8"},
        {Str(L"1,5"), kVarItemText, 0, 0, "1,5", 0, "a string into kind 16 keeps its comma"},
        {R8(12.5), kVarItemText8, 0, 0, "12.5", 0, "a number's text form"},
        {OfType(VT_NULL), kVarItemText8, 0, kAutoNullValue, "", 0, "null into a text"},
        {OfType(VT_NULL), kVarItemInt, 4, kAutoNullValue, "", 0, "null into a number"},
        {OfType(VT_EMPTY), kVarItemInt, 4, 0, "", 0, "empty is 0"},
        {R8(41.6), kVarItemInt, 4, 0, "", 42, "a double rounds"},
        {Str(L"abc"), kVarItemInt, 4, kAutoNoValue, "", 0, "a word is no number"},
        {i8, kVarItemInt, 8, 0, "", static_cast<uint64_t>(-7), "64-bit taken whole"},
        {R8(1.5), kVarItemObject, kTypeIcon, kAutoNoValue, "", 0, "a number is no picture"},
        {R8(1.5), 77, 4, kAutoNoValue, "", 0, "an unknown receiving kind"},
    };
    for (Case& c : cases) {
        Out o = ToItem(c.kind, c.size, c.v);
        EXPECT_EQ(o.code, c.code) << c.why;
        if (c.code == 0) {
            EXPECT_EQ(o.text, c.text) << c.why;
            EXPECT_EQ(o.value, c.value) << c.why;
        }
        VariantClear(&c.v);
    }
}

// A user whose locale writes a decimal comma (the registry value sDecimal, set
// here as "wine reg add" would and put back afterwards).
TEST_F(VarConv, DecimalCommaBecomesAPeriodInKind16Only) {
    char old[8] = "";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, old, sizeof old);
    ASSERT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, ","));
    VARIANT v = R8(12.5);
    std::string k16 = ToItem(kVarItemText, 0, v).text, k32 = ToItem(kVarItemText8, 0, v).text;
    VARIANT s = Str(L"1,2,3");
    std::string str16 = ToItem(kVarItemText, 0, s).text;
    VariantClear(&s);
    SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, old);
    EXPECT_EQ(k16, "12.5") << "kind 16: the first comma becomes a period";
    EXPECT_EQ(k32, "12,5") << "kind 32 keeps the comma";
    EXPECT_EQ(str16, "1,2,3") << "a string keeps its commas";
}

SAFEARRAY* IntArray2x3() {
    SAFEARRAYBOUND b[2] = {{2, 0}, {3, 1}};
    SAFEARRAY* sa = SafeArrayCreate(VT_I4, 2, b);
    for (LONG i = 0; i < 2; ++i)
        for (LONG j = 1; j <= 3; ++j) {
            LONG idx[2] = {i, j};
            LONG val = i * 10 + j;
            SafeArrayPutElement(sa, idx, &val);
        }
    return sa;
}

TEST_F(VarConv, ArraysBecomeLines) {
    VARIANT arr = OfType(VT_ARRAY | VT_I4);
    V_ARRAY(&arr) = IntArray2x3();
    EXPECT_EQ(ToItem(kVarItemText8, 0, arr).text, "1\n2\n3\n11\n12\n13\n") << "last dimension fastest";
    // By reference (an event's argument): read through the reference.
    VARIANT ref = OfType(VT_ARRAY | VT_I4 | VT_BYREF);
    V_ARRAYREF(&ref) = &V_ARRAY(&arr);
    Out o = ToItem(kVarItemUtf8, 0, ref);
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.text, "1\n2\n3\n11\n12\n13\n");
    EXPECT_EQ(ToItem(kVarItemText, 0, arr).code, kAutoNoValue) << "kind 16 takes no array";
    VariantClear(&arr);
    // Variant elements of mixed types.
    SAFEARRAYBOUND b = {3, 0};
    VARIANT mixed = OfType(VT_ARRAY | VT_VARIANT);
    V_ARRAY(&mixed) = SafeArrayCreate(VT_VARIANT, 1, &b);
    VARIANT e[3] = {R8(1), Str(L"two"), R8(3.5)};
    for (LONG i = 0; i < 3; ++i) {
        SafeArrayPutElement(V_ARRAY(&mixed), &i, &e[i]);
        VariantClear(&e[i]);
    }
    EXPECT_EQ(ToItem(kVarItemText8, 0, mixed).text, "1\ntwo\n3.5\n");
    VariantClear(&mixed);
}

TEST_F(VarConv, ObjectVariablesReplaceTheirObject) {
    // Any IDispatch will do: a Variant's own value holds none, so take a
    // dictionary from Wine's scripting runtime.
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"Scripting.Dictionary", &clsid), S_OK);
    IDispatch* d = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d)),
              S_OK);
    VARIANT v = OfType(VT_DISPATCH);
    V_DISPATCH(&v) = d;
    EventItem item = {kVarItemObject, kTypeAutomation, 0, nullptr, 5};
    std::string text;
    bool any = false;
    ASSERT_EQ(VariantToItem(&item, &v, &text, &any), 0);
    ObjectRecord* first = ObjectFromHandle(static_cast<uint32_t>(item.value));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->kind, kKindAutomation);
    EXPECT_EQ(first->ovar, 5u) << "the new object carries the variable";
    uint32_t firstHandle = first->handle;
    ASSERT_EQ(VariantToItem(&item, &v, &text, &any), 0);
    EXPECT_EQ(ObjectFromHandle(firstHandle), nullptr) << "storing again destroys the old object";
    ObjectRecord* second = ObjectFromHandle(static_cast<uint32_t>(item.value));
    ASSERT_NE(second, nullptr);
    // A stale handle in the variable destroys nothing.
    EventItem stale = {kVarItemObject, kTypeAutomation, firstHandle, nullptr, 6};
    ASSERT_EQ(VariantToItem(&stale, &v, &text, &any), 0);
    EXPECT_NE(ObjectFromHandle(second->handle), nullptr) << "an unrelated object stays";
    ObjectDestroy(ObjectFromHandle(static_cast<uint32_t>(stale.value)));
    ObjectDestroy(second);
    // A null dispatch makes no object: -3 with the item still going out.
    VARIANT none = OfType(VT_DISPATCH);
    EventItem empty = {kVarItemObject, kTypeAutomation, 0, nullptr, 7};
    EXPECT_EQ(VariantToItem(&empty, &none, &text, &any), kAutoNoObject);
    EXPECT_TRUE(any);
    VariantClear(&v);
}

// The picture facility's makers, standing in: a bare record of the kind.
ObjectRecord* BarePict(HBITMAP, HPALETTE, ObjectRecord*, bool, int32_t* code) {
    *code = 0;
    return ObjectAllocRecord(kKindPict, sizeof(ObjectRecord), false);
}
ObjectRecord* BareIcon(HICON, ObjectRecord*, int32_t* code) {
    *code = 0;
    return ObjectAllocRecord(kKindIcon, sizeof(ObjectRecord), false);
}

// OLE pictures stored into Pict and Icon variables become objects of the
// variable; a picture of the other type stores nothing and answers -50.
TEST_F(VarConv, PicturesIntoPictAndIconVariables) {
    gOlePictHooks.pictFromBitmap = BarePict;
    gOlePictHooks.iconFromHandle = BareIcon;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    PICTDESC pd = {};
    pd.cbSizeofstruct = sizeof pd;
    pd.picType = PICTYPE_BITMAP;
    pd.bmp.hbitmap = bitmap;
    VARIANT ofBitmap = OfType(VT_DISPATCH), ofIcon = OfType(VT_DISPATCH);
    ASSERT_EQ(S_OK, OleCreatePictureIndirect(&pd, IID_IDispatch, TRUE, reinterpret_cast<void**>(&V_DISPATCH(&ofBitmap))));
    V_DISPATCH(&ofIcon) = reinterpret_cast<IDispatch*>(
        IconToIPictureDisp(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION))));
    ASSERT_NE(nullptr, V_DISPATCH(&ofIcon));
    struct Case { const VARIANT* v; uint32_t type; int32_t code; uint8_t kind; const char* why; };
    const Case kCases[] = {
        {&ofBitmap, kTypePict, 0, kKindPict, "a bitmap picture into a Pict variable"},
        {&ofIcon, kTypeIcon, 0, kKindIcon, "an icon picture into an Icon variable"},
        {&ofIcon, kTypePict, kAutoNoValue, 0, "an icon is no Pict"},
        {&ofBitmap, kTypeIcon, kAutoNoValue, 0, "a bitmap is no Icon"},
    };
    for (const Case& c : kCases) {
        EventItem item = {kVarItemObject, c.type, 0, nullptr, 9};
        std::string text;
        bool any = false;
        EXPECT_EQ(c.code, VariantToItem(&item, c.v, &text, &any)) << c.why;
        ObjectRecord* rec = ObjectFromHandle(static_cast<uint32_t>(item.value));
        if (c.code != 0) {
            EXPECT_EQ(nullptr, rec) << c.why;
            EXPECT_TRUE(any) << "the variable still goes out: " << c.why;
            continue;
        }
        ASSERT_NE(nullptr, rec) << c.why;
        EXPECT_EQ(c.kind, rec->kind) << c.why;
        EXPECT_EQ(9u, rec->ovar) << "the object carries the variable: " << c.why;
        ObjectFreeRecord(rec);
    }
    VariantClear(&ofBitmap);
    VariantClear(&ofIcon);
    gOlePictHooks.pictFromBitmap = nullptr;
    gOlePictHooks.iconFromHandle = nullptr;
}

TEST_F(VarConv, VariantObjectsByTheirVarPtrMode) {
    EventItem seven = IntItem(4, 7);
    int32_t code = 0;
    ObjectRecord* rec = VariantObjMake(VT_I4, kVarPtrCopy, &seven, 0, true, &code);
    ASSERT_NE(rec, nullptr) << code;
    EventItem ref = {kVarItemObject, kTypeVariant, rec->handle, nullptr, 0};
    struct Case { uint8_t mode; VARTYPE requested; VARTYPE vt; const char* why; };
    static const Case kCases[] = {
        {kVarPtrCopy, 0, VT_I4, "a copy"},
        {kVarPtrByRefVariant, 0, VT_BYREF | VT_VARIANT, "a reference to the VARIANT"},
        {kVarPtrByRefOwnType, 0, VT_BYREF | VT_I4, "a reference of its own type"},
        {kVarPtrCopy, VT_VARIANT, VT_BYREF | VT_VARIANT, "VT_VARIANT asked for"},
        {kVarPtrCopy, VT_BSTR, VT_BSTR, "a copy changed to the type asked"},
    };
    for (const Case& c : kCases) {
        VariantOf(rec)->varPtrMode = c.mode;
        VARIANT v;
        ASSERT_EQ(VarToVariant(&ref, &v, c.requested), 0) << c.why;
        EXPECT_EQ(V_VT(&v), c.vt) << c.why;
        if (c.vt == (VT_BYREF | VT_I4)) {
            *V_I4REF(&v) = 9;
            EXPECT_EQ(V_I4(&VariantOf(rec)->value), 9) << "the callee writes the Variant's value";
        }
        VariantClear(&v);
    }
    struct Bad { uint16_t vt; int32_t code; };
    static const Bad kBad[] = {{VT_DECIMAL, kAutoBadVarType}, {VT_VARIANT, kAutoBadVarType}, {VT_INT, kAutoBadVarType}};
    for (const Bad& b : kBad) EXPECT_EQ(VariantObjMake(b.vt, 0, nullptr, 0, true, &code), nullptr);
    ObjectDestroy(rec);
}

// Under a double-byte code page a text needs more bytes than it has UTF-16
// units: the converted length is the conversion's own byte count.
TEST_F(VarConv, DoubleByteCodePageKeepsTheWholeText) {
    const char* want = getenv("QOV_EXPECT_ACP");
    if (!want) GTEST_SKIP() << "run with LC_ALL=ja_JP.UTF-8 and QOV_EXPECT_ACP=932";
    ASSERT_EQ(GetACP(), static_cast<UINT>(atoi(want))) << "Wine did not take the code page from LC_ALL";
    VARIANT v = Str(L"\x65E5\x672C\x8A9E abc");   // three kanji, a blank, three letters
    Out o = ToItem(kVarItemText8, 0, v);
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.text.size(), 10u) << "two bytes per kanji";
    EXPECT_EQ(o.text.substr(6), " abc") << "the end is not cut";
    VariantClear(&v);
}

}  // namespace

namespace {

// Writes through a by-reference argument: a string moves into the referenced
// storage (the one it replaces is freed there) and nothing stays in the record.
TEST_F(VarConv, WritesThroughReferencesKeepTheNewValueValid) {
    BSTR held = SysAllocString(L"old");
    LONG number = 1;
    VARIANT refs[2];
    VariantInit(&refs[0]);
    V_VT(&refs[0]) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&refs[0]) = &held;
    VariantInit(&refs[1]);
    V_VT(&refs[1]) = VT_BYREF | VT_I4;
    V_I4REF(&refs[1]) = &number;
    VARIANT* args[2] = {&refs[0], &refs[1]};
    VariantBuiltinsPoint(args, 2);
    std::string text = "new text";
    PropChange set = {};
    set.selector = EventItem{kVarItemText8, static_cast<uint32_t>(text.size()), 0, text.data(), 0};
    VariantRecord* r1 = VariantBuiltin(1);
    ASSERT_EQ(gComObjectHooks.variantSetProp(&r1->hdr, &set, 398), 0);
    text.assign("XXXXXXXX");   // the caller's text goes; the string must not
    EXPECT_STREQ(held, L"new text");
    EXPECT_NE(V_VT(&r1->value), VT_BSTR) << "the record keeps no share of it";
    set.selector = EventItem{kVarItemInt, 4, 77, nullptr, 0};
    ASSERT_EQ(gComObjectHooks.variantSetProp(&VariantBuiltin(2)->hdr, &set, 398), 0);
    EXPECT_EQ(number, 77);
    VariantBuiltinsPoint(nullptr, 0);
    EXPECT_EQ(V_VT(VariantBuiltin(1)->valuePtr), VT_ERROR) << "no record points at the arguments afterwards";
    SysFreeString(held);
}

TEST_F(VarConv, RawBytesAndElementsOfManyDimensions) {
    // The raw value of a string is the string's own UTF-16 bytes.
    VariantRecord* r0 = VariantBuiltin(0);
    VariantClear(&r0->value);
    V_VT(&r0->value) = VT_BSTR;
    V_BSTR(&r0->value) = SysAllocString(L"ab");
    PropQuery q = {};
    q.selector = EventItem{kVarItemText8, 0, 0, nullptr, 1};
    MsgBuildAnswer(&gSendBuf, kMsgAnswer, 0, 0, false);
    ASSERT_EQ(gComObjectHooks.variantGetProp(&r0->hdr, &q, 432), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(gSendBuf.data + kAnswerSize + kEventItemSize), 4),
              std::string("a\0b\0", 4));
    VariantClear(&r0->value);
    // An array of six dimensions (as a COM object may hand one over): its
    // element is refused, not read with a five-entry index vector.
    SAFEARRAYBOUND b[6] = {{1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {2, 0}};
    VARIANT six;
    VariantInit(&six);
    V_VT(&six) = VT_ARRAY | VT_I4;
    V_ARRAY(&six) = SafeArrayCreate(VT_I4, 6, b);
    EventItem var = {kVarItemObject, kTypeVariant, 0, nullptr, 3};
    std::string text;
    bool any;
    ASSERT_EQ(VariantToItem(&var, &six, &text, &any), 0);
    ObjectRecord* rec = ObjectFromHandle(static_cast<uint32_t>(var.value));
    ASSERT_NE(rec, nullptr);
    MethodCallRec call = {};
    call.method = 2;   // GetElement
    call.noCheck = 1;
    call.argCount = 1;
    call.args[0] = EventItem{kVarItemInt, 4, 0, nullptr, 0};
    EXPECT_EQ(ObjectInvokeMethod(kTypeVariant, rec, &call), kAutoBadElement);
    ObjectDestroy(rec);
    VariantClear(&six);
}

}  // namespace
