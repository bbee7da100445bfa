// webevents.cpp - page events: routing of the events fetched from a page to the
// object or window they concern, the object events posted as the native
// controls post them, the keys of the page (Tab, Enter, Escape), and the page
// asked to report or stop reporting an object's registered events.
#include "webview/core/pageactions.h"
#include "webview/core/webevents.h"

#include <json.h>

#include <cstring>

#include "objects/events.h"
#include "session/util/mem.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

bool gWebFileButtonClicked;

namespace {

constexpr uint32_t kPositionScale = 10000;      // x * 10000 + y
constexpr int32_t kMRegionOldEventBonus = 100000000;
constexpr uint32_t kModifierMask = 0xFFFF;
constexpr uint32_t kMRegionOldEventBit = 16;    // "em" bit of a mouse-up that stands for $OLDEVENT
constexpr int32_t kCellW = 7, kCellH = 15;
enum RequestDwid : int32_t { kDwidDateChange = 6, kDwidSliderChange = 7, kDwidTabChange = 4, kDwidTabClick = 5 };
constexpr int32_t kOptionOn = 1, kSpecialPicker = 3;
constexpr int32_t kDateTimeFormatPicker = 3;

// A member that must be an integer when present: false drops the event.
bool IntMember(const JsonValue* ev, const char* name, int32_t* out) {
    *out = 0;
    const JsonValue* v = JsonFindMember(ev, name);
    if (!v) return true;
    if (v->type != json_integer || v->u.integer < INT32_MIN || v->u.integer > INT32_MAX) return false;
    *out = static_cast<int32_t>(v->u.integer);
    return true;
}

// A member's own value only, not one of a nested object's.
const JsonValue* OwnMember(const JsonValue* ev, const char* name) {
    if (!ev || ev->type != json_object) return nullptr;
    for (unsigned i = 0; i < ev->u.object.length; ++i)
        if (strcmp(ev->u.object.values[i].name, name) == 0) return ev->u.object.values[i].value;
    return nullptr;
}

bool ReadNumber(const char** p, uint32_t* out) {
    const char* s = *p;
    if (*s < '0' || *s > '9') return false;
    uint64_t v = 0;
    while (*s >= '0' && *s <= '9') {
        v = v * 10 + static_cast<uint32_t>(*s - '0');
        if (v > INT32_MAX) return false;
        ++s;
    }
    *out = static_cast<uint32_t>(v);
    *p = s;
    return true;
}

ObjectRecord* FindInPage(ObjectRecord* page, uint32_t id) {
    if (id == 0) return nullptr;
    ObjectRecord* rec = page ? WebFindObjectById(page, id) : nullptr;
    return rec ? rec : WebFindObjectById(nullptr, id);
}

bool CallKind(ObjectRecord* rec, int32_t code, const JsonValue* ev, const WebEventName* name) {
    const WebKindOps* ops = WebKindOpsOf(rec);
    return ops && ops->pageEvent ? ops->pageEvent(rec, code, ev, name) : false;
}

bool Usable(const ObjectRecord* rec) {
    return rec && ObjectIsLive(rec) && (rec->flags & kObjShown) && !(rec->flags & kObjDisabled);
}

// $CLICK, else $OLDEVENT, as a pressed button posts them.
void PressButton(ObjectRecord* rec) {
    if (EventIsRegistered(rec, kEvClick)) PostObjectEvent(rec, kEvClick, kEventKindDefault, 0, 1);
    else if (EventIsRegistered(rec, kEvOldEvent)) PostObjectEvent(rec, kEvOldEvent, kEventKindDefault, 0, 1);
}

int32_t DateTimeFormat(const ObjectRecord* rec) {
    return gWebHooks.dateTimeFormat ? gWebHooks.dateTimeFormat(rec) : 0;
}

bool NeverAsked(uint32_t ev) { return ev == kEvGotFocus || ev == kEvValidate || ev == kEvLostFocus; }


void Dwid(uint8_t action, ObjectRecord* rec, int32_t dwid) {
    JsonBeginAction(action);
    JsonAddName(rec);
    JsonAddInt("id", static_cast<int32_t>(rec->elementId));
    JsonAddInt("dwid", dwid);
    WebViewMsgEnd();
}

}  // namespace

void WebEventAddForm(ObjectRecord* rec) {
    ObjectRecord* top = ObjectTopWindow(rec);
    const char* form = top && reinterpret_cast<WindowRecord*>(top)->formName
                           ? reinterpret_cast<WindowRecord*>(top)->formName
                           : "";
    JsonAddStringNoConv("form", form);
}

bool WebParseEventName(const char* name, WebEventName* out) {
    memset(out, 0, sizeof *out);
    if (!name || name[0] != 'C') return false;
    const char* p = name + 1;
    if (!ReadNumber(&p, &out->id)) return false;
    while (*p) {
        char sep = *p++;
        uint32_t n;
        if (!ReadNumber(&p, &n)) return false;
        int32_t v = static_cast<int32_t>(n);
        switch (sep) {
        case 'R': out->hasRow = true; out->row = v; break;
        case 'I': out->hasItem = true; out->item = v; break;
        case 'H': out->hasHeader = true; out->header = v; break;
        case 'C': out->hasColumn = true; out->column = v; break;
        case 'P': out->hasPart = true; out->part = v; break;
        default: return false;
        }
    }
    return true;
}

// The page events that belong to the owner of the view rather than to an
// element: the page's own script event ("C0") goes to a native HTML control
// that owns the view (an event of any other owner is dropped); in a native HTML
// control's own page (its twin is the page object) focus into an element -
// and a script event of an element - makes the control the focused object of
// its window, and a tab step into the page moves the twin's tab too. True
// when the event was taken.
static bool OwnerPageEvent(ObjectRecord* owner, ObjectRecord* page, const JsonValue* ev) {
    int32_t et = 0;
    if (!IntMember(ev, "et", &et)) return false;
    const char* name = JsonGetTextRaw(ev, "name");
    if (et == kPeScript3 && name && strcmp(name, "C0") == 0) {
        if (owner->kind == kKindHtmlControl && page->kind == kKindHtmlControl) CallKind(page, kPeScript1, ev, nullptr);
        return true;
    }
    if (page->kind != kKindHtmlControl || owner->kind != kKindHtmlControl || !name || name[0] != 'C') return false;
    if (et != kPeHtmlFocusTab && et != kPeHtmlFocus && et != kPeScript3) return false;
    const char* edata = JsonGetTextRaw(ev, "edata");
    char element[kHtmlFocusIdMax + 1] = {};
    if (edata) WebHtmlEdataId(edata, element);
    uint32_t tab = 0;
    bool withTab = et == kPeHtmlFocusTab && edata && WebHtmlEdataTab(edata, &tab);
    ObjectRef twin = ObjectRefOf(page);
    if (gWebHooks.htmlControlFocus) gWebHooks.htmlControlFocus(owner, withTab ? static_cast<int32_t>(tab) : -1, element);
    if (et == kPeHtmlFocusTab && ObjectRefAlive(twin)) CallKind(page, et, ev, nullptr);
    return true;
}

void WebPageEventDispatch(ObjectRecord* owner, JsonValue* ev) {
    // The page object of the view; a host window without one stands for its page.
    ObjectRecord* page = GetWebPageObject(owner);
    if (!page) page = owner;
    if (!page || !ev) return;
    int32_t id = 0;
    if (!IntMember(ev, "id", &id)) return;
    if (id > 0) {
        WebObjectEvent(ev, static_cast<uint32_t>(id), page);
        return;
    }
    if (owner && OwnerPageEvent(owner, page, ev)) return;
    WebPageEvent(ev, page);
}

void WebObjectEvent(const JsonValue* ev, uint32_t id, ObjectRecord* page) {
    // Menu elements have no object of their own: "id" names their window and
    // "mn" the entry or item; "sc" marks an item a shortcut key chose.
    if (JsonFindMember(ev, "mn")) {
        ObjectRecord* window = WebFindWindowById(id);
        int64_t number = JsonGetInt(ev, "mn");
        if (window && gWebHooks.menuPageClick && number > 0 && number <= UINT16_MAX)
            gWebHooks.menuPageClick(window, static_cast<uint32_t>(number), JsonFindMember(ev, "sc") != nullptr);
        return;
    }
    ObjectRecord* rec = FindInPage(page, id);
    if (!rec) return;
    int32_t et, ec, em, value;
    if (!IntMember(ev, "et", &et) || !IntMember(ev, "ec", &ec) || !IntMember(ev, "em", &em) ||
        !IntMember(ev, "ev", &value))
        return;
    if (et < 0) return;
    em &= static_cast<int32_t>(kModifierMask);
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (et == static_cast<int32_t>(kEvClick) && ops && ops->fileInput && ops->fileInput(rec))
        gWebFileButtonClicked = true;
    if (CallKind(rec, et, ev, nullptr)) return;
    if ((et == static_cast<int32_t>(kEvMouseDown) || et == static_cast<int32_t>(kEvMouseUp) ||
         et == static_cast<int32_t>(kEvMouseMove)) &&
        !(rec->flags & kObjPixels)) {
        ObjectRecord* top = ObjectTopWindow(rec);
        if (WebIsWindow(top)) {
            int32_t cw = WebWin(top)->cellWidth ? WebWin(top)->cellWidth : kCellW;
            int32_t ch = WebWin(top)->cellHeight ? WebWin(top)->cellHeight : kCellH;
            int32_t x = value / static_cast<int32_t>(kPositionScale), y = value % static_cast<int32_t>(kPositionScale);
            value = (x / cw + 1) * static_cast<int32_t>(kPositionScale) + (y / ch + 1);
        }
    }
    if (et == static_cast<int32_t>(kEvMouseUp) && rec->kind == kKindMRegion && (em & kMRegionOldEventBit) &&
        (rec->flags & kMRegionOldEventMark))
        value += kMRegionOldEventBonus;
    PostObjectEvent(rec, static_cast<uint32_t>(et), static_cast<uint8_t>(ec), static_cast<uint16_t>(em), value);
}

void WebPageActivateFocused() {
    ObjectRecord* window = gWebActiveWindow;
    if (!WebIsWindow(window)) return;
    ObjectRecord* cancel = WebWin(window)->cancelButton;
    if (Usable(cancel)) PressButton(cancel);
}

void WebPageEnterKey() {
    ObjectRecord* window = gWebActiveWindow;
    if (!WebIsWindow(window)) return;
    ObjectRecord* focused = WebFocusedObject();
    if (focused && focused->kind == kKindButton && Usable(focused)) return;
    // A kind may keep its Enter (an edit of another type than the plain one).
    const WebKindOps* focusedOps = WebKindOpsOf(focused);
    if (focusedOps && focusedOps->keepsEnter && focusedOps->keepsEnter(focused)) return;
    // The default button is pressed where the focus is: as a native dialog's
    // Enter, it leaves the focus in the field typed into.
    ObjectRecord* def = reinterpret_cast<WindowRecord*>(window)->defaultButton;
    if (Usable(def)) {
        PressButton(def);
        return;
    }
    if (focused && (focused->kind == kKindEditText || focused->kind == kKindEditNumber))
        WebFocusNextObject(focused, false);
}

void WebEdataEvent(ObjectRecord* rec, const JsonValue* ev) {
    if (CallKind(rec, kPeScript1, ev, nullptr)) return;
    const JsonValue* v = OwnMember(ev, "edata");
    if (!v || v->type != json_string || v->u.string.length == 0) return;
    size_t n = v->u.string.length;
    char* copy = static_cast<char*>(LocalAllocZero(n + 1));
    if (!copy) return;
    memcpy(copy, v->u.string.ptr, n);
    if (!PostEvent(rec, kEvJQuery, kEventKindDefault, 0, 0, 0, copy, 0)) LocalFreeMem(copy);
}

// The page's focus moved to rec: as a native control's focus arrives, the
// object left gets its $VALIDATE (when rec causes validation) and its
// $LOSTFOCUS, then rec its $GOTFOCUS; the window keeps rec as its focus.
void WebPageFocusMoved(ObjectRecord* rec, ObjectRecord* top) {
    WindowRecord* w = WebIsWindow(top) || WebHostsControls(top) ? reinterpret_cast<WindowRecord*>(top) : nullptr;
    ObjectRecord* left = w ? w->focusObj : nullptr;
    if (left == rec) {
        WebFocusChanged(rec);
        return;
    }
    if (w) PostValidateOnFocus(rec, top);
    WebFocusChanged(rec);
    if (left && ObjectIsLive(left)) PostObjectEvent(left, kEvLostFocus, kEventKindDefault, 0, 0);
    if (EventIsRegistered(rec, kEvGotFocus)) PostObjectEvent(rec, kEvGotFocus, kEventKindDefault, 0, 0);
}

void WebPageEvent(const JsonValue* ev, ObjectRecord* page) {
    int32_t et, em, value;
    if (!IntMember(ev, "et", &et)) return;
    if (et == kPeQuiet1 || et == kPeQuiet2) return;
    if (!IntMember(ev, "em", &em) || !IntMember(ev, "ev", &value)) {
        WebViewMsgFlush();
        return;
    }
    WebEventName name;
    const JsonValue* nameValue = OwnMember(ev, "name");
    bool named = nameValue && nameValue->type == json_string && WebParseEventName(nameValue->u.string.ptr, &name);
    ObjectRecord* rec = named ? FindInPage(page, name.id) : nullptr;
    switch (et) {
    case kPeMouseUp: case kPeMouseDown: case kPeMouseMove:
        if (gWebObjServices.pageMouse) {
            gWebObjServices.pageMouse(et, value / static_cast<int32_t>(kPositionScale),
                                      value % static_cast<int32_t>(kPositionScale), em);
        } else if (WebIsWindow(gWebActiveWindow)) {
            // The page's own mouse events belong to the window in front.
            uint32_t e = et == kPeMouseDown ? kEvMouseDown : et == kPeMouseUp ? kEvMouseUp : kEvMouseMove;
            PostObjectEvent(gWebActiveWindow, e, kEventKindDefault, static_cast<uint16_t>(em & kModifierMask), value);
        }
        break;
    case kPePageSize: WebPageResized(em, value); break;
    case kPeCancelKey: WebPageActivateFocused(); break;
    case kPeEnterKey: WebPageEnterKey(); break;
    case kPeTab: case kPeShiftTab: {
        // The step starts from the focused control of the web window in
        // front; in a native window whose page holds its controls, when no
        // web window of its page is in front, from its own focused control
        // (none: the window itself).
        bool ownStep = WebHostsControls(page) && WebWindowHostRecord(gWebActiveWindow) != page;
        ObjectRecord* from = ownStep ? nullptr : WebFocusedObject();
        if (!from && WebHostsControls(page)) {
            ObjectRecord* focused = reinterpret_cast<WindowRecord*>(page)->focusObj;
            from = focused && ObjectIsLive(focused) ? focused : page;
        }
        WebFocusNextObject(from, et == kPeShiftTab);
        break;
    }
    case kPeWindowClick: case kPeCloseBoxEv: case kPeWindowMove: case kPeWindowSize: {
        ObjectRecord* window = named && !name.hasRow && !name.hasItem ? WebFindWindowById(name.id) : nullptr;
        if (window) {
            if (et == kPeWindowClick) WebWindowClicked(window, value == kClickOnWindowItself);
            else if (et == kPeCloseBoxEv) WebWindowOnClose(window);
            else if (et == kPeWindowMove) WebWindowOnMove(window, em, value);
            else {
                int32_t v1, v2;
                if (IntMember(ev, "v1", &v1) && IntMember(ev, "v2", &v2)) WebWindowOnResize(window, v2, v1, em, value);
            }
        } else if (rec && (et == kPeWindowMove || et == kPeWindowSize)) {
            CallKind(rec, et, ev, &name);
        } else if (et == kPeWindowClick && !named) {
            // A press on the page itself: on the native window that shows it.
            WebHostPagePressed(page);
        }
        break;
    }
    case kPeFocus:
        if (rec) {
            ObjectRecord* top = ObjectTopWindow(rec);
            if (WebIsWindow(top)) {
                WebWindowFrontFor(top);
            } else if (WebHostsControls(top)) {
                // A control of a native window behind a web window of its page:
                // the window comes to the front, its control that had the
                // focus hears $GOTFOCUS first (as natively its activation
                // gives it the focus back), then the focus moves on.
                ObjectRecord* had = reinterpret_cast<WindowRecord*>(top)->focusObj;
                ObjectRef ref = ObjectRefOf(rec);
                if (WebHostToFront(top) && had && ObjectIsLive(had) && EventIsRegistered(had, kEvGotFocus))
                    PostObjectEvent(had, kEvGotFocus, kEventKindDefault, 0, 0);
                if (!ObjectRefAlive(ref)) break;
            }
            WebPageFocusMoved(rec, top);
        }
        break;
    case kPeRowClick2:
        if (rec && name.hasRow) {
            uint32_t e = value == 0 ? kEvClick : kEvDblClick;
            if (EventIsRegistered(rec, e))
                PostObjectEvent(rec, e, kEventKindDefault, static_cast<uint16_t>(em & kModifierMask), name.row);
        }
        break;
    case kPeRowClick:
        if (rec && name.hasRow && name.hasItem) CallKind(rec, et, ev, &name);
        break;
    case kPeCellEdit:
        if (rec && name.hasRow && name.hasItem) CallKind(rec, et, ev, &name);
        break;
    case kPeScript1: case kPeScript1 + 1: case kPeScript3:
        if (rec) WebEdataEvent(rec, ev);
        break;
    case kPeHtmlPart:
        if (rec && name.hasPart) CallKind(rec, et, ev, &name);
        break;
    case kPeToolButton:
        if (rec && name.hasItem) CallKind(rec, et, ev, &name);
        break;
    case kPeTreeCheck: case kPeTreeClick:
        if (rec && name.hasRow) CallKind(rec, et, ev, &name);
        break;
    case kPeRowCheck:
        if (rec && name.hasColumn) CallKind(rec, et, ev, &name);
        break;
    case kPeHeaderClick:
        if (rec && name.hasHeader) CallKind(rec, et, ev, &name);
        break;
    case kPeFilesChosen:
        if (rec && rec->kind == kKindButton) WebButtonFilesChosen(rec, ev);
        break;
    case kPeHtmlFocusTab: case kPeHtmlFocus: case kPeTreeKey: case kPeListKey:
        if (rec) CallKind(rec, et, ev, &name);
        break;
    default:
        break;
    }
    WebViewMsgFlush();
}

// ---- Registrations ----------------------------------------------------------------------

uint32_t WebEventRegisterRule(ObjectRecord* rec, uint32_t eventId) {
    if (!rec || rec->kind != kKindMRegion) return eventId;
    if (eventId == kEvOldEvent) {
        rec->flags |= kMRegionOldEventMark;
        return kEvMouseUp;
    }
    if (eventId == kEvMouseUp) rec->flags &= ~kMRegionOldEventMark;
    return eventId;
}

bool WebAskNever(ObjectRecord*, uint32_t) { return true; }

bool WebAskNoClick(ObjectRecord*, uint32_t eventId) { return eventId == kEvClick || eventId == kEvDblClick; }

void WebRequestEvent(ObjectRecord* rec, uint32_t eventId) {
    if (!rec || NeverAsked(eventId)) return;
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (ops && ops->askEvent && ops->askEvent(rec, eventId)) return;
    bool picker = rec->kind == kKindEditDateTime && DateTimeFormat(rec) == kDateTimeFormatPicker;
    WebViewSelectForObject(rec);
    if (rec->kind == kKindEditDateTime && !picker && eventId == kEvChange) {
        Dwid(kActDateTime, rec, kDwidDateChange);
        return;
    }
    if (rec->kind == kKindSlider && eventId == kEvChange) {
        Dwid(kActSlider, rec, kDwidSliderChange);
        return;
    }
    if (rec->kind == kKindTabControl && (eventId == kEvChange || eventId == kEvClick)) {
        Dwid(kActTabs, rec, eventId == kEvChange ? kDwidTabChange : kDwidTabClick);
        return;
    }
    JsonBeginAction(kActSubscribe);
    JsonAddName(rec);
    WebEventAddForm(rec);
    JsonAddInt("id", static_cast<int32_t>(rec->elementId));
    JsonAddInt("en", static_cast<int32_t>(eventId));
    if (eventId == kEvClick) {
        if (rec->kind != kKindRadio) JsonAddInt("prec", kOptionOn);
        if (rec->kind == kKindComboBox || rec->kind == kKindDataList || picker) JsonAddInt("sp", kSpecialPicker);
    } else if (eventId == kEvChange) {
        if (rec->kind == kKindEditText || rec->kind == kKindEditNumber || picker) JsonAddInt("sp", kSpecialPicker);
    } else if (picker) {
        JsonAddInt("sp", kSpecialPicker);
    }
    if (rec->kind == kKindSlider && (eventId == kEvMouseDown || eventId == kEvMouseUp || eventId == kEvMouseMove))
        JsonAddInt("ap", kOptionOn);
    if (eventId == kEvMouseMove && (rec->kind == kKindSlider || rec->kind == kKindTabControl ||
                                    rec->kind == kKindEditDateTime || rec->kind == kKindPanel))
        JsonAddInt("mm", kOptionOn);
    WebViewMsgEnd();
}

void WebEnablePageEvent(ObjectRecord* rec, uint32_t eventId, bool on) {
    if (!rec) return;
    if (on) {
        WebRequestEvent(rec, eventId);
        return;
    }
    if (eventId != kEvClick || rec->kind == kKindCheckBox) return;
    WebViewSelectForObject(rec);
    JsonBeginAction(kActUnsubscribe);
    JsonAddName(rec);
    JsonAddInt("id", static_cast<int32_t>(rec->elementId));
    JsonAddInt("en", static_cast<int32_t>(eventId));
    WebViewMsgEnd();
}

void WebNotifyFocusChange(ObjectRecord* rec, ObjectRecord* window) {
    ObjectRecord* host = WebIsWindow(window) ? WebWindowHostRecord(window) : nullptr;
    PostValidateOnFocus(rec, host ? host : window);
}

bool WebHtmlEdataId(const char* edata, char out[kHtmlFocusIdMax + 1]) {
    out[0] = 0;
    const char* at = edata ? strstr(edata, "id\":") : nullptr;
    if (!at) return false;
    at += 4;
    while (*at == ' ') ++at;
    if (*at != '"') return false;
    ++at;
    uint32_t n = 0;
    while (n < kHtmlFocusIdMax && at[n] && at[n] != '"' && static_cast<unsigned char>(at[n]) >= ' ') {
        out[n] = at[n];
        ++n;
    }
    out[n] = 0;
    return true;
}

bool WebHtmlEdataTab(const char* edata, uint32_t* tab) {
    const char* at = edata ? strstr(edata, "tab\":") : nullptr;
    if (!at) return false;
    at += 5;
    while (*at == ' ') ++at;
    uint64_t v = 0;
    int digits = 0;
    while (*at >= '0' && *at <= '9' && digits < 10) {
        v = v * 10 + static_cast<uint64_t>(*at++ - '0');
        ++digits;
    }
    if (!digits || v > UINT32_MAX) return false;
    *tab = static_cast<uint32_t>(v);
    return true;
}
