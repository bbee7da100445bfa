// formload_test.cpp - FormLoadQof under Wine with files from the tests' own
// builder into the facilities as the program connects them: a form of every
// text, list and menu kind loads into an empty window and is read back with
// Win32 queries; the refusals (a window with a child, a failing creator with
// and without the ask option, a newer version, an interrupted save, a server
// file's name); the resources during and after the load; the code output
// file and the XML output's events.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/wiring.h"
#include "controls/controls.h"
#include "forms/formload.h"
#include "forms/formfiles.h"
#include "forms/qofbuild.h"
#include "forms/testpng.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/util/mem.h"
#include "webview/core/webobject.h"
#include "tests/com/testsrvreg.h"
#include "tests/gui/testwindow.h"
#include "tests/testutil.h"

using qofbuild::ControlStream;
using qofbuild::Form;
using qofbuild::Stream;

namespace {

constexpr int32_t kVersion5 = 5 * 65536;

BOOL CALLBACK CountOurs(HWND wnd, LPARAM count) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindow(wnd)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}
int TopWindowCount() {
    int n = 0;
    EnumWindows(CountOurs, reinterpret_cast<LPARAM>(&n));
    return n;
}

// The address form with access keys in its two menu items.
Form AddressForm() { return qofbuild::AddressForm("&Save", "E&xit"); }

class FormLoadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        registered_ = RegisterServer();
        StartTestRuntime(InstallFacilities);
    }
    void SetUp() override {
        CreateRecordReset(&cr_);
        cr_.winType = kWinNormal;
        cr_.width = 200, cr_.height = 100;
        cr_.units = kUnitsPixels;
        int32_t code = 0;
        win_ = WindowObjectCreate(nullptr, &cr_, &code);
        ASSERT_NE(nullptr, win_) << code;
        handle_ = win_->handle;
        baseline_ = TopWindowCount();
    }
    void TearDown() override {
        if (ObjectIsLive(win_)) ObjectDestroy(win_);
    }
    int32_t Load(const std::vector<uint8_t>& bytes, uint32_t options = 0, const char* code = nullptr) {
        err_[0] = 0;
        std::string name = WriteForm(bytes, "qovform.qof");
        return FormLoadQof(win_, name.c_str(), nullptr, code, options, nullptr, err_);
    }
    static bool registered_;
    ObjectCreateRecord cr_;
    ObjectRecord* win_ = nullptr;
    uint32_t handle_ = 0;
    int baseline_ = 0;
    char err_[kFormErrTextSize + 1] = {};
};

bool FormLoadTest::registered_;

std::string WindowText(HWND wnd) {
    char text[256] = {};
    GetWindowTextA(wnd, text, sizeof text);
    return text;
}

TEST_F(FormLoadTest, AddressFormLoadsIntoTheAskingWindow) {
    HWND empty = win_->hwnd;
    int32_t rc = Load(qofbuild::Build(AddressForm()));
    ASSERT_EQ(rc, kVersion5) << err_;
    // The asking object now is the form: same record, same handle; the old
    // empty window is gone.
    ASSERT_TRUE(ObjectIsLive(win_));
    EXPECT_EQ(ObjectFromHandle(handle_), win_);
    EXPECT_FALSE(IsWindow(empty));
    HWND wnd = win_->hwnd;
    ASSERT_TRUE(IsWindow(wnd));
    EXPECT_EQ(WindowText(wnd), "Address entry");
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_EQ(ObjectFromHwnd(wnd), win_);
    struct Child {
        const char* cls;
        const char* text;
        int left, top, width, height;
    };
    const Child children[] = {
        {"Button", "OK", 240, 240, 80, 26},       {"Button", "Cancel", 325, 240, 80, 26},
        {"Edit", nullptr, 80, 25, 200, 22},        {"Button", "Person", 5, 5, 400, 120},
        {"SysListView32", nullptr, 5, 130, 200, 100}, {"SysTreeView32", nullptr, 210, 130, 195, 100},
    };
    POINT origin = {0, 0};
    ClientToScreen(wnd, &origin);
    for (const Child& c : children) {
        HWND child = FindWindowExA(wnd, nullptr, c.cls, c.text);
        ASSERT_NE(child, nullptr) << c.cls << " " << (c.text ? c.text : "");
        RECT r;
        GetWindowRect(child, &r);
        EXPECT_EQ(r.left - origin.x, c.left) << c.cls;
        EXPECT_EQ(r.top - origin.y, c.top) << c.cls;
        EXPECT_EQ(r.right - r.left, c.width) << c.cls;
        EXPECT_EQ(r.bottom - r.top, c.height) << c.cls;
        ObjectRecord* rec = ObjectFromHwnd(child);
        ASSERT_NE(rec, nullptr) << c.cls;
        EXPECT_EQ(rec->parent, win_) << c.cls << ": re-parented to the asking record";
    }
    // An edit keeps its text itself (FindWindowEx does not see it): read it back.
    EXPECT_EQ(WindowText(FindWindowExA(wnd, nullptr, "Edit", nullptr)), "Ada");
    EXPECT_NE(FindWindowExA(wnd, nullptr, "ComboBox", nullptr), nullptr);
    WindowRecord* w = ObjectAsWindow(win_);
    ASSERT_NE(w->menus, nullptr);
    EXPECT_EQ(w->menus->parent, win_);
    HMENU bar = GetMenu(wnd);
    ASSERT_NE(bar, nullptr);
    char item[64] = {};
    GetMenuStringA(GetSubMenu(bar, 0), 1, item, sizeof item, MF_BYPOSITION);
    EXPECT_STREQ(item, "E&xit");
    ASSERT_NE(w->formName, nullptr);
    EXPECT_STREQ(w->formName, "Address");
    // The resources stay with the window.
    uint8_t* data = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(FormResGetData(win_, 3, 2001, nullptr, &data, &size, nullptr));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), "BMx");
    LocalFreeMem(data);
}

TEST_F(FormLoadTest, WindowWithAChildIsRefused) {
    CreateRecordReset(&cr_);
    cr_.windowRec = win_;
    cr_.width = 50, cr_.height = 20;
    int32_t code = 0;
    ObjectRecord* child = ObjectCreate(kTypeButton, &cr_, &code);
    ASSERT_NE(child, nullptr);
    HWND before = win_->hwnd;
    EXPECT_EQ(Load(qofbuild::Build(AddressForm())), kFormWindowNotEmpty);
    EXPECT_EQ(win_->hwnd, before);
    EXPECT_EQ(win_->children, child);
    EXPECT_EQ(TopWindowCount(), baseline_);
}

// Loads that fail: the result, the message, and no window left behind.
TEST_F(FormLoadTest, FailedLoadsLeaveNothing) {
    struct Case {
        const char* why;
        std::vector<uint8_t> file;
        int32_t expect;
        const char* message;
    };
    Form kind3 = AddressForm();
    kind3.objects[3].kind = 3;
    Form noCreator = AddressForm();
    noCreator.objects.push_back({"Bar", 7, ControlStream("", 5, 280, 32, 32)});   // an Icon without an image: -3
    std::vector<uint8_t> v8 = qofbuild::Build(AddressForm());
    qofbuild::Set32(v8, 4, 8);
    std::vector<uint8_t> saving = qofbuild::Build(AddressForm());
    qofbuild::Set32(saving, 8, 0x11);
    std::vector<uint8_t> truncated = qofbuild::Build(AddressForm());
    truncated.resize(truncated.size() - 3);
    const Case cases[] = {
        {"a kind-3 row", qofbuild::Build(kind3), kFormReadFailed + kVersion5, "Invalid Object Type"},
        {"a creator that fails, without the ask option", qofbuild::Build(noCreator), kFormReadFailed + kVersion5,
         "Unable to Create: Bar\r\nIgnore Error?"},
        {"version 8", v8, kFormReadFailed + 8 * 65536, "This Form File Was Created With A Newer Command"},
        {"an interrupted save", saving, kFormReadFailed + kVersion5, "This Form File Was Not Successfully Created"},
        {"cut short in the code area", truncated, kFormReadFailed + kVersion5,
         "Corrupted QOF File (Truncated file encountered!)"},
    };
    for (const Case& c : cases) {
        HWND before = win_->hwnd;
        EXPECT_EQ(Load(c.file), c.expect) << c.why;
        EXPECT_STREQ(err_, c.message) << c.why;
        EXPECT_STREQ(gFormLastError, c.message) << c.why;
        EXPECT_EQ(TopWindowCount(), baseline_) << c.why << ": the partly built window is destroyed";
        EXPECT_EQ(win_->hwnd, before) << c.why;
        EXPECT_EQ(win_->children, nullptr) << c.why;
    }
    EXPECT_EQ(Load({'Q', 'O'}), kFormReadFailed) << "no header: no version in the result";
    std::string missing = "!" + TempPath("no-such-form.qof");
    EXPECT_EQ(FormLoadQof(win_, missing.c_str(), nullptr, nullptr, 0, nullptr, err_), kFormCantOpen);
}

TEST_F(FormLoadTest, HeaderQueries) {
    std::vector<uint8_t> v8 = qofbuild::Build(AddressForm());
    qofbuild::Set32(v8, 4, 8);
    qofbuild::Set32(v8, 8, 0x41);
    std::string name = WriteForm(v8, "qovform8.qof");
    EXPECT_EQ(FormFileGetFlags(win_, name.c_str()), -2);
    EXPECT_EQ(FormFileGetInfo(win_, name.c_str(), 1), 8);
    EXPECT_EQ(FormFileGetInfo(win_, name.c_str(), 2), 0x41);
    EXPECT_EQ(FormFileGetInfo(win_, name.c_str(), 7), -1);
    std::string current = WriteForm(qofbuild::Build(AddressForm()), "qovform5.qof");
    EXPECT_EQ(FormFileGetFlags(win_, current.c_str()), 1);
    std::string missing = "!" + TempPath("no-such-form.qof");
    EXPECT_EQ(FormFileGetFlags(win_, missing.c_str()), -1);
    EXPECT_EQ(FormFileGetInfo(win_, missing.c_str(), 1), -1);
}

// Presses a button of the ask box once it comes up: the helper stands in for
// the person at the screen. It also notes which button was the default.
struct BoxPresser {
    std::atomic<bool> done{false};
    std::atomic<bool> noWasDefault{false};
    std::thread thread;
    explicit BoxPresser(int button) {
        thread = std::thread([this, button] {
            // The box is answered once it shows: while it is still being made
            // its buttons, the default one among them, may not be set up yet.
            HWND box = nullptr;
            WaitUntil([&] {
                box = FindWindowA("#32770", "Form Load Object Creation Error");
                return done || (box && IsWindowVisible(box));
            });
            if (done || !box) return;
            HWND no = GetDlgItem(box, IDNO);
            noWasDefault = no && (GetWindowLongA(no, GWL_STYLE) & BS_DEFPUSHBUTTON) == BS_DEFPUSHBUTTON;
            PostMessageA(box, WM_COMMAND, button, 0);
            done = true;
        });
    }
    ~BoxPresser() { thread.join(); }
};

TEST_F(FormLoadTest, AskOptionYesLoadsWithoutTheObject) {
    Form form = AddressForm();
    form.objects.insert(form.objects.begin() + 3, {"Bar", 7, ControlStream("", 5, 280, 32, 32)});   // no image
    int32_t rc;
    bool noDefault;
    {
        BoxPresser presser(IDYES);
        rc = Load(qofbuild::Build(form), kFormOptAskIgnore);
        presser.done = true;
        noDefault = presser.noWasDefault;
    }
    ASSERT_EQ(rc, kVersion5) << err_;
    EXPECT_TRUE(noDefault) << "No is the default button";
    EXPECT_NE(FindWindowExA(win_->hwnd, nullptr, "Button", "OK"), nullptr);
    {
        // Answered No, the same file fails and leaves nothing.
        ObjectDestroy(win_);
        SetUp();
        BoxPresser presser(IDNO);
        rc = Load(qofbuild::Build(form), kFormOptAskIgnore);
        presser.done = true;
    }
    EXPECT_EQ(rc, kFormReadFailed + kVersion5);
    EXPECT_EQ(TopWindowCount(), baseline_);
}

// A picture takes its image from the form's resources while the load runs;
// the window keeps them afterwards unless option 0x1 frees them.
TEST_F(FormLoadTest, ResourcesDuringAndAfterTheLoad) {
    Form form = AddressForm();
    std::vector<uint8_t> png = testpng::MakePng(0x20, 0x80, 0xE0);
    form.resources[0].data = png;
    form.objects.push_back({"Picture", 11, ControlStream("", 300, 10, 40, 40).Text(122, "@Logo")});
    struct Case {
        uint32_t options;
        bool keptAfter;
        const char* why;
    };
    const Case cases[] = {
        {0, true, "the window keeps the resources"},
        {kFormOptNoResources, false, "option 0x1: the resources are freed after the load"},
    };
    for (const Case& c : cases) {
        if (ObjectIsLive(win_)) ObjectDestroy(win_);
        SetUp();
        ASSERT_EQ(Load(qofbuild::Build(form), c.options), kVersion5) << err_;
        ObjectRecord* picture = ObjectFindChild(win_, "Picture");
        ASSERT_NE(picture, nullptr) << c.why << ": made from the form's bitmap while loading";
        EXPECT_EQ(ObjectOpsOf(picture)->getProp(picture, 97), 1u) << "the PNG's one pixel";
        uint8_t* data = nullptr;
        uint32_t size = 0;
        EXPECT_EQ(FormResGetData(win_, 3, 0, "Logo", &data, &size, nullptr), c.keptAfter) << c.why;
        if (data) LocalFreeMem(data);
        EXPECT_FALSE(FormResGetData(win_, 3, 0, "logo", &data, &size, nullptr)) << "names compare with case";
        EXPECT_FALSE(FormResGetData(nullptr, 3, 0, "Logo", &data, &size, nullptr)) << "no window, no load";
    }
}

TEST_F(FormLoadTest, CodeOutputIsCreatedEmptyWithoutXml) {
    std::string path = TempPath("qovform-code.txt");
    FILE* f = fopen(path.c_str(), "wb");
    fputs("old text", f);
    fclose(f);
    std::string name = "!" + path;
    ASSERT_EQ(Load(qofbuild::Build(qofbuild::SampleForm()), 0, name.c_str()), kVersion5) << err_;
    WIN32_FILE_ATTRIBUTE_DATA info;
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info));
    EXPECT_EQ(info.nFileSizeLow, 0u);
    DeleteFileA(path.c_str());
}

// The XML output of a load: each object's name and the events with code, a
// CALL-only event as its label and a handler as its generated label.
TEST_F(FormLoadTest, XmlOutputNamesObjectsAndEvents) {
    std::string name = WriteForm(qofbuild::Build(qofbuild::SampleForm()), "qovform.qof");
    std::string path = TempPath("qovform.xml");
    std::string xml = "!" + path;
    ASSERT_EQ(FormLoadQof(win_, name.c_str(), xml.c_str(), nullptr, 0, nullptr, err_), kVersion5) << err_;
    std::string text = ReadFileText(path);
    DeleteFileA(path.c_str());
    EXPECT_NE(text.find("<Object type=\"Window\">\n    <Properties>\n      <Name>SampleWin</Name>"), std::string::npos)
        << text;
    EXPECT_NE(text.find("<Name>OkBtn</Name>\n    </Properties>\n    <Events>\n      <Click>Click_OkBtn</Click>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<Name>CancelBtn</Name>\n    </Properties>\n    <Events>\n      <Click>DoCancel</Click>"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("<Title>"), std::string::npos) << "names and events only";
}

// With an XML output asked for, the event code is read: the code output gets
// the handlers and the user code.
TEST_F(FormLoadTest, CodeOutputHoldsTheHandlersWithXml) {
    std::string path = TempPath("qovform-code2.txt");
    std::string code = "!" + path, xml = "!" + TempPath("qovform2.xml");
    Form form = qofbuild::SampleForm();
    std::string name = WriteForm(qofbuild::Build(form), "qovform.qof");
    EXPECT_EQ(FormLoadQof(win_, name.c_str(), xml.c_str(), code.c_str(), 0, nullptr, err_), kVersion5) << err_;
    DeleteFileA(TempPath("qovform2.xml").c_str());
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char text[512] = {};
    size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    DeleteFileA(path.c_str());
    EXPECT_EQ(std::string(text, n), "Click_OkBtn\r\n" + form.events[0].code + "\r\n@  \tRETURN\r\n\r\n" + form.userCode);
}

// An XML output that can't be written fails the load and leaves no window.
TEST_F(FormLoadTest, XmlOutputThatCannotBeWrittenFailsTheLoad) {
    std::string name = WriteForm(qofbuild::Build(qofbuild::SampleForm()), "qovform.qof");
    std::string xml = "!" + TempPath("no-such-folder\\qovform.xml");
    EXPECT_EQ(FormLoadQof(win_, name.c_str(), xml.c_str(), nullptr, 0, nullptr, err_),
              kFormXmlOutputFailed + kVersion5);
    EXPECT_EQ(win_->children, nullptr);
    EXPECT_EQ(TopWindowCount(), baseline_);
}

// The sub-objects of an owner that failed and was ignored go with it; the
// form loads with the rest.
TEST_F(FormLoadTest, SubObjectsOfAnIgnoredOwnerAreSkipped) {
    Form form = AddressForm();
    form.objects.push_back({"Status", 38, ControlStream("", 0, 280, -420, 20)});   // a negative width: -4
    form.objects.push_back({"-", 39, ControlStream("Ready", 0, 0, 100, 0)});
    form.objects.push_back({"-", 39, ControlStream("Line 1", 0, 0, 100, 0)});
    form.objects.push_back({"LastBtn", 1, ControlStream("Last", 5, 250, 60, 24)});
    int32_t rc;
    {
        BoxPresser presser(IDYES);
        rc = Load(qofbuild::Build(form), kFormOptAskIgnore);
        presser.done = true;
    }
    ASSERT_EQ(rc, kVersion5) << err_;
    EXPECT_NE(FindWindowExA(win_->hwnd, nullptr, "Button", "Last"), nullptr) << "rows after the panels are made";
}

// Table indexes become the handles of the entries; old writers' tool bars
// get ShowTips.
TEST_F(FormLoadTest, CreatorsGetResolvedRecords) {
    struct Case {
        uint32_t writerBuild;
        uint32_t showTips;
        const char* why;
    };
    const Case cases[] = {
        {0, 1, "a file from a writer of build 0: tool bars show their tips"},
        {10601, 0, "this client's files keep what the stream says"},
    };
    for (const Case& c : cases) {
        if (ObjectIsLive(win_)) ObjectDestroy(win_);
        SetUp();
        Form form = AddressForm();
        form.writerBuild = c.writerBuild;
        form.objects.insert(form.objects.begin() + 1, {"Icons", 35, Stream().Int(130, 16).Int(131, 16)});
        Stream bar = ControlStream("", 0, 0, 400, 28);
        bar.Int(qofbuild::kIdImageList, 1);     // entry 1: the image list
        form.objects.insert(form.objects.begin() + 5, {"Tools", 40, bar});
        ASSERT_EQ(Load(qofbuild::Build(form)), kVersion5) << err_;
        ObjectRecord* tools = ObjectFindChild(win_, "Tools");
        ObjectRecord* icons = ObjectFindChild(win_, "Icons");
        ASSERT_NE(tools, nullptr);
        ASSERT_NE(icons, nullptr);
        EXPECT_EQ(ObjectOpsOf(tools)->getProp(tools, 270), icons->handle) << "index 1 names the list's row";
        EXPECT_EQ(ObjectOpsOf(tools)->getProp(tools, 215), c.showTips) << c.why;
        EXPECT_EQ(gCreatingFromForm, 0) << "cleared after the call";
    }
}

TEST_F(FormLoadTest, HiddenFormAndNoShowOption) {
    Form hidden = AddressForm();
    hidden.objects[0].stream = qofbuild::WindowStream("Hidden form", 10, 10, 200, 100, false);
    ASSERT_EQ(Load(qofbuild::Build(hidden)), kVersion5) << err_;
    EXPECT_FALSE(IsWindowVisible(win_->hwnd));
    EXPECT_TRUE(win_->flags & kObjHidden);
    ObjectDestroy(win_);
    SetUp();
    ASSERT_EQ(Load(qofbuild::Build(AddressForm()), kFormOptNoShow), kVersion5) << err_;
    EXPECT_FALSE(IsWindowVisible(win_->hwnd)) << "option 0x400 only marks it shown";
    EXPECT_TRUE(win_->flags & kObjShown);
}

TEST_F(FormLoadTest, OverridesReplaceWindowProperties) {
    Form form = AddressForm();
    std::string name = WriteForm(qofbuild::Build(form), "qovform.qof");
    uint32_t overrides[kOvCount] = {0, 0, 0, 1 + 1};   // WinBorder 1: no border
    ASSERT_EQ(FormLoadQof(win_, name.c_str(), nullptr, nullptr, 0, overrides, err_), kVersion5) << err_;
    LONG style = GetWindowLongA(win_->hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_THICKFRAME);
}

}  // namespace

namespace {

// The events of every way of naming them come back in a load's XML output: a
// Button's Click, an HtmlControl's event 200, and a Control's own event and
// GotFocus from its type information.
TEST_F(FormLoadTest, XmlOutputHoldsTheEventsOfEveryKind) {
    ASSERT_TRUE(registered_) << "regsvr32 could not register the test server (QOV_TESTSRV)";
    Form form = qofbuild::SampleForm();
    form.objects.push_back({"Page", 52, ControlStream("", 10, 80, 120, 60)});
    form.objects.push_back({"Ctl", 32, ControlStream("", 140, 80, 120, 60).Text(110, "QovTest.Control")});
    form.events.push_back({"OnPage", 4, 200, ""});
    form.events.push_back({"OnClicked", 5, 1, ""});
    form.events.push_back({"OnFocus", 5, 0x80011001u, ""});
    std::string name = WriteForm(qofbuild::Build(form), "qovform-events.qof");
    std::string path = TempPath("qovform-events.xml");
    ASSERT_EQ(FormLoadQof(win_, name.c_str(), ("!" + path).c_str(), nullptr, kFormOptNoShow, nullptr, err_),
              kVersion5)
        << err_;
    std::string text = ReadFileText(path);
    DeleteFileA(path.c_str());
    for (const char* piece : {"<Click>Click_OkBtn</Click>", "<JQueryEvent>OnPage</JQueryEvent>",
                              "<Clicked>OnClicked</Clicked>", "<GotFocus>OnFocus</GotFocus>"})
        EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n" << text;
}

// A server file's name is refused by the load and the header queries.
TEST_F(FormLoadTest, ServerNamesAreRefused) {
    EXPECT_EQ(FormLoadQof(win_, "address.qof", nullptr, nullptr, 0, nullptr, err_), kFormServerName);
    EXPECT_EQ(FormFileGetFlags(win_, "address.qof"), -1);
    EXPECT_EQ(FormFileGetInfo(win_, "address.qof", 1), -1);
    EXPECT_EQ(win_->children, nullptr);
}

// LoadQofFile ends in FormLoadFinish: a registered $LOAD is posted on the
// window and the web view takes the locale bytes, for a native form too.
TEST_F(FormLoadTest, LoadQofFileEndsByFinishingTheLoad) {
    std::string name = WriteForm(qofbuild::Build(AddressForm()), "qovform-finish.qof");
    const int32_t values[4] = {};
    ASSERT_EQ(EventRegister(win_, kEvLoad, values, false, nullptr, 0), 0);
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t n = 0;
    while (EventTakeNext(&ev, items, &n)) {
    }
    char keptDecimal = gClientConfig.decimalChar;
    gClientConfig.decimalChar = ',';
    gWebDecimalChar = '.';
    MethodCallRec call = LoadQofFileCall(name);
    EXPECT_EQ(FormWindowMethod(win_, &call), kVersion5);
    gClientConfig.decimalChar = keptDecimal;
    EXPECT_EQ(gWebDecimalChar, ',') << "the web view took the decimal character";
    bool loadPosted = false;
    while (EventTakeNext(&ev, items, &n)) loadPosted = loadPosted || (ev.eventId == kEvLoad && ev.handle == handle_);
    EXPECT_TRUE(loadPosted) << "$LOAD on the loaded window";
}

}  // namespace
