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
// post. A SubMenu's list goes inside the item it hangs below; its items are
// numbered in its own block. Items are objects of their own (kind 48) that
// the server may hold (AddItem, GetItem) and address by handle or through
// the menu with a selector.
#include "webview/controls/webmenu.h"

#include <cstdio>
#include <initializer_list>
#include <cstring>

#include "controls/ctlcore.h"
#include "objects/events.h"
#include "objects/objtables.h"
#include "session/util/json.h"
#include "session/util/mem.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"
#include "objects/objhooks.h"

namespace {

enum MenuDwid : int32_t { kMdPopup = 1, kMdBar = 2, kMdKeys = 3 };
constexpr size_t kShortcutTextMax = 24;   // one "key,ctrl,shift,item;" at most
constexpr int32_t kBarPositions = 100;         // bar places 1..99
constexpr int32_t kEnableBarEntry = 999;
constexpr char kDefaultMenuText[] = "M";
constexpr uint32_t kMergeTypeMax = 3;
constexpr int kSubMenuDepthMax = 16;             // SubMenus below SubMenus, at most
constexpr char kItemNamePrefix[] = "Mi";
constexpr int32_t kItemTypeNoItem = -1;
// AddItem's arguments.
enum AddItemArg : uint32_t {
    kAaChecked, kAaDefault, kAaEnabled, kAaItemPos, kAaSeparator, kAaShortCut, kAaSpcMenu, kAaSubMenu, kAaTag,
    kAaText, kAaRunName, kAaHelpId, kAaHelpTopic, kAaUserData,
};
constexpr uint8_t kShortCutMax = 132;
constexpr uint32_t kItemTextMax = 255;

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

// A menu's or item's text as the server reads it back, into gTextBuf: the
// texts keep their '&' marks (the page underlines the letter after one);
// a mark is dropped and "&&" gives one '&'. Answers the length.
uint32_t TextWithoutMarks(const char* text) {
    uint32_t out = 0;
    for (const char* p = text; p && *p && out < kTextBufSize; ++p) {
        if (*p == '&' && !*++p) break;
        gTextBuf[out++] = *p;
    }
    gTextBuf[out] = 0;
    return out;
}

// One hold on an item less (its menu's when removed, the server's when it
// lets go); the last frees it.
void ItemRelease(WebMenuItemRecord* it) {
    ObjectRecord* rec = &it->hdr;
    if (rec->useCount > 1) {
        rec->useCount--;
        return;
    }
    GuardedFree(it->text);
    it->text = nullptr;
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
}

// An item handed to the server: one use more, answered with its handle.
int32_t ReplyItem(WebMenuItemRecord* it) {
    if (!it) return WebReplyInt(0);
    it->hdr.useCount++;
    if (gWebObjServices.replyInt) gWebObjServices.replyInt(static_cast<int32_t>(it->hdr.handle), kTypeMenu);
    return kWebNoAnswer;
}

void Renumber(WebMenuRecord* m) {
    uint16_t n = static_cast<uint16_t>(m->baseNumber + 1);
    for (WebMenuItemRecord* it = m->items; it; it = it->next) it->itemNumber = n++;
}

bool Shown(const WebMenuRecord* m) { return (m->hdr.flags & kObjShown) != 0; }

// The Menu on the bar a menu's list opens from: itself, or the menu a
// SubMenu hangs in, followed up (bounded: a loop of SubMenus ends it).
WebMenuRecord* BarMenuOf(WebMenuRecord* m) {
    for (int depth = 0; m && depth < kSubMenuDepthMax; ++depth) {
        if (m->hdr.kind != kKindSubMenu) return m;
        m = m->ownerItem ? m->ownerItem->menu : nullptr;
    }
    return nullptr;
}

// The bar after a change of its entries: the window's bar flag cleared, it
// goes to the page again.
void BarAgain(ObjectRecord* window) {
    if (!WebIsWindow(window)) return;
    WebWin(window)->menuBarSent = 0;
    WebMenuBarMarkup(window);
}

// The bar when a shown Menu's entry or list changed: sent only when nothing
// since it was last sent left it as it is.
void BarIfShown(WebMenuRecord* m) {
    m = BarMenuOf(m);
    if (m && m->hdr.kind == kKindMenu && Shown(m)) WebMenuBarMarkup(WindowOf(&m->hdr));
}

// True when the menu or a SubMenu below it changed since its list was
// sent; clears the marks.
bool ClearChanged(WebMenuRecord* m, int depth) {
    bool changed = m->changed != 0;
    m->changed = 0;
    if (depth >= kSubMenuDepthMax) return changed;
    for (WebMenuItemRecord* it = m->items; it; it = it->next)
        if (it->subMenu && ClearChanged(it->subMenu, depth + 1)) changed = true;
    return changed;
}

// A change below a SubMenu is a change of every menu it hangs in.
void MarkChanged(WebMenuRecord* m) {
    for (int depth = 0; m && depth < kSubMenuDepthMax; ++depth) {
        m->changed = 1;
        m = m->hdr.kind == kKindSubMenu && m->ownerItem ? m->ownerItem->menu : nullptr;
    }
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

// An entry a key press acts on: a key, of an enabled item of a shown menu
// whose bar entry is enabled.
bool ShortcutActive(const WebMenuShortcut& e) {
    return e.itemNumber && e.key && (e.flags & kMsfMenuShown) && (e.flags & kMsfItemEnabled) &&
           !(e.flags & kMsfBarEntryDisabled);
}

// The page keeps the window's active shortcuts ("key,ctrl,shift,item"
// joined by ';', action 36 "dwid" 3), sent again when they change.
void ShortcutsToPage(ObjectRecord* window) {
    if (!WebIsWindow(window)) return;
    WebWindowRecord* w = WebWin(window);
    static char keys[kMenuShortcutsMax * kShortcutTextMax + 1];
    size_t n = 0;
    keys[0] = 0;
    for (uint32_t i = 0; i < w->menuShortcutCount && i < kMenuShortcutsMax; ++i) {
        const WebMenuShortcut& e = w->menuShortcuts[i];
        if (!ShortcutActive(e)) continue;
        n += static_cast<size_t>(snprintf(keys + n, sizeof keys - n, "%s%u,%d,%d,%u", n ? ";" : "", e.key,
                                          (e.flags & kMsfCtrl) ? 1 : 0, (e.flags & kMsfShift) ? 1 : 0,
                                          e.itemNumber));
    }
    if (strcmp(keys, w->menuKeys ? w->menuKeys : "") == 0) return;
    char* copy = WebTextDup(keys, static_cast<uint32_t>(n));
    if (!copy) return;
    GuardedFree(w->menuKeys);
    w->menuKeys = copy;
    char name[24];
    snprintf(name, sizeof name, "C%u", window->elementId);
    WebViewSelectForObject(window);
    JsonBeginAction(kActMenu);
    JsonAddStringNoConv("name", name);
    JsonAddInt("dwid", kMdKeys);
    JsonAddStringNoConv("keys", keys);
    WebViewMsgEnd();
}

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
    ShortcutsToPage(window);
}

// An item's entry after its shortcut or special menu changed.
void ShortcutUpdate(ObjectRecord* window, const WebMenuItemRecord* it, bool menuShown) {
    WebMenuShortcut* e = WebMenuShortcutFind(window, it->itemNumber);
    if (!it->shortCut && !it->specialMenu) {
        if (e) *e = WebMenuShortcut{};
    } else if (e) {
        ShortcutCode(e, it->shortCut, it->specialMenu);
    } else {
        WebMenuShortcutAdd(window, it, menuShown);
    }
    ShortcutsToPage(window);
}

void ShortcutItemEnable(ObjectRecord* window, uint16_t number, bool on) {
    if (WebMenuShortcut* e = WebMenuShortcutFind(window, number))
        e->flags = on ? (e->flags | kMsfItemEnabled) : (e->flags & ~kMsfItemEnabled);
    ShortcutsToPage(window);
}

// ---- SubMenus below items -------------------------------------------------------------------

// A SubMenu's record goes with its items, its base number and its popup.
void SubMenuFree(WebMenuRecord* sub) {
    WebMenuDestroy(&sub->hdr);
    ObjectFreeCommon(&sub->hdr);
    ObjectFreeRecord(&sub->hdr);
}

// The item lets go of its SubMenu: taken off the item and one reference
// less; a SubMenu the server destroyed goes with the last reference.
void DropSubMenu(WebMenuItemRecord* it) {
    WebMenuRecord* sub = it->subMenu;
    if (!sub) return;
    sub->hdr.flags &= ~kObjShown;
    WebSubMenuDetach(sub);
    if (sub->refCount == 0 && !ObjectIsLive(&sub->hdr)) SubMenuFree(sub);
}

// Hangs sub below the item at 1-based place of menu m.
int32_t AttachSubMenu(WebMenuRecord* m, WebMenuRecord* sub, int32_t place) {
    if (!sub || sub->hdr.kind != kKindSubMenu || sub == m || !ObjectIsLive(&sub->hdr)) return kWebOk;
    // Below itself it would open in its own list; too deep, past the bound.
    WebMenuRecord* up = m;
    for (int depth = 0; up; ++depth) {
        if (up == sub || depth >= kSubMenuDepthMax) return kWebOk;
        up = up->hdr.kind == kKindSubMenu && up->ownerItem ? up->ownerItem->menu : nullptr;
    }
    if (sub->ownerItem) DropSubMenu(sub->ownerItem);
    sub->parentMenu = m;
    sub->afterMenu = static_cast<uint32_t>(place);
    sub->hdr.flags |= kObjShown;
    return WebSubMenuActivate(&sub->hdr, 0, 0, 0, 0);
}

// The menu a handle names, when it is a SubMenu of the web view.
WebMenuRecord* SubMenuOfHandle(int64_t handle) {
    ObjectRecord* rec = handle > 0 ? ObjectFromHandle(static_cast<uint32_t>(handle)) : nullptr;
    return rec && rec->kind == kKindSubMenu && ObjectIsWebView(rec) ? WebMenu(rec) : nullptr;
}

int32_t PlaceOf(const WebMenuItemRecord* it) {
    int32_t place = 1;
    for (const WebMenuItemRecord* o = it->menu ? it->menu->items : nullptr; o && o != it; o = o->next) ++place;
    return place;
}

// ---- Generic operations -------------------------------------------------------------------

int32_t MenuGetText(ObjectRecord* rec, int32_t n) {
    WebMenuRecord* m = WebMenu(rec);
    const char* text = nullptr;
    if (n == 0) text = m->text;
    else if (WebMenuItemRecord* it = WebMenuItemAt(m, n)) text = it->text;
    return static_cast<int32_t>(TextWithoutMarks(text));
}

int32_t MenuSetText(ObjectRecord* rec, int32_t n, const char* text, uint32_t length) {
    WebMenuRecord* m = WebMenu(rec);
    WebMenuItemRecord* it = WebMenuItemAt(m, n);
    if (!it) return kWebOk;
    MenuParseItemText(text ? text : "", text ? length : 0, true);
    char* copy = CopyText(gMenuItem.text, gMenuItem.length);
    if (!copy) return kWebNoMemory;
    GuardedFree(it->text);
    it->text = copy;
    it->shortCut = gMenuItem.shortCut;
    it->specialMenu = gMenuItem.specialMenu;
    if (gMenuItem.separator) it->itemFlags |= kWmiSeparator;
    else it->itemFlags = gMenuItem.enabled ? (it->itemFlags & ~kWmiDisabled) : (it->itemFlags | kWmiDisabled);
    ShortcutUpdate(WindowOf(rec), it, Shown(m));
    MarkChanged(m);
    BarIfShown(m);
    return kWebOk;
}

int32_t MenuInsertItem(ObjectRecord* rec, int32_t n, const char* text, uint32_t length) {
    MenuParseItemText(text ? text : "", text ? length : 0, true);
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
        if (Shown(m)) BarAgain(WindowOf(rec));
        return kWebOk;
    }
    case kPidVisible:
        if (value && !Shown(m)) return WebActivateObject(rec, 0, 0, 0, 0);
        if (!value && Shown(m)) return WebHideObject(rec, 0);
        return kWebOk;
    case kPidRightButton: if (rec->kind == kKindFloatMenu) m->afterMenu = value ? 1 : 0; return kWebOk;
    case kPidMdiList: m->mdiList = value ? 1 : 0; return kWebOk;
    case kPidMergeType:
        if (static_cast<uint32_t>(value) <= kMergeTypeMax) m->mergeType = static_cast<uint8_t>(value);
        return kWebOk;
    case kPidMenuOrder:
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
    case kPidRightButton: *result = rec->kind == kKindFloatMenu && m->afterMenu == 1 ? 1 : 0; return kWebOk;
    case kPidMdiList: *result = m->mdiList; return kWebOk;
    case kPidMergeType: *result = m->mergeType; return kWebOk;
    case kPidMenuOrder: *result = static_cast<int32_t>(m->menuOrder); return kWebOk;
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
        m->afterMenu = CreateRecordValue(cr, kPidRightButton, 0) == 1 ? 1 : 0;
        rec->top = cr->top;
        rec->left = cr->left;
    }
    m->menuOrder = static_cast<uint32_t>(CreateRecordValue(cr, kPidMenuOrder, 0));
    if (kind == kKindSubMenu) m->refCount = 1;   // the server's
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
        BarAgain(window);
    }
    *code = kWebOk;
    return rec;
}


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

int32_t WebMenuAddParsedItem(WebMenuRecord* m, int32_t pos, WebMenuItemRecord** made) {
    // Items are numbered in the menu's block of 100: a 100th would take the
    // next menu's base number.
    if (m->itemCount >= kMenuItemsMax) return kWebRectRefused;
    auto* it = reinterpret_cast<WebMenuItemRecord*>(
        ObjectAllocRecord(kKindMenuItem, sizeof(WebMenuItemRecord), true));
    if (!it) return kWebNoMemory;
    it->text = CopyText(gMenuItem.text, gMenuItem.length);
    char name[8];
    unsigned count = m->itemCount + 1u;
    snprintf(name, sizeof name, "%s%c%c", kItemNamePrefix, '0' + count / 10, '0' + count % 10);
    it->hdr.runName = WebTextDupLocal(name, static_cast<uint32_t>(strlen(name)));
    if (!it->text || !it->hdr.runName) {
        ItemRelease(it);
        return kWebNoMemory;
    }
    it->hdr.useCount = 1;
    it->hdr.parent = m->hdr.parent;
    it->hdr.helpId = gMenuItem.helpNumber;
    if (gMenuItem.helpTopic[0])
        it->hdr.helpTopic = WebTextDupLocal(gMenuItem.helpTopic, static_cast<uint32_t>(strlen(gMenuItem.helpTopic)));
    it->menu = m;
    if (!gMenuItem.enabled) it->itemFlags |= kWmiDisabled;
    if (gMenuItem.separator) it->itemFlags |= kWmiSeparator;
    else if (m->hdr.flags & kObjRightToLeft) it->itemFlags |= kWmiRightToLeft;
    it->shortCut = gMenuItem.shortCut;
    it->specialMenu = gMenuItem.specialMenu;
    WebMenuItemRecord** link = &m->items;
    if (pos >= 1 && pos <= m->itemCount) {
        for (int32_t i = 1; i < pos; ++i) link = &(*link)->next;
    } else {
        while (*link) link = &(*link)->next;
    }
    it->next = *link;
    *link = it;
    m->itemCount++;
    MarkChanged(m);
    Renumber(m);
    ObjectRecord* window = WindowOf(&m->hdr);
    if (it->next) ShortcutsRenumber(window, m->baseNumber, it->itemNumber, 1);
    if (it->shortCut || it->specialMenu) WebMenuShortcutAdd(window, it, Shown(m));
    BarIfShown(m);
    if (made) *made = it;
    return kWebOk;
}

bool WebMenuRemoveItem(WebMenuRecord* m, int32_t index) {
    if (index < 0 || index >= m->itemCount) return false;
    WebMenuItemRecord** link = &m->items;
    for (int32_t i = 0; i < index; ++i) link = &(*link)->next;
    WebMenuItemRecord* gone = *link;
    DropSubMenu(gone);
    *link = gone->next;
    ShortcutsRenumber(WindowOf(&m->hdr), m->baseNumber, gone->itemNumber, -1);
    m->itemCount--;
    MarkChanged(m);
    Renumber(m);
    BarIfShown(m);
    // A removed item the server still holds answers as one without menu.
    gone->menu = nullptr;
    gone->next = nullptr;
    GuardedFree(gone->text);
    gone->text = nullptr;
    LocalFreeMem(gone->hdr.runName);
    gone->hdr.runName = nullptr;
    ItemRelease(gone);
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
        ShortcutsToPage(window);
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
    ShortcutsToPage(window);
}

bool WebMenuBuildFromText(WebMenuRecord* m, const char* text, uint32_t length) {
    uint32_t used = MenuParseItemText(text, length, true);
    m->text = CopyText(gMenuItem.text, gMenuItem.length);
    if (!m->text) return false;
    m->mergeType = gMenuItem.mergeCode;
    m->mdiList = gMenuItem.windowList ? 1 : 0;
    // Past 290 menus a base number would be shared with another menu.
    m->baseNumber = MenuBaseAlloc();
    if (!m->baseNumber) return false;
    while (used < length) {
        used += MenuParseItemText(text + used, length - used, true);
        if (WebMenuAddParsedItem(m, 0) != kWebOk) return false;
    }
    m->changed = 0;
    return true;
}

void WebMenuBarMarkup(ObjectRecord* window) {
    if (!WebIsWindow(window) || gFormLoadCreating || WebWin(window)->menuBarSent) return;
    WebWin(window)->menuBarSent = 1;
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

static void PopupMarkup(WebMenuRecord* m, uint32_t windowId, int depth) {
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
        HtmlAppend("</a>", 0);
        if (it->subMenu && depth < kSubMenuDepthMax) PopupMarkup(it->subMenu, windowId, depth + 1);
        HtmlAppend("</li>", 0);
    }
    HtmlAppend("</ul>", 0);
}

void WebMenuPopupMarkup(WebMenuRecord* m, uint32_t windowId) { PopupMarkup(m, windowId, 0); }

void WebMenuPopupShow(WebMenuRecord* m, int32_t top, int32_t left, bool withForm) {
    ObjectRecord* window = WindowOf(&m->hdr);
    if (!window) return;
    if (ClearChanged(m, 0)) SendDeletePopup(m, withForm);
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
    BarAgain(window);
    return kWebOk;
}

int32_t WebMenuHide(ObjectRecord* rec, bool wasShown) {
    WebMenuRecord* m = WebMenu(rec);
    ObjectRecord* window = WindowOf(rec);
    if (rec->kind != kKindMenu || !wasShown || !window) return kWebOk;
    ShiftBar(window, static_cast<uint16_t>(m->barPosition + 1), -1, m);
    m->barPosition = 0;
    WebMenuShortcutsFlags(window, m->baseNumber, false, kMsfMenuShown);
    BarAgain(window);
    return kWebOk;
}

int32_t WebMenuCheckItem(ObjectRecord* rec, int32_t n, int32_t on) {
    WebMenuRecord* m = WebMenu(rec);
    WebMenuItemRecord* it = WebMenuItemAt(m, n == 0 ? 1 : n);
    if (!it) return kWebOk;
    it->itemFlags = on ? (it->itemFlags | kWmiChecked) : (it->itemFlags & ~kWmiChecked);
    MarkChanged(m);
    return kWebOk;
}

int32_t WebMenuEnable(ObjectRecord* rec, int32_t n, bool on) {
    WebMenuRecord* m = WebMenu(rec);
    MarkChanged(m);
    ObjectRecord* window = WindowOf(rec);
    if (n == kEnableBarEntry && rec->kind == kKindMenu) {
        m->menuFlags = on ? (m->menuFlags & ~kMenuBarEntryDisabled) : (m->menuFlags | kMenuBarEntryDisabled);
        WebMenuShortcutsFlags(window, m->baseNumber, !on, kMsfBarEntryDisabled);
        if (Shown(m)) BarAgain(window);
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

// The item a key argument names: a text its RunName, a number its
// zero-based place.
static WebMenuItemRecord* ItemByKey(WebMenuRecord* m, const MethodCallRec* call) {
    if (!WebArgGiven(call, 0)) return nullptr;
    if (WebArgIsText(call, 0)) {
        char name[kItemTextMax + 1];
        CallArgCopy(call, 0, name, sizeof name);
        for (WebMenuItemRecord* it = m->items; it; it = it->next)
            if (it->hdr.runName && strcmp(it->hdr.runName, name) == 0) return it;
        return nullptr;
    }
    return WebMenuItemAt(m, WebArgInt(call, 0, -1) + 1);
}

static bool WantsObject(const MethodCallRec* call) { return call->result.kind == kItemObject; }

// AddItem: an item from the call's arguments (Text parsed as a definition
// item; ItemPos zero-based), answered as an object when one is asked for.
static int32_t AddItemFromCall(WebMenuRecord* m, const MethodCallRec* call) {
    char text[kItemTextMax + 1];
    uint32_t length = CallArgCopy(call, kAaText, text, sizeof text);
    MenuParseItemText(text, length, false);
    if (WebArgGiven(call, kAaEnabled) && WebArgInt(call, kAaEnabled, 1) == 0) gMenuItem.enabled = false;
    if (WebArgInt(call, kAaSeparator, 0)) gMenuItem.separator = true;
    int32_t shortCut = WebArgInt(call, kAaShortCut, gMenuItem.shortCut);
    if (shortCut >= 0 && shortCut <= kShortCutMax) gMenuItem.shortCut = static_cast<uint8_t>(shortCut);
    int32_t special = WebArgInt(call, kAaSpcMenu, gMenuItem.specialMenu);
    if (special >= 0 && special <= kSpecialMenuMax) gMenuItem.specialMenu = static_cast<uint8_t>(special);
    if (WebArgGiven(call, kAaHelpId)) gMenuItem.helpNumber = static_cast<uint32_t>(WebArgInt(call, kAaHelpId, 0));
    gMenuItem.helpTopic[0] = 0;
    int32_t pos = WebArgGiven(call, kAaItemPos) ? WebArgInt(call, kAaItemPos, -1) + 1 : 0;
    WebMenuItemRecord* it = nullptr;
    int32_t r = WebMenuAddParsedItem(m, pos, &it);
    if (r != kWebOk) return WebReplyInt(r);
    if (WebArgInt(call, kAaChecked, 0)) it->itemFlags |= kWmiChecked;
    if (WebArgInt(call, kAaDefault, 0)) it->itemFlags |= kWmiDefault;
    it->tag = static_cast<uint32_t>(WebArgInt(call, kAaTag, 0));
    char field[kItemTextMax + 1];
    if (uint32_t n = CallArgCopy(call, kAaRunName, field, sizeof field)) {
        LocalFreeMem(it->hdr.runName);
        it->hdr.runName = WebTextDupLocal(field, n);
    }
    if (uint32_t n = CallArgCopy(call, kAaHelpTopic, field, sizeof field)) it->hdr.helpTopic = WebTextDupLocal(field, n);
    uint32_t dataLength = 0;
    const char* data = CallArgText(call, kAaUserData, &dataLength);
    if (data && dataLength && WebArgIsText(call, kAaUserData))
        it->hdr.userData = WebTextDupLocal(data, dataLength < kTextBufSize ? dataLength : kTextBufSize);
    if (WebArgGiven(call, kAaSubMenu))
        AttachSubMenu(m, SubMenuOfHandle(static_cast<int64_t>(call->args[kAaSubMenu].value)), PlaceOf(it));
    return WantsObject(call) ? ReplyItem(it) : WebReplyInt(0);
}

int32_t WebMenuMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(kTypeMenu, call);
    if (check != 0) return check;
    WebMenuRecord* m = WebMenu(rec);
    WebMenuItemRecord* it = ItemByKey(m, call);
    switch (call->method) {
    case kMenuAddItem: return AddItemFromCall(m, call);
    case kMenuGetItem: return ReplyItem(it);
    case kMenuRemoveItem: {
        int32_t index = 0;
        for (WebMenuItemRecord* o = m->items; o && o != it; o = o->next) ++index;
        return WebReplyInt(it && WebMenuRemoveItem(m, index) ? 0 : 1);
    }
    case kMenuGetItemCount: return WebReplyInt(m->itemCount);
    case kMenuGetItemType:
        return WebReplyInt(!it ? kItemTypeNoItem
                               : MenuItemTypeCode((it->itemFlags & kWmiSeparator) != 0, it->subMenu != nullptr));
    case kMenuGetItemState:
        return WebReplyInt(!it ? kItemTypeNoItem
                               : MenuItemStateCode((it->itemFlags & kWmiDisabled) != 0, (it->itemFlags & kWmiChecked) != 0,
                                                   (it->itemFlags & kWmiDefault) != 0));
    case kMenuGetItemName: {
        gTextBuf[0] = 0;
        if (it) TextWithoutMarks(it->text);
        return WebReplyText(gTextBuf);
    }
    case kMenuActivate:
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
    if (rec->kind == kKindSubMenu) WebSubMenuDetach(m);
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
        if (rec->kind == kKindMenu && wasShown) BarAgain(window);
    }
}

bool WebMenuPageClick(ObjectRecord* window, uint32_t number, bool fromKey) {
    if (!WebIsWindow(window) || number == 0) return false;
    if (fromKey) {
        // A shortcut key: only an active entry's item, whatever the page held.
        WebMenuShortcut* e = WebMenuShortcutFind(window, static_cast<uint16_t>(number));
        if (!e || !ShortcutActive(*e)) return true;
    }
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
        // An item that opens a SubMenu is no command, as natively.
        if (it && !it->subMenu && !(it->itemFlags & (kWmiDisabled | kWmiSeparator)))
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
    WebMenuRecord* m = WebMenu(menu);
    const CrText& t = cr->title.text ? cr->title : cr->text;
    // The row's text is parsed as the web menus' own items are ('&' marks dropped).
    MenuParseItemText(t.text ? t.text : "", t.text ? t.length : 0, false);
    if (cr->flags0 & kCrDisabled) gMenuItem.enabled = false;
    WebMenuItemRecord* it = nullptr;
    int32_t r = WebMenuAddParsedItem(m, 0, &it);
    if (r != kWebOk) {
        *code = r;
        return nullptr;
    }
    CopyCreateStrings(&it->hdr, cr);
    if (cr->given[kPidSubMenu]) AttachSubMenu(m, SubMenuOfHandle(cr->values[kPidSubMenu]), m->itemCount);
    *code = kWebOk;
    return &it->hdr;
}

uint32_t WebSubMenuAddRef(ObjectRecord* subMenu) {
    if (!subMenu || subMenu->kind != kKindSubMenu) return 0;
    return ++WebMenu(subMenu)->refCount;
}

uint32_t WebSubMenuRelease(ObjectRecord* subMenu) {
    if (!subMenu || subMenu->kind != kKindSubMenu) return 0;
    WebMenuRecord* m = WebMenu(subMenu);
    if (m->refCount > 0) m->refCount--;
    return m->refCount;
}

int32_t WebSubMenuActivate(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    WebMenuRecord* sub = WebMenu(rec);
    WebMenuRecord* m = sub->parentMenu;
    if (!m) return kMenuNoParent;
    WebMenuItemRecord* it = WebMenuItemAt(m, static_cast<int32_t>(sub->afterMenu));
    if (!it) {
        rec->flags &= ~kObjShown;
        return kWebOk;
    }
    rec->flags |= kObjShown;
    if (it->subMenu == sub) return kWebOk;
    if (sub->ownerItem) WebSubMenuDetach(sub);
    if (it->subMenu) DropSubMenu(it);
    WebSubMenuAddRef(rec);
    it->subMenu = sub;
    sub->ownerItem = it;
    sub->parentMenu = m;
    rec->flags |= kObjShown;
    MarkChanged(m);
    WebMenuShortcutsFlags(WindowOf(rec), sub->baseNumber, true, kMsfMenuShown);
    BarIfShown(m);
    return kWebOk;
}

void WebSubMenuDetach(WebMenuRecord* sub) {
    WebMenuItemRecord* it = sub->ownerItem;
    if (!it) return;
    it->subMenu = nullptr;
    sub->ownerItem = nullptr;
    sub->parentMenu = it->menu;
    WebMenuShortcutsFlags(WindowOf(&sub->hdr), sub->baseNumber, false, kMsfMenuShown);
    if (it->menu) {
        MarkChanged(it->menu);
        BarIfShown(it->menu);
    }
    WebSubMenuRelease(&sub->hdr);
}

static int32_t SubMenuHide(ObjectRecord* rec, bool) {
    WebSubMenuDetach(WebMenu(rec));
    return kWebOk;
}

bool WebSubMenuKeptForItems(ObjectRecord* rec) {
    if (!rec || rec->kind != kKindSubMenu || WebSubMenuRelease(rec) == 0) return false;
    // Items still hold it: it leaves its window (which may go before them)
    // and the server, and goes with the last item's reference.
    WebMenuRecord* m = WebMenu(rec);
    if (ObjectRecord* window = WindowOf(rec))
        for (ObjectRecord** link = &reinterpret_cast<WindowRecord*>(window)->menus; *link; link = &(*link)->next)
            if (*link == rec) {
                *link = rec->next;
                break;
            }
    if (gMenuMadeLast == rec) gMenuMadeLast = nullptr;
    rec->next = nullptr;
    rec->parent = nullptr;
    for (WebMenuItemRecord* it = m->items; it; it = it->next) it->hdr.parent = nullptr;
    ObjectUnregister(rec);
    return true;
}

int32_t WebMenuItemDestroy(ObjectRecord* rec) {
    auto* it = reinterpret_cast<WebMenuItemRecord*>(rec);
    // Held by its menu, only the server's use goes; a removed item goes with it.
    if (it->menu && rec->useCount <= 1) return kWebOk;
    ItemRelease(it);
    return kWebOk;
}

// ---- MenuItem objects ------------------------------------------------------------------------

namespace {

WebMenuItemRecord* AsItem(ObjectRecord* rec) { return reinterpret_cast<WebMenuItemRecord*>(rec); }

void SetItemFlag(WebMenuItemRecord* it, uint32_t bit, bool on) {
    it->itemFlags = on ? (it->itemFlags | bit) : (it->itemFlags & ~bit);
}

int32_t ItemSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                    bool* commonWrite) {
    WebMenuItemRecord* it = AsItem(rec);
    WebMenuRecord* m = it->menu;
    // An item has no element of its own: nothing goes to the page in common.
    *commonWrite = false;
    if (!m) return kWebOk;
    bool hasText = text && length;
    switch (id) {
    case kPidEnabled:
        SetItemFlag(it, kWmiDisabled, value == 0);
        ShortcutItemEnable(WindowOf(&m->hdr), it->itemNumber, value != 0);
        MarkChanged(m);
        break;
    case kPidHelpId: rec->helpId = static_cast<uint32_t>(value); return kWebOk;
    case kPidText:
        if (hasText) {
            char* copy = CopyText(text, length < kItemTextMax ? length : kItemTextMax);
            if (!copy) return kWebNoMemory;
            GuardedFree(it->text);
            it->text = copy;
            MarkChanged(m);
        }
        break;
    case kPidDefault: SetItemFlag(it, kWmiDefault, value != 0); MarkChanged(m); break;
    case kPidRunName: case kPidHelpTopic: case kPidUserData:
        if (hasText) {
            char** field = id == kPidRunName ? &rec->runName : id == kPidHelpTopic ? &rec->helpTopic : &rec->userData;
            uint32_t max = id == kPidUserData ? kTextBufSize : kItemTextMax;
            char* copy = WebTextDupLocal(text, length < max ? length : max);
            if (!copy) return kWebNoMemory;
            LocalFreeMem(*field);
            *field = copy;
        }
        return kWebOk;
    case kPidTag: it->tag = static_cast<uint32_t>(value); return kWebOk;
    case kPidChecked: SetItemFlag(it, kWmiChecked, value != 0); MarkChanged(m); break;
    case kPidShortCut: case kPidSpecialMenu:
        if (value < 0 || value > (id == kPidShortCut ? kShortCutMax : kSpecialMenuMax)) return kWebOk;
        if (id == kPidShortCut) it->shortCut = static_cast<uint8_t>(value);
        else it->specialMenu = static_cast<uint8_t>(value);
        ShortcutUpdate(WindowOf(&m->hdr), it, Shown(m));
        return kWebOk;
    case kPidSeparator:
        if (((it->itemFlags & kWmiSeparator) != 0) == (value != 0)) return kWebOk;
        SetItemFlag(it, kWmiSeparator, value != 0);
        MarkChanged(m);
        break;
    case kPidSubMenu: {
        WebMenuRecord* sub = SubMenuOfHandle(value);
        if (sub == it->subMenu || sub == m) return kWebOk;
        DropSubMenu(it);
        AttachSubMenu(m, sub, PlaceOf(it));
        break;
    }
    default:
        return kWebOk;
    }
    BarIfShown(m);
    return kWebOk;
}

int32_t ItemGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebMenuItemRecord* it = AsItem(rec);
    *result = 0;
    if (!it->menu) {
        *text = "";
        return kWebOk;
    }
    auto flag = [it](uint32_t bit) { return (it->itemFlags & bit) ? 1 : 0; };
    switch (id) {
    case kPidEnabled: *result = 1 - flag(kWmiDisabled); return kWebOk;
    case kPidHelpId: *result = static_cast<int32_t>(rec->helpId); return kWebOk;
    case kPidText: TextWithoutMarks(it->text); *text = gTextBuf; return kWebOk;
    case kPidDefault: *result = flag(kWmiDefault); return kWebOk;
    case kPidRunName: *text = rec->runName ? rec->runName : ""; return kWebOk;
    case kPidTag: *result = static_cast<int32_t>(it->tag); return kWebOk;
    case kPidChecked: *result = flag(kWmiChecked); return kWebOk;
    case kPidShortCut: *result = it->shortCut; return kWebOk;
    case kPidSeparator: *result = flag(kWmiSeparator); return kWebOk;
    case kPidSpecialMenu: *result = it->specialMenu; return kWebOk;
    case kPidMenuOrder: *result = PlaceOf(it) - 1; return kWebOk;
    case kPidSubMenu:
        // The SubMenu handed out: one reference more, as the native items give it.
        if (it->subMenu) {
            WebSubMenuAddRef(&it->subMenu->hdr);
            *result = static_cast<int32_t>(it->subMenu->hdr.handle);
        }
        return kWebOk;
    case kPidHelpTopic: *text = rec->helpTopic ? rec->helpTopic : ""; return kWebOk;
    case kPidUserData: *text = rec->userData ? rec->userData : ""; return kWebOk;
    default: return kWebNotAvailable;
    }
}

// Methods of a MenuItem: 2 and 4-7 ask its SubMenu.
int32_t ItemMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(kTypeMenu, call);
    if (check != 0) return check;
    WebMenuRecord* sub = AsItem(rec)->subMenu;
    switch (call->method) {
    case kMenuGetItem: case kMenuGetItemCount: case kMenuGetItemType: case kMenuGetItemState: case kMenuGetItemName:
        if (sub) return WebMenuMethod(&sub->hdr, call);
        if (call->method == kMenuGetItemName) return WebReplyText("");
        return WebReplyInt(call->method == kMenuGetItemType || call->method == kMenuGetItemState ? kItemTypeNoItem : 0);
    default:
        return call->method >= kMenuAddItem && call->method <= kMenuActivate ? WebReplyInt(0) : kWebUnknownMethod;
    }
}

// The item a property request's selector names: a number its zero-based
// place, a text its RunName; none when it names no item.
ObjectRecord* RouteMenuItem(ObjectRecord* rec, const EventItem& selector, uint32_t nameMax) {
    WebMenuRecord* m = WebMenu(rec);
    if (selector.kind == kItemNone) return rec;
    if (ItemIsText(selector.kind)) {
        if (!selector.data || selector.size > nameMax) return nullptr;
        for (WebMenuItemRecord* it = m->items; it; it = it->next)
            if (it->hdr.runName && strlen(it->hdr.runName) == selector.size &&
                memcmp(it->hdr.runName, selector.data, selector.size) == 0)
                return &it->hdr;
        return nullptr;
    }
    int64_t index = static_cast<int64_t>(selector.value);
    WebMenuItemRecord* it = index >= 0 && index < m->itemCount ? WebMenuItemAt(m, static_cast<int32_t>(index) + 1) : nullptr;
    return it ? &it->hdr : nullptr;
}

}  // namespace

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

// A menu's show is its place in the bar (a popup's opening), once shown no more.
int32_t MenuShowOp(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    if (rec->flags & kObjShown) return kWebOk;
    return WebMenuActivate(rec, a, b, c, d);
}

int32_t SubMenuShowOp(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    if (rec->flags & kObjShown) return kWebOk;
    return WebSubMenuActivate(rec, a, b, c, d);
}

// A SubMenu that items hold stays for them.
int32_t SubMenuHeld(ObjectRecord* rec) { return WebSubMenuKeptForItems(rec) ? kWebOk : kWebNotHeld; }

// Menus of the bar and popup menus.
const WebKindOps kMenuOps = {
    .create = MenuCreate,
    .setProp = MenuSetProp,
    .getProp = MenuGetProp,
    .itemRoute = RouteMenuItem,
    .itemEnable = MenuEnableOp,
    .show = MenuShowOp,
    .hide = WebMenuHide,
    .destroy = WebMenuDestroy,
    .method = WebMenuMethod,
    .getText = MenuGetText,
    .setText = MenuSetText,
    .insertItem = MenuInsertItem,
    .deleteItem = MenuDeleteItem,
    .checkItem = WebMenuCheckItem,
    .askEvent = WebAskNever,
    .defaultEvent = kEvClick,
    .traits = kWebKindSendsNoDelete | kWebKindNoElement,
};

// A SubMenu is made as the native one is: from its definition text, kept in
// its window's menu list, never on the bar itself, opened from the item it
// hangs below.
const WebKindOps kSubMenuOps = {
    .create = MenuCreate,
    .setProp = MenuSetProp,
    .getProp = MenuGetProp,
    .itemRoute = RouteMenuItem,
    .itemEnable = MenuEnableOp,
    .show = SubMenuShowOp,
    .hide = SubMenuHide,
    .held = SubMenuHeld,
    .destroy = WebMenuDestroy,
    .method = WebMenuMethod,
    .getText = MenuGetText,
    .setText = MenuSetText,
    .insertItem = MenuInsertItem,
    .deleteItem = MenuDeleteItem,
    .checkItem = WebMenuCheckItem,
    .askEvent = WebAskNever,
    .defaultEvent = kEvClick,
    .traits = kWebKindSendsNoDelete | kWebKindNoElement,
};

// An item is made by its menu (WebObjectOps::menuItemCreate).
const WebKindOps kMenuItemOps = {
    .setProp = ItemSetProp,
    .getProp = ItemGetProp,
    .held = WebMenuItemDestroy,  // its menu, or the server
    .method = ItemMethod,
    .traits = kWebKindSendsNoDelete | kWebKindNoElement,
};

}  // namespace

void WebMenuInstall() {
    WebRegisterKind(kKindMenu, &kMenuOps);
    WebRegisterKind(kKindFloatMenu, &kMenuOps);
    WebRegisterKind(kKindSubMenu, &kSubMenuOps);
    WebRegisterKind(kKindMenuItem, &kMenuItemOps);
    gWebHooks.menuPageClick = WebMenuPageClick;
    gWebObjectOps.menuItemCreate = WebMenuItemCreate;
}
