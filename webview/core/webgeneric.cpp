// webgeneric.cpp - the generic operations of web-view objects routed by kind:
// item texts and values, methods, the common methods every object has, the
// keyboard focus and its tab order, and the files chosen in file buttons.
#include "webview/core/pageactions.h"
#include "webview/core/webgeneric.h"

#include <json.h>

#include <cstdio>
#include <cstring>

#include "objects/events.h"
#include "session/proto/protocol.h"
#include "session/util/mem.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

WebChosenFile* gWebChosenFiles;
bool gWebFocusRequested;

namespace {

constexpr int32_t kLastGetTextKind = 46, kLastGetValueKind = 28, kLastSetTextKind = 46, kLastSetValueKind = 44;
constexpr uint32_t kFocusListMax = 512;
constexpr int kPanelDepthMax = 32;
constexpr uint32_t kArgTextMax = 1024;
// A date field of another format than 3 drops its calendar down; dwid 7 closes it.
constexpr int32_t kDateFormatPicker = 3, kDwidDateClose = 7;
constexpr int32_t kJqUiOptionDwid = 20;
constexpr int32_t kFocusFirst = -1, kFocusLast = -4;
constexpr uint32_t kFontPrefixLength = 5;
enum OptionBit : int32_t { kOptWrapper = 1, kOptLabel = 2 };

// The i-th argument as text (NUL-terminated, cut at the buffer), or empty.
const char* ArgText(const MethodCallRec* call, uint32_t i, char* out, uint32_t outSize) {
    CallArgCopy(call, i, out, outSize);
    return out;
}

bool StartsNoCase(const char* text, const char* prefix, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        char a = text[i], b = prefix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

bool PlainAnswers(const ObjectRecord* rec) {
    return !rec || rec == reinterpret_cast<const ObjectRecord*>(-1) || rec->kind == kKindColor ||
           rec->kind == kKindFont || !ObjectIsWebView(rec);
}

// The server types the common methods answer plainly: the Client object's, and
// the types 58, 61-63 and 66 that name no kind of this client.
bool IsPlainType(uint32_t type) {
    static const uint32_t kPlainTypes[] = {kTypeClient, 58, 61, 62, 63, 66};
    for (uint32_t t : kPlainTypes)
        if (t == type) return true;
    return false;
}

bool AnswersZero(const ObjectRecord* rec) {
    switch (rec->kind) {
    case kKindStatusPanel: case kKindToolButton: case kKindMenuItem: case kKindImageList: case kKindVariant:
        return true;
    default:
        return false;
    }
}

bool IsMenuKind(const ObjectRecord* rec) {
    return rec->kind == kKindMenu || rec->kind == kKindSubMenu || rec->kind == kKindFloatMenu;
}

int32_t JqUiAction(const ObjectRecord* rec) {
    switch (rec->kind) {
    case kKindProgress: return kActProgress;
    case kKindWindow: return WebIsDialogWindow(rec) ? kActDialog : 0;
    case kKindTabControl: return kActTabs;
    case kKindSlider: return kActSlider;
    case kKindEditNumber: return kActNumber;
    case kKindEditDateTime: return kActDateTime;
    default: return 0;
    }
}

bool TakesFocus(const ObjectRecord* rec) { return WebKindHas(rec->kind, kWebKindTakesFocus); }

// The objects of a window that can take the focus, in tab order.
void CollectFocusable(ObjectRecord* container, ObjectRecord* window, ObjectRecord** list, uint32_t* n, int depth) {
    if (!container || depth > kPanelDepthMax) return;
    for (ObjectRecord* c = container->children; c && *n < kFocusListMax; c = c->next) {
        if (!ObjectIsWebView(c) || ObjectTopWindow(c) != window || c->kind == kKindWindow) continue;
        if (c->kind == kKindPanel) {
            if (c->flags & kObjShown) CollectFocusable(c, window, list, n, depth + 1);
            continue;
        }
        if (!TakesFocus(c) || !(c->flags & kObjShown) || (c->flags & kObjDisabled)) continue;
        uint32_t at = *n;
        while (at > 0 && list[at - 1]->tabId > c->tabId) {
            list[at] = list[at - 1];
            --at;
        }
        list[at] = c;
        ++*n;
    }
}

}  // namespace

int32_t WebReplyValue(const JsonValue* reply) {
    if (!reply) return 0;
    const char* name = JsonFindMember(reply, "val") ? "val" : "data";
    const char* text = JsonGetText(reply, name);
    if (!text) return 0;
    if (StrEqualNoCase(text, "true")) return 1;
    if (StrEqualNoCase(text, "false")) return 0;
    return static_cast<int32_t>(JsonGetInt(reply, name));
}

int32_t WebGetText(ObjectRecord* rec, int32_t item) {
    gTextBuf[0] = 0;
    if (!rec) return kWebNotCreated;
    if (rec->kind < 1 || rec->kind > kLastGetTextKind) return kWebNotAvailable;
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (!ops || !ops->getText) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    int32_t r = ops->getText(rec, item);
    gTextBuf[kTextBufSize] = 0;
    return r;
}

int32_t WebGetValue(ObjectRecord* rec, int32_t item, int32_t* value, bool keep) {
    if (!keep) *value = 0;
    if (!rec) return kWebNotCreated;
    if (rec->kind == kKindColor) {
        *value = static_cast<int32_t>(WebColorGetValue(rec, static_cast<uint32_t>(item)));
        return 0;
    }
    if (rec->kind < 1 || rec->kind > kLastGetValueKind) return kWebNotAvailable;
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (!ops || !ops->getValue) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    bool asked = false;
    int32_t r = ops->getValue(rec, item, value, &asked);
    if (asked) {
        // The page answers; a missing reply leaves the value 0.
        JsonValue* reply = WebViewMsgQuery();
        *value = WebReplyValue(reply);
    }
    return r;
}

int32_t WebSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    if (!rec) return kWebNotCreated;
    if (rec->kind < 1 || rec->kind > kLastSetTextKind) return kWebNotAvailable;
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (!ops || !ops->setText) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    return ops->setText(rec, item, text ? text : "", text ? length : 0);
}

int32_t WebSetValue(ObjectRecord* rec, int32_t item, int32_t value) {
    if (!rec) return kWebNotCreated;
    if (rec->kind == kKindColor) {
        WebColorSetValue(rec, static_cast<uint32_t>(item), static_cast<uint32_t>(value));
        return 0;
    }
    if (rec->kind < 1 || rec->kind > kLastSetValueKind) return kWebNotAvailable;
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (!ops || !ops->setValue) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    return ops->setValue(rec, item, value);
}

int32_t WebInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length) {
    if (!rec) return kWebNotCreated;
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (!ops || !ops->insertItem) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    return ops->insertItem(rec, pos, text, length);
}

int32_t WebDeleteItem(ObjectRecord* rec, int32_t item) {
    if (!rec) return kWebNotCreated;
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (!ops || !ops->deleteItem) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    return ops->deleteItem(rec, item);
}

int32_t WebCheckItem(ObjectRecord* rec, int32_t item, int32_t on) {
    if (!rec) return kWebNotCreated;
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (!ops || !ops->checkItem) return kWebNotAvailable;
    WebViewSelectForObject(rec);
    return ops->checkItem(rec, item, on);
}

int32_t WebCallMethod(ObjectRecord* rec, MethodCallRec* call) {
    if (rec == reinterpret_cast<ObjectRecord*>(-1)) rec = gWebMainWindow;
    if (!rec) return kWebNotCreated;
    WebViewSelectForObject(rec);
    const WebKindOps* ops = WebKindOpsOf(rec);
    return ops && ops->method ? ops->method(rec, call) : kWebNotAvailable;
}

int32_t WebStyleMethod(ObjectRecord* rec, MethodCallRec* call) {
    if (!call) return kWebUnknownMethod;
    uint32_t m = call->method;
    bool plain = PlainAnswers(rec) || IsPlainType(call->objectType) || (IsMenuKind(rec) && m != kCommonGetWebId);
    if (!plain && AnswersZero(rec)) return WebReplyInt(0);
    if (plain) {
        switch (m) {
        case kCommonGetWebStyle: case kCommonGetWebId: return WebReplyText("");
        case kCommonEnableJqEvent: case kCommonDisableJqEvent: return WebReplyInt(1);
        case kCommonSetWebStyle: case kCommonSetJqUiOpt: case kCommonAddWebClass: case kCommonRemoveWebClass: return WebReplyInt(0);
        default: return kWebUnknownMethod;
        }
    }
    WebViewSelectForObject(rec);
    char a0[kArgTextMax], a1[kArgTextMax];
    switch (m) {
    case kCommonSetWebStyle: {
        int32_t opt = WebArgInt(call, 2, 0);
        ArgText(call, 0, a0, sizeof a0);
        ArgText(call, 1, a1, sizeof a1);
        WebSetElemCssEx(rec, a0, a1, (opt & kOptWrapper) != 0, (opt & kOptLabel) != 0);
        if (rec->kind == kKindGroupBox && gWebClassStyling && !(opt & kOptLabel) &&
            strlen(a0) >= kFontPrefixLength && StartsNoCase(a0, "font-", kFontPrefixLength))
            WebSetElemCssEx(rec, a0, a1, false, true);
        return WebReplyInt(0);
    }
    case kCommonGetWebStyle: {
        int32_t opt = WebArgInt(call, 1, 0);
        ObjectRef ref = ObjectRefOf(rec);
        WebViewMsgFlush();
        WebQueryElemCss(rec, ArgText(call, 0, a0, sizeof a0), (opt & kOptWrapper) != 0, false);
        JsonValue* reply = WebViewMsgQuery();
        if (!ObjectRefAlive(ref)) return kWebNotCreated;
        const char* data = reply ? JsonGetText(reply, "data") : nullptr;
        return WebReplyText(data ? data : "");
    }
    case kCommonGetWebId: {
        char id[24];
        bool wrapper = (WebArgInt(call, 0, 0) & kOptWrapper) && WebHasWrapperDiv(rec);
        snprintf(id, sizeof id, wrapper ? "C%uD" : "C%u", rec->elementId);
        return WebReplyText(id);
    }
    case kCommonSetJqUiOpt: {
        int32_t action = JqUiAction(rec);
        if (action) {
            JsonBeginAction(action);
            JsonAddName(rec);
            JsonAddInt("dwid", kJqUiOptionDwid);
            JsonAddStringZ("opt", ArgText(call, 0, a0, sizeof a0));
            WebViewMsgEnd();
        }
        return WebReplyInt(0);
    }
    case kCommonEnableJqEvent: case kCommonDisableJqEvent:
        JsonBeginAction(kActJqEvent);
        JsonAddName(rec);
        JsonAddInt("se", m == kCommonEnableJqEvent ? 1 : 0);
        JsonAddStringZ("eStr", ArgText(call, 0, a0, sizeof a0));
        if (WebArgGiven(call, 1)) JsonAddStringZ("sel", ArgText(call, 1, a1, sizeof a1));
        WebViewMsgEnd();
        return WebReplyInt(0);
    case kCommonAddWebClass: case kCommonRemoveWebClass: {
        int32_t opt = WebArgInt(call, 1, 0);
        ArgText(call, 0, a0, sizeof a0);
        WebChangeElemClassEx(rec, m == kCommonRemoveWebClass ? a0 : nullptr, m == kCommonAddWebClass ? a0 : nullptr,
                             (opt & kOptWrapper) != 0, (opt & kOptLabel) != 0);
        return WebReplyInt(0);
    }
    default:
        return kWebUnknownMethod;
    }
}

// ---- Focus -----------------------------------------------------------------------------

// A date field whose calendar drops down closes it when the focus goes
// to another object.
static void CloseDatePicker(ObjectRecord* to) {
    ObjectRecord* focused = WebFocusedObject();
    if (!focused || focused == to || focused->kind != kKindEditDateTime) return;
    if (gWebHooks.dateTimeFormat && gWebHooks.dateTimeFormat(focused) == kDateFormatPicker) return;
    WebViewSelectForObject(focused);
    JsonBeginAction(kActDateTime);
    JsonAddName(focused);
    JsonAddInt("dwid", kDwidDateClose);
    WebViewMsgEnd();
}

int32_t WebSetFocus(ObjectRecord* rec, int32_t item) {
    if (rec == reinterpret_cast<ObjectRecord*>(-1)) rec = gWebMainWindow;
    if (!rec) return kWebNotCreated;
    ObjectRecord* top = rec->kind == kKindWindow ? rec : ObjectTopWindow(rec);
    // A native window whose page holds its controls: the page moves their focus.
    bool hosted = WebHostsControls(top);
    if (!WebIsWindow(top) && !hosted) return kWebNotCreated;
    gWebFocusRequested = true;
    if (top->flags & kObjShown) CloseDatePicker(rec);
    if (!(rec->flags & kObjShown) || (rec->flags & kObjDisabled)) return 0;
    WindowRecord* w = reinterpret_cast<WindowRecord*>(top);
    if (top->flags & kObjShown) {
        // A window behind comes to the front as a native one is activated:
        // named alone, with the focus back on its control that had it (none:
        // the keys reach no control until Tab); when the focus goes on to a
        // control (one named, or the window's next in tab order), the control
        // that had it hears $GOTFOCUS first and the focus moves on from it.
        bool stepping = item == kFocusFirst || item == kFocusLast;
        if (!hosted && rec == top && !stepping) WebWindowToFront(top);
        else if (!hosted) WebWindowFrontFor(top);
        // The keys typed next go where the focus is now.
        WebViewTakeKeys(rec);
        if (rec->kind == kKindWindow) {
            if (item == kFocusFirst || item == kFocusLast) WebFocusNextObject(hosted ? top : nullptr, item == kFocusLast);
            return 0;
        }
        // A kind may take the focus itself (an HTML control into its page).
        const WebKindOps* ops = WebKindOpsOf(rec);
        if (ops && ops->focus && ops->focus(rec, kWebFocusRequest) != kWebFocusGeneric) return 0;
        WebViewSelectForObject(rec);
        JsonBeginAction(kActFocus);
        JsonAddName(rec);
        if (item) JsonAddInt("item", item);
        if (rec->kind == kKindSlider) JsonAddInt("sld", 1);
        // The page reports the new focus (99995), which updates the window's record.
        WebViewMsgQuery();
        return 0;
    }
    if (rec->kind == kKindWindow) {
        w->focusObj = nullptr;
        w->lastFocus = nullptr;
    } else if (w->focusObj != rec) {
        w->lastFocus = w->focusObj;
        w->focusObj = rec;
    }
    return 0;
}

bool WebTryFocus(ObjectRecord* rec, bool backward, bool tabsOnly) {
    if (!rec || (rec->flags & kObjDisabled) || !(rec->flags & kObjShown)) return false;
    // The kind's own part: with tabsOnly the step inside an HTML control's
    // page; else an HTML control's first element going forwards, its last
    // going backwards (it may refuse), or an empty table-form data list
    // refusing the step.
    const WebKindOps* ops = WebKindOpsOf(rec);
    if (tabsOnly)
        return ops && ops->focus && ops->focus(rec, backward ? kWebFocusPrevious : kWebFocusNext) == kWebFocusTaken;
    if (ops && ops->focus) {
        int32_t answer = ops->focus(rec, backward ? kWebFocusLast : kWebFocusFirst);
        if (answer == kWebFocusRefused) return false;
        if (answer == kWebFocusTaken) {
            WebFocusChanged(rec);
            return true;
        }
    }
    ObjectRef ref = ObjectRefOf(rec);
    // The focus events come now, as a native control's do when the tab step
    // gives it the focus; the page's report of the focus then changes nothing.
    WebPageFocusMoved(rec, ObjectTopWindow(rec));
    if (!ObjectRefAlive(ref)) return false;
    WebSetFocus(rec, 0);
    return true;
}

bool WebFocusNextObject(ObjectRecord* from, bool backward) {
    ObjectRecord* window = from ? ObjectTopWindow(from) : gWebActiveWindow;
    if (from && from->kind == kKindWindow) window = from;
    // A native window whose page holds its controls steps through them itself.
    if (!WebIsWindow(window) && !WebHostsControls(window)) window = gWebActiveWindow;
    if (!WebIsWindow(window) && !WebHostsControls(window)) return false;
    static ObjectRecord* list[kFocusListMax];
    uint32_t n = 0;
    ObjectRecord* holder = WebNativeParent(window);
    CollectFocusable(holder ? holder : window, window, list, &n, 0);
    if (holder && holder != window) CollectFocusable(window, window, list, &n, 0);
    if (n == 0) return false;
    ObjectRecord* current = reinterpret_cast<WindowRecord*>(window)->focusObj;
    // An HTML control with the focus steps through its own page first.
    if (current && current->kind == kKindHtmlControl && WebTryFocus(current, backward, true)) return true;
    uint32_t at = n;
    for (uint32_t i = 0; i < n; ++i)
        if (list[i] == current) at = i;
    for (uint32_t step = 0; step < n; ++step) {
        uint32_t i;
        if (at == n) i = backward ? n - 1 - step : step;
        else i = backward ? (at + n - 1 - step) % n : (at + 1 + step) % n;
        if (WebTryFocus(list[i], backward, false)) return true;
    }
    return false;
}

// ---- Files chosen in file-input buttons ----------------------------------------------------

void WebButtonFilesFree(ObjectRecord* button) {
    if (!button || !(button->flags & kButtonFilesMark)) return;
    button->flags &= ~kButtonFilesMark;
    for (WebChosenFile** link = &gWebChosenFiles; *link;) {
        WebChosenFile* e = *link;
        if (e->elementId == button->elementId) {
            *link = e->next;
            GuardedFree(e);
        } else {
            link = &e->next;
        }
    }
}

// Element i of an array member as text (empty when missing or not a text).
static const char* ArrayText(const JsonValue* array, size_t i, size_t* length) {
    *length = 0;
    const JsonValue* v = array && array->type == json_array && i < array->u.array.length ? array->u.array.values[i]
                                                                                          : nullptr;
    if (!v || v->type != json_string) return "";
    *length = v->u.string.length;
    return v->u.string.ptr;
}

static uint32_t ArrayNumber(const JsonValue* array, size_t i) {
    const JsonValue* v = array && array->type == json_array && i < array->u.array.length ? array->u.array.values[i]
                                                                                          : nullptr;
    if (!v || v->type != json_integer || v->u.integer < 0 || v->u.integer > UINT32_MAX) return 0;
    return static_cast<uint32_t>(v->u.integer);
}

static const JsonValue* OwnArray(const JsonValue* ev, const char* name) {
    if (!ev || ev->type != json_object) return nullptr;
    for (unsigned i = 0; i < ev->u.object.length; ++i)
        if (strcmp(ev->u.object.values[i].name, name) == 0)
            return ev->u.object.values[i].value->type == json_array ? ev->u.object.values[i].value : nullptr;
    return nullptr;
}

void WebButtonFilesChosen(ObjectRecord* button, const JsonValue* ev) {
    if (!button) return;
    PostObjectEvent(button, kEvChange, kEventKindDefault, 0, 0);
    // The post cannot pump: the button is the same record below.
    button->flags |= kButtonFilesMark;
    WebButtonFilesFree(button);
    const JsonValue* names = OwnArray(ev, "ev");
    const JsonValue* types = OwnArray(ev, "v1");
    const JsonValue* sizes = OwnArray(ev, "v2");
    const JsonValue* count = nullptr;
    for (unsigned i = 0; ev && ev->type == json_object && i < ev->u.object.length; ++i)
        if (strcmp(ev->u.object.values[i].name, "em") == 0) count = ev->u.object.values[i].value;
    if (!names || !count || count->type != json_integer || count->u.integer <= 0) return;
    size_t n = names->u.array.length;
    if (static_cast<uint64_t>(count->u.integer) < n) n = static_cast<size_t>(count->u.integer);
    for (size_t i = 0; i < n; ++i) {
        size_t nameLen, typeLen;
        const char* name = ArrayText(names, i, &nameLen);
        const char* type = ArrayText(types, i, &typeLen);
        if (nameLen > kTextBufSize || typeLen > kTextBufSize) continue;
        size_t size = sizeof(WebChosenFile) + nameLen + typeLen + 2;
        WebChosenFile* e = static_cast<WebChosenFile*>(GuardedAlloc(size));
        if (!e) break;
        memset(e, 0, size);
        e->elementId = button->elementId;
        e->index = static_cast<uint32_t>(i);
        e->number = ArrayNumber(sizes, i);
        e->secondOffset = static_cast<uint32_t>(nameLen + 1);
        memcpy(e->texts, name, nameLen);
        memcpy(e->texts + nameLen + 1, type, typeLen);
        e->next = gWebChosenFiles;
        gWebChosenFiles = e;
        button->flags |= kButtonFilesMark;
    }
}

uint32_t WebButtonFileCount(ObjectRecord* button) {
    if (!button || !(button->flags & kButtonFilesMark)) return 0;
    uint32_t n = 0;
    for (WebChosenFile* e = gWebChosenFiles; e; e = e->next)
        if (e->elementId == button->elementId) ++n;
    return n;
}

void WebButtonFileItem(ObjectRecord* button, uint32_t index, uint32_t parts) {
    gTextBuf[0] = 0;
    if (!button) return;
    for (WebChosenFile* e = gWebChosenFiles; e; e = e->next) {
        if (e->elementId != button->elementId || e->index != index) continue;
        char number[16];
        snprintf(number, sizeof number, "%u", e->number);
        const char* pieces[3] = {e->texts, e->texts + e->secondOffset, number};
        size_t used = 0;
        bool first = true;
        for (int p = 0; p < 3; ++p) {
            if (!(parts & (1u << p))) continue;
            int w = snprintf(gTextBuf + used, kTextBufSize + 1 - used, "%s%s", first ? "" : "|", pieces[p]);
            if (w < 0) break;
            used += static_cast<size_t>(w);
            if (used > kTextBufSize) used = kTextBufSize;
            first = false;
        }
        return;
    }
}
