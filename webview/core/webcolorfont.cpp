// webcolorfont.cpp - the Color and Font objects of the web-view mode: records
// without GDI objects on their own lists, the shared font lookup over the
// client's font list, font texts, font properties, and the HSV conversions of
// the Color object's methods.
#include <cmath>
#include <cstring>

#include "objects/font.h"
#include "objects/fonttext.h"
#include "objects/objops.h"
#include "objects/objrecord.h"
#include "objects/objtables.h"
#include "session/proto/protocol.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "webview/core/webchannel.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"

WebObjServices gWebObjServices;
ObjectRecord* gWebColorList;
ObjectRecord* gWebFontObjList;

namespace {

// Without the client's list (the host build) the lookups keep their own.
FontRec* gOwnFontList;
FontRec** FontListHead() { return gWebObjServices.fontList ? gWebObjServices.fontList : &gOwnFontList; }
int gOwnFontErrNo;
int* FontErrNo() { return gWebObjServices.fontErrNo ? gWebObjServices.fontErrNo : &gOwnFontErrNo; }

constexpr uint32_t kColorIndexBit = 0x80000000u;   // the rest indexes the colour table
constexpr uint32_t kColorTableIndexMask = 0xFF;
constexpr uint32_t kFaceTextMax = 240;
constexpr double kHueCircle = 360.0;
constexpr double kHueSector = 60.0;

enum ColorPart : uint32_t { kPartStored = 0, kPartRed = 1, kPartGreen = 2, kPartBlue = 3, kPartResolved = 4 };
constexpr uint32_t kFontMethodProbe = 1;
constexpr uint8_t kPointerResultKind = 255;   // a GetObjectAsPointer reply: the bound variable
constexpr size_t kArgNameMax = 256;

// Font property codes of the Font object.
enum FontPropCode : uint32_t {
    kFpBold = 267, kFpFace = 287, kFpItalic = 294, kFpSize = 324, kFpAngle = 518, kFpUnderline = 519,
    kFpStrike = 520,
};
constexpr uint32_t kQueryFormObject = 48;

enum FontStyleBit : int32_t { kFsItalic = 0x1, kFsBold = 0x2, kFsUnderline = 0x4, kFsStrike = 0x8 };

void Unlink(ObjectRecord** list, ObjectRecord* rec) {
    for (ObjectRecord** link = list; *link; link = &(*link)->next)
        if (*link == rec) {
            *link = rec->next;
            rec->next = nullptr;
            return;
        }
}

uint32_t Resolve(uint32_t value) {
    if (value & kColorIndexBit) {
        uint32_t index = value & kColorTableIndexMask;
        return gWebHooks.sysColor ? gWebHooks.sysColor(index) : 0;
    }
    return value;
}

uint8_t ByteOf(double v) {
    if (!(v > 0)) return 0;
    if (v >= 255) return 255;
    return static_cast<uint8_t>(v + 0.5);
}

}  // namespace

int WebFontErrNo() { return *FontErrNo(); }

bool StrEqualNoCase(const char* a, const char* b) {
    if (!a || !b) return a == b;
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return *a == *b;
}

// ---- Method arguments and answers ------------------------------------------------------

bool WebArgGiven(const MethodCallRec* call, uint32_t i) { return CallArgGiven(call, i); }

int32_t WebArgInt(const MethodCallRec* call, uint32_t i, int32_t def) { return CallArgInt(call, i, def); }

int32_t WebReplyInt(int32_t value) {
    if (gWebObjServices.replyInt) gWebObjServices.replyInt(value, kWebReplyKind);
    return kWebNoAnswer;
}

int32_t WebReplyText(const char* text) {
    if (gWebObjServices.replyText) gWebObjServices.replyText(text ? text : "");
    return kWebNoAnswer;
}

// AnsiToUtf8's flag for a NUL-terminated text of unknown length.
constexpr int kAnsiToUtf8Terminated = 1;

bool WebArgIsText(const MethodCallRec* call, uint32_t i) {
    if (!WebArgGiven(call, i)) return false;
    uint8_t kind = call->args[i].kind;
    return kind == kItemText || kind == kItemText8 || kind == kItemUtf8;
}

ObjectRecord* WebArgChild(ObjectRecord* container, const MethodCallRec* call) {
    if (!WebArgGiven(call, 0)) return nullptr;
    if (WebArgIsText(call, 0)) {
        char name[kArgNameMax];
        CallArgCopy(call, 0, name, sizeof name);
        return ObjectFindChildByKey(container, 0, name);
    }
    int32_t index = WebArgInt(call, 0, -1);
    return index >= 0 ? ObjectFindChildByKey(container, static_cast<uint32_t>(index), nullptr) : nullptr;
}

int32_t WebReplyBindObject(ObjectRecord* found, const MethodCallRec* call) {
    if (!found || found->ovar || call->result.kind != kItemObject) return WebReplyInt(0);
    found->ovar = call->result.varRef;
    if (gWebObjServices.replyInt)
        gWebObjServices.replyInt(static_cast<int32_t>(found->handle), static_cast<uint8_t>(ObjectKindToType(found->kind)));
    return kWebNoAnswer;
}

int32_t WebReplyObjectPointer(ObjectRecord* found) {
    if (!found) return WebReplyInt(0);
    if (gWebObjServices.replyInt) gWebObjServices.replyInt(static_cast<int32_t>(found->ovar), kPointerResultKind);
    return kWebNoAnswer;
}

int32_t WebReplyTextOf(const ObjectRecord* rec, const MethodCallRec* call, const char* text) {
    if (text && call && call->result.kind == kItemUtf8 && rec && !(rec->modeFlags & kModeUtf8Texts))
        AnsiToUtf8(&text, 0, kAnsiToUtf8Terminated);
    return WebReplyText(text);
}

int32_t WebCheckMethod(uint32_t objectType, const MethodCallRec* call) {
    if (!call) return kWebUnknownMethod;
    return gWebObjServices.checkMethod ? gWebObjServices.checkMethod(objectType, call) : 0;
}

// ---- HSV ---------------------------------------------------------------------------------

void RgbToHsv(double r, double g, double b, double* hue, double* sat, double* value) {
    double mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    double mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    double delta = mx - mn;
    *value = mx;
    if (mx == 0) {
        *hue = 0;
        *sat = 0;
        return;
    }
    *sat = delta / mx;
    if (delta == 0) {
        *hue = 0;
        return;
    }
    double h;
    if (r == mx) h = (g - b) / delta;
    else if (g == mx) h = 2 + (b - r) / delta;
    else h = 4 + (r - g) / delta;
    h *= kHueSector;
    if (h < 0) h += kHueCircle;
    *hue = h;
}

void HsvToRgb(double hue, double sat, double value, double* r, double* g, double* b) {
    if (sat <= 0 || std::isnan(hue)) {
        // A grey: all three are the value, whatever the hue (giving black for
        // a grey with a hue would not invert RgbToHsv).
        *r = *g = *b = value;
        return;
    }
    if (hue >= kHueCircle) hue = 0;
    int sector = static_cast<int>(hue / kHueSector);
    double f = hue / kHueSector - sector;
    double p = (1 - sat) * value, q = (1 - f * sat) * value, t = (1 - (1 - f) * sat) * value;
    switch (sector) {
    case 0: *r = value; *g = t; *b = p; break;
    case 1: *r = q; *g = value; *b = p; break;
    case 2: *r = p; *g = value; *b = t; break;
    case 3: *r = p; *g = q; *b = value; break;
    case 4: *r = t; *g = p; *b = value; break;
    default: *r = value; *g = p; *b = q; break;
    }
}

// ---- Color -------------------------------------------------------------------------------

ObjectRecord* WebColorAlloc() {
    ObjectRecord* rec = ObjectAllocRecord(kKindColor, sizeof(WebColorRec), true);
    if (!rec) return nullptr;
    rec->next = gWebColorList;
    gWebColorList = rec;
    return rec;
}

ObjectRecord* WebColorCreate(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code) {
    // The create request carries the colour as its Value (red in the low
    // byte, as the native Color reads it); without one no component is given.
    int32_t red = static_cast<int32_t>(kColorNoComponent), green = red, blue = red;
    if (cr->given[kPidValue]) {
        uint32_t v = static_cast<uint32_t>(cr->values[kPidValue]);
        red = static_cast<int32_t>(v & 0xFF);
        green = static_cast<int32_t>((v >> 8) & 0xFF);
        blue = static_cast<int32_t>((v >> 16) & 0xFF);
    }
    auto missing = [](int32_t v) { return static_cast<uint32_t>(v) >= kColorNoComponent; };
    if (missing(red) && missing(green) && missing(blue)) {
        *code = kWebNotCreated;
        return nullptr;
    }
    if (!rec) rec = WebColorAlloc();
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    if (cr->destroyGlobal == 0) rec->flags |= kObjKept;
    auto byteOf = [&](int32_t v) { return missing(v) ? 0u : static_cast<uint32_t>(v) & 0xFF; };
    reinterpret_cast<WebColorRec*>(rec)->value = byteOf(red) | byteOf(green) << 8 | byteOf(blue) << 16;
    rec->ovar = cr->ovar;
    rec->objectId = cr->objectId;
    *code = 0;
    return rec;
}

void WebColorDestroy(ObjectRecord* rec) {
    if (!rec) return;
    Unlink(&gWebColorList, rec);
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
}

void WebClrDestroyAll() {
    ObjectRecord** link = &gWebColorList;
    while (*link) {
        ObjectRecord* rec = *link;
        if (rec->flags & kObjKept) {
            link = &rec->next;
            continue;
        }
        *link = rec->next;
        rec->next = nullptr;
        ObjectFreeCommon(rec);
        ObjectFreeRecord(rec);
    }
}

uint32_t WebColorGetValue(const ObjectRecord* rec, uint32_t part) {
    if (!rec) return 0;
    uint32_t stored = reinterpret_cast<const WebColorRec*>(rec)->value;
    uint32_t resolved = Resolve(stored);
    switch (part) {
    case kPartStored: return stored;
    case kPartRed: return resolved & 0xFF;
    case kPartGreen: return (resolved >> 8) & 0xFF;
    case kPartBlue: return (resolved >> 16) & 0xFF;
    case kPartResolved: return resolved;
    default: return 0;
    }
}

void WebColorSetValue(ObjectRecord* rec, uint32_t part, uint32_t value) {
    if (!rec) return;
    uint32_t& stored = reinterpret_cast<WebColorRec*>(rec)->value;
    if (part == kPartStored) {
        stored = value;
        return;
    }
    if (part < kPartRed || part > kPartBlue) return;
    uint32_t c = Resolve(stored);
    uint32_t shift = 8 * (part - kPartRed);
    stored = (c & ~(0xFFu << shift)) | ((value & 0xFF) << shift);
}

// Hue and saturation travel as bytes: hue x 255 / 360 and saturation x 255,
// both ways, so that setting what method 2 answered gives the colour back
// (the bare formulas would truncate a hue of 300 to 44 and any saturation to 0).
int32_t WebColorMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = WebCheckMethod(kTypeColor, call);
    if (rc != 0) return rc;
    switch (call->method) {
    case kColorProbe:
        return WebReplyInt(1);
    case kColorGetHsv: {
        double h, s, v;
        RgbToHsv(WebColorGetValue(rec, kPartRed), WebColorGetValue(rec, kPartGreen), WebColorGetValue(rec, kPartBlue),
                 &h, &s, &v);
        uint32_t hb = ByteOf(h * kHsvScale / kHueCircle), sb = ByteOf(s * kHsvScale), vb = ByteOf(v);
        return WebReplyInt(static_cast<int32_t>(hb | sb << 8 | vb << 16));
    }
    case kColorSetHsv: {
        double hue = (WebArgInt(call, 0, 0) & 0xFF) * kHueCircle / kHsvScale;
        double sat = (WebArgInt(call, 1, 0) & 0xFF) / static_cast<double>(kHsvScale);
        double val = WebArgInt(call, 2, 0) & 0xFF;
        double r, g, b;
        HsvToRgb(hue, sat, val, &r, &g, &b);
        reinterpret_cast<WebColorRec*>(rec)->value = ByteOf(r) | ByteOf(g) << 8 | static_cast<uint32_t>(ByteOf(b)) << 16;
        return WebReplyInt(0);
    }
    default:
        return kWebUnknownMethod;
    }
}

// ---- Fonts -------------------------------------------------------------------------------

FontRec* WebFontFind(const char* face, int32_t size, uint8_t bold, uint8_t italic, uint8_t underline,
                     uint8_t strike, uint32_t angle) {
    const char* mapped = FontFaceFromKeyword(kFontFaceMapStd, face ? face : "");
    if (mapped) face = mapped;
    if (!face) face = "";
    FontRec** head = FontListHead();
    for (FontRec* f = *head; f; f = f->next) {
        if (f->deviceFlag) continue;   // fonts made for a printer are not shared
        if (f->size == size && f->bold == bold && f->italic == italic && f->underline == underline &&
            f->strike == strike && strcmp(f->face, face) == 0) {
            if (f->users >= kFontUsersMax) {
                *FontErrNo() = kFontErrTooManyUsers;
                return nullptr;
            }
            f->users++;
            return f;
        }
    }
    FontRec* f = static_cast<FontRec*>(LocalAllocZero(sizeof(FontRec)));
    if (!f) {
        *FontErrNo() = kFontErrNoMemory;
        return nullptr;
    }
    f->users = 1;
    f->angle = static_cast<uint16_t>(angle % kFontAngleModulo);
    f->size = size;
    f->bold = bold;
    f->italic = italic;
    f->underline = underline;
    f->strike = strike;
    size_t n = strlen(face);
    if (n > kFontFaceMax) n = kFontFaceMax;
    memcpy(f->face, face, n);
    f->face[n] = 0;
    f->next = *head;
    *head = f;
    return f;
}

void WebFontRelease(FontRec* font) {
    if (!font) return;
    if (gWebObjServices.fontRelease) return gWebObjServices.fontRelease(font);
    if (font->users > 0) --font->users;
    if (font->users || font->permanent) return;
    for (FontRec** link = FontListHead(); *link; link = &(*link)->next)
        if (*link == font) {
            *link = font->next;
            break;
        }
    LocalFreeMem(font);
}

FontRec* WebFontFromSpec(const char* text, int32_t length) {
    FontSpec spec;
    int rc = FontTextParse(text, text ? length : 0, kFontFaceMapStd, &spec);
    if (rc != kFontTextOk) {
        *FontErrNo() = rc;
        return nullptr;
    }
    return WebFontFind(spec.face, spec.size, spec.bold, spec.italic, spec.underline, spec.strike, spec.angle);
}

ObjectRecord* WebFontObjAlloc(FontRec* font) {
    if (!font) return nullptr;
    if (font->users >= kFontUsersMax) return nullptr;
    ObjectRecord* rec = ObjectAllocRecord(kKindFont, sizeof(WebFontObj), true);
    if (!rec) return nullptr;
    font->users++;
    reinterpret_cast<WebFontObj*>(rec)->font = font;
    rec->next = gWebFontObjList;
    gWebFontObjList = rec;
    return rec;
}

// The face of a creation record: quotes around it and then a leading '>' go;
// with a '.' only the part after it counts, without its quotes.
static void CreationFace(const ObjectCreateRecord* cr, char* out, size_t outSize) {
    CrText t = CreateRecordText(cr, kPidFontName);
    const char* p = t.text ? t.text : "";
    uint32_t n = t.text ? t.length : 0;
    if (n >= 2 && p[0] == '\'' && p[n - 1] == '\'') {
        ++p;
        n -= 2;
    }
    if (n && p[0] == '>') {
        ++p;
        --n;
    }
    if (n > kFaceTextMax) n = kFaceTextMax;
    const char* dot = static_cast<const char*>(memchr(p, '.', n));
    if (dot) {
        n -= static_cast<uint32_t>(dot + 1 - p);
        p = dot + 1;
        if (n && p[0] == '\'') {
            ++p;
            --n;
        }
        if (n && p[n - 1] == '\'') --n;
    }
    if (n >= outSize) n = static_cast<uint32_t>(outSize - 1);
    memcpy(out, p, n);
    out[n] = 0;
}

ObjectRecord* WebFontCreate(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code) {
    int32_t styles = cr->style;
    char face[kFaceTextMax + 1];
    CreationFace(cr, face, sizeof face);
    uint8_t italic = (styles & kFsItalic) || CreateRecordValue(cr, kPidItalic, 0) ? 1 : 0;
    uint8_t bold = (styles & kFsBold) || CreateRecordValue(cr, kPidBold, 0) ? 1 : 0;
    FontRec* font = WebFontFind(face, CreateRecordValue(cr, kPidSize, kFontDefaultSize), bold, italic,
                                (styles & kFsUnderline) ? 1 : 0, (styles & kFsStrike) ? 1 : 0,
                                static_cast<uint32_t>(CreateRecordValue(cr, kPidAngle, 0)));
    if (!font) {
        if (rec) WebFontDestroy(rec);
        *code = kWebNoFont;
        return nullptr;
    }
    if (!rec) {
        rec = ObjectAllocRecord(kKindFont, sizeof(WebFontObj), true);
        if (!rec) {
            WebFontRelease(font);
            *code = kWebNoMemory;
            return nullptr;
        }
        rec->next = gWebFontObjList;
        gWebFontObjList = rec;
    }
    reinterpret_cast<WebFontObj*>(rec)->font = font;
    if (cr->destroyGlobal == 0) rec->flags |= kObjKept;
    rec->ovar = cr->ovar;
    rec->objectId = cr->objectId;
    *code = 0;
    return rec;
}

void WebFontDestroy(ObjectRecord* rec) {
    if (!rec) return;
    Unlink(&gWebFontObjList, rec);
    WebFontRelease(reinterpret_cast<WebFontObj*>(rec)->font);
    reinterpret_cast<WebFontObj*>(rec)->font = nullptr;
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
}

void WebFontDestroyAll() {
    ObjectRecord** link = &gWebFontObjList;
    while (*link) {
        ObjectRecord* rec = *link;
        if (rec->flags & kObjKept) {
            link = &rec->next;
            continue;
        }
        *link = rec->next;
        rec->next = nullptr;
        WebFontRelease(reinterpret_cast<WebFontObj*>(rec)->font);
        reinterpret_cast<WebFontObj*>(rec)->font = nullptr;
        ObjectFreeCommon(rec);
        ObjectFreeRecord(rec);
    }
}

int32_t WebFontGetProp(ObjectRecord* rec, PropQuery* req) {
    FontRec* f = rec ? reinterpret_cast<WebFontObj*>(rec)->font : nullptr;
    if (!f) return kWebNotCreated;
    req->text = nullptr;
    switch (req->code) {
    case kFpBold: req->result = f->bold ? 1 : 0; break;
    case kFpItalic: req->result = f->italic ? 1 : 0; break;
    case kFpUnderline: req->result = f->underline ? 1 : 0; break;
    case kFpStrike: req->result = f->strike ? 1 : 0; break;
    case kFpAngle: req->result = f->angle; break;
    case kFpSize: req->result = f->size; break;
    case kFpFace:
        if (req->form == kQueryFormObject) {
            ObjectRecord* obj = WebFontObjAlloc(f);
            if (!obj) return kWebNoMemory;
            req->resultObject = obj;
            break;
        }
        strncpy(gTextBuf, f->face, kTextBufSize);
        gTextBuf[kTextBufSize] = 0;
        req->text = gTextBuf;
        break;
    default:
        return kWebNotAvailable;
    }
    return 0;
}

int32_t WebFontSetProp(ObjectRecord* rec, const PropChange* req) {
    FontRec* f = rec ? reinterpret_cast<WebFontObj*>(rec)->font : nullptr;
    if (!f) return kWebNotCreated;
    uint8_t bold = f->bold, italic = f->italic, underline = f->underline, strike = f->strike;
    int32_t size = f->size;
    uint32_t angle = f->angle;
    uint8_t on = req->value ? 1 : 0;
    switch (req->code) {
    case kFpBold: bold = on; break;
    case kFpItalic: italic = on; break;
    case kFpUnderline: underline = on; break;
    case kFpStrike: strike = on; break;
    case kFpAngle: angle = static_cast<uint32_t>(req->value) % kFontAngleModulo; break;
    case kFpSize: size = req->value; break;
    default: return 0;
    }
    // The angle is no part of the match: a record that differs only by its
    // angle is a new one, so the lookup is told to make it.
    FontRec* found = WebFontFind(f->face, size, bold, italic, underline, strike, angle);
    if (!found) return kWebNoFont;
    if (found->angle != angle) {
        if (found->users == 1) {
            found->angle = static_cast<uint16_t>(angle);
        } else {
            found->users--;
            FontRec* fresh = static_cast<FontRec*>(LocalAllocZero(sizeof(FontRec)));
            if (!fresh) return kWebNoFont;
            *fresh = *found;
            fresh->users = 1;
            fresh->angle = static_cast<uint16_t>(angle);
            FontRec** head = FontListHead();
            fresh->next = *head;
            *head = fresh;
            found = fresh;
        }
    }
    reinterpret_cast<WebFontObj*>(rec)->font = found;
    WebFontRelease(f);
    return 0;
}

int32_t WebFontMethod(ObjectRecord*, MethodCallRec* call) {
    int32_t rc = WebCheckMethod(kTypeFont, call);
    if (rc != 0) return rc;
    return call->method == kFontMethodProbe ? WebReplyInt(1) : kWebUnknownMethod;
}

// ---- The font of a new object ------------------------------------------------------------

static FontRec* ShareFont(FontRec* f) {
    if (!f || f->users >= kFontUsersMax) return nullptr;
    f->users++;
    return f;
}

bool WebInheritFont(ObjectRecord* top, ObjectRecord* rec, const ObjectCreateRecord* cr, bool allowDefault) {
    static const char kDefaultFont[] = "System(9)";
    FontRec* f = nullptr;
    CrText spec = CreateRecordText(cr, kPidFont);
    CrText face = CreateRecordText(cr, kPidFontName);
    if (spec.text && spec.length) {
        f = WebFontFromSpec(spec.text, static_cast<int32_t>(spec.length));
    } else if (face.text && face.length && cr->given[kPidSize]) {
        char name[kFontFaceMax + 1];
        uint32_t n = face.length < kFontFaceMax ? face.length : kFontFaceMax;
        memcpy(name, face.text, n);
        name[n] = 0;
        f = WebFontFind(name, CreateRecordValue(cr, kPidSize, kFontDefaultSize), CreateRecordValue(cr, kPidBold, 0) ? 1 : 0,
                        CreateRecordValue(cr, kPidItalic, 0) ? 1 : 0, 0, 0, 0);
    }
    if (!f && top && top != rec && top != gWebMainWindow) f = ShareFont(top->font);
    if (!f && (allowDefault || rec->kind == kKindWindow))
        f = WebFontFromSpec(kDefaultFont, static_cast<int32_t>(sizeof kDefaultFont - 1));
    if (!f && gWebUncheckedGeometry && top && top != rec) f = ShareFont(top->font);
    if (rec->font) WebFontRelease(rec->font);
    rec->font = f;
    return f != nullptr;
}
