// tables_test.cpp - the object model's tables row by row against the values
// the server and the form files number them by.
#include <gtest/gtest.h>

#include <cstring>

#include "objects/objtables.h"

namespace {

TEST(ObjectTables, TypeToKindRows) {
    struct Case { uint32_t type; int kind; const char* why; };
    static const Case kCases[] = {
        {1, 1, "Button"}, {12, 12, "Popupmenu is a ComboBox"}, {31, 12, "Combobox"},
        {13, 14, "Radiogrp is kind 14"}, {14, 13, "Radio is kind 13"}, {19, 24, "Floatmenu"},
        {20, 19, "Font"}, {22, 35, "Imagelist"}, {23, 36, "a list view is type 23, kind 36"},
        {30, 25, "Window"}, {36, 0, "Qoform maps to kind 0"}, {38, 33, "Automation"},
        {100, 33, "Automation by its second code"}, {60, 52, "HTMLControl"}, {53, 49, "RichEditText"},
        {42, kNoKind, "42 has no kind"}, {52, kNoKind, "52 has no kind"}, {61, kNoKind, "61 has no kind"},
        {0, kNoKind, "0 is no type"}, {101, kNoKind, "beyond 100"},
    };
    for (const Case& c : kCases) EXPECT_EQ(c.kind, ObjectTypeToKind(c.type)) << c.why;
}

TEST(ObjectTables, KindToTypeReversesTheMap) {
    for (uint32_t kind = 1; kind <= kObjectKindLast; ++kind) {
        uint32_t type = ObjectKindToType(kind);
        if (type == 0) continue;   // sub-object kinds have no type of their own
        EXPECT_EQ(static_cast<int>(kind), ObjectTypeToKind(type)) << "kind " << kind;
    }
    EXPECT_EQ(0u, ObjectKindToType(kKindStatusPanel));
    EXPECT_EQ(0u, ObjectKindToType(kKindMenuItem));
}

TEST(ObjectTables, KindNames) {
    EXPECT_STREQ("- Button", ObjectKindName(1));
    EXPECT_STREQ("- HtmlControl", ObjectKindName(52));
    EXPECT_STREQ("", ObjectKindName(55));
    EXPECT_STREQ("", ObjectKindName(1000));
    EXPECT_EQ(36, ObjectKindFromName("listview"));
    EXPECT_EQ(kNoKind, ObjectKindFromName("Nothing"));
    for (uint32_t k = 0; k <= kObjectKindLast; ++k)
        EXPECT_EQ(0, strncmp(ObjectKindNames[k], "- ", 2)) << k;
}

TEST(ObjectTables, DuplicateNamesTakeTheFirstRow) {
    struct Case { const char* name; uint16_t id; };
    static const Case kCases[] = {
        {"AcceptTab", 285}, {"AutoSize", 2}, {"BdrStyle", 208}, {"MultiLine", 20},
        {"MultiSelect", 34}, {"Size", 13}, {"Width", 35}, {"width", 35}, {"BGCOLOR", 3},
        {"Nonexistent", 0}, {"", 0},
    };
    for (const Case& c : kCases) EXPECT_EQ(c.id, PropertyIdFromName(c.name)) << c.name;
    EXPECT_STREQ("BdrStyle", PropertyNameFromId(203));
    EXPECT_EQ(nullptr, PropertyNameFromId(0));
    EXPECT_EQ(nullptr, PropertyNameFromId(364));
}

// The ids the window code names must be the ids the name table (and so the
// form files) give those names.
TEST(ObjectTables, WindowPropertyIdsCarryTheirTableNames) {
    struct Case { uint32_t id; const char* name; };
    static const Case kCases[] = {
        {kPidPrefix, "Prefix"}, {kPidWinPos, "WinPos"}, {kPidWinOffsetV, "WinOffsetV"},
        {kPidWinOffsetH, "WinOffsetH"}, {kPidIcon, "Icon"}, {kPidNegBorders, "NegBorders"},
        {kPidNegMenus, "NegMenus"}, {kPidNoMenuResize, "NoMenuResize"}, {kPidWinHeight, "WinHeight"},
        {kPidWinWidth, "WinWidth"}, {kPidButtonEnterKey, "ButtonEnterKey"}, {kPidGridSizeH, "GridSizeH"},
        {kPidGridSizeV, "GridSizeV"}, {kPidMdiBorder, "MdiBorder"}, {kPidMdiScroll, "MdiScroll"},
        {kPidMinWidth, "MinWidth"}, {kPidMinHeight, "MinHeight"}, {kPidRibMode, "RibMode"},
        {kPidShowWebMenu, "ShowWebMenu"}, {kPidWebMode, "WebMode"}, {kPidWindow, "Window"},
    };
    for (const Case& c : kCases) {
        const char* name = PropertyNameFromId(c.id);
        ASSERT_NE(nullptr, name) << c.name;
        EXPECT_STREQ(c.name, name) << "id " << c.id;
    }
}

TEST(ObjectTables, NameTableHoldsEveryIdOnce) {
    bool seen[kPropIdCount] = {};
    uint32_t rows = 0;
    for (const PropNameRow* r = PropertyNameTable; r->id != kPropTableEnd; ++r, ++rows) {
        ASSERT_GE(r->id, 1u);
        ASSERT_LE(r->id, kPropIdLast);
        EXPECT_FALSE(seen[r->id]) << "id " << r->id << " twice";
        seen[r->id] = true;
    }
    EXPECT_EQ(363u, rows);
}

TEST(ObjectTables, PropertyCodes) {
    struct Case { uint32_t code; uint16_t id; uint16_t kind; };
    static const Case kCases[] = {
        {257, 1, kPvInteger}, {266, 3, kPvColor}, {284, 14, kPvColor}, {287, 72, kPvFont},
        {289, 15, kPvInteger}, {342, 35, kPvInteger}, {423, 144, kPvText}, {569, 316, kPvTextOrEmpty},
        {594, 340, kPvText}, {544, 294, kPvColor}, {505, 251, kPvColor},
        // The Font object's own codes, between their alphabetical neighbours.
        {267, kPidBold, kPvInteger}, {294, kPidItalic, kPvInteger}, {324, kPidSize, kPvInteger},
        {518, 264, kPvInteger}, {519, 266, kPvInteger}, {520, 265, kPvInteger},
    };
    for (const Case& c : kCases) {
        const PropCodeRow* row = PropertyCodeLookup(c.code);
        ASSERT_NE(nullptr, row) << c.code;
        EXPECT_EQ(c.id, row->id) << c.code;
        EXPECT_EQ(c.kind, row->valueKind) << c.code;
    }
    EXPECT_EQ(nullptr, PropertyCodeLookup(769));
    EXPECT_EQ(nullptr, PropertyCodeLookup(0));
    for (const PropCodeRow* r = PropertyCodeTable; r->code; ++r) {
        EXPECT_GE(r->code, 257u);
        EXPECT_LE(r->code, 617u);
    }
}

TEST(ObjectTables, MatrixFollowsKindLists) {
    ObjectSetupTables();
    EXPECT_TRUE(KindHasProp(kKindButton, kPidTabId));
    EXPECT_FALSE(KindHasProp(kKindIcon, kPidTabId)) << "an icon takes no focus";
    EXPECT_TRUE(KindHasProp(kKindWindow, kPidWinType));
    EXPECT_FALSE(KindHasProp(kKindColor, kPidLeft));
    EXPECT_FALSE(KindHasProp(99, 1));
    EXPECT_FALSE(KindHasProp(kKindButton, 400));
}

TEST(ObjectTables, Events) {
    EXPECT_EQ(4, EventIdFromName("$CLICK"));
    EXPECT_EQ(200, EventIdFromName("$jquery"));
    EXPECT_STREQ("$VALIDATE", EventNameFromId(24));
    EXPECT_EQ(4, EventIdFromHandlerName("Click"));
    EXPECT_EQ(32, EventIdFromHandlerName("Suspend"));
    EXPECT_EQ(200, EventIdFromHandlerName("JQueryEvent"));
    EXPECT_EQ(-1, EventIdFromHandlerName("Clic"));
    // Window offers Load (0) and Suspend (32) but not Change (3).
    uint64_t w = KindEventTable[kKindWindow];
    EXPECT_TRUE(w & 1);
    EXPECT_TRUE(w & (1ull << 32));
    EXPECT_FALSE(w & (1ull << 3));
    EXPECT_EQ(1ull << 18, KindEventTable[kKindTimer]);
    EXPECT_EQ(0u, KindEventTable[kKindColor]);
}

}  // namespace
