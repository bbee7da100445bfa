// webxml.h - list view and tree view contents as XML documents in the web
// view: the document formats, the loaders over XmlParse, the savers over the
// XML writer, the element names made from texts, and the output files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/util/xml.h"
#include "webview/controls/weblistview.h"
#include "webview/controls/webtree.h"

// Result codes of the XML contents.
enum WebXmlResult : int32_t {
    kXcOk = 0,
    kXcNoFile = 200,        // the source or target file could not be made available
    kXcNoColumns = 201,     // save: no columns; load with kept columns: no memory for the map
    kXcNoMap = 202,         // save: no memory for the column map
    kXcNoVariable = 300,    // the variable transfer is not available in the web-view mode
};
// The save modes: the named file, the program's variable, the size alone.
enum WebXmlMode : int32_t { kXmlModeFile = 0, kXmlModeVar = 1, kXmlModeSize = 2 };
constexpr uint32_t kXmlSizeMark = 0x80000000u;
constexpr char kXmlDocumentMark[] = "<?xml";

// ---- Output files --------------------------------------------------------------------------
// Where a save writes: a local file, and the server's name when it has to be
// sent back after the write.
struct XmlOutTarget {
    char localPath[260];
    char serverName[260];
    bool sendBack;
};
// The files of the savers, given by the cross build (PrepSrvFileWrite,
// PutSrvFile, a temporary file "QOV*"); an empty entry answers 200.
struct WebXmlFileServices {
    int32_t (*prepWrite)(const char* name, XmlOutTarget* out);  // 0 or its code
    int32_t (*putBack)(XmlOutTarget* out);                      // 0 or its code
    bool (*tempFile)(char* path, uint32_t size);                // a new empty temporary file
};
extern WebXmlFileServices gWebXmlFiles;

// A new temporary file as the target: 0, else 200.
int32_t XmlOutTempFile(XmlOutTarget* out);
// The size of the target file, 0 when it cannot be opened.
uint32_t XmlOutFileSize(const XmlOutTarget* out);
// The document's elements, written by a saver into an open writer.
typedef int (*XmlBodyFn)(XmlWriter* w, void* state);
// One save: the named file (mode 0; a refused file answers prepFailure, or
// the file service's own code when that is 0) or a temporary file (modes 1 and
// 2; 200 when none can be made); the writer opened on it with one tab per
// level, the body, the writer closed. A writer error deletes the file and is
// answered. Then mode 0 sends the file back where it belongs, mode 2 answers
// its size with the top bit set and mode 1 answers 300; both delete it.
int32_t XmlSaveToTarget(const char* name, int32_t mode, int32_t prepFailure, uint32_t writerFlags, XmlBodyFn body,
                        void* state);

// ---- Shared by both controls ------------------------------------------------------------
// The document of a load: the source itself when it begins with "<?xml", else
// the file it names made available (*data holds it, to be freed); 0 or 200.
int32_t XmlSourceText(const char* source, uint32_t length, const char** text, uint32_t* size, char** data);
// The source argument of a load method (a number given stands for its digits).
const char* XmlMethodSource(const MethodCallRec* call, uint32_t* length);
// A decimal attribute written when the value is not 0 or always is set.
int XmlWriteNumberAttr(XmlWriter* w, const char* name, int64_t value, bool always);
// An attribute's value among the reader's name/value pairs, none when absent.
const char* XmlAttrValue(const char** attrs, const char* name);
// A size answered by mode 2 as the methods answer it: the size, 0 on an error.
int32_t XmlSizeAnswer(int32_t result);

// ---- Element names -------------------------------------------------------------------------
// An XML name made from a text: characters other than letters, digits, '_',
// '-' and '.' become '_'; a text that does not begin with a letter or '_', or
// begins with "xml" in any case, gets '_' in front; cut at 80. out holds
// kXmlMaxName + 1 bytes. True when the name differs from the text.
bool XmlNameFromText(const char* text, char* out);
// The text in place turned to lower case, else (upper) to upper case.
void XmlTextCaseConvert(char* text, bool lower, bool upper);
// A copy of the text (runtime heap) with the case conversion; none without memory.
char* XmlCaseCopy(const char* text, bool lower, bool upper);

// ---- List view -----------------------------------------------------------------------------
enum ListViewXmlOption : uint32_t {
    kLxNoRowAttrs = 0x0001,     // save: no "lvi"/"lvp"; load: row attributes are not column values
    kLxNoColAttrs = 0x0002,     // save: no "lvw"/"lvf"/"name"; load: keep '_' in new header texts
    kLxSkipSpecial = 0x0004,    // save: skip the colour and attribute columns
    kLxKeepColumns = 0x0004,    // load: keep the columns, match elements to them by name
    kLxAsAttributes = 0x0008,
    kLxSelectedOnly = 0x0010,
    kLxTickedOnly = 0x0020,
    kLxZeroRowAttrs = 0x0040,
    kLxSkipZeroWidth = 0x0080,
    kLxLatin1 = 0x0100,
    kLxLower = 0x0200,
    kLxUpper = 0x0400,
    kLxEmptyRow = 0x0800,
    kLxGenericNames = 0x1000,
};

// One column of a save or of a load that keeps the columns, in column order.
struct ListViewXmlColumnEntry {
    ListViewXmlColumnEntry* next;
    uint32_t column;
    uint8_t firstWritten;
    uint8_t special;            // the colour and attribute columns
    int32_t width;
    uint32_t align;             // 0 to 3
    const char* header;         // the header text to keep in "name", none when the name says it
    char name[kXmlMaxName + 1];
};

// The column map: none when out of memory (or without columns).
ListViewXmlColumnEntry* ListViewXmlColumnMap(const WebListViewRecord* lv, bool firstRowDone, bool genericNames);
void ListViewXmlColumnMapFree(ListViewXmlColumnEntry* map);
// One column as an element: its name, on its first use the column attributes,
// then the text.
int ListViewXmlWriteRoot(XmlWriter* w, ListViewXmlColumnEntry* entry, const char* text);

int32_t WebListViewLoadXml(WebListViewRecord* lv, const char* source, uint32_t length, uint32_t options,
                           const char* tableName, const char* rowName);
int32_t WebListViewSaveXml(WebListViewRecord* lv, const char* name, uint32_t options, const char* tableName,
                           const char* rowName, int32_t mode);
int32_t WebListViewSaveXmlFile(WebListViewRecord* lv, const char* name, uint32_t options, const char* tableName,
                               const char* rowName);
int32_t WebListViewSaveXmlVar(WebListViewRecord* lv, uint32_t options, const char* tableName, const char* rowName);
int32_t WebListViewXmlSize(WebListViewRecord* lv, uint32_t options, const char* tableName, const char* rowName);
// Methods 51, 52, 64 and 65.
int32_t WebListViewXmlMethod(ObjectRecord* rec, MethodCallRec* call);

// ---- Tree view -----------------------------------------------------------------------------
enum TreeViewXmlOption : uint32_t {
    kTxNoAttrs = 0x01,          // save: no node attributes; load: attributes make no nodes
    kTxLeafElements = 0x02,     // save: every leaf as "__d%d"; load: keep '_' in names
    kTxZeroAttrs = 0x04,
    kTxLatin1 = 0x08,
    kTxLower = 0x10,
    kTxUpper = 0x20,
    kTxNoTextAttr = 0x40,
};
constexpr uint32_t kTreeXmlReadBase = 200;

int32_t WebTreeViewLoadXml(WebTreeViewRecord* tv, const char* source, uint32_t length, uint32_t options);
int32_t WebTreeViewSaveXml(WebTreeViewRecord* tv, const char* name, uint32_t options, int32_t mode);
int32_t WebTreeViewSaveXmlFile(WebTreeViewRecord* tv, const char* name, uint32_t options);
int32_t WebTreeViewSaveXmlVar(WebTreeViewRecord* tv, uint32_t options);
int32_t WebTreeViewXmlSize(WebTreeViewRecord* tv, uint32_t options);
// Methods 22, 23, 26 and 27.
int32_t WebTreeViewXmlMethod(ObjectRecord* rec, MethodCallRec* call);
