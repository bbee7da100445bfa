// control_test.cpp - Control objects hosting the test server's ActiveX
// controls in a real window under Wine: the creation sequence as the control
// sees it, the creation failures with their details, ambients in and out of
// design mode, DisplayAsDefault following the default button, the focus events
// and the ACTSLIKEBUTTON and ACTSLIKELABEL behaviour, the in-place lock,
// NOUIACTIVATE and a disabled control, the mnemonic, persistence, the extent on
// a resize, the off-screen activation, drawing, item numbers, and the frame,
// item container and enumerator of the form support.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "com/autoclient.h"
#include "com/comobjects.h"
#include "com/olecontainer.h"
#include "com/oleutil.h"
#include "controls/controls.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/proto/records.h"
#include "session/session.h"
#include "tests/com/comsuite.h"
#include "tests/testutil.h"

namespace {

constexpr COLORREF kControlGreen = RGB(0, 160, 0);
constexpr COLORREF kIconicMagenta = RGB(200, 0, 200);
constexpr int32_t kCtlWidth = 120, kCtlHeight = 60;

class ControlTest : public ComSuite {
protected:
    ObjectRecord* Make(const char* classId, int32_t left = 10, int32_t top = 10, bool visible = true,
                       int32_t* codeOut = nullptr) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.windowResolved = true;
        cr_.left = left, cr_.top = top, cr_.width = kCtlWidth, cr_.height = kCtlHeight;
        cr_.right = left + kCtlWidth, cr_.bottom = top + kCtlHeight;
        if (visible) cr_.flags0 |= kCrVisible;
        if (classId) cr_.classId = CrText{classId, static_cast<uint32_t>(strlen(classId))};
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(kTypeControl, &cr_, &code);
        if (codeOut) *codeOut = code;
        Pump();
        return rec;
    }
    ObjectRecord* MakeButton(const char* text, int32_t top) {
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.windowResolved = true;
        cr_.left = 200, cr_.top = top, cr_.width = 100, cr_.height = 24, cr_.right = 300, cr_.bottom = top + 24;
        cr_.flags0 |= kCrVisible;
        cr_.text = CrText{text, static_cast<uint32_t>(strlen(text))};
        int32_t code = 0;
        return ObjectCreate(kTypeButton, &cr_, &code);
    }
    // A member of the control by name, through its own IDispatch.
    static VARIANT Call(ObjectRecord* rec, const wchar_t* name, WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                        const VARIANT* arg = nullptr) {
        VARIANT result;
        VariantInit(&result);
        AutoClient* a = OleObjGetAutomation(rec);
        IDispatch* d = a ? AutoGetDispatch(a, false) : nullptr;
        if (!d) return result;
        DISPID id = 0;
        LPOLESTR n = const_cast<LPOLESTR>(name);
        if (SUCCEEDED(d->GetIDsOfNames(IID_NULL, &n, 1, 0, &id))) {
            VARIANT a0;
            VariantInit(&a0);
            if (arg) VariantCopy(&a0, const_cast<VARIANT*>(arg));
            DISPID put = DISPID_PROPERTYPUT;
            DISPPARAMS p = {arg ? &a0 : nullptr, (flags & DISPATCH_PROPERTYPUT) ? &put : nullptr, arg ? 1u : 0u,
                            (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
            d->Invoke(id, IID_NULL, 0, flags, &p, &result, nullptr, nullptr);
            VariantClear(&a0);
        }
        d->Release();
        return result;
    }
    static VARIANT Long(LONG v) {
        VARIANT x;
        VariantInit(&x);
        V_VT(&x) = VT_I4;
        V_I4(&x) = v;
        return x;
    }
    static std::string Text(ObjectRecord* rec, const wchar_t* name, const VARIANT* arg = nullptr) {
        VARIANT v = Call(rec, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arg);
        std::string s;
        if (V_VT(&v) == VT_BSTR && V_BSTR(&v)) {
            char buf[4096];
            WideCharToMultiByte(CP_ACP, 0, V_BSTR(&v), -1, buf, sizeof buf, nullptr, nullptr);
            s = buf;
        }
        VariantClear(&v);
        return s;
    }
    static std::string Log(ObjectRecord* rec) { return Text(rec, L"Log"); }
    static void ClearLog(ObjectRecord* rec) {
        VARIANT v = Call(rec, L"ClearLog");
        VariantClear(&v);
    }
    static std::string Ambient(ObjectRecord* rec, DISPID id) {
        VARIANT a = Long(id);
        return Text(rec, L"Ambient", &a);
    }
    static void Invoke1(ObjectRecord* rec, const wchar_t* name, LONG value) {
        VARIANT a = Long(value);
        VARIANT v = Call(rec, name, DISPATCH_METHOD, &a);
        VariantClear(&v);
    }
    // Whether the control's log ("call;call;...;") is exactly these calls in
    // this order; MaySee entries may be missing. A mismatch prints both lists.
    static ::testing::AssertionResult CallsAre(const std::string& log, const std::vector<SeqExpect>& want) {
        std::string report;
        if (SequenceIs(SplitLog(log, ';'), want, &report)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << report;
    }
    static CGenObject* Gen(ObjectRecord* rec) { return ControlOf(rec) ? ControlOf(rec)->object : nullptr; }
    NativeWindowRecord* Native() { return reinterpret_cast<NativeWindowRecord*>(win_); }

    ObjectCreateRecord cr_;
};

// ---- Creation ------------------------------------------------------------------------------------

TEST_F(ControlTest, CreationRunsTheActivationSequenceAndTakesTheControlsWindow) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec) << gErrorText;
    std::string log = Log(rec);
    // SETCLIENTSITEFIRST: the site before InitNew; then the setup steps in
    // order, the extent of the control's rectangle, and the show of a visible one.
    const std::string extent = "SetExtent(" + std::to_string(PixelsToHimetricX(nullptr, kCtlWidth)) + "," +
                               std::to_string(PixelsToHimetricY(nullptr, kCtlHeight)) + ")";
    EXPECT_TRUE(CallsAre(log, {{"SetClientSite"}, {"UserMode=true"}, {"InitNew(stream)"}, {"Advise"}, {"SetAdvise(1,2)"},
                               {extent}, {"Update"}, {"SetHostNames(QO/V Application,QO/V Form)"}, {"DoVerb(-5)"},
                               {"CanInPlaceActivate"}, {"GetWindowContext(20)"}, {"OnInPlaceActivate"},
                               {"FindConnectionPoint(notify)"}, {"DoVerb(-1)"}}));
    VARIANT h = Call(rec, L"Hwnd");
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(rec->hwnd), V_I4(&h)) << "the record takes the control's window";
    EXPECT_TRUE(IsWindowVisible(rec->hwnd));
    EXPECT_EQ("stream-init", Text(rec, L"Persist"));
    EXPECT_EQ(1, ControlOf(rec)->itemNumber);
    EXPECT_TRUE(ControlOf(rec)->infoValid);
    EXPECT_TRUE(GenObjInspect(Gen(rec)).notifyConnected);
    EXPECT_TRUE(rec->flags & kStateBit8);
}

TEST_F(ControlTest, CreationFailuresAnswerTheirDetail) {
    struct Case {
        const char* classId;
        int32_t code;
        int32_t detail;
        const char* errorText;
        const char* why;
    };
    const Case kCases[] = {
        {nullptr, -83, 110, "", "no ClassId"},
        {"QovTest.NoSuchClass", -83, 104, "WINERR:0x800401F3", "an unknown ProgID: CO_E_CLASSSTRING"},
        {"{5C0E7A99-3B2D-4E61-9A4F-1D2C3B4A5E60}", -83, 104, "WINERR:0x80040154", "an unregistered CLSID"},
        {"QovTest.Echo", -83, 104, "WINERR:0x80004002", "a class without IOleObject"},
    };
    for (const Case& c : kCases) {
        gErrorText[0] = 0;
        int32_t code = 0;
        uint32_t live = ObjectLiveCount();
        EXPECT_EQ(nullptr, Make(c.classId, 10, 10, true, &code)) << c.why;
        EXPECT_EQ(c.code, code) << c.why;
        EXPECT_EQ(c.detail, gObjectCreateDetail) << c.why;
        EXPECT_EQ(0, strncmp(gErrorText, c.errorText, strlen(c.errorText))) << c.why << ": " << gErrorText;
        EXPECT_EQ(live, ObjectLiveCount()) << c.why << ": a failed record is freed";
    }
}

TEST_F(ControlTest, ProgIdInDesignModeGoesThroughItsClsid) {
    gDesignMode = 1;
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec) << "a ProgID is looked up by its CLSID, not refused";
    ASSERT_NE(nullptr, ControlOf(rec)->typeInfo);
    EXPECT_STREQ("QovControl", ControlOf(rec)->typeInfo->className);
    // A dual source interface lists IDispatch's own members first.
    const ControlClassInfo* info = ControlOf(rec)->typeInfo;
    ASSERT_NE(nullptr, info->events);
    bool clicked = false;
    for (uint32_t i = 0; i < info->eventCount; ++i)
        if (strcmp(info->events[i].name, "Clicked") == 0 && info->events[i].id == 1) clicked = true;
    EXPECT_TRUE(clicked);
    int32_t code = 0;
    EXPECT_EQ(nullptr, Make("QovTest.Echo", 10, 80, true, &code)) << "no type library for the class";
    EXPECT_EQ(-3, code);
}

// ---- Ambients -------------------------------------------------------------------------------------

TEST_F(ControlTest, AmbientsFollowDesignMode) {
    struct Case {
        DISPID id;
        const char* run;
        const char* design;
    };
    const Case kCases[] = {
        {-706, "false", "true"},  {-709, "true", "false"}, {-710, "false", "true"},
        {-711, "false", "false"}, {-712, "false", "false"}, {-714, "true", "true"},
        {-715, "true", "true"},   {-705, "0", "0"},         {-702, "notfound", "notfound"},
        {-707, "notfound", "notfound"}, {-5501, "notfound", "notfound"}, {-5502, "notfound", "notfound"},
        {-703, "dispatch", "dispatch"},
    };
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    for (const Case& c : kCases) EXPECT_EQ(c.run, Ambient(rec, c.id)) << c.id;
    gDesignMode = 1;
    for (const Case& c : kCases) EXPECT_EQ(c.design, Ambient(rec, c.id)) << c.id << " in design mode";
    EXPECT_EQ(std::to_string(static_cast<LONG>(win_->bgColor)), Ambient(rec, -701));
}

TEST_F(ControlTest, AmbientDispatchRefusesWrongCallsAndLeavesUnansweredEmpty) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    IDispatch* amb = static_cast<IDispatch*>(GenObjSite(Gen(rec), IID_IDispatch));
    ASSERT_NE(nullptr, amb);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, amb->Invoke(-709, IID_NULL, 0, DISPATCH_METHOD, &none, &v, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, amb->Invoke(-709, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr));
    V_VT(&v) = VT_I4;
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, amb->Invoke(-702, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr));
    EXPECT_EQ(VT_EMPTY, V_VT(&v)) << "not answered leaves no VT_BOOL without a value";
    amb->Release();
}

TEST_F(ControlTest, DisplayAsDefaultFollowsTheDefaultButton) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    EXPECT_EQ("false", Ambient(rec, -713));
    ClearLog(rec);
    ButtonSetDefault(win_, rec, true);
    EXPECT_EQ("true", Ambient(rec, -713));
    EXPECT_NE(std::string::npos, Log(rec).find("OnAmbientPropertyChange(-713)=true")) << Log(rec);
    ButtonSetDefault(win_, rec, false);
    EXPECT_NE(std::string::npos, Log(rec).find("OnAmbientPropertyChange(-713)=false")) << Log(rec);
}

// ---- Focus ------------------------------------------------------------------------------------------

TEST_F(ControlTest, FocusChangesPostTheFixedEvents) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    const int32_t none[4] = {};
    ASSERT_EQ(0, EventRegister(rec, kEvControlGotFocus, none, false, nullptr, 0));
    ASSERT_EQ(0, EventRegister(rec, kEvControlLostFocus, none, false, nullptr, 0));
    EventCleanup();
    ASSERT_EQ(0, EventRegister(rec, kEvControlGotFocus, none, false, nullptr, 0));
    ASSERT_EQ(0, EventRegister(rec, kEvControlLostFocus, none, false, nullptr, 0));
    // The server moves the focus to the control: UI activation, its window's focus.
    EXPECT_EQ(kOpOk, ObjectSetFocus(rec, 0, 0));
    Pump();
    Invoke1(rec, L"SiteFocus", 0);
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t n = 0;
    ASSERT_TRUE(EventTakeNext(&ev, items, &n));
    EXPECT_EQ(static_cast<int32_t>(kEvControlGotFocus), ev.eventId);
    bool lost = false;
    while (EventTakeNext(&ev, items, &n))
        if (ev.eventId == static_cast<int32_t>(kEvControlLostFocus)) lost = true;
    EXPECT_TRUE(lost);
    EXPECT_EQ(rec, ObjectAsWindow(win_)->lastFocus);
}

TEST_F(ControlTest, ActsLikeButtonTakesTheDefaultWhileFocused) {
    ObjectRecord* ok = MakeButton("OK", 200);
    ASSERT_NE(nullptr, ok);
    ButtonSetDefault(win_, ok, true);
    ObjectRecord* rec = Make("QovTest.ButtonCtl");
    ASSERT_NE(nullptr, rec);
    EXPECT_EQ("storage-init", Text(rec, L"Persist"));
    Invoke1(rec, L"SiteFocus", 1);
    EXPECT_EQ(rec, ObjectAsWindow(win_)->defaultButton);
    EXPECT_EQ("true", Ambient(rec, -713));
    Invoke1(rec, L"SiteFocus", 0);
    EXPECT_EQ(ok, ObjectAsWindow(win_)->defaultButton) << "the standing button is default again";
    // A plain control leaves the default alone.
    ObjectRecord* plain = Make("QovTest.Control", 10, 100);
    Invoke1(plain, L"SiteFocus", 1);
    EXPECT_EQ(ok, ObjectAsWindow(win_)->defaultButton);
}

TEST_F(ControlTest, ActsLikeLabelPassesTheFocusOn) {
    ObjectRecord* ok = MakeButton("OK", 200);
    ObjectRecord* rec = Make("QovTest.LabelCtl");
    ASSERT_NE(nullptr, rec);
    SetForegroundWindow(win_->hwnd);
    Pump();
    // The control's window takes the focus; the control tells its site, and
    // the site passes the focus to the next object.
    SetFocusObject(win_, rec);
    SetFocus(rec->hwnd);
    Pump();
    EXPECT_EQ(ok->hwnd, GetFocus());
}

TEST_F(ControlTest, FocusRespectsNoUiActivateAndEnabled) {
    struct Case {
        const char* classId;
        bool disable;
        int result;
        bool uiActivates;
        const char* why;
    };
    const Case kCases[] = {
        {"QovTest.Control", false, 1, true, "UI activation, then the window's focus"},
        {"QovTest.NoUi", false, 1, false, "NOUIACTIVATE: the window's focus only"},
        {"QovTest.Control", true, 0, false, "Enabled false refuses"},
    };
    int32_t top = 10;
    for (const Case& c : kCases) {
        ObjectRecord* rec = Make(c.classId, 10, top);
        top += 70;
        ASSERT_NE(nullptr, rec) << c.why;
        if (c.disable) {
            VARIANT f = Long(0);
            VARIANT r = Call(rec, L"Enabled", DISPATCH_PROPERTYPUT, &f);
            VariantClear(&r);
        }
        ClearLog(rec);
        EXPECT_EQ(c.result, OleObjSetFocus(rec)) << c.why;
        std::string log = Log(rec);
        EXPECT_EQ(c.uiActivates, log.find("DoVerb(-4)") != std::string::npos) << c.why << ": " << log;
        EXPECT_EQ(c.uiActivates, GenObjInspect(Gen(rec)).uiActive != 0) << c.why;
    }
}

TEST_F(ControlTest, MnemonicReachesTheControlFromThePump) {
    ObjectRecord* rec = Make("QovTest.NoUi");
    ASSERT_NE(nullptr, rec);
    ClearLog(rec);
    MSG m = {};
    m.hwnd = rec->hwnd;
    m.message = WM_SYSKEYDOWN;
    m.wParam = 'M';
    ASSERT_NE(nullptr, gGuiHooks.oleAccelerator);
    EXPECT_TRUE(gGuiHooks.oleAccelerator(&m));
    EXPECT_NE(std::string::npos, Log(rec).find("OnMnemonic")) << Log(rec);
    m.wParam = 'Q';
    EXPECT_FALSE(gGuiHooks.oleAccelerator(&m)) << "another key is left to the pump";
}

// ---- In-place lock, resize, off-screen activation, drawing ------------------------------------

TEST_F(ControlTest, DeactivationWaitsForTheInPlaceLock) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    CGenObject* g = Gen(rec);
    Invoke1(rec, L"LockInPlace", 1);
    GenObjDeactivate(g, 1);
    EXPECT_EQ(1, GenObjInspect(g).deactivatePending);
    EXPECT_EQ(1, GenObjInspect(g).inPlaceActive) << "locked: only marked";
    Invoke1(rec, L"LockInPlace", 0);
    EXPECT_EQ(0, GenObjInspect(g).inPlaceActive) << "the last unlock deactivates";
    EXPECT_EQ(nullptr, rec->hwnd);
    Invoke1(rec, L"LockInPlace", 0);
    EXPECT_EQ(0, GenObjInspect(g).inPlaceLocks) << "an unmatched unlock leaves the count at 0";
    Invoke1(rec, L"LockInPlace", 1);
    EXPECT_EQ(1, GenObjInspect(g).inPlaceLocks);
}

TEST_F(ControlTest, WidthChangeSetsTheExtentAndUpdates) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    ClearLog(rec);
    rec->right = rec->left + 2 * kCtlWidth;
    OleObjResize(rec, kPidWidth);
    std::string want = "SetExtent(" + std::to_string(PixelsToHimetricX(nullptr, 2 * kCtlWidth)) + "," +
                       std::to_string(PixelsToHimetricY(nullptr, rec->bottom - rec->top)) + ")";
    EXPECT_TRUE(CallsAre(Log(rec), {{"SetObjectRects(10,10)"}, {want}, {"Update"}}));
    ClearLog(rec);
    OleObjResize(rec, kPidSizeMode);
    EXPECT_EQ("", Log(rec)) << "SizeMode is not a move";
}

TEST_F(ControlTest, InvisibleAtRunTimeIsActivatedOffScreen) {
    ObjectRecord* rec = Make("QovTest.Invisible");
    ASSERT_NE(nullptr, rec);
    // Without SETCLIENTSITEFIRST InitNew comes first; no extent is set for a
    // control invisible at run time, and it is hidden (-3) and moved back.
    EXPECT_TRUE(CallsAre(Log(rec), {{"InitNew(stream)"}, {"SetClientSite"}, {"UserMode=true"}, {"Advise"},
                                    {"SetAdvise(1,2)"}, {"SetHostNames(QO/V Application,QO/V Form)"}, {"DoVerb(-5)"},
                                    {"CanInPlaceActivate"}, {"GetWindowContext(20)"}, {"OnInPlaceActivate"},
                                    {"DoVerb(-3)"}, {"SetObjectRects(10,10)"}, {"FindConnectionPoint(notify)"}}));
    EXPECT_EQ(10, rec->left) << "moved back";
    EXPECT_FALSE(rec->hwnd && IsWindowVisible(rec->hwnd));
    gDesignMode = 1;
    ObjectRecord* shown = Make("QovTest.Invisible", 10, 100);
    ASSERT_NE(nullptr, shown);
    EXPECT_EQ(std::string::npos, Log(shown).find("DoVerb(-3)")) << "in design mode activated visibly";
}

TEST_F(ControlTest, IconicControlDrawsInTheIconBox) {
    // Not shown: a shown control would be active in place and draw itself.
    ObjectRecord* rec = Make("QovTest.Iconic", 0, 0, false);
    ASSERT_NE(nullptr, rec) << "an iconic Control has no display type to write";
    EXPECT_EQ(static_cast<DWORD>(DVASPECT_ICON), GenObjInspect(Gen(rec)).aspect);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bm = CreateCompatibleBitmap(screen, 200, 100);
    HGDIOBJ old = SelectObject(dc, bm);
    RECT all = {0, 0, 200, 100};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    OleObjDraw(rec, dc);
    EXPECT_EQ(kIconicMagenta, GetPixel(dc, 105, 58)) << "inside 110 x 62";
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 115, 30)) << "outside the box";
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST_F(ControlTest, ControlPaintsItsColourInPlaceAndLeavesNoWindowBehind) {
    ObjectRecord* rec = Make("QovTest.Control", 30, 40);
    ASSERT_NE(nullptr, rec);
    HWND ctl = rec->hwnd;
    ASSERT_TRUE(IsWindow(ctl));
    RedrawWindow(win_->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    POINT p = {60, 70};
    ClientToScreen(win_->hwnd, &p);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(kControlGreen, GetPixel(screen, p.x, p.y));
    ReleaseDC(nullptr, screen);
    ObjectDestroy(win_);
    win_ = nullptr;
    Pump();
    EXPECT_FALSE(IsWindow(ctl)) << "the control's window goes with the window";
}

// ---- Item numbers ---------------------------------------------------------------------------------

TEST_F(ControlTest, ItemNumbersRunOutAt299AndAreHandedOutAgain) {
    ObjectRecord* first = Make("QovTest.Control");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(1, ControlOf(first)->itemNumber);
    // Records standing for 298 more controls of the window.
    ObjectRecord* fakes[kItemNumberLimit] = {};
    for (uint32_t n = 2; n < kItemNumberLimit; ++n) {
        ObjectRecord* f = ObjectAllocRecord(kKindControl, sizeof(ControlRecord), false);
        ASSERT_NE(nullptr, f);
        f->parent = win_;
        ControlOf(f)->itemNumber = static_cast<uint16_t>(n);
        LinkObject(f);
        fakes[n] = f;
    }
    int32_t code = 0;
    EXPECT_EQ(nullptr, Make("QovTest.Control", 10, 100, true, &code));
    EXPECT_EQ(-83, code);
    EXPECT_EQ(101, gObjectCreateDetail);
    ObjectDestroy(fakes[57]);
    fakes[57] = nullptr;
    ObjectRecord* again = Make("QovTest.Control", 10, 100);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(57, ControlOf(again)->itemNumber);
    EXPECT_EQ(57u, ObjectOpsOf(again)->getProp(again, kPidStoreId));
}

// ---- Form support: frame, item container, enumerator ------------------------------------------

TEST_F(ControlTest, FrameAnswersByTheWindowsStyleBits) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    IOleInPlaceFrame* f = OleFormFrame(OleFormOf(win_));
    ASSERT_NE(nullptr, f);
    RECT r = {1, 2, 3, 4};
    EXPECT_EQ(E_INVALIDARG, f->GetBorder(nullptr));
    EXPECT_EQ(INPLACE_E_NOTOOLSPACE, f->GetBorder(&r));
    EXPECT_TRUE(IsRectEmpty(&r));
    Native()->winStyle |= kWsNegBorders;
    EXPECT_EQ(S_OK, f->GetBorder(&r));
    RECT client;
    GetClientRect(win_->hwnd, &client);
    EXPECT_TRUE(EqualRect(&r, &client));
    OLEMENUGROUPWIDTHS w = {{7, 7, 7, 7, 7, 7}};
    EXPECT_EQ(S_OK, f->InsertMenus(nullptr, &w)) << "no merging asked: no groups";
    EXPECT_EQ(0, w.width[0] + w.width[2] + w.width[4]);
    Native()->winStyle |= kWsNegMenus;
    EXPECT_EQ(S_OK, f->InsertMenus(nullptr, &w)) << "merging asked, but the window has no bar";
    EXPECT_EQ(0, w.width[0] + w.width[2] + w.width[4]);
    EXPECT_EQ(E_INVALIDARG, f->InsertMenus(nullptr, nullptr));
    EXPECT_EQ(S_FALSE, f->TranslateAccelerator(nullptr, 0));
    EXPECT_EQ(E_FAIL, f->SetStatusText(L"x"));
    // EnableModeless leaves the windows alone while a modal window holds them.
    gAllWindowsDisabled = true;
    EnableWindow(win_->hwnd, TRUE);
    EXPECT_EQ(S_OK, f->EnableModeless(FALSE));
    EXPECT_TRUE(IsWindowEnabled(win_->hwnd)) << "a modal window's hold is left alone";
    EXPECT_EQ(S_OK, f->EnableModeless(TRUE));
    EXPECT_TRUE(gAllWindowsDisabled);
    gAllWindowsDisabled = false;
    EXPECT_EQ(S_OK, f->EnableModeless(FALSE));
    EXPECT_FALSE(IsWindowEnabled(win_->hwnd));
    EXPECT_EQ(S_OK, f->EnableModeless(TRUE));
    EXPECT_TRUE(IsWindowEnabled(win_->hwnd)) << "the frame's own hold is given back";
    EXPECT_FALSE(gAllWindowsDisabled);
}

TEST_F(ControlTest, FrameMergesTheWindowsMenusByGroup) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    Native()->winStyle |= kWsNegMenus;
    struct MenuCase {
        const char* text;
        int32_t mergeType;   // set after creation; -1 keeps the text's group
        uint32_t group;
        bool shown;
        const char* why;
    };
    // In the bar's order.
    const MenuCase kMenus[] = {
        {"&Window<R;Tile", -1, 3, true, "Window group from its text: after the others"},
        {"&File<L;Open", -1, 1, true, "File group from its text"},
        {"&Edit;Cut", -1, 0, true, "no group: stays out"},
        {"&Tools;Options", 2, 2, true, "Container group by MergeType"},
        {"&View<l;Zoom", -1, 1, true, "File group (lower-case mark): after File, in the bar's order"},
        {"&Help<M;About", -1, 2, false, "not shown: stays out"},
        {"&Data<R;Sort", 5, 3, true, "MergeType 5 is ignored: the text's group stays"},
    };
    ObjectRecord* menus[sizeof kMenus / sizeof kMenus[0]] = {};
    for (size_t i = 0; i < sizeof kMenus / sizeof kMenus[0]; ++i) {
        const MenuCase& c = kMenus[i];
        CreateRecordReset(&cr_);
        cr_.windowRec = win_;
        cr_.windowResolved = true;
        if (c.shown) cr_.flags0 |= kCrVisible;
        cr_.text = CrText{c.text, static_cast<uint32_t>(strlen(c.text))};
        int32_t code = 0;
        menus[i] = ObjectCreate(kTypeMenu, &cr_, &code);
        ASSERT_NE(nullptr, menus[i]) << c.why << ": " << code;
        if (c.mergeType >= 0) {
            PropChange req = {};
            req.id = 277;
            req.value = c.mergeType;
            EXPECT_EQ(0, ObjectOpsOf(menus[i])->setProp(menus[i], &req)) << c.why;
        }
        EXPECT_EQ(c.group, ObjectOpsOf(menus[i])->getProp(menus[i], 277)) << c.why;
    }
    HMENU own = GetMenu(win_->hwnd);
    ASSERT_NE(nullptr, own);
    ASSERT_EQ(6, GetMenuItemCount(own));
    IOleInPlaceFrame* f = OleFormFrame(OleFormOf(win_));
    ASSERT_NE(nullptr, f);
    HMENU shared = CreateMenu();
    OLEMENUGROUPWIDTHS w = {{7, 7, 7, 7, 7, 7}};
    ASSERT_EQ(S_OK, f->InsertMenus(shared, &w));
    EXPECT_EQ(2, w.width[0]) << "File and View";
    EXPECT_EQ(1, w.width[2]) << "Tools";
    EXPECT_EQ(2, w.width[4]) << "Window and Data";
    EXPECT_TRUE(w.width[1] == 7 && w.width[3] == 7 && w.width[5] == 7) << "the object's groups are its own";
    const char* const kShared[] = {"&File", "&View", "&Tools", "&Window", "&Data"};
    ASSERT_EQ(5, GetMenuItemCount(shared));
    for (int i = 0; i < 5; ++i) {
        char text[64] = {};
        GetMenuStringA(shared, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(kShared[i], text) << "position " << i;
    }
    EXPECT_EQ(MenuPopupOf(menus[1]), GetSubMenu(shared, 0)) << "the File popup itself, not a copy";
    // The object adds its own group; its shared menu stands in for the bar.
    HMENU objectPopup = CreatePopupMenu();
    AppendMenuA(shared, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(objectPopup), "&Object");
    HOLEMENU hole = OleCreateMenuDescriptor(shared, &w);
    ASSERT_NE(nullptr, hole);
    EXPECT_EQ(S_OK, f->SetMenu(shared, hole, rec->hwnd));
    EXPECT_EQ(shared, GetMenu(win_->hwnd));
    EXPECT_EQ(S_OK, f->SetMenu(nullptr, nullptr, nullptr));
    EXPECT_EQ(own, GetMenu(win_->hwnd)) << "the window's own bar is back";
    EXPECT_EQ(6, GetMenuItemCount(own));
    f->SetMenu(nullptr, nullptr, nullptr);   // no descriptor left: OLE's answer is passed on
    EXPECT_EQ(own, GetMenu(win_->hwnd)) << "a second restore changes nothing";
    EXPECT_EQ(S_OK, f->RemoveMenus(shared));
    ASSERT_EQ(1, GetMenuItemCount(shared)) << "only the object's own entry stays";
    EXPECT_EQ(objectPopup, GetSubMenu(shared, 0));
    // The window closing while the shared menu stands in: the window's
    // popups leave it first, so that the object's DestroyMenu spares them.
    ASSERT_EQ(S_OK, f->InsertMenus(shared, &w));
    EXPECT_EQ(S_OK, f->SetMenu(shared, hole, rec->hwnd));
    EXPECT_EQ(6, GetMenuItemCount(shared));
    ObjectDestroy(win_);
    win_ = nullptr;
    Pump();
    EXPECT_TRUE(IsMenu(shared));
    EXPECT_EQ(1, GetMenuItemCount(shared)) << "the window's popups were taken out";
    OleDestroyMenuDescriptor(hole);
    DestroyMenu(shared);
}

TEST_F(ControlTest, ItemContainerAndMonikers) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    IOleItemContainer* c = OleFormItemContainer(OleFormOf(win_));
    ASSERT_NE(nullptr, c);
    IMoniker* m = nullptr;
    ULONG eaten = 0;
    EXPECT_EQ(MK_E_SYNTAX, c->ParseDisplayName(nullptr, const_cast<LPOLESTR>(L"x"), &eaten, &m));
    void* out = &eaten;
    struct Speed {
        DWORD speed;
        HRESULT hr;
    };
    for (Speed s : {Speed{0, MK_E_NOOBJECT}, Speed{1, MK_E_NOOBJECT}, Speed{2, MK_E_EXCEEDEDDEADLINE},
                    Speed{3, MK_E_EXCEEDEDDEADLINE}}) {
        EXPECT_EQ(s.hr, c->GetObject(const_cast<LPOLESTR>(L"x"), s.speed, nullptr, IID_IUnknown, &out)) << s.speed;
        EXPECT_EQ(nullptr, out);
    }
    IOleClientSite* site = static_cast<IOleClientSite*>(GenObjSite(Gen(rec), IID_IOleClientSite));
    ASSERT_NE(nullptr, site);
    for (DWORD which : {1u, 2u, 3u}) {
        EXPECT_EQ(S_OK, site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, which, &m)) << which;
        if (m) m->Release();
    }
    EXPECT_EQ(E_FAIL, site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, 4, &m));
    EXPECT_EQ(nullptr, m);
    site->Release();
    // Design mode: no monikers.
    ObjectDestroy(win_);
    win_ = nullptr;
    SetUp();
    gDesignMode = 1;
    ObjectRecord* design = Make("QovTest.Control");
    ASSERT_NE(nullptr, design);
    site = static_cast<IOleClientSite*>(GenObjSite(Gen(design), IID_IOleClientSite));
    EXPECT_EQ(E_FAIL, site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, 3, &m));
    site->Release();
}

TEST_F(ControlTest, EnumObjectsListsControlsOnlyWithEmbeddings) {
    ObjectRecord* a = Make("QovTest.Control");
    ObjectRecord* b = Make("QovTest.NoUi", 10, 100);
    ASSERT_TRUE(a && b);
    IOleItemContainer* c = OleFormItemContainer(OleFormOf(win_));
    IEnumUnknown* e = nullptr;
    ASSERT_EQ(S_OK, c->EnumObjects(OLECONTF_OTHERS, &e));
    IUnknown* got[4] = {};
    ULONG n = 9;
    EXPECT_EQ(S_FALSE, e->Next(1, got, &n));
    EXPECT_EQ(0u, n);
    e->Release();
    ASSERT_EQ(S_OK, c->EnumObjects(OLECONTF_EMBEDDINGS, &e));
    EXPECT_EQ(S_FALSE, e->Next(4, got, &n)) << "fewer than asked for";
    EXPECT_EQ(2u, n);
    for (ULONG i = 0; i < n; ++i) got[i]->Release();
    EXPECT_EQ(E_POINTER, e->Next(2, got, nullptr));
    EXPECT_EQ(S_OK, e->Reset());
    EXPECT_EQ(S_FALSE, e->Skip(2)) << "skipping to the end";
    EXPECT_EQ(S_OK, e->Skip(1));
    IEnumUnknown* clone = nullptr;
    ASSERT_EQ(S_OK, e->Clone(&clone));
    e->Release();
    EXPECT_EQ(S_OK, clone->Next(1, got, nullptr)) << "the clone keeps the cursor and its elements";
    got[0]->Release();
    EXPECT_EQ(S_FALSE, clone->Next(1, got, nullptr));
    clone->Release();
}

TEST_F(ControlTest, EnumeratorHoldsOneReferencePerElement) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    IUnknown* u = GenObjGetUnknown(Gen(rec));
    ASSERT_NE(nullptr, u);
    ULONG base = u->AddRef() - 1;
    u->Release();
    IEnumUnknown* e = EnumUnknownCreate(&u, 1);
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(base + 2, u->AddRef()) << "the enumerator holds one";
    u->Release();
    IEnumUnknown* clone = nullptr;
    e->Clone(&clone);
    EXPECT_EQ(base + 3, u->AddRef()) << "the clone holds its own";
    u->Release();
    e->Release();
    clone->Release();
    EXPECT_EQ(base + 1, u->AddRef()) << "released with the enumerators";
    u->Release();
    u->Release();
}

TEST_F(ControlTest, EventsOfTheControlReachTheQueue) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    EventCleanup();
    const int32_t none[4] = {};
    EventItem tmpl[2] = {};
    tmpl[0].kind = 8;
    tmpl[0].size = 4;
    tmpl[0].varRef = 7;
    ASSERT_EQ(0, EventRegister(rec, 1, none, false, tmpl, 1));
    Invoke1(rec, L"Fire", 42);
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t n = 0;
    ASSERT_TRUE(EventTakeNext(&ev, items, &n));
    EXPECT_EQ(1, ev.eventId);
    ASSERT_GE(n, 1u);
    EXPECT_EQ(42, static_cast<int32_t>(items[0].value));
    EXPECT_FALSE(EventTakeNext(&ev, items, &n)) << "event 2 was not registered";
    EXPECT_EQ(E_FAIL, OleObjPropertyPages(win_, win_->hwnd, 0, nullptr)) << "property pages of a non-Control";
}

}  // namespace


// ---- Wine's own controls -----------------------------------------------------------------------

namespace {

class WineControlTest : public ControlTest {};

// A method of a Control by name through the object model's slot 16, with
// integer or text arguments; the result into *result when given.
int32_t CallByName(ObjectRecord* rec, const char* name, std::initializer_list<const char*> texts, EventItem* result) {
    static MethodCallRec call;
    call = MethodCallRec();
    call.name = name;
    call.nameLength = static_cast<uint32_t>(strlen(name));
    for (const char* t : texts) {
        EventItem& a = call.args[call.argCount++];
        a.kind = 32;
        a.size = static_cast<uint32_t>(strlen(t));
        a.data = t;
    }
    if (result) {
        call.result = *result;
        call.result.varRef = 900;
    }
    int32_t rc = ObjectOpsOf(rec)->method(rec, &call);
    if (result) *result = call.result;
    return rc;
}

TEST_F(WineControlTest, ScriptControlIsActivatedOffScreenAndEvaluates) {
    ObjectRecord* rec = Make("MSScriptControl.ScriptControl");
    if (!rec && strstr(gErrorText, "800401F3")) GTEST_SKIP() << "no script control in this Wine";
    ASSERT_NE(nullptr, rec) << gErrorText << " detail " << gObjectCreateDetail;
    CGenObject* g = Gen(rec);
    RecordProperty("misc_status", static_cast<int>(GenObjInspect(g).miscStatus));
    EXPECT_TRUE(GenObjInspect(g).miscStatus & kMiscInvisibleAtRuntime);
    EXPECT_EQ(10, rec->left) << "moved back after the off-screen activation";
    VARIANT lang;
    VariantInit(&lang);
    V_VT(&lang) = VT_BSTR;
    V_BSTR(&lang) = SysAllocString(L"VBScript");
    DISPPARAMS p = {&lang, nullptr, 1, 0};
    EXPECT_EQ(0, AutoPropPut(OleObjGetAutomation(rec), "Language", 0, &p, nullptr));
    VariantClear(&lang);
    EXPECT_EQ(0, CallByName(rec, "AddCode", {"Function Twice(x)\nTwice = x * 2\nEnd Function"}, nullptr));
    EventItem r = {};
    r.kind = 8;
    r.size = 4;
    EXPECT_EQ(0, CallByName(rec, "Eval", {"Twice(21)"}, &r));
    EXPECT_EQ(42u, static_cast<uint32_t>(r.value));
}

TEST_F(WineControlTest, BrowserControlTakesItsWindowAndNavigates) {
    ObjectRecord* rec = Make("Shell.Explorer.2");
    if (!rec && strstr(gErrorText, "800401F3")) GTEST_SKIP() << "no browser control in this Wine";
    ASSERT_NE(nullptr, rec) << gErrorText << " detail " << gObjectCreateDetail;
    EXPECT_NE(nullptr, rec->hwnd) << "the record takes the control's window";
    EXPECT_EQ(0u, ControlOf(rec)->infoValid) << "Wine's GetControlInfo is E_NOTIMPL";
    // A page on disk, made here.
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "qov", 0, path);
    std::string page = std::string(path) + ".html";
    MoveFileA(path, page.c_str());
    HANDLE f = CreateFileA(page.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char html[] = "<html><body>hello</body></html>";
    DWORD n = 0;
    WriteFile(f, html, sizeof html - 1, &n, nullptr);
    CloseHandle(f);
    EventCleanup();
    const int32_t none[4] = {};
    EventItem url[2] = {};
    url[0].kind = 48;   // the browser object: not converted here
    url[1].kind = 32;
    url[1].varRef = 31;
    ASSERT_EQ(0, EventRegister(rec, 250, none, false, url, 2));
    EXPECT_EQ(0, CallByName(rec, "Navigate2", {page.c_str()}, nullptr));
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    bool before = false;
    int turns = 0;   // pump turns before BeforeNavigate2 was found
    for (; turns < 50 && !before; ++turns) {
        while (EventTakeNext(&ev, items, &count)) {
            EXPECT_EQ(250, ev.eventId) << "the navigation's other events are not registered: dropped";
            before = true;
            ASSERT_GE(count, 2u);
            ASSERT_TRUE(items[1].data);
            std::string got(static_cast<const char*>(items[1].data), items[1].size);
            EXPECT_NE(std::string::npos, got.find(".html")) << got;
        }
        if (!before) {
            Pump();
            Sleep(100);
        }
    }
    EXPECT_TRUE(before) << "BeforeNavigate2 (250) was queued";
    EXPECT_EQ(1, turns) << "fired inside the Navigate2 call";
    GenObjClose(Gen(rec));
    EXPECT_GE(GenObjInspect(Gen(rec)).closeNotices, 1) << "Close reaches the advise sink";
    HWND wnd = rec->hwnd;
    ObjectDestroy(win_);
    win_ = nullptr;
    Pump();
    EXPECT_FALSE(wnd && IsWindow(wnd)) << "no browser window is left";
    DeleteFileA(page.c_str());
}

}  // namespace

namespace {

TEST_F(ControlTest, WindowActivationAndFontReachTheActiveControl) {
    ObjectRecord* rec = Make("QovTest.Control");
    ASSERT_NE(nullptr, rec);
    ASSERT_EQ(1, OleObjSetFocus(rec)) << "UI-active: the frame holds its active object";
    ClearLog(rec);
    SendMessageA(win_->hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    SendMessageA(win_->hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    // The focus moving back into the control on the activation is Wine's
    // way with a sent WM_ACTIVATE; the frame's notices are the client's.
    EXPECT_TRUE(CallsAre(Log(rec), {{"OnFrameWindowActivate(0)"}, {"OnFrameWindowActivate(1)"}, MaySee("WM_KILLFOCUS"),
                                    MaySee("WM_SETFOCUS")}));
    ClearLog(rec);
    // A change of the window's font (its property handler raises the event).
    WindowEventRaise(kWindowFontChanged, win_, false);
    EXPECT_NE(std::string::npos, Log(rec).find("OnAmbientPropertyChange(-703)=dispatch")) << Log(rec);
    // Deactivating the window's UI-active control.
    EXPECT_EQ(1, OleFormDeactivate(win_));
    EXPECT_EQ(0, GenObjInspect(Gen(rec)).uiActive);
    EXPECT_EQ(0, OleFormDeactivate(win_)) << "nothing UI-active any more";
}

}  // namespace

namespace {

TEST_F(ControlTest, SavingGoesToTheStreamOrTheStorage) {
    struct Case {
        const char* classId;
        const char* persist;
        const char* why;
    };
    const Case kCases[] = {
        {"QovTest.Control", "stream-init", "IPersistStreamInit: the \"Ctrl\" stream"},
        {"QovTest.ButtonCtl", "storage-init", "IPersistStorage: the sub-storage"},
    };
    int32_t top = 10;
    for (const Case& c : kCases) {
        ObjectRecord* rec = Make(c.classId, 10, top);
        top += 70;
        ASSERT_NE(nullptr, rec) << c.why;
        EXPECT_EQ(c.persist, Text(rec, L"Persist")) << c.why;
        EXPECT_EQ(S_OK, GenObjSave(Gen(rec))) << c.why;
    }
    EXPECT_EQ(E_FAIL, GenObjSave(nullptr));
}

}  // namespace
