// guistartup.cpp - start-up and clean-up of the windows layer: fonts, OLE and
// the common controls (both on first use), the window classes, the hidden main window
// and its messages, the numbered clean-up steps, and the hooks into the session
// and object model.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "objects/color.h"
#include "objects/events.h"
#include "objects/focus.h"
#include "objects/font.h"
#include "objects/gdicache.h"
#include "objects/guihooks.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/pump.h"
#include "objects/window.h"
#include "session/log.h"
#include "session/nomemwin.h"
#include "session/session.h"
#include "session/util/strutil.h"
#include "session/util/mem.h"

GuiHooks gGuiHooks;
HINSTANCE gInstance;
ObjectRecord* gMainWindowP;
HWND gMainWindowWnd;

const char kClassWindow[] = "Qovwin";
const char kClassWindowS[] = "Qovwins";
const char kClassFocus[] = "Qovfocus";
const char kClassMdiFrame[] = "Qovmdif";
const char kClassMdiChild[] = "Qovmdic";

static bool gClassesRegistered;
static bool gOleTried;
static bool gOleStarted;

void CleanupLogStep(const char* step) { DebugLogWrite(step, "%s", ""); }

// Font files shipped beside the program are added for this process alone, so
// the server's programs can name them whether or not they are installed.
static const char* const kFontFilePatterns[] = {"*.ttf", "*.otf", "*.fon"};
static char** gAddedFonts;
static uint32_t gAddedFontCount;

static void AddOneFontFile(const char* path) {
    if (!AddFontResourceExA(path, FR_PRIVATE, nullptr)) return;
    char** grown = static_cast<char**>(GuardedRealloc(gAddedFonts, (gAddedFontCount + 1) * sizeof(char*)));
    if (!grown) {
        RemoveFontResourceExA(path, FR_PRIVATE, nullptr);
        return;
    }
    gAddedFonts = grown;
    gAddedFonts[gAddedFontCount] = DupStr(path);
    if (gAddedFonts[gAddedFontCount]) gAddedFontCount++;
    else RemoveFontResourceExA(path, FR_PRIVATE, nullptr);
}

static void AddProgramFontFiles() {
    char dir[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, dir, sizeof dir);
    if (n == 0 || n >= sizeof dir) return;
    char* slash = strrchr(dir, '\\');
    if (!slash) return;
    slash[1] = 0;
    for (const char* pattern : kFontFilePatterns) {
        char spec[MAX_PATH + 8];
        snprintf(spec, sizeof spec, "%s%s", dir, pattern);
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA(spec, &found);
        if (h == INVALID_HANDLE_VALUE) continue;
        do {
            char path[MAX_PATH + 260];
            snprintf(path, sizeof path, "%s%s", dir, found.cFileName);
            AddOneFontFile(path);
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    if (gAddedFontCount) DebugLogWrite("FontFiles", "%u added", gAddedFontCount);
}

uint32_t RuntimeFontFileCount() { return gAddedFontCount; }

static void RemoveProgramFontFiles() {
    for (uint32_t i = 0; i < gAddedFontCount; i++) {
        RemoveFontResourceExA(gAddedFonts[i], FR_PRIVATE, nullptr);
        LocalFreeMem(gAddedFonts[i]);
    }
    GuardedFree(gAddedFonts);
    gAddedFonts = nullptr;
    gAddedFontCount = 0;
}

// The common controls are made ready before the first control window rather
// than at start-up: loading them is about a tenth of a launch, and a session
// that makes no control never needs them. Every control window is made
// through CtlCreateWindowed, which calls this first.
static bool gCommonControlsReady;

bool CommonControlsInit() {
    if (gCommonControlsReady) return true;
    if (!SysLibNeed(kSysLibComCtl)) return false;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                                                 ICC_COOL_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    if (!InitCommonControlsEx(&icc)) InitCommonControls();
    gCommonControlsReady = true;
    return true;
}

// OLE is started before its first use rather than at start-up: loading ole32
// (with the RPC and COM base it needs) and starting OLE is about a twentieth
// of a launch, and a session that hosts no COM object never needs it. Every
// COM facility calls this before its first COM call on the main thread; so
// do the rich edit (its copy and paste go through the OLE clipboard) and the
// movie (the media driver would otherwise claim the thread for COM first, in
// a mode OLE cannot start in). Tried once; the windows work without it.
bool RuntimeOleStart() {
    if (gOleTried) return gOleStarted;
    // Not tried while ole32 cannot be loaded: a later request tries again.
    if (!SysLibNeed(kSysLibOle)) return false;
    gOleTried = true;
    if (gGuiHooks.oleInit) gOleStarted = gGuiHooks.oleInit();
    DebugLogWrite("OleStart", "%s", gOleStarted ? "OLE started" : "OLE did not start");
    return gOleStarted;
}

bool RuntimeOleLibraries() {
    return SysLibNeed(kSysLibOle) && SysLibNeed(kSysLibOleAut) && SysLibNeed(kSysLibOlePro);
}

bool RuntimeStartup() {
    // Under Wine the desktop window belongs to a process started on demand; a
    // top-level window created while it is still starting fails with
    // ERROR_INVALID_WINDOW_HANDLE. Asking for the desktop waits for it.
    GetDesktopWindow();
    UpdateSysColors();
    AddProgramFontFiles();
    FontInitDefault();
    DebugLogWrite("RuntimeStartup", "%s", "done");
    return true;
}

static LRESULT FocusHolderWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    // The holder forwards keys to its window so a window without controls
    // still sees them.
    switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
        return SendMessageA(GetParent(wnd), msg, wp, lp);
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    default:
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}

bool RegisterWindowClasses(HINSTANCE inst) {
    if (gClassesRegistered) return true;
    gInstance = inst;
    HICON icon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    struct ClassRow {
        const char* name;
        UINT style;
        WNDPROC proc;
        HBRUSH brush;
    };
    const ClassRow rows[] = {
        {kClassWindow, CS_DBLCLKS, HandleWindowMsg, nullptr},
        {kClassWindowS, CS_DBLCLKS | CS_SAVEBITS, HandleWindowMsg, nullptr},
        {kClassFocus, 0, GuardedWndProc<FocusHolderWork>, nullptr},
        {kClassMdiFrame, CS_DBLCLKS, HandleWindowMsg, reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1)},
        {kClassMdiChild, CS_DBLCLKS, HandleWindowMsg, nullptr},
    };
    for (const ClassRow& r : rows) {
        WNDCLASSA wc = {};
        wc.style = r.style;
        wc.lpfnWndProc = r.proc;
        wc.hInstance = inst;
        wc.hIcon = r.proc == GuardedWndProc<FocusHolderWork> ? nullptr : icon;
        wc.hCursor = arrow;
        wc.hbrBackground = r.brush;
        wc.lpszClassName = r.name;
        if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            DebugLogWrite("RegisterClass", "%s failed WINERR:0x%-8lX", r.name, GetLastError());
            return false;
        }
    }
    gClassesRegistered = true;
    return true;
}

HWND CreateTheMainWindow(HINSTANCE inst) {
    if (!RegisterWindowClasses(inst)) return nullptr;
    auto* w = static_cast<NativeWindowRecord*>(
        static_cast<void*>(ObjectAllocRecord(kKindWindow, sizeof(NativeWindowRecord), false)));
    if (!w) {
        DebugLogWrite("MainWindow", "no memory for its record");
        return nullptr;
    }
    ObjectRecord* rec = &w->w.hdr;
    rec->handle = kHandleMainWindow;
    w->w.winType = kWinNormal;
    w->w.winTypeRequested = kWinNormal;
    w->units = kUnitsPixels;
    w->winPos = 1;
    w->w.nextCtlId = kCtlIdFirst;
    rec->fgColor = kColorBtnText;
    rec->bgColor = kColorBtnFace;
    rec->anchor = 7;
    rec->dock = kDockNone;
    rec->font = FontAddUse(gDefaultFontP);
    HWND wnd = CreateWindowExA(0, kClassWindow, kMainWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, inst, nullptr);
    if (!wnd) {
        DebugLogWrite("MainWindow", "CreateWindow failed WINERR:0x%-8lX", GetLastError());
        if (rec->font) FontRelease(rec->font);
        ObjectFreeRecord(rec);
        return nullptr;
    }
    rec->hwnd = wnd;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(rec));
    gMainWindowP = rec;
    gMainWindowObj = rec;
    gMainWindowWnd = wnd;
    gMainWnd = wnd;
    w->nextWindow = gWindowList;
    gWindowList = w;
    return wnd;
}

// The class of dialog boxes: the file, folder, colour, font, print and page
// set-up dialogs and message boxes all run their own loops in one of these.
static const char kDialogBoxClass[] = "#32770";

static BOOL CancelDialogBox(HWND wnd, LPARAM) {
    char cls[sizeof kDialogBoxClass + 1];
    if (GetClassNameA(wnd, cls, sizeof cls) && strcmp(cls, kDialogBoxClass) == 0)
        PostMessageA(wnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return TRUE;
}

// Once the session has ended, what waits for a person is closed again on
// every tick until the client has gone.
constexpr UINT_PTR kEndedLookTimerId = 8;
constexpr UINT kEndedLookMs = 50;

// Wine's own move/size loop goes on after its window has lost the mouse
// capture (to the WM_CANCELMODE Wine sends when another program takes the
// focus), but from then on the thread no longer reports the loop (no
// GUI_INMOVESIZE), so the loop waits for a button or key that never comes. Every message that loop takes passes the thread's
// message filter as MSGF_SIZE: the filter, hooked once the session has ended,
// notes that the loop took the end-of-session tick, which then ends it.
static HHOOK gSizeLoopFilter;
static bool gTickInSizeLoop;
// The filter code of the move/size loop (MSGF_SIZE, which MinGW's headers lack).
constexpr int kMsgFilterSizeLoop = 4;

static LRESULT NoteTickInSizeLoop(int code, WPARAM wp, LPARAM lp) {
    const MSG* m = reinterpret_cast<const MSG*>(lp);
    if (code == kMsgFilterSizeLoop && m && m->message == WM_TIMER && m->hwnd == gMainWindowWnd &&
        m->wParam == kEndedLookTimerId)
        gTickInSizeLoop = true;
    return CallNextHookEx(gSizeLoopFilter, code, wp, lp);
}

static void WatchSizeLoopTicks() {
    if (!gSizeLoopFilter)
        gSizeLoopFilter =
            SetWindowsHookExA(WH_MSGFILTER, GuardedHookProc<NoteTickInSizeLoop>, nullptr, GetCurrentThreadId());
}

static void StopWatchingSizeLoopTicks() {
    if (gSizeLoopFilter) UnhookWindowsHookEx(gSizeLoopFilter);
    gSizeLoopFilter = nullptr;
    gTickInSizeLoop = false;
}

// A window being moved or sized by the system's own loop (chosen from its
// system menu, or its frame dragged) ends that loop as the user's Esc does:
// the Esc goes to the window the thread names, or, for a loop that took this
// tick but is no longer named, to the thread itself (the loop reads every
// message of the thread, whichever window it is for).
static void CancelMoveSize() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & GUI_INMOVESIZE) && info.hwndMoveSize)
        PostMessageA(info.hwndMoveSize, WM_KEYDOWN, VK_ESCAPE, 0);
    else if (gTickInSizeLoop)
        PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
    gTickInSizeLoop = false;
}

// A session that has ended closes what waits for a person: a menu being
// tracked (a pop-up or a toolbar's drop-down), a window being moved or sized,
// and every dialog box the client has open, as cancelled; their loops would
// hold the client with no server behind it until someone closed them by hand.
static void CloseWaitsForPerson() {
    EndMenu();
    CancelMoveSize();
    EnumThreadWindows(GetCurrentThreadId(), GuardedEnumWindowsProc<CancelDialogBox>, 0);
}

static void CloseWaitsOnTick(HWND, UINT, UINT_PTR, DWORD) { CloseWaitsForPerson(); }

// Messages only the main window gets: the socket's notices (frames), the
// timer objects' tick and the print dialog's command.
static bool MainWindowMsg(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    switch (msg) {
    case kWmSrvMsg:
        OnSrvMsgArrived(wp);
        if (gSession.state == kSessionEnded || gSession.state == kSessionRefused) {
            CloseWaitsForPerson();
            // A loop that starts just after (the system menu's Move or Size,
            // chosen as the menu closed) is cancelled on the next tick, which
            // the system's own loops dispatch too.
            SetTimer(wnd, kEndedLookTimerId, kEndedLookMs, GuardedTimerProc<CloseWaitsOnTick>);
            WatchSizeLoopTicks();
        }
        *result = 0;
        return true;
    case WM_TIMER:
        if (wp != kMainTimerId) return false;
        if (gGuiHooks.timerTick) gGuiHooks.timerTick();
        *result = 0;
        return true;
    case WM_COMMAND:
        if (LOWORD(wp) != kCmdPrintDialog) return false;
        if (gGuiHooks.printDialogCommand) gGuiHooks.printDialogCommand(wnd, wp, lp);
        *result = 0;
        return true;
    case WM_CLOSE:
        // The hidden main window is closed only by the client itself.
        if (!gMainWindowP || !EventIsRegistered(gMainWindowP, 5)) {
            *result = 0;
            return true;
        }
        PostObjectEvent(gMainWindowP, 5, kEventKindDefault, 0, 0);
        *result = 0;
        return true;
    default:
        return false;
    }
}

static LRESULT HandleWindowMsgWork(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (wnd == gMainWindowWnd && MainWindowMsg(wnd, msg, wp, lp, &result)) return result;
    return WindowProcMsg(wnd, msg, wp, lp);
}

LRESULT CALLBACK HandleWindowMsg(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return GuardedWndProc<HandleWindowMsgWork>(wnd, msg, wp, lp);
}

// At the end the windows go without being hidden one by one first: nobody
// watches them go, and a hide that takes a top window off the screen may wait
// for the window manager to confirm it (Wine's X11 driver waits up to 2 s a
// window on a display without one), which made a session with many windows
// shown (nested modal waits) outlast any limit on its exit. With the style
// bit cleared the destroy does not hide the window either.
static void DropWithoutHide(ObjectRecord* rec) {
    rec->flags &= ~kObjShown;
    if (!rec->hwnd) return;
    LONG_PTR style = GetWindowLongPtrA(rec->hwnd, GWL_STYLE);
    if (style & WS_VISIBLE) SetWindowLongPtrA(rec->hwnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_VISIBLE));
}

static void DestroyAllWindows() {
    // Top windows newest first; the main window goes last, in GuiCleanup.
    for (;;) {
        NativeWindowRecord* w = gWindowList;
        while (w && &w->w.hdr == gMainWindowP) w = w->nextWindow;
        if (!w) break;
        DropWithoutHide(&w->w.hdr);
        ObjectDestroy(&w->w.hdr);
        if (gWindowList == w) gWindowList = w->nextWindow;  // a destroy that failed must not loop
    }
}

// The windows layer's clean-up row: the server's events and waits are
// dropped and every window goes, after the rows that still need them (print
// jobs and previews) and before those that free what the windows used (form
// buffers, image lists).
static void WindowsCleanup() {
    CleanupLogStep("902.ObjectCleanup-EventCleanup.");
    EventCleanup();
    CleanupLogStep("902.ObjectCleanup-DialogState.");
    ModalStateReset();
    CleanupLogStep("902.ObjectCleanup-WindowDestroyAll.");
    gDestSuppress = true;
    DestroyAllWindows();
    if (gMainWindowP) ObjectDestroyChildren(gMainWindowP);
}

void ObjectCleanup() {
    CleanupLogStep("902.ObjectCleanup-started.");
    CleanupLogStep("902.ObjectCleanup-ColorDestroyAll.");
    ColorDestroyAll();
    CleanupLogStep("902.ObjectCleanup-FontObjDestroyAll.");
    FontObjDestroyAll();
    CleanupLogStep("902.ObjectCleanup-done.");
}

void GuiCleanup() {
    CleanupLogStep("902.GuiCleanup-started.");
    if (gTimerPeriod && gMainWindowWnd) KillTimer(gMainWindowWnd, kMainTimerId);
    gTimerPeriod = 0;
    StopWatchingSizeLoopTicks();
    if (gMainWindowP) {
        gDestSuppress = true;
        ObjectRecord* main = gMainWindowP;
        WindowDestroy(main);
    }
    gMainWindowP = nullptr;
    gMainWindowObj = nullptr;
    gMainWindowWnd = nullptr;
    gMainWnd = nullptr;
    CleanupLogStep("902.GuiCleanup-FontDestroyAll.");
    FontDestroyAll();
    RemoveProgramFontFiles();
    CleanupLogStep("902.GuiCleanup-GdiCacheCleanup.");
    GdiCacheCleanup();
    if (gClassesRegistered) {
        for (const char* name : {kClassWindow, kClassWindowS, kClassFocus, kClassMdiFrame, kClassMdiChild})
            UnregisterClassA(name, gInstance);
        gClassesRegistered = false;
    }
    CleanupLogStep("902.GuiCleanup-done.");
}

void CleanupTheRuntime() {
    CleanupLogStep("902.CleanupTheRuntime-started.");
    FacilityListCleanup();
    ObjectCleanup();
    GuiCleanup();
    if (gOleStarted && gGuiHooks.oleUninit) gGuiHooks.oleUninit();
    gOleStarted = false;
    gOleTried = false;
    CleanupLogStep("902.CleanupTheRuntime-done.");
}

static bool HookPump() {
    PumpTurn(false);
    return gSession.state != kSessionEnded;
}
static bool HookFocusAway(ObjectRecord* rec) {
    MoveFocusAway(rec);
    return true;
}

FacilityRow GuiInstallHooks() {
    gHooks.runtimeStartup = FacilityListStart;
    gHooks.objectSetupTables = ObjectSetupTables;
    gHooks.createMainWindow = CreateTheMainWindow;
    gHooks.pumpIdle = PumpMessages;
    gHooks.pumpPreTranslate = PumpPreTranslate;
    gHooks.pumpAfterDispatch = PumpAfterDispatch;
    gHooks.cleanupRuntime = CleanupTheRuntime;
    gObjectHooks.pump = HookPump;
    gObjectHooks.fontRelease = FontRelease;
    gObjectHooks.focusAway = HookFocusAway;
    gObjectHooks.setFocus = ObjectFocusWindowed;
    gObjectHooks.dockChanged = WindowLayoutAfterDockChange;
    gObjectHooks.layoutsFlush = WindowLayoutsFlush;
    gObjectHooks.layoutsAbove = WindowLayoutsAbove;
    RegisterObjectCreator(kTypeWindow, WindowCreatorEntry);
    RegisterObjectCreator(kTypeColor, ColorCreatorEntry);
    RegisterObjectCreator(kTypeFont, FontCreatorEntry);
    RegisterObjectOps(kKindWindow, &kWindowOps);
    WindowRegisterMethods();
    RegisterObjectOps(kKindFont, &kFontObjOps);
    RegisterObjectOps(kKindColor, &kColorObjOps);
    return FacilityRow{"Windows", RuntimeStartup, WindowsCleanup};
}
