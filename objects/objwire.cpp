// objwire.cpp - the server messages of the object model: the create request and
// the object operations 2401-2419, each read field by field through the
// message's bounded reader, the handle looked up in the registry of live
// records, and the generic operation answered as the session protocol says.
#include "objects/objwire.h"

#include <cstring>

#include "objects/crstream.h"
#include "objects/events.h"
#include "objects/objcreate.h"
#include "objects/objhooks.h"
#include "objects/objops.h"
#include "session/session.h"

namespace {

// Creation streams of create requests have the current form-file layout.
constexpr uint32_t kCreateStreamVersion = 5;
constexpr uint8_t kResultKindInt = 8;

uint32_t TickCount() { return GetTickCount(); }

// The record a request names, or null (the caller answers -3).
ObjectRecord* RecordOf(const SrvMsg* m) {
    uint32_t handle;
    if (!m->r.U32At(kOpHandle, &handle)) return nullptr;
    return ObjectFromHandle(handle);
}

// Handles 0-11 of the property requests name the built-in Variant records
// (the current event's arguments); no object handle is that small.
constexpr uint32_t kVariantBuiltinLast = 11;
ObjectRecord* PropRecordOf(const SrvMsg* m) {
    uint32_t handle;
    if (!m->r.U32At(kOpHandle, &handle)) return nullptr;
    if (handle <= kVariantBuiltinLast)
        return gComObjectHooks.variantBuiltin ? gComObjectHooks.variantBuiltin(handle) : nullptr;
    return ObjectFromHandle(handle);
}

// The selector item of a Variant's value: the result variable of a query or
// the value of a change. A request that carries none leaves kind 0.
void SelectorOf(const SrvMsg* m, uint32_t off, EventItem* item) {
    if (!DecodeEventItem(m->r, off, item)) *item = EventItem();
}

int32_t Arg(const SrvMsg* m, uint32_t off) {
    int32_t v = 0;
    m->r.I32At(off, &v);
    return v;
}

// A counted text at off: its length at lenOff; null when it does not fit.
const char* TextAt(const SrvMsg* m, uint32_t lenOff, uint32_t off, uint32_t* len) {
    if (!m->r.U32At(lenOff, len)) return nullptr;
    return reinterpret_cast<const char*>(m->r.PtrAt(off, *len));
}

int32_t OnShow(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    return rec ? ObjectActivate(rec, Arg(m, kOpArg1), Arg(m, kOpArg2), Arg(m, kOpArg3), Arg(m, kOpArg4))
               : kErrNoObject;
}

int32_t OnHide(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    return rec ? ObjectDeactivate(rec) : kErrNoObject;
}

int32_t OnDestroy(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    return rec ? ObjectDestroy(rec) : kErrNoObject;
}

int32_t OnEnable(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    if (!rec) return kErrNoObject;
    return Arg(m, kOpArg2) ? ObjectEnable(rec, Arg(m, kOpArg1)) : ObjectDisable(rec, Arg(m, kOpArg1));
}

int32_t OnCheckItem(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    return rec ? ObjectCheckItem(rec, Arg(m, kOpArg1), Arg(m, kOpArg2)) : kErrNoObject;
}

int32_t OnDeleteItem(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    return rec ? ObjectDeleteItem(rec, Arg(m, kOpArg1)) : kErrNoObject;
}

int32_t OnGetText(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    if (!rec) return kErrNoObject;
    int32_t r = ObjectGetText(rec, Arg(m, kOpArg1));
    if (r < 0) return r;
    SetReplyText(m, gTextBuf);
    return kNoAnswer;
}

int32_t OnGetValue(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    if (!rec) return kErrNoObject;
    int32_t value = 0;
    int32_t r = ObjectGetValue(rec, Arg(m, kOpArg1), &value);
    if (r < 0) return r;
    SetReplyInt(m, value, kResultKindInt);
    return kNoAnswer;
}

int32_t OnInsertItem(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    if (!rec) return kErrNoObject;
    uint32_t len;
    const char* text = TextAt(m, kOpArg2, kOpItemText, &len);
    if (!text) return kErrBadRequest;
    return ObjectInsertItem(rec, Arg(m, kOpArg1), text, len);
}

int32_t OnSetText(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    if (!rec) return kErrNoObject;
    uint32_t len;
    const char* text = TextAt(m, kOpArg2, kOpItemText, &len);
    if (!text) return kErrBadRequest;
    return ObjectSetText(rec, Arg(m, kOpArg1), text, len);
}

int32_t OnSetValue(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    return rec ? ObjectSetValue(rec, Arg(m, kOpArg1), Arg(m, kOpArg2)) : kErrNoObject;
}

int32_t OnState(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    return rec ? ObjectSetState(rec, Arg(m, kOpArg1), Arg(m, kOpArg2), Arg(m, kOpArg3)) : kErrNoObject;
}

int32_t OnFocus(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    return rec ? ObjectSetFocus(rec, Arg(m, kOpArg1), 0) : kErrNoObject;
}

// A sub-object named in a property request (a child of the object), or the
// object itself when no name is given; null when the name is not found.
ObjectRecord* SelectSubObject(const SrvMsg* m, ObjectRecord* rec, uint32_t lenOff, uint32_t nameOff,
                              uint32_t* end, bool* bad) {
    uint32_t len;
    const char* name = TextAt(m, lenOff, nameOff, &len);
    *bad = name == nullptr;
    if (!name) return nullptr;
    *end = nameOff + len;
    if (len == 0) return rec;
    char buf[256];
    if (len >= sizeof buf) return nullptr;
    memcpy(buf, name, len);
    buf[len] = 0;
    return ObjectFindChild(rec, buf);
}

// The sub-object name that stands for all the items of an object.
constexpr char kAllItemsName[] = "buttons";
bool NamesAllItems(const SrvMsg* m) {
    uint32_t len;
    const char* name = TextAt(m, kPcNameLength, kPcName, &len);
    return name && len == sizeof kAllItemsName - 1 && memcmp(name, kAllItemsName, len) == 0;
}

int32_t OnPropQuery(const SrvMsg* m) {
    ObjectRecord* rec = PropRecordOf(m);
    if (!rec) return kErrNoObject;
    PropQuery q = {};
    SelectorOf(m, kPqSelector, &q.selector);
    bool bad;
    uint32_t end;
    if (!m->r.U32At(kPqCode, &q.code) || !m->r.U32At(kPqForm, &q.form)) return kErrBadRequest;
    rec = SelectSubObject(m, rec, kPqNameLength, kPqName, &end, &bad);
    if (bad) return kErrBadRequest;
    if (!rec) return kErrNoObject;
    int32_t r = ObjectGetProperty(rec, &q);
    if (r < 0 || q.itemAnswer) return r;
    if (q.text) SetReplyText(m, q.text);
    else if (q.resultObject) SetReplyInt(m, static_cast<int32_t>(q.resultObject->handle), kItemObject);
    else SetReplyInt(m, q.result, kResultKindInt);
    return kNoAnswer;
}

int32_t OnPropChange(const SrvMsg* m) {
    ObjectRecord* rec = PropRecordOf(m);
    if (!rec) return kErrNoObject;
    PropChange c = {};
    SelectorOf(m, kPcSelector, &c.selector);
    uint32_t objHandle = 0, end;
    bool bad;
    if (!m->r.U32At(kPcCode, &c.code) || !m->r.I32At(kPcValue, &c.value) || !m->r.U32At(kPcWord2, &c.word2) ||
        !m->r.U32At(kPcObject, &objHandle) || !m->r.U32At(kPcValue2, &c.value2))
        return kErrBadRequest;
    ObjectRecord* owner = rec;
    rec = SelectSubObject(m, rec, kPcNameLength, kPcName, &end, &bad);
    if (bad) return kErrBadRequest;
    if (!rec && NamesAllItems(m)) {
        // No child of that name: the change goes to every item of the object
        // (a toolbar's buttons), as the object's kind decides.
        rec = owner;
        c.allItems = true;
    }
    if (!rec) return kErrNoObject;
    c.object = objHandle ? ObjectFromHandle(objHandle) : nullptr;
    // A text follows the name for the text codes; its length is the value.
    const PropCodeRow* row = PropertyCodeLookup(c.code);
    bool textual = (row && (row->valueKind == kPvText || row->valueKind == kPvTextOrEmpty ||
                            row->valueKind == kPvFont)) || c.code == kPcRunName;
    if (textual && !(row && row->valueKind == kPvFont && c.object)) {
        if (c.value < 0) return kErrBadRequest;
        c.textLength = static_cast<uint32_t>(c.value);
        c.text = reinterpret_cast<const char*>(m->r.PtrAt(end, c.textLength));
        if (!c.text) return kErrBadRequest;
    }
    return ObjectSetProperty(rec, &c);
}

int32_t OnMethodCall(const SrvMsg* m) {
    if (DecodeMethodCall(m->data, m->length, gSession.swapped, &gMethodCall, &gPropChain) != 0)
        return kErrBadRequest;
    ObjectRecord* rec = ObjectFromHandle(gMethodCall.handle);
    // The CLIENT object is the client itself: its calls need no object.
    if (gMethodCall.objectType == kTypeClient)
        return gWebObjectOps.clientMethod ? ObjectInvokeClientMethod(rec, &gMethodCall) : kErrNoMethod;
    if (!rec) return kErrNoObject;
    return ObjectInvokeMethod(gMethodCall.objectType, rec, &gMethodCall);
}

int32_t OnOleProp(const SrvMsg* m) {
    OlePropReq req = {};
    if (DecodeOlePropCall(m->data, m->length, gSession.swapped, &gMethodCall, &req.dispId, &req.value) != 0)
        return kErrBadRequest;
    ObjectRecord* rec = ObjectFromHandle(gMethodCall.handle);
    if (!rec) return kErrNoObject;
    if (ObjectIsWebView(rec)) return kErrNoOperation;
    const ObjectOps* ops = ObjectOpsOf(rec);
    if (!ops || !ops->oleProp) return kErrNoOperation;
    req.call = &gMethodCall;
    // A value item makes it a set, none a get.
    return req.value.kind != kItemNone ? ops->oleProp(rec, &req, nullptr) : ops->oleProp(rec, nullptr, &req);
}

int32_t OnRegisterEvent(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    if (!rec) return kErrNoObject;
    uint32_t id, flags, count;
    int32_t values[4];
    if (!m->r.U32At(kRegEventId, &id) || !m->r.U32At(kRegFlags, &flags) || !m->r.U32At(kRegTemplateCount, &count))
        return kErrBadRequest;
    for (int i = 0; i < 4; ++i)
        if (!m->r.I32At(kRegValues + 4 * i, &values[i])) return kErrBadRequest;
    if (count > kRegMaxTemplates) return kErrBadRequest;
    EventItem templates[kRegMaxTemplates] = {};
    for (uint32_t i = 0; i < count; ++i)
        if (!DecodeEventItem(m->r, kRegTemplates + i * kEventItemSize, &templates[i])) return kErrBadRequest;
    return EventRegister(rec, id, values, (flags & kRegFlagUrgent) != 0, templates, count);
}

int32_t OnUnregisterEvent(const SrvMsg* m) {
    ObjectRecord* rec = RecordOf(m);
    if (!rec) return kErrNoObject;
    uint32_t id;
    if (!m->r.U32At(kOpArg1, &id)) return kErrBadRequest;
    return EventUnregister(rec, id);
}

bool TakeNextEvent(EventRecord* ev, EventItem* items, uint32_t* count) { return EventTakeNext(ev, items, count); }

// The object operations by message type; each runs through OnObjectOp, which
// tells the facilities that act once an operation is done (tab pages).
SrvMsgHandler gObjectOpHandlers[100];

int32_t OnObjectOp(const SrvMsg* m) {
    uint32_t i = m->type - kMsgRange2400First;
    SrvMsgHandler h = i < 100 ? gObjectOpHandlers[i] : nullptr;
    int32_t r = h ? h(m) : kErrNoObject;
    if (gObjectHooks.objectOpDone) gObjectHooks.objectOpDone();
    return r;
}

}  // namespace

EventItem gCreateInitValue;

int32_t OnCreateRequest(const SrvMsg* m) {
    uint32_t type, oldHandle, ovar, flags0, flags1, size;
    if (!m->r.U32At(kCrtType, &type) || !m->r.U32At(kCrtOldHandle, &oldHandle) || !m->r.U32At(kCrtOvar, &ovar) ||
        !m->r.U32At(kCrtFlags0, &flags0) || !m->r.U32At(kCrtFlags1, &flags1) || !m->r.U32At(kCrtStreamSize, &size))
        return kErrBadRequest;
    const uint8_t* stream = m->r.PtrAt(kCrtStream, size);
    if (!stream) return kErrBadRequest;
    ObjectCreateRecord* cr = &gObjectCreateRecord;
    if (!DecodeFormCrStream(stream, size, kCreateStreamVersion, 0, cr)) return kErrBadRequest;
    cr->flags0 |= flags0;
    cr->flags1 |= flags1;
    cr->ovar = ovar;
    // An item behind the stream is the new object's initial value.
    gCreateInitValue = EventItem();
    if (m->r.Has(kCrtStream + size, kEventItemSize) && !DecodeEventItem(m->r, kCrtStream + size, &gCreateInitValue))
        return kErrBadRequest;
    if (oldHandle) {
        // The old object goes first; the main window never does (no request
        // may destroy it), so a create that names it is refused whole.
        ObjectRecord* old = ObjectFromHandle(oldHandle);
        if (old && old == gMainWindowObj) return kErrNoObject;
        if (old) ObjectDestroy(old);
    }
    int32_t code = 0;
    ObjectRecord* rec = ObjectCreate(type, cr, &code);
    gCreateInitValue = EventItem();
    return rec ? static_cast<int32_t>(rec->handle) : code;
}

// Before each wait for an event the docking layouts waiting are done and the
// web view re-sends the markup of lists and toolbars queued for redraw; the
// last event's COM arguments are dropped.
static void FlushRedrawsBeforeWait() {
    EventReleaseTaken();
    if (gObjectHooks.layoutsFlush) gObjectHooks.layoutsFlush();
    if (gWebObjectOps.flushRedraws) gWebObjectOps.flushRedraws(nullptr);
}

// Requests that only make, show, hide, destroy, enable or fill objects, or
// register their events, read no object's place: the docking layouts they
// ask for wait for the rest of their batch. Any other request may read one
// (a property, a method, a form saved or printed, an event wait), so the
// layouts waiting are done before it.
static bool LeavesLayoutsWaiting(uint32_t type) {
    switch (type) {
    case kMsgCreate: case kMsgObjShow: case kMsgObjHide: case kMsgObjDestroy: case kMsgObjEnable:
    case kMsgObjSetText: case kMsgObjSetValue: case kMsgObjRegEvent: case kMsgObjUnregEvent:
        return true;
    default: return false;
    }
}

static void LayoutsBeforeRequest(uint32_t type) {
    if (!LeavesLayoutsWaiting(type) && gObjectHooks.layoutsFlush) gObjectHooks.layoutsFlush();
}

void ObjectsInstallSessionHooks() {
    struct Row {
        uint32_t type;
        SrvMsgHandler handler;
    };
    static const Row kRows[] = {
        {kMsgObjShow, OnShow},           {kMsgObjHide, OnHide},
        {kMsgObjDestroy, OnDestroy},     {kMsgObjEnable, OnEnable},
        {kMsgObjCheckItem, OnCheckItem}, {kMsgObjDeleteItem, OnDeleteItem},
        {kMsgObjGetText, OnGetText},     {kMsgObjGetValue, OnGetValue},
        {kMsgObjInsertItem, OnInsertItem}, {kMsgObjSetText, OnSetText},
        {kMsgObjSetValue, OnSetValue},   {kMsgObjState, OnState},
        {kMsgObjFocus, OnFocus},         {kMsgObjPropQuery, OnPropQuery},
        {kMsgObjPropChange, OnPropChange}, {kMsgObjMethodCall, OnMethodCall},
        {kMsgObjOleProp, OnOleProp},     {kMsgObjRegEvent, OnRegisterEvent},
        {kMsgObjUnregEvent, OnUnregisterEvent},
    };
    for (const Row& row : kRows) {
        gObjectOpHandlers[row.type - kMsgRange2400First] = row.handler;
        gSrvMsg2400s[row.type - kMsgRange2400First] = OnObjectOp;
    }
    gSrvMsg1400s[kMsgCreate - kMsgRange1400First] = OnCreateRequest;
    gHooks.eventTakeNext = TakeNextEvent;
    gHooks.eventWaitBegin = FlushRedrawsBeforeWait;
    gHooks.requestBegin = LayoutsBeforeRequest;
    gObjectHooks.destAppend = DestArrayAppend;
    gObjectHooks.tickCount = TickCount;
}
