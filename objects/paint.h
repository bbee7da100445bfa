// paint.h - painting services: DCs for windowless objects, borders, painting and
// clipping of windowless children, redraws and the shown/hidden bookkeeping.
#pragma once

#include <windows.h>

#include <cstdint>

struct ObjectRecord;

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
extern ObjectRecord* gPaintingContainer;
extern HDC gPaintingDC;
