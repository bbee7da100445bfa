// webtree.cpp - the tree view in the web view: the client keeps every node
// under ids it hands out from blocks of 1,000; the page shows the tree as
// nested lists sent whole before the program next waits, or patched for one
// expand, selection, check, text or image. Deleting and drawing walk the tree
// through its parent links, so a tree of any depth needs no stack.
#include "webview/controls/webtree.h"

#include <cstdio>
#include <cstring>

#include "objects/events.h"
#include "objects/objtables.h"
#include "session/util/mem.h"
#include "webview/controls/webdrawn.h"
#include "webview/controls/weblist.h"
#include "webview/controls/weblistview.h"
#include "webview/controls/webxml.h"
#include "webview/core/pageactions.h"
#include "webview/core/webchannel.h"
#include "webview/core/webevents.h"
#include "webview/core/webgeneric.h"
#include "webview/core/webobject.h"
#include "webview/core/webprops.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"
#include "webview/core/webmarkup.h"

ObjectRecord* gWebTreeViewRedraws;
uint8_t gTreeViewNoRedraw;

namespace {

enum TreeDwid : int32_t {
    kTdWhole = 1, kTdToggle = 2, kTdSelect = 3, kTdCheck = 4, kTdVisible = 5, kTdText = 6, kTdImage = 7,
    kTdEnable = 8, kTdDisable = 9,
};
constexpr uintptr_t kFreeLinkMax = kTreeBlockSlots + 2;
constexpr uint32_t kTextRoomMax = 0xFFFF;
enum ExpandCode : uint32_t {
    kExCollapse = 1, kExExpand = 2, kExToggle = 3, kExPartial = 0x4000, kExCollapseReset = 0x8000,
};
enum NextCode : uint32_t {
    kNcRoot = 0, kNcNext = 1, kNcPrevious = 2, kNcParent = 3, kNcChild = 4, kNcFirstVisible = 5,
    kNcNextVisible = 6, kNcPrevVisible = 7, kNcDropHilite = 8, kNcCaret = 9, kNcLastVisible = 10, kNcCaret2 = 11,
};
enum SelectCode : uint32_t { kScVisible = 5, kScCaret = 9 };
enum TreeKey : int32_t {
    kKeySpace = 32, kKeyEnd = 35, kKeyHome = 36, kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40,
    kKeyShow = 999,
};
constexpr int32_t kExpanderValue = 3;
constexpr uint32_t kStateMaskAll = 255;
constexpr uint8_t kLineStyleNoLines = 3;

WebTreeHeader* Tree(WebTreeViewRecord* tv) { return tv->tree; }

WebTreeIdBlock* NewBlock(uint32_t base) {
    auto* b = static_cast<WebTreeIdBlock*>(GuardedAlloc(sizeof(WebTreeIdBlock)));
    if (!b) return nullptr;
    memset(b, 0, sizeof *b);
    b->base = base;
    b->freeHead = 1;
    for (uint32_t k = 0; k < kTreeBlockSlots; ++k) b->slots[k] = k + 2 <= kTreeBlockSlots ? k + 2 : 0;
    return b;
}

void InitBlock(WebTreeIdBlock* b, uint32_t base) {
    b->next = nullptr;
    b->base = base;
    b->freeHead = 1;
    for (uint32_t k = 0; k < kTreeBlockSlots; ++k) b->slots[k] = k + 2 <= kTreeBlockSlots ? k + 2 : 0;
}

uintptr_t* SlotOf(WebTreeHeader* h, uint32_t id) {
    if (id == 0) return nullptr;
    for (WebTreeIdBlock* b = &h->pool; b; b = b->next)
        if (id > b->base && id <= b->base + kTreeBlockSlots) return &b->slots[id - b->base - 1];
    return nullptr;
}

void FreeId(WebTreeHeader* h, uint32_t id) {
    for (WebTreeIdBlock* b = &h->pool; b; b = b->next) {
        if (id <= b->base || id > b->base + kTreeBlockSlots) continue;
        uint32_t slot = id - b->base;
        b->slots[slot - 1] = b->freeHead;
        b->freeHead = slot;
        return;
    }
}

void LinkLast(WebTreeNode* parent, WebTreeNode* node) {
    node->parent = parent;
    node->next = nullptr;
    WebTreeNode* last = parent->firstChild;
    while (last && last->next) last = last->next;
    node->prev = last;
    if (last) last->next = node;
    else parent->firstChild = node;
}

void LinkFirst(WebTreeNode* parent, WebTreeNode* node) {
    node->parent = parent;
    node->prev = nullptr;
    node->next = parent->firstChild;
    if (node->next) node->next->prev = node;
    parent->firstChild = node;
}

void LinkAfter(WebTreeNode* sibling, WebTreeNode* node) {
    node->parent = sibling->parent;
    node->prev = sibling;
    node->next = sibling->next;
    if (node->next) node->next->prev = node;
    sibling->next = node;
}

// Before the first child whose text is greater (after all equal ones).
void LinkSorted(WebTreeNode* parent, WebTreeNode* node) {
    WebTreeNode* before = parent->firstChild;
    while (before && WebListCompareNoCase(before->text, node->text) <= 0) before = before->next;
    if (!before) {
        LinkLast(parent, node);
        return;
    }
    node->parent = parent;
    node->next = before;
    node->prev = before->prev;
    if (before->prev) before->prev->next = node;
    else parent->firstChild = node;
    before->prev = node;
}

void Unlink(WebTreeNode* node) {
    if (node->prev) node->prev->next = node->next;
    else if (node->parent) node->parent->firstChild = node->next;
    if (node->next) node->next->prev = node->prev;
    node->next = node->prev = nullptr;
}

bool IsRoot(const WebTreeHeader* h, const WebTreeNode* node) { return node == &h->root; }

WebTreeNode* Node(WebTreeViewRecord* tv, uint32_t id) {
    WebTreeNode* n = WebTreeNodeById(Tree(tv), id);
    return n && !IsRoot(Tree(tv), n) ? n : nullptr;
}

bool Expanded(const WebTreeNode* n) { return (n->state & kTnExpanded) != 0; }

WebTreeNode* LastVisibleUnder(WebTreeNode* n) {
    while (Expanded(n) && n->firstChild) {
        n = n->firstChild;
        while (n->next) n = n->next;
    }
    return n;
}

// The node itself, or its highest collapsed ancestor when it has one.
WebTreeNode* VisibleStart(WebTreeHeader* h, WebTreeNode* n) {
    WebTreeNode* start = n;
    for (WebTreeNode* p = n->parent; p && !IsRoot(h, p); p = p->parent)
        if (!Expanded(p)) start = p;
    return start;
}

WebTreeNode* NextVisible(WebTreeHeader* h, WebTreeNode* n) {
    n = VisibleStart(h, n);
    if (Expanded(n) && n->firstChild) return n->firstChild;
    for (WebTreeNode* at = n; at && !IsRoot(h, at); at = at->parent)
        if (at->next) return at->next;
    return nullptr;
}

WebTreeNode* PrevVisible(WebTreeHeader* h, WebTreeNode* n) {
    n = VisibleStart(h, n);
    if (n->prev) return LastVisibleUnder(n->prev);
    return IsRoot(h, n->parent) ? nullptr : n->parent;
}

uint32_t IdOf(const WebTreeNode* n) { return n ? n->id : 0; }

void BeginTreeAction(WebTreeViewRecord* tv, int32_t dwid) {
    WebViewSelectForObject(&tv->hdr);
    JsonBeginAction(kActTree);
    JsonAddName(&tv->hdr);
    JsonAddInt("dwid", dwid);
}

bool ImageSource(WebTreeViewRecord* tv, const char** url, int32_t* w, int32_t* h) {
    return WebImageListStrip(tv->imageList, url, w, h);
}

// The left edge of image index in the strip, in pixels; the server's index
// and size are taken as they come, so the product is kept in range.
int32_t ImageOffset(int32_t width, int32_t index) {
    int64_t x = static_cast<int64_t>(width) * index;
    return x > INT32_MAX ? INT32_MAX : x < INT32_MIN ? INT32_MIN : static_cast<int32_t>(x);
}

void Post(WebTreeViewRecord* tv, uint32_t ev, int32_t modifiers, uint32_t id) {
    if (EventIsRegistered(&tv->hdr, ev)) WebListPost(&tv->hdr, ev, modifiers, static_cast<int32_t>(id));
}

WebTreeNode* MakeNode(WebTreeHeader* h, const WebTreeInsert* req) {
    const char* text = (req->mask & kTmText) && req->text ? req->text : "";
    uint32_t length = (req->mask & kTmText) && req->text ? req->length : 0;
    WebTreeNode* n = WebTreeNodeAlloc(h, text, length);
    if (!n) return nullptr;
    n->param = (req->mask & kTmParam) ? req->param : 0;
    n->image = (req->mask & kTmImage) ? req->image : -1;
    n->selImage = (req->mask & kTmSelImage) ? req->selImage : -1;
    return n;
}

// Frees one node's memory and id (it has no children left).
void FreeOne(WebTreeHeader* h, WebTreeNode* n) {
    if (h->caret == n) h->caret = nullptr;
    FreeId(h, n->id);
    if (h->nodeCount) --h->nodeCount;
    GuardedFree(n);
}

}  // namespace

// ---- Node store --------------------------------------------------------------------------------

void WebTreeInitHeader(WebTreeHeader* h) {
    memset(h, 0, sizeof *h);
    h->root.state = kTnExpanded;
    h->root.image = h->root.selImage = -1;
    InitBlock(&h->pool, 0);
}

WebTreeNode* WebTreeNodeAlloc(WebTreeHeader* h, const char* text, uint32_t length) {
    if (length >= kTextRoomMax) length = kTextRoomMax - 1;
    WebTreeIdBlock* b = &h->pool;
    while (b->freeHead == 0) {
        if (!b->next) {
            b->next = NewBlock(b->base + kTreeBlockSlots);
            if (!b->next) return nullptr;
        }
        b = b->next;
    }
    auto* n = static_cast<WebTreeNode*>(GuardedAlloc(sizeof(WebTreeNode) + length));
    if (!n) return nullptr;
    memset(n, 0, sizeof(WebTreeNode));
    if (length) memcpy(n->text, text, length);
    n->text[length] = 0;
    n->textRoom = static_cast<uint16_t>(length + 1);
    uint32_t slot = b->freeHead;
    b->freeHead = static_cast<uint32_t>(b->slots[slot - 1]);
    b->slots[slot - 1] = reinterpret_cast<uintptr_t>(n);
    n->id = b->base + slot;
    n->image = n->selImage = -1;
    return n;
}

WebTreeNode* WebTreeNodeById(WebTreeHeader* h, uint32_t id) {
    if (id == kTreeRootId) return &h->root;
    uintptr_t* slot = SlotOf(h, id);
    if (!slot || *slot <= kFreeLinkMax) return nullptr;
    return reinterpret_cast<WebTreeNode*>(*slot);
}

void WebTreeDeleteNode(WebTreeHeader* h, WebTreeNode* node) {
    if (!node) return;
    bool root = IsRoot(h, node);
    if (!root) Unlink(node);
    // Post-order through the links: go down to a leaf, free it, go on with its
    // sibling; after a last child the parent, now a leaf, is next.
    WebTreeNode* at = node->firstChild;
    node->firstChild = nullptr;
    while (at) {
        if (at->firstChild) {
            at = at->firstChild;
            continue;
        }
        WebTreeNode* next = at->next;
        WebTreeNode* up = at->parent;
        FreeOne(h, at);
        if (next) {
            at = next;
            continue;
        }
        if (up == node) break;
        up->firstChild = nullptr;
        at = up;
    }
    if (!root) FreeOne(h, node);
}

void WebTreeFreeBlocks(WebTreeHeader* h) {
    for (WebTreeIdBlock* b = h->pool.next; b;) {
        WebTreeIdBlock* next = b->next;
        GuardedFree(b);
        b = next;
    }
    h->pool.next = nullptr;
}

// ---- Node operations ---------------------------------------------------------------------------

uint32_t WebTreeInsertItem(WebTreeViewRecord* tv, const WebTreeInsert* req) {
    WebTreeHeader* h = Tree(tv);
    WebTreeNode* n = MakeNode(h, req);
    if (!n) return 0;
    uint32_t parentId = req->parent ? req->parent : kTreeRootId;
    uint32_t after = req->after;
    bool special = after >= kTreeRootId && after <= kTreeInsertSorted;
    WebTreeNode* parent = WebTreeNodeById(h, parentId);
    WebTreeNode* sibling = special ? nullptr : Node(tv, after);
    if (!sibling && !parent) {
        FreeId(h, n->id);
        GuardedFree(n);
        return 0;
    }
    if (after == kTreeInsertFirst) LinkFirst(parent, n);
    else if (after == kTreeInsertSorted) LinkSorted(parent, n);
    else if (sibling) LinkAfter(sibling, n);
    else LinkLast(parent, n);
    ++h->nodeCount;
    return n->id;
}

int32_t WebTreeDeleteItem(WebTreeViewRecord* tv, uint32_t id) {
    WebTreeHeader* h = Tree(tv);
    WebTreeNode* n = WebTreeNodeById(h, id);
    if (!n) return 0;
    WebTreeDeleteNode(h, n);
    return 1;
}

bool WebTreeDeleteAll(WebTreeViewRecord* tv) {
    WebTreeDeleteNode(Tree(tv), &Tree(tv)->root);
    return true;
}

uint32_t WebTreeGetNextItem(WebTreeViewRecord* tv, uint32_t id, uint32_t code) {
    WebTreeHeader* h = Tree(tv);
    WebTreeNode* n = Node(tv, id);
    switch (code) {
    case kNcRoot: case kNcFirstVisible: return IdOf(h->root.firstChild);
    case kNcNext: return n ? IdOf(n->next) : 0;
    case kNcPrevious: return n ? IdOf(n->prev) : 0;
    case kNcParent: return n && !IsRoot(h, n->parent) ? IdOf(n->parent) : 0;
    case kNcChild: return n ? IdOf(n->firstChild) : 0;
    case kNcNextVisible: return n ? IdOf(NextVisible(h, n)) : 0;
    case kNcPrevVisible: return n ? IdOf(PrevVisible(h, n)) : 0;
    case kNcCaret: case kNcCaret2: return IdOf(h->caret);
    case kNcLastVisible: {
        if (!h->root.firstChild) return 0;
        WebTreeNode* last = h->root.firstChild;
        while (last->next) last = last->next;
        return IdOf(LastVisibleUnder(last));
    }
    default: return 0;
    }
}

bool WebTreeSetItem(WebTreeViewRecord* tv, uint32_t id, uint32_t mask, const char* text, uint32_t length,
                    int32_t image, int32_t selImage, uint32_t param) {
    WebTreeHeader* h = Tree(tv);
    WebTreeNode* n = Node(tv, id);
    if (!(mask & kTmHandle) || !n) return false;
    const char* url;
    int32_t w, ih;
    bool images = ImageSource(tv, &url, &w, &ih);
    if (mask & kTmParam) n->param = param;
    if (mask & kTmImage) {
        n->image = image;
        if (images && !(n->state & kTnSelected)) {
            BeginTreeAction(tv, kTdImage);
            JsonAddInt("rn", static_cast<int32_t>(id));
            JsonAddInt("io", ImageOffset(w, image));
            WebViewMsgEnd();
        }
    }
    if (mask & kTmSelImage) {
        n->selImage = selImage;
        if (images && (n->state & kTnSelected)) {
            BeginTreeAction(tv, kTdImage);
            JsonAddInt("rn", static_cast<int32_t>(id));
            JsonAddInt("io", ImageOffset(w, selImage));
            WebViewMsgEnd();
        }
    }
    if (!(mask & kTmText)) return true;
    if (!text) text = "";
    if (length >= kTextRoomMax) length = kTextRoomMax - 1;
    BeginTreeAction(tv, kTdText);
    JsonAddInt("rn", static_cast<int32_t>(id));
    JsonAddString("tx", text, length);
    WebViewMsgEnd();
    if (length < n->textRoom) {
        memcpy(n->text, text, length);
        n->text[length] = 0;
        return true;
    }
    // A longer text: the node moves to a larger block and every link to it
    // follows, the caret's as well.
    auto* moved = static_cast<WebTreeNode*>(GuardedAlloc(sizeof(WebTreeNode) + length));
    if (!moved) return false;
    memcpy(moved, n, sizeof(WebTreeNode));
    memcpy(moved->text, text, length);
    moved->text[length] = 0;
    moved->textRoom = static_cast<uint16_t>(length + 1);
    if (moved->prev) moved->prev->next = moved;
    else moved->parent->firstChild = moved;
    if (moved->next) moved->next->prev = moved;
    for (WebTreeNode* c = moved->firstChild; c; c = c->next) c->parent = moved;
    *SlotOf(h, id) = reinterpret_cast<uintptr_t>(moved);
    if (h->caret == n) h->caret = moved;
    GuardedFree(n);
    return true;
}

uint32_t WebTreeGetItemState(WebTreeViewRecord* tv, uint32_t id, uint32_t mask) {
    WebTreeNode* n = Node(tv, id);
    return n ? n->state & mask : 0;
}

bool WebTreeSetItemState(WebTreeViewRecord* tv, uint32_t id, uint32_t state, uint32_t mask) {
    WebTreeNode* n = Node(tv, id);
    if (!n) return false;
    uint32_t now = (n->state & ~mask) | (state & mask);
    bool was = (n->state & (kTnExpanded | kTnExpandedPartial)) != 0;
    bool will = (now & (kTnExpanded | kTnExpandedPartial)) != 0;
    n->state = now;
    if (was != will) {
        // The page follows the new state.
        n->state = will ? (n->state & ~kTnExpanded) : (n->state | kTnExpanded);
        WebTreeToggleNode(tv, n);
        n->state = now;
    }
    return true;
}

void WebTreeToggleNode(WebTreeViewRecord* tv, WebTreeNode* node) {
    bool expanding = !Expanded(node);
    if (expanding) node->state |= kTnExpanded | kTnExpandedOnce;
    else node->state &= ~(kTnExpanded | kTnExpandedPartial);
    WebViewSelectForObject(&tv->hdr);
    JsonBeginAction(kActTree);
    JsonAddName(&tv->hdr);
    if (expanding) JsonAddInt("exp", static_cast<int32_t>(node->id));
    JsonAddInt("dwid", kTdToggle);
    JsonAddInt("rn", static_cast<int32_t>(node->id));
    WebViewMsgEnd();
}

bool WebTreeExpand(WebTreeViewRecord* tv, uint32_t id, uint32_t code) {
    WebTreeNode* n = Node(tv, id);
    if (!n) return false;
    bool open = Expanded(n);
    switch (code) {
    case kExCollapse: if (open) WebTreeToggleNode(tv, n); break;
    case kExExpand: if (!open) WebTreeToggleNode(tv, n); break;
    case kExToggle: WebTreeToggleNode(tv, n); break;
    case kExPartial:
        if (!open) {
            WebTreeToggleNode(tv, n);
            n->state |= kTnExpandedPartial;
        }
        break;
    case kExCollapseReset:
        if (open) {
            WebTreeToggleNode(tv, n);
            n->state &= ~kTnExpandedOnce;
        }
        break;
    default: break;
    }
    return true;
}

void WebTreeSelectNode(WebTreeViewRecord* tv, WebTreeNode* node) {
    WebTreeHeader* h = Tree(tv);
    WebTreeNode* old = h->caret;
    if (old) old->state &= ~kTnSelected;
    node->state |= kTnSelected;
    h->caret = node;
    BeginTreeAction(tv, kTdSelect);
    JsonAddInt("rn", static_cast<int32_t>(node->id));
    const char* url;
    int32_t w, ih;
    if (ImageSource(tv, &url, &w, &ih)) {
        if (node->selImage >= 0) JsonAddInt("io", ImageOffset(w, node->selImage));
        if (old && old != node && old->selImage >= 0) {
            JsonAddInt("ls", static_cast<int32_t>(old->id));
            JsonAddInt("lo", ImageOffset(w, old->image));
        }
    }
    WebViewMsgEnd();
}

int32_t WebTreeEnsureVisible(WebTreeViewRecord* tv, uint32_t id) {
    WebTreeHeader* h = Tree(tv);
    WebTreeNode* n = Node(tv, id);
    if (!n) return 1;
    bool expanded = false;
    for (WebTreeNode* p = n->parent; p && !IsRoot(h, p); p = p->parent) {
        if (Expanded(p)) continue;
        WebTreeToggleNode(tv, p);
        expanded = true;
    }
    BeginTreeAction(tv, kTdVisible);
    JsonAddInt("rn", static_cast<int32_t>(id));
    WebViewMsgEnd();
    return expanded ? 0 : 1;
}

bool WebTreeSelectItem(WebTreeViewRecord* tv, uint32_t id, uint32_t code) {
    if (id == 0) return true;
    WebTreeNode* n = Node(tv, id);
    if (!n) return false;
    if (code == kScVisible) WebTreeEnsureVisible(tv, id);
    if (code == kScCaret) {
        WebTreeEnsureVisible(tv, id);
        WebTreeSelectNode(tv, n);
    }
    return true;
}

int32_t WebTreeGetCheck(WebTreeViewRecord* tv, uint32_t id) {
    if (!tv->checkBoxes) return -1;
    WebTreeNode* n = Node(tv, id);
    return n ? n->check : 0;
}

bool WebTreeSetCheck(WebTreeViewRecord* tv, uint32_t id, int32_t value) {
    WebTreeNode* n = Node(tv, id);
    if (!n) return false;
    uint8_t v = value ? 1 : 0;
    if (v == n->check) return true;
    n->check = v;
    WebViewSelectForObject(&tv->hdr);
    JsonBeginAction(kActTree);
    JsonAddName(&tv->hdr);
    if (v) JsonAddInt("chk", 1);
    JsonAddInt("dwid", kTdCheck);
    JsonAddInt("rn", static_cast<int32_t>(id));
    WebViewMsgEnd();
    return true;
}

bool WebTreeSortChildren(WebTreeViewRecord* tv, uint32_t id, bool recurse) {
    WebTreeHeader* h = Tree(tv);
    WebTreeNode* top = WebTreeNodeById(h, id ? id : kTreeRootId);
    if (!top) return true;
    // Each level's children re-inserted by the sorted rule; a level is done
    // before the walk goes down into it (through the parent links, no stack).
    WebTreeNode* at = top;
    while (at) {
        WebTreeNode* child = at->firstChild;
        at->firstChild = nullptr;
        while (child) {
            WebTreeNode* next = child->next;
            child->next = child->prev = nullptr;
            LinkSorted(at, child);
            child = next;
        }
        if (!recurse) break;
        // Next node in pre-order below top.
        if (at->firstChild) {
            at = at->firstChild;
            continue;
        }
        while (at && at != top && !at->next) at = at->parent;
        at = at && at != top ? at->next : nullptr;
    }
    return true;
}

uint32_t WebTreeGetCount(WebTreeViewRecord* tv) { return Tree(tv)->nodeCount; }

uint32_t WebTreeGetVisibleCount(WebTreeViewRecord* tv) {
    uint32_t n = 0;
    for (WebTreeNode* at = Tree(tv)->root.firstChild; at; at = NextVisible(Tree(tv), at)) ++n;
    return n;
}

uint32_t WebTreeGetRoot(WebTreeViewRecord* tv) { return IdOf(Tree(tv)->root.firstChild); }

uint32_t WebTreeGetChild(WebTreeViewRecord* tv, uint32_t id) {
    WebTreeNode* n = WebTreeNodeById(Tree(tv), id);
    return n ? IdOf(n->firstChild) : 0;
}

uint32_t WebTreeGetNextSibling(WebTreeViewRecord* tv, uint32_t id) {
    WebTreeNode* n = Node(tv, id);
    return n ? IdOf(n->next) : 0;
}

int32_t WebTreeGetIndent(WebTreeViewRecord* tv) { return Tree(tv)->indent; }

// ---- Markup and redraw -------------------------------------------------------------------------

namespace {

void NodeOpen(WebTreeViewRecord* tv, const WebTreeNode* n, bool images, int32_t imageWidth) {
    char buf[96];
    uint32_t id = tv->hdr.elementId;
    snprintf(buf, sizeof buf, "<li  id='C%uR%u'>", id, n->id);
    HtmlAppend(buf, 0);
    if (n->firstChild) {
        HtmlAppend(Expanded(n) ? "<details open> <summary " : "<details> <summary ", 0);
        snprintf(buf, sizeof buf, " id='C%uR%u'>", id, n->id);
        HtmlAppend(buf, 0);
    }
    if (tv->checkBoxes) {
        HtmlAppend("<input type=\"checkbox\" ", 0);
        if (n->check) HtmlAppend("checked=\"checked\" ", 0);
        HtmlAppend(">", 0);
    }
    if (images) {
        HtmlAppend("<div class='qovtvi'", 0);
        int32_t index = (n->state & kTnSelected) && n->selImage >= 0 ? n->selImage : n->image;
        if (index >= 0) {
            snprintf(buf, sizeof buf, " style='background-position: -%dpx 0px;'", ImageOffset(imageWidth, index));
            HtmlAppend(buf, 0);
        }
        HtmlAppend("></div>", 0);
    }
    if (n->text[0]) {
        HtmlAppend((n->state & kTnSelected) ? "<span class='ui-selected'>" : "<span>", 0);
        HtmlAppend(n->text, 0);
        HtmlAppend("</span>", 0);
    }
    if (n->firstChild) HtmlAppend(" </summary><ul>", 0);
}

void NodeClose(const WebTreeNode* n) {
    if (n->firstChild) HtmlAppend("</ul></details>", 0);
    HtmlAppend("</li>", 0);
}

}  // namespace

void WebTreeListOpen(WebTreeViewRecord* tv) {
    WebTreeHeader* h = Tree(tv);
    if (h->root.firstChild && !h->caret) {
        h->caret = h->root.firstChild;
        h->caret->state |= kTnSelected;
    }
    HtmlReset();
    bool lines = tv->lineStyle != kLineStyleNoLines;
    if (tv->buttons) HtmlAppend(lines ? "<ul class='qovtvm qovtvln'>" : "<ul class='qovtvm'>", 0);
    else HtmlAppend(lines ? "<ul class='qovtvm qovtvnb qovtvln'>" : "<ul class='qovtvm qovtvnb'>", 0);
    const char* url;
    int32_t w, ih;
    bool images = ImageSource(tv, &url, &w, &ih);
    // Pre-order through the links: open a node, go down, or close it and go
    // on with its sibling, closing the parents left behind.
    WebTreeNode* at = h->root.firstChild;
    while (at) {
        NodeOpen(tv, at, images, w);
        if (at->firstChild) {
            at = at->firstChild;
            continue;
        }
        NodeClose(at);
        while (at && !at->next) {
            at = at->parent;
            if (!at || IsRoot(h, at)) {
                at = nullptr;
                break;
            }
            NodeClose(at);
        }
        if (at) at = at->next;
    }
    HtmlAppend("</ul>", 0);
}

namespace {

ObjectRecord** QueueLink(ObjectRecord* rec) { return &WebTreeView(rec)->nextQueued; }
uint8_t* QueuedOf(ObjectRecord* rec) { return &WebTreeView(rec)->queued; }

void RenderTree(ObjectRecord* rec) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    WebTreeListOpen(tv);
    WebViewSelectForObject(rec);
    JsonBeginAction(kActTree);
    JsonAddName(rec);
    JsonAddInt("dwid", kTdWhole);
    const char* url;
    int32_t w, h;
    if (ImageSource(tv, &url, &w, &h)) {
        JsonAddInt("ih", h);
        JsonAddInt("iw", w);
        JsonAddUrl("isrc", url);
    }
    JsonAddJsHtml((rec->modeFlags & kModeUtf8Texts) != 0);
    WebViewMsgEnd();
    if (rec->flags & kObjDisabled) {
        BeginTreeAction(tv, kTdDisable);
        WebViewMsgEnd();
    }
}

}  // namespace

void WebTreeViewQueueRedraw(WebTreeViewRecord* tv) {
    if (!gTreeViewNoRedraw) WebRedrawQueuePush(&gWebTreeViewRedraws, &tv->hdr, QueueLink, &tv->queued);
}

void WebTreeViewUnqueue(WebTreeViewRecord* tv) {
    WebRedrawQueueRemove(&gWebTreeViewRedraws, &tv->hdr, QueueLink, &tv->queued);
}

void WebTreeViewFlush(ObjectRecord* rec) { WebRedrawQueueFlush(&gWebTreeViewRedraws, rec, QueueLink, QueuedOf, RenderTree); }

// ---- Creation, destruction, properties ------------------------------------------------------------

namespace {

void TakeImageList(WebTreeViewRecord* tv, int32_t value) {
    WebListTakeImageList(&tv->imageList, value);
    if (tv->buttons) tv->indent = Tree(tv)->indent = 0;
}

uint32_t AddSample(WebTreeViewRecord* tv, const char* text, uint32_t parent, uint32_t after) {
    WebTreeInsert req = {parent, after, kTmText, text, static_cast<uint32_t>(strlen(text)), 0, 0, 0};
    return WebTreeInsertItem(tv, &req);
}

}  // namespace

ObjectRecord* WebTreeViewCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code) {
    if (!rec) rec = ObjectAllocRecord(static_cast<uint8_t>(kind), sizeof(WebTreeViewRecord), true);
    if (!rec) {
        *code = kWebNoMemory;
        return nullptr;
    }
    WebTreeViewRecord* tv = WebTreeView(rec);
    tv->tree = &tv->header;
    WebTreeInitHeader(tv->tree);
    if (cr->flags1 & kCr1Border) rec->flags |= kObjBorder;
    int32_t style = CreateRecordValue(cr, kPidTreeLnStyle, 1);
    tv->lineStyle = static_cast<uint8_t>(style >= 1 && style <= 4 ? style : 1);
    tv->buttons = CreateRecordValue(cr, kPidButtons, 0) != 0;
    tv->indent = tv->tree->indent = WebScaleValue(top ? top : rec, CreateRecordValue(cr, kPidIndent, 0), 0, true);
    tv->showSelection = CreateRecordValue(cr, kPidHideSel, 0) == 0;
    tv->fullRow = CreateRecordValue(cr, kPidFullRow, 0) != 0;
    tv->hotTrack = CreateRecordValue(cr, kPidHotTrack, 0) != 0;
    tv->checkBoxes = static_cast<uint8_t>(CreateRecordValue(cr, kPidCheckBox, 0));
    if (cr->given[kPidImageList]) TakeImageList(tv, cr->values[kPidImageList]);
    if (gWebSampleContent) {
        uint32_t first = AddSample(tv, "Level 1 Node 1", 0, kTreeInsertLast);
        AddSample(tv, "Level 2 Node 1", first, kTreeInsertSorted);
        AddSample(tv, "Level 2 Node 2", first, kTreeInsertSorted);
        AddSample(tv, "Level 1 Node 2", 0, first);
        if (WebTreeNode* n = Node(tv, first)) n->state |= kTnExpanded | kTnExpandedOnce;
    }
    return rec;
}

void WebTreeViewDestroy(ObjectRecord* rec) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    WebListTakeImageList(&tv->imageList, 0);
    WebTreeDeleteAll(tv);
    WebTreeViewUnqueue(tv);
    WebTreeFreeBlocks(Tree(tv));
}

int32_t WebTreeViewEnable(ObjectRecord* rec, int32_t, bool on) {
    BeginTreeAction(WebTreeView(rec), on ? kTdEnable : kTdDisable);
    WebViewMsgEnd();
    return 0;
}

int32_t WebTreeViewSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char*, uint32_t,
                           bool* commonWrite) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    bool commonAsked = *commonWrite;
    *commonWrite = false;
    switch (id) {
    case kPidBorder: rec->flags = value ? (rec->flags | kObjBorder) : (rec->flags & ~kObjBorder); break;
    case kPidAppearance:
        rec->flags = value == 1 ? (rec->flags | kObj3D) : (rec->flags & ~kObj3D);
        rec->appearance = value == 1 ? 1 : 2;
        if (!(rec->flags & kObjBorder)) return 0;
        break;
    case kPidTreeLnStyle: if (value < 1 || value > 3) return 0; tv->lineStyle = static_cast<uint8_t>(value); break;
    case kPidButtons: tv->buttons = value != 0; break;
    case kPidIndent:
        tv->indent = tv->tree->indent = WebScaleValue(ObjectTopWindow(rec) ? ObjectTopWindow(rec) : rec, value, 0, true);
        return 0;
    case kPidHideSel: tv->showSelection = value == 0; break;
    case kPidFullRow: tv->fullRow = value != 0; break;
    case kPidCheckBox: tv->checkBoxes = static_cast<uint8_t>(value); break;
    case kPidHotTrack: tv->hotTrack = value != 0; return 0;
    case kPidImageList: TakeImageList(tv, value); break;
    default:
        // The common change and its page write; the table shows the colours
        // and fonts, so it is drawn again.
        WebTreeViewQueueRedraw(tv);
        *commonWrite = commonAsked;
        return kWebNotAvailable;
    }
    WebTreeViewQueueRedraw(tv);
    return 0;
}

int32_t WebTreeViewGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    switch (id) {
    case kPidTreeLnStyle: *result = tv->lineStyle; return 0;
    case kPidButtons: *result = tv->buttons ? 1 : 0; return 0;
    case kPidIndent:
        *result = WebScaleValue(ObjectTopWindow(rec) ? ObjectTopWindow(rec) : rec, tv->indent, 0, false);
        return 0;
    case kPidHideSel: *result = tv->showSelection ? 0 : 1; return 0;
    case kPidFullRow: *result = tv->fullRow ? 1 : 0; return 0;
    case kPidCheckBox: *result = tv->checkBoxes; return 0;
    case kPidHotTrack: *result = tv->hotTrack ? 1 : 0; return 0;
    case kPidImageList: *result = WebListIsImageList(tv->imageList) ? static_cast<int32_t>(tv->imageList->handle) : 0; return 0;
    default: return WebDefaultGetProp(rec, id, result, text);
    }
}

// ---- Methods -------------------------------------------------------------------------------------

int32_t WebTreeViewMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t check = WebCheckMethod(call ? call->objectType : kTypeTreeview, call);
    if (check != 0) return check;
    WebTreeViewRecord* tv = WebTreeView(rec);
    uint32_t item = static_cast<uint32_t>(WebArgInt(call, 0, 0));
    auto redraw = [tv](int32_t r) {
        WebTreeViewQueueRedraw(tv);
        return WebReplyInt(r);
    };
    WebTreeNode* n = Node(tv, item);
    switch (call->method) {
    case kTreeDeleteAll: WebTreeDeleteAll(tv); return redraw(1);
    case kTreeDeleteItem: return redraw(WebTreeDeleteItem(tv, item));
    case kTreeEnsureVisible: return WebReplyInt(WebTreeEnsureVisible(tv, item));
    case kTreeExpand: return redraw(WebTreeExpand(tv, item, static_cast<uint32_t>(WebArgInt(call, 1, 0))) ? 1 : 0);
    case kTreeGetCount: return WebReplyInt(static_cast<int32_t>(WebTreeGetCount(tv)));
    case kTreeGetItemImage: return WebReplyInt(n ? n->image : 0);
    case kTreeGetItemParam: return WebReplyInt(n ? static_cast<int32_t>(n->param) : 0);
    case kTreeGetItemSelImage: return WebReplyInt(n ? n->selImage : 0);
    case kTreeGetItemText:
        snprintf(gTextBuf, kTextBufSize + 1, "%s", n ? n->text : "");
        return WebReplyTextOf(rec, call, gTextBuf);
    case kTreeGetNextItem:
        return WebReplyInt(static_cast<int32_t>(WebTreeGetNextItem(tv, item, static_cast<uint32_t>(WebArgInt(call, 1, 0)))));
    case kTreeGetVisibleCount: return WebReplyInt(static_cast<int32_t>(WebTreeGetVisibleCount(tv)));
    case kTreeInsertItem: {
        WebTreeInsert req = {};
        req.text = WebListArgRaw(call, 0, &req.length);
        req.mask = kTmText | kTmParam;
        req.parent = static_cast<uint32_t>(WebArgInt(call, 1, 0));
        req.after = static_cast<uint32_t>(WebArgInt(call, 2, static_cast<int32_t>(kTreeInsertLast)));
        bool image = WebArgGiven(call, 3), sel = WebArgGiven(call, 4);
        // One of the two images given stands for both.
        if (image || sel) {
            req.mask |= kTmImage | kTmSelImage;
            req.image = WebArgInt(call, image ? 3 : 4, 0);
            req.selImage = WebArgInt(call, sel ? 4 : 3, 0);
        }
        req.param = static_cast<uint32_t>(WebArgInt(call, 5, 0));
        if (WebArgGiven(call, 0) && call->args[0].kind == kItemUtf8) rec->modeFlags |= kModeUtf8Texts;
        return redraw(static_cast<int32_t>(WebTreeInsertItem(tv, &req)));
    }
    case kTreeSelectItem: return redraw(WebTreeSelectItem(tv, item, static_cast<uint32_t>(WebArgInt(call, 1, 0))) ? 1 : 0);
    case kTreeSetImageList: TakeImageList(tv, WebArgInt(call, 0, 0)); return redraw(0);
    case kTreeSetItem: {
        uint32_t mask = kTmHandle, length = 0;
        const char* text = WebListArgRaw(call, 1, &length);
        if (text) mask |= kTmText;
        if (WebArgGiven(call, 2)) mask |= kTmImage;
        if (WebArgGiven(call, 3)) mask |= kTmSelImage;
        if (WebArgGiven(call, 4)) mask |= kTmParam;
        return WebReplyInt(WebTreeSetItem(tv, item, mask, text, length, WebArgInt(call, 2, 0), WebArgInt(call, 3, 0),
                                          static_cast<uint32_t>(WebArgInt(call, 4, 0))) ? 1 : 0);
    }
    case kTreeSortChildren: WebTreeSortChildren(tv, item, WebArgInt(call, 1, 0) != 0); return redraw(1);
    case kTreeGetItemCheck: return WebReplyInt(WebTreeGetCheck(tv, item));
    case kTreeSetItemCheck: WebTreeSetCheck(tv, item, WebArgInt(call, 1, 0)); return redraw(0);
    case kTreeItemHitTest: case kTreeGetLastDropXy: return WebReplyInt(0);
    case kTreeGetItemState:
        return WebReplyInt(static_cast<int32_t>(WebTreeGetItemState(tv, item, static_cast<uint32_t>(WebArgInt(call, 1, kStateMaskAll)))));
    case kTreeSetItemState:
        WebTreeSetItemState(tv, item, static_cast<uint32_t>(WebArgInt(call, 1, 0)),
                            static_cast<uint32_t>(WebArgInt(call, 2, kStateMaskAll)));
        return redraw(0);
    case kTreeLoadXmlFile: case kTreeSaveXmlFile: case kTreeSaveXmlToDim: case kTreeGetXmlDataSize:
        return WebTreeViewXmlMethod(rec, call);
    case kTreeBrowseClassId: case kTreeBrowseNetId: return WebReplyInt(1);
    default: return kWebUnknownMethod;
    }
}

// ---- Page events ---------------------------------------------------------------------------------

void WebTreeViewOnClick(ObjectRecord* rec, uint32_t id, bool dblClick, int32_t modifiers) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    WebTreeNode* n = Node(tv, id);
    if ((rec->flags & kObjDisabled) || !n) return;
    if (dblClick) {
        WebTreeToggleNode(tv, n);
        Post(tv, kEvDblClick, modifiers, id);
        return;
    }
    bool caret = Tree(tv)->caret == n;
    if (caret && tv->buttons) return;
    if (!tv->buttons) WebTreeToggleNode(tv, n);
    if (!caret) {
        WebTreeSelectNode(tv, n);
        Post(tv, kEvChange, 0, id);
    }
    Post(tv, kEvClick, modifiers, id);
}

void WebTreeViewOnCheck(ObjectRecord* rec, uint32_t id, int32_t value) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    WebTreeNode* n = Node(tv, id);
    if ((rec->flags & kObjDisabled) || !n) return;
    if (!(n->state & kTnSelected)) {
        WebTreeSelectNode(tv, n);
        Post(tv, kEvChange, 0, id);
        Post(tv, kEvClick, 0, id);
    }
    if (value == kExpanderValue) WebTreeToggleNode(tv, n);
    else n->check = value ? 1 : 0;
}

void WebTreeViewOnKey(ObjectRecord* rec, int32_t key) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    WebTreeHeader* h = Tree(tv);
    WebTreeNode* caret = h->caret;
    if ((rec->flags & kObjDisabled) || !caret) return;
    WebTreeNode* target = nullptr;
    switch (key) {
    case kKeySpace:
        if (tv->checkBoxes) WebTreeSetCheck(tv, caret->id, !caret->check);
        return;
    case kKeyEnd: target = Node(tv, WebTreeGetNextItem(tv, 0, kNcLastVisible)); break;
    case kKeyHome: target = h->root.firstChild; break;
    case kKeyUp: target = PrevVisible(h, caret); break;
    case kKeyDown: target = NextVisible(h, caret); break;
    case kKeyLeft:
        if (Expanded(caret) && caret->firstChild) {
            WebTreeToggleNode(tv, caret);
            return;
        }
        target = IsRoot(h, caret->parent) ? nullptr : caret->parent;
        break;
    case kKeyRight:
        if (!Expanded(caret) && caret->firstChild) {
            WebTreeToggleNode(tv, caret);
            return;
        }
        target = caret->firstChild;
        break;
    case kKeyShow: return;
    default: {
        char letter = WebListLower(static_cast<char>(key));
        for (WebTreeNode* at = NextVisible(h, caret); at && !target; at = NextVisible(h, at))
            if (WebListLower(at->text[0]) == letter) target = at;
        for (WebTreeNode* at = h->root.firstChild; at && at != caret && !target; at = NextVisible(h, at))
            if (WebListLower(at->text[0]) == letter) target = at;
        break;
    }
    }
    if (!target || (target->state & kTnSelected)) return;
    WebTreeSelectNode(tv, target);
    Post(tv, kEvChange, 0, target->id);
}

namespace {

bool TreePageEvent(ObjectRecord* rec, int32_t code, const JsonValue* ev, const WebEventName* name) {
    // Change, click and double click come from the rows' own page events: the
    // element's generic ones (an edit cell's change bubbling up) are dropped.
    if (code == static_cast<int32_t>(kEvChange) || code == static_cast<int32_t>(kEvClick) ||
        code == static_cast<int32_t>(kEvDblClick))
        return true;
    switch (code) {
    case kPeTreeKey: WebTreeViewOnKey(rec, static_cast<int32_t>(JsonGetInt(ev, "ec"))); return true;
    case kPeTreeCheck:
        WebTreeViewOnCheck(rec, static_cast<uint32_t>(name->row), static_cast<int32_t>(JsonGetInt(ev, "ev")));
        return true;
    case kPeTreeClick:
        WebTreeViewOnClick(rec, static_cast<uint32_t>(name->row), JsonGetInt(ev, "ev") != 0,
                           static_cast<int32_t>(JsonGetInt(ev, "em")));
        return true;
    default: return false;
    }
}

int32_t GetTextOp(ObjectRecord* rec, int32_t item) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    WebTreeNode* n = item > 0 ? Node(tv, static_cast<uint32_t>(item)) : Tree(tv)->caret;
    snprintf(gTextBuf, kTextBufSize + 1, "%s", n ? n->text : "");
    return 0;
}

int32_t GetValueOp(ObjectRecord* rec, int32_t, int32_t* value, bool* asked) {
    *asked = false;
    *value = static_cast<int32_t>(IdOf(Tree(WebTreeView(rec))->caret));
    return 0;
}

int32_t SetValueOp(ObjectRecord* rec, int32_t, int32_t value) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    WebTreeNode* n = Node(tv, static_cast<uint32_t>(value));
    if (n) WebTreeSelectNode(tv, n);
    return 0;
}

int32_t InsertItemOp(ObjectRecord* rec, int32_t parent, const char* text, uint32_t length) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    WebTreeInsert req = {parent > 0 ? static_cast<uint32_t>(parent) : 0, kTreeInsertLast, kTmText, text ? text : "",
                         text ? length : 0, 0, 0, 0};
    uint32_t id = WebTreeInsertItem(tv, &req);
    WebTreeViewQueueRedraw(tv);
    return id ? 0 : -1;
}

int32_t DeleteItemOp(ObjectRecord* rec, int32_t item) {
    WebTreeViewRecord* tv = WebTreeView(rec);
    if (item == 0) WebTreeDeleteAll(tv);
    else WebTreeDeleteItem(tv, static_cast<uint32_t>(item));
    WebTreeViewQueueRedraw(tv);
    return 0;
}

// A new strip of the tree's image list redraws the tree with it.
bool UsesImageList(ObjectRecord* rec, ObjectRecord* list) { return WebTreeView(rec)->imageList == list; }
void QueueForImages(ObjectRecord* rec) { WebTreeViewQueueRedraw(WebTreeView(rec)); }
const WebImageListUser kTreeImageUser = {UsesImageList, QueueForImages};


}  // namespace

// ---- The kinds' rows --------------------------------------------------------------------------

namespace {

const WebKindOps kTreeOps = {
    .create = WebTreeViewCreate,
    .markup = HtmlPlainDivMarkup,
    .setProp = WebTreeViewSetProp,
    .getProp = WebTreeViewGetProp,
    .enable = WebTreeViewEnable,
    .pageEvent = TreePageEvent,
    .imageListUser = &kTreeImageUser,
    .flushRedraws = WebTreeViewFlush,
    .destroy = WebTreeViewDestroy,
    .method = WebTreeViewMethod,
    .getText = GetTextOp,
    .getValue = GetValueOp,
    .setValue = SetValueOp,
    .insertItem = InsertItemOp,
    .deleteItem = DeleteItemOp,
    .askEvent = WebAskNoClick,
    .defaultEvent = kEvClick,
    .traits = kWebKindTakesFocus | kWebKindWhiteBackground,
};

}  // namespace

void WebTreeViewInstall() { WebRegisterKind(kKindTreeView, &kTreeOps); }
