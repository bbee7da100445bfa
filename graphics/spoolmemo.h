// spoolmemo.h - the memo a picture keeps of its last copy in a print spool
// file. The spool writer fills it and reads it back, so a picture printed
// again in the same file becomes a reference to the copy already there; the
// picture clears it when its image changes.
#pragma once

#include <cstdint>

struct SpoolImageMemo {
    uint32_t generation;         // of the file the image went into; 0 none
    uint64_t offset;
    uint32_t size;
    // The image record's view mode and part: a reference replays them, so it
    // stands only for a print with the same.
    uint32_t mode;
    int32_t source[4];
};
