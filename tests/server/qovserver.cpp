// qovserver.cpp - the scripted loopback server of the tests and the demo: it
// listens on 127.0.0.1 (and ::1 when the system has it), optionally starts the
// client against itself, and runs a script of send and expect steps over the
// client's wire protocol, checking every answer. Exit status 0 when every step
// and the client's exit code matched, 1 otherwise.
//
// Usage: qovserver [--port N] [--client "program args"] [--timeout S] [--lenient
//                  [--limit S] [--mem-limit MB]] [--define NAME=VALUE]
//                  [--transcript FILE] [--skip-page-steps] script
//   --client runs "program -host 127.0.0.1 -port N args" once listening.
//   --timeout: how long one expect waits (the client gets three times as long to end).
//   --lenient replays a script against a client that may answer anything (the
//     hostile-server run, tests/server/qovhostile.cpp): answers are not checked,
//     the script stops where the client stops answering, closes or ends, the server
//     then closes the connection, and the run fails only when the client
//     crashes, does not end within --limit seconds (default 3 x --timeout) or
//     uses more than --mem-limit MB (default 512). Exit status 0 sound, 2 crash,
//     3 hang, 4 memory; a line "HOSTILE: ..." names it.
//   --define sets $NAME before the script runs (a twin script's differences).
//   --transcript writes what each expect step received, captured values by
//   their names and skipped bytes in hex, for comparing two runs; each WINDOW
//   created and captured has its Width and Height asked and written there too.
//   --skip-page-steps notes the page steps without running them (the native
//   twin of a web-view script); without it, steps written "native STEP" (what
//   only the native twin waits for, such as its pop-up menu) are noted instead.
//   Steps written "web STEP" run only without it. Neither kind's expects go
//   into the transcript: what differs between the twins is named there by a
//   "difference NAME "TEXT"" step instead (TEXT: its line in docs/protocol.md,
//   which tests/webview/twin.sh checks is there).
//
// Script lines (# starts a comment; numbers are decimal or 0x hex):
//   send TYPE [seq=N] [ack] [lzo] [cut=N] [len=N] FIELDS
//                                            one message (cut: only its first N bytes;
//                                            len: the header claims length N, or with
//                                            a sign the true length plus N)
//   bundle [seq=N] ... end                   the sends between go as one bundle
//   expect TYPE [seq=N] FIELDS               the next message the client sent
//   expect-bundle N                          the next frame is a bundle of N members
//   expect-keepalive                         the lone keep-alive word arrives next
//   expect-closed                            the client closes the connection
//   send-unread TYPE FIELDS                  a server that has stopped reading: the
//                                            message again and again, none of the
//                                            client's answers read, until the client
//                                            has ended (30 s unless "within MS"); how
//                                            long it took is noted
//   keepalives N                             N keep-alive words in one go
//   swapped                                  from here on both ways are byte-swapped
//   raw HEX                                  bytes sent as they are
//   close                                    the server closes the connection
//   sleep MS
//   answered-within MS                       the last expect's message came at most
//                                            MS after the last send
//   exit CODE                                the client must end with this code
//   expect-peak-memory below MB              the client's largest commit so far is
//                                            under MB megabytes (Windows builds)
//   screenshot FILE                          the screen as a 24-bit BMP in FILE,
//                                            taken once it has stopped changing
//   expect-window "TITLE" STATE              a top window with that title is
//                                            visible, hidden or absent, or is
//                                            being moved or sized by its thread's
//                                            own loop: sizing (waits up to 30 s
//                                            for the state to arrive)
//   expect-class "CLASS" STATE               the same for a top window of a class
//                                            ("#32768": an open pop-up menu)
//   wait-file "NAME"                          waits (60 s unless "within MS") until
//                                            the file NAME exists: the test around
//                                            the scene says when it may go on
//   drain-events                             polls (1050) until no event waits: what
//                                            was raised before a stop (a timer's
//                                            ticks) is taken and noted, not expected
//   expect-value $OBJ VALUE [which=N]        asks the object's value (2408) again
//                                            and again until it is VALUE (30 s)
//   post-message "TITLE" MSG [WP [LP]]       PostMessage to that top window, as a
//                                            user's click or key would arrive
//   send-message "TITLE" MSG [WP [LP]]       the same, but returns only once the
//                                            client's window has handled it (10 s
//                                            at most), so what it raises is queued
//                                            before the next step
//   page-click SEL [BUTTON] [MODIFIER...]    real input in the web view's page
//   page-dblclick SEL                        (through the page host's control
//   page-type SEL "TEXT"                     connection, whose port file is
//   page-press SEL KEY                       QOV_PAGEHOST_CONTROL_FILE: set here
//   page-drag SEL DX DY                      for the client when not given)
//   page-expect SEL WHAT "VALUE"             a check that must come true within
//                                            30 s: WHAT is exists, absent, text, value,
//                                            class, attr:NAME, css:NAME, prop:NAME,
//                                            px:left/top/width/height, pixel,
//                                            scrolled (start, middle or end) or
//                                            selection (the page's selected text)
//   page-box NAME SEL                        the element's box in page pixels (the
//                                            host window's client pixels) as $NAME_L,
//                                            $NAME_T, $NAME_R, $NAME_B, its centre as
//                                            $NAME_X, $NAME_Y (a twin's native run,
//                                            which skips it, has them by --define)
//   page-posts NAME SEL                      the posts the page holding SEL has
//                                            carried out so far (counted by the page
//                                            host), as $NAME
//   page-screenshot FILE [SEL]               the page (or one element) as PNG
//   page-eval "JS"                           runs JS in the page (a test plants a
//                                            fault in the web run with it)
//   twin-screenshot NAME "TITLE" SEL [frame] a twin window's client area: the page's
//                                            element SEL in the web view, the top
//                                            window TITLE natively (see below);
//                                            with "frame" the native window whole
//   page-quit                                the page host ends itself at once
//   page-pause / page-resume                 the page host stops reading its views'
//                                            connections (a stopped host: posts are
//                                            not acknowledged), then reads them again
//   mouse TARGET down|up|move|dblclick left|right X Y
//                                            a press, release, move or double click
//                                            at X Y of a window (SendInput); the
//                                            pointer is there, and the display has
//                                            reported it there, before it goes out
//   wheel TARGET X Y NOTCHES                 the wheel turned NOTCHES detents at X Y
//                                            of a window (SendInput; negative:
//                                            towards the user, scrolling down)
//   post-message / send-message / mouse / wheel / keys / expect-pixel aimed
//   at a window by a captured $NAME handle: see "Targeted window steps" below
//   click "TITLE" "BUTTON"                   posts BM_CLICK to the button of that
//                                            top window whose text is BUTTON ('&'
//                                            ignored on both sides); waits up to
//                                            30 s for the window and the button
//   clipboard-set "TEXT"                     puts TEXT (UTF-8; "" empties it) on the
//                                            Windows clipboard as Unicode text
//   clipboard-expect "TEXT"                  the clipboard's Unicode text is TEXT
//                                            (waits up to 30 s, as another program
//                                            reading it would)
//   set-text "TITLE" ID "TEXT"               sets the text of child ID of that
//                                            top window (waits as click does)
//   repeat N ... end-repeat                  the steps between, N times in all
//   measure NAME WHAT ["PATTERN"]            keeps a count of the client as $NAME:
//                                            WHAT is handles (its open handles),
//                                            memory-kb (its commit) or files (the
//                                            files in the temporary folder that
//                                            match PATTERN, "*" when not given)
//   expect-at-most NAME LIMIT                $NAME must not exceed LIMIT (a number
//                                            or $BASE+N): flat counts over a long run
// Time is explicit: a step that waits for a state (expect-window, expect-class,
// expect-value, expect-pixel, page-expect, click, set-text) takes "within MS"
// at its end for a deadline of its own. The wait ends as soon as the state is
// there, so a deadline only costs time on failure; keep them generous, and
// keep "sleep" for pauses that are themselves what a script tests (a stall, a
// silence limit), each with a comment that says so.
// FIELDS: u8/u16/u32/i32/u64 N, text "s" (no NUL), textz "s" (with NUL),
//   file "path" (send only: the file's bytes), filesize "path" (its size, u32),
//   fill N BYTE, hex HEX, any N (expect only: skip N bytes), rest (expect only:
//   ignore the remainder), contains "s" (expect only: the body holds s),
//   capture NAME (expect only: keeps the u32 found there as $NAME).
// Wherever a number goes, $NAME stands for a captured value: a handle the client
// answered can be sent back in later requests and compared in later answers;
// $NAME+N stands for the captured value plus N.
// The window steps need the Windows build (the server then shares the client's
// Wine display); the host build reports them as failures.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <psapi.h>
typedef SOCKET Sock;
static const Sock kNoSock = INVALID_SOCKET;
static void CloseSock(Sock s) { closesocket(s); }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
typedef int Sock;
static const Sock kNoSock = -1;
static void CloseSock(Sock s) { close(s); }
#endif

#include "session/proto/wire.h"
#include "tests/server/pagecontrol.h"
#include "tests/server/recvwithin.h"
#ifdef _WIN32
#include "tests/sendinput.h"
#endif

// ---- Script -----------------------------------------------------------------

enum StepKind { kStepSend, kStepBundleBegin, kStepBundleEnd, kStepExpect, kStepExpectBundle, kStepExpectKeepAlive,
                kStepExpectClosed, kStepSwapped, kStepRaw, kStepClose, kStepSleep, kStepExit,
                kStepScreenshot, kStepExpectWindow, kStepPostMessage, kStepSendMessage, kStepKeepAlives, kStepPage, kStepTargeted,
                kStepClick, kStepSetText, kStepExpectPeakMemory, kStepAnsweredWithin, kStepExpectValue, kStepDrainEvents, kStepDifference, kStepWaitFile, kStepMeasure,
                kStepAtMost, kStepTwinShot, kStepSendUnread, kStepClipboard };

struct Field {
    std::string op;     // u8 u16 u32 i32 u64 text textz fill hex any rest contains capture
    long long num;
    long long num2;
    std::string text;
    std::string var;    // $NAME in place of num, or the name a capture stores
};

struct Step {
    StepKind kind;
    int line;
    uint32_t type;
    int seq;            // -1 = not given
    bool ack;
    bool lzo;
    long long cut;      // send: only this many bytes go (0: the whole message)
    bool lenSet;        // send: the header claims a length of its own
    bool lenRelative;   //   len=+N / len=-N: the true length plus N
    long long len;
    std::vector<Field> fields;
    std::vector<uint8_t> raw;
    std::string text;   // file, window title or state of the window steps
    long long args[3];  // message, wParam, lParam of post-message
    int waitMs;         // "within MS": how long a waiting step may wait (0: its default)
    bool nativeOnly;    // "native STEP": run only in a twin's native run
    bool webOnly;       // "web STEP": run only in a twin's web-view run
};

static bool gSwapped = false;
#ifdef _WIN32
static HANDLE gChild = nullptr;  // the client --client started
#else
static pid_t gChild = 0;
#endif
static size_t gPeakMemory = 0;   // the client's largest commit seen, in bytes (sampled)
static int gTimeoutSec = 20;
static int gFailures = 0;
static bool gLenient = false;   // --lenient: a hostile replay, answers unchecked
static bool gLinkDown = false;  // lenient: the client closed or stopped answering
static FILE* gTranscript = nullptr;
static bool gSkipPageSteps = false;
// The default deadlines of the waiting steps: reached only when the state
// never comes, so they are long enough for a two-core machine busy with the
// rest of the suite, where a scene can take ten times as long as alone.
constexpr int kPageExpectMs = 30000;
[[maybe_unused]] constexpr int kWindowWaitMs = 30000;
[[maybe_unused]] constexpr int kPixelWaitMs = 30000;
constexpr int kValueWaitMs = 30000;
constexpr int kFileWaitMs = 60000;
[[maybe_unused]] constexpr int kUnreadWaitMs = 30000;
constexpr int kPollMs = 50;
// How long the page host may take to answer a page step beyond the step's
// own deadline (a page-expect waits in the host, up to that deadline).
constexpr int kPageAnswerMs = 15000;
constexpr int kPageOpenWaitMs = 30000;

static void Note(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    printf("\n");
    fflush(stdout);
}

static void Fail(int line, const char* fmt, ...) {
    char text[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof(text), fmt, ap);
    va_end(ap);
    // A hostile replay expects answers to differ: they are only noted.
    printf("%s (script line %d): %s\n", gLenient ? "note" : "FAIL", line, text);
    fflush(stdout);
    if (!gLenient) gFailures++;
}

static bool ParseNum(const std::string& s, long long* v) {
    if (s.empty()) return false;
    char* end = nullptr;
    *v = strtoll(s.c_str(), &end, 0);
    return *end == 0;
}

static bool ParseHex(const std::string& s, std::vector<uint8_t>* out) {
    if (s.size() % 2) return false;
    for (size_t i = 0; i < s.size(); i += 2) {
        unsigned v;
        if (sscanf(s.substr(i, 2).c_str(), "%2x", &v) != 1) return false;
        out->push_back(static_cast<uint8_t>(v));
    }
    return true;
}

// Splits a line into words; "quoted text" is one word (with \n, \\ and \").
static std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isspace(static_cast<unsigned char>(line[i]))) i++;
        if (i >= line.size() || line[i] == '#') break;
        std::string w;
        if (line[i] == '"') {
            w = "\"";
            for (i++; i < line.size() && line[i] != '"'; i++) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    i++;
                    w += line[i] == 'n' ? '\n' : line[i];
                } else {
                    w += line[i];
                }
            }
            i++;
        } else {
            while (i < line.size() && !isspace(static_cast<unsigned char>(line[i]))) w += line[i++];
        }
        words.push_back(w);
    }
    return words;
}

// $NAME or $NAME+N (N may be negative: $NAME+-4): a captured value plus N
// (handles given out in a row, a point inside a captured box).
static bool ParseVarRef(const std::string& word, Field* f) {
    f->var = word.substr(1);
    size_t plus = f->var.find('+');
    if (plus == std::string::npos) return !f->var.empty();
    if (!ParseNum(f->var.substr(plus + 1), &f->num)) return false;
    f->var.resize(plus);
    return !f->var.empty();
}

static bool ParseFields(const std::vector<std::string>& w, size_t from, Step* st) {
    for (size_t i = from; i < w.size();) {
        Field f = {w[i], 0, 0, "", ""};
        const std::string& op = w[i++];
        auto need = [&](int n) { return i + n <= w.size(); };
        if (op == "u8" || op == "u16" || op == "u32" || op == "i32" || op == "u64" || op == "any") {
            if (!need(1)) return false;
            if (op != "any" && w[i].size() > 1 && w[i][0] == '$') {
                if (!ParseVarRef(w[i++], &f)) return false;
            } else if (!ParseNum(w[i++], &f.num)) return false;
        } else if (op == "capture") {
            if (!need(1) || w[i].empty() || w[i][0] == '"') return false;
            f.var = w[i++];
        } else if (op == "text" || op == "textz" || op == "contains" || op == "file" || op == "filesize") {
            if (!need(1) || w[i][0] != '"') return false;
            f.text = w[i++].substr(1);
        } else if (op == "fill") {
            if (!need(2) || !ParseNum(w[i], &f.num) || !ParseNum(w[i + 1], &f.num2)) return false;
            i += 2;
        } else if (op == "hex") {
            std::vector<uint8_t> b;
            if (!need(1) || !ParseHex(w[i++], &b)) return false;
            f.text.assign(b.begin(), b.end());
        } else if (op == "rest") {
        } else {
            return false;
        }
        st->fields.push_back(f);
    }
    return true;
}

// A word as written: quoted words come from SplitWords with a leading '"'.
static std::string Word(const std::string& w) { return !w.empty() && w[0] == '"' ? w.substr(1) : w; }

// The control command of a page step, kept as its JSON text.
static bool ParsePageStep(const std::string& cmd, const std::vector<std::string>& w, Step* st) {
    auto q = [](const std::string& t) { return PageControlQuote(t); };
    if (cmd == "page-quit" && w.size() == 1) {
        st->text = "{\"cmd\":\"quit\"}";
        return true;
    }
    if ((cmd == "page-pause" || cmd == "page-resume") && w.size() == 1) {
        st->text = cmd == "page-pause" ? "{\"cmd\":\"pause\"}" : "{\"cmd\":\"resume\"}";
        return true;
    }
    if (w.size() < 2) return false;
    std::string sel = q(Word(w[1]));
    if (cmd == "page-click" || cmd == "page-dblclick") {
        std::string json = "{\"cmd\":\"" + cmd.substr(5) + "\",\"sel\":" + sel;
        if (w.size() > 2) json += ",\"button\":" + q(Word(w[2]));
        if (w.size() > 3) {
            json += ",\"modifiers\":[";
            for (size_t k = 3; k < w.size(); k++) json += (k > 3 ? "," : "") + q(Word(w[k]));
            json += "]";
        }
        st->text = json + "}";
        return cmd == "page-click" || w.size() == 2;
    }
    if (cmd == "page-type" && w.size() == 3) {
        st->text = "{\"cmd\":\"type\",\"sel\":" + sel + ",\"text\":" + q(Word(w[2])) + "}";
        return true;
    }
    if (cmd == "page-press" && w.size() == 3) {
        st->text = "{\"cmd\":\"press\",\"sel\":" + sel + ",\"key\":" + q(Word(w[2])) + "}";
        return true;
    }
    long long dx = 0, dy = 0;
    if (cmd == "page-drag" && w.size() == 4 && ParseNum(w[2], &dx) && ParseNum(w[3], &dy)) {
        st->text = "{\"cmd\":\"drag\",\"sel\":" + sel + ",\"dx\":" + std::to_string(dx) + ",\"dy\":" +
                   std::to_string(dy) + "}";
        return true;
    }
    if (cmd == "page-expect" && w.size() == 4) {
        st->text = "{\"cmd\":\"expect\",\"sel\":" + sel + ",\"what\":" + q(Word(w[2])) + ",\"value\":" +
                   q(Word(w[3])) + ",\"timeout\":" + std::to_string(st->waitMs ? st->waitMs : kPageExpectMs) + "}";
        return true;
    }
    if (cmd == "page-box" && w.size() == 3 && w[1][0] != '"' && w[1][0] != '$') {
        // The element's box in page pixels (the host's client pixels), read
        // by the page itself; the answer is "LEFT TOP RIGHT BOTTOM" or "".
        sel = q(Word(w[2]));
        std::string js = "(function(){var e=document.querySelector(" + sel +
                         ");if(!e)return '';var r=e.getBoundingClientRect();"
                         "return [r.left,r.top,r.right,r.bottom].map(Math.round).join(' ');})()";
        st->text = "{\"cmd\":\"eval\",\"sel\":" + sel + ",\"timeout\":" +
                   std::to_string(st->waitMs ? st->waitMs : kPageExpectMs) + ",\"js\":" + q(js) + "}";
        st->fields.push_back(Field{"box", 0, 0, w[1], ""});
        return true;
    }
    if (cmd == "page-posts" && w.size() == 3 && w[1][0] != '"' && w[1][0] != '$') {
        st->text = "{\"cmd\":\"posts\",\"sel\":" + q(Word(w[2])) + "}";
        st->fields.push_back(Field{"posts", 0, 0, w[1], ""});
        return true;
    }
    if (cmd == "page-eval" && w.size() == 2) {
        st->text = "{\"cmd\":\"eval\",\"js\":" + q(Word(w[1])) + "}";
        return true;
    }
    if (cmd == "page-screenshot" && (w.size() == 2 || w.size() == 3)) {
        // The page host writes the file: a Unix path, the current folder's when relative.
        std::string file = Word(w[1]);
        st->raw.assign(file.begin(), file.end());
        st->text = w.size() == 3 ? q(Word(w[2])) : "";
        return true;
    }
    return false;
}

// Steps aimed at a window by title or by a captured handle (defined with
// their runner below): true when the line is one of them, *ok whether it read.
static bool ParseTargetedStep(const std::string& cmd, const std::vector<std::string>& w, Step* st, bool* ok);
static void RunTargetedStep(const Step& st);
static bool TargetedNumber(const std::string& word, const char* role, Step* st);
// The twin screenshot step (defined with its runner below).
static bool ParseTwinShot(const std::vector<std::string>& w, Step* st);

// Steps that wait for a state and so take "within MS" at their end.
static bool TakesWithin(const std::string& cmd) {
    static const char* const kWaiting[] = {"expect-window", "expect-class", "expect-value", "expect-pixel",
                                           "page-expect", "page-box", "click", "set-text", "wait-file", "clipboard-expect",
                                           "send-unread"};
    for (const char* k : kWaiting)
        if (cmd == k) return true;
    return false;
}

// Takes a trailing "within MS" off the words into the step's deadline; false
// when it stands on a step that does not wait.
static bool StripWithin(std::vector<std::string>* w, Step* st) {
    long long ms = 0;
    size_t n = w->size();
    if (n < 3 || (*w)[n - 2] != "within") return true;
    if (!TakesWithin((*w)[0]) || !ParseNum((*w)[n - 1], &ms) || ms <= 0) return false;
    st->waitMs = static_cast<int>(ms);
    w->resize(n - 2);
    return true;
}

// expect-value $OBJ VALUE [which=N]: the object and the value as fields, the
// value's selector (1 unless given) in args[0].
static bool ParseExpectValue(const std::vector<std::string>& w, Step* st) {
    if (w.size() < 3 || w.size() > 4) return false;
    st->args[0] = 1;
    if (w.size() == 4 && (w[3].rfind("which=", 0) != 0 || !ParseNum(w[3].substr(6), &st->args[0]))) return false;
    return TargetedNumber(w[1], "object", st) && TargetedNumber(w[2], "value", st);
}

// Counts of the client process (defined with the client's process below).
static void RunMeasureStep(const Step& st);

static bool ParseScript(const char* path, std::vector<Step>* steps) {
    std::ifstream in(path);
    if (!in) {
        printf("cannot read script %s\n", path);
        return false;
    }
    std::string line;
    int n = 0;
    size_t repeatFrom = 0;
    long long repeatTimes = 0;   // 0: not inside repeat ... end-repeat
    while (std::getline(in, line)) {
        n++;
        std::vector<std::string> w = SplitWords(line);
        if (w.empty()) continue;
        if (w[0] == "repeat" || w[0] == "end-repeat") {
            bool open = w[0] == "repeat";
            long long times = 0;
            if (open ? (repeatTimes || w.size() != 2 || !ParseNum(w[1], &times) || times < 1) : !repeatTimes) {
                printf("script line %d cannot be read: %s\n", n, line.c_str());
                return false;
            }
            if (open) {
                repeatFrom = steps->size();
                repeatTimes = times;
                continue;
            }
            std::vector<Step> body(steps->begin() + static_cast<long>(repeatFrom), steps->end());
            for (long long k = 1; k < repeatTimes; k++) steps->insert(steps->end(), body.begin(), body.end());
            repeatTimes = 0;
            continue;
        }
        Step st = {};
        st.line = n;
        st.seq = -1;
        if ((w[0] == "native" || w[0] == "web") && w.size() > 1) {
            (w[0] == "native" ? st.nativeOnly : st.webOnly) = true;
            w.erase(w.begin());
        }
        const std::string cmd = w[0];
        size_t at = 1;
        bool ok = true;
        long long v = 0;
        if (!StripWithin(&w, &st)) {
            printf("script line %d: \"within\" belongs at the end of a waiting step: %s\n", n, line.c_str());
            return false;
        }
        if (cmd == "send" || cmd == "expect" || cmd == "send-unread") {
            st.kind = cmd == "send" ? kStepSend : cmd == "expect" ? kStepExpect : kStepSendUnread;
            ok = w.size() > 1 && ParseNum(w[1], &v);
            st.type = static_cast<uint32_t>(v);
            for (at = 2; at < w.size(); at++) {
                if (w[at].rfind("seq=", 0) == 0) st.seq = atoi(w[at].c_str() + 4);
                else if (w[at] == "ack") st.ack = true;
                else if (w[at] == "lzo") st.lzo = true;
                else if (w[at].rfind("cut=", 0) == 0 && ParseNum(w[at].substr(4), &st.cut)) continue;
                else if (w[at].rfind("len=", 0) == 0 && ParseNum(w[at].substr(4), &st.len)) {
                    st.lenSet = true;
                    st.lenRelative = w[at][4] == '+' || w[at][4] == '-';
                }
                else break;
            }
            ok = ok && ParseFields(w, at, &st);
        } else if (cmd == "bundle") {
            st.kind = kStepBundleBegin;
            if (w.size() > 1 && w[1].rfind("seq=", 0) == 0) st.seq = atoi(w[1].c_str() + 4);
        } else if (cmd == "end") {
            st.kind = kStepBundleEnd;
        } else if (cmd == "expect-bundle") {
            st.kind = kStepExpectBundle;
            ok = w.size() == 2 && ParseNum(w[1], &v);
            st.type = static_cast<uint32_t>(v);
        } else if (cmd == "expect-keepalive") {
            st.kind = kStepExpectKeepAlive;
        } else if (cmd == "expect-closed") {
            st.kind = kStepExpectClosed;
        } else if (cmd == "keepalives") {
            st.kind = kStepKeepAlives;
            ok = w.size() == 2 && ParseNum(w[1], &v) && v > 0;
            st.type = static_cast<uint32_t>(v);
        } else if (cmd == "swapped") {
            st.kind = kStepSwapped;
        } else if (cmd == "raw") {
            st.kind = kStepRaw;
            ok = w.size() == 2 && ParseHex(w[1], &st.raw);
        } else if (cmd == "close") {
            st.kind = kStepClose;
        } else if (cmd == "screenshot") {
            st.kind = kStepScreenshot;
            ok = w.size() == 2;
            if (ok) st.text = w[1][0] == '"' ? w[1].substr(1) : w[1];
        } else if (cmd == "expect-window" || cmd == "expect-class") {
            st.kind = kStepExpectWindow;
            st.args[0] = cmd == "expect-class";
            ok = w.size() == 3 && w[1][0] == '"';
            bool sizing = ok && cmd == "expect-window" && w[2] == "sizing";
            ok = ok && (w[2] == "visible" || w[2] == "hidden" || w[2] == "absent" || sizing);
            if (ok) {
                st.text = w[1].substr(1);
                st.raw.assign(w[2].begin(), w[2].end());
            }
        } else if (cmd == "expect-value") {
            st.kind = kStepExpectValue;
            ok = ParseExpectValue(w, &st);
        } else if (cmd == "wait-file") {
            st.kind = kStepWaitFile;
            ok = w.size() == 2 && w[1][0] == '"';
            if (ok) st.text = w[1].substr(1);
        } else if (cmd == "difference") {
            // A documented difference between the twins: its name goes into
            // the transcript of both runs.
            st.kind = kStepDifference;
            ok = w.size() == 3 && w[1][0] != '"' && w[2][0] == '"';
            if (ok) st.text = w[1];
        } else if (cmd == "drain-events") {
            st.kind = kStepDrainEvents;
            ok = w.size() == 1;
        } else if (ParseTargetedStep(cmd, w, &st, &ok)) {
            st.kind = kStepTargeted;
        } else if (cmd == "post-message" || cmd == "send-message") {
            st.kind = cmd == "post-message" ? kStepPostMessage : kStepSendMessage;
            ok = w.size() >= 3 && w.size() <= 5 && w[1][0] == '"';
            for (size_t k = 2; ok && k < w.size(); k++) ok = ParseNum(w[k], &st.args[k - 2]);
            if (ok) st.text = w[1].substr(1);
        } else if (cmd == "twin-screenshot") {
            st.kind = kStepTwinShot;
            ok = ParseTwinShot(w, &st);
        } else if (cmd.rfind("page-", 0) == 0) {
            st.kind = kStepPage;
            ok = ParsePageStep(cmd, w, &st);
        } else if (cmd == "click") {
            st.kind = kStepClick;
            ok = w.size() == 3 && w[1][0] == '"' && w[2][0] == '"';
            if (ok) {
                st.text = w[1].substr(1);
                std::string button = w[2].substr(1);
                st.raw.assign(button.begin(), button.end());
            }
        } else if (cmd == "clipboard-set" || cmd == "clipboard-expect") {
            st.kind = kStepClipboard;
            ok = w.size() == 2 && w[1][0] == '"';
            if (ok) {
                st.text = cmd;
                std::string text = w[1].substr(1);
                st.raw.assign(text.begin(), text.end());
            }
        } else if (cmd == "set-text") {
            st.kind = kStepSetText;
            ok = w.size() == 4 && w[1][0] == '"' && ParseNum(w[2], &st.args[0]) && w[3][0] == '"';
            if (ok) {
                st.text = w[1].substr(1);
                std::string text = w[3].substr(1);
                st.raw.assign(text.begin(), text.end());
            }
        } else if (cmd == "measure") {
            st.kind = kStepMeasure;
            ok = (w.size() == 3 || w.size() == 4) && w[1][0] != '"' &&
                 (w[2] == "handles" || w[2] == "memory-kb" || w[2] == "files");
            if (ok) {
                st.text = w[1];
                st.raw.assign(w[2].begin(), w[2].end());
                st.fields.push_back(Field{"text", 0, 0, w.size() == 4 ? Word(w[3]) : "*", ""});
            }
        } else if (cmd == "expect-at-most") {
            st.kind = kStepAtMost;
            ok = w.size() == 3 && w[1][0] != '"';
            if (ok) {
                st.text = w[1];
                ok = ParseFields({"u32", w[2]}, 0, &st);
            }
        } else if (cmd == "answered-within") {
            st.kind = kStepAnsweredWithin;
            ok = w.size() == 2 && ParseNum(w[1], &v);
            st.type = static_cast<uint32_t>(v);
        } else if (cmd == "expect-peak-memory") {
            st.kind = kStepExpectPeakMemory;
            ok = w.size() == 3 && w[1] == "below" && ParseNum(w[2], &v) && v > 0;
            st.args[0] = v;
        } else if (cmd == "sleep" || cmd == "exit") {
            st.kind = cmd == "sleep" ? kStepSleep : kStepExit;
            ok = w.size() == 2 && ParseNum(w[1], &v);
            st.type = static_cast<uint32_t>(v);
        } else {
            ok = false;
        }
        if (!ok) {
            printf("script line %d cannot be read: %s\n", n, line.c_str());
            return false;
        }
        steps->push_back(st);
    }
    return true;
}

// ---- Link -------------------------------------------------------------------

static Sock gConn = kNoSock;

static bool SendAll(const uint8_t* p, size_t n) {
    while (n) {
        int k = send(gConn, reinterpret_cast<const char*>(p), static_cast<int>(n), 0);
        if (k <= 0) return false;
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

// Reads exactly n bytes within the timeout: 1 done, 0 closed, -1 timed out or failed.
static int RecvAll(uint8_t* p, size_t n) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(gTimeoutSec);
    while (n) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return -1;
        int k = RecvSomeWithin(gConn, reinterpret_cast<char*>(p), n, static_cast<long>(left.count()));
        if (k == kRecvTimedOut) continue;
        if (k == 0) return 0;
        if (k < 0) return -1;
        p += k;
        n -= static_cast<size_t>(k);
    }
    return 1;
}

// One frame as the client sent it: a keep-alive word, or a whole message
// (uncompressed when flagged). Members of a received bundle queue up here.
struct Frame {
    bool keepAlive;
    bool closed;
    bool timedOut;
    bool bundle;
    std::vector<uint8_t> msg;
    std::vector<std::vector<uint8_t>> members;
};

static Frame RecvFrame() {
    Frame f = {};
    uint8_t head[8];
    int r = RecvAll(head, 4);
    if (r <= 0) {
        f.closed = r == 0;
        f.timedOut = r < 0;
        return f;
    }
    uint32_t word = WireGetU32(head, gSwapped);
    if (word == kKeepAliveWord) {
        f.keepAlive = true;
        return f;
    }
    uint32_t len = word & kHdrLenMask;
    if (len < 8 || RecvAll(head + 4, 4) <= 0) {
        f.closed = true;
        return f;
    }
    f.msg.assign(head, head + 8);
    f.msg.resize(len);
    if (len > 8 && RecvAll(f.msg.data() + 8, len - 8) <= 0) {
        f.closed = true;
        return f;
    }
    FrameHead h;
    FrameParseHead(f.msg.data(), f.msg.size(), gSwapped, &h);
    auto unpack = [](std::vector<uint8_t>* m) {
        FrameHead mh;
        if (FrameParseHead(m->data(), m->size(), gSwapped, &mh) != 0 || !(mh.flags & kHdrCompressed)) return;
        MsgBuf out = {};
        if (MsgUncompress(m->data(), mh, gSwapped, &out) == 0) m->assign(out.data, out.data + out.used);
        MsgBufFree(&out);
    };
    unpack(&f.msg);
    FrameParseHead(f.msg.data(), f.msg.size(), gSwapped, &h);
    if (h.flags & kHdrBundle) {
        f.bundle = true;
        BundleIter it;
        BundleBegin(&it, f.msg.data(), h, gSwapped);
        const uint8_t* m;
        FrameHead mh;
        while (BundleNext(&it, &m, &mh) == 1) {
            f.members.emplace_back(m, m + mh.length);
            unpack(&f.members.back());
        }
    }
    return f;
}

// ---- Steps ------------------------------------------------------------------

static std::map<std::string, uint32_t> gVars;   // values kept by capture fields

// The number a field stands for: its own, or the captured $NAME.
static bool FieldNum(const Step& st, const Field& f, long long* v) {
    if (f.var.empty()) {
        *v = f.num;
        return true;
    }
    auto it = gVars.find(f.var);
    if (it == gVars.end()) {
        Fail(st.line, "$%s was not captured before", f.var.c_str());
        return false;
    }
    *v = static_cast<long long>(it->second) + f.num;
    return true;
}

static std::vector<uint8_t> BuildMsg(const Step& st) {
    std::vector<uint8_t> m(8);
    auto put = [&](uint64_t v, int n) {
        size_t at = m.size();
        m.resize(at + n);
        if (n == 1) m[at] = static_cast<uint8_t>(v);
        else if (n == 2) WirePutU16(&m[at], static_cast<uint16_t>(v), gSwapped);
        else if (n == 4) WirePutU32(&m[at], static_cast<uint32_t>(v), gSwapped);
        else WirePutU64(&m[at], v, gSwapped);
    };
    for (const Field& f : st.fields) {
        long long num = 0;
        FieldNum(st, f, &num);
        if (f.op == "u8") put(num, 1);
        else if (f.op == "u16") put(num, 2);
        else if (f.op == "u32" || f.op == "i32") put(num, 4);
        else if (f.op == "u64") put(num, 8);
        else if (f.op == "text" || f.op == "hex") m.insert(m.end(), f.text.begin(), f.text.end());
        else if (f.op == "textz") m.insert(m.end(), f.text.c_str(), f.text.c_str() + f.text.size() + 1);
        else if (f.op == "fill") m.insert(m.end(), static_cast<size_t>(f.num), static_cast<uint8_t>(f.num2));
        else if (f.op == "file" || f.op == "filesize") {
            // A file's bytes (for 1151 answers), or their count as a u32.
            std::ifstream in(f.text, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in.good() && !in.eof()) Fail(st.line, "the file %s cannot be read", f.text.c_str());
            if (f.op == "file") m.insert(m.end(), bytes.begin(), bytes.end());
            else put(bytes.size(), 4);
        }
    }
    uint32_t flags = st.ack ? kHdrAckWanted : 0;
    WirePutU32(m.data(), FrameWord(static_cast<uint32_t>(m.size()), st.seq < 0 ? 0 : st.seq, flags), gSwapped);
    WirePutU32(m.data() + 4, st.type, gSwapped);
    if (st.lzo) {
        MsgBuf out = {};
        if (!MsgCompress(m.data(), static_cast<uint32_t>(m.size()), gSwapped, &out))
            Fail(st.line, "the body does not compress (it needs 256 bytes or more)");
        else
            m.assign(out.data, out.data + out.used);
        MsgBufFree(&out);
    }
    return m;
}

static void CheckMsg(const Step& st, const std::vector<uint8_t>& m) {
    WireReader r(m.data(), m.size(), gSwapped);
    FrameHead h;
    if (FrameParseHead(m.data(), m.size(), gSwapped, &h) != 0) {
        Fail(st.line, "a frame that does not parse");
        return;
    }
    uint32_t v0 = 0;
    r.U32At(8, &v0);
    Note("C> %u seq=%u len=%u (+8 = %d)", h.type, h.seq, h.length, static_cast<int32_t>(v0));
    if (h.type != st.type) {
        Fail(st.line, "expected message %u, got %u (+8 = %d)", st.type, h.type, static_cast<int32_t>(v0));
        return;
    }
    if (st.seq >= 0 && h.seq != static_cast<uint32_t>(st.seq))
        Fail(st.line, "expected sequence %d, got %u", st.seq, h.seq);
    size_t at = 8;
    std::string line = "C> " + std::to_string(h.type);
    auto hexOf = [&](size_t from, size_t to) {
        std::string out;
        char b[4];
        for (size_t k = from; k < to && k < m.size(); k++) {
            snprintf(b, sizeof b, "%02X", m[k]);
            out += b;
        }
        return out;
    };
    for (const Field& f : st.fields) {
        bool ok = true;
        uint64_t got = 0;
        size_t start = at;
        if (f.op == "capture") line += " $" + f.var;
        else if (f.op == "any" || f.op == "rest")
            line += " " + hexOf(at, f.op == "rest" ? m.size() : at + static_cast<size_t>(f.num));
        if (f.op == "u8") { uint8_t x = 0; ok = r.U8At(at, &x); got = x; at += 1; }
        else if (f.op == "u16") { uint16_t x = 0; ok = r.U16At(at, &x); got = x; at += 2; }
        else if (f.op == "u32" || f.op == "i32") { uint32_t x = 0; ok = r.U32At(at, &x); got = x; at += 4; }
        else if (f.op == "u64") { ok = r.U64At(at, &got); at += 8; }
        else if (f.op == "any") { at += static_cast<size_t>(f.num); ok = at <= m.size(); }
        else if (f.op == "rest") { at = m.size(); }
        else if (f.op == "capture") {
            uint32_t x = 0;
            if (!r.U32At(at, &x)) {
                Fail(st.line, "the message ends before +%zu", at);
                return;
            }
            gVars[f.var] = x;
            Note("   $%s = %u (0x%X)", f.var.c_str(), x, x);
            at += 4;
            continue;
        }
        else if (f.op == "contains") {
            std::string body(m.begin() + 8, m.end());
            if (body.find(f.text) == std::string::npos) Fail(st.line, "the message lacks \"%s\"", f.text.c_str());
            continue;
        } else {
            std::string want = f.op == "fill" ? std::string(static_cast<size_t>(f.num), static_cast<char>(f.num2))
                                              : f.text;
            if (f.op == "textz") want.push_back('\0');
            const uint8_t* p = r.PtrAt(at, want.size());
            if (!p || memcmp(p, want.data(), want.size()) != 0)
                Fail(st.line, "field at +%zu is not \"%s\"", at, f.text.c_str());
            line += " \"" + f.text + "\"";
            at += want.size();
            continue;
        }
        if (!ok) {
            Fail(st.line, "the message ends before +%zu", at);
            return;
        }
        if (f.op != "any" && f.op != "rest") line += " " + std::to_string(static_cast<long long>(got));
        uint64_t mask = f.op == "u8" ? 0xFF : f.op == "u16" ? 0xFFFF : f.op == "u64" ? ~0ull : 0xFFFFFFFFull;
        long long want = 0;
        if (f.op != "any" && f.op != "rest" && FieldNum(st, f, &want) &&
            (got & mask) != (static_cast<uint64_t>(want) & mask))
            Fail(st.line, "%s field at +%zu: expected %lld, got %lld", f.op.c_str(), start, want,
                 static_cast<long long>(got));
    }
    if (at != m.size()) Fail(st.line, "%zu bytes left unchecked in message %u", m.size() - at, h.type);
    if (gTranscript && !st.nativeOnly && !st.webOnly) fprintf(gTranscript, "%s\n", line.c_str());
}

static std::vector<std::vector<uint8_t>> gPending;   // members of a received bundle not yet expected

// Tries done() until it holds or deadlineMs have passed: true when it held.
// The first try is at once, so a state already there costs no time.
template <typename Done>
static bool PollUntil(int deadlineMs, Done done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
}

// The deadline of a waiting step: its own "within", else the step's default.
static int WaitMs(const Step& st, int byDefault) { return st.waitMs ? st.waitMs : byDefault; }

static bool NextMsg(const Step& st, std::vector<uint8_t>* m) {
    if (!gPending.empty()) {
        *m = gPending.front();
        gPending.erase(gPending.begin());
        return true;
    }
    for (;;) {
        Frame f = RecvFrame();
        if (f.keepAlive) {
            Note("C> keep-alive");
            continue;
        }
        if (f.closed || f.timedOut) {
            Fail(st.line, f.closed ? "the client closed the connection" : "nothing arrived in time");
            gLinkDown = true;
            return false;
        }
        if (f.bundle) {
            Note("C> bundle of %zu", f.members.size());
            gPending = f.members;
            return NextMsg(st, m);
        }
        *m = f.msg;
        return true;
    }
}

// ---- Window steps ------------------------------------------------------------------
// The server runs on the client's display (the same Wine desktop), so it can
// look at the client's top windows and post to them as a user's input would.

#ifdef _WIN32
// The screen into a bottom-up 24-bit BMP: a DIB section receives a BitBlt of
// the desktop DC, whose rows are then written behind the two headers.
// Rows of a 24-bit DIB are padded to four bytes.
static uint32_t DibStride(int width) { return (static_cast<uint32_t>(width) * 3 + 3) & ~3u; }

// One capture of the whole screen as 24-bit rows, bottom row first.
static bool CaptureScreen(int width, int height, std::vector<uint8_t>* out) {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bmp && bits;
    if (ok) {
        HGDIOBJ old = SelectObject(mem, bmp);
        ok = BitBlt(mem, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
        SelectObject(mem, old);
    }
    if (ok) {
        const uint8_t* p = static_cast<const uint8_t*>(bits);
        out->assign(p, p + static_cast<size_t>(DibStride(width)) * static_cast<size_t>(height));
    }
    if (bmp) DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

// The screen once it has settled: captures kScreenSettleGapMs apart until two
// agree (a window still repainting after the step before changes between
// them), for kScreenSettleMs at most; then the last capture, settled or not
// (a blinking caret settles between its blinks). Only the client's own
// visible top windows are compared when it has any: other tests' windows
// share the display and would keep the screen changing for the whole time.
constexpr DWORD kScreenSettleGapMs = 150, kScreenSettleMs = 10000;

struct ClientRects {
    DWORD pid;
    std::vector<RECT> rects;
};

static BOOL CALLBACK NoteClientWindow(HWND wnd, LPARAM arg) {
    ClientRects* c = reinterpret_cast<ClientRects*>(arg);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    RECT r;
    if (pid == c->pid && IsWindowVisible(wnd) && GetWindowRect(wnd, &r)) c->rects.push_back(r);
    return TRUE;
}

// Whether two captures agree where the client's windows are (everywhere when
// there are none).
static bool SameWhereClientIs(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width, int height) {
    ClientRects c = {gChild ? GetProcessId(gChild) : 0, {}};
    if (c.pid) EnumWindows(NoteClientWindow, reinterpret_cast<LPARAM>(&c));
    if (c.rects.empty() || a.size() != b.size()) return a == b;
    size_t stride = DibStride(width);
    for (const RECT& r : c.rects) {
        int left = std::max<int>(r.left, 0), right = std::min<int>(r.right, width);
        int top = std::max<int>(r.top, 0), bottom = std::min<int>(r.bottom, height);
        if (left >= right) continue;
        for (int y = top; y < bottom; y++) {
            size_t row = static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(left) * 3;
            if (memcmp(&a[row], &b[row], static_cast<size_t>(right - left) * 3) != 0) return false;
        }
    }
    return true;
}

static bool SettledScreen(int width, int height, std::vector<uint8_t>* out) {
    std::vector<uint8_t> now;
    bool ok = CaptureScreen(width, height, out);
    for (DWORD start = GetTickCount(); ok && GetTickCount() - start < kScreenSettleMs;) {
        Sleep(kScreenSettleGapMs);
        ok = CaptureScreen(width, height, &now);
        if (!ok || SameWhereClientIs(now, *out, width, height)) break;
        out->swap(now);
    }
    return ok;
}

// Bottom-up 24-bit rows into a BMP file behind its two headers.
static bool WriteBmp24(const std::string& path, int width, int height, const uint8_t* bits) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    uint32_t imageSize = DibStride(width) * static_cast<uint32_t>(height);
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
    fh.bfSize = fh.bfOffBits + imageSize;
    bi.bmiHeader.biSizeImage = imageSize;
    FILE* f = fopen(path.c_str(), "wb");
    bool ok = f && fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
              fwrite(bits, imageSize, 1, f) == 1;
    if (f && fclose(f) != 0) ok = false;
    return ok;
}

static bool WriteScreenBmp(const std::string& path) {
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    if (width <= 0 || height <= 0) return false;
    std::vector<uint8_t> bits;
    return SettledScreen(width, height, &bits) && WriteBmp24(path, width, height, bits.data());
}

// The top windows of a class: whether one is there and whether one shows.
struct ClassState {
    const char* cls;
    bool any;
    bool visible;
};

static BOOL CALLBACK NoteClassWindow(HWND wnd, LPARAM arg) {
    ClassState* s = reinterpret_cast<ClassState*>(arg);
    char cls[128] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (_stricmp(cls, s->cls) != 0) return TRUE;
    s->any = true;
    s->visible = s->visible || IsWindowVisible(wnd);
    return TRUE;
}

// "visible", "hidden" or "absent" for the top window with the title, or with
// a class: a pop-up menu's class may have hidden windows beside the open one.
// Whether the window's thread runs the system's move/size loop on it.
static bool WindowSizing(HWND wnd) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info) && (info.flags & GUI_INMOVESIZE) &&
           info.hwndMoveSize == wnd;
}

// "sizing" is told apart from "visible" only when it is the state asked for.
static std::string WindowState(const std::string& name, bool byClass, const std::string& want) {
    if (byClass) {
        ClassState s = {name.c_str(), false, false};
        EnumWindows(NoteClassWindow, reinterpret_cast<LPARAM>(&s));
        return s.visible ? "visible" : s.any ? "hidden" : "absent";
    }
    HWND wnd = FindWindowA(nullptr, name.c_str());
    if (!wnd) return "absent";
    if (!IsWindowVisible(wnd)) return "hidden";
    return want == "sizing" && WindowSizing(wnd) ? "sizing" : "visible";
}

// A button's text as a person reads it: without the '&' of its access key.
static std::string WithoutAmpersands(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '&') out += c;
    return out;
}

struct ButtonSearch {
    std::string text;
    HWND found;
};

static BOOL CALLBACK MatchButton(HWND child, LPARAM arg) {
    ButtonSearch* b = reinterpret_cast<ButtonSearch*>(arg);
    char cls[32] = "", text[256] = "";
    GetClassNameA(child, cls, sizeof cls);
    if (_stricmp(cls, "Button") != 0) return TRUE;
    GetWindowTextA(child, text, sizeof text);
    if (WithoutAmpersands(text) != b->text) return TRUE;
    b->found = child;
    return FALSE;
}

// The top window with the title, waited for as a person would look for it.
static HWND WaitTopWindow(const Step& st) {
    HWND wnd = nullptr;
    PollUntil(WaitMs(st, kWindowWaitMs), [&] {
        wnd = FindWindowA(nullptr, st.text.c_str());
        return wnd && IsWindowVisible(wnd);
    });
    return wnd && IsWindowVisible(wnd) ? wnd : nullptr;
}

static void ClickButton(const Step& st) {
    std::string label(st.raw.begin(), st.raw.end());
    HWND wnd = WaitTopWindow(st);
    ButtonSearch b = {WithoutAmpersands(label), nullptr};
    if (wnd) EnumChildWindows(wnd, MatchButton, reinterpret_cast<LPARAM>(&b));
    if (!wnd) Fail(st.line, "no window \"%s\" to click in", st.text.c_str());
    else if (!b.found) Fail(st.line, "no button \"%s\" in window \"%s\"", label.c_str(), st.text.c_str());
    else if (!PostMessageA(b.found, BM_CLICK, 0, 0)) Fail(st.line, "the click on \"%s\" failed", label.c_str());
    else Note("S> click \"%s\" in window \"%s\"", label.c_str(), st.text.c_str());
}

static void SetChildText(const Step& st) {
    constexpr UINT kSendTimeoutMs = 10000;
    std::string text(st.raw.begin(), st.raw.end());
    HWND wnd = WaitTopWindow(st);
    HWND child = wnd ? GetDlgItem(wnd, static_cast<int>(st.args[0])) : nullptr;
    DWORD_PTR result = 0;
    if (!child) Fail(st.line, "no child %lld of window \"%s\"", st.args[0], st.text.c_str());
    else if (!SendMessageTimeoutA(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                                  kSendTimeoutMs, &result))
        Fail(st.line, "the text of child %lld was not set", st.args[0]);
    else Note("S> text \"%s\" into child %lld of window \"%s\"", text.c_str(), st.args[0], st.text.c_str());
}

// The clipboard's Unicode text as UTF-8; false when it holds none or is
// held open by another program.
static bool ClipboardText(std::string* out) {
    out->clear();
    if (!OpenClipboard(nullptr)) return false;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const WCHAR* wide = data ? static_cast<const WCHAR*>(GlobalLock(data)) : nullptr;
    if (wide) {
        int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
        if (n > 1) {
            out->resize(static_cast<size_t>(n));
            WideCharToMultiByte(CP_UTF8, 0, wide, -1, &(*out)[0], n, nullptr, nullptr);
            out->resize(static_cast<size_t>(n - 1));
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    return wide != nullptr;
}

static bool SetClipboardText(const std::string& utf8) {
    if (!OpenClipboard(nullptr)) return false;
    bool done = EmptyClipboard() != FALSE;
    if (done && !utf8.empty()) {
        int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
        HGLOBAL mem = n > 0 ? GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(n) * sizeof(WCHAR)) : nullptr;
        WCHAR* wide = mem ? static_cast<WCHAR*>(GlobalLock(mem)) : nullptr;
        if (wide) {
            MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, n);
            GlobalUnlock(mem);
        }
        done = wide && SetClipboardData(CF_UNICODETEXT, mem);
        if (!done && mem) GlobalFree(mem);
    }
    CloseClipboard();
    return done;
}

static void ClipboardStep(const Step& st) {
    std::string want(st.raw.begin(), st.raw.end()), got;
    if (st.text == "clipboard-set") {
        if (!SetClipboardText(want)) Fail(st.line, "the clipboard could not be set");
        else Note("S> clipboard \"%s\"", want.c_str());
        return;
    }
    PollUntil(WaitMs(st, kWindowWaitMs), [&] { return (ClipboardText(&got) || want.empty()) && got == want; });
    if (got != want) Fail(st.line, "the clipboard holds \"%s\", expected \"%s\"", got.c_str(), want.c_str());
    else Note("   clipboard \"%s\"", got.c_str());
}

static void RunWindowStep(const Step& st) {
    switch (st.kind) {
    case kStepClick: ClickButton(st); break;
    case kStepClipboard: ClipboardStep(st); break;
    case kStepSetText: SetChildText(st); break;
    case kStepScreenshot:
        if (WriteScreenBmp(st.text)) Note("   screenshot %s", st.text.c_str());
        else Fail(st.line, "the screenshot %s could not be written", st.text.c_str());
        break;
    case kStepExpectWindow: {
        std::string want(st.raw.begin(), st.raw.end()), got;
        const char* what = st.args[0] ? "a window of class" : "window";
        bool byClass = st.args[0] != 0;
        PollUntil(WaitMs(st, kWindowWaitMs), [&] { return (got = WindowState(st.text, byClass, want)) == want; });
        if (got != want)
            Fail(st.line, "%s \"%s\" is %s, expected %s within %d ms", what, st.text.c_str(), got.c_str(),
                 want.c_str(), WaitMs(st, kWindowWaitMs));
        else Note("   %s \"%s\" %s", what, st.text.c_str(), got.c_str());
        break;
    }
    case kStepPostMessage: {
        HWND wnd = FindWindowA(nullptr, st.text.c_str());
        if (!wnd) Fail(st.line, "no window \"%s\" to post to", st.text.c_str());
        else if (!PostMessageA(wnd, static_cast<UINT>(st.args[0]), static_cast<WPARAM>(st.args[1]),
                               static_cast<LPARAM>(st.args[2])))
            Fail(st.line, "PostMessage to \"%s\" failed", st.text.c_str());
        else Note("S> message 0x%llX to window \"%s\"", st.args[0], st.text.c_str());
        break;
    }
    case kStepSendMessage: {
        constexpr UINT kSendTimeoutMs = 10000;
        HWND wnd = FindWindowA(nullptr, st.text.c_str());
        DWORD_PTR result = 0;
        if (!wnd) Fail(st.line, "no window \"%s\" to send to", st.text.c_str());
        else if (!SendMessageTimeoutA(wnd, static_cast<UINT>(st.args[0]), static_cast<WPARAM>(st.args[1]),
                                      static_cast<LPARAM>(st.args[2]), SMTO_NORMAL, kSendTimeoutMs, &result))
            Fail(st.line, "SendMessage to \"%s\" was not handled in time", st.text.c_str());
        else Note("S> message 0x%llX handled by window \"%s\"", st.args[0], st.text.c_str());
        break;
    }
    default:
        break;
    }
}
#else
static void RunWindowStep(const Step& st) { Fail(st.line, "window steps need the Windows build of the server"); }
#endif

// Sends bytes; a failed send is a failure, or in a hostile replay the end of it.
static void SendStep(const Step& st, const uint8_t* p, size_t n) {
    if (SendAll(p, n)) return;
    Fail(st.line, "send failed");
    gLinkDown = true;
}

// The most keep-alive words built at once for a "keepalives" step.
constexpr uint32_t kKeepAliveChunkWords = 16384;

static void SendKeepAlives(const Step& st) {
    std::vector<uint8_t> words(4 * std::min(st.type, kKeepAliveChunkWords), 0xFF);
    Note("S> %u keep-alive words", st.type);
    for (uint32_t left = st.type; left && !gLinkDown;) {
        uint32_t n = std::min(left, kKeepAliveChunkWords);
        SendStep(st, words.data(), 4 * static_cast<size_t>(n));
        left -= n;
    }
}

// ---- Page steps -------------------------------------------------------------

// The current folder as the page host (a Unix process) names it.
static std::string UnixCwd() {
#ifdef _WIN32
    char dir[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, dir);
    std::string out = dir;
    if (out.size() >= 2 && (out[0] == 'Z' || out[0] == 'z') && out[1] == ':') out = out.substr(2);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
#else
    char dir[4096] = {};
    return getcwd(dir, sizeof dir) ? dir : ".";
#endif
}

// page-box NAME SEL: the box the page answered kept as $NAME_L, $NAME_T,
// $NAME_R, $NAME_B and its centre $NAME_X, $NAME_Y, for the input steps.
static void KeepPageBox(const Step& st, const std::string& answer) {
    const std::string& name = st.fields[0].text;
    size_t at = answer.find("\"value\":\"");
    long long box[4];
    if (at == std::string::npos ||
        sscanf(answer.c_str() + at + 9, "%lld %lld %lld %lld", &box[0], &box[1], &box[2], &box[3]) != 4) {
        Fail(st.line, "no box for $%s: %s", name.c_str(), answer.c_str());
        return;
    }
    const char* const kParts[] = {"_L", "_T", "_R", "_B"};
    for (int i = 0; i < 4; i++) gVars[name + kParts[i]] = static_cast<uint32_t>(box[i]);
    gVars[name + "_X"] = static_cast<uint32_t>((box[0] + box[2]) / 2);
    gVars[name + "_Y"] = static_cast<uint32_t>((box[1] + box[3]) / 2);
    Note("P> $%s: %lld,%lld to %lld,%lld in the page", name.c_str(), box[0], box[1], box[2], box[3]);
}

// page-posts NAME SEL: the posts the page has carried out so far, as $NAME.
static void KeepPagePosts(const Step& st, const std::string& answer) {
    const std::string& name = st.fields[0].text;
    size_t at = answer.find("\"value\":\"");
    unsigned long posts = 0;
    if (at == std::string::npos || sscanf(answer.c_str() + at + 9, "%lu", &posts) != 1) {
        Fail(st.line, "no post count for $%s: %s", name.c_str(), answer.c_str());
        return;
    }
    gVars[name] = static_cast<uint32_t>(posts);
    Note("P> $%s: %lu posts carried out by the page", name.c_str(), posts);
}

static void RunPageStep(const Step& st) {
    if (gSkipPageSteps) {
        Note("   page step skipped (line %d)", st.line);
        return;
    }
    std::string error;
    if (!PageControlOpen(kPageOpenWaitMs, &error)) {
        Fail(st.line, "no page control: %s", error.c_str());
        return;
    }
    std::string json = st.text;
    if (!st.raw.empty()) {
        std::string file(st.raw.begin(), st.raw.end());
        if (file[0] != '/') file = UnixCwd() + "/" + file;
        json = "{\"cmd\":\"screenshot\",\"file\":" + PageControlQuote(file) +
               (st.text.empty() ? "" : ",\"sel\":" + st.text) + "}";
    }
    std::string answer;
    if (!PageControlCommand(json, &answer, WaitMs(st, kPageExpectMs) + kPageAnswerMs)) {
        Fail(st.line, "the page host did not answer %s", json.c_str());
        return;
    }
    if (!PageControlOk(answer)) Fail(st.line, "page step failed: %s", answer.c_str());
    else if (!st.fields.empty() && st.fields[0].op == "box") KeepPageBox(st, answer);
    else if (!st.fields.empty() && st.fields[0].op == "posts") KeepPagePosts(st, answer);
    else Note("P> %s -> %s", json.c_str(), answer.c_str());
}

// ---- Targeted window steps -----------------------------------------------------------
// Steps aimed at a top window by "title" or at any window by a handle the
// script captured ($NAME, from the answer to a query of Hwnd); numbers may be
// $NAME too. Input goes through SendInput, as a person's would, in the target
// window's client coordinates.
//   post-message TARGET MSG [WP [LP]]
//   send-message TARGET MSG [WP [LP]] [expect N]   N: the message's result
//   mouse TARGET down|up|move|dblclick left|right X Y
//   wheel TARGET X Y NOTCHES                       the pointer moved to X Y, then the
//                                                  wheel turned NOTCHES detents, one
//                                                  input each (negative: towards the
//                                                  user, scrolling down)
//   keys TARGET "ctrl+tab shift+f10 a"             chords separated by blanks
//   expect-pixel TARGET X Y RRGGBB [TOLERANCE]     waits up to 30 s for the colour
//   expect-pixel TARGET X Y RRGGBB TOLERANCE across W H
//                                                  the same for any pixel of the W x H
//                                                  area from X Y (a text's strokes)
//   capture-window NAME TARGET "CLASS" [N]         the Nth (from 0) window of the
//                                                  class inside TARGET as $NAME
//   capture-top NAME "TITLE" ["TITLE"...]          the first of these top windows
//                                                  that is there as $NAME (a twin's
//                                                  native window, else the web
//                                                  view's host that shows it)

// A word that is a number or a $NAME, kept as a field of the step.
static bool TargetedNumber(const std::string& word, const char* role, Step* st) {
    Field f = {role, 0, 0, "", ""};
    if (word.size() > 1 && word[0] == '$') {
        if (!ParseVarRef(word, &f)) return false;
    } else if (!ParseNum(word, &f.num)) return false;
    st->fields.push_back(f);
    return true;
}

static bool ParseTargetedStep(const std::string& cmd, const std::vector<std::string>& w, Step* st, bool* ok) {
    bool message = cmd == "post-message" || cmd == "send-message";
    if (message) {
        // The plain form (a title and literal numbers) stays with the window steps.
        bool targeted = false;
        for (size_t k = 1; k < w.size(); k++) targeted = targeted || w[k][0] == '$' || w[k] == "expect";
        if (!targeted) return false;
    } else if (cmd == "capture-top") {
        *ok = w.size() >= 3 && w[1][0] != '"' && w[1][0] != '$';
        st->text = cmd;
        if (*ok) st->fields.push_back(Field{"name", 0, 0, w[1], ""});
        for (size_t k = 2; *ok && k < w.size(); k++) {
            *ok = w[k][0] == '"';
            st->fields.push_back(Field{"title", 0, 0, w[k].substr(1), ""});
        }
        return true;
    } else if (cmd != "mouse" && cmd != "wheel" && cmd != "keys" && cmd != "expect-pixel" &&
               cmd != "capture-window") {
        return false;
    }
    size_t at = 1;
    if (cmd == "capture-window") {
        *ok = (w.size() == 4 || w.size() == 5) && w[1][0] != '"' && w[1][0] != '$' && w[3][0] == '"';
        if (!*ok) return true;
        st->fields.push_back(Field{"name", 0, 0, w[1], ""});
        at = 2;
    }
    *ok = w.size() >= at + 2;
    if (!*ok) return true;
    st->text = cmd;
    Field target = {"target", 0, 0, "", ""};
    if (w[at][0] == '"') target.text = w[at].substr(1);
    else if (w[at].size() > 1 && w[at][0] == '$') target.var = w[at].substr(1);
    else *ok = false;
    st->fields.push_back(target);
    if (cmd == "capture-window") {
        st->fields.push_back(Field{"class", 0, 0, w[at + 1].substr(1), ""});
        if (*ok && w.size() == 5) *ok = TargetedNumber(w[4], "index", st);
        return true;
    }
    at++;
    if (message) {
        for (; *ok && at < w.size() && w[at] != "expect"; at++) *ok = TargetedNumber(w[at], "arg", st);
        if (*ok && at < w.size()) *ok = at + 2 == w.size() && TargetedNumber(w[at + 1], "expect", st);
    } else if (cmd == "mouse") {
        *ok = w.size() == 6 && (w[2] == "down" || w[2] == "up" || w[2] == "move" || w[2] == "dblclick") &&
              (w[3] == "left" || w[3] == "right");
        if (*ok) {
            st->fields.push_back(Field{"action", 0, 0, w[2] + " " + w[3], ""});
            *ok = TargetedNumber(w[4], "x", st) && TargetedNumber(w[5], "y", st);
        }
    } else if (cmd == "wheel") {
        *ok = w.size() == 5 && TargetedNumber(w[2], "x", st) && TargetedNumber(w[3], "y", st) &&
              TargetedNumber(w[4], "notches", st);
    } else if (cmd == "keys") {
        *ok = w.size() == 3 && w[2][0] == '"';
        if (*ok) st->fields.push_back(Field{"keys", 0, 0, w[2].substr(1), ""});
    } else {
        std::vector<uint8_t> rgb;
        bool across = w.size() == 9 && w[6] == "across";
        *ok = (w.size() == 5 || w.size() == 6 || across) && TargetedNumber(w[2], "x", st) &&
              TargetedNumber(w[3], "y", st) && w[4].size() == 6 && ParseHex(w[4], &rgb);
        if (*ok) st->fields.push_back(Field{"rgb", (rgb[0] << 16) | (rgb[1] << 8) | rgb[2], 0, "", ""});
        if (*ok && w.size() > 5) *ok = TargetedNumber(w[5], "tolerance", st);
        if (*ok && across) *ok = TargetedNumber(w[7], "width", st) && TargetedNumber(w[8], "height", st);
    }
    return true;
}

static const Field* FieldOf(const Step& st, const char* op, size_t nth = 0) {
    for (const Field& f : st.fields)
        if (f.op == op && nth-- == 0) return &f;
    return nullptr;
}

[[maybe_unused]] static long long NumOf(const Step& st, const char* op, long long def, size_t nth = 0) {
    const Field* f = FieldOf(st, op, nth);
    long long v = def;
    if (f && !FieldNum(st, *f, &v)) return def;
    return v;
}

#ifdef _WIN32
static HWND TargetWindow(const Step& st, const Field& f) {
    if (f.var.empty()) return FindWindowA(nullptr, f.text.c_str());
    long long v = 0;
    if (!FieldNum(st, f, &v)) return nullptr;
    HWND wnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(v)));
    return IsWindow(wnd) ? wnd : nullptr;
}

// ---- The display's reports of the pointer -------------------------------------------
// Under Wine on X11 a move this server injects puts the pointer on the
// display too (a warp), and the program whose window is under it reports
// that place again as input of its own when its thread next reads the
// display's events. On a busy machine that report can come after a later
// injected move, and then takes the pointer back to a place the scene has
// left: a window pressed on its title bar and moved one step jumps back to
// where the press was. So before a step's input goes out the pointer is put
// at the step's place and the report of that place is waited for: none of
// an older place can come after it. The reports are seen as raw input,
// told from this server's own moves by the tag these carry.
constexpr ULONG_PTR kInjectedTag = 0x514F56;
constexpr int kPointerReportMs = 10000;
constexpr int kAbsoluteSpan = 65535;   // an absolute move's places across the screen
constexpr USHORT kGenericDesktopPage = 1, kMouseUsage = 2;   // the raw input device of a mouse
static std::atomic<long> gPointerReports{0};
static std::atomic<long> gPointerReportAt{0};   // x in the low, y in the high 16 bits
static std::atomic<bool> gPointerWatched{false};

static long PackedPoint(POINT p) { return (p.y << 16) | (p.x & 0xFFFF); }

static LRESULT CALLBACK PointerReportProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_INPUT) return DefWindowProcA(wnd, msg, wp, lp);
    RAWINPUT raw = {};
    UINT size = sizeof raw;
    if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lp), RID_INPUT, &raw, &size, sizeof(RAWINPUTHEADER)) !=
            static_cast<UINT>(-1) &&
        raw.header.dwType == RIM_TYPEMOUSE && raw.data.mouse.ulExtraInformation != kInjectedTag) {
        // The message's place is the pointer's before the input; the input
        // carries its move.
        DWORD before = GetMessagePos();
        POINT at = {static_cast<short>(LOWORD(before)), static_cast<short>(HIWORD(before))};
        if (raw.data.mouse.usFlags & MOUSE_MOVE_ABSOLUTE)
            at = {MulDiv(raw.data.mouse.lLastX, GetSystemMetrics(SM_CXSCREEN) - 1, kAbsoluteSpan),
                  MulDiv(raw.data.mouse.lLastY, GetSystemMetrics(SM_CYSCREEN) - 1, kAbsoluteSpan)};
        else at.x += raw.data.mouse.lLastX, at.y += raw.data.mouse.lLastY;
        gPointerReportAt = PackedPoint(at);
        gPointerReports++;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

// A thread of its own takes the raw mouse input from the first mouse step on.
static void WatchPointerReports() {
    static bool started = false;
    if (started) return;
    started = true;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread([ready] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PointerReportProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QovPointerReports";
        RegisterClassA(&wc);
        HWND sink = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        RAWINPUTDEVICE mouse = {kGenericDesktopPage, kMouseUsage, RIDEV_INPUTSINK, sink};
        gPointerWatched = sink && RegisterRawInputDevices(&mouse, 1, sizeof mouse);
        if (!gPointerWatched) Note("   the pointer's reports cannot be watched");
        SetEvent(ready);
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
    }).detach();
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
}

static void SendMouseInput(DWORD flags, POINT screen) {
    INPUT in = MouseInputAt(flags, screen);
    in.mi.dwExtraInfo = kInjectedTag;
    SendInput(1, &in, sizeof in);
}

// A thread in a menu or in the system's move or size loop holds the pointer:
// the display refuses to move it, and nothing is reported.
static bool HoldsPointer(HWND wnd) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return wnd && GetGUIThreadInfo(GetWindowThreadProcessId(wnd, nullptr), &info) &&
           (info.flags & (GUI_INMENUMODE | GUI_INMOVESIZE | GUI_POPUPMENUMODE)) != 0;
}

// The pointer moved to a step's place; where the display moves it too, its
// report of the place is waited for.
static void PointerTo(HWND wnd, POINT pt) {
    WatchPointerReports();
    POINT was = {};
    bool moves = gPointerWatched && GetCursorPos(&was) && (was.x != pt.x || was.y != pt.y) && !HoldsPointer(wnd) &&
                 !HoldsPointer(WindowFromPoint(pt));
    long reports = gPointerReports;
    SendMouseInput(MOUSEEVENTF_MOVE, pt);
    if (moves && !PollUntil(kPointerReportMs, [&] {
            return gPointerReports != reports && gPointerReportAt == PackedPoint(pt);
        }))
        Note("   the display did not report the pointer at %ld,%ld", pt.x, pt.y);
}

// One wheel detent per input at the pointer's place, as a wheel turns.
static void SendWheelInput(long long notches) {
    long long step = notches < 0 ? -1 : 1;
    for (long long i = 0; i != notches; i += step) {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.mouseData = static_cast<DWORD>(static_cast<int>(step * WHEEL_DELTA));
        in.mi.dwFlags = MOUSEEVENTF_WHEEL;
        SendInput(1, &in, sizeof in);
    }
}

static void SendKey(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

// The virtual key of a key name: a letter or digit, or a named key.
static WORD KeyCode(const std::string& name) {
    static const struct { const char* name; WORD vk; } kNamed[] = {
        {"ctrl", VK_CONTROL}, {"shift", VK_SHIFT}, {"alt", VK_MENU}, {"tab", VK_TAB}, {"enter", VK_RETURN},
        {"esc", VK_ESCAPE}, {"space", VK_SPACE}, {"left", VK_LEFT}, {"right", VK_RIGHT}, {"up", VK_UP},
        {"down", VK_DOWN}, {"home", VK_HOME}, {"end", VK_END}, {"pgup", VK_PRIOR}, {"pgdn", VK_NEXT},
        {"f4", VK_F4}, {"f10", VK_F10}, {"delete", VK_DELETE}, {"backspace", VK_BACK}, {"insert", VK_INSERT},
        {"apps", VK_APPS},
    };
    for (const auto& k : kNamed)
        if (name == k.name) return k.vk;
    if (name.size() == 1 && isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<WORD>(toupper(static_cast<unsigned char>(name[0])));
    return 0;
}

// Presses each chord ("ctrl+tab") in turn: modifiers down, the key down and
// up, modifiers up in reverse. Before each chord ready() is asked whether the
// keys still go where they should; false when a chord names an unknown key
// or ready() said no (*lost then set).
template <typename Ready>
static bool SendChords(const std::string& text, Ready ready, bool* lost) {
    std::istringstream words(text);
    std::string chord;
    *lost = false;
    while (words >> chord) {
        std::vector<WORD> keys;
        size_t from = 0;
        for (size_t plus; (plus = chord.find('+', from)) != std::string::npos; from = plus + 1)
            keys.push_back(KeyCode(chord.substr(from, plus - from)));
        keys.push_back(KeyCode(chord.substr(from)));
        for (WORD k : keys)
            if (!k) return false;
        if (!ready()) {
            *lost = true;
            return false;
        }
        for (WORD k : keys) SendKey(k, false);
        for (size_t i = keys.size(); i > 0; i--) SendKey(keys[i - 1], true);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// The windows of a class inside a window, in the order EnumChildWindows gives.
struct ClassSearch {
    std::string cls;
    long long wanted;
    HWND found;
};

static BOOL CALLBACK MatchClass(HWND wnd, LPARAM arg) {
    ClassSearch* s = reinterpret_cast<ClassSearch*>(arg);
    char cls[128] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (_stricmp(cls, s->cls.c_str()) != 0 || s->wanted-- > 0) return TRUE;
    s->found = wnd;
    return FALSE;
}

static DWORD ProcessOf(HWND wnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    return pid;
}

// Other tests' windows share the display and may open over the target: a
// press or a key goes out only once the target's own top window is under the
// point (or in front), the target's window raised when not. Another window of
// the client (a host the target's window lies over) does not do; a pop-up
// menu of the client's does, as it opens over the window that tracks it.
static bool OwnWindowAt(HWND at, HWND root, DWORD pid) {
    if (!at) return false;
    HWND atRoot = GetAncestor(at, GA_ROOT);
    if (atRoot == root) return true;
    char cls[16] = {};
    GetClassNameA(atRoot, cls, sizeof cls);
    return ProcessOf(atRoot) == pid && strcmp(cls, "#32768") == 0;
}

static bool TargetReachable(const Step& st, HWND wnd, const POINT* pt) {
    HWND root = GetAncestor(wnd, GA_ROOT);
    DWORD pid = ProcessOf(wnd);
    return PollUntil(WaitMs(st, kWindowWaitMs), [&] {
        if (OwnWindowAt(pt ? WindowFromPoint(*pt) : GetForegroundWindow(), root, pid)) return true;
        if (pt) SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        else SetForegroundWindow(root);
        return false;
    });
}

// capture-top: the first of the titled top windows that is there, waited for.
static void CaptureTopWindow(const Step& st) {
    HWND found = nullptr;
    std::string title;
    PollUntil(WaitMs(st, kWindowWaitMs), [&] {
        for (size_t k = 0; !found && FieldOf(st, "title", k); k++) {
            title = FieldOf(st, "title", k)->text;
            found = FindWindowA(nullptr, title.c_str());
        }
        return found != nullptr;
    });
    const std::string& var = FieldOf(st, "name")->text;
    if (!found) {
        Fail(st.line, "none of the windows named for $%s is there", var.c_str());
        return;
    }
    gVars[var] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(found));
    Note("   $%s = window 0x%X (\"%s\")", var.c_str(), gVars[var], title.c_str());
}

// The colours of the screen's area from its top-left corner, row by row
// (one copy of the screen, not one read per pixel); empty when it failed.
static std::vector<COLORREF> ScreenPixels(POINT from, SIZE area) {
    std::vector<COLORREF> out;
    if (area.cx <= 0 || area.cy <= 0) return out;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = area.cx;
    bi.bmiHeader.biHeight = -area.cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (mem && bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        if (BitBlt(mem, 0, 0, area.cx, area.cy, screen, from.x, from.y, SRCCOPY)) {
            GdiFlush();
            const uint32_t* px = static_cast<const uint32_t*>(bits);
            for (LONG i = 0; i < area.cx * area.cy; i++)
                out.push_back(RGB((px[i] >> 16) & 0xFF, (px[i] >> 8) & 0xFF, px[i] & 0xFF));
        }
        SelectObject(mem, old);
    }
    if (bmp) DeleteObject(bmp);
    if (mem) DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return out;
}

static void RunTargetedStep(const Step& st) {
    if (st.text == "capture-top") {
        CaptureTopWindow(st);
        return;
    }
    const Field* target = FieldOf(st, "target");
    HWND wnd = target ? TargetWindow(st, *target) : nullptr;
    std::string name = target && target->var.empty() ? "\"" + target->text + "\"" : "$" + (target ? target->var : "");
    if (!wnd) {
        Fail(st.line, "no window %s", name.c_str());
        return;
    }
    if (st.text == "capture-window") {
        ClassSearch search = {FieldOf(st, "class")->text, NumOf(st, "index", 0), nullptr};
        EnumChildWindows(wnd, MatchClass, reinterpret_cast<LPARAM>(&search));
        const std::string& var = FieldOf(st, "name")->text;
        if (!search.found) {
            Fail(st.line, "no window of class %s in %s", search.cls.c_str(), name.c_str());
            return;
        }
        gVars[var] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(search.found));
        // Where it lies in the target's client area: the points a script's
        // native run clicks are read from here.
        RECT r = {};
        GetWindowRect(search.found, &r);
        MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&r), 2);
        Note("   $%s = window 0x%X (%s) at %ld,%ld to %ld,%ld of %s", var.c_str(), gVars[var], search.cls.c_str(),
             r.left, r.top, r.right, r.bottom, name.c_str());
        return;
    }
    if (st.text == "post-message" || st.text == "send-message") {
        UINT msg = static_cast<UINT>(NumOf(st, "arg", 0, 0));
        WPARAM wp = static_cast<WPARAM>(NumOf(st, "arg", 0, 1));
        LPARAM lp = static_cast<LPARAM>(NumOf(st, "arg", 0, 2));
        if (st.text == "post-message") {
            if (!PostMessageA(wnd, msg, wp, lp)) Fail(st.line, "PostMessage to %s failed", name.c_str());
            else Note("S> message 0x%X to window %s", msg, name.c_str());
            return;
        }
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(wnd, msg, wp, lp, SMTO_NORMAL, 10000, &result)) {
            Fail(st.line, "SendMessage to %s was not handled in time", name.c_str());
            return;
        }
        Note("S> message 0x%X handled by window %s: %d", msg, name.c_str(), static_cast<int32_t>(result));
        if (FieldOf(st, "expect") && static_cast<int32_t>(result) != static_cast<int32_t>(NumOf(st, "expect", 0)))
            Fail(st.line, "message 0x%X answered %d, expected %d", msg, static_cast<int32_t>(result),
                 static_cast<int32_t>(NumOf(st, "expect", 0)));
        return;
    }
    if (st.text == "keys") {
        SetForegroundWindow(GetAncestor(wnd, GA_ROOT));
        // The foreground is checked again before every chord: another
        // program's window may take it while the keys go out.
        bool lost = false;
        auto ready = [&] { return TargetReachable(st, wnd, nullptr); };
        if (!SendChords(FieldOf(st, "keys")->text, ready, &lost)) {
            if (lost) Fail(st.line, "%s never came to the foreground", name.c_str());
            else Fail(st.line, "keys \"%s\" name an unknown key", FieldOf(st, "keys")->text.c_str());
        }
        else Note("S> keys \"%s\" to %s", FieldOf(st, "keys")->text.c_str(), name.c_str());
        return;
    }
    POINT pt = {static_cast<LONG>(NumOf(st, "x", 0)), static_cast<LONG>(NumOf(st, "y", 0))};
    ClientToScreen(wnd, &pt);
    if (st.text == "mouse") {
        const std::string& action = FieldOf(st, "action")->text;
        bool left = action.find("left") != std::string::npos;
        DWORD down = left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
        DWORD up = left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
        bool press = action.rfind("down", 0) == 0 || action.rfind("dblclick", 0) == 0;
        if (press && !TargetReachable(st, wnd, &pt)) {
            Fail(st.line, "another program's window covers %ld,%ld of %s", pt.x, pt.y, name.c_str());
            return;
        }
        PointerTo(wnd, pt);
        if (action.rfind("down", 0) == 0) SendMouseInput(down, pt);
        else if (action.rfind("up", 0) == 0) SendMouseInput(up, pt);
        else if (action.rfind("dblclick", 0) == 0)
            for (int i = 0; i < 2; i++) SendMouseInput(down, pt), SendMouseInput(up, pt);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Note("S> mouse %s at %ld,%ld of %s", action.c_str(), pt.x, pt.y, name.c_str());
        return;
    }
    if (st.text == "wheel") {
        if (!TargetReachable(st, wnd, &pt)) {
            Fail(st.line, "another program's window covers %ld,%ld of %s", pt.x, pt.y, name.c_str());
            return;
        }
        PointerTo(wnd, pt);
        SendWheelInput(NumOf(st, "notches", 0));
        Note("S> wheel %lld at %ld,%ld of %s", NumOf(st, "notches", 0), pt.x, pt.y, name.c_str());
        return;
    }
    // expect-pixel: the colour on the screen at the point, within the tolerance per channel.
    long long want = NumOf(st, "rgb", 0), tolerance = NumOf(st, "tolerance", 0);
    COLORREF got = CLR_INVALID;
    auto matches = [&](COLORREF c) {
        long long d[3] = {static_cast<long long>(GetRValue(c)) - ((want >> 16) & 0xFF),
                          static_cast<long long>(GetGValue(c)) - ((want >> 8) & 0xFF),
                          static_cast<long long>(GetBValue(c)) - (want & 0xFF)};
        for (long long x : d)
            if (x > tolerance || x < -tolerance) return false;
        return true;
    };
    SIZE area = {static_cast<LONG>(NumOf(st, "width", 1)), static_cast<LONG>(NumOf(st, "height", 1))};
    PollUntil(WaitMs(st, kPixelWaitMs), [&] {
        HWND at = WindowFromPoint(pt);
        if (!at || ProcessOf(at) != ProcessOf(wnd))
            SetWindowPos(GetAncestor(wnd, GA_ROOT), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        std::vector<COLORREF> pixels = ScreenPixels(pt, area);
        got = pixels.empty() ? CLR_INVALID : pixels[0];
        for (COLORREF c : pixels)
            if (matches(c)) return (got = c), true;
        return false;
    });
    if (got == CLR_INVALID || !matches(got))
        Fail(st.line, "pixel at %ld,%ld (%ldx%ld) of %s is %02X%02X%02X, expected %06llX", pt.x, pt.y, area.cx,
             area.cy, name.c_str(), GetRValue(got), GetGValue(got), GetBValue(got), want);
    else Note("   pixel at %ld,%ld (%ldx%ld) of %s is %06llX", pt.x, pt.y, area.cx, area.cy, name.c_str(), want);
}
#else
static void RunTargetedStep(const Step& st) { Fail(st.line, "window steps need the Windows build of the server"); }
#endif

// ---- Twin screenshots ------------------------------------------------------------
//   twin-screenshot NAME "TITLE" SEL
// One picture of a twin window's client area from each run of a twin scene:
// in the web view the page's own picture of element SEL (NAME-web.png, taken
// by the page host); in the native run (--skip-page-steps) the client area of
// the top window TITLE from the screen (NAME-native.bmp), once no other
// program's window covers it and the screen has settled. The two are compared
// control by control by tests/webview/shotpair.sh. With "frame" the native
// picture is the whole window, its frame and caption too (SEL then names the
// page's whole window, a dialog's title bar and all).

static bool ParseTwinShot(const std::vector<std::string>& w, Step* st) {
    if ((w.size() != 4 && w.size() != 5) || w[2][0] != '"') return false;
    if (w.size() == 5 && w[4] != "frame") return false;
    std::string name = Word(w[1]);
    st->raw.assign(name.begin(), name.end());
    st->text = w[2].substr(1);
    st->fields.push_back(Field{"sel", 0, 0, Word(w[3]), ""});
    if (w.size() == 5) st->fields.push_back(Field{"frame", 1, 0, "", ""});
    return !name.empty();
}

#ifdef _WIN32
// True when no other shown top window lies over the rectangle: the top
// windows above this one in the window order (the order WindowFromPoint and
// the screen follow) are looked at, each window once; raises the window while
// one does. Other tests' windows share the display and often open at the same
// place. (A probe of the rectangle point by point asked the same of thousands
// of points, each a round trip to the window system.)
static bool ClientAreaUncovered(HWND wnd, const RECT& r, std::string* cover) {
    for (HWND above = GetWindow(wnd, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
        RECT placed, both;
        if (!IsWindowVisible(above) || !GetWindowRect(above, &placed) || !IntersectRect(&both, &placed, &r)) continue;
        char cls[64] = "", title[64] = "";
        GetClassNameA(above, cls, sizeof cls);
        GetWindowTextA(above, title, sizeof title);
        *cover = "a window of class " + std::string(cls) + " \"" + title + "\" of process " +
                 std::to_string(ProcessOf(above)) + " at " + std::to_string(both.left) + "," + std::to_string(both.top);
        SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return false;
    }
    return true;
}

// The client's own shown top window with the title: twin scenes running side
// by side give their windows the same titles.
struct OwnWindowSearch {
    const char* title;
    DWORD pid;
    HWND found;
};

static BOOL CALLBACK MatchOwnWindow(HWND wnd, LPARAM arg) {
    OwnWindowSearch* s = reinterpret_cast<OwnWindowSearch*>(arg);
    char title[256] = "";
    GetWindowTextA(wnd, title, sizeof title);
    if (!IsWindowVisible(wnd) || strcmp(title, s->title) != 0 || (s->pid && ProcessOf(wnd) != s->pid)) return TRUE;
    s->found = wnd;
    return FALSE;
}

static HWND WaitOwnTopWindow(const Step& st) {
    OwnWindowSearch search = {st.text.c_str(), gChild ? GetProcessId(gChild) : 0, nullptr};
    PollUntil(WaitMs(st, kWindowWaitMs), [&] {
        EnumWindows(MatchOwnWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

// The part of the window's client area that lies on the screen, as a BMP
// whose top left pixel is the client area's origin.
static void ShootClientArea(const Step& st, const std::string& file) {
    HWND wnd = WaitOwnTopWindow(st);
    if (!wnd) {
        Fail(st.line, "no window \"%s\" to shoot", st.text.c_str());
        return;
    }
    int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    RECT client = {};
    POINT origin = {0, 0};
    GetClientRect(wnd, &client);
    ClientToScreen(wnd, &origin);
    if (FieldOf(st, "frame")) {
        RECT whole = {};
        GetWindowRect(wnd, &whole);
        origin = {whole.left, whole.top};
        client = {0, 0, whole.right - whole.left, whole.bottom - whole.top};
    }
    RECT on = {origin.x, origin.y, std::min<LONG>(origin.x + client.right, screenW),
               std::min<LONG>(origin.y + client.bottom, screenH)};
    if (origin.x < 0 || origin.y < 0 || on.right <= on.left || on.bottom <= on.top) {
        Fail(st.line, "the client area of \"%s\" does not begin on the screen", st.text.c_str());
        return;
    }
    // Captured while nothing covers the area, before and after the capture
    // (a window may open over it while the screen settles).
    std::vector<uint8_t> screen;
    std::string cover;
    bool shot = PollUntil(WaitMs(st, kWindowWaitMs), [&] {
        return ClientAreaUncovered(wnd, on, &cover) && SettledScreen(screenW, screenH, &screen) &&
               ClientAreaUncovered(wnd, on, &cover);
    });
    if (!shot) {
        Fail(st.line, "%s covers the client area of \"%s\" (process %lu)", cover.c_str(), st.text.c_str(),
             ProcessOf(wnd));
        return;
    }
    int w = on.right - on.left, h = on.bottom - on.top;
    uint32_t from = DibStride(screenW), to = DibStride(w);
    std::vector<uint8_t> crop(static_cast<size_t>(to) * static_cast<size_t>(h));
    for (int row = 0; row < h; row++) {
        // Both are bottom-up: the crop's row 0 is the screen's row on.bottom - 1.
        size_t src = static_cast<size_t>(screenH - on.bottom + row) * from + static_cast<size_t>(on.left) * 3;
        memcpy(&crop[static_cast<size_t>(row) * to], &screen[src], static_cast<size_t>(w) * 3);
    }
    if (!WriteBmp24(file, w, h, crop.data())) Fail(st.line, "the screenshot %s could not be written", file.c_str());
    else Note("   client area of \"%s\" (%dx%d at %ld,%ld) in %s", st.text.c_str(), w, h, origin.x, origin.y,
              file.c_str());
}
#else
static void ShootClientArea(const Step& st, const std::string&) {
    Fail(st.line, "window steps need the Windows build of the server");
}
#endif

static void RunTwinShot(const Step& st) {
    std::string name(st.raw.begin(), st.raw.end());
    if (gSkipPageSteps) {
        ShootClientArea(st, name + "-native.bmp");
        return;
    }
    Step page = st;
    std::string file = name + "-web.png";
    page.raw.assign(file.begin(), file.end());
    page.text = PageControlQuote(FieldOf(st, "sel")->text);
    RunPageStep(page);
}

// The client's largest commit so far against a limit of the step, in
// megabytes: the larger of the system's peak and the sampler's (Wine reports
// the peak as the current commit).
static void CheckPeakMemory(const Step& st) {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    if (!gChild || !GetProcessMemoryInfo(gChild, &pmc, sizeof pmc)) {
        Fail(st.line, "the client's memory cannot be read");
        return;
    }
    const size_t peakMb = std::max(static_cast<size_t>(pmc.PeakPagefileUsage), gPeakMemory) >> 20;
    Note("   client peak commit %zu MB", peakMb);
    if (peakMb >= static_cast<size_t>(st.args[0])) Fail(st.line, "the client's peak commit is %zu MB", peakMb);
#else
    Fail(st.line, "expect-peak-memory needs the Windows build");
#endif
}

// Sends a request of the server's own making (a step that asks again and
// again), with no sequence number of its own.
static void SendOwnRequest(const Step& st, uint32_t type, std::vector<Field> fields) {
    Step ask = {};
    ask.kind = kStepSend;
    ask.line = st.line;
    ask.seq = -1;
    ask.type = type;
    ask.fields = std::move(fields);
    std::vector<uint8_t> m = BuildMsg(ask);
    SendStep(st, m.data(), m.size());
}

// expect-value: the object's value asked (2408) until it is the one wanted.
// Each question gets its own answer (1129: +8 0, +12 the value, +16 its kind),
// so the stream stays in step however many questions it takes.
static void ExpectValue(const Step& st) {
    constexpr uint32_t kGetValue = 2408, kValueAnswer = 1129;
    long long obj = 0, want = 0;
    if (!FieldNum(st, *FieldOf(st, "object"), &obj) || !FieldNum(st, *FieldOf(st, "value"), &want)) return;
    int32_t got = 0;
    int asked = 0;
    bool answered = true;
    bool same = PollUntil(WaitMs(st, kValueWaitMs), [&] {
        SendOwnRequest(st, kGetValue, {Field{"u32", obj, 0, "", ""}, Field{"u32", st.args[0], 0, "", ""}});
        std::vector<uint8_t> a;
        asked++;
        uint32_t type = 0, v = 0;
        answered = !gLinkDown && NextMsg(st, &a) && WireReader(a.data(), a.size(), gSwapped).U32At(4, &type) &&
                   type == kValueAnswer && WireReader(a.data(), a.size(), gSwapped).U32At(12, &v);
        got = static_cast<int32_t>(v);
        // A wrong answer ends the wait: asking on would only read past it.
        return !answered || got == static_cast<int32_t>(want);
    });
    if (!answered) Fail(st.line, "the value of object %lld was not answered by 1129", obj);
    else if (!same)
        Fail(st.line, "the value of object %lld is %d, expected %lld within %d ms (%d questions)", obj, got, want,
             WaitMs(st, kValueWaitMs), asked);
    else Note("   value of object %lld is %d (%d question%s)", obj, got, asked, asked == 1 ? "" : "s");
}

// The twin path (a transcript is written): each WINDOW the script creates
// and captures has its Width and Height asked (2414 of ids 342 and 289,
// answered by 1129: +8 0, +12 the value) and written to the transcript, so
// the two runs of a twin must give their windows the same size in the
// window's own units.
static bool IsWindowCreate(const Step& st) {
    constexpr uint32_t kCreate = 1401, kWindowType = 30;
    return st.type == kCreate && !st.fields.empty() && st.fields[0].op == "u32" && st.fields[0].var.empty() &&
           st.fields[0].num == kWindowType;
}

static void TranscribeWindowSize(const Step& st) {
    constexpr uint32_t kGetProp = 2414, kPropAnswer = 1129, kPidWidth = 342, kPidHeight = 289;
    if (!gTranscript || st.nativeOnly || st.webOnly || st.fields.empty() || st.fields[0].op != "capture") return;
    auto it = gVars.find(st.fields[0].var);
    if (it == gVars.end() || it->second == 0) return;
    long long size[2] = {0, 0};
    const uint32_t ids[2] = {kPidWidth, kPidHeight};
    for (int i = 0; i < 2; i++) {
        SendOwnRequest(st, kGetProp, {Field{"u32", it->second, 0, "", ""}, Field{"u32", ids[i], 0, "", ""},
                                      Field{"u32", 0, 0, "", ""}, Field{"fill", 20, 0, "", ""},
                                      Field{"u32", 0, 0, "", ""}});
        std::vector<uint8_t> a;
        uint32_t type = 0, status = 1, v = 0;
        if (gLinkDown || !NextMsg(st, &a)) return;
        WireReader answer(a.data(), a.size(), gSwapped);
        if (!answer.U32At(4, &type) || type != kPropAnswer || !answer.U32At(8, &status) || status != 0 ||
            !answer.U32At(12, &v)) {
            Fail(st.line, "the size of window $%s was not answered by 1129", st.fields[0].var.c_str());
            return;
        }
        size[i] = static_cast<int32_t>(v);
    }
    Note("   window $%s: Width %lld Height %lld", st.fields[0].var.c_str(), size[0], size[1]);
    fprintf(gTranscript, "window $%s Width %lld Height %lld\n", st.fields[0].var.c_str(), size[0], size[1]);
}

// drain-events: polls (1050) until the client answers 1102 (no event waits);
// each event (1142) taken meanwhile is noted by its object, number, modifiers
// and value. A queue
// that never empties, or any other answer, fails the step.
static void DrainEvents(const Step& st) {
    constexpr uint32_t kPoll = 1050, kEvent = 1142, kNoEvent = 1102;
    constexpr int kMostDrained = 64;
    for (int taken = 0; taken <= kMostDrained; taken++) {
        SendOwnRequest(st, kPoll, {Field{"u32", 0, 0, "", ""}});
        std::vector<uint8_t> a;
        if (gLinkDown || !NextMsg(st, &a)) return;
        uint32_t type = 0, obj = 0, number = 0;
        WireReader r(a.data(), a.size(), gSwapped);
        if (!r.U32At(4, &type) || (type != kEvent && type != kNoEvent)) {
            Fail(st.line, "a poll was answered by %u, not by an event or 1102", type);
            return;
        }
        if (type == kNoEvent) {
            Note("   %d event%s drained", taken, taken == 1 ? "" : "s");
            return;
        }
        uint32_t mods = 0, value = 0;
        r.U32At(16, &obj);
        r.U32At(28, &number);
        r.U32At(32, &mods);
        r.U32At(36, &value);
        Note("   drained event %u of object %u (modifiers %u, value %d)", number, obj, mods >> 16,
             static_cast<int32_t>(value));
    }
    Fail(st.line, "more than %d events were waiting", kMostDrained);
}

// send-unread: the message goes out again and again, copies of it back to back,
// as far as the connection takes them, and nothing the client sends is read,
// until the client has ended. The server's own receive buffer is kept small,
// so the client's answers fill the link soon. The connection stays as it is
// for the steps after it (an "exit" step checks the client's code).
#ifdef _WIN32
constexpr size_t kUnreadCopies = 256;
constexpr int kUnreadReceiveBuffer = 16384;

static void SendUnread(const Step& st) {
    if (!gChild) {
        Fail(st.line, "send-unread needs the client the server started");
        return;
    }
    std::vector<uint8_t> one = BuildMsg(st), run;
    for (size_t k = 0; k < kUnreadCopies; k++) run.insert(run.end(), one.begin(), one.end());
    int small = kUnreadReceiveBuffer;
    setsockopt(gConn, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&small), sizeof small);
    u_long nonBlocking = 1;
    ioctlsocket(gConn, FIONBIO, &nonBlocking);
    Note("S> %u again and again, nothing read", st.type);
    size_t at = 0;
    uint64_t sent = 0;
    bool linkOpen = true;
    auto start = std::chrono::steady_clock::now();
    bool ended = PollUntil(WaitMs(st, kUnreadWaitMs), [&] {
        if (WaitForSingleObject(gChild, 0) == WAIT_OBJECT_0) return true;
        while (linkOpen) {
            int k = send(gConn, reinterpret_cast<const char*>(run.data() + at), static_cast<int>(run.size() - at), 0);
            if (k == SOCKET_ERROR) {
                // Full: the client is not reading either; anything else: it has closed.
                linkOpen = WSAGetLastError() == WSAEWOULDBLOCK;
                break;
            }
            sent += static_cast<uint64_t>(k);
            at = (at + static_cast<size_t>(k)) % run.size();
        }
        return false;
    });
    nonBlocking = 0;
    ioctlsocket(gConn, FIONBIO, &nonBlocking);
    long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    if (!ended) {
        Fail(st.line, "the client was still running %lld ms after the server stopped reading", ms);
        return;
    }
    Note("   the client ended %lld ms after the server stopped reading (%llu messages sent)", ms,
         static_cast<unsigned long long>(sent / one.size()));
}
#else
static void SendUnread(const Step& st) { Fail(st.line, "send-unread needs the Windows build of the server"); }
#endif

// Whether the client --client started has ended already.
static bool ClientEnded() {
#ifdef _WIN32
    return gChild && WaitForSingleObject(gChild, 0) == WAIT_OBJECT_0;
#else
    return false;
#endif
}

static int RunSteps(const std::vector<Step>& steps, int* exitWanted) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastSend = Clock::now(), lastAnswer = Clock::now();
    std::vector<uint8_t> bundle;
    bool inBundle = false;
    uint32_t bundleCount = 0;
    int bundleSeq = 0;
    bool windowCreated = false;   // the last send created a WINDOW
    for (const Step& st : steps) {
        if (gFailures || gLinkDown) break;
        // A hostile replay judges only how the client ends: once it has
        // ended, the steps left have nobody to act on, and their waits for
        // its windows (30 s each) would only hold the replay past the run's
        // ceiling, where the whole run counts as hung.
        if (gLenient && ClientEnded()) {
            Note("   the client has ended: the rest of the script is skipped (line %d)", st.line);
            break;
        }
        if (st.nativeOnly && !gSkipPageSteps) {
            Note("   native step skipped (line %d)", st.line);
            continue;
        }
        if (st.webOnly && gSkipPageSteps) {
            Note("   web-view step skipped (line %d)", st.line);
            continue;
        }
        switch (st.kind) {
        case kStepSend: {
            windowCreated = IsWindowCreate(st);
            std::vector<uint8_t> m = BuildMsg(st);
            if (st.lenSet) {
                long long claim = st.lenRelative ? static_cast<long long>(m.size()) + st.len : st.len;
                uint32_t word = WireGetU32(m.data(), gSwapped) & ~kHdrLenMask;
                WirePutU32(m.data(), word | (static_cast<uint32_t>(claim) & kHdrLenMask), gSwapped);
            }
            if (st.cut > 0 && static_cast<size_t>(st.cut) < m.size()) m.resize(static_cast<size_t>(st.cut));
            Note("S> %u%s%s len=%zu", st.type, st.lzo ? " lzo" : "", st.ack ? " ack" : "", m.size());
            if (inBundle) {
                bundle.insert(bundle.end(), m.begin(), m.end());
                bundleCount++;
            } else {
                SendStep(st, m.data(), m.size());
            }
            lastSend = Clock::now();
            break;
        }
        case kStepBundleBegin:
            inBundle = true;
            bundle.assign(8, 0);
            bundleCount = 0;
            bundleSeq = st.seq < 0 ? 0 : st.seq;
            break;
        case kStepBundleEnd:
            inBundle = false;
            WirePutU32(bundle.data(), FrameWord(static_cast<uint32_t>(bundle.size()), bundleSeq, kHdrBundle), gSwapped);
            WirePutU32(bundle.data() + 4, bundleCount, gSwapped);
            Note("S> bundle of %u", bundleCount);
            SendStep(st, bundle.data(), bundle.size());
            break;
        case kStepExpect: {
            std::vector<uint8_t> m;
            if (NextMsg(st, &m)) CheckMsg(st, m);
            lastAnswer = Clock::now();
            if (windowCreated && !gFailures) TranscribeWindowSize(st);
            windowCreated = false;
            break;
        }
        case kStepAnsweredWithin: {
            // A bound that is itself what the scene tests (a refusal that must come quickly).
            long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(lastAnswer - lastSend).count();
            if (ms < 0 || ms > static_cast<long long>(st.type))
                Fail(st.line, "the answer took %lld ms, more than %u", ms, st.type);
            else
                Note("   answered within %lld ms", ms);
            break;
        }
        case kStepExpectBundle: {
            if (!gPending.empty()) {
                Fail(st.line, "members of an earlier bundle are still unchecked");
                break;
            }
            Frame f;
            do f = RecvFrame(); while (f.keepAlive);
            if (!f.bundle) {
                Fail(st.line, "expected a bundle, got %s", f.closed ? "a closed connection" : "a single message");
            } else if (f.members.size() != st.type) {
                Fail(st.line, "expected %u bundle members, got %zu", st.type, f.members.size());
            } else {
                Note("C> bundle of %zu", f.members.size());
                gPending = f.members;
            }
            break;
        }
        case kStepExpectKeepAlive: {
            Frame f = RecvFrame();
            if (!f.keepAlive) Fail(st.line, "expected the keep-alive word");
            else Note("C> keep-alive");
            break;
        }
        case kStepSendUnread:
            SendUnread(st);
            break;
        case kStepExpectClosed: {
            Frame f;
            do f = RecvFrame(); while (f.keepAlive);
            if (!f.closed) Fail(st.line, "expected the client to close the connection");
            else Note("C> closed");
            break;
        }
        case kStepSwapped:
            gSwapped = true;
            break;
        case kStepRaw:
            Note("S> raw %zu bytes", st.raw.size());
            SendStep(st, st.raw.data(), st.raw.size());
            break;
        case kStepClose:
            Note("S> close");
            CloseSock(gConn);
            gConn = kNoSock;
            // Nothing can be sent or received any more.
            if (gLenient) gLinkDown = true;
            break;
        case kStepKeepAlives:
            SendKeepAlives(st);
            break;
        case kStepSleep:
            std::this_thread::sleep_for(std::chrono::milliseconds(st.type));
            break;
        case kStepExit:
            *exitWanted = static_cast<int>(st.type);
            break;
        case kStepExpectPeakMemory:
            CheckPeakMemory(st);
            break;
        case kStepScreenshot:
        case kStepExpectWindow:
        case kStepPostMessage:
        case kStepSendMessage:
        case kStepClick:
        case kStepSetText:
        case kStepClipboard:
            RunWindowStep(st);
            break;
        case kStepPage:
            RunPageStep(st);
            break;
        case kStepTwinShot:
            RunTwinShot(st);
            break;
        case kStepTargeted:
            RunTargetedStep(st);
            break;
        case kStepExpectValue:
            ExpectValue(st);
            break;
        case kStepDifference:
            Note("   the twins differ here: %s", st.text.c_str());
            if (gTranscript) fprintf(gTranscript, "difference %s\n", st.text.c_str());
            break;
        case kStepDrainEvents:
            DrainEvents(st);
            break;
        case kStepWaitFile: {
            auto there = [&] { return std::ifstream(st.text).good(); };
            if (PollUntil(WaitMs(st, kFileWaitMs), there)) Note("   file %s is there", st.text.c_str());
            else Fail(st.line, "the file %s did not come within %d ms", st.text.c_str(), WaitMs(st, kFileWaitMs));
            break;
        }
        case kStepMeasure:
            RunMeasureStep(st);
            break;
        case kStepAtMost: {
            long long limit = 0;
            auto it = gVars.find(st.text);
            if (it == gVars.end()) Fail(st.line, "$%s was not measured before", st.text.c_str());
            else if (FieldNum(st, st.fields[0], &limit) && static_cast<long long>(it->second) > limit)
                Fail(st.line, "$%s is %u, more than %lld", st.text.c_str(), it->second, limit);
            else Note("   $%s = %u, at most %lld", st.text.c_str(), it->second, limit);
            break;
        }
        }
    }
    return gFailures ? 1 : 0;
}

// ---- Listening and the client process ------------------------------------------------

static Sock Listen4(int* port) {
    Sock s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == kNoSock) return kNoSock;
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof(on));
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(*port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof(a);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(s, 2) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) != 0) {
        CloseSock(s);
        return kNoSock;
    }
    *port = ntohs(a.sin_port);
    return s;
}

// ::1 on the same port, when the system has IPv6; kNoSock otherwise.
static Sock Listen6(int port) {
    Sock s = socket(AF_INET6, SOCK_STREAM, 0);
    if (s == kNoSock) return kNoSock;
    int on = 1;
    setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on), sizeof(on));
    sockaddr_in6 a = {};
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(static_cast<uint16_t>(port));
    a.sin6_addr = in6addr_loopback;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(s, 2) != 0) {
        CloseSock(s);
        return kNoSock;
    }
    return s;
}

static Sock AcceptEither(Sock s4, Sock s6, int seconds) {
    fd_set rd;
    FD_ZERO(&rd);
    FD_SET(s4, &rd);
    int top = static_cast<int>(s4);
    if (s6 != kNoSock) {
        FD_SET(s6, &rd);
        if (static_cast<int>(s6) > top) top = static_cast<int>(s6);
    }
    timeval tv = {seconds, 0};
    if (select(top + 1, &rd, nullptr, nullptr, &tv) <= 0) return kNoSock;
    Sock from = FD_ISSET(s4, &rd) ? s4 : s6;
    return accept(from, nullptr, nullptr);
}

// --lenient: the client's exit is judged, not the answers.
static int gLimitSec = 0;                  // --limit: how long the client may take to end
static long long gMemLimitMb = 512;        // --mem-limit

// Exception statuses are the exit code of a process that crashed: NTSTATUS
// errors (0xC0000005 access violation, 0xC00000FD stack overflow, 0xC0000409
// stack buffer overrun, ...) and the breakpoint 0x80000003.
static bool IsCrashExitCode(int code) {
    uint32_t c = static_cast<uint32_t>(code);
    return code != -1000 && (c >= 0xC0000000u || c == 0x80000003u);
}

// The verdict of a hostile replay: 0 sound, 2 crash, 3 hang, 4 memory.
static int HostileVerdict(int code, int limit) {
    if (code == -1000) {
        printf("HOSTILE: hang (the client did not end within %d s of the server closing)\n", limit);
        return 3;
    }
    if (IsCrashExitCode(code)) {
        printf("HOSTILE: crash (exit code 0x%08X)\n", static_cast<uint32_t>(code));
        return 2;
    }
    if (gPeakMemory > static_cast<size_t>(gMemLimitMb) * 1024 * 1024) {
        printf("HOSTILE: memory (the client committed %zu MB)\n", gPeakMemory >> 20);
        return 4;
    }
    printf("HOSTILE: sound (exit code %d, %zu MB at most)\n", code, gPeakMemory >> 20);
    return 0;
}

#ifdef _WIN32
static bool StartClient(const std::string& cmd) {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    gChild = pi.hProcess;
    return true;
}
// The client's exit code, or -1000 when it did not end in time.
static int WaitClient(int seconds) {
    if (WaitForSingleObject(gChild, static_cast<DWORD>(seconds) * 1000) != WAIT_OBJECT_0) {
        TerminateProcess(gChild, 1);
        return -1000;
    }
    DWORD code = 0;
    GetExitCodeProcess(gChild, &code);
    return static_cast<int>(code);
}
// Samples the client's commit while it runs (a process that has ended reports none).
static volatile bool gSampling = false;
static void SampleClientMemory() {
    constexpr DWORD kSampleMs = 20;
    while (gSampling) {
        PROCESS_MEMORY_COUNTERS pmc = {};
        pmc.cb = sizeof pmc;
        if (GetProcessMemoryInfo(gChild, &pmc, sizeof pmc) && pmc.PagefileUsage > gPeakMemory)
            gPeakMemory = pmc.PagefileUsage;
        Sleep(kSampleMs);
    }
}
static uint32_t CountTempFiles(const std::string& pattern) {
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (!n || n >= sizeof dir) return 0;
    std::string spec = std::string(dir) + pattern;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(spec.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return 0;
    uint32_t count = 0;
    do count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    while (FindNextFileA(h, &found));
    FindClose(h);
    return count;
}
static void RunMeasureStep(const Step& st) {
    std::string what(st.raw.begin(), st.raw.end());
    uint32_t value = 0;
    bool ok = gChild != nullptr;
    if (ok && what == "handles") {
        DWORD count = 0;
        ok = GetProcessHandleCount(gChild, &count) != 0;
        value = count;
    } else if (ok && what == "memory-kb") {
        PROCESS_MEMORY_COUNTERS pmc = {};
        pmc.cb = sizeof pmc;
        ok = GetProcessMemoryInfo(gChild, &pmc, sizeof pmc) != 0;
        value = static_cast<uint32_t>(pmc.PagefileUsage >> 10);
    } else if (ok) {
        value = CountTempFiles(st.fields[0].text);
    }
    if (!ok) {
        Fail(st.line, "the client's %s cannot be measured", what.c_str());
        return;
    }
    gVars[st.text] = value;
    Note("   $%s = %u (%s)", st.text.c_str(), value, what.c_str());
}
#else
static void RunMeasureStep(const Step& st) { Fail(st.line, "measure needs the Windows build of the server"); }
static bool StartClient(const std::string& cmd) {
    gChild = fork();
    if (gChild < 0) return false;
    if (gChild == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return true;
}
static int WaitClient(int seconds) {
    for (int i = 0; i < seconds * 10; i++) {
        int status;
        if (waitpid(gChild, &status, WNOHANG) == gChild) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(gChild, SIGKILL);
    return -1000;
}
#endif

// Removes a file named by its Unix path (through drive Z: on the Windows build).
static void RemoveUnixFile(const std::string& path) {
#ifdef _WIN32
    std::string dos = "Z:" + path;
    for (char& c : dos)
        if (c == '/') c = '\\';
    DeleteFileA(dos.c_str());
#else
    unlink(path.c_str());
#endif
}

int main(int argc, char** argv) {
    int port = 0;
    std::string client, script;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--port" && i + 1 < argc) port = atoi(argv[++i]);
        else if (a == "--client" && i + 1 < argc) client = argv[++i];
        else if (a == "--timeout" && i + 1 < argc) gTimeoutSec = atoi(argv[++i]);
        else if (a == "--lenient") {
            // A hostile replay drives the client alone: page steps have no page to act on.
            gLenient = true;
            gSkipPageSteps = true;
        }
        else if (a == "--limit" && i + 1 < argc) gLimitSec = atoi(argv[++i]);
        else if (a == "--mem-limit" && i + 1 < argc) gMemLimitMb = atoll(argv[++i]);
        else if (a == "--define" && i + 1 < argc) {
            std::string d = argv[++i];
            size_t eq = d.find('=');
            long long v = 0;
            if (eq == std::string::npos || !ParseNum(d.substr(eq + 1), &v)) {
                printf("--define wants NAME=NUMBER, not %s\n", d.c_str());
                return 1;
            }
            gVars[d.substr(0, eq)] = static_cast<uint32_t>(v);
        } else if (a == "--transcript" && i + 1 < argc) {
            gTranscript = fopen(argv[++i], "w");
            if (!gTranscript) {
                printf("cannot write the transcript %s\n", argv[i]);
                return 1;
            }
        } else if (a == "--skip-page-steps") {
            gSkipPageSteps = true;
        } else {
            script = a;
        }
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    std::vector<Step> steps;
    if (script.empty() || !ParseScript(script.c_str(), &steps)) {
        printf("usage: qovserver [--port N] [--client \"program args\"] [--timeout S] [--lenient [--limit S]\n"
               "                 [--mem-limit MB]] [--define NAME=VALUE] [--transcript FILE]\n"
               "                 [--skip-page-steps] script\n");
        return 1;
    }
#ifdef _WIN32
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
#endif
    Sock s4 = Listen4(&port);
    if (s4 == kNoSock) {
        printf("cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    Sock s6 = Listen6(port);
    Note("listening on 127.0.0.1:%d%s", port, s6 != kNoSock ? " and [::1]" : "");
    bool spawned = false;
#ifdef _WIN32
    // Screenshots should show windows as a user sees them. On a display without
    // a window manager (Xvfb) Wine leaves the frames and captions to the manager
    // that is not there; this asks Wine to draw them itself in the client started
    // below (the setting is read when a process starts; Windows ignores the key).
    bool screenshots = false;
    for (const Step& st : steps) screenshots = screenshots || st.kind == kStepScreenshot || st.kind == kStepTwinShot;
    HKEY key;
    if (screenshots && RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_SET_VALUE,
                                       nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(key);
    }
#endif
    // The page host the client starts tells where its control port is through
    // this file; the client and the host inherit the setting. The file is
    // named by this server's own listening port, which no other server on the
    // machine holds while this one runs. A process id does not do: Wine
    // numbers the processes of each prefix on its own, so runs in other
    // prefixes beside this one (other test runs) have the same numbers, their
    // page hosts wrote their ports into this run's file, and a page step asked
    // another run's host (which answered for its own pages, or never).
    bool pageSteps = false;
    for (const Step& st : steps) pageSteps = pageSteps || st.kind == kStepPage || st.kind == kStepTwinShot;
    std::string controlFile;
    if (pageSteps && !gSkipPageSteps && !getenv(kPageControlFileSetting)) {
        controlFile = "/tmp/qovpagectl-" + std::to_string(port) + ".port";
#ifdef _WIN32
        SetEnvironmentVariableA(kPageControlFileSetting, controlFile.c_str());
        _putenv((std::string(kPageControlFileSetting) + "=" + controlFile).c_str());
#else
        setenv(kPageControlFileSetting, controlFile.c_str(), 1);
#endif
        RemoveUnixFile(controlFile);
        Note("page control file %s", controlFile.c_str());
    }
    if (!client.empty()) {
        // The program word comes first, the link switches right after it.
        size_t cut = client.find(' ');
        std::string prog = client.substr(0, cut);
        std::string rest = cut == std::string::npos ? "" : client.substr(cut);
        std::string cmd = prog + " -host 127.0.0.1 -port " + std::to_string(port) + rest;
        Note("starting %s", cmd.c_str());
        if (!StartClient(cmd)) {
            printf("cannot start the client\n");
            return 1;
        }
        spawned = true;
    }
#ifdef _WIN32
    // The client's commit is sampled only for what reads it (a peak-memory
    // step, a hostile replay's memory verdict): each sample asks the system
    // for another process's counters, 50 times a second for the whole run.
    bool sampleMemory = gLenient;
    for (const Step& st : steps) sampleMemory = sampleMemory || st.kind == kStepExpectPeakMemory;
    std::thread sampler;
    if (spawned && sampleMemory) {
        gSampling = true;
        sampler = std::thread(SampleClientMemory);
    }
#endif
    int exitWanted = -1;
    // A hostile replay runs many clients at once on a loaded machine: a slow
    // start is no finding, so the wait for the connection is longer there.
    constexpr int kLenientAcceptSec = 30;
    gConn = AcceptEither(s4, s6, gLenient ? std::max(gTimeoutSec * 3, kLenientAcceptSec) : gTimeoutSec * 3);
    int rc;
    if (gConn == kNoSock) {
        printf("FAIL: no client connected\n");
        rc = 1;
    } else {
        Note("client connected");
        rc = RunSteps(steps, &exitWanted);
    }
    if (spawned) {
        // Keep the link open while the client winds down, so it ends by its own
        // decision rather than by losing the server. A hostile replay instead
        // closes it: whatever state the client is in, a lost server must end it.
        if (gLenient && gConn != kNoSock) {
            Note("S> close");
            CloseSock(gConn);
            gConn = kNoSock;
        }
        int limit = gLimitSec > 0 ? gLimitSec : gTimeoutSec * 3;
        int code = WaitClient(limit);
#ifdef _WIN32
        gSampling = false;
        if (sampler.joinable()) sampler.join();
#endif
        Note("client exit code %d", code);
        if (gLenient) {
            int verdict = HostileVerdict(code, limit);
            if (verdict) rc = verdict;
        } else {
            if (exitWanted != -1 && code != exitWanted) {
                printf("FAIL: client exit code %d, expected %d\n", code, exitWanted);
                rc = 1;
            }
            if (code == -1000) rc = 1;
        }
    }
    PageControlClose();
    if (!controlFile.empty()) RemoveUnixFile(controlFile);
    if (gTranscript) fclose(gTranscript);
    if (gConn != kNoSock) CloseSock(gConn);
    CloseSock(s4);
    if (s6 != kNoSock) CloseSock(s6);
    Note(rc == 0 ? "PASS" : "FAILED");
    return rc;
}
