// wire.cpp - frames, bundles, message buffers, the LZO1X-1 body codec and the
// builders of the client's outgoing messages.
#include "session/proto/wire.h"

#include <cstring>

#include "minilzo.h"
#include "session/util/mem.h"

CipherFn gCipherEncipher = nullptr;
CipherFn gCipherDecipher = nullptr;

void WirePutU16(uint8_t* p, uint16_t v, bool swapped) {
    if (swapped) v = SwapU16(v);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void WirePutU32(uint8_t* p, uint32_t v, bool swapped) {
    if (swapped) v = SwapU32(v);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void WirePutU64(uint8_t* p, uint64_t v, bool swapped) {
    if (swapped) v = SwapU64(v);
    WirePutU32(p, static_cast<uint32_t>(v), false);
    WirePutU32(p + 4, static_cast<uint32_t>(v >> 32), false);
}

uint32_t WireGetU32(const uint8_t* p, bool swapped) {
    uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                 (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    return swapped ? SwapU32(v) : v;
}

// ---- Frames -----------------------------------------------------------------

int FrameCheckWord(uint32_t word, size_t bufSize, uint32_t* length) {
    uint32_t len = word & kHdrLenMask;
    if (len < kMsgHeadSize || len > bufSize) return kErrBadMessage;
    *length = len;
    return 0;
}

int FrameParseHead(const uint8_t* msg, size_t avail, bool swapped, FrameHead* out) {
    WireReader r(msg, avail, swapped);
    uint32_t word, type, len;
    if (!r.U32At(0, &word) || !r.U32At(4, &type)) return kErrBadMessage;
    if (FrameCheckWord(word, avail, &len) != 0) return kErrBadMessage;
    out->length = len;
    out->seq = (word & kHdrSeqMask) >> kHdrSeqShift;
    out->flags = word & (kHdrCompressed | kHdrBundle | kHdrAckWanted);
    out->type = type;
    return 0;
}

uint32_t FrameWord(uint32_t length, uint32_t seq, uint32_t flags) {
    return (length & kHdrLenMask) | ((seq << kHdrSeqShift) & kHdrSeqMask) |
           (flags & (kHdrCompressed | kHdrBundle | kHdrAckWanted));
}

static bool IsOpeningType(uint32_t type) {
    return type == kMsgSessionAccept || type == kMsgSessionRefuse || type == kMsgEndSession;
}

int FrameDetectOrder(const uint8_t* msg, size_t avail) {
    ByteReader r(msg, avail);
    uint32_t type;
    if (!r.U32At(4, &type)) return -1;
    if (IsOpeningType(type)) return 0;
    if (IsOpeningType(SwapU32(type))) return 1;
    return -1;
}

void BundleBegin(BundleIter* it, const uint8_t* msg, const FrameHead& head, bool swapped) {
    it->body = msg + kMsgHeadSize;
    it->bodyLen = head.length - kMsgHeadSize;
    it->pos = 0;
    it->left = head.type;
    it->swapped = swapped;
}

int BundleNext(BundleIter* it, const uint8_t** member, FrameHead* memberHead) {
    if (it->left > kBundleMaxMembers) return kErrBadMessage;
    if (it->left == 0) return it->pos == it->bodyLen ? 0 : kErrBadMessage;
    if (it->pos >= it->bodyLen) return kErrBadMessage;
    const uint8_t* p = it->body + it->pos;
    if (FrameParseHead(p, it->bodyLen - it->pos, it->swapped, memberHead) != 0) return kErrBadMessage;
    // A bundle inside a bundle would let one frame fan out without limit.
    if (memberHead->flags & kHdrBundle) return kErrBadMessage;
    *member = p;
    it->pos += memberHead->length;
    it->left--;
    return 1;
}

// ---- Buffers ----------------------------------------------------------------

bool MsgBufReserve(MsgBuf* buf, uint64_t need) {
    if (need <= buf->size) return true;
    CheckedSize want(need);
    want.Add(kBufGrowStep - 1);
    if (!want.Fits(static_cast<uint64_t>(kRecvBufMaxSize) + kBufGrowStep)) return false;
    uint64_t size = (want.value / kBufGrowStep) * kBufGrowStep;
    void* p = GuardedRealloc(buf->data, static_cast<size_t>(size));
    if (!p) return false;
    buf->data = static_cast<uint8_t*>(p);
    buf->size = static_cast<uint32_t>(size);
    return true;
}

void MsgBufFree(MsgBuf* buf) {
    GuardedFree(buf->data);
    buf->data = nullptr;
    buf->size = 0;
    buf->used = 0;
}

bool MsgBufAppend(MsgBuf* buf, const void* bytes, uint32_t n) {
    CheckedSize need(buf->used);
    need.Add(n);
    if (!need.Fits(kMsgMaxLength) || !MsgBufReserve(buf, need.value)) return false;
    if (n) memcpy(buf->data + buf->used, bytes, n);
    buf->used += n;
    return true;
}

// ---- Body codec -------------------------------------------------------------

static bool CodecReady() {
    static int state = 0;   // 0 untried, 1 ready, -1 failed
    if (state == 0) state = lzo_init() == LZO_E_OK ? 1 : -1;
    return state == 1;
}

int MsgUncompress(const uint8_t* msg, const FrameHead& head, bool swapped, MsgBuf* out) {
    if (!CodecReady()) return kErrBadMessage;
    WireReader r(msg, head.length, swapped);
    uint32_t plain;
    if (!r.U32At(kMsgHeadSize, &plain)) return kErrBadMessage;
    CheckedSize total(plain);
    total.Add(kMsgHeadSize);
    if (!total.Fits(kMsgMaxLength)) return kErrBadMessage;
    // The plain body fits a frame; only the memory to hold it can be missing.
    if (!MsgBufReserve(out, total.value)) return kErrNoMemory;
    const uint8_t* src = msg + kMsgHeadSize + 4;
    lzo_uint srcLen = head.length - kMsgHeadSize - 4;
    lzo_uint outLen = plain;
    int rc = lzo1x_decompress_safe(src, srcLen, out->data + kMsgHeadSize, &outLen, nullptr);
    if (rc != LZO_E_OK || outLen != plain) return kErrBadMessage;
    WirePutU32(out->data, FrameWord(static_cast<uint32_t>(total.value), head.seq, head.flags & ~kHdrCompressed),
               swapped);
    WirePutU32(out->data + 4, head.type, swapped);
    out->used = static_cast<uint32_t>(total.value);
    return 0;
}

bool MsgCompress(const uint8_t* msg, uint32_t len, bool swapped, MsgBuf* out) {
    if (len < kMsgHeadSize + kCompressMinBody || !CodecReady()) return false;
    uint32_t body = len - kMsgHeadSize;
    // LZO1X-1's worst case grows a block by a sixteenth plus a little.
    CheckedSize worst(body);
    worst.Add(body / 16).Add(64 + 3).Add(kMsgHeadSize + 4);
    if (!worst.Fits(kRecvBufMaxSize) || !MsgBufReserve(out, worst.value)) return false;
    void* work = GuardedAlloc(LZO1X_1_MEM_COMPRESS);
    if (!work) return false;
    lzo_uint outLen = 0;
    int rc = lzo1x_1_compress(msg + kMsgHeadSize, body, out->data + kMsgHeadSize + 4, &outLen, work);
    GuardedFree(work);
    uint64_t total = static_cast<uint64_t>(outLen) + kMsgHeadSize + 4;
    if (rc != LZO_E_OK || total >= len) return false;
    uint32_t word = WireGetU32(msg, swapped);
    uint32_t type = WireGetU32(msg + 4, swapped);
    WirePutU32(out->data, FrameWord(static_cast<uint32_t>(total), (word & kHdrSeqMask) >> kHdrSeqShift,
                                    (word | kHdrCompressed)), swapped);
    WirePutU32(out->data + 4, type, swapped);
    WirePutU32(out->data + 8, body, swapped);
    out->used = static_cast<uint32_t>(total);
    return true;
}

// ---- Builders ---------------------------------------------------------------

static uint8_t* StartMsg(MsgBuf* buf, uint32_t len, uint32_t type, uint32_t seq, bool swapped) {
    if (!MsgBufReserve(buf, len)) return nullptr;
    memset(buf->data, 0, len);
    WirePutU32(buf->data, FrameWord(len, seq, 0), swapped);
    WirePutU32(buf->data + 4, type, swapped);
    buf->used = len;
    return buf->data;
}

void MsgSetLength(MsgBuf* buf, bool swapped) {
    uint32_t word = WireGetU32(buf->data, swapped);
    WirePutU32(buf->data, (word & ~kHdrLenMask) | (buf->used & kHdrLenMask), swapped);
}

static size_t TextLen(const char* text) { return text ? strlen(text) : 0; }

bool MsgBuildAnswer(MsgBuf* buf, uint32_t type, int32_t value, uint32_t seq, bool swapped) {
    uint8_t* p = StartMsg(buf, kAnswerSize, type, seq, swapped);
    if (!p) return false;
    WirePutU32(p + kAnsValue, static_cast<uint32_t>(value), swapped);
    return true;
}

bool MsgBuildResultInt(MsgBuf* buf, int32_t value, uint8_t kind, uint32_t seq, bool swapped) {
    uint8_t* p = StartMsg(buf, kResIntSize, kMsgResultInt, seq, swapped);
    if (!p) return false;
    WirePutU32(p + kResIntValue, static_cast<uint32_t>(value), swapped);
    p[kResIntKind] = kind;
    return true;
}

bool MsgBuildResultText(MsgBuf* buf, const char* text, uint32_t seq, bool swapped) {
    size_t n = TextLen(text);
    if (n > kMsgMaxLength - kResText - 1) return false;
    uint8_t* p = StartMsg(buf, static_cast<uint32_t>(kResText + n + 1), kMsgResultText, seq, swapped);
    if (!p) return false;
    WirePutU32(p + kResTextLength, static_cast<uint32_t>(n), swapped);
    if (n) memcpy(p + kResText, text, n);
    return true;
}

bool MsgBuildResultBytes(MsgBuf* buf, const void* bytes, uint32_t n, uint32_t seq, bool swapped) {
    if (n > kMsgMaxLength - kResBytes - 1) return false;
    uint8_t* p = StartMsg(buf, kResBytes + n + 1, kMsgResultBytes, seq, swapped);
    if (!p) return false;
    WirePutU32(p + kResBytesCount, n, swapped);
    if (n) memcpy(p + kResBytes, bytes, n);
    return true;
}

bool MsgBuildResultWords(MsgBuf* buf, const uint32_t* words, uint32_t count, uint32_t seq, bool swapped) {
    CheckedSize n(count);
    n.Mul(4);
    if (!n.Fits(kMsgMaxLength - kResBytes - 1)) return false;
    uint8_t* p = StartMsg(buf, static_cast<uint32_t>(kResBytes + n.value + 1), kMsgResultBytes, seq, swapped);
    if (!p) return false;
    WirePutU32(p + kResBytesCount, static_cast<uint32_t>(n.value), swapped);
    for (uint32_t i = 0; i < count; i++) WirePutU32(p + kResBytes + 4 * i, words[i], swapped);
    return true;
}

bool MsgBuildInfoAnswer(MsgBuf* buf, int32_t value, const char* text, uint32_t seq, bool swapped) {
    size_t n = TextLen(text);
    if (n > kMsgMaxLength - kInfoText - 1) return false;
    uint8_t* p = StartMsg(buf, static_cast<uint32_t>(kInfoText + n + 1), kMsgInfoAnswer, seq, swapped);
    if (!p) return false;
    WirePutU32(p + kInfoValue, static_cast<uint32_t>(value), swapped);
    WirePutU32(p + kInfoTextLength, static_cast<uint32_t>(n + 1), swapped);
    if (n) memcpy(p + kInfoText, text, n);
    return true;
}

bool MsgBuildPrtJobAnswer(MsgBuf* buf, int32_t value, int32_t copies, int32_t pages, int32_t detail,
                          const char* text, uint32_t seq, bool swapped) {
    size_t n = text ? strlen(text) + 1 : 0;
    if (n > kMsgMaxLength - kPjaText) return false;
    uint8_t* p = StartMsg(buf, static_cast<uint32_t>(kPjaText + n), kMsgPrtJobAnswer, seq, swapped);
    if (!p) return false;
    // The count covers what follows +12: 12 + 4 + the text, or 16 without one.
    uint32_t count = text ? static_cast<uint32_t>(12 + 4 + n) : 16;
    WirePutU32(p + kPjaValue, static_cast<uint32_t>(value), swapped);
    WirePutU32(p + kPjaCount, count, swapped);
    WirePutU32(p + kPjaDetail, static_cast<uint32_t>(detail), swapped);
    WirePutU32(p + kPjaPages, static_cast<uint32_t>(pages), swapped);
    WirePutU32(p + kPjaCopies, static_cast<uint32_t>(copies), swapped);
    WirePutU32(p + kPjaTextLength, static_cast<uint32_t>(n), swapped);
    if (n) memcpy(p + kPjaText, text, n);
    return true;
}

bool MsgBuildPrtName(MsgBuf* buf, uint32_t handle, const char* text, uint32_t seq, bool swapped) {
    size_t n = TextLen(text);
    if (n > kMsgMaxLength - kPrtNameText - 1) return false;
    uint8_t* p = StartMsg(buf, static_cast<uint32_t>(kPrtNameText + n + 1), kMsgPrtName, seq, swapped);
    if (!p) return false;
    WirePutU32(p + kPrtNameHandle, handle, swapped);
    WirePutU32(p + kPrtNameLength, static_cast<uint32_t>(n + 1), swapped);
    if (n) memcpy(p + kPrtNameText, text, n);
    return true;
}

bool MsgBuildProgramRequest(MsgBuf* buf, const ProgramRequest* req) {
    CheckedSize total(kPrqTexts);
    size_t lens[4];
    for (int i = 0; i < 4; i++) {
        lens[i] = TextLen(req->texts[i]);
        total.Add(lens[i]);
    }
    if (!total.Fits(kMsgMaxLength)) return false;
    uint8_t* p = StartMsg(buf, static_cast<uint32_t>(total.value), kMsgProgramRequest, 0, false);
    if (!p) return false;
    WirePutU32(p + kPrqBuild, req->build, false);
    WirePutU32(p + kPrqFlags, req->flags, false);
    WirePutU32(p + kPrqRecvSize, req->recvSize, false);
    size_t at = kPrqTexts;
    for (int i = 0; i < 4; i++) {
        WirePutU32(p + kPrqLengths + 4 * i, static_cast<uint32_t>(lens[i]), false);
        if (lens[i]) memcpy(p + at, req->texts[i], lens[i]);
        at += lens[i];
    }
    return true;
}

bool MsgBuildFetch(MsgBuf* buf, uint8_t mode, uint8_t kind, uint16_t page, uint32_t number,
                   const char* name, bool swapped) {
    size_t n = TextLen(name);
    if (n > kMsgMaxLength - kFetName) return false;
    uint8_t* p = StartMsg(buf, static_cast<uint32_t>(kFetName + n), kMsgFetch, 0, swapped);
    if (!p) return false;
    p[kFetMode] = mode;
    p[kFetKind] = kind;
    WirePutU16(p + kFetPage, page, swapped);
    WirePutU32(p + kFetNumber, number, swapped);
    WirePutU32(p + kFetNameLength, static_cast<uint32_t>(n), swapped);
    if (n) memcpy(p + kFetName, name, n);
    return true;
}

bool MsgBuildPut(MsgBuf* buf, const char* name, const void* data, uint32_t size, bool swapped) {
    size_t n = TextLen(name);
    CheckedSize total(kPutName);
    total.Add(n).Add(size);
    if (!total.Fits(kMsgMaxLength)) return false;
    uint8_t* p = StartMsg(buf, static_cast<uint32_t>(total.value), kMsgPut, 0, swapped);
    if (!p) return false;
    WirePutU32(p + kPutNameLength, static_cast<uint32_t>(n), swapped);
    WirePutU32(p + kPutSize, size, swapped);
    if (n) memcpy(p + kPutName, name, n);
    if (size) memcpy(p + kPutName + n, data, size);
    return true;
}

bool MsgBundleStart(MsgBuf* bundle, uint32_t seq, bool swapped) {
    if (!MsgBufReserve(bundle, kMsgHeadSize)) return false;
    WirePutU32(bundle->data, FrameWord(kMsgHeadSize, seq, kHdrBundle), swapped);
    WirePutU32(bundle->data + 4, 0, swapped);
    bundle->used = kMsgHeadSize;
    return true;
}

bool MsgBundleAdd(MsgBuf* bundle, const uint8_t* msg, uint32_t len, bool swapped) {
    if (!MsgBufAppend(bundle, msg, len)) return false;
    MsgSetLength(bundle, swapped);
    WirePutU32(bundle->data + 4, WireGetU32(bundle->data + 4, swapped) + 1, swapped);
    return true;
}
