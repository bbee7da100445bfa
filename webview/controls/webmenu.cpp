// webmenu.cpp - menus of the web view. The client keeps every menu and item;
// the page gets the window's menu bar (action 36 "dwid" 2) and, when a menu
// is opened, its popup list (action 19) shown at a place (action 36 "dwid"
// 1). Base numbers, the definition text and the shortcut codes are the native
// menus' own (ctlcore), so both modes number items alike.
//
// Clicks come back from the page as an object event ("et" 4) whose "id" is
// the window's element id that the clicked element "M<number>F<window id>"
// names, with the number in "mn". A bar entry's number is its menu's base number: the
// client shows that menu's popup, which the page places under the entry. An
// item's number is base + 1 + position: the menu whose block holds it gets
// $CLICK with the item number less the base, the value the native menus
// post. The shortcut codes of items are kept, but the page maps no keys to
// them: its key handling belongs to the focused control.
#include "webview/controls/webmenu.h"

#include <cstdio>
#include <initializer_list>
#include <cstring>

#include "controls/ctlcore.h"
#include "objects/events.h"
#include "objects/objtables.h"
#include "session/util/json.h"
#include "session/util/mem.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"

namespace {

constexpr uint8_t kActInsert = 19, kActDelete = 20, kActMenu = 36;
enum MenuDwid : int32_t { kMdPopup = 1, kMdBar = 2 };
constexpr int32_t kBarPositions = 100;         // bar places 1..99
constexpr int32_t kEnableBarEntry = 999;
constexpr char kDefaultMenuText[] = "M";
enum MenuMethodNo : uint32_t {
    kMmAddItem = 1, kMmGetItem, kMmRemoveItem, kMmGetItemCount, kMmGetItemType, kMmGetItemState,
    kMmGetItemName, kMmActivate,
};
enum MenuPropId : uint32_t {
    kMpRightButton = 90, kMpMdiList = 276, kMpMergeType = 277, kMpMenuOrder = 282, kMpSubMenu = 283,
};
constexpr uint32_t kMergeTypeMax = 3;

ObjectRecord* WindowOf(ObjectRecord* rec) {
    ObjectRecord* top = rec ? ObjectTopWindow(rec) : nullptr;
    return WebIsWindow(top) ? top : nullptr;
}

char* CopyText(const char* text, uint32_t length) {
    char* copy = static_cast<char*>(GuardedAlloc(length + 1u));
    if (!copy) return nullptr;
    if (length) memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

void ItemFree(WebMenuItemRecord* it) {
    GuardedFree(it->text);
    GuardedFree(it);
}

void Renumber(WebMenuRecord* m) {
    uint16_t n = static_cast<uint16_t>(m->baseNumber + 1);
    for (WebMenuItemRecord* it = m->items; it; it = it->next) it->itemNumber = n++;
}

bool Shown(const WebMenuRecord* m) { return (m->hdr.flags & kObjShown) != 0; }

// The bar again when a shown Menu's entry or list changed.
void BarIfShown(WebMenuRecord* m) {
    if (m->hdr.kind == kKindMenu && Shown(m)) WebMenuBarMarkup(WindowOf(&m->hdr));
}

// The shown Menus of a window, by bar place.
void ShownMenus(ObjectRecord* window, WebMenuRecord* out[kBarPositions]) {
    memset(out, 0, sizeof(WebMenuRecord*) * kBarPositions);
    for (ObjectRecord* r = reinterpret_cast<WindowRecord*>(window)->menus; r; r = r->next) {
        WebMenuRecord* m = WebMenu(r);
        if (r->kind == kKindMenu && Shown(m) && m->barPosition >= 1 && m->barPosition < kBarPositions)
            out[m->barPosition] = m;
    }
}

uint16_t BarPlaceFor(ObjectRecord* window, WebMenuRecord* m) {
    WebMenuRecord* shown[kBarPositions];
    ShownMenus(window, shown);
    uint16_t last = 0;
    for (uint16_t i = 1; i < kBarPositions; ++i)
        if (shown[i]) last = i;
    if (m->afterMenu) {
        for (uint16_t i = 1; i < kBarPositions; ++i)
            if (shown[i] && shown[i]->baseNumber == m->afterMenu) return static_cast<uint16_t>(i + 1);
        return static_cast<uint16_t>(last + 1);
    }
    if (m->menuOrder) {
        // In front of the shown Menu with the smallest order not below its own.
        uint16_t at = 0;
        uint32_t best = UINT32_MAX;
        for (uint16_t i = 1; i < kBarPositions; ++i)
            if (shown[i] && shown[i]->menuOrder >= m->menuOrder && shown[i]->menuOrder < best) {
                best = shown[i]->menuOrder;
                at = i;
            }
        return at ? at : static_cast<uint16_t>(last + 1);
    }
    return 1;
}

// Moves the shown Menus at or after place by one (up, or down).
void ShiftBar(ObjectRecord* window, uint16_t place, int step, const WebMenuRecord* except) {
    for (ObjectRecord* r = reinterpret_cast<WindowRecord*>(window)->menus; r; r = r->next) {
        WebMenuRecord* o = WebMenu(r);
        if (r->kind == kKindMenu && o != except && Shown(o) && o->barPosition >= place)
            o->barPosition = static_cast<uint16_t>(o->barPosition + step);
    }
}

void SendDeletePopup(WebMenuRecord* m, bool withForm) {
    if (!m->popupSent) return;
    char id[24];
    snprintf(id, sizeof id, "C%u", m->hdr.elementId);
    WebViewSelectForObject(&m->hdr);
    JsonBeginAction(kActDelete);
    JsonAddForm(&m->hdr, true, false, withForm, true);
    JsonAddStringNoConv("delid", id);
    JsonAddStringNoConv("menu", "1");
    WebViewMsgEnd();
    m->popupSent = 0;
}

// ---- The window's shortcut table ---------------------------------------------------------------

// SpecialMenu 1..6 as entry flag bits.
constexpr uint32_t kSpecialMenuBits[7] = {0, 0x400, 0x200, 0x1000, 0x800, 0x2000, 0x100};
constexpr uint8_t kModShift = 1, kModCtrl = 2;
constexpr uint8_t kSpecialMenuMax = 6;

WebMenuShortcut* ShortcutTable(ObjectRecord* window, uint32_t* count) {
    if (!WebIsWindow(window)) return nullptr;
    *count = WebWin(window)->menuShortcutCount;
    return WebWin(window)->menuShortcuts;
}

void ShortcutCode(WebMenuShortcut* e, uint8_t code, uint8_t special) {
    uint8_t vk = 0, mods = 0;
    e->flags &= kMsfMenuShown | kMsfItemEnabled | kMsfBarEntryDisabled;
    e->key = MenuShortcutKey(code, &vk, &mods) ? vk : 0;
    if (mods & kModCtrl) e->flags |= kMsfCtrl;
    if (mods & kModShift) e->flags |= kMsfShift;
    if (special <= kSpecialMenuMax) e->flags |= kSpecialMenuBits[special];
}

bool InBlock(uint16_t number, uint16_t base) { return number / kMenuBaseStep == base / kMenuBaseStep; }

// After an insert (step 1) or a removal (step -1) at item number `from`: the
// entries of the block from there move; a removed item's entry is freed.
void ShortcutsRenumber(ObjectRecord* window, uint16_t base, uint16_t from, int step) {
    uint32_t count = 0;
    WebMenuShortcut* t = ShortcutTable(window, &count);
    for (uint32_t i = 0; t && i < count; ++i) {
        if (!t[i].itemNumber || !InBlock(t[i].itemNumber, base) || t[i].itemNumber < from) continue;
        if (step < 0 && t[i].itemNumber == from) t[i] = WebMenuShortcut{};
        else t[i].itemNumber = static_cast<uint16_t>(t[i].itemNumber + step);
    }
}

// An item's entry after its shortcut or special menu changed.
void ShortcutUpdate(ObjectRecord* window, const WebMenuItemRecord* it, bool menuShown) {
    WebMenuShortcut* e = WebMenuShortcutFind(window, it->itemNumber);
    if (!it->shortCut && !it->specialMenu) {
        if (e) *e = WebMenuShortcut{};
        return;
    }
    if (e) ShortcutCode(e, it->shortCut, it->specialMenu);
    else WebMenuShortcutAdd(window, it, menuShown);
}

void ShortcutItemEnable(ObjectRecord* window, uint16_t number, bool on) {
    if (WebMenuShortcut* e = WebMenuShortcutFind(window, number))
        e->flags = on ? (e->flags | kMsfItemEnabled) : (e->flags & ~kMsfItemEnabled);
}

// ---- Generic operations -------------------------------------------------------------------

int32_t MenuGetText(ObjectRecord* rec, int32_t n) {
    WebMenuRecord* m = WebMenu(rec);
    const char* text = nullptr;
    if (n == 0) text = m->text;
    else if (WebMenuItemRecord* it = WebMenuItemAt(m, n)) text = it->text;
    gTextBuf[0] = 0;
    uint32_t out = 0;
    for (const char* p = text; p && *p && out < kTextBufSize; ++p) {
        if (*p == '&') continue;
        gTextBuf[out++] = *p;
    }
    gTextBuf[out] = 0;
    return static_cast<int32_t>(out);
}

int32_t MenuSetText(ObjectRecord* rec, int32_t n, const char* text, uint32_t length) {
    WebMenuRecord* m = WebMenu(rec);
    WebMenuItemRecord* it = WebMenuItemAt(m, n);
    if (!it) return kWebOk;
    MenuParseItemText(text ? text : "", text ? length : 0, false);
    char* copy = CopyText(gMenuItem.text, gMenuItem.length);
    if (!copy) return kWebNoMemory;
    GuardedFree(it->text);
    it->text = copy;
    it->shortCut = gMenuItem.shortCut;
    it->specialMenu = gMenuItem.specialMenu;
    if (gMenuItem.separator) it->itemFlags |= kWmiSeparator;
    else it->itemFlags = gMenuItem.enabled ? (it->itemFlags & ~kWmiDisabled) : (it->itemFlags | kWmiDisabled);
    ShortcutUpdate(WindowOf(rec), it, Shown(m));
    m->changed = 1;
    BarIfShown(m);
    return kWebOk;
}

int32_t MenuInsertItem(ObjectRecord* rec, int32_t n, const char* text, uint32_t length) {
    MenuParseItemText(text ? text : "", text ? length : 0, false);
    // A negative place would count backwards through the list: it appends.
    return WebMenuAddParsedItem(WebMenu(rec), n < 0 ? 0 : n + 1);
}

int32_t MenuDeleteItem(ObjectRecord* rec, int32_t n) {
    if (n >= 1) WebMenuRemoveItem(WebMenu(rec), n - 1);
    return kWebOk;
}

int32_t MenuEnableOp(ObjectRecord* rec, int32_t n, bool on) { return WebMenuEnable(rec, n, on); }

// ---- Properties ---------------------------------------------------------------------------

int32_t MenuSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                    bool* commonWrite) {
    WebMenuRecord* m = WebMenu(rec);
    *commonWrite = false;
    switch (id) {
    case kPidText: {
        char* copy = CopyText(text ? text : "", text ? length : 0);
        if (!copy) return kWebNoMemory;
        GuardedFree(m->text);
        m->text = copy;
        BarIfShown(m);
        return kWebOk;
    }
    case kPidVisible:
        if (value && !Shown(m)) return WebActivateObject(rec, 0, 0, 0, 0);
        if (!value && Shown(m)) return WebHideObject(rec, 0);
        return kWebOk;
    case kMpRightButton: if (rec->kind == kKindFloatMenu) m->afterMenu = value ? 1 : 0; return kWebOk;
    case kMpMdiList: m->mdiList = value ? 1 : 0; return kWebOk;
    case kMpMergeType:
        if (static_cast<uint32_t>(value) <= kMergeTypeMax) m->mergeType = static_cast<uint8_t>(value);
        return kWebOk;
    case kMpMenuOrder:
        m->menuOrder = static_cast<uint32_t>(value);
        if (rec->kind == kKindMenu && Shown(m)) {
            WebHideObject(rec, 0);
            WebActivateObject(rec, 0, 0, 0, 0);
        }
        return kWebOk;
    default:
        *commonWrite = true;
        return kWebNotAvailable;
    }
}

int32_t MenuGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebMenuRecord* m = WebMenu(rec);
    switch (id) {
    case kPidText: MenuGetText(rec, 0); *text = gTextBuf; return kWebOk;
    case kPidVisible: *result = Shown(m) ? 1 : 0; return kWebOk;
    case kMpRightButton: *result = rec->kind == kKindFloatMenu && m->afterMenu == 1 ? 1 : 0; return kWebOk;
    case kMpMdiList: *result = m->mdiList; return kWebOk;
    case kMpMergeType: *result = m->mergeType; return kWebOk;
    case kMpMenuOrder: *result = static_cast<int32_t>(m->menuOrder); return kWebOk;
    default: return kWebNotAvailable;
    }
}

// ---- Creation -------------------------------------------------------------------------------

ObjectRecord* MenuCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                         int32_t* code) {
    ObjectRecord* window = WebIsWindow(top) ? top : gWebMainWindow;
    if (!WebIsWindow(window)) {
        *code = kWebNotAvailable;
        return nullptr;
    }
    if (!rec) rec = ObjectAllocRecord(static_cast<uint8_t>(kind), sizeof(WebMenuRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebMenuRecord* m = WebMenu(rec);
    rec->parent = window;   // the items' shortcut entries go to its table
    const CrText& t = cr->title.text ? cr->title : cr->text;
    bool built = t.text && t.length ? WebMenuBuildFromText(m, t.text, t.length)
                                    : WebMenuBuildFromText(m, kDefaultMenuText, sizeof kDefaultMenuText - 1);
    if (!built) {
        // No base number left (290 menus) is refused as the native menus
        // refuse it; any other failed build made no menu.
        *code = m->text && !m->baseNumber ? kWebNoMemory : kWebNotCreated;
        WebMenuDestroy(rec);
        ObjectFreeRecord(rec);
        return nullptr;
    }
    if (kind == kKindFloatMenu) {
        m->afterMenu = CreateRecordValue(cr, kMpRightButton, 0) == 1 ? 1 : 0;
        rec->top = cr->top;
        rec->left = cr->left;
    }
    m->menuOrder = static_cast<uint32_t>(CreateRecordValue(cr, kMpMenuOrder, 0));
    gMenuMadeLast = rec;
    rec->parent = window;
    rec->next = reinterpret_cast<WindowRecord*>(window)->menus;
    reinterpret_cast<WindowRecord*>(window)->menus = rec;
    // A visible Menu goes into the bar when its header is filled (the
    // creation's shown flag is set after this): it is placed now.
    if (kind == kKindMenu && (cr->flags0 & kCrVisible)) {
        m->barPosition = BarPlaceFor(window, m);
        ShiftBar(window, m->barPosition, 1, m);
        rec->flags |= kObjShown;
        WebMenuShortcutsFlags(window, m->baseNumber, true, kMsfMenuShown);
        WebMenuBarMarkup(window);
    }
    *code = kWebOk;
    return rec;
}

const WebKindOps kMenuOps = {
    MenuGetText,        // getText
    nullptr,            // getValue
    MenuSetText,        // setText
    nullptr,            // setValue
    MenuInsertItem,     // insertItem
    MenuDeleteItem,     // deleteItem
    WebMenuCheckItem,   // checkItem
    WebMenuMethod,      // method
    WebMenuDestroy,     // destroy
};

}  // namespace

bool WebIsMenuKind(const ObjectRecord* rec) {
    return rec && (rec->kind == kKindMenu || rec->kind == kKindSubMenu || rec->kind == kKindFloatMenu);
}

WebMenuItemRecord* WebMenuItemAt(WebMenuRecord* m, int32_t n) {
    if (n < 1) return nullptr;
    WebMenuItemRecord* it = m->items;
    for (int32_t i = 1; it && i < n; ++i) it = it->next;
    return it;
}

int32_t WebMenuAddParsedItem(WebMenuRecord* m, int32_t pos) {
    // Items are numbered in the menu's block of 100: a 100th would take the
    // next menu's base number.
    if (m->itemCount >= kMenuItemsMax) return kWebRectRefused;
    auto* it = static_cast<WebMenuItemRecord*>(GuardedAlloc(sizeof(WebMenuItemRecord)));
    if (!it) return kWebNoMemory;
    memset(it, 0, sizeof *it);
    it->text = CopyText(gMenuItem.text, gMenuItem.length);
    if (!it->text) {
        GuardedFree(it);
        return kWebNoMemory;
    }
    if (!gMenuItem.enabled) it->itemFlags |= kWmiDisabled;
    if (gMenuItem.separator) it->itemFlags |= kWmiSeparator;
    else if (m->hdr.flags & kObjRightToLeft) it->itemFlags |= kWmiRightToLeft;
    it->shortCut = gMenuItem.shortCut;
    it->specialMenu = gMenuItem.specialMenu;
    it->helpId = gMenuItem.helpNumber;
    WebMenuItemRecord** link = &m->items;
    if (pos >= 1 && pos <= m->itemCount) {
        for (int32_t i = 1; i < pos; ++i) link = &(*link)->next;
    } else {
        while (*link) link = &(*link)->next;
    }
    it->next = *link;
    *link = it;
    m->itemCount++;
    m->changed = 1;
    Renumber(m);
    ObjectRecord* window = WindowOf(&m->hdr);
    if (it->next) ShortcutsRenumber(window, m->baseNumber, it->itemNumber, 1);
    if (it->shortCut || it->specialMenu) WebMenuShortcutAdd(window, it, Shown(m));
    BarIfShown(m);
    return kWebOk;
}

bool WebMenuRemoveItem(WebMenuRecord* m, int32_t index) {
    if (index < 0 || index >= m->itemCount) return false;
    WebMenuItemRecord** link = &m->items;
    for (int32_t i = 0; i < index; ++i) link = &(*link)->next;
    WebMenuItemRecord* gone = *link;
    *link = gone->next;
    ShortcutsRenumber(WindowOf(&m->hdr), m->baseNumber, gone->itemNumber, -1);
    ItemFree(gone);
    m->itemCount--;
    m->changed = 1;
    Renumber(m);
    BarIfShown(m);
    return true;
}

bool WebMenuShortcutAdd(ObjectRecord* window, const WebMenuItemRecord* item, bool menuShown) {
    if (!WebIsWindow(window)) return false;
    WebWindowRecord* w = WebWin(window);
    for (uint32_t i = 0; i < kMenuShortcutsMax; ++i) {
        WebMenuShortcut* e = &w->menuShortcuts[i];
        if (e->itemNumber) continue;
        e->itemNumber = item->itemNumber;
        e->flags = 0;
        if (menuShown) e->flags |= kMsfMenuShown;
        if (!(item->itemFlags & kWmiDisabled)) e->flags |= kMsfItemEnabled;
        ShortcutCode(e, item->shortCut, item->specialMenu);
        if (w->menuShortcutCount < i + 1) w->menuShortcutCount = i + 1;
        return true;
    }
    return false;
}

WebMenuShortcut* WebMenuShortcutFind(ObjectRecord* window, uint16_t itemNumber) {
    uint32_t count = 0;
    WebMenuShortcut* t = ShortcutTable(window, &count);
    for (uint32_t i = 0; t && itemNumber && i < count; ++i)
        if (t[i].itemNumber == itemNumber) return &t[i];
    return nullptr;
}

void WebMenuShortcutsFlags(ObjectRecord* window, uint16_t base, bool on, uint32_t bits) {
    uint32_t count = 0;
    WebMenuShortcut* t = ShortcutTable(window, &count);
    for (uint32_t i = 0; t && i < count; ++i) {
        if (!t[i].itemNumber || !InBlock(t[i].itemNumber, base)) continue;
        t[i].flags = on ? (t[i].flags | bits) : (t[i].flags & ~bits);
    }
}

bool WebMenuBuildFromText(WebMenuRecord* m, const char* text, uint32_t length) {
    uint32_t used = MenuParseItemText(text, length, false);
    m->text = CopyText(gMenuItem.text, gMenuItem.length);
    if (!m->text) return false;
    m->mergeType = gMenuItem.mergeCode;
    m->mdiList = gMenuItem.windowList ? 1 : 0;
    // Past 290 menus a base number would be shared with another menu.
    m->baseNumber = MenuBaseAlloc();
    if (!m->baseNumber) return false;
    while (used < length) {
        used += MenuParseItemText(text + used, length - used, false);
        if (WebMenuAddParsedItem(m, 0) != kWebOk) return false;
    }
    m->changed = 0;
    return true;
}

void WebMenuBarMarkup(ObjectRecord* window) {
    if (!window || gFormLoadCreating) return;
    WebMenuRecord* shown[kBarPositions];
    ShownMenus(window, shown);
    bool noConversion = false;
    uint32_t wid = window->elementId;
    HtmlReset();
    HtmlAppend("<ul  class=\"ui-widget-header fmenui\" style=\"height: ", 0);
    HtmlAppendInt(kMenuBarHeight);
    HtmlAppend("px\" id=\"M", 0);
    HtmlAppendUInt(wid);
    HtmlAppend("\"> ", 0);
    for (int32_t i = 1; i < kBarPositions; ++i) {
        WebMenuRecord* m = shown[i];
        if (!m) continue;
        if (m->hdr.modeFlags & 1) noConversion = true;
        HtmlAppend("<li id=\"M", 0);
        HtmlAppendUInt(m->baseNumber);
        HtmlAppend("F", 0);
        HtmlAppendUInt(wid);
        HtmlAppend("\" ", 0);
        HtmlAppend((m->menuFlags & kMenuBarEntryDisabled) ? " class=\"ui-state-disabled\"" : " class=\"ui-state-default\"",
                   0);
        HtmlAppend("><a href=\"#\">", 0);
        HtmlAppendText(m->text, 0);
        HtmlAppend("</a></li>", 0);
        m->popupSent = 0;
    }
    HtmlAppend("</ul>", 0);
    WebViewSelectForObject(window);
    JsonBeginAction(kActMenu);
    char name[24];
    snprintf(name, sizeof name, "C%u", wid);
    JsonAddStringNoConv("name", name);
    JsonAddInt("dwid", kMdBar);
    JsonAddJsHtml(noConversion);
    WebViewMsgQuery();
}

void WebMenuPopupMarkup(WebMenuRecord* m, uint32_t windowId) {
    HtmlAppend("<ul id=\"C", 0);
    HtmlAppendUInt(m->hdr.elementId);
    HtmlAppend("\"> ", 0);
    for (WebMenuItemRecord* it = m->items; it; it = it->next) {
        if (it->itemFlags & kWmiSeparator) {
            HtmlAppend("<li>-</li>", 0);
            continue;
        }
        HtmlAppend("<li id=\"M", 0);
        HtmlAppendUInt(it->itemNumber);
        HtmlAppend("F", 0);
        HtmlAppendUInt(windowId);
        HtmlAppend("\" ", 0);
        if (it->itemFlags & kWmiDisabled) HtmlAppend(" class=\"ui-state-disabled\"", 0);
        HtmlAppend("><a href=\"#\">", 0);
        if (it->itemFlags & kWmiChecked) HtmlAppend("<span class=\"ui-icon ui-icon-check\"></span>", 0);
        HtmlAppendText(it->text, 0);
        HtmlAppend("</a></li>", 0);
    }
    HtmlAppend("</ul>", 0);
}

void WebMenuPopupShow(WebMenuRecord* m, int32_t top, int32_t left, bool withForm) {
    ObjectRecord* window = WindowOf(&m->hdr);
    if (!window) return;
    if (m->changed) SendDeletePopup(m, withForm);
    m->changed = 0;
    char name[24];
    snprintf(name, sizeof name, "C%u", m->hdr.elementId);
    WebViewSelectForObject(window);
    bool make = !m->popupSent;
    if (make) {
        HtmlReset();
        WebMenuPopupMarkup(m, window->elementId);
        JsonBeginAction(kActInsert);
        JsonAddJsHtml((m->hdr.modeFlags & 1) != 0);
        JsonAddStringNoConv("name", name);
        JsonAddForm(&m->hdr, true, false, withForm, false);
        WebViewMsgEnd();
    }
    JsonBeginAction(kActMenu);
    JsonAddStringNoConv("name", name);
    JsonAddInt("dwid", kMdPopup);
    JsonAddInt("t", top);
    JsonAddInt("l", left);
    if (make) JsonAddInt("mk", 1);
    m->popupSent = 1;
    if (withForm) {
        char form[24];
        snprintf(form, sizeof form, "%u", window->elementId);
        JsonAddStringNoConv("f", form);
    }
    WebViewMsgQuery();
}

int32_t WebMenuActivate(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    WebMenuRecord* m = WebMenu(rec);
    ObjectRecord* window = WindowOf(rec);
    if (rec->kind == kKindFloatMenu) {
        // A popup does not stay shown.
        if (window && m->itemCount) WebMenuPopupShow(m, rec->top, rec->left, false);
        rec->flags &= ~kObjShown;
        return kWebOk;
    }
    if (rec->kind != kKindMenu) return kMenuNoParent;
    if (Shown(m) || !window) return kWebOk;
    m->barPosition = BarPlaceFor(window, m);
    ShiftBar(window, m->barPosition, 1, m);
    rec->flags |= kObjShown;
    WebMenuShortcutsFlags(window, m->baseNumber, true, kMsfMenuShown);
    WebMenuBarMarkup(window);
    return kWebOk;
}

int32_t WebMenuHide(ObjectRecord* rec, bool wasShown) {
    WebMenuRecord* m = WebMenu(rec);
    ObjectRecord* window = WindowOf(rec);
    if (rec->kind != kKindMenu || !wasShown || !window) return kWebOk;
    ShiftBar(window, static_cast<uint16_t>(m->barPosition + 1), -1, m);
    m->barPosition = 0;
    WebMenuShortcutsFlags(window, m->baseNumber, false, kMsfMenuShown);
    WebMenuBarMarkup(window);
    return kWebOk;
}

int32_t WebMenuCheckItem(ObjectRecord* rec, int32_t n, int32_t on) {
    WebMenuRecord* m = WebMenu(rec);
    WebMenuItemRecord* it = WebMenuItemAt(m, n == 0 ? 1 : n);
    if (!it) return kWebOk;
    it->itemFlags = on ? (it->itemFlags | kWmiChecked) : (it->itemFlags & ~kWmiChecked);
    m->changed = 1;
    return kWebOk;
}

int32_t WebMenuEnable(ObjectRecord* rec, int32_t n, bool on) {
    WebMenuRecord* m = WebMenu(rec);
    m->changed = 1;
    ObjectRecord* window = WindowOf(rec);
    if (n == kEnableBarEntry && rec->kind == kKindMenu) {
        m->menuFlags = on ? (m->menuFlags & ~kMenuBarEntryDisabled) : (m->menuFlags | kMenuBarEntryDisabled);
        WebMenuShortcutsFlags(window, m->baseNumber, !on, kMsfBarEntryDisabled);
        BarIfShown(m);
        return kWebOk;
    }
    if (n == 0) WebMenuShortcutsFlags(window, m->baseNumber, on, kMsfItemEnabled);
    for (WebMenuItemRecord* it = m->items; it; it = it->next) {
        if (n != 0 && it != WebMenuItemAt(m, n)) continue;
        it->itemFlags = on ? (it->itemFlags & ~kWmiDisabled) : (it->itemFlags | kWmiDisabled);
        if (n != 0) ShortcutItemEnable(window, it->itemNumber, on);
    }
    return kWebOk;
}

int32_t WebMenuMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(kTypeMenu, call);
    if (check != 0) return check;
    WebMenuRecord* m = WebMenu(rec);
    // Items by zero-based index; their records are not handed to the server
    // in the web view yet, so the methods that answer an item refuse.
    WebMenuItemRecord* it = WebMenuItemAt(m, WebArgInt(call, 0, -1) + 1);
    switch (call->method) {
    case kMmAddItem: case kMmGetItem: return kWebNotAvailable;
    case kMmRemoveItem: return WebReplyInt(WebMenuRemoveItem(m, WebArgInt(call, 0, -1)) ? 0 : 1);
    case kMmGetItemCount: return WebReplyInt(m->itemCount);
    case kMmGetItemType:
        return WebReplyInt(!it ? -1 : MenuItemTypeCode((it->itemFlags & kWmiSeparator) != 0, false));
    case kMmGetItemState:
        return WebReplyInt(!it ? -1
                               : MenuItemStateCode((it->itemFlags & kWmiDisabled) != 0, (it->itemFlags & kWmiChecked) != 0,
                                                   (it->itemFlags & kWmiDefault) != 0));
    case kMmGetItemName: {
        gTextBuf[0] = 0;
        if (it) snprintf(gTextBuf, kTextBufSize + 1, "%s", it->text);
        return WebReplyText(gTextBuf);
    }
    case kMmActivate:
        if (rec->kind != kKindFloatMenu) return WebReplyInt(1);
        if (WebArgInt(call, 2, 0)) return WebReplyInt(2);
        if (m->itemCount && WindowOf(rec)) WebMenuPopupShow(m, WebArgInt(call, 1, 0), WebArgInt(call, 0, 0), false);
        rec->flags &= ~kObjShown;
        return WebReplyInt(0);
    default:
        return kWebUnknownMethod;
    }
}

void WebMenuDestroy(ObjectRecord* rec) {
    WebMenuRecord* m = WebMenu(rec);
    ObjectRecord* window = WindowOf(rec);
    if (gMenuMadeLast == rec) gMenuMadeLast = nullptr;
    bool wasShown = Shown(m);
    if (window) {
        for (ObjectRecord** link = &reinterpret_cast<WindowRecord*>(window)->menus; *link; link = &(*link)->next)
            if (*link == rec) {
                *link = rec->next;
                break;
            }
        if (rec->kind == kKindMenu && wasShown) {
            rec->flags &= ~kObjShown;
            ShiftBar(window, static_cast<uint16_t>(m->barPosition + 1), -1, m);
        }
    }
    while (m->items) WebMenuRemoveItem(m, 0);
    GuardedFree(m->text);
    m->text = nullptr;
    MenuBaseFree(m->baseNumber);
    m->baseNumber = 0;
    if (window) {
        SendDeletePopup(m, rec->kind == kKindMenu);
        if (rec->kind == kKindMenu && wasShown) WebMenuBarMarkup(window);
    }
}

bool WebMenuPageClick(ObjectRecord* window, uint32_t number) {
    if (!WebIsWindow(window) || number == 0) return false;
    uint16_t base = static_cast<uint16_t>(number - number % kMenuBaseStep);
    for (ObjectRecord* r = reinterpret_cast<WindowRecord*>(window)->menus; r; r = r->next) {
        WebMenuRecord* m = WebMenu(r);
        if (m->baseNumber != base) continue;
        uint32_t item = number - base;
        if (item == 0) {
            // A bar entry: its popup, placed by the page under the entry.
            if (r->kind == kKindMenu && Shown(m) && !(m->menuFlags & kMenuBarEntryDisabled) && m->itemCount)
                WebMenuPopupShow(m, 0, 0, true);
            return true;
        }
        WebMenuItemRecord* it = WebMenuItemAt(m, static_cast<int32_t>(item));
        if (it && !(it->itemFlags & (kWmiDisabled | kWmiSeparator)))
            PostObjectEvent(r, kEvClick, kEventKindDefault, 0, static_cast<int32_t>(item));
        return true;
    }
    return false;
}

ObjectRecord* WebMenuItemCreate(ObjectRecord* menu, ObjectCreateRecord* cr, int32_t* code) {
    if (!menu || !WebIsMenuKind(menu) || !ObjectIsWebView(menu)) {
        *code = kWebNotCreated;
        return nullptr;
    }
    // Hanging a SubMenu below an item is not built in the web view: such a
    // row is refused rather than made without its SubMenu.
    if (cr->given[kMpSubMenu] && cr->values[kMpSubMenu]) {
        *code = kWebNotAvailable;
        return nullptr;
    }
    WebMenuRecord* m = WebMenu(menu);
    auto* obj = reinterpret_cast<WebMenuItemObject*>(ObjectAllocRecord(kKindMenuItem, sizeof(WebMenuItemObject), true));
    if (!obj) {
        *code = kWebNoMemory;
        return nullptr;
    }
    const CrText& t = cr->title.text ? cr->title : cr->text;
    // The row's text is parsed as the web menus' own items are ('&' marks dropped).
    MenuParseItemText(t.text ? t.text : "", t.text ? t.length : 0, false);
    if (cr->flags0 & kCrDisabled) gMenuItem.enabled = false;
    int32_t r = WebMenuAddParsedItem(m, 0);
    if (r != kWebOk) {
        ObjectFreeRecord(&obj->hdr);
        *code = r;
        return nullptr;
    }
    CopyCreateStrings(&obj->hdr, cr);
    obj->menuHandle = menu->handle;
    obj->itemNumber = WebMenuItemAt(m, m->itemCount)->itemNumber;
    *code = kWebOk;
    return &obj->hdr;
}

void WebMenuInstall() {
    // A SubMenu is made as the native one is: from its definition text, kept
    // in its window's menu list, never on the bar itself.
    for (uint32_t kind : {kKindMenu, kKindSubMenu, kKindFloatMenu}) {
        WebRegisterCreator(kind, MenuCreate);
        WebRegisterKindOps(kind, &kMenuOps);
        WebRegisterPropHandlers(kind, MenuSetProp, MenuGetProp);
        WebRegisterShowHandlers(kind, WebMenuActivate, WebMenuHide);
        WebRegisterItemEnableHandler(kind, MenuEnableOp);
    }
    gWebMenuPageClick = WebMenuPageClick;
    gWebMenuItemCreate = WebMenuItemCreate;
}
