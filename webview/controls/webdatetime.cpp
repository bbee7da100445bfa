// webdatetime.cpp - the date-time edit (kind 45) in the web view. Its page
// traffic is action 27: "dwid" 1 and 2 set the minimum and maximum ("dt"), 3
// asks a date ("vid" 1 minimum, 2 maximum, 3 the value), 4 sets the value, 5
// the format. Dates cross as "YYYYMMDD" (with "HHMMSS" after it for a date
// and time), the text the native picker answers; the page shows them its way.
#include "webview/controls/webdatetime.h"

#include <cstdio>
#include <cstring>

#include "objects/kindcodes.h"
#include "session/util/mem.h"
#include "webview/controls/webedit.h"
#include "webview/controls/webctlcommon.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"
#include "webview/core/webmarkup.h"

uint8_t gWebUtcOption;

namespace {

enum DateDwid : int32_t { kDwMinimum = 1, kDwMaximum = 2, kDwAsk = 3, kDwSetValue = 4, kDwFormat = 5 };
enum DateVid : int32_t { kVidMinimum = 1, kVidMaximum = 2, kVidValue = 3 };
enum DateFormat : uint8_t { kFmtLong = 1, kFmtShort = 2, kFmtTime = 3, kFmtCustom = 4 };
// Default colours: system colours button text, window, active caption, caption text, grey text.
const uint32_t kDefaultColorIndex[kDateColorCount] = {18, 5, 2, 9, 17};
constexpr uint32_t kSysColorIndexLimit = 21;
constexpr uint32_t kRgbLimit = 0x1000000;
constexpr uint32_t kCustomFormatMax = 255;
constexpr uint32_t kPageFormatMax = 40961;
constexpr uint32_t kDateLength = 8;
constexpr char kNoDate[] = "00000000";

void Begin(ObjectRecord* rec, int32_t dwid) {
    WebViewSelectForObject(rec);
    JsonBeginAction(kActDateTime);
    JsonAddName(rec);
    JsonAddInt("dwid", dwid);
}

// Action 27 "dwid" 5: the picker's format, a custom picture with format 4.
void SendFormat(ObjectRecord* rec, int32_t format, const char* custom) {
    Begin(rec, kDwFormat);
    JsonAddInt("fmt", format);
    if (custom) {
        char* picture = static_cast<char*>(GuardedAlloc(kPageFormatMax));
        if (picture) {
            WebDateFormat(custom, strlen(custom), picture, kPageFormatMax);
            JsonAddStringZ("format", picture);
            GuardedFree(picture);
        }
    }
    WebViewMsgQuery();
}

// A date of the page ("vid" 1, 2 or 3) as its "str".
const char* AskDate(ObjectRecord* rec, int32_t vid) {
    Begin(rec, kDwAsk);
    JsonAddInt("vid", vid);
    const JsonValue* reply = WebViewMsgQuery();
    const char* s = reply ? JsonGetText(reply, "str") : nullptr;
    return s ? s : "";
}

void SetLimit(ObjectRecord* rec, int32_t dwid, const char* text, uint32_t length) {
    WebEditDateTimeRecord* d = WebDateTime(rec);
    if (text && length) {
        Begin(rec, dwid);
        JsonAddString("dt", text, length);
        WebViewMsgQuery();
    }
    d->minDate[0] = d->maxDate[0] = 0;
}

const char* CachedLimit(ObjectRecord* rec, char* cache, int32_t vid) {
    if (!cache[0]) {
        const char* s = AskDate(rec, vid);
        if (!*s) s = kNoDate;
        snprintf(cache, kDateLength + 1, "%.8s", s);
    }
    return cache;
}

bool KeepColor(uint32_t value, uint32_t* out) {
    if (value < kRgbLimit) {
        *out = value;
        return true;
    }
    if ((value & ~kSysColorBit) < kSysColorIndexLimit) {
        *out = kSysColorBit + (value & ~kSysColorBit);
        return true;
    }
    return false;
}

int32_t DateGetText(ObjectRecord* rec, int32_t) {
    snprintf(gTextBuf, kTextBufSize + 1, "%s", AskDate(rec, kVidValue));
    return 0;
}

int32_t DateSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    if (item != 0 && item != 1) return 0;
    Begin(rec, kDwSetValue);
    if (text && length) JsonAddString("dt", text, length);
    WebViewMsgQuery();
    return 0;
}

void DateDestroy(ObjectRecord* rec) {
    GuardedFree(WebDateTime(rec)->customFormat);
    WebDateTime(rec)->customFormat = nullptr;
}

int32_t FormatOf(const ObjectRecord* rec) {
    return rec && rec->kind == kKindEditDateTime ? reinterpret_cast<const WebEditDateTimeRecord*>(rec)->format : 0;
}


}  // namespace

ObjectRecord* WebEditDateTimeCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t,
                                    int32_t* code) {
    bool allocated = !rec;
    if (!rec) rec = ObjectAllocRecord(kKindEditDateTime, sizeof(WebEditDateTimeRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebEditDateTimeRecord* d = WebDateTime(rec);
    if (CreateRecordValue(cr, kPidAutoEnter, 0)) d->flags |= kDtAutoEnter;
    if (CreateRecordValue(cr, kPidAutoForward, 0)) d->flags |= kDtAutoForward;
    if (gWebUtcOption) d->flags |= gWebUtcOption >= 2 ? (kDtUtc | kDtUtc2) : kDtUtc;
    d->showCheckBox = CreateRecordValue(cr, kPidShowCheckBox, 0) ? 1 : 0;
    d->showUpDown = CreateRecordValue(cr, kPidShowUpDown, 0) ? 1 : 0;
    d->dropDownAlign = CreateRecordValue(cr, kPidDropDownAlign, 1) == 2 ? 2 : 1;
    d->checked = CreateRecordValue(cr, kPidChecked, 0) ? 1 : 0;
    int32_t format = CreateRecordValue(cr, kPidFormat, kFmtLong);
    d->format = static_cast<uint8_t>(format >= kFmtShort && format <= kFmtCustom ? format : kFmtLong);
    d->customActive = d->format == kFmtCustom;
    for (uint32_t i = 0; i < kDateColorCount; ++i) {
        uint32_t v = kSysColorBit + kDefaultColorIndex[i];
        if (cr->given[kPidCalFgColor + i]) KeepColor(static_cast<uint32_t>(cr->values[kPidCalFgColor + i]), &v);
        d->colors[i] = v;
    }
    CrText custom = CreateRecordText(cr, kPidCustomFormat);
    if (custom.text && custom.length &&
        !WebTextReplace(&d->customFormat, custom.text, custom.length > kCustomFormatMax ? kCustomFormatMax : custom.length)) {
        return WebCreateRefused(rec, allocated, DateDestroy, code);
    }
    return rec;
}

int32_t WebEditDateTimeSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                               bool* commonWrite) {
    WebEditDateTimeRecord* d = WebDateTime(rec);
    *commonWrite = false;
    if (id >= kPidCalFgColor && id <= kPidTrailingColor) {
        KeepColor(static_cast<uint32_t>(value), &d->colors[id - kPidCalFgColor]);
        return 0;
    }
    switch (id) {
    case kPidText: return DateSetText(rec, 0, text, text ? length : 0);
    case kPidAutoEnter: d->flags = value ? (d->flags | kDtAutoEnter) : (d->flags & ~kDtAutoEnter); return 0;
    case kPidChecked: d->checked = value ? 1 : 0; return 0;
    case kPidCustomFormat:
        if (!text || !length) {
            WebTextReplace(&d->customFormat, nullptr, 0);
            return 0;
        }
        if (!WebTextReplace(&d->customFormat, text, length > kCustomFormatMax ? kCustomFormatMax : length))
            return kWebNoMemory;
        if (d->customActive) SendFormat(rec, kFmtCustom, d->customFormat);
        return 0;
    case kPidDropDownAlign: d->dropDownAlign = value == 2 ? 2 : 1; return 0;
    case kPidFormat:
        if (value < kFmtLong || value > kFmtCustom) return 0;
        d->format = static_cast<uint8_t>(value);
        d->customActive = value == kFmtCustom;
        if (value == kFmtLong || value == kFmtShort) SendFormat(rec, value, nullptr);
        else if (value == kFmtCustom) SendFormat(rec, kFmtCustom, d->customFormat);
        return 0;
    case kPidMaximumDate: SetLimit(rec, kDwMaximum, text, text ? length : 0); return 0;
    case kPidMinimumDate: SetLimit(rec, kDwMinimum, text, text ? length : 0); return 0;
    case kPidShowCheckBox: d->showCheckBox = value ? 1 : 0; return 0;
    case kPidShowUpDown: d->showUpDown = value ? 1 : 0; return 0;
    case kPidAutoForward:
        if (value) {
            d->flags |= kDtAutoForward;
        } else {
            d->flags &= ~kDtAutoForward;
            d->forwardPending = 0;
        }
        return 0;
    default:
        *commonWrite = true;
        return kWebNotAvailable;
    }
}

int32_t WebEditDateTimeGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebEditDateTimeRecord* d = WebDateTime(rec);
    auto textOut = [&](const char* t) {
        snprintf(gTextBuf, kTextBufSize + 1, "%s", t ? t : "");
        *text = gTextBuf;
        return 0;
    };
    if (id >= kPidCalFgColor && id <= kPidTrailingColor) {
        *result = static_cast<int32_t>(d->colors[id - kPidCalFgColor]);
        return 0;
    }
    switch (id) {
    case kPidText: DateGetText(rec, 0); *text = gTextBuf; return 0;
    case kPidAutoEnter: *result = (d->flags & kDtAutoEnter) ? 1 : 0; return 0;
    case kPidChecked: *result = d->showCheckBox ? d->checked : 1; return 0;
    case kPidCustomFormat: return textOut(d->customFormat);
    case kPidDropDownAlign: *result = d->dropDownAlign; return 0;
    case kPidFormat: *result = d->format; return 0;
    case kPidShowCheckBox: *result = d->showCheckBox; return 0;
    case kPidShowUpDown: *result = d->showUpDown; return 0;
    case kPidMaximumDate: return textOut(CachedLimit(rec, d->maxDate, kVidMaximum));
    case kPidMinimumDate: return textOut(CachedLimit(rec, d->minDate, kVidMinimum));
    case kPidAutoForward: *result = (d->flags & kDtAutoForward) ? 1 : 0; return 0;
    default: return kWebNotAvailable;
    }
}

int32_t WebEditDateTimeMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    WebEditDateTimeRecord* d = WebDateTime(rec);
    switch (call->method) {
    case kDateUtcMode:
        if (WebArgGiven(call, 0)) {
            int32_t v = WebArgInt(call, 0, 0);
            d->flags &= ~(kDtUtc | kDtUtc2);
            if (v == 1) d->flags |= kDtUtc;
            else if (v >= 2) d->flags |= kDtUtc | kDtUtc2;
        }
        return WebReplyInt((d->flags & kDtUtc2) ? 2 : (d->flags & kDtUtc) ? 1 : 0);
    case kDateAutoForward: {
        int32_t v = WebArgInt(call, 0, -1);
        if (v == 0) d->flags &= ~kDtAutoForward;
        else if (v == 1) d->flags |= kDtAutoForward;
        return 0;
    }
    default: return kWebUnknownMethod;
    }
}

// ---- Markup and the kind's row ----------------------------------------------------------------

namespace {

constexpr int32_t kDateWidthCut = 35;               // a text date edit loses the picker's width
constexpr int32_t kDateWidthCutFrom = 40;
constexpr uint32_t kCrFormModal = 0x80000000u;
constexpr uint32_t kCrFormDialog = 0x40000000u;

void MarkupDateTime(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    int32_t format = HtmlValue(cr, kPidFormat, 0);
    bool wrapper = format == kDateFormatWrapper;
    if (wrapper) {
        HtmlPut("<div ");
        HtmlOpenId(m, true);
    } else {
        HtmlPut("<input type=\"text\" ");
        HtmlOpenId(m, false);
    }
    HtmlWriteCommon(m);
    HtmlPut(wrapper ? "></div>" : ">");
    JsOpenCall("QovEditDate", m.id);
    JsPut(", cmd: 1");
    JsPutMember(", fmt: ", format);
    CrText custom = HtmlCrText(cr, kPidCustomFormat);
    if (format == kFmtCustom && custom.text && custom.length) {
        char picture[256];
        WebDateFormat(custom.text, custom.length, picture, sizeof picture);
        JsPutText(", format: \"", picture, static_cast<uint32_t>(strlen(picture)));
    }
    CrText minDate = HtmlCrText(cr, kPidMinimumDate), maxDate = HtmlCrText(cr, kPidMaximumDate);
    if (minDate.text && minDate.length) JsPutText(", minDate: \"", minDate.text, minDate.length);
    if (maxDate.text && maxDate.length) JsPutText(", maxDate: \"", maxDate.text, maxDate.length);
    if (cr->flags0 & kCrFormModal) JsPut(", formType: 1");
    else if (cr->flags0 & kCrFormDialog) JsPut(", formType: 2");
    JsCloseCall();
}

void MarkupDateTimeOp(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    if (HtmlValue(cr, kPidFormat, 0) != kDateFormatWrapper && m.width > kDateWidthCutFrom) {
        cr->right -= kDateWidthCut;
        m.width -= kDateWidthCut;
    }
    MarkupDateTime(m);
}

const WebKindOps kDateOps = {
    .create = WebEditDateTimeCreate,
    .markup = MarkupDateTimeOp,
    .setProp = WebEditDateTimeSetProp,
    .getProp = WebEditDateTimeGetProp,
    .destroy = DateDestroy,
    .method = WebEditDateTimeMethod,
    .getText = DateGetText,
    .setText = DateSetText,
    .traits = kWebKindTakesFocus | kWebKindWhiteBackground,
};

}  // namespace

void WebEditDateTimeInstall() {
    WebRegisterKind(kKindEditDateTime, &kDateOps);
    gWebHooks.dateTimeFormat = FormatOf;
}
