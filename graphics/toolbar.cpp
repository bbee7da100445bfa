// toolbar.cpp - the native ToolBar (kind 40) and its ToolButtons (kind 41):
// creation with the default tool strip, buttons added, numbered, found and
// removed, the properties of the bar and of its buttons (also through an item
// selector or the sub-object "buttons"), the methods and the image lists.
#include "graphics/toolbar.h"

#include <cstring>

#include "graphics/gfxvalues.h"
#include "graphics/image/dibutil.h"
#include "objects/color.h"
#include "objects/events.h"
#include "objects/font.h"
#include "objects/guihooks.h"
#include "objects/objwindowed.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/session.h"
#include "session/util/codepage.h"

namespace {

enum ToolBarBorder : uint8_t { kTbBdrNone = 1, kTbBdrSingle = 2, kTbBdrSunken = 3 };
constexpr uint32_t kRemoved = 0, kNotFound = 1;
// Codes from this one on put the bar's own button size back.
constexpr int kTbSizeRestore = 16;
constexpr DWORD kTbBaseStyle = 0x4400000C;      // child, clip siblings, no resize, no parent align
constexpr int32_t kDockDefault = 5;
constexpr int32_t kBackStyleTransparent = 2, kTextAlignList = 1, kTextAlignBelow = 2;
constexpr WORD kTempButtonWidth = 0x7FFF;
constexpr char kDefaultToolsName[] = "QOVDEFTOOLS";
constexpr int kDefaultToolSize = 16;
constexpr COLORREF kDefaultToolsMask = 0xC0C0C0;
constexpr UINT kButtonTextMax = 256;
constexpr UINT kListMsgs[kListSlots] = {TB_SETIMAGELIST, TB_SETDISABLEDIMAGELIST, TB_SETHOTIMAGELIST};

// The tool strip every bar shows until it is given a list: loaded once, never freed.
HIMAGELIST gDefaultTools;
// The toolbar made last: form loading puts the buttons that follow it there.
ObjectRecord* gLastBar;

HIMAGELIST DefaultTools() {
    if (!gDefaultTools)
        gDefaultTools = ImageList_LoadImageA(GetModuleHandleA(nullptr), kDefaultToolsName, kDefaultToolSize, 0,
                                             kDefaultToolsMask, IMAGE_BITMAP, 0);
    return gDefaultTools;
}

bool ClientTips(const ToolBarRecord* bar) { return (bar->tbFlags & kTbfClientTips) != 0; }
HWND WndOf(ToolBarRecord* bar) { return bar->c.hdr.hwnd; }
DWORD StyleOf(ToolBarRecord* bar) { return static_cast<DWORD>(GetWindowLongA(WndOf(bar), GWL_STYLE)); }
LPARAM ButtonSize(ToolBarRecord* bar) { return MAKELPARAM(bar->btnWidth, bar->btnHeight); }
ToolBarRecord* BarOf(ToolButtonRecord* b) { return b->item.bar ? AsToolBar(b->item.bar) : nullptr; }

bool IdInUse(void* ctx, uint32_t id) { return ToolBarButtonById(static_cast<ToolBarRecord*>(ctx), id, nullptr) != nullptr; }

void FreeButtonTexts(BarItemRecord* it) {
    ToolButtonRecord* b = AsButton(it);
    BarFreeText(&b->menuText);
    BarFreeText(&b->text);
}

int ImageOf(uint32_t imageIndex) { return imageIndex ? static_cast<int>(imageIndex) - 1 : I_IMAGENONE; }

// ---- Buttons -----------------------------------------------------------------------------------

BarItemRecord* Insert(ToolBarRecord* bar, const ToolButtonSpec& s, int32_t position, int32_t* code) {
    BarItemRecord* it = BarItemAlloc(kKindToolButton, sizeof(ToolButtonRecord));
    if (!it) {
        *code = kOpNoMemory;
        return nullptr;
    }
    ToolButtonRecord* b = AsButton(it);
    ObjectRecord* rec = &it->hdr;
    if (s.causeValid) rec->flags |= kObjCauseValid;
    if (s.autoSize) rec->flags |= kObjAutoSize;
    b->imageIndex = s.imageIndex > 0 ? static_cast<uint32_t>(s.imageIndex) : 0;
    b->tag = s.tag;
    b->btnStyle = s.btnStyle >= kBtnDropDown && s.btnStyle <= kBtnCheckGroup ? static_cast<uint8_t>(s.btnStyle) : static_cast<uint8_t>(kBtnPush);
    bool copied = true;
    uint32_t count = bar->buttonCount + 1;
    if (s.runName.text && s.runName.length) {
        copied = BarReplaceText(&rec->runName, s.runName.text, s.runName.length, kBarTextMax);
    } else {
        char name[kToolButtonNameSize];
        ToolButtonDefaultName(count, name);
        copied = BarReplaceText(&rec->runName, name, static_cast<uint32_t>(strlen(name)), kBarTextMax);
    }
    b->text = BarCopyText(s.text.text, s.text.length, kBarTextMax);   // an empty text is kept empty
    copied = copied && b->text && BarReplaceText(&rec->toolTip, s.toolTip.text, s.toolTip.length, kBarTextMax) &&
             BarReplaceText(&b->menuText, s.menuText.text, s.menuText.length, kBarTextMax) &&
             BarReplaceText(&rec->userData, s.userData.text, s.userData.length, kTextBufSize);
    b->commandId = copied ? ToolBarTakeCommandId(&bar->nextCommandId, IdInUse, bar) : 0;
    if (!copied || !b->commandId) {
        BarItemDrop(it, FreeButtonTexts);
        *code = copied ? kOpNoObject : kOpNoMemory;
        return nullptr;
    }
    bar->buttonCount = count;
    // Into the list: first for position 0, after the nth button for n >= 1, last otherwise.
    BarItemRecord** link = &bar->buttons;
    if (position < 0) {
        while (*link) link = &(*link)->nextItem;
    } else {
        for (int32_t i = 0; i < position && *link; ++i) link = &(*link)->nextItem;
    }
    it->nextItem = *link;
    *link = it;
    it->bar = &bar->c.hdr;
    TBBUTTON tb = {};
    tb.iBitmap = ImageOf(b->imageIndex);
    tb.idCommand = static_cast<int>(b->commandId);
    tb.fsState = static_cast<BYTE>((s.pushed ? TBSTATE_CHECKED : 0) | (s.partialPush ? TBSTATE_INDETERMINATE : 0) |
                                   (s.enabled ? TBSTATE_ENABLED : 0) | (s.visible ? 0 : TBSTATE_HIDDEN));
    tb.fsStyle = ToolButtonTbStyle(b->btnStyle, s.autoSize);
    const char* ansi = OemToAnsiStr(b->text, 0);
    tb.iString = ansi && *ansi ? reinterpret_cast<INT_PTR>(ansi) : 0;
    HWND wnd = WndOf(bar);
    if (position < 0) SendMessageA(wnd, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&tb));
    else SendMessageA(wnd, TB_INSERTBUTTONA, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&tb));
    if (bar->c.hdr.flags & kObjAutoSize) SendMessageA(wnd, TB_AUTOSIZE, 0, 0);
    SendMessageA(wnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(kTempButtonWidth, bar->btnHeight));
    SendMessageA(wnd, TB_SETBUTTONSIZE, 0, ButtonSize(bar));
    if (ClientTips(bar)) {
        // A new button has no tool yet: none to take away first.
        if (bar->showTips && rec->toolTip && s.visible) ToolButtonTipSet(bar, b, false);
        // An appended button moves no other; an inserted one moves those after it.
        uint32_t from = 0;
        if (position < 0) ToolBarButtonById(bar, b->commandId, &from);
        else from = static_cast<uint32_t>(position);
        ToolBarUpdateToolTips(bar, false, from);
    }
    *code = 0;
    return it;
}

bool RemoveButton(ToolBarRecord* bar, BarItemRecord* it) {
    uint32_t position = 0;
    for (BarItemRecord* p = bar->buttons; p && p != it; p = p->nextItem) ++position;
    if (!it || !BarItemUnlink(&bar->buttons, it)) return false;
    bar->buttonCount--;
    SendMessageA(WndOf(bar), TB_DELETEBUTTON, position, 0);
    ToolBarAutoSize(bar, kTbSizeButtons);
    ToolButtonRecord* b = AsButton(it);
    if (ClientTips(bar) && it->hdr.toolTip) ToolButtonTipRemove(bar, b);
    BarItemDrop(it, FreeButtonTexts);
    return true;
}

BarItemRecord* FindByState(ToolBarRecord* bar, const MethodCallRec* call, uint32_t state) {
    static const uint32_t kStateProps[] = {0, kPidPushed, kPidPartialPush, kPidEnabled, kPidVisible, kPidAutoSize};
    if (state < kTbStatePushed || state > kTbStateAutoSize) return nullptr;
    BarItemRecord* start = BarItemByArg(bar->buttons, call, 0, nullptr);
    for (BarItemRecord* it = start; it; it = it->nextItem) {
        const ObjectOps* ops = ObjectOpsOf(&it->hdr);
        if (ops && ops->getProp(&it->hdr, kStateProps[state])) return it;
    }
    return nullptr;
}

// ---- Button properties -------------------------------------------------------------------------

// Every other member of b's check group loses its check.
void UncheckGroupOthers(ToolBarRecord* bar, ToolButtonRecord* b) {
    for (BarItemRecord* m = ToolBarCheckGroupStart(bar, b); m && AsButton(m)->btnStyle == kBtnCheckGroup; m = m->nextItem)
        if (m != &b->item) ToolButtonSetState(bar, AsButton(m), TBSTATE_CHECKED | TBSTATE_PRESSED, 0);
}

uint32_t ButtonGetProp(ObjectRecord* rec, uint32_t id) {
    ToolButtonRecord* b = AsButton(rec);
    ToolBarRecord* bar = BarOf(b);
    if (!bar) return 0;
    BYTE state = ToolButtonState(bar, b);
    switch (id) {
    case kPidAutoSize: return (rec->flags & kObjAutoSize) ? 1 : 0;
    case kPidEnabled: return (state & TBSTATE_ENABLED) ? 1 : 0;
    case kPidText: return BarTextReply(b->text);
    case kPidVisible: return (state & TBSTATE_HIDDEN) ? 0 : 1;
    case kPidToolTip: return BarTextReply(rec->toolTip);
    case kPidCauseValid: return (rec->flags & kObjCauseValid) ? 1 : 0;
    case kPidRunName: return BarTextReply(rec->runName);
    case kPidBtnStyle: return b->btnStyle;
    case kPidImageIndex: return b->imageIndex;
    case kPidPushed: return (state & TBSTATE_CHECKED) ? 1 : 0;
    case kPidPartialPush: return (state & TBSTATE_INDETERMINATE) ? 1 : 0;
    case kPidTag: return static_cast<uint32_t>(b->tag);
    case kPidMenuText: return BarTextReply(b->menuText);
    case kPidUserData: return BarTextReply(rec->userData, kTextBufSize);
    default: return 0;
    }
}

int32_t ButtonSetProp(ObjectRecord* rec, PropChange* req) {
    ToolButtonRecord* b = AsButton(rec);
    ToolBarRecord* bar = BarOf(b);
    if (!bar) return 0;
    HWND wnd = WndOf(bar);
    int32_t v = req->value;
    TBBUTTONINFOA info = {};
    info.cbSize = sizeof info;
    BYTE state = ToolButtonState(bar, b);
    bool visibleBefore = !(state & TBSTATE_HIDDEN);
    char* keptText = nullptr;   // the text before a Text change, until the button has taken the new one
    switch (req->id) {
    case kPidUserData: BarReplaceText(&rec->userData, req->text, req->textLength, kTextBufSize); return 0;
    case kPidRunName: BarReplaceText(&rec->runName, req->text, req->textLength, kBarTextMax); return 0;
    case kPidTag: b->tag = v; return 0;
    case kPidMenuText:
        if (req->text && req->textLength) BarReplaceText(&b->menuText, req->text, req->textLength, kBarTextMax);
        else if (b->menuText) b->menuText[0] = 0;
        return 0;
    case kPidCauseValid:
        rec->flags = v ? rec->flags | kObjCauseValid : rec->flags & ~kObjCauseValid;
        return 0;
    case kPidToolTip:
        if (ClientTips(bar)) ToolButtonTipRemove(bar, b);
        BarReplaceText(&rec->toolTip, req->text, req->textLength, kBarTextMax);
        if (ClientTips(bar)) {
            if (rec->toolTip && bar->showTips && visibleBefore) ToolButtonTipSet(bar, b, true);
            ToolBarUpdateToolTips(bar, false);
        }
        return 0;
    case kPidAutoSize:
        rec->flags = v ? rec->flags | kObjAutoSize : rec->flags & ~kObjAutoSize;
        info.dwMask = TBIF_STYLE;
        break;
    case kPidEnabled:
        if (!v && !(state & TBSTATE_ENABLED)) return 0;
        state = static_cast<BYTE>(v ? state | TBSTATE_ENABLED : state & ~TBSTATE_ENABLED);
        info.dwMask = TBIF_STATE;
        break;
    case kPidText:
        keptText = b->text;
        b->text = nullptr;
        if (!BarReplaceText(&b->text, req->text, req->textLength, kBarTextMax)) {
            b->text = keptText;
            return kOpNoMemory;
        }
        info.dwMask = TBIF_TEXT;
        break;
    case kPidVisible:
        if (!v && visibleBefore && ClientTips(bar)) ToolButtonTipRemove(bar, b);
        if (v && !visibleBefore && ClientTips(bar) && rec->toolTip && bar->showTips) ToolButtonTipSet(bar, b, true);
        state = static_cast<BYTE>(v ? state & ~TBSTATE_HIDDEN : state | TBSTATE_HIDDEN);
        info.dwMask = TBIF_STATE;
        break;
    case kPidBtnStyle:
        if (v < kBtnDropDown || v > kBtnCheckGroup) return 0;
        b->btnStyle = static_cast<uint8_t>(v);
        info.dwMask = TBIF_STYLE;
        break;
    case kPidImageIndex:
        b->imageIndex = v > 0 ? static_cast<uint32_t>(v) : 0;
        info.dwMask = TBIF_IMAGE;
        break;
    case kPidPushed:
        if (!v) {
            state = static_cast<BYTE>(state & ~(TBSTATE_CHECKED | TBSTATE_PRESSED));
        } else if (!(state & TBSTATE_CHECKED)) {
            if (b->btnStyle == kBtnCheckGroup) UncheckGroupOthers(bar, b);
            state = static_cast<BYTE>(state | TBSTATE_CHECKED | TBSTATE_PRESSED);
        }
        info.dwMask = TBIF_STATE;
        break;
    case kPidPartialPush:
        state = static_cast<BYTE>(v ? state | TBSTATE_INDETERMINATE : state & ~TBSTATE_INDETERMINATE);
        info.dwMask = TBIF_STATE;
        break;
    default: return 0;
    }
    const char* ansi = OemToAnsiStr(b->text, 0);
    info.fsState = state;
    info.fsStyle = ToolButtonTbStyle(b->btnStyle, (rec->flags & kObjAutoSize) != 0);
    info.iImage = ImageOf(b->imageIndex);
    info.pszText = const_cast<char*>(ansi ? ansi : "");
    LRESULT before = SendMessageA(wnd, TB_GETBUTTONSIZE, 0, 0);
    bool taken = SendMessageA(wnd, TB_SETBUTTONINFOA, b->commandId, reinterpret_cast<LPARAM>(&info)) != 0;
    if (req->id == kPidText) {
        // A text the button refused (no room for its copy) leaves the old
        // one, on the button and in the record.
        if (!taken) {
            BarFreeText(&b->text);
            b->text = keptText;
            return kOpNoMemory;
        }
        BarFreeText(&keptText);
    }
    if (req->id == kPidText && (bar->c.hdr.flags & kObjShown) && bar->c.hdr.font && bar->c.hdr.font->hfont)
        SendMessageA(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(bar->c.hdr.font->hfont), TRUE);
    if (bar->c.hdr.flags & kObjAutoSize) ToolBarAutoSize(bar, kTbSizeButtons);
    else if (SendMessageA(wnd, TB_GETBUTTONSIZE, 0, 0) != before) SendMessageA(wnd, TB_SETBUTTONSIZE, 0, ButtonSize(bar));
    bar->c.hdr.flags |= kGfxRedrawPending;
    if (bar->c.hdr.flags & kObjShown) InvalidateRect(wnd, nullptr, TRUE);
    if (ClientTips(bar)) ToolBarUpdateToolTips(bar, false);
    return 0;
}

int32_t ButtonRelease(ObjectRecord* rec) { return BarItemRelease(rec, FreeButtonTexts); }

// ---- Bar properties ----------------------------------------------------------------------------

// Gives the bar an image list of a slot (or none); the old one's use goes.
void SetList(ToolBarRecord* bar, int slot, ObjectRecord* list) {
    ObjectRecord* old = bar->lists[slot];
    if (old == list) return;
    bar->lists[slot] = nullptr;
    if (old) ImageListRelease(old, true);
    if (list) {
        ImageListTakeUse(list);
        bar->lists[slot] = list;
    }
    HIMAGELIST h = list ? ImageListHandle(list) : (slot == kListNormal ? DefaultTools() : nullptr);
    SendMessageA(WndOf(bar), kListMsgs[slot], 0, reinterpret_cast<LPARAM>(h));
}

int SlotOfProp(uint32_t id) { return id == kPidImageList ? kListNormal : id == kPidImageListD ? kListDisabled : kListHot; }

// Sets the style with the wrap bit flipped, then the real style: the control
// lays its buttons out again.
void Relayout(ToolBarRecord* bar, DWORD style) {
    HWND wnd = WndOf(bar);
    SetWindowLongA(wnd, GWL_STYLE, static_cast<LONG>(style ^ TBSTYLE_WRAPABLE));
    PumpOnce(false);
    SetWindowLongA(wnd, GWL_STYLE, static_cast<LONG>(style));
    ToolBarAutoSize(bar, kTbSizeLayout);
}

uint32_t BarGetProp(ObjectRecord* rec, uint32_t id) {
    ToolBarRecord* bar = AsToolBar(rec);
    BarItemRecord* it = nullptr;
    if (gCurPropQuery) {
        switch (BarItemBySelector(bar->buttons, gCurPropQuery->selector, kItemNameQueryMax, &it)) {
        case kBarSelItem: return ButtonGetProp(&it->hdr, id);
        case kBarSelNoMatch: return CtlGetCommonProp(rec, kPropIdNoItem);
        case kBarSelNone: break;
        }
    }
    DWORD style = StyleOf(bar);
    switch (id) {
    case kPidBackStyle: return (style & TBSTYLE_TRANSPARENT) ? kBackStyleTransparent : 1;
    case kPidRunName: return BarTextReply(rec->runName);
    case kPidBdrStyle: return bar->bdrStyle;
    case kPidTextAlign: return (style & TBSTYLE_LIST) ? kTextAlignList : kTextAlignBelow;
    case kPidDivider: return (style & CCS_NODIVIDER) ? 0 : 1;
    case kPidDownArrow: return bar->downArrow;
    case kPidWrappable: return (style & TBSTYLE_WRAPABLE) ? 1 : 0;
    case kPidBtnHeight: return static_cast<uint32_t>(BarToUnits(rec, bar->btnHeight));
    case kPidBtnWidth: return static_cast<uint32_t>(BarToUnits(rec, bar->btnWidth));
    case kPidShowTips: return bar->showTips;
    case kPidImageList: case kPidImageListD: case kPidImageListH: {
        ObjectRecord* list = bar->lists[SlotOfProp(id)];
        return list ? list->handle : 0;
    }
    case kPidUserData: return BarTextReply(rec->userData, kTextBufSize);
    default: return CtlGetCommonProp(rec, id);
    }
}

int32_t BarSetOwnProp(ToolBarRecord* bar, PropChange* req) {
    ObjectRecord* rec = &bar->c.hdr;
    HWND wnd = WndOf(bar);
    int32_t v = req->value;
    DWORD style = StyleOf(bar);
    bool redraw = false;
    int sizeCode = kTbSizeButtons;
    int32_t result = 0;
    switch (req->id) {
    case kPidAppearance:
        if (v == 1) {
            rec->flags |= kObj3D;
            rec->appearance = 1;
            style &= ~TBSTYLE_FLAT;
        } else {
            rec->flags &= ~kObj3D;
            rec->appearance = 2;
            style |= TBSTYLE_FLAT;
        }
        SetWindowLongA(wnd, GWL_STYLE, static_cast<LONG>(style));
        redraw = true;
        break;
    case kPidBackStyle:
        BarStyleBits(wnd, GWL_STYLE, TBSTYLE_TRANSPARENT, v == 1 ? 0 : TBSTYLE_TRANSPARENT);
        redraw = true;
        break;
    case kPidBdrStyle:
        bar->bdrStyle = static_cast<uint8_t>(v);
        BarStyleBits(wnd, GWL_STYLE, WS_BORDER, v == kTbBdrSingle || v == kTbBdrSunken ? WS_BORDER : 0);
        BarStyleBits(wnd, GWL_EXSTYLE, WS_EX_CLIENTEDGE, v == kTbBdrSunken ? WS_EX_CLIENTEDGE : 0);
        SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
        break;
    case kPidTextAlign:
        Relayout(bar, v == kTextAlignList ? style | TBSTYLE_LIST : style & ~TBSTYLE_LIST);
        break;
    case kPidDivider:
        BarStyleBits(wnd, GWL_STYLE, CCS_NODIVIDER, v ? 0 : CCS_NODIVIDER);
        redraw = true;
        break;
    case kPidDownArrow: {
        bar->downArrow = v ? 1 : 0;
        DWORD ex = static_cast<DWORD>(SendMessageA(wnd, TB_GETEXTENDEDSTYLE, 0, 0));
        ex = bar->downArrow ? ex | TBSTYLE_EX_DRAWDDARROWS : ex & ~TBSTYLE_EX_DRAWDDARROWS;
        SendMessageA(wnd, TB_SETEXTENDEDSTYLE, 0, static_cast<LPARAM>(ex));
        ToolBarAutoSize(bar, kTbSizeLayout);
        redraw = true;
        break;
    }
    case kPidWrappable:
        BarStyleBits(wnd, GWL_STYLE, TBSTYLE_WRAPABLE, v ? TBSTYLE_WRAPABLE : 0);
        ToolBarAutoSize(bar, kTbSizeLayout);
        redraw = true;
        break;
    case kPidBtnHeight: case kPidBtnWidth:
        if (req->id == kPidBtnHeight) bar->btnHeight = static_cast<uint16_t>(BarToPixels(rec, v));
        else bar->btnWidth = static_cast<uint16_t>(BarToPixels(rec, v));
        SendMessageA(wnd, TB_SETBUTTONSIZE, 0, ButtonSize(bar));
        break;
    case kPidAutoSize:
        result = CtlSetCommonProp(rec, req);
        ToolBarAutoSize(bar, kTbSizeButtons);
        break;
    case kPidShowTips:
        bar->showTips = v ? 1 : 0;
        bar->tbFlags = v ? bar->tbFlags | kTbfShowTips : bar->tbFlags & ~kTbfShowTips;
        if (ClientTips(bar) && ToolBarWindowHasTips(bar)) {
            if (bar->showTips) ToolBarShowAllTips(bar);
            else ToolBarRemoveAllTips(bar);
        }
        break;
    case kPidRunName: BarReplaceText(&rec->runName, req->text, req->textLength, kBarTextMax); break;
    case kPidImageList: case kPidImageListD: case kPidImageListH: {
        ObjectRecord* list = nullptr;
        if (!BarImageListOf(req->object, v, &list)) return kOpNoObject;
        SetList(bar, SlotOfProp(req->id), list);
        if (req->id == kPidImageList) sizeCode = kTbSizeLayout;
        redraw = true;
        break;
    }
    case kPidUserData:
        BarReplaceText(&rec->userData, req->text, req->textLength, kTextBufSize);
        redraw = true;
        break;
    case kPidBold: case kPidItalic: case kPidFontName: case kPidSize: case kPidFontObj: case kPidAngle:
    case kPidStrike: case kPidUnderline:
        // A new font keeps the buttons' size.
        result = CtlSetCommonProp(rec, req);
        SendMessageA(wnd, TB_SETBUTTONSIZE, 0, ButtonSize(bar));
        break;
    default: return CtlSetCommonProp(rec, req);
    }
    if (redraw && (rec->flags & kObjShown)) {
        ToolBarAutoSize(bar, sizeCode);
        rec->flags |= kGfxRedrawPending;
        RedrawObjectWindow(rec, 0);
    }
    if (ClientTips(bar)) ToolBarUpdateToolTips(bar, false);
    return result;
}

int32_t BarSetProp(ObjectRecord* rec, PropChange* req) {
    ToolBarRecord* bar = AsToolBar(rec);
    if (req->allItems) {
        // The sub-object "buttons": every button in order, until one refuses.
        if (!(bar->tbFlags & kTbfButtonsObject)) return kOpNoObject;
        for (BarItemRecord* it = bar->buttons; it; it = it->nextItem) {
            int32_t r = ButtonSetProp(&it->hdr, req);
            if (r != 0) return r;
        }
        return 0;
    }
    BarItemRecord* it = nullptr;
    switch (BarItemBySelector(bar->buttons, req->selector, kItemNameChangeMax, &it)) {
    case kBarSelItem: return ButtonSetProp(&it->hdr, req);
    case kBarSelNoMatch: req->id = kPropIdNoItem; return CtlSetCommonProp(rec, req);
    case kBarSelNone: break;
    }
    return BarSetOwnProp(bar, req);
}

// ---- Methods -----------------------------------------------------------------------------------

const MethodDesc* BarMethodLookup(uint32_t method, uint32_t) {
    static const uint8_t kKnown = 1;
    return method >= kTbAddButton && method <= kTbSetTBFlags ? reinterpret_cast<const MethodDesc*>(&kKnown) : nullptr;
}

int32_t AddButton(ToolBarRecord* bar, const MethodCallRec* call) {
    ToolButtonSpec s = ToolButtonSpecOfCall(call);
    int32_t position = ToolButtonInsertAt(call);
    int32_t code = 0;
    BarItemRecord* it = Insert(bar, s, position, &code);
    if (!it) return CtlReplyInt(code);
    return BarWantsObject(call) ? BarReplyItem(it, call, kTypeToolButton) : CtlReplyInt(0);
}

int32_t SetListMethod(ToolBarRecord* bar, const MethodCallRec* call, int slot) {
    ObjectRecord* list = nullptr;
    if (!BarImageListOf(nullptr, CtlArgInt(call, 0, 0), &list)) return -1;
    SetList(bar, slot, list);
    if (slot == kListNormal) RedrawObjectWindow(&bar->c.hdr, 0);
    return 0;
}

int32_t WriteListBmp(ToolBarRecord* bar, const MethodCallRec* call) {
    int32_t type = CtlArgInt(call, 1, 0);
    if (type < kListNormal || type > kListHot) return kWriteNoList;
    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(SendMessageA(
        WndOf(bar), type == kListNormal ? TB_GETIMAGELIST : type == kListDisabled ? TB_GETDISABLEDIMAGELIST : TB_GETHOTIMAGELIST,
        0, 0));
    // The masked pixels take the mask colour of the bar's normal list (the
    // default strip's when it shows that one).
    ObjectRecord* normal = bar->lists[kListNormal];
    COLORREF mask = normal ? ColorValueResolve(normal->fgColor) : kDefaultToolsMask;
    // A name is written as given or not at all (CallArgName).
    char name[MAX_PATH];
    if (CallArgName(call, 0, name, sizeof name) == kCallArgNameRefused) return kDibWriteNoCreate;
    return ImageListWriteBmp(list, mask, name);
}

int32_t SetTbFlags(ToolBarRecord* bar, const MethodCallRec* call) {
    uint32_t bits = static_cast<uint32_t>(CtlArgInt(call, 0, 0)) & kTbfSettable;
    bool set = CtlArgInt(call, 1, 0) != 0;
    bool tipsBefore = ClientTips(bar);
    bar->tbFlags = set ? bar->tbFlags | bits : bar->tbFlags & ~bits;
    if (tipsBefore && !ClientTips(bar)) ToolBarRemoveAllTips(bar);
    if (!tipsBefore && ClientTips(bar)) ToolBarUpdateToolTips(bar, true);
    if (ClientTips(bar)) {
        if (!(bar->tbFlags & kTbfShowTips)) {
            bar->showTips = 0;
            ToolBarRemoveAllTips(bar);
        } else {
            bar->showTips = 1;
            ToolBarShowAllTips(bar);
        }
    }
    return static_cast<int32_t>(bar->tbFlags & kTbfSettable);
}

int32_t BarMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypeToolbar, call);
    if (rc != 0) return rc;
    ToolBarRecord* bar = AsToolBar(rec);
    switch (call->method) {
    case kTbAddButton: return AddButton(bar, call);
    case kTbGetButton: {
        BarItemRecord* it = BarWantsObject(call) ? BarItemByArg(bar->buttons, call, 0, nullptr) : nullptr;
        return it ? BarReplyItem(it, call, kTypeToolButton) : CtlReplyInt(0);
    }
    case kTbRemoveButton: {
        bool removed = RemoveButton(bar, BarItemByArg(bar->buttons, call, 0, nullptr));
        if (ClientTips(bar)) ToolBarUpdateToolTips(bar, false);
        return CtlReplyInt(removed ? kRemoved : kNotFound);
    }
    case kTbSetImageList: SetListMethod(bar, call, kListNormal); return CtlReplyInt(1);
    case kTbSetImageListDisabled: SetListMethod(bar, call, kListDisabled); return CtlReplyInt(0);
    case kTbSetImageListHot: SetListMethod(bar, call, kListHot); return CtlReplyInt(0);
    case kTbGetButtonByState: {
        BarItemRecord* it =
            BarWantsObject(call) ? FindByState(bar, call, static_cast<uint32_t>(CtlArgInt(call, 1, kTbStatePushed))) : nullptr;
        return it ? BarReplyItem(it, call, kTypeToolButton) : CtlReplyInt(0);
    }
    case kTbSetFocus: return CtlReplyInt(ToolBarFocusButton(bar));
    case kTbResetImageList:
        SetList(bar, kListNormal, nullptr);
        ToolBarAutoSize(bar, kTbSizeLayout);
        return CtlReplyInt(1);
    case kTbResetImageListDisabled: SetList(bar, kListDisabled, nullptr); return CtlReplyInt(1);
    case kTbResetImageListHot: SetList(bar, kListHot, nullptr); return CtlReplyInt(1);
    case kTbWriteImageListBmp: return CtlReplyInt(WriteListBmp(bar, call));
    case kTbSetTBFlags: return CtlReplyInt(SetTbFlags(bar, call));
    default: return kOpUnknownMethod;
    }
}

// ---- Destroy and image lists -------------------------------------------------------------------

int32_t BarDestroy(ObjectRecord* rec) {
    ToolBarRecord* bar = AsToolBar(rec);
    while (bar->buttons) RemoveButton(bar, bar->buttons);
    for (int slot = 0; slot < kListSlots; ++slot) {
        ObjectRecord* list = bar->lists[slot];
        bar->lists[slot] = nullptr;
        if (list) ImageListRelease(list, true);
    }
    if (gLastBar == rec) gLastBar = nullptr;
    return CtlDestroy(rec);
}

}  // namespace

bool ToolBarUsesImageList(ObjectRecord* rec, ObjectRecord* list) {
    if (!rec || rec->kind != kKindToolBar || !list) return false;
    const ToolBarRecord* bar = AsToolBar(rec);
    for (int slot = 0; slot < kListSlots; ++slot)
        if (bar->lists[slot] == list) return true;
    return false;
}

namespace {

int32_t BarImageListReleased(ObjectRecord* rec, ObjectRecord* list) {
    ToolBarRecord* bar = AsToolBar(rec);
    bool rebuilt = ImageListRebuilding(list);
    for (int slot = 0; slot < kListSlots; ++slot) {
        if (bar->lists[slot] != list) continue;
        // A rebuilt list: the bar is set to its new handle and keeps it.
        if (rebuilt) {
            SendMessageA(WndOf(bar), kListMsgs[slot], 0, reinterpret_cast<LPARAM>(ImageListHandle(list)));
            continue;
        }
        // The list is going: the bar forgets it and drops its use without destroying it.
        bar->lists[slot] = nullptr;
        SendMessageA(WndOf(bar), kListMsgs[slot], 0,
                     reinterpret_cast<LPARAM>(slot == kListNormal ? DefaultTools() : nullptr));
        ImageListRelease(list, false);
    }
    if (rebuilt) InvalidateRect(WndOf(bar), nullptr, TRUE);
    return 0;
}

const ObjectOps kToolBarOps = {
    .show = ToolBarShow,
    .hide = ObjectHideWindowed,
    .destroy = BarDestroy,
    .enable = ObjectEnableWindowed,
    .notify = ToolBarNotify,
    .getProp = BarGetProp,
    .setProp = BarSetProp,
    .method = BarMethod,
    .imageListReleased = BarImageListReleased,
};

const ObjectOps kToolButtonOps = {
    .destroy = ButtonRelease,  // one holder less
    .getProp = ButtonGetProp,
    .setProp = ButtonSetProp,
};

}  // namespace

BarItemRecord* ToolBarCheckGroupStart(ToolBarRecord* bar, ToolButtonRecord* b) {
    BarItemRecord* runStart = nullptr;
    for (BarItemRecord* it = bar->buttons; it; it = it->nextItem) {
        if (AsButton(it)->btnStyle != kBtnCheckGroup) {
            runStart = nullptr;
            continue;
        }
        if (!runStart) runStart = it;
        if (it == &b->item) return runStart;
    }
    return nullptr;
}

ToolButtonRecord* ToolBarButtonById(ToolBarRecord* bar, uint32_t commandId, uint32_t* position) {
    uint32_t i = 0;
    for (BarItemRecord* it = bar->buttons; it; it = it->nextItem, ++i) {
        if (AsButton(it)->commandId != commandId) continue;
        if (position) *position = i;
        return AsButton(it);
    }
    return nullptr;
}

void ToolBarAutoSize(ToolBarRecord* bar, int code) {
    HWND wnd = WndOf(bar);
    if (bar->c.hdr.flags & kObjAutoSize) {
        LRESULT size = SendMessageA(wnd, TB_GETBUTTONSIZE, 0, 0);
        SendMessageA(wnd, TB_AUTOSIZE, 0, 0);
        SendMessageA(wnd, TB_SETBUTTONSIZE, 0, size);
    } else if (code >= kTbSizeRestore) {
        SendMessageA(wnd, TB_SETBUTTONSIZE, 0, ButtonSize(bar));
    }
}

BYTE ToolButtonState(ToolBarRecord* bar, ToolButtonRecord* b) {
    LRESULT s = SendMessageA(WndOf(bar), TB_GETSTATE, b->commandId, 0);
    return s < 0 ? 0 : static_cast<BYTE>(s);
}

void ToolButtonSetState(ToolBarRecord* bar, ToolButtonRecord* b, BYTE clear, BYTE set) {
    BYTE state = static_cast<BYTE>((ToolButtonState(bar, b) & ~clear) | set);
    SendMessageA(WndOf(bar), TB_SETSTATE, b->commandId, MAKELPARAM(state, 0));
}

int32_t ToolButtonSetPropValue(ObjectRecord* rec, uint32_t id, int32_t value) {
    PropChange req = {};
    req.id = id;
    req.value = value;
    return ButtonSetProp(rec, &req);
}

ObjectRecord* ToolBarCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    HIMAGELIST tools = DefaultTools();
    DWORD style = (kTbBaseStyle & ~(WS_CHILD | WS_CLIPSIBLINGS)) | BarDockStyle(cr, kDockDefault);
    bool flat = cr->appearance != 1 && cr->style != 1;
    if (flat) style |= TBSTYLE_FLAT;
    bool transparent = CreateRecordValue(cr, kPidBackStyle, 1) == kBackStyleTransparent;
    if (transparent) style |= TBSTYLE_TRANSPARENT;
    int32_t bdr = CreateRecordValue(cr, kPidBdrStyle, kTbBdrNone);
    if (bdr < kTbBdrNone || bdr > kTbBdrSunken) bdr = kTbBdrNone;
    DWORD exStyle = 0;
    if (bdr != kTbBdrNone) style |= WS_BORDER;
    if (bdr == kTbBdrSunken) exStyle |= WS_EX_CLIENTEDGE;
    if (CreateRecordValue(cr, kPidTextAlign, kTextAlignBelow) == kTextAlignList) style |= TBSTYLE_LIST;
    if (!CreateRecordValue(cr, kPidDivider, 0)) style |= CCS_NODIVIDER;
    if (CreateRecordValue(cr, kPidWrappable, 0)) style |= TBSTYLE_WRAPABLE;
    bool showTips = CreateRecordValue(cr, kPidShowTips, 0) != 0;
    if (showTips) style |= TBSTYLE_TOOLTIPS;
    ControlRecord* c = CtlCreateWindowed(kKindToolBar, cr, TOOLBARCLASSNAMEA, style, exStyle, nullptr, 0, code,
                                         sizeof(ToolBarRecord), ToolBarMsgHook);
    if (!c) return nullptr;
    ObjectRecord* rec = &c->hdr;
    ToolBarRecord* bar = AsToolBar(rec);
    HWND wnd = rec->hwnd;
    if (!flat) rec->flags |= kObj3D;
    if (CreateRecordValue(cr, kPidAutoSize, 0)) rec->flags |= kObjAutoSize;
    rec->fgColor = 0;
    rec->bgColor = kBarFaceColor;
    bar->bdrStyle = static_cast<uint8_t>(bdr);
    bar->showTips = showTips ? 1 : 0;
    bar->nextCommandId = 1;
    // A flat bar that is not transparent takes its style once more after creation.
    if (flat && !transparent) SetWindowLongA(wnd, GWL_STYLE, GetWindowLongA(wnd, GWL_STYLE));
    SendMessageA(wnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(wnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(tools));
    bar->downArrow = CreateRecordValue(cr, kPidDownArrow, 0) == 1 ? 1 : 0;
    DWORD ex = bar->downArrow ? TBSTYLE_EX_DRAWDDARROWS : 0;
    LRESULT size = SendMessageA(wnd, TB_GETBUTTONSIZE, 0, 0);
    bar->btnWidth = LOWORD(size);
    bar->btnHeight = HIWORD(size);
    if (cr->given[kPidBtnWidth])
        bar->btnWidth = static_cast<uint16_t>(BarToPixels(rec, cr->values[kPidBtnWidth]));
    if (cr->given[kPidBtnHeight])
        bar->btnHeight = static_cast<uint16_t>(BarToPixels(rec, cr->values[kPidBtnHeight]));
    static const uint32_t kListProps[kListSlots] = {kPidImageList, kPidImageListD, kPidImageListH};
    for (int slot = 0; slot < kListSlots; ++slot) {
        ObjectRecord* list = nullptr;
        if (cr->given[kListProps[slot]] && BarImageListOf(nullptr, cr->values[kListProps[slot]], &list) && list)
            SetList(bar, slot, list);
    }
    // Double buffering keeps the buttons from flickering on the NT line.
    ex |= TBSTYLE_EX_DOUBLEBUFFER;
    SendMessageA(wnd, TB_SETEXTENDEDSTYLE, 0, static_cast<LPARAM>(ex));
    bar->tbFlags = kTbfClientTips | (showTips ? static_cast<uint32_t>(kTbfShowTips) : 0u);
    gLastBar = rec;
    return CtlFinishCreate(c, cr, code);
}

ObjectRecord* ToolButtonCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ObjectRecord* bar = cr->windowRec;
    if (!bar || bar->kind != kKindToolBar || !ObjectIsLive(bar)) bar = gLastBar;
    if (!bar || !ObjectIsLive(bar)) {
        *code = kOpNoObject;
        return nullptr;
    }
    // The web view's toolbar keeps its buttons itself.
    if (ObjectIsWebView(bar)) {
        if (gGraphicsHooks.toolBarAddButton) return gGraphicsHooks.toolBarAddButton(bar, cr, code);
        *code = kOpNotAvailable;
        return nullptr;
    }
    ToolButtonSpec s = ToolButtonSpecOfCreation(cr);
    BarItemRecord* it = Insert(AsToolBar(bar), s, -1, code);
    return it ? &it->hdr : nullptr;
}

uint32_t ToolBarButtonCount(ObjectRecord* bar) { return AsToolBar(bar)->buttonCount; }

ObjectRecord* ToolBarButtonAt(ObjectRecord* bar, uint32_t index) {
    BarItemRecord* it = BarItemFind(AsToolBar(bar)->buttons, index, nullptr, nullptr);
    return it ? &it->hdr : nullptr;
}

void ToolBarInstall() {
    gGuiHooks.toolBarMnemonic = ToolBarMnemonic;
    RegisterObjectCreator(kTypeToolbar, ToolBarCreate);
    // A create request of a tool button: into the bar its Window names, else the last.
    RegisterObjectCreator(kTypeToolButton, ToolButtonCreate);
    RegisterObjectOps(kKindToolBar, &kToolBarOps);
    RegisterObjectOps(kKindToolButton, &kToolButtonOps);
    RegisterMethodTable(kTypeToolbar, BarMethodLookup);
}
