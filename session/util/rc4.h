// rc4.h - the RC4 stream cipher, used by the PDF encryption (40-bit keys of
// the standard security handler).
#pragma once

#include <cstddef>
#include <cstdint>

struct Rc4State {
    uint8_t perm[256];
    uint32_t i, j;
};

// The key schedule over a key of 1 to 256 bytes.
void Rc4Init(Rc4State* st, const uint8_t* key, size_t keyLen);
// XORs n bytes of keystream into input, written to output (which may be input).
void Rc4Crypt(Rc4State* st, const uint8_t* input, uint8_t* output, size_t n);
