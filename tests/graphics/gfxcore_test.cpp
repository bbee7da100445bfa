// gfxcore_test.cpp - the platform-free rules of the bar, container and drawing
// kinds: scroll ranges near the 32-bit limits, the scroll-bar and slider
// action tables row by row, timer periods with a moving clock, raster
// operations, grid and cell placement, progress extents and splitter steps.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "graphics/gfxcore.h"

namespace {

TEST(ScrollRange, SumsAreClampedTo32Bits) {
    struct Case { int32_t max, shift, expect; const char* why; };
    const Case cases[] = {
        {10, 5, 14, "Max 10 with a page of 5: the thumb reaches 10 at 14"},
        {10, 0, 10, "Shift 0 counts as a page of 1"},
        {10, -7, 10, "a negative Shift counts as 1"},
        {INT32_MAX, 5, INT32_MAX, "Max near 2^31 must not wrap to a negative range"},
        {INT32_MAX - 2, 5, INT32_MAX, "the sum past 2^31 - 1 is clamped"},
        {INT32_MIN, 1, INT32_MIN, "the lowest Max with a page of 1 stays"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expect, ScrollBarRangeMax(c.max, c.shift)) << c.why;
    EXPECT_EQ(10, ScrollBarValueMax(14, 5)) << "which 2 reads back the Max";
    EXPECT_EQ(INT32_MAX - 1, ScrollBarRangeLimit(INT32_MAX, 0)) << "no wider than 2^31 - 1 positions";
    EXPECT_EQ(-2, ScrollBarRangeLimit(INT32_MAX, INT32_MIN)) << "the width counts from Min";
    EXPECT_EQ(14, ScrollBarRangeLimit(14, 0));
    EXPECT_EQ(INT32_MIN, ScrollBarValueMax(INT32_MIN, 5)) << "a range below the limit is clamped";
}

TEST(ScrollAction, EveryCodeGivesTheTablesModifiersAndValues) {
    // Min 0, Max 10, page 5.
    struct Case { int32_t code, current, thumb; bool reports, setPos; int32_t position; uint16_t mods; int32_t base; const char* why; };
    const Case cases[] = {
        {kSbLineUp, 5, 0, true, true, 4, 2, kOldLineUp, "line up in the middle"},
        {kSbLineUp, 0, 0, true, false, 0, 34, kOldAtMin, "line up at Min: 34 and the unchanged position"},
        {kSbLineDown, 5, 0, true, true, 6, 1, kOldLineDown, "line down in the middle"},
        {kSbLineDown, 10, 0, true, false, 10, 65, kOldAtMax, "line down at Max: 65 and 700000000"},
        {kSbPageUp, 7, 0, true, true, 2, 8, kOldPageUp, "page up by Shift"},
        {kSbPageUp, 3, 0, true, true, 0, 8, kOldPageUp, "page up stops at Min"},
        {kSbPageUp, 0, 0, true, false, 0, 40, kOldAtMin, "page up at Min"},
        {kSbPageDown, 3, 0, true, true, 8, 4, kOldPageDown, "page down by Shift"},
        {kSbPageDown, 8, 0, true, true, 10, 4, kOldPageDown, "page down stops at Max"},
        {kSbPageDown, 10, 0, true, false, 10, 68, kOldAtMax, "page down at Max"},
        {kSbThumbPosition, 2, 7, true, true, 7, 16, kOldThumb, "the thumb's final position"},
        {kSbThumbPosition, 2, 12, true, false, 2, 16, kOldAtMax, "a thumb beyond Max leaves the bar"},
        {kSbThumbPosition, 7, 7, true, false, 7, 16, kOldAtMin, "a thumb where the bar is sets nothing"},
        {kSbTop, 6, 0, true, true, 0, 16, kOldThumb, "top"},
        {kSbBottom, 6, 0, true, true, 10, 16, kOldThumb, "bottom"},
        {kSbThumbTrack, 2, 7, false, false, 0, 0, 0, "dragging the thumb posts nothing"},
        {kSbEndScroll, 2, 0, false, false, 0, 0, 0, "the end of a scroll posts nothing"},
        {99, 2, 0, false, false, 0, 0, 0, "unknown codes post nothing"},
    };
    for (const Case& c : cases) {
        ScrollAction a = ScrollBarAction(c.code, c.current, 0, 10, 5, c.thumb);
        EXPECT_EQ(c.reports, a.reports) << c.why;
        if (!c.reports) continue;
        EXPECT_EQ(c.setPos, a.setPos) << c.why;
        EXPECT_EQ(c.position, a.position) << c.why;
        EXPECT_EQ(c.mods, a.modifiers) << c.why;
        EXPECT_EQ(c.base, a.oldBase) << c.why;
    }
}

TEST(ScrollAction, PagesNearTheLimitsDoNotWrap) {
    ScrollAction a = ScrollBarAction(kSbPageDown, INT32_MAX - 1, 0, INT32_MAX, INT32_MAX, 0);
    EXPECT_TRUE(a.setPos);
    EXPECT_EQ(INT32_MAX, a.position) << "a page past 2^31 stops at Max instead of wrapping below Min";
    a = ScrollBarAction(kSbPageUp, INT32_MIN + 1, INT32_MIN, 0, INT32_MAX, 0);
    EXPECT_EQ(INT32_MIN, a.position);
}

TEST(ScrollAction, PicturesStepByLinesOfTheirZoomAndStayInTheirRange) {
    // Range 0..100, a line of 3 image pixels (zoom 250), a page of 40.
    struct Case { int32_t code; uint32_t current; int32_t thumb; bool setPos; int32_t position; uint16_t mods; int32_t base; const char* why; };
    const Case cases[] = {
        {kSbLineUp, 50, 0, true, 47, 2, kOldLineUp, "a line up is the zoom's line"},
        {kSbLineUp, 2, 0, false, 2, 2, kOldLineUp, "a line past 0 moves nothing"},
        {kSbLineUp, 0, 0, false, 0, 34, kOldAtMin, "line up at 0"},
        {kSbLineDown, 50, 0, true, 53, 1, kOldLineDown, "line down"},
        {kSbLineDown, 99, 0, false, 99, 1, kOldLineDown, "a line past the range moves nothing"},
        {kSbLineDown, 100, 0, false, 100, 65, kOldAtMax, "line down at the end"},
        {kSbPageUp, 30, 0, true, 0, 8, kOldPageUp, "a page up stops at 0"},
        {kSbPageUp, 0, 0, false, 0, 40, kOldAtMin, "page up at 0"},
        {kSbPageDown, 70, 0, true, 100, 4, kOldPageDown, "a page down stops at the range"},
        {kSbPageDown, 100, 0, false, 100, 68, kOldAtMax, "page down at the end"},
        {kSbThumbPosition, 10, 60, true, 60, 16, kOldThumb, "the thumb"},
        {kSbThumbPosition, 10, 160, false, 10, 16, kOldThumb, "a thumb past the range"},
        {kSbTop, 10, 0, true, 0, 16, kOldThumb, "top"},
        {kSbBottom, 10, 0, true, 100, 16, kOldThumb, "bottom"},
    };
    for (const Case& c : cases) {
        ScrollAction a = PictScrollAction(c.code, c.current, 100, 3, 40, c.thumb);
        EXPECT_TRUE(a.reports) << c.why;
        EXPECT_EQ(c.setPos, a.setPos) << c.why;
        EXPECT_EQ(c.position, a.position) << c.why;
        EXPECT_EQ(c.mods, a.modifiers) << c.why;
        EXPECT_EQ(c.base, a.oldBase) << c.why;
    }
    EXPECT_FALSE(PictScrollAction(kSbLineDown, 0, 0, 3, 40, 0).reports) << "an empty range reports nothing";
    EXPECT_FALSE(PictScrollAction(kSbThumbTrack, 5, 100, 3, 40, 9).reports) << "thumb tracking reports nothing";
}

TEST(SliderAction, CodesMapToModifiersAndBases) {
    struct Case { int32_t code; bool reports; uint16_t mods; int32_t base; };
    const Case cases[] = {
        {kSbLineUp, true, 2, kOldLineUp},     {kSbLineDown, true, 1, kOldLineDown},
        {kSbPageUp, true, 8, kOldPageUp},     {kSbPageDown, true, 4, kOldPageDown},
        {kSbThumbPosition, true, 16, kOldThumb}, {kSbTop, true, 32, kOldAtMin},
        {kSbBottom, true, 64, kOldAtMax},     {kSbThumbTrack, false, 0, 0},
        {kSbEndScroll, false, 0, 0},
    };
    for (const Case& c : cases) {
        ScrollAction a = SliderAction(c.code, 42);
        EXPECT_EQ(c.reports, a.reports) << c.code;
        if (!c.reports) continue;
        EXPECT_EQ(c.mods, a.modifiers) << c.code;
        EXPECT_EQ(c.base, a.oldBase) << c.code;
        EXPECT_EQ(42, a.position) << c.code;
    }
}

TEST(SliderTicks, StylesGiveTheirBits) {
    struct Case { int32_t style; uint32_t bits; };
    const Case cases[] = {{1, 0x9}, {2, 0x1}, {3, 0x10}, {4, 0x5}, {0, 0x10}, {5, 0x10}, {-1, 0x10}};
    for (const Case& c : cases) EXPECT_EQ(c.bits, SliderTickBits(c.style)) << c.style;
}

TEST(ContainerScroll, OnlyTheStepCodesPass) {
    struct Case { int32_t code; uint32_t sent; };
    const Case cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 0xFFFF}, {5, 0xFFFF}, {6, 6}, {7, 7}, {8, 0xFFFF}, {-1, 0xFFFF}};
    for (const Case& c : cases) EXPECT_EQ(c.sent, ContainerScrollCode(c.code)) << c.code;
}

TEST(Timer, BusyForThreeAndAHalfPeriodsFiresOnceThenOnRhythm) {
    TimerPhase t = {1000, 10};
    bool fired = false;
    EXPECT_EQ(5u, TimerAdvance(&t, 1035, &fired)) << "half a period left after 3.5 periods";
    EXPECT_TRUE(fired) << "the missed periods give one firing, not three";
    EXPECT_EQ(1030u, t.lastTick) << "the phase is kept";
    EXPECT_EQ(1u, TimerAdvance(&t, 1039, &fired));
    EXPECT_FALSE(fired);
    EXPECT_EQ(10u, TimerAdvance(&t, 1040, &fired));
    EXPECT_TRUE(fired) << "half a period after the late firing";
}

TEST(Timer, TimeoutZeroNeverFiresAndAsksNoWakeUp) {
    TimerPhase t = {0, 0};
    bool fired = true;
    EXPECT_EQ(0u, TimerAdvance(&t, 123456, &fired));
    EXPECT_FALSE(fired);
}

TEST(Timer, AWrappedClockRestartsThePeriod) {
    TimerPhase t = {4000000000u, 10};
    bool fired = true;
    EXPECT_EQ(10u, TimerAdvance(&t, 5, &fired));
    EXPECT_FALSE(fired);
    EXPECT_EQ(5u, t.lastTick);
}

TEST(Timer, WakeUpIsClampedInsteadOfWrapping) {
    struct Case { uint32_t tenths, ms; const char* why; };
    const Case cases[] = {
        {1, 100, "a tenth of a second"},
        {42949672u, 4294967200u > kTimerMaxMs ? kTimerMaxMs : 4294967200u, "just below the wrap"},
        {42949673u, kTimerMaxMs, "x 100 would wrap to 4 ms and spin the client"},
        {0xFFFFFFFFu, kTimerMaxMs, "the largest Timeout"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.ms, TimerWakeMs(c.tenths)) << c.why;
}

TEST(DrawMode, TableGivesTheRasterOperations) {
    const int32_t expect[17] = {13, 1, 13, 6, 3, 9, 5, 12, 15, 14, 11, 4, 8, 2, 10, 16, 7};
    for (int32_t mode = 1; mode <= 16; ++mode) EXPECT_EQ(expect[mode], DrawModeRop2(mode)) << mode;
    EXPECT_EQ(13, DrawModeRop2(0)) << "out of range counts as 2";
    EXPECT_EQ(13, DrawModeRop2(17));
}

TEST(Placement, GridAndCells) {
    struct Case { int32_t value, grid, expect; };
    const Case cases[] = {{13, 8, 8}, {-3, 8, 0}, {16, 8, 16}, {-9, 8, -8}, {13, 0, 13}};
    for (const Case& c : cases) EXPECT_EQ(c.expect, GridTruncate(c.value, c.grid)) << c.value;
    // A line from (10, 5) to (2, 1) in cells of 8 x 16 runs from (76, 72) to (12, 8).
    EXPECT_EQ(76, CellCenter(10, 8));
    EXPECT_EQ(72, CellCenter(5, 16));
    EXPECT_EQ(12, CellCenter(2, 8));
    EXPECT_EQ(8, CellCenter(1, 16));
}

TEST(Progress, FillAndText) {
    struct Case { uint32_t value; int32_t extent, fill; const char* text; };
    const Case cases[] = {{0, 200, 0, "0%"}, {37, 200, 74, "37%"}, {100, 200, 200, "100%"}, {150, 200, 200, "100%"},
                          {50, 0, 0, "50%"}, {99, 3, 2, "99%"}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.fill, ProgressFill(c.value, c.extent)) << c.value;
        char text[8];
        ProgressText(c.value, text);
        EXPECT_STREQ(c.text, text);
    }
}

TEST(Splitter, DragsAreHeldAtTheLimits) {
    struct Case { int32_t start, moved, expect; const char* why; };
    const Case cases[] = {
        {100, 20, 120, "inside the limits"},
        {100, -70, 40, "held at MinSize"},
        {100, 200, 200, "held at the largest size"},
        {100, 0, 100, "no travel, no change"},
        {100, -60, 40, "exactly MinSize"},
        {30, -5, 30, "below MinSize already: not pulled up by a move down"},
        {250, 5, 250, "above the largest already: not pulled down by a move up"},
        {30, 5, 35, "a partner below MinSize may still grow"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expect, SplitterSize(c.start, c.moved, 40, 200)) << c.why;
    EXPECT_EQ(INT32_MAX, PackTenThousand(INT32_MAX, 5)) << "a huge $MOVE value is clamped, not wrapped";
    EXPECT_EQ(1230045, PackTenThousand(123, 45));
}

}  // namespace
