// objops_test.cpp - the generic operations over a test kind whose slots record
// their calls: empty slots, unknown handles, destroy, property change and query
// by request code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "tests/testutil.h"

namespace {

constexpr uint8_t kTestKind = kKindStatText;

struct Calls {
    std::vector<std::string> log;
    uint32_t lastId = 0;
    int32_t lastValue = 0;
    std::string lastText;
} gCalls;

int32_t StubShow(ObjectRecord*, int32_t, int32_t, int32_t, int32_t) { gCalls.log.push_back("show"); return 0; }
int32_t StubHide(ObjectRecord*) { gCalls.log.push_back("hide"); return 0; }
int32_t StubDestroy(ObjectRecord* rec) {
    gCalls.log.push_back("destroy");
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}
uint32_t StubGetProp(ObjectRecord*, uint32_t id) {
    gCalls.lastId = id;
    if (id == kPidToolTip) strcpy(gTextBuf, "tip");
    return id == kPidNoResize ? 0 : id * 10;
}
int32_t StubSetProp(ObjectRecord*, PropChange* req) {
    gCalls.lastId = req->id;
    gCalls.lastValue = req->value;
    gCalls.lastText = req->text ? std::string(req->text, req->textLength) : "<null>";
    gCalls.log.push_back("set " + std::to_string(req->id));
    return 0;
}

const ObjectOps kStubOps = {
    .show = StubShow,
    .hide = StubHide,
    .destroy = StubDestroy,
    .getProp = StubGetProp,
    .setProp = StubSetProp,
};

std::vector<uint32_t> gDestroyed;
void RecordDest(uint32_t ovar) { gDestroyed.push_back(ovar); }

class ObjOps : public ::testing::Test {
protected:
    void SetUp() override {
        ObjectSetupTables();
        RegisterObjectOps(kTestKind, &kStubOps);
        gObjectHooks.destAppend = RecordDest;
        gCalls = Calls();
        gDestroyed.clear();
    }
    void TearDown() override {
        EventCleanup();
        ObjectDestroyAll();
        RegisterObjectOps(kTestKind, nullptr);
        gObjectHooks.destAppend = nullptr;
        EXPECT_EQ(0u, ObjectLiveCount());
    }
    ObjectRecord* Make(uint32_t ovar = 0) {
        ObjectRecord* rec = ObjectAllocRecord(kTestKind, sizeof(ObjectRecord), false);
        rec->ovar = ovar;
        return rec;
    }
};

TEST_F(ObjOps, EmptySlotsAndUnknownHandles) {
    ObjectRecord* rec = Make();
    int32_t value;
    struct Case { int32_t expect, actual; const char* why; };
    const Case kCases[] = {
        {0, ObjectActivate(rec, 0, 0, 0, 0), "show slot filled"},
        {kOpNotAvailable, ObjectCheckItem(rec, 1, 1), "check item slot empty"},
        {kOpNotAvailable, ObjectEnable(rec, 0), "enable slot empty"},
        {kOpNotAvailable, ObjectGetValue(rec, 0, &value), "get value slot empty"},
        {kOpNotAvailable, ObjectSetText(rec, 0, "a", 1), "set text slot empty"},
        {kOpNotAvailable, ObjectInvokeMethod(16, rec, nullptr), "method slot empty"},
        {kOpNoObject, ObjectActivate(ObjectFromHandle(0x7777777), 0, 0, 0, 0), "never given out"},
        {kOpNoObject, ObjectDeactivate(nullptr), "no object"},
    };
    for (const Case& c : kCases) EXPECT_EQ(c.expect, c.actual) << c.why;
    EXPECT_TRUE(rec->flags & kObjShown);
    uint32_t handle = rec->handle;
    EXPECT_EQ(rec, ObjectFromHandle(handle));
    EXPECT_EQ(0, ObjectDestroy(rec));
    EXPECT_EQ(nullptr, ObjectFromHandle(handle)) << "a destroyed object's handle finds nothing";
    EXPECT_EQ(kOpNoObject, ObjectActivate(ObjectFromHandle(handle), 0, 0, 0, 0));
}

TEST_F(ObjOps, DestroyHidesReportsAndDropsEvents) {
    ObjectRecord* rec = Make(4321);
    ObjectRecord* other = Make(99);
    ASSERT_EQ(0, EventRegister(rec, kEvClick, nullptr, false, nullptr, 0));
    ASSERT_EQ(0, EventRegister(other, kEvClick, nullptr, false, nullptr, 0));
    ASSERT_TRUE(PostObjectEvent(rec, kEvClick, 32, 0, 1));
    ASSERT_TRUE(PostObjectEvent(other, kEvClick, 32, 0, 2));
    ASSERT_TRUE(PostObjectEvent(rec, kEvClick, 32, 0, 3));
    ObjectActivate(rec, 0, 0, 0, 0);
    gCalls.log.clear();
    EXPECT_EQ(0, ObjectDestroy(rec));
    EXPECT_EQ((std::vector<std::string>{"hide", "destroy"}), gCalls.log);
    EXPECT_EQ(std::vector<uint32_t>{4321}, gDestroyed);
    ASSERT_EQ(1u, EventQueueCount()) << "the destroyed object's events leave the queue";
    EventRecord ev;
    ASSERT_TRUE(EventTakeNext(&ev, nullptr, nullptr));
    EXPECT_EQ(2, ev.value);
    ScopedSet suppress(gDestSuppress, true);
    ObjectDestroy(other);
    gDestSuppress = false;
    EXPECT_EQ(1u, gDestroyed.size()) << "the suppress switch keeps the Ovar out";
}

TEST_F(ObjOps, PropertyChangeByCode) {
    ObjectRecord* rec = Make();
    // A Color object: the header and its value.
    ObjectRecord* color = ObjectAllocRecord(kKindColor, sizeof(ObjectRecord) + 4, false);
    RegisterObjectOps(kKindColor, &kStubOps);
    uint32_t colorValue = 0x123456;
    memcpy(reinterpret_cast<uint8_t*>(color) + sizeof(ObjectRecord), &colorValue, 4);
    EXPECT_EQ(colorValue, ColorObjectValue(color));
    struct Case { uint32_t code; int32_t value; const char* text; ObjectRecord* obj; int32_t result;
                  uint32_t id; int32_t value2; const char* text2; const char* why; };
    const Case kCases[] = {
        {257, 2, nullptr, nullptr, 0, 1, 2, "<null>", "Alignment goes as id 1"},
        {266, 7, nullptr, color, 0, 3, 0x123456, "<null>", "BgColor takes the Color object's value"},
        {266, 7, nullptr, nullptr, 0, 3, 7, "<null>", "BgColor without an object takes the integer"},
        {314, 0, nullptr, nullptr, 0, 22, 1, "<null>", "NoResize goes inverted as id 22"},
        {287, 0, nullptr, color, 0, 72, 0, "<null>", "a Color object is no Font object"},
        {423, 3, "tip", nullptr, 0, 144, 3, "tip", "ToolTip text"},
        {569, 0, nullptr, nullptr, 0, 316, 0, "", "UserData may be empty"},
        {1000, 0, nullptr, nullptr, kOpUnknownProperty, 0, 0, nullptr, "unknown code"},
    };
    for (const Case& c : kCases) {
        gCalls = Calls();
        PropChange req = {};
        req.code = c.code;
        req.value = c.value;
        req.text = c.text;
        req.textLength = c.text ? static_cast<uint32_t>(strlen(c.text)) : 0;
        req.object = c.obj;
        EXPECT_EQ(c.result, ObjectSetProperty(rec, &req)) << c.why;
        if (c.result != 0) continue;
        EXPECT_EQ(c.id, gCalls.lastId) << c.why;
        EXPECT_EQ(c.value2, gCalls.lastValue) << c.why;
        EXPECT_EQ(c.text2, gCalls.lastText) << c.why;
    }
    ObjectDestroy(color);
    RegisterObjectOps(kKindColor, nullptr);
    // A text code with no text changes nothing.
    gCalls = Calls();
    PropChange empty = {};
    empty.code = 423;
    EXPECT_EQ(0, ObjectSetProperty(rec, &empty));
    EXPECT_TRUE(gCalls.log.empty());
    // Code 558 sets the Ovar, 463 the run name, without the slot.
    PropChange ovar = {};
    ovar.code = kPcOvar;
    ovar.value2 = 77;
    EXPECT_EQ(0, ObjectSetProperty(rec, &ovar));
    EXPECT_EQ(77u, rec->ovar);
    PropChange run = {};
    run.code = kPcRunName;
    run.text = "prog";
    run.textLength = 4;
    EXPECT_EQ(0, ObjectSetProperty(rec, &run));
    EXPECT_STREQ("prog", rec->runName);
}

TEST_F(ObjOps, PropertyQueryByCode) {
    ObjectRecord* rec = Make();
    struct Case { uint32_t code; int32_t result; const char* text; uint32_t id; const char* why; };
    const Case kCases[] = {
        {289, 150, nullptr, 15, "Height asks id 15"},
        {266, 30, nullptr, 3, "BgColor asks id 3"},
        {423, 0, "tip", 144, "ToolTip answers a text"},
        {314, 1, nullptr, 22, "NoResize answers the inverse"},
    };
    for (const Case& c : kCases) {
        gCalls = Calls();
        PropQuery q = {};
        q.code = c.code;
        EXPECT_EQ(0, ObjectGetProperty(rec, &q)) << c.why;
        EXPECT_EQ(c.id, gCalls.lastId) << c.why;
        EXPECT_EQ(c.result, q.result) << c.why;
        if (c.text) EXPECT_STREQ(c.text, q.text) << c.why;
        else EXPECT_EQ(nullptr, q.text) << c.why;
    }
    PropQuery unknown = {};
    unknown.code = 1000;
    EXPECT_EQ(kOpNotAvailable, ObjectGetProperty(rec, &unknown));
    PropQuery none = {};
    none.code = 289;
    EXPECT_EQ(kOpNoObject, ObjectGetProperty(nullptr, &none));
}

TEST_F(ObjOps, CommonPropertiesRoundTrip) {
    ObjectRecord* rec = Make();
    struct Case { uint32_t id; int32_t set; int32_t get; const char* why; };
    const Case kCases[] = {
        {kPidDock, 2, 2, "Dock 1-6 kept"}, {kPidDock, 9, 2, "Dock 9 ignored"},
        {kPidAnchor, 5, 5, "Anchor"}, {kPidDestroyGlobal, 0, 0, "DestroyGlobal 0"},
        {kPidAppearance, 1, 1, "three-dimensional"}, {kPidAppearance, 3, 2, "anything else is flat"},
        {kPidWidth, 40, 40, "Width"}, {kPidAcceptTab2, 1, 1, "the second AcceptTab id"},
        {kPidEnabled, 0, 0, "disabled without an enable slot still reads 0"},
    };
    for (const Case& c : kCases) {
        bool redraw = false;
        ObjectSetCommonProperty(rec, c.id, c.set, nullptr, 0, &redraw);
        EXPECT_EQ(c.get, ObjectGetCommonProperty(rec, c.id)) << c.why;
    }
    EXPECT_EQ(0, ObjectSetCommonProperty(rec, kPidUserData, 0, "abc", 3, nullptr));
    EXPECT_EQ(0, ObjectGetCommonProperty(rec, kPidUserData));
    EXPECT_STREQ("abc", gTextBuf);
    bool known = true;
    EXPECT_EQ(0, ObjectGetCommonProperty(rec, 999, &known));
    EXPECT_FALSE(known);
    EXPECT_STREQ("?????", gTextBuf);
}

TEST_F(ObjOps, ChildrenLinkByTabIdAndDieWithTheContainer) {
    ObjectRecord* box = Make(1);
    ObjectRecord* kids[3];
    const uint16_t tabs[3] = {5, 1, 3};
    for (int i = 0; i < 3; ++i) {
        kids[i] = Make(10 + i);
        kids[i]->parent = box;
        kids[i]->tabId = tabs[i];
        LinkObject(kids[i]);
    }
    EXPECT_EQ(kids[1], box->children);
    EXPECT_EQ(kids[2], box->children->next);
    EXPECT_EQ(kids[0], box->children->next->next);
    kids[0]->name = nullptr;
    ObjectDestroyChildren(box);
    EXPECT_EQ(nullptr, box->children);
    EXPECT_EQ(3u, gDestroyed.size());
}

TEST_F(ObjOps, DestroyedObjectsLeaveTheirWindowsFocusFields) {
    auto* win = reinterpret_cast<WindowRecord*>(ObjectAllocRecord(kKindWindow, sizeof(WindowRecord), false));
    ASSERT_NE(nullptr, win);
    ObjectRecord* field = Make(1);
    ObjectRecord* button = Make(2);
    for (ObjectRecord* kid : {field, button}) {
        kid->parent = &win->hdr;
        LinkObject(kid);
    }
    win->focusObj = field;
    win->lastFocus = button;
    win->defaultButton = button;
    ObjectDestroy(field);
    EXPECT_EQ(nullptr, win->focusObj) << "the focus object is forgotten";
    EXPECT_EQ(button, win->lastFocus) << "the other fields keep their objects";
    ObjectDestroy(button);
    EXPECT_EQ(nullptr, win->lastFocus);
    EXPECT_EQ(nullptr, win->defaultButton);
    UnlinkObject(&win->hdr);
    ObjectUnregister(&win->hdr);
    ObjectFreeRecord(&win->hdr);
}

TEST_F(ObjOps, UnknownTypesAreNotCreated) {
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    int32_t code = 0;
    EXPECT_EQ(nullptr, ObjectCreate(42, &cr, &code));
    EXPECT_EQ(-3, code);
    EXPECT_EQ(nullptr, ObjectCreate(kTypeButton, &cr, &code)) << "no creator registered yet";
    EXPECT_EQ(-3, code);
}

// ---- Records freed while a slot pumps ---------------------------------------------
// A show that waits (a modal window) takes the server's requests meanwhile; one
// of them may destroy the object. These slots do that destroy themselves, as
// the request would; the sanitizers catch any touch of the freed record after.
int32_t ShowThatDestroys(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    ObjectDestroy(rec);
    return 21761;
}
int32_t HideThatDestroys(ObjectRecord* rec) {
    rec->flags &= ~kObjShown;   // hidden already when the pump took the request
    ObjectDestroy(rec);
    return 0;
}
int32_t HideNothing(ObjectRecord*) { return 0; }

ObjectOps DyingOps(int32_t (*show)(ObjectRecord*, int32_t, int32_t, int32_t, int32_t),
                   int32_t (*hide)(ObjectRecord*)) {
    ObjectOps ops = kStubOps;
    ops.show = show;
    ops.hide = hide;
    return ops;
}

TEST_F(ObjOps, RecordDestroyedDuringItsOwnOperationIsNotTouched) {
    struct Case {
        const char* why;
        bool shown;                                  // shown before (the destroy hides it first)
        int32_t (*show)(ObjectRecord*, int32_t, int32_t, int32_t, int32_t);
        int32_t (*hide)(ObjectRecord*);
        int32_t (*run)(ObjectRecord*);
        int32_t expect;
    };
    const Case cases[] = {
        {"a show whose wait destroyed the object answers the end of the wait", false, ShowThatDestroys,
         HideNothing, [](ObjectRecord* r) { return ObjectActivate(r, 0, 0, 0, 0); }, 21761},
        {"a hide that destroyed the object", false, StubShow, HideThatDestroys,
         [](ObjectRecord* r) { return ObjectDeactivate(r); }, 0},
        {"a destroy whose hide destroyed the object already does not free it twice", true, StubShow,
         HideThatDestroys, [](ObjectRecord* r) { return ObjectDestroy(r); }, 0},
    };
    for (const Case& c : cases) {
        ObjectOps ops = DyingOps(c.show, c.hide);
        RegisterObjectOps(kTestKind, &ops);
        ObjectRecord* rec = Make(77);
        if (c.shown) rec->flags |= kObjShown;
        uint32_t handle = rec->handle;
        gDestroyed.clear();
        EXPECT_EQ(c.expect, c.run(rec)) << c.why;
        EXPECT_EQ(nullptr, ObjectFromHandle(handle)) << c.why;
        EXPECT_EQ(1u, gDestroyed.size()) << c.why << ": destroyed once";
        RegisterObjectOps(kTestKind, &kStubOps);
    }
}

TEST_F(ObjOps, HandleRefSeesThroughAReusedAddress) {
    ObjectRecord* rec = Make();
    ObjectRef ref = ObjectRefOf(rec);
    EXPECT_TRUE(ObjectRefAlive(ref));
    // The record goes from the registry and a new one takes its place there
    // under a new handle, as a new record in the freed memory would.
    ObjectUnregister(rec);
    ASSERT_TRUE(ObjectRegister(rec));
    EXPECT_NE(ref.handle, rec->handle);
    EXPECT_FALSE(ObjectRefAlive(ref)) << "the old handle no longer finds the record at that address";
    EXPECT_FALSE(ObjectRefAlive(ObjectRefOf(nullptr)));
    ObjectDestroy(rec);
}

// ---- The main window ------------------------------------------------------------------
TEST_F(ObjOps, MainWindowIsRefusedByEveryDestroy) {
    ObjectRecord* main = ObjectAllocRecord(kTestKind, sizeof(ObjectRecord), false);
    ASSERT_NE(nullptr, main);
    uint32_t counted = main->handle;
    main->handle = kHandleMainWindow;
    gMainWindowObj = main;
    ObjectRecord* child = Make(5);
    child->parent = main;
    LinkObject(child);
    struct Case { uint32_t handle; const char* why; };
    const Case cases[] = {
        {kHandleMainWindow, "the main window's own handle"},
        {counted, "the counted handle it was registered under"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(main, ObjectFromHandle(c.handle)) << c.why;
        EXPECT_EQ(kOpNoObject, ObjectDestroy(ObjectFromHandle(c.handle))) << c.why;
        EXPECT_EQ(main, ObjectFromHandle(kHandleMainWindow)) << c.why << ": still there";
    }
    ObjectDestroyAll();
    EXPECT_EQ(1u, ObjectLiveCount()) << "the clean-up of objects leaves the main window alone";
    EXPECT_EQ(nullptr, main->children) << "but not its children";
    // The window layer's own clean-up frees it, and its registration goes along
    // although the record answers to another handle.
    ObjectFreeCommon(main);
    ObjectFreeRecord(main);
    EXPECT_EQ(nullptr, gMainWindowObj);
    EXPECT_EQ(nullptr, ObjectFromHandle(counted));
}

// ---- Parents ---------------------------------------------------------------------------
ObjectRecord* ChildCreator(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ObjectRecord* rec = ObjectAllocRecord(kTestKind, sizeof(ObjectRecord), false);
    if (!rec) return nullptr;
    ObjectRecord* parent = nullptr;
    if (!ObjectInitCommon(rec, cr, &parent)) {
        ObjectFreeRecord(rec);
        *code = kOpNoObject;
        return nullptr;
    }
    LinkObject(rec);
    return rec;
}

// The handle the next new record gets.
uint32_t NextHandle() {
    ObjectRecord* probe = ObjectAllocRecord(kTestKind, sizeof(ObjectRecord), false);
    uint32_t h = probe->handle;
    ObjectFreeRecord(probe);
    return h + 1;
}

TEST_F(ObjOps, CreationParentIsResolvedBeforeTheRecordExists) {
    RegisterObjectCreator(kTypeLabelText, ChildCreator);
    ObjectRecord* box = Make(1);
    ObjectRecord* main = Make(2);
    enum Named { kBox, kNextHandle, kUnknown, kNone };
    struct Case { Named named; bool withMain; ObjectRecord* expectParent; int32_t expectCode; const char* why; };
    const Case cases[] = {
        {kBox, true, box, 0, "a live object named as the window"},
        {kNextHandle, true, main, 0, "the handle the new record gets names no object yet: the main window"},
        {kNextHandle, false, nullptr, 0, "the same without a main window: no parent, never itself"},
        {kUnknown, true, main, 0, "a handle never given out: the main window"},
        {kNone, true, main, 0, "none named: the main window"},
    };
    for (const Case& c : cases) {
        gMainWindowObj = c.withMain ? main : nullptr;
        ObjectCreateRecord cr;
        CreateRecordReset(&cr);
        cr.window = c.named == kBox ? box->handle : c.named == kNextHandle ? NextHandle()
                    : c.named == kUnknown ? 0x0FFFFFF0u : 0u;
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(kTypeLabelText, &cr, &code);
        EXPECT_EQ(c.expectCode, code) << c.why;
        ASSERT_NE(nullptr, rec) << c.why;
        EXPECT_NE(rec, rec->parent) << c.why;
        EXPECT_EQ(c.expectParent, rec->parent) << c.why;
        ObjectDestroy(rec);
    }
    gMainWindowObj = nullptr;
    RegisterObjectCreator(kTypeLabelText, nullptr);
}

TEST_F(ObjOps, ParentChainsThatLoopOrRunLongAreRefused) {
    // A creator called without ObjectCreate resolves the Window itself, after
    // its record was registered: naming its own handle is refused.
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.window = NextHandle();
    int32_t code = 0;
    EXPECT_EQ(nullptr, ChildCreator(0, &cr, &code)) << "its own parent";
    EXPECT_EQ(kOpNoObject, code);

    ObjectRecord* a = Make();
    ObjectRecord* b = Make();
    a->parent = b;
    b->parent = a;   // a loop, as no request can make one any more
    EXPECT_FALSE(ObjectParentChainOk(a, b));
    EXPECT_EQ(nullptr, ObjectTopWindow(a)) << "the walk up a loop ends";
    ObjectRecord* c = Make();
    c->parent = a;
    LinkObject(c);
    EXPECT_EQ(nullptr, a->children) << "nothing is linked into a loop";
    EXPECT_FALSE(ObjectParentChainOk(c, a)) << "a chain longer than kParentChainMax (it never ends)";
    a->parent = b->parent = c->parent = nullptr;

    // A long straight chain: within the bound it is accepted, past it refused.
    std::vector<ObjectRecord*> chain;
    for (int i = 0; i <= kParentChainMax; ++i) {
        chain.push_back(Make());
        if (i) chain[i]->parent = chain[i - 1];
    }
    ObjectRecord* leaf = Make();
    EXPECT_TRUE(ObjectParentChainOk(leaf, chain[kParentChainMax - 1])) << kParentChainMax << " levels";
    EXPECT_FALSE(ObjectParentChainOk(leaf, chain[kParentChainMax])) << kParentChainMax + 1 << " levels";
    for (ObjectRecord* r : chain) r->parent = nullptr;
}

}  // namespace
