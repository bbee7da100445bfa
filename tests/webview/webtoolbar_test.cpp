// webtoolbar_test.cpp - toolbars of the web view against the recording page: the
// flush that sends the buttons of shown bars, the events of page clicks, the
// methods, properties and the buttons the server holds.

#include "weblists_test.h"

#include <cstring>

#include "objects/events.h"
#include "objects/objops.h"
#include "webtest.h"
#include "webview/controls/webtoolbar.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webprops.h"
#include "webview/core/webobject.h"

namespace {

// Every queued event as "event/modifiers/value".
std::vector<std::string> EventsWithModifiers() {
    std::vector<std::string> out;
    EventRecord ev = {};
    EventItem items[kEventRegItems];
    uint32_t count = 0;
    while (EventTakeNext(&ev, items, &count))
        out.push_back(std::to_string(ev.eventId) + "/" + std::to_string(ev.modifiers) + "/" + std::to_string(ev.value));
    return out;
}

struct ButtonDef {
    int32_t style;
    int32_t image;
    const char* menuText;
    const char* toolTip;
    bool visible;
};

class WebToolBars : public WebLists {
protected:
    ObjectRecord* Bar(bool visible = true, int32_t downArrow = 0) {
        return Create(kTypeToolbar, [=](ObjectCreateRecord* c) {
            if (!visible) c->flags0 &= ~kCrVisible;
            c->values[211] = downArrow;
            c->given[211] = 1;
        });
    }
    ObjectRecord* Button(ObjectRecord* bar, const ButtonDef& d, int32_t tag = 0) {
        ObjectCreateRecord b;
        CreateRecordReset(&b);
        b.flags0 = d.visible ? kCrVisible : 0;
        const int32_t values[][2] = {{216, d.style}, {217, d.image}, {220, tag}};
        for (const auto& v : values) {
            b.values[v[0]] = v[1];
            b.given[v[0]] = 1;
        }
        if (d.menuText) b.texts[221] = CrText{d.menuText, static_cast<uint32_t>(strlen(d.menuText))};
        if (d.toolTip) b.toolTip = CrText{d.toolTip, static_cast<uint32_t>(strlen(d.toolTip))};
        int32_t code = 0;
        return ToolBarAddButton(bar, &b, &code);
    }
    std::string Flush() {
        gWebObjectOps.flushRedraws(nullptr);
        return Posts();
    }
    std::string Click(ObjectRecord* bar, uint32_t commandId, int32_t item, int32_t dbl) {
        return "{\"et\": 99973, \"name\": \"C" + std::to_string(bar->elementId) + "I" + std::to_string(commandId) +
               "\", \"em\": " + std::to_string(item) + ", \"ev\": " + std::to_string(dbl) + "}";
    }
};

TEST_F(WebToolBars, FlushSendsTheButtonsOfShownBars) {
    struct Case {
        std::vector<ButtonDef> buttons;
        bool visible;
        int32_t downArrow;
        std::vector<std::string> present, absent;
        const char* why;
    };
    const Case kCases[] = {
        {{{3, 1, nullptr, "Shown", true}, {3, 2, nullptr, "Gone", false}}, true, 0, {"Shown"}, {"Gone"},
         "a hidden button has no markup"},
        {{{3, 1, nullptr, "Early", true}}, false, 0, {}, {"\"action\": 54", "Early"},
         "a bar that is not shown stays queued: nothing is sent"},
        {{{1, 2, "Red", "Pick", true}}, true, 0,
         {"qovtbs2 qovtbse", "\"seli\":[\"<div class='qovtbi' style='background-position: -16px 0px;margin-top: 3px; "
                             "margin-left: 3px;'></div>\"]"},
         {"qovtbs1", "<button"}, "style 1 without DownArrow is a whole drop-down, its image in \"seli\""},
        {{{1, 2, "Red", "Pick", true}}, true, 1, {"<button class='qovtbbe qovtbs3'", "qovtbs1 qovtbse", "\"seli\":[]"},
         {"qovtbs2"}, "with DownArrow a push button and its arrow list"},
        {{{6, 0, nullptr, "a", true}, {6, 0, nullptr, "b", true}, {3, 0, nullptr, "c", true}, {6, 0, nullptr, "d", true}},
         true, 0, {"name='C@R1' class='qovtbcr qovtbbe' id='C@I1'", "name='C@R1' class='qovtbcr qovtbbe' id='C@I2'",
                   "name='C@R4' class='qovtbcr qovtbbe' id='C@I4'"},
         {}, "two runs of radio buttons are two groups"},
        {{{2, 0, "Red;-;(Blue", nullptr, true}}, true, 0,
         {"<option value='1'>Red</option><option value='2'>-</option><option value='3' disabled>Blue</option>"}, {},
         "a MenuText gives its options, a separator as \"-\", a disabled item disabled"},
        {{{3, 1, nullptr, "Tip", true}}, true, 0,
         {"padding-top: 3px; padding-left: 3px; height: 22px; width: 23px", "background-position: -0px 0px;'"}, {},
         "a push button 23 wide with 16-pixel images is padded 3 and shows the first image"},
        {{{3, 1, nullptr, "it's <b>", true}}, true, 0, {"title='it&#39;s &lt;b&gt;'"}, {"title='it's"},
         "the title is escaped"},
        {{{4, 0, nullptr, nullptr, true}}, true, 0, {"<span class='qovtbs4 ui-controlgroup-item' style='margin-left: 4px; height: 18px'>"}, {},
         "a separator of a bar without divider"},
    };
    for (const Case& k : kCases) {
        ObjectRecord* bar = Bar(k.visible, k.downArrow);
        ASSERT_NE(bar, nullptr) << k.why;
        for (const ButtonDef& d : k.buttons) ASSERT_NE(Button(bar, d), nullptr) << k.why;
        std::string posts = Flush();
        std::string id = std::to_string(bar->elementId);
        for (std::string p : k.present) {
            for (size_t at = p.find('@'); at != std::string::npos; at = p.find('@')) p.replace(at, 1, id);
            EXPECT_NE(posts.find(p), std::string::npos) << k.why << ": " << p << "\n" << posts;
        }
        for (const std::string& a : k.absent) EXPECT_EQ(posts.find(a), std::string::npos) << k.why << ": " << a;
        if (!k.visible) {
            ObjectActivate(bar, 0, 0, 0, 0);
            EXPECT_NE(Flush().find("Early"), std::string::npos) << "shown, the queued bar is sent";
        }
        ObjectDestroy(bar);
        Posts();
    }
}

TEST_F(WebToolBars, PageClicksRaiseTheBarsEvents) {
    ObjectRecord* bar = Bar();
    ASSERT_NE(bar, nullptr);
    const ButtonDef defs[] = {{3, 1, nullptr, "Push", true}, {2, 2, "Red;Green", nullptr, true},
                              {5, 0, nullptr, nullptr, true}, {6, 0, nullptr, nullptr, true},
                              {6, 0, nullptr, nullptr, true}};
    for (int i = 0; i < 5; ++i) ASSERT_NE(Button(bar, defs[i], 10 + i), nullptr);
    Register(bar, {kEvClick, kEvDblClick, 26});
    Flush();
    auto pushed = [&](uint32_t id) {
        for (WebToolButtonRecord* b = WebToolBar(bar)->buttons; b; b = b->nextItem)
            if (b->commandId == id) return (b->state & kTbsPushed) != 0;
        return false;
    };
    struct Case {
        uint32_t commandId;
        int32_t item, dbl;
        std::vector<std::string> events;
        const char* why;
    };
    const Case kCases[] = {
        {1, 0, 0, {"4/8/1", "26/0/10"}, "a push button: $CLICK with the command id, $BUTTONCLICK with the Tag"},
        {2, 2, 0, {"26/2/11"}, "a drop-down choice: $BUTTONCLICK with the item as modifiers"},
        {1, 0, 1, {"6/40/1"}, "a double click: $DBLCLICK with modifiers 40"},
        {2, 1, 1, {}, "a double-clicked choice raises nothing"},
        {9, 0, 0, {"4/8/9"}, "a click on no button still raises $CLICK"},
        {1, 70000, 0, {}, "an item beyond the range is dropped"},
    };
    for (const Case& k : kCases) {
        PageEvent(Click(bar, k.commandId, k.item, k.dbl));
        EXPECT_EQ(EventsWithModifiers(), k.events) << k.why;
    }
    PageEvent(Click(bar, 3, 0, 0));
    EventsWithModifiers();
    EXPECT_TRUE(pushed(3)) << "a check button toggles on";
    PageEvent(Click(bar, 4, 0, 0));
    PageEvent(Click(bar, 5, 0, 0));
    EventsWithModifiers();
    EXPECT_TRUE(!pushed(4) && pushed(5)) << "a radio button clears the others of its run";
    WebEnableObject(bar, 0, false);
    PageEvent(Click(bar, 1, 0, 0));
    EXPECT_TRUE(EventsWithModifiers().empty()) << "a disabled bar raises nothing";
    EXPECT_NE(Flush().find("\"dwid\": 4"), std::string::npos) << "and is sent disabled";
}

TEST_F(WebToolBars, MethodsPropertiesAndHeldButtons) {
    ObjectRecord* bar = Bar();
    ASSERT_NE(bar, nullptr);
    auto names = [&]() {
        std::string out;
        for (WebToolButtonRecord* b = WebToolBar(bar)->buttons; b; b = b->nextItem)
            out += std::string(b->hdr.runName ? b->hdr.runName : "?") + "#" + std::to_string(b->commandId) + ",";
        return out;
    };
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Call(bar, kTypeToolbar, 1, {}), "0");
    EXPECT_EQ(names(), "ToolBtn001#1,ToolBtn002#2,ToolBtn003#3,");
    EXPECT_EQ(Call(bar, kTypeToolbar, 3, {N(1)}), "0") << "RemoveButton answers 0 when it removed one";
    EXPECT_EQ(Call(bar, kTypeToolbar, 3, {T("ToolBtn009")}), "1") << "and 1 for no such button";
    EXPECT_EQ(Call(bar, kTypeToolbar, 1, {}), "0");
    EXPECT_EQ(names(), "ToolBtn001#1,ToolBtn003#3,ToolBtn003#4,") << "the name follows the count, the id moves on";
    struct Reply {
        uint32_t method;
        std::vector<Arg> args;
        std::string answer;
        const char* why;
    };
    const Reply kReplies[] = {
        {4, {N(0)}, "1", "SetImageList"},      {5, {N(0)}, "0", "SetImageListDisabled"},
        {6, {N(0)}, "0", "SetImageListHot"},   {8, {}, "2", "SetFocus: the bar takes no focus"},
        {9, {}, "1", "ResetImageList"},        {12, {T("x.bmp"), N(0)}, "1", "WriteImageListBmp writes nothing"},
        {13, {N(0x80), N(1)}, "129", "SetTBFlags answers the new low byte (client tips and the buttons object)"},
        {99, {}, "error -37", "an unknown method"},
    };
    for (const Reply& r : kReplies) EXPECT_EQ(Call(bar, kTypeToolbar, r.method, r.args), r.answer) << r.why;

    // An item selector names the button a property change goes to.
    PropChange req = {};
    req.code = 423;
    req.text = "Second";
    req.textLength = 6;
    req.selector.kind = kItemInt;
    req.selector.value = 1;
    EXPECT_EQ(WebSetProp(bar, &req), 0);
    EXPECT_STREQ(WebToolBar(bar)->buttons->nextItem->hdr.toolTip, "Second") << "index 1 is the second button";
    PropQuery q = {};
    q.code = 423;
    q.selector.kind = kItemInt;
    q.selector.value = 1;
    EXPECT_EQ(WebGetPropGeneric(bar, &q), 0);
    EXPECT_STREQ(q.text, "Second") << "a query by selector reads the button";
    req.selector.value = 7;
    WebSetProp(bar, &req);
    EXPECT_EQ(bar->toolTip, nullptr) << "a selector that names no button changes nothing, not the bar";

    // A button handed to the server outlives the server's release while on the bar.
    resultVar = 77;
    MethodCallRec get = {};
    get.objectType = kTypeToolbar;
    get.method = 2;
    get.argCount = 1;
    get.argPresent[0] = 1;
    get.args[0].kind = kItemInt;
    get.args[0].value = 0;
    get.result.kind = kItemObject;
    get.result.varRef = 77;
    gReplies.clear();
    EXPECT_EQ(WebCallMethod(bar, &get), kWebNoAnswer);
    ObjectRecord* first = &WebToolBar(bar)->buttons->hdr;
    EXPECT_EQ(gReplies.back(), std::to_string(first->handle));
    EXPECT_EQ(ObjectDestroy(first), 0);
    EXPECT_EQ(&WebToolBar(bar)->buttons->hdr, first) << "the server's release leaves the button on its bar";
    EXPECT_EQ(ObjectDestroy(first), kOpNoObject) << "out of the registry until handed out again";
    EXPECT_EQ(WebCallMethod(bar, &get), kWebNoAnswer);
    EXPECT_TRUE(ObjectIsLive(first)) << "handed out again, it is registered again";
}

}  // namespace
