// srvfile.cpp - files held by the server: fetching them (1150/1151), storing
// files back (1152), writing a server file to a local one, and the resource
// cache in front of the fetches. The disk cache passes every fetch through to
// the server for now; "clear" empties its folder and "nocache" keeps it off.
#include "session/session.h"

#include <cstdio>
#include <cstring>

#include "session/config.h"
#include "session/log.h"
#include "session/util/mem.h"

static MsgBuf gFetchAnswer;

constexpr char kCacheIndexName[] = "qovcache.idx";
constexpr char kCacheEntryPattern[] = "Q*.cf*";

// "?" and "*" in front of a name select the server's search modes 1 and 2.
static const char* SplitMode(const char* name, uint8_t* mode) {
    if (name[0] == '?') { *mode = kFetchSearch; return name + 1; }
    if (name[0] == '*') { *mode = kFetchSearchAll; return name + 1; }
    *mode = gClientConfig.defaultFetchMode;
    return name;
}

static uint8_t* ReadLocalFile(const char* path, uint32_t* size) {
    FILE* f = fopen(path, "rb");
    if (!f) return nullptr;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fseek(f, 0, SEEK_SET);
    uint8_t* p = nullptr;
    if (n >= 0 && static_cast<uint64_t>(n) < kMsgMaxLength) {
        p = static_cast<uint8_t*>(GuardedAlloc(static_cast<size_t>(n) + 1));
        if (p && fread(p, 1, static_cast<size_t>(n), f) != static_cast<size_t>(n)) {
            GuardedFree(p);
            p = nullptr;
        }
    }
    fclose(f);
    *size = static_cast<uint32_t>(n);
    return p;
}

int GetSrvFile(const char* name, uint8_t mode, uint8_t kind, uint16_t page, uint32_t number, uint8_t** data,
               uint32_t* size, uint32_t* pages) {
    *data = nullptr;
    *size = 0;
    // A '!' name is a file of the client's own, used as it is.
    if (name[0] == kClientPathMark) {
        *data = ReadLocalFile(name + 1, size);
        if (pages) *pages = 0;
        return *data ? 0 : kErrFileNotRead;
    }
    // Exchanges do not nest: refuse before anything is sent, or the answer to
    // the second request would arrive unasked.
    if (SrvMsgExchangeOpen()) return kErrBadMessage;
    if (!MsgBuildFetch(&gSendBuf, mode, kind, page, number, name, gSession.swapped)) return kErrBadRequest;
    if (!SendMsgBytes(gSendBuf.data, gSendBuf.used)) return gSession.lastError;
    int rc = AwaitSrvMsg(kMsgFetchAnswer, &gFetchAnswer);
    if (rc) return rc;
    WireReader r(gFetchAnswer.data, gFetchAnswer.used, gSession.swapped);
    int32_t status;
    uint32_t n, pageCount = 0;
    if (!r.I32At(kFanStatus, &status) || !r.U32At(kFanPages, &pageCount) || !r.U32At(kFanSize, &n) ||
        !r.Has(kFanData, n))
        return kErrBadRequest;
    if (pages) *pages = pageCount;
    if (status != 0) return status;
    uint8_t* copy = static_cast<uint8_t*>(GuardedAlloc(n ? n : 1));
    if (!copy) return ERROR_OUTOFMEMORY;
    r.BytesAt(kFanData, copy, n);
    *data = copy;
    *size = n;
    return 0;
}

// A '!' name is a client path, written directly; any other name belongs to
// the server and gets a temporary local file that PutSrvFile sends back.
int PrepSrvFileWrite(const char* name, SrvFileRec* rec) {
    memset(rec, 0, sizeof *rec);
    if (strlen(name) >= sizeof rec->serverName) return kErrBadRequest;
    if (name[0] == kClientPathMark) {
        snprintf(rec->localPath, sizeof rec->localPath, "%s", name + 1);
        return 0;
    }
    char dir[MAX_PATH];
    if (!GetTempPathA(sizeof dir, dir) || !GetTempFileNameA(dir, "QOV", 0, rec->localPath))
        return static_cast<int>(GetLastError());
    snprintf(rec->serverName, sizeof rec->serverName, "%s", name);
    rec->temporary = true;
    return 0;
}


int PutSrvFile(SrvFileRec* rec) {
    if (!rec->temporary) return 0;
    uint32_t size = 0;
    uint8_t* data = ReadLocalFile(rec->localPath, &size);
    int rc;
    if (!data) {
        rc = static_cast<int>(GetLastError() ? GetLastError() : ERROR_READ_FAULT);
    } else if (!MsgBuildPut(&gSendBuf, rec->serverName, data, size, gSession.swapped)) {
        rc = kErrBadRequest;
    } else if (!SendMsgBytes(gSendBuf.data, gSendBuf.used)) {
        rc = gSession.lastError;
    } else if ((rc = AwaitSrvMsg(kMsgAnswer, &gFetchAnswer)) == 0) {
        int32_t status = kErrBadRequest;
        WireReader(gFetchAnswer.data, gFetchAnswer.used, gSession.swapped).I32At(kAnsValue, &status);
        rc = status;
    }
    GuardedFree(data);
    DeleteFileA(rec->localPath);
    rec->temporary = false;
    return rc;
}

int WriteSrvFileLocal(const char* serverName, const char* localPath) {
    uint8_t mode;
    const char* name = SplitMode(serverName, &mode);
    uint8_t* data;
    uint32_t size;
    int rc = GetSrvFile(name, mode, kFetchFile, 0, 0, &data, &size, nullptr);
    if (rc) return rc;
    FILE* f = fopen(localPath, "wb");
    if (!f) rc = static_cast<int>(GetLastError() ? GetLastError() : ERROR_WRITE_FAULT);
    else {
        if (size && fwrite(data, 1, size, f) != size) rc = ERROR_WRITE_FAULT;
        if (fclose(f) != 0 && !rc) rc = ERROR_WRITE_FAULT;
    }
    GuardedFree(data);
    return rc;
}

int CacheFetch(const char* name, uint8_t kind, uint8_t** data, uint32_t* size) {
    uint8_t mode;
    const char* plain = SplitMode(name, &mode);
    return GetSrvFile(plain, mode, kind, 0, 0, data, size, nullptr);
}

int CacheFetchResource(const char* name, uint8_t kind, uint16_t page, uint32_t number, uint8_t** data,
                       uint32_t* size) {
    uint8_t mode;
    const char* plain = SplitMode(name, &mode);
    return GetSrvFile(plain, mode, kind, page, number, data, size, nullptr);
}

void CacheFreeData(uint8_t* data) { GuardedFree(data); }

int CacheInit() {
    bool on = gClientConfig.cacheOn && !gSwitches.noCache;
    DebugLogWrite("CacheInit", "%s", on ? "pass-through" : "off");
    return 0;
}

// Empties the cache folder: the index and every entry file.
int CacheClear() {
    const char* dir = gClientConfig.cacheDir[0] ? gClientConfig.cacheDir : "QOVCSTEMP\\";
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s%s%s", dir, dir[strlen(dir) - 1] == '\\' ? "" : "\\", kCacheIndexName);
    DeleteFileA(path);
    snprintf(path, sizeof path, "%s%s%s", dir, dir[strlen(dir) - 1] == '\\' ? "" : "\\", kCacheEntryPattern);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(path, &fd);
    int removed = 0;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            snprintf(path, sizeof path, "%s%s%s", dir, dir[strlen(dir) - 1] == '\\' ? "" : "\\", fd.cFileName);
            if (DeleteFileA(path)) removed++;
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    DebugLogWrite("CacheClear", "%d files", removed);
    return 0;
}

void CacheShutdown() { MsgBufFree(&gFetchAnswer); }
