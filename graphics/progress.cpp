// progress.cpp - the Progress bar (kind 21): a windowless percentage bar drawn
// by the client, with its value, properties and paint.
#include <cstring>

#include "graphics/gfxcommon.h"
#include "graphics/gfxvalues.h"
#include "objects/color.h"
#include "objects/font.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"

namespace {

// The border needs this much room: wide 3-D, 3-D, flat.
constexpr int32_t kMinWide3D = 6, kMin3D = 4, kMinFlat = 2;
constexpr int32_t kShrinkWide3D = 3, kShrink3D = 1;

ProgressRecord* AsProgress(ObjectRecord* rec) { return reinterpret_cast<ProgressRecord*>(rec); }

// Draws one part of the bar: its background and the text clipped to it.
void FillPart(HDC dc, const RECT& part, COLORREF back, COLORREF textColor, const char* text, int x, int y,
              bool withText) {
    if (part.right <= part.left || part.bottom <= part.top) return;
    SetBkColor(dc, back);
    SetTextColor(dc, textColor);
    int n = withText ? static_cast<int>(strlen(text)) : 0;
    ExtTextOutA(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &part, text, static_cast<UINT>(n), nullptr);
}

void PaintInto(ProgressRecord* p, HDC dc, RECT r) {
    ObjectRecord* rec = &p->hdr;
    COLORREF bar = ColorValueResolve(rec->fgColor), empty = ColorValueResolve(rec->bgColor);
    int32_t w = r.right - r.left, h = r.bottom - r.top;
    p->horizontal = h <= w ? 1 : 0;
    bool three = (rec->flags & kObj3D) != 0, wide = three && (rec->flags & kGfxFlatBorder3D);
    int32_t need = wide ? kMinWide3D : three ? kMin3D : kMinFlat;
    if (w >= need && h >= need) {
        int32_t shrink = wide ? kShrinkWide3D : three ? kShrink3D : 0;
        InflateRect(&r, -shrink, -shrink);
        DrawBorder(dc, &r, rec->appearance, rec->bdrColor);
        InflateRect(&r, -1, -1);
        if (three) {
            FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
            InflateRect(&r, -1, -1);
        }
    }
    char text[8];
    ProgressText(p->value, text);
    HGDIOBJ oldFont = rec->font && rec->font->hfont ? SelectObject(dc, rec->font->hfont) : nullptr;
    SIZE ext = {};
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &ext);
    int x = r.left + (r.right - r.left - ext.cx) / 2, y = r.top + (r.bottom - r.top - ext.cy) / 2;
    if (x < r.left) x = r.left;   // a text too wide starts at the edge
    if (y < r.top) y = r.top;
    bool withText = p->percent != 0;
    RECT filled = r, rest = r;
    if (p->horizontal) {
        filled.right = r.left + ProgressFill(p->value, r.right - r.left);
        rest.left = filled.right;
    } else {
        // Vertical bars fill from the bottom.
        filled.top = r.bottom - ProgressFill(p->value, r.bottom - r.top);
        rest.bottom = filled.top;
    }
    FillPart(dc, filled, bar, empty, text, x, y, withText);
    FillPart(dc, rest, empty, bar, text, x, y, withText);
    if (oldFont) SelectObject(dc, oldFont);
}

int32_t ProgressPaint(ObjectRecord* rec, void* dcArg, int32_t) {
    ObjectDCState st;
    RECT r;
    HDC dc = GfxObjectDC(rec, dcArg, &st, &r);
    if (!dc) return 0;
    int saved = SaveDC(dc);
    PaintInto(AsProgress(rec), dc, r);
    RestoreDC(dc, saved);
    ReleaseObjectDC(&st);
    return 0;
}

uint32_t ProgressGetProp(ObjectRecord* rec, uint32_t id) {
    switch (id) {
    case kPidValue: return AsProgress(rec)->value;
    case kPidPercent: return AsProgress(rec)->percent;
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t ProgressSetProp(ObjectRecord* rec, PropChange* req) {
    switch (req->id) {
    case kPidValue: return ProgressSetValue(rec, 0, req->value);
    case kPidPercent:
        AsProgress(rec)->percent = req->value ? 1 : 0;
        GfxRedrawIfShown(rec, false);
        return 0;
    default: return GfxSetCommonProp(rec, req);
    }
}

const ObjectOps kProgressOps = {
    .show = ObjectShowWindowless,
    .hide = ObjectHideWindowless,
    .destroy = ObjectDestroyWindowless,
    .enable = ObjectEnableWindowless,
    .getValue = ProgressGetValue,
    .setValue = ProgressSetValue,
    .paint = ProgressPaint,
    .getProp = ProgressGetProp,
    .setProp = ProgressSetProp,
};

}  // namespace

int32_t ProgressSetValue(ObjectRecord* rec, int32_t item, int32_t value) {
    if (item != 0) return 0;
    AsProgress(rec)->value = ProgressClamp(value);
    GfxRedrawIfShown(rec, false);
    return 0;
}

ObjectRecord* ProgressCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ObjectRecord* rec = GfxCreateWindowless(kKindProgress, sizeof(ProgressRecord), cr, code);
    if (!rec) return nullptr;
    ObjectRecord* parent = rec->parent;
    CrText spec = CreateRecordText(cr, kPidFont);
    if (spec.text && spec.length) {
        rec->font = FontFromSpec(spec.text, static_cast<int32_t>(spec.length), nullptr, 0);
    } else {
        FontRec* inherited = parent && parent->font ? parent->font : gDefaultFontP;
        rec->font = inherited ? FontAddUse(inherited) : nullptr;
    }
    if (!rec->font) {
        GfxFreeRecord(rec);
        *code = kOpNoFont;
        return nullptr;
    }
    ProgressRecord* p = AsProgress(rec);
    p->value = ProgressClamp(CreateRecordValue(cr, kPidValue, 0));
    p->percent = CreateRecordValue(cr, kPidPercent, 1) ? 1 : 0;
    p->horizontal = rec->bottom - rec->top <= rec->right - rec->left ? 1 : 0;
    return GfxFinishCreate(rec, cr, code);
}

void ProgressInstall() {
    RegisterObjectCreator(kTypeProgress, ProgressCreate);
    RegisterObjectOps(kKindProgress, &kProgressOps);
}
