// fonttext.cpp - the font-text parser: face keywords, ">Face" and quoted faces,
// and the item list of bold, italic, underline, strike-out, angle and size;
// and a description with one of those parts changed.
#include "objects/fonttext.h"

#include <cstdio>
#include <cstring>

#include "objects/kindcodes.h"

const FontFaceMap kFontFaceMapStd[] = {
    {"FIXED", "Courier New"},
    {"HELVETICA", "Arial"},
    {"SYSTEM", "System"},
    {"TIMES", "Times New Roman"},
    {nullptr, nullptr},
};

static char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

static bool EqualNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (UpperAscii(*a) != UpperAscii(*b)) return false;
    return *a == *b;
}

const char* FontFaceFromKeyword(const FontFaceMap* map, const char* keyword) {
    if (!map) return nullptr;
    for (; map->keyword; ++map)
        if (EqualNoCase(map->keyword, keyword)) return map->face;
    return nullptr;
}

static void CopyFace(char* dest, const char* src, size_t n) {
    if (n > kFontFaceMax) n = kFontFaceMax;
    memcpy(dest, src, n);
    dest[n] = 0;
}

static void SpecDefaults(const FontFaceMap* map, FontSpec* out) {
    memset(out, 0, sizeof *out);
    out->size = kFontDefaultSize;
    if (map && map->face) CopyFace(out->face, map->face, strlen(map->face));
}

// Turns the face as written into the face to use: a keyword, or the text after
// '>' (only the part after a '.', without its quotes, when it holds one).
static int ResolveFace(const FontFaceMap* map, const char* raw, bool exact, FontSpec* out) {
    const char* mapped = nullptr;
    if (exact) {
        for (const FontFaceMap* m = map; m && m->keyword; ++m)
            if (!strcmp(m->keyword, raw)) mapped = m->face;
    } else {
        mapped = FontFaceFromKeyword(map, raw);
    }
    if (mapped) {
        CopyFace(out->face, mapped, strlen(mapped));
        return kFontTextOk;
    }
    if (raw[0] != '>') return kFontTextBadFace;
    const char* face = raw + 1;
    const char* dot = strchr(face, '.');
    if (dot) {
        face = dot + 1;
        if (*face == '\'') ++face;
        size_t n = strlen(face);
        if (n > 0 && face[n - 1] == '\'') --n;
        CopyFace(out->face, face, n);
    } else {
        CopyFace(out->face, face, strlen(face));
    }
    return kFontTextOk;
}

// One item of the list, already upper-case; false when it is not understood.
static bool ApplyItem(const char* item, FontSpec* spec) {
    if (!strcmp(item, "B") || !strcmp(item, "BOLD")) spec->bold = 1;
    else if (!strcmp(item, "I") || !strcmp(item, "ITALIC")) spec->italic = 1;
    else if (!strcmp(item, "U")) spec->underline = 1;
    else if (!strcmp(item, "S")) spec->strike = 1;
    else if (item[0] == 'A') {
        if (!item[1]) return false;
        uint32_t angle = 0;
        // Taken modulo 3600 digit by digit so a long number cannot overflow.
        for (const char* p = item + 1; *p; ++p) {
            if (*p < '0' || *p > '9') return false;
            angle = (angle * 10 + static_cast<uint32_t>(*p - '0')) % kFontAngleModulo;
        }
        spec->angle = static_cast<uint16_t>(angle);
    } else {
        // The size in points, with at most one decimal kept: "10.5" is 105 tenths.
        if (item[0] < '0' || item[0] > '9') return false;
        int32_t points = 0;
        const char* p = item;
        for (; *p >= '0' && *p <= '9'; ++p) {
            points = points * 10 + (*p - '0');
            // A size beyond what a FontRec holds is refused rather than wrapped.
            if (points * 10 > kFontSizeMax) return false;
        }
        int32_t tenths = points * 10;
        if (*p == '.') {
            ++p;
            if (*p >= '0' && *p <= '9') tenths += *p - '0';
            while (*p >= '0' && *p <= '9') ++p;
        }
        if (*p || tenths == 0) return false;
        spec->size = tenths;
    }
    return true;
}

int FontTextParse(const char* text, int32_t length, const FontFaceMap* map, FontSpec* out, uint32_t options) {
    SpecDefaults(map, out);
    if (!text) return kFontTextOk;
    size_t len = length < 0 ? strlen(text) : static_cast<size_t>(length);
    if (len == 0) return kFontTextOk;
    const char* p = text;
    const char* end = text + len;
    while (p < end && *p == ' ') ++p;

    char raw[kFontFaceMax + 1];
    size_t n = 0;
    bool quoted = p < end && *p == '\'';
    if (quoted) {
        ++p;
        const char* close = static_cast<const char*>(memchr(p, '\'', static_cast<size_t>(end - p)));
        if (!close) return kFontTextNoQuote;
        n = static_cast<size_t>(close - p);
        if (n > kFontFaceMax) n = kFontFaceMax;
        memcpy(raw, p, n);
        p = close + 1;
    } else {
        for (; p < end && *p != ' ' && *p != '('; ++p)
            if (n < kFontFaceMax) raw[n++] = UpperAscii(*p);
    }
    raw[n] = 0;

    FontSpec spec;
    SpecDefaults(map, &spec);
    int rc = ResolveFace(map, raw, quoted && (options & kFontTextExactQuoted), &spec);
    if (rc != kFontTextOk) return rc;
    // From here on a failure keeps the face read and the default size and styles.
    memcpy(out->face, spec.face, sizeof out->face);

    while (p < end && *p == ' ') ++p;
    if (p >= end) {
        *out = spec;
        return kFontTextOk;
    }
    if (*p != '(') return kFontTextTrailing;
    ++p;
    while (p < end && *p == ' ') ++p;
    if (p >= end) return kFontTextNoClose;
    for (;;) {
        char item[64];
        size_t k = 0;
        bool tooLong = false;
        for (; p < end && *p != ' ' && *p != ',' && *p != ')'; ++p) {
            if (k < sizeof item - 1) item[k++] = UpperAscii(*p);
            else tooLong = true;
        }
        item[k] = 0;
        if (tooLong || !ApplyItem(item, &spec)) return kFontTextBadItem;
        while (p < end && *p == ' ') ++p;
        if (p >= end) return kFontTextNoSeparator;
        if (*p == ')') {
            ++p;
            break;
        }
        if (*p != ',') return kFontTextNoSeparator;
        ++p;
        while (p < end && *p == ' ') ++p;
        if (p >= end) return kFontTextNoClose;  // the text ends after ','
    }
    while (p < end && *p == ' ') ++p;
    if (p < end) return kFontTextTrailing;
    *out = spec;
    return kFontTextOk;
}

bool FontSpecChangePart(FontSpec* spec, uint32_t id, int32_t value, const char* text, uint32_t length) {
    switch (id) {
    case kPidBold: spec->bold = value ? 1 : 0; return true;
    case kPidItalic: spec->italic = value ? 1 : 0; return true;
    case kPidFontName:
        if (!text) return false;
        snprintf(spec->face, sizeof spec->face, "%.*s",
                 static_cast<int>(length > kFontFaceMax ? kFontFaceMax : length), text);
        return true;
    case kPidSize: spec->size = value; return true;
    case kPidAngle: spec->angle = static_cast<uint16_t>(value); return true;
    case kPidStrike: spec->strike = value ? 1 : 0; return true;
    case kPidUnderline: spec->underline = value ? 1 : 0; return true;
    default: return false;
    }
}
