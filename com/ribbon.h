// ribbon.h - the Ribbon host of a window: the ribbon record, the entry points
// the window code calls through its hooks (create, destroy, height, window
// methods 42-45), and the property reads and writes behind those methods.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <cstdint>

#include "com/ribbonapi.h"
#include "objects/guihooks.h"

struct ObjectRecord;
struct MethodCallRec;
class CQovIUIApplication;

// One per window that has a ribbon; the window's ribbon field points at it.
struct RibbonRecord {
    HMODULE module;               // the markup's module: a library or the program
    uint8_t moduleLoaded;         // the module was loaded for the ribbon (RibDll)
    IUIFramework* framework;
    CQovIUIApplication* app;      // holds one reference of the record's own
    ObjectRecord* window;
};

enum : uint32_t {
    kRibbonDefaultHeight = 146,   // made room for before the markup loads; a view's 0
    kRibbonPopupHeight = 144,     // the pop-up's top when the view answers 0
    kRibbonTextMax = 255,         // UTF-16 units of a recent item's label
    kRibbonResultSize = 4096,     // the shared result area of property reads
    kRibbonFaceMax = 31,          // characters of a face name a font takes
    kRibbonMethodVersion = 9600,  // window methods 42-45 from this server version
};
constexpr uint32_t kRibbonClickEvent = 4;
constexpr uint8_t kRibbonClickKind = 32;
constexpr uint16_t kRibbonClickModifiers = 8;
constexpr size_t kCharFormatSize = 84;
static_assert(sizeof(CHARFORMAT2A) == kCharFormatSize, "the rich-edit character format is 84 bytes");

// ---- Entry points of the window code ------------------------------------------------
// 0 when the ribbon now exists or none is wanted; 1 when it could not be made
// (the window is then left without a ribbon, its rectangles as they were).
int32_t RibbonCreate(ObjectRecord* win, int adjust);
// Destroys the framework, frees the module and the record; with giveBack the
// ribbon's height goes back to the window's children.
int32_t RibbonDestroy(RibbonRecord* rib, int giveBack);
// The ribbon's height in pixels; 0 without a ribbon.
int32_t RibbonGetHeight(ObjectRecord* win);
// Window methods 42-45; the answer to the server is set here.
int32_t RibbonMethod(ObjectRecord* win, MethodCallRec* call);
// Fills the windows layer's ribbon hooks.
FacilityRow RibbonInstallHooks();
// Moves every child of the window by diff pixels (direction 1: up, the ribbon
// got smaller; 0: down), scrolls the contents below the ribbon and redraws.
void WindowRibbonResize(ObjectRecord* win, int32_t diff, int32_t newHeight, int direction);
RibbonRecord* RibbonOf(ObjectRecord* win);

// ---- Properties (RibbonGetProp and RibbonSetProp) -------------------------------------
// number and text start as 0 and null; a text lies in the shared result area
// until the next read. 1 when a framework call failed, else 0.
int32_t RibbonQueryProp(RibbonRecord* rib, uint32_t commandId, uint32_t index, int32_t* number,
                        const char** text);
// 1 when a framework call failed or the value was refused, else 0.
int32_t RibbonApplyProp(RibbonRecord* rib, uint32_t commandId, uint32_t index, int32_t number, const char* text);
int32_t RibbonApplyFontText(RibbonRecord* rib, uint32_t commandId, const char* text);
int32_t RibbonApplyModes(RibbonRecord* rib, int32_t modes);
// The recent-items value of the window's list view whose ObjectId is listViewId:
// a vector of one property set per row (E_FAIL without that list view).
HRESULT RibbonRecentItems(ObjectRecord* win, uint16_t listViewId, PROPVARIANT* out);
int32_t RibbonPopupContext(RibbonRecord* rib, HWND wnd, uint32_t contextId, int32_t x, int32_t y);

// ---- The font property store and the character format ----------------------------------
void RibbonFontToCharFormat(IPropertyStore* store, CHARFORMAT2A* cf);
void RibbonCharFormatToFont(const CHARFORMAT2A* cf, IPropertyStore* store);

// ---- What the tests look at ------------------------------------------------------------
// The application's view and height, and a handler's state; null/0 when absent.
uint32_t RibbonAppHeight(RibbonRecord* rib);
IUIRibbon* RibbonAppView(RibbonRecord* rib);
struct RibbonHandlerInfo {
    uint32_t type;
    uint16_t listViewId;
    int32_t lastSelected;
    const CHARFORMAT2A* lastChange;   // null without font records
    const CHARFORMAT2A* current;
};
bool RibbonHandlerState(RibbonRecord* rib, uint32_t commandId, RibbonHandlerInfo* out);
// Live objects of the three classes (every construction counts up, every
// destruction down), for leak checks.
extern LONG gRibbonLiveObjects;
