// graphics_bench.cpp - repaints a window of 500 shapes and lines through the
// window layer's windowless paint path (the container's WM_PAINT, each
// object's paint slot with its cached brush and pen) and draws the same 500
// figures with plain GDI calls on a window's DC, the two in turns round by
// round (20 repaints each a round), and prints the time of each and min /
// median / max of their ratios. Runs under Wine (cross build with
// -DQOV_BENCH=ON). Usage: graphics_bench [rounds]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/benchkit.h"
#include "controls/controls.h"
#include "graphics/graphics.h"
#include "objects/crstream.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/window.h"

namespace {

constexpr int kObjects = 500;
constexpr int kCols = 25;
constexpr int kCell = 24;
constexpr int kWidth = kCols * kCell, kHeight = (kObjects / 2 / kCols) * kCell * 2;

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Figure i: even ones are shapes (rectangles, ellipses, rounded), odd ones lines.
RECT FigureRect(int i) {
    int cell = i / 2, x = (cell % kCols) * kCell, y = (cell / kCols) * kCell * 2 + (i % 2) * kCell;
    return RECT{x + 2, y + 2, x + kCell - 2, y + kCell - 2};
}
COLORREF FigureColor(int i) { return RGB((i * 37) % 256, (i * 91) % 256, (i * 53) % 256); }

ObjectRecord* MakeWindow() {
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.winType = kWinNormal;
    cr.width = kWidth, cr.height = kHeight;
    cr.units = kUnitsPixels;
    cr.bgColor.value = 0xFFFFFF;
    int32_t code = 0;
    ObjectRecord* win = WindowObjectCreate(nullptr, &cr, &code);
    if (!win) return nullptr;
    ObjectActivate(win, 0, 0, 0, 0);
    for (int i = 0; i < kObjects; ++i) {
        RECT r = FigureRect(i);
        CreateRecordReset(&cr);
        cr.windowRec = win;
        cr.flags0 |= kCrVisible;
        cr.bdrColor.value = 0;
        if (i % 2 == 0) {
            cr.left = r.left, cr.top = r.top, cr.width = r.right - r.left, cr.height = r.bottom - r.top;
            cr.values[64] = 1 + (i / 2) % 3, cr.given[64] = 1;                        // Shape
            cr.values[62] = static_cast<int32_t>(FigureColor(i)), cr.given[62] = 1;   // FillColor
            ObjectCreate(kTypeShape, &cr, &code);
        } else {
            cr.left = r.left, cr.top = r.top, cr.width = r.right, cr.height = r.bottom;  // the two end points
            ObjectCreate(kTypeLine, &cr, &code);
        }
    }
    return win;
}

// The same figures with the same GDI objects on a plain window's DC.
void DrawPlain(HDC dc, HBRUSH* brushes, HPEN pen) {
    HGDIOBJ oldPen = SelectObject(dc, pen);
    for (int i = 0; i < kObjects; ++i) {
        RECT r = FigureRect(i);
        if (i % 2) {
            MoveToEx(dc, r.left, r.top, nullptr);
            LineTo(dc, r.right, r.bottom);
            continue;
        }
        HGDIOBJ old = SelectObject(dc, brushes[i / 2]);
        switch ((i / 2) % 3) {
        case 0: Ellipse(dc, r.left, r.top, r.right, r.bottom); break;
        case 1: Rectangle(dc, r.left, r.top, r.right, r.bottom); break;
        default: RoundRect(dc, r.left, r.top, r.right, r.bottom, 30, 30); break;
        }
        SelectObject(dc, old);
    }
    SelectObject(dc, oldPen);
}

}  // namespace

constexpr int kRepaintsPerRound = 20;

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 15;
    if (rounds < 1) return 2;
    GuiInstallHooks();
    ControlsInstall();
    GraphicsInstall();
    RuntimeStartup();
    if (!CreateTheMainWindow(GetModuleHandleA(nullptr))) return 1;
    ObjectRecord* win = MakeWindow();
    if (!win) return 1;
    HWND plain = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    HBRUSH brushes[kObjects / 2];
    for (int i = 0; i < kObjects / 2; ++i) brushes[i] = CreateSolidBrush(FigureColor(i * 2));
    HPEN pen = CreatePen(PS_INSIDEFRAME, 1, 0);
    // Warm up both paths once.
    RedrawWindow(win->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    BenchResult r = BenchInTurns(
        rounds,
        [&] {
            for (int n = 0; n < kRepaintsPerRound; ++n)
                RedrawWindow(win->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            GdiFlush();
        },
        [&] {
            for (int n = 0; n < kRepaintsPerRound; ++n) {
                HDC dc = GetDC(plain);
                RECT all = {0, 0, kWidth, kHeight};
                FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
                DrawPlain(dc, brushes, pen);
                ReleaseDC(plain, dc);
            }
            GdiFlush();
        });
    // The window layer's own cost of one repaint: an empty window of the same size.
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.winType = kWinNormal;
    cr.width = kWidth, cr.height = kHeight;
    cr.units = kUnitsPixels;
    int32_t code = 0;
    ObjectRecord* empty = WindowObjectCreate(nullptr, &cr, &code);
    if (empty) ObjectActivate(empty, 0, 0, 0, 0);
    auto t0 = std::chrono::steady_clock::now();
    for (int n = 0; empty && n < kRepaintsPerRound; ++n)
        RedrawWindow(empty->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    GdiFlush();
    double fixed = Seconds(t0);
    printf("repaints of %d shapes and lines; an empty window repaints in %.2f ms\n", kObjects,
           fixed * 1000 / kRepaintsPerRound);
    BenchReportGoal(kGoalWindowlessPaint, "windowless repaint", r, 1e3 / kRepaintsPerRound);
    for (HBRUSH b : brushes) DeleteObject(b);
    DeleteObject(pen);
    DestroyWindow(plain);
    return 0;
}
