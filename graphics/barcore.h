// barcore.h - the platform-free rules of the status bar, the tab control and the
// toolbar: status panel widths, default sub-object names, tab labels with their
// hot keys and the bounded hot-key table, tab styles, tool button styles,
// command ids that skip live buttons, and the drag threshold of a toolbar.
#pragma once

#include <cstdint>

// ---- Status panels ---------------------------------------------------------------------------
enum PanelAutoSize : uint8_t { kPanelContents = 1, kPanelFixed = 2, kPanelSpring = 3 };
enum PanelBdrStyle : uint8_t { kPanelNoBorder = 1, kPanelRaised = 2, kPanelSunken = 3 };
constexpr uint32_t kStatusPanelMax = 100;
constexpr uint32_t kStatusPanelNameSize = 9;   // "Panel001" and its NUL
// A contents panel is as wide as its text plus this margin.
constexpr int32_t kPanelTextMargin = 8;

// What the layout needs of one panel.
struct PanelMeasure {
    uint8_t autoSize;       // PanelAutoSize
    int32_t width;          // Width in pixels (fixed panels)
    int32_t minWidth;       // pixels
    int32_t textWidth;      // extent of the text in pixels
    bool hasText;
};
// The width of each panel in order: contents panels their text plus the margin
// (0 without text) but at least MinWidth, fixed panels their Width, spring
// panels an equal share of the client width the others leave (none when they
// leave none), the last spring panel also the remainder, none below MinWidth.
void StatusPanelWidths(const PanelMeasure* panels, uint32_t count, int32_t clientWidth, int32_t* widths);
// The type bits of SB_SETTEXT for a panel's border style: no border 0x100,
// raised 0x200, sunken none; right-to-left reading adds 0x400.
uint32_t StatusPanelTextType(uint8_t bdrStyle, bool rightToLeft);
// The default name of the nth panel of a bar (1..100): "Panel001" .. "Panel100".
void StatusPanelDefaultName(uint32_t number, char out[kStatusPanelNameSize]);

// ---- Tab labels and hot keys --------------------------------------------------------------------
constexpr uint32_t kTabLabelMax = 255;         // bytes of one label
constexpr uint32_t kTabHotKeyMax = 100;        // entries of the hot-key table
constexpr uint32_t kTabLabelsMax = 40960;      // bytes of a whole label list

struct TabLabel {
    char text[kTabLabelMax + 1];
    uint32_t length;
    uint8_t hotKey;         // the letter after a single '&', a-z upper-cased; 0 none
};
// Takes the next label from text (remaining bytes left): up to a ';' or the
// end. "&&" stays as both characters; '&' before another character makes that
// character the hot key. Characters beyond kTabLabelMax are dropped. Answers
// the bytes consumed (the ';' included); *ended tells whether a ';' ended it.
uint32_t TabLabelNext(const char* text, uint32_t remaining, TabLabel* out, bool* ended);
// The hot key of a whole label text (as TabLabelNext finds it).
uint8_t TabLabelHotKey(const char* text, uint32_t length);

// The table of hot keys by zero-based tab position. Tabs beyond the hundredth
// have no entry: every operation keeps within the table.
struct TabHotKeys {
    uint8_t count;
    uint8_t keys[kTabHotKeyMax];
};
// A new tab at index: the entries from there move up one place (the last one
// falls off a full table) and the count grows while below the maximum; an
// index past the table changes nothing.
void TabHotKeysInsert(TabHotKeys* t, uint32_t index, uint8_t key);
// As TabHotKeysInsert, then the count becomes the tab count (at most the maximum).
void TabHotKeysInsertAt(TabHotKeys* t, uint32_t index, uint8_t key, uint32_t tabCount);
// The entry of a removed tab goes; those after it move down one place.
void TabHotKeysDelete(TabHotKeys* t, uint32_t index);
void TabHotKeysSet(TabHotKeys* t, uint32_t index, uint8_t key);
// The first position with that key (a-z upper-cased first), -1 when none.
int32_t TabHotKeysFind(const TabHotKeys* t, uint32_t key);

// Tab orientation: 0 top, 1 bottom, 2 left, 3 right. A change is accepted only
// within the current axis (0/1 among themselves, 2/3 among themselves).
bool TabStyleAccepted(uint32_t current, int32_t wanted);
// The bits of SetStyle: only those within 0xF78 are set or cleared.
constexpr uint32_t kTabSetStyleMask = 0xF78;
uint32_t TabSetStyleBits(uint32_t style, uint32_t bits, bool set);

// ---- Tool buttons ------------------------------------------------------------------------------
enum ToolBtnStyle : uint8_t {
    kBtnDropDown = 1, kBtnWholeDropDown = 2, kBtnPush = 3, kBtnSeparator = 4, kBtnCheck = 5, kBtnCheckGroup = 6,
};
// The control's button style for a BtnStyle (1..6, anything else a push
// button), with the automatic size bit when AutoSize.
uint8_t ToolButtonTbStyle(int32_t btnStyle, bool autoSize);
constexpr uint32_t kToolButtonNameSize = 11;   // "ToolBtn001" and its NUL
// The name of a button added while the bar has count buttons (after counting
// it): "ToolBtn" and '0', then '0' + count / 10 and '0' + count % 10 (counts
// of 100 and more go on past '9' in character order, up to the highest
// character; larger counts keep that character).
void ToolButtonDefaultName(uint32_t count, char out[kToolButtonNameSize]);
// Command ids run 1..31999. The id a new button takes from *next: ids that a
// live button of the bar holds (inUse) are skipped; *next moves past it. 0
// when every id is held.
constexpr uint32_t kCommandIdLimit = 32000;
uint32_t ToolBarTakeCommandId(uint32_t* next, bool (*inUse)(void* ctx, uint32_t id), void* ctx);
// A press at (x0, y0) becomes a drag once the mouse leaves the rectangle from
// 2 pixels left of and above it to 2 pixels right of and below it, whose right
// and bottom edges lie outside it: 2 pixels right or down, 3 left or up.
constexpr int32_t kDragSlop = 2;
bool ToolBarDragMoved(int32_t x0, int32_t y0, int32_t x, int32_t y);
