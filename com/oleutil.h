// oleutil.h - small conversions at every COM boundary: HIMETRIC units, texts
// between 8-bit (ANSI or UTF-8) and UTF-16 in one shared buffer, fonts and
// pictures as OLE objects, and OLE start-up for the windows layer.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdint>

struct FontRec;
struct ObjectRecord;

// ---- Units: 1 HIMETRIC = 1/100 mm. hdc may be null: the screen then. ------------
int HimetricToPixelsX(HDC hdc, int v);
int HimetricToPixelsY(HDC hdc, int v);
int PixelsToHimetricX(HDC hdc, int v);
int PixelsToHimetricY(HDC hdc, int v);
void PixelsToHimetric(HDC hdc, const SIZE* size, SIZE* out);

// ---- The shared conversion buffer ----------------------------------------------
// One growable buffer serves every conversion below: a result lasts until the
// next conversion. capacity counts UTF-16 units; the block always has room for
// a terminator beyond it.
struct WideTempBuf {
    wchar_t* data;
    uint32_t capacity;
};
extern WideTempBuf gWideTemp;
constexpr uint32_t kWideTempStep = 1000;          // the static size and the growth step
constexpr uint32_t kWideTempMax = 64u << 20;      // no conversion asks for more units

// Makes room for units characters; answers the capacity, 0 when it cannot.
uint32_t WideTempReserve(uint64_t units);
// Frees a grown buffer and returns to the static one.
void WideTempFree();

// A null input gives null and converts nothing; so does a failed reservation.
wchar_t* AnsiToWideTemp(const char* text);
wchar_t* AnsiToWideTempN(const char* text, int n, int* count);
wchar_t* Utf8ToWideTempN(const char* text, int n, int* count);
char* WideToAnsiTemp(const wchar_t* wide);
char* WideToAnsiTempN(const wchar_t* wide, int n);
char* WideToUtf8TempN(const wchar_t* wide, int n, int* count);

// ---- Fonts and pictures as OLE objects -------------------------------------------
// The FONTDESC of a LOGFONTA: the face in UTF-16 (in the conversion buffer),
// 0.75 point per pixel of height, weight, charset and the three styles.
void FontDescFromLogFont(const LOGFONTA* lf, FONTDESC* fd);
// An IFontDisp for a GDI font, or null when the font cannot be read.
IFontDisp* FontHandleToIFontDisp(HFONT font);
// The same for a shared FontRec; a null record gives null.
IFontDisp* FontToIFontDisp(const FontRec* font);

// A picture object of a copy of the icon (the picture owns and destroys its
// copy; the caller keeps its own icon). Null when the icon cannot be copied.
IPictureDisp* IconToIPictureDisp(HICON icon);
// A bitmap picture that takes ownership of bitmap (palette: the stock default
// palette when none is given).
IPictureDisp* BitmapToIPictureDisp(HBITMAP bitmap, HPALETTE palette);

// What the picture conversion needs from the object model: the bitmap and
// palette of a Pict object, and the icon another object holds.
struct OlePictHooks {
    // A bitmap the caller owns; null and *error non-zero on failure.
    HBITMAP (*pictBitmap)(ObjectRecord* rec, HPALETTE* palette, int* error);
    HICON (*objectIcon)(ObjectRecord* rec);
    // Objects made from images, filled by the picture facility: a picture of a
    // window, a picture of a bitmap and an icon showing a copy of an icon
    // handle (the handles stay the caller's); null with *code.
    ObjectRecord* (*pictFromWindow)(HWND window, ObjectRecord* parent, bool link, int32_t* code);
    ObjectRecord* (*pictFromBitmap)(HBITMAP bitmap, HPALETTE palette, ObjectRecord* parent, bool link,
                                    int32_t* code);
    ObjectRecord* (*iconFromHandle)(HICON icon, ObjectRecord* parent, int32_t* code);
};
extern OlePictHooks gOlePictHooks;
// An object of the picture held in a VARIANT (an OLE picture read through its
// automation properties Type, Handle and hPal), linked to the main window:
// a Pict for a bitmap picture, an Icon for an icon picture. Null with *code:
// -50 when the picture is of the other type or cannot be read.
ObjectRecord* PictCreateFromVariant(const VARIANT* v, int32_t* code);
ObjectRecord* IconCreateFromVariant(const VARIANT* v, int32_t* code);
// A Pict object (kind 11) gives a bitmap picture, any other object a picture
// of a copy of its icon. A null record, or a hook not yet filled, gives null.
IPictureDisp* PictToIPictureDisp(ObjectRecord* rec);

// ---- OLE start-up for the windows layer's hooks -------------------------------------
bool ComOleInit();
void ComOleUninit();
