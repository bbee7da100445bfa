// webobject.h - objects whose window renders in a web view: the window record,
// the process-wide lists, creation, windows, layout, the generic operations on
// records, and the Color and Font objects of the web-view mode. Platform-free:
// what needs the session or the window layer comes through gWebObjServices.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "objects/units.h"
#include "session/proto/records.h"
#include "session/util/json.h"

struct FontRec;
struct PropChange;
struct PropQuery;

// ---- Services from the rest of the client ------------------------------------------
struct WebObjServices {
    int (*checkMethod)(uint32_t objectType, const MethodCallRec* call);  // CheckMethodCall
    void (*replyInt)(int32_t value, uint8_t kind);                       // SetReplyInt
    void (*replyText)(const char* text);                                 // SetReplyText
    FontRec** fontList;                                                  // the shared font list
    void (*fontRelease)(FontRec* font);                                  // FontRelease
    int* fontErrNo;                                                      // gFontErrNo
    // Form-file methods (13, 27, 46, 48): the forms facility's, answered as it
    // answers them.
    int32_t (*windowFormMethod)(ObjectRecord* window, MethodCallRec* call);
    void (*formRefreshChildren)(ObjectRecord* first);                    // status bars, number edits, splitters
    void (*windowLayout)(ObjectRecord* hostWindow);                      // the native layout of a host window
    void (*endProgram)();                                                // the main web window closed
    int32_t (*focusNext)(ObjectRecord* from, bool backward);             // FocusNextObject
    // The modal levels: a shown modal web window becomes the current level
    // without a wait of its own (false when the levels are exhausted); the end
    // answers -16 when the window is not the current level, else leaves it.
    bool (*modalNote)(ObjectRecord* window);
    int32_t (*modalEnd)(ObjectRecord* window);
    bool (*modalKeepHidden)();                                           // the flag beside the modal level
    int32_t (*eraseWindow)(ObjectRecord* window);                        // EraseWindowBkgnd
    int32_t (*redrawWindow)(ObjectRecord* window);                       // RedrawObjWindow
    void (*setFocusObject)(ObjectRecord* rec);                           // SetFocusObject
    int32_t (*localeInfo)(MethodCallRec* call);                          // method 40, answered by it
    // The page's mouse events 99967-99969 (up, down, move) at x, y with modifiers.
    void (*pageMouse)(int32_t code, int32_t x, int32_t y, int32_t modifiers);
    void (*replyBytes)(const void* bytes, uint32_t n);                   // SetReplyBytes
    bool (*windowActive)(ObjectRecord* window);   // the native window is the active one (it has the keys)
};
extern WebObjServices gWebObjServices;

constexpr uint8_t kWebReplyKind = 1;      // result kind of the web objects' method answers
constexpr int32_t kWebNoAnswer = INT32_MIN;

// ---- Result codes ----------------------------------------------------------------------
enum WebResult : int32_t {
    kWebOk = 0,
    kWebNotCreated = -3,
    kWebRectRefused = -4,
    kWebNotAvailable = -5,
    kWebNoMemory = -6,
    kWebNoFont = -8,
    kWebNotSupported = -9,
    kWebNotModalLevel = -16,
    kWebUnknownProperty = -35,
    kWebUnknownMethod = -37,
    kWebNoHost = -52,
    kWebModalEnd = 21761,
};

// ---- Color and Font objects ------------------------------------------------------------
struct WebColorRec {
    ObjectRecord hdr;
    uint32_t value;        // COLORREF; top bit set: an index into the colour table
};
struct WebFontObj {
    ObjectRecord hdr;
    FontRec* font;
};
constexpr uint32_t kObjKept = 0x800000;    // flag bit 23: spared by the destroy-all routines
constexpr uint32_t kColorNoComponent = 65535;
constexpr uint32_t kHsvScale = 255;        // hue and saturation travel as bytes 0-255

extern ObjectRecord* gWebColorList;
extern ObjectRecord* gWebFontObjList;

ObjectRecord* WebColorCreate(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code);
ObjectRecord* WebColorAlloc();
void WebColorDestroy(ObjectRecord* rec);
void WebClrDestroyAll();
uint32_t WebColorGetValue(const ObjectRecord* rec, uint32_t part);
void WebColorSetValue(ObjectRecord* rec, uint32_t part, uint32_t value);
int32_t WebColorMethod(ObjectRecord* rec, MethodCallRec* call);

ObjectRecord* WebFontCreate(ObjectRecord* rec, const ObjectCreateRecord* cr, int32_t* code);
FontRec* WebFontFind(const char* face, int32_t size, uint8_t bold, uint8_t italic, uint8_t underline,
                     uint8_t strike, uint32_t angle);
FontRec* WebFontFromSpec(const char* text, int32_t length);
ObjectRecord* WebFontObjAlloc(FontRec* font);
void WebFontDestroy(ObjectRecord* rec);
void WebFontDestroyAll();
// Font property codes 267 bold, 294 italic, 519 underline, 520 strike, 518
// angle, 324 size, 287 face (or, for an object-valued query, a Font object).
int32_t WebFontGetProp(ObjectRecord* rec, PropQuery* req);
int32_t WebFontSetProp(ObjectRecord* rec, const PropChange* req);
int32_t WebFontMethod(ObjectRecord* rec, MethodCallRec* call);
void WebFontRelease(FontRec* font);
// The reason of the last failed font lookup (21, 24-30).
int WebFontErrNo();
// Hue in degrees, saturation 0-1, value 0-255 (the formulas' ranges).
void HsvToRgb(double hue, double sat, double value, double* r, double* g, double* b);
void RgbToHsv(double r, double g, double b, double* hue, double* sat, double* value);
bool StrEqualNoCase(const char* a, const char* b);

// ---- Method arguments ----------------------------------------------------------------
bool WebArgGiven(const MethodCallRec* call, uint32_t i);
int32_t WebArgInt(const MethodCallRec* call, uint32_t i, int32_t def);
int32_t WebReplyInt(int32_t value);
int32_t WebReplyText(const char* text);
// A text result of the record's method: a call that asks for a UTF-8 result
// gets the one-byte texts of a record that does not hold UTF-8 converted.
int32_t WebReplyTextOf(const ObjectRecord* rec, const MethodCallRec* call, const char* text);
int32_t WebCheckMethod(uint32_t objectType, const MethodCallRec* call);
bool WebArgIsText(const MethodCallRec* call, uint32_t i);
// The direct child the first argument names: a text its exact name, a
// number its zero-based place.
ObjectRecord* WebArgChild(ObjectRecord* container, const MethodCallRec* call);
// GetObject's answer: a found object not yet bound to a program variable is
// bound to the call's and answered with its object type; else 0.
int32_t WebReplyBindObject(ObjectRecord* found, const MethodCallRec* call);
// GetObjectAsPointer's answer: the found object's bound variable; else 0.
int32_t WebReplyObjectPointer(ObjectRecord* found);

// ---- Windows -------------------------------------------------------------------------
// A web WINDOW begins with WindowRecord, as the native window record does, so
// the code that reads a window's common fields (menus, focus, types, dock
// padding, scroll offsets, form name) reads both. Its style words are the
// WindowRecord's two style words. The form name is its DivisionId: the page
// division the window lives in ("mainscrn" unless given).
// An entry of a window's menu shortcut table: the virtual-key code, flags
// (WebMenuShortcutFlag of the menus) and the item's number (0: a free entry).
struct WebMenuShortcut {
    uint8_t key;
    uint32_t flags;
    uint16_t itemNumber;
};
constexpr uint32_t kMenuShortcutsMax = 100;

struct WebWindowRecord {
    WindowRecord win;
    int32_t minScrollH, minScrollV;
    int32_t contentHeight, contentWidth;
    int32_t pageHeight, pageWidth;
    char* title;
    uint8_t winPos;            // 1-6 (4 and 6 fill the page)
    uint8_t border;            // WinBorder 1-8
    uint8_t cellWidth, cellHeight;
    uint16_t gridH, gridV;
    uint8_t scaleMode;         // Units 1-6
    ObjectRecord* cancelButton;
    uint32_t focusItem;
    int32_t mdiRect[4];
    uint8_t mdiBorder, mdiScroll;
    char* prefix;
    uint32_t percentBase[3];
    int32_t minHeight, minWidth;
    char* ribDll;
    char* ribName;
    uint8_t ribMode;
    uint8_t showWebMenu;
    char* useCss;
    char* divisionId;
    int32_t savedRect[4];
    uint8_t prevWinPos;
    int32_t fillHeight;
    uint32_t webMode;
    uint32_t iconValue;
    ObjectRecord* hostRecord;  // the native window whose web view shows it
    uint32_t frontTurn;        // when it last came to the front (the latest is the window behind the front one)
    WebMenuShortcut menuShortcuts[kMenuShortcutsMax];
    uint32_t menuShortcutCount;   // entries in use, the free ones among them included
    uint8_t menuBarSent;          // the bar is in the page as its menus are; cleared by what changes it
    char* menuKeys;               // the active shortcuts the page holds (guarded heap)
};

// Style word bits (WindowRecord::style[0]).
enum WebWinStyle : uint32_t {
    kWwsCaption = 0x20, kWwsSysMenu = 0x40, kWwsMinBox = 0x80, kWwsMaxBox = 0x100, kWwsClipCtrl = 0x800,
    kWwsMenuBar = 0x1000, kWwsVScroll = 0x8000, kWwsHScroll = 0x10000, kWwsGridAlign = 0x20000,
    kWwsNegBorders = 0x80000, kWwsNegMenus = 0x100000, kWwsNoMenuResize = 0x400000, kWwsInTaskbar = 0x800000,
    kWwsTopmost = 0x1000000, kWwsAutoScroll = 0x2000000, kWwsMdiNoRect = 0x8000000,
    kWwsButtonEnterKey = 0x10000000, kWwsBackMouseMove = 0x20000000, kWwsModalShownPlain = 0x40000000,
};
// Second style word bits (WindowRecord::style[1]).
enum WebWinStyle2 : uint32_t {
    kWws2Topmost2 = 0x1, kWws2KeepScaleOrigin = 0x2, kWws2MouseWheel = 0x8, kWws2IoCancel = 0x80,
    kWws2SizeKnown = 0x100, kWws2FillApplied = 0x200,
};
// A native window hosts web-view objects when this bit of its second style
// word is set (the host glue sets it for WEBMODE 2 and above).
constexpr uint32_t kWindowWebHostBit = 0x100;
// The menu bar's height, the native one's (Wine's default metrics).
constexpr int32_t kMenuBarHeight = 19;
enum WebWinType : uint8_t { kWwtModal = 1, kWwtDialog = 2, kWwtTool = 4, kWwtNormal = 5, kWwtMdiFrame = 6 };

extern uint32_t gWebElementCounter;        // next element id, from 1
extern ObjectRecord* gWebMainWindow;
extern ObjectRecord* gWebMainWindowAlt;
extern ObjectRecord* gWebWindowList;       // newest first, through next
extern uint8_t gWebShowMainPending;
extern ObjectRecord* gWebActiveWindow;
extern int32_t gWebPageWidth, gWebPageHeight;
extern ObjectRecord* gWebCloseSwallow;

inline WebWindowRecord* WebWin(ObjectRecord* rec) { return reinterpret_cast<WebWindowRecord*>(rec); }

// A web PANEL is a container as a window is: the layout places its children
// in its scrolled area within its dock padding.
enum WebPanelFlag : uint32_t {
    kPanelClipCtrl = 0x800, kPanelHScroll = 0x8000, kPanelVScroll = 0x10000, kPanelAutoScroll = 0x2000000,
};
struct WebPanelRecord {
    ObjectRecord hdr;
    uint32_t panelFlags;       // WebPanelFlag
    uint32_t winFlags;         // bit 0x40 kept by SetWinFlag1
    uint16_t offsetH, offsetV;
    int32_t minScrollH, minScrollV;
    int32_t innerHeight, innerWidth;
    int32_t dockPad[4];        // left, top, right, bottom
    int32_t pageHeight, pageWidth;
    uint8_t bdrStyle;
};
bool WebIsWindow(const ObjectRecord* rec);
// A native window with a web view: its controls are made in its page.
bool WebHostsControls(const ObjectRecord* rec);

// ---- Creation ------------------------------------------------------------------------
// A kind's web creator: (top window, record to fill or none, creation record,
// kind, result slot) -> the record, or none with the code in the slot.
typedef ObjectRecord* (*WebCreatorFn)(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                      int32_t* code);
// A kind's creator is slot 0 of its row in the web kind table (webkinds.h);
// kinds without one answer -3.

// gWebObjectOps.create: 0 when the object is not made in a web view, else the
// result (record in *out, or a negative code: -52 without host or web view).
int32_t CreateViaWebView(uint32_t type, uint32_t kind, ObjectCreateRecord* cr, ObjectRecord** out);
ObjectRecord* WebViewCreateObject(uint32_t type, void* host, ObjectRecord* parentOverride, uint32_t kind,
                                  ObjectCreateRecord* cr, int32_t* result);
ObjectRecord* WebCreateObject(uint32_t type, ObjectRecord* old, ObjectCreateRecord* cr, int32_t* result);
ObjectRecord* WebCreateByType(uint32_t kind, ObjectRecord* rec, int32_t* code);
// The kind of a server type in the web-view mode, -1 for none.
int32_t WebTypeToKind(uint32_t type);
bool WebSetRectFromCreate(ObjectRecord* rec, int32_t top, int32_t bottom, int32_t left, int32_t right);
int32_t WebGetRect(ObjectRecord* window, int32_t rect[4], bool toPixels);
bool WebKindTakesPercent(const ObjectRecord* rec);
void WebSaveLayout(ObjectRecord* rec, uint32_t flags);
void WebSaveLayoutTree(ObjectRecord* window, uint32_t flags);
void WebFreeObjectRecord(ObjectRecord* rec);
ObjectRecord* WebWindowCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                              int32_t* code);
// The window's element and its page-script call (its row's markup slot).
struct HtmlMarkup;
void WebWindowMarkup(HtmlMarkup& m);
ObjectRecord* WebMRegionCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                               int32_t* code);

// Image library files whose images the page is given (entries of 48 bytes).
struct WebImageEntry {
    uint32_t number;
    char name[32];
    uint16_t type;
    uint16_t value;
    uint32_t offset;
    uint32_t size;
};
struct WebImageFile {
    WebImageFile* next;
    void* file;                // read through gWebImageIo
    uint32_t base;
    uint32_t count;
    WebImageEntry* entries;
};
struct WebImageIo {
    // Reads size bytes at offset of an image library file; false when it failed.
    bool (*read)(void* file, uint32_t offset, void* out, uint32_t size);
    // Creates a new file (exclusive) under the images folder and writes data:
    // 0 written, 1 it existed already, -1 it could not be written.
    int (*writeNew)(const char* path, const void* data, uint32_t size);
    // A numbered image resource from the native sources (the form being
    // loaded, then the server): kind 3 a bitmap, 1 an icon; the block is
    // given back through freeData. False when neither has it.
    bool (*resource)(uint32_t kind, uint32_t number, uint8_t** data, uint32_t* size);
    void (*freeData)(uint8_t* data);
};
extern WebImageFile* gWebImageCache;
extern uint8_t gWebImageWrite;
extern WebImageIo gWebImageIo;
// Finds an image by resource type and number; the name goes to name (at
// least 64 bytes). Names that could leave the images folder are refused.
bool WebExtractImage(uint32_t type, uint32_t number, char* name, size_t nameSize, uint16_t* value,
                     const uint8_t* digest);
// The file an image resource becomes in the images folder: a bitmap that is
// a bare DIB gets its file header, an icon image that is no .ico file yet
// gets the icon directory of one image; other data stays as it is. The
// bytes go to a new block (GuardedFree); false for data that is too short or
// whose header does not fit its size.
bool WebImageFileFromResource(uint32_t kind, const uint8_t* data, uint32_t size, uint8_t** out, uint32_t* outSize);

// ---- Generic operations, chains and positions -------------------------------------------
ObjectRecord* WebNativeParent(ObjectRecord* rec);
void WebClientRectToRecord(ObjectRecord* rec, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t WebAlwaysFalse(uint32_t feature);
int32_t WebNotSupported();
int32_t WebFocusNextThunk(bool backward);
void WebFreeThunk(void* block);
void* ZeroAlloc(size_t size);
void WebFormLoaded(ObjectRecord* first);
// The locale characters the web edits take, copied when a form load ends.
extern char gWebDecimalChar, gWebDecimalNext;

ObjectRecord* WebFocusedObject();
ObjectRecord* WebFindObjectById(ObjectRecord* start, uint32_t id);
ObjectRecord* WebFindWindowById(uint32_t id);
void WebLinkChild(ObjectRecord* rec);
bool WebUnlinkChild(ObjectRecord* rec);
void WebSetPosition(ObjectRecord* rec, const int32_t* rect);
void WebMoveBy(ObjectRecord* rec, int32_t dy, int32_t dx);
void WebResizeBy(ObjectRecord* rec, int32_t dh, int32_t dw);
void WebResizeTo(ObjectRecord* rec, const int32_t rect[4]);
int32_t WebScaleValue(ObjectRecord* rec, int32_t value, int axis, bool toPixels);
bool WebInheritFont(ObjectRecord* top, ObjectRecord* rec, const ObjectCreateRecord* cr, bool allowDefault);
int32_t WebActivateObject(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
int32_t WebDeactivateObject(ObjectRecord* rec);
int32_t WebHideObject(ObjectRecord* rec, int noPageUpdate);
int32_t WebDestroyObject(ObjectRecord* rec);
int32_t WebEnableObject(ObjectRecord* rec, int32_t item, bool on);
// The generic enable of an element (item 0 only): its page state, a
// container's children's, and the record's flag.
int32_t WebEnableElement(ObjectRecord* rec, int32_t item, bool on);
// A kind's own enable and disable, show and hide (slots of its row).
typedef int32_t (*WebEnableFn)(ObjectRecord* rec, int32_t item, bool on);
typedef int32_t (*WebShowFn)(ObjectRecord* rec, int32_t a, int32_t b, int32_t c, int32_t d);
typedef int32_t (*WebHideFn)(ObjectRecord* rec, bool wasShown);
// Fills gWebObjectOps, the channel hooks this facility answers and the rows
// of the kinds core/ makes itself (windows, MRegions, colours, fonts).
void WebCoreInstall();
// Forgets every window and list (tests; the records themselves are the registry's).
void WebObjectsReset();

// ---- Windows -------------------------------------------------------------------------
int32_t WebShowWindow(ObjectRecord* window);
int32_t WebHideWindow(ObjectRecord* window);
void WebWindowActivate(ObjectRecord* window);
// The page's press on a window; itself: on its frame, title bar or background,
// not one of its controls (the event's value kClickOnWindowItself).
void WebWindowClicked(ObjectRecord* window, bool itself);
// A window made visible by its creation record, once its markup is made.
void WebWindowShownByCreation(ObjectRecord* window);
void WebSetActiveWindow(ObjectRecord* window);
// A request brings the window to the front as a native window is activated:
// its control that had the focus gets it back ($GOTFOCUS again), else the
// page's focus leaves the control of the window that was in front.
void WebWindowToFront(ObjectRecord* window);
// The window comes to the front because the focus goes to one of its
// controls: its control that had the focus hears $GOTFOCUS first, as a
// native window's does as it is activated, before the focus moves on.
void WebWindowFrontFor(ObjectRecord* window);
// The front window was hidden or destroyed: the window behind comes to the
// front; with none, the native window that shows the page's controls (`host`,
// the gone window's), else no window is in front.
void WebFrontWindowGone(ObjectRecord* host);
// A native window whose page holds its controls is in front of its page while
// no web window of the page is: it comes back to the front from that window
// ($DEACTIVATE there, its own $ACTIVATE), as natively it takes the activation
// back from the window. False when it was in front already.
bool WebHostToFront(ObjectRecord* host);
// A press on the page of such a window, on none of its web windows or
// controls: the window comes to the front and its control that had the
// focus gets it back ($GOTFOCUS again), as natively.
void WebHostPagePressed(ObjectRecord* host);
// The close key (Alt+F4) in the page of a native window: the page's web
// window in front gets the close its close box gives it (WebWindowOnClose);
// false when none of the page's windows is in front.
bool WebWindowCloseKey(ObjectRecord* host);
void WebFocusChanged(ObjectRecord* rec);
bool WebIsDialogWindow(const ObjectRecord* rec);
int32_t WebWindowDestroy(ObjectRecord* window);
// A poll's look at the pages: every page that shows a window is asked for the
// events it holds, which are served at once.
void WebPollPages();
int32_t WebWindowSetProp(ObjectRecord* window, uint32_t id, int32_t value, const char* text, uint32_t length);
int32_t WebWindowGetProp(ObjectRecord* window, uint32_t id, int32_t* result, const char** text);
int32_t WebWindowMethod(ObjectRecord* window, MethodCallRec* call);
void WebWindowOnClose(ObjectRecord* window);
void WebWindowOnMove(ObjectRecord* window, int32_t x, int32_t y);
void WebWindowOnResize(ObjectRecord* window, int32_t widthBefore, int32_t heightBefore, int32_t width, int32_t height);
void WebPageResized(int32_t width, int32_t height);
ObjectRecord* WebWindowFindMenu(ObjectRecord* window, int32_t position, const char* name);
ObjectRecord* WebWindowHostRecord(ObjectRecord* window);
// The window events of the page (clicked, page resized, close box, moved,
// resized): true when the event was one of them (handled or dropped).
bool WebWindowPageEvent(ObjectRecord* owner, JsonValue* ev);
void WebSetWindowBackColor(ObjectRecord* window, uint32_t color);
// A native window that hosted web windows is going: they keep no pointer to
// it (their page operations then find no web view and send nothing).
void WebWindowsHostGone(ObjectRecord* host);
// A window's record moved to another (a form load's exchange, from -> to): the
// web windows it hosts, the current web windows and the channel's owners name
// the new record.
void WebWindowRecordMoved(ObjectRecord* from, ObjectRecord* to);
// Two native windows that each hold a page host exchanged their contents (a
// form loaded into to, from to be destroyed next): the web windows and the
// channel's per-owner state of each page follow the page, so that to answers
// for its new page and from takes the old one away with it; the current
// windows that named from name to.
void WebHostRecordsExchanged(ObjectRecord* from, ObjectRecord* to);
// Whether any window of the web view has host as its host.
bool WebWindowsHostedBy(ObjectRecord* host);

// ---- Layout --------------------------------------------------------------------------
void WebClientRect(ObjectRecord* rec, int32_t out[4]);
void WebWindowClientArea(ObjectRecord* container, int32_t out[4]);
void WebLayoutChildren(ObjectRecord* container);
void WebWindowResized(ObjectRecord* window, int32_t oldHeight, int32_t oldWidth);
void WebWindowSetRect(ObjectRecord* window, const int32_t rect[4]);
void WebPlaceWindow(ObjectRecord* rec, const int32_t rect[4], int32_t oldWidth, int32_t oldHeight);
int32_t WebRectPart(const ObjectRecord* rec, const int32_t rect[4], int part);
void WebSetWrapperCss(const ObjectRecord* rec, const char* style, const char* value);
