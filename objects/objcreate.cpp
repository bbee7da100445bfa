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
    if (gWebObjectOps.create) {
        ObjectRecord* rec = nullptr;
        int32_t r = gWebObjectOps.create(type, static_cast<uint32_t>(kind), cr, &rec);
        if (r != 0) {
            *code = rec ? 0 : r;
            return rec;
        }
    }
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
    // has no destroy slot is only dropped from the registry.
    for (;;) {
        ObjectRecord* window = nullptr;
        for (uint32_t i = 0; i < ObjectLiveCount() && !window; ++i)
            if (ObjectIsWindowKind(ObjectLiveAt(i))) window = ObjectLiveAt(i);
        if (!window) break;
        if (ObjectDestroy(window) == kOpNotAvailable) ObjectUnregister(window);
    }
    while (ObjectLiveCount()) {
        ObjectRecord* rec = ObjectLiveAt(ObjectLiveCount() - 1);
        if (ObjectDestroy(rec) == kOpNotAvailable) ObjectUnregister(rec);
    }
    gDestSuppress = false;
}
