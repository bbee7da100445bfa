// oleutil_test.cpp - the OLE utilities: HIMETRIC round trips, the shared
// conversion buffer at and beyond its static 1000 units, the FONTDESC built
// from a font, and icon pictures that must not take the lender's icon.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "com/oleutil.h"
#include "objects/objrecord.h"

namespace {

int ScreenDpi(int index) {
    HDC dc = GetDC(nullptr);
    int v = GetDeviceCaps(dc, index);
    ReleaseDC(nullptr, dc);
    return v;
}

TEST(OleUnits, HimetricRoundTrips) {
    int dx = ScreenDpi(LOGPIXELSX), dy = ScreenDpi(LOGPIXELSY);
    EXPECT_EQ(HimetricToPixelsX(nullptr, 2540), dx) << "one inch is the resolution";
    EXPECT_EQ(HimetricToPixelsY(nullptr, 2540), dy);
    struct Case { int pixels; };
    static const Case kCases[] = {{0}, {1}, {17}, {96}, {1000}, {-25}};
    for (const Case& c : kCases) {
        int h = PixelsToHimetricX(nullptr, c.pixels);
        EXPECT_EQ(h, MulDiv(2540, c.pixels, dx));
        EXPECT_EQ(HimetricToPixelsX(nullptr, h), c.pixels) << "pixels survive a round trip";
        EXPECT_EQ(HimetricToPixelsY(nullptr, PixelsToHimetricY(nullptr, c.pixels)), c.pixels);
    }
    HDC dc = GetDC(nullptr);
    SIZE in = {120, -48}, out;
    PixelsToHimetric(dc, &in, &out);
    EXPECT_EQ(out.cx, MulDiv(2540, 120, dx));
    EXPECT_EQ(out.cy, MulDiv(2540, -48, dy));
    ReleaseDC(nullptr, dc);
    // A device without a resolution falls back to the screen, not to -1.
    HDC meta = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    if (meta && GetDeviceCaps(meta, LOGPIXELSX) == 0) {
        EXPECT_EQ(PixelsToHimetricX(meta, 96), MulDiv(2540, 96, dx));
    }
    if (meta) DeleteEnhMetaFile(CloseEnhMetaFile(meta));
}

TEST(OleTexts, BufferAtAndBeyondItsStaticSize) {
    struct Case { size_t chars; const char* why; };
    static const Case kCases[] = {
        {0, "an empty text"},
        {999, "inside the static buffer"},
        {1000, "exactly 1000: the reservation covers the terminator"},
        {1001, "one beyond"},
        {4500, "several steps beyond"},
    };
    for (const Case& c : kCases) {
        std::string text(c.chars, 'a');
        for (size_t i = 0; i < c.chars; i += 7) text[i] = static_cast<char>('0' + i % 10);
        wchar_t* w = AnsiToWideTemp(text.c_str());
        ASSERT_NE(w, nullptr) << c.why;
        EXPECT_EQ(wcslen(w), c.chars) << c.why;
        EXPECT_GE(gWideTemp.capacity, c.chars + 1) << c.why;
        EXPECT_EQ(std::string(WideToAnsiTemp(w)), text) << c.why << ": back to ANSI";
        int count = -1;
        w = Utf8ToWideTempN(text.c_str(), static_cast<int>(c.chars), &count);
        EXPECT_EQ(count, static_cast<int>(c.chars)) << c.why;
        char* u = WideToUtf8TempN(std::wstring(w, count).c_str(), count, &count);
        EXPECT_EQ(std::string(u, count), text) << c.why;
    }
    EXPECT_EQ(AnsiToWideTemp(nullptr), nullptr);
    EXPECT_EQ(WideToAnsiTemp(nullptr), nullptr);
    WideTempFree();
}

TEST(OleTexts, CountedAndUtf8Conversions) {
    // Two conversions in a row share the buffer: the first result is overwritten.
    wchar_t* a = AnsiToWideTemp("first");
    wchar_t* b = AnsiToWideTemp("second");
    EXPECT_EQ(a, b);
    EXPECT_STREQ(a, L"second");
    struct Case { const char* utf8; const wchar_t* wide; };
    static const Case kCases[] = {
        {"abc", L"abc"},
        {"\xC3\xA9t\xC3\xA9", L"\x00E9t\x00E9"},
        {"\xE2\x82\xAC", L"\x20AC"},
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
    };
    for (const Case& c : kCases) {
        int count = 0;
        wchar_t* w = Utf8ToWideTempN(c.utf8, static_cast<int>(strlen(c.utf8)), &count);
        EXPECT_EQ(std::wstring(w, count), c.wide) << c.utf8;
        int n = 0;
        char* u = WideToUtf8TempN(c.wide, static_cast<int>(wcslen(c.wide)), &n);
        EXPECT_EQ(std::string(u, n), c.utf8);
    }
    int count = 0;
    wchar_t* w = AnsiToWideTempN("abcdef", 3, &count);
    EXPECT_EQ(count, 3);
    EXPECT_STREQ(w, L"abc") << "only n bytes are converted";
    EXPECT_STREQ(WideToAnsiTempN(L"xyzw", 2), "xy");
}

TEST(OleFonts, FontDescCarriesTheLogFont) {
    struct Case { LONG height; LONG weight; BYTE italic, underline, strike, charset; LONGLONG cy; const char* why; };
    static const Case kCases[] = {
        {-16, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 120000, "16 pixels high is 12 points"},
        {16, FW_BOLD, 1, 0, 0, ANSI_CHARSET, 120000, "a cell height counts the same"},
        {-13, FW_NORMAL, 0, 1, 1, SYMBOL_CHARSET, 97500, "13 pixels is 9.75 points"},
    };
    for (const Case& c : kCases) {
        LOGFONTA lf = {};
        lf.lfHeight = c.height;
        lf.lfWeight = c.weight;
        lf.lfItalic = c.italic;
        lf.lfUnderline = c.underline;
        lf.lfStrikeOut = c.strike;
        lf.lfCharSet = c.charset;
        strcpy(lf.lfFaceName, "Tahoma");
        FONTDESC fd;
        FontDescFromLogFont(&lf, &fd);
        EXPECT_EQ(fd.cbSizeofstruct, 32u);
        EXPECT_STREQ(fd.lpstrName, L"Tahoma") << c.why;
        EXPECT_EQ(fd.cySize.int64, c.cy) << c.why;
        EXPECT_EQ(fd.sWeight, c.weight) << c.why;
        EXPECT_EQ(fd.sCharset, c.charset) << c.why;
        EXPECT_EQ(fd.fItalic, c.italic != 0) << c.why;
        EXPECT_EQ(fd.fUnderline, c.underline != 0) << c.why;
        EXPECT_EQ(fd.fStrikethrough, c.strike != 0) << c.why;
    }
    OleInitialize(nullptr);
    HFONT f = CreateFontA(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma");
    IFontDisp* disp = FontHandleToIFontDisp(f);
    ASSERT_NE(disp, nullptr);
    disp->Release();
    DeleteObject(f);
    EXPECT_EQ(FontHandleToIFontDisp(nullptr), nullptr);
    EXPECT_EQ(FontToIFontDisp(nullptr), nullptr);
    OleUninitialize();
}

TEST(OlePictures, IconPictureOwnsACopy) {
    OleInitialize(nullptr);
    HICON icon = CopyIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)));
    ASSERT_NE(icon, nullptr);
    IPictureDisp* disp = IconToIPictureDisp(icon);
    ASSERT_NE(disp, nullptr);
    IPicture* pic = nullptr;
    ASSERT_EQ(disp->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&pic)), S_OK);
    OLE_HANDLE h = 0;
    pic->get_Handle(&h);
    EXPECT_NE(reinterpret_cast<HICON>(static_cast<UINT_PTR>(h)), icon) << "the picture holds a copy";
    SHORT type = 0;
    pic->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_ICON);
    pic->Release();
    disp->Release();
    // Releasing the picture destroyed its copy, not the lender's icon.
    ICONINFO info = {};
    EXPECT_TRUE(GetIconInfo(icon, &info)) << "the object's icon is still alive";
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    EXPECT_EQ(IconToIPictureDisp(nullptr), nullptr);
    EXPECT_EQ(PictToIPictureDisp(nullptr), nullptr);
    OleUninitialize();
}

// What the picture facility was handed, recorded by the hooks below.
struct MadeFrom {
    HBITMAP bitmap;
    HPALETTE palette;
    HICON icon;
    ObjectRecord* parent;
    int calls;
};
MadeFrom gMade;
ObjectRecord gMadeRecord;

ObjectRecord* RecordPict(HBITMAP bitmap, HPALETTE palette, ObjectRecord* parent, bool, int32_t* code) {
    gMade.bitmap = bitmap, gMade.palette = palette, gMade.parent = parent, ++gMade.calls;
    *code = 0;
    return &gMadeRecord;
}
ObjectRecord* RecordIcon(HICON icon, ObjectRecord* parent, int32_t* code) {
    gMade.icon = icon, gMade.parent = parent, ++gMade.calls;
    *code = 0;
    return &gMadeRecord;
}

// Real picture objects of oleaut32: a bitmap picture becomes a Pict, an icon
// picture an Icon, each read through its Type, Handle and hPal; the other
// type, or no picture, answers -50 and makes nothing.
TEST(OlePictures, ObjectsOfPicturesHeldInVariants) {
    OleInitialize(nullptr);
    gOlePictHooks.pictFromBitmap = RecordPict;
    gOlePictHooks.iconFromHandle = RecordIcon;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 8);
    ReleaseDC(nullptr, screen);
    PICTDESC pd = {};
    pd.cbSizeofstruct = sizeof pd;
    pd.picType = PICTYPE_BITMAP;
    pd.bmp.hbitmap = bitmap;
    IPictureDisp* bitmapPict = nullptr;
    ASSERT_EQ(S_OK, OleCreatePictureIndirect(&pd, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(&bitmapPict)));
    HICON icon = CopyIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)));
    IPictureDisp* iconPict = IconToIPictureDisp(icon);
    ASSERT_NE(nullptr, iconPict);
    OLE_HANDLE iconHandle = 0;
    {
        IPicture* pic = nullptr;
        ASSERT_EQ(S_OK, iconPict->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&pic)));
        pic->get_Handle(&iconHandle);
        pic->Release();
    }
    VARIANT ofBitmap, ofIcon, ofNumber;
    V_VT(&ofBitmap) = VT_DISPATCH, V_DISPATCH(&ofBitmap) = bitmapPict;
    V_VT(&ofIcon) = VT_DISPATCH, V_DISPATCH(&ofIcon) = iconPict;
    V_VT(&ofNumber) = VT_I4, V_I4(&ofNumber) = 7;
    struct Case { bool pict; const VARIANT* v; int32_t code; int calls; const char* why; };
    const Case kCases[] = {
        {true, &ofBitmap, 0, 1, "a bitmap picture makes a Pict"},
        {false, &ofIcon, 0, 1, "an icon picture makes an Icon"},
        {true, &ofIcon, -50, 0, "an icon is no bitmap"},
        {false, &ofBitmap, -50, 0, "a bitmap is no icon"},
        {true, &ofNumber, -50, 0, "a number is no picture"},
        {false, nullptr, -50, 0, "nothing"},
    };
    for (const Case& c : kCases) {
        gMade = MadeFrom();
        int32_t code = 1;
        ObjectRecord* rec = c.pict ? PictCreateFromVariant(c.v, &code) : IconCreateFromVariant(c.v, &code);
        EXPECT_EQ(c.code, code) << c.why;
        EXPECT_EQ(c.calls, gMade.calls) << c.why;
        EXPECT_EQ(c.code == 0 ? &gMadeRecord : nullptr, rec) << c.why;
    }
    gMade = MadeFrom();
    int32_t code = 0;
    PictCreateFromVariant(&ofBitmap, &code);
    EXPECT_EQ(bitmap, gMade.bitmap) << "the picture's own bitmap";
    IconCreateFromVariant(&ofIcon, &code);
    EXPECT_EQ(reinterpret_cast<HICON>(static_cast<UINT_PTR>(iconHandle)), gMade.icon);
    bitmapPict->Release();
    iconPict->Release();
    DestroyIcon(icon);
    gOlePictHooks.pictFromBitmap = nullptr;
    gOlePictHooks.iconFromHandle = nullptr;
    OleUninitialize();
}

}  // namespace
