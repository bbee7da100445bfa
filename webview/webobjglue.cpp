// webobjglue.cpp - connects the web-view objects to the session and the window
// layer of the cross build: method checks and answers, the shared font list,
// the modal levels, focus, redraws and the end of the program.
#include "webview/webobjglue.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "objects/focus.h"
#include "objects/font.h"
#include "objects/guihooks.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "objects/paint.h"
#include "objects/pump.h"
#include "session/log.h"
#include "session/session.h"
#include "session/util/mem.h"
#include "webview/controls/weblist.h"
#include "webview/controls/webcontrols.h"
#include "webview/controls/weblistview.h"
#include "webview/controls/weblvtext.h"
#include "webview/controls/webdrawn.h"
#include "webview/controls/webxml.h"
#include "webview/core/webchannel.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webservices.h"

namespace {

void ReplyInt(int32_t value, uint8_t kind) { SetReplyInt(nullptr, value, kind); }

void ReplyText(const char* text) { SetReplyText(nullptr, text); }
void ReplyBytes(const void* bytes, uint32_t n) { SetReplyBytes(nullptr, bytes, n); }

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

bool WindowActive(ObjectRecord* window) { return window && window->hwnd && GetActiveWindow() == window->hwnd; }

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

// The CLIENT object's methods are numbered without a gap; the call check only
// asks whether a number names one.
const MethodDesc* ClientMethodLookup(uint32_t method, uint32_t) {
    static const uint32_t kLast = kClientMethodLast;
    if (method < kClientMethodFirst || method > kLast) return nullptr;
    return reinterpret_cast<const MethodDesc*>(&kLast);
}

// The main web window closed without $CLOSE: the program ends as when its
// last window goes (the main loop leaves on WM_QUIT).
void EndProgram() {
    DebugLogWrite("WebView", "the main web window was closed and has no $CLOSE: the program ends");
    PostQuitMessage(0);
}

// The sorted lists' comparison: the invariant locale, case ignored.
int ListCompare(const char* a, const char* b) {
    int r = CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a, -1, b, -1);
    return r ? r - CSTR_EQUAL : lstrcmpiA(a, b);
}

// Delimited-text files of the list views: the server's files (or '!' paths of
// the client's own) through the session's file services.
constexpr int32_t kListFileNone = 200, kListFileNotOpened = 202, kListFileWriteError = 203;

int32_t ListFileLoad(const char* name, char** data, uint32_t* size) {
    uint8_t* block = nullptr;
    if (GetSrvFile(name, 0, kFetchFile, 0, 0, &block, size, nullptr) != 0 || !block) return kListFileNone;
    *data = reinterpret_cast<char*>(block);
    return 0;
}

int32_t ListFileSave(const char* name, const char* data, uint32_t size) {
    SrvFileRec file;
    if (PrepSrvFileWrite(name, &file) != 0) return kListFileNone;
    FILE* f = fopen(file.localPath, "wb");
    if (!f) return kListFileNotOpened;
    bool ok = fwrite(data, 1, size, f) == size;
    ok = fclose(f) == 0 && ok;
    if (!ok) {
        DeleteFileA(file.localPath);
        return kListFileWriteError;
    }
    return PutSrvFile(&file) == 0 ? 0 : kListFileWriteError;
}

// Output files of the XML savers: PrepSrvFileWrite's local file (sent back
// with PutSrvFile when it is the server's) or a new temporary file.
int32_t XmlPrepWrite(const char* name, XmlOutTarget* out) {
    SrvFileRec file;
    int rc = PrepSrvFileWrite(name, &file);
    if (rc != 0) return rc;
    snprintf(out->localPath, sizeof out->localPath, "%s", file.localPath);
    snprintf(out->serverName, sizeof out->serverName, "%s", file.serverName);
    out->sendBack = file.temporary;
    return 0;
}

int32_t XmlPutBack(XmlOutTarget* out) {
    SrvFileRec file = {};
    snprintf(file.localPath, sizeof file.localPath, "%s", out->localPath);
    snprintf(file.serverName, sizeof file.serverName, "%s", out->serverName);
    file.temporary = out->sendBack;
    return PutSrvFile(&file);
}

bool XmlTempFile(char* path, uint32_t size) {
    char dir[MAX_PATH], made[MAX_PATH];
    if (!GetTempPathA(sizeof dir, dir) || !GetTempFileNameA(dir, "QOV", 0, made)) return false;
    if (strlen(made) >= size) {
        DeleteFileA(made);
        return false;
    }
    snprintf(path, size, "%s", made);
    return true;
}

// An image file made once in the images folder: 0 written, 1 it was there
// already, -1 it could not be written (a part written is removed).
int ImageWriteNew(const char* path, const void* data, uint32_t size) {
    HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS ? 1 : -1;
    DWORD written = 0;
    bool ok = WriteFile(f, data, size, &written, nullptr) && written == size;
    CloseHandle(f);
    if (!ok) DeleteFileA(path);
    return ok ? 0 : -1;
}

// The numbered images of the web view come from where the native pictures
// take theirs: the resources of the form being loaded, then the server's.
bool ImageResource(uint32_t kind, uint32_t number, uint8_t** data, uint32_t* size) {
    uint8_t* found = nullptr;
    uint32_t n = 0;
    bool fromForm =
        gWebImageFormResource && gWebImageFormResource(nullptr, static_cast<uint16_t>(kind), number, nullptr, &found, &n);
    if (!fromForm && (CacheFetchResource("", static_cast<uint8_t>(kind), 1, number, &found, &n) != 0 || !found))
        return false;
    *data = static_cast<uint8_t*>(GuardedAlloc(n ? n : 1));
    if (*data && n) memcpy(*data, found, n);
    *size = *data ? n : 0;
    if (fromForm) LocalFreeMem(found);
    else CacheFreeData(found);
    return *data != nullptr;
}

void ImageResourceFree(uint8_t* data) { GuardedFree(data); }

}  // namespace

bool (*gWebImageFormResource)(ObjectRecord* window, uint16_t kind, uint32_t number, const char* name, uint8_t** data,
                              uint32_t* size);

void WebObjectsInstallNative() {
    gHooks.eventPollFetch = WebPollPages;
    gHooks.pageFetchOpen = WebViewFetchOpen;
    gHooks.pageFetchRestore = WebViewFetchRestore;
    gWebImageIo.writeNew = ImageWriteNew;
    gWebImageIo.resource = ImageResource;
    gWebImageIo.freeData = ImageResourceFree;
    gWebObjServices.checkMethod = CheckMethodCall;
    gWebObjServices.replyInt = ReplyInt;
    gWebObjServices.replyText = ReplyText;
    gWebObjServices.replyBytes = ReplyBytes;
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
    gWebObjServices.windowActive = WindowActive;
    gWebObjServices.endProgram = EndProgram;
    gWebObjServices.windowFormMethod = FormMethod;
    gWebObjServices.localeInfo = LocaleInfo;
    RegisterMethodTable(kTypeClient, ClientMethodLookup);
    gWebListSystemCompare = ListCompare;
    gWebListFiles.load = ListFileLoad;
    gWebListFiles.save = ListFileSave;
    gWebXmlFiles.prepWrite = XmlPrepWrite;
    gWebXmlFiles.putBack = XmlPutBack;
    gWebXmlFiles.tempFile = XmlTempFile;
    WebObjectsInstall();
    gWebObjectOps.viewDown = WebViewDownFor;
    gWebObjectOps.failedSends = WebViewFailedSends;
    gWebObjectOps.dropReply = ReplyReset;
}
