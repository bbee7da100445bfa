// groupbox.cpp - the native GroupBox object (kind 20): a framed caption around
// other controls.
#include "controls/stattext.h"
#include "objects/objwindowed.h"

namespace {

const ObjectOps kGroupBoxOps = {
    ObjectShowWindowed,     // 0 show
    nullptr,                // 1 check item
    ObjectHideWindowed,     // 2 hide
    nullptr,                // 3 delete item
    CtlDestroy,             // 4 destroy
    ObjectEnableWindowed,   // 5 enable
    nullptr,                // 6
    CtlGetCaption,          // 7 get text
    nullptr,                // 8 get value
    nullptr,                // 9 insert item
    CtlSetCaption,          // 10 set text
    nullptr,                // 11 set value
    nullptr,                // 12 paint
    nullptr,                // 13 notification
    StaticGetProp,          // 14 get property
    StaticSetProp,          // 15 set property
    nullptr,                // 16 method
    nullptr,                // 17 OLE property
    nullptr,                // 18 image list released
};

}  // namespace

// The frame lies over the controls placed inside it: a child created later
// sits below it in the Z order, and every control clips its siblings above it
// out of its drawing, so an opaque frame would hide what is typed into an edit
// inside. A transparent window clips no sibling and paints after those below.
ObjectRecord* GroupBoxCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ControlRecord* c = CtlCreateCaptioned(kKindGroupBox, cr, "BUTTON", BS_GROUPBOX, code, WS_EX_TRANSPARENT);
    if (!c) return nullptr;
    return CtlFinishCreate(c, cr, code);
}

void GroupBoxInstall() {
    RegisterObjectCreator(kTypeGroupbox, GroupBoxCreate);
    RegisterObjectOps(kKindGroupBox, &kGroupBoxOps);
}
