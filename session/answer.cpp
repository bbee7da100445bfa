// answer.cpp - answers and results to the server: AnswerMsg, the ResultMsg forms,
// event messages with their items, the print job answer, the outgoing bundle
// that collects the answers to a received bundle, and the destroyed-object list.
#include "session/session.h"

#include <cstring>

#include "session/config.h"
#include "session/util/mem.h"

MsgBuf gSendBuf;
uint32_t* gDestArray;
uint32_t gDestCount;
uint32_t gDestArraySize;

// Answers that carry result items (1102 {code} and the items behind it) are
// built before their request's handler runs, one level per request being
// handled, so the items the handler appends find their answer already there.
// Requests nest at most kRequestNestMax deep (deeper ones are refused before
// they run), so every level has its table; a level whose answer could not be
// built takes no items, and its request answers the error its handler makes of
// that rather than a bare success.
constexpr uint32_t kItemAnswerLevels = kRequestNestMax;
static MsgBuf gItemAnswers[kItemAnswerLevels];
static bool gItemAnswerOpen[kItemAnswerLevels];
static uint32_t gItemAnswerDepth;

static MsgBuf gOutBundle;
static bool gOutBundleOpen;
static bool gReplyPending;

constexpr uint32_t kDestArrayStep = 500;

bool ReplyPending() { return gReplyPending; }
void ReplyReset() { gReplyPending = false; }

void BundleOutBegin(uint32_t seq) {
    gOutBundleOpen = MsgBundleStart(&gOutBundle, seq, gSession.swapped);
}

void BundleOutFlush() {
    if (!gOutBundleOpen) return;
    gOutBundleOpen = false;
    uint32_t count = WireGetU32(gOutBundle.data + 4, gSession.swapped);
    if (count) SendMsgBytes(gOutBundle.data, gOutBundle.used);
}

void PostBuiltMsg() {
    gReplyPending = false;
    if (SessionInBundle() && gOutBundleOpen) {
        if (MsgBundleAdd(&gOutBundle, gSendBuf.data, gSendBuf.used, gSession.swapped)) return;
        // A bundle that cannot grow is sent as it stands and the answer alone.
        BundleOutFlush();
        BundleOutBegin(gSession.curSeq);
    }
    SendMsgBytes(gSendBuf.data, gSendBuf.used);
}

void PostAnswer(uint32_t type, int32_t value) {
    if (MsgBuildAnswer(&gSendBuf, type, value, gSession.curSeq, gSession.swapped)) PostBuiltMsg();
}

void SetReplyInt(const SrvMsg*, int32_t value, uint8_t kind) {
    gReplyPending = MsgBuildResultInt(&gSendBuf, value, kind, gSession.curSeq, gSession.swapped);
}

void SetReplyText(const SrvMsg*, const char* text) {
    gReplyPending = MsgBuildResultText(&gSendBuf, text, gSession.curSeq, gSession.swapped);
}

void SetReplyBytes(const SrvMsg*, const void* bytes, uint32_t n) {
    // The buffer grows as needed; when it cannot, the answer carries no bytes.
    gReplyPending = MsgBuildResultBytes(&gSendBuf, bytes, n, gSession.curSeq, gSession.swapped) ||
                    MsgBuildResultBytes(&gSendBuf, nullptr, 0, gSession.curSeq, gSession.swapped);
}

void SetReplyWords(const SrvMsg*, const uint32_t* words, uint32_t count) {
    // Each word in the session's byte order; without room, no words.
    gReplyPending = MsgBuildResultWords(&gSendBuf, words, count, gSession.curSeq, gSession.swapped) ||
                    MsgBuildResultWords(&gSendBuf, nullptr, 0, gSession.curSeq, gSession.swapped);
}

// The level of the innermost open item answer, or kItemAnswerLevels when none
// is open or it has no table.
static uint32_t ItemAnswerLevel() {
    if (!gItemAnswerDepth || gItemAnswerDepth > kItemAnswerLevels) return kItemAnswerLevels;
    return gItemAnswerDepth - 1;
}

int AddEventItem(const EventItem* item) {
    MsgBuf* buf = &gSendBuf;
    if (gItemAnswerDepth) {
        uint32_t level = ItemAnswerLevel();
        if (level == kItemAnswerLevels || !gItemAnswerOpen[level]) return 1;
        buf = &gItemAnswers[level];
    }
    return MsgAppendEventItem(buf, item, gClientConfig.serverVersion, gSession.swapped);
}

void ItemAnswerBegin() {
    uint32_t level = gItemAnswerDepth++;
    if (level >= kItemAnswerLevels) return;   // never reached: deeper requests are refused
    gItemAnswerOpen[level] = MsgBuildAnswer(&gItemAnswers[level], kMsgAnswer, 0, gSession.curSeq, gSession.swapped);
}

bool ItemAnswerEnd(int32_t code) {
    if (!gItemAnswerDepth) return false;
    uint32_t level = ItemAnswerLevel();
    --gItemAnswerDepth;
    if (level == kItemAnswerLevels || !gItemAnswerOpen[level]) return false;
    gItemAnswerOpen[level] = false;
    MsgBuf* built = &gItemAnswers[level];
    // Without items, or when the handler made its own answer, nothing is sent here.
    if (code == kNoAnswer || ReplyPending() || built->used <= kAnswerSize) return false;
    WirePutU32(built->data + kAnsValue, static_cast<uint32_t>(code), gSession.swapped);
    gSendBuf.used = 0;
    if (!MsgBufAppend(&gSendBuf, built->data, built->used)) return false;
    PostBuiltMsg();
    return true;
}

void SendPrtJobAnswer(int32_t value, int32_t copies, int32_t pages, int32_t detail, const char* text) {
    if (MsgBuildPrtJobAnswer(&gSendBuf, value, copies, pages, detail, text, gSession.curSeq, gSession.swapped))
        PostBuiltMsg();
}

void SendPrtName(uint32_t handle, const char* text) {
    if (MsgBuildPrtName(&gSendBuf, handle, text, gSession.curSeq, gSession.swapped)) PostBuiltMsg();
}

bool SendNextEvent() {
    if (!gHooks.eventTakeNext) return false;
    EventRecord ev = {};
    EventItem items[kEventMaxItems];
    uint32_t count = 0;
    if (!gHooks.eventTakeNext(&ev, items, &count)) return false;
    if (!MsgBuildEvent(&gSendBuf, &ev, gClientConfig.serverVersion, gSession.curSeq, gSession.swapped)) return false;
    for (uint32_t i = 0; i < count && i < kEventMaxItems; i++)
        MsgAppendEventItem(&gSendBuf, &items[i], gClientConfig.serverVersion, gSession.swapped);
    PostBuiltMsg();
    return true;
}

bool CheckClientDestCount() {
    if (gDestCount < gDestArraySize) return true;
    uint64_t size = static_cast<uint64_t>(gDestArraySize) + kDestArrayStep;
    void* p = GuardedRealloc(gDestArray, static_cast<size_t>(size * sizeof(uint32_t)));
    if (!p) return false;
    gDestArray = static_cast<uint32_t*>(p);
    gDestArraySize = static_cast<uint32_t>(size);
    return true;
}

void DestArrayAppend(uint32_t ovar) {
    // A failed growth skips the entry rather than writing past the array.
    if (!CheckClientDestCount()) return;
    gDestArray[gDestCount++] = ovar;
}
