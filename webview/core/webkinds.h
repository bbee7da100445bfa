// webkinds.h - the web kind table: one row of operations per kind
// of the web view, as ObjectOps is natively. Each kind's own file fills its row
// and puts it in at start-up (webview/controls/install.cpp lists them); the
// generic operations of core/ read it. An empty slot leaves the operation to
// the generic code, or answers -5 where there is none.
#pragma once

#include <cstdint>

#include "objects/events.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"
#include "webview/core/webevents.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"

struct HtmlMarkup;

// Whether a control shows an image list, and how it is queued for redraw
// when the list changes.
struct WebImageListUser {
    bool (*uses)(ObjectRecord* control, ObjectRecord* list);
    void (*queueRedraw)(ObjectRecord* control);
};

// What the focus slot is asked: a focus request of the server, or the tab
// step into the control (first or last element) or inside it (next, previous).
enum WebFocusStep : int32_t {
    kWebFocusRequest = 0, kWebFocusFirst = 1, kWebFocusLast = 2, kWebFocusNext = 3, kWebFocusPrevious = 4,
};
// Its answers: the kind took the focus, refused it, or leaves it to the
// generic focus.
enum WebFocusAnswer : int32_t { kWebFocusTaken = 0, kWebFocusRefused = 1, kWebFocusGeneric = 2 };

// The held slot's answer when the destroy is not left to a holder.
constexpr int32_t kWebNotHeld = INT32_MIN;

// What a kind is, as bits of its traits slot.
enum WebKindTrait : uint32_t {
    kWebKindTakesFocus = 1,        // in its window's tab order
    kWebKindSendsNoDelete = 2,     // the generic destroy deletes no element (the kind's goes its own way)
    kWebKindNoElement = 4,         // its records get no element
    kWebKindWhiteBackground = 8,   // an unset background is white rather than the window's
    kWebKindPixelGeometry = 16,    // its geometry stays in pixels when the page's is in percent
};

// Whether the kind's traits hold all of bits; a kind without a row has none.
bool WebKindHas(uint32_t kind, uint32_t bits);

// One row of 30 slots per kind.
struct WebKindOps {
    // (top window, record to fill or none, creation record, kind, result slot)
    // -> the record, or none with the code in the slot.
    WebCreatorFn create = nullptr;                                                             // 0
    // The element and script of a new object (the record's geometry already
    // in the markup; the kind may adjust both first).
    void (*markup)(HtmlMarkup& m) = nullptr;                                                  // 1
    WebSetPropFn setProp = nullptr;                                                           // 2
    WebGetPropFn getProp = nullptr;                                                           // 3
    WebItemRouteFn itemRoute = nullptr;                                                       // 4 items a request selects
    // The kind's page message for enable and disable, after the record's flag
    // was set (item 0 only).
    WebEnableFn enable = nullptr;                                                             // 5
    // Enable and disable of any item number, the record's flag untouched (menus, bars).
    WebEnableFn itemEnable = nullptr;                                                         // 6
    // The kind's own show, called whatever the shown flag says (the kind
    // checks it), and hide, called after the flag was cleared.
    WebShowFn show = nullptr;                                                                 // 7
    WebHideFn hide = nullptr;                                                                 // 8
    WebKindPageEventFn pageEvent = nullptr;                                                   // 9
    const WebImageListUser* imageListUser = nullptr;                                          // 10
    // The kind's queued redraws, every record's (rec null) or one's.
    void (*flushRedraws)(ObjectRecord* rec) = nullptr;                                        // 11
    // An item object's holder, whose page shows it (a panel's status bar, a
    // button's toolbar); none when it has none.
    ObjectRecord* (*subObjectHolder)(ObjectRecord* rec) = nullptr;                            // 12
    // Items that the destroy leaves to their holder (bar, menu, the items of a
    // SubMenu): the destroy's answer when the kind answered it, else kWebNotHeld.
    int32_t (*held)(ObjectRecord* rec) = nullptr;                                             // 13
    // Clean-up: the kind's own fields, before the record goes.
    void (*destroy)(ObjectRecord* rec) = nullptr;                                             // 14
    int32_t (*method)(ObjectRecord* rec, MethodCallRec* call) = nullptr;                      // 15
    int32_t (*getText)(ObjectRecord* rec, int32_t item) = nullptr;                            // 16 text into gTextBuf
    // Fills the value, or builds a page query (*asked true) whose reply's
    // "val", else "data", becomes the value.
    int32_t (*getValue)(ObjectRecord* rec, int32_t item, int32_t* value, bool* asked) = nullptr;  // 17
    int32_t (*setText)(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) = nullptr;  // 18
    int32_t (*setValue)(ObjectRecord* rec, int32_t item, int32_t value) = nullptr;            // 19
    int32_t (*insertItem)(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length) = nullptr;  // 20
    int32_t (*deleteItem)(ObjectRecord* rec, int32_t item) = nullptr;                         // 21
    int32_t (*checkItem)(ObjectRecord* rec, int32_t item, int32_t on) = nullptr;              // 22
    // The kind's part of a focus request or tab step (WebFocusStep): a
    // WebFocusAnswer. Shown, enabled records only.
    int32_t (*focus)(ObjectRecord* rec, int32_t step) = nullptr;                              // 23
    // The kind asks the page for a registered event itself, or not at all:
    // true when nothing is left to the generic request.
    bool (*askEvent)(ObjectRecord* rec, uint32_t eventId) = nullptr;                          // 24
    // The focused object keeps the Enter key (the window's default button is
    // not pressed).
    bool (*keepsEnter)(const ObjectRecord* rec) = nullptr;                                    // 25
    // The new object's markup is in the page (a splitter's cursor and drag
    // directions follow it).
    void (*placed)(ObjectRecord* rec) = nullptr;                                              // 26
    // The event an activation without one of its own registers (0 none).
    uint32_t defaultEvent = 0;                                                                // 27
    uint32_t traits = 0;                                                                      // 28 WebKindTrait bits
    // The object has a hidden file input beside its element (a file button).
    bool (*fileInput)(const ObjectRecord* rec) = nullptr;                                     // 29
};

// Rows by kind. A kind has one row: another row for a kind that has one is
// refused and counted, so the order the kinds are put in does not matter.
// The same row again changes nothing.
bool WebRegisterKind(uint32_t kind, const WebKindOps* ops);
const WebKindOps* WebKindOpsOf(const ObjectRecord* rec);
const WebKindOps* WebKindOpsOfKind(uint32_t kind);
// Rows refused because their kind had another.
uint32_t WebKindConflicts();
// Tests: puts a row in place of a kind's (none: empties it); the old row back.
const WebKindOps* WebKindOpsSwap(uint32_t kind, const WebKindOps* ops);
// Every kind's queued redraws (WebObjectOps::flushRedraws), kind by kind.
void WebFlushAllRedraws();
