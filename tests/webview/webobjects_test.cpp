// webobjects_test.cpp - objects made in a web view against the recording page:
// element ids, the main window's first show, colours by kind, the messages of
// creation and destruction, a refused rectangle, scale modes, percentages,
// docking, anchors, and a window destroyed with its children.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/events.h"
#include "objects/objops.h"
#include "session/config.h"
#include "session/proto/protocol.h"
#include "session/util/mem.h"
#include "webtest.h"
#include "webview/core/webevents.h"
#include "webview/core/webkinds.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/controls/webbutton.h"
#include "webview/controls/webhtmlctl.h"
#include "webview/controls/weblist.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webprops.h"
#include "tests/testutil.h"

namespace {

std::vector<uint32_t> gDestroyedOvars;

void DeliverNothing(RecPage*, ObjectRecord*, const char*) {}
void NoteOvar(uint32_t ovar) { gDestroyedOvars.push_back(ovar); }

// What the page has been sent; the open batch leaves first, as before a wait.
std::string AllPosts() {
    WebViewMsgFlush();
    std::string all;
    for (const RecPost& p : gPage.posts) all += p.text + "\n";
    return all;
}
// Forgets what the page has been sent, once the open batch (the creations
// just made wait there) has gone out.
void ForgetPosts() {
    WebViewMsgFlush();
    gPage.posts.clear();
}
size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class WebObjects : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WebHostSetUp(DeliverNothing));
        gObjectHooks.destAppend = NoteOvar;
        gObjectHooks.fontRelease = WebFontRelease;
        gDestroyedOvars.clear();
    }
    void TearDown() override {
        WebHostTearDown();
    }

    // A create request as the server sends it (pixels: WebObject windows are 0x100).
    // An object of the type in window w with the tab id.
    ObjectRecord* CreateIn(ObjectRecord* w, uint32_t type, int32_t tab) {
        return Create(type, [&](ObjectCreateRecord* c) {
            c->window = w->handle;
            c->tabId = tab;
        });
    }
    ObjectRecord* Create(uint32_t type, const std::function<void(ObjectCreateRecord*)>& setup, int32_t* code = nullptr) {
        CreateRecordReset(&cr);
        cr.flags0 = kCrVisible;
        cr.top = 1;
        cr.left = 1;
        cr.bottom = 3;
        cr.right = 11;
        if (setup) setup(&cr);
        int32_t c = 0;
        ObjectRecord* rec = ObjectCreate(type, &cr, &c);
        if (code) *code = c;
        return rec;
    }
    ObjectRecord* Window(int32_t top, int32_t left, int32_t height, int32_t width, int32_t winType = 5) {
        return Create(kTypeWindow, [=](ObjectCreateRecord* c) {
            c->top = top;
            c->left = left;
            c->bottom = top + height;
            c->right = left + width;
            c->winType = winType;
            c->units = 5;
        });
    }
    ObjectRecord* Region(ObjectRecord* window, int32_t top, int32_t left, int32_t height, int32_t width,
                         int32_t dock = 3, int32_t anchor = 7) {
        return Create(kTypeMRegion, [=](ObjectCreateRecord* c) {
            c->window = window->handle;
            c->top = top;
            c->left = left;
            c->bottom = top + height;
            c->right = left + width;
            c->dock = dock;
            c->anchor = anchor;
        });
    }
    ObjectCreateRecord cr;
};

}  // namespace

TEST_F(WebObjects, ElementIdsAndTheFirstMessages) {
    ObjectRecord* color = Create(kTypeColor, [](ObjectCreateRecord* c) {
        c->values[kPidValue] = 0xFF;
        c->given[kPidValue] = 1;
    });
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(color->elementId, 0u) << "a Color takes no element id";
    ObjectRecord* font = Create(kTypeFont, nullptr);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->elementId, 0u) << "nor does a Font";
    EXPECT_EQ(AllPosts().find("\"action\": 19"), std::string::npos) << "neither sends markup";
    int32_t value = 0;
    EXPECT_EQ(ObjectGetValue(color, 1, &value), 0);
    EXPECT_EQ(value, 0xFF) << "a Color's red part through the generic get value";
    EXPECT_EQ(ObjectSetValue(color, 3, 0x80), 0);
    EXPECT_EQ(WebColorGetValue(color, 0), 0x8000FFu) << "blue replaced through the generic set value";
    ObjectRecord* main = Window(0, 0, 300, 400);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->elementId, 1u) << "the first element is C1";
    EXPECT_EQ(gWebMainWindow, main) << "the first web window is the main window";
    EXPECT_EQ(WebWindowHostRecord(main), gHost) << "its host is the native window named (here the main one)";
    std::string posts = AllPosts();
    EXPECT_NE(posts.find("\"name\": \"C1\", \"form\": \"mainscrn\""), std::string::npos) << posts;
    EXPECT_NE(posts.find("QovFrm( { id: \\\"C1\\\", h: 370, w: 420"), std::string::npos) << posts;
}

TEST_F(WebObjects, MainWindowShownOnceForUnnamedObjects) {
    ObjectRecord* main = Create(kTypeWindow, [](ObjectCreateRecord* c) {
        c->flags0 = 0;   // hidden
        c->units = 5;
        c->bottom = 200;
        c->right = 300;
    });
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(main->flags & kObjShown);
    gPage.posts.clear();
    ASSERT_NE(Create(kTypeMRegion, nullptr), nullptr);
    ASSERT_NE(Create(kTypeMRegion, nullptr), nullptr);
    std::string posts = AllPosts();
    EXPECT_EQ(Count(posts, "\"en\": \"#C1\", \"pn\": \"display\", \"pv\": \"block\""), 1u)
        << "the first unnamed object shows the main window, the second does not\n" << posts;
    EXPECT_TRUE(main->flags & kObjShown);
}

TEST_F(WebObjects, BackgroundInheritByKind) {
    ObjectRecord* w = Create(kTypeWindow, [](ObjectCreateRecord* c) {
        c->units = 5;
        c->bottom = 200;
        c->right = 300;
        c->bgColor.value = 0x00C0C0;
    });
    ASSERT_NE(w, nullptr);
    struct Case {
        uint32_t type;
        uint32_t expect;
        const char* why;
    };
    const Case kCases[] = {
        {kTypeTreeview, 0xFFFFFF, "a TreeView's unset background is white"},
        {kTypeButton, 0x00C0C0, "a button's is the window's"},
        {kTypeMRegion, 0x00C0C0, "so is an MRegion's"},
    };
    for (const Case& k : kCases) {
        ObjectRecord* rec = Create(k.type, [&](ObjectCreateRecord* c) { c->window = w->handle; });
        ASSERT_NE(rec, nullptr) << k.why;
        EXPECT_EQ(rec->bgColor, k.expect) << k.why;
    }
}

TEST_F(WebObjects, RefusedRectangleMakesNothing) {
    ObjectRecord* main = Window(0, 0, 300, 400);
    ASSERT_NE(main, nullptr);
    uint32_t live = ObjectLiveCount();
    ForgetPosts();
    int32_t code = 0;
    // Character cells of the main window are numbered from 1: a top of 0 is refused.
    ObjectRecord* rec = Create(kTypeMRegion, [](ObjectCreateRecord* c) { c->top = 0; }, &code);
    EXPECT_EQ(rec, nullptr);
    EXPECT_EQ(code, kWebRectRefused);
    EXPECT_EQ(ObjectLiveCount(), live) << "no record stays";
    EXPECT_EQ(main->children, nullptr) << "nothing is linked";
    EXPECT_EQ(AllPosts().find("\"action\": 19"), std::string::npos) << "no markup is sent";
    rec = Create(kTypeMRegion, [&](ObjectCreateRecord* c) {
        c->window = main->handle;
        c->top = 50;
        c->bottom = 10;
    }, &code);
    EXPECT_EQ(rec, nullptr) << "pixels: top below bottom is refused";
    EXPECT_EQ(code, kWebRectRefused);
}

TEST_F(WebObjects, GeometryInPixelsCellsAndPercent) {
    ObjectRecord* main = Window(0, 0, 300, 400);
    ObjectRecord* other = Window(0, 0, 300, 800);
    ASSERT_TRUE(main && other);
    ObjectRecord* cells = Create(kTypeMRegion, [](ObjectCreateRecord* c) {
        c->top = 2;
        c->left = 3;
        c->bottom = 4;
        c->right = 10;
    });
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->left, 14) << "cell 3 starts at 2 x 7";
    EXPECT_EQ(cells->top, 15);
    EXPECT_EQ(cells->right, 63) << "Left 3 + Width 7: seven cells, 3 to 9";
    EXPECT_EQ(cells->bottom, 45) << "Top 2 + Height 2: cells 2 and 3";
    PropQuery width = {};
    width.code = 342;
    EXPECT_EQ(WebGetPropGeneric(cells, &width), 0);
    EXPECT_EQ(width.result, 7) << "and reads back the Width it was given";
    PropQuery height = {};
    height.code = 289;
    EXPECT_EQ(WebGetPropGeneric(cells, &height), 0);
    EXPECT_EQ(height.result, 2);
    gWebPercentGeometry = 1;
    ObjectRecord* half = Region(other, 10, 200, 20, 400);
    ASSERT_NE(half, nullptr);
    EXPECT_STREQ(half->webLeft, "25%");
    EXPECT_STREQ(half->webWidth, "50%");
    EXPECT_EQ(half->webTop, nullptr) << "mode 1 leaves the top in pixels";
    ObjectRecord* wide = Region(other, 10, 0, 20, 1000);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->webWidth, nullptr) << "125% is no percentage";
    std::string posts = AllPosts();
    EXPECT_NE(posts.find("left: 25%; top: 10px; height: 20px; width: 50%"), std::string::npos) << posts;
}

TEST(WebScale, ScaleByMode) {
    struct Case {
        uint32_t mode;
        int32_t value;
        bool toPixels;
        int32_t expect;
        const char* why;
    };
    const Case kCases[] = {
        {2, 1000, true, 28, "mode 2: 1,000 is 28 pixels (truncated)"},
        {6, -3, true, -1, "mode 6 halves toward zero"},
        {6, 7, false, 14, "and doubles back"},
        {6, INT32_MAX, false, INT32_MAX, "doubling back stops at the 32-bit range"},
        {5, 123, true, 123, "pixels"},
        {1, 1440, true, 103, "mode 1"},
        {3, 100, true, 72, "mode 3"},
        {9, 55, true, 55, "an unknown mode leaves the value"},
    };
    for (const Case& c : kCases) EXPECT_EQ(ScaleByMode(c.mode, c.value, c.toPixels), c.expect) << c.why;
    // Back to units is the value nearest zero that gives the same pixels: in
    // mode 3 a Width of 138 is 99 pixels and reads 138 again, a Top of 80 is
    // 57 pixels and reads 80.
    EXPECT_EQ(ScaleByMode(3, 99, false), 138);
    EXPECT_EQ(ScaleByMode(3, 57, false), 80);
    EXPECT_EQ(ScaleByMode(3, -57, false), -80) << "negative places mirror the positive";
    EXPECT_EQ(ScaleByMode(2, INT32_MAX, false), INT32_MAX) << "stops at the 32-bit range";
    // In every mode, over a span of both signs: the pixels read back and
    // written again stay the same pixels (no loss a round), no value nearer
    // zero gives them, and a value written reads back whenever it is the
    // nearest zero of its pixels.
    constexpr int32_t kSpan = 3000;
    for (uint32_t mode = 1; mode <= 6; ++mode)
        for (int32_t px = -kSpan; px <= kSpan; ++px) {
            int32_t units = ScaleByMode(mode, px, false);
            ASSERT_EQ(ScaleByMode(mode, units, true), px) << "mode " << mode << ", " << px << " pixels";
            int32_t nearer = units > 0 ? units - 1 : units < 0 ? units + 1 : 0;
            if (nearer != units) {
                ASSERT_NE(ScaleByMode(mode, nearer, true), px) << "mode " << mode << ", " << px << " pixels";
            }
            int32_t written = px * 3;
            int32_t shown = ScaleByMode(mode, written, true);
            int32_t read = ScaleByMode(mode, shown, false);
            ASSERT_EQ(ScaleByMode(mode, read, true), shown) << "mode " << mode << ", " << written << " written";
            int32_t before = written > 0 ? written - 1 : written + 1;
            if (written != 0 && ScaleByMode(mode, before, true) != shown) {
                ASSERT_EQ(read, written) << "mode " << mode << ", " << written << " written";
            }
        }
}

TEST_F(WebObjects, DockingLayout) {
    ASSERT_NE(Window(0, 0, 100, 100), nullptr);   // the main window: its children are in cells
    ObjectRecord* w = Window(0, 0, 400, 300);
    ASSERT_NE(w, nullptr);
    ObjectRecord* top1 = Region(w, 0, 0, 20, 50, 5);
    ObjectRecord* top2 = Region(w, 0, 0, 30, 50, 5);
    ObjectRecord* fill = Region(w, 0, 0, 10, 10, 6);
    ObjectRecord* bottom = Region(w, 0, 0, 15, 50, 1);
    ASSERT_TRUE(top1 && top2 && fill && bottom);
    WebLayoutChildren(w);
    struct Case {
        ObjectRecord* rec;
        int32_t left, top, right, bottom;
        const char* why;
    };
    const Case kCases[] = {
        {top1, 0, 0, 300, 20, "the first top bar at 0, full width"},
        {top2, 0, 20, 300, 50, "the second below it"},
        {fill, 0, 50, 300, 400, "fill takes the rest"},
        {bottom, 0, 385, 300, 400, "a bottom bar after a fill is placed against the whole area"},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(c.rec->left, c.left) << c.why;
        EXPECT_EQ(c.rec->top, c.top) << c.why;
        EXPECT_EQ(c.rec->right, c.right) << c.why;
        EXPECT_EQ(c.rec->bottom, c.bottom) << c.why;
    }
    ObjectRecord* tall = Region(w, 5, 5, 900, 50, 1);
    ASSERT_NE(tall, nullptr);
    WebLayoutChildren(w);
    EXPECT_EQ(tall->top, 5) << "a bottom bar taller than the free height keeps its place";
}

TEST_F(WebObjects, AnchorsFollowAResize) {
    ASSERT_NE(Window(0, 0, 100, 100), nullptr);
    ObjectRecord* w = Window(0, 0, 200, 300);
    ASSERT_NE(w, nullptr);
    struct Case {
        int32_t anchor;
        int32_t left, top, right, bottom;   // after the window grew by 100 x 50
    };
    const Case kCases[] = {
        {1, 10, 60, 60, 80}, {2, 10, 60, 160, 80}, {3, 110, 60, 160, 80}, {4, 10, 10, 60, 80},
        {5, 10, 10, 160, 80}, {6, 110, 10, 160, 80}, {7, 10, 10, 60, 30}, {8, 10, 10, 160, 30},
        {9, 110, 10, 160, 30},
    };
    std::vector<ObjectRecord*> recs;
    for (const Case& c : kCases) recs.push_back(Region(w, 10, 10, 20, 50, 3, c.anchor));
    int32_t bigger[4] = {0, 0, 400, 250};
    WebWindowSetRect(w, bigger);
    for (size_t i = 0; i < recs.size(); ++i) {
        const Case& c = kCases[i];
        ASSERT_NE(recs[i], nullptr);
        EXPECT_EQ(recs[i]->left, c.left) << "anchor " << c.anchor;
        EXPECT_EQ(recs[i]->top, c.top) << "anchor " << c.anchor;
        EXPECT_EQ(recs[i]->right, c.right) << "anchor " << c.anchor;
        EXPECT_EQ(recs[i]->bottom, c.bottom) << "anchor " << c.anchor;
    }
}

TEST_F(WebObjects, DestroyMessagesAndWindowWithChildren) {
    ObjectRecord* main = Window(0, 0, 300, 400);
    ObjectRecord* dlg = Window(10, 10, 200, 300, 2);
    ASSERT_TRUE(main && dlg);
    ObjectRecord* a = Region(dlg, 1, 1, 10, 10);
    ObjectRecord* b = Region(dlg, 20, 1, 10, 10);
    ASSERT_TRUE(a && b);
    a->ovar = 71;
    b->ovar = 72;
    dlg->ovar = 70;
    uint32_t aId = a->elementId, dlgId = dlg->elementId;
    uint32_t live = ObjectLiveCount();
    gPage.posts.clear();
    EXPECT_EQ(ObjectDestroy(dlg), 0);
    EXPECT_EQ(ObjectLiveCount(), live - 3) << "the window and both children are gone";
    EXPECT_EQ(gDestroyedOvars, (std::vector<uint32_t>{70, 71, 72})) << "every Ovar is reported";
    std::string posts = AllPosts();
    char want[96];
    snprintf(want, sizeof want, "\"action\": 20, \"delform\": \"C%uD\", \"delid\": \"C%u\"", dlgId, aId);
    EXPECT_NE(posts.find(want), std::string::npos) << "a child leaves its window's content\n" << posts;
    snprintf(want, sizeof want, "\"action\": 20, \"delform\": \"mainscrn\", \"delid\": \"C%u\"", dlgId);
    EXPECT_NE(posts.find(want), std::string::npos) << "the window leaves its division\n" << posts;
    EXPECT_EQ(gWebWindowList, main) << "the window left the window list";
    EXPECT_EQ(WebFindWindowById(dlgId), nullptr);
}

TEST_F(WebObjects, ShowRegistersTheKindsDefaultEvent) {
    ObjectRecord* w = Window(0, 0, 300, 400);
    ObjectRecord* region = Create(kTypeMRegion, [&](ObjectCreateRecord* c) {
        c->window = w->handle;
        c->flags0 = 0;
    });
    ASSERT_TRUE(w && region);
    EXPECT_EQ(ObjectActivate(region, 7, 0, 0, 0), 0);
    EXPECT_TRUE(EventIsRegistered(region, 14)) << "an MRegion's show with a routine registers $OLDEVENT, "
                                                   "kept as the mouse-up event with the region's mark";
    EXPECT_TRUE(region->flags & 0x20);
    EXPECT_TRUE(region->flags & kObjShown);
    EventCleanup();
}

TEST_F(WebObjects, ZOrderKeepsCreationOrderForEqualValues) {
    ObjectRecord* w = Window(0, 0, 300, 400);
    ObjectRecord* first = Region(w, 1, 1, 5, 5);
    ObjectRecord* second = Region(w, 1, 1, 5, 5);
    ASSERT_TRUE(w && first && second);
    EXPECT_EQ(w->children, first);
    EXPECT_EQ(first->next, second) << "the later one comes after";
    EXPECT_EQ(WebFindObjectById(nullptr, second->elementId), second);
}

namespace {

std::vector<ObjectRecord*> gNoted;
bool NoteModal(ObjectRecord* w) {
    gNoted.push_back(w);
    return true;
}
int32_t EndModal(ObjectRecord* w) {
    if (gNoted.empty() || gNoted.back() != w) return -16;
    gNoted.pop_back();
    return 0;
}

}  // namespace

TEST_F(WebObjects, DialogsShowAndHide) {
    gNoted.clear();
    gWebObjServices.modalNote = NoteModal;
    gWebObjServices.modalEnd = EndModal;
    ScopedSet<uint8_t> option(gGuiOption2039);
    gGuiOption2039 = 1;
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* dlg = Create(kTypeWindow, [](ObjectCreateRecord* c) {
        c->flags0 = 0;
        c->winType = 2;
        c->units = 5;
        c->bottom = 100;
        c->right = 200;
    });
    ObjectRecord* modal = Create(kTypeWindow, [](ObjectCreateRecord* c) {
        c->flags0 = 0;
        c->winType = 1;
        c->units = 5;
        c->bottom = 100;
        c->right = 200;
    });
    ASSERT_TRUE(dlg && modal);
    gPage.posts.clear();
    EXPECT_EQ(ObjectActivate(dlg, 0, 0, 0, 0), 0);
    char want[64];
    snprintf(want, sizeof want, "\"action\": 29, \"name\": \"C%u\", \"dwid\": 2", dlg->elementId);
    EXPECT_NE(AllPosts().find(want), std::string::npos) << "a dialog opens through action 29";
    EXPECT_EQ(gWebActiveWindow, dlg);
    EXPECT_EQ(ObjectActivate(modal, 0, 0, 0, 0), 0);
    EXPECT_EQ(gNoted, std::vector<ObjectRecord*>{modal}) << "a shown modal window is the current level";
    EXPECT_EQ(ObjectDeactivate(modal), 0);
    EXPECT_TRUE(gNoted.empty()) << "and leaves it when hidden";
    gGuiOption2039 = 0;
    modal->flags &= ~kObjShown;
    EXPECT_EQ(ObjectActivate(modal, 0, 0, 0, 0), kWebNotSupported)
        << "with the dialog option off a modal window answers -9, as documented";
    gNoted.insert(gNoted.begin(), dlg);   // another level above it
    std::swap(gNoted[0], gNoted[1]);
    EXPECT_EQ(ObjectDeactivate(modal), kWebNotModalLevel) << "not the current level: -16";
    std::swap(gNoted[0], gNoted[1]);
    EXPECT_EQ(ObjectDeactivate(modal), kWebModalEnd) << "the current level ends the wait: 21761";
}

// The window that comes back when the front one is hidden or destroyed is
// the one in front last, whatever the order the windows were made in.
TEST_F(WebObjects, TheWindowInFrontLastComesBack) {
    ObjectRecord* main = Window(0, 0, 300, 400);
    ObjectRecord* a = Window(0, 0, 100, 200);
    ObjectRecord* b = Window(0, 0, 100, 200);
    ObjectRecord* c = Window(0, 0, 100, 200);
    ASSERT_TRUE(main && a && b && c);
    EXPECT_EQ(gWebActiveWindow, c) << "each made visible comes to the front";
    EXPECT_EQ(ObjectSetFocus(b, 0, 0), 0);
    EXPECT_EQ(ObjectSetFocus(a, 0, 0), 0);
    EXPECT_EQ(gWebActiveWindow, a) << "2413 brings a window behind to the front";
    EXPECT_EQ(ObjectDeactivate(a), 0);
    EXPECT_EQ(gWebActiveWindow, b) << "hidden: the window in front before it, not the one made last";
    EXPECT_EQ(ObjectDestroy(b), 0);
    EXPECT_EQ(gWebActiveWindow, c) << "destroyed: the one in front before that";
    EXPECT_EQ(ObjectDeactivate(c), 0);
    EXPECT_EQ(gWebActiveWindow, main) << "then the first window, in front before them all";
    EXPECT_EQ(ObjectDeactivate(main), 0);
    EXPECT_EQ(gWebActiveWindow, nullptr) << "none left shown: none in front";
}

TEST_F(WebObjects, WindowProperties) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    struct Case {
        uint32_t id;
        int32_t value;   // INT32_MIN: only asked
        int32_t expect;
        const char* why;
    };
    const Case kCases[] = {
        {57, 3, 3, "ScrollBar 3 sets no bar and answers 3"},
        {57, 4, 4, "vertical only"},
        {186, 2, 2, "Topmost 2"},
        {35, 500, 500, "Width"},
        {205, 600, 600, "MinWidth is kept"},
        {35, INT32_MIN, 600, "and the window grew to it"},
        {123, INT32_MIN, 0, "ParentWin asks 0"},
        {85, 9, 1, "WinPos out of range is ignored"},
    };
    for (const Case& c : kCases) {
        if (c.value != INT32_MIN) WebWindowSetProp(w, c.id, c.value, nullptr, 0);
        int32_t result = -1;
        const char* text = nullptr;
        EXPECT_EQ(WebWindowGetProp(w, c.id, &result, &text), 0) << c.why;
        EXPECT_EQ(result, c.expect) << c.why;
    }
    EXPECT_EQ(WebWindowSetProp(w, 123, 1, nullptr, 0), kWebNoHost) << "ParentWin cannot be set";
    EXPECT_EQ(WebWindowSetProp(w, 999, 1, nullptr, 0), kWebNotAvailable) << "not built yet: an error";
    WebWindowOnResize(w, 600, 300, 100, 100);
    int32_t result = 0;
    const char* text = nullptr;
    WebWindowGetProp(w, 35, &result, &text);
    EXPECT_EQ(result, 600) << "a page resize below MinWidth keeps MinWidth";
}

// Caption on an ordinary window switches its title bar in the page (the
// frame class stays); a dialog's title bar is the dialog's own.
TEST_F(WebObjects, CaptionSwitchesTheTitleBar) {
    ObjectRecord* w = Create(kTypeWindow, [](ObjectCreateRecord* c) {
        c->winType = 5;
        c->winBorder = 6;
        c->winStyle = 0x40;
        c->units = 5;
    });
    ObjectRecord* dlg = Window(0, 0, 100, 200, 2);
    ASSERT_TRUE(w && dlg);
    int32_t caption = -1;
    const char* text = nullptr;
    EXPECT_EQ(WebWindowGetProp(w, kPidCaption, &caption, &text), 0);
    EXPECT_EQ(caption, 0) << "created without Caption";
    gPage.posts.clear();
    EXPECT_EQ(WebWindowSetProp(w, kPidCaption, 1, nullptr, 0), 0);
    char want[96];
    snprintf(want, sizeof want, "\"action\": 38, \"en\": \"#C%u\", \"remc\": \"nocap\"", w->elementId);
    EXPECT_NE(AllPosts().find(want), std::string::npos) << AllPosts();
    gPage.posts.clear();
    EXPECT_EQ(WebWindowSetProp(w, kPidCaption, 0, nullptr, 0), 0);
    snprintf(want, sizeof want, "\"action\": 38, \"en\": \"#C%u\", \"addc\": \"nocap\"", w->elementId);
    EXPECT_NE(AllPosts().find(want), std::string::npos) << AllPosts();
    gPage.posts.clear();
    EXPECT_EQ(WebWindowSetProp(dlg, kPidCaption, 0, nullptr, 0), 0);
    EXPECT_EQ(AllPosts().find("nocap"), std::string::npos) << AllPosts();
}

namespace {
int gEnded;
void NoteEnd() { ++gEnded; }
bool PageEvent(const char* text) {
    JsonValue* v = JsonParse(text, strlen(text));
    bool taken = WebWindowPageEvent(nullptr, v);
    JsonFree(v);
    return taken;
}
}  // namespace

TEST_F(WebObjects, WindowEventsFromThePage) {
    gEnded = 0;
    gWebObjServices.endProgram = NoteEnd;
    ObjectRecord* main = Window(0, 0, 300, 400);
    ObjectRecord* other = Window(0, 0, 100, 200);
    ASSERT_TRUE(main && other);
    char text[128];
    snprintf(text, sizeof text, "{\"name\": \"C%u\", \"et\": 99988}", other->elementId);
    EXPECT_TRUE(PageEvent(text));
    EXPECT_EQ(EventQueueCount(), 0u) << "no $CLOSE registered: nothing is raised";
    int32_t values[4] = {1, 0, 0, 0};
    ASSERT_EQ(EventRegister(other, kEvClose, values, false, nullptr, 0), 0);
    EXPECT_TRUE(PageEvent(text));
    EXPECT_EQ(EventQueueCount(), 1u) << "with $CLOSE the close box raises it";
    snprintf(text, sizeof text, "{\"name\": \"C%u\", \"et\": 99988}", main->elementId);
    EXPECT_TRUE(PageEvent(text));
    EXPECT_EQ(gEnded, 1) << "the main window's close box without $CLOSE ends the program";
    snprintf(text, sizeof text, "{\"name\": \"C%u\", \"et\": 99992, \"em\": 30, \"ev\": 40}", other->elementId);
    EXPECT_TRUE(PageEvent(text));
    EXPECT_EQ(other->left, 30);
    EXPECT_EQ(other->top, 40);
    EXPECT_EQ(other->right, 230) << "a move keeps the size";
    EXPECT_TRUE(PageEvent("{\"name\": \"\", \"et\": 99985, \"em\": 1024, \"ev\": 700}"));
    EXPECT_EQ(gWebPageWidth, 1024);
    EXPECT_FALSE(PageEvent("{\"name\": \"C1\", \"et\": 4}")) << "other events are not the window's";
    EXPECT_TRUE(PageEvent("{\"name\": \"C99x\", \"et\": 99988}")) << "a malformed name is dropped";
    EventCleanup();
}

namespace {

struct WrittenFile {
    std::string path;
    std::string data;
};
std::vector<WrittenFile> gWritten;
std::string gLibrary = "....IMG1IMG2";

bool ReadLibrary(void*, uint32_t offset, void* out, uint32_t size) {
    if (offset + size > gLibrary.size()) return false;
    memcpy(out, gLibrary.data() + offset, size);
    return true;
}
int WriteNew(const char* path, const void* data, uint32_t size) {
    for (const WrittenFile& f : gWritten)
        if (f.path == path) return 1;
    gWritten.push_back({path, std::string(static_cast<const char*>(data), size)});
    return 0;
}

}  // namespace

TEST(WebImages, ExtractImageNamesStayInTheImagesFolder) {
    WebImageEntry entries[] = {
        {1, "photo.JPEG", 3, 11, 4, 4},
        {2, "icon.png", 3, 12, 8, 4},
        {3, "..\\..\\evil.bmp", 3, 13, 4, 4},
        {4, "sub/evil.gif", 3, 14, 4, 4},
        {5, "c:evil.ico", 3, 15, 4, 4},
        {6, "ok.bmp", 3, 16, 8, 4},
    };
    WebImageFile file = {nullptr, nullptr, 0, sizeof entries / sizeof entries[0], entries};
    gWebImageCache = &file;
    gWebImageIo = WebImageIo{ReadLibrary, WriteNew, nullptr, nullptr};
    gWritten.clear();
    struct Case {
        uint32_t number;
        bool found;
        const char* name;
        const char* why;
    };
    const Case kCases[] = {
        {1, true, "photo.JPEG", "an upper-case .JPEG matches on four characters"},
        {2, false, "", ".png is not offered"},
        {3, false, "", "a name with '..' or '\\' is refused"},
        {4, false, "", "a name with '/' is refused"},
        {5, false, "", "a name with a drive is refused"},
        {6, true, "ok.bmp", "a plain name is written"},
        {9, false, "", "no such entry"},
    };
    for (const Case& c : kCases) {
        char name[80] = "x";
        uint16_t value = 0;
        EXPECT_EQ(WebExtractImage(3, c.number, name, sizeof name, &value, nullptr), c.found) << c.why;
        EXPECT_STREQ(name, c.name) << c.why;
        if (c.found) {
            EXPECT_EQ(value, 10 + c.number) << c.why;
        }
    }
    ASSERT_EQ(gWritten.size(), 2u) << "only the two good names were written";
    EXPECT_EQ(gWritten[0].data, "IMG1");
    EXPECT_EQ(gWritten[1].data, "IMG2");
    for (const WrittenFile& f : gWritten)
        EXPECT_EQ(f.path.find(".."), std::string::npos) << f.path;
    const uint8_t digest[16] = {0xAB, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0xFF};
    char name[80];
    EXPECT_TRUE(WebExtractImage(3, 2, name, sizeof name, nullptr, digest)) << "a digest names any entry";
    EXPECT_STREQ(name, "IAB000102030405060708090A0B0C0DFF2.bmp");
    gWebImageCache = nullptr;
    gWebImageIo = WebImageIo();
}

namespace {
void Put32(std::vector<uint8_t>* v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) (*v)[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
// A DIB as a resource holds it: the info header, the colour table, the rows.
std::vector<uint8_t> Dib(int32_t width, int32_t height, uint16_t bits) {
    uint32_t colors = bits <= 8 ? 1u << bits : 0;
    uint32_t stride = ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4;
    std::vector<uint8_t> v(40 + colors * 4 + stride * static_cast<uint32_t>(height), 0x11);
    Put32(&v, 0, 40);
    Put32(&v, 4, static_cast<uint32_t>(width));
    Put32(&v, 8, static_cast<uint32_t>(height));
    v[12] = 1, v[13] = 0, v[14] = static_cast<uint8_t>(bits), v[15] = 0;
    Put32(&v, 16, 0);
    Put32(&v, 32, 0);
    return v;
}
}  // namespace

TEST(WebImages, ResourcesBecomeFilesTheBrowserReads) {
    struct Case {
        uint32_t kind;
        std::vector<uint8_t> data;
        bool made;
        uint32_t front;      // bytes put before the data
        const char* why;
    };
    std::vector<uint8_t> ico = Dib(16, 32, 4);
    std::vector<uint8_t> file(ico.size() + 6, 0);
    file[2] = 1;
    const Case kCases[] = {
        {3, Dib(3, 2, 8), true, 14, "a bare DIB gets its file header"},
        {3, Dib(2, 2, 24), true, 14, "without a colour table too"},
        {1, ico, true, 22, "an icon image gets the directory of one image"},
        {1, file, true, 0, "an .ico file stays as it is"},
        {3, {'B', 'M', 0, 0, 0, 0}, true, 0, "a bitmap file stays as it is"},
        {3, {40, 0, 0, 0, 1}, false, 0, "a header cut short is refused"},
        {3, {1, 2}, false, 0, "too short"},
    };
    for (const Case& k : kCases) {
        uint8_t* out = nullptr;
        uint32_t n = 0;
        EXPECT_EQ(WebImageFileFromResource(k.kind, k.data.data(), static_cast<uint32_t>(k.data.size()), &out, &n), k.made)
            << k.why;
        if (k.made) {
            ASSERT_EQ(n, k.data.size() + k.front) << k.why;
            EXPECT_EQ(memcmp(out + k.front, k.data.data(), k.data.size()), 0) << k.why;
        }
        if (k.made && k.front == 14) {
            EXPECT_EQ(out[0], 'B');
            EXPECT_EQ(Get32(out + 2), n) << "the file's size";
            uint32_t colors = k.data[14] <= 8 ? (1u << k.data[14]) * 4 : 0;
            EXPECT_EQ(Get32(out + 10), 14 + 40 + colors) << "the pixels follow the colour table: " << k.why;
        }
        if (k.made && k.front == 22) {
            EXPECT_EQ(out[2], 1) << "an icon";
            EXPECT_EQ(out[4], 1) << "of one image";
            EXPECT_EQ(out[6], 16) << "16 wide";
            EXPECT_EQ(out[7], 16) << "16 high: the mask half does not count";
            EXPECT_EQ(Get32(out + 14), ico.size());
            EXPECT_EQ(Get32(out + 18), 22u) << "the image right after the directory";
        }
        GuardedFree(out);
    }
}

namespace {
int32_t gAnswer;
void NoteAnswer(int32_t v, uint8_t) { gAnswer = v; }
MethodCallRec MethodCall(uint32_t method, int32_t a = -1, int32_t b = -1) {
    MethodCallRec call;
    memset(&call, 0, sizeof call);
    call.method = method;
    int32_t args[2] = {a, b};
    for (uint32_t i = 0; i < 2; ++i) {
        if (args[i] < 0) continue;
        call.args[i].kind = kItemInt;
        call.args[i].value = static_cast<uint64_t>(args[i]);
        call.argPresent[i] = 1;
        call.argCount = i + 1;
    }
    return call;
}
}  // namespace

TEST_F(WebObjects, WindowMethods) {
    gWebObjServices.replyInt = NoteAnswer;
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    struct Case {
        uint32_t method;
        int32_t a, b;
        int32_t expect;
        const char* why;
    };
    const Case kCases[] = {
        {33, -1, -1, 99, "NotifyIcon answers 99"},
        {22, -1, -1, 1, "SetHScrollPos answers 1"},
        {11, 1, -1, 1, "BackGrndMouseMove set"},
        {11, 0, 1, 0, "and cleared by its second argument"},
        {41, 1, -1, 1, "MouseWheelMode 1"},
        {49, 0, -1, 0, "IoCancelMode off"},
        {13, -1, -1, kWebNotAvailable, "a form file without the forms facility is an error"},
        {12, -1, -1, kWebNotAvailable, "SaveQofFile without the forms facility is an error, never a save"},
    };
    for (const Case& c : kCases) {
        gAnswer = -12345;
        MethodCallRec call = MethodCall(c.method, c.a, c.b);
        WebWindowMethod(w, &call);
        EXPECT_EQ(gAnswer, c.expect) << c.why;
    }
    gAnswer = -12345;
    MethodCallRec unknown = MethodCall(99);
    EXPECT_EQ(WebWindowMethod(w, &unknown), kWebUnknownMethod) << "an unknown method is an error";
    EXPECT_EQ(gAnswer, -12345) << "not a reply value";
}

TEST_F(WebObjects, RefusedChangesAnswerTheirCodeAndWriteNothing) {
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    ForgetPosts();
    PropChange change = {};
    change.code = 400;   // ParentWin
    change.text = "C1";
    change.textLength = 2;
    EXPECT_EQ(WebSetProp(w, &change), kWebNoHost) << "a web window has no native parent";
    EXPECT_EQ(AllPosts(), "") << "a refused change leaves the page as it was";
    ObjectRecord* region = Region(w, 10, 10, 20, 20);
    ASSERT_NE(region, nullptr);
    // A size or position whose far edge leaves the 32-bit range is refused,
    // as the native objects refuse it, and the region stays where it was.
    struct Far {
        uint32_t code;
        int32_t value;
        const char* why;
    };
    const Far kFar[] = {
        {kPcWidth, INT32_MAX, "a width past the range"},
        {kPcHeight, INT32_MAX - 5, "a height past the range"},
        {kPcLeft, INT32_MAX - 10, "a left edge whose right edge passes the range"},
        {kPcTop, INT32_MIN, "a top far below zero with its bottom"},
        {kPcWidth, INT32_MAX / 7, "a width whose cells fit but whose right edge does not"},
        {kPcLeft, INT32_MAX / 7, "a left edge whose cells fit but whose right edge does not"},
    };
    ForgetPosts();
    const int32_t before[4] = {region->left, region->top, region->right, region->bottom};
    for (const Far& f : kFar) {
        change = {};
        change.code = f.code;
        change.value = f.value;
        EXPECT_EQ(WebSetProp(region, &change), kWebNotAvailable) << f.why;
    }
    EXPECT_EQ(AllPosts(), "");
    const int32_t after[4] = {region->left, region->top, region->right, region->bottom};
    EXPECT_TRUE(std::equal(before, before + 4, after)) << "the region stays where it was";
    change = {};
    change.code = 366;   // Visible: a change that goes through still answers 0
    change.value = 0;
    EXPECT_EQ(WebSetProp(region, &change), 0);
}

TEST_F(WebObjects, WindowGivesItsChildrenAndMenusAsObjects) {
    gWebObjServices.replyInt = NoteAnswer;
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    ObjectRecord* first = Region(w, 10, 10, 20, 20);
    ObjectRecord* second = Region(w, 40, 10, 20, 20);
    ObjectRecord* menu = Create(kTypeMenu, [&](ObjectCreateRecord* c) {
        c->window = w->handle;
        c->text = CrText{"&File", 5};
    });
    ASSERT_TRUE(first && second && menu);
    auto bind = [&](uint32_t method, int32_t key, uint32_t var) {
        gAnswer = -12345;
        MethodCallRec call = MethodCall(method, key);
        call.result.kind = kItemObject;
        call.result.varRef = var;
        EXPECT_EQ(WebWindowMethod(w, &call), kWebNoAnswer);
        return gAnswer;
    };
    EXPECT_EQ(bind(14, 1, 41), static_cast<int32_t>(second->handle)) << "GetObject by place";
    EXPECT_EQ(second->ovar, 41u) << "binds the child to the call's variable";
    EXPECT_EQ(bind(14, 1, 42), 0) << "a bound child is not given out again";
    EXPECT_EQ(bind(14, 7, 43), 0) << "no such child";
    EXPECT_EQ(bind(15, 0, 44), static_cast<int32_t>(menu->handle)) << "GetMenu by place";
    EXPECT_EQ(menu->ovar, 44u);
    auto pointer = [&](int32_t key, int32_t options) {
        gAnswer = -12345;
        MethodCallRec call = MethodCall(26, key, options);
        call.result.kind = kItemObject;
        EXPECT_EQ(WebWindowMethod(w, &call), kWebNoAnswer);
        return gAnswer;
    };
    EXPECT_EQ(pointer(1, 0), 41) << "GetObjectAsPointer: the child's variable";
    EXPECT_EQ(pointer(0, 1), 44) << "option 1: the menu's";
    first->ovar = 45;
    WebWin(w)->win.focusObj = first;
    EXPECT_EQ(pointer(0, 4), 45) << "option 4: the focused child's";
}

TEST_F(WebObjects, ADialogCreatedVisibleIsOpened) {
    ScopedSet<uint8_t> option(gGuiOption2039);
    gGuiOption2039 = 1;
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* dlg = Window(0, 0, 100, 200, 2);
    ASSERT_NE(dlg, nullptr);
    char want[64];
    snprintf(want, sizeof want, "\"action\": 29, \"name\": \"C%u\", \"dwid\": 2", dlg->elementId);
    EXPECT_NE(AllPosts().find(want), std::string::npos) << "the page opens it";
    EXPECT_TRUE(dlg->flags & kObjShown);
    EXPECT_EQ(gWebActiveWindow, dlg);
    gGuiOption2039 = 0;
    ObjectRecord* hidden = Window(0, 0, 100, 200, 2);
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(hidden->flags & kObjShown) << "with the dialog option off a dialog is made hidden";
}

TEST_F(WebObjects, AWindowOutlivesItsHost) {
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(WebWindowHostRecord(w), gHost);
    WebWindowsHostGone(gHost);
    EXPECT_EQ(WebWindowHostRecord(w), nullptr) << "no pointer to the host that went";
    EXPECT_EQ(WebViewHostForObject(w), nullptr) << "its page operations find no web view";
    EXPECT_EQ(ObjectDeactivate(w), 0) << "and still answer";
}

// ---- Property change and query ---------------------------------------------------------------

namespace {
int32_t SetProp(ObjectRecord* rec, uint32_t code, int32_t value, ObjectRecord* object = nullptr,
                const char* text = nullptr) {
    PropChange c = {};
    c.code = code;
    c.value = text ? static_cast<int32_t>(strlen(text)) : value;
    c.text = text;
    c.textLength = text ? static_cast<uint32_t>(strlen(text)) : 0;
    c.object = object;
    return ObjectSetProperty(rec, &c);
}
PropQuery Query(ObjectRecord* rec, uint32_t code, int32_t* answer, uint32_t form = 0, ObjectRecord* fill = nullptr) {
    PropQuery q = {};
    q.code = code;
    q.form = form;
    q.fill = fill;
    *answer = ObjectGetProperty(rec, &q);
    return q;
}
}  // namespace

TEST_F(WebObjects, PropertyChangesWriteThePage) {
    ObjectRecord* main = Window(0, 0, 300, 400);
    ObjectRecord* wide = Window(0, 0, 300, 800);
    ASSERT_TRUE(main && wide);
    WebWin(wide)->pageWidth = 800;
    ObjectRecord* tree = Create(kTypeTreeview, [&](ObjectCreateRecord* c) { c->window = wide->handle; });
    ASSERT_NE(tree, nullptr);
    ObjectRecord* color = Create(kTypeColor, [](ObjectCreateRecord* c) {
        c->values[kPidValue] = 0x3300FF;   // red FF, blue 33
        c->given[kPidValue] = 1;
    });
    ASSERT_NE(color, nullptr);
    struct Case {
        uint32_t code;
        int32_t value;
        bool withColor;
        uint8_t percent;
        const char* expect;    // in the posts; null: nothing at all is sent
        const char* why;
    };
    const Case kCases[] = {
        {266, 0x112233, true, 0, "\"pn\": \"background-color\", \"pv\": \"#ff0033\"",
         "BgColor with a Color object takes the object's colour, not the integer"},
        {266, 0x0000FF, false, 0, "\"pn\": \"background-color\", \"pv\": \"#ff0000\"",
         "a plain COLORREF goes out in RGB order"},
        {284, static_cast<int32_t>(0x80000102), false, 0, "\"addc\": \"text-dark\"", "a value from 0x80000100 names a colour class"},
        {366, 0, false, 0, nullptr, "Visible writes nothing in common (the hide sends its own display)"},
        {342, 200, false, 1, "\"pn\": \"width\", \"pv\": \"25%\"", "Width 200 in an 800-pixel page is 25%"},
        {257, 2, false, 0, "\"pn\": \"text-align\", \"pv\": \"left\"", "Alignment 2 writes left"},
        {257, 1, false, 0, "\"pn\": \"text-align\", \"pv\": \"center\"", "Alignment 1 writes center"},
    };
    for (const Case& k : kCases) {
        gWebPercentGeometry = k.percent;
        gWebClassStyling = k.code == 284 ? 1 : 0;   // colour classes are kept only with class styling
        if (k.code == 366) tree->flags &= ~kObjShown;   // already hidden: the handler has nothing to do
        WebViewMsgFlush();
        gPage.posts.clear();
        EXPECT_EQ(SetProp(tree, k.code, k.value, k.withColor ? color : nullptr), 0) << k.why;
        std::string posts = AllPosts();
        if (k.expect) EXPECT_NE(posts.find(k.expect), std::string::npos) << k.why << "\n" << posts;
        else EXPECT_EQ(posts, "") << k.why;
    }
    gWebPercentGeometry = 0;
    EXPECT_EQ(SetProp(tree, 9999, 1), kWebUnknownProperty) << "an unknown code";
    EXPECT_EQ(SetProp(tree, 769, 1), kWebUnknownProperty) << "the OLE code is not for web objects";

    ObjectRecord* dialog = Window(10, 10, 200, 300, 2);
    ASSERT_NE(dialog, nullptr);
    WebViewMsgFlush();
    gPage.posts.clear();
    EXPECT_EQ(SetProp(dialog, 338, 40), 0);
    std::string posts = AllPosts();
    EXPECT_NE(posts.find("\"action\": 29"), std::string::npos) << posts;
    EXPECT_NE(posts.find("\"dwid\": 6, \"val\": 40"), std::string::npos) << "a dialog's Top goes to the dialog\n"
                                                                           << posts;
    EXPECT_EQ(posts.find("\"pn\": \"top\""), std::string::npos) << "never as a style\n" << posts;
    ObjectRecord* plain = Window(10, 10, 200, 300);
    ASSERT_NE(plain, nullptr);
    WebViewMsgFlush();
    gPage.posts.clear();
    EXPECT_EQ(SetProp(plain, 295, 40), 0);
    posts = AllPosts();
    EXPECT_NE(posts.find("\"pn\": \"left\", \"pv\": \"40px\""), std::string::npos)
        << "an ordinary window's Left goes out as its style\n" << posts;
}

TEST_F(WebObjects, PropertyQueries) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);   // the main window: its children are in cells
    ObjectRecord* tree = Create(kTypeTreeview, nullptr);
    ASSERT_NE(tree, nullptr);
    ASSERT_FALSE(tree->flags & kObjPixels);
    tree->top = 30;
    tree->bottom = 61;
    int32_t r = 0;
    struct Case {
        uint32_t code;
        int32_t expect;
        const char* why;
    };
    const Case kCases[] = {
        {338, 3, "Top at pixel 30 with 15-pixel cells is cell 3"},
        {289, 3, "Height 31 pixels is 3 cells, rounded up"},
        {366, 1, "Visible"},
    };
    for (const Case& k : kCases) {
        PropQuery q = Query(tree, k.code, &r);
        EXPECT_EQ(r, 0) << k.why;
        EXPECT_EQ(q.result, k.expect) << k.why;
    }
    tree->font = WebFontFind("Face", 105, 1, 0, 0, 0, 90);
    ASSERT_NE(tree->font, nullptr);
    int32_t v = 0;
    const char* text = nullptr;
    WebDefaultGetProp(tree, kPidFont, &v, &text);
    EXPECT_STREQ(text, "'>Face'(10.5,A90,BOLD)") << "the font text form";
    PropQuery q = Query(tree, 332, &r);
    EXPECT_STREQ(q.text, "?????") << "a text the record does not have";
    q = Query(tree, 287, &r);
    EXPECT_STREQ(q.text, "Face") << "Font as text: the face";
    tree->bgColor = 0x00FF00;
    q = Query(tree, 266, &r, kPqFormObject, nullptr);
    ASSERT_NE(q.resultObject, nullptr) << "BgColor asked as an object makes one";
    EXPECT_EQ(q.resultObject->kind, kKindColor);
    EXPECT_EQ(reinterpret_cast<WebColorRec*>(q.resultObject)->value, 0x00FF00u);
    q = Query(tree, 9999, &r);
    EXPECT_EQ(r, kWebNotAvailable) << "a code outside the table";
    WebFontRelease(tree->font);
    tree->font = nullptr;
    q = Query(tree, 287, &r);
    EXPECT_EQ(r, kWebNoFont) << "Font of a record without one";
}

// ---- Page events ------------------------------------------------------------------------------

namespace {
std::vector<std::string> gKindEvents;
bool NoteKindEvent(ObjectRecord*, int32_t code, const JsonValue*, const WebEventName* name) {
    char text[96];
    snprintf(text, sizeof text, "%d C%u R%d I%d", code, name ? name->id : 0, name ? name->row : -1,
             name ? name->item : -1);
    gKindEvents.push_back(text);
    return true;
}
// The tree view's row with another page-event slot (none: the generic events
// only) while it lives; the installed row comes back after.
struct TreePageEvents {
    const WebKindOps* installed = WebKindOpsOfKind(kKindTreeView);
    WebKindOps row = *installed;
    void Use(WebKindPageEventFn fn) {
        row.pageEvent = fn;
        WebKindOpsSwap(kKindTreeView, &row);
    }
    ~TreePageEvents() { WebKindOpsSwap(kKindTreeView, installed); }
};
void Dispatch(ObjectRecord* owner, const std::string& text) {
    JsonValue* v = JsonParse(text.c_str(), text.size());
    ASSERT_NE(v, nullptr) << text;
    WebPageEventDispatch(owner, v);
    JsonFree(v);
}
// The next queued event's id and value, or -1 when none waits.
std::pair<int32_t, int32_t> TakeEvent() {
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    if (!EventTakeNext(&ev, items, &count)) return {-1, 0};
    return {ev.eventId, ev.value};
}
}  // namespace

TEST_F(WebObjects, PageEventsReachTheirObjects) {
    ObjectRecord* main = Window(0, 0, 300, 400);
    ASSERT_NE(main, nullptr);
    ObjectRecord* cells = Create(kTypeTreeview, nullptr);
    ObjectRecord* pixels = Create(kTypeTreeview, [&](ObjectCreateRecord* c) {
        c->window = Window(0, 0, 100, 100)->handle;   // a WebObject window: pixels
    });
    ASSERT_TRUE(cells && pixels);
    ASSERT_TRUE(pixels->flags & kObjPixels);
    TreePageEvents treeEvents;
    treeEvents.Use(NoteKindEvent);
    int32_t values[4] = {1, 0, 0, 0};
    ASSERT_EQ(EventRegister(cells, kEvMouseDown, values, false, nullptr, 0), 0);
    ASSERT_EQ(EventRegister(pixels, kEvMouseDown, values, false, nullptr, 0), 0);
    treeEvents.Use(nullptr);
    char c[16], p[16];
    snprintf(c, sizeof c, "%u", cells->elementId);
    snprintf(p, sizeof p, "%u", pixels->elementId);
    Dispatch(gHost, std::string("{\"id\": ") + c + ", \"et\": 13, \"ev\": 700030, \"em\": 0}");
    EXPECT_EQ(TakeEvent(), std::make_pair(13, 110003)) << "pixel (70, 30) is cell (11, 3)";
    Dispatch(gHost, std::string("{\"id\": ") + p + ", \"et\": 13, \"ev\": 700030, \"em\": 0}");
    EXPECT_EQ(TakeEvent(), std::make_pair(13, 700030)) << "objects in pixels keep the value";
    struct Hostile {
        std::string text;
        const char* why;
    };
    const Hostile kDropped[] = {
        {std::string("{\"id\": ") + c + ", \"et\": \"13\", \"ev\": 1}", "a text \"et\" drops the event"},
        {std::string("{\"id\": ") + c + ", \"et\": 13, \"ev\": 1.5}", "a fraction as \"ev\" drops it"},
        {std::string("{\"id\": ") + c + ", \"et\": 13, \"em\": [1]}", "an array as \"em\""},
        {"{\"id\": 999, \"et\": 13, \"ev\": 1}", "an element id that is not in the page"},
    };
    for (const Hostile& h : kDropped) {
        Dispatch(gHost, h.text);
        EXPECT_EQ(TakeEvent().first, -1) << h.why;
    }
    EventCleanup();

    treeEvents.Use(NoteKindEvent);
    gKindEvents.clear();
    struct Named {
        std::string name;
        bool taken;
        const char* why;
    };
    std::string base = std::string("C") + c;
    const Named kNames[] = {
        {base + "R3I4", true, "99990 with its row and column"},
        {base + "I4", false, "without the row part: dropped"},
        {base + "R3X4", false, "an unknown separator"},
        {base + "R99999999999I4", false, "a row beyond 32 bits"},
        {base + "R3I", false, "a separator without its number"},
        {"C", false, "no element id"},
    };
    for (const Named& n : kNames) {
        size_t before = gKindEvents.size();
        Dispatch(gHost, "{\"et\": 99990, \"name\": \"" + n.name + "\", \"ev\": 0, \"em\": 0}");
        EXPECT_EQ(gKindEvents.size() > before, n.taken) << n.why;
    }
    ASSERT_FALSE(gKindEvents.empty());
    EXPECT_EQ(gKindEvents[0], std::string("99990 ") + base + " R3 I4");
    treeEvents.Use(nullptr);

    WebViewMsgFlush();
    gPage.posts.clear();
    SendCommand(5);
    Dispatch(gHost, "{\"et\": 99990, \"name\": \"C999R1I1\", \"ev\": 0, \"em\": 0}");
    EXPECT_EQ(gPage.posts.size(), 1u) << "an unknown element id is dropped, and the open batch still goes out";
}

TEST_F(WebObjects, RegistrationsAskThePageOnce) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* tree = Create(kTypeTreeview, nullptr);
    ASSERT_NE(tree, nullptr);
    WebViewMsgFlush();
    gPage.posts.clear();
    int32_t values[4] = {1, 0, 0, 0};
    ASSERT_EQ(EventRegister(tree, kEvMouseDown, values, false, nullptr, 0), 0);
    ASSERT_EQ(EventRegister(tree, kEvMouseDown, values, false, nullptr, 0), 0);
    std::string posts = AllPosts();
    EXPECT_EQ(Count(posts, "\"action\": 6,"), 1u) << "a second registration refreshes silently\n" << posts;
    EXPECT_NE(posts.find("\"en\": 13"), std::string::npos) << posts;
    ASSERT_EQ(EventRegister(tree, kEvGotFocus, values, false, nullptr, 0), 0);
    EXPECT_EQ(Count(AllPosts(), "\"action\": 6,"), 1u) << "$GOTFOCUS is never asked of the page";

    gPage.posts.clear();
    EventUnregister(tree, kEvClick);
    EXPECT_EQ(Count(AllPosts(), "\"action\": 41"), 1u) << "unregistering $CLICK tells the page";
    ObjectRecord* check = ObjectAllocRecord(kKindCheckBox, sizeof(ObjectRecord), true);
    ASSERT_NE(check, nullptr);
    gPage.posts.clear();
    EventUnregister(check, kEvClick);
    EXPECT_EQ(AllPosts(), "") << "but not of a CheckBox";
    ObjectFreeRecord(check);
    EventCleanup();
}

// ---- Buttons, check boxes and radio buttons ---------------------------------------------------

namespace {
std::string gReplyText;
int32_t gReplyInt;
void NoteReplyText(const char* text) { gReplyText = text; }
void NoteReplyInt(int32_t value, uint8_t) { gReplyInt = value; }
void DeliverToChannelOwner(RecPage*, ObjectRecord* owner, const char* text) {
    WebViewMsgReceive(owner, text, strlen(text));
}
MethodCallRec Call(uint32_t method, std::vector<int32_t> ints = {}) {
    MethodCallRec call = {};
    call.method = method;
    call.argCount = static_cast<uint32_t>(ints.size());
    for (size_t i = 0; i < ints.size(); ++i) {
        call.args[i].kind = 1;
        call.args[i].value = static_cast<uint32_t>(ints[i]);
        call.argPresent[i] = 1;
    }
    return call;
}
}  // namespace

TEST_F(WebObjects, ButtonsKeepTheirWindowsDefaultAndCancel) {
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    auto button = [&](int32_t pid) {
        return Create(kTypeButton, [&](ObjectCreateRecord* c) {
            c->values[pid] = 1;
            c->given[pid] = 1;
            c->text = CrText{"&OK", 3};
        });
    };
    ObjectRecord* first = button(48);
    ObjectRecord* second = button(48);
    ObjectRecord* cancel = button(47);
    ASSERT_TRUE(first && second && cancel);
    EXPECT_FALSE(WebButton(first)->style & kBtnDefault) << "the earlier default button loses its bit";
    EXPECT_TRUE(WebButton(second)->style & kBtnDefault) << "the later keeps it";
    EXPECT_EQ(reinterpret_cast<WindowRecord*>(w)->defaultButton, second) << "and is the window's default button";
    EXPECT_EQ(WebWin(w)->cancelButton, cancel);
    EXPECT_EQ(WebButton(second)->mnemonic, 'O');
    EXPECT_EQ(WebButton(second)->state, 1u) << "no Context and no ButtonState: an outline button";

    // Enter with the focus not on a button presses the default button, Escape the cancel button.
    int32_t values[4] = {1, 0, 0, 0};
    second->flags |= kObjShown;
    cancel->flags |= kObjShown;
    ASSERT_EQ(EventRegister(second, kEvClick, values, false, nullptr, 0), 0);
    ASSERT_EQ(EventRegister(cancel, kEvOldEvent, values, false, nullptr, 0), 0);
    gWebActiveWindow = w;
    reinterpret_cast<WindowRecord*>(w)->focusObj = nullptr;
    WebPageEnterKey();
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    ASSERT_TRUE(EventTakeNext(&ev, items, &count));
    EXPECT_EQ(ev.handle, second->handle);
    EXPECT_EQ(ev.eventId, 4) << "Enter: $CLICK of the default button";
    EXPECT_EQ(reinterpret_cast<WindowRecord*>(w)->focusObj, nullptr) << "and the focus stays where it was";
    WebPageActivateFocused();
    ASSERT_TRUE(EventTakeNext(&ev, items, &count));
    EXPECT_EQ(ev.handle, cancel->handle);
    EXPECT_EQ(ev.eventId, 19) << "Escape: the cancel button's $OLDEVENT when it has no $CLICK";
    cancel->flags |= kObjDisabled;
    WebPageActivateFocused();
    EXPECT_FALSE(EventTakeNext(&ev, items, &count)) << "a disabled cancel button is not pressed";
    EventCleanup();

    ObjectDestroy(second);
    EXPECT_EQ(reinterpret_cast<WindowRecord*>(w)->defaultButton, nullptr) << "a destroyed button is forgotten";
}

TEST_F(WebObjects, ButtonPropertiesAndTexts) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* check = Create(kTypeCheckbox, [](ObjectCreateRecord* c) { c->text = CrText{"Check", 5}; });
    ObjectRecord* radio = Create(kTypeRadio, nullptr);
    ObjectRecord* push = Create(kTypeButton, [](ObjectCreateRecord* c) {
        c->context = 2;
        c->text = CrText{"Go", 2};
    });
    ASSERT_TRUE(check && radio && push);
    struct Tri {
        ObjectRecord* rec;
        int32_t set, expect;
        const char* why;
    };
    const Tri kTri[] = {
        {check, 2, 2, "TriState 2 on a check box reads 2"},
        {radio, 2, 1, "on a radio button 1"},
        {check, 5, 1, "any other non-zero value 1"},
        {check, 0, 0, "0 clears it"},
    };
    for (const Tri& t : kTri) {
        bool write = true;
        EXPECT_EQ(WebButtonSetProp(t.rec, 49, t.set, nullptr, 0, &write), 0) << t.why;
        int32_t v = -1;
        const char* text = nullptr;
        EXPECT_EQ(WebGetProp(t.rec, 49, &v, &text), 0) << t.why;
        EXPECT_EQ(v, t.expect) << t.why;
    }
    WebViewMsgFlush();
    gPage.posts.clear();
    WebViewSelectForObject(push);   // as the property change does before the kind's handler
    bool write = true;
    WebButtonSetProp(push, 345, push->context, nullptr, 0, &write);
    EXPECT_EQ(AllPosts(), "") << "an unchanged Context sends nothing";
    WebButtonSetProp(push, 345, 6, nullptr, 0, &write);
    std::string posts = AllPosts();
    EXPECT_NE(posts.find("\"remc\": \"btn-dark\", \"addc\": \"btn-secondary\""), std::string::npos)
        << posts;
    gPage.posts.clear();
    EXPECT_EQ(ObjectSetText(check, 1, "New", 3), 0) << "set text of item 1";
    EXPECT_EQ(AllPosts(), "") << "is ignored";
    EXPECT_EQ(ObjectGetText(check, 0), 0);
    EXPECT_STREQ(gTextBuf, "Check");
    EXPECT_EQ(ObjectSetText(check, 0, "Neu", 3), 0);
    posts = AllPosts();
    EXPECT_NE(posts.find("L\""), std::string::npos) << "a check box's text goes to its label\n" << posts;

    gPage.posts.clear();
    WebButtonSetProp(push, 332, 0, "a\"b.png", 7, &write);
    WebButtonSetProp(push, 331, 0, "<x>", 3, &write);
    WebButtonSetProp(push, 332, 0, "a\"b.png", 7, &write);
    posts = AllPosts();
    EXPECT_NE(posts.find("a&quot;b.png"), std::string::npos) << "the image URL is escaped\n" << posts;
    EXPECT_NE(posts.find("alt=\\\"&lt;x&gt;\\\""), std::string::npos) << "and its alternative text\n" << posts;

    // The checked state lives in the page.
    RecPageInit(&gPage, &gPage, gHost, DeliverToChannelOwner);
    RecPageAnswer(&gPage, 9, "{\"data\": true}", 0);
    int32_t value = 0;
    EXPECT_EQ(ObjectGetValue(check, 0, &value), 0);
    EXPECT_EQ(value, 1) << "the page's true reads 1";
    RecPageInit(&gPage, &gPage, gHost, DeliverToChannelOwner);
    RecPageAnswer(&gPage, 9, "{\"data\": false}", 0);
    bool w2 = true;
    WebButtonSetProp(radio, 50, 3, nullptr, 0, &w2);
    WebButtonSetProp(check, 50, 3, nullptr, 0, &w2);
    int32_t sel = -1;
    const char* text = nullptr;
    WebGetProp(radio, 153, &sel, &text);
    EXPECT_EQ(sel, 0) << "SelGroupId of a group with no checked member";
    EXPECT_EQ(WebButton(check)->prevInGroup == radio || WebButton(radio)->prevInGroup == check, true)
        << "the group is one chain";
}

// A push button's Picture and Icon are shown through the page's base URL: a
// plain name goes behind it, URLs that name their place already go as they
// stand, and nothing longer than 300 bytes is shown.
TEST(WebButtonImages, SourceThroughTheBaseUrl) {
    const char* kBase = "file:///C:/prog/qovwv_html";
    std::string fits(300 - strlen(kBase) - 2, 'n');   // with the base and '/': 299 bytes
    std::string over = fits + "n";                     // 300 bytes with them
    std::string longest(300, 'u');
    struct Case {
        std::string url;
        const char* base;
        bool shown;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {"./images/logo.gif", kBase, true, std::string(kBase) + "/./images/logo.gif", "a relative name gets the base"},
        {std::string(kBase) + "/images/a.gif", kBase, true, std::string(kBase) + "/images/a.gif",
         "a URL under the base already"},
        {"http://host/a.gif", kBase, true, "http://host/a.gif", "a URL with \"://\" as it stands"},
        {"data:image/gif;base64,R0lG", kBase, true, "data:image/gif;base64,R0lG", "any URL with a scheme"},
        {"!images/raw.gif", kBase, true, "images/raw.gif", "a '!' URL without its mark and without the base"},
        {"./images/logo.gif", "", true, "./images/logo.gif", "no base known: the name as it is"},
        {fits, kBase, true, std::string(kBase) + "/" + fits, "the whole under 300 bytes"},
        {over, kBase, true, over, "a whole of 300 bytes keeps the name as it is"},
        {longest, kBase, true, longest, "a URL of 300 bytes is still shown"},
        {longest + "u", kBase, false, "", "a longer URL puts the caption back"},
        {"", kBase, false, "", "so does an empty one"},
    };
    for (const Case& k : kCases) {
        char out[400];
        EXPECT_EQ(WebButtonImageSource(k.url.c_str(), k.base, out, sizeof out), k.shown) << k.why;
        EXPECT_EQ(std::string(out), k.expect) << k.why;
    }
}

TEST_F(WebObjects, ButtonPictureBehindThePageBaseUrl) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* push = Create(kTypeButton, [](ObjectCreateRecord* c) { c->text = CrText{"Go", 2}; });
    ASSERT_NE(push, nullptr);
    ScopedSet<const char* (*)()> dir(gWebHooks.programDir, [] { return "C:\\prog\\"; });
    AllPosts();
    gPage.posts.clear();
    WebViewSelectForObject(push);   // as the property change does before the kind's handler
    bool write = true;
    WebButtonSetProp(push, 122, 0, "logo.gif", 8, &write);
    WebButtonSetProp(push, 332, 0, "plain.gif", 9, &write);
    std::string posts = AllPosts();
    EXPECT_NE(posts.find("src=\\\"file:///C:/prog/qovwv_html/./images/logo.gif\\\""), std::string::npos)
        << "a Picture name through the page's base URL\n" << posts;
    EXPECT_NE(posts.find("src=\\\"plain.gif\\\""), std::string::npos) << "a UrlSource as it is given\n" << posts;
    // A Picture or Icon name holding a NUL names no file: cut there, it would
    // show logo.gif or logo.ico. The button shows its caption instead.
    const std::string kCutNames[] = {std::string("logo.gif\0x.gif", 14), std::string("logo.ico\0x.ico", 14)};
    const uint32_t kCutIds[] = {122, 121};
    for (size_t i = 0; i < 2; ++i) {
        WebButtonSetProp(push, 332, 0, "plain.gif", 9, &write);
        ForgetPosts();
        WebButtonSetProp(push, kCutIds[i], 0, kCutNames[i].data(), static_cast<uint32_t>(kCutNames[i].size()), &write);
        posts = AllPosts();
        EXPECT_EQ(posts.find("src="), std::string::npos) << kCutIds[i] << ": no image\n" << posts;
        EXPECT_NE(posts.find("Go"), std::string::npos) << kCutIds[i] << ": the caption is back\n" << posts;
        EXPECT_EQ(WebButton(push)->imageUrl, nullptr) << kCutIds[i];
    }
}

TEST_F(WebObjects, CommonStyleMethods) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* check = Create(kTypeCheckbox, nullptr);
    ObjectRecord* push = Create(kTypeButton, nullptr);
    ASSERT_TRUE(check && push);
    gWebObjServices.replyText = NoteReplyText;
    gWebObjServices.replyInt = NoteReplyInt;
    struct Case {
        ObjectRecord* rec;
        int32_t option;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {check, 1, "C" + std::to_string(check->elementId) + "D", "a check box's wrapper with option 1"},
        {check, 0, "C" + std::to_string(check->elementId), "its element without"},
        {push, 1, "C" + std::to_string(push->elementId), "a button has no wrapper"},
    };
    for (const Case& k : kCases) {
        MethodCallRec call = Call(3, {k.option});
        EXPECT_EQ(ObjectInvokeCommonMethod(kTypeCheckbox, k.rec, &call), kWebNoAnswer) << k.why;
        EXPECT_EQ(gReplyText, k.expect) << k.why;
    }
    MethodCallRec enable = Call(5);
    gReplyInt = -1;
    WebStyleMethod(nullptr, &enable);
    MethodCallRec flags = Call(2);
    gReplyInt = -1;
    EXPECT_EQ(ObjectInvokeMethod(kTypeButton, push, &flags), kWebNoAnswer);
    EXPECT_EQ(gReplyInt, WebButton(push)->style) << "GetCtlFlags answers the style word";
}

TEST_F(WebObjects, ChosenFilesStayWithTheirButton) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* a = Create(kTypeButton, [](ObjectCreateRecord* c) { c->buttonType = 3; });
    ObjectRecord* b = Create(kTypeButton, [](ObjectCreateRecord* c) { c->buttonType = 3; });
    ASSERT_TRUE(a && b);
    struct Case {
        ObjectRecord* rec;
        const char* event;
        uint32_t count;
        const char* item0;   // parts 7 of file 0
        const char* why;
    };
    const Case kCases[] = {
        {a, R"({"em": 2, "ev": ["x.txt", "y.png"], "v1": ["text/plain", "image/png"], "v2": [10, 20]})", 2,
         "x.txt|text/plain|10", "two files"},
        {b, R"({"em": 5, "ev": ["z"], "v1": [], "v2": ["big"]})", 1, "z||0",
         "a count above the names, missing types and a text size: bounded, empty and 0"},
        {b, R"({"em": 1, "ev": "z", "v1": 3})", 0, "", "non-array members are ignored"},
        {b, R"({"em": 2, "ev": ["p", "q"], "v2": [1, 2]})", 2, "p||1", "no types at all"},
    };
    for (const Case& k : kCases) {
        JsonValue* v = JsonParse(k.event, strlen(k.event));
        ASSERT_NE(v, nullptr) << k.why;
        WebButtonFilesChosen(k.rec, v);
        JsonFree(v);
        EXPECT_EQ(WebButtonFileCount(k.rec), k.count) << k.why;
        WebButtonFileItem(k.rec, 0, 7);
        EXPECT_STREQ(gTextBuf, k.item0) << k.why;
    }
    EXPECT_EQ(WebButtonFileCount(a), 2u) << "the other button's files stay";
    WebButtonFilesFree(b);
    EXPECT_EQ(WebButtonFileCount(b), 0u);
    WebButtonFileItem(a, 1, 1);
    EXPECT_STREQ(gTextBuf, "y.png") << "freeing one button's files leaves the other's";
    gPage.posts.clear();
    uint32_t elementA = a->elementId;
    ObjectDestroy(a);
    EXPECT_EQ(gWebChosenFiles, nullptr) << "a destroyed button's files go with it";
    std::string posts = AllPosts();
    EXPECT_NE(posts.find("\"delid\": \"C" + std::to_string(elementA) + "F\""), std::string::npos)
        << "and its hidden file input\n" << posts;
}

TEST_F(WebObjects, EnterGoesToTheDefaultButtonFromPlainEditsOnly) {
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    ObjectRecord* ok = Create(kTypeButton, [](ObjectCreateRecord* c) {
        c->values[48] = 1;
        c->given[48] = 1;
    });
    ObjectRecord* plain = Create(kTypeEdittext, nullptr);
    ObjectRecord* typed = Create(kTypeEdittext, [](ObjectCreateRecord* c) {
        c->values[8] = 2;   // EditType 2
        c->given[8] = 1;
    });
    ASSERT_TRUE(ok && plain && typed);
    int32_t values[4] = {1, 0, 0, 0};
    ASSERT_EQ(EventRegister(ok, kEvClick, values, false, nullptr, 0), 0);
    gWebActiveWindow = w;
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    reinterpret_cast<WindowRecord*>(w)->focusObj = typed;
    WebPageEnterKey();
    EXPECT_FALSE(EventTakeNext(&ev, items, &count)) << "an edit of EditType 2 keeps its Enter";
    reinterpret_cast<WindowRecord*>(w)->focusObj = plain;
    WebPageEnterKey();
    ASSERT_TRUE(EventTakeNext(&ev, items, &count)) << "a plain edit's Enter presses the default button";
    EXPECT_EQ(ev.handle, ok->handle);
    EventCleanup();
}

TEST_F(WebObjects, PageIsAskedOnceForAListLabelAndNotForListDoubleClicks) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* rows = Create(kTypeLabelText, [](ObjectCreateRecord* c) { c->appearance = 3; });
    ObjectRecord* alert = Create(kTypeLabelText, [](ObjectCreateRecord* c) { c->appearance = 7; });
    ObjectRecord* list = Create(kTypeDatalist, nullptr);
    ASSERT_TRUE(rows && alert && list);
    int32_t values[4] = {1, 0, 0, 0};
    gPage.posts.clear();
    for (uint32_t e : {kEvClick, kEvDblClick, kEvMouseDown}) ASSERT_EQ(EventRegister(rows, e, values, false, nullptr, 0), 0);
    std::string posts = AllPosts();
    size_t first = posts.find("\"lte\": 1");
    EXPECT_NE(first, std::string::npos) << posts;
    EXPECT_EQ(posts.find("\"lte\": 1", first + 1), std::string::npos) << "asked once, whatever is registered\n" << posts;
    gPage.posts.clear();
    ASSERT_EQ(EventRegister(alert, kEvClick, values, false, nullptr, 0), 0);
    posts = AllPosts();
    EXPECT_NE(posts.find("\"en\": 4, \"prec\": 1"), std::string::npos) << "an alert's click is an ordinary one\n" << posts;
    EXPECT_EQ(posts.find("lte"), std::string::npos) << posts;
    gPage.posts.clear();
    ASSERT_EQ(EventRegister(list, kEvDblClick, values, false, nullptr, 0), 0);
    EXPECT_EQ(AllPosts().find("\"en\": 6"), std::string::npos) << "a table-form list reports its double clicks itself";
}

TEST_F(WebObjects, AnEmptyDataListTakesNoTabStep) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    auto make = [&](uint32_t type, int32_t tab) { return CreateIn(w, type, tab); };
    ObjectRecord* first = make(kTypeButton, 1);
    ObjectRecord* list = make(kTypeDatalist, 2);
    ObjectRecord* last = make(kTypeButton, 3);
    ASSERT_TRUE(first && list && last);
    first->tabId = 1;
    list->tabId = 2;
    last->tabId = 3;
    gWebActiveWindow = w;
    WindowRecord* win = reinterpret_cast<WindowRecord*>(w);
    win->focusObj = first;
    EXPECT_TRUE(WebFocusNextObject(first, false));
    EXPECT_EQ(win->focusObj, last) << "the list without rows is passed over";
    ASSERT_EQ(WebInsertItem(list, -1, "row", 3), 0);
    win->focusObj = first;
    EXPECT_TRUE(WebFocusNextObject(first, false));
    EXPECT_EQ(win->focusObj, list) << "with a row it takes the step";
}

TEST_F(WebObjects, SetFocusGoesIntoAnHtmlControlAndClosesADateCalendar) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    ObjectRecord* date = Create(kTypeEditDateTime, [&](ObjectCreateRecord* c) { c->window = w->handle; });
    ObjectRecord* html = Create(kTypeHTMLControl, [&](ObjectCreateRecord* c) { c->window = w->handle; });
    ObjectRecord* button = Create(kTypeButton, [&](ObjectCreateRecord* c) { c->window = w->handle; });
    ASSERT_TRUE(date && html && button);
    ASSERT_TRUE(w->flags & kObjShown);
    reinterpret_cast<WindowRecord*>(w)->focusObj = date;
    gWebActiveWindow = w;
    WebViewMsgFlush();
    gPage.posts.clear();
    WebSetFocus(button, 0);
    std::string posts = AllPosts();
    char close[64];
    snprintf(close, sizeof close, "\"action\": 27, \"name\": \"C%u\", \"dwid\": 7", date->elementId);
    EXPECT_NE(posts.find(close), std::string::npos) << "the date field's calendar closes\n" << posts;
    reinterpret_cast<WindowRecord*>(w)->focusObj = button;
    WebViewMsgFlush();
    gPage.posts.clear();
    WebSetFocus(html, 0);
    posts = AllPosts();
    char into[64];
    snprintf(into, sizeof into, "\"action\": 35, \"name\": \"C%u\", \"dwid\": 8", html->elementId);
    EXPECT_NE(posts.find(into), std::string::npos) << "the focus goes into the control's page\n" << posts;
    EXPECT_EQ(posts.find("\"action\": 14"), std::string::npos) << "not to the control's element";
}

TEST_F(WebObjects, TabOrderAndEnabling) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    auto button = [&](int32_t tab) {
        return Create(kTypeButton, [&](ObjectCreateRecord* c) {
            c->window = w->handle;
            c->tabId = tab;
        });
    };
    ObjectRecord* third = button(3);
    ObjectRecord* first = button(1);
    ObjectRecord* second = button(2);
    ASSERT_TRUE(first && second && third);
    first->tabId = 1;
    second->tabId = 2;
    third->tabId = 3;
    ASSERT_TRUE(w->flags & kObjShown);
    gWebActiveWindow = w;
    WindowRecord* win = reinterpret_cast<WindowRecord*>(w);
    win->focusObj = nullptr;
    second->flags |= kObjDisabled;
    struct Step {
        bool backward;
        ObjectRecord* expect;
        const char* why;
    };
    const Step kSteps[] = {
        {false, first, "no focus yet: the lowest TabId"},
        {false, third, "the disabled one is passed over"},
        {false, first, "round to the start"},
        {true, third, "backward from the first: the last"},
    };
    for (const Step& s : kSteps) {
        WebViewMsgFlush();
        gPage.posts.clear();
        EXPECT_TRUE(WebFocusNextObject(WebFocusedObject(), s.backward)) << s.why;
        EXPECT_EQ(win->focusObj, s.expect) << s.why;
        std::string posts = AllPosts();
        char want[48];
        snprintf(want, sizeof want, "\"action\": 14, \"name\": \"C%u\"", s.expect->elementId);
        EXPECT_NE(posts.find(want), std::string::npos) << "the page is asked to focus it\n" << posts;
    }
    // A Tab in the page of another native window that holds its controls
    // (none here) steps through that window's own, and leaves the web window
    // in front of another page alone.
    ObjectRecord* other = ObjectAllocRecord(kKindWindow, sizeof(WindowRecord), false);
    ASSERT_NE(other, nullptr);
    reinterpret_cast<WindowRecord*>(other)->style[1] |= kWindowWebHostBit;
    WebViewMsgFlush();
    gPage.posts.clear();
    const char kTab[] = "{\"name\":\"\",\"et\":99996}";
    JsonValue* tab = JsonParse(kTab, sizeof kTab - 1);
    ASSERT_NE(tab, nullptr);
    WebPageEvent(tab, other);
    JsonFree(tab);
    ObjectFreeRecord(other);
    EXPECT_EQ(win->focusObj, third) << "the web window in front keeps its focus";
    EXPECT_EQ(AllPosts().find("\"action\": 14"), std::string::npos) << AllPosts();
    second->flags &= ~kObjDisabled;

    WebViewMsgFlush();
    gPage.posts.clear();
    EXPECT_EQ(ObjectDisable(w, 0), 0);
    EXPECT_TRUE(w->flags & kObjDisabled);
    EXPECT_FALSE(first->flags & kObjDisabled) << "disabling a window marks only the window";
    std::string posts = AllPosts();
    EXPECT_EQ(Count(posts, "\"pn\": \"disabled\", \"pv\": true"), 3u) << "its children get the page state\n" << posts;
    EXPECT_EQ(ObjectEnable(w, 0), 0);
    WebViewMsgFlush();
    gPage.posts.clear();
    first->flags |= kObjDisabled;
    w->flags |= kObjDisabled;
    w->kind = kKindPanel;   // a disabled container that is not a window
    EXPECT_EQ(ObjectEnable(first, 0), 0);
    w->kind = kKindWindow;
    EXPECT_FALSE(first->flags & kObjDisabled) << "enabling in a disabled container clears the own flag";
    EXPECT_EQ(AllPosts(), "") << "but sends nothing";
}

// What each kind's row says of it, seen through the generic operations: the
// event an activation with a routine registers, whether the tab steps reach
// it, whether its destroy deletes its page element, whether an unset
// background is white rather than the window's, and whether its geometry
// may be written in percent.
TEST_F(WebObjects, EachKindActivatesTakesTheFocusAndLeavesThePageAsItsRowSays) {
    constexpr uint32_t kWindowBg = 0x123456, kWhiteBg = 0xFFFFFF;
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    w->bgColor = kWindowBg;
    enum Bg { kBgWindow, kBgWhite, kBgOwn };   // an unset background: the window's, white, the kind's own
    struct Case {
        uint32_t type;
        uint32_t event;   // registered by the activation (an MRegion's $OLDEVENT as its mouse-up); 0 none
        bool focus, deletes;
        Bg bg;
        bool percent;
    };
    const Case kCases[] = {
        {kTypeButton, kEvClick, true, true, kBgWindow, true},
        {kTypeCheckbox, kEvClick, true, true, kBgWindow, true},
        {kTypeEdittext, kEvOldEvent, true, true, kBgWhite, true},
        {kTypeEditNumber, 0, true, true, kBgWhite, true},
        {kTypeEditDateTime, 0, true, true, kBgWhite, true},
        {kTypeListview, kEvClick, true, true, kBgWhite, true},
        {kTypeTreeview, kEvClick, true, true, kBgWhite, true},
        {kTypeSlider, kEvChange, true, true, kBgWindow, true},
        {kTypeTabcontrol, kEvChange, true, true, kBgWindow, true},
        {kTypeStattext, kEvMouseDown, false, true, kBgWindow, true},
        {kTypeLabelText, kEvMouseDown, false, true, kBgWindow, true},
        {kTypeGroupbox, kEvMouseDown, false, true, kBgWindow, true},
        {kTypeProgress, kEvMouseDown, false, true, kBgWhite, true},
        {kTypeShape, kEvMouseDown, false, true, kBgWindow, false},
        {kTypePict, kEvMouseDown, false, true, kBgWindow, true},
        {kTypeMRegion, kEvMouseUp, false, true, kBgWindow, true},
        {kTypeStatusbar, kEvClick, false, true, kBgWindow, false},
        {kTypeToolbar, kEvClick, false, true, kBgOwn, false},
        {kTypeTimer, kEvTimer, false, false, kBgWindow, true},
    };
    std::vector<ObjectRecord*> recs, focusable;
    for (const Case& c : kCases) {
        ObjectRecord* rec = CreateIn(w, c.type, static_cast<int32_t>(recs.size() + 1));
        ASSERT_NE(rec, nullptr) << "type " << c.type;
        rec->tabId = static_cast<int32_t>(recs.size() + 1);
        if (c.bg != kBgOwn) {
            EXPECT_EQ(rec->bgColor, c.bg == kBgWhite ? kWhiteBg : kWindowBg) << "type " << c.type;
        }
        EXPECT_EQ(WebKindTakesPercent(rec), c.percent) << "type " << c.type;
        recs.push_back(rec);
        if (c.focus) focusable.push_back(rec);
    }
    gWebActiveWindow = w;
    reinterpret_cast<WindowRecord*>(w)->focusObj = nullptr;
    for (size_t i = 0; i <= focusable.size(); ++i) {
        ASSERT_TRUE(WebFocusNextObject(WebFocusedObject(), false));
        EXPECT_EQ(WebFocusedObject(), focusable[i % focusable.size()]) << "tab step " << i;
    }
    for (size_t i = 0; i < recs.size(); ++i) {
        const Case& c = kCases[i];
        EXPECT_EQ(WebActivateObject(recs[i], 1, 0, 0, 0), 0) << "type " << c.type;
        if (c.event) {
            EXPECT_TRUE(EventIsRegistered(recs[i], c.event)) << "type " << c.type;
        }
        WebViewMsgFlush();
        gPage.posts.clear();
        std::string delid = "\"delid\": \"C" + std::to_string(recs[i]->elementId);
        EXPECT_EQ(ObjectDestroy(recs[i]), 0) << "type " << c.type;
        EXPECT_EQ(AllPosts().find(delid) != std::string::npos, c.deletes) << "type " << c.type;
    }
    // The image list is an object of no window and no element.
    ObjectRecord* list = Create(kTypeImagelist, nullptr);
    ASSERT_NE(list, nullptr);
    WebViewMsgFlush();
    gPage.posts.clear();
    EXPECT_EQ(ObjectDestroy(list), 0);
    EXPECT_EQ(AllPosts().find("\"delid\""), std::string::npos) << "an image list deletes no element";
}

// Tab with the focus in an HTML control steps through its page first: the
// page is asked for the element after the control's current tab id, and only
// when it has none does the next object take the focus; an empty table-form
// data list is passed over on the way.
TEST_F(WebObjects, TabStepsThroughAnHtmlControlsPageBeforeLeavingIt) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* w = Window(0, 0, 300, 400);
    ASSERT_NE(w, nullptr);
    auto make = [&](uint32_t type, int32_t tab) { return CreateIn(w, type, tab); };
    ObjectRecord* html = make(kTypeHTMLControl, 1);
    ObjectRecord* list = make(kTypeDatalist, 2);
    ObjectRecord* button = make(kTypeButton, 3);
    ASSERT_TRUE(html && list && button);
    html->tabId = 1, list->tabId = 2, button->tabId = 3;
    list->flags |= kDataListMark;   // table form, no rows
    ASSERT_TRUE(w->flags & kObjShown);
    gWebActiveWindow = w;
    WindowRecord* win = reinterpret_cast<WindowRecord*>(w);
    win->focusObj = html;
    WebHtmlCtl(html)->currentTab = 4;
    ScopedSet<void (*)(RecPage*, ObjectRecord*, const char*)> answered(gPage.deliver, DeliverToChannelOwner);
    struct Step {
        const char* reply;
        bool backward;
        ObjectRecord* expect;
        const char* fwd;   // the step's direction as the page is told it
        const char* why;
    };
    const Step kSteps[] = {
        {"{\"tabid\": 6}", false, html, "\"fwd\": 1, \"tid\": 4", "the page has an element after tab id 4"},
        {"{\"tabid\": 2}", true, html, "\"dwid\": 8, \"tid\": 4", "and one before it"},
        {"{\"tabid\": 0}", false, button, "\"fwd\": 1, \"tid\": 4", "none after it: the focus leaves the control"},
    };
    for (const Step& st : kSteps) {
        win->focusObj = html;
        gPage.answers.clear();
        RecPageAnswer(&gPage, 35, st.reply, 0);
        WebViewMsgFlush();
        gPage.posts.clear();
        EXPECT_TRUE(WebFocusNextObject(html, st.backward)) << st.why;
        std::string posts = AllPosts();
        char ask[64];
        snprintf(ask, sizeof ask, "\"action\": 35, \"name\": \"C%u\", \"dwid\": 8", html->elementId);
        EXPECT_NE(posts.find(ask), std::string::npos) << st.why << "\n" << posts;
        EXPECT_NE(posts.find(st.fwd), std::string::npos) << st.why << "\n" << posts;
        char focus[48];
        snprintf(focus, sizeof focus, "\"action\": 14, \"name\": \"C%u\"", st.expect->elementId);
        EXPECT_EQ(posts.find(focus) != std::string::npos, st.expect != html) << st.why << "\n" << posts;
        EXPECT_EQ(win->focusObj, st.expect) << st.why << "\n" << posts;
    }
    gPage.answers.clear();
}

// ---- The HTML control ------------------------------------------------------------------------

namespace {
// The texts must outlive the call.
MethodCallRec TextCall(uint32_t method, const std::vector<std::string>& texts, std::vector<int32_t> ints = {}) {
    MethodCallRec call = Call(method, {});
    uint32_t i = 0;
    for (const std::string& t : texts) {
        call.args[i].kind = kItemText;
        call.args[i].size = static_cast<uint32_t>(t.size());
        call.args[i].data = t.data();
        call.argPresent[i++] = 1;
    }
    for (int32_t v : ints) {
        call.args[i].kind = 1;
        call.args[i].value = static_cast<uint32_t>(v);
        call.argPresent[i++] = 1;
    }
    call.argCount = i;
    return call;
}
}  // namespace

TEST_F(WebObjects, HtmlControlContentAndElements) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    const std::string content = "<p>a</p><!-- QOVPWS <b>1</b> --> x <!-- QOVPWS <i>2</i> -->";
    ObjectRecord* html = Create(kTypeHTMLControl, [&](ObjectCreateRecord* c) {
        c->innerHtml = CrText{content.data(), static_cast<uint32_t>(content.size())};
    });
    ASSERT_NE(html, nullptr);
    ASSERT_EQ(html->kind, kKindHtmlControl);
    gWebObjServices.replyText = NoteReplyText;
    gWebObjServices.replyInt = NoteReplyInt;

    std::string posts = AllPosts();
    EXPECT_NE(posts.find("<p>a</p>            <b>1</b>     x             <i>2</i>    "), std::string::npos)
        << "both blocks made live:\n" << posts;
    EXPECT_EQ(Count(posts, "\"dwid\": 7"), 1u) << "the shown note once";
    int32_t value = 0;
    const char* text = nullptr;
    ASSERT_EQ(WebHtmlControlGetProp(html, kPidInnerHtml, &value, &text), 0);
    EXPECT_EQ(std::string(text), content) << "the kept copy keeps its markers";

    gPage.posts.clear();
    const std::vector<std::string> frameArgs = {"!page.html?a='1'"};
    MethodCallRec frame = TextCall(1, frameArgs);
    EXPECT_EQ(ObjectInvokeMethod(kTypeHTMLControl, html, &frame), kWebNoAnswer);
    posts = AllPosts();
    EXPECT_NE(posts.find("<iframe class='qovif' width='"), std::string::npos) << posts;
    EXPECT_NE(posts.find("src='page.html?a=&#39;1&#39;'"), std::string::npos) << "the URL is escaped:\n" << posts;
    EXPECT_EQ(Count(posts, "\"dwid\": 7"), 0u) << "not again";
    // A URL holding a NUL frames no page (cut there, it would frame page.html):
    // answered 2, the content as it was.
    gPage.posts.clear();
    const std::vector<std::string> cutArgs = {std::string("!page.html\0x", 12)};
    MethodCallRec cut = TextCall(1, cutArgs);
    gReplyInt = -9;
    EXPECT_EQ(ObjectInvokeMethod(kTypeHTMLControl, html, &cut), kWebNoAnswer);
    EXPECT_EQ(gReplyInt, 2) << "a URL holding a NUL";
    EXPECT_EQ(AllPosts(), "") << "nothing goes to the page";
    ASSERT_EQ(WebHtmlControlGetProp(html, kPidInnerHtml, &value, &text), 0);
    EXPECT_NE(std::string(text).find("src='page.html?a="), std::string::npos) << "the content kept: " << text;

    RecPageAnswer(&gPage, 52, "{\"val\":\"true\"}", 0);
    struct Case {
        uint32_t method;
        std::vector<std::string> args;
        const char* sent;
        const char* why;
    };
    const Case kCases[] = {
        {2, {"box", "Checked"}, "\"dwid\": 2", "GetAttr Checked: a state"},
        {2, {"box", "Value"}, "\"dwid\": 3", "GetAttr value"},
        {2, {"box", "title"}, "\"dwid\": 6", "GetAttr of an attribute"},
        {3, {"box", "color"}, "\"dwid\": 1", "GetCss"},
        {4, {"box", "html", "<b/>"}, "\"dwid\": 4", "SetAttr html"},
        {5, {"box", "color", "red"}, "\"dwid\": 1", "SetCss"},
    };
    for (const Case& k : kCases) {
        gPage.posts.clear();
        MethodCallRec call = TextCall(k.method, k.args);
        EXPECT_EQ(ObjectInvokeMethod(kTypeHTMLControl, html, &call), kWebNoAnswer) << k.why;
        posts = AllPosts();
        EXPECT_NE(posts.find(k.sent), std::string::npos) << k.why << "\n" << posts;
        EXPECT_NE(posts.find("\"sel\": \"#box\""), std::string::npos) << k.why;
    }
    // The page reloads ("action" 1): the kept content goes to it again.
    gPage.posts.clear();
    const char kLoaded[] = "{\"action\": 1}";
    WebViewMsgReceive(gHost, kLoaded, sizeof kLoaded - 1);
    WebViewProcessPending();
    EXPECT_NE(AllPosts().find("src='page.html?a=&#39;1&#39;'"), std::string::npos) << "the content is back";

    MethodCallRec pict = Call(8);
    EXPECT_EQ(ObjectInvokeMethod(kTypeHTMLControl, html, &pict), -3) << "MakePict is not available here";
    MethodCallRec beyond = Call(13);
    EXPECT_EQ(ObjectInvokeMethod(kTypeHTMLControl, html, &beyond), kWebUnknownMethod);
}

TEST_F(WebObjects, HtmlControlBoundRows) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    ObjectRecord* html = Create(kTypeHTMLControl, nullptr);
    ASSERT_NE(html, nullptr);
    gWebObjServices.replyInt = NoteReplyInt;
    MethodCallRec bind = Call(10, {7});
    ObjectInvokeMethod(kTypeHTMLControl, html, &bind);
    EXPECT_EQ(gReplyInt, static_cast<int32_t>(html->elementId)) << "binding answers the element id";
    MethodCallRec other = Call(10, {8});
    ObjectInvokeMethod(kTypeHTMLControl, html, &other);
    EXPECT_EQ(gReplyInt, 0) << "bound to another table";
    MethodCallRec rows = Call(11);
    rows.argCount = 4;
    for (uint32_t i : {0u, 1u, 3u}) {
        rows.args[i].kind = 1;
        rows.argPresent[i] = 1;
    }
    rows.args[0].value = 1, rows.args[1].value = 3, rows.args[3].value = 1;
    ObjectInvokeMethod(kTypeHTMLControl, html, &rows);
    std::string posts = AllPosts();
    EXPECT_NE(posts.find("\"dt\": 1"), std::string::npos) << posts;

    char name[32];
    auto key = [&](int32_t k) {
        snprintf(name, sizeof name, "C%u", html->elementId);
        Dispatch(gHost, std::string("{\"name\": \"") + name + "\", \"et\": 99983, \"ev\": " + std::to_string(k) + "}");
    };
    gPage.posts.clear();
    key(38);
    EXPECT_EQ(TakeEvent().first, -1) << "Up on the first row posts nothing";
    EXPECT_EQ(Count(AllPosts(), "\"rn\""), 0u) << "and sends nothing";
    key(40);
    EXPECT_EQ(TakeEvent().first, static_cast<int32_t>(kEvHtmlControl)) << "Down moves a row";
    EXPECT_NE(AllPosts().find("\"rn\": 2"), std::string::npos);
    key(35);
    key(40);
    EXPECT_EQ(TakeEvent().first, static_cast<int32_t>(kEvHtmlControl)) << "End";
    EXPECT_EQ(TakeEvent().first, -1) << "Down on the last row posts nothing";

    snprintf(name, sizeof name, "C%uR2I1", html->elementId);
    Dispatch(gHost, std::string("{\"name\": \"") + name + "\", \"et\": 99990, \"ev\": 5, \"em\": 1}");
    EventReg* reg = EventFindReg(html, kEvHtmlControl);
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(TakeEvent().first, static_cast<int32_t>(kEvHtmlControl)) << "a click on a row of the content";
    EXPECT_EQ(reg->values[0], 2);
    EXPECT_EQ(reg->values[1], 1);
    EXPECT_EQ(WebHtmlCtl(html)->currentRow, 2) << "the clicked row is current";
    EventCleanup();
}

namespace {
ObjectRecord* gTwinOwner;
ObjectRecord* gTwin;
std::vector<std::string> gOwnerFocus;
ObjectRecord* TwinOf(ObjectRecord* rec) { return rec == gTwinOwner ? gTwin : nullptr; }
void NoteOwnerFocus(ObjectRecord* rec, int32_t tab, const char* id) {
    gOwnerFocus.push_back(std::string(rec == gTwinOwner ? "owner" : "other") + " " + std::to_string(tab) + " " + id);
}
}  // namespace

// The page of an HTML control that owns a web view of its own (its twin is
// the page object): the page's own script event "C0" is the control's event
// 201 (sub-code 7, the text with it), of no other owner; focus into an
// element makes the owner the focused object with the element's id (and tab),
// and a tab step moves the twin's tab too.
TEST_F(WebObjects, HtmlControlOwnPageRoutesScriptAndFocusToTheOwner) {
    ASSERT_NE(Window(0, 0, 300, 400), nullptr);
    gTwinOwner = Create(kTypeHTMLControl, nullptr);
    gTwin = Create(kTypeHTMLControl, nullptr);
    ASSERT_TRUE(gTwinOwner && gTwin);
    gOwnerFocus.clear();
    ScopedSet<ObjectRecord* (*)(ObjectRecord*)> page(gWebHooks.htmlControlPage, TwinOf);
    ScopedSet<void (*)(ObjectRecord*, int32_t, const char*)> focus(gWebHooks.htmlControlFocus, NoteOwnerFocus);
    ASSERT_EQ(EventRegister(gTwin, kEvHtmlControl, nullptr, false, nullptr, 0), 0);
    const std::string twin = "C" + std::to_string(gTwin->elementId);

    Dispatch(gHost, R"({"name": "C0", "et": 99977, "edata": "from the window's page"})");
    EXPECT_EQ(TakeEvent().first, -1) << "a window's page has no owner to take \"C0\"";
    Dispatch(gTwinOwner, R"({"name": "C0", "et": 99977, "edata": "saved"})");
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    ASSERT_TRUE(EventTakeNext(&ev, items, &count)) << "\"C0\" of the control's own page";
    EXPECT_EQ(ev.eventId, static_cast<int32_t>(kEvHtmlControl));
    EXPECT_EQ(ev.kind, 7) << "the script event's sub-code";
    EXPECT_EQ(std::string(ev.text ? ev.text : "", ev.textLength), "saved");
    EXPECT_TRUE(gOwnerFocus.empty());

    Dispatch(gTwinOwner, R"({"name": ")" + twin + R"(", "et": 99971, "edata": "{\"id\":\"qty\",\"tab\":3}"})");
    Dispatch(gTwinOwner, R"({"name": ")" + twin + R"(", "et": 99972, "edata": "{\"id\":\"note\",\"tab\":0}"})");
    Dispatch(gTwinOwner, R"({"name": ")" + twin + R"(", "et": 99977, "edata": "{\"id\":\"go\"}"})");
    const std::vector<std::string> want = {"owner 3 qty", "owner -1 note", "owner -1 go"};
    EXPECT_EQ(gOwnerFocus, want) << "each focus event reaches the owner once, a tab with its tab";
    EXPECT_EQ(WebHtmlCtl(gTwin)->currentTab, 3u) << "the tab step moved the twin's tab";
    EXPECT_STREQ(WebHtmlCtl(gTwin)->focusId, "qty") << "the other focus events are the owner's alone";
    EXPECT_EQ(TakeEvent().first, -1) << "an element's script event in that page is a focus notice, no event";
    EventCleanup();
}

TEST(WebHtmlEdata, IdAndTab) {
    struct Case {
        const char* edata;
        bool found;
        std::string id;
        const char* why;
    };
    const Case kCases[] = {
        {"{\"id\":\"name\",\"tab\":3}", true, "name", "plain"},
        {"{\"id\": \"abcdefghijklmnopqrstuvwxyz0123456789\"}", true, "abcdefghijklmnopqrstuvwxyz01234", "cut at 31"},
        {"{\"id\":\"a\x01z\"}", true, "a", "a control character ends it"},
        {"{\"id\":5}", false, "", "not a text"},
        {"{}", false, "", "no marker"},
    };
    for (const Case& k : kCases) {
        char out[kHtmlFocusIdMax + 1];
        EXPECT_EQ(WebHtmlEdataId(k.edata, out), k.found) << k.why;
        EXPECT_EQ(std::string(out), k.id) << k.why;
    }
    uint32_t tab = 0;
    EXPECT_TRUE(WebHtmlEdataTab("{\"tab\": 12}", &tab));
    EXPECT_EQ(tab, 12u);
    EXPECT_FALSE(WebHtmlEdataTab("{\"tab\": x}", &tab));
    EXPECT_FALSE(WebHtmlEdataTab("{\"tab\": 99999999999}", &tab)) << "beyond 32 bits";
}

// ---- The web kind table ---------------------------------------------------------------------

TEST(WebKindTable, EveryKindHasOneCompleteRowWhateverTheInstallOrder) {
    WebObjectsInstall();
    uint32_t conflicts = WebKindConflicts();
    // Every kind a server type makes in the web view has a creator; every
    // kind with a creator and a page element writes its markup.
    for (uint32_t type = 0; type < 256; ++type) {
        int32_t kind = WebTypeToKind(type);
        if (kind <= 0) continue;
        const WebKindOps* ops = WebKindOpsOfKind(static_cast<uint32_t>(kind));
        if (!ops) continue;
        EXPECT_NE(ops->create, nullptr) << "kind " << kind;
    }
    const uint32_t kNoElement[] = {kKindColor, kKindFont, kKindImageList, kKindTimer, kKindMenu, kKindSubMenu,
                                   kKindFloatMenu, kKindMenuItem, kKindStatusPanel, kKindToolButton};
    for (uint32_t kind = 1; kind < kObjectKindRows; ++kind) {
        const WebKindOps* ops = WebKindOpsOfKind(kind);
        if (!ops || !ops->create) continue;
        bool element = std::find(std::begin(kNoElement), std::end(kNoElement), kind) == std::end(kNoElement);
        EXPECT_EQ(ops->markup != nullptr, element) << "kind " << kind;
        if (!element) {
            EXPECT_TRUE(ops->traits & kWebKindSendsNoDelete) << "kind " << kind << ": no element to delete";
        }
    }
    // Item kinds have a holder whose page shows them, and their holder answers their destroy.
    for (uint32_t kind : {kKindStatusPanel, kKindToolButton}) {
        ASSERT_NE(WebKindOpsOfKind(kind), nullptr);
        EXPECT_NE(WebKindOpsOfKind(kind)->subObjectHolder, nullptr) << "kind " << kind;
        EXPECT_NE(WebKindOpsOfKind(kind)->held, nullptr) << "kind " << kind;
    }
    // A second install changes nothing; another row for a kind that has one
    // is refused, so which file installs first cannot matter.
    const WebKindOps* tree = WebKindOpsOfKind(kKindTreeView);
    WebObjectsInstall();
    EXPECT_EQ(WebKindConflicts(), conflicts);
    static const WebKindOps kOther = {};
    EXPECT_FALSE(WebRegisterKind(kKindTreeView, &kOther));
    EXPECT_EQ(WebKindOpsOfKind(kKindTreeView), tree);
    EXPECT_EQ(WebKindConflicts(), conflicts + 1);
    EXPECT_EQ(conflicts, 0u) << "no kind was installed twice with different rows";
}
