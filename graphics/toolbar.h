// toolbar.h - the records of the native ToolBar (kind 40) and its ToolButtons
// (kind 41) that toolbar.cpp (creation, buttons, properties, methods) and
// toolbarevents.cpp (notifications, window procedure, drop-down menus,
// mnemonics, show and tooltips) share.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>

#include "graphics/bars.h"

// TBFlags bits.
enum ToolBarFlag : uint32_t {
    kTbfClientTips = 0x1,       // the client keeps one tool per button in its window's tooltip control
    kTbfShowTips = 0x2,
    kTbfRelayout = 0x4,         // lay the buttons out again after the next paint
    kTbfButtonsObject = 0x80,   // property changes may name the sub-object "buttons"
};
constexpr uint32_t kTbfSettable = 0xFF;
// Header flag of a bar whose buttons can be dragged off it.
constexpr uint32_t kObjDraggable = 0x200;
// ToolBarAutoSize codes: after a button or property change, after an image
// list, alignment, wrap or arrow change.
enum ToolBarSizeCode : int { kTbSizeButtons = 1, kTbSizeLayout = 17 };
// The Pushed property of a button.
enum ToolBarListSlot : int { kListNormal = 0, kListDisabled = 1, kListHot = 2, kListSlots = 3 };

struct ToolButtonRecord {
    BarItemRecord item;         // flags: alive, pixels, CauseValid, AutoSize
    uint8_t btnStyle;           // ToolBtnStyle 1..6
    uint32_t imageIndex;        // 1-based, 0 none
    uint32_t commandId;
    int32_t tag;
    RECT tipRect;               // the rectangle last given to the button's tool
    char* menuText;
    char* text;
};

struct ToolBarRecord {
    ControlRecord c;
    uint32_t buttonCount;
    BarItemRecord* buttons;
    uint8_t bdrStyle;
    uint8_t downArrow;
    uint8_t showTips;
    uint32_t nextCommandId;
    uint32_t tbFlags;
    ObjectRecord* lists[kListSlots];    // ImageList objects, one use each
    uint16_t btnHeight, btnWidth;
    RECT lastRect;
};

inline ToolBarRecord* AsToolBar(ObjectRecord* rec) { return reinterpret_cast<ToolBarRecord*>(rec); }
inline ToolButtonRecord* AsButton(BarItemRecord* it) { return reinterpret_cast<ToolButtonRecord*>(it); }
inline ToolButtonRecord* AsButton(ObjectRecord* rec) { return reinterpret_cast<ToolButtonRecord*>(rec); }

// ---- toolbar.cpp ---------------------------------------------------------------------------------
ToolButtonRecord* ToolBarButtonById(ToolBarRecord* bar, uint32_t commandId, uint32_t* position);
// The first button of the run of consecutive check-group buttons that holds b
// (none when b is in no group).
BarItemRecord* ToolBarCheckGroupStart(ToolBarRecord* bar, ToolButtonRecord* b);
void ToolBarAutoSize(ToolBarRecord* bar, int code);
// Sets the control's state bits of a button (one TB_SETSTATE).
void ToolButtonSetState(ToolBarRecord* bar, ToolButtonRecord* b, BYTE clear, BYTE set);
BYTE ToolButtonState(ToolBarRecord* bar, ToolButtonRecord* b);
int32_t ToolButtonSetPropValue(ObjectRecord* rec, uint32_t id, int32_t value);

// ---- toolbarevents.cpp ---------------------------------------------------------------------------
int32_t ToolBarNotify(ObjectRecord* rec, HWND wnd, uint32_t id, uint32_t code);
int32_t ToolBarShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
bool ToolBarMsgHook(ObjectRecord* rec, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
// A button click: validation for CauseValid, $CLICK with the command id, then
// $BUTTONCLICK (else $OLDEVENT) with the Tag.
void ToolBarButtonClick(ToolBarRecord* bar, ToolButtonRecord* b);
// The window's hot-key search: true when the key chose a button.
bool ToolBarMnemonic(ObjectRecord* rec, uint32_t key);
// 2 when the focusable-toolbar option is off, else 1 when the bar took the focus.
int32_t ToolBarFocusButton(ToolBarRecord* bar);
// Tooltips of the buttons from position from on (all with 0); with create
// each shown button gets its tool, else moved tools get their new rectangles.
void ToolBarUpdateToolTips(ToolBarRecord* bar, bool create, uint32_t from = 0);
void ToolBarShowAllTips(ToolBarRecord* bar);
void ToolBarRemoveAllTips(ToolBarRecord* bar);
void ToolButtonTipSet(ToolBarRecord* bar, ToolButtonRecord* b, bool replace);
void ToolButtonTipRemove(ToolBarRecord* bar, ToolButtonRecord* b);
// Whether the window the bar is on has a tooltip control.
bool ToolBarWindowHasTips(ToolBarRecord* bar);
