// webchannel.cpp - the page message channel: closing and batching action
// messages, sending with the short reply wait, sorting what pages send, fetching
// their waiting events, and choosing the web view an object's messages go to.
#include "webview/core/webchannel.h"
#include "webview/core/webservices.h"

#include <json.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "objects/objtables.h"
#include "session/hoptrace.h"
#include "session/log.h"
#include "session/util/bytereader.h"
#include "session/util/codepage.h"
#include "session/util/mem.h"
#include "webview/core/webtext.h"
#include "webview/core/webkinds.h"

MsgBatch gMsgBatch;
void* gCurWebView;
JsonValue* gWebReply;
ObjectRecord* gWebLoadedPages[kWebOwnerQueueSize];
uint32_t gWebLoadedCount;
ObjectRecord* gWebEventPages[kWebOwnerQueueSize];
uint32_t gWebEventCount;
bool gWebFetchAllowed = true;
WebChannelHooks gWebHooks;

static const char kBatchHead[] = "{ \"msgs\": [";
static const char kBatchTail[] = "]}";
static const uint32_t kUtf8CodePage = 65001;

// The text being posted: a copy, so that the batch and the message can be
// marked empty before the post pumps anything.
static TextBuf gSendText;

// Owners taken out of a queue and being served right now; a closing owner is
// cleared here as well so the loop never touches a freed record.
static ObjectRecord* gServing[kWebOwnerQueueSize];
static uint32_t gServingCount;

// The serving lists of outer WebViewProcessPending calls, set aside while a
// nested call (a dispatch that pumps) serves its own. An owner closed inside
// the nested call is cleared in these as well: otherwise the outer loop would
// get the freed record back when its list is restored.
struct ServingFrame {
    ObjectRecord** owners;
    uint32_t count;
    ServingFrame* outer;
};
static ServingFrame* gServingOuter;

static bool ObjectIsWebViewRecord(const ObjectRecord* rec) { return (rec->modeFlags & kModeWebView) != 0; }

// ---- Outgoing ---------------------------------------------------------------------

static void BatchAppend(const char* bytes, uint32_t n) {
    memcpy(gMsgBatch.data + gMsgBatch.length, bytes, n);
    gMsgBatch.length += n;
    gMsgBatch.data[gMsgBatch.length] = 0;
}

static void MarkMessageEmpty() {
    gJsonMsgBuf.length = 0;
    if (gJsonMsgBuf.data) gJsonMsgBuf.data[0] = 0;
}

// The element whose creation message is the current message (0: none), taken
// along by the send that carries the message alone.
static uint32_t gMessageMade;
// Sends that failed or whose answer did not come within the reply wait
// (WebViewFailedSends).
static uint32_t gFailedSends;

static void NoteMadeInBatch(uint32_t elementId) {
    if (elementId && gMsgBatch.madeCount < kBatchMadeMax) gMsgBatch.made[gMsgBatch.madeCount++] = elementId;
}

// A view whose batch is left behind (the current view changed): its flush.
// The failed-send count is the current request's, which waits for another
// view; the failure shows at the left view's own requests (its host is then
// down) and in the log.
static void FlushLeftView() {
    uint32_t failed = gFailedSends;
    WebViewMsgFlush();
    gFailedSends = failed;
}

// Shared steps of WebViewMsgEnd (send-now off) and WebViewMsgQuery (on);
// madeId is the element a creation message makes (0: none).
static JsonValue* CloseMessage(bool sendNow, uint32_t madeId = 0) {
    if (gJsonMsgBuf.failed) {
        // A writer ran out of memory: the message is incomplete and is dropped.
        gJsonMsgBuf.failed = false;
        MarkMessageEmpty();
        return nullptr;
    }
    if (gJsonMsgBuf.length == 0) return nullptr;
    if (!JsonMsgBufEnsure(&gJsonMsgBuf, gJsonMsgBuf.length + 2)) {
        gJsonMsgBuf.failed = false;
        MarkMessageEmpty();
        return nullptr;
    }
    gJsonMsgBuf.data[gJsonMsgBuf.length++] = '}';
    gJsonMsgBuf.data[gJsonMsgBuf.length] = 0;
    uint32_t msgLen = gJsonMsgBuf.length;
    if (gMsgBatch.length && gMsgBatch.length + msgLen + kMsgBatchSlack > kMsgBatchLimit) WebViewMsgFlush();
    if (gMsgBatch.length && gMsgBatch.owner != gCurWebView) FlushLeftView();
    gMessageMade = madeId;
    if (msgLen + kMsgBatchSlack >= kMsgBatchLimit) return WebViewMsgSend(true);
    if (!gMsgBatch.length && sendNow) return WebViewMsgSend(true);
    gMessageMade = 0;
    if (!gMsgBatch.length) {
        gMsgBatch.length = 0;
        gMsgBatch.madeCount = 0;
        BatchAppend(kBatchHead, sizeof kBatchHead - 1);
        gMsgBatch.owner = gCurWebView;
        WebViewFlushWhenIdle();
    } else {
        BatchAppend(",", 1);
    }
    BatchAppend(gJsonMsgBuf.data, msgLen);
    NoteMadeInBatch(madeId);
    // Batched: the message is gone from the current buffer, so a second end
    // cannot batch it again.
    MarkMessageEmpty();
    if (!sendNow) return nullptr;
    return WebViewMsgSend(true);
}

void WebViewMsgEnd() { CloseMessage(false); }

void WebViewMsgEndMade(uint32_t elementId) { CloseMessage(false, elementId); }

JsonValue* WebViewMsgQuery() { return CloseMessage(true); }

bool WebViewFetchOpen() {
    bool earlier = gWebFetchAllowed;
    gWebFetchAllowed = true;
    return earlier;
}

void WebViewFetchRestore(bool earlier) { gWebFetchAllowed = earlier; }

void WebViewFlushWhenIdle() {
    if (gWebHooks.flushWhenIdle) gWebHooks.flushWhenIdle();
}

// A send that waits for its reply. Every post carries a number of its own
// (member "qn" of the posted object) and the page echoes it in its answer, so
// an answer is taken only by the wait it belongs to: a late answer to a query
// that gave up, or an answer that arrives while a send made inside the wait (a
// window procedure that posts or queries the page) is waiting, can never be
// taken for another query's.
struct SendWait {
    uint32_t number;          // the number this send's answer carries
    JsonValue* reply;         // its answer, once it has arrived
    SendWait* outer;
};
static SendWait* gSendWait;

bool WebViewSendWaiting() { return gSendWait != nullptr; }
uint32_t gWebQueryNumber;

static const char kQueryNumberMember[] = "qn";
// postText's answers: below kPostDone the host refused the post; above it,
// the post went out to a page that is behind (not answering) and nothing
// waits for its answer.
static const int32_t kPostDone = 0;
static const char kLogName[] = "WebView";
static const uint32_t kQueryNumberRoom = 32;
static const uint32_t kLoggedPostChars = 120;  // of a post that went unanswered   // ", \"qn\": 4294967295}" and the NUL

static uint32_t NextQueryNumber() {
    if (++gWebQueryNumber == 0) gWebQueryNumber = 1;
    return gWebQueryNumber;
}

// Writes the number into the posted object, before its closing brace (the
// text is a single message or a batch: an object either way). False when the
// text is not an object or there is no room.
static bool AddQueryNumber(TextBuf* text, uint32_t number) {
    if (!text->length || text->data[text->length - 1] != '}') return false;
    if (!TextBufEnsure(text, text->length + kQueryNumberRoom, kHtmlGrowStep, nullptr)) return false;
    int n = snprintf(text->data + text->length - 1, kQueryNumberRoom, ", \"%s\": %u}", kQueryNumberMember, number);
    if (n <= 0 || static_cast<uint32_t>(n) >= kQueryNumberRoom) return false;
    text->length += static_cast<uint32_t>(n) - 1;
    return true;
}

uint32_t WebViewFailedSends() { return gFailedSends; }

static void PumpTurnForReply() {
    if (gWebHooks.pumpTurn) gWebHooks.pumpTurn();
}

// The objects a send's text would have made (their creation messages).
struct MadeList {
    uint32_t ids[kBatchMadeMax];
    uint32_t count;
};

// A debug log line holds 2,048 characters: 150 names of up to 12 fit with the head.
static const uint32_t kNamesPerLine = 150;

// Names in the debug log, a line per kNamesPerLine, the objects of the list:
// as never made, or as not yet acknowledged by the page; and why.
static void LogMadeNames(const MadeList& made, bool neverMade, const char* why) {
    for (uint32_t at = 0; at < made.count; at += kNamesPerLine) {
        char names[kNamesPerLine * 12 + 1];
        size_t n = 0;
        for (uint32_t i = at; i < made.count && i < at + kNamesPerLine; i++)
            n += static_cast<size_t>(snprintf(names + n, sizeof names - n, " C%u", made.ids[i]));
        DebugLogWrite(kLogName,
                      neverMade ? "the page never made these objects (%s):%s"
                                : "the page has not yet acknowledged these objects (%s):%s",
                      why, names);
    }
}

// The objects whose creation never reached the page, and why.
static void LogNeverMade(const MadeList& made, const char* why) {
    LogMadeNames(made, true, why);
}

// Creations that went out in a post the page has not acknowledged (it was
// busy past the bound, or gave no answer): the page may still carry them out,
// so they are named as not yet acknowledged, and kept per view until a later
// post is acknowledged (the page has caught up: they were made) or the view
// has ended (they never will be: named as never made then). A view beyond
// the table's rows gets the first line only.
struct UnackedMade {
    void* host;
    MadeList made;
};
static const uint32_t kUnackedViews = 4;
static UnackedMade gUnacked[kUnackedViews];

static UnackedMade* UnackedOf(void* host) {
    for (UnackedMade& u : gUnacked)
        if (u.host == host) return &u;
    return nullptr;
}

static void NoteUnacknowledged(void* host, const MadeList& made, const char* why) {
    if (!made.count) return;
    LogMadeNames(made, false, why);
    UnackedMade* u = UnackedOf(host);
    if (!u) u = UnackedOf(nullptr);
    if (!u) return;
    u->host = host;
    for (uint32_t i = 0; i < made.count && u->made.count < kBatchMadeMax; i++) u->made.ids[u->made.count++] = made.ids[i];
}

// The view's page has acknowledged every post (ended false) or has ended.
static void SettleUnacknowledged(void* host, bool ended) {
    UnackedMade* u = host ? UnackedOf(host) : nullptr;
    if (!u) return;
    if (ended) LogNeverMade(u->made, "its view ended before the page acknowledged them");
    u->host = nullptr;
    u->made.count = 0;
}

static bool HostEnded(void* host) { return gWebHooks.hostEnded && gWebHooks.hostEnded(host); }

// A post that failed: what it would have made went out unacknowledged
// (unackedWhy), or, when the view had stopped answering before it (such a
// post is refused unsent) or has ended, was never made (why).
static void NotePostFailed(void* host, const MadeList& made, bool downBefore, const char* why,
                           const char* unackedWhy) {
    if (downBefore || HostEnded(host)) LogNeverMade(made, why);
    else NoteUnacknowledged(host, made, unackedWhy);
}

static void TakeBatchMade(MadeList* made) {
    made->count = gMsgBatch.madeCount;
    memcpy(made->ids, gMsgBatch.made, made->count * sizeof *made->ids);
    gMsgBatch.madeCount = 0;
}

// The batch can no longer reach its page: it is dropped, and what it would
// have made is named.
static void DropBatch(const char* why) {
    MadeList made;
    TakeBatchMade(&made);
    gMsgBatch.length = 0;
    gMsgBatch.owner = nullptr;
    LogNeverMade(made, why);
}

void WebViewMsgFlush() {
    if (!gMsgBatch.length) return;
    if (!gMsgBatch.owner) {
        DebugLogWrite(kLogName, "page messages with no web view to go to were dropped: %.*s",
                      static_cast<int>(gMsgBatch.length < kLoggedPostChars ? gMsgBatch.length : kLoggedPostChars),
                      gMsgBatch.data);
        DropBatch("no web view to send to");
        return;
    }
    void* previous = gCurWebView;
    gCurWebView = gMsgBatch.owner;
    WebViewMsgSend(true);
    gCurWebView = previous;
}

// The view's open batch was answered for already: it goes out all the same.
// A page that is only behind carries it out once it catches up; one that has
// gone refuses the post, and the objects the batch would have made are named.
bool WebViewHostDown(void* host) {
    if (!host || !gWebHooks.hostDown) return false;
    if (!gWebHooks.hostDown(host)) {
        SettleUnacknowledged(host, false);
        return false;
    }
    if (HostEnded(host)) SettleUnacknowledged(host, true);
    if (gMsgBatch.length && gMsgBatch.owner == host) WebViewMsgFlush();
    return true;
}

bool WebViewDownFor(ObjectRecord* rec) { return rec && WebViewHostDown(WebViewHostForObject(rec)); }

void WebViewTakeKeys(ObjectRecord* rec) {
    void* host = rec ? WebViewHostForObject(rec) : nullptr;
    if (host && gWebHooks.keysToView) gWebHooks.keysToView(host);
}

JsonValue* WebViewMsgSend(bool wait) {
    bool haveText = false;
    MadeList made;
    made.count = 0;
    if (gMsgBatch.length) {
        BatchAppend(kBatchTail, sizeof kBatchTail - 1);
        haveText = TextBufEnsure(&gSendText, gMsgBatch.length + 1, kHtmlGrowStep, gMsgBatch.data);
        TakeBatchMade(&made);
        gMsgBatch.length = 0;
        gMsgBatch.owner = nullptr;
    } else if (gJsonMsgBuf.length) {
        haveText = TextBufEnsure(&gSendText, gJsonMsgBuf.length + 1, kHtmlGrowStep, gJsonMsgBuf.data);
        if (gMessageMade) made.ids[made.count++] = gMessageMade;
        MarkMessageEmpty();
    }
    gMessageMade = 0;
    if (!haveText) return nullptr;
    if (!gCurWebView) {
        LogNeverMade(made, "no web view to send to");
        return nullptr;
    }
    uint32_t number = NextQueryNumber();
    if (!AddQueryNumber(&gSendText, number)) {
        LogNeverMade(made, "no memory for the post");
        return nullptr;
    }
    // A view that is not answering refuses the post unsent: its objects would
    // then never be made, where a post that went out may still be carried out.
    void* host = gCurWebView;
    bool downBefore = made.count && gWebHooks.hostDown && gWebHooks.hostDown(host);
    if (gWebHooks.setThreadCodePage) gWebHooks.setThreadCodePage(kUtf8CodePage);
    // The wait is in place before the post goes out: a runtime that has the
    // answer by the time the post returns hands it over inside the post.
    // Restored, not set: a send inside an outer send's wait must not let the
    // event fetch start while the outer wait is still running.
    bool previous = gWebFetchAllowed;
    SendWait me = {number, nullptr, gSendWait};
    if (wait) {
        gWebFetchAllowed = false;
        gSendWait = &me;
    }
    QOV_HOP_NUMBER(number);
    QOV_HOP(kHopPostBegun);
    int32_t posted = gWebHooks.postText ? gWebHooks.postText(gCurWebView, gSendText.data) : 0;
    // The reply an earlier query handed to its caller: that caller is done.
    if (gWebReply) WebViewJsonFree(gWebReply);
    gWebReply = nullptr;
    if (posted != kPostDone || !wait) {
        gSendWait = me.outer;
        gWebFetchAllowed = previous;
        if (me.reply) WebViewJsonFree(me.reply);
        if (posted == kPostDone) {
            SettleUnacknowledged(host, false);
            return nullptr;
        }
        // No answer can come in time, so none is waited for: the host refused
        // the post (its view is gone, and says so in the log), or the post
        // went to a page that is behind, which carries it out once it
        // catches up.
        gFailedSends++;
        if (posted < 0) {
            NotePostFailed(host, made, downBefore, "its view did not carry out the post",
                           "its page did not acknowledge the post in time");
        } else {
            DebugLogWrite(kLogName, "post %u went to a page that is not answering: it is carried out once the page "
                          "catches up, and its answer is not waited for", number);
            NoteUnacknowledged(host, made, "its page is behind: the post is carried out once it catches up");
        }
        return nullptr;
    }
    // A runtime that had the answer when the post returned (the page host's
    // waits for it on its socket) leaves nothing to wait for: the window
    // messages that came meanwhile are the main loop's to take once the
    // request is answered, as after any other request (a turn here would
    // cost the read a Wine server call and reads of the display's
    // connection). Otherwise the answer comes through the window.
    if (!me.reply) PumpTurnForReply();
    for (int i = 0; i < kReplyWaitTurns && !me.reply; i++) {
        if (gWebHooks.sleepMs) gWebHooks.sleepMs(kReplyWaitSleepMs);
        PumpTurnForReply();
    }
    QOV_HOP(kHopWaitDone);
    gSendWait = me.outer;
    gWebFetchAllowed = previous;
    if (!me.reply) {
        gFailedSends++;
        DebugLogWrite(kLogName, "page did not answer post %u within the reply wait: %.*s", number,
                      static_cast<int>(kLoggedPostChars), gSendText.data);
        NotePostFailed(host, made, false, "no answer to the post", "no answer to the post");
    } else {
        SettleUnacknowledged(host, false);
    }
    // An inner send's reply still in the slot belonged to a caller inside the
    // pump turn, which has finished with it.
    if (gWebReply) WebViewJsonFree(gWebReply);
    gWebReply = me.reply;
    return gWebReply;
}

// ---- Incoming ---------------------------------------------------------------------

JsonValue* WebViewJsonParse(const char* text, size_t length) { return JsonParse(text, length); }

void WebViewJsonFree(JsonValue* value) { JsonFree(value); }

// What a member of the message object itself (nested objects do not count)
// gives as an integer.
enum MemberInt { kMemberAbsent, kMemberFits, kMemberRefused };

// A number member within lo..hi: integers, and with wholeDoubles also doubles
// that hold a whole number; any other number (1e400, 2.5, beyond the range) is
// refused rather than cut. A member that is no number counts as absent.
static MemberInt TopLevelInt(const JsonValue* value, const char* name, int64_t lo, int64_t hi, bool wholeDoubles,
                             int64_t* out) {
    const json_value* v = reinterpret_cast<const json_value*>(value);
    if (v->type != json_object) return kMemberAbsent;
    for (unsigned i = 0; i < v->u.object.length; i++) {
        if (strcmp(v->u.object.values[i].name, name) != 0) continue;
        const json_value* a = v->u.object.values[i].value;
        if (a->type == json_integer) {
            if (a->u.integer < lo || a->u.integer > hi) return kMemberRefused;
            *out = a->u.integer;
            return kMemberFits;
        }
        if (a->type == json_double) {
            double d = a->u.dbl;
            if (!wholeDoubles) return kMemberRefused;
            if (!std::isfinite(d) || d != std::floor(d)) return kMemberRefused;
            if (d < static_cast<double>(lo) || d > static_cast<double>(hi)) return kMemberRefused;
            *out = static_cast<int64_t>(d);
            return kMemberFits;
        }
        return kMemberAbsent;
    }
    return kMemberAbsent;
}

// The "action" of a page message: kActionNone when it has none, kActionRefused
// when it holds a number that is no action code (codes are 0 up to the largest
// int).
static const int64_t kActionNone = -1;
static const int64_t kActionRefused = -2;
static int64_t TopLevelAction(const JsonValue* value) {
    int64_t action = kActionNone;
    switch (TopLevelInt(value, "action", 0, kJsonIntMax, true, &action)) {
    case kMemberFits: return action;
    case kMemberRefused: return kActionRefused;
    default: return kActionNone;
    }
}

// The wait a reply belongs to: the one whose send carried the reply's number.
// The page echoes the number as the client wrote it, an integer; the first
// "qn" member counts, as it does for every reader of the reply.
static SendWait* WaitForNumber(const JsonValue* reply, int64_t* number) {
    *number = 0;
    if (TopLevelInt(reply, kQueryNumberMember, 1, UINT32_MAX, false, number) != kMemberFits) return nullptr;
    for (SendWait* w = gSendWait; w; w = w->outer)
        if (w->number == static_cast<uint32_t>(*number)) return w;
    return nullptr;
}

// Page events whose fetch answer came after its wait had ended: the page has
// handed them over already, so they are kept and dispatched at the next turn
// rather than lost.
struct LateEvent {
    ObjectRecord* owner;
    JsonValue* event;
};
static LateEvent gLateEvents[kWebOwnerQueueSize];
static uint32_t gLateCount;

static bool KeepLateEvent(ObjectRecord* owner, JsonValue* value) {
    if (!owner || TopLevelAction(value) != kActPageEvent || gLateCount >= kWebOwnerQueueSize) return false;
    gLateEvents[gLateCount++] = LateEvent{owner, value};
    DebugLogWrite(kLogName, "page event answered after its fetch ended: kept for the next turn");
    return true;
}

// Owners closed while late events were being dispatched (WebViewForgetOwner).
static ObjectRecord* gLateForgotten[kWebOwnerQueueSize];
static uint32_t gLateForgottenCount;

static bool OwnerStillServed(ObjectRecord* owner) {
    for (uint32_t i = 0; i < gLateForgottenCount; i++)
        if (gLateForgotten[i] == owner) return false;
    return true;
}

static void DispatchLateEvents() {
    gLateForgottenCount = 0;
    // Taken as a snapshot: a dispatch that waits may keep further late events.
    LateEvent taken[kWebOwnerQueueSize];
    uint32_t n = gLateCount;
    memcpy(taken, gLateEvents, n * sizeof *taken);
    gLateCount = 0;
    for (uint32_t i = 0; i < n; i++) {
        // A dispatch before may have closed this owner: it is then no longer one being served.
        if (OwnerStillServed(taken[i].owner)) {
            WebViewSelectForObject(taken[i].owner);
            if (gWebHooks.pageEventDispatch) gWebHooks.pageEventDispatch(taken[i].owner, taken[i].event);
        }
        WebViewJsonFree(taken[i].event);
    }
}

// A reply goes to the wait of its query; a page event that matches no waiting
// query is kept (above); any other (late, repeated, unnumbered) is dropped and
// noted in the debug log.
static void TakeReply(ObjectRecord* owner, JsonValue* value) {
    int64_t number = 0;
    SendWait* w = WaitForNumber(value, &number);
    if (w && !w->reply) {
        w->reply = value;
        return;
    }
    if (KeepLateEvent(owner, value)) return;
    DebugLogWrite(kLogName, "page reply %lld matches no waiting query: dropped", static_cast<long long>(number));
    WebViewJsonFree(value);
}

static void QueueOwner(ObjectRecord** queue, uint32_t* count, ObjectRecord* owner, bool once) {
    if (*count >= kWebOwnerQueueSize) return;
    if (once)
        for (uint32_t i = 0; i < *count; i++)
            if (queue[i] == owner) return;
    queue[(*count)++] = owner;
}

void WebViewAskForEvents(ObjectRecord* owner) {
    if (owner) QueueOwner(gWebEventPages, &gWebEventCount, owner, true);
}

void WebViewMsgReceive(ObjectRecord* owner, const char* utf8, size_t length) {
    if (!utf8) return;
    JsonValue* value = WebViewJsonParse(utf8, length);
    if (!value) return;
    int64_t action = TopLevelAction(value);
    if (action == kActPageLoaded) {
        WebViewJsonFree(value);
        QueueOwner(gWebLoadedPages, &gWebLoadedCount, owner, false);
    } else if (action == kActEventsWaiting) {
        WebViewJsonFree(value);
        QueueOwner(gWebEventPages, &gWebEventCount, owner, true);
    } else if (action == kActionRefused) {
        DebugLogWrite(kLogName, "page message with an action that is no action code: dropped");
        WebViewJsonFree(value);
    } else {
        TakeReply(owner, value);
    }
}

void WebViewMessageArrived(ObjectRecord* owner, const uint16_t* text) {
    if (!text) return;
    size_t units = 0;
    while (text[units]) units++;
    // Every UTF-16 unit becomes at most three UTF-8 bytes (a pair, four for two).
    CheckedSize need(units);
    need.Mul(3).Add(1);
    if (!need.Fits()) return;
    uint8_t* out = static_cast<uint8_t*>(GuardedAlloc(need.Size()));
    if (!out) return;
    const uint16_t* src = text;
    uint8_t* dst = out;
    Utf16ToUtf8(&src, text + units, &dst, out + need.Size() - 1, true);
    *dst = 0;
    WebViewMsgReceive(owner, reinterpret_cast<char*>(out), static_cast<size_t>(dst - out));
    GuardedFree(out);
}

// Moves the queue into the serving list and empties it, so notices that arrive
// while it is served queue their owner again for the next turn.
static uint32_t TakeQueue(ObjectRecord** queue, uint32_t* count) {
    gServingCount = *count;
    memcpy(gServing, queue, *count * sizeof *queue);
    *count = 0;
    return gServingCount;
}

// A notice of a page whose web view is not there yet (the page spoke while its
// window was still being created) waits in its queue for a later turn: served
// now, it would reach no view and be lost.
static bool KeptUntilViewExists(ObjectRecord** queue, uint32_t* count, ObjectRecord* owner) {
    if (WebViewHostForObject(owner)) return false;
    QueueOwner(queue, count, owner, true);
    return true;
}

void WebViewProcessPending() {
    if (!gWebFetchAllowed) return;
    // Served as a snapshot; nested calls (a dispatch that waits) work on their own.
    ObjectRecord* saved[kWebOwnerQueueSize];
    uint32_t savedCount = gServingCount;
    memcpy(saved, gServing, savedCount * sizeof *saved);
    ServingFrame frame = {saved, savedCount, gServingOuter};
    gServingOuter = &frame;

    uint32_t n = TakeQueue(gWebLoadedPages, &gWebLoadedCount);
    for (uint32_t i = 0; i < n && i < gServingCount; i++) {
        ObjectRecord* owner = gServing[i];
        if (!owner) continue;
        if (KeptUntilViewExists(gWebLoadedPages, &gWebLoadedCount, owner)) continue;
        WebViewSelectForObject(owner);
        // A host without a page object stands for its page, as for events.
        ObjectRecord* page = GetWebPageObject(owner);
        if (!page) page = owner;
        if (gWebHooks.htmlControlLoadAll) gWebHooks.htmlControlLoadAll(page);
    }
    if (gWebFetchAllowed && gLateCount) DispatchLateEvents();
    if (gWebFetchAllowed) {
        n = TakeQueue(gWebEventPages, &gWebEventCount);
        for (uint32_t i = 0; i < n && i < gServingCount; i++) {
            if (gServing[i] && KeptUntilViewExists(gWebEventPages, &gWebEventCount, gServing[i])) continue;
            for (int turn = 0; turn < kEventsPerOwnerTurn && gServing[i]; turn++) {
                ObjectRecord* owner = gServing[i];
                WebViewSelectForObject(owner);
                JsonBeginAction(kActFetchEvent);
                JsonValue* reply = WebViewMsgQuery();
                if (!reply || TopLevelAction(reply) != kActPageEvent) break;
                gWebReply = nullptr;
                if (gWebHooks.pageEventDispatch) gWebHooks.pageEventDispatch(owner, reply);
                WebViewJsonFree(reply);
                if (turn + 1 == kEventsPerOwnerTurn && gServing[i])
                    QueueOwner(gWebEventPages, &gWebEventCount, gServing[i], true);
            }
        }
    }
    gServingOuter = frame.outer;
    gServingCount = savedCount;
    memcpy(gServing, saved, savedCount * sizeof *saved);
}

// ---- Owners and web views -----------------------------------------------------------

static void RemoveOwner(ObjectRecord** queue, uint32_t* count, ObjectRecord* owner) {
    uint32_t o = 0;
    for (uint32_t i = 0; i < *count; i++)
        if (queue[i] != owner) queue[o++] = queue[i];
    *count = o;
}

void WebViewForgetOwner(ObjectRecord* owner) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < gLateCount; i++) {
        if (gLateEvents[i].owner == owner) WebViewJsonFree(gLateEvents[i].event);
        else gLateEvents[kept++] = gLateEvents[i];
    }
    gLateCount = kept;
    if (gLateForgottenCount < kWebOwnerQueueSize) gLateForgotten[gLateForgottenCount++] = owner;
    RemoveOwner(gWebLoadedPages, &gWebLoadedCount, owner);
    RemoveOwner(gWebEventPages, &gWebEventCount, owner);
    for (uint32_t i = 0; i < gServingCount; i++)
        if (gServing[i] == owner) gServing[i] = nullptr;
    for (ServingFrame* f = gServingOuter; f; f = f->outer)
        for (uint32_t i = 0; i < f->count; i++)
            if (f->owners[i] == owner) f->owners[i] = nullptr;
}

void WebViewOwnerMoved(ObjectRecord* from, ObjectRecord* to) {
    auto move = [&](ObjectRecord** owners, uint32_t n) {
        for (uint32_t i = 0; i < n; i++)
            if (owners[i] == from) owners[i] = to;
    };
    for (uint32_t i = 0; i < gLateCount; i++)
        if (gLateEvents[i].owner == from) gLateEvents[i].owner = to;
    move(gWebLoadedPages, gWebLoadedCount);
    move(gWebEventPages, gWebEventCount);
    move(gServing, gServingCount);
    for (ServingFrame* f = gServingOuter; f; f = f->outer) move(f->owners, f->count);
}

void WebViewChannelHostClosing(void* host) {
    if (!host) return;
    SettleUnacknowledged(host, HostEnded(host));
    if (gCurWebView == host) gCurWebView = nullptr;
    if (gMsgBatch.owner == host) {
        gMsgBatch.owner = nullptr;
        WebViewMsgFlush();
    }
}

static bool SkippedBySelection(uint8_t kind) {
    switch (kind) {
    case kKindColor:
    case kKindFont:
    case kKindImageList:
    case kKindMenuItem:
    case 56:
    case 57:
    case 58:
        return true;
    default:
        return false;
    }
}

void* WebViewHostForObject(ObjectRecord* rec) {
    if (!rec) return nullptr;
    if (ObjectIsWebViewRecord(rec)) {
        // An item object's messages concern its holder (a panel's status bar,
        // a button's toolbar).
        const WebKindOps* ops = WebKindOpsOf(rec);
        if (ops && ops->subObjectHolder) {
            rec = ops->subObjectHolder(rec);
            if (!rec) return nullptr;
        }
        while (rec && ObjectIsWebViewRecord(rec)) {
            if (rec->kind == kKindWindow) {
                rec = gWebHooks.windowHostRecord ? gWebHooks.windowHostRecord(rec) : nullptr;
                break;
            }
            rec = rec->parent;
        }
        if (!rec) return nullptr;
    }
    if (rec->kind == kKindWindow) return reinterpret_cast<WindowRecord*>(rec)->webHost;
    if (rec->kind == kKindHtmlControl) return gWebHooks.htmlControlHost ? gWebHooks.htmlControlHost(rec) : nullptr;
    return nullptr;
}

void WebViewSelectHost(void* host) {
    if (gMsgBatch.length && gMsgBatch.owner != host) FlushLeftView();
    gCurWebView = host;
}

void WebViewSelectForObject(ObjectRecord* rec) {
    if (!rec || SkippedBySelection(rec->kind)) return;
    WebViewSelectHost(WebViewHostForObject(rec));
}

ObjectRecord* GetWebPageObject(ObjectRecord* rec) {
    if (!rec) return nullptr;
    if (rec->kind == kKindWindow) return static_cast<ObjectRecord*>(reinterpret_cast<WindowRecord*>(rec)->pageObject);
    if (rec->kind == kKindHtmlControl) return gWebHooks.htmlControlPage ? gWebHooks.htmlControlPage(rec) : nullptr;
    return nullptr;
}

void WebChannelCleanup() {
    for (uint32_t i = 0; i < gLateCount; i++) WebViewJsonFree(gLateEvents[i].event);
    gLateCount = 0;
    if (gWebReply) WebViewJsonFree(gWebReply);
    gWebReply = nullptr;
    gMsgBatch.length = 0;
    gMsgBatch.owner = nullptr;
    gMsgBatch.madeCount = 0;
    gMessageMade = 0;
    for (UnackedMade& u : gUnacked) u = UnackedMade();
    gCurWebView = nullptr;
    gWebLoadedCount = gWebEventCount = gServingCount = 0;
    TextBufFree(&gSendText);
    WebTextCleanup();
    WebServicesCleanup();
}
