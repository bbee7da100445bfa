// ctlcommon.h - what the control kinds share inside this folder: the record of
// a windowed control, its creation and subclassing, the common property
// handling with units, method arguments and the text buffer helpers.
#pragma once

#include <windows.h>

#include <cstdint>

#include "controls/controls.h"
#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/objrecord.h"
#include "session/session.h"
#include "session/util/mem.h"

// The record of every windowed control kind; the kinds use the fields they need.
struct ControlRecord {
    ObjectRecord hdr;
    uint32_t ctlFlags;          // CtlFlag and the kind's own bits
    uint32_t lineLimit;         // edits: lines (1 for a one-line edit)
    uint32_t columnLimit;       // edits: MaxCols
    uint32_t maxChars;
    uint16_t editOptions;       // EditOptionsParse mask
    uint8_t editType;
    uint8_t comboStyle;
    uint32_t groupId;           // check boxes and radio buttons
    int32_t numMin, numMax;     // EditNumber limits
    int32_t numStep;
    uint8_t decimals;
    uint8_t dateFormat;         // EditDateTime Format 1..4
    HWND buddy;                 // EditNumber: its up-down control
    uint32_t nextItemId;        // TreeView: the id of the next node
    uint32_t rowsVisible;
};

enum CtlFlag : uint32_t {
    kCtlNoEvents = 0x1,         // the client is changing the control itself: no $CHANGE
    kCtlSorted = 0x2,
    kCtlCancel = 0x4,
    kCtlDefault = 0x8,
    kCtlReadOnly = 0x10,
    kCtlPassword = 0x20,
    kCtlMultiSelect = 0x40,
    kCtlPrinterList = 0x80,     // DataList: its rows are the printers and "pdf:"
};

// A kind's own look at its control's messages before the shared subclass
// handling: true when it answered the message (*result is returned).
typedef bool (*CtlMsgHook)(ObjectRecord* rec, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

// Creates the control's record and window: a zeroed record of recordSize bytes
// (at least a ControlRecord; kinds with fields of their own put them after it),
// the common header from the creation record, the rectangle converted from the
// window's units to pixels, a control id of the parent, the font, the subclass
// procedure (with the kind's hook, when given); linked to its parent. Null with
// the code (-3 no parent window or no window, -4 rectangle refused, -6 no
// memory, -8 font).
ControlRecord* CtlCreateWindowed(uint8_t kind, ObjectCreateRecord* cr, const char* className, DWORD style,
                                 DWORD exStyle, const char* text, uint32_t textLength, int32_t* code,
                                 uint32_t recordSize = sizeof(ControlRecord), CtlMsgHook hook = nullptr);
// CtlCreateWindowed for a control whose window text is its caption: the
// creation's Title, else its Text.
ControlRecord* CtlCreateCaptioned(uint8_t kind, ObjectCreateRecord* cr, const char* className, DWORD style,
                                  int32_t* code, DWORD exStyle = 0);
// The control's own procedure (the one the subclass replaced), for a kind's
// hook that lets the control handle a message first.
LRESULT CtlCallOldProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
// Shows the control when the creation asked for it (after the kind's own
// set-up); the record, or null with *code -3 when a request taken while it was
// shown destroyed it. Creators return what this returns.
ObjectRecord* CtlFinishCreate(ControlRecord* c, const ObjectCreateRecord* cr, int32_t* code);
// The same for any new object, windowed or not: hidden unless the creation
// asked for it shown, else activated; the record, or null with *code -3.
ObjectRecord* CtlShowCreated(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code);
// Slot 4 of the windowed control kinds.
int32_t CtlDestroy(ObjectRecord* rec);

// ---- Image lists of list and tree views ---------------------------------------------------
// The record of a ListView or TreeView: the image lists it shows (normal,
// small, state; a TreeView uses the first), each holding one use of its list.
constexpr int kCtlImageSlots = 3;
struct CtlListRecord {
    ControlRecord c;
    ObjectRecord* imageLists[kCtlImageSlots];
};
// The image list a property change names (its object, else its handle; 0 is
// none) in *list; false when it names something that is no image list.
bool CtlImageListOf(const PropChange* req, ObjectRecord** list);
// Puts a list into a slot: it gains a use, the one there before is released
// with freeing, and the control is sent the list's handle with message/which
// (LVM_SETIMAGELIST, TVM_SETIMAGELIST).
void CtlImageListSet(ObjectRecord* rec, int slot, ObjectRecord* list, UINT message, WPARAM which);
// Slot 18: the list goes away; the control lets go of it in every slot
// (released without freeing: its owner frees it).
int32_t CtlImageListReleased(ObjectRecord* rec, ObjectRecord* list);
// The list changed (its images or its handle): the control is sent the list's
// current handle again and repainted when it uses the list. True when it does.
bool CtlImageListRefresh(ObjectRecord* rec, ObjectRecord* list);
// At destroy: every list released with freeing.
void CtlImageListsDrop(ObjectRecord* rec);
// The common part of property change and query: geometry in the window's units,
// enabled state, colours, fonts, then the header's properties.
int32_t CtlSetCommonProp(ObjectRecord* rec, PropChange* req);
uint32_t CtlGetCommonProp(ObjectRecord* rec, uint32_t id);
// Posts an event when the object asked for it; the client's own changes post nothing.
void CtlPostEvent(ObjectRecord* rec, uint32_t eventId, int32_t value);
// The window text into gTextBuf (at most the buffer's size); its length.
int32_t CtlWindowTextToBuf(HWND wnd);
// Copies a counted text into gTextBuf; its length.
int32_t CtlSetTextBuf(const char* text, uint32_t length);
// Get text and set text of the kinds whose text is their window text (buttons and
// static captions): only item 0 has a text.
int32_t CtlGetCaption(ObjectRecord* rec, int32_t item);
int32_t CtlSetCaption(ObjectRecord* rec, int32_t item, const char* text, uint32_t len);
// A NUL-terminated copy of a counted text in the local heap; null without memory.
char* CtlCopyText(const char* text, uint32_t length);
// Replaces a local-heap text field with a copy (an empty text for none); false
// without memory (the field is kept).
bool CtlReplaceText(char** field, const char* text, uint32_t length);

// Method arguments by position.
int32_t CtlArgInt(const MethodCallRec* call, uint32_t i, int32_t def);
bool CtlArgGiven(const MethodCallRec* call, uint32_t i);
// A text argument (a number is given as its decimal text); null when absent.
const char* CtlArgText(const MethodCallRec* call, uint32_t i, uint32_t* length);
// Method answers: the result goes to the server as a value or a text.
constexpr uint8_t kReplyKindInt = 8;
int32_t CtlReplyInt(int32_t value);
int32_t CtlReplyText(const char* text);
// Registers the lookup of a type's method numbers 1..last (and the extra ones).
void CtlRegisterMethods(uint32_t objectType, uint32_t last);

// The list family (combo boxes and data lists) share their item handling.
struct ListMsgs {
    UINT addString, insertString, deleteString, getCount, getText, getTextLen, getCurSel, setCurSel,
        resetContent, findString, selectString, getItemData, setItemData, findExact;
};
extern const ListMsgs kComboMsgs;
extern const ListMsgs kListBoxMsgs;
int32_t ListGetItemText(HWND wnd, const ListMsgs& m, int32_t index);
// Replaces the items with the ';'-separated pieces of a text (skipping the first
// piece when skipFirst is set); an empty last piece makes no item.
void ListItemsFromText(HWND wnd, const ListMsgs& m, const char* text, uint32_t length, bool skipFirst);
// The items joined by ';' into gTextBuf, stopping before one that would not fit.
int32_t ListItemsToText(HWND wnd, const ListMsgs& m);
int32_t ListInsertItem(HWND wnd, const ListMsgs& m, bool sorted, int32_t pos, const char* text, uint32_t len);
// Insert item and delete item of a list kind: item 0 deletes them all, item n the nth.
int32_t ListInsertItemOp(ObjectRecord* rec, const ListMsgs& m, int32_t pos, const char* text, uint32_t len);
int32_t ListDeleteItemOp(ObjectRecord* rec, const ListMsgs& m, int32_t item);
void ListRegisterMethods(uint32_t objectType);
int32_t ListMethod(ObjectRecord* rec, const ListMsgs& m, uint32_t objectType, MethodCallRec* call);
