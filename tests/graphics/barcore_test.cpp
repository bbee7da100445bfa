// barcore_test.cpp - the platform-free rules of the bars under the sanitizers:
// status panel widths worked by hand, default names, tab labels and their hot
// keys, the bounded hot-key table, tab and tool button styles, command ids that
// skip live buttons and the drag threshold.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "graphics/barcore.h"

namespace {

TEST(BarCore, PanelWidthsSpringArithmetic) {
    struct Case {
        std::vector<PanelMeasure> panels;
        int32_t client;
        std::vector<int32_t> expect;
        const char* why;
    };
    const Case kCases[] = {
        {{{kPanelContents, 0, 10, 40, true}, {kPanelFixed, 60, 10, 0, false}, {kPanelSpring, 0, 10, 0, false}},
         300, {48, 60, 192}, "text 40 + 8, fixed 60, the spring takes the rest"},
        {{{kPanelSpring, 0, 0, 0, false}, {kPanelFixed, 100, 0, 0, false}, {kPanelSpring, 0, 0, 0, false}},
         301, {100, 100, 101}, "two springs share 201: the last one takes the remainder"},
        {{{kPanelContents, 0, 50, 10, true}, {kPanelSpring, 0, 30, 0, false}},
         40, {50, 30}, "MinWidth floors a short text, and a spring with no room left"},
        {{{kPanelContents, 0, 0, 99, false}, {kPanelFixed, 70, 0, 0, false}},
         500, {0, 70}, "a contents panel without text is 0 wide; no springs leave the rest unused"},
        {{{kPanelFixed, 200, 0, 0, false}, {kPanelSpring, 0, 5, 0, false}},
         100, {200, 5}, "a client narrower than the fixed panels leaves springs their MinWidth"},
        {{{0, 33, 0, 0, false}, {4, 44, 0, 0, false}}, 300, {33, 44}, "AutoSize outside 1..3 lays out as fixed"},
    };
    for (const Case& c : kCases) {
        std::vector<int32_t> widths(c.panels.size(), -1);
        StatusPanelWidths(c.panels.data(), static_cast<uint32_t>(c.panels.size()), c.client, widths.data());
        EXPECT_EQ(c.expect, widths) << c.why;
    }
}

TEST(BarCore, PanelTextTypeAndNames) {
    struct TypeCase {
        uint8_t bdr;
        bool rtl;
        uint32_t expect;
    };
    const TypeCase kTypes[] = {{1, false, 0x100}, {2, false, 0x200}, {3, false, 0}, {3, true, 0x400}, {1, true, 0x500}};
    for (const TypeCase& c : kTypes) EXPECT_EQ(c.expect, StatusPanelTextType(c.bdr, c.rtl)) << int(c.bdr);
    struct NameCase {
        uint32_t n;
        const char* panel;
        const char* button;
    };
    const NameCase kNames[] = {
        {1, "Panel001", "ToolBtn001"}, {3, "Panel003", "ToolBtn003"}, {42, "Panel042", "ToolBtn042"},
        {100, "Panel100", "ToolBtn0:0"},   // buttons go on past '9' in character order
        {250, "Panel100", "ToolBtn0I0"},   // panels stop at the hundredth
    };
    for (const NameCase& c : kNames) {
        char p[kStatusPanelNameSize], b[kToolButtonNameSize];
        StatusPanelDefaultName(c.n, p);
        ToolButtonDefaultName(c.n, b);
        EXPECT_STREQ(c.panel, p) << c.n;
        EXPECT_STREQ(c.button, b) << c.n;
    }
    char b[kToolButtonNameSize];
    ToolButtonDefaultName(0xFFFFFFFFu, b);
    EXPECT_EQ(10u, strlen(b)) << "a huge count still gives a ten-character name";
}

TEST(BarCore, TabLabelsAndHotKeys) {
    struct Case {
        const char* text;
        std::vector<std::string> labels;
        std::vector<uint8_t> keys;
        const char* why;
    };
    const Case kCases[] = {
        {"A;&B;C&&D", {"A", "&B", "C&&D"}, {0, 'B', 0}, "only B has a hot key; && is a literal ampersand"},
        {"&one;t&wo;", {"&one", "t&wo"}, {'O', 'W'}, "letters are upper-cased; a final ';' makes no empty tab"},
        {"x&", {"x&"}, {0}, "an '&' at the end marks nothing"},
        {"&a&b", {"&a&b"}, {'A'}, "the first mark counts"},
        {";;", {"", ""}, {0, 0}, "empty labels between separators"},
    };
    for (const Case& c : kCases) {
        std::vector<std::string> labels;
        std::vector<uint8_t> keys;
        uint32_t len = static_cast<uint32_t>(strlen(c.text)), at = 0;
        while (at < len) {
            TabLabel l;
            bool ended;
            at += TabLabelNext(c.text + at, len - at, &l, &ended);
            if (!ended && l.length == 0) break;
            labels.emplace_back(l.text, l.length);
            keys.push_back(l.hotKey);
        }
        EXPECT_EQ(c.labels, labels) << c.why;
        EXPECT_EQ(c.keys, keys) << c.why;
    }
    // A label longer than a tab can hold is cut at 255 bytes, never past it.
    std::string longLabel(40000, 'x');
    longLabel += "&z;next";
    TabLabel l;
    bool ended;
    uint32_t used = TabLabelNext(longLabel.data(), static_cast<uint32_t>(longLabel.size()), &l, &ended);
    EXPECT_EQ(kTabLabelMax, l.length);
    EXPECT_EQ(0, l.text[kTabLabelMax]);
    EXPECT_EQ('Z', l.hotKey) << "the hot key is read even past the kept text";
    EXPECT_EQ(40003u, used);
    EXPECT_EQ('Q', TabLabelHotKey("&&x&q", 5));
    EXPECT_EQ(0, TabLabelHotKey("a&&b", 4));
}

TEST(BarCore, HotKeyTableStaysWithinItsHundredEntries) {
    TabHotKeys t = {};
    for (uint32_t i = 0; i < 150; ++i) TabHotKeysInsertAt(&t, i, static_cast<uint8_t>('A' + i % 26), i + 1);
    EXPECT_EQ(kTabHotKeyMax, t.count) << "150 tabs: the table holds the first hundred";
    EXPECT_EQ('A', t.keys[0]);
    EXPECT_EQ('A' + 99 % 26, t.keys[99]);
    // An insert at the front of a full table drops the last entry.
    TabHotKeysInsert(&t, 0, 'Z');
    EXPECT_EQ(kTabHotKeyMax, t.count);
    EXPECT_EQ('Z', t.keys[0]);
    EXPECT_EQ('A', t.keys[1]);
    EXPECT_EQ('A' + 98 % 26, t.keys[99]);
    // Positions past the table change nothing.
    TabHotKeys before = t;
    TabHotKeysInsert(&t, 100, 'Q');
    TabHotKeysInsert(&t, 5000, 'Q');
    TabHotKeysSet(&t, 120, 'Q');
    TabHotKeysDelete(&t, 100);
    EXPECT_EQ(0, memcmp(&before, &t, sizeof t));
    TabHotKeysDelete(&t, 0);
    EXPECT_EQ(99, t.count);
    EXPECT_EQ('A', t.keys[0]);
    EXPECT_EQ(0, t.keys[99]);
    EXPECT_EQ(0, TabHotKeysFind(&t, 'a')) << "lower case finds the upper-cased key";
    EXPECT_EQ(-1, TabHotKeysFind(&t, 0));
    EXPECT_EQ(-1, TabHotKeysFind(&t, '%'));
}

TEST(BarCore, TabStylesAndSetStyleMask) {
    struct Case {
        uint32_t current;
        int32_t wanted;
        bool accepted;
    };
    const Case kCases[] = {{0, 1, true}, {1, 0, true}, {0, 2, false}, {0, 3, false}, {2, 3, true},
                           {3, 2, true}, {2, 0, false}, {0, 4, false}, {0, -1, false}};
    for (const Case& c : kCases)
        EXPECT_EQ(c.accepted, TabStyleAccepted(c.current, c.wanted)) << c.current << " -> " << c.wanted;
    EXPECT_EQ(0x50000F78u, TabSetStyleBits(0x50000000u, 0xFFFFFFFFu, true));
    EXPECT_EQ(0x50000007u, TabSetStyleBits(0x50000F7Fu, 0xFFFFFFFFu, false)) << "bits outside 0xF78 stay";
    EXPECT_EQ(0x10u, TabSetStyleBits(0, 0x10017, true));
}

TEST(BarCore, ToolButtonStyles) {
    struct Case {
        int32_t btnStyle;
        bool autoSize;
        uint8_t expect;
    };
    const Case kCases[] = {{1, false, 0x08}, {2, false, 0x80}, {3, false, 0},    {4, false, 0x01}, {5, false, 0x02},
                           {6, false, 0x06}, {0, false, 0},    {7, false, 0},    {3, true, 0x10},  {1, true, 0x18}};
    for (const Case& c : kCases) EXPECT_EQ(c.expect, ToolButtonTbStyle(c.btnStyle, c.autoSize)) << c.btnStyle;
}

bool InSet(void* ctx, uint32_t id) { return static_cast<std::set<uint32_t>*>(ctx)->count(id) != 0; }

TEST(BarCore, CommandIdsSkipLiveButtons) {
    std::set<uint32_t> live = {1, 2, 31999};
    uint32_t next = 31998;
    EXPECT_EQ(31998u, ToolBarTakeCommandId(&next, InSet, &live));
    EXPECT_EQ(3u, ToolBarTakeCommandId(&next, InSet, &live)) << "31999, 1 and 2 are held: the restart skips them";
    EXPECT_EQ(4u, next);
    next = kCommandIdLimit;
    live.clear();
    EXPECT_EQ(1u, ToolBarTakeCommandId(&next, InSet, &live)) << "32000 restarts at 1";
    for (uint32_t i = 1; i < kCommandIdLimit; ++i) live.insert(i);
    EXPECT_EQ(0u, ToolBarTakeCommandId(&next, InSet, &live)) << "every id held: none, without looping forever";
}

TEST(BarCore, DragThreshold) {
    struct Case {
        int32_t dx, dy;
        bool drag;
    };
    const Case kCases[] = {{0, 0, false}, {1, 1, false}, {2, 0, true},  {0, 2, true},   {-2, 0, false},
                           {0, -2, false}, {-3, 0, true}, {0, -3, true}, {-2, -2, false}, {1, -3, true}};
    for (const Case& c : kCases)
        EXPECT_EQ(c.drag, ToolBarDragMoved(100, 50, 100 + c.dx, 50 + c.dy)) << c.dx << "," << c.dy;
}

}  // namespace
