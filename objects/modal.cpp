// modal.cpp - modal windows: the nesting levels, the wait that pumps until the
// window of the current level is hidden, and the disabling of the other windows.
#include "objects/pump.h"

#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/window.h"
#include "session/session.h"

uint32_t gDlgStatePos;
ModalLevel gModalLevels[kModalLevelMax + 1];
bool gAllWindowsDisabled;
bool gModalKeepHidden;

bool ModalIsWaitingFor(const ObjectRecord* window) {
    for (uint32_t i = 1; i <= gDlgStatePos; ++i)
        if (gModalLevels[i].window == window && !gModalLevels[i].ended) return true;
    return false;
}

void EnableAllWindows(bool enable) {
    ObjectRecord* modal = gDlgStatePos ? gModalLevels[gDlgStatePos].window : nullptr;
    for (NativeWindowRecord* w = gWindowList; w; w = w->nextWindow) {
        ObjectRecord* rec = &w->w.hdr;
        if (!rec->hwnd || rec == gMainWindowP) continue;
        if (!enable && rec == modal) continue;
        // A window the server disabled stays disabled.
        if (enable && (rec->flags & kObjDisabled)) continue;
        EnableWindow(rec->hwnd, enable ? TRUE : FALSE);
    }
    gAllWindowsDisabled = !enable;
}

// Closes the current level: the other windows enabled again, the focus given back.
static void ModalLevelClose() {
    ModalLevel& level = gModalLevels[gDlgStatePos];
    HWND prevFocus = level.prevFocus;
    bool enableAgain = level.disabledAll;
    level = ModalLevel{};
    --gDlgStatePos;
    if (enableAgain) EnableAllWindows(true);
    if (prevFocus && IsWindow(prevFocus)) SetFocus(prevFocus);
}

int32_t ModalWindowLoop(ObjectRecord* window, bool* windowGone) {
    *windowGone = false;
    if (!window || gDlgStatePos >= kModalLevelMax) return -6;
    ObjectRef ref = ObjectRefOf(window);
    ModalLevel& level = gModalLevels[++gDlgStatePos];
    level = ModalLevel{window, false, false, GetFocus()};
    // The level closes however the wait ends (a request that cannot be held
    // unwinds through it), after the caller has been told about the window.
    struct Close {
        ~Close() { ModalLevelClose(); }
    } levelEnd;
    if (!gAllWindowsDisabled) {
        EnableAllWindows(false);
        level.disabledAll = true;
    }
    if (window->hwnd) EnableWindow(window->hwnd, TRUE);
    WindowLayoutsFlush();
    if (gWebObjectOps.flushRedraws) gWebObjectOps.flushRedraws(nullptr);
    if (gGuiHooks.webViewFlush) gGuiHooks.webViewFlush();
    int32_t rc = kModalEnded;
    // The server ends the wait with a later request (hide or destroy), so
    // requests are taken while the window is up; the show is answered at the end.
    {
        SrvMsgNest nest;
        while (!level.ended) {
            if (gSession.state == kSessionEnded) {
                rc = 32;
                break;
            }
            if (!ObjectRefAlive(ref)) break;
            PumpTurn(true);
            // The pages' messages, as every turn takes them: what cannot be
            // held there is dropped with its note, and the wait goes on.
            CatchNoMemory("the pages' messages", PumpAfterDispatch);
        }
    }
    // A request taken during the wait may have destroyed the window (and freed
    // its record): the caller must not touch it then.
    *windowGone = !ObjectRefAlive(ref);
    return rc;
}

int32_t ModalWindowEnd(ObjectRecord* window) {
    if (!gDlgStatePos || gModalLevels[gDlgStatePos].window != window) return kModalNotCurrent;
    gModalLevels[gDlgStatePos].ended = true;
    // Wake the wait when it sleeps in GetMessage.
    if (gMainWindowWnd) PostMessageA(gMainWindowWnd, WM_NULL, 0, 0);
    return 0;
}

void ModalWindowForget(const ObjectRecord* window) {
    bool ended = false;
    for (uint32_t i = 1; i <= gDlgStatePos; ++i) {
        if (gModalLevels[i].window != window) continue;
        gModalLevels[i].window = nullptr;
        gModalLevels[i].ended = true;
        ended = true;
    }
    if (ended && gMainWindowWnd) PostMessageA(gMainWindowWnd, WM_NULL, 0, 0);
}

void ModalStateReset() {
    for (uint32_t i = 1; i <= gDlgStatePos; ++i) gModalLevels[i].ended = true;
    if (gAllWindowsDisabled) EnableAllWindows(true);
}

HWND DialogOwnerWindow(HWND wnd) {
    if (gDlgStatePos && gModalLevels[gDlgStatePos].window && gModalLevels[gDlgStatePos].window->hwnd)
        return gModalLevels[gDlgStatePos].window->hwnd;
    if (wnd) {
        HWND root = GetAncestor(wnd, GA_ROOT);
        if (root) return root;
    }
    return gMainWindowWnd;
}
