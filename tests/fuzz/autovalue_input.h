// autovalue_input.h - one input of the automation value fuzz target: byte 0
// picks the request (2414-2417 by its low two bits) and the byte order (bit 2),
// the rest is the message as the server would send it. The decoded items (the
// call's result and arguments, the hops' arguments, the OLE value, the
// selector) and the integer arguments as an index vector are handed on; the
// host target checks the platform-free rules with them, the Wine replay the
// real conversions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "session/proto/records.h"

struct AutoValueInput {
    std::vector<EventItem> items;
    std::vector<int32_t> indexes;
    uint16_t requested;     // a VARTYPE to ask for, from the input
};

inline bool DecodeAutoValueInput(const uint8_t* data, size_t size, AutoValueInput* out) {
    if (size < 3) return false;
    uint32_t type = kMsgObjPropQuery + (data[0] & 3u);
    bool swapped = (data[0] & 4u) != 0;
    out->requested = static_cast<uint16_t>(data[1] & 0x1F);
    const uint8_t* msg = data + 2;
    size_t len = size - 2;
    out->items.clear();
    out->indexes.clear();
    static MethodCallRec call;
    static PropChainRec chain;
    WireReader r(msg, len, swapped);
    EventItem item;
    switch (type) {
    case kMsgObjPropQuery:
        if (DecodeEventItem(r, kPqSelector, &item)) out->items.push_back(item);
        break;
    case kMsgObjPropChange:
        if (DecodeEventItem(r, kPcSelector, &item)) out->items.push_back(item);
        break;
    case kMsgObjMethodCall:
        if (DecodeMethodCall(msg, len, swapped, &call, &chain) != 0) return !out->items.empty();
        out->items.push_back(call.result);
        for (uint32_t i = 0; i < call.argCount; ++i) {
            out->items.push_back(call.args[i]);
            if (call.args[i].kind == kItemInt) out->indexes.push_back(static_cast<int32_t>(call.args[i].value));
        }
        if (call.chain) {
            uint32_t n = 0;
            for (uint32_t h = 0; h < chain.hopCount; ++h) n += chain.hops[h].argCount;
            for (uint32_t i = 0; i < n && i < kMcMaxHopArgs; ++i) out->items.push_back(chain.args[i]);
        }
        break;
    default: {
        uint32_t dispId;
        EventItem value;
        if (DecodeOlePropCall(msg, len, swapped, &call, &dispId, &value) != 0) return false;
        out->items.push_back(call.result);
        out->items.push_back(value);
        break;
    }
    }
    return !out->items.empty();
}
