// gfxcommon.h - what the bar, container and drawing kinds share inside this
// folder: creation of windowless records, the end of every creator, redraws
// after a property change, the $CHANGE / $OLDEVENT posting of value controls
// and colour resolution.
#pragma once

#include <windows.h>

#include <cstdint>

#include "controls/ctlcommon.h"
#include "graphics/gfxcore.h"
#include "graphics/graphics.h"
#include "objects/crstream.h"
#include "objects/objrecord.h"

// Header bits of these kinds.
enum GfxFlag : uint32_t {
    kGfxWindowless = 0x8,        // drawn into the parent's window (with kObjAlive: flags 0x9)
    kGfxRedrawPending = 0x10000, // a change asked for a repaint
    kGfxFlatBorder3D = 0x80000,  // Progress: a wide 3-D border
    kGfxContainerFlag = 0x100000,
};

// A zeroed windowless record of size bytes: the common header from the
// creation record, its rectangle converted from the window's units to pixels,
// the creation texts. Null with *code (-3 parent refused, -4 rectangle, -6
// memory). The record is not linked yet.
ObjectRecord* GfxCreateWindowless(uint8_t kind, uint32_t size, ObjectCreateRecord* cr, int32_t* code);
// The shared end of a creator: linked into the parent, disabled and shown as
// the creation asks, the layout saved. The record, or null with *code -3 when
// a request taken while it was shown destroyed it.
ObjectRecord* GfxFinishCreate(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code);
// Frees a record that a creator could not finish.
void GfxFreeRecord(ObjectRecord* rec);
// A container kind's record (Panel, Splitter): a windowless record made
// windowed, marked as a container, without tab position or foreground colour.
// Null with *code as GfxCreateWindowless gives it.
ObjectRecord* GfxCreateContainerRecord(uint8_t kind, uint32_t size, ObjectCreateRecord* cr, int32_t* code);
// The window of a container record, of the class, inside the window of its own
// container at its rectangle less that container's scroll offsets, with the
// record in its user data. False with the record freed and *code -3 when there
// is no window to put it in or it cannot be made.
bool GfxCreateContainerWindow(ObjectRecord* rec, const char* className, DWORD style, DWORD exStyle, int32_t* code);
// A shown object is marked and repainted (its area erased when asked).
void GfxRedrawIfShown(ObjectRecord* rec, bool erase);
// The common part of a property change of these kinds; a windowless object is
// repainted when the change needs it.
int32_t GfxSetCommonProp(ObjectRecord* rec, PropChange* req);
// $CHANGE with the action's modifiers and position when registered, else
// $OLDEVENT with the base plus the position when that is registered.
void GfxPostAction(ObjectRecord* rec, const ScrollAction& action);
// The window of the container that holds rec (its parent chain, bounded).
HWND GfxContainerWindow(const ObjectRecord* rec);
// The scroll offsets of rec's container (0 when it has none).
void GfxContainerScroll(const ObjectRecord* rec, int32_t* x, int32_t* y);
// The DC a windowless object paints into and its rectangle in that DC: the
// DC its container passed to the paint slot (container coordinates, scroll
// offsets already applied), else one of GetObjectDC, less the container's
// scroll offsets. Null when there is none; ReleaseObjectDC(st) afterwards.
struct ObjectDCState;
HDC GfxObjectDC(ObjectRecord* rec, void* paintDC, ObjectDCState* st, RECT* r);
// The DC state a windowless drawing changes, taken when it begins and put back
// when it ends, so that a DC the drawing did not get for itself is left as it
// was; unless the caller keeps the DC itself (kPaintDcKept), as a container
// painting hundreds of children does once around them all. The background
// colour and mode matter only to hatched brushes and styled pens.
struct DcKeep {
    HDC dc;
    bool restore;
    bool background;
    COLORREF back, text;
    int bkMode, rop2;
    HGDIOBJ brush, pen;
};
void DcKeepBegin(DcKeep* k, HDC dc, bool restore, HGDIOBJ brush, HGDIOBJ pen, int rop2);
void DcKeepBackground(DcKeep* k, COLORREF back, COLORREF text, int bkMode);
void DcKeepEnd(DcKeep* k);
// Now in tenths of a second (through the object model's clock hook).
uint32_t GfxTenthsNow();
