// pict.cpp - the picture object (kind 11): a decoded image painted into its
// parent's window at a zoom, with its own scroll bars, AutoScale modes,
// stacking of pictures on one rectangle, rotation, the rubber band and zoom
// history of AutoZoom, and writing the image back as a .BMP file.
#include "graphics/pict.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>

#include "graphics/gfxcommon.h"
#include "graphics/image/dibutil.h"
#include "graphics/image/png.h"
#include "objects/color.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/config.h"
#include "session/proto/protocol.h"
#include "session/session.h"
#include "session/util/mem.h"

namespace {

constexpr uint32_t kWriteBmpVersion = 9104;
// ScrollBar values.
enum PictBars : int32_t { kBarsBoth = 1, kBarsHorizontal = 2, kBarsNone = 3, kBarsVertical = 4 };
// AutoScale values.
enum AutoScale : int32_t { kAsNone = 1, kAsFitWidth = 2, kAsFixed = 3, kAsFitHeight = 4, kAsFill = 5, kAsKeep = 6 };
enum PictBackStyle : uint8_t { kPictBackOpaque = 1, kPictBackTransparent = 2 };
constexpr int32_t kBorderPlain = 1, kBorder3D = 5, kBarInset3D = 4;
constexpr int32_t kBarExtra = 2;           // added to the system's thumb size
constexpr uint32_t kPngUseBackground = 0x1000000;
constexpr uint32_t kFallbackResource = 10020;
constexpr uint32_t k3DBgMain = 0xC0C0C0;
// Where a picture not made by the server (a captured window, an automation
// picture) is placed until the program moves it.
constexpr int32_t kBarePictOrigin = 1000;
// A window whose image cannot be captured, as the automation errors count it.
constexpr int32_t kPictNoCapture = -50;

PictRecord* AsPict(ObjectRecord* rec) { return reinterpret_cast<PictRecord*>(rec); }
bool IsPict(const ObjectRecord* rec) { return rec && rec->kind == kKindPict && ObjectIsLive(rec); }

int32_t BorderWidth(const PictRecord* p) {
    if (p->hdr.flags & kObj3D) return kBorder3D;
    return (p->hdr.flags & kObjBorder) ? kBorderPlain : 0;
}

int32_t VBarWidth() { return GetSystemMetrics(SM_CXHTHUMB) + kBarExtra; }
int32_t HBarHeight() { return GetSystemMetrics(SM_CYVTHUMB) + kBarExtra; }

// The image area: the rectangle less the border and the own bars.
RECT ClientArea(const PictRecord* p) {
    int32_t b = BorderWidth(p);
    RECT c = {p->hdr.left + b, p->hdr.top + b, p->hdr.right - b, p->hdr.bottom - b};
    if (p->vBar) c.right -= VBarWidth();
    if (p->hBar) c.bottom -= HBarHeight();
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
    return c;
}

int32_t ClientW(const PictRecord* p) { RECT c = ClientArea(p); return c.right - c.left; }
int32_t ClientH(const PictRecord* p) { RECT c = ClientArea(p); return c.bottom - c.top; }

void ClearView(PictRecord* p) {
    LocalFreeMem(p->viewInfo);
    LocalFreeMem(p->viewBits);
    p->viewInfo = nullptr;
    p->viewBits = nullptr;
    p->viewZoom = 0;
}

void ClearBand(PictRecord* p) {
    if (p->sel) SetRectEmpty(&p->sel->band);
}

void SetBarsFromAxes(PictRecord* p) {
    struct Bar { HWND wnd; const PictAxis* axis; } bars[] = {{p->hBar, &p->h}, {p->vBar, &p->v}};
    for (const Bar& b : bars) {
        if (!b.wnd) continue;
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_POS | SIF_DISABLENOSCROLL;
        si.nMin = 0;
        si.nMax = static_cast<int>(std::min<uint32_t>(b.axis->range, 0x7FFFFFFF));
        si.nPos = static_cast<int>(std::min<uint32_t>(b.axis->pos, 0x7FFFFFFF));
        SetScrollInfo(b.wnd, SB_CTL, &si, TRUE);
    }
}

void UpdateScroll(PictRecord* p) {
    PictAxisUpdate(&p->h, ClientW(p), p->zoom);
    PictAxisUpdate(&p->v, ClientH(p), p->zoom);
    SetBarsFromAxes(p);
}

PictFitAxis FitAxisOf(uint32_t mode) {
    if (mode & kPictModeFitWidth) return kPictFitWidth;
    if (mode & kPictModeFitHeight) return kPictFitHeight;
    return kPictFitBoth;
}

// The fitted zoom of the current image; the zoom stays when the image has no
// pixels.
uint32_t FittedZoom(const PictRecord* p, bool allowAbove100) {
    uint32_t z = (p->mode & kPictModeFill) ? PictFillZoom(ClientW(p), ClientH(p), p->h.size, p->v.size)
                                           : PictFitZoom(ClientW(p), ClientH(p), p->h.size, p->v.size, FitAxisOf(p->mode));
    if (z == 0) return p->zoom ? p->zoom : kPictZoomUnit;
    if (!allowAbove100 && !(p->mode & kPictModeFill)) z = std::min(z, kPictZoomUnit);
    return std::max(std::min(z, kPictZoomMax), kPictZoomMin);
}

void Redraw(PictRecord* p, bool erase) {
    PictRecord* shown = p->base ? p->base : p;
    if (shown->hdr.flags & kObjShown) RedrawObject(&shown->hdr, erase);
}

void DestroyBars(PictRecord* p) {
    if (p->hBar) DestroyWindow(p->hBar);
    if (p->vBar) DestroyWindow(p->vBar);
    p->hBar = p->vBar = nullptr;
}

HWND MakeBar(PictRecord* p, bool vertical, uint16_t id) {
    HWND parent = GfxContainerWindow(&p->hdr);
    if (!parent) return nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (vertical ? SBS_VERT | SBS_RIGHTALIGN : SBS_BOTTOMALIGN);
    int32_t inset = (p->hdr.flags & kObj3D) ? kBarInset3D : 1;
    RECT r = {p->hdr.left + inset, p->hdr.top + inset, p->hdr.right - inset, p->hdr.bottom - inset};
    HWND bar = CreateWindowExA(AddRtlExStyle(&p->hdr, 0), "scrollbar", "", style, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, parent, reinterpret_cast<HMENU>(uintptr_t(id)),
                               GetModuleHandleA(nullptr), nullptr);
    if (bar) SetWindowLongPtrA(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
    return bar;
}

// Places the own bars along the bottom and right edges of the client area.
void PlaceBars(PictRecord* p) {
    RECT c = ClientArea(p);
    if (p->hBar) {
        MoveWindow(p->hBar, c.left, c.bottom, c.right - c.left, HBarHeight(), TRUE);
        ShowWindow(p->hBar, (p->hdr.flags & kObjShown) ? SW_SHOWNA : SW_HIDE);
    }
    if (p->vBar) {
        MoveWindow(p->vBar, c.right, c.top, VBarWidth(), c.bottom - c.top, TRUE);
        ShowWindow(p->vBar, (p->hdr.flags & kObjShown) ? SW_SHOWNA : SW_HIDE);
    }
}

int32_t SetScrollBars(PictRecord* p, int32_t value) {
    if (value != kBarsBoth && value != kBarsHorizontal && value != kBarsVertical) {
        p->hdr.flags &= ~kPictOwnBars;
        DestroyBars(p);
        return 0;
    }
    p->hdr.flags |= uint32_t{kPictOwnBars} | kObjBorder;
    if (value == kBarsVertical && p->hBar) DestroyWindow(p->hBar), p->hBar = nullptr;
    if (value == kBarsHorizontal && p->vBar) DestroyWindow(p->vBar), p->vBar = nullptr;
    ObjectRecord* top = ObjectTopWindow(&p->hdr);
    if (value != kBarsVertical && !p->hBar) {
        p->hBar = MakeBar(p, false, top ? ObjectNextCtlId(top) : 0);
        if (!p->hBar) return kOpNoMemory;
    }
    if (value != kBarsHorizontal && !p->vBar) {
        p->vBar = MakeBar(p, true, top ? ObjectNextCtlId(top) : 0);
        if (!p->vBar) return kOpNoMemory;
    }
    UpdateScroll(p);
    PlaceBars(p);
    return 0;
}

int32_t BarsValue(const PictRecord* p) {
    if (!(p->hdr.flags & kPictOwnBars) || (!p->hBar && !p->vBar)) return kBarsNone;
    if (p->hBar && p->vBar) return kBarsBoth;
    return p->hBar ? kBarsHorizontal : kBarsVertical;
}

// ---- Painting ---------------------------------------------------------------------------------

// The reduced view of a 1-bit image at the current zoom: from a tenth of the
// size up, grey levels that keep the page's look; below it, the OR of each cell,
// since a grey cell of a thin line would fade into the white at that size.
bool MakeMonoView(PictRecord* p) {
    if (p->viewZoom == p->zoom && p->viewBits) return true;
    ClearView(p);
    auto* info = static_cast<BITMAPINFO*>(LocalAllocZero(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)));
    if (!info) return false;
    BITMAPINFOHEADER outHeader = {};
    uint8_t* out = nullptr;
    int rc;
    if (p->zoom >= kPictGreyViewMinZoom) {
        RGBQUAD greys[5];
        rc = MonoReduceGrey(&p->dib->bmiHeader, p->dib->bmiColors, p->bits, p->zoom, &outHeader, greys, &out);
        if (rc == 0) memcpy(info->bmiColors, greys, sizeof greys);
    } else {
        rc = MonoReduceOr(&p->dib->bmiHeader, p->bits, p->zoom, &outHeader, &out);
        if (rc == 0) memcpy(info->bmiColors, p->dib->bmiColors, 2 * sizeof(RGBQUAD));
    }
    if (rc != 0) {
        LocalFreeMem(info);
        return false;
    }
    info->bmiHeader = outHeader;
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);  // the colours follow the short header
    p->viewInfo = info;
    p->viewBits = out;
    p->viewZoom = p->zoom;
    return true;
}

void DrawImage(PictRecord* p, HDC dc, const RECT& c) {
    const BITMAPINFOHEADER& h = p->dib->bmiHeader;
    int32_t cw = c.right - c.left, ch = c.bottom - c.top;
    PictSpan sx = PictAxisPaint(p->h, cw, p->zoom), sy = PictAxisPaint(p->v, ch, p->zoom);
    if (sx.srcLen <= 0 || sy.srcLen <= 0) return;
    bool mono = h.biBitCount == 1;
    SetStretchBltMode(dc, mono ? BLACKONWHITE : COLORONCOLOR);
    int32_t height = static_cast<int32_t>(p->v.size);
    if (p->zoom == kPictZoomUnit && p->h.pos == 0 && p->v.pos == 0 && static_cast<int32_t>(p->h.size) <= cw &&
        height <= ch) {
        SetDIBitsToDevice(dc, c.left, c.top, p->h.size, p->v.size, 0, 0, 0, p->v.size, p->bits, p->dib,
                          DIB_RGB_COLORS);
        return;
    }
    if (mono && p->zoom < kPictZoomUnit && MakeMonoView(p)) {
        // The view holds one pixel per client pixel.
        const BITMAPINFOHEADER& vh = p->viewInfo->bmiHeader;
        int32_t vx = PictScaled(p->h.pos, p->zoom), vy = PictScaled(p->v.pos, p->zoom);
        int32_t w = std::min<int32_t>(sx.dstLen, vh.biWidth - vx), hgt = std::min<int32_t>(sy.dstLen, vh.biHeight - vy);
        if (w > 0 && hgt > 0)
            StretchDIBits(dc, c.left, c.top, w, hgt, vx, vh.biHeight - vy - hgt, w, hgt, p->viewBits, p->viewInfo,
                          DIB_RGB_COLORS, SRCCOPY);
        return;
    }
    // Whole source pixels overshoot the client: the destination is clipped.
    int saved = SaveDC(dc);
    IntersectClipRect(dc, c.left, c.top, c.right, c.bottom);
    int32_t dw = PictScaled(static_cast<uint32_t>(sx.srcLen), p->zoom);
    int32_t dh = PictScaled(static_cast<uint32_t>(sy.srcLen), p->zoom);
    StretchDIBits(dc, c.left, c.top, dw, dh, sx.src, height - sy.src - sy.srcLen, sx.srcLen, sy.srcLen, p->bits, p->dib,
                  DIB_RGB_COLORS, SRCCOPY);
    RestoreDC(dc, saved);
}

// The visible image area in the DC: the part of the client the image covers.
RECT ImageArea(const PictRecord* p, const RECT& c) {
    int32_t cw = c.right - c.left, ch = c.bottom - c.top;
    PictSpan sx = PictAxisPaint(p->h, cw, p->zoom), sy = PictAxisPaint(p->v, ch, p->zoom);
    return RECT{c.left, c.top, c.left + sx.dstLen, c.top + sy.dstLen};
}

void PaintFrame(PictRecord* p, HDC dc, const RECT& r, const RECT& c, const RECT& image) {
    HBRUSH bg = BrushCacheGet(p->hdr.bgColor, kBrushSolid, true);
    if (!bg) return;
    // The client area around the image, and the corner between the bars.
    RECT parts[] = {{image.right, c.top, c.right, c.bottom}, {c.left, image.bottom, image.right, c.bottom}};
    for (const RECT& part : parts)
        if (part.right > part.left && part.bottom > part.top) FillRect(dc, &part, bg);
    if (p->hBar && p->vBar) {
        RECT corner = {c.right, c.bottom, r.right - BorderWidth(p), r.bottom - BorderWidth(p)};
        FillRect(dc, &corner, bg);
    }
    if (p->hdr.flags & kObj3D) {
        RECT outer = r;
        for (int i = 0; i < kBorder3D; i++) {
            FrameRect(dc, &outer, bg);
            InflateRect(&outer, -1, -1);
        }
        RECT edge = r;
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    } else if (p->hdr.flags & kObjBorder) {
        HBRUSH frame = BrushCacheGet(p->hdr.bdrColor, kBrushSolid, true);
        if (frame) {
            FrameRect(dc, &r, frame);
            BrushCacheRelease(frame);
        }
    }
    BrushCacheRelease(bg);
}

void DrawBand(PictRecord* p, HDC dc, int32_t dx, int32_t dy) {
    if (!p->sel || IsRectEmpty(&p->sel->band)) return;
    RECT b = p->sel->band;
    OffsetRect(&b, dx, dy);
    PatBlt(dc, b.left, b.top, b.right - b.left, 1, DSTINVERT);
    PatBlt(dc, b.left, b.bottom - 1, b.right - b.left, 1, DSTINVERT);
    PatBlt(dc, b.left, b.top + 1, 1, b.bottom - b.top - 2, DSTINVERT);
    PatBlt(dc, b.right - 1, b.top + 1, 1, b.bottom - b.top - 2, DSTINVERT);
}

int32_t PictPaint(ObjectRecord* rec, void* dcArg, int32_t) {
    PictRecord* p = AsPict(rec);
    if (rec->flags & kPictStacked) return 0;   // its base draws it
    if ((rec->flags & kPictRefit) && !(p->mode & (kPictModeFixed | kPictModeKeep))) {
        p->zoom = FittedZoom(p, false);
        UpdateScroll(p);
        ClearView(p);
    }
    rec->flags &= ~kPictRefit;
    ObjectDCState st;
    RECT r;
    HDC dc = GfxObjectDC(rec, dcArg, &st, &r);
    if (!dc) return 0;
    int32_t dx = r.left - rec->left, dy = r.top - rec->top;
    RECT c = ClientArea(p);
    OffsetRect(&c, dx, dy);
    int stretchMode = GetStretchBltMode(dc);
    HPALETTE oldPal = nullptr;
    if (p->palette) {
        oldPal = SelectPalette(dc, p->palette, FALSE);
        RealizePalette(dc);
    }
    RECT image = p->dib ? ImageArea(p, c) : RECT{c.left, c.top, c.left, c.top};
    PaintFrame(p, dc, r, c, image);
    if (p->dib && p->bits) {
        DrawImage(p, dc, c);
        for (PictRecord* q = p->nextStacked; q; q = q->nextStacked) {
            if (!q->dib || !q->bits) continue;
            StretchDIBits(dc, c.left, c.top, c.right - c.left, c.bottom - c.top, 0, 0, q->h.size, q->v.size, q->bits,
                          q->dib, DIB_RGB_COLORS, SRCAND);
        }
    }
    if (oldPal) SelectPalette(dc, oldPal, FALSE);
    SetStretchBltMode(dc, stretchMode);
    DrawBand(p, dc, dx, dy);
    ReleaseObjectDC(&st);
    PlaceBars(p);
    return 0;
}

// ---- Showing, hiding and stacking -----------------------------------------------------------------

bool SameRect(const ObjectRecord* a, const ObjectRecord* b) {
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

PictRecord* FindStackBase(PictRecord* p) {
    if (gGuiOption2039 != 0 || !p->hdr.parent) return nullptr;
    for (ObjectRecord* c = p->hdr.parent->children; c; c = c->next) {
        if (c == &p->hdr || c->kind != kKindPict || !(c->flags & kObjShown) || (c->flags & kPictStacked)) continue;
        if ((c->modeFlags & kModeWebView) || !SameRect(c, &p->hdr)) continue;
        return AsPict(c);
    }
    return nullptr;
}

int32_t PictShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    PictRecord* p = AsPict(rec);
    if (PictRecord* base = FindStackBase(p)) {
        rec->flags |= uint32_t{kPictStacked} | kObjShown;
        p->base = base;
        p->nextStacked = base->nextStacked;
        base->nextStacked = p;
        RedrawObject(&base->hdr, false);
        return 0;
    }
    int32_t r = ObjectShowWindowless(rec, a, b, c, d);
    PlaceBars(p);
    return r;
}

void Unstack(PictRecord* p) {
    if (p->base) {
        PictRecord* base = p->base;
        for (PictRecord** link = &base->nextStacked; *link; link = &(*link)->nextStacked) {
            if (*link == p) {
                *link = p->nextStacked;
                break;
            }
        }
        p->base = nullptr;
        p->nextStacked = nullptr;
        p->hdr.flags &= ~(uint32_t{kPictStacked} | kObjShown);
        RedrawObject(&base->hdr, true);
        return;
    }
    // A base hands its role to the first stacked picture.
    PictRecord* heir = p->nextStacked;
    p->nextStacked = nullptr;
    if (!heir) return;
    heir->hdr.flags &= ~kPictStacked;
    heir->base = nullptr;
    for (PictRecord* q = heir->nextStacked; q; q = q->nextStacked) q->base = heir;
    RedrawObject(&heir->hdr, true);
}

int32_t PictHide(ObjectRecord* rec) {
    PictRecord* p = AsPict(rec);
    if (p->hBar) ShowWindow(p->hBar, SW_HIDE);
    if (p->vBar) ShowWindow(p->vBar, SW_HIDE);
    if (p->base) {
        Unstack(p);
        return 0;
    }
    bool hadStack = p->nextStacked != nullptr;
    Unstack(p);
    if (hadStack) {
        rec->flags &= ~kObjShown;
        return 0;
    }
    return ObjectHideWindowless(rec);
}

// Destroys the scroll-bar objects that stand for the picture's bars; each
// takes itself off the list as it goes.
void DestroyBarObjects(PictRecord* p) {
    int guard = 0;
    while (p->barObjects && guard++ < kParentChainMax) {
        ObjectRecord* bar = p->barObjects;
        ObjectDestroy(bar);
        if (p->barObjects == bar) PictUnlinkScrollBar(&p->hdr, bar);
    }
}

int32_t PictDestroy(ObjectRecord* rec) {
    PictRecord* p = AsPict(rec);
    if (p->base || p->nextStacked) Unstack(p);
    DestroyBarObjects(p);
    DestroyBars(p);
    PictFreeImage(p);
    LocalFreeMem(p->sel);
    LocalFreeMem(p->altText);
    LocalFreeMem(p->urlSource);
    p->sel = nullptr, p->altText = nullptr, p->urlSource = nullptr;
    return ObjectDestroyWindowless(rec);
}

// ---- Properties -------------------------------------------------------------------------------

int32_t AutoScaleValue(uint32_t mode) {
    if (mode & kPictModeFixed) return kAsFixed;
    if (mode & kPictModeFitHeight) return kAsFitHeight;
    if (mode & kPictModeFitWidth) return kAsFitWidth;
    if (mode & kPictModeFill) return kAsFill;
    if (mode & kPictModeKeep) return kAsKeep;
    return kAsNone;
}

void SetAutoScale(PictRecord* p, int32_t v) {
    p->mode &= ~kPictModeMask;
    switch (v) {
    case kAsFitWidth: p->mode |= kPictModeFitWidth; break;
    case kAsFixed: p->mode |= kPictModeFixed; p->zoom = kPictZoomUnit; UpdateScroll(p); return;
    case kAsFitHeight: p->mode |= kPictModeFitHeight; break;
    case kAsFill: p->mode |= kPictModeFill; break;
    case kAsKeep: p->mode |= kPictModeKeep; if (!p->zoom) p->zoom = kPictZoomUnit; return;
    default: break;
    }
    p->hdr.flags |= kPictRefit;
}

uint32_t PictGetProp(ObjectRecord* rec, uint32_t id) {
    PictRecord* p = AsPict(rec);
    switch (id) {
    case kPidNoResize: return (p->mode & kPictModeFixed) ? 1 : 0;
    case kPidBackStyle: return p->backStyle;
    case kPidScrollBar: return static_cast<uint32_t>(BarsValue(p));
    case kPidAutoZoom: return (rec->flags & kPictAutoZoom) ? 1 : 0;
    case kPidScale: return p->zoom / 10;
    case kPidPictPosH: return p->h.pos;
    case kPidPictPosV: return p->v.pos;
    case kPidResource: return p->resource;
    case kPidPictSizeH: return p->h.size;
    case kPidPictSizeV: return p->v.size;
    case kPidAutoScale: return static_cast<uint32_t>(AutoScaleValue(p->mode));
    case kPidResize: return (p->mode & kPictModeFixed) ? 0 : 1;
    case kPidAltText: return static_cast<uint32_t>(CtlSetTextBuf(p->altText ? p->altText : "", p->altText ? static_cast<uint32_t>(strlen(p->altText)) : 0));
    case kPidUrlSource: return static_cast<uint32_t>(CtlSetTextBuf(p->urlSource ? p->urlSource : "", p->urlSource ? static_cast<uint32_t>(strlen(p->urlSource)) : 0));
    default: return CtlGetCommonProp(rec, id);
    }
}

void SetFixed(PictRecord* p, bool on) {
    if (on) {
        p->mode |= kPictModeFixed;
        p->zoom = kPictZoomUnit;
        UpdateScroll(p);
        ClearView(p);
    } else {
        p->mode &= ~kPictModeFixed;
    }
}

int32_t SetAutoZoom(PictRecord* p, bool on) {
    if (!on) {
        p->hdr.flags &= ~kPictAutoZoom;
        LocalFreeMem(p->sel);
        p->sel = nullptr;
        return 0;
    }
    if (!p->sel) p->sel = static_cast<PictSelection*>(LocalAllocZero(sizeof(PictSelection)));
    else memset(p->sel, 0, sizeof *p->sel);
    if (!p->sel) return kOpNoMemory;
    p->hdr.flags |= kPictAutoZoom;
    return 0;
}

int32_t PictSetProp(ObjectRecord* rec, PropChange* req) {
    PictRecord* p = AsPict(rec);
    int32_t v = req->value;
    int32_t rc = 0;
    bool erase = true;
    switch (req->id) {
    case kPidNoResize: SetFixed(p, v != 0); break;
    case kPidResize: SetFixed(p, v == 0); break;
    case kPidBackStyle:
        p->backStyle = v == kPictBackTransparent ? kPictBackTransparent : kPictBackOpaque;
        break;
    case kPidScrollBar:
        DestroyBarObjects(p);
        rc = SetScrollBars(p, v);
        break;
    case kPidAutoZoom: rc = SetAutoZoom(p, v != 0); break;
    case kPidScale:
        p->zoom = PictScaleToZoom(v);
        UpdateScroll(p);
        ClearView(p);
        ClearBand(p);
        break;
    case kPidPictPosH: case kPidPictPosV: {
        PictAxis& a = req->id == kPidPictPosH ? p->h : p->v;
        a.pos = std::min(static_cast<uint32_t>(v), a.range);
        SetBarsFromAxes(p);
        ClearBand(p);
        erase = false;
        break;
    }
    case kPidResource: {
        rc = ImageLoadFromResource(p, static_cast<uint32_t>(v));
        if (rc != 0) return rc;
        p->zoom = (p->mode & kPictModeFixed) ? kPictZoomUnit : FittedZoom(p, false);
        UpdateScroll(p);
        ClearView(p);
        ClearBand(p);
        break;
    }
    case kPidPictSizeH: case kPidPictSizeV: return 0;
    case kPidAutoScale: SetAutoScale(p, v); break;
    case kPidAltText: if (!CtlReplaceText(&p->altText, req->text, req->textLength)) return kOpNoMemory; return 0;
    case kPidUrlSource: if (!CtlReplaceText(&p->urlSource, req->text, req->textLength)) return kOpNoMemory; return 0;
    default: {
        rc = CtlSetCommonProp(rec, req);
        rec->flags |= kPictRefit;
        if (req->id == kPidHeight || req->id == kPidWidth || req->id == kPidLeft || req->id == kPidTop) {
            UpdateScroll(p);
            PlaceBars(p);
        }
        break;
    }
    }
    Redraw(p, erase);
    return rc;
}

// ---- Methods ------------------------------------------------------------------------------------

const MethodDesc* PictMethodLookup(uint32_t method, uint32_t version) {
    static const uint8_t kKnown = 1;
    bool known = (method >= kPictGetPageCount && method < kPictWriteBmpFile) ||
                 (method == kPictWriteBmpFile && version >= kWriteBmpVersion);
    return known ? reinterpret_cast<const MethodDesc*>(&kKnown) : nullptr;
}

int32_t Rotate(PictRecord* p, int32_t degrees) {
    PictTurn turn = PictTurnOf(degrees);
    if (turn == kPictTurnNone) return 1;
    if (!p->dib || !p->bits) return 0;
    BITMAPINFOHEADER& h = p->dib->bmiHeader;
    uint8_t* out = nullptr;
    if (turn == kPictTurnHalf) {
        if (!DibRotateHalf(&h, p->bits, &out)) return 0;
    } else {
        BITMAPINFOHEADER turned;
        if (!DibRotateQuarter(&h, p->bits, turn == kPictTurnCounter, &turned, &out)) return 0;
        h.biWidth = turned.biWidth;
        h.biHeight = turned.biHeight;
        h.biSizeImage = turned.biSizeImage;
        std::swap(p->h.size, p->v.size);
    }
    LocalFreeMem(p->bits);
    p->bits = out;
    p->spoolMemo = SpoolImageMemo{};  // a turned image is a new one for the spool file
    UpdateScroll(p);
    ClearView(p);
    ClearBand(p);
    return 1;
}

// A rubber-band edge relative to the picture's image origin; 0 without a band.
int32_t BandEdge(const PictRecord* p, uint32_t method) {
    if (!p->sel || p->sel->band.top == 0) return 0;
    int32_t b = BorderWidth(p);
    const RECT& band = p->sel->band;
    switch (method) {
    case kPictGetZTop: return band.top - p->hdr.top - b;
    case kPictGetZBottom: return band.bottom - p->hdr.top - b;
    case kPictGetZLeft: return band.left - p->hdr.left - b;
    default: return band.right - p->hdr.left - b;
    }
}

int32_t PictMethodCall(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypePict, call);
    if (rc != 0) return rc;
    PictRecord* p = AsPict(rec);
    switch (call->method) {
    case kPictGetPageCount: return CtlReplyInt(static_cast<int32_t>(p->pageCount));
    case kPictRotate: {
        int32_t r = Rotate(p, CtlArgInt(call, 0, 0));
        if (r && PictTurnOf(CtlArgInt(call, 0, 0)) != kPictTurnNone) Redraw(p, true);
        return CtlReplyInt(r);
    }
    case kPictGetZTop: case kPictGetZBottom: case kPictGetZLeft: case kPictGetZRight:
        return CtlReplyInt(BandEdge(p, call->method));
    case kPictWriteBmpFile: {
        // A name is written as given or not at all (CallArgName): one that
        // holds a NUL, or does not fit a path, cannot be created.
        char name[MAX_PATH];
        const int32_t len = CallArgName(call, 0, name, sizeof name);
        if (len == 0) return CtlReplyInt(1);
        if (len == kCallArgNameRefused) return CtlReplyInt(kDibWriteNoCreate);
        return CtlReplyInt(p->dib ? DibWriteBmpFile(name, &p->dib->bmiHeader, p->bits) : kImgAbsent);
    }
    default: return kErrNoMethod;
    }
}

const ObjectOps kPictOps = {
    .show = PictShow,
    .hide = PictHide,
    .destroy = PictDestroy,
    .paint = PictPaint,
    .getProp = PictGetProp,
    .setProp = PictSetProp,
    .method = PictMethodCall,
};

// ---- Scrolling -------------------------------------------------------------------------------

int32_t PictOnScroll(ObjectRecord* rec, HWND bar, int32_t thumb, int32_t code) {
    if (!IsPict(rec)) return 0;
    PictRecord* p = AsPict(rec);
    bool vertical = bar == p->vBar;
    if (!vertical && bar != p->hBar) return 0;
    PictAxis& a = vertical ? p->v : p->h;
    uint32_t line = std::max<uint32_t>(kPictZoomUnit / std::max(p->zoom, 1u), 1);
    ScrollAction act = PictScrollAction(code, a.pos, a.range, line, a.step, thumb);
    if (!act.reports) return 0;
    // The bar objects of that orientation hear of it first; a handler run
    // while an event is posted may take the picture away.
    ObjectRef ref = ObjectRefOf(rec);
    uint8_t kind = vertical ? kKindVScrollBar : kKindHScrollBar;
    int guard = 0;
    for (ObjectRecord* b = p->barObjects; b && guard < kParentChainMax; b = b->next, ++guard)
        if (b->kind == kind) GfxPostAction(b, act);
    if (!ObjectRefAlive(ref) || !act.setPos) return 0;
    a.pos = static_cast<uint32_t>(act.position);
    SetBarsFromAxes(p);
    ClearBand(p);
    Redraw(p, false);
    return 0;
}

}  // namespace

HWND PictBarWindow(ObjectRecord* pict, bool vertical) {
    if (!IsPict(pict)) return nullptr;
    return vertical ? AsPict(pict)->vBar : AsPict(pict)->hBar;
}

void PictLinkScrollBar(ObjectRecord* pict, ObjectRecord* bar) {
    if (!IsPict(pict) || !bar) return;
    bar->next = AsPict(pict)->barObjects;
    AsPict(pict)->barObjects = bar;
}

void PictUnlinkScrollBar(ObjectRecord* pict, ObjectRecord* bar) {
    if (!pict || pict->kind != kKindPict || !bar) return;
    int guard = 0;
    for (ObjectRecord** at = &AsPict(pict)->barObjects; *at && guard < kParentChainMax; at = &(*at)->next, ++guard) {
        if (*at == bar) {
            *at = bar->next;
            bar->next = nullptr;
            return;
        }
    }
}

namespace {

// ---- AutoZoom: the mouse ----------------------------------------------------------------------

constexpr DWORD kTrackPollMs = 50;
constexpr int kButtonUpPolls = 4;

// The shown AutoZoom picture of a container whose image area holds the point.
PictRecord* PictAt(ObjectRecord* container, int32_t x, int32_t y) {
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c->kind != kKindPict || !(c->flags & kObjShown) || !(c->flags & kPictAutoZoom) || (c->flags & kPictStacked))
            continue;
        RECT area = ClientArea(AsPict(c));
        POINT pt = {x, y};
        if (PtInRect(&area, pt) && AsPict(c)->sel) return AsPict(c);
    }
    return nullptr;
}

// The part of the client area the image covers, in container coordinates.
RECT VisibleImage(const PictRecord* p) {
    RECT c = ClientArea(p);
    return ImageArea(p, c);
}

void PushHistory(PictRecord* p) {
    PictSelection* s = p->sel;
    if (s->historyCount >= kPictHistory) return;
    s->zooms[s->historyCount] = p->zoom;
    s->posH[s->historyCount] = p->h.pos;
    s->posV[s->historyCount] = p->v.pos;
    s->historyCount++;
}

bool PopHistory(PictRecord* p) {
    PictSelection* s = p->sel;
    if (s->historyCount == 0) return false;
    s->historyCount--;
    p->zoom = s->zooms[s->historyCount];
    p->h.pos = s->posH[s->historyCount];
    p->v.pos = s->posV[s->historyCount];
    return true;
}

void Rezoomed(PictRecord* p) {
    UpdateScroll(p);
    ClearView(p);
    ClearBand(p);
    Redraw(p, true);
}

void ZoomOut(PictRecord* p) {
    if (!PopHistory(p)) p->zoom = PictZoomOutStep(p->zoom);
    Rezoomed(p);
}

// The band's image pixels: minus the image origin, x 1000 / zoom, plus the positions.
uint32_t BandToImage(int32_t v, int32_t origin, uint32_t pos, uint32_t zoom) {
    int64_t d = std::max<int64_t>(static_cast<int64_t>(v) - origin, 0);
    return static_cast<uint32_t>(std::min<int64_t>(d * kPictZoomUnit / zoom + pos, 0xFFFFFFFFu));
}

void ZoomToSelection(PictRecord* p) {
    PushHistory(p);
    RECT c = ClientArea(p);
    const RECT& b = p->sel->band;
    uint32_t x0 = BandToImage(b.left, c.left, p->h.pos, p->zoom), x1 = BandToImage(b.right, c.left, p->h.pos, p->zoom);
    uint32_t y0 = BandToImage(b.top, c.top, p->v.pos, p->zoom), y1 = BandToImage(b.bottom, c.top, p->v.pos, p->zoom);
    if (x1 <= x0 || y1 <= y0) {
        PopHistory(p);
    } else {
        p->h.pos = x0;
        p->v.pos = y0;
        uint32_t z = PictFitZoom(c.right - c.left, c.bottom - c.top, x1 - x0, y1 - y0, kPictFitBoth);
        if (z) p->zoom = z;
    }
    Rezoomed(p);
}

// Takes the mouse messages of a drag until the left button goes up, the
// container loses the capture, or the button was released where this
// thread did not hear of it. move gets each point in container coordinates.
template <typename Move>
void TrackMouse(PictRecord* p, HWND wnd, Move move) {
    ObjectRef ref = ObjectRefOf(&p->hdr);
    SetCapture(wnd);
    int upPolls = 0;
    bool first = true;
    for (bool done = false; !done;) {
        if (GetCapture() != wnd || !ObjectRefAlive(ref)) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kTrackPollMs, QS_MOUSE);
        MSG m;
        bool took = false;
        while (!done && PeekMessageA(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
            took = true;
            POINT pt = {GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
            if (m.hwnd != wnd) MapWindowPoints(m.hwnd, wnd, &pt, 1);
            bool up = m.message == WM_LBUTTONUP;
            if (up && first) {
                first = false;
                continue;   // the release of the click that started it
            }
            first = false;
            if (m.message == WM_MOUSEMOVE || up) move(pt);
            if (up) done = true;
        }
        upPolls = !took && !(GetAsyncKeyState(VK_LBUTTON) & 0x8000) ? upPolls + 1 : 0;
        if (upPolls >= kButtonUpPolls) done = true;
    }
    if (GetCapture() == wnd) ReleaseCapture();
}

void InvertBand(PictRecord* p, HWND wnd) {
    HDC dc = GetDC(wnd);
    int32_t sx = 0, sy = 0;
    GfxContainerScroll(&p->hdr, &sx, &sy);
    DrawBand(p, dc, -sx, -sy);
    ReleaseDC(wnd, dc);
}

void RubberBand(PictRecord* p, HWND wnd, int32_t x, int32_t y) {
    RECT image = VisibleImage(p);
    if (p->sel->band.right > p->sel->band.left) InvertBand(p, wnd);
    SetRectEmpty(&p->sel->band);
    POINT anchor = {x, y};
    TrackMouse(p, wnd, [&](POINT pt) {
        if (!IsRectEmpty(&p->sel->band)) InvertBand(p, wnd);
        RECT r = {std::min(anchor.x, pt.x), std::min(anchor.y, pt.y), std::max(anchor.x, pt.x) + 1,
                  std::max(anchor.y, pt.y) + 1};
        IntersectRect(&p->sel->band, &r, &image);
        if (!IsRectEmpty(&p->sel->band)) InvertBand(p, wnd);
    });
}

void Pan(PictRecord* p, HWND wnd, int32_t x, int32_t y) {
    HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_SIZEALL));
    POINT last = {x, y};
    RECT image = VisibleImage(p);
    TrackMouse(p, wnd, [&](POINT pt) {
        if (!PtInRect(&image, pt)) return;
        int64_t unit = std::max<uint32_t>(kPictZoomUnit / p->zoom, 1);
        int64_t h = std::max<int64_t>(0, std::min<int64_t>(p->h.pos - (pt.x - last.x) * unit, p->h.range));
        int64_t v = std::max<int64_t>(0, std::min<int64_t>(p->v.pos - (pt.y - last.y) * unit, p->v.range));
        last = pt;
        if (h == p->h.pos && v == p->v.pos) return;
        p->h.pos = static_cast<uint32_t>(h);
        p->v.pos = static_cast<uint32_t>(v);
        SetBarsFromAxes(p);
        if (p->hdr.flags & kObjShown) {
            RedrawObject(&p->hdr, false);
            UpdateWindow(wnd);
        }
    });
    SetCursor(old);
}

void PictOnMouse(ObjectRecord* container, int32_t x, int32_t y, bool right, bool dblClick) {
    if (!container || !container->hwnd || !container->children) return;
    int32_t sx = 0, sy = 0;
    GfxContainerScroll(container->children, &sx, &sy);
    PictRecord* p = PictAt(container, x + sx, y + sy);
    if (!p) return;
    x += sx, y += sy;
    if (right) {
        if (dblClick) ZoomOut(p);
        else {
            ClearBand(p);
            Redraw(p, false);
        }
        return;
    }
    bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
    if (!dblClick) {
        if (alt && (p->hBar || p->vBar)) Pan(p, container->hwnd, x, y);
        else RubberBand(p, container->hwnd, x, y);
        return;
    }
    if (alt) return;
    if (!IsRectEmpty(&p->sel->band)) ZoomToSelection(p);
    else {
        p->zoom = PictZoomInStep(p->zoom);
        Rezoomed(p);
    }
}

// ---- Hand-over hooks ----------------------------------------------------------------------------

uint32_t* HookPageCount(PictRecord* p) { return p ? &p->pageCount : nullptr; }
uint32_t HookBackground(PictRecord* p) {
    if (!p) return kPngNoBackground;
    uint32_t color = ColorValueResolve(p->hdr.bgColor);
    return p->backStyle == kPictBackTransparent ? color | kPngUseBackground : color;
}
int HookTakeImage(PictRecord* p) { return p ? PictTakeDecodedImage(p) : kImgOk; }

bool HookFileDialog(char* path, size_t pathSize, int* filter) {
    if (!FileDialog(nullptr, 1)) return false;
    strncpy(path, gFileDlgName, pathSize - 1);
    path[pathSize - 1] = 0;
    *filter = static_cast<int>(gFileDlgFilterIndex);
    return true;
}

void PictRescale(ObjectRecord* rec, int32_t verticalPercent, int32_t horizontalPercent) {
    PictRecord* p = AsPict(rec);
    PropChange req = {};
    req.id = kPidScale;
    req.value = static_cast<int32_t>(static_cast<int64_t>(p->baseZoom) * std::max(verticalPercent, horizontalPercent) / 100);
    PictSetProp(rec, &req);
}

// Every shown picture that is not stacked under another one has its
// rectangle invalidated in the window that shows it; panels are walked into,
// each in its own window.
void InvalidatePicturesIn(ObjectRecord* container, HWND wnd, int* depth) {
    if (++*depth > kParentChainMax) return;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (ObjectIsWebView(c)) continue;
        if (c->kind == kKindPanel && c->hwnd) {
            InvalidatePicturesIn(c, c->hwnd, depth);
        } else if (c->kind == kKindPict && (c->flags & kObjShown) && !(c->flags & kPictStacked)) {
            int32_t sx, sy;
            GfxContainerScroll(c, &sx, &sy);
            RECT r = {c->left - sx, c->top - sy, c->right - sx, c->bottom - sy};
            InvalidateRect(wnd, &r, FALSE);
        }
    }
    --*depth;
}

// ---- Creation ------------------------------------------------------------------------------------

int LoadCreateImage(PictRecord* p, const ObjectCreateRecord* cr, uint16_t page) {
    const CrText& name = cr->texts[kPidPicture];
    if (name.text && name.length) {
        if (static_cast<uint8_t>(name.text[0]) == 4)
            return ImageLoadFromMemory(reinterpret_cast<const uint8_t*>(name.text), name.length, p, page);
        if (!ImageNameIsWhole(name.text, name.length)) return kImgNotOpened;
        char* copy = CtlCopyText(name.text, name.length);
        if (!copy) return kImgNoMemory;
        int rc = copy[0] == '@' ? ImageLoadNamedResource(p, copy + 1) : ImageLoadFromFile(copy, p, page);
        LocalFreeMem(copy);
        return rc;
    }
    if (name.text) return ImageLoadFromFile(nullptr, p, page);
    if (cr->given[kPidResource]) {
        int rc = ImageLoadFromResource(p, static_cast<uint32_t>(cr->values[kPidResource]));
        if (rc != kImgOk && gGuiOption2039 == 1) rc = ImageLoadFromResource(p, kFallbackResource);
        return rc;
    }
    return ImageLoadFromClipboard(p);
}

// The creation's ScrollBar value: 1, 2 and 4 as given; any other value but 3
// means both bars when the record's style asks for scroll bars, else none.
int32_t CreationBars(const ObjectCreateRecord* cr) {
    uint32_t bars = static_cast<uint32_t>(cr->scrollBar);
    if (bars == 0 || bars > static_cast<uint32_t>(kBarsVertical))
        return (cr->winStyle & (kWsVScroll | kWsHScroll)) ? kBarsBoth : kBarsNone;
    return static_cast<int32_t>(bars);
}

}  // namespace

ObjectRecord* PictCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ObjectRecord* rec = GfxCreateWindowless(kKindPict, sizeof(PictRecord), cr, code);
    if (!rec) return nullptr;
    PictRecord* p = AsPict(rec);
    p->pageCount = 1;
    if (rec->flags & kObj3D) {
        rec->fgColor = 0;
        if (cr->bdrColor.value == -1 && !cr->bdrColor.object) rec->bdrColor = 0;
        if (cr->bgColor.value == -1 && !cr->bgColor.object)
            rec->bgColor = rec->parent && rec->parent->handle == kHandleMainWindow ? k3DBgMain
                                                                                 : kColorIndexFlag + COLOR_BTNFACE;
    }
    if (CreateRecordValue(cr, kPidBorder, 0)) rec->flags |= kObjBorder;
    p->backStyle = cr->backStyle == kPictBackTransparent ? kPictBackTransparent : kPictBackOpaque;
    if (cr->texts[kPidAltText].text) p->altText = CtlCopyText(cr->texts[kPidAltText].text, cr->texts[kPidAltText].length);
    if (cr->texts[kPidUrlSource].text)
        p->urlSource = CtlCopyText(cr->texts[kPidUrlSource].text, cr->texts[kPidUrlSource].length);
    const uint16_t page = 1;   // the first page of a multi-page file
    int rc = LoadCreateImage(p, cr, page);
    if (rc == kImgOk && (p->h.size == 0 || p->v.size == 0)) rc = kImgInvalid;
    if (rc != kImgOk) {
        PictFreeImage(p);
        LocalFreeMem(p->altText);
        LocalFreeMem(p->urlSource);
        GfxFreeRecord(rec);
        *code = rc;
        return nullptr;
    }
    int32_t bars = CreationBars(cr);
    if (bars != kBarsNone) {
        rc = SetScrollBars(p, bars);
        if (rc != 0) {
            PictDestroy(rec);
            *code = rc;
            return nullptr;
        }
    }
    if (CreateRecordValue(cr, kPidAutoZoom, 0) && SetAutoZoom(p, true) != 0) {
        PictDestroy(rec);
        *code = kOpNoMemory;
        return nullptr;
    }
    int32_t scale = CreateRecordValue(cr, kPidScale, 0);
    if (CreateRecordValue(cr, kPidNoResize, 0)) {
        p->mode = kPictModeFixed;
    } else {
        int32_t as = CreateRecordValue(cr, kPidAutoScale, 0);
        if (as >= kAsFitWidth && as <= kAsKeep) SetAutoScale(p, as);
        rec->flags &= ~kPictRefit;
        if (as == kAsFill) {
            uint32_t fill = PictFillZoom(ClientW(p), ClientH(p), p->h.size, p->v.size) / 10;
            scale = fill >= 1 ? static_cast<int32_t>(std::min<uint32_t>(fill, kPictZoomMax / 10)) : 0;
        }
        if (as == kAsKeep && !scale) scale = 100;
    }
    if (p->mode & kPictModeFixed) p->zoom = kPictZoomUnit;
    else if (scale > 0) p->zoom = PictScaleToZoom(scale);
    else p->zoom = FittedZoom(p, false);
    p->baseZoom = std::max<uint32_t>(p->zoom / 10, 10);
    UpdateScroll(p);
    return GfxFinishCreate(rec, cr, code);
}

// A picture of a GDI bitmap that is not shown anywhere yet: placed at
// (1000, 1000) with the bitmap's size, its zoom fitted (at most 100 %), linked
// into the parent when asked. Captured windows and automation pictures make
// theirs this way.
ObjectRecord* PictCreateFromBitmap(HBITMAP bitmap, HPALETTE palette, ObjectRecord* parent, bool link,
                                   int32_t* code) {
    *code = kOpNoMemory;
    BITMAP bm = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) {
        *code = kImgInvalid;
        return nullptr;
    }
    ObjectRecord* rec = ObjectAllocRecord(kKindPict, sizeof(PictRecord), false);
    if (!rec) return nullptr;
    PictRecord* p = AsPict(rec);
    rec->flags |= kGfxWindowless;
    rec->parent = parent;
    p->pageCount = 1;
    p->backStyle = kPictBackOpaque;
    if (!ObjectSetRect(rec, kBarePictOrigin, bm.bmHeight, kBarePictOrigin, bm.bmWidth)) {
        GfxFreeRecord(rec);
        *code = kOpBadRect;
        return nullptr;
    }
    int rc = ImageFromBitmap(bitmap, palette);
    if (rc == kImgOk) rc = PictTakeDecodedImage(p);
    if (rc != kImgOk) {
        PictFreeImage(p);
        GfxFreeRecord(rec);
        *code = rc;
        return nullptr;
    }
    p->zoom = FittedZoom(p, false);
    p->baseZoom = std::max<uint32_t>(p->zoom / 10, 10);
    UpdateScroll(p);
    if (link && parent) LinkObject(rec);
    *code = 0;
    return rec;
}

ObjectRecord* PictCreateFromWindow(HWND window, ObjectRecord* parent, bool link, int32_t* code) {
    if (!window) window = GetDesktopWindow();
    // A window that shows nothing gives no picture, and no error either.
    if (!IsWindowVisible(window) || IsIconic(window)) {
        *code = 0;
        return nullptr;
    }
    HBITMAP bitmap = CaptureWindowBitmap(window);
    if (!bitmap) {
        *code = kPictNoCapture;
        return nullptr;
    }
    ObjectRecord* rec = PictCreateFromBitmap(bitmap, nullptr, parent, link, code);
    DeleteObject(bitmap);
    return rec;
}

void PictInvalidateAll(ObjectRecord* window) {
    if (!window || !window->hwnd) return;
    int depth = 0;
    InvalidatePicturesIn(window, window->hwnd, &depth);
}

// An activated window's pictures paint again with their palettes in front.
static void PictWindowActivated(ObjectRecord* window, bool active) {
    if (active) PictInvalidateAll(window);
}

bool PictImageOf(uint32_t handle, bool shownPart, const BITMAPINFOHEADER** header, const RGBQUAD** colors,
                 const void** bits, RECT* shown) {
    ObjectRecord* rec = ObjectFromHandle(handle);
    if (!IsPict(rec)) return false;
    PictRecord* p = AsPict(rec);
    if (!p->dib || !p->bits) return false;
    *header = &p->dib->bmiHeader;
    // What follows the header: the colour table, or for a bit-field image its
    // three masks, which printing hands on as the image's "colours".
    *colors = p->dib->bmiColors;
    *bits = p->bits;
    SetRectEmpty(shown);
    if (shownPart) {
        PictSpan sx = PictAxisPaint(p->h, ClientW(p), p->zoom), sy = PictAxisPaint(p->v, ClientH(p), p->zoom);
        *shown = RECT{sx.src, sy.src, sx.src + sx.srcLen, sy.src + sy.srcLen};
    }
    return true;
}

SpoolImageMemo* PictSpoolMemo(uint32_t handle) {
    ObjectRecord* rec = ObjectFromHandle(handle);
    return IsPict(rec) ? &AsPict(rec)->spoolMemo : nullptr;
}

HBITMAP PictBitmapOf(ObjectRecord* rec, HPALETTE* palette, int* error) {
    *palette = nullptr;
    *error = 0;
    if (!IsPict(rec) || !AsPict(rec)->dib) {
        *error = kImgAbsent;
        return nullptr;
    }
    PictRecord* p = AsPict(rec);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &p->dib->bmiHeader, CBM_INIT, p->bits, p->dib, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (!bitmap) *error = kImgNoMemory;
    return bitmap;
}

// A bitmap of the image a bare picture (no window, never linked, only its
// image is used) loads through load; none when it loads nothing.
static HBITMAP BareBitmap(ObjectRecord* window, int (*load)(PictRecord* p, const void* how), const void* how) {
    auto* p = static_cast<PictRecord*>(LocalAllocZero(sizeof(PictRecord)));
    if (!p) return nullptr;
    p->hdr.kind = kKindPict;
    p->hdr.parent = window;
    p->pageCount = 1;
    int rc = load(p, how);
    HBITMAP bitmap = nullptr;
    if (rc == kImgOk && p->dib) {
        HDC screen = GetDC(nullptr);
        bitmap = CreateDIBitmap(screen, &p->dib->bmiHeader, CBM_INIT, p->bits, p->dib, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
    }
    PictFreeImage(p);
    LocalFreeMem(p);
    return bitmap;
}

HBITMAP LoadBitmapByName(const char* name) {
    if (!name || !*name) return nullptr;
    return BareBitmap(nullptr, [](PictRecord* p, const void* how) {
        const char* n = static_cast<const char*>(how);
        return n[0] == '@' ? ImageLoadNamedResource(p, n + 1) : ImageLoadFromFile(n, p, 1);
    }, name);
}

HBITMAP LoadBitmapByNumber(uint32_t number, ObjectRecord* window) {
    return BareBitmap(window, [](PictRecord* p, const void* how) {
        return ImageLoadFromResource(p, *static_cast<const uint32_t*>(how));
    }, &number);
}

// A mask colour given as a system colour index (negative in the image-list
// writer's convention, the index being its low bits).
uint32_t DibSystemColor(int index) {
    int n = index < 0 ? -index : index;
    return static_cast<uint32_t>(n) < kSysColorCount ? GetSysColor(n) : 0;
}

void PictInstall() {
    RegisterObjectCreator(kTypePict, PictCreate);
    RegisterObjectOps(kKindPict, &kPictOps);
    RegisterMethodTable(kTypePict, PictMethodLookup);
    RegisterKindRescale(kKindPict, PictRescale);
    gGraphicsHooks.pictOnScroll = PictOnScroll;
    gGuiHooks.pictMouse = PictOnMouse;
    WindowEventSubscribe(kWindowActivated, PictWindowActivated);
    gImageLoadHooks.pictPageCount = HookPageCount;
    gImageLoadHooks.pictBackground = HookBackground;
    gImageLoadHooks.takeImage = HookTakeImage;
    gImageLoadHooks.fileDialog = HookFileDialog;
    gDibSystemColor = DibSystemColor;
}
