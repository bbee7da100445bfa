// bars_bench.cpp - times the toolbar's AddButton (200 buttons with tooltips,
// through the method the server calls) against a bare loop of the control
// calls it makes for the same buttons (TB_ADDBUTTONS, TB_AUTOSIZE and a
// tooltip tool each), checks that 400 buttons take at most 2.5 times as long
// as 200, and reports the layout of a 100-panel status bar per change.
// The bare calls' own growth from 200 to 400 buttons is printed beside it:
// Wine's toolbar and tooltip controls lay out and search all their buttons
// and tools on each add, so the bare loop is not linear either.
// Runs under Wine (cross build). Usage: bars_bench [rounds]
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/benchkit.h"
#include "controls/controls.h"
#include "graphics/graphics.h"
#include "objects/crstream.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/window.h"
#include "session/proto/protocol.h"
#include "session/session.h"

namespace {

constexpr int kButtons = 200;
constexpr int kPanels = 100;
constexpr uint32_t kMethodAddButton = 1, kMethodAddPanel = 1;
constexpr uint32_t kArgTag = 6, kArgText = 8, kArgToolTip = 10;

ObjectRecord* MakeWindow() {
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.winType = kWinNormal;
    cr.width = 800, cr.height = 200;
    cr.units = kUnitsPixels;
    int32_t code = 0;
    ObjectRecord* win = WindowObjectCreate(nullptr, &cr, &code);
    if (win) ObjectActivate(win, 0, 0, 0, 0);
    return win;
}

ObjectRecord* MakeBar(ObjectRecord* win, uint32_t type, int32_t top, uint32_t pid) {
    ObjectCreateRecord cr;
    CreateRecordReset(&cr);
    cr.windowRec = win;
    cr.flags0 |= kCrVisible;
    cr.top = top, cr.width = 800, cr.height = 30;
    cr.values[pid] = 1, cr.given[pid] = 1;
    int32_t code = 0;
    return ObjectCreate(type, &cr, &code);
}

void TextArg(MethodCallRec* call, uint32_t i, const char* text) {
    call->args[i].kind = kItemText;
    call->args[i].data = text;
    call->args[i].size = static_cast<uint32_t>(strlen(text));
    call->argPresent[i] = 1;
}

// n buttons through AddButton, each with a text, a tooltip and a Tag.
double AddButtons(ObjectRecord* win, int n) {
    ObjectRecord* bar = MakeBar(win, kTypeToolbar, 0, kPidShowTips);
    double s = BenchSeconds([&] {
        for (int i = 0; i < n; ++i) {
            MethodCallRec call = {};
            call.method = kMethodAddButton;
            call.result.kind = kItemInt;
            call.args[kArgTag].kind = kItemInt;
            call.args[kArgTag].value = static_cast<uint64_t>(i);
            call.argPresent[kArgTag] = 1;
            TextArg(&call, kArgText, "Tool");
            TextArg(&call, kArgToolTip, "A tool of the bench");
            call.argCount = kArgToolTip + 1;
            gSendBuf.used = 0;
            ObjectInvokeMethod(0, bar, &call);
        }
    });
    ObjectDestroy(bar);
    return s;
}

// The same buttons with the control's own calls on a bare toolbar.
double BareButtons(HWND parent, int n) {
    HWND bar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | CCS_NORESIZE | TBSTYLE_TOOLTIPS, 0,
                               40, 800, 30, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND tips = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, parent, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SendMessageA(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    double s = BenchSeconds([&] {
        for (int i = 0; i < n; ++i) {
            TBBUTTON tb = {};
            tb.iBitmap = I_IMAGENONE;
            tb.idCommand = i + 1;
            tb.fsState = TBSTATE_ENABLED;
            tb.iString = reinterpret_cast<INT_PTR>("Tool");
            SendMessageA(bar, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&tb));
            SendMessageA(bar, TB_AUTOSIZE, 0, 0);
            TOOLINFOA ti = {};
            ti.cbSize = sizeof ti;
            ti.uFlags = TTF_SUBCLASS;
            ti.hwnd = bar;
            ti.uId = static_cast<UINT_PTR>(i + 1);
            ti.lpszText = const_cast<char*>("A tool of the bench");
            SendMessageA(bar, TB_GETRECT, i + 1, reinterpret_cast<LPARAM>(&ti.rect));
            SendMessageA(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        }
    });
    DestroyWindow(tips);
    DestroyWindow(bar);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 15;
    GuiInstallHooks();
    ControlsInstall();
    GraphicsInstall();
    RuntimeStartup();
    CreateTheMainWindow(GetModuleHandleA(nullptr));
    ObjectRecord* win = MakeWindow();
    if (!win) return 1;
    BenchResult add;
    BenchResult growth;
    for (int r = 0; r < rounds; ++r) {
        // Each side gets its own window, whose tooltip control starts empty.
        ObjectRecord* w = MakeWindow();
        double a = AddButtons(w, kButtons);
        ObjectDestroy(w);
        double b = BareButtons(win->hwnd, kButtons);
        BenchAddRound(&add, a, b);
        w = MakeWindow();
        double big = AddButtons(w, 2 * kButtons);
        ObjectDestroy(w);
        BenchAddRound(&growth, big, a);
    }
    BenchReportGoal(kGoalAddButton, "AddButton x200", add);
    BenchResult bare;
    for (int r = 0; r < rounds; ++r) BenchAddRound(&bare, BareButtons(win->hwnd, 2 * kButtons), BareButtons(win->hwnd, kButtons));
    BenchReport("bare calls x400", bare, "bare calls x200", 0);
    BenchReportGoal(kGoalAddButtonGrowth, "AddButton x400", growth);
    // A 100-panel status bar laid out again on each change of a panel's Width.
    ObjectRecord* bar = MakeBar(win, kTypeStatusbar, 100, kPidShowPanel);
    for (int i = 0; i < kPanels; ++i) {
        MethodCallRec call = {};
        call.method = kMethodAddPanel;
        call.result.kind = kItemInt;
        call.args[0].kind = kItemInt;
        call.args[0].value = 6;
        call.argPresent[0] = 1;
        call.argCount = 1;
        gSendBuf.used = 0;
        ObjectInvokeMethod(0, bar, &call);
    }
    constexpr int kChanges = 200;
    double layout = BenchSeconds([&] {
        for (int i = 0; i < kChanges; ++i) {
            PropChange req = {};
            req.id = kPidWidth;
            req.value = 4 + i % 5;
            req.selector.kind = kItemInt;
            req.selector.value = static_cast<uint64_t>(i % kPanels);
            ObjectOpsOf(bar)->setProp(bar, &req);
        }
    });
    printf("%-28s %9.2f us a change (%d panels)\n", "StatusBar layout", layout * 1e6 / kChanges, kPanels);
    ObjectDestroy(win);
    return 0;
}
