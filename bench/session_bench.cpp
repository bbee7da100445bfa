// session_bench.cpp - times the shipped client's interactive paths under Wine
// against bench_peer, the smallest Wine program doing the same with the Win32
// calls alone, both served by this one program in turns, round by round:
//   start-up:    launch to the program request (1100) against launch to the
//                peer's hello (it makes a window and connects), launched from
//                inside Wine (as a shortcut or the automation server would)
//                and, given --unix-wine, from Unix through that wine program
//                (as a shell or a desktop launcher would);
//   round trip:  a property query (2414) and a label's text read (2407)
//                against a raw ping-pong of the same frames with the peer;
//   creation:    labels and top-level windows made by create requests (1401),
//                N = 100, 1,000 and 5,000 a round, against the peer making the
//                same windows on the same requests (destruction not timed);
//   hide and destroy: 100 labels in a shown window, stacked (200 x 20 at left
//                10, top 10 + i, so each overlaps up to 38 others) or on a
//                grid (44 x 20, ten a row), hidden (2402) or destroyed (2403)
//                one request each, newest first, against the peer hiding or
//                destroying the same windows (the client's styles) with
//                ShowWindow(SW_HIDE) or DestroyWindow and draining its queue;
//   flatness:    10,000 labels in one window made by the client alone; the
//                client process's own CPU time for the last 500 against the
//                first 500 (the Win32 calls inside the client count, the Wine
//                server and the display do not), so a per-object cost that grows
//                with the window shows as a ratio above 1;
//   large frames: frames of 100 KB, 1 MB and 10 MB of a type neither side
//                handles, each read whole and answered, against the peer
//                reading the same frames with blocking reads.
// Which side goes first alternates from round to round.
// Usage: session_bench CLIENT.exe PEER.exe [--rounds N] [--only startup|roundtrip|objects|hide|flat|frames]
//        [--sizes N,N,...] [--unix-wine Z:/usr/bin/wine]
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

std::string gPeer;
std::string gUnixWine;  // the wine program as a Windows path, for launches from Unix
int gRounds = 7;

std::string PeerCommand() { return "\"" + gPeer + "\" " + std::to_string(gPort); }

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

// The peer's shown window of the hide and destroy benchmark.
std::vector<uint8_t> PeerShownWindow() {
    std::vector<uint8_t> b;
    for (uint32_t v : {uint32_t(kTypeWindow), 0u, 40u, 40u, kShownWidth, kShownHeight, 1u}) BenchPutU32(&b, v);
    return b;
}

// ---- the three measurements -------------------------------------------------

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
            a = BenchSeconds([&] { Start(launcher + ClientCommand(), &client); });
            Accept(&client);
            Stop(&client);
        };
        auto runPeer = [&] {
            b = BenchSeconds([&] { Start(launcher + PeerCommand(), &peer); });
            Stop(&peer);
        };
        if (i % 2) runPeer(), runClient();
        else runClient(), runPeer();
        BenchAddRound(&r, a, b);
    }
    BenchReport(name, r, "trivial program", 1.2);
}

void BenchRoundTrips(Side* client, uint32_t window, Side* peer) {
    uint32_t label = Request(client->sock, kMsgCreate, ClientCreate(kTypeLabelText, window, 0), 1, kMsgAnswer);
    if (!label) printf("the label to read was not made\n");
    std::vector<uint8_t> query;
    BenchPutU32(&query, window);
    BenchPutU32(&query, kPropVisible);
    BenchPutU32(&query, 0);
    query.insert(query.end(), 20, 0);
    BenchPutU32(&query, 0);
    std::vector<uint8_t> text;
    BenchPutU32(&text, label);
    BenchPutU32(&text, 0);
    struct Row {
        const char* name;
        uint32_t type, answer;
        const std::vector<uint8_t>* body;
        double goal;
    } rows[] = {{"property query 2414", kMsgObjPropQuery, kMsgResultInt, &query, 1.3},
                {"label text read 2407", kMsgObjGetText, kMsgResultText, &text, 1.1}};
    for (const Row& row : rows) {
        BenchResult r;
        for (int i = 0; i < gRounds; i++) {
            auto turns = [&](Side* side) {
                for (int k = 0; k < kRoundTripsPerRound; k++) Request(side->sock, row.type, *row.body, 0, row.answer);
            };
            double a = 0, b = 0;
            auto clientTurn = [&] { a = BenchSeconds([&] { turns(client); }); };
            auto peerTurn = [&] { b = BenchSeconds([&] { turns(peer); }); };
            if (i % 2) peerTurn(), clientTurn();
            else clientTurn(), peerTurn();
            BenchAddRound(&r, a, b);
        }
        BenchReport(row.name, r, "raw ping-pong", row.goal, 1e6 / kRoundTripsPerRound, "us");
    }
    if (label) Request(client->sock, kMsgObjDestroy, Handle(label), 0, kMsgAnswer);
}

// 100 labels of the layout made in each side's shown window (not timed), then
// hidden or destroyed one request at a time, newest first (timed); hidden
// labels are destroyed afterwards (not timed).
void BenchHideDestroy(Side* client, uint32_t clientWindow, Side* peer, uint32_t peerWindow, const char* layout,
                      const BenchGrid& grid, uint32_t request) {
    BenchResult r;
    std::vector<uint32_t> made(kHideLabels, 0);
    auto round = [&](Side* side, bool isClient) {
        for (int i = 0; i < kHideLabels; i++)
            made[size_t(i)] = Request(side->sock, kMsgCreate,
                                      isClient ? ClientCreate(kTypeLabelText, clientWindow, i, {}, grid)
                                               : PeerCreate(kTypeLabelText, peerWindow, i, grid),
                                      1, kMsgAnswer);
        double t = BenchSeconds([&] {
            for (int i = kHideLabels - 1; i >= 0; i--)
                if (made[size_t(i)]) Request(side->sock, request, Handle(made[size_t(i)]), 0, kMsgAnswer);
        });
        if (request != kMsgObjDestroy)
            for (uint32_t h : made)
                if (h) Request(side->sock, kMsgObjDestroy, Handle(h), 0, kMsgAnswer);
        return t;
    };
    for (int i = 0; i < gRounds; i++) {
        double a = 0, b = 0;
        if (i % 2) b = round(peer, false), a = round(client, true);
        else a = round(client, true), b = round(peer, false);
        BenchAddRound(&r, a, b);
    }
    char name[64];
    snprintf(name, sizeof name, "%s %s %d", request == kMsgObjDestroy ? "destroy 2403" : "hide 2402", layout,
             kHideLabels);
    BenchReport(name, r, request == kMsgObjDestroy ? "DestroyWindow" : "ShowWindow(SW_HIDE)", 1.3,
                1e6 / kHideLabels, "us");
}

void BenchHiding(Side* client, Side* peer) {
    uint32_t clientWindow =
        Request(client->sock, kMsgCreate, ClientShownWindow(kShownWidth, kShownHeight), 1, kMsgAnswer);
    uint32_t peerWindow = Request(peer->sock, kMsgCreate, PeerShownWindow(), 1, kMsgAnswer);
    if (!clientWindow || !peerWindow) {
        printf("the shown windows were not made\n");
        return;
    }
    for (uint32_t request : {uint32_t(kMsgObjHide), uint32_t(kMsgObjDestroy)}) {
        BenchHideDestroy(client, clientWindow, peer, peerWindow, "stacked", kStacked, request);
        BenchHideDestroy(client, clientWindow, peer, peerWindow, "grid", kGridTen, request);
    }
    Request(client->sock, kMsgObjDestroy, Handle(clientWindow), 0, kMsgAnswer);
    Request(peer->sock, kMsgObjDestroy, Handle(peerWindow), 0, kMsgAnswer);
}

// N objects a round on each side, made one request at a time, then destroyed
// (not timed).
void BenchCreation(Side* client, uint32_t clientWindow, Side* peer, uint32_t peerWindow, uint32_t type, int n,
                   int rounds, double goal) {
    BenchResult r;
    std::vector<uint32_t> made(size_t(n), 0);
    for (int round = 0; round < rounds; round++) {
        auto create = [&](Side* side, bool isClient) {
            for (int i = 0; i < n; i++)
                made[size_t(i)] = isClient ? Request(side->sock, kMsgCreate,
                                                     ClientCreate(type, type == kTypeLabelText ? clientWindow : 0, i), 1,
                                                     kMsgAnswer)
                                           : Request(side->sock, kMsgCreate, PeerCreate(type, peerWindow, i), 1,
                                                     kMsgAnswer);
        };
        auto destroy = [&](Side* side) {
            for (uint32_t h : made)
                if (h) Request(side->sock, kMsgObjDestroy, Handle(h), 0, kMsgAnswer);
        };
        double a = 0, b = 0;
        auto clientTurn = [&] { a = BenchSeconds([&] { create(client, true); }), destroy(client); };
        auto peerTurn = [&] { b = BenchSeconds([&] { create(peer, false); }), destroy(peer); };
        if (round % 2) peerTurn(), clientTurn();
        else clientTurn(), peerTurn();
        BenchAddRound(&r, a, b);
    }
    char name[64];
    snprintf(name, sizeof name, "%s x %d", type == kTypeLabelText ? "label 1401" : "window 1401", n);
    BenchReport(name, r, "direct Win32 calls", goal, 1e6 / n, "us");
}

// The user and kernel time of a process so far, in seconds.
double ProcessCpuSeconds(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return 0;
    auto secs = [](const FILETIME& f) {
        return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return secs(kernel) + secs(user);
}

void BenchFlatness(Side* client, uint32_t window) {
    constexpr int kLabels = 10000, kSpan = 500;
    BenchResult r;
    std::vector<uint32_t> made(kLabels, 0);
    for (int round = 0; round < gRounds; round++) {
        double first = 0, last = 0;
        for (int i = 0; i < kLabels; i++) {
            double before = i == 0 || i == kLabels - kSpan ? ProcessCpuSeconds(client->pi.hProcess) : 0;
            if (i == 0 || i == kLabels - kSpan) (i == 0 ? first : last) = -before;
            made[size_t(i)] = Request(client->sock, kMsgCreate, ClientCreate(kTypeLabelText, window, i), 1, kMsgAnswer);
            if (i == kSpan - 1) first += ProcessCpuSeconds(client->pi.hProcess);
        }
        last += ProcessCpuSeconds(client->pi.hProcess);
        for (uint32_t h : made)
            if (h) Request(client->sock, kMsgObjDestroy, Handle(h), 0, kMsgAnswer);
        BenchAddRound(&r, last, first);
    }
    BenchReport("client CPU, labels 9501-10000", r, "labels 1-500", 1.2, 1e3, "ms");
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
    if (Request(client->sock, kMsgGrowBuffer, grow, 0, kMsgAnswer) < sizes[2]) {
        printf("the client's receive buffer did not grow\n");
        return;
    }
    for (size_t size : sizes) {
        std::vector<uint8_t> body(size - 8, 0x5A);
        size_t frames = kBytesPerRound / size;
        BenchResult r;
        for (int i = 0; i < gRounds; i++) {
            double a = BenchSeconds([&] {
                for (size_t k = 0; k < frames; k++) Request(client->sock, kUnhandledType, body, 0, kMsgError);
            });
            double b = BenchSeconds([&] {
                for (size_t k = 0; k < frames; k++) Request(peer->sock, kUnhandledType, body, 0, kMsgAnswer);
            });
            BenchAddRound(&r, a, b);
        }
        char name[64];
        snprintf(name, sizeof name, "frame %zu KB", size >> 10);
        BenchReport(name, r, "raw blocking reads", 1.3, 1e3 / double(frames), "ms");
    }
}

void BenchSession(bool roundTrips, bool objects, bool hide, bool flat, bool frames, const std::vector<int>& sizes) {
    Side client{"client"}, peer{"peer"};
    if (!Start(ClientCommand(), &client) || !Start(PeerCommand(), &peer)) {
        printf("cannot start the client or the peer\n");
        return;
    }
    Accept(&client);
    uint32_t clientWindow = Request(client.sock, kMsgCreate, ClientCreate(kTypeWindow, 0, 0), 1, kMsgAnswer);
    uint32_t peerWindow = Request(peer.sock, kMsgCreate, PeerCreate(kTypeWindow, 0, 0), 1, kMsgAnswer);
    if (!clientWindow || !peerWindow) printf("the parent windows were not made\n");
    if (roundTrips) BenchRoundTrips(&client, clientWindow, &peer);
    if (hide) BenchHiding(&client, &peer);
    if (flat) BenchFlatness(&client, clientWindow);
    if (frames) BenchFrames(&client, &peer);
    if (objects) {
        for (int n : sizes) {
            int rounds = n >= 5000 ? 3 : n >= 1000 ? (gRounds > 5 ? 5 : gRounds) : gRounds;
            BenchCreation(&client, clientWindow, &peer, peerWindow, kTypeLabelText, n, rounds, 1.2);
            BenchCreation(&client, clientWindow, &peer, peerWindow, kTypeWindow, n, rounds, 1.3);
        }
    }
    Stop(&client);
    Stop(&peer);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        printf("usage: session_bench CLIENT.exe PEER.exe [--rounds N] [--only startup|roundtrip|objects|flat|frames] "
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
    if (!Listen()) {
        printf("cannot listen\n");
        return 1;
    }
    if (only.empty() || only == "startup") {
        BenchStartup("start-up to 1100", "");
        if (!gUnixWine.empty()) BenchStartup("start-up from Unix", "\"" + gUnixWine + "\" ");
    }
    if (only.empty() || only == "roundtrip" || only == "objects" || only == "hide" || only == "flat" ||
        only == "frames")
        BenchSession(only.empty() || only == "roundtrip", only.empty() || only == "objects",
                     only.empty() || only == "hide", only.empty() || only == "flat", only.empty() || only == "frames",
                     sizes);
    closesocket(gListen);
    return 0;
}
