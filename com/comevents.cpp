// comevents.cpp - events of COM objects (see comevents.h): the sink of an
// Automation object hands each event here; the queue entry owns copies of its
// arguments, which the built-in Variant records 1-10 stand for from the moment
// the server takes the event until it waits or polls again.
#include "com/comevents.h"

#include <memory>
#include <new>
#include <string>

#include "com/autoclient.h"
#include "com/comobjects.h"
#include "com/varconv.h"
#include "objects/events.h"
#include "objects/objhooks.h"
#include "objects/objrecord.h"
#include "session/session.h"

namespace {

struct ComEventArgs {
    uint32_t count;
    VARIANT v[kEventRegItems];      // parameter order
};

void ArgsFree(void* block) {
    ComEventArgs* a = static_cast<ComEventArgs*>(block);
    if (!a) return;
    for (uint32_t i = 0; i < a->count; ++i) VariantClear(&a->v[i]);
    delete a;
}

void ArgsCurrent(void* block) {
    ComEventArgs* a = static_cast<ComEventArgs*>(block);
    if (!a) {
        VariantBuiltinsPoint(nullptr, 0);
        return;
    }
    VARIANT* ptrs[kEventRegItems];
    for (uint32_t i = 0; i < a->count; ++i) ptrs[i] = &a->v[i];
    VariantBuiltinsPoint(ptrs, a->count);
}

// Copies of the arguments, references read through.
ComEventArgs* CopyArgs(const DISPPARAMS* params) {
    ComEventArgs* a = new (std::nothrow) ComEventArgs();
    if (!a) return nullptr;
    uint32_t total = params ? params->cArgs : 0;
    a->count = total < kEventRegItems ? total : kEventRegItems;
    for (uint32_t i = 0; i < a->count; ++i) {
        VariantInit(&a->v[i]);
        if (FAILED(VariantCopyInd(&a->v[i], &params->rgvarg[total - 1 - i]))) {
            V_VT(&a->v[i]) = VT_ERROR;
            V_ERROR(&a->v[i]) = DISP_E_PARAMNOTFOUND;
        }
    }
    return a;
}

// The server waits for an event: this one answers the wait before Invoke
// returns, and the server's requests are taken until it waits or polls again,
// with records 1-10 on the event's own VARIANTs, so a write through a record
// reaches a by-reference argument. Elsewhere (inside a request, or with other
// events queued first) the event is queued and a write changes the copy only.
bool DeliverDuringWait(ObjectRecord* owner, uint32_t eventId, DISPPARAMS* params) {
    if (!SrvMsgEventWaitOpen() || EventQueueCount() != 0 || !EventFindReg(owner, eventId)) return false;
    if (!PostEventIfRegistered(owner, eventId, params)) return false;
    if (!SrvMsgAnswerWaitNow()) return true;   // stays queued for the wait
    // Nothing points at the DISPPARAMS once Invoke returns, however the
    // nest below ends (declared first, so it is undone after the nest).
    struct Unpoint {
        ~Unpoint() { VariantBuiltinsPoint(nullptr, 0); }
    } unpoint;
    SrvMsgNest nest;
    uint32_t total = params ? params->cArgs : 0;
    uint32_t n = total < kEventRegItems ? total : kEventRegItems;
    VARIANT* own[kEventRegItems];
    for (uint32_t i = 0; i < n; ++i) own[i] = &params->rgvarg[total - 1 - i];
    VariantBuiltinsPoint(own, n);
    if (nest.Taking())
        while (!SrvMsgDeferredWaitArrived()) PumpOnce(true);
    return true;
}

void PostFromSink(ObjectRecord* owner, DISPID id, DISPPARAMS* params) {
    uint32_t eventId = static_cast<uint32_t>(id);
    if (DeliverDuringWait(owner, eventId, params)) return;
    PostEventIfRegistered(owner, eventId, params);
}

}  // namespace

bool PostEventIfRegistered(ObjectRecord* rec, uint32_t eventId, DISPPARAMS* params) {
    if (!ObjectIsLive(rec)) return false;
    EventReg* reg = EventFindReg(rec, eventId);
    if (!reg) return false;
    // The copies are freed on every way out until the queue takes them.
    std::unique_ptr<ComEventArgs, void (*)(void*)> held(CopyArgs(params), ArgsFree);
    ComEventArgs* args = held.get();
    if (!args) return false;
    uint32_t n = reg->itemCount < args->count ? reg->itemCount : args->count;
    EventItem items[kEventRegItems] = {};
    std::string texts[kEventRegItems];
    for (uint32_t i = 0; i < n; ++i) {
        items[i] = reg->items[i];
        bool appendAnyway = false;
        if (VariantToItem(&items[i], &args->v[i], &texts[i], &appendAnyway) != 0 && !appendAnyway) {
            // A value that does not convert leaves the variable's template.
            items[i] = reg->items[i];
            if (ItemIsText(items[i].kind)) items[i].size = 0;
        }
    }
    if (!PostEventComArgs(rec, eventId, items, n, args)) return false;
    held.release();
    return true;
}

void ComEventsInstall() {
    gAutoEventPost = PostFromSink;
    gComObjectHooks.eventArgsFree = ArgsFree;
    gComObjectHooks.eventArgsCurrent = ArgsCurrent;
}
