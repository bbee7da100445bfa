// objcreate.cpp - the creator registry and ObjectCreate, the creator for
// unsupported types, and the destruction of every object left at exit.
#include "objects/objcreate.h"

#include "objects/events.h"
#include "objects/objhooks.h"
#include "objects/objops.h"

namespace {

ObjectCreatorFn gCreators[kObjectTypeLast + 1];

}  // namespace

void RegisterObjectCreator(uint32_t type, ObjectCreatorFn creator) {
    if (type <= kObjectTypeLast) gCreators[type] = creator;
}

ObjectRecord* CreateNotSupported(uint32_t, ObjectCreateRecord*, int32_t* code) {
    *code = -3;
    return nullptr;
}

ObjectRecord* ObjectCreate(uint32_t type, ObjectCreateRecord* cr, int32_t* code) {
    *code = -3;
    int kind = ObjectTypeToKind(type);
    if (kind == kNoKind || type > kObjectTypeLast) return nullptr;
    // The parent is looked up before the creator registers the new record: a
    // Window naming the handle the new record is about to get must not find
    // the record itself (it would become its own parent).
    cr->windowRec = ObjectResolveParent(cr);
    cr->windowResolved = true;
    if (gWebObjectOps.create) {
        ObjectRecord* rec = nullptr;
        int32_t r = gWebObjectOps.create(type, static_cast<uint32_t>(kind), cr, &rec);
        if (r != 0) {
            *code = rec ? 0 : r;
            return rec;
        }
    }
    // A layout waiting above the container is done first: the new object is
    // placed in the container at the size that layout gives it, not moved
    // by the container's growth afterwards.
    if (gObjectHooks.layoutsAbove) gObjectHooks.layoutsAbove(cr->windowRec);
    ObjectCreatorFn creator = gCreators[type] ? gCreators[type] : CreateNotSupported;
    *code = 0;
    ObjectRecord* rec = creator(type, cr, code);
    if (!rec && *code >= 0) *code = -3;
    return rec;
}

void ObjectDestroyAll() {
    gDestSuppress = true;
    // Windows first (they take their children along), then whatever is left.
    // ObjectDestroy drops the handle before the kind runs; a record whose kind
    // has no destroy slot is only dropped from the registry. The main window
    // stays (ObjectDestroy refuses it; the window layer's clean-up ends it), and
    // so do its children until then.
    auto isMain = [](const ObjectRecord* rec) { return rec && rec == gMainWindowObj; };
    for (;;) {
        ObjectRecord* window = nullptr;
        for (uint32_t i = 0; i < ObjectLiveCount() && !window; ++i)
            if (ObjectIsWindowKind(ObjectLiveAt(i)) && !isMain(ObjectLiveAt(i))) window = ObjectLiveAt(i);
        if (!window) break;
        ObjectDestroy(window);
        if (ObjectIsLive(window)) ObjectUnregister(window);
    }
    for (uint32_t i = ObjectLiveCount(); i > 0;) {
        ObjectRecord* rec = ObjectLiveAt(--i);
        if (isMain(rec)) continue;
        ObjectDestroy(rec);
        if (ObjectIsLive(rec)) ObjectUnregister(rec);
        // A destroy takes children and sub-objects along: start again from the end.
        i = ObjectLiveCount();
    }
    gDestSuppress = false;
}
