// bars.h - what the status bar, the tab control and the toolbar share inside
// this folder: the sub-object records of baritems.h (status panels, tool
// buttons) made and handed over to the server as object results, units, style
// bits and click events.
#pragma once

#include <windows.h>

#include <cstdint>

#include "graphics/barcore.h"
#include "graphics/baritems.h"
#include "graphics/gfxcommon.h"


// Hands the item to the server as the method's object result: one more use,
// registered again when the server had released it, the variable noted; the
// answer is built (kNoAnswer is returned).
int32_t BarReplyItem(BarItemRecord* item, const MethodCallRec* call, uint32_t type);
// A text into gTextBuf (at most max bytes); 0.
uint32_t BarTextReply(const char* text, uint32_t max = kTextBufSize);
// Pixels of window units of the object's window and back.
int32_t BarToPixels(ObjectRecord* rec, int32_t units);
int32_t BarToUnits(ObjectRecord* rec, int32_t pixels);
// Sets or clears style bits of a window (GWL_STYLE or GWL_EXSTYLE).
void BarStyleBits(HWND wnd, int which, DWORD clear, DWORD set);
// Posts $CLICK (or $OLDEVENT when only that is registered) with the modifiers
// and value; true when one was posted.
bool BarPostClick(ObjectRecord* rec, uint16_t modifiers, int32_t value);
// A creation colour when the creation gave one (a Color object or a value),
// else the default.
uint32_t BarCreationColor(const CrColor& c, uint32_t def);
// System colour 15 (button face) as a colour value.
constexpr uint32_t kBarFaceColor = 0x8000000Fu;
// The ImageList object a change or argument names (the object, else the
// handle): a live native list, or none (a web-view list counts as none).
// False for something that is no image list.
bool BarImageListOf(ObjectRecord* given, int32_t handle, ObjectRecord** out);
// A method's text argument as a counted text (none when absent).
CrText BarArgText(const MethodCallRec* call, uint32_t i);
// A Dock of 0 or 7 and above becomes defaultDock; CCS_VERT for the bars
// docked left (2) or right (4), else 0.
DWORD BarDockStyle(ObjectCreateRecord* cr, int32_t defaultDock);
// Button modifiers of bar events.
enum BarModifier : uint16_t { kModLeft = 8, kModRight = 16, kModDblLeft = 40, kModDblRight = 48 };
