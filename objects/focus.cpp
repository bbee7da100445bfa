// focus.cpp - keyboard focus in tab order, the mouse, key, notification and
// colour handlers that windows and panels share, the common hook of subclassed
// controls, cursor shapes, the drag start and the picture file dialog.
#include "objects/focus.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "objects/color.h"
#include "objects/events.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/session.h"

const NMHDR* gCurNotify;
uint32_t gCursorShape;
char gFileDlgName[MAX_PATH];
DWORD gFileDlgFilterIndex;

// Mouse events the header of the event table does not name.
// Modifier bits of mouse and key events: the buttons, then Shift, Ctrl, Alt
// and the double click.
enum : uint16_t {
    kModLeft = 0x1, kModRight = 0x2, kModMiddle = 0x4, kModShift = 0x100, kModCtrl = 0x200, kModAlt = 0x400,
    kModDouble = 0x800,
};

static uint16_t KeyModifiers() {
    uint16_t m = 0;
    if (GetKeyState(VK_SHIFT) & 0x8000) m |= kModShift;
    if (GetKeyState(VK_CONTROL) & 0x8000) m |= kModCtrl;
    if (GetKeyState(VK_MENU) & 0x8000) m |= kModAlt;
    return m;
}

bool ObjectCanFocus(const ObjectRecord* rec) {
    if (!rec || !rec->hwnd || ObjectIsWebView(rec)) return false;
    if (!(rec->flags & kObjShown) || (rec->flags & kObjDisabled)) return false;
    switch (rec->kind) {
    case kKindStatText: case kKindLabelText: case kKindGroupBox: case kKindProgress: case kKindStatusBar:
    case kKindPanel: case kKindWindow: case kKindToolBar: case kKindSplitter:
        return false;
    default:
        return IsWindowVisible(rec->hwnd) && IsWindowEnabled(rec->hwnd);
    }
}

int32_t ObjectFocusWindowed(ObjectRecord* rec, int32_t) {
    // The control's window takes the keyboard focus, which records it as its
    // window's focused object and raises the focus events as a click does.
    if (!ObjectCanFocus(rec)) return kOpNotAvailable;
    SetFocus(rec->hwnd);
    HWND now = GetFocus();
    return now && (now == rec->hwnd || IsChild(rec->hwnd, now)) ? kOpOk : kOpNotAvailable;
}

// Every focusable object of a container in tab order (children lists are kept
// by tab id), depth first into panels.
static void CollectFocusable(ObjectRecord* container, ObjectRecord** out, uint32_t* n, uint32_t max) {
    for (ObjectRecord* c = container->children; c && *n < max; c = c->next) {
        if (ObjectCanFocus(c)) out[(*n)++] = c;
        if (c->children && (c->flags & kObjShown)) CollectFocusable(c, out, n, max);
    }
}

static ObjectRecord* ActiveWindowObject() {
    HWND active = GetActiveWindow();
    ObjectRecord* rec = ObjectFromHwnd(active);
    if (rec && rec->kind == kKindWindow) return rec;
    if (gDlgStatePos && gModalLevels[gDlgStatePos].window) return gModalLevels[gDlgStatePos].window;
    return nullptr;
}

ObjectRecord* GetFocusObject() {
    HWND focus = GetFocus();
    for (HWND w = focus; w; w = GetParent(w)) {
        ObjectRecord* rec = ObjectFromHwnd(w);
        if (rec && rec->kind != kKindWindow) return rec;
        if (!rec) continue;
        // A hosted ActiveX control's window is not the client's own: the
        // window's focus object stands for it when the focus is inside it.
        WindowRecord* win = ObjectAsWindow(rec);
        ObjectRecord* f = win ? win->focusObj : nullptr;
        if (f && f->kind == kKindControl && f->hwnd && (f->hwnd == focus || IsChild(f->hwnd, focus))) return f;
        break;
    }
    return nullptr;
}

void SetFocusObject(ObjectRecord* window, ObjectRecord* obj) {
    WindowRecord* w = window ? ObjectAsWindow(window) : nullptr;
    if (!w || w->focusObj == obj) return;
    ObjectRecord* old = w->focusObj;
    w->lastFocus = old;
    w->focusObj = obj;
    if (old && ObjectIsLive(old)) PostObjectEvent(old, kEvLostFocus, kEventKindDefault, 0, 0);
}

bool IsWindowFocus(ObjectRecord* window, ObjectRecord* obj, bool testEmpty) {
    WindowRecord* w = window ? ObjectAsWindow(window) : nullptr;
    if (!w) return false;
    return testEmpty ? w->focusObj == nullptr : w->focusObj == obj;
}

bool FocusNextObject(int backward) {
    ObjectRecord* window = ActiveWindowObject();
    if (!window) return false;
    // A window whose page holds its controls: the step is the page's, from
    // the window itself (its focus holder has the keys until a control of the
    // page takes them).
    if (gGuiHooks.webHostFocus && gGuiHooks.webHostFocus(window, backward ? kHostFocusPrevious : kHostFocusNext))
        return true;
    static ObjectRecord* list[1024];
    uint32_t n = 0;
    CollectFocusable(window, list, &n, 1024);
    if (n == 0) return false;
    ObjectRecord* current = GetFocusObject();
    // An HTML control with its own tab order moves through its page first.
    if (current && current->kind == kKindHtmlControl && gGuiHooks.htmlSetFocus &&
        gGuiHooks.htmlSetFocus(current, backward ? 2 : 1) == 0)
        return true;
    uint32_t at = n;
    for (uint32_t i = 0; i < n; ++i)
        if (list[i] == current) at = i;
    uint32_t next;
    if (at == n) next = backward ? n - 1 : 0;
    else next = backward ? (at + n - 1) % n : (at + 1) % n;
    SetFocus(list[next]->hwnd);
    SetFocusObject(window, list[next]);
    // Entering an HTML control: its first (or, backward, last) element.
    if (list[next]->kind == kKindHtmlControl && gGuiHooks.htmlSetFocus)
        gGuiHooks.htmlSetFocus(list[next], backward ? 4 : 3);
    return true;
}

void MoveFocusAway(ObjectRecord* rec) {
    if (!rec || !rec->hwnd) return;
    HWND focus = GetFocus();
    if (!focus || (focus != rec->hwnd && !IsChild(rec->hwnd, focus))) return;
    if (!FocusNextObject(0) || GetFocus() == focus) {
        ObjectRecord* top = ObjectTopWindow(rec);
        NativeWindowRecord* w = top ? NativeWindowOf(top) : nullptr;
        SetFocus(w && w->focusWnd ? w->focusWnd : (top ? top->hwnd : nullptr));
    }
}

char MnemonicChar(const char* text) {
    if (!text) return 0;
    for (const char* p = text; *p; ++p) {
        if (*p != '&') continue;
        if (p[1] == '&') {
            ++p;
            continue;
        }
        return p[1];
    }
    return 0;
}

void ButtonSetDefault(ObjectRecord* window, ObjectRecord* rec, bool on) {
    WindowRecord* w = window ? ObjectAsWindow(window) : nullptr;
    if (!w || !rec) return;
    if (on) {
        if (w->defaultButton && w->defaultButton != rec && w->defaultButton->hwnd)
            SendMessageA(w->defaultButton->hwnd, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        w->defaultButton = rec;
        if (rec->hwnd && rec->kind == kKindButton) SendMessageA(rec->hwnd, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    } else if (w->defaultButton == rec) {
        w->defaultButton = nullptr;
        if (rec->hwnd && rec->kind == kKindButton) SendMessageA(rec->hwnd, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    } else {
        return;
    }
    // A hosted control reads DisplayAsDefault as an ambient: tell it it changed.
    if (rec->kind == kKindControl && gComObjectHooks.oleAmbientChanged)
        gComObjectHooks.oleAmbientChanged(rec, kAmbientDisplayAsDefault);
}

void ControlSiteFocusEvent(ObjectRecord* rec, int what, int, int) {
    if (!rec || !ObjectIsLive(rec)) return;
    uint32_t id = what == kFocusGot ? kEvControlGotFocus : kEvControlLostFocus;
    if (EventIsRegistered(rec, id)) PostObjectEvent(rec, id, kEventKindDefault, 0, 0);
    ObjectRecord* top = ObjectTopWindow(rec);
    if (what == kFocusGot) {
        PostValidateOnFocus(rec, top);
    } else {
        WindowRecord* w = ObjectAsWindow(top);
        if (w && w->focusObj == rec) w->lastFocus = rec;
    }
}

static int32_t PointValue(LPARAM lp) {
    int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    return x * 10000 + y;
}

void MouseMoveEvent(ObjectRecord* rec, WPARAM wp, LPARAM lp) {
    if (!rec || !EventIsRegistered(rec, kEvMouseMove)) return;
    uint16_t mod = KeyModifiers();
    if (wp & MK_LBUTTON) mod |= kModLeft;
    if (wp & MK_RBUTTON) mod |= kModRight;
    if (wp & MK_MBUTTON) mod |= kModMiddle;
    PostObjectEvent(rec, kEvMouseMove, kEventKindDefault, mod, PointValue(lp));
}

// A list view and a tree view raise $DBLCLICK from their own notification,
// with the row or the node; the mouse layer leaves it to them.
static bool RaisesOwnDblClick(const ObjectRecord* rec) {
    return rec->kind == kKindListView || rec->kind == kKindTreeView;
}

void MouseDownEvent(ObjectRecord* rec, int button, bool dblClick, WPARAM, LPARAM lp) {
    if (!rec) return;
    uint16_t mod = static_cast<uint16_t>(KeyModifiers() | button | (dblClick ? kModDouble : 0));
    uint32_t id = dblClick && button == kModLeft && !RaisesOwnDblClick(rec) ? kEvDblClick : kEvMouseDown;
    if (EventIsRegistered(rec, id)) PostObjectEvent(rec, id, kEventKindDefault, mod, PointValue(lp));
    else if (id == kEvDblClick && EventIsRegistered(rec, kEvMouseDown))
        PostObjectEvent(rec, kEvMouseDown, kEventKindDefault, mod, PointValue(lp));
}

void WindowLButtonDown(ObjectRecord* rec, WPARAM wp, LPARAM lp, bool dblClick) {
    MouseDownEvent(rec, kModLeft, dblClick, wp, lp);
}

static void MouseUpEvent(ObjectRecord* rec, int button, LPARAM lp) {
    if (!rec) return;
    uint16_t mod = static_cast<uint16_t>(KeyModifiers() | button);
    if (EventIsRegistered(rec, kEvMouseUp)) PostObjectEvent(rec, kEvMouseUp, kEventKindDefault, mod, PointValue(lp));
    if (button == kModLeft && EventIsRegistered(rec, kEvClick))
        PostObjectEvent(rec, kEvClick, kEventKindDefault, mod, PointValue(lp));
}

void WindowLButtonUp(ObjectRecord* rec, WPARAM, LPARAM lp) { MouseUpEvent(rec, kModLeft, lp); }
void WindowRButtonDown(ObjectRecord* rec, WPARAM wp, LPARAM lp, bool dblClick) {
    MouseDownEvent(rec, kModRight, dblClick, wp, lp);
}
void WindowRButtonUp(ObjectRecord* rec, WPARAM, LPARAM lp) { MouseUpEvent(rec, kModRight, lp); }
void WindowMButtonDown(ObjectRecord* rec, WPARAM wp, LPARAM lp) { MouseDownEvent(rec, kModMiddle, false, wp, lp); }

bool WindowMouseButtonMsg(ObjectRecord* rec, UINT msg, WPARAM wp, LPARAM lp) {
    bool press = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK;
    if (press && rec && gGuiHooks.pictMouse) {
        // The picture's loops take only mouse messages; the record stays.
        gGuiHooks.pictMouse(rec, GET_X_LPARAM(lp), GET_Y_LPARAM(lp), msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK,
                            msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK);
        if (!ObjectIsLive(rec)) return true;
    }
    if (press && rec && gGuiHooks.oleMouse) {
        gGuiHooks.oleMouse(rec, GET_X_LPARAM(lp), GET_Y_LPARAM(lp), msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK,
                           msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK);
        if (!ObjectIsLive(rec)) return true;
    }
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        WindowLButtonDown(rec, wp, lp, msg == WM_LBUTTONDBLCLK);
        return true;
    case WM_LBUTTONUP:
        WindowLButtonUp(rec, wp, lp);
        return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        WindowRButtonDown(rec, wp, lp, msg == WM_RBUTTONDBLCLK);
        return true;
    case WM_RBUTTONUP:
        WindowRButtonUp(rec, wp, lp);
        return true;
    case WM_MBUTTONDOWN:
        WindowMButtonDown(rec, wp, lp);
        return true;
    default:
        return false;
    }
}

static ObjectRecord* KeyTarget(HWND wnd) {
    ObjectRecord* rec = GetFocusObject();
    if (rec) return rec;
    rec = ObjectFromHwnd(wnd);
    return rec ? ObjectTopWindow(rec) : nullptr;
}

bool QueueFunctionKey(HWND wnd, WPARAM key, int, int, int) {
    // Function keys and the navigation keys reach the server as $KEYPRESS with
    // the virtual-key code and the modifiers.
    bool function = key >= VK_F1 && key <= VK_F24;
    bool nav = key == VK_ESCAPE || key == VK_PRIOR || key == VK_NEXT || key == VK_INSERT;
    if (!function && !nav) return false;
    ObjectRecord* rec = KeyTarget(wnd);
    if (!rec || !EventIsRegistered(rec, kEvKeyPress)) return false;
    return PostObjectEvent(rec, kEvKeyPress, kEventKindDefault, KeyModifiers(), static_cast<int32_t>(key) << 16);
}

bool HandleSysKeyF10(HWND wnd, WPARAM key, int flag, int x, int y) {
    if (key != VK_F10) return false;
    return QueueFunctionKey(wnd, key, flag, x, y);
}

void MenuCommandEvent(ObjectRecord* topWindow, ObjectRecord*, uint32_t id) {
    if (!topWindow) return;
    // A menu that numbers its own items takes the command through its
    // notification slot (the id lies in the menu's block of numbers).
    for (ObjectRecord* m = ObjectAsWindow(topWindow) ? ObjectAsWindow(topWindow)->menus : nullptr; m; m = m->next) {
        const ObjectOps* ops = ObjectOpsOf(m);
        if (ops && ops->notify && ops->notify(m, nullptr, id, 0)) return;
    }
    for (ObjectRecord* m = ObjectAsWindow(topWindow) ? ObjectAsWindow(topWindow)->menus : nullptr; m; m = m->next) {
        if (m->objectId == id) {
            PostObjectEvent(m, kEvClick, kEventKindDefault, 0, static_cast<int32_t>(id));
            return;
        }
    }
    PostObjectEvent(topWindow, kEvClick, kEventKindDefault, 0, static_cast<int32_t>(id));
}

LRESULT DispatchNotify(HWND, LPARAM lp) {
    const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lp);
    if (!hdr) return 0;
    ObjectRecord* rec = ObjectFromHwnd(hdr->hwndFrom);
    const ObjectOps* ops = rec ? ObjectOpsOf(rec) : nullptr;
    if (!ops || !ops->notify) return 0;
    const NMHDR* prev = gCurNotify;
    gCurNotify = hdr;
    LRESULT r = ops->notify(rec, hdr->hwndFrom, static_cast<uint32_t>(hdr->idFrom), hdr->code);
    gCurNotify = prev;
    return r;
}

HBRUSH HandleCtlColor(HWND, HDC dc, HWND ctl) {
    ObjectRecord* rec = ObjectFromHwnd(ctl);
    if (!rec) return nullptr;
    SetTextColor(dc, ColorValueResolve(rec->fgColor));
    uint32_t bg = rec->bgColor;
    if (bg == 0xFFFFFFFFu) bg = kColorBtnFace;
    SetBkColor(dc, ColorValueResolve(bg));
    return BrushCacheGet(bg, kBrushSolid, false);
}

static const LPCSTR kCursorIds[] = {
    IDC_ARROW, IDC_ARROW, IDC_CROSS, IDC_IBEAM, IDC_ICON, IDC_SIZEALL, IDC_SIZENESW, IDC_SIZENS,
    IDC_SIZENWSE, IDC_SIZEWE, IDC_UPARROW, IDC_WAIT, IDC_NO, IDC_APPSTARTING, IDC_HELP, IDC_HAND,
};

void SetCursorShape(uint32_t shape) {
    if (shape >= sizeof kCursorIds / sizeof kCursorIds[0]) shape = 0;
    gCursorShape = shape;
    SetCursor(LoadCursorA(nullptr, kCursorIds[shape]));
}

bool HandleSetCursor(HWND, WPARAM, LPARAM lp) {
    if (LOWORD(lp) != HTCLIENT || gCursorShape == 0) return false;
    SetCursor(LoadCursorA(nullptr, kCursorIds[gCursorShape]));
    return true;
}

void HandleSysColorChange() {
    UpdateSysColors();
    for (NativeWindowRecord* w = gWindowList; w; w = w->nextWindow)
        if (w->w.hdr.hwnd) InvalidateRect(w->w.hdr.hwnd, nullptr, TRUE);
}

int ControlMsgToEvent(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    ObjectRecord* rec = ObjectFromHwnd(wnd);
    if (!rec) return 0;
    switch (msg) {
    case WM_SETFOCUS: {
        ObjectRecord* top = ObjectTopWindow(rec);
        WindowRecord* w = top ? ObjectAsWindow(top) : nullptr;
        ObjectRecord* left = w ? w->focusObj : nullptr;
        // PostValidateOnFocus records rec as the window's focus, after which
        // SetFocusObject sees no change; the object left hears $LOSTFOCUS here,
        // after its $VALIDATE and before rec's $GOTFOCUS.
        PostValidateOnFocus(rec, top);
        if (left && left != rec && ObjectIsLive(left)) PostObjectEvent(left, kEvLostFocus, kEventKindDefault, 0, 0);
        if (EventIsRegistered(rec, kEvGotFocus)) PostObjectEvent(rec, kEvGotFocus, kEventKindDefault, 0, 0);
        return 0;
    }
    case WM_KEYDOWN:
        // Escape types a character (27), which a control reports as its
        // $KEYPRESS below; the key itself is not reported a second time.
        if (wp == VK_ESCAPE) return 0;
        return QueueFunctionKey(wnd, wp, 1, 0, 0) ? 1 : 0;
    case WM_SYSKEYDOWN:
        return HandleSysKeyF10(wnd, wp, 0, 0, 0) ? 1 : 0;
    case WM_CHAR:
        if (wp == VK_TAB && !(rec->flags & kObjAcceptTab)) return 1;  // Tab moved the focus already
        if (EventIsRegistered(rec, kEvKeyPress))
            return PostObjectEvent(rec, kEvKeyPress, kEventKindDefault, KeyModifiers(), static_cast<int32_t>(wp)) ? 0 : 0;
        return 0;
    case WM_MOUSEMOVE:
        MouseMoveEvent(rec, wp, lp);
        return 0;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP: case WM_MBUTTONDOWN:
        WindowMouseButtonMsg(rec, msg, wp, lp);
        return 0;
    default:
        return 0;
    }
}

bool DragStart(int x, int y, ObjectRecord* rec, int, int) {
    // Windows starts a drag only after the mouse moved past the drag rectangle.
    if (!rec || !rec->hwnd || !(rec->flags & kObjShown)) return false;
    POINT pt = {x, y};
    ClientToScreen(rec->hwnd, &pt);
    // Panels keep their background while the drag's loop runs.
    bool eraseWas = gPanelEraseOn;
    gPanelEraseOn = false;
    bool dragged = DragDetect(rec->hwnd, pt) != FALSE;
    gPanelEraseOn = eraseWas;
    return dragged;
}

// A drag whose press loop took the pointer's moves itself: the system keeps
// only the newest place of the moves not yet taken (on a busy machine a
// quick drag is one move, then the release), so a move the loop took that is
// already past the system's drag rectangle is the drag; DragDetect would see
// only the release and call it a click.
bool DragStartMoved(int x, int y, POINT moved, ObjectRecord* rec, int index, int flag) {
    if (!rec || !rec->hwnd || !(rec->flags & kObjShown)) return false;
    if (abs(moved.x - x) > GetSystemMetrics(SM_CXDRAG) || abs(moved.y - y) > GetSystemMetrics(SM_CYDRAG)) return true;
    return DragStart(x, y, rec, index, flag);
}

bool FileDialog(HWND owner, int kind) {
    // The common dialogs are loaded first: without them no file is chosen.
    if (!SysLibNeed(kSysLibComDlg)) return false;
    // The picture filters in format-code order: the chosen index is the
    // image format (1-6), 7 leaves it to the file name.
    static const char kPictureFilter[] =
        "Bitmaps (*.BMP;*.DIB;*.RLE)\0*.BMP;*.DIB;*.RLE\0"
        "PCX files (*.DCX;*.PCX)\0*.DCX;*.PCX\0"
        "GIF files (*.GIF)\0*.GIF\0"
        "TIF files (*.TIF;*.TIFF)\0*.TIF;*.TIFF\0"
        "JPG files (*.JPG;*.JPEG)\0*.JPG;*.JPEG\0"
        "PNG files (*.PNG)\0*.PNG\0"
        "All files (*.*)\0*.*\0";
    static const char kVideoFilter[] = "Video for Windows (*.AVI)\0*.AVI\0";
    static const char kWaveFilter[] = "Wav files (*.WAV)\0*.WAV\0";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = DialogOwnerWindow(owner);
    switch (kind) {
    case kFileDialogPicture: ofn.lpstrFilter = kPictureFilter; break;
    case kFileDialogVideo: ofn.lpstrFilter = kVideoFilter; break;
    case kFileDialogWave: ofn.lpstrFilter = kWaveFilter; break;
    default: ofn.lpstrFilter = "All files (*.*)\0*.*\0"; break;
    }
    ofn.nFilterIndex = gFileDlgFilterIndex ? gFileDlgFilterIndex : 1;
    ofn.lpstrFile = gFileDlgName;
    ofn.nMaxFile = sizeof gFileDlgName;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&ofn)) return false;
    gFileDlgFilterIndex = ofn.nFilterIndex;
    return true;
}

bool ToolButtonToolTipSet(ObjectRecord* button, HWND toolbar, UINT id, const char* text, bool replace) {
    ObjectRecord* top = button ? ObjectTopWindow(button) : nullptr;
    WindowRecord* w = top ? ObjectAsWindow(top) : nullptr;
    if (!w || !toolbar) return false;
    if (!w->toolTipWnd) {
        if (!CommonControlsInit()) return false;
        w->toolTipWnd = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, top->hwnd, nullptr, gInstance,
                                        nullptr);
        if (!w->toolTipWnd) return false;
    }
    TOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.hwnd = toolbar;
    ti.uId = id;
    if (replace) SendMessageA(w->toolTipWnd, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    ti.uFlags = TTF_SUBCLASS;
    ti.lpszText = const_cast<char*>(text ? text : "");
    SendMessageA(toolbar, TB_GETRECT, id, reinterpret_cast<LPARAM>(&ti.rect));
    return SendMessageA(w->toolTipWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
}

void ToolButtonToolTipRemove(ObjectRecord* button, HWND toolbar, UINT id) {
    ObjectRecord* top = button ? ObjectTopWindow(button) : nullptr;
    WindowRecord* w = top ? ObjectAsWindow(top) : nullptr;
    if (!w || !w->toolTipWnd) return;
    TOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.hwnd = toolbar;
    ti.uId = id;
    SendMessageA(w->toolTipWnd, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}
