// md5.h - the MD5 message digest (RFC 1321), used by the PDF encryption.
#pragma once

#include <cstddef>
#include <cstdint>

struct Md5Context {
    uint32_t state[4];
    uint64_t bitCount;
    uint8_t buffer[64];
};

void Md5Init(Md5Context* ctx);
void Md5Update(Md5Context* ctx, const void* data, size_t n);
// Writes the 16-byte digest and clears the context.
void Md5Final(uint8_t digest[16], Md5Context* ctx);
