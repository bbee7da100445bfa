// stattext.h - the static-text operations that StatText, LabelText and GroupBox share.
#pragma once

#include "controls/ctlcommon.h"

int32_t StaticGetText(ObjectRecord* rec, int32_t item);
int32_t StaticSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t len);
int32_t StaticNotify(ObjectRecord* rec, HWND wnd, uint32_t id, uint32_t code);
uint32_t StaticGetProp(ObjectRecord* rec, uint32_t id);
int32_t StaticSetProp(ObjectRecord* rec, PropChange* req);
DWORD StaticAlignStyle(const ObjectCreateRecord* cr);
ObjectRecord* StaticCreateKind(uint8_t kind, ObjectCreateRecord* cr, const ObjectOps* ops, int32_t* code);
