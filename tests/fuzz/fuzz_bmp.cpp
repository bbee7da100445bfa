// fuzz_bmp.cpp - fuzz target of the BMP reader, with the source size known and
// unknown. Two faults that overrun nothing still abort here: a bits block
// larger than the rows or the input (sized from a header field alone), and
// pixels taken from inside the headers or a colour table whose count the
// header states (an implied table may end where the pixels start).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/image/bmp.h"
#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"
#include "tests/testutil.h"

// Small pictures only: a generous cap would let one input allocate and fill
// a gigabyte, which finds nothing the small cap does not.
constexpr uint64_t kFuzzByteCap = 16u << 20;

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kMaskBytes = 12;
constexpr uint32_t kClrUsedAt = 32;
constexpr uint32_t kColourCountMask = 0xFFFF;
constexpr uint32_t kInfoEntrySize = 4;

void CheckBlockSize(size_t inputSize) {
    const BITMAPINFOHEADER& h = gImageDecodeState.header;
    CheckedSize rows = DibStride(uint32_t(h.biWidth), h.biBitCount);
    rows.Mul(uint32_t(h.biHeight));
    const uint64_t limit = rows.value > inputSize ? rows.value : inputSize;
    if (!gImageDecodeState.bits || h.biSizeImage > limit) abort();
}

// The pixels of a file with a file header start no earlier than the end of
// the stored header, the 40-byte header's masks and, when the header states
// its colour count, the colours kept.
void CheckPixelOffset(const uint8_t* data, size_t size) {
    ByteReader r(data, size);
    uint8_t b0 = 0, b1 = 0;
    uint32_t offBits = 0, headerSize = 0;
    if (!r.U8At(0, &b0) || !r.U8At(1, &b1) || b0 != 'B' || b1 != 'M') return;
    if (!r.U32At(10, &offBits) || !r.U32At(kFileHeaderSize, &headerSize)) return;
    const BITMAPINFOHEADER& h = gImageDecodeState.header;
    uint64_t first = uint64_t(kFileHeaderSize) + headerSize;
    uint32_t statedColours = 0;
    if (headerSize != kCoreHeaderSize) r.U32At(kFileHeaderSize + kClrUsedAt, &statedColours);
    if (statedColours & kColourCountMask) first += uint64_t(h.biClrUsed) * kInfoEntrySize;
    if (h.biCompression == BI_BITFIELDS && headerSize == kInfoHeaderSize) first += kMaskBytes;
    if (offBits < first) abort();
}

void DecodeOnce(const uint8_t* data, size_t size, uint32_t sizeArg) {
    gImageDecodeState.sourcePos = data;
    gImageDecodeState.sourceSize = uint32_t(size);
    if (BmpDecode(sizeArg) == kImgOk) {
        CheckBlockSize(size);
        CheckPixelOffset(data, size);
    }
    ImageClearState();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ScopedSet cap(gImageByteCap, kFuzzByteCap);
    DecodeOnce(data, size, uint32_t(size));
    DecodeOnce(data, size, 0);
    return 0;
}
