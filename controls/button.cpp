// button.cpp - the native Button, CheckBox and Radio objects (kinds 1, 2, 13):
// creation, caption and check state, default and cancel buttons, radio groups,
// and the button notification that posts $CLICK and $DBLCLICK.
#include <windows.h>

#include <commctrl.h>

#include <initializer_list>

#include "controls/ctlcommon.h"
#include "objects/focus.h"
#include "objects/objwindowed.h"
#include "objects/window.h"

ObjectRecord* gButtonNotifyMark;

namespace {


bool IsCheckKind(const ObjectRecord* rec) { return rec->kind == kKindCheckBox || rec->kind == kKindRadio; }

// A radio button that gets checked unchecks the others of its group (same
// non-zero group number, same parent).
void RadioUncheckGroup(ControlRecord* c) {
    if (c->hdr.kind != kKindRadio || !c->hdr.parent) return;
    for (ObjectRecord* o = c->hdr.parent->children; o; o = o->next) {
        if (o == &c->hdr || o->kind != kKindRadio || !o->hwnd) continue;
        if (reinterpret_cast<ControlRecord*>(o)->groupId == c->groupId)
            SendMessageA(o->hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void SetCancel(ControlRecord* c, bool on) {
    NativeWindowRecord* w = NativeWindowOf(ObjectTopWindow(&c->hdr));
    if (on) c->ctlFlags |= kCtlCancel;
    else c->ctlFlags &= ~kCtlCancel;
    if (!w) return;
    if (on) {
        if (w->cancelButton && w->cancelButton != &c->hdr)
            reinterpret_cast<ControlRecord*>(w->cancelButton)->ctlFlags &= ~kCtlCancel;
        w->cancelButton = &c->hdr;
    } else if (w->cancelButton == &c->hdr) {
        w->cancelButton = nullptr;
    }
}

void SetDefault(ControlRecord* c, bool on) {
    ObjectRecord* top = ObjectTopWindow(&c->hdr);
    WindowRecord* w = top ? ObjectAsWindow(top) : nullptr;
    if (on && w && w->defaultButton && w->defaultButton != &c->hdr)
        reinterpret_cast<ControlRecord*>(w->defaultButton)->ctlFlags &= ~kCtlDefault;
    if (on) c->ctlFlags |= kCtlDefault;
    else c->ctlFlags &= ~kCtlDefault;
    ButtonSetDefault(top, &c->hdr, on);
}

int32_t ButtonGetValue(ObjectRecord* rec, int32_t, int32_t* value) {
    *value = IsCheckKind(rec) ? static_cast<int32_t>(SendMessageA(rec->hwnd, BM_GETCHECK, 0, 0)) : 0;
    return 0;
}

int32_t ButtonSetValue(ObjectRecord* rec, int32_t, int32_t value) {
    if (!IsCheckKind(rec)) return 0;
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    WPARAM state = value == 2 && rec->kind == kKindCheckBox ? BST_INDETERMINATE : value ? BST_CHECKED : BST_UNCHECKED;
    SendMessageA(rec->hwnd, BM_SETCHECK, state, 0);
    if (state == BST_CHECKED) RadioUncheckGroup(c);
    return 0;
}

uint32_t ButtonGetProp(ObjectRecord* rec, uint32_t id) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (id) {
    case kPidTitle: case kPidText: CtlGetCaption(rec, 0); return 0;
    case kPidValue: {
        int32_t v;
        ButtonGetValue(rec, 0, &v);
        return static_cast<uint32_t>(v);
    }
    case kPidCancel: return (c->ctlFlags & kCtlCancel) ? 1 : 0;
    case kPidDefault: return (c->ctlFlags & kCtlDefault) ? 1 : 0;
    case kPidGroupId: return c->groupId;
    case kPidTriState: {
        LONG style = GetWindowLongA(rec->hwnd, GWL_STYLE) & 0xF;
        return rec->kind == kKindCheckBox && style == BS_AUTO3STATE ? 1 : 0;
    }
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t ButtonSetProp(ObjectRecord* rec, PropChange* req) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (req->id) {
    case kPidTitle: case kPidText: return CtlSetCaption(rec, 0, req->text, req->textLength);
    case kPidValue: return ButtonSetValue(rec, 0, req->value);
    case kPidCancel: SetCancel(c, req->value != 0); return 0;
    case kPidDefault: SetDefault(c, req->value != 0); return 0;
    case kPidGroupId: c->groupId = static_cast<uint32_t>(req->value); return 0;
    case kPidTriState:
        if (rec->kind == kKindCheckBox)
            SendMessageA(rec->hwnd, BM_SETSTYLE, req->value ? BS_AUTO3STATE : BS_AUTOCHECKBOX, TRUE);
        return 0;
    default: return CtlSetCommonProp(rec, req);
    }
}

const ObjectOps kButtonOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .destroy = CtlDestroy,
    .enable = ObjectEnableWindowed,
    .getText = CtlGetCaption,
    .getValue = ButtonGetValue,
    .setText = CtlSetCaption,
    .setValue = ButtonSetValue,
    .notify = ButtonNotify,
    .getProp = ButtonGetProp,
    .setProp = ButtonSetProp,
};

}  // namespace

int32_t ButtonNotify(ObjectRecord* rec, HWND, uint32_t, uint32_t code) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (code) {
    case BN_CLICKED: {
        gButtonNotifyMark = rec;
        int32_t value = 0;
        if (IsCheckKind(rec)) {
            ButtonGetValue(rec, 0, &value);
            if (value == BST_CHECKED) RadioUncheckGroup(c);
            CtlPostEvent(rec, kEvChange, value);
        }
        CtlPostEvent(rec, kEvClick, value);
        return 0;
    }
    case BN_DOUBLECLICKED:
        CtlPostEvent(rec, kEvDblClick, 0);
        return 0;
    default:
        return 0;
    }
}

ObjectRecord* ButtonCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code) {
    int kind = ObjectTypeToKind(type);
    DWORD style = WS_TABSTOP | BS_NOTIFY;
    switch (kind) {
    case kKindCheckBox: style |= CreateRecordValue(cr, kPidTriState, 0) ? BS_AUTO3STATE : BS_AUTOCHECKBOX; break;
    case kKindRadio: style |= BS_AUTORADIOBUTTON; break;
    case kKindButton: style |= BS_PUSHBUTTON; break;
    default: *code = kOpNoObject; return nullptr;
    }
    ControlRecord* c = CtlCreateCaptioned(static_cast<uint8_t>(kind), cr, "BUTTON", style, code);
    if (!c) return nullptr;
    c->groupId = static_cast<uint32_t>(CreateRecordValue(cr, kPidGroupId, 0));
    if (kind == kKindButton) {
        if (CreateRecordValue(cr, kPidDefault, 0)) SetDefault(c, true);
        if (CreateRecordValue(cr, kPidCancel, 0)) SetCancel(c, true);
    } else if (cr->given[kPidValue]) {
        ButtonSetValue(&c->hdr, 0, cr->values[kPidValue]);
    }
    return CtlFinishCreate(c, cr, code);
}

void ButtonInstall() {
    RegisterObjectCreator(kTypeButton, ButtonCreate);
    RegisterObjectCreator(kTypeCheckbox, ButtonCreate);
    RegisterObjectCreator(kTypeRadio, ButtonCreate);
    for (uint32_t kind : {kKindButton, kKindCheckBox, kKindRadio}) RegisterObjectOps(kind, &kButtonOps);
}
