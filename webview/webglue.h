// webglue.h - the flat entry functions the rest of the client calls for web
// views: create, close, size, focus, post, colour, owner; and the native
// window's share (a window with WEBMODE 2 or more hosts its page).
#pragma once

#include <windows.h>

#include <cstdint>

struct ObjectRecord;
class CQovWebView;

constexpr int32_t kErrNoWebHost = -52;
constexpr int kReadyWaitTurns = 401;
constexpr DWORD kReadyWaitSleepMs = 10;
constexpr size_t kStartUrlSize = 400;
constexpr uint32_t kWebModeHosted = 2;     // WEBMODE from which a window hosts a web view

// Fills the channel's hooks with the host glue; pumpTurn is one turn of the
// window pump (EventCheckPending).
void WebViewInstallHooks(void (*pumpTurn)());

bool WebViewCreate(ObjectRecord* rec, void** out, const char* url, bool kind2);
void WebViewClose(void* host);
void WebViewFocus(void* host);
void WebViewNotifyParentMoved(void* host);
void WebViewSetOwner(void* host, ObjectRecord* rec);
int32_t WebViewPostMessage(void* host, const char* utf8);
void WebViewResize(void* host);
void WebViewSetBackColor(void* host, COLORREF color, int transparent);
// The code page the HTML control's content code converts with, per thread.
uint32_t WebViewThreadCodePage();
// Writes the HTML buffer's contents to an open file; false when it failed.
bool WebHtmlBufWriteFile(HANDLE file);
// Forgets the cached start URLs (tests that move the program's folder).
void WebViewResetStartUrls();

// ---- Native windows that host a page --------------------------------------------------
// Creates the window's host when its WEBMODE is 2 or more: 0, or -52 when no
// web view could be made. webHost of the window record receives the host.
int32_t WebWindowCreateHost(ObjectRecord* window, uint32_t webMode);
// A form load moved a window's record (from -> to): the web windows it hosts,
// the current web windows, the channel's owners and its host's owner follow.
void WebWindowMovedForForm(ObjectRecord* from, ObjectRecord* to);
void WebWindowHostResize(ObjectRecord* window);
// The page of a window that holds its controls gives one of them the focus
// (step: a HostFocusStep) and takes the window's keys; true when one took it.
bool WebWindowHostFocus(ObjectRecord* window, int step);
void WebWindowHostMoved(ObjectRecord* window);
// Closes the host and forgets the window (and its page object) as a page owner.
void WebWindowHostDestroy(ObjectRecord* window);
