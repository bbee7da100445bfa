// wire.h - frames of the client's wire protocol: the session's byte order, the
// header word, bundles and their members, the growable message buffers, the
// LZO1X-1 body codec and the builders of every message the client sends.
#pragma once

#include "session/util/qovtypes.h"
#include "session/util/bytereader.h"
#include "session/proto/protocol.h"

inline uint16_t SwapU16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
inline uint32_t SwapU32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
inline uint64_t SwapU64(uint64_t v) {
    return (static_cast<uint64_t>(SwapU32(static_cast<uint32_t>(v))) << 32) | SwapU32(static_cast<uint32_t>(v >> 32));
}

// Reads the fields of one message in the session's byte order; every read is
// bounded by the message through ByteReader.
struct WireReader {
    ByteReader r;
    bool swapped;
    WireReader(const void* data, size_t len, bool swap) : r(data, len), swapped(swap) {}
    size_t Length() const { return r.Length(); }
    bool Has(size_t off, size_t n) const { return r.Has(off, n); }
    const uint8_t* PtrAt(size_t off, size_t n) const { return r.PtrAt(off, n); }
    bool U8At(size_t off, uint8_t* v) const { return r.U8At(off, v); }
    bool BytesAt(size_t off, void* out, size_t n) const { return r.BytesAt(off, out, n); }
    bool U16At(size_t off, uint16_t* v) const {
        if (!r.U16At(off, v)) return false;
        if (swapped) *v = SwapU16(*v);
        return true;
    }
    bool U32At(size_t off, uint32_t* v) const {
        if (!r.U32At(off, v)) return false;
        if (swapped) *v = SwapU32(*v);
        return true;
    }
    bool I32At(size_t off, int32_t* v) const {
        uint32_t u;
        if (!U32At(off, &u)) return false;
        *v = static_cast<int32_t>(u);
        return true;
    }
    bool U64At(size_t off, uint64_t* v) const {
        uint32_t lo, hi;
        if (!r.U32At(off, &lo) || !r.U32At(off + 4, &hi)) return false;
        uint64_t x = (static_cast<uint64_t>(hi) << 32) | lo;
        *v = swapped ? SwapU64(x) : x;
        return true;
    }
};

void WirePutU16(uint8_t* p, uint16_t v, bool swapped);
void WirePutU32(uint8_t* p, uint32_t v, bool swapped);
void WirePutU64(uint8_t* p, uint64_t v, bool swapped);
uint32_t WireGetU32(const uint8_t* p, bool swapped);

// ---- Frames -----------------------------------------------------------------
struct FrameHead {
    uint32_t length;     // including the 8-byte header
    uint32_t seq;        // 0-3
    uint32_t flags;      // kHdrCompressed | kHdrBundle | kHdrAckWanted as received
    uint32_t type;       // member count for a bundle
};

// Parses the header at msg; avail is what the buffer holds from msg on.
// 0, or kErrBadMessage for a length below 8 or beyond avail.
int FrameParseHead(const uint8_t* msg, size_t avail, bool swapped, FrameHead* out);
// The header word only (the first read of a frame): 0 or kErrBadMessage
// when the length cannot fit in bufSize.
int FrameCheckWord(uint32_t word, size_t bufSize, uint32_t* length);
uint32_t FrameWord(uint32_t length, uint32_t seq, uint32_t flags);
// Decides the session's byte order from its first message: 0 little-endian,
// 1 byte-swapped, -1 neither (a session-opening type is expected).
int FrameDetectOrder(const uint8_t* msg, size_t avail);

// Walks the members of a received bundle, each checked to lie inside it.
struct BundleIter {
    const uint8_t* body;
    size_t bodyLen;
    size_t pos;
    uint32_t left;
    bool swapped;
};
void BundleBegin(BundleIter* it, const uint8_t* msg, const FrameHead& head, bool swapped);
// 1 and the member, 0 when every member was taken and nothing is left over,
// kErrBadMessage for a member that does not fit, a nested bundle or stray bytes.
int BundleNext(BundleIter* it, const uint8_t** member, FrameHead* memberHead);

// ---- Buffers ----------------------------------------------------------------
struct MsgBuf {
    uint8_t* data;
    uint32_t size;
    uint32_t used;
};
// Makes room for need bytes, growing in steps of kBufGrowStep up to the largest
// frame; false (buffer unchanged) when that is too much or memory runs out.
bool MsgBufReserve(MsgBuf* buf, uint64_t need);
void MsgBufFree(MsgBuf* buf);
// Appends n bytes; false when the buffer cannot grow.
bool MsgBufAppend(MsgBuf* buf, const void* bytes, uint32_t n);

// ---- Body codec ---------------------------------------------------------------
// Uncompresses a message with kHdrCompressed into out as a plain message (same
// sequence and type, flag cleared). 0, kErrBadMessage, or kErrNoMemory when
// the plain message, which fits a frame, cannot be held in memory.
int MsgUncompress(const uint8_t* msg, const FrameHead& head, bool swapped, MsgBuf* out);
// Compresses the body of a plain message of len bytes into out when the body
// has kCompressMinBody bytes or more and shrinks; false leaves out unused.
bool MsgCompress(const uint8_t* msg, uint32_t len, bool swapped, MsgBuf* out);

// The 128-bit block cipher of message bodies: a hook pair, identity until a
// cipher is installed. The key comes from switch "key" or QOVCS_PUBLIC.
typedef void (*CipherFn)(uint8_t* body, uint32_t len, const uint8_t key[16]);
extern CipherFn gCipherEncipher;
extern CipherFn gCipherDecipher;

// ---- Builders -----------------------------------------------------------------
// Each starts a message in buf (used = its length) and returns false when the
// buffer cannot grow. seq is the request's sequence, swapped the session order.
bool MsgBuildAnswer(MsgBuf* buf, uint32_t type, int32_t value, uint32_t seq, bool swapped);
bool MsgBuildResultInt(MsgBuf* buf, int32_t value, uint8_t kind, uint32_t seq, bool swapped);
bool MsgBuildResultText(MsgBuf* buf, const char* text, uint32_t seq, bool swapped);
bool MsgBuildResultBytes(MsgBuf* buf, const void* bytes, uint32_t n, uint32_t seq, bool swapped);
// 1154 carrying count u32 words (4 x count bytes), each in the session's order.
bool MsgBuildResultWords(MsgBuf* buf, const uint32_t* words, uint32_t count, uint32_t seq, bool swapped);
bool MsgBuildInfoAnswer(MsgBuf* buf, int32_t value, const char* text, uint32_t seq, bool swapped);
bool MsgBuildPrtJobAnswer(MsgBuf* buf, int32_t value, int32_t copies, int32_t pages, int32_t detail,
                          const char* text, uint32_t seq, bool swapped);
bool MsgBuildPrtName(MsgBuf* buf, uint32_t handle, const char* text, uint32_t seq, bool swapped);
struct ProgramRequest {
    uint32_t build;
    uint32_t flags;
    uint32_t recvSize;
    const char* texts[4];   // workstation id, user, logon, command line
};
bool MsgBuildProgramRequest(MsgBuf* buf, const ProgramRequest* req);
bool MsgBuildFetch(MsgBuf* buf, uint8_t mode, uint8_t kind, uint16_t page, uint32_t number,
                   const char* name, bool swapped);
bool MsgBuildPut(MsgBuf* buf, const char* name, const void* data, uint32_t size, bool swapped);
// Fixes the length in the header word after the body was appended to.
void MsgSetLength(MsgBuf* buf, bool swapped);
// Outgoing bundle: starts an empty bundle, adds one whole message.
bool MsgBundleStart(MsgBuf* bundle, uint32_t seq, bool swapped);
bool MsgBundleAdd(MsgBuf* bundle, const uint8_t* msg, uint32_t len, bool swapped);
