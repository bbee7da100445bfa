// treeview.cpp - the native TreeView object (kind 37): nodes numbered by the
// client (the number is the node's parameter), the node methods, selection as
// value, and BrowseClassID through the type-library browser's hook.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "controls/ctlcommon.h"
#include "objects/objwindowed.h"

namespace {

constexpr uint32_t kTmLast = kTreeGetXmlDataSize;
// The type's table, which calls are checked against, holds GetLastDropXY
// too: the web view's tree answers it; the native tree keeps no drop
// point and refuses it as beyond its own methods.
constexpr uint32_t kTmTableLast = kTreeGetLastDropXy;

HTREEITEM FindNode(HWND wnd, HTREEITEM from, uint32_t id) {
    for (HTREEITEM h = from; h; h = TreeView_GetNextSibling(wnd, h)) {
        TVITEMA item = {};
        item.mask = TVIF_PARAM;
        item.hItem = h;
        TreeView_GetItem(wnd, &item);
        if (static_cast<uint32_t>(item.lParam) == id) return h;
        if (HTREEITEM found = FindNode(wnd, TreeView_GetChild(wnd, h), id)) return found;
    }
    return nullptr;
}

HTREEITEM NodeOf(HWND wnd, uint32_t id) { return id ? FindNode(wnd, TreeView_GetRoot(wnd), id) : nullptr; }

uint32_t NodeId(HWND wnd, HTREEITEM h) {
    if (!h) return 0;
    TVITEMA item = {};
    item.mask = TVIF_PARAM;
    item.hItem = h;
    TreeView_GetItem(wnd, &item);
    return static_cast<uint32_t>(item.lParam);
}

// A node under parent (0: a root node), last; its number, or 0.
uint32_t InsertNode(ControlRecord* c, uint32_t parent, const char* text, uint32_t len) {
    HWND wnd = c->hdr.hwnd;
    HTREEITEM ph = parent ? NodeOf(wnd, parent) : TVI_ROOT;
    if (!ph) return 0;
    char* copy = CtlCopyText(text, len);
    if (!copy) return 0;
    TVINSERTSTRUCTA ins = {};
    ins.hParent = ph;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM;
    ins.item.pszText = copy;
    ins.item.lParam = static_cast<LPARAM>(++c->nextItemId);
    HTREEITEM h = reinterpret_cast<HTREEITEM>(SendMessageA(wnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
    LocalFreeMem(copy);
    return h ? c->nextItemId : 0;
}

int32_t NodeText(HWND wnd, uint32_t id) {
    gTextBuf[0] = 0;
    HTREEITEM h = NodeOf(wnd, id);
    if (!h) return 0;
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = h;
    item.pszText = gTextBuf;
    item.cchTextMax = static_cast<int>(kTextBufSize + 1);
    TreeView_GetItem(wnd, &item);
    return static_cast<int32_t>(strlen(gTextBuf));
}

int32_t TreeGetText(ObjectRecord* rec, int32_t item) {
    uint32_t id = item > 0 ? static_cast<uint32_t>(item) : NodeId(rec->hwnd, TreeView_GetSelection(rec->hwnd));
    return NodeText(rec->hwnd, id);
}

int32_t TreeGetValue(ObjectRecord* rec, int32_t, int32_t* value) {
    *value = static_cast<int32_t>(NodeId(rec->hwnd, TreeView_GetSelection(rec->hwnd)));
    return 0;
}

int32_t TreeSetValue(ObjectRecord* rec, int32_t, int32_t value) {
    HTREEITEM h = NodeOf(rec->hwnd, static_cast<uint32_t>(value));
    if (h) TreeView_SelectItem(rec->hwnd, h);
    return 0;
}

int32_t TreeInsertItem(ObjectRecord* rec, int32_t parent, const char* text, uint32_t len) {
    return InsertNode(reinterpret_cast<ControlRecord*>(rec), parent > 0 ? static_cast<uint32_t>(parent) : 0, text, len)
               ? 0 : -1;
}

int32_t TreeDeleteItem(ObjectRecord* rec, int32_t item) {
    if (item == 0) TreeView_DeleteAllItems(rec->hwnd);
    else if (HTREEITEM h = NodeOf(rec->hwnd, static_cast<uint32_t>(item))) TreeView_DeleteItem(rec->hwnd, h);
    return 0;
}

// The node under the pointer of the click being reported (the control sends
// its click notification before it moves the selection); what the hit test
// found into *flags.
HTREEITEM ClickedNode(HWND wnd, UINT* flags) {
    DWORD pos = GetMessagePos();
    TVHITTESTINFO hit = {};
    hit.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    ScreenToClient(wnd, &hit.pt);
    HTREEITEM h = TreeView_HitTest(wnd, &hit);
    *flags = hit.flags;
    return h;
}

// A click on a node's label or image selects it first, so the server hears
// $CHANGE and then $CLICK, both with the node clicked; a click on its
// expander names the node without selecting it, as the control does.
void TreeClick(ObjectRecord* rec, HWND wnd) {
    UINT flags = 0;
    HTREEITEM h = ClickedNode(wnd, &flags);
    if (h && (flags & TVHT_ONITEM) && h != TreeView_GetSelection(wnd)) TreeView_SelectItem(wnd, h);
    if (ObjectIsLive(rec)) CtlPostEvent(rec, kEvClick, static_cast<int32_t>(NodeId(wnd, h)));
}

int32_t TreeNotify(ObjectRecord* rec, HWND wnd, uint32_t, uint32_t code) {
    UINT flags = 0;
    switch (code) {
    case TVN_SELCHANGEDA: case TVN_SELCHANGEDW:
        CtlPostEvent(rec, kEvChange, static_cast<int32_t>(NodeId(wnd, TreeView_GetSelection(wnd))));
        return 0;
    case NM_CLICK: TreeClick(rec, wnd); return 0;
    case NM_DBLCLK: CtlPostEvent(rec, kEvDblClick, static_cast<int32_t>(NodeId(wnd, ClickedNode(wnd, &flags)))); return 0;
    default: return 0;
    }
}

uint32_t TreeGetProp(ObjectRecord* rec, uint32_t id) {
    if (id == kPidValue) return NodeId(rec->hwnd, TreeView_GetSelection(rec->hwnd));
    if (id == kPidImageList) {
        ObjectRecord* list = reinterpret_cast<CtlListRecord*>(rec)->imageLists[0];
        return list ? list->handle : 0;
    }
    return CtlGetCommonProp(rec, id);
}

int32_t TreeSetProp(ObjectRecord* rec, PropChange* req) {
    if (req->id == kPidValue) return TreeSetValue(rec, 0, req->value);
    if (req->id == kPidImageList) {
        ObjectRecord* list;
        if (!CtlImageListOf(req, &list)) return kOpNoObject;
        CtlImageListSet(rec, 0, list, TVM_SETIMAGELIST, TVSIL_NORMAL);
        return 0;
    }
    return CtlSetCommonProp(rec, req);
}

int32_t TreeDestroy(ObjectRecord* rec) {
    CtlImageListsDrop(rec);
    return CtlDestroy(rec);
}

const ObjectOps kTreeOps = {
    .show = ObjectShowWindowed,
    .hide = ObjectHideWindowed,
    .deleteItem = TreeDeleteItem,
    .destroy = TreeDestroy,
    .enable = ObjectEnableWindowed,
    .getText = TreeGetText,
    .getValue = TreeGetValue,
    .insertItem = TreeInsertItem,
    .setValue = TreeSetValue,
    .notify = TreeNotify,
    .getProp = TreeGetProp,
    .setProp = TreeSetProp,
    .method = TreeViewMethod,
    .imageListReleased = CtlImageListReleased,
};

}  // namespace

int32_t TreeViewMethod(ObjectRecord* rec, MethodCallRec* call) {
    int32_t rc = CheckMethodCall(kTypeTreeview, call);
    if (rc != 0) return rc;
    auto* c = reinterpret_cast<ControlRecord*>(rec);
    HWND wnd = rec->hwnd;
    uint32_t len = 0;
    const char* text;
    uint32_t id = static_cast<uint32_t>(CtlArgInt(call, 0, 0));
    switch (call->method) {
    case kTreeDeleteAll: TreeView_DeleteAllItems(wnd); return CtlReplyInt(1);
    case kTreeDeleteItem: {
        HTREEITEM h = NodeOf(wnd, id);
        return CtlReplyInt(h && TreeView_DeleteItem(wnd, h) ? 1 : 0);
    }
    case kTreeGetCount: return CtlReplyInt(static_cast<int32_t>(TreeView_GetCount(wnd)));
    case kTreeGetItemText: NodeText(wnd, id); return CtlReplyText(gTextBuf);
    case kTreeInsertItem:
        text = CtlArgText(call, 0, &len);
        return CtlReplyInt(static_cast<int32_t>(InsertNode(c, static_cast<uint32_t>(CtlArgInt(call, 1, 0)),
                                                           text ? text : "", text ? len : 0)));
    case kTreeSelectItem: {
        HTREEITEM h = NodeOf(wnd, id);
        return CtlReplyInt(h && TreeView_SelectItem(wnd, h) ? 1 : 0);
    }
    case kTreeBrowseClassId: {
        text = CtlArgText(call, 0, &len);
        char* classId = CtlCopyText(text ? text : "", text ? len : 0);
        int32_t filled = classId && gControlHooks.typeLibBrowseClassId ? gControlHooks.typeLibBrowseClassId(classId, wnd) : 0;
        if (classId) LocalFreeMem(classId);
        return CtlReplyInt(filled);
    }
    case kTreeLoadXmlFile: case kTreeSaveXmlFile: case kTreeSaveXmlToDim: case kTreeGetXmlDataSize:
        // Contents as XML are the web view's only: natively nothing is read
        // or written, so the call must not answer as done.
        return kOpNotAvailable;
    default:
        return call->method >= 1 && call->method <= kTmLast ? CtlReplyInt(0) : kOpUnknownMethod;
    }
}

ObjectRecord* TreeViewCreate(uint32_t, ObjectCreateRecord* cr, int32_t* code) {
    ControlRecord* c = CtlCreateWindowed(kKindTreeView, cr, WC_TREEVIEWA,
                                         WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                         0, nullptr, 0, code, sizeof(CtlListRecord));
    if (!c) return nullptr;
    PropChange req = {};
    req.value = CreateRecordValue(cr, kPidImageList, 0);
    ObjectRecord* list;
    if (req.value && CtlImageListOf(&req, &list)) CtlImageListSet(&c->hdr, 0, list, TVM_SETIMAGELIST, TVSIL_NORMAL);
    return CtlFinishCreate(c, cr, code);
}

void TreeViewInstall() {
    RegisterObjectCreator(kTypeTreeview, TreeViewCreate);
    RegisterObjectOps(kKindTreeView, &kTreeOps);
    CtlRegisterMethods(kTypeTreeview, kTmTableLast);
}
