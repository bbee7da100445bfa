// prtcalc.cpp - the platform-free half of printing: the print message bodies,
// read through the bounded wire reader with every length checked against the
// message, and the drawing arithmetic that does not need a device.
#include "print/prtcalc.h"

#include "print/pdf/pdf.h"
#include "session/util/bytereader.h"

// Units per inch of the metric and English coordinate modes (index = mode).
static const int32_t kPrtUnitsPerInch[9] = {0, 0, 100, 254, 1000, 2540, 0, 1440, 0};

// ---- Message bodies ---------------------------------------------------------------

// Takes n texts laid one after another from off; false when their sum passes
// the message.
static bool TakeTexts(const WireReader& r, size_t off, PrtMsgText* const* texts, const uint32_t* lens, int n) {
    CheckedSize total(off);
    for (int i = 0; i < n; i++) total.Add(lens[i]);
    if (!total.ok || !r.Has(off, total.Size() - off)) return false;
    for (int i = 0; i < n; i++) {
        texts[i]->len = lens[i];
        texts[i]->text = reinterpret_cast<const char*>(r.PtrAt(off, lens[i]));
        if (lens[i] == 0) texts[i]->text = "";
        off += lens[i];
    }
    return true;
}

bool PrtDecodeOpen(uint32_t type, const WireReader& r, PrtOpenMsg* out) {
    *out = PrtOpenMsg();
    uint32_t lens[4] = {0, 0, 0, 0};
    uint32_t limit;
    if (!r.U32At(8, &out->owner) || !r.U32At(12, &lens[0]) || !r.U32At(16, &lens[1]) || !r.U32At(20, &limit) ||
        !r.U32At(24, &lens[2]))
        return false;
    out->pageLimit = static_cast<int32_t>(limit);
    PrtMsgText* texts[4] = {&out->name, &out->title, &out->spool, &out->pdfFile};
    if (type == kPrtMsgOpenTitled) {
        if (!r.U32At(28, &lens[3]) || !r.U32At(32, &out->options)) return false;
        return TakeTexts(r, 36, texts, lens, 4);
    }
    uint8_t options;
    if (!r.U8At(28, &options)) return false;
    out->options = options;
    out->pdfFile.text = "";
    return TakeTexts(r, 29, texts, lens, 3);
}

bool PrtDecodeClose(uint32_t type, const WireReader& r, PrtCloseMsg* out) {
    *out = PrtCloseMsg();
    if (!r.U32At(8, &out->handle)) return false;
    if (type != kPrtMsgClose) return true;
    // The block's words as far as the message holds them; a message shorter
    // than the whole block has close options 0.
    for (size_t i = 0; i < kPrtCloseWords; i++)
        if (!r.U32At(12 + 4 * i, &out->block[i])) out->block[i] = 0;
    if (r.Length() < kPrtCloseBlockMin) out->block[kPrtCloseWordOptions] = 0;
    return true;
}

static bool TakeU16Text(const WireReader& r, size_t lenOff, size_t textOff, PrtMsgText* t) {
    uint16_t n;
    if (!r.U16At(lenOff, &n) || !r.Has(textOff, n)) return false;
    t->len = n;
    t->text = n ? reinterpret_cast<const char*>(r.PtrAt(textOff, n)) : "";
    return true;
}

// Four u16 edges at off, off + step, off + 2 step, off + 3 step.
static bool TakeEdges(const WireReader& r, size_t off, size_t step, PrtDrawMsg* m) {
    return r.U16At(off, &m->top) && r.U16At(off + step, &m->bottom) && r.U16At(off + 2 * step, &m->left) &&
           r.U16At(off + 3 * step, &m->right);
}

bool PrtDecodeDraw(uint32_t type, const WireReader& r, PrtDrawMsg* m) {
    *m = PrtDrawMsg();
    m->type = type;
    m->text.text = "";
    uint8_t b;
    uint16_t v16;
    switch (type) {
    case kPrtMsgResetSetup:
        if (!r.U8At(8, &b)) return false;
        m->value = b;
        return true;
    case kPrtMsgControl:
        if (!r.U32At(8, &m->code) || !r.U16At(12, &v16)) return false;
        m->value = v16;
        return true;
    case kPrtMsgColors:
        return r.U32At(8, &m->code) && r.U32At(12, &m->value);
    case kPrtMsgText:
        return TakeU16Text(r, 8, 12, &m->text);
    case kPrtMsgTextNumeric:
        if (!r.U8At(8, &b)) return false;
        m->code = b;
        return TakeU16Text(r, 12, 16, &m->text);
    case kPrtMsgSetPos:
    case kPrtMsgLine:
        return r.U16At(8, &m->column) && r.U16At(12, &m->row);
    case kPrtMsgFont: {
        uint32_t n;
        if (!r.U32At(8, &n)) return false;
        if (n == kPrtFontObjectLen) {
            m->fontObject = true;
            return r.U32At(12, &m->code);
        }
        if (!r.Has(12, n)) return false;
        m->text.len = n;
        m->text.text = n ? reinterpret_cast<const char*>(r.PtrAt(12, n)) : "";
        return true;
    }
    case kPrtMsgImage:
        return r.U32At(8, &m->code) && r.U32At(12, &m->value) && TakeEdges(r, 16, 2, m);
    case kPrtMsgRect:
        return TakeEdges(r, 8, 4, m);
    case kPrtMsgEllipse:
        return TakeEdges(r, 10, 2, m);
    case kPrtMsgRoundRect:
        return TakeEdges(r, 10, 2, m) && r.U16At(18, &m->cornerWidth) && r.U16At(20, &m->cornerHeight);
    case kPrtMsgSelectDraw:
        return r.U32At(8, &m->code);
    case kPrtMsgRegion:
        return TakeEdges(r, 8, 2, m);
    default:
        if (type >= kPrtMsgPdfFirst && type <= kPrtMsgPdfLast) return TakeU16Text(r, 8, 12, &m->text);
        return true;  // 2221-2251 carry nothing
    }
}

// ---- Colours -------------------------------------------------------------------------

uint32_t PrtColorFromValue(uint32_t value) { return PdfColourFromCode(value); }

uint32_t PrtGrey(uint32_t colour) {
    colour &= 0xFFFFFF;
    if (colour == kPrtWhite) return colour;
    uint32_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    uint32_t g = blue * 11 / 100 + green * 59 / 100 + red * 30 / 100;
    return g | (g << 8) | (g << 16);
}

// ---- Units ------------------------------------------------------------------------------

bool PrtModeIsMetric(int mode) { return mode >= kPrtModeInch100 && mode <= kPrtModeTwips && mode != kPrtModeDots; }
bool PrtModeIsCells(int mode) { return mode == kPrtModeCells || mode == kPrtModeFontCells; }

// value x num / den rounded to the nearest, as MulDiv does.
static int32_t ScaleRounded(int32_t value, int32_t num, int32_t den) {
    if (den == 0) return value;
    int64_t p = static_cast<int64_t>(value) * num;
    int64_t half = den / 2;
    return static_cast<int32_t>(p >= 0 ? (p + half) / den : (p - half) / den);
}

int32_t PrtUnitsToDevice(int mode, int32_t value, int32_t dpi) {
    if (!PrtModeIsMetric(mode)) return value;
    return ScaleRounded(value, dpi, kPrtUnitsPerInch[mode]);
}

int32_t PrtDeviceToUnits(int mode, int32_t value, int32_t dpi) {
    if (!PrtModeIsMetric(mode) || dpi <= 0) return value;
    return ScaleRounded(value, kPrtUnitsPerInch[mode], dpi);
}

int32_t PrtOriginFromMargin(int32_t marginDevice, int32_t physicalOffset) {
    int32_t o = marginDevice - physicalOffset;
    return o < 0 ? 0 : o;
}

// ---- Text layout ------------------------------------------------------------------------

uint32_t PrtAlignFlags(uint32_t value) {
    switch (value) {
    case kPrtAlignDecimal: return kPrtTextDecimal;
    case kPrtAlignRight: return kPrtTextRight;
    case kPrtAlignCentre: return kPrtTextCentre;
    default: return 0;
    }
}

long PrtFindLastDecimal(const uint8_t* text, size_t units, bool wide, uint16_t decimalChar) {
    for (size_t i = units; i-- > 0;) {
        uint16_t c = wide ? static_cast<uint16_t>(text[2 * i] | (text[2 * i + 1] << 8)) : text[i];
        if (c == decimalChar) return static_cast<long>(i);
    }
    return -1;
}

int32_t PrtAlignStart(int32_t column, int32_t width, int32_t prefixWidth, bool hasDecimal, uint32_t textFlags) {
    int32_t x = column;
    if (textFlags & kPrtTextRight) x = column - width;
    else if (textFlags & kPrtTextCentre) x = column - width / 2;
    else if (textFlags & kPrtTextDecimal) x = hasDecimal ? column - prefixWidth : column - width;
    return x < 0 ? 0 : x;
}

static int32_t Cut(int32_t width, int32_t room) {
    if (room < 0) room = 0;
    return width < room ? width : room;
}

PrtClipLayout PrtLayoutClipped(size_t units, long decimalIndex, int32_t column, int32_t regionRight,
                               uint32_t textFlags, PrtMeasureFn measure, void* ctx) {
    PrtClipLayout L = {0, units, column, 0};
    int32_t room = regionRight - column;
    int32_t width = measure(ctx, 0, units);
    if (textFlags & kPrtTextRight) {
        L.x = regionRight - width;
        if (L.x < 0) {
            // Leading characters go until the rest fits; it then ends at the right edge.
            while (L.count > 0 && width > room) {
                L.first++;
                L.count--;
                width = measure(ctx, L.first, L.count);
            }
            L.x = regionRight - width;
        }
        L.width = Cut(width, room);
    } else if (textFlags & kPrtTextCentre) {
        L.x = column + room / 2 - width / 2;
        if (width > room) {
            // Characters go from the start and the end in turn: the middle stays.
            bool fromStart = true;
            while (L.count > 0 && width > room) {
                if (fromStart) L.first++;
                L.count--;
                fromStart = !fromStart;
                width = measure(ctx, L.first, L.count);
            }
            L.x = regionRight - width;
        }
        L.width = Cut(width, room);
    } else if (textFlags & kPrtTextDecimal) {
        int32_t centre = column + room / 2;
        size_t before = decimalIndex >= 0 ? static_cast<size_t>(decimalIndex) : units;
        int32_t prefix = measure(ctx, 0, before);
        L.x = centre - prefix;
        while (L.x < column && L.first < before) {
            L.first++;
            L.count--;
            prefix = measure(ctx, L.first, before - L.first);
            L.x = centre - prefix;
        }
        width = measure(ctx, L.first, L.count);
        L.width = Cut(width, regionRight - L.x);
    } else {
        L.width = Cut(width, room);
    }
    return L;
}

// ---- Images ------------------------------------------------------------------------------

PrtRect PrtFitImage(const PrtRect& rect, int32_t w, int32_t h, uint32_t mode, bool frame) {
    PrtRect d = rect;
    if (frame) {
        d.left++;
        d.top++;
        d.right--;
        d.bottom--;
    }
    int32_t rw = d.right - d.left, rh = d.bottom - d.top;
    if (w <= 0 || h <= 0 || rw <= 0 || rh <= 0) {
        d.right = d.left;
        d.bottom = d.top;
        return d;
    }
    if (mode == kPrtImageActualSize) {
        if (rw > w) d.right = d.left + w;
        if (rh > h) d.bottom = d.top + h;
        return d;
    }
    int64_t sx = static_cast<int64_t>(rw) * 1000 / w, sy = static_cast<int64_t>(rh) * 1000 / h;
    int64_t scale = sx < sy ? sx : sy;
    if (sx <= sy) d.bottom = d.top + static_cast<int32_t>(static_cast<int64_t>(h) * scale / 1000);
    else d.right = d.left + static_cast<int32_t>(static_cast<int64_t>(w) * scale / 1000);
    return d;
}
