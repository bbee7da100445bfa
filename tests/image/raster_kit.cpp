// raster_kit.cpp - builders of TIFF, PCX and DCX test files and the shared
// helpers of the TIFF and PCX tests.
#include "raster_kit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "graphics/image/imageload.h"
#include "graphics/image/pcx.h"
#include "graphics/image/tiff.h"

namespace {

constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagJpegInterchange = 513;

void Put16(Bytes* b, size_t at, uint32_t v, bool be) {
    if (b->size() < at + 2) b->resize(at + 2);
    (*b)[at + (be ? 1 : 0)] = uint8_t(v);
    (*b)[at + (be ? 0 : 1)] = uint8_t(v >> 8);
}

void Put32(Bytes* b, size_t at, uint32_t v, bool be) {
    if (b->size() < at + 4) b->resize(at + 4);
    for (int i = 0; i < 4; i++) (*b)[at + size_t(be ? 3 - i : i)] = uint8_t(v >> (8 * i));
}

uint32_t KitTypeSize(uint16_t type) { return type == kKitByte ? 1 : type == kKitShort ? 2 : 4; }

void PutValue(Bytes* b, size_t at, uint16_t type, uint32_t v, bool be) {
    if (type == kKitByte) {
        if (b->size() < at + 1) b->resize(at + 1);
        (*b)[at] = uint8_t(v);
    } else if (type == kKitShort) {
        Put16(b, at, v, be);
    } else {
        Put32(b, at, v, be);
    }
}

}  // namespace

Bytes MakeTiff(const std::vector<TiffPage>& pages, bool be) {
    Bytes f = {uint8_t(be ? 'M' : 'I'), uint8_t(be ? 'M' : 'I')};
    Put16(&f, 2, 42, be);
    Put32(&f, 4, 0, be);
    size_t link = 4;  // where the offset of the next directory goes
    for (const TiffPage& page : pages) {
        const size_t dataAt = f.size();
        f.insert(f.end(), page.data.begin(), page.data.end());
        if (f.size() & 1) f.push_back(0);
        const size_t dir = f.size();
        Put32(&f, link, uint32_t(dir), be);
        std::vector<TiffField> fields = page.fields;
        std::sort(fields.begin(), fields.end(), [](const TiffField& a, const TiffField& b) { return a.tag < b.tag; });
        Put16(&f, dir, uint32_t(fields.size()), be);
        size_t extra = dir + 2 + fields.size() * 12 + 4;
        link = extra - 4;
        Put32(&f, link, 0, be);
        for (size_t i = 0; i < fields.size(); i++) {
            const TiffField& fl = fields[i];
            const size_t e = dir + 2 + i * 12;
            Put16(&f, e, fl.tag, be);
            Put16(&f, e + 2, fl.type, be);
            Put32(&f, e + 4, uint32_t(fl.values.size()), be);
            Put32(&f, e + 8, 0, be);
            const uint32_t size = KitTypeSize(fl.type);
            size_t at = e + 8;
            if (fl.values.size() * size > 4) {
                at = extra;
                Put32(&f, e + 8, uint32_t(extra), be);
                extra += fl.values.size() * size;
                extra += extra & 1;
            }
            for (size_t k = 0; k < fl.values.size(); k++) {
                uint32_t v = fl.values[k];
                if (fl.tag == kTagStripOffsets || fl.tag == kTagJpegInterchange) v += uint32_t(dataAt);
                PutValue(&f, at + k * size, fl.type, v, be);
            }
        }
        if (f.size() < extra) f.resize(extra);
    }
    return f;
}

void TiffSetField(std::vector<TiffField>* fields, uint16_t tag, uint16_t type, const std::vector<uint32_t>& values) {
    for (TiffField& f : *fields) {
        if (f.tag == tag) {
            f.type = type;
            f.values = values;
            return;
        }
    }
    fields->push_back({tag, type, values});
}

void TiffDropField(std::vector<TiffField>* fields, uint16_t tag) {
    fields->erase(std::remove_if(fields->begin(), fields->end(), [tag](const TiffField& f) { return f.tag == tag; }),
                  fields->end());
}

std::vector<TiffField> TiffImageFields(uint32_t width, uint32_t length, uint32_t bits, uint32_t samples,
                                       uint32_t compression, uint32_t photometric, uint32_t rowsPerStrip,
                                       const std::vector<uint32_t>& stripCounts) {
    std::vector<uint32_t> offsets;
    uint32_t at = 0;
    for (uint32_t c : stripCounts) {
        offsets.push_back(at);
        at += c;
    }
    return {
        {256, kKitLong, {width}},
        {257, kKitLong, {length}},
        {258, kKitShort, std::vector<uint32_t>(samples, bits)},
        {259, kKitShort, {compression}},
        {262, kKitShort, {photometric}},
        {273, kKitLong, offsets},
        {277, kKitShort, {samples}},
        {278, kKitLong, {rowsPerStrip}},
        {279, kKitLong, stripCounts},
    };
}

Bytes MakePcx(const PcxSpec& s, const Bytes& coded, const Bytes& endPalette) {
    Bytes f;
    f.reserve(128 + coded.size() + 1 + endPalette.size());
    f.assign(128, 0);
    f[0] = 10;
    f[1] = s.version;
    f[2] = 1;
    f[3] = s.bits;
    Put16(&f, 4, s.xmin, false);
    Put16(&f, 6, s.ymin, false);
    Put16(&f, 8, s.xmax, false);
    Put16(&f, 10, s.ymax, false);
    std::copy(s.headerPalette.begin(), s.headerPalette.begin() + std::min<size_t>(48, s.headerPalette.size()),
              f.begin() + 16);
    f[65] = s.planes;
    Put16(&f, 66, s.bytesPerLine, false);
    f.insert(f.end(), coded.begin(), coded.end());
    if (!endPalette.empty()) {
        f.push_back(12);
        f.insert(f.end(), endPalette.begin(), endPalette.end());
    }
    return f;
}

Bytes PcxRle(const Bytes& raw) {
    Bytes out;
    for (size_t i = 0; i < raw.size();) {
        size_t n = 1;
        while (i + n < raw.size() && raw[i + n] == raw[i] && n < 63) n++;
        if (n > 1 || raw[i] >= 0xC0) out.push_back(uint8_t(0xC0 | n));
        out.push_back(raw[i]);
        i += n;
    }
    return out;
}

Bytes MakeDcx(const std::vector<Bytes>& pages) {
    Bytes f;
    Put32(&f, 0, kDcxMagic, false);
    size_t at = 4 + (pages.size() + 1) * 4;
    for (size_t i = 0; i < pages.size(); i++) {
        Put32(&f, 4 + i * 4, uint32_t(at), false);
        at += pages[i].size();
    }
    Put32(&f, 4 + pages.size() * 4, 0, false);
    for (const Bytes& p : pages) f.insert(f.end(), p.begin(), p.end());
    return f;
}

int DecodePage(int format, const Bytes& file, uint16_t page, uint32_t* pageCount) {
    ImageClearState();
    gImageDecodeState.sourcePos = file.data();
    gImageDecodeState.sourceSize = uint32_t(file.size());
    int rc = format == kImgFormatTiff ? TiffDecode(page, pageCount) : PcxDecode(page, pageCount);
    gImageDecodeState.sourcePos = nullptr;
    gImageDecodeState.sourceSize = 0;
    return rc;
}

std::string KitTempPath(const std::string& name) {
    const char* dir = getenv("TMPDIR");
    static int serial = 0;
    return std::string(dir ? dir : "/tmp") + "/qov_raster_" + std::to_string(getpid()) + "_" +
           std::to_string(serial++) + "_" + name;
}

int RunStatus(const std::string& cmd) { return system(cmd.c_str()); }

Bytes MakePbm(uint32_t width, uint32_t height, const Bytes& packedRows) {
    std::string head = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    Bytes f(head.begin(), head.end());
    f.insert(f.end(), packedRows.begin(), packedRows.end());
    return f;
}

Bytes MakePnm(uint32_t width, uint32_t height, int channels, const Bytes& samples) {
    std::string head = std::string(channels == 3 ? "P6\n" : "P5\n") + std::to_string(width) + " " +
                       std::to_string(height) + "\n255\n";
    Bytes f(head.begin(), head.end());
    f.insert(f.end(), samples.begin(), samples.end());
    return f;
}
