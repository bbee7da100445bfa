// print_prev_calc_test.cpp - the preview's arithmetic natively: label texts
// taken or refused, the sheet per zoom step with given metrics, the panel's
// zoom steps and the Go To number.
#include <gtest/gtest.h>

#include <string>

#include "print/prtprevcalc.h"

namespace {

std::string Semis(size_t n) {
    std::string s;
    for (size_t i = 0; i <= n; i++) s += "L" + std::to_string(i) + (i < n ? ";" : "");
    return s;
}

TEST(PreviewLabels, TextsTakenOrRefused) {
    struct Case {
        std::string text;
        bool dialog;
        size_t label;
        std::string want;
        const char* why;
    };
    const Case cases[] = {
        {Semis(14), false, 1, "&Print", "14 semicolons: the built-in set"},
        {Semis(14), true, 1, "&Print...", "the print-dialog set"},
        {Semis(15), false, 15, "L15", "15 semicolons: sixteen labels"},
        {Semis(15), false, 16, "", "and an empty 17th (no To PDF caption)"},
        {Semis(16), false, 16, "L16", "all 17"},
        {Semis(20), false, 16, "L16", "labels past the 17th are dropped"},
        {"", false, 16, "&To PDF", "empty: built-in"},
        {std::string(2000, 'x') + Semis(16), false, 0, std::string(1022, 'x'), "2,000 characters: cut at the buffer"},
        {std::string(2000, 'x') + Semis(16), false, 16, "", "the labels after the cut are empty"},
    };
    for (const Case& c : cases) {
        PrevLabels l;
        PrevLoadLabels(c.text.c_str(), c.dialog, &l);
        EXPECT_EQ(c.want, PrevLabelText(l, c.label)) << c.why;
    }
}

// A letter page at 300 dpi shown on a 96 dpi screen: 816 x 1056 at 100 %.
PrevLayoutIn Letter(int32_t step, int32_t clientW, int32_t clientH) {
    PrevLayoutIn in = {};
    in.pageW = 2550;
    in.pageH = 3300;
    in.page100W = 816;
    in.page100H = 1056;
    in.clientW = clientW;
    in.clientH = clientH;
    in.buttonBar = 25;
    in.statusBar = 20;
    in.step = step;
    in.physOffX = 75;
    in.physOffY = 75;
    in.horzRes = 2400;
    in.vertRes = 3150;
    return in;
}

TEST(PreviewLayout, SheetPerZoomStep) {
    struct Case {
        int32_t step, clientW, clientH;
        int32_t wantStep, wantScale, wantLeft, wantTop, wantRight;
        bool zoomOut;
        const char* why;
    };
    const Case cases[] = {
        {0, 800, 600, 0, 165, 5 + (790 - 420) / 2, 30, 5 + (790 - 420) / 2 + 420, false, "fit: the view decides"},
        {0, 1280, 1024, 2, 320, 5 + (1270 - 816) / 2, 30, 5 + (1270 - 816) / 2 + 816, true,
         "fit, view wider than the page: 100 %"},
        {0, 700, 1000, 1, 240, 5 + (690 - 612) / 2, 30 + (945 - 792) / 2, 5 + (690 - 612) / 2 + 612, false,
         "fit, view above 3/4 of the page: 75 %"},
        {1, 400, 300, 1, 240, 5, 30, 5 + 612, true, "75 %"},
        {2, 400, 300, 2, 320, 5, 30, 5 + 816, true, "100 %"},
        {6, 400, 300, 6, 640, 5, 30, 5 + 1632, true, "200 %"},
        {9, 400, 300, 9, 640, 5, 30, 5 + 1632, true, "any other step: 200 %"},
        {0, 3, 3, 0, 1, 5, 30, 7, false, "a view smaller than its margins keeps a scale of 1"},
    };
    for (const Case& c : cases) {
        PrevLayout l;
        PrevComputeLayout(Letter(c.step, c.clientW, c.clientH), &l);
        EXPECT_EQ(c.wantStep, l.step) << c.why;
        EXPECT_EQ(c.wantScale, l.scale) << c.why;
        EXPECT_EQ(c.wantLeft, l.pageLeft) << c.why;
        EXPECT_EQ(c.wantTop, l.pageTop) << c.why;
        EXPECT_EQ(c.wantRight, l.pageRight) << c.why;
        EXPECT_EQ(c.zoomOut, l.zoomOutEnabled) << c.why;
        EXPECT_EQ(l.pageLeft + 75 * l.scale / 1000, l.areaLeft) << c.why << ": printable area";
        EXPECT_GT(l.pageBottom, l.pageTop) << c.why;
    }
    EXPECT_EQ(11 * 300, PrevUnequalPageHeight(279, 300)) << "279 mm: 10.98 inches, counted 11";
    EXPECT_EQ(5 + 30, PrevMap(100, 300, 5, 0));
    EXPECT_EQ(5, PrevMap(100, 0, 5, 0) + 0 - 0) << "a scale of 0 maps as 1";
}

TEST(PreviewLayout, PanelPercentages) {
    struct Case {
        int32_t requested, clientW, clientH;
        int32_t fitted, width;
        const char* why;
    };
    const Case cases[] = {
        {0, 418, 600, 50, 408, "fit: the largest percentage showing the page"},
        {50, 418, 600, 0, 408, "50 %"},
        {5, 418, 600, 0, 81, "below 10: 10 %"},
        {900, 418, 600, 0, 3264, "above 400: 400 %"},
        {0, 5000, 9000, 400, 3264, "a huge panel fits at 400 % at most"},
    };
    for (const Case& c : cases) {
        PrevLayoutIn in = Letter(kPrevStepPanel, c.clientW, c.clientH);
        in.buttonBar = 2;
        in.statusBar = 0;
        in.requestedPct = c.requested;
        PrevLayout l;
        PrevComputeLayout(in, &l);
        EXPECT_EQ(c.fitted, l.fittedPct) << c.why;
        EXPECT_NEAR(c.width, l.pageRight - l.pageLeft, 2) << c.why;
    }
    struct Zoom {
        int32_t from, in, out;
    };
    const Zoom zooms[] = {{0, 25, 0}, {175, 200, 150}, {180, 180, 155}, {50, 75, 25}, {25, 50, 25}};
    for (const Zoom& z : zooms) {
        EXPECT_EQ(z.in, PrevPanelZoomIn(z.from)) << "zoom in from " << z.from;
        EXPECT_EQ(z.out, PrevPanelZoomOut(z.from)) << "zoom out from " << z.from;
    }
    EXPECT_EQ(1u, PrevClampPage(0, 1, 3));
    EXPECT_EQ(3u, PrevClampPage(9, 1, 3));
}

TEST(PreviewGoTo, NumbersAreChecked) {
    struct Case {
        const char* text;
        uint32_t first;
        bool ok;
        uint32_t page;
    };
    const Case cases[] = {
        {"2", 1, true, 2},  {"2", 5, true, 6},          {"", 1, false, 0},
        {"abc", 1, false, 0}, {"4294967296", 1, false, 0}, {"4294967295", 2, false, 0},
        {"99999999999999999999", 1, false, 0}, {" 7 ", 1, true, 7},
    };
    for (const Case& c : cases) {
        uint32_t page = 0;
        EXPECT_EQ(c.ok, PrevParseGoTo(c.text, c.first, &page)) << c.text;
        if (c.ok) EXPECT_EQ(c.page, page) << c.text;
    }
}

}  // namespace
