// objkinds.cpp - lookups over the object model's tables (kinds, types, property
// names and codes, events) and the start-up step that builds gKindPropMatrix.
#include <cstdint>
#include <cstring>

#include "objects/objtables.h"
#include "session/util/strutil.h"

uint8_t gKindPropMatrix[kObjectKindRows][kPropIdCount];

// Whether a and b agree in their first n characters (or up to the end of both
// when shorter), without regard to case; n unbounded compares whole texts.
static bool EqualNoCaseN(const char* a, const char* b, size_t n) {
    for (; n && *a && *b; ++a, ++b, --n) {
        char x = *a, y = *b;
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return n == 0 || *a == *b;
}

static bool EqualNoCase(const char* a, const char* b) { return EqualNoCaseN(a, b, SIZE_MAX); }

int ObjectTypeToKind(uint32_t type) {
    return type <= kObjectTypeLast ? ObjectTypeKindMap[type] : kNoKind;
}

uint32_t ObjectKindToType(uint32_t kind) {
    // Type 36 (Qoform) maps to kind 0 but is no object the client makes.
    if (kind == kKindNone) return 0;
    for (uint32_t t = 1; t <= kObjectTypeLast; ++t)
        if (ObjectTypeKindMap[t] == static_cast<int>(kind)) return t;
    return 0;
}

const char* ObjectKindName(uint32_t kind) {
    return kind < kObjectKindRows ? ObjectKindNames[kind] : "";
}

int ObjectKindFromName(const char* name) {
    if (!name) return kNoKind;
    for (uint32_t k = 0; k <= kObjectKindLast; ++k)
        if (EqualNoCase(ObjectKindNames[k] + 2, name)) return static_cast<int>(k);
    return kNoKind;
}

const char* ObjectTypeName(uint32_t type) {
    return type <= kObjectTypeLast ? ObjectTypeNames[type] : nullptr;
}

uint16_t PropertyIdFromName(const char* name) {
    if (!name || !*name) return 0;
    for (const PropNameRow* row = PropertyNameTable; row->id != kPropTableEnd; ++row)
        if (row->name && EqualNoCase(row->name, name)) return row->id;
    return 0;
}

const char* PropertyNameFromId(uint32_t id) {
    if (id == 0 || id > kPropIdLast) return nullptr;
    for (const PropNameRow* row = PropertyNameTable; row->id != kPropTableEnd; ++row)
        if (row->id == id) return row->name;
    return nullptr;
}

const PropCodeRow* PropertyCodeLookup(uint32_t code) {
    for (const PropCodeRow* row = PropertyCodeTable; row->code; ++row)
        if (row->code == code) return row;
    return nullptr;
}

bool KindHasProp(uint32_t kind, uint32_t id) {
    return kind < kObjectKindRows && id < kPropIdCount && gKindPropMatrix[kind][id] != 0;
}

void ObjectSetupTables() {
    memset(gKindPropMatrix, 0, sizeof(gKindPropMatrix));
    for (uint32_t k = 0; k < kObjectKindRows; ++k)
        for (const uint16_t* id = KindPropList(k); id && *id; ++id)
            if (*id < kPropIdCount) gKindPropMatrix[k][*id] = 1;
}

const char* EventNameFromId(uint32_t id) {
    for (const EventNameRow* row = EventNameTable; row->name; ++row)
        if (row->id == id) return row->name;
    return nullptr;
}

int32_t EventIdFromName(const char* name) {
    if (!name) return -1;
    for (const EventNameRow* row = EventNameTable; row->name; ++row)
        if (EqualNoCase(row->name, name)) return static_cast<int32_t>(row->id);
    return -1;
}

int32_t EventIdFromHandlerName(const char* name) {
    if (!name || !*name) return -1;
    size_t n = strlen(name);
    if (n == 11 && EqualNoCase(name, "JQueryEvent")) return 200;
    for (uint32_t id = 0; id < kEventPrefixCount; ++id) {
        const char* p = EventHandlerPrefixes[id];
        if (strlen(p) == n + 1 && EqualNoCaseN(p, name, n)) return static_cast<int32_t>(id);
    }
    return -1;
}
