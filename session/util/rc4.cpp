// rc4.cpp - RC4 as published: the key schedule permutes 0-255 under the
// repeated key, the generator swaps two entries per byte and yields their sum.
#include "session/util/rc4.h"

static void Rc4Swap(uint8_t* perm, uint32_t a, uint32_t b) {
    uint8_t t = perm[a];
    perm[a] = perm[b];
    perm[b] = t;
}

void Rc4Init(Rc4State* st, const uint8_t* key, size_t keyLen) {
    for (uint32_t k = 0; k < 256; k++) st->perm[k] = static_cast<uint8_t>(k);
    uint32_t j = 0;
    for (uint32_t k = 0; k < 256; k++) {
        j = (j + st->perm[k] + (keyLen ? key[k % keyLen] : 0)) & 0xFF;
        Rc4Swap(st->perm, k, j);
    }
    st->i = st->j = 0;
}

void Rc4Crypt(Rc4State* st, const uint8_t* input, uint8_t* output, size_t n) {
    uint32_t i = st->i, j = st->j;
    uint8_t* perm = st->perm;
    for (size_t k = 0; k < n; k++) {
        i = (i + 1) & 0xFF;
        j = (j + perm[i]) & 0xFF;
        Rc4Swap(perm, i, j);
        output[k] = static_cast<uint8_t>(input[k] ^ perm[(perm[i] + perm[j]) & 0xFF]);
    }
    st->i = i;
    st->j = j;
}
