// pict.h - the picture object (kind 11) inside this folder: its record, the
// hand-over of decoded images, the Win32 image sources (resources, clipboard,
// GDI bitmaps) and the hooks other facilities reach it through.
#pragma once

#include <windows.h>

#include <cstdint>

#include "graphics/image/imageload.h"
#include "graphics/graphics.h"
#include "graphics/pictcore.h"
#include "graphics/spoolmemo.h"
#include "objects/objrecord.h"

// Header bits of a picture.
enum PictFlag : uint32_t {
    kPictStacked = 0x20,        // drawn ANDed over another picture of the same rectangle
    kPictAutoZoom = 0x400,
    kPictOwnBars = 0x800,
    kPictRefit = 0x10000,       // the zoom is fitted again at the next paint
};
// AutoScale modes (PictRecord::mode).
enum PictMode : uint32_t {
    kPictModeFixed = 1, kPictModeFitHeight = 2, kPictModeFitWidth = 4, kPictModeFill = 8, kPictModeKeep = 16,
    kPictModeMask = 31,
};

constexpr int kPictHistory = 10;
struct PictSelection {
    RECT band;                  // rubber band, window coordinates
    uint8_t historyCount;
    uint32_t zooms[kPictHistory];
    uint32_t posH[kPictHistory], posV[kPictHistory];
};

struct PictRecord {
    ObjectRecord hdr;
    BITMAPINFO* dib;            // header and colour table, owned
    HPALETTE palette;
    uint32_t zoom;              // per mille
    uint32_t baseZoom;          // percent, for rescaling
    PictAxis h, v;
    HWND hBar, vBar;            // own scroll-bar windows
    uint8_t* bits;
    PictRecord* nextStacked;
    PictRecord* base;
    PictSelection* sel;
    uint32_t viewZoom;          // zoom of the reduced 1-bit view; 0 none
    BITMAPINFO* viewInfo;       // the grey view's header and five greys
    uint8_t* viewBits;
    uint32_t mode;
    uint32_t resource;
    uint32_t pageCount;
    uint8_t backStyle;
    char* altText;
    char* urlSource;
    ObjectRecord* barObjects;   // scroll-bar objects standing for the own bars, linked through next
    // Where the image went into the current long-form spool file, so that a
    // second print of it writes a reference; forgotten with a new image.
    SpoolImageMemo spoolMemo;
};

// ---- Image hand-over and the Win32 sources (pictimage.cpp) ------------------------------------
// Moves gImageDecodeState into the picture: its BITMAPINFO copy (bit-field
// masks kept, every colour given room), the GDI palette and the bits. An
// image without pixels is refused with -3 before the picture takes it.
int PictTakeDecodedImage(PictRecord* p);
HPALETTE ImageMakePalette();
// A GDI bitmap into gImageDecodeState (palette: the stock default when none);
// -1 unreadable, -3 no pixels, -6 no memory.
int ImageFromBitmap(HBITMAP bitmap, HPALETTE palette);
// A bitmap resource: the form being loaded, the server, this module's
// RT_BITMAP; on failure the picture keeps its image and number.
int ImageLoadFromResource(PictRecord* p, uint32_t number);
// A form or server resource named after '@'.
int ImageLoadNamedResource(PictRecord* p, const char* name);
int ImageLoadFromClipboard(PictRecord* p);
// Frees a picture's image, palette and view.
void PictFreeImage(PictRecord* p);

constexpr uint16_t kResKindIcon = 1;
constexpr uint16_t kResKindBitmap = 3;
