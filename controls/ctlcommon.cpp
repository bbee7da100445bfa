// ctlcommon.cpp - the shared machinery of the windowed control kinds: creation
// with units and fonts, the subclass procedure that offers input to the object
// model first, the common properties, method arguments, the list family's
// items, and the installation of every kind.
#include "controls/ctlcommon.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "controls/ctlcore.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/font.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/window.h"
#include "session/session.h"
#include "session/util/mem.h"

ControlHooks gControlHooks;

namespace {

constexpr UINT kWheelMsg = 0x020A;
constexpr UINT kHWheelMsg = 0x020E;

// The messages a control offers the object model before its own procedure:
// focus, keys, and every mouse move, press, release, double click and wheel.
bool OfferedToObjectModel(UINT msg) {
    switch (msg) {
    case WM_SETFOCUS: case WM_KILLFOCUS: case WM_SETCURSOR: case WM_KEYDOWN: case WM_CHAR: case WM_SYSCHAR:
    case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
    case kWheelMsg: case kHWheelMsg:
        return true;
    default:
        return false;
    }
}

// What the subclass of a control window keeps: the control's own procedure
// and the kind's hook. Held in the process, keyed by the window, rather than
// in window properties, which cost a Wine server call to read on every
// message. The entry goes at WM_NCDESTROY (the record may be gone by then),
// so a window handle that the system hands out again never finds an old
// procedure. Controls live on the one GUI thread.
struct CtlSubclass {
    WNDPROC oldProc;
    CtlMsgHook hook;
};
std::unordered_map<HWND, CtlSubclass> gCtlSubclasses;

CtlSubclass CtlSubclassOf(HWND wnd) {
    auto it = gCtlSubclasses.find(wnd);
    return it == gCtlSubclasses.end() ? CtlSubclass{} : it->second;
}

// The kind's hook and the object model's part of a control's message: true
// when they took it (its result in *result).
static bool CtlMsgToObjectModel(const CtlSubclass& sub, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (msg != WM_NCDESTROY && sub.hook) {
        if (ObjectRecord* rec = ObjectFromHwnd(wnd))
            if (sub.hook(rec, wnd, msg, wp, lp, result)) return true;
    }
    if (OfferedToObjectModel(msg)) {
        *result = 0;
        return ControlMsgToEvent(wnd, msg, wp, lp);
    }
    // F10 is the menu key of the window; the control still sees the key.
    if (msg == WM_SYSKEYDOWN) HandleSysKeyF10(wnd, wp, 0, 0, 0);
    return false;
}

static bool CtlOfferToObjectModel(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    return CtlMsgToObjectModel(CtlSubclassOf(wnd), wnd, msg, wp, lp, result);
}

// The control's own procedure. WM_NCDESTROY, the window's last message (which
// the object model never takes), first gives the window its own procedure
// back and takes its entry away.
static LRESULT CtlOwnProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC old = CtlSubclassOf(wnd).oldProc;
    if (msg == WM_NCDESTROY) {
        gCtlSubclasses.erase(wnd);
        if (old) SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    }
    return old ? CallWindowProcA(old, wnd, msg, wp, lp) : DefWindowProcA(wnd, msg, wp, lp);
}

// Offers focus, key, mouse and wheel messages to the object model first; a
// message it took does not reach the control. A kind's own hook sees every
// message before that and may answer it itself. What the object model
// cannot hold in memory leaves the message to the control.
constexpr WNDPROC kCtlSubclassProc = GuardedSubclassProc<CtlOfferToObjectModel, CtlOwnProc>;

HWND ContainerWindow(ObjectRecord* parent) {
    int depth = 0;
    for (ObjectRecord* p = parent; p && depth < kParentChainMax; p = p->parent, ++depth)
        if (p->hwnd) return p->hwnd;
    return nullptr;
}

FontRec* FontFromCreation(ObjectRecord* parent, const ObjectCreateRecord* cr, int32_t* code) {
    CrText spec = CreateRecordText(cr, kPidFont);
    if (spec.text && spec.length) {
        FontRec* f = FontFromSpec(spec.text, static_cast<int32_t>(spec.length), nullptr, 0);
        if (!f) *code = kOpNoFont;
        return f;
    }
    FontRec* inherited = parent && parent->font ? parent->font : gDefaultFontP;
    return inherited ? FontAddUse(inherited) : nullptr;
}

// Gives the control a font the caller took a use of; the use of the font it
// had goes (the same font twice is two uses, one of them released here). A
// shown control redraws with it; a hidden one (a new control is, until it is
// shown) paints with it when it is shown, so asks no redraw.
void ApplyFont(ObjectRecord* rec, FontRec* font) {
    if (rec->font) FontRelease(rec->font);
    rec->font = font;
    if (rec->hwnd && font && font->hfont)
        SendMessageA(rec->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font->hfont), IsWindowVisible(rec->hwnd));
}

// A method table row: only its presence is looked at by the call check.
struct CtlMethodRow {
    uint32_t last;
};
CtlMethodRow gMethodRows[kMaxObjectType + 1];
constexpr uint32_t kBrowseClassIdMethod = 24, kBrowseClassIdVersion = 9202;

template <uint32_t Type>
const MethodDesc* LookupMethod(uint32_t method, uint32_t version) {
    if (method < 1 || method > gMethodRows[Type].last) return nullptr;
    if (Type == kTypeTreeview && method == kBrowseClassIdMethod && version < kBrowseClassIdVersion) return nullptr;
    return reinterpret_cast<const MethodDesc*>(&gMethodRows[Type]);
}

}  // namespace

ControlRecord* CtlCreateWindowed(uint8_t kind, ObjectCreateRecord* cr, const char* className, DWORD style,
                                 DWORD exStyle, const char* text, uint32_t textLength, int32_t* code,
                                 uint32_t recordSize, CtlMsgHook hook) {
    *code = kOpNoMemory;
    if (recordSize < sizeof(ControlRecord)) recordSize = sizeof(ControlRecord);
    auto* c = reinterpret_cast<ControlRecord*>(ObjectAllocRecord(kind, recordSize, false));
    if (!c) return nullptr;
    ObjectRecord* rec = &c->hdr;
    ObjectRecord* parent = nullptr;
    bool parentOk = ObjectInitCommon(rec, cr, &parent);
    auto fail = [&](int32_t why) -> ControlRecord* {
        if (rec->hwnd) DestroyWindow(rec->hwnd);
        rec->hwnd = nullptr;
        ObjectFreeCommon(rec);
        ObjectFreeRecord(rec);
        *code = why;
        return nullptr;
    };
    if (!parentOk) return fail(kOpNoObject);
    if (!CopyCreateStrings(rec, cr)) return fail(kOpNoMemory);
    if (!ObjectSetRect(rec, cr->top, cr->height, cr->left, cr->width)) return fail(-4);
    HWND parentWnd = ContainerWindow(parent);
    if (!parentWnd) return fail(kOpNoObject);
    // The record keeps its rectangle in pixels of the parent's client area.
    RECT r = {rec->left, rec->top, rec->right, rec->bottom};
    ConvertRectUnits(parent, &r, kToPixels);
    rec->left = r.left, rec->top = r.top, rec->right = r.right, rec->bottom = r.bottom;
    int32_t fontCode = 0;
    FontRec* font = FontFromCreation(parent, cr, &fontCode);
    if (fontCode) return fail(fontCode);
    rec->font = font;
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (rec->flags & kObjDisabled) style |= WS_DISABLED;
    if (rec->flags & kObjBorder) {
        if (rec->flags & kObj3D) exStyle |= WS_EX_CLIENTEDGE;
        else style |= WS_BORDER;
    }
    exStyle = AddRtlExStyle(rec, exStyle);
    if (!CommonControlsInit()) return fail(kOpNoMemory);
    char* caption = CtlCopyText(text, textLength);
    uint16_t id = ObjectNextCtlId(parent);
    HWND wnd = CreateWindowExA(exStyle, className, caption ? caption : "", style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, parentWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               GetModuleHandleA(nullptr), nullptr);
    if (caption) LocalFreeMem(caption);
    if (!wnd) return fail(kOpNoObject);
    rec->hwnd = wnd;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(rec));
    // The record's one use of the font was taken above: hand it over, not release it.
    rec->font = nullptr;
    ApplyFont(rec, font);
    gCtlSubclasses[wnd] = CtlSubclass{reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)), hook};
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kCtlSubclassProc));
    LinkObject(rec);
    ObjectSaveLayout(rec, 0);
    *code = 0;
    return c;
}

LRESULT CtlCallOldProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC old = CtlSubclassOf(wnd).oldProc;
    return old ? CallWindowProcA(old, wnd, msg, wp, lp) : DefWindowProcA(wnd, msg, wp, lp);
}

size_t CtlSubclassCount() { return gCtlSubclasses.size(); }

ControlRecord* CtlCreateCaptioned(uint8_t kind, ObjectCreateRecord* cr, const char* className, DWORD style,
                                  int32_t* code, DWORD exStyle) {
    const CrText& t = cr->title.text ? cr->title : cr->text;
    return CtlCreateWindowed(kind, cr, className, style, exStyle, t.text, t.length, code);
}

ObjectRecord* CtlFinishCreate(ControlRecord* c, const ObjectCreateRecord* cr, int32_t* code) {
    return CtlShowCreated(&c->hdr, cr, code);
}

ObjectRecord* CtlShowCreated(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code) {
    rec->flags &= ~kObjShown;
    if (!(cr->flags0 & kCrVisible)) {
        rec->flags |= kObjHidden;
        return rec;
    }
    // Showing pumps messages; a request taken meanwhile may destroy the object.
    ObjectRef ref = ObjectRefOf(rec);
    ObjectActivate(rec, 0, 0, 0, 0);
    if (ObjectRefAlive(ref)) return rec;
    *code = kOpNoObject;
    return nullptr;
}

int32_t CtlDestroy(ObjectRecord* rec) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    if (c->buddy) DestroyWindow(c->buddy);
    c->buddy = nullptr;
    if (gButtonNotifyMark == rec) gButtonNotifyMark = nullptr;
    ObjectRecord* top = ObjectTopWindow(rec);
    if (WindowRecord* w = top ? ObjectAsWindow(top) : nullptr) {
        if (w->defaultButton == rec) w->defaultButton = nullptr;
        if (w->focusObj == rec) w->focusObj = nullptr;
        if (w->lastFocus == rec) w->lastFocus = nullptr;
    }
    if (NativeWindowRecord* nw = top ? NativeWindowOf(top) : nullptr)
        if (nw->cancelButton == rec) nw->cancelButton = nullptr;
    return ControlDestroyWindowed(rec);
}

int32_t CtlSetCommonProp(ObjectRecord* rec, PropChange* req) {
    int32_t v = req->value;
    switch (req->id) {
    case kPidLeft: case kPidTop: case kPidWidth: case kPidHeight: {
        // Counted in 64 bits: a place past the 32-bit coordinates is
        // refused, never wrapped.
        int64_t px = ConvertUnits(rec->parent, v, kToPixels);
        int64_t l = rec->left, t = rec->top, r = rec->right, b = rec->bottom;
        if (req->id == kPidLeft) r += px - l, l = px;
        if (req->id == kPidTop) b += px - t, t = px;
        if (req->id == kPidWidth) r = l + (px < 0 ? 0 : px);
        if (req->id == kPidHeight) b = t + (px < 0 ? 0 : px);
        for (int64_t e : {l, t, r, b, r - l, b - t})
            if (e < INT32_MIN || e > INT32_MAX) return kOpBadRect;
        RECT place = {static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)};
        PositionObjectWindow(rec, &place);
        ObjectSaveLayout(rec, 0);
        return 0;
    }
    case kPidEnabled:
        return v ? ObjectEnable(rec, 0) : ObjectDisable(rec, 0);
    case kPidVisible:
        if (v && !(rec->flags & kObjShown)) return ObjectActivate(rec, 0, 0, 0, 0);
        if (!v && (rec->flags & kObjShown)) return ObjectDeactivate(rec);
        return 0;
    case kPidFgColor: case kPidBgColor: case kPidBdrColor: {
        uint32_t* field = req->id == kPidFgColor ? &rec->fgColor : req->id == kPidBgColor ? &rec->bgColor : &rec->bdrColor;
        *field = static_cast<uint32_t>(v);
        if (rec->hwnd) InvalidateRect(rec->hwnd, nullptr, TRUE);
        return 0;
    }
    case kPidFont: {
        FontRec* f = FontFromSpec(req->text, static_cast<int32_t>(req->textLength), nullptr, 0);
        if (!f) return kOpNoFont;
        ApplyFont(rec, f);
        return 0;
    }
    case kPidFontObj: {
        FontRec* held = FontObjGetFont(req->object);
        FontRec* f = held ? FontAddUse(held) : nullptr;
        if (!f) return kOpNoFont;
        ApplyFont(rec, f);
        return 0;
    }
    default:
        break;
    }
    bool redraw = false;
    int32_t r = ObjectSetCommonProperty(rec, req->id, v, req->text, req->textLength, &redraw);
    if (redraw && rec->hwnd) InvalidateRect(rec->hwnd, nullptr, TRUE);
    return r;
}

uint32_t CtlGetCommonProp(ObjectRecord* rec, uint32_t id) {
    switch (id) {
    case kPidLeft: return static_cast<uint32_t>(ConvertUnits(rec->parent, rec->left, kToUnits));
    case kPidTop: return static_cast<uint32_t>(ConvertUnits(rec->parent, rec->top, kToUnits));
    case kPidWidth: return static_cast<uint32_t>(ConvertUnits(rec->parent, rec->right - rec->left, kToUnits));
    case kPidHeight: return static_cast<uint32_t>(ConvertUnits(rec->parent, rec->bottom - rec->top, kToUnits));
    case kPidHwnd: return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(rec->hwnd));
    default: return static_cast<uint32_t>(ObjectGetCommonProperty(rec, id));
    }
}

void CtlPostEvent(ObjectRecord* rec, uint32_t eventId, int32_t value) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    if ((c->ctlFlags & kCtlNoEvents) || !EventIsRegistered(rec, eventId)) return;
    PostObjectEvent(rec, eventId, kEventKindDefault, 0, value);
}

int32_t CtlSetTextBuf(const char* text, uint32_t length) {
    if (length > kTextBufSize) length = kTextBufSize;
    if (length) memcpy(gTextBuf, text, length);
    gTextBuf[length] = 0;
    return static_cast<int32_t>(length);
}

int32_t CtlWindowTextToBuf(HWND wnd) {
    gTextBuf[0] = 0;
    if (!wnd) return 0;
    return GetWindowTextA(wnd, gTextBuf, static_cast<int>(kTextBufSize + 1));
}

int32_t CtlGetCaption(ObjectRecord* rec, int32_t item) {
    if (item != 0) return 0;
    return CtlWindowTextToBuf(rec->hwnd);
}

int32_t CtlSetCaption(ObjectRecord* rec, int32_t item, const char* text, uint32_t len) {
    if (item != 0) return 0;
    char* copy = CtlCopyText(text, len);
    if (!copy) return kOpNoMemory;
    bool taken = WindowTextSet(rec->hwnd, copy);
    LocalFreeMem(copy);
    return taken ? 0 : kOpNoMemory;
}

char* CtlCopyText(const char* text, uint32_t length) {
    if (length > kEditTextMax) return nullptr;
    char* copy = static_cast<char*>(LocalAllocZero(length + 1));
    if (copy && length) memcpy(copy, text, length);
    return copy;
}

bool CtlReplaceText(char** field, const char* text, uint32_t length) {
    char* copy = CtlCopyText(text ? text : "", text ? length : 0);
    if (!copy) return false;
    LocalFreeMem(*field);
    *field = copy;
    return true;
}

bool CtlArgGiven(const MethodCallRec* call, uint32_t i) { return CallArgGiven(call, i); }

int32_t CtlArgInt(const MethodCallRec* call, uint32_t i, int32_t def) { return CallArgInt(call, i, def); }

const char* CtlArgText(const MethodCallRec* call, uint32_t i, uint32_t* length) {
    return CallArgText(call, i, length);
}

void CtlRegisterMethods(uint32_t objectType, uint32_t last) {
    static const struct {
        uint32_t type;
        MethodLookupFn fn;
    } kLookups[] = {
        {kTypeButton, LookupMethod<kTypeButton>},       {kTypeCombobox, LookupMethod<kTypeCombobox>},
        {kTypePopupmenu, LookupMethod<kTypePopupmenu>}, {kTypeDatalist, LookupMethod<kTypeDatalist>},
        {kTypeEdittext, LookupMethod<kTypeEdittext>},   {kTypeListview, LookupMethod<kTypeListview>},
        {kTypeTreeview, LookupMethod<kTypeTreeview>},   {kTypeMenu, LookupMethod<kTypeMenu>},
        {kTypeRichEditText, LookupMethod<kTypeRichEditText>},
    };
    if (objectType > kMaxObjectType) return;
    gMethodRows[objectType].last = last;
    for (const auto& l : kLookups)
        if (l.type == objectType) RegisterMethodTable(objectType, l.fn);
}

// ---- The list family ------------------------------------------------------------------

const ListMsgs kComboMsgs = {CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_GETCOUNT, CB_GETLBTEXT,
                             CB_GETLBTEXTLEN, CB_GETCURSEL, CB_SETCURSEL, CB_RESETCONTENT, CB_FINDSTRING,
                             CB_SELECTSTRING, CB_GETITEMDATA, CB_SETITEMDATA, CB_FINDSTRINGEXACT};
const ListMsgs kListBoxMsgs = {LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_GETCOUNT, LB_GETTEXT,
                               LB_GETTEXTLEN, LB_GETCURSEL, LB_SETCURSEL, LB_RESETCONTENT, LB_FINDSTRING,
                               LB_SELECTSTRING, LB_GETITEMDATA, LB_SETITEMDATA, LB_FINDSTRINGEXACT};

int32_t ListGetItemText(HWND wnd, const ListMsgs& m, int32_t index) {
    gTextBuf[0] = 0;
    int32_t count = static_cast<int32_t>(SendMessageA(wnd, m.getCount, 0, 0));
    if (index < 0 || index >= count) return 0;
    LRESULT len = SendMessageA(wnd, m.getTextLen, static_cast<WPARAM>(index), 0);
    if (len < 0 || static_cast<uint64_t>(len) > kTextBufSize) return 0;   // the item is longer than the buffer
    LRESULT got = SendMessageA(wnd, m.getText, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(gTextBuf));
    return got < 0 ? 0 : static_cast<int32_t>(got);
}

int32_t ListInsertItem(HWND wnd, const ListMsgs& m, bool sorted, int32_t pos, const char* text, uint32_t len) {
    char* copy = CtlCopyText(text, len);
    if (!copy) return -2;
    int32_t count = static_cast<int32_t>(SendMessageA(wnd, m.getCount, 0, 0));
    LRESULT r;
    if (sorted) r = SendMessageA(wnd, m.addString, 0, reinterpret_cast<LPARAM>(copy));
    else if (pos < -1 || pos > count) r = -1;
    else r = SendMessageA(wnd, m.insertString, static_cast<WPARAM>(pos), reinterpret_cast<LPARAM>(copy));
    LocalFreeMem(copy);
    return r < 0 ? (r == -1 ? -1 : -2) : static_cast<int32_t>(r);
}

int32_t ListInsertItemOp(ObjectRecord* rec, const ListMsgs& m, int32_t pos, const char* text, uint32_t len) {
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    int32_t r = ListInsertItem(rec->hwnd, m, (c->ctlFlags & kCtlSorted) != 0, pos, text, len);
    return r < 0 ? r : 0;
}

int32_t ListDeleteItemOp(ObjectRecord* rec, const ListMsgs& m, int32_t item) {
    if (item == 0) SendMessageA(rec->hwnd, m.resetContent, 0, 0);
    else if (item > 0) SendMessageA(rec->hwnd, m.deleteString, static_cast<WPARAM>(item - 1), 0);
    return 0;
}

void ListItemsFromText(HWND wnd, const ListMsgs& m, const char* text, uint32_t length, bool skipFirst) {
    SendMessageA(wnd, m.resetContent, 0, 0);
    uint32_t start = 0;
    bool first = true;
    for (uint32_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != ';') continue;
        bool emptyLast = i == length && i == start;
        if (!(first && skipFirst) && !emptyLast) ListInsertItem(wnd, m, false, -1, text + start, i - start);
        first = false;
        start = i + 1;
    }
}

int32_t ListItemsToText(HWND wnd, const ListMsgs& m) {
    int32_t count = static_cast<int32_t>(SendMessageA(wnd, m.getCount, 0, 0));
    uint32_t at = 0;
    gTextBuf[0] = 0;
    for (int32_t i = 0; i < count; ++i) {
        LRESULT len = SendMessageA(wnd, m.getTextLen, static_cast<WPARAM>(i), 0);
        uint32_t sep = i ? 1 : 0;
        if (len < 0 || at + sep + static_cast<uint64_t>(len) > kTextBufSize) break;
        if (sep) gTextBuf[at++] = ';';
        SendMessageA(wnd, m.getText, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(gTextBuf + at));
        at += static_cast<uint32_t>(len);
        gTextBuf[at] = 0;
    }
    return static_cast<int32_t>(at);
}

namespace {

// The last number of the list method table (SetCBFlags, answered as a no-op here).
constexpr uint32_t kLmLast = kComboSetCBFlags;

}  // namespace

int32_t ListMethod(ObjectRecord* rec, const ListMsgs& m, uint32_t objectType, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(objectType, call);
    if (rc != 0) return rc;
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    HWND wnd = rec->hwnd;
    bool sorted = (c->ctlFlags & kCtlSorted) != 0;
    uint32_t len = 0;
    const char* text = nullptr;
    int32_t result = 0;
    c->ctlFlags |= kCtlNoEvents;
    switch (call->method) {
    case kComboAddString:
        text = CtlArgText(call, 0, &len);
        result = text ? ListInsertItem(wnd, m, sorted, -1, text, len) : -1;
        break;
    case kComboDeleteString: {
        int32_t index = CtlArgInt(call, 0, -1);
        result = index >= 0 ? static_cast<int32_t>(SendMessageA(wnd, m.deleteString, static_cast<WPARAM>(index), 0)) : -1;
        break;
    }
    case kComboFindString: case kComboFindStringExact: case kComboSelectString: {
        text = CtlArgText(call, 1, &len);
        int32_t from = CtlArgInt(call, 0, -1);
        char* copy = text && len ? CtlCopyText(text, len) : nullptr;
        if (!copy) {
            result = -1;
            break;
        }
        UINT msg = call->method == kComboFindString ? m.findString
                   : call->method == kComboFindStringExact ? m.findExact : m.selectString;
        result = static_cast<int32_t>(SendMessageA(wnd, msg, static_cast<WPARAM>(from < 0 ? -1 : from),
                                                   reinterpret_cast<LPARAM>(copy)));
        LocalFreeMem(copy);
        if (result < 0) result = -1;
        break;
    }
    case kComboGetCount: result = static_cast<int32_t>(SendMessageA(wnd, m.getCount, 0, 0)); break;
    case kComboGetCurSel: result = static_cast<int32_t>(SendMessageA(wnd, m.getCurSel, 0, 0)); break;
    case kComboGetItemData: {
        int32_t index = CtlArgInt(call, 0, -1);
        int32_t count = static_cast<int32_t>(SendMessageA(wnd, m.getCount, 0, 0));
        result = index >= 0 && index < count
                     ? static_cast<int32_t>(SendMessageA(wnd, m.getItemData, static_cast<WPARAM>(index), 0)) : -1;
        break;
    }
    case kComboGetText: {
        int32_t index = CtlArgGiven(call, 0) ? CtlArgInt(call, 0, -1)
                                              : static_cast<int32_t>(SendMessageA(wnd, m.getCurSel, 0, 0));
        ListGetItemText(wnd, m, index);
        c->ctlFlags &= ~kCtlNoEvents;
        return CtlReplyText(gTextBuf);
    }
    case kComboInsertString: {
        int32_t index = CtlArgInt(call, 1, -1);
        text = CtlArgText(call, 0, &len);
        result = text && index >= -1 ? ListInsertItem(wnd, m, false, index, text, len) : -1;
        break;
    }
    case kComboResetContent: SendMessageA(wnd, m.resetContent, 0, 0); break;
    case kComboSetCurSel: {
        int32_t index = CtlArgInt(call, 0, -1);
        if (index >= 0) SendMessageA(wnd, m.setCurSel, static_cast<WPARAM>(index), 0);
        else result = -1;
        break;
    }
    case kComboSetItemData: {
        int32_t index = CtlArgInt(call, 0, -1);
        LRESULT r = index >= 0 ? SendMessageA(wnd, m.setItemData, static_cast<WPARAM>(index),
                                              static_cast<LPARAM>(CtlArgInt(call, 1, 0)))
                               : -1;
        result = r < 0 ? -1 : 0;
        break;
    }
    case kComboFindData: {
        int32_t want = CtlArgInt(call, 0, 0);
        int32_t count = static_cast<int32_t>(SendMessageA(wnd, m.getCount, 0, 0));
        result = -1;
        for (int32_t i = 0; i < count && result < 0; ++i)
            if (static_cast<int32_t>(SendMessageA(wnd, m.getItemData, static_cast<WPARAM>(i), 0)) == want) result = i;
        break;
    }
    case 3: case kComboGetTopIndex: case kComboSetTopIndex: case kLmLast:
        break;
    default:
        c->ctlFlags &= ~kCtlNoEvents;
        return kOpUnknownMethod;
    }
    c->ctlFlags &= ~kCtlNoEvents;
    return CtlReplyInt(result);
}

int32_t CtlReplyInt(int32_t value) {
    SetReplyInt(nullptr, value, kReplyKindInt);
    return kNoAnswer;
}

int32_t CtlReplyText(const char* text) {
    SetReplyText(nullptr, text ? text : "");
    return kNoAnswer;
}

void ListRegisterMethods(uint32_t objectType) { CtlRegisterMethods(objectType, kLmLast); }

// ---- Image lists of list and tree views ---------------------------------------------------

namespace {

bool IsListUser(const ObjectRecord* rec) {
    return rec && (rec->kind == kKindListView || rec->kind == kKindTreeView) && rec->hwnd;
}

CtlListRecord* AsListUser(ObjectRecord* rec) { return reinterpret_cast<CtlListRecord*>(rec); }

// The control message and image-list kind of a slot.
void SlotMessage(const ObjectRecord* rec, int slot, UINT* message, WPARAM* which) {
    if (rec->kind == kKindTreeView) {
        *message = TVM_SETIMAGELIST;
        *which = TVSIL_NORMAL;
        return;
    }
    static const WPARAM kListViewLists[kCtlImageSlots] = {LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE};
    *message = LVM_SETIMAGELIST;
    *which = kListViewLists[slot];
}

LPARAM HandleOf(ObjectRecord* list) {
    return list && gGuiHooks.imageListHandle ? reinterpret_cast<LPARAM>(gGuiHooks.imageListHandle(list)) : 0;
}

}  // namespace

bool CtlImageListOf(const PropChange* req, ObjectRecord** list) {
    *list = nullptr;
    if (!req->object && req->value == 0) return true;
    ObjectRecord* named = req->object ? req->object : ObjectFromHandle(static_cast<uint32_t>(req->value));
    // A web-view list has no handle for a native control: it counts as none.
    if (named && named->kind == kKindImageList && ObjectIsWebView(named)) return true;
    if (!named || named->kind != kKindImageList) return false;
    *list = named;
    return true;
}

void CtlImageListSet(ObjectRecord* rec, int slot, ObjectRecord* list, UINT message, WPARAM which) {
    if (!IsListUser(rec) || slot < 0 || slot >= kCtlImageSlots) return;
    ObjectRecord*& at = AsListUser(rec)->imageLists[slot];
    if (at == list) return;
    ObjectRecord* old = at;
    if (list && gGuiHooks.imageListTakeUse) gGuiHooks.imageListTakeUse(list);
    at = list;
    SendMessageA(rec->hwnd, message, which, HandleOf(list));
    if (old && gGuiHooks.imageListRelease) gGuiHooks.imageListRelease(old, true);
}

int32_t CtlImageListReleased(ObjectRecord* rec, ObjectRecord* list) {
    if (!IsListUser(rec)) return 0;
    for (int slot = 0; slot < kCtlImageSlots; ++slot) {
        ObjectRecord*& at = AsListUser(rec)->imageLists[slot];
        if (at != list) continue;
        at = nullptr;
        UINT message;
        WPARAM which;
        SlotMessage(rec, slot, &message, &which);
        SendMessageA(rec->hwnd, message, which, 0);
        if (gGuiHooks.imageListRelease) gGuiHooks.imageListRelease(list, false);
    }
    return 0;
}

bool CtlImageListRefresh(ObjectRecord* rec, ObjectRecord* list) {
    if (!IsListUser(rec) || !list) return false;
    bool uses = false;
    for (int slot = 0; slot < kCtlImageSlots; ++slot) {
        if (AsListUser(rec)->imageLists[slot] != list) continue;
        UINT message;
        WPARAM which;
        SlotMessage(rec, slot, &message, &which);
        SendMessageA(rec->hwnd, message, which, HandleOf(list));
        uses = true;
    }
    if (uses) RedrawObject(rec, true);
    return uses;
}

void CtlImageListsDrop(ObjectRecord* rec) {
    if (!rec || (rec->kind != kKindListView && rec->kind != kKindTreeView)) return;
    for (int slot = 0; slot < kCtlImageSlots; ++slot) {
        ObjectRecord* list = AsListUser(rec)->imageLists[slot];
        AsListUser(rec)->imageLists[slot] = nullptr;
        if (list && gGuiHooks.imageListRelease) gGuiHooks.imageListRelease(list, true);
    }
}
