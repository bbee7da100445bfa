// log.cpp - the debug, message and quiet logs. The link watch thread writes to the
// logs too (keep-alive), so each line is written under one lock.
#include "session/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "session/nomem.h"
#include "session/switches.h"

namespace {

FILE* gDebugLog;
FILE* gMsgLog;
int gMsgLogLevel;
std::mutex gLogLock;

void TimeStamp(char* out, size_t n) {
    time_t now = time(nullptr);
    struct tm tmv;
#ifdef _WIN32
    localtime_s(&tmv, &now);
#else
    localtime_r(&now, &tmv);
#endif
    strftime(out, n, "%Y-%m-%d %H:%M:%S", &tmv);
}

}  // namespace

void FormatLogLine(char* out, unsigned long outSize, const char* name, const char* text) {
    char padded[64];
    size_t n = strlen(name);
    if (n > sizeof padded - 1) n = sizeof padded - 1;
    memcpy(padded, name, n);
    while (n < static_cast<size_t>(kLogNameColumn)) padded[n++] = '.';
    padded[n] = 0;
    snprintf(out, outSize, "%s: %s", padded, text);
}

bool DebugLogOpen(const char* path) {
    std::lock_guard<std::mutex> lock(gLogLock);
    if (gDebugLog) fclose(gDebugLog);
    gDebugLog = fopen(path, "w");
    if (!gDebugLog) return false;
    char stamp[32];
    TimeStamp(stamp, sizeof stamp);
    fprintf(gDebugLog, "%s - debug log started %s\n", kVersionText, stamp);
    fflush(gDebugLog);
    return true;
}

bool DebugLogIsOpen() { return gDebugLog != nullptr; }

void DebugLogWrite(const char* name, const char* format, ...) {
    if (!gDebugLog) return;
    char text[2048], line[2200];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    FormatLogLine(line, sizeof line, name, text);
    std::lock_guard<std::mutex> lock(gLogLock);
    if (!gDebugLog) return;
    fprintf(gDebugLog, "%s\n", line);
    fflush(gDebugLog);
}

void NoMemoryNote(const char* where) {
    DebugLogWrite("NoMemory", "%s stopped: what it needed cannot be held in memory", where);
}

void DebugLogClose() {
    std::lock_guard<std::mutex> lock(gLogLock);
    if (gDebugLog) fclose(gDebugLog);
    gDebugLog = nullptr;
}

bool MsgLogOpen(int level) {
    std::lock_guard<std::mutex> lock(gLogLock);
    gMsgLogLevel = level;
    if (level <= 0) return true;
    if (!gMsgLog) gMsgLog = fopen(kMsgLogName, "w");
    if (!gMsgLog) gMsgLogLevel = 0;
    return gMsgLog != nullptr;
}

int MsgLogLevel() { return gMsgLogLevel; }

void MsgLogWrite(bool sent, uint32_t length, uint32_t type) {
    if (!gMsgLog) return;
    std::lock_guard<std::mutex> lock(gLogLock);
    if (!gMsgLog) return;
    fprintf(gMsgLog, sent ? "Send %d Msg: %d\n" : "Recv %d Msg: %d\n", static_cast<int>(length),
            static_cast<int>(type));
    fflush(gMsgLog);
}

void MsgLogClose() {
    std::lock_guard<std::mutex> lock(gLogLock);
    if (gMsgLog) fclose(gMsgLog);
    gMsgLog = nullptr;
    gMsgLogLevel = 0;
}

void QuietLogWrite(const char* text) {
    std::lock_guard<std::mutex> lock(gLogLock);
    FILE* f = fopen(kQuietLogName, "a");
    if (!f) return;
    char stamp[32];
    TimeStamp(stamp, sizeof stamp);
    fprintf(f, "%s %s\n", stamp, text ? text : "");
    fclose(f);
}
