// webhtmlctl.h - the HTML control in the web view: markup the server gives,
// shown in the page with its live blocks, its elements read and changed by
// selector, bound to a table whose rows the user walks, and the page's
// clicks, checks, edits, keys and script events posted as its event 201.
#pragma once

#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"
#include "webview/core/webevents.h"

constexpr uint32_t kEvHtmlControl = 201;

struct WebHtmlCtlRecord {
    ObjectRecord hdr;
    char* content;                      // the last content kept; reloaded with the page
    uint8_t bdrStyle;                   // 1-3
    uint8_t scrollBar;                  // 1-4
    uint8_t shownOnce;                  // action 35 "dwid" 7 went out
    uint32_t codePage;                  // the character-set mode of its texts
    uint32_t webMode;
    uint32_t currentTab;
    char focusId[kHtmlFocusIdMax + 1];  // the element that last had the focus
    uint32_t boundTable;
    int32_t currentRow, firstRow, lastRow;
    int32_t rowValue;
    int32_t contextMenu;
};

inline WebHtmlCtlRecord* WebHtmlCtl(ObjectRecord* rec) { return reinterpret_cast<WebHtmlCtlRecord*>(rec); }

ObjectRecord* WebHtmlCtlCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                               int32_t* code);
// Sends content to the control's element (keep: the record keeps a copy for
// reloads); scrollFlags 4 asks for scrolling whatever ScrollBar says.
int32_t WebHtmlCtlSetContent(ObjectRecord* rec, const char* content, int32_t scrollFlags, bool keep);
int32_t WebHtmlControlSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                              bool* commonWrite);
int32_t WebHtmlControlGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebHtmlControlMethod(ObjectRecord* rec, MethodCallRec* call);
void WebHtmlControlFree(ObjectRecord* rec);
// The kept contents of the controls of a loaded page (one only: just rec).
void WebHtmlControlLoadAll(ObjectRecord* rec);
// The focus into the control by tab mode 0-4: 0 when the page took it,
// else 1.
int32_t WebHtmlControlFocus(ObjectRecord* rec, int32_t tabMode);
// WebHtmlControlFocus's tab modes: a tab step inside the page from the
// element that has the focus, to the next or the previous by tab id; and a tab
// step into the page, to its first element or (backwards) its last.
constexpr int32_t kHtmlFocusNext = 1, kHtmlFocusPrevious = 2, kHtmlFocusFirst = 3, kHtmlFocusLast = 4;
int32_t WebHtmlCtlRowAction(ObjectRecord* rec, int32_t request);
// The "dwid" of GetAttr and SetAttr by the name.
int WebHtmlAttrWhat(const char* name);
// Registers the creator, operations and page events of kind 52.
void WebHtmlCtlInstall();
