// webstatus_test.cpp - the status bar of the web view against the recording
// page: the panel markup and its limit, the refresh of a shown bar, panels
// added, found, changed through the bar's item selector and removed, and their
// release while the server holds them. (A form's refresh after loading is
// tested with the forms code that drives it, in tests/forms/formweb_test.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "objects/objcreate.h"
#include "objects/objops.h"
#include "objects/objtables.h"
#include "webtest.h"
#include "webview/controls/webstatusbar.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webprops.h"

namespace {

std::vector<std::string> gReplies;

void Deliver(RecPage* page, ObjectRecord* owner, const char* text) { WebTestDeliver(page, owner, text); }
void ReplyInt(int32_t value, uint8_t kind) { gReplies.push_back(std::to_string(kind) + ":" + std::to_string(value)); }

std::string Posts() { return WebTestPosts(); }

uint32_t CodeOf(uint32_t id) {
    for (const PropCodeRow* row = PropertyCodeTable; row->code; ++row)
        if (row->id == id) return row->code;
    return 0;
}

class WebStatus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WebHostSetUp(Deliver));
        gWebObjServices.replyInt = ReplyInt;
        gReplies.clear();
        window = Create(kTypeWindow, [](ObjectCreateRecord* c) {
            c->bottom = 300;
            c->right = 400;
            c->units = 5;
        });
        ASSERT_NE(window, nullptr);
        Posts();
    }
    void TearDown() override {
        WebHostTearDown();
        gWebObjServices = WebObjServices();
    }

    ObjectRecord* Create(uint32_t type, const std::function<void(ObjectCreateRecord*)>& setup) {
        static const int32_t kRect[4] = {1, 1, 10, 30};
        return WebTestCreate(&cr, window, type, kRect, setup);
    }
    ObjectRecord* Bar(bool showPanel) {
        return Create(kTypeStatusbar, [=](ObjectCreateRecord* c) {
            c->values[kPidShowPanel] = showPanel ? 1 : 0;
            c->given[kPidShowPanel] = 1;
            c->text = CrText{"ready", 5};
        });
    }
    // AddPanel with the arguments Width, AutoSize, BdrStyle, MinWidth, Text
    // (negative numbers and null left out); the answer ("kind:value").
    std::string AddPanel(ObjectRecord* bar, int32_t width, int32_t autoSize, int32_t bdrStyle, int32_t minWidth,
                         const char* text, bool wantObject = false) {
        MethodCallRec call = {};
        call.objectType = kTypeStatusbar;
        call.method = 1;
        call.argCount = 5;
        const int32_t nums[] = {width, autoSize, bdrStyle, minWidth};
        for (uint32_t i = 0; i < 4; ++i) {
            if (nums[i] < 0) continue;
            call.argPresent[i] = 1;
            call.args[i].kind = kItemInt;
            call.args[i].value = static_cast<uint64_t>(nums[i]);
        }
        if (text) {
            call.argPresent[4] = 1;
            call.args[4].kind = kItemText;
            call.args[4].data = text;
            call.args[4].size = static_cast<uint32_t>(strlen(text));
        }
        if (wantObject) {
            call.result.kind = kItemObject;
            call.result.varRef = 77;
        }
        return Call(bar, &call);
    }
    std::string Call(ObjectRecord* rec, MethodCallRec* call) {
        gReplies.clear();
        int32_t r = WebCallMethod(rec, call);
        if (r != kWebNoAnswer && r != 0) return "error " + std::to_string(r);
        return gReplies.empty() ? "" : gReplies.back();
    }
    std::string KeyCall(ObjectRecord* bar, uint32_t method, int32_t index, bool wantObject) {
        MethodCallRec call = {};
        call.objectType = kTypeStatusbar;
        call.method = method;
        call.argCount = 1;
        call.argPresent[0] = 1;
        call.args[0].kind = kItemInt;
        call.args[0].value = static_cast<uint64_t>(index);
        if (wantObject) {
            call.result.kind = kItemObject;
            call.result.varRef = 78;
        }
        return Call(bar, &call);
    }
    int32_t SetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text = nullptr,
                    const EventItem* selector = nullptr) {
        PropChange pc = {};
        pc.code = CodeOf(id);
        pc.id = id;
        pc.value = text ? static_cast<int32_t>(strlen(text)) : value;
        pc.text = text;
        pc.textLength = text ? static_cast<uint32_t>(strlen(text)) : 0;
        if (selector) pc.selector = *selector;
        return WebSetProp(rec, &pc);
    }
    std::string Markup(ObjectRecord* bar) {
        static char out[kStatusMarkupMax + 1];
        WebStatusBarMarkupText(WebStatusBar(bar), out, sizeof out);
        return out;
    }

    ObjectCreateRecord cr;
    ObjectRecord* window = nullptr;
};

BarItemRecord* PanelAt(ObjectRecord* bar, uint32_t i) { return BarItemFind(WebStatusBar(bar)->panels, i, nullptr, nullptr); }

TEST_F(WebStatus, PanelMarkupByBorderSizeAndPlace) {
    struct Case {
        std::vector<std::vector<int32_t>> panels;   // width, autoSize, bdrStyle, minWidth
        const char* text;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {{}, "x", " ", "a bar without panels shows a single blank"},
        {{{100, 2, 1, 0}}, "A", "<div class='qovsbp' style='width: 96px;'>A</div>",
         "a fixed panel without border: its Width less the border room"},
        {{{3, 2, 2, 0}}, "A", "<div class='qovsbo' style='width: 3px;'>A</div>",
         "a Width of 4 or less is written as it is; raised is o"},
        {{{0, 1, 3, 50}}, "A", "<div class='qovsbi' style='min-width: 46px;'>A</div>",
         "a contents panel is at least its MinWidth; sunken is i"},
        {{{0, 3, 3, 20}, {10, 2, 3, 0}}, "A",
         "<div class='qovsbi' style='min-width: 16px;'>A</div><div class='qovsbi' style='width: 6px;'>A</div>",
         "a spring panel that is not last is written with min-width"},
        {{{10, 2, 3, 0}, {0, 3, 1, 20}}, "A", "<div class='qovsbi' style='width: 6px;'>A</div><div class='qovsbz' >A</div>",
         "only a last spring panel gets the class z and no size"},
        {{{10, 2, 3, 0}}, "a<b>&c", "<div class='qovsbi' style='width: 6px;'>a&&lt;b&&gt;&&amp;c</div>",
         "markup characters of a text show as written (entities survive the mark removal)"},
    };
    for (const Case& k : kCases) {
        ObjectRecord* bar = Bar(true);
        ASSERT_NE(bar, nullptr);
        for (const auto& p : k.panels) ASSERT_EQ(AddPanel(bar, p[0], p[1], p[2], p[3], k.text), "1:0") << k.why;
        EXPECT_EQ(Markup(bar), k.expect) << k.why;
        EXPECT_EQ(Markup(bar), k.expect) << k.why << " (written twice: the widths stay)";
        ObjectDestroy(bar);
    }
}

TEST_F(WebStatus, LongPanelTextsAreCutAtTheMarkupLimit) {
    ObjectRecord* bar = Bar(true);
    ASSERT_NE(bar, nullptr);
    std::string text(250, 'x');
    for (int i = 0; i < 20; ++i) ASSERT_EQ(AddPanel(bar, 10, 2, 3, 0, text.c_str()), "1:0");
    std::string m = Markup(bar);
    EXPECT_LT(m.size(), kStatusMarkupMax) << "the markup stays within its limit";
    size_t shown = WebTestCount(m, "</div>");
    EXPECT_GE(shown, 12u) << "the panels that fit are shown";
    EXPECT_LT(shown, 20u) << "the panels past about 4000 characters are left out";
    size_t one = m.find("</div>") + 6;
    EXPECT_EQ(m.size() % one, 0u) << "whole panels only";
}

TEST_F(WebStatus, ShownBarIsRefreshedAfterShowPanelAndText) {
    ObjectRecord* bar = Bar(true);
    ASSERT_NE(bar, nullptr);
    Posts();
    struct Case {
        uint32_t id;
        int32_t value;
        const char* text;
        std::string expect;   // the contents sent ("" nothing)
        const char* why;
    };
    const Case kCases[] = {
        {kPidShowPanel, 1, nullptr, "\"pv\": \" \"", "ShowPanel on without panels sends a single blank"},
        {kPidShowPanel, 0, nullptr, "\"pv\": \"ready\"", "ShowPanel off sends the bar's text"},
        {kPidText, 0, "a<b", "\"pv\": \"a&lt;b\"", "a new Text of a bar without ShowPanel is sent"},
        {kPidSizeGrip, 1, nullptr, "", "SizeGrip only stores the byte"},
    };
    for (const Case& k : kCases) {
        bar->flags &= ~0x10000u;
        WebSetPropById(bar, k.id, k.value, k.text, k.text ? static_cast<uint32_t>(strlen(k.text)) : 0);
        std::string posts = Posts();
        if (k.expect.empty()) {
            EXPECT_EQ(posts, "") << k.why;
        } else {
            EXPECT_NE(posts.find(k.expect), std::string::npos) << k.why << "\n" << posts;
            EXPECT_NE(bar->flags & 0x10000u, 0u) << k.why << ": the bar is marked redrawn";
        }
    }
    int32_t v = 0;
    const char* t = nullptr;
    WebGetProp(bar, kPidSizeGrip, &v, &t);
    EXPECT_EQ(v, 1) << "the stored SizeGrip answers";
    bar->flags &= ~kObjShown;
    WebSetPropById(bar, kPidShowPanel, 1, nullptr, 0);
    EXPECT_EQ(Posts(), "") << "a bar that is not shown is not refreshed";
}

TEST_F(WebStatus, PanelsAddedFoundChangedAndRemoved) {
    ObjectRecord* bar = Bar(true);
    ASSERT_NE(bar, nullptr);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(AddPanel(bar, 10, 2, 3, -1, "p"), "1:0");
    EXPECT_STREQ(PanelAt(bar, 99)->hdr.runName, "Panel100") << "the hundredth default name";
    EXPECT_EQ(AsStatusPanel(PanelAt(bar, 0))->minWidth, 10) << "AddPanel's MinWidth defaults to 10 units";
    Posts();
    EXPECT_EQ(AddPanel(bar, 10, 2, 3, 0, "q"), "1:-3") << "the 101st panel is refused";
    EXPECT_EQ(WebStatusBar(bar)->panelCount, 100u);
    EXPECT_EQ(Posts(), "") << "a refused panel sends nothing";
    while (WebStatusBar(bar)->panels->nextItem) WebStatusBarRemovePanel(bar, 1, nullptr);

    std::string got = KeyCall(bar, 2, 0, true);
    EXPECT_EQ(got, "44:" + std::to_string(PanelAt(bar, 0)->hdr.handle)) << "GetPanel hands the panel out";
    EXPECT_EQ(PanelAt(bar, 0)->hdr.useCount, 2u) << "one use for the bar, one for the server";
    EXPECT_EQ(KeyCall(bar, 2, 5, true), "1:0") << "GetPanel of no panel";

    EventItem sel = {};
    sel.kind = kItemInt;
    sel.value = 0;
    Posts();
    SetProp(bar, kPidWidth, 50, nullptr, &sel);
    EXPECT_EQ(AsStatusPanel(PanelAt(bar, 0))->width, 50) << "an item selector reaches the panel";
    EXPECT_NE(Posts().find("width: 46px;"), std::string::npos) << "and the bar's markup is sent again";
    SetProp(bar, kPidToolTip, 0, "tip", &sel);
    EXPECT_STREQ(PanelAt(bar, 0)->hdr.toolTip, "tip") << "a text change through the selector";
    EXPECT_EQ(bar->toolTip, nullptr) << "is not the bar's";
    sel.value = 7;
    int32_t barWidth = bar->right - bar->left;
    EXPECT_EQ(SetProp(bar, kPidWidth, 5, nullptr, &sel), kWebUnknownProperty)
        << "a selector that names no panel is an unknown property, as natively";
    EXPECT_EQ(bar->right - bar->left, barWidth) << "and changes nothing";
    EXPECT_EQ(AsStatusPanel(PanelAt(bar, 0))->width, 50);

    ObjectRecord* held = &PanelAt(bar, 0)->hdr;
    EXPECT_EQ(ObjectDestroy(held), 0);
    EXPECT_EQ(held->useCount, 1u) << "the server's release leaves the bar's use";
    EXPECT_EQ(WebStatusBar(bar)->panelCount, 1u) << "and the panel on its bar";
    KeyCall(bar, 2, 0, true);
    EXPECT_TRUE(ObjectIsLive(held)) << "handed out again, it is registered again";
    EXPECT_EQ(KeyCall(bar, 3, 3, false), "1:1") << "RemovePanel of an unknown key";
    EXPECT_EQ(KeyCall(bar, 3, 0, false), "1:0") << "RemovePanel removes";
    int32_t v = -1;
    const char* t = nullptr;
    WebGetProp(held, kPidWidth, &v, &t);
    EXPECT_EQ(v, 0) << "a panel removed while the server holds it answers 0";
    EXPECT_EQ(KeyCall(bar, 3, 0, false), "1:0") << "a bar without panels answers 0";
    EXPECT_EQ(ObjectDestroy(held), 0) << "the server's last release frees it";
}

}  // namespace
