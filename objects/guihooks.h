// guihooks.h - the windows layer's start-up and clean-up, its main window, and
// the hooks through which later facilities (timers, printing, the web view, OLE,
// tab controls, HTML controls, forms, ribbons) plug into it. Every hook may be
// empty; the layer then does without.
#pragma once

#include <windows.h>

#include <cstdint>

struct ObjectRecord;
struct MethodCallRec;
struct ContainerInfo;

// How a window whose page holds its controls gives one of them the focus
// (GuiHooks::webHostFocus).
enum HostFocusStep : int { kHostFocusShown = 0, kHostFocusNext = 1, kHostFocusPrevious = 2 };

struct GuiHooks {
    // Pump and main window.
    uint32_t (*timerPeriod)();                       // every pump turn: the period timer 6 needs, 0 none
    void (*timerTick)();                             // WM_TIMER 6 of the main window
    bool (*oleAccelerator)(MSG* m);                  // true: an in-place object took the message
    void (*webViewPending)();                        // page messages (every pump turn)
    void (*webViewFlush)();                          // the open page message batch
    void (*printDialogCommand)(HWND wnd, WPARAM wp, LPARAM lp);  // WM_COMMAND 401 of the main window
    bool (*consolePoll)();                           // console input, when a console is attached
    // Keys.
    bool (*tabControlCycle)(bool backward);          // Ctrl+Tab: true when a tab control took it
    bool (*tabControlHotKey)(ObjectRecord* tab, uint32_t key);  // Alt+key on a tab control's hot keys
    bool (*toolBarMnemonic)(ObjectRecord* bar, uint32_t key);   // Alt+key on a toolbar's buttons
    bool (*htmlExecCommand)(ObjectRecord* html, const char* command);
    int (*htmlTranslateAccel)(ObjectRecord* html, MSG* m);      // 1: handled
    // The window is a web view's pane: its keys (Tab, Alt, F10 among them)
    // are the page's, which moves its own focus and runs its own menu bar.
    bool (*webViewPane)(HWND wnd);
    // An HTML control's focus inside its page: direction 0 plain, 1 forward, 2
    // backward, 3 first, 4 last; 0 when an element of the page took it.
    int32_t (*htmlSetFocus)(ObjectRecord* html, int32_t direction);
    // Windows.
    int32_t (*windowFormMethod)(ObjectRecord* win, MethodCallRec* call);    // form file methods
    int32_t (*windowRibbonMethod)(ObjectRecord* win, MethodCallRec* call);  // methods 42-45
    int32_t (*controlPropertyPage)(ObjectRecord* win, MethodCallRec* call);  // method 24
    int32_t (*windowImagePrint)(ObjectRecord* win);  // PrintForm: the window's image on the default printer
    void (*ribbonCreate)(ObjectRecord* win, int adjust);
    int32_t (*ribbonHeight)(ObjectRecord* win);
    int32_t (*webHostCreate)(ObjectRecord* win, uint32_t webMode);  // WEBMODE 2 or more: 0 or -52
    void (*webHostMoved)(ObjectRecord* win);
    void (*webHostResize)(ObjectRecord* win);
    // A window whose page holds its controls: the page gives one of them the
    // focus and the window's keys go to the page (true: one took it). Shown
    // (kHostFocusShown): its focused control, else the first in tab order; a
    // Tab or Shift+Tab that reaches the window itself, no control of the page
    // having the keys (kHostFocusNext, kHostFocusPrevious): the next or the
    // previous from its focused control, else the first or the last.
    bool (*webHostFocus)(ObjectRecord* win, int step);
    bool (*tabControlPaintOverlaps)();               // the tab-control painting switch
    void (*tabControlMarkRefresh)(ObjectRecord* tab);  // its page is repainted after the operation
    bool (*panelInfo)(ObjectRecord* panel, ContainerInfo* out);  // a Panel's client fields
    HWND (*panelPaintDC)(ObjectRecord* panel, HDC* dc);      // a Panel's DC while it paints
    void (*movieOnNotify)(HWND wnd, uint32_t deviceId);     // MM_MCINOTIFY with MCI_NOTIFY_SUCCESSFUL
    // A button pressed in a window or panel over an AutoZoom picture (x, y in
    // the window's client coordinates): the picture zooms, pans or draws its
    // rubber band. The button's events are posted either way.
    void (*pictMouse)(ObjectRecord* container, int32_t x, int32_t y, bool right, bool dblClick);
    // The same for an OLE Container under the point (its verbs), and Enter on
    // a focused Container (true when it took the key).
    void (*oleMouse)(ObjectRecord* container, int32_t x, int32_t y, bool right, bool dblClick);
    bool (*oleEnter)(ObjectRecord* rec);
    // OLE, started on first use and ended last at exit.
    bool (*oleInit)();
    void (*oleUninit)();
    // Image lists for their users outside the picture facility (list and tree
    // views): take one use, drop one (the last with free destroys the list),
    // the list's HIMAGELIST.
    void (*imageListTakeUse)(ObjectRecord* list);
    void (*imageListRelease)(ObjectRecord* list, bool free);
    void* (*imageListHandle)(ObjectRecord* list);
};
extern GuiHooks gGuiHooks;

// What happens to a window that facilities above the layer act on: the layer
// raises the event, every facility that subscribed (in its Install) hears it.
enum WindowEvent : uint8_t {
    kWindowActivated,    // on: activated (true) or deactivated (false)
    kWindowDestroyed,    // before its children and its handle go; on is false
    kWindowFontChanged,  // one of its font properties changed; on is false
    kWindowEventCount
};
using WindowEventHandler = void (*)(ObjectRecord* window, bool on);
constexpr uint32_t kWindowEventHandlersMax = 8;
// Null when the handler is on the event's list (subscribing it again changes
// nothing), else the reason it was refused.
const char* WindowEventSubscribe(WindowEvent event, WindowEventHandler handler);
// Calls every handler on the event's list once, in the order they subscribed.
void WindowEventRaise(WindowEvent event, ObjectRecord* window, bool on);

// A facility as the start-up wiring lists it: its name in the clean-up log,
// what it starts when the runtime starts, what it releases at exit. Either
// function may be empty.
struct FacilityRow {
    const char* name;
    bool (*start)();
    void (*cleanup)();
};
constexpr uint32_t kFacilityRowsMax = 16;
// Puts a row on the facility list; null when it is on it (a row with the same
// name is not added twice), else the reason it was refused.
const char* FacilityListAdd(const FacilityRow& row);
// The starts, then at exit the clean-ups, of the rows in the order they were
// added: a row's clean-up still finds the objects of the rows after it.
bool FacilityListStart();
void FacilityListCleanup();

constexpr UINT_PTR kMainTimerId = 6;
constexpr WPARAM kCmdPrintDialog = 401;

// Window classes.
extern const char kClassWindow[];      // "Qovwin": top windows and the main window
extern const char kClassWindowS[];     // "Qovwins": dialogs (modal and dialog types)
extern const char kClassFocus[];       // "Qovfocus": the focus holder of a window without controls
extern const char kClassMdiFrame[];    // "Qovmdif"
extern const char kClassMdiChild[];    // "Qovmdic"

extern HINSTANCE gInstance;
extern ObjectRecord* gMainWindowP;     // the hidden main window object
extern HWND gMainWindowWnd;

// Font files, the colour table and the default font.
bool RuntimeStartup();
// Starts OLE, once, before the first COM use on the main thread; true when
// it runs. Not tried while ole32 cannot be loaded.
bool RuntimeOleStart();
// Loads the OLE libraries (ole32, oleaut32, olepro32) before the first COM
// call of a request: false when one cannot be loaded, and the request is
// refused with its no-memory code (-6). Tried again by the next request.
bool RuntimeOleLibraries();
// Makes the common controls ready, once; called before a control window is
// made. False when comctl32 cannot be loaded: the window is not made (-6).
bool CommonControlsInit();
bool RegisterWindowClasses(HINSTANCE inst);
// Registers the classes and builds the hidden main window object; its window
// handles 1174, timer 6 and WM_COMMAND 401. Null on failure.
HWND CreateTheMainWindow(HINSTANCE inst);
// The window procedure of every client window class.
LRESULT CALLBACK HandleWindowMsg(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
// Releases every facility at exit: the facility list's clean-ups, then the
// colours, fonts and the main window, logging "902." steps.
void CleanupTheRuntime();
void ObjectCleanup();
void GuiCleanup();
// Puts the layer's entries into the session's hook table and the object
// model's; its row starts the runtime and destroys the windows at exit.
FacilityRow GuiInstallHooks();
// The font files beside the program that start-up added for this process.
uint32_t RuntimeFontFileCount();
// Writes one numbered clean-up line ("902.GuiCleanup-started.") to the debug log.
void CleanupLogStep(const char* step);
