// slider.cpp - the Slider object (kind 28): a trackbar common control with its
// range, page, ticks and selection, its values, properties and user actions.
#include <windows.h>

#include <commctrl.h>

#include "graphics/gfxcommon.h"
#include "objects/objwindowed.h"
#include "objects/window.h"

namespace {

enum SliderValue : int32_t { kSlPosition = 0, kSlMin = 1, kSlMax = 2, kSlShift = 3 };
constexpr int32_t kOrientationHorizontal = 1;
constexpr uint32_t kSliderBgColor = 0x8000000Fu;
// A border makes the control re-measure its frame: it is hidden, its bounds
// are set this much taller and back, and it is shown again.
constexpr int32_t kBorderNudge = 4;

struct SliderRecord {
    ControlRecord c;
    int32_t max;
    int32_t min;
    int32_t shift;
    uint8_t orientation;
    uint8_t tickStyle;
    uint8_t selRange;
    int32_t selStart;
    int32_t selLength;
    int32_t tickFreq;
};

SliderRecord* AsSlider(ObjectRecord* rec) { return reinterpret_cast<SliderRecord*>(rec); }

void SetStyleBits(HWND wnd, DWORD clear, DWORD set) {
    DWORD style = static_cast<DWORD>(GetWindowLongA(wnd, GWL_STYLE));
    SetWindowLongA(wnd, GWL_STYLE, static_cast<LONG>((style & ~clear) | set));
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(wnd, nullptr, TRUE);
}

// The selection is shown only with SelRange; an empty one is cleared.
void ApplySelection(SliderRecord* s) {
    HWND wnd = s->c.hdr.hwnd;
    if (!s->selRange) return;
    if (s->selLength == 0) {
        SendMessageA(wnd, TBM_CLEARSEL, TRUE, 0);
        return;
    }
    SendMessageA(wnd, TBM_SETSELSTART, FALSE, s->selStart);
    SendMessageA(wnd, TBM_SETSELEND, TRUE, static_cast<LPARAM>(static_cast<int64_t>(s->selStart) + s->selLength));
}

void ApplyRange(SliderRecord* s) {
    BOOL redraw = (s->c.hdr.flags & kObjShown) ? TRUE : FALSE;
    SendMessageA(s->c.hdr.hwnd, TBM_SETRANGEMIN, FALSE, s->min);
    SendMessageA(s->c.hdr.hwnd, TBM_SETRANGEMAX, redraw, s->max);
}

int32_t SliderGetValue(ObjectRecord* rec, int32_t which, int32_t* value) {
    SliderRecord* s = AsSlider(rec);
    switch (which) {
    case kSlPosition: *value = static_cast<int32_t>(SendMessageA(rec->hwnd, TBM_GETPOS, 0, 0)); break;
    case kSlMin: *value = s->min; break;
    case kSlMax: *value = s->max; break;
    case kSlShift: *value = s->shift; break;
    default: *value = 0; break;
    }
    return 0;
}

int32_t SliderSetValue(ObjectRecord* rec, int32_t which, int32_t value) {
    SliderRecord* s = AsSlider(rec);
    switch (which) {
    case kSlPosition: SendMessageA(rec->hwnd, TBM_SETPOS, TRUE, value); break;
    case kSlMin: s->min = value; ApplyRange(s); break;
    case kSlMax: s->max = value; ApplyRange(s); break;
    case kSlShift:
        s->shift = value;
        SendMessageA(rec->hwnd, TBM_SETPAGESIZE, 0, value);
        break;
    default: break;
    }
    return 0;
}

void SetBorder(ObjectRecord* rec, bool on) {
    bool has = (rec->flags & kObjBorder) != 0;
    if (on == has) return;
    if (on) rec->flags |= kObjBorder;
    else rec->flags &= ~kObjBorder;
    bool shown = (rec->flags & kObjShown) != 0;
    if (shown) ObjectDeactivate(rec);
    SetStyleBits(rec->hwnd, on ? 0 : WS_BORDER, on ? WS_BORDER : 0);
    RECT r = {rec->left, rec->top, rec->right, rec->bottom + kBorderNudge};
    ObjectSetBounds(rec, &r);
    r.bottom -= kBorderNudge;
    ObjectSetBounds(rec, &r);
    if (shown) ObjectActivate(rec, 0, 0, 0, 0);
}

uint32_t SliderGetProp(ObjectRecord* rec, uint32_t id) {
    SliderRecord* s = AsSlider(rec);
    int32_t v = 0;
    switch (id) {
    case kPidValue: SliderGetValue(rec, kSlPosition, &v); return static_cast<uint32_t>(v);
    case kPidMin: return static_cast<uint32_t>(s->min);
    case kPidMax: return static_cast<uint32_t>(s->max);
    case kPidShift: return static_cast<uint32_t>(s->shift);
    case kPidOrientation: return s->orientation;
    case kPidTickStyle: return s->tickStyle;
    case kPidTickFreq: return static_cast<uint32_t>(s->tickFreq);
    case kPidSelRange: return s->selRange;
    case kPidSelStart: return static_cast<uint32_t>(s->selStart);
    case kPidSelLength: return static_cast<uint32_t>(s->selLength);
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t SliderSetProp(ObjectRecord* rec, PropChange* req) {
    SliderRecord* s = AsSlider(rec);
    int32_t v = req->value;
    switch (req->id) {
    case kPidValue: return SliderSetValue(rec, kSlPosition, v);
    case kPidMin: return SliderSetValue(rec, kSlMin, v);
    case kPidMax: return SliderSetValue(rec, kSlMax, v);
    case kPidShift: return SliderSetValue(rec, kSlShift, v);
    case kPidBorder: SetBorder(rec, v != 0); return 0;
    case kPidOrientation:
        if (v == s->orientation) return 0;
        s->orientation = static_cast<uint8_t>(v);
        // With ticks on the top/left side the side bit stays as it is.
        SetStyleBits(rec->hwnd, v == kOrientationHorizontal ? TBS_VERT : 0, v == kOrientationHorizontal ? 0 : TBS_VERT);
        return 0;
    case kPidTickStyle:
        if (v == s->tickStyle) return 0;
        SetStyleBits(rec->hwnd, SliderTickBits(s->tickStyle), SliderTickBits(v));
        s->tickStyle = static_cast<uint8_t>(v);
        return 0;
    case kPidTickFreq:
        s->tickFreq = v;
        SendMessageA(rec->hwnd, TBM_SETTICFREQ, static_cast<WPARAM>(v), 0);
        return 0;
    case kPidSelRange:
        s->selRange = v ? 1 : 0;
        SetStyleBits(rec->hwnd, v ? 0 : TBS_ENABLESELRANGE, v ? TBS_ENABLESELRANGE : 0);
        ApplySelection(s);
        return 0;
    case kPidSelStart:
        s->selStart = v;
        ApplySelection(s);
        return 0;
    case kPidSelLength:
        s->selLength = v;
        ApplySelection(s);
        return 0;
    default:
        return CtlSetCommonProp(rec, req);
    }
}

const ObjectOps kSliderOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .destroy = CtlDestroy,
    .enable = ObjectEnableWindowed,
    .getValue = SliderGetValue,
    .setValue = SliderSetValue,
    .getProp = SliderGetProp,
    .setProp = SliderSetProp,
};

}  // namespace

ObjectRecord* SliderCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    int32_t orientation = CreateRecordValue(cr, kPidOrientation, kOrientationHorizontal);
    int32_t tickStyle = CreateRecordValue(cr, kPidTickStyle, 0);
    bool selRange = CreateRecordValue(cr, kPidSelRange, 0) == 1;
    DWORD style = WS_TABSTOP | SliderTickBits(tickStyle);
    if (orientation != kOrientationHorizontal) style |= TBS_VERT;
    if (selRange) style |= TBS_ENABLESELRANGE;
    ControlRecord* c = CtlCreateWindowed(kKindSlider, cr, TRACKBAR_CLASSA, style, 0, nullptr, 0, code,
                                         sizeof(SliderRecord));
    if (!c) return nullptr;
    ObjectRecord* rec = &c->hdr;
    SliderRecord* s = AsSlider(rec);
    rec->flags |= kGfxContainerFlag;
    rec->fgColor = 0;
    rec->bgColor = kSliderBgColor;
    s->min = CreateRecordValue(cr, kPidMin, 0);
    s->max = CreateRecordValue(cr, kPidMax, 0);
    s->shift = CreateRecordValue(cr, kPidShift, 0);
    s->orientation = static_cast<uint8_t>(orientation);
    s->tickStyle = static_cast<uint8_t>(tickStyle);
    s->tickFreq = CreateRecordValue(cr, kPidTickFreq, 0);
    s->selRange = selRange ? 1 : 0;
    s->selStart = CreateRecordValue(cr, kPidSelStart, 0);
    s->selLength = CreateRecordValue(cr, kPidSelLength, 0);
    SendMessageA(rec->hwnd, TBM_SETPAGESIZE, 0, s->shift);
    SendMessageA(rec->hwnd, TBM_SETTICFREQ, static_cast<WPARAM>(s->tickFreq), 0);
    SendMessageA(rec->hwnd, TBM_SETRANGEMIN, FALSE, s->min);
    SendMessageA(rec->hwnd, TBM_SETRANGEMAX, FALSE, s->max);
    SendMessageA(rec->hwnd, TBM_SETPOS, TRUE, s->min);
    ApplySelection(s);
    if (!(gGuiModeFlags & kGuiModeKeepFlagged)) UpdateObjectRect(rec);
    return CtlFinishCreate(c, cr, code);
}

int32_t SliderOnScroll(ObjectRecord* slider, HWND wnd, int32_t thumb, int32_t code) {
    if (!slider || slider->kind != kKindSlider) return 0;
    int32_t value = code == TB_THUMBPOSITION ? thumb : static_cast<int32_t>(SendMessageA(wnd, TBM_GETPOS, 0, 0));
    ScrollAction a = SliderAction(code, value);
    if (!a.reports) return 0;
    GfxPostAction(slider, a);
    return 1;
}

void SliderInstall() {
    RegisterObjectCreator(kTypeSlider, SliderCreate);
    RegisterObjectOps(kKindSlider, &kSliderOps);
    RegisterKindScroll(kKindSlider, SliderOnScroll, false);
}
