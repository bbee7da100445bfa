// olestore.cpp - the range arithmetic of the lock bytes: every read, write and
// size change of a compound file on a file region or memory block is first cut
// to the region here, so no offset or count from the storage layer can reach
// outside it.
#include "session/util/olestore.h"

uint32_t LockBytesReadCount(uint64_t offset, uint32_t n, uint32_t size) {
    if (offset >= size) return 0;
    uint64_t left = size - offset;
    return n > left ? static_cast<uint32_t>(left) : n;
}

uint32_t LockBytesWriteCount(uint64_t offset, uint32_t n, uint32_t size) {
    return LockBytesReadCount(offset, n, size);
}

bool LockBytesFilePos(uint32_t base, uint64_t offset, uint32_t n, uint32_t* pos) {
    if (offset >= kLockBytesOffsetLimit) return false;
    uint64_t at = static_cast<uint64_t>(base) + offset;
    // The position itself must be a 32-bit one too: an empty transfer at
    // exactly 4 GiB was handed position 0.
    if (at >= kLockBytesOffsetLimit || at + n > kLockBytesOffsetLimit) return false;
    *pos = static_cast<uint32_t>(at);
    return true;
}

bool LockBytesSizeFits(uint64_t newSize, uint32_t capacity) { return newSize <= capacity; }
