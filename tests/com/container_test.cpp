// container_test.cpp - Container objects under Wine with the test server's
// embeddable document and Wine's own objects: creation defaults and ranges,
// creation by mode and its failures, $UPDATED, SizeMode rectangles, the icon
// box, the verb menu, update options and the "$" methods; the form's OLE
// storage saved at an offset of a file and loaded into another window (file
// and memory regions), the lock bytes' edges, damaged areas; drops by direct
// IDropTarget calls; and the type-library browser's tree.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "com/autoclient.h"
#include "com/comobjects.h"
#include "com/olecontainer.h"
#include "com/oleutil.h"
#include "controls/controls.h"
#include "forms/formload.h"
#include "forms/formsave.h"
#include "graphics/graphics.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/proto/records.h"
#include "session/session.h"
#include "tests/com/comsuite.h"

namespace {

constexpr uint32_t kRegionBase = 1000;
constexpr int32_t kPx = 96;         // Wine's screen: 96 dots per inch; the document is 2540 x 1270 HIMETRIC
constexpr int32_t kDocW = 96, kDocH = 48;
constexpr uint32_t kEvUpdatedId = 22;
const char kDocProgId[] = "QovTest.Document";
const char kBrowseClsid[] = "{5C0E7A30-3B2D-4E61-9A4F-1D2C3B4A5E60}";

// An in-process data object offering text and a metafile picture: what a
// drag source or the clipboard hands over.
class TextData : public IDataObject {
public:
    virtual ~TextData() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs_;
        if (!n) delete this;
        return n;
    }
    STDMETHODIMP GetData(FORMATETC* f, STGMEDIUM* m) override {
        memset(m, 0, sizeof *m);
        if (f->cfFormat == CF_TEXT && (f->tymed & TYMED_HGLOBAL)) {
            m->tymed = TYMED_HGLOBAL;
            m->hGlobal = GlobalAlloc(GMEM_MOVEABLE, 6);
            memcpy(GlobalLock(m->hGlobal), "drop!", 6);
            GlobalUnlock(m->hGlobal);
            return S_OK;
        }
        if (f->cfFormat == CF_METAFILEPICT && (f->tymed & TYMED_MFPICT)) {
            HDC mf = CreateMetaFileA(nullptr);
            Rectangle(mf, 0, 0, 50, 50);
            HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
            METAFILEPICT* p = static_cast<METAFILEPICT*>(GlobalLock(g));
            p->mm = MM_ANISOTROPIC;
            p->xExt = 1000;
            p->yExt = 1000;
            p->hMF = CloseMetaFile(mf);
            GlobalUnlock(g);
            m->tymed = TYMED_MFPICT;
            m->hMetaFilePict = g;
            return S_OK;
        }
        return DV_E_FORMATETC;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* f) override {
        return f->cfFormat == CF_TEXT || f->cfFormat == CF_METAFILEPICT ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD dir, IEnumFORMATETC** out) override {
        if (dir != DATADIR_GET) return E_NOTIMPL;
        FORMATETC f[2] = {{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT},
                          {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}};
        return SHCreateStdEnumFmtEtc(2, f, out);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ULONG refs_ = 1;
};

std::string TempPath(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

class ContainerTest : public ComSuite {
protected:
    // The window each test gets, and others made by tests, is 500 x 400.
    static constexpr int32_t kWindowWidth = 500, kWindowHeight = 400;
    ContainerTest() {
        windowWidth_ = kWindowWidth;
        windowHeight_ = kWindowHeight;
    }
    // A Container in window w (the test window by default).
    struct Spec {
        const char* classId = nullptr;
        const char* sourceDoc = nullptr;
        uint32_t sourceDocLength = 0;   // 0: up to its NUL
        const char* hostName = nullptr;
        int32_t storeId = 0, sizeMode = 0, displayType = 0, oleDrop = 0, autoVerb = 0, autoAct = 0;
        int32_t backStyle = 0, oleTypeA = 0, updateOpt = 0;
        int32_t left = 10, top = 10, width = 200, height = 100;
        bool visible = true;
        OleStoreInfo* store = nullptr;
        ObjectRecord* window = nullptr;
    };
    ObjectRecord* Make(const Spec& s, int32_t* codeOut = nullptr) {
        ObjectCreateRecord cr;
        CreateRecordReset(&cr);
        cr.windowRec = s.window ? s.window : win_;
        cr.windowResolved = true;
        cr.left = s.left, cr.top = s.top, cr.width = s.width, cr.height = s.height;
        cr.right = s.left + s.width, cr.bottom = s.top + s.height;
        if (s.visible) cr.flags0 |= kCrVisible;
        auto text = [](const char* t) { return t ? CrText{t, static_cast<uint32_t>(strlen(t))} : CrText{nullptr, 0}; };
        cr.classId = text(s.classId);
        cr.sourceDoc = s.sourceDocLength ? CrText{s.sourceDoc, s.sourceDocLength} : text(s.sourceDoc);
        cr.hostName = text(s.hostName);
        cr.storeId = s.storeId, cr.sizeMode = s.sizeMode, cr.displayType = s.displayType, cr.oleDrop = s.oleDrop;
        cr.autoVerb = s.autoVerb, cr.autoAct = s.autoAct, cr.backStyle = s.backStyle, cr.oleTypeA = s.oleTypeA;
        cr.updateOpt = s.updateOpt;
        cr.oleStore = s.store;
        int32_t code = 0;
        gObjectCreateDetail = 0;
        ObjectRecord* rec = ObjectCreate(kTypeContainer, &cr, &code);
        if (codeOut) *codeOut = rec ? 0 : code;
        Pump();
        return rec;
    }
    ObjectRecord* MakeDoc(const char* state = nullptr, ObjectRecord* window = nullptr) {
        Spec s;
        s.classId = kDocProgId;
        s.window = window;
        ObjectRecord* rec = Make(s);
        if (rec && state) PutState(rec, state);
        return rec;
    }
    ObjectRecord* MakeControl(ObjectRecord* window, OleStoreInfo* store = nullptr, int32_t storeId = 0) {
        ObjectCreateRecord cr;
        CreateRecordReset(&cr);
        cr.windowRec = window;
        cr.windowResolved = true;
        cr.left = 250, cr.top = 10, cr.width = 100, cr.height = 50, cr.right = 350, cr.bottom = 60;
        cr.flags0 |= kCrVisible;
        cr.classId = CrText{"QovTest.Control", 15};
        cr.storeId = storeId;
        cr.oleStore = store;
        int32_t code = 0;
        ObjectRecord* rec = ObjectCreate(kTypeControl, &cr, &code);
        Pump();
        return rec;
    }
    static VARIANT Call(ObjectRecord* rec, const wchar_t* name, WORD flags, const VARIANT* arg = nullptr) {
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
            bool isPut = (flags & DISPATCH_PROPERTYPUT) != 0;
            DISPPARAMS p = {arg ? &a0 : nullptr, isPut ? &put : nullptr, arg ? 1u : 0u, isPut ? 1u : 0u};
            d->Invoke(id, IID_NULL, 0, flags, &p, &result, nullptr, nullptr);
            VariantClear(&a0);
        }
        d->Release();
        return result;
    }
    static std::string Text(ObjectRecord* rec, const wchar_t* name) {
        VARIANT v = Call(rec, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
        std::string s;
        if (V_VT(&v) == VT_BSTR && V_BSTR(&v)) {
            char buf[4096];
            WideCharToMultiByte(CP_ACP, 0, V_BSTR(&v), -1, buf, sizeof buf, nullptr, nullptr);
            s = buf;
        }
        VariantClear(&v);
        return s;
    }
    static void PutState(ObjectRecord* rec, const char* state) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        std::wstring w(state, state + strlen(state));
        V_BSTR(&v) = SysAllocString(w.c_str());
        VARIANT r = Call(rec, L"State", DISPATCH_PROPERTYPUT, &v);
        VariantClear(&r);
        VariantClear(&v);
    }
    static void Raise(ObjectRecord* rec, LONG what) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = what;
        VARIANT r = Call(rec, L"Raise", DISPATCH_METHOD, &v);
        VariantClear(&r);
    }
    static uint32_t Prop(ObjectRecord* rec, uint32_t id) {
        gTextBuf[0] = 0;
        return ObjectOpsOf(rec)->getProp(rec, id);
    }
    static int32_t SetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text = nullptr) {
        PropChange req = {};
        req.id = id;
        req.value = value;
        req.text = text;
        req.textLength = text ? static_cast<uint32_t>(strlen(text)) : 0;
        return ObjectOpsOf(rec)->setProp(rec, &req);
    }
    static ContainerRecord* K(ObjectRecord* rec) { return ContainerOf(rec); }
    static RECT Size(const RECT& r) { return RECT{0, 0, r.right - r.left, r.bottom - r.top}; }

};

// ---- Creation ----------------------------------------------------------------------------

TEST_F(ContainerTest, CreationKeepsDefaultsAndRanges) {
    struct Case {
        int32_t autoAct, sizeMode, backStyle, displayType, oleTypeA, updateOpt;
        uint16_t wantAutoAct, wantSizeMode, wantBackStyle, wantDisplayType, wantOleTypeA, wantUpdateOpt;
        const char* why;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0, 1, 2, 1, 1, 1, 1, "nothing given: the defaults"},
        {3, 4, 2, 2, 3, 2, 3, 4, 2, 2, 3, 2, "the highest values in range are kept"},
        {4, 5, 3, 3, 4, 3, 1, 2, 1, 1, 1, 1, "values past the ranges fall back to the defaults"},
        {-1, -1, -1, -1, -1, -1, 1, 2, 1, 1, 1, 1, "negative values too"},
    };
    for (const Case& c : cases) {
        Spec s;
        s.autoAct = c.autoAct, s.sizeMode = c.sizeMode, s.backStyle = c.backStyle, s.displayType = c.displayType;
        s.oleTypeA = c.oleTypeA, s.updateOpt = c.updateOpt;
        ObjectRecord* rec = Make(s);
        ASSERT_NE(nullptr, rec) << c.why;
        ContainerRecord* k = K(rec);
        EXPECT_EQ(c.wantAutoAct, k->autoAct) << c.why;
        EXPECT_EQ(c.wantSizeMode, k->sizeMode) << c.why;
        EXPECT_EQ(c.wantBackStyle, k->backStyle) << c.why;
        EXPECT_EQ(c.wantDisplayType, k->displayType) << c.why;
        EXPECT_EQ(c.wantOleTypeA, k->oleTypeA) << c.why;
        EXPECT_EQ(c.wantUpdateOpt, k->updateOpt) << c.why;
        EXPECT_EQ(nullptr, k->object) << "an empty Container: " << c.why;
        EXPECT_EQ(1u, Prop(rec, kPidOLEType)) << c.why;
        EXPECT_EQ(0u, Prop(rec, kPidStoreId)) << c.why;
        ObjectDestroy(rec);
    }
    // Texts are cut: ClassId at 39 characters, HostName and SourceDoc at 255.
    std::string host(300, 'h');
    Spec s;
    s.hostName = host.c_str();
    ObjectRecord* rec = Make(s);
    ASSERT_NE(nullptr, rec);
    EXPECT_EQ(255u, strlen(K(rec)->hostName));
}

TEST_F(ContainerTest, CreationFailuresAnswerTheirDetail) {
    struct Case {
        const char* classId;
        const char* sourceDoc;
        int32_t oleTypeA;
        bool design;
        int32_t wantCode;
        const char* wantErrorPrefix;
        const char* why;
        uint32_t sourceDocLength = 0;
    };
    const Case cases[] = {
        {"QovTest.NoSuchClass", nullptr, 0, false, -83, "WINERR:0x800401F3", "an unknown ProgID"},
        {nullptr, "Z:\\no\\such\\file.qov", 0, false, -83, "WINERR:0x800401E6",
         "Wine embeds no file: OleCreateFromFile answers MK_E_CANTOPENFILE"},
        {nullptr, "Z:\\no\\such\\file.qov", 3, false, -83, "WINERR:0x80004001",
         "Wine links no file: OleCreateLinkToFile is not implemented"},
        {"QovTest.NoSuchClass", nullptr, 0, true, 0, "WINERR:", "in design mode the Container stays, empty"},
        {nullptr, "Z:\\no\\such\\file.qov\0x", 0, false, -83, "the SourceDoc holds a NUL",
         "a SourceDoc with a NUL inside names no file, never the one before the NUL", 21},
    };
    for (const Case& c : cases) {
        gDesignMode = c.design ? 1 : 0;
        Spec s;
        s.classId = c.classId, s.sourceDoc = c.sourceDoc, s.sourceDocLength = c.sourceDocLength, s.oleTypeA = c.oleTypeA;
        int32_t code = 0;
        ObjectRecord* rec = Make(s, &code);
        EXPECT_EQ(c.wantCode, code) << c.why;
        if (c.wantCode) {
            EXPECT_EQ(nullptr, rec) << c.why;
            EXPECT_EQ(103, gObjectCreateDetail) << c.why;
        } else {
            ASSERT_NE(nullptr, rec) << c.why;
            EXPECT_EQ(nullptr, K(rec)->object) << c.why;
            EXPECT_EQ(0, K(rec)->classId[0]) << "the ClassId is emptied: " << c.why;
        }
        EXPECT_EQ(0, strncmp(gErrorText, c.wantErrorPrefix, strlen(c.wantErrorPrefix)))
            << c.why << ": " << gErrorText;
        gDesignMode = 0;
    }
}

TEST_F(ContainerTest, ADocumentOfAClassEmbedsAndAnswersItsProperties) {
    Spec s;
    s.classId = kDocProgId;
    s.hostName = "Orders";
    ObjectRecord* rec = Make(s);
    ASSERT_NE(nullptr, rec) << gErrorText;
    ContainerRecord* k = K(rec);
    ASSERT_NE(nullptr, k->object);
    EXPECT_EQ(kModeNew, k->mode);
    EXPECT_EQ(2u, Prop(rec, kPidOLEType)) << "embedded";
    EXPECT_EQ(k->itemNumber, Prop(rec, kPidStoreId));
    Prop(rec, kPidClassId);
    EXPECT_STREQ(kDocProgId, gTextBuf) << "the ClassId becomes the object's ProgID";
    EXPECT_NE(std::string::npos, Text(rec, L"Log").find("SetHostNames(Orders)")) << Text(rec, L"Log");
    SetProp(rec, kPidHostName, 0, "Invoices");
    EXPECT_NE(std::string::npos, Text(rec, L"Log").find("SetHostNames(Invoices)"));
    EXPECT_EQ(1, OleObjUpdate(rec)) << "IOleObject::Update of an embedded object";
    EXPECT_EQ(0, OleObjSetUpdateOptions(rec, OLEUPDATE_ONCALL)) << "update options need a link";

    // $Delete by name through the method slot: the Container is empty again.
    MethodCallRec call = {};
    call.name = "$Delete";
    call.nameLength = 7;
    EXPECT_EQ(kNoAnswer, ObjectInvokeMethod(kTypeContainer, rec, &call));
    EXPECT_EQ(nullptr, k->object);
    EXPECT_EQ(1u, Prop(rec, kPidOLEType));
    EXPECT_EQ(0u, Prop(rec, kPidStoreId));
    call.name = "$Nonsense";
    call.nameLength = 9;
    EXPECT_EQ(kOpUnknownMethod, ObjectInvokeMethod(kTypeContainer, rec, &call));

    // Setting ClassId makes the object again; a text of 40 characters leaves it empty.
    SetProp(rec, kPidClassId, 0, kDocProgId);
    EXPECT_NE(nullptr, k->object);
    SetProp(rec, kPidClassId, 0, std::string(40, 'x').c_str());
    EXPECT_EQ(nullptr, k->object);
}

// The dialog is modal: a thread timer answers it from inside its own loop.
// Without gInsertPick it is cancelled; with it the list's item whose text
// holds it is selected (as a click does: LB_SETCURSEL and the selection
// notice) and OK pressed. gInsertItems collects the listed texts.
int gDialogsClosed;
const char* gInsertPick;
std::string gInsertItems;
void CALLBACK AnswerInsertDialog(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dlg = FindWindowA("#32770", "Insert Object");
    HWND list = dlg ? FindWindowExA(dlg, nullptr, "ListBox", nullptr) : nullptr;
    if (!list) return;
    KillTimer(nullptr, id);
    ++gDialogsClosed;
    WPARAM answer = IDCANCEL;
    LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n && answer == IDCANCEL; ++i) {
        char text[256] = "";
        if (SendMessageA(list, LB_GETTEXTLEN, i, 0) >= static_cast<LRESULT>(sizeof text)) continue;
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        gInsertItems += std::string(text) + ";";
        if (!gInsertPick || !strstr(text, gInsertPick)) continue;
        SendMessageA(list, LB_SETCURSEL, i, 0);
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        answer = IDOK;
    }
    PostMessageA(dlg, WM_COMMAND, answer, 0);
}

// ClassId "?" on rec: the dialog comes up and is answered as above.
void InsertThroughDialog(ObjectRecord* rec, const char* pick) {
    gDialogsClosed = 0;
    gInsertPick = pick;
    gInsertItems.clear();
    gErrorText[0] = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 300, AnswerInsertDialog);
    PropChange req = {};
    req.id = kPidClassId;
    req.text = "?";
    req.textLength = 1;
    ObjectOpsOf(rec)->setProp(rec, &req);
    KillTimer(nullptr, timer);
}

TEST_F(ContainerTest, CancellingInsertObjectLeavesTheContainerEmpty) {
    Spec s;
    ObjectRecord* rec = Make(s);
    ASSERT_NE(nullptr, rec);
    InsertThroughDialog(rec, nullptr);
    EXPECT_EQ(1, gDialogsClosed) << "the dialog came up with its caption";
    EXPECT_EQ(nullptr, K(rec)->object);
    EXPECT_EQ(1u, Prop(rec, kPidOLEType));
}

TEST_F(ContainerTest, InsertObjectsOkWithTheMediaPlayerChosenFailsWithItsHresult) {
    // Under Wine the media player listed in the dialog is created by class
    // and refuses the interface the embedding asks for: the creation fails
    // with its HRESULT and the Container stays empty.
    Spec s;
    ObjectRecord* rec = Make(s);
    ASSERT_NE(nullptr, rec);
    InsertThroughDialog(rec, "Media Player");
    ASSERT_EQ(1, gDialogsClosed) << "the dialog came up";
    ASSERT_NE(std::string::npos, gInsertItems.find(gInsertPick)) << "listed: " << gInsertItems;
    EXPECT_STREQ("WINERR:0x80004002", gErrorText);
    EXPECT_EQ(nullptr, K(rec)->object);
}

// A modal dialog of this thread, other than the test's windows, is cancelled.
BOOL CALLBACK CancelOneDialog(HWND wnd, LPARAM) {
    char cls[32] = "";
    GetClassNameA(wnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(wnd)) return TRUE;
    ++gDialogsClosed;
    PostMessageA(wnd, WM_COMMAND, IDCANCEL, 0);
    return FALSE;
}
void CALLBACK CancelThreadDialog(HWND, UINT, UINT_PTR id, DWORD) {
    int before = gDialogsClosed;
    EnumThreadWindows(GetCurrentThreadId(), CancelOneDialog, 0);
    if (gDialogsClosed != before) KillTimer(nullptr, id);
}

TEST_F(ContainerTest, ThePropertyFrameOfAControlRunsAndCloses) {
    ObjectRecord* ctl = MakeControl(win_);
    ASSERT_NE(nullptr, ctl);
    // Without a page Wine's frame refuses at once (E_POINTER): nothing to show.
    EXPECT_EQ(E_POINTER, OleObjPropertyPages(ctl, win_->hwnd, 0, nullptr));
    // With the test server's page the modal frame runs until cancelled.
    const CLSID page = {0x5C0E7A29, 0x3B2D, 0x4E61, {0x9A, 0x4F, 0x1D, 0x2C, 0x3B, 0x4A, 0x5E, 0x60}};
    gDialogsClosed = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 300, CancelThreadDialog);
    HRESULT hr = OleObjPropertyPages(ctl, win_->hwnd, -514, &page);
    KillTimer(nullptr, timer);
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(1, gDialogsClosed) << "the frame came up and was closed";
}

TEST_F(ContainerTest, UpdatedIsPostedOnlyWhenRegistered) {
    ObjectRecord* rec = MakeDoc();
    ASSERT_NE(nullptr, rec);
    EventCleanup();
    struct Case {
        LONG raise;
        int32_t value;
        const char* why;
    };
    const Case cases[] = {{1, 1, "data changed"}, {2, 2, "closed"}, {3, 3, "renamed"}, {4, 4, "saved"}};
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t n = 0;
    for (const Case& c : cases) Raise(rec, c.raise);
    EXPECT_FALSE(EventTakeNext(&ev, items, &n)) << "nothing without a registration";
    const int32_t none[4] = {};
    ASSERT_EQ(0, EventRegister(rec, kEvUpdatedId, none, false, nullptr, 0));
    for (const Case& c : cases) {
        Raise(rec, c.raise);
        ASSERT_TRUE(EventTakeNext(&ev, items, &n)) << c.why;
        EXPECT_EQ(static_cast<int32_t>(kEvUpdatedId), ev.eventId) << c.why;
        EXPECT_EQ(c.value, ev.value) << c.why;
    }
}

TEST_F(ContainerTest, SizeModesPlaceTheObject) {
    struct Case {
        int32_t sizeMode, width, height;
        int32_t wantW, wantH;
        int32_t recordW, recordH;
        const char* why;
    };
    const Case cases[] = {
        {1, 200, 100, kDocW, kDocH, kDocW, kDocH, "1: the record takes the object's size"},
        {2, 200, 100, kDocW, kDocH, 200, 100, "2: the object keeps its size, clipped by the area"},
        {3, 300, 100, 199, 100, 300, 100, "3: the height limits; the width scales by the same factor"},
        {3, 100, 300, 100, 49, 100, 300, "3: the width limits"},
        {4, 200, 100, 200, 100, 200, 100, "4: stretched over the area"},
    };
    for (const Case& c : cases) {
        Spec s;
        s.classId = kDocProgId;
        s.sizeMode = c.sizeMode, s.width = c.width, s.height = c.height;
        ObjectRecord* rec = Make(s);
        ASSERT_NE(nullptr, rec) << c.why;
        RECT r = GenObjRect(OleObjectOf(rec), false);
        EXPECT_EQ(c.wantW, r.right - r.left) << c.why;
        EXPECT_EQ(c.wantH, r.bottom - r.top) << c.why;
        EXPECT_EQ(10, r.left) << "top-left kept: " << c.why;
        EXPECT_EQ(c.recordW, rec->right - rec->left) << c.why;
        EXPECT_EQ(c.recordH, rec->bottom - rec->top) << c.why;
        ObjectDestroy(rec);
    }
    int32_t w = 0, h = 0;
    OleFitBySmallerFactor(50, 50, 0, 0, &w, &h);
    EXPECT_EQ(50, w) << "no extent: the whole rectangle";
    OleFitBySmallerFactor(5, 5, 100000, 100000, &w, &h);
    EXPECT_EQ(5, w) << "a factor of 0: the whole rectangle";
}

TEST_F(ContainerTest, AnIconDrawsInTheIconBox) {
    Spec s;
    s.classId = kDocProgId;
    s.displayType = 2;
    s.left = 30, s.top = 40;
    ObjectRecord* rec = Make(s);
    ASSERT_NE(nullptr, rec);
    EXPECT_EQ(DVASPECT_ICON, GenObjInspect(OleObjectOf(rec)).aspect);
    EXPECT_EQ(2u, Prop(rec, kPidDisplayType));
    HDC dc = CreateCompatibleDC(nullptr);
    OleObjDraw(rec, dc);
    DeleteDC(dc);
    EXPECT_EQ("30,40,140,102", Text(rec, L"LastDraw")) << "110 x 62 without an icon extent";
}

TEST_F(ContainerTest, ADoubleClickRunsThePrimaryVerbWithAutoAct1) {
    struct Case {
        int32_t autoAct;
        LONG wantVerb;
        const char* why;
    };
    const Case cases[] = {{1, 0, "AutoAct 1: the primary verb"}, {3, OLEIVERB_SHOW, "AutoAct 3: nothing by itself (the show of its creation stays the last)"}};
    for (const Case& c : cases) {
        Spec s;
        s.classId = kDocProgId;
        s.autoAct = c.autoAct;
        ObjectRecord* rec = Make(s);
        ASSERT_NE(nullptr, rec) << c.why;
        // The message the window gets from a double click inside the Container.
        SendMessageA(win_->hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(rec->left + 5, rec->top + 5));
        VARIANT v = Call(rec, L"LastVerb", DISPATCH_PROPERTYGET);
        EXPECT_EQ(c.wantVerb, V_I4(&v)) << c.why;
        // Enter on the focused Container, as the double click (verb 2 run first).
        OleObjDoVerb(rec, 2, nullptr);
        ObjectAsWindow(win_)->focusObj = rec;
        SendMessageA(win_->hwnd, WM_KEYDOWN, VK_RETURN, 0);
        ObjectAsWindow(win_)->focusObj = nullptr;
        v = Call(rec, L"LastVerb", DISPATCH_PROPERTYGET);
        EXPECT_EQ(c.autoAct == 1 ? 0 : 2, V_I4(&v)) << "Enter: " << c.why;
        ObjectDestroy(rec);
    }
}

// A Container whose object goes UI-active becomes its window's UI-active
// object; a second one takes the place; deactivation and destruction clear it.
TEST_F(ContainerTest, TheWindowNamesItsUiActiveContainer) {
    Spec s;
    s.classId = kDocProgId;
    ObjectRecord* first = Make(s);
    ASSERT_NE(nullptr, first);
    s.left += 210;
    ObjectRecord* second = Make(s);
    ASSERT_NE(nullptr, second);
    WindowRecord* w = ObjectAsWindow(win_);
    EXPECT_EQ(nullptr, w->uiActiveObject) << "shown, not UI-active";
    OleObjDoVerb(first, OLEIVERB_UIACTIVATE, nullptr);
    EXPECT_EQ(first, w->uiActiveObject);
    OleObjDoVerb(second, OLEIVERB_UIACTIVATE, nullptr);
    EXPECT_EQ(second, w->uiActiveObject) << "a second activation moves it";
    GenObjDeactivate(OleObjectOf(second), 1);
    EXPECT_EQ(nullptr, w->uiActiveObject) << "deactivation clears it";
    OleObjDoVerb(second, OLEIVERB_UIACTIVATE, nullptr);
    ASSERT_EQ(second, w->uiActiveObject);
    ObjectDestroy(second);
    EXPECT_EQ(nullptr, w->uiActiveObject) << "a destroyed Container is named no more";
    ObjectDestroy(first);
}

// The popup menu of a right click: the second item is chosen by keys.
void CALLBACK ChooseSecondItem(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = FindWindowA("#32768", nullptr);
    if (!menu) return;
    KillTimer(nullptr, id);
    ++gDialogsClosed;
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(ContainerTest, ARightClickOffersTheVerbsWithAutoVerb) {
    Spec s;
    s.classId = kDocProgId;
    s.autoVerb = 1;
    ObjectRecord* rec = Make(s);
    ASSERT_NE(nullptr, rec);
    gDialogsClosed = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 200, ChooseSecondItem);
    SendMessageA(win_->hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(rec->left + 5, rec->top + 5));
    KillTimer(nullptr, timer);
    EXPECT_EQ(1, gDialogsClosed) << "the popup menu came up";
    VARIANT v = Call(rec, L"LastVerb", DISPATCH_PROPERTYGET);
    EXPECT_EQ(1, V_I4(&v)) << "the second verb, Open";
}

TEST_F(ContainerTest, TheVerbMenuFlattensTheNamedVerbs) {
    ObjectRecord* rec = MakeDoc();
    ASSERT_NE(nullptr, rec);
    HMENU menu = CreatePopupMenu();
    OleObjAddVerbs(rec, menu, 1);
    struct Want {
        UINT id;
        const char* text;
    };
    const Want want[] = {{32000, "&Edit"}, {32001, "&Open"}, {32002, "&Print"}};
    ASSERT_EQ(3, GetMenuItemCount(menu));
    for (int i = 0; i < 3; ++i) {
        char text[300] = "";
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        EXPECT_EQ(want[i].id, GetMenuItemID(menu, i)) << i;
        EXPECT_STREQ(want[i].text, text) << i;
        EXPECT_EQ(nullptr, GetSubMenu(menu, i)) << "no cascade left";
    }
    DestroyMenu(menu);
    // $DoVerb runs the verb given.
    MethodCallRec call = {};
    call.name = "$DoVerb";
    call.nameLength = 7;
    call.argCount = 1;
    call.args[0].kind = kItemInt;
    call.args[0].value = 2;
    EXPECT_EQ(kNoAnswer, ObjectInvokeMethod(kTypeContainer, rec, &call));
    VARIANT v = Call(rec, L"LastVerb", DISPATCH_PROPERTYGET);
    EXPECT_EQ(2, V_I4(&v));
}

TEST_F(ContainerTest, WinesWebBrowserAsAContainersObject) {
    // Mode 6 with Wine's WebBrowser: it embeds and activates in place.
    Spec s;
    s.classId = "Shell.Explorer.2";
    s.width = 300, s.height = 200;
    ObjectRecord* rec = Make(s);
    ASSERT_NE(nullptr, rec) << gErrorText;
    CGenObject* g = OleObjectOf(rec);
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(kModeNew, K(rec)->mode);
    EXPECT_EQ(1, GenObjInspect(g).inPlaceActive) << "shown after creation, in place";
    Prop(rec, kPidClassId);
    EXPECT_STREQ("Shell.Explorer.2", gTextBuf);
    // Its one verb stays a plain item: no cascade to flatten.
    HMENU menu = CreatePopupMenu();
    OleObjAddVerbs(rec, menu, 1);
    EXPECT_EQ(1, GetMenuItemCount(menu));
    EXPECT_EQ(nullptr, GetSubMenu(menu, 0));
    DestroyMenu(menu);
    // Wine's browser cannot save itself into a storage: the form keeps its
    // class with an empty state and loads it as a new browser.
    EXPECT_EQ(E_NOTIMPL, GenObjSave(g));
    std::string path = TempPath("qovbrowser.bin");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    uint32_t size = 0;
    ASSERT_EQ(1, OleFormSaveObjects(win_, h, 0, &size)) << "a save the object cannot do is no failure";
    ObjectRecord* w = MakeWindow();
    ASSERT_NE(nullptr, w);
    OleStoreInfo store = {h, nullptr, 0, size, 0};
    Spec again;
    again.window = w;
    again.storeId = K(rec)->itemNumber;
    again.store = &store;
    again.width = 300, again.height = 200;
    int32_t code = 0;
    ObjectRecord* loaded = Make(again, &code);
    OleFormReleaseStorage(w);
    CloseHandle(h);
    ASSERT_NE(nullptr, loaded) << code << " " << gErrorText;
    EXPECT_EQ(kModeLoad, K(loaded)->mode);
    Prop(loaded, kPidClassId);
    EXPECT_STREQ("Shell.Explorer.2", gTextBuf) << "the class its sub-storage names";
    // Any other failed save fails the form's save.
    ObjectRecord* doc = MakeDoc("save-fails");
    ASSERT_NE(nullptr, doc);
    h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(0, OleFormSaveObjects(win_, h, 0, &size)) << "a document whose save failed";
    CloseHandle(h);
}

TEST_F(ContainerTest, AnchoredControlsFollowTheirWindow) {
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.windowRec = win_;
    cr.windowResolved = true;
    cr.left = 20, cr.top = 20, cr.width = 100, cr.height = 50, cr.right = 120, cr.bottom = 70;
    cr.flags0 |= kCrVisible;
    cr.anchor = 5;
    cr.classId = CrText{"QovTest.Control", 15};
    int32_t code = 0;
    ObjectRecord* ctl = ObjectCreate(kTypeControl, &cr, &code);
    ASSERT_NE(nullptr, ctl) << code;
    Pump();
    VARIANT r = Call(ctl, L"ClearLog", DISPATCH_METHOD);
    VariantClear(&r);
    RECT client;
    GetClientRect(win_->hwnd, &client);
    // The window grew by 40 x 20 since its children were laid out.
    WindowResizeChildren(win_, client.right - 40, client.bottom - 20);
    EXPECT_EQ(140, ctl->right - ctl->left) << "anchored on all edges: it grows";
    std::string log = Text(ctl, L"Log");
    EXPECT_NE(std::string::npos, log.find("SetObjectRects(20,20)")) << log;
    EXPECT_NE(std::string::npos, log.find("SetExtent")) << "a control that recomposes on resize: " << log;
    EXPECT_EQ(0u, Prop(ctl, kPidStreamId));
}

// ---- Storage -----------------------------------------------------------------------------

// Two documents and a stream-persisted control saved at kRegionBase of a file
// (the bytes before it untouched); the region read back as bytes.
struct SavedRegion {
    std::vector<uint8_t> file;
    uint32_t size = 0;
    uint16_t docA = 0, docB = 0, control = 0;
};

class StorageTest : public ContainerTest {
protected:
    bool SaveForm(SavedRegion* out) {
        ObjectRecord* a = MakeDoc("alpha");
        Spec s;
        s.classId = kDocProgId;
        s.top = 150;
        ObjectRecord* b = Make(s);
        ObjectRecord* c = MakeControl(win_);
        if (!a || !b || !c) return false;
        PutState(b, "beta");
        out->docA = K(a)->itemNumber;
        out->docB = K(b)->itemNumber;
        out->control = ControlOf(c)->itemNumber;
        std::string path = TempPath("qovregion.bin");
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        std::vector<uint8_t> lead(kRegionBase, 0x5A);
        DWORD n = 0;
        WriteFile(h, lead.data(), kRegionBase, &n, nullptr);
        uint32_t size = 0;
        bool ok = OleFormSaveObjects(win_, h, kRegionBase, &size) == 1;
        DWORD total = GetFileSize(h, nullptr);
        out->file.resize(total);
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        ReadFile(h, out->file.data(), total, &n, nullptr);
        CloseHandle(h);
        out->size = size;
        // The region goes where the independent reader's test finds it.
        const char* copy = getenv("QOV_OLE_REGION_OUT");
        if (ok && copy) CopyFileA(path.c_str(), copy, FALSE);
        DeleteFileA(path.c_str());
        return ok;
    }
    // A Container loaded from saved data into window w.
    ObjectRecord* Load(ObjectRecord* w, OleStoreInfo* store, uint16_t item, int32_t* code = nullptr) {
        Spec s;
        s.window = w;
        s.storeId = item;
        s.store = store;
        return Make(s, code);
    }
};

TEST_F(StorageTest, AFormsObjectsComeBackFromItsRegion) {
    SavedRegion saved;
    ASSERT_TRUE(SaveForm(&saved)) << gErrorText;
    ASSERT_GT(saved.size, 0u);
    ASSERT_EQ(kRegionBase + saved.size, saved.file.size()) << "the region ends the file";
    EXPECT_EQ(0x5A, saved.file[kRegionBase - 1]) << "the bytes before the base are left";
    static const uint8_t kDocfileMagic[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    EXPECT_EQ(0, memcmp(saved.file.data() + kRegionBase, kDocfileMagic, sizeof kDocfileMagic));

    // From the file region (file mode) and from a memory copy (memory mode).
    std::string path = TempPath("qovreload.bin");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD n = 0;
    WriteFile(h, saved.file.data(), static_cast<DWORD>(saved.file.size()), &n, nullptr);
    struct Case {
        OleStoreInfo store;
        const char* why;
    };
    const Case cases[] = {
        {{h, nullptr, kRegionBase, saved.size, 0}, "a region of an open file"},
        {{nullptr, saved.file.data() + kRegionBase, 0, saved.size, 0}, "a memory block"},
    };
    for (const Case& c : cases) {
        ObjectRecord* w = MakeWindow();
        ASSERT_NE(nullptr, w);
        OleStoreInfo store = c.store;
        ObjectRecord* a = Load(w, &store, saved.docA);
        store = c.store;
        ObjectRecord* b = Load(w, &store, saved.docB);
        store = c.store;
        ObjectRecord* ctl = MakeControl(w, &store, saved.control);
        OleFormReleaseStorage(w);
        ASSERT_NE(nullptr, a) << c.why << ": " << gErrorText;
        ASSERT_NE(nullptr, b) << c.why;
        ASSERT_NE(nullptr, ctl) << c.why;
        EXPECT_EQ(kModeLoad, K(a)->mode) << c.why;
        EXPECT_EQ("alpha", Text(a, L"State")) << c.why;
        EXPECT_EQ("beta", Text(b, L"State")) << c.why;
        EXPECT_EQ("stream-load", Text(ctl, L"Persist")) << c.why;
        Prop(a, kPidClassId);
        EXPECT_STREQ(kDocProgId, gTextBuf) << c.why;
    }
    CloseHandle(h);
}

TEST_F(StorageTest, BlankObjectsFromDataSaveAndComeBack) {
    // Modes 5 and 8 with text and a metafile: Wine makes blank objects.
    struct Case {
        uint16_t mode;
        const char* why;
    };
    const Case cases[] = {{kModeStatic, "static from data"}, {kModeFromData, "from data"}};
    for (const Case& c : cases) {
        Spec s;
        ObjectRecord* rec = Make(s);
        ASSERT_NE(nullptr, rec);
        CGenObject* g = GenObjNew(win_, rec, nullptr);
        ASSERT_NE(nullptr, g);
        K(rec)->mode = c.mode;
        TextData* data = new TextData();
        BOOL made = GenObjCreate(g, nullptr, nullptr, data, nullptr);
        data->Release();
        ASSERT_TRUE(made) << c.why << ": " << gErrorText;
        K(rec)->object = g;
        IOleObject* o = GenObjInspect(g).oleObject;
        SIZEL ext = {};
        EXPECT_EQ(OLE_E_BLANK, o->GetExtent(DVASPECT_CONTENT, &ext)) << c.why;
        EXPECT_EQ(S_OK, GenObjSave(g)) << c.why;
        // Saved with the window into memory and loaded again by mode 9.
        std::string path = TempPath("qovblank.bin");
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        uint32_t size = 0;
        ASSERT_EQ(1, OleFormSaveObjects(win_, h, 0, &size)) << c.why;
        std::vector<uint8_t> area(size + 7, 0);
        DWORD got = 0;
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        ReadFile(h, area.data() + 7, size, &got, nullptr);
        CloseHandle(h);
        // At base 7 of a memory block: the base counts there as in a file.
        OleStoreInfo store = {nullptr, area.data(), 7, size, 0};
        ObjectRecord* w = MakeWindow();
        ObjectRecord* again = Load(w, &store, K(rec)->itemNumber);
        OleFormReleaseStorage(w);
        ASSERT_NE(nullptr, again) << c.why << ": " << gErrorText;
        EXPECT_EQ(kModeLoad, K(again)->mode) << c.why;
        ObjectDestroy(rec);
    }
    // A window without any Container or Control saves nothing, successfully.
    ObjectRecord* empty = MakeWindow();
    uint32_t size = 0;
    EXPECT_EQ(1, OleFormSaveObjects(empty, INVALID_HANDLE_VALUE, 0, &size));
    EXPECT_EQ(0u, size);
}

TEST_F(StorageTest, DamagedAreasFailWithoutFault) {
    SavedRegion saved;
    ASSERT_TRUE(SaveForm(&saved));
    std::vector<uint8_t> region(saved.file.begin() + kRegionBase, saved.file.end());
    struct Case {
        size_t cut;          // bytes kept (0: all)
        size_t flipAt;       // a byte turned over (SIZE_MAX: none)
        uint16_t item;
        const char* why;
    };
    const Case cases[] = {
        {100, SIZE_MAX, saved.docA, "cut inside the header"},
        {region.size() / 2, SIZE_MAX, saved.docA, "cut in the middle"},
        {0, 0x30, saved.docA, "the first directory sector number turned"},
        {0, 0x4C, saved.docA, "the first FAT sector number turned"},
        {0, 0x200, saved.docA, "the first sector turned"},
        {0, SIZE_MAX, 250, "an item number that was never saved"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = region;
        if (c.cut) bytes.resize(c.cut);
        if (c.flipAt < bytes.size()) bytes[c.flipAt] ^= 0xFF;
        // Exactly the region: a read past it would show under Wine's heap checks.
        std::vector<uint8_t> exact(bytes);
        OleStoreInfo store = {nullptr, exact.data(), 0, static_cast<uint32_t>(exact.size()), 0};
        ObjectRecord* w = MakeWindow();
        int32_t code = 0;
        ObjectRecord* rec = Load(w, &store, c.item, &code);
        OleFormReleaseStorage(w);
        if (rec) {
            // Wine's OleLoad of an empty sub-storage makes a blank object of
            // its default handler, which has no members of the document.
            std::string state = K(rec)->object ? Text(rec, L"State") : "";
            EXPECT_TRUE(state.empty() || state == "alpha") << c.why << ": " << state;
        } else {
            EXPECT_EQ(-83, code) << c.why;
            EXPECT_EQ(103, gObjectCreateDetail) << c.why;
        }
    }
}

TEST_F(StorageTest, LockBytesEdges) {
    const uint8_t block[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    OleStoreInfo where = {nullptr, block, 0, sizeof block, 0};
    ILockBytes* b = LockBytesCreate(&where);
    ASSERT_NE(nullptr, b);
    struct Case {
        uint64_t offset;
        ULONG n;
        ULONG wantRead;
        const char* why;
    };
    const Case cases[] = {
        {0, 4, 4, "inside"},
        {12, 8, 4, "cut at the end"},
        {16, 4, 0, "at the end: nothing, S_OK"},
        {0xFFFFFFFFull, 4, 0, "near 2^32"},
        {0x100000000ull, 4, 0, "past 2^32"},
    };
    for (const Case& c : cases) {
        uint8_t out[8] = {};
        ULONG got = 99;
        ULARGE_INTEGER at;
        at.QuadPart = c.offset;
        EXPECT_EQ(S_OK, b->ReadAt(at, out, c.n, &got)) << c.why;
        EXPECT_EQ(c.wantRead, got) << c.why;
    }
    ULARGE_INTEGER size;
    size.QuadPart = 17;
    EXPECT_EQ(E_FAIL, b->SetSize(size)) << "a memory block does not grow past its capacity";
    size.QuadPart = 8;
    EXPECT_EQ(S_OK, b->SetSize(size));
    STATSTG st = {};
    EXPECT_EQ(S_OK, b->Stat(&st, STATFLAG_NONAME));
    EXPECT_EQ(static_cast<DWORD>(STGTY_LOCKBYTES), st.type);
    EXPECT_EQ(8u, st.cbSize.QuadPart);
    EXPECT_EQ(7u, st.grfLocksSupported);
    b->Release();
}

TEST_F(StorageTest, TheTemporaryFileLivesForTheProcess) {
    ASSERT_NE(nullptr, MakeDoc("kept"));
    gFormOleTemp = OleStoreInfo{};
    OleFormSaveToTemp(win_);
    EXPECT_EQ(nullptr, gFormOleTemp.file) << "only with client-mode bit 0";
    gClientModeFlags = 1;
    OleFormSaveToTemp(win_);
    ASSERT_NE(nullptr, gFormOleTemp.file);
    EXPECT_GT(gFormOleTemp.size, 0u);
    // The file is open with delete-on-close: no one else may open it meanwhile.
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((std::string(folder) + "QOV*.tmp").c_str(), &fd);
    EXPECT_NE(INVALID_HANDLE_VALUE, find) << "a QOV file in the temporary folder";
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    // A Control with a StoreId and no descriptor of its own takes the file.
    ObjectRecord* ctl = MakeControl(win_);
    ASSERT_NE(nullptr, ctl);
    uint16_t item = ControlOf(ctl)->itemNumber;
    OleFormSaveToTemp(win_);
    ObjectRecord* w = MakeWindow();
    ObjectRecord* again = MakeControl(w, nullptr, item);
    ASSERT_NE(nullptr, again) << gErrorText;
    EXPECT_EQ("stream-load", Text(again, L"Persist"));
    gClientModeFlags = 0;
    ObjectRecord* fresh = MakeControl(w, nullptr, item);
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ("stream-init", Text(fresh, L"Persist")) << "without bit 0 the StoreId counts as 0";
}

TEST_F(StorageTest, ObjectsTravelInTheFormFile) {
    ObjectRecord* doc = MakeDoc("gamma");
    ObjectRecord* ctl = MakeControl(win_);
    ASSERT_TRUE(doc && ctl);
    std::string path = TempPath("qovcontainer.qof");
    ASSERT_EQ(0u, FormSaveQof(win_, ("!" + path).c_str(), nullptr, nullptr, 0)) << gFormLastError;
    // The header names the OLE area (offset 100, size 104): a compound file.
    std::vector<uint8_t> file;
    {
        FILE* f = fopen(path.c_str(), "rb");
        ASSERT_NE(nullptr, f);
        uint8_t buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) file.insert(file.end(), buf, buf + n);
        fclose(f);
    }
    ASSERT_GT(file.size(), 108u);
    uint32_t oleOff, oleSize;
    memcpy(&oleOff, file.data() + 100, 4);
    memcpy(&oleSize, file.data() + 104, 4);
    ASSERT_GT(oleSize, 0u);
    ASSERT_LE(static_cast<uint64_t>(oleOff) + oleSize, file.size());
    EXPECT_EQ(0xD0, file[oleOff]);
    // Loaded into another window: each object reports its saved state, and the
    // saved storage is released at the end of the load.
    ObjectRecord* w = MakeWindow();
    char err[kFormErrTextSize + 1] = {};
    int32_t rc = FormLoadQof(w, ("!" + path).c_str(), nullptr, nullptr, kFormOptNoShow, nullptr, err);
    ASSERT_EQ(0, rc & 0xFFFF) << err;
    ObjectRecord* loadedDoc = nullptr;
    ObjectRecord* loadedCtl = nullptr;
    for (ObjectRecord* c = w->children; c; c = c->next) {
        if (ContainerOf(c)) loadedDoc = c;
        if (ControlOf(c)) loadedCtl = c;
    }
    ASSERT_NE(nullptr, loadedDoc);
    ASSERT_NE(nullptr, loadedCtl);
    EXPECT_EQ(kModeLoad, K(loadedDoc)->mode);
    EXPECT_EQ("gamma", Text(loadedDoc, L"State"));
    EXPECT_EQ("stream-load", Text(loadedCtl, L"Persist"));
    // The objects follow the window the load moved into.
    EXPECT_NE(nullptr, OleFormDropTarget(w));

    // Damaged OLE areas inside the form file: the load ends, sound or
    // refused, and never reads outside the file's region.
    struct Damage {
        size_t at;
        uint8_t value;
        const char* why;
    };
    const Damage damages[] = {
        {0x30, 0xFF, "the first directory sector past the end"},
        {0x4C, 0xFF, "the first FAT sector past the end"},
        {0x1E, 0x20, "a sector shift of 32"},
        {0x00, 0x00, "no compound-file signature"},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad = file;
        bad[oleOff + d.at] = d.value;
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fwrite(bad.data(), 1, bad.size(), f);
        fclose(f);
        ObjectRecord* into = MakeWindow();
        char e[kFormErrTextSize + 1] = {};
        int32_t result = FormLoadQof(into, ("!" + path).c_str(), nullptr, nullptr, kFormOptNoShow, nullptr, e);
        int32_t low = static_cast<int16_t>(result & 0xFFFF);
        EXPECT_TRUE(low == 0 || low == kFormReadFailed) << d.why << ": " << result << " " << e;
        for (ObjectRecord* c = into->children; c; c = c->next)
            if (ContainerOf(c) && K(c)->object) {
                std::string state = Text(c, L"State");
                EXPECT_TRUE(state.empty() || state == "gamma") << d.why << ": " << state;
            }
    }
    DeleteFileA(path.c_str());
}

// ---- Drops ---------------------------------------------------------------------------------

TEST_F(ContainerTest, DropsLandOnlyOnEmptyContainersThatAcceptThem) {
    Spec open;
    open.oleDrop = 1;
    open.left = 10, open.top = 10;
    ObjectRecord* target = Make(open);
    Spec closed;
    closed.oleDrop = 0;
    closed.left = 10, closed.top = 150;
    ObjectRecord* refusing = Make(closed);
    Spec full;
    full.oleDrop = 1;
    full.classId = kDocProgId;
    full.left = 250, full.top = 10;
    ObjectRecord* occupied = Make(full);
    Spec hidden;
    hidden.oleDrop = 1;
    hidden.visible = false;
    hidden.left = 250, hidden.top = 150;
    ObjectRecord* unseen = Make(hidden);
    ASSERT_TRUE(target && refusing && occupied && unseen);
    IDropTarget* drop = OleFormDropTarget(win_);
    ASSERT_NE(nullptr, drop);
    auto screen = [&](ObjectRecord* rec) {
        POINT p = {rec->left + 5, rec->top + 5};
        ClientToScreen(win_->hwnd, &p);
        return POINTL{p.x, p.y};
    };
    const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    struct Case {
        ObjectRecord* over;
        DWORD keys, allowed, want;
        const char* why;
    };
    const Case cases[] = {
        {target, 0, all, DROPEFFECT_MOVE, "no key: move"},
        {target, MK_CONTROL, all, DROPEFFECT_COPY, "Ctrl: copy"},
        {target, MK_CONTROL | MK_SHIFT, all, DROPEFFECT_LINK, "Ctrl+Shift: link"},
        {target, MK_CONTROL, DROPEFFECT_MOVE, DROPEFFECT_NONE, "a copy the source does not allow"},
        {refusing, 0, all, DROPEFFECT_NONE, "OLEDrop 0"},
        {occupied, 0, all, DROPEFFECT_NONE, "a Container holding an object"},
        {unseen, 0, all, DROPEFFECT_NONE, "a hidden Container"},
    };
    TextData* data = new TextData();
    for (const Case& c : cases) {
        DWORD effect = c.allowed;
        EXPECT_EQ(S_OK, drop->DragEnter(data, c.keys, screen(c.over), &effect)) << c.why;
        EXPECT_EQ(c.want, effect) << c.why;
        effect = c.allowed;
        EXPECT_EQ(S_OK, drop->DragOver(c.keys, screen(c.over), &effect)) << c.why;
        EXPECT_EQ(c.want, effect) << c.why;
    }
    EXPECT_EQ(S_OK, drop->DragLeave());
    for (ObjectRecord* rec : {refusing, unseen}) {
        DWORD effect = all;
        drop->Drop(data, 0, screen(rec), &effect);
        EXPECT_EQ(nullptr, K(rec)->object) << "nothing made";
    }
    DWORD effect = all;
    EXPECT_EQ(S_OK, drop->Drop(data, MK_CONTROL, screen(target), &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    ASSERT_NE(nullptr, K(target)->object) << gErrorText;
    EXPECT_EQ(kModeFromData, K(target)->mode);
    data->Release();
}

TEST_F(ContainerTest, ADropInsideAPanelFindsItsContainer) {
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.windowRec = win_;
    cr.windowResolved = true;
    cr.left = 100, cr.top = 100, cr.width = 250, cr.height = 150, cr.right = 350, cr.bottom = 250;
    cr.flags0 |= kCrVisible;
    int32_t code = 0;
    ObjectRecord* panel = ObjectCreate(kTypePanel, &cr, &code);
    ASSERT_NE(nullptr, panel) << code;
    ASSERT_NE(nullptr, panel->hwnd);
    Pump();
    // The Container's rectangle is in the panel's own coordinates.
    Spec s;
    s.window = panel;
    s.oleDrop = 1;
    s.left = 20, s.top = 20, s.width = 100, s.height = 60;
    ObjectRecord* inner = Make(s);
    ASSERT_NE(nullptr, inner);
    IDropTarget* drop = OleFormDropTarget(win_);
    ASSERT_NE(nullptr, drop);
    POINT p = {30, 30};
    ClientToScreen(panel->hwnd, &p);
    TextData* data = new TextData();
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, drop->DragOver(0, POINTL{p.x, p.y}, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect) << "found through the panel's window";
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, drop->Drop(data, 0, POINTL{p.x, p.y}, &effect));
    EXPECT_NE(nullptr, K(inner)->object) << gErrorText;
    data->Release();
}

// ---- Type-library browser ------------------------------------------------------------------

class BrowseTest : public ContainerTest {
protected:
    void SetUp() override {
        ContainerTest::SetUp();
        tree_ = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 300, win_->hwnd, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, tree_);
    }
    std::string ItemText(HTREEITEM item) {
        static char buf[8192];
        TVITEMA it = {};
        it.mask = TVIF_TEXT;
        it.hItem = item;
        it.pszText = buf;
        it.cchTextMax = sizeof buf;
        buf[0] = 0;
        SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        return buf;
    }
    HTREEITEM Child(HTREEITEM parent) {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(tree_, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
    }
    HTREEITEM Next(HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    }
    // Every text under parent, in tree order.
    std::vector<std::string> Texts(HTREEITEM parent) {
        std::vector<std::string> out;
        for (HTREEITEM i = Child(parent); i; i = Next(i)) out.push_back(ItemText(i));
        return out;
    }
    HTREEITEM Find(HTREEITEM parent, const std::string& prefix) {
        for (HTREEITEM i = Child(parent); i; i = Next(i))
            if (ItemText(i).compare(0, prefix.size(), prefix) == 0) return i;
        return nullptr;
    }
    std::string Member(HTREEITEM coclass, const char* group, const std::string& name) {
        HTREEITEM g = Find(coclass, group);
        HTREEITEM m = g ? Find(g, name + "|") : nullptr;
        return m ? ItemText(m) : std::string("(missing)");
    }
    HWND tree_ = nullptr;
};

TEST_F(BrowseTest, TheTestLibraryGivesItsDeclarations) {
    ASSERT_EQ(1, TypeLibBrowseClassId(kBrowseClsid, tree_)) << "Version 2.10 read as decimal";
    HTREEITEM root = Child(nullptr);
    EXPECT_EQ("QovTestSrv", ItemText(root));
    HTREEITEM browse = Find(root, "QovBrowse|");
    ASSERT_NE(nullptr, browse);
    EXPECT_EQ(std::string("QovBrowse|") + kBrowseClsid, ItemText(browse));
    EXPECT_EQ((std::vector<std::string>{"Events", "Methods", "Properties"}), Texts(browse));
    struct Case {
        const char* group;
        const char* name;
        std::string want;
        const char* why;
    };
    const Case cases[] = {
        {"Events", "Change",
         "Change|\"1\"|EVENTREG {object},$Change [,{routine} [,ARG1={VT_I2}] [,ARG2={VT_I2}] ]\r\n\r\n"
         "$Change CONST \"1\"\r\nARG1=Button, ARG2=Shift|",
         "an event with two short parameters"},
        {"Methods", "Name", "Name|{object}.Name [GIVING {VT_VOID}] USING {*a= [in] VT_I4} [, {*b= [in] VT_BSTR}]|",
         "a required and an optional parameter"},
        {"Properties", "Label", "Label|0|1|Property: *Label(VT_BSTR)={VT_VOID}|", "a put-only property"},
        {"Methods", "Small", "Small|{object}.Small [GIVING {VT_VOID}] USING {*value= [in] VT_UI2}|",
         "VT_UI2 by its name"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, Member(browse, c.group, c.name)) << c.why;
    std::string ten = Member(browse, "Events", "Ten");
    EXPECT_NE(std::string::npos, ten.find("[,ARG:={VT_I4}]")) << "the tenth argument is ARG: " << ten;
    std::string crowded = Member(browse, "Methods", "Crowded");
    EXPECT_EQ(std::string("Crowded|").size() + 2047 + 1, crowded.size()) << "the declaration cut at 2047";
}

TEST_F(BrowseTest, WinesOwnLibraries) {
    // The WebBrowser: SHDocVw 1.1; BeforeNavigate2 takes its arguments by reference.
    ASSERT_EQ(1, TypeLibBrowseClassId("{8856F961-340A-11D0-A96B-00C04FD705A2}", tree_));
    HTREEITEM root = Child(nullptr);
    EXPECT_EQ("SHDocVw", ItemText(root));
    HTREEITEM web = Find(root, "WebBrowser|");
    ASSERT_NE(nullptr, web);
    std::string before = Member(web, "Events", "BeforeNavigate2");
    // Pointers show the type pointed to; VARIANT* is written VT_VARIANT.
    EXPECT_EQ("BeforeNavigate2|\"250\"|EVENTREG {object},$BeforeNavigate2 [,{routine} [,ARG1={VT_DISPATCH}] "
              "[,ARG2={VT_VARIANT}] [,ARG3={VT_VARIANT}] [,ARG4={VT_VARIANT}] [,ARG5={VT_VARIANT}] "
              "[,ARG6={VT_VARIANT}] [,ARG7={VT_BOOL}] ]\r\n\r\n$BeforeNavigate2 CONST \"250\"\r\n"
              "ARG1=pDisp, ARG2=URL, ARG3=Flags, ARG4=TargetFrameName, ARG5=PostData, ARG6=Headers, ARG7=Cancel|",
              before);
    // The script control: its two events.
    ASSERT_EQ(1, TypeLibBrowseClassId("{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}", tree_));
    HTREEITEM script = Find(Child(nullptr), "ScriptControl|");
    ASSERT_NE(nullptr, script);
    EXPECT_EQ(0u, Member(script, "Events", "Error").find("Error|\"3000\"|"));
    EXPECT_EQ(0u, Member(script, "Events", "Timeout").find("Timeout|\"3001\"|"));
    // Not found: no CLSID key, a CLSID without a library.
    EXPECT_EQ(0, TypeLibBrowseClassId("{00000000-0000-0000-0000-0000000000AA}", tree_));
    EXPECT_EQ(0, TypeLibBrowseClassId("QovTest.Document", tree_));
}

TEST_F(BrowseTest, TheClientsOwnClassIsFound) {
    // The client registers its library under 409 and under the neutral
    // locale, where Wine's LoadRegTypeLib with the locale 0x400 looks.
    ASSERT_EQ(0, RegisterComServer());
    EXPECT_EQ(1, TypeLibBrowseClassId("{20D05919-FA48-4b02-851F-F933ACD40A49}", tree_));
    UnregisterComServer();
}

TEST_F(BrowseTest, StdPictureOnceItsClassNamesItsLibrary) {
    // Wine registers no TypeLib under stdole's classes; the test adds it.
    HKEY key;
    const char* picture = "CLSID\\{0BE35204-8F91-11CE-9DE3-00AA004BB851}";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, picture, &key));
    RegSetValueA(key, "TypeLib", REG_SZ, "{00020430-0000-0000-C000-000000000046}", 38);
    RegSetValueA(key, "Version", REG_SZ, "2.0", 3);
    RegCloseKey(key);
    ASSERT_EQ(1, TypeLibBrowseClassId("{0BE35204-8F91-11CE-9DE3-00AA004BB851}", tree_));
    HTREEITEM root = Child(nullptr);
    EXPECT_EQ("stdole", ItemText(root));
    HTREEITEM pict = Find(root, "StdPicture|");
    ASSERT_NE(nullptr, pict);
    std::string render = Member(pict, "Methods", "Render");
    for (const char* t : {"VT_INT", "VT_VOID", "OLE_XPOS_HIMETRIC", "OLE_YPOS_HIMETRIC", "OLE_XSIZE_HIMETRIC",
                          "OLE_YSIZE_HIMETRIC"})
        EXPECT_NE(std::string::npos, render.find(t)) << t << " in " << render;
    // StdFont's properties are variables of its dispinterface, not functions:
    // the browser lists functions only, so it shows none.
    HTREEITEM font = Find(root, "StdFont|");
    ASSERT_NE(nullptr, font);
    EXPECT_TRUE(Texts(Find(font, "Properties")).empty());
    HTREEITEM enums = Find(root, "_Enums_");
    ASSERT_NE(nullptr, enums);
    EXPECT_NE(nullptr, Find(enums, "OLE_TRISTATE|"));
    EXPECT_NE(nullptr, Find(enums, "LoadPictureConstants|"));
    RegDeleteValueA(HKEY_CLASSES_ROOT, picture);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string(picture) + "\\TypeLib").c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string(picture) + "\\Version").c_str());
}

}  // namespace
