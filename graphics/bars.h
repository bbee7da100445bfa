// bars.h - what the status bar, the tab control and the toolbar share inside
// this folder: the sub-object records (status panels, tool buttons) held by use
// count and kept in the handle registry, their lookup by key, by a method's key
// argument and by the item selector of a property request, their hand-over to
// the server as object results, and bounded text copies.
#pragma once

#include <windows.h>

#include <cstdint>

#include "graphics/barcore.h"
#include "graphics/gfxcommon.h"

// The server's type codes of the sub-objects.
constexpr uint32_t kTypeStatusPanel = 44;
constexpr uint32_t kTypeToolButton = 45;
// A property request whose item matches nothing goes on as this unknown id.
constexpr uint32_t kPidNoSuchItem = 999;
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

// A new item record of the kind (zeroed, flags alive and pixel coordinates,
// one use for the bar); null without memory.
BarItemRecord* BarItemAlloc(uint8_t kind, uint32_t size);
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
// Whether the call wants an object result (an object variable).
bool BarWantsObject(const MethodCallRec* call);
// Hands the item to the server as the method's object result: one more use,
// registered again when the server had released it, the variable noted; the
// answer is built (kNoAnswer is returned).
int32_t BarReplyItem(BarItemRecord* item, const MethodCallRec* call, uint32_t type);
// The bar's release of an item: its use goes; a server-held item stays with
// its texts freed (freeTexts) and no bar, else it is freed (freeTexts first).
void BarItemDrop(BarItemRecord* item, void (*freeTexts)(BarItemRecord* item));
// Slot 4 of the item kinds: the server's release of an item. The bar's own use
// is not the server's to release: an item the server does not hold stays on
// its bar (out of the registry until handed out again); otherwise one use
// goes, and the last frees the item (its own texts through freeTexts first).
int32_t BarItemRelease(ObjectRecord* rec, void (*freeTexts)(BarItemRecord* item));
// A NUL-terminated copy of at most max bytes of a counted text (the local
// heap), null without memory. Replace keeps the old value when the copy fails;
// an empty text frees the field. False only without memory.
char* BarCopyText(const char* text, uint32_t length, uint32_t max);
bool BarReplaceText(char** field, const char* text, uint32_t length, uint32_t max);
// A text into gTextBuf (at most max bytes); 0.
uint32_t BarTextReply(const char* text, uint32_t max = kTextBufSize);
void BarFreeText(char** field);
// Pixels of window units of the object's window and back (axis 0 horizontal).
int32_t BarToPixels(ObjectRecord* rec, int32_t units, int axis);
int32_t BarToUnits(ObjectRecord* rec, int32_t pixels, int axis);
// Sets or clears style bits of a window (GWL_STYLE or GWL_EXSTYLE).
void BarStyleBits(HWND wnd, int which, DWORD clear, DWORD set);
// Posts $CLICK (or $OLDEVENT when only that is registered) with the modifiers
// and value; true when one was posted.
bool BarPostClick(ObjectRecord* rec, uint16_t modifiers, int32_t value);
// A creation colour when the creation gave one (a Color object or a value),
// else the default.
uint32_t BarCreationColor(const CrColor& c, uint32_t def);
// System colour 15 (button face) as a colour value.
constexpr uint32_t kBarFaceColor = 0x8000000Fu;
// The ImageList object a change or argument names (the object, else the
// handle): a live native list, or none (a web-view list counts as none).
// False for something that is no image list.
bool BarImageListOf(ObjectRecord* given, int32_t handle, ObjectRecord** out);
// A method's text argument as a counted text (none when absent).
CrText BarArgText(const MethodCallRec* call, uint32_t i);
// A Dock of 0 or 7 and above becomes defaultDock; CCS_VERT for the bars
// docked left (2) or right (4), else 0.
DWORD BarDockStyle(ObjectCreateRecord* cr, int32_t defaultDock);
// Button modifiers of bar events.
enum BarModifier : uint16_t { kModLeft = 8, kModRight = 16, kModDblLeft = 40, kModDblRight = 48 };
// $BUTTONCLICK of toolbars.
constexpr uint32_t kEvButtonClick = 26;
