// strutil.cpp - string copies on the local heap and bounded copies.
#include "session/util/strutil.h"

#include <cstring>

#include "session/util/mem.h"

char* DupStr(const char* text) {
    if (!text) return nullptr;
    return DupBytes(text, strlen(text));
}

char* DupBytes(const void* bytes, size_t n) {
    if (n == static_cast<size_t>(-1)) return nullptr;
    char* copy = static_cast<char*>(LocalAllocZero(n + 1));
    if (!copy) return nullptr;
    if (n && bytes) memcpy(copy, bytes, n);
    copy[n] = 0;
    return copy;
}

void CopyBounded(const char* text, size_t length, char* dest, size_t cap) {
    size_t n = 0;
    if (text) {
        size_t limit = length < cap ? length : cap;
        while (n < limit && text[n]) n++;
        memcpy(dest, text, n);
    }
    dest[n] = 0;
}

bool NameIsWhole(const char* text, size_t length, size_t cap) {
    return length <= cap && (length == 0 || (text && !memchr(text, 0, length)));
}

bool ReplaceStrField(const char* text, long length, char** field) {
    size_t n = 0;
    if (text) n = length < 0 ? strlen(text) : static_cast<size_t>(length);
    if (!text || n == 0 || !*text) {
        LocalFreeMem(*field);
        *field = nullptr;
        return true;
    }
    char* copy = DupBytes(text, n);
    if (!copy) return false;
    LocalFreeMem(*field);
    *field = copy;
    return true;
}

#ifdef _WIN32
HGLOBAL DupGlobalMem(HGLOBAL block) {
    if (!block) return nullptr;
    SIZE_T size = GlobalSize(block);
    HGLOBAL copy = GlobalAlloc(GHND, size);
    if (!copy) return nullptr;
    void* from = GlobalLock(block);
    void* to = GlobalLock(copy);
    if (from && to) memcpy(to, from, size);
    if (to) GlobalUnlock(copy);
    if (from) GlobalUnlock(block);
    if (!from || !to) {
        GlobalFree(copy);
        return nullptr;
    }
    return copy;
}
#endif
