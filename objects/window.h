// window.h - native Window objects (kind 25): creation from the creation
// record, destruction, properties and methods, layout of docked and anchored
// children, units and scrolling.
#pragma once

#include <windows.h>

#include <cstdint>

#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/units.h"

// Style word bits (NativeWindowRecord::winStyle).
enum WinStyleBit : uint32_t {
    kWsCaption = 0x20, kWsSysMenu = 0x40, kWsMinBox = 0x80, kWsMaxBox = 0x100,
    kWsClipCtrl = 0x800, kWsMenuBar = 0x1000, kWsVScroll = 0x8000, kWsHScroll = 0x10000,
    kWsGridAlign = 0x20000, kWsNegBorders = 0x80000, kWsNegMenus = 0x100000,
    kWsNoMenuResize = 0x400000, kWsInTaskbar = 0x800000, kWsTopmost = 0x1000000,
    kWsAutoScroll = 0x2000000, kWsMdiNoRect = 0x8000000, kWsButtonEnterKey = 0x10000000,
    kWsBackGrndMouseMove = 0x20000000, kWsModalShownPlain = 0x40000000,
};
// Second style word bits.
enum WinStyle2Bit : uint32_t {
    kWs2Topmost2 = 0x1, kWs2KeepScaleOrigin = 0x2, kWs2MouseWheel = 0x8, kWs2IoCancel = 0x80,
};

constexpr int32_t kWinCreateNoMemory = -6;
constexpr int32_t kWinCreateFailed = -3;
constexpr int32_t kWinCreateBadRect = kOpBadRect;
constexpr int32_t kWinParentWinRefused = -52;

struct NativeWindowRecord {
    WindowRecord w;
    uint32_t winStyle;          // WinStyleBit
    uint32_t winStyle2;         // WinStyle2Bit
    char* title;
    char* prefix;
    uint8_t winPos;             // 1-6
    uint8_t winBorder;          // 1-8
    uint8_t units;              // scale mode (kUnits…)
    uint8_t mdiBorder, mdiScroll;
    uint8_t ribMode, showWebMenu;
    uint16_t gridSizeH, gridSizeV;
    int32_t mdiRect[4];         // left, top, right, bottom
    int32_t minWidth, minHeight;
    char* ribDll;
    char* ribName;
    char* useCss;
    char* divisionId;
    uint32_t webMode;
    uint32_t iconValue;
    HWND mdiClient;             // the MDI client window of a frame
    NativeWindowRecord* mdiFrame;  // an MDI child's frame (it lives in the frame's MDI client); else null
    HWND focusWnd;              // the "Qovfocus" holder
    HWND lastFocusWnd;          // the control that had the focus when the window was deactivated
    NativeWindowRecord* nextWindow;  // the list of top windows
    ObjectRecord* cancelButton;
    ObjectRecord* scrollBars;   // objects standing for the built-in bars, linked through next
    uint8_t inLayout;           // WindowLayout running (no recursion from WM_SIZE)
    uint8_t framing;            // the frame changes around an unchanged client area: no $MOVE, $RESIZE
    uint8_t sizedOnce;
    uint8_t redrawHeld;
};

extern NativeWindowRecord* gWindowList;
// The client's three-dimensional option: windows without an Appearance take
// the 3-D look, and bordered animations their sunken edge.
extern uint8_t gGuiOption3D;

NativeWindowRecord* NativeWindowOf(ObjectRecord* rec);
ObjectRecord* ObjectFromHwnd(HWND wnd);

// (0, creation record, 0) -> the window record, or a value from -100 to 0.
ObjectRecord* WindowObjectCreate(ObjectRecord* unused, ObjectCreateRecord* cr, int32_t* result);
// The creator of type 30 as the object model calls it.
ObjectRecord* WindowCreatorEntry(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
int32_t WindowDestroy(ObjectRecord* rec);
// WEBMODE from which a window renders as a page in a web view.
constexpr uint32_t kWebModePage = 2;
int32_t WindowShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
int32_t WindowHide(ObjectRecord* rec);
int32_t WindowEnable(ObjectRecord* rec, int32_t item, int32_t on);
int32_t WindowGetText(ObjectRecord* rec, int32_t item);
int32_t WindowSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t len);
uint32_t WindowGetProp(ObjectRecord* rec, uint32_t id);
int32_t WindowSetProp(ObjectRecord* rec, PropChange* req);
int32_t WindowMethod(ObjectRecord* rec, MethodCallRec* call);
// Around a change of the window's menu bar (a bar given, a menu put on it or
// taken off): the frame then grows or shrinks around the client area, which
// keeps its place and size, so its Top and Height read back as they were
// given; the steps between raise no $MOVE or $RESIZE. Begin answers the
// client area on the screen, which End is given back.
RECT WindowBarChangeBegin(ObjectRecord* rec);
void WindowBarChangeEnd(ObjectRecord* rec, const RECT& client);
// Registers the Window's method numbers with the session's call check.
void WindowRegisterMethods();
extern const ObjectOps kWindowOps;
// The messages of every window object (HandleWindowMsg passes them on).
LRESULT WindowProcMsg(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
// The MDI keys (Ctrl+F4 closes, Ctrl+F6 goes to the next child) of a message
// for a window inside an MDI frame's client: true when the frame took it.
bool WindowMdiAccelerator(MSG* m);

// ---- Layout ----------------------------------------------------------------------
void WindowLayout(ObjectRecord* container);
// A docked object made or shown, hidden, docked otherwise or destroyed: its
// container (a Window or Panel) lays its docked objects out again once for
// the batch (winlayout.cpp says when).
void WindowLayoutAfterDockChange(ObjectRecord* container);
// Lays out now every container whose layout waits for its batch.
void WindowLayoutsFlush();
// Lays out now the containers above this one whose layout waits, the
// outermost first: before a child is placed in it at its final size.
void WindowLayoutsAbove(ObjectRecord* container);
void WindowLayoutRect(ObjectRecord* container, RECT* out);
void WindowResizeChildren(ObjectRecord* container, int32_t oldWidth, int32_t oldHeight);
// A value of a window's units to pixels and back, by its scale mode (the
// window of a control: its top window's). The factor is the same along both
// axes, so no axis is asked for.
enum UnitsWay : int { kToUnits = 0, kToPixels = 1 };
int32_t ConvertUnits(ObjectRecord* window, int32_t value, UnitsWay way);
void ConvertRectUnits(ObjectRecord* window, RECT* rect, UnitsWay way);
void PositionObjectWindow(ObjectRecord* rec, const RECT* rect);
void UpdateObjectRect(ObjectRecord* rec);
void ObjectSetBounds(ObjectRecord* rec, const RECT* rect);
void ObjectResizeBy(ObjectRecord* rec, int32_t dHeight, int32_t dWidth);
// Kinds that rescale themselves from a base of their own when their window is
// rescaled (vertical and horizontal percent); ObjectRescale calls the kind's step.
typedef void (*KindRescaleFn)(ObjectRecord* rec, int32_t verticalPercent, int32_t horizontalPercent);
void RegisterKindRescale(uint32_t kind, KindRescaleFn fn);
// A kind's say in the rectangle its anchor gives a child after its container
// was resized (an Icon keeps its size, centred in a stretched rectangle).
typedef void (*KindAnchorFn)(ObjectRecord* rec, RECT* rect);
void RegisterKindAnchor(uint32_t kind, KindAnchorFn fn);
// False when the kind has no rescale step of its own.
bool ObjectRescale(ObjectRecord* rec, int32_t verticalPercent, int32_t horizontalPercent);
// The container's own client fields: windows and panels keep them in different records.
struct ContainerInfo {
    int32_t* clientWidth;
    int32_t* clientHeight;
    int32_t* dockPad;          // 4 values
    int32_t* virtualWidth;
    int32_t* virtualHeight;
    int32_t* scrollX;
    int32_t* scrollY;
};
bool ContainerInfoOf(ObjectRecord* container, ContainerInfo* out);

// ---- Messages from control windows ---------------------------------------------------
// Window and Panel procedures route the scroll and command messages of the
// control windows on them the same way. A kind that takes scroll actions
// registers its handler (thumb position and scroll code); verticalOnly kinds
// see only WM_VSCROLL.
typedef int32_t (*KindScrollFn)(ObjectRecord* rec, HWND wnd, int32_t thumb, int32_t code);
void RegisterKindScroll(uint32_t kind, KindScrollFn fn, bool verticalOnly);
// WM_HSCROLL / WM_VSCROLL whose lParam names a control window: true when the
// control's kind took it (a container's own bars have lParam 0).
bool ControlScrollMsg(UINT msg, WPARAM wp, LPARAM lp);
// WM_COMMAND: from a menu or accelerator (lParam 0) a menu event of the
// container's top window; from a control, its kind's notification slot while
// it is shown.
void ControlCommandMsg(ObjectRecord* container, WPARAM wp, LPARAM lp);

// ---- Scrolling --------------------------------------------------------------------
int32_t WindowScrollMsg(ObjectRecord* container, int32_t unused, int32_t code, int vertical);
void WindowScrollPageSet(ObjectRecord* container, int vertical);
void WindowScrollRangeSet(ObjectRecord* container, int h, int v);
void WindowScrollTo(ObjectRecord* container, int32_t pos, int vertical);
