// olestore.h - the descriptor of a form's saved OLE data (a region of an open
// file or a block of memory) and the range arithmetic of the lock bytes that
// put a compound file on such a region. Platform-free.
#pragma once

#include <cstdint>

// Saved OLE data handed to the Container and Control creators: the file (a
// HANDLE) or the memory block, the region's base offset in the file, its size,
// and the item number of the saved object to load (0: none).
struct OleStoreInfo {
    void* file;
    const uint8_t* memory;
    uint32_t base;
    uint32_t size;
    uint16_t itemNumber;
};

// The lock bytes take 64-bit offsets but address 32-bit regions: an offset at
// or past 2^32 lies outside every region.
constexpr uint64_t kLockBytesOffsetLimit = 0x100000000ull;

// How many of n bytes a read at offset takes from data of the given size:
// cut at the end, 0 at or past it.
uint32_t LockBytesReadCount(uint64_t offset, uint32_t n, uint32_t size);
// How many of n bytes a write at offset puts into a memory block whose data
// holds size bytes (writes never reach past the data; SetSize grows it first).
uint32_t LockBytesWriteCount(uint64_t offset, uint32_t n, uint32_t size);
// The file position of offset in a region that begins at base; false when it
// or the end of n bytes from it would not fit in 32 bits.
bool LockBytesFilePos(uint32_t base, uint64_t offset, uint32_t n, uint32_t* pos);
// Whether a memory block of capacity bytes can hold newSize bytes.
bool LockBytesSizeFits(uint64_t newSize, uint32_t capacity);
