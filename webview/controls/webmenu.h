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
    uint32_t afterMenu;        // Menu: base number of the menu it follows in the bar; FloatMenu: RightButton
    char* text;                // the menu's own text ('&' marks kept)
    uint16_t barPosition;      // 1-based place in the window's bar while shown
    uint16_t baseNumber;       // 100, 200, .. 29000
    uint32_t menuOrder;
    uint8_t mergeType;
    uint8_t mdiList;
    uint8_t popupSent;         // the popup list is in the page
    uint8_t changed;           // items changed since it was sent
    uint32_t menuFlags;        // kMenuBarEntryDisabled
};

struct WebMenuItemRecord {
    WebMenuItemRecord* next;
    char* text;                // '&' marks dropped, as parsed
    uint32_t itemFlags;        // WebMenuItemFlag bits
    uint8_t shortCut;          // 0..132
    uint8_t specialMenu;       // 0..6
    uint16_t itemNumber;       // baseNumber + 1 + position
    uint32_t helpId;
};

// The object of an item a form's MenuItem row made (kind 48): it names the
// item by its menu's handle and its number; the item itself stays its
// menu's, as the native menus keep theirs when the object goes.
struct WebMenuItemObject {
    ObjectRecord hdr;
    uint32_t menuHandle;
    uint16_t itemNumber;
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
// menu has its 99 items.
int32_t WebMenuAddParsedItem(WebMenuRecord* m, int32_t pos);
bool WebMenuRemoveItem(WebMenuRecord* m, int32_t index);     // zero-based
WebMenuItemRecord* WebMenuItemAt(WebMenuRecord* m, int32_t n);   // 1-based

// The window's shortcut table. The page maps no keys to it (its key handling
// belongs to the focused control), but the entries follow the items.
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
// of a bar entry is its menu's base number, an item's is its item number.
// True when it named an element of the window's menus.
bool WebMenuPageClick(ObjectRecord* window, uint32_t number);

// A form's MenuItem row for a web menu (the menu made last): the item is
// parsed from the row's title or text, appended (disabled when the row is)
// and its object made. -5 for a row that hangs a SubMenu below the item (not
// built in the web view), -4 at 99 items, -6 without memory.
ObjectRecord* WebMenuItemCreate(ObjectRecord* menu, ObjectCreateRecord* cr, int32_t* code);

// Registers the creators and operations of kinds 8, 16 and 24.
void WebMenuInstall();
