// shape.cpp - the Shape object (kind 26): a windowless ellipse, rectangle or
// rounded rectangle drawn with cached brushes and pens and a raster operation
// chosen by DrawMode; and the border rules Shape and Line share.
#include "graphics/drawcommon.h"
#include "graphics/gfxcommon.h"
#include "objects/color.h"
#include "objects/gdicache.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"

namespace {

enum ShapeKind : int32_t { kShapeEllipse = 1, kShapeRectangle = 2, kShapeRounded = 3 };
enum BackStyle : int32_t { kBackOpaque = 1, kBackTransparent = 2 };
constexpr int32_t kFillStyleMin = 1, kFillStyleMax = 8;
constexpr int32_t kRoundCorner = 30;
constexpr int32_t kShapeBdrWidthDefault = 1;

struct ShapeRecord {
    ObjectRecord hdr;
    uint32_t shape;
    uint32_t fillColor;
    uint32_t fillStyle;
    HBRUSH brush;
    DrawPen draw;
    uint8_t backStyle;
};

ShapeRecord* AsShape(ObjectRecord* rec) { return reinterpret_cast<ShapeRecord*>(rec); }

// A new cached brush; on success the old one is released and replaced.
bool ReplaceBrush(ShapeRecord* s, uint32_t color, uint32_t style) {
    HBRUSH b = BrushCacheGet(color, style, true);
    if (!b) return false;
    if (s->brush) BrushCacheRelease(s->brush);
    s->brush = b;
    return true;
}

int32_t ShapePaint(ObjectRecord* rec, void* dcArg, int32_t flag) {
    ShapeRecord* s = AsShape(rec);
    ObjectDCState st;
    RECT r;
    HDC dc = GfxObjectDC(rec, dcArg, &st, &r);
    if (!dc) return 0;
    DcKeep keep;
    DcKeepBegin(&keep, dc, !(flag & kPaintDcKept), s->brush, s->draw.pen, DrawModeRop2(s->draw.drawMode));
    // Hatches and styled borders show the background colour between their lines.
    if (s->fillStyle != kBrushSolid || DrawStyledPen(s->draw.bdrPattern))
        DcKeepBackground(&keep, ColorValueResolve(rec->bgColor), ColorValueResolve(rec->bdrColor),
                         s->backStyle == kBackOpaque ? OPAQUE : TRANSPARENT);
    if (s->shape == kShapeEllipse) Ellipse(dc, r.left, r.top, r.right, r.bottom);
    else if (s->shape == kShapeRounded) RoundRect(dc, r.left, r.top, r.right, r.bottom, kRoundCorner, kRoundCorner);
    else Rectangle(dc, r.left, r.top, r.right, r.bottom);
    DcKeepEnd(&keep);
    ReleaseObjectDC(&st);
    return 0;
}

int32_t ShapeDestroy(ObjectRecord* rec) {
    ShapeRecord* s = AsShape(rec);
    if (s->brush) BrushCacheRelease(s->brush);
    s->brush = nullptr;
    DrawPenDestroy(&s->draw);
    return ObjectDestroyWindowless(rec);
}

uint32_t ShapeGetProp(ObjectRecord* rec, uint32_t id) {
    ShapeRecord* s = AsShape(rec);
    uint32_t value;
    if (DrawPenGetProp(&s->draw, id, &value)) return value;
    switch (id) {
    case kPidBackStyle: return s->backStyle;
    case kPidFillColor: return s->fillColor;
    case kPidFillStyle: return s->fillStyle;
    case kPidShape: return s->shape;
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t ShapeSetProp(ObjectRecord* rec, PropChange* req) {
    ShapeRecord* s = AsShape(rec);
    int32_t v = req->value;
    switch (req->id) {
    case kPidBdrColor: case kPidDrawMode: case kPidBdrPattern:
        if (!DrawPenSetProp(&s->draw, rec, req->id, v)) return 0;
        break;
    case kPidBackStyle: s->backStyle = static_cast<uint8_t>(ValueInRange(v, kBackOpaque, kBackTransparent, kBackOpaque)); break;
    case kPidFillColor:
        if (ReplaceBrush(s, static_cast<uint32_t>(v), s->fillStyle)) s->fillColor = static_cast<uint32_t>(v);
        break;
    case kPidFillStyle: {
        uint32_t style = static_cast<uint32_t>(ValueInRange(v, kFillStyleMin, kFillStyleMax, kBrushSolid));
        if (ReplaceBrush(s, s->fillColor, style)) s->fillStyle = style;
        break;
    }
    case kPidShape: s->shape = static_cast<uint32_t>(ValueInRange(v, kShapeEllipse, kShapeRounded, kShapeRectangle)); break;
    case kPidBdrWidth: {
        uint8_t width = static_cast<uint8_t>(v & 0xFF);
        if (DrawReplacePen(&s->draw.pen, rec->bdrColor, s->draw.bdrPattern, width)) s->draw.bdrWidth = width;
        break;
    }
    default:
        return GfxSetCommonProp(rec, req);
    }
    // A change whose brush or pen could not be made kept the old one; the
    // shape is redrawn either way.
    GfxRedrawIfShown(rec, true);
    return 0;
}

const ObjectOps kShapeOps = {
    .show = ObjectShowWindowless,
    .hide = ObjectHideWindowless,
    .destroy = ShapeDestroy,
    .paint = ShapePaint,
    .getProp = ShapeGetProp,
    .setProp = ShapeSetProp,
};

}  // namespace

bool DrawBorderColor(int32_t value, uint32_t* color) {
    uint32_t v = static_cast<uint32_t>(value);
    if (v <= 0xFFFFFF) {
        *color = v;
        return true;
    }
    uint32_t index = v & ~kColorIndexFlag;
    if (index >= kSysColorCount) return false;
    *color = kColorIndexFlag + index;
    return true;
}

bool DrawReplacePen(HPEN* pen, uint32_t color, int32_t pattern, int32_t width) {
    HPEN p = PenCacheGet(color, static_cast<uint32_t>(pattern), static_cast<uint32_t>(width));
    if (!p) return false;
    if (*pen) PenCacheRelease(*pen);
    *pen = p;
    return true;
}

bool DrawPenCreate(DrawPen* d, const ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t widthDefault) {
    d->bdrWidth = static_cast<uint8_t>(ValueInRange(CreateRecordValue(cr, kPidBdrWidth, 0), kBdrWidthMin, kBdrWidthMax, widthDefault));
    d->bdrPattern = static_cast<uint8_t>(
        ValueInRange(CreateRecordValue(cr, kPidBdrPattern, 0), kBdrPatternMin, kBdrPatternMax, kBdrPatternDefault));
    d->drawMode = static_cast<uint8_t>(ValueInRange(CreateRecordValue(cr, kPidDrawMode, 0), 1, kDrawModeMax, kDrawModeDefault));
    d->pen = PenCacheGet(rec->bdrColor, d->bdrPattern, d->bdrWidth);
    return d->pen != nullptr;
}

void DrawPenDestroy(DrawPen* d) {
    if (d->pen) PenCacheRelease(d->pen);
    d->pen = nullptr;
}

bool DrawPenGetProp(const DrawPen* d, uint32_t id, uint32_t* value) {
    switch (id) {
    case kPidBdrWidth: *value = d->bdrWidth; return true;
    case kPidDrawMode: *value = d->drawMode; return true;
    case kPidBdrPattern: *value = d->bdrPattern; return true;
    default: return false;
    }
}

bool DrawPenSetProp(DrawPen* d, ObjectRecord* rec, uint32_t id, int32_t value) {
    switch (id) {
    case kPidBdrColor: {
        uint32_t color;
        if (!DrawBorderColor(value, &color)) return false;
        if (DrawReplacePen(&d->pen, color, d->bdrPattern, d->bdrWidth)) rec->bdrColor = color;
        return true;
    }
    case kPidDrawMode:
        d->drawMode = static_cast<uint8_t>(ValueInRange(value, 1, kDrawModeMax, kDrawModeDefault));
        return true;
    case kPidBdrPattern: {
        uint8_t pattern = static_cast<uint8_t>(ValueInRange(value, kBdrPatternMin, kBdrPatternMax, kBdrPatternDefault));
        if (DrawReplacePen(&d->pen, rec->bdrColor, pattern, d->bdrWidth)) d->bdrPattern = pattern;
        return true;
    }
    default: return false;
    }
}

ObjectRecord* ShapeCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ObjectRecord* rec = GfxCreateWindowless(kKindShape, sizeof(ShapeRecord), cr, code);
    if (!rec) return nullptr;
    ShapeRecord* s = AsShape(rec);
    s->shape = static_cast<uint32_t>(ValueInRange(CreateRecordValue(cr, kPidShape, 0), kShapeEllipse, kShapeRounded, kShapeRectangle));
    s->fillStyle = static_cast<uint32_t>(
        ValueInRange(CreateRecordValue(cr, kPidFillStyle, 0), kFillStyleMin, kFillStyleMax, kBrushSolid));
    s->backStyle = static_cast<uint8_t>(ValueInRange(cr->backStyle, kBackOpaque, kBackTransparent, kBackOpaque));
    int32_t fill = CreateRecordValue(cr, kPidFillColor, -1);
    s->fillColor = fill == -1 ? rec->bgColor : static_cast<uint32_t>(fill);
    s->brush = BrushCacheGet(s->fillColor, s->fillStyle, true);
    bool penMade = DrawPenCreate(&s->draw, rec, cr, kShapeBdrWidthDefault);
    if (!s->brush || !penMade) {
        ShapeDestroy(rec);
        *code = kOpNoMemory;
        return nullptr;
    }
    return GfxFinishCreate(rec, cr, code);
}

void ShapeInstall() {
    RegisterObjectCreator(kTypeShape, ShapeCreate);
    RegisterObjectOps(kKindShape, &kShapeOps);
}
