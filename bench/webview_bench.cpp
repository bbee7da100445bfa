// webview_bench.cpp - the page channel's round trip under Wine against the Node
// page host: 1,000 queries (action 9) timed one by one, against the same number
// of raw loopback round trips through the page host's control connection (its
// echo command); prints medians, p95, max and their ratio, and the commands per
// second of batched element commands. Then a 2,000-row, 5-column list view
// flushed whole (markup, post, DOM) against the same markup posted ready-made
// (action 26): both times and the client's share. Then the page on the screen:
// a caption change read back from the screen (desktop DC) in the web view
// against the same change on a native button, and the CPU the client, Node and
// Chromium use together over 10 s with a static page and with a blinking caret,
// against the same 10 s with the window hidden. Run it with
// tests/webview/run-with-pagehost.sh from beside the program (its page files).
// Given the client (webview_bench CLIENT.exe), it first has the host-side bench
// server (bench/session_server, a Linux program; QOV_BENCH_SERVER names it)
// serve it a session, so a Wine-hosted server inflates neither side, and
// times there, round by round and side by side, an edit's text read (2407) through
// the wire in a web window against the same read on a native edit and
// against its floor (that native read and one bare Runtime.evaluate on the
// same page over Chromium's own DevTools WebSocket, timed by the page host
// when QOV_PAGEHOST_FLOOR is set), request by request in turns, 10, 100,
// 1,000 and 10,000 labels made in a web window against as many in a native
// one (a label's cost stays flat as the page fills), the web window in a
// 400 x 240 host page and in a full-screen one (1,220 x 1,020: a label costs
// the same in both), and a form of 100
// controls (a QOF file) loaded into a web window against the same load into a
// native one, each batch and load ended by that read so the page has caught up.
// Those goals (the read against its floor, median and p95, the labels, the
// form load) come from the one goal table, kBenchGoals in bench/benchkit.h.
// Usage: webview_bench [CLIENT.exe] [--only wire|queries|list|screen|cpu]
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "bench/benchsession.h"
#include "forms/qofbuild.h"
#include "session/hoptrace.h"
#include "tests/server/pagecontrol.h"
#include "webview/core/webchannel.h"
#include "webview/controls/weblistview.h"
#include "webview/core/webtext.h"
#include "webview/qovwebview.h"
#include "webview/webglue.h"

namespace {

constexpr int kQueries = 1000;
constexpr int kBatchedCommands = 10000;
constexpr int kListRows = 2000, kListColumns = 5, kListRuns = 5;
constexpr double kGoalClientShare = 0.30;

constexpr int kCaptionChanges = 30;
constexpr double kScreenWaitMs = 3000;
constexpr double kGoalScreenMedianMs = 50.0;
constexpr DWORD kCpuWindowMs = 10000;
constexpr double kCpuSettleMs = 1000;
constexpr double kGoalCpuShare = 0.02;          // of one core
constexpr double kClockTicksPerSecond = 100.0;  // of /proc/PID/stat
const RECT kButtonRect = {10, 10, 130, 40};

WindowRecord gWin;

// One turn of the client's pump: its messages, then what the pages announced
// (their loads and waiting events are fetched, as the client's main loop does;
// inside a reply wait this is left to the wait's caller).
void PumpAll() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    WebViewProcessPending();
}

LRESULT CALLBACK BenchWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(wnd, msg, wp, lp);
}

double NowMs() { return HopClockMs(); }

// Action 9 on the bench's input element.
void AskProp(const char* prop) {
    JsonBeginAction(9);
    JsonAddStringNoConv("en", "#C1");
    JsonAddStringNoConv("pn", prop);
}

struct Stats {
    double median, p95, max;
};

Stats Summary(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[v.size() * 95 / 100], v.back()};
}

// The list view's element in the page, and the list itself filled.
WebListViewRecord* MakeList() {
    WebViewSelectForObject(&gWin.hdr);
    JsonBeginAction(26);
    JsonAddStringNoConv("en", "#qovforms");
    JsonAddStringNoConv("pv", "<div id=\"C2\" class=\"lv\"></div>");
    WebViewMsgEnd();
    ObjectRecord* rec = ObjectAllocRecord(kKindListView, sizeof(WebListViewRecord), true);
    if (!rec) return nullptr;
    rec->parent = &gWin.hdr;
    rec->elementId = 2;
    rec->flags |= kObjShown;
    rec->bgColor = 0xFFFFFF;
    WebListViewRecord* lv = WebListView(rec);
    char text[32];
    for (int c = 0; c < kListColumns; ++c) {
        snprintf(text, sizeof text, "Column %d", c);
        WebListViewInsertColumn(lv, -1, 0, 80, text, static_cast<uint32_t>(strlen(text)), 0, 0);
    }
    for (int r = 0; r < kListRows; ++r) {
        snprintf(text, sizeof text, "Order %d", r);
        WebListViewInsertItem(lv, -1, text, static_cast<uint32_t>(strlen(text)), 0, 0, 0);
        for (int c = 1; c < kListColumns; ++c) {
            snprintf(text, sizeof text, "%d.%02d", r * c, c);
            WebListViewSetItem(lv, r, c, text, static_cast<uint32_t>(strlen(text)));
        }
    }
    return lv;
}

// The flush (markup, post, DOM) against the ready-made markup posted alone;
// each timed until the page answers a query after it.
void ListFlushBench() {
    WebListViewRecord* lv = MakeList();
    if (!lv) {
        printf("FAIL: no list view record\n");
        return;
    }
    std::vector<double> flush, ready;
    std::string markup;
    for (int i = 0; i < kListRuns; ++i) {
        double t0 = NowMs();
        WebListViewQueueRedraw(lv);
        WebFlushRedraws(&lv->hdr);
        WebViewSelectForObject(&gWin.hdr);
        AskProp("value");
        WebViewMsgQuery();
        flush.push_back(NowMs() - t0);
    }
    HtmlReset();
    WebListViewMarkup(lv);
    markup.assign(gHtmlBuf.data, gHtmlBuf.length);
    for (int i = 0; i < kListRuns; ++i) {
        double t0 = NowMs();
        WebViewSelectForObject(&gWin.hdr);
        JsonBeginAction(26);
        JsonAddStringNoConv("en", "#C2");
        JsonAddStringNoConv("pv", markup.c_str());
        WebViewMsgEnd();
        AskProp("value");
        WebViewMsgQuery();
        ready.push_back(NowMs() - t0);
    }
    Stats f = Summary(flush), r = Summary(ready);
    double share = f.median > 0 ? (f.median - r.median) / f.median : 0;
    printf("list view flush (%d x %d): median %.1f ms; ready-made markup (action 26): median %.1f ms\n", kListRows,
           kListColumns, f.median, r.median);
    printf("ratio (flush / ready):  %.2f, the client's share %.0f %% (%zu bytes of markup)\n", f.median / r.median,
           share * 100, markup.size());
    printf("goal client share <= %.0f %%: %s\n", kGoalClientShare * 100, share <= kGoalClientShare ? "met" : "not met");
    WebListViewDestroy(&lv->hdr);
    ObjectFreeRecord(&lv->hdr);
}

// ---- On the screen ------------------------------------------------------------------

// A checksum of what the screen shows in a window's client rectangle.
uint32_t ScreenHash(HWND wnd, const RECT& r) {
    POINT at = {r.left, r.top};
    ClientToScreen(wnd, &at);
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, at.x, at.y, SRCCOPY);
    uint32_t hash = 2166136261u;
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; p && i < static_cast<size_t>(w) * h * 4; i++) hash = (hash ^ p[i]) * 16777619u;
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return hash;
}

// Pumps until the screen in the rectangle differs from before; the time taken
// since t0, or a negative number when it never changed.
double UntilScreenChanges(HWND wnd, const RECT& r, uint32_t before, double t0) {
    while (NowMs() - t0 < kScreenWaitMs) {
        PumpAll();
        if (ScreenHash(wnd, r) != before) return NowMs() - t0;
        Sleep(1);
    }
    return -1;
}

void SetWebCaption(const char* text) {
    WebViewSelectForObject(&gWin.hdr);
    JsonBeginAction(24);
    JsonAddStringNoConv("en", "#C5");
    JsonAddStringNoConv("pn", "textContent");
    JsonAddStringNoConv("pv", text);
    WebViewMsgEnd();
    WebViewMsgFlush();
}

// The same caption change made in the page and on a native button of the same
// size; each timed until the screen shows it.
void ScreenBench() {
    WebViewSelectForObject(&gWin.hdr);
    JsonBeginAction(26);
    JsonAddStringNoConv("en", "#qovforms");
    JsonAddStringNoConv("pv", "<button id=\"C5\" style=\"position:absolute;left:10px;top:10px;width:120px;"
                              "height:30px\">Start</button>");
    WebViewMsgEnd();
    WebViewMsgFlush();
    HWND native = CreateWindowA("QovWebBenchWin", "native", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 440, 0, 200, 120,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND button = CreateWindowA("BUTTON", "Start", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, kButtonRect.left,
                                kButtonRect.top, kButtonRect.right - kButtonRect.left,
                                kButtonRect.bottom - kButtonRect.top, native, nullptr, GetModuleHandleA(nullptr), nullptr);
    // Both shown and settled before the first change.
    double settle = NowMs();
    while (NowMs() - settle < 1000) PumpAll();
    std::vector<double> web, nat;
    int lost = 0;
    for (int i = 0; i < kCaptionChanges; i++) {
        const char* text = i % 2 ? "Start" : "Stop";
        uint32_t before = ScreenHash(gWin.hdr.hwnd, kButtonRect);
        double t0 = NowMs();
        SetWebCaption(text);
        double ms = UntilScreenChanges(gWin.hdr.hwnd, kButtonRect, before, t0);
        if (ms < 0) lost++;
        else web.push_back(ms);
        before = ScreenHash(native, kButtonRect);
        t0 = NowMs();
        SetWindowTextA(button, text);
        ms = UntilScreenChanges(native, kButtonRect, before, t0);
        if (ms < 0) lost++;
        else nat.push_back(ms);
    }
    DestroyWindow(native);
    if (web.empty() || nat.empty()) {
        printf("FAIL: the caption changes never reached the screen\n");
        return;
    }
    Stats w = Summary(web), n = Summary(nat);
    printf("caption on the screen:  web view median %.1f ms (p95 %.1f), native button median %.1f ms (p95 %.1f), "
           "%d of %d never seen\n", w.median, w.p95, n.median, n.p95, lost, 2 * kCaptionChanges);
    printf("ratio (web / native):   median %.1f\n", n.median > 0 ? w.median / n.median : 0.0);
    printf("goal web view median <= %.0f ms: %s\n", kGoalScreenMedianMs,
           w.median <= kGoalScreenMedianMs ? "met" : "not met");
}

// ---- CPU ------------------------------------------------------------------------------

// The CPU ticks (user and system) of a process and all its descendants, read
// from the Unix /proc that Wine shows on drive Z:.
double TreeCpuTicks(unsigned long root) {
    struct Proc {
        unsigned long pid, ppid;
        double ticks;
    };
    std::vector<Proc> procs;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA("Z:\\proc\\*", &found);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        char* end = nullptr;
        unsigned long pid = strtoul(found.cFileName, &end, 10);
        if (!pid || *end) continue;
        char path[64], line[1024] = {};
        snprintf(path, sizeof path, "Z:\\proc\\%lu\\stat", pid);
        FILE* f = fopen(path, "rb");
        if (!f) continue;
        size_t n = fread(line, 1, sizeof line - 1, f);
        fclose(f);
        line[n] = 0;
        // After the command's closing parenthesis: state, ppid, then fields 5-15.
        const char* rest = strrchr(line, ')');
        unsigned long ppid = 0, utime = 0, stime = 0;
        char state = 0;
        if (!rest || sscanf(rest + 1, " %c %lu %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &state, &ppid, &utime,
                            &stime) != 4)
            continue;
        procs.push_back({pid, ppid, static_cast<double>(utime + stime)});
    } while (FindNextFileA(h, &found));
    FindClose(h);
    std::vector<unsigned long> tree = {root};
    double ticks = 0;
    for (size_t i = 0; i < tree.size(); i++)
        for (const Proc& p : procs) {
            if (p.pid == tree[i]) ticks += p.ticks;
            if (p.ppid == tree[i]) tree.push_back(p.pid);
        }
    return ticks;
}

double ClientCpuMs() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto ms = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
}

// The share of one core the client, the page host and its browser use over
// kCpuWindowMs while the client pumps its messages; the client's own part in
// *clientShare. Between messages the client sleeps, as its main loop does
// (a shorter wait here would be a poll of the bench's own).
double CpuShare(unsigned long hostPid, double* clientShare) {
    // What the change before left to do (a new picture painted) is not idle.
    for (double settle = NowMs(); NowMs() - settle < kCpuSettleMs;) {
        PumpAll();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    double host0 = TreeCpuTicks(hostPid), client0 = ClientCpuMs(), t0 = NowMs();
    for (double now = t0; now - t0 < kCpuWindowMs; now = NowMs()) {
        PumpAll();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(kCpuWindowMs - (now - t0)) + 1, QS_ALLINPUT);
    }
    double hostMs = (TreeCpuTicks(hostPid) - host0) * 1000.0 / kClockTicksPerSecond;
    double clientMs = ClientCpuMs() - client0, elapsed = NowMs() - t0;
    *clientShare = clientMs / elapsed;
    return (hostMs + clientMs) / elapsed;
}

void CpuBench() {
    const char* pid = getenv("QOV_PAGEHOST_PID");
    unsigned long hostPid = pid ? strtoul(pid, nullptr, 10) : 0;
    if (!hostPid) {
        printf("CPU: not measured (QOV_PAGEHOST_PID names no page host)\n");
        return;
    }
    ShowWindow(gWin.hdr.hwnd, SW_HIDE);
    double hiddenClient = 0, stillClient = 0, caretClient = 0;
    double hidden = CpuShare(hostPid, &hiddenClient);
    ShowWindow(gWin.hdr.hwnd, SW_SHOW);
    WebWindowHostResize(&gWin.hdr);
    double still = CpuShare(hostPid, &stillClient);
    WebViewSelectForObject(&gWin.hdr);
    JsonBeginAction(26);
    JsonAddStringNoConv("en", "#qovforms");
    JsonAddStringNoConv("pv", "<input id=\"C6\" style=\"position:absolute;left:10px;top:60px\">");
    WebViewMsgEnd();
    JsonBeginAction(30);
    JsonAddStringNoConv("js", "document.getElementById('C6').focus(); 1");
    WebViewMsgQuery();
    double caret = CpuShare(hostPid, &caretClient);
    printf("CPU over %lu s (client, Node, Chromium): static page %.1f %%, blinking caret %.1f %%, window hidden "
           "%.1f %% of one core\n", static_cast<unsigned long>(kCpuWindowMs / 1000), still * 100, caret * 100,
           hidden * 100);
    printf("  of which the client: static %.1f %%, caret %.1f %%, hidden %.1f %%\n", stillClient * 100,
           caretClient * 100, hiddenClient * 100);
    printf("ratio (static / hidden): %.2f\n", hidden > 0 ? still / hidden : 0.0);
    printf("goal static page < %.0f %% of one core: %s\n", kGoalCpuShare * 100, still < kGoalCpuShare ? "met" : "not met");
}

// ---- Through the wire ----------------------------------------------------------------

constexpr int kWireRounds = 15;
constexpr int kReadsPerRound = 40;
// Labels made at a time, and the rounds of each count: the cost of a label
// is to stay flat as the page fills, so the ratio at the largest count is
// held to its ratio at 100 (kLabelsFlatness). A round of 100 labels takes
// some 40 ms a side, and its ratio moves with whatever else the machine runs
// meanwhile: its median is taken over many rounds, and the rounds of every
// count are spread over the same passes (kLabelPasses), so that the counts
// compared meet the same load.
struct LabelCount {
    int labels, rounds;
};
constexpr LabelCount kLabelCounts[] = {{10, 9}, {100, 27}, {1000, 9}, {10000, 3}};
constexpr int kLabelPasses = 27;
constexpr int kGoalLabels = 100;
constexpr double kLabelsFlatness = 1.2;
constexpr uint32_t kFormControls = 100;
constexpr int kFormRounds = 9;
constexpr uint32_t kTypeWindowMethods = 30, kMethodLoadForm = 13;
constexpr uint32_t kFormLoaded = 5 * 65536;   // the load's answer: the form file's version in the high word
constexpr uint32_t kMethodItemSize = 24, kMethodArgsAt = 56;
constexpr uint16_t kCrWebMode = 0x157;
constexpr uint32_t kWebModePage = 2;
// Children are placed in character cells in both modes: ten a row, the edit
// first, the labels in the rows below it, all inside the window.
constexpr BenchGrid kCellGrid = {10, 11, 4, 1, 3, 1, 1};
constexpr int kFirstLabel = 10;
// The windows, side by side on the 1,280 x 1,024 screen, each shown whole
// (a covered window is never painted): the native window and the small host
// page below, the full-screen host page behind them, its web window above.
constexpr BenchWindowPlace kNativePlace = {40, 700, 400, 240};
constexpr BenchWindowPlace kSmallHostPlace = {460, 700, 400, 240};
constexpr BenchWindowPlace kFullHostPlace = {0, 0, 1220, 1020};

struct WireSide {
    uint32_t window, edit;
    std::vector<uint32_t> labels;
};

// The client's session on the host-side bench server: its requests are
// written, read and timed there, as a real server's would be.
uint32_t gSession;

uint32_t Ask(uint32_t type, const std::vector<uint8_t>& body, uint32_t seq, uint32_t answerType) {
    return RemoteRequest(gSession, type, body, seq, answerType);
}

bool ShowObject(uint32_t handle) {
    std::vector<uint8_t> b = Handle(handle);
    b.insert(b.end(), 16, 0);
    return RemoteBatch(gSession, kMsgObjShow, 2, kMsgAnswer, {b}, 1).failures == 0;
}

std::vector<uint8_t> ReadBody(uint32_t edit) {
    std::vector<uint8_t> b = Handle(edit);
    BenchPutU32(&b, 0);
    return b;
}

// The edit's text read, one round trip timed by the server; negative when no
// text answer came.
double ReadText(uint32_t edit) {
    RemoteBatchResult r = RemoteBatch(gSession, kMsgObjGetText, 0, kMsgResultText, {ReadBody(edit)}, 1);
    return r.failures ? -1 : r.seconds;
}

double P95(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() * 95 / 100];
}

// The web read's floor besides the native read: one bare evaluation on the
// page over Chromium's own DevTools WebSocket, timed in the page host (its
// control command floor, offered when QOV_PAGEHOST_FLOOR is set); in
// seconds, or a negative number when the host offers none.
double FloorSeconds() {
    std::string answer;
    if (!PageControlIsOpen() || !PageControlCommand("{\"cmd\":\"floor\"}", &answer, 10000) ||
        !PageControlOk(answer))
        return -1;
    size_t at = answer.find("\"value\":\"");
    return at == std::string::npos ? -1 : atof(answer.c_str() + at + 9) / 1e3;
}

// The posts the newest page has carried out so far (the page host counts
// them); negative when the control connection cannot say.
long PagePosts() {
    std::string answer;
    if (!PageControlIsOpen() || !PageControlCommand("{\"cmd\":\"posts\"}", &answer, 10000) ||
        !PageControlOk(answer))
        return -1;
    size_t at = answer.find("\"value\":\"");
    return at == std::string::npos ? -1 : atol(answer.c_str() + at + 9);
}

struct RoundReads {
    std::vector<double> web, native, floor;
};

// One round of reads, the sides in turns request by request (each pair timed
// by the server, one request alone at a time): the web edit's read and the
// native edit's, then the floor's evaluation. The two reads take turns at
// going first: the one right after another request finds the client (and
// Wine's server) still awake, the one after the floor's call finds them idle,
// and each side gets both alike.
RoundReads TimedReads(uint32_t webEdit, uint32_t nativeEdit, bool* ok) {
    RoundReads r;
    std::vector<uint8_t> webBody = ReadBody(webEdit), nativeBody = ReadBody(nativeEdit);
    RemoteTurn web = {gSession, kMsgObjGetText, 0, kMsgResultText, &webBody};
    RemoteTurn native = {gSession, kMsgObjGetText, 0, kMsgResultText, &nativeBody};
    for (int k = 0; k < kReadsPerRound; k++) {
        double w = 0, n = 0;
        bool answered = k % 2 == 0 ? RemoteAlternate(web, native, 1, &w, &n) : RemoteAlternate(native, web, 1, &n, &w);
        *ok = answered && *ok;
        r.web.push_back(w);
        r.native.push_back(n);
        double floor = FloorSeconds();
        if (floor >= 0) r.floor.push_back(floor);
    }
    return r;
}

// Labels made one request at a time and the edit read after them (both
// timed by the server), then destroyed (not timed); negative when a request
// went unanswered.
double CreateLabels(WireSide* side, int count) {
    std::vector<std::vector<uint8_t>> bodies;
    for (int i = 0; i < count; i++)
        bodies.push_back(ClientCreate(kTypeLabelText, side->window, i + kFirstLabel, {}, kCellGrid));
    RemoteBatchResult made = RemoteBatch(gSession, kMsgCreate, 1, kMsgAnswer, bodies, bodies.size());
    double read = ReadText(side->edit);
    side->labels = made.values;
    std::vector<std::vector<uint8_t>> destroys;
    for (uint32_t h : side->labels)
        if (h) destroys.push_back(Handle(h));
    if (!destroys.empty()) RemoteBatch(gSession, kMsgObjDestroy, 0, kMsgAnswer, destroys, destroys.size());
    return made.failures || read < 0 ? -1 : made.seconds + read;
}

// The load of the machine (Unix /proc/loadavg, on drive Z:), for the lines
// that say what the timings met.
std::string LoadAverage() {
    char line[128] = {};
    FILE* f = fopen("Z:\\proc\\loadavg", "rb");
    if (!f) return "unknown";
    size_t n = fread(line, 1, sizeof line - 1, f);
    fclose(f);
    line[n] = 0;
    line[strcspn(line, "\n")] = 0;
    return line;
}

// The sides of the label rounds: native, the web window in the small host
// page, the one in the full-screen host page.
enum LabelSide { kLabelsNative, kLabelsSmallPage, kLabelsFullPage, kLabelSides };

// What each count measured: the web windows against the native one, and the
// full-screen page against the small one.
struct LabelResults {
    BenchResult small, full, area;
};

// One round of a count, the three sides in turns, the side going first
// changing every round; false when a request went unanswered.
bool LabelsRound(WireSide* const sides[kLabelSides], int labels, int turn, LabelResults* r) {
    double s[kLabelSides] = {};
    for (int k = 0; k < kLabelSides; k++) {
        int side = (turn + k) % kLabelSides;
        s[side] = CreateLabels(sides[side], labels);
        if (s[side] <= 0) return false;
    }
    BenchAddRound(&r->small, s[kLabelsSmallPage], s[kLabelsNative]);
    BenchAddRound(&r->full, s[kLabelsFullPage], s[kLabelsNative]);
    BenchAddRound(&r->area, s[kLabelsFullPage], s[kLabelsSmallPage]);
    return true;
}

// A count's lines: both pages against native (the goals at kGoalLabels, the
// flatness at the largest count against the ratio at kGoalLabels), and the
// full-screen page against the small one from kGoalLabels on.
void ReportLabels(int labels, const LabelResults& r, const LabelResults& atGoal, bool largest) {
    char small[48], full[48], area[48];
    snprintf(small, sizeof small, "web labels 1401 x %d", labels);
    snprintf(full, sizeof full, "full-screen page x %d", labels);
    snprintf(area, sizeof area, "full-screen / small x %d", labels);
    double per = 1e6 / labels;
    if (labels == kGoalLabels) {
        BenchReportGoal(kGoalWebLabels, small, r.small, per, "us");
        BenchReportGoal(kGoalWebLabelsFullPage, full, r.full, per, "us");
    } else if (largest) {
        BenchReportGoalWithin(kGoalWebLabelsFlat, small, r.small, kLabelsFlatness * BenchMedian(atGoal.small.ratios),
                              per, "us");
        BenchReportGoalWithin(kGoalWebLabelsFlat, full, r.full, kLabelsFlatness * BenchMedian(atGoal.full.ratios),
                              per, "us");
    } else {
        BenchReport(small, r.small, "native labels", 0, per, "us");
        BenchReport(full, r.full, "native labels", 0, per, "us");
    }
    if (labels >= kGoalLabels) BenchReportGoal(kGoalWebLabelsPageArea, area, r.area, per, "us");
    else BenchReport(area, r.area, kBenchGoals[kGoalWebLabelsPageArea].reference, 0, per, "us");
}

// Creation at each count, the rounds of every count spread over the same
// passes; each line gives a label's cost on both sides. False when a request
// went unanswered.
bool LabelsBench(WireSide* small, WireSide* full, WireSide* native) {
    WireSide* const sides[kLabelSides] = {native, small, full};
    constexpr int kCounts = int(std::size(kLabelCounts));
    LabelResults made[kCounts];
    int done[kCounts] = {}, turn = 0;
    printf("labels: load at the start %s\n", LoadAverage().c_str());
    for (int pass = 0; pass < kLabelPasses; pass++)
        for (int c = 0; c < kCounts; c++)
            // Round k of a count runs in pass k * kLabelPasses / rounds.
            while (done[c] < kLabelCounts[c].rounds && done[c] * kLabelPasses / kLabelCounts[c].rounds == pass) {
                if (!LabelsRound(sides, kLabelCounts[c].labels, turn++, &made[c])) {
                    printf("FAIL: a label's creation or the read after went unanswered (%d labels)\n",
                           kLabelCounts[c].labels);
                    return false;
                }
                done[c]++;
            }
    printf("labels: load at the end %s\n", LoadAverage().c_str());
    int goalAt = 0;
    for (int c = 0; c < kCounts; c++)
        if (kLabelCounts[c].labels == kGoalLabels) goalAt = c;
    for (int c = 0; c < kCounts; c++) ReportLabels(kLabelCounts[c].labels, made[c], made[goalAt], c == kCounts - 1);
    return true;
}

// The form file: a window and kFormControls buttons, edits, static texts and
// check boxes, twenty a row, written to the temporary folder; its name for a
// load ('!' and the path), or "" when it could not be written.
std::string WriteBenchForm() {
    static const uint8_t kKinds[] = {1, 6, 15, 2};   // button, edit, static text, check box
    qofbuild::Form form;
    form.objects.push_back({"BenchWin", 25, qofbuild::WindowStream("Bench form", 0, 0, 800, 300, true)});
    for (uint32_t i = 0; i < kFormControls; ++i)
        form.objects.push_back({"Obj" + std::to_string(i), kKinds[i % 4],
                                qofbuild::ControlStream("Item " + std::to_string(i), int32_t(i % 20) * 38,
                                                        int32_t(i / 20) * 22, 36, 20)});
    std::vector<uint8_t> bytes = qofbuild::Build(form);
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string path = std::string(dir) + "webview-bench-form.qof";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return "";
    bool written = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    fclose(f);
    return written ? "!" + path : "";
}

// LoadForm (method 13) on a window: the return slot, then one text argument.
std::vector<uint8_t> LoadFormCall(uint32_t window, const std::string& name) {
    std::vector<uint8_t> b = Handle(window);
    BenchPutU32(&b, kTypeWindowMethods);
    BenchPutU32(&b, kMethodLoadForm);
    b.push_back(1), b.push_back(0), BenchPutU16(&b, 0);
    BenchPutU32(&b, 0);
    BenchPutU32(&b, 1);
    auto item = [&b](uint32_t kind, uint32_t size, uint64_t value) {
        BenchPutU32(&b, kind);
        BenchPutU32(&b, size);
        BenchPutU32(&b, uint32_t(value));
        BenchPutU32(&b, uint32_t(value >> 32));
        BenchPutU32(&b, 0);
        BenchPutU32(&b, 0);
    };
    item(8, 4, 0);
    item(16, uint32_t(name.size()), kMethodArgsAt + kMethodItemSize);
    b.insert(b.end(), name.begin(), name.end());
    return b;
}

// An empty window (in the web side's host page: a web window), the form
// loaded into it and the side's edit read after (timed), the window destroyed
// (not timed); 0 when the load was not answered as done.
double LoadFormInto(uint32_t host, const WireSide& side, const std::string& name) {
    uint32_t window = Ask(kMsgCreate, ClientCreate(kTypeWindow, host, host ? 2 : 0), 1, kMsgAnswer);
    if (!window) return 0;
    RemoteBatchResult loaded = RemoteBatch(gSession, kMsgObjMethodCall, 0, kMsgAnswer, {LoadFormCall(window, name)}, 1);
    double read = ReadText(side.edit);
    Ask(kMsgObjDestroy, Handle(window), 0, kMsgAnswer);
    return loaded.failures || loaded.values[0] != kFormLoaded || read < 0 ? 0 : loaded.seconds + read;
}

// Loads in turns, the side going first changing each round.
bool FormLoadBench(uint32_t host, const WireSide& web, const WireSide& native) {
    std::string name = WriteBenchForm();
    if (name.empty()) {
        printf("FAIL: the bench's form file could not be written\n");
        return false;
    }
    BenchResult loads;
    bool ok = true;
    for (int round = 0; round < kFormRounds && ok; round++) {
        double w = 0, n = 0;
        if (round % 2) n = LoadFormInto(0, native, name);
        w = LoadFormInto(host, web, name);
        if (round % 2 == 0) n = LoadFormInto(0, native, name);
        ok = w > 0 && n > 0;
        if (ok) BenchAddRound(&loads, w, n);
    }
    DeleteFileA(name.c_str() + 1);
    if (!ok) printf("FAIL: a form load was not answered as done\n");
    char title[64];
    snprintf(title, sizeof title, "web form load x %u", kFormControls);
    BenchReportGoal(kGoalWebFormLoad, title, loads, 1e3, "ms");
    return ok;
}

// False when a part failed (it says why).
bool WireBench(const char* clientExe) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    gClient = clientExe;
    if (!RemoteConnect()) {
        printf("FAIL: the wire part needs the host-side bench server\n");
        return false;
    }
    gPort = int(gRemoteSessionPort);
    Side client{"client"};
    if (!StartRemote(ClientCommand(), &client)) {
        printf("FAIL: the client did not start\n");
        closesocket(gRemote);
        return false;
    }
    AcceptRemote(&client);
    gSession = client.session;
    WireSide native = {}, web = {}, full = {};
    std::vector<uint8_t> pageMode;
    PutProp(&pageMode, kCrWebMode, kWebModePage);
    uint32_t fullHost = Ask(kMsgCreate, ClientCreate(kTypeWindow, 0, 3, pageMode, kBenchGrid, kFullHostPlace), 1,
                            kMsgAnswer);
    full.window = Ask(kMsgCreate, ClientCreate(kTypeWindow, fullHost, 4), 1, kMsgAnswer);
    native.window = Ask(kMsgCreate, ClientCreate(kTypeWindow, 0, 0, {}, kBenchGrid, kNativePlace), 1, kMsgAnswer);
    uint32_t host = Ask(kMsgCreate, ClientCreate(kTypeWindow, 0, 1, pageMode, kBenchGrid, kSmallHostPlace), 1,
                        kMsgAnswer);
    web.window = Ask(kMsgCreate, ClientCreate(kTypeWindow, host, 2), 1, kMsgAnswer);
    // The full-screen page first, so the others are shown above it.
    bool shown = fullHost && full.window && native.window && host && web.window && ShowObject(fullHost) &&
                 ShowObject(full.window) && ShowObject(native.window) && ShowObject(host) && ShowObject(web.window);
    native.edit = Ask(kMsgCreate, ClientCreate(kTypeEdittext, native.window, 0, {}, kCellGrid), 1, kMsgAnswer);
    web.edit = Ask(kMsgCreate, ClientCreate(kTypeEdittext, web.window, 0, {}, kCellGrid), 1, kMsgAnswer);
    full.edit = Ask(kMsgCreate, ClientCreate(kTypeEdittext, full.window, 0, {}, kCellGrid), 1, kMsgAnswer);
    if (!shown || !native.edit || !web.edit || !full.edit || ReadText(web.edit) < 0 || ReadText(full.edit) < 0) {
        printf("FAIL: the web and native windows were not made\n");
        StopRemote(&client);
        closesocket(gRemote);
        return false;
    }
    // Reads, the sides in turns request by request; the floor is the native
    // read's median and the evaluation's median of the same round.
    std::string error;
    if (!PageControlOpen(10000, &error)) printf("no floor: no control connection: %s\n", error.c_str());
    BenchResult median, p95, floorMedian, floorP95;
    bool ok = true;
    std::vector<double> allWeb, allNative, allFloor;
    long postsBefore = PagePosts();
    for (int round = 0; round < kWireRounds; round++) {
        RoundReads r = TimedReads(web.edit, native.edit, &ok);
        BenchAddRound(&median, BenchMedian(r.web), BenchMedian(r.native));
        BenchAddRound(&p95, P95(r.web), P95(r.native));
        if (!r.floor.empty()) {
            double floor = BenchMedian(r.native) + BenchMedian(r.floor);
            BenchAddRound(&floorMedian, BenchMedian(r.web), floor);
            BenchAddRound(&floorP95, P95(r.web), floor);
        }
        allWeb.insert(allWeb.end(), r.web.begin(), r.web.end());
        allNative.insert(allNative.end(), r.native.begin(), r.native.end());
        allFloor.insert(allFloor.end(), r.floor.begin(), r.floor.end());
    }
    // Each web read is a post to the page: a web window that fell back to
    // something else (no page files, no page host) would time a native read.
    long posted = PagePosts() - postsBefore;
    bool reachedPage = postsBefore >= 0 && posted >= static_cast<long>(allWeb.size());
    PageControlClose();
    if (!ok) printf("FAIL: a text read got no text answer\n");
    if (!reachedPage) {
        printf("FAIL: the web edit's %zu reads made %ld posts to its page: the web side is no page\n", allWeb.size(),
               postsBefore < 0 ? -1L : posted);
        allFloor.clear();
    }
    // Against the native read alone: no goal, the floor below is the measure.
    BenchReport("web edit 2407, median", median, "native edit", 0, 1e3, "ms");
    BenchReport("web edit 2407, p95", p95, "native edit", 0, 1e3, "ms");
    if (allFloor.empty()) {
        printf("FAIL: web read against its floor: not measured (no page, or the page host offers no floor: "
               "QOV_PAGEHOST_FLOOR)\n");
    } else {
        BenchReportGoal(kGoalWebReadMedian, "web 2407 vs floor, median", floorMedian, 1e3, "ms");
        BenchReportGoal(kGoalWebReadP95, "web 2407 vs floor, p95", floorP95, 1e3, "ms");
        printf("%-28s bare Runtime.evaluate over the DevTools WebSocket: median %.3f ms, p95 %.3f ms\n", "  floor:",
               BenchMedian(allFloor) * 1e3, P95(allFloor) * 1e3);
    }
    printf("%-28s web p95 %.2f ms max %.2f ms, native p95 %.2f ms max %.2f ms over %zu reads each\n",
           "  all reads:", P95(allWeb) * 1e3, *std::max_element(allWeb.begin(), allWeb.end()) * 1e3,
           P95(allNative) * 1e3, *std::max_element(allNative.begin(), allNative.end()) * 1e3, allWeb.size());
    bool madeOk = LabelsBench(&web, &full, &native);
    bool loaded = FormLoadBench(host, web, native);
    StopRemote(&client);
    closesocket(gRemote);
    return ok && reachedPage && !allFloor.empty() && madeOk && loaded;
}

// The page's own round trip: queries timed one by one against the control
// connection's echo, then batched element commands. False when an echo is lost.
bool QueryBench() {
    std::string answer;
    std::vector<double> query, raw;
    int missing = 0;
    for (int i = 0; i < kQueries; ++i) {
        WebViewSelectForObject(&gWin.hdr);
        double t0 = NowMs();
        AskProp("value");
        JsonValue* reply = WebViewMsgQuery();
        query.push_back(NowMs() - t0);
        if (!reply) ++missing;
    }
    for (int i = 0; i < kQueries; ++i) {
        double t0 = NowMs();
        if (!PageControlCommand("{\"cmd\":\"echo\",\"text\":\"x\"}", &answer, 10000)) {
            printf("FAIL: the echo did not come back\n");
            return false;
        }
        raw.push_back(NowMs() - t0);
    }
    // Batched element commands: one flush per batch the channel fills.
    double t0 = NowMs();
    for (int i = 0; i < kBatchedCommands; ++i) {
        WebViewSelectForObject(&gWin.hdr);
        JsonBeginAction(24);
        JsonAddStringNoConv("en", "#C1");
        JsonAddStringNoConv("pn", "title");
        JsonAddInt("pv", i);
        WebViewMsgEnd();
    }
    WebViewSelectForObject(&gWin.hdr);
    AskProp("title");
    WebViewMsgQuery();   // the last batch has been carried out when this answers
    double batchedMs = NowMs() - t0;

    Stats q = Summary(query), r = Summary(raw);
    printf("queries (action 9):     median %.3f ms, p95 %.3f ms, max %.3f ms, %d unanswered of %d\n", q.median, q.p95,
           q.max, missing, kQueries);
    printf("raw loopback (echo):    median %.3f ms, p95 %.3f ms, max %.3f ms\n", r.median, r.p95, r.max);
    printf("ratio (query / raw):    median %.2f, p95 %.2f\n", q.median / r.median, q.p95 / r.p95);
    printf("batched commands:       %d in %.1f ms, %.0f per second\n", kBatchedCommands, batchedMs,
           kBatchedCommands * 1000.0 / batchedMs);
    printf("(the query goals are checked through the wire, against a native edit's read in the same run)\n");
    return true;
}

// Whether the part named is to run: all of them when --only names none.
const char* gOnly;
bool Runs(const char* part) { return !gOnly || !strcmp(gOnly, part); }

}  // namespace

int main(int argc, char** argv) {
    const char* clientExe = nullptr;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--only") && i + 1 < argc) gOnly = argv[++i];
        else clientExe = argv[i];
    }
    bool wireOk = !clientExe || !Runs("wire") || WireBench(clientExe);
    if (gOnly && !strcmp(gOnly, "wire")) return wireOk ? 0 : 1;
    WebViewInstallHooks(PumpAll);
    gWebHooks.pageEventDispatch = [](ObjectRecord*, JsonValue*) {};
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BenchWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QovWebBenchWin";
    RegisterClassA(&wc);
    gWin.hdr.kind = kKindWindow;
    gWin.hdr.hwnd = CreateWindowA("QovWebBenchWin", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 420, 300, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (WebWindowCreateHost(&gWin.hdr, 2) != 0 || !gWin.webHost) {
        printf("FAIL: no web view\n");
        return 1;
    }
    std::string error;
    if (!PageControlOpen(10000, &error)) {
        printf("FAIL: no control connection: %s\n", error.c_str());
        return 1;
    }
    WebViewSelectForObject(&gWin.hdr);
    JsonBeginAction(26);
    JsonAddStringNoConv("en", "#qovforms");
    JsonAddStringNoConv("pv", "<input id=\"C1\" value=\"bench\">");
    WebViewMsgEnd();
    WebViewMsgFlush();

    if (Runs("queries") && !QueryBench()) return 1;
    if (Runs("list")) ListFlushBench();
    ShowWindow(gWin.hdr.hwnd, SW_SHOW);
    WebWindowHostResize(&gWin.hdr);
    if (Runs("screen")) ScreenBench();
    if (Runs("cpu")) CpuBench();
    PageControlClose();
    WebWindowHostDestroy(&gWin.hdr);
    DestroyWindow(gWin.hdr.hwnd);
    WebChannelCleanup();
    return wireOk ? 0 : 1;
}
