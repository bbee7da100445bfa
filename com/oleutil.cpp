// oleutil.cpp - the conversions at COM boundaries: pixels and HIMETRIC, texts in
// the shared UTF-16 buffer, FontRec to IFontDisp, objects to IPictureDisp.
#include "com/oleutil.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "com/autoglue.h"
#include "com/core/varrules.h"
#include "objects/font.h"
#include "objects/objrecord.h"
#include "session/util/mem.h"

namespace {

constexpr int kHimetricPerInch = 2540;
// FONTDESC sizes are currency values (1/10000 point); a pixel of height is
// 0.75 point at the 96 dpi the OLE font object assumes.
constexpr LONGLONG kCyPerPixel = 7500;

// The static buffer: 1000 units and room for a terminator.
wchar_t gWideStatic[kWideTempStep + 2];

// The resolution of hdc, or of the screen when hdc is null or reports none (a
// zero resolution would make MulDiv answer -1).
int DeviceDpi(HDC hdc, int index) {
    int dpi = hdc ? GetDeviceCaps(hdc, index) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = GetDeviceCaps(screen, index);
        ReleaseDC(nullptr, screen);
    }
    return dpi;
}

}  // namespace

WideTempBuf gWideTemp = {gWideStatic, kWideTempStep};
OlePictHooks gOlePictHooks;

// ---- Units ----------------------------------------------------------------------

int HimetricToPixelsX(HDC hdc, int v) { return MulDiv(DeviceDpi(hdc, LOGPIXELSX), v, kHimetricPerInch); }
int HimetricToPixelsY(HDC hdc, int v) { return MulDiv(DeviceDpi(hdc, LOGPIXELSY), v, kHimetricPerInch); }
int PixelsToHimetricX(HDC hdc, int v) { return MulDiv(kHimetricPerInch, v, DeviceDpi(hdc, LOGPIXELSX)); }
int PixelsToHimetricY(HDC hdc, int v) { return MulDiv(kHimetricPerInch, v, DeviceDpi(hdc, LOGPIXELSY)); }

void PixelsToHimetric(HDC hdc, const SIZE* size, SIZE* out) {
    // One device for both axes: hdc only when it reports a horizontal resolution.
    HDC dc = hdc && GetDeviceCaps(hdc, LOGPIXELSX) ? hdc : nullptr;
    out->cx = MulDiv(kHimetricPerInch, size->cx, DeviceDpi(dc, LOGPIXELSX));
    out->cy = MulDiv(kHimetricPerInch, size->cy, DeviceDpi(dc, LOGPIXELSY));
}

// ---- The shared conversion buffer -------------------------------------------------

uint32_t WideTempReserve(uint64_t units) {
    if (units <= gWideTemp.capacity) return gWideTemp.capacity;
    if (units > kWideTempMax) return 0;
    // Rounded up to the next thousand and one thousand more, plus a terminator.
    uint32_t capacity = static_cast<uint32_t>(units / kWideTempStep * kWideTempStep + kWideTempStep);
    wchar_t* block = static_cast<wchar_t*>(LocalAllocZero(static_cast<size_t>(capacity) * 2 + 4));
    if (!block) return 0;
    if (gWideTemp.data != gWideStatic) LocalFreeMem(gWideTemp.data);
    gWideTemp.data = block;
    gWideTemp.capacity = capacity;
    return capacity;
}

void WideTempFree() {
    if (gWideTemp.data != gWideStatic) LocalFreeMem(gWideTemp.data);
    gWideTemp.data = gWideStatic;
    gWideTemp.capacity = kWideTempStep;
}

wchar_t* AnsiToWideTemp(const char* text) {
    if (!text) return nullptr;
    uint64_t n = strlen(text);
    if (!WideTempReserve(n + 1)) return nullptr;
    int got = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(n) + 1, gWideTemp.data,
                                  static_cast<int>(gWideTemp.capacity));
    if (got == 0) return nullptr;
    return gWideTemp.data;
}

static wchar_t* ToWideTempN(UINT codePage, const char* text, int n, int* count) {
    if (count) *count = 0;
    if (!text || n < 0) return nullptr;
    if (!WideTempReserve(static_cast<uint64_t>(n) + 1)) return nullptr;
    int got = n ? MultiByteToWideChar(codePage, 0, text, n, gWideTemp.data, static_cast<int>(gWideTemp.capacity)) : 0;
    if (n && got == 0) return nullptr;
    // Counted results are terminated too, so a caller may also read them as text.
    gWideTemp.data[got] = 0;
    if (count) *count = got;
    return gWideTemp.data;
}

wchar_t* AnsiToWideTempN(const char* text, int n, int* count) { return ToWideTempN(CP_ACP, text, n, count); }
wchar_t* Utf8ToWideTempN(const char* text, int n, int* count) { return ToWideTempN(CP_UTF8, text, n, count); }

// The 8-bit results share the same block: capacity units are 2 x capacity bytes.
static char* FromWideTemp(UINT codePage, const wchar_t* wide, int n, uint64_t units, int* count) {
    if (count) *count = 0;
    if (!wide || n < -1) return nullptr;
    if (!WideTempReserve(units)) return nullptr;
    char* out = reinterpret_cast<char*>(gWideTemp.data);
    int room = static_cast<int>(gWideTemp.capacity) * 2;
    int got = n ? WideCharToMultiByte(codePage, 0, wide, n, out, room, nullptr, nullptr) : 0;
    if (n && got == 0) return nullptr;
    if (n == -1) got--;  // the terminator was converted
    out[got] = 0;
    if (count) *count = got;
    return out;
}

char* WideToAnsiTemp(const wchar_t* wide) {
    if (!wide) return nullptr;
    // A double-byte code page writes at most two bytes per unit: n + 1 units hold them.
    return FromWideTemp(CP_ACP, wide, -1, wcslen(wide) + 1, nullptr);
}

char* WideToAnsiTempN(const wchar_t* wide, int n) {
    if (n < 0) return nullptr;
    return FromWideTemp(CP_ACP, wide, n, static_cast<uint64_t>(n) + 1, nullptr);
}

char* WideToUtf8TempN(const wchar_t* wide, int n, int* count) {
    if (n < 0) {
        if (count) *count = 0;
        return nullptr;
    }
    return FromWideTemp(CP_UTF8, wide, n, 4 * static_cast<uint64_t>(n) + 1, count);
}

// ---- Fonts ------------------------------------------------------------------------

void FontDescFromLogFont(const LOGFONTA* lf, FONTDESC* fd) {
    memset(fd, 0, sizeof *fd);
    fd->cbSizeofstruct = sizeof(FONTDESC);
    fd->lpstrName = AnsiToWideTemp(lf->lfFaceName);
    fd->cySize.int64 = static_cast<LONGLONG>(labs(lf->lfHeight)) * kCyPerPixel;
    fd->sWeight = static_cast<SHORT>(lf->lfWeight);
    fd->sCharset = lf->lfCharSet;
    fd->fItalic = lf->lfItalic != 0;
    fd->fUnderline = lf->lfUnderline != 0;
    fd->fStrikethrough = lf->lfStrikeOut != 0;
}

IFontDisp* FontHandleToIFontDisp(HFONT font) {
    LOGFONTA lf;
    if (!font || GetObjectA(font, sizeof lf, &lf) != sizeof lf) return nullptr;
    FONTDESC fd;
    FontDescFromLogFont(&lf, &fd);
    IFontDisp* disp = nullptr;
    if (FAILED(OleCreateFontIndirect(&fd, IID_IFontDisp, reinterpret_cast<void**>(&disp)))) return nullptr;
    return disp;
}

IFontDisp* FontToIFontDisp(const FontRec* font) { return font ? FontHandleToIFontDisp(font->hfont) : nullptr; }

// ---- Pictures --------------------------------------------------------------------------

static IPictureDisp* PictureFromDesc(PICTDESC* pd) {
    IPictureDisp* disp = nullptr;
    if (FAILED(OleCreatePictureIndirect(pd, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(&disp)))) return nullptr;
    return disp;
}

IPictureDisp* IconToIPictureDisp(HICON icon) {
    if (!icon) return nullptr;
    // The picture destroys its icon when released: it gets a copy, so the
    // object that lent its icon keeps a live handle.
    HICON copy = CopyIcon(icon);
    if (!copy) return nullptr;
    PICTDESC pd = {};
    pd.cbSizeofstruct = sizeof pd;
    pd.picType = PICTYPE_ICON;
    pd.icon.hicon = copy;
    IPictureDisp* disp = PictureFromDesc(&pd);
    if (!disp) DestroyIcon(copy);
    return disp;
}

IPictureDisp* BitmapToIPictureDisp(HBITMAP bitmap, HPALETTE palette) {
    if (!bitmap) return nullptr;
    PICTDESC pd = {};
    pd.cbSizeofstruct = sizeof pd;
    pd.picType = PICTYPE_BITMAP;
    pd.bmp.hbitmap = bitmap;
    pd.bmp.hpal = palette ? palette : static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    return PictureFromDesc(&pd);
}

IPictureDisp* PictToIPictureDisp(ObjectRecord* rec) {
    if (!rec) return nullptr;
    if (rec->kind == kKindPict) {
        if (!gOlePictHooks.pictBitmap) return nullptr;
        HPALETTE palette = nullptr;
        int error = 0;
        HBITMAP bitmap = gOlePictHooks.pictBitmap(rec, &palette, &error);
        if (error || !bitmap) {
            if (bitmap) DeleteObject(bitmap);
            return nullptr;
        }
        IPictureDisp* disp = BitmapToIPictureDisp(bitmap, palette);
        if (!disp) DeleteObject(bitmap);
        return disp;
    }
    return gOlePictHooks.objectIcon ? IconToIPictureDisp(gOlePictHooks.objectIcon(rec)) : nullptr;
}

// ---- Objects of OLE pictures -------------------------------------------------------------------

namespace {

// The dispatch ids and picture types of an OLE picture object.
constexpr DISPID kPictDispHandle = 0, kPictDispHPal = 2, kPictDispType = 3;

// One property of the picture as a 32-bit number (handles included).
bool PictureProp(IDispatch* d, DISPID id, uint32_t* out) {
    VARIANT v, n;
    VariantInit(&n);
    if (AutoGetProperty(d, nullptr, id, nullptr, &v) != kAutoOk) return false;
    bool ok = SUCCEEDED(VariantChangeType(&n, &v, 0, VT_UI4));
    if (ok) *out = V_UI4(&n);
    VariantClear(&v);
    VariantClear(&n);
    return ok;
}

// The picture's dispatch interface when its Type is the one asked for.
IDispatch* PictureOfType(const VARIANT* v, uint32_t type) {
    const VARIANT* in = v && V_VT(v) == (VT_VARIANT | VT_BYREF) ? V_VARIANTREF(v) : v;
    IDispatch* d = nullptr;
    if (in && V_VT(in) == VT_DISPATCH) d = V_DISPATCH(in);
    else if (in && V_VT(in) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(in)) d = *V_DISPATCHREF(in);
    uint32_t got = 0;
    return d && PictureProp(d, kPictDispType, &got) && got == type ? d : nullptr;
}

}  // namespace

ObjectRecord* PictCreateFromVariant(const VARIANT* v, int32_t* code) {
    *code = kAutoNoValue;
    IDispatch* d = PictureOfType(v, PICTYPE_BITMAP);
    uint32_t bitmap = 0, palette = 0;
    if (!d || !gOlePictHooks.pictFromBitmap || !PictureProp(d, kPictDispHandle, &bitmap)) return nullptr;
    if (!PictureProp(d, kPictDispHPal, &palette)) palette = 0;
    ObjectRecord* rec = gOlePictHooks.pictFromBitmap(reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(bitmap)),
                                                     reinterpret_cast<HPALETTE>(static_cast<uintptr_t>(palette)),
                                                     gMainWindowObj, true, code);
    return rec;
}

ObjectRecord* IconCreateFromVariant(const VARIANT* v, int32_t* code) {
    *code = kAutoNoValue;
    IDispatch* d = PictureOfType(v, PICTYPE_ICON);
    uint32_t icon = 0;
    if (!d || !gOlePictHooks.iconFromHandle || !PictureProp(d, kPictDispHandle, &icon)) return nullptr;
    return gOlePictHooks.iconFromHandle(reinterpret_cast<HICON>(static_cast<uintptr_t>(icon)), gMainWindowObj, code);
}

// ---- OLE start-up ---------------------------------------------------------------------------

bool ComOleInit() { return SUCCEEDED(OleInitialize(nullptr)); }
void ComOleUninit() { OleUninitialize(); }
