// webtree.h - the tree view in the web view: its record, the node store with
// the ids the program addresses nodes by, the node operations, the nested-list
// markup, the redraw queue, the methods and the page events.
#pragma once

#include <cstddef>
#include <cstdint>

#include "objects/crstream.h"
#include "objects/objrecord.h"
#include "session/proto/records.h"

constexpr uint32_t kTreeRootId = 0xFFFF0000u;
constexpr uint32_t kTreeInsertFirst = 0xFFFF0001u;
constexpr uint32_t kTreeInsertLast = 0xFFFF0002u;
constexpr uint32_t kTreeInsertSorted = 0xFFFF0003u;
constexpr uint32_t kTreeBlockSlots = 1000;

enum WebTreeState : uint32_t {
    kTnSelected = 0x02, kTnExpanded = 0x20, kTnExpandedOnce = 0x40, kTnExpandedPartial = 0x80,
};
enum WebTreeItemMask : uint32_t {
    kTmText = 0x01, kTmImage = 0x02, kTmParam = 0x04, kTmHandle = 0x10, kTmSelImage = 0x20, kTmChildren = 0x40,
};

struct WebTreeNode {
    uint32_t state;            // WebTreeState
    uint32_t id;               // block base + slot number
    int32_t image;             // -1 when not given
    int32_t selImage;
    uint32_t param;
    uint16_t textRoom;         // bytes the inline text may use
    uint8_t check;
    WebTreeNode* next;
    WebTreeNode* prev;
    WebTreeNode* parent;       // the root pseudo-node for top-level nodes
    WebTreeNode* firstChild;
    char text[1];              // inline, NUL-terminated
};

// A block of 1,000 ids: a slot holds its node, or while free the number of
// the next free slot (a value of 1,002 or less is never a node).
struct WebTreeIdBlock {
    WebTreeIdBlock* next;
    uint32_t base;
    uint32_t freeHead;         // 1-based slot, 0: the block is full
    uintptr_t slots[kTreeBlockSlots];
};

struct WebTreeHeader {
    int32_t indent;
    uint32_t nodeCount;
    uint32_t reserved;
    WebTreeNode root;          // id 0, state expanded; its children are the top level
    WebTreeNode* caret;
    WebTreeIdBlock pool;
};

struct WebTreeViewRecord {
    ObjectRecord hdr;
    ObjectRecord* imageList;
    uint8_t lineStyle;
    uint8_t checkBoxes;
    int32_t indent;
    WebTreeHeader* tree;       // the embedded header below
    uint8_t queued;
    uint8_t buttons;
    uint8_t showSelection;
    uint8_t fullRow;
    uint8_t hotTrack;
    ObjectRecord* nextQueued;
    WebTreeHeader header;
};

inline WebTreeViewRecord* WebTreeView(ObjectRecord* rec) { return reinterpret_cast<WebTreeViewRecord*>(rec); }

extern ObjectRecord* gWebTreeViewRedraws;
extern uint8_t gTreeViewNoRedraw;

// Node store.
void WebTreeInitHeader(WebTreeHeader* h);
WebTreeNode* WebTreeNodeAlloc(WebTreeHeader* h, const char* text, uint32_t length);
WebTreeNode* WebTreeNodeById(WebTreeHeader* h, uint32_t id);
// Unlinks and frees a node with everything under it, without recursion.
void WebTreeDeleteNode(WebTreeHeader* h, WebTreeNode* node);
void WebTreeFreeBlocks(WebTreeHeader* h);

struct WebTreeInsert {
    uint32_t parent, after;
    uint32_t mask;             // WebTreeItemMask
    const char* text;
    uint32_t length;
    int32_t image, selImage;
    uint32_t param;
};
uint32_t WebTreeInsertItem(WebTreeViewRecord* tv, const WebTreeInsert* req);
int32_t WebTreeDeleteItem(WebTreeViewRecord* tv, uint32_t id);
bool WebTreeDeleteAll(WebTreeViewRecord* tv);
uint32_t WebTreeGetNextItem(WebTreeViewRecord* tv, uint32_t id, uint32_t code);
bool WebTreeSetItem(WebTreeViewRecord* tv, uint32_t id, uint32_t mask, const char* text, uint32_t length,
                    int32_t image, int32_t selImage, uint32_t param);
uint32_t WebTreeGetItemState(WebTreeViewRecord* tv, uint32_t id, uint32_t mask);
bool WebTreeSetItemState(WebTreeViewRecord* tv, uint32_t id, uint32_t state, uint32_t mask);
bool WebTreeExpand(WebTreeViewRecord* tv, uint32_t id, uint32_t code);
void WebTreeToggleNode(WebTreeViewRecord* tv, WebTreeNode* node);
void WebTreeSelectNode(WebTreeViewRecord* tv, WebTreeNode* node);
bool WebTreeSelectItem(WebTreeViewRecord* tv, uint32_t id, uint32_t code);
int32_t WebTreeEnsureVisible(WebTreeViewRecord* tv, uint32_t id);
int32_t WebTreeGetCheck(WebTreeViewRecord* tv, uint32_t id);
bool WebTreeSetCheck(WebTreeViewRecord* tv, uint32_t id, int32_t value);
bool WebTreeSortChildren(WebTreeViewRecord* tv, uint32_t id, bool recurse);
uint32_t WebTreeGetCount(WebTreeViewRecord* tv);
uint32_t WebTreeGetVisibleCount(WebTreeViewRecord* tv);
uint32_t WebTreeGetRoot(WebTreeViewRecord* tv);
uint32_t WebTreeGetChild(WebTreeViewRecord* tv, uint32_t id);
uint32_t WebTreeGetNextSibling(WebTreeViewRecord* tv, uint32_t id);
int32_t WebTreeGetIndent(WebTreeViewRecord* tv);

// The nested lists into gHtmlBuf (reset first), without recursion.
void WebTreeListOpen(WebTreeViewRecord* tv);
void WebTreeViewQueueRedraw(WebTreeViewRecord* tv);
void WebTreeViewUnqueue(WebTreeViewRecord* tv);
void WebTreeViewFlush(ObjectRecord* rec);

ObjectRecord* WebTreeViewCreate(ObjectRecord* top, ObjectRecord* rec, ObjectCreateRecord* cr, uint32_t kind,
                                int32_t* code);
void WebTreeViewDestroy(ObjectRecord* rec);
int32_t WebTreeViewEnable(ObjectRecord* rec, int32_t item, bool on);
int32_t WebTreeViewSetProp(ObjectRecord* rec, uint32_t id, int32_t value, const char* text, uint32_t length,
                           bool* commonWrite);
int32_t WebTreeViewGetProp(ObjectRecord* rec, uint32_t id, int32_t* result, const char** text);
int32_t WebTreeViewMethod(ObjectRecord* rec, MethodCallRec* call);
void WebTreeViewOnKey(ObjectRecord* rec, int32_t key);
void WebTreeViewOnCheck(ObjectRecord* rec, uint32_t id, int32_t value);
void WebTreeViewOnClick(ObjectRecord* rec, uint32_t id, bool dblClick, int32_t modifiers);
void WebTreeViewInstall();
