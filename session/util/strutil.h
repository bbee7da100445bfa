// strutil.h - string copies on the local heap and bounded copies into fixed
// buffers.
#pragma once

#include <cstddef>

// A NUL-terminated copy on the local heap; null for a null text or no memory.
char* DupStr(const char* text);
// A copy of n bytes plus a NUL on the local heap; null when memory runs out.
char* DupBytes(const void* bytes, size_t n);
// Copies at most cap bytes of text and a NUL into dest, which holds cap + 1
// bytes; the copy stops early at a NUL inside the text. A null text copies "".
void CopyBounded(const char* text, size_t length, char* dest, size_t cap);
// The same into a fixed array, whose size bounds the copy: no caller can name
// a capacity that its array does not have.
template <size_t N>
void CopyStrInto(char (&dest)[N], const char* text, size_t length) {
    static_assert(N > 0, "the array must hold at least the NUL");
    CopyBounded(text, length, dest, N - 1);
}
// A name given as text and length (a file, a spool file, an output file)
// is used as given or not at all: a NUL inside it would end it early and a
// name past cap characters would be cut, either way naming another file,
// written in its place. Whether the text holds no NUL and at most cap bytes.
bool NameIsWhole(const char* text, size_t length, size_t cap);
// Replaces the heap text in *field with a copy of text (length -1: up to the
// NUL). A null or empty text, or length 0, frees the field and leaves it null;
// when the copy cannot be made the field keeps its old text. Answers false then.
bool ReplaceStrField(const char* text, long length, char** field);

#ifdef _WIN32
#include <windows.h>
// A new movable (GHND) global block with the contents of block, or null.
HGLOBAL DupGlobalMem(HGLOBAL block);
#endif
