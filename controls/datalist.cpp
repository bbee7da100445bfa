// datalist.cpp - the native DataList object (kind 4): a list box whose items
// are handled like a combo box's, selection as value, and its notifications.
#include "controls/ctlcommon.h"
#include "objects/objhooks.h"
#include "objects/objwindowed.h"

namespace {

// The data list's method table runs to 28 (the web view's data list has them
// all); the native list box answers the combo box's 1-18 and refuses the rest.
constexpr uint32_t kDataListTableLast = 28;

int32_t DataListGetText(ObjectRecord* rec, int32_t item) {
    int32_t index = item > 0 ? item - 1 : static_cast<int32_t>(SendMessageA(rec->hwnd, LB_GETCURSEL, 0, 0));
    return ListGetItemText(rec->hwnd, kListBoxMsgs, index);
}

int32_t DataListSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t len) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    int32_t count = static_cast<int32_t>(SendMessageA(rec->hwnd, LB_GETCOUNT, 0, 0));
    if (item < 1 || item > count) return 0;
    LRESULT data = SendMessageA(rec->hwnd, LB_GETITEMDATA, static_cast<WPARAM>(item - 1), 0);
    SendMessageA(rec->hwnd, LB_DELETESTRING, static_cast<WPARAM>(item - 1), 0);
    int32_t at = ListInsertItem(rec->hwnd, kListBoxMsgs, (c->ctlFlags & kCtlSorted) != 0, item - 1, text, len);
    if (at < 0) return kOpNoMemory;
    SendMessageA(rec->hwnd, LB_SETITEMDATA, static_cast<WPARAM>(at), data);
    return 0;
}

int32_t DataListGetValue(ObjectRecord* rec, int32_t, int32_t* value) {
    *value = static_cast<int32_t>(SendMessageA(rec->hwnd, LB_GETCURSEL, 0, 0)) + 1;
    return 0;
}

int32_t DataListSetValue(ObjectRecord* rec, int32_t, int32_t value) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    if (c->ctlFlags & kCtlMultiSelect)
        SendMessageA(rec->hwnd, LB_SETSEL, value > 0, value > 0 ? value - 1 : -1);
    else
        SendMessageA(rec->hwnd, LB_SETCURSEL, static_cast<WPARAM>(value - 1), 0);
    return 0;
}

int32_t DataListInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t len) {
    return ListInsertItemOp(rec, kListBoxMsgs, pos, text, len);
}

int32_t DataListDeleteItem(ObjectRecord* rec, int32_t item) { return ListDeleteItemOp(rec, kListBoxMsgs, item); }

int32_t DataListNotify(ObjectRecord* rec, HWND wnd, uint32_t, uint32_t code) {
    int32_t sel = static_cast<int32_t>(SendMessageA(wnd, LB_GETCURSEL, 0, 0)) + 1;
    if (code == LBN_SELCHANGE) {
        CtlPostEvent(rec, kEvChange, sel);
        CtlPostEvent(rec, kEvClick, sel);
    } else if (code == LBN_DBLCLK) {
        CtlPostEvent(rec, kEvDblClick, sel);
    }
    return 0;
}

uint32_t DataListGetProp(ObjectRecord* rec, uint32_t id) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (id) {
    case kPidData: ListItemsToText(rec->hwnd, kListBoxMsgs); return 0;
    case kPidSorted: return (c->ctlFlags & kCtlSorted) ? 1 : 0;
    case kPidMultiSelect: return (c->ctlFlags & kCtlMultiSelect) ? 1 : 0;
    case kPidPrinter: return (c->ctlFlags & kCtlPrinterList) ? 1 : 0;
    case kPidValue: return static_cast<uint32_t>(SendMessageA(rec->hwnd, LB_GETCURSEL, 0, 0) + 1);
    default: return CtlGetCommonProp(rec, id);
    }
}

void DataListSetPrinterList(ControlRecord* c, bool on);

int32_t DataListSetProp(ObjectRecord* rec, PropChange* req) {
    switch (req->id) {
    case kPidData: ListItemsFromText(rec->hwnd, kListBoxMsgs, req->text, req->textLength, false); return 0;
    case kPidValue: return DataListSetValue(rec, 0, req->value);
    case kPidPrinter: DataListSetPrinterList(reinterpret_cast<ControlRecord*>(rec), req->value != 0); return 0;
    default: return CtlSetCommonProp(rec, req);
    }
}

// A printer list (Printer on) holds the printers' names and "pdf:", the
// first row selected; turned off, it is emptied.
void DataListSetPrinterList(ControlRecord* c, bool on) {
    HWND wnd = c->hdr.hwnd;
    SendMessageA(wnd, LB_RESETCONTENT, 0, 0);
    if (!on) {
        c->ctlFlags &= ~kCtlPrinterList;
        return;
    }
    c->ctlFlags |= kCtlPrinterList;
    if (gPrintObjectHooks.listPrinters) gPrintObjectHooks.listPrinters(wnd);
    else SendMessageA(wnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("pdf:"));
    SendMessageA(wnd, LB_SETCURSEL, 0, 0);
}

int32_t DataListMethod(ObjectRecord* rec, MethodCallRec* call) {
    return ListMethod(rec, kListBoxMsgs, kTypeDatalist, call);
}

const ObjectOps kDataListOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .deleteItem = DataListDeleteItem,
    .destroy = CtlDestroy,
    .enable = ObjectEnableWindowed,
    .getText = DataListGetText,
    .getValue = DataListGetValue,
    .insertItem = DataListInsertItem,
    .setText = DataListSetText,
    .setValue = DataListSetValue,
    .notify = DataListNotify,
    .getProp = DataListGetProp,
    .setProp = DataListSetProp,
    .method = DataListMethod,
};

}  // namespace

ObjectRecord* DataListCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    DWORD style = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    bool sorted = (cr->flags0 & kCrSorted) || CreateRecordValue(cr, kPidSorted, 0);
    bool multi = CreateRecordValue(cr, kPidMultiSelect, 0) != 0;
    if (sorted) style |= LBS_SORT;
    if (multi) style |= LBS_EXTENDEDSEL;
    ControlRecord* c = CtlCreateWindowed(kKindDataList, cr, "LISTBOX", style, 0, nullptr, 0, code);
    if (!c) return nullptr;
    if (sorted) c->ctlFlags |= kCtlSorted;
    if (multi) c->ctlFlags |= kCtlMultiSelect;
    if (CreateRecordValue(cr, kPidPrinter, 0)) DataListSetPrinterList(c, true);
    CrText data = CreateRecordText(cr, kPidData);
    const CrText& t = data.text ? data : cr->text;
    if (t.text) ListItemsFromText(c->hdr.hwnd, kListBoxMsgs, t.text, t.length, false);
    return CtlFinishCreate(c, cr, code);
}

void DataListInstall() {
    RegisterObjectCreator(kTypeDatalist, DataListCreate);
    RegisterObjectOps(kKindDataList, &kDataListOps);
    CtlRegisterMethods(kTypeDatalist, kDataListTableLast);
}
