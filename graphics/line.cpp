// line.cpp - the Line object (kind 30): a windowless line between two end
// points, in character cells in the main (text) window and in window units
// elsewhere, with a grid to align to, base points for rescaling and a cached
// pen drawn with the DrawMode's raster operation.
#include "graphics/drawcommon.h"
#include "graphics/gfxcommon.h"
#include "objects/color.h"
#include "objects/guihooks.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"

namespace {

constexpr int32_t kPercent = 100;

struct LineRecord {
    ObjectRecord hdr;
    DrawPen draw;
    int32_t pt[4];              // X1, Y1, X2, Y2 in pixels of the parent's client area
    int32_t base[4];            // the same when the line was placed
};
enum PointIndex { kX1 = 0, kY1 = 1, kX2 = 2, kY2 = 3 };

LineRecord* AsLine(ObjectRecord* rec) { return reinterpret_cast<LineRecord*>(rec); }

// The line's rectangle: the box of its end points widened by its width.
RECT LineBox(const LineRecord* l) {
    int32_t w = l->draw.bdrWidth;
    RECT r = {(l->pt[kX1] < l->pt[kX2] ? l->pt[kX1] : l->pt[kX2]) - w, (l->pt[kY1] < l->pt[kY2] ? l->pt[kY1] : l->pt[kY2]) - w,
              (l->pt[kX1] > l->pt[kX2] ? l->pt[kX1] : l->pt[kX2]) + w, (l->pt[kY1] > l->pt[kY2] ? l->pt[kY1] : l->pt[kY2]) + w};
    return r;
}

void Place(LineRecord* l) {
    RECT r = LineBox(l);
    PositionObjectWindow(&l->hdr, &r);
}

// The grid of the line's top window, when it aligns to one (and the forms
// mode does not keep objects as they are).
bool GridOf(ObjectRecord* rec, int32_t* gx, int32_t* gy) {
    NativeWindowRecord* w = NativeWindowOf(ObjectTopWindow(rec));
    if (!w || !(w->winStyle & kWsGridAlign) || (gGuiModeFlags & kGuiModeKeepFlagged)) return false;
    *gx = w->gridSizeH;
    *gy = w->gridSizeV;
    return true;
}

bool InTextWindow(const ObjectRecord* rec) { return rec->parent && rec->parent == gMainWindowP; }

int32_t LinePaint(ObjectRecord* rec, void* dcArg, int32_t flag) {
    LineRecord* l = AsLine(rec);
    ObjectDCState st;
    RECT r;
    HDC dc = GfxObjectDC(rec, dcArg, &st, &r);
    if (!dc) return 0;
    int32_t dx = r.left - rec->left, dy = r.top - rec->top;
    DcKeep keep;
    DcKeepBegin(&keep, dc, !(flag & kPaintDcKept), nullptr, l->draw.pen, DrawModeRop2(l->draw.drawMode));
    // A styled line shows the background colour between its dashes.
    if (DrawStyledPen(l->draw.bdrPattern))
        DcKeepBackground(&keep, ColorValueResolve(rec->bgColor), ColorValueResolve(rec->bdrColor), GetBkMode(dc));
    MoveToEx(dc, l->pt[kX1] + dx, l->pt[kY1] + dy, nullptr);
    LineTo(dc, l->pt[kX2] + dx, l->pt[kY2] + dy);
    DcKeepEnd(&keep);
    ReleaseObjectDC(&st);
    return 0;
}

int32_t LineDestroy(ObjectRecord* rec) {
    DrawPenDestroy(&AsLine(rec)->draw);
    return ObjectDestroyWindowless(rec);
}

int PointOfProp(uint32_t id) {
    switch (id) {
    case kPidX1: return kX1;
    case kPidX2: return kX2;
    case kPidY1: return kY1;
    default: return kY2;
    }
}

// One end-point coordinate in window units, brought to pixels; the other
// points keep their pixels (a trip to units and back, truncated each way,
// could move them). A grid cuts the changed one.
void LineSetPoint(LineRecord* l, uint32_t id, int32_t value) {
    ObjectRecord* rec = &l->hdr;
    int index = PointOfProp(id);
    l->pt[index] = ConvertUnits(rec->parent, value, kToPixels);
    int32_t gx, gy;
    if (GridOf(rec, &gx, &gy)) l->pt[index] = GridTruncate(l->pt[index], index % 2 ? gy : gx);
    Place(l);
}

uint32_t LineGetProp(ObjectRecord* rec, uint32_t id) {
    LineRecord* l = AsLine(rec);
    uint32_t value;
    if (DrawPenGetProp(&l->draw, id, &value)) return value;
    switch (id) {
    case kPidX1: case kPidX2: case kPidY1: case kPidY2: {
        int index = PointOfProp(id);
        return static_cast<uint32_t>(ConvertUnits(rec->parent, l->pt[index], kToUnits));
    }
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t LineSetProp(ObjectRecord* rec, PropChange* req) {
    LineRecord* l = AsLine(rec);
    int32_t v = req->value;
    switch (req->id) {
    case kPidBdrColor: case kPidDrawMode: case kPidBdrPattern:
        if (!DrawPenSetProp(&l->draw, rec, req->id, v)) return 0;
        break;
    case kPidBdrWidth: {
        uint8_t width = static_cast<uint8_t>(v & 0xFF);
        if (DrawReplacePen(&l->draw.pen, rec->bdrColor, l->draw.bdrPattern, width)) {
            l->draw.bdrWidth = width;
            Place(l);   // the box grows with the width; placing repaints both areas
        }
        return 0;
    }
    case kPidX1: case kPidX2: case kPidY1: case kPidY2:
        LineSetPoint(l, req->id, v);
        return 0;
    default:
        return GfxSetCommonProp(rec, req);
    }
    GfxRedrawIfShown(rec, true);
    return 0;
}

const ObjectOps kLineOps = {
    .show = ObjectShowWindowless,
    .hide = ObjectHideWindowless,
    .destroy = LineDestroy,
    .paint = LinePaint,
    .getProp = LineGetProp,
    .setProp = LineSetProp,
};

}  // namespace

ObjectRecord* LineCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    // The end points: X1-Y2 of a saved form, else the rectangle fields
    // (either point may be left of or above the other).
    int32_t ends[4];
    CreateRecordLineEnds(cr, ends);
    int32_t keptWidth = cr->width, keptHeight = cr->height;
    cr->width = cr->height = 0;
    ObjectRecord* rec = GfxCreateWindowless(kKindLine, sizeof(LineRecord), cr, code);
    cr->width = keptWidth, cr->height = keptHeight;
    if (!rec) return nullptr;
    LineRecord* l = AsLine(rec);
    if (!InTextWindow(rec)) {
        rec->flags |= kObjPixels;
        RECT r = {ends[kX1], ends[kY1], ends[kX2], ends[kY2]};
        ConvertRectUnits(rec->parent, &r, kToPixels);
        l->pt[kX1] = r.left, l->pt[kY1] = r.top, l->pt[kX2] = r.right, l->pt[kY2] = r.bottom;
        int32_t gx, gy;
        if (GridOf(rec, &gx, &gy))
            for (int i = 0; i < 4; ++i) l->pt[i] = GridTruncate(l->pt[i], i % 2 ? gy : gx);
    } else {
        // End points lie in the middle of their character cells.
        for (int i = 0; i < 4; ++i) l->pt[i] = CellCenter(ends[i], i % 2 ? kCellHeight : kCellWidth);
    }
    if (!DrawPenCreate(&l->draw, rec, cr, kBdrWidthMin)) {
        LineDestroy(rec);
        *code = kOpNoMemory;
        return nullptr;
    }
    RECT box = LineBox(l);
    rec->left = box.left, rec->top = box.top, rec->right = box.right, rec->bottom = box.bottom;
    return GfxFinishCreate(rec, cr, code);
}

void LineSaveBasePoints(ObjectRecord* line) {
    if (!line || line->kind != kKindLine) return;
    LineRecord* l = AsLine(line);
    for (int i = 0; i < 4; ++i) l->base[i] = l->pt[i];
}

void LineRescale(ObjectRecord* line, int32_t verticalPercent, int32_t horizontalPercent) {
    if (!line || line->kind != kKindLine) return;
    LineRecord* l = AsLine(line);
    for (int i = 0; i < 4; ++i) {
        int64_t v = static_cast<int64_t>(l->base[i]) * (i % 2 ? verticalPercent : horizontalPercent) / kPercent;
        l->pt[i] = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
    }
    Place(l);
}

void LineInstall() {
    RegisterObjectCreator(kTypeLine, LineCreate);
    RegisterObjectOps(kKindLine, &kLineOps);
    RegisterKindSaveLayout(kKindLine, LineSaveBasePoints);
    RegisterKindRescale(kKindLine, LineRescale);
}
