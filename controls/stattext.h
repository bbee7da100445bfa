// stattext.h - the static-text operations that StatText, LabelText and GroupBox share.
#pragma once

#include "controls/ctlcommon.h"

int32_t StaticNotify(ObjectRecord* rec, HWND wnd, uint32_t id, uint32_t code);
uint32_t StaticGetProp(ObjectRecord* rec, uint32_t id);
int32_t StaticSetProp(ObjectRecord* rec, PropChange* req);
DWORD StaticAlignStyle(const ObjectCreateRecord* cr);
// Creates a STATIC control of the kind with its caption and alignment.
ObjectRecord* StaticCreateKind(uint8_t kind, ObjectCreateRecord* cr, int32_t* code);
// The operations of StatText and LabelText.
extern const ObjectOps kStaticOps;
