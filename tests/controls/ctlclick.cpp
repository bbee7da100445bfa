// ctlclick.cpp - a test-only stand-in for a person at the screen: it starts a
// program (the scripted server, which starts the client), and clicks the
// buttons that the server's script names in its "# click:" lines, each once,
// in order, by posting BM_CLICK to the button as a mouse click would press it.
// The server sees only what a real click makes the client send.
//
// Usage: ctlclick SCRIPT PROGRAM [ARGS...]
// A script line   # click: "WINDOW TITLE" "BUTTON CAPTION"
// names a top window and a button in it. The button is clicked once it is
// visible and enabled; the script decides when that is (it shows or enables
// the button after registering $CLICK). Before the next line is served the
// clicked button must stop being clickable (hidden, disabled, destroyed), so
// one button can be clicked again later. The exit code is the program's.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 50;
constexpr char kClickMark[] = "# click:";

struct ClickLine {
    std::string window;
    std::string button;
};

struct ButtonSearch {
    const char* caption;
    HWND found;
};

// The quoted words of a line, in order.
std::vector<std::string> QuotedWords(const std::string& line) {
    std::vector<std::string> words;
    size_t at = 0;
    for (;;) {
        size_t open = line.find('"', at);
        if (open == std::string::npos) break;
        size_t close = line.find('"', open + 1);
        if (close == std::string::npos) break;
        words.push_back(line.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return words;
}

std::vector<ClickLine> ReadClickLines(const char* path) {
    std::vector<ClickLine> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, sizeof kClickMark - 1, kClickMark) != 0) continue;
        std::vector<std::string> w = QuotedWords(line);
        if (w.size() == 2) lines.push_back({w[0], w[1]});
        else printf("ctlclick: cannot read: %s\n", line.c_str());
    }
    return lines;
}

BOOL CALLBACK MatchButton(HWND wnd, LPARAM lp) {
    auto* s = reinterpret_cast<ButtonSearch*>(lp);
    char cls[32] = {}, text[256] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    GetWindowTextA(wnd, text, sizeof text);
    if (lstrcmpiA(cls, "Button") == 0 && strcmp(text, s->caption) == 0) {
        s->found = wnd;
        return FALSE;
    }
    return TRUE;
}

// The button of a line when it can be clicked now, else null.
HWND ClickableButton(const ClickLine& c) {
    HWND top = FindWindowA(nullptr, c.window.c_str());
    if (!top) return nullptr;
    ButtonSearch s = {c.button.c_str(), nullptr};
    EnumChildWindows(top, MatchButton, reinterpret_cast<LPARAM>(&s));
    return s.found && IsWindowVisible(s.found) && IsWindowEnabled(s.found) ? s.found : nullptr;
}

// The command line after the script argument, as the program's own.
const char* ProgramCommandLine() {
    const char* p = GetCommandLineA();
    for (int skip = 0; skip < 2; ++skip) {
        while (*p == ' ' || *p == '\t') ++p;
        bool quoted = false;
        for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p)
            if (*p == '"') quoted = !quoted;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        printf("usage: ctlclick SCRIPT PROGRAM [ARGS...]\n");
        return 2;
    }
    std::vector<ClickLine> clicks = ReadClickLines(argv[1]);
    std::string command = ProgramCommandLine();
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        printf("ctlclick: cannot start %s (%lu)\n", command.c_str(), GetLastError());
        return 2;
    }
    CloseHandle(pi.hThread);
    size_t next = 0;
    HWND clicked = nullptr;
    while (WaitForSingleObject(pi.hProcess, kPollMs) == WAIT_TIMEOUT) {
        if (clicked) {
            // The script takes the button away before the next click is served.
            if (IsWindow(clicked) && IsWindowVisible(clicked) && IsWindowEnabled(clicked)) continue;
            clicked = nullptr;
        }
        if (next >= clicks.size()) continue;
        HWND b = ClickableButton(clicks[next]);
        if (!b) continue;
        PostMessageA(b, BM_CLICK, 0, 0);
        printf("ctlclick: clicked \"%s\" in \"%s\"\n", clicks[next].button.c_str(), clicks[next].window.c_str());
        fflush(stdout);
        clicked = b;
        ++next;
    }
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    if (next < clicks.size()) printf("ctlclick: %zu of %zu clicks were not made\n", clicks.size() - next, clicks.size());
    return static_cast<int>(code);
}
