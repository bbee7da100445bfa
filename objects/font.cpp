// font.cpp - the shared FontRec list: fonts looked up by description and device,
// shared by use count, made from font texts, and freed with their last user.
#include "objects/font.h"

#include <cstdlib>
#include <cstring>

#include "objects/crstream.h"
#include "objects/objops.h"
#include "session/log.h"
#include "session/settings.h"
#include "session/util/mem.h"

FontRec* gFontList;
int gFontErrNo;
FontRec* gDefaultFontP;

static const char kDefaultFace[] = "MS Sans Serif";
static const int32_t kDefaultSize = 80;

static bool SameDevice(const FontRec* f, HDC dc, uint32_t deviceFlag) {
    if (!deviceFlag || !dc) return !f->deviceFlag;
    return f->deviceFlag && f->dc == dc;
}

// The GDI font of a description: the height follows the device's vertical
// resolution (the screen's when no device is given).
static HFONT FontMakeHandle(const FontRec* f) {
    HDC dc = f->deviceFlag ? f->dc : nullptr;
    HDC screen = nullptr;
    if (!dc) dc = screen = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    if (dpi <= 0) dpi = 96;
    LOGFONTA lf = {};
    lf.lfHeight = -MulDiv(f->size, dpi, 720);
    lf.lfEscapement = f->angle;
    lf.lfOrientation = f->angle;
    lf.lfWeight = f->bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = f->italic;
    lf.lfUnderline = f->underline;
    lf.lfStrikeOut = f->strike;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    // LOGFONT holds 31 characters of a face; GDI matches on that much anyway.
    // (The structure was zero-filled, so the copy stays terminated.)
    size_t n = strlen(f->face);
    if (n > LF_FACESIZE - 1) n = LF_FACESIZE - 1;
    memcpy(lf.lfFaceName, f->face, n);
    return CreateFontIndirectA(&lf);
}

FontRec* FontAddUse(FontRec* font) {
    if (!font) return nullptr;
    if (font->users >= kFontUsersMax) {
        gFontErrNo = kFontErrTooManyUsers;
        return nullptr;
    }
    ++font->users;
    return font;
}

FontRec* FontCreateShared(const char* face, int32_t size, uint8_t bold, uint8_t italic, uint8_t underline, HDC dc,
                          uint32_t deviceFlag, uint8_t strike, uint16_t angle) {
    if (!face) face = "";
    angle = static_cast<uint16_t>(angle % kFontAngleModulo);
    bold = bold ? 1 : 0;
    italic = italic ? 1 : 0;
    underline = underline ? 1 : 0;
    strike = strike ? 1 : 0;
    for (FontRec* f = gFontList; f; f = f->next) {
        if (f->size == size && f->bold == bold && f->italic == italic && f->underline == underline &&
            f->strike == strike && f->angle == angle && SameDevice(f, dc, deviceFlag) && !strcmp(f->face, face) &&
            f->hfont)
            return FontAddUse(f);
    }
    auto* f = static_cast<FontRec*>(LocalAllocZero(sizeof(FontRec)));
    if (!f) {
        gFontErrNo = kFontErrNoMemory;
        return nullptr;
    }
    size_t n = strlen(face);
    if (n > kFontFaceMax) n = kFontFaceMax;
    memcpy(f->face, face, n);
    f->size = size;
    f->bold = bold;
    f->italic = italic;
    f->underline = underline;
    f->strike = strike;
    f->angle = angle;
    if (deviceFlag && dc) {
        f->deviceFlag = 1;
        f->dc = dc;
    }
    f->hfont = FontMakeHandle(f);
    if (!f->hfont) {
        LocalFreeMem(f);
        gFontErrNo = kFontErrNoMemory;
        return nullptr;
    }
    f->users = 1;
    f->next = gFontList;
    gFontList = f;
    return f;
}

FontRec* FontWithPart(const FontRec* base, uint32_t id, int32_t value, const char* text, uint32_t length) {
    if (!base) return nullptr;
    FontSpec p = FontSpecOf(base);
    if (!FontSpecChangePart(&p, id, value, text, length)) return nullptr;
    return FontCreateShared(p.face, p.size, p.bold, p.italic, p.underline, nullptr, 0, p.strike, p.angle);
}

FontRec* FontCreateForDC(const FontRec* font, HDC dc, int32_t scale) {
    if (!font || scale <= 0) return nullptr;
    int32_t size = static_cast<int32_t>(static_cast<int64_t>(font->size) * scale / 1000);
    if (size <= 0) size = 1;
    return FontCreateShared(font->face, size, font->bold, font->italic, font->underline, dc, 1, font->strike,
                            font->angle);
}

FontRec* FontFromSpec(const void* spec, int32_t length, HDC dc, uint32_t deviceFlag) {
    if (length == -1) {
        FontRec* held = FontObjGetFont(static_cast<ObjectRecord*>(const_cast<void*>(spec)));
        if (!held) {
            gFontErrNo = kFontTextBadFace;
            return nullptr;
        }
        if (!deviceFlag || !dc || (held->deviceFlag && held->dc == dc)) return FontAddUse(held);
        return FontCreateShared(held->face, held->size, held->bold, held->italic, held->underline, dc, deviceFlag,
                                held->strike, held->angle);
    }
    FontSpec fs;
    int rc = FontTextParse(static_cast<const char*>(spec), length, kFontFaceMapStd, &fs);
    if (rc != kFontTextOk) {
        gFontErrNo = rc;
        return nullptr;
    }
    return FontCreateShared(fs.face, fs.size, fs.bold, fs.italic, fs.underline, dc, deviceFlag, fs.strike,
                            fs.angle);
}

static void FontFree(FontRec* font) {
    for (FontRec** link = &gFontList; *link; link = &(*link)->next) {
        if (*link == font) {
            *link = font->next;
            break;
        }
    }
    if (font->hfont) DeleteObject(font->hfont);
    if (gDefaultFontP == font) gDefaultFontP = nullptr;
    LocalFreeMem(font);
}

void FontRelease(FontRec* font) {
    if (!font) return;
    if (font->users > 0) --font->users;
    if (font->users == 0 && !font->permanent) FontFree(font);
}

void FontDestroyAll() {
    while (gFontList) FontFree(gFontList);
    gDefaultFontP = nullptr;
}

bool FontInitDefault() {
    if (gDefaultFontP) return true;
    const char* face = GetWinSetting(kCfgFont);
    const char* sizeText = GetWinSetting(kCfgFontSize);
    const char* boldText = GetWinSetting(kCfgFontBold);
    int32_t size = kDefaultSize;
    if (sizeText && atoi(sizeText) > 0 && atoi(sizeText) < 200) size = atoi(sizeText) * 10;
    uint8_t bold = boldText && atoi(boldText) ? 1 : 0;
    gDefaultFontP = FontCreateShared(face && *face ? face : kDefaultFace, size, bold, 0, 0, nullptr, 0, 0, 0);
    if (!gDefaultFontP) return false;
    gDefaultFontP->permanent = 1;
    return true;
}

uint32_t FontListCount() {
    uint32_t n = 0;
    for (FontRec* f = gFontList; f; f = f->next) ++n;
    return n;
}

// ---- Font objects (kind 19) -----------------------------------------------------------
struct FontObject {
    ObjectRecord hdr;
    FontRec* font;
};
static ObjectRecord* gFontObjList;

FontRec* FontObjGetFont(ObjectRecord* rec) {
    if (!rec || rec->kind != kKindFont) return nullptr;
    return reinterpret_cast<FontObject*>(rec)->font;
}

ObjectRecord* FontObjCreate(FontRec* font) {
    if (!font) return nullptr;
    auto* f = reinterpret_cast<FontObject*>(ObjectAllocRecord(kKindFont, sizeof(FontObject), false));
    if (!f) return nullptr;
    f->font = font;
    f->hdr.next = gFontObjList;
    gFontObjList = &f->hdr;
    return &f->hdr;
}

static int32_t FontObjDestroy(ObjectRecord* rec) {
    for (ObjectRecord** link = &gFontObjList; *link; link = &(*link)->next) {
        if (*link == rec) {
            *link = rec->next;
            break;
        }
    }
    FontRelease(reinterpret_cast<FontObject*>(rec)->font);
    reinterpret_cast<FontObject*>(rec)->font = nullptr;
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
    return 0;
}

void FontObjDestroyAll() {
    while (gFontObjList) FontObjDestroy(gFontObjList);
}

static uint32_t FontObjGetProp(ObjectRecord* rec, uint32_t id) {
    FontRec* f = FontObjGetFont(rec);
    if (!f) return 0;
    switch (id) {
    case kPidBold: return f->bold;
    case kPidItalic: return f->italic;
    case kPidSize: return static_cast<uint32_t>(f->size / 10);
    case kPidAngle: return f->angle;
    case kPidStrike: return f->strike;
    case kPidUnderline: return f->underline;
    case kPidFont:      // code 287 asks a Font object for its face
    case kPidFontName: {
        size_t n = strlen(f->face);
        memcpy(gTextBuf, f->face, n + 1);
        return 0;
    }
    default: return 0;
    }
}

// A style, size or angle change looks up the changed font and drops the old one.
static int32_t FontObjSetProp(ObjectRecord* rec, PropChange* req) {
    FontRec* f = FontObjGetFont(rec);
    if (!f) return kOpNoObject;
    uint8_t bold = f->bold, italic = f->italic, underline = f->underline, strike = f->strike;
    int32_t size = f->size;
    uint32_t angle = f->angle;
    switch (req->id) {
    case kPidBold: bold = req->value != 0; break;
    case kPidItalic: italic = req->value != 0; break;
    case kPidSize: size = req->value * 10; break;
    case kPidAngle: angle = static_cast<uint32_t>(req->value) % kFontAngleModulo; break;
    case kPidStrike: strike = req->value != 0; break;
    case kPidUnderline: underline = req->value != 0; break;
    default: return kOpNotAvailable;
    }
    if (size <= 0 || size > kFontSizeMax) return kOpNoFont;
    FontRec* nf = FontCreateShared(f->face, size, bold, italic, underline, f->deviceFlag ? f->dc : nullptr,
                                   f->deviceFlag, strike, static_cast<uint16_t>(angle));
    if (!nf) return kOpNoFont;
    FontRelease(f);
    reinterpret_cast<FontObject*>(rec)->font = nf;
    return 0;
}

const ObjectOps kFontObjOps = {
    .destroy = FontObjDestroy,
    .getProp = FontObjGetProp,
    .setProp = FontObjSetProp,
};

// The creator of Font objects: a font text in Font, or the face, size (in
// tenths of a point), bold and italic properties.
ObjectRecord* FontCreatorEntry(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    FontRec* font;
    CrText spec = CreateRecordText(cr, kPidFont);
    if (spec.length) {
        font = FontFromSpec(spec.text, static_cast<int32_t>(spec.length), nullptr, 0);
    } else {
        CrText face = CreateRecordText(cr, kPidFontName);
        char name[kFontFaceMax + 1];
        size_t n = face.length < sizeof name - 1 ? face.length : sizeof name - 1;
        memcpy(name, face.text ? face.text : "", n);
        name[n] = 0;
        font = FontCreateShared(n ? name : "Courier New", CreateRecordValue(cr, kPidSize, kFontDefaultSize),
                                CreateRecordValue(cr, kPidBold, 0) != 0, CreateRecordValue(cr, kPidItalic, 0) != 0, 0,
                                nullptr, 0, 0, 0);
    }
    if (!font) {
        *code = kOpNoFont;
        return nullptr;
    }
    ObjectRecord* rec = FontObjCreate(font);
    if (!rec) {
        FontRelease(font);
        *code = kOpNoMemory;
        return nullptr;
    }
    rec->ovar = cr->ovar;
    rec->objectId = cr->objectId;
    return rec;
}
