// objops.h - the per-kind operation table and the generic operations that run
// through it: show, hide, enable, destroy, items, texts, values, state, focus,
// property change and query by request code, methods. A web-view record goes to
// the web-view hook table instead. An empty slot answers -5, no object -3.
#pragma once

#include <cstdint>

#include "objects/objrecord.h"
#include "session/proto/records.h"

enum ObjectOpResult : int32_t {
    kOpOk = 0,
    kOpNoObject = -3,
    kOpBadRect = -4,          // a place or size past the 32-bit coordinates
    kOpNotAvailable = -5,
    kOpNoMemory = -6,
    kOpNoFont = -8,
    kOpUnknownProperty = -35,
    kOpUnknownMethod = -37,
    kOpNoWebView = -52,       // a web object whose view is not answering or gone
};

// A property change as the dispatchers hand it to slot 15.
struct PropChange {
    uint32_t code;              // request code (0 when asked by id)
    uint32_t id;                // property id
    int32_t value;              // integer value, or the text's length
    uint32_t word2;             // second word passed on with texts
    const char* text;           // text value, or null
    uint32_t textLength;
    ObjectRecord* object;       // Color or Font object given with colour and font codes
    uint32_t value2;            // second value (Ovar of code 558, PictPosV of code 512)
    bool redraw;                // set by the handler when the change needs a repaint
    EventItem selector;         // the value item of a Variant's value (kind 0 when none)
    bool allItems;              // the request named the sub-object "buttons": every item of the object
};

// A property query: the dispatcher fills code and id, slot 14 answers.
struct PropQuery {
    uint32_t code;
    uint32_t id;
    uint32_t form;              // wanted result form, 48 = a Color or Font object
    ObjectRecord* fill;         // the object to fill for that form
    int32_t result;             // integer result
    int32_t result2;            // second integer result
    const char* text;           // text result (gTextBuf), null for an integer result
    ObjectRecord* resultObject; // filled object for form 48
    EventItem selector;         // the result variable of a Variant's value (kind 0 when none)
    bool itemAnswer;            // the handler appended the result item: the answer is 1102 {code}
};

// The query slot 14 is answering (null outside one): a kind whose items the
// request may select reads the selector here.
extern const PropQuery* gCurPropQuery;

// The OLE property slot's request: a property change or query by code 0x301,
// or the OLE property message with its DISPID and value.
struct OlePropReq {
    uint32_t dispId;
    MethodCallRec* call;
    EventItem value;
    PropChange* change;
    PropQuery* query;
};

// One row of 19 slots per kind.
struct ObjectOps {
    int32_t (*show)(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) = nullptr;  // 0
    int32_t (*checkItem)(ObjectRecord* rec, int32_t item, int32_t on) = nullptr;          // 1
    int32_t (*hide)(ObjectRecord* rec) = nullptr;                                         // 2
    int32_t (*deleteItem)(ObjectRecord* rec, int32_t item) = nullptr;                     // 3
    int32_t (*destroy)(ObjectRecord* rec) = nullptr;                                      // 4
    int32_t (*enable)(ObjectRecord* rec, int32_t item, int32_t on) = nullptr;             // 5
    void* unused6 = nullptr;                                                              // 6
    int32_t (*getText)(ObjectRecord* rec, int32_t item) = nullptr;                        // 7 text into gTextBuf
    int32_t (*getValue)(ObjectRecord* rec, int32_t item, int32_t* value) = nullptr;       // 8
    int32_t (*insertItem)(ObjectRecord* rec, int32_t pos, const char* text, uint32_t len) = nullptr;  // 9
    int32_t (*setText)(ObjectRecord* rec, int32_t item, const char* text, uint32_t len) = nullptr;  // 10
    int32_t (*setValue)(ObjectRecord* rec, int32_t item, int32_t value) = nullptr;        // 11
    int32_t (*paint)(ObjectRecord* rec, void* dc, int32_t flag) = nullptr;                // 12
    int32_t (*notify)(ObjectRecord* rec, HWND wnd, uint32_t id, uint32_t code) = nullptr;  // 13
    uint32_t (*getProp)(ObjectRecord* rec, uint32_t id) = nullptr;                        // 14 texts in gTextBuf
    int32_t (*setProp)(ObjectRecord* rec, PropChange* req) = nullptr;                     // 15
    int32_t (*method)(ObjectRecord* rec, MethodCallRec* call) = nullptr;                  // 16
    int32_t (*oleProp)(ObjectRecord* rec, OlePropReq* set, OlePropReq* get) = nullptr;    // 17
    int32_t (*imageListReleased)(ObjectRecord* rec, ObjectRecord* imageList) = nullptr;   // 18
};

// Rows by kind; a kind's facility puts its row in at start-up.
extern const ObjectOps* ObjectOpTable[kObjectKindRows];
void RegisterObjectOps(uint32_t kind, const ObjectOps* ops);
const ObjectOps* ObjectOpsOf(const ObjectRecord* rec);

// ---- Generic operations ------------------------------------------------------------
int32_t ObjectActivate(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
int32_t ObjectDeactivate(ObjectRecord* rec);
int32_t ObjectEnable(ObjectRecord* rec, int32_t item);
int32_t ObjectDisable(ObjectRecord* rec, int32_t item);
int32_t ObjectCheckItem(ObjectRecord* rec, int32_t item, int32_t on);
int32_t ObjectDeleteItem(ObjectRecord* rec, int32_t item);
// Text of an item into gTextBuf; the length, or a negative code.
int32_t ObjectGetText(ObjectRecord* rec, int32_t item);
int32_t ObjectGetValue(ObjectRecord* rec, int32_t item, int32_t* value);
int32_t ObjectInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t len);
int32_t ObjectSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t len);
int32_t ObjectSetValue(ObjectRecord* rec, int32_t item, int32_t value);
int32_t ObjectSetState(ObjectRecord* rec, int32_t state, int32_t v1, int32_t v2);
int32_t ObjectSetFocus(ObjectRecord* rec, int32_t item, int32_t unused);
// The generic destroy: hides a shown object (slot 2), reports its Ovar unless
// gDestSuppress is set, drops its registrations and queued events, clears the
// alive flag and runs slot 4, which frees the record.
int32_t ObjectDestroy(ObjectRecord* rec);
int32_t ObjectDestroyFromWeb(int32_t context, ObjectRecord* rec);
// Destroys every child of a container, first first; an ImageList child still
// in use is detached instead (its parent cleared).
void ObjectDestroyChildren(ObjectRecord* container);
// Property change and query by request code through PropertyCodeTable.
int32_t ObjectSetProperty(ObjectRecord* rec, PropChange* req);
int32_t ObjectGetProperty(ObjectRecord* rec, PropQuery* req);
// The properties of the common header.
int32_t ObjectSetCommonProperty(ObjectRecord* rec, uint32_t id, int32_t value, const char* text,
                                uint32_t textLength, bool* redraw);
// The value, or 0 with the text in gTextBuf; *known (when given) is false for
// an id the header does not have (gTextBuf then holds "?????").
int32_t ObjectGetCommonProperty(ObjectRecord* rec, uint32_t id, bool* known = nullptr);
int32_t ObjectInvokeMethod(uint32_t type, ObjectRecord* rec, MethodCallRec* call);
// A method of the CLIENT object (the page services); rec is the object the call
// names, whose page is asked (null: none).
int32_t ObjectInvokeClientMethod(ObjectRecord* rec, MethodCallRec* call);
int32_t ObjectInvokeCommonMethod(uint32_t type, ObjectRecord* rec, MethodCallRec* call);
