// webwindow.cpp - WINDOW objects in the web-view mode: the record made from the
// creation record, show and hide of ordinary windows, dialogs and windows that
// fill the page, the window in front, focus bookkeeping, the window events the
// page reports, and the window's properties and methods.
//
// Settled here: gWebMainWindow is the first web WINDOW created while none is
// set. Nothing sets gWebMainWindowAlt, so a creation that asks for the other
// default parent (creation flag bit 5) falls back to the main window. A web
// WINDOW's host record is the native window named at its creation (the main
// window when it names none); its form name in the page messages is its
// DivisionId.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "objects/events.h"
#include "objects/kindcodes.h"
#include "objects/objops.h"
#include "session/config.h"
#include "session/util/mem.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/webservices.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"

ObjectRecord* gWebActiveWindow;
int32_t gWebPageWidth, gWebPageHeight;
ObjectRecord* gWebCloseSwallow;
// Counts the windows' turns in front (WebWindowRecord::frontTurn).
static uint32_t gWebFrontTurns;

namespace {

constexpr uint32_t kWindowFlags = 0x101;          // alive, coordinates in pixels
constexpr uint32_t kColorBtnText = 0x80000012u;
constexpr uint32_t kColorBtnFace = 0x8000000Fu;
constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kDialogGrey = 0xF0F0F0u;
constexpr char kDefaultDivision[] = "mainscrn";
constexpr int32_t kZFront = 20, kZBehind = 10;

enum DialogDwid : int32_t { kDlgClose = 1, kDlgOpen = 2, kDlgTitle = 3, kDlgPosition = 8 };
enum FillDwid : int32_t { kFillOn = 1, kFillOff = 2 };
// An ordinary window without Caption: the page draws no title bar for it.
constexpr char kNoCaptionClass[] = "nocap";

// Creation style bits of windows.
enum CrWinStyle : uint32_t {
    kCwsNoSysMenu = 0x2, kCwsNoMaxBox = 0x4, kCwsNoMinBox = 0x8, kCwsClipCtrl = 0x20, kCwsNoCaption = 0x40,
    kCwsNegBorders = 0x80, kCwsNegMenus = 0x100, kCwsNoMenuResize = 0x200, kCwsButtonEnterKey = 0x400,
};


constexpr int32_t kNotifyIconAnswer = 99;
// GetObjectAsPointer's option bits: the window's menu, or its focused child,
// instead of a child.
constexpr int32_t kPointerMenu = 0x1, kPointerFocused = 0x4;
constexpr size_t kMenuKeyMax = 256;

void ReplaceText(char** field, const char* text, uint32_t length) {
    char* copy = WebTextDupLocal(text, length);
    if (*field) LocalFreeMem(*field);
    *field = copy;
}
void FreeText(char** field) {
    if (*field) LocalFreeMem(*field);
    *field = nullptr;
}
// The window's form name, by which the page's messages name a window that has
// no holder, starts as a copy of its division: a copy of its own, as a form
// load replaces and frees it.
void FormNameFromDivision(WebWindowRecord* w) {
    uint32_t n = w->divisionId ? static_cast<uint32_t>(strlen(w->divisionId)) : 0;
    ReplaceText(&w->win.formName, w->divisionId, n);
}
const char* ToTextBuf(const char* text) {
    snprintf(gTextBuf, sizeof gTextBuf, "%s", text ? text : "");
    return gTextBuf;
}

uint32_t ColorChoice(const CrColor& c, uint32_t fallback) {
    if (c.object && ObjectIsLive(c.object) && c.object->kind == kKindColor) return ColorObjectValue(c.object);
    return c.value == -1 || c.value == -2 ? fallback : static_cast<uint32_t>(c.value);
}

bool IsModal(const WebWindowRecord* w) {
    return w->win.winType == kWwtModal && !(w->win.style[0] & kWwsModalShownPlain);
}

void DialogCommand(ObjectRecord* window, int32_t dwid) {
    WebViewSelectForObject(window);
    JsonBeginAction(kActDialog);
    JsonAddName(window);
    JsonAddInt("dwid", dwid);
    WebViewMsgEnd();
}

void FillCommand(ObjectRecord* window, int32_t dwid) {
    WebViewSelectForObject(window);
    JsonBeginAction(kActFillPage);
    JsonAddName(window);
    JsonAddInt("dwid", dwid);
    WebViewMsgEnd();
}

int32_t ToPixels(const WebWindowRecord* w, int32_t v) { return ScaleByMode(w->scaleMode, v, true); }
int32_t ToUnits(const WebWindowRecord* w, int32_t v) { return ScaleByMode(w->scaleMode, v, false); }

void Post(ObjectRecord* rec, uint32_t ev, int32_t value) {
    if (EventIsRegistered(rec, ev)) PostObjectEvent(rec, ev, kEventKindDefault, 0, value);
}

// The border style as given, else its window type's: the markup draws the
// same frame and title bar as the record keeps (a window made without
// WinBorder is sizeable with a caption, as natively).
int32_t BorderOf(const ObjectCreateRecord* cr, int32_t type) {
    if (cr->winBorder >= kWbNone && cr->winBorder <= kWbSizeablePopup) return cr->winBorder;
    if (type == kWwtModal) return kWbFixedDialog;
    if (type == kWwtDialog) return (cr->winStyle & kCwsNoCaption) ? kWbFixedDialog : kWbSingle;
    if (type == kWwtTool) return kWbSingle;
    return kWbSizeable;
}


}  // namespace

bool WebIsDialogWindow(const ObjectRecord* rec) {
    if (!WebIsWindow(rec)) return false;
    uint8_t t = reinterpret_cast<const WebWindowRecord*>(rec)->win.winType;
    return t == kWwtModal || t == kWwtDialog;
}

ObjectRecord* WebWindowHostRecord(ObjectRecord* window) {
    return WebIsWindow(window) ? WebWin(window)->hostRecord : nullptr;
}

void WebWindowRecordMoved(ObjectRecord* from, ObjectRecord* to) {
    for (ObjectRecord* w = gWebWindowList; w; w = w->next)
        if (WebWin(w)->hostRecord == from) WebWin(w)->hostRecord = to;
    for (ObjectRecord** current : {&gWebMainWindow, &gWebMainWindowAlt, &gWebActiveWindow, &gWebCloseSwallow})
        if (*current == from) *current = to;
    WebViewOwnerMoved(from, to);
}

void WebHostRecordsExchanged(ObjectRecord* from, ObjectRecord* to) {
    // What named to (its old page) is parked on a record of no window while
    // what named from moves to to; then the parked names go to from.
    static ObjectRecord parked;
    for (ObjectRecord* w = gWebWindowList; w; w = w->next)
        if (WebWin(w)->hostRecord == to) WebWin(w)->hostRecord = &parked;
    WebViewOwnerMoved(to, &parked);
    WebWindowRecordMoved(from, to);
    for (ObjectRecord* w = gWebWindowList; w; w = w->next)
        if (WebWin(w)->hostRecord == &parked) WebWin(w)->hostRecord = from;
    WebViewOwnerMoved(&parked, from);
}

bool WebWindowsHostedBy(ObjectRecord* host) {
    for (ObjectRecord* w = gWebWindowList; w; w = w->next)
        if (WebWin(w)->hostRecord == host) return true;
    return false;
}

void WebWindowsHostGone(ObjectRecord* host) {
    if (!host) return;
    for (ObjectRecord* w = gWebWindowList; w; w = w->next)
        if (WebWin(w)->hostRecord == host) WebWin(w)->hostRecord = nullptr;
}

// ---- Creation ----------------------------------------------------------------------------

ObjectRecord* WebWindowCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t, int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(kKindWindow, sizeof(WebWindowRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebWindowRecord* w = WebWin(rec);
    rec->flags = kWindowFlags;
    rec->modeFlags = kModeWebView;
    // The host: the native window the creation names (a web window's own host
    // when it names one), else the main window.
    ObjectRecord* named = cr->windowResolved ? cr->windowRec : nullptr;
    if (named && ObjectIsWebView(named)) named = WebNativeParent(named);
    w->hostRecord = named ? named : gMainWindowObj;

    int32_t look = cr->appearance ? cr->appearance : cr->style;
    if (look == 1 || look == 3 || look == 4) rec->flags |= kObj3D;
    else if (!cr->given[kPidAppearance] && !cr->given[kPidStyle]) {
        look = gWebThreeDOption ? 1 : 2;
        if (gWebThreeDOption) rec->flags |= kObj3D;
    }
    rec->appearance = static_cast<uint8_t>(look);
    if (cr->rightToLeft == 1) rec->flags |= kObjRightToLeft;
    bool threeD = (rec->flags & kObj3D) != 0;
    rec->fgColor = ColorChoice(cr->fgColor, threeD ? kColorBtnText : 0);
    rec->bdrColor = ColorChoice(cr->bdrColor, 0);
    rec->bgColor = ColorChoice(cr->bgColor, threeD ? kColorBtnFace : kWhite);
    cr->fgColor = CrColor{nullptr, static_cast<int32_t>(rec->fgColor)};
    cr->bgColor = CrColor{nullptr, static_cast<int32_t>(rec->bgColor)};
    cr->bdrColor = CrColor{nullptr, static_cast<int32_t>(rec->bdrColor)};

    w->win.dockPad[0] = cr->dockPadL;
    w->win.dockPad[1] = cr->dockPadT;
    w->win.dockPad[2] = cr->dockPadR;
    w->win.dockPad[3] = cr->dockPadB;
    w->mdiBorder = static_cast<uint8_t>(cr->mdiBorder);
    w->mdiScroll = cr->mdiScroll >= 1 && cr->mdiScroll <= 4 ? static_cast<uint8_t>(cr->mdiScroll) : 1;
    w->mdiRect[0] = cr->mdiLeft;
    w->mdiRect[1] = cr->mdiTop;
    w->mdiRect[2] = cr->mdiLeft + cr->mdiWidth;
    w->mdiRect[3] = cr->mdiTop + cr->mdiHeight;
    uint32_t& style = w->win.style[0];
    if (cr->inTaskbar) style |= kWwsInTaskbar;
    if (cr->topmost) style |= kWwsTopmost;
    if (cr->topmost == 2) w->win.style[1] |= kWws2Topmost2;
    if (cr->autoScroll) style |= kWwsAutoScroll;
    w->minScrollV = cr->minScrollV;
    w->minScrollH = cr->minScrollH;
    bool posGiven = cr->winPos >= kWinPosAsGiven && cr->winPos <= kWinPosFillHeight;
    w->winPos = posGiven ? static_cast<uint8_t>(cr->winPos) : static_cast<uint8_t>(kWinPosAsGiven);
    w->prevWinPos = w->winPos;

    int32_t type = cr->winType;
    if (type >= kWinAskModal && type <= kWinAskNormal)
        w->win.winTypeRequested = static_cast<uint8_t>(type == kWinAskNormal ? kWinAskTool : type);
    type = WebWinTypeEffective(type);
    if ((gGuiModeFlags & kGuiModeFormCreating) && type == kWwtModal) {
        type = kWwtNormal;
        style |= kWwsModalShownPlain;
    }
    gGuiModeFlags &= ~kGuiModeFormCreating;
    w->win.winType = static_cast<uint8_t>(type);
    w->border = static_cast<uint8_t>(BorderOf(cr, type));
    bool mdiEmpty = !w->mdiRect[0] && !w->mdiRect[1] && !w->mdiRect[2] && !w->mdiRect[3];
    if (type == kWwtMdiFrame && mdiEmpty) style |= kWwsMdiNoRect;
    if (cr->scrollBar == 1) style |= kWwsVScroll | kWwsHScroll;
    if (cr->scrollBar == 2) style |= kWwsHScroll;
    if (cr->scrollBar == 4) style |= kWwsVScroll;
    if (cr->winStyle & kCwsNegBorders) style |= kWwsNegBorders;
    if (cr->winStyle & kCwsNegMenus) style |= kWwsNegMenus;
    if (cr->winStyle & kCwsNoMenuResize) style |= kWwsNoMenuResize;
    if (cr->winStyle & kCwsButtonEnterKey) style |= kWwsButtonEnterKey;
    if (cr->gridAlign) style |= kWwsGridAlign;
    style |= kWwsCaption | kWwsSysMenu | kWwsMinBox | kWwsMaxBox;
    if (cr->winStyle & kCwsNoCaption) style &= ~kWwsCaption;
    if (cr->winStyle & kCwsNoMaxBox) style &= ~kWwsMaxBox;
    if (cr->winStyle & kCwsNoMinBox) style &= ~kWwsMinBox;
    if (cr->winStyle & kCwsNoSysMenu) style &= ~kWwsSysMenu;
    if (cr->winStyle & kCwsClipCtrl) style |= kWwsClipCtrl;
    // A dialog is made hidden while the client's dialog option is off.
    if (type == kWwtDialog && !gGuiOption2039) cr->flags0 &= ~kCrVisible;
    w->showWebMenu = static_cast<uint8_t>(cr->showWebMenu);
    w->title = WebTextDupLocal(cr->title.text, cr->title.length);
    w->ribDll = WebTextDupLocal(cr->ribDll.text, cr->ribDll.length);
    w->ribName = WebTextDupLocal(cr->ribName.text, cr->ribName.length);
    w->ribMode = static_cast<uint8_t>(cr->ribMode);
    w->useCss = WebTextDupLocal(cr->useCss.text, cr->useCss.length);
    w->divisionId = cr->divisionId.length ? WebTextDupLocal(cr->divisionId.text, cr->divisionId.length)
                                          : WebTextDupLocal(kDefaultDivision, sizeof kDefaultDivision - 1);
    FormNameFromDivision(w);
    w->minHeight = cr->minHeight;
    w->minWidth = cr->minWidth;
    if (!cr->autoRedraw) rec->flags |= kObjNoAutoRedraw;
    w->webMode = static_cast<uint32_t>(cr->webMode);
    if (style & kWwsModalShownPlain) {
        // The type comes back once the form's creation is over.
        w->win.winType = kWwtModal;
        style &= ~kWwsModalShownPlain;
    }
    WebThemeSheet(rec, false);
    *code = 0;
    return rec;
}

// ---- Show, hide, front window, focus --------------------------------------------------

// Whether a native window whose page holds its controls is in front of its
// page: no web window of the page is.
static bool HostInFront(ObjectRecord* host) {
    return WebHostsControls(host) && WebWindowHostRecord(gWebActiveWindow) != host;
}

void WebSetActiveWindow(ObjectRecord* window) {
    if (window == gWebActiveWindow) return;
    ObjectRecord* old = gWebActiveWindow;
    // A web window coming to the front of its page takes the front from the
    // native window that shows the page, when that window had it and the
    // keys (natively the web window is a window of its own, which takes the
    // activation from it).
    ObjectRecord* host = WebWindowHostRecord(window);
    bool hostLeaves = host && HostInFront(host) && gWebObjServices.windowActive && gWebObjServices.windowActive(host);
    if (old && ObjectIsLive(old)) {
        if (!WebIsDialogWindow(old)) WebSetElemCssInt(old, "z-index", kZBehind, false);
        Post(old, kEvDeactivate, 2);
    }
    if (hostLeaves) Post(host, kEvDeactivate, 2);
    gWebActiveWindow = window;
    if (!window) return;
    WebWin(window)->frontTurn = ++gWebFrontTurns;
    if (!WebIsDialogWindow(window)) WebSetElemCssInt(window, "z-index", kZFront, false);
    Post(window, kEvActivate, 1);
}

// The window's control that had the focus, when it can have it again.
static ObjectRecord* ControlThatHadFocus(ObjectRecord* window) {
    ObjectRecord* focused = reinterpret_cast<WindowRecord*>(window)->focusObj;
    return focused && ObjectIsLive(focused) ? focused : nullptr;
}

static bool Focusable(const ObjectRecord* rec) { return (rec->flags & kObjShown) && !(rec->flags & kObjDisabled); }

// The window's control that had the focus there gets it back as the window
// comes to the front; it hears $GOTFOCUS again, as a native control does when
// its window is activated (its window's focus never left it, so the page's
// report of the focus raises nothing). False when the window has none.
static bool FocusBackToControl(ObjectRecord* window) {
    ObjectRecord* focused = ControlThatHadFocus(window);
    if (!focused) return false;
    ObjectRef ref = ObjectRefOf(focused);
    ObjectSetFocus(focused, WebIsWindow(window) ? static_cast<int32_t>(WebWin(window)->focusItem) : 0, 0);
    if (ObjectRefAlive(ref) && reinterpret_cast<WindowRecord*>(window)->focusObj == focused && Focusable(focused))
        Post(focused, kEvGotFocus, 0);
    return true;
}

// The window is in front with none of its controls focused: the page's focus
// leaves the control that has it (another window's), so the keys typed next
// reach no control until a Tab gives the window's first control the focus,
// as a native window in front with no control focused takes them. The page
// has done so before the request is answered: the user's next key must not
// reach the control left.
static void PageFocusLeaves(ObjectRecord* window) {
    WebViewSelectForObject(window);
    JsonBeginAction(kActFocus);
    JsonAddName(window);
    WebViewMsgQuery();
}

// A window shown or brought to the front takes the keyboard, as a native one
// does; the focus goes back to its control that had it, else to the first in
// tab order (with none that can take it, no control has the focus).
static void FocusAfterShow(ObjectRecord* window) {
    WebViewTakeKeys(window);
    if (FocusBackToControl(window)) return;
    if (gWebObjServices.focusNext && gWebObjServices.focusNext(window, false)) return;
    PageFocusLeaves(window);
}

void WebWindowToFront(ObjectRecord* window) {
    if (!WebIsWindow(window) || window == gWebActiveWindow) return;
    ObjectRef ref = ObjectRefOf(window);
    WebSetActiveWindow(window);
    if (!ObjectRefAlive(ref)) return;
    WebViewTakeKeys(window);
    if (!FocusBackToControl(window)) PageFocusLeaves(window);
}

void WebWindowFrontFor(ObjectRecord* window) {
    if (!WebIsWindow(window) || window == gWebActiveWindow) return;
    ObjectRef ref = ObjectRefOf(window);
    WebSetActiveWindow(window);
    if (!ObjectRefAlive(ref)) return;
    ObjectRecord* focused = ControlThatHadFocus(window);
    if (focused && Focusable(focused)) Post(focused, kEvGotFocus, 0);
}

// The window behind the front one: of the shown windows that can be
// activated, the one that was in front last (as a native window's z-order
// puts the window last activated just behind the active one).
static ObjectRecord* WindowBehind() {
    ObjectRecord* behind = nullptr;
    for (ObjectRecord* w = gWebWindowList; w; w = w->next) {
        if (w == gWebActiveWindow || !ObjectIsLive(w) || !Focusable(w)) continue;
        if (!behind || WebWin(w)->frontTurn > WebWin(behind)->frontTurn) behind = w;
    }
    return behind;
}

// The native window that shows the page takes the front from the page's web
// window: that window's $DEACTIVATE (when it is still there), its $ACTIVATE.
static void HostTakesFront(ObjectRecord* host) {
    ObjectRef ref = ObjectRefOf(host);
    WebSetActiveWindow(nullptr);
    if (ObjectRefAlive(ref)) Post(host, kEvActivate, 1);
}

void WebFrontWindowGone(ObjectRecord* host) {
    // A hidden front window hears its $DEACTIVATE as the other comes to the
    // front (a destroyed one is no longer the front window: it hears nothing).
    ObjectRecord* behind = WindowBehind();
    if (behind) {
        WebWindowToFront(behind);
        return;
    }
    // No web window is left in front: the native window that shows the
    // page's controls takes the front back, as natively the owner is
    // activated when its last window goes.
    if (host && ObjectIsLive(host) && WebHostsControls(host)) {
        ObjectRef ref = ObjectRefOf(host);
        HostTakesFront(host);
        if (ObjectRefAlive(ref)) FocusBackToControl(host);
        return;
    }
    WebSetActiveWindow(nullptr);
}

static void ApplyBorderAndPosition(ObjectRecord* window, bool filling) {
    WebWindowRecord* w = WebWin(window);
    if (w->border != 1) {
        if (filling) WebChangeElemClass(window, HtmlWinBorderClass(w->border), "wb0", false);
        else WebChangeElemClass(window, "wb0", HtmlWinBorderClass(w->border), false);
    }
}

int32_t WebShowWindow(ObjectRecord* window) {
    if (!WebIsWindow(window)) return kWebNotCreated;
    WebWindowRecord* w = WebWin(window);
    ObjectRef ref = ObjectRefOf(window);
    Post(window, kEvFormInit, 0);
    bool noted = false;
    if (IsModal(w) && gWebObjServices.modalNote) noted = gWebObjServices.modalNote(window);
    if (w->winPos == kWinPosFill || w->winPos == kWinPosFillHeight) {
        if (!(w->win.style[1] & kWws2FillApplied)) {
            w->savedRect[0] = window->left;
            w->savedRect[1] = window->top;
            w->savedRect[2] = window->right;
            w->savedRect[3] = window->bottom;
            FillCommand(window, kFillOn);
            ApplyBorderAndPosition(window, true);
            if (w->winPos != kWinPosFillHeight && w->prevWinPos != kWinPosFill)
                WebChangeElemClass(window, HtmlWinPosClass(w->prevWinPos), "wp4", false);
            w->win.style[1] |= kWws2FillApplied;
        }
        int32_t saved = w->savedRect[3] - w->savedRect[1];
        int32_t fill = saved > gWebPageWidth ? saved : gWebPageWidth;
        if (gWebPageHeight > fill) fill = gWebPageHeight;
        w->fillHeight = w->winPos == kWinPosFillHeight ? fill : 0;
        WebPageResized(gWebPageWidth, gWebPageHeight);
    } else if (w->win.style[1] & kWws2FillApplied) {
        w->prevWinPos = w->winPos;
        w->win.style[1] &= ~kWws2FillApplied;
        ApplyBorderAndPosition(window, false);
        WebChangeElemClass(window, "wp4", HtmlWinPosClass(w->winPos), false);
        FillCommand(window, kFillOff);
        int32_t saved[4] = {w->savedRect[0], w->savedRect[1], w->savedRect[2], w->savedRect[3]};
        WebWindowSetRect(window, saved);
    }
    if (!ObjectRefAlive(ref)) return 0;
    window->flags |= kObjShown;
    if (WebIsDialogWindow(window)) DialogCommand(window, kDlgOpen);
    else WebSetElemCss(window, "display", "block", false);
    if (noted && !gGuiOption2039) return WebNotSupported();
    WebSetActiveWindow(window);
    FocusAfterShow(window);
    return 0;
}

int32_t WebHideWindow(ObjectRecord* window) {
    if (!WebIsWindow(window)) return kWebNotCreated;
    WebWindowRecord* w = WebWin(window);
    if (IsModal(w) && !gGuiOption2039) {
        int32_t r = gWebObjServices.modalEnd ? gWebObjServices.modalEnd(window) : kWebNotModalLevel;
        if (r != 0) return kWebNotModalLevel;
        DialogCommand(window, kDlgClose);
        window->flags &= ~kObjShown;
        if (gWebActiveWindow == window) WebFrontWindowGone(WebWindowHostRecord(window));
        return kWebModalEnd;
    }
    if (IsModal(w) && gWebObjServices.modalEnd) gWebObjServices.modalEnd(window);
    if (WebIsDialogWindow(window)) DialogCommand(window, kDlgClose);
    else WebSetElemCss(window, "display", "none", false);
    window->flags &= ~kObjShown;
    // The window behind comes to the front, as natively: the keys go on to
    // its control.
    if (gWebActiveWindow == window) WebFrontWindowGone(WebWindowHostRecord(window));
    return 0;
}

void WebWindowActivate(ObjectRecord* window) {
    if (window == gWebActiveWindow) return;
    WebSetActiveWindow(window);
    FocusAfterShow(window);
}

void WebWindowClicked(ObjectRecord* window, bool itself) {
    if (window == gWebActiveWindow) return;
    // A press on a control: the page reports the focus that moved there, and
    // the control that had it hears $GOTFOCUS first, as natively. A press on
    // the window itself left the page's focus alone: as a native window
    // activated by a click on its frame or background, it gives the focus
    // back to its control that had it (none: the keys wait for a Tab).
    if (!itself) {
        WebWindowFrontFor(window);
        return;
    }
    ObjectRef ref = ObjectRefOf(window);
    WebSetActiveWindow(window);
    if (ObjectRefAlive(ref)) FocusBackToControl(window);
}

bool WebHostToFront(ObjectRecord* host) {
    if (!WebHostsControls(host) || HostInFront(host)) return false;
    HostTakesFront(host);
    return true;
}

void WebHostPagePressed(ObjectRecord* host) {
    ObjectRef ref = ObjectRefOf(host);
    // Without a control that had the focus the keys reach none until a Tab
    // (the page took the focus from the web window's control).
    if (WebHostToFront(host) && ObjectRefAlive(ref)) FocusBackToControl(host);
}

bool WebWindowCloseKey(ObjectRecord* host) {
    ObjectRecord* front = gWebActiveWindow;
    if (!host || !WebIsWindow(front) || !(front->flags & kObjShown) || WebWin(front)->hostRecord != host) return false;
    WebWindowOnClose(front);
    return true;
}

void WebWindowShownByCreation(ObjectRecord* window) {
    if (!WebIsWindow(window) || !(window->flags & kObjShown) || WebIsDialogWindow(window)) return;
    // Made visible, it comes to the front and takes the keyboard, as a native
    // window made visible does; its controls are made after it, so none has
    // the focus yet (a Tab gives it to the first).
    ObjectRef ref = ObjectRefOf(window);
    bool another = gWebActiveWindow != nullptr;
    WebSetActiveWindow(window);
    if (!ObjectRefAlive(ref)) return;
    WebViewTakeKeys(window);
    if (another) PageFocusLeaves(window);
}

void WebFocusChanged(ObjectRecord* rec) {
    ObjectRecord* top = ObjectTopWindow(rec);
    if (!WebIsWindow(top) && !WebHostsControls(top)) return;
    WindowRecord* w = reinterpret_cast<WindowRecord*>(top);
    if (w->focusObj != rec) {
        w->lastFocus = w->focusObj;
        w->focusObj = rec;
    }
    if (gWebObjServices.setFocusObject) gWebObjServices.setFocusObject(rec);
}

int32_t WebWindowDestroy(ObjectRecord* window) {
    if (!WebIsWindow(window)) return 0;
    WebWindowRecord* w = WebWin(window);
    if (gWebActiveWindow == window) gWebActiveWindow = nullptr;
    if (gWebCloseSwallow == window) gWebCloseSwallow = nullptr;
    if (IsModal(w) && gWebObjServices.modalEnd) gWebObjServices.modalEnd(window);
    FreeText(&w->win.formName);
    FreeText(&w->title);
    FreeText(&w->ribDll);
    FreeText(&w->ribName);
    FreeText(&w->useCss);
    FreeText(&w->divisionId);
    FreeText(&w->prefix);
    GuardedFree(w->menuKeys);
    w->menuKeys = nullptr;
    w->win.focusObj = nullptr;
    w->win.lastFocus = nullptr;
    w->focusItem = 0;
    return 0;
}

// ---- Page events ------------------------------------------------------------------------

void WebWindowOnClose(ObjectRecord* window) {
    if (!WebIsWindow(window)) return;
    if (window != gWebMainWindow && window != gWebMainWindowAlt) {
        if (!EventIsRegistered(window, kEvClose)) return;
        if (gWebCloseSwallow == window) {
            gWebCloseSwallow = nullptr;
            return;
        }
        PostObjectEvent(window, kEvClose, kEventKindDefault, 0, 0);
        return;
    }
    if (EventIsRegistered(window, kEvClose)) PostObjectEvent(window, kEvClose, kEventKindDefault, 0, 0);
    else if (gWebObjServices.endProgram) gWebObjServices.endProgram();
}

void WebWindowOnMove(ObjectRecord* window, int32_t x, int32_t y) {
    if (!WebIsWindow(window) || window == gWebMainWindowAlt) return;
    int32_t w = window->right - window->left, h = window->bottom - window->top;
    window->left = x;
    window->top = y;
    window->right = x + w;
    window->bottom = y + h;
    // In the window's units, as Left and Top answer (and the native window's
    // $MOVE carries).
    const WebWindowRecord* ww = WebWin(window);
    Post(window, kEvMove, ToUnits(ww, x) * 10000 + ToUnits(ww, y));
}

void WebWindowOnResize(ObjectRecord* window, int32_t widthBefore, int32_t heightBefore, int32_t width,
                       int32_t height) {
    if (!WebIsWindow(window)) return;
    WebWindowRecord* w = WebWin(window);
    int32_t oldW = widthBefore, oldH = heightBefore;
    if (w->win.style[1] & kWws2SizeKnown) {
        oldW = w->contentWidth;
        oldH = w->contentHeight;
    }
    w->win.style[1] |= kWws2SizeKnown;
    if (width < w->minWidth) width = static_cast<int16_t>(w->minWidth);
    if (height < w->minHeight) height = static_cast<int16_t>(w->minHeight);
    w->contentWidth = width;
    w->contentHeight = (w->win.style[0] & kWwsMenuBar) ? height - kMenuBarHeight : height;
    if (w->pageWidth) w->pageWidth = width;
    if (w->pageHeight) w->pageHeight = height;
    window->right = window->left + width;
    window->bottom = window->top + height;
    WebWindowResized(window, oldH, oldW);
    WebLayoutChildren(window);
    // The user sized the window in the page: $RESIZE with its new Width and
    // Height, as the native window raises it for each step of a size.
    Post(window, kEvResize, ToUnits(w, w->contentWidth) * 10000 + ToUnits(w, w->contentHeight));
}

void WebPageResized(int32_t width, int32_t height) {
    gWebPageWidth = width;
    gWebPageHeight = height;
    for (ObjectRecord* window = gWebWindowList; window; window = window->next) {
        WebWindowRecord* w = WebWin(window);
        if (!(window->flags & kObjShown) || (w->winPos != kWinPosFill && w->winPos != kWinPosFillHeight)) continue;
        int32_t h = w->winPos == kWinPosFillHeight ? w->fillHeight : height;
        Post(window, kEvResize, width * 10000 + h);
        int32_t r[4] = {0, 0, width, h};
        WebWindowSetRect(window, r);
    }
}

ObjectRecord* WebWindowFindMenu(ObjectRecord* window, int32_t position, const char* name) {
    if (!WebIsWindow(window)) return nullptr;
    int32_t i = 0;
    for (ObjectRecord* m = WebWin(window)->win.menus; m; m = m->next, ++i) {
        if (name && m->name && StrEqualNoCase(m->name, name)) return m;
        if (!name && i == position) return m;
    }
    return nullptr;
}

// ---- Properties ---------------------------------------------------------------------------

static int32_t StyleBit(uint32_t id) {
    switch (id) {
    case kPidMinBox: return kWwsMinBox;
    case kPidMaxBox: return kWwsMaxBox;
    case kPidSysMenu: return kWwsSysMenu;
    case kPidCaption: return kWwsCaption;
    case kPidClipCtrl: return kWwsClipCtrl;
    case kPidNegBorders: return kWwsNegBorders;
    case kPidNegMenus: return kWwsNegMenus;
    case kPidNoMenuResize: return kWwsNoMenuResize;
    case kPidInTaskbar: return kWwsInTaskbar;
    case kPidAutoScroll: return kWwsAutoScroll;
    case kPidGridAlign: return kWwsGridAlign;
    case kPidButtonEnterKey: return static_cast<int32_t>(kWwsButtonEnterKey);
    default: return 0;
    }
}

static void SetSize(ObjectRecord* window, int32_t height, int32_t width) {
    int32_t r[4] = {window->left, window->top, window->left + width, window->top + height};
    WebWindowSetRect(window, r);
}

int32_t WebWindowSetProp(ObjectRecord* window, uint32_t id, int32_t value, const char* text, uint32_t length) {
    if (!WebIsWindow(window)) return kWebNotCreated;
    WebWindowRecord* w = WebWin(window);
    uint32_t& style = w->win.style[0];
    bool menu = (style & kWwsMenuBar) != 0;
    if (int32_t bit = StyleBit(id)) {
        style = value ? (style | static_cast<uint32_t>(bit)) : (style & ~static_cast<uint32_t>(bit));
        if (id == kPidCaption && !WebIsDialogWindow(window)) {
            // The title bar comes and goes with Caption; the frame stays.
            WebViewSelectForObject(window);
            WebChangeElemClass(window, value ? kNoCaptionClass : nullptr, value ? nullptr : kNoCaptionClass, false);
        }
        return 0;
    }
    switch (id) {
    case kPidBold: case kPidItalic: case kPidFontName: case kPidSize: case kPidFont: case kPidFontObj:
    case kPidAngle: case kPidStrike: case kPidUnderline:
        // The main window's font stays; other windows' fonts are the common
        // property change, which is not built yet.
        return window == gWebMainWindow ? 0 : kWebNotAvailable;
    case kPidHeight: {
        int32_t h = ToPixels(w, value) + (menu ? kMenuBarHeight : 0);
        SetSize(window, h, window->right - window->left);
        if (w->winPos == kWinPosFillHeight && (window->flags & kObjShown)) w->fillHeight = h;
        return 0;
    }
    case kPidWidth: case kPidWinWidth:
        SetSize(window, window->bottom - window->top, ToPixels(w, value));
        return 0;
    case kPidWinHeight:
        SetSize(window, ToPixels(w, value), window->right - window->left);
        return 0;
    case kPidLeft: case kPidTop: {
        int32_t v = ToPixels(w, value);
        int32_t dx = id == kPidLeft ? v - window->left : 0, dy = id == kPidTop ? v - window->top : 0;
        window->left += dx;
        window->right += dx;
        window->top += dy;
        window->bottom += dy;
        return 0;
    }
    case kPidTitle:
        ReplaceText(&w->title, text, length);
        // A dialog's title, or the title bar of any other window.
        WebViewSelectForObject(window);
        JsonBeginAction(kActDialog);
        JsonAddName(window);
        JsonAddInt("dwid", kDlgTitle);
        JsonAddString("str", text ? text : "", text ? length : 0);
        WebViewMsgEnd();
        return 0;
    case kPidVisible:
        if (value) return ObjectActivate(window, 0, 0, 0, 0);
        if (w->win.winType == kWwtModal && !(window->flags & kObjShown)) return 0;
        if (w->win.winType != kWwtModal &&
            !(gWebObjServices.modalKeepHidden && gWebObjServices.modalKeepHidden()))
            window->flags |= kObjShown;
        if (((window->flags & kObjShown) && w->win.winType == kWwtModal) ||
            (w->win.winType == kWwtDialog && EventIsRegistered(window, kEvClose)))
            gWebCloseSwallow = window;
        return ObjectDeactivate(window);
    case kPidWinType:
        if ((gGuiOption2039 || (gGuiModeFlags & kGuiModeKeepFlagged)) && value >= 1 && value <= 11)
            w->win.winType = static_cast<uint8_t>(WebWinTypeEffective(value));
        return 0;
    case kPidScrollBar:
        style &= ~(kWwsVScroll | kWwsHScroll);
        if (value == 1) style |= kWwsVScroll | kWwsHScroll;
        if (value == 2) style |= kWwsHScroll;
        if (value == 4) style |= kWwsVScroll;
        return 0;
    case kPidPrefix: ReplaceText(&w->prefix, text, length); return 0;
    case kPidWinPos:
        if (value >= 1 && value <= 6) w->winPos = static_cast<uint8_t>(value);
        return 0;
    case kPidWinOffsetV: case kPidWinOffsetH: case kPidIcon: return 0;
    case kPidGridSizeH: w->gridH = static_cast<uint16_t>(value < 1 ? 1 : ToPixels(w, value) < 1 ? 1 : ToPixels(w, value)); return 0;
    case kPidGridSizeV: w->gridV = static_cast<uint16_t>(value < 1 ? 1 : ToPixels(w, value) < 1 ? 1 : ToPixels(w, value)); return 0;
    case kPidUnits:
        if (value >= 1 && value <= 6) w->scaleMode = static_cast<uint8_t>(value);
        return 0;
    case kPidParentWin: return kWebNoHost;
    case kPidRightToLeft:
        window->flags = value ? (window->flags | kObjRightToLeft) : (window->flags & ~kObjRightToLeft);
        return 0;
    case kPidWinBorder:
        if (value >= 1 && value <= 8) w->border = static_cast<uint8_t>(value);
        return 0;
    case kPidTopmost:
        style = value ? (style | kWwsTopmost) : (style & ~kWwsTopmost);
        w->win.style[1] = value == 2 ? (w->win.style[1] | kWws2Topmost2) : (w->win.style[1] & ~kWws2Topmost2);
        return 0;
    case kPidMinScrollH: w->minScrollH = ToPixels(w, value); return 0;
    case kPidMinScrollV: w->minScrollV = ToPixels(w, value); return 0;
    case kPidMdiBorder: w->mdiBorder = static_cast<uint8_t>(value); return 0;
    case kPidMdiScroll: w->mdiScroll = static_cast<uint8_t>(value); return 0;
    case kPidMdiTop: case kPidMdiLeft: {
        int32_t i = id == kPidMdiLeft ? 0 : 1;
        int32_t size = w->mdiRect[i + 2] - w->mdiRect[i];
        w->mdiRect[i] = ToPixels(w, value);
        w->mdiRect[i + 2] = w->mdiRect[i] + size;
        style &= ~kWwsMdiNoRect;
        return 0;
    }
    case kPidMdiHeight: w->mdiRect[3] = w->mdiRect[1] + ToPixels(w, value); style &= ~kWwsMdiNoRect; return 0;
    case kPidMdiWidth: w->mdiRect[2] = w->mdiRect[0] + ToPixels(w, value); style &= ~kWwsMdiNoRect; return 0;
    case kPidMinWidth: case kPidMinHeight: {
        int32_t v = ToPixels(w, value);
        if (id == kPidMinWidth) w->minWidth = v;
        else w->minHeight = v;
        int32_t oldW = w->contentWidth, oldH = w->contentHeight;
        bool grow = false;
        if (id == kPidMinWidth && v > w->contentWidth) {
            w->contentWidth = v;
            window->right = window->left + v;
            grow = true;
        }
        if (id == kPidMinHeight && v > w->contentHeight) {
            w->contentHeight = v;
            window->bottom = window->top + v;
            grow = true;
        }
        if (grow) {
            WebWindowResized(window, oldH, oldW);
            WebLayoutChildren(window);
        }
        return 0;
    }
    case kPidDockPadL: case kPidDockPadT: case kPidDockPadR: case kPidDockPadB:
        w->win.dockPad[id - kPidDockPadL] = ToPixels(w, value);
        WebLayoutChildren(window);
        return 0;
    case kPidRibDll: ReplaceText(&w->ribDll, text, length); return 0;
    case kPidRibName: ReplaceText(&w->ribName, text, length); return 0;
    case kPidUseCss: ReplaceText(&w->useCss, text, length); return 0;
    case kPidDivisionId:
        ReplaceText(&w->divisionId, text, length);
        if (!w->divisionId) w->divisionId = WebTextDupLocal(kDefaultDivision, sizeof kDefaultDivision - 1);
        FormNameFromDivision(w);
        return 0;
    case kPidRibMode: w->ribMode = static_cast<uint8_t>(value); return 0;
    case kPidShowWebMenu: w->showWebMenu = static_cast<uint8_t>(value); return 0;
    case kPidWebMode: w->webMode = static_cast<uint32_t>(value); return 0;
    default:
        // The common property change of web objects is not built yet.
        return kWebNotAvailable;
    }
}

int32_t WebWindowGetProp(ObjectRecord* window, uint32_t id, int32_t* result, const char** text) {
    if (!WebIsWindow(window)) return kWebNotCreated;
    WebWindowRecord* w = WebWin(window);
    uint32_t style = w->win.style[0];
    *result = 0;
    *text = nullptr;
    if (int32_t bit = StyleBit(id)) {
        *result = (style & static_cast<uint32_t>(bit)) ? 1 : 0;
        return 0;
    }
    switch (id) {
    case kPidHeight: *result = ToUnits(w, w->contentHeight); return 0;
    case kPidWidth: *result = ToUnits(w, w->contentWidth); return 0;
    case kPidWinWidth: *result = ToUnits(w, window->right - window->left); return 0;
    case kPidWinHeight: *result = ToUnits(w, window->bottom - window->top); return 0;
    case kPidLeft: case kPidTop:
        if (WebIsDialogWindow(window) && (window->flags & kObjShown)) {
            ObjectRef ref = ObjectRefOf(window);
            WebViewSelectForObject(window);
            JsonBeginAction(kActDialog);
            JsonAddName(window);
            JsonAddInt("dwid", kDlgPosition);
            JsonValue* reply = WebViewMsgQuery();
            // The query waits for the page: the window may be gone after it.
            if (!ObjectRefAlive(ref)) return kWebNotCreated;
            if (reply) {
                int32_t h = JsonGetInt(reply, "h"), v = JsonGetInt(reply, "v");
                int32_t dx = h - window->left, dy = v - window->top;
                window->left += dx;
                window->right += dx;
                window->top += dy;
                window->bottom += dy;
            }
        }
        *result = ToUnits(w, id == kPidLeft ? window->left : window->top);
        return 0;
    case kPidTitle: *text = ToTextBuf(w->title); return 0;
    case kPidWinType:
        *result = (gGuiModeFlags & kGuiModeKeepFlagged) && w->win.winTypeRequested ? w->win.winTypeRequested
                                                                                   : w->win.winType;
        return 0;
    case kPidScrollBar: {
        bool v = style & kWwsVScroll, h = style & kWwsHScroll;
        *result = v && h ? 1 : v ? 4 : h ? 2 : 3;
        return 0;
    }
    case kPidPrefix: *text = ToTextBuf(w->prefix); return 0;
    case kPidWinPos: *result = w->winPos; return 0;
    case kPidWinOffsetV: *result = ToUnits(w, w->win.scrollY); return 0;
    case kPidWinOffsetH: *result = ToUnits(w, w->win.scrollX); return 0;
    case kPidGridSizeH: *result = w->gridH; return 0;
    case kPidGridSizeV: *result = w->gridV; return 0;
    case kPidUnits: *result = w->scaleMode; return 0;
    case kPidIcon: *result = static_cast<int32_t>(w->iconValue); return 0;
    case kPidParentWin: return 0;
    case kPidRightToLeft: *result = (window->flags & kObjRightToLeft) ? 1 : 0; return 0;
    case kPidWinBorder: *result = w->border; return 0;
    case kPidTopmost: *result = !(style & kWwsTopmost) ? 0 : (w->win.style[1] & kWws2Topmost2) ? 2 : 1; return 0;
    case kPidMinScrollH: *result = ToUnits(w, w->minScrollH); return 0;
    case kPidMinScrollV: *result = ToUnits(w, w->minScrollV); return 0;
    case kPidMdiBorder: *result = w->mdiBorder; return 0;
    case kPidMdiScroll: *result = w->mdiScroll; return 0;
    case kPidMdiTop: *result = ToUnits(w, w->mdiRect[1]); return 0;
    case kPidMdiLeft: *result = ToUnits(w, w->mdiRect[0]); return 0;
    case kPidMdiHeight: *result = ToUnits(w, w->mdiRect[3] - w->mdiRect[1]); return 0;
    case kPidMdiWidth: *result = ToUnits(w, w->mdiRect[2] - w->mdiRect[0]); return 0;
    case kPidMinWidth: *result = ToUnits(w, w->minWidth); return 0;
    case kPidMinHeight: *result = ToUnits(w, w->minHeight); return 0;
    case kPidDockPadL: case kPidDockPadT: case kPidDockPadR: case kPidDockPadB:
        *result = ToUnits(w, w->win.dockPad[id - kPidDockPadL]);
        return 0;
    case kPidRibDll: *text = ToTextBuf(w->ribDll); return 0;
    case kPidRibName: *text = ToTextBuf(w->ribName); return 0;
    case kPidUseCss: *text = ToTextBuf(w->useCss); return 0;
    case kPidDivisionId: *text = ToTextBuf(w->divisionId); return 0;
    case kPidRibMode: *result = w->ribMode; return 0;
    case kPidShowWebMenu: *result = w->showWebMenu; return 0;
    case kPidWebMode: *result = static_cast<int32_t>(w->webMode); return 0;
    default:
        // The common property query of web objects is not built yet.
        return kWebNotAvailable;
    }
}

// ---- Methods ----------------------------------------------------------------------------

// The menu of the window the first argument names: a text its name, a
// number its zero-based place.
static ObjectRecord* MenuByKey(ObjectRecord* window, const MethodCallRec* call) {
    if (!WebArgGiven(call, 0)) return nullptr;
    if (WebArgIsText(call, 0)) {
        char name[kMenuKeyMax];
        CallArgCopy(call, 0, name, sizeof name);
        return WebWindowFindMenu(window, -1, name);
    }
    return WebWindowFindMenu(window, WebArgInt(call, 0, -1), nullptr);
}

int32_t WebWindowMethod(ObjectRecord* window, MethodCallRec* call) {
    int32_t rc = WebCheckMethod(kTypeWindow, call);
    if (rc != 0) return rc;
    WebWindowRecord* w = WebWin(window);
    switch (call->method) {
    case kWmActivate:
        if (!(window->flags & kObjShown)) {
            window->flags |= kObjShown;
            ObjectRef ref = ObjectRefOf(window);
            WebShowWindow(window);
            if (!ObjectRefAlive(ref)) return WebReplyInt(0);
        } else {
            WebWindowActivate(window);
        }
        return WebReplyInt(0);
    case kWmClose: WebWindowOnClose(window); return WebReplyInt(0);
    case kWmErase: return WebReplyInt(gWebObjServices.eraseWindow ? gWebObjServices.eraseWindow(window) : 0);
    case kWmRefresh: return WebReplyInt(gWebObjServices.redrawWindow ? gWebObjServices.redrawWindow(window) : 0);
    case kWmBackGrndMouseMove:
        if (WebArgInt(call, 0, 0)) w->win.style[0] |= kWwsBackMouseMove;
        if (WebArgGiven(call, 1) && WebArgInt(call, 1, 0)) w->win.style[0] &= ~kWwsBackMouseMove;
        return WebReplyInt((w->win.style[0] & kWwsBackMouseMove) ? 1 : 0);
    // SaveQofFile goes to the forms facility too: answering 0 without writing
    // a file would report a save that never happened.
    case kWmSaveQofFile:
    case kWmLoadQofFile: case kWmGetQofFlags: case kWmGetQofInfo: case kWmGetLastQofFileError:
        // Form files are the forms facility's; without it the call fails.
        if (!gWebObjServices.windowFormMethod) return WebReplyInt(kWebNotAvailable);
        return gWebObjServices.windowFormMethod(window, call);
    case kWmGetObject: return WebReplyBindObject(WebArgChild(window, call), call);
    case kWmGetMenu: return WebReplyBindObject(MenuByKey(window, call), call);
    case kWmGetObjectAsPointer: {
        int32_t options = WebArgInt(call, 1, 0);
        ObjectRecord* found = (options & kPointerFocused) ? w->win.focusObj
                            : (options & kPointerMenu)    ? MenuByKey(window, call)
                                                          : WebArgChild(window, call);
        return WebReplyObjectPointer(found);
    }
    case kWmBrowseForFolder: case kWmMonitorInfo: case kWmGetResNames: return WebReplyText("");
    case kWmSetHScrollPos: case kWmSetVScrollPos: case kWmMdiChildPrev: case kWmMdiChildNext: return WebReplyInt(1);
    case kWmResetScaleOrigin:
        if (WebArgInt(call, 0, 0) & 4) w->win.style[1] |= kWws2KeepScaleOrigin;
        else w->win.style[1] &= ~kWws2KeepScaleOrigin;
        WebSaveLayoutTree(window, 0);
        return WebReplyInt(0);
    case kWmCheckValidate: {
        ObjectRecord* f = w->win.focusObj;
        if (f && EventIsRegistered(f, kEvValidate)) {
            PostObjectEventFirst(f, kEvValidate, 0, 0, 0);
            return WebReplyInt(f->objectId ? f->objectId : kWmCheckValidateNoId);
        }
        return WebReplyInt(0);
    }
    case kWmNotifyIcon: return WebReplyInt(kNotifyIconAnswer);
    case kWmOsEventMask: {
        int32_t old = static_cast<int32_t>(window->osEventMask);
        if (gGuiModeFlags & kGuiModeKeepFlagged) window->osEventMask = static_cast<uint32_t>(WebArgInt(call, 0, 0));
        return WebReplyInt(old);
    }
    case kWmGetLocaleInfo:
        // The locale texts are the platform's; without them an empty text.
        return gWebObjServices.localeInfo ? gWebObjServices.localeInfo(call) : WebReplyText("");
    case kWmMouseWheelMode:
        if (WebArgInt(call, 0, 0) == 1) w->win.style[1] |= kWws2MouseWheel;
        else w->win.style[1] &= ~kWws2MouseWheel;
        return WebReplyInt((w->win.style[1] & kWws2MouseWheel) ? 1 : 0);
    case kWmIoCancelMode:
        if (WebArgInt(call, 0, 0)) w->win.style[1] |= kWws2IoCancel;
        else w->win.style[1] &= ~kWws2IoCancel;
        return WebReplyInt((w->win.style[1] & kWws2IoCancel) ? 1 : 0);
    case kWmGetActiveMdiChild: case kWmMdiLayout: case kWmShow: case kWmMdiShow: case kWmPrintForm:
    case kWmFormToPict: case kWmControlPropertyPage: case kWmPrintFormPict: case kWmSetUIState:
    case kWmSetForegroundWindow: case kWmSetParent: case kWmAllowSetForeground: case kWmSetAsClient:
    case kWmResAdd: case kWmResDelete: case kWmResGetIds: case kWmResModify: case kWmResSave: case kWmScale:
    case kWmGetMdiChildCount: case kWmIsMinimized:
        return WebReplyInt(0);
    default:
        return kWebUnknownMethod;
    }
}

// The background of a window from its host: the dialog greys leave the page's.
void WebSetWindowBackColor(ObjectRecord* window, uint32_t color) {
    if (!WebIsWindow(window) || color == kDialogGrey || color == kColorBtnFace) return;
    window->bgColor = color;
    char text[8];
    snprintf(text, sizeof text, "#%02x%02x%02x", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    WebViewSelectForObject(window);
    WebSetElemCss(window, "background-color", text, false);
}

void WebPollPages() {
    // Every page that shows a window is asked, then served at once.
    for (ObjectRecord* w = gWebWindowList; w; w = w->next)
        if (WebIsWindow(w)) WebViewAskForEvents(WebWin(w)->hostRecord);
    WebViewProcessPending();
}

// ---- Window events from the page ---------------------------------------------------------

namespace {
enum WindowPageEvent : int32_t {
    kPeWindowClicked = 99974, kPePageResized = 99985, kPeCloseBox = 99988, kPeMoved = 99992, kPeResized = 99993,
};
}  // namespace

bool WebWindowPageEvent(ObjectRecord*, JsonValue* ev) {
    if (!ev) return false;
    int32_t et = JsonGetInt(ev, "et");
    if (et == kPePageResized) {
        WebPageResized(JsonGetInt(ev, "em"), JsonGetInt(ev, "ev"));
        WebViewMsgFlush();
        return true;
    }
    if (et != kPeWindowClicked && et != kPeCloseBox && et != kPeMoved && et != kPeResized) return false;
    const char* name = JsonGetTextRaw(ev, "name");
    if (!name || name[0] != 'C' || name[1] < '0' || name[1] > '9') return true;
    char* end = nullptr;
    unsigned long id = strtoul(name + 1, &end, 10);
    if (!end || *end || id > UINT32_MAX) return true;
    ObjectRecord* window = WebFindWindowById(static_cast<uint32_t>(id));
    if (!window) return true;
    switch (et) {
    case kPeWindowClicked: WebWindowClicked(window, JsonGetInt(ev, "ev") == kClickOnWindowItself); break;
    case kPeCloseBox: WebWindowOnClose(window); break;
    case kPeMoved: WebWindowOnMove(window, JsonGetInt(ev, "em"), JsonGetInt(ev, "ev")); break;
    default:
        WebWindowOnResize(window, JsonGetInt(ev, "v2"), JsonGetInt(ev, "v1"), JsonGetInt(ev, "em"),
                          JsonGetInt(ev, "ev"));
        break;
    }
    WebViewMsgFlush();
    return true;
}

// ---- Markup ------------------------------------------------------------------------------

namespace {
constexpr int32_t kWindowExtraHeight = 70;          // title bar and frame of the page's windows
constexpr int32_t kWindowExtraWidth = 20;
constexpr uint32_t kFirstWindowId = 1;              // the first window's content takes the tab index 24
constexpr uint32_t kColorInherit = 0xFFFFFFFFu;     // -1: not given
}  // namespace

void WebWindowMarkup(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    int32_t type = WebWinTypeEffective(cr->winType);
    bool dialog = type == kWinModal || type == kWinDialog;
    HtmlPut("<div id=\"C");
    HtmlAppendUInt(m.id);
    HtmlPut("\" class=\"qovfrm ");
    if (dialog) {
        HtmlPut("md0 ");
    } else {
        HtmlPut(HtmlWinPosClass(cr->winPos));
        HtmlPut(" ");
    }
    HtmlPut(HtmlWinBorderClass(BorderOf(cr, type)));
    HtmlPut(" ");
    if (!dialog && (cr->winStyle & kCwsNoCaption)) {
        HtmlPut(kNoCaptionClass);
        HtmlPut(" ");
    }
    if (cr->winType >= kWinAskModal && cr->winType <= kWinAskNormal) {
        HtmlPut("ce");
        HtmlAppendInt(cr->winType);
        HtmlPut(" ");
    }
    HtmlPut("\" style=\"position: relative");
    HtmlObjectStyle(m.kind, kPidVisible, cr);
    HtmlObjectStyle(m.kind, kPidHeight, cr);
    HtmlObjectStyle(m.kind, kPidWidth, cr);
    HtmlPut("\"> <div id=\"C");
    HtmlAppendUInt(m.id);
    HtmlPut("N\" class=\"fmenu\"></div><div id=\"C");
    HtmlAppendUInt(m.id);
    HtmlPut("D");
    if (m.webClass.text && m.webClass.length) {
        HtmlPut("\" class=\"");
        HtmlAppendAttr(m.webClass.text, m.webClass.length);
    }
    if (m.id == kFirstWindowId) HtmlPut("\" tabindex=\"24");
    HtmlPut("\">");
    if (!m.standalone) HtmlPut("</div></div>");

    int32_t height = cr->bottom - cr->top, width = cr->right - cr->left;
    JsOpenCall(dialog ? "QovDlg" : "QovFrm", m.id);
    JsPutMember(", h: ", height + kWindowExtraHeight);
    JsPutMember(", w: ", width + kWindowExtraWidth);
    if (dialog) {
        JsPut(type == kWinModal ? ", mod: true" : ", mod: false");
        int32_t b = BorderOf(cr, type);
        JsPut(b == kWbToolSingle || b == kWbSizeable || b == kWbSizeablePopup ? ", res: true" : ", res: false");
        JsPut(", bgc: \"");
        uint32_t bg = HtmlColorOf(cr->bgColor);
        if (bg != kColorInherit) JsAppendColor(bg);
        JsPut("\"");
    } else if (type == kWinNormal) {
        JsPut(", rsz: true");
    }
    bool asGiven = cr->winPos < kWinPosCentreScreen || cr->winPos > kWinPosFillHeight;
    if (!m.standalone && asGiven) {
        // Its client area's place on the page (Left and Top in pixels); a
        // window centred or filling the page is placed by the page.
        JsPutMember(", x: ", cr->left);
        JsPutMember(", y: ", cr->top);
    }
    JsPutText(", tl: \"", cr->title.text, cr->title.length);
    JsCloseCall();
    if (cr->useCss.text && cr->useCss.length && WebTextIsNew(cr->useCss.text, cr->useCss.length)) {
        JsPut("$('head').append('<link rel=\"stylesheet\" href=\"");
        JsAppendAttrLiteral(cr->useCss.text, cr->useCss.length);
        JsPut("\" type=\"text/css\" />');");
    }
}
