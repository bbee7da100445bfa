// testutil.h - helpers every test folder shares: ScopedSet, which gives a global
// (a mode, a hook, an allocator, a size cap) a value for one scope and puts the
// old value back when the scope ends, also when an ASSERT leaves the test early,
// so no test leaks its settings into the tests that run after it; ScopedEnv,
// the same for an environment variable; WaitUntil, which waits for a condition
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

// ---- Waiting for a condition ---------------------------------------------------------
// Time is explicit in the tests: a check of something that happens later (a
// window message, a timer, an MCI notice, another thread or process) waits
// until it holds or a generous deadline passes. The deadline is reached only
// on failure, so a quiet machine is as fast as with a short sleep and a busy
// one no longer fails. A wait that is itself what a test checks (a stall, a
// silence limit) stays a plain Sleep with a comment saying so.
constexpr int kWaitDeadlineMs = 10000;
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
