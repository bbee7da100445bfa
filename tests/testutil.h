// testutil.h - helpers every test folder shares: ScopedSet, which gives a global
// (a mode, a hook, an allocator, a size cap) a value for one scope and puts the
// old value back when the scope ends, also when an ASSERT leaves the test early,
// so no test leaks its settings into the tests that run after it; and the
// reading of a whole file a test wrote or made the client write.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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
