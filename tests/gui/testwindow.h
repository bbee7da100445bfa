// testwindow.h - the start every native GUI test fixture shares: the runtime
// with its hooks, the kinds the test needs and the main window once per
// suite, and a normal 400 x 300 pixel window, activated, for each test;
// MemCanvas, a white bitmap in a memory DC for drawing code to paint on; and
// the mouse input SendInput takes.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "controls/controls.h"
#include "objects/crstream.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/window.h"
#include "session/session.h"
#include "tests/sendinput.h"

constexpr int32_t kTestWindowWidth = 400, kTestWindowHeight = 300;

// The hooks, the controls, the kinds installMore adds (null: none), the
// runtime and the main window. Call from SetUpTestSuite.
inline void StartTestRuntime(void (*installMore)() = nullptr) {
    GuiInstallHooks();
    ControlsInstall();
    if (installMore) installMore();
    RuntimeStartup();
    ASSERT_NE(nullptr, CreateTheMainWindow(GetModuleHandleA(nullptr)));
}
// The same with one facility's Install as the addition.
inline void StartTestRuntime(FacilityRow (*install)()) {
    static FacilityRow (*facility)();
    facility = install;
    StartTestRuntime([] { facility(); });
}

// A normal window at left, top in pixels (400 x 300 unless a size is given),
// titled when a title is given, made from cr (which is reset first) and
// activated. Null when it cannot be made; the failure is reported with the
// creation code.
inline ObjectRecord* MakeTestWindow(ObjectCreateRecord* cr, int32_t left = 0, int32_t top = 0,
                                    const CrText* title = nullptr, int32_t width = kTestWindowWidth,
                                    int32_t height = kTestWindowHeight) {
    CreateRecordReset(cr);
    cr->winType = kWinNormal;
    cr->left = left, cr->top = top;
    cr->width = width, cr->height = height;
    cr->right = left + width, cr->bottom = top + height;
    cr->units = kUnitsPixels;
    if (title) cr->title = *title;
    int32_t code = 0;
    ObjectRecord* w = WindowObjectCreate(nullptr, cr, &code);
    EXPECT_NE(nullptr, w) << "creation code " << code;
    if (w) ObjectActivate(w, 0, 0, 0, 0);
    return w;
}

// Runs a method call as the dispatcher does and reads the integer its answer
// carries (the answer's result kind into *kind when asked); a handler's own
// code when it built no answer.
inline int32_t InvokeForReply(ObjectRecord* rec, MethodCallRec* call, uint8_t* kind = nullptr) {
    gSendBuf.used = 0;
    int32_t rc = ObjectInvokeMethod(0, rec, call);
    if (rc != kNoAnswer) return rc;
    int32_t value;
    memcpy(&value, gSendBuf.data + 12, 4);
    if (kind) *kind = gSendBuf.data[16];
    return value;
}

// A white w x h bitmap of the screen's format selected into a memory DC: the
// drawing code under test paints on dc and the test reads pixels back. At()
// answers CLR_INVALID outside the bitmap.
struct MemCanvas {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    MemCanvas(int w, int h) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bmp = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bmp);
        RECT r = {0, 0, w, h};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~MemCanvas() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    MemCanvas(const MemCanvas&) = delete;
    MemCanvas& operator=(const MemCanvas&) = delete;
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
};

// The arguments of a method call as the server sends them: an optional text
// first, then the integers.
template <class Ints>
inline void MethodCallArgs(MethodCallRec* call, const char* text, const Ints& ints) {
    uint32_t i = 0;
    if (text) {
        call->args[i].kind = kItemText;
        call->args[i].data = text;
        call->args[i].size = static_cast<uint32_t>(strlen(text));
        call->argPresent[i++] = 1;
    }
    for (int32_t a : ints) {
        call->args[i].kind = kItemInt;
        call->args[i].value = static_cast<uint64_t>(static_cast<int64_t>(a));
        call->argPresent[i++] = 1;
    }
    call->argCount = i;
}

// A method call of an object type with those arguments; the integer of its
// answer (see InvokeForReply).
inline int32_t InvokeWithArgs(ObjectRecord* rec, uint32_t objectType, uint32_t method, const char* text,
                              std::initializer_list<int32_t> ints) {
    MethodCallRec call = {};
    call.objectType = objectType;
    call.method = method;
    call.result.kind = kItemInt;
    call.result.varRef = 501;
    MethodCallArgs(&call, text, ints);
    return InvokeForReply(rec, &call);
}
