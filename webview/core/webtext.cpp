// webtext.cpp - the page text writers: growable HTML, script and JSON buffers,
// escaped JSON members, colours, element selectors and the element commands.
#include "webview/core/pageactions.h"
#include "webview/core/webtext.h"

#include <cstdio>
#include <cstring>

#include "objects/objtables.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "webview/core/webchannel.h"

TextBuf gHtmlBuf;
TextBuf gJsBuf;
TextBuf gJsonMsgBuf;
void* (*gWebTextAlloc)(size_t size) = GuardedAlloc;

static const uint32_t kMinBlock = 256;
static const uint64_t kTextBufLimit = 0x7FFFFFFFu;   // the most a buffer may hold
static const uint32_t kColorIndexLimit = 21;
static bool gArrayFirst;

struct SentText {
    SentText* next;
    uint32_t length;
    char bytes[1];
};
static SentText* gSentTexts;

// ---- Buffers ---------------------------------------------------------------------

static void TextBufMarkFailed(TextBuf* buf) {
    buf->length = 0;
    buf->failed = true;
    if (buf->data) buf->data[0] = 0;
}

// A buffer that must grow takes at least twice its room (or size and step,
// whichever is more): a page written piece by piece (a tree of thousands of
// nodes, megabytes of markup) is then copied a few times in all, not once
// every step. Only the bytes past what is kept are cleared.
static uint64_t TextBufGrownSize(const TextBuf* buf, uint32_t size, uint32_t step) {
    uint64_t want = static_cast<uint64_t>(size) + step;
    uint64_t doubled = static_cast<uint64_t>(buf->capacity) * 2;
    if (doubled > want) want = doubled > kTextBufLimit && want <= kTextBufLimit ? kTextBufLimit : doubled;
    return want < kMinBlock ? kMinBlock : want;
}

bool TextBufEnsure(TextBuf* buf, uint32_t size, uint32_t step, const char* text) {
    if (text) buf->failed = false;
    if (buf->capacity <= size + 10) {
        uint64_t want = TextBufGrownSize(buf, size, step);
        char* block = want > kTextBufLimit ? nullptr : static_cast<char*>(gWebTextAlloc(static_cast<size_t>(want)));
        if (!block) {
            TextBufMarkFailed(buf);
            return false;
        }
        size_t kept = buf->data && !text ? static_cast<size_t>(buf->length) + 1 : 0;
        if (kept) memcpy(block, buf->data, kept);
        memset(block + kept, 0, static_cast<size_t>(want) - kept);
        GuardedFree(buf->data);
        buf->data = block;
        buf->capacity = static_cast<uint32_t>(want);
    }
    if (text) {
        size_t n = strlen(text);
        if (n >= buf->capacity) return TextBufEnsure(buf, static_cast<uint32_t>(n), step, text);
        memcpy(buf->data, text, n + 1);
        buf->length = static_cast<uint32_t>(n);
    }
    return !buf->failed;
}

bool JsonMsgBufEnsure(TextBuf* buf, uint32_t size) { return TextBufEnsure(buf, size, kJsonGrowStep, nullptr); }

void TextBufReset(TextBuf* buf, uint32_t minimum) {
    buf->failed = false;
    if (buf->capacity <= minimum) {
        uint32_t size = (minimum + 1023) / 1024 * 1024;
        char* block = static_cast<char*>(gWebTextAlloc(size));
        if (block) {
            memset(block, 0, size);
            GuardedFree(buf->data);
            buf->data = block;
            buf->capacity = size;
        }
    }
    buf->length = 0;
    if (buf->data) buf->data[0] = 0;
}

void TextBufFree(TextBuf* buf) {
    GuardedFree(buf->data);
    memset(buf, 0, sizeof *buf);
}

// Appends n bytes, growing by step; nothing once the buffer has failed.
static void BufAppend(TextBuf* buf, const char* bytes, uint32_t n, uint32_t step) {
    if (buf->failed) return;
    if (!TextBufEnsure(buf, buf->length + n + 10, step, nullptr)) return;
    memcpy(buf->data + buf->length, bytes, n);
    buf->length += n;
    buf->data[buf->length] = 0;
}

static void BufAppendZ(TextBuf* buf, const char* text, uint32_t step) {
    BufAppend(buf, text, static_cast<uint32_t>(strlen(text)), step);
}

static uint32_t TextLength(const char* text, uint32_t length) {
    return length ? length : static_cast<uint32_t>(strlen(text));
}

// ---- HTML and script --------------------------------------------------------------

int HtmlAppend(const char* text, uint32_t length) {
    if (text) BufAppend(&gHtmlBuf, text, TextLength(text, length), kHtmlGrowStep);
    return 0;
}

// Copies the text dropping '&' mnemonic marks: the byte after a mark is copied
// as it is, so "&&" gives one ampersand; a NUL or a trailing mark ends the copy.
// With underline, the byte after a single mark is underlined, as the native
// controls draw a mnemonic ("&File" gives "<u>F</u>ile"). With breaks, a CR
// or LF (and one CR or LF right after it) becomes "</br>".
static void AppendMnemonicText(TextBuf* buf, const char* text, uint32_t length, bool breaks, bool underline) {
    if (!text) return;
    uint32_t n = TextLength(text, length);
    uint32_t i = 0;
    while (i < n && text[i]) {
        char c = text[i];
        if (c == '&') {
            if (i + 1 >= n || !text[i + 1]) break;
            bool mark = underline && text[i + 1] != '&';
            if (mark) BufAppendZ(buf, "<u>", kHtmlGrowStep);
            BufAppend(buf, &text[i + 1], 1, kHtmlGrowStep);
            if (mark) BufAppendZ(buf, "</u>", kHtmlGrowStep);
            i += 2;
            continue;
        }
        if (breaks && (c == '\r' || c == '\n')) {
            BufAppendZ(buf, "</br>", kHtmlGrowStep);
            i++;
            if (i < n && (text[i] == '\r' || text[i] == '\n') && text[i] != c) i++;
            continue;
        }
        BufAppend(buf, &c, 1, kHtmlGrowStep);
        i++;
    }
}

int HtmlAppendText(const char* text, uint32_t length) {
    AppendMnemonicText(&gHtmlBuf, text, length, false, true);
    return 0;
}

int HtmlAppendTextBr(const char* text, uint32_t length) {
    AppendMnemonicText(&gHtmlBuf, text, length, true, true);
    return 0;
}

int HtmlAppendPlainText(const char* text, uint32_t length) {
    AppendMnemonicText(&gHtmlBuf, text, length, false, false);
    return 0;
}

int HtmlAppendUInt(uint32_t value) {
    char num[16];
    snprintf(num, sizeof num, "%u", value);
    return HtmlAppend(num, 0);
}

int HtmlAppendInt(int32_t value) {
    char num[16];
    snprintf(num, sizeof num, "%d", value);
    return HtmlAppend(num, 0);
}

// '#' and red, green, blue as lower-case hex; values with the top bit set name
// an entry of the system colour table when what remains is below 21.
static void ColorText(uint32_t color, char out[8]) {
    if (color > 0xFFFFFFu) {
        color &= 0x7FFFFFFFu;
        if (color < kColorIndexLimit) color = gWebHooks.sysColor ? gWebHooks.sysColor(color) : 0;
    }
    out[0] = '#';
    ByteToHex(static_cast<uint8_t>(color), out + 1);
    ByteToHex(static_cast<uint8_t>(color >> 8), out + 3);
    ByteToHex(static_cast<uint8_t>(color >> 16), out + 5);
    out[7] = 0;
}

int HtmlAppendColor(uint32_t color) {
    char text[8];
    ColorText(color, text);
    return HtmlAppend(text, 0);
}

int JsAppend(const char* text, uint32_t length) {
    if (text) BufAppend(&gJsBuf, text, TextLength(text, length), kHtmlGrowStep);
    return 0;
}

int JsAppendUInt(uint32_t value) {
    char num[16];
    snprintf(num, sizeof num, "%u", value);
    return JsAppend(num, 0);
}

int JsAppendColor(uint32_t color) {
    char text[8];
    ColorText(color, text);
    return JsAppend(text, 0);
}

int JsDateFormat(const char* picture) {
    char out[256];
    WebDateFormat(picture, 0, out, sizeof out);
    return JsAppend(out, 0);
}

void HtmlReset() {
    TextBufReset(&gHtmlBuf, kHtmlBufMinimum);
    TextBufReset(&gJsBuf, kHtmlBufMinimum);
}

// ---- JSON members -----------------------------------------------------------------

static void JsonAppend(const char* bytes, uint32_t n) {
    if (gJsonMsgBuf.failed) return;
    if (!JsonMsgBufEnsure(&gJsonMsgBuf, gJsonMsgBuf.length + n + 10)) return;
    memcpy(gJsonMsgBuf.data + gJsonMsgBuf.length, bytes, n);
    gJsonMsgBuf.length += n;
    gJsonMsgBuf.data[gJsonMsgBuf.length] = 0;
}

static void JsonAppendZ(const char* text) { JsonAppend(text, static_cast<uint32_t>(strlen(text))); }

void JsonBeginAction(int code) {
    char head[32];
    snprintf(head, sizeof head, "{ \"action\": %d", code);
    TextBufEnsure(&gJsonMsgBuf, static_cast<uint32_t>(strlen(head)) + 10, kJsonGrowStep, head);
}

void JsonAddInt(const char* key, int32_t value) {
    char member[96];
    snprintf(member, sizeof member, ", \"%.60s\": %d", key, value);
    JsonAppendZ(member);
}

void JsonAddBool(const char* key, bool flag) {
    char member[96];
    snprintf(member, sizeof member, ", \"%.60s\": %s", key, flag ? "true" : "false");
    JsonAppendZ(member);
}

// Writes the escaped bytes of a string member. Only real UTF-8 continuation
// bytes (10xxxxxx) are copied after a lead byte: a broken sequence followed by
// a quote must not carry the quote past the escaping and open a new member.
static void JsonWriteEscaped(const char* text, uint32_t length, int mode);

static void JsonWriteString(const char* key, const char* text, uint32_t length, int mode) {
    if (gJsonMsgBuf.failed) return;
    if (!text) length = 0;
    if (text && mode >= kCharModeMap && length) {
        const char* converted = text;
        length = static_cast<uint32_t>(AnsiToUtf8(&converted, length, 0));
        text = converted;
    }
    char head[96];
    snprintf(head, sizeof head, ", \"%.60s\": \"", key);
    uint64_t reserve = static_cast<uint64_t>(gJsonMsgBuf.length) + kStringGrowStep + length;
    if (reserve > 0x7FFFFFF0u || !TextBufEnsure(&gJsonMsgBuf, static_cast<uint32_t>(reserve), kJsonGrowStep, nullptr))
        return TextBufMarkFailed(&gJsonMsgBuf);
    JsonAppendZ(head);
    JsonWriteEscaped(text, length, mode);
    JsonAppend("\"", 1);
}

// The escaped bytes of a string's value, without its quotes.
static void JsonWriteEscaped(const char* text, uint32_t length, int mode) {
    const uint8_t* s = reinterpret_cast<const uint8_t*>(text);
    uint32_t i = 0;
    while (i < length && !gJsonMsgBuf.failed) {
        if (gJsonMsgBuf.capacity - gJsonMsgBuf.length < 10 &&
            !TextBufEnsure(&gJsonMsgBuf, gJsonMsgBuf.length + kStringGrowStep, kJsonGrowStep, nullptr))
            return;
        char* out = gJsonMsgBuf.data + gJsonMsgBuf.length;
        uint8_t c = s[i++];
        uint32_t n = 0;
        if (c == '\\' || c == '"') {
            out[n++] = '\\';
            out[n++] = static_cast<char>(c);
        } else if (c == 8) {
            out[n++] = '\\';
            out[n++] = 'b';
        } else if (c == 10) {
            out[n++] = '\\';
            out[n++] = 'n';
        } else if (c == 13) {
            out[n++] = '\\';
            out[n++] = 'r';
        } else if (c < 32) {
            out[n++] = ' ';
        } else if (c < 128) {
            out[n++] = static_cast<char>(c);
        } else if (mode == kCharModeLatin1) {
            out[n++] = static_cast<char>(0xC0 + (c >> 6));
            out[n++] = static_cast<char>(0x80 + (c & 63));
        } else {
            int more = c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
            out[n++] = static_cast<char>(c);
            while (more-- > 0 && i < length && (s[i] & 0xC0) == 0x80) out[n++] = static_cast<char>(s[i++]);
        }
        gJsonMsgBuf.length += n;
        gJsonMsgBuf.data[gJsonMsgBuf.length] = 0;
    }
}

void JsonAddString(const char* key, const char* text, uint32_t length) {
    JsonWriteString(key, text, length, gCharConvMode);
}

void JsonAddStringN(const char* key, const char* text, uint32_t length) { JsonAddString(key, text, length); }

void JsonAddStringZ(const char* key, const char* text) {
    JsonAddString(key, text, text ? static_cast<uint32_t>(strlen(text)) : 0);
}

void JsonAddStringNoConv(const char* key, const char* text) {
    JsonWriteString(key, text, text ? static_cast<uint32_t>(strlen(text)) : 0, kCharModeUtf8);
}

void JsonAddUrl(const char* key, const char* url) { JsonAddStringZ(key, url); }

void JsonAddColor(const char* key, uint32_t color) {
    char text[8];
    ColorText(color, text);
    JsonAddStringZ(key, text);
}

void JsonAddName(const ObjectRecord* rec) {
    if (!rec) return;
    char name[24];
    snprintf(name, sizeof name, "C%u", rec->elementId);
    JsonAddStringNoConv("name", name);
}

void JsonAddForm(ObjectRecord* rec, bool useTopWindow, bool wrapper, bool formDiv, bool del) {
    if (!rec) return;
    const char* key = del ? "delform" : "form";
    ObjectRecord* holder = useTopWindow ? (gWebHooks.topWindow ? gWebHooks.topWindow(rec) : nullptr) : rec->parent;
    if (!holder) {
        const char* formName = rec->kind == kKindWindow ? reinterpret_cast<WindowRecord*>(rec)->formName : nullptr;
        JsonAddStringZ(key, formName);
        return;
    }
    bool isWindow = holder->kind == kKindWindow;
    const char* pattern = formDiv && isWindow ? "C%uN" : wrapper && isWindow ? "C%uD" : "C%u";
    char value[24];
    snprintf(value, sizeof value, pattern, holder->elementId);
    JsonAddStringNoConv(key, value);
}

void JsonAddJsHtml(bool noConversion) {
    if (gJsBuf.length) JsonAddStringNoConv("js", gJsBuf.data);
    const char* html = gHtmlBuf.data ? gHtmlBuf.data : "";
    if (noConversion) JsonAddStringNoConv("html", html);
    else JsonAddString("html", html, gHtmlBuf.length);
}

void JsonAddJs() { JsonAddStringNoConv("js", gJsBuf.data ? gJsBuf.data : ""); }

void JsonBeginArray(const char* key) {
    char head[96];
    snprintf(head, sizeof head, ", \"%.60s\":[", key);
    JsonAppendZ(head);
    gArrayFirst = true;
}

void JsonAddArrayInt(int32_t value, bool first) {
    char num[24];
    snprintf(num, sizeof num, first ? "%d" : ", %d", value);
    JsonAppendZ(num);
}

void JsonAddArrayString(const char* text) {
    if (!gArrayFirst) JsonAppend(",", 1);
    gArrayFirst = false;
    // Escaped like every other string: the element is markup built from
    // object texts, and a quote or backslash in it must not end the string.
    JsonAppend("\"", 1);
    if (text) JsonWriteEscaped(text, static_cast<uint32_t>(strlen(text)), kCharModeUtf8);
    JsonAppend("\"", 1);
}

void JsonEndArray() { JsonAppend("]", 1); }

// ---- Element names and commands ----------------------------------------------------

static const uint32_t kProgressNoWrapper = 0x10;
static const int32_t kDateFormatWithWrapper = 3;

bool WebHasWrapperDiv(const ObjectRecord* rec) {
    if (!rec) return false;
    switch (rec->kind) {
    case kKindCheckBox:
    case kKindRadio:
    case kKindSlider:
    case kKindEditNumber:
    case kKindPict:
    case kKindIcon:
        return true;
    case kKindProgress:
        return (rec->modeFlags & kProgressNoWrapper) == 0;
    case kKindEditDateTime:
        return gWebHooks.dateTimeFormat && gWebHooks.dateTimeFormat(rec) == kDateFormatWithWrapper;
    default:
        return false;
    }
}

static bool HasLabel(const ObjectRecord* rec) {
    return rec->kind == kKindCheckBox || rec->kind == kKindRadio || rec->kind == kKindGroupBox;
}

void WebElemSelector(const ObjectRecord* rec, bool wrapper, bool label, char* out, size_t outSize) {
    const char* pattern = "#C%u";
    if (label && HasLabel(rec)) pattern = "#C%uL";
    else if (wrapper && WebHasWrapperDiv(rec)) pattern = "#C%uD";
    snprintf(out, outSize, pattern, rec->elementId);
}

// "en" for the label when asked and the kind has one, else the wrapper, else
// the element itself (the order the text and markup commands test them in).
static void BeginElemCommand(int action, const ObjectRecord* rec, bool wrapper, bool label) {
    char sel[32];
    WebElemSelector(rec, wrapper, label, sel, sizeof sel);
    JsonBeginAction(action);
    JsonAddStringNoConv("en", sel);
}

void WebQueryElemProp(const ObjectRecord* rec, const char* prop, bool wrapper, bool current) {
    BeginElemCommand(kActQueryProp, rec, wrapper, false);
    JsonAddStringNoConv("pn", prop);
    if (current) JsonAddInt("cv", 1);
}

void WebQueryElemCss(const ObjectRecord* rec, const char* style, bool wrapper, bool current) {
    BeginElemCommand(kActQueryCss, rec, wrapper, false);
    JsonAddStringNoConv("pn", style);
    if (current) JsonAddInt("cv", 1);
}

void WebSetElemPropBool(const ObjectRecord* rec, const char* prop, bool flag, bool wrapper) {
    BeginElemCommand(kActSetProp, rec, wrapper, false);
    JsonAddStringNoConv("pn", prop);
    JsonAddBool("pv", flag);
    WebViewMsgEnd();
}

void WebSetElemPropInt(const ObjectRecord* rec, const char* prop, int32_t value, bool wrapper) {
    BeginElemCommand(kActSetProp, rec, wrapper, false);
    JsonAddStringNoConv("pn", prop);
    JsonAddInt("pv", value);
    WebViewMsgEnd();
}

void WebSetElemProp(const ObjectRecord* rec, const char* prop, const char* text, bool wrapper) {
    BeginElemCommand(kActSetProp, rec, wrapper, false);
    JsonAddStringNoConv("pn", prop);
    JsonAddStringZ("pv", text);
    WebViewMsgEnd();
}

void WebSetElemCssInt(const ObjectRecord* rec, const char* style, int32_t value, bool wrapper) {
    BeginElemCommand(kActSetCss, rec, wrapper, false);
    JsonAddStringNoConv("pn", style);
    JsonAddInt("pv", value);
    WebViewMsgEnd();
}

void WebSetElemCssEx(const ObjectRecord* rec, const char* style, const char* text, bool wrapper, bool label) {
    // The wrapper is tested before the label here.
    char sel[32];
    if (wrapper && WebHasWrapperDiv(rec)) WebElemSelector(rec, true, false, sel, sizeof sel);
    else WebElemSelector(rec, false, label, sel, sizeof sel);
    JsonBeginAction(kActSetCss);
    JsonAddStringNoConv("en", sel);
    JsonAddStringNoConv("pn", style);
    JsonAddStringZ("pv", text);
    WebViewMsgEnd();
}

void WebSetElemCss(const ObjectRecord* rec, const char* style, const char* text, bool wrapper) {
    WebSetElemCssEx(rec, style, text, wrapper, false);
}

void WebChangeElemClassEx(const ObjectRecord* rec, const char* remove, const char* add, bool wrapper, bool label) {
    char sel[32];
    if (wrapper && WebHasWrapperDiv(rec)) WebElemSelector(rec, true, false, sel, sizeof sel);
    else WebElemSelector(rec, false, label, sel, sizeof sel);
    JsonBeginAction(kActClass);
    JsonAddStringNoConv("en", sel);
    if (remove) JsonAddStringZ("remc", remove);
    if (add) JsonAddStringZ("addc", add);
    WebViewMsgEnd();
}

void WebChangeElemClass(const ObjectRecord* rec, const char* remove, const char* add, bool wrapper) {
    WebChangeElemClassEx(rec, remove, add, wrapper, false);
}

void WebSetElemState(const ObjectRecord* rec, const char* state, bool flag, bool wrapper) {
    BeginElemCommand(kActSetFlag, rec, wrapper, false);
    JsonAddStringNoConv("pn", state);
    JsonAddBool("pv", flag);
    WebViewMsgEnd();
}

// A copy of the text without '&' marks, in a block the caller frees; with
// underline (markup) the letter after a single mark is underlined, as the
// native controls draw it.
static char* StripMnemonics(const char* text, bool underline) {
    static const char kOpen[] = "<u>", kClose[] = "</u>";
    size_t n = strlen(text), marks = 0;
    for (size_t i = 0; underline && i < n; i++)
        if (text[i] == '&') marks++, i++;
    char* copy = static_cast<char*>(GuardedAlloc(n + marks * (sizeof kOpen + sizeof kClose) + 1));
    if (!copy) return nullptr;
    size_t o = 0;
    for (size_t i = 0; i < n; i++) {
        bool mark = false;
        if (text[i] == '&') {
            if (i + 1 >= n) break;
            i++;
            mark = underline && text[i] != '&';
        }
        if (mark) memcpy(copy + o, kOpen, sizeof kOpen - 1), o += sizeof kOpen - 1;
        copy[o++] = text[i];
        if (mark) memcpy(copy + o, kClose, sizeof kClose - 1), o += sizeof kClose - 1;
    }
    copy[o] = 0;
    return copy;
}

void WebSetElemText(const ObjectRecord* rec, const char* text, bool wrapper, bool label) {
    if (!text) return;
    char* plain = StripMnemonics(text, false);
    if (!plain) return;
    BeginElemCommand(kActText, rec, wrapper, label);
    JsonAddStringZ("pv", plain);
    GuardedFree(plain);
    WebViewMsgEnd();
}

void WebSetElemHtml(const ObjectRecord* rec, const char* markup, bool wrapper, bool label) {
    char* plain = StripMnemonics(markup ? markup : "", true);
    if (!plain) return;
    BeginElemCommand(kActSetHtml, rec, wrapper, label);
    if (rec->modeFlags & kModeUtf8Texts) JsonAddStringNoConv("pv", plain);
    else JsonAddStringZ("pv", plain);
    GuardedFree(plain);
    WebViewMsgEnd();
}

// ---- Other helpers --------------------------------------------------------------------

void ByteToHex(uint8_t value, char* out) {
    static const char kHex[] = "0123456789abcdef";
    out[0] = kHex[value >> 4];
    out[1] = kHex[value & 15];
}

void HtmlLineBreaks(const char* text, char* out, size_t outSize) {
    if (!out || outSize == 0) return;
    size_t o = 0;
    for (size_t i = 0; text && text[i] && o + 1 < outSize; i++) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (outSize - o > 5 + 1) {
                memcpy(out + o, "</br>", 5);
                o += 5;
            }
            if ((text[i + 1] == '\r' || text[i + 1] == '\n') && text[i + 1] != c) i++;
            continue;
        }
        out[o++] = c;
    }
    out[o] = 0;
}

struct DatePictureRow {
    const char* windows;
    const char* page;
};
// Longest first, so "dddd" is taken before "dd".
static const DatePictureRow kDatePictures[] = {
    {"dddd", "DD"}, {"ddd", "D"}, {"dd", "dd"}, {"MMMM", "MM"}, {"MMM", "M"},
    {"MM", "mm"},   {"M", "m"},   {"yyyy", "yy"}, {"yy", "y"},
};

void WebDateFormat(const char* picture, size_t length, char* out, size_t outSize) {
    if (!out || outSize == 0) return;
    out[0] = 0;
    if (!picture) return;
    if (!length) length = strlen(picture);
    size_t o = 0;
    size_t limit = outSize > 4 ? outSize - 4 : 0;
    size_t i = 0;
    while (i < length && o < limit) {
        if (picture[i] == '\'') {
            i++;
            while (i < length && picture[i] != '\'' && o < limit) out[o++] = picture[i++];
            if (i < length && picture[i] == '\'') i++;
            continue;
        }
        const DatePictureRow* hit = nullptr;
        for (const DatePictureRow& row : kDatePictures) {
            size_t n = strlen(row.windows);
            if (i + n <= length && memcmp(picture + i, row.windows, n) == 0) {
                hit = &row;
                break;
            }
        }
        if (hit) {
            size_t n = strlen(hit->page);
            if (o + n > limit) break;
            memcpy(out + o, hit->page, n);
            o += n;
            i += strlen(hit->windows);
        } else {
            out[o++] = picture[i++];
        }
    }
    out[o] = 0;
}

bool WebImagePath(const char* name, bool asUrl, char* out, size_t outSize) {
    if (!out || outSize == 0) return false;
    out[0] = 0;
    if (!name) return false;
    const char* dir = asUrl ? "./images/" : nullptr;
    char prefix[400];
    if (asUrl) snprintf(prefix, sizeof prefix, "%s", dir);
    else snprintf(prefix, sizeof prefix, "%sqovwv_html\\images\\", gWebHooks.programDir ? gWebHooks.programDir() : "");
    size_t p = strlen(prefix), n = strlen(name);
    // A name that would not fit is refused whole rather than cut to a wrong file.
    if (p + n + 1 > outSize) return false;
    memcpy(out, prefix, p);
    for (size_t i = 0; i <= n; i++) {
        char c = name[i];
        if (asUrl && c == '\\') c = '/';
        if (!asUrl && c == '/') c = '\\';
        out[p + i] = c;
    }
    return true;
}

bool WebPageBaseUrl(char* out, size_t outSize) {
    if (!out || outSize == 0) return false;
    out[0] = 0;
    const char* dir = gWebHooks.programDir ? gWebHooks.programDir() : nullptr;
    if (!dir || !dir[0]) return false;
    int n = snprintf(out, outSize, "file:///%sqovwv_html", dir);
    if (n <= 0 || static_cast<size_t>(n) >= outSize) {
        out[0] = 0;
        return false;
    }
    for (char* p = out; *p; ++p)
        if (*p == '\\') *p = '/';
    return true;
}

bool WebTextIsNew(const char* text, uint32_t length) {
    for (SentText* t = gSentTexts; t; t = t->next)
        if (t->length == length && memcmp(t->bytes, text, length) == 0) return false;
    SentText* t = static_cast<SentText*>(GuardedAlloc(sizeof(SentText) + length));
    if (!t) return true;
    t->length = length;
    memcpy(t->bytes, text, length);
    t->next = gSentTexts;
    gSentTexts = t;
    return true;
}

// The UTF-16 buffer of GetUnicode, kept between calls and grown as needed.
static uint16_t* gUtf16Buf;
static uint32_t gUtf16Size;

uint16_t* WebUtf16BufferEnsure(uint32_t bytes) {
    if (bytes <= gUtf16Size) return gUtf16Buf;
    uint16_t* grown = static_cast<uint16_t*>(GuardedRealloc(gUtf16Buf, bytes));
    if (!grown) return nullptr;
    gUtf16Buf = grown;
    gUtf16Size = bytes;
    return gUtf16Buf;
}

void WebTextCleanup() {
    while (gSentTexts) {
        SentText* next = gSentTexts->next;
        GuardedFree(gSentTexts);
        gSentTexts = next;
    }
    GuardedFree(gUtf16Buf);
    gUtf16Buf = nullptr;
    gUtf16Size = 0;
    TextBufFree(&gHtmlBuf);
    TextBufFree(&gJsBuf);
    TextBufFree(&gJsonMsgBuf);
}

// ---- Copies of texts -----------------------------------------------------------------

char* WebTextDup(const char* text, uint32_t length) {
    char* out = static_cast<char*>(GuardedAlloc(static_cast<size_t>(length) + 1));
    if (!out) return nullptr;
    if (length && text) memcpy(out, text, length);
    out[length] = 0;
    return out;
}

bool WebTextReplace(char** field, const char* text, uint32_t length) {
    char* copy = nullptr;
    if (text) {
        copy = WebTextDup(text, length);
        if (!copy) return false;
    }
    GuardedFree(*field);
    *field = copy;
    return true;
}

char* WebTextDupLocal(const char* text, uint32_t length) {
    if (!text || !length) return nullptr;
    char* copy = static_cast<char*>(LocalAllocZero(length + 1u));
    if (copy) memcpy(copy, text, length);
    return copy;
}

bool WebNameEndsWith(const char* text, size_t n, const char* suffix) {
    size_t s = strlen(suffix);
    if (n < s) return false;
    for (size_t i = 0; i < s; ++i) {
        char c = text[n - s + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}
