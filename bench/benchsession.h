// benchsession.h - the server's end of a benchmark that runs the shipped
// client (or a peer) as a real session on a loopback port: listening, launching
// a side and taking its connection to its first frame, accepting the session,
// requests answered frame by frame, and the end of the session; served by this
// program itself, or (the ...Remote forms) by the host-side bench server,
// whose session port then stands in gPort.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/benchremote.h"
#include "bench/benchwire.h"
#include "objects/objtables.h"

constexpr DWORD kExitWaitMs = 15000;
constexpr uint32_t kAcceptCode = 9404;

// Create stream property ids (u16 id, u32 value; text: 0x801E, u16 length).
constexpr uint16_t kCrParent = 158, kCrLeft = 18, kCrTop = 31, kCrWidth = 35, kCrHeight = 15, kCrObjectId = 23;
constexpr uint16_t kCrText = 0x801E;
constexpr uint32_t kCrFlagVisible = 1;
constexpr uint32_t kOvar = 100;
constexpr uint32_t kShownWindowOvar = 99;   // below every child's kOvar + i

inline std::string gClient;
inline SOCKET gListen = INVALID_SOCKET;
inline int gPort;

struct Side {
    const char* name;
    PROCESS_INFORMATION pi = {};
    SOCKET sock = INVALID_SOCKET;
    uint32_t session = kCtlNoSession;  // on the host-side server
};

constexpr int kListenBacklog = 4;

inline bool Listen() {
    uint32_t port = 0;
    gListen = ListenOnLoopback(&port, kListenBacklog);
    gPort = static_cast<int>(port);
    return gListen != INVALID_SOCKET;
}

inline bool Launch(const std::string& cmd, Side* side) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &side->pi) != 0;
}

// The next frame of the given type; others (acknowledgements, events) are passed over.
inline bool Await(SOCKET s, uint32_t type, BenchFrame* f) {
    while (BenchRecv(s, f))
        if (f->type == type) return true;
    return false;
}

// Launches a side and takes its connection up to its first frame.
inline bool Start(const std::string& cmd, Side* side) {
    if (!Launch(cmd, side)) return false;
    side->sock = accept(gListen, nullptr, nullptr);
    if (side->sock == INVALID_SOCKET) return false;
    BenchNoDelay(side->sock);
    BenchFrame f;
    return Await(side->sock, kMsgProgramRequest, &f);
}

inline std::vector<uint8_t> AcceptBody() {
    std::vector<uint8_t> b;
    BenchPutU32(&b, kAcceptCode);
    BenchPutU32(&b, 0);
    b.push_back(0), b.push_back(46);
    for (char c : std::string("SPL0")) b.push_back(uint8_t(c));
    return b;
}

inline void Accept(Side* side) { BenchSend(side->sock, kMsgSessionAccept, AcceptBody()); }

inline std::vector<uint8_t> EndSessionBody() {
    std::vector<uint8_t> code;
    BenchPutU32(&code, 0);
    return code;
}

// Waits for a side's process to end (ended by force after kExitWaitMs).
inline void EndProcess(Side* side) {
    if (WaitForSingleObject(side->pi.hProcess, kExitWaitMs) != WAIT_OBJECT_0) TerminateProcess(side->pi.hProcess, 1);
    CloseHandle(side->pi.hProcess);
    CloseHandle(side->pi.hThread);
}

// Ends the session and the process; the side's answers are read to the close.
inline void Stop(Side* side) {
    BenchSend(side->sock, kMsgEndSession, EndSessionBody());
    BenchFrame f;
    while (BenchRecv(side->sock, &f)) {
    }
    closesocket(side->sock);
    EndProcess(side);
    *side = Side{side->name};
}

// The same on the host-side server (RemoteConnect first): the side connects to
// its session port, and the server reads and writes its frames.
inline bool StartRemote(const std::string& cmd, Side* side) {
    if (!Launch(cmd, side)) return false;
    side->session = RemoteTake(kMsgProgramRequest);
    return side->session != kCtlNoSession;
}

inline void AcceptRemote(Side* side) { RemoteSend(side->session, kMsgSessionAccept, AcceptBody()); }

inline void StopRemote(Side* side) {
    RemoteSend(side->session, kMsgEndSession, EndSessionBody());
    RemoteClose(side->session);
    EndProcess(side);
    *side = Side{side->name};
}

inline void PutProp(std::vector<uint8_t>* s, uint16_t id, uint32_t v) {
    BenchPutU16(s, id);
    BenchPutU32(s, v);
}

inline uint32_t Request(SOCKET s, uint32_t type, const std::vector<uint8_t>& body, uint32_t seq, uint32_t answerType) {
    BenchFrame f;
    if (!BenchSend(s, type, body, seq) || !Await(s, answerType, &f) || f.body.size() < 4) return 0;
    return BenchGetU32(f.body.data());
}

inline std::vector<uint8_t> Handle(uint32_t h) {
    std::vector<uint8_t> b;
    BenchPutU32(&b, h);
    return b;
}

inline std::string ClientCommand() {
    return "\"" + gClient + "\" -host 127.0.0.1 -port " + std::to_string(gPort) + " bench.qoc";
}

// Where the children of a window go: place i of a grid of `columns` a row,
// counted from `origin` (character cells count from 1).
struct BenchGrid {
    uint32_t columns, rows, stepX, stepY, width, height, origin;
};
constexpr BenchGrid kBenchGrid = {20, 30, 38, 22, 36, 20, 0};

// Where a window goes (its left, top, width and height).
struct BenchWindowPlace {
    uint32_t left, top, width, height;
};
constexpr BenchWindowPlace kBenchWindowPlace = {40, 40, 400, 240};

// A create request for the client: a child object (a label: its text shown)
// at place i of the grid in `parent`, or a hidden window (in `parent` when one
// is named) at `place`; `extra` is appended to the property stream.
inline std::vector<uint8_t> ClientCreate(uint32_t type, uint32_t parent, int i,
                                         const std::vector<uint8_t>& extra = {}, const BenchGrid& grid = kBenchGrid,
                                         const BenchWindowPlace& place = kBenchWindowPlace) {
    std::vector<uint8_t> stream;
    bool child = type != kTypeWindow;
    const char* text = type == kTypeLabelText ? "Item" : child ? "" : "Bench window";
    uint32_t at = uint32_t(i);
    if (parent) PutProp(&stream, kCrParent, parent);
    PutProp(&stream, kCrLeft, child ? grid.origin + at % grid.columns * grid.stepX : place.left);
    PutProp(&stream, kCrTop, child ? grid.origin + at / grid.columns % grid.rows * grid.stepY : place.top);
    PutProp(&stream, kCrWidth, child ? grid.width : place.width);
    PutProp(&stream, kCrHeight, child ? grid.height : place.height);
    PutProp(&stream, kCrObjectId, uint32_t(i + 2));
    if (*text) {
        BenchPutU16(&stream, kCrText);
        BenchPutU16(&stream, uint16_t(strlen(text)));
        for (const char* p = text; *p; p++) stream.push_back(uint8_t(*p));
    }
    stream.insert(stream.end(), extra.begin(), extra.end());
    std::vector<uint8_t> b;
    BenchPutU32(&b, type);
    BenchPutU32(&b, 0);
    BenchPutU32(&b, kOvar + uint32_t(i));
    BenchPutU32(&b, child ? kCrFlagVisible : 0);
    BenchPutU32(&b, 0);
    BenchPutU32(&b, uint32_t(stream.size()));
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
}

// A create request for the client: a window of the size, shown (and so
// activated) when it is made.
inline std::vector<uint8_t> ClientShownWindow(uint32_t width, uint32_t height) {
    std::vector<uint8_t> stream;
    PutProp(&stream, kCrLeft, 40);
    PutProp(&stream, kCrTop, 40);
    PutProp(&stream, kCrWidth, width);
    PutProp(&stream, kCrHeight, height);
    PutProp(&stream, kCrObjectId, 1);
    std::vector<uint8_t> b;
    BenchPutU32(&b, kTypeWindow);
    BenchPutU32(&b, 0);
    BenchPutU32(&b, kShownWindowOvar);
    BenchPutU32(&b, kCrFlagVisible);
    BenchPutU32(&b, 0);
    BenchPutU32(&b, uint32_t(stream.size()));
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
}
