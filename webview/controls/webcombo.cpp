// webcombo.cpp - the combo box (kind 12) in the web view. The record keeps the
// items; every change to them goes to the page's select element as action 16
// ("dwid" 1 insert at a 0-based "pos", 2 delete the 1-based "pos" or all for
// 0, 4 ask the selection, 5 select the 1-based "val"). The selection lives in
// the page and is asked for when it is needed.
#include "webview/controls/webcombo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "objects/kindcodes.h"
#include "session/config.h"
#include "session/util/mem.h"
#include "webview/controls/webedit.h"
#include "webview/controls/webctlcommon.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"
#include "webview/core/webmarkup.h"

namespace {

enum ComboDwid : int32_t { kDwInsert = 1, kDwDelete = 2, kDwAskSel = 4, kDwSelect = 5 };
constexpr uint8_t kComboStyleDefault = 2;
constexpr int32_t kErrBadPosition = -1, kErrFull = -2;
constexpr char kPieceSeparator = ';';
constexpr uint8_t kMultiItemSeparator = 127;
constexpr uint32_t kLowWord = 0xFFFF;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Byte-wise order of two texts (the shorter first when one begins the other).
int CompareBytes(const char* a, const char* b) {
    return strcmp(a ? a : "", b ? b : "");
}

void Begin(ObjectRecord* rec, int32_t dwid) {
    WebViewSelectForObject(rec);
    JsonBeginAction(kActCombo);
    JsonAddName(rec);
    JsonAddInt("dwid", dwid);
}

void SendDelete(ObjectRecord* rec, int32_t pos) {
    if (!WebCombo(rec)->onPage) return;
    Begin(rec, kDwDelete);
    JsonAddInt("pos", pos);
    WebViewMsgEnd();
}

void FreeItem(ComboItem* item) {
    if (!item) return;
    GuardedFree(item->text);
    GuardedFree(item);
}

void DeleteAll(ObjectRecord* rec) {
    WebComboBoxRecord* c = WebCombo(rec);
    for (ComboItem* it = c->first; it;) {
        ComboItem* next = it->next;
        FreeItem(it);
        it = next;
    }
    c->first = nullptr;
    c->itemCount = 0;
}

int32_t SetScrollBar(uint16_t* flags, int32_t value) {
    switch (value) {
    case 0: case 3: *flags &= ~(kCbScrollV | kCbScrollH); break;
    case 1: *flags |= kCbScrollV | kCbScrollH; break;
    case 2: *flags = static_cast<uint16_t>((*flags | kCbScrollV) & ~kCbScrollH); break;
    case 4: *flags = static_cast<uint16_t>((*flags | kCbScrollH) & ~kCbScrollV); break;
    default: break;
    }
    return 0;
}

int32_t ScrollBarOf(uint16_t flags) {
    bool v = (flags & kCbScrollV) != 0, h = (flags & kCbScrollH) != 0;
    return v && h ? 1 : v ? 2 : h ? 4 : 3;
}

uint32_t CountPieces(const char* text, uint32_t length) {
    if (!text || !length) return 0;
    uint32_t n = 1;
    for (uint32_t i = 0; i < length; ++i)
        if (text[i] == kPieceSeparator && i + 1 < length) ++n;
    return n;
}

// Sorting again: the page's list is emptied and every item inserted in order.
void Resort(ObjectRecord* rec) {
    WebComboBoxRecord* c = WebCombo(rec);
    if (c->itemCount >= 2) {
        ComboItem* list = c->first;
        c->first = nullptr;
        c->itemCount = 0;
        SendDelete(rec, 0);
        while (list) {
            ComboItem* next = list->next;
            ComboItemInsert(rec, -1, list->text, static_cast<uint32_t>(strlen(list->text)), list->value);
            FreeItem(list);
            list = next;
        }
    }
    WebComboBoxSelect(rec, 1);
}

// ---- Generic operations ------------------------------------------------------------------

int32_t ComboGetText(ObjectRecord* rec, int32_t item) {
    WebComboBoxRecord* c = WebCombo(rec);
    const char* t = nullptr;
    if (item == 0) {
        t = c->currentText;
    } else {
        int32_t index = item > 0 ? item - 1 : WebComboBoxAskSelection(rec);
        ComboItem* it = index >= 0 ? ComboItemTake(rec, index, false) : nullptr;
        t = it ? it->text : nullptr;
    }
    snprintf(gTextBuf, kTextBufSize + 1, "%s", t ? t : "");
    return 0;
}

int32_t ComboGetValue(ObjectRecord* rec, int32_t, int32_t*, bool* asked) {
    Begin(rec, kDwAskSel);
    JsonAddInt("typ", 0);
    *asked = true;
    return 0;
}

int32_t ComboSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t length) {
    WebComboBoxRecord* c = WebCombo(rec);
    if (item >= 1 && static_cast<uint32_t>(item) <= c->itemCount) {
        ComboItem* old = ComboItemTake(rec, item - 1, false);
        int32_t value = old ? old->value : 0;
        ComboItemDelete(rec, item - 1);
        // The page drops the old option too, so it never shows both texts.
        SendDelete(rec, item);
        int32_t at = ComboItemInsert(rec, item - 1, text, length, value);
        if (at >= 0) WebComboBoxSelect(rec, at + 1);
        return at >= 0 ? 0 : kWebNoMemory;
    }
    if (item == -1) {
        int32_t found = length ? ComboItemFind(rec, -1, text, length, true) : -1;
        WebComboBoxSelect(rec, found >= 0 ? found + 1 : -1);
        return 0;
    }
    if (item == 0) return WebTextReplace(&c->currentText, text, length) ? 0 : kWebNoMemory;
    return 0;
}

int32_t ComboSetValue(ObjectRecord* rec, int32_t, int32_t value) {
    if (value == 0) return 0;
    Begin(rec, kDwSelect);
    JsonAddInt("val", value);
    WebViewMsgEnd();
    return 0;
}

int32_t ComboInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length) {
    if (length > kTextBufSize) length = kTextBufSize;
    int32_t r = ComboItemInsertAt(rec, pos, text ? text : "", text ? length : 0);
    return r < 0 ? r : 0;
}

int32_t ComboDeleteItem(ObjectRecord* rec, int32_t item) {
    if (item == 0) DeleteAll(rec);
    else if (item > 0) ComboItemDelete(rec, item - 1);
    else return 0;
    SendDelete(rec, item);
    return 0;
}

void ComboDestroy(ObjectRecord* rec) {
    WebComboBoxRecord* c = WebCombo(rec);
    DeleteAll(rec);
    GuardedFree(c->currentText);
    GuardedFree(c->cueText);
    c->currentText = c->cueText = nullptr;
}


}  // namespace

// ---- Item list ------------------------------------------------------------------------------------

uint32_t ComboItemCount(ObjectRecord* rec) { return WebCombo(rec)->itemCount; }

ComboItem* ComboItemTake(ObjectRecord* rec, int32_t n, bool unlink) {
    WebComboBoxRecord* c = WebCombo(rec);
    if (n < 0 || static_cast<uint32_t>(n) >= c->itemCount) return nullptr;
    ComboItem** link = &c->first;
    for (int32_t i = 0; i < n && *link; ++i) link = &(*link)->next;
    ComboItem* it = *link;
    if (it && unlink) {
        *link = it->next;
        it->next = nullptr;
        c->itemCount--;
    }
    return it;
}

int32_t ComboItemInsert(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length, int32_t value) {
    WebComboBoxRecord* c = WebCombo(rec);
    if (c->itemCount >= kComboItemsMax) return kErrFull;
    if (pos == -1) pos = static_cast<int32_t>(c->itemCount);
    if (pos < 0 || static_cast<uint32_t>(pos) > c->itemCount) return kErrBadPosition;
    ComboItem* item = static_cast<ComboItem*>(GuardedAlloc(sizeof(ComboItem)));
    if (!item) return kErrFull;
    item->next = nullptr;
    item->value = value;
    item->text = WebTextDup(text, length);
    if (!item->text) {
        GuardedFree(item);
        return kErrFull;
    }
    ComboItem** link = &c->first;
    int32_t at = 0;
    if (c->flags & kCbSorted) {
        while (*link && CompareBytes((*link)->text, item->text) <= 0) {
            link = &(*link)->next;
            ++at;
        }
    } else {
        while (at < pos && *link) {
            link = &(*link)->next;
            ++at;
        }
    }
    item->next = *link;
    *link = item;
    c->itemCount++;
    if (c->onPage) {
        Begin(rec, kDwInsert);
        JsonAddInt("pos", at);
        JsonAddString("str", item->text, length);
        JsonAddInt("val", value);
        WebViewMsgEnd();
    }
    return at;
}

int32_t ComboItemDelete(ObjectRecord* rec, int32_t n) {
    ComboItem* it = ComboItemTake(rec, n, true);
    if (!it) return kErrBadPosition;
    FreeItem(it);
    return static_cast<int32_t>(WebCombo(rec)->itemCount);
}

int32_t ComboItemFind(ObjectRecord* rec, int32_t start, const char* text, uint32_t length, bool prefix) {
    WebComboBoxRecord* c = WebCombo(rec);
    if (!text || start < -1) return -1;
    int32_t count = static_cast<int32_t>(c->itemCount);
    auto matches = [&](const ComboItem* it) {
        size_t n = strlen(it->text);
        if (n < length || (!prefix && n != length)) return false;
        for (uint32_t i = 0; i < length; ++i)
            if (Lower(it->text[i]) != Lower(text[i])) return false;
        return true;
    };
    // From the item after start round to start itself; -1 searches once from 0.
    for (int32_t k = 0; k < count; ++k) {
        int32_t i = static_cast<int32_t>((static_cast<int64_t>(start) + 1 + k) % count);
        ComboItem* it = ComboItemTake(rec, i, false);
        if (it && matches(it)) return i;
    }
    return -1;
}

int32_t ComboItemInsertAt(ObjectRecord* rec, int32_t n, const char* text, uint32_t length) {
    if (!gWebMultiItemOption) return ComboItemInsert(rec, n, text, length, 0);
    int32_t r = kErrBadPosition;
    uint32_t start = 0;
    for (uint32_t i = 0; i <= length; ++i) {
        if (i < length && static_cast<uint8_t>(text[i]) != kMultiItemSeparator) continue;
        r = ComboItemInsert(rec, n, text + start, i - start, 0);
        if (r < 0) return r;
        if (n >= 0) ++n;
        start = i + 1;
    }
    return r;
}

void ComboItemsFromText(ObjectRecord* rec, const char* text, uint32_t length, bool firstPiece) {
    if (WebCombo(rec)->itemCount) {
        DeleteAll(rec);
        SendDelete(rec, 0);
    }
    uint32_t start = 0;
    bool first = true;
    for (uint32_t i = 0; text && i <= length; ++i) {
        if (i < length && text[i] != kPieceSeparator) continue;
        bool emptyLast = i == length && i == start;
        if ((firstPiece || !first) && !emptyLast && ComboItemInsert(rec, -1, text + start, i - start, 0) < 0) return;
        first = false;
        start = i + 1;
    }
}

uint32_t ComboItemsToText(ObjectRecord* rec, uint32_t offset) {
    uint32_t at = offset;
    gTextBuf[at] = 0;
    bool first = true;
    for (ComboItem* it = WebCombo(rec)->first; it; it = it->next) {
        size_t n = strlen(it->text);
        uint32_t sep = first ? 0 : 1;
        if (at + sep + n > offset + kTextBufSize - 1 || at + sep + n > kTextBufSize) break;
        if (sep) gTextBuf[at++] = kPieceSeparator;
        memcpy(gTextBuf + at, it->text, n);
        at += static_cast<uint32_t>(n);
        gTextBuf[at] = 0;
        first = false;
    }
    return at - offset;
}

int32_t ComboItemAdd(ObjectRecord* rec, const char* text, uint32_t length) {
    return ComboItemAddEx(rec, text, length, 0, '\t');
}

int32_t ComboItemAddEx(ObjectRecord* rec, const char* text, uint32_t length, uint32_t flags, char delimiter) {
    int32_t r = kErrBadPosition;
    uint32_t start = 0;
    for (uint32_t i = 0; i <= length; ++i) {
        bool end = i == length || (gWebMultiItemOption && static_cast<uint8_t>(text[i]) == kMultiItemSeparator);
        if (!end) continue;
        const char* piece = text + start;
        uint32_t n = i - start;
        int32_t value = 0;
        if (flags & 1) {
            // "text<delimiter>number": the number becomes the item's value.
            uint32_t d = n;
            while (d > 0 && piece[d - 1] != delimiter) --d;
            if (d > 0) {
                char number[16];
                uint32_t k = n - d < sizeof number - 1 ? n - d : static_cast<uint32_t>(sizeof number - 1);
                memcpy(number, piece + d, k);
                number[k] = 0;
                value = static_cast<int32_t>(strtol(number, nullptr, 10));
                n = d - 1;
            }
        }
        r = ComboItemInsert(rec, -1, piece, n, value);
        if (r < 0) return r;
        start = i + 1;
    }
    return r;
}

void WebComboBoxSelect(ObjectRecord* rec, int32_t n) {
    Begin(rec, kDwSelect);
    JsonAddInt("item", 0);
    JsonAddInt("val", n);
    WebViewMsgEnd();
}

int32_t WebComboBoxAskSelection(ObjectRecord* rec) {
    Begin(rec, kDwAskSel);
    JsonAddInt("typ", 0);
    return WebReplyValue(WebViewMsgQuery()) - 1;
}

// ---- Creation, properties, methods ----------------------------------------------------------------

ObjectRecord* WebComboBoxCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t,
                                int32_t* code) {
    CrText t = cr->text.text ? cr->text : cr->title;
    CrText data = CreateRecordText(cr, kPidData);
    if (!(t.text && t.length) && !(data.text && data.length) && !gGuiOption2039) {
        *code = kErrBadPosition;
        return nullptr;
    }
    bool allocated = !rec;
    if (!rec) rec = ObjectAllocRecord(kKindComboBox, sizeof(WebComboBoxRecord), true);
    if (!rec) {
        return WebCreateRefused(rec, allocated, ComboDestroy, code);
    }
    WebComboBoxRecord* c = WebCombo(rec);
    if (!cr->given[kPidRowsVisible]) c->creationItemCount = static_cast<uint8_t>(CountPieces(t.text, t.length));
    c->rowsVisible = static_cast<uint32_t>(CreateRecordValue(cr, kPidRowsVisible, 0));
    int32_t style = CreateRecordValue(cr, kPidComboStyle, 0);
    c->comboStyle = static_cast<uint8_t>(style ? style : kComboStyleDefault);
    c->ownBgValue = -1;
    // The creation text's first piece is the combo box's own text, the rest its items.
    uint32_t own = 0;
    while (t.text && own < t.length && t.text[own] != kPieceSeparator) ++own;
    if (t.text && !WebTextReplace(&c->currentText, t.text, own)) {
        return WebCreateRefused(rec, allocated, ComboDestroy, code);
    }
    if ((cr->flags0 & kCrSorted) || CreateRecordValue(cr, kPidSorted, 0)) c->flags |= kCbSorted;
    SetScrollBar(&c->flags, cr->scrollBar);
    if (CreateRecordValue(cr, kPidScrollHide, 0)) c->flags |= kCbScrollHide;
    CrText cue = CreateRecordText(cr, kPidCueText);
    if (cue.text && !WebTextReplace(&c->cueText, cue.text, cue.length)) {
        return WebCreateRefused(rec, allocated, ComboDestroy, code);
    }
    WebApplyTheme(cr, top);
    c->horzExtent = static_cast<uint32_t>(WebScaleValue(rec, CreateRecordValue(cr, kPidHorzExtent, 0), 0, true));
    // The items from the creation text after its first piece, or from Data
    // when the creation text holds none.
    bool skipFirst = true;
    CrText items = CreateRecordItemText(cr, kPidData, &skipFirst);
    ComboItemsFromText(rec, items.text, items.text ? items.length : 0, !skipFirst);
    // The markup writes the items from Data: the list as it stands now.
    uint32_t n = ComboItemsToText(rec, kComboMarkupOffset);
    cr->text = CrText{nullptr, 0};
    cr->title = CrText{nullptr, 0};
    cr->texts[kPidData] = CrText{gTextBuf + kComboMarkupOffset, n};
    c->onPage = 1;
    return rec;
}

int32_t WebComboBoxSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite) {
    WebComboBoxRecord* c = WebCombo(rec);
    *commonWrite = false;
    switch (id) {
    case kPidComboStyle: c->comboStyle = static_cast<uint8_t>(value); return 0;
    case kPidSorted:
        if (!value) {
            c->flags &= ~kCbSorted;
            return 0;
        }
        c->flags |= kCbSorted;
        Resort(rec);
        return 0;
    case kPidScrollBar: return SetScrollBar(&c->flags, value);
    case kPidData:
        ComboItemsFromText(rec, text, text ? length : 0, true);
        WebComboBoxSelect(rec, 1);
        return 0;
    case kPidRowsVisible: c->rowsVisible = static_cast<uint32_t>(value); return 0;
    case kPidScrollHide:
        c->flags = static_cast<uint16_t>(value ? (c->flags | kCbScrollHide) : (c->flags & ~kCbScrollHide));
        return 0;
    case kPidHorzExtent: c->horzExtent = static_cast<uint32_t>(WebScaleValue(rec, value, 0, true)); return 0;
    case kPidCueText:
        if (!WebTextReplace(&c->cueText, text ? text : "", text ? length : 0)) return kWebNoMemory;
        WebSetElemProp(rec, "placeholder", c->cueText, false);
        return 0;
    default:
        *commonWrite = true;
        return kWebNotAvailable;
    }
}

int32_t WebComboBoxGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebComboBoxRecord* c = WebCombo(rec);
    switch (id) {
    case kPidComboStyle: *result = c->comboStyle; return 0;
    case kPidSorted: *result = (c->flags & kCbSorted) ? 1 : 0; return 0;
    case kPidText:
        // The combo box's own text, as its text operation answers it, so that
        // a saved form keeps it.
        snprintf(gTextBuf, kTextBufSize + 1, "%s", c->currentText ? c->currentText : "");
        *text = gTextBuf;
        return 0;
    case kPidScrollBar: *result = ScrollBarOf(c->flags); return 0;
    case kPidData:
        ComboItemsToText(rec, 0);
        *text = gTextBuf;
        return 0;
    case kPidRowsVisible: *result = static_cast<int32_t>(c->rowsVisible); return 0;
    case kPidScrollHide: *result = (c->flags & kCbScrollHide) ? 1 : 0; return 0;
    case kPidHorzExtent: *result = WebScaleValue(rec, static_cast<int32_t>(c->horzExtent), 0, false); return 0;
    case kPidCueText:
        snprintf(gTextBuf, kTextBufSize + 1, "%s", c->cueText ? c->cueText : "");
        *text = gTextBuf;
        return 0;
    case kPidBgColor:
    default: return kWebNotAvailable;
    }
}

int32_t WebComboBoxMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : 0, call);
    if (check != 0) return check;
    WebComboBoxRecord* c = WebCombo(rec);
    uint32_t len = 0;
    switch (call->method) {
    case kComboAddString: {
        const char* t = WebArgTextRef(call, 0, &len);
        if (!t) return WebReplyInt(-1);
        if (WebArgGiven(call, 1)) {
            uint32_t dl = 0;
            const char* d = WebArgTextRef(call, 2, &dl);
            char delimiter = d && dl ? d[0] : '\t';
            return WebReplyInt(ComboItemAddEx(rec, t, len, static_cast<uint32_t>(WebArgInt(call, 1, 0)), delimiter));
        }
        return WebReplyInt(ComboItemAdd(rec, t, len));
    }
    case kComboDeleteString: {
        int32_t index = WebArgInt(call, 0, -1);
        if (index < 0) return WebReplyInt(-1);
        int32_t r = ComboItemDelete(rec, index);
        if (r >= 0) SendDelete(rec, index + 1);
        return WebReplyInt(r);
    }
    case kComboDir: case kComboGetTopIndex: case kComboSetTopIndex: return WebReplyInt(0);
    case kComboFindString: case kComboFindStringExact: {
        const char* t = WebArgTextRef(call, 1, &len);
        if (!t || !len) return WebReplyInt(-1);
        int32_t from = WebArgInt(call, 0, -1);
        return WebReplyInt(ComboItemFind(rec, from < 0 ? -1 : from, t, len, call->method == kComboFindString));
    }
    case kComboGetCount: return WebReplyInt(static_cast<int32_t>(c->itemCount));
    case kComboGetCurSel: return WebReplyInt(WebComboBoxAskSelection(rec));
    case kComboGetItemData: {
        ComboItem* it = ComboItemTake(rec, WebArgInt(call, 0, -1), false);
        return WebReplyInt(it ? it->value : -1);
    }
    case kComboGetText: {
        int32_t index = WebArgGiven(call, 0) ? WebArgInt(call, 0, -1) : -2;
        if (index == -2) ComboGetText(rec, -1);
        else if (index < 0) gTextBuf[0] = 0;
        else ComboGetText(rec, index + 1);
        return WebReplyText(gTextBuf);
    }
    case kComboInsertString: {
        int32_t index = WebArgInt(call, 0, -2);
        const char* t = WebArgTextRef(call, 1, &len);
        if (index < -1 || !t) return WebReplyInt(-1);
        return WebReplyInt(ComboItemInsertAt(rec, index, t, len));
    }
    case kComboResetContent:
        DeleteAll(rec);
        SendDelete(rec, 0);
        return 0;
    case kComboSelectString: {
        const char* t = WebArgTextRef(call, 1, &len);
        if (!t) return WebReplyInt(-1);
        int32_t from = WebArgInt(call, 0, -1);
        int32_t found = ComboItemFind(rec, from < 0 ? -1 : from, t, len, true);
        if (found >= 0) WebComboBoxSelect(rec, found + 1);
        return WebReplyInt(found);
    }
    case kComboSetCurSel: {
        int32_t index = WebArgInt(call, 0, -1);
        if (index < 0) return WebReplyInt(-1);
        WebComboBoxSelect(rec, index + 1);
        return WebReplyInt(0);
    }
    case kComboSetItemData: {
        int32_t index = WebArgInt(call, 0, -1);
        ComboItem* it = index >= 0 ? ComboItemTake(rec, index, false) : nullptr;
        if (!it) return WebReplyInt(-1);
        it->value = WebArgInt(call, 1, 0);
        return WebReplyInt(it->text ? 0 : -1);
    }
    case kComboFindData: {
        int32_t v = WebArgInt(call, 0, 0), i = 0;
        for (ComboItem* it = c->first; it; it = it->next, ++i)
            if (it->value == v) return WebReplyInt(i);
        return WebReplyInt(-1);
    }
    case kComboSetCBFlags: {
        uint32_t before = c->comboFlags;
        uint32_t flags = static_cast<uint32_t>(WebArgInt(call, 0, 0));
        c->comboFlags = WebArgInt(call, 1, 0) ? (c->comboFlags | flags) : (c->comboFlags & ~flags);
        return WebReplyInt(static_cast<int32_t>(before & kLowWord));
    }
    default: return kWebUnknownMethod;
    }
}

// ---- Markup and the kind's row ----------------------------------------------------------------

namespace {

void MarkupCombo(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    HtmlPut("<select ");
    HtmlOpenId(m, false);
    HtmlWriteCommon(m);
    HtmlObjectStyle(m.kind, kPidMultiSelect, cr);
    HtmlPut(" size=\"2\">");
    // A creation text holding items is the combo's definition (its first
    // item the title); in a live view the creator leaves the items joined by
    // ';' in Data, and a saved form holds its own text and its items apart.
    bool skipFirst = true;
    CrText items = CreateRecordItemText(cr, kPidData, &skipFirst);
    HtmlSelectOptions(items.text, items.text ? items.length : 0, skipFirst);
    HtmlPut("</select>");
    JsOpenCall("QovDlist", m.id);
    JsPut(", st: 0");
    JsCloseCall();
}

const WebKindOps kComboOps = {
    .create = WebComboBoxCreate,
    .markup = MarkupCombo,
    .setProp = WebComboBoxSetProp,
    .getProp = WebComboBoxGetProp,
    .destroy = ComboDestroy,
    .method = WebComboBoxMethod,
    .getText = ComboGetText,
    .getValue = ComboGetValue,
    .setText = ComboSetText,
    .setValue = ComboSetValue,
    .insertItem = ComboInsertItem,
    .deleteItem = ComboDeleteItem,
    .defaultEvent = kEvClick,
    .traits = kWebKindTakesFocus | kWebKindWhiteBackground,
};

}  // namespace

void WebComboBoxInstall() { WebRegisterKind(kKindComboBox, &kComboOps); }
