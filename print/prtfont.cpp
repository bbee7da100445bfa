// prtfont.cpp - the fonts of print jobs: font texts, descriptions and Font
// objects made into the windows layer's shared fonts for the printer's device
// context, one use per job font.
#include "print/print.h"

#include "objects/objrecord.h"

// A font made for a printer is shared only on that device context: the job
// drops every use it took before its context is deleted, so a later context
// with the same handle value never finds a font of another device.
constexpr uint32_t kPrtFontDevice = 1;

// The reason of a failure goes to the error cell the server reads with 21271.
static FontRec* PrtFontResult(FontRec* font) {
    if (!font) gPrtErrNo = gFontErrNo;
    return font;
}

// A Font object named by its handle: its description made for the printer.
static FontRec* PrtFontFromObject(uint32_t fontObject, HDC dc) {
    ObjectRecord* rec = ObjectFromHandle(fontObject);
    if (!dc || !FontObjGetFont(rec)) {
        gPrtErrNo = kFontTextBadFace;
        return nullptr;
    }
    return PrtFontResult(FontFromSpec(rec, -1, dc, kPrtFontDevice));
}

FontRec* (*gPrtFontFromObject)(uint32_t fontObject, HDC dc) = PrtFontFromObject;

FontRec* PrtFontCreate(const char* face, int32_t size, PrtFontStyle style, uint16_t angle, HDC dc) {
    if (!dc || size <= 0 || size > kFontSizeMax) return nullptr;
    return PrtFontResult(FontCreateShared(face, size, style.bold, style.italic, style.underline, dc, kPrtFontDevice,
                                          style.strike, angle));
}

FontRec* PrtFontFromSpec(const char* text, size_t len, HDC dc) {
    if (!dc) return nullptr;
    // The text lies inside one server message, far below 2 GB.
    return PrtFontResult(FontFromSpec(text, static_cast<int32_t>(len), dc, kPrtFontDevice));
}

void PrtFontRelease(FontRec* font) { FontRelease(font); }
