// webedit.cpp - edit text (kind 6) and number edit (kind 44) in the web view.
// The page holds the typed text, the caret and the selection; the record keeps
// the options and limits. Texts go to the page as the native edit would hold
// them (control text with its limits) and come back as program text (line
// breaks as byte 127), so the server reads the same texts in both modes.
#include "webview/controls/webedit.h"
#include "objects/kindcodes.h"
#include "webview/controls/webctlcommon.h"

#include <cstdio>
#include <cstring>

#include "controls/ctlcore.h"
#include "session/config.h"
#include "session/proto/protocol.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

uint16_t gWebEditClientOptions = kClientDecimalOption;

namespace {

enum EditDwid : int32_t {
    kDwSelectAll = 1, kDwSelection = 2, kDwAskText = 3, kDwSetText = 4, kDwValue = 5, kDwInsert = 6, kDwOption = 7,
};
enum EditWhich : int32_t { kWhole = 0, kSelection = 1 };
enum ConvMode : uint16_t { kConvDefault = 1, kConvPlain = 2, kConvTabs = 3, kConvNone = 4, kConvBlanks = 5 };

// The creation's style bits that choose an edit type when none is given.
struct StyleType {
    uint32_t bit;
    uint16_t type;
};
const StyleType kStyleTypes[] = {{0x200, kEditTypeLower}, {0x400, kEditTypeUpper}, {0x800, 2}, {0x1000, kEditTypeDecimal}};

constexpr uint16_t kUpDownAlignDefault = 2;
constexpr int32_t kUpDownMaxDefault = 100;
constexpr int32_t kNoOwnColor = -1;
constexpr uint8_t kScrollBoth = 1, kScrollVertical = 2, kScrollNone = 3, kScrollHorizontal = 4;
constexpr char kBlank = ' ';
constexpr uint8_t kFirstPrintable = 32;
constexpr uint32_t kUtf16Terminator = 2;
// Option letters in the order of their bits.
const uint16_t kOptionLetterBits[6] = {0x0008, 0x0040, 0x0010, 0x0020, 0x0080, 0x0100};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SetBit(uint32_t* word, uint32_t bit, bool on) { *word = on ? (*word | bit) : (*word & ~bit); }

uint32_t LimitOrDefault(int32_t v) {
    if (v > 0) return static_cast<uint32_t>(v);
    return (gGuiModeFlags & 0x100) ? 0 : kEditColumnsMax;
}

void BeginEdit(ObjectRecord* rec, uint8_t action, int32_t dwid) {
    WebViewSelectForObject(rec);
    JsonBeginAction(action);
    JsonAddName(rec);
    JsonAddInt("dwid", dwid);
}

void SendOption(ObjectRecord* rec, uint8_t action, const char* key, int32_t value) {
    BeginEdit(rec, action, kDwOption);
    JsonAddInt(key, value);
    WebViewMsgEnd();
}

void SendText(ObjectRecord* rec, uint8_t action, int32_t dwid, int32_t which, const char* text, uint32_t length) {
    BeginEdit(rec, action, dwid);
    JsonAddInt("pos", which);
    JsonAddString("str", text, length);
    WebViewMsgEnd();
}

void SendSelection(ObjectRecord* rec, uint8_t action, int32_t start, int32_t end, bool withStart) {
    BeginEdit(rec, action, kDwSelection);
    if (withStart) JsonAddInt("ss", start);
    JsonAddInt("se", end);
    WebViewMsgEnd();
}

int32_t ScrollBarOf(uint32_t flags) {
    bool h = (flags & kEdHScroll) != 0, v = (flags & kEdVScroll) != 0;
    return h && v ? kScrollBoth : v ? kScrollVertical : h ? kScrollHorizontal : kScrollNone;
}

void SetScrollBits(uint32_t* flags, int32_t value) {
    *flags &= ~(kEdHScroll | kEdVScroll);
    if (value == kScrollBoth) *flags |= kEdHScroll | kEdVScroll;
    else if (value == kScrollVertical) *flags |= kEdVScroll;
    else if (value == kScrollHorizontal) *flags |= kEdHScroll;
}

int32_t AlignmentOf(uint32_t flags) { return (flags & kEdAlignCenter) ? 3 : (flags & kEdAlignRight) ? 1 : 2; }

void SetAlignment(uint32_t* flags, int32_t value) {
    *flags &= ~(kEdAlignRight | kEdAlignCenter);
    if (value == 1) *flags |= kEdAlignRight;
    else if (value == 3) *flags |= kEdAlignCenter;
}

int32_t Margin(ObjectRecord* rec, int32_t v, bool toPixels) { return WebScaleValue(rec, v, 0, toPixels); }

// The text answer of a page query, sent and waited for; null when none came.
const JsonValue* AskEditText(ObjectRecord* rec, int32_t which) {
    WebEditTextAskText(rec, which);
    return WebViewMsgQuery();
}

const char* TextOut(const char* text, const char** out) {
    snprintf(gTextBuf, kTextBufSize + 1, "%s", text ? text : "");
    *out = gTextBuf;
    return gTextBuf;
}

// The methods the edit text and the number edit answer alike: 1-6 (nothing
// to do in the page) 1, ScrollToCaret and CanUndo 0, Select and SelectAll.
constexpr int32_t kNotShared = INT32_MIN + 1;
int32_t SharedEditMethod(ObjectRecord* rec, MethodCallRec* call, uint8_t action, uint32_t canUndo) {
    uint32_t m = call->method;
    if (m >= 1 && m <= kEditUndo) return WebReplyInt(1);
    if (m == kEditScrollToCaret || m == canUndo) return WebReplyInt(0);
    if (m == kEditSelect) {
        SendSelection(rec, action, WebArgInt(call, 0, 0) - 1, WebArgInt(call, 1, 0) - 1, true);
        return WebReplyInt(1);
    }
    if (m == kEditSelectAll) {
        BeginEdit(rec, action, kDwSelectAll);
        WebViewMsgEnd();
        return WebReplyInt(1);
    }
    return kNotShared;
}

// ---- Edit text operations ---------------------------------------------------------------

int32_t EditSendText(ObjectRecord* rec, int32_t which, const char* text, uint32_t length, int32_t dwid) {
    const char* out = nullptr;
    uint32_t n = 0;
    if (!WebEditFormatForPage(WebEditText(rec), text, length, which == kWhole && dwid == kDwSetText, &out, &n))
        return kWebNoMemory;
    SendText(rec, kActEdit, dwid, which, out, n);
    return 0;
}

int32_t EditGetText(ObjectRecord* rec, int32_t item) {
    if (item != kWhole && item != kSelection) return 0;
    return WebEditTextReplyText(rec, AskEditText(rec, item), item == kSelection);
}

int32_t EditGetValue(ObjectRecord* rec, int32_t item, int32_t*, bool* asked) {
    BeginEdit(rec, kActEdit, kDwValue);
    JsonAddInt("typ", item);
    *asked = true;
    return 0;
}

int32_t EditSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    if (item != kWhole && item != kSelection) return 0;
    return EditSendText(rec, item, text, length, kDwSetText);
}

int32_t EditSetValue(ObjectRecord* rec, int32_t item, int32_t value) {
    if (item == 1 || item == 2) SendSelection(rec, kActEdit, value, value, item == 1);
    return 0;
}

int32_t EditInsertItem(ObjectRecord* rec, int32_t which, const char* text, uint32_t length) {
    if ((which != kWhole && which != kSelection) || !text || !length) return 0;
    return EditSendText(rec, which, text, length, kDwInsert);
}

int32_t EditDeleteItem(ObjectRecord* rec, int32_t which) {
    if (which == kWhole || which == kSelection) SendText(rec, kActEdit, kDwSetText, which, "", 0);
    return 0;
}

void EditDestroy(ObjectRecord* rec) {
    GuardedFree(WebEditText(rec)->cueText);
    WebEditText(rec)->cueText = nullptr;
}

// ---- Number edit operations -----------------------------------------------------------------

int32_t NumberGetText(ObjectRecord* rec, int32_t) {
    BeginEdit(rec, kActNumber, kDwAskText);
    JsonAddInt("pos", 0);
    return WebEditNumberReplyText(WebViewMsgQuery());
}

int32_t NumberSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    if (item != kWhole && item != kSelection) return 0;
    if (length > kTextBufSize) return 0;
    uint32_t at = 0;
    while (at < length && text[at] == kBlank) ++at;
    if (at == length) WebEditNumberFormat(rec, "0", 1);
    else WebEditNumberFormat(rec, text + at, length - at);
    return 0;
}

int32_t NumberSetValue(ObjectRecord* rec, int32_t item, int32_t value) {
    if (item == 1 || item == 2) SendSelection(rec, kActNumber, value, value, item == 1);
    return 0;
}


// The text of a UTF-16 argument, up to its 0 unit and within its length, a
// byte-order mark skipped, as UTF-8 into gTextBuf.
void Utf16ArgToUtf8(const EventItem& a) {
    uint32_t units = a.size / 2;
    const uint16_t* src = static_cast<const uint16_t*>(a.data);
    gTextBuf[0] = 0;
    if (!src || !units) return;
    uint16_t first = 0;
    memcpy(&first, src, sizeof first);
    if (first == 0xFEFF || first == 0xFFFE) {
        ++src;
        --units;
    }
    uint32_t n = 0;
    while (n < units) {
        uint16_t u;
        memcpy(&u, src + n, sizeof u);
        if (!u) break;
        ++n;
    }
    const uint16_t* from = src;
    uint8_t* to = reinterpret_cast<uint8_t*>(gTextBuf);
    Utf16ToUtf8(&from, src + n, &to, reinterpret_cast<uint8_t*>(gTextBuf) + kTextBufSize, true);
    *to = 0;
}

// GetUnicode: the page's text as UTF-16 bytes (a terminator unless flags bit 0).
int32_t ReplyUnicode(ObjectRecord* rec, MethodCallRec* call) {
    const JsonValue* reply = AskEditText(rec, kWhole);
    const char* raw = reply ? JsonGetTextRaw(reply, "str") : nullptr;
    if (!raw) raw = "";
    if (call->result.kind == kItemUtf8 || !gWebObjServices.replyBytes) return WebReplyText(raw);
    uint32_t n = static_cast<uint32_t>(strlen(raw));
    if (n > kUnicodeCutBytes) {
        n = kUnicodeCutBytes;
        // The cut goes before a sequence, never into one.
        while (n > 0 && (static_cast<uint8_t>(raw[n]) & 0xC0) == 0x80) --n;
    }
    uint16_t* buf = WebUtf16BufferEnsure(static_cast<uint32_t>(n) * 2 + kUtf16Terminator);
    if (!buf) {
        gWebObjServices.replyBytes("", 0);
        return kWebNoAnswer;
    }
    const uint8_t* from = reinterpret_cast<const uint8_t*>(raw);
    uint16_t* to = buf;
    Utf8ToUtf16(&from, from + n, &to, buf + n, true);
    uint32_t bytes = static_cast<uint32_t>(to - buf) * 2;
    *to = 0;
    if (!(WebArgInt(call, 0, 0) & 1)) bytes += kUtf16Terminator;
    gWebObjServices.replyBytes(buf, bytes);
    return kWebNoAnswer;
}

int32_t CountLines(const char* text) {
    if (!text || !*text) return 0;
    int32_t n = 1;
    for (const char* p = text; *p; ++p)
        if (static_cast<uint8_t>(*p) == kProgramLineBreak) ++n;
    return n;
}

}  // namespace

// ---- Shared helpers ---------------------------------------------------------------------------

char WebEditDecimalChar() { return gClientConfig.decimalChar ? gClientConfig.decimalChar : '.'; }
bool WebEditDecimalOption() { return (gWebEditClientOptions & kClientDecimalOption) != 0; }

// ---- Edit text ----------------------------------------------------------------------------------

bool WebEditConvertFromPage(const char* text, uint32_t length, uint16_t editType, uint16_t mode, const char** out,
                            uint32_t* outLength) {
    if (!EditTextBufferEnsure(length)) return false;
    if (length) memcpy(gEditTextBuf, text, length);
    gEditTextBuf[length] = 0;
    gEditTextLen = length;
    for (uint32_t i = 0; i < length; ++i) {
        if (editType == kEditTypeLower) gEditTextBuf[i] = Lower(gEditTextBuf[i]);
        else if (editType == kEditTypeUpper) gEditTextBuf[i] = Upper(gEditTextBuf[i]);
    }
    *out = gEditTextBuf;
    *outLength = length;
    if (mode == kConvNone) return true;
    // Line feeds (and CR LF, as the native edit gives them) become byte 127.
    // The copy converts in place: it never grows.
    if (!EditTextFromControl(gEditTextBuf, length)) return false;
    char* buf = gEditTextBuf;
    uint32_t n = gEditTextLen;
    if (mode == kConvBlanks) {
        for (uint32_t i = 0; i < n; ++i)
            if (static_cast<uint8_t>(buf[i]) < kFirstPrintable) buf[i] = kBlank;
    } else if (mode == kConvTabs) {
        int32_t expanded = EditTabsExpand(buf, n);
        if (expanded < 0) return false;
        buf = gEditTabBuf;
        n = static_cast<uint32_t>(expanded);
    }
    char dec = WebEditDecimalChar();
    if (editType == kEditTypeDecimal && WebEditDecimalOption() && dec != '.')
        for (uint32_t i = 0; i < n; ++i)
            if (buf[i] == dec) buf[i] = '.';
    *out = buf;
    *outLength = n;
    return true;
}

bool WebEditFormatForPage(const WebEditTextRecord* e, const char* text, uint32_t length, bool whole,
                          const char** out, uint32_t* outLength) {
    if (!EditTextFormatLines(text ? text : "", text ? length : 0, e->lineLimit, e->lineLimit > 1 ? e->columnLimit : 0))
        return false;
    char* buf = gEditTextBuf;
    uint32_t n = gEditTextLen;
    char dec = WebEditDecimalChar();
    if (e->editType == kEditTypeDecimal && WebEditDecimalOption())
        for (uint32_t i = 0; i < n; ++i)
            if (buf[i] == '.') buf[i] = dec;
    uint32_t start = 0;
    if (whole) {
        while (n > 0 && buf[n - 1] == kBlank) --n;
        if (e->editFlags & (kEdAlignRight | kEdAlignCenter))
            while (start < n && buf[start] == kBlank) ++start;
        if (n - start == 1 && buf[start] == kBlank) n = start;
    }
    buf[n] = 0;
    *out = buf + start;
    *outLength = n - start;
    return true;
}

void WebEditTextAskText(ObjectRecord* rec, int32_t which) {
    BeginEdit(rec, kActEdit, kDwAskText);
    JsonAddInt("pos", which == kSelection ? kSelection : kWhole);
}

int32_t WebEditTextReplyText(ObjectRecord* rec, const JsonValue* reply, bool selection) {
    gTextBuf[0] = 0;
    const char* got = reply ? JsonGetText(reply, selection ? "sel" : "str") : nullptr;
    if (!got || !*got) return 0;
    WebEditTextRecord* e = WebEditText(rec);
    uint16_t mode = e->textConv >= kConvPlain && e->textConv <= kConvBlanks ? e->textConv : static_cast<uint16_t>(kConvPlain);
    const char* out = nullptr;
    uint32_t n = 0;
    if (!WebEditConvertFromPage(got, static_cast<uint32_t>(strlen(got)), e->editType, mode, &out, &n))
        return kWebNoMemory;
    if (n > kTextBufSize) n = kTextBufSize;
    memcpy(gTextBuf, out, n);
    gTextBuf[n] = 0;
    return 0;
}

void WebEditTextFirstLine(const char* text, uint16_t editType) {
    uint32_t n = 0;
    for (; text && text[n] && text[n] != '\n' && static_cast<uint8_t>(text[n]) != kProgramLineBreak && n < kTextBufSize;
         ++n) {
        char c = text[n];
        gTextBuf[n] = editType == kEditTypeLower ? Lower(c) : editType == kEditTypeUpper ? Upper(c) : c;
    }
    gTextBuf[n] = 0;
}

ObjectRecord* WebEditTextCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t,
                                int32_t* code) {
    bool allocated = !rec;
    if (!rec) rec = ObjectAllocRecord(kKindEditText, sizeof(WebEditTextRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebEditTextRecord* e = WebEditText(rec);
    uint32_t& f = e->editFlags;
    e->inputType = static_cast<uint8_t>(CreateRecordValue(cr, kPidInputType, 0));
    SetBit(&f, kEdAutoEnter, CreateRecordValue(cr, kPidAutoEnter, 0) != 0);
    if (cr->flags1 & kCr1Border) rec->flags |= kObjBorder;
    int32_t conv = CreateRecordValue(cr, kPidTextOutConv, kConvDefault);
    e->textConv = static_cast<uint16_t>(conv >= kConvDefault && conv <= kConvBlanks ? conv : kConvDefault);
    e->ownBgValue = kNoOwnColor;
    SetBit(&f, kEdClipSib, CreateRecordValue(cr, kPidClipSib, 0) != 0);
    SetBit(&f, kEdKeepSel, CreateRecordValue(cr, kPidEditHideSel, 1) == 0);
    bool wordWrap = CreateRecordValue(cr, kPidWordWrap, 0) != 0;
    int32_t lines = CreateRecordValue(cr, kPidMultiLine, 1);
    if (CreateRecordValue(cr, kPidSingleLine, 0) == 1) {
        f |= kEdSingleLine;
        lines = 1;
        wordWrap = false;
    }
    e->lineLimit = lines > 1 ? static_cast<uint32_t>(lines) : 1;
    e->columnLimit = e->lineLimit > 1 ? LimitOrDefault(CreateRecordValue(cr, kPidMaxCols, 0)) : 0;
    SetBit(&f, kEdWordWrap, wordWrap);
    SetBit(&f, kEdReadOnly, CreateRecordValue(cr, kPidReadOnly, 0) != 0);
    if (CreateRecordValue(cr, kPidPassword, 0)) f |= kEdPassword | kEdSingleLine;
    CrText cue = CreateRecordText(cr, kPidCueText);
    if (cue.text && cue.length) f |= kEdSingleLine;
    CrText options = CreateRecordText(cr, kPropIdEditOptions);
    e->options = options.text ? EditOptionsParse(options.length, options.text) : kEditOptionsDefault;
    int32_t type = CreateRecordValue(cr, kPidEditType, 0);
    if (type < kEditTypePlain || type > kEditTypeLast) {
        type = kEditTypePlain;
        for (const StyleType& s : kStyleTypes)
            if (cr->winStyle & s.bit) type = s.type;
    }
    e->editType = static_cast<uint16_t>(type);
    SetAlignment(&f, CreateRecordValue(cr, kPidAlignment, 0));
    SetScrollBits(&f, cr->scrollBar);
    SetBit(&f, kEdOverType, CreateRecordValue(cr, kPidOverType, 0) != 0);
    SetBit(&f, kEdSelectAll, CreateRecordValue(cr, kPidSelectAll, 0) != 0);
    SetBit(&f, kEdStatic, CreateRecordValue(cr, kPidStatic, 0) != 0);
    e->maxChars = static_cast<uint32_t>(CreateRecordValue(cr, kPidMaxChars, 0));
    e->rightMargin = static_cast<uint16_t>(Margin(rec, CreateRecordValue(cr, kPidRightMargin, 0), true));
    e->leftMargin = static_cast<uint16_t>(Margin(rec, CreateRecordValue(cr, kPidLeftMargin, 0), true));
    CrText pw = CreateRecordText(cr, kPidPasswordChar);
    if (pw.text && pw.length) e->passwordChar = static_cast<uint8_t>(pw.text[0]);
    WebApplyTheme(cr, top);
    if (cue.text && !WebTextReplace(&e->cueText, cue.text, cue.length)) {
        return WebCreateRefused(rec, allocated, EditDestroy, code);
    }
    return rec;
}

int32_t WebEditTextSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite) {
    WebEditTextRecord* e = WebEditText(rec);
    uint32_t& f = e->editFlags;
    *commonWrite = false;
    switch (id) {
    case kPropIdEditOptions: e->options = EditOptionsParse(text ? length : 0, text); return 0;
    case kPidAlignment:
        SetAlignment(&f, value);
        *commonWrite = true;
        return 0;
    case kPidBorder: SetBit(&rec->flags, kObjBorder, value != 0); return 0;
    case kPidStyle:
        if (value >= 1 && value <= 4) rec->appearance = static_cast<uint8_t>(value);
        return 0;
    case kPidEditType:
        e->editType = static_cast<uint16_t>(value);
        WebSetElemCss(rec, "text-transform", value == kEditTypeLower ? "lowercase" : value == kEditTypeUpper ? "uppercase" : "none",
                      false);
        return 0;
    case kPidEditHideSel: case kPidModifyFlag: return 0;
    case kPidMaxChars: e->maxChars = LimitOrDefault(value); return 0;
    case kPidMultiLine: e->lineLimit = LimitOrDefault(value); return 0;
    case kPidStatic: case kPidReadOnly:
        SetBit(&f, id == kPidStatic ? kEdStatic : kEdReadOnly, value != 0);
        WebSetElemPropBool(rec, "readOnly", (f & (kEdStatic | kEdReadOnly)) != 0, false);
        return 0;
    case kPidTabId:
        rec->tabId = static_cast<uint16_t>(value);
        *commonWrite = true;
        return 0;
    case kPidText: return EditSendText(rec, kWhole, text, text ? length : 0, kDwSetText);
    case kPidSelText: return EditSendText(rec, kSelection, text, text ? length : 0, kDwSetText);
    case kPidWordWrap:
        SetBit(&f, kEdWordWrap, value != 0);
        *commonWrite = true;
        return 0;
    case kPidScrollBar: {
        if (value < 0 || value > kScrollHorizontal) return 0;
        const char* old = HtmlScrollClass(ScrollBarOf(f));
        SetScrollBits(&f, value);
        WebChangeElemClass(rec, old, HtmlScrollClass(ScrollBarOf(f)), false);
        return 0;
    }
    case kPidMaxCols: e->columnLimit = LimitOrDefault(value); return 0;
    case kPidOverType: SetBit(&f, kEdOverType, value != 0); SendOption(rec, kActEdit, "ot", value != 0); return 0;
    case kPidSelectAll: SetBit(&f, kEdSelectAll, value != 0); SendOption(rec, kActEdit, "sa", value != 0); return 0;
    case kPidPassword: SetBit(&f, kEdPassword, value != 0); return 0;
    case kPidClipSib: SetBit(&f, kEdClipSib, value != 0); return 0;
    case kPidRightMargin: e->rightMargin = static_cast<uint16_t>(Margin(rec, value, true)); return 0;
    case kPidLeftMargin: e->leftMargin = static_cast<uint16_t>(Margin(rec, value, true)); return 0;
    case kPidPasswordChar: e->passwordChar = text && length ? static_cast<uint8_t>(text[0]) : 0; return 0;
    case kPidTextOutConv:
        if (value >= kConvDefault && value <= kConvBlanks) e->textConv = static_cast<uint16_t>(value);
        return 0;
    case kPidAutoEnter: SetBit(&f, kEdAutoEnter, value != 0); SendOption(rec, kActEdit, "ae", value != 0); return 0;
    case kPidCueText:
        if (!WebTextReplace(&e->cueText, text ? text : "", text ? length : 0)) return kWebNoMemory;
        WebSetElemProp(rec, "placeholder", e->cueText, false);
        return 0;
    case kPidInputType:
        e->inputType = static_cast<uint8_t>(value);
        WebSetElemProp(rec, "type", HtmlInputType(value), false);
        return 0;
    default:
        *commonWrite = true;
        return kWebNotAvailable;
    }
}

int32_t WebEditTextGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebEditTextRecord* e = WebEditText(rec);
    uint32_t f = e->editFlags;
    auto bit = [&](uint32_t b) { *result = (f & b) ? 1 : 0; };
    switch (id) {
    case kPropIdEditOptions: {
        char letters[7];
        for (int i = 0; i < 6; ++i) letters[i] = (e->options & kOptionLetterBits[i]) ? 'Y' : 'N';
        letters[6] = 0;
        TextOut(letters, text);
        return 0;
    }
    case kPidAlignment: *result = AlignmentOf(f); return 0;
    case kPidEditType: *result = e->editType; return 0;
    case kPidMaxChars: *result = static_cast<int32_t>(e->maxChars); return 0;
    case kPidMultiLine: *result = static_cast<int32_t>(e->lineLimit); return 0;
    case kPidMaxCols: *result = static_cast<int32_t>(e->columnLimit); return 0;
    case kPidTextOutConv: *result = e->textConv; return 0;
    case kPidInputType: *result = e->inputType; return 0;
    case kPidEditHideSel: *result = (f & kEdKeepSel) ? 0 : 1; return 0;
    case kPidStatic: bit(kEdStatic); return 0;
    case kPidReadOnly: bit(kEdReadOnly); return 0;
    case kPidWordWrap: bit(kEdWordWrap); return 0;
    case kPidOverType: bit(kEdOverType); return 0;
    case kPidSelectAll: bit(kEdSelectAll); return 0;
    case kPidPassword: bit(kEdPassword); return 0;
    case kPidClipSib: bit(kEdClipSib); return 0;
    case kPidSingleLine: bit(kEdSingleLine); return 0;
    case kPidAutoEnter: bit(kEdAutoEnter); return 0;
    case kPidText: case kPidSelText: {
        int32_t r = WebEditTextReplyText(rec, AskEditText(rec, id == kPidSelText ? kSelection : kWhole), id == kPidSelText);
        *text = gTextBuf;
        return r;
    }
    case kPidScrollBar: *result = ScrollBarOf(f); return 0;
    case kPidRightMargin: *result = Margin(rec, e->rightMargin, false); return 0;
    case kPidLeftMargin: *result = Margin(rec, e->leftMargin, false); return 0;
    case kPidModifyFlag: *result = 1; return 0;
    case kPidPasswordChar: {
        char pc[2] = {static_cast<char>(e->passwordChar ? e->passwordChar : (f & kEdPassword) ? '*' : 0), 0};
        TextOut(pc, text);
        return 0;
    }
    case kPidCueText: TextOut(e->cueText, text); return 0;
    default: return kWebNotAvailable;
    }
}

int32_t WebEditTextMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    uint32_t m = call->method;
    int32_t shared = SharedEditMethod(rec, call, kActEdit, kEditCanUndo);
    if (shared != kNotShared) return shared;
    switch (m) {
    case kEditGetLineCount:
        EditGetText(rec, kWhole);
        return WebReplyInt(CountLines(gTextBuf));
    case kEditGetLine: {
        EditGetText(rec, kWhole);
        int32_t line = WebArgInt(call, 0, 0);
        const char* p = gTextBuf;
        for (int32_t i = 1; p && i < line; ++i) {
            p = strchr(p, static_cast<char>(kProgramLineBreak));
            if (p) ++p;
        }
        if (!p || line < 1) return WebReplyText("");
        // The line is copied out of gTextBuf before gTextBuf receives it.
        char* copy = WebTextDup(p, static_cast<uint32_t>(strlen(p)));
        if (!copy) return WebReplyText("");
        WebEditTextFirstLine(copy, WebEditText(rec)->editType);
        GuardedFree(copy);
        return WebReplyText(gTextBuf);
    }
    case kEditGetTextLength: {
        BeginEdit(rec, kActEdit, kDwValue);
        JsonAddInt("typ", 0);
        return WebReplyInt(WebReplyValue(WebViewMsgQuery()));
    }
    case kEditGetUnicode: return ReplyUnicode(rec, call);
    case kEditSetUnicode: {
        if (!WebArgGiven(call, 0)) return WebReplyInt(1);
        const EventItem& a = call->args[0];
        uint32_t n = 0;
        const char* t = WebArgTextRef(call, 0, &n);
        bool mark = false;
        if (t && !IsUtf16Text(t, n, &mark)) {
            n = n > kTextBufSize ? kTextBufSize : n;
            memcpy(gTextBuf, t, n);
            gTextBuf[n] = 0;
        } else if (t) {
            Utf16ArgToUtf8(a);
        } else {
            gTextBuf[0] = 0;
        }
        BeginEdit(rec, kActEdit, kDwSetText);
        JsonAddInt("pos", 0);
        JsonAddStringNoConv("str", gTextBuf);
        WebViewMsgEnd();
        return WebReplyInt(1);
    }
    default:
        if (m >= kEditGetLine + 1 && m <= kEditSizingMode) return WebReplyInt(1);
        return kWebUnknownMethod;
    }
}

// ---- Number edit ----------------------------------------------------------------------------------

bool WebEditNumberFormatText(const char* text, uint32_t length, uint32_t integerDigits, uint32_t decimalDigits,
                             bool allowMinus, bool decimalOption, char decimalChar, char* out, size_t outSize) {
    uint32_t I = integerDigits > kNumberDigitsMax ? kNumberDigitsMax : integerDigits;
    uint32_t D = decimalDigits > kNumberDigitsMax ? kNumberDigitsMax : decimalDigits;
    if (!text || outSize < kNumberTextMax + 1) return false;
    // The input is scanned where it lies; only the kept digits are copied.
    const char* p = text;
    const char* end = text + length;
    while (end > p && end[-1] == kBlank) --end;
    while (p < end && *p == kBlank) ++p;
    bool negative = false;
    if (p < end && *p == '-') {
        negative = allowMinus;
        ++p;
    }
    while (p < end && *p == '0') ++p;
    const char* intStart = p;
    while (p < end && IsDigit(*p)) ++p;
    uint32_t intLen = static_cast<uint32_t>(p - intStart);
    const char* frac = p;
    uint32_t fracLen = 0;
    if (p < end && (*p == '.' || *p == decimalChar)) {
        frac = ++p;
        while (p < end && IsDigit(*p)) ++p;
        fracLen = static_cast<uint32_t>(p - frac);
    }
    if (p != end) return false;
    // A kept '-' takes one of the integer positions; beyond them only the
    // last positions are kept (the sign is the first to go).
    uint64_t positions = static_cast<uint64_t>(intLen) + (negative ? 1 : 0);
    uint32_t keepInt = intLen;
    if (positions > I) {
        keepInt = I;
        negative = false;
    }
    char digits[kNumberDigitsMax * 2 + 2];
    uint32_t n = 0;
    digits[n++] = '0';   // room for a carry out of the integer part
    memcpy(digits + n, intStart + (intLen - keepInt), keepInt);
    n += keepInt;
    uint32_t intEnd = n;
    for (uint32_t i = 0; i < D; ++i) digits[n++] = i < fracLen ? frac[i] : '0';
    if (fracLen > D && frac[D] >= '5') {
        int32_t i = static_cast<int32_t>(n) - 1;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) ++digits[i];
    }
    // Leading zeros go; a positive number keeps one before the separator.
    uint32_t first = 0;
    while (first < intEnd && digits[first] == '0') ++first;
    size_t o = 0;
    bool allZero = first == intEnd;
    for (uint32_t i = intEnd; i < n; ++i) allZero = allZero && digits[i] == '0';
    if (negative && !(allZero && D == 0)) out[o++] = '-';
    if (first == intEnd && I > 0 && !(negative && D > 0)) out[o++] = '0';
    for (uint32_t i = first; i < intEnd; ++i) out[o++] = digits[i];
    if (D > 0) {
        out[o++] = decimalOption && decimalChar ? decimalChar : '.';
        for (uint32_t i = intEnd; i < n; ++i) out[o++] = digits[i];
    }
    out[o] = 0;
    return true;
}

bool WebEditNumberFormat(ObjectRecord* rec, const char* text, uint32_t length) {
    WebEditNumberRecord* num = WebEditNumber(rec);
    char out[kNumberTextMax + 1];
    if (!WebEditNumberFormatText(text, length, num->integerDigits, num->decimalDigits,
                                 (num->editFlags & kEdAllowMinus) != 0, WebEditDecimalOption(), WebEditDecimalChar(),
                                 out, sizeof out))
        return false;
    SendText(rec, kActNumber, kDwSetText, kWhole, out, static_cast<uint32_t>(strlen(out)));
    return true;
}

int32_t WebEditNumberReplyText(const JsonValue* reply) {
    const char* got = reply ? JsonGetText(reply, "str") : nullptr;
    snprintf(gTextBuf, kTextBufSize + 1, "%s", got ? got : "");
    char dec = WebEditDecimalChar();
    if (WebEditDecimalOption() && dec != '.')
        for (char* p = gTextBuf; *p; ++p)
            if (*p == dec) *p = '.';
    return 0;
}

ObjectRecord* WebEditNumberCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t, int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(kKindEditNumber, sizeof(WebEditNumberRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebEditNumberRecord* num = WebEditNumber(rec);
    // The values and defaults go back into the creation record: the markup reads them there.
    auto take = [&](uint32_t pid, int32_t def) {
        int32_t v = CreateRecordValue(cr, pid, def);
        cr->values[pid] = v;
        cr->given[pid] = 1;
        return v;
    };
    int32_t align = CreateRecordValue(cr, kPidUpDownAlign, kUpDownAlignDefault);
    num->upDownAlign = static_cast<uint16_t>(align >= 1 && align <= 3 ? align : kUpDownAlignDefault);
    // Without IntegerDigits every integer position is allowed (0 given means none).
    int32_t digits = take(kPidIntegerDigits, kNumberDigitsMax), decimals = take(kPidDecimalDigits, 0);
    num->integerDigits = digits < 0 ? 0 : digits > static_cast<int32_t>(kNumberDigitsMax) ? kNumberDigitsMax : digits;
    num->decimalDigits = decimals < 0 ? 0 : decimals > static_cast<int32_t>(kNumberDigitsMax) ? kNumberDigitsMax : decimals;
    cr->values[kPidIntegerDigits] = static_cast<int32_t>(num->integerDigits);
    cr->values[kPidDecimalDigits] = static_cast<int32_t>(num->decimalDigits);
    num->step = take(kPidUpDownChange, 1);
    num->max = take(kPidUpDownMax, kUpDownMaxDefault);
    num->min = take(kPidUpDownMin, 0);
    num->ownBgValue = kNoOwnColor;
    uint32_t& f = num->editFlags;
    if (cr->flags1 & kCr1Border) rec->flags |= kObjBorder;
    SetBit(&f, kEdKeepSel, CreateRecordValue(cr, kPidEditHideSel, 1) == 0);
    SetBit(&f, kEdReadOnly, CreateRecordValue(cr, kPidReadOnly, 0) != 0);
    SetAlignment(&f, CreateRecordValue(cr, kPidAlignment, 0));
    SetBit(&f, kEdOverType, CreateRecordValue(cr, kPidOverType, 0) != 0);
    SetBit(&f, kEdSelectAll, CreateRecordValue(cr, kPidSelectAll, 0) != 0);
    SetBit(&f, kEdStatic, CreateRecordValue(cr, kPidStatic, 0) != 0);
    SetBit(&f, kEdClipSib, CreateRecordValue(cr, kPidClipSib, 0) != 0);
    SetBit(&f, kEdAutoEnter, CreateRecordValue(cr, kPidAutoEnter, 0) != 0);
    SetBit(&f, kEdAllowMinus, CreateRecordValue(cr, kPidAllowMinus, 0) != 0);
    SetBit(&f, kEdDpi, CreateRecordValue(cr, kPidDPI, 0) != 0);
    num->rightMargin = static_cast<uint16_t>(Margin(rec, CreateRecordValue(cr, kPidRightMargin, 0), true));
    num->leftMargin = static_cast<uint16_t>(Margin(rec, CreateRecordValue(cr, kPidLeftMargin, 0), true));
    return rec;
}

int32_t WebEditNumberSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                             bool* commonWrite) {
    WebEditNumberRecord* num = WebEditNumber(rec);
    uint32_t& f = num->editFlags;
    *commonWrite = false;
    auto flagKey = [&](uint32_t b, const char* key) {
        SetBit(&f, b, value != 0);
        if (key) SendOption(rec, kActNumber, key, value != 0);
        return 0;
    };
    auto digits = [&](uint32_t* field, const char* key) {
        *field = value < 0 ? 0 : value > static_cast<int32_t>(kNumberDigitsMax) ? kNumberDigitsMax : static_cast<uint32_t>(value);
        SendOption(rec, kActNumber, key, static_cast<int32_t>(*field));
        return 0;
    };
    switch (id) {
    case kPidAlignment: SetAlignment(&f, value); *commonWrite = true; return 0;
    case kPidBorder: SetBit(&rec->flags, kObjBorder, value != 0); return 0;
    case kPidStyle:
        if (value >= 1 && value <= 4) rec->appearance = static_cast<uint8_t>(value);
        return 0;
    case kPidEditHideSel: case kPidModifyFlag: return 0;
    case kPidStatic: return flagKey(kEdStatic, nullptr);
    case kPidReadOnly: return flagKey(kEdReadOnly, nullptr);
    case kPidTabId: rec->tabId = static_cast<uint16_t>(value); *commonWrite = true; return 0;
    case kPidText: return NumberSetText(rec, kWhole, text ? text : "", text ? length : 0);
    case kPidOverType: return flagKey(kEdOverType, "ot");
    case kPidSelectAll: return flagKey(kEdSelectAll, "sa");
    case kPidClipSib: return flagKey(kEdClipSib, nullptr);
    case kPidRightMargin: num->rightMargin = static_cast<uint16_t>(Margin(rec, value, true)); return 0;
    case kPidLeftMargin: num->leftMargin = static_cast<uint16_t>(Margin(rec, value, true)); return 0;
    case kPidIntegerDigits: return digits(&num->integerDigits, "dd");
    case kPidDecimalDigits: return digits(&num->decimalDigits, "fd");
    case kPidUpDownChange: num->step = value; SendOption(rec, kActNumber, "udic", value); return 0;
    case kPidUpDownAlign:
        if (value >= 1 && value <= 3 && value != num->upDownAlign) {
            num->upDownAlign = static_cast<uint16_t>(value);
            SendOption(rec, kActNumber, "updn", value);
        }
        return 0;
    case kPidAutoEnter: return flagKey(kEdAutoEnter, "ae");
    case kPidUpDownMin: num->min = value; SendOption(rec, kActNumber, "udmi", value); return 0;
    case kPidUpDownMax: num->max = value; SendOption(rec, kActNumber, "udmx", value); return 0;
    case kPidAllowMinus: return flagKey(kEdAllowMinus, "am");
    case kPidDPI: return flagKey(kEdDpi, "dpi");
    default:
        *commonWrite = true;
        return kWebNotAvailable;
    }
}

int32_t WebEditNumberGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebEditNumberRecord* num = WebEditNumber(rec);
    uint32_t f = num->editFlags;
    auto bit = [&](uint32_t b) {
        *result = (f & b) ? 1 : 0;
        return 0;
    };
    switch (id) {
    case kPidAlignment: *result = AlignmentOf(f); return 0;
    case kPidEditHideSel: *result = (f & kEdKeepSel) ? 0 : 1; return 0;
    case kPidStatic: return bit(kEdStatic);
    case kPidReadOnly: return bit(kEdReadOnly);
    case kPidOverType: return bit(kEdOverType);
    case kPidSelectAll: return bit(kEdSelectAll);
    case kPidClipSib: return bit(kEdClipSib);
    case kPidAutoEnter: return bit(kEdAutoEnter);
    case kPidAllowMinus: return bit(kEdAllowMinus);
    case kPidDPI: return bit(kEdDpi);
    case kPidText:
        NumberGetText(rec, 0);
        *text = gTextBuf;
        return 0;
    case kPidRightMargin: *result = Margin(rec, num->rightMargin, false); return 0;
    case kPidLeftMargin: *result = Margin(rec, num->leftMargin, false); return 0;
    case kPidModifyFlag: *result = 1; return 0;
    case kPidIntegerDigits: *result = static_cast<int32_t>(num->integerDigits); return 0;
    case kPidDecimalDigits: *result = static_cast<int32_t>(num->decimalDigits); return 0;
    case kPidUpDownChange: *result = num->step; return 0;
    case kPidUpDownAlign: *result = num->upDownAlign; return 0;
    case kPidUpDownMin: *result = num->min; return 0;
    case kPidUpDownMax: *result = num->max; return 0;
    default: return kWebNotAvailable;
    }
}

int32_t WebEditNumberMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    uint32_t m = call->method;
    int32_t shared = SharedEditMethod(rec, call, kActNumber, kNumberCanUndo);
    if (shared != kNotShared) return shared;
    switch (m) {
    case kNumberGetTextLength:
        NumberGetText(rec, 0);
        return WebReplyInt(static_cast<int32_t>(strlen(gTextBuf)));
    default: return kWebUnknownMethod;
    }
}

// ---- Markup and the kinds' rows --------------------------------------------------------------

namespace {

constexpr int32_t kEditWidthFrame = 4;
constexpr int32_t kEditHeightFrame = 2;

void MarkupEditText(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    bool password = HtmlValue(cr, kPidPassword, 0) != 0;
    int32_t lines = HtmlValue(cr, kPidMultiLine, 0);
    bool multi = !password && lines > 0;
    if (password) {
        HtmlPut("<input type=\"password\" ");
    } else if (multi) {
        HtmlPut("<textarea rows=\"");
        HtmlAppendInt(lines);
        HtmlPut("\" ");
    } else if (HtmlGiven(cr, kPidInputType)) {
        HtmlPut("<input type=\"");
        HtmlPut(HtmlInputType(HtmlValue(cr, kPidInputType, 0)));
        HtmlPut("\" ");
    } else {
        HtmlPut("<input type=\"text\" ");
    }
    HtmlObjectStyle(m.kind, kPidMaxChars, cr);
    if (!multi && cr->text.text && cr->text.length) {
        HtmlPut("value=\"");
        HtmlAppendAttr(cr->text.text, cr->text.length);
        HtmlPut("\" ");
    }
    HtmlOpenId(m, false);
    HtmlWriteCommon(m);
    HtmlObjectStyle(m.kind, kPidCueText, cr);
    HtmlPut(">");
    if (multi) {
        HtmlPutN(cr->text.text, cr->text.length);
        HtmlPut("</textarea>");
    }
    char dec = gClientConfig.decimalChar ? gClientConfig.decimalChar : '.';
    char sep = dec == ',' ? '.' : ',';
    JsOpenCall("QovEdit", m.id);
    JsPutMember(", et: ", HtmlValue(cr, kPidEditType, 0));
    JsPutMember(", ld: ", static_cast<unsigned char>(dec));
    JsPutMember(", lt: ", static_cast<unsigned char>(sep));
    JsPutFlag(", ro: 1", HtmlValue(cr, kPidReadOnly, 0) != 0);
    JsPutFlag(", ae: 1", HtmlValue(cr, kPidAutoEnter, 0) != 0);
    JsPutFlag(", ot: 1", HtmlValue(cr, kPidOverType, 0) != 0);
    JsPutFlag(", sa: 1", HtmlValue(cr, kPidSelectAll, 0) != 0);
    JsCloseCall();
}

void MarkupEditTextOp(HtmlMarkup& m) {
    // The element's frame is inside its box.
    m.cr->right -= kEditWidthFrame;
    m.cr->bottom -= kEditHeightFrame;
    m.width -= kEditWidthFrame;
    m.height -= kEditHeightFrame;
    MarkupEditText(m);
}

void MarkupEditNumber(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    HtmlPut("<div ");
    HtmlOpenId(m, true);
    HtmlWriteCommon(m);
    HtmlPut("></div>");
    char dec = gClientConfig.decimalChar ? gClientConfig.decimalChar : '.';
    JsOpenCall("QovEditNum", m.id);
    JsPutMember(", ld: ", static_cast<unsigned char>(dec));
    JsPutFlag(", ro: 1", HtmlValue(cr, kPidReadOnly, 0) != 0);
    JsPutFlag(", ae: 1", HtmlValue(cr, kPidAutoEnter, 0) != 0);
    JsPutFlag(", ot: 1", HtmlValue(cr, kPidOverType, 0) != 0);
    JsPutFlag(", sa: 1", HtmlValue(cr, kPidSelectAll, 0) != 0);
    JsPutFlag(", dpi: 1", HtmlValue(cr, kPidDPI, 0) != 0);
    JsPutFlag(", am: 1", HtmlValue(cr, kPidAllowMinus, 0) != 0);
    char decText[2] = {dec, 0};
    JsPutText(", dc: \"", decText, 1);
    JsPutMember(", fd: ", HtmlValue(cr, kPidDecimalDigits, 0));
    JsPutMember(", dd: ", HtmlValue(cr, kPidIntegerDigits, 0));
    JsPutMember(", updn: ", cr->style == 1 || cr->style == 3 ? 1 : 0);
    JsPutMember(", udmx: ", HtmlValue(cr, kPidUpDownMax, 0));
    JsPutMember(", udmi: ", HtmlValue(cr, kPidUpDownMin, 0));
    JsPutMember(", udic: ", HtmlValue(cr, kPidUpDownChange, 1));
    if (cr->text.text && cr->text.length) JsPutText(", val: \"", cr->text.text, cr->text.length);
    JsCloseCall();
}

// An edit of another type than the plain one keeps its Enter.
bool EditKeepsEnter(const ObjectRecord* rec) {
    return reinterpret_cast<const WebEditTextRecord*>(rec)->editType != kEditTypePlain;
}

const WebKindOps kEditOps = {
    .create = WebEditTextCreate,
    .markup = MarkupEditTextOp,
    .setProp = WebEditTextSetProp,
    .getProp = WebEditTextGetProp,
    .destroy = EditDestroy,
    .method = WebEditTextMethod,
    .getText = EditGetText,
    .getValue = EditGetValue,
    .setText = EditSetText,
    .setValue = EditSetValue,
    .insertItem = EditInsertItem,
    .deleteItem = EditDeleteItem,
    .keepsEnter = EditKeepsEnter,
    .defaultEvent = kEvOldEvent,
    .traits = kWebKindTakesFocus | kWebKindWhiteBackground,
};

const WebKindOps kNumberOps = {
    .create = WebEditNumberCreate,
    .markup = MarkupEditNumber,
    .setProp = WebEditNumberSetProp,
    .getProp = WebEditNumberGetProp,
    .method = WebEditNumberMethod,
    .getText = NumberGetText,
    .setText = NumberSetText,
    .setValue = NumberSetValue,
    .traits = kWebKindTakesFocus | kWebKindWhiteBackground,
};

}  // namespace

void WebEditInstall() {
    WebRegisterKind(kKindEditText, &kEditOps);
    WebRegisterKind(kKindEditNumber, &kNumberOps);
}
