// gdicache.cpp - brushes and pens shared by colour and style: at most 200 of
// each, found by value, counted by use, deleted with their last user.
#include "objects/gdicache.h"

#include "objects/color.h"

struct BrushCacheEntry {
    HBRUSH brush;
    COLORREF color;
    uint32_t style;
    uint32_t users;
};
struct PenCacheEntry {
    HPEN pen;
    COLORREF color;
    uint32_t style, width;
    uint32_t users;
};

static BrushCacheEntry gBrushCache[kBrushCacheSize];
static PenCacheEntry gPenCache[kPenCacheSize];

// The hatch of a brush style, or -1 for a style that is none.
static int BrushHatch(uint32_t style) {
    switch (style) {
    case kBrushHorizontal: return HS_HORIZONTAL;
    case kBrushVertical: return HS_VERTICAL;
    case kBrushFDiagonal: return HS_FDIAGONAL;
    case kBrushBDiagonal: return HS_BDIAGONAL;
    case kBrushCross: return HS_CROSS;
    case kBrushDiagCross: return HS_DIAGCROSS;
    default: return -1;
    }
}

// A full cache gives up a brush that was only borrowed (no user counts it):
// borrowers use theirs at once (control colours while painting), so the slot
// can serve again rather than every distinct colour holding one for good.
static BrushCacheEntry* ReclaimBorrowedBrush() {
    for (BrushCacheEntry& e : gBrushCache) {
        if (e.brush && e.users == 0) {
            DeleteObject(e.brush);
            e = BrushCacheEntry{};
            return &e;
        }
    }
    return nullptr;
}

HBRUSH BrushCacheGet(uint32_t color, uint32_t style, bool addUse) {
    // The null brush is a stock object: never created, counted or deleted.
    if (style == kBrushNull) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    int hatch = BrushHatch(style);
    if (style != kBrushSolid && hatch < 0) return nullptr;
    COLORREF rgb = ColorValueResolve(color);
    BrushCacheEntry* freeSlot = nullptr;
    for (BrushCacheEntry& e : gBrushCache) {
        if (e.brush && e.color == rgb && e.style == style) {
            if (addUse) ++e.users;
            return e.brush;
        }
        if (!e.brush && !freeSlot) freeSlot = &e;
    }
    if (!freeSlot) freeSlot = ReclaimBorrowedBrush();
    if (!freeSlot) return nullptr;
    HBRUSH brush = style == kBrushSolid ? CreateSolidBrush(rgb) : CreateHatchBrush(hatch, rgb);
    if (!brush) return nullptr;
    freeSlot->brush = brush;
    freeSlot->color = rgb;
    freeSlot->style = style;
    // A brush borrowed without a use stays cached until a full cache needs its slot.
    freeSlot->users = addUse ? 1 : 0;
    return brush;
}

void BrushCacheRelease(HBRUSH brush) {
    if (!brush) return;
    for (BrushCacheEntry& e : gBrushCache) {
        if (e.brush != brush) continue;
        if (e.users > 0 && --e.users == 0) {
            DeleteObject(e.brush);
            e = BrushCacheEntry{};
        }
        return;
    }
}

HPEN PenCacheGet(uint32_t color, uint32_t style, uint32_t width) {
    COLORREF rgb = ColorValueResolve(color);
    PenCacheEntry* freeSlot = nullptr;
    for (PenCacheEntry& e : gPenCache) {
        if (e.pen && e.color == rgb && e.style == style && e.width == width) {
            ++e.users;
            return e.pen;
        }
        if (!e.pen && !freeSlot) freeSlot = &e;
    }
    if (!freeSlot) return nullptr;
    HPEN pen = CreatePen(static_cast<int>(style), static_cast<int>(width), rgb);
    if (!pen) return nullptr;
    *freeSlot = PenCacheEntry{pen, rgb, style, width, 1};
    return pen;
}

void PenCacheRelease(HPEN pen) {
    if (!pen) return;
    for (PenCacheEntry& e : gPenCache) {
        if (e.pen != pen) continue;
        if (e.users > 0 && --e.users == 0) {
            DeleteObject(e.pen);
            e = PenCacheEntry{};
        }
        return;
    }
}

void GdiCacheCleanup() {
    for (BrushCacheEntry& e : gBrushCache) {
        if (e.brush) DeleteObject(e.brush);
        e = BrushCacheEntry{};
    }
    for (PenCacheEntry& e : gPenCache) {
        if (e.pen) DeleteObject(e.pen);
        e = PenCacheEntry{};
    }
}

uint32_t BrushCacheCount() {
    uint32_t n = 0;
    for (const BrushCacheEntry& e : gBrushCache) n += e.brush ? 1 : 0;
    return n;
}

uint32_t PenCacheCount() {
    uint32_t n = 0;
    for (const PenCacheEntry& e : gPenCache) n += e.pen ? 1 : 0;
    return n;
}
