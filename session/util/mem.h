// mem.h - the client's memory wrappers: the zero-filled local heap for records
// and setting strings, and the runtime heap for buffers.
#pragma once

#include <cstddef>

// A zero-filled block (the Windows local heap on the target), null when memory
// runs out. Every object record and setting string is taken through it.
void* LocalAllocZero(size_t size);
void LocalFreeMem(void* block);
// A local-heap block left as it comes, for a picture whose every byte the
// caller writes: zeroing it first would write the whole block twice.
void* LocalAllocRaw(size_t size);

// Runtime-heap blocks. The original design wraps these in structured-exception
// guards; MinGW's GCC has none, so a failed allocation simply answers null and
// a null block is ignored on free.
void* GuardedAlloc(size_t size);
void* GuardedRealloc(void* block, size_t size);
void GuardedFree(void* block);
