// ribfonttext_test.cpp - the ribbon font text walk: which properties a text
// sets and which it leaves alone, row by row.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "com/ribfonttext.h"

namespace {

// The steps of a text as "index=value" or "301=face", joined by spaces.
std::string Steps(const char* text, size_t length) {
    RibFontCursor c = RibFontTextBegin(text, length);
    RibFontStep s;
    std::string out;
    while (RibFontTextNext(&c, &s)) {
        if (!out.empty()) out += ' ';
        out += std::to_string(s.index) + '=';
        out += s.face ? std::string(s.face, s.faceLength) : std::to_string(s.value);
    }
    return out;
}

TEST(RibbonFontText, FieldsBecomeSteps) {
    struct Case {
        const char* text;
        const char* steps;
        const char* why;
    };
    const Case cases[] = {
        {"Arial,120,1,0,0,0,,255,,2", "301=Arial 302=120 303=1 304=0 305=0 306=0 308=255 310=2",
         "empty fields are left alone; no eleventh field leaves the background type"},
        {"Arial,120,1,0,0,0,,255,,2,", "301=Arial 302=120 303=1 304=0 305=0 306=0 308=255 310=2 311=0",
         "an empty last field after a comma counts as 0"},
        {"", "", "an empty text does nothing"},
        {"   Times New Roman  ,  90", "301=Times New Roman   302=90",
         "blanks before the face and before a value are skipped"},
        {",100", "302=100", "an empty face is not applied, the size still is"},
        {"Arial;100", "301=Arial;100", "without a comma the whole text is the face"},
        {"Arial,-5,1", "301=Arial 302=0", "a sign is no digit: 0, and the walk ends at the sign"},
        {"Arial,12x,1", "301=Arial 302=12", "a field not followed by a comma ends the walk"},
        {"Arial,99999999999,1", "301=Arial 302=4294967295 303=1", "too many digits stay at the largest value"},
        {"A,1,1,1,1,1,1,1,1,1,1,1,1,1", "301=A 302=1 303=1 304=1 305=1 306=1 307=1 308=1 309=1 310=1 311=1",
         "fields beyond the eleventh are ignored"},
        {",,,,,,,,,,", "311=0", "only the empty last field after its comma counts"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.steps, Steps(c.text, strlen(c.text))) << c.why;
}

TEST(RibbonFontText, FaceIsCutAndMissingTextIsEmpty) {
    std::string longFace(200, 'F');
    std::string text = longFace + ",10";
    EXPECT_EQ("301=" + std::string(kRibFontFaceKeep, 'F') + " 302=10", Steps(text.c_str(), text.size()))
        << "at most 90 characters of the face remain";
    EXPECT_EQ("", Steps(nullptr, 5)) << "a missing text does nothing";
    const char cut[] = {'A', ',', '1', '2'};
    EXPECT_EQ("301=A 302=12", Steps(cut, sizeof cut)) << "the walk stops at the given length";
}

}  // namespace
