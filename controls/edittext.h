// edittext.h - the edit operations that EditText, RichEditText and EditNumber share.
#pragma once

#include "controls/ctlcommon.h"

int32_t EditGetText(ObjectRecord* rec, int32_t item);
int32_t EditSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t len);
int32_t EditInsertItem(ObjectRecord* rec, int32_t which, const char* text, uint32_t len);
int32_t EditDeleteItem(ObjectRecord* rec, int32_t which);
int32_t EditGetValue(ObjectRecord* rec, int32_t which, int32_t* value);
int32_t EditSetValue(ObjectRecord* rec, int32_t which, int32_t v);
int32_t EditNotify(ObjectRecord* rec, HWND wnd, uint32_t id, uint32_t code);
int32_t EditPaint(ObjectRecord* rec, void* dc, int32_t flag);
uint32_t EditGetProp(ObjectRecord* rec, uint32_t id);
int32_t EditSetProp(ObjectRecord* rec, PropChange* req);
// The limits, type and options of an edit from its creation record.
void EditApplyCreation(ControlRecord* c, const ObjectCreateRecord* cr);
DWORD EditStyleFromCreation(const ObjectCreateRecord* cr);
// The operations of EditText and RichEditText.
extern const ObjectOps kEditOps;
