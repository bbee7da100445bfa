// webmenu_test.cpp - menus of the web view against the recording page: items
// from the definition text, sub-menus, form menu rows, items as objects the
// server holds, bar items and their limits, page clicks and the shortcut table.

#include "weblists_test.h"

#include <cstring>

#include "objects/events.h"
#include "objects/objtables.h"
#include "webtest.h"
#include "webview/controls/webmenu.h"
#include "controls/ctlcore.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webprops.h"
#include "webview/core/webobject.h"

namespace {

// A kept text as the server reads it: the texts keep their '&' marks (the
// page underlines the letter after one), a read drops them.
std::string Read(const char* text) {
    std::string out;
    for (const char* p = text; p && *p; ++p) {
        if (*p == '&' && !*++p) break;
        out += *p;
    }
    return out;
}

std::string ItemsOf(ObjectRecord* rec) {
    std::string out;
    for (WebMenuItemRecord* it = WebMenu(rec)->items; it; it = it->next)
        out += std::to_string(it->itemNumber) + ":" + Read(it->text) + "/" + std::to_string(it->shortCut) + "/" +
               std::to_string(it->itemFlags) + ",";
    return out;
}

class WebMenus : public WebLists {
protected:
    ObjectRecord* Menu(const char* def, bool visible = true, uint32_t type = kTypeMenu) {
        return Create(type, [=](ObjectCreateRecord* c) {
            c->text = CrText{def, static_cast<uint32_t>(strlen(def))};
            if (!visible) c->flags0 &= ~kCrVisible;
        });
    }
};

TEST_F(WebMenus, DefinitionTextGivesTheItems) {
    struct Case {
        const char* def;
        std::string text;
        std::string items;
        const char* why;
    };
    const Case kCases[] = {
        {"&File;&Open/O;-;(E&xit", "File", "1:Open/55/0,2:-/0/2,3:Exit/0/1,",
         "Ctrl+O is 55, '-' alone a separator keeping its dash, '(' disables"},
        {"M;<CSF12Big;<F16", "M", "1:Big/129/0,2:6/1/0,", "<CSF12 is Ctrl+Shift+F12; <F16 is F1 and the text 6"},
        {"Solo", "Solo", "", "a definition of only the menu's text has no items"},
    };
    for (const Case& k : kCases) {
        ObjectRecord* m = Menu(k.def, false);
        ASSERT_NE(m, nullptr) << k.def;
        EXPECT_EQ(Read(WebMenu(m)->text), k.text) << k.why;
        std::string items = ItemsOf(m);
        // Item numbers relative to the base.
        std::string rel;
        for (WebMenuItemRecord* it = WebMenu(m)->items; it; it = it->next)
            rel += std::to_string(it->itemNumber - WebMenu(m)->baseNumber) + ":" + Read(it->text) + "/" +
                   std::to_string(it->shortCut) + "/" + std::to_string(it->itemFlags) + ",";
        EXPECT_EQ(rel, k.items) << k.why;
        ObjectDestroy(m);
    }
}

TEST_F(WebMenus, SubMenuIsMadeFromItsTextAndKeptOffTheBar) {
    ObjectRecord* sub = Menu("Recent;a.txt;b.txt", false, kTypeSubmenu);
    ASSERT_NE(sub, nullptr) << "a SubMenu is made in the web view as natively";
    EXPECT_EQ(sub->kind, kKindSubMenu);
    EXPECT_EQ(WebMenu(sub)->itemCount, 2u) << "its items come from its text";
    bool listed = false;
    for (ObjectRecord* m = reinterpret_cast<WindowRecord*>(window)->menus; m; m = m->next) listed |= m == sub;
    EXPECT_TRUE(listed) << "it is kept in its window's menu list";
    EXPECT_EQ(WebActivateObject(sub, 0, 0, 0, 0), kMenuNoParent) << "shown alone it has no item to hang below";
    EXPECT_EQ(Posts().find("\"action\": 36"), std::string::npos) << "and it is never on the bar";
    EXPECT_EQ(WebGetText(sub, 2), 5) << "its items' texts as a menu's";
    EXPECT_STREQ(gTextBuf, "b.txt");
    EXPECT_EQ(ObjectDestroy(sub), 0);
    EXPECT_EQ(reinterpret_cast<WindowRecord*>(window)->menus, nullptr) << "destroyed, it leaves the list";
}

TEST_F(WebMenus, FormMenuItemRowsGoIntoTheMenuMadeLast) {
    ObjectRecord* file = Menu("&File;&Open", false);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(gMenuMadeLast, file) << "the web menu is the one a form's item rows go into";
    struct Case {
        const char* text;
        uint32_t flags0;
        int32_t subMenu;      // a SubMenu handle the row names, 0 none
        int32_t expect;
        std::string items;
        const char* why;
    };
    const Case kCases[] = {
        {"&Print/P", 0, 0, 0, "101:Open/0/0,102:Print/56/0,", "appended, Ctrl+P parsed as the menu's own items are"},
        {"Quit", kCrDisabled, 0, 0, "101:Open/0/0,102:Print/56/0,103:Quit/0/1,", "a disabled row is a disabled item"},
        {"More", 0, -1, 0, "101:Open/0/0,102:Print/56/0,103:Quit/0/1,104:More/0/0,",
         "a row naming a SubMenu hangs it below its item"},
    };
    ObjectRecord* recent = Menu("Recent;a.txt", false, kTypeSubmenu);
    ASSERT_NE(recent, nullptr);
    gMenuMadeLast = file;
    for (const Case& k : kCases) {
        ObjectCreateRecord row;
        CreateRecordReset(&row);
        row.text = CrText{k.text, static_cast<uint32_t>(strlen(k.text))};
        row.flags0 = k.flags0;
        if (k.subMenu) {
            row.given[283] = 1;
            row.values[283] = static_cast<int32_t>(recent->handle);
        }
        int32_t code = 1;
        ObjectRecord* item = WebMenuItemCreate(gMenuMadeLast, &row, &code);
        EXPECT_EQ(code, k.expect) << k.why;
        EXPECT_EQ(item != nullptr, k.expect == 0) << k.why;
        EXPECT_EQ(ItemsOf(file), k.items) << k.why;
        if (item) {
            EXPECT_EQ(item->kind, kKindMenuItem);
            EXPECT_EQ(ObjectDestroy(item), 0) << "the item's object goes; the item stays its menu's";
        }
    }
    EXPECT_EQ(ItemsOf(file), "101:Open/0/0,102:Print/56/0,103:Quit/0/1,104:More/0/0,");
    EXPECT_EQ(WebMenu(recent)->ownerItem, WebMenuItemAt(WebMenu(file), 4)) << "the SubMenu hangs below More";
    ObjectDestroy(file);
    EXPECT_EQ(gMenuMadeLast, nullptr) << "a destroyed menu takes no more rows";
}

// A property change or query addressed to a menu, with an item selector
// (a zero-based place, or a name) when given.
PropChange MenuItemChange(uint32_t id, int32_t value, const char* name = nullptr, int32_t place = -1) {
    PropChange pc = {};
    for (const PropCodeRow* row = PropertyCodeTable; row->code; ++row)
        if (row->id == id) pc.code = row->code;
    pc.value = value;
    if (name) {
        pc.selector.kind = kItemText;
        pc.selector.data = name;
        pc.selector.size = static_cast<uint32_t>(strlen(name));
    } else if (place >= 0) {
        pc.selector.kind = kItemInt;
        pc.selector.value = static_cast<uint64_t>(place);
    }
    return pc;
}

TEST_F(WebMenus, ItemsAreObjectsTheServerHoldsAndAddresses) {
    ObjectRecord* file = Menu("&File;&Open;&Save");
    ASSERT_NE(file, nullptr);
    resultKind = kItemObject;
    std::string added = Call(file, kTypeMenu, 1, {kSkip, kSkip, N(0), N(0), kSkip, N(41), kSkip, kSkip, N(7),
                                                 T("&New"), T("NewItem")});
    ObjectRecord* item = ObjectFromHandle(static_cast<uint32_t>(atoi(added.c_str())));
    ASSERT_NE(item, nullptr) << "AddItem answers the item as an object: " << added;
    EXPECT_EQ(item->kind, kKindMenuItem);
    EXPECT_EQ(item->useCount, 2u) << "held by its menu and by the server";
    EXPECT_EQ(ItemsOf(file), std::to_string(WebMenu(file)->baseNumber + 1) + ":New/41/1," +
                                 std::to_string(WebMenu(file)->baseNumber + 2) + ":Open/0/0," +
                                 std::to_string(WebMenu(file)->baseNumber + 3) + ":Save/0/0,")
        << "at place 0, disabled, Ctrl+A";
    EXPECT_NE(WebMenuShortcutFind(window, static_cast<uint16_t>(WebMenu(file)->baseNumber + 1)), nullptr);
    EXPECT_EQ(Call(file, kTypeMenu, 2, {T("Mi02")}), std::to_string(WebMenuItemAt(WebMenu(file), 3)->hdr.handle))
        << "GetItem by its default name";
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 3)->hdr.useCount, 2u);
    EXPECT_EQ(Call(file, kTypeMenu, 2, {T("Nothing")}), "0");
    resultKind = 0;

    // Properties through the item's handle and through the menu's selector.
    EXPECT_EQ(WebSetPropById(item, 9, 1, nullptr, 0), 0);
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 1)->itemFlags & kWmiDisabled, 0u) << "enabled by its handle";
    EXPECT_EQ(WebSetPropById(item, 256, 1, nullptr, 0), 0);
    PropChange topic = MenuItemChange(315, 0, "NewItem");
    topic.text = "help.htm";
    topic.textLength = 8;
    topic.value = 8;
    EXPECT_EQ(WebSetProp(file, &topic), 0);
    EXPECT_STREQ(item->helpTopic, "help.htm") << "the item by its name";
    PropChange data = MenuItemChange(316, 0, nullptr, 1);
    data.text = "d2";
    data.textLength = 2;
    data.value = 2;
    EXPECT_EQ(WebSetProp(file, &data), 0);
    EXPECT_STREQ(WebMenuItemAt(WebMenu(file), 2)->hdr.userData, "d2") << "the second item by place";
    EXPECT_EQ(file->userData, nullptr) << "not the menu's own";
    PropChange none = MenuItemChange(315, 0, "Nothing");
    none.text = "x";
    none.textLength = 1;
    EXPECT_EQ(WebSetProp(file, &none), kWebUnknownProperty) << "a selector naming no item";
    EXPECT_EQ(Call(file, kTypeMenu, 6, {N(0)}), "8") << "checked through its handle";
    PropQuery q = {};
    q.code = topic.code;
    q.selector = topic.selector;
    EXPECT_EQ(WebGetPropGeneric(file, &q), 0);
    EXPECT_STREQ(q.text, "help.htm");
    Posts();
    PageEvent("{\"id\": " + std::to_string(window->elementId) + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
              std::to_string(WebMenu(file)->baseNumber) + "}");
    std::string posts = Posts();
    EXPECT_NE(posts.find("ui-icon-check"), std::string::npos) << "the popup shows the change\n" << posts;

    // Removed while the server holds it: the item answers as one without menu.
    EXPECT_EQ(Call(file, kTypeMenu, 3, {T("NewItem")}), "0");
    EXPECT_EQ(WebMenu(file)->itemCount, 2u);
    ASSERT_TRUE(ObjectIsLive(item));
    EXPECT_EQ(WebSetPropById(item, 9, 1, nullptr, 0), 0);
    int32_t enabled = -1;
    const char* text = nullptr;
    EXPECT_EQ(WebGetProp(item, 9, &enabled, &text), 0);
    EXPECT_EQ(enabled, 0) << "no menu: 0";
    EXPECT_EQ(ObjectDestroy(item), 0);
    EXPECT_FALSE(ObjectIsLive(item)) << "the server's release frees it";
    ObjectRecord* held = WebMenuItemAt(WebMenu(file), 2) ? &WebMenuItemAt(WebMenu(file), 2)->hdr : nullptr;
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(ObjectDestroy(file), 0);
    EXPECT_TRUE(ObjectIsLive(held)) << "an item the server got stays after its menu";
    EXPECT_EQ(ObjectDestroy(held), 0);
    EXPECT_FALSE(ObjectIsLive(held));
}

TEST_F(WebMenus, SubMenusHangBelowItemsAndOpenInTheirList) {
    ObjectRecord* file = Menu("&File;&Open;&Recent;E&xit");
    ObjectRecord* recent = Menu("Recent;a.txt;b.txt", false, kTypeSubmenu);
    ASSERT_TRUE(file && recent);
    Register(file, {kEvClick});
    Register(recent, {kEvClick});
    ObjectRecord* item = &WebMenuItemAt(WebMenu(file), 2)->hdr;
    EXPECT_EQ(WebSetPropById(item, 283, static_cast<int32_t>(recent->handle), nullptr, 0), 0);
    WebMenuRecord* sub = WebMenu(recent);
    EXPECT_EQ(sub->ownerItem, WebMenuItemAt(WebMenu(file), 2));
    EXPECT_TRUE(recent->flags & kObjShown);
    EXPECT_EQ(sub->refCount, 2u) << "the server's reference and the item's";
    EXPECT_EQ(Call(file, kTypeMenu, 5, {N(1)}), std::to_string(static_cast<int32_t>(0x80000000u)))
        << "GetItemType marks the SubMenu";
    EXPECT_EQ(Call(item, kTypeMenu, 4, {}), "2") << "an item's methods ask its SubMenu";
    EXPECT_EQ(Call(item, kTypeMenu, 7, {N(1)}), "'b.txt'");
    int32_t handle = 0;
    const char* none = nullptr;
    EXPECT_EQ(WebGetProp(item, 283, &handle, &none), 0);
    EXPECT_EQ(handle, static_cast<int32_t>(recent->handle)) << "the item's SubMenu property";
    EXPECT_EQ(sub->refCount, 3u) << "handed out with one reference more";
    WebSubMenuRelease(recent);

    Posts();
    std::string wid = std::to_string(window->elementId);
    auto click = [&](uint32_t number) {
        PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
                  std::to_string(number) + "}");
    };
    click(WebMenu(file)->baseNumber);
    std::string posts = Posts();
    std::string nested = "<ul id=\\\"C" + std::to_string(recent->elementId) + "\\\">";
    const std::string recentNumber = std::to_string(WebMenu(file)->baseNumber + 2);
    size_t recentItem = posts.find("M" + recentNumber + "F");
    size_t list = posts.find(nested);
    ASSERT_NE(list, std::string::npos) << "the SubMenu's list goes inside its item\n" << posts;
    EXPECT_LT(recentItem, list);
    const std::string subNumber = std::to_string(sub->baseNumber + 2);
    EXPECT_NE(posts.find("M" + subNumber + "F" + wid), std::string::npos);
    click(WebMenu(file)->baseNumber + 2);
    EXPECT_TRUE(Events().empty()) << "the item that opens a SubMenu is no command";
    click(sub->baseNumber + 2);
    EXPECT_EQ(Events(), (std::vector<std::pair<int32_t, int32_t>>{{kEvClick, 2}})) << "b.txt: the SubMenu's $CLICK";

    WebCheckItem(recent, 1, 1);
    Posts();
    click(WebMenu(file)->baseNumber);
    posts = Posts();
    EXPECT_NE(posts.find("\"delid\""), std::string::npos) << "a change below the menu sends its list again";
    EXPECT_NE(posts.find("ui-icon-check"), std::string::npos);

    // Hidden, it leaves the item; shown again, it goes back to it.
    EXPECT_EQ(WebHideObject(recent, 0), 0);
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 2)->subMenu, nullptr);
    EXPECT_EQ(sub->refCount, 1u);
    EXPECT_EQ(WebActivateObject(recent, 0, 0, 0, 0), 0);
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 2)->subMenu, sub);

    // Destroyed by the server while its item holds it: kept for the item,
    // freed when the item lets go.
    EXPECT_EQ(ObjectDestroy(recent), 0);
    EXPECT_FALSE(ObjectIsLive(recent)) << "the server cannot reach it any more";
    EXPECT_EQ(WebMenuItemAt(WebMenu(file), 2)->subMenu, sub) << "its item still opens it";
    EXPECT_EQ(Call(file, kTypeMenu, 3, {N(1)}), "0") << "removing the item lets it go";
    EXPECT_EQ(WebMenu(file)->itemCount, 2u);
}

TEST_F(WebMenus, BarItemsNumbersAndLimits) {
    ObjectRecord* a = Menu("A;a1", false);
    ObjectRecord* b = Menu("B;b1", false);
    ObjectRecord* file = Menu("&File;&Open;&Save", false);
    ASSERT_TRUE(a && b && file);
    ASSERT_EQ(WebMenu(file)->baseNumber, 300) << "the third menu of an empty table has base 300";
    EXPECT_EQ(ItemsOf(file), "301:Open/0/0,302:Save/0/0,");
    WebInsertItem(file, 0, "&New", 4);
    EXPECT_EQ(ItemsOf(file), "301:New/0/0,302:Open/0/0,303:Save/0/0,") << "an insert at 1 renumbers the rest";
    WebInsertItem(file, -5, "Last", 4);
    EXPECT_EQ(ItemsOf(file), "301:New/0/0,302:Open/0/0,303:Save/0/0,304:Last/0/0,") << "a negative place appends";
    Posts();

    // The bar: File with order 5, then B with order 2 goes in front of it.
    WebMenu(file)->menuOrder = 5;
    WebMenu(b)->menuOrder = 2;
    WebActivateObject(file, 0, 0, 0, 0);
    WebActivateObject(b, 0, 0, 0, 0);
    std::string posts = Posts();
    std::string wid = std::to_string(window->elementId);
    size_t lastBar = posts.rfind("\"action\": 36");
    ASSERT_NE(lastBar, std::string::npos) << posts;
    std::string bar = posts.substr(lastBar);
    size_t posB = bar.find("M200F" + wid), posFile = bar.find("M300F" + wid);
    EXPECT_TRUE(posB != std::string::npos && posFile != std::string::npos && posB < posFile)
        << "a lower MenuOrder goes in front\n" << bar;
    EXPECT_NE(bar.find("\"dwid\": 2"), std::string::npos);
    EXPECT_NE(bar.find("<u>F</u>ile"), std::string::npos) << "the entry's mnemonic underlined\n" << bar;

    struct Case {
        std::function<void()> act;
        uint32_t method;
        std::vector<Arg> args;
        std::string expect;
        const char* why;
    };
    const Case kCases[] = {
        {[&] { WebCheckItem(file, 2, 1); WebEnableObject(file, 2, false); }, 6, {N(1)}, "11",
         "GetItemState of a checked, disabled item"},
        {[&] {}, 6, {N(9)}, "-1", "GetItemState of no item"},
        {[&] { WebDeleteItem(file, 0); }, 4, {}, "4", "deleting item 0 does nothing"},
        {[&] { WebDeleteItem(file, 4); }, 4, {}, "3", "deleting item 4"},
        {[&] {}, 7, {N(0)}, "'New'", "GetItemName"},
        {[&] {}, 5, {N(0)}, "0", "GetItemType of a plain item"},
        {[&] {}, 8, {N(0), N(0)}, "1", "Activate is for FloatMenus"},
        {[&] {}, 9, {}, "error -37", "method 9 is unknown"},
    };
    for (const Case& k : kCases) {
        k.act();
        EXPECT_EQ(Call(file, kTypeMenu, k.method, k.args), k.expect) << k.why;
    }
    // MergeType 5 is ignored, 2 is kept.
    PropChange pc = {};
    for (const PropCodeRow* row = PropertyCodeTable; row->code; ++row)
        if (row->id == 277) pc.code = row->code;
    if (pc.code) {
        pc.id = 277;
        pc.value = 2;
        WebSetProp(file, &pc);
        pc.value = 5;
        WebSetProp(file, &pc);
        EXPECT_EQ(WebMenu(file)->mergeType, 2) << "MergeType 5 is ignored";
    }

    // 99 items fill a menu's block of numbers: the 100th is refused.
    ObjectRecord* big = Menu("Big", false);
    ASSERT_NE(big, nullptr);
    for (int i = 0; i < 99; ++i) ASSERT_EQ(WebInsertItem(big, 1000, "x", 1), 0) << i;
    EXPECT_NE(WebInsertItem(big, 1000, "x", 1), 0) << "the 100th item would take the next menu's number";
    EXPECT_EQ(WebMenu(big)->itemCount, 99);
}

TEST_F(WebMenus, TheTwoHundredNinetyFirstMenuIsRefused) {
    std::vector<uint16_t> taken;
    for (uint16_t b; (b = MenuBaseAlloc()) != 0;) taken.push_back(b);
    EXPECT_EQ(Menu("Over;x", false), nullptr) << "no base number left: the menu is refused";
    MenuBaseFree(29100);   // a number no slot gave out changes nothing
    EXPECT_EQ(MenuBaseAlloc(), 0) << "freeing an out-of-range base number is ignored";
    MenuBaseFree(taken.back());
    ObjectRecord* m = Menu("Last;x", false);
    ASSERT_NE(m, nullptr) << "a freed number is given again";
    EXPECT_EQ(WebMenu(m)->baseNumber, taken.back());
    for (uint16_t b : taken) MenuBaseFree(b);
}

TEST_F(WebMenus, PageClicksOpenThePopupAndPostTheItem) {
    ObjectRecord* file = Menu("&File;&Open;(&Gone;&Close");
    ASSERT_NE(file, nullptr);
    Register(file, {kEvClick});
    Posts();
    uint32_t base = WebMenu(file)->baseNumber;
    std::string wid = std::to_string(window->elementId);
    PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
              std::to_string(base) + "}");
    std::string posts = Posts();
    EXPECT_NE(posts.find("\"action\": 19"), std::string::npos) << "the popup list goes in first\n" << posts;
    EXPECT_NE(posts.find("id=\\\"M" + std::to_string(base + 1) + "F" + wid), std::string::npos) << posts;
    EXPECT_NE(posts.find("ui-state-disabled"), std::string::npos) << "the disabled item is marked";
    EXPECT_NE(posts.find("<u>C</u>lose"), std::string::npos) << "an item's mnemonic underlined\n" << posts;
    EXPECT_NE(posts.find("\"mk\": 1"), std::string::npos) << "made the first time";
    EXPECT_NE(posts.find("\"f\": \"" + wid + "\""), std::string::npos) << "placed under the bar entry";
    EXPECT_TRUE(Events().empty()) << "a bar entry raises no event";
    PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
              std::to_string(base) + "}");
    posts = Posts();
    EXPECT_EQ(posts.find("\"action\": 19"), std::string::npos) << "an unchanged popup is not sent again";
    struct Case {
        uint32_t number;
        std::vector<std::pair<int32_t, int32_t>> events;
        const char* why;
    };
    const Case kCases[] = {
        {base + 1, {{kEvClick, 1}}, "Open: $CLICK with item number less the base"},
        {base + 2, {}, "a disabled item raises nothing"},
        {base + 3, {{kEvClick, 3}}, "Close"},
        {base + 9, {}, "no such item"},
    };
    for (const Case& k : kCases) {
        PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
                  std::to_string(k.number) + "}");
        EXPECT_EQ(Events(), k.events) << k.why;
    }
    WebCheckItem(file, 1, 1);
    Posts();
    PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 0, \"ev\": 0, \"mn\": " +
              std::to_string(base) + "}");
    posts = Posts();
    EXPECT_NE(posts.find("\"menu\": \"1\""), std::string::npos) << "a changed popup is deleted\n" << posts;
    EXPECT_NE(posts.find("ui-icon-check"), std::string::npos) << "and sent again with the check";
}

TEST_F(WebMenus, ShortcutTableFollowsTheItems) {
    ObjectRecord* edit = Menu("&Edit;Cu&t/X;&Copy/C;<1Paste;Plain;<CSF12Big", false);
    ASSERT_NE(edit, nullptr);
    uint16_t base = WebMenu(edit)->baseNumber;
    auto entry = [&](uint16_t offset) { return WebMenuShortcutFind(window, static_cast<uint16_t>(base + offset)); };
    struct Case {
        std::function<void()> act;
        uint16_t offset;
        bool present;
        uint8_t key;
        uint32_t flags;
        const char* why;
    };
    const Case kCases[] = {
        {[] {}, 1, true, 'X', kMsfItemEnabled | kMsfCtrl, "Ctrl+X: the key and Ctrl, enabled, menu not shown"},
        {[] {}, 3, true, 0, kMsfItemEnabled | 0x100, "a special menu alone takes an entry: <1 is special menu 6, bit 0x100"},
        {[] {}, 4, false, 0, 0, "an item without either has none"},
        {[] {}, 5, true, 0x70 + 11, kMsfItemEnabled | kMsfCtrl | kMsfShift, "<CSF12: F12 with Ctrl and Shift"},
        {[&] { WebActivateObject(edit, 0, 0, 0, 0); }, 2, true, 'C', kMsfMenuShown | kMsfItemEnabled | kMsfCtrl,
         "showing the menu marks its entries"},
        {[&] { WebEnableObject(edit, 2, false); }, 2, true, 'C', kMsfMenuShown | kMsfCtrl, "a disabled item"},
        {[&] { WebEnableObject(edit, 999, false); }, 1, true, 'X',
         kMsfMenuShown | kMsfItemEnabled | kMsfCtrl | kMsfBarEntryDisabled, "a disabled bar entry marks all"},
        {[&] { WebEnableObject(edit, 999, true); WebInsertItem(edit, 0, "&Undo/Z", 7); }, 2, true, 'X',
         kMsfMenuShown | kMsfItemEnabled | kMsfCtrl, "an insert at 1 moves the later entries up"},
        {[] {}, 1, true, 'Z', kMsfMenuShown | kMsfItemEnabled | kMsfCtrl, "and the new item has its own"},
        {[&] { WebDeleteItem(edit, 2); }, 2, true, 'C', kMsfMenuShown | kMsfCtrl,
         "a removal frees its entry and moves the later ones down"},
        {[&] { WebSetText(edit, 2, "&Copy", 5); }, 2, false, 0, 0, "a new text without a shortcut frees the entry"},
        {[&] { WebHideObject(edit, 0); }, 1, true, 'Z', kMsfItemEnabled | kMsfCtrl, "hiding the menu clears the mark"},
    };
    for (const Case& k : kCases) {
        k.act();
        WebMenuShortcut* e = entry(k.offset);
        ASSERT_EQ(e != nullptr, k.present) << k.why;
        if (!e) continue;
        EXPECT_EQ(e->key, k.key) << k.why;
        EXPECT_EQ(e->flags, k.flags) << k.why;
    }
    ObjectDestroy(edit);
    EXPECT_EQ(WebMenuShortcutFind(window, static_cast<uint16_t>(base + 1)), nullptr) << "a destroyed menu leaves none";

    // A full table of 100 entries drops the next one.
    for (int i = 0; i < 2; ++i) {
        std::string def = "Keys";
        for (int k = 0; k < 60; ++k) def += ";k/A";
        ObjectRecord* keys = Create(kTypeMenu, [&](ObjectCreateRecord* c) {
            c->text = CrText{def.c_str(), static_cast<uint32_t>(def.size())};
            c->flags0 &= ~kCrVisible;
        });
        ASSERT_NE(keys, nullptr);
    }
    EXPECT_EQ(WebWin(window)->menuShortcutCount, kMenuShortcutsMax) << "the count covers the 100 entries in use";
}

TEST_F(WebMenus, ThePageHoldsTheActiveShortcutsAndOneBarForManyChanges) {
    ObjectRecord* file = Menu("&File;&Open/O;&Close", false);
    ASSERT_NE(file, nullptr);
    Register(file, {kEvClick});
    uint16_t base = WebMenu(file)->baseNumber;
    std::string wid = std::to_string(window->elementId);
    Posts();
    WebActivateObject(file, 0, 0, 0, 0);
    std::string posts = Posts();
    std::string keys = "\"dwid\": 3, \"keys\": \"79,1,0," + std::to_string(base + 1) + "\"";
    EXPECT_NE(posts.find(keys), std::string::npos) << "shown, its Ctrl+O goes to the page\n" << posts;
    for (int i = 0; i < 10; ++i) WebInsertItem(file, 1000, "More", 4);
    WebCheckItem(file, 1, 1);
    EXPECT_EQ(Posts().find("\"action\": 36"), std::string::npos) << "item changes leave the bar and the keys as they are";
    auto key = [&](uint32_t number) {
        PageEvent("{\"id\": " + wid + ", \"et\": 4, \"ec\": 32, \"em\": 8, \"ev\": 0, \"sc\": 1, \"mn\": " +
                  std::to_string(number) + "}");
        return Events();
    };
    EXPECT_EQ(key(base + 1), (std::vector<std::pair<int32_t, int32_t>>{{kEvClick, 1}})) << "Ctrl+O clicks Open";
    EXPECT_TRUE(key(base + 2).empty()) << "an item without a shortcut is no key's";
    WebEnableObject(file, 1, false);
    EXPECT_NE(Posts().find("\"dwid\": 3, \"keys\": \"\""), std::string::npos) << "a disabled item's key leaves the page";
    EXPECT_TRUE(key(base + 1).empty()) << "and a key the page still sent gives nothing";
    WebEnableObject(file, 1, true);
    WebHideObject(file, 0);
    posts = Posts();
    EXPECT_NE(posts.find("\"dwid\": 2"), std::string::npos) << "hiding changes the bar";
    EXPECT_NE(posts.find("\"keys\": \"\""), std::string::npos);
    EXPECT_TRUE(key(base + 1).empty()) << "a hidden menu's key gives nothing";
}

}  // namespace
