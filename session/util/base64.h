// base64.h - standard base64 (RFC 4648 alphabet, '=' padding).
#pragma once

#include <cstddef>

// Space needed for the encoding of n bytes, without the NUL.
constexpr size_t Base64EncodedSize(size_t n) { return (n + 2) / 3 * 4; }

// Encodes n bytes into out; answers the length written. With addNul a NUL
// follows (out then holds Base64EncodedSize(n) + 1 bytes).
size_t Base64Encode(const void* bytes, char* out, size_t n, bool addNul);
// Decodes length characters of text into out, which holds at least
// length * 3 / 4 (+1 with addNul) bytes; characters outside the alphabet are
// skipped and the first '=' ends the data. Answers the number of bytes.
size_t Base64Decode(const char* text, void* out, size_t length, bool addNul);
