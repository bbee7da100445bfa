// testsrv_test.cpp - the automation client against the project's test COM
// server (registered here by Wine's regsvr32): VARTYPEs as they arrive, named
// arguments in Invoke's order, the put-by-reference retry, an exception with
// every field and a 250-character help path, a type mismatch at argument 2,
// the two-step walk into a collection, events with and without class
// information, a refused Advise, an object without automation, and the sink
// after its client is gone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "com/autoclient.h"
#include "com/autoglue.h"
#include "com/comevents.h"
#include "com/comobjects.h"
#include "com/core/varrules.h"
#include "com/varconv.h"
#include "objects/events.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "session/config.h"
#include "session/session.h"
#include "tests/com/testsrv/testsrvids.h"
#include "tests/com/testsrvreg.h"

namespace {

class TestServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registered_ = RegisterServer(); }
    void SetUp() override {
        ASSERT_TRUE(registered_) << "regsvr32 could not register the test server (QOV_TESTSRV)";
        OleInitialize(nullptr);
        ComObjectsInstall();
        MsgBuildAnswer(&gSendBuf, kMsgAnswer, 0, 0, false);
    }
    void TearDown() override {
        EventCleanup();
        OleUninitialize();
    }
    // An Automation object over a new instance (its ObjectId 12).
    ObjectRecord* MakeObject(REFCLSID clsid) {
        IDispatch* d = nullptr;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d))))
            return nullptr;
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = d;
        int32_t code = 0;
        ObjectRecord* rec = AutomationWrapDispatch(nullptr, &v, &code);
        VariantClear(&v);
        if (rec) rec->objectId = 12;
        return rec;
    }
    AutoClient* Client(ObjectRecord* rec) { return AutomationOf(rec)->client; }
    static bool registered_;
};
bool TestServer::registered_;

// The text of the last item appended to the answer being built.
std::string LastItemText() {
    const uint8_t* p = gSendBuf.data + kAnswerSize;
    uint32_t size, off;
    memcpy(&size, p + kEviSize, 4);
    memcpy(&off, p + kEviValue, 4);
    return std::string(reinterpret_cast<const char*>(gSendBuf.data + off), size);
}

EventItem TextItem(const char* s) { return EventItem{kVarItemText8, static_cast<uint32_t>(strlen(s)), 0, s, 0}; }
EventItem IntItem(uint32_t width, uint64_t v) { return EventItem{kVarItemInt, width, v, nullptr, 0}; }

std::string CallForText(AutoClient* c, const char* method, const EventItem* args, uint32_t n,
                        const char* const* names = nullptr, int32_t* rc = nullptr) {
    MethodCallRec call = {};
    call.name = method;
    call.nameLength = static_cast<uint32_t>(strlen(method));
    call.argCount = n;
    for (uint32_t i = 0; i < n; ++i) {
        call.args[i] = args[i];
        call.argNames[i] = names ? names[i] : nullptr;
        call.argNameLengths[i] = names && names[i] ? static_cast<uint32_t>(strlen(names[i])) : 0;
    }
    call.result = EventItem{kVarItemText8, 0, 0, nullptr, 77};
    MsgBuildAnswer(&gSendBuf, kMsgAnswer, 0, 0, false);
    int32_t r = AutomationInvoke(c, &call);
    if (rc) *rc = r;
    if (r == 0) return LastItemText();
    const std::string code = std::to_string(r);
    return "<" + code + ">";
}

TEST_F(TestServer, ValuesArriveWithTheirTypes) {
    ObjectRecord* rec = MakeObject(kClsidEcho);
    ASSERT_NE(rec, nullptr);
    int32_t code = 0;
    EventItem seven = IntItem(4, 7);
    ObjectRecord* var = VariantObjMake(VT_I4, kVarPtrByRefOwnType, &seven, 0, true, &code);
    ASSERT_NE(var, nullptr);
    EventItem varRef = {kVarItemObject, kTypeVariant, var->handle, nullptr, 0};
    struct Case { EventItem arg; std::string want; const char* why; };
    const Case kCases[] = {
        {IntItem(1, 200), "17:200", "a byte"},
        {IntItem(2, 0xFFFE), "2:-2", "a word is signed"},
        {IntItem(4, 0xFFFFFFFF), "3:-1", "32 bits"},
        {IntItem(8, static_cast<uint64_t>(-5)), "20:-5", "a negative 64-bit value, signed"},
        {IntItem(8, 5), "21:5", "a non-negative 64-bit value, unsigned"},
        {TextItem("abc"), "8:abc", "a text"},
        {varRef, "16387:7", "a Variant of VarPtr 2: its own type by reference"},
    };
    for (const Case& c : kCases) EXPECT_EQ(CallForText(Client(rec), "Echo", &c.arg, 1), c.want) << c.why;
    ObjectDestroy(var);
    ObjectDestroy(rec);
}

TEST_F(TestServer, NamedArgumentsFollowThePositionalOnesReversed) {
    ObjectRecord* rec = MakeObject(kClsidEcho);
    ASSERT_NE(rec, nullptr);
    EventItem args[3] = {TextItem("a"), TextItem("b"), IntItem(4, 1)};
    const char* names[3] = {nullptr, nullptr, "c"};
    EXPECT_EQ(CallForText(Client(rec), "Named", args, 3, names), "1,b,a|103") << "rgvarg {c, b, a}, DISPID of c";
    const char* two[3] = {nullptr, "b", "c"};
    EXPECT_EQ(CallForText(Client(rec), "Named", args, 3, two), "1,b,a|103,102") << "the last named first";
    const char* bad[3] = {nullptr, nullptr, "zz"};
    int32_t rc = 0;
    CallForText(Client(rec), "Named", args, 3, bad, &rc);
    EXPECT_EQ(rc, kAutoMethodName) << "an unknown argument name";
    ObjectDestroy(rec);
}

TEST_F(TestServer, FailuresAndTheirTexts) {
    ObjectRecord* rec = MakeObject(kClsidEcho);
    ASSERT_NE(rec, nullptr);
    AutoClient* c = Client(rec);
    // An object goes by reference on the second attempt; a number cannot.
    VARIANT obj;
    VariantInit(&obj);
    V_VT(&obj) = VT_DISPATCH;
    V_DISPATCH(&obj) = AutoGetDispatch(c, false);
    EXPECT_EQ(AutoPropPut(c, "RefOnly", 0, nullptr, &obj), 0) << "the PUTREF retry";
    VariantClear(&obj);
    // A set behind fifty arguments: the value still goes as rgvarg[0].
    MethodCallRec many = {};
    many.name = "RefOnly";
    many.nameLength = 7;
    many.argCount = kMcMaxArgs;
    for (uint32_t i = 0; i < kMcMaxArgs; ++i) many.args[i] = IntItem(4, i);
    OlePropReq put = {};
    put.call = &many;
    put.value = EventItem{kVarItemObject, kTypeAutomation, rec->handle, nullptr, 0};
    EXPECT_EQ(AutomationPropAccess(c, &put, nullptr), 0) << "the value behind 50 arguments";
    VARIANT back;
    ASSERT_EQ(AutoPropGet(c, "RefOnly", 0, nullptr, &back), 0);
    EXPECT_EQ(V_VT(&back), VT_DISPATCH) << "the value, not an argument";
    VariantClear(&back);
    VARIANT num;
    VariantInit(&num);
    V_VT(&num) = VT_I4;
    EXPECT_EQ(AutoPropPut(c, "RefOnly", 0, nullptr, &num), kAutoMemberNotFound);
    int32_t rc = 0;
    CallForText(c, "Mismatch", nullptr, 0, nullptr, &rc);
    EXPECT_EQ(rc, kAutoTypeMismatch);
    EXPECT_STREQ(gErrorDetailText, "ARG: 2");
    CallForText(c, "Raise", nullptr, 0, nullptr, &rc);
    EXPECT_EQ(rc, kAutoException);
    std::string t(gExceptionText);
    EXPECT_EQ(t.substr(0, 22), "0000000001200000001001") << "ObjectId 12, wCode 1001";
    EXPECT_EQ(t.substr(22, 8), "QovTest ");
    EXPECT_EQ(t.substr(122, 18), "Raised on purpose ");
    EXPECT_EQ(t.substr(222, 3), "C:\\");
    EXPECT_EQ(t.substr(222 + 237, 1), "h") << "the path's characters up to position 238";
    EXPECT_EQ(t.substr(460, 11), "00000004711") << "the context from position 238 of the path";
    EXPECT_EQ(t.size(), 471u);
    ObjectDestroy(rec);
}

TEST_F(TestServer, CollectionReachedInTwoSteps) {
    ObjectRecord* rec = MakeObject(kClsidEcho);
    ASSERT_NE(rec, nullptr);
    AutoClient* c = Client(rec);
    VARIANT idx;
    VariantInit(&idx);
    V_VT(&idx) = VT_I4;
    V_I4(&idx) = 3;
    DISPPARAMS p = {&idx, nullptr, 1, 0};
    ASSERT_EQ(AutoGetSubObject(c, "Items", 0, &p), 0) << "Items takes no index; its default member does";
    VARIANT name;
    ASSERT_EQ(AutoPropGet(c, "Name", 0, nullptr, &name), 0);
    EXPECT_STREQ(V_BSTR(&name), L"item3");
    VariantClear(&name);
    AutoClearSubObject(c);
    // Through a chain: Items(2).Name as the method call's last hop.
    PropChainRec chain = {};
    chain.hopCount = 2;
    chain.hops[0] = {"Items", 5, 1};
    chain.args[0] = IntItem(4, 2);
    chain.hops[1] = {"Name", 4, 0};
    MethodCallRec call = {};
    call.name = "Name";
    call.nameLength = 4;
    call.chain = &chain;
    call.result = EventItem{kVarItemText8, 0, 0, nullptr, 5};
    MsgBuildAnswer(&gSendBuf, kMsgAnswer, 0, 0, false);
    // Name is a property; called as a method it is refused by the item, and
    // the walk leaves no sub-object behind either way.
    int32_t rc = AutomationInvoke(c, &call);
    EXPECT_TRUE(rc == 0 || rc == kAutoMemberNotFound) << rc;
    EXPECT_EQ(AutoGetDispatch(c, true), nullptr);
    // A property get after one hop, and "$IDispatch" of the hop's object.
    OlePropReq get = {};
    MethodCallRec getCall = {};
    getCall.name = "Name";
    getCall.nameLength = 4;
    PropChainRec one = {};
    one.hopCount = 1;
    one.hops[0] = {"Items", 5, 1};
    one.args[0] = IntItem(4, 4);
    getCall.chain = &one;
    getCall.result = EventItem{kVarItemText8, 0, 0, nullptr, 5};
    get.call = &getCall;
    MsgBuildAnswer(&gSendBuf, kMsgAnswer, 0, 0, false);
    ASSERT_EQ(AutomationPropAccess(c, nullptr, &get), 0);
    EXPECT_EQ(LastItemText(), "item4");
    getCall.name = "$IDispatch";
    getCall.nameLength = 10;
    getCall.result = EventItem{kVarItemObject, kTypeAutomation, 0, nullptr, 6};
    MsgBuildAnswer(&gSendBuf, kMsgAnswer, 0, 0, false);
    ASSERT_EQ(AutomationPropAccess(c, nullptr, &get), 0);
    uint32_t handle;
    memcpy(&handle, gSendBuf.data + kAnswerSize + kEviValue, 4);
    ObjectRecord* item = ObjectFromHandle(handle);
    ASSERT_NE(item, nullptr) << "a new Automation object for the hop's object";
    VARIANT nm;
    ASSERT_EQ(AutoPropGet(AutomationOf(item)->client, "Name", 0, nullptr, &nm), 0);
    EXPECT_STREQ(V_BSTR(&nm), L"item4");
    VariantClear(&nm);
    getCall.chain = nullptr;
    MsgBuildAnswer(&gSendBuf, kMsgAnswer, 0, 0, false);
    EXPECT_EQ(AutomationPropAccess(c, nullptr, &get), kAutoNoValue) << "without a chain: an empty value, no object";
    ObjectDestroy(item);
    ObjectDestroy(rec);
}

TEST_F(TestServer, EventsConnectAndArriveWithTheirArguments) {
    struct Case { const CLSID* clsid; uint32_t advised; const IID* iid; const char* fire; uint32_t eventId; const char* why; };
    const Case kCases[] = {
        {&kClsidEcho, 1, &kIidEchoEvents, "FireNow", 1, "through the class information's dual source"},
        {&kClsidPoints, 1, &kIidPointsEvents, "Fire", 5, "no class information: the first connection point"},
        {&kClsidBadAdvise, 0, &GUID_NULL, "Fire", 5, "Advise refused: no connection, cookie 0"},
    };
    for (const Case& k : kCases) {
        ObjectRecord* rec = MakeObject(*k.clsid);
        ASSERT_NE(rec, nullptr) << k.why;
        AutoClient* c = Client(rec);
        EXPECT_EQ(c->advised, k.advised) << k.why;
        EXPECT_EQ(c->eventsKnown, k.advised) << k.why;
        EXPECT_TRUE(IsEqualIID(c->eventIid, *k.iid)) << k.why;
        if (!k.advised) {
            EXPECT_EQ(c->cookie, 0u) << "the garbage cookie is not kept";
            EXPECT_EQ(AutomationOf(rec)->adviseKey, 0u);
        } else {
            EXPECT_EQ(AutomationOf(rec)->adviseKey, c->cookie);
        }
        EventItem templates[2] = {{kVarItemInt, 4, 0, nullptr, 41}, {kVarItemText8, 0, 0, nullptr, 42}};
        ASSERT_EQ(EventRegister(rec, k.eventId, nullptr, false, templates, 2), 0);
        int32_t rc = 0;
        CallForText(c, k.fire, nullptr, 0, nullptr, &rc);
        ASSERT_EQ(rc, 0) << k.why;
        EXPECT_EQ(EventQueueCount(), k.advised) << k.why;
        EventRecord ev;
        EventItem items[kEventRegItems];
        uint32_t n = 0;
        if (k.advised) {
            ASSERT_TRUE(EventTakeNext(&ev, items, &n));
            EXPECT_EQ(ev.eventId, static_cast<int32_t>(k.eventId));
            if (k.eventId == 1) {
                ASSERT_EQ(n, 2u);
                EXPECT_EQ(items[0].value, 5u) << "the number read through its reference";
                EXPECT_EQ(std::string(static_cast<const char*>(items[1].data), items[1].size), "now");
                // Record 1 stands for the copy: a write changes nothing at the object.
                VariantRecord* r1 = VariantBuiltin(1);
                EXPECT_EQ(V_VT(r1->valuePtr), VT_I4);
                EXPECT_EQ(V_I4(r1->valuePtr), 5);
                PropChange set = {};
                set.selector = IntItem(4, 99);
                EXPECT_EQ(gComObjectHooks.variantSetProp(&r1->hdr, &set, 398), 0);
                MsgBuildAnswer(&gSendBuf, kMsgAnswer, 0, 0, false);
                EXPECT_EQ(CallForText(c, "LastByRef", nullptr, 0), "5") << "the event fired inside a request";
                EventReleaseTaken();
                EXPECT_EQ(V_VT(VariantBuiltin(1)->valuePtr), VT_ERROR) << "after the next wait: no argument";
            }
        }
        ObjectDestroy(rec);
    }
}

TEST_F(TestServer, PropertyOfABareDispatch) {
    ObjectRecord* rec = MakeObject(kClsidEcho);
    ASSERT_NE(rec, nullptr);
    IDispatch* d = AutoGetDispatch(Client(rec), false);
    VARIANT v;
    EXPECT_EQ(AutoGetProperty(d, nullptr, 9, nullptr, &v), 0) << "LastByRef by its DISPID";
    EXPECT_EQ(V_VT(&v), VT_I4);
    EXPECT_EQ(AutoGetProperty(d, "LastByRef", 0, nullptr, &v), 0) << "and by name";
    EXPECT_EQ(AutoGetProperty(static_cast<IDispatch*>(nullptr), nullptr, 9, nullptr, &v), kAutoNoDispatch);
    d->Release();
    ObjectDestroy(rec);
}

TEST_F(TestServer, NoAutomationNoObject) {
    strcpy(gErrorDetailText, "untouched");
    EXPECT_EQ(AutoClientCreate(kClsidBare, nullptr, nullptr), nullptr);
    EXPECT_STREQ(gErrorDetailText, "untouched") << "no detail text for an object without automation";
}

TEST_F(TestServer, TheSinkAfterItsClientIsGone) {
    ObjectRecord* rec = MakeObject(kClsidEcho);
    ASSERT_NE(rec, nullptr);
    ASSERT_EQ(EventRegister(rec, 1, nullptr, false, nullptr, 0), 0);
    AutoClient* c = Client(rec);
    CQovIDispatchEvents* sink = c->sink;
    sink->AddRef();
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(sink->Invoke(1, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(sink->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(EventQueueCount(), 0u) << "a property get is no event";
    EXPECT_EQ(sink->Invoke(-600, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(EventQueueCount(), 0u) << "an id the server did not register is dropped";
    ObjectDestroy(rec);
    // A control firing late reaches a detached sink: nothing is posted, nothing read.
    EXPECT_EQ(sink->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(EventQueueCount(), 0u);
    sink->Release();
}

}  // namespace
