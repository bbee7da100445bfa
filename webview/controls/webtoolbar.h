// webtoolbar.h - the toolbar of the web view and its tool buttons: the records,
// creation on the shared default strip, buttons added and removed, the redraw
// queue whose flush sends the buttons' markup (action 54), the page's clicks
// (event 99973), properties, the 13 methods, enable and destroy.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct WebImageListRecord;

// A tool button of a web bar. It begins as the native bars' sub-objects do
// (header, next item, owning bar); the state word stands for the control's.
struct WebToolButtonRecord {
    ObjectRecord hdr;          // flags: alive, pixels, CauseValid, AutoSize; useCount as the native buttons
    WebToolButtonRecord* nextItem;
    ObjectRecord* bar;         // none once the bar removed it
    uint8_t btnStyle;          // 1..6
    uint32_t imageIndex;       // 1-based, 0 none
    uint32_t commandId;
    int32_t tag;
    char* menuText;
    char* text;
    uint32_t state;            // WebToolButtonState
};

enum WebToolButtonState : uint32_t {
    kTbsPushed = 1, kTbsPartialPush = 2, kTbsEnabled = 4, kTbsHidden = 8, kTbsPressed = 16,
};

enum WebToolBarStyle : uint32_t {
    kWtsFlat = 1, kWtsTransparent = 2, kWtsWrappable = 4, kWtsTextSide = 8, kWtsNoDivider = 16, kWtsVertical = 64,
};

enum WebToolBarListSlot : int { kWtlNormal = 0, kWtlDisabled = 1, kWtlHot = 2, kWtlSlots = 3 };

struct WebToolBarRecord {
    ObjectRecord hdr;
    uint32_t buttonCount;
    WebToolButtonRecord* buttons;
    ObjectRecord* nextQueued;  // link in gWebToolBarRedraws
    uint8_t bdrStyle;
    uint8_t downArrow;
    uint8_t showTips;
    uint8_t queued;
    uint32_t nextCommandId;
    uint32_t tbFlags;
    uint32_t style;            // WebToolBarStyle
    WebImageListRecord* lists[kWtlSlots];   // the shared default strip stands for none
    uint32_t listHandles[kWtlSlots];        // the handle each list had when taken
    uint16_t btnHeight, btnWidth;           // pixels
};

inline WebToolBarRecord* WebToolBar(ObjectRecord* rec) { return reinterpret_cast<WebToolBarRecord*>(rec); }
inline WebToolButtonRecord* WebToolButton(ObjectRecord* rec) { return reinterpret_cast<WebToolButtonRecord*>(rec); }

// The bars waiting for their markup to be sent.
extern ObjectRecord* gWebToolBarRedraws;

ObjectRecord* WebToolBarCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                               int32_t* code);
// A button from a creation record at position (0 first, n after the nth,
// negative last); Add appends. Null with *code -6 without memory.
ObjectRecord* ToolBarInsertButton(ObjectRecord* bar, ObjectCreateRecord* cr, int32_t position, int32_t* code);
ObjectRecord* ToolBarAddButton(ObjectRecord* bar, ObjectCreateRecord* cr, int32_t* code);
// The buttons of a web bar in their order (a form save writes them after the bar).
uint32_t WebToolBarButtonCount(ObjectRecord* bar);
ObjectRecord* WebToolBarButtonAt(ObjectRecord* bar, uint32_t index);
// By name (exact) when one is given, else by zero-based index; true when removed.
bool WebToolBarRemoveButton(ObjectRecord* bar, uint32_t index, const char* name);

void WebToolBarQueueRedraw(ObjectRecord* bar);
void WebToolBarUnqueue(ObjectRecord* bar);
// Sends the markup of every queued bar that is shown (only bar's when given);
// the others stay queued.
void WebToolBarFlush(ObjectRecord* bar);
// The buttons' markup into gHtmlBuf, the inline image cells of the whole
// drop-downs as the message's "seli" array.
void WebToolBarMarkup(WebToolBarRecord* bar);

// A click of the page: the button's command id, the chosen item of a
// drop-down (0 none) and whether it was a double click.
void WebToolBarOnClick(ObjectRecord* bar, uint32_t commandId, int32_t item, bool dblClick);

int32_t WebToolBarSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                          bool* commonWrite);
int32_t WebToolBarGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebToolButtonSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                             bool* commonWrite);
int32_t WebToolButtonGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebToolBarMethod(ObjectRecord* rec, MethodCallRec* call);
int32_t WebToolBarEnable(ObjectRecord* rec, int32_t item, bool on);
void WebToolBarDestroy(ObjectRecord* rec);
// The destroy of one button: one use goes; a button still on its bar stays
// there (the bar holds its own use), the last use frees it.
int32_t WebToolButtonDestroy(ObjectRecord* rec);

// Registers the creator, operations, properties, page events and image-list
// use of kinds 40 and 41.
void WebToolBarInstall();
