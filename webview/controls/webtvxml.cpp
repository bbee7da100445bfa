// webtvxml.cpp - a tree view's nodes as an XML document in the web view: the
// element nesting is the node nesting. The saver walks the tree through its
// parent links, as the tree's delete and draw do, so no level needs a stack
// frame; the loader keeps one entry per open element on a heap stack.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "session/util/mem.h"
#include "webview/controls/weblist.h"
#include "webview/controls/webxml.h"
#include "webview/core/webobject.h"

namespace {

constexpr char kMultiRoot[] = "Multi_Root";
constexpr char kLeafPrefix[] = "__d";
constexpr size_t kLeafPrefixLength = sizeof kLeafPrefix - 1;
constexpr size_t kNumberText = 16;
constexpr uint32_t kStackGrowStep = 64;

// ---- Save ----------------------------------------------------------------------------------------

struct TreeViewXmlSave {
    WebTreeViewRecord* tv;
    uint32_t options;
    // The running "__d%d" number of each open sibling list; the writer refuses
    // a level past its depth limit before a deeper list is counted.
    uint32_t leafNumbers[kXmlMaxDepth + 2];
    uint32_t level;
};

int32_t NoNegative(int32_t v) { return v < 0 ? 0 : v; }

// A node's image, selected image and param as the document has them: a
// node without an image given (-1) has none.
void NodeValues(const TreeViewXmlSave* s, const WebTreeNode* n, int32_t* image, int32_t* selImage, uint32_t* param) {
    bool none = (s->options & kTxNoAttrs) != 0;
    *image = none ? 0 : NoNegative(n->image);
    *selImage = none ? 0 : NoNegative(n->selImage);
    *param = none ? 0 : n->param;
}

int WriteNodeAttrs(XmlWriter* w, const TreeViewXmlSave* s, const WebTreeNode* n) {
    if (s->options & kTxNoAttrs) return kXmlWriteOk;
    int32_t image, selImage;
    uint32_t param;
    NodeValues(s, n, &image, &selImage, &param);
    bool all = (s->options & kTxZeroAttrs) != 0;
    int r = XmlWriteNumberAttr(w, "tvi", image, all);
    if (r == kXmlWriteOk) r = XmlWriteNumberAttr(w, "tvp", param, all);
    if (r == kXmlWriteOk) r = XmlWriteNumberAttr(w, "tvs", selImage, all);
    return r;
}

// The element of a node named from its text; "tvn" keeps the text when the
// name differs. Names the loader reads as a leaf element or as the several
// top-level nodes' root get '_' in front, so they come back as nodes.
int StartNamedElement(XmlWriter* w, const TreeViewXmlSave* s, const char* text) {
    char name[kXmlMaxName + 2];
    bool differs = XmlNameFromText(text, name);
    if (strcmp(name, kMultiRoot) == 0 || strncmp(name, kLeafPrefix, kLeafPrefixLength) == 0) {
        memmove(name + 1, name, strlen(name) + 1);
        name[0] = '_';
        name[kXmlMaxName] = 0;
        differs = true;
    }
    int r = XmlStartElement(w, name);
    if (r == kXmlWriteOk && differs && !(s->options & kTxNoTextAttr)) r = XmlWriteAttr(w, "tvn", text);
    return r;
}

bool HasVisibleText(const char* text) {
    for (const char* p = text; *p; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') return true;
    return false;
}

// A node without children: plain text of its parent's element when it is an
// only child without values (and holds more than blanks, which the loader
// would pass over), an empty element named from its text when it is the only
// top-level node, else an element "__d%d" holding its text.
int WriteLeaf(XmlWriter* w, TreeViewXmlSave* s, const WebTreeNode* n, bool topLevel) {
    char* text = XmlCaseCopy(n->text, (s->options & kTxLower) != 0, (s->options & kTxUpper) != 0);
    if (!text) return kXmlWriteFailed;
    int32_t image, selImage;
    uint32_t param;
    NodeValues(s, n, &image, &selImage, &param);
    bool only = !n->prev && !n->next;
    bool plain = only && image == 0 && selImage == 0 && param == 0 && !(s->options & kTxLeafElements);
    int r;
    if (plain && topLevel) {
        r = StartNamedElement(w, s, text);
        if (r == kXmlWriteOk) r = XmlEndElement(w);
    } else if (plain && HasVisibleText(text)) {
        r = XmlWriteText(w, text);
    } else {
        char name[kNumberText + 4];
        uint32_t level = s->level < kXmlMaxDepth + 1 ? s->level : kXmlMaxDepth + 1;
        snprintf(name, sizeof name, "%s%u", kLeafPrefix, ++s->leafNumbers[level]);
        r = XmlStartElement(w, name);
        if (r == kXmlWriteOk) r = WriteNodeAttrs(w, s, n);
        if (r == kXmlWriteOk) r = XmlWriteText(w, text);
        if (r == kXmlWriteOk) r = XmlEndElement(w);
    }
    GuardedFree(text);
    return r;
}

int OpenNodeElement(XmlWriter* w, TreeViewXmlSave* s, const WebTreeNode* n) {
    int r = StartNamedElement(w, s, n->text);
    if (r == kXmlWriteOk) r = WriteNodeAttrs(w, s, n);
    if (r == kXmlWriteOk) {
        ++s->level;
        if (s->level <= kXmlMaxDepth + 1) s->leafNumbers[s->level] = 0;
    }
    return r;
}

// Pre-order through the links: a node with children opens its element and
// goes down; after the last of a sibling list the parents' elements close.
int TreeViewXmlWriteNodes(XmlWriter* w, void* state) {
    auto* s = static_cast<TreeViewXmlSave*>(state);
    WebTreeNode* root = &s->tv->tree->root;
    WebTreeNode* at = root->firstChild;
    if (!at) return kXmlWriteOk;
    bool multi = at->next != nullptr;
    int r = multi ? XmlStartElement(w, kMultiRoot) : kXmlWriteOk;
    while (at && r == kXmlWriteOk) {
        if (at->firstChild) {
            r = OpenNodeElement(w, s, at);
            at = at->firstChild;
            continue;
        }
        r = WriteLeaf(w, s, at, at->parent == root);
        while (r == kXmlWriteOk && at && !at->next) {
            at = at->parent;
            if (!at || at == root) {
                at = nullptr;
                break;
            }
            --s->level;
            r = XmlEndElement(w);
        }
        if (at) at = at->next;
    }
    if (r == kXmlWriteOk && multi) r = XmlEndElement(w);
    return r;
}

// ---- Load ----------------------------------------------------------------------------------------

// One open element: the node its children go under, the entry that keeps that
// node's last child, and for a "__d" element the values of the leaf it makes.
struct TreeXmlEntry {
    WebTreeNode* parent;
    uint32_t owner;
    WebTreeNode* last;
    bool leafAlways;
    int32_t image, selImage;
    uint32_t param;
};

struct TreeViewXmlLoad {
    WebTreeViewRecord* tv;
    uint32_t options;
    TreeXmlEntry* stack;       // [0]: the top level
    uint32_t depth, capacity;
};

TreeViewXmlLoad* LoadOf(XmlReader* r) { return static_cast<TreeViewXmlLoad*>(r->user); }

// A node appended last under the node entry owner keeps; none without memory.
WebTreeNode* AppendNode(TreeViewXmlLoad* s, uint32_t owner, const char* text, size_t length, int32_t image,
                        int32_t selImage, uint32_t param) {
    TreeXmlEntry* e = &s->stack[owner];
    WebTreeInsert req = {};
    req.parent = e->parent == &s->tv->tree->root ? 0 : e->parent->id;
    req.after = e->last ? e->last->id : kTreeInsertLast;
    req.mask = kTmText | kTmImage | kTmSelImage | kTmParam;
    req.text = text;
    req.length = length < kTextBufSize ? static_cast<uint32_t>(length) : kTextBufSize;
    req.image = image;
    req.selImage = selImage;
    req.param = param;
    uint32_t id = WebTreeInsertItem(s->tv, &req);
    WebTreeNode* n = id ? WebTreeNodeById(s->tv->tree, id) : nullptr;
    if (n) e->last = n;
    return n;
}

bool Push(TreeViewXmlLoad* s, const TreeXmlEntry& e) {
    if (s->depth + 1 >= s->capacity) {
        uint32_t cap = s->capacity + kStackGrowStep;
        auto* grown = static_cast<TreeXmlEntry*>(GuardedRealloc(s->stack, sizeof(TreeXmlEntry) * cap));
        if (!grown) return false;
        s->stack = grown;
        s->capacity = cap;
    }
    s->stack[++s->depth] = e;
    return true;
}

int32_t IntAttr(const char** attrs, const char* name) {
    const char* v = XmlAttrValue(attrs, name);
    return v ? static_cast<int32_t>(strtol(v, nullptr, 10)) : 0;
}

bool IsValueAttr(const char* name) {
    return strcmp(name, "tvi") == 0 || strcmp(name, "tvp") == 0 || strcmp(name, "tvs") == 0 ||
           strcmp(name, "tvn") == 0;
}

// Each other attribute of a node element: a child named by it holding one
// child with its value, before the element's own children.
int AttributeNodes(TreeViewXmlLoad* s, uint32_t self, const char** attrs) {
    for (const char** a = attrs; a && a[0]; a += 2) {
        if (IsValueAttr(a[0])) continue;
        WebTreeNode* named = AppendNode(s, self, a[0], strlen(a[0]), 0, 0, 0);
        if (!named) return kXmlReadNoMemory;
        WebTreeInsert req = {};
        req.parent = named->id;
        req.after = kTreeInsertLast;
        req.mask = kTmText | kTmImage | kTmSelImage | kTmParam;
        req.text = a[1];
        req.length = static_cast<uint32_t>(strnlen(a[1], kTextBufSize));
        if (!WebTreeInsertItem(s->tv, &req)) return kXmlReadNoMemory;
    }
    return 0;
}

int TreeViewXmlStartElement(XmlReader* reader, const char* name, const char** attrs) {
    TreeViewXmlLoad* s = LoadOf(reader);
    const TreeXmlEntry& up = s->stack[s->depth];
    TreeXmlEntry e = {};
    e.parent = up.parent;
    e.owner = up.owner;
    const char* given = XmlAttrValue(attrs, "tvn");
    if (s->depth == 0 && !given && strcmp(name, kMultiRoot) == 0) return Push(s, e) ? 0 : kXmlReadNoMemory;
    if (strncmp(name, kLeafPrefix, kLeafPrefixLength) == 0) {
        e.leafAlways = true;
        e.image = IntAttr(attrs, "tvi");
        e.selImage = IntAttr(attrs, "tvs");
        e.param = static_cast<uint32_t>(IntAttr(attrs, "tvp"));
        return Push(s, e) ? 0 : kXmlReadNoMemory;
    }
    char* text = WebListCopyText(given ? given : name, static_cast<uint32_t>(strnlen(given ? given : name, kTextBufSize)));
    if (!text) return kXmlReadNoMemory;
    if (!given && !(s->options & kTxLeafElements))
        for (char* p = text; *p; ++p)
            if (*p == '_') *p = ' ';
    WebTreeNode* n = AppendNode(s, up.owner, text, strlen(text), IntAttr(attrs, "tvi"), IntAttr(attrs, "tvs"),
                                static_cast<uint32_t>(IntAttr(attrs, "tvp")));
    GuardedFree(text);
    if (!n) return kXmlReadNoMemory;
    e.parent = n;
    e.owner = s->depth + 1;
    if (!Push(s, e)) return kXmlReadNoMemory;
    return (s->options & kTxNoAttrs) ? 0 : AttributeNodes(s, e.owner, attrs);
}

// The text after an element's last child becomes a leaf last under the node
// it belongs to: always for a "__d" element, for another element when it is
// more than the blanks of the indentation.
int TreeViewXmlEndElement(XmlReader* reader, const char*, const char* text, size_t length) {
    TreeViewXmlLoad* s = LoadOf(reader);
    if (s->depth == 0) return 0;
    TreeXmlEntry e = s->stack[s->depth--];
    if (!e.leafAlways && !HasVisibleText(text)) return 0;
    return AppendNode(s, e.owner, text, length, e.image, e.selImage, e.param) ? 0 : kXmlReadNoMemory;
}

}  // namespace

int32_t WebTreeViewSaveXml(WebTreeViewRecord* tv, const char* name, uint32_t options, int32_t mode) {
    TreeViewXmlSave s = {};
    s.tv = tv;
    s.options = options;
    uint32_t flags = (options & kTxLatin1) ? kXmlIsoLatin1 : 0;
    if (!(tv->hdr.modeFlags & kModeUtf8Texts)) flags |= kXmlConvertUtf8;
    return XmlSaveToTarget(name, mode, 0, flags, TreeViewXmlWriteNodes, &s);
}

int32_t WebTreeViewSaveXmlFile(WebTreeViewRecord* tv, const char* name, uint32_t options) {
    return WebTreeViewSaveXml(tv, name, options, kXmlModeFile);
}

int32_t WebTreeViewSaveXmlVar(WebTreeViewRecord* tv, uint32_t options) {
    return WebTreeViewSaveXml(tv, nullptr, options, kXmlModeVar);
}

int32_t WebTreeViewXmlSize(WebTreeViewRecord* tv, uint32_t options) {
    return WebTreeViewSaveXml(tv, nullptr, options, kXmlModeSize);
}

// Every node goes, then the document's elements make the nodes: 0, 200 when
// the file cannot be had, else 200 + the reader's code (the nodes made so far stay).
int32_t WebTreeViewLoadXml(WebTreeViewRecord* tv, const char* source, uint32_t length, uint32_t options) {
    char* data = nullptr;
    uint32_t size = 0;
    const char* text = nullptr;
    if (XmlSourceText(source, length, &text, &size, &data) != kXcOk) return kXcNoFile;
    WebTreeDeleteAll(tv);
    WebTreeViewQueueRedraw(tv);
    TreeViewXmlLoad s = {};
    s.tv = tv;
    s.options = options;
    s.stack = static_cast<TreeXmlEntry*>(GuardedAlloc(sizeof(TreeXmlEntry) * kStackGrowStep));
    int32_t r = kXmlReadNoMemory;
    if (s.stack) {
        s.capacity = kStackGrowStep;
        s.stack[0] = TreeXmlEntry{&tv->tree->root, 0, nullptr, false, 0, 0, 0};
        XmlReader reader = {};
        reader.onStart = TreeViewXmlStartElement;
        reader.onEnd = TreeViewXmlEndElement;
        reader.user = &s;
        r = XmlParse(&reader, nullptr, text, size);
        XmlReaderFree(&reader);
    }
    GuardedFree(s.stack);
    GuardedFree(data);
    return r == 0 ? 0 : static_cast<int32_t>(kTreeXmlReadBase) + r;
}

// ---- Methods -------------------------------------------------------------------------------------

int32_t WebTreeViewXmlMethod(ObjectRecord* rec, MethodCallRec* call) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    static char name[kTextBufSize + 1];
    bool named = call->method == kTreeLoadXmlFile || call->method == kTreeSaveXmlFile;
    uint32_t options = static_cast<uint32_t>(WebArgInt(call, named ? 1 : 0, 0));
    switch (call->method) {
    case kTreeLoadXmlFile: {
        uint32_t length = 0;
        const char* source = XmlMethodSource(call, &length);
        return WebReplyInt(WebTreeViewLoadXml(tv, source, length, options));
    }
    case kTreeSaveXmlFile:
        return WebReplyInt(WebTreeViewSaveXmlFile(tv, WebListArgName(call, 0, name, sizeof name), options));
    case kTreeSaveXmlToDim: {
        if (!call->result.varRef) return kWebNoAnswer;
        int32_t r = WebTreeViewSaveXmlVar(tv, options);
        if (r == 0) return kWebNoAnswer;
        char text[kNumberText + 8];
        snprintf(text, sizeof text, "Error: %d", r);
        return WebReplyText(text);
    }
    default: {
        if (!call->result.varRef) return WebReplyInt(0);
        return WebReplyInt(XmlSizeAnswer(WebTreeViewXmlSize(tv, options)));
    }
    }
}
