// webdrawn.h - the web-view kinds the page draws or frames from a few numbers:
// Icon, Pict and ImageList (images as files of the page folder shown by
// URL), Line and Shape (canvases), Progress, Slider and Splitter (widgets),
// Panel (a container of objects or of HTML) and Timer (a record the client's
// idle processing checks). Their records, creators, properties, values,
// methods and page events.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/gfxvalues.h"
#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"
#include "session/util/json.h"

// ---- Images ----------------------------------------------------------------------------
struct WebImageListRecord;

struct WebIconRecord {
    ObjectRecord hdr;
    uint32_t resource;
    ObjectRecord* imageList;   // a web-mode image list, holding one use of it
    uint32_t imageListHandle;  // its handle: a list destroyed under the icon is not taken for another
    uint32_t imageIndex;
    char* altText;
    char* url;
};

// Size mode bits of a picture.
enum WebPictSizeBits : uint32_t {
    kPictFixed = 0x01, kPictMode4 = 0x02, kPictMode2 = 0x04, kPictMode5 = 0x08, kPictScaled = 0x10,
};
struct WebPictRecord {
    ObjectRecord hdr;
    uint32_t zoom;             // per mille, 10..65,000
    uint32_t sizeBits;         // WebPictSizeBits
    uint32_t resource;
    char* altText;
    char* url;
    uint32_t posH, posV;
    uint32_t naturalWidth, naturalHeight;   // 0 while unknown
    uint8_t backStyle;         // 1, 2
    uint8_t scrollBar;         // 1-4
};

struct WebImageListRecord {
    ObjectRecord hdr;
    WebImageListRecord* nextList;   // gWebImageLists
    uint32_t useCount;
    uint32_t sizeV, sizeH;
    uint32_t resource;
    uint8_t useMask;
    uint8_t useColorMask;
    uint8_t resourcePending;
    uint8_t colors;            // 4, 8, 16, 24 or 32
    uint8_t key[16];
    char* url;                 // the strip, '/' for every '\'
};

extern WebImageListRecord* gWebImageLists;
// The shared default strip (the standard tools) that toolbars and
// LoadStdToolBitmap use; it is never released.
extern WebImageListRecord gWebDefaultStrip;
// Whether a new image list takes its resource later (the client's image option).
extern uint8_t gWebImageResourcePending;
// The strip of the standard tools, in the page folder's images folder.
constexpr const char* kWebStdToolStrip = "images/qovtools.png";

ObjectRecord* WebIconCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                            int32_t* code);
ObjectRecord* WebPictCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                            int32_t* code);
ObjectRecord* WebImageListCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                 int32_t* code);
// Sends the shown size of a picture (asking the page its natural size first
// when unknown).
void WebPictApplySize(ObjectRecord* rec);
// Asks the page the natural size of the picture's image: at most 40 queries,
// 250 ms apart, ending at the first answer that reports the load ended ("c")
// or gives both sizes.
void WebPictAskSize(ObjectRecord* rec);
void WebImageListRelease(ObjectRecord* list, bool free);
void WebImageListDestroy(ObjectRecord* list);
// At shutdown: every web-mode image list goes.
void WebImageListDestroyAll();
void WebIconDestroy(ObjectRecord* rec);
// Every control of the list's window that shows the list is queued for redraw.
void WebImageListUsersRefresh(ObjectRecord* list);
// (The kinds that show image lists say so in their rows' image-list user slot.)
// A control that shows a web-mode image list holds one use of it; its
// release goes through WebImageListRelease. Other records are not counted.
void WebImageListTake(ObjectRecord* list);
// The strip of a live web-mode image list: its URL and the width and height
// of one image of it; false while the list is gone or has no strip.
bool WebImageListStrip(ObjectRecord* list, const char** url, int32_t* width, int32_t* height);
// The colour rule of these kinds: an RGB value below 0x1000000 or a system
// colour index up to 20 (0x80000000 plus the index); false for other values.
bool WebDrawnColor(int32_t value, uint32_t* out);

// ---- Drawn controls --------------------------------------------------------------------
struct WebLineRecord {
    ObjectRecord hdr;
    uint8_t bdrWidth;
    uint8_t bdrPattern;        // 1..6
    uint8_t drawMode;          // 1..16
    int32_t x1, y1, x2, y2;    // pixels of the window
};
struct WebShapeRecord {
    ObjectRecord hdr;
    uint8_t shape;             // 1..3
    uint32_t fillColor;
    uint8_t fillStyle;         // 1..8
    uint8_t bdrWidth;
    uint8_t bdrPattern;
    uint8_t drawMode;
    uint8_t backStyle;         // 1..2
};
typedef ProgressRecord WebProgressRecord;
struct WebSliderRecord {
    ObjectRecord hdr;
    int32_t max, min, shift;
    uint8_t orientation, tickStyle;
    uint8_t selRange;
    int32_t selStart, selLength, tickFreq;
    int32_t lineStep;
};
struct WebSplitterRecord {
    ObjectRecord hdr;
    uint8_t bdrStyle;          // 1..3
    int32_t minExtra;          // pixels
    int32_t minSize;           // pixels
};
// Mode flags of a progress bar beside the web-view flag.
constexpr uint32_t kProgressModeThemed = 0x8, kProgressModeElement = 0x10;

ObjectRecord* WebLineCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                            int32_t* code);
ObjectRecord* WebShapeCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                             int32_t* code);
ObjectRecord* WebProgressCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code);
ObjectRecord* WebSliderCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                              int32_t* code);
ObjectRecord* WebSplitterCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code);
int32_t WebProgressSetValue(ObjectRecord* rec, int32_t item, int32_t value);
// which: 0 position, 1 minimum, 2 maximum, 3 Shift, 4 line step.
int32_t WebSliderSetValue(ObjectRecord* rec, int32_t which, int32_t value);
// which 0 builds the page query of the position for the caller (*asked).
int32_t WebSliderGetValue(ObjectRecord* rec, int32_t which, int32_t* value, bool* asked);
// The cursor and drag directions of a splitter (action 55).
void WebSplitterEnable(ObjectRecord* rec, int32_t item, bool on);
// The last shown object before the splitter in its container with the same Dock.
ObjectRecord* WebSplitterNeighbour(ObjectRecord* rec);
// The page moved the splitter by dx, dy.
void WebSplitterOnMove(ObjectRecord* rec, int32_t dx, int32_t dy);

// ---- Panels and timers -----------------------------------------------------------------
typedef TimerRecord WebTimerRecord;

ObjectRecord* WebPanelCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                             int32_t* code);
int32_t WebPanelSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                        bool* commonWrite);
int32_t WebPanelGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebPanelMethod(ObjectRecord* rec, MethodCallRec* call);
// The panel was resized: inner size kept, anchored children moved, $RESIZE.
void WebPanelResize(ObjectRecord* rec, int32_t x, int32_t y, int32_t width, int32_t height, uint16_t flag);
void WebPanelDestroy(ObjectRecord* rec);
// Whether SetWinFlag1 set bit 6 of the panel's window flags.
bool WebPanelWinFlag1(ObjectRecord* rec);
void WebPanelReparent(ObjectRecord* rec);
ObjectRecord* WebTimerCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                             int32_t* code);
// The show of a timer: into gWebTimers (once), counting from now.
int32_t WebTimerActivate(ObjectRecord* rec);
void WebTimerUnlink(ObjectRecord* rec);

// The record a creator fills: the one given, else a new one of size bytes;
// none with -6 in *code when no memory is left.
ObjectRecord* WebAllocKindRecord(ObjectRecord* rec, uint32_t kind, size_t size, int32_t* code);

// Registers the creators, handlers and page events of these kinds.
void WebDrawnInstall();
void WebImagesInstall();
void WebShapesInstall();
void WebPanelsInstall();
