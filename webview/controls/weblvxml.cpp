// weblvxml.cpp - a list view's rows as an XML document in the web view: the
// column map and its element names, the save to a file, to the size or to the
// program's variable, the load that makes columns and rows from the elements;
// and the output files and element names the tree view's XML shares.
#include "webview/controls/webxml.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "objects/kindcodes.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"
#include "session/util/strutil.h"
#include "webview/controls/weblist.h"
#include "webview/controls/weblvtext.h"
#include "webview/core/webobject.h"
#include "webview/core/webtext.h"

WebXmlFileServices gWebXmlFiles;

namespace {

constexpr char kDefaultTable[] = "Table";
constexpr char kDefaultRow[] = "Row";
constexpr char kFgName[] = "__F__", kBgName[] = "__B__", kAttrName[] = "__A__";
constexpr char kKeepPrefix[] = "__";
constexpr int32_t kNewColumnWidth = 80;
constexpr uint32_t kAlignMask = 3;
constexpr uint32_t kIndentOneTab = ('\t' << 8) | 1;
constexpr uint32_t kRowAtEnd = 99999999;
constexpr size_t kNumberText = 16;
constexpr uint32_t kUniqueTriesMax = 1000;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsNameChar(char c) { return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

// ---- Output files ------------------------------------------------------------------------------

int32_t XmlOutTempFile(XmlOutTarget* out) {
    memset(out, 0, sizeof *out);
    if (!gWebXmlFiles.tempFile || !gWebXmlFiles.tempFile(out->localPath, sizeof out->localPath)) return kXcNoFile;
    return kXcOk;
}

uint32_t XmlOutFileSize(const XmlOutTarget* out) {
    FILE* f = fopen(out->localPath, "rb");
    if (!f) return 0;
    long n = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    fclose(f);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

int32_t XmlSaveToTarget(const char* name, int32_t mode, int32_t prepFailure, uint32_t writerFlags, XmlBodyFn body,
                        void* state) {
    XmlOutTarget target = {};
    int32_t r;
    if (mode == kXmlModeFile) {
        // No name here is one that could not be used as given (WebListArgName).
        r = gWebXmlFiles.prepWrite && name ? gWebXmlFiles.prepWrite(name, &target) : kXcNoFile;
        if (r != kXcOk) return prepFailure ? prepFailure : r;
    } else if ((r = XmlOutTempFile(&target)) != kXcOk) {
        return r;
    }
    XmlWriter w;
    XmlWriterInit(&w);
    w.flags = writerFlags | kXmlIndent;
    w.options = kIndentOneTab;
    r = XmlWriteOpen(&w, target.localPath);
    if (r == kXmlWriteOk) r = body(&w, state);
    if (w.file) {
        int closed = XmlWriteClose(&w);
        if (r == kXmlWriteOk) r = closed;
    }
    if (r != kXmlWriteOk) {
        // A failed save leaves no file behind, nor a half-written one of the client's.
        remove(target.localPath);
        return r;
    }
    switch (mode) {
    case kXmlModeFile:
        return target.sendBack && gWebXmlFiles.putBack ? gWebXmlFiles.putBack(&target) : kXcOk;
    case kXmlModeSize: {
        uint32_t size = XmlOutFileSize(&target);
        remove(target.localPath);
        return static_cast<int32_t>(kXmlSizeMark | size);
    }
    default:
        // The web view has no way to fill the program's variable from the file.
        remove(target.localPath);
        return kXcNoVariable;
    }
}

// ---- Element names -----------------------------------------------------------------------------

bool XmlNameFromText(const char* text, char* out) {
    size_t n = 0;
    bool xmlStart = Lower(text[0]) == 'x' && Lower(text[1]) == 'm' && Lower(text[2]) == 'l';
    if (!(IsAsciiLetter(text[0]) || text[0] == '_') || xmlStart) out[n++] = '_';
    // Only ASCII letters count: the writer puts names out byte for byte, so a
    // client-set letter would not be UTF-8 in the document.
    for (const char* p = text; *p && n < static_cast<size_t>(kXmlMaxName); ++p) out[n++] = IsNameChar(*p) ? *p : '_';
    out[n] = 0;
    return strcmp(out, text) != 0;
}

void XmlTextCaseConvert(char* text, bool lower, bool upper) {
    for (char* p = text; *p; ++p) {
        if (lower && *p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
        else if (!lower && upper && *p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    }
}

char* XmlCaseCopy(const char* text, bool lower, bool upper) {
    size_t n = strlen(text);
    auto* copy = static_cast<char*>(GuardedAlloc(n + 1));
    if (!copy) return nullptr;
    memcpy(copy, text, n + 1);
    XmlTextCaseConvert(copy, lower, upper);
    return copy;
}

int32_t XmlSourceText(const char* source, uint32_t length, const char** text, uint32_t* size, char** data) {
    *data = nullptr;
    size_t mark = sizeof kXmlDocumentMark - 1;
    if (length >= mark && memcmp(source, kXmlDocumentMark, mark) == 0) {
        *text = source;
        *size = length;
        return kXcOk;
    }
    // A file's name is read as given or not at all: one holding a NUL, or
    // longer than the name's room, cut would read another file.
    if (!NameIsWhole(source, length, kTextBufSize)) return kXcNoFile;
    char name[kTextBufSize + 1];
    snprintf(name, sizeof name, "%.*s", static_cast<int>(length), source);
    if (!gWebListFiles.load || gWebListFiles.load(name, data, size) != 0 || !*data) return kXcNoFile;
    *text = *data;
    return kXcOk;
}

const char* XmlMethodSource(const MethodCallRec* call, uint32_t* length) {
    static char digits[kNumberText];
    const char* source = WebListArgRaw(call, 0, length);
    if (source) return source;
    *length = WebListArgText(call, 0, digits, sizeof digits);
    return digits;
}

int XmlWriteNumberAttr(XmlWriter* w, const char* name, int64_t value, bool always) {
    if (value == 0 && !always) return kXmlWriteOk;
    char num[kNumberText + 8];
    snprintf(num, sizeof num, "%lld", static_cast<long long>(value));
    return XmlWriteAttr(w, name, num);
}

const char* XmlAttrValue(const char** attrs, const char* name) {
    for (const char** a = attrs; a && a[0]; a += 2)
        if (strcmp(a[0], name) == 0) return a[1];
    return nullptr;
}

int32_t XmlSizeAnswer(int32_t result) {
    return result < 0 ? static_cast<int32_t>(static_cast<uint32_t>(result) & ~kXmlSizeMark) : 0;
}

// ---- Column map --------------------------------------------------------------------------------

namespace {

bool IsSpecial(const WebListViewRecord* lv, uint32_t column) {
    return column > 0 && (column == lv->fgColumn || column == lv->bgColumn || column == lv->attrColumn);
}

// The header text a load makes of an element name: '_' read as a blank, except
// for names that begin with "__".
bool HeaderComesBack(const char* name, const char* header) {
    if (strncmp(name, kKeepPrefix, 2) == 0) return strcmp(name, header) == 0;
    for (; *name && *header; ++name, ++header)
        if ((*name == '_' ? ' ' : *name) != *header) return false;
    return *name == *header;
}

bool NameTaken(const ListViewXmlColumnEntry* head, const char* name) {
    // The row's own attributes: a column of these names would repeat them in attribute form.
    if (strcmp(name, "lvi") == 0 || strcmp(name, "lvp") == 0) return true;
    for (const ListViewXmlColumnEntry* e = head; e; e = e->next)
        if (strcmp(e->name, name) == 0) return true;
    return false;
}

// A name no earlier column has: "Col%d", then "Col%d_%u" counted up.
void MakeUnique(const ListViewXmlColumnEntry* head, ListViewXmlColumnEntry* e) {
    if (!NameTaken(head, e->name)) return;
    snprintf(e->name, sizeof e->name, "Col%u", e->column);
    for (uint32_t k = 1; k < kUniqueTriesMax && NameTaken(head, e->name); ++k)
        snprintf(e->name, sizeof e->name, "Col%u_%u", e->column, k);
}

void NameColumn(const WebListViewRecord* lv, const ListViewXmlColumnEntry* head, ListViewXmlColumnEntry* e,
                const char* header, bool genericNames) {
    if (e->column == lv->fgColumn && e->special) snprintf(e->name, sizeof e->name, "%s", kFgName);
    else if (e->column == lv->bgColumn && e->special) snprintf(e->name, sizeof e->name, "%s", kBgName);
    else if (e->special) snprintf(e->name, sizeof e->name, "%s", kAttrName);
    else if (genericNames || !header[0]) snprintf(e->name, sizeof e->name, "Col%u", e->column);
    else XmlNameFromText(header, e->name);
    if (e->special) return;
    MakeUnique(head, e);
    // The header goes in "name" when the element name would not give it back.
    e->header = HeaderComesBack(e->name, header) ? nullptr : header;
}

}  // namespace

ListViewXmlColumnEntry* ListViewXmlColumnMap(const WebListViewRecord* lv, bool firstRowDone, bool genericNames) {
    ListViewXmlColumnEntry* head = nullptr;
    ListViewXmlColumnEntry** tail = &head;
    uint32_t count = lv->methodColumns < static_cast<uint32_t>(lv->columnCount > 0 ? lv->columnCount : 0)
                         ? lv->methodColumns
                         : static_cast<uint32_t>(lv->columnCount > 0 ? lv->columnCount : 0);
    for (uint32_t k = 0; k < count; ++k) {
        const ListViewColumn* c = WebListViewColumnRec(lv, static_cast<int32_t>(k));
        auto* e = static_cast<ListViewXmlColumnEntry*>(GuardedAlloc(sizeof(ListViewXmlColumnEntry)));
        if (!c || !e) {
            GuardedFree(e);
            ListViewXmlColumnMapFree(head);
            return nullptr;
        }
        memset(e, 0, sizeof *e);
        e->column = k;
        e->firstWritten = firstRowDone ? 1 : 0;
        e->special = IsSpecial(lv, k) ? 1 : 0;
        e->width = c->width;
        e->align = c->format & kAlignMask;
        NameColumn(lv, head, e, c->text ? c->text : "", genericNames);
        *tail = e;
        tail = &e->next;
    }
    return head;
}

void ListViewXmlColumnMapFree(ListViewXmlColumnEntry* map) {
    while (map) {
        ListViewXmlColumnEntry* next = map->next;
        GuardedFree(map);
        map = next;
    }
}

int ListViewXmlWriteRoot(XmlWriter* w, ListViewXmlColumnEntry* entry, const char* text) {
    int r = XmlStartElement(w, entry->name);
    if (r == kXmlWriteOk && !entry->firstWritten) {
        char num[kNumberText];
        snprintf(num, sizeof num, "%d", entry->width);
        r = XmlWriteAttr(w, "lvw", num);
        snprintf(num, sizeof num, "%u", entry->align);
        if (r == kXmlWriteOk) r = XmlWriteAttr(w, "lvf", num);
        if (r == kXmlWriteOk && entry->header) r = XmlWriteAttr(w, "name", entry->header);
        entry->firstWritten = 1;
    }
    if (r == kXmlWriteOk) r = XmlWriteText(w, text);
    if (r == kXmlWriteOk) r = XmlEndElement(w);
    return r;
}

// ---- Save --------------------------------------------------------------------------------------

namespace {

struct ListViewXmlSave {
    WebListViewRecord* lv;
    uint32_t options;
    char table[kXmlMaxName + 1];
    char row[kXmlMaxName + 1];
    ListViewXmlColumnEntry* map;
};

int WriteRowAttrs(XmlWriter* w, const ListViewXmlSave* s, const ListViewRow* row) {
    if (s->options & kLxNoRowAttrs) return kXmlWriteOk;
    bool all = (s->options & kLxZeroRowAttrs) != 0;
    int r = XmlWriteNumberAttr(w, "lvi", row ? row->image : 0, all);
    if (r == kXmlWriteOk) r = XmlWriteNumberAttr(w, "lvp", row ? row->param : 0, all);
    return r;
}

// One row (none: the empty row of an empty list): its written columns as
// elements or as attributes; a row whose columns are all skipped is left out.
int WriteRow(XmlWriter* w, ListViewXmlSave* s, const ListViewRow* row) {
    bool started = false;
    bool lower = (s->options & kLxLower) != 0, upper = (s->options & kLxUpper) != 0;
    int r = kXmlWriteOk;
    for (ListViewXmlColumnEntry* e = s->map; e && r == kXmlWriteOk; e = e->next) {
        if ((s->options & kLxSkipZeroWidth) && e->width <= 0) continue;
        if ((s->options & kLxSkipSpecial) && e->special) continue;
        const ListViewCell* cell = row ? WebListViewCell(row, static_cast<int32_t>(e->column)) : nullptr;
        // The whole cell text goes out, however long.
        char* text = XmlCaseCopy(cell && cell->text ? cell->text : "", lower, upper);
        if (!text) return kXmlWriteFailed;
        if (!started) {
            r = XmlStartElement(w, s->row);
            if (r == kXmlWriteOk) r = WriteRowAttrs(w, s, row);
            started = true;
        }
        if (r == kXmlWriteOk)
            r = (s->options & kLxAsAttributes) ? XmlWriteAttr(w, e->name, text) : ListViewXmlWriteRoot(w, e, text);
        GuardedFree(text);
    }
    if (r == kXmlWriteOk && started) r = XmlEndElement(w);
    return r;
}

int WriteListBody(XmlWriter* w, void* state) {
    auto* s = static_cast<ListViewXmlSave*>(state);
    int r = XmlStartElement(w, s->table);
    if (r == kXmlWriteOk && !s->lv->rows && (s->options & kLxEmptyRow)) r = WriteRow(w, s, nullptr);
    for (ListViewRow* row = s->lv->rows; row && r == kXmlWriteOk; row = row->next) {
        if ((s->options & kLxSelectedOnly) && !(row->state & kLvRowSelected)) continue;
        if ((s->options & kLxTickedOnly) && !row->check) continue;
        r = WriteRow(w, s, row);
    }
    if (r == kXmlWriteOk) r = XmlEndElement(w);
    return r;
}

void NameOrDefault(char* out, const char* given, const char* def) {
    snprintf(out, kXmlMaxName + 1, "%s", given && given[0] ? given : def);
}

}  // namespace

int32_t WebListViewSaveXml(WebListViewRecord* lv, const char* name, uint32_t options, const char* tableName,
                           const char* rowName, int32_t mode) {
    if (lv->columnCount <= 0 || lv->methodColumns == 0) return kXcNoColumns;
    ListViewXmlSave s = {};
    s.lv = lv;
    s.options = options;
    NameOrDefault(s.table, tableName, kDefaultTable);
    NameOrDefault(s.row, rowName, kDefaultRow);
    s.map = ListViewXmlColumnMap(lv, (options & kLxNoColAttrs) != 0, (options & kLxGenericNames) != 0);
    if (!s.map) return kXcNoMap;
    uint32_t flags = (options & kLxLatin1) ? kXmlIsoLatin1 : 0;
    if (!(lv->hdr.modeFlags & kModeUtf8Texts)) flags |= kXmlConvertUtf8;
    // The list answers 200 for a target file it cannot have, whatever the reason.
    int32_t r = XmlSaveToTarget(name, mode, kXcNoFile, flags, WriteListBody, &s);
    ListViewXmlColumnMapFree(s.map);
    return r;
}

int32_t WebListViewSaveXmlFile(WebListViewRecord* lv, const char* name, uint32_t options, const char* tableName,
                               const char* rowName) {
    return WebListViewSaveXml(lv, name, options, tableName, rowName, kXmlModeFile);
}

int32_t WebListViewSaveXmlVar(WebListViewRecord* lv, uint32_t options, const char* tableName, const char* rowName) {
    return WebListViewSaveXml(lv, nullptr, options, tableName, rowName, kXmlModeVar);
}

int32_t WebListViewXmlSize(WebListViewRecord* lv, uint32_t options, const char* tableName, const char* rowName) {
    return WebListViewSaveXml(lv, nullptr, options, tableName, rowName, kXmlModeSize);
}

// ---- Load --------------------------------------------------------------------------------------

namespace {

struct ListViewXmlLoadState {
    WebListViewRecord* lv;
    uint32_t options;
    bool inRoot, inRow, rowMade, keepColumns;
    uint32_t depth;            // inside a row: elements open below the row
    uint32_t skipDepth;        // inside the root: elements passed over
    int32_t row;
    int32_t image;
    uint32_t param;
    char rootName[kXmlMaxName + 1];
    char rowName[kXmlMaxName + 1];
    ListViewXmlColumnEntry* map;
    ListViewXmlColumnEntry* current;
};

ListViewXmlLoadState* StateOf(XmlReader* r) { return static_cast<ListViewXmlLoadState*>(r->user); }

// Names past 80 characters never come from the saver; they match on their first 80.
ListViewXmlColumnEntry* ListViewXmlFindColumn(ListViewXmlLoadState* s, const char* name) {
    for (ListViewXmlColumnEntry* e = s->map; e; e = e->next)
        if (strncmp(e->name, name, kXmlMaxName) == 0 && (strlen(name) >= kXmlMaxName || e->name[strlen(name)] == 0))
            return e;
    return nullptr;
}

// A new column named by an element (its attributes, none for an attribute
// column); none when it cannot be made.
ListViewXmlColumnEntry* ListViewXmlNewColumn(ListViewXmlLoadState* s, const char* name, const char** attrs) {
    WebListViewRecord* lv = s->lv;
    auto* e = static_cast<ListViewXmlColumnEntry*>(GuardedAlloc(sizeof(ListViewXmlColumnEntry)));
    if (!e) return nullptr;
    memset(e, 0, sizeof *e);
    snprintf(e->name, sizeof e->name, "%s", name);
    bool keep = (s->options & kLxNoColAttrs) || strncmp(name, kKeepPrefix, 2) == 0;
    uint32_t at = lv->methodColumns;
    uint32_t* special = nullptr;
    if (at > 0 && strcmp(name, kFgName) == 0) special = &lv->fgColumn;
    else if (at > 0 && strcmp(name, kBgName) == 0) special = &lv->bgColumn;
    else if (at > 0 && strcmp(name, kAttrName) == 0) special = &lv->attrColumn;
    int32_t pos;
    if (special) {
        pos = WebListViewAddColumn(lv, nullptr, 0, 0, static_cast<int32_t>(at), 0);
    } else {
        const char* header = XmlAttrValue(attrs, "name");
        char* text = WebListCopyText(header ? header : name, static_cast<uint32_t>(strlen(header ? header : name)));
        if (!text) {
            GuardedFree(e);
            return nullptr;
        }
        if (!header && !keep)
            for (char* p = text; *p; ++p)
                if (*p == '_') *p = ' ';
        const char* width = XmlAttrValue(attrs, "lvw");
        const char* format = XmlAttrValue(attrs, "lvf");
        pos = WebListViewAddColumn(lv, text, static_cast<uint32_t>(strlen(text)),
                                   width ? static_cast<int32_t>(strtol(width, nullptr, 10)) : kNewColumnWidth,
                                   static_cast<int32_t>(at), format ? static_cast<uint32_t>(strtoul(format, nullptr, 10)) : 0);
        GuardedFree(text);
    }
    if (pos < 0) {
        GuardedFree(e);
        return nullptr;
    }
    if (special) *special = static_cast<uint32_t>(pos);
    e->column = static_cast<uint32_t>(pos);
    e->next = s->map;
    s->map = e;
    return e;
}

// One value of the current row: the first makes the row at the end.
int ListViewXmlSetCell(ListViewXmlLoadState* s, const ListViewXmlColumnEntry* e, const char* text, size_t length) {
    // The reader's text is outside data: its size is checked before the copy.
    CheckedSize checked(length);
    if (!checked.Fits()) return kXmlReadNoMemory;
    uint32_t n = static_cast<uint32_t>(checked.Size());
    if (!s->rowMade) {
        bool first = e->column == 0;
        s->row = WebListViewInsertItem(s->lv, static_cast<int32_t>(kRowAtEnd), first ? text : "", first ? n : 0,
                                       s->image, s->param, 0);
        if (s->row < 0) return kXmlReadNoMemory;
        s->rowMade = true;
        if (first) return 0;
    }
    return WebListViewSetItem(s->lv, s->row, static_cast<int32_t>(e->column), text, n) ? 0 : kXmlReadNoMemory;
}

ListViewXmlColumnEntry* ColumnFor(ListViewXmlLoadState* s, const char* name, const char** attrs) {
    ListViewXmlColumnEntry* e = ListViewXmlFindColumn(s, name);
    if (!e && !s->keepColumns) e = ListViewXmlNewColumn(s, name, attrs);
    return e;
}

int OpenRow(ListViewXmlLoadState* s, const char** attrs) {
    s->inRow = true;
    s->rowMade = false;
    s->depth = 0;
    s->current = nullptr;
    const char* image = XmlAttrValue(attrs, "lvi");
    const char* param = XmlAttrValue(attrs, "lvp");
    s->image = image ? static_cast<int32_t>(strtol(image, nullptr, 10)) : 0;
    s->param = param ? static_cast<uint32_t>(strtoul(param, nullptr, 10)) : 0;
    if (s->options & kLxNoRowAttrs) return 0;
    for (const char** a = attrs; a && a[0]; a += 2) {
        if (strcmp(a[0], "lvi") == 0 || strcmp(a[0], "lvp") == 0) continue;
        ListViewXmlColumnEntry* e = ColumnFor(s, a[0], nullptr);
        if (!e) continue;
        int r = ListViewXmlSetCell(s, e, a[1], strlen(a[1]));
        if (r) return r;
    }
    return 0;
}

int OnListStart(XmlReader* reader, const char* name, const char** attrs) {
    ListViewXmlLoadState* s = StateOf(reader);
    if (!s->inRoot) {
        if (strcmp(name, s->rootName) == 0) {
            s->inRoot = true;
            s->skipDepth = 0;
        }
        return 0;
    }
    if (!s->inRow) {
        if (s->skipDepth == 0 && strcmp(name, s->rowName) == 0) return OpenRow(s, attrs);
        ++s->skipDepth;
        return 0;
    }
    // Inside a row only the outer element names a column; what it holds does not.
    if (s->depth == 0) s->current = ColumnFor(s, name, attrs);
    ++s->depth;
    return 0;
}

int OnListEnd(XmlReader* reader, const char*, const char* text, size_t length) {
    ListViewXmlLoadState* s = StateOf(reader);
    if (s->inRow) {
        if (s->depth == 0) {
            s->inRow = false;
            return 0;
        }
        if (--s->depth > 0 || !s->current) return 0;
        int r = ListViewXmlSetCell(s, s->current, text, length);
        s->current = nullptr;
        return r;
    }
    if (!s->inRoot) return 0;
    if (s->skipDepth > 0) --s->skipDepth;
    else s->inRoot = false;
    return 0;
}

void DeleteAllColumns(WebListViewRecord* lv) {
    lv->fgColumn = lv->bgColumn = lv->attrColumn = 0;
    while (lv->columnCount > 0) {
        WebListViewDropColumnWidth(lv, lv->columnCount - 1);
        WebListViewDeleteColumn(lv, lv->columnCount - 1);
    }
    lv->methodColumns = 0;
}

}  // namespace

// Reads the document (source: the text itself when it begins with "<?xml",
// else a file name) through XmlParse into the rows; 200 when the file cannot
// be had, 201 without memory for the kept columns' map, else the reader's code.
int32_t WebListViewLoadXml(WebListViewRecord* lv, const char* source, uint32_t length, uint32_t options,
                           const char* tableName, const char* rowName) {
    char* data = nullptr;
    uint32_t size = 0;
    const char* text = nullptr;
    if (XmlSourceText(source, length, &text, &size, &data) != kXcOk) return kXcNoFile;
    ListViewXmlLoadState s = {};
    s.lv = lv;
    s.options = options;
    s.keepColumns = (options & kLxKeepColumns) != 0;
    NameOrDefault(s.rootName, tableName, kDefaultTable);
    NameOrDefault(s.rowName, rowName, kDefaultRow);
    while (lv->rowCount) WebListViewDeleteItem(lv, 0);
    if (s.keepColumns) {
        s.map = ListViewXmlColumnMap(lv, true, false);
        if (!s.map && lv->methodColumns) {
            GuardedFree(data);
            return kXcNoColumns;
        }
    } else {
        DeleteAllColumns(lv);
    }
    WebListViewQueueRedraw(lv);
    XmlReader reader = {};
    reader.onStart = OnListStart;
    reader.onEnd = OnListEnd;
    reader.user = &s;
    int32_t r = XmlParse(&reader, nullptr, text, size);
    XmlReaderFree(&reader);
    ListViewXmlColumnMapFree(s.map);
    GuardedFree(data);
    return r;
}

// ---- Methods -------------------------------------------------------------------------------------

namespace {

// A text argument (none when not given) into out.
const char* ArgName(const MethodCallRec* call, uint32_t i, char* out, size_t size) {
    WebListArgText(call, i, out, size);
    return WebArgGiven(call, i) ? out : nullptr;
}

}  // namespace

int32_t WebListViewXmlMethod(ObjectRecord* rec, MethodCallRec* call) {
    WebListViewRecord* lv = WebListView(rec);
    static char name[kTextBufSize + 1];
    char table[kXmlMaxName + 1], row[kXmlMaxName + 1];
    bool named = call->method == kLvLoadXmlFile || call->method == kLvSaveXmlFile;
    uint32_t first = named ? 1 : 0;
    uint32_t options = static_cast<uint32_t>(WebArgInt(call, first, 0));
    const char* t = ArgName(call, first + 1, table, sizeof table);
    const char* r = ArgName(call, first + 2, row, sizeof row);
    switch (call->method) {
    case kLvLoadXmlFile: {
        uint32_t length = 0;
        const char* source = XmlMethodSource(call, &length);
        return WebReplyInt(WebListViewLoadXml(lv, source, length, options, t, r));
    }
    case kLvSaveXmlFile:
        return WebReplyInt(WebListViewSaveXmlFile(lv, WebListArgName(call, 0, name, sizeof name), options, t, r));
    case kLvSaveXmlToDim: {
        if (!call->result.varRef) return kWebNoAnswer;
        char text[kNumberText + 8];
        snprintf(text, sizeof text, "Error: %d", WebListViewSaveXmlVar(lv, options, t, r));
        return WebReplyText(text);
    }
    default: {
        if (!call->result.varRef) return WebReplyInt(0);
        return WebReplyInt(XmlSizeAnswer(WebListViewXmlSize(lv, options, t, r)));
    }
    }
}
