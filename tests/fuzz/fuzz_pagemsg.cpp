// fuzz_pagemsg.cpp - the whole dispatch of page messages: the input is what a
// page sends, one message a line, handed to the channel the way the host does
// (UTF-16 through WebViewMessageArrived) while the client queries the page,
// serves its loaded and events-waiting notices and fetches and reads its
// events. Replies are checked to reach only the query whose number they carry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "session/util/codepage.h"
#include "webview/core/webchannel.h"
#include "webview/core/webtext.h"

namespace {

constexpr int kQueryAction = 9;
constexpr int kMaxNesting = 2;
// Marks the page files never write (JSON allows a blank before a value): a
// line that begins with a blank arrives while a window procedure queries the
// page itself, one that begins with a tab comes from the second view.
constexpr uint8_t kNestedMark = ' ';
constexpr uint8_t kSecondViewMark = '\t';

struct Line {
    const uint8_t* p;
    size_t n;
};

std::vector<Line> gLines;
size_t gNext;
int gNesting;
WindowRecord gWindowA, gWindowB;
int gPageA, gPageB;   // the web views: only their addresses matter

// Both views record nothing: what the page answers comes from the input.
int32_t PostNothing(void*, const char*) { return 0; }

// The members the client's controls read from replies and events.
void ReadLikeTheClient(const JsonValue* v) {
    static const char* const kNames[] = {"data", "val", "res", "err", "str", "name", "ev", "v1", "v2",
                                         "t", "l", "w", "h", "tabid", "qn", "action"};
    for (const char* name : kNames) {
        JsonGetInt(v, name);
        JsonGetText(v, name);
        JsonGetTextRaw(v, name);
        const JsonValue* m = JsonFindMember(v, name);
        for (size_t i = 0; i < JsonArrayLength(m) && i < 8; i++) {
            JsonValueInt(JsonArrayItem(m, i));
            JsonValueText(JsonArrayItem(m, i));
        }
    }
}

// A query as a control makes it; its answer must carry its own number.
void QueryAndCheck() {
    WebViewSelectForObject(&gWindowA.hdr);
    JsonBeginAction(kQueryAction);
    JsonAddStringNoConv("en", "#C1");
    uint32_t number = gWebQueryNumber + 1;   // the query goes alone: the next number is its own
    JsonValue* reply = WebViewMsgQuery();
    if (!reply) return;
    if (JsonGetInt(reply, "qn") != static_cast<int64_t>(number)) abort();
    ReadLikeTheClient(reply);
}

// A line as the host hands it over: UTF-8 into UTF-16, then to the channel.
void Deliver(const Line& line) {
    std::vector<uint16_t> wide(line.n + 1);
    const uint8_t* src = line.p;
    uint16_t* dst = wide.data();
    Utf8ToUtf16(&src, line.p + line.n, &dst, wide.data() + line.n, true);
    *dst = 0;
    ObjectRecord* owner = line.p[0] == kSecondViewMark ? &gWindowB.hdr : &gWindowA.hdr;
    WebViewMessageArrived(owner, wide.data());
}

// One pump turn: the page's next line arrives; some lines come while a window
// procedure is itself querying the page.
void PumpTurn() {
    if (gNext >= gLines.size()) return;
    const Line& line = gLines[gNext++];
    if (gNesting < kMaxNesting && line.p[0] == kNestedMark) {
        gNesting++;
        QueryAndCheck();
        gNesting--;
    }
    Deliver(line);
}

void DispatchEvent(ObjectRecord*, JsonValue* event) { ReadLikeTheClient(event); }

void LoadNothing(ObjectRecord*) {}

void SplitLines(const uint8_t* data, size_t size) {
    gLines.clear();
    size_t start = 0;
    for (size_t i = 0; i <= size; i++) {
        if (i < size && data[i] != '\n') continue;
        if (i > start) gLines.push_back({data + start, i - start});
        start = i + 1;
    }
}

void ResetChannel() {
    WebChannelCleanup();
    gWebFetchAllowed = true;
    gWebQueryNumber = 0;
    gWebHooks = WebChannelHooks();
    gWebHooks.postText = PostNothing;
    gWebHooks.pumpTurn = PumpTurn;
    gWebHooks.pageEventDispatch = DispatchEvent;
    gWebHooks.htmlControlLoadAll = LoadNothing;
    gWindowA = WindowRecord();
    gWindowA.hdr.kind = kKindWindow;
    gWindowA.webHost = &gPageA;
    gWindowA.pageObject = &gWindowA.hdr;
    gWindowB = gWindowA;
    gWindowB.webHost = &gPageB;
    gWindowB.pageObject = &gWindowB.hdr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SplitLines(data, size);
    gNext = 0;
    gNesting = 0;
    ResetChannel();
    // The client's own rhythm: a query, then the pump-turn work, until the
    // page has said everything.
    while (gNext < gLines.size()) {
        QueryAndCheck();
        WebViewProcessPending();
    }
    WebViewProcessPending();
    WebChannelCleanup();
    return 0;
}
