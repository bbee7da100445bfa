// webprops.h - property change and query of web-view objects: the dispatchers
// the object model calls, the kinds' property handlers by kind, the record
// changes and answers common to every kind, and the page writes that follow.
#pragma once

#include <cstdint>

#include "objects/objrecord.h"
#include "session/proto/records.h"

struct PropChange;
struct PropQuery;

// A kind's property handlers (slots of its row in the web kind table). The change answers kWebNotAvailable (-5) for an
// id it leaves to the common change; it clears *commonWrite when it wrote the
// page itself. The query answers kWebNotAvailable for an id it leaves to the
// common query, else fills *result or points *text at its text.
typedef int32_t (*WebSetPropFn)(ObjectRecord* rec, uint32_t id, int32_t value, const char* text,
                                uint32_t length, bool* commonWrite);
typedef int32_t (*WebGetPropFn)(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);

// A kind whose items a property request may select (a status bar's panels):
// the item the request's selector names (names of at most nameMax bytes), the
// record itself when the request carries no selector, none when it names no
// item (the request then goes on as the unknown id 999).
typedef ObjectRecord* (*WebItemRouteFn)(ObjectRecord* rec, const EventItem& selector, uint32_t nameMax);

// The object model's property change and query of a web-view record.
int32_t WebSetProp(ObjectRecord* rec, const PropChange* req);
int32_t WebGetPropGeneric(ObjectRecord* rec, PropQuery* req);
// The request WebSetProp or WebGetPropGeneric is answering (none outside
// them): kinds with items read its item selector.
extern const PropChange* gWebPropChange;
extern const PropQuery* gWebPropQuery;
// By property id, as the form writers ask: the kind's answer, else the common one.
int32_t WebGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
// A change by property id (values already in pixels): the kind's change,
// else the common one, and the common page write where it follows.
int32_t WebSetPropById(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length);

// The record changes common to every kind; *changed is set where the common
// page write must follow.
int32_t WebDefaultSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                          bool* changed);
// The answers common to every kind; a text the record does not have reads "?????".
int32_t WebDefaultGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
// The page write of a property id after the record changed. oldColor is the
// colour the record held before a colour change (its class is replaced).
void WebCommonPageWrite(ObjectRecord* rec, uint32_t id, const char* text, uint32_t oldColor);

// A COLORREF (red in the low byte) as 0xRRGGBB; a system colour index (top bit
// set, index below 21) is looked up in the system colour table first.
uint32_t ColorRefToRgb(uint32_t color);
// "'>Face'(10.5,A90,BOLD)": the font text of a record's font into out.
void WebFontText(const FontRec* font, char* out, size_t outSize);

// Colour values from here on name a colour class of the markup writer.
constexpr uint32_t kWebColorClassBase = 0x80000100;
constexpr uint32_t kWebColorClassLast = 0x80000108;
constexpr uint32_t kSysColorBit = 0x80000000;
constexpr uint32_t kSysColorCount = 21;
constexpr uint32_t kUnknownTextLength = 5;
