// listview.cpp - the native ListView object (kind 36): a report-style list
// view whose rows hold tab-separated cells, row selection as value, the row
// and column methods, and the click, change and column-click notifications,
// which carry the row from 0 as the methods take it (and the web view posts it).
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "controls/ctlcommon.h"
#include "objects/kindcodes.h"
#include "objects/focus.h"
#include "objects/objwindowed.h"

namespace {

constexpr char kCellDelimiter = '\t';

int32_t RowCount(HWND wnd) { return static_cast<int32_t>(SendMessageA(wnd, LVM_GETITEMCOUNT, 0, 0)); }
int32_t ColumnCount(HWND wnd) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(wnd, LVM_GETHEADER, 0, 0));
    int32_t n = header ? static_cast<int32_t>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    return n > 0 ? n : 1;
}

bool SetCell(HWND wnd, int32_t row, int32_t column, const char* text, uint32_t len) {
    char* copy = CtlCopyText(text, len);
    if (!copy) return false;
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = copy;
    BOOL ok = static_cast<BOOL>(SendMessageA(wnd, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    LocalFreeMem(copy);
    return ok != FALSE;
}

// Inserts a row at pos (-1 or past the end: last) whose cells are the
// tab-separated pieces of text; the row, or -1. Pieces beyond the last column
// have no cell to go to and are dropped, as a cell write beyond the columns
// changes nothing; they do not cost the row.
int32_t InsertRow(HWND wnd, int32_t pos, const char* text, uint32_t len) {
    int32_t rows = RowCount(wnd);
    int32_t columns = ColumnCount(wnd);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = pos < 0 || pos > rows ? rows : pos;
    item.pszText = const_cast<char*>("");
    int32_t row = static_cast<int32_t>(SendMessageA(wnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return -1;
    uint32_t start = 0;
    int32_t column = 0;
    for (uint32_t i = 0; i <= len && column < columns; ++i) {
        if (i < len && text[i] != kCellDelimiter) continue;
        if (!SetCell(wnd, row, column++, text + start, i - start)) {
            SendMessageA(wnd, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
            return -1;
        }
        start = i + 1;
    }
    return row;
}

// One cell into gTextBuf at offset; its length.
uint32_t CellText(HWND wnd, int32_t row, int32_t column, uint32_t offset) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = gTextBuf + offset;
    item.cchTextMax = static_cast<int>(kTextBufSize + 1 - offset);
    LRESULT n = SendMessageA(wnd, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

// A row's cells joined by tabs into gTextBuf.
int32_t RowText(HWND wnd, int32_t row) {
    gTextBuf[0] = 0;
    if (row < 0 || row >= RowCount(wnd)) return 0;
    uint32_t at = 0;
    int32_t columns = ColumnCount(wnd);
    for (int32_t c = 0; c < columns && at < kTextBufSize; ++c) {
        if (c) gTextBuf[at++] = kCellDelimiter;
        gTextBuf[at] = 0;
        at += CellText(wnd, row, c, at);
    }
    gTextBuf[at] = 0;
    return static_cast<int32_t>(at);
}

int32_t Selected(HWND wnd) {
    return static_cast<int32_t>(SendMessageA(wnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int32_t ListViewGetText(ObjectRecord* rec, int32_t item) {
    return RowText(rec->hwnd, item > 0 ? item - 1 : Selected(rec->hwnd));
}

int32_t ListViewSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t len) {
    if (item < 1 || item > RowCount(rec->hwnd)) return 0;
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    c->ctlFlags |= kCtlNoEvents;
    // The new row goes in first: when it cannot be made the old one stays.
    int32_t row = InsertRow(rec->hwnd, item - 1, text, len);
    if (row >= 0) SendMessageA(rec->hwnd, LVM_DELETEITEM, static_cast<WPARAM>(row + 1), 0);
    c->ctlFlags &= ~kCtlNoEvents;
    return row < 0 ? kOpNoMemory : 0;
}

int32_t ListViewGetValue(ObjectRecord* rec, int32_t, int32_t* value) {
    *value = Selected(rec->hwnd) + 1;
    return 0;
}

int32_t ListViewSetValue(ObjectRecord* rec, int32_t, int32_t value) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (value > 0) SendMessageA(rec->hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(value - 1), reinterpret_cast<LPARAM>(&item));
    return 0;
}

int32_t ListViewInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t len) {
    return InsertRow(rec->hwnd, pos, text, len) < 0 ? -1 : 0;
}

int32_t ListViewDeleteItem(ObjectRecord* rec, int32_t item) {
    if (item == 0) SendMessageA(rec->hwnd, LVM_DELETEALLITEMS, 0, 0);
    else if (item > 0) SendMessageA(rec->hwnd, LVM_DELETEITEM, static_cast<WPARAM>(item - 1), 0);
    return 0;
}

int32_t ListViewNotify(ObjectRecord* rec, HWND, uint32_t, uint32_t code) {
    const NMHDR* hdr = gCurNotify;
    if (!hdr) return 0;
    switch (code) {
    case LVN_ITEMCHANGED: {
        auto* lv = reinterpret_cast<const NMLISTVIEW*>(hdr);
        if ((lv->uChanged & LVIF_STATE) && (lv->uNewState & LVIS_SELECTED) && !(lv->uOldState & LVIS_SELECTED))
            CtlPostEvent(rec, kEvChange, lv->iItem);
        return 0;
    }
    case NM_CLICK: case NM_DBLCLK: {
        auto* ia = reinterpret_cast<const NMITEMACTIVATE*>(hdr);
        CtlPostEvent(rec, code == static_cast<uint32_t>(NM_CLICK) ? kEvClick : kEvDblClick, ia->iItem);
        return 0;
    }
    case LVN_COLUMNCLICK:
        CtlPostEvent(rec, kEvColClick, reinterpret_cast<const NMLISTVIEW*>(hdr)->iSubItem);
        return 0;
    default:
        return 0;
    }
}

int32_t InsertColumn(HWND wnd, const char* text, uint32_t len, int32_t width, int32_t index) {
    char* copy = CtlCopyText(text ? text : "", text ? len : 0);
    if (!copy) return -1;
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = copy;
    col.cx = width >= 0 ? width : kLvColumnWidth;
    HWND header = reinterpret_cast<HWND>(SendMessageA(wnd, LVM_GETHEADER, 0, 0));
    int32_t count = header ? static_cast<int32_t>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    col.iSubItem = index < 0 || index > count ? count : index;
    int32_t r = static_cast<int32_t>(SendMessageA(wnd, LVM_INSERTCOLUMNA, static_cast<WPARAM>(col.iSubItem),
                                                  reinterpret_cast<LPARAM>(&col)));
    LocalFreeMem(copy);
    return r;
}

int32_t ListViewMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypeListview, call);
    if (rc != 0) return rc;
    HWND wnd = rec->hwnd;
    uint32_t len = 0;
    const char* text = nullptr;
    int32_t index = CtlArgInt(call, 0, -1);
    switch (call->method) {
    case kLvDeleteAllItems: return CtlReplyInt(SendMessageA(wnd, LVM_DELETEALLITEMS, 0, 0) ? 1 : 0);
    case kLvDeleteItem: return CtlReplyInt(SendMessageA(wnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0) ? 1 : 0);
    case kLvGetItemCount: return CtlReplyInt(RowCount(wnd));
    case kLvGetItemText: {
        int32_t column = CtlArgInt(call, 1, 0);
        gTextBuf[0] = 0;
        if (index >= 0 && index < RowCount(wnd)) gTextBuf[CellText(wnd, index, column, 0)] = 0;
        return CtlReplyText(gTextBuf);
    }
    case kLvInsertColumn:
        text = CtlArgText(call, 0, &len);
        return CtlReplyInt(InsertColumn(wnd, text, len, CtlArgInt(call, 1, -1), CtlArgInt(call, 2, -1)));
    case kLvInsertItem: case kLvInsertItemEx: {
        text = CtlArgText(call, 0, &len);
        int32_t row = InsertRow(wnd, CtlArgInt(call, 1, -1), text ? text : "", text ? len : 0);
        if (row >= 0 && call->method == kLvInsertItemEx) {
            for (uint32_t a = kLvSubItemArgFirst; a < call->argCount; ++a) {
                const char* cell = CtlArgText(call, a, &len);
                if (cell) SetCell(wnd, row, static_cast<int32_t>(a - kLvSubItemArgFirst + 1), cell, len);
            }
        }
        return CtlReplyInt(row);
    }
    case kLvSetItemText: {
        text = CtlArgText(call, 1, &len);
        if (text && index >= 0 && index < RowCount(wnd)) SetCell(wnd, index, CtlArgInt(call, 2, 0), text, len);
        return CtlReplyInt(0);
    }
    case kLvDeleteAllContents: {
        SendMessageA(wnd, LVM_DELETEALLITEMS, 0, 0);
        while (SendMessageA(wnd, LVM_DELETECOLUMN, 0, 0)) {
        }
        return CtlReplyInt(0);
    }
    case kLvLoadXmlFile: case kLvSaveXmlFile: case kLvSaveXmlToDim: case kLvGetXmlDataSize:
        // Contents as XML are the web view's only: natively nothing is read
        // or written, so the call must not answer as done.
        return kOpNotAvailable;
    default:
        // The methods of the later table (60-76) are the web view's only.
        if (call->method > kLvNativeLast && call->method <= kLvLast) return kOpNotAvailable;
        return call->method >= 1 && call->method <= kLvNativeLast ? CtlReplyInt(0) : kOpUnknownMethod;
    }
}

// The image-list properties, in slot order: normal, small and state icons.
constexpr uint32_t kImageListProps[kCtlImageSlots] = {kPidImageList, kPidImageListSm, kPidImageListSt};
const WPARAM kImageListKinds[kCtlImageSlots] = {LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE};

int ImageSlotOf(uint32_t id) {
    for (int slot = 0; slot < kCtlImageSlots; ++slot)
        if (kImageListProps[slot] == id) return slot;
    return -1;
}

uint32_t ListViewGetProp(ObjectRecord* rec, uint32_t id) {
    if (id == kPidValue) return static_cast<uint32_t>(Selected(rec->hwnd) + 1);
    int slot = ImageSlotOf(id);
    if (slot >= 0) {
        ObjectRecord* list = reinterpret_cast<CtlListRecord*>(rec)->imageLists[slot];
        return list ? list->handle : 0;
    }
    return CtlGetCommonProp(rec, id);
}

int32_t ListViewSetProp(ObjectRecord* rec, PropChange* req) {
    if (req->id == kPidValue) return ListViewSetValue(rec, 0, req->value);
    int slot = ImageSlotOf(req->id);
    if (slot >= 0) {
        ObjectRecord* list;
        if (!CtlImageListOf(req, &list)) return kOpNoObject;
        CtlImageListSet(rec, slot, list, LVM_SETIMAGELIST, kImageListKinds[slot]);
        return 0;
    }
    return CtlSetCommonProp(rec, req);
}

int32_t ListViewDestroy(ObjectRecord* rec) {
    CtlImageListsDrop(rec);
    return CtlDestroy(rec);
}

const ObjectOps kListViewOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .deleteItem = ListViewDeleteItem,
    .destroy = ListViewDestroy,
    .enable = ObjectEnableWindowed,
    .getText = ListViewGetText,
    .getValue = ListViewGetValue,
    .insertItem = ListViewInsertItem,
    .setText = ListViewSetText,
    .setValue = ListViewSetValue,
    .notify = ListViewNotify,
    .getProp = ListViewGetProp,
    .setProp = ListViewSetProp,
    .method = ListViewMethod,
    .imageListReleased = CtlImageListReleased,
};

}  // namespace

ObjectRecord* ListViewCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    // The image lists belong to their ImageList objects: the control must not
    // destroy them with itself (LVS_SHAREIMAGELISTS).
    ControlRecord* c = CtlCreateWindowed(kKindListView, cr, WC_LISTVIEWA,
                                         WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL |
                                             LVS_SHAREIMAGELISTS,
                                         0, nullptr, 0, code, sizeof(CtlListRecord));
    if (!c) return nullptr;
    for (int slot = 0; slot < kCtlImageSlots; ++slot) {
        PropChange req = {};
        req.value = CreateRecordValue(cr, kImageListProps[slot], 0);
        ObjectRecord* list;
        if (req.value && CtlImageListOf(&req, &list))
            CtlImageListSet(&c->hdr, slot, list, LVM_SETIMAGELIST, kImageListKinds[slot]);
    }
    SendMessageA(c->hdr.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    // The creation text names the columns, separated by tabs.
    const CrText& t = cr->text.text ? cr->text : cr->title;
    if (t.text && t.length) {
        uint32_t start = 0;
        for (uint32_t i = 0; i <= t.length; ++i) {
            if (i < t.length && t.text[i] != kCellDelimiter) continue;
            InsertColumn(c->hdr.hwnd, t.text + start, i - start, kLvColumnWidth, -1);
            start = i + 1;
        }
    } else {
        InsertColumn(c->hdr.hwnd, "", 0, c->hdr.right - c->hdr.left, 0);
    }
    return CtlFinishCreate(c, cr, code);
}

void ListViewInstall() {
    RegisterObjectCreator(kTypeListview, ListViewCreate);
    RegisterObjectOps(kKindListView, &kListViewOps);
    CtlRegisterMethods(kTypeListview, kLvLast);
}
