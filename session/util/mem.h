// mem.h - the client's memory wrappers: the zero-filled local heap for records
// and setting strings, and the runtime heap for buffers.
#pragma once

#include <cstddef>

// A zero-filled block (the Windows local heap on the target), null when memory
// runs out. Every object record and setting string is taken through it.
void* LocalAllocZero(size_t size);
void LocalFreeMem(void* block);

// Runtime-heap blocks. The original design wraps these in structured-exception
// guards; MinGW's GCC has none, so a failed allocation simply answers null and
// a null block is ignored on free.
void* GuardedAlloc(size_t size);
void* GuardedRealloc(void* block, size_t size);
void GuardedFree(void* block);
