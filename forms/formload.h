// formload.h - loading a QOF form into a Window object: FormLoadQof and its
// steps (reading, creating the objects, the code output, the exchange of the
// window records), the form's resources for pictures, icons and image lists,
// the header queries, and the Window methods that reach them.
#pragma once

#include <cstdint>

#include "forms/formwrite.h"
#include "forms/qoffile.h"
#include "objects/objcreate.h"
#include "session/proto/records.h"

// Results of FormLoadQof besides success (version x 65536).
enum FormLoadResult : int32_t {
    kFormNoStreamMemory = 201,
    kFormWindowNotEmpty = 300,
    kFormNameUnresolved = 301,
    kFormServerName = 302,
    kFormNoContextMemory = 303,
    kFormCantOpen = 304,
    kFormReadFailed = 305,
    kFormXmlOutputFailed = 307,
    kFormCodeNamePrep = 308,
    kFormCodeFileCreate = 309,
};
// Load options.
enum FormLoadOption : uint32_t {
    kFormOptNoResources = 0x1,
    kFormOptAskIgnore = 0x80,
    kFormOptNoShow = 0x400,
    kFormOptCallErrors = 0x1000,
    kFormOptFromXml = 0x2000,       // method 13: convert from an XML form file first
};
// FormFileContext flags.
enum FormContextFlag : uint32_t {
    kFcError = 0x1, kFcCodeNotLoaded = 0x2, kFcXmlWriter = 0x4, kFcNoXml = 0x8, kFcCodeFileOpen = 0x10,
    kFcOldVersion = 0x40, kFcAskIgnore = 0x80, kFcNetObjects = 0x100, kFcRequires96 = 0x200,
    kFcWebForm = 0x800, kFcCallErrors = 0x1000, kFcFromXml = 0x2000, kFcUtf8Form = 0x8000,
};
// The four window overrides, each value + 1 (0 keeps the file's value).
enum FormOverride : uint32_t { kOvInTaskbar = 0, kOvMdiScroll = 1, kOvWinType = 2, kOvWinBorder = 3, kOvCount = 4 };
constexpr uint32_t kFormErrTextSize = 80;

struct FormEntry {
    char name[kQofNameSize];
    ObjectRecord* object;       // null when its creation failed and was ignored
    uint8_t eventCount;
    uint8_t ownEventNames;      // Control objects name their own events
    FormEventItem* events;
};
// What the Container and Control creators get to open the form's OLE storage.
struct FormOleStorage {
    const uint8_t* file;
    uint32_t reserved;
    uint32_t offset;
    uint32_t size;
};

struct FormFileContext {
    uint32_t flags;             // FormContextFlag
    ObjectRecord* window;       // the window the load made
    uint16_t entryCount;
    char formName[kQofNameSize];
    FormEntry entries[kQofMaxEntries];
    QofFile file;
    void* codeFile;             // the code output file (HANDLE)
    uint32_t overrides[kOvCount];
    uint32_t version;
    FormResource* resources;    // the chain built by reading
    char errorText[kFormErrTextSize + 1];
    uint8_t errorCode;
    bool windowHidden;          // row 0 was not marked visible
};

// The creators of kinds that form loading reaches outside the object types:
// the sub-objects of status bars and tool bars (filled by their facility).
struct FormCreatorHooks {
    ObjectCreatorFn statusPanelCreate;
    ObjectCreatorFn toolButtonCreate;
    // Loads the pages of the HTML controls among a container's children, which
    // a form load leaves to its end (filled by the HTML control).
    void (*htmlRebuildAll)(ObjectRecord* firstChild, bool single);
    // The end of a form load's objects: the saved OLE storage is released, and
    // once the loaded window's record moved into the asking window (from ->
    // to), the OLE objects follow it. Filled by the OLE container.
    void (*oleReleaseStorage)(ObjectRecord* window);
    void (*oleWindowMoved)(ObjectRecord* from, ObjectRecord* to);
    // The same for the web view (the windows it hosts, its current windows,
    // its page owners), before the old record is destroyed. Filled at start-up.
    void (*webWindowMoved)(ObjectRecord* from, ObjectRecord* to);
    // Whether windows of the web view live in the page a native window hosts:
    // such a window is not empty. Filled at start-up.
    bool (*hostsWebWindows)(ObjectRecord* window);
};
extern FormCreatorHooks gFormCreatorHooks;
// The OLE storage descriptor of the load in progress (Container, Control).
extern FormOleStorage gFormOleStorage;
// Set while a load runs, with its context; one load at a time.
extern bool gFormLoadInProgress;
extern FormFileContext* gFormLoadContext;
extern ObjectRecord* gFormLoadAskingWindow;
// The text of the last failed load (Window method 48).
extern char gFormLastError[kFormErrTextSize + 1];
// The tool-bar style switch: when set, tool bars of old writers keep their ShowTips.
extern uint8_t gToolBarStyleSwitch;

// Whether a file name is a client path ('!' and the path). Form loads, the
// form-file queries, a save's code file and a conversion's XML file accept
// only these; a server file's name is refused without fetching it.
bool FormNameIsClientPath(const char* name);
int32_t FormLoadQof(ObjectRecord* window, const char* fileName, const char* xmlOutput, const char* codeOutput,
                    uint32_t options, const uint32_t overrides[kOvCount], char* errorText);
bool FormFileRead(FormFileContext* ctx);
bool FormFileCreateObjs(FormFileContext* ctx, FormOleStorage* ole);
bool FormFileReadCode(FormFileContext* ctx);
// Yes/No box "Unable to Create: name\r\nIgnore Error?"; true for Yes.
bool FormAskIgnoreError(const char* name);

// A copy of a resource (the caller frees it with LocalFreeMem): of the load in
// progress, else of the window's chain; by name with case, else by number.
bool FormResGetData(ObjectRecord* window, uint16_t kind, uint32_t number, const char* name, uint8_t** data,
                    uint32_t* size, uint16_t* flags);

int32_t FormFileGetFlags(ObjectRecord* window, const char* fileName);
int32_t FormFileGetInfo(ObjectRecord* window, const char* fileName, uint32_t selector);

// The end of a load the server asked for: $LOAD posted on the window when
// registered, and the web view told (WebFormLoaded with the window's first
// child; for a native form only the locale bytes are taken).
void FormLoadFinish(ObjectRecord* window);
// Window methods 13, 27, 46 and 48.
int32_t FormWindowMethod(ObjectRecord* window, MethodCallRec* call);
// Frees the resource chain and form name a loaded window keeps (its destroy).
void FormWindowFree(ObjectRecord* window);
// Puts the forms' entries into the windows layer's hooks; its row frees the
// stream buffer at exit.
struct FacilityRow;
FacilityRow FormsInstall();
