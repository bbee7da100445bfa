// autoclient_test.cpp - the automation client against Wine's own objects: the
// scripting runtime's Dictionary and FileSystemObject and VBScript's RegExp.
// Property gets and puts by name, "_Item_" and "Item", the error codes of
// Invoke failures with their detail texts, walks to sub-objects and arrays.
#include <gtest/gtest.h>

#include <string>

#include "com/autoclient.h"
#include "com/comobjects.h"
#include "com/core/varrules.h"
#include "com/varconv.h"
#include "session/config.h"

namespace {

class AutoClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        ComObjectsInstall();
    }
    void TearDown() override { OleUninitialize(); }
    AutoClient* Make(const wchar_t* progId) {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(progId, &clsid))) return nullptr;
        return AutoClientCreate(clsid, nullptr, nullptr);
    }
};

struct Args {
    VARIANT v[4];
    UINT n = 0;
    Args() {
        for (VARIANT& x : v) VariantInit(&x);
    }
    ~Args() {
        for (VARIANT& x : v) VariantClear(&x);
    }
    // Arguments in call order; stored reversed as Invoke wants them.
    Args& Str(const wchar_t* s) { return Put(VT_BSTR, s, 0); }
    Args& Int(LONG i) { return Put(VT_I4, nullptr, i); }
    Args& Put(VARTYPE vt, const wchar_t* s, LONG i) {
        for (UINT k = n; k > 0; --k) v[k] = v[k - 1];
        VariantInit(&v[0]);
        V_VT(&v[0]) = vt;
        if (vt == VT_BSTR) V_BSTR(&v[0]) = SysAllocString(s);
        else V_I4(&v[0]) = i;
        ++n;
        return *this;
    }
    DISPPARAMS Params() { return DISPPARAMS{n ? v : nullptr, nullptr, n, 0}; }
};

std::string Text(const VARIANT& v) {
    EventItem item = {kVarItemText8, 0, 0, nullptr, 0};
    std::string text;
    bool any;
    return VariantToItem(&item, &v, &text, &any) == 0 ? text : "<no text>";
}

TEST_F(AutoClientTest, DictionaryCallsAndTheirFailures) {
    AutoClient* c = Make(L"Scripting.Dictionary");
    ASSERT_NE(c, nullptr) << "Wine's scripting runtime is missing";
    Args a1;
    a1.Str(L"a").Int(1);
    DISPPARAMS p = a1.Params();
    EXPECT_EQ(AutoMethodCall(c, "Add", 0, &p, nullptr), 0);
    Args a2;
    a2.Str(L"b").Int(2);
    p = a2.Params();
    EXPECT_EQ(AutoMethodCall(c, "add", 0, &p, nullptr), 0) << "names are matched without case";
    p = a1.Params();
    EXPECT_EQ(AutoMethodCall(c, "Add", 0, &p, nullptr), kAutoException) << "a duplicate key raises";
    ASSERT_NE(gExceptionText, nullptr);
    EXPECT_EQ(std::string(gExceptionText, 22), "0000000000000000000000") << "no owner, Wine's wCode 0";
    struct Call { const char* name; int32_t code; std::string result; const char* why; };
    const Call kCalls[] = {
        {"Item", 0, "1", "Item is read as a property"},
        {"_Item_", kAutoMemberNotFound, "", "_Item_ calls Item as a method, which Dictionary has not"},
        {"Exists", 0, "-1", "a method with a result (a boolean's text form is -1)"},
        {"NoSuchMember", kAutoMethodName, "", "an unknown name"},
    };
    for (const Call& k : kCalls) {
        Args key;
        key.Str(L"a");
        DISPPARAMS kp = key.Params();
        VARIANT r;
        VariantInit(&r);
        EXPECT_EQ(AutoMethodCall(c, k.name, 0, &kp, &r), k.code) << k.why;
        if (k.code == 0) {
            EXPECT_EQ(Text(r), k.result) << k.why;
        }
        VariantClear(&r);
    }
    VARIANT r;
    ASSERT_EQ(AutoPropGet(c, "Count", 0, nullptr, &r), 0);
    EXPECT_EQ(Text(r), "2");
    EXPECT_EQ(AutoPropGet(c, "Nothing", 0, nullptr, &r), kAutoPropName);
    ASSERT_EQ(AutoMethodCall(c, "Keys", 0, nullptr, &r), 0);
    EXPECT_EQ(Text(r), "a\nb\n") << "the keys as lines";
    VariantClear(&r);
    // CompareMode only takes numbers; Wine's dictionary reports the argument.
    VARIANT bad;
    VariantInit(&bad);
    V_VT(&bad) = VT_BSTR;
    V_BSTR(&bad) = SysAllocString(L"abc");
    int32_t rc = AutoPropPut(c, "CompareMode", 0, nullptr, &bad);
    EXPECT_EQ(rc, kAutoTypeMismatch);
    EXPECT_STREQ(gErrorDetailText, "ARG: 0");
    VariantClear(&bad);
    EXPECT_EQ(AutoPropPut(c, "NoSuchProp", 0, nullptr, &r), kAutoPropName);
    AutoClientFree(c);
}

TEST_F(AutoClientTest, MissingFileRaisesAnException) {
    AutoClient* c = Make(L"Scripting.FileSystemObject");
    ASSERT_NE(c, nullptr);
    Args a;
    a.Str(L"c:\\no\\such\\file.txt");
    DISPPARAMS p = a.Params();
    VARIANT r;
    EXPECT_EQ(AutoMethodCall(c, "GetFile", 0, &p, &r), kAutoException);
    VariantClear(&r);
    AutoClientFree(c);
}

TEST_F(AutoClientTest, RegExpMatchesByWalkingToThem) {
    AutoClient* c = Make(L"VBScript.RegExp");
    ASSERT_NE(c, nullptr) << "Wine's VBScript is missing";
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"[a-z]+[0-9]");
    ASSERT_EQ(AutoPropPut(c, "Pattern", 0, nullptr, &v), 0);
    VariantClear(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = VARIANT_TRUE;
    ASSERT_EQ(AutoPropPut(c, "Global", 0, nullptr, &v), 0);
    Args text;
    text.Str(L"ab1 cd2 ef3");
    DISPPARAMS p = text.Params();
    VARIANT matches;
    ASSERT_EQ(AutoMethodCall(c, "Execute", 0, &p, &matches), 0);
    ASSERT_EQ(V_VT(&matches), VT_DISPATCH);
    AutoClient* m = AutoClientWrap(V_DISPATCH(&matches), nullptr);
    VariantClear(&matches);
    ASSERT_NE(m, nullptr);
    struct Walk { LONG index; int32_t code; std::string value; const char* why; };
    const Walk kWalks[] = {
        {1, 0, "cd2", "Item(1) is the second match"},
        {0, 0, "ab1", "the first"},
        {7, kAutoSubObject2, "", "past the end: both tries fail"},
    };
    for (const Walk& w : kWalks) {
        Args idx;
        idx.Int(w.index);
        DISPPARAMS ip = idx.Params();
        EXPECT_EQ(AutoGetSubObject(m, "Item", 0, &ip), w.code) << w.why;
        if (w.code == 0) {
            VARIANT r;
            ASSERT_EQ(AutoPropGet(m, "Value", 0, nullptr, &r), 0);
            EXPECT_EQ(Text(r), w.value) << w.why;
            VariantClear(&r);
            IDispatch* cur = AutoGetDispatch(m, true);
            EXPECT_NE(cur, nullptr) << "the walk left the sub-object current";
            if (cur) cur->Release();
        }
        AutoClearSubObject(m);
        EXPECT_EQ(AutoGetDispatch(m, true), nullptr) << "cleared";
    }
    EXPECT_EQ(AutoGetSubObject(m, "Count", 0, nullptr), kAutoSubObject) << "a number is no sub-object";
    EXPECT_EQ(AutoGetSubObject(m, "Nope", 0, nullptr), kAutoSubObject) << "an unknown name";
    AutoClientFree(m);
    AutoClientFree(c);
}

TEST_F(AutoClientTest, ScriptControlValuesAndArrays) {
    AutoClient* c = Make(L"MSScriptControl.ScriptControl");
    ASSERT_NE(c, nullptr) << "Wine's script control is missing";
    VARIANT lang;
    VariantInit(&lang);
    V_VT(&lang) = VT_BSTR;
    V_BSTR(&lang) = SysAllocString(L"VBScript");
    ASSERT_EQ(AutoPropPut(c, "Language", 0, nullptr, &lang), 0);
    VariantClear(&lang);
    Args code;
    code.Str(L"Function M()\nDim a(1, 2)\nFor i = 0 To 1\nFor j = 0 To 2\na(i, j) = i * 10 + j\nNext\nNext\n"
             L"M = a\nEnd Function\n");
    DISPPARAMS cp = code.Params();
    ASSERT_EQ(AutoMethodCall(c, "AddCode", 0, &cp, nullptr), 0);
    struct Case { const wchar_t* expr; std::string text; const char* why; };
    const Case kCases[] = {
        {L"1 + 2", "3", "a number"},
        {L"\"a\" & \"b\"", "ab", "a string"},
        {L"Array(1, \"two\", 3.5)", "1\ntwo\n3.5\n", "an array of variants: three lines"},
        {L"M()", "0\n1\n2\n10\n11\n12\n", "2 x 3: the last dimension runs fastest"},
    };
    for (const Case& k : kCases) {
        Args e;
        e.Str(k.expr);
        DISPPARAMS ep = e.Params();
        VARIANT r;
        ASSERT_EQ(AutoMethodCall(c, "Eval", 0, &ep, &r), 0) << k.why;
        EXPECT_EQ(Text(r), k.text) << k.why;
        VariantClear(&r);
    }
    VARIANT r;
    EXPECT_EQ(AutoMethodCall(c, "Eval", 0, nullptr, &r), kAutoBadParamCount) << "Eval wants its expression";
    AutoClientFree(c);
}

TEST_F(AutoClientTest, ObjectsWithoutAutomationAreNotCreated) {
    // The standard global interface table has neither IDispatch nor events.
    AutoClient* c = AutoClientCreate(CLSID_StdGlobalInterfaceTable, nullptr, nullptr);
    EXPECT_EQ(c, nullptr);
    strcpy(gErrorDetailText, "untouched");
    CLSID nothing = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(AutoClientCreate(nothing, nullptr, nullptr), nullptr);
    EXPECT_EQ(std::string(gErrorDetailText).substr(0, 9), "WINERR:0x") << "a failed creation names the HRESULT";
}

TEST_F(AutoClientTest, ErrorTable) {
    struct Case { HRESULT hr; UINT arg; int32_t code; const char* detail; };
    static const Case kCases[] = {
        {DISP_E_TYPEMISMATCH, 2, kAutoTypeMismatch, "ARG: 2"},
        {DISP_E_PARAMNOTFOUND, 0, kAutoTypeMismatch, "ARG: 0"},
        {DISP_E_UNKNOWNNAME, 0, kAutoInvokeFailed, "SCODE: 0x80020006"},
        {E_FAIL, 0, kAutoInvokeFailed, "SCODE: 0x80004005"},
    };
    for (const Case& c : kCases) {
        gErrorDetailText[0] = 0;
        EXPECT_EQ(DispErrorToCode(nullptr, c.hr, kAutoInvokeFailed, c.arg, nullptr), c.code);
        EXPECT_STREQ(gErrorDetailText, c.detail);
    }
    EXCEPINFO info = {};
    info.wCode = 1001;
    info.bstrSource = SysAllocString(L"Src");
    info.bstrDescription = SysAllocString(L"Desc");
    std::wstring help(250, L'h');
    info.bstrHelpFile = SysAllocString(help.c_str());
    info.dwHelpContext = 77;
    EXPECT_EQ(DispErrorToCode(nullptr, DISP_E_EXCEPTION, kAutoInvokeFailed, 0, &info), kAutoException);
    EXPECT_EQ(info.bstrSource, nullptr) << "the strings are freed";
    std::string t(gExceptionText);
    EXPECT_EQ(t.substr(11, 11), "00000001001");
    EXPECT_EQ(t.substr(22, 3), "Src");
    EXPECT_EQ(t.substr(222 + 237, 1), "h") << "the path up to position 238";
    EXPECT_EQ(t.substr(460, 11), "00000000077") << "then the help context";
}

}  // namespace
