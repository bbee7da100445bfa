// objwindowed.h - the slot routines that many kinds share: show, hide and enable
// of windowed controls, show and hide of windowless ones (drawn into their
// parent's window), their destroy and enable, and the release of shared
// sub-objects.
#pragma once

#include <windows.h>

#include <cstdint>

#include "objects/objrecord.h"

int32_t ObjectShowWindowed(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
int32_t ObjectHideWindowed(ObjectRecord* rec);
// ObjectHideWindowed without moving the focus away first: the window hidden,
// one pump turn, the object marked hidden and its area repainted.
int32_t ObjectHideWindowKeepFocus(ObjectRecord* rec);
int32_t ObjectEnableWindowed(ObjectRecord* rec, int32_t item, int32_t on);
int32_t ObjectShowWindowless(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
int32_t ObjectHideWindowless(ObjectRecord* rec);
int32_t ObjectEnableWindowless(ObjectRecord* rec, int32_t item, int32_t on);
int32_t ObjectDestroyWindowless(ObjectRecord* rec);
int32_t ControlDestroyWindowed(ObjectRecord* rec);
// Hands a text to a window as its whole text; false when the window did not
// take it: it answered FALSE to WM_SETTEXT, or (lengthCheck) it holds fewer
// characters than the text has, or its old text could not be kept for the
// while. Wine's edit control answers TRUE when it cannot make room for a text
// (memory short), its text left as it was or emptied: a window that did not
// take the text is given its old text back. A control that reads its text as
// markup (a rich edit given RTF) is not held to the length.
bool WindowTextSet(HWND wnd, const char* text, bool lengthCheck = true);
// Lowers the use count of a shared sub-object and frees it at 0.
int32_t RecordReleaseUse(ObjectRecord* rec);
// Posts event 200 with a copy of text on the object kept in the window's user
// data; returns what PostEvent returns (0 when the window has no object).
int32_t PostWebPanelEvent(HWND wnd, const char* text);
