// webdatetime.h - the date-time edit in the web view: the picker's format,
// colours and options kept by the client; the value and the date limits held
// by the page, the limits asked for once and kept.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct WebEditDateTimeRecord {
    ObjectRecord hdr;
    uint32_t flags;            // WebDateFlag bits
    uint32_t colors[5];        // CalFgColor, CalBgColor, TitleBgColor, TitleFgColor, TrailingColor
    char* customFormat;
    uint8_t customActive;      // Format 4
    uint8_t forwardPending;
    uint8_t showCheckBox;
    uint8_t showUpDown;
    uint8_t format;            // 1-4
    uint8_t dropDownAlign;     // 1 or 2
    uint8_t checked;
    char minDate[9];           // "YYYYMMDD" of the page's limit, empty until asked
    char maxDate[9];
};

enum WebDateFlag : uint32_t { kDtAutoEnter = 0x40, kDtUtc = 0x2000, kDtUtc2 = 0x4000, kDtAutoForward = 0x8000 };
constexpr uint32_t kDateColorCount = 5;

// The client's UTC option: 1 UTC mode, 2 UTC mode 2; 0 (the default) none.
extern uint8_t gWebUtcOption;

inline WebEditDateTimeRecord* WebDateTime(ObjectRecord* rec) { return reinterpret_cast<WebEditDateTimeRecord*>(rec); }

ObjectRecord* WebEditDateTimeCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                    int32_t* code);
int32_t WebEditDateTimeSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                               bool* commonWrite);
int32_t WebEditDateTimeGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebEditDateTimeMethod(ObjectRecord* rec, MethodCallRec* call);
void WebEditDateTimeInstall();
