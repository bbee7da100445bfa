// webobjglue.cpp - connects the web-view objects to the session and the window
// layer of the cross build: method checks and answers, the shared font list,
// the modal levels, focus, redraws and the end of the program.
#include "webview/webobjglue.h"

#include <windows.h>

#include "objects/focus.h"
#include "objects/font.h"
#include "objects/guihooks.h"
#include "objects/objops.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "session/session.h"
#include "webview/controls/webdrawn.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"

namespace {

void ReplyInt(int32_t value, uint8_t kind) { SetReplyInt(nullptr, value, kind); }

// The shutdown step that destroys the native image lists destroys the web
// view's beside them.
void (*gNativeImageListDestroyAll)();
void ImageListsDestroyAll() {
    if (gNativeImageListDestroyAll) gNativeImageListDestroyAll();
    WebImageListDestroyAll();
}
void ReplyText(const char* text) { SetReplyText(nullptr, text); }

// A shown modal web window is the current modal level; the page shows it and
// the client does not wait in a loop of its own for it.
bool ModalNote(ObjectRecord* window) {
    if (gDlgStatePos >= kModalLevelMax) return false;
    gModalLevels[++gDlgStatePos] = ModalLevel{window, false, false, nullptr};
    return true;
}

int32_t ModalEnd(ObjectRecord* window) {
    if (!gDlgStatePos || gModalLevels[gDlgStatePos].window != window) return kModalNotCurrent;
    gModalLevels[gDlgStatePos] = ModalLevel{};
    --gDlgStatePos;
    return 0;
}

bool ModalKeepHidden() { return gModalKeepHidden; }

// A web window's objects live in the page: their tab order is the web view's.
int32_t FocusNext(ObjectRecord* from, bool backward) {
    if ((from && ObjectIsWebView(from)) || (!from && gWebActiveWindow)) return WebFocusNextObject(from, backward) ? 1 : 0;
    return FocusNextObject(backward ? 1 : 0) ? 1 : 0;
}

void FocusObject(ObjectRecord* rec) {
    ObjectRecord* top = ObjectTopWindow(rec);
    if (top) SetFocusObject(top, rec);
}

int32_t FormMethod(ObjectRecord* window, MethodCallRec* call) {
    return gGuiHooks.windowFormMethod ? gGuiHooks.windowFormMethod(window, call) : kOpNotAvailable;
}

// The locale text of a method 40 request: the item (top bit cleared) of the
// user's locale, or the system's with option bit 0.
int32_t LocaleInfo(MethodCallRec* call) {
    static char text[8193];
    LCID locale = (WebArgInt(call, 1, 0) & 1) ? LOCALE_SYSTEM_DEFAULT : LOCALE_USER_DEFAULT;
    LCTYPE item = static_cast<LCTYPE>(WebArgInt(call, 0, 0)) & 0x7FFFFFFF;
    if (!GetLocaleInfoA(locale, item, text, sizeof text)) text[0] = 0;
    return WebReplyText(text);
}

// The main web window closed without $CLOSE: the program ends as when its
// last window goes (the main loop leaves on WM_QUIT).
void EndProgram() { PostQuitMessage(0); }

}  // namespace

void WebObjectsInstallNative() {
    gWebObjServices.checkMethod = CheckMethodCall;
    gWebObjServices.replyInt = ReplyInt;
    gWebObjServices.replyText = ReplyText;
    gWebObjServices.fontList = &gFontList;
    gWebObjServices.fontRelease = FontRelease;
    gWebObjServices.fontErrNo = &gFontErrNo;
    gWebObjServices.modalNote = ModalNote;
    gWebObjServices.modalEnd = ModalEnd;
    gWebObjServices.modalKeepHidden = ModalKeepHidden;
    gWebObjServices.eraseWindow = EraseWindowBkgnd;
    gWebObjServices.redrawWindow = RedrawObjWindow;
    gWebObjServices.focusNext = FocusNext;
    gWebObjServices.setFocusObject = FocusObject;
    gWebObjServices.endProgram = EndProgram;
    gWebObjServices.windowFormMethod = FormMethod;
    gWebObjServices.localeInfo = LocaleInfo;
    WebObjectsInstall();
    if (gGuiHooks.imageListDestroyAll != ImageListsDestroyAll) {
        gNativeImageListDestroyAll = gGuiHooks.imageListDestroyAll;
        gGuiHooks.imageListDestroyAll = ImageListsDestroyAll;
    }
}
