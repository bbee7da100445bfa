// webstatusbar.h - the status bar of the web view: its record (the native
// bar's fields over a web header), panels kept as the native status panels,
// the panel markup the client writes into the bar's element, the properties,
// methods and destroy steps of the bar and its panels, and the refresh of a
// form's status bars, disabled number edits and splitters after it loaded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/baritems.h"
#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct WebStatusBarRecord {
    ObjectRecord hdr;
    uint32_t panelCount;       // 0..100
    BarItemRecord* panels;     // StatusPanelRecords in creation order
    uint8_t showPanel;         // 1: the panels are shown, 0: the bar's own text
    uint8_t sizeGrip;          // kept for queries only: the page draws no grip
    char* text;                // the bar's own text, may be none
};

inline WebStatusBarRecord* WebStatusBar(ObjectRecord* rec) { return reinterpret_cast<WebStatusBarRecord*>(rec); }

// The whole panel markup stays below this many characters; a panel whose text
// would bring it there (with room for its tags) and those after it are left out.
constexpr size_t kStatusMarkupMax = 4096;
constexpr size_t kStatusPanelTagRoom = 70;

// The contents of a bar with ShowPanel set into out (at most
// kStatusMarkupMax characters and a NUL): one div per panel, classes qovsbp,
// qovsbo, qovsbi by border style and qovsbz for a last spring panel; a single
// blank without panels. Widths are written into each panel's style and kept
// as its current width.
void WebStatusBarMarkupText(WebStatusBarRecord* b, char* out, size_t outSize);

ObjectRecord* WebStatusBarCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                 int32_t* code);
// A panel from a creation record appended to a web bar (the form loader's
// and AddPanel's way in); none with the code: -3 at 100 panels, -6 no memory.
ObjectRecord* StatusBarAddPanel(ObjectRecord* bar, ObjectCreateRecord* cr, int32_t* code);
// Removes the panel at index (name none) or of that RunName; true when one went.
bool WebStatusBarRemovePanel(ObjectRecord* bar, uint32_t index, const char* name);
// The panels of a web bar in their order (a form save writes them after the bar).
uint32_t WebStatusBarPanelCount(ObjectRecord* bar);
ObjectRecord* WebStatusBarPanelAt(ObjectRecord* bar, uint32_t index);
// Sends the panel markup when ShowPanel is set; nothing otherwise.
void WebStatusBarMarkup(ObjectRecord* bar);
int32_t WebStatusBarMethod(ObjectRecord* rec, MethodCallRec* call);
void WebStatusBarDestroy(ObjectRecord* rec);
// The destroy step of a web status panel or tool button: the server's use goes
// (see BarItemRelease); the record stays while its bar or the server holds it.
int32_t WebBarItemDestroy(ObjectRecord* rec);
// After a form's objects were made: status bars get their panels, disabled
// number edits are disabled in the page, splitters that are not disabled get
// their cursors; panels are walked through their children.
void WebFormRefreshChildren(ObjectRecord* first);
// Registers the creator, operations, properties and item routing of kinds 38
// and 39.
void WebStatusBarInstall();
