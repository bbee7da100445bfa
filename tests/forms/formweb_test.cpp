// formweb_test.cpp - forms in the web view under Wine: a form of the page kinds
// loaded into a web window of a recording-page host (the facilities connected
// as the program connects them), its records exchanged so that nothing names
// the destroyed record, a page event reaching a loaded object, scroll bars and
// the Animate refused row by row, the server's load refreshing the form's bars
// and number edits in the page, and a save of the web window that loads into a
// second web window and saves the same rows again.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/wiring.h"
#include "controls/ctlcore.h"
#include "forms/formload.h"
#include "forms/formsave.h"
#include "forms/formfiles.h"
#include "forms/qofbuild.h"
#include "objects/events.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/window.h"
#include "tests/testutil.h"
#include "tests/webview/webtest.h"
#include "webview/core/webevents.h"
#include "webview/webobjglue.h"

using qofbuild::ControlStream;
using qofbuild::Form;

TestView gViewA, gViewB;
std::vector<std::string> gDispatched;

namespace {

constexpr int32_t kVersion5 = 5 * 65536;

// A form of kinds the web view makes: buttons, a check box, edits, a label, a
// list and a tree view, an image list, a status bar of two
// panels, a tool bar of three buttons, a tab control, a panel holding an edit
// and a combo box whose own text and items the file holds apart.
Form PageForm() {
    Form form;
    form.formName = "PageForm";
    form.objects.push_back({"PageWin", 25, qofbuild::WindowStream("Page form", 10, 10, 420, 300, false)});
    form.objects.push_back({"Icons", 35, qofbuild::Stream().Int(130, 16).Int(131, 16)});
    form.objects.push_back({"NameLbl", 15, ControlStream("Name", 10, 10, 60, 20)});
    form.objects.push_back({"NameEdit", 6, ControlStream("Ada", 80, 10, 150, 22)});
    form.objects.push_back({"Agree", 2, ControlStream("Agree", 240, 10, 80, 20)});
    form.objects.push_back({"People", 36, ControlStream("", 10, 70, 150, 80)});
    form.objects.push_back({"Groups", 37, ControlStream("", 170, 70, 150, 80)});
    form.objects.push_back({"Status", 38, ControlStream("", 0, 270, 420, 20).Int(200, 1)});
    form.objects.push_back({"-", 39, ControlStream("Ready", 0, 0, 100, 0)});
    form.objects.push_back({"-", 39, ControlStream("Line 1", 0, 0, 80, 0)});
    form.objects.push_back({"Tools", 40, ControlStream("", 0, 0, 400, 28).Int(qofbuild::kIdImageList, 1)});
    for (const char* b : {"New", "Open", "Save"}) form.objects.push_back({"-", 41, ControlStream(b, 0, 0, 0, 0)});
    form.objects.push_back({"Tabs", 27, ControlStream("", 330, 70, 80, 60).Text(61, "One;Two").Int(qofbuild::kIdImageList, 1)});
    form.objects.push_back({"Box", 43, ControlStream("", 10, 160, 150, 60)});
    form.objects.push_back({"InBox", 6, ControlStream("inside", 5, 5, 100, 22, 10)});
    form.objects.push_back({"OkBtn", 1, ControlStream("OK", 330, 230, 80, 26)});
    form.objects.push_back({"City", 12, ControlStream("Paris", 170, 160, 150, 22).Text(59, "Paris;London;Rome")});
    return form;
}

class FormWebTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InstallFacilities(); }
    void SetUp() override {
        ASSERT_TRUE(WebHostSetUp(WebTestDeliver));
        // The native services of the web objects, as the program has them.
        WebObjectsInstallNative();
        asking_ = NewWebWindow();
        ASSERT_NE(asking_, nullptr);
        WebTestPosts();
    }
    void TearDown() override {
        WebHostTearDown();
        gWebObjServices = WebObjServices();
    }
    // An empty web window of the host, as a program's Window object is made.
    ObjectRecord* NewWebWindow() {
        static const int32_t kRect[4] = {0, 0, 300, 400};
        return WebTestCreate(&cr_, gHost, kTypeWindow, kRect, [](ObjectCreateRecord* c) { c->units = 5; });
    }
    int32_t Load(ObjectRecord* window, const std::vector<uint8_t>& bytes, const char* name) {
        std::string file = WriteForm(bytes, name);
        err_[0] = 0;
        return FormLoadQof(window, file.c_str(), nullptr, nullptr, kFormOptNoShow, nullptr, err_);
    }
    ObjectCreateRecord cr_;
    ObjectRecord* asking_ = nullptr;
    char err_[kFormErrTextSize + 1] = {};
};

// Every record that names a window names a live one: none names the record
// the exchange destroyed.
void ExpectParentsLive(ObjectRecord* container, ObjectRecord* window) {
    for (ObjectRecord* c = container->children; c; c = c->next) {
        EXPECT_EQ(c->parent, container) << (c->name ? c->name : "?");
        EXPECT_TRUE(ObjectIsWebView(c)) << (c->name ? c->name : "?") << " is made in the page";
        if (c->kind == kKindPanel) ExpectParentsLive(c, window);
    }
}

TEST_F(FormWebTest, FormLoadsIntoAWebWindow) {
    uint32_t handle = asking_->handle, elementBefore = asking_->elementId;
    ASSERT_EQ(Load(asking_, qofbuild::Build(PageForm()), "qovweb.qof"), kVersion5) << err_;
    EXPECT_EQ(asking_->handle, handle) << "the server's object keeps its handle";
    EXPECT_TRUE(ObjectIsWebView(asking_));
    EXPECT_NE(asking_->elementId, elementBefore) << "the page element follows the form";
    ObjectRecord* ok = ObjectFindChild(asking_, "OkBtn");
    ASSERT_NE(ok, nullptr);
    ExpectParentsLive(asking_, asking_);
    for (uint32_t i = 0, n = ObjectLiveCount(); i < n; ++i) {
        ObjectRecord* rec = ObjectLiveAt(i);
        if (rec && rec->parent) {
            EXPECT_TRUE(ObjectIsLive(rec->parent)) << (rec->name ? rec->name : "?") << " names a live window";
        }
    }
    ObjectRecord* status = ObjectFindChild(asking_, "Status");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(gFormSubObjectHooks.statusPanelCount(status), 2u);
    ObjectRecord* tools = ObjectFindChild(asking_, "Tools");
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(gFormSubObjectHooks.toolButtonCount(tools), 3u);

    // A click in the page reaches the loaded button through the asking window.
    const int32_t values[4] = {};
    ASSERT_EQ(EventRegister(ok, kEvClick, values, false, nullptr, 0), 0);
    char text[128];
    snprintf(text, sizeof text, "{\"id\": %u, \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0}", ok->elementId);
    JsonValue* ev = WebViewJsonParse(text, strlen(text));
    ASSERT_NE(ev, nullptr);
    WebPageEventDispatch(gHost, ev);
    WebViewJsonFree(ev);
    EventRecord taken = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    bool clicked = false;
    while (EventTakeNext(&taken, items, &count)) clicked = clicked || (taken.handle == ok->handle && taken.eventId == 4);
    EXPECT_TRUE(clicked) << "the page's click is the button's";
}

// Occurrences of a piece in the page's messages.
size_t CountOf(const std::string& posts, const char* piece) {
    size_t n = 0;
    for (size_t at = posts.find(piece); at != std::string::npos; at = posts.find(piece, at + 1)) ++n;
    return n;
}

// The server's LoadQofFile ends the load by refreshing the form in the page:
// the status bars' panels are sent again and a disabled number edit is
// disabled in the page, on top of what the load alone sends.
TEST_F(FormWebTest, LoadQofFileRefreshesBarsAndNumberEditsInThePage) {
    Form form = PageForm();
    // A number edit with Enabled (9) 0.
    form.objects.push_back({"Qty", 44, ControlStream("7", 250, 160, 60, 22).Int(9, 0)});
    std::string file = WriteForm(qofbuild::Build(form), "qovweb-finish.qof");
    WebTestPosts();
    ASSERT_EQ(FormLoadQof(asking_, file.c_str(), nullptr, nullptr, kFormOptNoShow, nullptr, err_), kVersion5) << err_;
    std::string loadOnly = WebTestPosts();

    ObjectRecord* second = NewWebWindow();
    ASSERT_NE(second, nullptr);
    WebTestPosts();
    MethodCallRec call = LoadQofFileCall(file);
    ASSERT_EQ(FormWindowMethod(second, &call), kVersion5) << gFormLastError;
    std::string loaded = WebTestPosts();
    EXPECT_GT(CountOf(loaded, "Line 1"), CountOf(loadOnly, "Line 1")) << "the status bar's panels\n" << loaded;
    EXPECT_GT(CountOf(loaded, "\"action\": 31"), CountOf(loadOnly, "\"action\": 31")) << "the disabled number edit\n"
                                                                                   << loaded;
    EXPECT_GT(CountOf(loaded, "\"dwid\": 9"), CountOf(loadOnly, "\"dwid\": 9")) << loaded;
}

// A native window that hosts a page is not empty while windows of the web
// view live in that page: they would be left in a closed page.
TEST_F(FormWebTest, PageHostWithWebWindowsIsNotEmpty) {
    ObjectRecord* host = ObjectAllocRecord(kKindWindow, sizeof(NativeWindowRecord), false);
    ASSERT_NE(host, nullptr);
    reinterpret_cast<WindowRecord*>(host)->webHost = &gPage;
    reinterpret_cast<WindowRecord*>(host)->style[1] |= kWindowWebHostBit;
    static const int32_t kRect[4] = {0, 0, 300, 400};
    ObjectRecord* inPage = WebTestCreate(&cr_, host, kTypeWindow, kRect, [](ObjectCreateRecord* c) { c->units = 5; });
    ASSERT_NE(inPage, nullptr);
    std::string file = WriteForm(qofbuild::Build(PageForm()), "qovweb-host.qof");
    EXPECT_EQ(FormLoadQof(host, file.c_str(), nullptr, nullptr, kFormOptNoShow, nullptr, err_), kFormWindowNotEmpty);
    EXPECT_EQ(host->children, nullptr) << "nothing was made";
    ObjectDestroy(inPage);
    // The record stands for a window made elsewhere: it is let go without
    // closing the test's page.
    reinterpret_cast<WindowRecord*>(host)->webHost = nullptr;
    ObjectUnregister(host);
    ObjectFreeRecord(host);
}

// Scroll bars and the Animate have no web-view form: a form holding one
// fails its load into a web window at that row, which the error text names.
TEST_F(FormWebTest, ScrollBarsAndAnimateLoadIntoNativeWindowsOnly) {
    const struct {
        const char* name;
        uint8_t kind;
    } kRows[] = {{"HBar", 22}, {"VBar", 23}, {"Anim", 47}};
    for (const auto& row : kRows) {
        Form form;
        form.objects.push_back({"BarWin", 25, qofbuild::WindowStream("Bars", 10, 10, 300, 200, false)});
        form.objects.push_back({"OkBtn", 1, ControlStream("OK", 10, 10, 80, 26)});
        form.objects.push_back({row.name, row.kind, ControlStream("", 10, 50, 120, 24)});
        ObjectRecord* window = NewWebWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(Load(window, qofbuild::Build(form), "qovweb-bars.qof"), kFormReadFailed + kVersion5) << row.name;
        EXPECT_EQ(std::string(err_).find(std::string("Unable to Create: ") + row.name), 0u) << err_;
        EXPECT_EQ(window->children, nullptr) << row.name << ": the window is left empty";
    }
}

// A web window saves its form: the rows, the sub-objects after their bars,
// the references; loaded into a second web window it saves the same rows.
TEST_F(FormWebTest, WebWindowSavesAndLoadsAgain) {
    // The drawn kinds and the timer too: a line, whose end points the saved
    // form carries beside its box, a shape, a slider, a progress bar, a
    // splitter partnered with a panel docked at the top.
    Form form = PageForm();
    const std::vector<qofbuild::Object> drawn = {
        {"Rule", 30, ControlStream("", 10, 250, 200, 250)},
        {"Oval", 26, ControlStream("", 220, 230, 40, 30).Int(64, 1)},
        {"Level", 28, ControlStream("", 170, 190, 100, 24)},
        {"Done", 21, ControlStream("", 10, 225, 100, 16)},
        {"Tick", 17, ControlStream("", 0, 0, 0, 0)},
        {"TopBox", 43, ControlStream("", 0, 0, 420, 30).Int(198, 5)},
        {"Split", 42, ControlStream("", 0, 0, 420, 4).Int(198, 5)},
    };
    form.objects.insert(form.objects.end() - 2, drawn.begin(), drawn.end());
    ASSERT_EQ(Load(asking_, qofbuild::Build(form), "qovweb-save.qof"), kVersion5) << err_;
    std::string path = TempPath("qovweb-saved.qof"), pathB = TempPath("qovweb-saved-b.qof");
    // Edits the page answers empty are saved empty, whatever text a native
    // edit read last left in the edit buffer.
    RecPageAnswer(&gPage, 21, "{\"str\": \"\"}", 0);
    ASSERT_TRUE(EditTextBufferEnsure(16));
    strcpy(gEditTextBuf, "native");
    gEditTextLen = 6;
    ASSERT_EQ(FormSaveQof(asking_, ("!" + path).c_str(), nullptr, nullptr, 0), 0u) << gFormLastError;
    EXPECT_EQ(ReadFileText(path).find("native"), std::string::npos);
    // From here the page answers each edit's text.
    gPage.answers.clear();
    RecPageAnswer(&gPage, 21, "{\"str\": \"Ada\"}", 0);
    ASSERT_EQ(FormSaveQof(asking_, ("!" + path).c_str(), nullptr, nullptr, 0), 0u) << gFormLastError;
    std::vector<uint8_t> saved = ReadFileBytes(path);
    qofbuild::Parsed p = qofbuild::Parse(saved);
    ASSERT_TRUE(p.ok) << p.why;
    std::vector<std::string> names;
    for (const qofbuild::ParsedRow& r : p.rows) names.push_back(r.name);
    EXPECT_EQ(p.rows.size(), form.objects.size()) << "every row of the form";
    EXPECT_EQ(names[0], "PageWin");
    EXPECT_EQ(names[1], "Icons") << "the image list follows the window";
    // The edit's text is the one the page answers.
    size_t nameEdit = std::find(names.begin(), names.end(), "NameEdit") - names.begin();
    ASSERT_LT(nameEdit, names.size());
    bool editOk = false;
    std::vector<qofbuild::Record> edit = qofbuild::Records(p.rows[nameEdit].stream, &editOk);
    ASSERT_NE(qofbuild::FindRecord(edit, 29), nullptr);
    EXPECT_EQ(qofbuild::FindRecord(edit, 29)->data, "Ada");
    // The line's end points; the splitter measures the panel.
    auto rowValue = [&](const char* name, uint32_t id) -> int64_t {
        size_t row = std::find(names.begin(), names.end(), name) - names.begin();
        bool okRow = false;
        std::vector<qofbuild::Record> recs = row < names.size() ? qofbuild::Records(p.rows[row].stream, &okRow)
                                                                 : std::vector<qofbuild::Record>();
        const qofbuild::Record* r = qofbuild::FindRecord(recs, id);
        return r ? static_cast<int64_t>(r->value) : -1;
    };
    EXPECT_EQ(rowValue("Rule", 94), 200);
    EXPECT_EQ(rowValue("Rule", 95), 250);
    EXPECT_EQ(rowValue("Split", 229), 30);
    // The window keeps its page division beside the form's name.
    bool windowOk = false;
    std::vector<qofbuild::Record> win = qofbuild::Records(p.rows[0].stream, &windowOk);
    ASSERT_NE(qofbuild::FindRecord(win, 334), nullptr);
    EXPECT_EQ(qofbuild::FindRecord(win, 334)->data, "mainscrn");
    // The combo box keeps its own text and its items.
    bool ok = false;
    std::vector<qofbuild::Record> city = qofbuild::Records(p.rows.back().stream, &ok);
    ASSERT_EQ(p.rows.back().name, "City");
    ASSERT_NE(qofbuild::FindRecord(city, 29), nullptr);
    EXPECT_EQ(qofbuild::FindRecord(city, 29)->data, "Paris");
    ASSERT_NE(qofbuild::FindRecord(city, 59), nullptr);
    EXPECT_EQ(qofbuild::FindRecord(city, 59)->data, "Paris;London;Rome");

    // As a web-form page (lists and bars left out) the objects keep their texts.
    std::string page = TempPath("qovweb-saved.htm");
    ASSERT_EQ(FormSaveQof(asking_, ("!" + page).c_str(), nullptr, nullptr, kFormSaveWebPage), 207u) << gFormLastError;
    std::string html = ReadFileText(page);
    DeleteFileA(page.c_str());
    for (const char* text : {">Name<", ">Ada<", ">OK<", ">Two<", ">London<"})
        EXPECT_NE(html.find(text), std::string::npos) << text << " in\n" << html;

    ObjectRecord* second = NewWebWindow();
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(Load(second, saved, "qovweb-again.qof"), kVersion5) << err_;
    ASSERT_EQ(FormSaveQof(second, ("!" + pathB).c_str(), nullptr, nullptr, 0), 0u) << gFormLastError;
    qofbuild::Parsed again = qofbuild::Parse(ReadFileBytes(pathB));
    ASSERT_TRUE(again.ok) << again.why;
    ASSERT_EQ(again.rows.size(), p.rows.size());
    for (size_t i = 0; i < p.rows.size(); ++i) {
        EXPECT_EQ(again.rows[i].name, p.rows[i].name) << i;
        EXPECT_EQ(again.rows[i].kind, p.rows[i].kind) << i;
        EXPECT_EQ(again.rows[i].stream, p.rows[i].stream) << p.rows[i].name;
    }
    DeleteFileA(path.c_str());
    DeleteFileA(pathB.c_str());
}

}  // namespace
