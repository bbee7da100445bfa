// groupbox.cpp - the native GroupBox object (kind 20): a framed caption around
// other controls.
#include "controls/stattext.h"
#include "objects/objwindowed.h"

namespace {

const ObjectOps kGroupBoxOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .destroy = CtlDestroy,
    .enable = ObjectEnableWindowed,
    .getText = CtlGetCaption,
    .setText = CtlSetCaption,
    .getProp = StaticGetProp,
    .setProp = StaticSetProp,
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
