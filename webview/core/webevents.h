// webevents.h - page events: the events the page reports, routed to the object
// they concern and posted as the object's events; and the other direction, the
// page asked to report the events an object registered.
#pragma once

#include <cstdint>

#include "objects/objrecord.h"
#include "session/util/json.h"

constexpr uint32_t kHtmlFocusIdMax = 31;  // the longest element id an HTML control keeps

// The element id of an "edata" text: what follows `"id":"`, at most 31
// characters up to the next quote or control character; and the tab number
// after `"tab":`. False when the marker is not there.
bool WebHtmlEdataId(const char* edata, char out[kHtmlFocusIdMax + 1]);
bool WebHtmlEdataTab(const char* edata, uint32_t* tab);

// Page event codes ("et" without an "id").
enum WebPageEventCode : int32_t {
    kPeFirst = 99966,
    kPeHtmlPart = 99966, kPeMouseUp = 99967, kPeMouseDown = 99968, kPeMouseMove = 99969, kPeCellEdit = 99970,
    kPeHtmlFocusTab = 99971, kPeHtmlFocus = 99972, kPeToolButton = 99973, kPeWindowClick = 99974,
    kPeScript1 = 99975, kPeScript3 = 99977, kPeTreeKey = 99978, kPeTreeCheck = 99979, kPeTreeClick = 99980,
    kPeRowClick2 = 99982, kPeListKey = 99983, kPeFilesChosen = 99984, kPePageSize = 99985,
    kPeCancelKey = 99986, kPeEnterKey = 99987, kPeCloseBoxEv = 99988, kPeRowCheck = 99989, kPeRowClick = 99990,
    kPeHeaderClick = 99991, kPeWindowMove = 99992, kPeWindowSize = 99993, kPeFocus = 99995, kPeTab = 99996,
    kPeShiftTab = 99997, kPeQuiet1 = 99998, kPeQuiet2 = 99999,
};

// The parts of an element name "C12R3I4": the element id and the number after
// each separator letter (R row, I item, H header, C column, P part).
struct WebEventName {
    uint32_t id;
    bool hasRow, hasItem, hasHeader, hasColumn, hasPart;
    int32_t row, item, header, column, part;
};
// False when the name is not "C" and a number followed by separator letters
// each with a number, or a number does not fit.
bool WebParseEventName(const char* name, WebEventName* out);

// A kind's handler of the page events of its objects (cell edits, rows,
// keys, files; the page-event slot of its row): true when it took the event.
typedef bool (*WebKindPageEventFn)(ObjectRecord* rec, int32_t code, const JsonValue* ev, const WebEventName* name);
// The form name of the object's window as the subscribe message's "form".
void WebEventAddForm(ObjectRecord* rec);
// The value of a subscribe message's option members.
constexpr int32_t kWebEventOptionOn = 1;

// gWebHooks.pageEventDispatch: one fetched event of the web view owner.
void WebPageEventDispatch(ObjectRecord* owner, JsonValue* ev);
void WebObjectEvent(const JsonValue* ev, uint32_t id, ObjectRecord* page);
void WebPageEvent(const JsonValue* ev, ObjectRecord* page);
void WebPageActivateFocused();
// The page reported the focus on rec: the focus events of the object left and of rec.
void WebPageFocusMoved(ObjectRecord* rec, ObjectRecord* top);
void WebPageEnterKey();
void WebEdataEvent(ObjectRecord* rec, const JsonValue* ev);

// Registrations: the event an MRegion registers instead (its $OLDEVENT is the
// page's mouse-up), and the page asked for a new one or told an ended one.
uint32_t WebEventRegisterRule(ObjectRecord* rec, uint32_t eventId);
void WebRequestEvent(ObjectRecord* rec, uint32_t eventId);
// Ask-event slots (WebKindOps::askEvent): the page is never asked for the
// kind's events (menus, timers), or not for its clicks, which its own page
// code sends (list views, tree views, toolbars).
bool WebAskNever(ObjectRecord* rec, uint32_t eventId);
bool WebAskNoClick(ObjectRecord* rec, uint32_t eventId);
void WebEnablePageEvent(ObjectRecord* rec, uint32_t eventId, bool on);
void WebNotifyFocusChange(ObjectRecord* rec, ObjectRecord* window);

// A file-input button was clicked (set by its $CLICK from the page).
extern bool gWebFileButtonClicked;
// An MRegion's flag bit: its $OLDEVENT stands for the mouse-up event.
constexpr uint32_t kMRegionOldEventMark = 0x20;
