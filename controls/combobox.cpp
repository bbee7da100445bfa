// combobox.cpp - the native ComboBox object (kind 12, types Combobox and
// Popupmenu): its own text and its items, selection as value, item operations
// by 1-based number, and the selection and edit notifications.
#include "controls/ctlcommon.h"
#include "objects/objwindowed.h"

namespace {

enum ComboStyleCode : uint8_t { kComboSimple = 1, kComboDropDown = 2, kComboDropList = 3 };
constexpr uint32_t kDefaultRows = 8;

int32_t ComboGetText(ObjectRecord* rec, int32_t item) {
    HWND wnd = rec->hwnd;
    if (item == 0) return CtlWindowTextToBuf(wnd);
    int32_t index = item > 0 ? item - 1 : static_cast<int32_t>(SendMessageA(wnd, CB_GETCURSEL, 0, 0));
    return ListGetItemText(wnd, kComboMsgs, index);
}

int32_t ComboSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t len) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    HWND wnd = rec->hwnd;
    int32_t count = static_cast<int32_t>(SendMessageA(wnd, CB_GETCOUNT, 0, 0));
    c->ctlFlags |= kCtlNoEvents;
    int32_t r = 0;
    if (item >= 1 && item <= count) {
        // Replaced in place: the item keeps its value. The new text goes in
        // before the old one is removed, so a failure leaves the item as it was.
        LRESULT data = SendMessageA(wnd, CB_GETITEMDATA, static_cast<WPARAM>(item - 1), 0);
        int32_t at = ListInsertItem(wnd, kComboMsgs, (c->ctlFlags & kCtlSorted) != 0, item - 1, text, len);
        if (at >= 0) {
            int32_t old = at <= item - 1 ? item : item - 1;  // the old item moved down when inserted above it
            SendMessageA(wnd, CB_DELETESTRING, static_cast<WPARAM>(old), 0);
            if (at > old) at--;
            SendMessageA(wnd, CB_SETITEMDATA, static_cast<WPARAM>(at), data);
            SendMessageA(wnd, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
        }
        r = at >= 0 ? 0 : kOpNoMemory;
    } else if (item == -1 || item == 0) {
        char* copy = CtlCopyText(text, len);
        if (!copy) {
            r = kOpNoMemory;
        } else if (item == -1) {
            if (len == 0 || SendMessageA(wnd, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(copy)) < 0)
                SendMessageA(wnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        } else if (c->comboStyle != kComboDropList && !WindowTextSet(wnd, copy)) {
            // A drop-down list has no text of its own; the others' edit
            // refused the text and keeps what it had.
            r = kOpNoMemory;
        }
        if (copy) LocalFreeMem(copy);
    }
    c->ctlFlags &= ~kCtlNoEvents;
    return r;
}

int32_t ComboGetValue(ObjectRecord* rec, int32_t, int32_t* value) {
    *value = static_cast<int32_t>(SendMessageA(rec->hwnd, CB_GETCURSEL, 0, 0)) + 1;
    return 0;
}

int32_t ComboSetValue(ObjectRecord* rec, int32_t, int32_t value) {
    if (value != 0) SendMessageA(rec->hwnd, CB_SETCURSEL, static_cast<WPARAM>(value - 1), 0);
    return 0;
}

int32_t ComboInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t len) {
    return ListInsertItemOp(rec, kComboMsgs, pos, text, len);
}

int32_t ComboDeleteItem(ObjectRecord* rec, int32_t item) { return ListDeleteItemOp(rec, kComboMsgs, item); }

int32_t ComboNotify(ObjectRecord* rec, HWND wnd, uint32_t, uint32_t code) {
    switch (code) {
    case CBN_SELCHANGE: {
        int32_t sel = static_cast<int32_t>(SendMessageA(wnd, CB_GETCURSEL, 0, 0)) + 1;
        CtlPostEvent(rec, kEvChange, sel);
        CtlPostEvent(rec, kEvClick, sel);
        break;
    }
    case CBN_EDITCHANGE: CtlPostEvent(rec, kEvChange, 0); break;
    case CBN_DBLCLK: CtlPostEvent(rec, kEvDblClick, 0); break;
    default: break;
    }
    return 0;
}

uint32_t ComboGetProp(ObjectRecord* rec, uint32_t id) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (id) {
    case kPidText: case kPidTitle: CtlWindowTextToBuf(rec->hwnd); return 0;
    case kPidData: ListItemsToText(rec->hwnd, kComboMsgs); return 0;
    case kPidSorted: return (c->ctlFlags & kCtlSorted) ? 1 : 0;
    case kPidComboStyle: return c->comboStyle;
    case kPidRowsVisible: return c->rowsVisible;
    case kPidHeight: {
        // The window holds the list below the edit part: the Height given at
        // creation (and kept in forms) is the edit part's.
        int32_t h = rec->bottom - rec->top;
        if (c->comboStyle != kComboSimple && c->rowsVisible > 0 && c->rowsVisible < 100)
            h /= static_cast<int32_t>(c->rowsVisible + 1);
        return static_cast<uint32_t>(h);
    }
    case kPidValue: return static_cast<uint32_t>(SendMessageA(rec->hwnd, CB_GETCURSEL, 0, 0) + 1);
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t ComboSetProp(ObjectRecord* rec, PropChange* req) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (req->id) {
    case kPidText: case kPidTitle: return ComboSetText(rec, 0, req->text, req->textLength);
    case kPidData:
        ListItemsFromText(rec->hwnd, kComboMsgs, req->text, req->textLength, false);
        SendMessageA(rec->hwnd, CB_SETCURSEL, 0, 0);
        return 0;
    case kPidValue: return ComboSetValue(rec, 0, req->value);
    case kPidComboStyle: c->comboStyle = static_cast<uint8_t>(req->value); return 0;
    case kPidRowsVisible: c->rowsVisible = static_cast<uint32_t>(req->value); return 0;
    case kPidSorted:
        // The control's sort style is fixed at creation; new items keep the order asked for.
        if (req->value) c->ctlFlags |= kCtlSorted;
        else c->ctlFlags &= ~kCtlSorted;
        return 0;
    default: return CtlSetCommonProp(rec, req);
    }
}

int32_t ComboMethod(ObjectRecord* rec, MethodCallRec* call) { return ListMethod(rec, kComboMsgs, kTypeCombobox, call); }

const ObjectOps kComboOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .deleteItem = ComboDeleteItem,
    .destroy = CtlDestroy,
    .enable = ObjectEnableWindowed,
    .getText = ComboGetText,
    .getValue = ComboGetValue,
    .insertItem = ComboInsertItem,
    .setText = ComboSetText,
    .setValue = ComboSetValue,
    .notify = ComboNotify,
    .getProp = ComboGetProp,
    .setProp = ComboSetProp,
    .method = ComboMethod,
};

}  // namespace

ObjectRecord* ComboBoxCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code) {
    uint8_t comboStyle = static_cast<uint8_t>(CreateRecordValue(cr, kPidComboStyle, 0));
    if (comboStyle < kComboSimple || comboStyle > kComboDropList)
        comboStyle = type == kTypePopupmenu ? kComboDropList : kComboDropDown;
    DWORD style = WS_TABSTOP | WS_VSCROLL | CBS_AUTOHSCROLL;
    style |= comboStyle == kComboSimple ? CBS_SIMPLE : comboStyle == kComboDropList ? CBS_DROPDOWNLIST : CBS_DROPDOWN;
    bool sorted = (cr->flags0 & kCrSorted) || CreateRecordValue(cr, kPidSorted, 0);
    if (sorted) style |= CBS_SORT;
    // The window of a drop-down combo box includes its list: the rectangle's
    // height is the edit part, the list gets its visible rows below it.
    uint32_t rows = static_cast<uint32_t>(CreateRecordValue(cr, kPidRowsVisible, kDefaultRows));
    int32_t keepHeight = cr->height;
    if (comboStyle != kComboSimple && cr->height > 0 && rows > 0 && rows < 100) cr->height = keepHeight * static_cast<int32_t>(rows + 1);
    ControlRecord* c = CtlCreateWindowed(kKindComboBox, cr, "COMBOBOX", style, 0, nullptr, 0, code);
    cr->height = keepHeight;
    if (!c) return nullptr;
    ObjectRecord* rec = &c->hdr;
    c->comboStyle = comboStyle;
    c->rowsVisible = rows;
    if (sorted) c->ctlFlags |= kCtlSorted;
    c->ctlFlags |= kCtlNoEvents;
    // The creation text's first piece is the combo box's own text, the rest its
    // items; a text without items leaves them to the Data text.
    const CrText& t = cr->text.text ? cr->text : cr->title;
    bool skipFirst = true;
    CrText items = CreateRecordItemText(cr, kPidData, &skipFirst);
    if (items.text) ListItemsFromText(rec->hwnd, kComboMsgs, items.text, items.length, skipFirst);
    if (t.text && comboStyle != kComboDropList) {
        uint32_t first = 0;
        while (first < t.length && t.text[first] != ';') ++first;
        char* own = CtlCopyText(t.text, first);
        bool taken = own && WindowTextSet(rec->hwnd, own);
        if (own) LocalFreeMem(own);
        if (!taken) {
            ObjectDestroy(rec);
            *code = kOpNoMemory;
            return nullptr;
        }
    }
    c->ctlFlags &= ~kCtlNoEvents;
    return CtlFinishCreate(c, cr, code);
}

void ComboBoxInstall() {
    RegisterObjectCreator(kTypeCombobox, ComboBoxCreate);
    RegisterObjectCreator(kTypePopupmenu, ComboBoxCreate);
    RegisterObjectOps(kKindComboBox, &kComboOps);
    ListRegisterMethods(kTypeCombobox);
    ListRegisterMethods(kTypePopupmenu);
}
