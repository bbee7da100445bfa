// crstream.h - the creation record of the object being created and the decoder
// of creation streams (from create requests and form files) that fills it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/objtables.h"

struct ObjectRecord;

// Flag word 0.
constexpr uint32_t kCrVisible = 0x1;
constexpr uint32_t kCrDisabled = 0x2;
constexpr uint32_t kCrSorted = 0x4;
constexpr uint32_t kCrAltParent = 0x20;
constexpr uint32_t kCrDialog = 0x40000000u;
constexpr uint32_t kCrModal = 0x80000000u;
// Flag word 1.
constexpr uint32_t kCr1Border = 0x1;
constexpr uint32_t kCr1NoLoad = 0x2;
constexpr uint32_t kCr1CauseValid = 0x8;

// A text of the stream: it points into the stream, which outlives the creator call.
struct CrText {
    const char* text;
    uint32_t length;
};
// A colour: a Color object, or a value (-1 inherit).
struct CrColor {
    ObjectRecord* object;
    int32_t value;
};
// A property given by name (NetObject, NetControl), or an XML value.
struct CrNamed {
    const char* name;       // NUL-terminated inside the stream
    uint32_t nameLength;    // without the NUL
    const uint8_t* data;
    uint32_t length;
    bool xml;               // written in the 0xE000/0xF000 form
};
constexpr uint32_t kCrMaxNamed = 32;

struct ObjectCreateRecord {
    uint32_t flags0;
    uint32_t flags1;
    int32_t top, bottom, left, right;   // bottom = top + Height, right = left + Width, in the stream's units
    int32_t height, width;
    uint32_t window;                    // handle, form index or record of the parent; 0 or -1 none
    ObjectRecord* windowRec;            // the parent once the caller resolved it
    bool windowResolved;                // windowRec is final, even when none
    uint16_t dropId;
    uint32_t helpId;
    uint16_t zOrder;
    CrColor bdrColor, bgColor, fgColor;
    int32_t style;                      // Style/Appearance, 0 when not given
    int32_t appearance;
    int32_t tabId;
    CrText title;                       // caption (Title)
    CrText text;                        // Text
    CrText name;                        // Name
    uint32_t winStyle;                  // creation style bits of windows
    uint16_t objectId;
    int32_t winType;
    int32_t autoRedraw;
    int32_t scrollBar;
    uint32_t ovar;
    int32_t winPos;
    int32_t units;
    int32_t gridAlign, gridSizeV, gridSizeH;
    int32_t rightToLeft;                // -1 inherit
    int32_t dock;                       // 3 default
    int32_t anchor;                     // 7 default
    uint32_t osEventMask;
    int32_t destroyGlobal;              // 1 default
    int32_t minWidth, minHeight;
    CrText theme;
    CrText webClass, webHeight, webWidth, webTop, webLeft;
    int32_t webPosition;
    int32_t webMode;
    int32_t webObject;
    int32_t context;
    // Windows.
    int32_t winBorder, inTaskbar, topmost, autoScroll, minScrollV, minScrollH;
    int32_t mdiBorder, mdiScroll, mdiTop, mdiLeft, mdiHeight, mdiWidth;
    int32_t dockPadL, dockPadR, dockPadT, dockPadB;
    CrText ribDll, ribName;
    int32_t ribMode;
    int32_t showWebMenu;
    CrText useCss, divisionId;
    // Buttons.
    int32_t buttonType;
    CrText toolTip, runName, userData, helpTopic;
    // Container and Control.
    CrText classId;
    int32_t storeId, autoAct, sizeMode, autoVerb, backStyle, displayType, oleDrop, oleTypeA;
    CrText hostName, sourceDoc;
    int32_t updateOpt;
    void* oleStore;                     // OleStoreInfo of the saved OLE data: form loading fills it, null for 1401
    // Automation.
    CrText clsid;
    int32_t adviseKey;
    CrText remServer;
    // HtmlControl.
    CrText innerHtml;
    int32_t codePage;
    // Variant.
    int32_t varType, varPtr;
    // Every numeric record by id, and whether it was given, for the kinds'
    // own properties; every text record by id.
    int32_t values[kPropIdCount];
    uint8_t given[kPropIdCount];
    CrText texts[kPropIdCount];
    CrNamed named[kCrMaxNamed];
    uint32_t namedCount;
    uint32_t namedDropped;              // named records beyond kCrMaxNamed
    uint32_t fileVersion;
    uint32_t decodeFlag;
};

// The one creation record of the object being created.
extern ObjectCreateRecord gObjectCreateRecord;

// Clears the record and sets the defaults (colours inherit, Dock 3, Anchor 7,
// DestroyGlobal 1, RightToLeft inherit, Enabled).
void CreateRecordReset(ObjectCreateRecord* cr);
// Clears and defaults cr, then fills it from one object's creation stream. The
// file version is kept for the kinds (older layouts differ only in what the kinds
// read). False on a malformed stream: a record that runs past the end, a text
// or named record whose length does not fit, a zero-length name.
bool DecodeFormCrStream(const uint8_t* stream, size_t size, uint32_t fileVersion, uint32_t flag,
                        ObjectCreateRecord* cr);
// A numeric property of the stream, or def when it was not given.
int32_t CreateRecordValue(const ObjectCreateRecord* cr, uint32_t id, int32_t def);
// A text property of the stream (empty when not given).
CrText CreateRecordText(const ObjectCreateRecord* cr, uint32_t id);
// A Line's end points X1, Y1, X2, Y2. A form's stream gives them as 93-96
// (its rectangle fields hold the line's box, widened by its border); when it
// gives none of them, the rectangle fields carry them, as a create request
// gives them: left X1, top Y1, the width field X2, the height field Y2.
void CreateRecordLineEnds(const ObjectCreateRecord* cr, int32_t ends[4]);
// Where a list kind's creation takes its ';'-separated items from: the
// creation text (Text, else Title) when it holds an item after its first
// piece, which is the object's own text (*skipFirst true); otherwise the item
// text of dataId when given, every piece an item (*skipFirst false). A saved
// form holds the own text and the items apart, so an own text alone must not
// hide the items. No text at all: the creation text as it is (may be none).
CrText CreateRecordItemText(const ObjectCreateRecord* cr, uint32_t dataId, bool* skipFirst);
