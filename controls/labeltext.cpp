// labeltext.cpp - the native LabelText object (kind 46): a static caption that
// labels another control; it uses the operations of StatText.
#include "controls/stattext.h"
#include "objects/objwindowed.h"

ObjectRecord* LabelTextCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    return StaticCreateKind(kKindLabelText, cr, code);
}

void LabelTextInstall() {
    RegisterObjectCreator(kTypeLabelText, LabelTextCreate);
    RegisterObjectOps(kKindLabelText, &kStaticOps);
}
