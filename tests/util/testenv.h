// testenv.h - small helpers the utility tests share: setting an environment
// variable on either build, and a scratch file name in the working directory.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/testutil.h"

inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
    std::string s = std::string(name) + "=" + (value ? value : "");
    _putenv(s.c_str());
#else
    if (value) setenv(name, value, 1);
    else unsetenv(name);
#endif
}

inline void WriteFile(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

inline std::string ReadFile(const std::string& path) { return ReadFileText(path); }
