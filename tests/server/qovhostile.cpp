// qovhostile.cpp - the hostile-server run: replays the project's own server
// scripts (tests/server/scripts) with seeded mutations - wrong, freed and
// foreign handles, short and long requests, wild counts, frames cut short and
// followed by silence, requests out of order, keep-alive floods, the connection
// closed during waits, requests nested deep inside modal waits, long runs of
// windows made and destroyed, hostile page scripts - each through the scripted
// server in lenient mode against a real client under Wine, many at once, and
// fails on any crash, hang or runaway memory. Every mutant is written out as a script, so one that
// failed can be kept as a named regression script (tests/server/scripts/
// hostile-*.txt, which every run replays first).
//
// Usage: qovhostile --server QOVSERVER.EXE --client QOVTERVEX.EXE --scripts DIR
//          [--out DIR] [--runs N] [--seed S] [--jobs J] [--budget SEC]
//          [--timeout S] [--limit S] [--only I]
//   --runs N     mutants to run (default 300); --seed S the seed (default 20261207)
//   --jobs J     runs at once (default 4)
//   --budget SEC no new run starts after this many seconds (default 150)
//   --timeout S  how long the server waits for one answer (default 3)
//   --limit S    how long the client may take to end once the server closed (default 12)
//   --only I     run mutant I alone (with its seed: to look at a failure again)
//   --deep       also nest requests inside modal waits, make and destroy long
//                runs of windows (with Controls) and run hostile page scripts
//                (those runs start the real page host)
// The CI entry (tests/session/CMakeLists.txt) runs a fixed seed within a few
// minutes; a longer run is started by hand from the win32 build folder, e.g.
//   source ../../scripts/wine-env.sh && trap qov_wine_cleanup EXIT &&
//   wine qovhostile.exe --server qovserver.exe --client qovtervex.exe
//     --scripts Z:$PWD/../../tests/server/scripts --out hostile-long
//     --runs 5000 --jobs 8 --budget 3600 --seed 7
// (one command line).
// Exit status 0 when every run was sound, 1 otherwise.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// ---- Seeded choices ---------------------------------------------------------------

// splitmix64: the same numbers on every platform and compiler.
struct Rng {
    uint64_t s;
    uint64_t Next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
};

// ---- Scripts as lines of words --------------------------------------------------

typedef std::vector<std::string> Words;

static Words SplitLine(const std::string& line) {
    Words w;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isspace(static_cast<unsigned char>(line[i]))) i++;
        if (i >= line.size() || line[i] == '#') break;
        size_t start = i;
        if (line[i] == '"') {
            for (i++; i < line.size() && line[i] != '"'; i++)
                if (line[i] == '\\') i++;
            i++;
        } else {
            while (i < line.size() && !isspace(static_cast<unsigned char>(line[i]))) i++;
        }
        w.push_back(line.substr(start, i - start));
    }
    return w;
}

static std::string JoinLine(const Words& w) {
    std::string s;
    for (const std::string& x : w) s += (s.empty() ? "" : " ") + x;
    return s;
}

struct Script {
    std::string name;
    std::vector<Words> lines;
};

static bool IsSend(const Words& w) { return w.size() >= 2 && w[0] == "send"; }
static uint32_t SendType(const Words& w) { return static_cast<uint32_t>(strtoul(w[1].c_str(), nullptr, 0)); }

// The index of the first field word of a send (after seq=, ack, lzo, cut=).
static size_t FirstField(const Words& w) {
    size_t at = 2;
    while (at < w.size() && (w[at].rfind("seq=", 0) == 0 || w[at] == "ack" || w[at] == "lzo" ||
                             w[at].rfind("cut=", 0) == 0 || w[at].rfind("len=", 0) == 0))
        at++;
    return at;
}

// The word positions of the number operands of a send's fields, with their op.
struct Operand {
    size_t at;
    std::string op;
};
static std::vector<Operand> NumberOperands(const Words& w) {
    std::vector<Operand> out;
    for (size_t i = FirstField(w); i + 1 < w.size(); i++) {
        const std::string& op = w[i];
        if (op == "u8" || op == "u16" || op == "u32" || op == "i32" || op == "u64") {
            out.push_back({i + 1, op});
            i++;
        } else if (op == "text" || op == "textz" || op == "hex") {
            i++;
        } else if (op == "fill") {
            i += 2;
        }
    }
    return out;
}

// Captured names the script has kept up to line n.
static std::vector<std::string> CapturesBefore(const Script& s, size_t n) {
    std::vector<std::string> names;
    for (size_t i = 0; i < n && i < s.lines.size(); i++) {
        const Words& w = s.lines[i];
        for (size_t k = 0; k + 1 < w.size(); k++)
            if (w[k] == "capture") names.push_back(w[k + 1]);
    }
    return names;
}

// The line index of the accept: mutations go after it, so a session opens.
static size_t AfterAccept(const Script& s) {
    for (size_t i = 0; i < s.lines.size(); i++)
        if (IsSend(s.lines[i]) && SendType(s.lines[i]) == 1008) return i + 1;
    return s.lines.size();
}

static std::vector<size_t> SendLines(const Script& s, uint32_t lo, uint32_t hi) {
    std::vector<size_t> at;
    for (size_t i = AfterAccept(s); i < s.lines.size(); i++) {
        const Words& w = s.lines[i];
        if (IsSend(w) && SendType(w) >= lo && SendType(w) <= hi && SendType(w) != 1011) at.push_back(i);
    }
    return at;
}

static bool IsWait(uint32_t type) { return type == 1105 || type == 1121 || type == 2401; }

// ---- Mutations --------------------------------------------------------------------
// Each takes the script, changes it and names the class it applied ("" when it
// found nothing to act on).

constexpr uint32_t kMainWindowHandle = 0xFFFFFFFFu;
constexpr uint32_t kFirstHandle = 0x1000;   // the main window's registry slot, the first print job
constexpr uint32_t kSilenceMs = 2600;       // past the QOVCS_RECVTIMEOUT of the run (2 s)

static std::string Hex(uint64_t v) {
    char b[24];
    snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
    return b;
}

static std::string PickHandle(Rng* r, const std::vector<std::string>& vars, bool* main) {
    *main = false;
    switch (r->Below(7)) {
    case 0: return Hex(r->Next() & 0xFFFFFFFFu);
    case 1: return "0";
    case 2: *main = true; return Hex(kMainWindowHandle);
    case 3: *main = true; return Hex(kFirstHandle);
    case 4: if (!vars.empty()) return "$" + vars[r->Below(static_cast<uint32_t>(vars.size()))] + "+1";
            return Hex(kFirstHandle + 1);
    default: if (!vars.empty()) return "$" + vars[r->Below(static_cast<uint32_t>(vars.size()))];
             return Hex(r->Next() & 0xFFFFu);
    }
}

// An object operation on a random, freed, zero, -1, 0x1000, next or foreign handle.
static std::string MutHandle(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 2401, 2420);
    if (at.empty()) return "";
    size_t line = at[r->Below(static_cast<uint32_t>(at.size()))];
    Words& w = s->lines[line];
    std::vector<Operand> ops = NumberOperands(w);
    if (ops.empty()) return "";
    bool main;
    w[ops[0].at] = PickHandle(r, CapturesBefore(*s, line), &main);
    return main && SendType(w) == 2403 ? "destroy-main" : "handle";
}

// A 1401 that names an old handle to replace.
static std::string MutCreateOld(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 1401, 1401);
    if (at.empty()) return "";
    size_t line = at[r->Below(static_cast<uint32_t>(at.size()))];
    Words& w = s->lines[line];
    std::vector<Operand> ops = NumberOperands(w);
    if (ops.size() < 2) return "";
    bool main;
    w[ops[1].at] = PickHandle(r, CapturesBefore(*s, line), &main);
    return main ? "create-over-main" : "create-old-handle";
}

// A request cut short by whole fields.
static std::string MutShort(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 0, 0xFFFFFFFFu);
    if (at.empty()) return "";
    Words& w = s->lines[at[r->Below(static_cast<uint32_t>(at.size()))]];
    // Cut where a field begins, never inside one.
    std::vector<size_t> starts;
    for (size_t i = FirstField(w); i < w.size(); i++) {
        starts.push_back(i);
        const std::string& op = w[i];
        if (op == "fill") i += 2;
        else if (op != "rest") i++;
    }
    if (starts.empty()) return "";
    w.resize(starts[r->Below(static_cast<uint32_t>(starts.size()))]);
    return "short";
}

// A count, length or value field set to an extreme.
static std::string MutCount(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 0, 0xFFFFFFFFu);
    if (at.empty()) return "";
    Words& w = s->lines[at[r->Below(static_cast<uint32_t>(at.size()))]];
    std::vector<Operand> ops = NumberOperands(w);
    if (ops.empty()) return "";
    const Operand& o = ops[r->Below(static_cast<uint32_t>(ops.size()))];
    static const uint64_t kWild[] = {0xFFFFFFFFu, 0x7FFFFFFF, 0x80000000u, 0x10000, 0x1000001, 51, 101, 4097, 0};
    uint64_t v = kWild[r->Below(sizeof kWild / sizeof kWild[0])];
    if (r->OneIn(3)) v = strtoull(w[o.at].c_str(), nullptr, 0) + (r->OneIn(2) ? 1 : static_cast<uint64_t>(-1));
    uint64_t mask = o.op == "u8" ? 0xFF : o.op == "u16" ? 0xFFFF : o.op == "u64" ? ~0ull : 0xFFFFFFFFull;
    w[o.at] = Hex(v & mask);
    return "count";
}

// Bytes beyond what the request holds.
static std::string MutLong(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 0, 0xFFFFFFFFu);
    if (at.empty()) return "";
    Words& w = s->lines[at[r->Below(static_cast<uint32_t>(at.size()))]];
    w.push_back("fill");
    w.push_back(std::to_string(1 + r->Below(400)));
    w.push_back(Hex(r->Below(256)));
    return "long";
}

// A frame cut short, then silence past the limit; the script ends there.
static std::string MutTruncate(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 0, 0xFFFFFFFFu);
    if (at.empty()) return "";
    size_t line = at[r->Below(static_cast<uint32_t>(at.size()))];
    Words& w = s->lines[line];
    w.insert(w.begin() + 2, "cut=" + std::to_string(1 + r->Below(r->OneIn(2) ? 4 : 40)));
    s->lines.resize(line + 1);
    s->lines.push_back({"sleep", std::to_string(kSilenceMs)});
    return "truncate";
}

// A header whose length lies: too short or too long by a little, below the
// header, beyond the receive buffer, the largest the header holds.
static std::string MutFrameLength(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 0, 0xFFFFFFFFu);
    if (at.empty()) return "";
    static const char* const kClaims[] = {"len=-1", "len=+1", "len=-4", "len=+4", "len=0", "len=4",
                                          "len=7", "len=8", "len=20489", "len=0xFFFFFF"};
    Words& w = s->lines[at[r->Below(static_cast<uint32_t>(at.size()))]];
    w.insert(w.begin() + 2, kClaims[r->Below(sizeof kClaims / sizeof kClaims[0])]);
    return "frame-length";
}

// A flood of keep-alive words between two frames.
static std::string MutFlood(Script* s, Rng* r) {
    size_t from = AfterAccept(*s);
    if (from >= s->lines.size()) return "";
    size_t line = from + r->Below(static_cast<uint32_t>(s->lines.size() - from));
    s->lines.insert(s->lines.begin() + line, Words{"keepalives", std::to_string(1 + r->Below(60000))});
    return "flood";
}

// The connection closed right after a request that waits (1105, 1121, a show).
static std::string MutCloseInWait(Script* s, Rng* r) {
    std::vector<size_t> at;
    for (size_t i : SendLines(*s, 0, 0xFFFFFFFFu))
        if (IsWait(SendType(s->lines[i]))) at.push_back(i);
    if (at.empty()) return "";
    size_t line = at[r->Below(static_cast<uint32_t>(at.size()))];
    s->lines.resize(line + 1);
    s->lines.push_back({"sleep", std::to_string(100 + r->Below(600))});
    s->lines.push_back({"close"});
    return "close-in-wait";
}

// An object destroyed right after its own show was sent (a modal show waits).
static std::string MutDestroyInShow(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 2401, 2401);
    if (at.empty()) return "";
    size_t line = at[r->Below(static_cast<uint32_t>(at.size()))];
    std::vector<Operand> ops = NumberOperands(s->lines[line]);
    if (ops.empty()) return "";
    std::string handle = s->lines[line][ops[0].at];
    s->lines.insert(s->lines.begin() + line + 1, Words{"send", "2403", "u32", handle});
    return "destroy-in-show";
}

// An object destroyed while the client waits for an event.
static std::string MutDestroyInWait(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 1105, 1121);
    std::vector<size_t> waits;
    for (size_t i : at)
        if (IsWait(SendType(s->lines[i]))) waits.push_back(i);
    if (waits.empty()) return "";
    size_t line = waits[r->Below(static_cast<uint32_t>(waits.size()))];
    std::vector<std::string> vars = CapturesBefore(*s, line);
    if (vars.empty()) return "";
    std::string handle = "$" + vars[r->Below(static_cast<uint32_t>(vars.size()))];
    s->lines.insert(s->lines.begin() + line + 1, Words{"send", "2403", "u32", handle});
    return "destroy-in-wait";
}

// An object's parent (property 158) set to itself or to another object.
static std::string MutReparent(Script* s, Rng* r) {
    size_t from = AfterAccept(*s);
    for (int tries = 0; tries < 8 && from < s->lines.size(); tries++) {
        size_t line = from + r->Below(static_cast<uint32_t>(s->lines.size() - from));
        std::vector<std::string> vars = CapturesBefore(*s, line);
        if (vars.empty()) continue;
        std::string a = "$" + vars[r->Below(static_cast<uint32_t>(vars.size()))];
        std::string b = r->OneIn(2) ? a : "$" + vars[r->Below(static_cast<uint32_t>(vars.size()))];
        s->lines.insert(s->lines.begin() + line,
                        Words{"send", "2415", "u32", a, "u32", "158", "i32", b, "u32", "0", "u32", b, "u32", "0",
                              "fill", "20", "0", "u32", "0"});
        return a == b ? "self-parent" : "reparent";
    }
    return "";
}

// A new object whose parent (property 158 of its creation stream) is another
// captured object, or the handle the object itself is about to get (the last
// handle given out plus one).
static std::string MutCreateParent(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 1401, 1401);
    for (int tries = 0; tries < 8 && !at.empty(); tries++) {
        size_t line = at[r->Below(static_cast<uint32_t>(at.size()))];
        Words& w = s->lines[line];
        std::vector<std::string> vars = CapturesBefore(*s, line);
        if (vars.empty()) continue;
        for (size_t i = FirstField(w); i + 3 < w.size(); i++) {
            if (w[i] != "u16" || strtoul(w[i + 1].c_str(), nullptr, 0) != 158 || w[i + 2] != "u32") continue;
            if (r->OneIn(2)) {
                w[i + 3] = "$" + vars.back() + "+1";
                return "self-parent";
            }
            w[i + 3] = "$" + vars[r->Below(static_cast<uint32_t>(vars.size()))];
            return "parent";
        }
    }
    return "";
}

// A request sent twice, or moved earlier, or given another type.
static std::string MutOrder(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 0, 0xFFFFFFFFu);
    if (at.size() < 2) return "";
    size_t a = at[r->Below(static_cast<uint32_t>(at.size()))];
    size_t b = at[r->Below(static_cast<uint32_t>(at.size()))];
    if (r->OneIn(2)) {
        s->lines.insert(s->lines.begin() + b, s->lines[a]);
        return "duplicate";
    }
    if (a == b) return "";
    Words moved = s->lines[a];
    s->lines.erase(s->lines.begin() + a);
    s->lines.insert(s->lines.begin() + (b < a ? b : b - 1), moved);
    return "order";
}

static std::string MutType(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 0, 0xFFFFFFFFu);
    if (at.empty()) return "";
    static const uint32_t kTypes[] = {1008, 1009, 1050, 1058, 1105, 1121, 1124, 1125, 1126, 1151, 1202, 1210,
                                      1401, 2030, 2031, 2032, 2035, 2201, 2401, 2402, 2403, 2407, 2408, 2409,
                                      2410, 2414, 2415, 2416, 2417, 2418, 2420, 2999, 1100, 0};
    Words& w = s->lines[at[r->Below(static_cast<uint32_t>(at.size()))]];
    w[1] = std::to_string(kTypes[r->Below(sizeof kTypes / sizeof kTypes[0])]);
    return "type";
}

// A request inside a bundle, with an acknowledgement wanted.
static std::string MutBundle(Script* s, Rng* r) {
    std::vector<size_t> at = SendLines(*s, 0, 0xFFFFFFFFu);
    if (at.empty()) return "";
    size_t line = at[r->Below(static_cast<uint32_t>(at.size()))];
    if (r->OneIn(2)) {
        s->lines[line].insert(s->lines[line].begin() + 2, "ack");
        return "ack";
    }
    s->lines.insert(s->lines.begin() + line + 1, Words{"end"});
    s->lines.insert(s->lines.begin() + line, Words{"bundle"});
    return "bundle";
}

// A hidden modal window's creation and its show (Window method 1), which waits
// until the window is hidden or destroyed, taking the requests after it nested.
static Words ModalWindowCreate(uint32_t ovar) {
    return SplitLine("send 1401 seq=1 u32 30 u32 0 u32 " + std::to_string(ovar) +
                     " u32 0 u32 0 u32 35 hex 1200C8000000 hex 1F0096000000 hex 23002C010000 hex 0F0078000000"
                     " hex 350001000000 hex 1E800100 text \"N\"");
}
static Words ModalWindowShow(const std::string& handle) {
    return SplitLine("send 2416 u32 " + handle +
                     " hex 1e000000010000000100000000000000000000000800000004000000000000000000000000000000 u32 0");
}

constexpr uint32_t kNestMutMax = 24;        // past the client's bound of 16 nested requests
constexpr uint32_t kNestOvarBase = 9100;

// The rest of the script runs nested: up to kNestMutMax modal windows shown
// each inside the wait of the one before; sometimes they are hidden at the end.
static std::string MutNest(Script* s, Rng* r) {
    size_t from = AfterAccept(*s);
    if (from > s->lines.size()) return "";
    size_t line = from + r->Below(static_cast<uint32_t>(s->lines.size() - from + 1));
    uint32_t depth = 2 + r->Below(kNestMutMax - 1);
    std::vector<Words> add;
    for (uint32_t k = 0; k < depth; k++) {
        add.push_back(ModalWindowCreate(kNestOvarBase + k));
        add.push_back({"expect", "1102", "seq=1", "capture", "nest" + std::to_string(k)});
    }
    for (uint32_t k = 0; k < depth; k++) add.push_back(ModalWindowShow("$nest" + std::to_string(k)));
    s->lines.insert(s->lines.begin() + static_cast<long>(line), add.begin(), add.end());
    if (r->OneIn(2))
        for (uint32_t k = depth; k-- > 0;) s->lines.push_back({"send", "2402", "u32", "$nest" + std::to_string(k)});
    return "nest";
}

constexpr uint32_t kCyclesMin = 50, kCyclesMax = 300;

// A long run of windows made and destroyed, each with an ActiveX Control (the
// test server's, when it is registered) or a button in it.
static std::string MutCycles(Script* s, Rng* r) {
    size_t from = AfterAccept(*s);
    if (from > s->lines.size()) return "";
    size_t line = from + r->Below(static_cast<uint32_t>(s->lines.size() - from + 1));
    uint32_t count = kCyclesMin + r->Below(kCyclesMax - kCyclesMin + 1);
    bool control = r->OneIn(2);
    Words window = SplitLine("send 1401 seq=1 u32 30 u32 0 u32 9200 u32 0 u32 0 u32 35 u16 18 u32 100 u16 31 u32 80"
                             " u16 35 u32 400 u16 15 u32 260 u16 23 u32 1 u16 0x801E u16 1 text \"C\"");
    Words child = SplitLine(control ? "send 1401 seq=2 u32 40 u32 0 u32 9201 u32 1 u32 0 u32 52 u16 158 u32 $cyclew"
                                      " u16 18 u32 20 u16 31 u32 16 u16 35 u32 160 u16 15 u32 100 u16 23 u32 2"
                                      " u16 0x806E u16 12 text \"QovTest.NoUi\""
                                    : "send 1401 seq=2 u32 1 u32 0 u32 9201 u32 1 u32 0 u32 42 u16 158 u32 $cyclew"
                                      " u16 31 u32 2 u16 18 u32 2 u16 15 u32 2 u16 35 u32 10 u16 23 u32 1"
                                      " u16 0x801E u16 2 text \"OK\"");
    std::vector<Words> add;
    for (uint32_t k = 0; k < count; k++) {
        add.push_back(window);
        add.push_back({"expect", "1102", "seq=1", "capture", "cyclew"});
        add.push_back(child);
        add.push_back({"expect", "1102", "seq=2", "rest"});
        add.push_back({"send", "2403", "seq=3", "u32", "$cyclew"});
        add.push_back({"expect", "1102", "seq=3", "rest"});
    }
    s->lines.insert(s->lines.begin() + static_cast<long>(line), add.begin(), add.end());
    return control ? "cycles-control" : "cycles";
}

// Scripts a hostile page runs (JsRun on the CLIENT object): a page that never
// stops announcing events, a flood of notices, malformed events and messages,
// an outsized answer.
static const char* const kPageScripts[] = {
    "setInterval(function(){QovPostEvent({id:2,et:4,ec:32,em:0,ev:0});"
    "chrome.webview.postMessage('{\\\"action\\\":56}');},1);'chatty'",
    "for(var i=0;i<5000;i++)chrome.webview.postMessage('{\\\"action\\\":56}');'flood'",
    "QovPostEvent({id:'x',et:-1,ec:1e12,ev:null});QovPostEvent({});QovPostEvent({id:99999,et:4,ec:32});'bad'",
    "chrome.webview.postMessage('{\\\"action\\\":1}');chrome.webview.postMessage('not json');"
    "chrome.webview.postMessage('{\\\"action\\\":8,\\\"qn\\\":1}');'wild'",
    "new Array(200000).join('ab')",
};

// The text as the script's words have it: a quoted word whose backslashes
// escape the next character.
static size_t UnescapedLength(const char* quoted) {
    size_t n = 0;
    for (const char* p = quoted; *p; p++, n++)
        if (*p == '\\' && p[1]) p++;
    return n;
}

// A page script run by a script whose host window renders in the web view
// (its creation sets WebMode, property 0x157); such runs use the real page host.
static std::string MutPageScript(Script* s, Rng* r) {
    size_t web = s->lines.size();
    for (size_t i = AfterAccept(*s); i < s->lines.size() && web == s->lines.size(); i++)
        if (IsSend(s->lines[i]) && SendType(s->lines[i]) == 1401)
            for (const std::string& word : s->lines[i])
                if (word == "0x157") web = i;
    if (web == s->lines.size()) return "";
    size_t line = web + 1 + r->Below(static_cast<uint32_t>(s->lines.size() - web));
    std::vector<std::string> vars = CapturesBefore(*s, line);
    if (vars.empty()) return "";
    const char* js = kPageScripts[r->Below(sizeof kPageScripts / sizeof kPageScripts[0])];
    std::string handle = "$" + vars[r->Below(static_cast<uint32_t>(vars.size()))];
    Words run = SplitLine("send 2416 u32 " + handle + " u32 57 u32 14 u8 0 u8 0 u16 0 u32 0 u32 1 u32 0 u32 0 u64 0"
                          " u32 0 u32 0 u32 16 u32 " + std::to_string(UnescapedLength(js)) +
                          " u64 80 u32 0 u32 0 text \"" + js + "\"");
    s->lines.insert(s->lines.begin() + static_cast<long>(line), run);
    return "page-script";
}

typedef std::string (*Mutation)(Script* s, Rng* r);
static const Mutation kMutations[] = {
    MutHandle, MutHandle, MutCreateOld, MutShort, MutCount, MutCount, MutLong, MutTruncate, MutFrameLength,
    MutFlood,
    MutCloseInWait, MutDestroyInShow, MutDestroyInWait, MutReparent, MutCreateParent, MutOrder, MutType,
    MutBundle,
};
// With --deep: nesting, long create/destroy runs and page scripts too.
static const Mutation kDeepMutations[] = {MutNest, MutCycles, MutPageScript};

// Mutant n of the seed: one to three mutations of one seed script.
static Script MakeMutant(const std::vector<Script>& seeds, uint64_t seed, uint32_t n, bool deep,
                         std::string* classes) {
    Rng r = {seed * 1000003ull + n};
    Script s = seeds[r.Below(static_cast<uint32_t>(seeds.size()))];
    uint32_t count = 1 + r.Below(3);
    constexpr uint32_t kPlain = sizeof kMutations / sizeof kMutations[0];
    constexpr uint32_t kDeep = sizeof kDeepMutations / sizeof kDeepMutations[0];
    classes->clear();
    for (uint32_t done = 0, tries = 0; done < count && tries < 40; tries++) {
        Script trial = s;
        uint32_t pick = r.Below(deep ? kPlain + kDeep : kPlain);
        std::string cls = (pick < kPlain ? kMutations[pick] : kDeepMutations[pick - kPlain])(&trial, &r);
        if (cls.empty()) continue;
        s = trial;
        *classes += (classes->empty() ? "" : ",") + cls;
        done++;
    }
    return s;
}

// ---- Files ------------------------------------------------------------------------

// Whether a script drives Wine's own VBScript.RegExp object. Such scripts are
// not mutated: Wine's RegExp faults inside its own code when Replace runs with
// "$1"-style references and no Pattern (a mutant that drops the Pattern put
// does exactly that), which ends any program that calls it; the client's own
// decoding of those requests is covered by the automation value fuzz target.
static bool DrivesWineRegExp(const Script& s) {
    for (const Words& w : s.lines)
        for (const std::string& word : w)
            if (word.find("VBScript.RegExp") != std::string::npos) return true;
    return false;
}

static bool ReadScript(const std::string& path, const std::string& name, Script* s) {
    std::ifstream in(path);
    if (!in) return false;
    s->name = name;
    std::string line;
    size_t repeatFrom = 0;
    long repeatTimes = 0;
    while (std::getline(in, line)) {
        Words w = SplitLine(line);
        // Pictures are of no use here and window steps only slow the replay. A
        // wait for a file waits for the test that runs the scene beside it
        // (which makes the file), and a replay has no such test.
        if (w.empty() || w[0] == "screenshot" || w[0] == "expect-window" || w[0] == "exit" || w[0] == "wait-file")
            continue;
        // Repeated steps are written out, so mutations never split a block.
        if (w[0] == "repeat" && w.size() == 2) {
            repeatFrom = s->lines.size();
            repeatTimes = atol(w[1].c_str());
            continue;
        }
        if (w[0] == "end-repeat") {
            std::vector<Words> body(s->lines.begin() + static_cast<long>(repeatFrom), s->lines.end());
            for (long k = 1; k < repeatTimes; k++) s->lines.insert(s->lines.end(), body.begin(), body.end());
            repeatTimes = 0;
            continue;
        }
        s->lines.push_back(w);
    }
    return true;
}

static std::vector<std::string> ListScripts(const std::string& dir, const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\" + pattern).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

static bool WriteScript(const std::string& path, const Script& s, const std::string& header) {
    FILE* f = fopen(path.c_str(), "w");
    if (!f) return false;
    fprintf(f, "%s", header.c_str());
    for (const Words& w : s.lines) fprintf(f, "%s\n", JoinLine(w).c_str());
    return fclose(f) == 0;
}

static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// ---- Runs ---------------------------------------------------------------------------

struct Run {
    std::string label;      // "mutant 17" or a regression script's name
    std::string script;     // the script file
    std::string log;        // the server's (and client's) output
    std::string classes;
    int memoryMb;           // past this commit the client is a runaway
    HANDLE process;
    DWORD started;
    bool done;
    std::string verdict;
};

struct Options {
    std::string server, client, scripts, out = "hostile";
    uint32_t runs = 300, jobs = 4, budget = 150, timeout = 3, limit = 12;
    uint64_t seed = 20261207;
    long long only = -1;
    bool deep = false;
};

static const char kRuntimeVar[] = "QOVCS_WVRUNTIME";
static const char kRecordRuntime[] = "record";

// Past this commit a run is a runaway: a picture may hold the decoders' whole
// 256 MiB ceiling (the budget scene loads one on purpose), and the client's
// own code, heaps and windows come on top of it.
constexpr int kRunawayMemoryMb = 300;

// Seed scripts that hold more than that on purpose, with their own bound: the
// Variant store scene fills the 512 MiB all Variants may hold together, the
// client's own memory on top of it.
struct MemoryAllowance {
    const char* script;
    int mb;
};
static const MemoryAllowance kMemoryAllowances[] = {
    {"automation-variant-store.txt", 700},
};

static int RunawayMemoryMbOf(const std::string& script) {
    for (const MemoryAllowance& a : kMemoryAllowances)
        if (script == a.script) return a.mb;
    return kRunawayMemoryMb;
}

// The whole run of one script may take the client's limit, the silences and
// the answers' waits; past this the server itself is taken as stuck.
constexpr DWORD kRunCeilingMs = 90000;

static bool StartRun(const Options& o, Run* run) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE log = CreateFileA(run->log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return false;
    std::string cmd = "\"" + o.server + "\" --lenient --timeout " + std::to_string(o.timeout) + " --limit " +
                      std::to_string(o.limit) + " --mem-limit " + std::to_string(run->memoryMb) + " --client \"" + o.client + " hostile\" \"" +
                      run->script + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = log;
    si.hStdError = log;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    // A page script needs a page that runs it: such runs start the client's
    // own page host (Node and Chromium) instead of the recording page.
    bool realPage = run->classes.find("page-script") != std::string::npos;
    if (realPage) SetEnvironmentVariableA(kRuntimeVar, nullptr);
    BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (realPage) SetEnvironmentVariableA(kRuntimeVar, kRecordRuntime);
    CloseHandle(log);
    if (!ok) return false;
    CloseHandle(pi.hThread);
    run->process = pi.hProcess;
    run->started = GetTickCount();
    return true;
}

// The verdict of a finished run: "" when sound.
static std::string Judge(Run* run, DWORD code) {
    std::string text = ReadText(run->log);
    // Wine names a crash even with its debug channels off ("wine: Unhandled page
    // fault ..."); where that note reaches the log it counts whatever the exit
    // status says. The status itself (an exception code) is the sure sign.
    if (text.find("Unhandled exception") != std::string::npos || text.find("Unhandled page fault") != std::string::npos ||
        text.find("wine: Unhandled") != std::string::npos)
        return "crash (Wine reports an unhandled exception)";
    switch (code) {
    case 0: return "";
    case 2: return "crash";
    case 3: return "hang";
    case 4: return "memory";
    default: return "the server did not finish (exit " + std::to_string(code) + ")";
    }
}

static void Finish(Run* run, DWORD code) {
    run->verdict = Judge(run, code);
    run->done = true;
    CloseHandle(run->process);
    run->process = nullptr;
}

// Runs everything, jobs at a time, starting none after the budget.
static uint32_t RunAll(const Options& o, std::vector<Run>* runs, uint32_t* started) {
    DWORD begin = GetTickCount();
    size_t next = 0;
    std::vector<Run*> active;
    *started = 0;
    while (next < runs->size() || !active.empty()) {
        bool inBudget = GetTickCount() - begin < o.budget * 1000u;
        while (inBudget && next < runs->size() && active.size() < o.jobs) {
            Run* run = &(*runs)[next++];
            if (!StartRun(o, run)) {
                run->done = true;
                run->verdict = "could not start the server";
                continue;
            }
            active.push_back(run);
            ++*started;
        }
        if (!inBudget) next = runs->size();
        for (size_t i = 0; i < active.size();) {
            Run* run = active[i];
            DWORD w = WaitForSingleObject(run->process, 0);
            if (w == WAIT_OBJECT_0) {
                DWORD code = 1;
                GetExitCodeProcess(run->process, &code);
                Finish(run, code);
            } else if (GetTickCount() - run->started > kRunCeilingMs) {
                TerminateProcess(run->process, 3);
                WaitForSingleObject(run->process, 5000);
                Finish(run, 3);
                run->verdict = "hang (the whole run passed " + std::to_string(kRunCeilingMs / 1000) + " s)";
            } else {
                i++;
                continue;
            }
            if (!run->verdict.empty())
                printf("FAILED %s [%s]: %s; script %s, output %s\n", run->label.c_str(), run->classes.c_str(),
                       run->verdict.c_str(), run->script.c_str(), run->log.c_str());
            active.erase(active.begin() + static_cast<long>(i));
        }
        Sleep(50);
    }
    uint32_t failed = 0;
    for (const Run& run : *runs)
        if (run.done && !run.verdict.empty()) failed++;
    return failed;
}

// Wine starts its debugger on a crash and, on a display, waits on a dialog:
// with the dialog off a crashed client ends at once with its exception status.
static void QuietCrashDialog() {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineDbg", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    DWORD off = 0;
    RegSetValueExA(key, "ShowCrashDialog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
    RegCloseKey(key);
}

static bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--server" && more) o->server = argv[++i];
        else if (a == "--client" && more) o->client = argv[++i];
        else if (a == "--scripts" && more) o->scripts = argv[++i];
        else if (a == "--out" && more) o->out = argv[++i];
        else if (a == "--runs" && more) o->runs = static_cast<uint32_t>(atoi(argv[++i]));
        else if (a == "--seed" && more) o->seed = strtoull(argv[++i], nullptr, 0);
        else if (a == "--jobs" && more) o->jobs = static_cast<uint32_t>(atoi(argv[++i]));
        else if (a == "--budget" && more) o->budget = static_cast<uint32_t>(atoi(argv[++i]));
        else if (a == "--timeout" && more) o->timeout = static_cast<uint32_t>(atoi(argv[++i]));
        else if (a == "--limit" && more) o->limit = static_cast<uint32_t>(atoi(argv[++i]));
        else if (a == "--only" && more) o->only = atoll(argv[++i]);
        else if (a == "--deep") o->deep = true;
        else return false;
    }
    return !o->server.empty() && !o->client.empty() && !o->scripts.empty() && o->jobs > 0;
}

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        printf("usage: qovhostile --server EXE --client EXE --scripts DIR [--out DIR] [--runs N] [--seed S]\n"
               "                  [--jobs J] [--budget SEC] [--timeout S] [--limit S] [--only I] [--deep]\n");
        return 1;
    }
    QuietCrashDialog();
    // A short silence limit, so a cut frame or a stopped server ends a client soon.
    SetEnvironmentVariableA("QOVCS_RECVTIMEOUT", "2");
    // Web-view windows render into the in-process recording page: every run
    // takes the client's web-view paths without starting a browser of its own.
    SetEnvironmentVariableA(kRuntimeVar, kRecordRuntime);
    CreateDirectoryA(o.out.c_str(), nullptr);
    std::vector<Script> seeds;
    std::vector<Run> runs;
    // The kept failures first, as they are (their names carry their class).
    for (const std::string& name : ListScripts(o.scripts, "hostile-*.txt")) {
        if (o.only >= 0) continue;
        Run run = {};
        run.label = name;
        run.script = o.scripts + "\\" + name;
        run.log = o.out + "\\" + name + ".log";
        run.memoryMb = kRunawayMemoryMb;
        run.classes = "regression";
        runs.push_back(run);
    }
    for (const std::string& name : ListScripts(o.scripts, "*.txt")) {
        Script s;
        if (name.rfind("hostile-", 0) != 0 && ReadScript(o.scripts + "\\" + name, name, &s) &&
            !DrivesWineRegExp(s))
            seeds.push_back(s);
    }
    if (seeds.empty()) {
        printf("no scripts in %s\n", o.scripts.c_str());
        return 1;
    }
    for (uint32_t n = 0; n < o.runs; n++) {
        if (o.only >= 0 && n != o.only) continue;
        Run run = {};
        Script m = MakeMutant(seeds, o.seed, n, o.deep, &run.classes);
        char name[64];
        snprintf(name, sizeof name, "mutant-%u", n);
        run.label = name;
        run.memoryMb = RunawayMemoryMbOf(m.name);
        run.script = o.out + "\\" + name + ".txt";
        run.log = o.out + "\\" + name + ".log";
        std::string header = "# hostile mutant " + std::to_string(n) + " of seed " + std::to_string(o.seed) +
                             ": " + run.classes + " on " + m.name + "\n";
        if (!WriteScript(run.script, m, header)) {
            printf("cannot write %s\n", run.script.c_str());
            return 1;
        }
        runs.push_back(run);
    }
    DWORD begin = GetTickCount();
    uint32_t started = 0;
    uint32_t failed = RunAll(o, &runs, &started);
    DWORD seconds = (GetTickCount() - begin) / 1000;
    printf("hostile run: seed %llu, %u of %zu scripts run in %lu s with %u at once, %u failed\n",
           static_cast<unsigned long long>(o.seed), started, runs.size(), static_cast<unsigned long>(seconds), o.jobs,
           failed);
    printf("%u passed, %u failed\n", started - failed, failed);
    return failed ? 1 : 0;
}
