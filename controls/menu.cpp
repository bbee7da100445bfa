// menu.cpp - native menus: the Menu of a window's menu bar (kind 8), SubMenus
// hung below items (16), FloatMenus popped up at a position (24), their items
// (48) built from the menu definition text, the menu command event, and the
// MRegion record (9).
#include <initializer_list>

#include "controls/ctlcommon.h"
#include "controls/ctlcore.h"
#include "objects/objhooks.h"
#include "objects/objwindowed.h"
#include "objects/window.h"

bool gGuiShuttingDown;

namespace {

constexpr uint32_t kItemsMax = kMenuItemsMax;
enum MenuItemFlag : uint32_t { kItemDisabled = 1, kItemSeparator = 2, kItemDefault = 4, kItemChecked = 8 };

struct MenuItemRecord;
struct MenuRecord {
    ObjectRecord hdr;
    HMENU popup;
    char* text;
    MenuItemRecord* items;
    uint32_t itemCount;
    uint16_t baseNumber;
    uint32_t refCount;
    uint8_t mergeType;      // menu group for an in-place object's shared menu, 0..3
};
struct MenuItemRecord {
    ObjectRecord hdr;
    MenuRecord* menu;
    MenuItemRecord* nextItem;
    char* text;
    uint32_t itemFlags;
    MenuRecord* subMenu;
};

MenuRecord* gLastMenu;

MenuRecord* AsMenu(ObjectRecord* rec) {
    return rec && (rec->kind == kKindMenu || rec->kind == kKindSubMenu || rec->kind == kKindFloatMenu)
               ? reinterpret_cast<MenuRecord*>(rec) : nullptr;
}

MenuItemRecord* ItemAt(MenuRecord* m, int32_t n) {   // n is 1-based
    MenuItemRecord* it = m->items;
    for (int32_t i = 1; it && i < n; ++i) it = it->nextItem;
    return n >= 1 ? it : nullptr;
}

// Puts the items into the popup again: command ids follow the positions.
// False when the popup did not take every item (AppendMenuA fails when it
// cannot copy a text, or the popup is gone): the menu does not show what the
// records hold, and the change that asked for the rebuild is answered -6.
bool MenuRebuild(MenuRecord* m) {
    while (GetMenuItemCount(m->popup) > 0) RemoveMenu(m->popup, 0, MF_BYPOSITION);
    uint32_t pos = 0;
    bool taken = true;
    for (MenuItemRecord* it = m->items; it; it = it->nextItem, ++pos) {
        UINT flags = MF_STRING;
        if (it->itemFlags & kItemSeparator) flags = MF_SEPARATOR;
        if (it->itemFlags & kItemDisabled) flags |= MF_GRAYED;
        if (it->itemFlags & kItemChecked) flags |= MF_CHECKED;
        UINT_PTR id = m->baseNumber + 1 + pos;
        if (it->subMenu) {
            flags |= MF_POPUP;
            id = reinterpret_cast<UINT_PTR>(it->subMenu->popup);
        }
        if (!AppendMenuA(m->popup, flags, id, it->text ? it->text : "")) taken = false;
    }
    if (m->hdr.kind == kKindMenu && (m->hdr.flags & kObjShown) && m->hdr.parent && m->hdr.parent->hwnd)
        DrawMenuBar(m->hdr.parent->hwnd);
    return taken;
}

int32_t RebuildAnswer(MenuRecord* m) { return MenuRebuild(m) ? 0 : kOpNoMemory; }

// Adds an item parsed into gMenuItem at 0-based position pos (past the end: last).
MenuItemRecord* MenuAddItem(MenuRecord* m, uint32_t pos) {
    if (m->itemCount >= kItemsMax) return nullptr;
    auto* it = reinterpret_cast<MenuItemRecord*>(ObjectAllocRecord(kKindMenuItem, sizeof(MenuItemRecord), false));
    if (!it) return nullptr;
    it->text = CtlCopyText(gMenuItem.text, gMenuItem.length);
    if (!it->text) {
        ObjectFreeRecord(&it->hdr);
        return nullptr;
    }
    it->hdr.useCount = 1;
    it->hdr.parent = m->hdr.parent;
    it->menu = m;
    if (!gMenuItem.enabled) it->itemFlags |= kItemDisabled;
    if (gMenuItem.separator) it->itemFlags |= kItemSeparator;
    MenuItemRecord** link = &m->items;
    for (uint32_t i = 0; *link && i < pos; ++i) link = &(*link)->nextItem;
    it->nextItem = *link;
    *link = it;
    m->itemCount++;
    return it;
}

void MenuFree(MenuRecord* m);

// Lets go of an item's SubMenu; a SubMenu the server destroyed while items
// still held it is freed with the last of them.
void ItemDropSubMenu(MenuItemRecord* it) {
    MenuRecord* sub = it->subMenu;
    it->subMenu = nullptr;
    if (sub && SubMenuRelease(&sub->hdr) == 0 && !(sub->hdr.flags & kObjAlive)) MenuFree(sub);
}

void ItemFree(MenuItemRecord* it) {
    if (it->text) LocalFreeMem(it->text);
    it->text = nullptr;
    it->menu = nullptr;
    ObjectRecord* rec = &it->hdr;
    if (rec->useCount > 1) {
        rec->useCount--;   // the server still holds it
        return;
    }
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
}

bool MenuRemoveItem(MenuRecord* m, int32_t n) {
    for (MenuItemRecord** link = &m->items; *link; link = &(*link)->nextItem) {
        if (--n > 0) continue;
        MenuItemRecord* it = *link;
        *link = it->nextItem;
        m->itemCount--;
        ItemDropSubMenu(it);
        ItemFree(it);
        return true;
    }
    return false;
}

// An item just added at 0-based position pos is shown, or taken out again
// when the popup did not take it (its text could not be copied): -6 then,
// and the menu shows what it showed before.
int32_t KeepUnlessTaken(MenuRecord* m, uint32_t pos) {
    if (MenuRebuild(m)) return 0;
    MenuRemoveItem(m, static_cast<int32_t>(pos) + 1);
    MenuRebuild(m);
    return kOpNoMemory;
}

// Builds the menu from its definition text: the first item is its own text.
bool MenuBuild(MenuRecord* m, const char* text, uint32_t length) {
    uint32_t at = 0;
    bool first = true;
    if (!text || !length) {
        text = "M";
        length = 1;
    }
    while (at < length) {
        uint32_t n = MenuParseItemText(text + at, length - at, true);
        if (n == 0) break;
        at += n;
        if (first) {
            m->text = CtlCopyText(gMenuItem.text, gMenuItem.length);
            if (!m->text) return false;
            m->mergeType = gMenuItem.mergeCode;
            first = false;
        } else if (!MenuAddItem(m, m->itemCount)) {
            return false;
        }
    }
    return MenuRebuild(m);
}

int MenuBarPosition(MenuRecord* m) {
    HMENU bar = m->hdr.parent && m->hdr.parent->hwnd ? GetMenu(m->hdr.parent->hwnd) : nullptr;
    if (!bar) return -1;
    int count = GetMenuItemCount(bar);
    for (int i = 0; i < count; ++i)
        if (GetSubMenu(bar, i) == m->popup) return i;
    return -1;
}

int32_t MenuShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t, int32_t) {
    MenuRecord* m = AsMenu(rec);
    HWND wnd = rec->parent ? rec->parent->hwnd : nullptr;
    if (rec->kind == kKindFloatMenu) {
        if (!wnd || !m->itemCount) return 0;
        POINT pt = {a, b};
        if (a == 0 && b == 0) GetCursorPos(&pt);
        else ClientToScreen(wnd, &pt);
        // The popup's own loop dispatches messages until a choice is made; a
        // request taken meanwhile may destroy the menu.
        ObjectRef ref = ObjectRefOf(rec);
        UINT cmd = static_cast<UINT>(TrackPopupMenu(m->popup, TPM_RETURNCMD | TPM_NONOTIFY, pt.x, pt.y, 0, wnd, nullptr));
        if (!ObjectRefAlive(ref)) return 0;
        if (cmd > m->baseNumber && cmd <= m->baseNumber + m->itemCount)
            PostObjectEvent(rec, kEvClick, kEventKindDefault, 0, static_cast<int32_t>(cmd - m->baseNumber));
        rec->flags &= ~kObjShown;   // a popup does not stay shown
        return 0;
    }
    if (rec->kind != kKindMenu || !wnd || MenuBarPosition(m) >= 0) return 0;
    HMENU bar = GetMenu(wnd);
    if (!bar) {
        bar = CreateMenu();
        if (!bar) return kOpNoMemory;
    }
    RECT client = WindowBarChangeBegin(rec->parent);
    if (!GetMenu(wnd)) SetMenu(wnd, bar);
    bool taken = AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(m->popup), m->text ? m->text : "");
    DrawMenuBar(wnd);
    WindowBarChangeEnd(rec->parent, client);
    return taken ? 0 : kOpNoMemory;
}

int32_t MenuHide(ObjectRecord* rec) {
    MenuRecord* m = AsMenu(rec);
    int pos = MenuBarPosition(m);
    if (pos >= 0) {
        RECT client = WindowBarChangeBegin(rec->parent);
        RemoveMenu(GetMenu(rec->parent->hwnd), static_cast<UINT>(pos), MF_BYPOSITION);
        DrawMenuBar(rec->parent->hwnd);
        WindowBarChangeEnd(rec->parent, client);
    }
    return 0;
}

int32_t MenuCheckItem(ObjectRecord* rec, int32_t n, int32_t on) {
    MenuRecord* m = AsMenu(rec);
    MenuItemRecord* it = ItemAt(m, n == 0 ? 1 : n);
    if (!it) return 0;
    it->itemFlags = on ? (it->itemFlags | kItemChecked) : (it->itemFlags & ~kItemChecked);
    return RebuildAnswer(m);
}

int32_t MenuEnable(ObjectRecord* rec, int32_t n, int32_t on) {
    MenuRecord* m = AsMenu(rec);
    for (MenuItemRecord* it = m->items; it; it = it->nextItem) {
        if (n != 0 && it != ItemAt(m, n)) continue;
        it->itemFlags = on ? (it->itemFlags & ~kItemDisabled) : (it->itemFlags | kItemDisabled);
    }
    return RebuildAnswer(m);
}

int32_t MenuDeleteItem(ObjectRecord* rec, int32_t n) {
    MenuRecord* m = AsMenu(rec);
    return n >= 1 && MenuRemoveItem(m, n) ? RebuildAnswer(m) : 0;
}

int32_t MenuInsertItem(ObjectRecord* rec, int32_t n, const char* text, uint32_t len) {
    MenuRecord* m = AsMenu(rec);
    if (!text || !len) return 0;
    MenuParseItemText(text, len, true);
    uint32_t pos = n < 0 || static_cast<uint32_t>(n) > m->itemCount ? m->itemCount : static_cast<uint32_t>(n);
    if (!MenuAddItem(m, pos)) return kOpNoMemory;
    return KeepUnlessTaken(m, pos);
}

// Item text without its '&' marks ("&&" stays one '&').
int32_t CopyWithoutMarks(const char* text) {
    uint32_t out = 0;
    for (const char* p = text ? text : ""; *p && out < kTextBufSize; ++p) {
        if (*p == '&') {
            if (p[1] != '&') continue;
            ++p;
        }
        gTextBuf[out++] = *p;
    }
    gTextBuf[out] = 0;
    return static_cast<int32_t>(out);
}

int32_t MenuGetText(ObjectRecord* rec, int32_t n) {
    MenuRecord* m = AsMenu(rec);
    if (n == 0) return CopyWithoutMarks(m->text);
    MenuItemRecord* it = ItemAt(m, n);
    gTextBuf[0] = 0;
    return it ? CopyWithoutMarks(it->text) : 0;
}

int32_t MenuSetText(ObjectRecord* rec, int32_t n, const char* text, uint32_t len) {
    MenuRecord* m = AsMenu(rec);
    MenuItemRecord* it = ItemAt(m, n);
    if (!it) return 0;
    MenuParseItemText(text, len, true);
    char* copy = CtlCopyText(gMenuItem.text, gMenuItem.length);
    if (!copy) return kOpNoMemory;
    char* old = it->text;
    const uint32_t oldFlags = it->itemFlags;
    it->text = copy;
    it->itemFlags &= ~(kItemSeparator | kItemDisabled);
    if (gMenuItem.separator) it->itemFlags |= kItemSeparator;
    else if (!gMenuItem.enabled) it->itemFlags |= kItemDisabled;
    if (MenuRebuild(m)) {
        LocalFreeMem(old);
        return 0;
    }
    // The menu did not take it: the item keeps its text and state.
    it->text = old;
    it->itemFlags = oldFlags;
    LocalFreeMem(copy);
    MenuRebuild(m);
    return kOpNoMemory;
}

// The menu command of a window: ids base + 1 .. base + count are this menu's items.
int32_t MenuNotify(ObjectRecord* rec, HWND, uint32_t id, uint32_t) {
    MenuRecord* m = AsMenu(rec);
    if (!m || id <= m->baseNumber || id > m->baseNumber + m->itemCount) return 0;
    PostObjectEvent(rec, kEvClick, kEventKindDefault, 0, static_cast<int32_t>(id - m->baseNumber));
    return 1;
}

void UnlinkMenu(MenuRecord* m) {
    // A FloatMenu of a Panel is on the list of the panel's top window.
    ObjectRecord* top = m->hdr.parent ? ObjectTopWindow(m->hdr.parent) : nullptr;
    WindowRecord* w = top ? ObjectAsWindow(top) : nullptr;
    if (!w) return;
    for (ObjectRecord** link = &w->menus; *link; link = &(*link)->next) {
        if (*link == &m->hdr) {
            *link = m->hdr.next;
            break;
        }
    }
}

// Frees a menu: its items (letting go of their SubMenus), its popup and its
// record. The SubMenu popups hung below its items are taken out first, since
// DestroyMenu would destroy them along with it.
void MenuFree(MenuRecord* m) {
    ObjectRecord* rec = &m->hdr;
    if (gLastMenu == m) gLastMenu = nullptr;
    if (gMenuMadeLast == &m->hdr) gMenuMadeLast = nullptr;
    if (m->hdr.parent) MenuHide(rec);
    UnlinkMenu(m);
    while (m->items) MenuRemoveItem(m, 1);
    if (m->popup) {
        while (GetMenuItemCount(m->popup) > 0) RemoveMenu(m->popup, 0, MF_BYPOSITION);
        DestroyMenu(m->popup);
    }
    // Items of other menus that still name this SubMenu (only while the GUI
    // shuts down, when counts no longer hold it) forget it.
    if (rec->kind == kKindSubMenu) {
        for (uint32_t i = 0; i < ObjectLiveCount(); ++i) {
            ObjectRecord* other = ObjectLiveAt(i);
            if (other && other->kind == kKindMenuItem && reinterpret_cast<MenuItemRecord*>(other)->subMenu == m)
                reinterpret_cast<MenuItemRecord*>(other)->subMenu = nullptr;
        }
    }
    if (m->text) LocalFreeMem(m->text);
    MenuBaseFree(m->baseNumber);
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
}

int32_t MenuDestroy(ObjectRecord* rec) {
    MenuRecord* m = AsMenu(rec);
    // A SubMenu still hung below items stays for them (its handle is already
    // gone); the last item to let go frees it. It leaves its window's menu
    // list now, as the window may go before the items do.
    if (rec->kind == kKindSubMenu && SubMenuRelease(rec) != 0) {
        if (gLastMenu == m) gLastMenu = nullptr;
        if (gMenuMadeLast == rec) gMenuMadeLast = nullptr;
        UnlinkMenu(m);
        m->hdr.next = nullptr;
        m->hdr.parent = nullptr;
        return 0;
    }
    MenuFree(m);
    return 0;
}

uint32_t MenuGetProp(ObjectRecord* rec, uint32_t id) {
    if (id == kPidText) return static_cast<uint32_t>(MenuGetText(rec, 0) * 0);
    if (id == kPidMergeType) return AsMenu(rec)->mergeType;
    return static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
}

int32_t MenuSetProp(ObjectRecord* rec, PropChange* req) {
    MenuRecord* m = AsMenu(rec);
    if (req->id == kPidText) {
        char* copy = CtlCopyText(req->text, req->textLength);
        if (!copy) return kOpNoMemory;
        char* old = m->text;
        m->text = copy;
        if (MenuBarPosition(m) < 0) {
            LocalFreeMem(old);
            return 0;
        }
        MenuHide(rec);
        if (MenuShow(rec, 0, 0, 0, 0) == 0) {
            LocalFreeMem(old);
            return 0;
        }
        // The bar did not take it: the menu goes back on it with its old text.
        m->text = old;
        LocalFreeMem(copy);
        MenuShow(rec, 0, 0, 0, 0);
        return kOpNoMemory;
    }
    if (req->id == kPidMergeType) {
        // Values outside the groups are ignored.
        if (req->value >= 0 && req->value <= kMenuMergeGroupMax) m->mergeType = static_cast<uint8_t>(req->value);
        return 0;
    }
    bool redraw = false;
    return ObjectSetCommonProperty(rec, req->id, req->value, req->text, req->textLength, &redraw);
}

int32_t MenuMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypeMenu, call);
    if (rc != 0) return rc;
    MenuRecord* m = AsMenu(rec);
    MenuItemRecord* it = ItemAt(m, CtlArgInt(call, 0, -1) + 1);
    switch (call->method) {
    case kMenuGetItemCount: return CtlReplyInt(static_cast<int32_t>(m->itemCount));
    case kMenuGetItemType:
        return CtlReplyInt(!it ? -1 : MenuItemTypeCode((it->itemFlags & kItemSeparator) != 0, it->subMenu != nullptr));
    case kMenuGetItemState:
        return CtlReplyInt(!it ? -1
                               : MenuItemStateCode((it->itemFlags & kItemDisabled) != 0, (it->itemFlags & kItemChecked) != 0,
                                                   (it->itemFlags & kItemDefault) != 0));
    case kMenuGetItemName:
        gTextBuf[0] = 0;
        if (it) CopyWithoutMarks(it->text);
        return CtlReplyText(gTextBuf);
    case kMenuActivate:
        if (rec->kind != kKindFloatMenu) return CtlReplyInt(1);
        if (CtlArgInt(call, 2, 0)) return CtlReplyInt(2);
        MenuShow(rec, CtlArgInt(call, 0, 0), CtlArgInt(call, 1, 0), 0, 0);
        return CtlReplyInt(0);
    default:
        return call->method >= 1 && call->method <= kMenuActivate ? CtlReplyInt(0) : kOpUnknownMethod;
    }
}

int32_t ItemDestroy(ObjectRecord* rec) {
    auto* it = reinterpret_cast<MenuItemRecord*>(rec);
    if (it->menu) {
        // Held by its menu: only the server's use goes.
        if (rec->useCount > 1) rec->useCount--;
        return 0;
    }
    return RecordReleaseUse(rec);
}

uint32_t ItemGetProp(ObjectRecord* rec, uint32_t id) {
    auto* it = reinterpret_cast<MenuItemRecord*>(rec);
    switch (id) {
    case kPidText: CopyWithoutMarks(it->text); return 0;
    case kPidEnabled: return (it->itemFlags & kItemDisabled) ? 0 : 1;
    default: return static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
    }
}

int32_t ItemSetProp(ObjectRecord* rec, PropChange* req) {
    auto* it = reinterpret_cast<MenuItemRecord*>(rec);
    if (!it->menu) return 0;
    switch (req->id) {
    case kPidEnabled:
        it->itemFlags = req->value ? (it->itemFlags & ~kItemDisabled) : (it->itemFlags | kItemDisabled);
        break;
    case kPidSubMenu: {
        MenuRecord* sub = AsMenu(req->object);
        if (sub == it->menu) return 0;
        ItemDropSubMenu(it);
        it->subMenu = sub && sub->hdr.kind == kKindSubMenu ? sub : nullptr;
        if (it->subMenu) SubMenuAddRef(&it->subMenu->hdr);
        break;
    }
    default: {
        bool redraw = false;
        return ObjectSetCommonProperty(rec, req->id, req->value, req->text, req->textLength, &redraw);
    }
    }
    return RebuildAnswer(it->menu);
}

const ObjectOps kMenuOps = {
    .show = MenuShow,
    .checkItem = MenuCheckItem,
    .hide = MenuHide,
    .deleteItem = MenuDeleteItem,
    .destroy = MenuDestroy,
    .enable = MenuEnable,
    .getText = MenuGetText,
    .insertItem = MenuInsertItem,
    .setText = MenuSetText,
    .notify = MenuNotify,  // the window's menu command
    .getProp = MenuGetProp,
    .setProp = MenuSetProp,
    .method = MenuMethod,
};

const ObjectOps kMenuItemOps = {
    .destroy = ItemDestroy,
    .getProp = ItemGetProp,
    .setProp = ItemSetProp,
};

const ObjectOps kMRegionOps = {
    .show = ObjectShowWindowless,
    .hide = ObjectHideWindowless,
    .destroy = ObjectDestroyWindowless,
    .enable = ObjectEnableWindowless,
};

ObjectRecord* MenuCreateKind(uint8_t kind, ObjectCreateRecord* cr, int32_t* code) {
    *code = kOpNoMemory;
    auto* m = reinterpret_cast<MenuRecord*>(ObjectAllocRecord(kind, sizeof(MenuRecord), false));
    if (!m) return nullptr;
    ObjectRecord* rec = &m->hdr;
    ObjectRecord* window = nullptr;
    if (!ObjectInitCommon(rec, cr, &window)) {
        MenuFree(m);
        *code = kOpNoObject;
        return nullptr;
    }
    rec->flags &= ~kObjShown;
    CopyCreateStrings(rec, cr);
    m->popup = CreatePopupMenu();
    m->baseNumber = MenuBaseAlloc();
    m->refCount = 1;
    // Past 290 menus a base number would be shared: the menu is refused.
    if (!m->baseNumber) {
        MenuFree(m);
        return nullptr;
    }
    const CrText& t = cr->title.text ? cr->title : cr->text;
    if (!m->popup || !MenuBuild(m, t.text, t.length)) {
        MenuFree(m);
        *code = m->popup ? kOpNoMemory : kOpNoObject;
        return nullptr;
    }
    // Menus are kept in their window's menu list, not among its children. A
    // FloatMenu made for a Panel keeps the panel as its owner, so that it
    // moves with the panel to another window and pops up over the panel.
    if (WindowRecord* w = window ? ObjectAsWindow(ObjectTopWindow(window)) : nullptr) {
        bool panelOwned = kind == kKindFloatMenu && window->kind == kKindPanel && !ObjectIsWebView(window);
        rec->parent = panelOwned ? window : &w->hdr;
        rec->next = w->menus;
        w->menus = rec;
    }
    gLastMenu = m;
    gMenuMadeLast = rec;
    *code = 0;
    if ((cr->flags0 & kCrVisible) && kind == kKindMenu) {
        ObjectRef ref = ObjectRefOf(rec);
        int32_t shown = ObjectActivate(rec, 0, 0, 0, 0);
        if (!ObjectRefAlive(ref)) {
            *code = kOpNoObject;
            return nullptr;
        }
        // A menu the bar did not take is not made as if it were shown.
        if (shown < 0) {
            MenuFree(m);
            *code = shown;
            return nullptr;
        }
    }
    return rec;
}

}  // namespace

ObjectRecord* MenuCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) { return MenuCreateKind(kKindMenu, cr, code); }
ObjectRecord* SubMenuCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    return MenuCreateKind(kKindSubMenu, cr, code);
}
ObjectRecord* FloatMenuCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    return MenuCreateKind(kKindFloatMenu, cr, code);
}

ObjectRecord* MenuItemCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    // The menu made last may be one of the web view, which keeps its items itself.
    if (gMenuMadeLast && ObjectIsLive(gMenuMadeLast) && ObjectIsWebView(gMenuMadeLast)) {
        if (gWebObjectOps.menuItemCreate) return gWebObjectOps.menuItemCreate(gMenuMadeLast, cr, code);
        *code = kOpNotAvailable;
        return nullptr;
    }
    if (!gLastMenu || !ObjectIsLive(&gLastMenu->hdr)) {
        *code = kOpNoObject;
        return nullptr;
    }
    const CrText& t = cr->title.text ? cr->title : cr->text;
    MenuParseItemText(t.text ? t.text : "", t.text ? t.length : 0, true);
    MenuItemRecord* it = MenuAddItem(gLastMenu, gLastMenu->itemCount);
    if (!it) {
        *code = kOpNoMemory;
        return nullptr;
    }
    if (cr->flags0 & kCrDisabled) it->itemFlags |= kItemDisabled;
    if (MenuRecord* sub = AsMenu(cr->given[kPidSubMenu] ? ObjectFromHandle(static_cast<uint32_t>(cr->values[kPidSubMenu])) : nullptr)) {
        if (sub->hdr.kind == kKindSubMenu) {
            it->subMenu = sub;
            SubMenuAddRef(&sub->hdr);
        }
    }
    *code = KeepUnlessTaken(gLastMenu, gLastMenu->itemCount - 1);
    return *code == 0 ? &it->hdr : nullptr;
}

ObjectRecord* MRegionCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ObjectRecord* rec = ObjectAllocRecord(kKindMRegion, sizeof(ObjectRecord), false);
    if (!rec) {
        *code = kOpNoMemory;
        return nullptr;
    }
    if (!ObjectInitCommon(rec, cr, nullptr)) {
        ObjectFreeCommon(rec);
        ObjectFreeRecord(rec);
        *code = kOpNoObject;
        return nullptr;
    }
    ObjectSetRect(rec, cr->top, cr->height, cr->left, cr->width);
    // Among its window's children, so the window's destroy takes it along
    // rather than leaving it live with a parent that is gone.
    LinkObject(rec);
    *code = 0;
    return rec;
}

uint32_t SubMenuAddRef(ObjectRecord* subMenu) {
    MenuRecord* m = AsMenu(subMenu);
    return m ? ++m->refCount : 0;
}

uint32_t SubMenuRelease(ObjectRecord* subMenu) {
    MenuRecord* m = AsMenu(subMenu);
    if (!m) return 0;
    if (gGuiShuttingDown) {
        m->refCount = 0;
        return 0;
    }
    if (m->refCount > 0) m->refCount--;
    return m->refCount;
}

uint32_t MenuItemCount(ObjectRecord* menu) {
    MenuRecord* m = AsMenu(menu);
    uint32_t n = 0;
    for (MenuItemRecord* it = m ? m->items : nullptr; it; it = it->nextItem) ++n;
    return n;
}

ObjectRecord* MenuItemAt(ObjectRecord* menu, uint32_t index) {
    MenuRecord* m = AsMenu(menu);
    for (MenuItemRecord* it = m ? m->items : nullptr; it; it = it->nextItem)
        if (index-- == 0) return &it->hdr;
    return nullptr;
}

const char* MenuRawText(ObjectRecord* rec) {
    if (MenuRecord* m = AsMenu(rec)) return m->text ? m->text : "";
    if (rec && rec->kind == kKindMenuItem) {
        const char* t = reinterpret_cast<MenuItemRecord*>(rec)->text;
        return t ? t : "";
    }
    return nullptr;
}

HMENU MenuPopupOf(ObjectRecord* menu) {
    MenuRecord* m = AsMenu(menu);
    return m ? m->popup : nullptr;
}

uint8_t MenuMergeGroup(ObjectRecord* menu) {
    MenuRecord* m = AsMenu(menu);
    return m ? m->mergeType : 0;
}

ObjectRecord* MenuItemSubMenu(ObjectRecord* item) {
    if (!item || item->kind != kKindMenuItem) return nullptr;
    MenuRecord* sub = reinterpret_cast<MenuItemRecord*>(item)->subMenu;
    return sub ? &sub->hdr : nullptr;
}

void MenuInstall() {
    RegisterObjectCreator(kTypeMenu, MenuCreate);
    RegisterObjectCreator(kTypeSubmenu, SubMenuCreate);
    RegisterObjectCreator(kTypeFloatmenu, FloatMenuCreate);
    RegisterObjectCreator(kTypeMRegion, MRegionCreate);
    for (uint32_t kind : {kKindMenu, kKindSubMenu, kKindFloatMenu}) RegisterObjectOps(kind, &kMenuOps);
    RegisterObjectOps(kKindMenuItem, &kMenuItemOps);
    RegisterObjectOps(kKindMRegion, &kMRegionOps);
    CtlRegisterMethods(kTypeMenu, kMenuActivate);
}
