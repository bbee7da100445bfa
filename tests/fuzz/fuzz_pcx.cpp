// fuzz_pcx.cpp - fuzz target of the PCX reader: the first page and, in a file
// of several pages, the second, each decoded picture checked for consistency
// (see paged_image_fuzz.h).
#include <cstddef>
#include <cstdint>

#include "graphics/image/pcx.h"
#include "tests/fuzz/paged_image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return FuzzPagedImage(data, size, PcxDecode); }
