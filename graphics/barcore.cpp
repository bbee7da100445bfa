// barcore.cpp - the platform-free rules of the status bar, the tab control and
// the toolbar (see barcore.h): panel widths, names, tab labels and hot keys,
// styles, command ids and the drag threshold.
#include "graphics/barcore.h"

#include <cstring>

namespace {

constexpr uint32_t kSbtNoBorders = 0x100, kSbtPopOut = 0x200, kSbtRtlReading = 0x400;
constexpr uint8_t kTbStyleSep = 0x01, kTbStyleCheck = 0x02, kTbStyleGroup = 0x04, kTbStyleDropDown = 0x08,
                  kTbStyleAutoSize = 0x10, kTbStyleWholeDropDown = 0x80;
constexpr uint8_t kLastNameChar = 0xFF;

uint8_t UpperKey(uint32_t c) {
    if (c >= 'a' && c <= 'z') c = c - 'a' + 'A';
    return static_cast<uint8_t>(c);
}

}  // namespace

void StatusPanelWidths(const PanelMeasure* panels, uint32_t count, int32_t clientWidth, int32_t* widths) {
    int64_t used = 0;
    uint32_t springs = 0, lastSpring = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const PanelMeasure& p = panels[i];
        int32_t w = 0;
        switch (p.autoSize) {
        case kPanelContents:
            w = p.hasText ? p.textWidth + kPanelTextMargin : 0;
            if (w < p.minWidth) w = p.minWidth;
            break;
        case kPanelSpring:
            ++springs;
            lastSpring = i;
            break;
        default:
            w = p.width;
            break;
        }
        widths[i] = w;
        used += w;
    }
    if (!springs) return;
    int64_t free = static_cast<int64_t>(clientWidth) - used;
    if (free < 0) free = 0;
    int32_t share = static_cast<int32_t>(free / springs);
    int32_t remainder = static_cast<int32_t>(free % springs);
    for (uint32_t i = 0; i < count; ++i) {
        if (panels[i].autoSize != kPanelSpring) continue;
        int32_t w = share + (i == lastSpring ? remainder : 0);
        widths[i] = w < panels[i].minWidth ? panels[i].minWidth : w;
    }
}

uint32_t StatusPanelTextType(uint8_t bdrStyle, bool rightToLeft) {
    uint32_t type = bdrStyle == kPanelNoBorder ? kSbtNoBorders : bdrStyle == kPanelRaised ? kSbtPopOut : 0;
    return rightToLeft ? type | kSbtRtlReading : type;
}

void StatusPanelDefaultName(uint32_t number, char out[kStatusPanelNameSize]) {
    memcpy(out, "Panel001", kStatusPanelNameSize);
    if (number > kStatusPanelMax) number = kStatusPanelMax;
    out[5] = static_cast<char>('0' + number / 100);
    out[6] = static_cast<char>('0' + number / 10 % 10);
    out[7] = static_cast<char>('0' + number % 10);
}

uint32_t TabLabelNext(const char* text, uint32_t remaining, TabLabel* out, bool* ended) {
    out->length = 0;
    out->hotKey = 0;
    *ended = false;
    uint32_t i = 0;
    auto keep = [out](char c) {
        if (out->length < kTabLabelMax) out->text[out->length++] = c;
    };
    while (i < remaining) {
        char c = text[i++];
        if (c == ';') {
            *ended = true;
            break;
        }
        keep(c);
        if (c != '&' || i >= remaining || text[i] == ';') continue;
        if (text[i] == '&') {
            keep(text[i++]);   // a literal ampersand keeps both characters
        } else if (!out->hotKey) {
            out->hotKey = UpperKey(static_cast<unsigned char>(text[i]));
        }
    }
    out->text[out->length] = 0;
    return i;
}

uint8_t TabLabelHotKey(const char* text, uint32_t length) {
    for (uint32_t i = 0; i + 1 < length; ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;   // a literal ampersand
            continue;
        }
        return UpperKey(static_cast<unsigned char>(text[i + 1]));
    }
    return 0;
}

void TabHotKeysInsert(TabHotKeys* t, uint32_t index, uint8_t key) {
    if (index >= kTabHotKeyMax) return;
    uint32_t count = t->count > kTabHotKeyMax ? kTabHotKeyMax : t->count;
    if (index > count) index = count;
    uint32_t moved = (count < kTabHotKeyMax ? count : kTabHotKeyMax - 1) - index;
    memmove(&t->keys[index + 1], &t->keys[index], moved);
    t->keys[index] = key;
    if (count < kTabHotKeyMax) ++count;
    t->count = static_cast<uint8_t>(count);
}

void TabHotKeysInsertAt(TabHotKeys* t, uint32_t index, uint8_t key, uint32_t tabCount) {
    uint32_t before = t->count;
    TabHotKeysInsert(t, index, key);
    uint32_t count = tabCount > kTabHotKeyMax ? kTabHotKeyMax : tabCount;
    // Entries the table never held (tabs made without it) have no hot key.
    for (uint32_t i = before + 1; i < count; ++i)
        if (i != index) t->keys[i] = 0;
    t->count = static_cast<uint8_t>(count);
}

void TabHotKeysDelete(TabHotKeys* t, uint32_t index) {
    uint32_t count = t->count > kTabHotKeyMax ? kTabHotKeyMax : t->count;
    if (index >= count) return;
    memmove(&t->keys[index], &t->keys[index + 1], count - index - 1);
    t->keys[count - 1] = 0;
    t->count = static_cast<uint8_t>(count - 1);
}

void TabHotKeysSet(TabHotKeys* t, uint32_t index, uint8_t key) {
    if (index < kTabHotKeyMax && index < t->count) t->keys[index] = key;
}

int32_t TabHotKeysFind(const TabHotKeys* t, uint32_t key) {
    if (key == 0 || key > 0xFF) return -1;
    uint8_t k = UpperKey(key);
    uint32_t count = t->count > kTabHotKeyMax ? kTabHotKeyMax : t->count;
    for (uint32_t i = 0; i < count; ++i)
        if (t->keys[i] == k) return static_cast<int32_t>(i);
    return -1;
}

bool TabStyleAccepted(uint32_t current, int32_t wanted) {
    if (wanted < 0 || wanted > 3) return false;
    bool sideways = current >= 2, wantsSideways = wanted >= 2;
    return sideways == wantsSideways;
}

uint32_t TabSetStyleBits(uint32_t style, uint32_t bits, bool set) {
    bits &= kTabSetStyleMask;
    return set ? style | bits : style & ~bits;
}

uint8_t ToolButtonTbStyle(int32_t btnStyle, bool autoSize) {
    uint8_t s = 0;
    switch (btnStyle) {
    case kBtnDropDown: s = kTbStyleDropDown; break;
    case kBtnWholeDropDown: s = kTbStyleWholeDropDown; break;
    case kBtnSeparator: s = kTbStyleSep; break;
    case kBtnCheck: s = kTbStyleCheck; break;
    case kBtnCheckGroup: s = kTbStyleCheck | kTbStyleGroup; break;
    default: break;
    }
    return autoSize ? static_cast<uint8_t>(s | kTbStyleAutoSize) : s;
}

void ToolButtonDefaultName(uint32_t count, char out[kToolButtonNameSize]) {
    memcpy(out, "ToolBtn001", kToolButtonNameSize);
    uint32_t tens = '0' + count / 10;
    out[8] = static_cast<char>(tens > kLastNameChar ? kLastNameChar : tens);
    out[9] = static_cast<char>('0' + count % 10);
}

uint32_t ToolBarTakeCommandId(uint32_t* next, bool (*inUse)(void* ctx, uint32_t id), void* ctx) {
    for (uint32_t tries = 1; tries < kCommandIdLimit; ++tries) {
        if (*next == 0 || *next >= kCommandIdLimit) *next = 1;
        uint32_t id = (*next)++;
        if (!inUse || !inUse(ctx, id)) return id;
    }
    return 0;
}

bool ToolBarDragMoved(int32_t x0, int32_t y0, int32_t x, int32_t y) {
    bool inside = x >= x0 - kDragSlop && x < x0 + kDragSlop && y >= y0 - kDragSlop && y < y0 + kDragSlop;
    return !inside;
}
