// splitter.cpp - the Splitter (kind 42): a thin window docked beside another
// docked object (its partner); dragging it with the left button resizes the
// partner along the docking axis within limits and lays the container out
// again.
#include <windows.h>
#include <windowsx.h>

#include "graphics/gfxcommon.h"
#include "objects/color.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/gdicache.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"

namespace {

constexpr char kClassSplitter[] = "Qovsplit";
constexpr UINT kSplitterClassStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
// The program's own cursors: 5 for splitters that move up and down, 6 for
// those that move left and right.
constexpr int kCursorUpDown = 5, kCursorLeftRight = 6;
enum SplitterDock : uint8_t { kSdBottom = 1, kSdLeft = 2, kSdNone = 3, kSdRight = 4, kSdTop = 5 };
enum SplitterBorder : uint8_t { kSbNone = 1, kSbSingle = 2, kSbSunken = 3 };
// While tracking, the loop looks at the capture at least this often.
constexpr DWORD kTrackPollMs = 50;
// Polls without a mouse message, the button up, before the drag ends anyway.
constexpr int kButtonUpPolls = 4;

struct SplitterRecord {
    ObjectRecord hdr;
    uint8_t bdrStyle;
    int32_t minExtra;
    int32_t minSize;
};

bool gSplitterClassRegistered;
HCURSOR gCursorUpDown, gCursorLeftRight;

SplitterRecord* AsSplitter(ObjectRecord* rec) { return reinterpret_cast<SplitterRecord*>(rec); }

bool Vertical(const ObjectRecord* rec) { return rec->dock == kSdLeft || rec->dock == kSdRight; }

// The last shown object before the splitter in its parent's child list with
// the same dock.
ObjectRecord* FindPartner(ObjectRecord* rec) {
    ObjectRecord* partner = nullptr;
    if (!rec->parent) return nullptr;
    for (ObjectRecord* c = rec->parent->children; c && c != rec; c = c->next)
        if ((c->flags & kObjShown) && c->dock == rec->dock) partner = c;
    return partner;
}

int32_t PartnerSize(const ObjectRecord* partner, bool vertical) {
    return vertical ? partner->right - partner->left : partner->bottom - partner->top;
}

// The extent of an object along the axis: its window's, a StatText's (and a
// windowless object's) record rectangle.
int32_t ExtentOf(const ObjectRecord* c, bool vertical) {
    if (c->hwnd && c->kind != kKindStatText) {
        RECT r;
        GetWindowRect(c->hwnd, &r);
        return vertical ? r.right - r.left : r.bottom - r.top;
    }
    return vertical ? c->right - c->left : c->bottom - c->top;
}

// The largest size the partner may take: the layout rectangle less MinExtra
// and less every other shown object docked on the same axis (the splitter
// included).
int32_t LargestSize(SplitterRecord* s, ObjectRecord* partner) {
    ObjectRecord* rec = &s->hdr;
    bool vertical = Vertical(rec);
    RECT lr;
    WindowLayoutRect(rec->parent, &lr);
    int64_t size = (vertical ? lr.right - lr.left : lr.bottom - lr.top) - static_cast<int64_t>(s->minExtra);
    for (ObjectRecord* c = rec->parent->children; c; c = c->next) {
        if (c == partner || !(c->flags & kObjShown)) continue;
        bool sameAxis = vertical ? (c->dock == kSdLeft || c->dock == kSdRight) : (c->dock == kSdTop || c->dock == kSdBottom);
        if (sameAxis) size -= ExtentOf(c, vertical);
    }
    return size > INT32_MAX ? INT32_MAX : size < 0 ? 0 : static_cast<int32_t>(size);
}

// The outline drawn while dragging, inverted on the top window.
struct TrackOutline {
    HWND top;
    HBRUSH hatch;
    RECT rect;
    bool drawn;
};

void Invert(TrackOutline* t) {
    HDC dc = GetDCEx(t->top, nullptr, DCX_PARENTCLIP);
    if (!dc) return;
    HGDIOBJ oldBrush = SelectObject(dc, t->hatch ? t->hatch : GetStockObject(NULL_BRUSH));
    int oldRop = SetROP2(dc, R2_NOT);
    Rectangle(dc, t->rect.left, t->rect.top, t->rect.right, t->rect.bottom);
    SetROP2(dc, oldRop);
    SelectObject(dc, oldBrush);
    ReleaseDC(t->top, dc);
    t->drawn = !t->drawn;
}

// The splitter's rectangle in its top window's client area, less the top
// window's scroll offsets, held within the container's client size.
RECT TrackRect(ObjectRecord* rec, HWND container) {
    RECT r;
    ObjectScreenRect(rec, &r);
    ObjectRecord* top = ObjectTopWindow(rec);
    ContainerInfo ci;
    if (top && ContainerInfoOf(top, &ci)) OffsetRect(&r, -*ci.scrollX, -*ci.scrollY);
    RECT client;
    GetClientRect(container, &client);
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.right > client.right && rec->parent && rec->parent->kind == kKindWindow) r.right = client.right;
    if (r.bottom > client.bottom && rec->parent && rec->parent->kind == kKindWindow) r.bottom = client.bottom;
    if (top && top->hwnd) {
        RECT topClient;
        GetClientRect(top->hwnd, &topClient);
        IntersectRect(&r, &r, &topClient);
    }
    return r;
}

POINT MessagePoint(const MSG& m) {
    POINT pt = {GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
    if (m.message == WM_MOUSEWHEEL || m.message == 0x020E) return pt;   // wheels carry screen points
    ClientToScreen(m.hwnd, &pt);
    return pt;
}

// The drag loop. Only mouse messages are taken; everything else stays queued
// until the button goes up. A container that lost the capture (another
// window took it, or it was released), or a button that is up without its
// message reaching here, ends the drag as a release would: the loop would
// otherwise wait for a button-up that never comes, and the client would not
// hear the server meanwhile.
void SplitterTrack(ObjectRecord* rec, WPARAM wp, LPARAM lp) {
    SplitterRecord* s = AsSplitter(rec);
    if (gGuiModeFlags & kGuiModeKeepFlagged) MouseDownEvent(rec, 0, false, wp, lp);
    POINT start = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ClientToScreen(rec->hwnd, &start);
    ObjectRecord* partner = FindPartner(rec);
    HWND container = rec->parent ? rec->parent->hwnd : nullptr;
    if (!partner || !container) return;
    bool vertical = Vertical(rec);
    int32_t largest = LargestSize(s, partner);
    if (largest <= 0) return;
    ObjectRef ref = ObjectRefOf(rec), partnerRef = ObjectRefOf(partner);
    SetCapture(container);
    RECT clip;
    GetClientRect(container, &clip);
    MapWindowPoints(container, nullptr, reinterpret_cast<POINT*>(&clip), 2);
    ClipCursor(&clip);
    ObjectRecord* top = ObjectTopWindow(rec);
    TrackOutline t = {top && top->hwnd ? top->hwnd : container, CreateHatchBrush(HS_DIAGCROSS, 0), TrackRect(rec, container), false};
    RECT startRect = t.rect;
    Invert(&t);
    int32_t startSize = PartnerSize(partner, vertical), size = startSize;
    int32_t sign = rec->dock == kSdRight || rec->dock == kSdBottom ? -1 : 1;
    int upPolls = 0;
    for (bool done = false; !done;) {
        if (GetCapture() != container) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kTrackPollMs, QS_MOUSE);
        MSG m;
        bool took = false;
        while (!done && PeekMessageA(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
            took = true;
            POINT pt = MessagePoint(m);
            int32_t travel = vertical ? pt.x - start.x : pt.y - start.y;
            Invert(&t);
            t.rect = startRect;
            OffsetRect(&t.rect, vertical ? travel : 0, vertical ? 0 : travel);
            Invert(&t);
            size = SplitterSize(startSize, sign * travel, s->minSize, largest);
            if (m.message == WM_LBUTTONUP) done = true;
        }
        // A button released where this thread does not hear of it (another
        // window took the input) ends the drag too, once no mouse message has
        // come for a while: the release may still be on its way here.
        upPolls = !took && !(GetAsyncKeyState(VK_LBUTTON) & 0x8000) ? upPolls + 1 : 0;
        if (upPolls >= kButtonUpPolls) done = true;
    }
    if (t.drawn) Invert(&t);
    if (t.hatch) DeleteObject(t.hatch);
    ClipCursor(nullptr);
    if (GetCapture() == container) ReleaseCapture();
    if (!ObjectRefAlive(ref) || !ObjectRefAlive(partnerRef)) return;
    int32_t change = size - startSize;
    if (change == 0) return;
    ObjectResizeBy(partner, vertical ? 0 : change, vertical ? change : 0);
    WindowLayout(rec->parent);
    if (EventIsRegistered(rec, kEvMove))
        PostObjectEvent(rec, kEvMove, kEventKindDefault, 0, PackTenThousand(rec->left, rec->top));
}

static LRESULT SplitterWndProcWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    ObjectRecord* rec = ObjectFromHwnd(wnd);
    if (!rec || rec->kind != kKindSplitter) return DefWindowProcA(wnd, msg, wp, lp);
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(wnd, &r);
        r.right += 2;
        r.bottom += 2;
        HBRUSH b = CreateSolidBrush(ColorValueResolve(rec->bgColor));
        if (b) {
            FillRect(reinterpret_cast<HDC>(wp), &r, b);
            DeleteObject(b);
        }
        return 1;
    }
    case WM_SETCURSOR:
        SetCursor(Vertical(rec) ? gCursorLeftRight : gCursorUpDown);
        return 1;
    case WM_LBUTTONDOWN:
        SplitterTrack(rec, wp, lp);
        break;
    case WM_RBUTTONDOWN:
        if (ControlMsgToEvent(wnd, msg, wp, lp)) return 0;
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

uint32_t SplitterGetProp(ObjectRecord* rec, uint32_t id) {
    SplitterRecord* s = AsSplitter(rec);
    switch (id) {
    case kPidBdrStyle: return s->bdrStyle;
    case kPidMinExtra: return static_cast<uint32_t>(ConvertUnits(rec->parent, s->minExtra, kToUnits));
    case kPidMinSize: return static_cast<uint32_t>(ConvertUnits(rec->parent, s->minSize, kToUnits));
    case kPidSplitPos: {
        ObjectRecord* partner = FindPartner(rec);
        return static_cast<uint32_t>(partner ? PartnerSize(partner, Vertical(rec)) : -1);
    }
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t SplitterSetProp(ObjectRecord* rec, PropChange* req) {
    SplitterRecord* s = AsSplitter(rec);
    int32_t v = req->value;
    switch (req->id) {
    case kPidDock:
        // A splitter lies along one edge: not undocked, not filling.
        if (v != kSdBottom && v != kSdLeft && v != kSdRight && v != kSdTop) return 0;
        return CtlSetCommonProp(rec, req);
    case kPidBdrStyle: {
        s->bdrStyle = static_cast<uint8_t>(v);
        DWORD style = static_cast<DWORD>(GetWindowLongA(rec->hwnd, GWL_STYLE)) & ~WS_BORDER;
        DWORD ex = static_cast<DWORD>(GetWindowLongA(rec->hwnd, GWL_EXSTYLE)) & ~WS_EX_CLIENTEDGE;
        if (v == kSbSingle || v == kSbSunken) style |= WS_BORDER;
        if (v == kSbSunken) ex |= WS_EX_CLIENTEDGE;
        SetWindowLongA(rec->hwnd, GWL_STYLE, static_cast<LONG>(style));
        SetWindowLongA(rec->hwnd, GWL_EXSTYLE, static_cast<LONG>(ex));
        SetWindowPos(rec->hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        return 0;
    }
    case kPidMinExtra: s->minExtra = ConvertUnits(rec->parent, v, kToPixels); return 0;
    case kPidMinSize: s->minSize = ConvertUnits(rec->parent, v, kToPixels); return 0;
    case kPidSplitPos: {
        ObjectRecord* partner = FindPartner(rec);
        if (!partner) return 0;
        bool vertical = Vertical(rec);
        int32_t change = v - PartnerSize(partner, vertical);
        ObjectResizeBy(partner, vertical ? 0 : change, vertical ? change : 0);
        WindowLayout(rec->parent);
        return 0;
    }
    default:
        return CtlSetCommonProp(rec, req);
    }
}

const ObjectOps kSplitterOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .destroy = ControlDestroyWindowed,
    .enable = ObjectEnableWindowed,
    .getProp = SplitterGetProp,
    .setProp = SplitterSetProp,
};

bool RegisterSplitterClass() {
    if (gSplitterClassRegistered) return true;
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.style = kSplitterClassStyle;
    wc.lpfnWndProc = GuardedWndProc<SplitterWndProcWork>;
    wc.hInstance = inst;
    wc.lpszClassName = kClassSplitter;
    gSplitterClassRegistered = RegisterClassA(&wc) != 0;
    // The program's cursors; a program built without them falls back to the
    // system's sizing cursors.
    gCursorUpDown = LoadCursorA(inst, MAKEINTRESOURCEA(kCursorUpDown));
    gCursorLeftRight = LoadCursorA(inst, MAKEINTRESOURCEA(kCursorLeftRight));
    if (!gCursorUpDown) gCursorUpDown = LoadCursorA(nullptr, IDC_SIZENS);
    if (!gCursorLeftRight) gCursorLeftRight = LoadCursorA(nullptr, IDC_SIZEWE);
    return gSplitterClassRegistered;
}

}  // namespace

HCURSOR SplitterCursor(bool leftRight) { return leftRight ? gCursorLeftRight : gCursorUpDown; }

ObjectRecord* SplitterCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    if (!RegisterSplitterClass()) {
        *code = kOpNoObject;
        return nullptr;
    }
    ObjectRecord* rec = GfxCreateContainerRecord(kKindSplitter, sizeof(SplitterRecord), cr, code);
    if (!rec) return nullptr;
    SplitterRecord* s = AsSplitter(rec);
    int32_t bdr = CreateRecordValue(cr, kPidBdrStyle, kSbNone);
    s->bdrStyle = static_cast<uint8_t>(bdr >= kSbNone && bdr <= kSbSunken ? bdr : kSbNone);
    s->minSize = ConvertUnits(rec->parent, CreateRecordValue(cr, kPidMinSize, 0), kToPixels);
    s->minExtra = ConvertUnits(rec->parent, CreateRecordValue(cr, kPidMinExtra, 0), kToPixels);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (s->bdrStyle != kSbNone ? WS_BORDER : 0);
    DWORD ex = s->bdrStyle == kSbSunken ? WS_EX_CLIENTEDGE : 0;
    if (!GfxCreateContainerWindow(rec, kClassSplitter, style, ex, code)) return nullptr;
    ObjectNextCtlId(rec->parent);
    return GfxFinishCreate(rec, cr, code);
}

void SplitterInstall() {
    RegisterObjectCreator(kTypeSplitter, SplitterCreate);
    RegisterObjectOps(kKindSplitter, &kSplitterOps);
}
