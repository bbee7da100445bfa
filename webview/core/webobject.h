// webobject.h - objects whose window renders in a web view: the window record,
// the process-wide lists, creation, windows, layout, the generic operations on
// records, and the Color and Font objects of the web-view mode. Platform-free:
// what needs the session or the window layer comes through gWebObjServices.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct FontRec;
struct PropChange;
struct PropQuery;

// ---- Services from the rest of the client ------------------------------------------
struct WebObjServices {
    int (*checkMethod)(uint32_t objectType, const MethodCallRec* call);  // CheckMethodCall
    void (*replyInt)(int32_t value, uint8_t kind);                       // SetReplyInt
    void (*replyText)(const char* text);                                 // SetReplyText
    FontRec** fontList;                                                  // the shared font list
    void (*fontRelease)(FontRec* font);                                  // FontRelease
    int* fontErrNo;                                                      // gFontErrNo
    void (*windowFormMethod)(ObjectRecord* window, MethodCallRec* call, int32_t* result);  // methods 13, 27, 46, 48
    void (*formRefreshChildren)(ObjectRecord* first);                    // status bars, number edits, splitters
    void (*windowLayout)(ObjectRecord* hostWindow);                      // the native layout of a host window
    void (*endProgram)();                                                // the main web window closed
    int32_t (*focusNext)(ObjectRecord* from, bool backward);             // FocusNextObject
};
extern WebObjServices gWebObjServices;

constexpr uint8_t kWebReplyKind = 1;      // result kind of the web objects' method answers
constexpr int32_t kWebNoAnswer = INT32_MIN;

// ---- Result codes ----------------------------------------------------------------------
enum WebResult : int32_t {
    kWebOk = 0,
    kWebNotCreated = -3,
    kWebRectRefused = -4,
    kWebNotAvailable = -5,
    kWebNoMemory = -6,
    kWebNoFont = -8,
    kWebNotSupported = -9,
    kWebNotModalLevel = -16,
    kWebUnknownProperty = -35,
    kWebUnknownMethod = -37,
    kWebNoHost = -52,
    kWebModalEnd = 21761,
};

// ---- Color and Font objects ------------------------------------------------------------
struct WebColorRec {
    ObjectRecord hdr;
    uint32_t value;        // COLORREF; top bit set: an index into the colour table
};
struct WebFontObj {
    ObjectRecord hdr;
    FontRec* font;
};
constexpr uint32_t kObjKept = 0x800000;    // flag bit 23: spared by the destroy-all routines
constexpr uint32_t kColorNoComponent = 65535;
constexpr uint32_t kHsvScale = 255;        // hue and saturation travel as bytes 0-255

extern ObjectRecord* gWebColorList;
extern ObjectRecord* gWebFontObjList;

ObjectRecord* WebColorCreate(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* WebColorAlloc();
void WebColorDestroy(ObjectRecord* rec);
void WebClrDestroyAll();
uint32_t WebColorGetValue(const ObjectRecord* rec, uint32_t part);
void WebColorSetValue(ObjectRecord* rec, uint32_t part, uint32_t value);
int32_t WebColorMethod(ObjectRecord* rec, MethodCallRec* call);

ObjectRecord* WebFontCreate(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code);
FontRec* WebFontFind(const char* face, int32_t size, uint8_t bold, uint8_t italic, uint8_t underline,
                     uint8_t strike, uint32_t angle);
FontRec* WebFontFromSpec(const char* text, int32_t length);
ObjectRecord* WebFontObjAlloc(FontRec* font);
void WebFontDestroy(ObjectRecord* rec);
void WebFontDestroyAll();
// Font property codes 267 bold, 294 italic, 519 underline, 520 strike, 518
// angle, 324 size, 287 face (or, for an object-valued query, a Font object).
int32_t WebFontGetProp(ObjectRecord* rec, PropQuery* req);
int32_t WebFontSetProp(ObjectRecord* rec, const PropChange* req);
int32_t WebFontMethod(ObjectRecord* rec, MethodCallRec* call);
void WebFontRelease(FontRec* font);
// The reason of the last failed font lookup (21, 24-30).
int WebFontErrNo();
// Hue in degrees, saturation 0-1, value 0-255 (the formulas' ranges).
void HsvToRgb(double hue, double sat, double value, double* r, double* g, double* b);
void RgbToHsv(double r, double g, double b, double* hue, double* sat, double* value);
bool StrEqualNoCase(const char* a, const char* b);

// ---- Method arguments ----------------------------------------------------------------
bool WebArgGiven(const MethodCallRec* call, uint32_t i);
int32_t WebArgInt(const MethodCallRec* call, uint32_t i, int32_t def);
int32_t WebReplyInt(int32_t value);
int32_t WebReplyText(const char* text);
int32_t WebCheckMethod(uint32_t objectType, const MethodCallRec* call);
