// webservices.h - the page services: the methods of the CLIENT object that
// reach the page itself (facts, style sheets and scripts, running script,
// storage, elements by selector) and the theme style sheet of a web window.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/objrecord.h"
#include "session/proto/records.h"
#include "webview/core/pageactions.h"

constexpr uint32_t kClientMethodFirst = 1;
constexpr uint32_t kClientMethodLast = 44;

// "dwid" of action 37.
enum PageFactsWhat : int {
    kFactsScreen = 1,
    kFactsPrint = 2,
    kFactsStyleSheet = 4,
    kFactsLocation = 5,
    kFactsWindow = 6,
    kFactsScript = 7,
};

// A CLIENT method: the page of rec (when given) or the current web view is
// asked; answers through the method replies, or a negative code (-37 for a
// number outside 1-44, the call check's code unchanged, -5 when the method
// needs a page and no web view is current).
int32_t WebPageServices(ObjectRecord* rec, MethodCallRec* call);

// Loads "themes/<n>/theme<n>.css" into the window's page when the theme
// number is above 0, or force is set.
void WebThemeSheet(ObjectRecord* window, bool force);

// The "dwid" of JqSet/JqGet from the flags and the element member's name.
int WebSelectorWhat(int32_t flags, const char* name);

// The separator of GetInfo/GetWinInfo from its argument's first byte: 0, a
// byte above 127 or no argument give 127.
char WebFactsSeparator(const char* text, uint32_t length);

// Prepares a directory path for the application host's directory methods:
// '\' becomes '/' (in src too), at most 250 characters are copied, a trailing
// '/' is added; with lastPart, the last component is moved one place right so
// that the directory (with its '/') and the component are separate texts, and
// *lastPart points at the directory's last '/' (null when there is none).
// dest holds at least kUrlPathMax + 2 bytes.
constexpr size_t kUrlPathMax = 250;
void UrlPathNormalize(char* src, char* dest, char** lastPart);

// The last error text of an application-host reply, kept in a block sized in
// whole kilobytes; null when none.
const char* WebAppErrorText(const char* newText);

// Frees what the services keep (end of run, tests).
void WebServicesCleanup();
