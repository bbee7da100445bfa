// paint.h - painting services: DCs for windowless objects, borders, painting and
// clipping of windowless children, redraws and the shown/hidden bookkeeping.
#pragma once

#include <windows.h>

#include <cstdint>

struct ObjectRecord;

// Paint-slot flag: the caller saved the DC and restores it after all its
// children, so a child need not put back what it changed.
constexpr int32_t kPaintDcKept = 0x100;
// While a container paints its children with kPaintDcKept, what its DC holds
// now: a child selects a pen, brush or raster operation only when it differs
// from the one the previous child left.
struct PaintPassState {
    HDC dc;
    HGDIOBJ pen;
    HGDIOBJ brush;
    int rop2;
};
extern PaintPassState gPaintPass;

struct ObjectDCState {
    HDC dc;
    HWND wnd;
    int32_t originX, originY;   // offsets of the object's container in the DC
    bool fromPaint;             // the container's paint DC: not released here
};

HDC GetObjectDC(int flag, ObjectRecord* rec, ObjectDCState* state);
HDC GetObjectDCEx(int flag, ObjectRecord* rec, ObjectDCState* state, bool tabPaintSwitch);
void ReleaseObjectDC(ObjectDCState* state);
void DrawBorder(HDC dc, const RECT* rect, int style, uint32_t color);
int PaintChildren(ObjectRecord* container, int flag, HDC dc, HRGN background);
// A container's paint: its background over the area (none without a brush),
// around the children that cover their rectangles, then every windowless child.
void PaintContainer(ObjectRecord* container, HDC dc, const RECT* area, HBRUSH brush);
void ClipExcludeShapes(HDC dc, ObjectRecord* container, void* none);
HRGN ClipRegionSaveExcludeShapes(HDC dc, ObjectRecord* container);
void ClipRegionRestore(HDC dc, HRGN saved);
void RedrawObject(ObjectRecord* rec, bool erase);
int32_t RedrawObjectWindow(ObjectRecord* rec, int flag);
int32_t RedrawObjWindow(ObjectRecord* rec);
int32_t EraseWindowBkgnd(ObjectRecord* rec);
void NoteObjectShown(ObjectRecord* rec);
void NoteObjectHidden(ObjectRecord* rec);
void RepaintOverlaps(ObjectRecord* rec);
void InvalidateTabPageUnder(ObjectRecord* rec);
HBITMAP CaptureWindowBitmap(HWND wnd);
DWORD AddRtlExStyle(const ObjectRecord* rec, DWORD exStyle);
// Paints a window's background and windowless children (WM_PAINT of windows).
void WindowPaint(ObjectRecord* rec);
extern bool gPaintEnabled;     // the window layer's paint switch
// Off while the window layer drags an object: panels then leave their
// background alone, so the drag's outline is not painted over.
extern bool gPanelEraseOn;
// On while the user moves or sizes a top window by its frame (from the
// button press on the frame until the system's move or size loop returns).
extern bool gUserMovingFrame;
extern ObjectRecord* gPaintingContainer;
extern HDC gPaintingDC;
