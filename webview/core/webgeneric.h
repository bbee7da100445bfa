// webgeneric.h - the generic operations of web-view objects routed by kind:
// item texts and values (asked of the page where the page holds them), item
// insert, delete and check, methods, the common methods every object has,
// the focus, and the files chosen in file-input buttons.
#pragma once

#include <cstdint>

#include "objects/objrecord.h"
#include "session/proto/records.h"
#include "session/util/json.h"

// The kind's item operations are slots of its row in the web kind table
// (webkinds.h); an empty slot answers -5.

int32_t WebGetText(ObjectRecord* rec, int32_t item);
int32_t WebGetValue(ObjectRecord* rec, int32_t item, int32_t* value, bool keep);
int32_t WebSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length);
int32_t WebSetValue(ObjectRecord* rec, int32_t item, int32_t value);
int32_t WebInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length);
int32_t WebDeleteItem(ObjectRecord* rec, int32_t item);
int32_t WebCheckItem(ObjectRecord* rec, int32_t item, int32_t on);
int32_t WebCallMethod(ObjectRecord* rec, MethodCallRec* call);
int32_t WebStyleMethod(ObjectRecord* rec, MethodCallRec* call);
// The keyboard focus to an object (item -1 or -4 on a window: the first or
// last object in tab order); the page reports the new focus back.
int32_t WebSetFocus(ObjectRecord* rec, int32_t item);
// The tab-order step: true when the object took the focus. With tabsOnly the
// step stays inside an HTML control's page: true when the control moved its
// focus to its next (or previous) element by tab id.
bool WebTryFocus(ObjectRecord* rec, bool backward, bool tabsOnly);
// The next (or previous) object in tab order of the object's window (none:
// the window in front) takes the focus; false when none could.
bool WebFocusNextObject(ObjectRecord* from, bool backward);
// Set while a focus request of the server is being carried out.
extern bool gWebFocusRequested;

// A page reply's value: "val" when present, else "data"; "true" and "false"
// texts count as 1 and 0.
int32_t WebReplyValue(const JsonValue* reply);

// ---- Files chosen in file-input buttons ----------------------------------------------
struct WebChosenFile {
    WebChosenFile* next;
    uint32_t elementId;
    uint32_t index;
    uint32_t number;
    uint32_t secondOffset;     // the second text's offset in texts: the name's length + 1
    char texts[1];             // name, NUL, second text, NUL
};
extern WebChosenFile* gWebChosenFiles;
// The page's 99984 event of a file button: the earlier entries go, one entry per file.
void WebButtonFilesChosen(ObjectRecord* button, const JsonValue* ev);
uint32_t WebButtonFileCount(ObjectRecord* button);
// parts: bit 0 the name, bit 1 the second text, bit 2 the number, joined by '|', into gTextBuf.
void WebButtonFileItem(ObjectRecord* button, uint32_t index, uint32_t parts);
void WebButtonFilesFree(ObjectRecord* button);
// The header flag of a button holding chosen files.
constexpr uint32_t kButtonFilesMark = 0x40000;
