// htmlrules.cpp - the platform-free rules of the HTML control: page text
// rewriting, wrapper page, host UI flags, event lists, tab ids and order, the
// JSON text of a page event and the style name table.
#include "com/core/htmlrules.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/util/bytereader.h"

namespace {

const char kQovWinMark[] = "<!-- QOVWIN";
const char kCommentEnd[] = "-->";
const char kStyleTag[] = "<style>";
const char kStyleRuleHead[] = "* { margin: 0; padding: 0 } body { background-color: ";
const char kStyleRuleTail[] = "; } ";
const char kIframeTag[] = "<iframe";
const char kBodyTag[] = "<body";
const char kPageHead[] = "<html><head><meta http-equiv='X-UA-Compatible' content='IE=edge' /></head><body>";
const char kPageTail[] = "</body></html>";
constexpr char kDelChar = 127;
constexpr size_t kJsonEscapeWidth = 6;  // \u00XX

const char* FindIn(const char* text, size_t length, size_t from, const char* what) {
    size_t n = strlen(what);
    if (n > length) return nullptr;
    for (size_t i = from; i + n <= length; ++i)
        if (memcmp(text + i, what, n) == 0) return text + i;
    return nullptr;
}

// Opens every QOVWIN comment in place (the buffer is the caller's copy): the
// marker and its closing "-->" become blanks; a marker without one ends it.
void OpenQovWinComments(char* text, size_t length) {
    const size_t markLen = sizeof kQovWinMark - 1, endLen = sizeof kCommentEnd - 1;
    size_t from = 0;
    while (const char* mark = FindIn(text, length, from, kQovWinMark)) {
        size_t at = static_cast<size_t>(mark - text);
        const char* end = FindIn(text, length, at + markLen, kCommentEnd);
        if (!end) return;
        memset(text + at, ' ', markLen);
        size_t endAt = static_cast<size_t>(end - text);
        memset(text + endAt, ' ', endLen);
        from = endAt + endLen;
    }
}

char* AllocText(CheckedSize size) {
    if (!size.Fits()) return nullptr;
    return static_cast<char*>(malloc(size.Size()));
}

const char* const kEventNames[kWebEvCount] = {
    "", "click", "change", "dblclick", "keydown", "keyup", "keypress", "mouseout", "mouseover", "mousemove",
    "mousedown", "mouseup", "blur", "focus",
};

struct StyleRow {
    const char* name;
    HtmlStyleFace face;
};
const StyleRow kStyles[kHtmlStyleNameCount] = {
    {"fontFamily", kStyleFace1}, {"fontStyle", kStyleFace1}, {"fontVariant", kStyleFace1},
    {"fontWeight", kStyleFace1}, {"fontSize", kStyleFace1}, {"font", kStyleFace1}, {"color", kStyleFace1},
    {"background", kStyleFace1}, {"backgroundColor", kStyleFace1}, {"backgroundImage", kStyleFace1},
    {"backgroundRepeat", kStyleFace1}, {"backgroundAttachment", kStyleFace1},
    {"backgroundPosition", kStyleFace1}, {"backgroundPositionX", kStyleFace1},
    {"backgroundPositionY", kStyleFace1}, {"wordSpacing", kStyleFace1}, {"letterSpacing", kStyleFace1},
    {"textDecoration", kStyleFace1}, {"verticalAlign", kStyleFace1}, {"textTransform", kStyleFace1},
    {"textAlign", kStyleFace1}, {"textIndent", kStyleFace1}, {"lineHeight", kStyleFace1},
    {"marginTop", kStyleFace1}, {"marginRight", kStyleFace1}, {"marginBottom", kStyleFace1},
    {"marginLeft", kStyleFace1}, {"margin", kStyleFace1}, {"paddingTop", kStyleFace1},
    {"paddingRight", kStyleFace1}, {"paddingBottom", kStyleFace1}, {"paddingLeft", kStyleFace1},
    {"padding", kStyleFace1}, {"border", kStyleFace1}, {"borderTop", kStyleFace1}, {"borderRight", kStyleFace1},
    {"borderBottom", kStyleFace1}, {"borderLeft", kStyleFace1}, {"borderColor", kStyleFace1},
    {"borderTopColor", kStyleFace1}, {"borderRightColor", kStyleFace1}, {"borderBottomColor", kStyleFace1},
    {"borderLeftColor", kStyleFace1}, {"borderWidth", kStyleFace1}, {"borderTopWidth", kStyleFace1},
    {"borderRightWidth", kStyleFace1}, {"borderBottomWidth", kStyleFace1}, {"borderLeftWidth", kStyleFace1},
    {"borderStyle", kStyleFace1}, {"borderTopStyle", kStyleFace1}, {"borderRightStyle", kStyleFace1},
    {"borderBottomStyle", kStyleFace1}, {"borderLeftStyle", kStyleFace1}, {"width", kStyleFace1},
    {"height", kStyleFace1}, {"styleFloat", kStyleFace1}, {"clear", kStyleFace1}, {"display", kStyleFace1},
    {"visibility", kStyleFace1}, {"listStyleType", kStyleFace1}, {"listStylePosition", kStyleFace1},
    {"listStyleImage", kStyleFace1}, {"listStyle", kStyleFace1}, {"whiteSpace", kStyleFace1},
    {"top", kStyleFace1}, {"left", kStyleFace1}, {"zIndex", kStyleFace1}, {"overflow", kStyleFace1},
    {"pageBreakBefore", kStyleFace1}, {"pageBreakAfter", kStyleFace1}, {"cursor", kStyleFace1},
    {"clip", kStyleFace1}, {"filter", kStyleFace1},
    {"tableLayout", kStyleFace2}, {"borderCollapse", kStyleFace2}, {"direction", kStyleFace2},
    {"position", kStyleFace2}, {"unicodeBidi", kStyleFace2}, {"bottom", kStyleFace2}, {"right", kStyleFace2},
    {"wordBreak", kStyleFace2}, {"lineBreak", kStyleFace2}, {"textJustify", kStyleFace2},
    {"overflowX", kStyleFace2}, {"overflowY", kStyleFace2},
    {"wordWrap", kStyleFace3}, {"textAlignLast", kStyleFace3},
    {"textOverflow", kStyleFace4}, {"minHeight", kStyleFace4},
    {"maxHeight", kStyleFace5}, {"minWidth", kStyleFace5}, {"maxWidth", kStyleFace5},
};

int LowerAscii(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

bool SameNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (LowerAscii(static_cast<unsigned char>(*a)) != LowerAscii(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// A JSON string body: quote, backslash and control characters escaped.
bool JsonPutEscaped(const char* text, char* out, size_t outSize, size_t* pos) {
    static const char kHex[] = "0123456789abcdef";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : ""); *p; ++p) {
        if (outSize - *pos < kJsonEscapeWidth + 1) return false;
        if (*p == '"' || *p == '\\') {
            out[(*pos)++] = '\\';
            out[(*pos)++] = static_cast<char>(*p);
        } else if (*p < 0x20) {
            memcpy(out + *pos, "\\u00", 4);
            out[*pos + 4] = kHex[*p >> 4];
            out[*pos + 5] = kHex[*p & 15];
            *pos += kJsonEscapeWidth;
        } else {
            out[(*pos)++] = static_cast<char>(*p);
        }
    }
    return true;
}

bool JsonPutRaw(const char* text, char* out, size_t outSize, size_t* pos) {
    size_t n = strlen(text);
    if (outSize - *pos < n + 1) return false;
    memcpy(out + *pos, text, n);
    *pos += n;
    return true;
}

}  // namespace

const char kHtmlBlankPage[] =
    "<html><head><meta http-equiv='X-UA-Compatible' content='IE=edge' /></head><body></body></html>";
static_assert(sizeof kHtmlBlankPage - 1 == kHtmlBlankPageSize, "the blank page is 94 bytes");

uint32_t HtmlConversionCodePage(uint32_t codePage) {
    if (codePage == 0) return kHtmlUtf8CodePage;
    return codePage >= kHtmlExplicitCodePageFirst ? codePage : 0;
}

void ColorToHtmlHex(uint32_t color, char out[kHtmlHexColorSize]) {
    snprintf(out, kHtmlHexColorSize, "#%02x%02x%02x", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

bool HtmlPageTextBuild(const char* text, size_t length, bool ansi127, bool url, uint32_t bgColor,
                       HtmlPageText* out) {
    out->data = nullptr;
    out->length = 0;
    if (!text) length = 0;
    char hex[kHtmlHexColorSize];
    ColorToHtmlHex(bgColor, hex);
    const size_t ruleLen = sizeof kStyleRuleHead - 1 + strlen(hex) + sizeof kStyleRuleTail - 1;
    char* copy = AllocText(CheckedSize(length).Add(ruleLen).Add(1));
    if (!copy) return false;
    if (length) memcpy(copy, text, length);
    if (ansi127)
        for (size_t i = 0; i < length; ++i)
            if (copy[i] == kDelChar) copy[i] = ' ';
    size_t total = length;
    if (!url) {
        OpenQovWinComments(copy, length);
        if (const char* style = FindIn(copy, length, 0, kStyleTag)) {
            size_t cut = static_cast<size_t>(style - copy) + sizeof kStyleTag - 1;
            memmove(copy + cut + ruleLen, copy + cut, length - cut);
            char* p = copy + cut;
            memcpy(p, kStyleRuleHead, sizeof kStyleRuleHead - 1);
            p += sizeof kStyleRuleHead - 1;
            memcpy(p, hex, strlen(hex));
            p += strlen(hex);
            memcpy(p, kStyleRuleTail, sizeof kStyleRuleTail - 1);
            total += ruleLen;
        }
    }
    copy[total] = '\0';
    out->data = copy;
    out->length = total;
    return true;
}

void HtmlPageTextFree(HtmlPageText* page) {
    free(page->data);
    page->data = nullptr;
    page->length = 0;
}

bool HtmlTextHasIframe(const char* text, size_t length) { return text && FindIn(text, length, 0, kIframeTag); }

bool HtmlWrapperPageBuild(const char* text, size_t length, HtmlPageText* out) {
    out->data = nullptr;
    out->length = 0;
    if (!text) length = 0;
    bool wrap = !FindIn(text ? text : "", length, 0, kBodyTag);
    size_t head = wrap ? sizeof kPageHead - 1 : 0, tail = wrap ? sizeof kPageTail - 1 : 0;
    char* page = AllocText(CheckedSize(length).Add(head).Add(tail).Add(1));
    if (!page) return false;
    memcpy(page, kPageHead, head);
    if (length) memcpy(page + head, text, length);
    memcpy(page + head + length, kPageTail, tail);
    out->length = head + length + tail;
    page[out->length] = '\0';
    out->data = page;
    return true;
}

uint32_t HtmlHostUiFlags(uint32_t loadFlags) {
    uint32_t flags = 0;
    if (!(loadFlags & kHtmlLoadScroll)) flags |= kHostFlagScrollNo;
    if (!(loadFlags & kHtmlLoad3dBorder)) flags |= kHostFlagNo3dBorder;
    return flags;
}

uint8_t WebEventIdOf(const char* word, size_t length) {
    for (uint8_t id = kWebEvClick; id < kWebEvCount; ++id)
        if (strlen(kEventNames[id]) == length && memcmp(kEventNames[id], word, length) == 0) return id;
    return kWebEvNone;
}

const char* WebEventName(uint8_t id) { return id < kWebEvCount ? kEventNames[id] : ""; }

WebEventCursor WebEventListBegin(const char* text, size_t length) {
    WebEventCursor c = {text, text ? length : 0, 0};
    return c;
}

bool WebEventListNext(WebEventCursor* c, const char** word, size_t* length) {
    while (c->pos < c->length && c->text[c->pos] == ' ') ++c->pos;
    if (c->pos >= c->length || c->text[c->pos] == '\0') return false;
    size_t start = c->pos;
    while (c->pos < c->length && c->text[c->pos] != ' ' && c->text[c->pos] != '\0') ++c->pos;
    *word = c->text + start;
    *length = c->pos - start;
    return true;
}

uint32_t WebEventMarks(const char* text, size_t length, bool hasTabId, bool* genericFocus) {
    uint32_t marks = 0;
    *genericFocus = false;
    WebEventCursor c = WebEventListBegin(text, length);
    const char* word;
    size_t n;
    while (WebEventListNext(&c, &word, &n)) {
        uint8_t id = WebEventIdOf(word, n);
        if (id == kWebEvNone) continue;
        if (id == kWebEvFocus) *genericFocus = true;
        marks |= 1u << id;
    }
    if (hasTabId) marks |= 1u << kWebEvFocus;
    return marks;
}

int32_t WebTabIdParse(const char* text, size_t length) {
    if (!text) return 0;
    if (length > kWebTabIdTextMax) length = kWebTabIdTextMax;
    size_t i = 0;
    while (i < length && text[i] == ' ') ++i;
    int64_t value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) value = INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

int32_t WebTabPick(const int32_t* ids, size_t count, int32_t current, bool forward) {
    int32_t best = -1;
    for (size_t i = 0; i < count; ++i) {
        int32_t id = ids[i];
        if (id <= 0) continue;
        if (forward ? id <= current : id >= current) continue;
        if (best < 0 || (forward ? id < ids[best] : id > ids[best])) best = static_cast<int32_t>(i);
    }
    return best;
}

size_t WebEventJson(const WebEventFields* f, char* out, size_t outSize) {
    if (!out || outSize == 0) return 0;
    char number[64];
    size_t pos = 0;
    bool ok = JsonPutRaw("{\"type\":\"", out, outSize, &pos) && JsonPutEscaped(f->type, out, outSize, &pos) &&
              JsonPutRaw("\",\"id\":\"", out, outSize, &pos) && JsonPutEscaped(f->id, out, outSize, &pos);
    if (ok) {
        snprintf(number, sizeof number, "\",\"pageX\":%d,\"pageY\":%d,\"metaKey\":%s,\"which\":%d,\"target\":\"",
                 static_cast<int>(f->pageX), static_cast<int>(f->pageY), f->ctrlKey ? "true" : "false",
                 static_cast<int>(f->keyCode));
        ok = JsonPutRaw(number, out, outSize, &pos) && JsonPutEscaped(f->target, out, outSize, &pos) &&
             JsonPutRaw("\"}", out, outSize, &pos);
    }
    if (!ok) {
        out[0] = '\0';
        return 0;
    }
    out[pos] = '\0';
    return pos;
}

size_t HtmlCopyCut(char* out, size_t size, const char* text) {
    if (!out || size == 0) return 0;
    size_t n = text ? strlen(text) : 0;
    if (n > size - 1) n = size - 1;
    if (n) memcpy(out, text, n);
    out[n] = '\0';
    return n;
}

int HtmlStyleIndex(const char* name) {
    if (!name) return -1;
    for (int i = 0; i < kHtmlStyleNameCount; ++i)
        if (SameNoCase(kStyles[i].name, name)) return i;
    return -1;
}

const char* HtmlStyleName(int index) {
    return index >= 0 && index < kHtmlStyleNameCount ? kStyles[index].name : "";
}

HtmlStyleFace HtmlStyleFaceOf(int index) {
    return index >= 0 && index < kHtmlStyleNameCount ? kStyles[index].face : kStyleFace1;
}
