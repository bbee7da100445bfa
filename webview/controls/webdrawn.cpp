// webdrawn.cpp - Line, Shape, Progress, Slider and Splitter in the web view.
// The page draws them from a few numbers: lines and shapes on a canvas
// (action 22), the progress bar from its position (action 25 or the themed
// bar's CSS), the slider from its range (action 11); a splitter is a bar the
// user drags (action 55 gives its cursor, the page reports the move).
#include <cstdio>
#include <cstring>

#include "graphics/gfxcore.h"
#include "objects/events.h"
#include "objects/objtables.h"
#include "session/util/mem.h"
#include "webview/controls/webdrawn.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/weboptions.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"
#include "webview/core/webmarkup.h"

namespace {

constexpr int32_t kDrawLine = 1, kDrawRect = 2, kDrawOval = 3, kDrawRound = 4;
constexpr int32_t kDwidProgressPos = 1, kDwidProgressPercent = 2;
constexpr int32_t kDwidSliderPos = 1, kDwidSliderMin = 2, kDwidSliderMax = 3, kDwidSliderAsk = 4,
                  kDwidSliderStep = 8;
enum SliderWhich : int32_t { kSlPos = 0, kSlMin = 1, kSlMax = 2, kSlShift = 3, kSlStep = 4 };
constexpr uint32_t kSplitterAlive = 0x100000;
constexpr uint32_t kGuiGridOff = 0x1;      // gGuiModeFlags bit 0: no grid rounding
constexpr uint8_t kDockBottomV = 1, kDockLeftV = 2, kDockRightV = 4, kDockTopV = 5;
constexpr int32_t kSplitterNoNeighbour = -1;
constexpr int32_t kDefaultSliderMax = 100;
constexpr uint32_t kCrProgressNoText = 0x1, kCrProgressElement = 0x2;   // creation flag word 1
constexpr uint32_t kNoWindow = 0xFFFFFFFFu;
constexpr uint32_t kWhite = 0xFFFFFFu;


WebLineRecord* AsLine(ObjectRecord* rec) { return reinterpret_cast<WebLineRecord*>(rec); }
WebShapeRecord* AsShape(ObjectRecord* rec) { return reinterpret_cast<WebShapeRecord*>(rec); }
WebProgressRecord* AsProgress(ObjectRecord* rec) { return reinterpret_cast<WebProgressRecord*>(rec); }
WebSliderRecord* AsSlider(ObjectRecord* rec) { return reinterpret_cast<WebSliderRecord*>(rec); }
WebSplitterRecord* AsSplitter(ObjectRecord* rec) { return reinterpret_cast<WebSplitterRecord*>(rec); }

uint8_t Byte(int32_t v) { return static_cast<uint8_t>(v); }

// The window a creation names (resolved by the object model), or none.
ObjectRecord* NamedWindowOf(const ObjectCreateRecord* cr) {
    if (cr->window == 0 || cr->window == kNoWindow) return nullptr;
    return cr->windowResolved ? cr->windowRec : ObjectFromHandle(cr->window);
}

// A control's window units are character cells on the default window (as
// the common header decides it).
bool CellsFor(const ObjectCreateRecord* cr, ObjectRecord* top) {
    return !(NamedWindowOf(cr) && top != gWebMainWindow) && !gWebPixelOption;
}

void CellSize(ObjectRecord* top, int32_t* cw, int32_t* ch) {
    *cw = kCellWidth;
    *ch = kCellHeight;
    if (WebIsWindow(top) && WebWin(top)->cellWidth) {
        *cw = WebWin(top)->cellWidth;
        *ch = WebWin(top)->cellHeight;
    }
}

// A point of a window in pixels: its grid, unless the client turned grids off.
int32_t ToGrid(ObjectRecord* top, int32_t v, bool vertical) {
    if (!WebIsWindow(top) || !(WebWin(top)->win.style[0] & kWwsGridAlign) || (gGuiModeFlags & kGuiGridOff)) return v;
    return GridTruncate(v, vertical ? WebWin(top)->gridV : WebWin(top)->gridH);
}

int32_t ScaleFor(ObjectRecord* top, int32_t v, bool toPixels) {
    return ScaleByMode(WebIsWindow(top) ? WebWin(top)->scaleMode : kUnitsPixels, v, toPixels);
}

void BeginNamed(int action, ObjectRecord* rec) {
    WebViewSelectForObject(rec);
    JsonBeginAction(action);
    JsonAddName(rec);
}

// ---- Line ------------------------------------------------------------------------------------

// The header's rectangle: the box of the end points widened by the border width.
void LinePlace(WebLineRecord* l) {
    int32_t w = l->bdrWidth;
    ObjectRecord* rec = &l->hdr;
    rec->left = (l->x1 < l->x2 ? l->x1 : l->x2) - w;
    rec->right = (l->x1 < l->x2 ? l->x2 : l->x1) + w;
    rec->top = (l->y1 < l->y2 ? l->y1 : l->y2) - w;
    rec->bottom = (l->y1 < l->y2 ? l->y2 : l->y1) + w;
}

void LineRedraw(ObjectRecord* rec) {
    WebLineRecord* l = AsLine(rec);
    BeginNamed(kActDraw, rec);
    JsonAddInt("st", kDrawLine);
    JsonAddInt("x1", l->x1 - rec->left);
    JsonAddInt("x2", l->x2 - rec->left);
    JsonAddInt("y1", l->y1 - rec->top);
    JsonAddInt("y2", l->y2 - rec->top);
    JsonAddInt("lw", l->bdrWidth);
    JsonAddColor("ss", rec->bdrColor);
    WebViewMsgEnd();
}

// A point as the common query takes it: in pixels on a window of character
// cells (the query turns them into cells), else in the window's units.
int32_t LinePointOut(ObjectRecord* rec, int32_t v) {
    if (!(rec->flags & kObjPixels)) return v;
    return ScaleFor(ObjectTopWindow(rec), v, false);
}

int32_t LineSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char*, uint32_t, bool* commonWrite) {
    WebLineRecord* l = AsLine(rec);
    uint32_t color;
    switch (id) {
    case kPidBdrColor:
        if (WebDrawnColor(value, &color)) rec->bdrColor = color;
        break;
    case kPidBdrWidth:
        l->bdrWidth = Byte(value);
        break;
    case kPidDrawMode: l->drawMode = Byte(ValueInRange(value, 1, 16, kDrawModeDefault)); *commonWrite = false; return 0;
    case kPidBdrPattern: l->bdrPattern = Byte(ValueInRange(value, 1, 6, 6)); *commonWrite = false; return 0;
    case kPidX1: case kPidX2: case kPidY1: case kPidY2: {
        // The common change has put the value in pixels already.
        bool vertical = id == kPidY1 || id == kPidY2;
        int32_t v = ToGrid(ObjectTopWindow(rec), value, vertical);
        int32_t* field = id == kPidX1 ? &l->x1 : id == kPidX2 ? &l->x2 : id == kPidY1 ? &l->y1 : &l->y2;
        *field = v;
        LinePlace(l);
        int32_t r[4] = {rec->left, rec->top, rec->right, rec->bottom};
        WebSetPosition(rec, r);
        break;
    }
    default:
        return kWebNotAvailable;
    }
    LineRedraw(rec);
    *commonWrite = false;
    return 0;
}

int32_t LineGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char**) {
    WebLineRecord* l = AsLine(rec);
    switch (id) {
    case kPidBdrWidth: *result = l->bdrWidth; return 0;
    case kPidDrawMode: *result = l->drawMode; return 0;
    case kPidBdrPattern: *result = l->bdrPattern; return 0;
    case kPidX1: *result = LinePointOut(rec, l->x1); return 0;
    case kPidX2: *result = LinePointOut(rec, l->x2); return 0;
    case kPidY1: *result = LinePointOut(rec, l->y1); return 0;
    case kPidY2: *result = LinePointOut(rec, l->y2); return 0;
    default: return kWebNotAvailable;
    }
}

// ---- Shape -----------------------------------------------------------------------------------

int32_t ShapeDrawCode(uint8_t shape) { return shape == 1 ? kDrawOval : shape == 3 ? kDrawRound : kDrawRect; }

void ShapeRedraw(ObjectRecord* rec) {
    WebShapeRecord* s = AsShape(rec);
    int32_t w = rec->right - rec->left, h = rec->bottom - rec->top;
    BeginNamed(kActDraw, rec);
    JsonAddInt("st", ShapeDrawCode(s->shape));
    JsonAddInt("w", w);
    JsonAddInt("h", h);
    JsonAddInt("lw", s->bdrWidth);
    JsonAddColor("ss", rec->bdrColor);
    JsonAddColor("fs", s->fillColor);
    JsonAddInt("cw", w);
    JsonAddInt("ch", h);
    WebViewMsgEnd();
}

int32_t ShapeSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char*, uint32_t, bool* commonWrite) {
    WebShapeRecord* s = AsShape(rec);
    uint32_t color;
    bool redraw = true;
    switch (id) {
    case kPidBdrColor:
        if (WebDrawnColor(value, &color)) rec->bdrColor = color;
        break;
    case kPidBackStyle: s->backStyle = Byte(ValueInRange(value, 1, 2, 1)); redraw = false; break;
    case kPidFillColor:
        if (WebDrawnColor(value, &color)) s->fillColor = color;
        break;
    case kPidFillStyle: s->fillStyle = Byte(ValueInRange(value, 1, 8, 5)); redraw = false; break;
    case kPidShape: s->shape = Byte(ValueInRange(value, 1, 3, 2)); break;
    case kPidBdrWidth: s->bdrWidth = Byte(value); break;
    case kPidDrawMode: s->drawMode = Byte(ValueInRange(value, 1, 16, kDrawModeDefault)); redraw = false; break;
    case kPidBdrPattern: s->bdrPattern = Byte(ValueInRange(value, 1, 6, 6)); redraw = false; break;
    default: return kWebNotAvailable;
    }
    if (redraw) ShapeRedraw(rec);
    *commonWrite = false;
    return 0;
}

int32_t ShapeGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char**) {
    WebShapeRecord* s = AsShape(rec);
    switch (id) {
    case kPidBackStyle: *result = s->backStyle; return 0;
    case kPidFillColor: *result = static_cast<int32_t>(s->fillColor); return 0;
    case kPidFillStyle: *result = s->fillStyle; return 0;
    case kPidShape: *result = s->shape; return 0;
    case kPidBdrWidth: *result = s->bdrWidth; return 0;
    case kPidDrawMode: *result = s->drawMode; return 0;
    case kPidBdrPattern: *result = s->bdrPattern; return 0;
    default: return kWebNotAvailable;
    }
}

// ---- Progress --------------------------------------------------------------------------------

bool ProgressThemed(const ObjectRecord* rec) { return (rec->modeFlags & kProgressModeThemed) != 0; }

// The themed bar is the inner element of the bar's division.
void ThemedBarSelector(const ObjectRecord* rec, char* out, size_t outSize) {
    snprintf(out, outSize, "#C%u .progress-bar", rec->elementId);
}

void ThemedBarText(ObjectRecord* rec) {
    WebProgressRecord* p = AsProgress(rec);
    char sel[40], text[16];
    ThemedBarSelector(rec, sel, sizeof sel);
    if (p->percent) snprintf(text, sizeof text, "%u%%", p->value);
    else text[0] = 0;
    JsonBeginAction(kActSetHtml);
    JsonAddStringNoConv("en", sel);
    JsonAddStringZ("pv", text);
    WebViewMsgEnd();
}

void ProgressToPage(ObjectRecord* rec) {
    WebProgressRecord* p = AsProgress(rec);
    WebViewSelectForObject(rec);
    if (ProgressThemed(rec)) {
        char sel[40], width[16];
        ThemedBarSelector(rec, sel, sizeof sel);
        snprintf(width, sizeof width, "%u%%", p->value);
        JsonBeginAction(kActSetCss);
        JsonAddStringNoConv("en", sel);
        JsonAddStringNoConv("pn", "width");
        JsonAddStringZ("pv", width);
        WebViewMsgEnd();
        if (p->percent) ThemedBarText(rec);
        return;
    }
    BeginNamed(kActProgress, rec);
    JsonAddInt("dwid", kDwidProgressPos);
    JsonAddInt("pos", static_cast<int32_t>(p->value));
    WebViewMsgEnd();
}

int32_t ProgressSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char*, uint32_t, bool* commonWrite) {
    WebProgressRecord* p = AsProgress(rec);
    switch (id) {
    case kPidValue: WebProgressSetValue(rec, 0, value); break;
    case kPidPercent:
        p->percent = value ? 1 : 0;
        if (ProgressThemed(rec)) {
            WebViewSelectForObject(rec);
            ThemedBarText(rec);
        } else {
            BeginNamed(kActProgress, rec);
            JsonAddInt("dwid", kDwidProgressPercent);
            JsonAddInt("dp", p->percent);
            WebViewMsgEnd();
        }
        break;
    default: return kWebNotAvailable;
    }
    *commonWrite = false;
    return 0;
}

int32_t ProgressGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char**) {
    switch (id) {
    case kPidValue: return ProgressGetValue(rec, 0, result);
    case kPidPercent: *result = AsProgress(rec)->percent; return 0;
    default: return kWebNotAvailable;
    }
}

int32_t ProgressOpGetValue(ObjectRecord* rec, int32_t item, int32_t* value, bool*) {
    return ProgressGetValue(rec, item, value);
}

// ---- Slider ----------------------------------------------------------------------------------

int32_t SliderSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char*, uint32_t, bool* commonWrite) {
    WebSliderRecord* s = AsSlider(rec);
    switch (id) {
    case kPidBorder:
        rec->flags = value ? (rec->flags | kObjBorder) : (rec->flags & ~kObjBorder);
        WebChangeElemClass(rec, value ? "slbs0" : "slbs1", value ? "slbs1" : "slbs0", true);
        break;
    case kPidMin: WebSliderSetValue(rec, kSlMin, value); break;
    case kPidMax: WebSliderSetValue(rec, kSlMax, value); break;
    case kPidShift: WebSliderSetValue(rec, kSlShift, value); break;
    case kPidOrientation: if (s->orientation != Byte(value)) s->orientation = Byte(value); break;
    case kPidTickStyle: if (s->tickStyle != Byte(value)) s->tickStyle = Byte(value); break;
    case kPidTickFreq: s->tickFreq = value; break;
    case kPidSelRange: s->selRange = Byte(value); break;
    case kPidSelStart: s->selStart = value; break;
    case kPidSelLength: s->selLength = value; break;
    default: return kWebNotAvailable;
    }
    *commonWrite = false;
    return 0;
}

int32_t SliderGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char**) {
    WebSliderRecord* s = AsSlider(rec);
    switch (id) {
    case kPidMin: *result = s->min; return 0;
    case kPidMax: *result = s->max; return 0;
    case kPidShift: *result = s->shift; return 0;
    case kPidOrientation: *result = s->orientation; return 0;
    case kPidTickStyle: *result = s->tickStyle; return 0;
    case kPidTickFreq: *result = s->tickFreq; return 0;
    case kPidSelRange: *result = s->selRange; return 0;
    case kPidSelStart: *result = s->selStart; return 0;
    case kPidSelLength: *result = s->selLength; return 0;
    default: return kWebNotAvailable;
    }
}

// ---- Splitter --------------------------------------------------------------------------------

bool DockedAcross(uint8_t dock) { return dock == kDockLeftV || dock == kDockRightV; }

// The container whose child list holds the splitter and its neighbour.
ObjectRecord* ContainerOf(ObjectRecord* rec) { return rec->parent; }

int32_t Extent(const ObjectRecord* rec, bool across) {
    return across ? rec->right - rec->left : rec->bottom - rec->top;
}

// The neighbour takes size: its width (docked left or right) or height.
void ResizeNeighbour(ObjectRecord* neighbour, bool across, int32_t grow) {
    if (across) WebResizeBy(neighbour, 0, grow);
    else WebResizeBy(neighbour, grow, 0);
    if (neighbour->kind == kKindPanel)
        WebPanelResize(neighbour, neighbour->left, neighbour->top, neighbour->right - neighbour->left,
                       neighbour->bottom - neighbour->top, 0);
}

int32_t SplitterSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char*, uint32_t, bool* commonWrite) {
    WebSplitterRecord* s = AsSplitter(rec);
    switch (id) {
    case kPidDock:
        // Only the four edges suit a splitter; the common change docks it.
        if (value == kDockTopV || value == kDockLeftV || value == kDockRightV || value == kDockBottomV)
            return kWebNotAvailable;
        break;
    case kPidBdrStyle: s->bdrStyle = Byte(value); break;
    case kPidMinExtra: s->minExtra = WebScaleValue(rec, value, 0, true); break;
    case kPidMinSize: s->minSize = WebScaleValue(rec, value, 0, true); break;
    case kPidSplitPos: {
        ObjectRecord* n = WebSplitterNeighbour(rec);
        if (!n) break;
        bool across = DockedAcross(rec->dock);
        ResizeNeighbour(n, across, WebScaleValue(rec, value, 0, true) - Extent(n, across));
        if (rec->parent) WebLayoutChildren(rec->parent);
        break;
    }
    default: return kWebNotAvailable;
    }
    *commonWrite = false;
    return 0;
}

int32_t SplitterGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char**) {
    WebSplitterRecord* s = AsSplitter(rec);
    switch (id) {
    case kPidBdrStyle: *result = s->bdrStyle; return 0;
    case kPidMinExtra: *result = WebScaleValue(rec, s->minExtra, 0, false); return 0;
    case kPidMinSize: *result = WebScaleValue(rec, s->minSize, 0, false); return 0;
    case kPidSplitPos: {
        ObjectRecord* n = WebSplitterNeighbour(rec);
        *result = n ? WebScaleValue(rec, Extent(n, DockedAcross(rec->dock)), 0, false) : kSplitterNoNeighbour;
        return 0;
    }
    default: return kWebNotAvailable;
    }
}

// The page's move of a splitter (99992, or 99993 that names no window).
bool SplitterPageEvent(ObjectRecord* rec, int32_t code, const JsonValue* ev, const WebEventName*) {
    if (code != kPeWindowMove && code != kPeWindowSize) return false;
    WebSplitterOnMove(rec, static_cast<int32_t>(JsonGetInt(ev, "em")), static_cast<int32_t>(JsonGetInt(ev, "ev")));
    return true;
}

// ---- Kind operations ---------------------------------------------------------------------

int32_t SliderOpGetValue(ObjectRecord* rec, int32_t item, int32_t* value, bool* asked) {
    return WebSliderGetValue(rec, item, value, asked);
}


}  // namespace

ObjectRecord* WebAllocKindRecord(ObjectRecord* rec, uint32_t kind, size_t size, int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(static_cast<uint8_t>(kind), static_cast<uint32_t>(size), true);
    if (!rec) *code = kWebNoMemory;
    return rec;
}

bool WebDrawnColor(int32_t value, uint32_t* out) {
    uint32_t v = static_cast<uint32_t>(value);
    if (v < 0x1000000u || (v >= kSysColorBit && v - kSysColorBit < kSysColorCount)) {
        *out = v;
        return true;
    }
    return false;
}

// ---- Creators ----------------------------------------------------------------------------

ObjectRecord* WebLineCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                            int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(WebLineRecord), code);
    if (!rec) return nullptr;
    WebLineRecord* l = AsLine(rec);
    int32_t width = CreateRecordValue(cr, kPidBdrWidth, 1);
    l->bdrWidth = Byte(width < 1 ? 1 : width);
    l->bdrPattern = Byte(ValueInRange(CreateRecordValue(cr, kPidBdrPattern, 6), 1, 6, 6));
    l->drawMode = Byte(ValueInRange(CreateRecordValue(cr, kPidDrawMode, kDrawModeDefault), 1, 16, kDrawModeDefault));
    // The end points: X1-Y2 of a saved form, else the rectangle fields.
    int32_t ends[4];
    CreateRecordLineEnds(cr, ends);
    if (CellsFor(cr, top)) {
        int32_t cw, ch;
        CellSize(top, &cw, &ch);
        l->x1 = CellCenter(ends[0], cw);
        l->y1 = CellCenter(ends[1], ch);
        l->x2 = CellCenter(ends[2], cw);
        l->y2 = CellCenter(ends[3], ch);
    } else {
        rec->flags |= kObjPixels;
        l->x1 = ToGrid(top, ScaleFor(top, ends[0], true), false);
        l->y1 = ToGrid(top, ScaleFor(top, ends[1], true), true);
        l->x2 = ToGrid(top, ScaleFor(top, ends[2], true), false);
        l->y2 = ToGrid(top, ScaleFor(top, ends[3], true), true);
    }
    LinePlace(l);
    // The markup draws from the end points in pixels.
    cr->left = l->x1;
    cr->top = l->y1;
    cr->right = l->x2;
    cr->bottom = l->y2;
    return rec;
}

ObjectRecord* WebShapeCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                             int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(WebShapeRecord), code);
    if (!rec) return nullptr;
    WebShapeRecord* s = AsShape(rec);
    s->shape = Byte(ValueInRange(CreateRecordValue(cr, kPidShape, 2), 1, 3, 2));
    s->fillStyle = Byte(ValueInRange(CreateRecordValue(cr, kPidFillStyle, 5), 1, 8, 5));
    s->bdrWidth = Byte(CreateRecordValue(cr, kPidBdrWidth, 1));
    s->bdrPattern = Byte(ValueInRange(CreateRecordValue(cr, kPidBdrPattern, 6), 1, 6, 6));
    s->drawMode = Byte(ValueInRange(CreateRecordValue(cr, kPidDrawMode, kDrawModeDefault), 1, 16, kDrawModeDefault));
    s->backStyle = Byte(ValueInRange(CreateRecordValue(cr, kPidBackStyle, 1), 1, 2, 1));
    // The fill defaults to the background: the creation's, else the window's.
    uint32_t back = cr->bgColor.value != -1 ? static_cast<uint32_t>(cr->bgColor.value) : top ? top->bgColor : kWhite;
    uint32_t fill = back;
    if (cr->given[kPidFillColor]) WebDrawnColor(cr->values[kPidFillColor], &fill);
    s->fillColor = fill;
    rec->flags |= kObjAlive;
    return rec;
}

ObjectRecord* WebProgressCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(WebProgressRecord), code);
    if (!rec) return nullptr;
    WebProgressRecord* p = AsProgress(rec);
    p->value = ProgressClamp(CreateRecordValue(cr, kPidValue, 0));
    p->percent = (cr->flags1 & kCrProgressNoText) ? 0 : 1;
    p->horizontal = cr->bottom - cr->top <= cr->right - cr->left ? 1 : 0;
    if (cr->flags1 & kCrProgressElement) rec->modeFlags |= kProgressModeElement;
    else if (gWebThemeClasses && (WebStyleOptions() & kWebStyleThemedProgress)) rec->modeFlags |= kProgressModeThemed;
    rec->flags |= kObjAlive;
    return rec;
}

ObjectRecord* WebSliderCreate(ObjectRecord*, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                              int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(WebSliderRecord), code);
    if (!rec) return nullptr;
    WebSliderRecord* s = AsSlider(rec);
    if (CreateRecordValue(cr, kPidBorder, 0)) rec->flags |= kObjBorder;
    s->min = CreateRecordValue(cr, kPidMin, 0);
    s->max = CreateRecordValue(cr, kPidMax, kDefaultSliderMax);
    s->shift = CreateRecordValue(cr, kPidShift, 0);
    s->orientation = Byte(CreateRecordValue(cr, kPidOrientation, 0));
    s->tickStyle = Byte(CreateRecordValue(cr, kPidTickStyle, 0));
    s->selRange = Byte(CreateRecordValue(cr, kPidSelRange, 0));
    s->selStart = CreateRecordValue(cr, kPidSelStart, 0);
    s->selLength = CreateRecordValue(cr, kPidSelLength, 0);
    s->tickFreq = CreateRecordValue(cr, kPidTickFreq, 0);
    s->lineStep = 1;
    return rec;
}

ObjectRecord* WebSplitterCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code) {
    rec = WebAllocKindRecord(rec, kind, sizeof(WebSplitterRecord), code);
    if (!rec) return nullptr;
    WebSplitterRecord* s = AsSplitter(rec);
    rec->flags |= kObjAlive | kSplitterAlive;
    s->bdrStyle = Byte(ValueInRange(CreateRecordValue(cr, kPidBdrStyle, 1), 1, 3, 1));
    s->minSize = ScaleFor(top, CreateRecordValue(cr, kPidMinSize, 0), true);
    s->minExtra = ScaleFor(top, CreateRecordValue(cr, kPidMinExtra, 0), true);
    if (cr->fgColor.value == -1 && !cr->fgColor.object) cr->fgColor.value = 0;
    return rec;
}

// ---- Values ------------------------------------------------------------------------------

int32_t WebProgressSetValue(ObjectRecord* rec, int32_t item, int32_t value) {
    if (item != 0) return 0;
    AsProgress(rec)->value = ProgressClamp(value);
    ProgressToPage(rec);
    return 0;
}

int32_t WebSliderSetValue(ObjectRecord* rec, int32_t which, int32_t value) {
    WebSliderRecord* s = AsSlider(rec);
    int32_t dwid = 0;
    switch (which) {
    case kSlPos: dwid = kDwidSliderPos; break;
    case kSlMin: s->min = value; dwid = kDwidSliderMin; break;
    case kSlMax: s->max = value; dwid = kDwidSliderMax; break;
    case kSlShift: s->shift = value; return 0;
    case kSlStep: s->lineStep = value; dwid = kDwidSliderStep; break;
    default: return 0;
    }
    BeginNamed(kActSlider, rec);
    JsonAddInt("dwid", dwid);
    JsonAddInt("pos", value);
    WebViewMsgEnd();
    return 0;
}

int32_t WebSliderGetValue(ObjectRecord* rec, int32_t which, int32_t* value, bool* asked) {
    WebSliderRecord* s = AsSlider(rec);
    switch (which) {
    case kSlPos:
        JsonBeginAction(kActSlider);
        JsonAddName(rec);
        JsonAddInt("dwid", kDwidSliderAsk);
        *asked = true;
        return 0;
    case kSlMin: *value = s->min; return 0;
    case kSlMax: *value = s->max; return 0;
    case kSlShift: *value = s->shift; return 0;
    case kSlStep: *value = s->lineStep; return 0;
    default: *value = 0; return 0;
    }
}

// ---- Splitter ----------------------------------------------------------------------------

void WebSplitterEnable(ObjectRecord* rec, int32_t item, bool on) {
    if (item != 0) return;
    BeginNamed(kActSplitter, rec);
    bool across = DockedAcross(rec->dock);
    JsonAddInt("vm", on && !across ? 1 : 0);
    JsonAddInt("hm", on && across ? 1 : 0);
    JsonAddStringNoConv("crn", !on ? "default" : across ? "w-resize" : "ns-resize");
    WebViewMsgEnd();
}

ObjectRecord* WebSplitterNeighbour(ObjectRecord* rec) {
    ObjectRecord* container = ContainerOf(rec);
    if (!container) return nullptr;
    ObjectRecord* found = nullptr;
    for (ObjectRecord* c = container->children; c && c != rec; c = c->next)
        if ((c->flags & kObjShown) && c->dock == rec->dock) found = c;
    return found;
}

void WebSplitterOnMove(ObjectRecord* rec, int32_t dx, int32_t dy) {
    if (!rec || rec->kind != kKindSplitter) return;
    ObjectRecord* n = WebSplitterNeighbour(rec);
    if (!n) return;
    WebViewSelectForObject(rec);
    WebSplitterRecord* s = AsSplitter(rec);
    bool across = DockedAcross(rec->dock);
    int32_t delta = across ? (rec->dock == kDockLeftV ? dx : -dx) : (rec->dock == kDockTopV ? dy : -dy);
    ObjectRecord* container = ContainerOf(rec);
    int32_t area[4];
    WebClientRect(container, area);
    int32_t room = (across ? area[2] - area[0] : area[3] - area[1]) - s->minExtra;
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (c == n || !(c->flags & kObjShown) || !(c->flags & kObjDocked)) continue;
        bool cAcross = DockedAcross(c->dock);
        bool cAlong = c->dock == kDockTopV || c->dock == kDockBottomV;
        if (across ? cAcross : cAlong) room -= Extent(c, across);
    }
    if (room <= 0) return;
    int32_t size = Extent(n, across);
    int32_t grow = delta;
    if (size + delta > room) grow = room - size;
    else if (size + delta < s->minSize) grow = s->minSize - size;
    if (across) {
        rec->left += delta;
        rec->right += delta;
    } else {
        rec->top += delta;
        rec->bottom += delta;
    }
    ObjectRef ref = ObjectRefOf(rec);
    ResizeNeighbour(n, across, grow);
    if (!ObjectRefAlive(ref)) return;
    WebSplitterEnable(rec, 0, true);
    if (EventIsRegistered(rec, kEvMove))
        PostObjectEvent(rec, kEvMove, kEventKindDefault, 0, PackTenThousand(rec->left, rec->top));
}

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

constexpr uint32_t kColorInherit = 0xFFFFFFFFu;     // -1: not given

void MarkupProgress(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    int32_t value = HtmlValue(cr, kPidValue, 0);
    bool noText = (cr->flags1 & kCrProgressNoText) != 0;
    if (HtmlProgressAsElement(m)) {
        HtmlPut("<progress ");
        HtmlOpenId(m, false);
        HtmlWriteCommon(m);
        HtmlPut(" min=\"1\" max=\"100\" value=\"");
        HtmlAppendInt(value);
        HtmlPut("\"></progress>");
        return;
    }
    HtmlPut("<div ");
    HtmlOpenId(m, false);
    HtmlWriteCommon(m);
    if (HtmlProgressThemed(m)) {
        HtmlPut("><div id=\"C");
        HtmlAppendUInt(m.id);
        HtmlPut("\" class='progress-bar progress-bar-striped progress-bar-animated");
        HtmlThemeColorClasses(m, true, true, false);
        HtmlPut("' style='width: ");
        HtmlAppendInt(value);
        HtmlPut("%'>");
        if (!noText) {
            HtmlAppendInt(value);
            HtmlPut("%");
        }
        HtmlPut("</div></div>");
        return;
    }
    HtmlPut("></div></div>");
    JsOpenCall("QovPBar", m.id);
    JsPutMember(", cv: ", value);
    JsPutMember(", dp: ", noText ? 0 : 1);
    JsCloseCall();
}

void CanvasOpen(const HtmlMarkup& m) {
    HtmlPut("<canvas width=\"");
    HtmlAppendInt(m.width);
    HtmlPut("\" height=\"");
    HtmlAppendInt(m.height);
    HtmlPut("\" ");
    HtmlOpenId(m, false);
    HtmlWriteCommon(m);
    HtmlPut("></canvas>");
}

void JsStroke(const ObjectCreateRecord* cr, bool fill) {
    if (HtmlGiven(cr, kPidBdrWidth)) JsPutMember(", lw: ", HtmlValue(cr, kPidBdrWidth, 1));
    if (fill && HtmlGiven(cr, kPidFillColor)) {
        JsPut(", fs: \"");
        JsAppendColor(static_cast<uint32_t>(HtmlValue(cr, kPidFillColor, 0)));
        JsPut("\"");
    }
    uint32_t border = HtmlColorOf(cr->bdrColor);
    if (border != kColorInherit) {
        JsPut(", ss: \"");
        JsAppendColor(border);
        JsPut("\"");
    }
}

void MarkupShape(HtmlMarkup& m) {
    CanvasOpen(m);
    int32_t shape = HtmlValue(m.cr, kPidShape, 0);
    JsOpenCall(shape == 1 ? "QovOv" : shape == 3 ? "QovRd" : "QovSq", m.id);
    JsPutMember(", w: ", m.width);
    JsPutMember(", h: ", m.height);
    JsStroke(m.cr, true);
    JsCloseCall();
}

void MarkupLineAt(HtmlMarkup& m, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    CanvasOpen(m);
    JsOpenCall("QovLn", m.id);
    JsPutMember(", x1: ", x1 - m.left);
    JsPutMember(", x2: ", x2 - m.left);
    JsPutMember(", y1: ", y1 - m.top);
    JsPutMember(", y2: ", y2 - m.top);
    JsStroke(m.cr, false);
    JsCloseCall();
}

// A Line's element covers its rectangle put in order; the script draws from
// the first point to the second.
void MarkupLine(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    int32_t x1 = cr->left, y1 = cr->top, x2 = cr->right, y2 = cr->bottom;
    if (cr->left > cr->right) { int32_t t = cr->left; cr->left = cr->right; cr->right = t; }
    if (cr->top > cr->bottom) { int32_t t = cr->top; cr->top = cr->bottom; cr->bottom = t; }
    HtmlMarkupGeometry(m);
    MarkupLineAt(m, x1, y1, x2, y2);
}

void MarkupSlider(HtmlMarkup& m) {
    ObjectCreateRecord* cr = m.cr;
    bool vertical = HtmlValue(cr, kPidOrientation, 0) == 1;
    HtmlPut("<div ");
    HtmlOpenId(m, true);
    HtmlWriteCommon(m);
    HtmlPut("><div id=\"C");
    HtmlAppendUInt(m.id);
    HtmlPut(vertical ? "\" style=\"top:" : "\" style=\"height: 100%; left:");
    HtmlAppendInt((vertical ? m.height : m.width) / 2 - 7);
    HtmlPut("px\"></div></div>");
    JsOpenCall("QovSlide", m.id);
    JsPutMember(", min: ", HtmlValue(cr, kPidMin, 0));
    JsPutMember(", max: ", HtmlValue(cr, kPidMax, 100));
    JsPutMember(", step: ", 1);
    JsPutMember(", vert: ", vertical ? 1 : 0);
    JsPut(", range: 0");
    JsCloseCall();
}

// A splitter's cursor and drag directions: its own page message beside the
// element's state; once placed, they follow its markup.
int32_t SplitterEnableOp(ObjectRecord* rec, int32_t item, bool on) {
    if (item != 0) return kWebNotAvailable;
    WebSplitterEnable(rec, item, on);
    return WebEnableElement(rec, item, on);
}

void SplitterPlaced(ObjectRecord* rec) { WebSplitterEnable(rec, 0, !(rec->flags & kObjDisabled)); }

const WebKindOps kLineOps = {
    .create = WebLineCreate,
    .markup = MarkupLine,
    .setProp = LineSetProp,
    .getProp = LineGetProp,
    .defaultEvent = kEvMouseDown,
    .traits = kWebKindPixelGeometry,
};

const WebKindOps kShapeOps = {
    .create = WebShapeCreate,
    .markup = MarkupShape,
    .setProp = ShapeSetProp,
    .getProp = ShapeGetProp,
    .defaultEvent = kEvMouseDown,
    .traits = kWebKindPixelGeometry,
};

const WebKindOps kProgressOps = {
    .create = WebProgressCreate,
    .markup = MarkupProgress,
    .setProp = ProgressSetProp,
    .getProp = ProgressGetProp,
    .getValue = ProgressOpGetValue,
    .setValue = WebProgressSetValue,
    .defaultEvent = kEvMouseDown,
    .traits = kWebKindWhiteBackground,
};

const WebKindOps kSliderOps = {
    .create = WebSliderCreate,
    .markup = MarkupSlider,
    .setProp = SliderSetProp,
    .getProp = SliderGetProp,
    .getValue = SliderOpGetValue,
    .setValue = WebSliderSetValue,
    .defaultEvent = kEvChange,
    .traits = kWebKindTakesFocus,
};

const WebKindOps kSplitterOps = {
    .create = WebSplitterCreate,
    .markup = HtmlPlainDivMarkup,
    .setProp = SplitterSetProp,
    .getProp = SplitterGetProp,
    .itemEnable = SplitterEnableOp,
    .pageEvent = SplitterPageEvent,
    .placed = SplitterPlaced,
    .defaultEvent = kEvMouseDown,
    .traits = kWebKindPixelGeometry,
};

}  // namespace

void WebShapesInstall() {
    WebRegisterKind(kKindLine, &kLineOps);
    WebRegisterKind(kKindShape, &kShapeOps);
    WebRegisterKind(kKindProgress, &kProgressOps);
    WebRegisterKind(kKindSlider, &kSliderOps);
    WebRegisterKind(kKindSplitter, &kSplitterOps);
}
