// objrecord.h - the object record: the common header that every native and
// web-view object begins with, the window record's own fields, the registry of
// live records that turns server handles into records, and the common steps
// every creator and destroyer runs.
#pragma once

#include <cstdint>

#include "session/util/qovtypes.h"
#include "objects/objtables.h"

#ifndef _WIN32
// The host build has no windows; records keep the same handle fields.
typedef struct HWND__* HWND;
#endif

struct EventReg;
struct FontRec;
struct FormResource;
struct ObjectCreateRecord;

// Header flags (ObjectRecord::flags).
enum ObjectFlag : uint32_t {
    kObjAlive = 0x1,
    kObjShown = 0x2,
    kObjBorder = 0x10,
    kObjDisabled = 0x40,
    kObj3D = 0x80,
    kObjPixels = 0x100,
    kObjAutoSize = 0x1000,
    kObjDisabledByProp = 0x2000,
    kObjHidden = 0x4000,
    kObjFromFormNoLoad = 0x8000,
    kObjNoAutoRedraw = 0x20000,
    kObjRightToLeft = 0x1000000,
    kObjCauseValid = 0x2000000,
    kObjDocked = 0x4000000,
    kObjNoDestroyGlobal = 0x10000000,
    kObjAcceptTab = 0x20000000,
};
// Mode flags (ObjectRecord::modeFlags).
enum ObjectModeFlag : uint32_t {
    kModeUtf8Texts = 0x1,
    kModeWebView = 0x2,
    kModeWebObject = 0x4,
    // A container: a child without a native window (a windowless object, or
    // one whose window came later) was linked to it, so a window shown over
    // its children may lie over one that paints in the container's window.
    kModeWindowlessChild = 0x8,
};

// Docking edges of the record's dock byte; 3 is "not docked".
enum Dock : uint8_t { kDockBottom = 1, kDockLeft = 2, kDockNone = 3, kDockRight = 4, kDockTop = 5, kDockFill = 6 };

// The common header, in the field order both modes share; the kind's own
// fields follow it in the kind's record.
struct ObjectRecord {
    uint8_t kind;               // ObjectKind
    uint8_t appearance;         // Style/Appearance as finally chosen
    uint32_t flags;             // ObjectFlag and the kind's own bits
    uint32_t modeFlags;         // ObjectModeFlag
    char* webClass;
    char* runName;
    char* userData;
    ObjectRecord* next;         // next sibling in the parent's child list
    uint32_t ovar;              // the server variable that holds the object
    ObjectRecord* parent;       // owning window, none for a window
    uint32_t eventMask[2];      // bit n: event n registered (0-31, then 32-36)
    EventReg* events;           // registrations
    HWND hwnd;                  // the native window, none for windowless kinds and the web view
    uint32_t elementId;         // page element "C%d" in the web-view mode
    int32_t left, top, right, bottom;
    FontRec* font;
    uint32_t fgColor, bdrColor, bgColor;
    uint16_t reserved;
    uint16_t objectId, dropId, tabId;
    uint32_t helpId;
    uint16_t zOrder;
    char* webTop;
    char* webLeft;
    char* webHeight;
    char* webWidth;
    uint32_t layoutFlags;
    uint32_t layoutFontSize;
    int32_t layoutRect[4];
    int32_t layoutRect2[4];
    char* toolTip;
    uint32_t osEventMask;
    uint8_t anchor;             // 1-9, default 7
    uint8_t dock;               // 1-6, default 3
    uint8_t webPosition;
    uint8_t context;
    ObjectRecord* children;     // windows and panels: first child
    ObjectRecord* lastChild;    // and the last one (ChildListInsert appends in one step)
    // Fields beyond the shared order.
    char* name;                 // the object's name (forms read it)
    char* helpTopic;
    char* theme;
    uint32_t handle;            // the number the server knows the object by
    uint32_t useCount;          // sub-objects shared by use count
    uint32_t recordSize;        // bytes allocated for the whole record
};

// A window's own fields, after the header.
struct WindowRecord {
    ObjectRecord hdr;
    ObjectRecord* menus;        // menu list
    FormResource* resources;    // resource chain of a loaded form
    char* formName;
    uint8_t winType;            // effective window type
    uint8_t winTypeRequested;   // as the creation asked (saved with a form)
    void* webHost;              // web-view host of the window
    void* pageObject;           // back pointer of that host
    void* oleSupport;           // OLE frame support object
    void* ribbon;
    ObjectRecord* focusObj;     // focus object of the window
    ObjectRecord* lastFocus;
    ObjectRecord* defaultButton;
    uint16_t nextCtlId;         // control ids handed to children, 3 .. 31999
    int32_t clientWidth, clientHeight;
    int32_t virtualWidth, virtualHeight;
    int32_t dockPad[4];         // left, top, right, bottom
    int32_t scrollX, scrollY;
    uint32_t style[2];          // creation style words
    HWND toolTipWnd;
    ObjectRecord* uiActiveObject;  // the Container whose OLE object is UI-active in the window
};

constexpr uint16_t kCtlIdFirst = 3;
constexpr uint16_t kCtlIdLimit = 32000;

// ---- Records --------------------------------------------------------------------
// A zero-filled record of size bytes (at least the header) with kind, alive flag
// and, for web-view records, mode flag 2; registered with a new handle. Null when
// memory or the registry runs out.
ObjectRecord* ObjectAllocRecord(uint8_t kind, uint32_t size, bool webView);
// Releases the record's memory and its handle (what it owns is freed first by
// ObjectFreeCommon and the kind's destroy).
void ObjectFreeRecord(ObjectRecord* rec);
bool ObjectIsWebView(const ObjectRecord* rec);
bool ObjectIsWindowKind(const ObjectRecord* rec);
WindowRecord* ObjectAsWindow(ObjectRecord* rec);

// ---- The registry of live records ----------------------------------------------
// Every record the server may name is registered; a handle that is not (never
// given out, or destroyed) finds nothing. The main window answers to handle
// kMainWindowHandle.
constexpr uint32_t kHandleMainWindow = 0xFFFFFFFFu;
bool ObjectRegister(ObjectRecord* rec);
void ObjectUnregister(ObjectRecord* rec);
ObjectRecord* ObjectFromHandle(uint32_t handle);
bool ObjectIsLive(const ObjectRecord* rec);
// A record held across a call that can pump messages: a server request taken
// meanwhile (a modal window's wait takes them all) may destroy it. The handle
// is noted before the call and asked after it; handles are counted and not
// given again soon, so a new record made in the freed memory does not pass for
// the old one, as it would by address.
struct ObjectRef {
    ObjectRecord* rec;
    uint32_t handle;
};
ObjectRef ObjectRefOf(ObjectRecord* rec);
// Whether the record is still registered under the handle noted; only then may
// the caller touch it again.
bool ObjectRefAlive(const ObjectRef& ref);
uint32_t ObjectLiveCount();
ObjectRecord* ObjectLiveAt(uint32_t index);
// The COLORREF of a Color object (its own field follows the header).
uint32_t ColorObjectValue(const ObjectRecord* color);
extern ObjectRecord* gMainWindowObj;

// ---- Common steps -----------------------------------------------------------------
// Parent chains are a few levels deep (a control in a panel on a tab in a
// window); every walk up one stops after this many steps, so a chain that was
// ever made to loop cannot hold the client in an endless walk.
constexpr int kParentChainMax = 256;
// The parent the creation record names (cr->windowRec when the caller resolved
// it, else the live object behind cr->window), or the main window when it
// names none or no live object. ObjectCreate resolves it (windowResolved)
// before the creator registers the new record, so the new record can never be
// its own parent.
ObjectRecord* ObjectResolveParent(const ObjectCreateRecord* cr);
// Whether parent may own rec: its chain up ends within kParentChainMax steps
// without meeting rec.
bool ObjectParentChainOk(const ObjectRecord* rec, const ObjectRecord* parent);
// Fills the header from the creation record and stores the parent window's
// record (or none) in *parent (when given). False, with no parent set, when
// the parent chain would return to the record itself: the creator then frees
// the record and answers -3.
bool ObjectInitCommon(ObjectRecord* rec, const ObjectCreateRecord* cr, ObjectRecord** parent);
uint16_t ObjectNextCtlId(ObjectRecord* window);
// Places the record's rectangle from the creation values; false when refused.
bool ObjectSetRect(ObjectRecord* rec, int32_t top, int32_t height, int32_t left, int32_t width);
// Copies the creation texts (UserData, RunName, WebClass, web geometry, ToolTip,
// name, HelpTopic, Theme) into the record; false when a copy failed.
bool CopyCreateStrings(ObjectRecord* rec, const ObjectCreateRecord* cr);
// Puts the record into its parent's child list, ordered by tab id / takes it out.
void LinkObject(ObjectRecord* rec);
bool UnlinkObject(ObjectRecord* rec);
// The child list itself, for the orders of both modes: records linked through
// next, ordered by a key (tab id natively, z-order in the web view), a record
// going after those whose key is not above its own. Every change of a child
// list goes through these two, which keep lastChild: a record whose key is at
// least the last one's is appended at once, and a record in no list is known
// without a walk, so a window of many objects costs no walk per object.
typedef uint32_t (*ChildKey)(const ObjectRecord* rec);
void ChildListInsert(ObjectRecord* rec, ChildKey key);
bool ChildListRemove(ObjectRecord* rec);
// Empties a child list without touching the children.
void ChildListForget(ObjectRecord* parent);
// Frees what every record owns: event registrations and queued events, the font
// share, texts; leaves the record itself.
void ObjectFreeCommon(ObjectRecord* rec);
// Records the rectangle as the layout base; a kind that keeps a base of its
// own (a Line's end points) is told through its registered step.
void ObjectSaveLayout(ObjectRecord* rec, uint32_t flags);
typedef void (*KindSaveLayoutFn)(ObjectRecord* rec);
void RegisterKindSaveLayout(uint32_t kind, KindSaveLayoutFn fn);
ObjectRecord* ObjectTopWindow(ObjectRecord* rec);
ObjectRecord* ObjectTopWindowChecked(ObjectRecord* rec);
// The child of a container with that name (case ignored), searched depth first.
ObjectRecord* ObjectFindChild(ObjectRecord* container, const char* name);
// A direct child of a container by key: with no name the child at the
// zero-based index in the child list, else the first whose name equals name
// exactly (children without a name skipped). Null when none.
ObjectRecord* ObjectFindChildByKey(ObjectRecord* container, uint32_t index, const char* name);

// ---- Shared state -------------------------------------------------------------------
constexpr uint32_t kTextBufSize = 40960;
extern char gTextBuf[kTextBufSize + 1];
extern uint32_t gGuiModeFlags;
constexpr uint32_t kGuiModeKeepFlagged = 0x1;
constexpr uint32_t kGuiModeFormCreating = 0x2;
constexpr uint32_t kGuiModeWebForm = 0x1000;
extern uint8_t gCreatingFromForm;      // set by form loading around each creator
extern uint8_t gCreatingFromFormSub;
extern uint8_t gCreatingKind;          // the kind being created from a form
extern bool gFormLoadCreating;         // a form's objects are being created
extern bool gDestSuppress;             // destroyed Ovars are not reported while set
