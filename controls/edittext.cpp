// edittext.cpp - the native EditText object (kind 6) and the edit operations
// that RichEditText and EditNumber share: program text to control text and
// back, selection values, limits, options and the change notification.
#include "controls/edittext.h"

#include "controls/ctlcore.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"

namespace {

enum EditWhich : int32_t { kWhole = 0, kSelection = 1 };

// Get text answers at most the reply buffer's bytes of program text, and each
// of them comes from at most two bytes of control text (CR LF): no more than
// this is read from the control past the start of what is asked.
constexpr uint32_t kEditReadMax = 2 * kTextBufSize;

// The whole text (or the selection) of the control as program text in
// gTextBuf, cut to its size. Only the control's text up to the end of what is
// answered is read, so a text of any length reads in bounded room.
int32_t EditReadText(ObjectRecord* rec, int32_t which) {
    gTextBuf[0] = 0;
    HWND wnd = rec->hwnd;
    int length = GetWindowTextLengthA(wnd);
    uint32_t len = length > 0 ? static_cast<uint32_t>(length) : 0;
    uint32_t start = 0, end = len;
    if (which == kSelection) {
        DWORD selStart = 0, selEnd = 0;
        SendMessageA(wnd, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
        end = selEnd < len ? selEnd : len;
        start = selStart < end ? selStart : end;
    }
    if (end - start > kEditReadMax) end = start + kEditReadMax;
    if (!EditTabBufferHold(end) || !gEditTabBuf) return kOpNoMemory;
    int got = GetWindowTextA(wnd, gEditTabBuf, static_cast<int>(end) + 1);
    uint32_t n = got > 0 ? static_cast<uint32_t>(got) : 0;
    if (n > end) n = end;
    if (start > n) start = n;
    if (!EditTextFromControl(gEditTabBuf + start, n - start)) return kOpNoMemory;
    return CtlSetTextBuf(gEditTextBuf, gEditTextLen);
}

// Replaces the control's selection with a text; false when it did not take
// it. EM_REPLACESEL answers nothing: a replacement made leaves the caret
// after it with nothing selected, one refused (Wine's edit control drops one
// it cannot make room for) leaves the selection as it was. A control full to
// its limit takes what fits, which may be nothing: that is no refusal.
bool ReplaceSelection(HWND wnd, const char* text) {
    DWORD start = 0, end = 0;
    SendMessageA(wnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    SendMessageA(wnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    if (!*text && start == end) return true;
    DWORD nowStart = 0, nowEnd = 0;
    SendMessageA(wnd, EM_GETSEL, reinterpret_cast<WPARAM>(&nowStart), reinterpret_cast<LPARAM>(&nowEnd));
    if (nowStart != nowEnd) return false;
    if (!*text || nowStart != start) return true;
    LRESULT limit = SendMessageA(wnd, EM_GETLIMITTEXT, 0, 0);
    return GetWindowTextLengthA(wnd) >= limit;
}

// Puts program text into the control (the whole text or the selection); -6
// when the control did not take it, its text then as the control kept it.
int32_t EditWriteText(ObjectRecord* rec, int32_t which, const char* text, uint32_t len) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    if (!EditTextFormatLines(text, len, c->lineLimit, c->columnLimit)) return kOpNoMemory;
    c->ctlFlags |= kCtlNoEvents;
    // A rich edit reads a text that starts as RTF as markup: its length is
    // not the text's.
    bool taken = which == kWhole ? WindowTextSet(rec->hwnd, gEditTextBuf, rec->kind != kKindRichEditText)
                                 : ReplaceSelection(rec->hwnd, gEditTextBuf);
    c->ctlFlags &= ~kCtlNoEvents;
    return taken ? 0 : kOpNoMemory;
}

}  // namespace

int32_t EditGetText(ObjectRecord* rec, int32_t item) {
    if (item != kWhole && item != kSelection) return 0;
    return EditReadText(rec, item);
}

int32_t EditSetText(ObjectRecord* rec, int32_t item, const char* text, uint32_t len) {
    if (item != kWhole && item != kSelection) return 0;
    return EditWriteText(rec, item, text, len);
}

int32_t EditInsertItem(ObjectRecord* rec, int32_t which, const char* text, uint32_t len) {
    if ((which != 0 && which != 1) || !text || !len) return 0;
    if (which == 0) {
        int end = GetWindowTextLengthA(rec->hwnd);
        SendMessageA(rec->hwnd, EM_SETSEL, static_cast<WPARAM>(end), end);
    }
    return EditWriteText(rec, kSelection, text, len);
}

int32_t EditDeleteItem(ObjectRecord* rec, int32_t which) {
    if (which == kWhole) return EditWriteText(rec, kWhole, "", 0);
    if (which == kSelection) return EditWriteText(rec, kSelection, "", 0);
    return 0;
}

int32_t EditGetValue(ObjectRecord* rec, int32_t which, int32_t* value) {
    DWORD start = 0, end = 0;
    SendMessageA(rec->hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    switch (which) {
    case 0: *value = GetWindowTextLengthA(rec->hwnd); break;
    case 1: *value = static_cast<int32_t>(start); break;
    case 2: *value = static_cast<int32_t>(end); break;
    default: *value = 0; break;
    }
    return 0;
}

int32_t EditSetValue(ObjectRecord* rec, int32_t which, int32_t v) {
    DWORD start = 0, end = 0;
    SendMessageA(rec->hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (which == 1) SendMessageA(rec->hwnd, EM_SETSEL, static_cast<WPARAM>(v), v);
    else if (which == 2) SendMessageA(rec->hwnd, EM_SETSEL, start, v);
    return 0;
}

int32_t EditNotify(ObjectRecord* rec, HWND, uint32_t, uint32_t code) {
    if (code == EN_CHANGE) CtlPostEvent(rec, kEvChange, 0);
    return 0;
}

int32_t EditPaint(ObjectRecord* rec, void*, int32_t) {
    EditPaintFrame(rec);
    return 0;
}

void EditPaintFrame(ObjectRecord* rec) {
    // A plain border is drawn by the control; a border in the object's own
    // colour is drawn around it in the parent's window.
    if (!rec || !(rec->flags & kObjBorder) || (rec->flags & kObj3D) || !(rec->flags & kObjShown)) return;
    ObjectDCState state = {};
    HDC dc = GetObjectDC(0, rec, &state);
    if (!dc) return;
    RECT r = {rec->left - 1 + state.originX, rec->top - 1 + state.originY, rec->right + 1 + state.originX,
              rec->bottom + 1 + state.originY};
    DrawBorder(dc, &r, 0, rec->bdrColor);
    ReleaseObjectDC(&state);
}

uint32_t EditGetProp(ObjectRecord* rec, uint32_t id) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    switch (id) {
    case kPidText: EditReadText(rec, kWhole); return 0;
    case kPidSelText: EditReadText(rec, kSelection); return 0;
    case kPidMaxChars: return c->maxChars;
    case kPidMultiLine: return c->lineLimit;
    case kPidMaxCols: return c->columnLimit;
    case kPidEditType: return c->editType;
    case kPidReadOnly: return (c->ctlFlags & kCtlReadOnly) ? 1 : 0;
    case kPidPassword: return (c->ctlFlags & kCtlPassword) ? 1 : 0;
    case kPidModifyFlag: return SendMessageA(rec->hwnd, EM_GETMODIFY, 0, 0) ? 1 : 0;
    case kPidPasswordChar: {
        char ch = static_cast<char>(SendMessageA(rec->hwnd, EM_GETPASSWORDCHAR, 0, 0));
        gTextBuf[0] = ch ? ch : ((c->ctlFlags & kCtlPassword) ? '*' : 0);
        gTextBuf[1] = 0;
        return 0;
    }
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t EditSetProp(ObjectRecord* rec, PropChange* req) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    int32_t v = req->value;
    switch (req->id) {
    case kPropIdEditOptions: c->editOptions = EditOptionsParse(req->textLength, req->text); return 0;
    case kPidText: return EditWriteText(rec, kWhole, req->text, req->textLength);
    case kPidSelText: return EditWriteText(rec, kSelection, req->text, req->textLength);
    case kPidMaxChars:
        c->maxChars = v > 0 ? static_cast<uint32_t>(v) : kEditColumnsMax;
        SendMessageA(rec->hwnd, EM_LIMITTEXT, c->maxChars, 0);
        return 0;
    case kPidMaxCols: c->columnLimit = v > 0 ? static_cast<uint32_t>(v) : kEditColumnsMax; return 0;
    case kPidMultiLine: if (v > 0) c->lineLimit = static_cast<uint32_t>(v); return 0;
    case kPidReadOnly: case kPidStatic:
        if (v) c->ctlFlags |= kCtlReadOnly;
        else c->ctlFlags &= ~kCtlReadOnly;
        SendMessageA(rec->hwnd, EM_SETREADONLY, v != 0, 0);
        return 0;
    case kPidModifyFlag: SendMessageA(rec->hwnd, EM_SETMODIFY, v != 0, 0); return 0;
    case kPidPasswordChar:
        SendMessageA(rec->hwnd, EM_SETPASSWORDCHAR, req->textLength ? static_cast<uint8_t>(req->text[0]) : 0, 0);
        InvalidateRect(rec->hwnd, nullptr, TRUE);
        return 0;
    case kPidEditType: c->editType = static_cast<uint8_t>(v); return 0;
    default: return CtlSetCommonProp(rec, req);
    }
}

void EditApplyCreation(ControlRecord* c, const ObjectCreateRecord* cr) {
    uint32_t lines = static_cast<uint32_t>(CreateRecordValue(cr, kPidMultiLine, 1));
    c->lineLimit = lines > 0 ? lines : 1;
    int32_t cols = CreateRecordValue(cr, kPidMaxCols, 0);
    c->columnLimit = c->lineLimit == 1 ? 0 : (cols > 0 ? static_cast<uint32_t>(cols) : kEditColumnsMax);
    int32_t maxChars = CreateRecordValue(cr, kPidMaxChars, 0);
    c->maxChars = maxChars > 0 ? static_cast<uint32_t>(maxChars) : 0;
    if (c->maxChars) SendMessageA(c->hdr.hwnd, EM_LIMITTEXT, c->maxChars, 0);
    c->editType = static_cast<uint8_t>(CreateRecordValue(cr, kPidEditType, 1));
    c->editOptions = kEditOptionsDefault;
    if (CreateRecordValue(cr, kPidReadOnly, 0) || CreateRecordValue(cr, kPidStatic, 0)) c->ctlFlags |= kCtlReadOnly;
    if (CreateRecordValue(cr, kPidPassword, 0)) c->ctlFlags |= kCtlPassword;
    CrText options = CreateRecordText(cr, kPropIdEditOptions);
    if (options.text) c->editOptions = EditOptionsParse(options.length, options.text);
}

DWORD EditStyleFromCreation(const ObjectCreateRecord* cr) {
    DWORD style = WS_TABSTOP | ES_AUTOHSCROLL;
    if (CreateRecordValue(cr, kPidMultiLine, 1) > 1) style = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
    switch (cr->scrollBar) {
    case 1: style |= WS_VSCROLL | WS_HSCROLL; break;
    case 2: style |= WS_VSCROLL; break;
    case 4: style |= WS_HSCROLL; break;
    default: break;
    }
    if (CreateRecordValue(cr, kPidReadOnly, 0) || CreateRecordValue(cr, kPidStatic, 0)) style |= ES_READONLY;
    if (CreateRecordValue(cr, kPidPassword, 0)) style |= ES_PASSWORD;
    switch (CreateRecordValue(cr, kPidEditType, 1)) {
    case 4: style |= ES_LOWERCASE; break;
    case 5: style |= ES_UPPERCASE; break;
    default: break;
    }
    switch (CreateRecordValue(cr, kPidAlignment, 0)) {
    case 1: style |= ES_RIGHT; break;
    case 3: style |= ES_CENTER; break;
    default: break;
    }
    return style;
}

const ObjectOps kEditOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .deleteItem = EditDeleteItem,
    .destroy = CtlDestroy,
    .enable = ObjectEnableWindowed,
    .getText = EditGetText,
    .getValue = EditGetValue,
    .insertItem = EditInsertItem,
    .setText = EditSetText,
    .setValue = EditSetValue,
    .paint = EditPaint,
    .notify = EditNotify,
    .getProp = EditGetProp,
    .setProp = EditSetProp,
};

ObjectRecord* EditTextCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ControlRecord* c = CtlCreateWindowed(kKindEditText, cr, "EDIT", EditStyleFromCreation(cr), 0, nullptr, 0, code);
    if (!c) return nullptr;
    EditApplyCreation(c, cr);
    const CrText& t = cr->text.text ? cr->text : cr->title;
    if (t.text && EditWriteText(&c->hdr, kWhole, t.text, t.length) != 0) {
        ObjectDestroy(&c->hdr);
        *code = kOpNoMemory;
        return nullptr;
    }
    return CtlFinishCreate(c, cr, code);
}

void EditTextInstall() {
    RegisterObjectCreator(kTypeEdittext, EditTextCreate);
    RegisterObjectOps(kKindEditText, &kEditOps);
}
