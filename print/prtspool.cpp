// prtspool.cpp - the print spool file, platform-free: header, page records,
// drawing records, the buffered writer and the page reader (see prtspool.h).
#include "print/prtspool.h"

#include <cstdlib>
#include <cstring>

#include "session/util/bytereader.h"

// ---- Little-endian fields ---------------------------------------------------------------

static void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
static void PutU32(uint8_t* p, uint32_t v) {
    PutU16(p, static_cast<uint16_t>(v));
    PutU16(p + 2, static_cast<uint16_t>(v >> 16));
}
static uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
static uint32_t GetU32(const uint8_t* p) { return GetU16(p) | (static_cast<uint32_t>(GetU16(p + 2)) << 16); }
static uint32_t Low32(uint64_t v) { return static_cast<uint32_t>(v); }
static uint32_t High32(uint64_t v) { return static_cast<uint32_t>(v >> 32); }

// A NUL-terminated copy of at most size - 1 bytes of a field.
static void CopyField(char* out, size_t size, const uint8_t* field, size_t fieldLen) {
    size_t n = 0;
    while (n < fieldLen && n + 1 < size && field[n]) n++;
    memcpy(out, field, n);
    out[n] = 0;
}

// ---- Page records -------------------------------------------------------------------------

void SpoolEncodePageRecord(const SpoolPageState& s, uint8_t out[kSpoolPageRecord]) {
    memset(out, 0, kSpoolPageRecord);
    PutU32(out + kSpoolPgTextFlags, s.textFlags);
    PutU32(out + kSpoolPgTextColor, s.textColor);
    PutU32(out + kSpoolPgBackColor, s.backColor);
    PutU32(out + kSpoolPgFontSize, s.fontSize);
    out[kSpoolPgBold] = s.bold;
    out[kSpoolPgItalic] = s.italic;
    out[kSpoolPgUnderline] = s.underline;
    memcpy(out + kSpoolPgFace, s.face, strnlen(s.face, kSpoolFaceSize - 1));
    PutU16(out + kSpoolPgPenWidth, s.penWidth);
    out[kSpoolPgCoordMode] = s.coordMode;
    PutU32(out + kSpoolPgRop, s.ropIndex);
    for (size_t i = 0; i < kSpoolSetupValues; i++) PutU16(out + kSpoolPgSetup + 2 * i, s.setup[i]);
    PutU16(out + kSpoolPgAngle, s.angle);
    out[kSpoolPgStrike] = s.strike;
    out[kSpoolPgMarginsSet] = 1;
    PutU16(out + kSpoolPgLeftMargin, s.leftMargin);
    PutU16(out + kSpoolPgTopMargin, s.topMargin);
}

void SpoolDecodePageRecord(const uint8_t* rec, bool oldForm, SpoolPageState* out) {
    memset(out, 0, sizeof *out);
    out->textFlags = GetU32(rec + kSpoolPgTextFlags);
    out->textColor = GetU32(rec + kSpoolPgTextColor);
    out->backColor = GetU32(rec + kSpoolPgBackColor);
    out->fontSize = GetU32(rec + kSpoolPgFontSize);
    out->bold = rec[kSpoolPgBold];
    out->italic = rec[kSpoolPgItalic];
    out->underline = rec[kSpoolPgUnderline];
    CopyField(out->face, sizeof out->face, rec + kSpoolPgFace, kSpoolFaceSize);
    out->penWidth = GetU16(rec + kSpoolPgPenWidth);
    out->coordMode = rec[kSpoolPgCoordMode];
    out->ropIndex = GetU32(rec + kSpoolPgRop);
    for (size_t i = 0; i < kSpoolSetupValues; i++) out->setup[i] = GetU16(rec + kSpoolPgSetup + 2 * i);
    if (!oldForm) {
        out->angle = GetU16(rec + kSpoolPgAngle);
        out->strike = rec[kSpoolPgStrike];
    }
    out->marginsSet = rec[kSpoolPgMarginsSet] == 1;
    if (out->marginsSet) {
        out->leftMargin = GetU16(rec + kSpoolPgLeftMargin);
        out->topMargin = GetU16(rec + kSpoolPgTopMargin);
    }
}

// Byte 91 and the 12 bytes after it mean something only when byte 91 is 1.
static void NormaliseMargins(uint8_t* rec) {
    if (rec[kSpoolPgMarginsSet] != 1) memset(rec + kSpoolPgMarginsSet, 0, kSpoolPgMarginsSpan);
}

// ---- Records ---------------------------------------------------------------------------------

static void DecodeFontFields(const uint8_t* p, bool withAngle, SpoolPageState* f) {
    memset(f, 0, sizeof *f);
    f->fontSize = GetU32(p);
    size_t at = 4;
    if (withAngle) {
        f->angle = GetU16(p + at);
        at += 2;
    }
    f->bold = p[at];
    f->italic = p[at + 1];
    f->underline = p[at + 2];
    at += 3;
    if (withAngle) f->strike = p[at++];
    CopyField(f->face, sizeof f->face, p + at, kSpoolFaceSize);
}

static void DecodeRect(const uint8_t* p, SpoolRecord* out) {
    out->top = GetU16(p);
    out->bottom = GetU16(p + 2);
    out->left = GetU16(p + 4);
    out->right = GetU16(p + 6);
}

// Palette entries an image needs for its bit depth, and whether the depth and
// compression are ones the replay can hand to the device.
static bool ImageShapeOk(const uint8_t* dib, uint32_t colors, uint32_t pixelBytes) {
    ByteReader h(dib, kSpoolDibHeader);
    int32_t width = 0, height = 0;
    uint16_t planes = 0, bits = 0;
    uint32_t compression = 0;
    h.I32At(4, &width);
    h.I32At(8, &height);
    h.U16At(12, &planes);
    h.U16At(14, &bits);
    h.U32At(16, &compression);
    if (width <= 0 || height == 0 || height == INT32_MIN || planes != 1) return false;
    constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBitfieldMasks = 3;
    if (compression == kBiBitfields) {
        if ((bits != 16 && bits != 32) || colors != kBitfieldMasks) return false;
    } else if (compression == kBiRle8 || compression == kBiRle4) {
        // Run-length pixels: biSizeImage bytes of runs, handed to the device
        // as they are, which decodes them within its own bounds.
        if (bits != (compression == kBiRle8 ? 8 : 4) || height < 0) return false;
        return colors != 0 && colors <= (1u << bits) && pixelBytes != 0;
    } else if (compression != kBiRgb) {
        return false;
    }
    if (bits == 1 || bits == 4 || bits == 8) {
        if (colors == 0 || colors > (1u << bits)) return false;
    } else if (bits != 16 && bits != 24 && bits != 32) {
        return false;
    }
    uint64_t rows = height < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(height)) : static_cast<uint64_t>(height);
    CheckedSize need = DibStride(static_cast<uint64_t>(width), bits);
    need.Mul(rows);
    return need.ok && need.value <= pixelBytes;
}

bool SpoolDecodeImage(const uint8_t* rec, size_t len, SpoolRecord* out) {
    if (len < kSpoolSizeImageHead) return false;
    DecodeRect(rec + 1, out);
    out->mode = GetU32(rec + 9);
    for (int i = 0; i < 4; i++) out->source[i] = static_cast<int32_t>(GetU32(rec + 13 + 4 * i));
    out->dib = rec + kSpoolImageInfoAt;
    out->pixelBytes = GetU32(out->dib + 20);
    out->colors = GetU32(out->dib + 32);
    // 73 + 4c + b in 64 bits: a size that wraps in 32 never fits the page.
    CheckedSize palette(out->colors);
    palette.Mul(4);
    CheckedSize size(kSpoolSizeImageHead);
    size.Add(palette.value).Add(out->pixelBytes);
    if (!palette.ok || !size.ok || size.value > len) return false;
    out->palette = rec + kSpoolSizeImageHead;
    out->pixels = out->palette + 4 * static_cast<size_t>(out->colors);
    out->size = size.Size();
    return ImageShapeOk(out->dib, out->colors, out->pixelBytes);
}

// The size of a text record, or 0 when its length field is not in hand.
static SpoolDecode DecodeText(const uint8_t* p, size_t room, SpoolRecord* out) {
    if (room < kSpoolSizeTextHead) return kSpoolDecodeBad;
    out->textLen = GetU16(p + 1);
    out->text = p + kSpoolSizeTextHead;
    out->size = kSpoolSizeTextHead + out->textLen;
    return out->size <= room ? kSpoolDecodeOk : kSpoolDecodeBad;
}

// The fixed size of each type below 20; 0 for texts and images, which carry
// their own, and for the types that do not exist.
static size_t FixedSize(uint8_t type) {
    switch (type) {
    case kSpoolRecControl: return kSpoolSizeControl;
    case kSpoolRecColor: return kSpoolSizeColor;
    case kSpoolRecPos: case kSpoolRecLine: return kSpoolSizePos;
    case kSpoolRecOldFont: return kSpoolSizeOldFont;
    case kSpoolRecRect: case kSpoolRecEllipse: case kSpoolRecRegion: return kSpoolSizeRect;
    case kSpoolRecRoundRect: return kSpoolSizeRoundRect;
    case kSpoolRecPageEnd: return kSpoolSizePageEnd;
    case kSpoolRecFont: return kSpoolSizeFont;
    case kSpoolRecImageRef: return kSpoolSizeImageRef + kSpoolSizeRect;
    default: return 0;
    }
}

SpoolDecode SpoolDecodeRecord(const uint8_t* page, size_t len, size_t off, SpoolRecord* out) {
    memset(out, 0, sizeof *out);
    if (off >= len) return kSpoolDecodeBad;   // a page always ends with its end record
    const uint8_t* p = page + off;
    size_t room = len - off;
    out->type = p[0];
    out->at = off;
    switch (out->type) {
    case kSpoolRecText: case kSpoolRecNumber: case kSpoolRecPdfAttach: case kSpoolRecPdfInfo:
    case kSpoolRecPdfEncrypt: case kSpoolRecPdfImport:
        return DecodeText(p, room, out);
    case kSpoolRecImage:
        return SpoolDecodeImage(p, room, out) ? kSpoolDecodeOk : kSpoolDecodeBad;
    default: break;
    }
    out->size = FixedSize(out->type);
    if (!out->size || out->size > room) return kSpoolDecodeBad;
    switch (out->type) {
    case kSpoolRecControl: out->code = GetU32(p + 1); out->value = GetU16(p + 5); break;
    case kSpoolRecColor: out->code = GetU32(p + 1); out->value = GetU32(p + 5); break;
    case kSpoolRecPos: case kSpoolRecLine: out->column = GetU16(p + 1); out->row = GetU16(p + 3); break;
    case kSpoolRecOldFont: DecodeFontFields(p + 1, false, &out->font); break;
    case kSpoolRecFont: DecodeFontFields(p + 1, true, &out->font); break;
    case kSpoolRecRect: case kSpoolRecEllipse: case kSpoolRecRegion: DecodeRect(p + 1, out); break;
    case kSpoolRecRoundRect:
        DecodeRect(p + 1, out);
        out->cornerWidth = GetU16(p + 9);
        out->cornerHeight = GetU16(p + 11);
        break;
    case kSpoolRecImageRef:
        // Always followed by the rectangle to draw the picture in.
        if (p[kSpoolSizeImageRef] != kSpoolRecRect) return kSpoolDecodeBad;
        out->refOffset = GetU32(p + 1) | (static_cast<uint64_t>(GetU32(p + 5)) << 32);
        out->refSize = GetU32(p + 9);
        DecodeRect(p + kSpoolSizeImageRef + 1, out);
        break;
    case kSpoolRecPageEnd: return kSpoolDecodePageEnd;
    default: break;
    }
    return kSpoolDecodeOk;
}

// ---- Writer --------------------------------------------------------------------------------------

static uint32_t gSpoolGeneration;

uint32_t SpoolNextGeneration() {
    if (++gSpoolGeneration == 0) gSpoolGeneration = 1;
    return gSpoolGeneration;
}

bool SpoolUseShortForm(bool shortSetting, size_t docNameLen, bool utf16) {
    return shortSetting && docNameLen < kSpoolShortName && !utf16;
}

void SpoolWriterInit(SpoolWriter* w, const SpoolIo* io, bool longForm, bool utf16) {
    memset(w, 0, sizeof *w);
    w->io = io;
    w->longForm = longForm;
    w->version = !longForm ? kSpoolVersionShort : utf16 ? kSpoolVersionWide : kSpoolVersionLong;
}

static int32_t Fail(SpoolWriter* w, uint32_t detail) {
    if (w->io->fail) w->io->fail(w->io->ctx, detail);
    return kPrtSpoolWrite;
}

static bool FlushBuffer(SpoolWriter* w) {
    if (!w->used) return true;
    bool ok = w->io->write(w->io->ctx, w->buf, w->used);
    if (ok) w->filePos += w->used;
    w->used = 0;
    return ok;
}

static size_t Room(const SpoolWriter* w) { return kSpoolBufSize - 1 - w->used; }

int32_t SpoolReserve(SpoolWriter* w, size_t n) {
    if (w->used && (n == 0 || n > Room(w)) && !FlushBuffer(w)) return Fail(w, kSpoolErrReserve);
    return kPrtOk;
}

int32_t SpoolPut(SpoolWriter* w, const void* bytes, size_t n) {
    int32_t r = SpoolReserve(w, n);
    if (r) return r;
    if (n > Room(w)) return Fail(w, kSpoolErrReserve);
    memcpy(w->buf + w->used, bytes, n);
    w->used += n;
    return kPrtOk;
}

int32_t SpoolWriteBytes(SpoolWriter* w, const void* bytes, size_t n) {
    if (n > Room(w)) {
        if (!FlushBuffer(w)) return Fail(w, kSpoolErrBytesFlush);
        if (n > Room(w)) {
            if (!w->io->write(w->io->ctx, bytes, n)) return Fail(w, kSpoolErrBytesDirect);
            w->filePos += n;
            return kPrtOk;
        }
    }
    if (n) memcpy(w->buf + w->used, bytes, n);
    w->used += n;
    return kPrtOk;
}

size_t SpoolEncodeHeader(bool longForm, uint32_t version, uint32_t flags, const char* docName, uint8_t decimal,
                         uint8_t* out) {
    size_t size = longForm ? kSpoolLongHeader : kSpoolShortHeader;
    size_t nameField = longForm ? kSpoolLongName : kSpoolShortName;
    memset(out, 0, size);
    PutU32(out + kSpoolHdrMagic, kSpoolMagic);
    PutU32(out + kSpoolHdrVersion, version);
    PutU32(out + kSpoolHdrFlags, flags);
    size_t n = docName ? strnlen(docName, nameField - 1) : 0;
    memcpy(out + kSpoolHdrName, docName, n);
    out[longForm ? kSpoolHdrLongDecimal : kSpoolHdrShortDecimal] = decimal;
    return size;
}

// Whether an offset may be written into the file's links and header.
static bool WithinForm(const SpoolWriter* w, uint64_t pos) { return w->longForm || pos <= kSpoolShortLimit; }

static void KeepLargest(SpoolWriter* w, uint64_t end) {
    uint64_t size = end - w->pageOffset;
    if (size > w->largest) w->largest = size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
}

// Ends the current page: its end record, then its record's link to the next
// page - in the buffer when the record is still there, else in the file from
// the copy kept of it.
int32_t SpoolEndPage(SpoolWriter* w) {
    const uint8_t end = kSpoolRecPageEnd;
    int32_t r = SpoolPut(w, &end, 1);
    if (r) return r;
    uint64_t next = w->filePos + w->used;
    if (!WithinForm(w, next)) return Fail(w, kSpoolErrPagePos);
    KeepLargest(w, next);
    PutU32(w->pageRec + kSpoolPgNext, Low32(next));
    if (w->longForm) PutU32(w->pageRec + kSpoolPgNextHigh, High32(next));
    if (w->pageOffset >= w->filePos) {
        memcpy(w->buf + (w->pageOffset - w->filePos), w->pageRec, kSpoolPageRecord);
    } else {
        const SpoolIo* io = w->io;
        if (!FlushBuffer(w)) return Fail(w, kSpoolErrPageFlush);
        if (!io->seek(io->ctx, w->pageOffset)) return Fail(w, kSpoolErrLinkSeek);
        if (!io->write(io->ctx, w->pageRec, kSpoolPageRecord)) return Fail(w, kSpoolErrLink);
        if (!io->seek(io->ctx, w->filePos)) return Fail(w, kSpoolErrSeekEnd);
    }
    w->prevOffset = w->pageOffset;
    w->pageOffset = next;
    return kPrtOk;
}

int32_t SpoolBeginPage(SpoolWriter* w, const SpoolPageState& s, const char* docName, uint8_t decimal) {
    int32_t r;
    if (!w->started) {
        if (!w->io->tell(w->io->ctx, &w->headerAt)) return Fail(w, kSpoolErrReserve);
        w->filePos = w->headerAt;
        uint8_t header[kSpoolLongHeader];
        uint32_t flags = kSpoolFileWriting | kSpoolFileNamed | (w->version == kSpoolVersionWide ? kSpoolFileUtf16 : 0u);
        size_t n = SpoolEncodeHeader(w->longForm, w->version, flags, docName, decimal, header);
        if ((r = SpoolPut(w, header, n)) != kPrtOk) return r;
        if (w->longForm) w->generation = SpoolNextGeneration();
        w->started = true;
        w->pageOffset = w->headerAt + n;
        w->prevOffset = 0;
    } else if ((r = SpoolEndPage(w)) != kPrtOk) {
        return r;
    }
    uint8_t rec[kSpoolPageRecord];
    SpoolEncodePageRecord(s, rec);
    PutU32(rec + kSpoolPgPrev, Low32(w->prevOffset));
    PutU32(rec + kSpoolPgPrevHigh, High32(w->prevOffset));
    memcpy(w->pageRec, rec, sizeof rec);
    if ((r = SpoolPut(w, rec, sizeof rec)) != kPrtOk) return r;
    w->pages++;
    return kPrtOk;
}

int32_t SpoolFinish(SpoolWriter* w) {
    if (!w->started) return kPrtOk;
    const uint8_t endRec = kSpoolRecPageEnd;
    if (SpoolPut(w, &endRec, 1) != kPrtOk || !FlushBuffer(w)) return Fail(w, kSpoolErrFinishFlush);
    uint64_t end = w->filePos;
    if (!WithinForm(w, end)) return Fail(w, kSpoolErrFinishPos);
    const SpoolIo* io = w->io;
    size_t size = w->longForm ? kSpoolLongHeader : kSpoolShortHeader;
    uint8_t h[kSpoolLongHeader];
    size_t got = 0;
    if (!io->seek(io->ctx, w->headerAt)) return Fail(w, kSpoolErrHeaderSeek);
    if (!io->read(io->ctx, h, size, &got) || got != size) return Fail(w, kSpoolErrHeaderRead);
    PutU32(h + kSpoolHdrFlags, GetU32(h + kSpoolHdrFlags) & (kSpoolFileNamed | kSpoolFileUtf16));
    PutU32(h + kSpoolHdrPages, w->pages);
    PutU32(h + kSpoolHdrEndLow, Low32(end));
    uint32_t version = GetU32(h + kSpoolHdrVersion);
    if (w->longForm) {
        PutU32(h + kSpoolHdrEndHigh, High32(end));
        if (High32(end) && version == kSpoolVersionLong) version = kSpoolVersionBig;
    }
    if (w->version > version) version = w->version;
    PutU32(h + kSpoolHdrVersion, version);
    KeepLargest(w, end);
    PutU32(h + kSpoolHdrLargest, w->largest);
    // Only the fields from the version to the end offset, and the end's high part.
    if (!io->seek(io->ctx, w->headerAt + kSpoolHdrVersion)) return Fail(w, kSpoolErrHeaderSeekWrite);
    if (!io->write(io->ctx, h + kSpoolHdrVersion, kSpoolHdrName - kSpoolHdrVersion))
        return Fail(w, kSpoolErrHeaderWrite);
    if (w->longForm &&
        (!io->seek(io->ctx, w->headerAt + kSpoolHdrEndHigh) || !io->write(io->ctx, h + kSpoolHdrEndHigh, 4)))
        return Fail(w, kSpoolErrHeaderWrite);
    if (io->flush && !io->flush(io->ctx)) return Fail(w, kSpoolErrHeaderWrite);
    return kPrtOk;
}

int32_t SpoolWriteControl(SpoolWriter* w, uint32_t code, uint16_t value) {
    uint8_t rec[kSpoolSizeControl] = {kSpoolRecControl};
    PutU32(rec + 1, code);
    PutU16(rec + 5, value);
    return SpoolPut(w, rec, sizeof rec);
}

int32_t SpoolWriteColor(SpoolWriter* w, uint32_t which, uint32_t colour) {
    uint8_t rec[kSpoolSizeColor] = {kSpoolRecColor};
    PutU32(rec + 1, which);
    PutU32(rec + 5, colour);
    return SpoolPut(w, rec, sizeof rec);
}

int32_t SpoolWriteText(SpoolWriter* w, uint8_t type, const void* text, size_t len) {
    if (len > kSpoolTextMax) len = kSpoolTextMax;
    uint8_t head[kSpoolSizeTextHead] = {type};
    PutU16(head + 1, static_cast<uint16_t>(len));
    int32_t r = SpoolPut(w, head, sizeof head);
    const uint8_t* p = static_cast<const uint8_t*>(text);
    while (r == kPrtOk && len) {
        size_t chunk = len < kSpoolTextChunk ? len : kSpoolTextChunk;
        r = SpoolPut(w, p, chunk);
        p += chunk;
        len -= chunk;
    }
    return r;
}

int32_t SpoolWriteFour(SpoolWriter* w, uint8_t type, uint16_t a, uint16_t b) {
    uint8_t rec[kSpoolSizePos] = {type};
    PutU16(rec + 1, a);
    PutU16(rec + 3, b);
    return SpoolPut(w, rec, sizeof rec);
}

static void EncodeRect(uint8_t* p, uint16_t top, uint16_t bottom, uint16_t left, uint16_t right) {
    PutU16(p, top);
    PutU16(p + 2, bottom);
    PutU16(p + 4, left);
    PutU16(p + 6, right);
}

int32_t SpoolWriteShape(SpoolWriter* w, uint8_t type, uint16_t top, uint16_t bottom, uint16_t left, uint16_t right) {
    uint8_t rec[kSpoolSizeRect] = {type};
    EncodeRect(rec + 1, top, bottom, left, right);
    return SpoolPut(w, rec, sizeof rec);
}

int32_t SpoolWriteRoundRect(SpoolWriter* w, uint16_t top, uint16_t bottom, uint16_t left, uint16_t right,
                            uint16_t cw, uint16_t ch) {
    uint8_t rec[kSpoolSizeRoundRect] = {kSpoolRecRoundRect};
    EncodeRect(rec + 1, top, bottom, left, right);
    PutU16(rec + 9, cw);
    PutU16(rec + 11, ch);
    return SpoolPut(w, rec, sizeof rec);
}

int32_t SpoolWriteFont(SpoolWriter* w, const SpoolPageState& f) {
    uint8_t rec[kSpoolSizeFont] = {kSpoolRecFont};
    PutU32(rec + 1, f.fontSize);
    PutU16(rec + 5, f.angle);
    rec[7] = f.bold;
    rec[8] = f.italic;
    rec[9] = f.underline;
    rec[10] = f.strike;
    memcpy(rec + 11, f.face, strnlen(f.face, kSpoolFaceSize - 1));
    return SpoolPut(w, rec, sizeof rec);
}

static bool MemoFits(const SpoolImageMemo& memo, const SpoolImage& img) {
    return memo.mode == img.mode && memcmp(memo.source, img.source, sizeof memo.source) == 0;
}

int32_t SpoolWriteImage(SpoolWriter* w, const SpoolImage& img, SpoolImageMemo* memo, bool drawsNow) {
    int32_t r;
    if (w->longForm && memo && memo->generation == w->generation && memo->size && !drawsNow && MemoFits(*memo, img)) {
        uint8_t ref[kSpoolSizeImageRef] = {kSpoolRecImageRef};
        PutU32(ref + 1, Low32(memo->offset));
        PutU32(ref + 5, High32(memo->offset));
        PutU32(ref + 9, memo->size);
        if ((r = SpoolPut(w, ref, sizeof ref)) != kPrtOk) return r;
        if (w->version < kSpoolVersionBig) w->version = kSpoolVersionBig;
        return SpoolWriteShape(w, kSpoolRecRect, img.top, img.bottom, img.left, img.right);
    }
    size_t palette = 4 * static_cast<size_t>(img.colors);
    uint8_t head[kSpoolSizeImageHead] = {kSpoolRecImage};
    EncodeRect(head + 1, img.top, img.bottom, img.left, img.right);
    PutU32(head + 9, img.mode);
    for (int i = 0; i < 4; i++) PutU32(head + 13 + 4 * i, static_cast<uint32_t>(img.source[i]));
    memcpy(head + kSpoolImageInfoAt, img.dib, kSpoolDibHeader);
    PutU32(head + kSpoolImageInfoAt + 20, img.pixelBytes);
    PutU32(head + kSpoolImageInfoAt + 32, img.colors);
    if ((r = SpoolReserve(w, sizeof head + palette)) != kPrtOk) return r;
    uint64_t at = w->filePos + w->used;
    bool placed = w->longForm && memo;
    if ((r = SpoolPut(w, head, sizeof head)) != kPrtOk) return r;
    if ((r = SpoolWriteBytes(w, img.palette, palette)) != kPrtOk) return r;
    if ((r = SpoolWriteBytes(w, img.pixels, img.pixelBytes)) != kPrtOk) return r;
    if (placed) {
        memo->generation = w->generation;
        memo->offset = at;
        memo->size = static_cast<uint32_t>(sizeof head + palette + img.pixelBytes);
        memo->mode = img.mode;
        memcpy(memo->source, img.source, sizeof memo->source);
    }
    return kPrtOk;
}

// ---- Reader ----------------------------------------------------------------------------------------

static int32_t Bad(SpoolReader* r, uint32_t detail) {
    r->detail = detail;
    return kPrtSpoolBad;
}

static bool ReadAt(const SpoolIo* io, uint64_t at, void* out, size_t n) {
    size_t got = 0;
    return io->seek(io->ctx, at) && io->read(io->ctx, out, n, &got) && got == n;
}

// A read of the reader's file outside its window: the file no longer stands
// where the window ends.
static bool ReaderReadAt(SpoolReader* r, uint64_t at, void* out, size_t n) {
    r->aheadEndIsFilePos = false;
    return ReadAt(r->io, at, out, n);
}

// The n bytes at `at` inside the read-ahead window (n at most its size),
// read into it from `at` on when they are not there; null when the window
// cannot be had or the file ends first. When `at` lies inside the window and
// the file stands where the window ends, the bytes from `at` on move to its
// front and the read goes on from there without a seek: reading forward then
// costs one file call per window, as one sequential read does.
static const uint8_t* AheadData(SpoolReader* r, uint64_t at, size_t n) {
    if (r->ahead && at >= r->aheadAt && n <= r->aheadLen && at - r->aheadAt <= r->aheadLen - n)
        return r->ahead + (at - r->aheadAt);
    if (!r->ahead) r->ahead = static_cast<uint8_t*>(malloc(kSpoolReadAhead));
    if (!r->ahead) return nullptr;
    uint64_t end = r->aheadAt + r->aheadLen;
    size_t kept = 0;
    if (r->aheadEndIsFilePos && at >= r->aheadAt && at < end) {
        kept = static_cast<size_t>(end - at);
        memmove(r->ahead, r->ahead + (at - r->aheadAt), kept);
    } else if (!r->io->seek(r->io->ctx, at)) {
        r->aheadLen = 0;
        r->aheadEndIsFilePos = false;
        return nullptr;
    }
    size_t got = 0;
    bool ok = r->io->read(r->io->ctx, r->ahead + kept, kSpoolReadAhead - kept, &got);
    r->aheadAt = at;
    r->aheadLen = ok ? kept + got : 0;
    r->aheadEndIsFilePos = ok;
    return ok && r->aheadLen >= n ? r->ahead : nullptr;
}

// A read of the page data through the read-ahead window: stepping from page
// to page then costs one file read per window, not two per page.
static bool ReadPageData(SpoolReader* r, uint64_t at, void* out, size_t n) {
    if (n > kSpoolReadAhead) return ReaderReadAt(r, at, out, n);
    const uint8_t* p = AheadData(r, at, n);
    if (!p) return !r->ahead && ReaderReadAt(r, at, out, n);
    memcpy(out, p, n);
    return true;
}

// A link of a page record: the long form adds its high word, which lies in
// the span that counts only when byte 91 is 1 (NormaliseMargins).
static uint64_t RecordLink(const uint8_t* rec, bool longForm, size_t low, size_t high) {
    uint64_t v = GetU32(rec + low);
    if (longForm && rec[kSpoolPgMarginsSet] == 1) v |= static_cast<uint64_t>(GetU32(rec + high)) << 32;
    return v;
}

uint64_t SpoolNextLink(const SpoolReader* r) { return RecordLink(r->page, r->longForm, kSpoolPgNext, kSpoolPgNextHigh); }

uint64_t SpoolPrevLink(const SpoolReader* r) { return RecordLink(r->page, r->longForm, kSpoolPgPrev, kSpoolPgPrevHigh); }

// The length of the page at offset whose (normalised) record links to next:
// up to the next page, or to the data end for the last one. The page must
// fit the buffer and the link must lie ahead within the data.
static int32_t PageLength(SpoolReader* r, uint64_t offset, uint64_t next, uint64_t* len) {
    uint64_t end = next ? next : r->dataEnd;
    if (end <= offset + kSpoolPageRecord || end > r->dataEnd) return Bad(r, kSpoolBadRecord);
    *len = end - offset;
    if (*len > r->largest) return Bad(r, kSpoolBadRecord);
    return kPrtOk;
}

// Reads the page whose record is already in the buffer at offset: its records.
static int32_t LoadPageBody(SpoolReader* r, uint64_t offset) {
    NormaliseMargins(r->page);
    uint64_t len = 0;
    int32_t res = PageLength(r, offset, SpoolNextLink(r), &len);
    if (res) return res;
    if (!ReadPageData(r, offset + kSpoolPageRecord, r->page + kSpoolPageRecord, len - kSpoolPageRecord))
        return kPrtSpoolRead;
    r->pageLen = static_cast<size_t>(len);
    r->pageOffset = offset;
    return kPrtOk;
}

static bool PageInData(const SpoolReader* r, uint64_t offset) {
    return offset >= r->dataStart && offset + kSpoolPageRecord < r->dataEnd;
}

static int32_t LoadPage(SpoolReader* r, uint64_t offset) {
    if (!PageInData(r, offset)) return Bad(r, kSpoolBadRecord);
    if (!ReadPageData(r, offset, r->page, kSpoolPageRecord)) return kPrtSpoolRead;
    return LoadPageBody(r, offset);
}

// The links of the page record at offset (the previous one when asked for),
// checked as loading the page checks them, without reading the page's records.
static int32_t PeekPage(SpoolReader* r, uint64_t offset, uint64_t* next, uint64_t* prev) {
    if (!PageInData(r, offset)) return Bad(r, kSpoolBadRecord);
    uint8_t copy[kSpoolPageRecord];
    const uint8_t* rec = AheadData(r, offset, kSpoolPageRecord);
    if (!rec) {
        // Without a window (no memory for it) the record is read on its own.
        if (r->ahead || !ReaderReadAt(r, offset, copy, sizeof copy)) return kPrtSpoolRead;
        rec = copy;
    }
    *next = RecordLink(rec, r->longForm, kSpoolPgNext, kSpoolPgNextHigh);
    if (prev) *prev = RecordLink(rec, r->longForm, kSpoolPgPrev, kSpoolPgPrevHigh);
    uint64_t len = 0;
    return PageLength(r, offset, *next, &len);
}

int32_t SpoolReadHeader(SpoolReader* r, const SpoolIo* io, uint8_t clientDecimal) {
    SpoolReaderFree(r);
    memset(r, 0, sizeof *r);
    r->io = io;
    uint8_t h[kSpoolLongHeader + kSpoolPageRecord] = {};
    size_t got = 0;
    if (!io->seek(io->ctx, 0) || !io->read(io->ctx, h, sizeof h, &got)) return kPrtSpoolRead;
    ByteReader in(h, got);
    uint32_t magic = 0, version = 0, flags = 0;
    if (!in.U32At(kSpoolHdrMagic, &magic) || magic != kSpoolMagic) return Bad(r, kSpoolBadMagic);
    if (!in.U32At(kSpoolHdrVersion, &version) || version > kSpoolVersionMax) return Bad(r, kSpoolBadVersion);
    if (!in.U32At(kSpoolHdrFlags, &flags) || (flags & kSpoolFileWriting)) return Bad(r, kSpoolBadWriting);
    bool longForm = version > kSpoolVersionShort ||
                    (version == kSpoolVersionShort && h[kSpoolHdrLongDecimal] == '.' &&
                     h[kSpoolHdrLongDecimal] == clientDecimal);
    size_t headerSize = longForm ? kSpoolLongHeader : kSpoolShortHeader;
    if (got < headerSize + kSpoolPageRecord) return kPrtSpoolRead;
    r->longForm = longForm;
    r->fileVersion = version;
    r->version = longForm ? kSpoolVersionWide : version < kSpoolVersionShort ? kSpoolVersionOld : kSpoolVersionShort;
    r->wholePoints = version == 1;
    r->oldPageRecord = version < kSpoolVersionShort;
    r->flags = flags;
    in.U32At(kSpoolHdrPages, &r->pages);
    in.U32At(kSpoolHdrLargest, &r->largest);
    uint32_t endLow = 0, endHigh = 0;
    in.U32At(kSpoolHdrEndLow, &endLow);
    if (longForm) in.U32At(kSpoolHdrEndHigh, &endHigh);
    r->dataEnd = endLow | (static_cast<uint64_t>(endHigh) << 32);
    CopyField(r->docName, sizeof r->docName, h + kSpoolHdrName, longForm ? kSpoolLongName : kSpoolShortName);
    if (flags & kSpoolFileNamed) r->decimal = h[longForm ? kSpoolHdrLongDecimal : kSpoolHdrShortDecimal];
    r->utf16 = (flags & kSpoolFileUtf16) != 0;

    // The page buffer is never sized by the file alone: the largest page lies
    // inside the data, which lies inside the file.
    if (!io->size || !io->size(io->ctx, &r->fileSize)) return kPrtSpoolRead;
    if (r->dataEnd > r->fileSize) return kPrtSpoolRead;
    if (r->largest <= kSpoolPageRecord || r->largest > r->dataEnd || !CheckedSize(r->largest).Add(1).Fits())
        return kPrtNoPageBuffer;
    r->pageCap = static_cast<size_t>(r->largest) + 1;
    r->page = static_cast<uint8_t*>(malloc(r->pageCap));
    if (!r->page) return kPrtNoPageBuffer;
    memcpy(r->page, h + headerSize, kSpoolPageRecord);
    // Older writers left the header one byte short: their first page record
    // then shows its underline byte where a style byte of 0 or 1 belongs.
    if (version < kSpoolVersionBig && r->page[kSpoolPgUnderline] >= 2) {
        headerSize--;
        r->oneShort = true;
        memcpy(r->page, h + headerSize, kSpoolPageRecord);
    }
    r->dataStart = headerSize;
    if (r->dataEnd <= headerSize + kSpoolPageRecord) return Bad(r, kSpoolBadRecord);
    int32_t res = LoadPageBody(r, headerSize);
    if (res) return res;
    r->current = 1;
    return kPrtOk;
}

int32_t SpoolStepPage(SpoolReader* r, bool back, bool* moved) {
    *moved = false;
    if (!r->page) return kPrtOk;
    uint64_t target = back ? SpoolPrevLink(r) : SpoolNextLink(r);
    if (!target) return kPrtOk;
    // Links move strictly forward or back: a loop would never end.
    if (back ? target >= r->pageOffset : target <= r->pageOffset) return Bad(r, kSpoolBadRecord);
    int32_t res = LoadPage(r, target);
    if (res) return res;
    r->current += back ? -1u : 1u;
    *moved = true;
    return kPrtOk;
}

int32_t SpoolGoToPage(SpoolReader* r, uint32_t n, bool* reached) {
    *reached = r->page && r->current == n;
    if (!r->page || r->current == n) return kPrtOk;
    bool back = n < r->current;
    // Walk the links to the page before the one wanted, reading only the page
    // records; the last step loads its page as stepping does.
    uint64_t at = r->pageOffset, target = back ? SpoolPrevLink(r) : SpoolNextLink(r);
    uint32_t count = r->current;
    int32_t res = kPrtOk;
    while (target && (back ? count - 1 : count + 1) != n) {
        uint64_t next = 0, prev = 0;
        if ((back ? target >= at : target <= at) || PeekPage(r, target, &next, back ? &prev : nullptr) != kPrtOk) break;
        at = target;
        count += back ? -1u : 1u;
        target = back ? prev : next;
    }
    // Stepping from the last page the walk vouched for gives the same page,
    // or the same refusal and the same state after it.
    if (at != r->pageOffset) {
        if ((res = LoadPage(r, at)) != kPrtOk) return res;
        r->current = count;
    }
    bool moved = false;
    res = SpoolStepPage(r, back, &moved);
    *reached = r->current == n;
    return res;
}

int32_t SpoolRewind(SpoolReader* r) {
    if (!r->page) return kPrtNoPageBuffer;
    int32_t res = LoadPage(r, r->dataStart);
    if (res) return res;
    r->current = 1;
    return kPrtOk;
}

void SpoolReaderFree(SpoolReader* r) {
    free(r->page);
    free(r->ahead);
    r->page = r->ahead = nullptr;
    r->pageCap = r->pageLen = r->aheadLen = 0;
    r->aheadEndIsFilePos = false;
}

int32_t SpoolReadImageRef(SpoolReader* r, uint64_t offset, uint32_t size, SpoolImageCache* c, SpoolRecord* out) {
    if (offset < r->dataStart || size < kSpoolSizeImageHead || offset > r->dataEnd || size > r->dataEnd - offset)
        return kPrtSpoolRead;
    if (!c->valid || c->keyOffset != offset || c->keySize != size) {
        if (size > c->cap) {
            uint8_t* grown = static_cast<uint8_t*>(realloc(c->buf, size));
            if (!grown) return kPrtNoMemory;
            c->buf = grown;
            c->cap = size;
        }
        c->valid = false;
        uint64_t keep = 0;
        const SpoolIo* io = r->io;
        if (!io->tell(io->ctx, &keep)) return kPrtSpoolRead;
        bool ok = ReaderReadAt(r, offset, c->buf, size);
        if (!io->seek(io->ctx, keep) || !ok) return kPrtSpoolRead;
        c->valid = true;
        c->keyOffset = offset;
        c->keySize = size;
    }
    memset(out, 0, sizeof *out);
    if (c->buf[0] != kSpoolRecImage || !SpoolDecodeImage(c->buf, size, out)) return kPrtSpoolRead;
    out->type = kSpoolRecImage;
    return kPrtOk;
}

void SpoolImageCacheFree(SpoolImageCache* c) {
    free(c->buf);
    memset(c, 0, sizeof *c);
}

// ---- Memory file --------------------------------------------------------------------------------------

static bool MemWrite(void* ctx, const void* bytes, size_t n) {
    SpoolMemFile* f = static_cast<SpoolMemFile*>(ctx);
    f->writes++;
    if (f->failAfterWrites && f->writes >= f->failAfterWrites) return false;
    size_t need = f->pos + n;
    if (need > f->cap) {
        size_t cap = f->cap ? f->cap : 4096;
        while (cap < need) cap *= 2;
        uint8_t* grown = static_cast<uint8_t*>(realloc(f->data, cap));
        if (!grown) return false;
        f->data = grown;
        f->cap = cap;
    }
    if (f->pos > f->size) memset(f->data + f->size, 0, f->pos - f->size);
    if (n) memcpy(f->data + f->pos, bytes, n);
    f->pos += n;
    if (f->pos > f->size) f->size = f->pos;
    return true;
}

static bool MemRead(void* ctx, void* bytes, size_t n, size_t* got) {
    SpoolMemFile* f = static_cast<SpoolMemFile*>(ctx);
    size_t avail = f->pos < f->size ? f->size - f->pos : 0;
    *got = n < avail ? n : avail;
    if (*got) memcpy(bytes, f->data + f->pos, *got);
    f->pos += *got;
    return true;
}

// Offsets as the file shows them: from gapAt on, gap bytes further.
static uint64_t MemShown(const SpoolMemFile* f, size_t pos) { return pos >= f->gapAt ? pos + f->gap : pos; }

static bool MemSeek(void* ctx, uint64_t offset) {
    SpoolMemFile* f = static_cast<SpoolMemFile*>(ctx);
    if (f->gap && offset >= f->gapAt && offset < f->gapAt + f->gap) return false;
    uint64_t pos = f->gap && offset >= f->gapAt + f->gap ? offset - f->gap : offset;
    if (pos > SIZE_MAX / 2) return false;
    f->pos = static_cast<size_t>(pos);
    return true;
}

static bool MemTell(void* ctx, uint64_t* offset) {
    SpoolMemFile* f = static_cast<SpoolMemFile*>(ctx);
    *offset = MemShown(f, f->pos);
    return true;
}

static bool MemSize(void* ctx, uint64_t* size) {
    SpoolMemFile* f = static_cast<SpoolMemFile*>(ctx);
    *size = MemShown(f, f->size);
    return true;
}

static bool MemFlush(void*) { return true; }

static void MemFail(void* ctx, uint32_t detail) { static_cast<SpoolMemFile*>(ctx)->lastDetail = detail; }

void SpoolMemIo(SpoolMemFile* f, SpoolIo* io) {
    *io = SpoolIo{f, MemWrite, MemRead, MemSeek, MemTell, MemSize, MemFlush, MemFail};
}

void SpoolMemFree(SpoolMemFile* f) {
    free(f->data);
    memset(f, 0, sizeof *f);
}
