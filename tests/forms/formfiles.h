// formfiles.h - the files the forms tests under Wine hand the client: paths in
// the temporary folder and form files written there under their client-path
// names ("!" and the path), and the server's call that loads one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "session/proto/records.h"

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

// The server's LoadQofFile (Window method 13) naming one form file; name must
// outlive the call.
inline MethodCallRec LoadQofFileCall(const std::string& name) {
    MethodCallRec call = {};
    call.method = 13;
    call.result.kind = kItemInt;
    call.args[0].kind = kItemText;
    call.args[0].data = name.c_str();
    call.args[0].size = static_cast<uint32_t>(name.size());
    call.argPresent[0] = 1;
    call.argCount = 1;
    return call;
}
