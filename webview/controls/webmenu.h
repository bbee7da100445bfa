// webmenu.h - menus of the web view: the Menu of a window's menu bar (kind
// 8), SubMenus hung below items (16) and FloatMenus popped up at a position
// (24); their items, built from the menu definition text, the markup of the
// bar and of the popup lists, the generic operations, methods, and the
// page's clicks on bar entries and items.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"
#include "webview/core/webobject.h"

struct WebMenuItemRecord;

struct WebMenuRecord {
    ObjectRecord hdr;
    WebMenuItemRecord* items;  // in menu order
    uint8_t itemCount;         // at most 99: the items' numbers stay in the menu's block
    uint32_t afterMenu;        // Menu: base number of the menu it follows in the bar; FloatMenu: RightButton;
                               // SubMenu: 1-based place of the item it hangs below
    char* text;                // the menu's own text ('&' marks kept)
    uint16_t barPosition;      // 1-based place in the window's bar while shown
    uint16_t baseNumber;       // 100, 200, .. 29000
    uint32_t menuOrder;
    uint8_t mergeType;
    uint8_t mdiList;
    uint8_t popupSent;         // the popup list is in the page
    uint8_t changed;           // items changed since it was sent
    uint32_t menuFlags;        // kMenuBarEntryDisabled
    // SubMenu: the server's reference and one per item it hangs below; the
    // menu it belongs to, and the item it hangs below while attached.
    uint32_t refCount;
    WebMenuRecord* parentMenu;
    WebMenuItemRecord* ownerItem;
};

// An item of a menu (kind 48). Its use count is its menu's hold plus one per
// reference handed to the server; removed from its menu while the server
// still holds it, it stays without menu until the server lets it go. Its
// RunName ("Mi01" numbered unless given), UserData, HelpTopic and HelpId
// are its header's.
struct WebMenuItemRecord {
    ObjectRecord hdr;
    WebMenuItemRecord* next;
    WebMenuRecord* menu;       // none once removed
    WebMenuRecord* subMenu;    // the SubMenu hung below it
    char* text;                // '&' marks dropped, as parsed
    uint32_t itemFlags;        // WebMenuItemFlag bits
    uint8_t shortCut;          // 0..132
    uint8_t specialMenu;       // 0..6
    uint16_t itemNumber;       // baseNumber + 1 + position
    uint32_t tag;
};

enum WebMenuItemFlag : uint32_t {
    kWmiDisabled = 1, kWmiSeparator = 2, kWmiDefault = 4, kWmiChecked = 8, kWmiRightToLeft = 16,
};
constexpr uint32_t kMenuBarEntryDisabled = 1;
constexpr int32_t kMenuNoParent = -97;

inline WebMenuRecord* WebMenu(ObjectRecord* rec) { return reinterpret_cast<WebMenuRecord*>(rec); }
bool WebIsMenuKind(const ObjectRecord* rec);

// Builds the menu's text and items from its definition ("&File;&Open/O;-;(E&xit"):
// the first item is the menu's own text. False when the text cannot be
// stored, an item cannot be made, or no base number is left.
bool WebMenuBuildFromText(WebMenuRecord* m, const char* text, uint32_t length);
// Adds the item last parsed (gMenuItem) at 1-based position pos (outside
// 1..count: last); later items are renumbered. -6 without memory, -4 when the
// menu has its 99 items. *made (when given) gets the new item.
int32_t WebMenuAddParsedItem(WebMenuRecord* m, int32_t pos, WebMenuItemRecord** made = nullptr);
bool WebMenuRemoveItem(WebMenuRecord* m, int32_t index);     // zero-based
WebMenuItemRecord* WebMenuItemAt(WebMenuRecord* m, int32_t n);   // 1-based

// The window's shortcut table: the entries follow the items.
enum WebMenuShortcutFlag : uint32_t {
    kMsfMenuShown = 1, kMsfItemEnabled = 2, kMsfBarEntryDisabled = 4, kMsfCtrl = 0x10000, kMsfShift = 0x20000,
};
// Takes the first free entry for an item with a shortcut or special menu (a
// full table drops it); false when dropped.
bool WebMenuShortcutAdd(ObjectRecord* window, const WebMenuItemRecord* item, bool menuShown);
// The entry of an item number, or none.
WebMenuShortcut* WebMenuShortcutFind(ObjectRecord* window, uint16_t itemNumber);
// Sets (on) or clears bits in every entry of the block of 100 numbers of a base.
void WebMenuShortcutsFlags(ObjectRecord* window, uint16_t base, bool on, uint32_t bits);

// The markup of the window's bar (action 36 "dwid" 2), and of a popup list.
void WebMenuBarMarkup(ObjectRecord* window);
void WebMenuPopupMarkup(WebMenuRecord* m, uint32_t windowId);
void WebMenuPopupShow(WebMenuRecord* m, int32_t top, int32_t left, bool withForm);

int32_t WebMenuActivate(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
int32_t WebMenuHide(ObjectRecord* rec, bool wasShown);
int32_t WebMenuCheckItem(ObjectRecord* rec, int32_t n, int32_t on);
int32_t WebMenuEnable(ObjectRecord* rec, int32_t n, bool on);
int32_t WebMenuMethod(ObjectRecord* rec, MethodCallRec* call);
void WebMenuDestroy(ObjectRecord* rec);

// A click of the page on a menu element "M<number>F<window id>": the number
// of a bar entry is its menu's base number, an item's is its item number;
// or (fromKey) the item of a shortcut key the page matched, taken only while
// its entry is active. True when it named an element of the window's menus.
bool WebMenuPageClick(ObjectRecord* window, uint32_t number, bool fromKey);

// A form's MenuItem row for a web menu (the menu made last): the item is
// parsed from the row's title or text, appended (disabled when the row is),
// a SubMenu the row names hung below it, and the item answered. -4 at 99
// items, -6 without memory.
ObjectRecord* WebMenuItemCreate(ObjectRecord* menu, ObjectCreateRecord* cr, int32_t* code);

// SubMenus: a reference more, or one less (the count left). A SubMenu the
// server destroyed while items still held it is freed with the last of them.
uint32_t WebSubMenuAddRef(ObjectRecord* subMenu);
uint32_t WebSubMenuRelease(ObjectRecord* subMenu);
// Hangs a SubMenu below the item at its place in its parent menu (-97 with
// no parent menu), or takes it off its item.
int32_t WebSubMenuActivate(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
void WebSubMenuDetach(WebMenuRecord* sub);
// The generic destroy of a MenuItem (the server's reference goes; a removed
// item is freed with it), and of a SubMenu items still hold (it leaves its
// window and stays for them): true when the record must stay.
int32_t WebMenuItemDestroy(ObjectRecord* rec);
bool WebSubMenuKeptForItems(ObjectRecord* rec);

// Registers the creators and operations of kinds 8, 16 and 24.
void WebMenuInstall();
