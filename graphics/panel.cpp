// panel.cpp - the Panel (kind 43): a child window that holds objects as a
// Window does, scrolls them, may show a print preview or an HTML view, and
// can move to another container; and the routines every container shares:
// scrolling by a program's code, filling under transparent children, moving
// an object to another container.
#include <windows.h>
#include <windowsx.h>

#include <cstdint>

#include "graphics/gfxcommon.h"
#include "objects/color.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/font.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/strutil.h"

namespace {

constexpr char kClassPanel[] = "Qovpanel";
constexpr UINT kPanelClassStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
constexpr UINT kMmMciNotify = 953;
constexpr WPARAM kMciNotifySuccessful = 1;
constexpr UINT kWmMouseHWheel = 0x020E;

// Style word bits.
enum PanelStyle : uint32_t {
    kPsPainting = 0x1,          // a WM_PAINT is in progress: the paint DC is valid
    kPsClipCtrl = 0x800,
    kPsVScroll = 0x8000,
    kPsHScroll = 0x10000,
    kPsAutoScroll = 0x2000000,
};
constexpr uint32_t kPs2WinFlag1 = 0x40;
// WinOffsetV and WinOffsetH of this and more change nothing.
constexpr int32_t kOffsetIgnored = 32767;
enum PanelBorder : uint8_t { kPbNone = 1, kPbSingle = 2, kPbSunken = 3 };
// ScrollBar values: both bars, horizontal only, none, vertical only.
enum PanelBars : int32_t { kBarsBoth = 1, kBarsHorizontal = 2, kBarsNone = 3, kBarsVertical = 4 };
// How far a border moves a panel's client area right and down.
constexpr int32_t kBorderOffsetSingle = 1, kBorderOffsetSunken = 3;

// InnerHtml's Flags bit 1: the HTML view is kept; handed on as the view's
// load flags, the same bit loads the text as a URL.
constexpr uint32_t kInnerHtmlKeepView = 0x2;
// InnerHtml's answer when no page is shown: no view could be made, or the URL
// names no page.
constexpr int32_t kInnerHtmlNotShown = 1;
// Bit of the top window's style word that turns the panels' wheel off.
constexpr uint32_t kWinStyleNoPanelWheel = 0x4;

struct PanelRecord {
    ObjectRecord hdr;           // hdr.children: the child list
    uint32_t style;             // PanelStyle
    uint32_t style2;            // bit 6: SetWinFlag1
    // Scroll offsets are 32-bit like every container's: 16-bit ones wrapped
    // past 65,535 pixels while the virtual sizes below are 32-bit.
    int32_t scrollX, scrollY;
    int32_t virtualWidth, virtualHeight;
    int32_t clientHeight, clientWidth;
    int32_t dockPad[4];         // left, top, right, bottom
    HWND second;                // an extra window owned by the panel
    HDC paintDC;                // valid while kPsPainting is set
    uint8_t bdrStyle;
    void* preview;              // the print preview shown in the panel (null: none)
    void* htmlView;
    int32_t erasedWidth, erasedHeight;   // the client size at the last erase
};

bool gPanelClassRegistered;

PanelRecord* AsPanel(ObjectRecord* rec) { return reinterpret_cast<PanelRecord*>(rec); }
bool IsPanel(const ObjectRecord* rec) { return rec && rec->kind == kKindPanel && !ObjectIsWebView(rec); }

void Reframe(HWND wnd) {
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void SetWindowBits(HWND wnd, int index, DWORD clear, DWORD set) {
    DWORD v = static_cast<DWORD>(GetWindowLongA(wnd, index));
    SetWindowLongA(wnd, index, static_cast<LONG>((v & ~clear) | set));
}

bool IsTransparent(HWND wnd) { return (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0; }

// The range of each present bar covers the virtual size; its page the client size.
void ScrollRangesSet(PanelRecord* p, bool h, bool v) {
    ObjectRecord* rec = &p->hdr;
    if (!rec->hwnd) return;
    WindowScrollRangeSet(rec, h && (p->style & kPsHScroll), v && (p->style & kPsVScroll));
}

void ApplyBorder(PanelRecord* p, int32_t value) {
    p->bdrStyle = static_cast<uint8_t>(value);
    HWND wnd = p->hdr.hwnd;
    SetWindowBits(wnd, GWL_STYLE, WS_BORDER, value == kPbSingle || value == kPbSunken ? WS_BORDER : 0);
    SetWindowBits(wnd, GWL_EXSTYLE, WS_EX_CLIENTEDGE, value == kPbSunken ? WS_EX_CLIENTEDGE : 0);
    Reframe(wnd);
}

void ApplyScrollBars(PanelRecord* p, int32_t value) {
    p->style &= ~(kPsHScroll | kPsVScroll);
    if (value == kBarsBoth) p->style |= kPsHScroll | kPsVScroll;
    else if (value == kBarsHorizontal) p->style |= kPsHScroll;
    else if (value == kBarsVertical) p->style |= kPsVScroll;
    HWND wnd = p->hdr.hwnd;
    DWORD bars = ((p->style & kPsHScroll) ? WS_HSCROLL : 0) | ((p->style & kPsVScroll) ? WS_VSCROLL : 0);
    SetWindowBits(wnd, GWL_STYLE, WS_HSCROLL | WS_VSCROLL, bars);
    Reframe(wnd);
    ScrollRangesSet(p, true, true);
    // An empty range hides a bar; the bars asked for stay in the frame.
    ShowScrollBar(wnd, SB_HORZ, (p->style & kPsHScroll) ? TRUE : FALSE);
    ShowScrollBar(wnd, SB_VERT, (p->style & kPsVScroll) ? TRUE : FALSE);
}

int32_t ScrollBarQuery(const PanelRecord* p) {
    uint32_t bars = p->style & (kPsHScroll | kPsVScroll);
    return bars == (kPsHScroll | kPsVScroll) ? kBarsBoth
           : bars == kPsHScroll              ? kBarsHorizontal
           : bars == kPsVScroll              ? kBarsVertical
                                             : kBarsNone;
}

// ---- Window procedure -------------------------------------------------------------------

void PanelOnSize(PanelRecord* p, WPARAM kind) {
    if (kind == SIZE_MINIMIZED || kind == SIZE_MAXSHOW || kind == SIZE_MAXHIDE) return;
    ObjectRecord* rec = &p->hdr;
    if (p->htmlView && gComObjectHooks.htmlPanelResize) gComObjectHooks.htmlPanelResize(p->htmlView, rec->hwnd);
    WindowResizeChildren(rec, -1, -1);
    if (EventIsRegistered(rec, kEvResize))
        PostObjectEvent(rec, kEvResize, kEventKindDefault, kind == SIZE_MAXIMIZED ? 1 : 0,
                        PackTenThousand(p->clientWidth, p->clientHeight));
    WindowLayout(rec);
    if (p->preview) {
        if (gPrintObjectHooks.prevPanelMarkResized) gPrintObjectHooks.prevPanelMarkResized(&p->preview);
        return;
    }
    if (p->style & kPsAutoScroll) {
        if (p->style & kPsVScroll) WindowScrollPageSet(rec, 1);
        if (p->style & kPsHScroll) WindowScrollPageSet(rec, 0);
    }
}

// Paints the windowless children over the update area and the background
// around them. The DC's origin is moved by the scroll offsets, so children
// paint at their own (container) coordinates.
bool PanelPaint(PanelRecord* p) {
    ObjectRecord* rec = &p->hdr;
    HWND wnd = rec->hwnd;
    RECT update = {};
    GetUpdateRect(wnd, &update, FALSE);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    bool transparent = IsTransparent(wnd);
    if (transparent && (gGuiModeFlags & kGuiModeKeepFlagged)) {
        EndPaint(wnd, &ps);
        return true;
    }
    if (transparent) SetBkMode(dc, TRANSPARENT);
    bool setHere = !(p->style & kPsPainting);
    if (setHere) {
        p->style |= kPsPainting;
        p->paintDC = dc;
    }
    ObjectRecord* prevContainer = gPaintingContainer;
    HDC prevDC = gPaintingDC;
    gPaintingContainer = rec;
    gPaintingDC = dc;
    if (gPaintEnabled) {
        POINT oldOrg;
        SetWindowOrgEx(dc, p->scrollX, p->scrollY, &oldOrg);
        RECT area = ps.rcPaint;
        OffsetRect(&area, p->scrollX, p->scrollY);
        HBRUSH brush = transparent ? nullptr : BrushCacheGet(rec->bgColor, kBrushSolid, true);
        // What cannot be held stops the drawing, never the paint's own end.
        CatchNoMemory("a panel's paint", [&] { PaintContainer(rec, dc, &area, brush); });
        if (brush) BrushCacheRelease(brush);
        SetWindowOrgEx(dc, oldOrg.x, oldOrg.y, nullptr);
        if (p->preview && gPrintObjectHooks.prevPanelPaint)
            CatchNoMemory("a panel's preview", [&] { gPrintObjectHooks.prevPanelPaint(&p->preview, dc); });
        if (EventIsRegistered(rec, kEvPaint)) PostObjectEvent(rec, kEvPaint, kEventKindDefault, 0, 0);
    } else {
        gPaintEnabled = true;
    }
    gPaintingContainer = prevContainer;
    gPaintingDC = prevDC;
    if (setHere) {
        p->style &= ~kPsPainting;
        p->paintDC = nullptr;
    }
    EndPaint(wnd, &ps);
    return !transparent;
}

LRESULT PanelEraseBkgnd(PanelRecord* p, HDC dc) {
    ObjectRecord* rec = &p->hdr;
    bool transparent = IsTransparent(rec->hwnd);
    LRESULT erased = transparent ? 0 : 1;
    if (!gPanelEraseOn) return erased;
    RECT r;
    GetClientRect(rec->hwnd, &r);
    // While the user drags the frame, only what lies under transparent
    // children is filled, and only when the panel has grown: the rest is
    // painted over at once, and erasing it at every step makes it flicker.
    if (gUserMovingFrame) {
        bool grown = r.right > p->erasedWidth || r.bottom > p->erasedHeight;
        p->erasedWidth = r.right, p->erasedHeight = r.bottom;
        if (grown) {
            POINT oldOrg;
            SetWindowOrgEx(dc, p->scrollX, p->scrollY, &oldOrg);
            PanelEraseTransparent(dc, rec);
            SetWindowOrgEx(dc, oldOrg.x, oldOrg.y, nullptr);
        }
        return erased;
    }
    p->erasedWidth = r.right, p->erasedHeight = r.bottom;
    r.right += 2;
    r.bottom += 2;
    HRGN saved = ClipRegionSaveExcludeShapes(dc, rec);
    HBRUSH brush = transparent ? BrushCacheGet(0, kBrushNull, true) : BrushCacheGet(rec->bgColor, kBrushSolid, true);
    if (brush) {
        FillRect(dc, &r, brush);
        BrushCacheRelease(brush);
    }
    ClipRegionRestore(dc, saved);
    return erased;
}

void PanelOnScroll(PanelRecord* p, UINT msg, WPARAM wp, LPARAM lp) {
    if (lp) {
        ControlScrollMsg(msg, wp, lp);
        return;
    }
    bool vertical = msg == WM_VSCROLL;
    if (p->preview && gPrintObjectHooks.prevPanelScroll) {
        gPrintObjectHooks.prevPanelScroll(&p->preview, static_cast<int16_t>(HIWORD(wp)), LOWORD(wp), vertical);
        return;
    }
    WindowScrollMsg(&p->hdr, 0, LOWORD(wp), vertical ? 1 : 0);
}

void PanelOnMouseWheel(PanelRecord* p, bool vertical, WPARAM wp) {
    NativeWindowRecord* top = NativeWindowOf(ObjectTopWindow(&p->hdr));
    if (top && (top->winStyle & kWinStyleNoPanelWheel)) return;
    // Shift or Ctrl with the vertical wheel belong to other uses; the
    // horizontal wheel scrolls whatever is held.
    if (vertical && (GET_KEYSTATE_WPARAM(wp) & (MK_SHIFT | MK_CONTROL))) return;
    int32_t code = GET_WHEEL_DELTA_WPARAM(wp) < 0 ? SB_LINEDOWN : SB_LINEUP;
    if (p->preview && gPrintObjectHooks.prevPanelScroll) {
        gPrintObjectHooks.prevPanelScroll(&p->preview, 0, code, vertical);
        return;
    }
    if (p->style & kPsAutoScroll) WindowScrollMsg(&p->hdr, 0, code, vertical ? 1 : 0);
}

static LRESULT PanelWndProcWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    ObjectRecord* rec = ObjectFromHwnd(wnd);
    if (!IsPanel(rec)) return DefWindowProcA(wnd, msg, wp, lp);
    PanelRecord* p = AsPanel(rec);
    switch (msg) {
    case WM_SIZE: PanelOnSize(p, wp); return 1;
    case WM_PAINT:
        if (PanelPaint(p)) return 0;
        break;
    case WM_ERASEBKGND: return PanelEraseBkgnd(p, reinterpret_cast<HDC>(wp));
    case WM_SYSCOLORCHANGE: HandleSysColorChange(); return 1;
    case WM_SETCURSOR:
        if (HandleSetCursor(wnd, wp, lp)) return TRUE;
        break;
    case WM_NOTIFY: return DispatchNotify(wnd, lp);
    case WM_COMMAND: ControlCommandMsg(rec, wp, lp); return 1;
    case kMmMciNotify:
        if (wp == kMciNotifySuccessful && gGuiHooks.movieOnNotify) {
            gGuiHooks.movieOnNotify(wnd, static_cast<uint32_t>(lp));
            return 1;
        }
        break;
    case WM_HSCROLL: case WM_VSCROLL: PanelOnScroll(p, msg, wp, lp); return 1;
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
        if (HBRUSH b = HandleCtlColor(wnd, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)))
            return reinterpret_cast<LRESULT>(b);
        break;
    case WM_MOUSEMOVE: MouseMoveEvent(rec, wp, lp); break;
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN: case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
        WindowMouseButtonMsg(rec, msg, wp, lp);
        return 1;
    case WM_MBUTTONDOWN: WindowMButtonDown(rec, wp, lp); break;
    case WM_MOUSEWHEEL: PanelOnMouseWheel(p, true, wp); return 1;
    case kWmMouseHWheel: PanelOnMouseWheel(p, false, wp); return 1;
    default: break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

// ---- Hooks of the window layer ----------------------------------------------------------

bool PanelInfo(ObjectRecord* panel, ContainerInfo* out) {
    if (!IsPanel(panel)) return false;
    PanelRecord* p = AsPanel(panel);
    *out = ContainerInfo{&p->clientWidth, &p->clientHeight, p->dockPad, &p->virtualWidth, &p->virtualHeight,
                         &p->scrollX, &p->scrollY};
    return true;
}

HWND PanelPaintDC(ObjectRecord* panel, HDC* dc) {
    if (!IsPanel(panel) || !(AsPanel(panel)->style & kPsPainting)) return nullptr;
    *dc = AsPanel(panel)->paintDC;
    return panel->hwnd;
}

int32_t PictScrollRoute(ObjectRecord* pict, HWND wnd, int32_t thumb, int32_t code) {
    return gGraphicsHooks.pictOnScroll ? gGraphicsHooks.pictOnScroll(pict, wnd, thumb, code) : 0;
}

// ---- Slots ------------------------------------------------------------------------------------

int32_t PanelDestroy(ObjectRecord* rec) {
    PanelRecord* p = AsPanel(rec);
    if (p->htmlView && gComObjectHooks.htmlPanelRelease) gComObjectHooks.htmlPanelRelease(p->htmlView);
    p->htmlView = nullptr;
    if (p->preview && gPrintObjectHooks.prevPanelFree) gPrintObjectHooks.prevPanelFree(&p->preview);
    p->preview = nullptr;
    WindowMenusRehome(rec);
    ObjectDestroyChildren(rec);
    if (p->second) DestroyWindow(p->second);
    p->second = nullptr;
    if (rec->hwnd) {
        SetWindowLongPtrA(rec->hwnd, GWLP_USERDATA, 0);
        DestroyWindow(rec->hwnd);
    }
    rec->hwnd = nullptr;
    GfxFreeRecord(rec);
    return 0;
}

int32_t UnitsOf(ObjectRecord* rec, int32_t pixels) { return ConvertUnits(rec, pixels, kToUnits); }
int32_t PixelsOf(ObjectRecord* rec, int32_t units) { return ConvertUnits(rec, units, kToPixels); }

uint32_t PanelGetProp(ObjectRecord* rec, uint32_t id) {
    PanelRecord* p = AsPanel(rec);
    switch (id) {
    case kPidClipCtrl: return (p->style & kPsClipCtrl) ? 1 : 0;
    case kPidScrollBar: return static_cast<uint32_t>(ScrollBarQuery(p));
    case kPidWinOffsetV: return static_cast<uint32_t>(UnitsOf(rec, p->scrollY));
    case kPidWinOffsetH: return static_cast<uint32_t>(UnitsOf(rec, p->scrollX));
    case kPidAutoScroll: return (p->style & kPsAutoScroll) ? 1 : 0;
    case kPidMinScrollH: return static_cast<uint32_t>(UnitsOf(rec, p->virtualWidth));
    case kPidMinScrollV: return static_cast<uint32_t>(UnitsOf(rec, p->virtualHeight));
    case kPidBdrStyle: return p->bdrStyle;
    case kPidDockPadL: case kPidDockPadT: case kPidDockPadR: case kPidDockPadB: {
        uint32_t i = id - kPidDockPadL;
        return static_cast<uint32_t>(UnitsOf(rec, p->dockPad[i]));
    }
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t PanelSetProp(ObjectRecord* rec, PropChange* req) {
    PanelRecord* p = AsPanel(rec);
    int32_t v = req->value;
    HWND wnd = rec->hwnd;
    switch (req->id) {
    case kPidClipCtrl:
        if (v) p->style |= kPsClipCtrl;
        else p->style &= ~kPsClipCtrl;
        SetWindowBits(wnd, GWL_STYLE, WS_CLIPCHILDREN, v ? WS_CLIPCHILDREN : 0);
        return 0;
    case kPidScrollBar: ApplyScrollBars(p, v); return 0;
    case kPidWinOffsetV: case kPidWinOffsetH: {
        if (v >= kOffsetIgnored) return 0;
        int vertical = req->id == kPidWinOffsetV ? 1 : 0;
        WindowScrollTo(rec, PixelsOf(rec, v), vertical);
        return 0;
    }
    case kPidAutoScroll:
        if (!v) {
            p->style &= ~kPsAutoScroll;
            return 0;
        }
        p->style |= kPsAutoScroll;
        ScrollRangesSet(p, true, true);
        return 0;
    case kPidMinScrollH: case kPidMinScrollV: {
        bool vertical = req->id == kPidMinScrollV;
        int32_t px = PixelsOf(rec, v);
        int32_t* field = vertical ? &p->virtualHeight : &p->virtualWidth;
        if (px == *field) return 0;
        *field = px;
        Reframe(wnd);
        ScrollRangesSet(p, !vertical, vertical);
        return 0;
    }
    case kPidBdrStyle: ApplyBorder(p, v); return 0;
    case kPidDockPadL: case kPidDockPadT: case kPidDockPadR: case kPidDockPadB: {
        uint32_t i = req->id - kPidDockPadL;
        p->dockPad[i] = PixelsOf(rec, v);
        WindowLayout(rec);
        return 0;
    }
    default: {
        int32_t r = CtlSetCommonProp(rec, req);
        switch (req->id) {
        case kPidBgColor: case kPidFgColor: case kPidBdrColor: case kPidStyle: case kPidAppearance:
            GfxRedrawIfShown(rec, true);
            break;
        default:
            break;
        }
        return r;
    }
    }
}

// ---- Methods ------------------------------------------------------------------------------

const MethodDesc* PanelMethodLookup(uint32_t method, uint32_t) {
    static const uint8_t kKnown = 1;
    bool known = (method >= kPanelGetObject && method <= kPanelPreviewClose) || (method >= kPanelSetWinFlag1 && method <= kPanelMovePanel);
    return known ? reinterpret_cast<const MethodDesc*>(&kKnown) : nullptr;
}

// The child a key names: a number is a zero-based index, a text an exact name.
ObjectRecord* ChildByKey(ObjectRecord* rec, const MethodCallRec* call) {
    if (!CtlArgGiven(call, 0)) return nullptr;
    const EventItem& a = call->args[0];
    if (ItemIsText(a.kind)) {
        uint32_t len = 0;
        const char* text = CtlArgText(call, 0, &len);
        char* name = CtlCopyText(text, len);
        if (!name) return nullptr;
        ObjectRecord* child = ObjectFindChildByKey(rec, 0, name);
        LocalFreeMem(name);
        return child;
    }
    int32_t index = CtlArgInt(call, 0, -1);
    return index >= 0 ? ObjectFindChildByKey(rec, static_cast<uint32_t>(index), nullptr) : nullptr;
}

// PrtPreviewOpen(SpoolFile, PrinterName, StartPage, GotoPage, EndPage, Zoom):
// the arguments not given stay 0 and the preview takes its defaults; the
// preview keeps its state in the panel's slot and draws in the panel's window.
int32_t PreviewOpen(PanelRecord* p, const MethodCallRec* call) {
    enum : uint32_t { kArgSpool, kArgPrinter, kArgStart, kArgGoto, kArgEnd, kArgZoom };
    PrevPanelLoadArgs a = {};
    a.spool = CtlArgText(call, kArgSpool, &a.spoolLen);
    a.printer = CtlArgText(call, kArgPrinter, &a.printerLen);
    a.firstPage = static_cast<uint32_t>(CtlArgInt(call, kArgStart, 0));
    a.startPage = static_cast<uint32_t>(CtlArgInt(call, kArgGoto, 0));
    a.lastPage = static_cast<uint32_t>(CtlArgInt(call, kArgEnd, 0));
    a.zoomPct = static_cast<uint32_t>(CtlArgInt(call, kArgZoom, 0));
    uint32_t bars = 0;
    if (p->style & kPsHScroll) bars |= kPrevPanelHScroll;
    if (p->style & kPsVScroll) bars |= kPrevPanelVScroll;
    return gPrintObjectHooks.prevPanelLoad(&p->preview, p->hdr.hwnd, bars, &a);
}

int32_t InnerHtml(PanelRecord* p, const MethodCallRec* call) {
    ObjectRecord* rec = &p->hdr;
    if (rec->children) return 0;   // only an empty panel shows a page
    int32_t flags = CtlArgInt(call, 1, 0);
    uint32_t len = 0;
    const char* html = CtlArgText(call, 0, &len);
    // A URL holding a NUL, cut there, would show another page or file: it is
    // refused before the view changes.
    if ((flags & kInnerHtmlKeepView) && !NameIsWhole(html, html ? len : 0, SIZE_MAX)) {
        DebugLogWrite("PanelInnerHtml", "the URL holds a NUL: refused, the view stays as it was");
        return kInnerHtmlNotShown;
    }
    if (!(flags & kInnerHtmlKeepView) && p->htmlView && gComObjectHooks.htmlPanelRelease) {
        gComObjectHooks.htmlPanelRelease(p->htmlView);
        p->htmlView = nullptr;
    }
    if (!p->htmlView && gComObjectHooks.htmlPanelCreate) p->htmlView = gComObjectHooks.htmlPanelCreate(rec->hwnd);
    if (!p->htmlView) return kInnerHtmlNotShown;
    if (gComObjectHooks.htmlPanelLoad) gComObjectHooks.htmlPanelLoad(p->htmlView, html ? html : "", len, flags, rec->hwnd);
    // Loading pumps; the panel may be gone afterwards.
    ObjectRef ref = ObjectRefOf(rec);
    PumpOnce(false);
    if (!ObjectRefAlive(ref)) return 0;
    if (gComObjectHooks.htmlPanelResize) gComObjectHooks.htmlPanelResize(p->htmlView, rec->hwnd);
    return 0;
}

int32_t MovePanel(PanelRecord* p, const MethodCallRec* call) {
    HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(CtlArgInt(call, 0, 0))));
    // ObjectFromHwnd refuses windows of other processes and dead records.
    ObjectRecord* container = ObjectFromHwnd(target);
    if (!container || (container->kind != kKindWindow && !IsPanel(container))) return 0;
    ObjectRecord* oldTop = ObjectTopWindow(&p->hdr);
    if (!PanelReparent(&p->hdr, container)) return 0;
    PanelMoveMenus(oldTop, &p->hdr);
    return 1;
}

int32_t PanelMethodCall(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypePanel, call);
    if (rc != 0) return rc;
    PanelRecord* p = AsPanel(rec);
    switch (call->method) {
    case kPanelGetObject: {
        ObjectRecord* child = call->result.kind == kItemObject ? ChildByKey(rec, call) : nullptr;
        if (!child || child->ovar) return CtlReplyInt(0);
        child->ovar = call->result.varRef;
        SetReplyInt(nullptr, static_cast<int32_t>(child->handle), static_cast<uint8_t>(ObjectKindToType(child->kind)));
        return kNoAnswer;
    }
    case kPanelGetObjectAsPointer: {
        ObjectRecord* child = call->result.kind == kItemObject2 ? ChildByKey(rec, call) : nullptr;
        return CtlReplyInt(child ? static_cast<int32_t>(child->ovar) : 0);
    }
    case kPanelSetHScrollPos: case kPanelSetVScrollPos: {
        bool vertical = call->method == kPanelSetVScrollPos;
        if (!(p->style & (vertical ? kPsVScroll : kPsHScroll))) return CtlReplyInt(1);
        return CtlReplyInt(ContainerScroll(rec, vertical ? WM_VSCROLL : WM_HSCROLL, CtlArgInt(call, 0, 0)));
    }
    case kPanelSetBgColorTransparent: {
        bool on = CtlArgInt(call, 0, 0) == 1;
        DWORD bits = WS_EX_TRANSPARENT | ((gGuiModeFlags & kGuiModeKeepFlagged) ? WS_EX_NOPARENTNOTIFY : 0);
        SetWindowBits(rec->hwnd, GWL_EXSTYLE, WS_EX_TRANSPARENT | WS_EX_NOPARENTNOTIFY, on ? bits : 0);
        Reframe(rec->hwnd);
        RedrawObject(rec, true);
        return CtlReplyInt(0);
    }
    case kPanelPreviewOpen:
        // Without the preview facility the request fails rather than pretending.
        if (!gPrintObjectHooks.prevPanelLoad) return kOpNotAvailable;
        return CtlReplyInt(PreviewOpen(p, call));
    case kPanelPreviewAction:
        if (!p->preview || !gPrintObjectHooks.prevPanelCommand) return kOpNotAvailable;
        return CtlReplyInt(gPrintObjectHooks.prevPanelCommand(&p->preview, static_cast<uint32_t>(CtlArgInt(call, 0, 0)),
                                                              CtlArgInt(call, 1, 0)));
    case kPanelPreviewClose:
        if (!gPrintObjectHooks.prevPanelFree) return kOpNotAvailable;
        if (p->preview) gPrintObjectHooks.prevPanelFree(&p->preview);
        p->preview = nullptr;
        return CtlReplyInt(0);
    case kPanelSetWinFlag1: {
        uint32_t mask = static_cast<uint32_t>(CtlArgInt(call, 0, 0)) & kPs2WinFlag1;
        uint32_t value = static_cast<uint32_t>(CtlArgInt(call, 1, 0));
        p->style2 = (p->style2 & ~mask) | (value & mask);
        return CtlReplyInt(0);
    }
    case kPanelInnerHtml: return CtlReplyInt(InnerHtml(p, call));
    case kPanelGetChildCount: {
        int32_t n = 0;
        for (ObjectRecord* c = rec->children; c && n < INT32_MAX; c = c->next) ++n;
        return CtlReplyInt(n);
    }
    case kPanelMovePanel: return CtlReplyInt(MovePanel(p, call));
    default: return kOpUnknownMethod;
    }
}

const ObjectOps kPanelOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .destroy = PanelDestroy,
    .enable = ObjectEnableWindowed,
    .getProp = PanelGetProp,
    .setProp = PanelSetProp,
    .method = PanelMethodCall,
};

bool RegisterPanelClass() {
    if (gPanelClassRegistered) return true;
    WNDCLASSA wc = {};
    wc.style = kPanelClassStyle;
    wc.lpfnWndProc = GuardedWndProc<PanelWndProcWork>;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassPanel;
    gPanelClassRegistered = RegisterClassA(&wc) != 0;
    return gPanelClassRegistered;
}

// The panel's left and top in its parent plus the border's offset.
void PanelOrigin(ObjectRecord* panel, int32_t* x, int32_t* y) {
    *x = panel->left;
    *y = panel->top;
    uint8_t b = AsPanel(panel)->bdrStyle;
    int32_t border = b == kPbSunken ? kBorderOffsetSunken : b == kPbSingle ? kBorderOffsetSingle : 0;
    *x += border;
    *y += border;
}

bool InSubtree(const ObjectRecord* rec, const ObjectRecord* root) {
    int depth = 0;
    for (const ObjectRecord* p = rec; p && depth < kParentChainMax; p = p->parent, ++depth)
        if (p == root) return true;
    return false;
}

}  // namespace

bool PanelWinFlag1(ObjectRecord* panel) { return IsPanel(panel) && (AsPanel(panel)->style2 & kPs2WinFlag1); }

ObjectRecord* PanelCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    if (!RegisterPanelClass()) {
        *code = kOpNoObject;
        return nullptr;
    }
    ObjectRecord* rec = GfxCreateContainerRecord(kKindPanel, sizeof(PanelRecord), cr, code);
    if (!rec) return nullptr;
    PanelRecord* p = AsPanel(rec);
    // In the mode that keeps objects flagged the panel is marked as one a
    // form does not load; a creation record can say LoadObject 0 but never
    // the opposite, so nothing here forbids the mark.
    if (gGuiModeFlags & kGuiModeKeepFlagged) rec->flags |= kObjFromFormNoLoad;
    ObjectRecord* parent = rec->parent;
    p->virtualWidth = ConvertUnits(parent, cr->minScrollH, kToPixels);
    p->virtualHeight = ConvertUnits(parent, cr->minScrollV, kToPixels);
    int32_t pads[4] = {cr->dockPadL, cr->dockPadT, cr->dockPadR, cr->dockPadB};
    for (int i = 0; i < 4; ++i) p->dockPad[i] = ConvertUnits(parent, pads[i], kToPixels);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS, exStyle = 0;
    int32_t bdr = CreateRecordValue(cr, kPidBdrStyle, kPbNone);
    p->bdrStyle = static_cast<uint8_t>(bdr >= kPbNone && bdr <= kPbSunken ? bdr : kPbNone);
    if (p->bdrStyle != kPbNone) style |= WS_BORDER;
    if (p->bdrStyle == kPbSunken) exStyle |= WS_EX_CLIENTEDGE;
    if (cr->autoScroll) p->style |= kPsAutoScroll;
    if (cr->scrollBar == kBarsBoth) p->style |= kPsHScroll | kPsVScroll;
    else if (cr->scrollBar == kBarsHorizontal) p->style |= kPsHScroll;
    else if (cr->scrollBar == kBarsVertical) p->style |= kPsVScroll;
    if (p->style & kPsHScroll) style |= WS_HSCROLL;
    if (p->style & kPsVScroll) style |= WS_VSCROLL;
    if (CreateRecordValue(cr, kPidClipCtrl, 1)) p->style |= kPsClipCtrl;
    // Children inherit the panel's font.
    FontRec* inherited = parent && parent->font ? parent->font : gDefaultFontP;
    rec->font = inherited ? FontAddUse(inherited) : nullptr;
    if (!GfxCreateContainerWindow(rec, kClassPanel, style, exStyle, code)) return nullptr;
    HWND wnd = rec->hwnd;
    RECT client;
    GetClientRect(wnd, &client);
    p->clientWidth = client.right;
    p->clientHeight = client.bottom;
    if ((p->style & kPsAutoScroll) && (p->style & kPsVScroll)) {
        SCROLLINFO si = {sizeof si, SIF_RANGE, 0, p->virtualHeight, 0, 0, 0};
        SetScrollInfo(wnd, SB_VERT, &si, FALSE);
        if (p->virtualHeight > p->clientHeight) WindowScrollPageSet(rec, 1);
    }
    if ((p->style & kPsAutoScroll) && (p->style & kPsHScroll)) {
        SCROLLINFO si = {sizeof si, SIF_RANGE, 0, p->virtualWidth, 0, 0, 0};
        SetScrollInfo(wnd, SB_HORZ, &si, FALSE);
        if (p->virtualWidth > p->clientWidth) WindowScrollPageSet(rec, 0);
    }
    ObjectNextCtlId(parent);
    return GfxFinishCreate(rec, cr, code);
}

int32_t ContainerScroll(ObjectRecord* container, UINT msg, int32_t code) {
    if (container && container->hwnd) SendMessageA(container->hwnd, msg, ContainerScrollCode(code), 0);
    return 0;
}

void FillUnderChild(HDC dc, ObjectRecord* container, ObjectRecord* child) {
    RECT r = {child->left, child->top, child->right, child->bottom};
    if (container->hwnd && IsTransparent(container->hwnd)) {
        HBRUSH none = BrushCacheGet(0, kBrushNull, true);
        if (none) {
            FillRect(dc, &r, none);
            BrushCacheRelease(none);
        }
        return;
    }
    HBRUSH solid = CreateSolidBrush(ColorValueResolve(container->bgColor));
    if (!solid) return;
    FillRect(dc, &r, solid);
    DeleteObject(solid);
}

void PanelEraseTransparent(HDC dc, ObjectRecord* container) {
    constexpr int32_t kBackStyleTransparent = 2;
    constexpr uint32_t kToolBarTransparent = 0x8000;
    constexpr uint32_t kObjNoPaint = 0x20;
    for (ObjectRecord* c = container ? container->children : nullptr; c; c = c->next) {
        if (!(c->flags & kObjShown) || ObjectIsWebView(c) || (c->flags & kObjNoPaint)) continue;
        if (!(c->flags & kGfxWindowless) && !c->hwnd) continue;
        bool fill = false;
        if (gGuiModeFlags & kGuiModeKeepFlagged) {
            fill = c->kind == kKindLine;
        } else {
            const ObjectOps* ops = ObjectOpsOf(c);
            switch (c->kind) {
            case kKindMRegion: case kKindLine: case kKindAnimate: fill = true; break;
            case kKindStatText: case kKindShape: case kKindContainer:
                fill = ops && ops->getProp && static_cast<int32_t>(ops->getProp(c, kPidBackStyle)) == kBackStyleTransparent;
                break;
            case kKindToolBar:
                fill = c->hwnd && (GetWindowLongA(c->hwnd, GWL_STYLE) & kToolBarTransparent);
                break;
            default: break;
            }
        }
        if (fill) FillUnderChild(dc, container, c);
    }
}

void ObjectScreenRect(ObjectRecord* rec, RECT* out) {
    *out = RECT{rec->left, rec->top, rec->right, rec->bottom};
    int depth = 0;
    for (ObjectRecord* p = rec->parent; IsPanel(p) && depth < kParentChainMax; p = p->parent, ++depth) {
        int32_t x, y;
        PanelOrigin(p, &x, &y);
        OffsetRect(out, x, y);
    }
}

void ObjectParentRect(ObjectRecord* container, RECT* rect) {
    int depth = 0;
    for (ObjectRecord* p = container; IsPanel(p) && depth < kParentChainMax; p = p->parent, ++depth) {
        int32_t x, y;
        PanelOrigin(p, &x, &y);
        OffsetRect(rect, -x, -y);
    }
}

bool PanelReparent(ObjectRecord* obj, ObjectRecord* container) {
    if (!obj || !container) return false;
    if (obj->parent == container) return true;
    // Into itself or a container inside it: the parent chain would loop.
    if (InSubtree(container, obj) || !ObjectParentChainOk(obj, container)) return false;
    RECT r;
    ObjectScreenRect(obj, &r);
    bool shown = (obj->flags & kObjShown) != 0;
    ObjectRef ref = ObjectRefOf(obj);
    ObjectRef cref = ObjectRefOf(container);
    if (shown) {
        ObjectDeactivate(obj);
        if (!ObjectRefAlive(ref) || !ObjectRefAlive(cref)) return false;
    }
    UnlinkObject(obj);
    obj->parent = container;
    ObjectParentRect(container, &r);
    obj->left = r.left, obj->top = r.top, obj->right = r.right, obj->bottom = r.bottom;
    // SetParent makes it a child window of the new container; the owner
    // (GWL_HWNDPARENT) would only change a top-level window's owner.
    if (obj->hwnd && container->hwnd) SetParent(obj->hwnd, container->hwnd);
    LinkObject(obj);
    if (shown) {
        ObjectActivate(obj, 0, 0, 0, 0);
        if (!ObjectRefAlive(ref) || !ObjectRefAlive(cref)) return true;
    }
    if ((obj->flags & (kObjDocked | kObjShown)) == (kObjDocked | kObjShown)) WindowLayout(container);
    return true;
}

void PanelMoveMenus(ObjectRecord* oldTop, ObjectRecord* panel) {
    WindowRecord* from = oldTop ? ObjectAsWindow(oldTop) : nullptr;
    ObjectRecord* newTop = ObjectTopWindow(panel);
    WindowRecord* to = newTop ? ObjectAsWindow(newTop) : nullptr;
    if (!from || !to || from == to) return;
    int guard = 0;
    for (ObjectRecord** at = &from->menus; *at && guard < kParentChainMax * kParentChainMax; ++guard) {
        ObjectRecord* m = *at;
        if (m->parent != oldTop && InSubtree(m->parent, panel)) {
            *at = m->next;
            m->next = to->menus;
            to->menus = m;
        } else {
            at = &m->next;
        }
    }
}

void WindowMenusRehome(ObjectRecord* panel) {
    ObjectRecord* top = ObjectTopWindow(panel);
    WindowRecord* w = top ? ObjectAsWindow(top) : nullptr;
    if (!w) return;
    int guard = 0;
    for (ObjectRecord* m = w->menus; m && guard < kParentChainMax * kParentChainMax; m = m->next, ++guard)
        if (m->parent == panel) m->parent = top;
}

void PanelInstall() {
    RegisterObjectCreator(kTypePanel, PanelCreate);
    RegisterObjectOps(kKindPanel, &kPanelOps);
    RegisterMethodTable(kTypePanel, PanelMethodLookup);
    RegisterKindScroll(kKindPict, PictScrollRoute, false);
    gGuiHooks.panelInfo = PanelInfo;
    gGuiHooks.panelPaintDC = PanelPaintDC;
}
