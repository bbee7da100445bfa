// mem.cpp - the local-heap and runtime-heap wrappers.
#include "session/util/mem.h"

#include <cstdlib>

#include "session/util/qovtypes.h"

void* LocalAllocZero(size_t size) {
#ifdef _WIN32
    return LocalAlloc(LPTR, size ? size : 1);
#else
    return calloc(1, size ? size : 1);
#endif
}

void* LocalAllocRaw(size_t size) {
#ifdef _WIN32
    return LocalAlloc(LMEM_FIXED, size ? size : 1);
#else
    return malloc(size ? size : 1);
#endif
}

void LocalFreeMem(void* block) {
    if (!block) return;
#ifdef _WIN32
    LocalFree(block);
#else
    free(block);
#endif
}

void* GuardedAlloc(size_t size) { return malloc(size ? size : 1); }

void* GuardedRealloc(void* block, size_t size) { return realloc(block, size ? size : 1); }

void GuardedFree(void* block) { free(block); }
