// imageload.h - the shared result record of every image decoder, the format
// codes and result codes, format detection, the BMP reader and the file and
// memory sources of a picture. Each decoder has its own header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "session/util/qovtypes.h"

// The one result record of every decoder; a single global, one decode at a time.
struct ImageDecodeState {
    uint32_t sourceSize;          // bytes of the encoded image left from sourcePos
    const uint8_t* sourcePos;     // read position in the encoded image
    void* palette;                // GDI palette (HPALETTE on the target), made at hand-over
    uint8_t* bits;                // bottom-up DIB rows, LocalAllocZero block owned here
    BITMAPINFOHEADER header;      // always stored with biSize 40
    RGBQUAD colors[256];          // palette; with BI_BITFIELDS the first 12 bytes are the masks
};

enum ImageFormatCode {
    kImgFormatUnknown = 0,
    kImgFormatBmp = 1,
    kImgFormatPcx = 2,
    kImgFormatGif = 3,
    kImgFormatTiff = 4,
    kImgFormatJpeg = 5,
    kImgFormatPng = 6,
};

enum ImageResult {
    kImgOk = 0,
    kImgAbsent = -1,      // the image or resource does not exist
    kImgNotOpened = -2,   // the file cannot be opened or fetched
    kImgInvalid = -3,     // not a valid image of a supported kind
    kImgNoMemory = -6,
};

extern ImageDecodeState gImageDecodeState;
extern int gImageFormatCode;

// The largest bits block a decoder may allocate: kImageByteCeiling, which the
// fuzz targets lower to keep their runs small. Every size taken from an image
// header is computed with CheckedSize and compared with this cap.
extern uint64_t gImageByteCap;

// Opaque here: the picture record belongs to the object model.
struct PictRecord;

// What the loaders need of the session and the picture object. The session and
// the picture code fill these in; until then each answers as noted.
struct ImageLoadHooks {
    // Fetches a server file: size in = name length, out = data length; *data
    // receives a block freed with freeData. mode 1 or 2 from a '?' or '*'
    // prefix, 0 for the session's default mode. Default: false (load gives -2).
    bool (*fetch)(uint32_t* size, const char* name, const uint8_t** data, uint16_t page,
                  uint32_t* pageCount, int mode);
    void (*freeData)(const uint8_t* data);
    // Asks the user for a file; fills path (MAX_PATH bytes) and the chosen
    // filter's index (1-based). Default: false (cancelled, -2).
    bool (*fileDialog)(char* path, size_t pathSize, int* filter);
    // The OEM-to-ANSI conversion of a client path. Default: the path itself.
    const char* (*oemToAnsi)(const char* path);
    // The picture's page-count field, or null.
    uint32_t* (*pictPageCount)(PictRecord* pict);
    // The picture's PNG background: a COLORREF, top byte 0x01 when it overrides
    // the file's bKGD. Default: kPngNoBackground.
    uint32_t (*pictBackground)(PictRecord* pict);
    // Moves the decoded image into the picture. Default: leaves it in
    // gImageDecodeState and answers 0.
    int (*takeImage)(PictRecord* pict);
    // Told of every refused decode: the loader's code and the rule's reason
    // (the start-up wiring writes it to the debug log). Default: nothing.
    void (*refused)(int code, const char* reason);
};
extern ImageLoadHooks gImageLoadHooks;

// Clears the palette and bits (the bits block is freed).
void ImageClearState();

// A file (the client's own, or the server's) is held whole while it is
// decoded: its bytes count against gImageByteCap beside the picture.
int ImageLoadFromFile(const char* name, PictRecord* pict, uint16_t page);
// Whether a picture or icon name the server gives (text and length) can be
// read as given: one holding a NUL, cut there, would read another file (or
// fetch another server file). Refused with kImgNotOpened's reason told to
// the refused hook.
bool ImageNameIsWhole(const char* text, uint32_t length);
int ImageLoadFromMemory(const uint8_t* data, uint32_t length, PictRecord* pict, uint16_t page);
// Decodes a resource block into the state by its detected format (PCX and
// TIFF at page 1, anything unrecognised as BMP); the caller hands it over.
int ImageDecodeBlock(const uint8_t* data, uint32_t size, PictRecord* pict);

// The format of the bytes at the source position, trying `expected` first; 0
// when nothing matches.
int ImageDetectFormat(int expected);
// The format code of a file name's last four characters (exact upper or lower
// case), 0 when none matches.
int ImageFormatFromName(const char* name);

// The colours of the GDI palette that the hand-over makes: the colour table,
// or for images of 16 bits and more the 256-entry colour cube; answers the
// count (0: no palette). The Win32 side turns them into a LOGPALETTE.
int ImagePaletteColors(RGBQUAD out[256]);

// Sets the state's bits to a block of `size` zero bytes; false when out of
// memory. Decoders share it so that every bits block comes from one heap.
bool ImageAllocBits(size_t size);
