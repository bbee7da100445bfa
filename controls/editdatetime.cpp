// editdatetime.cpp - the native EditDateTime object (kind 45): a date and time
// picker whose text is "YYYYMMDD" (with "HHMMSS" after it for the time format).
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "controls/ctlcommon.h"
#include "objects/objwindowed.h"

namespace {

constexpr uint8_t kFormatTime = 3, kFormatCustom = 4;

bool HasTime(const ControlRecord* c) { return c->dateFormat == kFormatTime; }

int32_t DateGetText(ObjectRecord* rec, int32_t) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    SYSTEMTIME st = {};
    gTextBuf[0] = 0;
    if (SendMessageA(rec->hwnd, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID) return 0;
    int n = HasTime(c) ? snprintf(gTextBuf, 32, "%04u%02u%02u%02u%02u%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                                  st.wMinute, st.wSecond)
                       : snprintf(gTextBuf, 32, "%04u%02u%02u", st.wYear, st.wMonth, st.wDay);
    return n;
}

// "YYYYMMDD" optionally followed by "HHMMSS"; an empty text clears a picker
// that shows a check box. -5 for a text that is not a date.
int32_t DateSetText(ObjectRecord* rec, int32_t, const char* text, uint32_t len) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    if (len == 0) {
        SendMessageA(rec->hwnd, DTM_SETSYSTEMTIME, GDT_NONE, 0);
        return 0;
    }
    unsigned v[6] = {0, 0, 0, 0, 0, 0};
    static const uint8_t kWidths[6] = {4, 2, 2, 2, 2, 2};
    uint32_t at = 0;
    for (int f = 0; f < 6 && at < len; ++f) {
        for (int k = 0; k < kWidths[f]; ++k, ++at) {
            if (at >= len || text[at] < '0' || text[at] > '9') return kOpNotAvailable;
            v[f] = v[f] * 10 + static_cast<unsigned>(text[at] - '0');
        }
    }
    if (at < 8 || v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 23 || v[4] > 59 || v[5] > 59)
        return kOpNotAvailable;
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(v[0]), st.wMonth = static_cast<WORD>(v[1]), st.wDay = static_cast<WORD>(v[2]);
    st.wHour = static_cast<WORD>(v[3]), st.wMinute = static_cast<WORD>(v[4]), st.wSecond = static_cast<WORD>(v[5]);
    c->ctlFlags |= kCtlNoEvents;
    BOOL ok = static_cast<BOOL>(SendMessageA(rec->hwnd, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st)));
    c->ctlFlags &= ~kCtlNoEvents;
    return ok ? 0 : kOpNotAvailable;
}

int32_t DateNotify(ObjectRecord* rec, HWND, uint32_t, uint32_t code) {
    if (code == static_cast<uint32_t>(DTN_DATETIMECHANGE)) CtlPostEvent(rec, kEvChange, 0);
    return 0;
}

uint32_t DateGetProp(ObjectRecord* rec, uint32_t id) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (id) {
    case kPidText: DateGetText(rec, 0); return 0;
    case kPidFormat: return c->dateFormat;
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t DateSetProp(ObjectRecord* rec, PropChange* req) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (req->id) {
    case kPidText: return DateSetText(rec, 0, req->text, req->textLength);
    case kPidFormat:
        if (req->value >= 1 && req->value <= kFormatCustom) c->dateFormat = static_cast<uint8_t>(req->value);
        return 0;
    case kPidCustomFormat: {
        char* fmt = CtlCopyText(req->text, req->textLength);
        if (!fmt) return kOpNoMemory;
        SendMessageA(rec->hwnd, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>(req->textLength ? fmt : nullptr));
        LocalFreeMem(fmt);
        return 0;
    }
    default: return CtlSetCommonProp(rec, req);
    }
}

const ObjectOps kDateOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .destroy = CtlDestroy,
    .enable = ObjectEnableWindowed,
    .getText = DateGetText,
    .setText = DateSetText,
    .notify = DateNotify,
    .getProp = DateGetProp,
    .setProp = DateSetProp,
};

}  // namespace

ObjectRecord* EditDateTimeCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    int32_t format = CreateRecordValue(cr, kPidFormat, 1);
    if (format < 1 || format > kFormatCustom) format = 1;
    DWORD style = WS_TABSTOP | (format == 2 ? DTS_LONGDATEFORMAT : format == kFormatTime ? DTS_TIMEFORMAT : DTS_SHORTDATEFORMAT);
    if (CreateRecordValue(cr, kPidShowCheckBox, 0)) style |= DTS_SHOWNONE;
    if (CreateRecordValue(cr, kPidShowUpDown, 0) || format == kFormatTime) style |= DTS_UPDOWN;
    ControlRecord* c = CtlCreateWindowed(kKindEditDateTime, cr, DATETIMEPICK_CLASSA, style, 0, nullptr, 0, code);
    if (!c) return nullptr;
    c->dateFormat = static_cast<uint8_t>(format);
    CrText custom = CreateRecordText(cr, kPidCustomFormat);
    if (custom.text && format == kFormatCustom) {
        PropChange req = {};
        req.id = kPidCustomFormat;
        req.text = custom.text;
        req.textLength = custom.length;
        DateSetProp(&c->hdr, &req);
    }
    const CrText& t = cr->text.text ? cr->text : cr->title;
    if (t.text) DateSetText(&c->hdr, 0, t.text, t.length);
    return CtlFinishCreate(c, cr, code);
}

void EditDateTimeInstall() {
    RegisterObjectCreator(kTypeEditDateTime, EditDateTimeCreate);
    RegisterObjectOps(kKindEditDateTime, &kDateOps);
}
