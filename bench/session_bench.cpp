// session_bench.cpp - times the shipped client's interactive paths under Wine
// against bench_peer, the smallest Wine program doing the same with the Win32
// calls alone. Both connect to session_server, the host-side bench server (a
// Linux program, bench/benchremote.h), which writes each request, reads each
// answer and times them, as a real server would; this program launches the
// sides, asks the server for each timed run and reports:
//   start-up:    launch to the program request (1100) against launch to the
//                peer's hello (it makes a window and connects), launched from
//                inside Wine (as a shortcut or the automation server would)
//                and, given --unix-wine, from Unix through that wine program
//                (as a shell or a desktop launcher would);
//   round trip:  a property query (2414) and a label's text read (2407)
//                against a raw ping-pong of the same frames with the peer,
//                the sides taking turns request by request, each request
//                timed once both ends of the one before are asleep;
//   creation:    labels and top-level windows made by create requests (1401),
//                N = 100, 1,000 and 5,000 a round, against the peer making the
//                same windows on the same requests (destruction not timed);
//   hide and destroy: 100 labels in a shown window, stacked (200 x 20 at left
//                10, top 10 + i, so each overlaps up to 38 others) or on a
//                grid (44 x 20, ten a row), hidden (2402) or destroyed (2403)
//                one request each, newest first, against the peer hiding or
//                destroying the same windows (the client's styles) with
//                ShowWindow(SW_HIDE) or DestroyWindow and draining its queue;
//   flatness:    labels 9,501-10,000 of a client's window against labels
//                1-500 of a second client's, made in turns of 50 and each turn
//                timed by the process's own CPU clock (read by the server: the
//                Win32 calls inside the client count, the Wine server and the
//                display do not), so a per-object cost that grows with the
//                window shows as a ratio above 1; the same with two peers
//                beside it (Wine's own growth);
//   large frames: frames of 100 KB, 1 MB and 10 MB of a type neither side
//                handles, each read whole and answered, against the peer
//                reading the same frames with blocking reads;
//   docked:      5,000 buttons docked at the top (Dock 5) and 5,000 docked at
//                the bottom (Dock 1) of a fresh shown window, made one
//                request at a time in blocks of 250, each block ended by a
//                read of its last button's Top (which the docking must
//                answer), then destroyed one request at a time oldest first
//                (the neighbours of each move into its room) but for the
//                last, whose Top is read again; against 5,000 undocked
//                buttons made, read and destroyed the same way by the same
//                client in the same run.
// The labels live in shown windows on both sides. Which side goes first
// alternates from round to round. Each line with a goal takes it from
// kBenchGoals (bench/benchkit.h).
// Usage: session_bench CLIENT.exe PEER.exe [--rounds N] [--only startup|roundtrip|objects|hide|flat|frames|docked]
//        [--sizes N,N,...] [--unix-wine Z:/usr/bin/wine]   (QOV_BENCH_SERVER: the server's control port)
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "bench/benchsession.h"
#include "bench/benchwire.h"
#include "objects/objtables.h"

namespace {

constexpr int kRoundTripsPerRound = 200;
constexpr uint32_t kPropVisible = 366;
// A launch varies more from round to round than the other paths (process
// creation, the first contact with the display), so its median needs more
// rounds to settle.
constexpr int kStartupRoundFactor = 3;
// The hide and destroy benchmark: a shown window of this size and its labels.
constexpr uint32_t kShownWidth = 480, kShownHeight = 360;
constexpr int kHideLabels = 100;
constexpr BenchGrid kStacked = {1, kHideLabels, 0, 1, 200, 20, 10};
constexpr BenchGrid kGridTen = {10, 10, 46, 22, 44, 20, 10};
// The shown window the round trips and the creation work in: the whole grid
// (kBenchGrid) fits.
constexpr uint32_t kParentWidth = 800, kParentHeight = 700;
// The label counts the creation goal speaks of; others are reported beside it.
constexpr int kLabelGoalCounts[] = {100, 1000};

std::string gPeer;
std::string gUnixWine;  // the wine program as a Windows path, for launches from Unix
int gRounds = 7;

std::string PeerCommand() { return "\"" + gPeer + "\" " + std::to_string(gPort); }

uint32_t Ask(Side* side, uint32_t type, const std::vector<uint8_t>& body, uint32_t seq, uint32_t answerType) {
    return RemoteRequest(side->session, type, body, seq, answerType);
}

// Requests one after another on a side (their answers' first words), timed by the server.
RemoteBatchResult AskAll(Side* side, uint32_t type, const std::vector<std::vector<uint8_t>>& bodies, uint32_t seq,
                         uint32_t answerType) {
    if (bodies.empty()) return {};
    return RemoteBatch(side->session, type, seq, answerType, bodies, bodies.size());
}

// Destroys the objects made (not timed).
void DestroyAll(Side* side, const std::vector<uint32_t>& made) {
    std::vector<std::vector<uint8_t>> bodies;
    for (uint32_t h : made)
        if (h) bodies.push_back(Handle(h));
    AskAll(side, kMsgObjDestroy, bodies, 0, kMsgAnswer);
}

// The peer's create request: type, parent number, position and size (a label
// at place i of the grid).
std::vector<uint8_t> PeerCreate(uint32_t type, uint32_t parent, int i, const BenchGrid& grid = kBenchGrid) {
    std::vector<uint8_t> b;
    uint32_t at = uint32_t(i);
    BenchPutU32(&b, type);
    BenchPutU32(&b, parent);
    BenchPutU32(&b, type == kTypeLabelText ? grid.origin + at % grid.columns * grid.stepX : 40);
    BenchPutU32(&b, type == kTypeLabelText ? grid.origin + at / grid.columns % grid.rows * grid.stepY : 40);
    BenchPutU32(&b, type == kTypeLabelText ? grid.width : 400);
    BenchPutU32(&b, type == kTypeLabelText ? grid.height : 240);
    BenchPutU32(&b, 0);   // a window stays hidden
    return b;
}

// The peer's shown window of the given size.
std::vector<uint8_t> PeerShownWindow(uint32_t width, uint32_t height) {
    std::vector<uint8_t> b;
    for (uint32_t v : {uint32_t(kTypeWindow), 0u, 40u, 40u, width, height, 1u}) BenchPutU32(&b, v);
    return b;
}

// The create requests of n objects of a type at places 0..n-1 (labels in `window`).
std::vector<std::vector<uint8_t>> CreateBodies(bool isClient, uint32_t type, uint32_t window, int from, int n,
                                               const BenchGrid& grid = kBenchGrid) {
    std::vector<std::vector<uint8_t>> bodies;
    uint32_t parent = type == kTypeLabelText ? window : 0;
    for (int i = from; i < from + n; i++)
        bodies.push_back(isClient ? ClientCreate(type, parent, i, {}, grid) : PeerCreate(type, window, i, grid));
    return bodies;
}

// ---- the measurements -------------------------------------------------------

// Launched with a prefix: none (from inside Wine: CreateProcess of the
// program), or the wine program, which Wine starts as a Unix process that
// then starts the program the way a shell does. Which side goes first
// alternates from round to round.
void BenchStartup(const char* name, const std::string& launcher) {
    BenchResult r;
    for (int i = 0; i < gRounds * kStartupRoundFactor; i++) {
        Side client{"client"}, peer{"peer"};
        double a = 0, b = 0;
        auto runClient = [&] {
            bool up = false;
            a = BenchSeconds([&] { up = StartRemote(launcher + ClientCommand(), &client); });
            if (up) AcceptRemote(&client), StopRemote(&client);
            else if (client.pi.hProcess) EndProcess(&client), a = 0;
        };
        auto runPeer = [&] {
            bool up = false;
            b = BenchSeconds([&] { up = StartRemote(launcher + PeerCommand(), &peer); });
            if (up) StopRemote(&peer);
            else if (peer.pi.hProcess) EndProcess(&peer), b = 0;
        };
        if (i % 2) runPeer(), runClient();
        else runClient(), runPeer();
        if (a > 0 && b > 0) BenchAddRound(&r, a, b);
        else printf("%s: a side did not start (round %d)\n", name, i + 1);
    }
    BenchReportGoal(kGoalStartup, name, r);
}

// Each request timed alone, the sides in turns request by request; the first
// side alternates from round to round.
BenchResult InTurns(const RemoteTurn& client, const RemoteTurn& peer) {
    BenchResult r;
    for (int i = 0; i < gRounds; i++) {
        double a = 0, b = 0;
        bool ok = i % 2 ? RemoteAlternate(peer, client, kRoundTripsPerRound, &b, &a)
                        : RemoteAlternate(client, peer, kRoundTripsPerRound, &a, &b);
        if (ok) BenchAddRound(&r, a, b);
        else printf("a request went unanswered (round %d)\n", i + 1);
    }
    return r;
}

// A property query (2414) of one object's property.
std::vector<uint8_t> PropQuery(uint32_t handle, uint32_t prop) {
    std::vector<uint8_t> q;
    BenchPutU32(&q, handle);
    BenchPutU32(&q, prop);
    BenchPutU32(&q, 0);
    q.insert(q.end(), 20, 0);
    BenchPutU32(&q, 0);
    return q;
}

void BenchRoundTrips(Side* client, uint32_t window, Side* peer) {
    uint32_t label = Ask(client, kMsgCreate, ClientCreate(kTypeLabelText, window, 0), 1, kMsgAnswer);
    if (!label) printf("the label to read was not made\n");
    std::vector<uint8_t> query = PropQuery(window, kPropVisible);
    std::vector<uint8_t> text;
    BenchPutU32(&text, label);
    BenchPutU32(&text, 0);
    constexpr double kPerRequest = 1e6 / kRoundTripsPerRound;
    // The property query has no goal of its own: it shows what the wire and
    // the dispatch cost beside the label read.
    BenchReport("property query 2414",
                InTurns({client->session, kMsgObjPropQuery, 0, kMsgResultInt, &query},
                        {peer->session, kMsgObjPropQuery, 0, kMsgResultInt, &query}),
                kBenchGoals[kGoalLabelRead].reference, 0, kPerRequest, "us");
    BenchReportGoal(kGoalLabelRead, "label text read 2407",
                    InTurns({client->session, kMsgObjGetText, 0, kMsgResultText, &text},
                            {peer->session, kMsgObjGetText, 0, kMsgResultText, &text}),
                    kPerRequest, "us");
    if (label) Ask(client, kMsgObjDestroy, Handle(label), 0, kMsgAnswer);
}

// 100 labels of the layout made in each side's shown window (not timed), then
// hidden or destroyed one request at a time, newest first (timed); hidden
// labels are destroyed afterwards (not timed).
void BenchHideDestroy(Side* client, uint32_t clientWindow, Side* peer, uint32_t peerWindow, const char* layout,
                      const BenchGrid& grid, uint32_t request) {
    BenchResult r;
    auto round = [&](Side* side, bool isClient) {
        std::vector<uint32_t> made =
            AskAll(side, kMsgCreate,
                   CreateBodies(isClient, kTypeLabelText, isClient ? clientWindow : peerWindow, 0, kHideLabels, grid), 1,
                   kMsgAnswer)
                .values;
        std::vector<std::vector<uint8_t>> newestFirst;
        for (auto h = made.rbegin(); h != made.rend(); ++h)
            if (*h) newestFirst.push_back(Handle(*h));
        if (newestFirst.size() != size_t(kHideLabels)) printf("%s: some labels were not made\n", layout);
        RemoteBatchResult timed = AskAll(side, request, newestFirst, 0, kMsgAnswer);
        if (request != kMsgObjDestroy) DestroyAll(side, made);
        return timed.failures ? 0.0 : timed.seconds;
    };
    BenchAlternating(&r, gRounds, [&] { return round(client, true); }, [&] { return round(peer, false); });
    char name[64];
    snprintf(name, sizeof name, "%s %s %d", request == kMsgObjDestroy ? "destroy 2403" : "hide 2402", layout,
             kHideLabels);
    BenchReportGoal(kGoalHideDestroy, name, r, 1e6 / kHideLabels, "us");
}

void BenchHiding(Side* client, Side* peer) {
    uint32_t clientWindow = Ask(client, kMsgCreate, ClientShownWindow(kShownWidth, kShownHeight), 1, kMsgAnswer);
    uint32_t peerWindow = Ask(peer, kMsgCreate, PeerShownWindow(kShownWidth, kShownHeight), 1, kMsgAnswer);
    if (!clientWindow || !peerWindow) {
        printf("the shown windows were not made\n");
        return;
    }
    for (uint32_t request : {uint32_t(kMsgObjHide), uint32_t(kMsgObjDestroy)}) {
        BenchHideDestroy(client, clientWindow, peer, peerWindow, "stacked", kStacked, request);
        BenchHideDestroy(client, clientWindow, peer, peerWindow, "grid", kGridTen, request);
    }
    Ask(client, kMsgObjDestroy, Handle(clientWindow), 0, kMsgAnswer);
    Ask(peer, kMsgObjDestroy, Handle(peerWindow), 0, kMsgAnswer);
}

// N objects a round on each side, made one request at a time, then destroyed
// (not timed).
void BenchCreation(Side* client, uint32_t clientWindow, Side* peer, uint32_t peerWindow, uint32_t type, int n,
                   int rounds) {
    BenchResult r;
    const auto clientBodies = CreateBodies(true, type, clientWindow, 0, n);
    const auto peerBodies = CreateBodies(false, type, peerWindow, 0, n);
    for (int round = 0; round < rounds; round++) {
        auto turn = [&](Side* side, const std::vector<std::vector<uint8_t>>& bodies) {
            RemoteBatchResult made = AskAll(side, kMsgCreate, bodies, 1, kMsgAnswer);
            DestroyAll(side, made.values);
            return made.failures ? 0.0 : made.seconds;
        };
        double a = 0, b = 0;
        if (round % 2) b = turn(peer, peerBodies), a = turn(client, clientBodies);
        else a = turn(client, clientBodies), b = turn(peer, peerBodies);
        if (a > 0 && b > 0) BenchAddRound(&r, a, b);
    }
    char name[64];
    snprintf(name, sizeof name, "%s x %d", type == kTypeLabelText ? "label 1401" : "window 1401", n);
    if (type == kTypeWindow) return BenchReportGoal(kGoalWindowsCreate, name, r, 1e6 / n, "us");
    for (int counted : kLabelGoalCounts)
        if (n == counted) return BenchReportGoal(kGoalLabelsCreate, name, r, 1e6 / n, "us");
    BenchReport(name, r, kBenchGoals[kGoalLabelsCreate].reference, 0, 1e6 / n, "us");
}

// Flatness: one process of a side holds kFlatLabels - kFlatSpan labels in its
// shown window (made once, not timed), a second process of the same program
// none. Each round both make kFlatSpan labels more, in turns of kFlatTurn, each
// turn timed by its own process's CPU clock, and destroy them again. The turns
// interleave the two readings, so a load that changes while the rounds run
// (what another program's work does to the processor's caches and its
// shared cores) weighs on both alike; readings a minute apart, as the first
// and the last labels of one filling are, differed by 2x under load.
constexpr int kFlatLabels = 10000, kFlatSpan = 500, kFlatTurn = 50;

struct FlatSide {
    Side process;
    uint32_t window = 0;
    std::vector<uint32_t> made;
};

// The CPU seconds of a side's process for its labels at places from..from+n-1
// (negative when a label was not made or the CPU time could not be read).
double FlatTurn(FlatSide* s, bool isClient, int from, int n) {
    double t0 = RemoteCpuSeconds(s->process.session);
    RemoteBatchResult r =
        AskAll(&s->process, kMsgCreate, CreateBodies(isClient, kTypeLabelText, s->window, from, n), 1, kMsgAnswer);
    double t1 = RemoteCpuSeconds(s->process.session);
    s->made.insert(s->made.end(), r.values.begin(), r.values.end());
    return r.failures || t0 < 0 || t1 < 0 ? -1 : t1 - t0;
}

bool StartFlatSide(FlatSide* s, bool isClient) {
    if (!StartRemote(isClient ? ClientCommand() : PeerCommand(), &s->process)) return false;
    if (isClient) AcceptRemote(&s->process);
    s->window = Ask(&s->process, kMsgCreate,
                    isClient ? ClientShownWindow(kParentWidth, kParentHeight) : PeerShownWindow(kParentWidth, kParentHeight),
                    1, kMsgAnswer);
    return s->window != 0;
}

// Labels kFlatLabels - kFlatSpan + 1 .. kFlatLabels in the full process
// against labels 1 .. kFlatSpan in the empty one, a round's ratio each.
BenchResult FlatRounds(bool isClient) {
    BenchResult r;
    FlatSide full, empty;
    full.process.name = empty.process.name = isClient ? "client" : "peer";
    constexpr int kFilled = kFlatLabels - kFlatSpan;
    if (StartFlatSide(&full, isClient) && StartFlatSide(&empty, isClient) &&
        FlatTurn(&full, isClient, 0, kFilled) >= 0) {
        for (int round = 0; round < gRounds; round++) {
            double last = 0, first = 0;
            bool ok = true;
            full.made.resize(kFilled);
            empty.made.clear();
            for (int at = 0; ok && at < kFlatSpan; at += kFlatTurn) {
                bool fullFirst = (at / kFlatTurn + round) % 2 == 0;
                for (int k = 0; ok && k < 2; k++) {
                    bool isFull = (k == 0) == fullFirst;
                    double t = isFull ? FlatTurn(&full, isClient, kFilled + at, kFlatTurn)
                                      : FlatTurn(&empty, isClient, at, kFlatTurn);
                    ok = t >= 0;
                    (isFull ? last : first) += t;
                }
            }
            DestroyAll(&full.process, std::vector<uint32_t>(full.made.begin() + kFilled, full.made.end()));
            DestroyAll(&empty.process, empty.made);
            if (!ok) {
                printf("flatness: a label was not made or the CPU time was not read (round %d)\n", round + 1);
                break;
            }
            BenchAddRound(&r, last, first);
        }
    } else {
        printf("flatness: the %s processes or their labels were not made\n", full.process.name);
    }
    for (FlatSide* s : {&full, &empty})
        if (s->process.session != kCtlNoSession) StopRemote(&s->process);
    return r;
}

// The client's own CPU time (read by the host: the Win32 calls inside the
// client count, the Wine server and the display do not), with direct Win32
// doing the same beside it (no goal: it tells the client's growth from
// Wine's own).
void BenchFlatness() {
    constexpr double kPerLabel = 1e6 / kFlatSpan;
    BenchResult client = FlatRounds(true);
    if (client.ratios.empty()) BenchSummaryFailure("client CPU, labels 9501-10000", "not measured");
    else BenchReportGoal(kGoalClientFlatness, "client CPU, labels 9501-10000", client, kPerLabel, "us");
    BenchReport("direct Win32 CPU, 9501-10000", FlatRounds(false), kBenchGoals[kGoalClientFlatness].reference, 0,
                kPerLabel, "us");
}

// Frames of each size, a fixed number of bytes a round on each side; the
// client's receive buffer is grown first (1058) as a server would.
void BenchFrames(Side* client, Side* peer) {
    constexpr uint32_t kUnhandledType = 3999;
    constexpr uint32_t kHeadroom = 64;
    constexpr size_t kBytesPerRound = 20u << 20;
    const size_t sizes[] = {100u << 10, 1u << 20, 10u << 20};
    std::vector<uint8_t> grow;
    BenchPutU32(&grow, uint32_t(sizes[2]) + kHeadroom);
    if (Ask(client, kMsgGrowBuffer, grow, 0, kMsgAnswer) < sizes[2]) {
        printf("the client's receive buffer did not grow\n");
        return;
    }
    for (size_t size : sizes) {
        std::vector<uint8_t> body(size - 8, 0x5A);
        size_t frames = kBytesPerRound / size;
        BenchResult r;
        auto turn = [&](Side* side, uint32_t answerType) {
            RemoteBatchResult t = RemoteBatch(side->session, kUnhandledType, 0, answerType, {body}, frames);
            return t.failures ? 0.0 : t.seconds;
        };
        BenchAlternating(&r, gRounds, [&] { return turn(client, kMsgError); }, [&] { return turn(peer, kMsgAnswer); });
        char name[64];
        snprintf(name, sizeof name, "frame %zu KB", size >> 10);
        BenchReportGoal(kGoalLargeFrames, name, r, 1e3 / double(frames), "ms");
    }
}

// Docked buttons: a fresh shown window a turn, its buttons made in blocks,
// each block ended by a read of its last button's Top, then destroyed oldest
// first but for the last, whose Top is read again (so a layout the docking
// defers is timed where it is done, and checked), and the window destroyed
// with it (not timed).
constexpr int kDockedButtons = 5000, kDockedBlock = 250;
constexpr uint16_t kCrDock = 198;
constexpr uint32_t kDockBottom = 1, kDockNone = 3, kDockTop = 5;
constexpr uint32_t kPropTop = 338;
// The blocks whose times are printed: the ones ending at 1,250, 2,000 and
// 5,000 buttons.
constexpr int kDockedShownBlocks[] = {1250 / kDockedBlock, 2000 / kDockedBlock, kDockedButtons / kDockedBlock};

struct DockedTurn {
    double made = 0;                 // 0: a button was not made or destroyed, or a Top was wrong
    double destroyed = 0;
    std::vector<double> blocks;      // each block's seconds
};

std::vector<uint8_t> TopQuery(uint32_t handle) { return PropQuery(handle, kPropTop); }

// The Top a button made at place i reads while `before` docked buttons lie
// before it: docked at the top, their heights; at the bottom, the client
// height less theirs and its own; undocked, its place in the grid.
int32_t DockedTop(uint32_t dock, int i, int before, int32_t clientHeight) {
    int32_t h = int32_t(kBenchGrid.height);
    if (dock == kDockTop) return before * h;
    if (dock == kDockBottom) return clientHeight - (before + 1) * h;
    return int32_t(kBenchGrid.origin + uint32_t(i) / kBenchGrid.columns % kBenchGrid.rows * kBenchGrid.stepY);
}

DockedTurn DockedButtons(Side* client, uint32_t dock) {
    DockedTurn t;
    uint32_t window = Ask(client, kMsgCreate, ClientShownWindow(kParentWidth, kParentHeight), 1, kMsgAnswer);
    if (!window) return t;
    std::vector<uint8_t> extra;
    PutProp(&extra, kCrDock, dock);
    // The window's client height, learnt from the first block (bottom-docked
    // buttons count from it), then held to.
    int32_t clientHeight = -1;
    std::vector<uint32_t> made;
    double total = 0;
    bool ok = true;
    for (int from = 0; ok && from < kDockedButtons; from += kDockedBlock) {
        std::vector<std::vector<uint8_t>> bodies;
        for (int i = from; i < from + kDockedBlock; i++) bodies.push_back(ClientCreate(kTypeButton, window, i, extra));
        RemoteBatchResult block = AskAll(client, kMsgCreate, bodies, 1, kMsgAnswer);
        made.insert(made.end(), block.values.begin(), block.values.end());
        RemoteBatchResult read = AskAll(client, kMsgObjPropQuery, {TopQuery(made.back())}, 0, kMsgResultInt);
        int last = from + kDockedBlock - 1;
        int32_t top = int32_t(read.values[0]);
        if (dock == kDockBottom && clientHeight < 0) clientHeight = top + (last + 1) * int32_t(kBenchGrid.height);
        ok = !block.failures && !read.failures && top == DockedTop(dock, last, last, clientHeight) &&
             (dock != kDockBottom || (clientHeight > 0 && clientHeight <= int32_t(kParentHeight)));
        if (!ok) printf("docked %u: block %d not made, or its last Top read %d\n", dock, from / kDockedBlock + 1, top);
        t.blocks.push_back(block.seconds + read.seconds);
        total += block.seconds + read.seconds;
    }
    if (ok) {
        std::vector<std::vector<uint8_t>> bodies;
        for (size_t i = 0; i + 1 < made.size(); i++) bodies.push_back(Handle(made[i]));
        RemoteBatchResult gone = AskAll(client, kMsgObjDestroy, bodies, 0, kMsgAnswer);
        RemoteBatchResult read = AskAll(client, kMsgObjPropQuery, {TopQuery(made.back())}, 0, kMsgResultInt);
        int32_t top = int32_t(read.values[0]);
        if (!gone.failures && !read.failures && top == DockedTop(dock, kDockedButtons - 1, 0, clientHeight)) {
            t.made = total;
            t.destroyed = gone.seconds + read.seconds;
        } else {
            printf("docked %u: the buttons were not destroyed, or the last one's Top read %d\n", dock, top);
        }
    }
    Ask(client, kMsgObjDestroy, Handle(window), 0, kMsgAnswer);
    return t;
}

void BenchDocked() {
    Side client{"client"};
    if (!StartRemote(ClientCommand(), &client)) {
        printf("docked: cannot start the client\n");
        return;
    }
    AcceptRemote(&client);
    int rounds = gRounds > 3 ? 3 : gRounds;
    const uint32_t docks[] = {kDockTop, kDockBottom};
    BenchResult made[2], destroyed[2];
    std::vector<std::vector<double>> blocks[3];  // undocked, then each dock: one row of block times a round
    for (int round = 0; round < rounds; round++) {
        for (int d = 0; d < 2; d++) {
            DockedTurn a, b;
            if ((round + d) % 2) b = DockedButtons(&client, kDockNone), a = DockedButtons(&client, docks[d]);
            else a = DockedButtons(&client, docks[d]), b = DockedButtons(&client, kDockNone);
            if (a.made > 0 && b.made > 0) {
                BenchAddRound(&made[d], a.made, b.made);
                BenchAddRound(&destroyed[d], a.destroyed, b.destroyed);
                blocks[0].push_back(b.blocks);
                blocks[d + 1].push_back(a.blocks);
            }
        }
    }
    StopRemote(&client);
    const char* names[3] = {"undocked", "Dock 5", "Dock 1"};
    for (int m = 0; m < 3; m++) {
        if (blocks[m].empty()) continue;
        printf("  %-9s block of %d ending at", names[m], kDockedBlock);
        for (int b : kDockedShownBlocks) {
            std::vector<double> v;
            for (const auto& row : blocks[m]) v.push_back(row[size_t(b - 1)]);
            printf("  %d: %.3f s", b * kDockedBlock, BenchMedian(v));
        }
        printf("\n");
    }
    constexpr double kPerButton = 1e6 / kDockedButtons;
    const char* madeRows[2] = {"5,000 buttons Dock 5 made", "5,000 buttons Dock 1 made"};
    const char* goneRows[2] = {"  then destroyed", "  then destroyed"};
    for (int d = 0; d < 2; d++) {
        if (made[d].ratios.empty()) {
            BenchSummaryFailure(madeRows[d], "not measured");
            continue;
        }
        BenchReportGoal(kGoalDockedCreate, madeRows[d], made[d], kPerButton, "us");
        BenchReport(goneRows[d], destroyed[d], "undocked destroyed", 0, kPerButton, "us");
    }
}

void BenchSession(bool roundTrips, bool objects, bool hide, bool flat, bool frames, const std::vector<int>& sizes) {
    Side client{"client"}, peer{"peer"};
    if (!StartRemote(ClientCommand(), &client) || !StartRemote(PeerCommand(), &peer)) {
        printf("cannot start the client or the peer\n");
        return;
    }
    AcceptRemote(&client);
    uint32_t clientWindow = Ask(&client, kMsgCreate, ClientShownWindow(kParentWidth, kParentHeight), 1, kMsgAnswer);
    uint32_t peerWindow = Ask(&peer, kMsgCreate, PeerShownWindow(kParentWidth, kParentHeight), 1, kMsgAnswer);
    if (!clientWindow || !peerWindow) printf("the parent windows were not made\n");
    if (roundTrips) BenchRoundTrips(&client, clientWindow, &peer);
    if (hide) BenchHiding(&client, &peer);
    if (frames) BenchFrames(&client, &peer);
    if (objects) {
        for (int n : sizes) {
            int rounds = n >= 5000 ? 3 : n >= 1000 ? (gRounds > 5 ? 5 : gRounds) : gRounds;
            BenchCreation(&client, clientWindow, &peer, peerWindow, kTypeLabelText, n, rounds);
            BenchCreation(&client, clientWindow, &peer, peerWindow, kTypeWindow, n, rounds);
        }
    }
    StopRemote(&client);
    StopRemote(&peer);
    if (flat) BenchFlatness();
}

}  // namespace
int main(int argc, char** argv) {
    if (argc < 3) {
        printf("usage: session_bench CLIENT.exe PEER.exe [--rounds N] [--only startup|roundtrip|objects|flat|frames|docked] "
               "[--sizes N,N,...] [--unix-wine Z:/usr/bin/wine]\n");
        return 2;
    }
    gClient = argv[1], gPeer = argv[2];
    std::string only;
    std::vector<int> sizes = {100, 1000, 5000};
    for (int i = 3; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--rounds")) gRounds = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--only")) only = argv[i + 1];
        else if (!strcmp(argv[i], "--unix-wine")) gUnixWine = argv[i + 1];
        else if (!strcmp(argv[i], "--sizes")) {
            sizes.clear();
            for (const char* p = argv[i + 1]; *p;) {
                sizes.push_back(atoi(p));
                while (*p && *p != ',') p++;
                if (*p) p++;
            }
        }
    }
    if (gRounds < 1) gRounds = 1;
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    if (!RemoteConnect()) return 1;
    gPort = int(gRemoteSessionPort);
    if (only.empty() || only == "startup") {
        BenchStartup("start-up to 1100", "");
        if (!gUnixWine.empty()) BenchStartup("start-up from Unix", "\"" + gUnixWine + "\" ");
    }
    if (only.empty() || only == "roundtrip" || only == "objects" || only == "hide" || only == "flat" ||
        only == "frames")
        BenchSession(only.empty() || only == "roundtrip", only.empty() || only == "objects",
                     only.empty() || only == "hide", only.empty() || only == "flat", only.empty() || only == "frames",
                     sizes);
    if (only.empty() || only == "docked") BenchDocked();
    closesocket(gRemote);
    return 0;
}
