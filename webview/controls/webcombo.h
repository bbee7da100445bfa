// webcombo.h - the combo box in the web view: the item list the client keeps,
// mirrored to the page's select element with action 16, and the selection
// the page holds.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct ComboItem {
    ComboItem* next;
    int32_t value;             // GetItemData / SetItemData
    char* text;
};

struct WebComboBoxRecord {
    ObjectRecord hdr;
    char* currentText;         // the combo box's own text (get text of item 0)
    uint16_t flags;            // WebComboFlag bits
    uint8_t comboStyle;
    uint8_t onPage;            // the element exists: item changes go to the page
    uint32_t comboFlags;       // the mask of SetCBFlags
    uint32_t rowsVisible;
    uint32_t ownBgRef;
    int32_t ownBgValue;
    uint8_t creationItemCount;
    uint32_t horzExtent;
    char* cueText;
    uint32_t itemCount;
    ComboItem* first;
};

enum WebComboFlag : uint16_t {
    kCbSorted = 0x1, kCbScrollV = 0x2, kCbScrollH = 0x4, kCbOwnBg = 0x8, kCbScrollHide = 0x10,
};
constexpr uint32_t kComboItemsMax = 65000;
constexpr uint32_t kComboMarkupOffset = 300;   // where the joined items wait in gTextBuf for the markup

inline WebComboBoxRecord* WebCombo(ObjectRecord* rec) { return reinterpret_cast<WebComboBoxRecord*>(rec); }

// The item list (positions 0-based). Insert: position or -1 for the end;
// -2 full or no memory, -1 bad position, else the position.
int32_t ComboItemInsert(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length, int32_t value);
int32_t ComboItemDelete(ObjectRecord* rec, int32_t n);
ComboItem* ComboItemTake(ObjectRecord* rec, int32_t n, bool unlink);
uint32_t ComboItemCount(ObjectRecord* rec);
int32_t ComboItemFind(ObjectRecord* rec, int32_t start, const char* text, uint32_t length, bool prefix);
int32_t ComboItemInsertAt(ObjectRecord* rec, int32_t n, const char* text, uint32_t length);
void ComboItemsFromText(ObjectRecord* rec, const char* text, uint32_t length, bool firstPiece);
uint32_t ComboItemsToText(ObjectRecord* rec, uint32_t offset);
int32_t ComboItemAdd(ObjectRecord* rec, const char* text, uint32_t length);
int32_t ComboItemAddEx(ObjectRecord* rec, const char* text, uint32_t length, uint32_t flags, char delimiter);

// Item n (1-based, 0 none) selected on the page.
void WebComboBoxSelect(ObjectRecord* rec, int32_t n);
// The page's selection, 0-based (-1 none).
int32_t WebComboBoxAskSelection(ObjectRecord* rec);

ObjectRecord* WebComboBoxCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code);
int32_t WebComboBoxSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite);
int32_t WebComboBoxGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebComboBoxMethod(ObjectRecord* rec, MethodCallRec* call);
void WebComboBoxInstall();
