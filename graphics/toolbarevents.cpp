// toolbarevents.cpp - the interactive side of the native ToolBar: the control's
// notifications turned into events, the subclass procedure (check groups,
// press and drag, double clicks, keys, relayout), drop-down menus built from a
// button's MenuText, mnemonics, show, and the tooltips the client keeps for
// the buttons in its window's tooltip control, one tool per button keyed by
// the button's command id.
#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include <cstring>

#include "controls/ctlcore.h"
#include "graphics/toolbar.h"
#include "objects/events.h"
#include "objects/paint.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objwindowed.h"
#include "objects/window.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/codepage.h"

namespace {

// The focusable-toolbar option: the client has no setting that turns it on,
// so bars do not take the keyboard focus.
constexpr bool kToolBarFocusable = false;
constexpr UINT kMenuFromMouse = TPM_VERTICAL | TPM_NONOTIFY | TPM_RETURNCMD;   // 0x1C0
constexpr UINT kMenuFromKey = kMenuFromMouse | TPM_RECURSE;                     // 0x1C1
constexpr int kNoItem = -1;

// One press-and-drag at a time: a WM_CANCELMODE sent to the bar meanwhile ends it.
bool gPressCancelled;

ToolButtonRecord* ButtonAt(ToolBarRecord* bar, int index) {
    if (index < 0) return nullptr;
    BarItemRecord* it = BarItemFind(bar->buttons, static_cast<uint32_t>(index), nullptr, nullptr);
    return it ? AsButton(it) : nullptr;
}

int HitTest(HWND wnd, int x, int y) {
    POINT pt = {x, y};
    return static_cast<int>(SendMessageA(wnd, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt)));
}

const char* Ansi(const char* text) {
    const char* a = OemToAnsiStr(text ? text : "", 2);
    return a ? a : "";
}

void Validate(ToolBarRecord* bar, ToolButtonRecord* b) {
    if (b->item.hdr.flags & kObjCauseValid) PostValidateOnFocus(&bar->c.hdr, ObjectTopWindow(&bar->c.hdr));
}

// ---- Drop-down menus -----------------------------------------------------------------------------

// The button's MenuText as a popup menu under the button; the chosen item's
// number (from 1, separators counted) goes to the server as the modifiers.
void DropDownMenu(ToolBarRecord* bar, ToolButtonRecord* b, bool fromKey) {
    if (!b || !b->menuText || !*b->menuText) return;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    uint32_t len = static_cast<uint32_t>(strlen(b->menuText)), at = 0, number = 0;
    bool taken = true;
    while (at < len && taken) {
        uint32_t used = MenuParseItemText(b->menuText + at, len - at, true);
        if (!used) break;
        at += used;
        ++number;
        if (gMenuItem.separator) taken = AppendMenuA(menu, MF_SEPARATOR, number, nullptr);
        else taken = AppendMenuA(menu, MF_STRING | (gMenuItem.enabled ? 0 : MF_GRAYED), number, Ansi(gMenuItem.text));
    }
    // A menu short of an item the popup did not take is not shown: a choice
    // in it could not be the one the server's MenuText numbers.
    if (!taken) {
        DestroyMenu(menu);
        DebugLogWrite("DropDownMenu", "item %u of the button's menu was not taken: not shown", number);
        return;
    }
    ObjectRecord* rec = &bar->c.hdr;
    RECT r = {};
    SendMessageA(rec->hwnd, TB_GETRECT, b->commandId, reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(rec->hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    TPMPARAMS tpm = {};
    tpm.cbSize = sizeof tpm;
    tpm.rcExclude = r;
    ObjectRecord* top = ObjectTopWindow(rec);
    ObjectRef ref = ObjectRefOf(rec);
    uint32_t commandId = b->commandId;
    int chosen = TrackPopupMenuEx(menu, fromKey ? kMenuFromKey : kMenuFromMouse, r.left, r.bottom,
                                  top && top->hwnd ? top->hwnd : rec->hwnd, &tpm);
    PumpOnce(false);
    DestroyMenu(menu);
    // The pump may have destroyed the bar or the button.
    if (!ObjectRefAlive(ref) || chosen <= 0) return;
    b = ToolBarButtonById(bar, commandId, nullptr);
    if (!b) return;
    uint16_t item = static_cast<uint16_t>(chosen);
    if (EventIsRegistered(rec, kEvButtonClick)) PostObjectEvent(rec, kEvButtonClick, kEventKindDefault, item, b->tag);
    else if (EventIsRegistered(rec, kEvOldEvent)) PostObjectEvent(rec, kEvOldEvent, kEventKindDefault, item, b->tag);
}

// ---- Check groups, presses and double clicks -------------------------------------------------------

// The run of consecutive check-group buttons that holds b: clicking a checked
// one unchecks the others and reports nothing (a mnemonic still reports);
// clicking an unchecked one checks it alone and reports a click.
void CheckGroupClick(ToolBarRecord* bar, ToolButtonRecord* b, bool fromKey) {
    BarItemRecord* start = ToolBarCheckGroupStart(bar, b);
    if (!start) return;
    bool wasChecked = (ToolButtonState(bar, b) & TBSTATE_CHECKED) != 0;
    for (BarItemRecord* m = start; m && AsButton(m)->btnStyle == kBtnCheckGroup; m = m->nextItem)
        if (m != &b->item || !wasChecked) ToolButtonSetState(bar, AsButton(m), TBSTATE_CHECKED | TBSTATE_PRESSED, 0);
    if (!wasChecked) ToolButtonSetState(bar, b, 0, TBSTATE_CHECKED | TBSTATE_PRESSED);
    if (!wasChecked || fromKey) ToolBarButtonClick(bar, b);
}

// A press on a draggable bar: the button is held down until the mouse is
// released (a click) or leaves the small rectangle around the press (a drag).
void PressAndDrag(ToolBarRecord* bar, ToolButtonRecord* b, int index, int x, int y) {
    ObjectRecord* rec = &bar->c.hdr;
    HWND wnd = rec->hwnd;
    ObjectRef ref = ObjectRefOf(rec);
    uint32_t commandId = b->commandId;
    bool holdsState = b->btnStyle == kBtnCheck || b->btnStyle == kBtnCheckGroup;
    BYTE before = ToolButtonState(bar, b);
    ToolButtonSetPropValue(&b->item.hdr, kPidPushed, 1);
    SetCapture(wnd);
    gPressCancelled = false;
    bool drag = false;
    POINT moved = {x, y};
    for (;;) {
        MSG m;
        if (PeekMessageA(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
            if (m.message == WM_LBUTTONUP) break;
            if (m.message != WM_MOUSEMOVE) continue;
            moved = {GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
            if (ToolBarDragMoved(x, y, moved.x, moved.y)) {
                drag = true;
                break;
            }
            continue;
        }
        if (gPressCancelled || GetCapture() != wnd || !ObjectRefAlive(ref)) break;
        if (!PeekMessageA(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) WaitMessage();
    }
    if (GetCapture() == wnd) ReleaseCapture();
    if (!ObjectRefAlive(ref)) return;
    b = ToolBarButtonById(bar, commandId, nullptr);
    if (!b) return;
    if (!holdsState) ToolButtonSetState(bar, b, static_cast<BYTE>(~before & (TBSTATE_CHECKED | TBSTATE_PRESSED)), 0);
    if (!drag) {
        ToolBarButtonClick(bar, b);
        return;
    }
    if (DragStartMoved(x, y, moved, rec, index, 1)) return;
    // A drag the window layer refused is a click after all.
    if (ObjectRefAlive(ref) && (EventIsRegistered(rec, kEvButtonClick) || EventIsRegistered(rec, kEvClick)))
        if ((b = ToolBarButtonById(bar, commandId, nullptr)) != nullptr) ToolBarButtonClick(bar, b);
}

bool OnLButtonDown(ToolBarRecord* bar, HWND wnd, WPARAM wp, LPARAM lp, LRESULT* result) {
    ObjectRecord* rec = &bar->c.hdr;
    if (EventIsRegistered(rec, kEvKeyPress)) ToolBarFocusButton(bar);
    int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
    int index = HitTest(wnd, x, y);
    ToolButtonRecord* b = ButtonAt(bar, index);
    if (!(rec->flags & kObjDraggable) || !bar->buttons) {
        if (!b || b->btnStyle != kBtnCheckGroup) return false;
        // The client keeps the group itself: the control does not see the press.
        ObjectRef ref = ObjectRefOf(rec);
        CheckGroupClick(bar, b, false);
        if (ObjectRefAlive(ref)) ControlMsgToEvent(wnd, WM_LBUTTONDOWN, wp, lp);
        *result = 0;
        return true;
    }
    if (!b) return false;
    PressAndDrag(bar, b, index, x, y);
    *result = 0;
    return true;
}

void OnDblClick(ToolBarRecord* bar, HWND wnd, UINT msg, LPARAM lp) {
    ObjectRecord* rec = &bar->c.hdr;
    int index = HitTest(wnd, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    if (index < 0 || !ButtonAt(bar, index) || !EventIsRegistered(rec, kEvDblClick)) return;
    PostObjectEvent(rec, kEvDblClick, kEventKindDefault, msg == WM_LBUTTONDBLCLK ? kModDblLeft : kModDblRight, index + 1);
}

// After a paint that asked for it, the buttons are laid out again.
void PaintRelayout(ToolBarRecord* bar) {
    if (!(bar->tbFlags & kTbfRelayout)) return;
    bar->tbFlags &= ~kTbfRelayout;
    HWND wnd = bar->c.hdr.hwnd;
    LONG style = GetWindowLongA(wnd, GWL_STYLE);
    SetWindowLongA(wnd, GWL_STYLE, style ^ TBSTYLE_WRAPABLE);
    SetWindowLongA(wnd, GWL_STYLE, style);
    ToolBarAutoSize(bar, kTbSizeLayout);
    InvalidateRect(wnd, nullptr, TRUE);
}

// ---- Tooltips -------------------------------------------------------------------------------------

HWND TipWindow(ToolBarRecord* bar) {
    ObjectRecord* top = ObjectTopWindow(&bar->c.hdr);
    WindowRecord* w = top ? ObjectAsWindow(top) : nullptr;
    return w ? w->toolTipWnd : nullptr;
}

bool Visible(ToolBarRecord* bar, ToolButtonRecord* b) { return !(ToolButtonState(bar, b) & TBSTATE_HIDDEN); }

}  // namespace

bool ToolBarWindowHasTips(ToolBarRecord* bar) { return TipWindow(bar) != nullptr; }

void ToolButtonTipSet(ToolBarRecord* bar, ToolButtonRecord* b, bool replace) {
    if (!b->item.hdr.toolTip) return;
    HWND wnd = bar->c.hdr.hwnd;
    if (ToolButtonToolTipSet(&bar->c.hdr, wnd, b->commandId, Ansi(b->item.hdr.toolTip), replace))
        SendMessageA(wnd, TB_GETRECT, b->commandId, reinterpret_cast<LPARAM>(&b->tipRect));
}

void ToolButtonTipRemove(ToolBarRecord* bar, ToolButtonRecord* b) {
    ToolButtonToolTipRemove(&bar->c.hdr, bar->c.hdr.hwnd, b->commandId);
    b->tipRect = RECT{};
}

void ToolBarUpdateToolTips(ToolBarRecord* bar, bool create, uint32_t from) {
    HWND tips = TipWindow(bar);
    if (!tips && !create) return;
    HWND wnd = bar->c.hdr.hwnd;
    uint32_t i = 0;
    for (BarItemRecord* it = bar->buttons; it; it = it->nextItem, ++i) {
        if (i < from) continue;
        ToolButtonRecord* b = AsButton(it);
        if (!it->hdr.toolTip) {
            b->tipRect = RECT{};
            continue;
        }
        if (!bar->showTips || !Visible(bar, b)) continue;
        if (create) {
            ToolButtonTipSet(bar, b, true);
            continue;
        }
        RECT r = {};
        SendMessageA(wnd, TB_GETRECT, b->commandId, reinterpret_cast<LPARAM>(&r));
        if (EqualRect(&r, &b->tipRect)) continue;
        TOOLINFOA ti = {};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = wnd;
        ti.uId = b->commandId;
        ti.rect = r;
        ti.hinst = GetModuleHandleA(nullptr);
        ti.lpszText = const_cast<char*>(Ansi(it->hdr.toolTip));
        SendMessageA(tips, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&ti));
        b->tipRect = r;
    }
}

void ToolBarShowAllTips(ToolBarRecord* bar) {
    for (BarItemRecord* it = bar->buttons; it; it = it->nextItem)
        if (it->hdr.toolTip && Visible(bar, AsButton(it))) ToolButtonTipSet(bar, AsButton(it), true);
}

void ToolBarRemoveAllTips(ToolBarRecord* bar) {
    for (BarItemRecord* it = bar->buttons; it; it = it->nextItem)
        if (it->hdr.toolTip) ToolButtonTipRemove(bar, AsButton(it));
}

void ToolBarButtonClick(ToolBarRecord* bar, ToolButtonRecord* b) {
    ObjectRecord* rec = &bar->c.hdr;
    Validate(bar, b);
    if (EventIsRegistered(rec, kEvClick))
        PostObjectEvent(rec, kEvClick, kEventKindDefault, kModLeft, static_cast<int32_t>(b->commandId));
    if (EventIsRegistered(rec, kEvButtonClick)) PostObjectEvent(rec, kEvButtonClick, kEventKindDefault, 0, b->tag);
    else if (EventIsRegistered(rec, kEvOldEvent)) PostObjectEvent(rec, kEvOldEvent, kEventKindDefault, 0, b->tag);
}

int32_t ToolBarNotify(ObjectRecord* rec, HWND, uint32_t id, uint32_t code) {
    ToolBarRecord* bar = AsToolBar(rec);
    switch (code) {
    case 0: {
        ToolButtonRecord* b = ToolBarButtonById(bar, id, nullptr);
        if (b) ToolBarButtonClick(bar, b);
        return 0;
    }
    case NM_RCLICK: {
        const auto* mouse = reinterpret_cast<const NMMOUSE*>(gCurNotify);
        int32_t item = mouse ? static_cast<int32_t>(mouse->dwItemSpec) : kNoItem;
        if (item != kNoItem && EventIsRegistered(rec, kEvClick)) PostObjectEvent(rec, kEvClick, kEventKindDefault, kModRight, item);
        return 0;
    }
    case TBN_DROPDOWN: {
        const auto* tb = reinterpret_cast<const NMTOOLBARA*>(gCurNotify);
        ToolButtonRecord* b = tb ? ToolBarButtonById(bar, static_cast<uint32_t>(tb->iItem), nullptr) : nullptr;
        if (!b) return TBDDRET_DEFAULT;
        ObjectRef ref = ObjectRefOf(rec);
        Validate(bar, b);
        if (ObjectRefAlive(ref)) DropDownMenu(bar, b, false);
        return TBDDRET_DEFAULT;
    }
    case TBN_GETINFOTIPA: {
        // The control's own tips ask for the text; it must fit the given
        // buffer with its NUL.
        auto* tip = const_cast<NMTBGETINFOTIPA*>(reinterpret_cast<const NMTBGETINFOTIPA*>(gCurNotify));
        if (!tip || (bar->tbFlags & kTbfClientTips) || !tip->pszText || tip->cchTextMax <= 0) return 0;
        ToolButtonRecord* b = ToolBarButtonById(bar, static_cast<uint32_t>(tip->iItem), nullptr);
        const char* text = b && b->item.hdr.toolTip ? Ansi(b->item.hdr.toolTip) : "";
        size_t n = strnlen(text, static_cast<size_t>(tip->cchTextMax) - 1);
        memcpy(tip->pszText, text, n);
        tip->pszText[n] = 0;
        return 0;
    }
    default: return 0;
    }
}

bool ToolBarMsgHook(ObjectRecord* rec, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    ToolBarRecord* bar = AsToolBar(rec);
    switch (msg) {
    case WM_LBUTTONDOWN: return OnLButtonDown(bar, wnd, wp, lp, result);
    case WM_RBUTTONDOWN:
        if (!(rec->flags & kObjDraggable) || !bar->buttons) return false;
        DragStart(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), rec, 0, 0);
        *result = 0;
        return true;
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: {
        ObjectRef ref = ObjectRefOf(rec);
        OnDblClick(bar, wnd, msg, lp);
        if (ObjectRefAlive(ref)) ControlMsgToEvent(wnd, msg, wp, lp);
        *result = 0;
        return true;
    }
    case WM_KEYDOWN:
        if (!kToolBarFocusable || !EventIsRegistered(rec, kEvKeyPress)) return false;
        QueueFunctionKey(wnd, wp, 1, 0, 0);
        *result = 1;
        return true;
    case WM_CANCELMODE:
        gPressCancelled = true;
        return false;
    case WM_SIZE:
        *result = CtlCallOldProc(wnd, msg, wp, lp);
        if (bar->tbFlags & kTbfClientTips) ToolBarUpdateToolTips(bar, false);
        return true;
    case WM_PAINT: {
        ObjectRef ref = ObjectRefOf(rec);
        *result = CtlCallOldProc(wnd, msg, wp, lp);
        if (ObjectRefAlive(ref)) PaintRelayout(bar);
        return true;
    }
    case WM_ERASEBKGND:
        if (!gUserMovingFrame) {
            if (bar->tbFlags & kTbfClientTips) ToolBarUpdateToolTips(bar, false);
        } else if (GetWindowLongA(wnd, GWL_STYLE) & TBSTYLE_TRANSPARENT) {
            // A transparent bar shows its window's background: while the user
            // moves the frame, a bar that moved on the screen has the window
            // repaint behind it, or it would keep the pixels of its old place.
            RECT now;
            GetWindowRect(wnd, &now);
            if (!EqualRect(&now, &bar->lastRect)) {
                HWND owner = GetParent(wnd);
                if (owner) InvalidateRect(owner, nullptr, TRUE);
            }
            bar->lastRect = now;
        }
        return false;
    default: return false;
    }
}

bool ToolBarMnemonic(ObjectRecord* rec, uint32_t key) {
    if (!rec || rec->kind != kKindToolBar || !rec->hwnd) return false;
    ToolBarRecord* bar = AsToolBar(rec);
    UINT id = 0;
    if (!SendMessageA(rec->hwnd, TB_MAPACCELERATORA, key, reinterpret_cast<LPARAM>(&id))) return false;
    ToolButtonRecord* b = ToolBarButtonById(bar, id, nullptr);
    if (!b) return false;
    switch (b->btnStyle) {
    case kBtnWholeDropDown: {
        ObjectRef ref = ObjectRefOf(rec);
        SendMessageA(rec->hwnd, TB_PRESSBUTTON, id, TRUE);
        Validate(bar, b);
        if (ObjectRefAlive(ref)) DropDownMenu(bar, b, true);
        if (ObjectRefAlive(ref)) SendMessageA(rec->hwnd, TB_PRESSBUTTON, id, FALSE);
        break;
    }
    case kBtnSeparator: break;
    case kBtnCheck: {
        bool checked = (ToolButtonState(bar, b) & TBSTATE_CHECKED) != 0;
        if (checked) ToolButtonSetState(bar, b, TBSTATE_CHECKED | TBSTATE_PRESSED, 0);
        else ToolButtonSetState(bar, b, 0, TBSTATE_CHECKED | TBSTATE_PRESSED);
        ToolBarButtonClick(bar, b);
        break;
    }
    case kBtnCheckGroup: CheckGroupClick(bar, b, true); break;
    default: ToolBarButtonClick(bar, b); break;
    }
    return true;
}

int32_t ToolBarFocusButton(ToolBarRecord* bar) {
    if (!kToolBarFocusable) return 2;
    return ObjectSetFocus(&bar->c.hdr, 0, 0) == 0 ? 1 : 0;
}

int32_t ToolBarShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    ToolBarRecord* bar = AsToolBar(rec);
    if (!(GetWindowLongA(rec->hwnd, GWL_STYLE) & TBSTYLE_LIST)) bar->tbFlags |= kTbfRelayout;
    int32_t r = ObjectShowWindowed(rec, a, b, c, d);
    if (r != 0 || !ObjectIsLive(rec)) return r;
    SendMessageA(rec->hwnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(bar->btnWidth, bar->btnHeight));
    UpdateObjectRect(rec);
    return 0;
}
