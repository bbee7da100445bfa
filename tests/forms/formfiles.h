// formfiles.h - the files the forms tests under Wine hand the client: paths in
// the temporary folder and form files written there under their client-path
// names ("!" and the path).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// Writes the file into the temporary folder and answers its client-path name.
inline std::string WriteForm(const std::vector<uint8_t>& bytes, const char* name) {
    std::string path = TempPath(name);
    WriteBytes(path, bytes);
    return "!" + path;
}
