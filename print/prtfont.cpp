// prtfont.cpp - the fonts of print jobs: a font text or a description made
// into a GDI font for the printer's device context. The windows layer's shared
// fonts take this over once they are there; everything goes through these
// three functions so the change stays here.
#include "print/print.h"

#include <cstdio>
#include <cstring>

#include "objects/font.h"
#include "objects/objrecord.h"
#include "session/util/mem.h"

// A Font object named by its handle: its description made for the printer.
static PrtFont* PrtFontFromObject(uint32_t fontObject, HDC dc) {
    ObjectRecord* rec = ObjectFromHandle(fontObject);
    FontRec* font = rec ? FontObjGetFont(rec) : nullptr;
    if (!font || font->size <= 0) return nullptr;
    return PrtFontCreate(font->face, static_cast<uint32_t>(font->size), font->bold, font->italic, font->underline,
                         font->strike, font->angle, dc);
}

PrtFont* (*gPrtFontFromObject)(uint32_t fontObject, HDC dc) = PrtFontFromObject;

// The font texts name the PDF families; on a printer they are these faces.
struct PrtFaceMap {
    const char* family;
    const char* face;
};
static const PrtFaceMap kPrtFaces[] = {
    {"Courier", "Courier New"},
    {"Helvetica", "Arial"},
    {"Times", "Times New Roman"},
};

PrtFont* PrtFontCreate(const char* face, uint32_t size, bool bold, bool italic, bool underline, bool strike,
                       uint16_t angle, HDC dc) {
    if (!dc || !size) return nullptr;
    PrtFont* f = static_cast<PrtFont*>(LocalAllocZero(sizeof(PrtFont)));
    if (!f) return nullptr;
    // Size in tenths of a point: 720 tenths to the inch.
    int height = -MulDiv(static_cast<int>(size), GetDeviceCaps(dc, LOGPIXELSY), 720);
    f->font = CreateFontA(height, 0, angle, angle, bold ? FW_BOLD : FW_NORMAL, italic, underline, strike,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, face);
    if (!f->font) {
        LocalFreeMem(f);
        return nullptr;
    }
    f->size = size;
    f->angle = angle;
    f->bold = bold;
    f->italic = italic;
    f->underline = underline;
    f->strikeOut = strike;
    snprintf(f->face, sizeof f->face, "%s", face);
    return f;
}

PrtFont* PrtFontFromSpec(const char* text, size_t len, HDC dc) {
    PdfFontSpec spec;
    if (PdfParseFontSpec(text, len, &spec) != 0) return nullptr;
    const char* face = spec.face;
    for (const PrtFaceMap& m : kPrtFaces)
        if (!strcmp(spec.face, m.family)) face = m.face;
    return PrtFontCreate(face, spec.size, spec.bold, spec.italic, spec.underline, spec.strikeOut, spec.angle, dc);
}

void PrtFontRelease(PrtFont* font) {
    if (!font) return;
    DeleteObject(font->font);
    LocalFreeMem(font);
}
