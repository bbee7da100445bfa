// objhooks.h - the hook tables through which the session, the web-view mode, COM
// hosting and printing plug into the object model. Every entry may be empty; the
// object model then does without (no pump, no web-view routing, and so on).
#pragma once

#include <cstdint>

#include "objects/objrecord.h"
#include "session/proto/records.h"

struct ObjectRecord;
struct ObjectCreateRecord;
struct FontRec;
struct PropChange;
struct PropQuery;

// Services of the session and of the window layer.
struct ObjectHooks {
    bool (*pump)();                                 // one turn of the message pump; false when it failed
    uint32_t (*tickCount)();                        // milliseconds, for timed waits (none: a steady clock)
    void (*destAppend)(uint32_t ovar);              // reports a destroyed object's Ovar (gDestArray)
    void (*fontRelease)(FontRec* font);             // drops one use of a shared font
    bool (*focusAway)(ObjectRecord* rec);           // moves the focus off an object being hidden or disabled
    int32_t (*setFocus)(ObjectRecord* rec, int32_t item);  // gives a native object the keyboard focus
    // A native docked object in this container was made or shown, hidden,
    // docked otherwise or destroyed: the container lays its docked objects
    // out again, once for a batch of such changes.
    void (*dockChanged)(ObjectRecord* container);
    // The layouts waiting for their batch are done now: before anything reads
    // a place or the client waits for the user.
    void (*layoutsFlush)();
    // The layouts waiting above a container (those that may still move or
    // size it) are done now: before a native object is made in it.
    void (*layoutsAbove)(ObjectRecord* container);
    void (*objectOpDone)();                         // after each object operation (2401-2420)
};
extern ObjectHooks gObjectHooks;

// The web-view mode: every dispatcher hands a record with mode flag 2 to these.
// An empty entry answers -5 (the operation is not available in the web view).
struct WebObjectOps {
    int32_t (*create)(uint32_t type, uint32_t kind, ObjectCreateRecord* cr, ObjectRecord** out);  // 0: not web
    // a-d: the registration values of the show request (a: the event routine, 0 none).
    int32_t (*show)(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
    int32_t (*hide)(ObjectRecord* rec);
    int32_t (*destroy)(ObjectRecord* rec);
    int32_t (*enable)(ObjectRecord* rec, int32_t item, bool on);
    int32_t (*checkItem)(ObjectRecord* rec, int32_t item, int32_t on);
    int32_t (*deleteItem)(ObjectRecord* rec, int32_t item);
    int32_t (*getText)(ObjectRecord* rec, int32_t item);
    int32_t (*getValue)(ObjectRecord* rec, int32_t item, int32_t* value);
    int32_t (*insertItem)(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length);
    int32_t (*setText)(ObjectRecord* rec, int32_t item, const char* text, uint32_t length);
    int32_t (*setValue)(ObjectRecord* rec, int32_t item, int32_t value);
    int32_t (*setState)(ObjectRecord* rec, int32_t state, int32_t v1, int32_t v2);
    int32_t (*setFocus)(ObjectRecord* rec, int32_t item);
    int32_t (*setProp)(ObjectRecord* rec, const PropChange* req);
    int32_t (*getProp)(ObjectRecord* rec, PropQuery* req);
    // One property by id with the object's web view current (a form save
    // reads web objects so): the number in *value, a text in *text (may be none).
    int32_t (*getPropById)(ObjectRecord* rec, uint32_t id, int32_t* value, const char** text);
    int32_t (*invokeMethod)(ObjectRecord* rec, MethodCallRec* call);
    int32_t (*commonMethod)(ObjectRecord* rec, MethodCallRec* call);
    // The CLIENT object's methods (the page services); rec is the object the
    // call names, if any, whose page is asked.
    int32_t (*clientMethod)(ObjectRecord* rec, MethodCallRec* call);
    void (*flushRedraws)(ObjectRecord* rec);        // before every wait for an event
    // A new registration (on) or an ended one: the page is asked or told.
    void (*enablePageEvent)(ObjectRecord* rec, uint32_t eventId, bool on);
    // The event a registration of eventId is kept under (an MRegion's $OLDEVENT).
    uint32_t (*registerRule)(ObjectRecord* rec, uint32_t eventId);
    void (*freeRecord)(ObjectRecord* rec);          // the shared web fields of a record
    // The object's web view is not answering or gone: its operations answer -52.
    bool (*viewDown)(ObjectRecord* rec);
    // Sends so far that failed or whose answer did not come within their wait.
    uint32_t (*failedSends)();
    void (*dropReply)();                            // forgets an answer already built
    // A form's MenuItem row for a menu of the web view, which keeps its items
    // itself: the item's object, or none with the code.
    ObjectRecord* (*menuItemCreate)(ObjectRecord* menu, ObjectCreateRecord* cr, int32_t* code);
};
extern WebObjectOps gWebObjectOps;

// COM hosting: Variant objects and the OLE property slot. The property entries
// get the Variant record (one of the built-in records 0-10 too).
struct ComObjectHooks {
    int32_t (*variantGetProp)(ObjectRecord* rec, PropQuery* req, uint32_t id);
    int32_t (*variantSetProp)(ObjectRecord* rec, const PropChange* req, uint32_t id);
    ObjectRecord* (*variantBuiltin)(uint32_t index);   // handles 0-11 of property requests
    // The argument copies of a COM event (see PostEventComArgs): dropped, and
    // made the current event's arguments when taken (null: none current).
    void (*eventArgsFree)(void* args);
    void (*eventArgsCurrent)(void* args);
    // The HTML view of a Panel (method InnerHtml): made in the panel's window,
    // loaded with a text, fitted to the window, released with the panel.
    void* (*htmlPanelCreate)(HWND wnd);
    void (*htmlPanelLoad)(void* view, const char* html, uint32_t length, int32_t flags, HWND wnd);
    void (*htmlPanelRelease)(void* view);
    void (*htmlPanelResize)(void* view, HWND wnd);
    // Hosted ActiveX controls (Control objects): focus, an ambient change.
    int (*oleSetFocus)(ObjectRecord* rec);
    void (*oleAmbientChanged)(ObjectRecord* rec, int32_t dispId);
    // An OLE Container taking the focus (AutoAct 2 runs its primary verb).
    int (*oleContainerFocus)(ObjectRecord* rec);
    // An HTML control taking the focus: its window, then its page.
    int32_t (*htmlFocus)(ObjectRecord* rec, int32_t item);
    // A Container or Control moved or resized by docking or anchoring.
    void (*oleMoved)(ObjectRecord* rec);
};
constexpr int32_t kAmbientDisplayAsDefault = -713;
extern ComObjectHooks gComObjectHooks;

// The preview of a spool file in a Panel object (methods 6-8, its painting,
// sizing and scrolling): the panel keeps the preview in a slot of its record
// (null while none is loaded) and hands its window, paint context and scroll
// bar options over as they are.
struct PrevPanelLoadArgs {
    const char* spool;
    uint32_t spoolLen;
    const char* printer;        // may be null
    uint32_t printerLen;
    uint32_t firstPage, startPage, lastPage, zoomPct;   // 0 when not given
};
enum : uint32_t { kPrevPanelHScroll = 1, kPrevPanelVScroll = 2 };

// Printing: the panel's preview.
struct PrintObjectHooks {
    int32_t (*prevPanelLoad)(void** slot, void* wnd, uint32_t scrollBars, const PrevPanelLoadArgs* args);
    int32_t (*prevPanelCommand)(void** slot, uint32_t command, int32_t value);
    int32_t (*prevPanelFree)(void** slot);
    void (*prevPanelPaint)(void** slot, void* paintDC);
    void (*prevPanelMarkResized)(void** slot);
    void (*prevPanelScroll)(void** slot, int32_t pos, int code, bool vertical);
    // Adds the names of the printers and then "pdf:" to a list box window
    // (nothing when the printers cannot be listed).
    void (*listPrinters)(void* listBox);
};
extern PrintObjectHooks gPrintObjectHooks;
