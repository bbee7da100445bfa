// pump.cpp - the window layer's part of each pump turn: console input, the
// timer objects' period on timer 6, accelerators, the modeless dialog, key
// pre-translation and the page messages.
#include "objects/pump.h"

#include <cctype>

#include "objects/focus.h"
#include "objects/guihooks.h"
#include "objects/window.h"
#include "session/session.h"

HWND gCurModelessDlg;
uint32_t gTimerPeriod;

void PumpMessages() {
    if (gGuiHooks.consolePoll) gGuiHooks.consolePoll();
    if (!gGuiHooks.timerPeriod || !gMainWindowWnd) return;
    uint32_t period = gGuiHooks.timerPeriod();
    if (period == gTimerPeriod) return;
    if (period) SetTimer(gMainWindowWnd, kMainTimerId, period, nullptr);
    else KillTimer(gMainWindowWnd, kMainTimerId);
    gTimerPeriod = period;
}

bool PumpPreTranslate(MSG* m) {
    if (gGuiHooks.oleAccelerator && gGuiHooks.oleAccelerator(m)) return true;
    if (WindowMdiAccelerator(m)) return true;
    if (gCurModelessDlg && IsWindow(gCurModelessDlg) && IsDialogMessageA(gCurModelessDlg, m)) return true;
    return KeyPreTranslate(m);
}

void PumpAfterDispatch() {
    // Page messages are taken in every turn, the main loop's too, as native
    // input is: a page click while the server works opens its popup at once
    // and its events queue in order for the server's next wait. A server
    // message that comes while the pages are served waits until they are,
    // in the main loop and in the waits that take requests meanwhile (a
    // modal window's): a wait for events taken inside the fetch of an event
    // would wait for the very event the fetch holds.
    if (!gGuiHooks.webViewPending) return;
    SrvMsgArrivalHold hold;
    gGuiHooks.webViewPending();
}

// One full turn: the session's pump, into which GuiInstallHooks put this
// layer's idle, pre-translate and after-dispatch steps.
void PumpTurn(bool wait) { PumpOnce(wait); }

static bool KeyIsDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// The HTML control's editing keys: Delete and the control characters of
// Ctrl+A/C/V/X/Z become editing commands, Tab goes to its accelerator hook.
static bool HtmlControlKey(ObjectRecord* focus, MSG* m) {
    if (!focus || focus->kind != kKindHtmlControl || !(focus->flags & kObjShown)) return false;
    if (m->message == WM_KEYDOWN && m->wParam == VK_DELETE && gGuiHooks.htmlExecCommand)
        return gGuiHooks.htmlExecCommand(focus, "Delete");
    if (m->message == WM_CHAR && gGuiHooks.htmlExecCommand) {
        const char* command = nullptr;
        switch (m->wParam) {
        case 1: command = "SelectAll"; break;
        case 3: command = "Copy"; break;
        case 22: command = "Paste"; break;
        case 24: command = "Cut"; break;
        case 26: command = "Undo"; break;
        default: break;
        }
        if (command) return gGuiHooks.htmlExecCommand(focus, command);
    }
    if (m->message == WM_KEYDOWN && m->wParam == VK_TAB && gGuiHooks.htmlTranslateAccel)
        return gGuiHooks.htmlTranslateAccel(focus, m) == 1;
    return false;
}

bool KeyPreTranslate(MSG* m) {
    if (m->message != WM_KEYDOWN && m->message != WM_CHAR) return false;
    // Ctrl+Tab steps through the tabs of a focused tab control; anywhere else
    // it moves the focus as Tab does.
    if (m->message == WM_KEYDOWN && m->wParam == VK_TAB && KeyIsDown(VK_CONTROL) && gGuiHooks.tabControlCycle &&
        gGuiHooks.tabControlCycle(KeyIsDown(VK_SHIFT)))
        return true;
    ObjectRecord* focus = GetFocusObject();
    if (HtmlControlKey(focus, m)) return true;
    // A key typed into a web view goes to its page: Tab and Shift+Tab move
    // the focus in the page's tab order there, Ctrl+Tab its tab control's tabs.
    if (gGuiHooks.webViewPane && gGuiHooks.webViewPane(m->hwnd)) return false;
    if (m->message == WM_KEYDOWN && m->wParam == VK_TAB && !KeyIsDown(VK_MENU)) {
        // Controls that accept Tab keep it (AcceptTab); others move the focus.
        if (focus && (focus->flags & kObjAcceptTab)) return false;
        ObjectRecord* owner = ObjectFromHwnd(GetAncestor(m->hwnd, GA_ROOT));
        if (!owner || owner->kind != kKindWindow) return false;
        FocusNextObject(KeyIsDown(VK_SHIFT) ? 1 : 0);
        return true;
    }
    return false;
}

// Objects are searched depth first; a container's children count too.
static bool HotKeySearch(ObjectRecord* container, uint32_t key) {
    for (ObjectRecord* c = container->children; c; c = c->next) {
        if (!(c->flags & kObjShown) || (c->flags & kObjDisabled) || ObjectIsWebView(c)) continue;
        if (c->kind == kKindTabControl) {
            if (gGuiHooks.tabControlHotKey && gGuiHooks.tabControlHotKey(c, key)) return true;
            continue;
        }
        if (c->kind == kKindToolBar) {
            if (gGuiHooks.toolBarMnemonic && gGuiHooks.toolBarMnemonic(c, key)) return true;
            continue;
        }
        if (c->hwnd) {
            char text[256];
            GetWindowTextA(c->hwnd, text, sizeof text);
            uint32_t hot = static_cast<unsigned char>(MnemonicChar(text));
            if (hot >= 'a' && hot <= 'z') hot = hot - 'a' + 'A';
            if (hot && hot == key) {
                ObjectSetFocus(c, 0, 0);
                if (c->kind == kKindButton || c->kind == kKindCheckBox || c->kind == kKindRadio)
                    SendMessageA(c->hwnd, BM_CLICK, 0, 0);
                return true;
            }
        }
        if (c->children && HotKeySearch(c, key)) return true;
    }
    return false;
}

LRESULT HotKeyToObject(ObjectRecord* window, uint32_t key) {
    if (!window) return 0;
    if (key >= 'a' && key <= 'z') key = key - 'a' + 'A';
    return HotKeySearch(window, key) ? MAKELRESULT(0, MNC_CLOSE) : 0;
}
