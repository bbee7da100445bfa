// graphics.h - the native bar, container and drawing kinds: Panel, scroll
// bars, Slider, Progress, Splitter, Shape, Line and Timer. Their creators, the
// container routines the other facilities share, the value hooks the web-view
// mode shares, and the installation of creators, rows and method tables.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>

#include "graphics/gfxvalues.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objops.h"

// Puts every creator, operation row, method table and hook of these kinds in
// place; its row destroys the image lists and closes the media at exit.
FacilityRow GraphicsInstall();

// ---- Creators: (type, creation record) -> record, or null with a code -100..0 ----
ObjectRecord* PanelCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// Whether a native Panel has bit 6 of its second style word (SetWinFlag1).
bool PanelWinFlag1(ObjectRecord* panel);
ObjectRecord* ScrollBarCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* SliderCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* ProgressCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* SplitterCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* ShapeCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* LineCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* TimerCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* PictCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* IconCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* ImageListCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* StatusBarCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* TabControlCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* ToolBarCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// Sub-objects: into the bar the creation names, else the bar of their kind made
// last (form loading makes a bar, then its panels or buttons).
ObjectRecord* StatusPanelCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* ToolButtonCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// The panels of a native status bar and the buttons of a native toolbar, in
// their order, as a form save writes them after their bar.
uint32_t StatusBarPanelCount(ObjectRecord* bar);
ObjectRecord* StatusBarPanelAt(ObjectRecord* bar, uint32_t index);
uint32_t ToolBarButtonCount(ObjectRecord* bar);
ObjectRecord* ToolBarButtonAt(ObjectRecord* bar, uint32_t index);
// Whether a native toolbar shows an image list as any of its three lists.
bool ToolBarUsesImageList(ObjectRecord* bar, ObjectRecord* list);
// A user takes one use of an image list.
void ImageListTakeUse(ObjectRecord* list);
// Drops one use of an image list; the last release (with free) destroys it.
void ImageListRelease(ObjectRecord* list, bool free);
// Whether the list is handing its users a rebuilt list: their image-list
// slot (18) then takes the list's new handle instead of letting it go.
bool ImageListRebuilding(ObjectRecord* list);
// The list's HIMAGELIST, or none.
HIMAGELIST ImageListHandle(ObjectRecord* list);
// Writes the images of a list in one row as a .BMP file, the masked pixels
// painted in the mask colour: 0 written; 1 no list, 2 no image information,
// 3 the mask could not be merged, 4 no file name; else the converter's or the
// writer's code.
enum ImageListWriteResult : int32_t { kWriteNoList = 1, kWriteNoInfo = 2, kWriteNoMask = 3, kWriteNoName = 4 };
int32_t ImageListWriteBmp(HIMAGELIST list, COLORREF maskColour, const char* name);

// A bitmap the caller owns from a picture name (a client '!' path, a server
// file, '@' a named resource), loaded through a bare picture; null on failure.
HBITMAP LoadBitmapByName(const char* name);
// A bitmap resource by number as a picture's Resource finds it: the form's
// bitmap of window's form (or of the load in progress), the server's, the
// client's own; none when none has it.
HBITMAP LoadBitmapByNumber(uint32_t number, ObjectRecord* window);
// An icon the caller owns from an icon name ('<' small, '!' client file,
// else a server file); null on failure.
HICON LoadIconByName(const char* name);

// ---- Icons -------------------------------------------------------------------------------------
// The icon an Icon object shows (it keeps it), or none.
HICON IconOf(ObjectRecord* rec);
// Icon bytes (an .ICO file) made into an icon through a temporary file
// "~TICnnnn.ICO" (the first free of 0000..9999) that is deleted afterwards.
HICON IconLoadFromData(const uint8_t* data, uint32_t size, bool threeD, bool small);

// The rectangle an icon's anchor gives it after a resize, cut back to 32
// pixels on each axis and centred (the window layer's anchor hook).
void IconRescale(ObjectRecord* icon, RECT* rect);
// An Icon object showing a copy of an icon (the caller keeps its own), at
// (1000, 1000), linked into the parent when there is one; null with *code.
ObjectRecord* IconCreateFromHandle(HICON icon, ObjectRecord* parent, int32_t* code);

// ---- Pictures ------------------------------------------------------------------------------
// A picture of a GDI bitmap (palette: the stock one when none), placed at
// (1000, 1000) with the bitmap's size and zoomed to fit at most 100 %, linked
// into the parent when asked; null with *code (the image loader's codes).
ObjectRecord* PictCreateFromBitmap(HBITMAP bitmap, HPALETTE palette, ObjectRecord* parent, bool link,
                                   int32_t* code);
// A picture of a window's image (the desktop's when none): null with *code 0
// for a hidden or minimised window, -50 when the image cannot be captured.
ObjectRecord* PictCreateFromWindow(HWND window, ObjectRecord* parent, bool link, int32_t* code);
// The own scroll-bar window of a picture (none when it has no such bar), and
// its list of the scroll-bar objects standing for those bars: a bar object is
// pushed when attached and takes itself off when destroyed.
HWND PictBarWindow(ObjectRecord* pict, bool vertical);
void PictLinkScrollBar(ObjectRecord* pict, ObjectRecord* bar);
void PictUnlinkScrollBar(ObjectRecord* pict, ObjectRecord* bar);
// Repaints the shown pictures that are not stacked under another one, in the
// window and in the panels inside it.
void PictInvalidateAll(ObjectRecord* window);
// The image of the picture behind a handle, for printing: its header, colours
// (for a bit-field image its red, green and blue masks) and bits, and with
// shownPart the part its view shows (image pixels). False when the handle is
// no picture or the picture has no image.
bool PictImageOf(uint32_t handle, bool shownPart, const BITMAPINFOHEADER** header, const RGBQUAD** colors,
                 const void** bits, RECT* shown);
// The spool-file memo of the picture behind a handle (null: no picture).
struct SpoolImageMemo;
SpoolImageMemo* PictSpoolMemo(uint32_t handle);
// A GDI bitmap of a picture's image that the caller owns; null with *error.
HBITMAP PictBitmapOf(ObjectRecord* rec, HPALETTE* palette, int* error);
// The resources of the form being loaded (or of the window's chain): a copy
// freed with LocalFreeMem. Filled by the form facility; none until then.
struct PictResourceHooks {
    bool (*formResource)(ObjectRecord* window, uint16_t kind, uint32_t number, const char* name, uint8_t** data,
                         uint32_t* size);
};
extern PictResourceHooks gPictResourceHooks;

// ---- Values ------------------------------------------------------------------------------
// The shared ones (ProgressGetValue, TimerGetValue, TimerSetValue) are in gfxvalues.h.
int32_t ProgressSetValue(ObjectRecord* rec, int32_t item, int32_t value);

// ---- Timers ----------------------------------------------------------------------------
// Checks every active timer and posts the events of those that are due; the
// tenths of a second until the next is due (0 when none has a Timeout). A
// posting clears *posted's caller flag when given (sets it to false).
uint32_t TimerCheckAll(bool* flag);
uint32_t TimerActiveCount();

// ---- Scroll bars and sliders -----------------------------------------------------------
// The user's actions on an own-window scroll bar and on a slider (routed from
// the container's WM_HSCROLL / WM_VSCROLL).
int32_t ScrollBarOnScroll(ObjectRecord* bar, HWND wnd, int32_t thumb, int32_t code);
int32_t SliderOnScroll(ObjectRecord* slider, HWND wnd, int32_t thumb, int32_t code);
// Where the window layer keeps the scroll-bar object that stands for one of a
// container's built-in bars, and the program variable it goes to.
struct ScrollBarLink {
    ObjectRecord* bar;
    uint32_t ovar;
};
// Makes the object that stands for a Window's built-in bar (type 25
// horizontal, 26 vertical), or with pict the object standing for that
// picture's own bar (none when the picture has no such bar): the one the link
// held is destroyed first. The new record, or none.
ObjectRecord* ScrollBarAttach(uint32_t type, ScrollBarLink* link, ObjectRecord* pict, ObjectRecord* window);

// ---- Containers ------------------------------------------------------------------------
// Sends WM_HSCROLL / WM_VSCROLL with a program's scroll code (codes other
// than 0-3, 6 and 7 as 0xFFFF) to the container's window; 0.
int32_t ContainerScroll(ObjectRecord* container, UINT msg, int32_t code);
// Fills the container's background under its transparent children.
void PanelEraseTransparent(HDC dc, ObjectRecord* container);
void FillUnderChild(HDC dc, ObjectRecord* container, ObjectRecord* child);
// An object's rectangle relative to its top window (enclosing panels' origins
// and borders added) and back into a container's coordinates.
void ObjectScreenRect(ObjectRecord* rec, RECT* out);
void ObjectParentRect(ObjectRecord* container, RECT* rect);
// Moves an object to another Window or Panel, keeping its place on the screen.
// False when the move would put the object inside itself (nothing moves).
bool PanelReparent(ObjectRecord* obj, ObjectRecord* container);
// Gives the window menus owned by the panel's subtree from the old top window
// to the panel's new one.
void PanelMoveMenus(ObjectRecord* oldTop, ObjectRecord* panel);
void WindowMenusRehome(ObjectRecord* panel);

// The splitter cursors in use: the program's own (up and down, left and
// right), or the system's sizing cursors when the program has none.
HCURSOR SplitterCursor(bool leftRight);

// ---- Tab controls -------------------------------------------------------------------------
// Invalidates the page area of a tab control (below its tabs) less the later
// siblings lying on it.
void TabControlInvalidatePage(ObjectRecord* tab, bool erase);

// ---- Lines -------------------------------------------------------------------------------
void LineSaveBasePoints(ObjectRecord* line);
void LineRescale(ObjectRecord* line, int32_t verticalPercent, int32_t horizontalPercent);

// ---- Hooks of facilities that land later ----------------------------------------------------
struct GraphicsHooks {
    // A Pict's own scroll bars (WM_HSCROLL / WM_VSCROLL from its bar windows).
    int32_t (*pictOnScroll)(ObjectRecord* pict, HWND bar, int32_t thumb, int32_t code);
    // A panel added to a web-view status bar (the web status bar keeps its own).
    ObjectRecord* (*statusBarAddPanel)(ObjectRecord* bar, ObjectCreateRecord* cr, int32_t* code);
    // A button added to a web-view toolbar (the web toolbar keeps its own).
    ObjectRecord* (*toolBarAddButton)(ObjectRecord* bar, ObjectCreateRecord* cr, int32_t* code);
};
extern GraphicsHooks gGraphicsHooks;
