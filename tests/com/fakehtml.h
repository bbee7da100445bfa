/* fakehtml.h - the tests' own WebBrowser and HTML document: a browser object
 * (IOleObject, IOleInPlaceObject, IViewObject, IWebBrowser2) that records the
 * host's calls, and a document built from the written text by a small tag
 * scanner, with elements, inline styles, handlers and events the test fires.
 * Only the slots the host calls are filled; a call into any other ends the
 * process with a message, which fails the test. */
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Registers (and revokes) the fake in process under CLSID_WebBrowser. */
HRESULT FakeHtmlRegister(void);
void FakeHtmlRevoke(void);
/* The class object the DLL form hands out (it keeps a hidden window). */
HRESULT FakeHtmlClassObject(REFIID iid, void** out);
/* Clears the records; the next document reports this ready state. */
void FakeHtmlReset(const char* readyState);

/* Records of the browser calls. */
int FakeHtmlSetRectsCount(void);
RECT FakeHtmlSetRects(int index);
int FakeHtmlWriteCount(void);
const wchar_t* FakeHtmlLastWrite(void);
const wchar_t* FakeHtmlLastNavigate(void);
const wchar_t* FakeHtmlLastExec(void);
int FakeHtmlDrawCount(void);
int FakeHtmlTranslateCount(void);
/* Browser objects and documents alive (all references given back: 0). */
long FakeHtmlLiveObjects(void);

/* The document of the last load: elements by id (the first; -1 none); 0 is the body. */
int FakeHtmlFind(const char* id);
int FakeHtmlElementCount(void);
/* Handler slots: "onclick" .. "onfocus" on elements, "onfocusin", "onfocusout",
 * "oncontextmenu", "onreadystatechange" on the document (element -1). */
int FakeHtmlHandlerSet(int element, const char* handler);
int FakeHtmlHandlerPuts(int element, const char* handler);
/* Fires the handler with an event; bit 0 of the answer: cancelBubble was set,
 * bit 1: returnValue was set to false; -1 when no handler is set. */
int FakeHtmlFire(int element, const char* handler, const char* type, int source, int ctrl, int keyCode, int x,
                 int y);
/* Element state as the host left it (null when absent). */
const wchar_t* FakeHtmlAttr(int element, const char* name);
const wchar_t* FakeHtmlStyle(int element, const char* name);
const wchar_t* FakeHtmlInner(int element);
int FakeHtmlDisabled(int element);
int FakeHtmlHideFocus(int element);
int FakeHtmlFocused(void);
void FakeHtmlSetReadyState(const char* state);

#ifdef __cplusplus
}
#endif
