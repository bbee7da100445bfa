// font.h - shared GDI fonts: the FontRec list with its use counts, fonts from
// descriptions and font texts, and the Font object (kind 19).
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
// The host build reads FontRec (the web-view mode's fonts have no GDI handle).
typedef struct HFONT__* HFONT;
typedef struct HDC__* HDC;
#endif

#include <cstdint>

#include "objects/fonttext.h"

struct ObjectRecord;
struct ObjectCreateRecord;

// One shared font: a face, size and styles on one target device.
struct FontRec {
    FontRec* next;
    HFONT hfont;            // none for the web-view mode's records
    uint16_t users;         // at most kFontUsersMax
    uint16_t angle;         // tenths of a degree, below 3600
    int32_t size;           // tenths of a point
    uint8_t bold, italic, underline, strike;
    uint8_t permanent;      // never freed by FontRelease (the client's own fonts)
    uint8_t deviceFlag;     // non-zero: made for dc, shared only on that device
    HDC dc;                 // the target device when deviceFlag is set
    char face[kFontFaceMax + 1];
};

constexpr uint16_t kFontUsersMax = 65000;
// Error numbers a failed lookup leaves in gFontErrNo.
constexpr int kFontErrNoMemory = 21;
constexpr int kFontErrTooManyUsers = 30;

extern FontRec* gFontList;
extern int gFontErrNo;      // the reason of the last failure: 21, 24-30
extern FontRec* gDefaultFontP;  // the permanent font of windows without one

// The shared FontRec for the description on the device (dc none or deviceFlag 0:
// the screen). A match gains a user; a new record starts with one. Null with
// gFontErrNo 30 when the match already has 65,000 users, 21 without memory.
FontRec* FontCreateShared(const char* face, int32_t size, uint8_t bold, uint8_t italic, uint8_t underline, HDC dc,
                          uint32_t deviceFlag, uint8_t strike, uint16_t angle);
// The same font for another device at a per-mille scale (preview fonts), or null.
FontRec* FontCreateForDC(const FontRec* font, HDC dc, int32_t scale);
// A FontRec from a font text of length bytes, or, with length -1, from a Font
// object record passed as spec. Null on failure (gFontErrNo tells why).
FontRec* FontFromSpec(const void* spec, int32_t length, HDC dc, uint32_t deviceFlag);
// A font's description.
inline FontSpec FontSpecOf(const FontRec* f) {
    FontSpec s = {};
    for (uint32_t i = 0; i < kFontFaceMax && f->face[i]; ++i) s.face[i] = f->face[i];
    s.size = f->size;
    s.angle = f->angle;
    s.bold = f->bold;
    s.italic = f->italic;
    s.underline = f->underline;
    s.strike = f->strike;
    return s;
}
// The shared screen font like base with one part changed, or null: not such
// a part, no face text, or no font (gFontErrNo tells why).
FontRec* FontWithPart(const FontRec* base, uint32_t id, int32_t value, const char* text, uint32_t length);
// One more user of a font already held; null when it has 65,000.
FontRec* FontAddUse(FontRec* font);
// Drops one use; the last use of a font that is not permanent frees it.
void FontRelease(FontRec* font);
// Frees every FontRec, permanent ones too (the end of the process).
void FontDestroyAll();
// Creates the permanent default font (QOVWIN_FONT / QOVWIN_FSIZE / QOVWIN_FBOLD).
bool FontInitDefault();
uint32_t FontListCount();

// The FontRec a Font object (kind 19) holds, or null when rec is none.
FontRec* FontObjGetFont(ObjectRecord* rec);
// A Font object holding one use of font (taken over from the caller); null without memory.
ObjectRecord* FontObjCreate(FontRec* font);
void FontObjDestroyAll();
// The creator registered for ObjectType Font.
struct ObjectCreateRecord;
ObjectRecord* FontCreatorEntry(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
struct ObjectOps;
extern const ObjectOps kFontObjOps;
