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

constexpr uint32_t kMaxLibraryMemory = 0x7FFFFFFF;
// The library takes a memory limit of 0 for none at all: a decode that leaves
// it no room gives it one byte.
constexpr uint64_t kLeastLibraryMemory = 1;
constexpr int kPaletteEntries = 256;
// Every scan of a progressive or multi-scan file is a pass over the whole
// coefficient array; real files have a dozen or two, a hostile one tens of
// thousands (each a few bytes, no data). Past this many the file is refused.
constexpr int kMaxScans = 256;

// Indexed by JpegResult.
const DecodeRule kJpegRules[kJpegResultCount] = {
    {kImgOk, "decoded"},
    {kImgInvalid, "there is no data"},
    {kImgInvalid, "the library cannot read the header"},
    {kImgInvalid, "the samples are not 8 bits"},
    {kImgInvalid, "the colour space is not RGB, grey or CMYK"},
    {kImgInvalid, "the output width or height is zero"},
    {kImgNoMemory, kImageCeilingReason},
    {kImgNoMemory, "the library's working memory passes the ceiling"},
    {kImgInvalid, "the library cannot read the image data"},
    {kImgNoMemory, "no memory for the bits"},
    {kImgInvalid, "too many scans"},
};

// How far a decode got: a library error is reported by the stage it broke;
// the scan count's refusal leaves by the same jump with a stage of its own.
enum JpegStage { kStageHeader, kStageData, kStageTooManyScans };

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

// One decode: the library object, its error, source and progress managers,
// the stage reached, the bytes the caller holds for it beside the picture and
// the blocks to free. It lives in the caller's frame, outside the function
// that calls setjmp, so its contents are sound after a library error jumps
// back.
struct JpegJob {
    jpeg_decompress_struct c;
    JpegError err;
    JpegSource src;
    jpeg_progress_mgr progress;
    JpegStage stage;
    uint64_t heldBytes;
    JSAMPROW cmykRow;
    DecodedImage* out;
};

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void JpegErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void JpegOutputMessage(j_common_ptr) {}

// The library calls this before each step of reading the scans into the
// coefficient array; a file past kMaxScans leaves through the error jump.
void JpegCountScans(j_common_ptr cinfo) {
    auto* c = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (c->input_scan_number <= kMaxScans) return;
    static_cast<JpegJob*>(c->client_data)->stage = kStageTooManyScans;
    JpegErrorExit(cinfo);
}

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
    for (int i = 0; i < kPaletteEntries; i++) {
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
// bottom up. The buffer is kept in the job so that a library error, which
// jumps past this frame, still frees it.
int JpegDecodeCmyk(JpegJob* job, size_t rowStride) {
    jpeg_decompress_struct* c = &job->c;
    CheckedSize rowBytes(c->output_width);
    rowBytes.Mul(4);
    job->cmykRow = static_cast<JSAMPROW>(GuardedAlloc(rowBytes.Size()));
    if (!job->cmykRow) return kJpegNoMemory;
    uint8_t* bits = job->out->bits;
    while (c->output_scanline < c->output_height) {
        uint8_t* d = bits + size_t(c->output_height - 1 - c->output_scanline) * rowStride;
        if (jpeg_read_scanlines(c, &job->cmykRow, 1) != 1) break;
        JpegCmykToBgr(job->cmykRow, d, c->output_width);
    }
    jpeg_finish_decompress(c);
    return kJpegOk;
}

// The decode proper; a library error jumps out of it to JpegRunGuarded.
int JpegDecodeRows(JpegJob* job) {
    jpeg_decompress_struct* c = &job->c;
    job->stage = kStageHeader;
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
        return kJpegBadColourSpace;
    }
    jpeg_calc_output_dimensions(c);
    if (c->output_width == 0 || c->output_height == 0) return kJpegNoSize;
    CheckedSize stride = DibStride(c->output_width, bitCount);
    CheckedSize size = stride;
    size.Mul(c->output_height);
    // The ceiling bounds all the decode holds at once: the picture, what the
    // caller holds beside it, and the library's working memory (a progressive
    // file's coefficient arrays, as large as the picture), which gets what
    // the other two leave.
    CheckedSize held = size;
    held.Add(job->heldBytes);
    if (!held.Fits(gImageByteCap)) return kJpegTooLarge;
    uint64_t room = gImageByteCap - held.value;
    if (room > kMaxLibraryMemory) room = kMaxLibraryMemory;
    if (room < kLeastLibraryMemory) room = kLeastLibraryMemory;
    c->mem->max_memory_to_use = static_cast<long>(room);

    BITMAPINFOHEADER& h = job->out->header;
    h.biSize = 40;
    h.biWidth = LONG(c->output_width);
    h.biHeight = LONG(c->output_height);
    h.biPlanes = 1;
    h.biBitCount = WORD(bitCount);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(size.value);
    job->out->bits = static_cast<uint8_t*>(LocalAllocZero(size.Size()));
    if (!job->out->bits) return kJpegNoMemory;

    job->stage = kStageData;
    jpeg_start_decompress(c);
    if (bitCount == 8) {
        h.biClrUsed = h.biClrImportant = kPaletteEntries;
        JpegSetPalette(*c, job->out->colors);
    }
    if (cmyk) return JpegDecodeCmyk(job, stride.Size());
    const size_t rowStride = stride.Size();
    uint8_t* bits = job->out->bits;
    while (c->output_scanline < c->output_height) {
        JSAMPROW row = bits + size_t(c->output_height - 1 - c->output_scanline) * rowStride;
        if (jpeg_read_scanlines(c, &row, 1) != 1) break;
    }
    jpeg_finish_decompress(c);
    return kJpegOk;
}

// The rule of a library error: a few messages name their own cause, the rest
// count by the stage where they happened.
int JpegLibraryResult(const JpegJob& job) {
    if (job.stage == kStageTooManyScans) return kJpegTooManyScans;
    switch (job.err.pub.msg_code) {
    case JERR_INPUT_EMPTY: return kJpegNoData;
    case JERR_BAD_PRECISION: return kJpegBadPrecision;
    // Past max_memory_to_use the library asks for a backing store, which
    // this build has none of.
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE: return kJpegLibraryMemory;
    default: return job.stage == kStageHeader ? kJpegBadHeader : kJpegBadData;
    }
}

// The one frame with setjmp; it changes no local of its own after the call.
int JpegRunGuarded(JpegJob* job) {
    if (setjmp(job->err.jump)) return JpegLibraryResult(*job);
    jpeg_create_decompress(&job->c);
    JpegSetSource(&job->c, &job->src, job->src.data, job->src.length);
    job->c.client_data = job;
    job->progress.progress_monitor = JpegCountScans;
    job->c.progress = &job->progress;
    return JpegDecodeRows(job);
}

// The header alone, for the probe; false on any library error.
bool JpegReadHeaderGuarded(JpegJob* job) {
    if (setjmp(job->err.jump)) return false;
    jpeg_create_decompress(&job->c);
    JpegSetSource(&job->c, &job->src, job->src.data, job->src.length);
    return jpeg_read_header(&job->c, TRUE) == JPEG_HEADER_OK;
}

}  // namespace

const DecodeRule& JpegRule(int result) { return DecodeRuleOf(kJpegRules, kJpegResultCount, result); }

bool JpegIsImage(const uint8_t* buffer, size_t length) {
    JpegJob job;
    memset(&job, 0, sizeof job);
    job.src.data = buffer;
    job.src.length = length;
    JpegSetErrors(&job.c, &job.err);
    const bool ok = JpegReadHeaderGuarded(&job);
    jpeg_destroy_decompress(&job.c);
    return ok;
}

int JpegDecodeBuffer(const uint8_t* data, size_t length, DecodedImage* out, uint64_t heldBytes) {
    DecodedImageClear(out);
    if (!data || length == 0) return kJpegNoData;
    JpegJob job;
    memset(&job, 0, sizeof job);
    job.out = out;
    job.heldBytes = heldBytes;
    job.src.data = data;
    job.src.length = length;
    JpegSetErrors(&job.c, &job.err);
    int rc = JpegRunGuarded(&job);
    jpeg_destroy_decompress(&job.c);
    GuardedFree(job.cmykRow);
    if (rc != kJpegOk) {
        DecodedImageDropBits(out);
    }
    return rc;
}

int JpegDecode() {
    ImageDecodeState& st = gImageDecodeState;
    LocalFreeMem(st.bits);
    st.bits = nullptr;
    DecodedImage image;
    int rc = JpegDecodeBuffer(st.sourcePos, st.sourceSize, &image);
    return ImageAdoptDecoded(JpegRule(rc), &image);
}
