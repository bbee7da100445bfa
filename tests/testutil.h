// testutil.h - helpers every test folder shares: ScopedSet, which gives a global
// (a mode, a hook, an allocator, a size cap) a value for one scope and puts the
// old value back when the scope ends, also when an ASSERT leaves the test early,
// so no test leaks its settings into the tests that run after it; ScopedEnv,
// the same for an environment variable; SequenceIs, an exact comparison of a
// recorded sequence with optional entries; WaitUntil, which waits for a condition
// with a deadline (dispatching the thread's window messages meanwhile) where a
// test would otherwise sleep a fixed time before its check; and the reading of
// a whole file a test wrote or made the client write.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace testutil_detail {
// Keeps the value argument out of template deduction, so a lambda or a
// function name converts to the hook's own pointer type.
template <typename T>
struct Same {
    using type = T;
};
}  // namespace testutil_detail

template <typename T>
class ScopedSet {
public:
    // Saves the global and gives it value.
    ScopedSet(T& target, typename testutil_detail::Same<T>::type value) : target_(target), saved_(target) {
        target_ = value;
    }
    // Saves the global only; the test changes it (or some of its fields) itself.
    explicit ScopedSet(T& target) : target_(target), saved_(target) {}
    ~ScopedSet() { target_ = saved_; }
    ScopedSet(const ScopedSet&) = delete;
    ScopedSet& operator=(const ScopedSet&) = delete;

private:
    T& target_;
    T saved_;
};

// An environment variable given a value (nullptr: removed) for one scope; the
// old value, or its absence, comes back when the scope ends. On Windows both
// the process environment (GetEnvironmentVariable) and the C runtime's copy
// (getenv) change, since the code under test reads one or the other.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = getenv(name);
        had_ = old != nullptr;
        if (old) saved_ = old;
        Put(name_, value);
    }
    ~ScopedEnv() { Put(name_, had_ ? saved_.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    static void Put(const std::string& name, const char* value) {
#ifdef _WIN32
        SetEnvironmentVariableA(name.c_str(), value);
        // An empty value removes the C runtime's entry; an empty setting reads
        // as unset everywhere in the client anyway.
        _putenv_s(name.c_str(), value ? value : "");
#else
        if (value) setenv(name.c_str(), value, 1);
        else unsetenv(name.c_str());
#endif
    }
    std::string name_;
    bool had_ = false;
    std::string saved_;
};

// ---- Exact sequences ----------------------------------------------------------------
// A recorded sequence (calls a test object logged, steps a fake saw) compared
// with the expected one entry by entry: an extra, a missing or a swapped entry
// fails. An optional entry may be missing (platforms differ there); nothing
// else is skipped.
struct SeqExpect {
    std::string text;
    bool optional = false;
};
inline SeqExpect MaySee(const std::string& text) { return SeqExpect{text, true}; }

namespace testutil_detail {
inline bool SequenceFrom(const std::vector<std::string>& got, size_t i, const std::vector<SeqExpect>& want, size_t j,
                         size_t* reached) {
    if (i > *reached) *reached = i;
    if (j == want.size()) return i == got.size();
    if (i < got.size() && got[i] == want[j].text && SequenceFrom(got, i + 1, want, j + 1, reached)) return true;
    return want[j].optional && SequenceFrom(got, i, want, j + 1, reached);
}
}  // namespace testutil_detail

// Whether got is exactly want; otherwise *report (when given) lists both
// sequences and the first recorded entry that did not fit.
inline bool SequenceIs(const std::vector<std::string>& got, const std::vector<SeqExpect>& want,
                       std::string* report = nullptr) {
    size_t reached = 0;
    if (testutil_detail::SequenceFrom(got, 0, want, 0, &reached)) return true;
    if (report) {
        std::string w, g;
        for (const SeqExpect& e : want) w += (w.empty() ? "" : ", ") + (e.optional ? "[" + e.text + "]" : e.text);
        for (const std::string& e : got) g += (g.empty() ? "" : ", ") + e;
        *report = "expected: " + w + "\n     got: " + g + "\n   parts at recorded entry " + std::to_string(reached) +
                  (reached < got.size() ? " (" + got[reached] + ")" : " (the end)");
    }
    return false;
}

// The entries of a log joined with one separator ("a;b;c;" or "a;b;c").
inline std::vector<std::string> SplitLog(const std::string& log, char separator) {
    std::vector<std::string> out;
    size_t from = 0;
    while (from < log.size()) {
        size_t at = log.find(separator, from);
        if (at == std::string::npos) at = log.size();
        out.push_back(log.substr(from, at - from));
        from = at + 1;
    }
    return out;
}

// ---- Waiting for a condition ---------------------------------------------------------
// Time is explicit in the tests: a check of something that happens later (a
// window message, a timer, an MCI notice, another thread or process) waits
// until it holds or a generous deadline passes. The deadline is reached only
// on failure, so a quiet machine is as fast as with a short sleep and a busy
// one no longer fails. A wait that is itself what a test checks (a stall, a
// silence limit) stays a plain Sleep with a comment saying so.
constexpr int kWaitDeadlineMs = 30000;
constexpr int kWaitPollMs = 5;

// One turn between two looks at the condition: the calling thread's messages
// are dispatched on Windows (the windows under test live on it), then a short
// pause lets other threads and processes run.
inline void WaitTurn() {
#ifdef _WIN32
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
#endif
    std::this_thread::sleep_for(std::chrono::milliseconds(kWaitPollMs));
}

// True as soon as done() holds; false when it still does not after deadlineMs.
// turn() runs between two looks (WaitTurn unless the test needs its own, for
// example one that leaves a message in the queue on purpose).
template <typename Done, typename Turn>
bool WaitUntil(Done done, int deadlineMs, Turn turn) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= until) return done();
        turn();
    }
}

template <typename Done>
bool WaitUntil(Done done, int deadlineMs = kWaitDeadlineMs) {
    return WaitUntil(done, deadlineMs, WaitTurn);
}

// The whole file as text; empty when it cannot be opened.
inline std::string ReadFileText(const std::string& path) {
    std::string s;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
}

// The whole file as bytes; empty when it cannot be opened.
inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::string s = ReadFileText(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}
