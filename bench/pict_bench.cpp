// pict_bench.cpp - a 2480 x 3508 1-bit page (A4 at 300 dpi, lines of
// "text" strokes) shown by a picture at 25 %: the first paint, which makes
// the grey view, against StretchDIBits with HALFTONE of the same bits to the
// same size (goal: at most 2x); and a repaint at the same zoom against a bare
// StretchDIBits of the cached view (goal: at most 1.2x). Runs under Wine.
// Usage: pict_bench [rounds]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/benchkit.h"

#include "controls/controls.h"
#include "graphics/graphics.h"
#include "graphics/image/dibutil.h"
#include "graphics/pict.h"
#include "objects/crstream.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/window.h"

namespace {

constexpr uint32_t kPageW = 2480, kPageH = 3508;
constexpr int32_t kScale = 25;
constexpr int32_t kViewW = 620, kViewH = 877;

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A page of text-like strokes: rows of short dark runs on white.
std::string WritePage() {
    std::vector<uint8_t> head(48);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(head.data());
    h->biSize = 40, h->biWidth = kPageW, h->biHeight = kPageH, h->biPlanes = 1, h->biBitCount = 1, h->biClrUsed = 2;
    head[44] = head[45] = head[46] = 255;   // index 1 white
    size_t stride = ((kPageW + 31) / 32) * 4;
    std::vector<uint8_t> bits(stride * kPageH, 0xFF);
    h->biSizeImage = static_cast<DWORD>(bits.size());
    uint32_t seed = 12345;
    for (uint32_t y = 200; y + 40 < kPageH - 200; y += 50)
        for (uint32_t x = 200; x + 30 < kPageW - 200;) {
            seed = seed * 1103515245 + 12345;
            uint32_t len = 4 + (seed >> 16) % 24;
            for (uint32_t yy = y; yy < y + 30; yy += 1 + (seed >> 8) % 3)
                for (uint32_t xx = x; xx < x + len; xx++) bits[(kPageH - 1 - yy) * stride + xx / 8] &= ~(0x80 >> (xx % 8));
            x += len + 6;
        }
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string path = std::string(dir) + "qov_pict_bench.bmp";
    DibWriteBmpFile(path.c_str(), h, bits.data());
    return path;
}

int32_t SetScale(ObjectRecord* p, int32_t v) {
    PropChange req = {};
    req.id = kPidScale;
    req.value = v;
    return ObjectOpsOf(p)->setProp(p, &req);
}


}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 21;
    if (rounds < 1) rounds = 1;
    GuiInstallHooks();
    ControlsInstall();
    GraphicsInstall();
    RuntimeStartup();
    if (!CreateTheMainWindow(GetModuleHandleA(nullptr))) return 1;
    const std::string page = WritePage();
    std::string path = "!" + page;
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.winType = kWinNormal;
    cr.width = kViewW + 20, cr.height = kViewH + 20;
    cr.units = kUnitsPixels;
    int32_t code = 0;
    ObjectRecord* win = WindowObjectCreate(nullptr, &cr, &code);
    if (!win) return 1;
    CreateRecordReset(&cr);
    cr.windowRec = win;
    cr.width = kViewW, cr.height = kViewH;
    cr.texts[kPidPicture] = CrText{path.c_str(), static_cast<uint32_t>(path.size())};
    cr.values[kPidScale] = kScale, cr.given[kPidScale] = 1;
    ObjectRecord* p = ObjectCreate(kTypePict, &cr, &code);
    if (!p) {
        printf("picture not made: %d\n", code);
        return 1;
    }
    auto* pict = reinterpret_cast<PictRecord*>(p);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, kViewW + 20, kViewH + 20);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);

    BenchResult firstPaint, repaints;
    for (int r = 0; r < rounds; r++) {
        double first, halftone, repaint, bare;
        SetScale(p, kScale);   // drops the cached view
        auto t0 = std::chrono::steady_clock::now();
        ObjectOpsOf(p)->paint(p, dc, 0);
        GdiFlush();
        first = Seconds(t0);
        t0 = std::chrono::steady_clock::now();
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchDIBits(dc, 0, 0, kViewW, kViewH, 0, 0, kPageW, kPageH, pict->bits, pict->dib, DIB_RGB_COLORS, SRCCOPY);
        GdiFlush();
        halftone = Seconds(t0);
        t0 = std::chrono::steady_clock::now();
        ObjectOpsOf(p)->paint(p, dc, 0);
        GdiFlush();
        repaint = Seconds(t0);
        if (!pict->viewInfo) {
            printf("no grey view was made\n");
            return 1;
        }
        t0 = std::chrono::steady_clock::now();
        const BITMAPINFOHEADER& vh = pict->viewInfo->bmiHeader;
        StretchDIBits(dc, 0, 0, vh.biWidth, vh.biHeight, 0, 0, vh.biWidth, vh.biHeight, pict->viewBits, pict->viewInfo,
                      DIB_RGB_COLORS, SRCCOPY);
        GdiFlush();
        bare = Seconds(t0);
        BenchAddRound(&firstPaint, first, halftone);
        BenchAddRound(&repaints, repaint, bare);
    }
    BenchReportGoal(kGoalPictFirstPaint, "picture first paint at 25%", firstPaint);
    BenchReportGoal(kGoalPictRepaint, "picture repaint", repaints);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ObjectDestroy(p);
    ObjectDestroy(win);
    return 0;
}
