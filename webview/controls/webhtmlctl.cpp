// webhtmlctl.cpp - the HTML control in the web view: its record, the content
// sent to the page (live "QOVPWS" blocks, iframes, scrolling), its properties
// and methods, row walking of a bound table, focus into the control, and the
// page events of its content posted as event 201.
#include "webview/controls/webhtmlctl.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "objects/events.h"
#include "objects/objops.h"
#include "session/log.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webservices.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

namespace {

// Action 35: the control's content and focus; 40: the bound table's rows.
enum HtmlDwid : int { kHdContent = 2, kHdEvents = 3, kHdFocusElement = 4, kHdShown = 7, kHdFocusTab = 8 };
enum TableDwid : int { kTdTable = 1, kTdCurrentRow = 3, kTdRowRequest = 4 };
enum SubCode : uint8_t { kSubHeader = 1, kSubCheck = 2, kSubClick = 3, kSubKey = 4, kSubEdit = 5, kSubPart = 6, kSubEdata = 7 };
constexpr int32_t kNotAvailableMakePict = -3;
constexpr uint32_t kNoElementId = 268435455;
constexpr uint32_t kIframeUrlMax = 300;
// InnerHtml's answer for a URL that names no page (as the native control's
// load that shows none).
constexpr int32_t kContentNotShown = 2;
constexpr int32_t kScrollFlagAuto = 4;
constexpr uint8_t kBdrDefault = 1, kBdrLast = 3;
constexpr uint8_t kScrollDefault = 3, kScrollLast = 4;
constexpr int32_t kTabLast = 32767;
constexpr uint8_t kByteDelete = 127;
constexpr char kLiveOpen[] = "<!-- QOVPWS";
constexpr char kLiveClose[] = "-->";
enum Key : int32_t { kKeyEnd = 35, kKeyHome = 36, kKeyUp = 38, kKeyDown = 40 };

uint8_t BdrOf(int32_t v) { return v >= kBdrDefault && v <= kBdrLast ? static_cast<uint8_t>(v) : kBdrDefault; }
uint8_t ScrollOf(int32_t v) { return v >= 1 && v <= kScrollLast ? static_cast<uint8_t>(v) : kScrollDefault; }


// ---- Method arguments ------------------------------------------------------------------

// A text argument as a NUL-terminated copy (the caller frees it); numbers as "%d".
char* ArgCopy(const MethodCallRec* call, uint32_t i) {
    uint32_t length = 0;
    const char* text = CallArgText(call, i, &length);
    return WebTextDup(text ? text : "", text ? length : 0);
}

struct Args {
    char* text[3];
    explicit Args(const MethodCallRec* call, uint32_t count) {
        for (uint32_t i = 0; i < 3; ++i) text[i] = i < count ? ArgCopy(call, i) : nullptr;
    }
    ~Args() {
        for (char* t : text) GuardedFree(t);
    }
    bool ok(uint32_t count) const {
        for (uint32_t i = 0; i < count; ++i)
            if (!text[i]) return false;
        return true;
    }
};

// ---- Content -------------------------------------------------------------------------------

// The control's texts are written in its own character-set mode.
struct CodePageScope {
    int kept;
    explicit CodePageScope(const WebHtmlCtlRecord* h) : kept(gCharConvMode) {
        gCharConvMode = static_cast<int>(h->codePage);
    }
    ~CodePageScope() { gCharConvMode = kept; }
};

// The live blocks: each "<!-- QOVPWS" and the "-->" after it become blanks.
void MakeBlocksLive(char* text) {
    const size_t openLength = sizeof kLiveOpen - 1, closeLength = sizeof kLiveClose - 1;
    for (char* at = strstr(text, kLiveOpen); at; at = strstr(at, kLiveOpen)) {
        memset(at, ' ', openLength);
        char* end = strstr(at + openLength, kLiveClose);
        if (!end) break;
        memset(end, ' ', closeLength);
        at = end + closeLength;
    }
}

bool IsIframe(const char* content) { return strncmp(content, "<iframe class='qovif'", 21) == 0; }

void SetScrolling(ObjectRecord* rec, int32_t scrollFlags) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    uint8_t mode = (scrollFlags & kScrollFlagAuto) ? 1 : h->scrollBar;
    switch (mode) {
    case 1: WebSetElemCss(rec, "overflow", "auto", false); break;
    case 2:
        WebSetElemCss(rec, "overflow-x", "auto", false);
        WebSetElemCss(rec, "overflow-y", "hidden", false);
        break;
    case 4:
        WebSetElemCss(rec, "overflow-x", "hidden", false);
        WebSetElemCss(rec, "overflow-y", "auto", false);
        break;
    default: WebSetElemCss(rec, "overflow", "hidden", false); break;
    }
}

void SendAction35(ObjectRecord* rec, int what) {
    JsonBeginAction(kActHtmlContent);
    JsonAddName(rec);
    JsonAddInt("dwid", what);
}

// The focus to an element of the content, named by its id.
void FocusElement(const char* id) {
    JsonBeginAction(kActHtmlContent);
    JsonAddStringZ("name", id);
    JsonAddInt("dwid", kHdFocusElement);
    WebViewMsgEnd();
}

// ---- Attributes by selector -------------------------------------------------------------------

void ElementSelector(const char* id, char* out, size_t room) {
    snprintf(out, room, "#%.200s", id ? id : "");
}

int32_t ElementGet(ObjectRecord* rec, const MethodCallRec* call, bool css) {
    Args a(call, 2);
    if (!a.ok(2)) return kWebNoMemory;
    char selector[208];
    ElementSelector(a.text[0], selector, sizeof selector);
    const JsonValue* reply;
    {
        CodePageScope scope(WebHtmlCtl(rec));
        JsonBeginAction(kActSelectorGet);
        JsonAddStringZ("sel", selector);
        JsonAddInt("dwid", css ? 1 : WebHtmlAttrWhat(a.text[1]));
        JsonAddStringZ("nam", a.text[1]);
        reply = WebViewMsgQuery();
    }
    const char* value = reply ? JsonGetText(reply, "val") : nullptr;
    return WebReplyText(value ? value : "");
}

int32_t ElementSet(ObjectRecord* rec, const MethodCallRec* call, bool css) {
    Args a(call, 3);
    if (!a.ok(3)) return kWebNoMemory;
    char selector[208];
    ElementSelector(a.text[0], selector, sizeof selector);
    CodePageScope scope(WebHtmlCtl(rec));
    JsonBeginAction(kActSelectorSet);
    JsonAddStringZ("sel", selector);
    JsonAddInt("dwid", css ? 1 : WebHtmlAttrWhat(a.text[1]));
    JsonAddStringZ("nam", a.text[1]);
    JsonAddStringZ("val", a.text[2]);
    WebViewMsgEnd();
    return WebReplyInt(0);
}

// ---- Methods ----------------------------------------------------------------------------------

// The object the server knows: the control itself, or for the twin of a
// native control with a page of its own, that control.
ObjectRecord* EventTarget(ObjectRecord* rec) {
    ObjectRecord* p = rec->parent;
    return p && p->kind == kKindHtmlControl && !ObjectIsWebView(p) ? p : rec;
}


int32_t InnerHtml(ObjectRecord* rec, const MethodCallRec* call) {
    // A URL after "!" holding a NUL, cut there, would frame another page or
    // file: refused, the control keeps its content.
    uint32_t length = 0;
    const char* given = CallArgText(call, 0, &length);
    if (given && length && given[0] == '!' && !NameIsWhole(given, length, SIZE_MAX)) {
        DebugLogWrite("WebHtmlInnerHtml", "the URL holds a NUL: refused, the content stays as it was");
        return WebReplyInt(kContentNotShown);
    }
    Args a(call, 1);
    if (!a.ok(1)) return kWebNoMemory;
    const char* content = a.text[0];
    char* frame = nullptr;
    if (content[0] == '!' && strlen(content + 1) < kIframeUrlMax) {
        // A page by URL: an iframe of the control's size, the URL escaped.
        HtmlReset();
        char head[96];
        snprintf(head, sizeof head, "<iframe class='qovif' width='%dpx' height='%dpx' src='",
                 rec->right - rec->left, rec->bottom - rec->top);
        HtmlAppend(head, 0);
        HtmlAppendAttr(content + 1, static_cast<uint32_t>(strlen(content + 1)));
        HtmlAppend("'></iframe>", 0);
        frame = WebTextDup(gHtmlBuf.data ? gHtmlBuf.data : "", gHtmlBuf.length);
        if (!frame) return kWebNoMemory;
        content = frame;
    }
    int32_t rc = WebHtmlCtlSetContent(rec, content, 0, true);
    GuardedFree(frame);
    if (WebArgGiven(call, 1) && WebArgInt(call, 1, 0)) {
        SendAction35(rec, kHdEvents);
        WebViewMsgEnd();
    }
    return WebReplyInt(rc);
}

int32_t BindDataTable(ObjectRecord* rec, const MethodCallRec* call) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    int32_t table = WebArgInt(call, 0, 0);
    if (table) {
        if (h->boundTable && h->boundTable != static_cast<uint32_t>(table)) return WebReplyInt(0);
        h->boundTable = static_cast<uint32_t>(table);
        int32_t values[4] = {WebArgInt(call, 1, 0), 0, 0, 0};
        EventRegister(EventTarget(rec), kEvHtmlControl, values, false, nullptr, 0);
        return WebReplyInt(rec->elementId ? static_cast<int32_t>(rec->elementId) : static_cast<int32_t>(kNoElementId));
    }
    h->boundTable = 0;
    h->currentRow = h->firstRow = h->lastRow = 0;
    WebHtmlCtlSetContent(rec, "", 0, true);
    EventUnregister(EventTarget(rec), kEvHtmlControl);
    return WebReplyInt(0);
}

// BindHtml (first row, last row, markup, table form, multi-select).
int32_t BindHtml(ObjectRecord* rec, const MethodCallRec* call) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    h->firstRow = WebArgInt(call, 0, 0);
    h->lastRow = WebArgInt(call, 1, 0);
    if (h->currentRow < h->firstRow || h->currentRow > h->lastRow) h->currentRow = h->firstRow;
    char* markup = ArgCopy(call, 2);
    if (!markup) return kWebNoMemory;
    if (!h->boundTable) {
        WebHtmlCtlSetContent(rec, markup, 0, true);
    } else if (WebArgInt(call, 3, 0) == 1) {
        CodePageScope scope(h);
        JsonBeginAction(kActList);
        JsonAddName(rec);
        JsonAddInt("dwid", kTdTable);
        if (WebArgInt(call, 4, 0)) JsonAddInt("ms", 1);
        JsonAddInt("dt", 1);
        JsonAddStringZ("html", markup);
        WebViewMsgEnd();
        if (!h->shownOnce) {
            h->shownOnce = 1;
            SendAction35(rec, kHdShown);
            WebViewMsgEnd();
        }
    }
    GuardedFree(markup);
    SendAction35(rec, kHdEvents);
    WebViewMsgEnd();
    return WebReplyInt(0);
}

void SendRow(ObjectRecord* rec, int what, int32_t row) {
    JsonBeginAction(kActList);
    JsonAddName(rec);
    JsonAddInt("dwid", what);
    JsonAddInt("rn", row);
    JsonAddInt("pos", 0);
    WebViewMsgEnd();
}

// ---- Page events ---------------------------------------------------------------------------------

// Event 201 with a sub-code: only an enabled control that registered it; the
// registration's value slots carry the values.
void PostHtmlEvent(ObjectRecord* twinOrControl, uint8_t subCode, const int32_t values[4], const char* text) {
    ObjectRecord* rec = EventTarget(twinOrControl);
    if ((rec->flags | twinOrControl->flags) & kObjDisabled) return;
    EventReg* reg = EventFindReg(rec, kEvHtmlControl);
    if (!reg) return;
    for (int i = 0; i < 4; ++i) reg->values[i] = values[i];
    char* copy = nullptr;
    if (text) {
        size_t n = strlen(text);
        copy = static_cast<char*>(LocalAllocZero(n + 1));
        if (!copy) return;
        memcpy(copy, text, n);
    }
    if (!PostEvent(rec, kEvHtmlControl, subCode, 0, WebHtmlCtl(twinOrControl)->rowValue, 0, copy, 0) && copy)
        LocalFreeMem(copy);
}

int32_t IntOf(const JsonValue* ev, const char* name) { return static_cast<int32_t>(JsonGetInt(ev, name)); }

void OnFocusEvent(ObjectRecord* rec, const JsonValue* ev, bool withTab) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    ObjectRecord* top = ObjectTopWindow(rec);
    if (WebIsWindow(top)) WebSetActiveWindow(top);
    WebFocusChanged(rec);
    h->focusId[0] = 0;
    if (withTab) h->currentTab = 0;
    const char* edata = JsonGetTextRaw(ev, "edata");
    if (!edata) return;
    WebHtmlEdataId(edata, h->focusId);
    uint32_t tab;
    if (withTab && WebHtmlEdataTab(edata, &tab)) h->currentTab = tab;
}

void OnKey(ObjectRecord* rec, int32_t key) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    int32_t row = h->currentRow;
    switch (key) {
    case kKeyEnd: row = h->lastRow; break;
    case kKeyHome: row = h->firstRow; break;
    case kKeyUp: row = h->currentRow > h->firstRow ? h->currentRow - 1 : h->currentRow; break;
    case kKeyDown: row = h->currentRow < h->lastRow ? h->currentRow + 1 : h->currentRow; break;
    default: return;
    }
    if (row == h->currentRow) return;
    h->currentRow = row;
    SendRow(rec, kTdCurrentRow, row);
    int32_t values[4] = {row, 0, 0, 0};
    PostHtmlEvent(rec, kSubKey, values, nullptr);
}

bool OnPageEvent(ObjectRecord* rec, int32_t code, const JsonValue* ev, const WebEventName* name) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    int32_t values[4] = {};
    switch (code) {
    case kPeHtmlFocusTab: OnFocusEvent(rec, ev, true); return true;
    case kPeHtmlFocus: OnFocusEvent(rec, ev, false); return true;
    case kPeHeaderClick:
        values[0] = name->header;
        PostHtmlEvent(rec, kSubHeader, values, nullptr);
        return true;
    case kPeRowCheck:
        values[0] = name->hasRow ? name->row : 0;
        values[1] = IntOf(ev, "ev");
        PostHtmlEvent(rec, kSubCheck, values, nullptr);
        return true;
    case kPeRowClick:
        h->currentRow = name->row;
        values[0] = name->row, values[1] = name->item, values[2] = IntOf(ev, "ev"), values[3] = IntOf(ev, "em");
        PostHtmlEvent(rec, kSubClick, values, nullptr);
        return true;
    case kPeListKey: OnKey(rec, IntOf(ev, "ev")); return true;
    case kPeCellEdit: {
        values[0] = name->row, values[1] = name->item;
        const char* text = JsonGetText(ev, "edata");
        PostHtmlEvent(rec, kSubEdit, values, text ? text : "");
        return true;
    }
    case kPeHtmlPart:
        values[0] = name->part;
        PostHtmlEvent(rec, kSubPart, values, nullptr);
        return true;
    case kPeScript1: {
        const char* text = JsonGetText(ev, "edata");
        PostHtmlEvent(rec, kSubEdata, values, text ? text : "");
        return true;
    }
    default: return false;
    }
}

void Destroy(ObjectRecord* rec) { WebHtmlControlFree(rec); }

int32_t MethodOp(ObjectRecord* rec, MethodCallRec* call) { return WebHtmlControlMethod(rec, call); }

}  // namespace

int WebHtmlAttrWhat(const char* name) {
    if (!name) return 6;
    if (StrEqualNoCase(name, "val") || StrEqualNoCase(name, "value")) return 3;
    if (StrEqualNoCase(name, "html")) return 4;
    if (StrEqualNoCase(name, "text")) return 5;
    if (StrEqualNoCase(name, "checked") || StrEqualNoCase(name, "disabled")) return 2;
    return 6;
}


ObjectRecord* WebHtmlCtlCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t, int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(kKindHtmlControl, sizeof(WebHtmlCtlRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    h->codePage = static_cast<uint32_t>(CreateRecordValue(cr, kPidCodePage, 0));
    h->webMode = static_cast<uint32_t>(CreateRecordValue(cr, kPidWebMode, 0));
    h->bdrStyle = BdrOf(CreateRecordValue(cr, kPidBdrStyle, kBdrDefault));
    h->scrollBar = ScrollOf(cr->scrollBar ? cr->scrollBar : CreateRecordValue(cr, kPidScrollBar, kScrollDefault));
    CrText inner = cr->innerHtml.text ? cr->innerHtml : CreateRecordText(cr, kPidInnerHtml);
    if (inner.text && inner.length) {
        h->content = WebTextDup(inner.text, inner.length);
        if (!h->content) {
            *code = kWebNoMemory;
            return nullptr;
        }
    }
    *code = 0;
    return rec;
}

int32_t WebHtmlCtlSetContent(ObjectRecord* rec, const char* content, int32_t scrollFlags, bool keep) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    if (!content) content = "";
    size_t length = strlen(content);
    if (keep) {
        char* copy = WebTextDup(content, static_cast<uint32_t>(length));
        if (!copy) return kWebNoMemory;
        GuardedFree(h->content);
        h->content = copy;
    }
    char* sent = WebTextDup(content, static_cast<uint32_t>(length));
    if (!sent) return kWebNoMemory;
    if (!IsIframe(sent)) MakeBlocksLive(sent);
    if (h->codePage == 1)
        for (char* p = sent; *p; ++p)
            if (static_cast<uint8_t>(*p) == kByteDelete) *p = ' ';
    WebViewSelectForObject(rec);
    SetScrolling(rec, scrollFlags);
    {
        CodePageScope scope(h);
        SendAction35(rec, kHdContent);
        JsonAddInt("hctl", 1);
        JsonAddStringZ("html", sent);
        WebViewMsgEnd();
    }
    GuardedFree(sent);
    if (!h->shownOnce) {
        h->shownOnce = 1;
        SendAction35(rec, kHdShown);
        WebViewMsgEnd();
    }
    return 0;
}

int32_t WebHtmlControlSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                              bool* commonWrite) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    switch (id) {
    case kPidCodePage: h->codePage = static_cast<uint32_t>(value); break;
    case kPidWebMode: h->webMode = static_cast<uint32_t>(value); break;
    case kPidScrollBar: h->scrollBar = ScrollOf(value); break;
    case kPidBdrStyle: h->bdrStyle = BdrOf(value); break;
    case kPidInnerHtml: {
        char* copy = WebTextDup(text ? text : "", text ? length : 0);
        if (!copy) return kWebNoMemory;
        int32_t rc = WebHtmlCtlSetContent(rec, copy, 0, true);
        GuardedFree(copy);
        if (commonWrite) *commonWrite = false;
        return rc;
    }
    default: return kWebNotAvailable;
    }
    if (commonWrite) *commonWrite = false;
    return 0;
}

int32_t WebHtmlControlGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    switch (id) {
    case kPidCodePage: *result = static_cast<int32_t>(h->codePage); return 0;
    case kPidWebMode: *result = static_cast<int32_t>(h->webMode); return 0;
    case kPidScrollBar: *result = h->scrollBar; return 0;
    case kPidBdrStyle: *result = h->bdrStyle; return 0;
    case kPidInnerHtml:
        snprintf(gTextBuf, kTextBufSize + 1, "%s", h->content ? h->content : "");
        *text = gTextBuf;
        return 0;
    default: return kWebNotAvailable;
    }
}

void WebHtmlControlFree(ObjectRecord* rec) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    GuardedFree(h->content);
    h->content = nullptr;
}

int32_t WebHtmlControlMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = WebCheckMethod(kTypeHTMLControl, call);
    if (rc) return rc;
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    WebViewSelectForObject(rec);
    switch (call->method) {
    case kHtmlInnerHtml: return InnerHtml(rec, call);
    case kHtmlGetAttr: return ElementGet(rec, call, false);
    case kHtmlGetCss: return ElementGet(rec, call, true);
    case kHtmlSetAttr: return ElementSet(rec, call, false);
    case kHtmlSetCss: return ElementSet(rec, call, true);
    case kHtmlFocus: {
        char* id = ArgCopy(call, 0);
        if (!id) return kWebNoMemory;
        snprintf(h->focusId, sizeof h->focusId, "%s", id);
        FocusElement(h->focusId);
        GuardedFree(id);
        return WebReplyInt(0);
    }
    case kHtmlUpdateEvents:
        SendAction35(rec, kHdEvents);
        WebViewMsgEnd();
        return WebReplyInt(0);
    case kHtmlMakePict: return kNotAvailableMakePict;
    case kHtmlContextMenu:
        h->contextMenu = WebArgInt(call, 0, 0);
        return WebReplyInt(0);
    case kHtmlBindDataTable: return BindDataTable(rec, call);
    case kHtmlBindHtml: return BindHtml(rec, call);
    case kHtmlBindAction: return WebReplyInt(WebHtmlCtlRowAction(rec, WebArgInt(call, 0, 0)));
    default: return kWebUnknownMethod;
    }
}

int32_t WebHtmlCtlRowAction(ObjectRecord* rec, int32_t request) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    if (!h->boundTable) return 0;
    if (request == 1) {
        SendRow(rec, kTdCurrentRow, h->currentRow);
    } else if (request == 2) {
        SendRow(rec, kTdRowRequest, h->currentRow);
    }
    return 0;
}

namespace {

constexpr int kLoadDepthMax = 64;

void Reload(ObjectRecord* rec) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    if (h->content) WebHtmlCtlSetContent(rec, h->content, 0, false);
}

void LoadChain(ObjectRecord* first, int depth) {
    if (depth > kLoadDepthMax) return;
    for (ObjectRecord* c = first; c; c = c->next) {
        if (c->kind == kKindHtmlControl) Reload(c);
        else if (c->children) LoadChain(c->children, depth + 1);
    }
}

}  // namespace

void WebHtmlControlLoadAll(ObjectRecord* rec) {
    if (!rec) return;
    if (rec->kind == kKindHtmlControl && ObjectIsWebView(rec)) {
        Reload(rec);
        return;
    }
    // A window, or a native HTML control whose own page holds its twin.
    if (ObjectIsWebView(rec) || rec->kind == kKindHtmlControl) {
        LoadChain(rec->children, 0);
        return;
    }
    // A native host: the web windows it shows.
    for (ObjectRecord* w = gWebWindowList; w; w = w->next)
        if (WebWindowHostRecord(w) == rec) LoadChain(w->children, 0);
}

int32_t WebHtmlControlFocus(ObjectRecord* rec, int32_t tabMode) {
    WebHtmlCtlRecord* h = WebHtmlCtl(rec);
    WebViewSelectForObject(rec);
    if (h->boundTable) {
        if (WebFocusedObject() == rec) return 1;
        JsonBeginAction(kActFocus);
        JsonAddName(rec);
        WebViewMsgQuery();
        return 0;
    }
    if (tabMode == 0 && h->focusId[0]) {
        FocusElement(h->focusId);
        return 0;
    }
    if (tabMode == 0) tabMode = 3;
    if (tabMode < 1 || tabMode > 4) return 1;
    SendAction35(rec, kHdFocusTab);
    if (tabMode == 1 || tabMode == 3) JsonAddInt("fwd", 1);
    JsonAddInt("tid", tabMode <= 2 ? static_cast<int32_t>(h->currentTab) : tabMode == 3 ? 0 : kTabLast);
    const JsonValue* reply = WebViewMsgQuery();
    return reply && JsonGetInt(reply, "tabid") != 0 ? 0 : 1;
}

// ---- The kind's row --------------------------------------------------------------------------

namespace {

// The control takes the focus into its page: a request its own element, a
// tab step its first, last, next or previous element.
int32_t FocusOp(ObjectRecord* rec, int32_t step) {
    static const int32_t kHow[] = {0, kHtmlFocusFirst, kHtmlFocusLast, kHtmlFocusNext, kHtmlFocusPrevious};
    int32_t how = step >= 0 && step <= kWebFocusPrevious ? kHow[step] : 0;
    return WebHtmlControlFocus(rec, how) == 0 ? kWebFocusTaken : kWebFocusRefused;
}

const WebKindOps kHtmlOps = {
    .create = WebHtmlCtlCreate,
    .markup = HtmlPlainDivMarkup,
    .setProp = WebHtmlControlSetProp,
    .getProp = WebHtmlControlGetProp,
    .pageEvent = OnPageEvent,
    .destroy = Destroy,
    .method = MethodOp,
    .focus = FocusOp,
    .defaultEvent = kEvJQuery,
    .traits = kWebKindTakesFocus,
};

}  // namespace

void WebHtmlCtlInstall() {
    WebRegisterKind(kKindHtmlControl, &kHtmlOps);
    gWebHooks.htmlControlLoadAll = WebHtmlControlLoadAll;
}
