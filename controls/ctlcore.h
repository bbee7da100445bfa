// ctlcore.h - the platform-free helpers of the text, list and menu controls:
// the shared edit text and tab buffers, the conversion of program text to
// edit-control text and back, the edit option letters, and the parser of one
// item of a menu definition text.
#pragma once

#include <cstdint>

#include "session/util/qovtypes.h"

// ---- Edit text ------------------------------------------------------------------
// The program's own line break inside a text.
constexpr uint8_t kProgramLineBreak = 127;
// The largest column limit (MaxCols when none is given).
constexpr uint32_t kEditColumnsMax = 32000;
constexpr uint32_t kTabStop = 8;
// Texts are never made longer than this (the session's message limit).
constexpr uint32_t kEditTextMax = 16u * 1024 * 1024;

// The shared edit text buffer: control text made by EditTextFormatLines and
// program text made by EditTextFromControl; NUL-terminated, gEditTextLen bytes.
extern char* gEditTextBuf;
extern uint32_t gEditTextSize;
extern uint32_t gEditTextLen;
// The tab-expansion buffer.
extern char* gEditTabBuf;
extern uint32_t gEditTabSize;

// Makes the shared edit buffer hold size bytes (and a NUL); false when it cannot.
bool EditTextBufferEnsure(uint32_t size);
// Makes the tab buffer large enough for a text of length bytes whose tabs all
// expand to 8-column stops; false when it cannot.
bool EditTabBufferEnsure(uint32_t length);
// Makes the tab buffer hold bytes bytes (and a NUL), as a control's text is
// read into it; false when it cannot.
bool EditTabBufferHold(uint32_t bytes);
// Copies program text into the edit buffer as control text: byte 127, CR LF and
// a lone LF become CR LF. At most lineLimit lines are kept and each line is cut
// at columnLimit bytes (0 for either: no limit). False when the buffer cannot grow.
bool EditTextFormatLines(const char* text, uint32_t length, uint32_t lineLimit, uint32_t columnLimit);
// The reverse for get text: control text into the edit buffer as program text,
// each CR LF (or lone LF) becoming byte 127. False when the buffer cannot grow.
bool EditTextFromControl(const char* text, uint32_t length);
// Expands tabs of a text to blanks at 8-column stops into the tab buffer
// (columns restart after a line break); the length, or -1 without memory.
int32_t EditTabsExpand(const char* text, uint32_t length);
void EditBuffersFree();

// Edit option letters: the first six characters, 'Y' or 'y' each setting a bit.
constexpr uint16_t kEditOptionsDefault = 0x0058;
uint16_t EditOptionsParse(uint32_t count, const char* text);

// ---- Menus of either mode ---------------------------------------------------------
struct ObjectRecord;
struct ObjectCreateRecord;
// The menu made last, of either mode: the MenuItem rows of a form that follow
// it go into it.
extern ObjectRecord* gMenuMadeLast;
// A form's MenuItem row for a menu of the web view goes to
// WebObjectOps::menuItemCreate.

// ---- Menu definition text --------------------------------------------------------
constexpr uint32_t kMenuItemTextSize = 256;     // 255 bytes of text and the NUL

// What MenuParseItemText leaves of the item it parsed.
struct MenuItemParse {
    char text[kMenuItemTextSize];
    uint32_t length;
    bool separator;
    bool enabled;           // cleared by a '(' mark
    uint8_t shortCut;       // 0..132
    uint8_t specialMenu;    // 0..6
    uint8_t mergeCode;      // 0..3 ('<L', '<M', '<R'): the menu group
    bool windowList;
    uint32_t helpNumber;
    char helpTopic[kMenuItemTextSize];
};
extern MenuItemParse gMenuItem;
// The menu groups a menu's merge code or MergeType names when an in-place
// object merges menus: 1 File, 2 Container, 3 Window (0: not merged).
constexpr int32_t kMenuMergeGroupMax = 3;

// Parses one item of a menu definition ("&File;(Save;-;") from text, of which
// remaining bytes are left; the bytes consumed (the ';' that ends the item
// included). With insertMnemonics the '&' marks stay in the text for a native
// menu to underline ("&&" stays doubled); without, they are dropped ("&&"
// gives '&'). The item lands in gMenuItem.
uint32_t MenuParseItemText(const char* text, uint32_t remaining, bool insertMnemonics);
// Menu base numbers, one per menu of either mode: 100, 200, .. 29000; a
// menu's items are numbered base + 1 + position, so a menu holds at most 99.
constexpr uint32_t kMenuBaseSlots = 290;
constexpr uint16_t kMenuBaseStep = 100;
constexpr uint32_t kMenuItemsMax = kMenuBaseStep - 1;
// The first free base number; 0 when all 290 are in use (a further menu
// would share a number block with another).
uint16_t MenuBaseAlloc();
// Frees a base number; numbers that no slot gave out are ignored.
void MenuBaseFree(uint16_t base);
// What GetItemState answers of an item: 3 when disabled, + 8 when checked,
// + 0x1000 when default; GetItemType: 0x800 for a separator, + 0x80000000
// with a SubMenu.
int32_t MenuItemStateCode(bool disabled, bool checked, bool isDefault);
int32_t MenuItemTypeCode(bool separator, bool subMenu);
// The virtual-key code and modifier bits (1 Shift, 2 Ctrl) of a shortcut code
// 1..132; false for 0 or a code out of range.
bool MenuShortcutKey(uint8_t code, uint8_t* vk, uint8_t* modifiers);
