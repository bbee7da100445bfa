// fuzz_spool.cpp - feeds arbitrary bytes to the spool reader as a file the
// server may name: the header, every page forward and back again, each
// page's records and the image references they make.
#include <cstddef>
#include <cstdint>

#include "print/prtspool.h"

static void WalkPage(SpoolReader* r, SpoolImageCache* cache) {
    size_t off = kSpoolPageRecord;
    SpoolPageState ps;
    SpoolDecodePageRecord(r->page, r->oldPageRecord, &ps);
    for (;;) {
        SpoolRecord rec;
        if (SpoolDecodeRecord(r->page, r->pageLen, off, &rec) != kSpoolDecodeOk) return;
        if (rec.type == kSpoolRecImageRef) {
            SpoolRecord img;
            SpoolReadImageRef(r, rec.refOffset, rec.refSize, cache, &img);
        }
        off += rec.size;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SpoolMemFile f = {};
    SpoolIo io;
    SpoolMemIo(&f, &io);
    io.write(io.ctx, data, size);
    SpoolReader r = {};
    SpoolImageCache cache = {};
    if (SpoolReadHeader(&r, &io, '.') == kPrtOk) {
        constexpr int kMaxPages = 64;
        bool moved = true;
        for (int i = 0; i < kMaxPages && moved; i++) {
            WalkPage(&r, &cache);
            if (SpoolStepPage(&r, false, &moved) != kPrtOk) break;
        }
        moved = true;
        for (int i = 0; i < kMaxPages && moved; i++)
            if (SpoolStepPage(&r, true, &moved) != kPrtOk) break;
        // Straight to the last page the header counts and back to the first.
        if (SpoolRewind(&r) == kPrtOk && SpoolGoToPage(&r, r.pages, &moved) == kPrtOk) {
            WalkPage(&r, &cache);
            SpoolGoToPage(&r, 1, &moved);
        }
    }
    SpoolImageCacheFree(&cache);
    SpoolReaderFree(&r);
    SpoolMemFree(&f);
    return 0;
}
