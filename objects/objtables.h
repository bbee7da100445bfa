// objtables.h - the object model's name and number tables: object kinds and
// types, property names, ids and codes, the properties each kind accepts, event
// names and handler prefixes, and the events each kind offers in forms.
#pragma once

#include <cstdint>

#include "objects/kindcodes.h"

// ---- Object kinds (the first byte of every record) ---------------------------
enum ObjectKind : uint8_t {
    kKindNone = 0, kKindButton = 1, kKindCheckBox = 2, kKindCheckGrp = 3, kKindDataList = 4,
    kKindDialog = 5, kKindEditText = 6, kKindIcon = 7, kKindMenu = 8, kKindMRegion = 9,
    kKindMovie = 10, kKindPict = 11, kKindComboBox = 12, kKindRadio = 13, kKindRadioGrp = 14,
    kKindStatText = 15, kKindSubMenu = 16, kKindTimer = 17, kKindColor = 18, kKindFont = 19,
    kKindGroupBox = 20, kKindProgress = 21, kKindHScrollBar = 22, kKindVScrollBar = 23,
    kKindFloatMenu = 24, kKindWindow = 25, kKindShape = 26, kKindTabControl = 27, kKindSlider = 28,
    kKindCollection = 29, kKindLine = 30, kKindContainer = 31, kKindControl = 32,
    kKindAutomation = 33, kKindVariant = 34, kKindImageList = 35, kKindListView = 36,
    kKindTreeView = 37, kKindStatusBar = 38, kKindStatusPanel = 39, kKindToolBar = 40,
    kKindToolButton = 41, kKindSplitter = 42, kKindPanel = 43, kKindEditNumber = 44,
    kKindEditDateTime = 45, kKindLabelText = 46, kKindAnimate = 47, kKindMenuItem = 48,
    kKindRichEditText = 49, kKindNetObject = 50, kKindNetControl = 51, kKindHtmlControl = 52,
};
constexpr uint32_t kObjectKindLast = 52;
constexpr uint32_t kObjectKindRows = 60;     // tables by kind keep rows 53-59 reserved

// ---- Object types (the server's type codes) -----------------------------------
enum ObjectType : uint32_t {
    kTypeButton = 1, kTypeCheckbox = 2, kTypeCheckgrp = 3, kTypeDatalist = 4, kTypeDialog = 5,
    kTypeEdittext = 6, kTypeIcon = 7, kTypeMenu = 8, kTypeMRegion = 9, kTypeMovie = 10,
    kTypePict = 11, kTypePopupmenu = 12, kTypeRadiogrp = 13, kTypeRadio = 14, kTypeSubmenu = 15,
    kTypeStattext = 16, kTypeTimer = 17, kTypeColor = 18, kTypeFloatmenu = 19, kTypeFont = 20,
    kTypeGroupbox = 21, kTypeImagelist = 22, kTypeListview = 23, kTypeProgress = 24,
    kTypeHscrollbar = 25, kTypeVscrollbar = 26, kTypeStatusbar = 27, kTypeTreeview = 28,
    kTypeToolbar = 29, kTypeWindow = 30, kTypeCombobox = 31, kTypeShape = 32, kTypeSlider = 33,
    kTypeTabcontrol = 34, kTypeCollection = 35, kTypeQoform = 36, kTypeLine = 37,
    kTypeAutomation = 38, kTypeContainer = 39, kTypeControl = 40, kTypeVariant = 41,
    kTypeSplitter = 46, kTypePanel = 47, kTypeEditNumber = 48, kTypeEditDateTime = 49,
    kTypeLabelText = 50, kTypeAnimate = 51, kTypeRichEditText = 53, kTypeNetObject = 55,
    kTypeNetControl = 56, kTypeClient = 57, kTypeHTMLControl = 60, kTypeAutomation2 = 100,
};
constexpr uint32_t kObjectTypeLast = 100;
constexpr int kNoKind = -1;

// The kind of a server type code, or kNoKind for a code without one.
int ObjectTypeToKind(uint32_t type);
// The type code the server uses for a kind (the first type that maps to it), 0 when none.
uint32_t ObjectKindToType(uint32_t kind);
// "- Button" for kind 1; "" for a reserved row or a kind out of range.
const char* ObjectKindName(uint32_t kind);
// The kind whose name (without "- ") equals name, case ignored; kNoKind when none.
int ObjectKindFromName(const char* name);
// "Button" for type 1; null for a type without a name.
const char* ObjectTypeName(uint32_t type);

extern const char* const ObjectKindNames[kObjectKindRows];
extern const char* const ObjectTypeNames[kObjectTypeLast + 1];
extern const int8_t ObjectTypeKindMap[kObjectTypeLast + 1];   // -1: no kind

// ---- Properties ------------------------------------------------------------------
constexpr uint32_t kPropIdLast = 363;
constexpr uint32_t kPropIdCount = 364;       // row width of gKindPropMatrix
constexpr uint16_t kPropTableEnd = 0xFFFF;

struct PropNameRow {
    const char* name;
    uint16_t id;
};
// The property names in table order; a row with a null name is an id whose name
// this client does not know. Ended by id kPropTableEnd.
extern const PropNameRow PropertyNameTable[];
extern const PropNameRow FormCommonPropTable[];
extern const uint16_t CommonPropTable[];     // 0-terminated: the 17 ids every control accepts

enum PropValueKind : uint16_t {
    kPvInteger = 1,
    kPvText = 2,
    kPvTextOrEmpty = 3,
    kPvColor = 769,
    kPvFont = 770,
};
struct PropCodeRow {
    uint32_t code;
    uint16_t id;
    uint16_t valueKind;
};
// Request codes 257-617 of the property change and query messages; ended by code 0.
extern const PropCodeRow PropertyCodeTable[];

// Property codes that the dispatchers treat on their own.
enum PropCode : uint32_t {
    kPcAlignment = 257, kPcBdrColor = 263, kPcBgColor = 266, kPcEditOptions = 283, kPcFgColor = 284,
    kPcFillColor = 285, kPcFont = 287, kPcHeight = 289, kPcLeft = 295, kPcNoResize = 314,
    kPcTop = 338, kPcWidth = 342, kPcVisible = 366, kPcObjectArg1 = 369, kPcObjectArg2 = 370,
    kPcParentWin = 400, kPcMaskColor = 405, kPcRunName = 463, kPcPictPos = 512,
    kPcWindow = 529, kPcOvar = 558, kPcInvalid = 769,
};

// The id of a property name, case ignored; the first row wins for the names the
// table holds twice. 0 when unknown.
uint16_t PropertyIdFromName(const char* name);
// The name of an id, or null.
const char* PropertyNameFromId(uint32_t id);
// The row of a request code, or null.
const PropCodeRow* PropertyCodeLookup(uint32_t code);

// The property ids a kind accepts, 0-terminated; null for a kind out of range.
const uint16_t* KindPropList(uint32_t kind);
// gKindPropMatrix[kind][id] is non-zero where the kind accepts the id; built by
// ObjectSetupTables from KindPropLists.
extern uint8_t gKindPropMatrix[kObjectKindRows][kPropIdCount];
bool KindHasProp(uint32_t kind, uint32_t id);
void ObjectSetupTables();

// ---- Events ---------------------------------------------------------------------
struct EventNameRow {
    const char* name;
    uint32_t id;
};
extern const EventNameRow EventNameTable[];   // ended by a null name
constexpr uint32_t kEventPrefixCount = 33;      // event ids 0-32
extern const char* const EventHandlerPrefixes[kEventPrefixCount];
extern const char* const kJQueryEventPrefix;
// KindEventTable[kind] bit n: the kind offers event id n (0-32) in forms.
extern const uint64_t KindEventTable[kObjectKindRows];

// "$CLICK" for 4; null when the id has no name here.
const char* EventNameFromId(uint32_t id);
// The id of "$CLICK" etc. (case ignored); -1 when unknown.
int32_t EventIdFromName(const char* name);
// The event id of a handler name as forms write it ("Click", "JQueryEvent"); -1 when unknown.
int32_t EventIdFromHandlerName(const char* name);
