// window.cpp - native Window objects (kind 25): creation from the creation
// record, showing, hiding and the modal wait, destruction, the window
// procedure's messages, and the window properties and methods.
#include "objects/window.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "objects/color.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/font.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "session/util/mem.h"
#include "session/session.h"
#include "session/util/strutil.h"

NativeWindowRecord* gWindowList;
uint8_t gGuiOption3D;     // the process-wide three-dimensional option

// The MDI client numbers its children's window ids from here on.
constexpr UINT kMdiFirstChildId = 0xFF00;


NativeWindowRecord* NativeWindowOf(ObjectRecord* rec) {
    if (!rec || rec->kind != kKindWindow || ObjectIsWebView(rec)) return nullptr;
    return reinterpret_cast<NativeWindowRecord*>(rec);
}

ObjectRecord* ObjectFromHwnd(HWND wnd) {
    if (!wnd) return nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid != GetCurrentProcessId()) return nullptr;
    auto* rec = reinterpret_cast<ObjectRecord*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    return rec && ObjectIsLive(rec) ? rec : nullptr;
}

static void ReplaceText(char** field, const CrText& t) {
    if (*field) LocalFreeMem(*field);
    *field = nullptr;
    if (!t.text) return;
    auto* copy = static_cast<char*>(LocalAllocZero(t.length + 1));
    if (!copy) return;
    memcpy(copy, t.text, t.length);
    *field = copy;
}

// The effective type of a requested one; 8-11 are kept as the requested type.
static uint8_t MapWinType(int32_t type, uint8_t* requested) {
    *requested = 0;
    switch (type) {
    case kWinAskModal: *requested = kWinAskModal; return kWinModal;
    case kWinAskDialog: *requested = kWinAskDialog; return kWinDialog;
    case kWinAskTool: *requested = kWinAskTool; return kWinTool;
    case kWinAskNormal: *requested = kWinAskTool; return kWinNormal;
    default: return static_cast<uint8_t>(type >= kWinModal && type <= kWinMdiChild ? type : kWinNormal);
    }
}

static uint8_t DefaultBorder(uint8_t type, uint32_t crStyle) {
    switch (type) {
    case kWinModal: return kWbFixedDialog;
    case kWinDialog: return (crStyle & 0x40) ? kWbFixedDialog : kWbSingle;
    case kWinTool: return kWbSingle;
    default: return kWbSizeable;
    }
}

// A frame's widths on each side of its client area.
struct FrameMargins {
    int32_t left, top, right, bottom;
};

// A client area's edges counted in 64 bits.
struct Edges64 {
    int64_t left, top, right, bottom;
};

// The widths the system gives a frame of these styles.
static FrameMargins MarginsOfStyle(DWORD style, bool menu, DWORD exStyle) {
    RECT r = {0, 0, 0, 0};
    AdjustWindowRectEx(&r, style, menu ? TRUE : FALSE, exStyle);
    return FrameMargins{-r.left, -r.top, r.right, r.bottom};
}

// The frame's rectangle around a client area; false when it, its width or
// its height falls outside the 32-bit coordinates the system takes (such a
// place is refused, never wrapped).
static bool FrameAround(const Edges64& client, const FrameMargins& m, RECT* out) {
    int64_t l = client.left - m.left, t = client.top - m.top, r = client.right + m.right, b = client.bottom + m.bottom;
    for (int64_t v : {l, t, r, b, r - l, b - t})
        if (v < INT32_MIN || v > INT32_MAX) return false;
    *out = RECT{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)};
    return true;
}

// The Win32 styles of a window from its border style and style word.
static void WindowStyles(const NativeWindowRecord* w, DWORD* style, DWORD* exStyle) {
    DWORD s = WS_CLIPSIBLINGS, ex = 0;
    switch (w->winBorder) {
    case kWbNone: s |= WS_POPUP; break;
    case kWbSingle: s |= WS_POPUP | WS_BORDER; break;
    case kWbDialogFrame: s |= WS_POPUP | WS_DLGFRAME; break;
    case kWbToolSingle: s |= WS_OVERLAPPED | WS_BORDER; ex |= WS_EX_TOOLWINDOW; break;
    case kWbFixedDialog: s |= WS_OVERLAPPED | WS_DLGFRAME; ex |= WS_EX_DLGMODALFRAME; break;
    case kWbToolSizeable: s |= WS_OVERLAPPED | WS_THICKFRAME; ex |= WS_EX_TOOLWINDOW; break;
    case kWbSizeablePopup: s |= WS_POPUP | WS_THICKFRAME; break;
    default: s |= WS_OVERLAPPED | WS_THICKFRAME; break;   // kWbSizeable
    }
    if (w->winBorder >= kWbToolSingle && w->winBorder <= kWbToolSizeable) {
        // The system gives every overlapped window a caption; without Caption
        // the window is a pop-up with the same frame, so that the frame it
        // gets is the one its size was reckoned with.
        if (w->winStyle & kWsCaption) s |= WS_CAPTION;
        else s |= WS_POPUP;
        if (w->winStyle & kWsSysMenu) s |= WS_SYSMENU;
        if ((w->winStyle & kWsMinBox) && w->winBorder != kWbFixedDialog) s |= WS_MINIMIZEBOX;
        if ((w->winStyle & kWsMaxBox) && w->winBorder != kWbFixedDialog) s |= WS_MAXIMIZEBOX;
    } else if ((w->w.winType == kWinModal || w->w.winType == kWinDialog) && (w->winStyle & kWsCaption)) {
        // A dialog has its title bar, with its title and the close box, on
        // whatever frame its border style gives it (a dialog made without
        // WinBorder has the single line): the close box is how a person asks
        // to leave it ($CLOSE). As in the web view, it has no minimise or
        // maximise box.
        s |= WS_CAPTION;
        if (w->winStyle & kWsSysMenu) s |= WS_SYSMENU;
    }
    if (w->winStyle & kWsClipCtrl) s |= WS_CLIPCHILDREN;
    if (w->winStyle & kWsVScroll) s |= WS_VSCROLL;
    if (w->winStyle & kWsHScroll) s |= WS_HSCROLL;
    if (w->winStyle & kWsTopmost) ex |= WS_EX_TOPMOST;
    if (w->winStyle & kWsInTaskbar) ex |= WS_EX_APPWINDOW;
    if (w->mdiFrame) {
        // An MDI child is a child window of its frame's MDI client, with the
        // frame its border style gives it (the client lets its children keep
        // their own styles, and refuses a pop-up among them); the taskbar and
        // the topmost band are for top windows.
        s = (s & ~WS_POPUP) | WS_CHILD;
        ex = (ex & ~(WS_EX_TOPMOST | WS_EX_APPWINDOW)) | WS_EX_MDICHILD;
    }
    *style = s;
    *exStyle = AddRtlExStyle(&w->w.hdr, ex);
}

static void FillFromCreateRecord(NativeWindowRecord* w, const ObjectCreateRecord* cr) {
    ObjectRecord* rec = &w->w.hdr;
    int32_t appearance = cr->appearance ? cr->appearance : cr->style;
    if (appearance == 1 || appearance == 3 || appearance == 4) rec->flags |= kObj3D;
    else if (appearance == 0 && gGuiOption3D) {
        appearance = 1;
        rec->flags |= kObj3D;
    } else if (appearance == 0) {
        appearance = 2;
    }
    rec->appearance = static_cast<uint8_t>(appearance);
    bool three = (rec->flags & kObj3D) != 0;
    rec->fgColor = cr->fgColor.object ? ColorObjGetValue(cr->fgColor.object, 0)
                   : (cr->fgColor.value == -1 || cr->fgColor.value == -2) ? (three ? kColorBtnText : 0)
                                                                            : static_cast<uint32_t>(cr->fgColor.value);
    rec->bdrColor = cr->bdrColor.object ? ColorObjGetValue(cr->bdrColor.object, 0)
                    : cr->bdrColor.value == -1 ? 0 : static_cast<uint32_t>(cr->bdrColor.value);
    rec->bgColor = cr->bgColor.object ? ColorObjGetValue(cr->bgColor.object, 0xFFFFFF)
                   : (cr->bgColor.value == -1 || cr->bgColor.value == -2) ? (three ? kColorBtnFace : 0xFFFFFF)
                                                                            : static_cast<uint32_t>(cr->bgColor.value);
    w->w.dockPad[0] = cr->dockPadL;
    w->w.dockPad[1] = cr->dockPadT;
    w->w.dockPad[2] = cr->dockPadR;
    w->w.dockPad[3] = cr->dockPadB;
    w->mdiBorder = static_cast<uint8_t>(cr->mdiBorder);
    w->mdiScroll = (cr->mdiScroll >= 1 && cr->mdiScroll <= 4) ? static_cast<uint8_t>(cr->mdiScroll) : 1;
    w->mdiRect[0] = cr->mdiLeft;
    w->mdiRect[1] = cr->mdiTop;
    w->mdiRect[2] = cr->mdiLeft + cr->mdiWidth;
    w->mdiRect[3] = cr->mdiTop + cr->mdiHeight;
    if (cr->inTaskbar) w->winStyle |= kWsInTaskbar;
    if (cr->topmost) w->winStyle |= kWsTopmost;
    if (cr->topmost == 2) w->winStyle2 |= kWs2Topmost2;
    if (cr->autoScroll) w->winStyle |= kWsAutoScroll;
    w->winPos = (cr->winPos >= 1 && cr->winPos <= 6) ? static_cast<uint8_t>(cr->winPos) : 1;
    uint8_t requested;
    w->w.winType = MapWinType(cr->winType, &requested);
    w->w.winTypeRequested = requested;
    w->winBorder = (cr->winBorder >= kWbNone && cr->winBorder <= kWbSizeablePopup) ? static_cast<uint8_t>(cr->winBorder)
                                                               : DefaultBorder(w->w.winType, cr->winStyle);
    if (w->w.winType == kWinMdiFrame && !w->mdiRect[0] && !w->mdiRect[1] && !w->mdiRect[2] && !w->mdiRect[3])
        w->winStyle |= kWsMdiNoRect;
    if (cr->scrollBar == 1) w->winStyle |= kWsVScroll | kWsHScroll;
    else if (cr->scrollBar == 2) w->winStyle |= kWsHScroll;
    else if (cr->scrollBar == 4) w->winStyle |= kWsVScroll;
    if (cr->winStyle & 0x80) w->winStyle |= kWsNegBorders;
    if (cr->winStyle & 0x100) w->winStyle |= kWsNegMenus;
    if (cr->winStyle & 0x200) w->winStyle |= kWsNoMenuResize;
    if (cr->winStyle & 0x400) w->winStyle |= kWsButtonEnterKey;
    if (cr->gridAlign) w->winStyle |= kWsGridAlign;
    w->gridSizeH = static_cast<uint16_t>(cr->gridSizeH > 0 ? cr->gridSizeH : 10);
    w->gridSizeV = static_cast<uint16_t>(cr->gridSizeV > 0 ? cr->gridSizeV : 10);
    w->units = ScaleModeFromUnits(cr->units);
    w->winStyle |= kWsCaption | kWsSysMenu | kWsMinBox | kWsMaxBox;
    if (cr->winStyle & 0x40) w->winStyle &= ~kWsCaption;
    if (cr->winStyle & 0x4) w->winStyle &= ~kWsMaxBox;
    if (cr->winStyle & 0x8) w->winStyle &= ~kWsMinBox;
    if (cr->winStyle & 0x2) w->winStyle &= ~kWsSysMenu;
    if (cr->winStyle & 0x20) w->winStyle |= kWsClipCtrl;
    if (cr->rightToLeft == 1) rec->flags |= kObjRightToLeft;
    w->showWebMenu = static_cast<uint8_t>(cr->showWebMenu);
    w->ribMode = static_cast<uint8_t>(cr->ribMode);
    w->minWidth = cr->minWidth;
    w->minHeight = cr->minHeight;
    if (!cr->autoRedraw) rec->flags |= kObjNoAutoRedraw;
    w->webMode = static_cast<uint32_t>(cr->webMode);
    ReplaceText(&w->title, cr->title);
    ReplaceText(&w->ribDll, cr->ribDll);
    ReplaceText(&w->ribName, cr->ribName);
    ReplaceText(&w->useCss, cr->useCss);
    ReplaceText(&w->divisionId, cr->divisionId);
}

// The MDI frame a WinType 7 window is made in: the window its creation names,
// when that is a native MDI frame. Without one it is made as an ordinary
// window, as the web view makes it.
static NativeWindowRecord* MdiFrameNamed(const ObjectCreateRecord* cr) {
    NativeWindowRecord* frame = NativeWindowOf(ObjectResolveParent(cr));
    return frame && frame->w.winType == kWinMdiFrame && frame->mdiClient ? frame : nullptr;
}

static void FreeWindowTexts(NativeWindowRecord* w) {
    for (char** f : {&w->title, &w->prefix, &w->ribDll, &w->ribName, &w->useCss, &w->divisionId}) {
        if (*f) LocalFreeMem(*f);
        *f = nullptr;
    }
}

ObjectRecord* WindowObjectCreate(ObjectRecord*, ObjectCreateRecord* cr, int32_t* result) {
    *result = kWinCreateNoMemory;
    auto* w = reinterpret_cast<NativeWindowRecord*>(ObjectAllocRecord(kKindWindow, sizeof(NativeWindowRecord), false));
    if (!w) return nullptr;
    ObjectRecord* rec = &w->w.hdr;
    if (cr->flags0 & kCrModal) cr->winType = kWinModal;
    else if ((cr->flags0 & kCrDialog) && (cr->winType < kWinModal || cr->winType > kWinAskNormal)) cr->winType = kWinDialog;
    FillFromCreateRecord(w, cr);
    if (w->w.winType == kWinMdiChild) w->mdiFrame = MdiFrameNamed(cr);
    uint32_t keepFlags = rec->flags;
    ObjectInitCommon(rec, cr, nullptr);   // a window has no parent to refuse
    rec->flags |= keepFlags;
    rec->parent = nullptr;
    w->w.nextCtlId = kCtlIdFirst;
    if (!rec->font) rec->font = FontAddUse(gDefaultFontP);
    if (!ObjectSetRect(rec, cr->top, cr->height, cr->left, cr->width)) {
        FreeWindowTexts(w);
        ObjectFreeCommon(rec);
        ObjectFreeRecord(rec);
        *result = kWinCreateBadRect;
        return nullptr;
    }
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    ConvertRectUnits(rec, &r, kToPixels);
    ConvertRectUnits(rec, reinterpret_cast<RECT*>(w->w.dockPad), kToPixels);
    w->w.virtualWidth = ConvertUnits(rec, cr->minScrollH, kToPixels);
    w->w.virtualHeight = ConvertUnits(rec, cr->minScrollV, kToPixels);
    DWORD style, exStyle;
    WindowStyles(w, &style, &exStyle);
    const char* cls = kClassWindow;
    HWND parentWnd = nullptr;
    if (w->w.winType == kWinModal || w->w.winType == kWinDialog) {
        cls = kClassWindowS;
        parentWnd = DialogOwnerWindow(nullptr);
    } else if (w->w.winType == kWinMdiFrame) {
        cls = kClassMdiFrame;
    } else if (w->mdiFrame) {
        cls = kClassMdiChild;
        parentWnd = w->mdiFrame->mdiClient;
    }
    // Window rectangles are client areas: the frame is added around them. An
    // MDI child's is counted in its MDI client's client area, as its place is
    // read and written later.
    RECT outer;
    if (!FrameAround(Edges64{r.left, r.top, r.right, r.bottom}, MarginsOfStyle(style, false, exStyle), &outer)) {
        FreeWindowTexts(w);
        ObjectFreeCommon(rec);
        ObjectFreeRecord(rec);
        *result = kWinCreateBadRect;
        return nullptr;
    }
    HWND wnd = CreateWindowExA(exStyle, cls, w->title ? w->title : "", style, outer.left, outer.top,
                               outer.right - outer.left, outer.bottom - outer.top, parentWnd, nullptr, gInstance,
                               nullptr);
    if (!wnd) {
        FreeWindowTexts(w);
        ObjectFreeCommon(rec);
        ObjectFreeRecord(rec);
        *result = kWinCreateFailed;
        return nullptr;
    }
    rec->hwnd = wnd;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(rec));
    if (rec->font && rec->font->hfont) SendMessageA(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(rec->font->hfont), 0);
    if (w->w.winType == kWinMdiFrame) {
        // MDIS_ALLCHILDSTYLES: its children keep the frames of their border
        // styles rather than the system's sizeable one, so the client area
        // each is made with is the one it gets.
        CLIENTCREATESTRUCT ccs = {nullptr, kMdiFirstChildId};
        w->mdiClient = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                                       WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL |
                                           MDIS_ALLCHILDSTYLES,
                                       0, 0, 0, 0, wnd, nullptr, gInstance, &ccs);
        // A frame is made with its MDI client or not at all: its children
        // live there, and its default procedure works through it.
        if (!w->mdiClient) {
            WindowDestroy(rec);
            *result = kWinCreateFailed;
            return nullptr;
        }
    }
    w->focusWnd = CreateWindowExA(0, kClassFocus, nullptr, WS_CHILD, 0, 0, 0, 0, wnd, nullptr, gInstance, nullptr);
    RECT client;
    GetClientRect(wnd, &client);
    w->w.clientWidth = client.right;
    w->w.clientHeight = client.bottom;
    w->nextWindow = gWindowList;
    gWindowList = w;
    if (gGuiHooks.ribbonCreate) gGuiHooks.ribbonCreate(rec, 0);
    // A window rendered as a page gets its web view now; without one the
    // window cannot show anything and is not created.
    if (w->webMode >= kWebModePage && gGuiHooks.webHostCreate) {
        // Making the web view pumps messages until its page is ready.
        ObjectRef ref = ObjectRefOf(rec);
        int32_t hosted = gGuiHooks.webHostCreate(rec, w->webMode);
        if (!ObjectRefAlive(ref)) {
            *result = kWinCreateFailed;
            return nullptr;
        }
        if (hosted != 0) {
            WindowDestroy(rec);
            *result = hosted;
            return nullptr;
        }
    }
    ObjectSaveLayout(rec, 0);
    if (cr->flags0 & kCrDisabled) ObjectDisable(rec, 0);
    *result = 0;
    return rec;
}

ObjectRecord* WindowCreatorEntry(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ObjectRecord* rec = WindowObjectCreate(nullptr, cr, code);
    if (!rec) {
        if (*code == 0) *code = kWinCreateFailed;
        return nullptr;
    }
    // A visible modal window waits here; a request taken meanwhile may destroy it.
    ObjectRef ref = ObjectRefOf(rec);
    if (cr->flags0 & kCrVisible) ObjectActivate(rec, 0, 0, 0, 0);
    if (!ObjectRefAlive(ref)) {
        *code = kWinCreateFailed;
        return nullptr;
    }
    return rec;
}

// An MDI frame's children go before it: its window takes theirs along.
static void DestroyMdiChildren(NativeWindowRecord* frame) {
    for (NativeWindowRecord* c = gWindowList; c;) {
        if (c->mdiFrame != frame) {
            c = c->nextWindow;
            continue;
        }
        ObjectRef ref = ObjectRefOf(&c->w.hdr);
        ObjectDestroy(&c->w.hdr);
        // One that stays (a destroy refused) no longer counts as the frame's.
        if (ObjectRefAlive(ref)) c->mdiFrame = nullptr;
        c = gWindowList;   // the list changed: from its start again
    }
}

static void UnlistWindow(NativeWindowRecord* w) {
    for (NativeWindowRecord** link = &gWindowList; *link; link = &(*link)->nextWindow) {
        if (*link == w) {
            *link = w->nextWindow;
            return;
        }
    }
}

int32_t WindowDestroy(ObjectRecord* rec) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w) return kOpNoObject;
    // Its ribbon, web-view host, OLE frame support and loaded form's
    // resources go first.
    WindowEventRaise(kWindowDestroyed, rec, false);
    w->w.ribbon = nullptr;
    if (w->mdiClient) DestroyMdiChildren(w);
    ObjectDestroyChildren(rec);
    // The bar objects leave the list in their own destroy; one that cannot be
    // destroyed is dropped from it so the walk ends.
    while (ObjectRecord* bar = w->scrollBars) {
        ObjectDestroy(bar);
        if (w->scrollBars == bar) {
            w->scrollBars = bar->next;
            bar->next = nullptr;
            bar->parent = nullptr;
        }
    }
    while (ObjectRecord* m = w->w.menus) {
        w->w.menus = m->next;
        m->next = nullptr;
        m->parent = nullptr;
        ObjectDestroy(m);
    }
    // The wait of any level, not only the current one, ends with its window.
    ModalWindowForget(rec);
    UnlistWindow(w);
    HWND wnd = rec->hwnd;
    rec->hwnd = nullptr;
    if (wnd) {
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        // An MDI child leaves through its MDI client, which activates the next.
        if (w->mdiFrame) SendMessageA(w->mdiFrame->mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(wnd), 0);
        else DestroyWindow(wnd);
    }
    FreeWindowTexts(w);
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}

// Where a window's place is counted from: its parent's client area for a
// child (an MDI child: its MDI client's), else the screen (null).
static HWND PlaceOrigin(HWND wnd) {
    return (GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD) ? GetParent(wnd) : nullptr;
}

// WinPos 1 as given; 2 centred on the screen; 3 centred on the owner; 4 and 6
// fill the work area; 5 cascaded. An MDI child's screen is its MDI client.
static void PlaceByWinPos(NativeWindowRecord* w) {
    HWND wnd = w->w.hdr.hwnd, origin = PlaceOrigin(wnd);
    RECT wr, area;
    GetWindowRect(wnd, &wr);
    MapWindowPoints(nullptr, origin, reinterpret_cast<POINT*>(&wr), 2);
    if (origin) GetClientRect(origin, &area);
    else SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    int width = wr.right - wr.left, height = wr.bottom - wr.top;
    switch (w->winPos) {
    case kWinPosCentreScreen:
    case kWinPosCentreOwner: {
        RECT base = area;
        HWND owner = GetWindow(wnd, GW_OWNER);
        if (w->winPos == kWinPosCentreOwner && owner && IsWindowVisible(owner)) GetWindowRect(owner, &base);
        SetWindowPos(wnd, nullptr, base.left + (base.right - base.left - width) / 2,
                     base.top + (base.bottom - base.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    case kWinPosFill:
    case kWinPosFillHeight:
        SetWindowPos(wnd, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    default:
        break;
    }
}

// Brings the window to the front with the foreground: an MDI child becomes
// its MDI client's active child, and its frame comes forward.
static bool BringToFront(NativeWindowRecord* w) {
    HWND wnd = w->w.hdr.hwnd;
    if (!w->mdiFrame) return SetForegroundWindow(wnd) != FALSE;
    SendMessageA(w->mdiFrame->mdiClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(wnd), 0);
    return SetForegroundWindow(w->mdiFrame->w.hdr.hwnd) != FALSE;
}

int32_t WindowShow(ObjectRecord* rec, int32_t, int32_t, int32_t, int32_t) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w || !rec->hwnd) return kOpNoObject;
    if (EventIsRegistered(rec, kEvFormInit)) PostObjectEvent(rec, kEvFormInit, kEventKindDefault, 0, 0);
    bool wasShown = (rec->flags & kObjShown) != 0;
    rec->flags |= kObjShown;
    rec->flags &= ~kObjHidden;
    if (!wasShown) PlaceByWinPos(w);
    ShowWindow(rec->hwnd, wasShown ? SW_SHOW : SW_SHOWNORMAL);
    BringToFront(w);
    if (gGuiHooks.webHostFocus && gGuiHooks.webHostFocus(rec, kHostFocusShown)) {
        // Its page gave one of its controls the focus.
    } else if (!w->w.focusObj || !ObjectCanFocus(w->w.focusObj)) {
        if (!FocusNextObject(0) && w->focusWnd) SetFocus(w->focusWnd);
    } else {
        SetFocus(w->w.focusObj->hwnd);
    }
    UpdateWindow(rec->hwnd);
    bool modal = w->w.winType == kWinModal && !(w->winStyle & kWsModalShownPlain);
    if (modal && !wasShown && !ModalIsWaitingFor(rec)) {
        // The wait ends with 21761 whether the server hid the window or
        // destroyed it; after a destroy the record is freed and the show's
        // callers learn that from its handle, not from the record.
        bool gone;
        return ModalWindowLoop(rec, &gone);
    }
    return 0;
}

int32_t WindowHide(ObjectRecord* rec) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w || !rec->hwnd) return kOpNoObject;
    bool modal = w->w.winType == kWinModal && !(w->winStyle & kWsModalShownPlain);
    if (modal && ModalIsWaitingFor(rec)) {
        int32_t rc = ModalWindowEnd(rec);
        if (rc != 0) return rc;
    }
    rec->flags &= ~kObjShown;
    // Enable the owner first so Windows activates it rather than another program.
    if (gAllWindowsDisabled && gDlgStatePos <= 1) EnableAllWindows(true);
    ShowWindow(rec->hwnd, SW_HIDE);
    return 0;
}

int32_t WindowEnable(ObjectRecord* rec, int32_t item, int32_t on) {
    if (item != 0 || !rec->hwnd) return 0;
    if (!on) MoveFocusAway(rec);
    EnableWindow(rec->hwnd, on ? TRUE : FALSE);
    return 0;
}

int32_t WindowGetText(ObjectRecord* rec, int32_t) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w) return kOpNoObject;
    // Native window texts fill at most 4,097 bytes of the shared buffer.
    int n = rec->hwnd ? GetWindowTextA(rec->hwnd, gTextBuf, 4097) : 0;
    gTextBuf[n] = 0;
    return n;
}

int32_t WindowSetText(ObjectRecord* rec, int32_t, const char* text, uint32_t len) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w) return kOpNoObject;
    // The record takes the title only once the window has: a refused title
    // leaves both as they were.
    char* kept = w->title;
    w->title = nullptr;
    ReplaceText(&w->title, CrText{text ? text : "", len});
    if (!w->title || (rec->hwnd && !WindowTextSet(rec->hwnd, w->title))) {
        if (w->title) LocalFreeMem(w->title);
        w->title = kept;
        return kOpNoMemory;
    }
    if (kept) LocalFreeMem(kept);
    return 0;
}

// Applies the style word and border to the window after a property change.
static void WindowRestyle(NativeWindowRecord* w) {
    HWND wnd = w->w.hdr.hwnd;
    if (!wnd) return;
    DWORD style, exStyle;
    WindowStyles(w, &style, &exStyle);
    DWORD keep = GetWindowLongA(wnd, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
    SetWindowLongA(wnd, GWL_STYLE, static_cast<LONG>(style | keep));
    SetWindowLongA(wnd, GWL_EXSTYLE, static_cast<LONG>(exStyle & ~WS_EX_TOPMOST));
    // An MDI child keeps its place among its siblings: the topmost band is
    // for top windows.
    SetWindowPos(wnd, (w->winStyle & kWsTopmost) ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED | (w->mdiFrame ? SWP_NOZORDER : 0));
}

static void SetStyleBit(NativeWindowRecord* w, uint32_t bit, int32_t on) {
    if (on) w->winStyle |= bit;
    else w->winStyle &= ~bit;
}

// The window's client area where its place is counted, in pixels.
static RECT ClientAreaPlaced(HWND wnd) {
    RECT r = {};
    GetClientRect(wnd, &r);
    MapWindowPoints(wnd, PlaceOrigin(wnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Puts the window's frame around a client area given where its place is
// counted (the screen, or an MDI child's MDI client). The frame
// keeps the widths it has now (caption, borders, a menu bar of however many
// lines), so the client area lands exactly there; a minimised window, which
// has no client area of its own, is framed by the system's reckoning.
// The client area's edges are given in 64 bits (a place written far out is
// counted without wrapping); false, and nothing moves, when the frame would
// leave the 32-bit coordinates.
static bool FrameAroundClient(HWND wnd, const Edges64& client) {
    RECT outer, now = ClientAreaPlaced(wnd), r;
    GetWindowRect(wnd, &outer);
    MapWindowPoints(nullptr, PlaceOrigin(wnd), reinterpret_cast<POINT*>(&outer), 2);
    FrameMargins m = IsIconic(wnd) ? MarginsOfStyle(static_cast<DWORD>(GetWindowLongA(wnd, GWL_STYLE)),
                                                    GetMenu(wnd) != nullptr,
                                                    static_cast<DWORD>(GetWindowLongA(wnd, GWL_EXSTYLE)))
                                   : FrameMargins{now.left - outer.left, now.top - outer.top,
                                                  outer.right - now.right, outer.bottom - now.bottom};
    if (!FrameAround(client, m, &r)) return false;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (r.left == outer.left && r.top == outer.top) flags |= SWP_NOMOVE;
    if (r.right - r.left == outer.right - outer.left && r.bottom - r.top == outer.bottom - outer.top)
        flags |= SWP_NOSIZE;
    if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) == (SWP_NOMOVE | SWP_NOSIZE)) return true;
    SetWindowPos(wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags);
    return true;
}

// Left, Top, Width or Height of a window, in its units: that one value
// changes and the rest of the client area stays as the window has it now (the
// user may have moved or sized it since it was made), so a move keeps the
// user's size and a value written back as read changes nothing. A size below
// zero or a rectangle past the 32-bit range, in units or in pixels with the
// frame around it, is refused (-4) and the window stays where it was.
static int32_t WindowSetPlace(NativeWindowRecord* w, uint32_t id, int32_t value) {
    ObjectRecord* rec = &w->w.hdr;
    int32_t left = rec->left, top = rec->top, width = rec->right - rec->left, height = rec->bottom - rec->top;
    RECT now = {};
    if (rec->hwnd) {
        now = ClientAreaPlaced(rec->hwnd);
        left = ConvertUnits(rec, now.left, kToUnits);
        top = ConvertUnits(rec, now.top, kToUnits);
        width = ConvertUnits(rec, now.right - now.left, kToUnits);
        height = ConvertUnits(rec, now.bottom - now.top, kToUnits);
    }
    if (id == kPidLeft) left = value;
    if (id == kPidTop) top = value;
    if (id == kPidWidth) width = value;
    if (id == kPidHeight) height = value;
    const RECT kept = {rec->left, rec->top, rec->right, rec->bottom};
    if (!ObjectSetRect(rec, top, height, left, width)) return kWinCreateBadRect;
    if (!rec->hwnd) return 0;
    int64_t px = ConvertUnits(rec, value, kToPixels);
    Edges64 want = {now.left, now.top, now.right, now.bottom};
    if (id == kPidLeft) want.right += px - want.left, want.left = px;
    if (id == kPidTop) want.bottom += px - want.top, want.top = px;
    if (id == kPidWidth) want.right = want.left + px;
    if (id == kPidHeight) want.bottom = want.top + px;
    if (FrameAroundClient(rec->hwnd, want)) return 0;
    rec->left = kept.left, rec->top = kept.top, rec->right = kept.right, rec->bottom = kept.bottom;
    return kWinCreateBadRect;
}

RECT WindowBarChangeBegin(ObjectRecord* rec) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w || !rec->hwnd) return RECT{};
    w->framing = 1;
    return ClientAreaPlaced(rec->hwnd);
}

void WindowBarChangeEnd(ObjectRecord* rec, const RECT& client) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w || !rec->hwnd) return;
    // A maximised window keeps filling the screen: its client area gives way.
    if (!IsZoomed(rec->hwnd))
        FrameAroundClient(rec->hwnd, Edges64{client.left, client.top, client.right, client.bottom});
    w->framing = 0;
}

// The window's font: a font text, a Font object, or one part of the font it
// has. Its children made later take it, and hosted controls read it as their
// ambient font, so they hear of the change.
static int32_t WindowSetFont(ObjectRecord* rec, const PropChange* req) {
    FontRec* font = nullptr;
    if (req->id == kPidFont) {
        font = FontFromSpec(req->text, static_cast<int32_t>(req->textLength), nullptr, 0);
    } else if (req->id == kPidFontObj) {
        FontRec* held = FontObjGetFont(req->object);
        font = held ? FontAddUse(held) : nullptr;
    } else {
        font = FontWithPart(rec->font ? rec->font : gDefaultFontP, req->id, req->value, req->text, req->textLength);
    }
    if (!font) return kOpNoFont;
    if (rec->font) FontRelease(rec->font);
    rec->font = font;
    if (rec->hwnd) InvalidateRect(rec->hwnd, nullptr, TRUE);
    WindowEventRaise(kWindowFontChanged, rec, false);
    return 0;
}

static const uint32_t kStyleProps[][2] = {
    {kPidMinBox, kWsMinBox}, {kPidMaxBox, kWsMaxBox}, {kPidSysMenu, kWsSysMenu}, {kPidCaption, kWsCaption},
    {kPidClipCtrl, kWsClipCtrl}, {kPidNegBorders, kWsNegBorders}, {kPidNegMenus, kWsNegMenus},
    {kPidNoMenuResize, kWsNoMenuResize}, {kPidInTaskbar, kWsInTaskbar}, {kPidAutoScroll, kWsAutoScroll},
    {kPidButtonEnterKey, kWsButtonEnterKey},
};

// Properties that only keep a value: a change stores it clamped to the row's
// range, a query reads the field back. One row serves both, so the two stay
// symmetric. The field is unsigned of 1, 2 or 4 bytes; a 4-byte field keeps
// the value's own bits.
struct ClampedWindowProp {
    uint16_t id;
    uint16_t offset;    // of the field in NativeWindowRecord
    uint8_t size;       // of the field in bytes
    int32_t min, max;
};
#define QOV_WINDOW_FIELD(f) \
    static_cast<uint16_t>(offsetof(NativeWindowRecord, f)), static_cast<uint8_t>(sizeof(NativeWindowRecord{}.f))
constexpr int32_t kU8Max = 255, kU16Max = 65535;
static const ClampedWindowProp kClampedProps[] = {
    {kPidGridSizeH, QOV_WINDOW_FIELD(gridSizeH), 1, kU16Max},       // grid cells are at least a pixel
    {kPidGridSizeV, QOV_WINDOW_FIELD(gridSizeV), 1, kU16Max},
    {kPidIcon, QOV_WINDOW_FIELD(iconValue), INT32_MIN, INT32_MAX},
    {kPidMdiBorder, QOV_WINDOW_FIELD(mdiBorder), 0, kU8Max},
    {kPidMdiScroll, QOV_WINDOW_FIELD(mdiScroll), 0, kU8Max},
    {kPidMinWidth, QOV_WINDOW_FIELD(minWidth), INT32_MIN, INT32_MAX},
    {kPidMinHeight, QOV_WINDOW_FIELD(minHeight), INT32_MIN, INT32_MAX},
    {kPidRibMode, QOV_WINDOW_FIELD(ribMode), 0, kU8Max},
    {kPidShowWebMenu, QOV_WINDOW_FIELD(showWebMenu), 0, kU8Max},
    {kPidWebMode, QOV_WINDOW_FIELD(webMode), INT32_MIN, INT32_MAX},
};
#undef QOV_WINDOW_FIELD

static const ClampedWindowProp* ClampedPropOf(uint32_t id) {
    for (const ClampedWindowProp& row : kClampedProps)
        if (row.id == id) return &row;
    return nullptr;
}

static void StoreClamped(NativeWindowRecord* w, const ClampedWindowProp& row, int32_t value) {
    int32_t v = value < row.min ? row.min : value > row.max ? row.max : value;
    uint8_t* at = reinterpret_cast<uint8_t*>(w) + row.offset;
    if (row.size == 1) {
        uint8_t x = static_cast<uint8_t>(v);
        memcpy(at, &x, sizeof x);
    } else if (row.size == 2) {
        uint16_t x = static_cast<uint16_t>(v);
        memcpy(at, &x, sizeof x);
    } else {
        uint32_t x = static_cast<uint32_t>(v);
        memcpy(at, &x, sizeof x);
    }
}

static uint32_t LoadClamped(const NativeWindowRecord* w, const ClampedWindowProp& row) {
    const uint8_t* at = reinterpret_cast<const uint8_t*>(w) + row.offset;
    if (row.size == 1) {
        uint8_t x;
        memcpy(&x, at, sizeof x);
        return x;
    }
    if (row.size == 2) {
        uint16_t x;
        memcpy(&x, at, sizeof x);
        return x;
    }
    uint32_t x;
    memcpy(&x, at, sizeof x);
    return x;
}

int32_t WindowSetProp(ObjectRecord* rec, PropChange* req) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w) return kOpNoObject;
    int32_t v = req->value;
    CrText text = {req->text ? req->text : "", req->text ? req->textLength : 0};
    for (const auto& row : kStyleProps) {
        if (req->id != row[0]) continue;
        SetStyleBit(w, row[1], v);
        WindowRestyle(w);
        return 0;
    }
    if (const ClampedWindowProp* row = ClampedPropOf(req->id)) {
        StoreClamped(w, *row, v);
        return 0;
    }
    switch (req->id) {
    case kPidTitle:
        return WindowSetText(rec, 0, text.text, text.length);
    case kPidLeft: case kPidTop: case kPidWidth: case kPidHeight:
        return WindowSetPlace(w, req->id, v);
    case kPidVisible:
        return v ? ObjectActivate(rec, 0, 0, 0, 0) : ObjectDeactivate(rec);
    case kPidWinType: {
        uint8_t requested;
        if (v < 1 || v > 11) return 0;
        w->w.winType = MapWinType(v, &requested);
        w->w.winTypeRequested = requested;
        return 0;
    }
    case kPidScrollBar:
        w->winStyle &= ~(kWsVScroll | kWsHScroll);
        if (v == 1) w->winStyle |= kWsVScroll | kWsHScroll;
        else if (v == 2) w->winStyle |= kWsHScroll;
        else if (v == 4) w->winStyle |= kWsVScroll;
        WindowRestyle(w);
        WindowScrollRangeSet(rec, 1, 1);
        return 0;
    case kPidPrefix:
        ReplaceText(&w->prefix, text);
        if (w->prefix && !*w->prefix) {
            LocalFreeMem(w->prefix);
            w->prefix = nullptr;
        }
        return 0;
    case kPidWinPos:
        if (v >= 1 && v <= 6) w->winPos = static_cast<uint8_t>(v);
        return 0;
    case kPidWinOffsetV:
    case kPidWinOffsetH: {
        if (v >= 32767) return 0;
        int vertical = req->id == kPidWinOffsetV ? 1 : 0;
        WindowScrollTo(rec, ConvertUnits(rec, v, kToPixels), vertical);
        return 0;
    }
    case kPidGridAlign:
        SetStyleBit(w, kWsGridAlign, v);
        return 0;
    case kPidUnits:
        if (v >= 1 && v <= 6) w->units = static_cast<uint8_t>(v);
        return 0;
    case kPidParentWin:
        return kWinParentWinRefused;
    case kPidRightToLeft:
        if (v) rec->flags |= kObjRightToLeft;
        else rec->flags &= ~kObjRightToLeft;
        WindowRestyle(w);
        return 0;
    case kPidWinBorder:
        if (v >= 1 && v <= 8) w->winBorder = static_cast<uint8_t>(v);
        WindowRestyle(w);
        return 0;
    case kPidTopmost:
        SetStyleBit(w, kWsTopmost, v);
        if (v == 2) w->winStyle2 |= kWs2Topmost2;
        else w->winStyle2 &= ~kWs2Topmost2;
        WindowRestyle(w);
        return 0;
    case kPidMinScrollH:
        w->w.virtualWidth = ConvertUnits(rec, v, kToPixels);
        WindowScrollRangeSet(rec, 1, 0);
        return 0;
    case kPidMinScrollV:
        w->w.virtualHeight = ConvertUnits(rec, v, kToPixels);
        WindowScrollRangeSet(rec, 0, 1);
        return 0;
    case kPidMdiTop:
    case kPidMdiLeft: {
        // A position change moves the opposite edge along.
        int axis = req->id == kPidMdiLeft ? 0 : 1;
        int32_t size = w->mdiRect[axis + 2] - w->mdiRect[axis];
        w->mdiRect[axis] = v;
        w->mdiRect[axis + 2] = v + size;
        w->winStyle &= ~kWsMdiNoRect;
        return 0;
    }
    case kPidMdiHeight:
        w->mdiRect[3] = w->mdiRect[1] + v;
        w->winStyle &= ~kWsMdiNoRect;
        return 0;
    case kPidMdiWidth:
        w->mdiRect[2] = w->mdiRect[0] + v;
        w->winStyle &= ~kWsMdiNoRect;
        return 0;
    case kPidDockPadL:
    case kPidDockPadT:
    case kPidDockPadR:
    case kPidDockPadB:
        w->w.dockPad[req->id - kPidDockPadL] = ConvertUnits(rec, v, kToPixels);
        WindowLayout(rec);
        return 0;
    case kPidRibDll:
        ReplaceText(&w->ribDll, text);
        return 0;
    case kPidRibName:
        ReplaceText(&w->ribName, text);
        SetStyleBit(w, kWsClipCtrl, w->ribName && w->ribName[0] && w->ribName[0] != ' ');
        WindowRestyle(w);
        if (gGuiHooks.ribbonCreate) gGuiHooks.ribbonCreate(rec, 1);
        return 0;
    case kPidUseCss:
        ReplaceText(&w->useCss, text);
        return 0;
    case kPidDivisionId:
        ReplaceText(&w->divisionId, text);
        return 0;
    case kPidFont: case kPidFontObj: case kPidBold: case kPidItalic: case kPidFontName: case kPidSize:
    case kPidAngle: case kPidStrike: case kPidUnderline:
        return WindowSetFont(rec, req);
    default: {
        bool redraw = false;
        int32_t rc = ObjectSetCommonProperty(rec, req->id, v, req->text, req->textLength, &redraw);
        if (redraw && rec->hwnd) InvalidateRect(rec->hwnd, nullptr, TRUE);
        return rc;
    }
    }
}

static uint32_t CopyText(const char* text) {
    size_t n = text ? strlen(text) : 0;
    if (n > kTextBufSize) n = kTextBufSize;
    if (n) memcpy(gTextBuf, text, n);
    gTextBuf[n] = 0;
    return 0;
}

uint32_t WindowGetProp(ObjectRecord* rec, uint32_t id) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w) return 0;
    for (const auto& row : kStyleProps)
        if (id == row[0]) return (w->winStyle & row[1]) ? 1 : 0;
    if (const ClampedWindowProp* row = ClampedPropOf(id)) return LoadClamped(w, *row);
    RECT client = {0, 0, w->w.clientWidth, w->w.clientHeight};
    RECT outer = {};
    if (rec->hwnd) GetWindowRect(rec->hwnd, &outer);
    switch (id) {
    case kPidTitle:
        WindowGetText(rec, 0);
        return 0;
    case kPidLeft:
    case kPidTop: {
        if (rec->hwnd) {
            // The client area's origin where the window's place is counted
            // (an MDI child's in its MDI client), in the window's units.
            RECT placed = ClientAreaPlaced(rec->hwnd);
            return static_cast<uint32_t>(ConvertUnits(rec, id == kPidLeft ? placed.left : placed.top, kToUnits));
        }
        return static_cast<uint32_t>(id == kPidLeft ? rec->left : rec->top);
    }
    case kPidWidth:
        return static_cast<uint32_t>(ConvertUnits(rec, client.right, kToUnits));
    case kPidHeight:
        return static_cast<uint32_t>(ConvertUnits(rec, client.bottom, kToUnits));
    case kPidWinWidth:
        return static_cast<uint32_t>(ConvertUnits(rec, outer.right - outer.left, kToUnits));
    case kPidWinHeight:
        return static_cast<uint32_t>(ConvertUnits(rec, outer.bottom - outer.top, kToUnits));
    case kPidVisible:
        return rec->hwnd && IsWindowVisible(rec->hwnd) ? 1 : 0;
    case kPidWinType:
        return (gGuiModeFlags & kGuiModeKeepFlagged) && w->w.winTypeRequested ? w->w.winTypeRequested
                                                                                : w->w.winType;
    case kPidScrollBar: {
        uint32_t bars = w->winStyle & (kWsVScroll | kWsHScroll);
        return bars == (kWsVScroll | kWsHScroll) ? 1 : bars == kWsVScroll ? 4 : bars == kWsHScroll ? 2 : 3;
    }
    case kPidPrefix:
        return CopyText(w->prefix);
    case kPidWinPos:
        return w->winPos;
    case kPidWinOffsetV:
        return static_cast<uint32_t>(ConvertUnits(rec, w->w.scrollY, kToUnits));
    case kPidWinOffsetH:
        return static_cast<uint32_t>(ConvertUnits(rec, w->w.scrollX, kToUnits));
    case kPidGridAlign:
        return (w->winStyle & kWsGridAlign) ? 1 : 0;
    case kPidUnits:
        return w->units;
    case kPidParentWin:
        return 0;
    case kPidHwnd:
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(rec->hwnd));
    case kPidRightToLeft:
        return (rec->flags & kObjRightToLeft) ? 1 : 0;
    case kPidWinBorder:
        return w->winBorder;
    case kPidTopmost:
        return !(w->winStyle & kWsTopmost) ? 0 : (w->winStyle2 & kWs2Topmost2) ? 2 : 1;
    case kPidMinScrollH:
        return static_cast<uint32_t>(ConvertUnits(rec, w->w.virtualWidth, kToUnits));
    case kPidMinScrollV:
        return static_cast<uint32_t>(ConvertUnits(rec, w->w.virtualHeight, kToUnits));
    case kPidMdiTop:
        return static_cast<uint32_t>(w->mdiRect[1]);
    case kPidMdiLeft:
        return static_cast<uint32_t>(w->mdiRect[0]);
    case kPidMdiHeight:
        return static_cast<uint32_t>(w->mdiRect[3] - w->mdiRect[1]);
    case kPidMdiWidth:
        return static_cast<uint32_t>(w->mdiRect[2] - w->mdiRect[0]);
    case kPidDockPadL:
    case kPidDockPadT:
    case kPidDockPadR:
    case kPidDockPadB:
        return static_cast<uint32_t>(
            ConvertUnits(rec, w->w.dockPad[id - kPidDockPadL], kToUnits));
    case kPidRibDll:
        return CopyText(w->ribDll);
    case kPidRibName:
        return CopyText(w->ribName);
    case kPidUseCss:
        return CopyText(w->useCss);
    case kPidDivisionId:
        return CopyText(w->divisionId);
    default:
        return static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
    }
}


// The Window's methods are numbered 1 to 52 without a gap; the call check only
// asks whether a number names one, so every row is the same presence mark.
struct WindowMethodRow {
    uint32_t last;
};
static const WindowMethodRow kWindowMethods = {kWmLast};

static const MethodDesc* WindowMethodLookup(uint32_t method, uint32_t) {
    if (method < 1 || method > kWindowMethods.last) return nullptr;
    return reinterpret_cast<const MethodDesc*>(&kWindowMethods);
}

void WindowRegisterMethods() { RegisterMethodTable(kTypeWindow, WindowMethodLookup); }

// The integer arguments of a method call, by position (0 when not given).
static int32_t MethodArg(const MethodCallRec* call, uint32_t i) {
    if (i >= call->argCount || i >= kMcMaxArgs || !call->argPresent[i]) return 0;
    return static_cast<int32_t>(call->args[i].value);
}

int32_t WindowMethod(ObjectRecord* rec, MethodCallRec* call) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w) return kOpNoObject;
    int32_t rc = CheckMethodCall(kTypeWindow, call);
    if (rc != 0) return rc;
    uint32_t method = call->method;
    int32_t result = 0;
    switch (method) {
    case kWmActivate:
        if (!(rec->flags & kObjShown)) result = ObjectActivate(rec, 0, 0, 0, 0);
        else if (rec->hwnd) BringToFront(w);
        break;
    case kWmClose:
        if (rec->hwnd) PostMessageA(rec->hwnd, WM_CLOSE, 0, 0);
        break;
    case kWmErase:
        result = EraseWindowBkgnd(rec);
        break;
    case kWmRefresh:
        result = RedrawObjWindow(rec);
        break;
    case kWmBackGrndMouseMove:
        if (MethodArg(call, 0)) w->winStyle |= kWsBackGrndMouseMove;
        if (MethodArg(call, 1)) w->winStyle &= ~kWsBackGrndMouseMove;
        result = (w->winStyle & kWsBackGrndMouseMove) ? 1 : 0;
        break;
    case kWmSetHScrollPos:
    case kWmSetVScrollPos: {
        bool vertical = method == kWmSetVScrollPos;
        if (!(w->winStyle & (vertical ? kWsVScroll : kWsHScroll))) {
            result = 1;
            break;
        }
        WindowScrollMsg(rec, 0, MethodArg(call, 0), vertical);
        break;
    }
    case kWmResetScaleOrigin:
        if (MethodArg(call, 0) & 4) w->winStyle2 |= kWs2KeepScaleOrigin;
        else w->winStyle2 &= ~kWs2KeepScaleOrigin;
        ObjectSaveLayout(rec, 0);
        for (ObjectRecord* c = rec->children; c; c = c->next) ObjectSaveLayout(c, 0);
        break;
    case kWmCheckValidate:
        if (w->w.focusObj && EventIsRegistered(w->w.focusObj, kEvValidate)) {
            PostObjectEventFirst(w->w.focusObj, kEvValidate, kEventKindDefault, 0, 0);
            result = w->w.focusObj->objectId ? w->w.focusObj->objectId : kWmCheckValidateNoId;
        }
        break;
    case kWmOsEventMask:
        result = static_cast<int32_t>(rec->osEventMask);
        if (gGuiModeFlags & kGuiModeKeepFlagged) rec->osEventMask = static_cast<uint32_t>(MethodArg(call, 0));
        break;
    case kWmMdiChildPrev:
    case kWmMdiChildNext:
        if (!w->mdiClient) {
            result = 1;
            break;
        }
        SendMessageA(w->mdiClient, WM_MDINEXT, 0, method == kWmMdiChildPrev);
        break;
    case kWmMouseWheelMode:
        if (MethodArg(call, 0) == 1) w->winStyle2 |= kWs2MouseWheel;
        else w->winStyle2 &= ~kWs2MouseWheel;
        result = (w->winStyle2 & kWs2MouseWheel) ? 1 : 0;
        break;
    case kWmIoCancelMode:
        if (MethodArg(call, 0)) w->winStyle2 |= kWs2IoCancel;
        else w->winStyle2 &= ~kWs2IoCancel;
        result = (w->winStyle2 & kWs2IoCancel) ? 1 : 0;
        break;
    case kWmIsMinimized:
        result = rec->hwnd && IsIconic(rec->hwnd) ? 1 : 0;
        break;
    case kWmSetForegroundWindow:
        result = rec->hwnd && BringToFront(w) ? 1 : 0;
        break;
    case kWmSaveQofFile: case kWmLoadQofFile: case kWmGetQofFlags: case kWmGetQofInfo: case kWmGetLastQofFileError:
        // Saving and loading form files and their header queries belong to the forms facility.
        if (gGuiHooks.windowFormMethod) return gGuiHooks.windowFormMethod(rec, call);
        break;
    case kWmGetObject: case kWmGetMenu: case kWmResAdd: case kWmResDelete: case kWmResGetIds: case kWmResModify:
    case kWmResSave: case kWmGetObjectAsPointer: case kWmGetResNames:
        break;
    case kWmRibbonGetProp: case kWmRibbonSetProp: case kWmRibbonSetModes: case kWmRibbonShowContext:
        if (gGuiHooks.windowRibbonMethod) return gGuiHooks.windowRibbonMethod(rec, call);
        break;
    case kWmControlPropertyPage:
        // A hosted control's property pages.
        if (gGuiHooks.controlPropertyPage) return gGuiHooks.controlPropertyPage(rec, call);
        break;
    case kWmPrintForm:
        // The window's image printed on the default printer ("Screen Dump").
        if (gGuiHooks.windowImagePrint) result = gGuiHooks.windowImagePrint(rec);
        break;
    case kWmGetActiveMdiChild: case kWmMdiLayout: case kWmShow: case kWmMdiShow:
    case kWmFormToPict: case kWmBrowseForFolder: case kWmPrintFormPict: case kWmMonitorInfo: case kWmScale:
    case kWmSetUIState: case kWmNotifyIcon: case kWmSetParent: case kWmGetMdiChildCount:
    case kWmGetLocaleInfo: case kWmAllowSetForeground: case kWmSetAsClient:
        break;
    default:
        return kOpUnknownMethod;
    }
    // The dispatcher answers the method's result to the server.
    return result;
}

namespace {

constexpr UINT kMmMciNotify = 953;
constexpr WPARAM kMciNotifySuccessful = 1;

struct KindScrollRow {
    KindScrollFn fn;
    bool verticalOnly;
};
KindScrollRow gKindScroll[kObjectKindRows];

}  // namespace

void RegisterKindScroll(uint32_t kind, KindScrollFn fn, bool verticalOnly) {
    if (kind < kObjectKindRows) gKindScroll[kind] = KindScrollRow{fn, verticalOnly};
}

bool ControlScrollMsg(UINT msg, WPARAM wp, LPARAM lp) {
    HWND ctlWnd = reinterpret_cast<HWND>(lp);
    ObjectRecord* ctl = ObjectFromHwnd(ctlWnd);
    if (!ctl || ctl->kind >= kObjectKindRows) return false;
    const KindScrollRow& row = gKindScroll[ctl->kind];
    if (!row.fn || (row.verticalOnly && msg != WM_VSCROLL)) return false;
    row.fn(ctl, ctlWnd, static_cast<int32_t>(HIWORD(wp)), LOWORD(wp));
    return true;
}

void ControlCommandMsg(ObjectRecord* container, WPARAM wp, LPARAM lp) {
    if (!lp) {
        MenuCommandEvent(ObjectTopWindow(container), nullptr, LOWORD(wp));
        return;
    }
    ObjectRecord* ctl = ObjectFromHwnd(reinterpret_cast<HWND>(lp));
    const ObjectOps* ops = ObjectOpsOf(ctl);
    if (ops && ops->notify && (ctl->flags & kObjShown))
        ops->notify(ctl, reinterpret_cast<HWND>(lp), LOWORD(wp), HIWORD(wp));
}

// An MDI child's messages that its own handling does not take go to the MDI
// child procedure, also while it is made and destroyed without its record;
// an ordinary WinType 7 window (no frame named) has the plain one.
static LRESULT WindowDefProc(ObjectRecord* rec, HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (w && w->w.winType == kWinMdiFrame) return DefFrameProcA(wnd, w->mdiClient, msg, wp, lp);
    if (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_MDICHILD) return DefMDIChildProcA(wnd, msg, wp, lp);
    return DefWindowProcA(wnd, msg, wp, lp);
}

LRESULT WindowProcMsg(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    ObjectRecord* rec = ObjectFromHwnd(wnd);
    NativeWindowRecord* w = NativeWindowOf(rec);
    if (!w) return WindowDefProc(nullptr, wnd, msg, wp, lp);
    // The MDI child procedure must also see these (its maximised state, its
    // activation in the MDI client); it runs before the window's own step.
    if (w->mdiFrame && (msg == WM_SIZE || msg == WM_MOVE || msg == WM_GETMINMAXINFO || msg == WM_SETFOCUS))
        DefMDIChildProcA(wnd, msg, wp, lp);
    switch (msg) {
    case WM_NCLBUTTONDOWN: {
        // The system's move or size loop runs inside this message (through
        // WM_SYSCOMMAND); panels erase less while it runs.
        bool outer = !gUserMovingFrame;
        gUserMovingFrame = true;
        LRESULT r = WindowDefProc(rec, wnd, msg, wp, lp);
        if (outer) gUserMovingFrame = false;
        return r;
    }
    case WM_SIZE: {
        if (wp == SIZE_MINIMIZED) break;
        if (w->mdiClient) MoveWindow(w->mdiClient, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        WindowResizeChildren(rec, -1, -1);
        WindowLayout(rec);
        if (gGuiHooks.webHostResize && w->w.webHost) gGuiHooks.webHostResize(rec);
        if (EventIsRegistered(rec, kEvResize) && !w->framing)
            PostObjectEvent(rec, kEvResize, kEventKindDefault, wp == SIZE_MAXIMIZED ? 1 : 0,
                            ConvertUnits(rec, w->w.clientWidth, kToUnits) * 10000 + ConvertUnits(rec, w->w.clientHeight, kToUnits));
        if (w->winStyle & kWsAutoScroll) {
            WindowScrollPageSet(rec, 1);
            WindowScrollPageSet(rec, 0);
        }
        return 0;
    }
    case WM_MOVE:
        if (gGuiHooks.webHostMoved && w->w.webHost) gGuiHooks.webHostMoved(rec);
        if (EventIsRegistered(rec, kEvMove) && !w->framing) {
            int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
            PostObjectEvent(rec, kEvMove, kEventKindDefault, 0, ConvertUnits(rec, x, kToUnits) * 10000 + ConvertUnits(rec, y, kToUnits));
        }
        return 0;
    case WM_GETMINMAXINFO: {
        auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
        if (w->minWidth > 0) mmi->ptMinTrackSize.x = ConvertUnits(rec, w->minWidth, kToPixels);
        if (w->minHeight > 0) mmi->ptMinTrackSize.y = ConvertUnits(rec, w->minHeight, kToPixels);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(wnd, focus)) w->lastFocusWnd = focus;
            if (EventIsRegistered(rec, kEvDeactivate)) PostObjectEvent(rec, kEvDeactivate, kEventKindDefault, 0, 2);
        } else {
            if (EventIsRegistered(rec, kEvActivate)) PostObjectEvent(rec, kEvActivate, kEventKindDefault, 0, 1);
        }
        // Its movies take their palettes back, its pictures paint again with
        // theirs in front, its in-place active control learns of the frame's
        // activation.
        WindowEventRaise(kWindowActivated, rec, LOWORD(wp) != WA_INACTIVE);
        break;
    case WM_SETFOCUS:
        if (w->lastFocusWnd && IsWindow(w->lastFocusWnd) && IsChild(wnd, w->lastFocusWnd)) SetFocus(w->lastFocusWnd);
        else if (w->focusWnd) SetFocus(w->focusWnd);
        return 0;
    case WM_CLOSE:
        if (EventIsRegistered(rec, kEvClose)) PostObjectEvent(rec, kEvClose, kEventKindDefault, 0, 0);
        return 0;  // the server decides whether the window goes
    case WM_PAINT:
        WindowPaint(rec);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT fills the background around the windowless children
    case WM_SYSCOLORCHANGE:
        HandleSysColorChange();
        break;
    case WM_SETCURSOR:
        if (HandleSetCursor(wnd, wp, lp)) return TRUE;
        break;
    case WM_NOTIFY:
        return DispatchNotify(wnd, lp);
    case WM_COMMAND:
        if (!lp || ObjectFromHwnd(reinterpret_cast<HWND>(lp))) {
            ControlCommandMsg(rec, wp, lp);
            return 0;
        }
        break;
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
        if (HBRUSH b = HandleCtlColor(wnd, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)))
            return reinterpret_cast<LRESULT>(b);
        break;
    case WM_MOUSEMOVE:
        if (w->winStyle & kWsBackGrndMouseMove) MouseMoveEvent(rec, wp, lp);
        break;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: case WM_LBUTTONUP: case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
        WindowMouseButtonMsg(rec, msg, wp, lp);
        return 0;
    case WM_MBUTTONDOWN:
        // The middle button also goes on to the default procedure.
        WindowMouseButtonMsg(rec, msg, wp, lp);
        break;
    case kMmMciNotify:
        // A movie that played to its end (MCI_NOTIFY_SUCCESSFUL) rewinds itself.
        if (wp == kMciNotifySuccessful && gGuiHooks.movieOnNotify) {
            gGuiHooks.movieOnNotify(wnd, static_cast<uint32_t>(lp));
            return 0;
        }
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (!lp) {
            WindowScrollMsg(rec, 0, LOWORD(wp), msg == WM_VSCROLL);
            return 0;
        }
        if (ControlScrollMsg(msg, wp, lp)) return 0;
        break;
    case WM_KEYDOWN:
        if (QueueFunctionKey(wnd, wp, 1, 0, 0)) return 0;
        // Enter on a focused Container runs its verb as a double click does.
        if (wp == VK_RETURN && gGuiHooks.oleEnter && w->w.focusObj && gGuiHooks.oleEnter(w->w.focusObj)) return 0;
        break;
    case WM_SYSKEYDOWN:
        if (HandleSysKeyF10(wnd, wp, 0, 0, 0)) return 0;
        break;
    case WM_MENUCHAR:
        if (LRESULT r = HotKeyToObject(rec, LOWORD(wp))) return r;
        break;
    default:
        break;
    }
    return WindowDefProc(rec, wnd, msg, wp, lp);
}

bool WindowMdiAccelerator(MSG* m) {
    if (!m->hwnd || (m->message != WM_KEYDOWN && m->message != WM_SYSKEYDOWN)) return false;
    for (NativeWindowRecord* w = gWindowList; w; w = w->nextWindow)
        if (w->mdiClient && IsChild(w->mdiClient, m->hwnd)) return TranslateMDISysAccel(w->mdiClient, m) != FALSE;
    return false;
}

static int32_t WindowDestroySlot(ObjectRecord* rec) { return WindowDestroy(rec); }

const ObjectOps kWindowOps = {
    .show = WindowShow,
    .hide = WindowHide,
    .destroy = WindowDestroySlot,
    .enable = WindowEnable,
    .getText = WindowGetText,
    .setText = WindowSetText,
    .getProp = WindowGetProp,
    .setProp = WindowSetProp,
    .method = WindowMethod,
};
