// ribfonttext.h - the font text of a ribbon font command ("face,size,bold,
// italic,underline,strike-out,vertical position,text colour,back colour,
// foreground colour type,background colour type"), read field by field into
// the property steps the ribbon host applies one after another. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/util/bytereader.h"

// The property indexes the fields stand for, in their order in the text.
enum RibFontIndex : uint32_t {
    kRibFontFamily = 301,
    kRibFontSize = 302,
    kRibFontLast = 311,
};
// At most this many characters of the face field are kept.
constexpr uint32_t kRibFontFaceKeep = 90;

// One property to apply: the face for kRibFontFamily, a value for the others.
struct RibFontStep {
    uint32_t index;
    uint32_t value;
    const char* face;       // inside the text, not terminated
    uint32_t faceLength;
};

struct RibFontCursor {
    ByteReader text;
    size_t at;
    uint32_t nextIndex;     // the next field's index; past kRibFontLast when done
};

RibFontCursor RibFontTextBegin(const char* text, size_t length);
// The next field with something to apply; false when the text ends or breaks
// off (a field not followed by a comma ends the walk). An empty field is
// skipped; a field without leading digits (a sign, letters, or the empty last
// field of a text ending in a comma) counts as 0; digits past 2^32-1 stay there.
bool RibFontTextNext(RibFontCursor* c, RibFontStep* step);
