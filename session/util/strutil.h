// strutil.h - string copies on the local heap and bounded copies into fixed
// buffers.
#pragma once

#include <cstddef>

constexpr size_t kStr255 = 255;
constexpr size_t kStr40960 = 40960;

// A NUL-terminated copy on the local heap; null for a null text or no memory.
char* DupStr(const char* text);
// A copy of n bytes plus a NUL on the local heap; null when memory runs out.
char* DupBytes(const void* bytes, size_t n);
// Copies at most 255 (40960) bytes of text and a NUL into dest, which holds
// 256 (40961) bytes; the copy stops early at a NUL inside the text.
void CopyStr255(const char* text, size_t length, char* dest);
void CopyStr40960(const char* text, size_t length, char* dest);
// Replaces the heap text in *field with a copy of text (length -1: up to the
// NUL). A null or empty text, or length 0, frees the field and leaves it null;
// when the copy cannot be made the field keeps its old text. Answers false then.
bool ReplaceStrField(const char* text, long length, char** field);

#ifdef _WIN32
#include <windows.h>
// A new movable (GHND) global block with the contents of block, or null.
HGLOBAL DupGlobalMem(HGLOBAL block);
#endif
