// pdfopt.cpp - the option texts of the PDF option messages: the item grammar
// (key=value, commas between items, quoted values) and the parsers that fill
// the attachment, information, encryption and page-import records.
#include <cstring>

#include "print/pdf/pdf.h"

constexpr char kPdfOptSep = ',';
constexpr char kPdfOptQuote = '"';
constexpr char kPdfOptAssign = '=';
constexpr char kPdfRectSep = ':';
constexpr BYTE kPdfOptBlankMax = 32;  // blanks and control characters
constexpr int kPdfRectValues = 4;

static bool PdfOptIsBlank(char c) { return static_cast<BYTE>(c) <= kPdfOptBlankMax; }
static bool PdfOptIsDigit(char c) { return c >= '0' && c <= '9'; }

WORD PdfNextOptItem(const char* text, WORD remaining, char* key, const char** value, WORD* valueLen) {
    WORD i = 0;
    *key = 0;
    *value = nullptr;
    *valueLen = 0;
    while (i < remaining && (PdfOptIsBlank(text[i]) || text[i] == kPdfOptSep)) i++;
    if (i == remaining) return i;
    *key = text[i++];
    *value = text + i;  // an empty value still marks its key as given
    if (i == remaining) return i;
    if (text[i] == kPdfOptSep) return static_cast<WORD>(i + 1);
    if (text[i] != kPdfOptAssign || i + 1 == remaining) return 0;
    i++;
    while (i < remaining && PdfOptIsBlank(text[i])) i++;
    if (i == remaining) return 0;
    if (text[i] == kPdfOptQuote) {
        WORD start = ++i;
        while (i < remaining && text[i] != kPdfOptQuote) i++;
        if (i == remaining) return 0;  // the closing quote is missing
        *value = text + start;
        *valueLen = static_cast<WORD>(i - start);
        i++;
        while (i < remaining && PdfOptIsBlank(text[i])) i++;
        if (i == remaining) return i;
        return text[i] == kPdfOptSep ? static_cast<WORD>(i + 1) : 0;
    }
    WORD start = i;
    while (i < remaining && text[i] != kPdfOptSep) i++;
    *value = text + start;
    *valueLen = static_cast<WORD>(i - start);
    return i < remaining ? static_cast<WORD>(i + 1) : i;
}

// ---- values ----------------------------------------------------------------------------

static void PdfOptSet(PdfOptValue* out, const char* value, WORD len) {
    out->text = value;
    out->len = len;
}

// A date: the key alone means now (or: from the file); else 4 to 14 digits.
static bool PdfOptDate(PdfOptValue* out, const char* value, WORD len) {
    if (len == 0) {
        PdfOptSet(out, value, kPdfDateNowLen);
        return true;
    }
    if (len < kPdfDateMinDigits || len > kPdfDateMaxDigits) return false;
    for (WORD i = 0; i < len; i++)
        if (!PdfOptIsDigit(value[i])) return false;
    PdfOptSet(out, value, len);
    return true;
}

// Decimal digits with blanks anywhere; a value beyond 32 bits is refused
// rather than wrapped into other permissions.
static bool PdfOptPerms(DWORD* out, const char* value, WORD len) {
    uint64_t v = 0;
    for (WORD i = 0; i < len; i++) {
        if (PdfOptIsBlank(value[i])) continue;
        if (!PdfOptIsDigit(value[i])) return false;
        v = v * 10 + static_cast<uint64_t>(value[i] - '0');
        if (v > UINT32_MAX) return false;
    }
    *out = static_cast<DWORD>(v);
    return true;
}

// top:bottom:left:right, each a 16-bit decimal number.
static bool PdfOptRect(PdfAttachOpts* out, const char* value, WORD len) {
    WORD v[kPdfRectValues];
    WORD i = 0;
    for (int k = 0; k < kPdfRectValues; k++) {
        DWORD n = 0;
        WORD start = i;
        while (i < len && PdfOptIsDigit(value[i])) {
            n = n * 10 + static_cast<DWORD>(value[i++] - '0');
            if (n > 0xFFFF) return false;
        }
        if (i == start) return false;
        v[k] = static_cast<WORD>(n);
        if (k < kPdfRectValues - 1) {
            if (i == len || value[i] != kPdfRectSep) return false;
            i++;
        }
    }
    out->top = v[0];
    out->bottom = v[1];
    out->left = v[2];
    out->right = v[3];
    return true;
}

// ---- parsers ---------------------------------------------------------------------------

// Runs the grammar over the whole text and hands each item to the kind's
// setter; any syntax error or unknown key rejects the whole option.
typedef bool (*PdfOptSetter)(void* rec, char key, const char* value, WORD len);

static bool PdfParseOpts(const char* text, size_t len, void* rec, PdfOptSetter set) {
    if (len > 0xFFFF) return false;
    size_t at = 0;
    while (at < len) {
        char key;
        const char* value;
        WORD valueLen;
        WORD used = PdfNextOptItem(text + at, static_cast<WORD>(len - at), &key, &value, &valueLen);
        if (!used) return false;
        at += used;
        if (key == 0) continue;
        char upper = (key >= 'a' && key <= 'z') ? static_cast<char>(key - 'a' + 'A') : key;
        if (!set(rec, upper, value, valueLen)) return false;
    }
    return true;
}

static bool PdfSetAttachItem(void* rec, char key, const char* value, WORD len) {
    auto* o = static_cast<PdfAttachOpts*>(rec);
    switch (key) {
    case 'F': PdfOptSet(&o->file, value, len); return true;
    case 'T': PdfOptSet(&o->title, value, len); return true;
    case 'D': PdfOptSet(&o->desc, value, len); return true;
    case 'O': PdfOptSet(&o->name, value, len); return true;
    case 'P': return PdfOptRect(o, value, len);
    case 'I':
        if (len != 1) return false;
        o->icon = (value[0] >= '0' && value[0] <= '3') ? static_cast<BYTE>(value[0] - '0') : static_cast<BYTE>(kPdfIconPaperclip);
        return true;
    case 'M': return PdfOptDate(&o->modified, value, len);
    case 'C': return PdfOptDate(&o->created, value, len);
    default: return false;
    }
}

static bool PdfSetInfoItem(void* rec, char key, const char* value, WORD len) {
    auto* o = static_cast<PdfInfoOpts*>(rec);
    switch (key) {
    case 'A': PdfOptSet(&o->author, value, len); return true;
    case 'T': PdfOptSet(&o->title, value, len); return true;
    case 'P': PdfOptSet(&o->producer, value, len); return true;
    case 'K': PdfOptSet(&o->keywords, value, len); return true;
    case 'S': PdfOptSet(&o->subject, value, len); return true;
    case 'C': return PdfOptDate(&o->created, value, len);
    default: return false;
    }
}

static bool PdfSetEncryptItem(void* rec, char key, const char* value, WORD len) {
    auto* o = static_cast<PdfEncryptOpts*>(rec);
    switch (key) {
    case 'U': PdfOptSet(&o->user, value, len); return true;
    case 'O': PdfOptSet(&o->owner, value, len); return true;
    case 'P': return PdfOptPerms(&o->perms, value, len);
    default: return false;
    }
}

static bool PdfSetImportItem(void* rec, char key, const char* value, WORD len) {
    auto* o = static_cast<PdfImportOpts*>(rec);
    switch (key) {
    case 'F': PdfOptSet(&o->file, value, len); return true;
    case 'G': o->g = 1; return true;
    case 'P': {
        DWORD n = 0;
        WORD i = 0;
        while (i < len && PdfOptIsDigit(value[i]) && n <= 0xFFFF) n = n * 10 + static_cast<DWORD>(value[i++] - '0');
        if (i == 0 || n > 0xFFFF) return false;
        o->page = static_cast<WORD>(n);
        return true;
    }
    default: return false;
    }
}

bool PdfParseAttachOpts(const char* text, size_t len, PdfAttachOpts* out) {
    memset(out, 0, sizeof *out);
    return PdfParseOpts(text, len, out, PdfSetAttachItem);
}

bool PdfParseInfoOpts(const char* text, size_t len, PdfInfoOpts* out) {
    memset(out, 0, sizeof *out);
    return PdfParseOpts(text, len, out, PdfSetInfoItem);
}

bool PdfParseEncryptOpts(const char* text, size_t len, PdfEncryptOpts* out) {
    memset(out, 0, sizeof *out);
    out->perms = kPdfDefaultPerms;
    return PdfParseOpts(text, len, out, PdfSetEncryptItem);
}

bool PdfParseImportOpts(const char* text, size_t len, PdfImportOpts* out) {
    memset(out, 0, sizeof *out);
    out->page = 1;
    return PdfParseOpts(text, len, out, PdfSetImportItem);
}
