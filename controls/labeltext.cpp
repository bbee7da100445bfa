// labeltext.cpp - the native LabelText object (kind 46): a static caption that
// labels another control; it shares the static-text operations.
#include "controls/stattext.h"
#include "objects/objwindowed.h"

namespace {

const ObjectOps kLabelOps = {
    ObjectShowWindowed,     // 0 show
    nullptr,                // 1 check item
    ObjectHideWindowed,     // 2 hide
    nullptr,                // 3 delete item
    CtlDestroy,             // 4 destroy
    ObjectEnableWindowed,   // 5 enable
    nullptr,                // 6
    StaticGetText,          // 7 get text
    nullptr,                // 8 get value
    nullptr,                // 9 insert item
    StaticSetText,          // 10 set text
    nullptr,                // 11 set value
    nullptr,                // 12 paint
    StaticNotify,           // 13 notification
    StaticGetProp,          // 14 get property
    StaticSetProp,          // 15 set property
    nullptr,                // 16 method
    nullptr,                // 17 OLE property
    nullptr,                // 18 image list released
};

}  // namespace

ObjectRecord* LabelTextCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    return StaticCreateKind(kKindLabelText, cr, &kLabelOps, code);
}

void LabelTextInstall() {
    RegisterObjectCreator(kTypeLabelText, LabelTextCreate);
    RegisterObjectOps(kKindLabelText, &kLabelOps);
}
