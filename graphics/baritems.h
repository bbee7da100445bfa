// baritems.h - the sub-object records of bars that the native and the web-view
// status bars and toolbars share: status panels and tool buttons held by use
// count, their lookup by index, name, method key and property selector, their
// release, and the bounded texts they own. Platform-free: both builds compile it.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

// The server's type codes of the sub-objects.
constexpr uint32_t kTypeStatusPanel = 44;
constexpr uint32_t kTypeToolButton = 45;
// A property request whose item matches nothing goes on as this unknown id.
// Longest item name a property change (or query) may select by.
constexpr uint32_t kItemNameChangeMax = 255;
constexpr uint32_t kItemNameQueryMax = kTextBufSize;
constexpr uint32_t kBarTextMax = 255;

// The head of a status panel or tool button. The header's runName, userData
// and toolTip hold RunName, UserData and ToolTip; useCount counts the holders:
// the bar while the item is on it, and one for each time the server was handed
// the item. The last release frees it (and its handle with it).
struct BarItemRecord {
    ObjectRecord hdr;
    BarItemRecord* nextItem;    // next item of the bar, in display order
    ObjectRecord* bar;          // owning bar; none once the bar removed the item
};

// A status panel of either mode (kind 39).
struct StatusPanelRecord {
    BarItemRecord item;
    uint8_t autoSize;       // PanelAutoSize
    uint8_t bdrStyle;       // PanelBdrStyle
    char* text;
    int32_t width;          // pixels
    int32_t minWidth;       // pixels
    int32_t curWidth;       // as laid out (the web view: as last written)
    int32_t baseWidth;      // Width at creation, the base of rescales
};
inline StatusPanelRecord* AsStatusPanel(BarItemRecord* it) { return reinterpret_cast<StatusPanelRecord*>(it); }

// The property ids of a status panel (the same whether the request reaches
// the panel or its bar with an item selector) and of the status bar.
// The values a panel is made from (a creation record or AddPanel's
// arguments); widths in window units.
struct PanelSpec {
    int32_t width, minWidth;
    int32_t autoSize, bdrStyle;
    CrText text, runName, toolTip, userData;
};
// AddPanel's MinWidth in window units when the call gives none.
constexpr int32_t kAddPanelMinWidth = 10;
void StatusPanelSpecFromCreate(const ObjectCreateRecord* cr, PanelSpec* s);
void StatusPanelSpecFromCall(const MethodCallRec* call, PanelSpec* s);
// Fills a new panel, the number-th of its bar: AutoSize and BdrStyle 1..3
// (else fixed and sunken), the widths in pixels (the base width is Width),
// RunName given or "Panel001" numbered, Text and ToolTip of at most 255
// bytes, UserData whole. False without memory (the texts copied so far stay
// for the caller's drop).
bool StatusPanelFill(StatusPanelRecord* p, const PanelSpec& s, uint32_t number, int32_t widthPixels,
                     int32_t minWidthPixels);
// Window units of the bar's window to pixels (toPixels) and back.
typedef int32_t (*PanelScaleFn)(ObjectRecord* bar, int32_t value, bool toPixels);
// A property change of a panel that is on its bar; true when the bar must be
// laid out again (every known id but RunName and UserData). Unknown ids
// change nothing.
bool StatusPanelChange(StatusPanelRecord* p, uint32_t id, int32_t value, const char* text, uint32_t length,
                       PanelScaleFn scale);
// A property query of a panel that is on its bar: a text id points *text at
// the field ("" when none), any other id fills *value (0 for unknown ids).
void StatusPanelQuery(StatusPanelRecord* p, uint32_t id, PanelScaleFn scale, int32_t* value, const char** text);

// A bar's panel list and count, as either mode's status bar keeps them.
struct StatusPanelList {
    BarItemRecord** head;
    uint32_t* count;
};
// The 101st panel is refused with this code.
constexpr int32_t kStatusPanelFull = -3;
// A new panel of the bar, made from the spec (widths through scale), filled
// and appended: none with *code -3 at 100 panels or -6 without memory.
StatusPanelRecord* StatusPanelAdd(ObjectRecord* bar, StatusPanelList list, const PanelSpec& s, PanelScaleFn scale,
                                  bool webView, int32_t* code);
// Takes the panel off its bar (the bar's use goes); false when it was not there.
bool StatusPanelRemove(StatusPanelList list, BarItemRecord* it);
// Whether the call wants an object result (an object variable).
bool BarWantsObject(const MethodCallRec* call);
// Hands a bar's item (a panel or tool button) to the server as a method's
// object result: one more use, registered again when the server had released
// it, the variable noted. False when it cannot be registered.
bool BarItemHandOut(ObjectRecord* rec, const MethodCallRec* call);
// A panel's own text, freed before its record (BarItemDrop, BarItemRelease).
void StatusPanelFreeTexts(BarItemRecord* it);

// The status bar made last, of either mode: form loading puts the panels that
// follow it there.
extern ObjectRecord* gStatusBarMadeLast;

// A new item record of the kind (zeroed, flags alive and pixel coordinates,
// one use for the bar; a web-view record when webView); null without memory.
BarItemRecord* BarItemAlloc(uint8_t kind, uint32_t size, bool webView = false);
// By zero-based index when name is null, else the first item whose RunName is
// name exactly (items without a name are skipped); *position (when given)
// gets the item's zero-based place. Null when none.
BarItemRecord* BarItemFind(BarItemRecord* head, uint32_t index, const char* name, uint32_t* position);
// A method's key argument: a number is a zero-based index, a text a name.
BarItemRecord* BarItemByArg(BarItemRecord* head, const MethodCallRec* call, uint32_t arg, uint32_t* position);
// The item a property request's selector names: a number (kind 8) is a
// zero-based index, a text a name of at most nameMax bytes (a longer one names
// nothing). kBarSelNone when the request carries no selector.
enum BarSelect { kBarSelNone, kBarSelItem, kBarSelNoMatch };
BarSelect BarItemBySelector(BarItemRecord* head, const EventItem& sel, uint32_t nameMax, BarItemRecord** out);
// Unlinks the item from the list; true when it was there.
bool BarItemUnlink(BarItemRecord** head, BarItemRecord* item);
// Appends the item at the end of the list.
void BarItemAppend(BarItemRecord** head, BarItemRecord* item);
// The bar's release of an item: its use goes; a server-held item stays with
// its texts freed (freeTexts) and no bar, else it is freed (freeTexts first).
void BarItemDrop(BarItemRecord* item, void (*freeTexts)(BarItemRecord* item));
// The server's release of an item (the destroy step of the item kinds). The
// bar's own use is not the server's to release: an item the server does not
// hold stays on its bar (out of the registry until handed out again);
// otherwise one use goes, and the last frees the item (its own texts through
// freeTexts first).
int32_t BarItemRelease(ObjectRecord* rec, void (*freeTexts)(BarItemRecord* item));
// A NUL-terminated copy of at most max bytes of a counted text (the local
// heap), null without memory. Replace keeps the old value when the copy fails;
// an empty text frees the field. False only without memory.
char* BarCopyText(const char* text, uint32_t length, uint32_t max);
bool BarReplaceText(char** field, const char* text, uint32_t length, uint32_t max);
void BarFreeText(char** field);
