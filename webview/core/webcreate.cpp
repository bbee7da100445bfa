// webcreate.cpp - making objects in the web-view mode: the route from a create
// request to a web view, the type-to-kind map and the creators by kind, the
// common filling of a new record, its markup sent to the page (action 19),
// rectangles from the creation coordinates (scale modes, grid, character
// cells, percentages), the layout record, freeing the shared web fields, the
// MRegion creator, and images of image library files.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "objects/font.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "session/config.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webkinds.h"
#include "webview/core/webmarkup.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webtext.h"

uint32_t gWebElementCounter = 1;
ObjectRecord* gWebMainWindow;
ObjectRecord* gWebMainWindowAlt;
ObjectRecord* gWebWindowList;
uint8_t gWebShowMainPending = 1;
WebImageFile* gWebImageCache;
uint8_t gWebImageWrite = 1;
WebImageIo gWebImageIo;
char gWebDecimalChar = '.', gWebDecimalNext;

namespace {

constexpr uint32_t kNoWindow = 0xFFFFFFFFu;
constexpr int32_t kDefaultGrid = 10;
constexpr int32_t kIconSize = 32;
constexpr uint32_t kTabIdMax = 65534;
constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kCrListViewNoMarkup = 0x20;   // creation flag of a ListView drawn later
constexpr uint32_t kCrOtherDefault = 0x20;       // creation flag 0: the other default parent
constexpr uint32_t kPercentScale = 10000;

// Server type -> kind in the web-view mode (-1: refused).
const int8_t kWebTypeKind[] = {
    -1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,            // 0-10
    11, 12, 14, 13, 16, 15, 17, 18, 24, 19,       // 11-20
    20, 35, 36, 21, 22, 23, 38, 37, 40, 25,       // 21-30
    12, 26, 28, 27, 29, 0, 30, 33, 31, 32,        // 31-40
    34, -1, -1, -1, -1, 42, 43, 44, 45, 46,       // 41-50
    47, -1, 49, -1, 50, 51, -1, -1, -1, 52,       // 51-60
};
constexpr uint32_t kTypeAutomation100 = 100;

// Types whose creation sends no markup message to end.
bool TypeSendsNoMarkup(uint32_t type) {
    switch (type) {
    case kTypeColor: case kTypeFont: case kTypeTimer: case kTypeVariant: case kTypeImagelist:
    case kTypeMenu: case kTypeFloatmenu: case kTypeSubmenu:
        return true;
    default:
        return false;
    }
}

// Kinds whose records get no element; a kind without a row has none (variants,
// automation objects).
bool KindHasNoElement(uint32_t kind) { return !WebKindOpsOfKind(kind) || WebKindHas(kind, kWebKindNoElement); }

uint32_t ColorChoice(const CrColor& c, uint32_t inherited) {
    if (c.object && ObjectIsLive(c.object) && c.object->kind == kKindColor) return ColorObjectValue(c.object);
    return c.value == -1 ? inherited : static_cast<uint32_t>(c.value);
}

// The record a creation record names as its window (resolved by the object
// model before the creator runs), or none for 0 and -1 (the object model then
// resolves the main window, which is not a name).
ObjectRecord* NamedWindow(const ObjectCreateRecord* cr) {
    if (cr->window == 0 || cr->window == kNoWindow) return nullptr;
    return cr->windowResolved ? cr->windowRec : ObjectFromHandle(cr->window);
}

}  // namespace

bool WebIsWindow(const ObjectRecord* rec) {
    return rec && rec->kind == kKindWindow && ObjectIsWebView(rec);
}

bool WebHostsControls(const ObjectRecord* rec) {
    return rec && rec->kind == kKindWindow && !ObjectIsWebView(rec) &&
           (reinterpret_cast<const WindowRecord*>(rec)->style[1] & kWindowWebHostBit);
}

int32_t WebTypeToKind(uint32_t type) {
    if (type == kTypeAutomation100) return kKindAutomation;
    if (type >= sizeof kWebTypeKind) return -1;
    return kWebTypeKind[type];
}

// ---- The route from a create request --------------------------------------------------

int32_t CreateViaWebView(uint32_t type, uint32_t kind, ObjectCreateRecord* cr, ObjectRecord** out) {
    *out = nullptr;
    ObjectRecord* named = NamedWindow(cr);
    // A Font with no window that asks for the web mode is made without a view.
    if (kind == kKindFont && !named && cr->webObject) {
        int32_t result = 0;
        *out = WebViewCreateObject(type, nullptr, nullptr, kind, cr, &result);
        return *out ? 1 : (result ? result : kWebNotCreated);
    }
    ObjectRecord* window = named;
    if (!window) window = (cr->flags0 & kCrOtherDefault) && gWebMainWindowAlt ? gWebMainWindowAlt : gMainWindowObj;
    if (!window) return 0;
    void* host = nullptr;
    if (ObjectIsWebView(window)) {
        // A web record: its window's host shows it.
        host = WebViewHostForObject(window);
    } else {
        ObjectRecord* top = ObjectTopWindow(window);
        if (!top || top->kind != kKindWindow) return 0;
        WindowRecord* w = reinterpret_cast<WindowRecord*>(top);
        if (!(w->style[1] & kWindowWebHostBit) && !cr->webObject) return 0;
        host = w->webHost;
    }
    // A host whose view is not answering or has ended makes nothing.
    if (!host || WebViewHostDown(host)) return kWebNoHost;
    int32_t result = 0;
    ObjectRecord* parent = type == kTypeWindow || named ? window : nullptr;
    *out = WebViewCreateObject(type, host, parent, kind, cr, &result);
    if (*out) return 1;
    return result ? result : kWebNotCreated;
}

ObjectRecord* WebViewCreateObject(uint32_t type, void* host, ObjectRecord* parentOverride, uint32_t kind,
                                  ObjectCreateRecord* cr, int32_t* result) {
    ObjectRecord* savedRec = cr->windowRec;
    bool savedResolved = cr->windowResolved;
    if (parentOverride) {
        cr->windowRec = parentOverride;
        cr->windowResolved = true;
    }
    ObjectRecord* rec = nullptr;
    int32_t code = 0;
    if (host) {
        void* savedView = gCurWebView;
        WebViewSelectHost(host);
        rec = WebCreateObject(type, nullptr, cr, &code);
        if (rec) {
            if (!TypeSendsNoMarkup(type)) WebViewMsgEndMade(rec->elementId);
            if (rec->kind != kKindWindow && (rec->flags & kObjShown) && (rec->flags & kObjDocked) && rec->parent) {
                if (rec->dock == 1 || rec->dock == 5 || rec->dock == 6) rec->right = rec->left;
                if (rec->dock == 2 || rec->dock == 4 || rec->dock == 6) rec->bottom = rec->top;
                WebLayoutChildren(rec->parent);
            }
            if (rec->kind == kKindHtmlControl && gWebHooks.htmlControlLoadAll) gWebHooks.htmlControlLoadAll(rec);
            // What the kind sets once its markup is in the page.
            if (const WebKindOps* ops = WebKindOpsOf(rec)) {
                if (ops->placed) ops->placed(rec);
            }
            // A frame's markup carries no colour (a dialog's script call does):
            // its background is set on the element once it is there.
            if (rec->kind == kKindWindow && !WebIsDialogWindow(rec)) WebSetWindowBackColor(rec, rec->bgColor);
            // A dialog's markup makes it closed: one created visible is opened
            // now, so its shown flag and the page agree. (A modal one waits for
            // the server's show, which notes its modal level.)
            if (rec->kind == kKindWindow && WebWin(rec)->win.winType == kWwtDialog && (rec->flags & kObjShown)) {
                rec->flags &= ~kObjShown;
                WebActivateObject(rec, 0, 0, 0, 0);
            } else if (rec->kind == kKindWindow) {
                WebWindowShownByCreation(rec);
            }
        }
        // The creation stays in the view's batch: the page makes the object
        // when the batch goes out (a request for another view, a query, a
        // wait for events, the idle flush), so a run of creations for one
        // view costs one post. A batch that never reaches the page is named
        // in the log, and the next request that waits for it answers -52.
        gCurWebView = savedView == host ? nullptr : savedView;
    } else {
        if (cr != &gObjectCreateRecord) gObjectCreateRecord = *cr;
        rec = WebCreateByType(kind, nullptr, &code);
        if (rec) rec->elementId = 0;
    }
    cr->windowRec = savedRec;
    cr->windowResolved = savedResolved;
    if (result) *result = rec ? 0 : (code ? code : kWebNotCreated);
    return rec;
}

ObjectRecord* WebCreateObject(uint32_t type, ObjectRecord* old, ObjectCreateRecord* cr, int32_t* result) {
    HtmlResetFont();
    if (old) ObjectDestroyFromWeb(0, old);
    int32_t kind = WebTypeToKind(type);
    if (kind < 0) {
        *result = kWebNotCreated;
        return nullptr;
    }
    if (cr != &gObjectCreateRecord) gObjectCreateRecord = *cr;
    ObjectCreateRecord* g = &gObjectCreateRecord;
    bool quiet = type == kTypeSubmenu || type == kTypeTimer || type == kTypeColor || type == kTypeFont ||
                 type == kTypeImagelist || type == kTypeWindow || type == kTypeVariant;
    if (!quiet && !NamedWindow(g)) {
        if (g->zOrder == 0) g->zOrder = 1;
        if (gWebShowMainPending && gWebMainWindow) {
            gWebShowMainPending = 0;
            ObjectActivate(gWebMainWindow, 0, 0, 0, 0);
        }
    }
    // A button's Text is its caption when given; a Title alone stays the caption.
    if ((kind == kKindButton || kind == kKindCheckBox || kind == kKindRadio) && g->text.text) g->title = g->text;
    int32_t code = 0;
    ObjectRecord* rec = WebCreateByType(static_cast<uint32_t>(kind), nullptr, &code);
    if (!rec) {
        *result = code ? code : kWebNotCreated;
        return nullptr;
    }
    *result = 0;
    if (KindHasNoElement(static_cast<uint32_t>(kind)) || kind == kKindToolButton) return rec;
    if (kind == kKindImageList) {
        if (rec->parent) WebLinkChild(rec);
        return rec;
    }
    if (kind == kKindListView && (g->flags0 & kCrListViewNoMarkup)) {
        WebLinkChild(rec);
        return rec;
    }
    if (kind != kKindTimer) {
        JsonBeginAction(kActInsert);
        HtmlReset();
        HtmlObjectMarkup(static_cast<uint32_t>(kind), rec->elementId, false, g);
        JsonAddJsHtml((rec->modeFlags & kModeUtf8Texts) != 0);
        if (!(kind == kKindButton && g->buttonType == kButtonTypeFile)) {
            char name[24];
            snprintf(name, sizeof name, WebHasWrapperDiv(rec) ? "C%uD" : "C%u", rec->elementId);
            JsonAddStringNoConv("name", name);
        }
        JsonAddForm(rec, false, true, false, false);
    }
    if (kind == kKindWindow) {
        rec->next = gWebWindowList;
        gWebWindowList = rec;
        if (!gWebMainWindow) gWebMainWindow = rec;
        return rec;
    }
    WebLinkChild(rec);
    return rec;
}

// ---- The record's common fields -----------------------------------------------------------

static uint32_t TopWindowAppearance(ObjectRecord* top) { return top ? top->appearance : 0; }

static void FillHeader(ObjectRecord* rec, ObjectRecord* top, ObjectCreateRecord* cr, uint32_t kind) {
    if (cr->webObject) rec->modeFlags |= kModeWebObject;
    if (cr->destroyGlobal == 0) rec->flags |= kObjNoDestroyGlobal;
    CopyCreateStrings(rec, cr);
    if (cr->flags0 & kCrVisible) rec->flags |= kObjShown;
    if (cr->flags0 & kCrDisabled) rec->flags |= kObjDisabled;
    bool isWindow = kind == kKindWindow;
    ObjectRecord* named = NamedWindow(cr);
    if (!isWindow && kind != kKindSubMenu) {
        ObjectRecord* parent = named;
        if (!parent) parent = (cr->flags0 & kCrOtherDefault) && gWebMainWindowAlt ? gWebMainWindowAlt : gWebMainWindow;
        rec->parent = parent;
        if (named && top != gWebMainWindow) rec->flags |= kObjPixels;
    }
    rec->ovar = cr->ovar;
    if (cr->rightToLeft == 1 || (cr->rightToLeft == -1 && top && (top->flags & kObjRightToLeft)))
        rec->flags |= kObjRightToLeft;
    if (gWebPixelOption) rec->flags |= kObjPixels;
    if (!isWindow) {
        int32_t look = cr->appearance ? cr->appearance : cr->style;
        bool given = cr->given[kPidAppearance] != 0;
        if (given && (look == 1 || look == 3 || look == 4)) rec->flags |= kObj3D;
        if (!given) {
            if (gWebThreeDOption) {
                look = 1;
                rec->flags |= kObj3D;
            } else {
                look = static_cast<int32_t>(TopWindowAppearance(top));
                if (look == 1 || look == 3 || look == 4) rec->flags |= kObj3D;
            }
        }
        rec->appearance = static_cast<uint8_t>(look);
    }
    rec->context = static_cast<uint8_t>(cr->context);
    rec->reserved = 0;
    uint32_t tab = static_cast<uint32_t>(cr->tabId);
    rec->tabId = KindHasProp(kind, kPidTabId) && tab <= kTabIdMax ? static_cast<uint16_t>(tab) : 0;
    rec->dropId = cr->dropId;
    rec->helpId = cr->helpId;
    rec->objectId = cr->objectId;
    rec->zOrder = cr->zOrder;
    rec->webPosition = static_cast<uint8_t>(cr->webPosition);
    if (kind != kKindImageList && !isWindow) {
        uint32_t fg = top ? top->fgColor : 0, bdr = top ? top->bdrColor : 0;
        uint32_t bg = WebKindHas(kind, kWebKindWhiteBackground) ? kWhite : (top ? top->bgColor : kWhite);
        rec->fgColor = ColorChoice(cr->fgColor, fg);
        rec->bdrColor = ColorChoice(cr->bdrColor, bdr);
        rec->bgColor = ColorChoice(cr->bgColor, bg);
        cr->fgColor = CrColor{nullptr, static_cast<int32_t>(rec->fgColor)};
        cr->bdrColor = CrColor{nullptr, static_cast<int32_t>(rec->bdrColor)};
        cr->bgColor = CrColor{nullptr, static_cast<int32_t>(rec->bgColor)};
    }
    if (cr->flags1 & kCr1CauseValid) rec->flags |= kObjCauseValid;
    rec->dock = cr->dock >= 1 && cr->dock <= 6 ? static_cast<uint8_t>(cr->dock) : 3;
    if (rec->dock != 3) rec->flags |= kObjDocked;
    rec->anchor = cr->anchor >= 1 && cr->anchor <= 9 ? static_cast<uint8_t>(cr->anchor) : 7;
    rec->osEventMask = cr->osEventMask;
}

static void FontToMarkup(const ObjectRecord* rec) {
    const FontRec* f = rec->font;
    if (!f) return;
    HtmlSetFont(f->bold, f->italic, static_cast<uint32_t>(f->size), static_cast<uint32_t>(strlen(f->face)), f->face,
                f->underline, f->strike, f->angle);
}

// A record the creator made but that cannot be placed: nothing of it stays.
static void DiscardRecord(ObjectRecord* rec) {
    if (rec->kind == kKindWindow) WebWindowDestroy(rec);
    // The kind's own fields go too (a button also leaves its window's
    // default- and cancel-button pointers).
    if (const WebKindOps* ops = WebKindOpsOf(rec)) {
        if (ops->destroy) ops->destroy(rec);
    }
    ObjectFreeCommon(rec);
    ObjectFreeRecord(rec);
}

static void PercentGeometry(ObjectRecord* rec, ObjectCreateRecord* cr) {
    if (!gWebPercentGeometry || !WebKindTakesPercent(rec)) return;
    ObjectRecord* window = rec->parent;
    if (!WebIsWindow(window)) return;
    WebWindowRecord* w = WebWin(window);
    auto percent = [](int32_t value, int32_t base) -> int32_t {
        return static_cast<int32_t>((static_cast<int64_t>(value) * kPercentScale / base + 50) / 100);
    };
    auto set = [](char** field, int32_t p) {
        if (*field || p < 1 || p > 100) return;
        char text[16];
        snprintf(text, sizeof text, "%d%%", p);
        *field = WebTextDupLocal(text, static_cast<uint32_t>(strlen(text)));
    };
    if (w->pageWidth > 0) {
        set(&rec->webLeft, percent(rec->left, w->pageWidth));
        set(&rec->webWidth, percent(rec->right - rec->left, w->pageWidth));
    }
    if (gWebPercentGeometry == 2 && w->pageHeight > 0) set(&rec->webTop, percent(rec->top, w->pageHeight));
    // The markup is written from the creation record.
    auto back = [](CrText* t, const char* text) {
        if (text) *t = CrText{text, static_cast<uint32_t>(strlen(text))};
    };
    back(&cr->webLeft, rec->webLeft);
    back(&cr->webWidth, rec->webWidth);
    back(&cr->webTop, rec->webTop);
}

ObjectRecord* WebCreateByType(uint32_t kind, ObjectRecord* rec, int32_t* code) {
    ObjectCreateRecord* cr = &gObjectCreateRecord;
    *code = kWebNotCreated;
    const WebKindOps* ops = WebKindOpsOfKind(kind);
    WebCreatorFn creator = ops ? ops->create : nullptr;
    if (!creator || kind > kObjectKindLast) return nullptr;
    ObjectRecord* named = NamedWindow(cr);
    ObjectRecord* top = nullptr;
    if (kind != kKindWindow) {
        top = named ? ObjectTopWindow(named) : gWebMainWindow;
        if (named && WebIsWindow(top)) {
            uint8_t type = WebWin(top)->win.winType;
            if (type == kWwtModal) cr->flags0 |= kCrModal;
            else if (type == kWwtDialog) cr->flags0 |= kCrDialog;
        }
    }
    *code = 0;
    rec = creator(top, rec, cr, kind, code);
    if (!rec) {
        if (*code >= 0) *code = kWebNotCreated;
        return nullptr;
    }
    if (kind == kKindWindow) top = rec;
    if (kind == kKindColor || kind == kKindFont) return rec;
    rec->elementId = gWebElementCounter++;
    FillHeader(rec, top, cr, kind);
    if (kind == kKindWindow) {
        WebWindowRecord* w = WebWin(rec);
        if (cr->gridSizeH < 1) cr->gridSizeH = kDefaultGrid;
        if (cr->gridSizeV < 1) cr->gridSizeV = kDefaultGrid;
        w->gridH = static_cast<uint16_t>(cr->gridSizeH);
        w->gridV = static_cast<uint16_t>(cr->gridSizeV);
        w->cellWidth = kCellWidth;
        w->cellHeight = kCellHeight;
        w->scaleMode = ScaleModeFromUnits(cr->units);
    }
    if (kind != kKindImageList && kind != kKindVariant) {
        WebInheritFont(top, rec, cr, true);
        FontToMarkup(rec);
    }
    // Menus have no element to place (a FloatMenu keeps its position itself).
    if (kind == kKindMenu || kind == kKindSubMenu || kind == kKindFloatMenu) return rec;
    // Lines place themselves; timers and image lists have no place.
    if (kind != kKindLine && kind != kKindVariant && kind != kKindTimer && kind != kKindImageList) {
        bool placed;
        if (kind == kKindIcon) {
            placed = WebSetRectFromCreate(rec, cr->top, cr->top, cr->left, cr->left);
            if (placed) {
                rec->right = rec->left + kIconSize;
                rec->bottom = rec->top + kIconSize;
            }
        } else {
            // In character cells the edges name the last cell covered; the
            // creation gives Left + Width: w cells end at cell Left + w - 1.
            bool cells = !(rec->flags & kObjPixels);
            int32_t bottom = cells && cr->bottom > cr->top ? cr->bottom - 1 : cr->bottom;
            int32_t right = cells && cr->right > cr->left ? cr->right - 1 : cr->right;
            placed = WebSetRectFromCreate(rec, cr->top, bottom, cr->left, right);
        }
        // A rectangle that cannot be placed makes nothing, as with the native
        // creators: no record is linked and no markup is sent.
        if (!placed) {
            DiscardRecord(rec);
            *code = kWebRectRefused;
            return nullptr;
        }
        cr->top = rec->top;
        cr->bottom = rec->bottom;
        cr->left = rec->left;
        cr->right = rec->right;
        if (kind == kKindWindow) {
            WebWindowRecord* w = WebWin(rec);
            WebSaveLayout(rec, 2);
            for (uint32_t& b : w->percentBase) b = 100;
            w->contentWidth = w->pageWidth = rec->right - rec->left;
            w->contentHeight = w->pageHeight = rec->bottom - rec->top;
            return rec;
        }
    }
    WebSaveLayout(rec, 0);
    PercentGeometry(rec, cr);
    return rec;
}

// ---- Rectangles ------------------------------------------------------------------------

static uint32_t ScaleModeOf(ObjectRecord* window) {
    return WebIsWindow(window) ? WebWin(window)->scaleMode : kUnitsPixels;
}

int32_t WebGetRect(ObjectRecord* window, int32_t rect[4], bool toPixels) {
    uint32_t mode = ScaleModeOf(window);
    // left, top, right, bottom; converted right, bottom, left, top.
    rect[2] = ScaleByMode(mode, rect[2], toPixels);
    rect[3] = ScaleByMode(mode, rect[3], toPixels);
    rect[0] = ScaleByMode(mode, rect[0], toPixels);
    rect[1] = ScaleByMode(mode, rect[1], toPixels);
    return rect[1];
}

int32_t WebScaleValue(ObjectRecord* rec, int32_t value, int, bool toPixels) {
    return ScaleByMode(ScaleModeOf(ObjectTopWindow(rec)), value, toPixels);
}

bool WebSetRectFromCreate(ObjectRecord* rec, int32_t top, int32_t bottom, int32_t left, int32_t right) {
    ObjectRecord* window = rec->kind == kKindWindow ? rec : ObjectTopWindow(rec->parent);
    if (!window) return false;
    if (rec->flags & kObjPixels) {
        if (!gWebUncheckedGeometry && (top > bottom || left > right)) return false;
        uint32_t mode = ScaleModeOf(window);
        top = ScaleByMode(mode, top, true);
        bottom = ScaleByMode(mode, bottom, true);
        left = ScaleByMode(mode, left, true);
        right = ScaleByMode(mode, right, true);
        if (WebIsWindow(window) && (WebWin(window)->win.style[0] & kWwsGridAlign)) {
            int32_t gv = WebWin(window)->gridV ? WebWin(window)->gridV : 1;
            int32_t gh = WebWin(window)->gridH ? WebWin(window)->gridH : 1;
            top -= top % gv;
            bottom -= bottom % gv;
            left -= left % gh;
            right -= right % gh;
        }
    } else {
        if (top == 0 || left == 0 || top > bottom || left > right) return false;
        int32_t cw = kCellWidth, ch = kCellHeight;
        if (WebIsWindow(window) && WebWin(window)->cellWidth) {
            cw = WebWin(window)->cellWidth;
            ch = WebWin(window)->cellHeight;
        }
        left = (left - 1) * cw;
        top = (top - 1) * ch;
        right *= cw;
        bottom *= ch;
    }
    rec->left = left;
    rec->top = top;
    rec->right = right;
    rec->bottom = bottom;
    return true;
}

bool WebKindTakesPercent(const ObjectRecord* rec) {
    return rec && !KindHasNoElement(rec->kind) && !WebKindHas(rec->kind, kWebKindPixelGeometry);
}

void WebSaveLayout(ObjectRecord* rec, uint32_t flags) {
    rec->layoutFlags = flags;
    if (rec->font) rec->layoutFontSize = static_cast<uint32_t>(rec->font->size);
    rec->layoutRect[0] = rec->left;
    rec->layoutRect[1] = rec->top;
    rec->layoutRect[2] = rec->right;
    rec->layoutRect[3] = rec->bottom;
    if (flags & 2) memcpy(rec->layoutRect2, rec->layoutRect, sizeof rec->layoutRect);
    rec->layoutFlags |= 1;
}

static void SaveLayoutChildren(ObjectRecord* container, int depth) {
    for (ObjectRecord* c = container->children; c && depth < kParentChainMax; c = c->next) {
        if (c->layoutFlags & 1) WebSaveLayout(c, 0);
        if (c->kind == kKindPanel) SaveLayoutChildren(c, depth + 1);
    }
}

void WebSaveLayoutTree(ObjectRecord* window, uint32_t) {
    if (!window) return;
    if (WebIsWindow(window)) {
        WebSaveLayout(window, 2);
        for (uint32_t& b : WebWin(window)->percentBase) b = 100;
    }
    SaveLayoutChildren(window, 0);
}

void WebFreeObjectRecord(ObjectRecord* rec) {
    if (!rec) return;
    ObjectRecord* top = ObjectTopWindow(rec);
    if (top && top != rec && top->kind == kKindWindow) {
        WindowRecord* w = reinterpret_cast<WindowRecord*>(top);
        if (w->focusObj == rec) {
            w->focusObj = nullptr;
            w->lastFocus = nullptr;
        } else if (w->lastFocus == rec) {
            w->lastFocus = nullptr;
        }
    }
    // The texts are the common header's, freed by ObjectFreeCommon after this.
    WebUnlinkChild(rec);
}

// ---- Small glue ------------------------------------------------------------------------

ObjectRecord* WebMRegionCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord*, uint32_t, int32_t* code) {
    if (rec) return rec;
    rec = ObjectAllocRecord(kKindMRegion, sizeof(ObjectRecord), true);
    if (!rec) *code = kWebNoMemory;
    return rec;
}

ObjectRecord* WebNativeParent(ObjectRecord* rec) {
    for (int depth = 0; rec && depth < kParentChainMax; ++depth) {
        if (!ObjectIsWebView(rec)) return rec;
        if (rec->kind == kKindWindow) return WebWin(rec)->hostRecord;
        rec = rec->parent;
    }
    return nullptr;
}

void WebClientRectToRecord(ObjectRecord* rec, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!rec) return;
    rec->left = left;
    rec->top = top;
    rec->right = right;
    rec->bottom = bottom;
}

int32_t WebAlwaysFalse(uint32_t) { return 0; }
int32_t WebNotSupported() { return kWebNotSupported; }
int32_t WebFocusNextThunk(bool backward) {
    return gWebObjServices.focusNext ? gWebObjServices.focusNext(nullptr, backward) : 0;
}
void WebFreeThunk(void* block) { GuardedFree(block); }
void* ZeroAlloc(size_t size) {
    void* p = GuardedAlloc(size);
    if (p) memset(p, 0, size);
    return p;
}

void WebFormLoaded(ObjectRecord* first) {
    gWebDecimalChar = gClientConfig.decimalChar;
    // The byte after it (the thousands separator) has no place in this
    // configuration: the edits take the other of '.' and ','.
    gWebDecimalNext = gWebDecimalChar == ',' ? '.' : ',';
    if (first && gWebObjServices.formRefreshChildren) gWebObjServices.formRefreshChildren(first);
}

// ---- Images of image library files ---------------------------------------------------------

static bool NameStaysInFolder(const char* name) {
    if (!name[0]) return false;
    return !strchr(name, '\\') && !strchr(name, '/') && !strchr(name, ':') && !strstr(name, "..");
}

static bool ExtensionShown(const char* name) {
    static const char* const kExtensions[] = {".jpg", ".jpeg", ".bmp", ".gif", ".ico"};
    const char* dot = strrchr(name, '.');
    if (!dot) return false;
    for (const char* ext : kExtensions) {
        bool same = true;
        for (int i = 0; i < 4 && same; ++i) {
            char a = dot[i], b = ext[i];
            if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
            same = a == b;
        }
        if (same) return true;
    }
    return false;
}

namespace {

constexpr uint32_t kResIcon = 1, kResBitmap = 3;
constexpr uint32_t kBmpFileHeader = 14;
constexpr uint32_t kIconDirSize = 6, kIconEntrySize = 16;
constexpr uint32_t kCoreHeader = 12, kInfoHeader = 40, kHeaderMax = 124;
constexpr uint16_t kBitFields = 3;
constexpr uint32_t kBitFieldsMasks = 12;
constexpr uint32_t kPngWidthAt = 16, kPngHeightAt = 20;
constexpr uint8_t kPngSignature[4] = {0x89, 'P', 'N', 'G'};

void PutU16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    PutU16(p, v & 0xFFFF);
    PutU16(p + 2, v >> 16);
}

// A DIB header at the start: its size (12 for the core header, 40 and up
// for the info headers), bits per pixel and the bytes its colour table takes.
bool DibLayout(const ByteReader& r, uint32_t* header, uint16_t* bits, uint32_t* table) {
    if (!r.U32At(0, header)) return false;
    if (*header == kCoreHeader) {
        if (!r.U16At(10, bits)) return false;
        *table = *bits <= 8 ? (1u << *bits) * 3 : 0;
        return true;
    }
    if (*header < kInfoHeader || *header > kHeaderMax) return false;
    uint32_t used = 0, compression = 0;
    if (!r.U16At(14, bits) || !r.U32At(16, &compression) || !r.U32At(32, &used)) return false;
    if (used > 256) return false;
    *table = (used ? used : (*bits <= 8 ? 1u << *bits : 0)) * 4;
    if (compression == kBitFields && *header == kInfoHeader) *table += kBitFieldsMasks;
    return true;
}

bool Prefixed(uint32_t prefix, const uint8_t* data, uint32_t size, uint8_t** out, uint32_t* outSize) {
    CheckedSize total(prefix);
    total.Add(size);
    if (!total.Fits(UINT32_MAX)) return false;
    *out = static_cast<uint8_t*>(GuardedAlloc(total.Size()));
    if (!*out) return false;
    memset(*out, 0, prefix);
    memcpy(*out + prefix, data, size);
    *outSize = static_cast<uint32_t>(total.Size());
    return true;
}

bool BitmapFile(const uint8_t* data, uint32_t size, uint8_t** out, uint32_t* outSize) {
    ByteReader r(data, size);
    uint32_t header = 0, table = 0;
    uint16_t bits = 0;
    if (!DibLayout(r, &header, &bits, &table) || !r.Has(0, static_cast<size_t>(header) + table)) return false;
    if (!Prefixed(kBmpFileHeader, data, size, out, outSize)) return false;
    (*out)[0] = 'B';
    (*out)[1] = 'M';
    PutU32(*out + 2, *outSize);
    PutU32(*out + 10, kBmpFileHeader + header + table);
    return true;
}

// One icon image as a .ico file: the directory and its one entry before it.
bool IconFile(const uint8_t* data, uint32_t size, uint8_t** out, uint32_t* outSize) {
    ByteReader r(data, size);
    uint32_t width = 0, height = 0;
    uint16_t bits = 0;
    uint8_t sig[4] = {};
    if (r.BytesAt(0, sig, sizeof sig) && memcmp(sig, kPngSignature, sizeof sig) == 0) {
        if (!r.U32BeAt(kPngWidthAt, &width) || !r.U32BeAt(kPngHeightAt, &height)) return false;
        bits = 32;
    } else {
        uint32_t header = 0, table = 0;
        int32_t w = 0, h = 0;
        if (!DibLayout(r, &header, &bits, &table) || header < kInfoHeader || !r.I32At(4, &w) || !r.I32At(8, &h))
            return false;
        // The image's height counts the colour and the mask halves; the sizes'
        // magnitudes are taken in 64 bits (the most negative one has none in 32).
        width = static_cast<uint32_t>(std::llabs(w));
        height = static_cast<uint32_t>(std::llabs(h) / 2);
    }
    const uint32_t prefix = kIconDirSize + kIconEntrySize;
    if (!Prefixed(prefix, data, size, out, outSize)) return false;
    uint8_t* d = *out;
    PutU16(d + 2, 1);   // an icon
    PutU16(d + 4, 1);   // one image
    uint8_t* e = d + kIconDirSize;
    e[0] = static_cast<uint8_t>(width >= 256 ? 0 : width);
    e[1] = static_cast<uint8_t>(height >= 256 ? 0 : height);
    PutU16(e + 4, 1);
    PutU16(e + 6, bits);
    PutU32(e + 8, size);
    PutU32(e + 12, prefix);
    return true;
}

bool Copied(const uint8_t* data, uint32_t size, uint8_t** out, uint32_t* outSize) { return Prefixed(0, data, size, out, outSize); }

// An image resource of the native sources written once into the images
// folder as "B<number>.bmp" (a bitmap) or "I<number>.ico" (an icon).
bool ExtractResourceImage(uint32_t type, uint32_t number, char* name, size_t nameSize, uint16_t* value) {
    if ((type != kResBitmap && type != kResIcon) || !gWebImageIo.resource) return false;
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!gWebImageIo.resource(type, number, &data, &size)) return false;
    snprintf(name, nameSize, type == kResBitmap ? "B%u.bmp" : "I%u.ico", number);
    if (value) *value = 0;
    char path[600];
    uint8_t* file = nullptr;
    uint32_t fileSize = 0;
    if (gWebImageWrite && gWebImageIo.writeNew && data && WebImagePath(name, false, path, sizeof path) &&
        WebImageFileFromResource(type, data, size, &file, &fileSize))
        gWebImageIo.writeNew(path, file, fileSize);
    GuardedFree(file);
    if (gWebImageIo.freeData) gWebImageIo.freeData(data);
    return true;
}

}  // namespace

bool WebImageFileFromResource(uint32_t kind, const uint8_t* data, uint32_t size, uint8_t** out, uint32_t* outSize) {
    *out = nullptr;
    *outSize = 0;
    if (!data || size < 4) return false;
    bool bmp = data[0] == 'B' && data[1] == 'M';
    bool ico = data[0] == 0 && data[1] == 0 && data[2] == 1 && data[3] == 0;
    ByteReader r(data, size);
    uint32_t header = 0;
    bool dib = r.U32At(0, &header) && (header == kCoreHeader || (header >= kInfoHeader && header <= kHeaderMax));
    if (kind == kResBitmap && dib && !bmp) return BitmapFile(data, size, out, outSize);
    bool png = memcmp(data, kPngSignature, sizeof kPngSignature) == 0;
    if (kind == kResIcon && !ico && (dib || png)) return IconFile(data, size, out, outSize);
    return Copied(data, size, out, outSize);
}

bool WebExtractImage(uint32_t type, uint32_t number, char* name, size_t nameSize, uint16_t* value,
                     const uint8_t* digest) {
    if (!name || nameSize == 0) return false;
    name[0] = 0;
    const WebImageFile* file = nullptr;
    const WebImageEntry* entry = nullptr;
    for (const WebImageFile* f = gWebImageCache; f && !entry; f = f->next)
        for (uint32_t i = 0; i < f->count && !entry; ++i)
            if (f->entries[i].type == type && f->entries[i].number == number) {
                file = f;
                entry = &f->entries[i];
            }
    // Not in an image library: the native pictures' own sources.
    if (!entry) return !digest && ExtractResourceImage(type, number, name, nameSize, value);
    if (digest) {
        size_t at = static_cast<size_t>(snprintf(name, nameSize, "I"));
        for (int i = 0; i < 16 && at < nameSize; ++i)
            at += static_cast<size_t>(snprintf(name + at, nameSize - at, "%02X", digest[i]));
        if (at < nameSize) snprintf(name + at, nameSize - at, "%u.bmp", number);
    } else {
        char own[sizeof entry->name + 1];
        memcpy(own, entry->name, sizeof entry->name);
        own[sizeof entry->name] = 0;
        if (!ExtensionShown(own)) return false;
        snprintf(name, nameSize, "%s", own);
    }
    // The name becomes a file under the images folder: one that could reach
    // outside it (a folder separator, a drive or "..") is refused.
    if (!NameStaysInFolder(name)) {
        name[0] = 0;
        return false;
    }
    if (value) *value = entry->value;
    if (!gWebImageWrite || !gWebImageIo.read || !gWebImageIo.writeNew) return true;
    char path[600];
    if (!WebImagePath(name, false, path, sizeof path)) return true;
    void* data = entry->size ? GuardedAlloc(entry->size) : nullptr;
    if (!data) return true;
    if (gWebImageIo.read(file->file, file->base + entry->offset, data, entry->size))
        gWebImageIo.writeNew(path, data, entry->size);
    GuardedFree(data);
    return true;
}
