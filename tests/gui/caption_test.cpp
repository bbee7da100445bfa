// caption_test.cpp - what a person sees of a window's caption buttons: a
// screenshot of a client window is searched for the close, maximise and
// minimise buttons as DrawFrameControl draws them at test time, and each
// button's glyph must have its shape (an X, a box, a bar). The symbols come
// from the Marlett font; without it they come out as the letters "r", "1"
// and "0" of some other font, which is what the shape checks catch.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "objects/crstream.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/window.h"

namespace {

constexpr int kInkContrast = 48;        // a symbol pixel is this much darker than the button face
constexpr int kButtonInset = 2;         // the button's 3-D edge, left out of the glyph
constexpr int kSizeSlack = 4;           // button sizes tried around the system metrics
constexpr double kMirrorTolerance = 0.15;   // share of symbol pixels allowed off the mirror image
constexpr double kEdgeInk = 0.8;            // share of a box side or of a bar that must be ink; the
                                            // symbols are antialiased, so their corners are faint

// A 32-bit top-down image: 0x00RRGGBB per pixel.
struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

// Copies width x height pixels of dc into an image through a DIB section.
Image CopyDc(HDC dc, int width, int height, int fromX = 0, int fromY = 0) {
    Image img;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (mem && bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, width, height, dc, fromX, fromY, SRCCOPY);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        img.width = width;
        img.height = height;
        img.px.assign(p, p + static_cast<size_t>(width) * height);
        for (uint32_t& v : img.px) v &= 0xFFFFFF;
        SelectObject(mem, old);
    }
    if (bmp) DeleteObject(bmp);
    if (mem) DeleteDC(mem);
    return img;
}

// The window as it is on the screen, frame and caption included.
Image Screenshot(HWND wnd) {
    RECT r;
    GetWindowRect(wnd, &r);
    HDC dc = GetWindowDC(wnd);
    Image img = CopyDc(dc, r.right - r.left, r.bottom - r.top);
    ReleaseDC(wnd, dc);
    return img;
}

// A caption button drawn by the system into a bitmap of the given size.
Image Reference(UINT state, int width, int height) {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(mem, bmp);
    RECT rc = {0, 0, width, height};
    DrawFrameControl(mem, &rc, DFC_CAPTION, state);
    Image img = CopyDc(mem, width, height);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return img;
}

// Writes an image as a 32-bit BMP file, for a person looking into a failure.
void SaveBmp(const Image& img, const char* path) {
    FILE* f = fopen(path, "wb");
    if (!f) return;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof ih;
    ih.biWidth = img.width;
    ih.biHeight = -img.height;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    DWORD data = static_cast<DWORD>(img.px.size() * 4);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + data;
    fwrite(&fh, sizeof fh, 1, f);
    fwrite(&ih, sizeof ih, 1, f);
    fwrite(img.px.data(), 1, data, f);
    fclose(f);
}

struct Spot {
    bool found = false;
    int x = 0, y = 0, width = 0, height = 0;
};

// The face and the symbol must match; the 3-D edge is left out, because the
// caption draws its buttons' edges with the light and white lines the other
// way round from DrawFrameControl.
bool MatchesAt(const Image& shot, const Image& ref, int x, int y) {
    for (int j = kButtonInset; j < ref.height - kButtonInset; ++j)
        for (int i = kButtonInset; i < ref.width - kButtonInset; ++i)
            if (shot.At(x + i, y + j) != ref.At(i, j)) return false;
    return true;
}

// Looks for the button in the caption band at the top right of the shot,
// trying button sizes around the system metrics, the largest first.
Spot FindButton(const Image& shot, UINT state) {
    const int cx = GetSystemMetrics(SM_CXSIZE), cy = GetSystemMetrics(SM_CYSIZE);
    const int bandHeight = GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) + kSizeSlack;
    const int bandLeft = shot.width - GetSystemMetrics(SM_CXFRAME) - 4 * cx;
    for (int w = cx + kSizeSlack; w >= cx - kSizeSlack; --w) {
        for (int h = cy + kSizeSlack; h >= cy - kSizeSlack; --h) {
            Image ref = Reference(state, w, h);
            if (ref.px.empty()) continue;
            for (int y = 0; y + h <= bandHeight && y + h <= shot.height; ++y)
                for (int x = bandLeft > 0 ? bandLeft : 0; x + w <= shot.width; ++x)
                    if (MatchesAt(shot, ref, x, y)) return Spot{true, x, y, w, h};
        }
    }
    return Spot{};
}

// The symbol of a button: its ink (pixels clearly darker than the face) inside the 3-D edge.
struct Glyph {
    int width = 0, height = 0;
    std::vector<bool> dark;
    int count = 0;
    int left = 0, top = 0, right = -1, bottom = -1;   // bounding box of the ink
    bool At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && dark[static_cast<size_t>(y) * width + x];
    }
};

int Luminance(uint32_t rgb) {
    return (static_cast<int>((rgb >> 16) & 0xFF) * 3 + static_cast<int>((rgb >> 8) & 0xFF) * 6 +
            static_cast<int>(rgb & 0xFF)) / 10;
}

Glyph GlyphOf(const Image& shot, const Spot& s) {
    // The symbol never reaches the face's corner: that pixel gives the face's shade.
    const int face = Luminance(shot.At(s.x + kButtonInset, s.y + kButtonInset));
    Glyph g;
    g.width = s.width - 2 * kButtonInset;
    g.height = s.height - 2 * kButtonInset;
    g.dark.assign(static_cast<size_t>(g.width) * g.height, false);
    g.left = g.width;
    g.top = g.height;
    for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) {
            if (Luminance(shot.At(s.x + kButtonInset + x, s.y + kButtonInset + y)) > face - kInkContrast) continue;
            g.dark[static_cast<size_t>(y) * g.width + x] = true;
            g.count++;
            if (x < g.left) g.left = x;
            if (x > g.right) g.right = x;
            if (y < g.top) g.top = y;
            if (y > g.bottom) g.bottom = y;
        }
    }
    return g;
}

// Glyph pixels whose mirror image in the bounding box is not a glyph pixel.
int OffMirror(const Glyph& g, bool leftRight) {
    int off = 0;
    for (int y = g.top; y <= g.bottom; ++y)
        for (int x = g.left; x <= g.right; ++x)
            if (g.At(x, y) && !(leftRight ? g.At(g.left + g.right - x, y) : g.At(x, g.top + g.bottom - y))) off++;
    return off;
}

bool Symmetric(const Glyph& g, bool leftRight) { return OffMirror(g, leftRight) <= g.count * kMirrorTolerance; }

// An X: symmetric both ways, ink at its four corners and at its centre.
bool LooksLikeX(const Glyph& g, std::string* why) {
    int cx = (g.left + g.right) / 2, cy = (g.top + g.bottom) / 2;
    auto inkNear = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (g.At(x + dx, y + dy)) return true;
        return false;
    };
    if (!Symmetric(g, true)) *why = "not symmetric left to right";
    else if (!Symmetric(g, false)) *why = "not symmetric top to bottom";
    else if (!inkNear(g.left, g.top) || !inkNear(g.right, g.top) || !inkNear(g.left, g.bottom) || !inkNear(g.right, g.bottom))
        *why = "no ink in a corner";
    else if (!inkNear(cx, cy)) *why = "no ink where the strokes cross";
    else return true;
    return false;
}

// Ink along a line of the bounding box: a column (x fixed) or a row (y fixed).
bool MostlyInk(const Glyph& g, int from, int to, int fixed, bool column) {
    int ink = 0;
    for (int i = from; i <= to; ++i) ink += (column ? g.At(fixed, i) : g.At(i, fixed)) ? 1 : 0;
    return ink >= (to - from + 1) * kEdgeInk;
}

// A box: the four sides of the bounding box are ink, its middle is not.
bool LooksLikeBox(const Glyph& g, std::string* why) {
    if (g.right - g.left < 4 || g.bottom - g.top < 4) *why = "too small for a box";
    else if (!MostlyInk(g, g.top, g.bottom, g.left, true) || !MostlyInk(g, g.top, g.bottom, g.right, true))
        *why = "a side of the box is open";
    else if (!MostlyInk(g, g.left, g.right, g.top, false) || !MostlyInk(g, g.left, g.right, g.bottom, false))
        *why = "the top or the bottom of the box is open";
    else if (g.At((g.left + g.right) / 2, (g.top + g.bottom) / 2 + 1)) *why = "the box is filled";
    else return true;
    return false;
}

// A bar: at least three times as wide as it is high, its bounding box mostly
// ink, in the lower half of the button.
bool LooksLikeBar(const Glyph& g, std::string* why) {
    int w = g.right - g.left + 1, h = g.bottom - g.top + 1;
    if (w < 3 * h) *why = "not a flat bar";
    else if (g.count < w * h * kEdgeInk) *why = "the bar has gaps";
    else if (g.top < g.height / 2) *why = "not at the bottom of the button";
    else return true;
    return false;
}

std::string GlyphPicture(const Glyph& g) {
    std::string s;
    for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) s += g.At(x, y) ? '#' : '.';
        s += '\n';
    }
    return s;
}

// Whether this process draws its windows' captions itself, so that they are in
// the window's DC. Under Wine with a window manager the manager draws them, and
// Wine draws them only when its X11 driver is told not to decorate
// (scripts/wine-env.sh does so on its own Xvfb); on Windows the desktop
// composes them apart from the window.
bool CaptionsInWindowDc() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return false;
    char value[8] = {};
    DWORD size = sizeof value - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG r = RegQueryValueExA(key, "Decorated", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && (value[0] == 'N' || value[0] == 'n');
}

class CaptionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GuiInstallHooks();
        RuntimeStartup();
        ASSERT_NE(nullptr, CreateTheMainWindow(GetModuleHandleA(nullptr)));
    }
};

TEST_F(CaptionTest, CaptionButtonsShowTheirSymbols) {
    if (!CaptionsInWindowDc()) GTEST_SKIP() << "the captions are drawn outside this process";
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.winType = kWinNormal;
    cr.left = 40, cr.top = 40, cr.width = 360, cr.height = 200, cr.right = 400, cr.bottom = 240;
    cr.units = kUnitsPixels;
    cr.title = CrText{"Caption", 7};
    int32_t code = 0;
    ObjectRecord* win = WindowObjectCreate(nullptr, &cr, &code);
    ASSERT_NE(nullptr, win) << "creation code " << code;
    ASSERT_EQ(0, ObjectActivate(win, 0, 0, 0, 0));
    SetForegroundWindow(win->hwnd);
    RedrawWindow(win->hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    Image shot = Screenshot(win->hwnd);
    ASSERT_FALSE(shot.px.empty());
    SaveBmp(shot, "caption.bmp");

    struct Case {
        UINT state;
        bool (*shape)(const Glyph&, std::string*);
        const char* why;
    };
    const Case cases[] = {
        {DFCS_CAPTIONCLOSE, LooksLikeX, "close: an X, not the letter r"},
        {DFCS_CAPTIONMAX, LooksLikeBox, "maximise: a box, not the digit 1"},
        {DFCS_CAPTIONMIN, LooksLikeBar, "minimise: a bar, not the digit 0"},
    };
    for (const Case& c : cases) {
        Spot s = FindButton(shot, c.state);
        if (!s.found)
            SaveBmp(Reference(c.state, GetSystemMetrics(SM_CXSIZE) - 2, GetSystemMetrics(SM_CYSIZE) - 4),
                    "caption-reference.bmp");
        ASSERT_TRUE(s.found) << c.why << ": the button as DrawFrameControl draws it is not in the caption"
                             << " (screenshot in caption.bmp, the button drawn alone in caption-reference.bmp)";
        Glyph g = GlyphOf(shot, s);
        ASSERT_GT(g.count, 0) << c.why << ": the button shows no symbol";
        std::string wrong;
        EXPECT_TRUE(c.shape(g, &wrong)) << c.why << ": " << wrong << "\n" << GlyphPicture(g);
    }
    ObjectDestroy(win);
}

}  // namespace
