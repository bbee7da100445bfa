// olecontainer.h - the OLE container: the record of one hosted ActiveX control
// (CGenObject) with its site objects, the per-window form support (root
// storage, in-place frame, item container, drop target, ambient font), the
// Control object (kind 32), its class information, and the flat entries
// through which the object model reaches them.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <ocidl.h>

#include <cstdint>

#include "session/util/olestore.h"
#include "objects/objrecord.h"

struct AutoClient;
struct ObjectCreateRecord;
class CGenObject;
class CQovFormOleSupport;

// OLEMISC bits that change what the container does.
enum OleMiscBit : DWORD {
    kMiscRecomposeOnResize = 0x1,
    kMiscOnlyIconic = 0x2,
    kMiscActsLikeLabel = 0x2000,
    kMiscActivateWhenVisible = 0x100,
    kMiscInvisibleAtRuntime = 0x400,
    kMiscAlwaysRun = 0x800,
    kMiscActsLikeButton = 0x1000,
    kMiscNoUiActivate = 0x4000,
    kMiscSetClientSiteFirst = 0x20000,
};

// Ambient DISPIDs the container answers.
enum AmbientId : DISPID {
    kAmbBackColor = -701, kAmbDisplayName = -702, kAmbFont = -703, kAmbForeColor = -704, kAmbLocaleId = -705,
    kAmbMessageReflect = -706, kAmbScaleUnits = -707, kAmbTextAlign = -708, kAmbUserMode = -709,
    kAmbUiDead = -710, kAmbShowGrabHandles = -711, kAmbShowHatching = -712, kAmbDisplayAsDefault = -713,
    kAmbSupportsMnemonics = -714, kAmbAutoClip = -715,
};
constexpr DISPID kDispIdEnabled = -514;

// The number of a Container or Control within its window: 1..299.
constexpr uint32_t kItemNumberLimit = 300;
constexpr uint32_t kClassIdMax = 39;

// ---- Class information of a control class ------------------------------------------
constexpr uint32_t kTlbEventNameMax = 32;
struct TlbEvent {              // 40 bytes
    char name[kTlbEventNameMax + 4];
    DISPID id;
};
constexpr uint32_t kTlbPropNameMax = 40;
struct TlbProperty {
    TlbProperty* next;
    char name[kTlbPropNameMax + 1];
    MEMBERID id;
    VARTYPE getType;
    VARTYPE putType;
};
constexpr uint32_t kControlClassNameMax = 39;
struct ControlClassInfo {
    ControlClassInfo* next;
    char clsid[kClassIdMax + 1];
    char className[kControlClassNameMax + 1];
    DWORD helpContext;
    BSTR helpFile;
    TlbProperty* properties;
    TlbEvent* events;
    uint32_t eventCount;
};
bool LoadTypeLibOfClsid(const char* clsidText, ITypeLib** out);
ControlClassInfo* ControlTypeInfoLoad(const char* clsidText, bool properties);
TlbEvent* TlbEventList(ITypeInfo* source, uint32_t* count);
TlbProperty* TlbPropertyList(ITypeInfo* iface);
ControlClassInfo* ControlTypeLibLookup(const char* clsidText);
ControlClassInfo* ControlProgIdToClsid(const char* progId);
void ControlClassInfoFreeAll();

// ---- The Control record (kind 32) ------------------------------------------------------
struct ControlRecord {
    ObjectRecord hdr;
    char classId[kClassIdMax + 1];
    uint16_t itemNumber;
    CONTROLINFO info;
    uint32_t infoValid;
    CGenObject* object;
    uint32_t reserved;
    ControlClassInfo* typeInfo;
    char* remServer;            // nothing sets it: read as ""
};

// Creation results; the detail of -83 goes to gObjectCreateDetail (session/config.h).
enum ControlCreateCode : int32_t {
    kCtlCreateNoObject = -3,
    kCtlCreateBadRect = -4,
    kCtlCreateNoMemory = -6,
    kCtlCreateDetailed = -83,
};
enum ControlCreateDetail : int32_t {
    kDetailNoItemNumber = 101,
    kDetailNoFormSupport = 102,
    kDetailContainerFailed = 103,
    kDetailControlFailed = 104,
    kDetailNoClassId = 110,
};

ControlRecord* ControlOf(ObjectRecord* rec);
ObjectRecord* ControlCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
uint16_t OleItemNumberAlloc(ObjectRecord* window);
// The item number and the window's form support a new Container or Control
// (rec) needs: 0 when both are had, else the detail of the failure (101 or
// 102). The object belongs to its top window (a Panel's object too), which
// replaces *window: item numbers and the form support are that window's.
int32_t OleObjectSlots(ObjectRecord** window, ObjectRecord* rec, uint16_t* itemNumber);
void OleItemNumbersMark(ObjectRecord* container, uint8_t* used);
constexpr uint32_t kControlShownMessage = 1175;
constexpr uint32_t kStateBit29 = 0x20000000u;
constexpr uint32_t kStateBit8 = 0x8;
constexpr uint32_t kCrFlagBit4 = 0x10;

// ---- The Container record (kind 31) ----------------------------------------------------
// Creation modes of a Container's object.
enum ContainerMode : uint16_t {
    kModeNone = 0, kModeControl = 1, kModeLinkFile = 3, kModeLinkData = 4, kModeStatic = 5, kModeNew = 6,
    kModeFromFile = 7, kModeFromData = 8, kModeLoad = 9,
};
constexpr uint32_t kContainerRecordSize = 300;
constexpr uint32_t kContainerTextMax = 255;      // HostName and SourceDoc from creation
struct ContainerRecord {
    ObjectRecord hdr;
    char classId[kClassIdMax + 1];
    uint16_t itemNumber;
    CONTROLINFO info;
    uint32_t infoValid;
    CGenObject* object;         // null while the Container is empty
    uint16_t mode;              // ContainerMode
    uint16_t autoAct;           // 1..3
    uint16_t sizeMode;          // 1..4
    uint32_t autoVerb;
    uint16_t backStyle;         // 1..2
    uint16_t displayType;       // 1..2; 2 shows the object as an icon
    uint32_t oleDrop;
    uint16_t oleTypeA;          // 1..3
    uint16_t reserved16;
    char* hostName;
    char* sourceDoc;
    uint32_t reserved32;
    uint16_t updateOpt;         // 1..2
};
enum ContainerUpdateOpt : uint16_t { kUpdateAlways = 1, kUpdateOnCall = 2 };
enum ContainerDisplayType : uint16_t { kDisplayContent = 1, kDisplayIcon = 2 };
// OLETypeA: 2 keeps the Insert Object dialog from linking, 3 links a SourceDoc.
enum ContainerOleTypeA : uint16_t { kOleTypeAEmbedded = 1, kOleTypeANoLink = 2, kOleTypeALinked = 3 };
enum ContainerSizeMode : uint16_t { kSizeModeAutoSize = 1, kSizeModeClip = 2, kSizeModeFit = 3, kSizeModeStretch = 4 };
constexpr uint32_t kOleVerbFirstId = 32000, kOleVerbLastId = 32499;
ContainerRecord* ContainerOf(ObjectRecord* rec);
ObjectRecord* ContainerCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code);
// The item number of a Container or Control, 0 for any other record.
uint16_t OleItemNumberOf(ObjectRecord* rec);
// The CGenObject of a Container or Control, null for any other record.
CGenObject* OleObjectOf(ObjectRecord* rec);
// A SizeMode 3 fit: the object's extent (pixels) fitted by the smaller factor
// into the rectangle's size, top-left kept; the whole size when a factor is 0.
void OleFitBySmallerFactor(int32_t width, int32_t height, int32_t extentX, int32_t extentY, int32_t* outW,
                           int32_t* outH);

// ---- CGenObject operations -------------------------------------------------------------
CGenObject* GenObjNew(ObjectRecord* window, ObjectRecord* rec, OleStoreInfo* store);
BOOL GenObjCreateControl(CGenObject* g, REFCLSID clsid, BOOL isNew, BOOL visible);
void GenObjDoVerb(CGenObject* g, LONG verb, MSG* msg);
int GenObjFocus(CGenObject* g);
void GenObjMnemonic(CGenObject* g, MSG* msg);
void GenObjAmbientChanged(CGenObject* g, DISPID id);
int GenObjShowState(CGenObject* g, int state);
HRESULT GenObjPropertyPages(CGenObject* g, HWND owner, DISPID id, const CLSID* page);
void GenObjDraw(CGenObject* g, HDC hdc);
RECT GenObjRect(CGenObject* g, bool inPlace);
void GenObjSetObjectRects(CGenObject* g);
void GenObjSyncExtent(CGenObject* g);
void GenObjSetHostNames(CGenObject* g);
HRESULT GenObjSave(CGenObject* g);
AutoClient* GenObjGetAutomation(CGenObject* g);
IUnknown* GenObjGetUnknown(CGenObject* g);
void GenObjDeactivate(CGenObject* g, int force);
// The record's window no longer names it as its UI-active object.
void OleForgetUiActive(ObjectRecord* rec);
void GenObjClose(CGenObject* g);
void GenObjRelease(CGenObject* g);
ULONG GenObjAddRef(CGenObject* g);
ULONG GenObjUnref(CGenObject* g);
// State the tests read.
struct GenObjState {
    DWORD miscStatus;
    DWORD aspect;
    SIZEL extent;
    int inPlaceActive, uiActive, openInWindow;
    int inPlaceLocks, deactivatePending;
    int notifyConnected;
    int closeNotices;       // OnClose calls the advise sink has had
    IOleObject* oleObject;
    IOleControl* oleControl;
};
GenObjState GenObjInspect(CGenObject* g);
IUnknown* GenObjSite(CGenObject* g, REFIID iid);  // a tear-off, AddRef'd (null when absent)

// Container objects: creation by mode (the class for modes 1 and 6, the file
// for 3 and 7, the data for 4, 5 and 8; the icon metafile of an iconic object).
BOOL GenObjCreate(CGenObject* g, const CLSID* clsid, const char* file, IDataObject* data, HGLOBAL iconPict);
BOOL GenObjInsertDialog(CGenObject* g, BOOL fromFile);
void GenObjVerbMenu(CGenObject* g, HMENU menu, UINT position);
BOOL GenObjSetUpdateOptions(CGenObject* g, DWORD option);
BOOL GenObjUpdate(CGenObject* g);
void GenObjSetRecord(CGenObject* g, ObjectRecord* rec);

// ---- Form support -----------------------------------------------------------------------
CQovFormOleSupport* OleFormSupportCreate(ObjectRecord* window, const char* monikerName);
CQovFormOleSupport* OleFormOf(ObjectRecord* window);
IOleInPlaceFrame* OleFormFrame(CQovFormOleSupport* f);
IOleItemContainer* OleFormItemContainer(CQovFormOleSupport* f);
IStorage* OleFormRootStorage(CQovFormOleSupport* f);
IMoniker* OleFormMoniker(CQovFormOleSupport* f);
// A new enumerator over a copy of n pointers (each AddRef'd by it); null without memory.
IEnumUnknown* EnumUnknownCreate(IUnknown* const* items, ULONG n);

// ---- The flat entries ---------------------------------------------------------------
int OleControlNew(ObjectRecord* window, ObjectRecord* rec, OleStoreInfo* store, BOOL visible);
void OleControlRelease(ObjectRecord* rec);
void OleObjDraw(ObjectRecord* rec, HDC hdc);
void OleObjDoVerb(ObjectRecord* rec, LONG verb, MSG* msg);
AutoClient* OleObjGetAutomation(ObjectRecord* rec);
void OleObjGetDispatchVariant(ObjectRecord* rec, VARIANT* v);
HRESULT OleObjPropertyPages(ObjectRecord* rec, HWND owner, DISPID id, const CLSID* page);
int OleObjSetFocus(ObjectRecord* rec);
int OleObjShowState(ObjectRecord* rec, int state);
void OleObjResize(ObjectRecord* rec, uint32_t propId);
void OleObjPropChanged(ObjectRecord* rec, uint32_t propId);
void OleObjMnemonic(ObjectRecord* rec, MSG* msg);
void OleObjAmbientChanged(ObjectRecord* rec, DISPID id);
int OleFormEnsure(ObjectRecord* window, const char* monikerName);
void OleFormRelease(ObjectRecord* window);
void OleFormUpdateFont(ObjectRecord* window);
void OleFormFrameActivate(ObjectRecord* window, BOOL activate);
int OleFormDeactivate(ObjectRecord* window);
int OleFormTranslateAccel(ObjectRecord* window, MSG* msg);

// A ClassId text ("{...}" or a ProgID) as a CLSID; a failure leaves WINERR in gErrorText.
bool OleClassIdToClsid(const char* text, CLSID* clsid);
// Containers and form storage.
CGenObject* OleContainerNew(ObjectRecord* window, ObjectRecord* rec, OleStoreInfo* store);
void OleContainerRelease(ObjectRecord* rec);
void OleObjAddVerbs(ObjectRecord* rec, HMENU menu, UINT position);
int OleObjSetUpdateOptions(ObjectRecord* rec, DWORD option);
int OleObjUpdate(ObjectRecord* rec);
// A click, double click or Enter on a Container (double: double click or Enter;
// x, y in the window's client coordinates).
void OleObjVerbMenu(ObjectRecord* rec, bool dblOrEnter, int32_t x, int32_t y, bool right);
// Saves the window's objects into their sub-storages; false when one failed
// (an object that cannot save at all, E_NOTIMPL, counts as saved empty).
bool OleFormSaveEach(ObjectRecord* window);
int OleFormSaveObjects(ObjectRecord* window, HANDLE file, uint32_t base, uint32_t* size);
void OleFormReleaseStorage(ObjectRecord* window);
void OleFormSaveToTemp(ObjectRecord* window);
// The window a form load made became the asking window (the records were
// exchanged): the form support and its objects follow it.
void OleFormWindowMoved(ObjectRecord* from, ObjectRecord* to);
extern OleStoreInfo gFormOleTemp;
// The form writer's OLE area: the window's objects saved, as bytes (GuardedAlloc).
bool OleFormAreaBytes(ObjectRecord* window, uint8_t** data, uint32_t* size);
// The lock bytes over a file region (file set) or a copy of a memory block
// (one reference); null without memory.
ILockBytes* LockBytesCreate(const OleStoreInfo* where);
// The saved storage of a form load, opened once per window; null when none.
IStorage* OleFormSavedStorage(ObjectRecord* window, const OleStoreInfo* store);
// The drop effect of the keys (move; copy with Ctrl; link with Ctrl+Shift),
// as far as the source allows it.
DWORD DropEffectOf(DWORD keys, DWORD allowed);
// The Container a drop at the screen point lands on, or null.
ObjectRecord* DropTargetAt(ObjectRecord* container, HWND wnd, POINTL screen);
// The window's drop target (tests call it directly), not AddRef'd.
IDropTarget* OleFormDropTarget(ObjectRecord* window);

// ---- Type-library browser ----------------------------------------------------------------
int32_t TypeLibBrowseClassId(const char* classId, HWND tree);
void TypeLibBrowseFree();

struct OlePropReq;
// Slot 17 of Containers and Controls: a named property of the object (-57 without one).
int32_t OleObjProperty(ObjectRecord* rec, OlePropReq* set, OlePropReq* get);
// Registers the Container kind (called by OleContainerInstall).
void ContainerInstall();
// Registers the Control kind and the container's hooks with the object model.
void OleContainerInstall();
