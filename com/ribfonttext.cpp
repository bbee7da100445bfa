// ribfonttext.cpp - the walk over a ribbon font text: the face up to the first
// comma, then one unsigned decimal field per font property.
#include "com/ribfonttext.h"

namespace {

constexpr uint8_t kComma = ',';
constexpr uint32_t kFieldMax = 0xFFFFFFFFu;
constexpr uint32_t kDecimalBase = 10;

bool IsBlank(uint8_t ch) { return ch == ' ' || ch == '\t'; }

void SkipBlanks(RibFontCursor* c) {
    uint8_t ch;
    while (c->text.U8At(c->at, &ch) && IsBlank(ch)) ++c->at;
}

bool PeekIs(const RibFontCursor* c, uint8_t want) {
    uint8_t ch;
    return c->text.U8At(c->at, &ch) && ch == want;
}

// The face: from the first non-blank to the first comma or the end.
bool ReadFace(RibFontCursor* c, RibFontStep* step) {
    SkipBlanks(c);
    size_t start = c->at;
    uint8_t ch;
    while (c->text.U8At(c->at, &ch) && ch != kComma) ++c->at;
    size_t length = c->at - start;
    if (length > kRibFontFaceKeep) length = kRibFontFaceKeep;
    c->nextIndex = kRibFontSize;
    if (length == 0) return false;
    step->index = kRibFontFamily;
    step->value = 0;
    step->face = reinterpret_cast<const char*>(c->text.PtrAt(start, length));
    step->faceLength = static_cast<uint32_t>(length);
    return true;
}

uint32_t ReadDigits(RibFontCursor* c) {
    uint32_t value = 0;
    uint8_t ch;
    while (c->text.U8At(c->at, &ch) && ch >= '0' && ch <= '9') {
        uint32_t digit = static_cast<uint32_t>(ch - '0');
        value = value > (kFieldMax - digit) / kDecimalBase ? kFieldMax : value * kDecimalBase + digit;
        ++c->at;
    }
    return value;
}

}  // namespace

RibFontCursor RibFontTextBegin(const char* text, size_t length) {
    ByteReader r(text, text ? length : 0);
    // An empty text does nothing at all; otherwise the face comes first.
    return RibFontCursor{r, 0, r.Length() ? static_cast<uint32_t>(kRibFontFamily) : kRibFontLast + 1};
}

bool RibFontTextNext(RibFontCursor* c, RibFontStep* step) {
    if (c->nextIndex == kRibFontFamily && ReadFace(c, step)) return true;
    while (c->nextIndex <= kRibFontLast) {
        if (!PeekIs(c, kComma)) {
            c->nextIndex = kRibFontLast + 1;
            return false;
        }
        ++c->at;
        SkipBlanks(c);
        uint32_t index = c->nextIndex++;
        // The comma of the next field right away: this one is empty.
        if (PeekIs(c, kComma)) continue;
        step->index = index;
        step->value = ReadDigits(c);
        step->face = nullptr;
        step->faceLength = 0;
        return true;
    }
    return false;
}
