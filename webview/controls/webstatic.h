// webstatic.h - static text, group box and label text in the web view: kinds
// that show a text the record keeps and hold no value of their own.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

// The three records begin alike: the text right after the header, so that
// one destroy step frees it for all of them.
struct WebStatTextRecord {
    ObjectRecord hdr;
    char* text;
    uint8_t mnemonic;
    uint8_t alignment;         // 1, 2, 3
    uint8_t backStyle;         // 1 when none is given
    uint8_t useAltKey;
};
struct WebGroupBoxRecord {
    ObjectRecord hdr;
    char* caption;
    uint8_t backStyle;
};
struct WebLabelTextRecord {
    ObjectRecord hdr;
    char* text;
    uint8_t mnemonic;
    uint8_t alignment;
    uint8_t wordWrap;
    uint8_t useAltKey;
    uint8_t style;             // Appearance: how the text is rendered (WebLabelStyle)
    uint8_t clickAsked;        // an alert label asked the page for its clicks (once)
};

// Label text appearances (the header's Appearance byte).
enum WebLabelStyle : uint8_t {
    kLtFlat = 1, kLtPlain = 2, kLtList = 3, kLtHeading = 4, kLtParagraph = 5, kLtBreaks = 6, kLtAlertClose = 7,
};
constexpr uint32_t kLabelTextMax = 4096;

ObjectRecord* WebStatTextCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code);
ObjectRecord* WebGroupBoxCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code);
ObjectRecord* WebLabelTextCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                 int32_t* code);
int32_t WebStatTextGetText(ObjectRecord* rec, int32_t item);
int32_t WebStatTextSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length);
// The caption into gTextBuf.
int32_t GroupBoxGetText(ObjectRecord* rec, int32_t item);
int32_t WebGroupBoxSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length);
int32_t WebLabelTextGetText(ObjectRecord* rec, int32_t item);
int32_t WebLabelTextSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length);
int32_t WebStatTextSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite);
int32_t WebStatTextGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebGroupBoxSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite);
int32_t WebGroupBoxGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebLabelTextSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                            bool* commonWrite);
int32_t WebLabelTextGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
// Frees the text of any of the three.
void WebGroupBoxDestroy(ObjectRecord* rec);
int32_t WebStatTextMethod(ObjectRecord* rec, MethodCallRec* call);
void WebStaticInstall();
