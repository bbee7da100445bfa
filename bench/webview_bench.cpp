// webview_bench.cpp - the page channel's round trip under Wine against the Node
// page host: 1,000 queries (action 9) timed one by one, against the same number
// of raw loopback round trips through the page host's control connection (its
// echo command); prints medians, p95, max and their ratio, and the commands per
// second of batched element commands. Then a 2,000-row, 5-column list view
// flushed whole (markup, post, DOM) against the same markup posted ready-made
// (action 26): both times and the client's share. Run it with
// tests/webview/run-with-pagehost.sh from beside the program (its page files).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/server/pagecontrol.h"
#include "webview/core/webchannel.h"
#include "webview/controls/weblistview.h"
#include "webview/core/webtext.h"
#include "webview/qovwebview.h"
#include "webview/webglue.h"

namespace {

constexpr int kQueries = 1000;
constexpr int kBatchedCommands = 10000;
constexpr double kGoalMedianMs = 2.0;
constexpr int kListRows = 2000, kListColumns = 5, kListRuns = 5;
constexpr double kGoalClientShare = 0.30;

WindowRecord gWin;

void PumpAll() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

LRESULT CALLBACK BenchWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(wnd, msg, wp, lp);
}

double NowMs() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

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

}  // namespace

int main() {
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
    std::string error, answer;
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
            return 1;
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
    printf("goal median <= %.1f ms: %s\n", kGoalMedianMs, q.median <= kGoalMedianMs ? "met" : "not met");
    ListFlushBench();
    PageControlClose();
    WebWindowHostDestroy(&gWin.hdr);
    DestroyWindow(gWin.hdr.hwnd);
    WebChannelCleanup();
    return 0;
}
