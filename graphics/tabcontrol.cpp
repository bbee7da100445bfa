// tabcontrol.cpp - the native TabControl (kind 27): the row of tabs whose pages
// the server program fills with ordinary siblings. Tabs with their labels, hot
// keys and images, properties and methods, the page switches the user makes
// with the mouse, Ctrl+Tab and Alt with a hot key, the windowless siblings and
// edit frames painted over the control, and the page area repainted after
// each object operation that changed something on it.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "graphics/bars.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/session.h"
#include "session/util/codepage.h"

namespace {

enum TabValue : int32_t { kTvSelection = 0, kTvCount = 1, kTvRows = 2 };
enum TabWidthStyle : uint8_t { kTabFixedWidth = 1, kTabJustified = 2, kTabRaggedRight = 3 };
enum TabOrientation : uint32_t { kTabTop = 0, kTabBottom = 1, kTabLeft = 2, kTabRight = 3 };
constexpr uint32_t kRefreshPage = 0x1;
constexpr uint32_t kNoImage = static_cast<uint32_t>(-1);
constexpr int32_t kNoTabImage = -2;
// Siblings flagged so are left out of the page's painting.
constexpr uint32_t kObjNotPainted = 0x20;
// Edit frames are redrawn when they come this close to the repainted area.
constexpr int32_t kFrameReach = 3;
constexpr UINT kItemTextSize = 256;

struct TabControlRecord {
    ControlRecord c;
    TabControlRecord* nextShown;    // gTabControlList
    int32_t fixWidth, fixHeight;    // pixels
    uint32_t refresh;               // kRefreshPage
    uint32_t tabStyle;              // TabOrientation
    ObjectRecord* imageList;        // one use held
    uint8_t widthStyle;             // TabWidthStyle
    uint8_t multiRow;
    TabHotKeys hotKeys;
};

// The shown tab controls, newest first.
TabControlRecord* gTabControlList;
// While set, windowless objects over a tab control get a DC of the control's
// window (they are painted from the control's own painting).
bool gTabPaintSwitch;
// Whether the page area is repainted after the operations that changed it.
bool gTabPageRefresh = true;

TabControlRecord* AsTab(ObjectRecord* rec) { return reinterpret_cast<TabControlRecord*>(rec); }
bool IsTab(const ObjectRecord* rec) { return rec && rec->kind == kKindTabControl && ObjectIsLive(rec) && rec->hwnd; }
bool RightToLeft(const ObjectRecord* rec) { return (rec->flags & kObjRightToLeft) != 0; }
int32_t TabCount(ObjectRecord* rec) { return static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_GETITEMCOUNT, 0, 0)); }

void Redraw(ObjectRecord* rec) {
    if (rec->flags & kObjShown) RedrawObject(rec, true);
}

// ---- Tabs -----------------------------------------------------------------------------------------

// A tab with a label (through the OEM conversion) at index; its index or -1.
int32_t InsertLabel(ObjectRecord* rec, int32_t index, const char* label, int32_t image) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE | (RightToLeft(rec) ? TCIF_RTLREADING : 0);
    const char* a = OemToAnsiStr(label, 0);
    item.pszText = const_cast<char*>(a ? a : "");
    item.iImage = image;
    return static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_INSERTITEMA, static_cast<WPARAM>(index),
                                             reinterpret_cast<LPARAM>(&item)));
}

// Builds the tabs from a ';'-separated list of labels (at most 40960 bytes),
// with their hot keys, and selects the first.
void SetupTabs(TabControlRecord* t, const char* text, uint32_t length) {
    ObjectRecord* rec = &t->c.hdr;
    t->hotKeys.count = 0;
    if (length > kTabLabelsMax) length = kTabLabelsMax;
    uint32_t at = 0;
    int32_t index = 0;
    while (at < length) {
        TabLabel label;
        bool ended;
        at += TabLabelNext(text + at, length - at, &label, &ended);
        if (!ended && label.length == 0) break;
        if (InsertLabel(rec, index, label.text, static_cast<int32_t>(kNoImage)) < 0) continue;
        if (t->hotKeys.count < kTabHotKeyMax) TabHotKeysInsert(&t->hotKeys, static_cast<uint32_t>(index), label.hotKey);
        ++index;
    }
    SendMessageA(rec->hwnd, TCM_SETCURSEL, 0, 0);
}

void DeleteAll(TabControlRecord* t) {
    SendMessageA(t->c.hdr.hwnd, TCM_DELETEALLITEMS, 0, 0);
    t->hotKeys.count = 0;
}

// The label of tab index into buf (ANSI, as the control keeps it); false when none.
bool TabText(ObjectRecord* rec, int32_t index, char* buf, UINT size) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT | (RightToLeft(rec) ? TCIF_RTLREADING : 0);
    item.pszText = buf;
    item.cchTextMax = static_cast<int>(size);
    buf[0] = 0;
    return SendMessageA(rec->hwnd, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != 0;
}

// Every label followed by ';' in gTextBuf; a label that would not fit whole
// ends the text.
void LabelsToText(ObjectRecord* rec) {
    uint32_t used = 0;
    gTextBuf[0] = 0;
    int32_t count = TabCount(rec);
    for (int32_t i = 0; i < count; ++i) {
        char label[kItemTextSize];
        TabText(rec, i, label, sizeof label);
        AnsiToOemStr(label);
        uint32_t n = static_cast<uint32_t>(strlen(label));
        if (used + n + 1 > kTextBufSize) break;
        memcpy(gTextBuf + used, label, n);
        used += n;
        gTextBuf[used++] = ';';
    }
    gTextBuf[used] = 0;
}

// ---- Page switches -----------------------------------------------------------------------------

// $CLICK with the tab being left, 1-based.
void PostTabLeft(ObjectRecord* rec) {
    int32_t sel = static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_GETCURSEL, 0, 0));
    if (EventIsRegistered(rec, kEvClick)) PostObjectEvent(rec, kEvClick, kEventKindDefault, 0, sel + 1);
}

int32_t TabNotify(ObjectRecord* rec, HWND, uint32_t, uint32_t code) {
    int32_t sel = static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_GETCURSEL, 0, 0));
    switch (code) {
    case TCN_SELCHANGING:
        PostValidateOnFocus(rec, ObjectTopWindow(rec));
        PostTabLeft(rec);
        return 0;
    case TCN_SELCHANGE:
        if (EventIsRegistered(rec, kEvChange)) PostObjectEvent(rec, kEvChange, kEventKindDefault, 0, sel + 1);
        else if (EventIsRegistered(rec, kEvOldEvent)) PostObjectEvent(rec, kEvOldEvent, kEventKindDefault, 0, sel + 1);
        return 0;
    default: return 0;
    }
}

// A switch the client makes itself reports as the user's would. The focus
// validation, which makes the control its window's focused object, runs only
// when the control has the keyboard focus (Ctrl+Tab): a hot key switches the
// tab and leaves the focus where it is, so the next focus change is reported
// from the control that really had it.
void SelectTab(ObjectRecord* rec, int32_t index) {
    // The tab already selected: nothing changes and nothing is reported, as
    // for a click on it.
    if (index == static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_GETCURSEL, 0, 0))) return;
    if (GetFocus() == rec->hwnd) TabNotify(rec, rec->hwnd, 0, static_cast<uint32_t>(TCN_SELCHANGING));
    else PostTabLeft(rec);
    SendMessageA(rec->hwnd, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    TabNotify(rec, rec->hwnd, 0, static_cast<uint32_t>(TCN_SELCHANGE));
}

// Ctrl+Tab (Ctrl+Shift+Tab backward) on a focused tab control with tabs.
bool TabCycle(bool backward) {
    ObjectRecord* rec = GetFocusObject();
    if (!IsTab(rec) || ObjectIsWebView(rec)) return false;
    int32_t count = TabCount(rec);
    int32_t sel = static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_GETCURSEL, 0, 0));
    if (count <= 0 || sel < 0) return false;
    int32_t next = backward ? (sel == 0 ? count - 1 : sel - 1) : (sel + 1 >= count ? 0 : sel + 1);
    SelectTab(rec, next);
    return true;
}

// Alt with a key no menu took: the first tab whose hot key it is.
bool TabHotKey(ObjectRecord* rec, uint32_t key) {
    if (!IsTab(rec)) return false;
    int32_t index = TabHotKeysFind(&AsTab(rec)->hotKeys, key);
    if (index < 0 || index >= TabCount(rec)) return false;
    SelectTab(rec, index);
    return true;
}

// ---- Painting over the control -----------------------------------------------------------------

bool PaintSwitch() { return gTabPaintSwitch; }

// The controls of the pages are siblings made after the control, which the
// system puts below it: the tab row goes back to the bottom so that they show.
void SendToBottom(HWND wnd) {
    if (GetWindow(wnd, GW_HWNDLAST) != wnd)
        SetWindowPos(wnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool RectsMeet(const RECT& a, const RECT& b) {
    RECT x;
    return IntersectRect(&x, &a, &b) != FALSE;
}

RECT RectOf(const ObjectRecord* rec) { return RECT{rec->left, rec->top, rec->right, rec->bottom}; }

bool IsEditKind(uint8_t kind) { return kind == kKindEditText || kind == kKindRichEditText || kind == kKindEditNumber; }

// The windowless siblings after the control that lie over it are painted in
// its window; the frames of edits near the repainted area are drawn again.
void PaintOverlaps(ObjectRecord* rec, const RECT* update) {
    if (!rec->parent) return;
    RECT mine = RectOf(rec);
    bool saved = gTabPaintSwitch;
    gTabPaintSwitch = true;
    ObjectRef ref = ObjectRefOf(rec);
    ObjectRecord* first = rec->next;
    for (ObjectRecord* c = first; c; c = c->next) {
        if (c->hwnd || !(c->flags & kObjShown) || (c->flags & kObjNotPainted) || ObjectIsWebView(c)) continue;
        const ObjectOps* ops = ObjectOpsOf(c);
        if (ops && ops->paint && RectsMeet(RectOf(c), mine)) ops->paint(c, nullptr, 0);
    }
    gTabPaintSwitch = saved;
    if (!ObjectRefAlive(ref)) return;
    RECT reach = {};
    if (update) {
        reach = *update;
        OffsetRect(&reach, rec->left, rec->top);
        InflateRect(&reach, kFrameReach, kFrameReach);
    }
    for (ObjectRecord* c = rec->next; c; c = c->next) {
        if (!(c->flags & kObjShown) || !IsEditKind(c->kind)) continue;
        if (!update || RectsMeet(RectOf(c), reach)) EditPaintFrame(c);
    }
}

bool TabPaintHook(ObjectRecord* rec, HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (msg != WM_PAINT) return false;
    SendToBottom(wnd);
    RECT update = {};
    bool has = GetUpdateRect(wnd, &update, FALSE) != FALSE;
    ObjectRef ref = ObjectRefOf(rec);
    *result = CtlCallOldProc(wnd, msg, wp, lp);
    if (ObjectRefAlive(ref)) PaintOverlaps(rec, has ? &update : nullptr);
    return true;
}

// The page area (below the tab row) less the later siblings on it, in the
// control's coordinates, is invalidated; nothing when nothing is left of it.
void TabInvalidate(ObjectRecord* rec, bool erase) {
    RECT page = RectOf(rec);
    RECT first = {};
    if (SendMessageA(rec->hwnd, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first))) page.top += first.bottom;
    HRGN region = CreateRectRgnIndirect(&page);
    if (!region) return;
    bool ok = true;
    for (ObjectRecord* c = rec->next; c && ok; c = c->next) {
        if (!(c->flags & kObjShown) || (c->flags & kObjNotPainted) || c->kind == kKindLine) continue;
        RECT r = RectOf(c);
        if (c->kind == kKindComboBox && c->hwnd && SendMessageA(c->hwnd, CB_GETDROPPEDSTATE, 0, 0)) {
            RECT dropped = {};
            SendMessageA(c->hwnd, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
            r.bottom = r.top + (dropped.bottom - dropped.top);
        }
        HRGN cut = CreateRectRgnIndirect(&r);
        ok = cut && CombineRgn(region, region, cut, RGN_DIFF) != ERROR;
        if (cut) DeleteObject(cut);
    }
    RECT box = {};
    if (ok && GetRgnBox(region, &box) != NULLREGION) {
        OffsetRgn(region, -rec->left, -rec->top);
        InvalidateRgn(rec->hwnd, region, erase ? TRUE : FALSE);
    }
    DeleteObject(region);
}

void MarkRefresh(ObjectRecord* rec) {
    if (IsTab(rec)) AsTab(rec)->refresh |= kRefreshPage;
}

// After each object operation: the pages something was repainted on.
void RefreshAll() {
    for (TabControlRecord* t = gTabControlList; t; t = t->nextShown) {
        SendToBottom(t->c.hdr.hwnd);
        if (!(t->refresh & kRefreshPage)) continue;
        t->refresh &= ~kRefreshPage;
        if (gTabPageRefresh) TabInvalidate(&t->c.hdr, true);
    }
}

void Unlist(TabControlRecord* t) {
    for (TabControlRecord** link = &gTabControlList; *link; link = &(*link)->nextShown) {
        if (*link != t) continue;
        *link = t->nextShown;
        t->nextShown = nullptr;
        return;
    }
}

// ---- Slots ---------------------------------------------------------------------------------------

int32_t TabShow(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d) {
    int32_t r = ObjectShowWindowed(rec, a, b, c, d);
    if (r != 0 || !ObjectIsLive(rec)) return r;
    SendToBottom(rec->hwnd);
    TabControlRecord* t = AsTab(rec);
    Unlist(t);
    t->nextShown = gTabControlList;
    gTabControlList = t;
    PaintOverlaps(rec, nullptr);
    return 0;
}

int32_t TabHide(ObjectRecord* rec) {
    Unlist(AsTab(rec));
    return ObjectHideWindowed(rec);
}

void DropImageList(TabControlRecord* t) {
    ObjectRecord* list = t->imageList;
    t->imageList = nullptr;
    if (t->c.hdr.hwnd) SendMessageA(t->c.hdr.hwnd, TCM_SETIMAGELIST, 0, 0);
    if (list) ImageListRelease(list, true);
}

int32_t TabDestroy(ObjectRecord* rec) {
    TabControlRecord* t = AsTab(rec);
    Unlist(t);
    DropImageList(t);
    return CtlDestroy(rec);
}

int32_t TabDeleteItem(ObjectRecord* rec, int32_t n) {
    TabControlRecord* t = AsTab(rec);
    if (n == 0) {
        DeleteAll(t);
    } else if (n >= 1 && n <= TabCount(rec)) {
        if (SendMessageA(rec->hwnd, TCM_DELETEITEM, static_cast<WPARAM>(n - 1), 0))
            TabHotKeysDelete(&t->hotKeys, static_cast<uint32_t>(n - 1));
    }
    return 0;
}

int32_t TabGetText(ObjectRecord* rec, int32_t n) {
    gTextBuf[0] = 0;
    if (n < 1 || n > TabCount(rec)) return 0;
    TabText(rec, n - 1, gTextBuf, kItemTextSize);
    AnsiToOemStr(gTextBuf);
    return 0;
}

int32_t TabGetValue(ObjectRecord* rec, int32_t which, int32_t* value) {
    switch (which) {
    case kTvSelection: *value = static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_GETCURSEL, 0, 0)) + 1; break;
    case kTvCount: *value = TabCount(rec); break;
    case kTvRows:
        *value = AsTab(rec)->multiRow ? static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_GETROWCOUNT, 0, 0)) : 1;
        break;
    default: *value = 0; break;
    }
    return 0;
}

int32_t TabInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t len) {
    TabControlRecord* t = AsTab(rec);
    char* label = BarCopyText(text, len, kTabLabelsMax);
    if (!label) return kOpNoMemory;
    int32_t count = TabCount(rec);
    int32_t at = pos < 0 || pos > count ? count : pos;
    int32_t index = InsertLabel(rec, at, label, static_cast<int32_t>(kNoImage));
    if (index >= 0) TabHotKeysInsert(&t->hotKeys, static_cast<uint32_t>(index), TabLabelHotKey(label, static_cast<uint32_t>(strlen(label))));
    LocalFreeMem(label);
    return index >= 0 ? 0 : kOpNoMemory;
}

int32_t TabSetText(ObjectRecord* rec, int32_t n, const char* text, uint32_t len) {
    if (n < 1 || n > TabCount(rec)) return 0;
    char* label = BarCopyText(text, len, kTabLabelsMax);
    if (!label) return kOpNoMemory;
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    const char* a = OemToAnsiStr(label, 0);
    item.pszText = const_cast<char*>(a ? a : "");
    // A label the control refused (no room for its copy) leaves the tab and
    // its hot key as they were.
    bool taken =
        SendMessageA(rec->hwnd, TCM_SETITEMA, static_cast<WPARAM>(n - 1), reinterpret_cast<LPARAM>(&item)) != FALSE;
    if (taken) TabHotKeysSet(&AsTab(rec)->hotKeys, static_cast<uint32_t>(n - 1), TabLabelHotKey(label, static_cast<uint32_t>(strlen(label))));
    LocalFreeMem(label);
    return taken ? 0 : kOpNoMemory;
}

int32_t TabSetValue(ObjectRecord* rec, int32_t which, int32_t n) {
    if (which == kTvSelection) SendMessageA(rec->hwnd, TCM_SETCURSEL, static_cast<WPARAM>(n - 1), 0);
    return 0;
}

// ---- Properties ----------------------------------------------------------------------------------

DWORD WidthStyleBit(uint8_t style) {
    return style == kTabFixedWidth ? TCS_FIXEDWIDTH : style == kTabRaggedRight ? TCS_RAGGEDRIGHT : 0;
}

DWORD OrientationBits(uint32_t o) {
    switch (o) {
    case kTabBottom: return TCS_BOTTOM;
    case kTabLeft: return TCS_VERTICAL;
    case kTabRight: return TCS_VERTICAL | TCS_RIGHT;
    default: return 0;
    }
}

void ApplyItemSize(TabControlRecord* t) {
    SendMessageA(t->c.hdr.hwnd, TCM_SETITEMSIZE, 0, MAKELPARAM(t->fixWidth, t->fixHeight));
}

// Gives the control a list (or none); true when it had one before.
bool SetImageList(TabControlRecord* t, ObjectRecord* list) {
    bool had = t->imageList != nullptr;
    if (list == t->imageList) return had;
    DropImageList(t);
    if (list) {
        ImageListTakeUse(list);
        t->imageList = list;
        SendMessageA(t->c.hdr.hwnd, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(ImageListHandle(list)));
    }
    return had;
}

int32_t TabImageListReleased(ObjectRecord* rec, ObjectRecord* list) {
    TabControlRecord* t = AsTab(rec);
    if (t->imageList != list) return 0;
    // A rebuilt list: the control takes its new handle.
    if (ImageListRebuilding(list)) {
        SendMessageA(rec->hwnd, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(ImageListHandle(list)));
        InvalidateRect(rec->hwnd, nullptr, TRUE);
        return 0;
    }
    // The list is going: the control forgets it and drops its use without destroying it.
    t->imageList = nullptr;
    SendMessageA(rec->hwnd, TCM_SETIMAGELIST, 0, 0);
    ImageListRelease(list, false);
    return 0;
}

uint32_t TabGetProp(ObjectRecord* rec, uint32_t id) {
    TabControlRecord* t = AsTab(rec);
    switch (id) {
    case kPidTabLabel: LabelsToText(rec); return 0;
    case kPidMultiRow: return t->multiRow;
    case kPidTabWthStyle: return t->widthStyle;
    case kPidTabFixHth: return static_cast<uint32_t>(BarToUnits(rec, t->fixHeight));
    case kPidTabFixWth: return static_cast<uint32_t>(BarToUnits(rec, t->fixWidth));
    case kPidImageList: return t->imageList ? t->imageList->handle : 0;
    case kPidTabStyle: return t->tabStyle;
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t TabSetProp(ObjectRecord* rec, PropChange* req) {
    TabControlRecord* t = AsTab(rec);
    int32_t v = req->value;
    switch (req->id) {
    case kPidTabLabel:
        DeleteAll(t);
        SetupTabs(t, req->text ? req->text : "", req->text ? req->textLength : 0);
        break;
    case kPidMultiRow:
        t->multiRow = v ? 1 : 0;
        BarStyleBits(rec->hwnd, GWL_STYLE, TCS_MULTILINE, t->multiRow ? TCS_MULTILINE : 0);
        break;
    case kPidTabWthStyle:
        BarStyleBits(rec->hwnd, GWL_STYLE, WidthStyleBit(t->widthStyle), 0);
        t->widthStyle = static_cast<uint8_t>(v);
        BarStyleBits(rec->hwnd, GWL_STYLE, 0, WidthStyleBit(t->widthStyle));
        if (t->widthStyle == kTabFixedWidth) ApplyItemSize(t);
        break;
    case kPidTabFixHth: case kPidTabFixWth:
        if (req->id == kPidTabFixHth) t->fixHeight = BarToPixels(rec, v);
        else t->fixWidth = BarToPixels(rec, v);
        if (t->widthStyle != kTabFixedWidth) return 0;
        ApplyItemSize(t);
        break;
    case kPidImageList: {
        ObjectRecord* list = nullptr;
        if (!BarImageListOf(req->object, v, &list)) return kOpNoObject;
        SetImageList(t, list);
        return 0;
    }
    case kPidTabStyle:
        if (!TabStyleAccepted(t->tabStyle, v)) return 0;
        BarStyleBits(rec->hwnd, GWL_STYLE, OrientationBits(t->tabStyle), 0);
        t->tabStyle = static_cast<uint32_t>(v);
        BarStyleBits(rec->hwnd, GWL_STYLE, 0, OrientationBits(t->tabStyle));
        break;
    default: return CtlSetCommonProp(rec, req);
    }
    Redraw(rec);
    return 0;
}

// ---- Methods -------------------------------------------------------------------------------------

const MethodDesc* TabMethodLookup(uint32_t method, uint32_t) {
    static const uint8_t kKnown = 1;
    return method >= kTabHitTest && method <= kTabSetupTabs ? reinterpret_cast<const MethodDesc*>(&kKnown) : nullptr;
}

ObjectRecord* ArgImageList(const MethodCallRec* call, uint32_t i, bool* ok) {
    ObjectRecord* list = nullptr;
    *ok = BarImageListOf(nullptr, CtlArgInt(call, i, 0), &list);
    return list;
}

int32_t GetItem(ObjectRecord* rec, int32_t index, UINT mask, TCITEMA* item) {
    *item = TCITEMA{};
    item->mask = mask;
    return static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item)));
}

// A label argument (at most 255 bytes) made ANSI into buf; false when absent or empty.
bool ArgLabel(const MethodCallRec* call, uint32_t i, char* buf, uint8_t* hotKey) {
    uint32_t len = 0;
    const char* text = CtlArgText(call, i, &len);
    if (!text || !len) return false;
    if (len > kTabLabelMax) len = kTabLabelMax;
    memcpy(buf, text, len);
    buf[len] = 0;
    *hotKey = TabLabelHotKey(buf, len);
    const char* a = OemToAnsiStr(buf, 1);
    if (a && a != buf) {
        strncpy(buf, a, kTabLabelMax);
        buf[kTabLabelMax] = 0;
    }
    return true;
}

int32_t InsertTab(TabControlRecord* t, const MethodCallRec* call) {
    enum : uint32_t { kArgIndex, kArgLabel, kArgImage, kArgParam };
    ObjectRecord* rec = &t->c.hdr;
    char label[kTabLabelMax + 1];
    uint8_t hot = 0;
    bool hasLabel = ArgLabel(call, kArgLabel, label, &hot);
    bool hasImage = CtlArgGiven(call, kArgImage);
    if (!hasLabel && !hasImage) return -1;
    TCITEMA item = {};
    item.mask = TCIF_IMAGE;
    item.iImage = hasImage ? CtlArgInt(call, kArgImage, 0) : -1;
    if (hasLabel) {
        item.mask |= TCIF_TEXT | (RightToLeft(rec) ? TCIF_RTLREADING : 0);
        item.pszText = label;
    }
    if (CtlArgGiven(call, kArgParam)) {
        item.mask |= TCIF_PARAM;
        item.lParam = CtlArgInt(call, kArgParam, 0);
    }
    int32_t index = static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_INSERTITEMA, static_cast<WPARAM>(CtlArgInt(call, kArgIndex, 0)),
                                                      reinterpret_cast<LPARAM>(&item)));
    if (index >= 0)
        TabHotKeysInsertAt(&t->hotKeys, static_cast<uint32_t>(index), hot, static_cast<uint32_t>(TabCount(rec)));
    return index;
}

int32_t SetTab(TabControlRecord* t, const MethodCallRec* call) {
    enum : uint32_t { kArgIndex, kArgLabel, kArgImage };
    ObjectRecord* rec = &t->c.hdr;
    int32_t index = CtlArgInt(call, kArgIndex, -1);
    TCITEMA item;
    if (index < 0 || !GetItem(rec, index, TCIF_IMAGE, &item)) return 0;
    char label[kTabLabelMax + 1];
    uint8_t hot = 0;
    item.mask = 0;
    if (ArgLabel(call, kArgLabel, label, &hot)) {
        item.mask |= TCIF_TEXT;
        item.pszText = label;
        TabHotKeysSet(&t->hotKeys, static_cast<uint32_t>(index), hot);
    }
    if (CtlArgGiven(call, kArgImage)) {
        item.mask |= TCIF_IMAGE;
        item.iImage = CtlArgInt(call, kArgImage, 0);
    }
    if (!item.mask) return 0;
    return static_cast<int32_t>(SendMessageA(rec->hwnd, TCM_SETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

int32_t TabMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypeTabcontrol, call);
    if (rc != 0) return rc;
    TabControlRecord* t = AsTab(rec);
    HWND wnd = rec->hwnd;
    int32_t index = CtlArgInt(call, 0, -1);
    TCITEMA item;
    switch (call->method) {
    case kTabHitTest: {
        TCHITTESTINFO hit = {};
        hit.pt = POINT{CtlArgInt(call, 0, 0), CtlArgInt(call, 1, 0)};
        return CtlReplyInt(static_cast<int32_t>(SendMessageA(wnd, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit))) + 1);
    }
    case kTabSetTabImage:
        item = TCITEMA{};
        item.mask = TCIF_IMAGE;
        item.iImage = CtlArgInt(call, 1, 0);
        return CtlReplyInt(static_cast<int32_t>(SendMessageA(wnd, TCM_SETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))));
    case kTabGetTabImage:
        return CtlReplyInt(index >= 0 && GetItem(rec, index, TCIF_IMAGE, &item) ? item.iImage : kNoTabImage);
    case kTabSetImageList: {
        bool ok;
        ObjectRecord* list = ArgImageList(call, 0, &ok);
        if (!ok) return CtlReplyInt(0);
        return CtlReplyInt(SetImageList(t, list) ? 1 : 0);
    }
    case kTabGetStyle: return CtlReplyInt(GetWindowLongA(wnd, GWL_STYLE));
    case kTabSetStyle: {
        DWORD style = static_cast<DWORD>(GetWindowLongA(wnd, GWL_STYLE));
        style = TabSetStyleBits(style, static_cast<uint32_t>(CtlArgInt(call, 0, 0)), CtlArgInt(call, 1, 0) != 0);
        SetWindowLongA(wnd, GWL_STYLE, static_cast<LONG>(style));
        Redraw(rec);
        return CtlReplyInt(GetWindowLongA(wnd, GWL_STYLE));
    }
    case kTabRemoveImageList: {
        bool had = t->imageList != nullptr;
        DropImageList(t);
        return CtlReplyInt(had ? 1 : 0);
    }
    case kTabGetTabCount: return CtlReplyInt(TabCount(rec));
    case kTabInsertTab: return CtlReplyInt(InsertTab(t, call));
    case kTabDeleteTab: {
        int32_t r = index >= 0 ? static_cast<int32_t>(SendMessageA(wnd, TCM_DELETEITEM, static_cast<WPARAM>(index), 0)) : 0;
        if (r) {
            if (t->hotKeys.count < 2) t->hotKeys.count = 0;
            else TabHotKeysDelete(&t->hotKeys, static_cast<uint32_t>(index));
        }
        return CtlReplyInt(r);
    }
    case kTabSetTab: return CtlReplyInt(SetTab(t, call));
    case kTabSetTabParam:
        item = TCITEMA{};
        item.mask = TCIF_PARAM;
        item.lParam = CtlArgInt(call, 1, 0);
        return CtlReplyInt(static_cast<int32_t>(SendMessageA(wnd, TCM_SETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))));
    case kTabGetTabParam:
        return CtlReplyInt(index >= 0 && GetItem(rec, index, TCIF_PARAM, &item) ? static_cast<int32_t>(item.lParam) : 0);
    case kTabSetupTabs: {
        DeleteAll(t);
        uint32_t len = 0;
        const char* labels = CtlArgText(call, 0, &len);
        if (labels) SetupTabs(t, labels, len);
        Redraw(rec);
        return CtlReplyInt(0);
    }
    default: return kOpUnknownMethod;
    }
}

const ObjectOps kTabControlOps = {
    .show = TabShow,
    .hide = TabHide,
    .deleteItem = TabDeleteItem,
    .destroy = TabDestroy,
    .enable = ObjectEnableWindowed,
    .getText = TabGetText,
    .getValue = TabGetValue,
    .insertItem = TabInsertItem,
    .setText = TabSetText,
    .setValue = TabSetValue,
    .notify = TabNotify,
    .getProp = TabGetProp,
    .setProp = TabSetProp,
    .method = TabMethod,
    .imageListReleased = TabImageListReleased,
};

}  // namespace

ObjectRecord* TabControlCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    int32_t widthStyle = CreateRecordValue(cr, kPidTabWthStyle, kTabJustified);
    if (widthStyle < kTabFixedWidth || widthStyle > kTabRaggedRight) widthStyle = kTabJustified;
    int32_t multiRow = CreateRecordValue(cr, kPidMultiRow, 0);
    int32_t tabStyle = CreateRecordValue(cr, kPidTabStyle, kTabTop);
    if (tabStyle < 0 || tabStyle > static_cast<int32_t>(kTabRight)) tabStyle = kTabTop;
    DWORD style = WidthStyleBit(static_cast<uint8_t>(widthStyle)) | OrientationBits(static_cast<uint32_t>(tabStyle));
    if (multiRow) style |= TCS_MULTILINE;
    ControlRecord* c = CtlCreateWindowed(kKindTabControl, cr, WC_TABCONTROLA, style, 0, nullptr, 0, code,
                                         sizeof(TabControlRecord), TabPaintHook);
    if (!c) return nullptr;
    ObjectRecord* rec = &c->hdr;
    TabControlRecord* t = AsTab(rec);
    rec->fgColor = 0;
    rec->bgColor = kBarFaceColor;
    t->widthStyle = static_cast<uint8_t>(widthStyle);
    t->multiRow = multiRow ? 1 : 0;
    t->tabStyle = static_cast<uint32_t>(tabStyle);
    t->fixHeight = BarToPixels(rec, CreateRecordValue(cr, kPidTabFixHth, 0));
    t->fixWidth = BarToPixels(rec, CreateRecordValue(cr, kPidTabFixWth, 0));
    if (t->widthStyle == kTabFixedWidth) ApplyItemSize(t);
    SendToBottom(rec->hwnd);
    RECT r;
    GetWindowRect(rec->hwnd, &r);
    rec->right = rec->left + (r.right - r.left);
    rec->bottom = rec->top + (r.bottom - r.top);
    CrText labels = CreateRecordText(cr, kPidTabLabel);
    if (labels.text && labels.length) SetupTabs(t, labels.text, labels.length);
    ObjectRecord* list = cr->given[kPidImageList] ? ObjectFromHandle(static_cast<uint32_t>(cr->values[kPidImageList]))
                                                     : nullptr;
    if (list && list->kind == kKindImageList && !ObjectIsWebView(list)) SetImageList(t, list);
    return CtlFinishCreate(c, cr, code);
}

void TabControlInstall() {
    RegisterObjectCreator(kTypeTabcontrol, TabControlCreate);
    RegisterObjectOps(kKindTabControl, &kTabControlOps);
    RegisterMethodTable(kTypeTabcontrol, TabMethodLookup);
    gGuiHooks.tabControlCycle = TabCycle;
    gGuiHooks.tabControlHotKey = TabHotKey;
    gGuiHooks.tabControlPaintOverlaps = PaintSwitch;
    gGuiHooks.tabControlMarkRefresh = MarkRefresh;
    gObjectHooks.objectOpDone = RefreshAll;
}

void TabControlInvalidatePage(ObjectRecord* rec, bool erase) {
    if (IsTab(rec)) TabInvalidate(rec, erase);
}
