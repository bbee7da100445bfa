// ctlcore_test.cpp - the platform-free control helpers: edit text to control
// text and back within line and column limits, tab expansion, edit option
// letters, and menu definition items with their marks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/ctlcore.h"

namespace {

std::string EditBuf() { return std::string(gEditTextBuf, gEditTextLen); }

TEST(EditText, FormatLinesWithinLimits) {
    struct Case {
        std::string in;
        uint32_t lines, cols;
        std::string out;
        const char* why;
    };
    const Case cases[] = {
        {"a\x7f" "b", 0, 0, "a\r\nb", "byte 127 is a line break"},
        {"a\r\nb", 0, 0, "a\r\nb", "CR LF stays one line break"},
        {"a\nb", 0, 0, "a\r\nb", "a lone LF becomes CR LF"},
        {"a\rb", 0, 0, "a\rb", "a lone CR is kept"},
        {"one\x7ftwo\x7fthree", 2, 0, "one\r\ntwo", "lines beyond the limit are dropped"},
        {"abcdef\x7fgh", 0, 3, "abc\r\ngh", "each line is cut at the column limit"},
        {"abc", 1, 32000, "abc", "a one-line edit keeps its line"},
        {"", 1, 0, "", "an empty text"},
        {"\x7f\x7f", 0, 0, "\r\n\r\n", "empty lines are kept"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(EditTextFormatLines(c.in.data(), static_cast<uint32_t>(c.in.size()), c.lines, c.cols)) << c.why;
        EXPECT_EQ(c.out, EditBuf()) << c.why;
        EXPECT_EQ(0, gEditTextBuf[gEditTextLen]) << c.why;
    }
}

TEST(EditText, ControlTextBackToProgramText) {
    struct Case {
        std::string in, out;
        const char* why;
    };
    const Case cases[] = {
        {"a\r\nb", "a\x7f" "b", "CR LF reads back as 127"},
        {"a\nb", "a\x7f" "b", "a lone LF too"},
        {"a\x7f" "b", "a\x7f" "b", "127 stays"},
        {"x\r", "x\r", "a CR at the end is kept"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(EditTextFromControl(c.in.data(), static_cast<uint32_t>(c.in.size()))) << c.why;
        EXPECT_EQ(c.out, EditBuf()) << c.why;
    }
    // A program text survives the trip to the control and back.
    std::string program = "first\x7fsecond\x7f\x7f" "fourth";
    ASSERT_TRUE(EditTextFormatLines(program.data(), static_cast<uint32_t>(program.size()), 0, 0));
    std::string control = EditBuf();
    ASSERT_TRUE(EditTextFromControl(control.data(), static_cast<uint32_t>(control.size())));
    EXPECT_EQ(program, EditBuf());
}

TEST(EditText, BuffersGrowAndRefuseHugeTexts) {
    std::string big(100000, 'x');
    big[50000] = '\x7f';
    ASSERT_TRUE(EditTextFormatLines(big.data(), static_cast<uint32_t>(big.size()), 0, 0));
    EXPECT_EQ(big.size() + 1, gEditTextLen) << "one break grew by one byte";
    EXPECT_GT(gEditTextSize, gEditTextLen);
    EXPECT_FALSE(EditTextBufferEnsure(kEditTextMax + 1)) << "beyond the message limit";
    // Texts over half the limit are taken whole; only breaks that grow past it refuse one.
    std::string large(kEditTextMax - 10, 'y');
    ASSERT_TRUE(EditTextFormatLines(large.data(), static_cast<uint32_t>(large.size()), 0, 0));
    EXPECT_EQ(large.size(), gEditTextLen);
    large.replace(0, 11, 11, '\n');
    EXPECT_FALSE(EditTextFormatLines(large.data(), static_cast<uint32_t>(large.size()), 0, 0));
    EXPECT_FALSE(EditTabBufferEnsure(0xFFFFFFFFu)) << "eight columns per byte overflows the cap";
    EXPECT_TRUE(EditTextBufferEnsure(10)) << "a small size after a refusal";
    EditBuffersFree();
    EXPECT_EQ(nullptr, gEditTextBuf);
}

TEST(EditText, TabsExpandToEightColumnStops) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"a\tb", "a       b"},
        {"\t", "        "},
        {"abcdefgh\tx", "abcdefgh        x"},
        {"ab\x7f\tc", "ab\x7f        c"},
    };
    for (const Case& c : cases) {
        int32_t n = EditTabsExpand(c.in.data(), static_cast<uint32_t>(c.in.size()));
        ASSERT_GE(n, 0);
        EXPECT_EQ(c.out, std::string(gEditTabBuf, static_cast<size_t>(n))) << c.in;
    }
}

TEST(EditText, OptionLetters) {
    struct Case {
        const char* text;
        uint32_t count;
        uint16_t mask;
    };
    const Case cases[] = {
        {"YNNNNN", 6, 0x0008}, {"NYNNNN", 6, 0x0040}, {"nnYnnn", 6, 0x0010}, {"NNNyNN", 6, 0x0020},
        {"NNNNYN", 6, 0x0080}, {"NNNNNY", 6, 0x0100}, {"YYYYYYYY", 8, 0x01F8}, {"YYYY", 2, 0x0048},
        {"", 0, 0}, {"xYz", 3, 0x0040},
    };
    for (const Case& c : cases) EXPECT_EQ(c.mask, EditOptionsParse(c.count, c.text)) << c.text;
}

// The items of a whole definition, each as text with its flags.
struct ItemRow {
    std::string text;
    bool separator, enabled;
    uint8_t shortCut;
};
std::vector<ItemRow> ParseAll(const std::string& def, bool mnemonics) {
    std::vector<ItemRow> rows;
    uint32_t at = 0;
    while (at < def.size()) {
        uint32_t n = MenuParseItemText(def.data() + at, static_cast<uint32_t>(def.size() - at), mnemonics);
        if (n == 0) break;
        at += n;
        rows.push_back({gMenuItem.text, gMenuItem.separator, gMenuItem.enabled, gMenuItem.shortCut});
    }
    return rows;
}

TEST(MenuText, DefinitionSplitsIntoItems) {
    std::vector<ItemRow> rows = ParseAll("&File;(Save;-;", false);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ("File", rows[0].text);
    EXPECT_TRUE(rows[0].enabled);
    EXPECT_EQ("Save", rows[1].text);
    EXPECT_FALSE(rows[1].enabled) << "'(' disables";
    EXPECT_EQ("-", rows[2].text) << "the dash stays";
    EXPECT_TRUE(rows[2].separator);

    rows = ParseAll("&File;&Open/O;-;(E&xit", true);
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ("&File", rows[0].text) << "a native menu keeps its mnemonic";
    EXPECT_EQ("&Open", rows[1].text);
    EXPECT_EQ(55, rows[1].shortCut) << "Ctrl+O";
    EXPECT_TRUE(rows[2].separator);
    EXPECT_EQ("E&xit", rows[3].text);
    EXPECT_FALSE(rows[3].enabled);
}

TEST(MenuText, MarksOfOneItem) {
    struct Case {
        std::string def;
        std::string text;
        uint8_t shortCut, special, merge;
        bool enabled, separator;
        const char* why;
    };
    const Case cases[] = {
        {"A&&B;", "A&B", 0, 0, 0, true, false, "'&&' is one ampersand"},
        {"((x));", "(x)", 0, 0, 0, true, false, "'((' and '))' are literal"},
        {"a);b", "a;b", 0, 0, 0, true, false, "')' takes the next byte literally"},
        {"Save/S", "Save", 59, 0, 0, true, false, "Ctrl+S"},
        {"Go/3", "Go", 34, 0, 0, true, false, "Ctrl+3"},
        {"a//b", "a/b", 0, 0, 0, true, false, "'//' is a slash"},
        {"/x", "x", 0, 0, 0, true, false, "another '/' is dropped"},
        {"a/o", "ao", 0, 0, 0, true, false, "lower-case letters make no shortcut"},
        {"Help<F1", "Help", 1, 0, 0, true, false, "F1"},
        {"x<f12", "x", 12, 0, 0, true, false, "marks of either case"},
        {"x<CSF12", "x", 129, 0, 0, true, false, "Ctrl+Shift+F12"},
        {"x<SCF2", "x", 119, 0, 0, true, false, "Shift+Ctrl+F2"},
        {"x<SF3", "x", 18, 0, 0, true, false, "Shift+F3"},
        {"x<CF15", "x", 81, 0, 0, true, false, "Ctrl+F15"},
        {"x<F16", "x6", 1, 0, 0, true, false, "a second digit above 5 is text"},
        {"x<F", "x", 1, 0, 0, true, false, "no number: the set's F1"},
        {"x<1", "x", 0, 6, 0, true, false, "special menu by mark"},
        {"x<6", "x", 0, 5, 0, true, false, "special menu by mark"},
        {"x<R", "x", 0, 0, 3, true, false, "merge code"},
        {"a<<b", "a<b", 0, 0, 0, true, false, "'<<' is '<'"},
        {"-x;", "-x", 0, 0, 0, true, false, "a dash with text is no separator"},
        {"a?12b", "ab", 0, 0, 0, true, false, "a help number is not text"},
        {"a?b", "a?b", 0, 0, 0, true, false, "another '?' is text"},
    };
    for (const Case& c : cases) {
        MenuParseItemText(c.def.data(), static_cast<uint32_t>(c.def.size()), false);
        EXPECT_EQ(c.text, std::string(gMenuItem.text)) << c.why;
        EXPECT_EQ(c.shortCut, gMenuItem.shortCut) << c.why;
        EXPECT_EQ(c.special, gMenuItem.specialMenu) << c.why;
        EXPECT_EQ(c.merge, gMenuItem.mergeCode) << c.why;
        EXPECT_EQ(c.enabled, gMenuItem.enabled) << c.why;
        EXPECT_EQ(c.separator, gMenuItem.separator) << c.why;
    }
    std::string topic = "Item?\"Orders help\";";
    EXPECT_EQ(topic.size(), MenuParseItemText(topic.data(), static_cast<uint32_t>(topic.size()), false));
    EXPECT_STREQ("Orders help", gMenuItem.helpTopic);
    EXPECT_STREQ("Item", gMenuItem.text);
}

TEST(MenuText, LongItemIsCutAt255Bytes) {
    std::string def(600, 'm');
    def += ";next";
    uint32_t n = MenuParseItemText(def.data(), static_cast<uint32_t>(def.size()), false);
    EXPECT_EQ(601u, n) << "the whole item is consumed";
    EXPECT_EQ(255u, gMenuItem.length);
    EXPECT_EQ(255u, std::string(gMenuItem.text).size());
    EXPECT_EQ(0u, MenuParseItemText(nullptr, 0, false));
}

TEST(MenuText, ShortcutKeys) {
    struct Case {
        uint8_t code, vk, mods;
    };
    const Case cases[] = {{1, 0x70, 0}, {15, 0x7E, 0}, {16, 0x70, 1}, {31, '0', 2}, {55, 'O', 2},
                          {81, 0x7E, 2}, {82, '0', 3}, {117, 'Z', 3}, {129, 0x7B, 3}};
    for (const Case& c : cases) {
        uint8_t vk = 0, mods = 0;
        ASSERT_TRUE(MenuShortcutKey(c.code, &vk, &mods)) << int(c.code);
        EXPECT_EQ(c.vk, vk) << int(c.code);
        EXPECT_EQ(c.mods, mods) << int(c.code);
    }
    uint8_t vk, mods;
    EXPECT_FALSE(MenuShortcutKey(0, &vk, &mods));
    EXPECT_FALSE(MenuShortcutKey(133, &vk, &mods));
}

}  // namespace
