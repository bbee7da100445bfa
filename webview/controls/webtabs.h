// webtabs.h - the tab control of the web view: its record and tab list, the
// tab markup, creation, the item operations, properties, methods, and the
// page's tab switches.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

struct WebTabNode {
    WebTabNode* next;
    int32_t image;             // image list index, -1 none
    uint32_t param;
    uint8_t hotKey;            // the character after a single '&', a-z upper-cased
    char* label;               // as given, '&' marks kept; a blank when empty
};

struct WebTabControlRecord {
    ObjectRecord hdr;
    void* link;
    int32_t fixWidth, fixHeight;   // TabFixWth, TabFixHth in pixels
    uint32_t tabStyle;
    WebTabNode* tabs;
    uint8_t selected;          // 1-based, as last set or reported by the page
    uint8_t count;
    uint8_t widthStyle;        // TabWthStyle 1..3
    uint8_t multiRow;
    uint8_t changed;           // a page $CHANGE not yet asked about
    ObjectRecord* imageList;
};

inline WebTabControlRecord* WebTabs(ObjectRecord* rec) { return reinterpret_cast<WebTabControlRecord*>(rec); }

constexpr uint32_t kTabLabelStored = 200;     // characters of a label kept
constexpr uint32_t kTabMarkupMax = 500;
constexpr uint32_t kTabCountMax = 255;        // the count and selection are single bytes
constexpr int32_t kTabPosAtEnd = 1000;        // "pos" of a tab appended
constexpr int32_t kTabPosRelabel = 10000;     // "pos" of the tabs a new TabLabel sends

// A new tab node from a label of length bytes; none without memory.
WebTabNode* WebTabNodeNew(const char* label, uint32_t length);
// Inserts a node at zero-based pos; a position at or past the count, or a
// negative one, appends. True when the node went to the end (or into an
// empty list): the page is then told "pos" 1000.
bool WebTabNodeInsert(WebTabControlRecord* t, WebTabNode* node, int32_t pos);
// The tab list from the labels in gTextBuf, split at ';'.
void WebTabControlParseLabels(WebTabControlRecord* t);
// The markup of one tab into out (at most kTabMarkupMax characters): the
// image of the image strip at imageUrl (none: no image) and the label with
// its '&' marks removed. The URL is escaped for a quoted CSS url() inside a
// double-quoted attribute.
void WebTabImageMarkup(const WebTabNode* node, const char* imageUrl, int32_t imageWidth, int32_t imageHeight,
                       char* out, size_t outSize);

ObjectRecord* WebTabControlCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                  int32_t* code);
int32_t WebTabControlDeleteItem(ObjectRecord* rec, int32_t n);
int32_t WebTabControlInsertItem(ObjectRecord* rec, int32_t pos, const char* text, uint32_t length);
int32_t WebTabControlSelectTab(ObjectRecord* rec, int32_t n, const char* text, uint32_t length);
int32_t WebTabControlMethod(ObjectRecord* rec, MethodCallRec* call);
// Registers the creator, operations, properties and page events of kind 27.
void WebTabControlInstall();
