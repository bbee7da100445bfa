// ctlcore.cpp - the platform-free helpers of the text, list and menu controls:
// edit text conversion with its shared buffers, edit option letters and the
// menu definition parser.
#include "controls/ctlcore.h"

#include <cstring>

#include "session/util/bytereader.h"
#include "session/util/mem.h"

ObjectRecord* gMenuMadeLast;

char* gEditTextBuf;
uint32_t gEditTextSize;
uint32_t gEditTextLen;
char* gEditTabBuf;
uint32_t gEditTabSize;
MenuItemParse gMenuItem;

namespace {

// Buffers grow in steps so that a run of similar texts does not reallocate.
constexpr uint32_t kEditBufStep = 4096;

bool GrowBuffer(char** buf, uint32_t* size, uint64_t need) {
    CheckedSize want(need);
    want.Add(1);
    if (!want.ok || need > kEditTextMax) return false;
    if (want.value <= *size) return true;
    uint64_t rounded = (want.value + kEditBufStep - 1) / kEditBufStep * kEditBufStep;
    char* grown = static_cast<char*>(GuardedRealloc(*buf, static_cast<size_t>(rounded)));
    if (!grown) return false;
    *buf = grown;
    *size = static_cast<uint32_t>(rounded);
    return true;
}

// The bytes of the line break that starts at p, 0 when none starts there.
uint32_t LineBreakAt(const char* p, const char* end) {
    if (static_cast<uint8_t>(*p) == kProgramLineBreak || *p == '\n') return 1;
    if (*p == '\r' && p + 1 < end && p[1] == '\n') return 2;
    return 0;
}

}  // namespace

bool EditTextBufferEnsure(uint32_t size) { return GrowBuffer(&gEditTextBuf, &gEditTextSize, size); }

bool EditTabBufferEnsure(uint32_t length) {
    return GrowBuffer(&gEditTabBuf, &gEditTabSize, static_cast<uint64_t>(length) * kTabStop);
}

bool EditTabBufferHold(uint32_t bytes) { return GrowBuffer(&gEditTabBuf, &gEditTabSize, bytes); }

bool EditTextFormatLines(const char* text, uint32_t length, uint32_t lineLimit, uint32_t columnLimit) {
    const char* p = text;
    const char* end = text ? text + length : text;
    // Each one-byte break grows to two; the rest is copied or dropped. The
    // room is counted, not guessed at twice the text, which would refuse
    // texts over half the limit.
    uint64_t room = length;
    for (const char* q = p; q < end;) {
        uint32_t brk = LineBreakAt(q, end);
        if (brk == 1) ++room;
        q += brk ? brk : 1;
    }
    if (!GrowBuffer(&gEditTextBuf, &gEditTextSize, room)) return false;
    uint32_t out = 0, lines = 1, column = 0;
    while (p < end) {
        uint32_t brk = LineBreakAt(p, end);
        if (brk) {
            p += brk;
            if (lineLimit && lines >= lineLimit) break;   // the lines beyond the limit are dropped
            gEditTextBuf[out++] = '\r';
            gEditTextBuf[out++] = '\n';
            ++lines;
            column = 0;
            continue;
        }
        if (!columnLimit || column < columnLimit) gEditTextBuf[out++] = *p;
        ++column;
        ++p;
    }
    gEditTextBuf[out] = 0;
    gEditTextLen = out;
    return true;
}

bool EditTextFromControl(const char* text, uint32_t length) {
    if (!EditTextBufferEnsure(length)) return false;
    const char* p = text;
    const char* end = text ? text + length : text;
    uint32_t out = 0;
    while (p < end) {
        uint32_t brk = LineBreakAt(p, end);
        if (brk && static_cast<uint8_t>(*p) != kProgramLineBreak) {
            gEditTextBuf[out++] = static_cast<char>(kProgramLineBreak);
            p += brk;
            continue;
        }
        gEditTextBuf[out++] = *p++;
    }
    gEditTextBuf[out] = 0;
    gEditTextLen = out;
    return true;
}

int32_t EditTabsExpand(const char* text, uint32_t length) {
    if (!EditTabBufferEnsure(length)) return -1;
    uint32_t out = 0, column = 0;
    for (uint32_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '\t') {
            do gEditTabBuf[out++] = ' ';
            while (++column % kTabStop);
            continue;
        }
        gEditTabBuf[out++] = c;
        column = (c == '\n' || static_cast<uint8_t>(c) == kProgramLineBreak) ? 0 : column + 1;
    }
    gEditTabBuf[out] = 0;
    return static_cast<int32_t>(out);
}

void EditBuffersFree() {
    GuardedFree(gEditTextBuf);
    GuardedFree(gEditTabBuf);
    gEditTextBuf = gEditTabBuf = nullptr;
    gEditTextSize = gEditTabSize = gEditTextLen = 0;
}

uint16_t EditOptionsParse(uint32_t count, const char* text) {
    static const uint16_t kOptionBits[6] = {0x0008, 0x0040, 0x0010, 0x0020, 0x0080, 0x0100};
    uint16_t mask = 0;
    for (uint32_t i = 0; i < count && i < 6 && text; ++i)
        if (text[i] == 'Y' || text[i] == 'y') mask |= kOptionBits[i];
    return mask;
}

// ---- Menu definition text ------------------------------------------------------------

namespace {

// The shortcut sets that '<' marks select, each with its F1 code.
constexpr uint8_t kShortF = 1, kShortShiftF = 16, kShortCtrlF = 67, kShortCtrlShiftF = 118;
constexpr uint8_t kShortCtrlDigit = 31, kShortCtrlLetter = 41;
// '<1' .. '<6' give these special menus.
constexpr uint8_t kSpecialByMark[6] = {6, 2, 1, 4, 3, 5};

struct ItemCursor {
    const char* p;
    const char* end;
    bool More() const { return p < end; }
    char Peek(uint32_t ahead = 0) const { return p + ahead < end ? p[ahead] : 0; }
};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

void AppendText(char c) {
    if (gMenuItem.length < kMenuItemTextSize - 1) gMenuItem.text[gMenuItem.length++] = c;
}

// The function-key number after an 'F' mark: one digit 1..9, or 10..15; a
// second digit above 5 is left as text. 1 when no valid number follows.
uint8_t FunctionNumber(ItemCursor* c) {
    char d1 = c->Peek();
    if (d1 < '1' || d1 > '9') return 1;
    ++c->p;
    char d2 = c->Peek();
    if (d1 == '1' && d2 >= '0' && d2 <= '5') {
        ++c->p;
        return static_cast<uint8_t>(10 + (d2 - '0'));
    }
    return static_cast<uint8_t>(d1 - '0');
}

// The marks after '<' (the '<' itself already taken).
void ParseAngleMark(ItemCursor* c) {
    char m = Upper(c->Peek());
    if (m == '<') {
        ++c->p;
        AppendText('<');
        return;
    }
    if (m >= '1' && m <= '6') {
        ++c->p;
        gMenuItem.specialMenu = kSpecialByMark[m - '1'];
        return;
    }
    uint8_t base = 0;
    uint32_t prefix = 0;
    char m2 = Upper(c->Peek(1)), m3 = Upper(c->Peek(2));
    if (m == 'F') {
        base = kShortF, prefix = 1;
    } else if ((m == 'C' && m2 == 'S') || (m == 'S' && m2 == 'C')) {
        if (m3 == 'F') base = kShortCtrlShiftF, prefix = 3;
    } else if (m == 'S' && m2 == 'F') {
        base = kShortShiftF, prefix = 2;
    } else if (m == 'C' && m2 == 'F') {
        base = kShortCtrlF, prefix = 2;
    }
    if (base) {
        c->p += prefix;
        gMenuItem.shortCut = static_cast<uint8_t>(base + FunctionNumber(c) - 1);
        return;
    }
    switch (m) {
    case 'L': gMenuItem.mergeCode = 1; ++c->p; return;
    case 'M': gMenuItem.mergeCode = 2; ++c->p; return;
    case 'R': gMenuItem.mergeCode = 3; ++c->p; return;
    case 'W': gMenuItem.windowList = true; ++c->p; return;
    default: AppendText('<'); return;   // not a mark: the '<' is text
    }
}

void ParseHelpMark(ItemCursor* c) {
    char n = c->Peek();
    if (n >= '0' && n <= '9') {
        uint32_t v = 0;
        while (c->More() && *c->p >= '0' && *c->p <= '9') {
            if (v < 100000000u) v = v * 10 + static_cast<uint32_t>(*c->p - '0');
            ++c->p;
        }
        gMenuItem.helpNumber = v;
        return;
    }
    if (n == '"') {
        ++c->p;
        uint32_t len = 0;
        while (c->More() && *c->p != '"') {
            if (len < kMenuItemTextSize - 1) gMenuItem.helpTopic[len++] = *c->p;
            ++c->p;
        }
        gMenuItem.helpTopic[len] = 0;
        if (c->More()) ++c->p;   // the closing quote
        return;
    }
    AppendText('?');
}

}  // namespace

uint32_t MenuParseItemText(const char* text, uint32_t remaining, bool insertMnemonics) {
    memset(&gMenuItem, 0, sizeof gMenuItem);
    gMenuItem.enabled = true;
    ItemCursor c = {text, text ? text + remaining : text};
    while (c.More()) {
        char ch = *c.p++;
        switch (ch) {
        case ';':
            return static_cast<uint32_t>(c.p - text);
        case '&':
            if (c.Peek() == '&') {
                ++c.p;
                AppendText('&');
                if (insertMnemonics) AppendText('&');
            } else if (insertMnemonics) {
                AppendText('&');
            }
            break;
        case '(':
            if (c.Peek() == '(') {
                ++c.p;
                AppendText('(');
            } else {
                gMenuItem.enabled = false;
            }
            break;
        case ')':
            if (c.More()) AppendText(*c.p++);
            break;
        case '-':
            if (gMenuItem.length == 0 && (c.Peek() == ';' || !c.More())) gMenuItem.separator = true;
            AppendText('-');
            break;
        case '/': {
            char n = c.Peek();
            if (n >= 'A' && n <= 'Z') {
                gMenuItem.shortCut = static_cast<uint8_t>(kShortCtrlLetter + (n - 'A'));
                ++c.p;
            } else if (n >= '0' && n <= '9') {
                gMenuItem.shortCut = static_cast<uint8_t>(kShortCtrlDigit + (n - '0'));
                ++c.p;
            } else if (n == '/') {
                ++c.p;
                AppendText('/');
            }
            break;   // any other '/' is dropped
        }
        case '<':
            ParseAngleMark(&c);
            break;
        case '?':
            ParseHelpMark(&c);
            break;
        default:
            AppendText(ch);
            break;
        }
    }
    gMenuItem.text[gMenuItem.length] = 0;
    return static_cast<uint32_t>(c.p - text);
}

namespace {
uint8_t gMenuBaseUsed[kMenuBaseSlots];
}  // namespace

uint16_t MenuBaseAlloc() {
    for (uint32_t i = 0; i < kMenuBaseSlots; ++i) {
        if (!gMenuBaseUsed[i]) {
            gMenuBaseUsed[i] = 1;
            return static_cast<uint16_t>((i + 1) * kMenuBaseStep);
        }
    }
    return 0;
}

void MenuBaseFree(uint16_t base) {
    uint32_t slot = base / kMenuBaseStep;
    if (base % kMenuBaseStep == 0 && slot >= 1 && slot <= kMenuBaseSlots) gMenuBaseUsed[slot - 1] = 0;
}

int32_t MenuItemStateCode(bool disabled, bool checked, bool isDefault) {
    constexpr int32_t kStateDisabled = 3, kStateChecked = 8, kStateDefault = 0x1000;
    return (disabled ? kStateDisabled : 0) | (checked ? kStateChecked : 0) | (isDefault ? kStateDefault : 0);
}

int32_t MenuItemTypeCode(bool separator, bool subMenu) {
    constexpr int32_t kTypeSeparator = 0x800, kTypeSubMenu = INT32_MIN;
    return (separator ? kTypeSeparator : 0) | (subMenu ? kTypeSubMenu : 0);
}

bool MenuShortcutKey(uint8_t code, uint8_t* vk, uint8_t* modifiers) {
    constexpr uint8_t kVkF1 = 0x70, kShift = 1, kCtrl = 2;
    struct Range {
        uint8_t first, last, key, mods;
    };
    static const Range kRanges[] = {
        {1, 15, kVkF1, 0},          {16, 30, kVkF1, kShift},          {31, 40, '0', kCtrl},
        {41, 66, 'A', kCtrl},       {67, 81, kVkF1, kCtrl},           {82, 91, '0', kCtrl | kShift},
        {92, 117, 'A', kCtrl | kShift}, {118, 132, kVkF1, kCtrl | kShift},
    };
    for (const Range& r : kRanges) {
        if (code < r.first || code > r.last) continue;
        *vk = static_cast<uint8_t>(r.key + (code - r.first));
        *modifiers = r.mods;
        return true;
    }
    return false;
}
