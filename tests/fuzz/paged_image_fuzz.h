// paged_image_fuzz.h - the body the fuzz targets of the paged image readers
// (PCX/DCX, TIFF) share: the first page and, in a file of several pages, the
// second. A decoded picture that does not hold together aborts even when
// nothing overran: a bits block other than its rows, a colour table larger
// than its depth allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"

namespace paged_image_fuzz {

// Small pictures only: a generous cap would let one input allocate and fill
// a gigabyte, which finds nothing the small cap does not.
constexpr uint64_t kFuzzByteCap = 16u << 20;
constexpr uint32_t kMaxColours = 256;

// A paged reader's entry point: the page, the file's page count when asked.
using PagedDecode = int (*)(uint16_t page, uint32_t* pageCount);

inline void CheckPicture() {
    const BITMAPINFOHEADER& h = gImageDecodeState.header;
    CheckedSize rows = DibStride(uint32_t(h.biWidth), h.biBitCount);
    rows.Mul(uint32_t(h.biHeight));
    if (!gImageDecodeState.bits || h.biWidth <= 0 || h.biHeight <= 0 || h.biSizeImage != rows.value) abort();
    if (h.biClrUsed > kMaxColours || (h.biBitCount <= 8 && h.biClrUsed > (1u << h.biBitCount))) abort();
}

inline void DecodePage(PagedDecode decode, const uint8_t* data, size_t size, uint16_t page, uint32_t* pages) {
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    if (decode(page, pages) == kImgOk) CheckPicture();
    ImageClearState();
    gImageDecodeState.sourcePos = nullptr;
    gImageDecodeState.sourceSize = 0;
}

}  // namespace paged_image_fuzz

// The whole of one fuzz input through the reader's entry point.
inline int FuzzPagedImage(const uint8_t* data, size_t size, paged_image_fuzz::PagedDecode decode) {
    gImageByteCap = paged_image_fuzz::kFuzzByteCap;
    uint32_t pages = 0;
    paged_image_fuzz::DecodePage(decode, data, size, 1, &pages);
    if (pages > 1) paged_image_fuzz::DecodePage(decode, data, size, 2, nullptr);
    return 0;
}
