// gfxcore.h - the platform-free rules of the bar, container and drawing kinds:
// scroll-bar ranges and the action table shared by scroll bars and sliders,
// the timer's period arithmetic, raster operations by DrawMode, grid and
// character-cell placement of lines, progress extents and splitter steps.
#pragma once

#include <cstdint>

// ---- Scroll bars and sliders ---------------------------------------------------------
// A scroll bar's own range runs Min .. Max + Shift - 1 so that the thumb, one
// page wide, reaches Max. Server values near 2^31 would overflow 32 bits: the
// sums are made in 64 bits and clamped to the 32-bit range.
int32_t ScrollBarRangeMax(int32_t max, int32_t shift);
// The platform takes no range wider than 2^31 - 1 positions: nMax is kept
// within that of nMin.
int32_t ScrollBarRangeLimit(int32_t rangeMax, int32_t min);
// The Max a program sees from the bar's range: nMax - nPage + 1, clamped.
int32_t ScrollBarValueMax(int32_t rangeMax, uint32_t page);
// Shift 0 (and below) gives the page size 1.
int32_t ScrollBarShift(int32_t shift);

// Scroll codes as WM_HSCROLL / WM_VSCROLL carry them in the low word.
enum ScrollCode : int32_t {
    kSbLineUp = 0, kSbLineDown = 1, kSbPageUp = 2, kSbPageDown = 3, kSbThumbPosition = 4,
    kSbThumbTrack = 5, kSbTop = 6, kSbBottom = 7, kSbEndScroll = 8,
};
// $OLDEVENT values are a base per action plus the position.
enum OldEventBase : int32_t {
    kOldLineDown = 100000000, kOldLineUp = 200000000, kOldPageDown = 300000000, kOldPageUp = 400000000,
    kOldThumb = 500000000, kOldAtMin = 600000000, kOldAtMax = 700000000,
};
// What a user action on a scroll bar or slider does: whether it reports at
// all, the new position (setPos: the bar moves to it), the $CHANGE modifiers
// and the $OLDEVENT base.
struct ScrollAction {
    bool reports;
    bool setPos;
    int32_t position;
    uint16_t modifiers;
    int32_t oldBase;
};
// A scroll bar's action for a code, from its current position, Min, Max, page
// (Shift) and the thumb position of the message.
ScrollAction ScrollBarAction(int32_t code, int32_t current, int32_t min, int32_t max, int32_t shift, int32_t thumb);
// A picture's scroll action: the new position for a code from the current
// position, the range (positions 0..range), the line and page steps and the
// thumb, with a scroll bar's modifiers and old-event bases (the end variants
// when an up code starts at 0 or a down code at the range). A position past
// either end is not taken (setPos false, the current one reported); an empty
// range reports nothing.
ScrollAction PictScrollAction(int32_t code, uint32_t current, uint32_t range, uint32_t line, uint32_t step,
                              int32_t thumb);
// A slider's action: the control has moved already; value is its position.
ScrollAction SliderAction(int32_t code, int32_t value);
// The style bits of a slider's TickStyle (1 both sides, 2 below/right, 3 none,
// 4 above/left; any other value as 3).
uint32_t SliderTickBits(int32_t tickStyle);
constexpr uint32_t kSliderTickMask = 0x1D;

// ---- Containers -------------------------------------------------------------------------
// The scroll code ContainerScroll sends for a program's code: 0-3, 6 and 7
// pass, everything else becomes 0xFFFF (no scrolling step).
uint32_t ContainerScrollCode(int32_t code);
// $RESIZE and $MOVE values: width x 10000 + height, left x 10000 + top.
int32_t PackTenThousand(int32_t a, int32_t b);

// ---- Timer --------------------------------------------------------------------------------
// One timer's period state, in tenths of a second.
struct TimerPhase {
    uint32_t lastTick;
    uint32_t timeout;
};
// Advances a timer to now: *fired tells whether a period ended. A tick
// counter that wrapped (last tick after now) restarts the period from now;
// periods missed while the client was busy are dropped and the phase is
// kept. The tenths left until the next firing (0 for Timeout 0, which never
// fires).
uint32_t TimerAdvance(TimerPhase* t, uint32_t now, bool* fired);
// The pump's wake-up in milliseconds for tenths of a second left: x 100,
// clamped to the largest period a Windows timer takes (a larger product would
// wrap in 32 bits into a few milliseconds and spin the client).
constexpr uint32_t kTimerMaxMs = 0x7FFFFFFFu;
uint32_t TimerWakeMs(uint32_t tenths);

// ---- Drawing ------------------------------------------------------------------------------
// The SetROP2 mode of a DrawMode 1..16; anything else as 2 (copy pen).
int32_t DrawModeRop2(int32_t drawMode);
constexpr int32_t kDrawModeDefault = 2;
// A value in range lo..hi, or def.
int32_t ValueInRange(int32_t value, int32_t lo, int32_t hi, int32_t def);
// A coordinate cut down to a multiple of the grid (truncating towards zero).
int32_t GridTruncate(int32_t value, int32_t grid);
// The pixel at the middle of character cell c (1-based) of the given size.
int32_t CellCenter(int32_t c, int32_t cellSize);
// A progress bar's filled extent of extent pixels at value percent (0..100).
int32_t ProgressFill(uint32_t value, int32_t extent);
// "37%": the text a progress bar shows (values of 100 and more as "100%").
void ProgressText(uint32_t value, char out[8]);

// ---- Image lists ------------------------------------------------------------------------
// ImageColors rounded up to a colour depth the lists take: 4, 8, 16, 24 or
// 32; 0 (and below) or above 24 give 32.
uint8_t ImageColorsRound(int32_t colors);

// ---- Splitter -----------------------------------------------------------------------------
// The partner's size during a drag: its size at the press moved by the mouse's
// travel along the axis since the press, held within minSize and maxSize. A
// partner already outside the limits is not pulled the other way.
int32_t SplitterSize(int32_t startSize, int32_t moved, int32_t minSize, int32_t maxSize);
