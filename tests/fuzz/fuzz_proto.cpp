// fuzz_proto.cpp - feeds arbitrary bytes to the frame, bundle, codec and
// method-call parsers the way the session does: a frame, uncompressed when
// flagged, walked as a bundle when flagged, each message decoded as a call.
#include <cstddef>
#include <cstdint>

#include "session/proto/records.h"

static void DecodeOne(const uint8_t* msg, const FrameHead& h, bool swapped, MsgBuf* unpack) {
    if (h.flags & kHdrCompressed) {
        if (MsgUncompress(msg, h, swapped, unpack) != 0) return;
        msg = unpack->data;
    }
    FrameHead plain;
    if (FrameParseHead(msg, h.flags & kHdrCompressed ? unpack->used : h.length, swapped, &plain) != 0) return;
    static MethodCallRec rec;
    static PropChainRec chain;
    DecodeMethodCall(msg, plain.length, swapped, &rec, &chain);
    uint32_t dispId;
    EventItem value;
    DecodeOlePropCall(msg, plain.length, swapped, &rec, &dispId, &value);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    bool swapped = data[0] & 1;
    data++;
    size--;
    FrameHead h;
    if (FrameParseHead(data, size, swapped, &h) != 0) return 0;
    MsgBuf unpack = {}, unpackMember = {};
    const uint8_t* msg = data;
    FrameHead outer = h;
    if (h.flags & kHdrCompressed) {
        if (MsgUncompress(data, h, swapped, &unpack) == 0) {
            msg = unpack.data;
            FrameParseHead(msg, unpack.used, swapped, &outer);
        } else {
            msg = nullptr;
        }
    }
    if (msg && (outer.flags & kHdrBundle)) {
        BundleIter it;
        BundleBegin(&it, msg, outer, swapped);
        const uint8_t* member;
        FrameHead mh;
        while (BundleNext(&it, &member, &mh) == 1) DecodeOne(member, mh, swapped, &unpackMember);
    } else if (msg) {
        DecodeOne(msg, outer, swapped, &unpackMember);
    }
    MsgBufFree(&unpack);
    MsgBufFree(&unpackMember);
    return 0;
}
