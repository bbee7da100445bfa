// gfxcore.cpp - the platform-free rules of the bar, container and drawing kinds
// (see gfxcore.h): range arithmetic, the action tables, timer periods, raster
// operations and placement rules.
#include "graphics/gfxcore.h"

#include <cstdio>

namespace {

int32_t Clamp32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// One row per scroll code that reports: modifiers and base in the middle of
// the range, and at the end the code runs into (Min for the up codes, Max for
// the down codes).
struct ActionRow {
    int32_t code;
    uint16_t modifiers, endModifiers;
    int32_t base, endBase;
};
const ActionRow kScrollActions[] = {
    {kSbLineUp, 2, 34, kOldLineUp, kOldAtMin},
    {kSbLineDown, 1, 65, kOldLineDown, kOldAtMax},
    {kSbPageUp, 8, 40, kOldPageUp, kOldAtMin},
    {kSbPageDown, 4, 68, kOldPageDown, kOldAtMax},
    {kSbThumbPosition, 16, 16, kOldThumb, kOldThumb},
    {kSbTop, 16, 16, kOldThumb, kOldThumb},
    {kSbBottom, 16, 16, kOldThumb, kOldThumb},
};

struct SliderRow {
    int32_t code;
    uint16_t modifiers;
    int32_t base;
};
const SliderRow kSliderActions[] = {
    {kSbLineUp, 2, kOldLineUp},       {kSbLineDown, 1, kOldLineDown}, {kSbPageUp, 8, kOldPageUp},
    {kSbPageDown, 4, kOldPageDown},   {kSbThumbPosition, 16, kOldThumb}, {kSbTop, 32, kOldAtMin},
    {kSbBottom, 64, kOldAtMax},
};

// DrawMode 1..16 to R2_BLACK .. R2_XORPEN.
const int32_t kRop2ByDrawMode[17] = {13, 1, 13, 6, 3, 9, 5, 12, 15, 14, 11, 4, 8, 2, 10, 16, 7};

// TickStyle bits: TBS_AUTOTICKS 0x1, TBS_TOP/TBS_LEFT 0x4, TBS_BOTH 0x8, TBS_NOTICKS 0x10.
const uint32_t kTickBits[5] = {0x10, 0x9, 0x1, 0x10, 0x5};

}  // namespace

int32_t ScrollBarShift(int32_t shift) { return shift < 1 ? 1 : shift; }

int32_t ScrollBarRangeMax(int32_t max, int32_t shift) {
    return Clamp32(static_cast<int64_t>(max) + ScrollBarShift(shift) - 1);
}

int32_t ScrollBarRangeLimit(int32_t rangeMax, int32_t min) {
    int64_t widest = static_cast<int64_t>(min) + INT32_MAX - 1;
    return rangeMax > widest ? static_cast<int32_t>(widest) : rangeMax;
}

int32_t ScrollBarValueMax(int32_t rangeMax, uint32_t page) {
    return Clamp32(static_cast<int64_t>(rangeMax) - static_cast<int64_t>(page) + 1);
}

namespace {

// The row of a code that reports, or null (thumb tracking, the end of a
// scroll and unknown codes report nothing).
const ActionRow* ActionRowOf(int32_t code) {
    for (const ActionRow& r : kScrollActions)
        if (r.code == code) return &r;
    return nullptr;
}

// Whether the code starts at the end it runs towards: an up code at min, a
// down code at max.
bool StartsAtEnd(int32_t code, int64_t current, int64_t min, int64_t max) {
    if (code == kSbLineUp || code == kSbPageUp) return current <= min;
    if (code == kSbLineDown || code == kSbPageDown) return current >= max;
    return false;
}

// Where the code moves the position: a line (unbounded), a page (stopping at
// the ends), the thumb, or an end.
int64_t ActionTarget(int32_t code, int64_t current, int64_t min, int64_t max, int64_t line, int64_t page,
                     int32_t thumb) {
    switch (code) {
    case kSbLineUp: return current - line;
    case kSbLineDown: return current + line;
    case kSbPageUp: return current - page < min ? min : current - page;
    case kSbPageDown: return current + page > max ? max : current + page;
    case kSbThumbPosition: return thumb;
    case kSbTop: return min;
    default: return max;   // kSbBottom
    }
}

// The action's modifiers and old-event base from its row and where it began.
ScrollAction ActionOf(const ActionRow* row, bool atEnd) {
    ScrollAction a = {};
    a.reports = true;
    a.modifiers = atEnd ? row->endModifiers : row->modifiers;
    a.oldBase = atEnd ? row->endBase : row->base;
    return a;
}

}  // namespace

ScrollAction ScrollBarAction(int32_t code, int32_t current, int32_t min, int32_t max, int32_t shift, int32_t thumb) {
    const ActionRow* row = ActionRowOf(code);
    if (!row) return ScrollAction{};
    bool atEnd = StartsAtEnd(code, current, min, max);
    ScrollAction a = ActionOf(row, atEnd);
    bool line = code == kSbLineUp || code == kSbLineDown;
    int64_t want = atEnd && line ? current : ActionTarget(code, current, min, max, 1, ScrollBarShift(shift), thumb);
    if (want >= min && want <= max && want != current) {
        a.setPos = true;
        a.position = static_cast<int32_t>(want);
    } else {
        // The bar stays: the old event says which end the attempt ran into.
        a.position = current;
        a.oldBase = want < max ? kOldAtMin : kOldAtMax;
    }
    return a;
}

ScrollAction PictScrollAction(int32_t code, uint32_t current, uint32_t range, uint32_t line, uint32_t step,
                              int32_t thumb) {
    const ActionRow* row = ActionRowOf(code);
    if (!row || range == 0) return ScrollAction{};
    ScrollAction a = ActionOf(row, StartsAtEnd(code, current, 0, range));
    int64_t want = ActionTarget(code, current, 0, range, line, step, thumb);
    // A step past either end moves nothing: the position stays.
    bool inside = want >= 0 && want <= static_cast<int64_t>(range);
    a.setPos = inside && want != current;
    a.position = inside ? static_cast<int32_t>(want) : static_cast<int32_t>(current);
    return a;
}

ScrollAction SliderAction(int32_t code, int32_t value) {
    ScrollAction a = {};
    for (const SliderRow& r : kSliderActions) {
        if (r.code != code) continue;
        a.reports = true;
        a.position = value;
        a.modifiers = r.modifiers;
        a.oldBase = r.base;
    }
    return a;
}

uint32_t SliderTickBits(int32_t tickStyle) {
    return tickStyle >= 1 && tickStyle <= 4 ? kTickBits[tickStyle] : kTickBits[0];
}

uint32_t ContainerScrollCode(int32_t code) {
    switch (code) {
    case kSbLineUp: case kSbLineDown: case kSbPageUp: case kSbPageDown: case kSbTop: case kSbBottom:
        return static_cast<uint32_t>(code);
    default:
        return 0xFFFF;
    }
}

int32_t PackTenThousand(int32_t a, int32_t b) { return Clamp32(static_cast<int64_t>(a) * 10000 + b); }

uint32_t TimerAdvance(TimerPhase* t, uint32_t now, bool* fired) {
    *fired = false;
    if (t->timeout == 0) return 0;
    if (t->lastTick > now) t->lastTick = now;   // the tick counter wrapped
    uint32_t elapsed = now - t->lastTick;
    if (elapsed >= t->timeout) {
        *fired = true;
        elapsed %= t->timeout;
        t->lastTick = now - elapsed;
    }
    return t->timeout - elapsed;
}

uint32_t TimerWakeMs(uint32_t tenths) {
    uint64_t ms = static_cast<uint64_t>(tenths) * 100;
    return ms > kTimerMaxMs ? kTimerMaxMs : static_cast<uint32_t>(ms);
}

int32_t DrawModeRop2(int32_t drawMode) {
    return drawMode >= 1 && drawMode <= 16 ? kRop2ByDrawMode[drawMode] : kRop2ByDrawMode[kDrawModeDefault];
}

int32_t ValueInRange(int32_t value, int32_t lo, int32_t hi, int32_t def) {
    return value >= lo && value <= hi ? value : def;
}

int32_t GridTruncate(int32_t value, int32_t grid) {
    if (grid <= 0) return value;
    return value / grid * grid;
}

int32_t CellCenter(int32_t c, int32_t cellSize) {
    return Clamp32((static_cast<int64_t>(c) - 1) * cellSize + cellSize / 2);
}

int32_t ProgressFill(uint32_t value, int32_t extent) {
    if (extent <= 0) return 0;
    if (value >= 100) return extent;
    return static_cast<int32_t>(static_cast<int64_t>(extent) * value / 100);
}

void ProgressText(uint32_t value, char out[8]) {
    snprintf(out, 8, "%u%%", value > 100 ? 100u : value);
}

int32_t SplitterSize(int32_t startSize, int32_t moved, int32_t minSize, int32_t maxSize) {
    int64_t want = static_cast<int64_t>(startSize) + moved;
    if (moved < 0 && want < minSize) want = minSize < startSize ? minSize : startSize;
    if (moved > 0 && want > maxSize) want = maxSize > startSize ? maxSize : startSize;
    return static_cast<int32_t>(want);
}

uint8_t ImageColorsRound(int32_t colors) {
    if (colors <= 0) return 32;
    if (colors < 5) return 4;
    if (colors < 9) return 8;
    if (colors <= 16) return 16;
    if (colors <= 24) return 24;
    return 32;
}
