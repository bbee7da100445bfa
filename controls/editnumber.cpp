// editnumber.cpp - the native EditNumber object (kind 44): a right-aligned edit
// with an up-down control that steps its value within the limits.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "controls/edittext.h"
#include "objects/focus.h"
#include "objects/objwindowed.h"
#include "objects/window.h"

namespace {


int32_t NumberValue(ObjectRecord* rec) {
    char text[32] = {};
    GetWindowTextA(rec->hwnd, text, sizeof text);
    return static_cast<int32_t>(strtol(text, nullptr, 10));
}

int32_t NumberSet(ControlRecord* c, int32_t v) {
    if (c->numMin < c->numMax) {
        if (v < c->numMin) v = c->numMin;
        if (v > c->numMax) v = c->numMax;
    }
    char text[16];
    int n = snprintf(text, sizeof text, "%d", v);
    return EditSetText(&c->hdr, 0, text, static_cast<uint32_t>(n));
}

int32_t NumberGetValue(ObjectRecord* rec, int32_t, int32_t* value) {
    *value = NumberValue(rec);
    return 0;
}

int32_t NumberSetValue(ObjectRecord* rec, int32_t, int32_t v) {
    return NumberSet(reinterpret_cast<ControlRecord*>(rec), v);
}

int32_t NumberNotify(ObjectRecord* rec, HWND wnd, uint32_t id, uint32_t code) {
    // The up-down control carries the record too: its step arrives as UDN_DELTAPOS.
    if (code == static_cast<uint32_t>(UDN_DELTAPOS) && gCurNotify) {
        auto* ud = reinterpret_cast<const NMUPDOWN*>(gCurNotify);
        EditNumberOnScroll(rec, wnd, ud->iDelta > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
        return 1;   // the position is ours, not the up-down's
    }
    return EditNotify(rec, wnd, id, code);
}

uint32_t NumberGetProp(ObjectRecord* rec, uint32_t id) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (id) {
    case kPidValue: return static_cast<uint32_t>(NumberValue(rec));
    case kPidUpDownChange: return static_cast<uint32_t>(c->numStep);
    case kPidUpDownMin: return static_cast<uint32_t>(c->numMin);
    case kPidUpDownMax: return static_cast<uint32_t>(c->numMax);
    default: return EditGetProp(rec, id);
    }
}

int32_t NumberSetProp(ObjectRecord* rec, PropChange* req) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (req->id) {
    case kPidValue: return NumberSet(c, req->value);
    case kPidUpDownChange: c->numStep = req->value > 0 ? req->value : 1; return 0;
    case kPidUpDownMin: c->numMin = req->value; return 0;
    case kPidUpDownMax: c->numMax = req->value; return 0;
    default: return EditSetProp(rec, req);
    }
}

int32_t NumberShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t cc, int32_t d) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    int32_t r = ObjectShowWindowed(rec, a, b, cc, d);
    if (c->buddy) ShowWindow(c->buddy, SW_SHOWNA);
    return r;
}

int32_t NumberHide(ObjectRecord* rec) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    if (c->buddy) ShowWindow(c->buddy, SW_HIDE);
    return ObjectHideWindowed(rec);
}

const ObjectOps kNumberOps = {
    .show = NumberShow,
    .hide = NumberHide,
    .deleteItem = EditDeleteItem,
    .destroy = CtlDestroy,
    .enable = ObjectEnableWindowed,
    .getText = EditGetText,
    .getValue = NumberGetValue,
    .setText = EditSetText,
    .setValue = NumberSetValue,
    .paint = EditPaint,
    .notify = NumberNotify,
    .getProp = NumberGetProp,
    .setProp = NumberSetProp,
};

}  // namespace

int32_t EditNumberOnScroll(ObjectRecord* rec, HWND, int32_t code, int32_t) {
    if (!rec || rec->kind != kKindEditNumber) return 0;
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    if (code != SB_LINEUP && code != SB_LINEDOWN) return 0;
    int32_t step = c->numStep > 0 ? c->numStep : 1;
    NumberSet(c, NumberValue(rec) + (code == SB_LINEUP ? step : -step));
    CtlPostEvent(rec, kEvChange, NumberValue(rec));
    return 1;
}

ObjectRecord* EditNumberCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ControlRecord* c = CtlCreateWindowed(kKindEditNumber, cr, "EDIT", WS_TABSTOP | ES_RIGHT | ES_AUTOHSCROLL, 0,
                                         nullptr, 0, code);
    if (!c) return nullptr;
    ObjectRecord* rec = &c->hdr;
    EditApplyCreation(c, cr);
    c->numStep = CreateRecordValue(cr, kPidUpDownChange, 1);
    c->numMin = CreateRecordValue(cr, kPidUpDownMin, 0);
    c->numMax = CreateRecordValue(cr, kPidUpDownMax, 0);
    c->buddy = CreateWindowExA(0, UPDOWN_CLASSA, nullptr, WS_CHILD | UDS_ALIGNRIGHT | UDS_ARROWKEYS, 0, 0, 0, 0,
                               GetParent(rec->hwnd), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (c->buddy) {
        SendMessageA(c->buddy, UDM_SETBUDDY, reinterpret_cast<WPARAM>(rec->hwnd), 0);
        SetWindowLongPtrA(c->buddy, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(rec));
    }
    const CrText& t = cr->text.text ? cr->text : cr->title;
    if ((t.text ? EditSetText(rec, 0, t.text, t.length)
                : NumberSet(c, cr->given[kPidValue] ? cr->values[kPidValue] : 0)) != 0) {
        ObjectDestroy(rec);
        *code = kOpNoMemory;
        return nullptr;
    }
    return CtlFinishCreate(c, cr, code);
}

void EditNumberInstall() {
    RegisterObjectCreator(kTypeEditNumber, EditNumberCreate);
    RegisterObjectOps(kKindEditNumber, &kNumberOps);
    // Its up-down arrows report through the container's WM_VSCROLL too.
    RegisterKindScroll(kKindEditNumber, EditNumberOnScroll, true);
}
