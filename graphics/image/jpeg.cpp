// jpeg.cpp - JPEG reading through libjpeg-turbo: an in-memory data source, an
// error manager that returns to the caller instead of ending the program, and
// the conversion of RGB, grey and CMYK output into bottom-up DIB rows.
#include "graphics/image/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

// BGR output and the named messages are libjpeg-turbo features.
#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo is required"
#endif

#include "graphics/image/imageload.h"
#include "session/util/bytereader.h"
#include "session/util/mem.h"

namespace {

// A library error jumps back here through JpegErrorExit.
struct JpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// The memory source: the bytes and whether any were handed to the library yet.
struct JpegSource {
    jpeg_source_mgr pub;
    const uint8_t* data;
    size_t length;
    bool startOfFile;
};

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void JpegErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void JpegOutputMessage(j_common_ptr) {}

void JpegSrcInit(j_decompress_ptr cinfo) { reinterpret_cast<JpegSource*>(cinfo->src)->startOfFile = true; }

// The whole image is handed over at once, so a second call means the data
// ended early: an empty source is an error, otherwise the library gets an
// end-of-image marker and decodes what it has.
boolean JpegSrcFill(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
    if (src->startOfFile && src->length == 0) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    if (!src->startOfFile) WARNMS(cinfo, JWRN_JPEG_EOF);
    if (src->startOfFile) {
        src->pub.next_input_byte = src->data;
        src->pub.bytes_in_buffer = src->length;
        src->startOfFile = false;
        src->length = 0;
    } else {
        src->pub.next_input_byte = kFakeEoi;
        src->pub.bytes_in_buffer = sizeof kFakeEoi;
    }
    return TRUE;
}

void JpegSrcSkip(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        src->fill_input_buffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void JpegSrcTerm(j_decompress_ptr) {}

void JpegSetSource(j_decompress_ptr cinfo, JpegSource* src, const uint8_t* data, size_t length) {
    memset(src, 0, sizeof *src);
    src->pub.init_source = JpegSrcInit;
    src->pub.fill_input_buffer = JpegSrcFill;
    src->pub.skip_input_data = JpegSrcSkip;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = JpegSrcTerm;
    src->data = data;
    src->length = data ? length : 0;
    cinfo->src = &src->pub;
}

void JpegSetErrors(jpeg_decompress_struct* cinfo, JpegError* err) {
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = JpegErrorExit;
    err->pub.output_message = JpegOutputMessage;
}

// The decompressor's colour map (one array per component, or one repeated),
// or a grey ramp without one.
void JpegSetPalette(const jpeg_decompress_struct& c, RGBQUAD* colors) {
    for (int i = 0; i < 256; i++) {
        RGBQUAD& q = colors[i];
        if (c.colormap && i < c.actual_number_of_colors) {
            bool three = c.out_color_components == 3;
            q.rgbRed = c.colormap[0][i];
            q.rgbGreen = c.colormap[three ? 1 : 0][i];
            q.rgbBlue = c.colormap[three ? 2 : 0][i];
        } else if (c.colormap) {
            q.rgbRed = q.rgbGreen = q.rgbBlue = 0;
        } else {
            q.rgbRed = q.rgbGreen = q.rgbBlue = uint8_t(i);
        }
        q.rgbReserved = 0;
    }
}

// Inverted CMYK (as Adobe writes it) to blue, green, red. With k = 1 - K/255
// and v = (1 - C/255)(1 - k) + k per channel, the output (1 - v) x 255 is
// C x K / 255: computed in integers it stays exact, so a black byte of 255
// gives the channel byte itself (floating point would give 9 for 10).
void JpegCmykToBgr(const uint8_t* s, uint8_t* d, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; x++, s += 4, d += 3) {
        const uint32_t k = s[3];
        d[2] = uint8_t(s[0] * k / 255);
        d[1] = uint8_t(s[1] * k / 255);
        d[0] = uint8_t(s[2] * k / 255);
    }
}

// CMYK scanlines through a 4-byte-per-pixel buffer into 24-bit rows from the
// bottom up. The buffer is handed back through cmykRow so that a library
// error, which jumps past this frame, still frees it.
int JpegDecodeCmyk(jpeg_decompress_struct* c, size_t rowStride, JSAMPROW* cmykRow) {
    CheckedSize rowBytes(c->output_width);
    rowBytes.Mul(4);
    *cmykRow = static_cast<JSAMPROW>(GuardedAlloc(rowBytes.Size()));
    if (!*cmykRow) return kImgNoMemory;
    uint8_t* bits = gImageDecodeState.bits;
    while (c->output_scanline < c->output_height) {
        uint8_t* d = bits + size_t(c->output_height - 1 - c->output_scanline) * rowStride;
        if (jpeg_read_scanlines(c, cmykRow, 1) != 1) break;
        JpegCmykToBgr(*cmykRow, d, c->output_width);
    }
    jpeg_finish_decompress(c);
    return kImgOk;
}

// The decode proper, apart from the setjmp frame so that no local changes
// after the jump point matter. Answers a result and leaves the library object
// to the caller.
int JpegDecodeRows(jpeg_decompress_struct* c, JSAMPROW* cmykRow) {
    ImageDecodeState& st = gImageDecodeState;
    jpeg_read_header(c, TRUE);
    uint32_t bitCount;
    bool cmyk = false;
    switch (c->out_color_space) {
    case JCS_RGB:
        bitCount = c->quantize_colors ? 8 : 24;
        // The library writes blue, green, red itself: no swap pass.
        if (!c->quantize_colors) c->out_color_space = JCS_EXT_BGR;
        break;
    case JCS_GRAYSCALE:
        bitCount = 8;
        break;
    case JCS_CMYK:
        bitCount = 24;
        cmyk = true;
        break;
    default:
        return kImgInvalid;
    }
    jpeg_calc_output_dimensions(c);
    if (c->output_width == 0 || c->output_height == 0) return kImgInvalid;
    CheckedSize stride = DibStride(c->output_width, bitCount);
    CheckedSize size = stride;
    size.Mul(c->output_height);
    if (!size.Fits(gImageByteCap)) return kImgInvalid;
    // The library's own working memory is held to the same cap.
    c->mem->max_memory_to_use = static_cast<long>(gImageByteCap < 0x7FFFFFFF ? gImageByteCap : 0x7FFFFFFF);

    BITMAPINFOHEADER& h = st.header;
    memset(&h, 0, sizeof h);
    h.biSize = 40;
    h.biWidth = LONG(c->output_width);
    h.biHeight = LONG(c->output_height);
    h.biPlanes = 1;
    h.biBitCount = WORD(bitCount);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(size.value);
    if (!ImageAllocBits(size.Size())) return kImgNoMemory;

    jpeg_start_decompress(c);
    if (bitCount == 8) {
        h.biClrUsed = h.biClrImportant = 256;
        JpegSetPalette(*c, st.colors);
    }
    if (cmyk) return JpegDecodeCmyk(c, stride.Size(), cmykRow);
    const size_t rowStride = stride.Size();
    while (c->output_scanline < c->output_height) {
        JSAMPROW row = st.bits + size_t(c->output_height - 1 - c->output_scanline) * rowStride;
        if (jpeg_read_scanlines(c, &row, 1) != 1) break;
    }
    jpeg_finish_decompress(c);
    return kImgOk;
}

}  // namespace

bool JpegIsImage(const uint8_t* buffer, size_t length) {
    jpeg_decompress_struct c;
    JpegError err;
    JpegSource src;
    JpegSetErrors(&c, &err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&c);
        return false;
    }
    jpeg_create_decompress(&c);
    JpegSetSource(&c, &src, buffer, length);
    bool ok = jpeg_read_header(&c, TRUE) == JPEG_HEADER_OK;
    jpeg_destroy_decompress(&c);
    return ok;
}

int JpegDecode() {
    ImageDecodeState& st = gImageDecodeState;
    LocalFreeMem(st.bits);
    st.bits = nullptr;
    jpeg_decompress_struct c;
    JpegError err;
    JpegSource src;
    // Static so that its value survives the jump back.
    static JSAMPROW cmykRow;
    cmykRow = nullptr;
    JpegSetErrors(&c, &err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&c);
        GuardedFree(cmykRow);
        LocalFreeMem(st.bits);
        st.bits = nullptr;
        return kImgInvalid;
    }
    jpeg_create_decompress(&c);
    JpegSetSource(&c, &src, st.sourcePos, st.sourceSize);
    int rc = JpegDecodeRows(&c, &cmykRow);
    jpeg_destroy_decompress(&c);
    GuardedFree(cmykRow);
    if (rc != kImgOk) {
        LocalFreeMem(st.bits);
        st.bits = nullptr;
    }
    return rc;
}
