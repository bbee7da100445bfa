// webtabs.cpp - the tab control of the web view: the client keeps the tabs
// (labels, images, parameters) and tells the page's tab strip of every change
// with action 32, or action 51 for one tab's label; the page reports tab
// switches as $CHANGE and $CLICK with the 1-based tab.
#include "webview/controls/webtabs.h"

#include <cstdio>
#include <cstring>

#include "graphics/barcore.h"
#include "objects/events.h"
#include "objects/objtables.h"
#include "session/util/json.h"
#include "session/util/mem.h"
#include "webview/controls/webdrawn.h"
#include "webview/controls/weblist.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"
#include "webview/core/webmarkup.h"

namespace {

enum TabDwid : int32_t { kTdSelect = 1, kTdInsert = 6, kTdDelete = 7, kTdAskSelected = 8 };
constexpr int32_t kSelectorInnerHtml = 4;
constexpr uint32_t kLabelsMax = 40960;
constexpr uint32_t kMethodLabelMax = 255;
constexpr uint8_t kWidthStyleDefault = 2, kWidthStyleMax = 3;
constexpr uint32_t kTabStyleLimit = 4;
constexpr int32_t kNoImage = -1, kNoSuchTab = -2;
constexpr int kAxisH = 0, kAxisV = 1;
enum TabValueWhich : int32_t { kTvSelected = 0, kTvCount = 1, kTvRows = 2 };

WebTabNode* NodeAt(WebTabControlRecord* t, int32_t index) {   // zero-based
    if (index < 0) return nullptr;
    WebTabNode* n = t->tabs;
    for (int32_t i = 0; n && i < index; ++i) n = n->next;
    return n;
}

// A node of a parsed label: at most 200 characters of it, a blank when empty.
WebTabNode* NodeFromLabel(const TabLabel& parsed) {
    auto* n = static_cast<WebTabNode*>(GuardedAlloc(sizeof(WebTabNode)));
    if (!n) return nullptr;
    memset(n, 0, sizeof *n);
    n->image = kNoImage;
    n->hotKey = parsed.hotKey;
    uint32_t len = parsed.length < kTabLabelStored ? parsed.length : kTabLabelStored;
    n->label = static_cast<char*>(GuardedAlloc(len ? len + 1 : 2));
    if (!n->label) {
        GuardedFree(n);
        return nullptr;
    }
    if (len) memcpy(n->label, parsed.text, len);
    else n->label[len++] = ' ';
    n->label[len] = 0;
    return n;
}

void NodeFree(WebTabNode* n) {
    if (!n) return;
    GuardedFree(n->label);
    GuardedFree(n);
}

void SendDwidPos(ObjectRecord* rec, int32_t dwid, int32_t pos) {
    WebViewSelectForObject(rec);
    JsonBeginAction(kActTabs);
    JsonAddName(rec);
    JsonAddInt("dwid", dwid);
    JsonAddInt("pos", pos);
}

// A tab's label with its image cut from the strip of the control's image
// list (labels only while the list is gone or has no strip).
void TabMarkup(const WebTabControlRecord* t, const WebTabNode* n, char* out, size_t outSize) {
    const char* url = nullptr;
    int32_t width = 0, height = 0;
    if (!WebImageListStrip(t->imageList, &url, &width, &height)) url = nullptr;
    WebTabImageMarkup(n, url, width, height, out, outSize);
}

void SendInsert(ObjectRecord* rec, WebTabNode* n, int32_t pos) {
    char lab[kTabMarkupMax + 1];
    TabMarkup(WebTabs(rec), n, lab, sizeof lab);
    SendDwidPos(rec, kTdInsert, pos);
    JsonAddInt("id", static_cast<int32_t>(rec->elementId));
    JsonAddStringZ("lab", lab);
    WebViewMsgEnd();
}

// A new node inserted at pos and sent; -6 without memory, -4 when the control
// has its 255 tabs.
int32_t InsertNode(ObjectRecord* rec, const char* text, uint32_t length, int32_t pos, int32_t image, uint32_t param) {
    WebTabControlRecord* t = WebTabs(rec);
    if (t->count >= kTabCountMax) return kWebRectRefused;
    WebTabNode* n = WebTabNodeNew(text, length);
    if (!n) return kWebNoMemory;
    n->image = image;
    n->param = param;
    bool atEnd = WebTabNodeInsert(t, n, pos);
    SendInsert(rec, n, atEnd ? kTabPosAtEnd : pos);
    return kWebOk;
}

void DeleteAll(ObjectRecord* rec) {
    while (WebTabs(rec)->count) WebTabControlDeleteItem(rec, 1);
}

void RefreshLabels(ObjectRecord* rec) {
    for (int32_t n = 1; n <= WebTabs(rec)->count; ++n) WebTabControlSelectTab(rec, n, nullptr, 0);
}

// Only a web-mode image list counts (anything else, and handle 0, leaves the
// control with none); the labels are sent again.
void SetImageList(ObjectRecord* rec, int32_t handle) {
    WebListTakeImageList(&WebTabs(rec)->imageList, handle);
    RefreshLabels(rec);
}

void LabelsToTextBuf(const char* text, uint32_t length) {
    if (!text) length = 0;
    if (length > kLabelsMax) length = kLabelsMax;
    if (length) memcpy(gTextBuf, text, length);
    gTextBuf[length] = 0;
}

// The labels joined by ';' into gTextBuf.
void LabelsJoined(const WebTabControlRecord* t) {
    uint32_t at = 0;
    for (const WebTabNode* n = t->tabs; n; n = n->next) {
        if (n != t->tabs && at < kTextBufSize) gTextBuf[at++] = ';';
        for (const char* p = n->label; *p && at < kTextBufSize; ++p) gTextBuf[at++] = *p;
    }
    gTextBuf[at] = 0;
}

// ---- Generic operations -----------------------------------------------------------------

int32_t TabGetText(ObjectRecord* rec, int32_t item) {
    WebTabNode* n = NodeAt(WebTabs(rec), item - 1);
    gTextBuf[0] = 0;
    if (!n) return 0;
    snprintf(gTextBuf, kTextBufSize + 1, "%s", n->label);
    return static_cast<int32_t>(strlen(gTextBuf));
}

int32_t TabGetValue(ObjectRecord* rec, int32_t which, int32_t* value, bool*) {
    WebTabControlRecord* t = WebTabs(rec);
    switch (which) {
    case kTvSelected:
        // A tab switch the page reported already is the answer while $CHANGE
        // is registered: the page need not be asked.
        if (t->changed && EventIsRegistered(rec, kEvChange)) {
            *value = t->selected;
            return kWebOk;
        }
        t->changed = 0;
        JsonBeginAction(kActTabs);
        JsonAddName(rec);
        JsonAddInt("dwid", kTdAskSelected);
        {
            JsonValue* reply = WebViewMsgQuery();
            *value = reply && JsonFindMember(reply, "val") ? WebReplyValue(reply) + 1 : 0;
        }
        return kWebOk;
    case kTvCount: *value = t->count; return kWebOk;
    case kTvRows: *value = 1; return kWebOk;
    default: *value = 0; return kWebOk;
    }
}

int32_t TabSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    return WebTabControlSelectTab(rec, item, text ? text : "", text ? length : 0);
}

int32_t TabSetValue(ObjectRecord* rec, int32_t which, int32_t n) {
    WebTabControlRecord* t = WebTabs(rec);
    if (which != kTvSelected || n < 1 || n > t->count) return kWebOk;
    t->selected = static_cast<uint8_t>(n);
    SendDwidPos(rec, kTdSelect, n - 1);
    WebViewMsgEnd();
    return kWebOk;
}

void TabDestroy(ObjectRecord* rec) {
    WebTabControlRecord* t = WebTabs(rec);
    while (t->tabs) {
        WebTabNode* n = t->tabs;
        t->tabs = n->next;
        NodeFree(n);
    }
    t->count = t->selected = 0;
    WebListTakeImageList(&t->imageList, 0);
}

// ---- Properties -------------------------------------------------------------------------

int32_t TabSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length, bool* commonWrite) {
    WebTabControlRecord* t = WebTabs(rec);
    switch (id) {
    case kPidTabLabel:
        DeleteAll(rec);
        LabelsToTextBuf(text, length);
        WebTabControlParseLabels(t);
        {
            char lab[kTabMarkupMax + 1];
            for (WebTabNode* n = t->tabs; n; n = n->next) {
                TabMarkup(t, n, lab, sizeof lab);
                SendDwidPos(rec, kTdInsert, kTabPosRelabel);
                JsonAddInt("id", static_cast<int32_t>(rec->elementId));
                JsonAddStringZ("lab", lab);
                WebViewMsgEnd();
            }
        }
        break;
    case kPidMultiRow: t->multiRow = static_cast<uint8_t>(value); break;
    case kPidTabWthStyle: t->widthStyle = static_cast<uint8_t>(value); break;
    case kPidTabFixHth: t->fixHeight = WebScaleValue(rec, value, kAxisV, true); break;
    case kPidTabFixWth: t->fixWidth = WebScaleValue(rec, value, kAxisH, true); break;
    case kPidImageList: SetImageList(rec, value); break;
    case kPidTabStyle: t->tabStyle = static_cast<uint32_t>(value); break;
    default: return kWebNotAvailable;
    }
    *commonWrite = false;
    return kWebOk;
}

int32_t TabGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebTabControlRecord* t = WebTabs(rec);
    switch (id) {
    case kPidTabLabel: LabelsJoined(t); *text = gTextBuf; return kWebOk;
    case kPidMultiRow: *result = t->multiRow; return kWebOk;
    case kPidTabWthStyle: *result = t->widthStyle; return kWebOk;
    case kPidTabFixHth: *result = WebScaleValue(rec, t->fixHeight, kAxisV, false); return kWebOk;
    case kPidTabFixWth: *result = WebScaleValue(rec, t->fixWidth, kAxisH, false); return kWebOk;
    case kPidImageList: *result = WebListIsImageList(t->imageList) ? static_cast<int32_t>(t->imageList->handle) : 0; return kWebOk;
    case kPidTabStyle: *result = static_cast<int32_t>(t->tabStyle); return kWebOk;
    default: return kWebNotAvailable;
    }
}

// ---- Page events ------------------------------------------------------------------------

// A tab switch of the page: $CHANGE keeps the new tab so that a value query
// need not ask; $CLICK ends that. The event itself is posted as usual.
bool TabPageEvent(ObjectRecord* rec, int32_t code, const JsonValue* ev, const WebEventName*) {
    WebTabControlRecord* t = WebTabs(rec);
    if (code == static_cast<int32_t>(kEvChange)) {
        int64_t tab = JsonGetInt(ev, "ev");
        if (tab >= 1 && tab <= t->count) t->selected = static_cast<uint8_t>(tab);
        t->changed = 1;
    } else if (code == static_cast<int32_t>(kEvClick)) {
        t->changed = 0;
    }
    return false;
}

// ---- Methods ------------------------------------------------------------------------------

const char* ArgText(const MethodCallRec* call, uint32_t i, uint32_t* length) {
    *length = 0;
    if (!WebArgGiven(call, i) || call->args[i].kind != kItemText) return nullptr;
    *length = call->args[i].size;
    return call->args[i].data ? static_cast<const char*>(call->args[i].data) : "";
}


}  // namespace

WebTabNode* WebTabNodeNew(const char* label, uint32_t length) {
    // The label rules (marks kept, the hot key after a single '&') are the
    // native tab control's.
    TabLabel parsed;
    bool ended = false;
    TabLabelNext(label ? label : "", label ? length : 0, &parsed, &ended);
    return NodeFromLabel(parsed);
}

bool WebTabNodeInsert(WebTabControlRecord* t, WebTabNode* node, int32_t pos) {
    // A negative position would walk the list with a negative count: it appends.
    bool atEnd = !t->tabs || pos < 0 || pos >= t->count;
    WebTabNode** link = &t->tabs;
    if (atEnd) {
        while (*link) link = &(*link)->next;
    } else {
        for (int32_t i = 0; i < pos; ++i) link = &(*link)->next;
    }
    node->next = *link;
    *link = node;
    t->count++;
    return atEnd;
}

void WebTabControlParseLabels(WebTabControlRecord* t) {
    t->count = 0;
    t->selected = 0;
    uint32_t length = static_cast<uint32_t>(strlen(gTextBuf)), at = 0;
    while (at < length && t->count < kTabCountMax) {
        TabLabel parsed;
        bool ended = false;
        at += TabLabelNext(gTextBuf + at, length - at, &parsed, &ended);
        if (!ended && parsed.length == 0) break;
        WebTabNode* n = NodeFromLabel(parsed);
        if (!n) break;
        WebTabNodeInsert(t, n, kTabPosAtEnd);
    }
}

void WebTabImageMarkup(const WebTabNode* node, const char* imageUrl, int32_t imageWidth, int32_t imageHeight,
                       char* out, size_t outSize) {
    if (!outSize) return;
    out[0] = 0;
    if (!node) return;
    HtmlReset();
    if (imageUrl && node->image >= 0) {
        char head[200];
        snprintf(head, sizeof head,
                 "<div class=\"qovtabi\" style=\"background-position: -%dpx 0px; width: %dpx; height: %dpx; "
                 "background-image: url('",
                 imageWidth * node->image, imageWidth, imageHeight);
        HtmlAppend(head, 0);
        // The URL sits in a quoted url() inside a double-quoted attribute:
        // quotes, brackets, backslashes and markup characters are written as
        // %XX so that a file name cannot end the attribute or the style.
        for (const char* p = imageUrl; *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (c <= ' ' || strchr("'\"()\\<>&%", c)) {
                char esc[4];
                snprintf(esc, sizeof esc, "%%%02X", c);
                HtmlAppend(esc, 0);
            } else {
                HtmlAppend(p, 1);
            }
        }
        HtmlAppend("');\"></div>", 0);
    }
    HtmlAppendText(node->label, kTabLabelStored);
    size_t n = gHtmlBuf.failed || !gHtmlBuf.data ? 0 : gHtmlBuf.length;
    size_t cap = outSize - 1 < kTabMarkupMax ? outSize - 1 : kTabMarkupMax;
    if (n > cap) n = cap;
    if (n) memcpy(out, gHtmlBuf.data, n);
    out[n] = 0;
    HtmlReset();
}

ObjectRecord* WebTabControlCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                  int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(static_cast<uint8_t>(kind), sizeof(WebTabControlRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebTabControlRecord* t = WebTabs(rec);
    t->fixWidth = WebScaleValue(rec, CreateRecordValue(cr, kPidTabFixWth, 0), kAxisH, true);
    t->fixHeight = WebScaleValue(rec, CreateRecordValue(cr, kPidTabFixHth, 0), kAxisV, true);
    int32_t ws = CreateRecordValue(cr, kPidTabWthStyle, kWidthStyleDefault);
    t->widthStyle = ws >= 1 && ws <= kWidthStyleMax ? static_cast<uint8_t>(ws) : kWidthStyleDefault;
    t->multiRow = static_cast<uint8_t>(CreateRecordValue(cr, kPidMultiRow, 0) != 0);
    uint32_t style = static_cast<uint32_t>(CreateRecordValue(cr, kPidTabStyle, 0));
    if (style < kTabStyleLimit) t->tabStyle = style;
    // Only a TabLabel makes tabs; the creation Text is not a label list.
    CrText labels = CreateRecordText(cr, kPidTabLabel);
    LabelsToTextBuf(labels.text, labels.length);
    WebTabControlParseLabels(t);
    // An image list given at creation (a form's tab control names its list).
    if (cr->given[kPidImageList]) SetImageList(rec, cr->values[kPidImageList]);
    *code = kWebOk;
    return rec;
}

int32_t WebTabControlDeleteItem(ObjectRecord* rec, int32_t n) {
    WebTabControlRecord* t = WebTabs(rec);
    if (n == 0) {
        DeleteAll(rec);
        return kWebOk;
    }
    if (n < 1 || n > t->count) return kWebOk;
    WebTabNode** link = &t->tabs;
    for (int32_t i = 1; i < n; ++i) link = &(*link)->next;
    WebTabNode* gone = *link;
    *link = gone->next;
    NodeFree(gone);
    t->count--;
    if (t->selected > t->count) t->selected = t->count;
    SendDwidPos(rec, kTdDelete, n - 1);
    WebViewMsgEnd();
    return kWebOk;
}

int32_t WebTabControlInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length) {
    if (!text || !length) text = " ", length = 1;
    if (length > kLabelsMax) length = kLabelsMax;
    return InsertNode(rec, text, length, pos, kNoImage, 0);
}

int32_t WebTabControlSelectTab(ObjectRecord* rec, int32_t n, const char* text, uint32_t length) {
    WebTabControlRecord* t = WebTabs(rec);
    if (n < 1 || n > t->count) return kWebOk;
    WebTabNode** link = &t->tabs;
    for (int32_t i = 1; i < n; ++i) link = &(*link)->next;
    if (text) {
        WebTabNode* fresh = WebTabNodeNew(text, length);
        if (!fresh) return kWebNoMemory;
        WebTabNode* old = *link;
        fresh->image = old->image;
        fresh->param = old->param;
        fresh->next = old->next;
        *link = fresh;
        NodeFree(old);
    }
    char sel[64], val[kTabMarkupMax + 1];
    snprintf(sel, sizeof sel, "#C%u .ui-tabs-nav li:eq(\"%d\") a", rec->elementId, n - 1);
    TabMarkup(t, *link, val, sizeof val);
    WebViewSelectForObject(rec);
    JsonBeginAction(kActSelectorSet);
    JsonAddStringNoConv("sel", sel);
    JsonAddInt("dwid", kSelectorInnerHtml);
    JsonAddStringZ("val", val);
    WebViewMsgEnd();
    return kWebOk;
}

int32_t WebTabControlMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    WebTabControlRecord* t = WebTabs(rec);
    int32_t index = WebArgInt(call, 0, 0);
    WebTabNode* n = NodeAt(t, index);
    uint32_t length = 0;
    switch (call->method) {
    case kTabHitTest: case kTabGetStyle: case kTabSetStyle: return WebReplyInt(0);
    case kTabSetTabImage:
        if (n) {
            n->image = WebArgInt(call, 1, kNoImage);
            WebTabControlSelectTab(rec, index + 1, nullptr, 0);
        }
        return WebReplyInt(0);
    case kTabGetTabImage: return WebReplyInt(n ? n->image : kNoSuchTab);
    case kTabSetImageList: SetImageList(rec, index); return WebReplyInt(0);
    case kTabRemoveImageList: SetImageList(rec, 0); return WebReplyInt(0);
    case kTabGetTabCount: return WebReplyInt(t->count);
    case kTabInsertTab: {
        const char* label = ArgText(call, 1, &length);
        if (!label || !length) label = " ", length = 1;
        if (length > kMethodLabelMax) length = kMethodLabelMax;
        int32_t r = InsertNode(rec, label, length, index, WebArgInt(call, 2, kNoImage),
                               static_cast<uint32_t>(WebArgInt(call, 3, 0)));
        return r == kWebOk ? WebReplyInt(0) : r;
    }
    case kTabDeleteTab: WebTabControlDeleteItem(rec, index + 1); return WebReplyInt(0);
    case kTabSetTab: {
        if (!n) return WebReplyInt(0);
        bool image = WebArgGiven(call, 2);
        if (image) n->image = WebArgInt(call, 2, kNoImage);
        const char* label = ArgText(call, 1, &length);
        if (label && length) WebTabControlSelectTab(rec, index + 1, label, length);
        else if (image) WebTabControlSelectTab(rec, index + 1, nullptr, 0);
        return WebReplyInt(1);
    }
    case kTabSetTabParam:
        if (n) n->param = static_cast<uint32_t>(WebArgInt(call, 1, 0));
        return WebReplyInt(0);
    case kTabGetTabParam: return WebReplyInt(n ? static_cast<int32_t>(n->param) : 0);
    default: return kWebUnknownMethod;
    }
}

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

void MarkupTabControl(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    HtmlPlainElement(m, "<div ", ">");
    CrText labels = HtmlCrText(cr, kPidTabLabel);
    HtmlTabList(labels.text, labels.length, m.id);
    HtmlPut("</div>");
    JsOpenCall("QovTabC", m.id);
    JsPut(" } );");
}

const WebKindOps kTabOps = {
    .create = WebTabControlCreate,
    .markup = MarkupTabControl,
    .setProp = TabSetProp,
    .getProp = TabGetProp,
    .pageEvent = TabPageEvent,
    .destroy = TabDestroy,
    .method = WebTabControlMethod,
    .getText = TabGetText,
    .getValue = TabGetValue,
    .setText = TabSetText,
    .setValue = TabSetValue,
    .insertItem = WebTabControlInsertItem,
    .deleteItem = WebTabControlDeleteItem,
    .defaultEvent = kEvChange,
    .traits = kWebKindTakesFocus,
};

}  // namespace

void WebTabControlInstall() { WebRegisterKind(kKindTabControl, &kTabOps); }
