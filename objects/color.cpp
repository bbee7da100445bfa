// color.cpp - the colour table with the system colours, the resolution of colour
// values, and the Color object (kind 18).
#include "objects/color.h"

#include "objects/crstream.h"
#include "objects/objcreate.h"
#include "objects/objops.h"
#include "objects/objrecord.h"

COLORREF gColorTable[kColorTableSize];

COLORREF ColorValueResolve(uint32_t value) {
    if (value & kColorIndexFlag) return gColorTable[value & 0xFF];
    return value & 0xFFFFFF;
}

void UpdateSysColors() {
    for (uint32_t i = 0; i < kSysColorCount; ++i) gColorTable[i] = GetSysColor(static_cast<int>(i));
}

// ---- Color objects -------------------------------------------------------------------
struct ColorRec {
    ObjectRecord hdr;
    uint32_t value;
};
ObjectRecord* gColorList;

uint32_t ColorObjGetValue(const ObjectRecord* rec, uint32_t fallback) {
    if (!rec || rec->kind != kKindColor) return fallback;
    return reinterpret_cast<const ColorRec*>(rec)->value;
}

static int32_t ColorDestroy(ObjectRecord* rec) {
    for (ObjectRecord** link = &gColorList; *link; link = &(*link)->next) {
        if (*link == rec) {
            *link = rec->next;
            break;
        }
    }
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}

ObjectRecord* ColorObjCreate(uint32_t value) {
    auto* c = reinterpret_cast<ColorRec*>(ObjectAllocRecord(kKindColor, sizeof(ColorRec), false));
    if (!c) return nullptr;
    c->value = value;
    c->hdr.next = gColorList;
    gColorList = &c->hdr;
    return &c->hdr;
}

void ColorDestroyAll() {
    while (gColorList) ColorDestroy(gColorList);
}

static uint32_t ColorGetProp(ObjectRecord* rec, uint32_t id) {
    COLORREF rgb = ColorValueResolve(ColorObjGetValue(rec, 0));
    switch (id) {
    case kPidValue: return ColorObjGetValue(rec, 0);
    default: return rgb;
    }
}

static int32_t ColorSetProp(ObjectRecord* rec, PropChange* req) {
    if (req->id != kPidValue) return kOpNotAvailable;
    reinterpret_cast<ColorRec*>(rec)->value = static_cast<uint32_t>(req->value);
    return 0;
}

// The value operations by part: 0 the value as stored (a table index stays
// one), 1-3 red, green and blue of the resolved colour, 4 the resolved COLORREF.
enum ColorPart : int32_t { kColorPartStored = 0, kColorPartRed = 1, kColorPartBlue = 3, kColorPartResolved = 4 };

static int32_t ColorGetValue(ObjectRecord* rec, int32_t part, int32_t* value) {
    uint32_t stored = ColorObjGetValue(rec, 0);
    COLORREF rgb = ColorValueResolve(stored);
    if (part == kColorPartStored) *value = static_cast<int32_t>(stored);
    else if (part >= kColorPartRed && part <= kColorPartBlue) *value = (rgb >> (8 * (part - kColorPartRed))) & 0xFF;
    else if (part == kColorPartResolved) *value = static_cast<int32_t>(rgb);
    else *value = 0;
    return 0;
}

static int32_t ColorSetValue(ObjectRecord* rec, int32_t part, int32_t value) {
    auto* c = reinterpret_cast<ColorRec*>(rec);
    if (part == kColorPartStored) {
        c->value = static_cast<uint32_t>(value);
    } else if (part >= kColorPartRed && part <= kColorPartBlue) {
        // A table index is resolved first: one component of a system colour
        // makes a plain colour.
        uint32_t shift = 8 * static_cast<uint32_t>(part - kColorPartRed);
        COLORREF rgb = ColorValueResolve(c->value);
        c->value = (rgb & ~(0xFFu << shift)) | ((static_cast<uint32_t>(value) & 0xFF) << shift);
    }
    return 0;
}

const ObjectOps kColorObjOps = {
    .destroy = ColorDestroy,
    .getValue = ColorGetValue,
    .setValue = ColorSetValue,
    .getProp = ColorGetProp,
    .setProp = ColorSetProp,
};

// The creator of Color objects: the colour is the creation record's Value; a
// Color without one is refused.
ObjectRecord* ColorCreatorEntry(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    if (!cr->given[kPidValue]) {
        *code = kOpNoObject;
        return nullptr;
    }
    ObjectRecord* rec = ColorObjCreate(static_cast<uint32_t>(cr->values[kPidValue]));
    if (!rec) {
        *code = kOpNoMemory;
        return nullptr;
    }
    rec->ovar = cr->ovar;
    rec->objectId = cr->objectId;
    return rec;
}
