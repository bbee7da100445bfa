// fuzz_tiff.cpp - fuzz target of the TIFF reader: the first page and, in a file
// of several pages, the second. A decoded picture that does not hold together
// aborts even when nothing overran: a bits block other than its rows, a colour
// table larger than its depth allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/image/tiff.h"
#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"

// Small pictures only: a generous cap would let one input allocate and fill
// a gigabyte, which finds nothing the small cap does not.
constexpr uint64_t kFuzzByteCap = 16u << 20;

namespace {

constexpr uint32_t kMaxColours = 256;

void CheckPicture() {
    const BITMAPINFOHEADER& h = gImageDecodeState.header;
    CheckedSize rows = DibStride(uint32_t(h.biWidth), h.biBitCount);
    rows.Mul(uint32_t(h.biHeight));
    if (!gImageDecodeState.bits || h.biWidth <= 0 || h.biHeight <= 0 || h.biSizeImage != rows.value) abort();
    if (h.biClrUsed > kMaxColours || (h.biBitCount <= 8 && h.biClrUsed > (1u << h.biBitCount))) abort();
}

void DecodePage(const uint8_t* data, size_t size, uint16_t page, uint32_t* pages) {
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    if (TiffDecode(page, pages) == kImgOk) CheckPicture();
    ImageClearState();
    gImageDecodeState.sourcePos = nullptr;
    gImageDecodeState.sourceSize = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gImageByteCap = kFuzzByteCap;
    uint32_t pages = 0;
    DecodePage(data, size, 1, &pages);
    if (pages > 1) DecodePage(data, size, 2, nullptr);
    return 0;
}
