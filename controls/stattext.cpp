// stattext.cpp - the native StatText object (kind 15) and the static-text
// operations that LabelText and GroupBox share: caption text, alignment and
// the click notifications of a static control.
#include "controls/stattext.h"

#include "objects/objwindowed.h"

int32_t StaticNotify(ObjectRecord* rec, HWND, uint32_t, uint32_t code) {
    if (code == STN_CLICKED) CtlPostEvent(rec, kEvClick, 0);
    else if (code == STN_DBLCLK) CtlPostEvent(rec, kEvDblClick, 0);
    return 0;
}

uint32_t StaticGetProp(ObjectRecord* rec, uint32_t id) {
    if (id == kPidText || id == kPidTitle) {
        CtlGetCaption(rec, 0);
        return 0;
    }
    return CtlGetCommonProp(rec, id);
}

int32_t StaticSetProp(ObjectRecord* rec, PropChange* req) {
    if (req->id == kPidText || req->id == kPidTitle) return CtlSetCaption(rec, 0, req->text, req->textLength);
    return CtlSetCommonProp(rec, req);
}

DWORD StaticAlignStyle(const ObjectCreateRecord* cr) {
    switch (CreateRecordValue(cr, kPidAlignment, 0)) {
    case 1: return SS_RIGHT;
    case 2: return SS_CENTER;
    default: return SS_LEFT;
    }
}

ObjectRecord* StaticCreateKind(uint8_t kind, ObjectCreateRecord* cr, int32_t* code) {
    ControlRecord* c = CtlCreateCaptioned(kind, cr, "STATIC", SS_NOTIFY | StaticAlignStyle(cr), code);
    if (!c) return nullptr;
    return CtlFinishCreate(c, cr, code);
}

const ObjectOps kStaticOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .destroy = CtlDestroy,
    .enable = ObjectEnableWindowed,
    .getText = CtlGetCaption,
    .setText = CtlSetCaption,
    .notify = StaticNotify,
    .getProp = StaticGetProp,
    .setProp = StaticSetProp,
};

ObjectRecord* StatTextCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    return StaticCreateKind(kKindStatText, cr, code);
}

void StatTextInstall() {
    RegisterObjectCreator(kTypeStattext, StatTextCreate);
    RegisterObjectOps(kKindStatText, &kStaticOps);
}
