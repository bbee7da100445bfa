// fuzz_olestore.cpp - the lock bytes' range arithmetic over arbitrary offsets,
// counts, sizes and bases: a read or write never reaches past the data, a
// file position and its count never leave the 32-bit region.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "session/util/olestore.h"

namespace {
template <class T>
T Take(const uint8_t*& p, size_t& left) {
    T v = 0;
    size_t n = left < sizeof v ? left : sizeof v;
    memcpy(&v, p, n);
    p += n;
    left -= n;
    return v;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* p = data;
    size_t left = size;
    while (left) {
        uint64_t offset = Take<uint64_t>(p, left);
        uint32_t n = Take<uint32_t>(p, left);
        uint32_t region = Take<uint32_t>(p, left);
        uint32_t base = Take<uint32_t>(p, left);
        uint32_t count = LockBytesReadCount(offset, n, region);
        if (count > n) abort();
        if (count && offset + count > region) abort();
        if (LockBytesWriteCount(offset, n, region) != count) abort();
        uint32_t pos = 0;
        if (LockBytesFilePos(base, offset, n, &pos)) {
            if (static_cast<uint64_t>(pos) + n > 0x100000000ull) abort();
            if (pos < base || pos - base != offset) abort();
        }
        if (LockBytesSizeFits(offset, region) != (offset <= region)) abort();
    }
    return 0;
}
